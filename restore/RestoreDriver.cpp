// Restore of one backed-up driver, or the guide to installing a new one: the
// hardware wizard, the carried device installation tool, or a copy of a
// whole folder tree followed by a restart.
#include <algorithm>

#include "app/BalvikMain.h"
#include "platform/RichText.h"

namespace korvane {

namespace {

constexpr int kShowWindow = 5;  // SW_SHOW
constexpr const char* kWizardProgram = "rundll32.exe";
constexpr const char* kNtWizard = "shell32.dll,Control_RunDLL hdwwiz.cpl,,1";
constexpr const char* k9xWizard = "shell32.dll,Control_RunDLL sysdm.cpl @1";
constexpr const char* kInstallTool = "devmount.exe";

// The tool gets both lines in double quotes: a quote inside one, or a path in
// the INF name, would give it other arguments or another file.
bool isQuotable(const std::string& text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20; });
}

bool isPlainName(const std::string& name) {
  return !name.empty() && isQuotable(name) && name.find_first_of("\\/:") == std::string::npos && name != "." &&
         name != "..";
}

// Setup.DIY of the folder when it names a device the tool can be given.
std::optional<SetupDiy> usableSetupDiy(Machine& machine, const std::string& folder) {
  if (!machine.files().exists(joinPath(folder, kSetupDiyName))) return std::nullopt;
  const auto descriptor = ReadSetupDiy(*makeRichText(machine), folder);
  if (!descriptor || descriptor->hardwareId.empty() || !isQuotable(descriptor->hardwareId)) return std::nullopt;
  return descriptor;
}

// The INF the descriptor names is a file of the folder itself.
bool holdsItsInf(FileSystem& files, const std::string& folder, const SetupDiy& descriptor) {
  if (!isPlainName(descriptor.infName)) return false;
  const std::string inf = joinPath(folder, descriptor.infName);
  return files.exists(inf) && !files.isDirectory(inf);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

void TForm1::instnew1Click() {
  InstallMode = kInstallNewMode;
  BitBtn4Click();
  InstallMode = 1;
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
  RestoreFailed = false;
  SetOD1InitialFolder();
  if (InstallMode == kInstallNewMode || !AH.IsNTFamily()) {
    RunHardwareWizard();
    return;
  }
  const auto chosen = ExecuteOD1();
  if (!chosen) return;
  const std::string tool = WindowsFolder() + "\\" + kInstallTool;
  const bool toolWritten = ExtractInstallTool(tool);
  const std::string folder = withoutTrailingBackslash(parentPath(*chosen));
  if (const auto descriptor = usableSetupDiy(machine_, folder)) {
    ClearMemo();
    if (!holdsItsInf(machine_.files(), folder, *descriptor)) {
      // The tool would install nothing, or another driver than the one backed up.
      ReportRestoreFailure(formatMessage(Text(Msg::BackupIncomplete), {folder}));
      return;
    }
    AddMemoLine(formatMessage(Text(Msg::InstallingDriver), {*chosen}));
    if (toolWritten)
      RunInstallTool(tool, folder, *descriptor);
    else
      ReportRestoreFailure(formatMessage(Text(Msg::InstallToolNotWritten), {tool}));
    return;
  }
  const auto source = ExecuteOD1();
  if (!source) return;
  RestoreFolderTree(parentPath(*source), {"INF\\", "system32\\drivers\\", "Options\\Cabs\\"}, Msg::RestartNotice);
}

void TForm1::RunHardwareWizard() {
  ClearMemo();
  const bool nt = AH.IsNTFamily();
  AddMemoLines(Text(nt ? Msg::RestoreGuideNt : Msg::RestoreGuide9x));
  if (!machine_.shell().execute("open", kWizardProgram, nt ? kNtWizard : k9xWizard, "", kShowWindow))
    ReportRestoreFailure(formatMessage(Text(Msg::ProgramNotStarted), {kWizardProgram}));
}

bool TForm1::ExtractInstallTool(const std::string& tool) {
  try {
    ZAZFileHolder1.ExtractFile(0, tool);
  } catch (const EStreamError&) {
    return false;
  }
  return machine_.files().exists(tool);
}

// The tool runs on its own, in its own console window; it is not waited for.
void TForm1::RunInstallTool(const std::string& tool, const std::string& folder, const SetupDiy& descriptor) {
  const std::string parameters = quoted(joinPath(folder, descriptor.infName)) + " " + quoted(descriptor.hardwareId);
  if (!machine_.shell().execute("open", quoted(tool), parameters, folder, kShowWindow))
    ReportRestoreFailure(formatMessage(Text(Msg::ProgramNotStarted), {tool}));
}

}  // namespace korvane
