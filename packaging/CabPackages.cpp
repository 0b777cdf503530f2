// CAB packages: a driver's backup folder packed into one MS-ZIP cabinet, and
// the commands that choose a package instead of a folder.
#include "app/BalvikMain.h"
#include "packaging/CabSTComps.h"

namespace korvane {

void TForm1::PopBackup2Click() {
  CurrentBackupMode = BackupMode::Package;
  CurrentPackageKind = PackageKind::Cab;
  BitBtn2Click();
}

void TForm1::PopBackup3Click() {
  CurrentBackupMode = BackupMode::Package;
  CurrentPackageKind = PackageKind::Exe;
  BitBtn2Click();
}

void TForm1::MenuSFX1Click() {
  CurrentBackupMode = BackupMode::Package;
  CurrentPackageKind = PackageKind::Exe;
  PopBackup3Click();
}

void TForm1::MenuSFX2Click() {
  CurrentBackupMode = BackupMode::Package;
  BitBtn3Click();
}

bool TForm1::PackFolder(const std::string& folder, const std::string& cabinet, const std::string& progress) {
  {
    TSTCabWriter writer(machine_);
    writer.SetCompressionType(cctMsZip);
    writer.Open(cabinet);
    writer.AddFiles(joinPath(folder, "*.*"), "", true);
    writer.Close(true);
  }
  AppendMemoText(progress);
  if (machine_.files().exists(cabinet)) return true;
  AddMemoLine(formatMessage(Text(Msg::CabinetNotWritten), {cabinet}));
  return false;
}

void TForm1::Button3Click() {
  ShowDestinationPanel(false);
  ClearMemo();
  const std::string destination = RunDestination();
  PrepareDestination(destination);
  const size_t row = ProcessingRow.value_or(ListView1.NextSelected(0));
  if (row >= ListView1.Count()) return;
  const DriverFolder folder = CreateDriverFolder(destination, row);
  const bool copied = CopyDriverFiles(folder.path, folder.nameReplaced ? Msg::RetrievingFiles : Msg::ExtractingFiles,
                                      Msg::PreparingInstaller);
  AddCatalogPlaceholder(folder.path);
  AddMemoLine(Text(Msg::GeneratingInstaller));
  AppendMemoText(std::string(folder.nameReplaced ? 22 : 19, '.'));

  const std::string cabinet = folder.path + ".CAB";
  if (PackFolder(folder.path, cabinet, "......................")) {
    AppendMemoText(Text(Msg::CabinetReadyOk));
    if (CurrentPackageKind == PackageKind::Cab)
      FinishCabPackage(folder, copied);
    else
      FinishExePackage(folder, cabinet, copied);
  }
  StartFinished = true;
}

void TForm1::FinishCabPackage(const DriverFolder& folder, bool copied) {
  DeleteFolder(folder.path);
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  ReportPackage(Msg::CabPackageCreated, folder, copied);
}

// A package made of a failed copy holds too little: it is not called a success.
void TForm1::ReportPackage(Msg created, const DriverFolder& folder, bool copied) {
  view_.showMessage(copied ? formatMessage(Text(created), {folder.caption}) : Text(Msg::CopyFailed));
  if (copied) SetStatus(Text(Msg::PackageCreated));
}

}  // namespace korvane
