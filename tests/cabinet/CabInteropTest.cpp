// Our cabinets against independent readers and writers: cabextract and gcab.
#include <gtest/gtest.h>

#include <algorithm>

#include "cabinet/CabTestSupport.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {


class Interop : public ::testing::Test {
 protected:
  void SetUp() override {
    KORVANE_NEEDS(haveTool("cabextract") && haveTool("gcab"), "cabextract or gcab is not installed");
  }

  std::vector<fs::path> write(const std::vector<InputFile>& inputs, const WriterOptions& options = {}) {
    TestWriter writer(dir.path() / "cab", "ours.cab", options);
    for (const InputFile& input : inputs) EXPECT_TRUE(writer.add(input));
    EXPECT_TRUE(writer.finish());
    return writer.cabinets();
  }

  // Each input, by its name with backslashes as folder separators, holds its bytes.
  static void expectFolderHolds(const fs::path& folder, const std::vector<InputFile>& inputs) {
    for (const InputFile& input : inputs) {
      std::string relative = input.name;
      std::replace(relative.begin(), relative.end(), '\\', '/');
      fs::path file = folder / relative;
      ASSERT_TRUE(fs::exists(file)) << file;
      EXPECT_TRUE(readFile(file) == input.bytes) << file;
    }
  }

  static std::vector<InputFile> mixedInputs() {
    std::vector<InputFile> inputs = {{"driver.inf", textBytes(70000, 1)},
                                     {"sys\\driver.sys", randomBytes(90000, 2)},
                                     {"driver.cat", ""},
                                     {"setup.exe", textBytes(32768, 3), tcompTYPE_MSZIP, true}};
    for (int i = 0; i < 30; ++i) inputs.push_back({"help\\page" + std::to_string(i) + ".htm", textBytes(1500, 10u + i)});
    inputs.push_back({"stored.bin", randomBytes(40000, 4), tcompTYPE_NONE});
    return inputs;
  }

  TempDir dir;
};

TEST_F(Interop, CabextractVerifiesOurCabinet) {
  auto cabinets = write(mixedInputs());
  std::string output;
  EXPECT_EQ(runCommand("cabextract -t " + quoted(cabinets[0]), &output), 0) << output;
  EXPECT_NE(output.find("All done, no errors"), std::string::npos) << output;
}

TEST_F(Interop, CabextractExtractsOurFiles) {
  auto inputs = mixedInputs();
  auto cabinets = write(inputs);
  std::string output;
  ASSERT_EQ(runCommand("cabextract -q -d " + quoted(dir.path() / "out") + " " + quoted(cabinets[0]), &output), 0)
      << output;
  expectFolderHolds(dir.path() / "out", inputs);
}

TEST_F(Interop, CabextractReadsReservedAreas) {
  auto cabinets = write(mixedInputs(), {.reserveHeader = 6144, .reserveFolder = 16, .reserveData = 8});
  std::string output;
  EXPECT_EQ(runCommand("cabextract -t " + quoted(cabinets[0]), &output), 0) << output;
  EXPECT_NE(output.find("All done, no errors"), std::string::npos) << output;
}

TEST_F(Interop, CabextractFollowsOurSets) {
  auto inputs = mixedInputs();
  auto cabinets = write(inputs, {.cabinetSize = 50000});
  ASSERT_GE(cabinets.size(), 4u);
  std::string output;
  ASSERT_EQ(runCommand("cabextract -d " + quoted(dir.path() / "out") + " " + quoted(cabinets[0]), &output), 0)
      << output;
  EXPECT_NE(output.find("All done, no errors"), std::string::npos) << output;
  expectFolderHolds(dir.path() / "out", inputs);
}

TEST_F(Interop, GcabExtractsOurFiles) {
  std::vector<InputFile> inputs = mixedInputs();
  auto cabinets = write(inputs);
  std::string output;
  fs::create_directories(dir.path() / "out");
  ASSERT_EQ(runCommand("gcab -x -C " + quoted(dir.path() / "out") + " " + quoted(cabinets[0]), &output), 0) << output;
  expectFolderHolds(dir.path() / "out", inputs);
}

TEST_F(Interop, WeReadGcabCabinets) {
  std::vector<InputFile> inputs = {{"a.inf", textBytes(100000, 5)},
                                   {"sub\\b.sys", randomBytes(70000, 6)},
                                   {"c.txt", "c"},
                                   {"d.txt", ""}};
  fs::path source = dir.path() / "src";
  std::string names;
  for (const InputFile& input : inputs) {
    std::string relative = input.name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    writeFile(source / relative, input.bytes);
    names += " " + relative;
  }
  for (std::string flags : {"-c -z", "-c"}) {
    fs::path cabinet = dir.path() / ("gcab" + std::to_string(flags.size()) + ".cab");
    std::string output;
    ASSERT_EQ(runCommand("cd " + quoted(source) + " && gcab " + flags + " " + quoted(cabinet) + names, &output), 0)
        << output;
    TestReader reader;
    ASSERT_TRUE(reader.copy(cabinet)) << flags << " " << reader.error().erfOper;
    ASSERT_EQ(reader.files.size(), inputs.size()) << flags;
    for (const InputFile& input : inputs) EXPECT_TRUE(reader.files[input.name].bytes == input.bytes) << input.name;
  }
}

}  // namespace
}  // namespace korvane::test::cab
