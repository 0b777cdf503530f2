// The generator's database image read the way the update check reads it,
// opened as a picture, and the sample tables matched against the sample
// machines' devices.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/Sha256.h"
#include "support/HostCommand.h"
#include "packaging/CabTestKit.h"
#include "tools/database/DatabaseGenerator.h"
#include "tools/database/DatabaseTables.h"
#include "update/DatabaseImage.h"
#include "update/DatabaseText.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using namespace korvane::dbgen;
using ::testing::ElementsAre;

std::string hostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<SourceTable> sampleTables() {
  std::vector<SourceTable> tables;
  for (const char* family : {"XP", "2K", "Me", "98", "95", "NT"}) {
    const std::string name = std::string(family) + ".csv";
    tables.push_back({name, hostFile(fs::path(KORVANE_SAMPLES) / "database" / name)});
  }
  return tables;
}

// The image on a machine, reassembled and checked as the update check does.
class GeneratedImage : public cab::CabTest {
 protected:
  DatabaseImageCheck check(const std::string& image) {
    put(at("msdevupd.PNF"), image);
    return checkDatabaseImage(files(), at("msdevupd.PNF"), at("msdevupd.ini"));
  }
  // A database file of the reassembled cabinet, as stored.
  std::string storedFile(const std::string& databaseFile) {
    // The reassembled file goes on past the cabinet; cabextract would look
    // for more cabinets there, the check reads only the cabinet's own length.
    const std::string reassembled = get(at("msdevupd.ini"));
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<unsigned char>(reassembled.at(8 + i));
    put(at("database.cab"), reassembled.substr(0, length));
    std::string text;
    EXPECT_EQ(runCommand("cabextract -q -p -F " + databaseFile + " " + quoted(fs::path(hostPath(at("database.cab")))),
                         &text),
              0);
    return text;
  }
  std::vector<std::string> restoredLines(const std::string& databaseFile) {
    const std::string text = storedFile(databaseFile);
    std::vector<std::string> lines;
    for (std::string_view stored : databaseLines(text)) lines.push_back(flipDatabaseLine(stored));
    return lines;
  }
  // The candidates for the devices, as "description version compatibility".
  std::vector<std::string> candidates(const std::string& databaseFile, const std::vector<DeviceToMatch>& devices) {
    const std::string text = storedFile(databaseFile);
    EXPECT_EQ(matchEachDevice(devices, text), matchInOnePass(devices, text));
    std::vector<std::string> rows;
    for (const UpdateCandidate& row : matchInOnePass(devices, text))
      rows.push_back(row.description + " " + row.database + " " + row.compatibility);
    return rows;
  }
};

TEST_F(GeneratedImage, TheCheckReassemblesItAndPictureReadersOpenIt) {
  const std::vector<SourceTable> tables = {
      {"98.csv", "hardware_id,version,url,notes\nPCI\\VEN_1D4E&DEV_0310,4.1,http://h.example/a/v.cab,first\n"},
      {"XP.csv", "hardware_id,version,url,notes\nUSB\\VID_1F61&PID_1200,1.3,http://h.example/s.cab\n"
                 "USB\\VID_1F61&PID_1201,1.4,http://h.example/s.cab\n"}};
  const GeneratedDatabase database = generateDatabase(tables, true);
  ASSERT_GE(database.image.size(), kSmallestDatabaseImage);
  const DatabaseImageCheck checked = check(database.image);
  ASSERT_TRUE(checked.valid()) << static_cast<int>(checked.fault);
  EXPECT_THAT(checked.names, ElementsAre("DBxxx98.inf", "DBxxxXP.inf"));
  const std::string& image = database.image;
  const std::string expected = image.substr(image.size() - kCabinetHeadSize) + image.substr(kPictureHeadSize);
  EXPECT_TRUE(get(at("msdevupd.ini")) == expected);

  ASSERT_EQ(database.packages.size(), 2u);  // one per URL
  const std::string& shared = database.packages.at("s.cab");
  const std::string digest = sha256Hex(shared);
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  EXPECT_THAT(restoredLines("DBxxxXP.inf"),
              ElementsAre("USB\\VID_1F61&PID_1200::1.3::http://h.example/s.cab::sha256=" + digest + ";",
                          "USB\\VID_1F61&PID_1201::1.4::http://h.example/s.cab::sha256=" + digest + ";"));
  const std::vector<std::string> lines98 = restoredLines("DBxxx98.inf");
  ASSERT_EQ(lines98.size(), 1u);
  const std::optional<DatabaseEntry> entry = parseDatabaseEntry(lines98[0]);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->version, "4.1");
  EXPECT_EQ(announcedSha256(entry->notes), sha256Hex(database.packages.at("a/v.cab")));
  EXPECT_NE(entry->notes.find("first"), std::string::npos);

  std::string readme;
  put(at("s.cab"), shared);
  ASSERT_EQ(runCommand("cabextract -q -p -F README.TXT " + quoted(fs::path(hostPath(at("s.cab")))), &readme), 0);
  EXPECT_NE(readme.find("This file holds no driver."), std::string::npos) << readme;

  KORVANE_NEEDS(haveTool("identify"), "ImageMagick is not installed");
  std::string picture;
  ASSERT_EQ(runCommand("identify " + quoted(fs::path(hostPath(at("msdevupd.PNF")))), &picture), 0) << picture;
  EXPECT_NE(picture.find("GIF 200x150"), std::string::npos) << picture;
}

TEST_F(GeneratedImage, TheSameTablesGiveTheSameBytesAndTheBuildCarriesThem) {
  const GeneratedDatabase first = generateDatabase(sampleTables(), true);
  const GeneratedDatabase second = generateDatabase(sampleTables(), true);
  EXPECT_TRUE(first.image == second.image);
  EXPECT_TRUE(first.packages == second.packages);
  const std::string built = hostFile(fs::path(KORVANE_BINARY_DIR) / "database" / "MsSetup6.CAB");
  EXPECT_TRUE(built == first.image) << "the build's image (" << built.size() << " bytes) is not the sample tables' ("
                                    << first.image.size() << ")";
  for (const auto& [path, bytes] : first.packages)
    EXPECT_TRUE(hostFile(fs::path(KORVANE_BINARY_DIR) / "database" / "packages" / path) == bytes) << path;
}

TEST_F(GeneratedImage, TablesThatNameNoFamilyOrTheSameOneTwiceAreRefused) {
  const std::string rows = "hardware_id,version,url,notes\nA,1,http://h.example/a.cab\n";
  EXPECT_THROW(generateDatabase({{"Vista.csv", rows}}, false), TableError);
  EXPECT_THROW(generateDatabase({{"XP.csv", rows}, {"XP.csv", rows}}, false), TableError);
  EXPECT_THROW(generateDatabase({}, false), TableError);
  const std::string outside = "hardware_id,version,url,notes\nA,1,http://h.example/../a.cab\n";
  EXPECT_THROW(generateDatabase({{"XP.csv", outside}}, true), TableError);  // no package can be written for it
  EXPECT_NO_THROW(generateDatabase({{"XP.csv", outside}}, false));
}

TEST_F(GeneratedImage, TheSampleTablesListTheSampleMachinesDevicesWithEveryCompatibility) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  const DatabaseImageCheck checked = check(generateDatabase(sampleTables(), true).image);
  ASSERT_TRUE(checked.valid()) << static_cast<int>(checked.fault);
  EXPECT_THAT(checked.names, ElementsAre("DBxxxXP.inf", "DBxxx2K.inf", "DBxxxMe.inf", "DBxxx98.inf", "DBxxx95.inf",
                                         "DBxxxNT.inf"));
  // Devices of samples/xp, Microsoft's among them; the modem's two functions
  // share one package, which is listed once.
  const std::vector<DeviceToMatch> xp = {
      {"Pellwick USB 2.0 Card Reader", "2-21-2008", "usb\\vid_1f7a&pid_0618"},
      {"Tessaline Vistra 5200", "7-15-2008", "pci\\ven_1d4e&dev_0322"},
      {"Tessaline Vistra 5200 Secondary", "7-15-2008", "pci\\ven_1d4e&dev_0323"},
      {"Orvik SoundWave 64", "3-2-2007", "pci\\ven_1e2b&dev_0640&subsys_00011e2b"},
      {"Orvik SoundWave Gameport", "3-2-2007", "pci\\ven_1e2b&dev_0641"},
      {"Halden PhoneLink 56K USB", "11-20-2006", "usb\\vid_1f0c&pid_5601&mi_00"},
      {"Halden PhoneLink 56K USB", "11-20-2006", "usb\\vid_1f0c&pid_5601&mi_01"},
      {"Velmar TouchPad", "4-3-2007", "*vlm0f03"},
      {"Brennet FastLink", "10-25-2007", "pci\\ven_1e91&dev_0a10"},
      {"Corvetta SATA 300 RAID Controller", "1-12-2008", "pci\\ven_1f4c&dev_3132"},
      {"Quillon ScanDesk 1200U", "9-14-2006", "usb\\vid_1f61&pid_1200"},
      {"USB Root Hub", "7-1-2001", "usb\\root_hub"},
      {"PCI bus", "7-1-2001", "*pnp0a03"},
      {"Standard Enhanced PCI to USB Host Controller", "7-1-2001", "pci\\cc_0c0320"},
      {"Disk drive", "7-1-2001", "gendisk"}};
  EXPECT_THAT(candidates("DBxxxXP.inf", xp),
              ElementsAre("Tessaline Vistra 5200 6.14.10.6100 100%", "Orvik SoundWave 64 5.12.1.3100 98%",
                          "Orvik SoundWave 64 5.12.1.2900 95%", "Halden PhoneLink 56K USB 2.1.52.0 100%",
                          "Velmar TouchPad 9.2.0.1 100%", "Brennet FastLink 5.612.1120.2008 100%",
                          "Corvetta SATA 300 RAID Controller 3.2.0.1204 100%", "Quillon ScanDesk 1200U 1.3.1.0 100%"));
  const std::vector<DeviceToMatch> win98 = {
      {"Tessaline Vistra 98", "6-14-1999", "PCI\\VEN_1D4E&DEV_0310"},
      {"Orvik SoundWave 64 (WDM)", "10-2-1999", "PCI\\VEN_1E2B&DEV_0640&SUBSYS_00011E2B"},
      {"Quillon ScanDesk 1200U", "9-14-1999", "USB\\VID_1F61&PID_1200"},
      {"Halden HomeLink 56K Voice", "3-3-1999", "SERENUM\\HLD5600"},
      {"Velmar TouchPad", "8-16-1999", "*VLM0F03"},
      {"Brennet FastLink", "11-11-1999", "PCI\\VEN_1E91&DEV_0A10"},
      {"Pellwick USB Card Reader", "12-6-1999", "USB\\VID_1F7A&PID_0618"},
      {"PCI bus", "4-23-1999", "*PNP0A03"}};
  EXPECT_THAT(candidates("DBxxx98.inf", win98),
              ElementsAre("Tessaline Vistra 98 4.10.1.2200 100%", "Orvik SoundWave 64 (WDM) 5.0.0.9 98%",
                          "Quillon ScanDesk 1200U 1.2.0.8 100%", "Halden HomeLink 56K Voice 1.4.0.2 100%",
                          "Velmar TouchPad 8.3.0.0 100%"));
}

}  // namespace
}  // namespace korvane::test
