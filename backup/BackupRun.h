// What the main window keeps of a backup command between its steps: the
// first Start chooses the destination the later drivers of the run follow,
// every driver gets a folder name of its own, and the run counts its drivers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backup/DriverFolder.h"
#include "backup/DriverPackage.h"

namespace korvane {

enum class BackupMode { Folder, Package };
enum class PackageKind { Cab, Exe };

// How a run went, driver by driver.
struct BackupResult {
  int succeeded = 0;
  std::vector<std::string> failures;  // "<caption>: <what failed>"
};

class BackupRun {
 public:
  // A new run: no destination chosen, no folder name given out, nothing
  // counted, the driver store not yet listed.
  void Begin();

  BackupMode Mode() const { return mode_; }
  PackageKind Kind() const { return kind_; }
  void SetMode(BackupMode mode) { mode_ = mode; }
  void SetKind(PackageKind kind) { kind_ = kind; }

  // The row a run of several drivers is at; none while one driver is backed up.
  const std::optional<size_t>& ProcessingRow() const { return processingRow_; }
  void SetProcessingRow(std::optional<size_t> row) { processingRow_ = row; }

  // Set at the end of every Start, cleared while a driver waits for one.
  bool StartFinished() const { return startFinished_; }
  void AwaitStart() { startFinished_ = false; }
  void FinishStart() { startFinished_ = true; }

  // The folder box's folder, without a trailing backslash; a run of several
  // drivers keeps the one its first Start chose.
  const std::string& ChooseDestination(const std::string& folderBox);
  const std::string& Destination() const { return destination_; }
  // A folder name that no other driver of the run got.
  std::string NextFolderName(const std::string& caption, const std::string& infName) {
    return folderNames_.Next(caption, infName);
  }

  // What the run has learnt of the driver store.
  DriverPackageCache& Packages() { return packages_; }

  const BackupResult& Result() const { return result_; }
  void CountBackedUp() { ++result_.succeeded; }
  // The failure line, as kept.
  const std::string& CountNotBackedUp(std::string failure);
  // The one thing the run makes of all its drivers is missing: none counts as backed up.
  void FailWhole(std::string failure);

 private:
  BackupMode mode_ = BackupMode::Folder;
  PackageKind kind_ = PackageKind::Cab;
  std::optional<size_t> processingRow_;
  bool startFinished_ = false;
  std::string destination_;
  DriverFolderNames folderNames_;
  DriverPackageCache packages_;
  BackupResult result_;
};

}  // namespace korvane
