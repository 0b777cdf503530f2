// LZX folders: made by the test encoder, accepted by cabextract, decoded by
// our reader.
#include <gtest/gtest.h>

#include <random>

#include "cabinet/LzxTestEncoder.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

class Lzx : public ::testing::Test {
 protected:
  // A cabinet of one LZX folder holding data as three files.
  fs::path writeCabinet(const std::string& data, const LzxOptions& options, bool checksums = true) {
    RawCabinet cabinet;
    RawFolder folder{TCOMPfromLZXWindow(options.windowBits), lzxEncode(data, options)};
    for (RawBlock& block : folder.blocks) block.checksum = checksums;
    cabinet.folders.push_back(folder);
    size_t third = data.size() / 3;
    parts = {data.substr(0, third), data.substr(third, third), data.substr(2 * third)};
    uint32_t offset = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
      cabinet.files.push_back(
          {static_cast<uint32_t>(parts[i].size()), offset, 0, 0x5A8C, 0x6B2D, _A_ARCH, "part" + std::to_string(i)});
      offset += static_cast<uint32_t>(parts[i].size());
    }
    fs::path file = dir.path() / ("lzx" + std::to_string(count++) + ".cab");
    writeFile(file, encodeCabinet(cabinet));
    return file;
  }

  // cabextract, an independent reader, vouches for the test data first.
  void expectCabextractAccepts(const fs::path& cabinet) {
    if (runCommand("command -v cabextract") != 0) return;
    std::string output;
    EXPECT_EQ(runCommand("cabextract -t " + quoted(cabinet), &output), 0) << output;
    EXPECT_NE(output.find("All done, no errors"), std::string::npos) << output;
  }

  void roundTrip(const std::string& data, const LzxOptions& options) {
    fs::path cabinet = writeCabinet(data, options);
    expectCabextractAccepts(cabinet);
    TestReader reader;
    ASSERT_TRUE(reader.copy(cabinet)) << reader.error().erfOper;
    ASSERT_EQ(reader.files.size(), parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
      EXPECT_TRUE(reader.files["part" + std::to_string(i)].bytes == parts[i]) << i;
  }

  // Bytes that look like x86 code: calls with relative targets among others.
  static std::string codeBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() < size) {
      if (random() % 4 == 0) {
        bytes += '\xE8';
        int32_t target = static_cast<int32_t>(random() % 200000) - 100000;
        for (int b = 0; b < 4; ++b) bytes += static_cast<char>(static_cast<uint32_t>(target) >> (8 * b));
      } else {
        bytes += textBytes(random() % 20, random()).substr(0, 1 + random() % 8);
      }
    }
    bytes.resize(size);
    return bytes;
  }

  TempDir dir;
  std::vector<std::string> parts;
  int count = 0;
};

TEST_F(Lzx, VerbatimBlocksOverSeveralFrames) { roundTrip(textBytes(200000, 1), {.windowBits = 16}); }

TEST_F(Lzx, LiteralsOnly) { roundTrip(randomBytes(70000, 2), {.windowBits = 15, .matches = false}); }

TEST_F(Lzx, AlignedOffsetBlocks) {
  std::string data = textBytes(50000, 3);
  data += randomBytes(300000, 4) + data;  // matches reaching far back
  roundTrip(data, {.windowBits = 21, .blockType = [](size_t) { return LzxBlock::Aligned; }});
}

TEST_F(Lzx, UncompressedBlocksAmongOthers) {
  roundTrip(textBytes(60000, 5) + randomBytes(40000, 6),
            {.windowBits = 17, .blockSize = 12346, .blockType = [](size_t i) {
               return i % 3 == 1 ? LzxBlock::Uncompressed : i % 3 == 2 ? LzxBlock::Aligned : LzxBlock::Verbatim;
             }});
}

TEST_F(Lzx, AnOddUncompressedBlockInsideAFrame) {
  roundTrip(textBytes(30001, 7),
            {.windowBits = 16, .blockSize = 10001, .blockType = [](size_t i) {
               return i == 1 ? LzxBlock::Uncompressed : LzxBlock::Verbatim;
             }});
}

TEST_F(Lzx, BlocksSpanningFrames) { roundTrip(textBytes(250000, 8), {.windowBits = 18, .blockSize = 100000}); }

TEST_F(Lzx, CallTranslation) {
  roundTrip(codeBytes(150000, 9), {.windowBits = 16, .translateCalls = true, .translationSize = 150000});
}

TEST_F(Lzx, EveryWindowSize) {
  std::string data = textBytes(40000, 10) + randomBytes(5000, 11) + textBytes(40000, 10);
  for (unsigned bits = 15; bits <= 21; ++bits) roundTrip(data, {.windowBits = bits});
}

TEST_F(Lzx, TruncatedDataFailsToDecode) {
  std::string data = textBytes(20000, 12);
  RawCabinet cabinet;
  auto blocks = lzxEncode(data, {.windowBits = 16});
  blocks[0].payload.resize(blocks[0].payload.size() / 2);
  cabinet.folders.push_back({TCOMPfromLZXWindow(16), blocks});
  cabinet.files = {{20000, 0, 0, 0, 0, 0, "a"}};
  writeFile(dir.path() / "cut.cab", encodeCabinet(cabinet));
  TestReader reader;
  EXPECT_FALSE(reader.copy(dir.path() / "cut.cab"));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_MDI_FAIL);
  EXPECT_TRUE(reader.files.empty());
}

TEST_F(Lzx, AWindowSizeOutsideTheFormatIsRefused) {
  RawCabinet cabinet;
  cabinet.folders.push_back({TCOMPfromLZXWindow(22), lzxEncode("abc", {.windowBits = 21})});
  cabinet.files = {{3, 0, 0, 0, 0, 0, "a"}};
  writeFile(dir.path() / "wide.cab", encodeCabinet(cabinet));
  TestReader reader;
  EXPECT_FALSE(reader.copy(dir.path() / "wide.cab"));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_BAD_COMPR_TYPE);
}

TEST_F(Lzx, DamagedStreamsNeverCrash) {
  std::string data = codeBytes(100000, 13);
  auto good = lzxEncode(data, {.windowBits = 16, .blockSize = 40000, .blockType = [](size_t i) {
                                 return static_cast<LzxBlock>(1 + i % 3);
                               }, .translateCalls = true});
  std::mt19937 random(99);
  for (int round = 0; round < 150; ++round) {
    auto blocks = good;
    RawBlock& victim = blocks[random() % blocks.size()];
    for (int i = 0; i < 1 + static_cast<int>(random() % 4); ++i)
      victim.payload[random() % victim.payload.size()] = static_cast<char>(random());
    for (RawBlock& block : blocks) block.checksum = false;  // let the damage reach the decoder
    RawCabinet cabinet;
    cabinet.folders.push_back({TCOMPfromLZXWindow(16), blocks});
    cabinet.files = {{100000, 0, 0, 0, 0, 0, "a"}};
    writeFile(dir.path() / "bad.cab", encodeCabinet(cabinet));
    TestReader reader;
    bool ok = reader.copy(dir.path() / "bad.cab");
    EXPECT_EQ(reader.leakedHandles, 0);
    EXPECT_TRUE(ok || reader.error().erfOper == FDIERROR_MDI_FAIL) << round << " " << reader.error().erfOper;
    EXPECT_EQ(reader.files.size(), ok ? 1u : 0u) << round;
  }
}

}  // namespace
}  // namespace korvane::test::cab
