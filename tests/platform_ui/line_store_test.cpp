// The compact line store against a plain vector of strings, across many block splits, erasures
// and compactions.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/ui/line_store.h"

namespace {

TEST(LineStoreTest, BehavesAsAVectorOfLinesThroughSplitsAndErasures) {
  qav::ui::LineStore store;
  std::vector<std::string> ref;
  std::vector<bool> sel;
  std::vector<DWORD_PTR> data;
  std::mt19937 rng(12);
  for (int step = 0; step < 12000; ++step) {
    unsigned op = rng() % 10;
    if (op < 6 || ref.empty()) {  // insert somewhere, appends most often
      size_t at = rng() % 3 == 0 ? rng() % (ref.size() + 1) : ref.size();
      std::string t = "line " + std::to_string(rng() % 100000) + std::string(rng() % 40, 'x');
      store.Insert(at, t);
      ref.insert(ref.begin() + static_cast<std::ptrdiff_t>(at), t);
      sel.insert(sel.begin() + static_cast<std::ptrdiff_t>(at), false);
      data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), 0);
    } else if (op < 9) {
      size_t at = rng() % ref.size();
      store.Erase(at);
      ref.erase(ref.begin() + static_cast<std::ptrdiff_t>(at));
      sel.erase(sel.begin() + static_cast<std::ptrdiff_t>(at));
      data.erase(data.begin() + static_cast<std::ptrdiff_t>(at));
    } else {
      size_t at = rng() % ref.size();
      store.Select(at, !sel[at]);
      store.SetData(at, at * 3);
      sel[at] = !sel[at];
      data[at] = at * 3;
    }
  }
  ASSERT_EQ(store.size(), ref.size());
  size_t selected = 0;
  for (size_t i = 0; i < ref.size(); ++i) {
    ASSERT_EQ(store.Text(i), ref[i]) << i;
    ASSERT_EQ(store.Selected(i), sel[i]) << i;
    ASSERT_EQ(store.Data(i), data[i]) << i;
    selected += sel[i] ? 1 : 0;
  }
  EXPECT_EQ(store.SelectedCount(), selected);
  store.Clear();
  EXPECT_EQ(store.size(), 0u);
}

TEST(LineStoreTest, SortedPlaceFollowsEqualLinesIgnoringCase) {
  qav::ui::LineStore store;
  for (const char* t : {"alpha", "Beta", "beta", "delta"}) store.Insert(store.size(), t);
  struct Case { const char* text; size_t at; };
  for (const Case& c : {Case{"ALPHA", 1}, Case{"BETA", 3}, Case{"Charlie", 3}, Case{"a", 0}, Case{"zeta", 4}})
    EXPECT_EQ(store.UpperBoundNoCase(c.text), c.at) << c.text;
}

}  // namespace
