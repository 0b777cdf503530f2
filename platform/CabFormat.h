// The cabinet file format: header, folder, file and data-block records,
// their little-endian encoding and the data-block checksum. Parsing trusts
// nothing: every length is checked against the bytes actually present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvane::cab {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

constexpr uint8_t kSignature[4] = {'M', 'S', 'C', 'F'};
constexpr uint8_t kVersionMinor = 3;
constexpr uint8_t kVersionMajor = 1;

constexpr size_t kHeaderFixedSize = 36;
constexpr size_t kReserveFieldsSize = 4;
constexpr size_t kFolderFixedSize = 8;
constexpr size_t kFileFixedSize = 16;
constexpr size_t kDataFixedSize = 8;

constexpr uint16_t kFlagPrevCabinet = 0x0001;
constexpr uint16_t kFlagNextCabinet = 0x0002;
constexpr uint16_t kFlagReservePresent = 0x0004;

constexpr uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr uint16_t kFolderContinuedPrevAndNext = 0xFFFF;
constexpr size_t kMaxFoldersPerCabinet = 0xFFFC;  // indices above are the continuation marks
constexpr size_t kMaxFilesPerCabinet = 0xFFFF;

constexpr unsigned kMaxHeaderReserve = 60000;
constexpr unsigned kMaxFolderReserve = 255;
constexpr unsigned kMaxDataReserve = 255;
constexpr size_t kMaxNameLength = 255;  // bytes before the NUL, for every stored name
// A folder's uncompressed stream stays well inside 31 bits, as readers expect.
constexpr uint64_t kMaxFolderUncompressed = 0x7FFF8000;
constexpr size_t kMaxUncompressedBlock = 32768;
constexpr size_t kMaxCompressedBlock = 65535;

uint16_t load16(const uint8_t* p);
uint32_t load32(const uint8_t* p);
void append16(Bytes& out, uint16_t value);
void append32(Bytes& out, uint32_t value);

// The checksum of data blocks: XOR of little-endian 32-bit words, the odd
// tail bytes taken most significant first.
uint32_t checksum(ByteView data, uint32_t seed);
// Checksum of one data block: over its payload, then over cbData, cbUncomp
// and the block's reserved area (the record bytes after the csum field).
uint32_t dataBlockChecksum(ByteView recordAfterCsum, ByteView payload);

struct Header {
  uint32_t cbCabinet = 0;
  uint32_t coffFiles = 0;
  uint16_t cFolders = 0;
  uint16_t cFiles = 0;
  uint16_t flags = 0;
  uint16_t setID = 0;
  uint16_t iCabinet = 0;
  uint16_t cbHeaderReserve = 0;
  uint8_t cbFolderReserve = 0;
  uint8_t cbDataReserve = 0;
  std::string prevCabinet, prevDisk, nextCabinet, nextDisk;

  bool hasPrev() const { return (flags & kFlagPrevCabinet) != 0; }
  bool hasNext() const { return (flags & kFlagNextCabinet) != 0; }
  bool hasReserve() const { return (flags & kFlagReservePresent) != 0; }
  size_t encodedSize() const;
  size_t folderEntrySize() const { return kFolderFixedSize + cbFolderReserve; }
  size_t dataHeaderSize() const { return kDataFixedSize + cbDataReserve; }
};

struct FolderEntry {
  uint32_t coffCabStart = 0;
  uint16_t cCFData = 0;
  uint16_t typeCompress = 0;
};

struct FileEntry {
  uint32_t cbFile = 0;
  uint32_t uoffFolderStart = 0;
  uint16_t iFolder = 0;
  uint16_t date = 0;
  uint16_t time = 0;
  uint16_t attribs = 0;
  std::string name;

  size_t encodedSize() const { return kFileFixedSize + name.size() + 1; }
  bool continuedFromPrev() const {
    return iFolder == kFolderContinuedFromPrev || iFolder == kFolderContinuedPrevAndNext;
  }
  bool continuedToNext() const {
    return iFolder == kFolderContinuedToNext || iFolder == kFolderContinuedPrevAndNext;
  }
};

// Reserved areas are written as zeros.
void appendHeader(Bytes& out, const Header& header);
void appendFolder(Bytes& out, const FolderEntry& folder, unsigned reserve);
void appendFile(Bytes& out, const FileEntry& file);

enum class ParseError { NotACabinet, UnknownVersion, Corrupt };

struct ParsedHeader {
  std::optional<Header> header;
  ParseError error = ParseError::Corrupt;
  ByteView reserve;  // the header's reserved area, inside the parsed bytes
};
// bytes: the start of the file, as much of it as a header can take.
ParsedHeader parseHeader(ByteView bytes);
std::optional<std::vector<FolderEntry>> parseFolders(ByteView bytes, const Header& header);
std::optional<std::vector<FileEntry>> parseFiles(ByteView bytes, uint16_t count);

// The most bytes a header can take on disk.
constexpr size_t kMaxHeaderSize =
    kHeaderFixedSize + kReserveFieldsSize + kMaxHeaderReserve + 4 * (kMaxNameLength + 1);

}  // namespace korvane::cab
