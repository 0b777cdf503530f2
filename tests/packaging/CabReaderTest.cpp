// TSTCabReader: where files land, their time stamps and attributes, the
// options, the events, and cabinets that are broken or hostile.
#include <algorithm>
#include <fstream>
#include <map>

#include "packaging/CabNames.h"
#include "packaging/CabTestKit.h"

namespace korvane::test::cab {
namespace {

class CabReader : public CabTest {
 protected:
  // Extracts a cabinet put together from raw files into the folder "out".
  TSTCabReader& extractRaw(const std::vector<RawFile>& raw, const RawOptions& options = {}) {
    put(at("in\\raw.cab"), rawCabinet(raw, options));
    reader.ExtractFiles(at("in\\raw.cab"), at("out"));
    return reader;
  }

  // Nothing but what the test put there exists outside the target folder.
  void expectNothingOutsideOut(const std::vector<std::string>& allowed) {
    for (const std::string& file : filesBelow(at("")))
      if (file.rfind("out\\", 0) != 0) {
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), file), allowed.end()) << file << " was written";
      }
  }

  TSTCabReader reader{machine()};
};

TEST_F(CabReader, ExtractsIntoSubfoldersOfTheTarget) {
  extractRaw({{"a.inf", "first"}, {"sys\\b.sys", "second"}, {"sys\\deep\\c.dll", ""}});
  EXPECT_FALSE(reader.LastError().fError);
  EXPECT_EQ(filesBelow(at("out")), (std::vector<std::string>{"a.inf", "sys\\b.sys", "sys\\deep\\c.dll"}));
  EXPECT_EQ(get(at("out\\sys\\b.sys")), "second");
  EXPECT_EQ(get(at("out\\sys\\deep\\c.dll")), "");
  EXPECT_EQ(reader.ExtractedFiles(),
            (std::vector<std::string>{at("out\\a.inf"), at("out\\sys\\b.sys"), at("out\\sys\\deep\\c.dll")}));
}

TEST_F(CabReader, TimeStampAndAttributesComeFromTheCabinet) {
  RawFile locked{"stamped.inf", "x"}, plain{"plain.sys", "y"};
  locked.date = plain.date = (44 << 9) | (2 << 5) | 29;  // 2024-02-29
  locked.time = plain.time = (23 << 11) | (59 << 5) | 29;  // 23:59:58
  locked.attribs = _A_RDONLY | _A_ARCH;
  plain.attribs = _A_ARCH;  // what a new file has already
  extractRaw({locked, plain});
  const auto local = fileTimeOf(DosTime{locked.date, locked.time});
  ASSERT_TRUE(local.has_value());
  const std::pair<const char*, uint32_t> expected[] = {{"out\\stamped.inf", faReadOnly}, {"out\\plain.sys", 0}};
  for (const auto& [name, readOnly] : expected) {
    const auto entry = files().stat(at(name));
    ASSERT_TRUE(entry.has_value()) << name;
    EXPECT_EQ(entry->writeTime, files().utcFileTime(*local)) << name;
    EXPECT_EQ(entry->attributes & faReadOnly, readOnly) << name;
  }
}

#ifdef _WIN32  // machine images keep only the read-only flag
TEST_F(CabReader, HiddenAndSystemAttributesComeFromTheCabinet) {
  RawFile file{"hidden.sys", "x"};
  file.attribs = _A_HIDDEN | _A_SYSTEM;
  extractRaw({file});
  const auto entry = files().stat(at("out\\hidden.sys"));
  ASSERT_TRUE(entry.has_value());
  // Wine reports every file as archived; the flags the cabinet gives are what count here.
  EXPECT_EQ(entry->attributes & (faHidden | faSystem | faReadOnly), uint32_t{faHidden | faSystem});
}
#endif

TEST_F(CabReader, ReadOnlyTargetIsReplacedUnlessTheOptionSaysNo) {
  put(at("out\\locked.inf"), "old");
  ASSERT_TRUE(files().setAttributes(at("out\\locked.inf"), faReadOnly));
  reader.Options = croDontOverwriteReadOnlyFiles;
  extractRaw({{"locked.inf", "new"}, {"next.inf", "goes on"}});
  EXPECT_EQ(get(at("out\\locked.inf")), "old");
  EXPECT_EQ(get(at("out\\next.inf")), "goes on");
  EXPECT_FALSE(reader.LastError().fError);

  reader.Options = 0;
  reader.ExtractFiles(at("in\\raw.cab"), at("out"));
  EXPECT_EQ(get(at("out\\locked.inf")), "new");
}

TEST_F(CabReader, LongerExistingTargetEndsWithTheCabinetsBytes) {
  put(at("out\\a.inf"), std::string(5000, 'z'));
  extractRaw({{"a.inf", "short"}});
  EXPECT_EQ(get(at("out\\a.inf")), "short");
}

TEST_F(CabReader, MissingCabinetRaisesNothingAndExtractsNothing) {
  EXPECT_NO_THROW(reader.ExtractFiles(at("absent.cab"), at("out")));
  EXPECT_TRUE(reader.LastError().fError);
  EXPECT_EQ(reader.LastError().erfOper, FDIERROR_CABINET_NOT_FOUND);
  EXPECT_TRUE(reader.ExtractedFiles().empty());
  EXPECT_FALSE(files().exists(at("out")));
}

TEST_F(CabReader, CopyFileHandlerMaySkipOrRedirect) {
  reader.OnCopyFile = [this](TSTCabReader&, const std::string& name, int size, uint16_t, uint16_t, uint16_t,
                             uint16_t, std::string& target, bool&) {
    EXPECT_EQ(target, at("out\\") + name);
    if (name == "skip.txt") target.clear();
    if (name == "move.txt") {
      EXPECT_EQ(size, 5);
      target = at("elsewhere\\moved.txt");
    }
  };
  extractRaw({{"skip.txt", "s"}, {"move.txt", "moved"}, {"keep.txt", "k"}});
  EXPECT_EQ(filesBelow(at("out")), std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(get(at("elsewhere\\moved.txt")), "moved");
}

TEST_F(CabReader, AbortFromAHandlerStopsTheExtraction) {
  reader.OnCopyFile = [](TSTCabReader&, const std::string& name, int, uint16_t, uint16_t, uint16_t, uint16_t,
                         std::string&, bool& abort) { abort = name == "second.txt"; };
  extractRaw({{"first.txt", "1"}, {"second.txt", "2"}, {"third.txt", "3"}});
  EXPECT_EQ(filesBelow(at("out")), std::vector<std::string>{"first.txt"});
  EXPECT_TRUE(reader.LastError().fError);
  EXPECT_EQ(reader.LastError().erfOper, FDIERROR_USER_ABORT);
}

TEST_F(CabReader, ExceptionOfAHandlerReachesTheCallerAndLeavesNoPartialFile) {
  reader.OnCloseFile = [](TSTCabReader&, const std::string&, uint16_t, uint16_t, uint16_t, uint16_t, bool&,
                          const std::string&, bool&) { throw std::runtime_error("close handler failed"); };
  put(at("in\\raw.cab"), rawCabinet({{"a.txt", "a"}, {"b.txt", "b"}}));
  EXPECT_THROW(reader.ExtractFiles(at("in\\raw.cab"), at("out")), std::runtime_error);
  // The first file was whole when its handler failed; the second never began.
  EXPECT_EQ(filesBelow(at("out")), std::vector<std::string>{"a.txt"});
}

TEST_F(CabReader, CloseFileEventCarriesTheRunFlag) {
  put(at("src\\setup.exe"), "MZ");
  put(at("src\\readme.txt"), "text");
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("exec.cab"));
  writer.AddFile(at("src\\setup.exe"), "setup.exe", true);
  writer.AddFile(at("src\\readme.txt"), "readme.txt", false);
  writer.Close(true);
  std::map<std::string, bool> runs;
  reader.OnCloseFile = [&](TSTCabReader&, const std::string& name, uint16_t, uint16_t, uint16_t attributes,
                           uint16_t, bool& exec, const std::string& target, bool&) {
    runs[name] = exec;
    EXPECT_EQ(target, at("out\\") + name);
    EXPECT_EQ(attributes & _A_RDONLY, 0);
  };
  reader.ExtractFiles(at("exec.cab"), at("out"));
  EXPECT_EQ(runs, (std::map<std::string, bool>{{"readme.txt", false}, {"setup.exe", true}}));
}

#ifndef _WIN32  // a machine image records what the shell would open
TEST_F(CabReader, ExecuteOnExtractOpensTheFilesMarkedToRun) {
  put(at("src\\setup.exe"), "MZ");
  put(at("src\\readme.txt"), "text");
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("exec.cab"));
  writer.AddFile(at("src\\setup.exe"), "setup.exe", true);
  writer.AddFile(at("src\\readme.txt"), "readme.txt", false);
  writer.Close(true);
  const std::filesystem::path log = hostRoot() / "actions.log";
  reader.ExtractFiles(at("exec.cab"), at("quiet"));
  EXPECT_FALSE(std::filesystem::exists(log));
  reader.Options = croExecuteOnExtract;
  reader.ExtractFiles(at("exec.cab"), at("run"));
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "open " + at("run\\setup.exe") + "\n");
}
#endif

TEST_F(CabReader, NamesThatLeaveTheTargetFolderAreRefused) {
  const std::vector<std::string> hostile = {"..\\..\\evil1.txt", "../evil2.txt", "sub\\..\\..\\evil3.txt",
                                            "C:\\evil4.txt",     "\\evil5.txt",   "C:evil6.txt",
                                            "a.txt:stream",      "...\\evil7.txt", "CON",
                                            "aux.txt",           "sub\\\\evil8.txt"};
  std::vector<RawFile> raw;
  for (const std::string& name : hostile) raw.push_back({name, "hostile"});
  raw.push_back({"ok\\good.txt", "good"});
  raw.push_back({"..safe..name.txt", "dots inside a name are fine"});
  extractRaw(raw);
  EXPECT_EQ(reader.RefusedNames(), hostile);
  EXPECT_EQ(filesBelow(at("out")), (std::vector<std::string>{"..safe..name.txt", "ok\\good.txt"}));
  expectNothingOutsideOut({"in\\raw.cab"});
  // Two levels up from the target is the scratch folder's parent.
  const std::string above = parentPath(withoutTrailingBackslash(at("")));
  EXPECT_FALSE(files().exists(catPath(above, "evil1.txt")));
  EXPECT_FALSE(files().exists("C:\\evil4.txt"));
  EXPECT_FALSE(files().exists("C:\\evil5.txt"));
}

#ifndef _WIN32
// Links planted in the target folder, to a file or a folder, anywhere on a
// name's way, and hard links, are replaced by what the cabinet holds; what
// they led to stays.
TEST_F(CabReader, LinksInTheTargetFolderAreReplacedNotFollowed) {
  put(at("outside.txt"), "keep me");
  ASSERT_TRUE(files().forceDirectories(at("elsewhere")));
  ASSERT_TRUE(files().forceDirectories(at("out")));
  namespace fs = std::filesystem;
  fs::create_symlink("../outside.txt", hostPath(at("out\\a.txt")));
  fs::create_symlink("../missing.txt", hostPath(at("out\\b.txt")));
  fs::create_directory_symlink("../elsewhere", hostPath(at("out\\sub")));
  fs::create_hard_link(hostPath(at("outside.txt")), hostPath(at("out\\hard.txt")));
  extractRaw({{"a.txt", "from the cabinet"}, {"B.TXT", "new"}, {"sub\\c.sys", "deep"}, {"hard.txt", "replaced"}});
  EXPECT_FALSE(reader.LastError().fError);
  EXPECT_TRUE(reader.RefusedNames().empty());
  EXPECT_EQ(get(at("outside.txt")), "keep me");
  EXPECT_FALSE(files().exists(at("missing.txt")));
  EXPECT_TRUE(filesBelow(at("elsewhere")).empty());
  EXPECT_EQ(filesBelow(at("out")), (std::vector<std::string>{"B.TXT", "a.txt", "hard.txt", "sub\\c.sys"}));
  EXPECT_EQ(get(at("out\\a.txt")), "from the cabinet");
  EXPECT_EQ(get(at("out\\hard.txt")), "replaced");
  for (const char* name : {"out\\a.txt", "out\\B.TXT", "out\\sub"}) EXPECT_FALSE(files().stat(at(name))->isLink()) << name;
}
#endif

TEST_F(CabReader, NameLeftUnchangedByTheHandlerIsStillRefused) {
  int asked = 0;
  reader.OnCopyFile = [&](TSTCabReader&, const std::string&, int, uint16_t, uint16_t, uint16_t, uint16_t,
                          std::string&, bool&) { asked++; };
  extractRaw({{"..\\escape.txt", "x"}, {"fine.txt", "y"}});
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(reader.RefusedNames(), std::vector<std::string>{"..\\escape.txt"});
  EXPECT_EQ(filesBelow(at("out")), std::vector<std::string>{"fine.txt"});
  expectNothingOutsideOut({"in\\raw.cab"});
}

TEST_F(CabReader, HandlerMayPlaceAHostileNameWhereItChooses) {
  reader.OnCopyFile = [this](TSTCabReader&, const std::string&, int, uint16_t, uint16_t, uint16_t, uint16_t,
                             std::string& target, bool&) { target = at("out\\renamed.txt"); };
  extractRaw({{"..\\escape.txt", "x"}});
  EXPECT_TRUE(reader.RefusedNames().empty());
  EXPECT_EQ(get(at("out\\renamed.txt")), "x");
}

TEST_F(CabReader, CodePageNamesAreDecodedAndUtf8NamesKept) {
  RawFile ansi{"caf\xE9.txt", "ansi"};
  RawFile utf{"\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80.inf", "utf"};  // "Драйвер.inf"
  utf.attribs |= _A_NAME_IS_UTF;
  extractRaw({ansi, utf});
  EXPECT_EQ(get(at("out\\caf\xC3\xA9.txt")), "ansi");
  EXPECT_EQ(get(at("out\\\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80.inf")), "utf");
}

TEST_F(CabReader, CabinetInfoReportsTheHeader) {
  std::vector<std::string> next, folders;
  reader.OnCabinetInfo = [&](TSTCabReader&, const std::string& nextName, const std::string& nextDisk,
                             const std::string& folder, uint16_t setId, uint16_t number, bool&) {
    next.push_back(nextName + "|" + nextDisk);
    folders.push_back(folder);
    EXPECT_EQ(setId, 0x4B56);
    EXPECT_EQ(number, 0);
  };
  RawOptions options;
  options.nextCabinet = "missing2.cab";
  extractRaw({{"a.txt", "a"}}, options);
  EXPECT_EQ(next, std::vector<std::string>{"missing2.cab|Disk2"});
  EXPECT_EQ(folders, std::vector<std::string>{at("in\\")});
  EXPECT_EQ(get(at("out\\a.txt")), "a");
}

TEST_F(CabReader, CabinetThatNamesItselfAsNextIsReadOnce) {
  RawOptions options;
  options.nextCabinet = "raw.cab";
  int opened = 0;
  reader.OnCabinetInfo = [&](TSTCabReader&, const std::string&, const std::string&, const std::string&, uint16_t,
                             uint16_t, bool&) { opened++; };
  extractRaw({{"a.txt", "a"}}, options);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(reader.ExtractedFiles().size(), 1u);
}

// ---- damaged cabinets: a clear failure, no file with wrong bytes, nothing outside

class DamagedCabinet : public CabReader {
 protected:
  std::vector<RawFile> twoFiles() { return {{"first.bin", randomBytes(40000, 1)}, {"second.bin", randomBytes(30000, 2)}}; }

  void expectFailureWithoutWrongBytes(const std::vector<RawFile>& raw) {
    EXPECT_TRUE(reader.LastError().fError) << "the damage went unnoticed";
    for (const RawFile& file : raw) {
      const auto bytes = files().readFile(at("out\\" + file.name));
      if (bytes) {
        EXPECT_TRUE(*bytes == file.bytes) << file.name << " holds wrong bytes";
      }
    }
    for (const std::string& target : reader.ExtractedFiles()) EXPECT_TRUE(files().exists(target)) << target;
    for (const std::string& target : reader.FailedFiles()) EXPECT_FALSE(files().exists(target)) << target;
    expectNothingOutsideOut({"in\\raw.cab"});
  }
};

TEST_F(DamagedCabinet, ChecksumErrorFailsTheCabinet) {
  const auto raw = twoFiles();
  RawOptions options;
  options.flipDataByte = 100;
  extractRaw(raw, options);
  expectFailureWithoutWrongBytes(raw);
  EXPECT_EQ(reader.LastError().erfOper, FDIERROR_CORRUPT_CABINET);
  EXPECT_FALSE(files().exists(at("out\\first.bin")));
}

// Compressed data damaged where no checksum guards it: the decoder fails in
// the middle of a file, which must not stay behind half written.
TEST_F(DamagedCabinet, DecodingFailureInsideAFileRemovesIt) {
  const std::vector<InputFile> sources = {{"a.txt", textBytes(20000, 1)}, {"b.txt", textBytes(200000, 2)}};
  putAll(at("src"), sources);
  writeCabinet(at("in\\zip.cab"), at("src"));
  std::string cabinet = get(at("in\\zip.cab"));
  ASSERT_EQ(cabinet.substr(0, 4), "MSCF");
  auto field = [&](size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t k = 0; k < width; ++k) value |= static_cast<uint32_t>(static_cast<uint8_t>(cabinet[at + k])) << (8 * k);
    return value;
  };
  const size_t first = field(36, 4);
  const size_t second = first + 8 + field(first + 4, 2);
  ASSERT_LT(second + 8 + 200, cabinet.size());
  for (size_t k = 0; k < 4; ++k) cabinet[second + k] = 0;  // no checksum
  for (size_t k = 100; k < 200; ++k) cabinet[second + 8 + k] = static_cast<char>(0xFF);
  put(at("in\\zip.cab"), cabinet);
  reader.ExtractFiles(at("in\\zip.cab"), at("out"));
  EXPECT_EQ(get(at("out\\a.txt")), sources[0].bytes);
#ifndef _WIN32  // Wine's decoder turns such data into wrong bytes of the right length without a word
  EXPECT_FALSE(files().exists(at("out\\b.txt")));
  EXPECT_TRUE(reader.LastError().fError);
  EXPECT_EQ(reader.FailedFiles(), std::vector<std::string>{at("out\\b.txt")});
#endif
}

TEST_F(DamagedCabinet, DamageInALaterBlockKeepsTheFilesBefore) {
  const auto raw = twoFiles();
  RawOptions options;
  options.flipDataByte = 8 + 32768 + 8 + 20000;  // in the second block, inside the second file
  extractRaw(raw, options);
  expectFailureWithoutWrongBytes(raw);
  EXPECT_FALSE(files().exists(at("out\\second.bin")));
}

TEST_F(DamagedCabinet, TruncatedCabinetFails) {
  const auto raw = twoFiles();
  for (size_t size : {size_t{10}, size_t{40}, size_t{100}, size_t{30000}, size_t{60000}}) {
    RawOptions options;
    options.truncateTo = size;
    extractRaw(raw, options);
    SCOPED_TRACE(size);
    expectFailureWithoutWrongBytes(raw);
  }
}

// The cabinet is checked a window at a time before anything is written:
// damage and a cut far past the first window stop the files before them too.
TEST_F(DamagedCabinet, DamageFarIntoALargeCabinetIsFoundBeforeAnyFile) {
  const std::vector<InputFile> sources = {{"a.txt", textBytes(20000, 1)}, {"big.bin", randomBytes(3000000, 2)}};
  putAll(at("src"), sources);
  writeCabinet(at("in\\big.cab"), at("src"));
  const std::string cabinet = get(at("in\\big.cab"));
  ASSERT_GT(cabinet.size(), 3000000u);
  std::string flipped = cabinet;
  flipped[2500000] ^= 0x10;
  for (const std::string& damaged : {flipped, cabinet.substr(0, 2200000)}) {
    put(at("in\\big.cab"), damaged);
    reader.ExtractFiles(at("in\\big.cab"), at("out"));
    EXPECT_EQ(reader.LastError().erfOper, FDIERROR_CORRUPT_CABINET);
    EXPECT_TRUE(reader.ExtractedFiles().empty());
    EXPECT_FALSE(files().exists(at("out\\a.txt")));
  }
}

TEST_F(DamagedCabinet, FileBeyondTheFolderDataFails) {
  auto raw = twoFiles();
  raw[1].offset = 1000000;
  extractRaw(raw);
  expectFailureWithoutWrongBytes(raw);
  EXPECT_FALSE(files().exists(at("out\\second.bin")));
}

TEST_F(DamagedCabinet, HugeFileSizeFails) {
  auto raw = twoFiles();
  raw[0].size = 0x7FFFFFF0;
  extractRaw(raw);
  EXPECT_TRUE(reader.LastError().fError);
  EXPECT_FALSE(files().exists(at("out\\first.bin")));
  expectNothingOutsideOut({"in\\raw.cab"});
}

TEST_F(DamagedCabinet, HugeFileCountFails) {
  const auto raw = twoFiles();
  RawOptions options;
  options.fileCount = 65535;
  extractRaw(raw, options);
  EXPECT_TRUE(reader.LastError().fError);
  EXPECT_TRUE(reader.ExtractedFiles().empty());
  expectNothingOutsideOut({"in\\raw.cab"});
}

TEST_F(DamagedCabinet, DataOffsetBeyondTheEndFails) {
  const auto raw = twoFiles();
  RawOptions options;
  options.coffCabStartDelta = 500000;
  extractRaw(raw, options);
  expectFailureWithoutWrongBytes(raw);
  EXPECT_TRUE(reader.ExtractedFiles().empty());
}

TEST_F(DamagedCabinet, NotACabinetAtAll) {
  put(at("in\\raw.cab"), "This is a text file, not a cabinet.");
  reader.ExtractFiles(at("in\\raw.cab"), at("out"));
  EXPECT_TRUE(reader.LastError().fError);
  EXPECT_EQ(reader.LastError().erfOper, FDIERROR_NOT_A_CABINET);
  EXPECT_EQ(fdiErrorText(reader.LastError(), Lang::English), "The file is not a cabinet");
  EXPECT_FALSE(files().exists(at("out")));
}

}  // namespace
}  // namespace korvane::test::cab
