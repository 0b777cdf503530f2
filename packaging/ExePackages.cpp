// EXE installer packages: the carried package stub with a cabinet joined to
// its end, for one driver or for every listed driver at once.
#include "app/BalvikMain.h"
#include "packaging/PackageWriter.h"

namespace korvane {

bool TForm1::AssembleInstaller(const std::string& cabinet, const std::string& installer) {
  const std::string stub = WorkFilePath("\\INF\\Temp0000.tmp");
  // An earlier stub copy must not stand in for one this build cannot write.
  if (ZAZFileHolder3.Files().Count() == 0 || ZAZFileHolder3.Files().Item(0).IsEmpty()) return false;
  ZAZFileHolder3.ExtractFile(0, stub);
  return joinInstaller(machine_.files(), stub, cabinet, installer);
}

void TForm1::FinishExePackage(const DriverFolder& folder, const std::string& cabinet) {
  const std::string installer = cabinet.substr(0, cabinet.size() - 4) + ".EXE";
  if (!AssembleInstaller(cabinet, installer)) {
    // The cabinet stays: the driver is still backed up, though not as asked.
    AddMemoLine(formatMessage(Text(Msg::InstallerNotWritten), {installer}));
    NoteNotBackedUp(folder.caption, Msg::ReasonInstallerMissing);
    view_.showMessage(formatMessage(Text(Msg::InstallerNotWritten), {installer}));
    return;
  }
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  ReportPackage(Msg::ExePackageCreated, folder);
}

void TForm1::MenuSFX3Click() {
  backupRun_.SetKind(PackageKind::Exe);
  if (!BeginBackupAll()) return;
  const std::string base = Text(Msg::AllDriversBaseName);
  const std::string cabinet = joinPath(BackupAllFolder, base + ".CAB");
  const std::string installer = joinPath(BackupAllFolder, base + ".EXE");
  // Dropped unfinished when the run stops: no cabinet, no installer.
  PackageCabinet package(machine_, cabinet);
  // Each driver keeps its folder; the cabinet takes only what this run copied
  // there, so neither Setup.DIY nor an earlier backup's files go with it.
  const bool finished = BackUpEveryDriver([&](const DriverFolder& folder, size_t row) {
    const auto failure = BackUpToDriverFolder(folder, row);
    if (failure) return failure;
    AddMemoLine(Text(Msg::GeneratingInstaller));
    AppendMemoText("......................");
    // A store package keeps its own folder: side by side at the root, a file
    // of another package with the same name would replace one of its files
    // when the stub unpacks them, and its catalog would no longer match.
    package.addFiles(folder.path, CopiedFileNames(folder.path), CurrentPackage ? CurrentPackage->name : "");
    AppendMemoText(Text(Msg::CabinetAddedOk));
    return failure;
  });
  if (!finished) return;
  if (backupRun_.Result().succeeded == 0) {
    // Not one driver to carry: no empty cabinet, no installer.
    ReportBackupAll();
    return;
  }
  ClearMemo();
  AddMemoLine(Text(Msg::CreatingInstallerForAll));
  std::string failure;
  if (package.finish() == PackResult::CabinetMissing) {
    failure = formatMessage(Text(Msg::CabinetNotWritten), {cabinet});
  } else {
    AppendMemoText(Text(Msg::InstallerCabinetReadyOk));
    if (!AssembleInstaller(cabinet, installer)) failure = formatMessage(Text(Msg::InstallerNotWritten), {installer});
  }
  if (!failure.empty()) {
    // The driver folders stay; the installer that should carry them is missing.
    backupRun_.FailWhole(failure);
    ReportBackupAll(failure);
    return;
  }
  AddMemoLine(Text(Msg::InstallerDone));
  ReportBackupAll(formatMessage(Text(Msg::AllDriversPacked), {installer}));
}

}  // namespace korvane
