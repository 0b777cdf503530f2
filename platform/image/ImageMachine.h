// A machine image: a folder that stands for one Windows machine (machine.ini,
// registry/*.reg, one folder per drive letter).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Machine.h"

namespace korvane {

// nullptr with a message naming what is missing or broken.
std::unique_ptr<Machine> openImageMachine(const std::filesystem::path& folder, std::string& error);

}  // namespace korvane
