#include "components/ahmtexplorertree/TAHMExplorerTree.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr const char* kRecycled = "\\recycled\\";
constexpr size_t kRecycledLength = 10;

// Looking at an empty floppy or CD drive must not bring up the system's
// "insert a disk" box.
class QuietCriticalErrors {
 public:
  explicit QuietCriticalErrors(SystemInfo& system)
      : system_(system), previous_(system.setErrorMode(semFailCriticalErrors)) {}
  ~QuietCriticalErrors() { system_.setErrorMode(previous_); }
  QuietCriticalErrors(const QuietCriticalErrors&) = delete;
  QuietCriticalErrors& operator=(const QuietCriticalErrors&) = delete;

 private:
  SystemInfo& system_;
  unsigned previous_;
};

// Drives whose medium may be missing, or slow to spin up, are not looked at
// before the user opens them.
bool mayLackMedium(unsigned driveType) {
  return driveType == dtRemovable || driveType == dtUnknown || driveType == dtCdRom;
}

bool isFolderEntry(const FileEntry& entry) { return entry.isDirectory() && entry.name != "." && entry.name != ".."; }

std::string withTrailingBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// "A\\B\\" -> "A", "B".
std::vector<std::string> folderNames(const std::string& relative) {
  std::vector<std::string> names;
  size_t start = 0;
  for (size_t end = relative.find('\\'); end != std::string::npos; end = relative.find('\\', start)) {
    if (end > start) names.push_back(relative.substr(start, end - start));
    start = end + 1;
  }
  if (start < relative.size()) names.push_back(relative.substr(start));
  return names;
}

}  // namespace

bool IsInsideRecycled(const std::string& path) {
  const std::string lower = lowerCase(path);
  for (size_t at = lower.find(kRecycled); at != std::string::npos; at = lower.find(kRecycled, at + 1))
    if (at + kRecycledLength != lower.size()) return true;
  return false;
}

void TAHMExplorerTree::Load() {
  QuietCriticalErrors quiet(machine_.system());
  const bool hadSelection = selected_ != nullptr;
  selected_ = nullptr;
  drives_.clear();
  for (const DriveInfo& drive : machine_.system().drives()) {
    if (drive.type == dtRemote && !Network) continue;
    const std::string root = std::string(1, drive.letter) + ":\\";
    auto node = MakeNode(nullptr, drive.displayName, upperCase(root));
    node->HasChildren = FastLoad || mayLackMedium(drive.type) || HasSubFolder(node->Path);
    drives_.push_back(std::move(node));
  }
  loaded_ = true;
  if (hadSelection && OnChange) OnChange(*this);
}

std::unique_ptr<TTreeNode> TAHMExplorerTree::MakeNode(TTreeNode* parent, std::string text, std::string path) {
  auto node = std::make_unique<TTreeNode>();
  node->Text = std::move(text);
  node->Path = std::move(path);
  node->Parent = parent;
  if (OnGetIcon) {
    OnGetIcon(*this, *node, false, node->ImageIndex);
    OnGetIcon(*this, *node, true, node->SelectedIndex);
  }
  return node;
}

void TAHMExplorerTree::Expand(TTreeNode& node) {
  if (!node.Listed) {
    QuietCriticalErrors quiet(machine_.system());
    for (const std::string& name : SubFolderNames(node.Path)) {
      auto child = MakeNode(&node, name, node.Path + upperCase(name) + "\\");
      child->HasChildren = FastLoad || HasSubFolder(child->Path);
      node.Children.push_back(std::move(child));
    }
    node.Listed = true;
    node.HasChildren = !node.Children.empty();
  }
  node.Expanded = node.HasChildren;
}

// The listable sub-folders of a folder, sorted by name without regard to case.
std::vector<std::string> TAHMExplorerTree::SubFolderNames(const std::string& path) {
  std::vector<std::string> names;
  for (const FileEntry& entry : machine_.files().find(path + "*.*")) {
    if (!isFolderEntry(entry)) continue;
    const std::string folder = path + upperCase(entry.name) + "\\";
    if (OnFindDirectory) OnFindDirectory(*this, folder);
    bool accept = !IsInsideRecycled(folder);
    if (accept && OnAddDirectory) OnAddDirectory(*this, folder, accept);
    if (accept) names.push_back(entry.name);
  }
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return upperCase(a) < upperCase(b); });
  return names;
}

// Whether opening the folder would show anything; the events are left out of
// this look ahead.
bool TAHMExplorerTree::HasSubFolder(const std::string& path) {
  const auto entries = machine_.files().find(path + "*.*");
  return std::any_of(entries.begin(), entries.end(), [&path](const FileEntry& entry) {
    return isFolderEntry(entry) && !IsInsideRecycled(path + upperCase(entry.name) + "\\");
  });
}

void TAHMExplorerTree::Select(TTreeNode* node) {
  if (node == selected_) return;
  selected_ = node;
  if (node) lastByDrive_[node->Path.front()] = node->Path;
  if (OnChange) OnChange(*this);
}

std::string TAHMExplorerTree::Directory() const { return selected_ ? selected_->Path : kNoDirectory; }

TTreeNode* TAHMExplorerTree::ChildNamed(TTreeNode& node, const std::string& name) {
  const std::string path = node.Path + name + "\\";
  for (const auto& child : node.Children)
    if (child->Path == path) return child.get();
  return nullptr;
}

void TAHMExplorerTree::SetDirectory(const std::string& path) {
  if (path.empty()) throw EExplorerTree("Invalid Directory Name");
  if (path == kNoDirectory) return;
  if (!loaded_) Load();
  const std::string target = withTrailingBackslash(upperCase(path));
  if (target.size() < 3 || target[1] != ':' || target[2] != '\\') return;
  const auto drive = std::find_if(drives_.begin(), drives_.end(),
                                  [&target](const auto& node) { return node->Path == target.substr(0, 3); });
  if (drive == drives_.end()) return;
  TTreeNode* node = drive->get();
  for (const std::string& name : folderNames(target.substr(3))) {
    Expand(*node);
    TTreeNode* child = ChildNamed(*node, name);
    if (!child) break;
    node = child;
  }
  Select(node);
}

std::string TAHMExplorerTree::LastDirectory(char driveLetter) const {
  const auto found = lastByDrive_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(driveLetter))));
  return found == lastByDrive_.end() ? std::string() : found->second;
}

}  // namespace korvane
