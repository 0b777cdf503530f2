// What the restore and remove commands keep on the main window between runs:
// the last folder scan, the folder chosen for Restore All, the install mode,
// and how the last command ended.
#pragma once

#include <string>
#include <vector>

#include "restore/BackupFolderScan.h"

namespace korvane {

struct RestoreScan {
  static constexpr int kInstallNewMode = 7;

  std::vector<ScanEntry> lstscan2;  // the last scan, in the order found
  std::string ScanMask;
  std::string RestoreFolder;          // the tree's Directory at its last change; "nil" for none
  int InstallMode = 0;                // kInstallNewMode only while Install a new driver runs
  bool RestoreFailed = false;         // the last restore command ended on a failure it reported
  bool LastRemovalIncomplete = false;  // the last removal gone through left something undone

  // A new scan of every file below the folder (with or without its final
  // backslash); the list holds only what this scan finds, so that a second
  // restore copies only its own folder.
  void Scan(FileSystem& files, const std::string& folder, const ScanProgress& progress);
};

}  // namespace korvane
