// Paths, names and time stamps as the cabinet components handle them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace korvane {

// Joins two path parts: an empty part is skipped; exactly one backslash
// stands between the two.
std::string catPath(const std::string& first, const std::string& second);
std::string withTrailingBackslash(const std::string& path);
// The full path of a name as the system expands it against the current
// folder: drive, no "." or ".." parts, backslashes.
std::string expandFileName(FileSystem& files, const std::string& name);
// Every "*" of a template replaced by the number.
std::string fillTemplate(const std::string& text, long number);

// A name stored in a cabinet that, joined to a folder, stays inside it: no
// drive or stream, not absolute, no empty part and none ending in a dot or a
// space (the system would shorten "..." to "..", "a." to "a"), no characters
// that names cannot hold and no device names. The package stub checks names
// by the same rule.
bool entryNameStaysInside(const std::string& name);

// DOS date and time fields of a FILETIME and back; nullopt for times that
// the fields cannot hold or fields that are no valid time.
struct DosTime {
  uint16_t date = 0, time = 0;
};
std::optional<DosTime> dosTimeOf(int64_t fileTime);
std::optional<int64_t> fileTimeOf(DosTime dos);

}  // namespace korvane
