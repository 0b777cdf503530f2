// A check of a cabinet file's structure before anything is extracted from
// it, so that a cabinet library that trusts its input never turns a broken
// cabinet into files with wrong bytes: the tables and every data block lie
// inside the file, block checksums hold where present, and every file lies
// inside the data of its folder.
#pragma once

#include <string_view>

#include "platform/CabinetInterface.h"

namespace korvane {

// FDIERROR_NONE, or why the cabinet cannot be trusted.
FDIERROR checkCabinet(std::string_view bytes);

}  // namespace korvane
