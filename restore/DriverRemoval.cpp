#include "restore/DriverRemoval.h"

#include <algorithm>
#include <set>

#include "backup/DriverFolder.h"
#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "inventory/InfReader.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr const char* kUndoFolderName = "Removed";
constexpr int kMaxUndoFolders = 999;

// A file name as Windows matches it: without regard to case, and without the
// dots and spaces that a path's last name may end with.
std::string nameKey(const std::string& name) { return upperCase(name.substr(0, name.find_last_not_of(". ") + 1)); }

// The names among wanted that the backup file sets of these INFs name, the
// INFs themselves included. Reading stops once every wanted name is found.
std::set<std::string> NamesUsedBy(Machine& machine, const RemovalFolders& folders,
                                  const std::vector<std::string>& infs, const std::set<std::string>& wanted,
                                  const std::function<void()>& processMessages) {
  std::set<std::string> used;
  const auto note = [&](const std::string& name) {
    const std::string key = nameKey(name);
    if (wanted.count(key)) used.insert(key);
  };
  for (const auto& inf : infs) {
    if (used.size() == wanted.size()) break;
    if (processMessages) processMessages();
    note(inf);
    const auto path = LocateInf(machine.files(), folders.system.infFolder, folders.oemInfFolder, inf);
    if (!path) continue;
    const InfBackupSet set = InfBackupFileSet(machine, *path);
    for (const auto& name : set.Names) note(name);
    if (!set.CatalogFile.empty()) note(set.CatalogFile);
  }
  return used;
}

bool liesIn(const std::string& path, const std::vector<std::string>& folders) {
  const std::string folder = parentPath(path) + "\\";
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& candidate) { return equalsIgnoreCase(folder, candidate); });
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

std::string undoFolder(FileSystem& files, const UndoPlace& undo) {
  const std::string name = DriverFolderNames().Next(undo.description, undo.infName);
  return freeFolder(files, joinPath(joinPath(undo.base, kUndoFolderName), name));
}

void recycle(Machine& machine, const std::vector<std::string>& paths) {
  TAHMFileOperator recycler(machine, opDeleteFile, {opAllowUndo, opNoConfirmation, opNoConfirmMkDir, opSilent});
  recycler.FilesFrom = paths;
  try {
    recycler.Execute();
  } catch (const EAHMFileOperator&) {
    // Whatever is still there is reported as kept.
  }
}

void moveBelow(FileSystem& files, const std::vector<std::string>& paths, const std::string& folder) {
  for (const auto& path : paths) {
    const std::string target = joinPath(folder, pathBelowFolder(path));
    if (files.forceDirectories(parentPath(target))) files.moveFile(path, target);
  }
}

}  // namespace

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

RemovalChoice ChooseFilesToRemove(Machine& machine, const RemovalFolders& folders,
                                  const std::vector<std::string>& driverFiles,
                                  const std::vector<std::string>& otherInfs,
                                  const std::function<void()>& processMessages) {
  std::vector<std::string> driverFolders = DriverSystemFolders(folders.system);
  driverFolders.push_back(folders.system.infFolder);
  driverFolders.push_back(folders.oemInfFolder);

  RemovalChoice choice;
  std::vector<std::string> candidates;
  std::set<std::string> seenPaths, wanted;
  for (const auto& path : driverFiles) {
    if (!seenPaths.insert(upperCase(path)).second) continue;
    if (!liesIn(path, driverFolders)) {
      choice.outside.push_back(path);
      continue;
    }
    candidates.push_back(path);
    wanted.insert(nameKey(fileNamePart(path)));
  }
  const std::set<std::string> used = NamesUsedBy(machine, folders, otherInfs, wanted, processMessages);
  for (const auto& path : candidates)
    (used.count(nameKey(fileNamePart(path))) ? choice.shared : choice.chosen).push_back(path);
  return choice;
}

bool FileRemoval::anyRemoved() const {
  return std::any_of(files.begin(), files.end(), [](const RemovedFile& file) { return file.removed; });
}

FileRemoval RemoveFiles(Machine& machine, const std::vector<std::string>& paths, const UndoPlace& undo) {
  FileSystem& files = machine.files();
  FileRemoval removal;
  if (machine.shell().hasRecycleBin()) {
    recycle(machine, paths);
  } else {
    removal.undoFolder = undoFolder(files, undo);
    moveBelow(files, paths, removal.undoFolder);
  }
  for (const auto& path : paths) removal.files.push_back({path, !files.exists(path)});
  return removal;
}

}  // namespace korvane
