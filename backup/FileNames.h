// Checks of single file names taken from INF files and driver descriptions,
// which may be broken or hostile.
#pragma once

#include <string_view>

namespace korvane {

// A name a file in a folder can bear: not empty, no folder part, no drive, no
// wildcard or other character Windows refuses, not made of dots and spaces
// only, not a device.
bool isPlainFileName(std::string_view name);

}  // namespace korvane
