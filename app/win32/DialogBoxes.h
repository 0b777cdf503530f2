// What Korvane's own dialog boxes share: an empty in-memory template whose
// controls are made in WM_INITDIALOG with pixel places, and the placing of
// the dialog over its owner.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

#include "app/win32/FontTag.h"
#include "app/win32/WindowText.h"
#include "platform/win32/Win32Util.h"

namespace korvane {

inline HWND addDialogControl(HWND dialog, HFONT font, const wchar_t* className, const std::string& text, DWORD style,
                             int id, const RECT& place, DWORD exStyle = 0) {
  HWND control = CreateWindowExW(exStyle, className, win32::wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                 place.left, place.top, place.right - place.left, place.bottom - place.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (control) setControlFont(control, font);
  return control;
}

// The font made bold, and italic if asked; nullptr when it cannot be. The caller deletes it.
inline HFONT boldFont(HFONT font, bool italic = false) {
  LOGFONTW look{};
  if (!font || GetObjectW(font, sizeof look, &look) != sizeof look) return nullptr;
  look.lfWeight = FW_BOLD;
  look.lfItalic = italic ? TRUE : FALSE;
  return CreateFontIndirectW(&look);
}

// A client area of the given size, centred over the owner.
inline void placeDialog(HWND dialog, SIZE client) {
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT owner;
  HWND parent = GetWindow(dialog, GW_OWNER);
  if (!parent || !GetWindowRect(parent, &owner)) owner = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int left = std::max(0L, (owner.left + owner.right - width) / 2);
  const int top = std::max(0L, (owner.top + owner.bottom - height) / 2);
  SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// OK ends the dialog with the text of the box, Cancel (also Escape and the
// window's close box) without; TRUE when the command was one of them.
inline INT_PTR endOnOkOrCancel(HWND dialog, WPARAM command, int textBoxId, std::wstring& text) {
  if (LOWORD(command) == IDOK) text = textOf(GetDlgItem(dialog, textBoxId));
  if (LOWORD(command) != IDOK && LOWORD(command) != IDCANCEL) return FALSE;
  EndDialog(dialog, LOWORD(command));
  return TRUE;
}

// A modal dialog from an empty template (no menu, the dialog class, no
// title), its state handed to WM_INITDIALOG.
struct alignas(4) EmptyDialogTemplate {
  DLGTEMPLATE header;
  WORD menu, windowClass, title;
};

inline INT_PTR runEmptyDialog(HINSTANCE instance, HWND owner, DWORD style, DWORD exStyle, DLGPROC proc,
                              void* state) {
  EmptyDialogTemplate empty{};
  empty.header.style = style;
  empty.header.dwExtendedStyle = exStyle;
  return DialogBoxIndirectParamW(instance, &empty.header, owner, proc, reinterpret_cast<LPARAM>(state));
}

// The same as a modeless dialog, whose messages the caller's pump dispatches.
inline HWND createEmptyDialog(HINSTANCE instance, HWND owner, DWORD style, DWORD exStyle, DLGPROC proc, void* state) {
  EmptyDialogTemplate empty{};
  empty.header.style = style;
  empty.header.dwExtendedStyle = exStyle;
  return CreateDialogIndirectParamW(instance, &empty.header, owner, proc, reinterpret_cast<LPARAM>(state));
}

}  // namespace korvane
