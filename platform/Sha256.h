// SHA-256, for checking downloads and help files against digests we carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

class FileSystem;

class Sha256 {
 public:
  Sha256();
  void add(std::string_view bytes);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string hexDigest();

 private:
  void compressBlock(const unsigned char* block);

  std::array<uint32_t, 8> state_;
  std::array<unsigned char, 64> pending_{};
  size_t pendingLength_ = 0;
  uint64_t totalLength_ = 0;
};

std::string sha256Hex(std::string_view bytes);
// Reads the file a block at a time; nullopt when it cannot be opened or read.
std::optional<std::string> sha256OfFile(FileSystem& files, const std::string& path);

}  // namespace korvane
