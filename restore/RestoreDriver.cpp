// Restore of one backed-up driver, or the guide to installing a new one: the
// hardware wizard, the carried device installation tool, or a copy of a
// whole folder tree followed by a restart.
#include "app/BalvikMain.h"
#include "restore/DriverBackup.h"

namespace korvane {

void TForm1::instnew1Click() {
  restore_.InstallMode = RestoreScan::kInstallNewMode;
  BitBtn4Click();
  restore_.InstallMode = 1;
}

// The backup folder wins over the backup-all folder.
void TForm1::SetOD1InitialFolder() {
  OD1.FileName = "*.inf";
  OD1.Filter = Text(Msg::InfFileFilter);
  if (!BackupAllFolder.empty()) OD1.InitialDir = BackupAllFolder;
  if (!BackupFolder.empty()) OD1.InitialDir = BackupFolder;
}

std::optional<std::string> TForm1::ExecuteOD1() {
  const auto chosen = view_.chooseFileToOpen(OD1);
  if (!chosen || chosen->empty()) return std::nullopt;
  OD1.FileName = *chosen;
  return chosen;
}

void TForm1::BitBtn4Click() {
  restore_.RestoreFailed = false;
  SetOD1InitialFolder();
  if (restore_.InstallMode == RestoreScan::kInstallNewMode || !AH.IsNTFamily()) {
    RunHardwareWizard();
    return;
  }
  const auto chosen = ExecuteOD1();
  if (!chosen) return;
  const std::string tool = InstallToolPath();
  const bool toolWritten = WriteCarriedTool(machine_.files(), ZAZFileHolder1, tool);
  const std::string folder = withoutTrailingBackslash(parentPath(*chosen));
  const DriverBackupCheck backup = CheckDriverBackup(machine_, folder);
  if (backup.state != BackupDescriptor::None) {
    ClearMemo();
    InstallFromBackup(*chosen, folder, backup, tool, toolWritten);
    return;
  }
  const auto source = ExecuteOD1();
  if (!source) return;
  RestoreFolderTree(parentPath(*source), {"INF\\", "system32\\drivers\\", "Options\\Cabs\\"}, Msg::RestartNotice);
}

// The tool runs on its own, in its own console window; it is not waited for.
void TForm1::InstallFromBackup(const std::string& inf, const std::string& folder, const DriverBackupCheck& backup,
                               const std::string& tool, bool toolWritten) {
  if (backup.state == BackupDescriptor::InfMissing) {
    // The tool would install nothing, or another driver than the one backed up.
    ReportRestoreFailure(formatMessage(Text(Msg::BackupIncomplete), {folder}));
    return;
  }
  AddMemoLine(formatMessage(Text(Msg::InstallingDriver), {inf}));
  if (!toolWritten)
    ReportRestoreFailure(formatMessage(Text(Msg::InstallToolNotWritten), {tool}));
  else if (!StartInstallTool(machine_.shell(), tool, folder, backup.descriptor))
    ReportRestoreFailure(formatMessage(Text(Msg::ProgramNotStarted), {tool}));
}

std::string TForm1::InstallToolPath() { return WindowsFolder() + "\\devmount.exe"; }

void TForm1::RunHardwareWizard() {
  ClearMemo();
  const bool nt = AH.IsNTFamily();
  AddMemoLines(Text(nt ? Msg::RestoreGuideNt : Msg::RestoreGuide9x));
  if (!StartHardwareWizard(machine_.shell(), nt))
    ReportRestoreFailure(formatMessage(Text(Msg::ProgramNotStarted), {kWizardProgram}));
}

}  // namespace korvane
