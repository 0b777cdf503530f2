// Backup and Restore Outlook Express through the main window, on the sample
// images of both families.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugins/MailStore.h"
#include "plugins/PluginsTestSupport.h"
#include "support/HostCommand.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

struct Family {
  const char* sample;
  const char* store;  // below C:
  const char* book;   // the address book below C:, and its name beside the package
  const char* bookName;
  const char* pst;
  const char* package;  // its name, by the sample's date format
};

const Family kXp{"xp",
                 "Documents and Settings/anna/Local Settings/Application Data/Identities/"
                 "{6A1F3C20-4B7E-4D9A-8E25-3F0C7B9D1A42}/Microsoft/Outlook Express",
                 "Documents and Settings/anna/Application Data/Microsoft/Address Book/anna.wab", "anna.WAB",
                 "Documents and Settings/anna/Local Settings/Application Data/Microsoft/Outlook/Outlook.pst",
                 "Outlook 12_10_2026.CAB"};
// The 95 family: everything below the Windows folder, no USERNAME variable, a date format with dots.
const Family k98{"win98",
                 "WINDOWS/Application Data/Identities/{2D8B5E71-90C3-4F16-A4E8-5C7B1D3F6A09}/Microsoft/Outlook Express",
                 "WINDOWS/Application Data/Microsoft/Address Book/Tomas.WAB", "Tomas.WAB",
                 "WINDOWS/Application Data/Microsoft/Outlook/Outlook.pst", "Outlook 10.12.26.CAB"};

// "C:\a\b" for "a/b".
std::string onCWindows(const std::string& path) {
  std::string out = "C:\\" + path;
  for (char& c : out) c = c == '/' ? '\\' : c;
  return out;
}

class OutlookPlugin : public ::testing::TestWithParam<Family> {
 protected:
  const Family& family() const { return GetParam(); }
  std::string packagePath() const { return std::string("C:\\Korvane\\") + family().package; }
  fs::path packageOnHost(SampleWindow& w) const { return w.onC(std::string("Korvane/") + family().package); }
};

TEST_P(OutlookPlugin, BackupThenRestoreRoundTripsTheStoreAndLeavesTheRegistryAlone) {
  SampleWindow w(family().sample);
  const auto store = snapshot(w.onC(family().store));
  ASSERT_EQ(store.size(), 5u) << "the sample's mail store";
  const auto registry = snapshot(w.host.path() / "registry");
  TForm1& form = w.start();
  form.Click("BackupOutlook1");
  EXPECT_THAT(w.view.entries("message: "), ElementsAre("Please shut down Outlook Express, before you do this backup",
                                                       "OK!  " + packagePath()));
  w.close();
  EXPECT_EQ(snapshot(w.host.path() / "registry"), registry) << "a backup only reads the registry";
  EXPECT_EQ(hostFile(w.onC("Korvane") / family().bookName), hostFile(w.onC(family().book)));
  EXPECT_EQ(hostFile(w.onC("Korvane/Outlook.pst")), hostFile(w.onC(family().pst)));

  if (haveTool("cabextract")) {  // an independent reader sees the paths below the store
    std::string listing;
    ASSERT_EQ(runCommand("cabextract -l " + quoted(packageOnHost(w)), &listing), 0) << listing;
    for (const char* name : {"Folders.dbx", "Inbox.dbx", "Sent Items.dbx", "Deleted Items.dbx", "Archive/2025.dbx"})
      EXPECT_NE(listing.find(std::string("| ") + name + "\n"), std::string::npos) << name << " in\n" << listing;
  }

  // A new system: no mail store and no address book; the Outlook files are there already.
  fs::remove_all(w.onC(family().store));
  fs::remove(w.onC(family().book));
  const std::string pstBefore = "the user's own personal folders";
  writeHostFile(w.onC(family().pst), pstBefore);
  w.view.chosenFiles.push_back(packagePath());
  form.Click("Restore3");
  EXPECT_THAT(w.view.entries("open-file: "), ElementsAre("C:\\Korvane | Outlook*.cab | Outlook personal info Package|*.cab"));
  EXPECT_THAT(w.view.entries("ask: "), IsEmpty()) << "nothing to replace, nothing to ask";
  EXPECT_EQ(snapshot(w.onC(family().store)), store) << "byte for byte, and no copy of the package";
  // The user's name as the variable or the system gives it, whatever case the old file had.
  EXPECT_EQ(hostFile(w.onC(family().book).parent_path() / family().bookName), hostFile(w.onC("Korvane") / family().bookName));
  EXPECT_EQ(hostFile(w.onC(family().pst)), pstBefore);
  EXPECT_THAT(form.Memo1, ElementsAre("Left untouched, a file of that name exists already: " + onCWindows(family().pst),
                                      ::testing::HasSubstr("extend.dat"), "................. OK!"));
  EXPECT_FALSE(form.CommandFailed);
}

TEST_P(OutlookPlugin, ASecondBackupRefreshesTheSideFilesAndAFailedOneKeepsTheFirst) {
  SampleWindow w(family().sample);
  TForm1& form = w.start();
  form.Click("BackupOutlook1");
  writeHostFile(w.onC(family().book), "a newer address book");
  writeHostFile(w.onC(family().store) / "Inbox.dbx", "mail of the afternoon");
  form.Click("BackupOutlook1");
  EXPECT_EQ(hostFile(w.onC("Korvane") / family().bookName), "a newer address book");
  const std::string refreshed = hostFile(packageOnHost(w));

  // The address book cannot be read now: the backup fails and keeps the one before.
  fs::remove(w.onC(family().book));
  fs::create_directories(w.onC(family().book));
  writeHostFile(w.onC(family().store) / "Inbox.dbx", "mail of the evening");
  form.Click("BackupOutlook1");
  EXPECT_TRUE(form.CommandFailed);
  EXPECT_THAT(w.view.entries("message: ").back(), ::testing::StartsWith("C:\\Korvane\\" + std::string(family().bookName) +
                                                                        " could not be written."));
  EXPECT_EQ(hostFile(packageOnHost(w)), refreshed);
  EXPECT_EQ(hostFile(w.onC("Korvane") / family().bookName), "a newer address book");
  EXPECT_EQ(snapshot(w.onC("Korvane")).size(), 4u) << "package and three side files, no temporary file left";
}

TEST_P(OutlookPlugin, RestoreOverAStoreAsksFirstAndNoChangesNothing) {
  SampleWindow w(family().sample);
  const auto original = snapshot(w.onC(family().store));
  TForm1& form = w.start();
  form.Click("BackupOutlook1");
  writeHostFile(w.onC(family().store) / "Inbox.dbx", "mail received since the backup");
  writeHostFile(w.onC(family().store) / "Projects.dbx", "a folder made since the backup");
  const auto drive = snapshot(w.host.path() / "drive_c");

  w.view.chosenFiles.push_back(packagePath());
  w.view.answers.push_back(false);
  form.Click("Restore3");
  EXPECT_THAT(w.view.entries("ask: "),
              ElementsAre("The mail store " + onCWindows(family().store) + " already holds 6 files. Restoring " + packagePath() +
                          " replaces every file of the store that the package also holds: mail received since "
                          "that backup will be lost.\nRestore the package?"));
  EXPECT_EQ(snapshot(w.host.path() / "drive_c"), drive) << "no changes nothing";
  EXPECT_THAT(form.Memo1, ::testing::Not(::testing::Contains("................. OK!")));

  w.view.chosenFiles.push_back(packagePath());
  w.view.answers.push_back(true);
  form.Click("Restore3");
  auto expected = original;
  expected["Projects.dbx"] = "a folder made since the backup";
  EXPECT_EQ(snapshot(w.onC(family().store)), expected);
  EXPECT_EQ(form.Memo1.back(), "................. OK!");
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, OutlookPlugin, ::testing::Values(kXp, k98),
                         [](const auto& tested) { return std::string(tested.param.sample); });

TEST(OutlookPluginIdentity, WithoutAnIdentityNothingIsWritten) {
  for (const std::string identity : {"", "..\\\\..\\\\WINDOWS"}) {
    SampleWindow w("xp");
    writeHostFile(w.host.path() / "registry" / "current-user.reg",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Identities]\r\n\"Default User ID\"=\"" + identity + "\"\r\n");
    // The folder an empty identity would lead to, which the mail program never reads.
    writeHostFile(w.onC("Documents and Settings/anna/Local Settings/Application Data/Identities/Microsoft/"
                        "Outlook Express/Inbox.dbx"),
                  "stray");
    const auto drive = snapshot(w.host.path() / "drive_c");
    TForm1& form = w.start();
    form.Click("BackupOutlook1");
    EXPECT_TRUE(form.CommandFailed);
    EXPECT_EQ(w.view.entries("message: ").back(),
              "No Outlook Express identity was found for this user. Nothing was written.");
    writeHostFile(w.onC("Korvane/Outlook 12_10_2026.CAB"), "a package");
    const auto withPackage = snapshot(w.host.path() / "drive_c");
    w.view.chosenFiles.push_back("C:\\Korvane\\Outlook 12_10_2026.CAB");
    form.Click("Restore3");
    EXPECT_EQ(w.view.entries("message: ").back(),
              "No Outlook Express identity was found for this user. Nothing was written.");
    EXPECT_EQ(snapshot(w.host.path() / "drive_c"), withPackage) << identity;
    EXPECT_EQ(withPackage.size(), drive.size() + 1) << "the backup wrote nothing";
  }
}

TEST(OutlookPluginNames, EveryCharacterNamesCannotHoldBecomesAnUnderscoreAndDotsStay) {
  EXPECT_EQ(mailPackageName("12/10/2026"), "Outlook 12_10_2026.CAB");
  EXPECT_EQ(mailPackageName("10.12.26"), "Outlook 10.12.26.CAB");
  EXPECT_EQ(mailPackageName("1:2*3?4\"5<6>7|8\\9-0\t1.2"), "Outlook 1_2_3_4_5_6_7_8_9_0_1.2.CAB");
}

TEST(OutlookPluginNames, ThePackageIsNamedAfterTodayInTheUsersFormat) {
  SampleWindow w("xp");
  w.setIni("Clock", "Now", "2024-02-29 23:59:59");
  writeHostFile(w.host.path() / "registry" / "zz-format.reg",
                "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\International]\r\n"
                "\"sShortDate\"=\"'Day' d-MMM-yyyy\"\r\n");
  w.start().Click("BackupOutlook1");
  EXPECT_EQ(w.view.entries("message: ").back(), "OK!  C:\\Korvane\\Outlook Day 29_02_2024.CAB");
}

TEST(OutlookPluginNames, AStoreThatCannotBeUnpackedIsAFailureNotOk) {
  SampleWindow w("xp");
  TForm1& form = w.start();
  writeHostFile(w.onC("Korvane/Outlook broken.CAB"), "MSCF but not a cabinet at all");
  w.view.chosenFiles.push_back("C:\\Korvane\\Outlook broken.CAB");
  w.view.answers.push_back(true);
  form.Click("Restore3");
  EXPECT_TRUE(form.CommandFailed);
  EXPECT_THAT(w.view.entries("message: ").back(),
              ::testing::StartsWith("The package C:\\Korvane\\Outlook broken.CAB could not be extracted into "));
  EXPECT_THAT(form.Memo1, ::testing::Not(::testing::Contains("................. OK!")));
}

}  // namespace
}  // namespace korvane::test
