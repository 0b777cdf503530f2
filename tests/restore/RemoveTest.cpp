// Removing a driver through the main window on machine images: the removal
// tool's command line, the class keys, and which files go where.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* k9xClassKey = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class";
constexpr const char* kOrvik = "Orvik Net";
constexpr const char* kOrvikInf =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nCatalogFile=orvnet.cat\r\n"
    "[SourceDisksFiles]\r\norvnet.sys=1\r\norvhelp.dll=1\r\nshared.dll=1\r\nreadme.txt=1\r\n";
constexpr const char* kQuillonInf = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[SourceDisksFiles]\r\nshared.dll=1\r\n";

std::map<std::string, std::string> orvikValues(const std::string& inf = "oem1.inf") {
  return {{"DriverDesc", kOrvik}, {"InfPath", inf}, {"ProviderName", "Orvik"},
          {"MatchingDeviceID", "pci\\\\ven_abcd&dev_0001"}};
}

// Orvik Net with its INF, driver, helper and catalog in the driver folders,
// a file shared with Quillon Scan, and a read-me that only a search of the
// drive finds.
void plantDrivers(ImageBuilder& image, const std::string& system = "WINDOWS\\system32") {
  image.file("WINDOWS\\inf\\oem1.inf", kOrvikInf)
      .file("WINDOWS\\inf\\oem2.inf", kQuillonInf)
      .file(system + "\\drivers\\orvnet.sys", "orvnet driver")
      .file(system + "\\orvhelp.dll", "orvik helper")
      .file(system + "\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\orvnet.cat", "catalog")
      .file(system + "\\shared.dll", "shared by two drivers")
      .file("Program Files\\Orvik\\readme.txt", "the user's notes");
}

struct RemovalWindow {
  ImageBuilder image;
  ScriptedView view;
  Machine* machine = nullptr;
  std::unique_ptr<TForm1> form;

  TForm1& start() {
    machine = &image.open();
    form = std::make_unique<TForm1>(*machine, view);
    form->FormCreate();
    form->BitBtn1Click();
    return *form;
  }
  // Selects the row of the caption alone, as the user would.
  void select(const std::string& caption) {
    for (size_t row = 0; row < form->ListView1.Count(); ++row)
      form->ListView1SelectItem(row, form->ListView1.Text(row, 0) == caption);
    ASSERT_EQ(form->ListView1.SelectedCount(), 1u) << caption;
  }
  // Selects the row of the caption and removes it, answering the question.
  void remove(const std::string& caption, bool answer = true) {
    select(caption);
    view.answers.push_back(answer);
    form->Remove1Click();
  }
  // A key by its full name, "HKEY_LOCAL_MACHINE\\...".
  bool key(const std::string& name) {
    const std::string root = "HKEY_LOCAL_MACHINE";
    EXPECT_EQ(name.rfind(root, 0), 0u) << name;
    return machine->registry().keyExists(RegRoot::LocalMachine, name.substr(root.size()));
  }
  bool file(const std::string& path) { return machine->files().exists(path); }
  bool memoHas(const std::string& line) const {
    return std::find(form->Memo1.begin(), form->Memo1.end(), line) != form->Memo1.end();
  }
  std::vector<std::string> toolRuns() const {
    std::vector<std::string> runs;
    for (const auto& line : image.actions())
      if (line.find("devunmnt") != std::string::npos) runs.push_back(line);
    return runs;
  }
};

// The NT image with Orvik Net and Quillon Scan listed.
struct NtRemoval : RemovalWindow {
  NtRemoval() {
    image.registry("c.reg", driver("{A}", "0000", orvikValues()) +
                                driver("{B}", "0000", {{"DriverDesc", "Quillon Scan"}, {"InfPath", "oem2.inf"}}));
    plantDrivers(image);
    start();
  }
};

TEST(RemoveDriver, NothingSelectedAsksForASelection) {
  NtRemoval w;
  const size_t listChanges = w.view.entries("list: ").size();
  w.form->Remove1Click();
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Please first select the troublesome driver you want to remove."));
  EXPECT_EQ(w.view.entries("list: ").size(), listChanges) << "no collection of its own";

  RemovalWindow empty;
  empty.start().Remove1Click();
  EXPECT_THAT(empty.view.entries("message: "),
              ElementsAre("Please first select the troublesome driver you want to remove."));
  EXPECT_TRUE(empty.memoHas("The above shows the drivers you need to backup now.")) << "an empty list: Fast Collect runs";
}

TEST(RemoveDriver, NoAnswerChangesNothing) {
  NtRemoval w;
  w.select(kOrvik);
  const auto memo = w.form->Memo1;
  w.remove(kOrvik, false);
  EXPECT_THAT(w.view.entries("caption: "), ElementsAre("Confirmation"));
  EXPECT_THAT(w.view.entries("ask: "), ElementsAre("Are you sure that you are to remove the driver for \"Orvik Net\" ?"));
  EXPECT_TRUE(w.key(kNTClassKey + "\\{A}\\0000"));
  for (const char* path : {"C:\\WINDOWS\\inf\\oem1.inf", "C:\\WINDOWS\\system32\\drivers\\orvnet.sys",
                           "C:\\WINDOWS\\system32\\orvhelp.dll"})
    EXPECT_TRUE(w.file(path)) << path;
  EXPECT_THAT(w.image.actions(), IsEmpty());
  EXPECT_FALSE(w.file("C:\\WINDOWS\\devunmnt.exe"));
  EXPECT_FALSE(w.file("C:\\Korvane"));
  EXPECT_EQ(w.form->Memo1, memo);
  EXPECT_THAT(w.view.entries("message: "), IsEmpty());
}

TEST(RemoveDriver, NtRunsTheCarriedToolWithTheUpperCasedId) {
  NtRemoval w;
  w.remove(kOrvik);
  EXPECT_THAT(w.toolRuns(),
              ElementsAre("execute\topen\t\"C:\\WINDOWS\\devunmnt.exe\"\t\"PCI\\VEN_ABCD&DEV_0001\"\tC:\\WINDOWS\t5"));
  const auto tool = w.machine->files().readFile("C:\\WINDOWS\\devunmnt.exe");
  ASSERT_TRUE(tool);
  EXPECT_EQ(tool->substr(0, 2), "MZ") << "the carried removal program";
  EXPECT_THAT(w.view.entries("status: "), Contains("Collecting necessary information ..........."));
}

TEST(RemoveDriver, Windows95FamilyRunsNoToolAndUsesItsOwnFolders) {
  RemovalWindow w;
  w.image.set("Version", "Platform", "1").set("Version", "Major", "4").set("Version", "Minor", "10");
  w.image.registry("c.reg", regKey(std::string(k9xClassKey) + "\\Net\\0000", orvikValues()));
  plantDrivers(w.image, "WINDOWS\\System");
  w.start();
  w.remove(kOrvik);
  EXPECT_THAT(w.toolRuns(), IsEmpty());
  EXPECT_FALSE(w.file("C:\\WINDOWS\\devunmnt.exe"));
  EXPECT_FALSE(w.key(std::string(k9xClassKey) + "\\Net\\0000"));
  EXPECT_TRUE(w.key(std::string(k9xClassKey) + "\\Net"));
  EXPECT_FALSE(w.file("C:\\WINDOWS\\System\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.file("C:\\Korvane\\Removed\\Orvik Net\\C\\WINDOWS\\System\\drivers\\orvnet.sys"));
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Removed successfully!"));
}

TEST(RemoveDriver, DeletesOnlyInstancesWithTheInfAndTheExactDescription) {
  RemovalWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", orvikValues()) +
                                driver("{A}", "0001", {{"DriverDesc", kOrvik}}) +         // no InfPath
                                driver("{A}", "0002", {{"InfPath", "oem7.inf"}}) +       // no DriverDesc
                                driver("{A}", "0003", {{"DriverDesc", "orvik net"}, {"InfPath", "oem8.inf"}}) +
                                driver("{C}", "0000", orvikValues("oem9.inf")) +          // the same driver in another class
                                regKey(kNTClassKey + "\\{C}\\0000\\Ndi", {{"Service", "orvnet"}}));
  plantDrivers(w.image);
  w.start();
  w.remove(kOrvik);
  EXPECT_FALSE(w.key(kNTClassKey + "\\{A}\\0000"));
  EXPECT_FALSE(w.key(kNTClassKey + "\\{C}\\0000")) << "sub-keys and all";
  EXPECT_TRUE(w.key(kNTClassKey + "\\{A}\\0001"));
  EXPECT_TRUE(w.key(kNTClassKey + "\\{A}\\0002"));
  EXPECT_TRUE(w.key(kNTClassKey + "\\{A}\\0003")) << "descriptions compare with case";
  EXPECT_TRUE(w.memoHas("Registry key deleted: " + kNTClassKey + "\\{A}\\0000"));
  EXPECT_TRUE(w.memoHas("Registry key deleted: " + kNTClassKey + "\\{C}\\0000"));
  EXPECT_FALSE(w.memoHas("Registry key deleted: " + kNTClassKey + "\\{A}\\0001"));
  // The list is collected again: the driver is gone from it.
  for (size_t row = 0; row < w.form->ListView1.Count(); ++row) EXPECT_NE(w.form->ListView1.Text(row, 0), kOrvik);
}

TEST(RemoveDriver, FilesOnlyThisDriverUsesGoToTheUndoFolder) {
  NtRemoval w;
  w.remove(kOrvik);
  const std::string undo = "C:\\Korvane\\Removed\\Orvik Net";
  // As the search names them: the folders as the program builds them, the files as the INF does.
  const std::vector<std::string> removed = {"C:\\WINDOWS\\Inf\\oem1.inf", "C:\\WINDOWS\\System32\\drivers\\orvnet.sys",
                                            "C:\\WINDOWS\\System32\\orvhelp.dll",
                                            "C:\\WINDOWS\\System32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\orvnet.cat"};
  for (const auto& path : removed) {
    EXPECT_FALSE(w.file(path)) << path;
    EXPECT_TRUE(w.file(undo + "\\C" + path.substr(2))) << path << " can be put back";
    EXPECT_TRUE(w.memoHas("File deleted: " + path)) << path;
  }
  EXPECT_EQ(w.machine->files().readFile(undo + "\\C\\WINDOWS\\system32\\drivers\\orvnet.sys"), "orvnet driver");
  EXPECT_TRUE(w.file("C:\\WINDOWS\\system32\\shared.dll"));
  EXPECT_TRUE(w.memoHas("File kept, another driver uses it: C:\\WINDOWS\\System32\\shared.dll"));
  EXPECT_TRUE(w.file("C:\\Program Files\\Orvik\\readme.txt"));
  EXPECT_TRUE(w.memoHas("File kept, it is not in a Windows driver folder: C:\\Program Files\\Orvik\\readme.txt"));
  EXPECT_TRUE(w.memoHas("The deleted files are kept in " + undo + ", each under its old path."));
  EXPECT_EQ(w.form->Memo1.front(), "Removal of the driver for \"Orvik Net\":");
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Removed successfully!"));
  EXPECT_FALSE(w.form->Control("Button1").Visible) << "the destination panel is closed";
  EXPECT_TRUE(w.form->DriverFileList.empty());
}

TEST(RemoveDriver, UndoFolderIsBelowTheBackupAllFolderAndNewForEachRemoval) {
  RemovalWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", orvikValues()));
  plantDrivers(w.image);
  w.image.file("Saved\\Removed\\Orvik Net\\earlier.txt", "an earlier removal");
  w.start();
  w.form->BackupAllFolder = "C:\\Saved";
  w.remove(kOrvik);
  EXPECT_TRUE(w.file("C:\\Saved\\Removed\\Orvik Net (2)\\C\\WINDOWS\\system32\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.file("C:\\Saved\\Removed\\Orvik Net\\earlier.txt"));
  EXPECT_FALSE(w.file("C:\\Korvane\\Removed"));
}

TEST(RemoveDriver, AnInfThatAnotherInstanceStillUsesIsKept) {
  RemovalWindow w;
  // A second device set up from the same INF, under another description.
  w.image.registry("c.reg", driver("{A}", "0000", orvikValues()) +
                                driver("{A}", "0001", {{"DriverDesc", "Orvik Net #2"}, {"InfPath", "OEM1.INF"}}));
  plantDrivers(w.image);
  w.start();
  w.remove(kOrvik);
  EXPECT_TRUE(w.file("C:\\WINDOWS\\inf\\oem1.inf"));
  EXPECT_TRUE(w.file("C:\\WINDOWS\\system32\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.memoHas("File kept, another driver uses it: C:\\WINDOWS\\System32\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.key(kNTClassKey + "\\{A}\\0001"));
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Removed successfully!"));
}

TEST(RemoveDriver, MissingInfEndsAfterTheRegistryStage) {
  RemovalWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", orvikValues("gone.inf")));
  plantDrivers(w.image);
  w.start();
  w.remove(kOrvik);
  EXPECT_FALSE(w.key(kNTClassKey + "\\{A}\\0000"));
  EXPECT_TRUE(w.file("C:\\WINDOWS\\system32\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.memoHas("The INF file of this driver was not found, so no files were deleted."));
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre("The driver's registry keys were removed.\n"
                          "The INF file of this driver was not found, so no files were deleted."));
  EXPECT_FALSE(w.form->Control("Button1").Visible);
}

TEST(RemoveDriver, StopDuringTheSearchDeletesNoFile) {
  NtRemoval w;
  w.view.onPump = [&w] { w.form->Stop1Click(); };
  w.remove(kOrvik);
  EXPECT_FALSE(w.key(kNTClassKey + "\\{A}\\0000"));
  EXPECT_TRUE(w.file("C:\\WINDOWS\\system32\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.file("C:\\WINDOWS\\inf\\oem1.inf"));
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre("The driver was not removed completely:\n"
                          "The search for the driver's files was stopped, so no files were deleted."));
  EXPECT_TRUE(w.form->RestoreState().LastRemovalIncomplete) << "the console program exits with a failure then";
}

TEST(RemoveDriver, FailuresAreReportedInsteadOfSuccess) {
  RemovalWindow w;
  auto values = orvikValues();
  values["MatchingDeviceID"] = "pci\\\\ven_abcd\\\" /evil";  // a quote would end the tool's parameter
  w.image.registry("c.reg", driver("{A}", "0000", values));
  plantDrivers(w.image);
  w.image.file("Korvane", "a file where the undo folder would go");
  w.start();
  w.remove(kOrvik);
  EXPECT_THAT(w.toolRuns(), IsEmpty());
  EXPECT_FALSE(w.key(kNTClassKey + "\\{A}\\0000"));
  EXPECT_TRUE(w.file("C:\\WINDOWS\\system32\\drivers\\orvnet.sys"));
  EXPECT_TRUE(w.memoHas("File could not be deleted: C:\\WINDOWS\\System32\\drivers\\orvnet.sys"));
  const auto messages = w.view.entries("message: ");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("The driver was not removed completely:\n"
                              "The device removal tool could not be started for the hardware ID pci\\ven_abcd\" /evil.\n"
                              "File could not be deleted: ",
                              0),
            0u)
      << messages[0];
  EXPECT_THAT(messages, Not(Contains("Removed successfully!")));
}

TEST(RemoveDriver, EveryEntryPointRemovesTheFirstSelectedRow) {
  NtRemoval w;
  w.form->ListView1SelectItem(0, true);
  w.form->ListView1SelectItem(1, true);
  w.view.answers = {false, false, false};
  w.form->Removethedriver1Click();
  w.form->SpeedButton2Click();
  EXPECT_TRUE(w.form->Click("Remove1"));
  const std::string question = "Are you sure that you are to remove the driver for \"" + w.form->ListView1.Text(0, 0) + "\" ?";
  EXPECT_THAT(w.view.entries("ask: "), ElementsAre(question, question, question));
}

}  // namespace
}  // namespace korvane::test
