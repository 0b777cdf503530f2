// A check of a cabinet file's structure before anything is extracted from
// it, so that a cabinet library that trusts its input never turns a broken
// cabinet into files with wrong bytes: the tables and every data block lie
// inside the file, block checksums hold where present, and every file lies
// inside the data of its folder. The file is read a window at a time.
#pragma once

#include <string>

#include "platform/CabinetInterface.h"
#include "platform/FileSystem.h"

namespace korvane {

// FDIERROR_NONE, or why the cabinet cannot be trusted. A file that cannot
// be opened is left to the library, which says so.
FDIERROR checkCabinetFile(FileSystem& files, const std::string& path);

}  // namespace korvane
