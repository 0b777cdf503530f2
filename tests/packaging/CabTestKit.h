// What the cabinet component tests share: a scratch machine with helpers for
// its files, data generators, and cabinets put together byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "packaging/CabSTComps.h"
#include "support/TestMachine.h"

namespace korvane::test::cabkit {

// Bytes that deflate well, and bytes that do not; the same seed gives the same bytes.
std::string textBytes(size_t size, unsigned seed);
std::string randomBytes(size_t size, unsigned seed);

struct SourceFile {
  std::string name;  // below the source folder, with backslashes
  std::string bytes;
};

class CabTest : public ::testing::Test {
 protected:
  CabTest();

  Machine& machine() { return *scratch_.machine; }
  FileSystem& files() { return machine().files(); }
  // A Windows path below the scratch folder.
  std::string at(const std::string& relative) const { return scratch_.scratch + "\\" + relative; }
  void put(const std::string& path, const std::string& bytes);
  std::string get(const std::string& path);
  void putAll(const std::string& folder, const std::vector<SourceFile>& sources);
  // Each source is in the folder with its bytes.
  void expectHolds(const std::string& folder, const std::vector<SourceFile>& sources);
  // Every file below a folder, as paths relative to it, sorted.
  std::vector<std::string> filesBelow(const std::string& folder);
#ifndef _WIN32
  // The host path of a Windows path on the scratch machine's drive C.
  std::string hostPath(const std::string& path) const;
  // The machine image's folder.
  const std::filesystem::path& hostRoot() const { return scratch_.host->path(); }
#endif

  // An MS-ZIP cabinet of every file below the folder, as the program's callers make one.
  void writeCabinet(const std::string& cabinet, const std::string& folder);

 private:
  ScratchMachine scratch_;
};

// A cabinet of stored files, put together field by field so that names,
// counts, offsets and checksums can be anything.
struct RawFile {
  std::string name;
  std::string bytes;
  uint16_t attribs = 0x20;
  uint16_t date = 0x5A8C, time = 0x6B2D;  // 2025-04-12 13:25:26
  // Overrides; -1 keeps the true value.
  int64_t size = -1, offset = -1;
};
struct RawOptions {
  size_t blockSize = 32768;
  bool checksums = true;
  // Damage: a byte of the data area flipped after the checksums were set
  // (-1: none), the data blocks cut short, the file count overridden.
  int64_t flipDataByte = -1;
  size_t truncateTo = 0;  // 0: whole
  int fileCount = -1;
  uint32_t coffCabStartDelta = 0;
  std::string nextCabinet;  // names a next cabinet in the header
};
std::string rawCabinet(const std::vector<RawFile>& files, const RawOptions& options = {});

}  // namespace korvane::test::cabkit
