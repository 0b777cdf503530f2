// The text of a window, as long as it is.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/Win32Util.h"

namespace korvane {

inline std::wstring textOf(HWND window) {
  return win32::fillGrowing(
      [window](wchar_t* buffer, DWORD capacity) {
        return static_cast<DWORD>(GetWindowTextW(window, buffer, static_cast<int>(capacity)));
      },
      1);
}

}  // namespace korvane
