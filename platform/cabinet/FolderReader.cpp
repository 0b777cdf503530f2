#include "platform/cabinet/FolderReader.h"

#include <algorithm>

#include "platform/cabinet/Lzx.h"
#include "platform/cabinet/MsZip.h"

namespace korvane::cab {

namespace {

class StoredDecoder : public BlockDecoder {
 public:
  bool decode(ByteView encoded, std::span<uint8_t> out) override {
    if (encoded.size() != out.size()) return false;
    std::copy(encoded.begin(), encoded.end(), out.begin());
    return true;
  }
  void reset() override {}
};

// MS-ZIP blocks refer back into the 32 KiB before them.
class MsZipFolderDecoder : public BlockDecoder {
 public:
  bool decode(ByteView encoded, std::span<uint8_t> out) override {
    if (!decoder_.decode(history_, encoded, out)) return false;
    if (out.size() >= kMsZipHistory) {
      history_.assign(out.end() - kMsZipHistory, out.end());
    } else {
      history_.insert(history_.end(), out.begin(), out.end());
      if (history_.size() > kMsZipHistory)
        history_.erase(history_.begin(), history_.end() - static_cast<std::ptrdiff_t>(kMsZipHistory));
    }
    return true;
  }
  void reset() override { history_.clear(); }

 private:
  MsZipDecoder decoder_;
  Bytes history_;
};

}  // namespace

std::unique_ptr<BlockDecoder> makeBlockDecoder(TCOMP type) {
  switch (CompressionTypeFromTCOMP(type)) {
    case tcompTYPE_NONE: return std::make_unique<StoredDecoder>();
    case tcompTYPE_MSZIP: return std::make_unique<MsZipFolderDecoder>();
    case tcompTYPE_LZX: return makeLzxDecoder(LZXCompressionWindowFromTCOMP(type));
    default: return nullptr;
  }
}

FolderReader::FolderReader(FdiIo& io, std::unique_ptr<BlockDecoder> decoder, Decrypt decrypt, MoreSegments more)
    : io_(io), decoder_(std::move(decoder)), decrypt_(std::move(decrypt)), more_(std::move(more)) {}

FolderReader::~FolderReader() { leaveSegment(); }

void FolderReader::addSegment(CabinetFile& cab, size_t folder) { segments_.push_back({&cab, folder}); }

void FolderReader::copy(uint64_t offset, uint64_t size, const Sink& sink) {
  if (size == 0) return;
  if (offset < blockStart_) restart();
  while (size > 0) {
    while (offset >= blockStart_ + block_.size())
      if (!nextBlock()) failFdi(FDIERROR_CORRUPT_CABINET);  // the file reaches past the folder's data
    size_t from = static_cast<size_t>(offset - blockStart_);
    size_t count = static_cast<size_t>(std::min<uint64_t>(size, block_.size() - from));
    sink(ByteView(block_).subspan(from, count));
    offset += count;
    size -= count;
  }
}

void FolderReader::restart() {
  leaveSegment();
  entered_ = 0;
  recordsLeft_ = 0;
  blockStart_ = 0;
  block_.clear();
  decoder_->reset();
}

bool FolderReader::nextBlock() {
  blockStart_ += block_.size();
  block_.clear();
  encoded_.clear();
  for (bool complete = false; !complete;) {
    if (recordsLeft_ == 0 && !enterNextSegment()) {
      if (!encoded_.empty()) failFdi(FDIERROR_CORRUPT_CABINET);  // a split block without its end
      return false;
    }
    readRecord(complete);
  }
  return true;
}

// Reads one data record; complete is false for the first part of a block
// that continues in the next cabinet.
void FolderReader::readRecord(bool& complete) {
  CabinetFile& cab = *segments_[entered_ - 1].cab;
  size_t headerSize = cab.header().dataHeaderSize();
  record_.resize(headerSize);
  io_.readExactly(cab.handle(), record_.data(), headerSize, FDIERROR_CORRUPT_CABINET);
  uint32_t sum = load32(record_.data());
  uint16_t stored = load16(record_.data() + 4);
  uint16_t uncompressed = load16(record_.data() + 6);
  size_t partial = encoded_.size();
  if (uncompressed > kMaxUncompressedBlock || partial + stored > kMaxCompressedBlock)
    failFdi(FDIERROR_CORRUPT_CABINET);
  encoded_.resize(partial + stored);
  std::span<uint8_t> payload(encoded_.data() + partial, stored);
  io_.readExactly(cab.handle(), payload.data(), stored, FDIERROR_CORRUPT_CABINET);
  if (sum != 0 && dataBlockChecksum(ByteView(record_).subspan(4), payload) != sum) failFdi(FDIERROR_CORRUPT_CABINET);
  --recordsLeft_;
  complete = uncompressed != 0;
  if (decrypt_) {
    FDIDECRYPT request{};
    request.fdidt = fdidtDECRYPT;
    request.decrypt.pDataReserve = record_.data() + kDataFixedSize;
    request.decrypt.cbDataReserve = cab.header().cbDataReserve;
    request.decrypt.pbData = payload.data();
    request.decrypt.cbData = stored;
    request.decrypt.fSplit = !complete;
    request.decrypt.cbPartial = static_cast<uint16_t>(partial);
    decrypt_(request);
  }
  if (!complete) {
    if (recordsLeft_ != 0) failFdi(FDIERROR_CORRUPT_CABINET);  // only a segment's last block can be split
    return;
  }
  block_.resize(uncompressed);
  if (!decoder_->decode(encoded_, block_)) failFdi(FDIERROR_MDI_FAIL);
}

bool FolderReader::enterNextSegment() {
  if (entered_ >= segments_.size() && !(more_ && more_())) return false;
  if (entered_ >= segments_.size()) return false;
  leaveSegment();
  const Segment& segment = segments_[entered_++];
  CabinetFile& cab = *segment.cab;
  const FolderEntry& folder = cab.folders()[segment.folder];
  io_.seek(cab.handle(), folder.coffCabStart, FDIERROR_CORRUPT_CABINET);
  recordsLeft_ = folder.cCFData;
  if (decrypt_) {
    FDIDECRYPT request{};
    request.fdidt = fdidtNEW_FOLDER;
    ByteView reserve = cab.folderReserve(segment.folder);
    request.folder.pFolderReserve = const_cast<uint8_t*>(reserve.data());
    request.folder.cbFolderReserve = static_cast<uint16_t>(reserve.size());
    request.folder.iFolder = static_cast<uint16_t>(segment.folder);
    decrypt_(request);
  }
  return true;
}

void FolderReader::leaveSegment() {
  if (entered_ > 0 && entered_ <= segments_.size()) segments_[entered_ - 1].cab->release();
}

}  // namespace korvane::cab
