#include "app/Controls.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

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

std::vector<uint32_t> weights(const std::string& text, bool foldCase) {
  std::vector<uint32_t> key;
  for (char16_t unit : utf8ToUtf16(foldCase ? upperCase(text) : text))
    if (unit != u'-' && unit != u'\'') key.push_back(weight(unit));
  return key;
}

std::string captionOf(const std::vector<std::string>& texts) { return texts.empty() ? std::string() : texts.front(); }

}  // namespace

CaptionKey::CaptionKey(const std::string& caption)
    : folded_(weights(caption, true)), exact_(weights(caption, false)), text_(caption) {}

int CaptionKey::compare(const CaptionKey& other) const {
  if (folded_ != other.folded_) return folded_ < other.folded_ ? -1 : 1;
  // Same letters: lower case sorts first, as in the system's word sort.
  if (exact_ != other.exact_) return exact_ > other.exact_ ? -1 : 1;
  return text_ == other.text_ ? 0 : (text_ < other.text_ ? -1 : 1);
}

int compareCaptions(const std::string& a, const std::string& b) { return CaptionKey(a).compare(CaptionKey(b)); }

TListView::ListRow::ListRow(std::vector<std::string> rowTexts) : texts(std::move(rowTexts)), key(captionOf(texts)) {}

size_t TListView::Add(std::vector<std::string> texts) {
  ListRow row(std::move(texts));
  const auto place = Sorted ? std::upper_bound(rows_.begin(), rows_.end(), row, sortsBefore) : rows_.end();
  const size_t index = static_cast<size_t>(place - rows_.begin());
  rows_.insert(place, std::move(row));
  return index;
}

// Equal captions keep the order they were added in: the new rows after the
// ones already listed, and among themselves in the order given.
void TListView::AddRows(std::vector<std::vector<std::string>> rows) {
  std::vector<ListRow> added(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  if (!Sorted) {
    rows_.insert(rows_.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    return;
  }
  std::stable_sort(added.begin(), added.end(), sortsBefore);
  std::vector<ListRow> merged;
  merged.reserve(rows_.size() + added.size());
  std::merge(std::make_move_iterator(rows_.begin()), std::make_move_iterator(rows_.end()),
             std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()), std::back_inserter(merged),
             sortsBefore);
  rows_ = std::move(merged);
}

size_t TListView::SelectedCount() const {
  const auto selected = [](const ListRow& row) { return row.selected; };
  return static_cast<size_t>(std::count_if(rows_.begin(), rows_.end(), selected));
}

size_t TListView::NextSelected(size_t from) const {
  for (size_t index = from; index < rows_.size(); ++index)
    if (rows_[index].selected) return index;
  return rows_.size();
}

void TListView::SetText(size_t index, size_t column, const std::string& text) {
  auto& row = rows_.at(index);
  if (row.texts.size() <= column) row.texts.resize(column + 1);
  row.texts[column] = text;
  if (column == 0) row.key = CaptionKey(text);
}

std::string TListView::Text(size_t index, size_t column) const {
  const auto& texts = rows_.at(index).texts;
  return column < texts.size() ? texts[column] : std::string();
}

}  // namespace korvane
