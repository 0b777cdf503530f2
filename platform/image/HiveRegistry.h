// The registry of a Windows disk that is not running: read from its hive
// files through libhivex, never written (the disk may be mounted read-only).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Registry.h"

namespace korvane {

// Host paths of the hives; an empty path leaves that part of the registry out.
struct HiveFiles {
  std::filesystem::path system;       // HKLM\SYSTEM, CurrentControlSet through Select\Current
  std::filesystem::path software;     // HKLM\SOFTWARE, and HKCR as its Classes key
  std::filesystem::path user;         // HKCU
  std::filesystem::path defaultUser;  // HKU\.DEFAULT
};

// nullptr with an error naming the file when libhivex cannot be loaded or a
// named file is missing, truncated or not a hive. Every write fails.
std::unique_ptr<Registry> openHiveRegistry(const HiveFiles& files, std::string& error);

}  // namespace korvane
