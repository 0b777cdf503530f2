// Backup All: every listed driver in one run, each into a folder of its own
// under the folder the user chose, or into a CAB package in package mode.
#include "app/AskFolderUnit.h"
#include "app/BalvikMain.h"
#include "inventory/InfReader.h"
#include "platform/RichText.h"

namespace korvane {

void TForm1::msClick() {
  CurrentBackupMode = BackupMode::Folder;
  BitBtn3Click();
}

void TForm1::BitBtn10Click() {
  StopRequested = true;
  Control("BitBtn10").Visible = false;
  LayoutChanged();
}

bool TForm1::BeginBackupAll() {
  LastBackup = {};
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
  runFolderNames_ = DriverFolderNames();
  return true;
}

TForm1::Collected TForm1::CollectForBackupAll(size_t row, DriverFileSearch& search) {
  if (row >= ListView1.Count()) return Collected::NoRow;
  const std::string caption = ListView1.Text(row, 0);
  const std::string infName = ListView1.Text(row, 1);
  SetStatus(formatMessage(Text(Msg::BackupAllProgress),
                          {std::to_string(row + 1), std::to_string(Inventory.Count), caption}));
  ClearMemo();
  AddMemoLine(formatMessage(Text(Msg::PreparingPackage), {caption}));
  AddMemoLine("");
  const auto inf = LocateInf(machine_.files(), InfFolder, OemInfFolder, infName);
  if (!inf) {
    // Nothing of the driver is left to copy: it gets no folder and no package.
    AddMemoLines(Text(Msg::InfNotFound));
    return Collected::InfMissing;
  }
  SetStatus(formatMessage(Text(Msg::StatusAnalyzing), {"1"}));
  CurrentCatalogFile = InfCatalog(machine_, *inf);
  AddMemoLine(*inf);
  SetStatus(formatMessage(Text(Msg::StatusAnalyzing), {"2"}));
  SetStatus(formatMessage(Text(Msg::StatusAnalyzing), {"3"}));
  const InfBackupSet set = InfBackupFileSet(machine_, *inf, CatalogNames::CatalogThenNt);

  for (size_t k = 0; k <= set.Names.size(); ++k) {
    view_.processMessages();
    // Also after the last name: a search cut short by Stop leaves the list incomplete.
    if (StopRequested && !set.Names.empty()) {
      view_.showMessage(Text(Msg::BackupStopped));
      ClearMemo();
      AddMemoLine(Text(Msg::BackupCancelledByUser));
      DriverFileList.clear();
      return Collected::Stopped;
    }
    if (k == set.Names.size()) break;
    if (const auto found = search.Resolve(set.Names[k])) {
      DriverFileList.push_back(found->path);
      if (!found->bySearch) AddMemoLine(found->path);
    }
  }
  for (const std::string& folder : {InfFolder, OemInfFolder}) {
    const std::string path = folder + infName;
    if (!machine_.files().exists(path)) continue;
    DriverFileList.push_back(path);
    AddMemoLine(path);
  }
  SetStatus(caption + formatMessage(Text(Msg::DriverFilesCollected), {std::to_string(DriverFileList.size())}));
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
  if (!failure && !hardwareId.empty() && hardwareId != " ") WriteDescriptor(folder.path, row);
  return failure;
}

void TForm1::FinishDriverOfBackupAll(size_t row, size_t count, const std::string& caption,
                                     std::optional<Msg> failure) {
  if (row + 1 == count) {
    ClearMemo();
    AddMemoLine(withoutTrailingBackslash(Control("Edit1").Caption));
    CurrentBackupMode = BackupMode::Folder;
    CurrentPackageKind = PackageKind::Exe;
  }
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  DriverFileList.clear();
  if (failure) {
    NoteNotBackedUp(caption, *failure);
    return;
  }
  SetStatus(Text(Msg::PackageCreated));
  ++LastBackup.succeeded;
  AddMemoLine(formatMessage(Text(Msg::DriverPackagesCreated), {caption}));
}

// The failures again at the end, where the memo keeps them, and a count that
// says how many drivers really are in the destination.
void TForm1::ReportBackupAll(const std::optional<std::string>& outcome) {
  Control("BitBtn10").Visible = false;
  LayoutChanged();
  CurrentBackupMode = BackupMode::Folder;
  for (const auto& failure : LastBackup.failures) AddMemoLine(failure);
  view_.showMessage(outcome.value_or(formatMessage(Text(Msg::BackupAllDone), {std::to_string(LastBackup.succeeded)})));
  if (!LastBackup.failures.empty())
    view_.showMessage(formatMessage(Text(Msg::BackupAllFailures), {std::to_string(LastBackup.failures.size())}));
}

void TForm1::BitBtn3Click() {
  machine_.system().setErrorMode(semFailCriticalErrors);
  if (!BeginBackupAll()) return;
  const bool packages = CurrentBackupMode == BackupMode::Package;
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
