// The file-operation component and the image shell beneath it: copies,
// deletes, moves and renames on machine images, the questions nobody can
// answer there, and misuse.
#include <gtest/gtest.h>

#include <filesystem>

#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "platform/image/ImageFileSystem.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

const TAHMFileFlags kCopyFlags = {opAllowUndo, opNoConfirmation, opNoConfirmMkDir};
const TAHMFileFlags kDeleteFlags = {opNoConfirmation, opNoConfirmMkDir, opSilent};

class FileOperator : public ::testing::Test {
 protected:
  FileSystem& files() { return scratch_.machine->files(); }
  Machine& machine() { return *scratch_.machine; }
  std::string path(const std::string& name) const { return joinPath(scratch_.scratch, name); }
  void write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(files().forceDirectories(parentPath(path(name))));
    ASSERT_TRUE(files().writeFile(path(name), bytes)) << name;
  }
  std::string read(const std::string& name) { return files().readFile(path(name)).value_or("<missing>"); }
  bool exists(const std::string& name) { return files().exists(path(name)); }
  void makeReadOnly(const std::string& name) { ASSERT_TRUE(files().setAttributes(path(name), faReadOnly)); }
  bool readOnly(const std::string& name) {
    const auto entry = files().stat(path(name));
    return entry && (entry->attributes & faReadOnly);
  }

  // An operator whose events append their names to `fired`.
  TAHMFileOperator& operatorFor(TAHMFileFunction operation, TAHMFileFlags flags) {
    op_ = std::make_unique<TAHMFileOperator>(machine(), operation, flags);
    const auto record = [this](const char* name) { return [this, name](TAHMFileOperator&) { fired.push_back(name); }; };
    op_->OnSuccessCopy = record("SuccessCopy");
    op_->OnSuccessDelete = record("SuccessDelete");
    op_->OnSuccessMove = record("SuccessMove");
    op_->OnSuccessRename = record("SuccessRename");
    op_->OnFailCopy = record("FailCopy");
    op_->OnFailDelete = record("FailDelete");
    op_->OnFailMove = record("FailMove");
    op_->OnFailRename = record("FailRename");
    op_->OnDone = record("Done");
    return *op_;
  }
  bool copy(const std::vector<std::string>& names, const std::string& to, TAHMFileFlags flags = kCopyFlags) {
    auto& op = operatorFor(opCopyFile, flags);
    for (const auto& name : names) op.FilesFrom.push_back(path(name));
    op.DirTo = path(to);
    return op.Execute();
  }
  bool remove(const std::vector<std::string>& names, TAHMFileFlags flags = kDeleteFlags) {
    auto& op = operatorFor(opDeleteFile, flags);
    for (const auto& name : names) op.FilesFrom.push_back(path(name));
    return op.Execute();
  }
  ShellFileResult shell(unsigned function, const std::vector<std::string>& from, const std::vector<std::string>& to,
                        uint32_t flags) {
    ShellFileOperation operation;
    operation.function = function;
    for (const auto& name : from) operation.from.push_back(path(name));
    for (const auto& name : to) operation.to.push_back(path(name));
    operation.flags = flags;
    return machine().shell().fileOperation(operation);
  }

  std::vector<std::string> fired;

 private:
  ScratchMachine scratch_ = makeScratchMachine();
  std::unique_ptr<TAHMFileOperator> op_;
};

using Strings = std::vector<std::string>;

TEST(FileOperatorFlags, EveryMemberGivesItsShellFlag) {
  const std::pair<TAHMFileFlag, uint32_t> members[] = {
      {opAllowUndo, 64},   {opConfirmMouse, 2},       {opFilesOnly, 128}, {opMultiDestFiles, 1},
      {opNoConfirmation, 16}, {opNoConfirmMkDir, 512}, {opRenameOnCollision, 8}, {opSilent, 4},
      {opSimpleProgress, 256}, {opWantMappingHandle, 32}};
  uint32_t all = 0;
  TAHMFileFlags set;
  for (const auto& [member, bit] : members) {
    EXPECT_EQ(TAHMFileFlags{member}.ShellFlags(), bit) << member;
    set.Include(member);
    all |= bit;
  }
  EXPECT_EQ(set.ShellFlags(), all);
  EXPECT_EQ(set.Exclude(opSilent).ShellFlags(), all & ~4u);
  EXPECT_FALSE(set.Contains(opSilent));
}

TEST_F(FileOperator, DefaultsAreACopyThatMayBeUndone) {
  TAHMFileOperator op(machine());
  EXPECT_EQ(op.Operation, opCopyFile);
  EXPECT_EQ(op.Flags(), (TAHMFileFlags{opAllowUndo, opNoConfirmMkDir}));
  EXPECT_EQ(op.FlagWord(), 576u);
  op.SetFlags(kDeleteFlags);
  EXPECT_EQ(op.FlagWord(), 16u + 512u + 4u) << "the record follows every change of Flags";
}

TEST_F(FileOperator, CopiesAListIntoAMissingFolderWithoutAsking) {
  write("src\\a.inf", "INF");
  write("src\\b b.sys", "SYS");
  EXPECT_TRUE(copy({"src\\a.inf", "src\\b b.sys"}, "out\\Driver One"));
  EXPECT_EQ(read("out\\Driver One\\a.inf"), "INF");
  EXPECT_EQ(read("out\\Driver One\\b b.sys"), "SYS");
  EXPECT_EQ(fired, (Strings{"SuccessCopy", "Done"}));
}

// The shell alone gives a single file the name of a missing target; the
// component wants the folder.
TEST_F(FileOperator, ASingleFileGoesIntoAMissingFolder) {
  write("pkg.cab", "CAB");
  EXPECT_TRUE(copy({"pkg.cab"}, "Mail Store"));
  EXPECT_TRUE(files().isDirectory(path("Mail Store")));
  EXPECT_EQ(read("Mail Store\\pkg.cab"), "CAB");
}

TEST_F(FileOperator, TheShellGivesASingleFileTheMissingTargetsName) {
  write("a.txt", "A");
  EXPECT_TRUE(shell(foCopy, {"a.txt"}, {"named"}, fofNoConfirmation).succeeded());
  EXPECT_EQ(read("named"), "A");
}

TEST_F(FileOperator, EntriesAreTakenFromDirFrom) {
  write("from here\\one.dll", "1");
  auto& op = operatorFor(opCopyFile, kCopyFlags);
  op.DirFrom = path("from here");
  op.FilesFrom = {"one.dll"};
  op.DirTo = path("to");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(op.DirFrom, path("from here") + "\\");
  EXPECT_EQ(read("to\\one.dll"), "1");
  EXPECT_EQ(files().currentDirectory(), path("from here")) << "DirFrom became the current folder";
}

TEST_F(FileOperator, ReplacesExistingAndReadOnlyTargets) {
  write("new\\a.txt", "new A");
  write("new\\b.txt", "new B");
  write("dest\\a.txt", "old A");
  write("dest\\b.txt", "old B");
  makeReadOnly("dest\\b.txt");
  makeReadOnly("new\\b.txt");
  EXPECT_TRUE(copy({"new\\a.txt", "new\\b.txt"}, "dest"));
  EXPECT_EQ(read("dest\\a.txt"), "new A");
  EXPECT_EQ(read("dest\\b.txt"), "new B");
  EXPECT_TRUE(readOnly("dest\\b.txt")) << "a copy keeps the source's attributes";
}

TEST_F(FileOperator, WithoutNoConfirmationAnExistingFileIsKept) {
  write("new.txt", "new");
  write("dest\\new.txt", "old");
  EXPECT_FALSE(copy({"new.txt"}, "dest", {opAllowUndo, opNoConfirmMkDir}));
  EXPECT_EQ(read("dest\\new.txt"), "old") << "nobody is there to agree to the replacement";
  EXPECT_EQ(fired, (Strings{"FailCopy", "Done"}));
}

TEST_F(FileOperator, WithoutEitherFolderFlagNoFolderIsMade) {
  write("a.txt", "A");
  write("b.txt", "B");
  EXPECT_FALSE(copy({"a.txt", "b.txt"}, "asked", {}));
  EXPECT_FALSE(exists("asked"));
}

TEST_F(FileOperator, AMissingSourceFailsTheCopyBeforeAnythingIsCopied) {
  write("a.txt", "A");
  write("c.txt", "C");
  EXPECT_FALSE(copy({"a.txt", "missing.txt", "c.txt"}, "dest"));
  EXPECT_FALSE(exists("dest\\a.txt"));
  EXPECT_FALSE(exists("dest\\c.txt"));
  EXPECT_EQ(fired, (Strings{"FailCopy", "Done"}));
}

TEST_F(FileOperator, AnEmptyListFailsAndTouchesNothing) {
  EXPECT_FALSE(copy({}, "never"));
  EXPECT_FALSE(exists("never"));
  EXPECT_EQ(fired, (Strings{"FailCopy", "Done"}));
  fired.clear();
  EXPECT_FALSE(remove({}));
  EXPECT_EQ(fired, (Strings{"FailDelete", "Done"}));
}

TEST_F(FileOperator, MisuseRaisesAnErrorAndRunsNothing) {
  write("a.txt", "A");
  auto& op = operatorFor(opCopyFile, kCopyFlags);
  op.FilesFrom = {path("a.txt")};
  try {
    op.Execute();
    FAIL() << "a copy without a target must raise";
  } catch (const EAHMFileOperator& error) {
    EXPECT_STREQ(error.what(), "Directory Information is invalid");
  }
  op.DirTo = path("dest");
  op.DirFrom = path("no such folder");
  try {
    op.Execute();
    FAIL() << "a missing DirFrom must raise";
  } catch (const EAHMFileOperator& error) {
    EXPECT_STREQ(error.what(), "Can not locate current Directory");
  }
  op.DirFrom.clear();
  op.Operation = static_cast<TAHMFileFunction>(7);
  EXPECT_THROW(op.Execute(), EAHMFileOperator);
  EXPECT_TRUE(fired.empty());
  EXPECT_FALSE(exists("dest"));
}

TEST_F(FileOperator, DeletesFilesFoldersAndReadOnlyFilesForGood) {
  write("a.sys", "A");
  write("ro.dll", "R");
  write("tree\\sub\\x.txt", "X");
  makeReadOnly("ro.dll");
  makeReadOnly("tree\\sub\\x.txt");
  EXPECT_TRUE(remove({"a.sys", "ro.dll", "tree"}));
  EXPECT_FALSE(exists("a.sys"));
  EXPECT_FALSE(exists("ro.dll"));
  EXPECT_FALSE(exists("tree"));
  EXPECT_FALSE(files().exists("C:\\Recycled")) << "no undo: nothing kept";
  EXPECT_EQ(fired, (Strings{"SuccessDelete", "Done"}));
}

TEST_F(FileOperator, AMissingSourceFailsTheDeleteBeforeAnythingIsDeleted) {
  write("a.sys", "A");
  EXPECT_FALSE(remove({"a.sys", "gone.sys"}));
  EXPECT_TRUE(exists("a.sys"));
  EXPECT_EQ(fired, (Strings{"FailDelete", "Done"}));
}

TEST_F(FileOperator, WithoutNoConfirmationNothingIsDeleted) {
  write("a.sys", "A");
  EXPECT_FALSE(remove({"a.sys"}, {opSilent}));
  EXPECT_TRUE(exists("a.sys"));
}

TEST_F(FileOperator, UndoMovesDeletedItemsIntoTheRecycledFolder) {
  write("a.sys", "first");
  write("tree\\x.txt", "X");
  ASSERT_TRUE(remove({"a.sys", "tree"}, {opAllowUndo, opNoConfirmation}));
  write("a.sys", "second");
  ASSERT_TRUE(remove({"a.sys"}, {opAllowUndo, opNoConfirmation}));
  EXPECT_FALSE(exists("a.sys"));
  EXPECT_EQ(files().readFile("C:\\Recycled\\a.sys"), "first");
  EXPECT_EQ(files().readFile("C:\\Recycled\\a (2).sys"), "second") << "an earlier item keeps its name";
  EXPECT_EQ(files().readFile("C:\\Recycled\\tree\\x.txt"), "X");
}

TEST_F(FileOperator, TheDrivesRootIsNeverDeleted) {
  write("a.sys", "A");
  auto& op = operatorFor(opDeleteFile, kDeleteFlags);
  op.FilesFrom = {"C:\\"};
  EXPECT_FALSE(op.Execute());
  EXPECT_TRUE(exists("a.sys"));
}

TEST_F(FileOperator, DeletingAFolderRemovesAHostLinkButNotWhatItPointsTo) {
  TempDir outside;
  writeHostFile(outside.path() / "keep.txt", "keep");
  write("tree\\x.txt", "X");
  const auto host = dynamic_cast<ImageFileSystem&>(files()).hostPath(path("tree"));
  ASSERT_TRUE(host);
  std::filesystem::create_directory_symlink(outside.path(), *host / "link");
  EXPECT_TRUE(remove({"tree"}));
  EXPECT_FALSE(exists("tree"));
  EXPECT_TRUE(std::filesystem::exists(outside.path() / "keep.txt"));
}

TEST_F(FileOperator, WildcardsCopyFilesAndFoldersOrFilesOnly) {
  write("fav\\a.url", "A");
  write("fav\\Links\\b.url", "B");
  auto& op = operatorFor(opCopyFile, kCopyFlags);
  op.FilesFrom = {path("fav\\*.*")};
  op.DirTo = path("backup\\Favorites");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(read("backup\\Favorites\\a.url"), "A");
  EXPECT_EQ(read("backup\\Favorites\\Links\\b.url"), "B");

  op.SetFlags(TAHMFileFlags(kCopyFlags).Include(opFilesOnly));
  op.DirTo = path("flat");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(read("flat\\a.url"), "A");
  EXPECT_FALSE(exists("flat\\Links"));
}

TEST_F(FileOperator, CopyingAFileOntoItselfFailsAndKeepsIt) {
  write("a.txt", "A");
  EXPECT_FALSE(copy({"a.txt"}, "."));
  EXPECT_EQ(read("a.txt"), "A");
  EXPECT_TRUE(copy({"a.txt"}, ".", TAHMFileFlags(kCopyFlags).Include(opRenameOnCollision)));
  EXPECT_TRUE(copy({"a.txt"}, ".", TAHMFileFlags(kCopyFlags).Include(opRenameOnCollision)));
  EXPECT_EQ(read("Copy of a.txt"), "A");
  EXPECT_EQ(read("Copy (2) of a.txt"), "A");
}

TEST_F(FileOperator, AFolderIsNotCopiedIntoItself) {
  write("tree\\x.txt", "X");
  EXPECT_FALSE(copy({"tree"}, "tree\\inner"));
  EXPECT_FALSE(exists("tree\\inner\\tree")) << "no copy that would grow without end";
  EXPECT_EQ(read("tree\\x.txt"), "X");
}

TEST_F(FileOperator, MovesAndRenames) {
  write("a.txt", "A");
  write("b.txt", "B");
  auto& move = operatorFor(opMoveFile, kCopyFlags);
  move.FilesFrom = {path("a.txt")};
  move.DirTo = path("moved");
  EXPECT_TRUE(move.Execute());
  EXPECT_FALSE(exists("a.txt"));
  EXPECT_EQ(read("moved\\a.txt"), "A");
  EXPECT_EQ(fired, (Strings{"SuccessMove", "Done"}));

  fired.clear();
  auto& rename = operatorFor(opRenameFile, kCopyFlags);
  rename.FilesFrom = {path("b.txt")};
  rename.DirTo = path("c.txt");
  EXPECT_TRUE(rename.Execute());
  EXPECT_EQ(read("c.txt"), "B");
  EXPECT_EQ(fired, (Strings{"SuccessRename", "Done"}));

  fired.clear();
  rename.FilesFrom = {path("moved\\a.txt")};
  EXPECT_FALSE(rename.Execute()) << "a rename does not replace a file";
  EXPECT_EQ(read("c.txt"), "B");
  EXPECT_EQ(fired, (Strings{"FailRename", "Done"}));
}

TEST_F(FileOperator, MultipleTargetsPairWithTheSources) {
  write("a.txt", "A");
  write("b.txt", "B");
  EXPECT_TRUE(shell(foCopy, {"a.txt", "b.txt"}, {"x\\one.txt", "y\\two.txt"}, fofMultiDestFiles | fofNoConfirmation)
                  .succeeded());
  EXPECT_EQ(read("x\\one.txt"), "A");
  EXPECT_EQ(read("y\\two.txt"), "B");
  EXPECT_FALSE(shell(foCopy, {"a.txt", "b.txt"}, {"z.txt"}, fofMultiDestFiles | fofNoConfirmation).succeeded());
  EXPECT_FALSE(exists("z.txt"));
}

TEST_F(FileOperator, NamesWindowsRefusesFail) {
  write("a.txt", "A");
  EXPECT_FALSE(copy({"a.txt"}, "bad|name"));
  EXPECT_FALSE(remove({"a?.txt\\b"}));
  EXPECT_TRUE(exists("a.txt"));
}

}  // namespace
}  // namespace korvane::test
