#include "platform/CabFormat.h"

#include <algorithm>
#include <cstring>

namespace korvane::cab {

uint16_t load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void append16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void append32(Bytes& out, uint32_t value) {
  append16(out, static_cast<uint16_t>(value));
  append16(out, static_cast<uint16_t>(value >> 16));
}

uint32_t checksum(ByteView data, uint32_t seed) {
  uint32_t sum = seed;
  size_t whole = data.size() & ~size_t{3};
  for (size_t i = 0; i < whole; i += 4) sum ^= load32(data.data() + i);
  uint32_t tail = 0;
  for (size_t i = whole; i < data.size(); ++i) tail = (tail << 8) | data[i];
  return sum ^ tail;
}

uint32_t dataBlockChecksum(ByteView recordAfterCsum, ByteView payload) {
  return checksum(recordAfterCsum, checksum(payload, 0));
}

namespace {

size_t storedStringSize(const std::string& text) { return text.size() + 1; }

void appendString(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// Reads little-endian fields and NUL-terminated names from a byte range; any
// read past the end makes the reader fail and every later read fail too.
class Reader {
 public:
  explicit Reader(ByteView bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }

  uint8_t u8() { return take(1) ? bytes_[offset_ - 1] : 0; }
  uint16_t u16() { return take(2) ? load16(bytes_.data() + offset_ - 2) : 0; }
  uint32_t u32() { return take(4) ? load32(bytes_.data() + offset_ - 4) : 0; }
  ByteView span(size_t size) { return take(size) ? bytes_.subspan(offset_ - size, size) : ByteView{}; }

  std::string name() {
    if (!ok_) return {};
    size_t limit = std::min(bytes_.size() - offset_, kMaxNameLength + 1);
    const uint8_t* start = bytes_.data() + offset_;
    const void* nul = std::memchr(start, 0, limit);
    if (nul == nullptr) {
      ok_ = false;
      return {};
    }
    size_t length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - start);
    offset_ += length + 1;
    return std::string(reinterpret_cast<const char*>(start), length);
  }

 private:
  bool take(size_t size) {
    if (!ok_ || bytes_.size() - offset_ < size) {
      ok_ = false;
      return false;
    }
    offset_ += size;
    return true;
  }

  ByteView bytes_;
  size_t offset_ = 0;
  bool ok_ = true;
};

}  // namespace

size_t Header::encodedSize() const {
  size_t size = kHeaderFixedSize;
  if (hasReserve()) size += kReserveFieldsSize + cbHeaderReserve;
  if (hasPrev()) size += storedStringSize(prevCabinet) + storedStringSize(prevDisk);
  if (hasNext()) size += storedStringSize(nextCabinet) + storedStringSize(nextDisk);
  return size;
}

void appendHeader(Bytes& out, const Header& header) {
  out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
  append32(out, 0);
  append32(out, header.cbCabinet);
  append32(out, 0);
  append32(out, header.coffFiles);
  append32(out, 0);
  out.push_back(kVersionMinor);
  out.push_back(kVersionMajor);
  append16(out, header.cFolders);
  append16(out, header.cFiles);
  append16(out, header.flags);
  append16(out, header.setID);
  append16(out, header.iCabinet);
  if (header.hasReserve()) {
    append16(out, header.cbHeaderReserve);
    out.push_back(header.cbFolderReserve);
    out.push_back(header.cbDataReserve);
    out.insert(out.end(), header.cbHeaderReserve, 0);
  }
  if (header.hasPrev()) {
    appendString(out, header.prevCabinet);
    appendString(out, header.prevDisk);
  }
  if (header.hasNext()) {
    appendString(out, header.nextCabinet);
    appendString(out, header.nextDisk);
  }
}

void appendFolder(Bytes& out, const FolderEntry& folder, unsigned reserve) {
  append32(out, folder.coffCabStart);
  append16(out, folder.cCFData);
  append16(out, folder.typeCompress);
  out.insert(out.end(), reserve, 0);
}

void appendFile(Bytes& out, const FileEntry& file) {
  append32(out, file.cbFile);
  append32(out, file.uoffFolderStart);
  append16(out, file.iFolder);
  append16(out, file.date);
  append16(out, file.time);
  append16(out, file.attribs);
  appendString(out, file.name);
}

ParsedHeader parseHeader(ByteView bytes) {
  ParsedHeader result;
  if (bytes.size() < kHeaderFixedSize || !std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin())) {
    result.error = ParseError::NotACabinet;
    return result;
  }
  Reader in(bytes.subspan(4));
  Header header;
  in.u32();
  header.cbCabinet = in.u32();
  in.u32();
  header.coffFiles = in.u32();
  in.u32();
  in.u8();  // minor version: any
  uint8_t major = in.u8();
  header.cFolders = in.u16();
  header.cFiles = in.u16();
  header.flags = in.u16();
  header.setID = in.u16();
  header.iCabinet = in.u16();
  if (major != kVersionMajor) {
    result.error = ParseError::UnknownVersion;
    return result;
  }
  if (header.hasReserve()) {
    header.cbHeaderReserve = in.u16();
    header.cbFolderReserve = in.u8();
    header.cbDataReserve = in.u8();
    if (header.cbHeaderReserve > kMaxHeaderReserve) return result;
    result.reserve = in.span(header.cbHeaderReserve);
  }
  if (header.hasPrev()) {
    header.prevCabinet = in.name();
    header.prevDisk = in.name();
  }
  if (header.hasNext()) {
    header.nextCabinet = in.name();
    header.nextDisk = in.name();
  }
  if (!in.ok()) return result;
  result.header = std::move(header);
  return result;
}

std::optional<std::vector<FolderEntry>> parseFolders(ByteView bytes, const Header& header) {
  Reader in(bytes);
  std::vector<FolderEntry> folders(header.cFolders);
  for (FolderEntry& folder : folders) {
    folder.coffCabStart = in.u32();
    folder.cCFData = in.u16();
    folder.typeCompress = in.u16();
    in.span(header.cbFolderReserve);
  }
  if (!in.ok()) return std::nullopt;
  return folders;
}

std::optional<std::vector<FileEntry>> parseFiles(ByteView bytes, uint16_t count) {
  Reader in(bytes);
  std::vector<FileEntry> files(count);
  for (FileEntry& file : files) {
    file.cbFile = in.u32();
    file.uoffFolderStart = in.u32();
    file.iFolder = in.u16();
    file.date = in.u16();
    file.time = in.u16();
    file.attribs = in.u16();
    file.name = in.name();
    if (!in.ok()) return std::nullopt;
  }
  return files;
}

}  // namespace korvane::cab
