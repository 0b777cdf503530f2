#include "platform/cabinet/Lzx.h"

#include <algorithm>
#include <array>

namespace korvane::cab {

namespace {

constexpr unsigned kFrameSize = 32768;
constexpr unsigned kLiterals = 256;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMaxSlots = 50;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kE8Frames = 32768;  // translation covers the first 1 GiB

enum BlockType { kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

struct LzxError {};

[[noreturn]] void fail() { throw LzxError{}; }

unsigned slotCount(unsigned windowBits) {
  static constexpr unsigned slots[] = {30, 32, 34, 36, 38, 42, 50};
  return slots[windowBits - kLzxMinWindowBits];
}

unsigned extraBits(unsigned slot) { return slot < 4 ? 0 : std::min(17u, (slot - 2) / 2); }

std::array<uint32_t, kMaxSlots> positionBases() {
  std::array<uint32_t, kMaxSlots> bases{};
  for (unsigned slot = 1; slot < kMaxSlots; ++slot) bases[slot] = bases[slot - 1] + (1u << extraBits(slot - 1));
  return bases;
}

const std::array<uint32_t, kMaxSlots> kPositionBase = positionBases();

// 16-bit little-endian words, each read from its most significant bit.
// Reads past the end see zeros; whether they happened is checked at the end
// of the frame.
class BitReader {
 public:
  explicit BitReader(ByteView data) : data_(data) {}

  uint32_t peek(unsigned count) {
    while (held_ <= 16) {
      uint32_t word = position_ + 1 < data_.size() ? load16(data_.data() + position_) : 0;
      position_ += 2;
      buffer_ |= word << (16 - held_);
      held_ += 16;
    }
    return count == 0 ? 0 : buffer_ >> (32 - count);
  }
  void skip(unsigned count) {
    buffer_ <<= count;
    held_ -= count;
  }
  uint32_t bits(unsigned count) {
    if (count > 16) {
      uint32_t high = bits(count - 16);
      return (high << 16) | bits(16);
    }
    uint32_t value = peek(count);
    skip(count);
    return value;
  }
  bool overran() const { return consumedBits() > data_.size() * 8; }

  // Uncompressed data follows 1 to 16 bits of padding, on a 16-bit boundary.
  void alignForBytes() {
    peek(16);
    skip(16 - static_cast<unsigned>(consumedBits() % 16));
    byte_ = static_cast<size_t>(consumedBits() / 8);
  }
  uint8_t byte() {
    if (byte_ >= data_.size()) fail();
    return data_[byte_++];
  }
  bool atEnd() const { return byte_ >= data_.size(); }
  // Back to bits after uncompressed data.
  void resumeBits() {
    position_ = byte_;
    buffer_ = 0;
    held_ = 0;
  }

 private:
  uint64_t consumedBits() const { return uint64_t{position_} * 8 - held_; }

  ByteView data_;
  size_t position_ = 0;  // next word to load
  uint32_t buffer_ = 0;  // bits not consumed yet, from the top
  unsigned held_ = 0;
  size_t byte_ = 0;      // next byte of uncompressed data
};

// A canonical Huffman code with a lookup table as wide as its longest code.
class Huffman {
 public:
  explicit Huffman(unsigned symbols) : lengths_(symbols, 0) {}

  std::vector<uint8_t>& lengths() { return lengths_; }

  void build() {
    tableBits_ = std::max<unsigned>(1, *std::max_element(lengths_.begin(), lengths_.end()));
    table_.assign(size_t{1} << tableBits_, kNone);
    uint32_t code = 0;
    for (unsigned length = 1; length <= tableBits_; ++length) {
      for (size_t symbol = 0; symbol < lengths_.size(); ++symbol) {
        if (lengths_[symbol] != length) continue;
        uint32_t span = 1u << (tableBits_ - length);
        if ((code + 1) * span > table_.size()) fail();  // more codes than the lengths allow
        std::fill_n(table_.begin() + code * span, span, static_cast<uint16_t>(symbol));
        ++code;
      }
      code <<= 1;
    }
  }

  unsigned decode(BitReader& in) const {
    uint16_t symbol = table_[in.peek(tableBits_)];
    if (symbol == kNone) fail();
    in.skip(lengths_[symbol]);
    return symbol;
  }

 private:
  static constexpr uint16_t kNone = 0xFFFF;
  std::vector<uint8_t> lengths_;
  std::vector<uint16_t> table_;
  unsigned tableBits_ = 1;
};

class LzxDecoder : public BlockDecoder {
 public:
  explicit LzxDecoder(unsigned windowBits)
      : windowSize_(1u << windowBits),
        slots_(slotCount(windowBits)),
        // Room for the window and for a frame decoded ahead of it.
        buffer_(size_t{2} << windowBits),
        main_(kLiterals + 8 * slots_) {
    reset();
  }

  void reset() override {
    std::fill(main_.lengths().begin(), main_.lengths().end(), 0);
    std::fill(length_.lengths().begin(), length_.lengths().end(), 0);
    repeated_ = {1, 1, 1};
    produced_ = emitted_ = 0;
    blockType_ = 0;
    blockLeft_ = 0;
    headerRead_ = false;
    translate_ = false;
    e8Size_ = 0;
    padPending_ = false;
  }

  bool decode(ByteView encoded, std::span<uint8_t> out) override {
    try {
      decodeFrame(encoded, out.size());
    } catch (const LzxError&) {
      return false;
    }
    for (size_t i = 0; i < out.size(); ++i) out[i] = buffer_[(emitted_ + i) & (buffer_.size() - 1)];
    translateCalls(out);
    emitted_ += out.size();
    return true;
  }

 private:
  void decodeFrame(ByteView encoded, size_t size) {
    if (size > kFrameSize) fail();
    BitReader in(encoded);
    // Uncompressed data that goes on continues from the first byte.
    if (padPending_) {
      skipPad(in);
      in.resumeBits();
    }
    if (!headerRead_) readStreamHeader(in);
    uint64_t frameEnd = emitted_ + size;
    while (produced_ < frameEnd) {
      if (blockLeft_ == 0) readBlockHeader(in);
      uint64_t run = std::min<uint64_t>(blockLeft_, frameEnd - produced_);
      if (blockType_ == kUncompressed) {
        copyRaw(in, static_cast<size_t>(run));
      } else {
        decodeSymbols(in, run);
      }
    }
    if (in.overran()) fail();
  }

  void readStreamHeader(BitReader& in) {
    translate_ = in.bits(1) != 0;
    if (translate_) e8Size_ = in.bits(32);
    headerRead_ = true;
  }

  void readBlockHeader(BitReader& in) {
    blockType_ = in.bits(3);
    blockLeft_ = in.bits(24);
    if (blockLeft_ == 0) fail();
    switch (blockType_) {
      case kAligned:
        for (uint8_t& length : aligned_.lengths()) length = static_cast<uint8_t>(in.bits(3));
        aligned_.build();
        [[fallthrough]];
      case kVerbatim:
        readLengths(in, main_.lengths(), 0, kLiterals);
        readLengths(in, main_.lengths(), kLiterals, main_.lengths().size());
        main_.build();
        readLengths(in, length_.lengths(), 0, kLengthSymbols);
        length_.build();
        break;
      case kUncompressed:
        in.alignForBytes();
        for (uint32_t& offset : repeated_) offset = rawWord(in);
        rawSize_ = blockLeft_;
        break;
      default:
        fail();
    }
  }

  static uint32_t rawWord(BitReader& in) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{in.byte()} << (8 * i);
    return value;
  }

  // Code lengths are sent as differences from the block before, through a
  // small code of their own.
  void readLengths(BitReader& in, std::vector<uint8_t>& lengths, size_t first, size_t last) {
    for (uint8_t& length : pretree_.lengths()) length = static_cast<uint8_t>(in.bits(4));
    pretree_.build();
    for (size_t i = first; i < last;) {
      unsigned code = pretree_.decode(in);
      size_t run = 1;
      uint8_t value = 0;
      if (code == 17) {
        run = in.bits(4) + 4;
      } else if (code == 18) {
        run = in.bits(5) + 20;
      } else if (code == 19) {
        run = in.bits(1) + 4;
        code = pretree_.decode(in);
        if (code > 16) fail();
        value = static_cast<uint8_t>((lengths[i] + 17 - code) % 17);
      } else {
        value = static_cast<uint8_t>((lengths[i] + 17 - code) % 17);
      }
      if (run > last - i) fail();
      std::fill_n(lengths.begin() + static_cast<std::ptrdiff_t>(i), run, value);
      i += run;
    }
  }

  void decodeSymbols(BitReader& in, uint64_t run) {
    for (uint64_t done = 0; done < run;) {
      unsigned symbol = main_.decode(in);
      if (symbol < kLiterals) {
        put(static_cast<uint8_t>(symbol));
        done++;
        continue;
      }
      symbol -= kLiterals;
      unsigned length = symbol & 7;
      if (length == 7) length += length_.decode(in);
      length += kMinMatch;
      uint32_t offset = matchOffset(in, symbol >> 3);
      // A match may end past the frame, never past its block.
      if (length > blockLeft_ || offset > produced_ || offset >= windowSize_) fail();
      for (unsigned i = 0; i < length; ++i) put(buffer_[(produced_ - offset) & (buffer_.size() - 1)]);
      done += length;
    }
  }

  uint32_t matchOffset(BitReader& in, unsigned slot) {
    if (slot >= slots_) fail();
    if (slot < 3) {
      std::swap(repeated_[0], repeated_[slot]);
      return repeated_[0];
    }
    unsigned extra = extraBits(slot);
    uint32_t footer = 0;
    if (blockType_ == kAligned && extra >= 3) {
      footer = (in.bits(extra - 3) << 3) | aligned_.decode(in);
    } else {
      footer = in.bits(extra);
    }
    uint32_t offset = kPositionBase[slot] + footer - 2;
    repeated_ = {offset, repeated_[0], repeated_[1]};
    return offset;
  }

  void put(uint8_t byte) {
    buffer_[produced_ & (buffer_.size() - 1)] = byte;
    produced_++;
    blockLeft_--;
  }

  void copyRaw(BitReader& in, size_t count) {
    for (size_t i = 0; i < count; ++i) put(in.byte());
    if (blockLeft_ > 0) return;
    // Uncompressed data of odd length is followed by one byte of padding.
    padPending_ = (rawSize_ & 1) != 0;
    if (padPending_) skipPad(in);
    in.resumeBits();
  }

  void skipPad(BitReader& in) {
    if (in.atEnd()) return;  // the padding is in the next frame's data
    in.byte();
    padPending_ = false;
  }

  // The stored calls of x86 code hold absolute targets; give back relative ones.
  void translateCalls(std::span<uint8_t> out) const {
    if (!translate_ || out.size() <= 10 || emitted_ / kFrameSize >= kE8Frames) return;
    int32_t size = static_cast<int32_t>(e8Size_);
    int32_t position = static_cast<int32_t>(emitted_);
    for (size_t i = 0; i < out.size() - 10;) {
      if (out[i++] != 0xE8) {
        position++;
        continue;
      }
      int32_t absolute = static_cast<int32_t>(load32(out.data() + i));
      if (absolute >= -position && absolute < size) {
        int32_t relative = absolute >= 0 ? absolute - position : absolute + size;
        for (int b = 0; b < 4; ++b) out[i + b] = static_cast<uint8_t>(static_cast<uint32_t>(relative) >> (8 * b));
      }
      i += 4;
      position += 5;
    }
  }

  uint32_t windowSize_;
  unsigned slots_;
  std::vector<uint8_t> buffer_;
  Huffman main_;
  Huffman length_{kLengthSymbols};
  Huffman aligned_{kAlignedSymbols};
  Huffman pretree_{kPretreeSymbols};
  std::array<uint32_t, 3> repeated_{1, 1, 1};
  uint64_t produced_ = 0;  // bytes decoded since the folder began
  uint64_t emitted_ = 0;   // of those, handed out
  unsigned blockType_ = 0;
  uint32_t blockLeft_ = 0;
  uint32_t rawSize_ = 0;
  bool headerRead_ = false;
  bool translate_ = false;
  uint32_t e8Size_ = 0;
  bool padPending_ = false;
};

}  // namespace

std::unique_ptr<BlockDecoder> makeLzxDecoder(unsigned windowBits) {
  if (windowBits < kLzxMinWindowBits || windowBits > kLzxMaxWindowBits) return nullptr;
  return std::make_unique<LzxDecoder>(windowBits);
}

}  // namespace korvane::cab
