// Whether the program's error output is a terminal, and how wide it is.
#pragma once

#include "cli/TerminalView.h"

namespace korvane {

// The status line that suits this run's stderr.
StatusLine statusLineOfStderr();

}  // namespace korvane
