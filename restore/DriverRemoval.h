// Removing a driver from the system: its class keys, the choice of its files
// that may go, and where they go. A backup file set comes from broad text
// rules and a search of the whole drive, so the files are held to the driver
// folders and to names no other driver uses.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "backup/DriverFileSearch.h"
#include "platform/Machine.h"

namespace korvane {

constexpr RegRoot kClassRootKey = RegRoot::LocalMachine;

struct ClassKeys {
  std::vector<std::string> deleted, failed;  // below kClassRootKey
  std::vector<std::string> otherInfs;        // the INF names of the instances that stay, each once
};

// Deletes every instance key below the class root that names an INF and
// carries exactly this description. The keys that stay tell which INFs are
// still in use, a key that could not be deleted among them.
ClassKeys DeleteClassKeys(Registry& registry, const std::string& classRoot, const std::string& description);

// The folders a driver's files may be removed from.
struct RemovalFolders {
  SearchFolders system;      // the system, drivers and catalog folders, and the INF folder
  std::string oemInfFolder;  // the other INF folder
};

// The driver's files sorted, each once, in the order given.
struct RemovalChoice {
  std::vector<std::string> outside;  // not in a driver folder: kept
  std::vector<std::string> shared;   // another driver's INF names them: kept
  std::vector<std::string> chosen;   // only this driver uses them
};

// otherInfs are the INFs of the drivers that stay; processMessages is called
// between the INFs read.
RemovalChoice ChooseFilesToRemove(Machine& machine, const RemovalFolders& folders,
                                  const std::vector<std::string>& driverFiles,
                                  const std::vector<std::string>& otherInfs,
                                  const std::function<void()>& processMessages);

// Where removed files go when the system has no recycle bin:
// base\Removed\<the driver's folder name>, a new folder for each removal.
struct UndoPlace {
  std::string base;
  std::string description, infName;  // the driver's, to name its folder
};

struct RemovedFile {
  std::string path;
  bool removed = false;
};
struct FileRemoval {
  std::vector<RemovedFile> files;  // in the order given
  std::string undoFolder;          // empty when the files went into the recycle bin
  bool anyRemoved() const;
};

// The files moved into the recycle bin where the system has one, else into
// a new undo folder, each under its old path ("C:\WINDOWS\x.sys" as
// "C\WINDOWS\x.sys"), so that the removal can be undone by hand.
FileRemoval RemoveFiles(Machine& machine, const std::vector<std::string>& paths, const UndoPlace& undo);

}  // namespace korvane
