// A backup folder tree as restoring reads it: every entry below the folder,
// the files among them that go back into Windows, and the copy of those
// files into the Windows folder's sub-folders.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "platform/FileSystem.h"

namespace korvane {

// One entry the scan found.
struct ScanEntry {
  std::string Caption;    // the full path
  std::string Extension;  // without the dot
  std::string Folder;     // without the trailing backslash
};

// What the window sees while a scan runs.
struct ScanProgress {
  std::function<void(const std::string& folder)> folderReached;  // before the folder's own entries are listed
  std::function<void()> processMessages;
};

// Folders end in a backslash. A folder's sub-folders are scanned before its
// own entries; links to folders are not followed, and a path too long for
// Windows' plain calls ends the scan below it. Entries are appended to list
// in the order found.
void ScanFolderTree(FileSystem& files, const std::string& folder, const std::string& mask, const ScanProgress& progress,
                    std::vector<ScanEntry>& list);
void ListFolderFiles(FileSystem& files, const std::string& folder, const std::string& mask,
                     const ScanProgress& progress, std::vector<ScanEntry>& list);

// The files of the scan list that are restored: existing files, without the
// descriptors Setup.DIY.
std::vector<std::string> FilesToRestore(FileSystem& files, const std::vector<ScanEntry>& list);

// Whether the folder holds the Windows folder or lies inside it: a backup is
// restored from its own folder, never from the system itself.
bool IsSystemFolderTree(const std::string& windowsFolder, const std::string& folder);

// The Options and Options\Cabs folders of the Windows folder made where
// missing, and Options made the current folder; failures do not matter.
void PrepareOptionsFolder(FileSystem& files, const std::string& windowsFolder);

// The files copied by the copier into windowsFolder\destination for each
// destination ("INF\", ...); every destination is tried. The target folders
// that did not get every file, in the order tried.
std::vector<std::string> CopyIntoWindowsFolders(TAHMFileOperator& copier, const std::vector<std::string>& files,
                                                const std::string& windowsFolder,
                                                const std::vector<std::string>& destinations);

}  // namespace korvane
