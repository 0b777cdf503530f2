// Cabinet sets: a size limit or a flush cuts the cabinet, files and folders
// go on in the next one, and the reader follows the set.
#include <gtest/gtest.h>

#include <algorithm>

#include "packaging/CabTestKit.h"
#include "platform/CabFormat.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

class Span : public ::testing::Test {
 protected:
  // Writes the files as a set of cabinets of at most cabinetSize bytes.
  std::vector<fs::path> writeSet(const std::vector<InputFile>& inputs, WriterOptions options) {
    TestWriter writer(dir.path(), "set.cab", options);
    for (const InputFile& input : inputs) EXPECT_TRUE(writer.add(input)) << writer.error().erfOper;
    EXPECT_TRUE(writer.finish()) << writer.error().erfOper;
    placements = writer.placements;
    previousSizes = writer.previousSizes;
    return writer.cabinets();
  }

  void expectAllExtracted(const std::vector<InputFile>& inputs) {
    EXPECT_EQ(reader.files.size(), inputs.size());
    for (const InputFile& input : inputs) {
      const ExtractedFile& file = reader.files[input.name];
      EXPECT_EQ(file.bytes.size(), input.bytes.size()) << input.name;
      EXPECT_TRUE(file.bytes == input.bytes) << input.name;
      EXPECT_EQ(file.times, 1) << input.name;
    }
  }

  static void expectWithin(const std::vector<fs::path>& cabinets, uint32_t limit) {
    for (const fs::path& cabinet : cabinets) {
      ASSERT_TRUE(fs::exists(cabinet)) << cabinet;
      EXPECT_LE(fs::file_size(cabinet), limit) << cabinet;
    }
  }

  static std::vector<::korvane::cab::FileEntry> entriesOf(const fs::path& cabinet) {
    std::string bytes = readFile(cabinet);
    ::korvane::cab::ByteView view(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    auto parsed = ::korvane::cab::parseHeader(view);
    return ::korvane::cab::parseFiles(view.subspan(parsed.header->coffFiles), parsed.header->cFiles).value();
  }

  TempDir dir;
  TestReader reader;
  std::vector<Placement> placements;
  std::vector<uint32_t> previousSizes;
};

TEST_F(Span, SmallCabinetsHoldMixedFiles) {
  std::vector<InputFile> inputs = {{"a.inf", textBytes(100000, 1)},
                                   {"b.sys", randomBytes(150000, 2)},
                                   {"c.cat", textBytes(5000, 3)},
                                   {"d.dll", randomBytes(70000, 4)},
                                   {"e.txt", ""}};
  auto cabinets = writeSet(inputs, {.cabinetSize = 40000});
  ASSERT_GE(cabinets.size(), 6u) << "the random data alone needs six";
  expectWithin(cabinets, 40000);
  ASSERT_TRUE(reader.extractSet(cabinets.front())) << reader.error().erfOper;
  expectAllExtracted(inputs);
  EXPECT_FALSE(reader.partialFiles.empty());
  EXPECT_TRUE(std::any_of(placements.begin(), placements.end(), [](const Placement& p) { return p.continuation; }));
  EXPECT_GE(reader.cabinetsOpened.size(), cabinets.size());
}

TEST_F(Span, OneFileOverManyCabinets) {
  std::vector<InputFile> inputs = {{"big.bin", randomBytes(300000, 5)}};
  auto cabinets = writeSet(inputs, {.cabinetSize = 20000});
  ASSERT_GE(cabinets.size(), 15u);
  expectWithin(cabinets, 20000);
  ASSERT_TRUE(reader.extractSet(cabinets.front()));
  expectAllExtracted(inputs);
  auto middle = entriesOf(cabinets[3]);
  ASSERT_EQ(middle.size(), 1u);
  EXPECT_EQ(middle[0].iFolder, ::korvane::cab::kFolderContinuedPrevAndNext);
  EXPECT_EQ(middle[0].cbFile, 300000u);
  EXPECT_EQ(entriesOf(cabinets.front())[0].iFolder, ::korvane::cab::kFolderContinuedToNext);
  EXPECT_EQ(entriesOf(cabinets.back())[0].iFolder, ::korvane::cab::kFolderContinuedFromPrev);
}

TEST_F(Span, FilesAfterACarriedFileStartANewFolder) {
  // A folder that goes on in the next cabinet ends with the files it carried
  // there, so the next cabinet's own files can be read from it alone.
  std::vector<InputFile> inputs = {{"span.bin", randomBytes(60000, 6)}};
  for (int i = 0; i < 20; ++i) inputs.push_back({"small" + std::to_string(i), textBytes(3000, 10u + i)});
  auto cabinets = writeSet(inputs, {.cabinetSize = 45000});
  ASSERT_EQ(cabinets.size(), 2u);
  auto second = entriesOf(cabinets[1]);
  ASSERT_EQ(second.size(), inputs.size());
  std::vector<std::string> carried;
  for (const auto& entry : second)
    if (entry.continuedFromPrev()) carried.push_back(entry.name);
  ASSERT_FALSE(carried.empty());
  EXPECT_EQ(carried.front(), "span.bin");
  for (size_t i = carried.size(); i < second.size(); ++i) EXPECT_EQ(second[i].iFolder, 1) << second[i].name;
  EXPECT_EQ(second[carried.size()].uoffFolderStart, 0u);

  ASSERT_TRUE(reader.copy(cabinets[1]));
  EXPECT_EQ(reader.partialFiles, carried);
  EXPECT_EQ(reader.files.size(), inputs.size() - carried.size());
  ASSERT_TRUE(reader.copy(cabinets[0]));
  expectAllExtracted(inputs);
}

TEST_F(Span, ReservedAreasInASet) {
  std::vector<InputFile> inputs = {{"a", randomBytes(120000, 7)}, {"b", textBytes(90000, 8)}};
  auto cabinets = writeSet(inputs, {.cabinetSize = 30000, .reserveHeader = 100, .reserveFolder = 20, .reserveData = 8});
  ASSERT_GE(cabinets.size(), 4u);
  expectWithin(cabinets, 30000);
  ASSERT_TRUE(reader.extractSet(cabinets.front()));
  expectAllExtracted(inputs);
}

TEST_F(Span, ACutBetweenWholeFilesStartsANewFolder) {
  // Stored 32 KiB files make one block each; the limit leaves room for two
  // such files and not one byte of the third.
  std::vector<InputFile> inputs;
  for (int i = 0; i < 3; ++i) inputs.push_back({"f" + std::to_string(i), randomBytes(32768, 20u + i), tcompTYPE_NONE});
  uint32_t limit = 36 + 512 + 8 + 2 * (16 + 3) + 2 * (8 + 32768);
  auto cabinets = writeSet(inputs, {.cabinetSize = limit});
  ASSERT_EQ(cabinets.size(), 2u);
  expectWithin(cabinets, limit);
  auto second = entriesOf(cabinets[1]);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].iFolder, 0) << "no continuation: a folder of its own";
  EXPECT_EQ(second[0].uoffFolderStart, 0u);
  ASSERT_TRUE(reader.extractSet(cabinets.front()));
  expectAllExtracted(inputs);
  EXPECT_TRUE(reader.partialFiles.empty());
  EXPECT_TRUE(reader.nextCabinetReasons.empty());
}

TEST_F(Span, ACutBetweenBlocksInsideAFileContinuesTheFolder) {
  // The second block holds the end of the first file and the second file.
  std::vector<InputFile> inputs = {{"first", randomBytes(32768 + 100, 30), tcompTYPE_NONE},
                                   {"second", randomBytes(10, 31), tcompTYPE_NONE}};
  uint32_t limit = 36 + 512 + 8 + (16 + 6) + (8 + 32768) + 8;  // too little left to split the second block
  auto cabinets = writeSet(inputs, {.cabinetSize = limit});
  ASSERT_EQ(cabinets.size(), 2u);
  EXPECT_EQ(entriesOf(cabinets[0])[0].iFolder, ::korvane::cab::kFolderContinuedToNext);
  ASSERT_TRUE(reader.extractSet(cabinets.front()));
  expectAllExtracted(inputs);
}

TEST_F(Span, FlushingTheCabinetEveryTwoFiles) {
  TestWriter writer(dir.path(), "Backup.cab");
  std::vector<InputFile> inputs;
  for (int i = 0; i < 5; ++i) {
    inputs.push_back({"file" + std::to_string(i), textBytes(1000, 40u + i)});
    if (i == 2 || i == 4) {
      ASSERT_TRUE(writer.flushCabinet(true));
    }
    ASSERT_TRUE(writer.add(inputs.back()));
  }
  ASSERT_TRUE(writer.finish());
  ASSERT_EQ(writer.cabinets().size(), 3u);
  EXPECT_EQ(writer.cabinets()[1].filename(), "Backup2.cab");
  EXPECT_EQ(writer.cabinets()[2].filename(), "Backup3.cab");
  EXPECT_EQ(entriesOf(writer.cabinets()[0]).size(), 2u);
  EXPECT_EQ(entriesOf(writer.cabinets()[1]).size(), 2u);
  EXPECT_EQ(entriesOf(writer.cabinets()[2]).size(), 1u);
  ASSERT_TRUE(reader.extractSet(writer.cabinets()[0]));
  expectAllExtracted(inputs);
  EXPECT_EQ(reader.cabinetsOpened.size(), 3u);
}

TEST_F(Span, TheNextCabinetIsToldThePreviousSize) {
  auto cabinets = writeSet({{"a", randomBytes(100000, 50)}}, {.cabinetSize = 30000});
  ASSERT_EQ(previousSizes.size(), cabinets.size() - 1);
  for (size_t i = 0; i + 1 < cabinets.size(); ++i) {
    // The size without the next cabinet's names, which were not known yet.
    std::string next = cabinets[i + 1].filename().string(), disk = "Disk" + std::to_string(i + 2);
    EXPECT_EQ(previousSizes[i] + next.size() + 1 + disk.size() + 1, fs::file_size(cabinets[i]));
  }
}

TEST_F(Span, HeadersChainTheSet) {
  auto cabinets = writeSet({{"a", randomBytes(70000, 51)}}, {.cabinetSize = 30000, .setID = 0x4321});
  ASSERT_EQ(cabinets.size(), 3u);
  FDICABINETINFO first{}, middle{}, last{};
  ASSERT_TRUE(reader.isCabinet(cabinets[0], first));
  ASSERT_TRUE(reader.isCabinet(cabinets[1], middle));
  ASSERT_TRUE(reader.isCabinet(cabinets[2], last));
  EXPECT_TRUE(!first.hasprev && first.hasnext);
  EXPECT_TRUE(middle.hasprev && middle.hasnext);
  EXPECT_TRUE(last.hasprev && !last.hasnext);
  EXPECT_EQ(middle.setID, 0x4321);
  EXPECT_EQ(middle.iCabinet, first.iCabinet + 1);
  EXPECT_EQ(last.iCabinet, first.iCabinet + 2);
}

TEST_F(Span, TheReaderMayPointElsewhereForTheNextCabinet) {
  auto cabinets = writeSet({{"a", randomBytes(50000, 52)}}, {.cabinetSize = 30000});
  ASSERT_EQ(cabinets.size(), 2u);
  fs::create_directories(dir.path() / "disk2");
  fs::rename(cabinets[1], dir.path() / "disk2" / cabinets[1].filename());
  std::string elsewhere = (dir.path() / "disk2").string() + "/";
  reader.onNextCabinet = [&](FDINOTIFICATION& note) -> intptr_t {
    std::snprintf(note.psz3, CB_MAX_CAB_PATH, "%s", elsewhere.c_str());
    return 0;
  };
  ASSERT_TRUE(reader.copy(cabinets[0])) << reader.error().erfOper;
  EXPECT_EQ(reader.files["a"].bytes.size(), 50000u);
  EXPECT_EQ(reader.cabinetsOpened.back(), elsewhere);
}

TEST_F(Span, AMissingNextCabinetIsAskedForAgainThenFails) {
  auto cabinets = writeSet({{"a", randomBytes(50000, 53)}}, {.cabinetSize = 30000});
  fs::remove(cabinets[1]);
  EXPECT_FALSE(reader.copy(cabinets[0]));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_USER_ABORT);
  EXPECT_EQ(reader.nextCabinetReasons, (std::vector<FDIERROR>{FDIERROR_NONE, FDIERROR_CABINET_NOT_FOUND}));
  EXPECT_TRUE(reader.files.empty()) << "the spanning file was not completed";
  EXPECT_EQ(reader.leakedHandles, 0);
}

TEST_F(Span, ACallbackThatNeverGivesUpIsNotAskedForever) {
  auto cabinets = writeSet({{"a", randomBytes(50000, 54)}}, {.cabinetSize = 30000});
  fs::remove(cabinets[1]);
  reader.onNextCabinet = [](FDINOTIFICATION&) -> intptr_t { return 0; };
  EXPECT_FALSE(reader.copy(cabinets[0]));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_CABINET_NOT_FOUND);
  EXPECT_LE(reader.nextCabinetReasons.size(), 20u);
}

TEST_F(Span, ACabinetOfAnotherSetIsTheWrongCabinet) {
  auto cabinets = writeSet({{"a", randomBytes(50000, 55)}}, {.cabinetSize = 30000, .setID = 1});
  {
    TempDir other;
    TestWriter writer(other.path(), "set.cab", {.cabinetSize = 30000, .setID = 2});
    ASSERT_TRUE(writer.add({"a", randomBytes(50000, 56)}));
    ASSERT_TRUE(writer.finish());
    fs::copy_file(writer.cabinets()[1], cabinets[1], fs::copy_options::overwrite_existing);
  }
  EXPECT_FALSE(reader.copy(cabinets[0]));
  EXPECT_EQ(reader.nextCabinetReasons, (std::vector<FDIERROR>{FDIERROR_NONE, FDIERROR_WRONG_CABINET}));
}

TEST_F(Span, StartingInTheMiddleOfASet) {
  std::vector<InputFile> inputs = {{"span", randomBytes(50000, 57)}};
  TestWriter writer(dir.path(), "set.cab", {.cabinetSize = 30000});
  ASSERT_TRUE(writer.add(inputs[0]));
  ASSERT_TRUE(writer.flushFolder());
  ASSERT_TRUE(writer.add({"own", textBytes(2000, 58)}));
  ASSERT_TRUE(writer.finish());
  ASSERT_EQ(writer.cabinets().size(), 2u);
  ASSERT_TRUE(reader.copy(writer.cabinets()[1]));
  EXPECT_EQ(reader.partialFiles, std::vector<std::string>{"span"});
  ASSERT_EQ(reader.files.size(), 1u);
  EXPECT_TRUE(reader.files["own"].bytes == textBytes(2000, 58));
}

TEST_F(Span, RefusingTheNextCabinetStopsTheWriter) {
  TestWriter writer(dir.path(), "set.cab", {.cabinetSize = 30000});
  writer.nextCabinet = [](CCAB&) { return false; };
  EXPECT_FALSE(writer.add({"a", randomBytes(50000, 59)}) && writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_USER_ABORT);
  EXPECT_FALSE(writer.add({"b", "x"})) << "the writer stays failed";
  EXPECT_FALSE(fs::exists(dir.path() / "set.cab"));
}

TEST_F(Span, ACabinetTooSmallForAnyDataFails) {
  TestWriter writer(dir.path(), "set.cab", {.cabinetSize = 560});
  EXPECT_FALSE(writer.add({"a", textBytes(10, 60)}) && writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_CAB_FORMAT_LIMIT);
}

TEST_F(Span, ManyEmptyFilesAtTheEndOfAFullCabinet) {
  std::vector<InputFile> inputs = {{"data", randomBytes(28000, 61), tcompTYPE_NONE}};
  for (int i = 0; i < 100; ++i) inputs.push_back({"empty" + std::to_string(i), "", tcompTYPE_NONE});
  auto cabinets = writeSet(inputs, {.cabinetSize = 30000});
  ASSERT_EQ(cabinets.size(), 2u);
  expectWithin(cabinets, 30000);
  ASSERT_TRUE(reader.extractSet(cabinets.front()));
  expectAllExtracted(inputs);
}

}  // namespace
}  // namespace korvane::test::cab
