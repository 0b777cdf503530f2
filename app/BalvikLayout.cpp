// The main window's layout: the controls and their design places, the menus,
// the two pages of the tool column and the rule for a wide window.
#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "app/BalvikMain.h"
#include "app/CabinetErrors.h"

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
constexpr int kWideMemoExtra = 15;  // a wide window's memo is this much taller
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
    // The destination row under a short memo; the label has two lines, as
    // the longer languages need them beside the box.
    {"Label1", 5, 317, 195, 30, false},
    {"Edit1", 200, 319, 135, 21, false},
    {"Button1", 340, 319, 75, 25, false},
    {"Button2", 417, 319, 75, 25, false},
    {"Button3", 341, 319, 75, 25, false},
    // The update list and the folder tree take the driver list's place; the
    // update list's Download and Cancel stand where Start and Cancel do.
    {"ListView2", 5, 3, 487, 230, false},
    {"BitBtn6", 340, 319, 75, 25, false},
    {"BitBtn7", 417, 319, 75, 25, false},
    {"TV1", 5, 3, 487, 190, false},  // above its Start and Cancel
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
constexpr const char* kPlacedByRule[] = {"ListView1", "BitBtn10"};
// Controls that may show below the memo; the memo ends above those that do.
constexpr const char* kBelowMemo[] = {"Label1",  "Edit1",   "Button1", "Button2",
                                     "Button3", "BitBtn6", "BitBtn7", "BitBtn10"};
constexpr int kMemoGap = 1;    // between the memo and the status bar, as designed
constexpr int kRowGap = 3;     // between the memo, or the folder tree, and a row under it
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonStep = 80;  // one button's left to the next, in the folder tree's row
constexpr int kRowButtonStep = 77;  // the same in the destination row, as designed
constexpr int kEditGap = 5;      // between the folder box and Start
constexpr int kLabelRise = 2;    // the label starts this far above the row

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
      {"Removethedriver1", &TForm1::Removethedriver1Click}, {"BitBtn7", &TForm1::BitBtn7Click},
      {"Proxysettings1", &TForm1::Proxysettings1Click},
      {"Print1", &TForm1::Print1Click},     {"BitBtn5", &TForm1::BitBtn5Click},
      {"SaveListing1", &TForm1::SaveListing1Click},
      {"SpeedButton1", &TForm1::SpeedButton1Click}, {"UpdateNow1", &TForm1::UpdateNow1Click},
      {"Checkforupdate1", &TForm1::Checkforupdate1Click}, {"BitBtn6", &TForm1::BitBtn6Click},
      {"DownloadNow1", &TForm1::DownloadNow1Click}, {"CopyURL1", &TForm1::CopyURL1Click},
      {"Manual1", &TForm1::Manual1Click},   {"Homepage1", &TForm1::Homepage1Click},
      {"Homepage2", &TForm1::Homepage2Click}, {"Writetome1", &TForm1::Writetome1Click},
      {"About1", &TForm1::About1Click},
      {"BackupOutlook1", &TForm1::BackupOutlook1Click}, {"Restore3", &TForm1::Restore3Click},
      {"BackupIEFavorite1", &TForm1::BackupIEFavorite1Click}, {"Restore4", &TForm1::Restore4Click}};
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

const TMenuLayout& TForm1::ListView2Popup() {
  static const TMenuLayout popup = {"PopupMenu3", {"DownloadNow1", "CopyURL1"}};
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
    addMenu(ListView2Popup());
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
  ListView2.Sorted = false;  // candidates stand in the order the check found them
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
    view_.showMessage(commandErrorText(error));
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
  ShowDriverList();
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
  ResizeColumns();
  LayoutChanged();
}

void TForm1::SetMemoHeight(int height) {
  memoHeight_ = std::max(height, 0);
  LayoutChanged();
}

void TForm1::LayoutChanged() {
  ApplyLayout();
  view_.controlsChanged();
}

void TForm1::ShowDriverList() {
  ListView2.Visible = false;
  ListView1.Visible = true;
  for (const char* name : {"BitBtn6", "BitBtn7", "TV1", "BitBtn9", "BitBtn11"}) Control(name).Visible = false;
  LayoutChanged();
}

void TForm1::BitBtn7Click() {
  ClearMemo();
  ShowDriverList();  // the candidate rows stay until the next check
}

bool TForm1::IsWide() const { return windowSize_.width >= kWideFrom; }

// Column widths follow the window's size only when it changes, so that a
// width a command set lasts until the next resize.
void TForm1::ResizeColumns() {
  if (!IsWide()) {
    if (wideLayout_) {
      restoreNarrowWidths(ListView1, columns1_.narrow, columns1_.wide);
      restoreNarrowWidths(ListView2, columns2_.narrow, columns2_.wide);
    }
    wideLayout_ = false;
    return;
  }
  if (!wideLayout_) {
    columns1_.narrow = widthsOf(ListView1);
    columns2_.narrow = widthsOf(ListView2);
  }
  const int listWidth = windowSize_.width - 89;
  setShares(ListView1, listWidth, kListView1Shares, columns1_.wide);
  setShares(ListView2, listWidth, kListView2Shares, columns2_.wide);
  wideLayout_ = true;
}

void TForm1::ApplyLayout() {
  Control("StatusBar1")
      .SetBounds(0, windowSize_.clientHeight - kStatusBarHeight, windowSize_.clientWidth, kStatusBarHeight);
  if (IsWide())
    WideLayout();
  else
    NarrowLayout();
  FitMemo();
  const TControl& list = Control("ListView1");
  Control("ListView2").SetBounds(list.Left, list.Top, list.Width, list.Height);
  // The folder tree leaves the bottom of the list's place to its Start and Cancel.
  const int treeBottom = Control("BitBtn11").Top - kRowGap;
  Control("TV1").SetBounds(list.Left, list.Top, list.Width, std::max(treeBottom - list.Top, 0));
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
  PlaceDestinationRow(design("Edit1").top, design("Edit1").left);
  PlaceFolderTreeButtons(design("BitBtn9").top);
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
  memo.Top = h - kDesignMemoHeight - 78;
  list.Height = memo.Top - 10;

  PlaceDestinationRow(Control("StatusBar1").Top - 35, 332);
  PlaceFolderTreeButtons(memo.Top - 40);
  // Stop keeps to the memo's lower right corner, as in the narrow window.
  Control("BitBtn10").Left = memo.Left + memo.Width - 80;
  Control("BitBtn10").Top = memo.Top + kDesignMemoHeight - 27;
}

// The label, the folder box and the buttons under the memo, the buttons
// flush with the memo's right edge so that they stay inside any window.
void TForm1::PlaceDestinationRow(int top, int editLeft) {
  const TControl& memo = Control("Memo1");
  const int cancelLeft = memo.Left + memo.Width - kButtonWidth;
  const int startLeft = cancelLeft - kRowButtonStep;
  Control("Button2").SetBounds(cancelLeft, top, kButtonWidth, kButtonHeight);
  Control("Button1").SetBounds(startLeft, top, kButtonWidth, kButtonHeight);
  // A window control drawn over the memo would hide behind it: the update
  // list's Download and Cancel take this row too.
  Control("BitBtn7").SetBounds(cancelLeft, top, kButtonWidth, kButtonHeight);
  Control("BitBtn6").SetBounds(startLeft, top, kButtonWidth, kButtonHeight);
  Control("Button3").SetBounds(startLeft + 1, top, kButtonWidth, kButtonHeight);
  Control("Edit1").SetBounds(editLeft, top, std::max(startLeft - kEditGap - editLeft, 0), design("Edit1").height);
  const DesignPlace& label = design("Label1");
  Control("Label1").SetBounds(label.left, top - kLabelRise, editLeft - label.left, label.height);
}

// Start and Cancel of Restore All, flush with the list's right edge.
void TForm1::PlaceFolderTreeButtons(int top) {
  const TControl& list = Control("ListView1");
  const int startLeft = list.Left + list.Width - kButtonStep;
  Control("BitBtn9").SetBounds(startLeft, top, kButtonWidth, kButtonHeight);
  Control("BitBtn11").SetBounds(startLeft - kButtonStep, top, kButtonWidth, kButtonHeight);
}

// The memo keeps the height its command asked for as far as the status bar
// and the rows showing under it leave room.
void TForm1::FitMemo() {
  TControl& memo = Control("Memo1");
  int bottom = Control("StatusBar1").Top - kMemoGap;
  for (const char* name : kBelowMemo) {
    const TControl& below = Control(name);
    if (below.Visible && below.Top > memo.Top) bottom = std::min(bottom, below.Top - kRowGap);
  }
  const int wanted = IsWide() ? memoHeight_ + kWideMemoExtra : memoHeight_;
  memo.Height = std::clamp(wanted, 0, std::max(bottom - memo.Top, 0));
}

}  // namespace korvane
