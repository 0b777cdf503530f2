// A driver's backup folder as restoring sees it, and the carried programs
// that install or remove a device.
#pragma once

#include <string>

#include "backup/DriverFolder.h"
#include "components/ahmtfileholder/TAHMFileHolder.h"
#include "platform/Machine.h"

namespace korvane {

enum class BackupDescriptor {
  None,        // no Setup.DIY that names a device the tool can be given
  Usable,      // Setup.DIY names the device and an INF of the folder itself
  InfMissing,  // Setup.DIY names the device, but its INF is not a file of the folder
};

struct DriverBackupCheck {
  BackupDescriptor state = BackupDescriptor::None;
  SetupDiy descriptor;  // as read, when state is not None
};

// Whether the folder (no trailing backslash) is a driver backup that the
// installation tool can be run on.
DriverBackupCheck CheckDriverBackup(Machine& machine, const std::string& folder);

// The text in double quotes, as a program's command line takes one argument.
std::string quoted(const std::string& text);

// Item 0 of the holder written to path, replacing an earlier copy; false
// when the file is not there afterwards.
bool WriteCarriedTool(FileSystem& files, TAHMFileHolder& holder, const std::string& path);

// The installation tool started on the backup's INF and hardware ID, in the
// backup folder; it runs on its own. False when it could not be started.
bool StartInstallTool(Shell& shell, const std::string& tool, const std::string& folder, const SetupDiy& descriptor);

// The installation tool started on a whole folder (with or without its final
// backslash): it adds and installs every driver package below it, as
// Windows' own tool does. False when it could not be started.
bool StartFolderInstallTool(Shell& shell, const std::string& tool, const std::string& folder);

// The hardware wizard of the family; false when it could not be started.
bool StartHardwareWizard(Shell& shell, bool ntFamily);
constexpr const char* kWizardProgram = "rundll32.exe";

// The carried removal tool written into the Windows folder and started on
// the upper-cased hardware ID; false when that could not be done.
bool StartRemovalTool(Machine& machine, TAHMFileHolder& holder, const std::string& windowsFolder,
                      const std::string& hardwareId);

}  // namespace korvane
