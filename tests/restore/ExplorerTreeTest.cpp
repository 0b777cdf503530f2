// The folder tree on machine images: which drives it shows, what it looks at
// before it is opened, the RECYCLED rule, Directory and its events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/ahmtexplorertree/TAHMExplorerTree.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// C: fixed with folders, A: a floppy drive without a disk, D: a CD-ROM drive
// holding a disc without folders, E: a fixed drive without folders, N: a
// network drive.
struct TreeImage {
  ImageBuilder image;
  Machine* machine = nullptr;
  TreeImage() {
    namespace fs = std::filesystem;
    for (const char* drive : {"drive_d", "drive_e", "drive_n"}) fs::create_directories(image.root() / drive);
    image.set("Drives", "D", "drive_d").set("Drives", "E", "drive_e").set("Drives", "N", "drive_n");
    image.set("DriveTypes", "A", "removable").set("DriveTypes", "D", "cdrom").set("DriveTypes", "N", "remote");
    image.file("Korvane/Net/net.inf", "").file("Korvane/apps/readme.txt", "").file("Korvane/Sound/snd.inf", "");
    image.file("Korvane/top.inf", "");
    image.file("RECYCLED/S-1-5-21/DC1/x.inf", "").file("Deep/RECYCLED/Inner/x", "");
    writeHostFile(image.root() / "drive_d/setup.exe", "");
    writeHostFile(image.root() / "drive_n/Share/file", "");
    machine = &image.open();
  }
};

std::vector<std::string> texts(const std::vector<std::unique_ptr<TTreeNode>>& nodes) {
  std::vector<std::string> out;
  for (const auto& node : nodes) out.push_back(node->Text);
  return out;
}

const TTreeNode& drive(const TAHMExplorerTree& tree, char letter) {
  for (const auto& node : tree.Items())
    if (node->Path.front() == letter) return *node;
  throw std::runtime_error(std::string("no drive ") + letter);
}

TEST(ExplorerTree, DrivesAreListedWithTheirNamesAndRemoteOnesOnlyOnRequest) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  tree.Load();
  EXPECT_THAT(texts(tree.Items()), ElementsAre("Removable Disk (A:)", "Local Disk (C:)", "CD Drive (D:)",
                                                "Local Disk (E:)"));
  EXPECT_EQ(drive(tree, 'C').Path, "C:\\");
  tree.Network = true;
  tree.Load();
  EXPECT_EQ(tree.Items().back()->Text, "Network Drive (N:)");
  EXPECT_TRUE(tree.Items().back()->HasChildren) << "a share with folders is looked at like a local disk";
}

TEST(ExplorerTree, DrivesThatMayLackAMediumAreNotLookedAtBeforeTheyAreOpened) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  tree.Load();
  EXPECT_TRUE(drive(tree, 'A').HasChildren) << "no disk, yet a button";
  EXPECT_TRUE(drive(tree, 'D').HasChildren) << "a disc without folders, not looked at";
  EXPECT_TRUE(drive(tree, 'C').HasChildren);
  EXPECT_FALSE(drive(tree, 'E').HasChildren) << "a fixed drive is looked at";
  TTreeNode& floppy = const_cast<TTreeNode&>(drive(tree, 'A'));
  tree.Expand(floppy);
  EXPECT_THAT(floppy.Children, IsEmpty());
  EXPECT_FALSE(floppy.HasChildren) << "opening it found nothing: the button goes";
}

TEST(ExplorerTree, FastLoadGivesEveryNodeAButtonWithoutLooking) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  tree.FastLoad = true;
  tree.Load();
  EXPECT_TRUE(drive(tree, 'E').HasChildren);
  tree.SetDirectory("C:\\Korvane\\Net");
  EXPECT_TRUE(tree.Selected()->HasChildren);
}

TEST(ExplorerTree, OpeningListsSubFoldersByNameInUpperCasePaths) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  tree.SetDirectory("c:\\korvane");
  TTreeNode* korvane = tree.Selected();
  ASSERT_NE(korvane, nullptr);
  EXPECT_EQ(korvane->Path, "C:\\KORVANE\\");
  EXPECT_EQ(korvane->Text, "Korvane");
  EXPECT_FALSE(korvane->Listed) << "the chosen folder itself is not opened";
  tree.Expand(*korvane);
  EXPECT_THAT(texts(korvane->Children), ElementsAre("apps", "Net", "Sound")) << "files are not listed";
  EXPECT_EQ(korvane->Children[1]->Path, "C:\\KORVANE\\NET\\");
  EXPECT_EQ(korvane->Children[1]->Parent, korvane);
  EXPECT_FALSE(korvane->Children[1]->HasChildren);
  EXPECT_TRUE(korvane->Expanded);
  tree.Collapse(*korvane);
  EXPECT_FALSE(korvane->Expanded);
}

TEST(ExplorerTree, NoFolderInsideRecycledIsShown) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  tree.Load();
  TTreeNode& c = const_cast<TTreeNode&>(drive(tree, 'C'));
  tree.Expand(c);
  EXPECT_THAT(texts(c.Children), ElementsAre("Deep", "Korvane", "RECYCLED", "TEMP", "WINDOWS"));
  TTreeNode* recycled = nullptr;
  for (const auto& child : c.Children)
    if (child->Text == "RECYCLED") recycled = child.get();
  ASSERT_NE(recycled, nullptr) << "the RECYCLED folder itself is shown";
  EXPECT_FALSE(recycled->HasChildren) << "what lies inside it is not";
  tree.Expand(*recycled);
  EXPECT_THAT(recycled->Children, IsEmpty());
  tree.SetDirectory("C:\\Deep\\RECYCLED\\Inner");
  EXPECT_EQ(tree.Directory(), "C:\\DEEP\\RECYCLED\\") << "a RECYCLED folder anywhere hides its folders";
}

TEST(ExplorerTree, TheRecycledRuleLooksAtTheWholePath) {
  EXPECT_FALSE(IsInsideRecycled("C:\\RECYCLED\\"));
  EXPECT_FALSE(IsInsideRecycled("C:\\A\\Recycled\\"));
  EXPECT_TRUE(IsInsideRecycled("C:\\RECYCLED\\S-1-5\\"));
  EXPECT_TRUE(IsInsideRecycled("C:\\recycled\\recycled\\"));
  EXPECT_FALSE(IsInsideRecycled("C:\\RECYCLEDX\\A\\"));
  EXPECT_FALSE(IsInsideRecycled("C:\\RECYCLER\\S-1-5\\"));
}

TEST(ExplorerTree, DirectoryIsNilUntilAFolderIsSelected) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  std::vector<std::string> changes;
  tree.OnChange = [&changes](TAHMExplorerTree& sender) { changes.push_back(sender.Directory()); };
  EXPECT_EQ(tree.Directory(), "nil");
  tree.SetDirectory("nil");
  EXPECT_FALSE(tree.Loaded()) << "nil leaves the tree as it is";
  tree.SetDirectory("C:\\Korvane\\Sound\\");
  EXPECT_EQ(tree.Directory(), "C:\\KORVANE\\SOUND\\");
  tree.SetDirectory("nil");
  EXPECT_EQ(tree.Directory(), "C:\\KORVANE\\SOUND\\");
  tree.SetDirectory("C:\\Korvane\\Missing\\Deeper");
  EXPECT_EQ(tree.Directory(), "C:\\KORVANE\\") << "as far down as the folders exist";
  tree.SetDirectory("Q:\\Nowhere");
  EXPECT_EQ(tree.Directory(), "C:\\KORVANE\\") << "a drive that is not there changes nothing";
  tree.Select(nullptr);
  EXPECT_EQ(tree.Directory(), "nil");
  EXPECT_THAT(changes, ElementsAre("C:\\KORVANE\\SOUND\\", "C:\\KORVANE\\", "nil"));
  try {
    tree.SetDirectory("");
    ADD_FAILURE() << "an empty path is accepted";
  } catch (const EExplorerTree& error) {
    EXPECT_STREQ(error.what(), "Invalid Directory Name");
  }
}

TEST(ExplorerTree, TheLastPathIsRememberedPerDrive) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  tree.SetDirectory("C:\\Korvane\\Net");
  tree.SetDirectory("C:\\Korvane\\Sound");
  tree.SetDirectory("D:\\");
  EXPECT_EQ(tree.LastDirectory('c'), "C:\\KORVANE\\SOUND\\");
  EXPECT_EQ(tree.LastDirectory('D'), "D:\\");
  EXPECT_EQ(tree.LastDirectory('E'), "");
}

TEST(ExplorerTree, CriticalErrorBoxesAreOffWhileDrivesAreLookedAt) {
  TreeImage t;
  SystemInfo& system = t.machine->system();
  system.setErrorMode(0);
  std::vector<unsigned> modes;
  TAHMExplorerTree tree(*t.machine);
  tree.OnFindDirectory = [&](TAHMExplorerTree&, const std::string&) {
    const unsigned mode = system.setErrorMode(0);
    system.setErrorMode(mode);
    modes.push_back(mode);
  };
  tree.SetDirectory("C:\\Korvane");
  ASSERT_FALSE(modes.empty());
  for (unsigned mode : modes) EXPECT_EQ(mode, semFailCriticalErrors);
  EXPECT_EQ(system.setErrorMode(0), 0u) << "the earlier mode is back";
}

TEST(ExplorerTree, EventsDecideWhichFoldersBecomeNodesAndTheirIcons) {
  TreeImage t;
  TAHMExplorerTree tree(*t.machine);
  std::vector<std::string> found;
  tree.OnFindDirectory = [&found](TAHMExplorerTree&, const std::string& path) { found.push_back(path); };
  tree.OnAddDirectory = [](TAHMExplorerTree&, const std::string& path, bool& accept) {
    accept = path.find("\\APPS\\") == std::string::npos;
  };
  tree.OnGetIcon = [](TAHMExplorerTree&, const TTreeNode& node, bool open, int& index) {
    index = (node.Parent ? 10 : 0) + (open ? 1 : 0);
  };
  tree.SetDirectory("C:\\Korvane");
  tree.Expand(*tree.Selected());
  EXPECT_THAT(texts(tree.Selected()->Children), ElementsAre("Net", "Sound"));
  EXPECT_NE(std::find(found.begin(), found.end(), "C:\\KORVANE\\APPS\\"), found.end()) << "found, not added";
  EXPECT_EQ(drive(tree, 'C').ImageIndex, 0);
  EXPECT_EQ(tree.Selected()->ImageIndex, 10);
  EXPECT_EQ(tree.Selected()->SelectedIndex, 11) << "the open folder while selected";
}

}  // namespace
}  // namespace korvane::test
