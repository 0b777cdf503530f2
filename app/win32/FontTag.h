// A control's font, also named in a property of the control: a font handle
// means nothing in another process, and a test tool that checks whether the
// captions fit measures them with the same font.
#pragma once

#include <windows.h>

#include <cwchar>
#include <optional>
#include <string>

namespace korvane {

constexpr const wchar_t* kFontProperty = L"KorvaneFont";  // a global atom "height|charset|weight|italic|face"

inline void setControlFont(HWND control, HFONT font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  const auto old = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(control, kFontProperty)));
  if (old) GlobalDeleteAtom(old);
  LOGFONTW look{};
  if (!font || GetObjectW(font, sizeof look, &look) != sizeof look) return;
  const std::wstring tag = std::to_wstring(look.lfHeight) + L"|" + std::to_wstring(look.lfCharSet) + L"|" +
                           std::to_wstring(look.lfWeight) + L"|" + std::to_wstring(look.lfItalic) + L"|" +
                           look.lfFaceName;
  if (const ATOM atom = GlobalAddAtomW(tag.c_str()))
    SetPropW(control, kFontProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
}

// The font a control of any process was given, or nullopt.
inline std::optional<LOGFONTW> taggedFont(HWND control) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(control, kFontProperty)));
  wchar_t tag[256] = {};
  if (!atom || !GlobalGetAtomNameW(atom, tag, static_cast<int>(std::size(tag)))) return std::nullopt;
  LOGFONTW look{};
  wchar_t* rest = nullptr;
  look.lfHeight = static_cast<LONG>(std::wcstol(tag, &rest, 10));
  if (*rest != L'|') return std::nullopt;
  look.lfCharSet = static_cast<BYTE>(std::wcstol(rest + 1, &rest, 10));
  if (*rest != L'|') return std::nullopt;
  look.lfWeight = static_cast<LONG>(std::wcstol(rest + 1, &rest, 10));
  if (*rest != L'|') return std::nullopt;
  look.lfItalic = static_cast<BYTE>(std::wcstol(rest + 1, &rest, 10));
  if (*rest != L'|') return std::nullopt;
  std::wcsncpy(look.lfFaceName, rest + 1, LF_FACESIZE - 1);
  return look;
}

}  // namespace korvane
