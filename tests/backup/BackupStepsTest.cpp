// The backup steps on their own, where the window's commands cannot reach the
// edge cases: staging names already taken, Stop in the last name's search,
// names a hostile INF puts into a package.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backup/BackupSteps.h"
#include "backup/SearchTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(BackupSteps, AStagingFolderIsAlwaysNew) {
  ImageBuilder image;
  image.file("OUT\\~korvane1.tmp\\earlier.sys", "x").file("OUT\\~korvane2.tmp", "a file of that name");
  FileSystem& files = image.open().files();
  const StagingFolder staging = MakeStagingFolder(files, "C:\\OUT");
  EXPECT_TRUE(staging.made);
  EXPECT_EQ(staging.path, "C:\\OUT\\~korvane3.tmp");

  const StagingFolder none = MakeStagingFolder(files, "C:\\Missing");
  EXPECT_FALSE(none.made);
  EXPECT_EQ(none.path, "C:\\Missing\\~korvane1.tmp") << "the name the error message gives";
}

// A driver whose file is found only by walking the Windows tree.
struct OneDriver {
  ImageBuilder image;
  SearchSession session;
  explicit OneDriver(const std::string& infText) {
    image.file("WINDOWS\\inf\\oem1.inf", infText).file("WINDOWS\\inf\\Other\\oem1.inf", infText);
    image.file("WINDOWS\\Deep\\far.sys", "far").file("WINDOWS\\system32\\near.sys", "near");
  }
  DriverFiles find(DriverFilesProgress progress) {
    Machine& machine = image.open();
    progress.stopRequested = [this] { return session.stop; };
    const auto search = session.search(machine, SearchMethod::Index);
    return FindDriverFiles(machine, {"C:\\WINDOWS\\inf\\", "C:\\WINDOWS\\inf\\Other\\"}, "oem1.inf",
                           CatalogNames::BothAsRead, *search, progress);
  }
};

TEST(BackupSteps, StopDuringTheLastSearchLeavesNoFileList) {
  OneDriver driver("[Version]\r\nCatalogFile=drv.cat\r\n[SourceDisksFiles]\r\nnear.sys=1\r\nfar.sys=1\r\n");
  driver.session.view.onPump = [&] { driver.session.stop = !driver.session.folders.empty(); };
  const DriverFiles files = driver.find({});
  EXPECT_EQ(files.outcome, DriverFiles::Outcome::Stopped);
  EXPECT_EQ(files.catalog, "drv.cat");
  EXPECT_THAT(files.all(), IsEmpty()) << "a cut list is never copied";
}

TEST(BackupSteps, AnInfWithoutFilesGivesBothCopiesOfItself) {
  OneDriver driver("[Version]\r\n");
  driver.session.stop = true;  // nothing to search, so nothing to stop
  std::string located;
  DriverFilesProgress progress;
  progress.infLocated = [&](const std::string& inf) { located = inf; };
  const DriverFiles files = driver.find(progress);
  EXPECT_EQ(files.outcome, DriverFiles::Outcome::Found);
  EXPECT_EQ(located, "C:\\WINDOWS\\inf\\Other\\oem1.inf");
  EXPECT_THAT(files.all(), ElementsAre("C:\\WINDOWS\\inf\\oem1.inf", "C:\\WINDOWS\\inf\\Other\\oem1.inf"));
}

// A package takes the copied files and the catalog once each, and nothing
// else of the folder: no earlier backup's file, no name that leaves it.
TEST(BackupSteps, TheNamesCopiedAreTheFilesOfThisCopyOnly) {
  ImageBuilder image;
  image.file("OUT\\Drv\\a.sys", "").file("OUT\\Drv\\drv.cat", "").file("OUT\\Drv\\old.txt", "").file("secret.txt", "");
  FileSystem& files = image.open().files();
  const std::vector<std::string> copied = {"C:\\W\\a.sys", "D:\\Other\\A.SYS", "C:\\W\\gone.sys"};
  EXPECT_THAT(NamesCopiedInto(files, "C:\\OUT\\Drv", copied, "drv.cat"), ElementsAre("a.sys", "drv.cat"));
  for (const char* catalog : {"..\\..\\secret.txt", "C:secret.txt", "CON", "..", ""})
    EXPECT_THAT(NamesCopiedInto(files, "C:\\OUT\\Drv", {}, catalog), IsEmpty()) << catalog;

  WriteCatalogPlaceholder(files, "C:\\OUT\\Drv", "..\\evil.cat");
  WriteCatalogPlaceholder(files, "C:\\OUT\\Missing", "new.cat");
  EXPECT_FALSE(files.exists("C:\\OUT\\evil.cat"));
  EXPECT_FALSE(files.exists("C:\\OUT\\Missing")) << "a placeholder makes no folder";
}

}  // namespace
}  // namespace korvane::test
