// Encodes the data blocks of a folder on all cores. Each MS-ZIP block depends
// only on its own data and on the data before it, so blocks can be encoded
// side by side and still give exactly the bytes of a one-by-one encoding.
#pragma once

#include <memory>
#include <vector>

#include "platform/CabinetInterface.h"
#include "platform/cabinet/MsZip.h"

namespace korvane::cab {

struct BlockJob {
  ByteView history;  // uncompressed data before the block in its folder
  ByteView data;
};

enum class EncodeResult { Ok, Failed, OutOfMemory };

class BlockEncoder {
 public:
  // type: tcompTYPE_NONE or tcompTYPE_MSZIP.
  explicit BlockEncoder(TCOMP type) : type_(type) {}

  TCOMP type() const { return type_; }
  // outputs[i] receives the payload of jobs[i].
  EncodeResult encode(std::span<const BlockJob> jobs, std::vector<Bytes>& outputs);

 private:
  EncodeResult run(MsZipEncoder& encoder, const BlockJob& job, Bytes& output);

  TCOMP type_;
  std::vector<std::unique_ptr<MsZipEncoder>> encoders_;  // one per thread
};

}  // namespace korvane::cab
