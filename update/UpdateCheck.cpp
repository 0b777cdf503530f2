// The update check: Update, Update drivers and Check for driver update.
#include "app/Addresses.h"
#include "app/BalvikMain.h"
#include "platform/Internet.h"

namespace korvane {

namespace {

Msg faultNote(DatabaseSource usedInstead) {
  return usedInstead == DatabaseSource::Saved ? Msg::DatabaseDownloadRefusedSaved
                                              : Msg::DatabaseDownloadRefusedCarried;
}

}  // namespace

void TForm1::SetDatabaseTransferTexts() {
  const std::optional<Lang> lang = languageOf(CurrentLanguage);
  // Chinese (Taiwan Province) sets none: the dialog keeps the words it has.
  if (!lang || *lang == Lang::ChineseTW) return;
  WC1.DlgCaption = Text(Msg::UpdateDbCaption);
  WC1.DlgDwnload = Text(Msg::UpdateDbDownloading);
  WC1.DlgFileLabel = formatMessage(Text(Msg::UpdateDbFileLabel), {urlHost(addresses::kHomepage)});
  WC1.DlgRateLabel = Text(Msg::DownloadSpeedLabel);
  WC1.DlgProgressLabel = Text(Msg::DownloadProgressLabel);
}

void TForm1::SpeedButton1Click() {
  BitBtn1Click();  // a fresh device list
  CurrentURL.clear();
  CurrentCompatibility.clear();
  databaseMatched_ = false;
  const std::optional<std::string> database = FetchDatabase();
  if (!database) return;
  const std::vector<DeviceToMatch> devices = DevicesToMatch();
  std::vector<UpdateCandidate> candidates = matchInOnePass(devices, *database);
  for (const DeviceToMatch& device : devices)
    AddMemoLine(formatMessage(Text(Msg::DeviceProcessed), {device.description}));
  AddMemoLine("");
  AddMemoLine(Text(Msg::UpdateCheckDone));
  databaseMatched_ = true;
  ShowCandidates(std::move(candidates));
}

std::optional<std::string> TForm1::FetchDatabase() {
  FileSystem& files = machine_.files();
  prepareDatabaseFolder(files, ZAZFileHolder2, InfFolder);
  SetDatabaseTransferTexts();
  queueDatabaseDownload(WC1, addresses::kDatabaseUrl, InfFolder);
  WC1.Execute();
  WC1.DlgFileLabel = Text(Msg::DownloadFileLabel);
  const DatabaseUnpacking unpacking = unpackDatabase(machine_, InfFolder);

  ClearMemo();
  AddMemoLine(Text(Msg::CheckingForNewDrivers));
  AddMemoLine(" ");
  candidates_.clear();
  ListView2.Clear();
  view_.listChanged("ListView2", ListView2);
  ReportDatabaseSource(unpacking);
  if (unpacking.source == DatabaseSource::None) {
    AddMemoLine(Text(Msg::NoUsableDatabase));
    return std::nullopt;
  }
  const std::optional<std::string> name =
      AH.SystemName().empty() ? databaseFileFor(OsName) : std::string(kLaterWindowsDatabase);
  if (!name) {
    AddMemoLine(Text(Msg::NoDatabaseForWindows));
    return std::nullopt;
  }
  std::optional<std::string> text = readDatabaseFile(files, InfFolder + *name);
  if (!text) view_.showMessage(formatMessage(Text(Msg::DatabaseUnreadable), {InfFolder + *name}));
  return text;
}

void TForm1::ReportDatabaseSource(const DatabaseUnpacking& unpacking) {
  if (unpacking.fetchedFault && unpacking.source != DatabaseSource::None)
    AddMemoLine(Text(faultNote(unpacking.source)));
  if (unpacking.savedFault && unpacking.source == DatabaseSource::Carried) AddMemoLine(Text(Msg::SavedDatabaseRefused));
  for (const std::string& name : unpacking.refusedNames)
    AddMemoLine(formatMessage(Text(Msg::DatabaseFileRefused), {name}));
  if (unpacking.source != DatabaseSource::None && !unpacking.unpacked) AddMemoLine(Text(Msg::DatabaseNotUnpacked));
}

std::vector<DeviceToMatch> TForm1::DevicesToMatch() const {
  std::vector<DeviceToMatch> devices;
  for (size_t row = 0; row < ListView1.Count(); ++row)
    devices.push_back({ListView1.Text(row, 0), ListView1.Text(row, 3), ListView1.Text(row, 5)});
  return devices;
}

void TForm1::ShowCandidates(std::vector<UpdateCandidate> candidates) {
  candidates_ = std::move(candidates);
  std::vector<std::vector<std::string>> rows;
  for (const UpdateCandidate& row : candidates_)
    rows.push_back({row.description, row.current, row.database, row.url, row.compatibility});
  ListView2.AddRows(std::move(rows));
  view_.listChanged("ListView2", ListView2);
  if (candidates_.empty()) {
    view_.showMessage(Text(Msg::NoNewDrivers));
    return;
  }
  ListView1.Visible = false;
  ListView2.Visible = true;
  Control("BitBtn6").Visible = true;
  Control("BitBtn7").Visible = true;
  LayoutChanged();  // the candidate list takes the device list's place
  SetStatus(formatMessage(Text(Msg::NewDriversFound), {std::to_string(candidates_.size())}));
}

}  // namespace korvane
