// The file system: FindFirstFile's wildcard rules, names without regard to
// case, copies, temporary names and short names, on our image layer and on the
// real functions alike.
#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;

class FileSystemConformance : public ConformanceTest {
 protected:
  void makeFiles(const Strings& names) {
    for (const auto& name : names) ASSERT_TRUE(files().writeFile(scratchPath(name), name)) << name;
  }

  Strings found(const std::string& pattern) {
    Strings names;
    for (const auto& entry : files().find(scratchPath(pattern))) names.push_back(entry.name);
    return sorted(names);
  }

  // Assertions about the zero-length "?" are left out under Wine, whose
  // matching lacks that rule.
  void expectFoundIgnoringWine(const std::string& pattern, const Strings& names) {
    if (!runningOnWine()) {
      EXPECT_EQ(found(pattern), sorted(names)) << pattern;
    }
  }
};

bool isShortName(const std::string& name) {
  const size_t dot = name.find('.');
  const std::string base = name.substr(0, dot), extension = dot == std::string::npos ? "" : name.substr(dot + 1);
  const auto valid = [](const std::string& part) {
    return part.find_first_of(" .+,;=[]\"*?<>|/\\:") == std::string::npos && upperCase(part) == part;
  };
  return !base.empty() && base.size() <= 8 && extension.size() <= 3 && valid(base) && valid(extension);
}

TEST_F(FileSystemConformance, StarMatchesEverythingButTheDotEntries) {
  makeFiles({"readme", "a.txt", "b.TXT"});
  ASSERT_TRUE(files().createDirectory(scratchPath("sub")));
  EXPECT_EQ(found("*"), (Strings{"a.txt", "b.TXT", "readme", "sub"}));
  EXPECT_EQ(found("*.*"), (Strings{"a.txt", "b.TXT", "readme", "sub"})) << "*.* also matches names without a dot";
  EXPECT_EQ(found("sub\\*"), Strings{});
}

TEST_F(FileSystemConformance, PatternsMatchWithoutRegardToCase) {
  makeFiles({"a.txt", "b.TXT", "c.txt.bak", "Oem3.INF"});
  EXPECT_EQ(found("*.txt"), (Strings{"a.txt", "b.TXT"}));
  EXPECT_EQ(found("*.TXT"), (Strings{"a.txt", "b.TXT"}));
  EXPECT_EQ(found("OEM*.inf"), (Strings{"Oem3.INF"}));
  EXPECT_EQ(found("*.bak"), (Strings{"c.txt.bak"}));
}

TEST_F(FileSystemConformance, QuestionMarkMatchesOneCharacter) {
  makeFiles({"a.txt", "ab.inf", "abc.inf", "abd.inf", "abcd.inf"});
  EXPECT_EQ(found("?.txt"), (Strings{"a.txt"}));
  EXPECT_EQ(found("a?c.inf"), (Strings{"abc.inf"}));
  EXPECT_EQ(found("abc?"), Strings{}) << "not across the dot";
}

// Before a dot or at the end of the name, "?" may also match nothing.
TEST_F(FileSystemConformance, QuestionMarkMayMatchNothingAtTheEndOfAName) {
  makeFiles({"readme", "ab.inf", "abc.inf", "abcd.inf"});
  expectFoundIgnoringWine("readme?", {"readme"});
  expectFoundIgnoringWine("ab?.inf", {"ab.inf", "abc.inf"});
  expectFoundIgnoringWine("ab??.inf", {"ab.inf", "abc.inf", "abcd.inf"});
  EXPECT_EQ(found("ab?d.inf"), (Strings{"abcd.inf"})) << "inside a name it matches exactly one character";
}

TEST_F(FileSystemConformance, PlainNamesAndMissingFoldersFind) {
  makeFiles({"Setup.DIY"});
  EXPECT_EQ(found("setup.diy"), (Strings{"Setup.DIY"}));
  EXPECT_EQ(found("nomatch*"), Strings{});
  EXPECT_EQ(found("missing\\*"), Strings{});
}

// A name followed by a comment in an INF ends in spaces: Windows drops the
// spaces and dots that end a path's last name, in a find as in any other call.
TEST_F(FileSystemConformance, PlainNamesLoseTheSpacesAndDotsTheyEndWith) {
  makeFiles({"brnfast.cat"});
  EXPECT_EQ(found("brnfast.cat "), (Strings{"brnfast.cat"}));
  EXPECT_EQ(found("BRNFAST.CAT. . "), (Strings{"brnfast.cat"}));
  EXPECT_TRUE(files().stat(scratchPath("brnfast.cat  ")).has_value());
  EXPECT_EQ(found("brnfast"), Strings{});
}

TEST_F(FileSystemConformance, FoundEntriesCarrySizeKindAndTime) {
  makeFiles({"data.bin"});
  ASSERT_TRUE(files().createDirectory(scratchPath("Folder")));
  const auto entries = files().find(scratchPath("*"));
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& entry : entries) {
    EXPECT_EQ(entry.isDirectory(), entry.name == "Folder");
    if (!entry.isDirectory()) {
      EXPECT_EQ(entry.size, std::string("data.bin").size());
    }
    constexpr int64_t year2000 = 125911584000000000;  // FILETIME of 2000-01-01
    EXPECT_GT(entry.writeTime, year2000) << entry.name;
  }
}

TEST_F(FileSystemConformance, LookupIgnoresCaseAndStatKeepsTheStoredName) {
  makeFiles({"OemSetup.Inf"});
  EXPECT_TRUE(files().exists(scratchPath("OEMSETUP.INF")));
  EXPECT_FALSE(files().isDirectory(scratchPath("oemsetup.inf")));
  EXPECT_EQ(files().readFile(scratchPath("oemsetup.inf")), "OemSetup.Inf");
  const auto entry = files().stat(scratchPath("OEMSETUP.INF"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "OemSetup.Inf");
  EXPECT_EQ(entry->size, 12u);
  EXPECT_TRUE(files().isDirectory(scratchFolder()));
  EXPECT_FALSE(files().stat(scratchPath("absent.inf")));
}

TEST_F(FileSystemConformance, ReadAndWriteKeepEveryByte) {
  std::string bytes;
  for (int k = 0; k < 70000; ++k) bytes += static_cast<char>(k * 7);
  ASSERT_TRUE(files().writeFile(scratchPath("blob.bin"), bytes));
  EXPECT_EQ(files().readFile(scratchPath("blob.bin")), bytes);
  ASSERT_TRUE(files().writeFile(scratchPath("blob.bin"), "short"));
  EXPECT_EQ(files().readFile(scratchPath("blob.bin")), "short") << "a write replaces the whole file";
  EXPECT_FALSE(files().readFile(scratchPath("absent.bin")));
  EXPECT_FALSE(files().writeFile(scratchPath("no\\such\\folder\\x.bin"), "x"));
}

TEST_F(FileSystemConformance, LargeFilesAreReadInPartsAndGrownAtTheEnd) {
  const std::string path = scratchPath("part.bin");
  EXPECT_FALSE(files().readFilePart(path, 0, 4)) << "missing file";
  ASSERT_TRUE(files().appendFile(path, "MZ")) << "created when missing";
  ASSERT_TRUE(files().appendFile(path, std::string("\0\1stub", 6)));
  EXPECT_EQ(files().readFile(path).value_or(""), std::string("MZ\0\1stub", 8));
  EXPECT_EQ(files().readFilePart(path, 2, 3).value_or("?"), std::string("\0\1s", 3));
  EXPECT_EQ(files().readFilePart(path, 6, 100).value_or("?"), "ub") << "fewer at the end";
  EXPECT_EQ(files().readFilePart(path, 8, 10).value_or("?"), "") << "none at the end";
  EXPECT_EQ(files().readFilePart(path, 50, 10).value_or("?"), "") << "none past it";
  EXPECT_FALSE(files().appendFile(scratchPath("no such folder\\x.bin"), "x"));
}

TEST_F(FileSystemConformance, CopyHonoursFailIfExists) {
  makeFiles({"source.sys", "target.sys"});
  EXPECT_TRUE(files().copyFile(scratchPath("source.sys"), scratchPath("copy.sys"), true));
  EXPECT_EQ(files().readFile(scratchPath("copy.sys")), "source.sys");
  EXPECT_FALSE(files().copyFile(scratchPath("source.sys"), scratchPath("TARGET.SYS"), true));
  EXPECT_EQ(files().readFile(scratchPath("target.sys")), "target.sys") << "a refused copy leaves the target alone";
  EXPECT_TRUE(files().copyFile(scratchPath("source.sys"), scratchPath("target.sys"), false));
  EXPECT_EQ(files().readFile(scratchPath("target.sys")), "source.sys");
  EXPECT_FALSE(files().copyFile(scratchPath("absent.sys"), scratchPath("other.sys"), false));
  EXPECT_FALSE(files().exists(scratchPath("other.sys")));
}

// A copy is the whole file with its date and read-only flag; a folder is no
// file to copy.
TEST_F(FileSystemConformance, CopiesKeepEveryByteTheDateAndReadOnly) {
  std::string bytes;
  for (int k = 0; k < 200000; ++k) bytes += static_cast<char>(k * 13);
  ASSERT_TRUE(files().writeFile(scratchPath("big.sys"), bytes));
  const int64_t april2019 = 132000000000000000;
  ASSERT_TRUE(files().setFileTimes(scratchPath("big.sys"), april2019));
  ASSERT_TRUE(files().setAttributes(scratchPath("big.sys"), faReadOnly));
  ASSERT_TRUE(files().copyFile(scratchPath("big.sys"), scratchPath("copy.sys"), true));
  EXPECT_EQ(files().readFile(scratchPath("copy.sys")), bytes);
  const auto copy = files().stat(scratchPath("copy.sys"));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->writeTime, april2019);
  EXPECT_NE(copy->attributes & faReadOnly, 0u);
  for (const char* name : {"big.sys", "copy.sys"}) files().setAttributes(scratchPath(name), faNormal);
  ASSERT_TRUE(files().writeFile(scratchPath("empty.cat"), ""));
  ASSERT_TRUE(files().copyFile(scratchPath("empty.cat"), scratchPath("empty copy.cat"), false));
  EXPECT_EQ(files().readFile(scratchPath("empty copy.cat")), "");
  ASSERT_TRUE(files().createDirectory(scratchPath("Folder")));
  EXPECT_FALSE(files().copyFile(scratchPath("Folder"), scratchPath("folder copy"), false));
  EXPECT_FALSE(files().exists(scratchPath("folder copy")));
}

TEST_F(FileSystemConformance, FileDatedWhileOpenKeepsThatDate) {
  const int64_t april2019 = 132000000001234567;  // and a fraction of a second
  {
    const auto file = files().openFile(scratchPath("dated.sys"), OpenFor::NewFile);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->writeAt(0, "data", 4));
    ASSERT_TRUE(file->setFileTimes(april2019));
  }
  const auto entry = files().stat(scratchPath("dated.sys"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->writeTime, april2019);
  EXPECT_EQ(files().readFile(scratchPath("dated.sys")), "data");
}

TEST_F(FileSystemConformance, MoveRefusesAnExistingTarget) {
  makeFiles({"one.txt", "two.txt"});
  EXPECT_FALSE(files().moveFile(scratchPath("one.txt"), scratchPath("two.txt")));
  EXPECT_TRUE(files().moveFile(scratchPath("one.txt"), scratchPath("three.txt")));
  EXPECT_FALSE(files().exists(scratchPath("one.txt")));
  EXPECT_EQ(files().readFile(scratchPath("three.txt")), "one.txt");
}

TEST_F(FileSystemConformance, DeleteRefusesReadOnlyAndMissingFiles) {
  makeFiles({"locked.cat", "plain.cat"});
  ASSERT_TRUE(files().setAttributes(scratchPath("locked.cat"), faReadOnly));
  EXPECT_NE(files().stat(scratchPath("locked.cat"))->attributes & faReadOnly, 0u);
  EXPECT_FALSE(files().deleteFile(scratchPath("locked.cat")));
  EXPECT_TRUE(files().exists(scratchPath("locked.cat")));
  ASSERT_TRUE(files().setAttributes(scratchPath("locked.cat"), faNormal));
  EXPECT_TRUE(files().deleteFile(scratchPath("locked.cat")));
  EXPECT_TRUE(files().deleteFile(scratchPath("PLAIN.CAT")));
  EXPECT_FALSE(files().deleteFile(scratchPath("plain.cat")));
}

TEST_F(FileSystemConformance, FoldersAreCreatedAndRemovedOneLevelAtATime) {
  EXPECT_FALSE(files().createDirectory(scratchPath("a\\b"))) << "the parent is missing";
  ASSERT_TRUE(files().createDirectory(scratchPath("a")));
  EXPECT_FALSE(files().createDirectory(scratchPath("A"))) << "it exists already";
  makeFiles({"a\\inside.txt"});
  EXPECT_FALSE(files().removeDirectory(scratchPath("a"))) << "not empty";
  ASSERT_TRUE(files().deleteFile(scratchPath("a\\inside.txt")));
  EXPECT_TRUE(files().removeDirectory(scratchPath("a")));
  EXPECT_FALSE(files().exists(scratchPath("a")));
  EXPECT_TRUE(files().forceDirectories(scratchPath("x\\y\\z")));
  EXPECT_TRUE(files().isDirectory(scratchPath("X\\Y\\Z")));
}

// Each lookup after a change sees it, whatever a layer keeps of its folders.
TEST_F(FileSystemConformance, LookupsSeeEveryChangeAtOnce) {
  makeFiles({"a.txt", "b.txt"});
  EXPECT_EQ(found("*"), (Strings{"a.txt", "b.txt"}));
  ASSERT_TRUE(files().moveFile(scratchPath("a.txt"), scratchPath("Moved.TXT")));
  ASSERT_TRUE(files().deleteFile(scratchPath("B.TXT")));
  ASSERT_TRUE(files().createDirectory(scratchPath("Sub")));
  ASSERT_TRUE(files().copyFile(scratchPath("moved.txt"), scratchPath("SUB\\copy.txt"), true));
  EXPECT_EQ(found("*"), (Strings{"Moved.TXT", "Sub"}));
  EXPECT_EQ(found("sub\\*"), (Strings{"copy.txt"}));
  EXPECT_TRUE(files().exists(scratchPath("MOVED.txt")));
  EXPECT_FALSE(files().exists(scratchPath("a.txt")));
  ASSERT_TRUE(files().deleteFile(scratchPath("sub\\COPY.TXT")));
  ASSERT_TRUE(files().removeDirectory(scratchPath("sub")));
  EXPECT_EQ(found("*"), (Strings{"Moved.TXT"}));
}

TEST_F(FileSystemConformance, TempFileNamesAreNewEmptyFiles) {
  const auto first = files().tempFileName(scratchFolder(), "korvane");
  const auto second = files().tempFileName(scratchFolder(), "korvane");
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_NE(*first, *second);
  for (const auto& name : {*first, *second}) {
    EXPECT_TRUE(equalsIgnoreCase(parentPath(name), scratchFolder())) << name;
    const std::string file = fileNamePart(name);
    // The prefix's first three characters, up to four hexadecimal digits, ".tmp".
    ASSERT_GE(file.size(), 8u) << file;
    ASSERT_LE(file.size(), 11u) << file;
    EXPECT_TRUE(equalsIgnoreCase(file.substr(0, 3), "kor")) << file;
    EXPECT_TRUE(equalsIgnoreCase(file.substr(file.size() - 4), ".tmp")) << file;
    const std::string digits = file.substr(3, file.size() - 7);
    EXPECT_EQ(digits.find_first_not_of("0123456789abcdefABCDEF"), std::string::npos) << file;
    EXPECT_EQ(files().readFile(name), "") << name;
  }
  EXPECT_FALSE(files().tempFileName(scratchPath("missing"), "kor"));
}

TEST_F(FileSystemConformance, TempPathIsAFolderWithATrailingBackslash) {
  const std::string temp = files().tempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(files().isDirectory(temp));
}

TEST_F(FileSystemConformance, CurrentDirectoryFollowsChanges) {
  const std::string before = files().currentDirectory();
  ASSERT_TRUE(files().setCurrentDirectory(scratchFolder()));
  EXPECT_TRUE(equalsIgnoreCase(withoutTrailingBackslash(files().currentDirectory()), scratchFolder()));
  EXPECT_FALSE(files().setCurrentDirectory(scratchPath("missing")));
  EXPECT_TRUE(files().setCurrentDirectory(before));
}

// Where the file system keeps 8.3 aliases, a long name has one and a short name none.
TEST_F(FileSystemConformance, LongNamesHaveShortAliases) {
  makeFiles({"Long File Name.text", "SHORT.TXT"});
  const auto longEntry = files().stat(scratchPath("long file name.text"));
  const auto shortEntry = files().stat(scratchPath("short.txt"));
  ASSERT_TRUE(longEntry);
  ASSERT_TRUE(shortEntry);
  EXPECT_EQ(shortEntry->shortName, "");
  if (longEntry->shortName.empty()) GTEST_SKIP() << "no 8.3 aliases on this file system";
  EXPECT_TRUE(isShortName(longEntry->shortName)) << longEntry->shortName;
  const auto shortPath = files().shortPathName(scratchPath("Long File Name.text"));
  ASSERT_TRUE(shortPath);
  EXPECT_TRUE(equalsIgnoreCase(fileNamePart(*shortPath), longEntry->shortName)) << *shortPath;
  EXPECT_EQ(files().readFile(*shortPath), "Long File Name.text");
  EXPECT_FALSE(files().shortPathName(scratchPath("absent.text")));
}

}  // namespace
}  // namespace korvane::test
