#include "app/Controls.h"

#include <algorithm>
#include <cstdint>

#include "platform/Text.h"

namespace korvane {

namespace {

// Symbols sort before digits, digits before letters, as in the system's sort.
uint32_t weight(char16_t unit) {
  const uint32_t group = unit >= 0x80 || (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') ? 2
                         : (unit >= u'0' && unit <= u'9')                                              ? 1
                                                                                                        : 0;
  return (group << 16) | unit;
}

std::vector<uint32_t> sortKey(const std::string& text, bool foldCase) {
  std::vector<uint32_t> key;
  for (char16_t unit : utf8ToUtf16(foldCase ? upperCase(text) : text))
    if (unit != u'-' && unit != u'\'') key.push_back(weight(unit));
  return key;
}

}  // namespace

int compareCaptions(const std::string& a, const std::string& b) {
  const auto primaryA = sortKey(a, true), primaryB = sortKey(b, true);
  if (primaryA != primaryB) return primaryA < primaryB ? -1 : 1;
  // Same letters: lower case sorts first, as in the system's word sort.
  const auto exactA = sortKey(a, false), exactB = sortKey(b, false);
  if (exactA != exactB) return exactA > exactB ? -1 : 1;
  return a == b ? 0 : (a < b ? -1 : 1);
}

size_t TListView::Add(std::vector<std::string> texts) {
  const std::string caption = texts.empty() ? std::string() : texts.front();
  const auto place = std::upper_bound(rows_.begin(), rows_.end(), caption, [](const std::string& c, const auto& row) {
    return compareCaptions(c, row.empty() ? std::string() : row.front()) < 0;
  });
  const size_t index = static_cast<size_t>(place - rows_.begin());
  rows_.insert(place, std::move(texts));
  selected_.insert(selected_.begin() + static_cast<std::ptrdiff_t>(index), false);
  return index;
}

size_t TListView::SelectedCount() const {
  return static_cast<size_t>(std::count(selected_.begin(), selected_.end(), true));
}

size_t TListView::NextSelected(size_t from) const {
  for (size_t index = from; index < selected_.size(); ++index)
    if (selected_[index]) return index;
  return selected_.size();
}

void TListView::SetText(size_t index, size_t column, const std::string& text) {
  auto& row = rows_.at(index);
  if (row.size() <= column) row.resize(column + 1);
  row[column] = text;
}

std::string TListView::Text(size_t index, size_t column) const {
  const auto& row = rows_.at(index);
  return column < row.size() ? row[column] : std::string();
}

}  // namespace korvane
