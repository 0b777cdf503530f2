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
  view_.controlsChanged();
}

bool TForm1::BeginBackupAll() {
  LastBackupAll = {};
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
  Control("Edit1").Caption = *chosen;
  BackupAllFolder = *chosen;
  Control("BitBtn10").Visible = true;
  view_.controlsChanged();
  view_.showMessage(Text(Msg::BackupAllAttention));
  runFolderNames_ = DriverFolderNames();
  return true;
}

std::optional<TForm1::CopiedDriver> TForm1::CopyForBackupAll(size_t row, DriverFileSearch& search) {
  if (CollectForBackupAll(row, search) != Collected::Ready) return std::nullopt;
  CopiedDriver copy{CreateDriverFolder(withoutTrailingBackslash(Control("Edit1").Caption), row), false};
  copy.copied = CopyDriverFiles(copy.folder.path, Msg::RetrievingFiles, Msg::PackageCreated);
  AddCatalogPlaceholder(copy.folder.path);
  return copy;
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
  auto inf = LocateInf(machine_.files(), InfFolder, OemInfFolder, infName);
  if (!inf) {
    AddMemoLines(Text(Msg::InfNotFound));
    inf = machine_.environment().get("windir").value_or("") + "\\win.ini";
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

void TForm1::FinishDriverOfBackupAll(size_t row, size_t count, const DriverFolder& folder, bool succeeded,
                                     const std::string& failure) {
  if (row + 1 == count) {
    ClearMemo();
    AddMemoLine(withoutTrailingBackslash(Control("Edit1").Caption));
    CurrentBackupMode = BackupMode::Folder;
    CurrentPackageKind = PackageKind::Exe;
  }
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  if (succeeded) SetStatus(Text(Msg::PackageCreated));
  DriverFileList.clear();
  const std::string hardwareId = ListView1.Text(row, 5);
  if (machine_.files().isDirectory(folder.path) && !hardwareId.empty() && hardwareId != " ")
    WriteDescriptor(folder.path, row);
  if (succeeded) {
    ++LastBackupAll.succeeded;
    AddMemoLine(formatMessage(Text(Msg::DriverPackagesCreated), {folder.caption}));
  } else {
    LastBackupAll.failures.push_back(formatMessage(Text(Msg::DriverNotBackedUp), {folder.caption, failure}));
    AddMemoLine(LastBackupAll.failures.back());
  }
}

// The failures again at the end, where the memo keeps them, and a count that
// says how many drivers really are in the destination.
void TForm1::ReportBackupAll(const std::optional<std::string>& outcome) {
  Control("BitBtn10").Visible = false;
  view_.controlsChanged();
  CurrentBackupMode = BackupMode::Folder;
  for (const auto& failure : LastBackupAll.failures) AddMemoLine(failure);
  view_.showMessage(outcome.value_or(formatMessage(Text(Msg::BackupAllDone), {std::to_string(LastBackupAll.succeeded)})));
  if (!LastBackupAll.failures.empty())
    view_.showMessage(formatMessage(Text(Msg::BackupAllFailures), {std::to_string(LastBackupAll.failures.size())}));
}

void TForm1::BitBtn3Click() {
  machine_.system().setErrorMode(semFailCriticalErrors);
  if (!BeginBackupAll()) return;
  const auto search = MakeFileSearch();
  const size_t count = Inventory.Count;
  for (size_t row = 0; row < count; ++row) {
    const auto copy = CopyForBackupAll(row, *search);
    if (!copy) return;
    const DriverFolder& folder = copy->folder;
    const bool copied = copy->copied;
    bool packed = true;
    if (CurrentBackupMode == BackupMode::Package) {
      AddMemoLine(Text(Msg::GeneratingInstaller));
      AppendMemoText("......................");
      packed = PackFolder(folder.path, folder.path + ".CAB",
                          folder.nameReplaced ? Text(Msg::CabinetAddedOk) : "......................");
      // Without its cabinet the folder is all there is of the driver: it stays.
      if (packed) DeleteFolder(folder.path);
    }
    FinishDriverOfBackupAll(row, count, folder, copied && packed,
                            Text(copied ? Msg::ReasonCabinetMissing : Msg::ReasonCopyFailed));
  }
  ReportBackupAll();
}

}  // namespace korvane
