// The main window: all application state and one handler per command. It
// keeps the state of its controls and tells its View what changed.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/Languages.h"
#include "app/View.h"
#include "backup/BackupRun.h"
#include "backup/BackupSteps.h"
#include "backup/DriverFileSearch.h"
#include "backup/DriverFolder.h"
#include "components/ahmtexplorertree/TAHMExplorerTree.h"
#include "components/ahmtfileholder/TAHMFileHolder.h"
#include "components/ahmtfileoperator/TAHMFileOperator.h"
#include "components/ahmtsystemdetails/TAHMSystemDetails.h"
#include "inventory/DriverInventory.h"
#include "platform/Machine.h"
#include "restore/DriverBackup.h"
#include "restore/RestoreScan.h"
#include "update/DatabaseText.h"
#include "update/DatabaseUpdate.h"
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

  // Also ends a running transfer: Stop and closing the window never wait for one.
  void Stop1Click() {
    StopRequested = true;
    WC1.Cancel();
  }
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

  // ---- Device listing (app/DeviceListing.cpp) ----
  // The driver list, collected first when empty, on the default printer or,
  // in save mode (SaveListing1 checked), in the backup-all folder's
  // DeviceListing.txt. Save mode ends with the command, however it ends;
  // "OK" and the path are shown only for a listing written whole.
  void Print1Click();
  void BitBtn5Click() { Print1Click(); }
  void SaveListing1Click();

 private:
  std::vector<std::string> ListingLines();
  std::string ListingFileBytes(const std::vector<std::string>& lines);
  bool SaveListingFile(const std::vector<std::string>& lines);
  bool PrintListing(const std::vector<std::string>& lines);
  void ReportListingFailure(const std::string& text);  // the message box; CommandFailed set

 public:
  // ---- end of device listing ----

  // ---- Help menu (app/HelpMenu.cpp, the about box in app/AboutUnit.cpp) ----
  // The manual of the interface language from the program's folder; a
  // missing one is fetched from the web site and opened only when it is one
  // of the build's own help files, else deleted with a message.
  void Manual1Click();
  void Homepage1Click();  // the web site, its Chinese start page in Chinese
  void Homepage2Click() { Homepage1Click(); }
  void Writetome1Click();  // a mail to support, the language in its subject
  void About1Click();

 private:
  Lang CurrentLang() const;  // English where the current language is none of the six
  bool FetchManual(const std::string& folder, const std::string& name);

 public:
  // ---- end of help menu ----

  // ---- Proxy settings (app/BalvikProxyUnit.cpp) ----
  // The proxy dialog; what it closes with goes to the settings and to WC1.
  void Proxysettings1Click();
  // ---- end of proxy settings ----

  // ---- Driver details (inventory/DriverDetails.cpp) ----
  // The user selected or deselected a driver list row: the list keeps it and
  // the memo describes the row.
  void ListView1SelectItem(size_t item, bool selected);
  // The catalog named by the last INF read that names one; a backup's placeholder takes its name.
  const std::string& CatalogFile() const { return CurrentCatalogFile; }

 private:
  std::string CurrentCatalogFile;
  std::optional<size_t> ShowDriverPackage(const std::string& infName);

 public:
  // ---- end of driver details ----

  // ---- Restore (restore/RestoreDriver.cpp, restore/RestoreAll.cpp, restore/FolderScan.cpp) ----
  void BitBtn4Click();                         // Restore, or Install a new driver in install mode
  void restore1Click() { BitBtn4Click(); }     // Install > Restore an old driver
  void instnew1Click();                        // Install > Install a new driver
  void SpeedButton3Click() { instnew1Click(); }
  void SpeedButton4Click();                    // Restore All: the folder tree instead of the list
  void Restore2Click() { SpeedButton4Click(); }
  void BitBtn9Click();                         // Start of Restore All
  void BitBtn11Click();                        // Cancel of Restore All
  void TV1Change();                            // the tree's selection changed

  TAHMExplorerTree TV1;
  // The last scan, the chosen folder and how the last restore or removal ended.
  const RestoreScan& RestoreState() const { return restore_; }

 private:
  TOpenDialog OD1;  // the INF dialog
  std::string WindowsFolder();
  void ReportRestoreFailure(const std::string& line);  // a memo line; RestoreFailed set
  void SetOD1InitialFolder();
  std::optional<std::string> ExecuteOD1();  // the chosen file; nullopt when cancelled or empty
  void RunHardwareWizard();
  // The installation tool run on a backup that has a usable Setup.DIY.
  void InstallFromBackup(const std::string& inf, const std::string& folder, const DriverBackupCheck& backup,
                         const std::string& tool, bool toolWritten);
  // The scan's files copied into the Windows folder's sub-folders, then the
  // restart offered; nothing happens for a folder that is no driver backup.
  // Where Windows keeps a driver store, AddDriverPackagesBelow instead.
  void RestoreFolderTree(const std::string& folder, const std::vector<std::string>& destinations, Msg restartNotice);
  void AddDriverPackagesBelow(const std::string& folder);  // by the installation tool, each package where it lies
  std::string InstallToolPath();  // where the carried installation tool is written
  void OfferRestart(Msg restartNotice);
  bool RestartWindows(unsigned flags);
  void ConfigureFolderTree();  // TV1 as the window defines it
  RestoreScan restore_;

 public:
  // ---- end of restore ----

  // ---- Remove a driver (restore/Remove.cpp) ----
  void Remove1Click();                                   // Install > Remove a driver
  void SpeedButton2Click() { Remove1Click(); }           // the hidden Remove tool button
  void Removethedriver1Click() { SpeedButton2Click(); }  // pop-up: Remove the driver

 private:
  struct RemovalReport;
  // The driver's class keys deleted, each with its line; the INFs of the instances that stay.
  std::vector<std::string> DeleteDriverKeys(const std::string& description, RemovalReport& report);
  // The analysed files that lie in the driver folders and that no other
  // driver names, sent where the user can get them back.
  void RemoveDriverFiles(size_t row, const std::vector<std::string>& otherInfs, RemovalReport& report);
  void RecycleFiles(size_t row, const std::vector<std::string>& paths, RemovalReport& report);
  void FinishRemoval(const RemovalReport& report);

 public:
  // ---- end of remove a driver ----

  // Application state.
  std::string CurrentLanguage = "English";
  std::string OsName;
  std::string BackupFolder;
  std::string BackupAllFolder;
  std::string InfFolder;
  std::string OemInfFolder;
  bool StopRequested = false;
  std::string AutoProxy;
  std::vector<std::string> DriverFileList;
  DriverInventory Inventory;

  // Components.
  TAHMSystemDetails AH;
  TWebCopy WC1;

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
  // The mode, the run's progress and how the last Backup, Backup All or
  // one-EXE run went.
  const BackupRun& Backup() const { return backupRun_; }
  void BitBtn2Click();                      // Backup: analyse the selected drivers
  void Button1Click();                      // Start
  void Button2Click();                      // Cancel
  void Edit1Change(const std::string& text);  // the user changed the folder box's text
  void maClick();                           // Backup > Backup only selected
  void PopBackup1Click();                   // pop-up: Backup to specified folder
  // ---- end of backup to a folder ----

  // ---- Packages (packaging/CabPackages.cpp, packaging/ExePackages.cpp) ----
  void PopBackup2Click();  // pop-up: Backup to a CAB package
  void PopBackup3Click();  // pop-up: Backup to an installable EXE
  void MenuSFX1Click();    // Backup > Backup selected to EXE installer
  void MenuSFX2Click();    // Backup > Backup all drivers to CAB packages
  void MenuSFX3Click();    // Backup > Backup all drivers to one EXE installer
  void Button3Click();     // the one-driver package step that Start runs in package mode
  // ---- end of packages ----

  // ---- Plug-ins (plugins/OutlookPlugin.cpp, plugins/FavoritesPlugin.cpp) ----
  void BackupOutlook1Click();     // Plug-in > Backup Outlook Express
  void Restore3Click();           // Plug-in > Restore Outlook Express
  void BackupIEFavorite1Click();  // Plug-in > Backup IE Favorites
  void Restore4Click();           // Plug-in > Restore IE Favorites

 private:
  TOpenDialog OpenDialog1;  // the package dialog of Restore Outlook Express
  void ReportPluginFailure(const std::string& text);  // the message box; CommandFailed set
  // FO1 over every file and folder in one folder; true when all were copied.
  bool CopyFolderContents(const std::string& from, const std::string& to);

 public:
  // ---- end of plug-ins ----

  // ---- Update check and driver downloads (update/UpdateCheck.cpp, update/DriverDownload.cpp) ----
  void SpeedButton1Click();  // Update: the check against the driver database
  void UpdateNow1Click() { SpeedButton1Click(); }
  void Checkforupdate1Click() { SpeedButton1Click(); }
  void BitBtn6Click();  // Download the selected candidate
  void DownloadNow1Click() { BitBtn6Click(); }
  void CopyURL1Click();
  // The entry parsed last by the check, or taken by the last download.
  std::string CurrentURL, CurrentCompatibility;
  // The candidate list's rows as the check found them, in the same order.
  const std::vector<UpdateCandidate>& Candidates() const { return candidates_; }
  // Whether the last check got as far as matching the devices against a database.
  bool DatabaseMatched() const { return databaseMatched_; }
  // Where the last download was saved; empty when it did not arrive whole.
  const std::string& LastDownload() const { return lastDownload_; }

 private:
  void SetDatabaseTransferTexts();
  // The database of this Windows, fetched or fallen back to and unpacked;
  // nullopt (with a memo line or a message box) when there is none to match against.
  std::optional<std::string> FetchDatabase();
  void ReportDatabaseSource(const DatabaseUnpacking& unpacking);
  std::vector<DeviceToMatch> DevicesToMatch() const;
  void ShowCandidates(std::vector<UpdateCandidate> candidates);
  std::string DriversUpdatesFolder();
  // The download's name in the folder, asked about when a file has it; nullopt: no download.
  std::optional<std::string> DownloadTarget(const std::string& folder, const std::string& url);
  // The row's driver fetched to the target through a temporary file and checked.
  bool DownloadDriver(const UpdateCandidate& row, const std::string& folder, const std::string& target);
  std::vector<UpdateCandidate> candidates_;
  bool databaseMatched_ = false;
  std::string lastDownload_;

 public:
  // ---- end of update check and driver downloads ----

  // ---- Backup all (backup/BackupAll.cpp) ----
  void BitBtn3Click();   // Backup All, in the current backup mode
  void msClick();        // Backup > Backup All: folder mode first
  void BitBtn10Click();  // the Stop button of the run
  // ---- end of backup all ----

  // Set when a command ended on an error that the error box showed.
  bool CommandFailed = false;

  // ---- Window layout (BalvikLayout.cpp) ----
  // Controls keep their place and font in Control(name); the two lists keep
  // their visibility and columns in ListView1 and ListView2.
  TListView ListView2;  // update candidates, hidden until a check finds some

  void DownBtnClick();  // second page of the tool column
  void UpBtnClick();    // first page; also leaves the update view
  void BitBtn7Click();  // Cancel of the update list: back to the driver list, the memo cleared
  // Resize rule: width and height are the window's outer size, the client
  // size places the bottom-aligned status bar. The same size always gives the
  // same layout.
  void FormResize(int width, int height, int clientWidth, int clientHeight);
  // Commands set the memo's height here, so that the wide layout keeps its
  // own 15 pixels on top of it. The memo never reaches the status bar or a
  // row showing under it, whatever the height asked for.
  void SetMemoHeight(int height);
  // Lays the window out again after a command showed or hid controls, and
  // tells the view.
  void LayoutChanged();
  // The driver list in front: the update list and the folder tree, with
  // their buttons, go.
  void ShowDriverList();
  // Runs the command of a control or menu item as a click would; false when
  // the item has no command yet or is hidden or disabled.
  bool Click(const std::string& name);
  static bool HasCommand(const std::string& name);
  static const std::vector<TMenuLayout>& MainMenu();
  static const TMenuLayout& ListView1Popup();
  static const TMenuLayout& ListView2Popup();  // the update list's
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
  bool IsWide() const;
  void ResizeColumns();
  void ApplyLayout();
  void NarrowLayout();
  void WideLayout();
  void PlaceDestinationRow(int top, int editLeft);
  void PlaceFolderTreeButtons(int top);
  void FitMemo();
  WindowSize windowSize_;
  bool wideLayout_ = false;
  int memoHeight_ = 0;  // the height commands asked for
  ColumnMemory columns1_, columns2_;
  // ---- end of window layout ----

 private:
  static constexpr const char* kSettingsFile = "Korvane.ini";

  // State and components only the handlers use.
  std::string DefaultFolder = "C:\\Korvane";
  std::string ProxyAddress, ProxyPort, ProxyLogin, ProxyAuthPassword;
  TAHMFileOperator FO1;  // copies file sets into a folder, made without a question when missing
  TAHMFileOperator FO2;  // deletes file sets silently and for good
  // The carried files, one item each: the device installation tool, the
  // driver database image, the package stub and the device removal tool.
  TAHMFileHolder ZAZFileHolder1, ZAZFileHolder2, ZAZFileHolder3, ZAZFileHolder4;

  void ReadSettings();
  bool WriteSettings();
  void ApplyProxy();
  std::string LanguageCodeFromRegistry();
  bool IsServer();
  void WriteSystemDetails();
  void DeleteTemporaryFiles();
  // Where a work file named by its place in the Windows folder ("\INF\Temp0000.tmp")
  // is kept: there, or in the temporary folder when the installation is only read.
  std::string WorkFilePath(const std::string& inWindowsFolder);
  void ApplyLanguage(Lang lang);

  // Collect All; the memo help text is left out when Fast Collect runs it.
  void CollectAll(bool fromFastCollect);
  // Lists the inventory's rows, or only those of other providers than Microsoft.
  void ListDriverRows(bool withMicrosoft);
  void ShowDeviceCount();
  void SetStatus(const std::string& text);
  void ClearMemo();
  void AddMemoLines(const std::string& text);
  void AddMemoLine(const std::string& line);  // exactly one line, empty ones too
  void AppendMemoText(const std::string& text);  // to the end of the last line
  void ListChanged() { view_.listChanged("ListView1", ListView1); }

  // Backup to a folder.
  static constexpr int kTallMemoHeight = 167;
  // One search serves one command, so that its file-name index is built once.
  std::unique_ptr<DriverFileSearch> MakeFileSearch();
  // With a search of the whole run when given one, else with its own; with
  // the run's package cache, a driver that has a store package takes it whole.
  bool AnalyseRow(size_t row, DriverFileSearch* shared = nullptr, DriverPackageCache* packages = nullptr);
  void ShowAnalysisStep(const char* step);
  // The row's files found with the window's pump and Stop: they become the
  // driver file list, the INF's catalog the current one, the package (if
  // any) the current one. The package names refused go to the memo.
  DriverFiles FindRowFiles(size_t row, CatalogNames catalogNames, DriverFileSearch& search,
                           DriverFilesProgress progress, DriverPackageCache* packages);
  // The store package the driver file list comes from; none for an INF-driven list.
  std::optional<DriverPackage> CurrentPackage;
  // The memo line that says how the driver is backed up; none on systems
  // without a driver store, where there is only one way.
  void NoteBackupWay();
  // Steps every driver backup shares, each with its memo lines.
  void NoteFolder(const std::string& folder, bool made);  // "created" or "cannot create"
  // Created with its parents when missing, made current; false with a memo line when it cannot be.
  bool PrepareDestination(const std::string& destination);
  // The same for a destination a whole run needs: the error box when it cannot be made.
  bool RequireDestination(const std::string& destination);
  // Start's first steps in both modes: the panel hidden, the destination
  // ready. When it cannot be made, the error box says so and the run ends.
  bool BeginStart();
  struct DriverFolder {
    std::string path;        // destination\name: the folder backup, or the package without its extension
    std::string caption;     // the row's caption, trimmed when it needed no replacement
    bool nameReplaced = false;  // the caption held characters a name cannot
  };
  DriverFolder NameDriverFolder(const std::string& destination, size_t row);
  // The folder made (or an existing one taken), with its memo line.
  bool MakeFolder(const std::string& folder);
  // A new, empty folder in the destination that only this run writes to: a
  // package is packed from it, so that it holds exactly what the run copied.
  std::optional<std::string> CreateStagingFolder(const std::string& destination);
  // FO1 over the driver file list, with its memo lines: the heading, the
  // paths, then copiedLine or the failure.
  bool CopyDriverFiles(const std::string& folder, Msg heading, Msg copiedLine);
  // The row's Setup.DIY; without it a restore cannot tell which device the folder is for.
  std::optional<Msg> WriteDescriptor(const std::string& folder, size_t row);
  void AddCatalogPlaceholder(const std::string& folder);
  // The files the last copy put into the folder, once each: what a package of it may hold.
  std::vector<std::string> CopiedFileNames(const std::string& folder);
  void DeleteFolder(const std::string& folder);
  // destination\name made (or an existing one taken) and the files copied
  // in, with the placeholder catalog; the reason when the driver is not backed up.
  std::optional<Msg> CopyToDriverFolder(const DriverFolder& folder, Msg copiedLine);
  // Counts a driver of the run as not backed up, and says why in the memo.
  void NoteNotBackedUp(const std::string& caption, Msg reason);
  // Packages.
  void BackUpSelectedAsPackages(PackageKind kind);  // Backup of the selection, each driver as a package
  // The folder packed into a new cabinet, then progress added to the memo's
  // last line; false with a memo line when the cabinet was not written.
  // Cabinet errors raise ESTCabinet.
  bool PackFolder(const std::string& folder, const std::string& cabinet, const std::string& progress);
  // The memo lines of packing one driver: the copy's heading and closing
  // line, the dots before the cabinet is written and the text after it.
  struct PackingMemo {
    Msg heading, copiedLine;
    size_t dots;
    std::string progress;
  };
  // The driver's files copied into a staging folder and packed into
  // folder.path + ".CAB"; the staging folder is deleted either way. The
  // reason when there is no cabinet.
  std::optional<Msg> PackDriver(const std::string& destination, const DriverFolder& folder, const PackingMemo& memo);
  // Stub and cabinet joined into the installer; the cabinet is deleted only
  // when the installer is whole.
  bool AssembleInstaller(const std::string& cabinet, const std::string& installer);
  void FinishCabPackage(const DriverFolder& folder);
  void FinishExePackage(const DriverFolder& folder, const std::string& cabinet);
  void ReportPackage(Msg created, const DriverFolder& folder);
  // Backup all.
  bool BeginBackupAll();  // the folder chosen and the run begun; false when it must not start
  enum class Collected { Ready, InfMissing, Stopped, NoRow };
  Collected CollectForBackupAll(size_t row, DriverFileSearch& search);
  // One driver's backup in a run: the reason when it is not backed up.
  using DriverBackup = std::function<std::optional<Msg>(const DriverFolder& folder, size_t row)>;
  // Every listed driver collected and handed to backUp, under the run's
  // destination; false when the run ended early (stopped, or a row is gone).
  bool BackUpEveryDriver(const DriverBackup& backUp);
  // The driver folder of Backup All and the one installer: copy and Setup.DIY.
  std::optional<Msg> BackUpToDriverFolder(const DriverFolder& folder, size_t row);
  void FinishDriverOfBackupAll(size_t row, size_t count, const std::string& caption, std::optional<Msg> failure);
  // The end of a run that was not stopped; the message box says how it went,
  // the count of drivers backed up unless another text is given.
  void ReportBackupAll(const std::optional<std::string>& outcome = std::nullopt);
  void ShowDestinationPanel(bool visible);
  bool WaitForStart();
  BackupRun backupRun_;

  Machine& machine_;
  View& view_;
  unsigned savedErrorMode_ = 0;
};

}  // namespace korvane
