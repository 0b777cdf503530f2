// System facts and environment: each machine's answers agree with each other.
#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

class SystemConformance : public ConformanceTest {
 protected:
  SystemInfo& system() { return machine().system(); }
};

TEST_F(SystemConformance, WindirIsTheWindowsFolder) {
  const auto windir = machine().environment().get("windir");
  const auto windows = system().windowsDirectory();
  ASSERT_TRUE(windir);
  ASSERT_TRUE(windows);
  EXPECT_TRUE(equalsIgnoreCase(*windir, *windows)) << *windir << " / " << *windows;
  EXPECT_TRUE(files().isDirectory(*windows));
  EXPECT_TRUE(equalsIgnoreCase(machine().environment().get("WINDIR").value_or(""), *windir))
      << "variable names ignore case";
}

TEST_F(SystemConformance, SystemFolderLiesInTheWindowsFolder) {
  const auto windows = system().windowsDirectory();
  const auto systemFolder = system().systemDirectory();
  ASSERT_TRUE(windows);
  ASSERT_TRUE(systemFolder);
  EXPECT_TRUE(equalsIgnoreCase(parentPath(*systemFolder), *windows)) << *systemFolder;
  EXPECT_TRUE(files().isDirectory(*systemFolder));
}

TEST_F(SystemConformance, TheWindowsDriveIsAPresentFixedDriveWithItsName) {
  const auto windows = system().windowsDirectory();
  ASSERT_TRUE(windows);
  const char letter = upperCase(windows->substr(0, 1)).front();
  const auto drives = system().drives();
  char previous = 0;
  bool found = false;
  for (const DriveInfo& drive : drives) {
    EXPECT_GT(drive.letter, previous) << "A to Z, each once";
    EXPECT_NE(drive.type, unsigned{dtNoRootDir}) << drive.letter;
    previous = drive.letter;
    if (drive.letter != letter) continue;
    found = true;
    EXPECT_EQ(drive.type, unsigned{dtFixed});
    EXPECT_NE(drive.displayName.find(std::string(1, letter) + ":"), std::string::npos) << drive.displayName;
  }
  EXPECT_TRUE(found) << *windows;
}

TEST_F(SystemConformance, UnsetVariableIsMissing) {
  EXPECT_FALSE(machine().environment().get("KORVANE_NO_SUCH_VARIABLE"));
}

TEST_F(SystemConformance, VersionAndNamesAreThere) {
  const auto version = system().version();
  ASSERT_TRUE(version);
  EXPECT_EQ(version->platformId, platformNT);
  EXPECT_GE(version->major, 4u);
  EXPECT_EQ(system().productType(), productWorkstation);
  EXPECT_FALSE(system().plusInstalled()) << "Plus! belongs to the 95 family";
  EXPECT_FALSE(system().computerName().value_or("").empty());
  EXPECT_FALSE(system().userName().value_or("").empty());
  EXPECT_FALSE(system().languageName(system().defaultLanguageId()).value_or("").empty());
}

TEST_F(SystemConformance, ClockAndLocaleFormatsAreThere) {
  const uint64_t before = machine().clock().tickMilliseconds();
  EXPECT_GE(machine().clock().tickMilliseconds(), before);
  EXPECT_GT(machine().clock().now(), 45000.0) << "a date after 2023";
  const LocaleFormats formats = system().localeFormats();
  EXPECT_NE(formats.shortDate.find('d'), std::string::npos) << formats.shortDate;
  EXPECT_NE(formats.longTime.find('m'), std::string::npos) << formats.longTime;
  EXPECT_EQ(formats.decimalSeparator.size(), 1u) << formats.decimalSeparator;
}

TEST_F(SystemConformance, UnknownShareFailsWithAMessage) {
  std::string error;
  EXPECT_FALSE(machine().shares().connect("\\\\kvnohost.invalid\\kvshare", "", "", error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(machine().shares().disconnect("\\\\kvnohost.invalid\\kvshare", true, error));
  EXPECT_FALSE(error.empty());
}

TEST_F(SystemConformance, ErrorModeReturnsThePreviousMode) {
  const unsigned original = system().setErrorMode(semFailCriticalErrors);
  EXPECT_EQ(system().setErrorMode(original) & semFailCriticalErrors, semFailCriticalErrors);
}

}  // namespace
}  // namespace korvane::test
