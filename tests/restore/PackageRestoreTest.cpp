// Restoring on a Windows with a driver store (Vista and later), on machine
// images: a driver package backup keeps its tree and the installation tool
// adds it where it lies; folders are handed to the tool instead of being
// copied flat into the system folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "restore/RestoreTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kAdding =
    "Adding every driver below %s to Windows with the device installation tool; its window shows how each one went. "
    "Nothing is copied into the system folders, and no restart is needed unless the tool asks for one.";

// A Windows 10 machine with a backup folder on D: that holds one driver
// package as the backup lays it out: the package's INF and catalog, its
// binaries in a sub-folder, and Setup.DIY.
struct StoreWindow : RestoreWindow {
  StoreWindow() {
    image.set("Version", "Major", "10").set("Version", "Minor", "0").set("Version", "Build", "19045");
    filesOnD({{"All/Tess Graphics/tessgfx.inf", "package inf"},
              {"All/Tess Graphics/tessgfx.cat", "catalog"},
              {"All/Tess Graphics/x64/tessgfx.sys", "binary"},
              {"All/Tess Graphics/x64/fw/tessfw.bin", "firmware"}});
  }
  TForm1& start() {
    begin();
    setupDiy("D:\\All\\Tess Graphics", "PCI\\VEN_8086&DEV_3E92", "tessgfx.inf");
    return *form;
  }
  // Nothing of the backup went into the Windows folder, and the backup is as it was.
  void expectNothingCopied() {
    for (const char* path : {"C:\\WINDOWS\\INF\\tessgfx.inf", "C:\\WINDOWS\\Options\\Cabs\\tessgfx.sys",
                             "C:\\WINDOWS\\system32\\drivers\\tessgfx.sys"})
      EXPECT_FALSE(exists(path)) << path;
    EXPECT_EQ(read("D:\\All\\Tess Graphics\\x64\\fw\\tessfw.bin"), "firmware");
    EXPECT_THAT(restarts(), IsEmpty());
    EXPECT_THAT(view.entries("ask: "), IsEmpty()) << "no restart is offered";
  }
};

TEST(PackageRestore, APackageBackupIsInstalledByTheToolWhereItLies) {
  StoreWindow w;
  w.start();
  w.view.chosenFiles = {"D:\\All\\Tess Graphics\\tessgfx.inf"};
  w.form->BitBtn4Click();
  EXPECT_THAT(w.executed(), ElementsAre("execute\topen\t\"C:\\WINDOWS\\devmount.exe\"\t\"D:\\All\\Tess "
                                        "Graphics\\tessgfx.inf\" \"PCI\\VEN_8086&DEV_3E92\"\tD:\\All\\Tess Graphics\t5"));
  w.expectNothingCopied();
}

// Restore All, and Restore of a folder without a usable Setup.DIY, used to
// copy every file flat into the system folders: a package's sub-folders were
// lost, and Plug and Play takes drivers from the store anyway.
TEST(PackageRestore, FoldersAreHandedToTheToolWholeInsteadOfCopied) {
  for (const bool restoreAll : {true, false}) {
    StoreWindow w;
    TForm1& form = w.start();
    std::string folder, argument;
    if (restoreAll) {
      form.SpeedButton4Click();
      form.TV1.SetDirectory("D:\\All");
      form.BitBtn9Click();
      folder = "D:\\ALL\\";
      argument = "D:\\ALL\\.";
    } else {
      w.fileOnD("Loose/x.inf", "no descriptor here");
      w.view.chosenFiles = {"D:\\Loose\\x.inf", "D:\\All\\Tess Graphics\\x64\\tessgfx.sys"};
      form.BitBtn4Click();
      folder = "D:\\All\\Tess Graphics\\x64";
      argument = "D:\\All\\Tess Graphics\\x64\\.";
    }
    EXPECT_THAT(w.executed(), ElementsAre("execute\topen\t\"C:\\WINDOWS\\devmount.exe\"\tadd-driver \"" + argument +
                                          "\"\t" + folder + "\t5"))
        << "a quoted folder ending in a backslash would escape its closing quote";
    EXPECT_THAT(form.Memo1, ElementsAre(formatMessage(kAdding, {folder})));
    EXPECT_TRUE(w.exists("C:\\WINDOWS\\devmount.exe"));
    EXPECT_FALSE(form.RestoreState().RestoreFailed);
    w.expectNothingCopied();
  }
}

TEST(PackageRestore, AToolThatCannotBeWrittenIsReportedAndNothingElseHappens) {
  StoreWindow w;
  w.image.set("Environment", "windir", "Q:\\WINDOWS");  // a drive the machine does not have
  TForm1& form = w.start();
  form.SpeedButton4Click();
  form.TV1.SetDirectory("D:\\All");
  form.BitBtn9Click();
  EXPECT_THAT(w.executed(), IsEmpty());
  EXPECT_EQ(form.Memo1.back(), "The device installation tool could not be written to Q:\\WINDOWS\\devmount.exe.");
  EXPECT_TRUE(form.RestoreState().RestoreFailed);
  w.expectNothingCopied();
}

}  // namespace
}  // namespace korvane::test
