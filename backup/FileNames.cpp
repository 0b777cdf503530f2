#include "backup/FileNames.h"

#include <algorithm>
#include <array>

#include "platform/Text.h"

namespace korvane {

bool isReservedDeviceName(std::string_view name) {
  std::string base = upperCase(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();  // "NUL .txt" is the device too
  static constexpr std::array<std::string_view, 4> plainDevices = {"CON", "PRN", "AUX", "NUL"};
  if (std::find(plainDevices.begin(), plainDevices.end(), base) != plainDevices.end()) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
         base[3] <= '9';
}

bool isPlainFileName(std::string_view name) {
  if (name.find_first_not_of(". ") == std::string_view::npos) return false;  // also the empty name
  for (unsigned char c : name)
    if (c < 32 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return false;
  return !isReservedDeviceName(name);
}

}  // namespace korvane
