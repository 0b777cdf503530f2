#include "platform/image/ImageMachine.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <utility>

#include "platform/image/CurlInternet.h"
#include "platform/image/IconvCodePages.h"
#include "platform/image/ImageClock.h"
#include "platform/image/ImageFileSystem.h"
#include "platform/image/ImagePrinter.h"
#include "platform/image/ImageProfileFiles.h"
#include "platform/image/ImageRegistry.h"
#include "platform/image/ImageShell.h"
#include "platform/image/ProfileText.h"

namespace korvane {

namespace fs = std::filesystem;

namespace {

// machine.ini, read once when the image is opened.
class MachineIni {
 public:
  explicit MachineIni(ProfileText text) : text_(std::move(text)) {}
  std::optional<std::string> text(const char* section, const char* key) const { return text_.value(section, key); }
  std::optional<uint32_t> number(const char* section, const char* key, int base = 10) const {
    const auto value = text(section, key);
    if (!value || value->empty()) return std::nullopt;
    try {
      size_t used = 0;
      const unsigned long parsed = std::stoul(*value, &used, base);
      if (used != value->size()) return std::nullopt;
      return static_cast<uint32_t>(parsed);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  std::vector<std::string> keys(const char* section) const {
    return text_.keyNames(section).value_or(std::vector<std::string>{});
  }

 private:
  ProfileText text_;
};

// [DriveTypes] names, by DriveType.
constexpr const char* kDriveTypeNames[] = {"unknown", "none", "removable", "fixed", "remote", "cdrom", "ramdisk"};
// What Explorer calls a drive of each type.
constexpr const char* kDriveTypeLabels[] = {"", "", "Removable Disk", "Local Disk", "Network Drive", "CD Drive",
                                            "RAM Disk"};

class ImageSystemInfo : public SystemInfo {
 public:
  ImageSystemInfo(const MachineIni& ini, fs::path actionsLog) : ini_(ini), actionsLog_(std::move(actionsLog)) {}

  std::optional<VersionRecord> version() override {
    const auto platform = ini_.number("Version", "Platform");
    if (!platform) return std::nullopt;
    VersionRecord record;
    record.platformId = *platform;
    record.major = ini_.number("Version", "Major").value_or(0);
    record.minor = ini_.number("Version", "Minor").value_or(0);
    record.build = ini_.number("Version", "Build", 0).value_or(0);
    record.csd = ini_.text("Version", "ServicePack").value_or("");
    return record;
  }
  std::optional<uint8_t> productType() override {
    const auto type = ini_.number("Version", "ProductType");
    if (!type) return std::nullopt;
    return static_cast<uint8_t>(*type);
  }
  ProcessorInfo processor() override {
    ProcessorInfo info;
    info.architecture = static_cast<uint16_t>(ini_.number("System", "ProcessorArchitecture").value_or(archUnknown));
    info.level = static_cast<uint16_t>(ini_.number("System", "ProcessorLevel").value_or(0));
    info.count = ini_.number("System", "Processors").value_or(1);
    return info;
  }
  bool plusInstalled() override { return ini_.number("System", "Plus").value_or(0) != 0; }
  std::optional<std::string> computerName() override { return ini_.text("System", "ComputerName"); }
  std::optional<std::string> userName() override { return ini_.text("System", "UserName"); }
  std::optional<std::string> windowsDirectory() override { return ini_.text("System", "WindowsDirectory"); }
  std::optional<std::string> systemDirectory() override { return ini_.text("System", "SystemDirectory"); }
  // [System] ProgramFolder, else where a setup would have put the program.
  std::optional<std::string> programFolder() override {
    return ini_.text("System", "ProgramFolder").value_or("C:\\Program Files\\Korvane");
  }
  uint16_t defaultLanguageId() override {
    return static_cast<uint16_t>(ini_.number("System", "LanguageId", 16).value_or(0));
  }
  std::optional<std::string> languageName(uint16_t languageId) override {
    if (languageId != defaultLanguageId()) return std::nullopt;
    return ini_.text("System", "LanguageName");
  }
  // From the image registry, as Windows keeps them for the user.
  LocaleFormats localeFormats() override {
    LocaleFormats formats;
    if (!registry_) return formats;
    const auto take = [&](const char* name, std::string& field) {
      const auto value = registry_->readString(RegRoot::CurrentUser, "Control Panel\\International", name);
      if (value && !value->empty()) field = *value;
    };
    take("sShortDate", formats.shortDate);
    take("sTimeFormat", formats.longTime);
    take("s1159", formats.amDesignator);
    take("s2359", formats.pmDesignator);
    take("sDecimal", formats.decimalSeparator);
    return formats;
  }
  void useRegistry(Registry& registry) { registry_ = &registry; }
  int screenWidth() override { return static_cast<int>(ini_.number("System", "ScreenWidth").value_or(0)); }
  int screenHeight() override { return static_cast<int>(ini_.number("System", "ScreenHeight").value_or(0)); }
  unsigned setErrorMode(unsigned mode) override { return std::exchange(errorMode_, mode); }
  // The mapped drives, fixed unless [DriveTypes] says otherwise, and the
  // letters [DriveTypes] alone names: drives without a medium.
  std::vector<DriveInfo> drives() override {
    std::map<char, unsigned> types;
    for (const auto& letter : ini_.keys("Drives")) types[driveLetter(letter)] = dtFixed;
    for (const auto& letter : ini_.keys("DriveTypes")) {
      const std::string name = lowerCase(ini_.text("DriveTypes", letter.c_str()).value_or(""));
      unsigned type = dtUnknown;
      for (unsigned k = 0; k < std::size(kDriveTypeNames); ++k)
        if (name == kDriveTypeNames[k]) type = k;
      types[driveLetter(letter)] = type;
    }
    std::vector<DriveInfo> present;
    for (const auto& [letter, type] : types) {
      if (letter < 'A' || letter > 'Z' || type == dtNoRootDir) continue;
      const std::string label = kDriveTypeLabels[type];
      present.push_back({letter, type, (label.empty() ? "" : label + " ") + "(" + letter + ":)"});
    }
    return present;
  }
  bool restartWindows(unsigned flags) override { return appendAction(actionsLog_, "restart " + std::to_string(flags)); }

 private:
  static char driveLetter(const std::string& key) {
    return key.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))) : '?';
  }

  const MachineIni& ini_;
  fs::path actionsLog_;
  unsigned errorMode_ = 0;
  Registry* registry_ = nullptr;
};

// [Shares] maps "\\host\share" to a folder of the image, reachable through
// the image's file system while connected. Any user and password will do.
class ImageShares : public NetworkShares {
 public:
  ImageShares(const MachineIni& ini, fs::path imageFolder, ImageFileSystem& files)
      : ini_(ini), imageFolder_(std::move(imageFolder)), files_(files) {}

  bool connect(const std::string& share, const std::string&, const std::string&, std::string& error) override {
    const auto folder = mappedFolder(share);
    std::error_code ec;
    if (!folder) {
      error = "the network share " + share + " is not known (machine.ini has no such entry in [Shares])";
      return false;
    }
    if (!fs::is_directory(*folder, ec)) {
      error = "the network share " + share + " is not reachable: its folder " + folder->string() + " is missing";
      return false;
    }
    files_.connectShare(withoutTrailingBackslash(share), *folder);
    return true;
  }
  bool disconnect(const std::string& share, bool, std::string& error) override {
    if (files_.disconnectShare(withoutTrailingBackslash(share))) return true;
    error = "the network share " + share + " is not connected";
    return false;
  }

 private:
  std::optional<fs::path> mappedFolder(const std::string& share) const {
    const std::string wanted = withoutTrailingBackslash(share);
    for (const auto& name : ini_.keys("Shares")) {
      const std::string target = ini_.text("Shares", name.c_str()).value_or("");
      if (equalsIgnoreCase(name, wanted) && !target.empty()) return imageFolder_ / target;
    }
    return std::nullopt;
  }

  const MachineIni& ini_;
  fs::path imageFolder_;
  ImageFileSystem& files_;
};

class ImageEnvironment : public Environment {
 public:
  explicit ImageEnvironment(const MachineIni& ini) {
    for (const auto& name : ini.keys("Environment"))
      variables_[upperCase(name)] = ini.text("Environment", name.c_str()).value_or("");
  }
  std::optional<std::string> get(const std::string& name) override {
    const auto found = variables_.find(upperCase(name));
    if (found == variables_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::string, std::string> variables_;
};

// Where what would have run is recorded; nowhere for the host machine.
fs::path actionsLogOf(const fs::path& imageFolder) {
  return imageFolder.empty() ? fs::path() : imageFolder / "actions.log";
}

class ImageMachine : public Machine {
 public:
  ImageMachine(MachineIni ini, std::map<char, fs::path> drives, const fs::path& imageFolder)
      : ini_(std::move(ini)),
        codePages_(ini_.number("System", "CodePage").value_or(1252)),
        system_(ini_, actionsLogOf(imageFolder)),
        environment_(ini_),
        files_(std::move(drives), ini_.text("System", "CurrentDirectory").value_or("C:\\"), tempFolder()),
        profiles_(files_, codePages_, profileFolder()),
        shell_(files_, actionsLogOf(imageFolder)),
        clock_(parseImageDateTime(ini_.text("Clock", "Now").value_or("")), ini_.number("Clock", "Ticks"),
               ini_.number("Clock", "Stopped").value_or(0) != 0),
        shares_(ini_, imageFolder, files_),
        printer_(system_, profiles_, imageFolder) {}

  bool loadRegistry(const fs::path& folder, std::string& error) {
    std::error_code ec;
    auto registry = fs::is_directory(folder, ec) ? ImageRegistry::load(folder, codePages_, error)
                                                 : ImageRegistry::empty(folder);
    if (!registry) return false;
    saved_ = registry.get();
    useRegistry(std::move(registry));
    return true;
  }

  // A registry kept elsewhere, which the machine does not write back.
  void useRegistry(std::unique_ptr<Registry> registry) {
    registry_ = std::move(registry);
    system_.useRegistry(*registry_);
    printer_.useRegistry(*registry_);
    internet_ = makeCurlInternet(*registry_, hostMap());
  }

  void protect(const fs::path& folder) {
    files_.protect(folder);
    installationWritable_ = false;
  }

  Registry& registry() override { return *registry_; }
  ProfileFiles& profiles() override { return profiles_; }
  FileSystem& files() override { return files_; }
  SystemInfo& system() override { return system_; }
  Environment& environment() override { return environment_; }
  CodePages& codePages() override { return codePages_; }
  Shell& shell() override { return shell_; }
  Clock& clock() override { return clock_; }
  NetworkShares& shares() override { return shares_; }
  Internet& internet() override { return *internet_; }
  Printer& printer() override { return printer_; }
  bool flush(std::string& error) override { return !saved_ || saved_->save(error); }
  bool installationWritable() override { return installationWritable_; }

 private:
  // Where initialisation files named without a folder are kept: the Windows
  // folder, unless [System] ProfileFolder names another.
  std::string profileFolder() const {
    const auto folder = ini_.text("System", "ProfileFolder");
    return folder && !folder->empty() ? *folder : ini_.text("System", "WindowsDirectory").value_or("C:\\WINDOWS");
  }

  // GetTempPath's order: TMP, TEMP, USERPROFILE, the Windows folder.
  std::string tempFolder() {
    for (const char* name : {"TMP", "TEMP", "USERPROFILE"})
      if (auto value = environment_.get(name); value && !value->empty()) return *value;
    return ini_.text("System", "WindowsDirectory").value_or("C:\\WINDOWS");
  }

  // [Hosts]: names served from another address ("drivers.example=127.0.0.1"),
  // so that tests reach named hosts on servers of their own.
  std::map<std::string, std::string> hostMap() const {
    std::map<std::string, std::string> hosts;
    for (const auto& name : ini_.keys("Hosts")) hosts[name] = ini_.text("Hosts", name.c_str()).value_or("");
    return hosts;
  }

  MachineIni ini_;
  IconvCodePages codePages_;
  ImageSystemInfo system_;
  ImageEnvironment environment_;
  ImageFileSystem files_;
  ImageProfileFiles profiles_;
  ImageShell shell_;
  ImageClock clock_;
  ImageShares shares_;
  ImagePrinter printer_;
  std::unique_ptr<Registry> registry_;
  ImageRegistry* saved_ = nullptr;  // the registry when it is the image's own, written back at the end
  std::unique_ptr<Internet> internet_;
  bool installationWritable_ = true;
};

std::optional<std::string> readHostText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return bytes;
}

}  // namespace

std::unique_ptr<Machine> openImageMachine(const fs::path& folder, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = "machine image not found: " + folder.string() + " is not a folder";
    return nullptr;
  }
  const auto text = readHostText(folder / "machine.ini");
  if (!text) {
    error = "not a machine image: " + folder.string() + " has no machine.ini";
    return nullptr;
  }
  MachineIni ini(ProfileText::parse(*text));
  std::map<char, fs::path> drives;
  for (const auto& letter : ini.keys("Drives")) {
    const std::string target = ini.text("Drives", letter.c_str()).value_or("");
    const fs::path drive = folder / target;
    if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])) || target.empty() ||
        !fs::is_directory(drive, ec)) {
      error = (folder / "machine.ini").string() + ": drive " + letter + " maps to a missing folder '" + target + "'";
      return nullptr;
    }
    drives[static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])))] = drive;
  }
  if (drives.empty()) {
    error = (folder / "machine.ini").string() + ": the [Drives] section maps no drive letter";
    return nullptr;
  }
  if (const auto now = ini.text("Clock", "Now"); now && !parseImageDateTime(*now)) {
    error = (folder / "machine.ini").string() + ": [Clock] Now='" + *now + "' is not a date and time like 2026-12-10 13:45:00";
    return nullptr;
  }
  auto machine = std::make_unique<ImageMachine>(std::move(ini), std::move(drives), folder);
  if (!machine->loadRegistry(folder / "registry", error)) return nullptr;
  return machine;
}

std::unique_ptr<Machine> openComposedMachine(const std::string& machineIni, std::map<char, fs::path> drives,
                                             std::unique_ptr<Registry> registry,
                                             const std::vector<fs::path>& protectedFolders) {
  auto machine = std::make_unique<ImageMachine>(MachineIni(ProfileText::parse(machineIni)), std::move(drives),
                                                fs::path());
  machine->useRegistry(std::move(registry));
  for (const auto& folder : protectedFolders) machine->protect(folder);
  return machine;
}

std::optional<std::string> windowsPathOfHost(const std::string& hostPath) {
  if (hostPath.find('\\') != std::string::npos) return std::nullopt;
  std::string path = hostPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return hostPath.starts_with('/') ? std::string{kHostDrive, ':'} + path : path;
}

std::string hostPathOfWindows(const std::string& windowsPath) {
  std::string path = windowsPath;
  if (path.size() >= 2 && path[1] == ':' && std::toupper(static_cast<unsigned char>(path[0])) == kHostDrive)
    path.erase(0, 2);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::unique_ptr<Machine> openHostMachine(std::string& error) {
  std::error_code ec;
  const std::string current = fs::current_path(ec).string();
  if (ec) {
    error = "the current folder cannot be read: " + ec.message();
    return nullptr;
  }
  const char* tmp = std::getenv("TMPDIR");
  const auto currentFolder = windowsPathOfHost(current);
  const auto tempFolder = windowsPathOfHost(tmp && *tmp == '/' ? tmp : "/tmp");
  if (!currentFolder || !tempFolder) {
    error = "the current or temporary folder has a backslash in its name: " + current;
    return nullptr;
  }
  MachineIni ini(ProfileText::parse("[System]\nCurrentDirectory=" + *currentFolder + "\n[Environment]\nTMP=" +
                                    *tempFolder + "\n"));
  auto machine = std::make_unique<ImageMachine>(std::move(ini), std::map<char, fs::path>{{kHostDrive, "/"}},
                                                fs::path());
  machine->loadRegistry(fs::path(), error);
  return machine;
}

}  // namespace korvane
