// The main window's face on a terminal: memo lines to stdout as they come,
// status and message texts to stderr, questions answered by --yes/--no or on
// the terminal.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/View.h"

namespace korvane {

// Where status texts go: rewritten in place on one line of a terminal, or,
// into a pipe or file, only the last one, as the command's outcome.
struct StatusLine {
  bool terminal = false;
  size_t width = 80;  // columns of the terminal
  // Statuses come per folder during a search; a terminal is redrawn at most this often.
  std::chrono::milliseconds redrawInterval{100};
};

class TerminalView : public View {
 public:
  TerminalView(std::ostream& out, std::ostream& err, std::optional<bool> answer, StatusLine statusLine = {})
      : out_(out), err_(err), answer_(answer), statusLine_(statusLine) {}

  void listChanged(const std::string& name, const TListView& list) override;
  void memoCleared() override {}
  // Blank lines space the window's memo; on a terminal they are left out.
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
  // The proxy dialog is worked by proxyAnswer when a command set one, else
  // closed at once.
  void showProxyDialog(TForm2& dialog) override {
    if (proxyAnswer) proxyAnswer(dialog);
  }
  std::function<void(TForm2&)> proxyAnswer;
  // The about box's texts, a line each.
  void showAbout(TAbout& dialog) override;
  // The command line's answer to an input box (textAnswer); without one the
  // question is asked on the terminal, and an end of input cancels it.
  std::optional<std::string> askText(const InputQuery& query) override;
  std::optional<std::string> textAnswer;
  void processMessages() override {
    if (onPump) onPump();
  }
  // Stands in for the user between the steps of a long command (pressing Start).
  std::function<void()> onPump;
  std::optional<std::string> fileChoice;
  // Messages the window shows that the command says better in its own closing line.
  std::function<bool(const std::string& text)> leavesOutMessage;
  // Off for the steps of a command whose memo lines the user did not ask to see.
  bool memoShown = true;

  // Prints the driver list as it stands, a row a line, columns separated by tabs.
  void printList() { printRows(rows_, 6); }
  // Rows of that many columns, a row a line, columns separated by tabs.
  void printRows(const std::vector<std::vector<std::string>>& rows, size_t columns);
  // Ends the status line: the last status stays on the terminal, or goes
  // out as the one "status: " line into a pipe or file.
  void finish();

 private:
  void drawStatus();
  // Takes the drawn status off the terminal's line before other output.
  void clearStatus();

  std::ostream& out_;
  std::ostream& err_;
  std::optional<bool> answer_;
  StatusLine statusLine_;
  std::vector<std::vector<std::string>> rows_;
  std::string status_;         // the latest status, on one line
  size_t drawnColumns_ = 0;    // what the terminal's status line shows now
  bool statusDrawn_ = false;   // status_ is what the terminal shows
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace korvane
