// korvane cab create OUT.CAB FOLDER / korvane cab extract IN.CAB FOLDER:
// MS-ZIP cabinets of a folder and back, over the cabinet components.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Languages.h"
#include "platform/Machine.h"

namespace korvane {

// How the paths of the command line name files of the machine, and how the
// machine's paths are shown back; the machine's own paths unless set.
struct CabPaths {
  std::function<std::optional<std::string>(const std::string&)> fromArgument = [](const std::string& path) {
    return std::optional<std::string>(path);
  };
  std::function<std::string(const std::string&)> shown = [](const std::string& path) { return path; };
};

// Runs "cab" with its words; false with a message when it did not do all
// that was asked. Each file is reported on stderr, the result on stdout.
bool runCabCommand(Machine& machine, Lang lang, const std::vector<std::string>& words, std::string& error,
                   const CabPaths& paths = {});

}  // namespace korvane
