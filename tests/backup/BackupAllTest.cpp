// Backup All and the one-EXE installer through the main window on images.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backup/BackupTestSupport.h"
#include "platform/RichText.h"
#include "support/HostCommand.h"

namespace korvane::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

constexpr const char* kAttention =
    "Attention: Do not touch any key during the Backup All session.\n"
    "If you want to cancel, click [Backup]->[Stop] from the menu.";

// Three drivers of our own, each with a file of its own and a shared readme.
struct ThreeDrivers {
  StartedWindow w;
  explicit ThreeDrivers(const std::string& thirdInf = "") {
    std::string registry;
    for (int k = 1; k <= 3; ++k) {
      const std::string n = std::to_string(k);
      registry += driver("{A}", "000" + n,
                         {{"DriverDesc", "Card " + n}, {"InfPath", "oem" + n + ".inf"}, {"MatchingDeviceId", "pci\\\\card" + n}});
      w.image.file("WINDOWS\\inf\\oem" + n + ".inf",
                   k == 3 && !thirdInf.empty() ? thirdInf
                                               : "[Version]\r\n[SourceDisksFiles]\r\ncard" + n + ".sys=1\r\nreadme.txt=1\r\n");
      w.image.file("WINDOWS\\system32\\drivers\\card" + n + ".sys", "driver " + n);
    }
    w.image.file("WINDOWS\\system32\\readme.txt", "read me");
    w.image.registry("c.reg", registry);
    w.start().BitBtn1Click();
  }
  TForm1& form() { return *w.form; }
};

TEST(BackupAll, NoDriversListedAsksForFastCollect) {
  StartedWindow w;
  w.start().BitBtn3Click();
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre("Please click 'Fast Collect' button first to\nget the listing of drivers to backup."));
  EXPECT_THAT(w.view.entries("folder-dialog: "), IsEmpty());
}

TEST(BackupAll, CancelInTheDialogChangesNothing) {
  ThreeDrivers t;
  const std::string folder = t.form().BackupAllFolder, box = t.form().Control("Edit1").Caption;
  t.w.view.folders.push_back(std::nullopt);
  t.form().BitBtn3Click();
  EXPECT_EQ(t.form().Memo1.back(), "Cancelled");
  EXPECT_EQ(t.form().BackupAllFolder, folder);
  EXPECT_EQ(t.form().Control("Edit1").Caption, box);
  EXPECT_FALSE(t.form().Control("BitBtn10").Visible);
  EXPECT_THAT(t.w.view.entries("folder-dialog: "),
              ElementsAre("Choose the folder to backup all drivers to | " + folder));
  EXPECT_FALSE(t.w.image.reopen()->files().exists("C:\\ALL"));
}

TEST(BackupAll, FoldersForEveryDriverWithTheirDescriptors) {
  ThreeDrivers t;
  t.w.view.folders.push_back("C:\\ALL\\");
  t.form().BitBtn3Click();
  const auto machine = t.w.image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\ALL"), UnorderedElementsAre("Card 1", "Card 2", "Card 3"));
  EXPECT_THAT(filesIn(*machine, "C:\\ALL\\Card 2"), UnorderedElementsAre("oem2.inf", "card2.sys", "readme.txt", "Setup.DIY"));
  const auto descriptor = ReadSetupDiy(*makeRichText(*machine), "C:\\ALL\\Card 3");
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->hardwareId, "pci\\card3");
  EXPECT_EQ(descriptor->infName, "oem3.inf");
  EXPECT_EQ(t.form().BackupAllFolder, "C:\\ALL");
  EXPECT_THAT(t.w.view.entries("message: "), ElementsAre(kAttention, "3 driver collect and backup successfully."));
  EXPECT_FALSE(t.form().Control("BitBtn10").Visible);
  EXPECT_TRUE(memoHas(t.form(), "C:\\ALL")) << "the memo ends with the destination";
  EXPECT_THAT(t.w.view.entries("status: "), Contains("Driver 2 of 3: Card 2"));
  EXPECT_EQ(t.form().Backup().Result().succeeded, 3);
}

TEST(BackupAll, PackageModeLeavesOnlyCabinets) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  ThreeDrivers t;
  t.w.view.folders.push_back("C:\\ALL");
  t.form().MenuSFX2Click();
  const auto machine = t.w.image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\ALL"), UnorderedElementsAre("Card 1.CAB", "Card 2.CAB", "Card 3.CAB"));
  std::string output;
  EXPECT_EQ(runCommand("cabextract -t " + quoted(hostFileOnC(t.w.image.root(), "C:\\ALL\\Card 2.CAB")), &output), 0)
      << output;
  EXPECT_NE(output.find("card2.sys"), std::string::npos) << output;
  EXPECT_EQ(output.find("Setup.DIY"), std::string::npos) << output;
  EXPECT_THAT(t.w.view.entries("memo: "), Not(Contains("Package created successfully!"))) << "said of the copy only";
  EXPECT_EQ(t.form().Backup().Mode(), BackupMode::Folder) << "folder mode again after the run";
  EXPECT_EQ(t.form().Backup().Kind(), PackageKind::Exe);
}

TEST(BackupAll, StopDuringTheSecondDriverKeepsTheFirst) {
  ThreeDrivers t;
  t.w.view.folders.push_back("C:\\ALL");
  t.w.view.onPump = [&] {
    if (memoHas(t.form(), "Preparing to generate the driver package for Card 2  ........")) t.form().Stop1Click();
  };
  t.form().BitBtn3Click();
  const auto machine = t.w.image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\ALL"), ElementsAre("Card 1"));
  EXPECT_THAT(t.w.view.entries("message: "), ElementsAre(kAttention, "Stopped."));
  EXPECT_THAT(t.form().Memo1, ElementsAre("Backup operation was canceled by user."));
  EXPECT_TRUE(t.form().Control("BitBtn10").Visible) << "a stop from the menu leaves the Stop button";
  EXPECT_TRUE(t.form().DriverFileList.empty());
}

TEST(BackupAll, TheStopButtonStopsAndHidesItself) {
  ThreeDrivers t;
  t.w.view.folders.push_back("C:\\ALL");
  t.w.view.onPump = [&] {
    if (t.form().Control("BitBtn10").Visible) t.form().Click("BitBtn10");
  };
  t.form().BitBtn3Click();
  EXPECT_THAT(filesIn(*t.w.image.reopen(), "C:\\ALL"), IsEmpty());
  EXPECT_FALSE(t.form().Control("BitBtn10").Visible);
  EXPECT_THAT(t.w.view.entries("message: "), Contains("Stopped."));
}

TEST(BackupAll, ADriverWhoseDescriptorCannotBeWrittenIsCountedAsNotBackedUp) {
  ThreeDrivers t;
  t.w.image.file("ALL\\Card 2\\Setup.DIY\\in the way", "");
  t.w.view.folders.push_back("C:\\ALL");
  t.form().BitBtn3Click();
  EXPECT_EQ(t.form().Backup().Result().succeeded, 2);
  EXPECT_TRUE(memoHas(t.form(), "NOT backed up: Card 2 (its restore information (Setup.DIY) could not be written)"));
}

TEST(BackupAll, AnEmptyFileSetStillGetsItsFolderWithTheInf) {
  ThreeDrivers t("[Version]\r\n");
  t.w.view.folders.push_back("C:\\ALL");
  t.form().BitBtn3Click();
  EXPECT_THAT(filesIn(*t.w.image.reopen(), "C:\\ALL\\Card 3"), UnorderedElementsAre("oem3.inf", "Setup.DIY"));
  EXPECT_EQ(t.form().Backup().Result().succeeded, 3);
}

TEST(BackupAll, AMissingInfIsSaidCountedAndLeavesNothingBehind) {
  for (void (TForm1::*command)() : {&TForm1::msClick, &TForm1::MenuSFX2Click}) {
    SampleWindow w;
    w.view.folders.push_back("C:\\ALL");
    (w.form.*command)();
    const size_t rows = w.form.ListView1.Count();
    EXPECT_THAT(w.view.entries("memo: "), Contains("Maybe this driver has already been removed from your system."));
    for (const char* name : {"Kestrow VPN Virtual Adapter", "Kestrow VPN Virtual Adapter.CAB"})
      EXPECT_FALSE(w.sample.machine->files().exists(std::string("C:\\ALL\\") + name)) << name;
    const auto& result = w.form.Backup().Result();
    EXPECT_EQ(result.succeeded + result.failures.size(), rows);
    EXPECT_THAT(result.failures,
                ElementsAre("NOT backed up: Kestrow VPN Virtual Adapter (its INF file is no longer on this computer)"));
    EXPECT_THAT(w.view.entries("message: "), Contains(std::to_string(result.succeeded) +
                                                      " driver collect and backup successfully."));
    EXPECT_THAT(w.view.entries("message: "),
                Contains("1 drivers could not be backed up. The window lists them with the reason."));
    EXPECT_TRUE(memoHas(w.form, result.failures.front()));
  }
}

// An earlier backup in the destination: its folders are neither packed nor
// deleted, and neither its files nor any Setup.DIY go into a package.
TEST(BackupAll, PackagesHoldOnlyWhatTheRunCopied) {
  if (!haveTool("cabextract")) GTEST_SKIP() << "cabextract is not installed";
  ThreeDrivers t;
  t.w.image.file("ALL\\Card 1\\Setup.DIY", "pci\\old\r\noem1.inf\r\n");
  t.w.image.file("ALL\\Card 1\\old.txt", "earlier");
  t.w.view.folders = {"C:\\ALL", "C:\\ALL"};
  t.form().MenuSFX2Click();
  EXPECT_THAT(filesIn(*t.w.image.reopen(), "C:\\ALL\\Card 1"), UnorderedElementsAre("Setup.DIY", "old.txt"));
  std::string output;
  ASSERT_EQ(runCommand("cabextract -l " + quoted(hostFileOnC(t.w.image.root(), "C:\\ALL\\Card 1.CAB")), &output), 0);
  EXPECT_EQ(output.find("old.txt"), std::string::npos) << output;
  EXPECT_EQ(output.find("Setup.DIY"), std::string::npos) << output;

  t.form().MenuSFX3Click();
  ASSERT_EQ(runCommand("cabextract -l " + quoted(hostFileOnC(t.w.image.root(), "C:\\ALL\\AllDrivers.EXE")), &output), 0);
  EXPECT_NE(output.find("card1.sys"), std::string::npos) << output;
  EXPECT_EQ(output.find("old.txt"), std::string::npos) << output;
  EXPECT_EQ(output.find("Setup.DIY"), std::string::npos) << output;
  EXPECT_TRUE(t.w.image.reopen()->files().exists("C:\\ALL\\Card 1\\old.txt"));
}

TEST(BackupAll, OneInstallerForAllDriversNamedInTheLanguage) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  ThreeDrivers t;
  t.form().French1Click();
  t.w.view.folders.push_back("C:\\ALL");
  t.form().MenuSFX3Click();
  const auto machine = t.w.image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\ALL"), UnorderedElementsAre("Card 1", "Card 2", "Card 3", "TousLesPilotes.EXE"));
  EXPECT_TRUE(machine->files().exists("C:\\ALL\\Card 1\\Setup.DIY")) << "the driver folders stay, with descriptors";
  EXPECT_THAT(t.w.view.entries("message: "),
              Contains("Tous vos pilotes ont été placés dans l'installateur automatique C:\\ALL\\TousLesPilotes.EXE"));
  EXPECT_EQ(t.form().Memo1.back(), "Terminé avec succès !");
  // cabextract finds the cabinet behind the stub; every driver's files lie at its root.
  std::string output;
  ASSERT_EQ(runCommand("cabextract -l " + quoted(hostFileOnC(t.w.image.root(), "C:\\ALL\\TousLesPilotes.EXE")), &output), 0)
      << output;
  size_t readmes = 0;
  for (size_t at = output.find("| readme.txt"); at != std::string::npos; at = output.find("| readme.txt", at + 1)) ++readmes;
  EXPECT_EQ(readmes, 3u) << output;
  for (const char* name : {"| card1.sys", "| card3.sys", "| oem2.inf"}) EXPECT_NE(output.find(name), std::string::npos) << name;
  EXPECT_EQ(output.find("Setup.DIY"), std::string::npos) << "the descriptors come after the cabinet";
}

TEST(BackupAll, AnInstallerThatCannotBeWrittenIsAFailureAndKeepsTheCabinet) {
  ThreeDrivers t;
  t.w.image.file("ALL\\AllDrivers.EXE\\in the way.txt", "x");
  t.w.view.folders.push_back("C:\\ALL");
  t.form().MenuSFX3Click();
  const std::string failure = "The installer C:\\ALL\\AllDrivers.EXE could not be written.";
  EXPECT_THAT(t.w.view.entries("message: "), Contains(failure));
  EXPECT_THAT(t.form().Backup().Result().failures, ElementsAre(failure));
  EXPECT_EQ(t.form().Backup().Result().succeeded, 0);
  EXPECT_TRUE(t.w.image.reopen()->files().exists("C:\\ALL\\AllDrivers.CAB"));
  EXPECT_THAT(t.w.view.entries("message: "), Not(Contains(::testing::HasSubstr("are packed"))));
}

TEST(BackupAll, NoInstallerWithoutOneDriverToCarry) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", {{"DriverDesc", "Gone"}, {"InfPath", "oem9.inf"}}));
  w.start().BitBtn1Click();
  w.view.folders.push_back("C:\\ALL");
  w.form->MenuSFX3Click();
  EXPECT_THAT(filesIn(*w.image.reopen(), "C:\\ALL"), IsEmpty());
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre(kAttention, "0 driver collect and backup successfully.",
                          "1 drivers could not be backed up. The window lists them with the reason."));
}

TEST(BackupAll, AStoppedInstallerRunWritesNoInstaller) {
  ThreeDrivers t;
  t.w.view.folders.push_back("C:\\ALL");
  t.w.view.onPump = [&] {
    if (memoHas(t.form(), "Preparing to generate the driver package for Card 3  ........")) t.form().Stop1Click();
  };
  t.form().MenuSFX3Click();
  EXPECT_THAT(filesIn(*t.w.image.reopen(), "C:\\ALL"), UnorderedElementsAre("Card 1", "Card 2"));
  EXPECT_THAT(t.w.view.entries("message: "), Contains("Stopped."));
}

}  // namespace
}  // namespace korvane::test
