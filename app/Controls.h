// The state of the main window's controls, kept by the window and shown by
// whatever view is attached.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane {

struct TListColumn {
  std::string Caption;
  int Width = 0;
  bool RightAligned = false;
};

// A caption's place in the system's order (see compareCaptions), worked out
// once so that sorting many rows does not redo it on every comparison.
class CaptionKey {
 public:
  explicit CaptionKey(const std::string& caption);
  int compare(const CaptionKey& other) const;

 private:
  std::vector<uint32_t> folded_;  // letters without regard to case, hyphens and apostrophes left out
  std::vector<uint32_t> exact_;   // the same with case kept
  std::string text_;
};

// A report list whose rows stay sorted by their caption, or keep the order
// they were added in.
class TListView {
 public:
  std::vector<TListColumn> Columns;
  bool Visible = true;
  bool Sorted = true;

  void Clear() { rows_.clear(); }
  // Inserts a row at its sorted place (after equal captions), or at the end
  // of an unsorted list, and returns its index.
  size_t Add(std::vector<std::string> texts);
  // Places the rows where adding them one by one would, in one sort rather
  // than a shift of the list per row.
  void AddRows(std::vector<std::vector<std::string>> rows);
  size_t Count() const { return rows_.size(); }
  const std::vector<std::string>& Row(size_t index) const { return rows_.at(index).texts; }
  // The text of a column; empty where the row has fewer columns.
  std::string Text(size_t index, size_t column) const;
  // A new caption changes the row's sort key but does not move the row.
  void SetText(size_t index, size_t column, const std::string& text);

  // Several rows may be selected; the selection moves with its rows.
  void Select(size_t index, bool selected) { rows_.at(index).selected = selected; }
  bool Selected(size_t index) const { return rows_.at(index).selected; }
  size_t SelectedCount() const;
  // The first selected row at or after the index; Count() when there is none.
  size_t NextSelected(size_t from) const;

 private:
  struct ListRow {
    explicit ListRow(std::vector<std::string> rowTexts);
    std::vector<std::string> texts;
    CaptionKey key;
    bool selected = false;
  };
  static bool sortsBefore(const ListRow& a, const ListRow& b) { return a.key.compare(b.key) < 0; }

  std::vector<ListRow> rows_;
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
  // Place in the window's client area, in pixels.
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;

  void SetBounds(int left, int top, int width, int height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
  }
  // Takes the top and left of another control, keeping its own size.
  void MoveTo(const TControl& other) {
    Left = other.Left;
    Top = other.Top;
  }
};

// An open-file dialog: the name it shows at first, its file types as
// "Description|pattern" pairs joined by "|", and the folder it opens in.
struct TOpenDialog {
  std::string FileName;
  std::string Filter;
  std::string InitialDir;
};

// One drop-down menu of the window: its own item and the items it holds in
// order, "-" standing for a separator.
struct TMenuLayout {
  std::string Item;
  std::vector<std::string> Items;
};

}  // namespace korvane
