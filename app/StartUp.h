// The rules of start-up that do not need the window: the Windows version
// name and the interface language from the system's language code.
#pragma once

#include <optional>
#include <string>

#include "platform/SystemInfo.h"

namespace korvane {

// 0 to 11, the row of the version name table; 10 when nothing matches.
int WindowsVersionIndex(const std::optional<VersionRecord>& version, bool server);
const char* WindowsVersionName(int index);

// The display name: the table's name where it names Me, 2000 or XP, otherwise
// the system-details operating system, always with "Microsoft " in front.
std::string CorrectedOsName(const std::string& tableName, const std::string& operatingSystem);

// The language a four-digit language code stands for; "English" when none.
std::string LanguageFromCode(const std::string& code);

// The interface language: the settings file's name when it is one of the six,
// in whatever case, else the one the system's language code stands for.
std::string InterfaceLanguage(const std::string& stored, const std::string& languageCode);

}  // namespace korvane
