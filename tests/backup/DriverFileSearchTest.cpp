// Resolution of driver file names: the three system folders, the Windows
// tree, the drive, Stop and the folders reported, for the per-name walk and the index.
#include <gtest/gtest.h>

#include <algorithm>

#include "backup/SearchTestSupport.h"

namespace korvane::test {
namespace {

class Resolve : public ::testing::TestWithParam<SearchMethod> {
 protected:
  std::string resolve(const std::string& name, bool ntFamily = true) {
    if (!search_) search_ = session.search(image.open(), GetParam(), ntFamily);
    return pathOf(search_->Resolve(name));
  }
  DriverFileSearch& search() {
    if (!search_) search_ = session.search(image.open(), GetParam());
    return *search_;
  }

  ImageBuilder image;
  SearchSession session;
  std::unique_ptr<DriverFileSearch> search_;
};

TEST_P(Resolve, SystemFolderCopyIsTakenWithoutSearching) {
  image.file("WINDOWS\\system32\\vendor.sys", "a").file("WINDOWS\\aaa\\vendor.sys", "b");
  image.file("WINDOWS\\system32\\drivers\\vendor.sys", "c");
  const auto found = search().Resolve("vendor.sys");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path, "C:\\WINDOWS\\System32\\vendor.sys");
  EXPECT_FALSE(found->bySearch);
  EXPECT_TRUE(session.folders.empty());
}

TEST_P(Resolve, DriversFolderComesBeforeTheCatalogFolder) {
  const std::string catRoot = "WINDOWS\\system32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
  image.file("WINDOWS\\system32\\drivers\\both.sys", "").file(catRoot + "both.sys", "");
  image.file(catRoot + "oem3.cat", "");
  EXPECT_EQ(resolve("both.sys"), "C:\\WINDOWS\\System32\\drivers\\both.sys");
  EXPECT_EQ(resolve("OEM3.CAT"), "C:\\WINDOWS\\System32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\OEM3.CAT");
  EXPECT_TRUE(session.folders.empty());
}

// A name followed by a comment in an INF ends in a space: it is the name
// without it, in the system folders and in both searches alike.
TEST_P(Resolve, NameEndingInSpacesOrDotsIsTheFileWithoutThem) {
  image.file("WINDOWS\\system32\\brnfast.cat", "").file("WINDOWS\\system32\\drivers\\brnusb.sys", "");
  EXPECT_EQ(resolve("brnfast.cat "), "C:\\WINDOWS\\System32\\brnfast.cat") << "a comment line's name";
  EXPECT_EQ(resolve("BRNUSB.SYS."), "C:\\WINDOWS\\System32\\drivers\\BRNUSB.SYS");
  EXPECT_TRUE(session.folders.empty());
  image.file("WINDOWS\\Help\\brnhelp.dll", "").file("Vendor\\Disk1\\brnlpt.sys", "");
  EXPECT_EQ(resolve("brnhelp.dll  "), "C:\\WINDOWS\\Help\\brnhelp.dll");
  EXPECT_EQ(resolve("brnlpt.sys ."), "C:\\Vendor\\Disk1\\brnlpt.sys") << "the drive search";
}

TEST_P(Resolve, FirstHitLiesInTheDeepestFirstListedFolder) {
  image.file("WINDOWS\\twice.dll", "").file("WINDOWS\\Beta\\twice.dll", "");
  image.file("WINDOWS\\alpha\\twice.dll", "").file("WINDOWS\\alpha\\Deep\\Twice.DLL", "");
  const auto found = search().Resolve("TWICE.dll");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path, "C:\\WINDOWS\\alpha\\Deep\\Twice.DLL") << "the folder given, the name as on disk";
  EXPECT_TRUE(found->bySearch);
}

TEST_P(Resolve, TwoSubfoldersTheFirstListedWins) {
  image.file("WINDOWS\\Zeta\\only.inf", "").file("WINDOWS\\Help\\only.inf", "");
  EXPECT_EQ(resolve("only.inf"), "C:\\WINDOWS\\Help\\only.inf");
}

TEST_P(Resolve, WindowsTreeComesBeforeTheRestOfTheDrive) {
  image.file("Drivers\\Video\\card.sys", "").file("WINDOWS\\Options\\card.sys", "");
  image.file("Program Files\\Vendor\\tool.exe", "").file("atroot.bin", "");
  EXPECT_EQ(resolve("card.sys"), "C:\\WINDOWS\\Options\\card.sys");
  EXPECT_EQ(resolve("tool.exe"), "C:\\Program Files\\Vendor\\tool.exe");
  EXPECT_EQ(resolve("atroot.bin"), "C:\\atroot.bin") << "no doubled backslash after the drive";
}

TEST_P(Resolve, WindowsFolderKeepsTheSpellingItWasGiven) {
  image.file("WINDOWS\\Options\\card.sys", "").file("Other\\tool.exe", "");
  auto search = session.search(image.open(), GetParam(), true, "C:\\Windows");
  EXPECT_EQ(pathOf(search->Resolve("card.sys")), "C:\\Windows\\Options\\card.sys");
  EXPECT_EQ(pathOf(search->Resolve("tool.exe")), "C:\\Other\\tool.exe");
}

TEST_P(Resolve, NameFoundNowhereWalksBothTreesAndTheNextNameStillResolves) {
  image.file("WINDOWS\\Sub\\later.sys", "").file("Data\\x.txt", "");
  EXPECT_EQ(resolve("missing.sys"), "");
  const auto folders = session.folders;
  EXPECT_NE(std::find(folders.begin(), folders.end(), "C:\\WINDOWS\\Sub\\"), folders.end());
  EXPECT_NE(std::find(folders.begin(), folders.end(), "C:\\Data\\"), folders.end());
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.back(), "C:\\") << "the drive's root is read last";
  EXPECT_EQ(resolve("later.sys"), "C:\\WINDOWS\\Sub\\later.sys");
}

TEST_P(Resolve, EveryFolderIsReportedSubfoldersFirst) {
  image.file("WINDOWS\\A\\B\\f.txt", "").file("WINDOWS\\C\\f.txt", "");
  resolve("nothing.here");
  const auto folders = session.folders;
  const auto at = [&](const std::string& folder) { return std::find(folders.begin(), folders.end(), folder); };
  ASSERT_NE(at("C:\\WINDOWS\\A\\B\\"), folders.end());
  EXPECT_LT(at("C:\\WINDOWS\\A\\B\\"), at("C:\\WINDOWS\\A\\"));
  EXPECT_LT(at("C:\\WINDOWS\\A\\"), at("C:\\WINDOWS\\C\\"));
  EXPECT_LT(at("C:\\WINDOWS\\C\\"), at("C:\\WINDOWS\\"));
}

TEST_P(Resolve, MessagesArePumpedWhileSearching) {
  int pumps = 0;
  session.view.onPump = [&] { ++pumps; };
  image.file("WINDOWS\\Sub\\f.txt", "");
  resolve("f.txt");
  EXPECT_GE(pumps, 2 * static_cast<int>(session.folders.size()));
}

TEST_P(Resolve, Windows95FamilyUsesTheSystemFolder) {
  image.file("WINDOWS\\SYSTEM\\vxd.vxd", "").file("WINDOWS\\SYSTEM\\IOSUBSYS\\port.pdr", "");
  image.file("WINDOWS\\system32\\nt.sys", "");
  EXPECT_EQ(resolve("vxd.vxd", false), "C:\\WINDOWS\\System\\vxd.vxd");
  EXPECT_TRUE(session.folders.empty());
  EXPECT_EQ(resolve("port.pdr", false), "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\port.pdr");
  EXPECT_EQ(resolve("nt.sys", false), "C:\\WINDOWS\\system32\\nt.sys") << "System32 is an ordinary folder there";
}

TEST_P(Resolve, NamesThatAreNoPlainFileNameResolveToNothing) {
  image.file("boot.ini", "").file("WINDOWS\\Sub\\any.sys", "").file("WINDOWS\\system32\\nul.sys", "");
  for (const char* name : {"..\\..\\boot.ini", "Sub\\any.sys", "C:\\boot.ini", "/boot.ini", "*.*", "*", "an?.sys",
                           "", " ", "..", "nul.sys", "CON", "a\tb.sys"})
    EXPECT_EQ(resolve(name), "") << name;
  EXPECT_TRUE(session.folders.empty()) << "refused before any walk";
}

TEST_P(Resolve, FolderBearingTheNameIsNoHit) {
  image.file("WINDOWS\\system32\\drivers\\keep.txt", "").file("WINDOWS\\AAA\\card.sys\\inner.txt", "");
  image.file("WINDOWS\\BBB\\card.sys", "");
  EXPECT_EQ(resolve("drivers"), "") << "the drivers folder itself is not a file";
  EXPECT_EQ(resolve("card.sys"), "C:\\WINDOWS\\BBB\\card.sys");
}

TEST_P(Resolve, ShortAliasAndTrailingDotMatchAsFindDoes) {
  image.file("WINDOWS\\Sub\\Long Driver Name.sys", "").file("WINDOWS\\Sub\\plain.sys", "");
  EXPECT_EQ(resolve("LONGDR~1.SYS"), "C:\\WINDOWS\\Sub\\Long Driver Name.sys");
  EXPECT_EQ(resolve("plain.sys."), "C:\\WINDOWS\\Sub\\plain.sys");
  EXPECT_EQ(resolve("plain"), "");
}

TEST_P(Resolve, StopDuringTheWalkEndsItWithinAFewFolders) {
  for (const char* folder : {"A1", "A2", "A3", "A4"})
    for (const char* sub : {"B1", "B2", "B3"}) image.file(std::string("WINDOWS\\") + folder + "\\" + sub + "\\f.txt", "");
  image.file("WINDOWS\\A2\\back.sys", "").file("WINDOWS\\A4\\B1\\ahead.sys", "").file("Other\\ahead2.sys", "");
  session.view.onPump = [&] {
    if (!session.folders.empty() && session.folders.back() == "C:\\WINDOWS\\A2\\B1\\") session.stop = true;
  };
  EXPECT_EQ(resolve("back.sys"), "C:\\WINDOWS\\A2\\back.sys") << "a file on the way back is still found";
  const auto folders = session.folders;
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "C:\\WINDOWS\\A4\\B1\\"), 0) << "no new folder is entered";
  EXPECT_LE(folders.size(), 30u);
}

// Links back up the tree (junctions in every Windows profile) would make the
// walk endless: no link to a folder is entered, in either tree.
TEST_P(Resolve, LinksToFoldersAreNotEntered) {
  image.file("WINDOWS\\Profile\\Data\\mine.sys", "").file("Users\\Owner\\theirs.sys", "");
  image.file("Elsewhere\\linked.sys", "");
  const auto onC = image.root() / "drive_c";
  std::filesystem::create_directory_symlink(onC / "WINDOWS/Profile", onC / "WINDOWS/Profile/Data/Loop");
  std::filesystem::create_directory_symlink(onC / "WINDOWS", onC / "WINDOWS/Profile/Up");
  std::filesystem::create_directory_symlink(onC / "Users", onC / "Users/Owner/Again");
  std::filesystem::create_directory_symlink(onC / "Elsewhere", onC / "Users/Shortcut");
  EXPECT_EQ(resolve("nothing.sys"), "");
  const auto folders = session.folders;
  for (const auto& folder : folders)
    for (const char* link : {"\\Loop\\", "\\Up\\", "\\Again\\", "\\Shortcut\\"})
      EXPECT_EQ(folder.find(link), std::string::npos) << folder;
  EXPECT_NE(std::find(folders.begin(), folders.end(), "C:\\Users\\Owner\\"), folders.end());
  EXPECT_EQ(resolve("mine.sys"), "C:\\WINDOWS\\Profile\\Data\\mine.sys");
  EXPECT_EQ(resolve("theirs.sys"), "C:\\Users\\Owner\\theirs.sys");
  EXPECT_EQ(resolve("linked.sys"), "C:\\Elsewhere\\linked.sys") << "found where it lies, not through the link";
}

TEST_P(Resolve, StopBeforeTheWalkStillMatchesTheStartFolder) {
  image.file("WINDOWS\\Sub\\deep.sys", "").file("WINDOWS\\top.sys", "");
  session.stop = true;
  EXPECT_EQ(resolve("deep.sys"), "") << "the walk enters no subfolder";
  EXPECT_EQ(resolve("top.sys"), "C:\\WINDOWS\\top.sys");
}

TEST_P(Resolve, StopAtTheDriveRootEntersOnlyItsFirstFolder) {
  image.file("AAA\\first.sys", "").file("BBB\\second.sys", "");
  session.stop = true;
  EXPECT_EQ(resolve("first.sys"), "C:\\AAA\\first.sys") << "the root has no \".\" entry to end its listing";
  EXPECT_EQ(resolve("second.sys"), "");
}

TEST_P(Resolve, AnswerAfterStopIsNotKeptForLaterNames) {
  image.file("WINDOWS\\Sub\\deep.sys", "");
  session.stop = true;
  EXPECT_EQ(resolve("deep.sys"), "");
  session.stop = false;
  EXPECT_EQ(resolve("deep.sys"), "C:\\WINDOWS\\Sub\\deep.sys");
}

INSTANTIATE_TEST_SUITE_P(BothMethods, Resolve, ::testing::Values(SearchMethod::Index, SearchMethod::PerNameWalk),
                         [](const auto& method) {
                           return method.param == SearchMethod::Index ? std::string("Index") : std::string("Walk");
                         });

// What the index is for: one walk per tree for the whole command.
TEST(SearchIndex, EachTreeIsWalkedOnceAndTheDriveWalkLeavesTheWindowsTreeOut) {
  ImageBuilder image;
  image.file("WINDOWS\\Sub\\one.sys", "").file("WINDOWS\\Sub\\two.sys", "").file("Data\\three.sys", "");
  SearchSession session;
  auto search = session.search(image.open(), SearchMethod::Index);
  EXPECT_EQ(pathOf(search->Resolve("one.sys")), "C:\\WINDOWS\\Sub\\one.sys");
  const size_t afterWindowsWalk = session.folders.size();
  EXPECT_EQ(pathOf(search->Resolve("two.sys")), "C:\\WINDOWS\\Sub\\two.sys");
  EXPECT_EQ(session.folders.size(), afterWindowsWalk);
  EXPECT_EQ(pathOf(search->Resolve("three.sys")), "C:\\Data\\three.sys");
  EXPECT_EQ(pathOf(search->Resolve("none.sys")), "");
  const auto folders = session.folders;
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "C:\\WINDOWS\\Sub\\"), 1);
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "C:\\Data\\"), 1);
}

TEST(SearchIndex, ANewSearchSeesFilesAddedSinceTheLastCommand) {
  ImageBuilder image;
  image.file("WINDOWS\\Sub\\old.sys", "");
  Machine& machine = image.open();
  SearchSession session;
  EXPECT_EQ(pathOf(session.search(machine, SearchMethod::Index)->Resolve("new.sys")), "");
  ASSERT_TRUE(machine.files().writeFile("C:\\WINDOWS\\Sub\\new.sys", "x"));
  EXPECT_EQ(pathOf(session.search(machine, SearchMethod::Index)->Resolve("new.sys")), "C:\\WINDOWS\\Sub\\new.sys");
}

}  // namespace
}  // namespace korvane::test
