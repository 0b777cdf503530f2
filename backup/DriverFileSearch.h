// Turns the bare file names of a driver's backup file set into paths of files
// on disk: the system, drivers and catalog folders first, then a depth-first
// search of the Windows folder tree, then of the whole drive.
//
// One object serves one command. With the index (the default) the first name
// that needs a search walks the tree once and files every name it meets; the
// later names are answered from that index, giving the same file the per-name
// walk would find. The index goes with the object.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "backup/FileNameIndex.h"
#include "backup/FolderWalk.h"
#include "platform/FileSystem.h"

namespace korvane {

// Where drivers live, as the main window knows it.
struct SearchFolders {
  std::string windowsFolder;  // the "windir" value
  bool ntFamily = true;       // System32 on the NT family, System on the 95 family
  std::string infFolder;      // InfFolder; its first three characters name the drive to search
};

// The system, drivers and catalog folders, in search order, each ending with
// a backslash; none without a Windows folder.
std::vector<std::string> DriverSystemFolders(const SearchFolders& folders);

enum class SearchMethod { Index, PerNameWalk };

class DriverFileSearch {
 public:
  DriverFileSearch(FileSystem& files, const SearchFolders& folders, SearchWindow window,
                   SearchMethod method = SearchMethod::Index);
  DriverFileSearch(const DriverFileSearch&) = delete;  // the walk holds on to the window
  DriverFileSearch& operator=(const DriverFileSearch&) = delete;

  struct Found {
    std::string path;
    bool bySearch = false;  // found by walking a tree, not in one of the three folders
  };
  // The file a name stands for; nullopt when it is found nowhere or is no
  // plain file name (a folder part, a wildcard, a device).
  std::optional<Found> Resolve(const std::string& fileName);

 private:
  struct SystemFolder {
    std::string path;  // ends with a backslash
    // With the index: the upper-cased long names and 8.3 aliases of the
    // folder's files, listed on first use.
    std::optional<std::unordered_set<std::string>> fileNames;
  };
  struct Tree {
    std::string root;  // ends with a backslash; empty when there is nothing to search
    std::optional<FileNameIndex> index;
  };

  std::optional<std::string> inSystemFolders(const std::string& fileName);
  bool holdsFile(SystemFolder& folder, const std::string& fileName);
  std::optional<std::string> inTree(Tree& tree, const std::string& fileName);
  std::optional<std::string> firstHitOfWalk(const Tree& tree, const std::string& fileName);
  std::optional<std::string> firstHitOfIndex(Tree& tree, const std::string& fileName);
  bool isFile(const std::string& path);

  FileSystem& files_;
  SearchWindow window_;
  FolderWalk walk_;
  SearchMethod method_;
  std::vector<SystemFolder> systemFolders_;
  Tree windowsTree_;
  Tree driveTree_;
};

}  // namespace korvane
