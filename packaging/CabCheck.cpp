#include "packaging/CabCheck.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/CabFormat.h"

namespace korvane {

namespace {

using cab::ByteView;

constexpr size_t kWindowSize = size_t{1} << 20;  // many data blocks per read

// The cabinet's bytes seen through a window that moves forward as they are
// asked for; pieces larger than the window are read whole.
class CabinetWindow {
 public:
  CabinetWindow(OpenFile& file, uint64_t size) : file_(file), size_(size) {}
  uint64_t size() const { return size_; }

  // The bytes [offset, offset + count), fewer where the file ends first;
  // nullopt when it cannot be read.
  std::optional<ByteView> view(uint64_t offset, size_t count) {
    if (offset >= size_) return ByteView();
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
    if (offset < start_ || offset + count > start_ + bytes_.size()) {
      bytes_.resize(std::max(count, static_cast<size_t>(std::min<uint64_t>(kWindowSize, size_ - offset))));
      const std::optional<size_t> got = file_.readAt(offset, bytes_.data(), bytes_.size());
      if (!got) return std::nullopt;
      bytes_.resize(*got);
      start_ = offset;
      count = std::min(count, *got);
    }
    return ByteView(bytes_).subspan(static_cast<size_t>(offset - start_), count);
  }

 private:
  OpenFile& file_;
  uint64_t size_;
  uint64_t start_ = 0;
  cab::Bytes bytes_;
};

struct Folder {
  uint32_t dataStart = 0;
  uint16_t blocks = 0;
  uint64_t uncompressed = 0;
};

// Walks a folder's data blocks, adding up their uncompressed sizes; false
// when one leaves the file or fails its checksum.
bool checkBlocks(CabinetWindow& cabinet, Folder& folder, size_t dataReserve) {
  const size_t recordSize = cab::kDataFixedSize + dataReserve;
  uint64_t at = folder.dataStart;
  for (uint16_t block = 0; block < folder.blocks; ++block) {
    const std::optional<ByteView> record = cabinet.view(at, recordSize);
    if (!record || record->size() < recordSize) return false;
    const uint32_t sum = cab::load32(record->data());
    const uint16_t stored = cab::load16(record->data() + 4);
    const uint16_t uncompressed = cab::load16(record->data() + 6);
    // Seen together, so that both stay in the window.
    const std::optional<ByteView> whole = cabinet.view(at, recordSize + stored);
    if (!whole || whole->size() < recordSize + stored) return false;
    const ByteView payload = whole->subspan(recordSize);
    if (sum != 0 && cab::dataBlockChecksum(whole->subspan(4, recordSize - 4), payload) != sum) return false;
    folder.uncompressed += uncompressed;
    at += recordSize + stored;
  }
  return true;
}

FDIERROR headerError(cab::ParseError error) {
  switch (error) {
    case cab::ParseError::NotACabinet:
      return FDIERROR_NOT_A_CABINET;
    case cab::ParseError::UnknownVersion:
      return FDIERROR_UNKNOWN_CABINET_VERSION;
    case cab::ParseError::Corrupt:
      break;
  }
  return FDIERROR_CORRUPT_CABINET;
}

// Every file lies inside the data of its folder; a folder that goes on in
// another cabinet is checked by the data there.
bool filesInsideFolders(const std::vector<cab::FileEntry>& files, const std::vector<Folder>& folders,
                        const cab::Header& header) {
  for (const cab::FileEntry& file : files) {
    if (file.continuedFromPrev() || file.continuedToNext()) continue;
    if (file.iFolder >= folders.size()) return false;
    const bool continuesAtEdge = (file.iFolder == 0 && header.hasPrev()) ||
                                 (file.iFolder + 1u == folders.size() && header.hasNext());
    if (!continuesAtEdge && uint64_t{file.uoffFolderStart} + file.cbFile > folders[file.iFolder].uncompressed)
      return false;
  }
  return true;
}

}  // namespace

namespace {

FDIERROR checkCabinet(CabinetWindow& cabinet) {
  const std::optional<ByteView> head = cabinet.view(0, cab::kMaxHeaderSize);
  if (!head) return FDIERROR_NOT_A_CABINET;
  const cab::ParsedHeader parsed = cab::parseHeader(*head);
  if (!parsed.header) return headerError(parsed.error);
  const cab::Header header = *parsed.header;
  const std::optional<ByteView> folderTable =
      cabinet.view(header.encodedSize(), size_t{header.cFolders} * header.folderEntrySize());
  const auto entries = folderTable ? cab::parseFolders(*folderTable, header) : std::nullopt;
  if (!entries || (header.cFiles > 0 && header.cFolders == 0)) return FDIERROR_CORRUPT_CABINET;
  std::vector<Folder> folders;
  for (const cab::FolderEntry& entry : *entries) {
    folders.push_back({entry.coffCabStart, entry.cCFData});
    if (!checkBlocks(cabinet, folders.back(), header.cbDataReserve)) return FDIERROR_CORRUPT_CABINET;
  }
  const size_t largestFileTable = size_t{header.cFiles} * (cab::kFileFixedSize + cab::kMaxNameLength + 1);
  const std::optional<ByteView> fileTable = cabinet.view(header.coffFiles, largestFileTable);
  const auto files = fileTable ? cab::parseFiles(*fileTable, header.cFiles) : std::nullopt;
  if (!files || !filesInsideFolders(*files, folders, header)) return FDIERROR_CORRUPT_CABINET;
  return FDIERROR_NONE;
}

}  // namespace

FDIERROR checkCabinetFile(FileSystem& files, const std::string& path) {
  const std::unique_ptr<OpenFile> file = files.openFile(path, OpenFor::Reading);
  const std::optional<uint64_t> size = file ? file->size() : std::nullopt;
  if (!size) return FDIERROR_NONE;
  CabinetWindow cabinet(*file, *size);
  return checkCabinet(cabinet);
}

}  // namespace korvane
