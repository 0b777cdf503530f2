// A Windows disk that no longer starts, mounted on Linux: drive C is its
// folder, the registry its hive files, and nothing on it is changed. The
// user's own folders (XDG config and cache) keep the settings and temporary
// files, and the host's files are reached on drive Z as on the host machine.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Machine.h"

namespace korvane {

// folder: the mounted partition, the one that holds the Windows folder;
// user: the profile whose registry is HKCU, or empty for the one whose hive
// changed last (the user who last worked). nullptr with an error naming what
// is missing or broken.
std::unique_ptr<Machine> openWindowsDisk(const std::filesystem::path& folder, const std::string& user,
                                         std::string& error);

}  // namespace korvane
