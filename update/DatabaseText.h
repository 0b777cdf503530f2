// The driver database's text files and the matching of devices against them.
//
// Each stored line is scrambled: its bytes in reverse order, each byte b
// replaced by (256 - b) mod 256. Restored, a line reads
//   <text holding hardware IDs>::<version>::<URL>[::<notes>]<end>
// where <end> is one character that belongs to no field. Notes may hold
// "sha256=<hex>", the SHA-256 of the file at the URL.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Scrambles a restored line and restores a stored one: the transform is its
// own inverse.
std::string flipDatabaseLine(std::string_view line);

// The lines of a stored database file; CR, LF and CR LF end a line.
std::vector<std::string_view> databaseLines(std::string_view fileText);

struct DatabaseEntry {
  std::string version;
  std::string url;
  std::string notes;  // after the URL's "::", empty when there is none
};
// The entry of a restored line; nullopt for a line without two "::" or
// whose URL is not http:// or https:// followed by a host.
std::optional<DatabaseEntry> parseDatabaseEntry(std::string_view restoredLine);
// The lower-case hex digest that notes announce with "sha256=", if any.
std::optional<std::string> announcedSha256(std::string_view notes);

// The database files a cabinet may bring, one per Windows family.
inline constexpr std::array<std::string_view, 6> kDatabaseFileNames = {
    "DBxxxXP.inf", "DBxxx2K.inf", "DBxxxMe.inf", "DBxxx98.inf", "DBxxx95.inf", "DBxxxNT.inf"};
bool isDatabaseFileName(std::string_view name);  // one of those, letter case aside
// The database file for a system name ("Microsoft Windows XP"); nullopt
// when there is none for that system.
std::optional<std::string> databaseFileFor(std::string_view osName);
// Windows Vista and later have no file of their own. They take XP's: the
// newest, and XP's drivers follow the driver model those systems still load,
// which the NT 4 file's drivers do not.
inline constexpr std::string_view kLaterWindowsDatabase = "DBxxxXP.inf";

// One row of the device list as the match needs it.
struct DeviceToMatch {
  std::string description;
  std::string date;      // the installed driver's date
  std::string deviceId;  // hardware ID
};

// One row of the candidate list.
struct UpdateCandidate {
  std::string description, current, database, url, compatibility;
  std::string notes;  // the entry's notes, for the download's checksum
  bool operator==(const UpdateCandidate&) const = default;
};

// How a restored line concerns a device: "100%", "98%", "95%" or nullopt.
// Both texts lower-case (ASCII).
std::optional<std::string_view> lineCompatibility(std::string_view lowerLine, std::string_view lowerId);

// The candidates of every device, devices in order and each device's entries
// in file order; an entry whose URL already has a row adds none. The
// reference: every device scans every line.
std::vector<UpdateCandidate> matchEachDevice(const std::vector<DeviceToMatch>& devices, std::string_view fileText);
// The same rows from one pass over the lines, through an index of every
// device's ID and subsystem-free prefix.
std::vector<UpdateCandidate> matchInOnePass(const std::vector<DeviceToMatch>& devices, std::string_view fileText);

}  // namespace korvane
