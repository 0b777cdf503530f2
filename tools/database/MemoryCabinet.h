// Cabinets built in memory with our own cabinet writer: the writer's file
// callbacks work on byte strings, so nothing touches the disk and the same
// files always give the same bytes.
#pragma once

#include <string>
#include <vector>

namespace korvane::dbgen {

struct CabinetItem {
  std::string name;   // name in the cabinet
  std::string bytes;  // its contents
};

// An MS-ZIP cabinet of the items in the order given, every file dated
// 2004-03-14 11:56:14 with the archive attribute only. Throws
// std::runtime_error naming the failing step.
std::string writeCabinet(const std::vector<CabinetItem>& items);

}  // namespace korvane::dbgen
