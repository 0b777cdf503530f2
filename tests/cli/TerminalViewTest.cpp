// The terminal face: a status line rewritten in place on a terminal, only the
// outcome into a pipe, and no blank memo lines.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/TerminalView.h"

namespace korvane::test {
namespace {

struct Terminal {
  std::ostringstream out, err;
  TerminalView view;
  explicit Terminal(StatusLine line) : view(out, err, false, line) {}
};

StatusLine terminalOf(size_t width) { return StatusLine{true, width, std::chrono::milliseconds(0)}; }

TEST(TerminalView, StatusIsRewrittenOnOneLineOfTheTerminal) {
  Terminal t(terminalOf(20));
  t.view.statusChanged("Searching ... \r\nC:\\WINDOWS\\");
  t.view.statusChanged("Done.");
  EXPECT_EQ(t.err.str(), "\rSearching ... C:\\WI\rDone." + std::string(14, ' '))
      << "one line, cut short of the last column, the longer text blanked out";
  t.err.str("");
  t.view.memoAppended("Copied a.sys");
  EXPECT_EQ(t.out.str(), "Copied a.sys\n");
  EXPECT_EQ(t.err.str(), "\r     \r\rDone.") << "the status leaves the line for the memo line and comes back below it";
  t.err.str("");
  t.view.showMessage("Package created successfully!");
  t.view.finish();
  EXPECT_EQ(t.err.str(), "\r     \rmessage: Package created successfully!\n\rDone.\n") << "the last status stays";
}

TEST(TerminalView, WideCharactersTakeTwoColumns) {
  Terminal t(terminalOf(8));
  t.view.statusChanged("正在搜索 ... C:\\");
  EXPECT_EQ(t.err.str(), "\r正在搜");
  t.err.str("");
  t.view.statusChanged("\xE6\xAD");  // a character cut short by hostile input
  EXPECT_EQ(t.err.str(), "\r" + std::string(6, ' ')) << "nothing of it is written";
}

TEST(TerminalView, IntoAPipeOnlyTheOutcomeIsWritten) {
  Terminal t(StatusLine{});
  t.view.statusChanged("Driver 1 of 2: A");
  t.view.memoAppended("");
  t.view.memoAppended("Preparing A");
  t.view.memoAppended("  \r");
  t.view.statusChanged("Driver 2 of 2: B");
  t.view.showMessage("2 driver collect and backup successfully.");
  t.view.statusChanged("Package created successfully!");
  t.view.finish();
  EXPECT_EQ(t.out.str(), "Preparing A\n") << "blank lines space the window's memo only";
  EXPECT_EQ(t.err.str(),
            "message: 2 driver collect and backup successfully.\nstatus: Package created successfully!\n");
  t.err.str("");
  t.view.finish();
  EXPECT_EQ(t.err.str(), "") << "finished once";
}

TEST(TerminalView, MessagesTheCommandSaysItselfAreLeftOut) {
  Terminal t(StatusLine{});
  t.view.leavesOutMessage = [](const std::string& text) { return text.starts_with("2 drivers could not"); };
  t.view.showMessage("2 drivers could not be backed up. The window lists them with the reason.");
  t.view.showMessage("Stopped.");
  EXPECT_EQ(t.err.str(), "message: Stopped.\n");
}

}  // namespace
}  // namespace korvane::test
