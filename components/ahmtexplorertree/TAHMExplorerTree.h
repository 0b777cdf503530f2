// A tree of the machine's drives and their folders, listed as the user opens
// it: the choice of a folder for restoring and for backing up.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Machine.h"

namespace korvane {

// Misuse of the tree: "Invalid Directory Name" for an empty path.
class EExplorerTree : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TTreeNode {
  std::string Text;  // a drive's display name or a folder's own name
  std::string Path;  // upper-cased, ending in a backslash
  int ImageIndex = -1;     // icon while not selected
  int SelectedIndex = -1;  // the open-folder icon
  // Opening the node may show sub-folders: it shows a button. Until it is
  // listed this stands for a placeholder child.
  bool HasChildren = false;
  bool Listed = false;
  bool Expanded = false;
  TTreeNode* Parent = nullptr;
  std::vector<std::unique_ptr<TTreeNode>> Children;  // sorted by name once listed
};

class TAHMExplorerTree {
 public:
  using TNotifyEvent = std::function<void(TAHMExplorerTree& sender)>;
  // A folder was found while a node was listed.
  using TFindDirectoryEvent = std::function<void(TAHMExplorerTree& sender, const std::string& path)>;
  // Whether a found folder becomes a node; accept starts true.
  using TAddDirectoryEvent = std::function<void(TAHMExplorerTree& sender, const std::string& path, bool& accept)>;
  // The icon of a new node: its closed one, or the open one it shows while selected.
  using TGetIconEvent = std::function<void(TAHMExplorerTree& sender, const TTreeNode& node, bool open, int& index)>;

  static constexpr const char* kNoDirectory = "nil";

  explicit TAHMExplorerTree(Machine& machine) : machine_(machine) {}
  TAHMExplorerTree(const TAHMExplorerTree&) = delete;
  TAHMExplorerTree& operator=(const TAHMExplorerTree&) = delete;

  bool Network = false;       // drives of the remote type appear too
  bool FastLoad = false;      // every drive and folder gets a button without being looked at
  bool ReadOnly = true;       // labels cannot be edited
  bool HideSelection = true;  // the selection is not shown while the tree has no focus

  // Builds the drive nodes afresh; nothing is selected afterwards.
  void Load();
  bool Loaded() const { return loaded_; }
  const std::vector<std::unique_ptr<TTreeNode>>& Items() const { return drives_; }

  // Opens a node, listing its sub-folders the first time.
  void Expand(TTreeNode& node);
  void Collapse(TTreeNode& node) { node.Expanded = false; }

  // nullptr clears the selection. OnChange follows every change.
  void Select(TTreeNode* node);
  TTreeNode* Selected() const { return selected_; }

  // The selected node's path, or "nil" when nothing is selected.
  std::string Directory() const;
  // Selects and opens the nodes down to the path, as far as they exist (a
  // path on no present drive changes nothing); "nil" changes nothing. Throws
  // EExplorerTree for an empty path.
  void SetDirectory(const std::string& path);
  // The path last selected on a drive; empty when none was.
  std::string LastDirectory(char driveLetter) const;

  TNotifyEvent OnChange;
  TFindDirectoryEvent OnFindDirectory;
  TAddDirectoryEvent OnAddDirectory;
  TGetIconEvent OnGetIcon;

 private:
  std::unique_ptr<TTreeNode> MakeNode(TTreeNode* parent, std::string text, std::string path);
  std::vector<std::string> SubFolderNames(const std::string& path);
  bool HasSubFolder(const std::string& path);
  TTreeNode* ChildNamed(TTreeNode& node, const std::string& name);

  Machine& machine_;
  std::vector<std::unique_ptr<TTreeNode>> drives_;
  TTreeNode* selected_ = nullptr;
  std::map<char, std::string> lastByDrive_;
  bool loaded_ = false;
};

// Whether a folder path is one the tree leaves out: any folder inside a
// folder named RECYCLED. The path ends in a backslash.
bool IsInsideRecycled(const std::string& path);

}  // namespace korvane
