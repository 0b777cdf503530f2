// The file system through the W functions.
#include "platform/win32/Win32Util.h"

#include <algorithm>
#include <new>
#include <vector>

namespace korvane::win32 {

namespace {

int64_t fileTime(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME toFileTime(int64_t time) {
  const auto units = static_cast<uint64_t>(time);
  return FILETIME{static_cast<DWORD>(units & 0xFFFFFFFFu), static_cast<DWORD>(units >> 32)};
}

// Creation and last-write time alike, as an extracted or copied file has them.
bool setCreationAndWriteTime(HANDLE file, int64_t fileTime) {
  const FILETIME time = toFileTime(fileTime);
  return SetFileTime(file, &time, nullptr, &time) != FALSE;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

FileEntry entryOf(const WIN32_FIND_DATAW& data) {
  FileEntry entry;
  entry.name = narrow(data.cFileName);
  entry.shortName = narrow(data.cAlternateFileName);
  entry.attributes = data.dwFileAttributes;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.writeTime = fileTime(data.ftLastWriteTime);
  return entry;
}

bool isDotEntry(const wchar_t* name) { return std::wstring_view(name) == L"." || std::wstring_view(name) == L".."; }

bool writeAll(HANDLE file, const std::string& bytes) {
  for (size_t written = 0; written < bytes.size();) {
    const DWORD portion = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
    DWORD done = 0;
    if (!WriteFile(file, bytes.data() + written, portion, &done, nullptr) || done == 0) return false;
    written += done;
  }
  return true;
}

// Positions through SetFilePointer, which every Windows has; reads and
// writes are cut into portions a DWORD holds.
class Win32OpenFile : public OpenFile {
 public:
  explicit Win32OpenFile(HANDLE handle) : file_(handle) {}

  std::optional<size_t> readAt(uint64_t offset, void* buffer, size_t count) override {
    if (!moveTo(offset)) return std::nullopt;
    size_t done = 0;
    while (done < count) {
      DWORD got = 0;
      if (!ReadFile(file_.get(), static_cast<char*>(buffer) + done, portion(count - done), &got, nullptr))
        return std::nullopt;
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  bool writeAt(uint64_t offset, const void* buffer, size_t count) override {
    if (!moveTo(offset)) return false;
    for (size_t done = 0; done < count;) {
      DWORD put = 0;
      if (!WriteFile(file_.get(), static_cast<const char*>(buffer) + done, portion(count - done), &put, nullptr) ||
          put == 0)
        return false;
      done += put;
    }
    return true;
  }

  std::optional<uint64_t> size() override {
    DWORD high = 0;
    const DWORD low = GetFileSize(file_.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
    return (static_cast<uint64_t>(high) << 32) | low;
  }

  bool setFileTimes(int64_t fileTime) override { return setCreationAndWriteTime(file_.get(), fileTime); }

 private:
  static DWORD portion(size_t left) { return static_cast<DWORD>(std::min<size_t>(left, 1u << 20)); }

  bool moveTo(uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file_.get(), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
  }

  FileHandle file_;
};

class Win32FileSystem : public FileSystem {
 public:
  bool exists(const std::string& path) override { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

  bool isDirectory(const std::string& path) override {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  std::optional<FileEntry> stat(const std::string& path) override {
    if (path.find_first_of("*?") != std::string::npos) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(native(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    FileEntry entry;
    entry.attributes = data.dwFileAttributes;
    entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.writeTime = fileTime(data.ftLastWriteTime);
    entry.name = fileNamePart(withoutTrailingBackslash(path));
    // The name as stored, with its short alias (a drive's root has neither).
    const std::vector<FileEntry> found = find(withoutTrailingBackslash(path));
    if (found.size() == 1) {
      entry.name = found.front().name;
      entry.shortName = found.front().shortName;
    }
    return entry;
  }

  std::vector<FileEntry> find(const std::string& pattern) override {
    std::vector<FileEntry> entries;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileExW(native(pattern).c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
      if (!isDotEntry(data.cFileName)) entries.push_back(entryOf(data));
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return entries;
  }

  bool createDirectory(const std::string& path) override {
    return CreateDirectoryW(native(path).c_str(), nullptr) != FALSE;
  }
  bool removeDirectory(const std::string& path) override { return RemoveDirectoryW(native(path).c_str()) != FALSE; }
  bool deleteFile(const std::string& path) override { return DeleteFileW(native(path).c_str()) != FALSE; }

  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return CopyFileW(native(from).c_str(), native(to).c_str(), failIfExists) != FALSE;
  }
  bool moveFile(const std::string& from, const std::string& to) override {
    return MoveFileW(native(from).c_str(), native(to).c_str()) != FALSE;
  }
  bool setAttributes(const std::string& path, uint32_t attributes) override {
    return SetFileAttributesW(native(path).c_str(), attributes) != FALSE;
  }

  bool setFileTimes(const std::string& path, int64_t fileTime) override {
    FileHandle file(CreateFileW(native(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && setCreationAndWriteTime(file.get(), fileTime);
  }

  int64_t localFileTime(int64_t utcTime) override {
    const FILETIME utc = toFileTime(utcTime);
    FILETIME local{};
    return FileTimeToLocalFileTime(&utc, &local) ? fileTime(local) : utcTime;
  }

  int64_t utcFileTime(int64_t localTime) override {
    const FILETIME local = toFileTime(localTime);
    FILETIME utc{};
    return LocalFileTimeToFileTime(&local, &utc) ? fileTime(utc) : localTime;
  }

  std::optional<std::string> readFile(const std::string& path) override {
    FileHandle file(CreateFileW(native(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    // Read to the end rather than trust the size: the file may change meanwhile.
    std::string bytes;
    char chunk[65536];
    try {
      for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) return bytes;
        if (bytes.size() + got > maxReadSize) return std::nullopt;
        bytes.append(chunk, got);
      }
    } catch (const std::bad_alloc&) {
      return std::nullopt;  // a 32-bit process runs out of room long before the limit
    }
  }

  bool writeFile(const std::string& path, const std::string& bytes) override {
    FileHandle file(CreateFileW(native(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    return file.valid() && writeAll(file.get(), bytes);
  }

  std::optional<std::string> readFilePart(const std::string& path, uint64_t offset, size_t length) override {
    FileHandle file(CreateFileW(native(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!file.valid() || !SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string bytes(std::min<size_t>(length, 1u << 24), '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return std::nullopt;
    bytes.resize(got);
    return bytes;
  }

  bool appendFile(const std::string& path, const std::string& bytes) override {
    FileHandle file(CreateFileW(native(path).c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && writeAll(file.get(), bytes);
  }

  std::unique_ptr<OpenFile> openFile(const std::string& path, OpenFor purpose) override {
    const DWORD access = purpose == OpenFor::Reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = purpose == OpenFor::Reading ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    const DWORD disposition = purpose == OpenFor::NewFile ? CREATE_NEW : OPEN_EXISTING;
    const HANDLE handle =
        CreateFileW(native(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32OpenFile>(handle);
  }

  std::string currentDirectory() override {
    return redirect_.fromNative(narrow(fillGrowing([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); }, 0)));
  }
  bool setCurrentDirectory(const std::string& path) override {
    return SetCurrentDirectoryW(native(path).c_str()) != FALSE;
  }

  std::optional<std::string> shortPathName(const std::string& path) override {
    const std::wstring longPath = native(path);
    auto shortPath = nonEmpty(fillGrowing(
        [&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(longPath.c_str(), buffer, size); }, 0));
    if (!shortPath) return std::nullopt;
    return redirect_.fromNative(*shortPath);
  }

  std::string tempPath() override {
    const std::string path = narrow(fillGrowing([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }, 0));
    return path.empty() || path.back() == '\\' ? path : path + "\\";
  }

  std::optional<std::string> tempFileName(const std::string& folder, const std::string& prefix) override {
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(native(folder).c_str(), wide(prefix).c_str(), 0, name)) return std::nullopt;
    return redirect_.fromNative(narrow(name));
  }

  // By the volume and the file's number there, which no spelling changes.
  bool sameFile(const std::string& first, const std::string& second) override {
    const auto firstId = identityOf(first), secondId = identityOf(second);
    if (!firstId || !secondId) return FileSystem::sameFile(first, second);
    return firstId->dwVolumeSerialNumber == secondId->dwVolumeSerialNumber &&
           firstId->nFileIndexHigh == secondId->nFileIndexHigh && firstId->nFileIndexLow == secondId->nFileIndexLow;
  }

 private:
  // Larger files are not Korvane's: INF files, settings, drivers.
  static constexpr size_t maxReadSize = size_t{1} << 30;

  std::optional<BY_HANDLE_FILE_INFORMATION> identityOf(const std::string& path) const {
    // No access asked for: only the file's identity is read.
    FileHandle file(CreateFileW(native(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &information)) return std::nullopt;
    return information;
  }
  std::wstring native(const std::string& path) const { return wide(redirect_.toNative(path)); }
  DWORD attributesOf(const std::string& path) const { return GetFileAttributesW(native(path).c_str()); }

  const SystemFolderRedirect& redirect_ = SystemFolderRedirect::instance();
};

}  // namespace

std::unique_ptr<FileSystem> makeFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace korvane::win32
