// The folder a driver's backup goes to, and its descriptor Setup.DIY.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "platform/RichText.h"

namespace korvane {

// The description with \ / : @ ^ ; * ? " < > | and control characters
// replaced by spaces, trimmed.
std::string DriverFolderName(const std::string& description);

// The names given out during one run, so that two drivers never share a folder.
class DriverFolderNames {
 public:
  // DriverFolderName without trailing dots, unless that leaves nothing usable (only dots and spaces,
  // or a device name such as CON or LPT1.txt): then the INF name without its
  // extension, or "Driver". A name already given out in this run gets " (2)",
  // " (3)" and so on.
  std::string Next(const std::string& description, const std::string& infName);

 private:
  std::set<std::string> used_;  // upper-cased
};

// Whether Windows would refuse or misread the name as a folder name.
bool IsUnusableFolderName(const std::string& name);

struct SetupDiy {
  std::string hardwareId;
  std::string infName;
};
constexpr const char* kSetupDiyName = "Setup.DIY";

// Setup.DIY in the folder: two lines, the hardware identifier and the INF name.
bool WriteSetupDiy(RichText& richText, const std::string& folder, const SetupDiy& descriptor);
// Its two lines; nullopt when the file cannot be read.
std::optional<SetupDiy> ReadSetupDiy(RichText& richText, const std::string& folder);

}  // namespace korvane
