// CAB packages: a driver's backup folder packed into one MS-ZIP cabinet, and
// the commands that choose a package instead of a folder.
#include "app/BalvikMain.h"
#include "packaging/PackageWriter.h"

namespace korvane {

void TForm1::BackUpSelectedAsPackages(PackageKind kind) {
  backupRun_.SetMode(BackupMode::Package);
  backupRun_.SetKind(kind);
  BitBtn2Click();
}

void TForm1::PopBackup2Click() { BackUpSelectedAsPackages(PackageKind::Cab); }

void TForm1::PopBackup3Click() { BackUpSelectedAsPackages(PackageKind::Exe); }

void TForm1::MenuSFX1Click() { PopBackup3Click(); }

void TForm1::MenuSFX2Click() {
  backupRun_.SetMode(BackupMode::Package);
  BitBtn3Click();
}

bool TForm1::PackFolder(const std::string& folder, const std::string& cabinet, const std::string& progress) {
  const PackResult result = packFolder(machine_, folder, cabinet);
  AppendMemoText(progress);
  if (result == PackResult::Written) return true;
  AddMemoLine(formatMessage(Text(Msg::CabinetNotWritten), {cabinet}));
  return false;
}

std::optional<Msg> TForm1::PackDriver(const std::string& destination, const DriverFolder& folder,
                                      const PackingMemo& memo) {
  const auto staging = CreateStagingFolder(destination);
  if (!staging) return Msg::ReasonFolderNotCreated;
  const bool copied = CopyDriverFiles(*staging, memo.heading, memo.copiedLine);
  AddCatalogPlaceholder(*staging);
  bool packed = false;
  if (copied) {
    AddMemoLine(Text(Msg::GeneratingInstaller));
    AppendMemoText(std::string(memo.dots, '.'));
    try {
      packed = PackFolder(*staging, folder.path + ".CAB", memo.progress);
    } catch (...) {
      DeleteFolder(*staging);
      throw;
    }
  }
  DeleteFolder(*staging);
  if (!copied) return Msg::ReasonCopyFailed;
  if (!packed) return Msg::ReasonCabinetMissing;
  return std::nullopt;
}

void TForm1::Button3Click() {
  if (!BeginStart()) return;
  const size_t row = backupRun_.ProcessingRow().value_or(ListView1.NextSelected(0));
  if (row >= ListView1.Count()) return;
  const DriverFolder folder = NameDriverFolder(backupRun_.Destination(), row);
  const bool replaced = folder.nameReplaced;
  const auto failure = PackDriver(backupRun_.Destination(), folder,
                                  {replaced ? Msg::RetrievingFiles : Msg::ExtractingFiles, Msg::PreparingInstaller,
                                   replaced ? 22u : 19u, "......................"});
  if (failure) {
    NoteNotBackedUp(folder.caption, *failure);
    view_.showMessage(backupRun_.Result().failures.back());
  } else {
    AppendMemoText(Text(Msg::CabinetReadyOk));
    if (backupRun_.Kind() == PackageKind::Cab)
      FinishCabPackage(folder);
    else
      FinishExePackage(folder, folder.path + ".CAB");
  }
  backupRun_.FinishStart();
}

void TForm1::FinishCabPackage(const DriverFolder& folder) {
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  ReportPackage(Msg::CabPackageCreated, folder);
}

void TForm1::ReportPackage(Msg created, const DriverFolder& folder) {
  backupRun_.CountBackedUp();
  view_.showMessage(formatMessage(Text(created), {folder.caption}));
  SetStatus(Text(Msg::PackageCreated));
}

}  // namespace korvane
