#include "backup/DriverFolder.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace korvane {

std::string DriverFolderName(const std::string& description) {
  std::string name = description;
  // Control characters cannot be in a Windows name either.
  for (char& c : name)
    if (std::string_view("\\/:@^;*?\"<>|").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20)
      c = ' ';
  const size_t begin = name.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return name.substr(begin, name.find_last_not_of(' ') - begin + 1);
}

bool IsUnusableFolderName(const std::string& name) {
  if (name.find_first_not_of(". ") == std::string::npos) return true;
  // Device names stay devices with any extension: "CON", "nul.txt", "com1 .x".
  std::string stem = upperCase(trim(name.substr(0, name.find('.'))));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices)
    if (stem == device) return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

namespace {

// Windows drops the trailing dots and spaces of a name it makes: the folder
// made is named without them, and only so are two drivers kept apart
// ("Orvik Inc." and "Orvik Inc" would share one folder and one Setup.DIY).
std::string folderNameAsMade(const std::string& description) {
  const std::string name = DriverFolderName(description);
  return name.substr(0, name.find_last_not_of(". ") + 1);
}

}  // namespace

std::string DriverFolderNames::Next(const std::string& description, const std::string& infName) {
  std::string name = folderNameAsMade(description);
  if (IsUnusableFolderName(name)) {
    const std::string stem = folderNameAsMade(infName.substr(0, infName.rfind('.')));
    name = IsUnusableFolderName(stem) ? "Driver" : stem;
  }
  std::string candidate = name;
  for (int number = 2; used_.count(upperCase(candidate)); ++number)
    candidate = name + " (" + std::to_string(number) + ")";
  used_.insert(upperCase(candidate));
  return candidate;
}

bool WriteSetupDiy(RichText& richText, const std::string& folder, const SetupDiy& descriptor) {
  return richText.writePlainText(joinPath(folder, kSetupDiyName), descriptor.hardwareId + "\n" + descriptor.infName);
}

std::optional<SetupDiy> ReadSetupDiy(RichText& richText, const std::string& folder) {
  const auto text = richText.readPlainText(joinPath(folder, kSetupDiyName));
  if (!text) return std::nullopt;
  const auto lines = splitLines(*text);
  SetupDiy descriptor;
  if (!lines.empty()) descriptor.hardwareId = lines[0];
  if (lines.size() > 1) descriptor.infName = lines[1];
  return descriptor;
}

}  // namespace korvane
