// The file system through Windows paths ("C:\WINDOWS\Inf\oem3.inf"), on both
// builds. Names compare without regard to case.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

enum FileAttribute : uint32_t {
  faReadOnly = 0x1, faHidden = 0x2, faSystem = 0x4, faDirectory = 0x10, faArchive = 0x20, faNormal = 0x80,
  faReparsePoint = 0x400  // a symbolic link or junction
};

struct FileEntry {
  std::string name;        // long name, no folder
  std::string shortName;   // 8.3 alias, empty when the long name is already one
  uint32_t attributes = 0;
  uint64_t size = 0;
  int64_t writeTime = 0;   // FILETIME: 100 ns units since 1601-01-01 UTC
  bool isDirectory() const { return (attributes & faDirectory) != 0; }
  bool isLink() const { return (attributes & faReparsePoint) != 0; }
  // A folder that walks go into. Links and junctions are left out: they may
  // lead back up the tree (every Windows profile holds such loops) or onto
  // another disk, and what they lead to is walked where it really lies.
  bool isFolderToWalk() const { return isDirectory() && !isLink(); }
};

// A file held open and read or written at any offset, a block at a time:
// for files too large to hold at once. Closed when it goes.
class OpenFile {
 public:
  virtual ~OpenFile() = default;
  // Up to count bytes from offset, fewer at the end, none past it; nullopt on failure.
  virtual std::optional<size_t> readAt(uint64_t offset, void* buffer, size_t count) = 0;
  // All count bytes at offset; a file shorter than offset grows with zeros first.
  virtual bool writeAt(uint64_t offset, const void* buffer, size_t count) = 0;
  virtual std::optional<uint64_t> size() = 0;
  // As FileSystem::setFileTimes, through the open file: no second lookup of
  // its path, and the file's writes are done by then.
  virtual bool setFileTimes(int64_t fileTime) = 0;
};

enum class OpenFor {
  Reading,   // an existing file
  Writing,   // an existing file, read and written
  NewFile,   // made now, empty, read and written; fails when anything is at the path
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool exists(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  virtual std::optional<FileEntry> stat(const std::string& path) = 0;
  // FindFirstFile semantics: wildcards "*" and "?" in the last component only,
  // matched without regard to case; "." and ".." are never returned.
  virtual std::vector<FileEntry> find(const std::string& pattern) = 0;
  // find for walks that look at names only: each entry's names and whether it
  // is a folder or a link are right, its size, time and other attributes may
  // be left out where that saves reading them.
  virtual std::vector<FileEntry> findNames(const std::string& pattern) { return find(pattern); }

  virtual bool createDirectory(const std::string& path) = 0;  // one level
  // Must be empty, unless it is a link, which goes alone: what it leads to stays.
  virtual bool removeDirectory(const std::string& path) = 0;
  virtual bool deleteFile(const std::string& path) = 0;  // a link goes itself, not what it leads to
  virtual bool copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual bool moveFile(const std::string& from, const std::string& to) = 0;
  virtual bool setAttributes(const std::string& path, uint32_t attributes) = 0;
  // Sets a file's creation and last-write times (FILETIME, UTC).
  virtual bool setFileTimes(const std::string& path, int64_t fileTime) = 0;
  // FILETIME conversions between UTC and the machine's local time.
  virtual int64_t localFileTime(int64_t utcTime) = 0;
  virtual int64_t utcFileTime(int64_t localTime) = 0;

  virtual std::optional<std::string> readFile(const std::string& path) = 0;
  virtual bool writeFile(const std::string& path, const std::string& bytes) = 0;
  // For files too large to hold at once: up to length bytes from offset
  // (fewer at the end, none past it), and bytes added to a file's end.
  virtual std::optional<std::string> readFilePart(const std::string& path, uint64_t offset, size_t length) = 0;
  virtual bool appendFile(const std::string& path, const std::string& bytes) = 0;
  // nullptr when the file cannot be opened so (or is a folder).
  virtual std::unique_ptr<OpenFile> openFile(const std::string& path, OpenFor purpose) = 0;

  virtual std::string currentDirectory() = 0;
  virtual bool setCurrentDirectory(const std::string& path) = 0;
  virtual std::optional<std::string> shortPathName(const std::string& path) = 0;
  virtual std::string tempPath() = 0;  // with a trailing backslash
  // A new empty file "<folder>\<prefix>XXXX.tmp", created; nullopt on failure.
  virtual std::optional<std::string> tempFileName(const std::string& folder, const std::string& prefix) = 0;

  // Whether two paths name one file however they are spelled: case, short
  // names, "." and "..", a share and the folder it stands for. Compared by
  // name alone, without regard to case, where either is not there.
  virtual bool sameFile(const std::string& first, const std::string& second);

  // Creates every missing folder of the path.
  bool forceDirectories(const std::string& path);
  // The bytes written under a temporary name beside the path, which they
  // replace only once they are all on disk: a failed write leaves the old
  // file, or none, and never a short one.
  bool replaceFileWhole(const std::string& path, const std::string& bytes);
};

// Path helpers for Windows paths, usable on any build.
std::string joinPath(const std::string& folder, const std::string& name);
std::string parentPath(const std::string& path);   // "C:\A\b.txt" -> "C:\A"
std::string fileNamePart(const std::string& path);  // "C:\A\b.txt" -> "b.txt"
std::string withoutTrailingBackslash(const std::string& path);
// The parts between the separators ("\\" and "/"), empty ones included.
std::vector<std::string> pathParts(const std::string& path);
// The full path of a name as the system expands it against the current
// folder: drive or share, no "." or ".." parts, backslashes.
std::string fullPathName(FileSystem& files, const std::string& name);
// A name as Windows stores it: the spaces and dots that end it are dropped
// ("x.sys " is "x.sys"); empty for a name made of them only.
std::string withoutTrailingDotsAndSpaces(std::string_view name);
// Whether one name (no folder part) is one Windows opens as a device, with
// any extension: "CON", "nul.txt", "COM1", "LPT².log".
bool isDeviceName(std::string_view name);
// One name, without folder, that joined to a folder names a file inside it:
// not empty, no separator, drive or stream, none of the characters names
// cannot hold, no device name, and not ending in a dot or a space (Windows
// would shorten "..." to "..", "a." to "a"). For names from outside: cabinet
// entries, names a server gives.
bool nameStaysInFolder(std::string_view name);
// FindFirstFile-style wildcard match, case-insensitive.
bool wildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace korvane
