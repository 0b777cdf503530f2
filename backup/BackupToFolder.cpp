// Backup of the selected drivers to a folder: the analysis that finds a
// driver's files, the destination panel, and Start that copies them into a
// folder of their own with the descriptor Setup.DIY.
#include "app/BalvikMain.h"
#include "backup/BackupSteps.h"

namespace korvane {

namespace {

constexpr int kShortMemoHeight = 67;   // while the destination panel shows
constexpr const char* kDestinationPanel[] = {"Label1", "Edit1", "Button1", "Button2"};

}  // namespace

void TForm1::maClick() {
  backupRun_.SetMode(BackupMode::Folder);
  BitBtn2Click();
}

void TForm1::PopBackup1Click() { maClick(); }

void TForm1::Edit1Change(const std::string& text) {
  Control("Edit1").Caption = text;
  if (!BackupFolder.empty()) BackupFolder = text;
}

void TForm1::ShowDestinationPanel(bool visible) {
  for (const char* name : kDestinationPanel) Control(name).Visible = visible;
  if (!visible) Control("Button3").Visible = false;  // the EXE packages' own button goes with the panel
  SetMemoHeight(visible ? kShortMemoHeight : kTallMemoHeight);
  view_.controlsChanged();
}

std::unique_ptr<DriverFileSearch> TForm1::MakeFileSearch() {
  const std::string windir = machine_.environment().get("windir").value_or("");
  // The language is read per folder: it may change while messages are pumped.
  SearchWindow window{[this](const std::string& folder) { SetStatus(Text(Msg::StatusSearching) + folder); },
                      [this] { view_.processMessages(); }, [this] { return StopRequested; }};
  return std::make_unique<DriverFileSearch>(machine_.files(), SearchFolders{windir, AH.IsNTFamily(), InfFolder},
                                            window);
}

void TForm1::BitBtn2Click() {
  machine_.system().setErrorMode(semFailCriticalErrors);
  const size_t selected = ListView1.SelectedCount();
  if (selected == 0) {
    view_.showMessage(Text(ListView1.Count() > 0 ? Msg::SelectDriverToBackup : Msg::ClickFastCollectFirst));
    return;
  }
  backupRun_.Begin();
  if (selected == 1) {
    backupRun_.SetProcessingRow(std::nullopt);
    AnalyseRow(ListView1.NextSelected(0), nullptr, &backupRun_.Packages());
    return;
  }
  // Several rows: the first waits for the user's Start, the others follow at
  // once, all resolved by one search. A driver that is gone is reported and
  // the run goes on with the next.
  const auto search = MakeFileSearch();
  bool first = true;
  for (size_t row = ListView1.NextSelected(0); row < ListView1.Count(); row = ListView1.NextSelected(row + 1)) {
    backupRun_.SetProcessingRow(row);
    if (!AnalyseRow(row, search.get(), &backupRun_.Packages())) {
      if (StopRequested) break;
      continue;
    }
    // A Start that did not finish (no destination) ends the run.
    if (first ? !WaitForStart() : (Button1Click(), !backupRun_.StartFinished())) break;
    first = false;
    if (StopRequested) break;
  }
  backupRun_.SetProcessingRow(std::nullopt);
  // The drivers left out again at the end, where the memo keeps them.
  for (const auto& failure : backupRun_.Result().failures) AddMemoLine(failure);
}

// Pumps messages until Start has run. Cancel (which hides the panel), Stop and
// closing the window end the wait, and with it the run.
bool TForm1::WaitForStart() {
  while (!backupRun_.StartFinished()) {
    if (StopRequested || !Control("Button1").Visible) return false;
    view_.processMessages();
  }
  return true;
}

void TForm1::ShowAnalysisStep(const char* step) { SetStatus(formatMessage(Text(Msg::StatusAnalyzing), {step})); }

DriverFiles TForm1::FindRowFiles(size_t row, CatalogNames catalogNames, DriverFileSearch& search,
                                 DriverFilesProgress progress, DriverPackageCache* packages) {
  progress.processMessages = [this] { view_.processMessages(); };
  progress.stopRequested = [this] { return StopRequested; };
  DriverFiles files = FindDriverFiles(machine_, {InfFolder, OemInfFolder}, ListView1.Text(row, 1), catalogNames,
                                      search, progress, packages);
  for (const PackageNote& note : files.notes)
    AddMemoLine(formatMessage(Text(Msg::StorePackageNameIgnored), {note.package}));
  if (files.outcome != DriverFiles::Outcome::InfMissing) CurrentCatalogFile = files.catalog;
  DriverFileList = files.all();
  CurrentPackage = files.package;
  return files;
}

void TForm1::NoteBackupWay() {
  if (CurrentPackage)
    AddMemoLine(formatMessage(Text(Msg::BackedUpAsStorePackage), {CurrentPackage->folder}));
  else if (HasDriverStore(machine_))
    AddMemoLine(Text(Msg::BackedUpFromInfFiles));
}

bool TForm1::AnalyseRow(size_t row, DriverFileSearch* shared, DriverPackageCache* packages) {
  StopRequested = false;
  const std::string description = ListView1.Text(row, 0);
  ClearMemo();
  AddMemoLine(formatMessage(Text(Msg::PreparingPackage), {description}));
  AddMemoLine("");
  std::unique_ptr<DriverFileSearch> own;
  if (!shared) own = MakeFileSearch();
  const auto infLocated = [this](const std::string& inf) {
    ShowAnalysisStep("2");
    AddMemoLine(inf);
    ShowAnalysisStep("3");
  };
  const auto fileFound = [this](const DriverFileSearch::Found& file) { AddMemoLine(file.path); };
  // An earlier command's list never adds to this driver's: the list is the one found now.
  const DriverFiles files =
      FindRowFiles(row, CatalogNames::BothAsRead, shared ? *shared : *own, {infLocated, fileFound, {}, {}}, packages);
  if (files.outcome == DriverFiles::Outcome::InfMissing) {
    AddMemoLines(Text(Msg::InfNotFound));
    NoteNotBackedUp(description, Msg::ReasonInfMissing);
    return false;
  }
  if (files.outcome == DriverFiles::Outcome::Stopped) {
    // A cut search leaves the file list incomplete: nothing of it is offered for copying.
    AddMemoLine(Text(Msg::BackupStopped));
    SetStatus(Text(Msg::BackupStopped));
    return false;
  }

  const std::string count = std::to_string(files.count());
  AddMemoLine("");
  NoteBackupWay();
  AddMemoLine(formatMessage(Text(Msg::FilesToBackup), {count}));
  SetStatus(formatMessage(Text(Msg::DriverFilesCollected), {count}));
  if (!BackupFolder.empty()) Control("Edit1").Caption = BackupFolder;
  ShowDestinationPanel(true);
  AddMemoLine("");
  backupRun_.AwaitStart();
  return true;
}

void TForm1::NoteFolder(const std::string& folder, bool made) {
  AddMemoLine(formatMessage(Text(made ? Msg::DirectoryCreated : Msg::CannotCreateDirectory), {folder}));
}

bool TForm1::PrepareDestination(const std::string& destination) {
  const DestinationState state = PrepareBackupDestination(machine_.files(), destination);
  if (state != DestinationState::Existing) NoteFolder(destination, state == DestinationState::Created);
  return state != DestinationState::NotCreated;
}

bool TForm1::RequireDestination(const std::string& destination) {
  if (PrepareDestination(destination)) return true;
  CommandFailed = true;
  view_.showMessage(formatMessage(Text(Msg::CannotCreateDirectory), {destination}));
  return false;
}

bool TForm1::BeginStart() {
  ShowDestinationPanel(false);
  ClearMemo();
  backupRun_.AwaitStart();
  // Every driver of a multi-driver run goes where the first Start sent it.
  return RequireDestination(backupRun_.ChooseDestination(Control("Edit1").Caption));
}

TForm1::DriverFolder TForm1::NameDriverFolder(const std::string& destination, size_t row) {
  DriverFolder folder;
  folder.caption = ListView1.Text(row, 0);
  folder.nameReplaced = DriverFolderName(folder.caption) != trim(folder.caption);
  if (!folder.nameReplaced && folder.caption != trim(folder.caption)) {
    // A caption that needed no replacement is shown as it is named.
    folder.caption = trim(folder.caption);
    ListView1.SetText(row, 0, folder.caption);
    ListChanged();
  }
  folder.path = joinPath(destination, backupRun_.NextFolderName(folder.caption, ListView1.Text(row, 1)));
  return folder;
}

bool TForm1::MakeFolder(const std::string& folder) {
  const bool made = MakeDriverFolder(machine_.files(), folder);
  NoteFolder(folder, made);
  return made;
}

std::optional<std::string> TForm1::CreateStagingFolder(const std::string& destination) {
  const StagingFolder staging = MakeStagingFolder(machine_.files(), destination);
  if (staging.made) return staging.path;
  NoteFolder(staging.path, false);
  return std::nullopt;
}

std::optional<Msg> TForm1::CopyToDriverFolder(const DriverFolder& folder, Msg copiedLine) {
  if (!MakeFolder(folder.path)) return Msg::ReasonFolderNotCreated;
  const bool copied = CopyDriverFiles(folder.path, Msg::RetrievingFiles, copiedLine);
  AddCatalogPlaceholder(folder.path);
  if (!copied) return Msg::ReasonCopyFailed;
  return std::nullopt;
}

bool TForm1::CopyDriverFiles(const std::string& folder, Msg heading, Msg copiedLine) {
  NoteBackupWay();
  AddMemoLine(Text(heading));
  for (const auto& path : DriverFileList) AddMemoLine(path);
  const bool copied = CopyFilesInto(FO1, DriverFileList, folder);
  AddMemoLine("");
  AddMemoLine(Text(copied ? copiedLine : Msg::CopyFailed));
  return copied;
}

std::optional<Msg> TForm1::WriteDescriptor(const std::string& folder, size_t row) {
  // A package restores through its own INF, which the folder holds under its original name.
  const std::string inf = CurrentPackage ? fileNamePart(CurrentPackage->inf) : ListView1.Text(row, 1);
  if (WriteDriverDescriptor(machine_, folder, {ListView1.Text(row, 5), inf})) return std::nullopt;
  return Msg::ReasonDescriptorNotWritten;
}

void TForm1::AddCatalogPlaceholder(const std::string& folder) {
  WriteCatalogPlaceholder(machine_.files(), folder, CurrentCatalogFile);
}

std::vector<std::string> TForm1::CopiedFileNames(const std::string& folder) {
  return NamesCopiedInto(machine_.files(), folder, DriverFileList, CurrentCatalogFile);
}

void TForm1::DeleteFolder(const std::string& folder) { DeleteFolderTree(FO2, folder); }

void TForm1::NoteNotBackedUp(const std::string& caption, Msg reason) {
  AddMemoLine(backupRun_.CountNotBackedUp(formatMessage(Text(Msg::DriverNotBackedUp), {caption, Text(reason)})));
}

void TForm1::Button1Click() {
  if (backupRun_.Mode() == BackupMode::Package) {
    Button3Click();
    return;
  }
  if (!BeginStart()) return;
  const size_t row = backupRun_.ProcessingRow().value_or(ListView1.NextSelected(0));
  if (row >= ListView1.Count()) return;
  const DriverFolder folder = NameDriverFolder(backupRun_.Destination(), row);
  auto failure = CopyToDriverFolder(folder, Msg::PackageCreated);
  if (!failure) failure = WriteDescriptor(folder.path, row);
  for (int k = 0; k < 4; ++k) AddMemoLine("");
  if (failure) {
    NoteNotBackedUp(folder.caption, *failure);
    view_.showMessage(backupRun_.Result().failures.back());
  } else {
    backupRun_.CountBackedUp();
    view_.showMessage(formatMessage(Text(Msg::DriverPackageCreated), {folder.caption}));
    SetStatus(Text(Msg::PackageCreated));
  }
  backupRun_.FinishStart();
}

void TForm1::Button2Click() {
  Control("BitBtn2").Enabled = true;
  ShowDestinationPanel(false);
  DriverFileList.clear();
  ClearMemo();
  SetStatus(Text(Msg::BackupCancelled));
}

}  // namespace korvane
