#include "packaging/CabFiles.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include "packaging/CabSTConsts.h"
#include "platform/CabinetInterface.h"

namespace korvane {

namespace {

constexpr unsigned kFailedTransfer = UINT_MAX;  // what the library's read and write callbacks return on failure
constexpr size_t kLargestFile = INT32_MAX;       // the library's seek offsets are 32-bit

struct CabFile {
  FileSystem* files = nullptr;
  std::string path;
  std::unique_ptr<OpenFile> handle;
  uint64_t position = 0;
  bool read = false, write = false, deleteOnClose = false;
  // Of a file made by create: no one else writes it, so its size is known.
  std::optional<uint64_t> knownSize;
};

class Table {
 public:
  intptr_t add(CabFile file) {
    std::lock_guard<std::mutex> lock(mutex_);
    const intptr_t hf = next_++;  // never reused, never 0 or -1
    files_.emplace(hf, std::move(file));
    return hf;
  }

  // Runs work on the open file under the lock; nullopt for an unknown handle.
  template <typename Work>
  auto with(intptr_t hf, Work work) -> std::optional<decltype(work(std::declval<CabFile&>()))> {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = files_.find(hf);
    if (found == files_.end()) return std::nullopt;
    return work(found->second);
  }

  std::optional<CabFile> take(intptr_t hf) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = files_.find(hf);
    if (found == files_.end()) return std::nullopt;
    CabFile file = std::move(found->second);
    files_.erase(found);
    return file;
  }

  size_t size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.size();
  }

 private:
  std::mutex mutex_;
  std::map<intptr_t, CabFile> files_;
  intptr_t next_ = 1;
};

Table& table() {
  static Table files;
  return files;
}

bool truncates(CabDisposition disposition) {
  return disposition == CabDisposition::CreateNew || disposition == CabDisposition::CreateAlways ||
         disposition == CabDisposition::TruncateExisting;
}

bool needsExisting(CabDisposition disposition) {
  return disposition == CabDisposition::OpenExisting || disposition == CabDisposition::TruncateExisting;
}

uint32_t missingFileError(FileSystem& files, const std::string& path) {
  const std::string folder = parentPath(path);
  return folder.empty() || files.isDirectory(folder) ? kErrorFileNotFound : kErrorPathNotFound;
}

std::optional<uint64_t> sizeOf(CabFile& file) { return file.knownSize ? file.knownSize : file.handle->size(); }

// The error CreateFile gives for a file that cannot be opened as asked.
uint32_t openError(FileSystem& files, const std::string& path) {
  const std::optional<FileEntry> entry = files.stat(path);
  return entry ? kErrorAccessDenied : missingFileError(files, path);
}

// Checks the disposition against what is on disk and opens or creates the
// file as CreateFile would; an error code, or 0.
uint32_t prepare(FileSystem& files, const CabOpenMode& mode, CabFile& file) {
  // Reading what is there, the most common case, needs one look at the disk.
  if (!mode.write && mode.disposition == CabDisposition::OpenExisting) {
    file.handle = files.openFile(file.path, OpenFor::Reading);
    return file.handle ? 0 : openError(files, file.path);
  }
  const std::optional<FileEntry> entry = files.stat(file.path);
  if (entry && entry->isDirectory()) return kErrorAccessDenied;
  if (entry && mode.disposition == CabDisposition::CreateNew) return kErrorFileExists;
  if (!entry && needsExisting(mode.disposition)) return missingFileError(files, file.path);
  if (entry && mode.write && (entry->attributes & faReadOnly) != 0) return kErrorAccessDenied;
  if (!entry) {
    file.handle = files.openFile(file.path, OpenFor::NewFile);
    return file.handle ? 0 : openError(files, file.path);
  }
  // Emptied now, so that a file that cannot be written fails here.
  if (truncates(mode.disposition) && !files.writeFile(file.path, "")) return kErrorAccessDenied;
  file.handle = files.openFile(file.path, mode.write ? OpenFor::Writing : OpenFor::Reading);
  return file.handle ? 0u : uint32_t{kErrorAccessDenied};
}

}  // namespace

CabOpenMode cabOpenMode(int oflag) {
  CabOpenMode mode;
  const int access = oflag & (_O_WRONLY | _O_RDWR);
  mode.read = access != _O_WRONLY;
  mode.write = access != _O_RDONLY;
  const bool create = (oflag & _O_CREAT) != 0;
  if (create && (oflag & _O_EXCL) != 0) {
    mode.disposition = CabDisposition::CreateNew;
  } else if ((oflag & _O_TRUNC) != 0) {
    mode.disposition = create ? CabDisposition::CreateAlways : CabDisposition::TruncateExisting;
  } else {
    mode.disposition = create ? CabDisposition::OpenAlways : CabDisposition::OpenExisting;
  }
  mode.temporaryAttribute = create && (oflag & _O_SHORT_LIVED) != 0;
  mode.randomAccess = (oflag & _O_RANDOM) != 0;
  mode.sequentialScan = (oflag & _O_SEQUENTIAL) != 0;
  mode.deleteOnClose = create && (oflag & _O_TEMPORARY) != 0;
  mode.append = (oflag & _O_APPEND) != 0;
  return mode;
}

namespace CabFiles {

namespace {

intptr_t added(CabFile file, uint32_t& error) {
  try {
    return table().add(std::move(file));
  } catch (const std::bad_alloc&) {
    error = kErrorNotEnoughMemory;
    return -1;
  }
}

}  // namespace

intptr_t open(FileSystem& files, const std::string& path, const CabOpenMode& mode, uint32_t& error) {
  CabFile file;
  file.files = &files;
  file.path = path;
  file.read = mode.read;
  file.write = mode.write;
  file.deleteOnClose = mode.deleteOnClose;
  error = prepare(files, mode, file);
  if (error != 0) return -1;
  if (mode.append) file.position = file.handle->size().value_or(0);
  return added(std::move(file), error);
}

intptr_t create(FileSystem& files, const std::string& path, uint32_t& error) {
  CabFile file;
  file.files = &files;
  file.path = path;
  file.write = true;
  file.knownSize = 0;
  file.handle = files.openFile(path, OpenFor::NewFile);
  if (!file.handle && files.deleteFile(path)) file.handle = files.openFile(path, OpenFor::NewFile);
  if (!file.handle) {
    error = openError(files, path);
    return -1;
  }
  return added(std::move(file), error);
}

unsigned read(intptr_t hf, void* buffer, unsigned count, uint32_t& error) {
  const auto done = table().with(hf, [&](CabFile& file) -> unsigned {
    if (!file.read) {
      error = kErrorAccessDenied;
      return kFailedTransfer;
    }
    const std::optional<size_t> got = file.handle->readAt(file.position, buffer, count);
    if (!got) {
      error = kErrorReadFault;
      return kFailedTransfer;
    }
    file.position += *got;
    return static_cast<unsigned>(*got);
  });
  if (!done) error = kErrorInvalidHandle;
  return done.value_or(kFailedTransfer);
}

unsigned write(intptr_t hf, const void* buffer, unsigned count, uint32_t& error) {
  const auto done = table().with(hf, [&](CabFile& file) -> unsigned {
    if (!file.write) {
      error = kErrorAccessDenied;
      return kFailedTransfer;
    }
    if (file.position + count > kLargestFile || !file.handle->writeAt(file.position, buffer, count)) {
      error = kErrorWriteFault;
      return kFailedTransfer;
    }
    file.position += count;
    if (file.knownSize) file.knownSize = std::max(*file.knownSize, file.position);
    return count;
  });
  if (!done) error = kErrorInvalidHandle;
  return done.value_or(kFailedTransfer);
}

int32_t seek(intptr_t hf, int32_t distance, int origin, uint32_t& error) {
  const auto done = table().with(hf, [&](CabFile& file) -> int32_t {
    int64_t base = 0;
    switch (origin) {
      case SEEK_SET: break;
      case SEEK_CUR: base = static_cast<int64_t>(file.position); break;
      case SEEK_END: {
        const std::optional<uint64_t> size = sizeOf(file);
        if (!size) {
          error = kErrorReadFault;
          return -1;
        }
        base = static_cast<int64_t>(*size);
        break;
      }
      default: error = kErrorInvalidParameter; return -1;
    }
    const int64_t target = base + distance;
    if (target < 0 || target > static_cast<int64_t>(kLargestFile)) {
      error = target < 0 ? kErrorNegativeSeek : kErrorInvalidParameter;
      return -1;
    }
    file.position = static_cast<uint64_t>(target);
    return static_cast<int32_t>(target);
  });
  if (!done) error = kErrorInvalidHandle;
  return done.value_or(-1);
}

int close(intptr_t hf, uint32_t& error) {
  std::optional<CabFile> file = table().take(hf);
  if (!file) {
    error = kErrorInvalidHandle;
    return -1;
  }
  file->handle.reset();
  if (file->deleteOnClose) file->files->deleteFile(file->path);
  return 0;
}

std::optional<uint64_t> size(intptr_t hf) {
  const auto size = table().with(hf, [](CabFile& file) { return sizeOf(file); });
  return size ? *size : std::nullopt;
}

bool setFileTimes(intptr_t hf, int64_t fileTime) {
  return table().with(hf, [&](CabFile& file) { return file.handle->setFileTimes(fileTime); }).value_or(false);
}

void discard(intptr_t hf) { table().take(hf); }

size_t openCount() { return table().size(); }

}  // namespace CabFiles

}  // namespace korvane
