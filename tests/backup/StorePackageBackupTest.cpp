// Backups on Windows 10: a driver with a driver-store package is backed up as
// that whole package (sub-folders included) in folders, CAB and EXE packages;
// one without is backed up from its INF as before; the store stays untouched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>

#include "backup/BackupTestSupport.h"
#include "packaging/CabSTComps.h"
#include "platform/RichText.h"

namespace korvane::test {
namespace {

using ::testing::Contains;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

namespace fs = std::filesystem;

constexpr const char* kStore = "Windows\\System32\\DriverStore\\FileRepository\\";
constexpr const char* kTess = "tessgfx.inf_amd64_0123456789abcdef";
const std::string kTessFolder = std::string("C:\\") + kStore + kTess;
const std::string kTessInf =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nCatalogFile=tessgfx.cat\r\n"
    "[SourceDisksFiles.amd64]\r\ntessgfx.sys=1\r\ntessfw.bin=1,x64\r\n[SourceDisksFiles.x86]\r\ntess32.sys=1\r\n";

// Every file below a host folder, as relative paths with backslashes.
std::vector<std::string> treeOf(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), folder).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    files.push_back(relative);
  }
  return files;
}

// Every file below a host folder with its bytes, by relative path.
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const std::string& file : treeOf(folder)) {
    std::string path = file;
    std::replace(path.begin(), path.end(), '\\', '/');
    contents[file] = hostBytes(folder / path);
  }
  return contents;
}

// The names cabextract lists; it shows the cabinet's "\\" as "/".
std::vector<std::string> cabinetNames(const fs::path& cabinet) { return entryNames(cabinetEntries(cabinet)); }

// A Windows 10 x64 machine with two third-party drivers: Tess Graphics, whose
// package (with an x64 sub-folder and files for x86 that were never copied
// into System32) the DriverDatabase names, and Orvik Net, installed from an
// INF the store does not hold.
struct Windows10 {
  StartedWindow w;
  // more adds to the image before the window starts.
  explicit Windows10(const std::function<void(ImageBuilder&)>& more = {}) {
    w.image.set("Version", "Major", "10").set("Version", "Minor", "0").set("Version", "Build", "19045");
    w.image.set("System", "WindowsDirectory", "C:\\Windows").set("System", "SystemDirectory", "C:\\Windows\\System32");
    w.image.set("Environment", "windir", "C:\\Windows");
    const std::string package = std::string(kStore) + kTess + "\\";
    w.image.file(package + "tessgfx.inf", kTessInf).file(package + "tessgfx.cat", "signed")
        .file(package + "tessgfx.sys", "tess").file(package + "tess32.sys", "tess x86")
        .file(package + "x64\\tessfw.bin", "firmware");
    w.image.file("Windows\\INF\\oem3.inf", kTessInf).file("Windows\\System32\\drivers\\tessgfx.sys", "tess");
    w.image.file("Windows\\INF\\oem4.inf", "[Version]\r\n[SourceDisksFiles]\r\norvik.sys=1\r\n")
        .file("Windows\\System32\\drivers\\orvik.sys", "orvik");
    w.image.registry("class.reg",
                     driver("{D}", "0000", {{"DriverDesc", "Tess Graphics"}, {"InfPath", "oem3.inf"},
                                            {"ProviderName", "Tess"}, {"MatchingDeviceId", "pci\\\\ven_7e55"}}) +
                         driver("{N}", "0000", {{"DriverDesc", "Orvik Net"}, {"InfPath", "oem4.inf"},
                                                {"ProviderName", "Orvik"}, {"MatchingDeviceId", "pci\\\\ven_0bb1"}}));
    w.image.registry("driverdb.reg",
                     regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\DriverDatabase\\DriverInfFiles\\oem3.inf", {{"Active", kTess}}) +
                         "[HKEY_LOCAL_MACHINE\\SYSTEM\\DriverDatabase\\DriverPackages\\" + kTess +
                         "]\r\n@=\"oem3.inf\"\r\n\r\n");
    if (more) more(w.image);
    w.start().BitBtn8Click();
  }
  TForm1& form() { return *w.form; }
  fs::path host(const std::string& path) const { return hostFileOnC(w.image.root(), path); }
  std::vector<std::string> storeNow() const { return treeOf(host(std::string("C:\\") + kStore)); }
  std::optional<SetupDiy> descriptor(const std::string& folder) {
    return ReadSetupDiy(*makeRichText(w.image.open()), folder);
  }
};

TEST(StorePackageBackup, BackupAllTakesEachPackageWholeAndTheOthersFromTheirInf) {
  Windows10 m;
  const auto storeBefore = m.storeNow();
  m.w.view.folders.push_back("C:\\Backup");
  m.form().BitBtn3Click();

  EXPECT_THAT(treeOf(m.host("C:\\Backup\\Tess Graphics")),
              UnorderedElementsAre("tess32.sys", "tessgfx.cat", "tessgfx.inf", "tessgfx.sys", "x64\\tessfw.bin",
                                   "Setup.DIY"))
      << "the package as the store holds it, not oem3.inf";
  EXPECT_EQ(hostBytes(m.host("C:\\Backup\\Tess Graphics\\x64\\tessfw.bin")), "firmware");
  const auto tess = m.descriptor("C:\\Backup\\Tess Graphics");
  ASSERT_TRUE(tess);
  EXPECT_EQ(tess->hardwareId, "pci\\ven_7e55");
  EXPECT_EQ(tess->infName, "tessgfx.inf") << "restore runs the tool on the package's own INF";

  EXPECT_THAT(treeOf(m.host("C:\\Backup\\Orvik Net")), UnorderedElementsAre("orvik.sys", "oem4.inf", "Setup.DIY"));
  EXPECT_EQ(m.descriptor("C:\\Backup\\Orvik Net")->infName, "oem4.inf");

  const auto memo = m.w.view.entries("memo: ");
  EXPECT_THAT(memo, Contains("Backed up as its complete driver store package: " + kTessFolder));
  EXPECT_THAT(memo, Contains("No driver store package found: backed up from the files its INF names."));
  EXPECT_EQ(m.storeNow(), storeBefore) << "nothing is written into the driver store";
  EXPECT_THAT(m.w.view.entries("message: "), Contains("2 driver collect and backup successfully."));
}

TEST(StorePackageBackup, PackagesKeepTheSubFolders) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  Windows10 m;
  const auto storeBefore = m.storeNow();
  m.w.view.folders.push_back("C:\\Cabs");
  m.form().MenuSFX2Click();
  EXPECT_THAT(cabinetNames(m.host("C:\\Cabs\\Tess Graphics.CAB")),
              UnorderedElementsAre("tess32.sys", "tessgfx.cat", "tessgfx.inf", "tessgfx.sys", "x64/tessfw.bin"));
  EXPECT_THAT(cabinetNames(m.host("C:\\Cabs\\Orvik Net.CAB")), UnorderedElementsAre("orvik.sys", "oem4.inf"));

  // One driver's EXE: the stub, then the same tree.
  m.form().ListView1SelectItem(rowOf(m.form(), "Tess Graphics"), true);
  m.form().MenuSFX1Click();
  m.form().Edit1Change("C:\\Exe");
  m.form().Button1Click();
  const std::string installer = hostBytes(m.host("C:\\Exe\\Tess Graphics.EXE"));
  const std::string stub = hostBytes(fs::path(KORVANE_BINARY_DIR) / "tools" / "installer.exe");
  ASSERT_GT(installer.size(), stub.size());
  const fs::path tail = m.w.image.root() / "tail.cab";
  std::ofstream(tail, std::ios::binary) << installer.substr(stub.size());
  EXPECT_THAT(cabinetNames(tail),
              UnorderedElementsAre("tess32.sys", "tessgfx.cat", "tessgfx.inf", "tessgfx.sys", "x64/tessfw.bin"));

  // All drivers in one EXE: each driver's folder keeps its tree and Setup.DIY;
  // the cabinet takes what was copied, a package in a folder of its own, so
  // that no file of another driver can replace one of its signed files.
  m.w.view.folders.push_back("C:\\All");
  m.form().MenuSFX3Click();
  const std::string all = hostBytes(m.host("C:\\All\\AllDrivers.EXE"));
  ASSERT_GT(all.size(), stub.size());
  std::ofstream(tail, std::ios::binary | std::ios::trunc) << all.substr(stub.size());
  const std::string tess = std::string(kTess) + "/";
  EXPECT_THAT(cabinetNames(tail),
              UnorderedElementsAre(tess + "tess32.sys", tess + "tessgfx.cat", tess + "tessgfx.inf", tess + "tessgfx.sys",
                                   tess + "x64/tessfw.bin", "orvik.sys", "oem4.inf"));
  EXPECT_EQ(m.descriptor("C:\\All\\Tess Graphics")->infName, "tessgfx.inf");
  EXPECT_EQ(m.storeNow(), storeBefore);
}

// A second version of the Tess driver in the store: the same file names
// (INF, catalog, x64\tessfw.bin) with other bytes. Side by side in one folder
// of the installer's cabinet, one driver's files would be extracted over the
// other's, and that driver would install with the wrong ones.
TEST(StorePackageBackup, TheOneInstallerKeepsEachDriversFilesApart) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  const std::string pro = "tessgfx.inf_amd64_fedcba9876543210";
  const std::string proInf = kTessInf + "; the Pro model's own build\r\n";
  Windows10 m([&](ImageBuilder& image) {
    const std::string folder = std::string(kStore) + pro + "\\";
    image.file(folder + "tessgfx.inf", proInf).file(folder + "tessgfx.cat", "signed pro")
        .file(folder + "tessgfx.sys", "tess pro").file(folder + "x64\\tessfw.bin", "firmware pro");
    image.file("Windows\\INF\\oem5.inf", proInf);
    image.registry("pro.reg", driver("{D}", "0001", {{"DriverDesc", "Tess Graphics Pro"}, {"InfPath", "oem5.inf"},
                                                     {"ProviderName", "Tess"}, {"MatchingDeviceId", "pci\\\\ven_7e56"}}));
  });
  m.w.view.folders.push_back("C:\\All");
  m.form().MenuSFX3Click();

  // What the installer must give back: each package as the store holds it,
  // and the driver backed up from its INF as its folder holds it.
  std::map<std::string, std::string> expected;
  for (const std::string& package : {std::string(kTess), pro})
    for (const auto& [path, bytes] : contentsOf(m.host(std::string("C:\\") + kStore + package)))
      expected[package + "\\" + path] = bytes;
  for (const auto& [path, bytes] : contentsOf(m.host("C:\\All\\Orvik Net")))
    if (path != "Setup.DIY") expected[path] = bytes;
  EXPECT_EQ(m.descriptor("C:\\All\\Tess Graphics Pro")->infName, "tessgfx.inf");

  const fs::path installer = m.host("C:\\All\\AllDrivers.EXE");
  const fs::path byCabextract = m.w.image.root() / "cabextract";
  std::string output;
  ASSERT_EQ(runCommand("cabextract -q -d " + quoted(byCabextract) + " " + quoted(installer), &output), 0) << output;
  EXPECT_EQ(contentsOf(byCabextract), expected);

  // Our own reader, on the cabinet behind the stub.
  const std::string stub = hostBytes(fs::path(KORVANE_BINARY_DIR) / "tools" / "installer.exe");
  std::ofstream(m.host("C:\\All\\tail.cab"), std::ios::binary) << hostBytes(installer).substr(stub.size());
  TSTCabReader reader(m.w.image.open());
  reader.ExtractFiles("C:\\All\\tail.cab", "C:\\Ours");
  EXPECT_FALSE(reader.LastError().fError);
  EXPECT_EQ(contentsOf(m.host("C:\\Ours")), expected);
}

// The counts say what the backup takes: the package's every file, not the
// files its INF names, nor its sub-folders counted as one.
TEST(StorePackageBackup, TheDetailsAndTheAnalysisNameThePackage) {
  Windows10 m([](ImageBuilder& image) {
    image.file(std::string(kStore) + kTess + "\\x64\\Firmware\\tessfw2.bin", "more firmware");
  });
  m.form().ListView1SelectItem(rowOf(m.form(), "Tess Graphics"), true);
  EXPECT_THAT(m.form().Memo1, Contains("Driver store package: " + kTessFolder));
  EXPECT_THAT(m.form().Memo1, Contains("There are 6 files to be packaged."));
  m.form().ListView1SelectItem(rowOf(m.form(), "Orvik Net"), true);
  EXPECT_THAT(m.form().Memo1, Not(Contains(::testing::HasSubstr("Driver store package"))));
  EXPECT_THAT(m.form().Memo1, Contains("There are 2 files to be packaged.")) << "orvik.sys and the INF";

  // Backup of the selection: the analysis lists the package's entries.
  m.form().ListView1SelectItem(rowOf(m.form(), "Orvik Net"), false);
  m.form().ListView1SelectItem(rowOf(m.form(), "Tess Graphics"), true);
  m.form().PopBackup1Click();
  EXPECT_THAT(m.form().Memo1, Contains(kTessFolder + "\\x64"));
  EXPECT_THAT(m.form().Memo1, Contains("Backed up as its complete driver store package: " + kTessFolder));
  EXPECT_THAT(m.form().Memo1, Contains("There are 6 files to backup."));
  m.form().Edit1Change("C:\\One");
  m.form().Button1Click();
  EXPECT_THAT(treeOf(m.host("C:\\One\\Tess Graphics")),
              UnorderedElementsAre("tess32.sys", "tessgfx.cat", "tessgfx.inf", "tessgfx.sys", "x64\\tessfw.bin",
                                   "x64\\Firmware\\tessfw2.bin", "Setup.DIY"));
}

}  // namespace
}  // namespace korvane::test
