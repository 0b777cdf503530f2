// Under Wine on a virtual display: the transfer component's dialog shows a
// slowed download from the loopback server with the component's texts, and
// its Cancel stops the download, leaving nothing in the target folder; on a
// server that has stopped sending, Cancel ends the wait at once instead of
// after the idle time-out.
//   transfer_dialog_probe SLOW_URL STALLED_URL FOLDER
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Languages.h"
#include "app/win32/TransferDialog.h"
#include "app/win32/WindowText.h"
#include "platform/win32/Win32Machine.h"
#include "platform/win32/Win32Util.h"

namespace {

using korvane::win32::narrow;
using korvane::win32::wide;

int faults = 0;

void check(bool ok, const std::string& what) {
  std::printf("transfer-dialog: %s %s\n", ok ? "ok:" : "FAULT:", what.c_str());
  if (!ok) ++faults;
}

// The dialog's texts the first time it showed bytes moving, and when Cancel was pressed.
struct Seen {
  bool moving = false;
  std::string caption, file, progress, rate, time;
  DWORD cancelledAt = 0;
};

BOOL CALLBACK takeDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND shownDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), takeDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string itemText(HWND dialog, int id) { return narrow(korvane::textOf(GetDlgItem(dialog, id))); }

// Between the caller's pumps: once bytes are moving, read the texts and press Cancel.
void lookAndCancel(Seen& seen) {
  HWND dialog = shownDialog();
  if (!dialog || seen.moving) return;
  const std::string progress = itemText(dialog, 102);
  if (progress.find(" of ") == std::string::npos) return;
  seen = {true, narrow(korvane::textOf(dialog)), itemText(dialog, 101), progress, itemText(dialog, 103),
          itemText(dialog, 104), 0};
  seen.cancelledAt = GetTickCount();
  SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
}

void pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool folderIsEmpty(const std::string& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(wide(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool empty = true;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") empty = false;
  } while (empty && FindNextFileW(search, &found));
  FindClose(search);
  return empty;
}

// One download cancelled while it runs; what the dialog showed.
Seen cancelledDownload(korvane::TWebCopy& copy, const std::string& url, const std::string& folder) {
  copy.Items.Clear();
  korvane::TWebCopyItem& item = copy.Items.Add();
  item.URL = url;
  item.TargetDir = folder;
  Seen seen;
  copy.ProcessMessages = [&seen] {
    pump();
    lookAndCancel(seen);
  };
  copy.Execute();
  return seen;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: transfer_dialog_probe SLOW_URL STALLED_URL FOLDER\n");
    return 2;
  }
  const std::string slowUrl = argv[1], stalledUrl = argv[2], folder = argv[3];
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  auto machine = korvane::openLiveMachine();
  korvane::TWebCopy copy(*machine);
  korvane::Win32TransferDialog dialog(
      GetModuleHandleW(nullptr), nullptr, [] { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); },
      [](korvane::Msg msg) { return std::string(korvane::message(msg, korvane::Lang::English)); });
  copy.Dialog = &dialog;
  copy.ShowTime = true;
  copy.ShowCompletion = true;

  const Seen slow = cancelledDownload(copy, slowUrl, folder);
  check(slow.moving, "the dialog appeared and showed bytes moving");
  check(slow.file == "File : slow.bin from 127.0.0.1", "file line \"" + slow.file + "\"");
  check(slow.progress.starts_with("Progress : ") && slow.progress.ends_with(" of 300.00 Kb"),
        "progress line \"" + slow.progress + "\"");
  check(slow.caption.starts_with("Downloading : ") && slow.caption.ends_with("% completed"),
        "caption \"" + slow.caption + "\"");
  check(slow.rate.starts_with("Transfer rate : ") && slow.rate.ends_with("/sec"), "rate line \"" + slow.rate + "\"");
  check(slow.time.starts_with("Estimated time left : "), "time line \"" + slow.time + "\"");
  check(copy.Cancelled() && !copy.Items[0].Succeeded, "Cancel stopped the download");
  check(folderIsEmpty(folder), "no file, whole or partial, is left in the target folder");
  check(!shownDialog(), "the dialog is gone");

  const Seen stalled = cancelledDownload(copy, stalledUrl, folder);
  const DWORD waited = GetTickCount() - stalled.cancelledAt;
  check(stalled.moving && !copy.Items[0].Succeeded, "Cancel stopped the stalled download");
  // The idle time-out is a minute: far beyond this.
  check(waited < 15000, "Cancel ended the stalled read after " + std::to_string(waited) + " ms");
  check(folderIsEmpty(folder), "the stalled download left no file");
  return faults == 0 ? 0 : 1;
}
