// A tree-view control that shows a folder tree model: an item for each node,
// the children of a node inserted when the user first opens it. The main
// window's Restore All tree and the Backup All folder dialog both use it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <map>

#include "components/ahmtexplorertree/TAHMExplorerTree.h"

namespace korvane {

class FolderTreeControl {
 public:
  // Gives the control the shell's small icons and the model their indexes.
  FolderTreeControl(HWND tree, TAHMExplorerTree& model);

  HWND window() const { return tree_; }
  // Shows the model's drives, unless they are the ones shown already.
  void sync();
  // The control's notices: a selection goes to the model, an opened node is listed.
  LRESULT notified(const NMHDR& header);
  // Selects the item of the model's selected node and opens the way to it.
  void showSelection();

 private:
  void insert(HTREEITEM parent, const TTreeNode& node);
  void listChildren(TTreeNode& node, HTREEITEM item);

  HWND tree_;
  TAHMExplorerTree& model_;
  const TTreeNode* shownRoot_ = nullptr;  // the first drive node the control shows
  std::map<const TTreeNode*, HTREEITEM> items_;
};

}  // namespace korvane
