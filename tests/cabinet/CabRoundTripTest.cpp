// Cabinets written by our FCI and read back by our FDI.
#include <gtest/gtest.h>

#include "packaging/CabTestKit.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

class RoundTrip : public ::testing::Test {
 protected:
  // Writes the files into one cabinet and reads them back.
  void roundTrip(const std::vector<InputFile>& inputs, const WriterOptions& options = {}) {
    TestWriter writer(dir.path(), "out.cab", options);
    ASSERT_TRUE(writer.created());
    for (const InputFile& input : inputs) ASSERT_TRUE(writer.add(input)) << input.name << " " << writer.error().erfOper;
    ASSERT_TRUE(writer.finish()) << writer.error().erfOper;
    ASSERT_TRUE(reader.extractSet(dir.path() / "out.cab")) << reader.error().erfOper;
    expectExtracted(inputs);
  }

  void expectExtracted(const std::vector<InputFile>& inputs) {
    ASSERT_EQ(reader.files.size(), inputs.size());
    for (const InputFile& input : inputs) {
      ASSERT_TRUE(reader.files.count(input.name)) << input.name;
      const ExtractedFile& file = reader.files[input.name];
      EXPECT_EQ(file.bytes.size(), input.bytes.size()) << input.name;
      EXPECT_TRUE(file.bytes == input.bytes) << input.name;
      EXPECT_EQ(file.times, 1) << input.name;
    }
  }

  TempDir dir;
  TestReader reader;
};

TEST_F(RoundTrip, EmptyFile) { roundTrip({{"empty.txt", ""}}); }

TEST_F(RoundTrip, OneByte) { roundTrip({{"one.bin", "x"}}); }

TEST_F(RoundTrip, ExactlyOneBlock) { roundTrip({{"block.bin", textBytes(32768, 1)}}); }

TEST_F(RoundTrip, BlockBoundaries) {
  roundTrip({{"a", textBytes(32767, 2)}, {"b", textBytes(1, 3)}, {"c", textBytes(32769, 4)}, {"d", ""},
             {"e", textBytes(65536, 5)}});
}

TEST_F(RoundTrip, FilesOverSeveralBlocksAndBatches) {
  // More than one batch of blocks, text and incompressible data mixed.
  roundTrip({{"text.inf", textBytes(3 * 1024 * 1024 + 123, 6)}, {"random.sys", randomBytes(1024 * 1024 + 7, 7)},
             {"tail.cat", textBytes(5000, 8)}});
}

TEST_F(RoundTrip, ManySmallFiles) {
  std::vector<InputFile> inputs;
  for (int i = 0; i < 600; ++i)
    inputs.push_back({"sub\\dir" + std::to_string(i % 7) + "\\file" + std::to_string(i) + ".dll",
                      textBytes(static_cast<size_t>(i * 37 % 3000), static_cast<unsigned>(i))});
  roundTrip(inputs);
}

TEST_F(RoundTrip, UncompressedFolder) {
  roundTrip({{"stored.bin", randomBytes(100000, 9), tcompTYPE_NONE}, {"stored2.bin", "abc", tcompTYPE_NONE}});
}

TEST_F(RoundTrip, ChangingTheCompressionStartsAFolder) {
  roundTrip({{"z1", textBytes(40000, 10)}, {"n1", textBytes(40000, 11), tcompTYPE_NONE}, {"z2", textBytes(100, 12)}});
  FDICABINETINFO info{};
  ASSERT_TRUE(reader.isCabinet(dir.path() / "out.cab", info));
  EXPECT_EQ(info.cFolders, 3);
  EXPECT_EQ(info.cFiles, 3);
  EXPECT_EQ(reader.files["z1"].folder, 0);
  EXPECT_EQ(reader.files["n1"].folder, 1);
  EXPECT_EQ(reader.files["z2"].folder, 2);
}

TEST_F(RoundTrip, FlushedFoldersAndAThreshold) {
  TestWriter writer(dir.path(), "out.cab", {.folderThreshold = 50000});
  std::vector<InputFile> inputs;
  for (int i = 0; i < 8; ++i) inputs.push_back({"f" + std::to_string(i), randomBytes(30000, 20u + i)});
  for (size_t i = 0; i < inputs.size(); ++i) {
    ASSERT_TRUE(writer.add(inputs[i]));
    if (i == 0) {
      ASSERT_TRUE(writer.flushFolder());
    }
  }
  ASSERT_TRUE(writer.finish());
  ASSERT_TRUE(reader.extractSet(dir.path() / "out.cab"));
  expectExtracted(inputs);
  FDICABINETINFO info{};
  ASSERT_TRUE(reader.isCabinet(dir.path() / "out.cab", info));
  // f0 alone; then a new folder whenever one holds 50000 bytes.
  EXPECT_EQ(info.cFolders, 5);
  EXPECT_EQ(reader.files["f0"].folder, 0);
  EXPECT_EQ(reader.files["f1"].folder, 1);
  EXPECT_EQ(reader.files["f2"].folder, 1);
  EXPECT_EQ(reader.files["f3"].folder, 2);
}

TEST_F(RoundTrip, DatesAttributesAndTheRunFlag) {
  roundTrip({{"setup.exe", "MZ", tcompTYPE_MSZIP, true, 0x3021, 0x1234, _A_RDONLY | _A_HIDDEN},
             {"plain.txt", "text", tcompTYPE_MSZIP, false, 0x5A8C, 0x6B2D, _A_SYSTEM | _A_ARCH}});
  const ExtractedFile& setup = reader.files["setup.exe"];
  EXPECT_TRUE(setup.execute);
  EXPECT_EQ(setup.date, 0x3021);
  EXPECT_EQ(setup.time, 0x1234);
  EXPECT_EQ(setup.attribs, _A_RDONLY | _A_HIDDEN);
  const ExtractedFile& plain = reader.files["plain.txt"];
  EXPECT_FALSE(plain.execute);
  EXPECT_EQ(plain.attribs, _A_SYSTEM | _A_ARCH);
}

TEST_F(RoundTrip, Utf8NamesKeepTheirBytes) {
  roundTrip({{"\xd0\x94\xd1\x80\xd0\xb0\xd0\xb9\xd0\xb2\xd0\xb5\xd1\x80.inf", "inf", tcompTYPE_MSZIP, false, 1, 2,
              _A_NAME_IS_UTF}});
}

TEST_F(RoundTrip, ReservedAreas) {
  roundTrip({{"a", textBytes(70000, 30)}, {"b", randomBytes(40000, 31)}},
            {.reserveHeader = 6144, .reserveFolder = 7, .reserveData = 255});
  FDICABINETINFO info{};
  ASSERT_TRUE(reader.isCabinet(dir.path() / "out.cab", info));
  EXPECT_TRUE(info.fReserve);
}

TEST_F(RoundTrip, EmptyCabinet) {
  TestWriter writer(dir.path(), "out.cab");
  ASSERT_TRUE(writer.finish());
  ASSERT_TRUE(reader.copy(dir.path() / "out.cab"));
  EXPECT_TRUE(reader.files.empty());
  EXPECT_EQ(reader.cabinetsOpened.size(), 1u);
}

TEST_F(RoundTrip, AFolderOfEmptyFilesOnly) { roundTrip({{"a", ""}, {"b", ""}, {"c", ""}}); }

TEST_F(RoundTrip, OutputDoesNotDependOnCallPattern) {
  // The same data added in one file or in many gives the same blocks.
  std::string data = textBytes(500000, 40);
  TestWriter one(dir.path() / "one", "out.cab");
  ASSERT_TRUE(one.add({"x", data}));
  ASSERT_TRUE(one.finish());
  TestWriter again(dir.path() / "again", "out.cab");
  ASSERT_TRUE(again.add({"x", data}));
  ASSERT_TRUE(again.finish());
  EXPECT_TRUE(readFile(dir.path() / "one/out.cab") == readFile(dir.path() / "again/out.cab"));
}

TEST_F(RoundTrip, CompressesText) {
  std::string data = textBytes(1000000, 41);
  TestWriter writer(dir.path(), "out.cab");
  ASSERT_TRUE(writer.add({"x", data}));
  ASSERT_TRUE(writer.finish());
  EXPECT_LT(fs::file_size(dir.path() / "out.cab"), data.size() / 4);
}

TEST_F(RoundTrip, TheWriterReportsItsProgress) {
  TestWriter writer(dir.path(), "out.cab");
  ASSERT_TRUE(writer.add({"a", textBytes(100000, 42)}));
  ASSERT_TRUE(writer.add({"b", textBytes(10, 43)}));
  ASSERT_TRUE(writer.finish());
  EXPECT_EQ(writer.blockStatuses, 4);  // 100010 bytes make four blocks
  EXPECT_EQ(writer.folderStatuses, 1);
  EXPECT_EQ(writer.cabinetStatuses, 1);
  ASSERT_EQ(writer.placements.size(), 2u);
  EXPECT_EQ(writer.placements[0].name, "a");
  EXPECT_EQ(writer.placements[0].size, 100000);
  EXPECT_FALSE(writer.placements[0].continuation);
  EXPECT_EQ(writer.placements[1].cabinet, "out.cab");
}

TEST_F(RoundTrip, NoTemporaryFilesRemain) {
  TestWriter writer(dir.path(), "out.cab");
  ASSERT_TRUE(writer.add({"a", textBytes(100000, 44)}));
  ASSERT_TRUE(writer.finish());
  EXPECT_TRUE(fs::is_empty(writer.tempFolder));
}

TEST_F(RoundTrip, DestroyingWithoutFlushWritesNothing) {
  {
    TestWriter writer(dir.path(), "out.cab");
    ASSERT_TRUE(writer.add({"a", textBytes(1500000, 45)}));
    EXPECT_FALSE(fs::is_empty(writer.tempFolder)) << "blocks are waiting in a temporary file";
  }
  EXPECT_FALSE(fs::exists(dir.path() / "out.cab"));
}

TEST_F(RoundTrip, ExistingCabinetIsReplaced) {
  writeFile(dir.path() / "out.cab", randomBytes(300000, 46));
  roundTrip({{"a", "new"}});
  EXPECT_LT(fs::file_size(dir.path() / "out.cab"), 1000u);
}

TEST_F(RoundTrip, AddingAfterTheSetIsFinishedStartsAnotherCabinet) {
  TestWriter writer(dir.path(), "out.cab");
  ASSERT_TRUE(writer.add({"a", "first"}));
  ASSERT_TRUE(writer.finish());
  ASSERT_TRUE(writer.add({"b", "second"}));
  ASSERT_TRUE(writer.finish());
  ASSERT_EQ(writer.cabinets().size(), 2u);
  ASSERT_TRUE(reader.extractSet(writer.cabinets()[0]));
  EXPECT_EQ(reader.files.size(), 1u) << "the first cabinet stands alone";
  TestReader second;
  ASSERT_TRUE(second.extractSet(writer.cabinets()[1]));
  EXPECT_EQ(second.files["b"].bytes, "second");
}

}  // namespace
}  // namespace korvane::test::cab
