// Facts about the running system: version record, processor, names, folders,
// language, the user's formats and the critical-error mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

enum PlatformId : uint32_t { platformWin32s = 0, platformWindows = 1, platformNT = 2 };
enum ProductType : uint8_t { productWorkstation = 1, productDomainController = 2, productServer = 3 };
enum ProcessorArchitecture : uint16_t {
  archIntel = 0, archMips = 1, archAlpha = 2, archPPC = 3, archSHX = 4, archArm = 5, archAmd64 = 9, archUnknown = 0xFFFF
};

struct VersionRecord {
  uint32_t platformId = platformNT;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  std::string csd;  // service-pack text
};

// GetDriveType's answers.
enum DriveType : unsigned {
  dtUnknown = 0, dtNoRootDir = 1, dtRemovable = 2, dtFixed = 3, dtRemote = 4, dtCdRom = 5, dtRamDisk = 6
};

struct DriveInfo {
  char letter = 'C';
  unsigned type = dtUnknown;
  std::string displayName;  // the shell's name of the drive root, "Local Disk (C:)"
};

// How the user wants dates, times and numbers written.
struct LocaleFormats {
  std::string shortDate = "M/d/yyyy";
  std::string longTime = "h:mm:ss tt";
  std::string amDesignator = "AM";  // what "tt" writes before noon ("上午" in Taiwan)
  std::string pmDesignator = "PM";
  std::string decimalSeparator = ".";
};

struct ProcessorInfo {
  uint16_t architecture = archUnknown;
  uint16_t level = 0;
  uint32_t count = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual std::optional<VersionRecord> version() = 0;
  // The extended version record's product type; nullopt where the system has
  // no extended record.
  virtual std::optional<uint8_t> productType() = 0;
  virtual ProcessorInfo processor() = 0;
  virtual bool plusInstalled() = 0;
  virtual std::optional<std::string> computerName() = 0;
  virtual std::optional<std::string> userName() = 0;
  virtual std::optional<std::string> windowsDirectory() = 0;
  virtual std::optional<std::string> systemDirectory() = 0;
  // The folder the running program lies in, where its help files are.
  virtual std::optional<std::string> programFolder() = 0;
  virtual uint16_t defaultLanguageId() = 0;
  virtual std::optional<std::string> languageName(uint16_t languageId) = 0;
  // The current user's formats; Windows' own defaults where the user set none.
  virtual LocaleFormats localeFormats() = 0;
  virtual int screenWidth() = 0;
  virtual int screenHeight() = 0;
  // SetErrorMode: returns the previous mode.
  virtual unsigned setErrorMode(unsigned mode) = 0;
  // The drive letters the system reports as present, A to Z; a removable or
  // CD-ROM drive is not touched, so one without a medium is listed too.
  virtual std::vector<DriveInfo> drives() = 0;
  // Asks Windows to end the session with ExitWindowsEx flags (2 restarts),
  // after enabling the shutdown privilege on the NT family; false when
  // Windows refuses.
  virtual bool restartWindows(unsigned flags) = 0;
};

constexpr unsigned ewxReboot = 0x0002;

constexpr unsigned semFailCriticalErrors = 0x0001;

}  // namespace korvane
