#include "containers/str.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::string Text(const CStrA& s) { return s.m_nSize > 0 ? std::string(s.m_pData, s.m_nSize - 1) : std::string(); }

}  // namespace

TEST(Str, NeverAssignedDiffersFromEmpty) {
  CStrA never(nullptr), deflt, empty("");
  EXPECT_EQ(never.m_nSize, 0);
  EXPECT_EQ(never.m_pData, nullptr);
  EXPECT_EQ(deflt.m_nSize, 0);
  EXPECT_EQ(empty.m_nSize, 1);
  EXPECT_GE(empty.m_nAllocBytes, 56u);
  EXPECT_EQ(empty.m_pData[0], '\0');

  never.RemoveAll();
  EXPECT_EQ(never.m_nSize, 0);
  EXPECT_EQ(never.m_pData, nullptr);
  never.Empty();
  EXPECT_EQ(never.m_nSize, 0);
  CStrA copyOfNever(never);
  EXPECT_EQ(copyOfNever.m_pData, nullptr);

  CStrA abc("abc");
  char* block = abc.m_pData;
  abc.RemoveAll();
  EXPECT_EQ(abc.m_nSize, 1);
  EXPECT_EQ(abc.m_pData, block);
  abc = "xyz";
  abc.Empty();
  EXPECT_EQ(abc.m_nSize, 1);
  EXPECT_EQ(Text(abc), "");
}

TEST(Str, TextOperations) {
  struct Case {
    const char* name;
    const char* start;  // null: never assigned
    void (*op)(CStrA&, int&);
    int result;
    const char* text;
    int size;
  };
  const Case cases[] = {
      {"Copy nMax 3", "", [](CStrA& s, int& r) { r = s.Copy("abcdef", 3); }, 4, "abc", 4},
      {"Copy stops at NUL", "zz", [](CStrA& s, int& r) { r = s.Copy("ab", 5); }, 3, "ab", 3},
      {"Copy nMax 0", "zz", [](CStrA& s, int& r) { r = s.Copy("ab", 0); }, 1, "", 1},
      {"Copy nMax INT_MAX", nullptr, [](CStrA& s, int& r) { r = s.Copy("ab", INT_MAX); }, 3, "ab", 3},
      {"Append to never-assigned", nullptr, [](CStrA& s, int& r) { s.Append("abcdef", 3); }, 0, "abc", 4},
      {"Append nMax 2", "ab", [](CStrA& s, int& r) { s.Append("xyz", 2); }, 0, "abxy", 5},
      {"Append INT_MAX", "ab", [](CStrA& s, int& r) { s.Append("xyz", INT_MAX); }, 0, "abxyz", 6},
      {"+=", "ab", [](CStrA& s, int& r) { s += "cd"; }, 0, "abcd", 5},
      {"+= on never-assigned", nullptr, [](CStrA& s, int& r) { s += "cd"; }, 0, "cd", 3},
      {"= text", "abc", [](CStrA& s, int& r) { s = "q"; }, 0, "q", 2},
      {"= null", "abc", [](CStrA& s, int& r) { s = static_cast<const char*>(nullptr); }, 0, "", 1},
      {"InsertArrayAt 1", "abc", [](CStrA& s, int& r) { r = s.InsertArrayAt(1, "XY", 5); }, 1, "aXYbc", 6},
      {"InsertArrayAt end", "abc", [](CStrA& s, int& r) { r = s.InsertArrayAt(3, "XY", 2); }, 3, "abcXY", 6},
      {"InsertArrayAt past end", "abc", [](CStrA& s, int& r) { r = s.InsertArrayAt(9, "XY", 1); }, 3, "abcX", 5},
      {"InsertArrayAt count cut", "abc", [](CStrA& s, int& r) { r = s.InsertArrayAt(0, "XY", 1); }, 0, "Xabc", 5},
      {"InsertArrayAt empty source", "abc", [](CStrA& s, int& r) { r = s.InsertArrayAt(1, "", 4); }, 1, "abc", 4},
      {"InsertArrayAt never-assigned", nullptr, [](CStrA& s, int& r) { r = s.InsertArrayAt(0, "XY", 2); }, -1, "XY", 3},
      {"RemoveAt(1,1)", "abcd", [](CStrA& s, int& r) { s.RemoveAt(1, 1); }, 0, "acd", 4},
      {"RemoveAt(1,10)", "abcd", [](CStrA& s, int& r) { s.RemoveAt(1, 10); }, 0, "a", 2},
      {"RemoveAt(1,INT_MAX)", "abcd", [](CStrA& s, int& r) { s.RemoveAt(1, INT_MAX); }, 0, "a", 2},
      {"RemoveAt(4,1)", "abcd", [](CStrA& s, int& r) { s.RemoveAt(4, 1); }, 0, "abcd", 5},
      {"RemoveAt(2,2) to end", "abcd", [](CStrA& s, int& r) { s.RemoveAt(2, 2); }, 0, "ab", 3},
      {"RemoveAt in a full block", "0123456789012345678901234567890123456789012345678901234",
       [](CStrA& s, int& r) { s.RemoveAt(0, 40); }, 0, "012345678901234", 16},
      {"Truncate(2)", "abcd", [](CStrA& s, int& r) { r = s.Truncate(2); }, 3, "ab", 3},
      {"Truncate(10)", "abcd", [](CStrA& s, int& r) { r = s.Truncate(10); }, 5, "abcd", 5},
      {"Truncate(0)", "abcd", [](CStrA& s, int& r) { r = s.Truncate(0); }, 1, "", 1},
      {"Truncate never-assigned", nullptr, [](CStrA& s, int& r) { r = s.Truncate(0); }, 0, "", 0},
      {"negative RemoveAt", "abcd", [](CStrA& s, int& r) { s.RemoveAt(-1, 2); }, 0, "abcd", 5},
      {"negative Copy", "abcd", [](CStrA& s, int& r) { r = s.Copy("x", -1); }, 5, "abcd", 5},
      {"negative Truncate", "abcd", [](CStrA& s, int& r) { r = s.Truncate(-2); }, 5, "abcd", 5},
  };
  for (const Case& c : cases) {
    CStrA s(c.start);
    int r = 0;
    c.op(s, r);
    EXPECT_EQ(r, c.result) << c.name;
    EXPECT_EQ(Text(s), c.text) << c.name;
    EXPECT_EQ(s.m_nSize, c.size) << c.name;
    if (s.m_nSize > 0) {
      EXPECT_EQ(s.m_pData[s.m_nSize - 1], 0) << c.name;
    }
  }
}

TEST(Str, Formatting) {
  CStrA s;
  EXPECT_EQ(s.Format("%d-%s", 7, "x"), 4);
  EXPECT_EQ(Text(s), "7-x");
  CStrA blank;
  EXPECT_EQ(blank.Format("%s", ""), 1);  // an empty result is "", not never-assigned

  CStrA fits;
  fits.Format("%s", std::string(55, 'a').c_str());
  EXPECT_EQ(fits.m_nSize, 56);
  EXPECT_EQ(fits.m_nAllocBytes, 56u);

  CStrA big;
  big.Format("%s", std::string(200, 'b').c_str());
  EXPECT_EQ(big.m_nSize, 201);
  EXPECT_EQ(big.m_nAllocBytes, 248u);
  EXPECT_EQ(Text(big), std::string(200, 'b'));

  CStrA longer;
  longer.Format("%s|%d", std::string(5000, 'c').c_str(), 12);
  EXPECT_EQ(Text(longer), std::string(5000, 'c') + "|12");

  CStrA n("n=");
  n.AppendFormat("%d", 42);
  EXPECT_EQ(Text(n), "n=42");
  EXPECT_EQ(n.m_nSize, 5);
  CStrA never;
  never.AppendFormat("%d", 42);
  EXPECT_EQ(Text(never), "42");
  EXPECT_EQ(never.m_nSize, 3);
  n.AppendFormat("%s", std::string(300, 'z').c_str());
  EXPECT_EQ(Text(n), "n=42" + std::string(300, 'z'));
}

TEST(Str, ShortResultsNeedNoAllocationBeyondTheStringsOwn) {
  CStrA s;
  int size = 0;
  {
    CAllocFailureScope fail(1);  // the string's first block, nothing else
    size = s.Format("%d-%s", 7, "x");
    s.AppendFormat("%s", "yz");
    s.Format("%s", s.m_pData);
  }
  EXPECT_EQ(size, 4);
  EXPECT_EQ(Text(s), "7-xyz");
  EXPECT_FALSE(s.IsShort());  // nothing had to grow
}

TEST(Str, OwnTextAsSource) {
  CStrA s("abcdefghij");
  s += s.m_pData;
  EXPECT_EQ(Text(s), "abcdefghijabcdefghij");
  for (int i = 0; i < 3; ++i) s += s.m_pData;  // the block moves on the way
  EXPECT_EQ(s.m_nSize, 161);
  CStrA t("hello");
  t.Format("<%s:%s>", t.m_pData, t.m_pData);
  EXPECT_EQ(Text(t), "<hello:hello>");
  t.AppendFormat("%s%s%s%s%s", t.m_pData, t.m_pData, t.m_pData, t.m_pData, t.m_pData);
  std::string w = "<hello:hello>";
  EXPECT_EQ(Text(t), w + w + w + w + w + w);
  CStrA u("abcdef");
  u.Copy(u.m_pData + 2, 3);
  EXPECT_EQ(Text(u), "cde");
  CStrA v("abc");
  v = v.m_pData + 1;
  EXPECT_EQ(Text(v), "bc");
  CStrA x("abcd");
  EXPECT_EQ(x.InsertArrayAt(1, x.m_pData, 4), 1);
  EXPECT_EQ(Text(x), "aabcdbcd");
  x.Append(x.m_pData + 6, 10);
  EXPECT_EQ(Text(x), "aabcdbcdcd");
}

TEST(Str, AssignmentKeepsLifecycle) {
  CStrA never, with("abc");
  with = never;  // a string never loses its block
  EXPECT_EQ(with.m_nSize, 1);
  EXPECT_NE(with.m_pData, nullptr);
  CStrA target;
  target = never;
  EXPECT_EQ(target.m_pData, nullptr);
  target = with;
  EXPECT_EQ(target.m_nSize, 1);
  CStrA src("hello");
  target = src;
  EXPECT_EQ(Text(target), "hello");
  EXPECT_NE(target.m_pData, src.m_pData);
  target = target;
  EXPECT_EQ(Text(target), "hello");
  // The state "block but size 0" that base-array operations can leave: no write before the block.
  CStrA odd("abc");
  odd.CScalarArray<char>::RemoveAll();
  EXPECT_EQ(odd.Truncate(0), 0);
  odd.RemoveAt(0, 1);
  EXPECT_EQ(odd.InsertArrayAt(0, "q", 1), -1);
  EXPECT_EQ(Text(odd), "q");
}

TEST(Str, FailedAllocationLeavesAConsistentString) {
  {
    CAllocFailureScope fail(0);
    CStrA s("abc");
    EXPECT_EQ(s.m_nSize, 0);
    EXPECT_EQ(s.m_pData, nullptr);
    s.Format("%d", 5);
    EXPECT_EQ(s.m_nSize, 0);
    s += "x";
    EXPECT_EQ(s.m_nSize, 0);
    EXPECT_TRUE(s.IsShort());
  }
  CStrA t("abc");
  const std::string q(300, 'q'), r(100, 'r');
  {
    CAllocFailureScope fail(0);
    t.Format("%s", q.c_str());
    EXPECT_TRUE(t.m_nSize == 1 || t.m_nSize == 4);
    EXPECT_EQ(t.m_pData[t.m_nSize - 1], '\0');
    t = "abc";
    t += r.c_str();
    t.AppendFormat("%s", q.c_str());
    t.InsertArrayAt(0, r.c_str(), 100);
  }
  EXPECT_EQ(t.m_pData[t.m_nSize - 1], '\0');
  EXPECT_LE(uint64_t(t.m_nSize), t.m_nAllocBytes);
  // The text says it lacks what did not fit, and so does a copy of it, until it is replaced whole.
  EXPECT_TRUE(t.IsShort());
  CStrA copy(t);
  EXPECT_TRUE(copy.IsShort());
  t += "more";
  EXPECT_TRUE(t.IsShort());
  t = "abc";
  EXPECT_FALSE(t.IsShort());
  copy.RemoveAll();
  EXPECT_FALSE(copy.IsShort());
}

TEST(Str, CompareAsUnsignedBytes) {
  struct Case {
    const char *a, *b;
    int sign;
  } cases[] = {{"abc", "abd", -1}, {"abc", "ab", 1}, {"", nullptr, 0}, {"\xe9", "z", 1}, {"A", "a", -1}, {"x", "x", 0}};
  for (const Case& c : cases) {
    CStrA a(c.a), b(c.b);
    int r = a.Compare(b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a;
    EXPECT_EQ(a == b, c.sign == 0);
    EXPECT_EQ(a < b, c.sign < 0);
  }
}

TEST(Str, WideStringUsesTwoByteUnits) {
  CStrW w(u"h\u00e9!");
  EXPECT_EQ(w.m_nSize, 4);
  EXPECT_EQ(sizeof(w.m_pData[0]), 2u);
  w.Append(u"xyz", 2);
  EXPECT_EQ(w.m_nSize, 6);
  EXPECT_EQ(w.m_pData[4], u'y');
  EXPECT_EQ(w.m_nAllocBytes, 56u);  // 6 units are 12 bytes
  w.RemoveAt(0, 2);
  EXPECT_EQ(w.m_pData[0], u'!');
  CStrW copy(w);
  EXPECT_TRUE(copy == w);
}
