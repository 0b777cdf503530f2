// Turns the database tables into the database image that Korvane carries
// and fetches, and the sample packages its entries point to.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace korvane::dbgen {

struct SourceTable {
  std::string name;  // its file name, which names the family: "XP.csv"
  std::string text;
};

struct GeneratedDatabase {
  std::string image;
  // Package path under the packages folder -> its bytes; filled only when
  // asked for, and then every entry carries its package's SHA-256.
  std::map<std::string, std::string> packages;
};

// Throws TableError (naming table and line) for a table that cannot become
// a database, std::runtime_error for other failures.
GeneratedDatabase generateDatabase(const std::vector<SourceTable>& tables, bool withSamplePackages);

}  // namespace korvane::dbgen
