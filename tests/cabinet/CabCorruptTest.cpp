// Broken and hostile cabinets: the reader fails with a clear error, reports
// no file it could not produce exactly, leaves no target open and never
// reads out of bounds (the asan preset runs these too).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "packaging/CabTestKit.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

class Corrupt : public ::testing::Test {
 protected:
  void SetUp() override {
    inputs = {{"a.inf", textBytes(40000, 1)}, {"b.sys", randomBytes(3000, 2)}, {"c.txt", "c"}};
    TestWriter writer(dir.path(), "good.cab");
    for (const InputFile& input : inputs) ASSERT_TRUE(writer.add(input));
    ASSERT_TRUE(writer.finish());
    good = readFile(dir.path() / "good.cab");
    auto view = bytes(good);
    header = *::korvane::cab::parseHeader(view).header;
    folders = ::korvane::cab::parseFolders(view.subspan(header.encodedSize()), header).value();
  }

  static ::korvane::cab::ByteView bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  }

  static void put32(std::string& text, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) text[offset + i] = static_cast<char>(value >> (8 * i));
  }
  static void put16(std::string& text, size_t offset, uint16_t value) {
    text[offset] = static_cast<char>(value);
    text[offset + 1] = static_cast<char>(value >> 8);
  }

  size_t firstFileEntry() const { return header.coffFiles; }
  size_t firstBlock() const { return folders[0].coffCabStart; }

  // Reads the bytes as a cabinet; every file reported must be exactly an input.
  bool read(const std::string& cabinet, TestReader& reader) {
    fs::path file = dir.path() / "test.cab";
    writeFile(file, cabinet);
    bool ok = reader.copy(file);
    EXPECT_EQ(reader.leakedHandles, 0);
    return ok;
  }

  void expectReportedFilesAreExact(TestReader& reader) {
    for (auto& [name, file] : reader.files) {
      auto input = std::find_if(inputs.begin(), inputs.end(), [&](const InputFile& i) { return i.name == name; });
      ASSERT_NE(input, inputs.end()) << name;
      EXPECT_TRUE(file.bytes == input->bytes) << name;
    }
  }

  FDIERROR failure(const std::string& cabinet) {
    TestReader reader;
    EXPECT_FALSE(read(cabinet, reader));
    expectReportedFilesAreExact(reader);
    return static_cast<FDIERROR>(reader.error().erfOper);
  }

  TempDir dir;
  std::vector<InputFile> inputs;
  std::string good;
  ::korvane::cab::Header header;
  std::vector<::korvane::cab::FolderEntry> folders;
};

TEST_F(Corrupt, TheSampleIsSound) {
  TestReader reader;
  ASSERT_TRUE(read(good, reader));
  EXPECT_EQ(reader.files.size(), inputs.size());
  expectReportedFilesAreExact(reader);
}

TEST_F(Corrupt, EveryTruncationFails) {
  for (size_t length = 0; length < good.size(); length += length < 200 ? 1 : 37) {
    TestReader reader;
    EXPECT_FALSE(read(good.substr(0, length), reader)) << length;
    FDIERROR error = static_cast<FDIERROR>(reader.error().erfOper);
    EXPECT_TRUE(error == FDIERROR_NOT_A_CABINET || error == FDIERROR_CORRUPT_CABINET) << length << " " << error;
    expectReportedFilesAreExact(reader);
  }
}

TEST_F(Corrupt, AFlippedDataBitFailsTheChecksum) {
  std::string cabinet = good;
  cabinet[firstBlock() + 8 + 100] ^= 0x10;
  EXPECT_EQ(failure(cabinet), FDIERROR_CORRUPT_CABINET);
}

TEST_F(Corrupt, AFlippedSizeFailsTheChecksum) {
  std::string cabinet = good;
  cabinet[firstBlock() + 6] ^= 0x01;  // cbUncomp of the first block
  EXPECT_EQ(failure(cabinet), FDIERROR_CORRUPT_CABINET);
}

TEST_F(Corrupt, UndecodableDataWithoutChecksum) {
  RawCabinet cabinet;
  cabinet.folders.push_back({tcompTYPE_MSZIP, {{"CK" + std::string(100, '\xff'), 1000, false}}});
  cabinet.files = {{1000, 0, 0, 0, 0, 0, "a"}};
  EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_MDI_FAIL);
}

TEST_F(Corrupt, AMsZipBlockWithoutItsSignature) {
  RawCabinet cabinet;
  cabinet.folders.push_back({tcompTYPE_MSZIP, {{"XY\x03\x00", 10}}});
  cabinet.files = {{10, 0, 0, 0, 0, 0, "a"}};
  EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_MDI_FAIL);
}

TEST_F(Corrupt, ABlockThatDecodesToTheWrongSize) {
  // "CK" + a stored deflate block of 5 bytes, declared as 6 and as 4.
  std::string block = std::string("CK\x01\x05\x00\xfa\xff", 7) + "hello";
  for (uint16_t declared : {6, 4}) {
    RawCabinet cabinet;
    cabinet.folders.push_back({tcompTYPE_MSZIP, {{block, declared}}});
    cabinet.files = {{declared, 0, 0, 0, 0, 0, "a"}};
    EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_MDI_FAIL) << declared;
  }
}

TEST_F(Corrupt, StoredDataOfTheWrongSize) {
  RawCabinet cabinet;
  cabinet.folders.push_back({tcompTYPE_NONE, {{"abc", 4}}});
  cabinet.files = {{4, 0, 0, 0, 0, 0, "a"}};
  EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_MDI_FAIL);
}

TEST_F(Corrupt, BlocksLargerThanTheFormatAllows) {
  RawCabinet cabinet;
  std::string data(33000, 'x');
  cabinet.folders.push_back({tcompTYPE_NONE, {{data, 33000}}});
  cabinet.files = {{33000, 0, 0, 0, 0, 0, "a"}};
  EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_CORRUPT_CABINET);
}

TEST_F(Corrupt, HeaderFields) {
  auto patched = [&](size_t offset, uint32_t value, int width) {
    std::string cabinet = good;
    width == 4 ? put32(cabinet, offset, value) : put16(cabinet, offset, static_cast<uint16_t>(value));
    return cabinet;
  };
  std::string wrongSignature = good;
  wrongSignature[0] = 'X';
  EXPECT_EQ(failure(wrongSignature), FDIERROR_NOT_A_CABINET);
  std::string newVersion = good;
  newVersion[25] = 2;
  EXPECT_EQ(failure(newVersion), FDIERROR_UNKNOWN_CABINET_VERSION);
  EXPECT_EQ(failure(patched(16, 0xFFFFFFF0u, 4)), FDIERROR_CORRUPT_CABINET) << "file table beyond the end";
  EXPECT_EQ(failure(patched(26, 0xFFFF, 2)), FDIERROR_CORRUPT_CABINET) << "folder count";
  EXPECT_EQ(failure(patched(28, 0xFFFF, 2)), FDIERROR_CORRUPT_CABINET) << "file count";
  // The folder table is then read as names, and what follows as folders.
  FDIERROR shifted = failure(patched(30, ::korvane::cab::kFlagPrevCabinet, 2));
  EXPECT_TRUE(shifted == FDIERROR_CORRUPT_CABINET || shifted == FDIERROR_BAD_COMPR_TYPE) << shifted;
}

TEST_F(Corrupt, ReservedAreaBeyondTheLimit) {
  RawCabinet cabinet;
  cabinet.header.flags = ::korvane::cab::kFlagReservePresent;
  cabinet.header.cbHeaderReserve = 60001;
  EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_CORRUPT_CABINET);
}

TEST_F(Corrupt, FolderFields) {
  size_t entry = header.encodedSize();
  std::string beyond = good;
  put32(beyond, entry, static_cast<uint32_t>(good.size() + 1000));
  EXPECT_EQ(failure(beyond), FDIERROR_CORRUPT_CABINET) << "data beyond the end";
  std::string moreBlocks = good;
  put16(moreBlocks, entry + 4, 500);
  TestReader reader;
  // The blocks that exist decode; what is missing is not invented.
  bool ok = read(moreBlocks, reader);
  expectReportedFilesAreExact(reader);
  EXPECT_TRUE(ok || reader.error().erfOper == FDIERROR_CORRUPT_CABINET);
  std::string fewerBlocks = good;
  put16(fewerBlocks, entry + 4, 1);
  EXPECT_EQ(failure(fewerBlocks), FDIERROR_CORRUPT_CABINET) << "files reach past the folder's data";
}

TEST_F(Corrupt, FileFields) {
  size_t entry = firstFileEntry();
  std::string hugeSize = good;
  put32(hugeSize, entry, 0xFFFFFFFFu);
  EXPECT_EQ(failure(hugeSize), FDIERROR_CORRUPT_CABINET);
  std::string farOffset = good;
  put32(farOffset, entry + 4, 0x7FFF0000u);
  EXPECT_EQ(failure(farOffset), FDIERROR_CORRUPT_CABINET);
  std::string wrapping = good;
  put32(wrapping, entry, 0x10);
  put32(wrapping, entry + 4, 0xFFFFFFF8u);
  EXPECT_EQ(failure(wrapping), FDIERROR_CORRUPT_CABINET);
  std::string noSuchFolder = good;
  put16(noSuchFolder, entry + 8, 3);
  EXPECT_EQ(failure(noSuchFolder), FDIERROR_CORRUPT_CABINET);
  std::string continuedWithoutNext = good;
  put16(continuedWithoutNext, entry + 8, ::korvane::cab::kFolderContinuedToNext);
  EXPECT_EQ(failure(continuedWithoutNext), FDIERROR_CORRUPT_CABINET);
}

TEST_F(Corrupt, NamesWithoutTheirEnd) {
  RawCabinet cabinet;
  cabinet.folders.push_back({tcompTYPE_NONE, storedBlocks("abc")});
  cabinet.files = {{3, 0, 0, 0, 0, 0, std::string(300, 'n')}};
  EXPECT_EQ(failure(encodeCabinet(cabinet)), FDIERROR_CORRUPT_CABINET);
  std::string unterminated = good;
  unterminated.resize(good.size() - 1);
  size_t lastName = unterminated.find("c.txt");
  ASSERT_NE(lastName, std::string::npos);
  unterminated.resize(lastName + 5);  // the table ends in the middle of the name
  EXPECT_EQ(failure(unterminated), FDIERROR_CORRUPT_CABINET);
}

TEST_F(Corrupt, UnsupportedCompressionIsReportedAsSuch) {
  size_t typeField = header.encodedSize() + 6;
  for (uint16_t type : {TCOMPfromTypeLevelMemory(tcompTYPE_QUANTUM, 4, 17), static_cast<uint16_t>(0x0004),
                        static_cast<uint16_t>(tcompBAD)}) {
    std::string cabinet = good;
    put16(cabinet, typeField, type);
    TestReader reader;
    int copies = 0;
    reader.onCopy = [&](const FDINOTIFICATION&) -> intptr_t {
      ++copies;
      return -2;
    };
    EXPECT_FALSE(read(cabinet, reader));
    EXPECT_EQ(reader.error().erfOper, FDIERROR_BAD_COMPR_TYPE) << type;
    EXPECT_EQ(copies, 0) << "no target is opened for a folder that cannot be decoded";
  }
}

TEST_F(Corrupt, RandomDamageNeverGoesUnnoticedOrCrashes) {
  std::mt19937 random(1234);
  for (int round = 0; round < 400; ++round) {
    // Even rounds damage any byte, odd ones only the data blocks.
    bool dataOnly = round % 2 == 1;
    size_t from = dataOnly ? firstBlock() : 0;
    std::string cabinet = good;
    int changes = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < changes; ++i) cabinet[from + random() % (cabinet.size() - from)] = static_cast<char>(random());
    TestReader reader;
    read(cabinet, reader);
    FDIERROR error = static_cast<FDIERROR>(reader.error().erfOper);
    EXPECT_TRUE(error >= FDIERROR_NONE && error <= FDIERROR_EOF) << round;
    // Damaged tables may point files elsewhere; damaged data is caught by
    // the checksums and never yields other bytes.
    if (dataOnly) expectReportedFilesAreExact(reader);
  }
}

}  // namespace
}  // namespace korvane::test::cab
