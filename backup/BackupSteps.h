// The window-free steps of a driver backup: a driver's files found, the
// destination and the folders they go to prepared, the files copied in, and
// what the copy leaves there.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "backup/DriverFileSearch.h"
#include "backup/DriverFolder.h"
#include "backup/DriverPackage.h"
#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "inventory/InfReader.h"
#include "platform/Machine.h"

namespace korvane {

// What the window does while a driver's files are found.
struct DriverFilesProgress {
  std::function<void(const std::string& inf)> infLocated;  // before the INF is read
  std::function<void(const DriverFileSearch::Found& file)> fileFound;
  std::function<void()> processMessages;  // before each name is resolved, and after the last
  std::function<bool()> stopRequested;    // asked after each of those pumps
};

struct DriverFiles {
  enum class Outcome { Found, InfMissing, Stopped };
  Outcome outcome = Outcome::Found;
  std::string catalog;                 // the catalog the INF names; empty when none
  std::vector<std::string> found;      // the files of the INF's file set, in its order
  std::vector<std::string> infCopies;  // the INF in each of the two folders that holds it
  // The driver-store package the files come from: then found holds the
  // package folder's entries (sub-folders whole) and there are no INF copies.
  std::optional<DriverPackage> package;
  std::vector<PackageNote> notes;  // package names the lookup refused
  size_t packageFiles = 0;         // the files below the package's entries
  // What a backup copies: the found files, then the INF copies.
  std::vector<std::string> all() const;
  // How many files that is, those of a package's sub-folders included.
  size_t count() const { return package ? packageFiles : found.size() + infCopies.size(); }
};

// The INF located; with a package cache, the driver's store package taken
// whole when it has one. Otherwise the INF is read and each name of its file
// set resolved by the search. A Stop while the names are resolved gives
// Stopped with no files: a cut list is never copied. A file set without
// names has nothing to stop.
DriverFiles FindDriverFiles(Machine& machine, const InfFolders& folders, const std::string& infName,
                            CatalogNames catalogNames, DriverFileSearch& search, const DriverFilesProgress& progress,
                            DriverPackageCache* packages = nullptr);

enum class DestinationState { Existing, Created, NotCreated };
// The destination made with its parents when missing, then made the current
// folder (unless it could not be made).
DestinationState PrepareBackupDestination(FileSystem& files, const std::string& destination);

// A driver's folder made, or an existing one taken; false when there is none.
bool MakeDriverFolder(FileSystem& files, const std::string& folder);

struct StagingFolder {
  bool made = false;
  std::string path;  // the new folder; the last name tried when none was made
};
// A new, empty folder in the destination that only its maker writes to.
StagingFolder MakeStagingFolder(FileSystem& files, const std::string& destination);

// The files copied into the folder by the copier; an empty list copies
// nothing and counts as a failure.
bool CopyFilesInto(TAHMFileOperator& copier, const std::vector<std::string>& files, const std::string& folder);
// The folder deleted with everything in it; one that cannot be deleted stays.
void DeleteFolderTree(TAHMFileOperator& deleter, const std::string& folder);

// Setup.DIY written to the folder's short path, where restore reads it.
bool WriteDriverDescriptor(Machine& machine, const std::string& folder, const SetupDiy& descriptor);
// An empty file of the catalog's name when the copy brought none; a catalog
// name that is no plain file name gets none.
void WriteCatalogPlaceholder(FileSystem& files, const std::string& folder, const std::string& catalog);
// The names of the copied files and the catalog that are in the folder, once
// each: what a package of it may hold, and nothing an earlier backup left.
std::vector<std::string> NamesCopiedInto(FileSystem& files, const std::string& folder,
                                         const std::vector<std::string>& copied, const std::string& catalog);

}  // namespace korvane
