// The file system of a machine image: Windows paths on drive letters mapped
// to host folders, names matched without regard to case as on Windows.
#pragma once

#include <filesystem>
#include <functional>
#include <ios>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/image/FolderListing.h"

namespace korvane {

class ImageFileSystem : public FileSystem {
 public:
  ImageFileSystem(std::map<char, std::filesystem::path> drives, std::string currentDirectory, std::string tempFolder);

  bool exists(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  std::optional<FileEntry> stat(const std::string& path) override;
  std::vector<FileEntry> find(const std::string& pattern) override;
  // Sizes and times left out: no stat but for links, whose kind needs one.
  std::vector<FileEntry> findNames(const std::string& pattern) override;
  bool createDirectory(const std::string& path) override;
  bool removeDirectory(const std::string& path) override;
  bool deleteFile(const std::string& path) override;
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool moveFile(const std::string& from, const std::string& to) override;
  bool setAttributes(const std::string& path, uint32_t attributes) override;
  // Only the last-write time has a host equivalent.
  bool setFileTimes(const std::string& path, int64_t fileTime) override;
  // An image has no time zone of its own: its local time is UTC.
  int64_t localFileTime(int64_t utcTime) override { return utcTime; }
  int64_t utcFileTime(int64_t localTime) override { return localTime; }
  std::optional<std::string> readFile(const std::string& path) override;
  bool writeFile(const std::string& path, const std::string& bytes) override;
  std::optional<std::string> readFilePart(const std::string& path, uint64_t offset, size_t length) override;
  bool appendFile(const std::string& path, const std::string& bytes) override;
  std::unique_ptr<OpenFile> openFile(const std::string& path, OpenFor purpose) override;
  std::string currentDirectory() override { return current_; }
  bool setCurrentDirectory(const std::string& path) override;
  std::optional<std::string> shortPathName(const std::string& path) override;
  std::string tempPath() override { return temp_; }
  std::optional<std::string> tempFileName(const std::string& folder, const std::string& prefix) override;
  // By the host files the paths lead to, links and shares followed.
  bool sameFile(const std::string& first, const std::string& second) override;

  // What a path names, in the one lookup that exists and isDirectory each
  // take; a link to a folder is a folder.
  enum class Found { Nothing, File, Folder };
  Found lookup(const std::string& path);

  // The absolute Windows form of a path: drive or "\\host\share", no "." or
  // "..", backslashes. nullopt for names Windows refuses.
  std::optional<std::string> fullPath(const std::string& path) const;
  // The host file or folder a Windows path stands for (it need not exist).
  std::optional<std::filesystem::path> hostPath(const std::string& path) const;
  // While connected, "\\host\share\rest" stands for rest in the folder.
  void connectShare(const std::string& share, std::filesystem::path folder);
  // Nothing inside the host folder is changed any more, whatever path leads
  // there: a Windows disk that is only read.
  void protect(const std::filesystem::path& folder);
  bool disconnectShare(const std::string& share);

 private:
  // A Windows path on the host: what is there, if anything, and the listing
  // of the folder it lies in (nullptr when that is no folder).
  struct Resolved {
    std::filesystem::path host;
    std::optional<EntryKind> kind;
    FolderListing* folder = nullptr;
    bool isFolder() const;
  };
  // How the folders on the way to the last one are looked at: as kept, the
  // last folder's stat telling whether the way still stands; all of them as
  // kept, for a folder whose own listing's stat tells that; or each checked
  // by a stat of its own.
  enum class Way { Kept, Listed, Checked };
  // Each part of the path in turn: as given, the entry's host name (or the
  // part again where nothing matches) and the listing of its folder.
  using Step = std::function<void(const std::string& part, const std::string& name, FolderListing* folder)>;
  std::optional<Resolved> resolve(const std::string& path, Way way = Way::Kept, const Step& step = {}) const;
  // A path to change: resolved, or nullopt when it lies in a protected folder.
  std::optional<Resolved> resolveToChange(const std::string& path) const;
  // Where a host path really leads, links followed; nullopt when that cannot
  // be told. Existing folders are resolved once each: a backup writes many
  // files into few folders, and Korvane itself never makes a link.
  std::optional<std::filesystem::path> realPlace(const std::filesystem::path& host) const;
  // The listing of the folder a Windows path names, checked by its own stat
  // alone; nullptr when it names no folder.
  FolderListing* listedFolder(const std::string& folder, std::filesystem::path& host) const;
  std::vector<FileEntry> findEntries(const std::string& pattern, bool namesOnly);
  // Whether a file may be made at a resolved path: its folder is one and nothing is there yet.
  static bool canCreate(const Resolved& at) { return at.folder && !at.kind; }
  // Removes a host entry and takes it out of its folder's listing.
  bool removeEntry(const std::filesystem::path& host);
  bool writeBytes(const std::string& path, const std::string& bytes, std::ios::openmode mode);

  // The host folder of a path's root ("C:" or "\\host\share"), if the image has it.
  std::optional<std::filesystem::path> rootFolder(const std::string& root) const;

  std::map<char, std::filesystem::path> drives_;
  std::map<std::string, std::filesystem::path> shares_;  // connected, by upper-cased name
  std::vector<std::filesystem::path> protected_;         // canonical
  mutable std::unordered_map<std::string, std::filesystem::path> realFolders_;  // by host path, when protected_ is set
  std::string current_;
  std::string temp_;
  // Lookups read the host folders through it; a cache, so const lookups fill it.
  mutable FolderCache folders_;
};

}  // namespace korvane
