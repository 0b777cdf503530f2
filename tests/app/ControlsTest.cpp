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

}  // namespace
}  // namespace korvane
