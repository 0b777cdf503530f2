#include "platform/Sha256.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {
namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotateRight(uint32_t value, int bits) { return (value >> bits) | (value << (32 - bits)); }

uint32_t bigEndian32(const unsigned char* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::compressBlock(const unsigned char* block) {
  uint32_t schedule[64];
  for (int i = 0; i < 16; ++i) schedule[i] = bigEndian32(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    uint32_t s0 = rotateRight(schedule[i - 15], 7) ^ rotateRight(schedule[i - 15], 18) ^ (schedule[i - 15] >> 3);
    uint32_t s1 = rotateRight(schedule[i - 2], 17) ^ rotateRight(schedule[i - 2], 19) ^ (schedule[i - 2] >> 10);
    schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (int i = 0; i < 64; ++i) {
    uint32_t t1 = h + (rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25)) + ((e & f) ^ (~e & g)) +
                  kRoundConstants[i] + schedule[i];
    uint32_t t2 = (rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
  }
  const uint32_t results[8] = {a, b, c, d, e, f, g, h};
  for (int i = 0; i < 8; ++i) state_[i] += results[i];
}

void Sha256::add(std::string_view bytes) {
  totalLength_ += bytes.size();
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t left = bytes.size();
  while (left > 0) {
    if (pendingLength_ == 0 && left >= 64) {
      compressBlock(data);
      data += 64, left -= 64;
      continue;
    }
    size_t take = std::min(left, 64 - pendingLength_);
    std::memcpy(pending_.data() + pendingLength_, data, take);
    pendingLength_ += take, data += take, left -= take;
    if (pendingLength_ == 64) compressBlock(pending_.data()), pendingLength_ = 0;
  }
}

std::string Sha256::hexDigest() {
  const uint64_t bitLength = totalLength_ * 8;
  std::string padding(1, '\x80');
  padding.append((pendingLength_ < 56 ? 55 - pendingLength_ : 119 - pendingLength_), '\0');
  for (int shift = 56; shift >= 0; shift -= 8) padding += char(bitLength >> shift);
  add(padding);
  static const char kHex[] = "0123456789abcdef";
  std::string digest;
  for (uint32_t word : state_)
    for (int shift = 28; shift >= 0; shift -= 4) digest += kHex[(word >> shift) & 0xF];
  return digest;
}

std::string sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.add(bytes);
  return hash.hexDigest();
}

std::optional<std::string> sha256OfFile(FileSystem& files, const std::string& path) {
  auto file = files.openFile(path, OpenFor::Reading);
  if (!file) return std::nullopt;
  Sha256 hash;
  std::vector<char> block(1 << 20);
  for (uint64_t offset = 0;;) {
    auto got = file->readAt(offset, block.data(), block.size());
    if (!got) return std::nullopt;
    if (*got == 0) break;
    hash.add(std::string_view(block.data(), *got));
    offset += *got;
  }
  return hash.hexDigest();
}

}  // namespace korvane
