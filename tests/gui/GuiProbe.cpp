// gui_probe: looks into the running main window from another process, as a
// test needs it, and presses its controls.
//   gui_probe title                 the window's caption
//   gui_probe rows NAME             the number of rows of a list view
//   gui_probe text NAME             the text a control shows
//   gui_probe click NAME            a click of a control or menu item; returns when it has run
//   gui_probe post NAME             the same click, returning at once (for commands that open a box)
//   gui_probe browse                posts a click of the folder box's browse button
//   gui_probe dialog                waits for a box the window opened, prints its text, presses OK
//   gui_probe select NAME ROW...    selects exactly these rows (1-based) of a list view, as the user would
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

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "app/Languages.h"
#include "app/win32/ControlIds.h"
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

int answerDialog(HWND window) {
  HWND box = nullptr;
  for (int step = 0; step < kDialogWaitSteps && !box; ++step) {
    box = ownedDialog(window);
    if (!box) Sleep(100);
  }
  if (!box) {
    std::cerr << "gui_probe: no box appeared\n";
    return 1;
  }
  HWND message = GetDlgItem(box, kMessageBoxTextId);
  std::cout << windowText(message ? message : box) << '\n';
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}

// Sets the selection through the list's own messages, in the window's memory.
int selectRows(HWND list, const std::vector<std::string>& rows) {
  DWORD process = 0;
  GetWindowThreadProcessId(list, &process);
  HANDLE target = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
  if (!target) return 1;
  void* remote = VirtualAllocEx(target, nullptr, sizeof(LVITEMW), MEM_COMMIT, PAGE_READWRITE);
  auto setState = [&](int item, UINT state) {
    LVITEMW entry{};
    entry.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    entry.state = state;
    return WriteProcessMemory(target, remote, &entry, sizeof(entry), nullptr) &&
           SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote));
  };
  bool done = remote && setState(-1, 0);
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (const auto& row : rows) {
    const int index = std::atoi(row.c_str()) - 1;
    done = done && index >= 0 && index < count && setState(index, LVIS_SELECTED | LVIS_FOCUSED);
  }
  if (remote) VirtualFreeEx(target, remote, 0, MEM_RELEASE);
  CloseHandle(target);
  if (!done) std::cerr << "gui_probe: the rows could not be selected\n";
  return done ? 0 : 1;
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
  if (command == "dialog") return answerDialog(window);
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

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: gui_probe title|size|close|browse|dialog | rows|text|place|click|post|visible NAME"
                 " | select NAME ROW... | settext NAME TEXT | resize WIDTH HEIGHT | captions LANGUAGE\n";
    return 2;
  }
  HWND window = FindWindowW(korvane::kMainWindowClass, nullptr);
  if (!window) {
    std::cerr << "gui_probe: the main window is not there\n";
    return 1;
  }
  return run(window, std::vector<std::string>(argv + 1, argv + argc));
}
