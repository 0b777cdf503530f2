// The depth-first folder walk of the driver file search. Every folder's
// subfolders are walked before the folder's own files are looked at, so the
// first file found lies in the deepest, first-listed folder that holds it.
// Links and junctions to folders are not entered, so loops cannot hold it up.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {

// What a search needs from the window it runs in.
struct SearchWindow {
  std::function<void(const std::string& folder)> searchingFolder;  // each folder as its own files are looked at
  std::function<void()> processMessages;
  std::function<bool()> stopRequested;
};

class FolderWalk {
 public:
  // Called once per folder, after its subfolders. `folder` ends with a
  // backslash; `listing` is the folder's "*.*" listing of names (findNames)
  // when the walk took one, nullptr otherwise.
  using Visit = std::function<void(const std::string& folder, const std::vector<FileEntry>* listing)>;

  FolderWalk(FileSystem& files, const SearchWindow& window) : files_(files), window_(window) {}

  // Walks `folder` (ending with a backslash) and everything below it, leaving
  // out the folder `skipped` (no trailing backslash; empty for none) with its
  // subfolders. Returns false when Stop cut the walk short.
  bool run(const std::string& folder, const Visit& visit, const std::string& skipped = {});

  void processMessages() const;

 private:
  void walk(const std::string& folder, const Visit& visit, const std::string& skippedKey);
  std::vector<std::string> subfolders(const std::string& folder, std::vector<FileEntry>& listing, bool& listed);
  bool stopRequested() const { return window_.stopRequested && window_.stopRequested(); }

  FileSystem& files_;
  const SearchWindow& window_;
  bool stopped_ = false;
};

}  // namespace korvane
