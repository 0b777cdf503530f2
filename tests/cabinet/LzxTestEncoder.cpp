#include "cabinet/LzxTestEncoder.h"

#include <algorithm>
#include <array>
#include <map>
#include <queue>

namespace korvane::test::cab {

namespace {

constexpr size_t kFrame = 32768;
constexpr unsigned kLiterals = 256;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kMaxMatch = 257;

unsigned slotCount(unsigned windowBits) {
  static constexpr unsigned slots[] = {30, 32, 34, 36, 38, 42, 50};
  return slots[windowBits - 15];
}

unsigned extraBits(unsigned slot) { return slot < 4 ? 0 : std::min(17u, (slot - 2) / 2); }

uint32_t positionBase(unsigned slot) {
  uint32_t base = 0;
  for (unsigned s = 0; s < slot; ++s) base += 1u << extraBits(s);
  return base;
}

// Huffman code lengths no longer than limit.
std::vector<uint8_t> codeLengths(std::vector<uint32_t> counts, unsigned limit) {
  for (;;) {
    std::vector<uint8_t> lengths(counts.size(), 0);
    struct Node {
      uint64_t weight;
      int left, right;
    };
    std::vector<Node> nodes;
    using Entry = std::pair<uint64_t, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    for (size_t symbol = 0; symbol < counts.size(); ++symbol) {
      if (counts[symbol] == 0) continue;
      nodes.push_back({counts[symbol], -1, static_cast<int>(symbol)});
      queue.push({counts[symbol], static_cast<int>(nodes.size() - 1)});
    }
    if (nodes.empty()) return lengths;
    if (nodes.size() == 1) {
      // Readers want a complete code: a second, unused symbol fills it.
      size_t used = static_cast<size_t>(nodes[0].right);
      lengths[used] = 1;
      lengths[used == 0 ? 1 : 0] = 1;
      return lengths;
    }
    while (queue.size() > 1) {
      auto [wa, a] = queue.top();
      queue.pop();
      auto [wb, b] = queue.top();
      queue.pop();
      nodes.push_back({wa + wb, a, b});
      queue.push({wa + wb, static_cast<int>(nodes.size() - 1)});
    }
    unsigned deepest = 0;
    std::vector<std::pair<int, unsigned>> stack = {{queue.top().second, 0}};
    while (!stack.empty()) {
      auto [node, depth] = stack.back();
      stack.pop_back();
      if (nodes[static_cast<size_t>(node)].left < 0) {
        lengths[static_cast<size_t>(nodes[static_cast<size_t>(node)].right)] = static_cast<uint8_t>(depth);
        deepest = std::max(deepest, depth);
      } else {
        stack.push_back({nodes[static_cast<size_t>(node)].left, depth + 1});
        stack.push_back({nodes[static_cast<size_t>(node)].right, depth + 1});
      }
    }
    if (deepest <= limit) return lengths;
    for (uint32_t& count : counts)
      if (count > 0) count = (count >> 1) | 1;
  }
}

std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
  std::vector<uint32_t> codes(lengths.size(), 0);
  uint32_t code = 0;
  for (unsigned length = 1; length <= 16; ++length) {
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol)
      if (lengths[symbol] == length) codes[symbol] = code++;
    code <<= 1;
  }
  return codes;
}

// 16-bit little-endian words filled from their most significant bit.
class BitWriter {
 public:
  void bits(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
      word_ = static_cast<uint16_t>((word_ << 1) | ((value >> i) & 1));
      if (++held_ == 16) flushWord();
    }
  }
  void byte(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }  // only when aligned
  void alignForBytes() { bits(0, 16 - static_cast<unsigned>(bitCount() % 16)); }
  std::string finish() {
    if (held_ > 0) bits(0, 16 - held_);
    std::string done;
    done.swap(bytes_);
    return done;
  }

 private:
  size_t bitCount() const { return bytes_.size() * 8 + held_; }
  void flushWord() {
    bytes_.push_back(static_cast<char>(word_ & 0xFF));
    bytes_.push_back(static_cast<char>(word_ >> 8));
    word_ = 0;
    held_ = 0;
  }
  std::string bytes_;
  uint16_t word_ = 0;
  unsigned held_ = 0;
};

struct Symbol {
  unsigned main;
  int length = -1;  // length tree symbol, if any
  unsigned extra = 0;
  uint32_t footer = 0;
};

struct Code {
  std::vector<uint8_t> lengths;
  std::vector<uint32_t> codes;
  void build(const std::vector<uint32_t>& counts, unsigned limit) {
    lengths = codeLengths(counts, limit);
    codes = canonicalCodes(lengths);
  }
  void write(BitWriter& out, unsigned symbol) const { out.bits(codes[symbol], lengths[symbol]); }
};

class Encoder {
 public:
  Encoder(const std::string& data, const LzxOptions& options)
      : options_(options), data_(data), slots_(slotCount(options.windowBits)), main_(kLiterals + 8 * slots_, 0),
        length_(kLengthSymbols, 0) {
    if (options.translateCalls) translateCalls();
  }

  std::vector<RawBlock> run() {
    out_.bits(options_.translateCalls ? 1 : 0, 1);
    if (options_.translateCalls) out_.bits(options_.translationSize, 32);
    for (size_t start = 0, index = 0; start < data_.size(); start += options_.blockSize, ++index)
      block(start, std::min(data_.size(), start + options_.blockSize), options_.blockType(index));
    frames_.push_back({out_.finish(), static_cast<uint16_t>(data_.size() - frameStart_)});
    return frames_;
  }

 private:
  void translateCalls() {
    int32_t size = static_cast<int32_t>(options_.translationSize);
    for (size_t frame = 0; frame < data_.size(); frame += kFrame) {
      size_t end = std::min(data_.size(), frame + kFrame);
      if (end - frame <= 10) break;
      int32_t position = static_cast<int32_t>(frame);
      for (size_t i = frame; i < end - 10;) {
        if (static_cast<uint8_t>(data_[i++]) != 0xE8) {
          position++;
          continue;
        }
        int32_t relative = static_cast<int32_t>(load(i));
        if (relative >= -position && relative < size) {
          int32_t absolute = relative < size - position ? relative + position : relative - size;
          for (int b = 0; b < 4; ++b) data_[i + b] = static_cast<char>(static_cast<uint32_t>(absolute) >> (8 * b));
        }
        i += 4;
        position += 5;
      }
    }
  }

  uint32_t load(size_t at) const {
    uint32_t value = 0;
    for (int b = 0; b < 4; ++b) value |= uint32_t{static_cast<uint8_t>(data_[at + b])} << (8 * b);
    return value;
  }

  // Starts the next frame when the output reaches its end.
  void frameAt(size_t position) {
    if (position - frameStart_ < kFrame) return;
    frames_.push_back({out_.finish(), static_cast<uint16_t>(kFrame)});
    frameStart_ = position;
  }

  void block(size_t start, size_t end, LzxBlock type) {
    frameAt(start);
    if (type == LzxBlock::Uncompressed) return storedBlock(start, end);
    std::vector<Symbol> symbols = parse(start, end);
    std::vector<uint32_t> mainCounts(main_.size(), 0), lengthCounts(kLengthSymbols, 0), alignedCounts(8, 0);
    for (const Symbol& symbol : symbols) {
      mainCounts[symbol.main]++;
      if (symbol.length >= 0) lengthCounts[static_cast<size_t>(symbol.length)]++;
      if (type == LzxBlock::Aligned && symbol.extra >= 3) alignedCounts[symbol.footer & 7]++;
    }
    Code mainCode, lengthCode, alignedCode;
    mainCode.build(mainCounts, 16);
    lengthCode.build(lengthCounts, 16);
    out_.bits(static_cast<uint32_t>(type), 3);
    out_.bits(static_cast<uint32_t>(end - start), 24);
    if (type == LzxBlock::Aligned) {
      alignedCode.build(alignedCounts, 7);
      for (uint8_t length : alignedCode.lengths) out_.bits(length, 3);
    }
    writeLengths(main_, mainCode.lengths, 0, kLiterals);
    writeLengths(main_, mainCode.lengths, kLiterals, main_.size());
    writeLengths(length_, lengthCode.lengths, 0, kLengthSymbols);

    size_t position = start;
    for (const Symbol& symbol : symbols) {
      frameAt(position);
      mainCode.write(out_, symbol.main);
      if (symbol.main < kLiterals) {
        position++;
        continue;
      }
      unsigned header = (symbol.main - kLiterals) & 7;
      if (symbol.length >= 0) lengthCode.write(out_, static_cast<unsigned>(symbol.length));
      if (type == LzxBlock::Aligned && symbol.extra >= 3) {
        out_.bits(symbol.footer >> 3, symbol.extra - 3);
        alignedCode.write(out_, symbol.footer & 7);
      } else {
        out_.bits(symbol.footer, symbol.extra);
      }
      position += header + 2 + (symbol.length >= 0 ? static_cast<unsigned>(symbol.length) : 0);
    }
  }

  void storedBlock(size_t start, size_t end) {
    out_.bits(static_cast<uint32_t>(LzxBlock::Uncompressed), 3);
    out_.bits(static_cast<uint32_t>(end - start), 24);
    out_.alignForBytes();
    for (uint32_t offset : repeated_)
      for (int b = 0; b < 4; ++b) out_.byte(static_cast<uint8_t>(offset >> (8 * b)));
    for (size_t position = start; position < end; ++position) {
      frameAt(position);
      out_.byte(static_cast<uint8_t>(data_[position]));
    }
    if ((end - start) % 2 == 1) out_.byte(0);
  }

  // Greedy matches inside the block and inside each frame.
  std::vector<Symbol> parse(size_t start, size_t end) {
    std::vector<Symbol> symbols;
    for (size_t position = start; position < end;) {
      size_t limit = std::min({end, (position / kFrame + 1) * kFrame, position + kMaxMatch});
      auto [length, offset] = options_.matches ? findMatch(position, limit) : std::pair<size_t, uint32_t>{0, 0};
      if (length < 2) {
        symbols.push_back({static_cast<unsigned char>(data_[position])});
        remember(position);
        position++;
        continue;
      }
      symbols.push_back(matchSymbol(length, offset));
      for (size_t i = 0; i < length; ++i) remember(position + i);
      position += length;
    }
    return symbols;
  }

  std::pair<size_t, uint32_t> findMatch(size_t position, size_t limit) {
    size_t best = 0;
    uint32_t bestOffset = 0;
    auto consider = [&](uint32_t offset, size_t minimum) {
      if (offset == 0 || offset > position || offset >= (1u << options_.windowBits) - 3) return;
      size_t length = 0;
      while (position + length < limit && data_[position + length] == data_[position + length - offset]) ++length;
      if (length >= minimum && length > best) {
        best = length;
        bestOffset = offset;
      }
    };
    for (uint32_t offset : repeated_) consider(offset, 2);
    if (position + 3 <= data_.size()) {
      auto found = heads_.find(key(position));
      if (found != heads_.end()) consider(static_cast<uint32_t>(position - found->second), 3);
    }
    return {best, bestOffset};
  }

  uint32_t key(size_t position) const {
    return static_cast<uint32_t>(static_cast<uint8_t>(data_[position])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(data_[position + 1])) << 8 |
           static_cast<uint8_t>(data_[position + 2]);
  }

  void remember(size_t position) {
    if (position + 3 <= data_.size()) heads_[key(position)] = position;
  }

  Symbol matchSymbol(size_t length, uint32_t offset) {
    Symbol symbol{};
    unsigned slot = 0;
    if (offset == repeated_[0]) {
      slot = 0;
    } else if (offset == repeated_[1]) {
      slot = 1;
      std::swap(repeated_[0], repeated_[1]);
    } else if (offset == repeated_[2]) {
      slot = 2;
      std::swap(repeated_[0], repeated_[2]);
    } else {
      uint32_t formatted = offset + 2;
      slot = 3;
      while (slot + 1 < slots_ && positionBase(slot + 1) <= formatted) ++slot;
      symbol.extra = extraBits(slot);
      symbol.footer = formatted - positionBase(slot);
      repeated_ = {offset, repeated_[0], repeated_[1]};
    }
    unsigned header = static_cast<unsigned>(std::min<size_t>(length - 2, 7));
    if (header == 7) symbol.length = static_cast<int>(length - 9);
    symbol.main = kLiterals + slot * 8 + header;
    return symbol;
  }

  // Lengths as differences from the previous block's, through a pretree;
  // zero runs and runs of one value are sent as runs.
  void writeLengths(std::vector<uint8_t>& previous, const std::vector<uint8_t>& lengths, size_t first, size_t last) {
    struct Item {
      unsigned code;
      uint32_t extra;
      unsigned extraBits;
      unsigned second;  // for code 19
    };
    auto delta = [&](size_t i, uint8_t value) { return (previous[i] + 17 - value) % 17; };
    std::vector<Item> items;
    for (size_t i = first; i < last;) {
      size_t run = 1;
      while (i + run < last && lengths[i + run] == lengths[i]) ++run;
      if (lengths[i] == 0 && run >= 20) {
        run = std::min<size_t>(run, 51);
        items.push_back({18, static_cast<uint32_t>(run - 20), 5, 0});
      } else if (lengths[i] == 0 && run >= 4) {
        run = std::min<size_t>(run, 19);
        items.push_back({17, static_cast<uint32_t>(run - 4), 4, 0});
      } else if (run >= 4) {
        run = std::min<size_t>(run, 5);
        items.push_back({19, static_cast<uint32_t>(run - 4), 1, static_cast<unsigned>(delta(i, lengths[i]))});
      } else {
        run = 1;
        items.push_back({static_cast<unsigned>(delta(i, lengths[i])), 0, 0, 0});
      }
      i += run;
    }
    std::vector<uint32_t> counts(20, 0);
    for (const Item& item : items) {
      counts[item.code]++;
      if (item.code == 19) counts[item.second]++;
    }
    Code pretree;
    pretree.build(counts, 15);
    for (uint8_t length : pretree.lengths) out_.bits(length, 4);
    for (const Item& item : items) {
      pretree.write(out_, item.code);
      out_.bits(item.extra, item.extraBits);
      if (item.code == 19) pretree.write(out_, item.second);
    }
    std::copy(lengths.begin() + static_cast<std::ptrdiff_t>(first), lengths.begin() + static_cast<std::ptrdiff_t>(last),
              previous.begin() + static_cast<std::ptrdiff_t>(first));
  }

  LzxOptions options_;
  std::string data_;
  unsigned slots_;
  std::vector<uint8_t> main_, length_;  // lengths of the block before
  std::array<uint32_t, 3> repeated_{1, 1, 1};
  std::map<uint32_t, size_t> heads_;
  BitWriter out_;
  std::vector<RawBlock> frames_;
  size_t frameStart_ = 0;
};

}  // namespace

std::vector<RawBlock> lzxEncode(const std::string& data, const LzxOptions& options) {
  return Encoder(data, options).run();
}

}  // namespace korvane::test::cab
