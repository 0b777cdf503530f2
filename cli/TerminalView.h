// The main window's face on a terminal: memo lines to stdout as they come,
// status and message texts to stderr, questions answered by --yes/--no or on
// the terminal.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/View.h"

namespace korvane {

class TerminalView : public View {
 public:
  TerminalView(std::ostream& out, std::ostream& err, std::optional<bool> answer)
      : out_(out), err_(err), answer_(answer) {}

  void listChanged(const std::string& name, const TListView& list) override;
  void memoCleared() override {}
  void memoAppended(const std::string& line) override;
  // A terminal cannot add to a printed line: the text goes out as a line of its own.
  void memoTextAppended(const std::string& text) override { memoAppended(text); }
  void statusChanged(const std::string& text) override;
  void controlsChanged() override {}
  void showMessage(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  // The command line names the file in advance (fileChoice); without one the dialog is cancelled.
  std::optional<std::string> chooseFileToOpen(const TOpenDialog&) override { return fileChoice; }
  // The --to folder when there was one, else the dialog's own, as if closed.
  std::optional<std::string> chooseFolder(const FolderDialog& dialog) override {
    return folderAnswer ? *folderAnswer : dialog.folder;
  }
  std::optional<std::string> folderAnswer;
  void processMessages() override {
    if (onPump) onPump();
  }
  // Stands in for the user between the steps of a long command (pressing Start).
  std::function<void()> onPump;
  std::optional<std::string> fileChoice;

  // Forgets list changes made so far (start-up's own).
  void resetListChanges() { listChanged_ = false; }
  // Prints the driver list, a row a line, columns separated by tabs, if the
  // command changed it.
  void printListIfChanged();

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::optional<bool> answer_;
  bool listChanged_ = false;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace korvane
