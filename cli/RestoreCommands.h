// korvane restore FOLDER, korvane install-new, korvane restore-all FOLDER:
// the Install menu's restore commands, the folder standing for the user's
// choices in the INF dialog and in the folder tree.
#pragma once

#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/TerminalView.h"

namespace korvane {

// The words of the command line, the command first.
bool isRestoreCommand(const std::vector<std::string>& words);
// Runs it on the started window; false with a message when it could not
// start or the restore reported a failure. The restart question is the
// terminal's.
bool runRestoreCommand(TForm1& form, TerminalView& view, FileSystem& files, const std::vector<std::string>& words,
                       Lang lang, std::string& error);

}  // namespace korvane
