// The folder dialog of Backup All on Windows: the captions of the current
// language, a folder box the user may type into and a folder tree whose
// selection fills the box.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/View.h"
#include "components/ahmtexplorertree/TAHMExplorerTree.h"

namespace korvane {

// The folder box's text after OK; nullopt for Cancel, Escape or closing the
// window. The tree is the dialog's own model, loaded here.
std::optional<std::wstring> runFolderDialog(HINSTANCE instance, HWND owner, const FolderDialog& texts,
                                            TAHMExplorerTree& tree, HFONT font);

}  // namespace korvane
