// Windows paths on a machine image: drive mapping, case, names Windows
// refuses, wildcard rules, short names, temporary names.
#include <gtest/gtest.h>

#include "platform/image/FolderListing.h"
#include "platform/image/ImageFileSystem.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;

class ImageFiles : public ::testing::Test {
 protected:
  ImageFiles() {
    fs::create_directories(host.path() / "c/WINDOWS/System32/Drivers");
    fs::create_directories(host.path() / "d");
    writeHostFile(host.path() / "c/WINDOWS/System32/Drivers/Orvik.SYS", "driver");
    writeHostFile(host.path() / "c/WINDOWS/Program Files Long Name.txt", "a");
  }
  TempDir host;
  ImageFileSystem files{{{'C', host.path() / "c"}, {'D', host.path() / "d"}}, "C:\\WINDOWS", "C:\\TEMP"};
};

TEST_F(ImageFiles, LookupsIgnoreCase) {
  EXPECT_TRUE(files.exists("c:\\windows\\system32\\drivers\\orvik.sys"));
  EXPECT_EQ(files.readFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\ORVIK.SYS").value_or(""), "driver");
  EXPECT_TRUE(files.isDirectory("C:\\Windows\\System32"));
  EXPECT_FALSE(files.exists("C:\\WINDOWS\\nothing.sys"));
  EXPECT_FALSE(files.exists("E:\\anything")) << "a drive the image does not have";
}

TEST_F(ImageFiles, NewFilesKeepTheirCaseInsideExistingFolders) {
  ASSERT_TRUE(files.writeFile("c:\\windows\\NewFile.Txt", "x"));
  EXPECT_TRUE(fs::exists(host.path() / "c/WINDOWS/NewFile.Txt"));
  EXPECT_FALSE(files.writeFile("C:\\Missing\\file.txt", "x")) << "the folder must exist, as on Windows";
}

TEST_F(ImageFiles, DotDotNeverLeavesTheDrive) {
  EXPECT_EQ(files.fullPath("C:\\..\\..\\WINDOWS\\.\\x").value_or(""), "C:\\WINDOWS\\x");
  ASSERT_TRUE(files.writeFile("D:\\..\\..\\..\\escape.txt", "x"));
  EXPECT_TRUE(fs::exists(host.path() / "d/escape.txt"));
  EXPECT_FALSE(fs::exists(host.path() / "escape.txt"));
}

TEST_F(ImageFiles, RelativePathsUseTheCurrentFolder) {
  EXPECT_EQ(files.fullPath("System32").value_or(""), "C:\\WINDOWS\\System32");
  EXPECT_EQ(files.fullPath("\\boot.ini").value_or(""), "C:\\boot.ini");
  ASSERT_TRUE(files.setCurrentDirectory("system32\\drivers\\"));
  EXPECT_EQ(files.currentDirectory(), "C:\\WINDOWS\\system32\\drivers");
  EXPECT_TRUE(files.exists("orvik.sys"));
  EXPECT_FALSE(files.setCurrentDirectory("C:\\nowhere"));
}

TEST_F(ImageFiles, NamesWindowsRefusesAreRefused) {
  EXPECT_FALSE(files.writeFile("C:\\WINDOWS\\a<b.txt", "x"));
  EXPECT_FALSE(files.writeFile("C:\\WINDOWS\\a|b.txt", "x"));
  EXPECT_FALSE(files.createDirectory("C:\\WINDOWS\\what?"));
  EXPECT_FALSE(files.exists("\\\\server\\share\\x")) << "no network shares on an image";
}

TEST_F(ImageFiles, FindFollowsTheSystemWildcardRules) {
  writeHostFile(host.path() / "c/WINDOWS/README", "r");
  writeHostFile(host.path() / "c/WINDOWS/a.inf", "i");
  writeHostFile(host.path() / "c/WINDOWS/b.INF", "i");
  const auto names = [&](const std::string& pattern) {
    std::vector<std::string> out;
    for (const auto& entry : files.find(pattern)) out.push_back(entry.name);
    return out;
  };
  EXPECT_EQ(names("C:\\WINDOWS\\*.inf"), (std::vector<std::string>{"a.inf", "b.INF"}));
  const auto all = names("C:\\WINDOWS\\*.*");
  EXPECT_NE(std::find(all.begin(), all.end(), "README"), all.end()) << "*.* matches names without a dot";
  EXPECT_NE(std::find(all.begin(), all.end(), "System32"), all.end());
  EXPECT_EQ(names("C:\\WINDOWS\\?.inf"), (std::vector<std::string>{"a.inf", "b.INF"}));
  EXPECT_EQ(names("C:\\WINDOWS\\READM?"), (std::vector<std::string>{"README"}));
  EXPECT_EQ(names("C:\\WINDOWS\\README?"), (std::vector<std::string>{"README"})) << "? may match the end";
  EXPECT_TRUE(names("C:\\nowhere\\*").empty());
}

TEST_F(ImageFiles, ShortNamesResolveBothWays) {
  const auto shortPath = files.shortPathName("C:\\WINDOWS\\Program Files Long Name.txt");
  ASSERT_TRUE(shortPath);
  EXPECT_EQ(*shortPath, "C:\\WINDOWS\\PROGRA~1.TXT");
  EXPECT_EQ(files.readFile(*shortPath).value_or(""), "a");
  EXPECT_FALSE(files.shortPathName("C:\\WINDOWS\\missing file.txt"));
}

// The layer keeps what it read of each folder; what changes on the host
// behind its back shows at the next lookup all the same.
TEST_F(ImageFiles, ChangesOnTheHostShowAtOnce) {
  const fs::path drivers = host.path() / "c/WINDOWS/System32/Drivers";
  const std::string folder = "C:\\WINDOWS\\System32\\Drivers\\";
  ASSERT_EQ(files.find(folder + "*").size(), 1u);
  EXPECT_FALSE(files.exists(folder + "new.sys"));
  writeHostFile(drivers / "NEW.sys", "n");
  EXPECT_TRUE(files.exists(folder + "new.sys")) << "a name added on the host";
  fs::rename(drivers / "Orvik.SYS", drivers / "Orvik Renamed.sys");
  EXPECT_FALSE(files.exists(folder + "orvik.sys"));
  EXPECT_EQ(files.shortPathName(folder + "orvik renamed.sys").value_or(""), folder + "ORVIKR~1.SYS");
  writeHostFile(drivers / "NEW.sys", "longer");
  EXPECT_EQ(files.stat(folder + "new.sys")->size, 6u) << "a file rewritten on the host, its folder unchanged";
  EXPECT_EQ(files.find(folder + "new.sys").at(0).size, 6u);
  fs::remove(drivers / "NEW.sys");
  EXPECT_FALSE(files.exists(folder + "new.sys"));
  EXPECT_EQ(files.find(folder + "*").size(), 1u);
  fs::rename(host.path() / "c/WINDOWS/System32", host.path() / "c/WINDOWS/Sys");
  EXPECT_FALSE(files.exists(folder + "orvik renamed.sys")) << "a folder on the way renamed";
  EXPECT_TRUE(files.exists("C:\\WINDOWS\\sys\\drivers\\orvik renamed.sys"));
}

// A listed folder is checked by its own stat only: changed on the host
// behind a kept way, it is still found and listed as it now is.
TEST_F(ImageFiles, FindListsItsFolderAsItIsNow) {
  const fs::path windows = host.path() / "c/WINDOWS";
  const std::string drivers = "C:\\WINDOWS\\System32\\Drivers\\*";
  ASSERT_EQ(files.findNames(drivers).size(), 1u);
  fs::rename(windows / "System32/Drivers", windows / "System32/DRIVERS");
  EXPECT_EQ(files.findNames(drivers).size(), 1u) << "its name's case changed";
  fs::rename(windows / "System32/DRIVERS", windows / "Old Drivers");
  fs::create_directories(windows / "System32/drivers");
  writeHostFile(windows / "System32/drivers/a.sys", "a");
  writeHostFile(windows / "System32/drivers/b.sys", "b");
  EXPECT_EQ(files.find(drivers).size(), 2u) << "another folder in its place";
  fs::remove_all(windows / "System32/drivers");
  EXPECT_TRUE(files.findNames(drivers).empty()) << "gone";
}

// The layer's own writes keep its listings right: a new long name takes its
// place among the aliases, one moved or deleted leaves it.
TEST_F(ImageFiles, OwnChangesKeepNamesAndAliases) {
  const auto alias = [&](const std::string& name) {
    return files.stat("C:\\WINDOWS\\" + name).value_or(FileEntry{}).shortName;
  };
  EXPECT_EQ(alias("Program Files Long Name.txt"), "PROGRA~1.TXT");
  ASSERT_TRUE(files.writeFile("C:\\WINDOWS\\Program Data.txt", "b"));
  EXPECT_EQ(alias("Program Data.txt"), "PROGRA~1.TXT");
  EXPECT_EQ(alias("Program Files Long Name.txt"), "PROGRA~2.TXT") << "numbered in name order";
  EXPECT_EQ(files.readFile("C:\\WINDOWS\\progra~2.txt").value_or(""), "a");
  ASSERT_TRUE(files.moveFile("C:\\WINDOWS\\program data.txt", "C:\\WINDOWS\\System32\\Moved Data.txt"));
  EXPECT_EQ(alias("Program Files Long Name.txt"), "PROGRA~1.TXT");
  EXPECT_TRUE(files.exists("C:\\windows\\system32\\MOVEDD~1.TXT"));
  ASSERT_TRUE(files.createDirectory("C:\\WINDOWS\\New Folder Name"));
  ASSERT_TRUE(files.copyFile("C:\\WINDOWS\\System32\\moved data.txt", "C:\\WINDOWS\\newfol~1\\Copy.txt", true));
  EXPECT_EQ(files.find("C:\\WINDOWS\\NEW FOLDER NAME\\*").size(), 1u);
  ASSERT_TRUE(files.deleteFile("C:\\WINDOWS\\New Folder Name\\copy.TXT"));
  ASSERT_TRUE(files.removeDirectory("C:\\WINDOWS\\new folder name"));
  EXPECT_FALSE(files.exists("C:\\WINDOWS\\NEWFOL~1"));
  EXPECT_FALSE(fs::exists(host.path() / "c/WINDOWS/New Folder Name"));
}

TEST(ShortAlias, NumbersCollidingNamesInOrder) {
  FolderListing listing;
  for (const char* name : {"Programs Old", "setup.inf", "Program Files", "a+b.text"}) listing.add(name, EntryKind::File);
  EXPECT_EQ(listing.aliasOf("Program Files"), "PROGRA~1");
  EXPECT_EQ(listing.aliasOf("Programs Old"), "PROGRA~2");
  EXPECT_EQ(listing.aliasOf("setup.inf"), "") << "already a short name";
  EXPECT_EQ(listing.aliasOf("a+b.text"), "A_B~1.TEX");
  listing.remove("Program Files");
  EXPECT_EQ(listing.aliasOf("Programs Old"), "PROGRA~1") << "numbers follow the names a folder holds now";
  EXPECT_EQ(listing.match("progra~1")->name, "Programs Old");
  EXPECT_FALSE(listing.match("PROGRA~2"));
  EXPECT_FALSE(listing.match("PROGRA~01")) << "an alias's number has no leading zero";
}

TEST_F(ImageFiles, CopyMoveAndDelete) {
  ASSERT_TRUE(files.copyFile("C:\\WINDOWS\\System32\\Drivers\\orvik.sys", "D:\\orvik.sys", true));
  EXPECT_FALSE(files.copyFile("C:\\WINDOWS\\System32\\Drivers\\orvik.sys", "D:\\orvik.sys", true));
  EXPECT_TRUE(files.copyFile("C:\\WINDOWS\\System32\\Drivers\\orvik.sys", "D:\\orvik.sys", false));
  EXPECT_FALSE(files.copyFile("C:\\missing.sys", "D:\\x.sys", false));
  ASSERT_TRUE(files.setAttributes("D:\\orvik.sys", faReadOnly));
  EXPECT_TRUE(files.stat("D:\\orvik.sys")->attributes & faReadOnly);
  EXPECT_FALSE(files.deleteFile("D:\\orvik.sys")) << "read-only files are not deleted";
  ASSERT_TRUE(files.setAttributes("D:\\orvik.sys", faNormal));
  EXPECT_TRUE(files.moveFile("D:\\orvik.sys", "D:\\moved.sys"));
  EXPECT_TRUE(files.deleteFile("D:\\moved.sys"));
  EXPECT_FALSE(files.exists("D:\\moved.sys"));
}

TEST_F(ImageFiles, TemporaryNamesAreNewFiles) {
  fs::create_directories(host.path() / "c/TEMP");
  EXPECT_EQ(files.tempPath(), "C:\\TEMP\\");
  const auto first = files.tempFileName("C:\\TEMP", "korvane");
  const auto second = files.tempFileName("C:\\TEMP", "korvane");
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(first->rfind("C:\\TEMP\\kor", 0), 0u);
  EXPECT_TRUE(files.exists(*first));
  EXPECT_FALSE(files.tempFileName("C:\\nowhere", "x"));
}

TEST_F(ImageFiles, ForceDirectoriesCreatesEveryLevel) {
  ASSERT_TRUE(files.forceDirectories("D:\\a\\b\\c\\"));
  EXPECT_TRUE(fs::is_directory(host.path() / "d/a/b/c"));
  EXPECT_TRUE(files.forceDirectories("D:\\a\\b")) << "existing folders are fine";
}

}  // namespace
}  // namespace korvane::test

namespace korvane::test {
namespace {

TEST(ImageFilesOrder, FindListsEntriesByUpperCasedName) {
  TempDir host;
  for (const char* name : {"b.sys", "A.sys", "_x.sys", "C.sys"}) writeHostFile(host.path() / "c" / name, "x");
  ImageFileSystem files{{{'C', host.path() / "c"}}, "C:\\", "C:\\"};
  std::vector<std::string> names;
  for (const auto& entry : files.find("C:\\*")) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A.sys", "b.sys", "C.sys", "_x.sys"}));
}

}  // namespace
}  // namespace korvane::test

namespace korvane {
namespace {

TEST(Wildcards, FollowTheFileSystemRules) {
  EXPECT_TRUE(wildcardMatch("*.*", "README"));
  EXPECT_TRUE(wildcardMatch("*.*", "a.b.c"));
  EXPECT_TRUE(wildcardMatch("*.", "README"));
  EXPECT_FALSE(wildcardMatch("*.", "readme.txt")) << "\"*.\" finds only names without an extension";
  EXPECT_TRUE(wildcardMatch("*.inf", "OEM3.INF"));
  EXPECT_FALSE(wildcardMatch("*.inf", "oem3.inf.bak"));
  EXPECT_TRUE(wildcardMatch("ab?.inf", "ab.inf"));
  EXPECT_TRUE(wildcardMatch("ab?.inf", "abc.inf"));
  EXPECT_FALSE(wildcardMatch("ab?.inf", "abcd.inf"));
  EXPECT_TRUE(wildcardMatch("a?c", "abc"));
  EXPECT_FALSE(wildcardMatch("a?c", "ac")) << "a ? in the middle needs a character";
  EXPECT_TRUE(wildcardMatch("*", ""));
  EXPECT_TRUE(wildcardMatch("*.sys", ".sys"));
  EXPECT_TRUE(wildcardMatch("oem*.inf", "oem12.inf"));
  EXPECT_FALSE(wildcardMatch("oem*.inf", "xoem12.inf"));
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(Wildcards, RunsOfQuestionMarksBeforeADotMayMatchNothing) {
  EXPECT_TRUE(wildcardMatch("ab??.inf", "ab.inf"));
  EXPECT_TRUE(wildcardMatch("ab??.inf", "abcd.inf"));
  EXPECT_FALSE(wildcardMatch("ab??.inf", "abcde.inf"));
  EXPECT_TRUE(wildcardMatch("a??", "a"));
}

}  // namespace
}  // namespace korvane

namespace korvane::test {
namespace {

TEST(ImageFilesNames, TrailingSpacesAndDotsAreDropped) {
  TempDir host;
  ImageFileSystem files{{{'C', host.path() / "c"}}, "C:\\", "C:\\"};
  std::filesystem::create_directories(host.path() / "c");
  ASSERT_TRUE(files.writeFile("C:\\brnfast.cat ", ""));
  EXPECT_TRUE(std::filesystem::exists(host.path() / "c/brnfast.cat"));
  EXPECT_TRUE(files.exists("C:\\brnfast.cat..."));
  EXPECT_EQ(files.fullPath("C:\\dir. \\x").value_or(""), "C:\\dir\\x");
}

}  // namespace
}  // namespace korvane::test

namespace korvane::test {
namespace {

// Host links stand for Windows links and junctions: entries of their own,
// marked so that walks can leave them out, removed without what they lead to.
TEST_F(ImageFiles, LinksAreEntriesOfTheirOwn) {
  const fs::path windows = host.path() / "c/WINDOWS";
  fs::create_directory_symlink(windows / "System32", windows / "Loop");
  fs::create_symlink(windows / "System32/Drivers/Orvik.SYS", windows / "orvik.lnk");
  fs::create_symlink(windows / "gone.txt", windows / "dangling.txt");
  const auto loop = files.stat("C:\\WINDOWS\\loop");
  ASSERT_TRUE(loop);
  EXPECT_TRUE(loop->isDirectory() && loop->isLink());
  EXPECT_FALSE(loop->isFolderToWalk());
  EXPECT_TRUE(files.stat("C:\\WINDOWS\\System32")->isFolderToWalk());
  EXPECT_TRUE(files.stat("C:\\WINDOWS\\orvik.lnk")->isLink());
  const auto dangling = files.stat("C:\\WINDOWS\\dangling.txt");
  ASSERT_TRUE(dangling) << "a link that leads nowhere is still there";
  EXPECT_EQ(dangling->size, 0u);
  EXPECT_EQ(files.find("C:\\WINDOWS\\dangling.*").size(), 1u);
  // A walk's names-only find tells links and folders apart as find does.
  const auto kinds = [](const std::vector<FileEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries)
      out.push_back(e.name + "|" + e.shortName + (e.isDirectory() ? "|dir" : "") + (e.isLink() ? "|link" : ""));
    return out;
  };
  EXPECT_EQ(kinds(files.findNames("C:\\WINDOWS\\*")), kinds(files.find("C:\\WINDOWS\\*")));
  EXPECT_EQ(kinds(files.findNames("C:\\WINDOWS\\*")).size(), 5u);

  EXPECT_TRUE(files.removeDirectory("C:\\WINDOWS\\Loop")) << "a link to a folder that is not empty";
  EXPECT_TRUE(files.deleteFile("C:\\WINDOWS\\orvik.lnk"));
  EXPECT_TRUE(files.deleteFile("C:\\WINDOWS\\dangling.txt"));
  EXPECT_FALSE(files.exists("C:\\WINDOWS\\Loop") || files.exists("C:\\WINDOWS\\orvik.lnk") ||
               files.exists("C:\\WINDOWS\\dangling.txt"));
  EXPECT_EQ(files.readFile("C:\\WINDOWS\\System32\\Drivers\\Orvik.SYS").value_or(""), "driver");
  EXPECT_FALSE(files.removeDirectory("C:\\WINDOWS\\System32")) << "a real folder must still be empty";
}

// A protected drive stays unchanged through links that lead onto it from
// the writable one, whether the link is the file or a folder on the way, and
// also once that folder has been written to and its place is known.
TEST_F(ImageFiles, LinksNeverLeadAChangeIntoAProtectedFolder) {
  const fs::path disk = host.path() / "c", windows = disk / "WINDOWS";
  fs::create_directory_symlink(windows, host.path() / "d/into");
  fs::create_directories(host.path() / "d/out");
  fs::create_symlink(windows / "Program Files Long Name.txt", host.path() / "d/out/long.lnk");
  files.protect(disk);
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE(pass);
    EXPECT_TRUE(files.writeFile("D:\\out\\plain" + std::to_string(pass) + ".txt", "x"));
    EXPECT_FALSE(files.writeFile("D:\\out\\long.lnk", "changed"));
    EXPECT_FALSE(files.copyFile("D:\\out\\plain1.txt", "D:\\out\\long.lnk", false));
    EXPECT_FALSE(files.writeFile("D:\\into\\new.txt", "x"));
    EXPECT_FALSE(files.createDirectory("D:\\into\\Korvane"));
    EXPECT_FALSE(files.deleteFile("D:\\into\\Program Files Long Name.txt"));
  }
  EXPECT_EQ(files.readFile("C:\\WINDOWS\\Program Files Long Name.txt").value_or(""), "a");
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(windows), fs::recursive_directory_iterator()), 4);
}

}  // namespace
}  // namespace korvane::test
