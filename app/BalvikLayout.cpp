// The main window's layout: the controls and their design places, the menus,
// the two pages of the tool column and the rule for a wide window.
#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "app/BalvikMain.h"

namespace korvane {

namespace {

struct DesignPlace {
  const char* name;
  int left, top, width, height;
  bool visible;
};

constexpr int kClientWidth = 567;
constexpr int kClientHeight = 373;
constexpr int kStatusBarHeight = 19;
constexpr int kDesignMemoHeight = 117;
// Wider windows than this get the wide layout (in practice a maximised one).
constexpr int kWideFrom = 641;

// The places of the window as designed; the hidden groups sit where their
// commands show them.
constexpr DesignPlace kDesign[] = {
    {"ListView1", 5, 3, 487, 230, true},
    {"Memo1", 5, 236, 487, kDesignMemoHeight, true},
    {"StatusBar1", 0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight, true},
    {"BitBtn8", 495, 5, 70, 64, true},
    {"BitBtn1", 495, 69, 70, 64, true},
    {"BitBtn2", 495, 133, 70, 64, true},
    {"BitBtn3", 495, 197, 70, 64, true},
    {"BitBtn4", 495, 261, 70, 64, true},
    {"BitBtn5", 495, 325, 70, 64, false},
    {"SpeedButton1", 495, 5, 70, 64, false},
    {"SpeedButton2", 495, 69, 70, 64, false},
    {"SpeedButton3", 495, 133, 70, 64, false},
    {"SpeedButton4", 495, 197, 70, 64, false},
    {"DownBtn", 520, 328, 23, 22, true},
    {"UpBtn", 520, 328, 23, 22, false},
    // The destination row under a short memo.
    {"Label1", 5, 323, 195, 13, false},
    {"Edit1", 200, 319, 135, 21, false},
    {"Button1", 340, 319, 75, 25, false},
    {"Button2", 417, 319, 75, 25, false},
    {"Button3", 341, 319, 75, 25, false},
    // The update list and the folder tree take the driver list's place.
    {"ListView2", 5, 3, 487, 230, false},
    {"BitBtn6", 412, 256, 75, 25, false},
    {"BitBtn7", 412, 282, 75, 25, false},
    {"TV1", 5, 3, 487, 230, false},
    {"BitBtn11", 332, 196, 75, 25, false},
    {"BitBtn9", 412, 196, 75, 25, false},
    // The Stop button of Backup All, in the memo's lower right corner.
    {"BitBtn10", 412, 326, 75, 25, false},
};

constexpr const char* kFirstPage[] = {"BitBtn8", "BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"};
constexpr const char* kSecondPage[] = {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"};
constexpr const char* kToolButtons[] = {"BitBtn1",      "BitBtn2",      "BitBtn3",      "BitBtn4",      "BitBtn5",
                                        "BitBtn8",      "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"};
constexpr const char* kPageButtons[] = {"UpBtn", "DownBtn"};
// What the narrow layout puts back in its design place.
constexpr const char* kPlacedByRule[] = {"ListView1", "Edit1",   "Button1", "Button2", "Button3",
                                         "BitBtn6",   "BitBtn7", "BitBtn9", "BitBtn10", "BitBtn11"};

// Column widths of a wide window, in hundredths of the driver list's width.
constexpr int kListView1Shares[] = {32, 8, 8, 8, 23, 19};
constexpr int kListView2Shares[] = {32, 8, 8, 30, 12};

const DesignPlace& design(std::string_view name) {
  for (const auto& place : kDesign)
    if (place.name == name) return place;
  return kDesign[0];  // only names of the table above are asked for
}

std::vector<int> widthsOf(const TListView& list) {
  std::vector<int> widths;
  for (const auto& column : list.Columns) widths.push_back(column.Width);
  return widths;
}

// Sets the columns to shares of the list width and remembers what was set.
template <size_t N>
void setShares(TListView& list, int listWidth, const int (&shares)[N], std::vector<int>& setWidths) {
  for (size_t k = 0; k < N && k < list.Columns.size(); ++k) list.Columns[k].Width = listWidth * shares[k] / 100;
  setWidths = widthsOf(list);
}

// Back to the widths before the window went wide; a width a command changed
// in the meantime is kept.
void restoreNarrowWidths(TListView& list, const std::vector<int>& narrow, const std::vector<int>& wide) {
  for (size_t k = 0; k < list.Columns.size() && k < narrow.size() && k < wide.size(); ++k)
    if (list.Columns[k].Width == wide[k]) list.Columns[k].Width = narrow[k];
}

using Handler = void (TForm1::*)();

// The commands built so far, by the name of their control or menu item.
const std::map<std::string, Handler, std::less<>>& commands() {
  static const std::map<std::string, Handler, std::less<>> table = {
      {"BitBtn1", &TForm1::BitBtn1Click},   {"ca1", &TForm1::ca1Click},
      {"BitBtn8", &TForm1::BitBtn8Click},   {"can1", &TForm1::can1Click},
      {"Stop1", &TForm1::Stop1Click},       {"DownBtn", &TForm1::DownBtnClick},
      {"UpBtn", &TForm1::UpBtnClick},       {"English1", &TForm1::English1Click},
      {"French1", &TForm1::French1Click},   {"Spanish1", &TForm1::Spanish1Click},
      {"Russian1", &TForm1::Russian1Click}, {"Chinese1", &TForm1::Chinese1Click},
      {"ChineseTW", &TForm1::ChineseTWClick}, {"BitBtn2", &TForm1::BitBtn2Click},
      {"ma", &TForm1::maClick},             {"PopBackup1", &TForm1::PopBackup1Click},
      {"Button1", &TForm1::Button1Click},   {"Button2", &TForm1::Button2Click},
      {"Button3", &TForm1::Button3Click},   {"PopBackup2", &TForm1::PopBackup2Click},
      {"PopBackup3", &TForm1::PopBackup3Click}, {"MenuSFX1", &TForm1::MenuSFX1Click},
      {"MenuSFX2", &TForm1::MenuSFX2Click}, {"MenuSFX3", &TForm1::MenuSFX3Click},
      {"BitBtn3", &TForm1::BitBtn3Click},   {"ms", &TForm1::msClick},
      {"BitBtn10", &TForm1::BitBtn10Click},
      {"BitBtn4", &TForm1::BitBtn4Click},   {"restore1", &TForm1::restore1Click},
      {"instnew1", &TForm1::instnew1Click}, {"SpeedButton3", &TForm1::SpeedButton3Click},
      {"SpeedButton4", &TForm1::SpeedButton4Click}, {"Restore2", &TForm1::Restore2Click},
      {"BitBtn9", &TForm1::BitBtn9Click},   {"BitBtn11", &TForm1::BitBtn11Click},
      {"Remove1", &TForm1::Remove1Click},   {"SpeedButton2", &TForm1::SpeedButton2Click},
      {"Removethedriver1", &TForm1::Removethedriver1Click}};
  return table;
}

}  // namespace

const std::vector<TMenuLayout>& TForm1::MainMenu() {
  static const std::vector<TMenuLayout> menus = {
      {"Collect1", {"ca1", "can1", "-", "SaveListing1", "Print1"}},
      {"N1", {"ma", "ms", "-", "MenuSFX1", "MenuSFX2", "MenuSFX3", "-", "Stop1"}},
      {"install1", {"restore1", "instnew1", "-", "Restore2", "-", "Remove1"}},
      {"Update1", {"UpdateNow1", "-", "Proxysettings1"}},
      {"Plugin1", {"BackupOutlook1", "Restore3", "-", "BackupIEFavorite1", "Restore4"}},
      {"Interface1", {"English1", "French1", "Spanish1", "Russian1", "Chinese1", "ChineseTW"}},
      {"Help1", {"Manual1", "-", "Homepage1", "Homepage2", "-", "Writetome1", "About1"}}};
  return menus;
}

const TMenuLayout& TForm1::ListView1Popup() {
  static const TMenuLayout popup = {
      "PopupMenu2", {"PopBackup1", "PopBackup2", "PopBackup3", "-", "Removethedriver1", "-", "Checkforupdate1"}};
  return popup;
}

const std::vector<std::string>& TForm1::ControlNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const auto& place : kDesign) all.emplace_back(place.name);
    auto addMenu = [&all](const TMenuLayout& menu) {
      all.push_back(menu.Item);
      for (const auto& item : menu.Items)
        if (item != "-") all.push_back(item);
    };
    for (const auto& menu : MainMenu()) addMenu(menu);
    addMenu(ListView1Popup());
    return all;
  }();
  return names;
}

void TForm1::CreateControls() {
  for (const auto& place : kDesign) {
    TControl& control = Control(place.name);
    control.SetBounds(place.left, place.top, place.width, place.height);
    control.Visible = place.visible;
  }
  for (const auto& name : ControlNames()) Control(name);  // menu items: visible and enabled
  ListView2.Columns = {{"", 220, false}, {"", 70, true}, {"", 70, true}, {"", 100, false}, {"", 75, true}};
  ListView2.Visible = false;
  memoHeight_ = kDesignMemoHeight;
  windowSize_ = {0, 0, kClientWidth, kClientHeight};
}

bool TForm1::HasCommand(const std::string& name) { return commands().count(name) > 0; }

bool TForm1::Click(const std::string& name) {
  const auto command = commands().find(name);
  if (command == commands().end()) return false;
  const auto control = Controls.find(name);
  if (control != Controls.end() && (!control->second.Visible || !control->second.Enabled)) return false;
  // What a command did not handle ends it with the error box, as in any
  // window program, instead of taking the program down.
  try {
    (this->*command->second)();
  } catch (const std::exception& error) {
    CommandFailed = true;
    view_.showMessage(error.what());
  }
  return true;
}

void TForm1::DownBtnClick() {
  for (const char* name : kFirstPage) Control(name).Visible = false;
  for (size_t k = 0; k < std::size(kSecondPage); ++k) Control(kSecondPage[k]).MoveTo(Control(kFirstPage[k]));
  Control("BitBtn5").MoveTo(Control("BitBtn4"));
  Control("BitBtn5").Visible = true;
  for (const char* name : kSecondPage) Control(name).Visible = true;
  Control("DownBtn").Visible = false;
  Control("UpBtn").Visible = true;
  view_.controlsChanged();
}

void TForm1::UpBtnClick() {
  ListView2.Visible = false;
  Control("BitBtn6").Visible = false;
  Control("BitBtn7").Visible = false;
  ListView1.Visible = true;
  for (const char* name : kSecondPage) Control(name).Visible = false;
  for (size_t k = 0; k < std::size(kSecondPage); ++k) Control(kFirstPage[k]).MoveTo(Control(kSecondPage[k]));
  Control("BitBtn4").MoveTo(Control("BitBtn5"));
  Control("BitBtn5").Visible = false;
  for (const char* name : kFirstPage) Control(name).Visible = true;
  Control("UpBtn").Visible = false;
  Control("DownBtn").Visible = true;
  view_.controlsChanged();
}

void TForm1::FormResize(int width, int height, int clientWidth, int clientHeight) {
  windowSize_ = {width, height, clientWidth, clientHeight};
  ApplyLayout();
  view_.controlsChanged();
}

void TForm1::SetMemoHeight(int height) {
  memoHeight_ = std::max(height, 0);
  ApplyLayout();
  view_.controlsChanged();
}

void TForm1::ApplyLayout() {
  Control("StatusBar1")
      .SetBounds(0, windowSize_.clientHeight - kStatusBarHeight, windowSize_.clientWidth, kStatusBarHeight);
  if (windowSize_.width >= kWideFrom)
    WideLayout();
  else
    NarrowLayout();
  const TControl& list = Control("ListView1");
  for (const char* name : {"ListView2", "TV1"}) Control(name).SetBounds(list.Left, list.Top, list.Width, list.Height);
}

// A window of the designed width, also one that was wide before.
void TForm1::NarrowLayout() {
  for (const char* name : kToolButtons) Control(name).Left = design(name).left;
  for (const char* name : kPageButtons) Control(name).Left = design(name).left;
  for (const char* name : kPlacedByRule) {
    const DesignPlace& place = design(name);
    Control(name).SetBounds(place.left, place.top, place.width, place.height);
  }
  const DesignPlace& memo = design("Memo1");
  Control("Memo1").SetBounds(memo.left, memo.top, memo.width, memoHeight_);
  if (wideLayout_) {
    restoreNarrowWidths(ListView1, columns1_.narrow, columns1_.wide);
    restoreNarrowWidths(ListView2, columns2_.narrow, columns2_.wide);
  }
  wideLayout_ = false;
}

// Every size is worked out from the window's size and the design, never from
// what an earlier resize left, so the memo does not creep upwards.
void TForm1::WideLayout() {
  const int w = windowSize_.width, h = windowSize_.height;
  for (const char* name : kToolButtons) Control(name).Left = w - 80;
  for (const char* name : kPageButtons) Control(name).Left = w - 54;

  TControl& list = Control("ListView1");
  TControl& memo = Control("Memo1");
  list.Width = memo.Width = w - 89;
  if (!wideLayout_) {
    columns1_.narrow = widthsOf(ListView1);
    columns2_.narrow = widthsOf(ListView2);
  }
  setShares(ListView1, list.Width, kListView1Shares, columns1_.wide);
  setShares(ListView2, list.Width, kListView2Shares, columns2_.wide);

  memo.Top = h - kDesignMemoHeight - 78;
  memo.Height = memoHeight_ + 15;
  list.Height = memo.Top - 10;

  TControl& edit = Control("Edit1");
  edit.Top = Control("StatusBar1").Top - 35;
  edit.Left = 332;
  const std::pair<const char*, int> rowButtons[] = {{"Button1", 540}, {"Button2", 617}, {"Button3", 541}};
  for (const auto& [name, left] : rowButtons) {
    Control(name).Top = edit.Top;
    Control(name).Left = left;
  }
  Control("BitBtn6").Top = memo.Top + 20;
  Control("BitBtn6").Left = 717;
  Control("BitBtn7").Top = memo.Top + 46;
  Control("BitBtn7").Left = 717;
  Control("BitBtn11").Top = memo.Top - 40;
  Control("BitBtn11").Left = 612;
  Control("BitBtn9").Top = Control("BitBtn11").Top;
  Control("BitBtn9").Left = 697;
  // Stop keeps to the memo's lower right corner, as in the narrow window.
  Control("BitBtn10").Left = memo.Left + memo.Width - 80;
  Control("BitBtn10").Top = memo.Top + kDesignMemoHeight - 27;
  wideLayout_ = true;
}

}  // namespace korvane
