// gui_probe: looks into the running main window from another process, as a
// test needs it, and presses its controls.
//   gui_probe title                 the window's caption
//   gui_probe rows NAME             the number of rows of a list view
//   gui_probe text NAME             the text a control shows
//   gui_probe click NAME            a click of a control or menu item; returns when it has run
//   gui_probe post NAME             the same click, returning at once (for commands that open a box)
//   gui_probe browse                posts a click of the folder box's browse button
//   gui_probe dialog [cancel|no|yes] waits for a box the window opened, prints its text, presses OK (Cancel, No, Yes)
//   gui_probe no-dialog             waits until the window's boxes are closed
//   gui_probe dialog-texts          waits for a box, prints its caption and then each control's text
//   gui_probe dialog-type TEXT      waits for a box and types the text into its edit box
//   gui_probe dialog-click TEXT     waits for a box and clicks its button or check box of that caption
//   gui_probe layout [dialog]       checks the window's (or the box's) controls: each visible one inside
//                                   the client area, none on top of another, every caption fitting its control
//   gui_probe center NAME           the screen point at the middle of a control, for a real mouse click
//   gui_probe dialog-center TEXT    the same for the control of a box that shows this text
//   gui_probe dialog-font TEXT      the look of that control's font: regular, bold, italic or bold italic
//   gui_probe select NAME ROW...    selects exactly these rows (1-based) of a list view, as the user would
//   gui_probe cell NAME ROW COLUMN  the text of a list view's cell (1-based row, 0-based column)
//   gui_probe row-center NAME ROW   the screen point at the middle of a list view's row (1-based)
//   gui_probe popup                 waits for a pop-up menu and prints its screen left, top, width and height
//   gui_probe clipboard             the clipboard's text (needs no window)
//   gui_probe tree-select NAME PATH selects a folder (C:\DIR\SUB) of a tree control, opening the way to it
//   gui_probe visible NAME          1 when the control shows, else 0
//   gui_probe settext NAME TEXT     types a text into an edit box
//   gui_probe place NAME            a control's left, top, width and height in the client area
//   gui_probe size                  the window's outer width and height
//   gui_probe resize WIDTH HEIGHT   gives the window that outer size, at the screen's corner
//   gui_probe captions LANGUAGE     every control caption against the language's table
//   gui_probe close                 asks the window to close
// Prints UTF-8 on stdout; exit code 0 on success, 1 on a failed check, 2 on misuse.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "app/Languages.h"
#include "app/win32/ControlIds.h"
#include "app/win32/FontTag.h"
#include "platform/win32/Win32Util.h"

namespace {

using korvane::win32::narrow;

constexpr UINT kClickTimeoutMs = 60000;
constexpr int kDialogWaitSteps = 300;  // of 100 ms
constexpr int kMessageBoxTextId = 0xFFFF;

std::string windowText(HWND window) {
  wchar_t buffer[4096];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                           5000, &length))
    return {};
  return narrow(std::wstring(buffer, std::min<size_t>(length, std::size(buffer) - 1)));
}

HWND controlOf(HWND window, const std::string& name) {
  const int id = korvane::controlId(name);
  return id ? GetDlgItem(window, id) : nullptr;
}

// Tool-button captions break lines with "\r"; the window shows "\r\n".
std::string withoutLineFeeds(std::string text) {
  std::erase(text, '\n');
  return text;
}

int checkCaptions(HWND window, const std::string& language) {
  const auto lang = korvane::languageOf(language);
  if (!lang) {
    std::cerr << "gui_probe: no such language: " << language << '\n';
    return 2;
  }
  int checked = 0, wrong = 0;
  for (const auto& row : korvane::CaptionTable()) {
    HWND control = controlOf(window, std::string(row.control));
    if (!control) continue;  // menu items and list columns are no windows
    const std::string expected(row.texts[static_cast<size_t>(*lang)]);
    const std::string shown = withoutLineFeeds(windowText(control));
    ++checked;
    if (shown != expected) {
      ++wrong;
      std::cout << row.control << ": shows \"" << shown << "\", expected \"" << expected << "\"\n";
    }
  }
  std::cout << checked << " captions checked, " << wrong << " wrong\n";
  return wrong == 0 && checked > 0 ? 0 : 1;
}

struct DialogSearch {
  HWND owner, found;
};

BOOL CALLBACK takeOwnedDialog(HWND candidate, LPARAM data) {
  auto& search = *reinterpret_cast<DialogSearch*>(data);
  wchar_t className[16] = {};
  GetClassNameW(candidate, className, std::size(className));
  if (GetWindow(candidate, GW_OWNER) != search.owner || std::wstring(className) != L"#32770" ||
      !IsWindowVisible(candidate))
    return TRUE;
  search.found = candidate;
  return FALSE;
}

// A dialog box (class #32770) the window owns; nullptr while there is none.
HWND ownedDialog(HWND window) {
  DialogSearch search{window, nullptr};
  EnumWindows(takeOwnedDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND waitForDialog(HWND window) {
  HWND box = nullptr;
  for (int step = 0; step < kDialogWaitSteps && !box; ++step) {
    box = ownedDialog(window);
    if (!box) Sleep(100);
  }
  if (!box) std::cerr << "gui_probe: no box appeared\n";
  return box;
}

int answerDialog(HWND window, const std::string& answer) {
  HWND box = waitForDialog(window);
  if (!box) return 1;
  HWND message = GetDlgItem(box, kMessageBoxTextId);
  std::cout << windowText(message ? message : box) << '\n';
  const int button = answer == "cancel" ? IDCANCEL : answer == "no" ? IDNO : answer == "yes" ? IDYES : IDOK;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return 0;
}

// Returns once the window's boxes are all closed.
int waitForNoDialog(HWND window) {
  for (int step = 0; step < kDialogWaitSteps; ++step) {
    if (!ownedDialog(window)) return 0;
    Sleep(100);
  }
  std::cerr << "gui_probe: a box stays open\n";
  return 1;
}

std::string classOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, std::size(name));
  return narrow(name);
}

// The visible controls directly inside a window, in their z-order.
std::vector<HWND> shownChildren(HWND window) {
  std::vector<HWND> shown;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) shown.push_back(child);
  return shown;
}

int printDialogTexts(HWND window) {
  HWND box = waitForDialog(window);
  if (!box) return 1;
  std::cout << windowText(box) << '\n';
  for (HWND child : shownChildren(box)) std::cout << windowText(child) << '\n';
  return 0;
}

int typeIntoDialog(HWND window, const std::string& text) {
  HWND box = waitForDialog(window);
  if (!box) return 1;
  for (HWND child : shownChildren(box)) {
    if (classOf(child) != "Edit") continue;
    const std::wstring typed = korvane::win32::wide(text);
    SendMessageW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    return 0;
  }
  std::cerr << "gui_probe: the box has no edit box\n";
  return 1;
}

// The control of the window's box that shows the text; nullptr with a message when there is none.
HWND dialogControl(HWND window, const std::string& text) {
  HWND box = waitForDialog(window);
  if (!box) return nullptr;
  for (HWND child : shownChildren(box))
    if (windowText(child) == text) return child;
  std::cerr << "gui_probe: the box shows no \"" << text << "\"\n";
  return nullptr;
}

void printCenter(HWND control) {
  RECT box;
  GetWindowRect(control, &box);
  std::cout << (box.left + box.right) / 2 << ' ' << (box.top + box.bottom) / 2 << '\n';
}

int printFontLook(HWND control) {
  const auto look = korvane::taggedFont(control);
  if (!look) {
    std::cerr << "gui_probe: the control's font cannot be read\n";
    return 1;
  }
  const bool bold = look->lfWeight >= FW_BOLD, italic = look->lfItalic != 0;
  std::cout << (bold && italic ? "bold italic" : bold ? "bold" : italic ? "italic" : "regular") << '\n';
  return 0;
}

int clickInDialog(HWND window, const std::string& caption) {
  HWND box = waitForDialog(window);
  if (!box) return 1;
  for (HWND child : shownChildren(box)) {
    if (classOf(child) != "Button" || windowText(child) != caption) continue;
    SendMessageW(child, BM_CLICK, 0, 0);
    return 0;
  }
  std::cerr << "gui_probe: the box has no button \"" << caption << "\"\n";
  return 1;
}

// ---- the layout check ----

std::string nameOf(HWND control) {
  const std::string name = korvane::controlName(GetDlgCtrlID(control));
  return name.empty() ? classOf(control) + " \"" + windowText(control) + "\"" : name;
}

// A control's place in its window's client area.
RECT placeOf(HWND control, HWND window) {
  RECT box;
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
  return box;
}

// The room a caption has inside its control, and how it is drawn there: the
// tool buttons draw theirs on several lines inside their edge, push buttons
// on one line inside their frame, labels wrap at their width.
struct CaptionRoom {
  LONG width, height;
  UINT format;
};

std::optional<CaptionRoom> captionRoom(HWND control, LONG width, LONG height) {
  const std::string kind = classOf(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (kind == "Static") return CaptionRoom{width, height, DT_WORDBREAK | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0u)};
  if (kind != "Button") return std::nullopt;
  if ((style & BS_TYPEMASK) == BS_OWNERDRAW)
    return CaptionRoom{width - 2 * korvane::kToolCaptionInsetX, height - 2 * korvane::kToolCaptionInsetY,
                       DT_WORDBREAK | DT_CENTER};
  return CaptionRoom{width - 8, height - 4, DT_SINGLELINE};
}

// The extent of the caption in the control's own font, or nullopt when the
// font cannot be read from here.
std::optional<SIZE> captionExtent(HWND control, const CaptionRoom& room) {
  const auto look = korvane::taggedFont(control);
  if (!look) return std::nullopt;
  HFONT copy = CreateFontIndirectW(&*look);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, copy);
  wchar_t text[1024] = {};
  SendMessageTimeoutW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  RECT measured{0, 0, std::max(room.width, 1L), 0};
  DrawTextW(dc, text, -1, &measured, room.format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(copy);
  return SIZE{measured.right - measured.left, measured.bottom - measured.top};
}

bool overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

int checkLayout(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const std::vector<HWND> shown = shownChildren(window);
  int faults = 0;
  auto fault = [&faults](const std::string& text) {
    ++faults;
    std::cout << text << '\n';
  };
  for (size_t a = 0; a < shown.size(); ++a) {
    const RECT place = placeOf(shown[a], window);
    const LONG width = place.right - place.left, height = place.bottom - place.top;
    if (width <= 0 || height <= 0) continue;
    if (place.left < 0 || place.top < 0 || place.right > client.right || place.bottom > client.bottom)
      fault(nameOf(shown[a]) + " leaves the client area");
    for (size_t b = a + 1; b < shown.size(); ++b)
      if (overlap(place, placeOf(shown[b], window))) fault(nameOf(shown[a]) + " overlaps " + nameOf(shown[b]));
    const auto room = captionRoom(shown[a], width, height);
    if (!room || windowText(shown[a]).empty()) continue;
    const auto extent = captionExtent(shown[a], *room);
    if (!extent) {
      fault(nameOf(shown[a]) + ": its font cannot be read");
      continue;
    }
    if (extent->cx > room->width || extent->cy > room->height)
      fault(nameOf(shown[a]) + ": the caption needs " + std::to_string(extent->cx) + "x" + std::to_string(extent->cy) +
            ", the control has " + std::to_string(room->width) + "x" + std::to_string(room->height));
  }
  std::cout << shown.size() << " controls checked, " << faults << " faults\n";
  return faults == 0 ? 0 : 1;
}

// A buffer in the window's process, for the messages of list and tree
// controls that take a pointer.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND control, size_t size) {
    DWORD process = 0;
    GetWindowThreadProcessId(control, &process);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (process_) at_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ready() const { return at_ != nullptr; }
  LPARAM address(size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(at_) + offset); }
  bool write(const void* data, size_t size) const { return WriteProcessMemory(process_, at_, data, size, nullptr); }
  bool read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, static_cast<char*>(at_) + offset, data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* at_ = nullptr;
};

// Sets the selection through the list's own messages, in the window's memory.
int selectRows(HWND list, const std::vector<std::string>& rows) {
  RemoteBuffer remote(list, sizeof(LVITEMW));
  auto setState = [&](int item, UINT state) {
    LVITEMW entry{};
    entry.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    entry.state = state;
    return remote.write(&entry, sizeof(entry)) &&
           SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), remote.address());
  };
  bool done = remote.ready() && setState(-1, 0);
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (const auto& row : rows) {
    const int index = std::atoi(row.c_str()) - 1;
    done = done && index >= 0 && index < count && setState(index, LVIS_SELECTED | LVIS_FOCUSED);
  }
  if (!done) std::cerr << "gui_probe: the rows could not be selected\n";
  return done ? 0 : 1;
}

std::wstring upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Selects a folder of a tree control as a user would: opening each node on
// the way. A drive is the item whose label holds its "C:".
int selectTreeFolder(HWND tree, const std::string& path) {
  constexpr size_t kTextRoom = 512;
  RemoteBuffer remote(tree, sizeof(TVITEMW) + kTextRoom * sizeof(wchar_t));
  auto labelOf = [&](HTREEITEM item) {
    TVITEMW entry{};
    entry.mask = TVIF_TEXT;
    entry.hItem = item;
    entry.pszText = reinterpret_cast<wchar_t*>(remote.address(sizeof(TVITEMW)));
    entry.cchTextMax = kTextRoom;
    wchar_t text[kTextRoom] = {};
    if (!remote.write(&entry, sizeof entry) || !SendMessageW(tree, TVM_GETITEMW, 0, remote.address()) ||
        !remote.read(sizeof(TVITEMW), text, sizeof text - sizeof(wchar_t)))
      return std::wstring();
    return upper(text);
  };
  if (!remote.ready()) return 1;
  std::wstring rest = upper(korvane::win32::wide(path));
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (bool drive = true; !rest.empty(); drive = false) {
    const size_t cut = rest.find(L'\\');
    const std::wstring part = rest.substr(0, cut);
    rest = cut == std::wstring::npos ? L"" : rest.substr(cut + 1);
    while (item && (drive ? labelOf(item).find(part) == std::wstring::npos : labelOf(item) != part))
      item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    if (!item) {
      std::cerr << "gui_probe: the tree has no " << narrow(part) << '\n';
      return 1;
    }
    if (rest.empty()) break;
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
  }
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  return 0;
}

// A list view's cell, read through the list's own message in the window's memory.
int printCell(HWND list, int row, int column) {
  constexpr size_t kTextRoom = 1024;
  RemoteBuffer remote(list, sizeof(LVITEMW) + kTextRoom * sizeof(wchar_t));
  LVITEMW entry{};
  entry.iSubItem = column;
  entry.pszText = reinterpret_cast<wchar_t*>(remote.address(sizeof(LVITEMW)));
  entry.cchTextMax = kTextRoom;
  wchar_t text[kTextRoom] = {};
  if (row < 0 || !remote.ready() || !remote.write(&entry, sizeof entry) ||
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), remote.address()) < 0 ||
      !remote.read(sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t))) {
    std::cerr << "gui_probe: the cell cannot be read\n";
    return 1;
  }
  std::cout << narrow(text) << '\n';
  return 0;
}

int printRowCenter(HWND list, int row) {
  RemoteBuffer remote(list, sizeof(RECT));
  RECT box{LVIR_LABEL, 0, 0, 0};
  if (row < 0 || !remote.ready() || !remote.write(&box, sizeof box) ||
      !SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), remote.address()) ||
      !remote.read(0, &box, sizeof box)) {
    std::cerr << "gui_probe: the list has no such row\n";
    return 1;
  }
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&box), 2);
  std::cout << (box.left + box.right) / 2 << ' ' << (box.top + box.bottom) / 2 << '\n';
  return 0;
}

// A pop-up menu is a window of the system's class #32768 while it shows.
int printPopup() {
  for (int step = 0; step < kDialogWaitSteps; ++step) {
    HWND menu = FindWindowExW(nullptr, nullptr, L"#32768", nullptr);
    while (menu && !IsWindowVisible(menu)) menu = FindWindowExW(nullptr, menu, L"#32768", nullptr);
    if (menu) {
      RECT box;
      GetWindowRect(menu, &box);
      std::cout << box.left << ' ' << box.top << ' ' << box.right - box.left << ' ' << box.bottom - box.top << '\n';
      return 0;
    }
    Sleep(100);
  }
  std::cerr << "gui_probe: no pop-up menu appeared\n";
  return 1;
}

int printClipboard() {
  if (!OpenClipboard(nullptr)) {
    std::cerr << "gui_probe: the clipboard cannot be opened\n";
    return 1;
  }
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  if (text) {
    std::cout << narrow(text) << '\n';
    GlobalUnlock(data);
  }
  CloseClipboard();
  if (!text) std::cerr << "gui_probe: the clipboard holds no text\n";
  return text ? 0 : 1;
}

int run(HWND window, const std::vector<std::string>& words) {
  const std::string& command = words[0];
  const std::string argument = words.size() > 1 ? words[1] : "";
  const std::string second = words.size() > 2 ? words[2] : "";
  if (command == "title") {
    std::cout << windowText(window) << '\n';
    return 0;
  }
  if (command == "close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "size") {
    RECT box;
    GetWindowRect(window, &box);
    std::cout << box.right - box.left << ' ' << box.bottom - box.top << '\n';
    return 0;
  }
  if (command == "resize") {
    const int width = std::atoi(argument.c_str()), height = std::atoi(second.c_str());
    if (width <= 0 || height <= 0) {
      std::cerr << "gui_probe: resize needs a width and a height\n";
      return 2;
    }
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  if (command == "captions") return checkCaptions(window, argument);
  if (command == "popup") return printPopup();
  if (command == "dialog") return answerDialog(window, argument);
  if (command == "dialog-texts") return printDialogTexts(window);
  if (command == "no-dialog") return waitForNoDialog(window);
  if (command == "dialog-type") return typeIntoDialog(window, argument);
  if (command == "dialog-click") return clickInDialog(window, argument);
  if (command == "dialog-center" || command == "dialog-font") {
    HWND control = dialogControl(window, argument);
    if (!control) return 1;
    if (command == "dialog-font") return printFontLook(control);
    printCenter(control);
    return 0;
  }
  if (command == "layout") {
    HWND checked = argument == "dialog" ? waitForDialog(window) : window;
    return checked ? checkLayout(checked) : 1;
  }
  if (command == "browse") {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(korvane::kFolderBrowseId, BN_CLICKED), 0);
    return 0;
  }
  const int id = korvane::controlId(argument);
  if (!id) {
    std::cerr << "gui_probe: the window has no control " << argument << '\n';
    return 2;
  }
  if (command == "click") {
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0, SMTO_NORMAL,
                                              kClickTimeoutMs, &result) != 0;
    if (!answered) std::cerr << "gui_probe: the window did not answer the click of " << argument << '\n';
    return answered ? 0 : 1;
  }
  if (command == "post") {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    return 0;
  }
  HWND control = GetDlgItem(window, id);
  if (!control) {
    std::cerr << "gui_probe: " << argument << " is not a window of its own\n";
    return 2;
  }
  if (command == "rows") {
    std::cout << SendMessageW(control, LVM_GETITEMCOUNT, 0, 0) << '\n';
    return 0;
  }
  if (command == "place") {
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    std::cout << box.left << ' ' << box.top << ' ' << box.right - box.left << ' ' << box.bottom - box.top << '\n';
    return 0;
  }
  if (command == "center") {
    printCenter(control);
    return 0;
  }
  if (command == "tree-select") return selectTreeFolder(control, second);
  if (command == "cell")
    return printCell(control, std::atoi(second.c_str()) - 1, words.size() > 3 ? std::atoi(words[3].c_str()) : 0);
  if (command == "row-center") return printRowCenter(control, std::atoi(second.c_str()) - 1);
  if (command == "select") return selectRows(control, std::vector<std::string>(words.begin() + 2, words.end()));
  if (command == "visible") {
    std::cout << (IsWindowVisible(control) ? 1 : 0) << '\n';
    return 0;
  }
  if (command == "settext") {
    const std::wstring text = korvane::win32::wide(second);
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return 0;
  }
  if (command == "text") {
    std::cout << withoutLineFeeds(windowText(control)) << '\n';
    return 0;
  }
  std::cerr << "gui_probe: unknown command " << command << '\n';
  return 2;
}

}  // namespace

int main() {
  const std::vector<std::string> words = korvane::win32::commandLineArguments();
  if (words.empty()) {
    std::cerr << "usage: gui_probe title|size|close|browse|dialog-texts|no-dialog | dialog [cancel|no|yes] | layout [dialog]"
                 " | rows|text|place|center|click|post|visible NAME | select NAME ROW... | settext|tree-select NAME TEXT"
                 " | cell NAME ROW COLUMN | row-center NAME ROW | popup | clipboard"
                 " | dialog-type|dialog-click|dialog-center|dialog-font TEXT | resize WIDTH HEIGHT | captions LANGUAGE\n";
    return 2;
  }
  if (words[0] == "clipboard") return printClipboard();
  HWND window = FindWindowW(korvane::kMainWindowClass, nullptr);
  if (!window) {
    std::cerr << "gui_probe: the main window is not there\n";
    return 1;
  }
  return run(window, words);
}
