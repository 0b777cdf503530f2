// The about box on Windows: real controls for the state TAbout keeps.
#pragma once

#include <windows.h>

#include "app/AboutUnit.h"

namespace korvane {

// Modal; the e-mail and web lines answer the mouse as TAbout says.
void runAboutDialog(HINSTANCE instance, HWND owner, TAbout& about, HFONT font);

}  // namespace korvane
