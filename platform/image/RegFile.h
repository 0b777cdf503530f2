// Regedit export files: reading both formats ("REGEDIT4" and version 5,
// 8-bit or UTF-16) and writing version 5 as regedit does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "platform/Text.h"

namespace korvane {

// Windows nests keys at most this deep; deeper paths in a file are refused.
constexpr size_t kMaxRegKeyDepth = 512;

// One value line: a value to set, or nullopt for "name"=- (delete it).
struct RegFileValue {
  std::string name;  // "" is the default value (@)
  std::optional<RegValue> value;
  bool operator==(const RegFileValue&) const = default;
};

// One [key] block of an export file, or a [-key] deletion.
struct RegFileKey {
  RegRoot root = RegRoot::LocalMachine;
  std::vector<std::string> path;  // key names below the root; empty for the root itself
  bool remove = false;            // [-key]: the key and everything below it go
  std::vector<RegFileValue> values;
  bool operator==(const RegFileKey&) const = default;
};

// Reads an export file's bytes. On failure returns nullopt with
// error = "<fileName>:<line>: <what is wrong>".
std::optional<std::vector<RegFileKey>> parseRegFile(std::string_view bytes, const std::string& fileName,
                                                    CodePages& codePages, std::string& error);

// The version 5 file (UTF-16LE with byte-order mark, CRLF) for the blocks.
// Names must not contain line breaks or NULs (nothing in the format can hold them).
std::string writeRegFile(const std::vector<RegFileKey>& keys);

// True when a key or value name can be written to an export file.
bool isWritableRegName(std::string_view name);

}  // namespace korvane
