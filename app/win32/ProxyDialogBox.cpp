#include "app/win32/ProxyDialogBox.h"

#include <string_view>
#include <utility>
#include <vector>

#include "app/win32/DialogBoxes.h"
#include "app/win32/WindowText.h"

namespace korvane {

namespace {

constexpr int kFirstId = 100;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

struct ProxyDialogState {
  TForm2& form;
  HFONT font;
  HFONT bold;  // the labels'
  std::vector<std::pair<const char*, TControl*>> controls;
};

bool isA(const char* name, std::string_view kind) { return std::string_view(name).starts_with(kind); }

int idOf(const ProxyDialogState& state, size_t index) {
  return state.controls[index].second == &state.form.Button1 ? IDOK : kFirstId + static_cast<int>(index);
}

void createControl(HWND dialog, const ProxyDialogState& state, size_t index) {
  const auto& [name, control] = state.controls[index];
  const RECT place{control->Left, control->Top, control->Left + control->Width, control->Top + control->Height};
  const int id = idOf(state, index);
  if (isA(name, "CheckBox")) {
    addDialogControl(dialog, state.font, L"BUTTON", control->Caption, WS_TABSTOP | BS_AUTOCHECKBOX, id, place);
    CheckDlgButton(dialog, id, control->Checked ? BST_CHECKED : BST_UNCHECKED);
  } else if (isA(name, "Label")) {
    addDialogControl(dialog, state.bold, L"STATIC", control->Caption, SS_LEFT | SS_NOPREFIX, id, place);
  } else if (isA(name, "Edit")) {
    const DWORD secret = control == &state.form.Edit4 ? ES_PASSWORD : 0;
    HWND edit = addDialogControl(dialog, state.font, L"EDIT", control->Caption, WS_TABSTOP | ES_AUTOHSCROLL | secret,
                                 id, place, WS_EX_CLIENTEDGE);
    if (secret) SendMessageW(edit, EM_SETPASSWORDCHAR, L'*', 0);
  } else {
    addDialogControl(dialog, state.font, L"BUTTON", control->Caption, WS_TABSTOP | BS_DEFPUSHBUTTON, id, place);
  }
}

void showEnabled(HWND dialog, const ProxyDialogState& state) {
  for (size_t k = 0; k < state.controls.size(); ++k)
    EnableWindow(GetDlgItem(dialog, idOf(state, k)), state.controls[k].second->Enabled);
}

void takeEdits(HWND dialog, const ProxyDialogState& state) {
  for (size_t k = 0; k < state.controls.size(); ++k)
    if (isA(state.controls[k].first, "Edit"))
      state.controls[k].second->Caption = win32::narrow(textOf(GetDlgItem(dialog, idOf(state, k))));
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto& state = *reinterpret_cast<ProxyDialogState*>(lParam);
    SetWindowTextW(dialog, win32::wide(state.form.Caption).c_str());
    for (size_t k = 0; k < state.controls.size(); ++k) createControl(dialog, state, k);
    showEnabled(dialog, state);
    placeDialog(dialog, SIZE{TForm2::ClientWidth, TForm2::ClientHeight});
    return TRUE;  // the focus goes to the first control
  }
  auto* state = reinterpret_cast<ProxyDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!state || message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wParam);
  if (id == idOf(*state, 0) && HIWORD(wParam) == BN_CLICKED) {
    state->form.CheckBox1.Checked = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
    state->form.CheckBox1Click();
    showEnabled(dialog, *state);
    return TRUE;
  }
  if (id == IDOK || id == IDCANCEL) {  // IDCANCEL: Escape or the close box, which keep the edits too
    takeEdits(dialog, *state);
    if (id == IDOK) state->form.Button1Click();
    EndDialog(dialog, id);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void runProxyDialog(HINSTANCE instance, HWND owner, TForm2& form, HFONT font) {
  HFONT bold = boldFont(font);  // the labels'
  ProxyDialogState state{form, font, bold ? bold : font, form.ControlList()};
  runEmptyDialog(instance, owner, kDialogStyle, WS_EX_TOOLWINDOW, dialogProc, &state);
  if (bold) DeleteObject(bold);
}

}  // namespace korvane
