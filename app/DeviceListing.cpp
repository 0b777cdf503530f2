// Print listing and Save listing: the driver list as plain text, on the
// default printer or in DeviceListing.txt of the backup-all folder.
#include "app/BalvikMain.h"
#include "platform/DateText.h"

namespace korvane {

namespace {

constexpr const char* kListingFile = "DeviceListing.txt";
constexpr const char* kDocumentName = "Korvane";
constexpr size_t kFirstLabelledColumn = 2;  // version, date and manufacturer follow the INF name

}  // namespace

std::vector<std::string> TForm1::ListingLines() {
  const LocaleFormats formats = machine_.system().localeFormats();
  const double now = machine_.clock().now();
  std::vector<std::string> lines = {Text(Msg::ListingHeading) + AH.UserName() + "@" + AH.ComputerName() + " - " +
                                        formatDateTime(formats.shortDate, now) + " " +
                                        formatDateTime(formats.longTime, now, formats),
                                    " "};
  const auto caption = [this](size_t column) {
    return column < ListView1.Columns.size() ? ListView1.Columns[column].Caption : std::string();
  };
  for (size_t row = 0; row < ListView1.Count(); ++row) {
    lines.push_back(std::string("[").append(ListView1.Text(row, 0)).append("]"));
    lines.push_back(Text(Msg::ListingInfLabel) + ListView1.Text(row, 1));
    for (size_t column = kFirstLabelledColumn; column <= kFirstLabelledColumn + 2; ++column)
      lines.push_back(caption(column) + ": " + ListView1.Text(row, column));
    lines.push_back(" ");
  }
  return lines;
}

// Notepad of the machine reads its own code page; a description that has no
// place in it keeps its characters in UTF-8, marked so that Notepad knows.
std::string TForm1::ListingFileBytes(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  CodePages& codePages = machine_.codePages();
  if (auto bytes = codePages.fromUtf8(text, codePages.ansiCodePage())) return *bytes;
  return std::string("\xEF\xBB\xBF").append(text);
}

void TForm1::Print1Click() {
  // Save mode lasts for one listing, however it ends.
  const bool toFile = Control("SaveListing1").Checked;
  if (toFile) {
    Control("SaveListing1").Checked = false;
    view_.controlsChanged();
  }
  if (ListView1.Count() == 0) BitBtn1Click();
  if (ListView1.Count() == 0) {
    AddMemoLine(Text(Msg::ListingNothingToList));
    return;
  }
  const std::vector<std::string> lines = ListingLines();
  if (toFile ? SaveListingFile(lines) : PrintListing(lines)) {
    ClearMemo();
    AddMemoLine(Text(Msg::ListingDone));
    if (toFile) view_.showMessage(joinPath(BackupAllFolder, kListingFile));
  }
}

bool TForm1::SaveListingFile(const std::vector<std::string>& lines) {
  const std::string path = joinPath(BackupAllFolder, kListingFile);
  FileSystem& files = machine_.files();
  if (!BackupAllFolder.empty() && files.forceDirectories(BackupAllFolder) &&
      files.replaceFileWhole(path, ListingFileBytes(lines)))
    return true;
  ReportListingFailure(formatMessage(Text(Msg::ListingNotSaved), {path}));
  return false;
}

bool TForm1::PrintListing(const std::vector<std::string>& lines) {
  Printer& printer = machine_.printer();
  const auto name = printer.defaultPrinter();
  if (!name) {
    ReportListingFailure(Text(Msg::NoDefaultPrinter));
    return false;
  }
  if (printer.printLines(kDocumentName, lines)) return true;
  ReportListingFailure(formatMessage(Text(Msg::ListingNotPrinted), {*name}));
  return false;
}

void TForm1::ReportListingFailure(const std::string& text) {
  CommandFailed = true;
  view_.showMessage(text);
}

void TForm1::SaveListing1Click() {
  Control("SaveListing1").Checked = true;
  view_.controlsChanged();
  Print1Click();
}

}  // namespace korvane
