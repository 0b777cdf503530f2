// The one-line input box on Windows: a caption, a prompt over a text box
// that shows the offered text selected, OK and Cancel.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/View.h"

namespace korvane {

// The box's text after OK; nullopt for Cancel, Escape or closing the window.
std::optional<std::wstring> runInputBox(HINSTANCE instance, HWND owner, const InputQuery& query, HFONT font);

}  // namespace korvane
