// Opening machine images: what is missing or broken is named; the image's
// clock, locale formats and network shares.
#include <gtest/gtest.h>

#include <ctime>

#include "platform/image/ImageClock.h"
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

TEST(ImageMachine, ClockStartsWhereMachineIniSaysAndTestsMoveIt) {
  ImageBuilder image;
  image.set("Clock", "Now", "2026-12-10 13:45:00").set("Clock", "Ticks", "5000").set("Clock", "Stopped", "1");
  Machine& machine = image.open();
  const double tenthOfDecember = 46366;  // days since 30 December 1899
  EXPECT_DOUBLE_EQ(machine.clock().now(), tenthOfDecember + (13 * 60 + 45) / 1440.0);
  EXPECT_EQ(machine.clock().tickMilliseconds(), 5000u);
  auto& clock = dynamic_cast<ImageClock&>(machine.clock());
  clock.advance(90 * 1000);
  EXPECT_EQ(machine.clock().tickMilliseconds(), 95000u);
  EXPECT_DOUBLE_EQ(machine.clock().now(), tenthOfDecember + (13 * 60 + 46.5) / 1440.0);
  clock.stopAt(1.25, 7);
  EXPECT_EQ(machine.clock().now(), 1.25);
  EXPECT_EQ(machine.clock().tickMilliseconds(), 7u);

  for (const char* wrong : {"2026-02-30", "2026-12-10 24:00:00", "10/12/2026", "2026-12-10 13:45:00x"}) {
    image.set("Clock", "Now", wrong);
    EXPECT_THROW(image.open(), std::runtime_error) << wrong;
  }
}

TEST(ImageMachine, RunningClockMovesOnFromTheHostTime) {
  ImageBuilder image;
  Machine& machine = image.open();
  const uint64_t before = machine.clock().tickMilliseconds();
  const double hostDays = 25569 + std::time(nullptr) / 86400.0;
  EXPECT_NEAR(machine.clock().now(), hostDays, 1.0 / 1440) << "within a minute of the host's UTC time";
  EXPECT_GE(machine.clock().tickMilliseconds(), before);
}

TEST(ImageMachine, LocaleFormatsComeFromTheUserRegistryWithWindowsDefaults) {
  ImageBuilder plain;
  const LocaleFormats defaults = plain.open().system().localeFormats();
  EXPECT_EQ(defaults.shortDate, "M/d/yyyy");
  EXPECT_EQ(defaults.longTime, "h:mm:ss tt");
  EXPECT_EQ(defaults.decimalSeparator, ".");

  ImageBuilder german;
  german.registry("user.reg",
                  "[HKEY_CURRENT_USER\\Control Panel\\International]\r\n\"sShortDate\"=\"dd.MM.yyyy\"\r\n"
                  "\"sDecimal\"=\",\"\r\n\"sTimeFormat\"=\"\"\r\n");
  const LocaleFormats formats = german.open().system().localeFormats();
  EXPECT_EQ(formats.shortDate, "dd.MM.yyyy");
  EXPECT_EQ(formats.decimalSeparator, ",");
  EXPECT_EQ(formats.longTime, "h:mm:ss tt") << "an empty value falls back to the default";
}

TEST(ImageMachine, MappedShareIsReachableOnlyWhileConnected) {
  ImageBuilder image;
  image.set("Shares", "\\\\fileserver\\drivers", "server/drivers");
  writeHostFile(image.root() / "server/drivers/Video/nv.inf", "[Version]\r\n");
  Machine& machine = image.open();
  FileSystem& files = machine.files();
  const std::string inf = "\\\\fileserver\\drivers\\video\\NV.INF";
  EXPECT_FALSE(files.exists(inf)) << "not connected yet";

  std::string error;
  ASSERT_TRUE(machine.shares().connect("\\\\FileServer\\Drivers\\", "someone", "secret", error)) << error;
  EXPECT_EQ(files.readFile(inf).value_or(""), "[Version]\r\n");
  EXPECT_EQ(files.readFile("\\\\fileserver\\drivers\\..\\..\\Video\\nv.inf").value_or(""), "[Version]\r\n")
      << "\"..\" stops at the share's root";
  EXPECT_TRUE(files.copyFile(inf, "C:\\nv.inf", true));
  EXPECT_TRUE(files.writeFile("\\\\fileserver\\drivers\\new.txt", "x"));
  EXPECT_TRUE(std::filesystem::exists(image.root() / "server/drivers/new.txt"));
  EXPECT_EQ(files.find("\\\\fileserver\\drivers\\*.txt").size(), 1u);
  ShellFileOperation recycle{foDelete, {"\\\\fileserver\\drivers\\new.txt"}, {}, fofAllowUndo | fofNoConfirmation, ""};
  EXPECT_TRUE(machine.shell().fileOperation(recycle).succeeded()) << "a share has no recycle bin";
  EXPECT_FALSE(std::filesystem::exists(image.root() / "server/drivers/new.txt"));

  ASSERT_TRUE(machine.shares().disconnect("\\\\fileserver\\drivers", false, error)) << error;
  EXPECT_FALSE(files.exists(inf));
  EXPECT_FALSE(machine.shares().disconnect("\\\\fileserver\\drivers", false, error));
  EXPECT_NE(error.find("not connected"), std::string::npos) << error;
}

TEST(ImageMachine, UnknownOrMissingShareFailsWithItsName) {
  ImageBuilder image;
  image.set("Shares", "\\\\fileserver\\gone", "server/gone");
  Machine& machine = image.open();
  std::string error;
  EXPECT_FALSE(machine.shares().connect("\\\\otherhost\\drivers", "", "", error));
  EXPECT_NE(error.find("\\\\otherhost\\drivers"), std::string::npos) << error;
  EXPECT_NE(error.find("[Shares]"), std::string::npos) << error;
  EXPECT_FALSE(machine.shares().connect("\\\\fileserver\\gone", "", "", error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_FALSE(machine.files().exists("\\\\otherhost\\drivers\\x"));
}

}  // namespace
}  // namespace korvane::test
