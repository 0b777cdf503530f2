// Driver packages without a window: a folder packed into a cabinet, a
// cabinet filled driver by driver, and the package stub joined with a
// cabinet into an installer. Failures of the cabinet library raise
// ESTCabinet or ESystemError; the rest is told by the results.
#pragma once

#include <string>
#include <vector>

#include "packaging/CabSTComps.h"
#include "platform/Machine.h"

namespace korvane {

enum class PackResult { Written, CabinetMissing };

// Every file below the folder packed into a new MS-ZIP cabinet.
PackResult packFolder(Machine& machine, const std::string& folder, const std::string& cabinet);

// One MS-ZIP cabinet that takes the files of several folders. Dropped before
// finish(), it leaves no cabinet.
class PackageCabinet {
 public:
  PackageCabinet(Machine& machine, const std::string& cabinet);
  // Every file below the folder, named by its path below it.
  void addFolder(const std::string& folder);
  // The named files of the folder, under the same names in the cabinet
  // (below cabinetFolder when one is given); a named sub-folder goes with
  // everything below it, under its own name.
  void addFiles(const std::string& folder, const std::vector<std::string>& names,
                const std::string& cabinetFolder = "");
  PackResult finish();

 private:
  Machine& machine_;
  std::string cabinet_;
  TSTCabWriter writer_;
};

// The stub followed by the cabinet, written as the installer. The cabinet
// is deleted only when the installer is whole; half an installer is
// deleted, since it would fail on the user's next machine. False when any
// read or write failed.
bool joinInstaller(FileSystem& files, const std::string& stub, const std::string& cabinet,
                   const std::string& installer);

}  // namespace korvane
