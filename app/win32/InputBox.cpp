#include "app/win32/InputBox.h"

#include "app/win32/DialogBoxes.h"
#include "platform/win32/Win32Util.h"

namespace korvane {

namespace {

// The prompt over the text box, OK and Cancel at the lower right.
constexpr int kMargin = 10;
constexpr int kInnerWidth = 360;
constexpr RECT kPrompt{kMargin, 8, kMargin + kInnerWidth, 26};
constexpr RECT kTextBox{kMargin, 30, kMargin + kInnerWidth, 51};
constexpr int kButtonWidth = 75, kButtonGap = 5, kButtonsTop = 62, kButtonsBottom = 87;
constexpr RECT kCancel{kMargin + kInnerWidth - kButtonWidth, kButtonsTop, kMargin + kInnerWidth, kButtonsBottom};
constexpr RECT kOk{kCancel.left - kButtonGap - kButtonWidth, kButtonsTop, kCancel.left - kButtonGap, kButtonsBottom};
constexpr SIZE kClient{kMargin + kInnerWidth + kMargin, kButtonsBottom + kMargin};
constexpr int kPromptId = 100, kTextBoxId = 101;

struct BoxState {
  const InputQuery& query;
  HFONT font;
  std::wstring text;
};

void initialise(HWND dialog, const BoxState& state) {
  SetWindowTextW(dialog, win32::wide(state.query.caption).c_str());
  addDialogControl(dialog, state.font, L"STATIC", state.query.prompt, SS_LEFT | SS_NOPREFIX, kPromptId, kPrompt);
  HWND box = addDialogControl(dialog, state.font, L"EDIT", state.query.text, WS_TABSTOP | ES_AUTOHSCROLL, kTextBoxId,
                              kTextBox, WS_EX_CLIENTEDGE);
  addDialogControl(dialog, state.font, L"BUTTON", state.query.okCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, kOk);
  addDialogControl(dialog, state.font, L"BUTTON", state.query.cancelCaption, WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                   kCancel);
  placeDialog(dialog, kClient);
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK boxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    initialise(dialog, *reinterpret_cast<const BoxState*>(lParam));
    return FALSE;  // the focus is set
  }
  auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!state || message != WM_COMMAND) return FALSE;
  return endOnOkOrCancel(dialog, wParam, kTextBoxId, state->text);
}

}  // namespace

std::optional<std::wstring> runInputBox(HINSTANCE instance, HWND owner, const InputQuery& query, HFONT font) {
  BoxState state{query, font, {}};
  constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  if (runEmptyDialog(instance, owner, kStyle, 0, boxProc, &state) != IDOK) return std::nullopt;
  return state.text;
}

}  // namespace korvane
