#include "containers/adr_array.h"

#include <gtest/gtest.h>

#include <vector>

#include "containers/logged_item.h"

namespace {

using Item = LoggedItem;
using Adr = CAdrArray<Item>;

std::vector<int> Keys(const Adr& a) {
  std::vector<int> v;
  for (int i = 0; i < a.m_nSize; ++i) v.push_back(a.m_pData[i] ? a.m_pData[i]->key : -1);
  return v;
}

std::vector<Item*> Ptrs(const Adr& a) { return std::vector<Item*>(a.m_pData, a.m_pData + a.m_nSize); }

}  // namespace

TEST(AdrArray, NeverOwnsTheObjects) {
  Item a(1), b(2);
  int before = Item::live;
  Item::Reset();
  {
    Adr arr;
    arr.Add(a);
    arr.Add(b);
    arr.Add(a);  // the same object twice: two entries
    EXPECT_EQ(Ptrs(arr), (std::vector<Item*>{&a, &b, &a}));
    arr.RemoveAt(0, 1);
    arr.Empty();
    arr.Add(b);
    arr.Truncate(0);
    arr.Add(a);
  }
  EXPECT_EQ(Item::live, before);
  EXPECT_EQ(Item::log, "");  // nothing constructed, copied, assigned or deleted
  EXPECT_EQ(a.key, 1);
}

TEST(AdrArray, AddUniqueComparesObjects) {
  Item a(1), b(2), a2(1);
  Adr arr;
  arr.Add(a);
  arr.Add(b);
  EXPECT_EQ(arr.AddUnique(a2), 0);  // equal object, not the same one
  EXPECT_EQ(arr.m_nSize, 2);
  Item c(3);
  EXPECT_EQ(arr.AddUnique(c), 2);
  // The inherited value-level operations still compare addresses.
  Item* pa2 = &a2;
  EXPECT_EQ(arr.AddUnique(&pa2), 3);
}

TEST(AdrArray, SortedOperations) {
  Item k1(1), k5a(5, 1), k5b(5, 2), k9(9), key5(5, 3), key4(4);
  Adr asc, desc, empty;
  for (Item* p : {&k1, &k5a, &k5b, &k9}) asc.Add(*p);
  for (Item* p : {&k9, &k5a, &k5b, &k1}) desc.Add(*p);
  EXPECT_EQ(asc.FindInsertPos(key5, true), 3);
  EXPECT_EQ(desc.FindInsertPos(key5, false), 1);
  EXPECT_EQ(empty.FindInsertPos(key5, true), 0);
  EXPECT_EQ(empty.FindSorted(key5, true), -1);
  int f = asc.FindSorted(key5, true);
  EXPECT_TRUE(f == 1 || f == 2);
  EXPECT_EQ(asc.FindSorted(key4, true), -1);
  EXPECT_EQ(desc.FindSorted(k9, false), 0);
  f = asc.AddSortedUnique(key5, true);
  EXPECT_TRUE(f == 1 || f == 2);
  EXPECT_EQ(asc.m_nSize, 4);
  EXPECT_EQ(asc.AddSortedUnique(key4, true), 1);
  EXPECT_EQ(Keys(asc), (std::vector<int>{1, 4, 5, 5, 9}));
  EXPECT_EQ(desc.AddSortedUnique(key4, false), 3);
  EXPECT_EQ(Keys(desc), (std::vector<int>{9, 5, 5, 4, 1}));
  EXPECT_EQ(empty.AddSortedUnique(key4, true), 0);
}

TEST(AdrArray, InsertSortedQueueIsFirstInFirstOutAmongEquals) {
  Item items[] = {{5, 1}, {2, 2}, {5, 3}, {2, 4}, {5, 5}};
  for (bool asc : {true, false}) {
    Adr q;
    for (Item& it : items) q.InsertSorted(it, asc);
    std::vector<int> tags;
    Item out;
    while (q.RemoveHead(out)) tags.push_back(out.tag);
    EXPECT_EQ(tags, asc ? (std::vector<int>{2, 4, 1, 3, 5}) : (std::vector<int>{5, 3, 1, 4, 2}));
  }
}

TEST(AdrArray, SelfReferentialOperations) {
  Item a(1), b(2), c(3), d(4);
  Adr arr;
  arr.Add(a);
  arr.Add(b);
  EXPECT_EQ(arr.InsertArrayAt(0, arr), 0);
  EXPECT_EQ(Ptrs(arr), (std::vector<Item*>{&a, &b, &a, &b}));
  Adr arr2;
  arr2.Add(a);
  arr2.Add(b);
  arr2.Append(arr2);
  EXPECT_EQ(Ptrs(arr2), (std::vector<Item*>{&a, &b, &a, &b}));
  // Enough doublings to move the block while reading from it.
  for (int i = 0; i < 4; ++i) arr2.Append(arr2);
  EXPECT_EQ(arr2.m_nSize, 64);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(arr2.m_pData[i], i % 2 ? &b : &a);
  Adr r;
  for (Item* p : {&a, &b, &c, &d}) r.Add(*p);
  EXPECT_EQ(r.CopyRange(r, 1, 2), 2);
  EXPECT_EQ(Ptrs(r), (std::vector<Item*>{&b, &c}));
  r.Copy(r);
  EXPECT_EQ(Ptrs(r), (std::vector<Item*>{&b, &c}));
  EXPECT_EQ(r.InsertRangeAt(1, r, 0, 2), 1);
  EXPECT_EQ(Ptrs(r), (std::vector<Item*>{&b, &b, &c, &c}));
  r.AppendRange(r, 1, 2);
  EXPECT_EQ(Ptrs(r), (std::vector<Item*>{&b, &b, &c, &c, &b, &c}));
}

TEST(AdrArray, RangeAndInsertionEdges) {
  Item a(1), b(2), c(3);
  Adr src, none;
  src.Add(a);
  src.Add(b);
  struct Case {
    const char* name;
    int (*op)(Adr&, const Adr& src, const Adr& none);
    int result;
    std::vector<int> keys;
  } cases[] = {
      {"InsertRangeAt nothing, past end", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertRangeAt(9, s, 2, 5); }, 9, {3}},
      {"InsertRangeAt count 0", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertRangeAt(0, s, 0, 0); }, 0, {3}},
      {"InsertArrayAt empty, below size", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertArrayAt(0, n); }, 0, {3}},
      {"InsertArrayAt empty, past end", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertArrayAt(5, n); }, 1, {3}},
      {"InsertRangeAt past end appends", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertRangeAt(7, s, 1, 9); }, 1, {3, 2}},
      {"InsertArrayAt past end appends", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertArrayAt(7, s); }, 1, {3, 1, 2}},
      {"InsertArrayAt front", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertArrayAt(0, s); }, 0, {1, 2, 3}},
      {"CopyRange clamps", [](Adr& t, const Adr& s, const Adr& n) { return t.CopyRange(s, 1, 9); }, 1, {2}},
      {"CopyRange at end empties", [](Adr& t, const Adr& s, const Adr& n) { return t.CopyRange(s, 2, 1); }, 0, {}},
      {"AppendRange clamps", [](Adr& t, const Adr& s, const Adr& n) { t.AppendRange(s, 0, 9); return 0; }, 0, {3, 1, 2}},
      {"Copy", [](Adr& t, const Adr& s, const Adr& n) { t.Copy(s); return 0; }, 0, {1, 2}},
      // Starts outside the source and negative counts are ignored.
      {"CopyRange bad start", [](Adr& t, const Adr& s, const Adr& n) { return t.CopyRange(s, 3, 1); }, 1, {3}},
      {"CopyRange negative start", [](Adr& t, const Adr& s, const Adr& n) { return t.CopyRange(s, -1, 1); }, 1, {3}},
      {"AppendRange negative count", [](Adr& t, const Adr& s, const Adr& n) { t.AppendRange(s, 0, -1); return 0; }, 0, {3}},
      {"InsertRangeAt bad start", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertRangeAt(0, s, 5, 1); }, -1, {3}},
      {"InsertRangeAt negative index", [](Adr& t, const Adr& s, const Adr& n) { return t.InsertRangeAt(-1, s, 0, 1); }, -1, {3}},
  };
  for (const Case& k : cases) {
    Adr t;
    t.Add(c);
    EXPECT_EQ(k.op(t, src, none), k.result) << k.name;
    EXPECT_EQ(Keys(t), k.keys) << k.name;
  }
}

TEST(AdrArray, PeekExtractRemoveHeadAssignObjects) {
  Item a(1), b(2), c(3);
  Adr arr;
  for (Item* p : {&a, &b, &c}) arr.Add(*p);
  Item dest[3];
  EXPECT_EQ(arr.Peek(dest, 3, 1), 0);
  EXPECT_EQ(arr.Peek(dest, 1, 5), 2);
  EXPECT_EQ(dest[0].key, 2);
  EXPECT_EQ(dest[1].key, 3);
  EXPECT_EQ(arr.m_nSize, 3);
  Item::Reset();
  EXPECT_EQ(arr.Extract(dest, 0, 2), 2);
  EXPECT_EQ(Item::log, "assign1 assign2 ");
  EXPECT_EQ(Keys(arr), (std::vector<int>{3}));
  Item h;
  EXPECT_TRUE(arr.RemoveHead(h));
  EXPECT_EQ(h.key, 3);
  h.key = 77;
  EXPECT_FALSE(arr.RemoveHead(h));
  EXPECT_EQ(h.key, 77);
  EXPECT_EQ(a.key, 1);  // the stored objects were only read
}

TEST(AdrArray, AddressesOfPlainRuns) {
  Item run[3] = {{1}, {2}, {3}};
  Adr arr;
  EXPECT_EQ(arr.CopyAddresses(run, 3), 3);
  EXPECT_EQ(Ptrs(arr), (std::vector<Item*>{&run[0], &run[1], &run[2]}));
  arr.AppendAddresses(run, 2);
  EXPECT_EQ(arr.InsertAddressesAt(1, run + 2, 1), 1);
  EXPECT_EQ(arr.InsertAddressesAt(1, run, 0), 1);
  EXPECT_EQ(Keys(arr), (std::vector<int>{1, 3, 2, 3, 1, 2}));
  EXPECT_EQ(arr.CopyAddresses(run, 0), 0);
  EXPECT_EQ(arr.m_nSize, 0);
}

TEST(AdrArray, WholeArrayComparison) {
  Item a(1), b(2), c(3);
  Adr x, y, z;
  x.Add(a);
  x.Add(b);
  y.Add(a);
  y.Add(c);
  z.Add(a);
  EXPECT_LT(x.Compare(y), 0);
  EXPECT_GT(x.Compare(z), 0);  // same prefix: more elements after
  EXPECT_TRUE(z < x);
  Adr empty;
  empty.AddEmpty();  // an empty slot orders before any object
  EXPECT_LT(empty.Compare(z), 0);
  EXPECT_GT(z.Compare(empty), 0);
  Item a2(1), b2(2);
  Adr x2;
  x2.Add(a2);
  x2.Add(b2);
  EXPECT_TRUE(x == x2);
  EXPECT_FALSE(x == y);
}
