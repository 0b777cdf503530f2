// The file-operation component with the main window's copy and delete flags,
// over the image shell natively and over the real shell under Wine.
#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

class FileOperatorConformance : public ConformanceTest {
 protected:
  void write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(files().forceDirectories(parentPath(scratchPath(name))));
    ASSERT_TRUE(files().writeFile(scratchPath(name), bytes)) << name;
  }
  std::string read(const std::string& name) { return files().readFile(scratchPath(name)).value_or("<missing>"); }
  bool exists(const std::string& name) { return files().exists(scratchPath(name)); }

  bool run(TAHMFileOperator& op, const std::vector<std::string>& names, const std::string& to) {
    op.FilesFrom.clear();
    for (const auto& name : names) op.FilesFrom.push_back(scratchPath(name));
    op.DirTo = to.empty() ? "" : scratchPath(to);
    return op.Execute();
  }
  bool copy(const std::vector<std::string>& names, const std::string& to) { return run(copier_, names, to); }
  bool remove(const std::vector<std::string>& names) { return run(deleter_, names, ""); }

 private:
  TAHMFileOperator copier_{machine(), opCopyFile, {opAllowUndo, opNoConfirmation, opNoConfirmMkDir}};
  TAHMFileOperator deleter_{machine(), opDeleteFile, {opNoConfirmation, opNoConfirmMkDir, opSilent}};
};

TEST_F(FileOperatorConformance, CopiesIntoAMissingFolder) {
  write("src\\a.inf", "INF");
  write("src\\b b.sys", "SYS");
  EXPECT_TRUE(copy({"src\\a.inf", "src\\b b.sys"}, "out\\Driver One"));
  EXPECT_EQ(read("out\\Driver One\\a.inf"), "INF");
  EXPECT_EQ(read("out\\Driver One\\b b.sys"), "SYS");
}

TEST_F(FileOperatorConformance, ASingleFileGoesIntoAMissingFolder) {
  write("pkg.cab", "CAB");
  EXPECT_TRUE(copy({"pkg.cab"}, "store"));
  EXPECT_EQ(read("store\\pkg.cab"), "CAB");
}

TEST_F(FileOperatorConformance, ReplacesExistingAndReadOnlyTargets) {
  write("new\\a.txt", "new A");
  write("new\\b.txt", "new B");
  write("dest\\a.txt", "old A");
  write("dest\\b.txt", "old B");
  ASSERT_TRUE(files().setAttributes(scratchPath("dest\\b.txt"), faReadOnly));
  EXPECT_TRUE(copy({"new\\a.txt", "new\\b.txt"}, "dest"));
  EXPECT_EQ(read("dest\\a.txt"), "new A");
  EXPECT_EQ(read("dest\\b.txt"), "new B");
}

TEST_F(FileOperatorConformance, CopiesKeepTheSourceDate) {
  const int64_t april2019 = 132000000000000000;
  write("src\\old.sys", "SYS");
  write("dest\\old.sys", "older bytes");
  ASSERT_TRUE(files().setFileTimes(scratchPath("src\\old.sys"), april2019));
  EXPECT_TRUE(copy({"src\\old.sys"}, "dest"));
  EXPECT_TRUE(copy({"src\\old.sys"}, "new"));
  for (const char* copied : {"dest\\old.sys", "new\\old.sys"}) {
    EXPECT_EQ(read(copied), "SYS") << copied;
    EXPECT_EQ(files().stat(scratchPath(copied))->writeTime, april2019) << copied;
  }
}

TEST_F(FileOperatorConformance, AMissingSourceFails) {
  write("a.txt", "A");
  ASSERT_TRUE(files().createDirectory(scratchPath("dest")));
  EXPECT_FALSE(copy({"a.txt", "missing.txt"}, "dest"));
  EXPECT_FALSE(remove({"missing.txt"}));
}

TEST_F(FileOperatorConformance, AnEmptyListFails) {
  EXPECT_FALSE(copy({}, "dest"));
  EXPECT_FALSE(remove({}));
  EXPECT_FALSE(exists("dest"));
}

TEST_F(FileOperatorConformance, WildcardsCopyFilesAndFolders) {
  write("fav\\a.url", "A");
  write("fav\\Links\\b.url", "B");
  EXPECT_TRUE(copy({"fav\\*.*"}, "backup"));
  EXPECT_EQ(read("backup\\a.url"), "A");
  EXPECT_EQ(read("backup\\Links\\b.url"), "B");
}

TEST_F(FileOperatorConformance, DeletesFilesAndFolders) {
  write("a.sys", "A");
  write("tree\\sub\\x.txt", "X");
  EXPECT_TRUE(remove({"a.sys", "tree"}));
  EXPECT_FALSE(exists("a.sys"));
  EXPECT_FALSE(exists("tree"));
}

// Windows deletes read-only files when no question may be asked; Wine refuses.
TEST_F(FileOperatorConformance, DeletesReadOnlyFiles) {
  if (runningOnWine()) GTEST_SKIP() << "Wine's shell refuses read-only files";
  write("ro.dll", "R");
  ASSERT_TRUE(files().setAttributes(scratchPath("ro.dll"), faReadOnly));
  EXPECT_TRUE(remove({"ro.dll"}));
  EXPECT_FALSE(exists("ro.dll"));
}

TEST_F(FileOperatorConformance, DirFromIsPutInFrontOfEveryEntry) {
  write("from\\one.dll", "1");
  const std::string current = files().currentDirectory();
  TAHMFileOperator op(machine(), opCopyFile, {opNoConfirmation, opNoConfirmMkDir});
  op.DirFrom = scratchPath("from");
  op.FilesFrom = {"one.dll"};
  op.DirTo = scratchPath("to");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(read("to\\one.dll"), "1");
  op.DirFrom = scratchPath("nowhere");
  EXPECT_THROW(op.Execute(), EAHMFileOperator);
  // A folder that is the current one cannot be removed on Windows.
  EXPECT_TRUE(files().setCurrentDirectory(current));
}

}  // namespace
}  // namespace korvane::test
