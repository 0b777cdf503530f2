#include "restore/DriverBackup.h"

#include <algorithm>

#include "platform/RichText.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr int kShowWindow = 5;  // SW_SHOW
constexpr const char* kNtWizard = "shell32.dll,Control_RunDLL hdwwiz.cpl,,1";
constexpr const char* k9xWizard = "shell32.dll,Control_RunDLL sysdm.cpl @1";
constexpr const char* kRemovalTool = "devunmnt.exe";

// The tools get their lines in double quotes: a quote inside one, or a path
// in the INF name, would give them other arguments or another file.
bool isQuotable(const std::string& text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20; });
}

bool isPlainName(const std::string& name) {
  return !name.empty() && isQuotable(name) && name.find_first_of("\\/:") == std::string::npos && name != "." &&
         name != "..";
}

// The INF the descriptor names is a file of the folder itself.
bool holdsItsInf(FileSystem& files, const std::string& folder, const SetupDiy& descriptor) {
  if (!isPlainName(descriptor.infName)) return false;
  const std::string inf = joinPath(folder, descriptor.infName);
  return files.exists(inf) && !files.isDirectory(inf);
}

}  // namespace

DriverBackupCheck CheckDriverBackup(Machine& machine, const std::string& folder) {
  if (!machine.files().exists(joinPath(folder, kSetupDiyName))) return {};
  const auto descriptor = ReadSetupDiy(*makeRichText(machine), folder);
  if (!descriptor || descriptor->hardwareId.empty() || !isQuotable(descriptor->hardwareId)) return {};
  const bool usable = holdsItsInf(machine.files(), folder, *descriptor);
  return {usable ? BackupDescriptor::Usable : BackupDescriptor::InfMissing, *descriptor};
}

// Built step by step: the 32-bit compiler warns wrongly on '"' + text + '"'.
std::string quoted(const std::string& text) {
  std::string out(1, '"');
  out += text;
  out += '"';
  return out;
}

bool WriteCarriedTool(FileSystem& files, TAHMFileHolder& holder, const std::string& path) {
  try {
    holder.ExtractFile(0, path);
  } catch (const EStreamError&) {
    return false;
  }
  return files.exists(path);
}

bool StartInstallTool(Shell& shell, const std::string& tool, const std::string& folder, const SetupDiy& descriptor) {
  const std::string parameters = quoted(joinPath(folder, descriptor.infName)) + " " + quoted(descriptor.hardwareId);
  return shell.execute("open", quoted(tool), parameters, folder, kShowWindow);
}

bool StartFolderInstallTool(Shell& shell, const std::string& tool, const std::string& folder) {
  // "D:\B" in quotes would end in an escaped quote; "D:\B\." is the same folder, and so is "D:\.".
  const std::string path = (folder.ends_with('\\') ? folder : folder + "\\") + ".";
  if (!isQuotable(path)) return false;
  return shell.execute("open", quoted(tool), "add-driver " + quoted(path), folder, kShowWindow);
}

bool StartHardwareWizard(Shell& shell, bool ntFamily) {
  return shell.execute("open", kWizardProgram, ntFamily ? kNtWizard : k9xWizard, "", kShowWindow);
}

bool StartRemovalTool(Machine& machine, TAHMFileHolder& holder, const std::string& windowsFolder,
                      const std::string& hardwareId) {
  // A quote would end the parameter early and hand the tool words the registry chose.
  if (hardwareId.find('"') != std::string::npos) return false;
  const std::string tool = windowsFolder + "\\" + kRemovalTool;
  if (!WriteCarriedTool(machine.files(), holder, tool)) return false;
  return machine.shell().execute("open", quoted(tool), quoted(upperCase(hardwareId)), windowsFolder, kShowWindow);
}

}  // namespace korvane
