// A host file held open through its descriptor, for the image's OpenFile.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/FileSystem.h"

namespace korvane {

// flags as open(2) takes them; nullptr when the file cannot be opened or is
// no regular file.
std::unique_ptr<OpenFile> openHostFile(const std::filesystem::path& host, int flags);

}  // namespace korvane
