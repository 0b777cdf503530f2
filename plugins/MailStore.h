// The mail store of the current Outlook Express identity and its side files
// (address book, personal folders, extension data): where they lie, how a
// package of them is written beside earlier ones, and how it is put back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "packaging/CabSTComps.h"
#include "platform/Machine.h"

namespace korvane {

struct SideFile {
  std::string path;  // where the file lies on the machine
  std::string name;  // its name beside the package
};

struct MailStorePlaces {
  std::string store;  // the mail store folder, without a trailing backslash
  std::vector<SideFile> sideFiles;
};

// The places of the identity the registry names (read only); nullopt when
// the user has no identity, or one that names no folder. The address book
// is named after the user: the "USERNAME" variable, else the system's user
// name (the 95 family rarely sets the variable); without either it is left out.
std::optional<MailStorePlaces> mailStorePlaces(Machine& machine, bool ntFamily);

// Today's date in the user's short date format: d, dd, M, MM, yy, yyyy and
// text in single quotes; other characters stand for themselves, and longer
// runs of d and M (day and month names) give the numbers.
std::string todaysShortDate(Machine& machine);

// "Outlook " + date + ".CAB", every character a file name cannot hold, and
// "-", made "_"; dots stay.
std::string mailPackageName(const std::string& shortDate);

// The files below a folder, sub-folders included.
size_t countFiles(FileSystem& files, const std::string& folder);

// Writes the package of the store and copies the side files that exist into
// the package's folder, all under temporary names; only when every one is
// complete do they replace the package and side files of an earlier backup.
// The path that could not be written, or nullopt. Errors of the cabinet
// library raise ESTCabinet or ESystemError, with nothing replaced.
std::optional<std::string> backUpMailStore(Machine& machine, const MailStorePlaces& places, const std::string& package);

struct PackageExtraction {
  ERF error{};                       // fError set when the library failed
  std::vector<std::string> refused;  // names that would land outside the store
  std::vector<std::string> failed;   // files begun and not finished
  size_t extracted = 0;
  bool succeeded() const { return !error.fError && refused.empty() && failed.empty() && extracted > 0; }
};

// Every file of the package extracted straight into the store, created when missing.
PackageExtraction extractMailPackage(Machine& machine, const std::string& package, const std::string& store);

struct SideFilesRestored {
  std::vector<std::string> kept;    // existing files left untouched
  std::vector<std::string> failed;  // files that could not be copied
};

// The side files that lie beside the package copied to their places, never
// over an existing file.
SideFilesRestored restoreSideFiles(FileSystem& files, const MailStorePlaces& places, const std::string& packageFolder);

}  // namespace korvane
