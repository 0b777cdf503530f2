#include "backup/DriverFileSearch.h"

#include "platform/Text.h"

namespace korvane {

namespace {

// "C:\" of "C:\WINDOWS\Inf\"; empty when the folder names no drive.
std::string driveRootOf(const std::string& folder) {
  if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\') return {};
  return folder.substr(0, 3);
}

}  // namespace

std::vector<std::string> DriverSystemFolders(const SearchFolders& folders) {
  const std::string windows = withoutTrailingBackslash(folders.windowsFolder);
  if (windows.empty()) return {};
  const std::string system = windows + (folders.ntFamily ? "\\System32\\" : "\\System\\");
  return {system, system + "drivers\\", system + "CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\"};
}

DriverFileSearch::DriverFileSearch(FileSystem& files, const SearchFolders& folders, SearchWindow window,
                                   SearchMethod method)
    : files_(files), window_(std::move(window)), walk_(files_, window_), method_(method) {
  for (std::string& folder : DriverSystemFolders(folders)) systemFolders_.push_back({std::move(folder), std::nullopt});
  const std::string windows = withoutTrailingBackslash(folders.windowsFolder);
  if (!windows.empty()) windowsTree_.root = windows + "\\";
  driveTree_.root = driveRootOf(folders.infFolder);
}

std::optional<DriverFileSearch::Found> DriverFileSearch::Resolve(const std::string& fileName) {
  // "x.sys " (a name followed by a comment in an INF) is "x.sys" everywhere.
  const std::string name = withoutTrailingDotsAndSpaces(fileName);
  // A name with a folder part could reach outside the system folders, and a
  // wildcard would pick whatever file happens to match first.
  if (!nameStaysInFolder(name)) return std::nullopt;
  if (auto path = inSystemFolders(name)) return Found{*path, false};
  if (auto path = inTree(windowsTree_, name)) return Found{*path, true};
  if (auto path = inTree(driveTree_, name)) return Found{*path, true};
  return std::nullopt;
}

std::optional<std::string> DriverFileSearch::inSystemFolders(const std::string& fileName) {
  for (auto& folder : systemFolders_)
    if (holdsFile(folder, fileName)) return folder.path + fileName;
  return std::nullopt;
}

// With the index a system folder is listed once for the whole command: on
// some file systems every test for a missing name costs a listing anyway.
bool DriverFileSearch::holdsFile(SystemFolder& folder, const std::string& fileName) {
  if (method_ == SearchMethod::PerNameWalk) return isFile(folder.path + fileName);
  if (!folder.fileNames) {
    folder.fileNames.emplace();
    for (const auto& entry : files_.findNames(folder.path + "*.*")) {
      if (entry.isDirectory()) continue;
      folder.fileNames->insert(upperCase(entry.name));
      if (!entry.shortName.empty()) folder.fileNames->insert(upperCase(entry.shortName));
    }
  }
  return folder.fileNames->count(upperCase(fileName)) != 0;
}

// A folder of that name is no driver file: copying it would take the whole tree.
bool DriverFileSearch::isFile(const std::string& path) {
  const auto entry = files_.stat(path);
  return entry && !entry->isDirectory();
}

std::optional<std::string> DriverFileSearch::inTree(Tree& tree, const std::string& fileName) {
  if (tree.root.empty()) return std::nullopt;
  return method_ == SearchMethod::Index ? firstHitOfIndex(tree, fileName) : firstHitOfWalk(tree, fileName);
}

std::optional<std::string> DriverFileSearch::firstHitOfWalk(const Tree& tree, const std::string& fileName) {
  std::vector<std::string> hits;
  walk_.run(tree.root, [&](const std::string& folder, const std::vector<FileEntry>*) {
    for (const auto& entry : files_.find(folder + fileName)) {
      if (entry.isDirectory()) continue;
      hits.push_back(folder + entry.name);
      walk_.processMessages();
    }
  });
  if (hits.empty()) return std::nullopt;
  return hits.front();
}

// Builds the tree's index on first use. A walk cut short by Stop answers the
// name in hand from what it saw, as the per-name walk would, and is not kept.
std::optional<std::string> DriverFileSearch::firstHitOfIndex(Tree& tree, const std::string& fileName) {
  if (tree.index) return tree.index->firstPath(fileName);
  // A name reaches the drive only when the Windows tree has no file of that
  // name, so a complete Windows index lets the drive walk leave that tree out.
  const bool skipWindows = &tree == &driveTree_ && windowsTree_.index.has_value();
  FileNameIndex index;
  const bool complete = walk_.run(
      tree.root,
      [&](const std::string& folder, const std::vector<FileEntry>* listing) {
        index.addFolder(folder, listing ? *listing : files_.findNames(folder + "*.*"));
      },
      skipWindows ? windowsTree_.root : std::string());
  auto found = index.firstPath(fileName);
  if (complete) tree.index = std::move(index);
  return found;
}

}  // namespace korvane
