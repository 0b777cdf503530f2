#include "platform/image/DiskMachine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "platform/image/HiveRegistry.h"
#include "platform/image/ImageFileSystem.h"
#include "platform/image/ImageMachine.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;

constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kControlKey = "SYSTEM\\CurrentControlSet\\Control";
// Profiles of the system and templates, never the user who last worked.
constexpr const char* kServiceProfiles[] = {"All Users",    "Default",        "Default User",
                                            "LocalService", "NetworkService", "Public"};

// Where the parts of the Windows installation lie, as drive C paths in the
// case the disk spells them.
struct Installation {
  std::string windows, system, profile, user;
  HiveFiles hives;
};

// The path of an existing entry, spelled as on the disk ("C:\WINDOWS" for "C:\Windows").
std::optional<std::string> spelled(ImageFileSystem& disk, const std::string& path) {
  const auto host = disk.hostPath(path);
  if (!host || !disk.exists(path)) return std::nullopt;
  return path.substr(0, path.rfind('\\') + 1) + host->filename().string();
}

std::optional<fs::path> existingHost(ImageFileSystem& disk, const std::string& path) {
  return disk.exists(path) ? disk.hostPath(path) : std::nullopt;
}

// The profile of that name, or whose NTUSER.DAT changed last: the user who last worked.
void findUser(ImageFileSystem& disk, const std::string& wanted, Installation& found) {
  int64_t newest = 0;
  for (const char* place : {"C:\\Users", "C:\\Documents and Settings"}) {
    const auto profiles = spelled(disk, place);
    if (!profiles) continue;
    for (const auto& entry : disk.find(*profiles + "\\*")) {
      if (!entry.isFolderToWalk() || entry.name == "." || entry.name == "..") continue;
      const bool service = std::any_of(std::begin(kServiceProfiles), std::end(kServiceProfiles),
                                       [&](const char* name) { return equalsIgnoreCase(entry.name, name); });
      if (wanted.empty() ? service : !equalsIgnoreCase(entry.name, wanted)) continue;
      const std::string profile = *profiles + "\\" + entry.name;
      const auto hive = disk.stat(profile + "\\NTUSER.DAT");
      if (!hive || hive->isDirectory() || hive->writeTime < newest) continue;
      newest = hive->writeTime;
      found.profile = profile;
      found.user = entry.name;
      found.hives.user = *disk.hostPath(profile + "\\NTUSER.DAT");
    }
  }
}

std::optional<Installation> findInstallation(const fs::path& folder, const std::string& user, std::string& error) {
  ImageFileSystem disk({{'C', folder}}, "C:\\", "C:\\");
  Installation found;
  const auto windows = spelled(disk, "C:\\Windows");
  const auto system = windows ? spelled(disk, *windows + "\\System32") : std::nullopt;
  const auto config = system ? existingHost(disk, *system + "\\config") : std::nullopt;
  if (!config) {
    error = folder.string() + ": no Windows\\System32\\config folder here; give the folder where the Windows "
            "partition is mounted, the one that holds the Windows folder";
    return std::nullopt;
  }
  found.windows = *windows;
  found.system = *system;
  // SYSTEM and SOFTWARE are needed: named even when missing, they give the error.
  found.hives.system = existingHost(disk, *system + "\\config\\SYSTEM").value_or(*config / "SYSTEM");
  found.hives.software = existingHost(disk, *system + "\\config\\SOFTWARE").value_or(*config / "SOFTWARE");
  found.hives.defaultUser = existingHost(disk, *system + "\\config\\DEFAULT").value_or(fs::path());
  findUser(disk, user, found);
  if (!user.empty() && found.user.empty()) {
    error = folder.string() + ": no profile of the user " + user +
            " with an NTUSER.DAT under Users or Documents and Settings";
    return std::nullopt;
  }
  return found;
}

// The user's own folder for Korvane: $XDG_CONFIG_HOME/korvane or the like,
// made when missing; as a path on the host drive.
std::optional<std::string> userFolder(const char* variable, const char* fallback, std::string& error) {
  const char* set = std::getenv(variable);
  const char* home = std::getenv("HOME");
  fs::path folder;
  if (set && *set == '/') {
    folder = fs::path(set) / "korvane";
  } else if (home && *home == '/') {
    folder = fs::path(home) / fallback / "korvane";
  } else {
    error = std::string("neither ") + variable + " nor HOME names a folder for Korvane's own files";
    return std::nullopt;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  const auto windowsPath = windowsPathOfHost(folder.string());
  if (ec || !windowsPath) {
    error = folder.string() + ": cannot be made" + (ec ? ": " + ec.message() : std::string());
    return std::nullopt;
  }
  return windowsPath;
}

// The numbers machine.ini gives of the values the system keeps in the registry.
std::string versionSection(Registry& registry) {
  std::string ini = "[Version]\nPlatform=2\n";
  const auto major = registry.readValue(RegRoot::LocalMachine, kVersionKey, "CurrentMajorVersionNumber");
  const auto minor = registry.readValue(RegRoot::LocalMachine, kVersionKey, "CurrentMinorVersionNumber");
  if (major && major->asNumber() && minor && minor->asNumber()) {
    ini += "Major=" + std::to_string(*major->asNumber()) + "\nMinor=" + std::to_string(*minor->asNumber()) + "\n";
  } else if (const auto version = registry.readString(RegRoot::LocalMachine, kVersionKey, "CurrentVersion")) {
    const size_t dot = version->find('.');
    ini += "Major=" + version->substr(0, dot) + "\n";
    if (dot != std::string::npos) ini += "Minor=" + version->substr(dot + 1) + "\n";
  }
  if (const auto build = registry.readString(RegRoot::LocalMachine, kVersionKey, "CurrentBuildNumber"))
    ini += "Build=" + *build + "\n";
  ini += "ServicePack=\"" + registry.readString(RegRoot::LocalMachine, kVersionKey, "CSDVersion").value_or("") +
         "\"\n";
  const std::string product =
      registry.readString(RegRoot::LocalMachine, std::string(kControlKey) + "\\ProductOptions", "ProductType")
          .value_or("");
  const std::map<std::string, std::string> productTypes = {{"WINNT", "1"}, {"LANMANNT", "2"}, {"SERVERNT", "3"}};
  if (const auto type = productTypes.find(upperCase(product)); type != productTypes.end())
    ini += "ProductType=" + type->second + "\n";
  return ini;
}

bool hexDigits(const std::string& text, size_t count) {
  return text.size() == count &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// What the system reports as its default language: that of the system
// locale (Nls\Locale's default value, "00000409"), else of Nls\Language's
// Default, kept on systems of before the locale key; four hex digits.
std::optional<std::string> systemLanguage(Registry& registry) {
  const std::string nls = std::string(kControlKey) + "\\Nls\\";
  const auto locale = registry.readString(RegRoot::LocalMachine, nls + "Locale", "");
  if (locale && hexDigits(*locale, 8)) return upperCase(locale->substr(4));
  const auto language = registry.readString(RegRoot::LocalMachine, nls + "Language", "Default");
  if (language && hexDigits(*language, 4)) return upperCase(*language);
  return std::nullopt;
}

// The names an English Windows gives the languages a disk is most often in.
std::optional<std::string_view> languageName(const std::string& id) {
  static constexpr std::pair<const char*, const char*> kNames[] = {
      {"0401", "Arabic (Saudi Arabia)"},   {"0402", "Bulgarian"},
      {"0403", "Catalan"},                 {"0404", "Chinese (Taiwan)"},
      {"0405", "Czech"},                   {"0406", "Danish"},
      {"0407", "German (Germany)"},        {"0408", "Greek"},
      {"0409", "English (United States)"}, {"040A", "Spanish (Traditional Sort)"},
      {"040B", "Finnish"},                 {"040C", "French (France)"},
      {"040D", "Hebrew"},                  {"040E", "Hungarian"},
      {"0410", "Italian (Italy)"},         {"0411", "Japanese"},
      {"0412", "Korean"},                  {"0413", "Dutch (Netherlands)"},
      {"0414", "Norwegian (Bokmal)"},      {"0415", "Polish"},
      {"0416", "Portuguese (Brazil)"},     {"0418", "Romanian"},
      {"0419", "Russian"},                 {"041A", "Croatian"},
      {"041B", "Slovak"},                  {"041D", "Swedish"},
      {"041E", "Thai"},                    {"041F", "Turkish"},
      {"0422", "Ukrainian"},               {"0804", "Chinese (PRC)"},
      {"0807", "German (Switzerland)"},    {"0809", "English (United Kingdom)"},
      {"080A", "Spanish (Mexico)"},        {"080C", "French (Belgium)"},
      {"0816", "Portuguese (Portugal)"},   {"0C04", "Chinese (Hong Kong S.A.R.)"},
      {"0C07", "German (Austria)"},        {"0C09", "English (Australia)"},
      {"0C0A", "Spanish (International Sort)"}, {"0C0C", "French (Canada)"},
      {"1004", "Chinese (Singapore)"},     {"1009", "English (Canada)"},
      {"100C", "French (Switzerland)"}};
  for (const auto& [code, name] : kNames)
    if (id == code) return name;
  return std::nullopt;
}

std::string systemSection(Registry& registry, const Installation& installation, const std::string& ownFolder,
                          const std::string& currentFolder) {
  const std::string control = kControlKey;
  std::string ini = "[System]\nUserName=\"" + installation.user + "\"\nWindowsDirectory=\"" + installation.windows +
                    "\"\nSystemDirectory=\"" + installation.system + "\"\nCurrentDirectory=\"" + currentFolder +
                    "\"\nProfileFolder=\"" + ownFolder + "\"\nProgramFolder=\"" + ownFolder + "\"\n";
  if (const auto name = registry.readString(RegRoot::LocalMachine, control + "\\ComputerName\\ComputerName",
                                            "ComputerName"))
    ini += "ComputerName=\"" + *name + "\"\n";
  if (const auto language = systemLanguage(registry)) {
    ini += "LanguageId=" + *language + "\n";
    if (const auto name = languageName(*language)) ini += "LanguageName=\"" + std::string(*name) + "\"\n";
  }
  if (const auto codePage = registry.readString(RegRoot::LocalMachine, control + "\\Nls\\CodePage", "ACP"))
    ini += "CodePage=" + *codePage + "\n";
  const std::map<std::string, std::string> architectures = {{"X86", "0"}, {"IA64", "6"}, {"AMD64", "9"},
                                                            {"ARM64", "12"}};
  const std::string architecture =
      registry.readString(RegRoot::LocalMachine, control + "\\Session Manager\\Environment", "PROCESSOR_ARCHITECTURE")
          .value_or("");
  if (const auto known = architectures.find(upperCase(architecture)); known != architectures.end())
    ini += "ProcessorArchitecture=" + known->second + "\n";
  return ini;
}

}  // namespace

std::unique_ptr<Machine> openWindowsDisk(const fs::path& folder, const std::string& user, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = folder.string() + ": not a folder; give the folder where the Windows partition is mounted";
    return nullptr;
  }
  const auto installation = findInstallation(folder, user, error);
  if (!installation) return nullptr;
  auto registry = openHiveRegistry(installation->hives, error);
  if (!registry) return nullptr;
  const auto settings = userFolder("XDG_CONFIG_HOME", ".config", error);
  const auto temporary = settings ? userFolder("XDG_CACHE_HOME", ".cache", error) : std::nullopt;
  const auto current = windowsPathOfHost(fs::current_path(ec).string());
  if (!temporary) return nullptr;
  if (!current) {
    error = "the current folder cannot be named as a Windows path";
    return nullptr;
  }
  const std::string ini = versionSection(*registry) +
                          systemSection(*registry, *installation, *settings, *current) +
                          "[Environment]\nwindir=\"" + installation->windows + "\"\nSystemRoot=\"" +
                          installation->windows + "\"\nUSERPROFILE=\"" + installation->profile +
                          "\"\nUSERNAME=\"" + installation->user + "\"\nTEMP=\"" + *temporary + "\"\nTMP=\"" +
                          *temporary + "\"\n";
  return openComposedMachine(ini, {{'C', folder}, {kHostDrive, "/"}}, std::move(registry), {folder});
}

}  // namespace korvane
