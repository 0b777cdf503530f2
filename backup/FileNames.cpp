#include "backup/FileNames.h"

#include "platform/FileSystem.h"

namespace korvane {

bool isPlainFileName(std::string_view name) {
  if (name.find_first_not_of(". ") == std::string_view::npos) return false;  // also the empty name
  for (unsigned char c : name)
    if (c < 32 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return false;
  return !isDeviceName(name);
}

}  // namespace korvane
