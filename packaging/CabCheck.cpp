#include "packaging/CabCheck.h"

#include <cstdint>
#include <vector>

namespace korvane {

namespace {

constexpr uint16_t kFlagPrevious = 0x1, kFlagNext = 0x2, kFlagReserve = 0x4;
constexpr uint16_t kFolderFromPrevious = 0xFFFD, kFolderToNext = 0xFFFE, kFolderBoth = 0xFFFF;
constexpr size_t kFileSize = 16, kDataSize = 8;
constexpr size_t kLongestName = 256;  // with its NUL

// Reads little-endian fields; every read past the end marks the reader failed.
class Fields {
 public:
  Fields(std::string_view bytes, size_t at) : bytes_(bytes), at_(at) {}
  bool ok() const { return ok_; }
  size_t at() const { return at_; }

  uint32_t take(size_t width) {
    if (!ok_ || at_ > bytes_.size() || bytes_.size() - at_ < width) {
      ok_ = false;
      return 0;
    }
    uint32_t value = 0;
    for (size_t k = 0; k < width; ++k) value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[at_ + k])) << (8 * k);
    at_ += width;
    return value;
  }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  uint32_t u32() { return take(4); }

  void skip(size_t count) {
    if (!ok_ || at_ > bytes_.size() || bytes_.size() - at_ < count) ok_ = false;
    at_ += ok_ ? count : 0;
  }

  void skipName() {
    const size_t end = ok_ && at_ < bytes_.size() ? bytes_.find('\0', at_) : std::string_view::npos;
    if (end == std::string_view::npos || end - at_ >= kLongestName) {
      ok_ = false;
      return;
    }
    at_ = end + 1;
  }

 private:
  std::string_view bytes_;
  size_t at_;
  bool ok_ = true;
};

// The cabinet format's block checksum: little-endian words XORed, the last
// partial word taken from its bytes in reverse order.
uint32_t checksum(std::string_view data, uint32_t seed) {
  uint32_t sum = seed;
  size_t k = 0;
  auto byte = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(data[at])); };
  for (; k + 4 <= data.size(); k += 4) sum ^= byte(k) | byte(k + 1) << 8 | byte(k + 2) << 16 | byte(k + 3) << 24;
  uint32_t last = 0;
  for (; k < data.size(); ++k) last = (last << 8) | byte(k);
  return sum ^ last;
}

struct Folder {
  uint32_t dataStart = 0;
  uint16_t blocks = 0;
  uint64_t uncompressed = 0;
};

// Walks a folder's data blocks; false when one leaves the file or fails its checksum.
bool checkBlocks(std::string_view bytes, Folder& folder, size_t dataReserve) {
  Fields in(bytes, folder.dataStart);
  for (uint16_t block = 0; block < folder.blocks; ++block) {
    const size_t start = in.at();
    const uint32_t sum = in.u32();
    const uint16_t stored = in.u16();
    const uint16_t uncompressed = in.u16();
    in.skip(dataReserve);
    const size_t payload = in.at();
    in.skip(stored);
    if (!in.ok()) return false;
    const std::string_view afterSum = bytes.substr(start + 4, kDataSize - 4 + dataReserve);
    if (sum != 0 && checksum(afterSum, checksum(bytes.substr(payload, stored), 0)) != sum) return false;
    folder.uncompressed += uncompressed;
  }
  return true;
}

}  // namespace

FDIERROR checkCabinet(std::string_view bytes) {
  Fields in(bytes, 0);
  if (bytes.substr(0, 4) != "MSCF") return FDIERROR_NOT_A_CABINET;
  in.skip(16);
  const uint32_t fileTable = in.u32();
  in.skip(4);
  const uint16_t version = in.u16();
  const uint16_t folderCount = in.u16();
  const uint16_t fileCount = in.u16();
  const uint16_t flags = in.u16();
  in.skip(4);
  if (!in.ok()) return FDIERROR_NOT_A_CABINET;
  if (version >> 8 != 1) return FDIERROR_UNKNOWN_CABINET_VERSION;
  size_t folderReserve = 0, dataReserve = 0;
  if (flags & kFlagReserve) {
    const uint16_t headerReserve = in.u16();
    folderReserve = in.take(1);
    dataReserve = in.take(1);
    in.skip(headerReserve);
  }
  if (flags & kFlagPrevious) {
    in.skipName();
    in.skipName();
  }
  if (flags & kFlagNext) {
    in.skipName();
    in.skipName();
  }
  std::vector<Folder> folders(folderCount);
  for (Folder& folder : folders) {
    folder.dataStart = in.u32();
    folder.blocks = in.u16();
    in.skip(2 + folderReserve);
  }
  if (!in.ok() || (fileCount > 0 && folderCount == 0)) return FDIERROR_CORRUPT_CABINET;
  for (Folder& folder : folders)
    if (!checkBlocks(bytes, folder, dataReserve)) return FDIERROR_CORRUPT_CABINET;

  Fields files(bytes, fileTable);
  for (uint16_t file = 0; file < fileCount; ++file) {
    const uint32_t size = files.u32();
    const uint32_t offset = files.u32();
    const uint16_t folderIndex = files.u16();
    files.skip(kFileSize - 10);
    files.skipName();
    if (!files.ok()) return FDIERROR_CORRUPT_CABINET;
    // Folders that go on in another cabinet are checked by the data there.
    if (folderIndex == kFolderFromPrevious || folderIndex == kFolderToNext || folderIndex == kFolderBoth) continue;
    if (folderIndex >= folders.size()) return FDIERROR_CORRUPT_CABINET;
    const bool continuesAtEdge = (folderIndex == 0 && (flags & kFlagPrevious)) ||
                                 (folderIndex + 1u == folders.size() && (flags & kFlagNext));
    if (!continuesAtEdge && uint64_t{offset} + size > folders[folderIndex].uncompressed) return FDIERROR_CORRUPT_CABINET;
  }
  return FDIERROR_NONE;
}

}  // namespace korvane
