#include "backup/FileNameIndex.h"

#include <algorithm>
#include <functional>

#include "platform/Text.h"

namespace korvane {

namespace {

// Appends a name's key to `out`. Names compare as the wildcard matcher
// compares them: upper-cased UTF-16. Most names are ASCII, and their key is
// the upper-cased name itself; any other name's UTF-16 form is kept behind a
// byte no ASCII key holds, unless it became ASCII when upper-cased.
void appendKey(std::string& out, std::string_view name) {
  if (isAscii(name)) {
    for (const char c : name) out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    return;
  }
  const std::u16string wide = utf8ToUtf16(upperCase(name));
  bool ascii = true;
  for (const char16_t unit : wide) ascii = ascii && unit < 0x80;
  if (ascii) {
    out.append(wide.begin(), wide.end());
    return;
  }
  out.push_back('\xff');
  for (const char16_t unit : wide) {
    out.push_back(static_cast<char>(unit & 0xff));
    out.push_back(static_cast<char>(unit >> 8));
  }
}

}  // namespace

void FileNameIndex::addFolder(const std::string& folder, const std::vector<FileEntry>& entries) {
  const auto folderNumber = static_cast<uint32_t>(folders_.size());
  folders_.push_back(folder);
  for (const auto& entry : entries) {
    if (entry.isDirectory()) continue;
    const auto file = static_cast<uint32_t>(files_.size());
    files_.push_back({folderNumber, {static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(entry.name.size())}});
    text_ += entry.name;
    addKey(entry.name, file);
    if (!entry.shortName.empty()) addKey(entry.shortName, file);
  }
}

void FileNameIndex::addKey(std::string_view name, uint32_t file) {
  const size_t start = text_.size();
  appendKey(text_, name);
  const std::string_view key = std::string_view(text_).substr(start);
  const size_t hash = std::hash<std::string_view>{}(key);
  if ((keys_.size() + 1) * 2 > slots_.size()) grow();
  const size_t slot = slotOf(key, hash);
  if (slots_[slot] != 0) {
    text_.resize(start);  // an earlier file keeps the key
    return;
  }
  slots_[slot] = slotValue(hash, keys_.size());
  keys_.push_back({hash, {static_cast<uint32_t>(start), static_cast<uint32_t>(key.size())}, file});
}

size_t FileNameIndex::slotOf(std::string_view key, size_t hash) const {
  const size_t mask = slots_.size() - 1;
  const uint64_t hashBits = hash & ~kKeyBits;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const uint64_t held = slots_[slot];
    if (held == 0) return slot;
    if ((held & ~kKeyBits) != hashBits) continue;
    const Key& candidate = keys_[(held & kKeyBits) - 1];
    if (candidate.hash == hash && view(candidate.text) == key) return slot;
  }
}

void FileNameIndex::grow() {
  slots_.assign(std::max<size_t>(64, slots_.size() * 2), 0);
  const size_t mask = slots_.size() - 1;
  for (size_t k = 0; k < keys_.size(); ++k) {
    size_t slot = keys_[k].hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = slotValue(keys_[k].hash, k);
  }
}

std::optional<std::string> FileNameIndex::firstPath(const std::string& name) const {
  if (slots_.empty()) return std::nullopt;
  // A plain name loses the spaces and dots it ends with, in the find as here.
  std::string key;
  appendKey(key, withoutTrailingDotsAndSpaces(name));
  const uint64_t held = slots_[slotOf(key, std::hash<std::string_view>{}(key))];
  if (held == 0) return std::nullopt;
  const File& file = files_[keys_[(held & kKeyBits) - 1].file];
  return folders_[file.folder] + std::string(view(file.name));
}

}  // namespace korvane
