// The main window on Windows: real controls for the state TForm1 keeps, the
// commands of buttons and menus handed to TForm1, and the message pump.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "app/BalvikMain.h"
#include "app/View.h"
#include "app/win32/FolderTreeControl.h"
#include "app/win32/TransferDialog.h"

namespace korvane {

class Win32View : public View {
 public:
  Win32View(HINSTANCE instance, Machine& machine);
  ~Win32View() override;
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  // Creates the window and its controls for the form; false when Windows refuses.
  bool create(TForm1& form);
  void show(int showCommand);
  // The message loop, until the window is gone; returns the exit code.
  int run();

  void listChanged(const std::string& name, const TListView& list) override;
  void memoCleared() override;
  void memoAppended(const std::string& line) override;
  void memoTextAppended(const std::string& text) override;
  std::optional<std::string> chooseFolder(const FolderDialog& dialog) override;
  void showProxyDialog(TForm2& dialog) override;
  void showAbout(TAbout& dialog) override;
  std::optional<std::string> askText(const InputQuery& query) override;
  void statusChanged(const std::string& text) override;
  void controlsChanged() override;
  void showMessage(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  std::optional<std::string> chooseFileToOpen(const TOpenDialog& dialog) override;
  bool confirm(const std::string& caption, const std::string& text) override;
  void processMessages() override;

 private:
  enum class Kind { List, Memo, StatusBar, Tree, Label, Edit, ToolButton, ArrowButton, PushButton };
  using FontKey = std::tuple<std::wstring, int, int>;  // face, height, character set

  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK memoProc(HWND memo, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  static Kind kindOf(const std::string& name);
  bool createControls();
  HWND createControl(const std::string& name, Kind kind);
  const TControl* find(const std::string& name) const;
  HWND controlWindow(const std::string& name) const;
  const TListView* listNamed(const std::string& name) const;

  void syncControl(const std::string& name, HWND control, Kind kind);
  void syncEdit(HWND edit, const TControl& model);
  void setFont(HWND control, HFONT font);
  void restoreSelection(HWND list, const TListView& model);
  void syncColumns(const std::string& name, HWND list, const TListView& model);
  void syncMenus();
  HMENU buildMenu(const TMenuLayout& menu);
  std::string menuSignature() const;
  HFONT fontFor(const TControl& control);
  unsigned charSet() const;

  void command(int id);
  void click(const std::string& name);
  bool runsWhileBusy(const std::string& name) const;
  LRESULT notified(const NMHDR& header);
  void listSelectionChanged(const NMLISTVIEW& change);
  void selectRow(size_t row, bool selected);
  void candidateSelectionChanged(const NMLISTVIEW& change);
  void editChanged(HWND edit);
  void browseForFolder();
  void restWhenIdle();
  void close();
  void resized();
  // The pop-up menu of ListView1 or ListView2.
  void showListPopup(const std::string& list, LPARAM position);
  void drawButton(const DRAWITEMSTRUCT& item);

  HINSTANCE instance_;
  Machine& machine_;  // for the folder dialog's own tree
  HWND window_ = nullptr;
  TForm1* form_ = nullptr;
  std::map<std::string, std::pair<HWND, Kind>> controls_;
  std::set<std::string> menuItems_;
  std::map<HWND, std::wstring> captions_;  // the text each control shows
  std::map<HWND, HFONT> shownFonts_;
  std::map<FontKey, HFONT> fonts_;
  std::string shownMenus_;
  std::wstring shownTitle_;
  HBRUSH background_;
  size_t memoLines_ = 0;
  int busy_ = 0;              // commands running, nested through the pump
  bool closePending_ = false;  // a close asked for while a command ran
  bool fillingList_ = false;   // the list's own notices while the view refills it
  bool settingEdit_ = false;   // the folder box's change notice while the view sets its text
  HWND browseButton_ = nullptr;  // beside the folder box, part of it
  unsigned emptyPumps_ = 0;    // pumps in a row that found nothing to do
  std::unique_ptr<FolderTreeControl> tree_;  // TV1
  std::unique_ptr<Win32TransferDialog> transferDialog_;  // WC1's
};

}  // namespace korvane
