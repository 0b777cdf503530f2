// The readable source of the driver database: one CSV table per Windows
// family, a row per entry (hardware-ID text, version, URL, optional notes).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::dbgen {

struct TableEntry {
  std::string hardwareId;  // text that holds the hardware ID, e.g. "PCI\VEN_1D4E&DEV_0322"
  std::string version;
  std::string url;
  std::string notes;
  std::string sha256;  // of the download, when known
  int line = 0;        // in its table
};

// A table that cannot become a database, with the table's name and line.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The database file a table stands for: "XP.csv" -> "DBxxxXP.inf"; nullopt
// for a name that is no family (XP, 2K, Me, 98, 95, NT).
std::optional<std::string> familyFileFor(std::string_view tableName);

// The entries of a table. Lines that are empty or begin with "#" are skipped;
// the first other line names the columns. Throws TableError.
std::vector<TableEntry> readTable(std::string_view tableName, std::string_view text);

// The entry as the check reads it once restored: ID text, version and URL
// joined by "::", then "::sha256=<hex>" and "::<notes>" when present, then the
// one closing character that the check drops. Throws TableError for an entry
// that would not read back as written: a byte that scrambles to a line end,
// "::" inside the ID text or version, or a URL that is not http(s).
std::string restoredLine(std::string_view tableName, const TableEntry& entry);

}  // namespace korvane::dbgen
