#include "tools/database/DatabaseTables.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "update/DatabaseText.h"

namespace korvane::dbgen {

namespace {

constexpr std::string_view kColumns = "hardware_id,version,url,notes";
constexpr std::string_view kSeparator = "::";
constexpr char kClosing = ';';
constexpr std::array<std::string_view, 6> kFamilies = {"XP", "2K", "Me", "98", "95", "NT"};

[[noreturn]] void refuse(std::string_view table, int line, const std::string& why) {
  throw TableError(std::string(table) + ":" + std::to_string(line) + ": " + why);
}

// Splits one CSV line; a quoted field may hold commas and doubled quotes.
std::vector<std::string> splitCsv(std::string_view table, int lineNumber, std::string_view line) {
  std::vector<std::string> fields(1);
  size_t at = 0;
  while (at < line.size()) {
    const char c = line[at++];
    if (c == ',') {
      fields.emplace_back();
    } else if (c == '"' && fields.back().empty()) {
      for (;;) {
        if (at >= line.size()) refuse(table, lineNumber, "a quoted field does not end on its line");
        const char q = line[at++];
        if (q != '"') {
          fields.back() += q;
        } else if (at < line.size() && line[at] == '"') {
          fields.back() += '"';
          ++at;
        } else {
          break;
        }
      }
      if (at < line.size() && line[at] != ',') refuse(table, lineNumber, "text after a closing quote");
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// A byte whose scrambled form (256 - b) is a carriage return or a line feed.
bool scramblesToLineEnd(unsigned char byte) { return byte == 256 - '\r' || byte == 256 - '\n'; }

void checkScramblable(std::string_view table, const TableEntry& entry) {
  const std::pair<const char*, const std::string*> columns[] = {
      {"hardware_id", &entry.hardwareId}, {"version", &entry.version}, {"url", &entry.url}, {"notes", &entry.notes}};
  for (const auto& [column, text] : columns)
    for (size_t i = 0; i < text->size(); ++i)
      if (scramblesToLineEnd(static_cast<unsigned char>((*text)[i]))) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>((*text)[i]));
        refuse(table, entry.line,
               std::string("byte ") + byte + " at character " + std::to_string(i + 1) + " of " + column +
                   " would become a line end in the database; write the text without it");
      }
}

}  // namespace

std::optional<std::string> familyFileFor(std::string_view tableName) {
  const size_t slash = tableName.find_last_of("/\\");
  std::string_view base = slash == std::string_view::npos ? tableName : tableName.substr(slash + 1);
  if (!base.ends_with(".csv")) return std::nullopt;
  base.remove_suffix(4);
  if (std::find(kFamilies.begin(), kFamilies.end(), base) == kFamilies.end()) return std::nullopt;
  return "DBxxx" + std::string(base) + ".inf";
}

std::vector<TableEntry> readTable(std::string_view tableName, std::string_view text) {
  std::vector<TableEntry> entries;
  bool headerSeen = false;
  int lineNumber = 0;
  // Spreadsheet programs often begin a saved table with a UTF-8 mark.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (!headerSeen) {
      if (line != kColumns)
        refuse(tableName, lineNumber, "the first line must name the columns: " + std::string(kColumns));
      headerSeen = true;
      continue;
    }
    std::vector<std::string> fields = splitCsv(tableName, lineNumber, line);
    if (fields.size() < 3 || fields.size() > 4)
      refuse(tableName, lineNumber, "expected 3 or 4 columns (" + std::string(kColumns) + "), found " +
                                        std::to_string(fields.size()));
    fields.resize(4);
    entries.push_back(TableEntry{fields[0], fields[1], fields[2], fields[3], "", lineNumber});
  }
  if (!headerSeen) refuse(tableName, lineNumber, "no column line: " + std::string(kColumns));
  return entries;
}

std::string restoredLine(std::string_view tableName, const TableEntry& entry) {
  if (entry.hardwareId.empty() || entry.hardwareId.find(kSeparator) != std::string::npos)
    refuse(tableName, entry.line, "hardware_id must be given and hold no \"::\"");
  if (entry.version.empty() || entry.version.find(kSeparator) != std::string::npos)
    refuse(tableName, entry.line, "version must be given and hold no \"::\"");
  checkScramblable(tableName, entry);
  std::string line = entry.hardwareId;
  for (const std::string* field : {&entry.version, &entry.url}) line.append(kSeparator).append(*field);
  if (!entry.sha256.empty()) line.append(kSeparator).append("sha256=").append(entry.sha256);
  if (!entry.notes.empty()) line.append(kSeparator).append(entry.notes);
  line += kClosing;
  // The URL must come back whole from the check's own reader.
  const std::optional<DatabaseEntry> parsed = parseDatabaseEntry(line);
  if (!parsed || parsed->url != entry.url || entry.url.find_first_of(" \t") != std::string::npos)
    refuse(tableName, entry.line, "url must be an http:// or https:// address without blanks or \"::\"");
  return line;
}

}  // namespace korvane::dbgen
