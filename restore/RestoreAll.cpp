// Restore All: a folder chosen in the folder tree, every file under it copied
// into the Windows INF and Options\Cabs folders, then a restart.
#include "app/BalvikMain.h"

namespace korvane {

namespace {

constexpr const char* kFolderTreeView[] = {"TV1", "BitBtn9", "BitBtn11"};

}  // namespace

void TForm1::ConfigureFolderTree() {
  TV1.Network = true;
  TV1.FastLoad = false;
  TV1.ReadOnly = true;
  TV1.HideSelection = false;
  TV1.OnChange = [this](TAHMExplorerTree&) { TV1Change(); };
}

// The folder tree and its buttons in place of the driver list and the update view.
void TForm1::SpeedButton4Click() {
  ListView1.Visible = false;
  ListView2.Visible = false;
  Control("BitBtn6").Visible = Control("BitBtn7").Visible = false;
  if (!TV1.Loaded()) TV1.Load();  // the drives are looked at once, when the tree is first shown
  for (const char* name : kFolderTreeView) Control(name).Visible = true;
  LayoutChanged();
  ClearMemo();
  AddMemoLines(Text(Msg::RestoreAllInstructions));
}

void TForm1::TV1Change() { restore_.RestoreFolder = TV1.Directory(); }

void TForm1::BitBtn9Click() {
  restore_.RestoreFailed = false;
  const std::string& folder = restore_.RestoreFolder;
  if (folder.empty() || folder == TAHMExplorerTree::kNoDirectory) {
    view_.showMessage(Text(Msg::NoFolderSelected));
    restore_.RestoreFailed = true;
    return;
  }
  RestoreFolderTree(folder, {"INF\\", "Options\\Cabs\\"}, Msg::RestoreAllRestartNotice);
}

void TForm1::BitBtn11Click() { ShowDriverList(); }

}  // namespace korvane
