#include "cli/Console.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace korvane {

StatusLine statusLineOfStderr() {
  StatusLine line;
#ifdef _WIN32
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  line.terminal = handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (line.terminal && GetConsoleScreenBufferInfo(handle, &info))
    line.width = static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
#else
  line.terminal = isatty(STDERR_FILENO) == 1;
  winsize size{};
  if (line.terminal && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) line.width = size.ws_col;
#endif
  return line;
}

}  // namespace korvane
