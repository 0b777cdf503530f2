// Facts about the operating system and the machine, gathered on creation and
// on every refresh, offered read-only.
#pragma once

#include <functional>
#include <string>

#include "platform/Machine.h"

namespace korvane {

// The name of a system of the NT family from Vista on, by its version and
// whether it is a server edition; empty for NT 5.x and older and for the other
// platforms. A version newer than every known one takes the newest name below it.
std::string LaterWindowsName(const VersionRecord& version, bool server);

class TAHMSystemDetails {
 public:
  explicit TAHMSystemDetails(Machine& machine);

  // Fills every value again, then calls OnUpdate.
  void Refresh();
  // After the window's stored properties are read.
  void Loaded() { Refresh(); }

  std::function<void(TAHMSystemDetails&)> OnUpdate;

  bool Plus() const { return plus_; }
  const std::string& ProcessorType() const { return processorType_; }
  const std::string& ProcessorLevel() const { return processorLevel_; }
  const std::string& OperatingSystem() const { return operatingSystem_; }
  const std::string& PlatformCSD() const { return platformCSD_; }
  const std::string& BuildNumber() const { return buildNumber_; }
  const std::string& VersionNumber() const { return versionNumber_; }
  // The name Windows Vista and later systems of the NT family go by
  // ("Windows 10", "Windows Server 2019"); empty for the older systems.
  const std::string& SystemName() const { return systemName_; }
  const std::string& ComputerName() const { return computerName_; }
  const std::string& UserName() const { return userName_; }
  // The current folder changes under the program: it is read when asked.
  std::string DirectoryCurrent();
  const std::string& DirectoryWindows() const { return directoryWindows_; }
  const std::string& DirectorySystem() const { return directorySystem_; }
  const std::string& DirectoryTemp() const { return directoryTemp_; }
  int NoOfProcessors() const { return noOfProcessors_; }
  const std::string& RegisteredOwner() const { return registeredOwner_; }
  const std::string& RegisteredCompany() const { return registeredCompany_; }
  const std::string& Language() const { return language_; }
  int ScreenWidth() { return machine_.system().screenWidth(); }
  int ScreenHeight() { return machine_.system().screenHeight(); }

  // The operating-system value that marks the NT family (2000 and XP included).
  static constexpr const char* kWindowsNT = "Windows NT";
  bool IsNTFamily() const { return operatingSystem_ == kWindowsNT; }

 private:
  void readProcessor();
  void readVersion();
  void readOwner();
  void readNamesAndFolders();

  Machine& machine_;
  bool plus_ = false;
  std::string processorType_, processorLevel_, operatingSystem_, platformCSD_, buildNumber_, versionNumber_;
  std::string systemName_;
  std::string computerName_, userName_, directoryCurrent_, directoryWindows_, directorySystem_, directoryTemp_;
  int noOfProcessors_ = 0;
  std::string registeredOwner_, registeredCompany_, language_;
};

}  // namespace korvane
