#include "backup/BackupRun.h"

#include "platform/Text.h"

namespace korvane {

void BackupRun::Begin() {
  destination_.clear();
  folderNames_ = DriverFolderNames();
  packages_ = DriverPackageCache();
  result_ = {};
}

const std::string& BackupRun::ChooseDestination(const std::string& folderBox) {
  if (!processingRow_ || destination_.empty()) destination_ = withoutTrailingBackslash(folderBox);
  return destination_;
}

const std::string& BackupRun::CountNotBackedUp(std::string failure) {
  result_.failures.push_back(std::move(failure));
  return result_.failures.back();
}

void BackupRun::FailWhole(std::string failure) {
  result_.failures.push_back(std::move(failure));
  result_.succeeded = 0;
}

}  // namespace korvane
