#include "platform/Registry.h"


#include "platform/Text.h"

namespace korvane {

namespace {

std::string utf16Terminated(const std::string& utf8) { return utf8ToUtf16leBytes(utf8) + std::string(2, '\0'); }

std::vector<uint8_t> toBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// UTF-16LE text up to the first NUL unit.
std::string textUntilNul(const uint8_t* data, size_t size) {
  size_t units = size / 2, end = 0;
  while (end < units && (data[2 * end] != 0 || data[2 * end + 1] != 0)) ++end;
  return utf16leBytesToUtf8(std::string_view(reinterpret_cast<const char*>(data), end * 2));
}

}  // namespace

RegValue RegValue::fromString(const std::string& utf8, RegType type) {
  return RegValue{static_cast<uint32_t>(type), toBytes(utf16Terminated(utf8))};
}

RegValue RegValue::fromMultiString(const std::vector<std::string>& items) {
  std::string bytes;
  for (const auto& item : items) bytes += utf16Terminated(item);
  bytes += std::string(2, '\0');
  return RegValue{static_cast<uint32_t>(RegType::MultiString), toBytes(bytes)};
}

RegValue RegValue::fromDword(uint32_t value) {
  RegValue v{static_cast<uint32_t>(RegType::Dword), std::vector<uint8_t>(4)};
  for (int k = 0; k < 4; ++k) v.data[k] = static_cast<uint8_t>(value >> (8 * k));
  return v;
}

RegValue RegValue::fromQword(uint64_t value) {
  RegValue v{static_cast<uint32_t>(RegType::Qword), std::vector<uint8_t>(8)};
  for (int k = 0; k < 8; ++k) v.data[k] = static_cast<uint8_t>(value >> (8 * k));
  return v;
}

bool RegValue::isStringType() const {
  return type == static_cast<uint32_t>(RegType::String) || type == static_cast<uint32_t>(RegType::ExpandString) ||
         type == static_cast<uint32_t>(RegType::MultiString) || type == static_cast<uint32_t>(RegType::Link);
}

std::string RegValue::asString() const {
  if (isStringType()) return textUntilNul(data.data(), data.size());
  if (auto number = asNumber()) return std::to_string(*number);
  return {};
}

std::vector<std::string> RegValue::asMultiString() const {
  std::vector<std::string> items;
  size_t unit = 0, units = data.size() / 2;
  while (unit < units) {
    size_t end = unit;
    while (end < units && (data[2 * end] != 0 || data[2 * end + 1] != 0)) ++end;
    if (end == unit) break;  // the empty string ends the list
    items.push_back(textUntilNul(data.data() + 2 * unit, (end - unit) * 2));
    unit = end + 1;
  }
  return items;
}

std::optional<uint64_t> RegValue::asNumber() const {
  size_t width = type == static_cast<uint32_t>(RegType::Dword) ? 4 : type == static_cast<uint32_t>(RegType::Qword) ? 8 : 0;
  if (width == 0 || data.size() < width) return std::nullopt;
  uint64_t value = 0;
  for (size_t k = 0; k < width; ++k) value |= static_cast<uint64_t>(data[k]) << (8 * k);
  return value;
}

std::optional<std::string> Registry::readString(RegRoot root, const std::string& path, const std::string& name) {
  auto value = readValue(root, path, name);
  if (!value) return std::nullopt;
  return value->asString();
}

bool Registry::writeString(RegRoot root, const std::string& path, const std::string& name, const std::string& value) {
  return writeValue(root, path, name, RegValue::fromString(value));
}

std::optional<RegRoot> parseRegRoot(const std::string& name) {
  static const struct { const char* longName; const char* shortName; RegRoot root; } roots[] = {
      {"HKEY_CLASSES_ROOT", "HKCR", RegRoot::ClassesRoot},   {"HKEY_CURRENT_USER", "HKCU", RegRoot::CurrentUser},
      {"HKEY_LOCAL_MACHINE", "HKLM", RegRoot::LocalMachine}, {"HKEY_USERS", "HKU", RegRoot::Users},
      {"HKEY_CURRENT_CONFIG", "HKCC", RegRoot::CurrentConfig}};
  for (const auto& r : roots)
    if (equalsIgnoreCase(name, r.longName) || equalsIgnoreCase(name, r.shortName)) return r.root;
  return std::nullopt;
}

const char* regRootName(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegRoot::Users: return "HKEY_USERS";
    case RegRoot::CurrentConfig: return "HKEY_CURRENT_CONFIG";
  }
  return "";
}

}  // namespace korvane
