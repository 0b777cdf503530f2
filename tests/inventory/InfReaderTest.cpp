// The INF reader on hand-written INF files: locating the file, the version
// facts, the text rules of both file sets, encodings and broken input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "inventory/InfReader.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Strings = std::vector<std::string>;

constexpr const char* kInf = "C:\\WINDOWS\\inf\\test.inf";

// One INF on a fresh machine image.
class InfOnImage {
 public:
  explicit InfOnImage(const std::string& bytes) {
    image_.file("WINDOWS\\inf\\test.inf", bytes);
    machine_ = &image_.open();
  }
  Machine& machine() { return *machine_; }
  Strings details() { return InfDetailsFileSet(*machine_, kInf); }
  InfBackupSet backup() { return InfBackupFileSet(*machine_, kInf); }

 private:
  ImageBuilder image_;
  Machine* machine_ = nullptr;
};

std::string utf16(const std::string& text) { return "\xFF\xFE" + utf8ToUtf16leBytes(text); }

// Every rule of the details set in one script.
const std::string kEveryRule =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Net\r\n"
    "\r\n"
    "[SourceDisksFiles]\r\n"
    "MyDrv.sys = 1\r\n"
    "Helper.DLL = 1,,\r\n"
    "readme\r\n"
    "\r\n"
    "[SourceDisksNames]\r\n"
    "1 = \"Disk 1\",,\r\n"
    "\r\n"
    "[Driver.CopyFiles]\r\n"
    "mydrv.sys,,,2\r\n"
    "  indented.sys\r\n"
    "\ttabbed.sys\r\n"
    "other.vxd\r\n"
    "%strkey%.sys\r\n"
    "HKR,,NoCopy\r\n"
    "nodot, shown.sys\r\n"
    "; comment.sys = 1\r\n"
    "\r\n"
    "[Driver.AddReg]\r\n"
    "HKR,,DevLoader,,*ntkern\r\n"
    "notafile.sys\r\n"
    "\r\n"
    "[Strings] ; not a file list\r\n"
    "strkey = \"value\"\r\n"
    "[Strings.more]\r\n"
    "name.sys = \"x\"\r\n";

TEST(InfDetailsSet, FollowsEveryTextRule) {
  InfOnImage inf(kEveryRule);
  EXPECT_THAT(inf.details(),
              ElementsAre(
                  // The keys of SourceDisksFiles as written.
                  "MyDrv.sys", "Helper.DLL", "readme",
                  // Keys with a dot of the file sections, lower-cased, when new.
                  "mydrv.sys,,,2", "indented.sys", "tabbed.sys", "other.vxd", "%strkey%.sys", "nodot, shown.sys",
                  // The text scan: the header "[Strings] ; not a file list" names a list and opens a
                  // file section that the initialisation-file reader does not know as one.
                  "nodot", "strkey"));
}

TEST(InfDetailsSet, AFileLineWithFlagsGivesTheBareNameAndTheWholeLine) {
  InfOnImage inf("[drv.copy]\r\nmydrv.sys,,,2\r\n");
  EXPECT_THAT(inf.details(), ElementsAre("mydrv.sys,,,2", "mydrv.sys"));
}

TEST(InfDetailsSet, IndentedLinesReachTheSetOnlyAsKeys) {
  InfOnImage inf("[files]\r\n  spaced.sys\r\n\ttabbed.sys\r\n  nodot\r\n");
  EXPECT_THAT(inf.details(), ElementsAre("spaced.sys", "tabbed.sys"));
}

TEST(InfDetailsSet, RegistryLinesAreDropped) {
  InfOnImage inf("[Drv.AddReg]\r\nHKR,,Loader.vxd\r\n[Drv.CopyFiles]\r\nHKR,,Copied\r\nHKLM\r\nAddReg=x\r\n5\r\n");
  EXPECT_THAT(inf.details(), IsEmpty()) << "no file section holds a name";
}

TEST(InfDetailsSet, AStringsHeaderEndsTheFileSection) {
  InfOnImage inf("[drv.copy]\r\na.sys\r\n[Strings]\r\nb = c\r\nlabel\r\n");
  EXPECT_THAT(inf.details(), ElementsAre("a.sys"));
}

TEST(InfDetailsSet, EveryWordMarksAFileSection) {
  for (const char* header : {"[A.Copy]", "[SOURCE]", "[File]", "[list]", "[x.src]", "[Disk]", "[nvidia]"}) {
    InfOnImage inf(std::string(header) + "\r\nfound.bin\r\n");
    EXPECT_THAT(inf.details(), ElementsAre("found.bin")) << header;
  }
  InfOnImage other("[Install]\r\nnot.bin\r\n");
  EXPECT_THAT(other.details(), IsEmpty());
}

TEST(InfDetailsSet, TextScanNamesAreLowerCaseAndDuplicatesIgnoreCase) {
  InfOnImage inf("[SourceDisksFiles]\r\nBig.SYS\r\n[drv.copy]\r\nBIG.sys\r\nNoDot\r\nNODOT\r\n");
  EXPECT_THAT(inf.details(), ElementsAre("Big.SYS", "nodot"));
}

TEST(InfDetailsSet, HeaderLinesOpenOnlyAtTheirFirstCharacter) {
  InfOnImage inf(" [files]\r\nhidden.sys\r\n[files\r\nopen.sys\r\n");
  // " [files]" is a section for the initialisation-file reader but not for the text scan.
  EXPECT_THAT(inf.details(), ElementsAre("hidden.sys", "open.sys"));
}

TEST(InfDetailsSet, ScriptWithoutFileSectionsHasNoFiles) {
  InfOnImage inf("[Version]\r\nSignature=$CHICAGO$\r\n[Install]\r\nCopyFiles=x\r\n; drv.sys\r\n");
  EXPECT_THAT(inf.details(), IsEmpty());
}

TEST(InfBackupSet, AddsCatalogsAndCommentedNamesInOrder) {
  InfOnImage inf(
      "[Version]\r\n"
      "Signature=\"$Windows NT$\"\r\n"
      "CatalogFile=drv.cat ; signed\r\n"
      "CatalogFile.NT=drvnt.cat\r\n"
      "[SourceDisksFiles]\r\n"
      "MyDrv.sys = 1\r\n"
      "[Drv.CopyFiles]\r\n"
      "mydrv.sys\r\n"
      ";;, old.sys = 1\r\n"
      "Added.SYS\r\n"
      "NoDot\r\n"
      "[Strings]\r\n"
      "; strings.txt is mentioned here\r\n"
      ";=first.sys\r\n"
      "s = \"x\"\r\n");
  const InfBackupSet set = inf.backup();
  EXPECT_THAT(set.Names, ElementsAre("MyDrv.sys", "drv.cat ", "drvnt.cat", "added.sys", "old.sys ",
                                     "strings.txt is mentioned here", "=first.sys", "nodot"));
  EXPECT_EQ(set.CatalogFile, "drv.cat ");
  EXPECT_THAT(inf.details(), ElementsAre("MyDrv.sys", "added.sys", "nodot")) << "comments count for backups only";
}

TEST(InfBackupSet, ACommentedNameIsAddedWithoutAnyTest) {
  InfOnImage inf("; drv.sys = 1\r\n[drv.copy]\r\ndrv.sys\r\n; drv.sys = 1\r\n");
  EXPECT_THAT(inf.backup().Names, ElementsAre("drv.sys", "drv.sys ", "drv.sys "));
}

TEST(InfBackupSet, TheNtCatalogStandsInForAMissingOne) {
  InfOnImage inf("[VERSION]\r\nCatalogFile.NT = nt.cat\r\n");
  const InfBackupSet set = inf.backup();
  EXPECT_THAT(set.Names, ElementsAre("nt.cat"));
  EXPECT_EQ(set.CatalogFile, "nt.cat");
}

TEST(InfBackupSet, ACatalogValueThatIsAllCommentNamesNoFile) {
  InfOnImage inf("[Version]\r\nCatalogFile=;none\r\n");
  const InfBackupSet set = inf.backup();
  EXPECT_THAT(set.Names, IsEmpty());
  EXPECT_EQ(set.CatalogFile, "");
}

TEST(InfVersion, SectionFoundWhateverItsCase) {
  for (const char* header : {"[Version]", "[version]", "[VERSION]", "[vErSiOn]"}) {
    InfOnImage inf(std::string("[Other]\r\n") + header + "\r\nSignature=$Chicago$\r\nCatalogFile=a.cat\r\n");
    EXPECT_EQ(InfVersionSection(inf.machine(), kInf), std::string(header).substr(1, 7));
    EXPECT_EQ(InfPlatform(inf.machine(), kInf), "$Chicago$") << header;
    EXPECT_EQ(InfCatalog(inf.machine(), kInf), "a.cat") << header;
  }
  InfOnImage none("[Install]\r\nSignature=$Chicago$\r\n");
  EXPECT_EQ(InfVersionSection(none.machine(), kInf), "");
  EXPECT_EQ(InfPlatform(none.machine(), kInf), "");
}

TEST(InfVersion, CatalogIsCutBeforeItsComment) {
  InfOnImage inf("[Version]\r\nCatalogFile=\r\nCatalogFile.NT=nt.cat ; for NT\r\n");
  EXPECT_EQ(InfCatalog(inf.machine(), kInf), "nt.cat ");
}

TEST(InfLocation, TheOemFolderWins) {
  ImageBuilder image;
  image.file("WINDOWS\\inf\\both.inf", "main").file("WINDOWS\\inf\\Other\\both.inf", "oem");
  image.file("WINDOWS\\inf\\main.inf", "main").file("WINDOWS\\inf\\Other\\oem.inf", "oem");
  image.file("WINDOWS\\inf\\Other\\folder.inf\\x", "");
  FileSystem& files = image.open().files();
  const auto locate = [&](const std::string& name) {
    return LocateInf(files, "C:\\WINDOWS\\Inf\\", "C:\\WINDOWS\\Inf\\Other\\", name);
  };
  EXPECT_EQ(locate("both.inf"), "C:\\WINDOWS\\Inf\\Other\\both.inf");
  EXPECT_EQ(locate("MAIN.INF"), "C:\\WINDOWS\\Inf\\MAIN.INF");
  EXPECT_EQ(locate("oem.inf"), "C:\\WINDOWS\\Inf\\Other\\oem.inf");
  EXPECT_EQ(locate("gone.inf"), std::nullopt);
  EXPECT_EQ(locate("folder.inf"), std::nullopt) << "a folder is no INF";
  EXPECT_EQ(locate(""), std::nullopt);
}

TEST(InfEncodings, Utf16ScriptsReadLikeEightBitOnes) {
  InfOnImage eightBit(kEveryRule);
  InfOnImage wide(utf16(kEveryRule));
  EXPECT_EQ(wide.details(), eightBit.details());
  EXPECT_EQ(wide.backup().Names, eightBit.backup().Names);
  EXPECT_EQ(InfPlatform(wide.machine(), kInf), "$Windows NT$");
}

TEST(InfEncodings, NamesBeyondAsciiAreDecodedAndLowerCased) {
  const std::string text = "[SourceDisksFiles]\r\nДРАЙВЕР.SYS\r\n[drv.copy]\r\nÉCRAN.DLL\r\nПЛАТА\r\n";
  InfOnImage wide(utf16(text));
  EXPECT_THAT(wide.details(), ElementsAre("ДРАЙВЕР.SYS", "écran.dll", "плата"));
  // The same script in the machine's code page, 1252: the accented letters survive.
  InfOnImage latin("[drv.copy]\r\n\xC9" "CRAN.DLL\r\nR\xC9SUM\xC9\r\n");
  EXPECT_THAT(latin.details(), ElementsAre("écran.dll", "résumé"));
}

TEST(InfBrokenInput, AMissingScriptGivesNothing) {
  ImageBuilder image;
  Machine& machine = image.open();
  EXPECT_THAT(InfDetailsFileSet(machine, kInf), IsEmpty());
  EXPECT_THAT(InfBackupFileSet(machine, kInf).Names, IsEmpty());
  EXPECT_EQ(InfPlatform(machine, kInf), "");
  EXPECT_EQ(InfCatalog(machine, kInf), "");
}

TEST(InfBrokenInput, AHugeFileIsNoScript) {
  std::string text = "[Version]\r\nSignature=$Chicago$\r\n[files]\r\na.sys\r\n";
  text.resize(kMaxInfSize + 1, ' ');
  InfOnImage inf(text);
  EXPECT_THAT(inf.details(), IsEmpty());
  EXPECT_EQ(InfPlatform(inf.machine(), kInf), "");
}

TEST(InfBrokenInput, BinaryNoiseEndsQuickly) {
  std::mt19937 random(20050101);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  const auto start = std::chrono::steady_clock::now();
  InfOnImage inf(noise);
  const auto backup = inf.backup();
  const auto details = inf.details();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  for (const auto& name : details) EXPECT_FALSE(name.empty());
  EXPECT_LE(details.size(), backup.Names.size());
}

TEST(InfBrokenInput, ManySectionsAndNamesEndQuickly) {
  std::string text;
  for (int k = 0; k < 2000; ++k) text += "[copy" + std::to_string(k) + "]\r\nf" + std::to_string(k) + ".sys\r\n";
  text += "[files]\r\n";
  for (int k = 0; k < 5000; ++k) text += "k" + std::to_string(k) + ".sys\r\n";
  // A header the initialisation-file reader takes for "Strings" opens a long list for the text scan.
  text += "[Strings] ; list\r\n";
  for (int k = 0; k < 200000; ++k) text += "n" + std::to_string(k) + "\r\n";
  const auto start = std::chrono::steady_clock::now();
  InfOnImage inf(text);
  EXPECT_EQ(inf.details().size(), 2000u + 5000u + 200000u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(InfBrokenInput, NulBytesAndLongLinesAreText) {
  std::string text = "[files]\r\nbad";
  text += '\0';
  text += "name.sys\r\n" + std::string(1 << 20, 'x') + ".sys\r\n";
  InfOnImage inf(text);
  const auto names = inf.details();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1].size(), (1u << 20) + 4);
}

}  // namespace
}  // namespace korvane::test
