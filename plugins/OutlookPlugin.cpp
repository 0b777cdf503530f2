// Backup Outlook Express and Restore Outlook Express: the mail store of the
// current identity packed into a cabinet beside the driver backups, with the
// address book and the Outlook files beside it, and such a package put back.
#include "app/BalvikMain.h"
#include "app/CabinetErrors.h"
#include "plugins/MailStore.h"

namespace korvane {

namespace {

// The texts one after the other, each but the first after the separator.
std::string joined(const std::vector<std::string>& texts, const std::string& separator) {
  std::string out;
  for (const std::string& text : texts) {
    if (!out.empty()) out += separator;
    out += text;
  }
  return out;
}

// Why an extraction did not succeed, in the words the library or the reader's results give.
std::string extractionFailure(const PackageExtraction& extraction, Lang lang) {
  if (extraction.error.fError) return fdiErrorText(extraction.error, lang);
  std::vector<std::string> leftOut = extraction.refused;
  leftOut.insert(leftOut.end(), extraction.failed.begin(), extraction.failed.end());
  if (leftOut.empty()) return std::string(message(Msg::OutlookPackageEmpty, lang));
  return formatMessage(message(Msg::OutlookFilesLeftOut, lang), {joined(leftOut, ", ")});
}

}  // namespace

void TForm1::BackupOutlook1Click() {
  view_.showMessage(Text(Msg::CloseOutlookFirst));
  const auto places = mailStorePlaces(machine_, AH.IsNTFamily());
  if (!places) return ReportPluginFailure(Text(Msg::OutlookNoIdentity));
  FileSystem& files = machine_.files();
  if (!files.isDirectory(places->store) || countFiles(files, places->store) == 0)
    return ReportPluginFailure(Text(Msg::NothingToBackup));
  const std::string package = joinPath(BackupAllFolder, mailPackageName(todaysShortDate(machine_)));
  if (!files.forceDirectories(BackupAllFolder))
    return ReportPluginFailure(formatMessage(Text(Msg::OutlookNotWritten), {BackupAllFolder}));
  const Lang lang = languageOf(CurrentLanguage).value_or(Lang::English);
  std::optional<std::string> unwritten;
  try {
    unwritten = backUpMailStore(machine_, *places, package);
  } catch (const ESTCabinet& error) {
    return ReportPluginFailure(formatMessage(Text(Msg::OutlookCabinetError), {package, cabinetErrorMessage(error, lang)}));
  } catch (const ESystemError& error) {
    return ReportPluginFailure(formatMessage(Text(Msg::OutlookCabinetError), {package, systemErrorMessage(error, lang)}));
  }
  if (unwritten) return ReportPluginFailure(formatMessage(Text(Msg::OutlookNotWritten), {*unwritten}));
  view_.showMessage(formatMessage(Text(Msg::PluginBackupDone), {package}));
}

void TForm1::Restore3Click() {
  OpenDialog1.FileName = "Outlook*.cab";
  OpenDialog1.Filter = Text(Msg::OutlookPackageFilter);
  OpenDialog1.InitialDir = BackupAllFolder;
  const auto chosen = view_.chooseFileToOpen(OpenDialog1);
  if (!chosen || chosen->empty()) return;
  const std::string package = *chosen;
  const auto places = mailStorePlaces(machine_, AH.IsNTFamily());
  if (!places) return ReportPluginFailure(Text(Msg::OutlookNoIdentity));
  const Lang lang = languageOf(CurrentLanguage).value_or(Lang::English);
  const auto notExtracted = [&](const std::string& reason) {
    ReportPluginFailure(formatMessage(Text(Msg::OutlookNotExtracted), {package, places->store, reason}));
  };
  FileSystem& files = machine_.files();
  if (!files.exists(package) || files.isDirectory(package))
    return notExtracted(fdiErrorText(ERF{FDIERROR_CABINET_NOT_FOUND, 0, 1}, lang));
  const size_t held = files.isDirectory(places->store) ? countFiles(files, places->store) : 0;
  if (held > 0 &&
      !view_.askYesNo(formatMessage(Text(Msg::OutlookReplaceStore), {places->store, std::to_string(held), package})))
    return;
  const PackageExtraction extraction = extractMailPackage(machine_, package, places->store);
  if (!extraction.succeeded()) return notExtracted(extractionFailure(extraction, lang));
  const SideFilesRestored sides = restoreSideFiles(files, *places, parentPath(package));
  ClearMemo();
  for (const std::string& kept : sides.kept) AddMemoLine(formatMessage(Text(Msg::OutlookFileKept), {kept}));
  if (!sides.failed.empty()) {
    std::vector<std::string> lines;
    for (const std::string& failed : sides.failed) lines.push_back(formatMessage(Text(Msg::PluginFileNotCopied), {failed}));
    const std::string failures = joined(lines, "\n");
    AddMemoLines(failures);
    return ReportPluginFailure(failures);
  }
  AddMemoLine(Text(Msg::OutlookRestored));
}

}  // namespace korvane
