// The proxy dialog on Windows: real controls for the state TForm2 keeps.
#pragma once

#include <windows.h>

#include "app/BalvikProxyUnit.h"

namespace korvane {

// Modal; the dialog's handlers run as the user ticks the box or presses OK,
// and the edits' texts are in the form however the dialog closed.
void runProxyDialog(HINSTANCE instance, HWND owner, TForm2& form, HFONT font);

}  // namespace korvane
