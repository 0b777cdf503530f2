// What the details view tells of a driver: the platforms its INF was written
// for, the catalog that signs it and how many files a backup of it holds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "inventory/InfReader.h"

namespace korvane {

enum class InfPlatformFamily { Unknown, Windows95, WindowsNT };

struct DriverDescription {
  bool infFound = false;
  // Unknown alone when the INF has no signature; a signature may name both
  // families or neither.
  std::vector<InfPlatformFamily> platforms;
  std::string catalog;   // empty when the INF names none
  size_t fileCount = 0;  // the file set with the INF itself; 0 when the set is empty
};

DriverDescription DescribeDriver(Machine& machine, const InfFolders& folders, const std::string& infName);

}  // namespace korvane
