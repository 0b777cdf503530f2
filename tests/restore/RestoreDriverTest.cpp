// Restore of one driver and Install a new driver, through the main window on
// machine images: the wizard, the installation tool, the copy and the restart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/ahmtfileholder/TAHMFileHolder.h"
#include "restore/RestoreTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNtGuideStep1 =
    "[1] Click 'Next', then choose the first item 'Add/Troubeshooting (A)', click 'Next'";
constexpr const char* k9xGuideStep1 = "[1] Click 'Next', click again 'Next'";
constexpr const char* kNoticeEnd = ">>>>>>>>>>>>>>>>>>>>>>>>";
constexpr const char* kRestartArrows = ">>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
const std::string kCopyTargets[] = {"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\system32\\drivers\\",
                                    "C:\\WINDOWS\\Options\\Cabs\\"};

TEST(RestoreDriver, SetupDiyRunsTheToolWithBothLinesQuoted) {
  RestoreWindow w;
  w.fileOnD("B/x.inf", "[Version]\r\n");
  w.begin();
  w.setupDiy("D:\\B", "PCI\\VEN_1", "x.inf");
  w.view.chosenFiles = {"D:\\B\\x.inf"};
  w.form->BitBtn4Click();
  EXPECT_THAT(w.view.entries("open-file: "), ElementsAre("C:\\Korvane | *.inf | Driver Installation Script|*.INF"));
  EXPECT_THAT(w.executed(), ElementsAre("execute\topen\t\"C:\\WINDOWS\\devmount.exe\"\t\"D:\\B\\x.inf\" "
                                        "\"PCI\\VEN_1\"\tD:\\B\t5"));
  EXPECT_THAT(w.form->Memo1, ElementsAre("Installating D:\\B\\x.inf device driver into your system ......."));
  const CarriedFile* tool = FindCarriedFile("drvmnt.exe");
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(w.read("C:\\WINDOWS\\devmount.exe"), std::string(reinterpret_cast<const char*>(tool->data), tool->size))
      << "the carried tool, replacing an earlier copy";
  EXPECT_THAT(w.restarts(), IsEmpty());
  EXPECT_FALSE(w.exists("C:\\WINDOWS\\INF\\x.inf")) << "the tool installs; nothing is copied";
}

TEST(RestoreDriver, ToolPathKeepsTheEnglishLineAndFindsTheToolFolderFromWindir) {
  RestoreWindow w;
  w.image.set("Environment", "windir", "C:\\WINNT").set("System", "WindowsDirectory", "C:\\WINNT");
  w.fileOnD("B/x.inf", "");
  w.image.file("WINNT\\Korvane.ini", "[Interface]\r\nLanguage=Russian\r\n");
  w.begin();
  w.setupDiy("D:\\B", "USB\\VID_1", "x.inf");
  w.view.chosenFiles = {"D:\\B\\x.inf"};
  w.form->BitBtn4Click();
  EXPECT_EQ(w.form->CurrentLanguage, "Russian");
  EXPECT_THAT(w.form->Memo1, ElementsAre("Installating D:\\B\\x.inf device driver into your system ......."));
  ASSERT_EQ(w.executed().size(), 1u);
  EXPECT_NE(w.executed()[0].find("\t\"C:\\WINNT\\devmount.exe\"\t"), std::string::npos) << w.executed()[0];
  EXPECT_TRUE(w.exists("C:\\WINNT\\devmount.exe"));
}

TEST(RestoreDriver, AToolThatCannotBeWrittenIsNotRunAndSaysWhere) {
  RestoreWindow w;
  w.image.set("Environment", "windir", "Q:\\WINDOWS");  // a drive the machine does not have
  w.fileOnD("B/x.inf", "");
  w.begin();
  w.setupDiy("D:\\B", "PCI\\VEN_1", "x.inf");
  w.view.chosenFiles = {"D:\\B\\x.inf"};
  w.form->BitBtn4Click();
  EXPECT_THAT(w.executed(), IsEmpty());
  EXPECT_EQ(w.form->Memo1.back(), "The device installation tool could not be written to Q:\\WINDOWS\\devmount.exe.");
  EXPECT_TRUE(w.form->RestoreState().RestoreFailed);
}

TEST(RestoreDriver, TheDialogStartsInTheBackupFolderOrElseTheBackupAllFolder) {
  for (const auto& [settings, initial] : std::vector<std::pair<std::string, std::string>>{
           {"[Folder]\r\nBackup=D:\\One\\\r\nBackupAll=D:\\All\r\n", "D:\\One"},
           {"[Folder]\r\nBackup=\r\nBackupAll=D:\\All\r\n", "D:\\All"}}) {
    RestoreWindow w;
    w.image.file("WINDOWS\\Korvane.ini", settings);
    w.begin();
    w.view.chosenFiles = {std::nullopt};
    w.form->BitBtn4Click();
    EXPECT_THAT(w.view.entries("open-file: "), ElementsAre(initial + " | *.inf | Driver Installation Script|*.INF"));
  }
}

TEST(RestoreDriver, ACancelledDialogEndsTheCommandWithoutATrace) {
  RestoreWindow w;
  w.begin();
  const auto memo = w.form->Memo1;
  w.view.chosenFiles = {std::nullopt};
  w.form->BitBtn4Click();
  EXPECT_EQ(w.form->Memo1, memo);
  EXPECT_THAT(w.image.actions(), IsEmpty());
  EXPECT_FALSE(w.exists("C:\\WINDOWS\\devmount.exe")) << "the tool is written only once a file was chosen";

  w.view.chosenFiles = {std::string()};  // an empty name counts as cancelled
  w.form->BitBtn4Click();
  EXPECT_THAT(w.image.actions(), IsEmpty());
}

// A backup folder with a driver in a sub-folder, a descriptor and a stray file.
void plantBackup(RestoreWindow& w) {
  w.filesOnD({{"B/x.inf", "top inf"},
              {"B/x.sys", "driver"},
              {"B/Setup.DIY", ""},
              {"B/notes.diy", "lower-case descriptor-like name"},
              {"B/Extra/y.dll", "helper"},
              {"B/Extra/Deeper/z.cat", "catalog"}});
}

TEST(RestoreDriver, WithoutSetupDiyTheChosenFolderTreeIsCopiedFlatAndTheRestartAsked) {
  RestoreWindow w;
  plantBackup(w);
  w.fileOnD("B/Setup.DIY", "\r\nx.inf\r\n");  // an empty first line: no usable descriptor
  w.begin();
  w.view.chosenFiles = {"D:\\B\\x.inf", "D:\\B\\Extra\\y.dll"};
  w.view.answers = {true};
  w.form->BitBtn4Click();
  ASSERT_EQ(w.view.entries("open-file: ").size(), 2u);
  EXPECT_EQ(w.view.entries("open-file: ")[1], "C:\\Korvane | D:\\B\\x.inf | Driver Installation Script|*.INF")
      << "the second dialog shows the first choice";
  // The second choice names the source: the Extra folder and what lies below it.
  for (const std::string& target : kCopyTargets) {
    EXPECT_EQ(w.read(target + "y.dll"), "helper") << target;
    EXPECT_EQ(w.read(target + "z.cat"), "catalog") << target;
    EXPECT_FALSE(w.exists(target + "x.inf")) << target;
  }
  EXPECT_TRUE(w.exists("C:\\WINDOWS\\devmount.exe")) << "written on every path after the first choice";
  EXPECT_THAT(w.executed(), IsEmpty());
  EXPECT_THAT(w.restarts(), ElementsAre("restart 2"));
  EXPECT_THAT(w.view.entries("ask: "), ElementsAre("Restart Windows now to finish restoring the drivers?"));
  const auto& memo = w.form->Memo1;
  ASSERT_GE(memo.size(), 6u);
  EXPECT_EQ(memo[0], "-> D:\\B\\Extra\\Deeper\\") << "sub-folders are reported before their folder";
  EXPECT_EQ(memo[1], "-> D:\\B\\Extra\\");
  EXPECT_THAT(std::vector<std::string>(memo.end() - 4, memo.end()),
              ElementsAre("", "You are suggested to reboot your computer now to continue the driver restore.", "",
                          std::string(kNoticeEnd) + kRestartArrows));
}

TEST(RestoreDriver, OnlySetupDiyIsLeftOutAndNoToTheRestartLeavesWindowsRunning) {
  RestoreWindow w;
  plantBackup(w);
  w.begin();
  w.view.chosenFiles = {"D:\\B\\x.inf", "D:\\B\\x.inf"};
  w.view.answers = {false};
  w.form->BitBtn4Click();
  for (const std::string& target : kCopyTargets) {
    EXPECT_EQ(w.read(target + "x.inf"), "top inf") << target;
    EXPECT_EQ(w.read(target + "x.sys"), "driver") << target;
    EXPECT_EQ(w.read(target + "y.dll"), "helper") << target;
    EXPECT_TRUE(w.exists(target + "notes.diy")) << "'.diy' in another case is copied";
    EXPECT_FALSE(w.exists(target + "Setup.DIY")) << target;
    EXPECT_FALSE(w.exists(target + "Extra")) << "folders are not copied, their files are";
  }
  EXPECT_THAT(w.restarts(), IsEmpty());
  EXPECT_EQ(w.form->Memo1.back(), "Windows is not restarted now. Restart it yourself to finish restoring the drivers.");
  EXPECT_TRUE(w.memoHas(kNoticeEnd)) << "the arrows are not continued";
}

TEST(RestoreDriver, ALaterFileOfTheSameNameReplacesAnEarlierOne) {
  RestoreWindow w;
  w.fileOnD("B/same.inf", "the folder's own");
  w.fileOnD("B/Sub/same.inf", "from the sub-folder");
  w.begin();
  w.view.chosenFiles = {"D:\\B\\same.inf", "D:\\B\\same.inf"};
  w.view.answers = {false};
  w.form->BitBtn4Click();
  EXPECT_EQ(w.read("C:\\WINDOWS\\INF\\same.inf"), "the folder's own") << "the folder's entries follow its sub-folders'";
  EXPECT_EQ(w.read("C:\\WINDOWS\\Options\\Cabs\\same.inf"), "the folder's own");
}

TEST(RestoreDriver, AFolderWithNothingToCopyIsAFailureAndOffersNoRestart) {
  RestoreWindow w;
  w.fileOnD("B/Setup.DIY", "");
  w.fileOnD("B/Empty/.keep-out", "");
  w.begin();
  std::filesystem::remove(w.image.root() / "drive_d/B/Empty/.keep-out");
  w.view.chosenFiles = {"D:\\B\\Setup.DIY", "D:\\B\\Setup.DIY"};
  w.form->BitBtn4Click();  // an unscripted question would fail the test
  EXPECT_THAT(w.view.entries("ask: "), IsEmpty());
  EXPECT_THAT(w.restarts(), IsEmpty());
  EXPECT_EQ(w.form->Memo1.back(),
            "There is no file to restore in D:\\B: nothing was copied, and Windows is not restarted.");
  EXPECT_TRUE(w.exists("C:\\WINDOWS\\Options\\Cabs")) << "the folders are made all the same";
}

TEST(RestoreDriver, AFailedCopyIsReportedAndOffersNoRestart) {
  RestoreWindow w;
  w.fileOnD("B/x.inf", "inf");
  w.fileOnD("B/x.sys", "sys");
  w.image.file("WINDOWS\\Options\\Cabs", "a file where the folder should be");
  w.begin();
  w.view.chosenFiles = {"D:\\B\\x.inf", "D:\\B\\x.inf"};
  w.form->BitBtn4Click();
  EXPECT_THAT(w.view.entries("ask: "), IsEmpty());
  EXPECT_THAT(w.restarts(), IsEmpty());
  EXPECT_TRUE(w.memoHas("Failure: the files could not be copied into C:\\WINDOWS\\Options\\Cabs\\. Windows is not "
                        "restarted."));
  EXPECT_EQ(w.read("C:\\WINDOWS\\INF\\x.inf"), "inf") << "the other destinations are still tried";
}

TEST(RestoreDriver, ASecondRestoreCopiesOnlyItsOwnFolder) {
  RestoreWindow w;
  w.fileOnD("A/a.inf", "first");
  w.fileOnD("B/b.inf", "second");
  w.begin();
  w.view.chosenFiles = {"D:\\A\\a.inf", "D:\\A\\a.inf", "D:\\B\\b.inf", "D:\\B\\b.inf"};
  w.view.answers = {false, false};
  w.form->BitBtn4Click();
  w.machine->files().deleteFile("C:\\WINDOWS\\INF\\a.inf");
  w.form->BitBtn4Click();
  EXPECT_FALSE(w.exists("C:\\WINDOWS\\INF\\a.inf"));
  EXPECT_EQ(w.read("C:\\WINDOWS\\INF\\b.inf"), "second");
  ASSERT_EQ(w.form->RestoreState().lstscan2.size(), 1u);
  EXPECT_EQ(w.form->RestoreState().lstscan2[0].Caption, "D:\\B\\b.inf");
  EXPECT_EQ(w.form->RestoreState().lstscan2[0].Extension, "inf");
  EXPECT_EQ(w.form->RestoreState().lstscan2[0].Folder, "D:\\B");
}

TEST(RestoreDriver, AFolderThatHoldsOrLiesInTheWindowsFolderIsNotCopied) {
  for (const std::string chosen : {"C:\\WINDOWS\\inf\\oem1.inf", "C:\\oem1.inf"}) {
    RestoreWindow w;
    w.image.file("WINDOWS\\inf\\oem1.inf", "system");
    w.image.file("oem1.inf", "at the root");
    w.begin();
    w.view.chosenFiles = {chosen, chosen};
    w.form->BitBtn4Click();
    const std::string folder = chosen == "C:\\oem1.inf" ? "C:\\" : "C:\\WINDOWS\\inf";
    EXPECT_THAT(w.form->Memo1, ElementsAre(folder + " holds the Windows folder or lies inside it: choose the folder "
                                                    "of a driver backup. Nothing was copied."));
    EXPECT_THAT(w.form->RestoreState().lstscan2, IsEmpty());
    EXPECT_FALSE(w.exists("C:\\WINDOWS\\Options\\Cabs\\oem1.inf"));
  }
}

TEST(RestoreDriver, ADescriptorThatWouldChangeTheToolsArgumentsIsNotUsed) {
  RestoreWindow w;
  w.fileOnD("B/x.inf", "inf");
  w.begin();
  w.setupDiy("D:\\B", "PCI\\VEN_1\" /evil \"", "x.inf");
  w.view.chosenFiles = {"D:\\B\\x.inf", std::nullopt};
  w.form->BitBtn4Click();
  EXPECT_THAT(w.executed(), IsEmpty());
  EXPECT_EQ(w.view.entries("open-file: ").size(), 2u) << "treated as a folder without Setup.DIY";
}

// The INF the descriptor names is missing, lies elsewhere, is a folder or is not named at all.
TEST(RestoreDriver, ADescriptorWhoseInfIsNotInTheFolderIsRefusedAsIncomplete) {
  for (const std::string infName : {"gone.inf", "..\\..\\WINDOWS\\inf\\other.inf", "Sub", "Sub\\x.inf", ""}) {
    RestoreWindow w;
    w.filesOnD({{"B/x.inf", "inf"}, {"B/Sub/x.inf", "inf"}});
    w.begin();
    w.setupDiy("D:\\B", "PCI\\VEN_1", infName);
    w.view.chosenFiles = {"D:\\B\\x.inf"};
    w.form->BitBtn4Click();
    EXPECT_THAT(w.executed(), IsEmpty()) << infName;
    EXPECT_THAT(w.restarts(), IsEmpty()) << infName;
    EXPECT_TRUE(w.form->RestoreState().RestoreFailed) << infName;
    EXPECT_EQ(w.form->Memo1.back(),
              "The backup in D:\\B is incomplete: the INF file named in its Setup.DIY is not in that folder. Nothing "
              "was installed; back up the driver again.")
        << infName;
  }
}

TEST(RestoreDriver, TheNineXFamilyGetsItsGuideAndWizardAndNoDialog) {
  RestoreWindow w(true);
  w.begin();
  ASSERT_EQ(w.form->AH.OperatingSystem(), "Windows 98");
  w.form->BitBtn4Click();  // an unscripted dialog would fail the test
  EXPECT_THAT(w.view.entries("open-file: "), IsEmpty());
  EXPECT_THAT(w.executed(), ElementsAre("execute\topen\trundll32.exe\tshell32.dll,Control_RunDLL sysdm.cpl @1\t\t5"));
  ASSERT_EQ(w.form->Memo1.size(), 6u);
  EXPECT_EQ(w.form->Memo1[0], "Driver Installation Guide: ");
  EXPECT_EQ(w.form->Memo1[1], k9xGuideStep1);
  EXPECT_EQ(w.form->Memo1[4], "[4] Click the button 'Have Disk(H)...'");
  EXPECT_EQ(w.form->Memo1[5],
            "[5] Browse to the folder where you backuped the driver to (Default folder is C:\\Korvane)'");
}

TEST(RestoreDriver, InstallNewUsesTheWizardOnTheNtFamilyAndEndsItsMode) {
  RestoreWindow w;
  w.begin();
  EXPECT_EQ(w.form->RestoreState().InstallMode, 0);
  w.form->Click("instnew1");
  EXPECT_THAT(w.view.entries("open-file: "), IsEmpty());
  EXPECT_THAT(w.executed(),
              ElementsAre("execute\topen\trundll32.exe\tshell32.dll,Control_RunDLL hdwwiz.cpl,,1\t\t5"));
  ASSERT_EQ(w.form->Memo1.size(), 6u);
  EXPECT_EQ(w.form->Memo1[1], kNtGuideStep1);
  EXPECT_EQ(w.form->RestoreState().InstallMode, 1);
  EXPECT_FALSE(w.exists("C:\\WINDOWS\\devmount.exe"));

  w.view.chosenFiles = {std::nullopt};
  w.form->Click("restore1");  // restore mode again: the dialog
  EXPECT_EQ(w.view.entries("open-file: ").size(), 1u);
}

TEST(RestoreDriver, TheChineseNineXGuideHasNoStepNumbers) {
  RestoreWindow w(true);
  w.image.file("WINDOWS\\Korvane.ini", "[Interface]\r\nLanguage=Chinese\r\n");
  w.begin();
  w.form->SpeedButton3Click();
  ASSERT_EQ(w.form->Memo1.size(), 6u);
  for (size_t k = 1; k < 6; ++k) EXPECT_NE(w.form->Memo1[k].front(), '[') << w.form->Memo1[k];
}

}  // namespace
}  // namespace korvane::test
