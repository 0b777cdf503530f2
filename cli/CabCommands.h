// korvane cab create OUT.CAB FOLDER / korvane cab extract IN.CAB FOLDER:
// MS-ZIP cabinets of a folder and back, over the cabinet components.
#pragma once

#include <string>
#include <vector>

#include "app/Languages.h"
#include "platform/Machine.h"

namespace korvane {

// Runs "cab" with its words; false with a message when it did not do all
// that was asked. Each file is reported on stderr, the result on stdout.
bool runCabCommand(Machine& machine, Lang lang, const std::vector<std::string>& words, std::string& error);

}  // namespace korvane
