#include "plugins/UserFolders.h"

#include <cctype>

#include "packaging/CabNames.h"

namespace korvane {

std::string userDataFolder(Machine& machine, bool ntFamily) {
  const auto folder = machine.environment().get(ntFamily ? "USERPROFILE" : "windir");
  if (folder && !folder->empty()) return withoutTrailingBackslash(*folder);
  if (ntFamily) return {};
  return withoutTrailingBackslash(machine.system().windowsDirectory().value_or(""));
}

bool isPlainName(const std::string& name) {
  return name.find_first_of("\\/") == std::string::npos && entryNameStaysInside(name);
}

bool isAbsolutePath(const std::string& path) {
  if (path.compare(0, 2, "\\\\") == 0) return true;
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

}  // namespace korvane
