// The driver list keeps its rows in the system's caption order.
#include <gtest/gtest.h>

#include "app/Controls.h"

namespace korvane {
namespace {

std::vector<std::string> captions(const TListView& list) {
  std::vector<std::string> out;
  for (size_t row = 0; row < list.Count(); ++row) out.push_back(list.Text(row, 0));
  return out;
}

TEST(ListView, RowsStaySortedWithoutRegardToCase) {
  TListView list;
  for (const char* caption : {"beta", "Alpha", "alpha", "__ No Description 3 __", "2nd Port", "Gamma", "co-op", "coal"})
    list.Add({caption, "x"});
  EXPECT_EQ(captions(list), (std::vector<std::string>{"__ No Description 3 __", "2nd Port", "alpha", "Alpha", "beta",
                                                      "coal", "co-op", "Gamma"}));
}

TEST(ListView, EqualCaptionsKeepTheirInsertionOrder) {
  TListView list;
  list.Add({"Same", "first"});
  list.Add({"Same", "second"});
  EXPECT_EQ(list.Text(0, 1), "first");
  EXPECT_EQ(list.Text(1, 1), "second");
  EXPECT_EQ(list.Text(1, 5), "") << "missing columns read as empty";
}

TEST(ListView, SelectionMovesWithItsRows) {
  TListView list;
  list.Add({"b"});
  list.Select(0, true);
  list.Add({"a"});  // sorts before the selected row
  EXPECT_FALSE(list.Selected(0));
  EXPECT_TRUE(list.Selected(1));
  EXPECT_EQ(list.SelectedCount(), 1u);
  EXPECT_EQ(list.NextSelected(0), 1u);
  EXPECT_EQ(list.NextSelected(2), 2u) << "none after the end";
  list.Clear();
  EXPECT_EQ(list.SelectedCount(), 0u);
}

// Collect fills the list in one go: the rows must land exactly where adding
// them one by one puts them, equal captions in the order given, after the
// rows already listed, and selections staying with their rows.
TEST(ListView, RowsAddedTogetherLandWhereOneByOneWouldPutThem) {
  const std::vector<std::string> captionsToAdd = {"beta",  "Same",    "Alpha", "same",     "__ No Description 3 __",
                                                  "co-op", "Same",    "coal",  "2nd Port", "\u00c9tage",
                                                  "alpha", "Zulu's", "", "Same", "\u0416uk"};
  TListView oneByOne, together;
  for (const char* caption : {"Same", "m"}) {
    oneByOne.Add({caption, "listed"});
    together.Add({caption, "listed"});
  }
  together.Select(1, true);  // "Same"
  std::vector<std::vector<std::string>> rows;
  for (size_t k = 0; k < captionsToAdd.size(); ++k) {
    oneByOne.Add({captionsToAdd[k], std::to_string(k)});
    rows.push_back({captionsToAdd[k], std::to_string(k)});
  }
  together.AddRows(std::move(rows));
  ASSERT_EQ(together.Count(), oneByOne.Count());
  for (size_t row = 0; row < together.Count(); ++row) EXPECT_EQ(together.Row(row), oneByOne.Row(row)) << row;
  ASSERT_EQ(together.SelectedCount(), 1u);
  EXPECT_EQ(together.Row(together.NextSelected(0)), (std::vector<std::string>{"Same", "listed"}));
}

TEST(ListView, ANewCaptionSortsLaterRowsByItsText) {
  TListView list;
  list.Add({"a"});
  list.Add({"c"});
  list.SetText(0, 0, "d");  // the row stays where it is
  list.Add({"b"});          // compared with "d", not "a"
  EXPECT_EQ(captions(list), (std::vector<std::string>{"b", "d", "c"}));
}

}  // namespace
}  // namespace korvane
