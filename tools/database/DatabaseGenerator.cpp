#include "tools/database/DatabaseGenerator.h"

#include <set>

#include "platform/Sha256.h"
#include "tools/database/DatabaseTables.h"
#include "tools/database/GifPicture.h"
#include "tools/database/MemoryCabinet.h"
#include "tools/database/SamplePackages.h"
#include "update/DatabaseImage.h"
#include "update/DatabaseText.h"

namespace korvane::dbgen {

namespace {

constexpr const char* kPictureComment =
    "Korvane driver database. The picture carries a cabinet of the database files after its end.";

// Each entry gets the sample package of its URL (one per URL) and its digest.
void addSamplePackages(const std::string& tableName, std::vector<TableEntry>& entries,
                       std::map<std::string, std::string>& packages) {
  for (TableEntry& entry : entries) {
    const std::optional<std::string> path = packagePath(entry.url);
    if (!path)
      throw TableError(tableName + ":" + std::to_string(entry.line) +
                       ": the URL's path must be folder and file names of letters, digits, \".\", \"-\" and \"_\"");
    auto package = packages.find(*path);
    if (package == packages.end()) package = packages.emplace(*path, samplePackage(entry)).first;
    entry.sha256 = sha256Hex(package->second);
  }
}

std::string familyFile(const std::string& tableName, const std::vector<TableEntry>& entries) {
  std::string text;
  for (const TableEntry& entry : entries) text += flipDatabaseLine(restoredLine(tableName, entry)) + "\r\n";
  return text;
}

}  // namespace

GeneratedDatabase generateDatabase(const std::vector<SourceTable>& tables, bool withSamplePackages) {
  GeneratedDatabase result;
  std::vector<CabinetItem> files;
  std::set<std::string> families;
  for (const SourceTable& table : tables) {
    const std::optional<std::string> family = familyFileFor(table.name);
    if (!family)
      throw TableError(table.name + ": a table is named after its family: XP.csv, 2K.csv, Me.csv, 98.csv, 95.csv "
                                    "or NT.csv");
    if (!families.insert(*family).second) throw TableError(table.name + ": a second table for " + *family);
    std::vector<TableEntry> entries = readTable(table.name, table.text);
    if (withSamplePackages) addSamplePackages(table.name, entries, result.packages);
    files.push_back({*family, familyFile(table.name, entries)});
  }
  if (files.empty()) throw TableError("no tables given");
  const std::string picture = writePaddedGif(databasePicture(), kPictureComment, kPictureHeadSize);
  result.image = composeDatabaseImage(picture, writeCabinet(files));
  return result;
}

}  // namespace korvane::dbgen
