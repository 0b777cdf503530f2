#include "cli/TerminalView.h"

#include <iostream>

#include "app/AboutUnit.h"

namespace korvane {

namespace {

bool isBlank(const std::string& line) { return line.find_first_not_of(" \t\r\n") == std::string::npos; }

// A status of the window may span lines ("Searching ... \r\n" and a folder): one line of single spaces.
std::string oneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (space && (line.empty() || line.back() == ' ')) continue;
    line += space ? ' ' : c;
  }
  if (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// Columns a character takes: two for the wide characters of East Asian scripts.
size_t columnsOf(char32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6);
  return wide ? 2 : 1;
}

// The longest start of a UTF-8 text that fits the columns, and the columns it takes.
std::pair<std::string, size_t> fitted(const std::string& text, size_t columns) {
  size_t used = 0, k = 0;
  while (k < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[k]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (k + length > text.size()) break;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t n = 1; n < length; ++n) c = (c << 6) | (static_cast<unsigned char>(text[k + n]) & 0x3F);
    if (used + columnsOf(c) > columns) break;
    used += columnsOf(c);
    k += length;
  }
  return {text.substr(0, k), used};
}

}  // namespace

void TerminalView::listChanged(const std::string& name, const TListView& list) {
  if (name != "ListView1") return;
  rows_.clear();
  for (size_t row = 0; row < list.Count(); ++row) rows_.push_back(list.Row(row));
}

void TerminalView::memoAppended(const std::string& line) {
  if (!memoShown || isBlank(line)) return;
  clearStatus();
  out_ << line << '\n' << std::flush;
  if (!status_.empty()) drawStatus();
}

void TerminalView::statusChanged(const std::string& text) {
  status_ = oneLine(text);
  statusDrawn_ = false;
  if (!statusLine_.terminal) return;
  if (std::chrono::steady_clock::now() - lastDraw_ < statusLine_.redrawInterval) return;
  drawStatus();
}

void TerminalView::drawStatus() {
  if (!statusLine_.terminal) return;
  // Writing into the last column would wrap the line, and \r would no longer reach its start.
  const size_t usable = statusLine_.width > 1 ? statusLine_.width - 1 : 79;
  const auto [text, columns] = fitted(status_, usable);
  err_ << '\r' << text;
  if (drawnColumns_ > columns) err_ << std::string(drawnColumns_ - columns, ' ');
  err_ << std::flush;
  drawnColumns_ = columns;
  statusDrawn_ = true;
  lastDraw_ = std::chrono::steady_clock::now();
}

void TerminalView::clearStatus() {
  if (!statusLine_.terminal || drawnColumns_ == 0) return;
  err_ << '\r' << std::string(drawnColumns_, ' ') << '\r' << std::flush;
  drawnColumns_ = 0;
  statusDrawn_ = false;
}

void TerminalView::showMessage(const std::string& text) {
  if (leavesOutMessage && leavesOutMessage(text)) return;
  clearStatus();
  err_ << "message: " << text << '\n' << std::flush;
  if (!status_.empty()) drawStatus();
}

void TerminalView::showAbout(TAbout& dialog) {
  clearStatus();
  for (const TControl* line : {&dialog.Label1, &dialog.Label2, &dialog.MailLabel, &dialog.WebLabel})
    out_ << line->Caption << '\n';
  out_ << std::flush;
}

bool TerminalView::askYesNo(const std::string& text) {
  clearStatus();
  err_ << "question: " << text << " [y/n] " << std::flush;
  if (answer_) {
    err_ << (*answer_ ? "y" : "n") << '\n';
    return *answer_;
  }
  std::string reply;
  if (!std::getline(std::cin, reply)) {
    err_ << "\n";
    return false;  // no one to answer: the careful choice
  }
  return !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
}

std::optional<std::string> TerminalView::askText(const InputQuery& query) {
  if (textAnswer) return textAnswer;
  clearStatus();
  err_ << "question: " << query.caption << '\n' << query.prompt << "[" << query.text << "] " << std::flush;
  std::string reply;
  if (!std::getline(std::cin, reply)) {
    err_ << "\n";
    return std::nullopt;
  }
  if (!reply.empty() && reply.back() == '\r') reply.pop_back();
  return reply.empty() ? query.text : reply;  // Enter keeps the text offered
}

void TerminalView::printRows(const std::vector<std::vector<std::string>>& rows, size_t columns) {
  clearStatus();
  for (const auto& row : rows) {
    for (size_t column = 0; column < columns; ++column) {
      if (column) out_ << '\t';
      if (column < row.size()) out_ << row[column];
    }
    out_ << '\n';
  }
  out_ << std::flush;
}

void TerminalView::finish() {
  if (status_.empty()) return;
  if (statusLine_.terminal) {
    if (!statusDrawn_) drawStatus();
    err_ << '\n' << std::flush;
  } else {
    err_ << "status: " << status_ << '\n' << std::flush;
  }
  status_.clear();
  drawnColumns_ = 0;
  statusDrawn_ = false;
}

}  // namespace korvane
