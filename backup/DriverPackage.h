// The driver-store package a driver was installed from (Windows Vista and
// later): the complete, signed folder under System32\DriverStore\FileRepository
// of which Windows\INF\oemN.inf is only a copy. Backing up that folder keeps
// every file the INF names and the catalog that signs them, so the system
// accepts the package again when it is restored.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Machine.h"

namespace korvane {

struct DriverPackage {
  enum class How {
    Registry,  // named by the DriverDatabase keys (Windows 8 and later)
    SameInf,   // the folder whose INF has the very bytes of oemN.inf
  };
  std::string folder;   // full path of the package folder
  std::string name;     // its name in FileRepository: "<original>.inf_<arch>_<hash>"
  std::string inf;      // full path of the package's own INF (its original name)
  std::string catalog;  // full path of the catalog the INF names; empty when not in the folder
  How how = How::Registry;
};

// Something the lookup refused; the caller tells the user.
struct PackageNote {
  std::string infName;  // the oemN.inf looked up
  std::string package;  // the name that is no single folder name in FileRepository
};

// What one run learns of the driver store, so that backing up every driver
// lists FileRepository once and reads each candidate INF at most once.
class DriverPackageCache {
 public:
  struct Candidate {
    std::string folderName;
    std::string inf;  // full path
    uint64_t size = 0;
  };
  // The root INFs of every package folder, listed on first use.
  const std::vector<Candidate>& Candidates(FileSystem& files, const std::string& repository,
                                           std::vector<PackageNote>& notes);
  // A candidate INF's bytes, read on first use; empty when unreadable.
  const std::string& Bytes(FileSystem& files, const std::string& inf);

 private:
  std::optional<std::vector<Candidate>> candidates_;
  std::map<std::string, std::string> bytes_;
};

// Whether the machine keeps a driver store: the NT family from 6.0 (Vista) on.
bool HasDriverStore(Machine& machine);

// System32\DriverStore\FileRepository of the machine, through the system
// folder the machine gives (which a 32-bit build on 64-bit Windows sees
// unredirected); empty when there is no driver store.
std::string DriverRepositoryFolder(Machine& machine);

// The package of the driver whose INF is Windows\INF\<infName>: by the
// DriverDatabase keys, else, when they are missing or name a package that is
// not there, by the INF's bytes. Nothing on systems without a driver store,
// for an INF name that is no plain file name, or when no package matches.
// Package names that are no single folder name are skipped with a note.
std::optional<DriverPackage> FindDriverPackage(Machine& machine, const std::string& infName,
                                               DriverPackageCache& cache, std::vector<PackageNote>& notes);

// Every file and sub-folder at the top of the package folder, files first:
// what a backup copies (sub-folders whole). Links are left out.
std::vector<std::string> PackageEntries(FileSystem& files, const DriverPackage& package);

// How many files a backup of the package takes: every file below those
// entries, sub-folders included.
size_t PackageFileCount(FileSystem& files, const DriverPackage& package);

}  // namespace korvane
