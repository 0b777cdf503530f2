// Start-up and shutdown of the main window: version name, language, settings,
// system details, temporary files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/StartUp.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;

VersionRecord record(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build, std::string csd = "") {
  return VersionRecord{platform, major, minor, build, std::move(csd)};
}

TEST(VersionIndex, FollowsTheVersionTable) {
  EXPECT_EQ(WindowsVersionIndex(record(platformWin32s, 3, 11, 0), false), 0);
  // 95 family: the minor version comes from bits 16-23 of the build number.
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 0, 0x040003B6), false), 1);
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 0, 0x04000457, " C"), false), 2);
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 0, 0x04000457, "C"), false), 2);
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 0, 0x04000457, "  C"), false), 1);
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 10, 0x040A07CE), false), 3);
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 10, 0x040A08AE, " A "), false), 4);
  EXPECT_EQ(WindowsVersionIndex(record(platformWindows, 4, 90, 0x045A0BB8), false), 5);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 4, 0, 1381), false), 6);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 4, 0, 1381), true), 7);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 5, 0, 2195), false), 8);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 5, 0, 2195), true), 9);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 5, 1, 2600), false), 10);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 5, 1, 2600), true), 11);
  EXPECT_EQ(WindowsVersionIndex(record(platformNT, 6, 1, 7601), false), 10);
  EXPECT_EQ(WindowsVersionIndex(std::nullopt, false), 10);
}

TEST(VersionName, CorrectionKeepsOnlyMe2000AndXpNames) {
  EXPECT_EQ(CorrectedOsName("Microsoft Windows XP", "Windows NT"), "Microsoft Windows XP");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows XP Server", "Windows NT"), "Microsoft Windows XP Server");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows 2000 Server", "Windows NT"), "Microsoft Windows 2000 Server");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows Me", "Windows 98"), "Microsoft Windows Me");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows 98 Second Edition", "Windows 98"), "Microsoft Windows 98");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows 95 OSR2", "Windows 95"), "Microsoft Windows 95");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows NT Server", "Windows NT"), "Microsoft Windows NT");
  EXPECT_EQ(CorrectedOsName("Microsoft Windows 3.11", "Windows 3.1"), "Microsoft Windows 3.1");
}

TEST(LanguageDetection, EveryCodeOfTheTable) {
  EXPECT_EQ(LanguageFromCode("040C"), "French");
  EXPECT_EQ(LanguageFromCode("0C0C"), "French");
  EXPECT_EQ(LanguageFromCode("040c"), "French") << "the primary language is compared upper-cased";
  EXPECT_EQ(LanguageFromCode("080A"), "Spanish");
  EXPECT_EQ(LanguageFromCode("0C0A"), "Spanish");
  EXPECT_EQ(LanguageFromCode("0419"), "Russian");
  EXPECT_EQ(LanguageFromCode("0804"), "Chinese");
  EXPECT_EQ(LanguageFromCode("1004"), "Chinese");
  EXPECT_EQ(LanguageFromCode("0404"), "Chinese(Taiwan Province)");
  EXPECT_EQ(LanguageFromCode("0409"), "English");
  EXPECT_EQ(LanguageFromCode("0407"), "English");
  EXPECT_EQ(LanguageFromCode(""), "English");
}

std::string installLanguage(const std::string& code) {
  return regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", {{"InstallLanguage", code}});
}

TEST(StartUp, LanguageFromInstallLanguageWithoutSettings) {
  const std::pair<const char*, const char*> cases[] = {{"040C", "French"},  {"0C0C", "French"},
                                                       {"0419", "Russian"}, {"080A", "Spanish"},
                                                       {"0804", "Chinese"}, {"0404", "Chinese(Taiwan Province)"},
                                                       {"0409", "English"}};
  for (const auto& [code, language] : cases) {
    StartedWindow w;
    w.image.registry("lang.reg", installLanguage(code));
    TForm1& form = w.start();
    EXPECT_EQ(form.CurrentLanguage, language) << code;
    const bool chinese = std::string(language).find("Chinese") != std::string::npos;
    EXPECT_EQ(form.Control("Chinese1").Visible, chinese) << code;
    EXPECT_EQ(form.Control("ChineseTW").Visible, chinese) << code;
  }
}

TEST(StartUp, MissingLanguageValueMeansEnglish) {
  StartedWindow w;
  TForm1& form = w.start();
  EXPECT_EQ(form.CurrentLanguage, "English");
  EXPECT_TRUE(form.Control("English1").Checked);
  EXPECT_FALSE(form.Control("French1").Checked) << "start-up replaces the stored check mark";
}

TEST(StartUp, SettingsLanguageWinsOverSystemCode) {
  StartedWindow w;
  w.image.registry("lang.reg", installLanguage("0404"));
  w.image.file("WINDOWS\\Korvane.ini", "[Interface]\r\nLanguage=Spanish\r\n");
  TForm1& form = w.start();
  EXPECT_EQ(form.CurrentLanguage, "Spanish");
  EXPECT_FALSE(form.Control("Chinese1").Visible);
  EXPECT_FALSE(form.Control("ChineseTW").Visible);
  EXPECT_TRUE(form.Control("Spanish1").Checked);
}

TEST(StartUp, Windows95FamilyTakesTheCodeFromTheDefaultLocale) {
  StartedWindow w;
  w.image.set("Version", "Platform", "1").set("Version", "Major", "4").set("Version", "Minor", "10");
  w.image.set("Version", "Build", "0x040A08AE").set("Version", "ServicePack", " A ").set("Version", "ProductType", "");
  w.image.registry("users.reg", regKey("HKEY_USERS\\.DEFAULT\\Control Panel\\International", {{"Locale", "00000419"}}) +
                                    installLanguage("0409"));
  TForm1& form = w.start();
  EXPECT_EQ(form.CurrentLanguage, "Russian");
  EXPECT_EQ(form.OsName, "Microsoft Windows 98");
}

TEST(StartUp, SystemDetailsLinesInEnglish) {
  StartedWindow w;
  w.image.set("System", "ComputerName", "OFFICE-PC").set("System", "UserName", "anna");
  TForm1& form = w.start();
  EXPECT_THAT(form.Memo1, ElementsAre("Operating System: Microsoft Windows XP", "Service Packed: Service Pack 3",
                                      "Build Numbered: 2600", "Local Language: English (United States)",
                                      "Computer Name: OFFICE-PC", "System Directory: C:\\WINDOWS",
                                      "Current User: anna"));
}

TEST(StartUp, ServerNameFromExtendedRecordOrRegistry) {
  {
    StartedWindow w;
    w.image.set("Version", "Minor", "0").set("Version", "Build", "2195").set("Version", "ProductType", "3");
    EXPECT_EQ(w.start().OsName, "Microsoft Windows 2000 Server");
  }
  {
    // No extended record: ProductOptions decides.
    StartedWindow w;
    w.image.set("Version", "ProductType", "");
    w.image.registry("p.reg", regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                                     {{"ProductType", "WinNT"}}));
    EXPECT_EQ(w.start().OsName, "Microsoft Windows XP");
  }
  {
    StartedWindow w;
    w.image.set("Version", "ProductType", "");
    w.image.registry("p.reg", regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                                     {{"ProductType", "LanmanNT"}}));
    EXPECT_EQ(w.start().OsName, "Microsoft Windows XP Server");
  }
  {
    StartedWindow w;
    w.image.set("Version", "ProductType", "");
    w.image.registry("p.reg", regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                                     {{"ProductType", "WinNT"}, {"SuiteMask", "x"}}));
    EXPECT_EQ(w.start().OsName, "Microsoft Windows XP Server");
  }
}

// A hand-edited settings file: the six names in any case, anything else falls
// back to the system's language; shutdown writes the name back as it should be.
TEST(StartUp, SettingsLanguageInAnyCaseOrUnknown) {
  const std::pair<const char*, const char*> cases[] = {
      {"english", "English"}, {"FRENCH", "French"}, {"chinese(taiwan province)", "Chinese(Taiwan Province)"},
      {"Klingon", "Russian"}, {"Englishh", "Russian"}, {"", "Russian"}};
  for (const auto& [stored, language] : cases) {
    StartedWindow w;
    w.image.registry("lang.reg", installLanguage("0419"));
    w.image.file("WINDOWS\\Korvane.ini", std::string("[Interface]\r\nLanguage=") + stored + "\r\n");
    TForm1& form = w.start();
    EXPECT_EQ(form.CurrentLanguage, language) << stored;
    ASSERT_EQ(form.Memo1.size(), 7u) << stored << ": the system details are written";
    const Lang lang = *languageOf(language);
    EXPECT_EQ(form.Memo1[0], std::string(message(Msg::SysOperatingSystem, lang)) + "Microsoft Windows XP") << stored;
    ASSERT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(w.image.reopen()->profiles().readString("Korvane.ini", "Interface", "Language", "?"), language);
  }
}

TEST(Settings, DefaultsAndTrailingBackslash) {
  StartedWindow w;
  w.image.file("WINDOWS\\Korvane.ini", "[Folder]\r\nBackup=D:\\Drivers\\\r\n");
  TForm1& form = w.start();
  EXPECT_EQ(form.BackupFolder, "D:\\Drivers");
  EXPECT_EQ(form.BackupAllFolder, "C:\\Korvane");
  EXPECT_EQ(form.AutoProxy, "Oui");
  EXPECT_EQ(form.WC1.Proxy, "") << "the system's connection settings apply";
  EXPECT_EQ(form.InfFolder, "C:\\WINDOWS\\Inf\\");
  EXPECT_EQ(form.OemInfFolder, "C:\\WINDOWS\\Inf\\Other\\");
  ASSERT_TRUE(form.FormCloseQuery());

  auto again = w.image.reopen();
  ProfileFiles& ini = again->profiles();
  EXPECT_EQ(ini.readString("Korvane.ini", "Folder", "Backup", "?"), "D:\\Drivers");
  EXPECT_EQ(ini.readString("Korvane.ini", "Folder", "BackupAll", "?"), "C:\\Korvane");
  EXPECT_EQ(ini.readString("Korvane.ini", "Proxy", "AutoProxy", "?"), "Oui");
  EXPECT_EQ(ini.readString("Korvane.ini", "Interface", "Language", "?"), "English");
  EXPECT_EQ(ini.readString("Korvane.ini", "Proxy", "Address", "?"), "") << "empty values are written too";
}

TEST(Settings, ManualProxyIsHandedToTheTransferComponent) {
  StartedWindow w;
  w.image.file("WINDOWS\\Korvane.ini",
               "[Proxy]\r\nAddress=10.0.0.1\r\nPort=8080\r\nAuthLoginName=me\r\nAuthPassword=pw\r\nAutoProxy=Non\r\n");
  TForm1& form = w.start();
  EXPECT_EQ(form.WC1.Proxy, "10.0.0.1:8080");
  EXPECT_EQ(form.WC1.ProxyUserID, "me");
  EXPECT_EQ(form.WC1.ProxyPassword, "pw");
}

TEST(Settings, ManualProxyWithoutAddressIsTheColonAlone) {
  StartedWindow w;
  w.image.file("WINDOWS\\Korvane.ini", "[Proxy]\r\nAutoProxy=Non\r\n");
  EXPECT_EQ(w.start().WC1.Proxy, ":");
}

TEST(Shutdown, StopsWritesSettingsAndDeletesTemporaryFiles) {
  StartedWindow w;
  w.image.file("WINDOWS\\devmount.exe", "MZ").file("WINDOWS\\INF\\MsSetup6.cab", "MSCF").file("WINDOWS\\keep.txt", "x");
  TForm1& form = w.start();
  form.ListView1.Visible = true;
  ASSERT_TRUE(form.FormCloseQuery());
  EXPECT_TRUE(form.StopRequested);
  auto again = w.image.reopen();
  FileSystem& files = again->files();
  EXPECT_FALSE(files.exists("C:\\WINDOWS\\devmount.exe"));
  EXPECT_FALSE(files.exists("C:\\WINDOWS\\INF\\MsSetup6.cab"));
  EXPECT_TRUE(files.exists("C:\\WINDOWS\\keep.txt"));
  EXPECT_TRUE(files.exists("C:\\WINDOWS\\Korvane.ini"));
}

TEST(Shutdown, UnwritableSettingsFileIsReportedAndTheWindowStaysOpen) {
  StartedWindow w;
  TForm1& form = w.start();
  // A folder where the settings file should be: nothing can be written there.
  std::filesystem::create_directories(w.image.root() / "drive_c/WINDOWS/Korvane.ini");
  EXPECT_FALSE(form.FormCloseQuery());
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Unable to write to C:\\WINDOWS\\Korvane.ini"));
}

}  // namespace
}  // namespace korvane::test
