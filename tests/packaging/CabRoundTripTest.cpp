// Files through the writer and back through the reader: generated sets,
// several folders, spanned sets, time stamps, attributes and names.
#include <map>
#include <random>
#include <set>

#include "packaging/CabNames.h"
#include "packaging/CabTestKit.h"

namespace korvane::test::cab {
namespace {

// A driver-like set: empty, small and large files, text and binaries, names
// in subfolders, some beyond ASCII.
std::vector<InputFile> generatedSet(unsigned seed, size_t count, size_t largest) {
  static const char* const kFolders[] = {"", "sys\\", "help\\", "x86\\sys\\", "lang\\ru\\", "a b\\c d\\"};
  static const char* const kStems[] = {"driver", "setup", "Readme", "netcard", "\xD0\xB4\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80",
                                       "caf\xC3\xA9", "long name with spaces"};
  static const char* const kExtensions[] = {".inf", ".sys", ".dll", ".cat", ".txt", ".hlp", ""};
  std::mt19937 random(seed);
  std::vector<InputFile> files;
  std::set<std::string> used;
  while (files.size() < count) {
    std::string name = std::string(kFolders[random() % std::size(kFolders)]) + kStems[random() % std::size(kStems)] +
                       std::to_string(random() % 1000) + kExtensions[random() % std::size(kExtensions)];
    if (!used.insert(upperCase(name)).second) continue;
    const unsigned kind = random() % 8;
    const size_t size = kind == 0 ? 0 : kind < 4 ? random() % 4000 : random() % largest;
    files.push_back({name, kind % 2 == 0 ? textBytes(size, random()) : randomBytes(size, random())});
  }
  return files;
}

std::vector<std::string> namesOf(const std::vector<InputFile>& sources) {
  std::vector<std::string> names;
  for (const InputFile& source : sources) names.push_back(source.name);
  std::sort(names.begin(), names.end());
  return names;
}

class CabRoundTrip : public CabTest {
 protected:
  // Writes the files from work\src with the writer as configured, reads the
  // set back into work\out and compares.
  void roundTrip(TSTCabWriter& writer, const std::vector<InputFile>& sources, const std::string& cabinet,
                 const std::string& work = "work") {
    putAll(at(work + "\\src"), sources);
    writer.Open(cabinet);
    writer.AddFiles(at(work + "\\src\\*.*"), "", true);
    writer.Close(true);
    reader.ExtractFiles(cabinet, at(work + "\\out"));
    EXPECT_FALSE(reader.LastError().fError) << fdiErrorText(reader.LastError(), Lang::English);
    EXPECT_TRUE(reader.RefusedNames().empty());
    EXPECT_EQ(filesBelow(at(work + "\\out")), namesOf(sources));
    expectHolds(at(work + "\\out"), sources);
  }

  std::vector<std::string> cabinetsIn(const std::string& folder) {
    std::vector<std::string> cabinets;
    for (const std::string& file : filesBelow(folder))
      if (file.size() > 4 && upperCase(file.substr(file.size() - 4)) == ".CAB") cabinets.push_back(file);
    return cabinets;
  }

  TSTCabReader reader{machine()};
};

TEST_F(CabRoundTrip, GeneratedSetsComeBackWhole) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    TSTCabWriter writer(machine());
    writer.SetCompressionType(cctMsZip);
    const std::string work = "set" + std::to_string(seed);
    roundTrip(writer, generatedSet(seed, 10 + seed * 12, 150000), at(work + ".cab"), work);
  }
}

TEST_F(CabRoundTrip, StoredFilesComeBackWhole) {
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctNone);
  roundTrip(writer, generatedSet(40, 30, 100000), at("stored.cab"));
}

TEST_F(CabRoundTrip, EmptyFilesOnly) {
  const std::vector<InputFile> sources = {{"a.cat", ""}, {"sub\\b.cat", ""}, {"c.cat", ""}};
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
#ifdef _WIN32
  // Wine's library cannot write a cabinet without data: the failure must be
  // reported, and no broken cabinet left where a result is looked for.
  putAll(at("src"), sources);
  writer.Open(at("empty.cab"));
  writer.AddFiles(at("src\\*.*"), "", true);
  try {
    writer.Close(true);
  } catch (const ESTCabinet&) {
    EXPECT_FALSE(files().exists(at("empty.cab")));
    return;
  }
  reader.ExtractFiles(at("empty.cab"), at("out"));
  expectHolds(at("out"), sources);
#else
  roundTrip(writer, sources, at("empty.cab"));
#endif
}

TEST_F(CabRoundTrip, LargeFilesOverSeveralFolders) {
  const std::vector<InputFile> sources = {{"big1.bin", randomBytes(1500000, 1)},
                                           {"big2.txt", textBytes(2500000, 2)},
                                           {"small.inf", textBytes(3000, 3)},
                                           {"big3.bin", randomBytes(900000, 4)}};
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.FolderSizeThreshold = 400000;
  std::set<uint16_t> folders;
  reader.OnCopyFile = [&](TSTCabReader&, const std::string&, int, uint16_t, uint16_t, uint16_t, uint16_t folder,
                          std::string&, bool&) { folders.insert(folder); };
  roundTrip(writer, sources, at("folders.cab"));
  EXPECT_GE(folders.size(), 3u);
  EXPECT_EQ(cabinetsIn(at("")), std::vector<std::string>{"folders.cab"});
}

TEST_F(CabRoundTrip, SetSpannedBySize) {
  const auto sources = generatedSet(7, 40, 400000);
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.CabinetSizeThreshold = 250000;
  writer.SetID = 77;
  std::vector<uint16_t> numbers;
  reader.OnCabinetInfo = [&](TSTCabReader&, const std::string&, const std::string&, const std::string&,
                             uint16_t setId, uint16_t number, bool&) {
    EXPECT_EQ(setId, 77);
    numbers.push_back(number);
  };
  int partial = 0;
  reader.OnCopyPartialFile = [&](TSTCabReader&, const std::string&, const std::string& startCabinet,
                                 const std::string&, const std::string&, bool&) {
    partial++;
    EXPECT_FALSE(startCabinet.empty());
  };
  roundTrip(writer, sources, at("span\\Backup.cab"));
  const auto cabinets = cabinetsIn(at("span"));
  ASSERT_GE(cabinets.size(), 4u);
  for (const std::string& cabinet : cabinets) EXPECT_LE(files().stat(at("span\\" + cabinet))->size, 250000u) << cabinet;
  EXPECT_GE(partial, 1);
  // Every cabinet of the set was opened, in order.
  std::vector<uint16_t> uniqueNumbers = numbers;
  uniqueNumbers.erase(std::unique(uniqueNumbers.begin(), uniqueNumbers.end()), uniqueNumbers.end());
  EXPECT_EQ(uniqueNumbers.size(), cabinets.size());
  EXPECT_TRUE(std::is_sorted(uniqueNumbers.begin(), uniqueNumbers.end()));
}

TEST_F(CabRoundTrip, SetSpannedByFileCount) {
  const auto sources = generatedSet(8, 25, 60000);
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.CabinetFileCountThreshold = 4;
  roundTrip(writer, sources, at("count\\Drivers.cab"));
  EXPECT_EQ(cabinetsIn(at("count")).size(), 7u);  // 25 files, 4 a cabinet
}

// Later cabinets on disks of their own: the reader asks where they are.
TEST_F(CabRoundTrip, SetOnSeveralDisksFoundThroughTheNextCabinetEvent) {
  const std::vector<InputFile> sources = {{"one.bin", randomBytes(300000, 1)}, {"two.bin", randomBytes(300000, 2)}};
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.CabinetSizeThreshold = 200000;
  writer.CabinetPathTemplate = at("disk*");
  writer.DiskLabelTemplate = "Driver disk *";
  std::map<std::string, std::string> diskOf;  // cabinet name -> its folder
  writer.OnGetNextCabinet = [&](TSTCabWriter&, TCCAB& ccab, uint32_t, bool&) { diskOf[ccab.szCab] = ccab.szCabPath; };
  std::vector<std::string> asked;
  reader.OnNextCabinet = [&](TSTCabReader&, const std::string& name, const std::string& disk, std::string& path,
                             TFDIERROR, bool&) {
    asked.push_back(disk);
    path = diskOf[name];
  };
  roundTrip(writer, sources, at("disk1\\Set.cab"));
  ASSERT_GE(diskOf.size(), 3u);
  EXPECT_EQ(diskOf["Set.cab"], at("disk1\\"));
  EXPECT_TRUE(files().exists(at("disk2\\") + writer.CabinetName(1)));
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), "Driver disk 2");
}

TEST_F(CabRoundTrip, TimeStampsAndReadOnlyFlagTravel) {
  put(at("src\\dated.inf"), "dated");
  put(at("src\\locked.sys"), "locked");
  const int64_t april2025 = 133889379260000000;  // 2025-04-12 13:25:26 UTC
  const int64_t local = files().localFileTime(april2025);
  ASSERT_TRUE(files().setFileTimes(at("src\\dated.inf"), files().utcFileTime(local)));
  ASSERT_TRUE(files().setAttributes(at("src\\locked.sys"), faReadOnly));
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  writer.Open(at("stamps.cab"));
  writer.AddFiles(at("src\\*.*"), "", false);
  writer.Close(true);
  std::map<std::string, uint16_t> attributes;
  reader.OnCopyFile = [&](TSTCabReader&, const std::string& name, int, uint16_t date, uint16_t time,
                          uint16_t attribs, uint16_t, std::string&, bool&) {
    attributes[name] = attribs;
    if (name == "dated.inf") {
      EXPECT_EQ(date, 0x5A8C);
      EXPECT_EQ(time, 0x6B2D);
    }
  };
  reader.ExtractFiles(at("stamps.cab"), at("out"));
  EXPECT_EQ(files().stat(at("out\\dated.inf"))->writeTime, files().utcFileTime(local));
  EXPECT_NE(attributes["locked.sys"] & _A_RDONLY, 0);
  EXPECT_EQ(attributes["dated.inf"] & _A_RDONLY, 0);
  EXPECT_NE(files().stat(at("out\\locked.sys"))->attributes & faReadOnly, 0u);
  EXPECT_EQ(files().stat(at("out\\dated.inf"))->attributes & faReadOnly, 0u);
  ASSERT_TRUE(files().setAttributes(at("src\\locked.sys"), faNormal));
  ASSERT_TRUE(files().setAttributes(at("out\\locked.sys"), faNormal));
}

TEST_F(CabRoundTrip, NamesBeyondAsciiAreMarkedUtf8) {
  const std::string name = "\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80\\\xE9\xA9\x85\xE5\x8B\x95.inf";
  uint16_t attribs = 0;
  reader.OnCopyFile = [&](TSTCabReader&, const std::string&, int, uint16_t, uint16_t, uint16_t attributes,
                          uint16_t, std::string&, bool&) { attribs = attributes; };
  TSTCabWriter writer(machine());
  writer.SetCompressionType(cctMsZip);
  roundTrip(writer, {{name, "utf"}}, at("utf.cab"));
  EXPECT_NE(attribs & _A_NAME_IS_UTF, 0);
}

}  // namespace
}  // namespace korvane::test::cab
