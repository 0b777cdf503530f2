#include "app/win32/Win32View.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <vector>

#include "app/win32/AboutDialogBox.h"
#include "app/win32/ControlIds.h"
#include "app/win32/FolderDialogBox.h"
#include "app/win32/FontTag.h"
#include "app/win32/InputBox.h"
#include "app/win32/ProxyDialogBox.h"
#include "app/win32/WindowText.h"
#include "platform/win32/Win32Util.h"

namespace korvane {

namespace {

using win32::wide;

constexpr int kClientWidth = 567;
constexpr int kClientHeight = 373;
constexpr COLORREF kBackground = RGB(128, 128, 192);
constexpr const wchar_t* kDefaultFont = L"MS Sans Serif";
constexpr int kDefaultFontHeight = -11;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

constexpr int kBrowseWidth = 21;  // the folder box's browse button, at its right end
// A command that waits for the user pumps in a tight loop: after this many
// empty pumps in a row the thread sleeps until input comes, at most kRestMs.
constexpr unsigned kEmptyPumpsBeforeRest = 1000;
constexpr DWORD kRestMs = 10;

constexpr const char* kToolBitBtns[] = {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "BitBtn5", "BitBtn8"};

// A "\r" alone breaks a caption into lines; Windows wants "\r\n".
std::wstring windowsText(const std::string& utf8) {
  std::wstring text;
  const std::wstring units = wide(utf8);
  for (size_t k = 0; k < units.size(); ++k) {
    text += units[k];
    if (units[k] == L'\r' && (k + 1 == units.size() || units[k + 1] != L'\n')) text += L'\n';
  }
  return text;
}

// The system's folder picker, opening on the folder the box names. nullopt
// when cancelled or when the choice is no file-system folder.
int CALLBACK startInFolder(HWND picker, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED) SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, folder);
  return 0;
}

std::optional<std::wstring> pickFolder(HWND owner, const std::wstring& folder, const std::wstring& prompt) {
  wchar_t chosen[MAX_PATH] = {};
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.pszDisplayName = chosen;
  request.lpszTitle = prompt.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  request.lpfn = startInFolder;
  request.lParam = reinterpret_cast<LPARAM>(folder.c_str());
  LPITEMIDLIST picked = SHBrowseForFolderW(&request);
  if (!picked) return std::nullopt;
  const bool isPath = SHGetPathFromIDListW(picked, chosen) != FALSE;
  CoTaskMemFree(picked);
  if (!isPath) return std::nullopt;
  return std::wstring(chosen);
}

bool hasStyle(HWND window, LONG style) { return (GetWindowLongW(window, GWL_STYLE) & style) != 0; }

void setVisible(HWND window, bool visible) {
  if (hasStyle(window, WS_VISIBLE) != visible) ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

void setEnabled(HWND window, bool enabled) {
  if ((IsWindowEnabled(window) != FALSE) != enabled) EnableWindow(window, enabled);
}

// Our own character set for each language's code page, so that the system
// picks a font that has its letters.
unsigned charSetOfCodePage(unsigned codePage) {
  switch (codePage) {
    case 936: return GB2312_CHARSET;
    case 950: return CHINESEBIG5_CHARSET;
    case 1251: return RUSSIAN_CHARSET;
    default: return DEFAULT_CHARSET;
  }
}

void drawArrow(HDC dc, const RECT& box, bool up) {
  const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2, half = 4;
  const POINT down[] = {{cx - half, cy - 2}, {cx + half, cy - 2}, {cx, cy + 2}};
  const POINT upward[] = {{cx - half, cy + 2}, {cx + half, cy + 2}, {cx, cy - 2}};
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Polygon(dc, up ? upward : down, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

// Draws a caption of one or more lines in the middle of the box.
void drawCaption(HDC dc, const RECT& box, const std::wstring& caption, bool enabled) {
  RECT measured = box;
  const UINT format = DT_CENTER | DT_WORDBREAK;
  DrawTextW(dc, caption.c_str(), -1, &measured, format | DT_CALCRECT);
  RECT place = box;
  place.top += ((box.bottom - box.top) - (measured.bottom - measured.top)) / 2;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextW(dc, caption.c_str(), -1, &place, format);
}

}  // namespace

Win32View::Win32View(HINSTANCE instance, Machine& machine)
    : instance_(instance), machine_(machine), background_(CreateSolidBrush(kBackground)) {}

Win32View::~Win32View() {
  for (const auto& [key, font] : fonts_) DeleteObject(font);
  DeleteObject(background_);
}

bool Win32View::create(TForm1& form) {
  form_ = &form;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.hbrBackground = background_;
  windowClass.lpszClassName = kMainWindowClass;
  if (!RegisterClassExW(&windowClass)) return false;

  // The designed client area, with the window centred on the screen.
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kWindowStyle, TRUE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExW(0, kMainWindowClass, wide(form.Caption).c_str(), kWindowStyle, left, top, width, height,
                            nullptr, nullptr, instance_, this);
  if (!window_ || !createControls()) return false;
  transferDialog_ = std::make_unique<Win32TransferDialog>(
      instance_, window_, [this] { return fontFor(form_->Control("Button1")); },
      [this](Msg msg) { return form_->Text(msg); });
  form.WC1.Dialog = transferDialog_.get();
  statusChanged(form.StatusBar1);
  controlsChanged();
  listChanged("ListView1", form.ListView1);
  resized();
  return true;
}

void Win32View::show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
}

int Win32View::run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

Win32View::Kind Win32View::kindOf(const std::string& name) {
  if (name.rfind("ListView", 0) == 0) return Kind::List;
  if (name == "Memo1") return Kind::Memo;
  if (name == "StatusBar1") return Kind::StatusBar;
  if (name == "TV1") return Kind::Tree;
  if (name == "Label1") return Kind::Label;
  if (name == "Edit1") return Kind::Edit;
  if (name == "DownBtn" || name == "UpBtn") return Kind::ArrowButton;
  if (name.rfind("SpeedButton", 0) == 0) return Kind::ToolButton;
  for (const char* tool : kToolBitBtns)
    if (name == tool) return Kind::ToolButton;
  return Kind::PushButton;
}

bool Win32View::createControls() {
  auto addMenu = [this](const TMenuLayout& menu) {
    menuItems_.insert(menu.Item);
    menuItems_.insert(menu.Items.begin(), menu.Items.end());
  };
  for (const auto& menu : TForm1::MainMenu()) addMenu(menu);
  addMenu(TForm1::ListView1Popup());
  addMenu(TForm1::ListView2Popup());
  for (const auto& name : TForm1::ControlNames()) {
    if (menuItems_.count(name)) continue;
    const Kind kind = kindOf(name);
    HWND control = createControl(name, kind);
    if (!control) return false;
    controls_[name] = {control, kind};
  }
  browseButton_ = CreateWindowExW(0, L"BUTTON", L"...", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                  0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFolderBrowseId)),
                                  instance_, nullptr);
  return browseButton_ != nullptr;
}

HWND Win32View::createControl(const std::string& name, Kind kind) {
  struct Recipe {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
  };
  constexpr DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
  const Recipe recipe = [kind]() -> Recipe {
    switch (kind) {
      case Kind::List: return {WC_LISTVIEWW, child | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
      case Kind::Memo:
        return {L"EDIT", child | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE};
      case Kind::StatusBar: return {STATUSCLASSNAMEW, child, 0};
      case Kind::Tree:
        return {WC_TREEVIEWW, child | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                WS_EX_CLIENTEDGE};
      case Kind::Label: return {L"STATIC", child | SS_LEFT | SS_NOPREFIX, 0};
      case Kind::Edit: return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
      case Kind::ToolButton:
      case Kind::ArrowButton: return {L"BUTTON", child | BS_OWNERDRAW, 0};
      case Kind::PushButton: break;
    }
    return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
  }();
  HWND control = CreateWindowExW(recipe.exStyle, recipe.className, L"", recipe.style, 0, 0, 0, 0, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(name))), instance_, nullptr);
  if (!control) return nullptr;
  if (kind == Kind::List)
    SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  if (kind == Kind::Tree) tree_ = std::make_unique<FolderTreeControl>(control, form_->TV1);
  if (kind == Kind::Memo) {
    SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    // The memo's context menu is an empty one: no edit menu at all.
    SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(memoProc));
  }
  if (kind == Kind::StatusBar) {
    int wholeWidth = -1;
    SendMessageW(control, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&wholeWidth));
  }
  return control;
}

LRESULT CALLBACK Win32View::memoProc(HWND memo, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CONTEXTMENU) return 0;
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(memo, GWLP_USERDATA));
  return CallWindowProcW(original, memo, message, wParam, lParam);
}

const TControl* Win32View::find(const std::string& name) const {
  const auto found = form_->Controls.find(name);
  return found == form_->Controls.end() ? nullptr : &found->second;
}

HWND Win32View::controlWindow(const std::string& name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second.first;
}

const TListView* Win32View::listNamed(const std::string& name) const {
  if (name == "ListView1") return &form_->ListView1;
  if (name == "ListView2") return &form_->ListView2;
  return nullptr;
}

// ---- what the form tells ----

void Win32View::controlsChanged() {
  if (!window_) return;
  const std::wstring title = wide(form_->Caption);
  if (title != shownTitle_) {
    SetWindowTextW(window_, title.c_str());
    shownTitle_ = title;
  }
  for (const auto& [name, entry] : controls_) syncControl(name, entry.first, entry.second);
  syncMenus();
}

void Win32View::syncControl(const std::string& name, HWND control, Kind kind) {
  const TControl* model = find(name);
  if (!model) return;
  if (kind == Kind::StatusBar) {
    SendMessageW(control, WM_SIZE, 0, 0);  // it keeps itself at the bottom
  } else if (kind == Kind::Edit) {
    syncEdit(control, *model);
  } else {
    RECT was;
    GetWindowRect(control, &was);
    SetWindowPos(control, nullptr, model->Left, model->Top, model->Width, model->Height, SWP_NOZORDER | SWP_NOACTIVATE);
    // A memo made shorter for a row of buttons keeps its last lines in view.
    if (kind == Kind::Memo && was.bottom - was.top != model->Height) SendMessageW(control, EM_SCROLLCARET, 0, 0);
  }
  const TListView* list = listNamed(name);
  setVisible(control, list ? list->Visible : model->Visible);
  const bool runnable = kind != Kind::ToolButton && kind != Kind::ArrowButton && kind != Kind::PushButton;
  setEnabled(control, model->Enabled && (runnable || TForm1::HasCommand(name)));
  HFONT font = fontFor(*model);
  setFont(control, font);
  if (list) syncColumns(name, control, *list);
  if (kind == Kind::Tree && model->Visible) tree_->sync();
  if (kind == Kind::Edit) {  // the browse button goes with the folder box
    setVisible(browseButton_, model->Visible);
    setEnabled(browseButton_, model->Enabled);
    setFont(browseButton_, font);
  }
  const bool captioned = kind == Kind::Label || kind == Kind::ToolButton || kind == Kind::PushButton;
  if (captioned) {
    const std::wstring caption = windowsText(model->Caption);
    if (captions_[control] != caption) {
      SetWindowTextW(control, caption.c_str());
      captions_[control] = caption;
      InvalidateRect(control, nullptr, TRUE);
    }
  }
}

void Win32View::setFont(HWND control, HFONT font) {
  if (shownFonts_[control] == font) return;
  setControlFont(control, font);
  shownFonts_[control] = font;
}

// The box and its browse button share the box's place. The text is set only
// when the form changed it, and that change is no user's typing.
void Win32View::syncEdit(HWND edit, const TControl& model) {
  const int boxWidth = std::max(model.Width - kBrowseWidth, 0);
  SetWindowPos(edit, nullptr, model.Left, model.Top, boxWidth, model.Height, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(browseButton_, nullptr, model.Left + boxWidth, model.Top, std::min(kBrowseWidth, model.Width),
               model.Height, SWP_NOZORDER | SWP_NOACTIVATE);
  const std::wstring text = wide(model.Caption);
  if (textOf(edit) == text) return;
  settingEdit_ = true;
  SetWindowTextW(edit, text.c_str());
  settingEdit_ = false;
}

void Win32View::syncColumns(const std::string& name, HWND list, const TListView& model) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int shown = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (size_t k = 0; k < model.Columns.size(); ++k) {
    const TListColumn& column = model.Columns[k];
    // The language's caption of a column where it has one, else the list's own.
    const TControl* translated = find(name + ":" + std::to_string(k));
    std::wstring caption = wide(translated && !translated->Caption.empty() ? translated->Caption : column.Caption);
    LVCOLUMNW entry{};
    entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    entry.fmt = column.RightAligned && k > 0 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    entry.cx = column.Width;
    entry.pszText = caption.data();
    const UINT message = static_cast<int>(k) < shown ? LVM_SETCOLUMNW : LVM_INSERTCOLUMNW;
    SendMessageW(list, message, k, reinterpret_cast<LPARAM>(&entry));
  }
}

void Win32View::listChanged(const std::string& name, const TListView& list) {
  HWND control = controlWindow(name);
  if (!control) return;
  syncControl(name, control, Kind::List);
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  fillingList_ = true;
  SendMessageW(control, LVM_DELETEALLITEMS, 0, 0);
  for (size_t row = 0; row < list.Count(); ++row) {
    const auto& texts = list.Row(row);
    for (size_t column = 0; column < texts.size() && column < list.Columns.size(); ++column) {
      std::wstring text = wide(texts[column]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(row);
      item.iSubItem = static_cast<int>(column);
      item.pszText = text.data();
      SendMessageW(control, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, column == 0 ? 0 : row,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
  restoreSelection(control, list);
  fillingList_ = false;
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
}

// A refilled list shows the rows the form holds selected.
void Win32View::restoreSelection(HWND list, const TListView& model) {
  for (size_t row = 0; row < model.Count(); ++row) {
    if (!model.Selected(row)) continue;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
}

void Win32View::memoCleared() {
  HWND memo = controlWindow("Memo1");
  if (!memo) return;
  SetWindowTextW(memo, L"");
  memoLines_ = 0;
}

void Win32View::memoAppended(const std::string& line) {
  HWND memo = controlWindow("Memo1");
  if (!memo) return;
  const std::wstring text = (memoLines_ ? L"\r\n" : L"") + wide(line);
  const int end = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, end, end);
  SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  ++memoLines_;
}

void Win32View::memoTextAppended(const std::string& text) {
  HWND memo = controlWindow("Memo1");
  if (!memo) return;
  const std::wstring added = wide(text);
  const int end = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, end, end);
  SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
  if (!memoLines_) memoLines_ = 1;
}

void Win32View::statusChanged(const std::string& text) {
  HWND statusBar = controlWindow("StatusBar1");
  if (!statusBar) return;
  const std::wstring shown = wide(text);
  SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

void Win32View::showMessage(const std::string& text) {
  MessageBoxW(window_, windowsText(text).c_str(), wide(form_->Caption).c_str(), MB_OK | MB_ICONINFORMATION);
}

bool Win32View::askYesNo(const std::string& text) { return confirm(form_->Caption, text); }

bool Win32View::confirm(const std::string& caption, const std::string& text) {
  return MessageBoxW(window_, windowsText(text).c_str(), wide(caption).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Win32View::processMessages() {
  MSG message;
  bool handled = false;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
      return;
    }
    handled = true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (handled)
    emptyPumps_ = 0;
  else
    restWhenIdle();
}

// A long search pumps once per file and rarely comes here; a wait for Start
// comes here at once and then sleeps until the user does something.
void Win32View::restWhenIdle() {
  if (++emptyPumps_ < kEmptyPumpsBeforeRest) return;
  emptyPumps_ = 0;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, kRestMs, QS_ALLINPUT);
}

// ---- menus ----

std::string Win32View::menuSignature() const {
  std::string signature;
  for (const auto& name : menuItems_) {
    const TControl* item = find(name);
    if (!item) continue;
    signature += name + '\x1f' + item->Caption + (item->Visible ? 'v' : '-') + (item->Checked ? 'c' : '-') +
                 (item->Enabled ? 'e' : '-') + '\x1e';
  }
  return signature;
}

HMENU Win32View::buildMenu(const TMenuLayout& menu) {
  HMENU popup = CreatePopupMenu();
  bool separatorDue = false;
  for (const auto& name : menu.Items) {
    if (name == "-") {
      separatorDue = GetMenuItemCount(popup) > 0;
      continue;
    }
    const TControl* item = find(name);
    if (!item || !item->Visible) continue;
    if (separatorDue) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    separatorDue = false;
    UINT flags = MF_STRING;
    if (item->Checked) flags |= MF_CHECKED;
    if (!item->Enabled || !TForm1::HasCommand(name)) flags |= MF_GRAYED;
    AppendMenuW(popup, flags, static_cast<UINT_PTR>(controlId(name)), wide(item->Caption).c_str());
  }
  return popup;
}

void Win32View::syncMenus() {
  const std::string signature = menuSignature();
  if (signature == shownMenus_) return;
  shownMenus_ = signature;
  HMENU bar = CreateMenu();
  for (const auto& menu : TForm1::MainMenu()) {
    const TControl* top = find(menu.Item);
    if (!top || !top->Visible) continue;
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(buildMenu(menu)), wide(top->Caption).c_str());
  }
  HMENU old = GetMenu(window_);
  SetMenu(window_, bar);
  if (old) DestroyMenu(old);
  DrawMenuBar(window_);
}

void Win32View::showListPopup(const std::string& list, LPARAM position) {
  POINT at{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  if (position == -1) {  // from the keyboard: the list's corner
    RECT box;
    GetWindowRect(controlWindow(list), &box);
    at = {box.left + 10, box.top + 10};
  }
  HMENU popup = buildMenu(list == "ListView2" ? TForm1::ListView2Popup() : TForm1::ListView1Popup());
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  DestroyMenu(popup);
}

// ---- fonts and drawing ----

unsigned Win32View::charSet() const {
  const auto lang = languageOf(form_->CurrentLanguage);
  return lang ? charSetOfCodePage(languageCodePage(*lang)) : DEFAULT_CHARSET;
}

HFONT Win32View::fontFor(const TControl& control) {
  const std::wstring face = control.FontName.empty() ? std::wstring(kDefaultFont) : wide(control.FontName);
  int height = kDefaultFontHeight;
  if (control.FontSize > 0) {
    HDC screen = GetDC(nullptr);
    height = -MulDiv(control.FontSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
  }
  const FontKey key{face, height, static_cast<int>(charSet())};
  auto& font = fonts_[key];
  if (!font)
    font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, static_cast<DWORD>(std::get<2>(key)),
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       face.c_str());
  return font;
}

void Win32View::drawButton(const DRAWITEMSTRUCT& item) {
  const std::string name = controlName(static_cast<int>(item.CtlID));
  const TControl* model = find(name);
  if (!model) return;
  RECT box = item.rcItem;
  FillRect(item.hDC, &box, background_);
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawEdge(item.hDC, &box, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  if (kindOf(name) == Kind::ArrowButton) {
    drawArrow(item.hDC, box, name == "UpBtn");
    return;
  }
  InflateRect(&box, -kToolCaptionInsetX, -kToolCaptionInsetY);
  HGDIOBJ old = SelectObject(item.hDC, fontFor(*model));
  drawCaption(item.hDC, box, windowsText(model->Caption), (item.itemState & ODS_DISABLED) == 0);
  SelectObject(item.hDC, old);
}

// ---- the open-file dialog ----

namespace {

// "Description|pattern|..." as the dialog wants it: NUL-separated, two NULs at the end.
std::wstring dialogFilter(const std::string& filter) {
  std::wstring list = wide(filter);
  std::replace(list.begin(), list.end(), L'|', L'\0');
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

}  // namespace

std::optional<std::string> Win32View::chooseFileToOpen(const TOpenDialog& dialog) {
  std::wstring file = wide(dialog.FileName);
  file.resize(std::max<size_t>(file.size() + 1, 32768), L'\0');
  const std::wstring filter = dialogFilter(dialog.Filter);
  const std::wstring folder = wide(dialog.InitialDir);
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = window_;
  request.lpstrFilter = filter.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = file.data();
  request.nMaxFile = static_cast<DWORD>(file.size());
  request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&request)) return std::nullopt;
  return win32::narrow(file.c_str());
}

// ---- commands and window events ----

void Win32View::command(int id) {
  const std::string name = controlName(id);
  if (!name.empty()) click(name);
}

void Win32View::click(const std::string& name) {
  if (busy_ > 0 && !runsWhileBusy(name)) return;
  ++busy_;
  form_->Click(name);
  --busy_;
  if (busy_ == 0 && closePending_) close();
}

// While a command runs (and pumps), only what it waits for can be pressed: the
// buttons of its panel and Stop. A second Backup or Collect on top of a
// running one would change the list and the file list under its feet.
bool Win32View::runsWhileBusy(const std::string& name) const {
  return name == "Stop1" || (kindOf(name) == Kind::PushButton && menuItems_.count(name) == 0);
}

LRESULT Win32View::notified(const NMHDR& header) {
  if (tree_ && header.hwndFrom == tree_->window()) return tree_->notified(header);
  const bool candidates = header.hwndFrom == controlWindow("ListView2");
  if (header.hwndFrom != controlWindow("ListView1") && !candidates) return 0;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  const bool selectionTouched = (change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED);
  if (!selectionTouched || fillingList_) return 0;
  if (candidates) {
    if (header.code == LVN_ITEMCHANGED) candidateSelectionChanged(change);
    return 0;
  }
  // The running command works on the selection it started with.
  if (header.code == LVN_ITEMCHANGING) return busy_ > 0 ? TRUE : FALSE;
  if (header.code == LVN_ITEMCHANGED) listSelectionChanged(change);
  return 0;
}

// One row, or every row when the item is -1 (select all, deselect all).
void Win32View::listSelectionChanged(const NMLISTVIEW& change) {
  const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
  if (change.iItem >= 0) {
    selectRow(static_cast<size_t>(change.iItem), selected);
    return;
  }
  for (size_t row = 0; row < form_->ListView1.Count(); ++row) selectRow(row, selected);
}

// The update list keeps its selection for Download and Copy URL.
void Win32View::candidateSelectionChanged(const NMLISTVIEW& change) {
  TListView& list = form_->ListView2;
  const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
  for (size_t row = 0; row < list.Count(); ++row)
    if (change.iItem < 0 || static_cast<size_t>(change.iItem) == row) list.Select(row, selected);
}

void Win32View::selectRow(size_t row, bool selected) {
  const TListView& list = form_->ListView1;
  if (row >= list.Count() || list.Selected(row) == selected) return;
  form_->ListView1SelectItem(row, selected);
}

// The user's typing (or the picker's choice) in the folder box.
void Win32View::editChanged(HWND edit) {
  if (settingEdit_ || edit != controlWindow("Edit1")) return;
  form_->Edit1Change(win32::narrow(textOf(edit)));
}

void Win32View::browseForFolder() {
  const auto chosen =
      pickFolder(window_, wide(form_->Control("Edit1").Caption), wide(form_->Control("Label1").Caption));
  // Its change notice hands the text to the form, as typing would.
  if (chosen) SetWindowTextW(controlWindow("Edit1"), chosen->c_str());
}

// Our own dialog, so that it speaks the window's language and takes a typed
// folder. Closing it is Cancel, as its Cancel button is.
std::optional<std::string> Win32View::chooseFolder(const FolderDialog& dialog) {
  TAHMExplorerTree tree(machine_);
  tree.Network = true;
  tree.HideSelection = false;
  // The dialog's label and buttons take the font of the window's own Start.
  const auto chosen = runFolderDialog(instance_, window_, dialog, tree, fontFor(form_->Control("Button1")));
  if (!chosen) return std::nullopt;
  return win32::narrow(*chosen);
}

void Win32View::showProxyDialog(TForm2& dialog) { runProxyDialog(instance_, window_, dialog, fontFor(dialog.Edit1)); }

void Win32View::showAbout(TAbout& dialog) { runAboutDialog(instance_, window_, dialog, fontFor(dialog.Label2)); }

std::optional<std::string> Win32View::askText(const InputQuery& query) {
  const auto text = runInputBox(instance_, window_, query, fontFor(form_->Control("Button1")));
  if (!text) return std::nullopt;
  return win32::narrow(*text);
}

// The close of the window: while a command runs it is asked to stop and the
// window closes when it has ended.
void Win32View::close() {
  if (busy_ > 0) {
    form_->Stop1Click();
    closePending_ = true;
    return;
  }
  closePending_ = false;
  if (form_->FormCloseQuery()) DestroyWindow(window_);
}

void Win32View::resized() {
  RECT outer, client;
  GetWindowRect(window_, &outer);
  GetClientRect(window_, &client);
  form_->FormResize(outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom);
}

LRESULT CALLBACK Win32View::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* view = static_cast<Win32View*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    view->window_ = window;
  }
  auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return view ? view->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32View::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Clicks of buttons and menu items, accelerators (code 1, no control),
      // and the folder box's changes.
      if (HIWORD(wParam) == EN_CHANGE)
        editChanged(reinterpret_cast<HWND>(lParam));
      else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kFolderBrowseId)
        browseForFolder();
      else if (HIWORD(wParam) == BN_CLICKED || (HIWORD(wParam) == 1 && lParam == 0))
        command(LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return notified(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && !controls_.empty()) resized();
      return 0;
    case WM_DRAWITEM:
      drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (reinterpret_cast<HWND>(lParam) == controlWindow("Memo1")) {  // read-only, yet white
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(background_);
    }
    case WM_CONTEXTMENU:
      for (const char* list : {"ListView1", "ListView2"}) {
        if (reinterpret_cast<HWND>(wParam) != controlWindow(list)) continue;
        showListPopup(list, lParam);
        return 0;
      }
      break;
    case WM_CLOSE:
      close();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace korvane
