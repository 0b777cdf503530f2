// The files of a folder tree by name, in the order the folder walk meets
// them, so that one walk answers every later search of the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {

class FileNameIndex {
 public:
  // Adds the files of one folder (`folder` ends with a backslash); subfolder
  // entries are left out.
  void addFolder(const std::string& folder, const std::vector<FileEntry>& entries);

  // The path of the first file added that the file system's find would return
  // for `name`, by its long name or its 8.3 alias, without regard to case.
  // `name` must hold no wildcard.
  std::optional<std::string> firstPath(const std::string& name) const;

  size_t size() const { return files_.size(); }

 private:
  // A stretch of text_.
  struct Span {
    uint32_t offset = 0, length = 0;
  };
  struct File {
    uint32_t folder;
    Span name;
  };
  struct Key {
    size_t hash;
    Span text;
    uint32_t file;
  };

  std::string_view view(Span span) const { return std::string_view(text_).substr(span.offset, span.length); }
  void addKey(std::string_view name, uint32_t file);
  // The slot that holds the key, or the free one where it would go.
  size_t slotOf(std::string_view key, size_t hash) const;
  void grow();
  static constexpr uint64_t kKeyBits = 0xffffffff;
  static uint64_t slotValue(size_t hash, size_t key) { return (hash & ~kKeyBits) | (key + 1); }

  std::vector<std::string> folders_;
  std::vector<File> files_;
  // The names and keys end to end: a tree of a million files is a few
  // allocations, not a few for each file.
  std::string text_;
  std::vector<Key> keys_;
  // Open addressing on the keys' hashes: a key's place in keys_ plus one,
  // 0 for a free slot, under the hash's high half, so that a probe reads a
  // key only when its hash matches; never more than half full.
  std::vector<uint64_t> slots_;
};

}  // namespace korvane
