// Initialisation files through the system's private-profile functions.
#include "platform/win32/Win32Util.h"

#include <algorithm>
#include <vector>

namespace korvane::win32 {

namespace {

// "a\0b\0\0" -> {"a", "b"}
std::vector<std::string> splitNulList(const std::wstring& list) {
  std::vector<std::string> items;
  for (size_t start = 0; start < list.size();) {
    const size_t end = std::min(list.find(L'\0', start), list.size());
    if (end > start) items.push_back(narrow(std::wstring_view(list).substr(start, end - start)));
    start = end + 1;
  }
  return items;
}

// A section's line "key = value" names the key "key"; a line without "=" is a
// key of its own. Comment lines name nothing.
std::optional<std::string> keyOfLine(const std::string& line) {
  const std::string key = trim(std::string_view(line).substr(0, line.find('=')));
  if (key.empty() && line.find('=') == std::string::npos) return std::nullopt;
  if (!key.empty() && key[0] == ';') return std::nullopt;
  return key;
}

// INF files may live under the system folder too.
std::wstring nativeFile(const std::string& file) { return wide(SystemFolderRedirect::instance().toNative(file)); }

class Win32ProfileFiles : public ProfileFiles {
 public:
  std::string readString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback) override {
    const std::wstring wFile = nativeFile(file), wSection = wide(section), wKey = wide(key), wFallback = wide(fallback);
    // A truncated value comes back one short of the buffer.
    return narrow(fillGrowing(
        [&](wchar_t* buffer, DWORD size) {
          return GetPrivateProfileStringW(wSection.c_str(), wKey.c_str(), wFallback.c_str(), buffer, size, wFile.c_str());
        },
        1));
  }

  std::vector<std::string> sectionNames(const std::string& file) override {
    const std::wstring wFile = nativeFile(file);
    // Truncated lists come back two short of the buffer.
    return splitNulList(fillGrowing(
        [&](wchar_t* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, wFile.c_str()); }, 2));
  }

  // Not GetPrivateProfileString without a key: Wine leaves out the lines
  // without "=", which Windows counts as keys.
  std::vector<std::string> keyNames(const std::string& file, const std::string& section) override {
    const std::wstring wFile = nativeFile(file), wSection = wide(section);
    const std::wstring lines = fillGrowing(
        [&](wchar_t* buffer, DWORD size) {
          return GetPrivateProfileSectionW(wSection.c_str(), buffer, size, wFile.c_str());
        },
        2);
    std::vector<std::string> keys;
    for (const auto& line : splitNulList(lines))
      if (auto key = keyOfLine(line)) keys.push_back(*key);
    return keys;
  }

  bool writeString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    return WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(value).c_str(),
                                      nativeFile(file).c_str()) != FALSE;
  }
};

}  // namespace

std::unique_ptr<ProfileFiles> makeProfileFiles() { return std::make_unique<Win32ProfileFiles>(); }

}  // namespace korvane::win32
