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

struct OpenFile {
  FileSystem* files = nullptr;
  std::string path;
  std::string bytes;
  size_t position = 0;
  bool read = false, write = false, deleteOnClose = false;
  bool changed = false;
  bool replaces = false;  // made by create: a new file takes the old one's place
};

class Table {
 public:
  intptr_t add(OpenFile file) {
    std::lock_guard<std::mutex> lock(mutex_);
    const intptr_t hf = next_++;  // never reused, never 0 or -1
    files_.emplace(hf, std::move(file));
    return hf;
  }

  // Runs work on the open file under the lock; nullopt for an unknown handle.
  template <typename Work>
  auto with(intptr_t hf, Work work) -> std::optional<decltype(work(std::declval<OpenFile&>()))> {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = files_.find(hf);
    if (found == files_.end()) return std::nullopt;
    return work(found->second);
  }

  std::optional<OpenFile> take(intptr_t hf) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = files_.find(hf);
    if (found == files_.end()) return std::nullopt;
    OpenFile file = std::move(found->second);
    files_.erase(found);
    return file;
  }

  size_t size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.size();
  }

 private:
  std::mutex mutex_;
  std::map<intptr_t, OpenFile> files_;
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

// Checks the disposition against what is on disk and loads or creates the
// file's bytes as CreateFile would; an error code, or 0.
uint32_t prepare(FileSystem& files, const CabOpenMode& mode, OpenFile& file) {
  // Reading what is there, the most common case, needs one look at the disk.
  if (!mode.write && mode.disposition == CabDisposition::OpenExisting) {
    if (std::optional<std::string> bytes = files.readFile(file.path)) {
      file.bytes = std::move(*bytes);
      return 0;
    }
  }
  const std::optional<FileEntry> entry = files.stat(file.path);
  if (entry && entry->isDirectory()) return kErrorAccessDenied;
  if (entry && mode.disposition == CabDisposition::CreateNew) return kErrorFileExists;
  if (!entry && needsExisting(mode.disposition)) return missingFileError(files, file.path);
  if (entry && mode.write && (entry->attributes & faReadOnly) != 0) return kErrorAccessDenied;
  if (entry && !truncates(mode.disposition)) {
    std::optional<std::string> bytes = files.readFile(file.path);
    if (!bytes) return kErrorAccessDenied;
    file.bytes = std::move(*bytes);
    return 0;
  }
  // Created or emptied now, so that a file that cannot be written fails here.
  if (!files.writeFile(file.path, "")) return entry ? kErrorAccessDenied : missingFileError(files, file.path);
  return 0;
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

intptr_t open(FileSystem& files, const std::string& path, const CabOpenMode& mode, uint32_t& error) {
  try {
    OpenFile file;
    file.files = &files;
    file.path = path;
    file.read = mode.read;
    file.write = mode.write;
    file.deleteOnClose = mode.deleteOnClose;
    error = prepare(files, mode, file);
    if (error != 0) return -1;
    if (mode.append) file.position = file.bytes.size();
    return table().add(std::move(file));
  } catch (const std::bad_alloc&) {
    error = kErrorNotEnoughMemory;
    return -1;
  }
}

intptr_t create(FileSystem& files, const std::string& path, uint32_t& error, uint32_t expectedSize) {
  // A hostile cabinet may announce anything: the hint is capped.
  constexpr uint32_t kLargestHint = uint32_t{64} << 20;
  try {
    OpenFile file;
    file.files = &files;
    file.path = path;
    file.bytes.reserve(std::min(expectedSize, kLargestHint));
    file.write = true;
    file.changed = true;  // written when closed, also when it stays empty
    file.replaces = true;
    return table().add(std::move(file));
  } catch (const std::bad_alloc&) {
    error = kErrorNotEnoughMemory;
    return -1;
  }
}

intptr_t adopt(FileSystem& files, const std::string& path, std::string bytes, uint32_t& error) {
  try {
    OpenFile file;
    file.files = &files;
    file.path = path;
    file.bytes = std::move(bytes);
    file.read = true;
    return table().add(std::move(file));
  } catch (const std::bad_alloc&) {
    error = kErrorNotEnoughMemory;
    return -1;
  }
}

unsigned read(intptr_t hf, void* buffer, unsigned count, uint32_t& error) {
  const auto done = table().with(hf, [&](OpenFile& file) -> unsigned {
    if (!file.read) {
      error = kErrorAccessDenied;
      return kFailedTransfer;
    }
    const size_t available = file.position < file.bytes.size() ? file.bytes.size() - file.position : 0;
    const size_t size = std::min<size_t>(count, available);
    if (size > 0) std::memcpy(buffer, file.bytes.data() + file.position, size);
    file.position += size;
    return static_cast<unsigned>(size);
  });
  if (!done) error = kErrorInvalidHandle;
  return done.value_or(kFailedTransfer);
}

unsigned write(intptr_t hf, const void* buffer, unsigned count, uint32_t& error) {
  const auto done = table().with(hf, [&](OpenFile& file) -> unsigned {
    if (!file.write) {
      error = kErrorAccessDenied;
      return kFailedTransfer;
    }
    if (file.position + count > kLargestFile) {
      error = kErrorWriteFault;
      return kFailedTransfer;
    }
    try {
      if (file.bytes.size() < file.position + count) file.bytes.resize(file.position + count);
    } catch (const std::bad_alloc&) {
      error = kErrorNotEnoughMemory;
      return kFailedTransfer;
    }
    if (count > 0) std::memcpy(file.bytes.data() + file.position, buffer, count);
    file.position += count;
    file.changed = true;
    return count;
  });
  if (!done) error = kErrorInvalidHandle;
  return done.value_or(kFailedTransfer);
}

int32_t seek(intptr_t hf, int32_t distance, int origin, uint32_t& error) {
  const auto done = table().with(hf, [&](OpenFile& file) -> int32_t {
    int64_t base = 0;
    switch (origin) {
      case SEEK_SET: break;
      case SEEK_CUR: base = static_cast<int64_t>(file.position); break;
      case SEEK_END: base = static_cast<int64_t>(file.bytes.size()); break;
      default: error = kErrorInvalidParameter; return -1;
    }
    const int64_t target = base + distance;
    if (target < 0 || target > static_cast<int64_t>(kLargestFile)) {
      error = target < 0 ? kErrorNegativeSeek : kErrorInvalidParameter;
      return -1;
    }
    file.position = static_cast<size_t>(target);
    return static_cast<int32_t>(target);
  });
  if (!done) error = kErrorInvalidHandle;
  return done.value_or(-1);
}

int close(intptr_t hf, uint32_t& error) {
  std::optional<OpenFile> file = table().take(hf);
  if (!file) {
    error = kErrorInvalidHandle;
    return -1;
  }
  if (file->deleteOnClose) {
    file->files->deleteFile(file->path);
    return 0;
  }
  // Other names of the old file (hard links, perhaps outside the target
  // folder) keep their bytes: the old file goes, a new one is written.
  if (file->replaces) file->files->deleteFile(file->path);
  if (file->changed && !file->files->writeFile(file->path, file->bytes)) {
    error = kErrorWriteFault;
    return -1;
  }
  return 0;
}

std::optional<size_t> size(intptr_t hf) {
  return table().with(hf, [](OpenFile& file) { return file.bytes.size(); });
}

void discard(intptr_t hf) { table().take(hf); }

size_t openCount() { return table().size(); }

}  // namespace CabFiles

}  // namespace korvane
