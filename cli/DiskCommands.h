// korvane --windows DIR: the commands that run on a mounted Windows disk,
// and the Linux folder the backups and listings go to instead of the disk.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/Languages.h"

namespace korvane {

// True when the command only reads the disk; else false with the reason.
bool runsOnDisk(const std::vector<std::string>& words, Lang lang, std::string& error);

// The command's words with the folder of --to, a Linux path as typed
// (relative to the current folder), turned into the path the disk's machine
// gives it. A command that writes files needs that folder, outside the disk;
// nullopt with the reason otherwise.
std::optional<std::vector<std::string>> withDiskDestination(std::vector<std::string> words,
                                                            const std::filesystem::path& disk, Lang lang,
                                                            std::string& error);

}  // namespace korvane
