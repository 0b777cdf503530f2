// korvane transfer get URL --to DIR [--name NAME], korvane transfer put FILE
// URL: one item of the transfer component, its kind chosen by the URL.
#pragma once

#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/TerminalView.h"

namespace korvane {

// The transfer component's progress on the terminal's status line.
class StatusLineDialog : public TWebCopyDialog {
 public:
  explicit StatusLineDialog(TerminalView& view) : view_(view) {}
  void opened(TWebCopy&) override {}
  void changed(const TWebCopyDialogState& state) override;
  void finished(bool) override {}

 private:
  TerminalView& view_;
};

// The words of the command line, the command first.
bool isTransferCommand(const std::vector<std::string>& words);
// Runs it with the window's transfer component (and so its proxy settings);
// the progress goes to the view's status line, the component's errors to
// stderr. False with a message unless the item succeeded.
// A copy into a \\\\server\\share folder connects the share as the current user.
bool runTransferCommand(TForm1& form, Machine& machine, TerminalView& view, const std::vector<std::string>& words,
                        Lang lang, std::string& error);

}  // namespace korvane
