// Checks of single file names taken from INF files and driver descriptions,
// which may be broken or hostile.
#pragma once

#include <string_view>

namespace korvane {

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9, in any case, with or without an
// extension ("nul.sys"): Windows opens the device instead of a file.
bool isReservedDeviceName(std::string_view name);

// A name a file in a folder can bear: not empty, no folder part, no drive, no
// wildcard or other character Windows refuses, not made of dots and spaces
// only, not a device.
bool isPlainFileName(std::string_view name);

}  // namespace korvane
