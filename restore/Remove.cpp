// Removing a driver from the system: the carried removal tool takes the
// device away, the driver's class keys are deleted, and those of its files
// that only it uses go where the user can get them back. A backup file set
// comes from broad text rules and a search of the whole drive, so the files
// are held to the driver folders and to names no other driver uses.
#include <functional>
#include <set>

#include "app/BalvikMain.h"
#include "backup/DriverFileSearch.h"
#include "backup/DriverFolder.h"
#include "inventory/InfReader.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr RegRoot kClassRootKey = RegRoot::LocalMachine;
constexpr const char* kRemovalTool = "devunmnt.exe";
constexpr int kShowNormal = 5;  // SW_SHOW
constexpr const char* kUndoFolderName = "Removed";
constexpr int kMaxUndoFolders = 999;

// A file name as Windows matches it: without regard to case, and without the
// dots and spaces that a path's last name may end with.
std::string nameKey(const std::string& name) { return upperCase(name.substr(0, name.find_last_not_of(". ") + 1)); }

struct ClassKeys {
  std::vector<std::string> deleted, failed;
  std::vector<std::string> otherInfs;  // the INF names of the instances that stay, each once
};

// Deletes every instance key below the class root that names an INF and
// carries exactly this description. The keys that stay tell which INFs are
// still in use, a key that could not be deleted among them.
ClassKeys DeleteClassKeys(Registry& registry, const std::string& classRoot, const std::string& description) {
  ClassKeys keys;
  std::set<std::string> seenInfs;
  const auto noteInf = [&](const std::string& inf) {
    if (seenInfs.insert(nameKey(inf)).second) keys.otherInfs.push_back(inf);
  };
  const std::vector<std::string> none;
  for (const auto& deviceClass : registry.subkeyNames(kClassRootKey, classRoot).value_or(none)) {
    const std::string classKey = classRoot + "\\" + deviceClass;
    for (const auto& instance : registry.subkeyNames(kClassRootKey, classKey).value_or(none)) {
      const std::string key = classKey + "\\" + instance;
      const std::string inf = registry.readString(kClassRootKey, key, "InfPath").value_or("");
      if (inf.empty()) continue;
      if (registry.readString(kClassRootKey, key, "DriverDesc").value_or("") != description) {
        noteInf(inf);
      } else if (registry.deleteTree(kClassRootKey, key) || !registry.keyExists(kClassRootKey, key)) {
        // The removal tool, running meanwhile, may have taken the key first.
        keys.deleted.push_back(key);
      } else {
        keys.failed.push_back(key);
        noteInf(inf);
      }
    }
  }
  return keys;
}

// The names among wanted that the backup file sets of these INFs name, the
// INFs themselves included. Reading stops once every wanted name is found;
// the window's messages are pumped between INFs.
std::set<std::string> NamesUsedBy(Machine& machine, const std::string& infFolder, const std::string& oemInfFolder,
                                  const std::vector<std::string>& infs, const std::set<std::string>& wanted,
                                  const std::function<void()>& pump) {
  std::set<std::string> used;
  const auto note = [&](const std::string& name) {
    const std::string key = nameKey(name);
    if (wanted.count(key)) used.insert(key);
  };
  for (const auto& inf : infs) {
    if (used.size() == wanted.size()) break;
    pump();
    note(inf);
    const auto path = LocateInf(machine.files(), infFolder, oemInfFolder, inf);
    if (!path) continue;
    const InfBackupSet set = InfBackupFileSet(machine, *path);
    for (const auto& name : set.Names) note(name);
    if (!set.CatalogFile.empty()) note(set.CatalogFile);
  }
  return used;
}

// Built step by step: the 32-bit compiler warns wrongly on '"' + text + '"'.
std::string quoted(const std::string& text) {
  std::string out(1, '"');
  out += text;
  out += '"';
  return out;
}

bool liesIn(const std::string& path, const std::vector<std::string>& folders) {
  const std::string folder = parentPath(path) + "\\";
  for (const auto& candidate : folders)
    if (equalsIgnoreCase(folder, candidate)) return true;
  return false;
}

// "C:\WINDOWS\x.sys" kept below a folder as "C\WINDOWS\x.sys".
std::string pathBelowFolder(const std::string& path) {
  std::string relative = path;
  if (relative.size() >= 2 && relative[1] == ':') relative.erase(1, 1);
  return relative;
}

// "base", else "base (2)", "base (3)" and so on: one folder per removal.
std::string freeFolder(FileSystem& files, const std::string& base) {
  for (int number = 1; number <= kMaxUndoFolders; ++number) {
    std::string candidate = number == 1 ? base : base + " (" + std::to_string(number) + ")";
    if (!files.exists(candidate)) return candidate;
  }
  return base;  // moves onto files already there fail, and those files are reported as kept
}

std::string joinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += "\n" + line;
  return text;
}

}  // namespace

// What the removal did, line by line for the memo; the failures again apart.
struct TForm1::RemovalReport {
  std::vector<std::string> lines;
  std::vector<std::string> failures;
  bool keysDeleted = false;
  bool infMissing = false;

  void add(const std::string& line) { lines.push_back(line); }
  void fail(const std::string& line) {
    lines.push_back(line);
    failures.push_back(line);
  }
};

void TForm1::Remove1Click() {
  if (ListView1.SelectedCount() == 0) {
    view_.showMessage(Text(Msg::SelectDriverToRemove));
    if (ListView1.Count() == 0) BitBtn8Click();
    return;
  }
  const size_t row = ListView1.NextSelected(0);
  const std::string description = ListView1.Text(row, 0);
  if (!view_.confirm(Text(Msg::RemoveConfirmCaption), formatMessage(Text(Msg::RemoveConfirm), {description}))) return;

  RemovalReport report;
  report.add(formatMessage(Text(Msg::RemovalReport), {description}));
  const std::string hardwareId = ListView1.Text(row, 5);
  if (AH.IsNTFamily() && !RunRemovalTool(hardwareId))
    report.fail(formatMessage(Text(Msg::RemovalToolNotStarted), {hardwareId}));

  SetStatus(Text(Msg::RemovalCollecting));
  const ClassKeys keys = DeleteClassKeys(machine_.registry(), AH.IsNTFamily() ? kNTClassRoot : k9xClassRoot, description);
  const std::string root = regRootName(kClassRootKey);
  for (const auto& key : keys.deleted) report.add(formatMessage(Text(Msg::ClassKeyDeleted), {root + key}));
  for (const auto& key : keys.failed) report.fail(formatMessage(Text(Msg::ClassKeyNotDeleted), {root + key}));
  if (keys.deleted.empty() && keys.failed.empty()) report.add(Text(Msg::NoClassKeyFound));
  report.keysDeleted = !keys.deleted.empty();

  // The backup's analysis finds the files; its panel is closed again at once.
  if (AnalyseRow(row)) {
    RemoveDriverFiles(row, keys.otherInfs, report);
    Button2Click();
  } else if (StopRequested) {
    report.fail(Text(Msg::RemovalSearchStopped));
  } else {
    report.add(Text(Msg::RemovalInfNotFound));
    report.infMissing = true;
  }
  FinishRemoval(report);
}

// The tool is started and not waited for; false when it could not be.
bool TForm1::RunRemovalTool(const std::string& hardwareId) {
  // A quote would end the parameter early and hand the tool words the registry chose.
  if (hardwareId.find('"') != std::string::npos) return false;
  const std::string windir = machine_.environment().get("windir").value_or("");
  const std::string tool = windir + "\\" + kRemovalTool;
  try {
    ZAZFileHolder4.ExtractFile(0, tool);
  } catch (const EStreamError&) {
    return false;
  }
  if (!machine_.files().exists(tool)) return false;
  return machine_.shell().execute("open", quoted(tool), quoted(upperCase(hardwareId)), windir, kShowNormal);
}

void TForm1::RemoveDriverFiles(size_t row, const std::vector<std::string>& otherInfs, RemovalReport& report) {
  const std::string windir = machine_.environment().get("windir").value_or("");
  std::vector<std::string> driverFolders = DriverSystemFolders(SearchFolders{windir, AH.IsNTFamily(), InfFolder});
  driverFolders.push_back(InfFolder);
  driverFolders.push_back(OemInfFolder);

  std::vector<std::string> candidates;
  std::set<std::string> seenPaths, wanted;
  for (const auto& path : DriverFileList) {
    if (!seenPaths.insert(upperCase(path)).second) continue;
    if (!liesIn(path, driverFolders)) {
      report.add(formatMessage(Text(Msg::OutsideFileKept), {path}));
      continue;
    }
    candidates.push_back(path);
    wanted.insert(nameKey(fileNamePart(path)));
  }
  const std::set<std::string> shared =
      NamesUsedBy(machine_, InfFolder, OemInfFolder, otherInfs, wanted, [this] { view_.processMessages(); });
  std::vector<std::string> doomed;
  for (const auto& path : candidates) {
    if (shared.count(nameKey(fileNamePart(path))))
      report.add(formatMessage(Text(Msg::SharedFileKept), {path}));
    else
      doomed.push_back(path);
  }
  if (!doomed.empty()) RecycleFiles(row, doomed, report);
}

// Into the recycle bin where the system has one. Elsewhere the files move
// into a folder of their own below the backup folder, each under its old
// path, so that the removal can be undone by hand.
void TForm1::RecycleFiles(size_t row, const std::vector<std::string>& paths, RemovalReport& report) {
  FileSystem& files = machine_.files();
  std::string keptIn;
  if (machine_.shell().hasRecycleBin()) {
    TAHMFileOperator recycler(machine_, opDeleteFile, {opAllowUndo, opNoConfirmation, opNoConfirmMkDir, opSilent});
    recycler.FilesFrom = paths;
    try {
      recycler.Execute();
    } catch (const EAHMFileOperator&) {
      // Whatever is still there is reported below.
    }
  } else {
    keptIn = UndoFolder(row);
    for (const auto& path : paths) {
      const std::string target = joinPath(keptIn, pathBelowFolder(path));
      if (files.forceDirectories(parentPath(target))) files.moveFile(path, target);
    }
  }
  bool anyDeleted = false;
  for (const auto& path : paths) {
    const bool gone = !files.exists(path);
    anyDeleted = anyDeleted || gone;
    if (gone)
      report.add(formatMessage(Text(Msg::DriverFileDeleted), {path}));
    else
      report.fail(formatMessage(Text(Msg::DriverFileNotDeleted), {path}));
  }
  if (anyDeleted)
    report.add(keptIn.empty() ? Text(Msg::DeletedFilesInRecycleBin) : formatMessage(Text(Msg::DeletedFilesKeptIn), {keptIn}));
}

std::string TForm1::UndoFolder(size_t row) {
  const std::string base = BackupAllFolder.empty() ? DefaultFolder : BackupAllFolder;
  const std::string name = DriverFolderNames().Next(ListView1.Text(row, 0), ListView1.Text(row, 1));
  return freeFolder(machine_.files(), joinPath(joinPath(base, kUndoFolderName), name));
}

// The list is collected again first, so that the account stays in the memo.
void TForm1::FinishRemoval(const RemovalReport& report) {
  LastRemovalIncomplete = !report.failures.empty();
  BitBtn8Click();
  ClearMemo();
  for (const auto& line : report.lines) AddMemoLine(line);
  if (!report.failures.empty()) {
    view_.showMessage(Text(Msg::RemovalIncomplete) + joinedLines(report.failures));
  } else if (report.infMissing) {
    view_.showMessage((report.keysDeleted ? Text(Msg::RegistryKeysRemoved) + "\n" : "") + Text(Msg::RemovalInfNotFound));
  } else {
    view_.showMessage(Text(Msg::DriverRemoved));
  }
}

}  // namespace korvane
