#include "restore/BackupFolderScan.h"

#include "platform/Text.h"

namespace korvane {

namespace {

// Longer paths cannot be opened by Windows' plain calls; nothing below them is reachable.
constexpr size_t kMaxPath = 260;

std::string extensionOf(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string withFinalBackslash(const std::string& path) { return path.empty() || path.back() == '\\' ? path : path + "\\"; }

void call(const std::function<void()>& callback) {
  if (callback) callback();
}

}  // namespace

void ScanFolderTree(FileSystem& files, const std::string& folder, const std::string& mask, const ScanProgress& progress,
                    std::vector<ScanEntry>& list) {
  if (folder.size() >= kMaxPath) return;
  std::vector<std::string> subFolders;
  for (const FileEntry& entry : files.find(folder + "*.*"))
    if (entry.isFolderToWalk()) subFolders.push_back(entry.name);
  for (const std::string& name : subFolders) ScanFolderTree(files, folder + name + "\\", mask, progress, list);
  if (progress.folderReached) progress.folderReached(folder);
  call(progress.processMessages);
  ListFolderFiles(files, folder, mask, progress, list);
}

void ListFolderFiles(FileSystem& files, const std::string& folder, const std::string& mask,
                     const ScanProgress& progress, std::vector<ScanEntry>& list) {
  for (const FileEntry& entry : files.find(folder + mask)) {
    list.push_back({folder + entry.name, extensionOf(entry.name), withoutTrailingBackslash(folder)});
    call(progress.processMessages);
  }
}

std::vector<std::string> FilesToRestore(FileSystem& files, const std::vector<ScanEntry>& list) {
  std::vector<std::string> paths;
  for (const ScanEntry& entry : list) {
    const std::string& path = entry.Caption;
    if (path.empty() || path.back() == '.' || path.find(".DIY") != std::string::npos) continue;
    const auto found = files.stat(path);
    if (found && !found->isDirectory()) paths.push_back(path);
  }
  return paths;
}

bool IsSystemFolderTree(const std::string& windowsFolder, const std::string& folder) {
  const std::string windows = withFinalBackslash(upperCase(windowsFolder));
  const std::string chosen = withFinalBackslash(upperCase(folder));
  if (windows.size() <= 1) return false;
  return chosen.starts_with(windows) || windows.starts_with(chosen);
}

void PrepareOptionsFolder(FileSystem& files, const std::string& windowsFolder) {
  const std::string options = windowsFolder + "\\Options";
  files.createDirectory(options);
  files.createDirectory(options + "\\Cabs");
  files.setCurrentDirectory(options);
}

std::vector<std::string> CopyIntoWindowsFolders(TAHMFileOperator& copier, const std::vector<std::string>& files,
                                                const std::string& windowsFolder,
                                                const std::vector<std::string>& destinations) {
  std::vector<std::string> failed;
  copier.FilesFrom = files;
  copier.DirFrom.clear();
  for (const std::string& destination : destinations) {
    copier.DirTo = windowsFolder + "\\" + destination;
    bool done = false;
    try {
      done = copier.Execute();
    } catch (const EAHMFileOperator&) {
      done = false;
    }
    if (!done) failed.push_back(copier.DirTo);
  }
  return failed;
}

}  // namespace korvane
