// Reads the uncompressed stream of one folder: its data blocks in one
// cabinet and, for a folder that goes on, in the cabinets that continue it.
// Blocks split between cabinets are joined, checksums are verified, and the
// stream is decoded forward; going back starts the folder over.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/cabinet/FdiIo.h"

namespace korvane::cab {

class BlockDecoder {
 public:
  virtual ~BlockDecoder() = default;
  // Decodes the next block of the folder into out (its declared size).
  virtual bool decode(ByteView encoded, std::span<uint8_t> out) = 0;
  virtual void reset() = 0;  // the folder starts over
};

// nullptr for a compression type that cannot be decoded.
std::unique_ptr<BlockDecoder> makeBlockDecoder(TCOMP type);

class FolderReader {
 public:
  using Sink = std::function<void(ByteView)>;
  // Opens the cabinet that continues the folder and adds it as a segment;
  // false if the folder ends here.
  using MoreSegments = std::function<bool()>;
  // Offered each folder's reserved area and each data block (decryption).
  using Decrypt = std::function<void(FDIDECRYPT&)>;

  FolderReader(FdiIo& io, std::unique_ptr<BlockDecoder> decoder, Decrypt decrypt, MoreSegments more);
  ~FolderReader();
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;

  void addSegment(CabinetFile& cab, size_t folder);
  // Hands [offset, offset + size) of the stream to sink, in pieces.
  void copy(uint64_t offset, uint64_t size, const Sink& sink);

 private:
  struct Segment {
    CabinetFile* cab;
    size_t folder;
  };

  void restart();
  bool nextBlock();
  bool enterNextSegment();
  void leaveSegment();
  void readRecord(bool& complete);

  FdiIo& io_;
  std::unique_ptr<BlockDecoder> decoder_;
  Decrypt decrypt_;
  MoreSegments more_;
  std::vector<Segment> segments_;
  size_t entered_ = 0;       // segments entered so far; the last is being read
  size_t recordsLeft_ = 0;   // in the segment being read
  uint64_t blockStart_ = 0;  // stream offset of block_
  Bytes block_;              // the block decoded last
  Bytes encoded_;            // the block being read, joined from its parts
  Bytes record_;
};

}  // namespace korvane::cab
