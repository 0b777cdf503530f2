// A small LZX encoder for tests: the library only decodes LZX, so the test
// data is made here and checked against cabextract before our reader sees it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "packaging/CabTestKit.h"

namespace korvane::test::cab {

enum class LzxBlock { Verbatim = 1, Aligned = 2, Uncompressed = 3 };

struct LzxOptions {
  unsigned windowBits = 16;
  size_t blockSize = 32768;  // uncompressed bytes per block; may span frames
  // Block type by block number.
  std::function<LzxBlock(size_t)> blockType = [](size_t) { return LzxBlock::Verbatim; };
  bool translateCalls = false;
  uint32_t translationSize = 12000000;
  bool matches = true;  // find repeated strings; otherwise literals only
};

// The folder's data blocks: one frame of up to 32 KiB of output each.
std::vector<RawBlock> lzxEncode(const std::string& data, const LzxOptions& options);

}  // namespace korvane::test::cab
