#include "packaging/CabTestKit.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace korvane::test::cab {

namespace format = ::korvane::cab;
using format::append16;
using format::append32;
using format::Bytes;
using format::ByteView;
using format::Header;

std::string textBytes(size_t size, unsigned seed) {
  static const char* const words[] = {"driver ", "device ", "class ",   "install ", "service ", "[Strings]\r\n",
                                      "%Disk% ", "= ",      "HKLM, ", "\r\n",     "0x0001 ", "CopyFiles "};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += words[random() % std::size(words)];
  text.resize(size);
  return text;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ---- raw cabinets

std::string encodeCabinet(RawCabinet cabinet) {
  Header& header = cabinet.header;
  header.cFolders = static_cast<uint16_t>(cabinet.folders.size());
  header.cFiles = static_cast<uint16_t>(cabinet.files.size());
  size_t filesStart = header.encodedSize() + cabinet.folders.size() * header.folderEntrySize();
  size_t dataStart = filesStart;
  for (const format::FileEntry& file : cabinet.files) dataStart += file.encodedSize();
  header.coffFiles = static_cast<uint32_t>(filesStart);

  Bytes folders, data;
  for (const RawFolder& folder : cabinet.folders) {
    format::appendFolder(folders, {static_cast<uint32_t>(dataStart + data.size()), static_cast<uint16_t>(folder.blocks.size()),
                           folder.type},
                 header.cbFolderReserve);
    for (const RawBlock& block : folder.blocks) {
      Bytes record;
      append32(record, 0);
      append16(record, static_cast<uint16_t>(block.payload.size()));
      append16(record, block.uncompressed);
      record.insert(record.end(), header.cbDataReserve, 0);
      ByteView payload(reinterpret_cast<const uint8_t*>(block.payload.data()), block.payload.size());
      uint32_t sum = block.checksum ? format::dataBlockChecksum(ByteView(record).subspan(4), payload) : 0;
      for (int i = 0; i < 4; ++i) record[i] = static_cast<uint8_t>(sum >> (8 * i));
      data.insert(data.end(), record.begin(), record.end());
      data.insert(data.end(), payload.begin(), payload.end());
    }
  }
  header.cbCabinet = static_cast<uint32_t>(dataStart + data.size());
  Bytes out;
  format::appendHeader(out, header);
  out.insert(out.end(), folders.begin(), folders.end());
  for (const format::FileEntry& file : cabinet.files) format::appendFile(out, file);
  out.insert(out.end(), data.begin(), data.end());
  return std::string(out.begin(), out.end());
}

std::vector<RawBlock> storedBlocks(const std::string& bytes, size_t blockSize) {
  std::vector<RawBlock> blocks;
  for (size_t start = 0; start < bytes.size(); start += blockSize) {
    std::string part = bytes.substr(start, blockSize);
    blocks.push_back({part, static_cast<uint16_t>(part.size())});
  }
  return blocks;
}

namespace {

void overwrite16(std::string& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

}  // namespace

std::string rawCabinet(const std::vector<RawFile>& files, const RawOptions& options) {
  RawCabinet cabinet;
  cabinet.header.setID = 0x4B56;
  if (!options.nextCabinet.empty()) {
    cabinet.header.flags = format::kFlagNextCabinet;
    cabinet.header.nextCabinet = options.nextCabinet;
    cabinet.header.nextDisk = "Disk2";
  }
  std::string stream;
  uint32_t offset = 0;
  for (const RawFile& file : files) {
    stream += file.bytes;
    const auto trueSize = static_cast<uint32_t>(file.bytes.size());
    cabinet.files.push_back({file.size >= 0 ? static_cast<uint32_t>(file.size) : trueSize,
                             file.offset >= 0 ? static_cast<uint32_t>(file.offset) : offset, 0, file.date, file.time,
                             file.attribs, file.name});
    offset += trueSize;
  }
  RawFolder folder{tcompTYPE_NONE, storedBlocks(stream, options.blockSize)};
  for (RawBlock& block : folder.blocks) block.checksum = options.checksums;
  cabinet.folders.push_back(folder);

  std::string out = encodeCabinet(cabinet);
  const size_t folderEntry = cabinet.header.encodedSize();
  const size_t dataStart = format::load32(reinterpret_cast<const uint8_t*>(out.data() + folderEntry));
  if (options.fileCount >= 0) overwrite16(out, 28, static_cast<uint32_t>(options.fileCount));
  if (options.coffCabStartDelta != 0) {
    const uint32_t moved = static_cast<uint32_t>(dataStart) + options.coffCabStartDelta;
    overwrite16(out, folderEntry, moved & 0xFFFF);
    overwrite16(out, folderEntry + 2, moved >> 16);
  }
  if (options.flipDataByte >= 0) out[dataStart + format::kDataFixedSize + static_cast<size_t>(options.flipDataByte)] ^= 0x5A;
  if (options.truncateTo != 0 && options.truncateTo < out.size()) out.resize(options.truncateTo);
  return out;
}

// ---- the components on a scratch machine

CabTest::CabTest() : scratch_(makeScratchMachine()) {}

void CabTest::put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(files().forceDirectories(parentPath(path))) << path;
  ASSERT_TRUE(files().writeFile(path, bytes)) << path;
}

std::string CabTest::get(const std::string& path) { return files().readFile(path).value_or("<missing>"); }

void CabTest::putAll(const std::string& folder, const std::vector<InputFile>& sources) {
  for (const InputFile& source : sources) put(folder + "\\" + source.name, source.bytes);
}

void CabTest::expectHolds(const std::string& folder, const std::vector<InputFile>& sources) {
  for (const InputFile& source : sources) {
    const auto bytes = files().readFile(folder + "\\" + source.name);
    ASSERT_TRUE(bytes.has_value()) << source.name << " is missing";
    EXPECT_TRUE(*bytes == source.bytes) << source.name << ": " << bytes->size() << " bytes, expected "
                                        << source.bytes.size();
  }
}

std::vector<std::string> CabTest::filesBelow(const std::string& folder) {
  std::vector<std::string> found;
  for (const FileEntry& entry : files().find(folder + "\\*")) {
    if (!entry.isDirectory()) {
      found.push_back(entry.name);
      continue;
    }
    for (const std::string& inner : filesBelow(folder + "\\" + entry.name)) found.push_back(entry.name + "\\" + inner);
  }
  std::sort(found.begin(), found.end());
  return found;
}

#ifndef _WIN32
std::string CabTest::hostPath(const std::string& path) const {
  std::string relative = path.substr(3);  // below "C:\"
  std::replace(relative.begin(), relative.end(), '\\', '/');
  return (scratch_.host->path() / "drive_c" / relative).string();
}
#endif

void CabTest::writeCabinet(const std::string& cabinet, const std::string& folder) {
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(cabinet);
  writer.AddFiles(folder + "\\*.*", "", true);
  writer.Close(true);
}

}  // namespace korvane::test::cab
