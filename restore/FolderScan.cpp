// The folder scan that restoring a backup starts with, the copy of what it
// found into the Windows folder, and the restart that lets Plug and Play
// install the drivers from there.
#include "app/BalvikMain.h"

namespace korvane {

namespace {

// Longer paths cannot be opened by Windows' plain calls; nothing below them is reachable.
constexpr size_t kMaxPath = 260;
constexpr const char* kNoticeEnd = ">>>>>>>>>>>>>>>>>>>>>>>>";
constexpr const char* kRestartArrows = ">>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";

std::string extensionOf(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string withFinalBackslash(const std::string& path) { return path.empty() || path.back() == '\\' ? path : path + "\\"; }

}  // namespace

std::string TForm1::WindowsFolder() {
  const std::string windir = machine_.environment().get("windir").value_or("");
  return withoutTrailingBackslash(windir.empty() ? AH.DirectoryWindows() : windir);
}

void TForm1::ReportRestoreFailure(const std::string& line) {
  AddMemoLine(line);
  RestoreFailed = true;
}

void TForm1::ScanFolderTree(const std::string& folder) {
  if (folder.size() >= kMaxPath) return;
  std::vector<std::string> subFolders;
  for (const FileEntry& entry : machine_.files().find(folder + "*.*"))
    if (entry.isFolderToWalk()) subFolders.push_back(entry.name);
  for (const std::string& name : subFolders) ScanFolderTree(folder + name + "\\");
  AddMemoLine("-> " + folder);
  view_.processMessages();
  ListFolderFiles(folder, ScanMask);
}

void TForm1::ListFolderFiles(const std::string& folder, const std::string& mask) {
  for (const FileEntry& entry : machine_.files().find(folder + mask)) {
    lstscan2.push_back({folder + entry.name, extensionOf(entry.name), withoutTrailingBackslash(folder)});
    view_.processMessages();
  }
}

// The files of the scan list; the descriptors Setup.DIY stay behind.
std::vector<std::string> TForm1::CopyList() const {
  std::vector<std::string> files;
  for (const TScanEntry& entry : lstscan2) {
    const std::string& path = entry.Caption;
    if (path.empty() || path.back() == '.' || path.find(".DIY") != std::string::npos) continue;
    const auto found = machine_.files().stat(path);
    if (found && !found->isDirectory()) files.push_back(path);
  }
  return files;
}

// A backup is restored from its own folder: a tree that holds the Windows
// folder, or lies inside it, would be copied onto the system itself.
bool TForm1::IsSystemFolderTree(const std::string& folder) {
  const std::string windows = withFinalBackslash(upperCase(WindowsFolder()));
  const std::string chosen = withFinalBackslash(upperCase(folder));
  if (windows.size() <= 1) return false;
  return chosen.starts_with(windows) || windows.starts_with(chosen);
}

void TForm1::RestoreFolderTree(const std::string& folder, const std::vector<std::string>& destinations,
                               Msg restartNotice) {
  ClearMemo();
  if (IsSystemFolderTree(folder)) {
    ReportRestoreFailure(formatMessage(Text(Msg::RestoreFolderInWindows), {folder}));
    return;
  }
  ScanMask = "*.*";
  lstscan2.clear();  // a second restore must not copy the first one's files again
  ScanFolderTree(withFinalBackslash(folder));
  const std::vector<std::string> files = CopyList();
  FO1.FilesFrom = files;
  const std::string options = WindowsFolder() + "\\Options";
  machine_.files().createDirectory(options);
  machine_.files().createDirectory(options + "\\Cabs");
  machine_.files().setCurrentDirectory(options);
  AddMemoLine("");
  if (files.empty()) {
    ReportRestoreFailure(formatMessage(Text(Msg::RestoreNothingToCopy), {folder}));
    return;
  }
  if (!CopyIntoWindowsFolders(destinations)) return;
  OfferRestart(restartNotice);
}

// FO1's files into each destination in turn. Every destination is tried; each failure is reported, and any one of them
// means the drivers are not where Plug and Play looks.
bool TForm1::CopyIntoWindowsFolders(const std::vector<std::string>& destinations) {
  bool copied = true;
  for (const std::string& destination : destinations) {
    FO1.DirFrom.clear();
    FO1.DirTo = WindowsFolder() + "\\" + destination;
    bool done = false;
    try {
      done = FO1.Execute();
    } catch (const EAHMFileOperator&) {
      done = false;
    }
    if (!done) ReportRestoreFailure(formatMessage(Text(Msg::RestoreCopyFailed), {FO1.DirTo}));
    copied = copied && done;
  }
  return copied;
}

// Restarting ends every other program too: the user says when.
void TForm1::OfferRestart(Msg restartNotice) {
  AddMemoLine(Text(restartNotice));
  AddMemoLine("");
  AddMemoLine(kNoticeEnd);
  if (!view_.askYesNo(Text(Msg::RestartQuestion))) {
    AddMemoLine(Text(Msg::RestartNotDone));
    return;
  }
  AppendMemoText(kRestartArrows);
  if (!RestartWindows(ewxReboot)) AddMemoLine(Text(Msg::RestartNotDone));
}

bool TForm1::RestartWindows(unsigned flags) { return machine_.system().restartWindows(flags); }

}  // namespace korvane
