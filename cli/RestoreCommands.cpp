#include "cli/RestoreCommands.h"

namespace korvane {

namespace {

std::string text(Msg msg, Lang lang, const std::string& argument = {}) {
  return formatMessage(message(msg, lang), {argument});
}

// The file the INF dialog would be answered with: the folder's INF, as a
// backup folder holds one, else a name that only says where.
std::string infIn(FileSystem& files, const std::string& folder) {
  for (const FileEntry& entry : files.find(joinPath(folder, "*.inf")))
    if (!entry.isDirectory()) return joinPath(folder, entry.name);
  return joinPath(folder, "*.inf");
}

// restore FOLDER: both INF dialogs are answered with the folder's INF.
bool restoreCommand(TForm1& form, TerminalView& view, FileSystem& files, const std::string& folder, Lang lang,
                    std::string& error) {
  if (!files.isDirectory(folder)) {
    error = text(Msg::CliNoSuchFolder, lang, folder);
    return false;
  }
  view.fileChoice = infIn(files, withoutTrailingBackslash(folder));
  form.BitBtn4Click();
  view.fileChoice.reset();
  return true;
}

// restore-all FOLDER: the folder is chosen in the tree, then Start.
bool restoreAllCommand(TForm1& form, const std::string& folder, Lang lang, std::string& error) {
  form.SpeedButton4Click();
  try {
    form.TV1.SetDirectory(folder);
  } catch (const EExplorerTree&) {
    error = text(Msg::InvalidDirectoryName, lang);
    return false;
  }
  const std::string wanted = upperCase(folder.ends_with('\\') ? folder : folder + "\\");
  if (form.TV1.Directory() != wanted) {
    error = text(Msg::CliNoSuchFolder, lang, folder);
    return false;
  }
  form.BitBtn9Click();
  return true;
}

}  // namespace

bool isRestoreCommand(const std::vector<std::string>& words) {
  const std::string& command = words.front();
  return command == "restore" || command == "restore-all" || (command == "install-new" && words.size() == 1);
}

bool runRestoreCommand(TForm1& form, TerminalView& view, FileSystem& files, const std::vector<std::string>& words,
                       Lang lang, std::string& error) {
  const std::string& command = words.front();
  if (command != "install-new" && words.size() != 2) {
    error = text(Msg::CliNeedsOneFolder, lang, command == "restore" ? "C:\\Korvane\\<driver>" : "C:\\Korvane");
    return false;
  }
  bool started = true;
  if (command == "install-new")
    form.instnew1Click();
  else if (command == "restore")
    started = restoreCommand(form, view, files, words[1], lang, error);
  else
    started = restoreAllCommand(form, words[1], lang, error);
  if (started && form.RestoreState().RestoreFailed) error = text(Msg::CliRestoreFailed, lang);
  return started && !form.RestoreState().RestoreFailed;
}

}  // namespace korvane
