// The main window's layout as its view sees it: design places, the two pages
// of the tool column, the wide window and the commands by name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/AppTestSupport.h"

namespace korvane::test {
namespace {

struct Place {
  int left, top, width, height;
  bool visible;
  bool operator==(const Place&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Place& p) {
  return out << p.left << "," << p.top << " " << p.width << "x" << p.height << (p.visible ? "" : " hidden");
}

// What the view can see of the layout at one moment.
struct Snapshot {
  std::map<std::string, Place> places;
  std::vector<int> columns1, columns2;
  bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& shot, std::ostream* out) {
  for (const auto& [name, place] : shot.places) *out << "\n  " << name << " " << place;
  *out << "\n  columns:";
  for (int width : shot.columns1) *out << " " << width;
  *out << " /";
  for (int width : shot.columns2) *out << " " << width;
}

// The controls a user can see, with their places.
Snapshot visibleOnly(Snapshot shot) {
  std::erase_if(shot.places, [](const auto& entry) { return !entry.second.visible; });
  return shot;
}

std::vector<int> columnWidths(const TListView& list) {
  std::vector<int> widths;
  for (const auto& column : list.Columns) widths.push_back(column.Width);
  return widths;
}

Snapshot snapshotOf(TForm1& form) {
  Snapshot shot;
  for (const auto& [name, control] : form.Controls)
    shot.places[name] = {control.Left, control.Top, control.Width, control.Height, control.Visible};
  shot.places["ListView1"].visible = form.ListView1.Visible;
  shot.places["ListView2"].visible = form.ListView2.Visible;
  shot.columns1 = columnWidths(form.ListView1);
  shot.columns2 = columnWidths(form.ListView2);
  return shot;
}

// Records the layout each time the window tells its view that controls changed.
class LayoutView : public ScriptedView {
 public:
  void controlsChanged() override {
    ScriptedView::controlsChanged();
    if (form) seen.push_back(snapshotOf(*form));
  }
  const Snapshot& last() const { return seen.back(); }
  Place place(const std::string& name) const { return last().places.at(name); }

  TForm1* form = nullptr;
  std::vector<Snapshot> seen;
};

struct LaidOutWindow {
  ImageBuilder image;
  LayoutView view;
  std::unique_ptr<TForm1> form;

  TForm1& start() {
    form = std::make_unique<TForm1>(image.open(), view);
    view.form = form.get();
    form->FormCreate();
    return *form;
  }
};

// A window's outer size and the client area inside it (caption, menu bar
// and borders as on a classic desktop).
struct Size {
  int width, height;
  int clientWidth() const { return width - 8; }
  int clientHeight() const { return height - 46; }
};
constexpr Size kDesignSize{575, 419};
constexpr Size kMaximised{1032, 776};
constexpr Size kMaximisedSmallScreen{808, 608};

void resize(TForm1& form, Size size) {
  form.FormResize(size.width, size.height, size.clientWidth(), size.clientHeight());
}

const char* const kToolButtons[] = {"BitBtn1",      "BitBtn2",      "BitBtn3",      "BitBtn4",      "BitBtn5",
                                    "BitBtn8",      "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"};

TEST(Layout, StartShowsTheDesignPlaces) {
  LaidOutWindow w;
  w.start();
  ASSERT_FALSE(w.view.seen.empty()) << "start-up tells the view about its controls";
  const std::map<std::string, Place> expected = {
      {"ListView1", {5, 3, 487, 230, true}},  {"Memo1", {5, 236, 487, 117, true}},
      {"StatusBar1", {0, 354, 567, 19, true}}, {"BitBtn8", {495, 5, 70, 64, true}},
      {"BitBtn1", {495, 69, 70, 64, true}},   {"BitBtn2", {495, 133, 70, 64, true}},
      {"BitBtn3", {495, 197, 70, 64, true}},  {"BitBtn4", {495, 261, 70, 64, true}},
      {"BitBtn5", {495, 325, 70, 64, false}}, {"DownBtn", {520, 328, 23, 22, true}},
      {"UpBtn", {520, 328, 23, 22, false}}};
  for (const auto& [name, place] : expected) EXPECT_EQ(w.view.place(name), place) << name;
  EXPECT_THAT(w.view.last().columns1, ::testing::ElementsAre(220, 0, 60, 70, 114, 0));
}

TEST(Layout, HiddenGroupsStartHidden) {
  LaidOutWindow w;
  w.start();
  for (const char* name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4", "Label1", "Edit1", "Button1",
                           "Button2", "Button3", "ListView2", "BitBtn6", "BitBtn7", "TV1", "BitBtn9", "BitBtn11",
                           "BitBtn10"})
    EXPECT_FALSE(w.view.place(name).visible) << name;
  EXPECT_TRUE(w.view.place("ListView1").visible);
}

TEST(Layout, SecondPagePutsItsButtonsWhereTheFirstPageStood) {
  LaidOutWindow w;
  TForm1& form = w.start();
  const Snapshot first = w.view.last();
  form.DownBtnClick();
  const char* const firstPage[] = {"BitBtn8", "BitBtn1", "BitBtn2", "BitBtn3"};
  const char* const secondPage[] = {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"};
  for (size_t k = 0; k < 4; ++k) {
    const Place was = first.places.at(firstPage[k]);
    EXPECT_EQ(w.view.place(secondPage[k]), (Place{was.left, was.top, 70, 64, true})) << secondPage[k];
    EXPECT_FALSE(w.view.place(firstPage[k]).visible) << firstPage[k];
  }
  const Place restore = first.places.at("BitBtn4");
  EXPECT_EQ(w.view.place("BitBtn5"), (Place{restore.left, restore.top, 70, 64, true})) << "Print stands where Restore stood";
  EXPECT_FALSE(w.view.place("BitBtn4").visible);
  EXPECT_FALSE(w.view.place("DownBtn").visible);
  EXPECT_TRUE(w.view.place("UpBtn").visible);
}

TEST(Layout, FirstPageComesBackWhereItWasAndLeavesTheUpdateView) {
  LaidOutWindow w;
  TForm1& form = w.start();
  const Snapshot start = w.view.last();
  form.DownBtnClick();
  // An update check showed its candidates in place of the driver list.
  form.ListView2.Visible = true;
  form.ListView1.Visible = false;
  form.Control("BitBtn6").Visible = form.Control("BitBtn7").Visible = true;
  form.UpBtnClick();
  EXPECT_EQ(visibleOnly(w.view.last()), visibleOnly(start)) << "after a round trip the window looks as it started";
  EXPECT_EQ(w.view.place("BitBtn5").top, 261) << "the hidden Print button stays where the second page put it";
  form.DownBtnClick();
  form.UpBtnClick();
  EXPECT_EQ(visibleOnly(w.view.last()), visibleOnly(start)) << "and after another";
}

// Download and Cancel of the update list are window controls: over the memo
// they would be hidden behind it, so the memo ends above them.
TEST(Layout, UpdateButtonsStandUnderTheMemo) {
  for (const Size size : {kDesignSize, kMaximised}) {
    LaidOutWindow w;
    TForm1& form = w.start();
    form.ListView1.Visible = false;
    form.ListView2.Visible = true;
    form.Control("BitBtn6").Visible = form.Control("BitBtn7").Visible = true;
    resize(form, size);
    const Place memo = w.view.place("Memo1"), download = w.view.place("BitBtn6"), cancel = w.view.place("BitBtn7");
    EXPECT_TRUE(download.visible && cancel.visible);
    EXPECT_EQ(memo.top + memo.height + 3, download.top) << size.width;
    EXPECT_EQ(download.top, cancel.top);
    EXPECT_EQ(cancel.left + cancel.width, memo.left + memo.width) << "flush with the memo's right edge";
    EXPECT_LT(download.left + download.width, cancel.left);
    EXPECT_LT(cancel.top + cancel.height, w.view.place("StatusBar1").top);
  }
}

TEST(Layout, WideWindowFollowsTheResizeRule) {
  for (const Size size : {kMaximised, kMaximisedSmallScreen}) {
    LaidOutWindow w;
    TForm1& form = w.start();
    resize(form, size);
    const int W = size.width, H = size.height, L = W - 89;
    for (const char* name : kToolButtons) EXPECT_EQ(w.view.place(name).left, W - 80) << name;
    EXPECT_EQ(w.view.place("DownBtn").left, W - 54);
    EXPECT_EQ(w.view.place("UpBtn").left, W - 54);
    EXPECT_EQ(w.view.place("BitBtn4").top, 261) << "tops belong to the pages, not to the rule";

    const Place list = w.view.place("ListView1"), memo = w.view.place("Memo1");
    const Place statusBar = w.view.place("StatusBar1");
    EXPECT_EQ(list.width, L);
    EXPECT_EQ(memo.width, L);
    EXPECT_EQ(memo.top, H - 117 - 78);
    EXPECT_EQ(memo.top + memo.height, std::min(H - 63, statusBar.top - 1)) << "the memo stops short of the status bar";
    EXPECT_EQ(list.height, memo.top - 10);
    EXPECT_THAT(w.view.last().columns1, ::testing::ElementsAre(L * 32 / 100, L * 8 / 100, L * 8 / 100, L * 8 / 100,
                                                               L * 23 / 100, L * 19 / 100));
    EXPECT_THAT(w.view.last().columns2,
                ::testing::ElementsAre(L * 32 / 100, L * 8 / 100, L * 8 / 100, L * 30 / 100, L * 12 / 100))
        << "the update list's columns follow the driver list's width";
    EXPECT_EQ(w.view.place("ListView2").width, L);

    EXPECT_EQ(statusBar, (Place{0, size.clientHeight() - 19, size.clientWidth(), 19, true}));
    const Place edit = w.view.place("Edit1");
    const int right = memo.left + memo.width;
    EXPECT_EQ(edit.top, statusBar.top - 35);
    EXPECT_EQ(edit.left, 332);
    // Start and Cancel keep to the memo's right edge, as in the design window.
    EXPECT_EQ(w.view.place("Button2").left, right - 75);
    EXPECT_EQ(w.view.place("Button1").left, right - 152);
    EXPECT_EQ(w.view.place("Button3").left, right - 151);
    EXPECT_EQ(edit.left + edit.width, right - 157) << "the folder box reaches to Start";
    for (const char* name : {"Button1", "Button2", "Button3"}) EXPECT_EQ(w.view.place(name).top, edit.top) << name;
    EXPECT_EQ(w.view.place("BitBtn6"), (Place{right - 152, edit.top, 75, 25, false})) << "Download where Start is";
    EXPECT_EQ(w.view.place("BitBtn7"), (Place{right - 75, edit.top, 75, 25, false})) << "Cancel where Cancel is";
    EXPECT_EQ(w.view.place("BitBtn11"), (Place{right - 160, memo.top - 40, 75, 25, false}));
    EXPECT_EQ(w.view.place("BitBtn9"), (Place{right - 80, memo.top - 40, 75, 25, false}));
    EXPECT_EQ(w.view.place("BitBtn10").left, memo.left + memo.width - 80) << "Stop keeps to the memo's corner";
  }
}

TEST(Layout, SecondPageOfAWideWindowStandsInTheWideColumn) {
  LaidOutWindow w;
  TForm1& form = w.start();
  resize(form, kMaximised);
  form.DownBtnClick();
  EXPECT_EQ(w.view.place("SpeedButton1"), (Place{kMaximised.width - 80, 5, 70, 64, true}));
  EXPECT_EQ(w.view.place("BitBtn5"), (Place{kMaximised.width - 80, 261, 70, 64, true}));
  EXPECT_EQ(w.view.place("UpBtn").left, kMaximised.width - 54);
}

TEST(Layout, PageSwitchAndResizeGiveTheSameWindowInEitherOrder) {
  LaidOutWindow a, b;
  resize(a.start(), kMaximised);
  a.form->DownBtnClick();
  b.start().DownBtnClick();
  resize(*b.form, kMaximised);
  EXPECT_EQ(a.view.last(), b.view.last());
}

TEST(Layout, MaximisingAgainGivesTheSameLayoutAsTheFirstTime) {
  LaidOutWindow w;
  TForm1& form = w.start();
  resize(form, kMaximised);
  const Snapshot firstMaximise = w.view.last();
  resize(form, kDesignSize);
  resize(form, kMaximised);
  EXPECT_EQ(w.view.last(), firstMaximise) << "the memo must not grow on every resize";
  for (int k = 0; k < 5; ++k) resize(form, kMaximised);
  EXPECT_EQ(w.view.place("Memo1"), firstMaximise.places.at("Memo1"));
  EXPECT_GT(w.view.place("ListView1").height, 0) << "the driver list stays in sight";
}

TEST(Layout, EverySizeGivesTheLayoutOfAFreshWindowOfThatSize) {
  const Size sizes[] = {kMaximised, kDesignSize, kMaximisedSmallScreen, {700, 500}, kMaximised, {641, 480}};
  LaidOutWindow resized;
  resize(resized.start(), kDesignSize);
  for (const Size size : sizes) {
    resize(*resized.form, size);
    LaidOutWindow fresh;
    resize(fresh.start(), size);
    EXPECT_EQ(resized.view.last(), fresh.view.last()) << size.width << "x" << size.height;
  }
}

TEST(Layout, ShrinkingBackRestoresTheDesignLayout) {
  LaidOutWindow w;
  TForm1& form = w.start();
  const Snapshot start = w.view.last();
  resize(form, kMaximised);
  resize(form, kDesignSize);
  EXPECT_EQ(w.view.last(), start) << "tool buttons back inside a window of the designed width";
}

TEST(Layout, OnlyWindowsWiderThan640AreWide) {
  LaidOutWindow narrow, wide;
  resize(narrow.start(), {640, 480});
  resize(wide.start(), {641, 480});
  EXPECT_EQ(narrow.view.place("BitBtn8").left, 495);
  EXPECT_EQ(wide.view.place("BitBtn8").left, 641 - 80);
}

TEST(Layout, ColumnWidthsACommandSetInAWideWindowSurviveTheShrink) {
  LaidOutWindow w;
  w.image.registry("lang.reg", regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language",
                                      {{"InstallLanguage", "0804"}}));
  TForm1& form = w.start();
  resize(form, kMaximised);
  form.ChineseTWClick();  // sets the Version and Date columns to 70 and 76
  resize(form, kDesignSize);
  EXPECT_THAT(w.view.last().columns1, ::testing::ElementsAre(220, 0, 70, 76, 114, 0));
}

TEST(Layout, MemoHeightOfACommandKeepsTheWideExtraAndTheListInPlace) {
  LaidOutWindow w;
  TForm1& form = w.start();
  resize(form, kMaximised);
  const Place listBefore = w.view.place("ListView1");
  const Place memoBefore = w.view.place("Memo1");
  form.SetMemoHeight(67);
  EXPECT_EQ(w.view.place("Memo1"), (Place{memoBefore.left, memoBefore.top, memoBefore.width, 67 + 15, true}));
  EXPECT_EQ(w.view.place("ListView1"), listBefore);
  resize(form, kMaximised);
  EXPECT_EQ(w.view.place("Memo1").height, 67 + 15) << "a resize keeps the command's height";
  resize(form, kDesignSize);
  EXPECT_EQ(w.view.place("Memo1"), (Place{5, 236, 487, 67, true}));
  form.SetMemoHeight(-5);
  EXPECT_EQ(w.view.place("Memo1").height, 0) << "a negative height is no height";
}

TEST(Layout, UpdateListAndFolderTreeStandInTheDriverListsPlace) {
  LaidOutWindow w;
  TForm1& form = w.start();
  for (const Size size : {kMaximised, kDesignSize}) {
    resize(form, size);
    const Place list = w.view.place("ListView1"), updates = w.view.place("ListView2"), tree = w.view.place("TV1");
    EXPECT_EQ((Place{updates.left, updates.top, updates.width, updates.height, true}),
              (Place{list.left, list.top, list.width, list.height, true}))
        << "at width " << size.width;
    EXPECT_EQ((Place{tree.left, tree.top, tree.width, 0, true}), (Place{list.left, list.top, list.width, 0, true}))
        << "at width " << size.width;
    EXPECT_EQ(tree.top + tree.height + 3, w.view.place("BitBtn9").top) << "the tree ends above its Start and Cancel";
  }
}

// Every panel a command can show, as its command leaves it.
struct Panel {
  const char* name;
  void (*show)(TForm1&);
};
const Panel kPanels[] = {
    {"start", [](TForm1&) {}},
    {"a selection", [](TForm1& form) { form.SetMemoHeight(167); }},
    {"the destination row",
     [](TForm1& form) {
       for (const char* name : {"Label1", "Edit1", "Button1", "Button2"}) form.Control(name).Visible = true;
       form.SetMemoHeight(67);
     }},
    {"a Backup All run",
     [](TForm1& form) {
       form.SetMemoHeight(167);
       form.Control("BitBtn10").Visible = true;
       form.LayoutChanged();
     }},
    {"Restore All", [](TForm1& form) { ASSERT_TRUE(form.Click("Restore2")); }},
    {"the second page", [](TForm1& form) { form.DownBtnClick(); }},
};

bool isMenuItem(const std::string& name) {
  auto inMenu = [&name](const TMenuLayout& menu) {
    return menu.Item == name || std::find(menu.Items.begin(), menu.Items.end(), name) != menu.Items.end();
  };
  return inMenu(TForm1::ListView1Popup()) || std::any_of(TForm1::MainMenu().begin(), TForm1::MainMenu().end(), inMenu);
}

// The names of what a user sees, with the problems of each: outside the
// client area, or on top of another control.
std::vector<std::string> layoutFaults(const Snapshot& shot, Size size) {
  std::vector<std::pair<std::string, Place>> shown;
  for (const auto& name : TForm1::ControlNames()) {
    const Place place = shot.places.at(name);
    if (!isMenuItem(name) && place.visible && place.width > 0 && place.height > 0) shown.emplace_back(name, place);
  }
  std::vector<std::string> faults;
  for (size_t a = 0; a < shown.size(); ++a) {
    const auto& [name, p] = shown[a];
    if (p.left < 0 || p.top < 0 || p.left + p.width > size.clientWidth() || p.top + p.height > size.clientHeight())
      faults.push_back(name + " leaves the window");
    for (size_t b = a + 1; b < shown.size(); ++b) {
      const Place& q = shown[b].second;
      if (p.left < q.left + q.width && q.left < p.left + p.width && p.top < q.top + q.height && q.top < p.top + p.height)
        faults.push_back(name + " overlaps " + shown[b].first);
    }
  }
  return faults;
}

TEST(Layout, EveryPanelKeepsItsControlsApartAndInsideTheWindow) {
  const Size sizes[] = {kDesignSize, {641, 480}, {648, 488}, kMaximisedSmallScreen, kMaximised, {1288, 1032}};
  for (const Panel& panel : kPanels) {
    for (const Size size : sizes) {
      LaidOutWindow w;
      TForm1& form = w.start();
      resize(form, size);
      panel.show(form);
      EXPECT_THAT(layoutFaults(w.view.last(), size), ::testing::IsEmpty())
          << panel.name << " at " << size.width << "x" << size.height << ::testing::PrintToString(w.view.last());
      resize(form, size);  // and the same when the window is resized with the panel open
      EXPECT_THAT(layoutFaults(w.view.last(), size), ::testing::IsEmpty())
          << panel.name << " resized to " << size.width << "x" << size.height;
    }
  }
}

TEST(Layout, TheMemoGivesRoomToStopAndTakesItBackWhenStopGoes) {
  LaidOutWindow w;
  TForm1& form = w.start();
  form.SetMemoHeight(167);
  EXPECT_EQ(w.view.place("Memo1"), (Place{5, 236, 487, 117, true})) << "the tall memo ends above the status bar";
  form.Control("BitBtn10").Visible = true;
  form.LayoutChanged();
  EXPECT_EQ(w.view.place("Memo1").top + w.view.place("Memo1").height, w.view.place("BitBtn10").top - 3);
  form.Control("BitBtn10").Visible = false;
  form.LayoutChanged();
  EXPECT_EQ(w.view.place("Memo1").height, 117);
}

TEST(Layout, TheDriverListComingBackClosesTheFolderTree) {
  for (const char* back : {"ca1", "UpBtn", "BitBtn11"}) {  // Collect All, the first page, Cancel
    LaidOutWindow w;
    w.image.registry("c.reg", driver("{A}", "0000", {{"InfPath", "a.inf"}, {"DriverDesc", "Card"}}));
    TForm1& form = w.start();
    form.DownBtnClick();
    ASSERT_TRUE(form.Click("SpeedButton4"));
    ASSERT_TRUE(form.Click(back)) << back;
    EXPECT_TRUE(w.view.place("ListView1").visible) << back;
    for (const char* name : {"TV1", "BitBtn9", "BitBtn11"})
      EXPECT_FALSE(w.view.place(name).visible) << name << " after " << back;
  }
}

TEST(Menus, EveryItemIsAControlOfItsOwn) {
  LaidOutWindow w;
  TForm1& form = w.start();
  const auto& names = TForm1::ControlNames();
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "no name twice";
  size_t items = 0;
  for (const auto& menu : TForm1::MainMenu()) {
    EXPECT_NE(menu.Item, "-");
    for (const auto& item : menu.Items) {
      if (item == "-") continue;
      ++items;
      EXPECT_THAT(names, ::testing::Contains(item));
      EXPECT_TRUE(form.Controls.count(item)) << item;
    }
  }
  EXPECT_EQ(items, 4u + 6u + 4u + 2u + 4u + 6u + 5u) << "Collect, Backup, Install, Update, Plug-in, Interface, Help";
  EXPECT_THAT(TForm1::ListView1Popup().Items,
              ::testing::IsSupersetOf({"PopBackup1", "PopBackup2", "PopBackup3", "Removethedriver1", "Checkforupdate1"}));
}

TEST(Menus, MenuCaptionsComeFromTheLanguage) {
  LaidOutWindow w;
  TForm1& form = w.start();
  auto expectCaptions = [&form](const TMenuLayout& menu) {
    for (const auto& item : menu.Items) {
      if (item == "-") continue;
      EXPECT_FALSE(form.Control(item).Caption.empty()) << item;
    }
  };
  for (const auto& menu : TForm1::MainMenu()) {
    EXPECT_FALSE(form.Control(menu.Item).Caption.empty()) << menu.Item;
    expectCaptions(menu);
  }
  expectCaptions(TForm1::ListView1Popup());
}

TEST(Commands, ClickRunsTheCommandOfAVisibleItem) {
  LaidOutWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", {{"InfPath", "a.inf"}, {"DriverDesc", "Card"}}));
  TForm1& form = w.start();
  EXPECT_TRUE(form.Click("ca1"));
  EXPECT_EQ(form.ListView1.Count(), 1u);
  EXPECT_TRUE(form.Click("DownBtn"));
  EXPECT_TRUE(form.Control("UpBtn").Visible);
  EXPECT_TRUE(form.Click("French1"));
  EXPECT_EQ(form.CurrentLanguage, "French");
}

TEST(Commands, HiddenDisabledAndCommandlessItemsDoNothing) {
  LaidOutWindow w;
  TForm1& form = w.start();
  ASSERT_FALSE(form.Control("Chinese1").Visible);
  EXPECT_FALSE(form.Click("Chinese1")) << "the Chinese items are out of reach after an English start";
  EXPECT_EQ(form.CurrentLanguage, "English");
  EXPECT_FALSE(form.Click("UpBtn")) << "UpBtn is hidden on the first page";
  form.Control("BitBtn1").Enabled = false;
  EXPECT_FALSE(form.Click("BitBtn1"));
  EXPECT_EQ(form.StatusBar1, "Ready.");
  EXPECT_FALSE(TForm1::HasCommand("Help1")) << "a menu that only opens its items";
  EXPECT_FALSE(form.Click("Help1"));
  EXPECT_FALSE(form.Click("NoSuchControl"));
  EXPECT_TRUE(TForm1::HasCommand("can1"));
}

}  // namespace
}  // namespace korvane::test
