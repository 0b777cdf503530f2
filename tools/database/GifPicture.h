// A GIF writer for the picture that carries the driver database: one image
// with a global palette, compressed with GIF's LZW, and padded with comment
// blocks so that the whole file has exactly the length the image layout needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::dbgen {

using Colour = std::array<uint8_t, 3>;

struct Picture {
  uint16_t width = 0;
  uint16_t height = 0;
  std::vector<Colour> palette;  // 2 to 256 colours
  std::vector<uint8_t> pixels;  // width * height palette indexes, row by row
};

// The GIF file of the picture, exactly totalSize bytes long, its trailer the
// last byte; the comment fills the padding (cut when longer, blanks after it).
// Throws std::invalid_argument for a picture that is not well formed or does
// not leave room for the padding.
std::string writePaddedGif(const Picture& picture, std::string_view comment, size_t totalSize);

// The picture we ship: a database cylinder and a download arrow.
Picture databasePicture();

}  // namespace korvane::dbgen
