// korvane update-check, korvane download N, korvane copy-url N: the update
// check and the commands of its list of new drivers on a terminal.
#pragma once

#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/TerminalView.h"

namespace korvane {

// The words of the command line, the command first.
bool isUpdateCommand(const std::vector<std::string>& words);
// Runs the check (collecting first), then the command on row N of its list.
// update-check prints the rows, tab-separated: description, current,
// database, URL, compatibility. Returns 0 when done, 1 when the check found
// no new driver, 2 (with the error) when the command could not run.
int runUpdateCommand(TForm1& form, TerminalView& view, const std::vector<std::string>& words, Lang lang,
                     std::string& error);

}  // namespace korvane
