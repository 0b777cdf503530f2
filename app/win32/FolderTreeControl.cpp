#include "app/win32/FolderTreeControl.h"

#include <shellapi.h>

#include <string>

#include "platform/win32/Win32Util.h"

namespace korvane {

namespace {

// The hourglass while drives or folders are looked at.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace

FolderTreeControl::FolderTreeControl(HWND tree, TAHMExplorerTree& model) : tree_(tree), model_(model) {
  SHFILEINFOW info{};
  const auto icons = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (!icons) return;
  SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons));
  model_.OnGetIcon = [](TAHMExplorerTree&, const TTreeNode& node, bool open, int& index) {
    SHFILEINFOW icon{};
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
    if (SHGetFileInfoW(win32::wide(node.Path).c_str(), 0, &icon, sizeof icon, flags)) index = icon.iIcon;
  };
}

void FolderTreeControl::sync() {
  const auto& drives = model_.Items();
  const TTreeNode* root = drives.empty() ? nullptr : drives.front().get();
  if (root == shownRoot_) return;
  WaitCursor wait;
  SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  items_.clear();
  for (const auto& drive : drives) insert(TVI_ROOT, *drive);
  shownRoot_ = root;
}

// A node and, when the model has listed it already, its children.
void FolderTreeControl::insert(HTREEITEM parent, const TTreeNode& node) {
  std::wstring text = win32::wide(node.Text);
  TVINSERTSTRUCTW entry{};
  entry.hParent = parent;
  entry.hInsertAfter = TVI_LAST;
  entry.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  entry.item.pszText = text.data();
  entry.item.lParam = reinterpret_cast<LPARAM>(&node);
  entry.item.cChildren = node.HasChildren ? 1 : 0;
  entry.item.iImage = node.ImageIndex;
  entry.item.iSelectedImage = node.SelectedIndex;
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
  if (!item) return;
  items_[&node] = item;
  if (node.Listed)
    for (const auto& child : node.Children) insert(item, *child);
}

void FolderTreeControl::listChildren(TTreeNode& node, HTREEITEM item) {
  const bool firstTime = !node.Listed;
  {
    WaitCursor wait;
    model_.Expand(node);
    if (firstTime)
      for (const auto& child : node.Children) insert(item, *child);
  }
  if (node.Children.empty()) {  // nothing inside after all: the button goes
    TVITEMW state{};
    state.mask = TVIF_CHILDREN;
    state.hItem = item;
    state.cChildren = 0;
    SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&state));
  }
}

LRESULT FolderTreeControl::notified(const NMHDR& header) {
  const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
  auto* node = reinterpret_cast<TTreeNode*>(change.itemNew.lParam);
  if (header.code == TVN_SELCHANGEDW)
    model_.Select(node);  // the owner hears of it through the model's OnChange
  else if (header.code == TVN_ITEMEXPANDINGW && node && (change.action & TVE_EXPAND))
    listChildren(*node, change.itemNew.hItem);
  else if (header.code == TVN_ITEMEXPANDEDW && node && (change.action & TVE_COLLAPSE))
    model_.Collapse(*node);
  return 0;
}

void FolderTreeControl::showSelection() {
  const auto found = items_.find(model_.Selected());
  if (found == items_.end()) return;
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found->second));
  SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(found->second));
}

}  // namespace korvane
