// The driver database image: a picture file that carries a cabinet in two
// pieces. The picture's own bytes fill the first 4361 bytes; the cabinet
// from its byte 17847 on follows them; the image ends with the cabinet's
// first 17847 bytes. Reassembled, the cabinet is the image's last 17847
// bytes followed by everything from byte 4361 on (the tail comes twice;
// readers stop at the cabinet's own length).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {

inline constexpr uint64_t kPictureHeadSize = 4361;
inline constexpr uint64_t kCabinetHeadSize = 17847;
inline constexpr uint64_t kSmallestDatabaseImage = kPictureHeadSize + kCabinetHeadSize;
// Far beyond any database, small enough that a wrong download is caught
// before it fills the disk twice.
inline constexpr uint64_t kLargestDatabaseImage = uint64_t{64} << 20;

// The image of a cabinet behind a picture head of exactly kPictureHeadSize
// bytes (throws std::invalid_argument otherwise). A cabinet shorter than
// kCabinetHeadSize is padded with zeros to that size.
std::string composeDatabaseImage(std::string_view pictureHead, std::string_view cabinet);

// Writes the cabinet of the image at imagePath to cabinetPath (replacing
// it), 64 KiB at a time; false when a file cannot be read or written or the
// image is shorter than kSmallestDatabaseImage.
bool reassembleDatabaseCabinet(FileSystem& files, const std::string& imagePath, const std::string& cabinetPath);

enum class DatabaseImageFault {
  None,
  Unreadable,      // the image cannot be opened or read, or the cabinet not written
  TooSmall,        // below kSmallestDatabaseImage
  TooLarge,        // above kLargestDatabaseImage
  NotACabinet,     // the reassembled bytes do not start a cabinet
  Damaged,         // its tables or data blocks do not hold together
  Continued,       // it names a previous or next cabinet
  NoDatabaseFile,  // none of the database file names is inside
};

struct DatabaseImageCheck {
  DatabaseImageFault fault = DatabaseImageFault::None;
  std::vector<std::string> names;  // the cabinet's file names, as stored
  bool valid() const { return fault == DatabaseImageFault::None; }
};

// Reassembles the image into cabinetPath and checks what comes out; the
// cabinet stays there for unpacking.
DatabaseImageCheck checkDatabaseImage(FileSystem& files, const std::string& imagePath,
                                      const std::string& cabinetPath);

}  // namespace korvane
