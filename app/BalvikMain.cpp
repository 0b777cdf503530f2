#include "app/BalvikMain.h"

#include "app/Captions.h"
#include "app/StartUp.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr const char* kLanguageItems[kLanguageCount] = {"English1", "French1", "Spanish1",
                                                        "Russian1", "Chinese1", "ChineseTW"};
constexpr const char* kLanguageCaptions[kLanguageCount] = {"English", "Français", "Español",
                                                           "Русский", "简体中文", "繁體中文"};

// The controls that take the Chinese font.
constexpr const char* kChineseFontControls[] = {
    "ListView1", "Memo1",  "BitBtn8", "BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "BitBtn5", "SpeedButton1",
    "SpeedButton2", "SpeedButton3", "SpeedButton4", "Button1", "Button2", "BitBtn6", "BitBtn7", "BitBtn9",
    "BitBtn10", "BitBtn11"};
constexpr const char* kChineseFont = "宋体";

// Files that commands leave in the Windows folder, removed at shutdown.
constexpr const char* kTemporaryFiles[] = {
    "\\devmount.exe",      "\\devunmnt.exe",      "\\INF\\Temp0000.tmp", "\\INF\\Temp0007.cab",
    "\\daemon32.PNF",      "\\INF\\MsSetup6.cab", "\\INF\\MsSetup6.PNF", "\\INF\\msdevupd.ini",
    "\\INF\\DBxxxXP.inf",  "\\INF\\DBxxx2K.inf",  "\\INF\\DBxxxME.inf",  "\\INF\\DBxxxNT.inf",
    "\\INF\\DBxxx98.inf",  "\\INF\\DBxxx95.inf"};

constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

std::string withoutOneTrailingDelimiter(const std::string& path) {
  return !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
}

}  // namespace

TForm1::TForm1(Machine& machine, View& view)
    : TV1(machine),
      AH(machine),
      WC1(machine),
      FO1(machine, opCopyFile, {opAllowUndo, opNoConfirmation, opNoConfirmMkDir}),
      FO2(machine, opDeleteFile, {opNoConfirmation, opNoConfirmMkDir, opSilent}),
      ZAZFileHolder1(machine.files(), FindCarriedFile("drvmnt.exe")),
      ZAZFileHolder2(machine.files(), FindCarriedFile("MsSetup6.CAB")),
      ZAZFileHolder3(machine.files(), FindCarriedFile("installer.exe")),
      ZAZFileHolder4(machine.files(), FindCarriedFile("drvunmnt.exe")),
      machine_(machine),
      view_(view) {
  // The window stays alive while the transfer component works.
  WC1.ProcessMessages = [this] { view_.processMessages(); };
  ListView1.Columns = {{"Description", 220, false}, {"INF", 0, false},           {"Version", 60, false},
                       {"Date", 70, true},          {"Manufacturer", 114, false}, {"Device ID", 0, false}};
  for (size_t k = 0; k < kLanguageCount; ++k) Control(kLanguageItems[k]).Caption = kLanguageCaptions[k];
  Control("French1").Checked = true;  // the stored window's mark; start-up replaces it
  CreateControls();
  ConfigureFolderTree();
}

std::string TForm1::Text(Msg msg) const { return message(msg, CurrentLanguage).value_or(""); }

void TForm1::FormCreate() {
  savedErrorMode_ = machine_.system().setErrorMode(semFailCriticalErrors);
  CurrentLanguage = "English";
  DefaultFolder = "C:\\Korvane";
  StopRequested = false;
  const std::string windir = machine_.environment().get("windir").value_or("");
  InfFolder = windir + "\\Inf\\";
  OemInfFolder = InfFolder + "Other\\";

  std::string languageCode = LanguageCodeFromRegistry();
  const auto version = machine_.system().version();
  const bool server = version && version->platformId == platformNT && IsServer();
  OsName = WindowsVersionName(WindowsVersionIndex(version, server));
  OsName = CorrectedOsName(OsName, AH.OperatingSystem());
  // The version table ends with XP; the later systems go by their own names.
  if (!AH.SystemName().empty()) OsName = "Microsoft " + AH.SystemName();
  if (!AH.IsNTFamily()) {
    const auto locale = machine_.registry().readString(RegRoot::Users, "\\.DEFAULT\\Control Panel\\International",
                                                       "Locale");
    if (locale) languageCode = locale->size() > 4 ? locale->substr(4, 4) : std::string();
  }

  ReadSettings();
  ApplyProxy();
  BackupFolder = withoutOneTrailingDelimiter(BackupFolder);
  BackupAllFolder = withoutOneTrailingDelimiter(BackupAllFolder);
  CurrentLanguage = InterfaceLanguage(CurrentLanguage, languageCode);
  DriverFileList.clear();

  WriteSystemDetails();
  if (const auto lang = languageOf(CurrentLanguage)) ApplyLanguage(*lang);
  if (CurrentLanguage.find("Chinese") == std::string::npos) {
    Control("Chinese1").Visible = false;
    Control("ChineseTW").Visible = false;
  }
  view_.controlsChanged();
}

std::string TForm1::LanguageCodeFromRegistry() {
  return machine_.registry()
      .readString(RegRoot::LocalMachine, "\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", "InstallLanguage")
      .value_or("");
}

bool TForm1::IsServer() {
  if (const auto type = machine_.system().productType()) return *type != productWorkstation;
  Registry& registry = machine_.registry();
  const std::string productType = registry.readString(RegRoot::LocalMachine, kProductOptions, "ProductType").value_or("");
  const bool suite = registry.readValue(RegRoot::LocalMachine, kProductOptions, "SuiteMask").has_value();
  return upperCase(productType).find("WINNT") == std::string::npos || suite;
}

void TForm1::ReadSettings() {
  ProfileFiles& ini = machine_.profiles();
  CurrentLanguage = ini.readString(kSettingsFile, "Interface", "Language", "");
  BackupFolder = ini.readString(kSettingsFile, "Folder", "Backup", DefaultFolder);
  BackupAllFolder = ini.readString(kSettingsFile, "Folder", "BackupAll", DefaultFolder);
  ProxyAddress = ini.readString(kSettingsFile, "Proxy", "Address", "");
  ProxyPort = ini.readString(kSettingsFile, "Proxy", "Port", "");
  ProxyLogin = ini.readString(kSettingsFile, "Proxy", "AuthLoginName", "");
  ProxyAuthPassword = ini.readString(kSettingsFile, "Proxy", "AuthPassword", "");
  AutoProxy = ini.readString(kSettingsFile, "Proxy", "AutoProxy", "Oui");
}

// The system's own settings leave no proxy of ours on the component.
void TForm1::ApplyProxy() {
  const bool own = AutoProxy == "Non";
  WC1.Proxy = own ? ProxyAddress + ":" + ProxyPort : "";
  WC1.ProxyUserID = own ? ProxyLogin : "";
  WC1.ProxyPassword = own ? ProxyAuthPassword : "";
}

void TForm1::WriteSystemDetails() {
  const auto lang = languageOf(CurrentLanguage);
  if (!lang) return;
  const std::pair<Msg, std::string> lines[] = {
      {Msg::SysOperatingSystem, OsName},     {Msg::SysServicePack, AH.PlatformCSD()},
      {Msg::SysBuild, AH.BuildNumber()},     {Msg::SysLanguage, AH.Language()},
      {Msg::SysComputer, AH.ComputerName()}, {Msg::SysDirectory, AH.DirectoryWindows()},
      {Msg::SysUser, AH.UserName()}};
  for (const auto& [label, value] : lines) AddMemoLines(std::string(message(label, *lang)) + value);
}

void TForm1::ApplyLanguage(Lang lang) {
  const size_t index = static_cast<size_t>(lang);
  CurrentLanguage = std::string(languageName(lang));
  for (size_t k = 0; k < kLanguageCount; ++k) {
    Control(kLanguageItems[k]).Checked = k == index;
    // French names Russian in its own way; Spanish leaves two captions alone.
    const bool keep = lang == Lang::Spanish && (k == 0 || k == 3);
    if (!keep) Control(kLanguageItems[k]).Caption = kLanguageCaptions[k];
  }
  if (lang == Lang::French) Control("Russian1").Caption = "русского";
  for (const auto& row : CaptionTable()) Control(std::string(row.control)).Caption = row.texts[index];
  for (size_t column = 0; column < ListView1.Columns.size(); ++column)
    ListView1.Columns[column].Caption = Control("ListView1:" + std::to_string(column)).Caption;
  Caption = lang == Lang::Chinese ? "Korvane 2005" : "Korvane 3.11";
  // Fonts and widths are not put back by the other languages: they stay until the next start.
  if (lang == Lang::Chinese) {
    for (const char* name : kChineseFontControls) {
      Control(name).FontName = kChineseFont;
      Control(name).FontSize = 9;
    }
  }
  if (lang == Lang::ChineseTW) Control("Memo1").FontSize = 9;
  if (lang == Lang::Chinese || lang == Lang::ChineseTW) {
    ListView1.Columns[2].Width = 70;
    ListView1.Columns[3].Width = 76;
  }
  view_.controlsChanged();
  ListChanged();
}

bool TForm1::FormCloseQuery() {
  if (CurrentLanguage.empty()) CurrentLanguage = "English";
  Stop1Click();
  if (!WriteSettings()) return false;
  DeleteTemporaryFiles();
  machine_.system().setErrorMode(savedErrorMode_);
  return true;
}

bool TForm1::WriteSettings() {
  const std::tuple<const char*, const char*, const std::string&> settings[] = {
      {"Interface", "Language", CurrentLanguage}, {"Folder", "Backup", BackupFolder},
      {"Folder", "BackupAll", BackupAllFolder},   {"Proxy", "Address", ProxyAddress},
      {"Proxy", "Port", ProxyPort},               {"Proxy", "AuthLoginName", ProxyLogin},
      {"Proxy", "AuthPassword", ProxyAuthPassword}, {"Proxy", "AutoProxy", AutoProxy}};
  for (const auto& [section, key, value] : settings) {
    if (machine_.profiles().writeString(kSettingsFile, section, key, value)) continue;
    const std::string file = joinPath(AH.DirectoryWindows(), kSettingsFile);
    const auto lang = languageOf(CurrentLanguage).value_or(Lang::English);
    view_.showMessage(formatMessage(message(Msg::UnableToWrite, lang), {file}));
    return false;
  }
  return true;
}

void TForm1::DeleteTemporaryFiles() {
  FileSystem& files = machine_.files();
  for (const char* name : kTemporaryFiles) {
    const std::string path = WorkFilePath(name);
    if (files.exists(path)) files.deleteFile(path);
  }
}

std::string TForm1::WorkFilePath(const std::string& inWindowsFolder) {
  if (machine_.installationWritable()) return machine_.environment().get("windir").value_or("") + inWindowsFolder;
  return joinPath(machine_.files().tempPath(), inWindowsFolder.substr(inWindowsFolder.rfind('\\') + 1));
}

void TForm1::SetStatus(const std::string& text) {
  StatusBar1 = text;
  view_.statusChanged(text);
}

void TForm1::ClearMemo() {
  Memo1.clear();
  view_.memoCleared();
}

void TForm1::AddMemoLines(const std::string& text) {
  for (const auto& line : splitLines(text)) {
    Memo1.push_back(line);
    view_.memoAppended(line);
  }
}

void TForm1::AddMemoLine(const std::string& line) {
  Memo1.push_back(line);
  view_.memoAppended(line);
}

void TForm1::AppendMemoText(const std::string& text) {
  if (Memo1.empty()) Memo1.emplace_back();
  Memo1.back() += text;
  view_.memoTextAppended(text);
}

void TForm1::ShowDeviceCount() {
  SetStatus(Text(Msg::DevicesFoundPrefix) + std::to_string(Inventory.Count) + Text(Msg::DevicesFoundSuffix));
}

void TForm1::ListDriverRows(bool withMicrosoft) {
  std::vector<std::vector<std::string>> rows;
  for (int row = 1; row <= Inventory.Count; ++row)
    if (withMicrosoft || !IsMicrosoftProvider(Inventory.Row(row).ProviderName))
      rows.push_back(DriverListTexts(Inventory.Row(row), row));
  ListView1.AddRows(std::move(rows));
}

void TForm1::BitBtn1Click() { CollectAll(false); }

void TForm1::CollectAll(bool fromFastCollect) {
  ShowDriverList();
  std::string classRoot = kNTClassRoot;
  if (AH.OperatingSystem() != TAHMSystemDetails::kWindowsNT) {
    classRoot = k9xClassRoot;
    ListView1.Columns[2].Width = 0;
    ListView1.Columns[4].Width = 112;
    ListView1.Columns[5].Width = 60;
  }
  ListView1.Clear();
  ListChanged();
  SetStatus(Text(Msg::StatusCollecting));
  CollectDrivers(machine_.registry(), classRoot, Inventory);
  ListDriverRows(true);
  ListChanged();
  if (!fromFastCollect) {
    ClearMemo();
    AddMemoLines(Text(Msg::CollectAllHelp));
  }
  ShowDeviceCount();
}

void TForm1::BitBtn8Click() {
  CollectAll(true);
  ListView1.Clear();
  SetStatus(Text(Msg::StatusSorting));
  ListDriverRows(false);
  ListChanged();
  ClearMemo();
  AddMemoLines(Text(Msg::FastCollectHelp));
  Inventory.Count = static_cast<int>(ListView1.Count());
  ShowDeviceCount();
}

}  // namespace korvane
