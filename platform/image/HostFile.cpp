#include "platform/image/HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace korvane {

namespace {

class HostFile : public OpenFile {
 public:
  explicit HostFile(int descriptor) : descriptor_(descriptor) {}
  ~HostFile() override { ::close(descriptor_); }
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  std::optional<size_t> readAt(uint64_t offset, void* buffer, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(descriptor_, static_cast<char*>(buffer) + done, count - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::nullopt;
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return done;
  }

  bool writeAt(uint64_t offset, const void* buffer, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t put = ::pwrite(descriptor_, static_cast<const char*>(buffer) + done, count - done,
                                   static_cast<off_t>(offset + done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += static_cast<size_t>(put);
    }
    return true;
  }

  std::optional<uint64_t> size() override {
    struct stat status;
    if (::fstat(descriptor_, &status) != 0) return std::nullopt;
    return static_cast<uint64_t>(status.st_size);
  }

 private:
  int descriptor_;
};

}  // namespace

std::unique_ptr<OpenFile> openHostFile(const std::filesystem::path& host, int flags) {
  const int descriptor = ::open(host.c_str(), flags | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  // A file made just now is one; anything else may be a folder or a device.
  const bool made = (flags & O_CREAT) != 0 && (flags & O_EXCL) != 0;
  struct stat status;
  if (!made && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
    ::close(descriptor);
    return nullptr;
  }
  return std::make_unique<HostFile>(descriptor);
}

}  // namespace korvane
