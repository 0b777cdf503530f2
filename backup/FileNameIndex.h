// The files of a folder tree by name, in the order the folder walk meets
// them, so that one walk answers every later search of the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {

class FileNameIndex {
 public:
  // Adds the files of one folder (`folder` without its trailing backslash);
  // subfolder entries are left out.
  void addFolder(const std::string& folder, const std::vector<FileEntry>& entries);

  // The path of the first file added that a search for `name` finds: the long
  // name or the 8.3 alias matched as the file system's find matches a name
  // without wildcards (no regard to case, trailing dots of the name match the
  // end). `name` must hold no wildcard.
  std::optional<std::string> firstPath(const std::string& name) const;

  size_t size() const { return names_.size(); }

 private:
  void addKey(const std::string& name, uint32_t position);

  struct Entry {
    uint32_t folder;
    std::string name;
  };
  std::vector<std::string> folders_;
  std::vector<Entry> names_;
  std::unordered_map<std::u16string, uint32_t> firstByKey_;
};

}  // namespace korvane
