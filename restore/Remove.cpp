// Removing a driver from the system: the carried removal tool takes the
// device away, the driver's class keys are deleted, and those of its files
// that only it uses go where the user can get them back.
#include <utility>

#include "app/BalvikMain.h"
#include "restore/DriverRemoval.h"

namespace korvane {

namespace {

std::string joinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += "\n" + line;
  return text;
}

}  // namespace

// What the removal did, line by line for the memo; the failures again apart.
struct TForm1::RemovalReport {
  std::vector<std::string> lines;
  std::vector<std::string> failures;
  bool keysDeleted = false;
  bool infMissing = false;

  void add(const std::string& line) { lines.push_back(line); }
  void fail(const std::string& line) {
    lines.push_back(line);
    failures.push_back(line);
  }
};

void TForm1::Remove1Click() {
  if (ListView1.SelectedCount() == 0) {
    view_.showMessage(Text(Msg::SelectDriverToRemove));
    if (ListView1.Count() == 0) BitBtn8Click();
    return;
  }
  const size_t row = ListView1.NextSelected(0);
  const std::string description = ListView1.Text(row, 0);
  if (!view_.confirm(Text(Msg::RemoveConfirmCaption), formatMessage(Text(Msg::RemoveConfirm), {description}))) return;

  RemovalReport report;
  report.add(formatMessage(Text(Msg::RemovalReport), {description}));
  const std::string hardwareId = ListView1.Text(row, 5);
  const std::string windir = machine_.environment().get("windir").value_or("");
  if (AH.IsNTFamily() && !StartRemovalTool(machine_, ZAZFileHolder4, windir, hardwareId))
    report.fail(formatMessage(Text(Msg::RemovalToolNotStarted), {hardwareId}));

  SetStatus(Text(Msg::RemovalCollecting));
  const std::vector<std::string> otherInfs = DeleteDriverKeys(description, report);

  // The backup's analysis finds the files; its panel is closed again at once.
  if (AnalyseRow(row)) {
    RemoveDriverFiles(row, otherInfs, report);
    Button2Click();
  } else if (StopRequested) {
    report.fail(Text(Msg::RemovalSearchStopped));
  } else {
    report.add(Text(Msg::RemovalInfNotFound));
    report.infMissing = true;
  }
  FinishRemoval(report);
}

std::vector<std::string> TForm1::DeleteDriverKeys(const std::string& description, RemovalReport& report) {
  ClassKeys keys = DeleteClassKeys(machine_.registry(), AH.IsNTFamily() ? kNTClassRoot : k9xClassRoot, description);
  const std::string root = regRootName(kClassRootKey);
  for (const auto& key : keys.deleted) report.add(formatMessage(Text(Msg::ClassKeyDeleted), {root + key}));
  for (const auto& key : keys.failed) report.fail(formatMessage(Text(Msg::ClassKeyNotDeleted), {root + key}));
  if (keys.deleted.empty() && keys.failed.empty()) report.add(Text(Msg::NoClassKeyFound));
  report.keysDeleted = !keys.deleted.empty();
  return std::move(keys.otherInfs);
}

void TForm1::RemoveDriverFiles(size_t row, const std::vector<std::string>& otherInfs, RemovalReport& report) {
  const std::string windir = machine_.environment().get("windir").value_or("");
  const RemovalFolders folders{SearchFolders{windir, AH.IsNTFamily(), InfFolder}, OemInfFolder};
  const RemovalChoice choice =
      ChooseFilesToRemove(machine_, folders, DriverFileList, otherInfs, [this] { view_.processMessages(); });
  for (const auto& path : choice.outside) report.add(formatMessage(Text(Msg::OutsideFileKept), {path}));
  for (const auto& path : choice.shared) report.add(formatMessage(Text(Msg::SharedFileKept), {path}));
  if (!choice.chosen.empty()) RecycleFiles(row, choice.chosen, report);
}

// Without a recycle bin the undo folder lies below the backup-all folder.
void TForm1::RecycleFiles(size_t row, const std::vector<std::string>& paths, RemovalReport& report) {
  const UndoPlace undo{BackupAllFolder.empty() ? DefaultFolder : BackupAllFolder, ListView1.Text(row, 0),
                       ListView1.Text(row, 1)};
  const FileRemoval removal = RemoveFiles(machine_, paths, undo);
  for (const RemovedFile& file : removal.files) {
    if (file.removed)
      report.add(formatMessage(Text(Msg::DriverFileDeleted), {file.path}));
    else
      report.fail(formatMessage(Text(Msg::DriverFileNotDeleted), {file.path}));
  }
  if (!removal.anyRemoved()) return;
  report.add(removal.undoFolder.empty() ? Text(Msg::DeletedFilesInRecycleBin)
                                        : formatMessage(Text(Msg::DeletedFilesKeptIn), {removal.undoFolder}));
}

// The list is collected again first, so that the account stays in the memo.
void TForm1::FinishRemoval(const RemovalReport& report) {
  restore_.LastRemovalIncomplete = !report.failures.empty();
  BitBtn8Click();
  ClearMemo();
  for (const auto& line : report.lines) AddMemoLine(line);
  if (!report.failures.empty()) {
    view_.showMessage(Text(Msg::RemovalIncomplete) + joinedLines(report.failures));
  } else if (report.infMissing) {
    view_.showMessage((report.keysDeleted ? Text(Msg::RegistryKeysRemoved) + "\n" : "") + Text(Msg::RemovalInfNotFound));
  } else {
    view_.showMessage(Text(Msg::DriverRemoved));
  }
}

}  // namespace korvane
