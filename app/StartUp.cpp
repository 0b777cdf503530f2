#include "app/StartUp.h"

#include "app/Languages.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr const char* kVersionNames[] = {
    "Microsoft Windows 3.11",        "Microsoft Windows 95",          "Microsoft Windows 95 OSR2",
    "Microsoft Windows 98",          "Microsoft Windows 98 Second Edition", "Microsoft Windows Me",
    "Microsoft Windows NT",          "Microsoft Windows NT Server",   "Microsoft Windows 2000",
    "Microsoft Windows 2000 Server", "Microsoft Windows XP",          "Microsoft Windows XP Server"};

// The service-pack text has the letter at its first or second character.
bool letterNearStart(const std::string& csd, char letter) {
  return (!csd.empty() && csd[0] == letter) || (csd.size() > 1 && csd[1] == letter);
}

int windows95FamilyIndex(const VersionRecord& version) {
  const uint32_t minor = (version.build >> 16) & 0xFF;
  if (minor < 10) return letterNearStart(version.csd, 'C') ? 2 : 1;
  if (minor < 90) return letterNearStart(version.csd, 'A') ? 4 : 3;
  if (minor < 100) return 5;
  return 10;
}

int ntFamilyIndex(const VersionRecord& version, bool server) {
  if (version.major == 5 && version.minor == 0) return server ? 9 : 8;
  if (version.major == 5 && version.minor == 1) return server ? 11 : 10;
  if (version.major <= 4) return server ? 7 : 6;
  return 10;
}

}  // namespace

int WindowsVersionIndex(const std::optional<VersionRecord>& version, bool server) {
  if (!version) return 10;
  switch (version->platformId) {
    case platformWin32s: return 0;
    case platformWindows: return version->major == 4 ? windows95FamilyIndex(*version) : 10;
    case platformNT: return ntFamilyIndex(*version, server);
    default: return 10;
  }
}

const char* WindowsVersionName(int index) {
  return index >= 0 && index < static_cast<int>(std::size(kVersionNames)) ? kVersionNames[index] : "";
}

std::string CorrectedOsName(const std::string& tableName, const std::string& operatingSystem) {
  std::string name = tableName.empty() ? operatingSystem : tableName;
  const std::string lower = lowerCase(name);
  const bool keepsTableName = lower.find("me") != std::string::npos || lower.find("mill") != std::string::npos ||
                              name.find("Windows 2000") != std::string::npos || name.find("XP") != std::string::npos;
  if (!keepsTableName) name = operatingSystem;
  if (name.find("Microsoft") == std::string::npos) name = "Microsoft " + name;
  return name;
}

std::string LanguageFromCode(const std::string& code) {
  const std::string primary = code.size() >= 4 ? upperCase(code.substr(2, 2)) : std::string();
  std::string language = "English";
  if (primary == "0C") language = "French";
  if (primary == "0A") language = "Spanish";
  if (primary == "19") language = "Russian";
  if (code.size() >= 4 && code.substr(2, 2) == "04") language = "Chinese";
  if (code == "0404") language = "Chinese(Taiwan Province)";
  return language;
}

std::string InterfaceLanguage(const std::string& stored, const std::string& languageCode) {
  // A hand-edited settings file may say "english"; any other text would leave every message blank.
  if (const auto lang = languageNamed(stored)) return std::string(languageName(*lang));
  return LanguageFromCode(languageCode);
}

}  // namespace korvane
