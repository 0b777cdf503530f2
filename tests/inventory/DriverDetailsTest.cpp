// The details view: what the memo shows when a driver row's selection changes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;

// A window with one collected driver whose INF is the given text, in the
// INF folder or in its "Other" folder.
struct DetailsWindow : StartedWindow {
  explicit DetailsWindow(const std::string& infText, const std::string& folder = "WINDOWS\\inf\\") {
    image.registry("d.reg", driver("{A}", "0000", {{"DriverDesc", "Orvik Net"}, {"InfPath", "oem7.inf"}}));
    if (!infText.empty()) image.file(folder + "oem7.inf", infText);
    start().BitBtn1Click();
  }
  std::vector<std::string> select() {
    form->ListView1SelectItem(0, true);
    return form->Memo1;
  }
};

const std::string kNtDriver =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nCatalogFile=orvik.cat\r\n"
    "[SourceDisksFiles]\r\norvik.sys=1\r\norvik.dll=1\r\n";

TEST(DriverDetails, DescribesAnNtDriver) {
  DetailsWindow w(kNtDriver);
  EXPECT_THAT(w.select(), ElementsAre("Designed for: Microsoft Windows NT, Windows 2000, Windows XP.",
                                      "Digital Signature: Microsoft Windows Hardware Compatibility Lab (orvik.cat)",
                                      "", "There are 3 files to be packaged."));
  EXPECT_EQ(w.form->CatalogFile(), "orvik.cat");
}

TEST(DriverDetails, PlatformLinesByTheSignature) {
  const auto platformLines = [](const std::string& signature) {
    DetailsWindow w("[Version]\r\nSignature=" + signature + "\r\n[files]\r\na.sys\r\n");
    std::vector<std::string> lines;
    for (const auto& line : w.select())
      if (line.rfind("Designed for: ", 0) == 0) lines.push_back(line.substr(14));
    return lines;
  };
  EXPECT_THAT(platformLines("$CHICAGO$"), ElementsAre("Microsoft Windows 95/98/Me, Windows NT4/2000, Windows XP."));
  EXPECT_THAT(platformLines("$chicago$"), ElementsAre("Microsoft Windows 95/98/Me, Windows NT4/2000, Windows XP."));
  EXPECT_THAT(platformLines("$Windows NT$"), ElementsAre("Microsoft Windows NT, Windows 2000, Windows XP."));
  EXPECT_THAT(platformLines("$Windows 95$"), ElementsAre()) << "95 in words names neither family";
  EXPECT_THAT(platformLines("$ChIcAgO$"), ElementsAre()) << "only three spellings count";
  EXPECT_THAT(platformLines("$Chicago$ NT"), ElementsAre("Microsoft Windows 95/98/Me, Windows NT4/2000, Windows XP.",
                                                         "Microsoft Windows NT, Windows 2000, Windows XP."));
  EXPECT_THAT(platformLines(""), ElementsAre("Microsoft Windows unknown platform."));
}

TEST(DriverDetails, ADriverWithoutFilesNeedsNoBackup) {
  DetailsWindow w("[Version]\r\nSignature=$CHICAGO$\r\n[Install]\r\nAddReg=x\r\n");
  EXPECT_THAT(w.select(),
              ElementsAre("Designed for: Microsoft Windows 95/98/Me, Windows NT4/2000, Windows XP.",
                          "Digital Signature: Not available", " ",
                          "This driver is supplied with Microsoft Windows CD-ROM, and is automatically installed and "
                          "configured",
                          "during the installation of Microsoft Windows. ***There is no need to backup this driver***",
                          "", "There are 0 files to be packaged."));
}

TEST(DriverDetails, ACatalogCommentLeavesItsSpace) {
  DetailsWindow w("[Version]\r\nSignature=$Windows NT$\r\nCatalogFile=orvik.cat ; signed\r\n[files]\r\na.sys\r\n");
  EXPECT_EQ(w.select().at(1), "Digital Signature: Microsoft Windows Hardware Compatibility Lab (orvik.cat )");
  EXPECT_EQ(w.form->CatalogFile(), "orvik.cat ");
}

TEST(DriverDetails, AScriptWithoutCatalogKeepsTheLastCatalog) {
  DetailsWindow w(kNtDriver);
  w.select();
  w.image.file("WINDOWS\\inf\\oem7.inf", "[Version]\r\nSignature=$Windows NT$\r\n[files]\r\na.sys\r\n");
  EXPECT_EQ(w.select().at(1), "Digital Signature: Not available");
  EXPECT_EQ(w.form->CatalogFile(), "orvik.cat");
}

TEST(DriverDetails, AMissingScriptGivesOneLine) {
  DetailsWindow w("");
  EXPECT_THAT(w.select(), ElementsAre("Maybe this driver has already been removed from your system."));
}

TEST(DriverDetails, TheCopyInTheOtherFolderIsRead) {
  DetailsWindow w("[Version]\r\nSignature=$CHICAGO$\r\n", "WINDOWS\\inf\\");
  w.image.file("WINDOWS\\inf\\Other\\oem7.inf", kNtDriver);
  EXPECT_EQ(w.select().front(), "Designed for: Microsoft Windows NT, Windows 2000, Windows XP.");
}

TEST(DriverDetails, DeselectionDescribesTheRowToo) {
  DetailsWindow w(kNtDriver);
  w.select();
  w.form->BitBtn2Click();  // an analysis waiting for Start, with its file list and panel
  ASSERT_FALSE(w.form->DriverFileList.empty());
  ASSERT_TRUE(w.form->Control("Edit1").Visible);
  const size_t clearsBefore = w.view.entries("memo-clear").size();
  w.form->ListView1SelectItem(0, false);
  EXPECT_EQ(w.form->Memo1.back(), "There are 3 files to be packaged.");
  EXPECT_TRUE(w.form->DriverFileList.empty());
  EXPECT_FALSE(w.form->Control("Edit1").Visible) << "the destination panel is hidden";
  EXPECT_FALSE(w.form->Control("Button1").Visible);
  EXPECT_EQ(w.view.entries("memo-clear").size(), clearsBefore + 1);
}

TEST(DriverDetails, TextsFollowTheInterfaceLanguage) {
  DetailsWindow w(kNtDriver);
  w.form->French1Click();
  EXPECT_EQ(w.select().at(1), "Signature numérique : Microsoft Windows Hardware Compatibility Lab (orvik.cat)")
      << "French keeps the laboratory's English name";
  w.form->Russian1Click();
  EXPECT_EQ(w.select().back(), "Файлов для упаковки: 3.");
}

TEST(DriverDetails, UnicodeScriptsAreDescribedAlike) {
  DetailsWindow w("\xFF\xFE" + utf8ToUtf16leBytes(kNtDriver));
  EXPECT_EQ(w.select().back(), "There are 3 files to be packaged.");
  EXPECT_EQ(w.form->CatalogFile(), "orvik.cat");
}

}  // namespace
}  // namespace korvane::test
