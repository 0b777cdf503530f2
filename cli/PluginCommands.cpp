#include "cli/PluginCommands.h"

namespace korvane {

namespace {

std::string text(Msg msg, Lang lang, const std::string& argument = {}) {
  return formatMessage(message(msg, lang), {argument});
}

// The answer FOLDER or --folder FOLDER gives the input box; nullopt: asked on the terminal.
std::optional<std::optional<std::string>> restoreFolder(const std::vector<std::string>& words) {
  if (words.size() == 2) return std::optional<std::string>();
  if (words.size() == 3 && words[2] != "--folder") return words[2];
  if (words.size() == 4 && words[2] == "--folder") return words[3];
  return std::nullopt;
}

}  // namespace

bool isPluginCommand(const std::vector<std::string>& words) {
  const std::string& command = words.front();
  return command == "outlook" || command == "favorites";
}

bool runPluginCommand(TForm1& form, TerminalView& view, const std::vector<std::string>& words, Lang lang,
                      std::string& error) {
  const bool outlook = words.front() == "outlook";
  const std::string action = words.size() > 1 ? words[1] : "";
  const auto folder = restoreFolder(words);
  const bool backup = action == "backup" && words.size() == 2;
  const bool restore = action == "restore" && (outlook ? words.size() == 3 : folder.has_value());
  if (!backup && !restore) {
    std::string joined;
    for (const auto& word : words) joined += (joined.empty() ? "" : " ") + word;
    error = text(Msg::CliUnknownCommand, lang, joined);
    return false;
  }
  if (outlook && restore) view.fileChoice = words[2];
  if (!outlook && restore) view.textAnswer = *folder;
  form.Click(outlook ? (backup ? "BackupOutlook1" : "Restore3") : (backup ? "BackupIEFavorite1" : "Restore4"));
  view.fileChoice.reset();
  view.textAnswer.reset();
  if (form.CommandFailed) error = text(Msg::CliCommandFailed, lang);
  return !form.CommandFailed;
}

}  // namespace korvane
