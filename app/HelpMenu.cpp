// The Help menu: the manual (fetched from the web site the first time), the
// web site, a mail to support and the about box.
#include "app/AboutUnit.h"
#include "app/Addresses.h"
#include "app/BalvikMain.h"
#include "app/ManualFiles.h"
#include "app/TransferTexts.h"
#include "platform/Sha256.h"

namespace korvane {

namespace {

// "http://host:port/path" -> "host:port".
std::string hostOf(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  return url.substr(start, url.find('/', start) - start);
}

// Only a manual the build made may open: a help file can carry script, and a
// dropped transfer leaves a short one.
bool isBuiltManual(FileSystem& files, const std::string& path) {
  const auto digest = sha256OfFile(files, path);
  if (!digest) return false;
  for (const ManualFile& manual : builtManuals())
    if (*digest == manual.sha256) return true;
  return false;
}

}  // namespace

Lang TForm1::CurrentLang() const { return languageOf(CurrentLanguage).value_or(Lang::English); }

void TForm1::Manual1Click() {
  const std::string name(message(Msg::ManualFileName, CurrentLang()));
  const std::string folder = machine_.system().programFolder().value_or("");
  const std::string path = joinPath(folder, name);
  FileSystem& files = machine_.files();
  if (!files.exists(path) && !FetchManual(folder, name)) {
    files.deleteFile(path);
    CommandFailed = true;
    view_.showMessage(formatMessage(Text(Msg::ManualNotFetched), {name}));
    return;
  }
  openLink(machine_.shell(), path);
}

bool TForm1::FetchManual(const std::string& folder, const std::string& name) {
  WC1.Items.Clear();
  TWebCopyItem& item = WC1.Items.Add();
  item.URL = std::string(addresses::kHomepage) + "/" + name;
  item.TargetDir = folder + "\\";
  item.TargetFilename = name;
  const Lang lang = CurrentLang();
  setTransferTexts(WC1, lang);
  WC1.DlgCaption = WC1.DlgDwnload = message(Msg::ManualDownloadCaption, lang);
  WC1.DlgFileLabel = formatMessage(message(Msg::ManualDownloadFileLabel, lang), {hostOf(addresses::kHomepage)});
  WC1.Execute();
  return item.Succeeded && isBuiltManual(machine_.files(), joinPath(folder, name));
}

void TForm1::Homepage1Click() {
  openLink(machine_.shell(), std::string(addresses::kHomepage) + std::string(message(Msg::WebSitePage, CurrentLang())));
}

void TForm1::Writetome1Click() {
  openLink(machine_.shell(), mailLink(addresses::kSupportMail, "Korvane 3.11 [" + CurrentLanguage + "]"));
}

void TForm1::About1Click() {
  TAbout dialog(machine_.shell(), CurrentLang());
  view_.showAbout(dialog);
}

}  // namespace korvane
