#include "app/win32/TransferDialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/win32/DialogBoxes.h"

namespace korvane {

namespace {

// The controls from the top: the bar, then a line each for the file, the
// progress, the rate and (with ShowTime) the time left, then the buttons.
constexpr int kWidth = 300, kMargin = 10, kInner = kWidth - 2 * kMargin;
constexpr int kBarTop = 12, kBarHeight = 12, kFirstLine = 32, kLineStep = 20, kLineHeight = 16;
constexpr int kButtonWidth = 75, kButtonHeight = 23;
constexpr int kBarId = 100, kFileId = 101, kProgressId = 102, kRateId = 103, kTimeId = 104, kOpenFolderId = 105,
              kOpenFileId = 106;
constexpr UINT kStateChanged = WM_APP + 1;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME;

RECT lineAt(int index) {
  const int top = kFirstLine + index * kLineStep;
  return {kMargin, top, kMargin + kInner, top + kLineHeight};
}

int buttonsTop(bool showTime) { return kFirstLine + (showTime ? 4 : 3) * kLineStep + 4; }

RECT buttonAt(int left, bool showTime) {
  const int top = buttonsTop(showTime);
  return {left, top, left + kButtonWidth, top + kButtonHeight};
}

void setText(HWND dialog, int id, const std::string& text) { SetDlgItemTextW(dialog, id, win32::wide(text).c_str()); }

}  // namespace

Win32TransferDialog::Win32TransferDialog(HINSTANCE instance, HWND owner, std::function<HFONT()> font,
                                         std::function<std::string(Msg)> text)
    : instance_(instance), owner_(owner), fontOf_(std::move(font)), text_(std::move(text)) {}

Win32TransferDialog::~Win32TransferDialog() { destroy(); }

void Win32TransferDialog::opened(TWebCopy& copy) {
  destroy();
  copy_ = &copy;
  font_ = fontOf_();
  waiting_ = false;
  shown_ = {};
  shown_.showTime = copy.ShowTime;
  {
    std::lock_guard lock(latestLock_);
    latest_ = shown_;
    posted_ = false;
  }
  dialog_ = createEmptyDialog(instance_, owner_, kStyle, 0, dialogProc, this);
  if (!dialog_) return;
  if (copy.AlwaysOnTop) SetWindowPos(dialog_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(dialog_, SW_SHOWNORMAL);
}

void Win32TransferDialog::createControls() {
  const TWebCopy& copy = *copy_;
  SetWindowTextW(dialog_, win32::wide(copy.DlgCaption + " ...").c_str());
  HWND bar = addDialogControl(dialog_, font_, PROGRESS_CLASSW, "", 0, kBarId,
                              {kMargin, kBarTop, kMargin + kInner, kBarTop + kBarHeight});
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  const DWORD line = SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS;
  addDialogControl(dialog_, font_, L"STATIC", copy.DlgFileLabel, line, kFileId, lineAt(0));
  addDialogControl(dialog_, font_, L"STATIC", copy.DlgProgressLabel, line, kProgressId, lineAt(1));
  addDialogControl(dialog_, font_, L"STATIC", copy.DlgRateLabel, line, kRateId, lineAt(2));
  if (copy.ShowTime) addDialogControl(dialog_, font_, L"STATIC", copy.DlgTimeLabel, line, kTimeId, lineAt(3));
  const bool time = copy.ShowTime;
  const int cancelLeft = kWidth - kMargin - kButtonWidth;
  addDialogControl(dialog_, font_, L"BUTTON", text_(Msg::TransferCancel), WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                   buttonAt(cancelLeft, time));
  // The open buttons stay disabled until the run has ended.
  const int openLeft = cancelLeft - kButtonWidth - kMargin;
  if (copy.ShowOpenFolder)
    addDialogControl(dialog_, font_, L"BUTTON", text_(Msg::TransferOpenFolder), WS_TABSTOP | WS_DISABLED,
                     kOpenFolderId, buttonAt(openLeft, time));
  if (copy.ShowOpenFile)
    addDialogControl(dialog_, font_, L"BUTTON", text_(Msg::TransferOpenFile), WS_TABSTOP | WS_DISABLED, kOpenFileId,
                     buttonAt(copy.ShowOpenFolder ? openLeft - kButtonWidth - kMargin : openLeft, time));
  placeDialog(dialog_, SIZE{kWidth, buttonsTop(time) + kButtonHeight + kMargin});
}

void Win32TransferDialog::changed(const TWebCopyDialogState& state) {
  std::lock_guard lock(latestLock_);
  latest_ = state;
  if (posted_ || !dialog_) return;
  posted_ = PostMessageW(dialog_, kStateChanged, 0, 0) != FALSE;
}

// Only what changed is redrawn: the worker reports after every block.
void Win32TransferDialog::showLatest() {
  TWebCopyDialogState state;
  {
    std::lock_guard lock(latestLock_);
    state = latest_;
    posted_ = false;
  }
  if (!dialog_) return;
  if (state.caption != shown_.caption) SetWindowTextW(dialog_, win32::wide(state.caption).c_str());
  if (state.position != shown_.position) SendDlgItemMessageW(dialog_, kBarId, PBM_SETPOS, state.position, 0);
  const std::pair<int, std::string TWebCopyDialogState::*> lines[] = {{kFileId, &TWebCopyDialogState::fileLine},
                                                                      {kProgressId, &TWebCopyDialogState::progressLine},
                                                                      {kRateId, &TWebCopyDialogState::rateLine},
                                                                      {kTimeId, &TWebCopyDialogState::timeLine}};
  for (const auto& [id, text] : lines)
    if (state.*text != shown_.*text) setText(dialog_, id, state.*text);
  shown_ = std::move(state);
}

void Win32TransferDialog::command(int id) {
  if (id == IDCANCEL) {
    // Hidden, not destroyed: the worker may still post to it until the run has ended.
    if (!waiting_) copy_->Cancel();
    ShowWindow(dialog_, SW_HIDE);
    return;
  }
  const bool file = id == kOpenFileId;
  if (!file && id != kOpenFolderId) return;
  const std::string& path = file ? copy_->LastTargetFile() : copy_->LastTargetFolder();
  ShellExecuteW(owner_, L"open", win32::wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  ShowWindow(dialog_, SW_HIDE);
}

void Win32TransferDialog::finished(bool cancelled) {
  if (!dialog_) return;
  showLatest();
  if ((copy_->ShowOpenFile || copy_->ShowOpenFolder) && IsWindowVisible(dialog_)) waitForButton(cancelled);
  destroy();
}

// Cancel becomes Close and the open buttons come alive; the dialog stays
// until one of them is pressed.
void Win32TransferDialog::waitForButton(bool cancelled) {
  waiting_ = true;
  setText(dialog_, IDCANCEL, text_(Msg::TransferClose));
  for (int id : {kOpenFileId, kOpenFolderId})
    if (HWND button = GetDlgItem(dialog_, id)) EnableWindow(button, !cancelled);
  while (IsWindowVisible(dialog_)) {
    MSG message;
    if (!GetMessageW(&message, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the caller's own loop
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32TransferDialog::destroy() {
  if (!dialog_) return;
  HWND dialog = dialog_;
  {
    std::lock_guard lock(latestLock_);
    dialog_ = nullptr;
  }
  DestroyWindow(dialog);
}

INT_PTR CALLBACK Win32TransferDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Win32TransferDialog*>(lParam);
    self->dialog_ = dialog;
    self->createControls();
    return FALSE;  // no focus taken from the window the user works in
  }
  auto* self = reinterpret_cast<Win32TransferDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self || !self->dialog_) return FALSE;
  if (message == kStateChanged) {
    self->showLatest();
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    self->command(LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace korvane
