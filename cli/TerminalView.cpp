#include "cli/TerminalView.h"

#include <iostream>

namespace korvane {

void TerminalView::listChanged(const std::string& name, const TListView& list) {
  if (name != "ListView1") return;
  listChanged_ = true;
  rows_.clear();
  for (size_t row = 0; row < list.Count(); ++row) rows_.push_back(list.Row(row));
}

void TerminalView::memoAppended(const std::string& line) { out_ << line << '\n' << std::flush; }

void TerminalView::statusChanged(const std::string& text) { err_ << "status: " << text << '\n' << std::flush; }

void TerminalView::showMessage(const std::string& text) { err_ << "message: " << text << '\n' << std::flush; }

bool TerminalView::askYesNo(const std::string& text) {
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

void TerminalView::printListIfChanged() {
  if (!listChanged_) return;
  for (const auto& row : rows_) {
    for (size_t column = 0; column < 6; ++column) {
      if (column) out_ << '\t';
      if (column < row.size()) out_ << row[column];
    }
    out_ << '\n';
  }
  out_ << std::flush;
  listChanged_ = false;
}

}  // namespace korvane
