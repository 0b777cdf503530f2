// korvane outlook backup|restore PACKAGE, korvane favorites backup|restore
// [FOLDER]: the Plug-in menu's commands, the package standing for the choice
// in the open dialog and the folder for the input box's answer.
#pragma once

#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/TerminalView.h"

namespace korvane {

// The words of the command line, the command first.
bool isPluginCommand(const std::vector<std::string>& words);
// Runs it on the started window; false with a message when it could not
// start or the command reported a failure.
bool runPluginCommand(TForm1& form, TerminalView& view, const std::vector<std::string>& words, Lang lang,
                      std::string& error);

}  // namespace korvane
