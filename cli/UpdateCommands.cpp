#include "cli/UpdateCommands.h"

#include <iostream>
#include <optional>

#include "cli/TransferCommands.h"

namespace korvane {

namespace {

constexpr size_t kCandidateColumns = 5;

// The update check with its download on the status line; the memo's steps
// stay off the terminal. What the check says instead of matching (a
// refused database, none for this Windows) becomes the error.
bool checkQuietly(TForm1& form, TerminalView& view, Lang lang, std::string& error) {
  StatusLineDialog dialog(view);
  form.WC1.Dialog = &dialog;
  view.memoShown = false;
  form.UpdateNow1Click();
  view.memoShown = true;
  form.WC1.Dialog = nullptr;
  // The memo's first two lines open the check; notes about the database follow them.
  for (size_t line = 2; line < form.Memo1.size() && !form.DatabaseMatched(); ++line)
    error += (error.empty() ? "" : "\n") + form.Memo1[line];
  if (!form.DatabaseMatched() && error.empty()) error = std::string(message(Msg::CliUpdateCheckFailed, lang));
  return form.DatabaseMatched();
}

// Row N of the list of new drivers, selected alone; nullopt with the error when there is none.
std::optional<size_t> selectCandidate(TForm1& form, const std::string& word, Lang lang, std::string& error) {
  const size_t count = form.ListView2.Count();
  const bool number = !word.empty() && word.size() < 10 && word.find_first_not_of("0123456789") == std::string::npos;
  const size_t row = number ? std::stoul(word) : 0;
  if (row == 0 || row > count) {
    error = formatMessage(message(Msg::CliBadCandidateRow, lang), {word, std::to_string(count)});
    return std::nullopt;
  }
  for (size_t k = 0; k < count; ++k) form.ListView2.Select(k, k == row - 1);
  return row - 1;
}

}  // namespace

bool isUpdateCommand(const std::vector<std::string>& words) {
  if (words.empty()) return false;
  return (words[0] == "update-check" && words.size() == 1) ||
         ((words[0] == "download" || words[0] == "copy-url") && words.size() == 2);
}

int runUpdateCommand(TForm1& form, TerminalView& view, const std::vector<std::string>& words, Lang lang,
                     std::string& error) {
  if (!checkQuietly(form, view, lang, error)) return 2;
  const std::string& command = words[0];
  if (command == "update-check") {
    std::vector<std::vector<std::string>> rows;
    for (size_t row = 0; row < form.ListView2.Count(); ++row) rows.push_back(form.ListView2.Row(row));
    view.printRows(rows, kCandidateColumns);
    return rows.empty() ? 1 : 0;
  }
  const std::optional<size_t> row = selectCandidate(form, words[1], lang, error);
  if (!row) return form.ListView2.Count() == 0 ? 1 : 2;
  if (command == "copy-url") {
    form.CopyURL1Click();
    std::cout << form.ListView2.Text(*row, 3) << '\n';
    return 0;
  }
  StatusLineDialog dialog(view);
  form.WC1.Dialog = &dialog;
  form.DownloadNow1Click();
  form.WC1.Dialog = nullptr;
  if (!form.LastDownload().empty()) return 0;
  error = std::string(message(Msg::CliDownloadFailed, lang));
  return 2;
}

}  // namespace korvane
