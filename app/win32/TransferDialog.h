// The transfer component's progress dialog on Windows: a modeless window
// that the caller's message pump keeps alive while the worker moves data.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>

#include "app/Languages.h"
#include "update/WebCopy.h"

namespace korvane {

class Win32TransferDialog : public TWebCopyDialog {
 public:
  // font and text: the window's font and the buttons' words in the
  // interface's language of the moment.
  Win32TransferDialog(HINSTANCE instance, HWND owner, std::function<HFONT()> font,
                      std::function<std::string(Msg)> text);
  ~Win32TransferDialog() override;
  Win32TransferDialog(const Win32TransferDialog&) = delete;
  Win32TransferDialog& operator=(const Win32TransferDialog&) = delete;

  void opened(TWebCopy& copy) override;
  // From the worker: kept and posted, so that the worker never waits for the window.
  void changed(const TWebCopyDialogState& state) override;
  void finished(bool cancelled) override;

 private:
  static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void showLatest();
  void command(int id);
  void waitForButton(bool cancelled);
  void destroy();

  HINSTANCE instance_;
  HWND owner_;
  std::function<HFONT()> fontOf_;
  std::function<std::string(Msg)> text_;
  HFONT font_ = nullptr;
  TWebCopy* copy_ = nullptr;
  HWND dialog_ = nullptr;
  bool waiting_ = false;  // the run has ended; the dialog waits for one of its buttons
  std::mutex latestLock_;
  TWebCopyDialogState latest_;
  bool posted_ = false;  // a notice of latest_ is on its way
  TWebCopyDialogState shown_;
};

}  // namespace korvane
