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
  // Adds the files of one folder (`folder` ends with a backslash); subfolder
  // entries are left out.
  void addFolder(const std::string& folder, const std::vector<FileEntry>& entries);

  // The path of the first file added that the file system's find would return
  // for `name`, by its long name or its 8.3 alias, without regard to case.
  // `name` must hold no wildcard.
  std::optional<std::string> firstPath(const std::string& name) const;

  size_t size() const { return names_.size(); }

 private:
  struct Entry {
    uint32_t folder;
    std::string name;
  };
  void addKey(const std::string& name, uint32_t position);

  std::vector<std::string> folders_;
  std::vector<Entry> names_;
  std::unordered_map<std::string, uint32_t> firstByKey_;  // by the names' keys (see keyOf)
};

}  // namespace korvane
