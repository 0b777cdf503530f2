#include "support/ScriptedView.h"

#include <gtest/gtest.h>

#include "app/AboutUnit.h"
#include "app/BalvikProxyUnit.h"

namespace korvane::test {

void ScriptedView::listChanged(const std::string& name, const TListView& list) {
  log.push_back("list: " + name + " " + std::to_string(list.Count()));
}

bool ScriptedView::askYesNo(const std::string& text) {
  log.push_back("ask: " + text);
  if (answers.empty()) {
    ADD_FAILURE() << "unscripted question: " << text;
    return false;
  }
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedView::chooseFolder(const FolderDialog& dialog) {
  log.push_back("folder-dialog: " + dialog.caption + " | " + dialog.folder);
  if (folders.empty()) {
    ADD_FAILURE() << "unscripted folder dialog: " << dialog.caption;
    return std::nullopt;
  }
  auto folder = folders.front();
  folders.pop_front();
  return folder;
}

void ScriptedView::showProxyDialog(TForm2& dialog) {
  log.push_back("proxy-dialog: " + dialog.Caption);
  if (proxyDialogs.empty()) {
    ADD_FAILURE() << "unscripted proxy dialog";
    return;
  }
  auto answer = std::move(proxyDialogs.front());
  proxyDialogs.pop_front();
  answer(dialog);
}

void ScriptedView::showAbout(TAbout& dialog) {
  log.push_back("about: " + dialog.Caption);
  if (aboutDialogs.empty()) return;
  auto hand = std::move(aboutDialogs.front());
  aboutDialogs.pop_front();
  hand(dialog);
}

std::optional<std::string> ScriptedView::chooseFileToOpen(const TOpenDialog& dialog) {
  log.push_back("open-file: " + dialog.InitialDir + " | " + dialog.FileName + " | " + dialog.Filter);
  if (chosenFiles.empty()) {
    ADD_FAILURE() << "unscripted open-file dialog in " << dialog.InitialDir;
    return std::nullopt;
  }
  auto chosen = chosenFiles.front();
  chosenFiles.pop_front();
  return chosen;
}

std::optional<std::string> ScriptedView::askText(const InputQuery& query) {
  log.push_back("input: " + query.caption + " | " + query.prompt + " | " + query.text);
  if (texts.empty()) {
    ADD_FAILURE() << "unscripted input box: " << query.caption;
    return std::nullopt;
  }
  auto text = texts.front();
  texts.pop_front();
  return text;
}

void ScriptedView::processMessages() {
  if (onPump) onPump();
}

std::vector<std::string> ScriptedView::entries(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& line : log)
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
  return found;
}

}  // namespace korvane::test
