// Driver folder names and Setup.DIY.
#include <gtest/gtest.h>

#include "backup/DriverFolder.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

TEST(DriverFolderName, ForbiddenCharactersBecomeSpacesAndEndsAreTrimmed) {
  EXPECT_EQ(DriverFolderName("Orvik USB/Serial Bridge"), "Orvik USB Serial Bridge");
  EXPECT_EQ(DriverFolderName(" Leading and trailing?"), "Leading and trailing");
  EXPECT_EQ(DriverFolderName("a\\b:c@d^e;f*g?h\"i<j>k|l"), "a b c d e f g h i j k l");
  EXPECT_EQ(DriverFolderName("Tessaline Vistra\u2122 5200"), "Tessaline Vistra\u2122 5200");
  EXPECT_EQ(DriverFolderName("???"), "");
  EXPECT_EQ(DriverFolderName("Tab\there\x01\n"), "Tab here") << "control characters cannot be in a name";
}

TEST(DriverFolderNames, UnusableNamesFallBackToTheInfName) {
  DriverFolderNames names;
  EXPECT_EQ(names.Next("...", "oem3.inf"), "oem3");
  EXPECT_EQ(names.Next(" . . ", "oem4.inf"), "oem4");
  EXPECT_EQ(names.Next("CON", "oem5.inf"), "oem5");
  EXPECT_EQ(names.Next("lpt1.sys", "oem6.inf"), "oem6");
  EXPECT_EQ(names.Next("Nul ", "oem7.inf"), "oem7");
  EXPECT_EQ(names.Next("COM10", "x.inf"), "COM10") << "only COM1 to COM9 are devices";
  EXPECT_EQ(names.Next("?", "aux.inf"), "Driver") << "the INF name is a device too";
}

TEST(DriverFolderNames, ASecondDriverOfTheSameNameGetsItsOwnFolder) {
  DriverFolderNames names;
  EXPECT_EQ(names.Next("A/B", "a.inf"), "A B");
  EXPECT_EQ(names.Next("A?B", "b.inf"), "A B (2)");
  EXPECT_EQ(names.Next("a b", "c.inf"), "a b (3)") << "folder names ignore case";
  EXPECT_EQ(names.Next("Other", "d.inf"), "Other");
  // Windows makes "Orvik Inc." as "Orvik Inc": the two would share one folder.
  EXPECT_EQ(names.Next("Orvik Inc.", "e.inf"), "Orvik Inc");
  EXPECT_EQ(names.Next("Orvik Inc", "f.inf"), "Orvik Inc (2)");
  EXPECT_EQ(names.Next("Orvik Inc. .", "g.inf"), "Orvik Inc (3)");
}

TEST(SetupDiy, TwoLinesRoundTripAndAnEmptyHardwareId) {
  ImageBuilder image;
  Machine& machine = image.open();
  ASSERT_TRUE(machine.files().createDirectory("C:\\Backup"));
  auto rich = makeRichText(machine);
  ASSERT_TRUE(WriteSetupDiy(*rich, "C:\\Backup", {"pci\\ven_1d4e&dev_0322", "oem3.inf"}));
  auto read = ReadSetupDiy(*rich, "C:\\Backup");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->hardwareId, "pci\\ven_1d4e&dev_0322");
  EXPECT_EQ(read->infName, "oem3.inf");

  ASSERT_TRUE(WriteSetupDiy(*rich, "C:\\Backup", {"", "oem9.inf"}));
  read = ReadSetupDiy(*rich, "C:\\Backup");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->hardwareId, "");
  EXPECT_EQ(read->infName, "oem9.inf");
  EXPECT_FALSE(ReadSetupDiy(*rich, "C:\\Nowhere"));
}

}  // namespace
}  // namespace korvane::test
