// gui_probe: looks into the running main window from another process, as a
// test needs it, and presses its controls.
//   gui_probe title                 the window's caption
//   gui_probe rows NAME             the number of rows of a list view
//   gui_probe text NAME             the text a control shows
//   gui_probe click NAME            a click of a control or menu item; returns when it has run
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

#include "app/Captions.h"
#include "app/Languages.h"
#include "app/win32/ControlIds.h"
#include "platform/win32/Win32Util.h"

namespace {

using korvane::win32::narrow;

constexpr UINT kClickTimeoutMs = 60000;

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

int run(HWND window, const std::string& command, const std::string& argument, const std::string& second) {
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
    std::cerr << "usage: gui_probe title|size|close | rows|text|place|click NAME | resize WIDTH HEIGHT"
                 " | captions LANGUAGE\n";
    return 2;
  }
  HWND window = FindWindowW(korvane::kMainWindowClass, nullptr);
  if (!window) {
    std::cerr << "gui_probe: the main window is not there\n";
    return 1;
  }
  return run(window, argv[1], argc > 2 ? argv[2] : "", argc > 3 ? argv[3] : "");
}
