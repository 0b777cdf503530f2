// The state of the main window's controls, kept by the window and shown by
// whatever view is attached.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace korvane {

struct TListColumn {
  std::string Caption;
  int Width = 0;
  bool RightAligned = false;
};

// A report list whose rows stay sorted by their caption.
class TListView {
 public:
  std::vector<TListColumn> Columns;
  bool Visible = true;

  void Clear() { rows_.clear(); }
  // Inserts a row at its sorted place (after equal captions) and returns its index.
  size_t Add(std::vector<std::string> texts);
  size_t Count() const { return rows_.size(); }
  const std::vector<std::string>& Row(size_t index) const { return rows_.at(index); }
  // The text of a column; empty where the row has fewer columns.
  std::string Text(size_t index, size_t column) const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

// The order the system's string comparison gives captions: symbols before
// digits before letters, letters without regard to case first, hyphens and
// apostrophes ignored, and only then lower case before upper case.
int compareCaptions(const std::string& a, const std::string& b);

struct TControl {
  std::string Caption;
  bool Visible = true;
  bool Enabled = true;
  bool Checked = false;
  std::string FontName;
  int FontSize = 0;
};

}  // namespace korvane
