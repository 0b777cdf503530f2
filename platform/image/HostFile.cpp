#include "platform/image/HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace korvane {

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970 in 100 ns units

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

  bool setFileTimes(int64_t fileTime) override {
    timespec times[2];
    return ::futimens(descriptor_, writeTimeOnly(fileTime, times)) == 0;
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

int64_t fileTimeOf(const timespec& time) {
  return int64_t{time.tv_sec} * kUnitsPerSecond + time.tv_nsec / 100 + kEpochDifference;
}

timespec hostTimeOf(int64_t fileTime) {
  const int64_t since1970 = fileTime - kEpochDifference;
  int64_t seconds = since1970 / kUnitsPerSecond, units = since1970 % kUnitsPerSecond;
  if (units < 0) --seconds, units += kUnitsPerSecond;  // before 1970: nanoseconds still count up
  return timespec{static_cast<time_t>(seconds), static_cast<long>(units * 100)};
}

const timespec* writeTimeOnly(int64_t fileTime, timespec (&times)[2]) {
  times[0] = timespec{0, UTIME_OMIT};
  times[1] = hostTimeOf(fileTime);
  return times;
}

}  // namespace korvane
