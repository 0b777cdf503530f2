#include "platform/cabinet/FciIo.h"

#include <algorithm>
#include <climits>

namespace korvane::cab {

namespace {

constexpr int kTempNameSize = 260;
constexpr size_t kLargestCall = 1u << 30;

}  // namespace

void failFci(FCIERROR code, int systemError) { throw FciFailure{code, systemError, true}; }

void refuseFci(FCIERROR code, int systemError) { throw FciFailure{code, systemError, false}; }

intptr_t FciIo::open(const std::string& path, int flags, FCIERROR onFailure) {
  std::string name = path;
  int error = 0;
  intptr_t hf = cb_.open(name.data(), flags, _S_IREAD | _S_IWRITE, &error, cb_.pv);
  if (hf == -1) failFci(onFailure, error);
  return hf;
}

size_t FciIo::readSome(intptr_t hf, uint8_t* buffer, size_t size, FCIERROR onFailure) {
  int error = 0;
  unsigned wanted = static_cast<unsigned>(std::min(size, kLargestCall));
  unsigned got = cb_.read(hf, buffer, wanted, &error, cb_.pv);
  if (got == UINT_MAX || got > wanted) failFci(onFailure, error);
  return got;
}

void FciIo::readExactly(intptr_t hf, uint8_t* buffer, size_t size, FCIERROR onFailure) {
  while (size > 0) {
    size_t got = readSome(hf, buffer, size, onFailure);
    if (got == 0) failFci(onFailure);  // the file ended early
    buffer += got;
    size -= got;
  }
}

void FciIo::write(intptr_t hf, ByteView data, FCIERROR onFailure) {
  while (!data.empty()) {
    unsigned wanted = static_cast<unsigned>(std::min(data.size(), kLargestCall));
    int error = 0;
    if (cb_.write(hf, const_cast<uint8_t*>(data.data()), wanted, &error, cb_.pv) != wanted)
      failFci(onFailure, error);
    data = data.subspan(wanted);
  }
}

int32_t FciIo::seek(intptr_t hf, int32_t distance, int origin, FCIERROR onFailure) {
  int error = 0;
  int32_t position = cb_.seek(hf, distance, origin, &error, cb_.pv);
  if (position < 0) failFci(onFailure, error);
  return position;
}

void FciIo::close(intptr_t hf, FCIERROR onFailure) {
  int error = 0;
  if (cb_.close(hf, &error, cb_.pv) != 0) failFci(onFailure, error);
}

void FciIo::closeQuietly(intptr_t hf) {
  int error = 0;
  cb_.close(hf, &error, cb_.pv);
}

void FciIo::removeQuietly(const std::string& path) {
  std::string name = path;
  int error = 0;
  cb_.remove(name.data(), &error, cb_.pv);
}

std::string FciIo::temporaryName() {
  char name[kTempNameSize] = {};
  if (!cb_.tempFile(name, kTempNameSize, cb_.pv)) failFci(FCIERR_TEMP_FILE);
  name[kTempNameSize - 1] = 0;
  return name;
}

void FciHandle::close(FCIERROR onFailure) {
  intptr_t hf = hf_;
  hf_ = -1;
  io_.close(hf, onFailure);
}

FciTempFile::FciTempFile(FciIo& io) : io_(io), name_(io.temporaryName()) {
  hf_ = io_.open(name_, _O_RDWR | _O_BINARY | _O_CREAT | _O_EXCL | _O_SHORT_LIVED, FCIERR_TEMP_FILE);
}

FciTempFile::~FciTempFile() {
  io_.closeQuietly(hf_);
  io_.removeQuietly(name_);
}

}  // namespace korvane::cab
