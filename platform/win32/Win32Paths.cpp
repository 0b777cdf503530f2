// Paths under the system folder for a 32-bit process on 64-bit Windows.
#include "platform/win32/Win32Util.h"

namespace korvane::win32 {

namespace {

bool startsWithFolder(const std::string& path, const std::string& folder) {
  return path.size() >= folder.size() && equalsIgnoreCase(std::string_view(path).substr(0, folder.size()), folder) &&
         (path.size() == folder.size() || path[folder.size()] == '\\');
}

std::string swapPrefix(const std::string& path, const std::string& from, const std::string& to) {
  if (from.empty() || !startsWithFolder(path, from)) return path;
  return to + path.substr(from.size());
}

}  // namespace

SystemFolderRedirect::SystemFolderRedirect() {
  if (!runningUnderWow64()) return;
  const std::wstring system = fillGrowing(GetSystemDirectoryW, 0);
  const std::wstring windows = fillGrowing(GetWindowsDirectoryW, 0);
  if (system.empty() || windows.empty()) return;
  const std::string alias = joinPath(narrow(windows), "Sysnative");
  // Older 64-bit systems lack the alias: then the 32-bit view is all there is.
  if (GetFileAttributesW(wide(alias).c_str()) == INVALID_FILE_ATTRIBUTES) return;
  systemFolder_ = narrow(system);
  alias_ = alias;
}

const SystemFolderRedirect& SystemFolderRedirect::instance() {
  static const SystemFolderRedirect redirect;
  return redirect;
}

std::string SystemFolderRedirect::toNative(const std::string& path) const { return swapPrefix(path, systemFolder_, alias_); }
std::string SystemFolderRedirect::fromNative(const std::string& path) const {
  return swapPrefix(path, alias_, systemFolder_);
}

}  // namespace korvane::win32
