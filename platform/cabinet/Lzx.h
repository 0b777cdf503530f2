// LZX decompression of cabinet folders. A folder is one LZX stream whose
// window carries over from block to block; each data block holds one frame
// of up to 32 KiB of output, starting on a 16-bit boundary of the stream.
#pragma once

#include "platform/cabinet/FolderReader.h"

namespace korvane::cab {

constexpr unsigned kLzxMinWindowBits = 15;
constexpr unsigned kLzxMaxWindowBits = 21;

// nullptr if the window size is outside 2^15 .. 2^21.
std::unique_ptr<BlockDecoder> makeLzxDecoder(unsigned windowBits);

}  // namespace korvane::cab
