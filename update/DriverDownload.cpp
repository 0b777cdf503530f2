// The update list's commands: Download (and Download Now) and Copy URL.
#include "app/BalvikMain.h"
#include "app/TransferTexts.h"
#include "platform/Sha256.h"

namespace korvane {

namespace {

constexpr int kShowMinimized = 2;  // SW_SHOWMINIMIZED

}  // namespace

std::string TForm1::DriversUpdatesFolder() {
  return joinPath(machine_.system().programFolder().value_or(DefaultFolder), "DriversUpdates");
}

void TForm1::BitBtn6Click() {
  const size_t selected = ListView2.NextSelected(0);
  if (selected >= std::min(ListView2.Count(), candidates_.size())) {
    view_.showMessage(Text(Msg::SelectDriverToDownload));
    return;
  }
  // These languages give the dialog their own words; the others keep the check's.
  const std::optional<Lang> lang = languageOf(CurrentLanguage);
  if (lang == Lang::French || lang == Lang::Chinese || lang == Lang::ChineseTW) setTransferTexts(WC1, *lang);
  const UpdateCandidate row = candidates_[selected];
  CurrentURL = row.url;
  CurrentCompatibility = row.compatibility;
  lastDownload_.clear();

  const std::string folder = DriversUpdatesFolder();
  const std::string shownFolder = folder + "\\";
  const std::string summary = "\n" + row.description + "   (" + row.database + ")\n";
  const std::string question = formatMessage(Text(Msg::DownloadAskHead), {shownFolder}) + summary +
                               formatMessage(Text(Msg::DownloadAskTail), {shownFolder});
  if (!view_.confirm(Text(Msg::DownloadAskCaption), question)) return;
  const std::optional<std::string> target = DownloadTarget(folder, row.url);
  if (!target || !DownloadDriver(row, folder, *target)) return;
  AddMemoLine(formatMessage(Text(Msg::DownloadSavedAs), {*target}));
  machine_.shell().execute("open", folder, "", "", kShowMinimized);
}

std::optional<std::string> TForm1::DownloadTarget(const std::string& folder, const std::string& url) {
  // The name comes from the network: a name only, one that stays in the folder.
  const std::string name = urlFileName(url);
  if (!nameStaysInFolder(name)) {
    view_.showMessage(formatMessage(Text(Msg::TransferUnsafeName), {name.empty() ? url : name}));
    return std::nullopt;
  }
  const std::string target = joinPath(folder, name);
  if (machine_.files().exists(target) && !view_.askYesNo(formatMessage(Text(Msg::DownloadReplace), {name, folder})))
    return std::nullopt;
  return target;
}

// The transfer goes to a new file of its own, so that a download that fails
// or does not match its checksum leaves an earlier file of the name as it was.
bool TForm1::DownloadDriver(const UpdateCandidate& row, const std::string& folder, const std::string& target) {
  FileSystem& files = machine_.files();
  const std::optional<std::string> partial =
      files.forceDirectories(folder) ? files.tempFileName(folder, "kvd") : std::nullopt;
  if (!partial) {
    view_.showMessage(formatMessage(Text(Msg::DownloadNotSaved), {target}));
    return false;
  }
  WC1.Items.Clear();
  TWebCopyItem& item = WC1.Items.Add();
  item.URL = row.url;
  item.TargetDir = folder;
  item.TargetFilename = fileNamePart(*partial);
  std::string failure;
  WC1.OnErrorInfo = [&failure](TWebCopy&, int, const std::string& info) { failure = info; };
  WC1.Execute();
  WC1.OnErrorInfo = nullptr;

  std::optional<Msg> problem;
  std::string subject = row.url;
  if (!item.Succeeded) {
    problem = Msg::DownloadFailed;
  } else if (const auto digest = announcedSha256(row.notes); digest && sha256OfFile(files, *partial) != digest) {
    problem = Msg::DownloadChecksumMismatch;
  } else if (!files.copyFile(*partial, target, false)) {
    problem = Msg::DownloadNotSaved;
    subject = target;
  }
  if (files.exists(*partial)) files.deleteFile(*partial);
  if (!problem) {
    lastDownload_ = target;
    return true;
  }
  const bool withReason = problem == Msg::DownloadFailed && !failure.empty();
  view_.showMessage(formatMessage(Text(*problem), {subject}) + (withReason ? "\n" + failure : ""));
  return false;
}

void TForm1::CopyURL1Click() {
  const size_t selected = ListView2.NextSelected(0);
  if (selected < ListView2.Count()) machine_.shell().copyToClipboard(ListView2.Text(selected, 3));
}

}  // namespace korvane
