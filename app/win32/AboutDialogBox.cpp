#include "app/win32/AboutDialogBox.h"

#include "app/win32/DialogBoxes.h"

namespace korvane {

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr SIZE kClientSize{320, 164};
enum ControlId : int { idName = 100, idPurpose, idMail, idWeb, idSupport };
constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverPeriod = 100;  // ms; the lines follow the mouse out of the window too
const COLORREF kBackground = RGB(128, 128, 192);  // the main window's

struct AboutDialogState {
  TAbout& about;
  HFONT font, bold, boldItalic;
  HBRUSH background;
  bool overMail = false, overWeb = false;
};

RECT placeOf(const TControl& control) {
  return {control.Left, control.Top, control.Left + control.Width, control.Top + control.Height};
}

void createControls(HWND dialog, const AboutDialogState& state) {
  const TAbout& about = state.about;
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  addDialogControl(dialog, state.bold, L"STATIC", about.Label1.Caption, label, idName, placeOf(about.Label1));
  addDialogControl(dialog, state.font, L"STATIC", about.Label2.Caption, label, idPurpose, placeOf(about.Label2));
  addDialogControl(dialog, state.font, L"STATIC", about.MailLabel.Caption, label | SS_NOTIFY, idMail,
                   placeOf(about.MailLabel));
  addDialogControl(dialog, state.bold, L"STATIC", about.WebLabel.Caption, label | SS_NOTIFY, idWeb,
                   placeOf(about.WebLabel));
  addDialogControl(dialog, state.font, L"BUTTON", about.SupportButton.Caption, WS_TABSTOP, idSupport,
                   placeOf(about.SupportButton));
  addDialogControl(dialog, state.font, L"BUTTON", about.OkButton.Caption, WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                   placeOf(about.OkButton));
}

// Runs the enter and leave handlers as the mouse crosses the two lines, and
// shows what they changed.
void followMouse(HWND dialog, AboutDialogState& state) {
  POINT cursor;
  HWND under = GetCursorPos(&cursor) ? WindowFromPoint(cursor) : nullptr;
  const bool overMail = under == GetDlgItem(dialog, idMail), overWeb = under == GetDlgItem(dialog, idWeb);
  if (overMail != state.overMail) {
    overMail ? state.about.MailLabelMouseEnter() : state.about.MailLabelMouseLeave();
    SetDlgItemTextW(dialog, idMail, win32::wide(state.about.MailLabel.Caption).c_str());
    state.overMail = overMail;
  }
  if (overWeb != state.overWeb) {
    overWeb ? state.about.WebLabelMouseEnter() : state.about.WebLabelMouseLeave();
    setControlFont(GetDlgItem(dialog, idWeb), state.about.WebLabelItalic ? state.boldItalic : state.bold);
    state.overWeb = overWeb;
  }
}

INT_PTR command(HWND dialog, AboutDialogState& state, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case idMail: state.about.MailLabelClick(); return TRUE;
    case idWeb: state.about.WebLabelClick(); return TRUE;
    case idSupport: state.about.SupportButtonClick(); return TRUE;
    case IDOK:
    case IDCANCEL:
      KillTimer(dialog, kHoverTimer);
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto& state = *reinterpret_cast<AboutDialogState*>(lParam);
    SetWindowTextW(dialog, win32::wide(state.about.Caption).c_str());
    createControls(dialog, state);
    placeDialog(dialog, kClientSize);
    SetTimer(dialog, kHoverTimer, kHoverPeriod, nullptr);
    return TRUE;
  }
  auto* state = reinterpret_cast<AboutDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!state) return FALSE;
  switch (message) {
    case WM_TIMER: followMouse(dialog, *state); return TRUE;
    case WM_COMMAND: return command(dialog, *state, wParam);
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(state->background);
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      const bool white = reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, idMail) && state->about.MailLabelWhite;
      SetTextColor(dc, white ? RGB(255, 255, 255) : RGB(0, 0, 0));
      SetBkColor(dc, kBackground);
      return reinterpret_cast<INT_PTR>(state->background);
    }
    case WM_SETCURSOR: {
      const auto over = reinterpret_cast<HWND>(wParam);
      if (over != GetDlgItem(dialog, idMail) && over != GetDlgItem(dialog, idWeb)) return FALSE;
      HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);  // none before Windows 2000
      SetCursor(hand ? hand : LoadCursorW(nullptr, IDC_ARROW));
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    default: return FALSE;
  }
}

}  // namespace

void runAboutDialog(HINSTANCE instance, HWND owner, TAbout& about, HFONT font) {
  HFONT bold = boldFont(font), boldItalic = boldFont(font, true);
  HBRUSH background = CreateSolidBrush(kBackground);
  AboutDialogState state{about, font, bold ? bold : font, boldItalic ? boldItalic : font, background};
  runEmptyDialog(instance, owner, kDialogStyle, WS_EX_TOOLWINDOW, dialogProc, &state);
  for (HGDIOBJ made : {static_cast<HGDIOBJ>(bold), static_cast<HGDIOBJ>(boldItalic), static_cast<HGDIOBJ>(background)})
    if (made) DeleteObject(made);
}

}  // namespace korvane
