#include "packaging/CabTestKit.h"

#include <algorithm>
#include <random>

namespace korvane::test::cabkit {

std::string textBytes(size_t size, unsigned seed) {
  static const char* const kWords[] = {"[Version]", "Signature", "=", "\"$Windows NT$\"", "Class", "Net",
                                       "%DiskName%", "driver.sys", "\r\n", "CopyFiles", "AddReg", "HKR", ",", "0x1"};
  std::mt19937 random(seed);
  std::string out;
  while (out.size() < size) out += std::string(kWords[random() % std::size(kWords)]) + ' ';
  out.resize(size);
  return out;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

CabTest::CabTest() : scratch_(makeScratchMachine()) {}

void CabTest::put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(files().forceDirectories(parentPath(path))) << path;
  ASSERT_TRUE(files().writeFile(path, bytes)) << path;
}

std::string CabTest::get(const std::string& path) { return files().readFile(path).value_or("<missing>"); }

void CabTest::putAll(const std::string& folder, const std::vector<SourceFile>& sources) {
  for (const SourceFile& source : sources) put(folder + "\\" + source.name, source.bytes);
}

void CabTest::expectHolds(const std::string& folder, const std::vector<SourceFile>& sources) {
  for (const SourceFile& source : sources) {
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

namespace {

void put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

// The cabinet format's block checksum: 32-bit little-endian words XORed,
// the last partial word taken from its bytes in reverse order.
uint32_t checksum(const std::string& bytes, uint32_t seed) {
  uint32_t sum = seed;
  size_t k = 0;
  for (; k + 4 <= bytes.size(); k += 4)
    sum ^= static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[k + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[k + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[k + 3])) << 24;
  uint32_t last = 0;
  for (; k < bytes.size(); ++k) last = (last << 8) | static_cast<uint8_t>(bytes[k]);
  return sum ^ last;
}

}  // namespace

std::string rawCabinet(const std::vector<RawFile>& files, const RawOptions& options) {
  std::string stream;
  for (const RawFile& file : files) stream += file.bytes;

  std::string blocks;
  uint32_t blockCount = 0;
  for (size_t at = 0; at < stream.size(); at += options.blockSize) {
    const std::string data = stream.substr(at, options.blockSize);
    std::string sizes;
    put16(sizes, static_cast<uint32_t>(data.size()));
    put16(sizes, static_cast<uint32_t>(data.size()));
    put32(blocks, options.checksums ? checksum(sizes, checksum(data, 0)) : 0);
    blocks += sizes + data;
    blockCount++;
  }

  std::string fileTable;
  uint32_t offset = 0;
  for (const RawFile& file : files) {
    put32(fileTable, file.size >= 0 ? static_cast<uint32_t>(file.size) : static_cast<uint32_t>(file.bytes.size()));
    put32(fileTable, file.offset >= 0 ? static_cast<uint32_t>(file.offset) : offset);
    put16(fileTable, 0);  // folder 0
    put16(fileTable, file.date);
    put16(fileTable, file.time);
    put16(fileTable, file.attribs);
    fileTable += file.name + '\0';
    offset += static_cast<uint32_t>(file.bytes.size());
  }

  const bool hasNext = !options.nextCabinet.empty();
  const std::string nextNames = hasNext ? options.nextCabinet + '\0' + "Disk2" + '\0' : "";
  const uint32_t headerSize = 36 + static_cast<uint32_t>(nextNames.size());
  const uint32_t folderStart = headerSize + 8 + static_cast<uint32_t>(fileTable.size());
  const uint32_t total = folderStart + static_cast<uint32_t>(blocks.size());

  std::string out = "MSCF";
  put32(out, 0);
  put32(out, total);
  put32(out, 0);
  put32(out, headerSize + 8);  // the file table follows the one folder entry
  put32(out, 0);
  out += '\x03';
  out += '\x01';
  put16(out, 1);
  put16(out, options.fileCount >= 0 ? static_cast<uint32_t>(options.fileCount) : static_cast<uint32_t>(files.size()));
  put16(out, hasNext ? 0x0002 : 0);
  put16(out, 0x4B56);
  put16(out, 0);
  out += nextNames;
  put32(out, folderStart + options.coffCabStartDelta);
  put16(out, blockCount);
  put16(out, 0);  // stored
  out += fileTable + blocks;
  if (options.flipDataByte >= 0) out[folderStart + 8 + static_cast<size_t>(options.flipDataByte)] ^= 0x5A;
  if (options.truncateTo != 0 && options.truncateTo < out.size()) out.resize(options.truncateTo);
  return out;
}

}  // namespace korvane::test::cabkit
