#include "app/win32/FolderDialogBox.h"

#include <commctrl.h>

#include <memory>

#include "app/win32/DialogBoxes.h"
#include "app/win32/FolderTreeControl.h"
#include "platform/win32/Win32Util.h"

namespace korvane {

namespace {

using win32::wide;

// Places in the client area: the label over the folder box, the tree under
// it, OK and Cancel at the lower right.
constexpr int kMargin = 10;
constexpr int kInnerWidth = 360;
constexpr RECT kLabel{kMargin, 8, kMargin + kInnerWidth, 26};
constexpr RECT kFolderBox{kMargin, 30, kMargin + kInnerWidth, 51};
constexpr RECT kTree{kMargin, 58, kMargin + kInnerWidth, 278};
constexpr int kButtonWidth = 75, kButtonGap = 5, kButtonsTop = 288, kButtonsBottom = 313;
constexpr RECT kCancel{kMargin + kInnerWidth - kButtonWidth, kButtonsTop, kMargin + kInnerWidth, kButtonsBottom};
constexpr RECT kOk{kCancel.left - kButtonGap - kButtonWidth, kButtonsTop, kCancel.left - kButtonGap, kButtonsBottom};
constexpr SIZE kClient{kMargin + kInnerWidth + kMargin, kButtonsBottom + kMargin};

constexpr int kLabelId = 100, kFolderBoxId = 101, kTreeId = 102;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

struct DialogState {
  const FolderDialog& texts;
  TAHMExplorerTree& model;
  HFONT font;
  std::unique_ptr<FolderTreeControl> tree;
  bool presetShowing = false;  // the tree shows the preset folder: the box keeps the text as given
  std::wstring chosen;
};

HWND addControl(HWND dialog, const DialogState& state, const wchar_t* className, const std::string& text, DWORD style,
                int id, const RECT& place, DWORD exStyle = 0) {
  return addDialogControl(dialog, state.font, className, text, style, id, place, exStyle);
}

void initialise(HWND dialog, DialogState& state) {
  SetWindowTextW(dialog, wide(state.texts.caption).c_str());
  addControl(dialog, state, L"STATIC", state.texts.label, SS_LEFT | SS_NOPREFIX, kLabelId, kLabel);
  HWND box = addControl(dialog, state, L"EDIT", state.texts.folder, WS_TABSTOP | ES_AUTOHSCROLL, kFolderBoxId,
                        kFolderBox, WS_EX_CLIENTEDGE);
  HWND tree = addControl(dialog, state, WC_TREEVIEWW, "",
                         WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, kTreeId,
                         kTree, WS_EX_CLIENTEDGE);
  addControl(dialog, state, L"BUTTON", state.texts.okCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, kOk);
  addControl(dialog, state, L"BUTTON", state.texts.cancelCaption, WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, kCancel);
  placeDialog(dialog, kClient);

  state.tree = std::make_unique<FolderTreeControl>(tree, state.model);
  state.model.OnChange = [&state, box](TAHMExplorerTree& model) {
    const std::string folder = model.Directory();
    if (!state.presetShowing && folder != TAHMExplorerTree::kNoDirectory)
      SetWindowTextW(box, wide(folder).c_str());
  };
  state.presetShowing = true;
  state.model.Load();
  if (!state.texts.folder.empty()) state.model.SetDirectory(state.texts.folder);
  state.tree->sync();
  state.tree->showSelection();
  state.presetShowing = false;
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    initialise(dialog, *reinterpret_cast<DialogState*>(lParam));
    return FALSE;  // the focus is set
  }
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!state) return FALSE;
  switch (message) {
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (state->tree && header.hwndFrom == state->tree->window()) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, state->tree->notified(header));
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND:
      return endOnOkOrCancel(dialog, wParam, kFolderBoxId, state->chosen);
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::wstring> runFolderDialog(HINSTANCE instance, HWND owner, const FolderDialog& texts,
                                            TAHMExplorerTree& tree, HFONT font) {
  DialogState state{texts, tree, font, nullptr, false, {}};
  const INT_PTR answer = runEmptyDialog(instance, owner, kDialogStyle, 0, dialogProc, &state);
  if (answer != IDOK) return std::nullopt;
  return state.chosen;
}

}  // namespace korvane
