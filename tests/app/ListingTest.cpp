// Print listing and Save listing on machine images: the exact text, the
// code page it is written in, and every way the command can end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "app/AppTestSupport.h"
#include "platform/Text.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

std::map<std::string, std::string> drv(const std::string& desc, const std::string& inf, const std::string& version,
                                       const std::string& date, const std::string& provider) {
  return {{"DriverDesc", desc}, {"InfPath", inf},     {"ProviderName", provider},
          {"DriverVersion", version}, {"DriverDate", date}, {"MatchingDeviceID", "pci\\\\ven_1234"}};
}

std::string readHost(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A machine at a fixed moment with day-first dates and a 24-hour clock, and
// two drivers of other providers than Microsoft.
struct ListingWindow : StartedWindow {
  explicit ListingWindow(const std::string& drivers = driver("{A}", "0000", drv("Zeta Audio", "oem1.inf", "5.1", "1-2-2005", "Orvik")) +
                                                      driver("{B}", "0000", drv("Beta Disk", "disk.inf", "2.0", "3-4-2006", "Halden"))) {
    image.set("Clock", "Now", "2026-12-10 13:45:07");
    image.registry("drivers.reg", drivers);
    image.registry("user.reg", regKey("HKEY_CURRENT_USER\\Control Panel\\International",
                                      {{"sShortDate", "dd/MM/yyyy"}, {"sTimeFormat", "HH:mm:ss"}}));
  }
  fs::path onC(const std::string& path) const { return image.root() / "drive_c" / path; }
  TForm1& startWithFolder(const std::string& folder) {
    start().BackupAllFolder = folder;
    return *form;
  }
};

const char* const kEnglishListing =
    "Device Information Listing for tester@TESTBOX - 10/12/2026 13:45:07\r\n"
    " \r\n"
    "[Beta Disk]\r\n"
    "INF File: disk.inf\r\n"
    "Version: 2.0\r\n"
    "Date: 3-4-2006\r\n"
    "Manufacturer: Halden\r\n"
    " \r\n"
    "[Zeta Audio]\r\n"
    "INF File: oem1.inf\r\n"
    "Version: 5.1\r\n"
    "Date: 1-2-2005\r\n"
    "Manufacturer: Orvik\r\n"
    " \r\n";

TEST(SaveListing, CollectsFirstAndWritesTheExactEnglishListingIntoNewFolders) {
  ListingWindow w;
  TForm1& form = w.startWithFolder("C:\\Lists\\Deep\\Er");
  ASSERT_EQ(form.ListView1.Count(), 0u);
  form.SaveListing1Click();
  EXPECT_EQ(readHost(w.onC("Lists/Deep/Er/DeviceListing.txt")), kEnglishListing)
      << "the empty list is collected first, every missing parent made";
  EXPECT_THAT(form.Memo1, ElementsAre("OK"));
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("C:\\Lists\\Deep\\Er\\DeviceListing.txt"));
  EXPECT_FALSE(form.Control("SaveListing1").Checked);
  EXPECT_FALSE(form.CommandFailed);

  // Save mode ended with the save: the next listing goes to the printer, of which there is none.
  w.view.log.clear();
  form.Print1Click();
  EXPECT_THAT(w.view.entries("message: "), ElementsAre(HasSubstr("There is no default printer")));
  EXPECT_TRUE(form.CommandFailed);
}

TEST(SaveListing, FrenchLabelsFollowTheInterfaceAndAnExistingListingIsReplaced) {
  ListingWindow w;
  w.image.file("Korvane\\DeviceListing.txt", "an older, longer listing that must not show through\r\n");
  TForm1& form = w.startWithFolder("C:\\Korvane");
  form.French1Click();
  form.SaveListing1Click();
  const std::string french = readHost(w.onC("Korvane/DeviceListing.txt"));
  EXPECT_EQ(french,
            "Les informations des p\xE9riph\xE9ries pourtester@TESTBOX - 10/12/2026 13:45:07\r\n"
            " \r\n"
            "[Beta Disk]\r\n"
            "Fichier .INF: disk.inf\r\n"
            "Version: 2.0\r\n"
            "Date: 3-4-2006\r\n"
            "Manufacteur: Halden\r\n"
            " \r\n"
            "[Zeta Audio]\r\n"
            "Fichier .INF: oem1.inf\r\n"
            "Version: 5.1\r\n"
            "Date: 1-2-2005\r\n"
            "Manufacteur: Orvik\r\n"
            " \r\n")
      << "Windows-1252, as Notepad of this machine reads it";
  EXPECT_EQ(std::distance(fs::directory_iterator(w.onC("Korvane")), fs::directory_iterator()), 1)
      << "no temporary file is left";
}

TEST(SaveListing, ChineseListingIsWrittenInTheMachinesCodePage) {
  ListingWindow w(driver("{A}", "0000", drv("中文", "oem5.inf", "1.0", "2006-1-1", "Orvik")));
  w.image.set("System", "CodePage", "936");
  TForm1& form = w.startWithFolder("C:\\Korvane");
  form.Chinese1Click();
  form.SaveListing1Click();
  const std::string bytes = readHost(w.onC("Korvane/DeviceListing.txt"));
  EXPECT_THAT(bytes, HasSubstr("[\xD6\xD0\xCE\xC4]\r\n")) << "GB2312 bytes of the description";
  EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
  const auto text = w.image.reopen()->codePages().toUtf8(bytes, 936);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
            "驱动程序信息清单 - tester@TESTBOX - 10/12/2026 13:45:07\r\n \r\n[中文]\r\n安装信息文件: oem5.inf\r\n"
            "驱动版本: 1.0\r\n发布日期: 2006-1-1\r\n发布公司: Orvik\r\n \r\n");
}

// Taiwan's clock names the half of the day before the hour, in its own words.
TEST(SaveListing, HeadingWritesTheLocalesMorningAndAfternoonTexts) {
  ListingWindow w;
  w.image.registry("user.reg", regKey("HKEY_CURRENT_USER\\Control Panel\\International",
                                      {{"sShortDate", "yyyy/M/d"}, {"sTimeFormat", "tt hh:mm:ss t"},
                                       {"s1159", "上午"}, {"s2359", "下午"}}));
  w.image.set("System", "CodePage", "950");
  TForm1& form = w.startWithFolder("C:\\Korvane");
  form.SaveListing1Click();
  const auto text = w.image.reopen()->codePages().toUtf8(readHost(w.onC("Korvane/DeviceListing.txt")), 950);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->substr(0, text->find("\r\n")),
            "Device Information Listing for tester@TESTBOX - 2026/12/10 下午 01:45:07 下");
}

TEST(SaveListing, DescriptionOutsideTheCodePageKeepsItsCharactersInMarkedUtf8) {
  ListingWindow w(driver("{A}", "0000", drv("Сетевая карта 中文", "oem5.inf", "1.0", "2006-1-1", "Orvik")));
  TForm1& form = w.startWithFolder("C:\\Korvane");
  form.SaveListing1Click();
  const std::string bytes = readHost(w.onC("Korvane/DeviceListing.txt"));
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_THAT(bytes, HasSubstr("[Сетевая карта 中文]\r\n"));
}

TEST(SaveListing, NothingToListEndsSaveModeWithoutAFile) {
  ListingWindow w("");
  TForm1& form = w.startWithFolder("C:\\Korvane");
  form.SaveListing1Click();
  EXPECT_FALSE(form.Control("SaveListing1").Checked) << "the next Print must not go to the file";
  EXPECT_THAT(form.Memo1, Contains("There are no drivers to list."));
  EXPECT_THAT(form.Memo1, Not(Contains("OK")));
  EXPECT_FALSE(fs::exists(w.onC("Korvane/DeviceListing.txt")));
  EXPECT_THAT(w.view.entries("message: "), IsEmpty());
}

TEST(SaveListing, FolderThatCannotBeMadeSaysSoInsteadOfOk) {
  ListingWindow w;
  w.image.file("Blocked", "a file where the folder should be");
  TForm1& form = w.startWithFolder("C:\\Blocked\\Lists");
  form.SaveListing1Click();
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre("The device listing could not be saved as C:\\Blocked\\Lists\\DeviceListing.txt. Check "
                          "that the folder can be created and written to, and that the disk is not full."));
  EXPECT_THAT(form.Memo1, Not(Contains("OK")));
  EXPECT_TRUE(form.CommandFailed);
  EXPECT_FALSE(form.Control("SaveListing1").Checked);
}

TEST(PrintListing, NtJobGoesToTheRegistrysDefaultPrinterAsOneSpoolFile) {
  ListingWindow w;
  w.image.registry("printer.reg", regKey("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                         {{"Device", "Office Laser,winspool,Ne00:"}}));
  TForm1& form = w.startWithFolder("C:\\Korvane");
  form.BitBtn5Click();
  EXPECT_EQ(readHost(w.image.root() / "spool/job0001.txt"), kEnglishListing) << "UTF-8 text of the job";
  EXPECT_THAT(w.image.actions(), ElementsAre("print\tOffice Laser\tspool/job0001.txt"));
  EXPECT_THAT(form.Memo1, ElementsAre("OK"));
  EXPECT_THAT(w.view.entries("message: "), IsEmpty()) << "no path for a print";
  EXPECT_FALSE(fs::exists(w.onC("Korvane/DeviceListing.txt")));
}

TEST(PrintListing, NinetyFiveFamilyTakesTheDeviceOfWinIni) {
  ListingWindow w(regKey("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Display\\0000",
                         drv("Old Display", "oldvga.inf", "4.0", "1-1-1999", "Orvik")));
  w.image.set("Version", "Platform", "1").set("Version", "Major", "4").set("Version", "Minor", "10");
  w.image.file("WINDOWS\\WIN.INI", "[windows]\r\ndevice=Old Matrix,EPSON9,LPT1:\r\n");
  TForm1& form = w.start();
  form.Print1Click();
  form.Print1Click();
  EXPECT_THAT(w.image.actions(),
              ElementsAre("print\tOld Matrix\tspool/job0001.txt", "print\tOld Matrix\tspool/job0002.txt"))
      << "each listing is a job of its own";
}

TEST(PrintListing, NoDefaultPrinterSaysSoAndPrintsNothing) {
  ListingWindow w;
  TForm1& form = w.start();
  form.Print1Click();
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre("There is no default printer currently selected. Choose one in the Control Panel, or "
                          "save the listing to a file instead."));
  EXPECT_THAT(form.Memo1, Not(Contains("OK")));
  EXPECT_TRUE(form.CommandFailed);
  EXPECT_FALSE(fs::exists(w.image.root() / "spool"));
}

}  // namespace
}  // namespace korvane::test
