#include "packaging/CabCheck.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/CabFormat.h"

namespace korvane {

namespace {

using cab::ByteView;

struct Folder {
  uint32_t dataStart = 0;
  uint16_t blocks = 0;
  uint64_t uncompressed = 0;
};

// Walks a folder's data blocks, adding up their uncompressed sizes; false
// when one leaves the file or fails its checksum.
bool checkBlocks(ByteView bytes, Folder& folder, size_t dataReserve) {
  const size_t recordSize = cab::kDataFixedSize + dataReserve;
  size_t at = folder.dataStart;
  for (uint16_t block = 0; block < folder.blocks; ++block) {
    if (at > bytes.size() || bytes.size() - at < recordSize) return false;
    const ByteView record = bytes.subspan(at, recordSize);
    const uint32_t sum = cab::load32(record.data());
    const uint16_t stored = cab::load16(record.data() + 4);
    if (bytes.size() - at - recordSize < stored) return false;
    const ByteView payload = bytes.subspan(at + recordSize, stored);
    if (sum != 0 && cab::dataBlockChecksum(record.subspan(4), payload) != sum) return false;
    folder.uncompressed += cab::load16(record.data() + 6);
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

FDIERROR checkCabinet(std::string_view text) {
  const ByteView bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const cab::ParsedHeader parsed = cab::parseHeader(bytes);
  if (!parsed.header) return headerError(parsed.error);
  const cab::Header& header = *parsed.header;
  const auto entries = cab::parseFolders(bytes.subspan(header.encodedSize()), header);
  if (!entries || (header.cFiles > 0 && header.cFolders == 0)) return FDIERROR_CORRUPT_CABINET;
  std::vector<Folder> folders;
  for (const cab::FolderEntry& entry : *entries) {
    folders.push_back({entry.coffCabStart, entry.cCFData});
    if (!checkBlocks(bytes, folders.back(), header.cbDataReserve)) return FDIERROR_CORRUPT_CABINET;
  }
  const auto files = cab::parseFiles(bytes.subspan(std::min<size_t>(header.coffFiles, bytes.size())), header.cFiles);
  if (!files || !filesInsideFolders(*files, folders, header)) return FDIERROR_CORRUPT_CABINET;
  return FDIERROR_NONE;
}

}  // namespace korvane
