#include "containers/obj_array.h"

#include <gtest/gtest.h>

#include <vector>

#include "containers/logged_item.h"
#include "containers/str.h"

namespace {

using Item = LoggedItem;
using Objs = CObjArray<Item>;

std::vector<int> Keys(const CAdrArray<Item>& a) {
  std::vector<int> v;
  for (int i = 0; i < a.m_nSize; ++i) v.push_back(a.m_pData[i] ? a.m_pData[i]->key : -1);
  return v;
}

std::vector<Item*> Ptrs(const Objs& a) { return std::vector<Item*>(a.m_pData, a.m_pData + a.m_nSize); }

void Fill(Objs& a, std::initializer_list<int> keys) {
  for (int k : keys) a.Add(Item(k));
}

// Every test leaves no object behind.
class ObjArray : public ::testing::Test {
 protected:
  void SetUp() override { live_ = Item::live; }
  void TearDown() override { EXPECT_EQ(Item::live, live_); }
  int live_ = 0;
};

}  // namespace

TEST_F(ObjArray, AddStoresACopy) {
  Item x(7);
  Objs a;
  Item::Reset();
  EXPECT_EQ(a.Add(x), 0);
  EXPECT_EQ(Item::log, "copy7 ");
  EXPECT_NE(a.m_pData[0], &x);
  x.key = 8;
  EXPECT_EQ(a.m_pData[0]->key, 7);
  // An element of the same array, while the address block has to move.
  for (int i = 0; i < 6; ++i) a.Add(*a.m_pData[0]);
  ASSERT_EQ(a.m_nAllocBytes, 56u);
  EXPECT_EQ(a.Add(*a.m_pData[3]), 7);
  EXPECT_EQ(a.InsertAt(0, *a.m_pData[7]), 0);
  EXPECT_EQ(Keys(a), std::vector<int>(9, 7));
}

TEST_F(ObjArray, DeletionOrder) {
  struct Case {
    const char* name;
    void (*op)(Objs&);
    const char* log;
    std::vector<int> keys;
  } cases[] = {
      {"RemoveAll last first", [](Objs& a) { a.RemoveAll(); }, "del4 del3 del2 del1 ", {}},
      {"Empty reaches RemoveAll", [](Objs& a) { a.Empty(); }, "del4 del3 del2 del1 ", {}},
      {"ClearAndReserve reaches RemoveAll", [](Objs& a) { a.ClearAndReserve(100); }, "del4 del3 del2 del1 ", {}},
      {"Truncate last first", [](Objs& a) { EXPECT_EQ(a.Truncate(1), 1); }, "del4 del3 del2 ", {1}},
      {"Truncate longer", [](Objs& a) { EXPECT_EQ(a.Truncate(9), 4); }, "", {1, 2, 3, 4}},
      {"RemoveAt ascending", [](Objs& a) { a.RemoveAt(1, 2); }, "del2 del3 ", {1, 4}},
      {"RemoveAt clamps", [](Objs& a) { a.RemoveAt(2, 99); }, "del3 del4 ", {1, 2}},
      {"Resize down last first", [](Objs& a) { a.Resize(2); }, "del4 del3 ", {1, 2}},
      {"Resize up keeps values", [](Objs& a) { a.Resize(6); }, "new0 new0 ", {1, 2, 3, 4, 0, 0}},
      {"ResetSize down", [](Objs& a) { a.ResetSize(2); }, "new0 assign0 assign0 del3 del4 del0 ", {0, 0}},
      {"ResetSize up", [](Objs& a) { a.ResetSize(5); }, "new0 assign0 assign0 assign0 assign0 new0 del0 ", {0, 0, 0, 0, 0}},
      {"AppendEmpty", [](Objs& a) { a.AppendEmpty(1); }, "new0 ", {1, 2, 3, 4, 0}},
      {"AddEmpty", [](Objs& a) { EXPECT_EQ(a.AddEmpty(), 4); }, "new0 ", {1, 2, 3, 4, 0}},
      {"InsertEmptyAt", [](Objs& a) { EXPECT_EQ(a.InsertEmptyAt(1), 1); }, "new0 ", {1, 0, 2, 3, 4}},
      {"InsertEmptiesAt", [](Objs& a) { EXPECT_EQ(a.InsertEmptiesAt(9, 2), 4); }, "new0 new0 ", {1, 2, 3, 4, 0, 0}},
      {"InsertEmptiesAt 0", [](Objs& a) { EXPECT_EQ(a.InsertEmptiesAt(2, 0), 2); }, "", {1, 2, 3, 4}},
      // Refused: they would hand out deleted objects or lose objects.
      {"address-level SetSize", [](Objs& a) { a.SetSize(1, false); a.SetSize(8, false); }, "", {1, 2, 3, 4}},
      {"address-level Extract", [](Objs& a) { Item* d[2]; EXPECT_EQ(a.Extract(d, 0, 2), 0); }, "", {1, 2, 3, 4}},
      {"address-level RemoveHead", [](Objs& a) { Item* d; EXPECT_FALSE(a.RemoveHead(&d)); }, "", {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    Objs a;
    Fill(a, {1, 2, 3, 4});
    Item::Reset();
    c.op(a);
    EXPECT_EQ(Item::log, c.log) << c.name;
    EXPECT_EQ(Keys(a), c.keys) << c.name;
  }
  Item::Reset();
  {
    Objs a;
    Fill(a, {1, 2, 3});
    Item::Reset();
  }
  EXPECT_EQ(Item::log, "del3 del2 del1 ");
}

TEST_F(ObjArray, ObjectLevelRemovalAssignsThenDeletes) {
  Objs a;
  Fill(a, {1, 2, 3, 4});
  Item h, d[2];
  Item::Reset();
  EXPECT_TRUE(a.RemoveHead(h));
  EXPECT_EQ(Item::log, "assign1 del1 ");
  EXPECT_EQ(h.key, 1);
  Item::Reset();
  EXPECT_EQ(a.Extract(d, 0, 2), 2);
  EXPECT_EQ(Item::log, "assign2 assign3 del2 del3 ");
  EXPECT_EQ(d[1].key, 3);
  EXPECT_EQ(Keys(a), (std::vector<int>{4}));
}

TEST_F(ObjArray, ResetSizeReusesObjects) {
  Objs a;
  Fill(a, {5, 6, 7});
  Item* first = a.m_pData[0];
  Item* second = a.m_pData[1];
  a.ResetSize(2);
  EXPECT_EQ(a.m_pData[0], first);
  EXPECT_EQ(a.m_pData[1], second);
  EXPECT_EQ(Keys(a), (std::vector<int>{0, 0}));
}

TEST_F(ObjArray, DeepCopyReusesExistingObjects) {
  Objs five, three, one;
  Fill(five, {1, 2, 3, 4, 5});
  Fill(three, {7, 8, 9});
  Fill(one, {6});
  std::vector<Item*> before = Ptrs(three);
  Item::Reset();
  three.Copy(five);
  EXPECT_EQ(Item::log, "assign1 assign2 assign3 copy4 copy5 ");
  EXPECT_EQ(Keys(three), (std::vector<int>{1, 2, 3, 4, 5}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(three.m_pData[i], before[i]);

  Objs t;
  Fill(t, {7, 8, 9});
  Item* keep = t.m_pData[0];
  Item::Reset();
  t.Copy(one);
  EXPECT_EQ(Item::log, "assign6 del8 del9 ");
  EXPECT_EQ(t.m_pData[0], keep);

  Item::Reset();
  t.Copy(t);
  EXPECT_EQ(Item::log, "");

  Objs assigned;
  assigned = five;  // assignment is the deep copy
  EXPECT_EQ(Keys(assigned), Keys(five));
  EXPECT_NE(assigned.m_pData[0], five.m_pData[0]);
  Objs constructed(five);
  EXPECT_EQ(Keys(constructed), Keys(five));
  EXPECT_NE(constructed.m_pData[4], five.m_pData[4]);

  // From a non-owning array and from a plain run: copies either way.
  Item run[2] = {{3}, {4}};
  CAdrArray<Item> view;
  view.AppendAddresses(run, 2);
  Objs fromView;
  fromView.Copy(view);
  EXPECT_NE(fromView.m_pData[0], &run[0]);
  EXPECT_EQ(Keys(fromView), (std::vector<int>{3, 4}));
  Objs fromRun;
  EXPECT_EQ(fromRun.CopyObjects(run, 2), 2);
  fromRun.AppendObjects(run, 1);
  EXPECT_EQ(fromRun.InsertObjectsAt(1, run + 1, 1), 1);
  EXPECT_EQ(fromRun.InsertObjectsAt(1, run, 0), 1);
  EXPECT_EQ(Keys(fromRun), (std::vector<int>{3, 4, 4, 3}));
  EXPECT_NE(fromRun.m_pData[0], &run[0]);
}

TEST_F(ObjArray, SelfReferentialOperations) {
  {
    Objs a;
    Fill(a, {1, 2, 3, 4});
    std::vector<Item*> p = Ptrs(a);
    Item::Reset();
    EXPECT_EQ(a.CopyRange(a, 1, 2), 2);
    EXPECT_EQ(Item::log, "del4 del1 ");
    EXPECT_EQ(Ptrs(a), (std::vector<Item*>{p[1], p[2]}));  // the very same objects
  }
  {
    Objs a;
    Fill(a, {1, 2, 3, 4});
    EXPECT_EQ(a.CopyRange(a, 1, INT_MAX), 3);  // j + n must not overflow
    EXPECT_EQ(Keys(a), (std::vector<int>{2, 3, 4}));
  }
  {
    Objs a;
    Fill(a, {1, 2});
    std::vector<Item*> p = Ptrs(a);
    a.Append(a);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 1, 2}));
    EXPECT_EQ(a.m_pData[0], p[0]);
    EXPECT_NE(a.m_pData[2], p[0]);
    for (int i = 0; i < 3; ++i) a.Append(a);  // the block moves on the way
    EXPECT_EQ(a.m_nSize, 32);
  }
  {
    Objs a;
    Fill(a, {1, 2});
    std::vector<Item*> p = Ptrs(a);
    EXPECT_EQ(a.InsertArrayAt(1, a), 1);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 1, 2, 2}));
    EXPECT_EQ(a.m_pData[0], p[0]);
    EXPECT_EQ(a.m_pData[3], p[1]);
  }
  {
    Objs a;
    Fill(a, {1, 2, 3});
    EXPECT_EQ(a.InsertRangeAt(1, a, 1, 2), 1);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 3, 2, 3}));
    a.AppendRange(a, 3, 5);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 3, 2, 3, 2, 3}));
  }
}

TEST_F(ObjArray, CopyRangeFromAnotherArrayIsIndependent) {
  Objs* src = new Objs;
  Fill(*src, {1, 2, 3, 4});
  Objs dst;
  EXPECT_EQ(dst.CopyRange(*src, 1, 2), 2);
  EXPECT_NE(dst.m_pData[0], src->m_pData[1]);
  delete src;
  EXPECT_EQ(Keys(dst), (std::vector<int>{2, 3}));
}

TEST_F(ObjArray, InsertionEdges) {
  Objs src;
  Fill(src, {8, 9});
  struct Case {
    const char* name;
    int (*op)(Objs&, Objs&);
    int result;
    std::vector<int> keys;
  } cases[] = {
      {"InsertAt past end", [](Objs& a, Objs& s) { return a.InsertAt(9, Item(5)); }, 2, {1, 2, 5}},
      {"InsertRangeAt past end", [](Objs& a, Objs& s) { return a.InsertRangeAt(2, s, 1, 4); }, 2, {1, 2, 9}},
      {"InsertRangeAt middle", [](Objs& a, Objs& s) { return a.InsertRangeAt(1, s, 0, 4); }, 1, {1, 8, 9, 2}},
      {"InsertRangeAt nothing", [](Objs& a, Objs& s) { return a.InsertRangeAt(1, s, 2, 4); }, 1, {1, 2}},
      {"InsertArrayAt past end", [](Objs& a, Objs& s) { return a.InsertArrayAt(5, s); }, 2, {1, 2, 8, 9}},
      {"InsertArrayAt front", [](Objs& a, Objs& s) { return a.InsertArrayAt(0, s); }, 0, {8, 9, 1, 2}},
      {"AddUnique equal", [](Objs& a, Objs& s) { return a.AddUnique(*a.m_pData[1]); }, 1, {1, 2}},
      {"AddUnique new", [](Objs& a, Objs& s) { Item x(4); return a.AddUnique(x); }, 2, {1, 2, 4}},
      {"InsertSorted", [](Objs& a, Objs& s) { Item x(1); return a.InsertSorted(x, true); }, 1, {1, 1, 2}},
      {"AddSortedUnique", [](Objs& a, Objs& s) { Item x(3); return a.AddSortedUnique(x, true); }, 2, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    Objs a;
    Fill(a, {1, 2});
    EXPECT_EQ(c.op(a, src), c.result) << c.name;
    EXPECT_EQ(Keys(a), c.keys) << c.name;
  }
  // The sorted and unique insertions store copies.
  Objs a;
  Item x(3);
  a.InsertSorted(x, true);
  a.AddSortedUnique(x, false);
  EXPECT_EQ(a.m_nSize, 1);
  EXPECT_NE(a.m_pData[0], &x);
}

TEST_F(ObjArray, AddressLevelOperationsHandOverOwnership) {
  Objs a;
  Item* p = new Item(5);
  a.CScalarArray<Item*>::Add(&p);  // the array now owns *p and will delete it
  EXPECT_EQ(a.m_pData[0], p);
  Item::Reset();
  a.RemoveAll();
  EXPECT_EQ(Item::log, "del5 ");
}

TEST_F(ObjArray, FailedAllocationsLeaveNullEntriesOrNothing) {
  Objs a;
  ASSERT_TRUE(a.Reserve(8));
  Item x(4);
  {
    CAllocFailureScope fail(0);
    // Room for the address, none for the object: a single object is not added at all.
    EXPECT_EQ(a.Add(x), -1);
    EXPECT_EQ(a.AddEmpty(), -1);
    EXPECT_EQ(a.InsertAt(0, x), -1);
    EXPECT_EQ(a.InsertEmptyAt(0), -1);
    EXPECT_EQ(a.m_nSize, 0);
    a.AppendEmpty(4);
  }
  EXPECT_EQ(Keys(a), (std::vector<int>{-1, -1, -1, -1}));
  a.Add(x);
  // Null entries are skipped by deletion, searches, Peek and copies.
  Item d[5];
  EXPECT_EQ(a.Peek(d, 0, 5), 5);
  EXPECT_EQ(d[4].key, 4);
  EXPECT_EQ(a.AddUnique(x), 4);
  EXPECT_EQ(a.FindSorted(x, true), 4);
  Objs copy(a);
  EXPECT_EQ(Keys(copy), (std::vector<int>{-1, -1, -1, -1, 4}));
  Objs other;
  Fill(other, {1, 2, 3, 4, 5});
  other.Copy(a);
  EXPECT_EQ(Keys(other), (std::vector<int>{-1, -1, -1, -1, 4}));
  a.RemoveAt(0, 2);
  a.Truncate(1);
  EXPECT_EQ(a.m_nSize, 1);

  // No room for the address: the new object is not leaked and the array is unchanged.
  Objs full;
  for (int i = 0; i < 7; ++i) full.Add(x);
  ASSERT_EQ(full.m_nAllocBytes, 56u);
  {
    CAllocFailureScope fail(1);  // the copy succeeds, the growth fails
    EXPECT_EQ(full.Add(x), -1);
    EXPECT_EQ(full.InsertAt(0, x), -1);
    EXPECT_EQ(full.InsertEmptyAt(0), -1);
  }
  EXPECT_EQ(full.m_nSize, 7);
  {
    CAllocFailureScope fail(0);
    Objs copy2(full);
    EXPECT_EQ(copy2.m_nSize, 0);
  }
}

TEST_F(ObjArray, NestedOwningArraysCopyDeeply) {
  using Inner = CObjArray<Item>;
  CObjArray<Inner> outer;
  Inner in1, in2;
  Fill(in1, {1, 2});
  Fill(in2, {3});
  outer.Add(in1);
  outer.Add(in2);
  CObjArray<Inner> copy(outer);
  copy.m_pData[0]->m_pData[0]->key = 99;
  EXPECT_EQ(outer.m_pData[0]->m_pData[0]->key, 1);
  EXPECT_NE(copy.m_pData[1]->m_pData[0], outer.m_pData[1]->m_pData[0]);
  // Order and equality inner list by inner list, then by count.
  EXPECT_TRUE(copy.Compare(outer) > 0);
  copy.m_pData[0]->m_pData[0]->key = 1;
  EXPECT_TRUE(copy == outer);
  Inner prefix;
  Fill(prefix, {1});
  EXPECT_EQ(outer.FindSorted(prefix, true), -1);
  EXPECT_EQ(outer.FindInsertPos(prefix, true), 0);  // {1} < {1, 2} < {3}
  EXPECT_EQ(outer.FindSorted(in2, true), 1);
  outer = copy;
  EXPECT_TRUE(outer == copy);
}

TEST_F(ObjArray, StringElements) {
  CObjArray<CStrA> names;
  names.Add("beta");
  names.Add(CStrA("alpha"));
  CStrA gamma("gamma"), alpha("alpha");
  EXPECT_EQ(names.AddUnique(alpha), 1);
  names.InsertSorted(gamma, true);
  CObjArray<CStrA> copy(names);
  copy.m_pData[0]->Copy("delta", 5);
  EXPECT_STREQ(names.m_pData[0]->m_pData, "beta");
  EXPECT_STREQ(copy.m_pData[2]->m_pData, "gamma");
  names.Copy(copy);
  EXPECT_STREQ(names.m_pData[0]->m_pData, "delta");
}

namespace {

// Records the calls that reach the overridable operations, as a derived owning array (a list box
// kept in step with its elements) sees them.
class Recorder : public CObjArray<Item> {
 public:
  std::string calls;
  using CObjArray<Item>::Add;
  using CObjArray<Item>::InsertAt;
  int Add(Item& x) override { calls += "Add "; return CObjArray::Add(x); }
  int InsertAt(int i, Item& x) override { calls += "InsertAt "; return CObjArray::InsertAt(i, x); }
  void RemoveAt(int i, int n) override { calls += "RemoveAt "; CObjArray::RemoveAt(i, n); }
  void RemoveAll() override { calls += "RemoveAll "; CObjArray::RemoveAll(); }
  int Truncate(int n) override { calls += "Truncate "; return CObjArray::Truncate(n); }
  void AppendEmpty(int n) override { calls += "AppendEmpty "; CObjArray::AppendEmpty(n); }
  CAdrArray<Item>& Append(const CAdrArray<Item>& s) override { calls += "Append "; return CObjArray::Append(s); }
  void AppendRange(const CAdrArray<Item>& s, int j, int n) override { calls += "AppendRange "; CObjArray::AppendRange(s, j, n); }
  int InsertArrayAt(int i, const CAdrArray<Item>& s) override { calls += "InsertArrayAt "; return CObjArray::InsertArrayAt(i, s); }
};

}  // namespace

TEST_F(ObjArray, InheritedOperationsReachDerivedOverrides) {
  struct Case {
    const char* name;
    void (*op)(Recorder&);
    const char* calls;
  } cases[] = {
      {"AddUnique", [](Recorder& a) { Item x(9); a.AddUnique(x); }, "Add "},
      {"InsertSorted", [](Recorder& a) { Item x(2); a.InsertSorted(x, true); }, "InsertAt "},
      {"AddSortedUnique", [](Recorder& a) { Item x(4); a.AddSortedUnique(x, true); }, "InsertAt "},
      {"Extract", [](Recorder& a) { Item d[2]; a.Extract(d, 0, 2); }, "RemoveAt "},
      {"RemoveHead", [](Recorder& a) { Item d; a.RemoveHead(d); }, "RemoveAt "},
      {"Empty", [](Recorder& a) { a.Empty(); }, "RemoveAll "},
      {"ClearAndReserve", [](Recorder& a) { a.ClearAndReserve(1); }, "RemoveAll "},
      {"CopyRange of itself", [](Recorder& a) { a.CopyRange(a, 1, 1); }, "RemoveAt RemoveAt "},
      {"Resize down", [](Recorder& a) { a.Resize(1); }, "Truncate "},
      {"Resize up", [](Recorder& a) { a.Resize(5); }, "AppendEmpty "},
      {"InsertArrayAt past end", [](Recorder& a) { a.InsertArrayAt(7, a); }, "InsertArrayAt Append AppendRange "},
      {"InsertArrayAt of itself", [](Recorder& a) { a.InsertArrayAt(1, a); }, "InsertArrayAt InsertArrayAt "},
      {"InsertRangeAt of itself", [](Recorder& a) { a.InsertRangeAt(1, a, 0, 2); }, "InsertArrayAt "},
      {"InsertRangeAt past end", [](Recorder& a) { a.InsertRangeAt(3, a, 0, 2); }, "AppendRange "},
  };
  for (const Case& c : cases) {
    Recorder a;
    Fill(a, {1, 3, 5});
    a.calls.clear();
    c.op(a);
    EXPECT_EQ(a.calls, c.calls) << c.name;
  }
}
