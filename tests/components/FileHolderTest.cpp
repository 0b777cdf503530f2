// The store of carried files: what the build carries, writing items out,
// and the properties that stay fixed once the holder has loaded.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "components/ahmtfileholder/TAHMFileHolder.h"
#include "support/TestMachine.h"
#include "update/DatabaseImage.h"
#include "update/DatabaseText.h"

namespace korvane::test {
namespace {

// A file of the build folder; under Wine the host's root is drive Z.
std::string buildFile(const std::string& path) {
#ifdef _WIN32
  std::ifstream in("Z:" KORVANE_BINARY_DIR "/" + path, std::ios::binary);
#else
  std::ifstream in(KORVANE_BINARY_DIR "/" + path, std::ios::binary);
#endif
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileHolder : public ::testing::Test {
 protected:
  FileSystem& files() { return scratch_.machine->files(); }
  std::string path(const std::string& name) const { return joinPath(scratch_.scratch, name); }
  std::string read(const std::string& name) { return files().readFile(path(name)).value_or("<missing>"); }

  const CarriedFile sample_{"drvmnt.exe", reinterpret_cast<const unsigned char*>("MZ tool"), 7, 36574.5};
  ScratchMachine scratch_ = makeScratchMachine();
};

TEST_F(FileHolder, TheBuildCarriesTheThreeProgramsAsTheyWereBuilt) {
  for (const auto& [item, program] : {std::pair{"drvmnt.exe", "devmount.exe"}, {"installer.exe", "installer.exe"},
                                      {"drvunmnt.exe", "devunmnt.exe"}}) {
    const CarriedFile* carried = FindCarriedFile(item);
    ASSERT_NE(carried, nullptr) << item;
    const std::string built = buildFile(std::string("tools/") + program);
    ASSERT_GT(built.size(), 2u) << program;
    // Compared whole but not printed: a difference would print a whole program.
    const bool same = std::string(reinterpret_cast<const char*>(carried->data), carried->size) == built;
    EXPECT_TRUE(same) << item << ": " << carried->size << " bytes carried, " << built.size() << " built";
    EXPECT_GT(carried->date, 40000.0) << "a date after 2009";
  }
  EXPECT_EQ(FindCarriedFile("other.exe"), nullptr);
}

TEST_F(FileHolder, TheCarriedDatabaseImageIsTheBuiltOneAndHoldsTheDatabase) {
  const CarriedFile* database = FindCarriedFile("MsSetup6.CAB");
  ASSERT_NE(database, nullptr);
  const std::string built = buildFile("database/MsSetup6.CAB");
  ASSERT_GE(built.size(), kSmallestDatabaseImage);
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(database->data), database->size) == built)
      << database->size << " bytes carried, " << built.size() << " built";
  // Written out as the update check writes it, it reassembles to a sound cabinet.
  TAHMFileHolder holder(files(), database);
  holder.ExtractFile(0, path("MsSetup6.cab"));
  const DatabaseImageCheck check = checkDatabaseImage(files(), path("MsSetup6.cab"), path("MsSetup6.ini"));
  EXPECT_TRUE(check.valid()) << static_cast<int>(check.fault);
  EXPECT_EQ(check.names.size(), kDatabaseFileNames.size());
}

TEST_F(FileHolder, ExtractWritesTheItemExactlyOverALongerFile) {
  TAHMFileHolder holder(files(), &sample_);
  ASSERT_TRUE(files().writeFile(path("devmount.exe"), std::string(5000, 'x')));
  holder.ExtractFile(0, path("devmount.exe"));
  EXPECT_EQ(read("devmount.exe"), "MZ tool");
}

TEST_F(FileHolder, IndexOutOfRangeOrEmptyItemWritesNothing) {
  TAHMFileHolder holder(files(), &sample_);
  holder.ExtractFile(1, path("one.exe"));
  holder.ExtractFile(-1, path("minus.exe"));
  EXPECT_FALSE(files().exists(path("one.exe")));
  EXPECT_FALSE(files().exists(path("minus.exe")));

  const CarriedFile empty{"MsSetup6.CAB", nullptr, 0, 0};
  TAHMFileHolder emptyHolder(files(), &empty);
  ASSERT_EQ(emptyHolder.Files().Count(), 1);
  EXPECT_TRUE(emptyHolder.Files().Item(0).IsEmpty());
  EXPECT_EQ(emptyHolder.Files().Item(0).DisplayName(), "MsSetup6.CAB");
  emptyHolder.ExtractFile(0, path("MsSetup6.cab"));
  EXPECT_FALSE(files().exists(path("MsSetup6.cab")));
}

TEST_F(FileHolder, AFileThatCannotBeCreatedIsNamedInTheError) {
  TAHMFileHolder holder(files(), &sample_);
  const std::string target = path("missing folder\\devmount.exe");
  try {
    holder.ExtractFile(0, target);
    FAIL() << "no error";
  } catch (const EStreamError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + target);
  }
}

TEST_F(FileHolder, PropertiesAreFixedOnceLoaded) {
  TAHMFileHolder holder(files(), &sample_);
  TAHMStoredFile& item = holder.Files().Item(0);
  EXPECT_EQ(item.NameOfFile(), "drvmnt.exe");
  EXPECT_EQ(item.FileSize(), 7);
  EXPECT_DOUBLE_EQ(item.FileDate(), 36574.5);
  item.SetNameOfFile("other.exe");
  item.SetFileSize(1);
  item.SetFileDate(1);
  item.SetFilePath("C:\\x");
  item.SetFileContents("changed");
  EXPECT_EQ(item.NameOfFile(), "drvmnt.exe");
  EXPECT_EQ(item.FileSize(), 7);
  EXPECT_DOUBLE_EQ(item.FileDate(), 36574.5);
  EXPECT_EQ(item.FilePath(), "");
  EXPECT_EQ(item.FileContents(), "MZ tool");

  holder.BeginLoading();
  item.SetNameOfFile("other.exe");
  holder.EndLoading();
  EXPECT_EQ(item.DisplayName(), "other.exe");
}

TEST_F(FileHolder, AssigningFilesCopiesEveryItem) {
  TAHMFileHolder from(files(), &sample_);
  TAHMFileHolder to(files(), nullptr);
  EXPECT_EQ(to.Files().Count(), 0);
  to.SetFiles(from.Files());
  ASSERT_EQ(to.Files().Count(), 1);
  EXPECT_EQ(&to.Files().Item(0).FileContents() == &from.Files().Item(0).FileContents(), false);
  EXPECT_EQ(to.Files().Item(0).FileContents(), "MZ tool");
  EXPECT_EQ(to.Files().Item(0).NameOfFile(), "drvmnt.exe");
  EXPECT_EQ(&to.Files().Owner(), &to);

  TAHMFileHolder blank(files(), nullptr);
  blank.BeginLoading();
  blank.Files().Add();
  blank.EndLoading();
  EXPECT_EQ(blank.Files().Item(0).DisplayName(), "No File Stored");
}

}  // namespace
}  // namespace korvane::test
