// Opening machine images: what is missing or broken is named.
#include <gtest/gtest.h>

#include "platform/image/ImageMachine.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

std::string openError(const std::filesystem::path& folder) {
  std::string error;
  EXPECT_EQ(openImageMachine(folder, error), nullptr);
  return error;
}

TEST(ImageMachine, MissingFolderOrMachineIniIsNamed) {
  TempDir host;
  EXPECT_NE(openError(host.path() / "nope").find("nope"), std::string::npos);
  EXPECT_NE(openError(host.path()).find("machine.ini"), std::string::npos);
}

TEST(ImageMachine, DriveMappedToMissingFolderIsNamed) {
  TempDir host;
  writeHostFile(host.path() / "machine.ini", "[Drives]\nC=drive_c\n");
  EXPECT_NE(openError(host.path()).find("drive_c"), std::string::npos);
  writeHostFile(host.path() / "machine.ini", "[Version]\nPlatform=2\n");
  EXPECT_NE(openError(host.path()).find("[Drives]"), std::string::npos);
}

TEST(ImageMachine, BrokenRegistryFileFailsTheWholeOpen) {
  ImageBuilder image;
  image.registry("a.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Good]\r\n\"x\"=\"1\"\r\n");
  writeHostFile(image.root() / "registry/b.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"broken=\r\n");
  std::string error;
  image.set("System", "ComputerName", "X");
  EXPECT_THROW(image.open(), std::runtime_error);
  const auto machine = openImageMachine(image.root(), error);
  EXPECT_EQ(machine, nullptr);
  EXPECT_NE(error.find("b.reg"), std::string::npos) << error;
}

TEST(ImageMachine, SystemFactsComeFromMachineIni) {
  ImageBuilder image;
  image.set("System", "ProcessorArchitecture", "0").set("System", "ProcessorLevel", "6");
  image.set("Version", "ProductType", "");
  Machine& machine = image.open();
  const auto version = machine.system().version();
  ASSERT_TRUE(version);
  EXPECT_EQ(version->build, 2600u);
  EXPECT_EQ(version->csd, "Service Pack 3");
  EXPECT_FALSE(machine.system().productType()) << "no extended record";
  EXPECT_EQ(machine.system().defaultLanguageId(), 0x0409);
  EXPECT_EQ(machine.environment().get("WINDIR").value_or(""), "C:\\WINDOWS") << "names ignore case";
  EXPECT_FALSE(machine.environment().get("NOPE"));
  EXPECT_EQ(machine.files().tempPath(), "C:\\TEMP\\");
}

TEST(ImageMachine, ProgramsStartedThroughTheShellAreRecordedNotRun) {
  ImageBuilder image;
  Machine& machine = image.open();
  EXPECT_TRUE(machine.shell().execute("open", "\"C:\\WINDOWS\\devmount.exe\"", "\"C:\\B\\x.inf\" \"PCI\\V\"",
                                      "C:\\B", 5));
  EXPECT_TRUE(machine.shell().execute("open", "rundll32.exe", "", "", 5));
  EXPECT_EQ(image.actions(),
            (std::vector<std::string>{"execute\topen\t\"C:\\WINDOWS\\devmount.exe\"\t\"C:\\B\\x.inf\" \"PCI\\V\"\tC:\\B\t5",
                                      "execute\topen\trundll32.exe\t\t\t5"}));
}

}  // namespace
}  // namespace korvane::test
