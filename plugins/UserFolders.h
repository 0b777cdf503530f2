// Where a user's own data lies on either family of Windows.
#pragma once

#include <string>

#include "platform/Machine.h"

namespace korvane {

// The profile folder on the NT family, the Windows folder on the 95 family,
// without a trailing backslash; empty when the environment names neither.
std::string userDataFolder(Machine& machine, bool ntFamily);

// Whether a folder name from the registry or the environment can be used as
// one part of a path: no separators, no ".." and nothing Windows refuses.
bool isPlainName(const std::string& name);

// A full path that names a drive ("C:\...") or a share ("\\server\...").
bool isAbsolutePath(const std::string& path);

}  // namespace korvane
