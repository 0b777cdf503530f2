#include "components/ahmtsystemdetails/TAHMSystemDetails.h"

namespace korvane {

namespace {

const char* processorName(uint16_t architecture) {
  switch (architecture) {
    case archIntel: return "Intel";
    case archMips: return "Mips";
    case archAlpha: return "Alpha";
    case archPPC: return "PPC";
    case archSHX: return "SHX";
    case archArm: return "Arm";
    default: return "Unknown Processor";
  }
}

std::string intelLevel(uint16_t level) {
  switch (level) {
    case 2: return "80286";
    case 3: return "80386";
    case 4: return "80486";
    case 5: return "Pentium";
    default: return level >= 6 && level <= 9 ? "Pentium" + std::to_string(level - 4) : "Unknown";
  }
}

// Windows 10 and 11 both report 10.0: the build tells them apart, as it
// tells the server editions of that version apart.
struct LaterWindows {
  uint32_t major, minor, build;  // the first version that has this name
  const char* workstation;
  const char* server;
};
constexpr LaterWindows kLaterWindows[] = {
    {6, 0, 0, "Windows Vista", "Windows Server 2008"},     {6, 1, 0, "Windows 7", "Windows Server 2008 R2"},
    {6, 2, 0, "Windows 8", "Windows Server 2012"},         {6, 3, 0, "Windows 8.1", "Windows Server 2012 R2"},
    {10, 0, 0, "Windows 10", "Windows Server 2016"},       {10, 0, 17763, "Windows 10", "Windows Server 2019"},
    {10, 0, 20348, "Windows 10", "Windows Server 2022"},   {10, 0, 22000, "Windows 11", "Windows Server 2022"},
    {10, 0, 26100, "Windows 11", "Windows Server 2025"}};

bool reaches(const VersionRecord& version, const LaterWindows& first) {
  if (version.major != first.major) return version.major > first.major;
  if (version.minor != first.minor) return version.minor > first.minor;
  return version.build >= first.build;
}

}  // namespace

std::string LaterWindowsName(const VersionRecord& version, bool server) {
  if (version.platformId != platformNT) return {};
  const char* name = nullptr;
  for (const auto& later : kLaterWindows)
    if (reaches(version, later)) name = server ? later.server : later.workstation;
  return name ? name : "";
}

TAHMSystemDetails::TAHMSystemDetails(Machine& machine) : machine_(machine) { Refresh(); }

void TAHMSystemDetails::Refresh() {
  readProcessor();
  readVersion();
  readOwner();
  readNamesAndFolders();
  const auto languageName = machine_.system().languageName(machine_.system().defaultLanguageId());
  language_ = languageName.value_or("");
  if (OnUpdate) OnUpdate(*this);
}

void TAHMSystemDetails::readProcessor() {
  const ProcessorInfo info = machine_.system().processor();
  processorType_ = processorName(info.architecture);
  processorLevel_ = info.architecture == archIntel ? intelLevel(info.level) : "Unknown";
  noOfProcessors_ = static_cast<int>(info.count);
}

void TAHMSystemDetails::readVersion() {
  const auto version = machine_.system().version();
  operatingSystem_.clear();
  systemName_.clear();
  plus_ = false;
  if (!version) {
    platformCSD_.clear();
    buildNumber_.clear();
    versionNumber_.clear();
    return;
  }
  uint32_t build = version->build;
  switch (version->platformId) {
    case platformWin32s: operatingSystem_ = "Windows 3.1"; break;
    case platformWindows:
      operatingSystem_ = version->minor < 10 ? "Windows 95" : "Windows 98";
      plus_ = machine_.system().plusInstalled();
      build &= 0xFFFF;  // the high word repeats the version number
      break;
    case platformNT: {
      // Every system from Vista on has the extended record.
      const auto productType = machine_.system().productType();
      operatingSystem_ = kWindowsNT;
      systemName_ = LaterWindowsName(*version, productType && *productType != productWorkstation);
      break;
    }
    default: break;
  }
  platformCSD_ = version->csd;
  buildNumber_ = std::to_string(build);
  versionNumber_ = std::to_string(version->major) + "." + std::to_string(version->minor);
}

void TAHMSystemDetails::readOwner() {
  const char* key = IsNTFamily() ? "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                 : "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  Registry& registry = machine_.registry();
  registeredOwner_ = registry.readString(RegRoot::LocalMachine, key, "RegisteredOwner").value_or("");
  registeredCompany_ = registry.readString(RegRoot::LocalMachine, key, "RegisteredOrganization").value_or("");
}

void TAHMSystemDetails::readNamesAndFolders() {
  SystemInfo& system = machine_.system();
  computerName_ = system.computerName().value_or("");
  userName_ = system.userName().value_or("");
  directoryWindows_ = system.windowsDirectory().value_or("");
  directorySystem_ = system.systemDirectory().value_or("");
  directoryTemp_ = machine_.files().tempPath();
  directoryCurrent_ = machine_.files().currentDirectory();
}

std::string TAHMSystemDetails::DirectoryCurrent() {
  Refresh();
  return directoryCurrent_;
}

}  // namespace korvane
