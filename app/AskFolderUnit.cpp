#include "app/AskFolderUnit.h"

#include "platform/FileSystem.h"

namespace korvane {

std::optional<std::string> TForm3::ShowModal() {
  FolderDialog dialog = texts_;
  dialog.folder = Result;
  const auto chosen = view_.chooseFolder(dialog);
  if (!chosen) return std::nullopt;
  return withoutTrailingBackslash(*chosen);
}

}  // namespace korvane
