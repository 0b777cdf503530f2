// MS-ZIP data blocks: "CK" followed by one raw deflate stream that ends in a
// final block. A block's history is the uncompressed data before it in its
// folder, so a compressor or decompressor is given up to 32 KiB of it.
#pragma once

#include <zlib.h>

#include "platform/CabFormat.h"

namespace korvane::cab {

constexpr size_t kMsZipHistory = 32768;
// Upper bound of an encoded block: 32 KiB in a stored deflate block plus the
// signature and framing.
constexpr size_t kMsZipMaxEncoded = kMaxUncompressedBlock + 12;

class MsZipEncoder {
 public:
  MsZipEncoder();
  ~MsZipEncoder();
  MsZipEncoder(const MsZipEncoder&) = delete;
  MsZipEncoder& operator=(const MsZipEncoder&) = delete;

  // Replaces out with the encoded block; false if zlib fails.
  bool encode(ByteView history, ByteView block, Bytes& out);

 private:
  z_stream stream_{};
  bool ready_ = false;
};

class MsZipDecoder {
 public:
  MsZipDecoder();
  ~MsZipDecoder();
  MsZipDecoder(const MsZipDecoder&) = delete;
  MsZipDecoder& operator=(const MsZipDecoder&) = delete;

  // Decodes exactly out.size() bytes; false if the data is damaged or its
  // size differs.
  bool decode(ByteView history, ByteView encoded, std::span<uint8_t> out);

 private:
  z_stream stream_{};
  bool ready_ = false;
};

}  // namespace korvane::cab
