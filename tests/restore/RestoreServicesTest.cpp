// The restore and removal services on their own, where a backup folder or a
// driver's file list is odd or hostile: paths too deep for Windows, folders
// that only look like the Windows folder, broken descriptors, file names
// that differ only in case or lie next to a driver folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "restore/BackupFolderScan.h"
#include "restore/DriverBackup.h"
#include "restore/DriverRemoval.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(BackupFolderScan, StopsBelowPathsTooLongForWindowsAndKeepsWhatLiesAbove) {
  ImageBuilder image;
  const std::string level(40, 'd');
  std::string deep = "B";
  for (int k = 0; k < 8; ++k) deep += "\\" + level;  // ends past 260 characters
  image.file("B\\top.inf", "inf").file(deep + "\\lost.sys", "out of reach");
  Machine& machine = image.open();
  std::vector<std::string> reached;
  std::vector<ScanEntry> list;
  ScanFolderTree(machine.files(), "C:\\B\\", "*.*", {[&](const std::string& folder) { reached.push_back(folder); }, {}},
                 list);
  ASSERT_FALSE(reached.empty());
  for (const auto& folder : reached) EXPECT_LT(folder.size(), 260u) << folder;
  EXPECT_EQ(reached.back(), "C:\\B\\");
  const std::vector<std::string> files = FilesToRestore(machine.files(), list);
  EXPECT_THAT(files, ElementsAre("C:\\B\\top.inf")) << "folders are entries of the scan, never files to restore";
}

TEST(BackupFolderScan, OnlyTheWindowsFolderItsParentsAndItsInsideAreSystemFolders) {
  for (const std::string folder : {"C:\\WINDOWS", "c:\\windows\\", "C:\\Windows\\Inf", "C:\\", "C:"})
    EXPECT_TRUE(IsSystemFolderTree("C:\\WINDOWS", folder)) << folder;
  for (const std::string folder : {"C:\\WINDOWS.OLD", "C:\\WINDOWS2\\Inf", "D:\\", "C:\\Korvane", "D:\\WINDOWS"})
    EXPECT_FALSE(IsSystemFolderTree("C:\\WINDOWS", folder)) << folder;
  EXPECT_FALSE(IsSystemFolderTree("", "C:\\")) << "no Windows folder known: nothing to protect against";
}

TEST(DriverBackup, BrokenDescriptorsNeverReachTheTool) {
  struct Case {
    std::string setupDiy;  // empty: a folder of that name
    BackupDescriptor expected;
  };
  for (const auto& [setupDiy, expected] : std::vector<Case>{
           {"", BackupDescriptor::None},                                  // Setup.DIY is a folder
           {"PCI\\VEN_1\tX\r\nx.inf\r\n", BackupDescriptor::None},        // a control character in the ID
           {"PCI\\VEN_1\r\n..\r\n", BackupDescriptor::InfMissing},        // the INF name leaves the folder
           {"PCI\\VEN_1\r\nx.inf\"\r\n", BackupDescriptor::InfMissing},   // a quote in the INF name
           {"PCI\\VEN_1\r\nC:x.inf\r\n", BackupDescriptor::InfMissing},   // a drive-relative name
           {"PCI\\VEN_1\r\nX.INF\r\n", BackupDescriptor::Usable}}) {
    ImageBuilder image;
    image.file("B\\x.inf", "inf");
    if (setupDiy.empty())
      image.file("B\\Setup.DIY\\inside.txt", "");
    else
      image.file("B\\Setup.DIY", setupDiy);
    const DriverBackupCheck check = CheckDriverBackup(image.open(), "C:\\B");
    EXPECT_EQ(check.state, expected) << setupDiy;
  }
}

// The removal only takes files that lie directly in a driver folder, once each.
TEST(DriverRemoval, FilesNextToOrBelowADriverFolderAndRepeatedNamesAreHeldBack) {
  ImageBuilder image;
  image.file("WINDOWS\\inf\\oem2.inf", "[Version]\r\n[SourceDisksFiles]\r\nSHARED.DLL=1\r\n");
  Machine& machine = image.open();
  const RemovalFolders folders{SearchFolders{"C:\\WINDOWS", true, "C:\\WINDOWS\\Inf\\"}, "C:\\WINDOWS\\Inf\\Other\\"};
  const RemovalChoice choice = ChooseFilesToRemove(
      machine, folders,
      {"C:\\WINDOWS\\system32\\drivers\\orvnet.sys", "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\ORVNET.SYS",
       "C:\\WINDOWS\\system32\\drivers2\\orvnet.sys", "C:\\WINDOWS\\system32\\drivers\\sub\\orvnet.sys",
       "C:\\WINDOWS\\system32\\shared.dll", "C:\\WINDOWS\\Inf\\oem1.inf"},
      {"oem2.inf"}, {});
  EXPECT_THAT(choice.chosen, ElementsAre("C:\\WINDOWS\\system32\\drivers\\orvnet.sys", "C:\\WINDOWS\\Inf\\oem1.inf"));
  EXPECT_THAT(choice.outside, ElementsAre("C:\\WINDOWS\\system32\\drivers2\\orvnet.sys",
                                          "C:\\WINDOWS\\system32\\drivers\\sub\\orvnet.sys"));
  EXPECT_THAT(choice.shared, ElementsAre("C:\\WINDOWS\\system32\\shared.dll")) << "names compare without case";
}

TEST(DriverRemoval, AnInfThatIsStillUsedIsKeptWhateverItsCase) {
  ImageBuilder image;
  Machine& machine = image.open();
  const RemovalFolders folders{SearchFolders{"C:\\WINDOWS", true, "C:\\WINDOWS\\Inf\\"}, "C:\\WINDOWS\\Inf\\Other\\"};
  const RemovalChoice choice =
      ChooseFilesToRemove(machine, folders, {"C:\\WINDOWS\\Inf\\oem1.inf"}, {"OEM1.INF"}, {});
  EXPECT_THAT(choice.chosen, IsEmpty());
  EXPECT_THAT(choice.shared, ElementsAre("C:\\WINDOWS\\Inf\\oem1.inf"));
}

}  // namespace
}  // namespace korvane::test
