// The help files this build compiled and placed beside the programs, with
// their SHA-256: a manual fetched from the web site is trusted only when it
// is byte for byte one of them (a help file can carry script).
#pragma once

#include <span>

namespace korvane {

struct ManualFile {
  const char* name;    // "ManuelEN.chm"
  const char* sha256;  // 64 lower-case hex digits
};

// Empty when the build had no help compiler: no fetched manual is then opened.
std::span<const ManualFile> builtManuals();

}  // namespace korvane
