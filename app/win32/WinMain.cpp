// korvane.exe: the main window on the live machine. It takes no command-line
// options.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <exception>

#include "app/BalvikMain.h"
#include "app/win32/Win32View.h"
#include "platform/win32/Win32Machine.h"
#include "platform/win32/Win32Util.h"

namespace {

constexpr const wchar_t* kApplicationTitle = L"Korvane";

int fail(const std::wstring& text) {
  MessageBoxW(nullptr, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
  return 1;
}

int runMainWindow(HINSTANCE instance, int showCommand) {
  auto machine = korvane::openLiveMachine();
  korvane::Win32View view(instance, *machine);
  korvane::TForm1 form(*machine, view);
  if (!view.create(form)) return fail(L"The main window could not be created.");
  form.FormCreate();
  view.show(showCommand);
  return view.run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  // The folder picker of the backup destination needs OLE on this thread.
  const bool ole = SUCCEEDED(OleInitialize(nullptr));
  int code = 1;
  try {
    code = runMainWindow(instance, showCommand);
  } catch (const std::exception& error) {
    code = fail(L"Korvane stopped: " + korvane::win32::wide(error.what()));
  }
  if (ole) OleUninitialize();
  return code;
}
