// A host file held open through its descriptor, for the image's OpenFile.
#pragma once

#include <time.h>

#include <filesystem>
#include <memory>

#include "platform/FileSystem.h"

namespace korvane {

// flags as open(2) takes them; nullptr when the file cannot be opened or is
// no regular file.
std::unique_ptr<OpenFile> openHostFile(const std::filesystem::path& host, int flags);

// Between a FILETIME (100 ns units since 1601) and a host time.
int64_t fileTimeOf(const timespec& time);
timespec hostTimeOf(int64_t fileTime);
// The last-write time a host file gets for a FILETIME; its access time stays.
const timespec* writeTimeOnly(int64_t fileTime, timespec (&times)[2]);

}  // namespace korvane
