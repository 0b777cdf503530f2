// File access of the cabinet writer, through the caller's callbacks only.
// Failures throw FciFailure with the error code the caller chose for them.
#pragma once

#include <string>

#include "platform/CabinetInterface.h"
#include "platform/CabFormat.h"

namespace korvane::cab {

struct FciFailure {
  FCIERROR code = FCIERR_NONE;
  int systemError = 0;
  bool fatal = true;  // the context's state is lost: later calls fail too
};

[[noreturn]] void failFci(FCIERROR code, int systemError = 0);
// A failure found before anything changed: the context stays usable.
[[noreturn]] void refuseFci(FCIERROR code, int systemError = 0);

struct FciCallbacks {
  PFNFCIFILEPLACED filePlaced;
  PFNFCIALLOC alloc;
  PFNFCIFREE free;
  PFNFCIOPEN open;
  PFNFCIREAD read;
  PFNFCIWRITE write;
  PFNFCICLOSE close;
  PFNFCISEEK seek;
  PFNFCIDELETE remove;
  PFNFCIGETTEMPFILE tempFile;
  void* pv;
};

class FciIo {
 public:
  explicit FciIo(const FciCallbacks& callbacks) : cb_(callbacks) {}
  const FciCallbacks& callbacks() const { return cb_; }

  intptr_t open(const std::string& path, int flags, FCIERROR onFailure);
  void readExactly(intptr_t hf, uint8_t* buffer, size_t size, FCIERROR onFailure);
  size_t readSome(intptr_t hf, uint8_t* buffer, size_t size, FCIERROR onFailure);
  void write(intptr_t hf, ByteView data, FCIERROR onFailure);
  int32_t seek(intptr_t hf, int32_t distance, int origin, FCIERROR onFailure);
  void close(intptr_t hf, FCIERROR onFailure);
  void closeQuietly(intptr_t hf);
  void removeQuietly(const std::string& path);
  std::string temporaryName();

 private:
  FciCallbacks cb_;
};

// An open file that is closed when the object goes.
class FciHandle {
 public:
  FciHandle(FciIo& io, intptr_t hf) : io_(io), hf_(hf) {}
  ~FciHandle() {
    if (hf_ != -1) io_.closeQuietly(hf_);
  }
  FciHandle(const FciHandle&) = delete;
  FciHandle& operator=(const FciHandle&) = delete;
  intptr_t get() const { return hf_; }
  void close(FCIERROR onFailure);

 private:
  FciIo& io_;
  intptr_t hf_;
};

// A temporary file of the caller's choosing, removed when the object goes.
class FciTempFile {
 public:
  explicit FciTempFile(FciIo& io);
  ~FciTempFile();
  FciTempFile(const FciTempFile&) = delete;
  FciTempFile& operator=(const FciTempFile&) = delete;
  intptr_t get() const { return hf_; }

 private:
  FciIo& io_;
  std::string name_;
  intptr_t hf_ = -1;
};

}  // namespace korvane::cab
