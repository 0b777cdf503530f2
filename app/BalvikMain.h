// The main window: all application state and one handler per command. It
// keeps the state of its controls and tells its View what changed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/Languages.h"
#include "app/View.h"
#include "backup/DriverFolder.h"
#include "components/ahmtfileholder/TAHMFileHolder.h"
#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "components/ahmtsystemdetails/TAHMSystemDetails.h"
#include "inventory/DriverInventory.h"
#include "platform/Machine.h"
#include "update/WebCopy.h"

namespace korvane {

class TForm1 {
 public:
  TForm1(Machine& machine, View& view);

  // Start-up: settings, version name, language, system details.
  void FormCreate();
  // Shutdown: stop, write the settings, delete temporary files. False when the
  // settings could not be written (the window then stays open).
  bool FormCloseQuery();

  void Stop1Click() { StopRequested = true; }
  void BitBtn1Click();  // Collect All
  void ca1Click() { BitBtn1Click(); }
  void BitBtn8Click();  // Fast Collect
  void can1Click() { BitBtn8Click(); }

  // Language commands.
  void English1Click() { ApplyLanguage(Lang::English); }
  void French1Click() { ApplyLanguage(Lang::French); }
  void Spanish1Click() { ApplyLanguage(Lang::Spanish); }
  void Russian1Click() { ApplyLanguage(Lang::Russian); }
  void Chinese1Click() { ApplyLanguage(Lang::Chinese); }
  void ChineseTWClick() { ApplyLanguage(Lang::ChineseTW); }

  // ---- Driver details (inventory/DriverDetails.cpp) ----
  // The selection of a driver list row changed: the memo describes the row.
  void ListView1SelectItem(size_t item, bool selected);
  std::string CurrentCatalogFile;  // the catalog named by the last INF read
  // ---- end of driver details ----

  // Application state.
  std::string CurrentLanguage = "English";
  std::string OsName;
  std::string DefaultFolder = "C:\\Korvane";
  std::string BackupFolder;
  std::string BackupAllFolder;
  std::string InfFolder;
  std::string OemInfFolder;
  bool StopRequested = false;
  std::string ProxyAddress, ProxyPort, ProxyLogin, ProxyAuthPassword, AutoProxy;
  std::vector<std::string> DriverFileList;
  DriverInventory Inventory;

  // Components.
  TAHMSystemDetails AH;
  TAHMFileOperator FO1;  // copies file sets into a folder, made without a question when missing
  TAHMFileOperator FO2;  // deletes file sets silently and for good
  TWebCopy WC1;
  // The carried files, one item each: the device installation tool, the
  // driver database image, the package stub and the device removal tool.
  TAHMFileHolder ZAZFileHolder1, ZAZFileHolder2, ZAZFileHolder3, ZAZFileHolder4;

  // Controls.
  TListView ListView1;
  std::vector<std::string> Memo1;
  std::string StatusBar1 = "Ready.";
  std::string Caption = "Korvane 3.11";
  std::map<std::string, TControl> Controls;

  TControl& Control(const std::string& name) { return Controls[name]; }
  // The text of a message in the current language; empty when the current
  // language is none of the six.
  std::string Text(Msg msg) const;

  // ---- Backup to a folder (backup/BackupToFolder.cpp) ----
  enum class BackupMode { Folder, Package };
  enum class PackageKind { Cab, Exe };
  BackupMode CurrentBackupMode = BackupMode::Folder;
  PackageKind CurrentPackageKind = PackageKind::Cab;
  bool StartFinished = false;               // set at the end of every Start
  std::optional<size_t> ProcessingRow;      // the row of a multi-driver run
  void BitBtn2Click();                      // Backup: analyse the selected drivers
  void Button1Click();                      // Start
  void Button2Click();                      // Cancel
  void Edit1Change();                       // the folder box's text changed
  void maClick();                           // Backup > Backup only selected
  void PopBackup1Click();                   // pop-up: Backup to specified folder
  // ---- end of backup to a folder ----

  // ---- Window layout (BalvikLayout.cpp) ----
  // Controls keep their place and font in Control(name); the two lists keep
  // their visibility and columns in ListView1 and ListView2.
  TListView ListView2;  // update candidates, hidden until a check finds some

  void DownBtnClick();  // second page of the tool column
  void UpBtnClick();    // first page; also leaves the update view
  // Resize rule: width and height are the window's outer size, the client
  // size places the bottom-aligned status bar. The same size always gives the
  // same layout.
  void FormResize(int width, int height, int clientWidth, int clientHeight);
  // Commands set the memo's height here, so that the wide layout keeps its
  // own 15 pixels on top of it.
  void SetMemoHeight(int height);
  // Runs the command of a control or menu item as a click would; false when
  // the item has no command yet or is hidden or disabled.
  bool Click(const std::string& name);
  static bool HasCommand(const std::string& name);
  static const std::vector<TMenuLayout>& MainMenu();
  static const TMenuLayout& ListView1Popup();
  // Every control and menu item of the window, in a fixed order.
  static const std::vector<std::string>& ControlNames();

 private:
  struct WindowSize {
    int width = 0, height = 0, clientWidth = 0, clientHeight = 0;
  };
  // Column widths before the window went wide, and those the wide rule set.
  struct ColumnMemory {
    std::vector<int> narrow, wide;
  };
  void CreateControls();
  void ApplyLayout();
  void NarrowLayout();
  void WideLayout();
  WindowSize windowSize_;
  bool wideLayout_ = false;
  int memoHeight_ = 0;  // the height commands asked for
  ColumnMemory columns1_, columns2_;
  // ---- end of window layout ----

 private:
  static constexpr const char* kSettingsFile = "Korvane.ini";

  void ReadSettings();
  bool WriteSettings();
  void ApplyProxy();
  std::string LanguageCodeFromRegistry();
  bool IsServer();
  void WriteSystemDetails();
  void DeleteTemporaryFiles();
  void ApplyLanguage(Lang lang);

  // Collect All; the memo help text is left out when Fast Collect runs it.
  void CollectAll(bool fromFastCollect);
  void AddDriverRow(int rowNumber);
  void ShowDeviceCount();
  void SetStatus(const std::string& text);
  void ClearMemo();
  void AddMemoLines(const std::string& text);
  void AddMemoLine(const std::string& line);  // exactly one line, empty ones too
  void AppendMemoText(const std::string& text);  // to the end of the last line
  void ListChanged() { view_.listChanged("ListView1", ListView1); }

  // Backup to a folder.
  bool AnalyseRow(size_t row);
  void ShowDestinationPanel(bool visible);
  bool WaitForStart();
  DriverFolderNames runFolderNames_;  // the driver folders the current run has given out
  std::string runDestination_;        // chosen at the first Start of a multi-driver run

  Machine& machine_;
  View& view_;
  unsigned savedErrorMode_ = 0;
};

}  // namespace korvane
