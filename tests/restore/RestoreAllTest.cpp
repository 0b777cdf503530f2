// Restore All through the main window on machine images: the folder tree in
// the driver list's place, Start, Cancel and the restart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "restore/RestoreTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNoFolder = "No folder or directory is selected";

// A backup-all folder on D: with two drivers, their descriptors and a note.
void plantBackupAll(RestoreWindow& w) {
  w.filesOnD({{"All/Net/net.inf", "net inf"},
              {"All/Net/net.sys", "net driver"},
              {"All/Net/Setup.DIY", ""},
              {"All/Sound/snd.inf", "sound inf"},
              {"All/Sound/Setup.DIY", ""},
              {"All/readme.txt", "not a driver file"}});
}

TEST(RestoreAll, TheTreeTakesTheListsPlaceWithTheInstructions) {
  RestoreWindow w;
  TForm1& form = w.begin();
  form.Click("Restore2");
  EXPECT_FALSE(form.ListView1.Visible);
  EXPECT_FALSE(form.ListView2.Visible);
  for (const char* name : {"TV1", "BitBtn9", "BitBtn11"}) EXPECT_TRUE(form.Control(name).Visible) << name;
  const TControl& tree = form.Control("TV1");
  const TControl& list = form.Control("ListView1");
  EXPECT_EQ(std::make_tuple(tree.Left, tree.Top, tree.Width), std::make_tuple(list.Left, list.Top, list.Width));
  EXPECT_LT(tree.Top + tree.Height, form.Control("BitBtn9").Top) << "Start and Cancel stand under the tree";
  EXPECT_THAT(form.Memo1, ElementsAre("Please select the folder that you have backuped all drivers to.",
                                      "Then click the button 'Start' to begin to restore all the drivers.",
                                      "The default folder ever is C:\\Korvane"));
  ASSERT_EQ(form.TV1.Items().size(), 2u);
  EXPECT_EQ(form.TV1.Items()[0]->Text, "Local Disk (C:)");
  EXPECT_EQ(form.TV1.Directory(), "nil");
}

TEST(RestoreAll, StartWithoutAFolderOnlySaysSo) {
  RestoreWindow w;
  plantBackupAll(w);
  TForm1& form = w.begin();
  form.SpeedButton4Click();
  const auto memo = form.Memo1;
  form.BitBtn9Click();
  // A folder chosen and then unselected leaves "nil", which is no folder either.
  form.TV1.SetDirectory("D:\\All");
  form.TV1.Select(nullptr);
  EXPECT_EQ(form.RestoreState().RestoreFolder, "nil");
  form.BitBtn9Click();
  EXPECT_THAT(w.view.entries("message: "), ElementsAre(kNoFolder, kNoFolder));
  EXPECT_EQ(form.Memo1, memo);
  EXPECT_TRUE(form.Control("TV1").Visible) << "the view stays open";
  EXPECT_THAT(w.image.actions(), IsEmpty());
}

TEST(RestoreAll, StartCopiesEveryFileButTheDescriptorsIntoTwoFoldersAndAsks) {
  RestoreWindow w;
  plantBackupAll(w);
  TForm1& form = w.begin();
  form.Click("Restore2");
  form.TV1.SetDirectory("d:\\all");
  EXPECT_EQ(form.RestoreState().RestoreFolder, "D:\\ALL\\");
  w.view.answers = {true};
  form.Click("BitBtn9");
  for (const std::string target : {"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\Options\\Cabs\\"}) {
    EXPECT_EQ(w.read(target + "net.inf"), "net inf") << target;
    EXPECT_EQ(w.read(target + "net.sys"), "net driver") << target;
    EXPECT_EQ(w.read(target + "snd.inf"), "sound inf") << target;
    EXPECT_EQ(w.read(target + "readme.txt"), "not a driver file") << target;
    EXPECT_FALSE(w.exists(target + "Setup.DIY")) << target;
  }
  EXPECT_FALSE(w.exists("C:\\WINDOWS\\system32\\drivers\\net.sys")) << "Restore All leaves the drivers folder alone";
  EXPECT_THAT(w.restarts(), ElementsAre("restart 2"));
  EXPECT_THAT(w.executed(), IsEmpty()) << "no tool, no wizard";
  const auto& memo = form.Memo1;
  ASSERT_GE(memo.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(memo.begin(), memo.begin() + 3),
              ElementsAre("-> D:\\ALL\\Net\\", "-> D:\\ALL\\Sound\\", "-> D:\\ALL\\"));
  EXPECT_TRUE(w.memoHas("You are suggested to reboot your computer now to continue the driver restore."));
  EXPECT_TRUE(form.Control("TV1").Visible) << "the view stays as it is";
}

// Two links back to their folder once made the scan run until the disk's
// path length stopped it, thousands of folders later.
TEST(RestoreAll, LinksToFoldersAreNotScanned) {
  RestoreWindow w;
  plantBackupAll(w);
  const auto all = w.image.root() / "drive_d/All";
  std::filesystem::create_directory_symlink(all, all / "Net/Back");
  std::filesystem::create_directory_symlink(all, all / "Sound/Again");
  TForm1& form = w.begin();
  form.SpeedButton4Click();
  form.TV1.SetDirectory("D:\\All");
  w.view.answers = {false};
  form.BitBtn9Click();
  const auto& memo = form.Memo1;
  ASSERT_GE(memo.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(memo.begin(), memo.begin() + 3),
              ElementsAre("-> D:\\ALL\\Net\\", "-> D:\\ALL\\Sound\\", "-> D:\\ALL\\"));
  EXPECT_EQ(w.read("C:\\WINDOWS\\INF\\net.sys"), "net driver");
}

TEST(RestoreAll, TheSpanishNoticeIsRestoreAllsOwn) {
  RestoreWindow w;
  plantBackupAll(w);
  w.image.file("WINDOWS\\Korvane.ini", "[Interface]\r\nLanguage=Spanish\r\n");
  TForm1& form = w.begin();
  form.SpeedButton4Click();
  form.TV1.SetDirectory("D:\\All");
  w.view.answers = {false};
  form.BitBtn9Click();
  EXPECT_TRUE(w.memoHas("Es recomendable reiniciar su PC para continuar con la instalación del driver."));
  EXPECT_THAT(w.restarts(), IsEmpty());
}

TEST(RestoreAll, CancelKeepsTheChosenFolderForTheNextStart) {
  RestoreWindow w;
  plantBackupAll(w);
  TForm1& form = w.begin();
  form.SpeedButton4Click();
  form.TV1.SetDirectory("D:\\All\\Sound");
  form.Click("BitBtn11");
  EXPECT_TRUE(form.ListView1.Visible);
  EXPECT_FALSE(form.ListView2.Visible);
  for (const char* name : {"TV1", "BitBtn9", "BitBtn11"}) EXPECT_FALSE(form.Control(name).Visible) << name;
  form.SpeedButton4Click();
  w.view.answers = {false};
  form.BitBtn9Click();
  EXPECT_EQ(w.read("C:\\WINDOWS\\INF\\snd.inf"), "sound inf");
  EXPECT_FALSE(w.exists("C:\\WINDOWS\\INF\\net.inf"));
}

TEST(RestoreAll, AnEmptyFolderIsAFailureAndOffersNoRestart) {
  RestoreWindow w;
  w.fileOnD("Empty/Sub/Setup.DIY", "");
  TForm1& form = w.begin();
  form.SpeedButton4Click();
  form.TV1.SetDirectory("D:\\Empty");
  form.BitBtn9Click();
  EXPECT_THAT(w.view.entries("ask: "), IsEmpty());
  EXPECT_THAT(w.restarts(), IsEmpty());
  EXPECT_EQ(form.Memo1.back(),
            "There is no file to restore in D:\\EMPTY\\: nothing was copied, and Windows is not restarted.");
}

TEST(RestoreAll, TheWindowsFolderItselfIsNoBackup) {
  RestoreWindow w;
  TForm1& form = w.begin();
  form.SpeedButton4Click();
  form.TV1.SetDirectory("C:\\");
  form.BitBtn9Click();
  EXPECT_THAT(form.Memo1, ElementsAre("C:\\ holds the Windows folder or lies inside it: choose the folder of a driver "
                                      "backup. Nothing was copied."));
  EXPECT_THAT(w.image.actions(), IsEmpty());
}

TEST(RestoreAll, TheNineXFamilyRestoresTheSameWay) {
  RestoreWindow w(true);
  plantBackupAll(w);
  TForm1& form = w.begin();
  ASSERT_FALSE(form.AH.IsNTFamily());
  form.SpeedButton4Click();
  form.TV1.SetDirectory("D:\\All");
  w.view.answers = {true};
  form.BitBtn9Click();
  EXPECT_EQ(w.read("C:\\WINDOWS\\INF\\net.inf"), "net inf");
  EXPECT_EQ(w.read("C:\\WINDOWS\\Options\\Cabs\\net.sys"), "net driver");
  EXPECT_THAT(w.restarts(), ElementsAre("restart 2"));
}

}  // namespace
}  // namespace korvane::test
