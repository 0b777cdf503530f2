// A machine image: a folder that stands for one Windows machine (machine.ini,
// registry/*.reg, one folder per drive letter).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Machine.h"

namespace korvane {

// nullptr with a message naming what is missing or broken.
std::unique_ptr<Machine> openImageMachine(const std::filesystem::path& folder, std::string& error);

// A machine of machine.ini text made by the caller, over host folders, with a
// registry opened elsewhere that is not written back (a Windows disk's
// hives). Nothing inside the protected folders is changed.
std::unique_ptr<Machine> openComposedMachine(const std::string& machineIni,
                                             std::map<char, std::filesystem::path> drives,
                                             std::unique_ptr<Registry> registry,
                                             const std::vector<std::filesystem::path>& protectedFolders);

// The drive letter that stands for the host's "/" where a machine reaches the host's files.
constexpr char kHostDrive = 'Z';

// The host's own files as a machine of one drive, Z: standing for "/", in
// the host's current folder: no registry, no Windows folder, nothing run.
// For commands that need files only. nullptr with a message when the
// current folder cannot be named that way.
std::unique_ptr<Machine> openHostMachine(std::string& error);
// "/home/a/b" is Z:\home\a\b, "a/b" stays relative as a\b; nullopt for a
// path holding a backslash, which a Windows path cannot tell from a separator.
std::optional<std::string> windowsPathOfHost(const std::string& hostPath);
// The host path of a path on the host machine; the inverse of the above.
std::string hostPathOfWindows(const std::string& windowsPath);

}  // namespace korvane
