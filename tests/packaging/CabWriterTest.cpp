// TSTCabWriter: properties, names of a set, thresholds, events and failures.
#include <cstring>
#include <memory>
#include <regex>

#include "packaging/CabTestKit.h"

namespace korvane::test::cab {
namespace {

class CabWriter : public CabTest {
 protected:
  // The names the library places from now on, in order, continuations left out.
  static std::shared_ptr<std::vector<std::string>> recordPlaced(TSTCabWriter& writer) {
    auto names = std::make_shared<std::vector<std::string>>();
    writer.OnFilePlaced = [names](TSTCabWriter&, const TCCAB&, const std::string& name, int, bool continuation,
                                  bool&) {
      if (!continuation) names->push_back(name);
    };
    return names;
  }

  std::vector<InputFile> fiveFiles() {
    std::vector<InputFile> sources;
    for (unsigned k = 1; k <= 5; ++k) sources.push_back({"file" + std::to_string(k) + ".txt", textBytes(1000 * k, k)});
    return sources;
  }

  void addAll(TSTCabWriter& writer, const std::string& folder, const std::vector<InputFile>& sources) {
    for (const InputFile& source : sources) writer.AddFile(folder + "\\" + source.name, source.name, false);
  }

  // Extracts a cabinet (and the set it begins) into a fresh folder.
  std::string extract(const std::string& cabinet, const std::string& folderName = "out") {
    TSTCabReader reader(machine());
    reader.ExtractFiles(cabinet, at(folderName));
    EXPECT_FALSE(reader.LastError().fError) << fdiErrorText(reader.LastError(), Lang::English);
    return at(folderName);
  }
};

TEST_F(CabWriter, ConstructorAsksForLzxAtItsLargestWindow) {
  TSTCabWriter writer(machine());
  EXPECT_EQ(writer.CompressionType(), cctLzx);
  EXPECT_EQ(writer.CompressionLzxLevel(), 21u);
  EXPECT_EQ(writer.CompressionCode(), 0x1503);
  EXPECT_EQ(writer.CabinetSizeThreshold, 0u);
  EXPECT_EQ(writer.CabinetFileCountThreshold, 0u);
  EXPECT_EQ(writer.FolderSizeThreshold, 0u);
  EXPECT_EQ(writer.FolderFileCountThreshold, 0u);
  EXPECT_FALSE(writer.IsOpen());
}

TEST_F(CabWriter, CompressionCodeFollowsBothProperties) {
  TSTCabWriter writer(machine());
  writer.SetCompressionLzxLevel(15);
  EXPECT_EQ(writer.CompressionCode(), 0x0F03);
  writer.SetCompressionType(cctMsZip);
  EXPECT_EQ(writer.CompressionCode(), 1);
  writer.SetCompressionLzxLevel(18);
  EXPECT_EQ(writer.CompressionCode(), 1);
  writer.SetCompressionType(cctNone);
  EXPECT_EQ(writer.CompressionCode(), 0);
  writer.SetCompressionType(cctLzx);
  EXPECT_EQ(writer.CompressionCode(), 0x1203);
  writer.SetCompressionType(static_cast<TSTCabCompressionType>(7));
  EXPECT_EQ(writer.CompressionCode(), 15);
  EXPECT_THROW(writer.SetCompressionLzxLevel(22), std::out_of_range);
  EXPECT_THROW(writer.SetCompressionLzxLevel(14), std::out_of_range);
  EXPECT_EQ(writer.CompressionLzxLevel(), 18u);
}

#ifndef _WIN32  // cabinet.dll compresses LZX; our own library does not
TEST_F(CabWriter, DefaultLzxIsRaisedAsUnknownCompressionType) {
  put(at("src\\a.inf"), "[Version]\r\n");
  TSTCabWriter writer(machine());
  writer.Open(at("lzx.cab"));
  try {
    writer.AddFile(at("src\\a.inf"), "a.inf", false);
    FAIL() << "LZX was accepted";
  } catch (const ESTCabinet& error) {
    EXPECT_EQ(error.ErrorCode(), FCIERR_BAD_COMPR_TYPE);
    EXPECT_EQ(cabinetErrorMessage(error, Lang::English), "Unknown compression type [0x0005]");
    EXPECT_EQ(cabinetErrorMessage(error, Lang::French), "Type de compression inconnu [0x0005]");
    EXPECT_TRUE(error.FromCompression());
  }
}
#endif

TEST_F(CabWriter, NameTemplates) {
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("Backup.cab"));
  EXPECT_EQ(writer.CabinetName(2), "Backup2.cab");
  EXPECT_EQ(writer.CabinetPath(3), at(""));
  EXPECT_EQ(writer.DiskLabel(4), "Disk4");
  writer.CabinetNameTemplate = "set*.*";
  writer.CabinetPathTemplate = "D:\\disk*";
  writer.DiskLabelTemplate = "Volume * of *";
  EXPECT_EQ(writer.CabinetName(12), "set12.12");
  EXPECT_EQ(writer.CabinetPath(2), "D:\\disk2\\");
  EXPECT_EQ(writer.DiskLabel(3), "Volume 3 of 3");
  writer.Close(false);

  writer.CabinetNameTemplate.clear();
  writer.Open(at("archive.v2.cab"));
  EXPECT_EQ(writer.CabinetName(5), "archive.v25.cab");
  writer.Open(at("NOEXT"));
  EXPECT_EQ(writer.CabinetName(5), "NOEXT5");
}

TEST_F(CabWriter, NoSizeThresholdGivesOneCabinetWithTheGivenName) {
  std::vector<InputFile> sources;
  for (unsigned k = 0; k < 4; ++k) sources.push_back({"big" + std::to_string(k) + ".bin", randomBytes(900000, k)});
  putAll(at("src"), sources);
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("cab\\Backup.cab"));
  addAll(writer, at("src"), sources);
  writer.Close(true);
  EXPECT_EQ(filesBelow(at("cab")), std::vector<std::string>{"Backup.cab"});
  expectHolds(extract(at("cab\\Backup.cab")), sources);
}

TEST_F(CabWriter, FileCountThresholdBeginsNewCabinetsNamedAfterTheFirst) {
  const auto sources = fiveFiles();
  putAll(at("src"), sources);
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.CabinetFileCountThreshold = 2;
  std::vector<uint32_t> previousSizes;
  writer.OnGetNextCabinet = [&](TSTCabWriter&, TCCAB&, uint32_t previousSize, bool&) {
    previousSizes.push_back(previousSize);
  };
  writer.Open(at("cab\\Backup.cab"));
  addAll(writer, at("src"), sources);
  writer.Close(true);
  const auto cabinets = filesBelow(at("cab"));
  ASSERT_EQ(cabinets.size(), 3u) << ::testing::PrintToString(cabinets);
  EXPECT_EQ(cabinets[0], "Backup.cab");
  for (size_t k = 1; k < 3; ++k) EXPECT_TRUE(std::regex_match(cabinets[k], std::regex("Backup[0-9]+\\.cab"))) << cabinets[k];
  ASSERT_EQ(previousSizes.size(), 3u);  // Open, then the two later cabinets
  EXPECT_EQ(previousSizes[0], 0u);
  EXPECT_GT(previousSizes[1], 0u);
  expectHolds(extract(at("cab\\Backup.cab")), sources);
}

TEST_F(CabWriter, FolderFileCountThresholdClosesFolders) {
  const auto sources = fiveFiles();
  putAll(at("src"), sources);
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.FolderFileCountThreshold = 2;
  writer.Open(at("folders.cab"));
  addAll(writer, at("src"), sources);
  writer.Close(true);
  std::vector<uint16_t> folders;
  TSTCabReader reader(machine());
  reader.OnCopyFile = [&](TSTCabReader&, const std::string&, int, uint16_t, uint16_t, uint16_t, uint16_t folder,
                          std::string&, bool&) { folders.push_back(folder); };
  reader.ExtractFiles(at("folders.cab"), at("out"));
  EXPECT_EQ(folders, (std::vector<uint16_t>{0, 0, 1, 1, 2}));
  expectHolds(at("out"), sources);
}

TEST_F(CabWriter, LeadingBackslashOfTheNameIsDropped) {
  put(at("src\\a.inf"), "[Version]\r\n");
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  const auto names = recordPlaced(writer);
  writer.Open(at("lead.cab"));
  writer.AddFile(at("src\\a.inf"), "\\sub\\a.inf", false);
  writer.Close(true);
  EXPECT_EQ(*names, std::vector<std::string>{"sub\\a.inf"});
  EXPECT_EQ(get(extract(at("lead.cab")) + "\\sub\\a.inf"), "[Version]\r\n");
}

TEST_F(CabWriter, AddFilesNamesByRelativePathFilesBeforeSubfolders) {
  putAll(at("src"), {{"b.sys", "b"}, {"a.inf", "a"}, {"sub\\deep\\c.dll", "c"}, {"sub\\d.hlp", "d"}, {"z.txt", ""}});
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  const auto names = recordPlaced(writer);
  writer.Open(at("tree.cab"));
  writer.AddFiles(at("src\\*.*"), "drv", true);
  writer.Close(true);
  std::vector<std::string> expected = {"drv\\a.inf", "drv\\b.sys", "drv\\z.txt", "drv\\sub\\d.hlp",
                                       "drv\\sub\\deep\\c.dll"};
  EXPECT_EQ(*names, expected);
}

#ifndef _WIN32
// A link back up the tree would add the same files under ever longer names.
TEST_F(CabWriter, AddFilesLeavesLinksToFoldersOut) {
  putAll(at("src"), {{"a.inf", "a"}, {"sub\\b.sys", "b"}});
  std::filesystem::create_directory_symlink(hostPath(at("src")), hostPath(at("src\\sub\\up")));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  const auto names = recordPlaced(writer);
  writer.Open(at("loop.cab"));
  writer.AddFiles(at("src\\*.*"), "", true);
  writer.Close(true);
  EXPECT_EQ(*names, (std::vector<std::string>{"a.inf", "sub\\b.sys"}));
}
#endif

TEST_F(CabWriter, AddFilesWithoutRecursionAndWithAPattern) {
  putAll(at("src"), {{"a.inf", "a"}, {"b.sys", "b"}, {"sub\\c.inf", "c"}});
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  const auto names = recordPlaced(writer);
  writer.Open(at("flat.cab"));
  writer.AddFiles(at("src\\*.inf"), "", false);
  writer.Close(true);
  EXPECT_EQ(*names, std::vector<std::string>{"a.inf"});
}

TEST_F(CabWriter, AddFilesOnAnEmptyFolderAddsNothing) {
  ASSERT_TRUE(files().forceDirectories(at("empty")));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("empty.cab"));
  EXPECT_NO_THROW(writer.AddFiles(at("empty\\*.*"), "", true));
  writer.Close(false);
}

TEST_F(CabWriter, AddFilesOnAMissingFolderRaisesPathNotFound) {
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("missing.cab"));
  try {
    writer.AddFiles(at("nowhere\\*.*"), "", true);
    FAIL() << "nothing raised";
  } catch (const ESystemError& error) {
    EXPECT_EQ(error.Code(), 3u);
    EXPECT_EQ(systemErrorMessage(error, Lang::English), "System Error.  Code: 3.\nThe system cannot find the path specified.");
    EXPECT_EQ(systemErrorMessage(error, Lang::Spanish), "Error del sistema.  Código: 3.\nEl sistema no puede encontrar la ruta especificada.");
  }
}

TEST_F(CabWriter, ExistingFileAtTheCabinetPathIsReplaced) {
  put(at("cab\\Backup.cab"), randomBytes(300000, 9));
  put(at("src\\a.inf"), "new");
  writeCabinet(at("cab\\Backup.cab"), at("src"));
  const std::string cabinet = get(at("cab\\Backup.cab"));
  EXPECT_EQ(cabinet.substr(0, 4), "MSCF");
  EXPECT_LT(cabinet.size(), 1000u);
  EXPECT_EQ(filesBelow(extract(at("cab\\Backup.cab"))), std::vector<std::string>{"a.inf"});
}

TEST_F(CabWriter, OpenCreatesTheCabinetFolder) {
  put(at("src\\a.inf"), "a");
  writeCabinet(at("new\\deeper\\x.cab"), at("src"));
  EXPECT_TRUE(files().exists(at("new\\deeper\\x.cab")));
}

TEST_F(CabWriter, OpenMayBeRedirectedByTheNextCabinetHandler) {
  put(at("src\\a.inf"), "a");
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.OnGetNextCabinet = [](TSTCabWriter&, TCCAB& ccab, uint32_t previousSize, bool&) {
    EXPECT_EQ(previousSize, 0u);
    EXPECT_EQ(ccab.iDisk, 1);
    EXPECT_STREQ(ccab.szDisk, "Disk1");
    std::strcpy(ccab.szCab, "Other.cab");
  };
  writer.Open(at("Asked.cab"));
  writer.AddFiles(at("src\\*.*"), "", true);
  writer.Close(true);
  EXPECT_FALSE(files().exists(at("Asked.cab")));
  EXPECT_TRUE(files().exists(at("Other.cab")));
}

TEST_F(CabWriter, OpenAbortedLeavesNoContextAndLaterCallsRefuse) {
  put(at("src\\a.inf"), "a");
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.OnGetNextCabinet = [](TSTCabWriter&, TCCAB&, uint32_t, bool& abort) { abort = true; };
  EXPECT_NO_THROW(writer.Open(at("never.cab")));
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_THROW(writer.AddFile(at("src\\a.inf"), "a.inf", false), ESTCabinet);
  EXPECT_THROW(writer.FlushFolder(), ESTCabinet);
  EXPECT_THROW(writer.FlushCabinet(), ESTCabinet);
  EXPECT_NO_THROW(writer.Close(false));
  // Those who then wait for the cabinet must hear that it was not written.
  try {
    writer.Close(true);
    FAIL() << "a cabinet never begun was reported as written";
  } catch (const ESTCabinet& error) {
    EXPECT_EQ(error.ErrorCode(), FCIERR_CAB_FILE);
  }
  EXPECT_FALSE(files().exists(at("never.cab")));
}

TEST_F(CabWriter, CloseReportsACabinetThatIsNotOnDisk) {
  put(at("src\\a.inf"), "a");
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.OnCabinetStatus = [this](TSTCabWriter&, uint32_t, uint32_t, uint32_t&, bool&) {
    files().deleteFile(at("gone.cab"));
  };
  writer.Open(at("gone.cab"));
  writer.AddFile(at("src\\a.inf"), "a.inf", false);
  try {
    writer.Close(true);
    FAIL() << "a missing cabinet was reported as written";
  } catch (const ESTCabinet& error) {
    EXPECT_EQ(error.ErrorCode(), FCIERR_CAB_FILE);
    EXPECT_EQ(error.SystemErrorCode(), 2);
    EXPECT_EQ(cabinetErrorMessage(error, Lang::English),
              "Could not create cabinet file [0x0006].\nThe system cannot find the file specified. [0x0002].");
  }
  EXPECT_FALSE(writer.IsOpen());
}

TEST_F(CabWriter, MissingSourceIsRaisedWithTheSystemError) {
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("x.cab"));
  try {
    writer.AddFile(at("src\\missing.inf"), "missing.inf", false);
    FAIL() << "nothing raised";
  } catch (const ESTCabinet& error) {
    EXPECT_TRUE(error.ErrorPresent());
#ifndef _WIN32  // the codes are the library's; Wine's differ from ours
    EXPECT_EQ(error.ErrorCode(), FCIERR_OPEN_SRC);
    EXPECT_EQ(error.SystemErrorCode(), 2);
    EXPECT_EQ(cabinetErrorMessage(error, Lang::English), "Failure opening file to be stored in cabinet [0x0001].\n"
                                                         "The system cannot find the file specified. [0x0002].");
#endif
  }
}

TEST_F(CabWriter, ProgressFiresOnTheSecondBlockThenEveryNinth) {
  put(at("src\\big.bin"), randomBytes(20 * 32768, 3));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  int blocks = 0;
  std::vector<int> progressAt;
  uint32_t uncompressed = 0;
  writer.OnFileStatus = [&](TSTCabWriter&, uint32_t compressed, uint32_t plain, bool&) {
    blocks++;
    uncompressed += plain;
    EXPECT_GT(compressed, 0u);
  };
  writer.OnProgress = [&](TSTCabWriter&, bool&) { progressAt.push_back(blocks); };
  int folders = 0, cabinets = 0;
  writer.OnFolderStatus = [&](TSTCabWriter&, uint32_t, uint32_t, bool&) { folders++; };
  writer.OnCabinetStatus = [&](TSTCabWriter&, uint32_t, uint32_t actual, uint32_t& desired, bool&) {
    cabinets++;
    EXPECT_GE(desired, actual);
  };
  writer.Open(at("progress.cab"));
  writer.AddFile(at("src\\big.bin"), "big.bin", false);
  writer.Close(true);
  EXPECT_EQ(blocks, 20);
  EXPECT_EQ(uncompressed, 20u * 32768u);
  EXPECT_EQ(progressAt, (std::vector<int>{2, 11, 20}));
  EXPECT_GE(folders, 1);
  EXPECT_EQ(cabinets, 1);
}

TEST_F(CabWriter, AbortingHandlerRaisesClientRequestedAbort) {
  put(at("src\\a.inf"), textBytes(100000, 1));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.OnFileStatus = [](TSTCabWriter&, uint32_t, uint32_t, bool& abort) { abort = true; };
  writer.Open(at("abort.cab"));
  try {
    writer.AddFile(at("src\\a.inf"), "a.inf", false);
    writer.Close(true);
    FAIL() << "the abort was not reported";
  } catch (const ESTCabinet& error) {
    EXPECT_EQ(error.ErrorCode(), FCIERR_USER_ABORT);
    EXPECT_EQ(cabinetErrorMessage(error, Lang::English), "Client requested abort [0x0007]");
  }
}

TEST_F(CabWriter, ExceptionOfAHandlerReachesTheCaller) {
  put(at("src\\a.inf"), textBytes(100000, 1));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.OnFilePlaced = [](TSTCabWriter&, const TCCAB&, const std::string&, int, bool, bool&) {
    throw std::runtime_error("handler failed");
  };
  writer.Open(at("throw.cab"));
  try {
    writer.AddFile(at("src\\a.inf"), "a.inf", false);
    writer.Close(true);
    FAIL() << "the handler's exception was lost";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "handler failed");
  }
}

TEST_F(CabWriter, SetIdAndReservesReachTheCabinet) {
  put(at("src\\a.inf"), textBytes(5000, 2));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.SetID = 0x1234;
  writer.ReservePerCabinetSize = 20;
  writer.ReservePerFolderSize = 4;
  writer.ReservePerDataSize = 8;
  writer.Open(at("reserve.cab"));
  writer.AddFiles(at("src\\*.*"), "", true);
  writer.Close(true);
  const std::string cabinet = get(at("reserve.cab"));
  ASSERT_GT(cabinet.size(), 40u);
  EXPECT_EQ(static_cast<uint8_t>(cabinet[32]) | static_cast<uint8_t>(cabinet[33]) << 8, 0x1234);
  EXPECT_EQ(cabinet[30] & 0x04, 0x04);  // reserve fields present
  EXPECT_EQ(static_cast<uint8_t>(cabinet[36]), 20);
  EXPECT_EQ(static_cast<uint8_t>(cabinet[38]), 4);
  EXPECT_EQ(static_cast<uint8_t>(cabinet[39]), 8);
  uint16_t setId = 0;
  TSTCabReader reader(machine());
  reader.OnCabinetInfo = [&](TSTCabReader&, const std::string&, const std::string&, const std::string&, uint16_t id,
                             uint16_t, bool&) { setId = id; };
  reader.ExtractFiles(at("reserve.cab"), at("out"));
  EXPECT_EQ(setId, 0x1234);
  EXPECT_EQ(get(at("out\\a.inf")), textBytes(5000, 2));
}

}  // namespace
}  // namespace korvane::test::cab
