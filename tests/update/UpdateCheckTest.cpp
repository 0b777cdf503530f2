// The update check and the driver downloads on machine images: which image
// the check trusts, what it unpacks, what the window shows, and downloads
// from a loopback server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "packaging/CabTestKit.h"
#include "platform/Sha256.h"
#include "support/LoopbackServer.h"
#include "update/DatabaseUpdate.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kInf = "C:\\WINDOWS\\Inf\\";
constexpr const char* kInfOnC = "WINDOWS\\Inf\\";
constexpr const char* kUpdates = "C:\\Program Files\\Korvane\\DriversUpdates";

// A stored database file of restored lines, each given its end character.
std::string storedDatabase(const std::vector<std::string>& lines) {
  std::string file;
  for (const std::string& line : lines) file += flipDatabaseLine(line + " ") + "\r\n";
  return file;
}

std::string imageOf(const std::vector<cab::RawFile>& files) {
  return composeDatabaseImage(std::string(kPictureHeadSize, 'G'), cab::rawCabinet(files));
}

// ---- which image the check trusts, and what it unpacks

class DatabaseUnpackingTest : public ::testing::Test {
 protected:
  const std::string xp_ = storedDatabase({"PCI\\VEN_1::1.0::http://x/a.cab"});
  const std::string fetched_ = imageOf({{"DBxxxXP.inf", xp_}});
  const std::string saved_ = imageOf({{"DBxxxXP.inf", storedDatabase({"saved::1::http://x/s.cab"})}});
  const std::string carried_ = imageOf({{"DBxxxXP.inf", storedDatabase({"carried::1::http://x/c.cab"})}});
  const std::string broken_ = "<html>Service Unavailable</html>" + std::string(30000, ' ');

  DatabaseUnpacking unpack(const std::map<std::string, std::string>& images) {
    for (const auto& [name, bytes] : images) image_.file(kInfOnC + name, bytes);
    return unpackDatabase(image_.open(), kInf);
  }
  std::optional<std::string> read(const std::string& name) { return image_.open().files().readFile(kInf + name); }
  std::optional<std::string> readDatabase() { return read("DBxxxXP.inf"); }

  ImageBuilder image_;
};

TEST_F(DatabaseUnpackingTest, SoundDownloadIsUsedAndSaved) {
  const DatabaseUnpacking result = unpack({{"MsSetup6.PNF", fetched_}, {"msdevupd.PNF", saved_}, {"MsSetup6.cab", carried_}});
  EXPECT_EQ(result.source, DatabaseSource::Fetched);
  EXPECT_TRUE(result.unpacked);
  EXPECT_EQ(readDatabase(), xp_);
  EXPECT_EQ(read("msdevupd.PNF"), fetched_);
  for (const char* gone : {"MsSetup6.PNF", "MsSetup6.cab", "MsSetup6.ini", "msdevupd.ini"}) EXPECT_FALSE(read(gone)) << gone;
}

TEST_F(DatabaseUnpackingTest, BrokenImagesFallBackToSavedThenCarried) {
  DatabaseUnpacking result = unpack({{"MsSetup6.PNF", broken_}, {"msdevupd.PNF", saved_}, {"MsSetup6.cab", carried_}});
  EXPECT_EQ(result.source, DatabaseSource::Saved);
  EXPECT_EQ(result.fetchedFault, DatabaseImageFault::NotACabinet);
  EXPECT_EQ(read("msdevupd.PNF"), saved_);  // the last good database survives a bad download
  EXPECT_THAT(*readDatabase(), ::testing::HasSubstr(flipDatabaseLine("saved::1::http://x/s.cab ")));
  EXPECT_FALSE(read("MsSetup6.PNF"));

  const std::string truncated = saved_.substr(0, saved_.size() - 100);
  result = unpack({{"MsSetup6.PNF", fetched_.substr(0, 5000)}, {"msdevupd.PNF", truncated}, {"MsSetup6.cab", carried_}});
  EXPECT_EQ(result.source, DatabaseSource::Carried);
  EXPECT_EQ(result.fetchedFault, DatabaseImageFault::TooSmall);
  EXPECT_TRUE(result.savedFault);
  EXPECT_EQ(read("msdevupd.PNF"), truncated);
  EXPECT_THAT(*readDatabase(), ::testing::HasSubstr(flipDatabaseLine("carried::1::http://x/c.cab ")));

  result = unpack({{"MsSetup6.PNF", broken_}, {"msdevupd.PNF", broken_}, {"MsSetup6.cab", broken_}});
  EXPECT_EQ(result.source, DatabaseSource::None);
  EXPECT_FALSE(readDatabase());  // the earlier check's file went: nothing stale is matched
}

TEST_F(DatabaseUnpackingTest, HostileCabinetLandsOnlyTheDatabaseFiles) {
  const DatabaseUnpacking result = unpack({{"MsSetup6.PNF", imageOf({{"..\\system32\\evil.dll", "x"},
                                                                       {"DBxxxXP.inf", xp_},
                                                                       {"Sub\\DBxxx98.inf", "y"},
                                                                       {"readme.txt", "z"},
                                                                       {"dbxxx2k.INF", "w"}})}});
  EXPECT_EQ(result.source, DatabaseSource::Fetched);
  EXPECT_THAT(result.refusedNames, ElementsAre("..\\system32\\evil.dll", "Sub\\DBxxx98.inf", "readme.txt"));
  EXPECT_EQ(readDatabase(), xp_);
  EXPECT_EQ(read("DBxxx2K.inf"), "w");
  Machine& machine = image_.open();
  for (const char* absent : {"C:\\WINDOWS\\system32\\evil.dll", "C:\\WINDOWS\\Inf\\Sub", "C:\\WINDOWS\\Inf\\readme.txt",
                             "C:\\WINDOWS\\Inf\\DBxxx98.inf"})
    EXPECT_FALSE(machine.files().exists(absent)) << absent;
}

// ---- the check and the downloads in the window

const std::string kDriver = "sample driver package";

class UpdateWindowTest : public ::testing::Test {
 protected:
  UpdateWindowTest() {
    server_.server.Get("/d/(.*)", [](const httplib::Request& request, httplib::Response& response) {
      if (request.matches[1] == "missing.cab") response.status = 404;
      else response.set_content(kDriver, "application/octet-stream");
    });
    server_.start();
    // The database host answers nowhere: every check falls back to the saved image.
    window_.image.set("Hosts", "download.example.net", "127.0.0.1")
        .set("Hosts", "drivers.example", "127.0.0.1")
        .registry("classes.reg",
                  driver("{4d36e96c-e325-11ce-bfc1-08002be10318}", "0000",
                         {{"DriverDesc", "Sound Card"}, {"InfPath", "oem1.inf"}, {"DriverDate", "6-1-2005"}, {"ProviderName", "Vendor"},
                          {"MatchingDeviceId", "PCI\\\\VEN_1102&DEV_0002&SUBSYS_80611102&REV_08"}}) +
                      driver("{4d36e968-e325-11ce-bfc1-08002be10318}", "0000",
                             {{"DriverDesc", "Display"}, {"InfPath", "oem2.inf"}, {"DriverDate", "3-3-2003"}, {"ProviderName", "Vendor"},
                              {"MatchingDeviceId", "PCI\\\\VEN_10DE&DEV_0110"}}) +
                      driver("{4d36e978-e325-11ce-bfc1-08002be10318}", "0000",
                             {{"DriverDesc", "Port"}, {"InfPath", "oem3.inf"}, {"ProviderName", "Vendor"}}));
  }

  std::string url(const std::string& name) const {
    return "http://drivers.example:" + std::to_string(server_.port) + "/d/" + name;
  }
  // The saved image of an earlier check, holding one database file.
  void saveDatabase(const std::vector<std::string>& lines, const char* file = "DBxxxXP.inf") {
    window_.image.file(std::string(kInfOnC) + "msdevupd.PNF", imageOf({{file, storedDatabase(lines)}}));
  }
  TForm1& check() {
    TForm1& form = window_.start();
    form.Click("UpdateNow1");
    return form;
  }
  std::vector<std::string> memo() const { return window_.form->Memo1; }
  std::vector<std::string> messages() const { return window_.view.entries("message: "); }
  std::vector<std::string> opened() const {
    std::vector<std::string> lines;
    for (const std::string& line : window_.image.actions())
      if (line.rfind("execute", 0) == 0) lines.push_back(line);
    return lines;
  }
  // What the DriversUpdates folder holds, seen from a second machine on the image.
  std::optional<std::string> updatesFile(const std::string& name) const {
    return window_.image.reopen()->files().readFile(std::string(kUpdates) + "\\" + name);
  }
  size_t updatesCount() const { return window_.image.reopen()->files().find(std::string(kUpdates) + "\\*").size(); }

  LoopbackServer server_;
  StartedWindow window_;
};

TEST_F(UpdateWindowTest, CheckListsCandidatesInDeviceThenFileOrder) {
  saveDatabase({"PCI\\VEN_10DE&DEV_0110::4.5::" + url("video.cab"),
                "PCI\\VEN_1102&DEV_0002&REV::2.0::" + url("sound.cab"),
                "PCI\\VEN_1102&DEV_0002::2.1::" + url("sound.cab"),  // the same URL: no second row
                "PCI\\VEN_1102&DEV_0002::2.2::" + url("sound2.cab") + "::1102-"});
  TForm1& form = check();
  ASSERT_EQ(form.ListView2.Count(), 3u);
  EXPECT_EQ(form.ListView2.Row(0), (std::vector<std::string>{"Display", "3-3-2003", "4.5", url("video.cab"), "100%"}));
  EXPECT_EQ(form.ListView2.Row(1), (std::vector<std::string>{"Sound Card", "6-1-2005", "2.0", url("sound.cab"), "95%"}));
  EXPECT_EQ(form.ListView2.Row(2), (std::vector<std::string>{"Sound Card", "6-1-2005", "2.2", url("sound2.cab"), "98%"}));
  EXPECT_THAT(memo(), ElementsAre("Checking for new drivers .......", " ", "  - Device \"Display\" processed.",
                                  "  - Device \"Port\" processed.", "  - Device \"Sound Card\" processed.", "",
                                  "Driver update check completed."));
  EXPECT_EQ(form.StatusBar1, "3 new driver found.");
  EXPECT_TRUE(form.ListView2.Visible);
  EXPECT_FALSE(form.ListView1.Visible);
  EXPECT_TRUE(form.Control("BitBtn6").Visible && form.Control("BitBtn7").Visible);
  EXPECT_EQ(form.WC1.DlgFileLabel, "File: ");

  form.Click("BitBtn7");
  EXPECT_TRUE(form.ListView1.Visible);
  EXPECT_FALSE(form.ListView2.Visible || form.Control("BitBtn6").Visible);
  EXPECT_TRUE(form.Memo1.empty());
}

TEST_F(UpdateWindowTest, CheckWithoutCandidatesKeepsTheDeviceList) {
  saveDatabase({"PCI\\VEN_9999::1::" + url("x.cab")});
  TForm1& form = check();
  EXPECT_EQ(messages(), (std::vector<std::string>{"Up to now, no new drivers for any of your devices."}));
  EXPECT_TRUE(form.ListView1.Visible);
  EXPECT_TRUE(form.DatabaseMatched());
}

TEST_F(UpdateWindowTest, DatabaseWithoutThisWindowsFileStopsWithItsName) {
  saveDatabase({"PCI\\VEN_10DE&DEV_0110::1::" + url("x.cab")}, "DBxxx98.inf");
  TForm1& form = check();
  EXPECT_EQ(messages(), (std::vector<std::string>{"Cannot open the driver database C:\\WINDOWS\\Inf\\DBxxxXP.inf"}));
  EXPECT_FALSE(form.DatabaseMatched());
  EXPECT_TRUE(form.ListView1.Visible);
  EXPECT_THAT(memo(), ElementsAre("Checking for new drivers .......", " "));
}

TEST_F(UpdateWindowTest, LaterWindowsUseTheXpDatabase) {
  window_.image.set("Version", "Major", "10").set("Version", "Minor", "0").set("Version", "Build", "22631");
  window_.image.file(std::string(kInfOnC) + "msdevupd.PNF",
                     imageOf({{"DBxxxNT.inf", storedDatabase({"PCI\\VEN_10DE&DEV_0110::nt::" + url("nt.cab")})},
                              {"DBxxxXP.inf", storedDatabase({"PCI\\VEN_10DE&DEV_0110::xp::" + url("xp.cab")})}}));
  TForm1& form = check();
  EXPECT_EQ(form.OsName, "Microsoft Windows 11");
  ASSERT_EQ(form.ListView2.Count(), 1u);
  EXPECT_EQ(form.ListView2.Row(0).at(3), url("xp.cab"));
}

class DownloadTest : public UpdateWindowTest {
 protected:
  // A check that lists one candidate for the display per name.
  TForm1& listFor(const std::vector<std::string>& names, const std::vector<std::string>& notes = {}) {
    std::vector<std::string> lines;
    for (size_t k = 0; k < names.size(); ++k)
      lines.push_back("PCI\\VEN_10DE&DEV_0110::4." + std::to_string(k) + "::" + url(names[k]) +
                      (k < notes.size() ? "::" + notes[k] : ""));
    saveDatabase(lines);
    TForm1& form = check();
    EXPECT_EQ(form.ListView2.Count(), names.size());
    window_.view.log.clear();
    return form;
  }
  // Download of one row, the question answered Yes first.
  void download(TForm1& form, size_t row, std::deque<bool> answers = {true}) {
    for (size_t k = 0; k < form.ListView2.Count(); ++k) form.ListView2.Select(k, k == row);
    window_.view.answers = std::move(answers);
    form.Click("BitBtn6");
  }
};

TEST_F(DownloadTest, DownloadAsksThenSavesIntoDriversUpdatesAndOpensIt) {
  TForm1& form = listFor({"video.cab"});
  form.Click("BitBtn6");
  EXPECT_EQ(messages(), (std::vector<std::string>{"Please first select the driver you want to download."}));
  download(form, 0, {false});
  EXPECT_FALSE(updatesFile("video.cab"));
  EXPECT_THAT(opened(), IsEmpty());

  window_.view.log.clear();
  form.ListView2.Select(0, true);
  window_.view.answers = {true};
  form.Click("DownloadNow1");
  EXPECT_EQ(window_.view.entries("caption: "), (std::vector<std::string>{"Ask"}));
  EXPECT_EQ(window_.view.entries("ask: "),
            (std::vector<std::string>{"Shall we begin download the driver?\n\nDisplay   (4.0)\n\nthe driver is to be "
                                      "saved into folder C:\\Program Files\\Korvane\\DriversUpdates\\"}));
  EXPECT_EQ(updatesFile("video.cab"), kDriver);
  EXPECT_EQ(updatesCount(), 1u);  // no temporary file left
  EXPECT_EQ(form.LastDownload(), std::string(kUpdates) + "\\video.cab");
  EXPECT_EQ(form.CurrentURL, url("video.cab"));
  EXPECT_THAT(opened(), ElementsAre(std::string("execute\topen\t") + kUpdates + "\t\t\t2"));
}

TEST_F(DownloadTest, ExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
  window_.image.file("Program Files\\Korvane\\DriversUpdates\\video.cab", "mine");
  TForm1& form = listFor({"video.cab"});
  download(form, 0, {true, false});
  EXPECT_EQ(window_.view.entries("ask: ").back(),
            "The file video.cab is already in the folder C:\\Program Files\\Korvane\\DriversUpdates. Replace it?");
  EXPECT_EQ(updatesFile("video.cab"), "mine");
  download(form, 0, {true, true});
  EXPECT_EQ(updatesFile("video.cab"), kDriver);
}

TEST_F(DownloadTest, FailedOrMismatchedDownloadIsReportedAndLeavesNothing) {
  TForm1& form = listFor({"missing.cab", "bad.cab", "good.cab"},
                         {"", "sha256=" + std::string(64, '0'), "size 21 sha256=" + sha256Hex(kDriver)});
  download(form, 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"The driver could not be downloaded from " + url("missing.cab") +
                                                  ".\nReturned http error code 404"}));
  EXPECT_TRUE(form.LastDownload().empty());
  download(form, 1);
  EXPECT_THAT(messages().back(), ::testing::StartsWith("The downloaded file does not match the checksum"));
  EXPECT_EQ(updatesCount(), 0u);
  EXPECT_THAT(opened(), IsEmpty());
  download(form, 2);
  EXPECT_EQ(updatesFile("good.cab"), kDriver);
  EXPECT_EQ(updatesCount(), 1u);
}

TEST_F(DownloadTest, NameFromTheNetworkMustStayInTheFolder) {
  const std::vector<std::string> names = {"", "con.cab", "a%5c..", "x."};
  TForm1& form = listFor(names);
  for (size_t row = 0; row < names.size(); ++row) {
    window_.view.log.clear();
    download(form, row);
    EXPECT_THAT(messages(), ElementsAre(::testing::StartsWith("Not a file name that can be used:"))) << names[row];
  }
  EXPECT_THAT(opened(), IsEmpty());
}

TEST_F(DownloadTest, CopyUrlPutsTheSelectedRowsUrlOnTheClipboard) {
  TForm1& form = listFor({"video.cab", "other.cab"});
  form.Click("CopyURL1");
  form.ListView2.Select(1, true);
  form.Click("CopyURL1");
  EXPECT_THAT(window_.image.actions(), ElementsAre("clipboard\t" + url("other.cab")));
}

}  // namespace
}  // namespace korvane::test
