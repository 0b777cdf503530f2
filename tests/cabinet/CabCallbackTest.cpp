// What the library does with the answers of the caller's callbacks, and how
// it reports failures of the caller's files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "packaging/CabTestKit.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

class Callbacks : public ::testing::Test {
 protected:
  fs::path writeSample(const std::vector<InputFile>& inputs) {
    TestWriter writer(dir.path(), "sample.cab");
    for (const InputFile& input : inputs) EXPECT_TRUE(writer.add(input));
    EXPECT_TRUE(writer.finish());
    return dir.path() / "sample.cab";
  }

  static bool isOpen(intptr_t hf) { return fcntl(static_cast<int>(hf), F_GETFD) != -1; }

  TempDir dir;
  TestReader reader;
};

TEST_F(Callbacks, CopyAnsweringMinusOneStops) {
  fs::path cabinet = writeSample({{"a", "1"}, {"b", "2"}});
  int asked = 0;
  reader.onCopy = [&](const FDINOTIFICATION&) -> intptr_t { return ++asked == 1 ? -1 : -2; };
  EXPECT_FALSE(reader.copy(cabinet));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_USER_ABORT);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(reader.files.empty());
}

TEST_F(Callbacks, AFailingTargetIsClosedAndNotReported) {
  fs::path cabinet = writeSample({{"a", textBytes(100000, 1)}, {"b", "2"}});
  writeFile(dir.path() / "readonly", "");
  intptr_t target = -1;
  reader.onCopy = [&](const FDINOTIFICATION&) -> intptr_t {
    target = ::open((dir.path() / "readonly").c_str(), O_RDONLY);  // writes fail
    return target;
  };
  EXPECT_FALSE(reader.copy(cabinet));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_TARGET_FILE);
  ASSERT_NE(target, -1);
  EXPECT_FALSE(isOpen(target)) << "closed through the close callback";
  EXPECT_TRUE(reader.files.empty());
}

TEST_F(Callbacks, CloseAnsweringMinusOneStops) {
  fs::path cabinet = writeSample({{"a", "1"}, {"b", "2"}});
  reader.onClose = [](const FDINOTIFICATION&) -> intptr_t { return -1; };
  EXPECT_FALSE(reader.copy(cabinet));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_USER_ABORT);
  EXPECT_EQ(reader.files.size(), 1u);
}

TEST_F(Callbacks, AMissingCabinetIsNotFound) {
  EXPECT_FALSE(reader.copy(dir.path() / "none.cab"));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_CABINET_NOT_FOUND);
}

TEST_F(Callbacks, StatusAnsweringMinusOneStopsTheWriter) {
  TestWriter writer(dir.path(), "out.cab");
  writer.status = [](unsigned kind, uint32_t, uint32_t) { return kind == statusFile ? -1 : 0; };
  EXPECT_FALSE(writer.add({"a", textBytes(2000000, 2)}));
  EXPECT_EQ(writer.error().erfOper, FCIERR_USER_ABORT);
  EXPECT_FALSE(writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_USER_ABORT) << "the writer stays failed";
  EXPECT_FALSE(fs::exists(dir.path() / "out.cab"));
}

TEST_F(Callbacks, ACabinetStatusOfMinusOneFailsTheFlush) {
  TestWriter writer(dir.path(), "out.cab");
  writer.status = [](unsigned kind, uint32_t, uint32_t) { return kind == statusCabinet ? -1 : 0; };
  ASSERT_TRUE(writer.add({"a", "x"}));
  EXPECT_FALSE(writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_USER_ABORT);
}

TEST_F(Callbacks, APlacedFileAnsweringMinusOneStops) {
  TestWriter writer(dir.path(), "out.cab");
  writer.placed = [](const Placement& placement) { return placement.name == "b" ? -1 : 0; };
  ASSERT_TRUE(writer.add({"a", "x"}));
  EXPECT_FALSE(writer.add({"b", "y"}) && writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_USER_ABORT);
}

TEST_F(Callbacks, AMissingSourceIsReportedAndTheWriterGoesOn) {
  TestWriter writer(dir.path(), "out.cab");
  EXPECT_FALSE(writer.addSource(dir.path() / "missing.sys", "missing.sys", tcompTYPE_MSZIP));
  EXPECT_EQ(writer.error().erfOper, FCIERR_OPEN_SRC);
  EXPECT_EQ(writer.error().erfType, ENOENT);
  EXPECT_TRUE(writer.error().fError);
  ASSERT_TRUE(writer.add({"present.sys", "data"}));
  ASSERT_TRUE(writer.finish());
  ASSERT_TRUE(reader.copy(dir.path() / "out.cab"));
  EXPECT_EQ(reader.files.size(), 1u);
}

TEST_F(Callbacks, AReadFailureIsReported) {
  TestWriter writer(dir.path(), "out.cab");
  fs::path source = dir.path() / "bad.sys";
  writeFile(source, textBytes(5000, 3));
  writer.failReadsOf = source.string();
  EXPECT_FALSE(writer.addSource(source, "bad.sys", tcompTYPE_MSZIP));
  EXPECT_EQ(writer.error().erfOper, FCIERR_READ_SRC);
  EXPECT_EQ(writer.error().erfType, EIO);
}

TEST_F(Callbacks, OtherCompressionTypesAreRefused) {
  TestWriter writer(dir.path(), "out.cab");
  for (TCOMP type : {TCOMPfromLZXWindow(21), TCOMPfromLZXWindow(15), TCOMPfromTypeLevelMemory(tcompTYPE_QUANTUM, 7, 21),
                     static_cast<TCOMP>(tcompBAD), static_cast<TCOMP>(tcompTYPE_MSZIP | 0x0100)}) {
    EXPECT_FALSE(writer.add({"a", "x", type})) << type;
    EXPECT_EQ(writer.error().erfOper, FCIERR_BAD_COMPR_TYPE) << type;
  }
  ASSERT_TRUE(writer.add({"b", "still works"}));
  ASSERT_TRUE(writer.finish());
  ASSERT_TRUE(reader.copy(dir.path() / "out.cab"));
  EXPECT_EQ(reader.files["b"].bytes, "still works");
}

TEST_F(Callbacks, NamesLongerThanTheFormatHoldsAreRefused) {
  TestWriter writer(dir.path(), "out.cab");
  EXPECT_FALSE(writer.add({std::string(256, 'n'), "x"}));
  EXPECT_EQ(writer.error().erfOper, FCIERR_CAB_FORMAT_LIMIT);
  ASSERT_TRUE(writer.add({std::string(255, 'n'), "x"}));
  ASSERT_TRUE(writer.finish());
  ASSERT_TRUE(reader.copy(dir.path() / "out.cab"));
  EXPECT_EQ(reader.files.count(std::string(255, 'n')), 1u);
}

TEST_F(Callbacks, IncompressibleDataCanBeRefused) {
  TestWriter writer(dir.path(), "out.cab", {.failOnIncompressible = true});
  ASSERT_TRUE(writer.add({"text", textBytes(40000, 4)}));
  EXPECT_FALSE(writer.add({"random", randomBytes(40000, 5)}) && writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_MCI_FAIL);
}

TEST_F(Callbacks, ReservesBeyondTheFormatAreRefused) {
  EXPECT_FALSE(TestWriter(dir.path(), "a.cab", {.reserveHeader = 60001}).created());
  EXPECT_FALSE(TestWriter(dir.path(), "b.cab", {.reserveFolder = 256}).created());
  EXPECT_FALSE(TestWriter(dir.path(), "c.cab", {.reserveData = 256}).created());
  TestWriter refused(dir.path(), "d.cab", {.reserveData = 256});
  EXPECT_EQ(refused.error().erfOper, FCIERR_CAB_FORMAT_LIMIT);
}

TEST_F(Callbacks, NoTemporaryFileMeansFailure) {
  TestWriter writer(dir.path(), "out.cab");
  writer.tempFolder = dir.path() / "no" / "such" / "folder";
  EXPECT_FALSE(writer.add({"a", textBytes(1500000, 6)}) && writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_TEMP_FILE);
}

TEST_F(Callbacks, ACabinetThatCannotBeCreatedIsReported) {
  fs::path folder = dir.path() / "gone";
  TestWriter writer(folder, "out.cab");
  ASSERT_TRUE(writer.add({"a", "x"}));
  fs::remove_all(folder);
  EXPECT_FALSE(writer.finish());
  EXPECT_EQ(writer.error().erfOper, FCIERR_CAB_FILE);
  EXPECT_EQ(writer.error().erfType, ENOENT);
}

}  // namespace
}  // namespace korvane::test::cab
