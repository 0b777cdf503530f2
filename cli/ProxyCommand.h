// korvane proxy: the Proxy Settings dialog answered from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/TerminalView.h"

namespace korvane {

// proxy [--system | --address HOST --port PORT [--user NAME [--password-stdin]]]:
// without options the settings are only shown; otherwise the dialog is
// answered and what it leaves is printed to out, the password never. The
// password is the first line of in. False with a message for options that
// make no sense.
bool runProxyCommand(TForm1& form, TerminalView& view, const std::vector<std::string>& options, Lang lang,
                     std::istream& in, std::ostream& out, std::string& error);

}  // namespace korvane
