// korvane cab create / extract on a machine image: output, exit codes, errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

#include "packaging/CabTestKit.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CabCli : public ::testing::Test {
 protected:
  CliRun korvane(const std::string& arguments) {
    const fs::path out = capture_.path() / "out", err = capture_.path() / "err";
    const std::string command = std::string("'") + KORVANE_CLI + "' --machine '" + sample_.host->path().string() +
                                "' " + arguments + " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
    const int status = std::system(command.c_str());
    return CliRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  }
  fs::path drive() const { return sample_.host->path() / "drive_c"; }

  SampleMachine sample_ = copySample("xp");
  TempDir capture_;
};

TEST_F(CabCli, CreateThenExtractBringsTheFolderBack) {
  writeHostFile(drive() / "src/driver.inf", textBytes(20000, 1));
  writeHostFile(drive() / "src/i386/driver.sys", randomBytes(50000, 2));
  const CliRun create = korvane("cab create 'C:\\pack\\Driver.CAB' 'C:\\src'");
  ASSERT_EQ(create.exitCode, 0) << create.err;
  EXPECT_NE(create.out.find("C:\\pack\\Driver.CAB written: 2 files.\n"), std::string::npos) << create.out;
  EXPECT_NE(create.err.find("added driver.inf (20000 bytes)\n"), std::string::npos) << create.err;
  EXPECT_NE(create.err.find("added i386\\driver.sys (50000 bytes)\n"), std::string::npos) << create.err;

  const CliRun extract = korvane("cab extract 'C:\\pack\\Driver.CAB' 'C:\\back'");
  ASSERT_EQ(extract.exitCode, 0) << extract.err;
  EXPECT_NE(extract.out.find("2 files extracted to C:\\back.\n"), std::string::npos) << extract.out;
  EXPECT_NE(extract.err.find("extracted C:\\back\\i386\\driver.sys\n"), std::string::npos) << extract.err;
  EXPECT_EQ(slurp(drive() / "back/driver.inf"), textBytes(20000, 1));
  EXPECT_EQ(slurp(drive() / "back/i386/driver.sys"), randomBytes(50000, 2));
}

TEST_F(CabCli, WrongWordsShowTheUsage) {
  for (const char* words : {"cab", "cab create only-one", "cab list x.cab C:\\x", "cab extract a b c"}) {
    const CliRun run = korvane(words);
    EXPECT_EQ(run.exitCode, 2) << words;
    EXPECT_NE(run.err.find("usage: korvane cab create OUT.CAB FOLDER"), std::string::npos) << run.err;
  }
}

TEST_F(CabCli, MissingFolderIsASystemError) {
  const CliRun run = korvane("cab create 'C:\\x.cab' 'C:\\nowhere'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("korvane: System Error.  Code: 3.\nThe system cannot find the path specified."),
            std::string::npos)
      << run.err;
}

TEST_F(CabCli, MissingCabinetIsReported) {
  const CliRun run = korvane("cab extract 'C:\\none.cab' 'C:\\back'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("The cabinet C:\\none.cab could not be read: Cabinet not found"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(drive() / "back"));
}

TEST_F(CabCli, HostileNamesAreRefusedAndTheRunFails) {
  writeHostFile(drive() / "in/hostile.cab", rawCabinet({{"..\\..\\evil.txt", "x"}, {"good.txt", "y"}}));
  const CliRun run = korvane("cab extract 'C:\\in\\hostile.cab' 'C:\\in\\out'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("refused ..\\..\\evil.txt: the name leads outside the target folder"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Not every file of C:\\in\\hostile.cab was extracted."), std::string::npos) << run.err;
  EXPECT_EQ(slurp(drive() / "in/out/good.txt"), "y");
  EXPECT_FALSE(fs::exists(drive() / "evil.txt"));
}

// A file the format cannot record (sparse here: nothing is written) is
// refused by name of the limit, and no cabinet is left that would lie about it.
TEST_F(CabCli, FileBeyondTheFormatIsRefusedAndNoCabinetIsLeft) {
  writeHostFile(drive() / "src/driver.inf", "[Version]\r\n");
  writeHostFile(drive() / "src/huge.bin", "");
  std::error_code failed;
  fs::resize_file(drive() / "src/huge.bin", uintmax_t{0x80000000}, failed);
  if (failed) GTEST_SKIP() << "no sparse file of 2 GiB here: " << failed.message();
  const CliRun run = korvane("cab create 'C:\\pack\\Driver.CAB' 'C:\\src'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("korvane: Beyond what a cabinet can hold: each file must be under 2 GB and each name at most "
                         "255 bytes [0x0009]"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(drive() / "pack/Driver.CAB"));
}

TEST_F(CabCli, MessagesFollowTheInterfaceLanguage) {
  ASSERT_EQ(korvane("language French").exitCode, 0);
  const CliRun run = korvane("cab extract 'C:\\none.cab' 'C:\\back'");
  EXPECT_NE(run.err.find("Impossible de lire le fichier CAB C:\\none.cab : Fichier CAB introuvable"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace korvane::test::cab
