// Command identifiers of the main window's controls and menu items. They
// follow the fixed order of the layout's names, so that a test tool in
// another process can address a control by its name.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "app/BalvikMain.h"

namespace korvane {

constexpr int kFirstControlId = 100;
// The browse button of the folder box Edit1: the view's own, outside the layout.
constexpr int kFolderBrowseId = kFirstControlId - 1;

// 0 for a name the window does not have.
inline int controlId(std::string_view name) {
  const auto& names = TForm1::ControlNames();
  const auto found = std::find(names.begin(), names.end(), name);
  return found == names.end() ? 0 : kFirstControlId + static_cast<int>(found - names.begin());
}

// Empty for an identifier of no control.
inline std::string controlName(int id) {
  const auto& names = TForm1::ControlNames();
  const int index = id - kFirstControlId;
  return index >= 0 && index < static_cast<int>(names.size()) ? names[static_cast<size_t>(index)] : std::string();
}

// How far inside its edges a tool button draws its caption; test tools
// measure the captions against the same room.
constexpr int kToolCaptionInsetX = 1;
constexpr int kToolCaptionInsetY = 3;

// The class of the main window, by which test tools find it.
constexpr const wchar_t* kMainWindowClass = L"KorvaneMainWindow";

}  // namespace korvane
