#include "backup/FileNameIndex.h"

#include "platform/Text.h"

namespace korvane {

namespace {

// Names compare as the wildcard matcher compares them: upper-cased UTF-16.
// Most names are ASCII, and their key is the upper-cased name itself, short
// enough to need no allocation; any other name's UTF-16 form is kept behind
// a byte no ASCII key holds, unless it became ASCII when upper-cased.
std::string keyOf(std::string_view name) {
  if (isAscii(name)) return upperCase(name);
  const std::u16string wide = utf8ToUtf16(upperCase(name));
  std::string key(1, '\xff');
  bool ascii = true;
  for (const char16_t unit : wide) {
    ascii = ascii && unit < 0x80;
    key.push_back(static_cast<char>(unit & 0xff));
    key.push_back(static_cast<char>(unit >> 8));
  }
  if (!ascii) return key;
  return std::string(wide.begin(), wide.end());
}

}  // namespace

void FileNameIndex::addFolder(const std::string& folder, const std::vector<FileEntry>& entries) {
  const auto folderNumber = static_cast<uint32_t>(folders_.size());
  folders_.push_back(folder);
  for (const auto& entry : entries) {
    if (entry.isDirectory()) continue;
    const auto position = static_cast<uint32_t>(names_.size());
    names_.push_back({folderNumber, entry.name});
    addKey(entry.name, position);
    if (!entry.shortName.empty()) addKey(entry.shortName, position);
  }
}

void FileNameIndex::addKey(const std::string& name, uint32_t position) {
  firstByKey_.emplace(keyOf(name), position);  // an earlier file keeps the key
}

std::optional<std::string> FileNameIndex::firstPath(const std::string& name) const {
  // A plain name loses the spaces and dots it ends with, in the find as here.
  const auto hit = firstByKey_.find(keyOf(withoutTrailingDotsAndSpaces(name)));
  if (hit == firstByKey_.end()) return std::nullopt;
  const Entry& entry = names_[hit->second];
  return folders_[entry.folder] + entry.name;
}

}  // namespace korvane
