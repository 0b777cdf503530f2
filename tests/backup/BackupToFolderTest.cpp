// Backup of selected drivers to a folder, through the main window on images.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backup/BackupTestSupport.h"
#include "platform/RichText.h"

namespace korvane::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr const char* kBrennet = "Brennet FastLink 10/100 PCI Ethernet Adapter";
constexpr const char* kBrennetFolder = "C:\\OUT\\Brennet FastLink 10 100 PCI Ethernet Adapter";

TEST(BackupToFolder, AnalysisListsTheFilesAndShowsTheDestinationPanel) {
  SampleWindow w;
  w.form.ListView1SelectItem(rowOf(w.form, kBrennet), true);
  w.form.BitBtn2Click();
  EXPECT_EQ(w.form.Memo1.front(), std::string("Preparing to generate the driver package for ") + kBrennet + "  ........");
  EXPECT_TRUE(memoHas(w.form, "There are 3 files to backup."));
  EXPECT_TRUE(memoHas(w.form, "C:\\WINDOWS\\inf\\oem5.inf"));
  EXPECT_EQ(w.form.StatusBar1, "Driver search and collect successfully. There are 3 files to be packaged now.");
  EXPECT_TRUE(w.form.Control("Button1").Visible);
  EXPECT_EQ(w.form.Control("Edit1").Caption, "C:\\Korvane") << "the folder box shows BackupFolder";
  EXPECT_EQ(w.form.DriverFileList.size(), 3u)
      << "the INF (once, though the search finds it and the INF folder is spelled two ways), its driver, "
         "and its catalog found in the catalog folder";
}

TEST(BackupToFolder, StartCopiesIntoTheDriverFolderWithDescriptorAndPlaceholder) {
  SampleWindow w;
  w.form.ListView1SelectItem(rowOf(w.form, kBrennet), true);
  w.form.BitBtn2Click();
  w.form.Edit1Change("C:\\OUT\\");  // a trailing backslash is used without it
  w.form.Button1Click();
  Machine& machine = *w.sample.machine;
  EXPECT_THAT(filesIn(machine, kBrennetFolder),
              UnorderedElementsAre("oem5.inf", "brnfast.sys", "brnfast.cat", "Setup.DIY"));
  EXPECT_GT(machine.files().stat(std::string(kBrennetFolder) + "\\brnfast.cat")->size, 0u)
      << "the catalog itself, not a placeholder";
  const auto descriptor = ReadSetupDiy(*makeRichText(machine), kBrennetFolder);
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->hardwareId, "pci\\ven_1e91&dev_0a10");
  EXPECT_EQ(descriptor->infName, "oem5.inf");
  EXPECT_TRUE(memoHas(w.form, "New directory created C:\\OUT"));
  EXPECT_TRUE(memoHas(w.form, "Package created successfully!"));
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre(std::string(kBrennet) + " Installation Package created successfully!"));
  EXPECT_EQ(w.form.StatusBar1, "Package created successfully!");
  EXPECT_FALSE(w.form.Control("Button1").Visible);
  EXPECT_TRUE(w.form.Backup().StartFinished());
}

// Backs up the one driver of an image with this INF text to C:\OUT; the image
// may hold other files first.
std::unique_ptr<StartedWindow> backUpOneDriver(const std::string& description, const std::string& infText,
                                               const std::map<std::string, std::string>& otherFiles = {}) {
  auto window = std::make_unique<StartedWindow>();
  StartedWindow& w = *window;
  w.image.registry("c.reg", driver("{A}", "0000",
                                   {{"DriverDesc", description}, {"InfPath", "oem1.inf"}}));
  w.image.file("WINDOWS\\inf\\oem1.inf", infText);
  for (const auto& [path, bytes] : otherFiles) w.image.file(path, bytes);
  TForm1& form = w.start();
  form.BitBtn1Click();
  form.ListView1SelectItem(0, true);
  form.BitBtn2Click();
  form.Edit1Change("C:\\OUT");
  form.Button1Click();
  return window;
}

TEST(BackupToFolder, MissingCatalogGetsAnEmptyPlaceholder) {
  const auto window = backUpOneDriver("Signed", "[Version]\r\nCatalogFile=signed.cat\r\n");
  const auto machine = window->image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\OUT\\Signed"), UnorderedElementsAre("oem1.inf", "signed.cat", "Setup.DIY"));
  const auto placeholder = machine->files().stat("C:\\OUT\\Signed\\signed.cat");
  ASSERT_TRUE(placeholder);
  EXPECT_EQ(placeholder->size, 0u);
}

TEST(BackupToFolder, CatalogNamesThatLeaveTheFolderMakeNoPlaceholder) {
  const auto window = backUpOneDriver("Sly", "[Version]\r\nCatalogFile=..\\..\\evil.cat\r\n");
  const auto machine = window->image.reopen();
  EXPECT_FALSE(machine->files().exists("C:\\evil.cat"));
  EXPECT_FALSE(machine->files().exists("C:\\OUT\\evil.cat"));
  EXPECT_THAT(filesIn(*machine, "C:\\OUT\\Sly"), UnorderedElementsAre("oem1.inf", "Setup.DIY"));
}

// Without Setup.DIY a restore cannot tell which device the folder is for:
// a folder whose descriptor cannot be written is not a backup.
TEST(BackupToFolder, ADescriptorThatCannotBeWrittenFailsTheDriver) {
  const auto window = backUpOneDriver("Card", "[Version]\r\n", {{"OUT\\Card\\Setup.DIY\\in the way", ""}});
  EXPECT_THAT(window->view.entries("message: "),
              ElementsAre("NOT backed up: Card (its restore information (Setup.DIY) could not be written)"));
  EXPECT_EQ(window->form->Backup().Result().succeeded, 0);
  EXPECT_NE(window->form->StatusBar1, "Package created successfully!");
}

TEST(BackupToFolder, NothingSelected) {
  SampleWindow w;
  w.form.BitBtn2Click();
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Please select the driver you want to backup."));
  StartedWindow empty;
  empty.start().BitBtn2Click();
  EXPECT_THAT(empty.view.entries("message: "), ElementsAre("Please click the button 'Fast Collect' first."));
}

TEST(BackupToFolder, AMissingInfIsReportedAndTheRunGoesOn) {
  SampleWindow w;
  w.form.ListView1SelectItem(rowOf(w.form, "Kestrow VPN Virtual Adapter"), true);
  w.form.BitBtn2Click();
  EXPECT_TRUE(memoHas(w.form, "Maybe this driver has already been removed from your system."));
  EXPECT_FALSE(w.form.Control("Button1").Visible);
  const std::string notBackedUp = "NOT backed up: Kestrow VPN Virtual Adapter (its INF file is no longer on this computer)";
  EXPECT_THAT(w.form.Backup().Result().failures, ElementsAre(notBackedUp));

  for (const char* caption : {kBrennet, "Velmar TouchPad"}) w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  w.pressStartOnPump("C:\\OUT");
  w.form.BitBtn2Click();
  EXPECT_THAT(filesIn(*w.sample.machine, "C:\\OUT"),
              UnorderedElementsAre("Brennet FastLink 10 100 PCI Ethernet Adapter", "Velmar TouchPad"));
  EXPECT_THAT(w.form.Backup().Result().failures, ElementsAre(notBackedUp)) << "every row is backed up or said to be not";
  EXPECT_EQ(w.form.Memo1.back(), notBackedUp) << "and said again at the end";
  EXPECT_EQ(w.form.Backup().Result().succeeded, 2);
}

// A destination is made with its parents; one that cannot be made ends the
// run with the error box and no word of success.
TEST(BackupToFolder, TheDestinationIsMadeWholeOrTheRunEnds) {
  SampleWindow w;
  w.form.ListView1SelectItem(rowOf(w.form, "Velmar TouchPad"), true);
  w.form.BitBtn2Click();
  w.form.Edit1Change("C:\\Korvane\\Deep\\Backup");
  w.form.Button1Click();
  EXPECT_TRUE(w.sample.machine->files().exists("C:\\Korvane\\Deep\\Backup\\Velmar TouchPad\\Setup.DIY"));
  EXPECT_FALSE(w.form.CommandFailed);

  for (const char* caption : {kBrennet, "Orvik SoundWave 64"}) w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  w.view.log.clear();
  w.pressStartOnPump("Q:\\Nowhere");  // a drive the machine does not have
  w.form.BitBtn2Click();
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Cannot create directory Q:\\Nowhere"));
  EXPECT_TRUE(w.form.CommandFailed);
  EXPECT_EQ(w.form.Backup().Result().succeeded, 0);
  EXPECT_FALSE(memoHas(w.form, "Package created successfully!"));
  EXPECT_NE(w.form.StatusBar1, "Package created successfully!");
}

TEST(BackupToFolder, ThreeDriversAfterOneStart) {
  SampleWindow w;
  for (const char* caption : {kBrennet, "Orvik SoundWave 64", "Velmar TouchPad"})
    w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  w.pressStartOnPump("C:\\OUT");
  int starts = 0;
  const auto press = w.view.onPump;
  w.view.onPump = [&] {
    const bool waiting = w.form.Control("Button1").Visible && !w.form.Backup().StartFinished();
    press();
    starts += waiting ? 1 : 0;
  };
  w.form.BitBtn2Click();
  EXPECT_EQ(starts, 1) << "the user presses Start once";
  Machine& machine = *w.sample.machine;
  EXPECT_THAT(filesIn(machine, "C:\\OUT"), UnorderedElementsAre("Brennet FastLink 10 100 PCI Ethernet Adapter",
                                                                "Orvik SoundWave 64", "Velmar TouchPad"));
  EXPECT_THAT(filesIn(machine, "C:\\OUT\\Velmar TouchPad"), Contains("Setup.DIY"));
  EXPECT_EQ(w.view.entries("message: ").size(), 3u) << "every driver's copy ends with its own message box";
}

// The folder box may change after the first Start; the run stays where that Start sent it.
TEST(BackupToFolder, LaterDriversFollowTheFirstStart) {
  SampleWindow w;
  for (const char* caption : {kBrennet, "Velmar TouchPad"}) w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  w.view.onPump = [&] {
    if (!w.form.Control("Button1").Visible || w.form.Backup().StartFinished()) return;
    w.form.Edit1Change("C:\\FIRST");
    w.form.Button1Click();
    w.form.Edit1Change("C:\\SECOND");
  };
  w.form.BitBtn2Click();
  EXPECT_THAT(filesIn(*w.sample.machine, "C:\\FIRST"),
              UnorderedElementsAre("Brennet FastLink 10 100 PCI Ethernet Adapter", "Velmar TouchPad"));
  EXPECT_FALSE(w.sample.machine->files().exists("C:\\SECOND"));
}

TEST(BackupToFolder, ARunOfSeveralDriversWalksTheDiskOnce) {
  StartedWindow w;
  std::string registry;
  for (const std::string n : {"1", "2"}) {
    registry += driver("{A}", "000" + n, {{"DriverDesc", "Card " + n}, {"InfPath", "oem" + n + ".inf"}});
    w.image.file("WINDOWS\\inf\\oem" + n + ".inf", "[Version]\r\n[SourceDisksFiles]\r\nfar" + n + ".dll=1\r\n");
    w.image.file("Program Files\\Far\\far" + n + ".dll", "far " + n);
  }
  w.image.registry("c.reg", registry);
  TForm1& form = w.start();
  form.BitBtn1Click();
  form.ListView1SelectItem(0, true);
  form.ListView1SelectItem(1, true);
  w.view.onPump = [&] {
    if (!form.Control("Button1").Visible || form.Backup().StartFinished()) return;
    form.Edit1Change("C:\\OUT");
    form.Button1Click();
  };
  form.BitBtn2Click();
  const auto machine = w.image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\OUT\\Card 2"), Contains("far2.dll"));
  size_t walksOfFar = 0;
  for (const auto& status : w.view.entries("status: "))
    walksOfFar += status.find("C:\\Program Files\\Far") != std::string::npos ? 1 : 0;
  EXPECT_EQ(walksOfFar, 1u) << "the second driver's file comes from the index the first one built";
}

// The search reports each folder it walks; the window says so in its language.
TEST(BackupToFolder, TheSearchStatusFollowsTheLanguage) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", {{"DriverDesc", "Card"}, {"InfPath", "oem1.inf"}}));
  w.image.file("WINDOWS\\inf\\oem1.inf", "[Version]\r\n[SourceDisksFiles]\r\nfar.dll=1\r\n");
  w.image.file("WINDOWS\\Sub\\far.dll", "far");
  TForm1& form = w.start();
  form.BitBtn1Click();
  form.Russian1Click();
  form.ListView1SelectItem(0, true);
  form.BitBtn2Click();
  EXPECT_THAT(w.view.entries("status: "), Contains("Поиск ... \r\nC:\\WINDOWS\\Sub\\"));
  EXPECT_TRUE(memoHas(form, "C:\\WINDOWS\\Sub\\far.dll"));
}

TEST(BackupToFolder, CancelWhileTheRunWaitsEndsTheRun) {
  SampleWindow w;
  for (const char* caption : {kBrennet, "Orvik SoundWave 64"}) w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  w.view.onPump = [&] {
    if (w.form.Control("Button2").Visible) w.form.Button2Click();
  };
  w.form.BitBtn2Click();
  EXPECT_EQ(w.form.StatusBar1, "Cancelled.");
  EXPECT_FALSE(w.sample.machine->files().exists("C:\\Korvane"));
  EXPECT_FALSE(w.form.Backup().ProcessingRow());
}

TEST(BackupToFolder, StopOrClosingWhileTheRunWaitsEndsTheRun) {
  SampleWindow w;
  for (const char* caption : {kBrennet, "Orvik SoundWave 64"}) w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  int pumps = 0;
  w.view.onPump = [&] {
    if (++pumps == 3) w.form.Stop1Click();
  };
  w.form.BitBtn2Click();
  EXPECT_FALSE(w.sample.machine->files().exists("C:\\Korvane"));
}

TEST(BackupToFolder, StopDuringTheAnalysisOffersNothingForCopying) {
  SampleWindow w;
  for (const char* caption : {kBrennet, "Orvik SoundWave 64"}) w.form.ListView1SelectItem(rowOf(w.form, caption), true);
  w.pressStartOnPump("C:\\OUT");
  const auto press = w.view.onPump;
  bool started = false;
  w.view.onPump = [&] {
    if (started && !w.form.StopRequested) w.form.Stop1Click();  // Stop while the second driver is analysed
    const bool waiting = w.form.Control("Button1").Visible && !w.form.Backup().StartFinished();
    press();
    started = started || waiting;
  };
  w.form.BitBtn2Click();
  EXPECT_TRUE(w.sample.machine->files().exists(kBrennetFolder));
  EXPECT_FALSE(w.sample.machine->files().exists("C:\\OUT\\Orvik SoundWave 64")) << "no copy of a cut file list";
  EXPECT_EQ(w.form.StatusBar1, "Stopped.");
  EXPECT_TRUE(w.form.DriverFileList.empty());
  EXPECT_FALSE(w.form.Control("Button1").Visible);
}

TEST(BackupToFolder, DriversThatMapToOneFolderGetTheirOwn) {
  StartedWindow w;
  std::string reg;
  const std::pair<const char*, const char*> drivers[] = {{"A/B", "a.inf"}, {"A?B", "b.inf"}, {"CON", "con1.inf"}};
  int instance = 0;
  for (const auto& [description, inf] : drivers) {
    reg += driver("{A}", "000" + std::to_string(instance++), {{"DriverDesc", description}, {"InfPath", inf},
                                                             {"MatchingDeviceID", "root\\\\x"}});
    w.image.file(std::string("WINDOWS\\inf\\") + inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
  }
  w.image.registry("c.reg", reg);
  TForm1& form = w.start();
  form.BitBtn1Click();
  for (size_t row = 0; row < form.ListView1.Count(); ++row) form.ListView1SelectItem(row, true);
  w.view.onPump = [&] {
    if (!form.Control("Button1").Visible || form.Backup().StartFinished()) return;
    form.Edit1Change("C:\\OUT");
    form.Button1Click();
  };
  form.BitBtn2Click();
  auto machine = w.image.reopen();
  EXPECT_THAT(filesIn(*machine, "C:\\OUT"), UnorderedElementsAre("A B", "A B (2)", "con1"));
  EXPECT_THAT(filesIn(*machine, "C:\\OUT\\A B"), UnorderedElementsAre("a.inf", "Setup.DIY"));
  EXPECT_THAT(filesIn(*machine, "C:\\OUT\\A B (2)"), UnorderedElementsAre("b.inf", "Setup.DIY"));
}

TEST(BackupToFolder, FolderBoxChangesBackupFolder) {
  SampleWindow w;
  w.form.Edit1Change("D:\\Elsewhere");
  EXPECT_EQ(w.form.BackupFolder, "D:\\Elsewhere");
  w.form.BackupFolder.clear();
  w.form.Edit1Change("E:\\Ignored");
  EXPECT_EQ(w.form.BackupFolder, "") << "an empty setting is not taken over";
}

TEST(BackupToFolder, CancelClearsTheAnalysis) {
  SampleWindow w;
  w.form.ListView1SelectItem(rowOf(w.form, kBrennet), true);
  w.form.BitBtn2Click();
  w.form.Button2Click();
  EXPECT_TRUE(w.form.DriverFileList.empty());
  EXPECT_TRUE(w.form.Memo1.empty());
  EXPECT_FALSE(w.form.Control("Edit1").Visible);
  EXPECT_EQ(w.form.StatusBar1, "Cancelled.");
}

}  // namespace
}  // namespace korvane::test
