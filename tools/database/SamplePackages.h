// Stand-ins for the downloads the sample database lists: small cabinets that
// say what they are, served by scripts/serve-db at the entries' URLs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/database/DatabaseTables.h"

namespace korvane::dbgen {

// Where a URL's download lies under the packages folder: the URL's path
// without its leading "/", query or fragment. nullopt unless every segment
// is a plain name (letters, digits, ".", "-", "_", not "." or "..") and the
// last one names a file, so that no URL reaches outside the folder.
std::optional<std::string> packagePath(std::string_view url);

// A cabinet holding README.TXT, which says that this is no driver but the
// sample download of the entry.
std::string samplePackage(const TableEntry& entry);

}  // namespace korvane::dbgen
