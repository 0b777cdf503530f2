#include "tools/database/GifPicture.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <unordered_map>

namespace korvane::dbgen {

namespace {

constexpr unsigned kMaxCodeBits = 12;
constexpr unsigned kCodeLimit = 1u << kMaxCodeBits;
constexpr size_t kMaxSubBlock = 255;
constexpr size_t kEmptyCommentSize = 3;  // introducer, label, terminator

void putWord(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

// Codes of growing width, packed from the lowest bit up.
class CodeWriter {
 public:
  void put(unsigned code, unsigned bits) {
    buffer_ |= static_cast<uint32_t>(code) << filled_;
    filled_ += bits;
    while (filled_ >= 8) {
      bytes_ += static_cast<char>(buffer_ & 0xFF);
      buffer_ >>= 8;
      filled_ -= 8;
    }
  }
  std::string finish() {
    if (filled_ > 0) bytes_ += static_cast<char>(buffer_ & 0xFF);
    return bytes_;
  }

 private:
  std::string bytes_;
  uint32_t buffer_ = 0;
  unsigned filled_ = 0;
};

unsigned paletteBits(size_t colours) {
  unsigned bits = 1;
  while ((1u << bits) < colours) ++bits;
  return bits;
}

// GIF's LZW: a code is emitted at the width a decoder reads it with, which
// grows once the last code handed out no longer fits; a full table starts
// over with a clear code.
std::string compressLzw(const std::vector<uint8_t>& pixels, unsigned minCodeSize) {
  const unsigned clear = 1u << minCodeSize;
  const unsigned end = clear + 1;
  std::unordered_map<uint32_t, unsigned> table;  // (prefix code << 8 | pixel) -> code
  unsigned codeSize = minCodeSize + 1;
  unsigned lastCode = end;
  CodeWriter out;
  auto codeEmitted = [&] {
    ++lastCode;
    if (lastCode >= (1u << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
  };
  out.put(clear, codeSize);
  unsigned current = pixels.front();
  for (size_t i = 1; i < pixels.size(); ++i) {
    const uint32_t key = current << 8 | pixels[i];
    if (auto found = table.find(key); found != table.end()) {
      current = found->second;
      continue;
    }
    out.put(current, codeSize);
    codeEmitted();
    table[key] = lastCode;
    if (lastCode == kCodeLimit - 1) {
      out.put(clear, codeSize);
      table.clear();
      codeSize = minCodeSize + 1;
      lastCode = end;
    }
    current = pixels[i];
  }
  out.put(current, codeSize);
  codeEmitted();
  out.put(end, codeSize);
  return out.finish();
}

// Data cut into sub-blocks of at most 255 bytes, with the empty block that ends them.
std::string subBlocks(std::string_view data) {
  std::string out;
  for (size_t at = 0; at < data.size(); at += kMaxSubBlock) {
    const std::string_view block = data.substr(at, kMaxSubBlock);
    out += static_cast<char>(block.size());
    out += block;
  }
  out += '\0';
  return out;
}

// Comment extensions exactly `size` bytes long. A sub-block takes its length
// byte and at least one data byte, so a size of 4 cannot be written.
std::string commentPadding(std::string_view comment, size_t size) {
  if (size < kEmptyCommentSize || size == kEmptyCommentSize + 1)
    throw std::invalid_argument("the picture leaves " + std::to_string(size) +
                                " bytes for its padding; it needs 3 or at least 5");
  std::string out("\x21\xFE");
  size_t left = size - kEmptyCommentSize;
  size_t used = 0;
  while (left > 0) {
    size_t length = std::min(kMaxSubBlock, left - 1);
    if (left - (length + 1) == 1) --length;  // keep two bytes for a last block
    std::string block = std::string(comment.substr(std::min(used, comment.size()), length));
    block.resize(length, ' ');
    out += static_cast<char>(length);
    out += block;
    used += length;
    left -= length + 1;
  }
  out += '\0';
  return out;
}

void checkPicture(const Picture& picture) {
  if (picture.width == 0 || picture.height == 0)
    throw std::invalid_argument("the picture has no pixels");
  if (picture.palette.size() < 2 || picture.palette.size() > 256)
    throw std::invalid_argument("a GIF palette holds 2 to 256 colours");
  if (picture.pixels.size() != size_t{picture.width} * picture.height)
    throw std::invalid_argument("the picture's pixels do not fill its size");
  for (uint8_t pixel : picture.pixels)
    if (pixel >= picture.palette.size()) throw std::invalid_argument("a pixel names no colour of the palette");
}

}  // namespace

std::string writePaddedGif(const Picture& picture, std::string_view comment, size_t totalSize) {
  checkPicture(picture);
  const unsigned bits = paletteBits(picture.palette.size());
  std::string gif = "GIF89a";
  putWord(gif, picture.width);
  putWord(gif, picture.height);
  gif += static_cast<char>(0x80 | (bits - 1) << 4 | (bits - 1));  // global palette, its size
  gif += '\0';                                                     // background colour
  gif += '\0';                                                     // square pixels
  for (size_t i = 0; i < (size_t{1} << bits); ++i) {
    const Colour colour = i < picture.palette.size() ? picture.palette[i] : Colour{};
    gif.append(reinterpret_cast<const char*>(colour.data()), colour.size());
  }
  gif += ',';
  putWord(gif, 0);
  putWord(gif, 0);
  putWord(gif, picture.width);
  putWord(gif, picture.height);
  gif += '\0';  // no local palette, not interlaced
  const unsigned minCodeSize = std::max(2u, bits);
  gif += static_cast<char>(minCodeSize);
  gif += subBlocks(compressLzw(picture.pixels, minCodeSize));
  const size_t trailer = 1;
  if (gif.size() + trailer > totalSize)
    throw std::invalid_argument("the picture takes " + std::to_string(gif.size() + trailer) +
                                " bytes, more than the " + std::to_string(totalSize) + " it may have");
  gif += commentPadding(comment, totalSize - gif.size() - trailer);
  gif += ';';
  return gif;
}

namespace {

enum Ink : uint8_t { kBackground, kBody, kBand, kArrow };

bool inEllipse(int x, int y, int cx, int cy, int rx, int ry) {
  const long dx = x - cx, dy = y - cy;
  return dx * dx * ry * ry + dy * dy * rx * rx <= long{rx} * rx * ry * ry;
}

constexpr int kLeft = 50, kRight = 130, kTop = 40, kBottom = 110, kRadiusY = 12;
constexpr int kCentre = (kLeft + kRight) / 2, kRadiusX = (kRight - kLeft) / 2;
constexpr int kShaft = 165, kShaftHalf = 7, kShaftTop = 45, kHeadTop = 85, kHeadHalf = 20, kTip = 115;

// The visible edge of a disc of the cylinder: all of the top one, the
// front half of the others.
bool onRim(int x, int y, int rim) {
  constexpr int kWidth = 3;
  return inEllipse(x, y, kCentre, rim, kRadiusX, kRadiusY) &&
         !inEllipse(x, y, kCentre, rim, kRadiusX - kWidth, kRadiusY - kWidth) && (rim == kTop || y > rim);
}

bool inCylinder(int x, int y) {
  return inEllipse(x, y, kCentre, kTop, kRadiusX, kRadiusY) || inEllipse(x, y, kCentre, kBottom, kRadiusX, kRadiusY) ||
         (x >= kLeft && x <= kRight && y >= kTop && y <= kBottom);
}

bool inArrow(int x, int y) {
  if (y >= kShaftTop && y < kHeadTop) return std::abs(x - kShaft) <= kShaftHalf;
  return y >= kHeadTop && y <= kTip && std::abs(x - kShaft) <= (kTip - y) * kHeadHalf / (kTip - kHeadTop);
}

// A cylinder of three stacked discs with a down arrow beside it.
Ink inkAt(int x, int y) {
  for (int rim : {kTop, (2 * kTop + kBottom) / 3, (kTop + 2 * kBottom) / 3})
    if (onRim(x, y, rim)) return kBand;
  if (inCylinder(x, y)) return kBody;
  return inArrow(x, y) ? kArrow : kBackground;
}

}  // namespace

Picture databasePicture() {
  Picture picture;
  picture.width = 200;
  picture.height = 150;
  picture.palette = {Colour{0x1F, 0x3A, 0x5F}, Colour{0xE8, 0xEE, 0xF4}, Colour{0x7A, 0x8C, 0xA3},
                     Colour{0xF0, 0x8A, 0x24}};
  picture.pixels.reserve(size_t{picture.width} * picture.height);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) picture.pixels.push_back(inkAt(x, y));
  return picture;
}

}  // namespace korvane::dbgen
