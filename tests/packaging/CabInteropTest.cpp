// Our cabinets against independent readers and writers: cabextract and gcab,
// and the Windows build's korvanec with Wine's cabinet.dll.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "packaging/CabTestKit.h"

namespace korvane::test::cab {
namespace {

std::string shellQuoted(const std::string& text) { return ::korvane::test::quoted(text); }

// Every file below a host folder holds what the sources say, and nothing else is there.
void expectHostFolderHolds(const fs::path& folder, const std::vector<InputFile>& sources) {
  size_t found = 0;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it)
    found += it->is_regular_file() ? 1 : 0;
  EXPECT_EQ(found, sources.size());
  for (const InputFile& source : sources) {
    std::string relative = source.name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const fs::path file = folder / relative;
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_TRUE(readFile(file) == source.bytes) << file;
  }
}

std::vector<InputFile> driverLikeSet() {
  std::vector<InputFile> sources = {{"netcard.inf", textBytes(40000, 1)},
                                    {"netcard.cat", ""},
                                    {"i386\\netcard.sys", randomBytes(180000, 2)},
                                    {"i386\\coinst.dll", randomBytes(70000, 3)},
                                    {"\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80.txt", textBytes(2000, 4)}};
  for (unsigned k = 0; k < 20; ++k)
    sources.push_back({"help\\page" + std::to_string(k) + ".htm", textBytes(1500 + 700 * k, 10 + k)});
  return sources;
}

// Stored and MS-ZIP folders side by side, a file to run after extraction.
std::vector<InputFile> mixedStorage() {
  std::vector<InputFile> inputs = {{"driver.inf", textBytes(70000, 1)},
                                   {"sys\\driver.sys", randomBytes(90000, 2)},
                                   {"driver.cat", ""},
                                   {"setup.exe", textBytes(32768, 3), tcompTYPE_MSZIP, true}};
  for (int i = 0; i < 30; ++i) inputs.push_back({"help\\page" + std::to_string(i) + ".htm", textBytes(1500, 10u + i)});
  inputs.push_back({"stored.bin", randomBytes(40000, 4), tcompTYPE_NONE});
  return inputs;
}

class CabInterop : public CabTest {
 protected:
  void SetUp() override {
    KORVANE_NEEDS(haveTool("cabextract") && haveTool("gcab"), "cabextract or gcab is not installed");
  }

  // Our cabinet of the sources; its host path.
  std::string writeOurs(const std::vector<InputFile>& sources, const std::string& name = "ours.cab") {
    putAll(at("src"), sources);
    writeCabinet(at(name), at("src"));
    return hostPath(at(name));
  }

  // gcab's cabinet of the sources put into "src" (compression: "-z" or
  // none), read back whole by our reader.
  void expectOurReaderTakesGcabs(const std::vector<InputFile>& sources, const std::string& compression) {
    std::string list;
    for (const InputFile& source : sources) {
      std::string relative = source.name;
      std::replace(relative.begin(), relative.end(), '\\', '/');
      list += " " + shellQuoted(relative);
    }
    std::string output;
    ASSERT_EQ(runCommand("cd " + shellQuoted(hostPath(at("src"))) + " && gcab -c " + compression + " " +
                             shellQuoted(hostPath(at("gcab.cab"))) + list,
                         &output),
              0)
        << output;
    TSTCabReader reader(machine());
    reader.ExtractFiles(at("gcab.cab"), at("fromgcab"));
    EXPECT_FALSE(reader.LastError().fError) << fdiErrorText(reader.LastError(), Lang::English);
    expectHolds(at("fromgcab"), sources);
  }

  // Cabinets of the inputs written by the FCI entry points themselves, with
  // the layouts our components never ask for.
  std::vector<fs::path> writeThroughLibrary(const std::vector<InputFile>& inputs, const WriterOptions& options) {
    TestWriter writer(fs::path(hostPath(at("library"))), "ours.cab", options);
    for (const InputFile& input : inputs) EXPECT_TRUE(writer.add(input));
    EXPECT_TRUE(writer.finish());
    return writer.cabinets();
  }
};

TEST_F(CabInterop, CabextractVerifiesAndListsOurCabinet) {
  const auto sources = driverLikeSet();
  const std::string cabinet = writeOurs(sources);
  std::string output;
  EXPECT_EQ(runCommand("cabextract -t " + shellQuoted(cabinet), &output), 0) << output;
  EXPECT_NE(output.find("All done, no errors"), std::string::npos) << output;
  EXPECT_NE(output.find("i386/netcard.sys"), std::string::npos) << output;
  EXPECT_NE(output.find("\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80.txt"), std::string::npos) << output;
}

TEST_F(CabInterop, CabextractExtractsOurFilesWhole) {
  const auto sources = driverLikeSet();
  const std::string cabinet = writeOurs(sources);
  const fs::path out = fs::path(hostPath(at(""))) / "cabextract";
  std::string output;
  ASSERT_EQ(runCommand("cabextract -q -d " + shellQuoted(out.string()) + " " + shellQuoted(cabinet), &output), 0) << output;
  expectHostFolderHolds(out, sources);
}

TEST_F(CabInterop, GcabExtractsOurFilesWhole) {
  const auto sources = driverLikeSet();
  const std::string cabinet = writeOurs(sources);
  const fs::path out = fs::path(hostPath(at(""))) / "gcab";
  fs::create_directories(out);
  std::string output;
  ASSERT_EQ(runCommand("gcab -x -C " + shellQuoted(out.string()) + " " + shellQuoted(cabinet), &output), 0) << output;
  expectHostFolderHolds(out, sources);
  ASSERT_EQ(runCommand("gcab -t " + shellQuoted(cabinet), &output), 0) << output;
  EXPECT_NE(output.find("netcard.inf"), std::string::npos) << output;
}

TEST_F(CabInterop, CabextractReadsReservedAreasMixedStorageAndSmallSets) {
  const auto inputs = mixedStorage();
  const WriterOptions reserved{.reserveHeader = 6144, .reserveFolder = 16, .reserveData = 8};
  const WriterOptions smallCabinets{.cabinetSize = 50000};
  for (const WriterOptions& options : {reserved, smallCabinets}) {
    SCOPED_TRACE(options.cabinetSize);
    fs::remove_all(hostPath(at("library")));
    const auto cabinets = writeThroughLibrary(inputs, options);
    if (options.cabinetSize == smallCabinets.cabinetSize) {
      EXPECT_GE(cabinets.size(), 4u);
    }
    const fs::path out = fs::path(hostPath(at(""))) / "fromlibrary";
    fs::remove_all(out);
    std::string output;
    ASSERT_EQ(runCommand("cabextract -d " + quoted(out) + " " + quoted(cabinets[0]), &output), 0) << output;
    EXPECT_NE(output.find("All done, no errors"), std::string::npos) << output;
    expectHostFolderHolds(out, inputs);
  }
}

TEST_F(CabInterop, GcabExtractsMixedStorage) {
  const auto inputs = mixedStorage();
  const auto cabinets = writeThroughLibrary(inputs, {});
  const fs::path out = fs::path(hostPath(at(""))) / "gcab";
  fs::create_directories(out);
  std::string output;
  ASSERT_EQ(runCommand("gcab -x -C " + quoted(out) + " " + quoted(cabinets[0]), &output), 0) << output;
  expectHostFolderHolds(out, inputs);
}

TEST_F(CabInterop, CabextractFollowsOurSpannedSet) {
  std::vector<InputFile> sources = {{"one.bin", randomBytes(400000, 1)}, {"two.txt", textBytes(900000, 2)},
                                     {"three.bin", randomBytes(300000, 3)}};
  putAll(at("src"), sources);
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.CabinetSizeThreshold = 200000;
  writer.Open(at("set\\Backup.cab"));
  writer.AddFiles(at("src\\*.*"), "", true);
  writer.Close(true);
  const fs::path out = fs::path(hostPath(at(""))) / "spanned";
  std::string output;
  ASSERT_EQ(runCommand("cabextract -q -d " + shellQuoted(out.string()) + " " + shellQuoted(hostPath(at("set\\Backup.cab"))), &output), 0)
      << output;
  expectHostFolderHolds(out, sources);
}

TEST_F(CabInterop, OurReaderExtractsGcabCabinets) {
  const auto sources = driverLikeSet();
  putAll(at("src"), sources);
  for (const char* compression : {"-z", ""}) {
    SCOPED_TRACE(compression);
    expectOurReaderTakesGcabs(sources, compression);
  }
}

// Larger than the blocks our writer reads and our check looks through
// (1 MiB): sources, cabinets and targets all cross several of them.
TEST_F(CabInterop, FilesBeyondOurBlocksTravelBothWays) {
  const std::vector<InputFile> sources = {{"big.bin", randomBytes(1400000, 1) + textBytes(1300000, 2)},
                                          {"sub\\middle.sys", randomBytes(1100000, 3)},
                                          {"small.inf", textBytes(70000, 4)},
                                          {"empty.cat", ""}};
  const std::string cabinet = writeOurs(sources);
  ASSERT_GT(fs::file_size(cabinet), 2u << 20);
  const fs::path root = hostPath(at(""));
  std::string output;
  ASSERT_EQ(runCommand("cabextract -q -d " + quoted(root / "cabextract") + " " + shellQuoted(cabinet), &output), 0)
      << output;
  expectHostFolderHolds(root / "cabextract", sources);
  fs::create_directories(root / "gcab");
  ASSERT_EQ(runCommand("gcab -x -C " + quoted(root / "gcab") + " " + shellQuoted(cabinet), &output), 0) << output;
  expectHostFolderHolds(root / "gcab", sources);

  expectOurReaderTakesGcabs(sources, "-z");
}

// ---- with the Windows build under Wine: its writer and reader use the real cabinet.dll

class CabWine : public CabTest {
 protected:
  void SetUp() override {
    KORVANE_NEEDS(fs::exists(windowsCli()) && haveTool("wine"), "no Windows build or no Wine");
  }

  // The 32-bit build by default; scripts/test names the 64-bit one where this
  // machine cannot run 32-bit programs.
  static std::string windowsCli() {
    const char* chosen = std::getenv("KORVANE_WINDOWS_CLI");
    return chosen && *chosen ? chosen : KORVANE_WINDOWS_CLI;
  }

  static std::string windowsPath(const std::string& host) {
    std::string path = "Z:" + host;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }

  int korvanec(const std::string& arguments, std::string& output) {
    return runCommand(shellQuoted(KORVANE_WINE_RUN) + " " + shellQuoted(windowsCli()) + " " + arguments, &output);
  }
};

TEST_F(CabWine, CabinetDllReadsOurCabinet) {
  const auto sources = driverLikeSet();
  putAll(at("src"), sources);
  writeCabinet(at("ours.cab"), at("src"));
  const std::string out = hostPath(at("bywine"));
  std::string output;
  ASSERT_EQ(korvanec("cab extract " + shellQuoted(windowsPath(hostPath(at("ours.cab")))) + " " + shellQuoted(windowsPath(out)),
                     output),
            0)
      << output;
  expectHostFolderHolds(out, sources);
}

TEST_F(CabWine, OurReaderReadsCabinetDllsCabinet) {
  const auto sources = driverLikeSet();
  putAll(at("src"), sources);
  std::string output;
  ASSERT_EQ(korvanec("cab create " + shellQuoted(windowsPath(hostPath(at("wine.cab")))) + " " +
                         shellQuoted(windowsPath(hostPath(at("src")))),
                     output),
            0)
      << output;
  TSTCabReader reader(machine());
  reader.ExtractFiles(at("wine.cab"), at("fromwine"));
  EXPECT_FALSE(reader.LastError().fError) << fdiErrorText(reader.LastError(), Lang::English);
  EXPECT_EQ(filesBelow(at("fromwine")).size(), sources.size());
  expectHolds(at("fromwine"), sources);
}

TEST_F(CabWine, WindowsBuildRefusesNamesThatLeaveTheTarget) {
  put(at("in\\hostile.cab"), rawCabinet({{"..\\escaped.txt", "x"}, {"inside.txt", "y"}}));
  std::string output;
  EXPECT_NE(korvanec("cab extract " + shellQuoted(windowsPath(hostPath(at("in\\hostile.cab")))) + " " +
                         shellQuoted(windowsPath(hostPath(at("in\\out")))),
                     output),
            0)
      << output;
  EXPECT_NE(output.find("refused ..\\escaped.txt"), std::string::npos) << output;
  EXPECT_FALSE(files().exists(at("in\\escaped.txt")));
  EXPECT_EQ(get(at("in\\out\\inside.txt")), "y");
}

}  // namespace
}  // namespace korvane::test::cab
