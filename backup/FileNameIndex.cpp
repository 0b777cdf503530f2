#include "backup/FileNameIndex.h"

#include <algorithm>
#include <limits>

#include "platform/Text.h"

namespace korvane {

namespace {

// Names compare as the wildcard matcher compares them: upper-cased UTF-16.
std::u16string keyOf(const std::string& name) { return utf8ToUtf16(upperCase(name)); }

}  // namespace

void FileNameIndex::addFolder(const std::string& folder, const std::vector<FileEntry>& entries) {
  const auto folderNumber = static_cast<uint32_t>(folders_.size());
  folders_.push_back(folder);
  for (const auto& entry : entries) {
    if (entry.isDirectory()) continue;
    const auto position = static_cast<uint32_t>(names_.size());
    names_.push_back({folderNumber, entry.name, entry.shortName});
    addKey(entry.name, position);
    if (!entry.shortName.empty()) addKey(entry.shortName, position);
  }
}

void FileNameIndex::addKey(const std::string& name, uint32_t position) {
  firstByKey_.emplace(keyOf(name), position);  // an earlier file keeps the key
}

std::optional<std::string> FileNameIndex::firstPath(const std::string& name) const {
  // The find rules let a trailing dot of the name stand for the end of a file's
  // name, so the name with trailing dots taken off gives the candidates; the
  // wildcard matcher itself decides which of them the find would return.
  std::u16string key = keyOf(name);
  uint32_t first = std::numeric_limits<uint32_t>::max();
  while (!key.empty()) {
    const auto hit = firstByKey_.find(key);
    if (hit != firstByKey_.end() && hit->second < first && matches(name, names_[hit->second])) first = hit->second;
    if (key.back() != u'.') break;
    key.pop_back();
  }
  if (first == std::numeric_limits<uint32_t>::max()) return std::nullopt;
  const Entry& entry = names_[first];
  return folders_[entry.folder] + entry.name;
}

// Every file under one key matches alike, so testing the first one suffices.
bool FileNameIndex::matches(const std::string& name, const Entry& entry) {
  return wildcardMatch(name, entry.name) || (!entry.shortName.empty() && wildcardMatch(name, entry.shortName));
}

}  // namespace korvane
