// Backup All: every listed driver in one run, each into a folder of its own
// under the folder the user chose, or into a CAB package in package mode.
#include "app/AskFolderUnit.h"
#include "app/BalvikMain.h"
#include "backup/BackupSteps.h"

namespace korvane {

void TForm1::msClick() {
  backupRun_.SetMode(BackupMode::Folder);
  BitBtn3Click();
}

void TForm1::BitBtn10Click() {
  StopRequested = true;
  Control("BitBtn10").Visible = false;
  LayoutChanged();
}

bool TForm1::BeginBackupAll() {
  backupRun_.Begin();
  if (Inventory.Count == 0) {
    view_.showMessage(Text(Msg::NoDriversListed));
    return false;
  }
  StopRequested = false;
  DriverFileList.clear();
  TForm3 dialog(view_, {Text(Msg::AskFolderCaption), Text(Msg::AskFolderLabel), Text(Msg::AskFolderOk),
                        Text(Msg::AskFolderCancel), ""});
  dialog.Result = BackupAllFolder;
  auto chosen = dialog.ShowModal();
  if (!chosen) {
    AddMemoLine(Text(Msg::BackupAllCancelled));
    return false;
  }
  // An empty choice would scatter the drivers over the current folder.
  if (chosen->empty()) chosen = DefaultFolder;
  if (!RequireDestination(withoutTrailingBackslash(*chosen))) return false;
  Control("Edit1").Caption = *chosen;
  BackupAllFolder = *chosen;
  Control("BitBtn10").Visible = true;
  LayoutChanged();
  view_.showMessage(Text(Msg::BackupAllAttention));
  return true;
}

TForm1::Collected TForm1::CollectForBackupAll(size_t row, DriverFileSearch& search) {
  if (row >= ListView1.Count()) return Collected::NoRow;
  const std::string caption = ListView1.Text(row, 0);
  SetStatus(formatMessage(Text(Msg::BackupAllProgress),
                          {std::to_string(row + 1), std::to_string(Inventory.Count), caption}));
  ClearMemo();
  AddMemoLine(formatMessage(Text(Msg::PreparingPackage), {caption}));
  AddMemoLine("");
  const auto infLocated = [this](const std::string& inf) {
    ShowAnalysisStep("1");
    AddMemoLine(inf);
    ShowAnalysisStep("2");
    ShowAnalysisStep("3");
  };
  const auto fileFound = [this](const DriverFileSearch::Found& file) {
    if (!file.bySearch) AddMemoLine(file.path);
  };
  const DriverFiles files = FindRowFiles(row, CatalogNames::CatalogThenNt, search, {infLocated, fileFound, {}, {}},
                                         &backupRun_.Packages());
  if (files.outcome == DriverFiles::Outcome::InfMissing) {
    // Nothing of the driver is left to copy: it gets no folder and no package.
    AddMemoLines(Text(Msg::InfNotFound));
    return Collected::InfMissing;
  }
  if (files.outcome == DriverFiles::Outcome::Stopped) {
    view_.showMessage(Text(Msg::BackupStopped));
    ClearMemo();
    AddMemoLine(Text(Msg::BackupCancelledByUser));
    return Collected::Stopped;
  }
  for (const auto& path : files.infCopies) AddMemoLine(path);
  SetStatus(caption + formatMessage(Text(Msg::DriverFilesCollected), {std::to_string(files.count())}));
  ShowDestinationPanel(false);
  ClearMemo();
  PrepareDestination(withoutTrailingBackslash(Control("Edit1").Caption));
  return Collected::Ready;
}

bool TForm1::BackUpEveryDriver(const DriverBackup& backUp) {
  const auto search = MakeFileSearch();
  const std::string destination = withoutTrailingBackslash(Control("Edit1").Caption);
  const size_t count = Inventory.Count;
  for (size_t row = 0; row < count; ++row) {
    const Collected collected = CollectForBackupAll(row, *search);
    if (collected == Collected::Stopped || collected == Collected::NoRow) return false;
    if (collected == Collected::InfMissing) {
      FinishDriverOfBackupAll(row, count, ListView1.Text(row, 0), Msg::ReasonInfMissing);
      continue;
    }
    const DriverFolder folder = NameDriverFolder(destination, row);
    FinishDriverOfBackupAll(row, count, folder.caption, backUp(folder, row));
  }
  return true;
}

std::optional<Msg> TForm1::BackUpToDriverFolder(const DriverFolder& folder, size_t row) {
  const auto failure = CopyToDriverFolder(folder, Msg::PackageCreated);
  const std::string hardwareId = ListView1.Text(row, 5);
  if (failure || hardwareId.empty() || hardwareId == " ") return failure;
  return WriteDescriptor(folder.path, row);
}

void TForm1::FinishDriverOfBackupAll(size_t row, size_t count, const std::string& caption,
                                     std::optional<Msg> failure) {
  if (row + 1 == count) {
    ClearMemo();
    AddMemoLine(withoutTrailingBackslash(Control("Edit1").Caption));
    backupRun_.SetMode(BackupMode::Folder);
    backupRun_.SetKind(PackageKind::Exe);
  }
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  DriverFileList.clear();
  if (failure) {
    NoteNotBackedUp(caption, *failure);
    return;
  }
  SetStatus(Text(Msg::PackageCreated));
  backupRun_.CountBackedUp();
  AddMemoLine(formatMessage(Text(Msg::DriverPackagesCreated), {caption}));
}

// The failures again at the end, where the memo keeps them, and a count that
// says how many drivers really are in the destination.
void TForm1::ReportBackupAll(const std::optional<std::string>& outcome) {
  Control("BitBtn10").Visible = false;
  LayoutChanged();
  backupRun_.SetMode(BackupMode::Folder);
  const BackupResult& result = backupRun_.Result();
  for (const auto& failure : result.failures) AddMemoLine(failure);
  view_.showMessage(outcome.value_or(formatMessage(Text(Msg::BackupAllDone), {std::to_string(result.succeeded)})));
  if (!result.failures.empty())
    view_.showMessage(formatMessage(Text(Msg::BackupAllFailures), {std::to_string(result.failures.size())}));
}

void TForm1::BitBtn3Click() {
  machine_.system().setErrorMode(semFailCriticalErrors);
  if (!BeginBackupAll()) return;
  const bool packages = backupRun_.Mode() == BackupMode::Package;
  const std::string destination = withoutTrailingBackslash(Control("Edit1").Caption);
  const bool finished = BackUpEveryDriver([&](const DriverFolder& folder, size_t row) {
    if (!packages) return BackUpToDriverFolder(folder, row);
    // The copy is not yet the package: its success line must not say so.
    return PackDriver(destination, folder,
                      {Msg::RetrievingFiles, Msg::PreparingInstaller, 22,
                       folder.nameReplaced ? Text(Msg::CabinetAddedOk) : "......................"});
  });
  if (finished) ReportBackupAll();
}

}  // namespace korvane
