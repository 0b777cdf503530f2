// A view for tests: records every call as a line and answers questions from a script.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/View.h"

namespace korvane::test {

class ScriptedView : public View {
 public:
  void listChanged(const std::string& name, const TListView& list) override;
  void memoCleared() override { log.push_back("memo-clear"); }
  void memoAppended(const std::string& line) override { log.push_back("memo: " + line); }
  void memoTextAppended(const std::string& text) override { log.push_back("memo+ " + text); }
  void statusChanged(const std::string& text) override { log.push_back("status: " + text); }
  void controlsChanged() override { log.push_back("controls"); }
  void showMessage(const std::string& text) override { log.push_back("message: " + text); }
  // Answers with the next scripted answer; a question nobody scripted fails the test.
  bool askYesNo(const std::string& text) override;
  // Logs the caption, then asks as askYesNo does.
  bool confirm(const std::string& caption, const std::string& text) override {
    log.push_back("caption: " + caption);
    return askYesNo(text);
  }
  // Answers with the next scripted file (nullopt: cancelled); an unscripted dialog fails the test.
  std::optional<std::string> chooseFileToOpen(const TOpenDialog& dialog) override;
  // Answers with the next scripted folder (nullopt: Cancel); unscripted fails.
  std::optional<std::string> chooseFolder(const FolderDialog& dialog) override;
  // Logs the caption and lets the next scripted hand work the dialog (tick
  // the box, type, press OK) before it closes; unscripted fails.
  void showProxyDialog(TForm2& dialog) override;
  // Logs the caption and lets the next scripted hand work the about box;
  // without one the box is closed at once.
  void showAbout(TAbout& dialog) override;
  // Answers with the next scripted text (nullopt: Cancel); an unscripted input box fails the test.
  std::optional<std::string> askText(const InputQuery& query) override;
  void processMessages() override;

  // The lines of the log that start with the prefix, with the prefix removed.
  std::vector<std::string> entries(const std::string& prefix) const;

  std::vector<std::string> log;
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> chosenFiles;
  std::deque<std::optional<std::string>> folders;
  std::deque<std::function<void(TForm2&)>> proxyDialogs;
  std::deque<std::function<void(TAbout&)>> aboutDialogs;
  std::deque<std::optional<std::string>> texts;
  // Runs on every pump, e.g. to press Stop in the middle of a long command.
  std::function<void()> onPump;
};

}  // namespace korvane::test
