// CAB and EXE packages of one driver through the main window on images,
// checked with cabextract as an independent reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "backup/BackupTestSupport.h"
#include "support/HostCommand.h"

namespace korvane::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

namespace fs = std::filesystem;

constexpr const char* kBrennet = "Brennet FastLink 10/100 PCI Ethernet Adapter";
constexpr const char* kBrennetName = "Brennet FastLink 10 100 PCI Ethernet Adapter";

class Packages : public ::testing::Test {
 protected:
  void SetUp() override {
    KORVANE_NEEDS(haveTool("cabextract"), "cabextract is not installed");
  }
  // Selects the row, runs the command and presses Start with C:\OUT.
  void package(void (TForm1::*command)(), const std::string& caption = kBrennet) {
    w.form.ListView1SelectItem(rowOf(w.form, caption), true);
    (w.form.*command)();
    w.form.Edit1Change("C:\\OUT");
    w.form.Button1Click();
  }
  SampleWindow w;
};

TEST_F(Packages, CabPackageHoldsTheDriverFolderAndLeavesNoFolder) {
  package(&TForm1::PopBackup2Click);
  EXPECT_THAT(filesIn(*w.sample.machine, "C:\\OUT"), ElementsAre(std::string(kBrennetName) + ".CAB"));
  const auto entries = cabinetEntries(w.host(std::string("C:\\OUT\\") + kBrennetName + ".CAB"));
  EXPECT_THAT(entryNames(entries), UnorderedElementsAre("oem5.inf", "brnfast.sys", "brnfast.cat")) << "no Setup.DIY";
  EXPECT_THAT(w.view.entries("message: "), ElementsAre(std::string(kBrennet) + " CAB Package created successfully!"));
  EXPECT_EQ(w.form.StatusBar1, "Package created successfully!");
  EXPECT_TRUE(w.form.Backup().StartFinished());
  EXPECT_TRUE(memoHas(w.form, "Retreiving and copying files ......")) << "the caption needed replacements";
  EXPECT_THAT(w.view.entries("memo+ "), ElementsAre(std::string(22, '.'), std::string(22, '.'),
                                                      ".........................   OK!"));
}

TEST_F(Packages, ASecondPackageReplacesTheFirstAndListsEachFileOnce) {
  package(&TForm1::PopBackup2Click);
  const fs::path cabinet = w.host(std::string("C:\\OUT\\") + kBrennetName + ".CAB");
  std::ofstream(cabinet, std::ios::app) << "trailing junk";
  package(&TForm1::PopBackup2Click);
  EXPECT_THAT(entryNames(cabinetEntries(cabinet)), UnorderedElementsAre("oem5.inf", "brnfast.sys", "brnfast.cat"));
  EXPECT_EQ(hostBytes(cabinet).find("trailing junk"), std::string::npos);
  EXPECT_EQ(std::count_if(w.form.Memo1.begin(), w.form.Memo1.end(),
                          [](const std::string& line) { return line.ends_with("\\brnfast.sys"); }),
            1);
}

TEST_F(Packages, ExePackageIsTheStubFollowedByTheCabinet) {
  package(&TForm1::MenuSFX1Click);
  EXPECT_THAT(filesIn(*w.sample.machine, "C:\\OUT"), ElementsAre(std::string(kBrennetName) + ".EXE"));
  const std::string installer = hostBytes(w.host(std::string("C:\\OUT\\") + kBrennetName + ".EXE"));
  // The stub the build made, carried unchanged.
  const std::string stub = hostBytes(fs::path(KORVANE_BINARY_DIR) / "tools" / "installer.exe");
  ASSERT_GT(stub.size(), 1000u);
  ASSERT_GT(installer.size(), stub.size());
  EXPECT_TRUE(installer.compare(0, stub.size(), stub) == 0) << "the stub, unchanged";
  const fs::path tail = w.sample.host->path() / "tail.cab";
  std::ofstream(tail, std::ios::binary) << installer.substr(stub.size());
  EXPECT_EQ(installer.compare(stub.size(), 4, "MSCF"), 0) << "the cabinet right after the stub";
  EXPECT_THAT(entryNames(cabinetEntries(tail)), UnorderedElementsAre("oem5.inf", "brnfast.sys", "brnfast.cat"));
  EXPECT_EQ(w.form.Backup().Kind(), PackageKind::Exe);
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre(std::string(kBrennet) + " EXE Installation Package created successfully!"));
  EXPECT_TRUE(w.sample.machine->files().exists("C:\\WINDOWS\\INF\\Temp0000.tmp")) << "the stub copy stays until close";
}

TEST_F(Packages, AnInstallerThatCannotBeWrittenKeepsTheCabinet) {
  // A folder of the installer's name: the file cannot be created.
  ASSERT_TRUE(w.sample.machine->files().forceDirectories(std::string("C:\\OUT\\") + kBrennetName + ".EXE"));
  package(&TForm1::PopBackup3Click);
  EXPECT_THAT(filesIn(*w.sample.machine, "C:\\OUT"),
              UnorderedElementsAre(std::string(kBrennetName) + ".CAB", std::string(kBrennetName) + ".EXE"))
      << "the cabinet stays; nothing else is left behind";
  const std::string failure = "The installer C:\\OUT\\" + std::string(kBrennetName) + ".EXE could not be written.";
  EXPECT_THAT(w.view.entries("message: "), ElementsAre(failure));
  EXPECT_TRUE(memoHas(w.form, failure));
  EXPECT_NE(w.form.StatusBar1, "Package created successfully!");
  EXPECT_EQ(w.form.Backup().Result().failures.size(), 1u) << "not backed up as asked";
}

// One driver on an image of its own, packed as a CAB into the destination.
struct OneDriverPackage {
  StartedWindow w;
  // The files at otherFilesOnC (paths below C:) are put there first.
  OneDriverPackage(const std::string& description, const std::string& infText,
                   const std::vector<std::string>& otherFilesOnC = {}, const std::string& destination = "C:\\OUT") {
    w.image.registry("c.reg", driver("{A}", "0000", {{"DriverDesc", description}, {"InfPath", "oem1.inf"}}));
    w.image.file("WINDOWS\\inf\\oem1.inf", infText);
    for (const auto& file : otherFilesOnC) w.image.file(file, "x");
    TForm1& form = w.start();
    form.BitBtn1Click();
    form.ListView1SelectItem(0, true);
    form.PopBackup2Click();
    form.Edit1Change(destination);
    form.Button1Click();
  }
  fs::path onC(const std::string& path) const { return hostFileOnC(w.image.root(), path); }
  fs::path cabinet(const std::string& name) const { return onC("C:\\OUT\\" + name); }
};

TEST_F(Packages, MissingCatalogBecomesAnEmptyEntry) {
  OneDriverPackage p("Signed", "[Version]\r\nCatalogFile=signed.cat\r\n");
  EXPECT_THAT(cabinetEntries(p.cabinet("Signed.CAB")), UnorderedElementsAre("0 signed.cat", HasSubstr(" oem1.inf")));
}

TEST_F(Packages, CaptionsAreTrimmedOrReplacedAsTheyNeed) {
  OneDriverPackage spaces("  Sound card ", "[Version]\r\n");
  EXPECT_TRUE(fs::exists(spaces.cabinet("Sound card.CAB")));
  EXPECT_EQ(spaces.w.form->ListView1.Text(0, 0), "Sound card") << "shown as it is named";
  EXPECT_TRUE(memoHas(*spaces.w.form, "Extracting and copying files ......"));
  OneDriverPackage modem("Modem <USB>", "[Version]\r\n");
  EXPECT_TRUE(fs::exists(modem.cabinet("Modem  USB.CAB")));
  EXPECT_EQ(modem.w.form->ListView1.Text(0, 0), "Modem <USB>") << "the caption stays";
}

// A folder of the driver's name, here a system folder, is neither packed nor deleted.
TEST_F(Packages, APackageTakesOnlyWhatTheRunCopiedAndDeletesNothingElse) {
  OneDriverPackage p("Program Files", "[Version]\r\n", {"Program Files\\Setup.DIY", "Program Files\\App\\app.exe"},
                     "C:\\");
  EXPECT_THAT(cabinetEntries(p.onC("C:\\Program Files.CAB")), ElementsAre(HasSubstr(" oem1.inf")));
  EXPECT_TRUE(fs::exists(p.onC("C:\\Program Files\\App\\app.exe")));
  EXPECT_TRUE(fs::exists(p.onC("C:\\Program Files\\Setup.DIY")));
  EXPECT_THAT(filesIn(*p.w.image.reopen(), "C:"), Not(Contains(HasSubstr(".tmp")))) << "the staging folder is gone";
}

TEST_F(Packages, AFailedCopyMakesNoPackageAndSaysSo) {
  w.form.ListView1SelectItem(rowOf(w.form, kBrennet), true);
  w.form.PopBackup2Click();
  fs::remove(w.host("C:\\WINDOWS\\system32\\drivers\\brnfast.sys"));  // gone between analysis and Start
  w.form.Edit1Change("C:\\OUT");
  w.form.Button1Click();
  EXPECT_THAT(filesIn(*w.sample.machine, "C:\\OUT"), ::testing::IsEmpty());
  const std::string failure = std::string("NOT backed up: ") + kBrennet + " (its files could not be copied)";
  EXPECT_THAT(w.view.entries("message: "), ElementsAre(failure));
  EXPECT_TRUE(memoHas(w.form, "Failure. Please check your destination."));
  EXPECT_TRUE(w.form.Backup().StartFinished());
}

}  // namespace
}  // namespace korvane::test
