// The database text: line restoring, entries, the family file, and the
// matching of devices on crafted lines; the one-pass matcher against the
// per-device scan on generated databases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>

#include "update/DatabaseText.h"

namespace korvane {
namespace {

using ::testing::ElementsAre;

// A stored database file of restored lines, each given its end character.
std::string storedFile(const std::vector<std::string>& restoredLines) {
  std::string file;
  for (const std::string& line : restoredLines) file += flipDatabaseLine(line + " ") + "\r\n";
  return file;
}

std::optional<std::string> compatibility(const std::string& lowerLine, const std::string& lowerId) {
  const auto found = lineCompatibility(lowerLine, lowerId);
  return found ? std::optional<std::string>(*found) : std::nullopt;
}

TEST(DatabaseText, RestoringMapsEveryByteAndReversesTheLine) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string restored = flipDatabaseLine(all);
  ASSERT_EQ(restored.size(), 256u);
  EXPECT_EQ(restored[255], '\0');  // 0x00 stays, now last
  EXPECT_EQ(static_cast<uint8_t>(restored[254]), 0xFF);  // 0x01
  EXPECT_EQ(static_cast<uint8_t>(restored[0]), 0x01);    // 0xFF
  for (int b = 1; b < 256; ++b) EXPECT_EQ(static_cast<uint8_t>(restored[255 - b]), 256 - b) << b;
  EXPECT_EQ(flipDatabaseLine(restored), all);
  EXPECT_EQ(flipDatabaseLine(""), "");
}

TEST(DatabaseText, LinesEndAtCrLfOrBoth) {
  EXPECT_THAT(databaseLines("a\r\nb\nc\rd"), ElementsAre("a", "b", "c", "d"));
  EXPECT_THAT(databaseLines("a\n\nb\r\n"), ElementsAre("a", "", "b"));
  EXPECT_TRUE(databaseLines("").empty());
}

TEST(DatabaseText, EntriesTakeVersionUrlAndNotes) {
  const auto entry = parseDatabaseEntry("PCI\\VEN_1&DEV_2::5.1.2::http://h.example/d.cab::sha256=ab ");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->version, "5.1.2");
  EXPECT_EQ(entry->url, "http://h.example/d.cab");
  EXPECT_EQ(entry->notes, "sha256=ab");
  // The last character belongs to no field.
  EXPECT_EQ(parseDatabaseEntry("X::1::HTTPS://h/d.cabQ")->url, "HTTPS://h/d.cab");
  EXPECT_EQ(parseDatabaseEntry("X::::http://h/a::b::c.")->notes, "b::c");
  EXPECT_EQ(parseDatabaseEntry("X::::http://h/a::b::c.")->version, "");
  for (const char* unusable : {"X::1 http://h/d ", "no separators at all", "X::1::ftp://h/d ", "X::1::http:///d ",
                               "X::1::http:// ", "X::1::", "X::1::h", "X::1::www.example.com/d "})
    EXPECT_FALSE(parseDatabaseEntry(unusable)) << unusable;
}

TEST(DatabaseText, AnnouncedChecksumIsSixtyFourHexDigits) {
  const std::string digest(64, 'a');
  EXPECT_EQ(announcedSha256("size 5; SHA256=" + std::string(64, 'A') + " sample"), digest);
  EXPECT_EQ(announcedSha256("sha256=" + digest), digest);
  EXPECT_FALSE(announcedSha256("sha256=" + std::string(63, 'a')));
  EXPECT_FALSE(announcedSha256("sha256=" + std::string(65, 'a')));
  EXPECT_FALSE(announcedSha256("sha256=" + std::string(63, 'a') + "g"));
  EXPECT_FALSE(announcedSha256("notes only"));
}

TEST(DatabaseText, FamilyFileForEverySystemName) {
  const std::pair<const char*, const char*> expected[] = {
      {"Microsoft Windows XP", "DBxxxXP.inf"},        {"Microsoft Windows XP Server", "DBxxxXP.inf"},
      {"Microsoft Windows 2000", "DBxxx2K.inf"},      {"Microsoft Windows 2000 Server", "DBxxx2K.inf"},
      {"Microsoft Windows Me", "DBxxxMe.inf"},        {"Microsoft Windows Millennium", "DBxxxMe.inf"},
      {"Microsoft Windows 98", "DBxxx98.inf"},        {"Microsoft Windows 98 Second Edition", "DBxxx98.inf"},
      {"Microsoft Windows 95", "DBxxx95.inf"},        {"Microsoft Windows 95 OSR2", "DBxxx95.inf"},
      {"Microsoft Windows NT", "DBxxxNT.inf"},        {"Microsoft Windows NT Server", "DBxxxNT.inf"}};
  for (const auto& [system, file] : expected) EXPECT_EQ(databaseFileFor(system), file) << system;
  EXPECT_FALSE(databaseFileFor("Microsoft Windows 3.1"));
  EXPECT_FALSE(databaseFileFor(""));
  EXPECT_TRUE(isDatabaseFileName("dbxxxxp.INF"));
  EXPECT_FALSE(isDatabaseFileName("DBxxxXP.inf.exe"));
  EXPECT_FALSE(isDatabaseFileName("..\\DBxxxXP.inf"));
}

TEST(DatabaseText, ExactTestNeedsDashOrColonAfterTheFirstOccurrence) {
  const std::string id = "pci\\ven_8086&dev_7190";
  EXPECT_EQ(compatibility(id + "::1::u ", id), "100%");
  EXPECT_EQ(compatibility("x " + id + "-rev::1::u ", id), "100%");
  EXPECT_EQ(compatibility(id + "&rev_03::1::u ", id), std::nullopt);
  EXPECT_EQ(compatibility(id + " " + id + "::1 ", id), std::nullopt);  // only the first occurrence counts
  EXPECT_EQ(compatibility("x" + id, id), std::nullopt);                // nothing after it
  EXPECT_EQ(compatibility("anything::1::u ", ""), std::nullopt);       // an empty ID matches nothing
}

TEST(DatabaseText, SubsystemTestGivesItsThreeTexts) {
  const std::string id = "pci\\ven_10de&dev_0110&subsys_00231458&rev_a1";
  const std::string prefix = "pci\\ven_10de&dev_0110";
  EXPECT_EQ(compatibility(prefix + "&rev::1::u ", id), "95%");
  EXPECT_EQ(compatibility(prefix + "::1458-x::u ", id), "98%");
  EXPECT_EQ(compatibility(prefix + "::1::u::1458::x ", id), "98%");
  EXPECT_EQ(compatibility("1458-" + prefix + "::1::u ", id), "95%");  // the vendor part at the first position
  EXPECT_EQ(compatibility("1458&" + prefix + "::1::u ", id), "95%");
  EXPECT_EQ(compatibility("pci\\ven_10de&dev_0111::1::u ", id), std::nullopt);

  const std::string zeros = "pci\\ven_10de&dev_0110&subsys_00000000&rev_a1";
  EXPECT_EQ(compatibility(prefix + "&x::1::u ", zeros), "100%");
  EXPECT_EQ(compatibility(prefix + "&x::1::u-0000-", zeros), "98%");  // the vendor rule comes last

  // "subsys_" at the start or right after one character leaves no prefix.
  EXPECT_EQ(compatibility("anything::1::u ", "subsys_00231458"), std::nullopt);
  EXPECT_EQ(compatibility("anything::1::u ", "xsubsys_00231458"), std::nullopt);
  EXPECT_EQ(compatibility("x&a::1::u ", "x&subsys_00231458"), "95%");
  // A short subsystem part has no vendor part to look for.
  EXPECT_EQ(compatibility(prefix + "&x::1::u-4-", "pci\\ven_10de&dev_0110&subsys_004"), "95%");
}

TEST(DatabaseText, RowsFollowDeviceOrderThenFileOrderAndUrlsAppearOnce) {
  const std::vector<DeviceToMatch> devices = {
      {"Sound", "1-1-2001", "PCI\\VEN_1&DEV_A"}, {"Video", "2-2-2002", "PCI\\VEN_2&DEV_B&SUBSYS_12341111&REV_01"},
      {"Nothing", "3-3-2003", ""}, {"Modem", "4-4-2004", "pci\\ven_1&dev_a"}};
  const std::string file = storedFile({
      "pci\\ven_2&dev_b::2.0::http://x/video.cab",
      "PCI\\VEN_1&DEV_A::1.0::http://x/sound.cab",
      "PCI\\VEN_1&DEV_A::1.1::http://x/sound.cab",  // same URL as the first row
      "PCI\\VEN_1&DEV_A-::1.2::http://x/sound2.cab::sha256=00",
      "PCI\\VEN_1&DEV_A::broken line",
      "PCI\\VEN_2&DEV_B::2.1::http://x/video2.cab::1111-",
  });
  const std::vector<UpdateCandidate> expected = {
      {"Sound", "1-1-2001", "1.0", "http://x/sound.cab", "100%", ""},
      {"Sound", "1-1-2001", "1.2", "http://x/sound2.cab", "100%", "sha256=00"},
      {"Video", "2-2-2002", "2.0", "http://x/video.cab", "95%", ""},
      {"Video", "2-2-2002", "2.1", "http://x/video2.cab", "98%", "1111-"},
  };
  EXPECT_EQ(matchEachDevice(devices, file), expected);
  EXPECT_EQ(matchInOnePass(devices, file), expected);
  EXPECT_TRUE(matchInOnePass({}, file).empty());
  EXPECT_TRUE(matchInOnePass(devices, "").empty());
}

// ---- generated databases: IDs that share prefixes and subsystem parts,
// lines that hold them in every way the rules look at.

std::string randomHex(std::mt19937& random, int digits) {
  std::string hex;
  for (int i = 0; i < digits; ++i) hex += "0123456789ABCDEF"[random() % 2];  // few digits: many collisions
  return hex;
}

std::vector<DeviceToMatch> generatedDevices(std::mt19937& random, size_t count) {
  std::vector<DeviceToMatch> devices;
  for (size_t i = 0; i < count; ++i) {
    // Two vendors and two devices: IDs that share their start and their end.
    std::string id = "PCI\\VEN_" + randomHex(random, 1) + "&DEV_" + randomHex(random, 1);
    switch (random() % 6) {
      case 0: id += "&SUBSYS_" + randomHex(random, 8); break;
      case 1: id += "&SUBSYS_00000000&REV_0" + randomHex(random, 1); break;
      case 2: id = "USB\\VID_" + randomHex(random, 2); break;
      case 3: id = random() % 2 ? "" : "&SUBSYS_" + randomHex(random, 8); break;
      case 4: id = id.substr(4); break;  // the end of other devices' IDs
      default: id += "&SUBSYS_" + randomHex(random, 4) + "1458&REV_" + randomHex(random, 2); break;
    }
    devices.push_back({"Device " + std::to_string(i), std::to_string(i), id});
  }
  return devices;
}

std::string generatedDatabase(std::mt19937& random, const std::vector<DeviceToMatch>& devices, size_t lines) {
  static const char* kJoins[] = {"-", ":", "::", "&", " ", ",", "-1458-", "1458::"};
  std::vector<std::string> restored;
  for (size_t i = 0; i < lines; ++i) {
    std::string id = devices[random() % devices.size()].deviceId;
    if (random() % 3 == 0) id = id.substr(0, id.size() / 2 + random() % (id.size() / 2 + 1));
    else if (random() % 2) id = id.substr(0, id.rfind('&'));  // often a device's part before its subsystem
    if (random() % 2) for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string line = (random() % 4 == 0 ? kJoins[random() % 8] : "") + id + kJoins[random() % 8];
    line += "::" + std::to_string(random() % 9) + "::http://x/" + std::to_string(random() % (lines / 2 + 1));
    if (random() % 4 == 0) line += "::" + std::string(kJoins[random() % 8]);
    if (random() % 20 == 0) line = "junk " + line.substr(0, line.find("::"));
    restored.push_back(line);
  }
  return storedFile(restored);
}

TEST(DatabaseText, OnePassEqualsTheReferenceOnGeneratedDatabases) {
  std::map<std::string, size_t> texts;  // how often each compatibility text came
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    const std::vector<DeviceToMatch> devices = generatedDevices(random, 1 + random() % 40);
    const std::string file = generatedDatabase(random, devices, 50 + random() % 400);
    const std::vector<UpdateCandidate> reference = matchEachDevice(devices, file);
    EXPECT_EQ(matchInOnePass(devices, file), reference) << "seed " << seed;
    for (const UpdateCandidate& row : reference) ++texts[row.compatibility];
  }
  // The generator reaches every rule.
  EXPECT_GT(texts["100%"], 50u);
  EXPECT_GT(texts["98%"], 20u);
  EXPECT_GT(texts["95%"], 20u);
}

}  // namespace
}  // namespace korvane
