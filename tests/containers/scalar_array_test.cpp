#include "containers/scalar_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

namespace {

using IntArray = CScalarArray<int>;

std::vector<int> Items(const IntArray& a) { return std::vector<int>(a.m_pData, a.m_pData + a.m_nSize); }

void Fill(IntArray& a, std::initializer_list<int> v) { a.Copy(v.begin(), int(v.size())); }

// A record ordered by its key only; the tag tells equal keys apart.
struct Keyed {
  int key;
  int tag;
  bool operator<(const Keyed& o) const { return key < o.key; }
  bool operator==(const Keyed& o) const { return key == o.key; }
};

}  // namespace

TEST(ScalarArray, CapacityFollowsTheBlockSeries) {
  IntArray a;
  EXPECT_EQ(a.m_pData, nullptr);
  EXPECT_EQ(a.m_nSize, 0);
  EXPECT_EQ(a.m_nAllocBytes, 0u);
  int v = 1;
  a.Add(&v);
  EXPECT_GE(a.m_nAllocBytes, 56u);
  int* first = a.m_pData;
  for (int i = 1; i < 14; ++i) a.Add(&i);
  EXPECT_EQ(a.m_pData, first);  // 14 ints fit the first block
  EXPECT_EQ(a.m_nAllocBytes, 56u);
  a.Add(&v);
  EXPECT_EQ(a.m_nAllocBytes, 120u);
  // Removals never shrink the block.
  a.RemoveAt(0, 10);
  a.Truncate(1);
  a.RemoveAll();
  a.Empty();
  EXPECT_EQ(a.m_nAllocBytes, 120u);
  EXPECT_NE(a.m_pData, nullptr);
}

TEST(ScalarArray, ConstructorsAndAssignment) {
  IntArray cap(3);
  EXPECT_EQ(cap.m_nSize, 0);
  EXPECT_GE(cap.m_nAllocBytes, 12u);
  IntArray none(0);
  EXPECT_EQ(none.m_pData, nullptr);
  int raw[] = {4, 5, 6};
  IntArray buf(raw, 3);
  EXPECT_EQ(Items(buf), (std::vector<int>{4, 5, 6}));
  IntArray copy(buf);
  EXPECT_NE(copy.m_pData, buf.m_pData);
  EXPECT_EQ(Items(copy), Items(buf));
  IntArray emptyCopy(none);
  EXPECT_EQ(emptyCopy.m_pData, nullptr);
  IntArray assigned;
  assigned = buf;
  EXPECT_EQ(Items(assigned), Items(buf));
  assigned = assigned;
  EXPECT_EQ(Items(assigned), Items(buf));
}

TEST(ScalarArray, InsertionAndRemovalEdges) {
  struct Case {
    const char* name;
    std::vector<int> start;
    void (*op)(IntArray&, int&);
    int result;
    std::vector<int> end;
  };
  static int x = 9;
  static int run[] = {7, 8};
  const Case cases[] = {
      {"InsertAt past end appends", {1, 2}, [](IntArray& a, int& r) { r = a.InsertAt(5, &x); }, 2, {1, 2, 9}},
      {"InsertAt at end appends", {1, 2}, [](IntArray& a, int& r) { r = a.InsertAt(2, &x); }, 2, {1, 2, 9}},
      {"InsertAt front", {1, 2}, [](IntArray& a, int& r) { r = a.InsertAt(0, &x); }, 0, {9, 1, 2}},
      {"InsertArrayAt count 0", {1, 2}, [](IntArray& a, int& r) { r = a.InsertArrayAt(7, run, 0); }, 7, {1, 2}},
      {"InsertArrayAt middle", {1, 2}, [](IntArray& a, int& r) { r = a.InsertArrayAt(1, run, 2); }, 1, {1, 7, 8, 2}},
      {"InsertArrayAt past end", {1, 2}, [](IntArray& a, int& r) { r = a.InsertArrayAt(9, run, 2); }, 2, {1, 2, 7, 8}},
      {"InsertEmptiesAt count 0", {1}, [](IntArray& a, int& r) { r = a.InsertEmptiesAt(3, 0); }, 3, {1}},
      {"InsertEmptiesAt middle", {1, 2}, [](IntArray& a, int& r) { r = a.InsertEmptiesAt(1, 2); }, 1, {1, 0, 0, 2}},
      {"InsertEmptyAt past end", {1}, [](IntArray& a, int& r) { r = a.InsertEmptyAt(4); }, 1, {1, 0}},
      {"AddEmpty", {1}, [](IntArray& a, int& r) { r = a.AddEmpty(); }, 1, {1, 0}},
      {"AppendEmpty", {1}, [](IntArray& a, int& r) { a.AppendEmpty(2); }, 0, {1, 0, 0}},
      {"RemoveAt clamps", {1, 2, 3, 4}, [](IntArray& a, int& r) { a.RemoveAt(1, 100); }, 0, {1}},
      {"RemoveAt middle", {1, 2, 3, 4}, [](IntArray& a, int& r) { a.RemoveAt(1, 2); }, 0, {1, 4}},
      {"Truncate never grows", {1, 2}, [](IntArray& a, int& r) { r = a.Truncate(5); }, 2, {1, 2}},
      {"Truncate cuts", {1, 2, 3}, [](IntArray& a, int& r) { r = a.Truncate(1); }, 1, {1}},
      {"MoveUp(0) refused", {1, 2}, [](IntArray& a, int& r) { r = a.MoveUp(0); }, 0, {1, 2}},
      {"MoveUp swaps", {1, 2, 3}, [](IntArray& a, int& r) { r = a.MoveUp(2); }, 1, {1, 3, 2}},
      {"MoveDown(last) refused", {1, 2}, [](IntArray& a, int& r) { r = a.MoveDown(1); }, 0, {1, 2}},
      {"MoveDown swaps", {1, 2, 3}, [](IntArray& a, int& r) { r = a.MoveDown(0); }, 1, {2, 1, 3}},
      {"ResetSize zeroes", {1, 2}, [](IntArray& a, int& r) { a.ResetSize(3); }, 0, {0, 0, 0}},
      {"SetSize zero-fills", {1}, [](IntArray& a, int& r) { a.SetSize(3, true); }, 0, {1, 0, 0}},
      {"SetSize shrinks", {1, 2, 3}, [](IntArray& a, int& r) { a.SetSize(1, false); }, 0, {1}},
      {"Append", {1}, [](IntArray& a, int& r) { a.Append(run, 2); }, 0, {1, 7, 8}},
      {"Copy", {1, 2, 3}, [](IntArray& a, int& r) { r = a.Copy(run, 2); }, 2, {7, 8}},
      // Arguments callers never pass are ignored rather than touching memory outside the block.
      {"negative InsertAt", {1}, [](IntArray& a, int& r) { r = a.InsertAt(-1, &x); }, -1, {1}},
      {"negative RemoveAt index", {1, 2}, [](IntArray& a, int& r) { a.RemoveAt(-1, 1); }, 0, {1, 2}},
      {"negative RemoveAt count", {1, 2}, [](IntArray& a, int& r) { a.RemoveAt(0, -5); }, 0, {1, 2}},
      {"RemoveAt past end", {1, 2}, [](IntArray& a, int& r) { a.RemoveAt(2, 1); }, 0, {1, 2}},
      {"negative Truncate", {1, 2}, [](IntArray& a, int& r) { r = a.Truncate(-1); }, 2, {1, 2}},
      {"negative SetSize", {1, 2}, [](IntArray& a, int& r) { a.SetSize(-3, true); }, 0, {1, 2}},
      {"negative Copy", {1, 2}, [](IntArray& a, int& r) { r = a.Copy(run, -1); }, 2, {1, 2}},
      {"negative Append", {1}, [](IntArray& a, int& r) { a.Append(run, -1); }, 0, {1}},
      {"negative InsertArrayAt count", {1}, [](IntArray& a, int& r) { r = a.InsertArrayAt(0, run, -2); }, -1, {1}},
      {"negative AppendEmpty", {1}, [](IntArray& a, int& r) { a.AppendEmpty(-2); }, 0, {1}},
      {"MoveDown below 0", {1, 2}, [](IntArray& a, int& r) { r = a.MoveDown(-1); }, 0, {1, 2}},
      {"MoveUp past end", {1, 2}, [](IntArray& a, int& r) { r = a.MoveUp(2); }, 0, {1, 2}},
      // i + n must not overflow.
      {"AppendEmpty past INT_MAX", {1}, [](IntArray& a, int& r) { a.AppendEmpty(INT_MAX); }, 0, {1}},
      {"InsertEmptiesAt past INT_MAX", {1}, [](IntArray& a, int& r) { r = a.InsertEmptiesAt(0, INT_MAX); }, -1, {1}},
  };
  for (const Case& c : cases) {
    IntArray a;
    a.Copy(c.start.data(), int(c.start.size()));
    int r = 0;
    c.op(a, r);
    EXPECT_EQ(r, c.result) << c.name;
    EXPECT_EQ(Items(a), c.end) << c.name;
  }
}

TEST(ScalarArray, PeekExtractRemoveHead) {
  IntArray a;
  Fill(a, {5, 6, 7});
  int d[4] = {-1, -1, -1, -1};
  EXPECT_EQ(a.Peek(d, 1, 5), 2);
  EXPECT_EQ(d[0], 6);
  EXPECT_EQ(d[1], 7);
  EXPECT_EQ(a.Peek(d + 3, 0, 1), 1);
  EXPECT_EQ(d[3], 5);
  EXPECT_EQ(a.Peek(d, 3, 1), 0);
  EXPECT_EQ(a.Peek(d, 9, 1), 0);
  EXPECT_EQ(Items(a), (std::vector<int>{5, 6, 7}));
  int h = -1;
  EXPECT_TRUE(a.RemoveHead(&h));
  EXPECT_EQ(h, 5);
  EXPECT_EQ(Items(a), (std::vector<int>{6, 7}));
  EXPECT_EQ(a.Extract(d, 0, 10), 2);
  EXPECT_EQ(d[0], 6);
  EXPECT_EQ(d[1], 7);
  EXPECT_EQ(a.m_nSize, 0);
  h = -1;
  EXPECT_FALSE(a.RemoveHead(&h));
  EXPECT_EQ(h, -1);
}

TEST(ScalarArray, SortedSearches) {
  IntArray asc, desc, empty;
  Fill(asc, {1, 5, 5, 9});
  Fill(desc, {9, 5, 5, 1});
  int five = 5, four = 4, zero = 0, ten = 10;
  EXPECT_EQ(empty.FindSorted(&five, true), -1);
  EXPECT_EQ(empty.FindInsertPos(&five, true), 0);
  EXPECT_EQ(asc.FindInsertPos(&five, true), 3);
  EXPECT_EQ(desc.FindInsertPos(&five, false), 1);
  EXPECT_EQ(asc.FindInsertPos(&zero, true), 0);
  EXPECT_EQ(asc.FindInsertPos(&ten, true), 4);
  EXPECT_EQ(desc.FindInsertPos(&ten, false), 0);
  int f = asc.FindSorted(&five, true);
  EXPECT_TRUE(f == 1 || f == 2);
  f = desc.FindSorted(&five, false);
  EXPECT_TRUE(f == 1 || f == 2);
  EXPECT_EQ(asc.FindSorted(&four, true), -1);
  EXPECT_EQ(desc.FindSorted(&four, false), -1);
  int nine = 9;
  EXPECT_EQ(desc.FindSorted(&nine, false), 0);
  EXPECT_EQ(asc.FindSorted(&nine, true), 3);
}

TEST(ScalarArray, InsertSortedKeepsArrivalOrderAmongEquals) {
  // Ascending: behind equal keys (first in, first out); descending: before them.
  struct Case {
    bool ascending;
    std::vector<int> tagsOfKey5;
    std::vector<int> keys;
  } cases[] = {{true, {1, 2, 3}, {1, 5, 5, 5, 9}}, {false, {3, 2, 1}, {9, 5, 5, 5, 1}}};
  for (const Case& c : cases) {
    CScalarArray<Keyed> a;
    Keyed in[] = {{9, 0}, {5, 1}, {1, 0}, {5, 2}, {5, 3}};
    for (Keyed& k : in) a.InsertSorted(&k, c.ascending);
    std::vector<int> keys, tags;
    for (int i = 0; i < a.m_nSize; ++i) {
      keys.push_back(a.m_pData[i].key);
      if (a.m_pData[i].key == 5) tags.push_back(a.m_pData[i].tag);
    }
    EXPECT_EQ(keys, c.keys) << c.ascending;
    EXPECT_EQ(tags, c.tagsOfKey5) << c.ascending;
  }
}

TEST(ScalarArray, AddSortedUniqueAndAddUnique) {
  for (bool asc : {true, false}) {
    IntArray a;
    for (int v : {5, 1, 9, 5, 3, 9}) a.AddSortedUnique(&v, asc);
    std::vector<int> want = {1, 3, 5, 9};
    if (!asc) std::reverse(want.begin(), want.end());
    EXPECT_EQ(Items(a), want);
    int three = 3;
    EXPECT_EQ(a.AddSortedUnique(&three, asc), asc ? 1 : 2);
    EXPECT_EQ(a.m_nSize, 4);
  }
  IntArray empty;
  int v = 4;
  EXPECT_EQ(empty.AddSortedUnique(&v, true), 0);
  IntArray u;
  Fill(u, {4, 2});
  EXPECT_EQ(u.AddUnique(&v), 0);
  int w = 7;
  EXPECT_EQ(u.AddUnique(&w), 2);
  EXPECT_EQ(u.m_nSize, 3);
}

TEST(ScalarArray, PointersCompareByAddress) {
  int objs[3];
  CScalarArray<int*> a;
  for (int* p : {&objs[2], &objs[0], &objs[1]}) a.InsertSorted(&p, true);
  EXPECT_EQ(a.m_pData[0], &objs[0]);
  EXPECT_EQ(a.m_pData[2], &objs[2]);
}

TEST(ScalarArray, ReserveKeepsClearAndReserveDiscards) {
  IntArray a;
  Fill(a, {1, 2, 3});
  EXPECT_TRUE(a.Reserve(100));
  EXPECT_EQ(Items(a), (std::vector<int>{1, 2, 3}));
  EXPECT_GE(a.m_nAllocBytes, 400u);
  EXPECT_TRUE(a.ClearAndReserve(1000));
  EXPECT_EQ(a.m_nSize, 0);
  EXPECT_GE(a.m_nAllocBytes, 4000u);
  uint64_t cap = a.m_nAllocBytes;
  EXPECT_TRUE(a.ClearAndReserve(2));  // enough room already: block kept
  EXPECT_EQ(a.m_nAllocBytes, cap);
}

// Records which virtual operations ran, to show that inherited operations reach overrides.
class LoggingArray : public CScalarArray<int> {
 public:
  std::string log;
  void RemoveAll() override { log += "RemoveAll "; CScalarArray::RemoveAll(); }
  int Add(const int* p) override { log += "Add "; return CScalarArray::Add(p); }
  int InsertAt(int i, const int* p) override { log += "InsertAt "; return CScalarArray::InsertAt(i, p); }
  int FindInsertPos(const int* p, bool a) const override { const_cast<LoggingArray*>(this)->log += "FindInsertPos "; return CScalarArray::FindInsertPos(p, a); }
  void RemoveAt(int i, int n) override { log += "RemoveAt "; CScalarArray::RemoveAt(i, n); }
  int Peek(int* d, int i, int n) const override { const_cast<LoggingArray*>(this)->log += "Peek "; return CScalarArray::Peek(d, i, n); }
  bool GrowByOne() override { log += "GrowByOne "; return CScalarArray::GrowByOne(); }
  bool Reserve(int n) override { log += "Reserve "; return CScalarArray::Reserve(n); }
  bool ClearAndReserve(int n) override { log += "ClearAndReserve "; return CScalarArray::ClearAndReserve(n); }
};

TEST(ScalarArray, OperationsDispatchThroughTheVirtualTable) {
  struct Case {
    const char* name;
    void (*op)(LoggingArray&);
    const char* log;
  } cases[] = {
      {"Empty", [](LoggingArray& a) { a.Empty(); }, "RemoveAll "},
      {"ClearAndReserve", [](LoggingArray& a) { a.ClearAndReserve(1); }, "ClearAndReserve RemoveAll "},
      {"AddUnique new", [](LoggingArray& a) { int v = 8; a.AddUnique(&v); }, "Add GrowByOne Reserve "},
      {"AddUnique present", [](LoggingArray& a) { int v = 2; a.AddUnique(&v); }, ""},
      {"InsertSorted", [](LoggingArray& a) { int v = 2; a.InsertSorted(&v, true); }, "FindInsertPos InsertAt GrowByOne Reserve "},
      {"AddSortedUnique", [](LoggingArray& a) { int v = 4; a.AddSortedUnique(&v, true); }, "InsertAt GrowByOne Reserve "},
      {"Extract", [](LoggingArray& a) { int d[2]; a.Extract(d, 0, 2); }, "Peek RemoveAt "},
      {"RemoveHead", [](LoggingArray& a) { int d; a.RemoveHead(&d); }, "RemoveAt "},
      {"Copy", [](LoggingArray& a) { int v[2] = {1, 2}; a.Copy(v, 2); }, "ClearAndReserve RemoveAll "},
      {"Append", [](LoggingArray& a) { int v[2] = {1, 2}; a.Append(v, 2); }, "Reserve "},
      {"ResetSize", [](LoggingArray& a) { a.ResetSize(2); }, "ClearAndReserve RemoveAll "},
      {"SetSize", [](LoggingArray& a) { a.SetSize(5, true); }, "Reserve "},
      {"InsertEmptyAt", [](LoggingArray& a) { a.InsertEmptyAt(0); }, "GrowByOne Reserve "},
      {"InsertArrayAt", [](LoggingArray& a) { int v[2] = {1, 2}; a.InsertArrayAt(1, v, 2); }, "Reserve "},
  };
  for (const auto& c : cases) {
    LoggingArray a;
    int start[] = {1, 2, 3};
    a.CScalarArray::Copy(start, 3);
    a.log.clear();
    c.op(a);
    EXPECT_EQ(a.log, c.log) << c.name;
  }
}

TEST(ScalarArray, SourcesInsideTheOwnBlock) {
  // Fill the first block exactly so that the next element forces the block to move.
  IntArray a;
  for (int i = 0; i < 14; ++i) a.Add(&i);
  ASSERT_EQ(a.m_nAllocBytes, 56u);
  EXPECT_EQ(a.Add(&a.m_pData[3]), 14);
  EXPECT_EQ(a.m_pData[14], 3);

  IntArray b;
  for (int i = 0; i < 14; ++i) b.Add(&i);
  EXPECT_EQ(b.InsertAt(0, &b.m_pData[1]), 0);  // the source shifts with the tail
  EXPECT_EQ(b.m_pData[0], 1);
  EXPECT_EQ(b.m_pData[1], 0);

  IntArray c;
  Fill(c, {1, 2, 3});
  for (int i = 0; i < 4; ++i) c.Append(c.m_pData, c.m_nSize);  // 3 -> 48 elements, block moves
  ASSERT_EQ(c.m_nSize, 48);
  for (int i = 0; i < 48; ++i) ASSERT_EQ(c.m_pData[i], i % 3 + 1);

  IntArray d;
  Fill(d, {1, 2, 3});
  EXPECT_EQ(d.InsertArrayAt(1, d.m_pData, 3), 1);
  EXPECT_EQ(Items(d), (std::vector<int>{1, 1, 2, 3, 2, 3}));
  EXPECT_EQ(d.InsertArrayAt(0, d.m_pData + 2, 1), 0);  // a single element too
  EXPECT_EQ(Items(d), (std::vector<int>{2, 1, 1, 2, 3, 2, 3}));

  IntArray e;
  Fill(e, {1, 2, 3, 4});
  e.Copy(e.m_pData + 1, 2);
  EXPECT_EQ(Items(e), (std::vector<int>{2, 3}));
}

TEST(ScalarArray, FailedGrowthKeepsTheArray) {
  IntArray a;
  for (int i = 0; i < 14; ++i) a.Add(&i);
  int* block = a.m_pData;
  int v = 99, d[3] = {1, 2, 3};
  {
    CAllocFailureScope fail(0);
    EXPECT_EQ(a.Add(&v), -1);
    EXPECT_EQ(a.InsertAt(0, &v), -1);
    EXPECT_EQ(a.InsertArrayAt(0, d, 3), -1);
    EXPECT_EQ(a.AddEmpty(), -1);
    a.Append(d, 3);
    a.AppendEmpty(2);
    a.SetSize(20, true);
    EXPECT_FALSE(a.Reserve(100));
  }
  EXPECT_EQ(a.m_pData, block);
  EXPECT_EQ(a.m_nAllocBytes, 56u);
  ASSERT_EQ(a.m_nSize, 14);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(a.m_pData[i], i);
  {
    CAllocFailureScope fail(0);
    EXPECT_FALSE(a.ClearAndReserve(100));  // emptied, but the old block stays usable
    EXPECT_EQ(a.Copy(d, 100), 0);
    a.ResetSize(50);
    IntArray copy(a);
    EXPECT_EQ(copy.m_nSize, 0);
  }
  EXPECT_EQ(a.m_pData, block);
  EXPECT_EQ(a.m_nSize, 0);
  EXPECT_EQ(a.Add(&v), 0);
  IntArray src;
  Fill(src, {1, 2});
  {
    CAllocFailureScope fail(0);
    IntArray copy(src);
    EXPECT_EQ(copy.m_nSize, 0);
    EXPECT_EQ(copy.m_pData, nullptr);
  }
}

TEST(ScalarArray, ComparisonAsBytesThenCount) {
  IntArray a, b, c;
  Fill(a, {1, 2});
  Fill(b, {1, 2, 0});
  Fill(c, {1, 2});
  EXPECT_LT(a.Compare(b), 0);
  EXPECT_GT(b.Compare(a), 0);
  EXPECT_TRUE(a == c);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a < b);
}

TEST(MergeSort, AscendingAndDescendingAreStable) {
  int v[] = {2, 1, 2, 0};
  SortAscending(v, 4);
  EXPECT_EQ(std::vector<int>(v, v + 4), (std::vector<int>{0, 1, 2, 2}));
  SortDescending(v, 4);
  EXPECT_EQ(std::vector<int>(v, v + 4), (std::vector<int>{2, 2, 1, 0}));

  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 3, 5, 17, 64, 1000}) {
    for (bool asc : {true, false}) {
      for (bool failScratch : {false, true}) {
        std::vector<Keyed> in(n);
        for (int i = 0; i < n; ++i) in[i] = {int(rng() % 10), i};
        std::vector<Keyed> want = in;
        if (asc)
          std::stable_sort(want.begin(), want.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
        else
          std::stable_sort(want.begin(), want.end(), [](const Keyed& a, const Keyed& b) { return a.key > b.key; });
        {
          CAllocFailureScope fail(failScratch ? 0 : -1);
          if (asc)
            SortAscending(in.data(), n);
          else
            SortDescending(in.data(), n);
        }
        for (int i = 0; i < n; ++i) {
          ASSERT_EQ(in[i].key, want[i].key) << n << asc << failScratch;
          ASSERT_EQ(in[i].tag, want[i].tag) << n << asc << failScratch;
        }
      }
    }
  }
}

TEST(MergeSort, PointersByPointeeWithCustomOrder) {
  const char* names[] = {"delta", "Alpha", "\xe9t\xe9", "beta", "alpha"};
  const char* p[5];
  for (int i = 0; i < 5; ++i) p[i] = names[i];
  // Unsigned byte order: upper case first, bytes above 127 last.
  SortAscending(p, 5, [](const char* a, const char* b) {
    return std::strcmp(a, b) < 0;  // strcmp compares as unsigned char
  });
  EXPECT_STREQ(p[0], "Alpha");
  EXPECT_STREQ(p[1], "alpha");
  EXPECT_STREQ(p[4], "\xe9t\xe9");
}
