#include "backup/FolderWalk.h"

#include "platform/Text.h"

namespace korvane {

namespace {

bool isDriveRoot(const std::string& folder) { return folder.size() == 3 && folder[1] == ':'; }

std::string folderKey(const std::string& folder) { return upperCase(withoutTrailingBackslash(folder)); }

}  // namespace

bool FolderWalk::run(const std::string& folder, const Visit& visit, const std::string& skipped) {
  stopped_ = false;
  walk(folder, visit, skipped.empty() ? std::string() : folderKey(skipped));
  return !stopped_;
}

void FolderWalk::processMessages() const {
  if (window_.processMessages) window_.processMessages();
}

void FolderWalk::walk(const std::string& folder, const Visit& visit, const std::string& skippedKey) {
  std::vector<FileEntry> listing;
  bool listed = false;
  for (const auto& name : subfolders(folder, listing, listed)) {
    const std::string subfolder = folder + name + "\\";
    if (skippedKey.empty() || folderKey(subfolder) != skippedKey) walk(subfolder, visit, skippedKey);
  }
  processMessages();
  if (window_.searchingFolder) window_.searchingFolder(folder);
  processMessages();
  visit(folder, listed ? &listing : nullptr);
}

// The folder's subfolders in listing order. After Stop a listing ends with
// the entry in hand: that is "." in every folder but a drive's root, so no
// new folder is entered below the root's first entry.
std::vector<std::string> FolderWalk::subfolders(const std::string& folder, std::vector<FileEntry>& listing,
                                                bool& listed) {
  const bool stopping = stopRequested();
  stopped_ = stopped_ || stopping;
  if (stopping && !isDriveRoot(folder)) return {};
  listing = files_.findNames(folder + "*.*");
  listed = true;
  std::vector<std::string> names;
  for (const auto& entry : listing) {
    if (entry.isFolderToWalk()) names.push_back(entry.name);
    if (stopping) break;
  }
  return names;
}

}  // namespace korvane
