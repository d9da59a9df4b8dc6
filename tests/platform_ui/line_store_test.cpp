// The compact line store against a plain vector of strings, across many block splits, erasures
// and compactions.
#include <gtest/gtest.h>

#include <new>
#include <random>
#include <string>
#include <vector>

#include "containers/mem_mgr.h"
#include "platform/kernel/address_space.h"
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

// An insertion that runs out of memory at any of its allocations either stores the line or leaves
// every line as it was: appends that start a block, inserts that split a full block, lines with
// item data.
TEST(LineStoreTest, AnInsertionThatRunsOutOfMemoryStoresTheLineOrLeavesTheLinesAsTheyWere) {
  auto lines = [](const qav::ui::LineStore& s) {
    std::vector<std::pair<std::string, DWORD_PTR>> out;
    for (size_t i = 0; i < s.size(); ++i) out.emplace_back(std::string(s.Text(i)), s.Data(i));
    return out;
  };
  struct Case {
    const char* what;
    size_t count;  // lines before the insertion
    size_t at;     // where the line goes
    bool data;     // the lines carry item data
  };
  const Case cases[] = {{"first line", 0, 0, false},
                        {"append starting a block", 2048, 2048, false},
                        {"insert splitting a full block", 2048, 700, false},
                        {"insert splitting a block with data", 2048, 5, true}};
  for (const Case& c : cases) {
    qav::ui::LineStore base;
    for (size_t i = 0; i < c.count; ++i) {
      base.Insert(i, "line " + std::to_string(i));
      if (c.data) base.SetData(i, i + 1);
    }
    bool failed = false, stored = false;
    for (long n = 0; n < 40; ++n) {
      qav::ui::LineStore s = base;
      auto expected = lines(s);
      bool ok = true;
      {
        CAllocFailureScope fail(n);
        try {
          ok = s.Insert(c.at, "the new line");
        } catch (const std::bad_alloc&) {
          ok = false;
        }
      }
      (ok ? stored : failed) = true;
      if (ok) expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(c.at), {"the new line", 0});
      ASSERT_EQ(lines(s), expected) << c.what << ", failing after " << n << " allocations";
      // The store still works after the failure.
      s.Insert(s.size(), "after");
      ASSERT_EQ(s.Text(s.size() - 1), "after") << c.what;
    }
    EXPECT_TRUE(failed && stored) << c.what;
  }
  // Under an address-space limit a list's lines also take room ahead for the view that lays them
  // out: without it, the line is not stored.
  qav::SetAddressSpaceForTesting(qav::kWindowRoom + 1, [] { return uint64_t{0}; });
  qav::ui::LineStore s;
  EXPECT_FALSE(s.Insert(0, "no room"));
  EXPECT_EQ(s.size(), 0u);
  qav::SetAddressSpaceForTesting(0, nullptr);
  EXPECT_TRUE(s.Insert(0, "room"));
}
