// The folder scan that restoring a backup starts with, the copy of what it
// found into the Windows folder, and the restart that lets Plug and Play
// install the drivers from there; where Windows keeps a driver store, the
// installation tool adding the folder's driver packages instead.
#include "app/BalvikMain.h"
#include "backup/DriverPackage.h"
#include "restore/DriverBackup.h"

namespace korvane {

namespace {

constexpr const char* kNoticeEnd = ">>>>>>>>>>>>>>>>>>>>>>>>";
constexpr const char* kRestartArrows = ">>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";

}  // namespace

std::string TForm1::WindowsFolder() {
  const std::string windir = machine_.environment().get("windir").value_or("");
  return withoutTrailingBackslash(windir.empty() ? AH.DirectoryWindows() : windir);
}

void TForm1::ReportRestoreFailure(const std::string& line) {
  AddMemoLine(line);
  restore_.RestoreFailed = true;
}

void TForm1::RestoreFolderTree(const std::string& folder, const std::vector<std::string>& destinations,
                               Msg restartNotice) {
  ClearMemo();
  const std::string windows = WindowsFolder();
  if (IsSystemFolderTree(windows, folder)) {
    ReportRestoreFailure(formatMessage(Text(Msg::RestoreFolderInWindows), {folder}));
    return;
  }
  // Where Windows keeps a driver store, the folder's packages are added where
  // they lie: copied flat into the system folders, a package loses the
  // sub-folders its INF names, and Plug and Play takes drivers from the store.
  if (HasDriverStore(machine_)) {
    AddDriverPackagesBelow(folder);
    return;
  }
  const ScanProgress progress{[this](const std::string& reached) { AddMemoLine("-> " + reached); },
                              [this] { view_.processMessages(); }};
  restore_.Scan(machine_.files(), folder, progress);
  const std::vector<std::string> files = FilesToRestore(machine_.files(), restore_.lstscan2);
  PrepareOptionsFolder(machine_.files(), windows);
  AddMemoLine("");
  if (files.empty()) {
    ReportRestoreFailure(formatMessage(Text(Msg::RestoreNothingToCopy), {folder}));
    return;
  }
  // Any failed destination means the drivers are not where Plug and Play looks.
  const std::vector<std::string> failed = CopyIntoWindowsFolders(FO1, files, windows, destinations);
  for (const std::string& target : failed) ReportRestoreFailure(formatMessage(Text(Msg::RestoreCopyFailed), {target}));
  if (failed.empty()) OfferRestart(restartNotice);
}

// The tool runs on its own, in its own console window; it is not waited for.
void TForm1::AddDriverPackagesBelow(const std::string& folder) {
  const std::string tool = InstallToolPath();
  AddMemoLine(formatMessage(Text(Msg::AddingDriverPackages), {folder}));
  if (!WriteCarriedTool(machine_.files(), ZAZFileHolder1, tool))
    ReportRestoreFailure(formatMessage(Text(Msg::InstallToolNotWritten), {tool}));
  else if (!StartFolderInstallTool(machine_.shell(), tool, folder))
    ReportRestoreFailure(formatMessage(Text(Msg::ProgramNotStarted), {tool}));
}

// Restarting ends every other program too: the user says when.
void TForm1::OfferRestart(Msg restartNotice) {
  AddMemoLine(Text(restartNotice));
  AddMemoLine("");
  AddMemoLine(kNoticeEnd);
  if (!view_.askYesNo(Text(Msg::RestartQuestion))) {
    AddMemoLine(Text(Msg::RestartNotDone));
    return;
  }
  AppendMemoText(kRestartArrows);
  if (!RestartWindows(ewxReboot)) AddMemoLine(Text(Msg::RestartNotDone));
}

bool TForm1::RestartWindows(unsigned flags) { return machine_.system().restartWindows(flags); }

}  // namespace korvane
