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

void TForm1::ShowFolderTree(bool visible) {
  for (const char* name : kFolderTreeView) Control(name).Visible = visible;
  view_.controlsChanged();
}

void TForm1::SpeedButton4Click() {
  ListView1.Visible = false;
  ListView2.Visible = false;
  const TControl& list = Control("ListView1");
  Control("TV1").SetBounds(list.Left, list.Top, list.Width, list.Height);
  if (!TV1.Loaded()) TV1.Load();  // the drives are looked at once, when the tree is first shown
  ShowFolderTree(true);
  ClearMemo();
  AddMemoLines(Text(Msg::RestoreAllInstructions));
}

void TForm1::TV1Change() { RestoreFolder = TV1.Directory(); }

void TForm1::BitBtn9Click() {
  RestoreFailed = false;
  if (RestoreFolder.empty() || RestoreFolder == TAHMExplorerTree::kNoDirectory) {
    view_.showMessage(Text(Msg::NoFolderSelected));
    RestoreFailed = true;
    return;
  }
  RestoreFolderTree(RestoreFolder, {"INF\\", "Options\\Cabs\\"}, Msg::RestoreAllRestartNotice);
}

void TForm1::BitBtn11Click() {
  ShowFolderTree(false);
  ListView1.Visible = true;
  view_.controlsChanged();
}

}  // namespace korvane
