// What Korvane reads from a driver's INF script: where it is, the platform it
// was written for, its signature catalog and the names of the files that make
// up the driver. The file sets come from broad text rules, not from an
// interpretation of the INF language.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Machine.h"

namespace korvane {

// Larger files are not INF scripts; they are read as if they were empty.
constexpr uint64_t kMaxInfSize = uint64_t{16} << 20;

// The folders a driver's INF may lie in, each ending in a backslash: the INF
// folder and its "Other" folder.
struct InfFolders {
  std::string inf;
  std::string oemInf;
};

// The INF of a driver: infFolder + name, or oemInfFolder + name, which wins
// when both exist. Both folders end in a backslash.
std::optional<std::string> LocateInf(FileSystem& files, const std::string& infFolder, const std::string& oemInfFolder,
                                     const std::string& name);

// The version section's name as the INF writes it; empty when it has none.
std::string InfVersionSection(Machine& machine, const std::string& inf);
// "Signature" of the version section.
std::string InfPlatform(Machine& machine, const std::string& inf);
// "CatalogFile", or "CatalogFile.NT" when that is empty, cut before any ";".
std::string InfCatalog(Machine& machine, const std::string& inf);

// The file names counted by the details view, without the INF itself.
std::vector<std::string> InfDetailsFileSet(Machine& machine, const std::string& inf);

struct InfBackupSet {
  std::vector<std::string> Names;  // the files a backup collects besides the INF
  std::string CatalogFile;         // empty when the INF names none
};
// How the catalog names enter a backup set: both values as read, or, for
// Backup All, the catalog lower-cased unless the set already holds it, then
// "CatalogFile.NT" as read.
enum class CatalogNames { BothAsRead, CatalogThenNt };
// The details set with the catalog names and the file names of comment lines.
InfBackupSet InfBackupFileSet(Machine& machine, const std::string& inf,
                              CatalogNames catalogNames = CatalogNames::BothAsRead);

}  // namespace korvane
