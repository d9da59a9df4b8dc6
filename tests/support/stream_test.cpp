#include "support/stream.h"

#include "containers/mthread_array.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Bytes(const CStream& s) { return std::string(reinterpret_cast<const char*>(s.m_pData), s.m_nSize); }

std::u16string Units(const CStream& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.m_pData), s.m_nSize / 2);
}

void ExpectDefaults(const CStream& s) {
  EXPECT_EQ(s.m_nPriority, 0);
  EXPECT_EQ(s.m_nId, 0xFFFFFFFFu);
  EXPECT_EQ(s.m_nSeekMode, 1u);
  EXPECT_EQ(s.m_nPosition, 0);
}

TEST(Stream, DefaultsAndEmpty) {
  CStream s;
  ExpectDefaults(s);
  EXPECT_EQ(s.m_nSize, 0);
  s.AppendString("abc");
  s.m_nPriority = 4;
  s.m_nId = 9;
  s.m_nSeekMode = 0;
  s.m_nPosition = 77;
  s.Empty();
  ExpectDefaults(s);
  EXPECT_EQ(s.m_nSize, 0);
  CStream sized(100);
  ExpectDefaults(sized);
  EXPECT_GE(sized.m_nAllocBytes, 100u);
}

// Streams in object arrays are equal and ordered by their priorities alone, whatever their bytes.
TEST(Stream, ArraysCompareStreamsByPriority) {
  const unsigned char a[] = {1, 2}, b[] = {9};
  CObjMThreadArray<CStream> q;
  q.SafeAddUnique(CStream(a, 2, 5));
  q.SafeAddUnique(CStream(b, 1, 5));
  ASSERT_EQ(q.m_nSize, 1);
  EXPECT_EQ(Bytes(*q.m_pData[0]), std::string("\x01\x02", 2));
  q.SafeInsertSorted(CStream(b, 1, 3), true);
  q.SafeInsertSorted(CStream(a, 1, -2), true);
  const int priorities[] = {-2, 3, 5};
  ASSERT_EQ(q.m_nSize, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(q.m_pData[i]->m_nPriority, priorities[i]);
  EXPECT_EQ(q.FindSorted(CStream(b, 1, 5), true), 2);
}

TEST(Stream, AppendTakesTheLargerPriority) {
  struct Case {
    int mine, theirs, result;
  };
  const Case cases[] = {{2, 5, 5}, {3, -1, 3}, {0, 0, 0}, {-4, -2, -2}};
  for (const Case& c : cases) {
    CStream a("ab");
    CStream b("cd");
    a.m_nPriority = c.mine;
    b.m_nPriority = c.theirs;
    a.Append(b);
    EXPECT_EQ(a.m_nPriority, c.result);
    EXPECT_EQ(Bytes(a), "abcd");
  }
}

TEST(Stream, CountedText) {
  struct Case {
    const char* start;
    const char* text;
    int count;
    const char* result;
  };
  const Case cases[] = {
      {"", "abcdef", 3, "abc"}, {"xy", "abcdef", 3, "xyabc"}, {"xy", "ab", 10, "xyab"},
      {"", "ab", 0, ""},        {"q", "", 5, "q"},
  };
  for (const Case& c : cases) {
    CStream s(c.start);
    s.AppendText(c.text, c.count);
    EXPECT_EQ(Bytes(s), c.result);
    // The terminator is stored after the counted bytes but not counted.
    ASSERT_GT(s.m_nAllocBytes, static_cast<uint64_t>(s.m_nSize));
    EXPECT_EQ(s.m_pData[s.m_nSize], 0);
  }
  CStream a;
  a.AssignText("hello", 4);
  EXPECT_EQ(Bytes(a), "hell");
}

TEST(Stream, FormatGrowsUntilTheTextFits) {
  CStream s("x");
  const std::string longText(5000, 'q');
  s.AppendFormat("%s-%d", longText.c_str(), 42);
  EXPECT_EQ(Bytes(s), "x" + longText + "-42");
  EXPECT_EQ(s.m_pData[s.m_nSize], 0);
  s.Format("%05.1f|%s", 3.14159, "z");
  EXPECT_EQ(Bytes(s), "003.1|z");
  // An argument inside the stream's own block stays valid while it grows.
  CStream self("0123456789");
  self.AppendFormat("%s%s%s", self.c_str(), self.c_str(), self.c_str());
  EXPECT_EQ(Bytes(self), std::string(40, ' ').replace(0, 40, "0123456789012345678901234567890123456789"));
}

TEST(Stream, ErrorTexts) {
  CStream s;
  s.AppendErrorText(2, nullptr, "Open");
  const std::string text = Bytes(s);
  EXPECT_EQ(text.rfind("Open: ", 0), 0u);
  EXPECT_GT(text.size(), 6u);
  EXPECT_NE(text.back(), '\n');  // the CR LF of the system text is dropped
  EXPECT_NE(text.back(), '\r');

  s.SetErrorText(0x10000);
  EXPECT_EQ(Bytes(s), "The hardware detected a framing error.");
  s.SetErrorText(0x10003, "T: ", nullptr);
  EXPECT_EQ(Bytes(s), "T: General or driver-specific warning.");
  s.SetErrorText(0x10005);
  EXPECT_EQ(Bytes(s), "Windows Error Code 65541");

  CStream w;
  w.SetErrorText(0x10004, u"x", u"p");
  EXPECT_EQ(Units(w), u"p: xNon-blank data was truncated.");
}

TEST(Stream, PeekAndExtract) {
  CStream s("abcdef");
  s.m_nPriority = 3;
  s.m_nId = 11;
  s.m_nSeekMode = 2;
  s.m_nPosition = -5;
  CStream d("zz");
  EXPECT_EQ(s.Peek(d, 4, 10), 2);
  EXPECT_EQ(Bytes(d), "ef");
  EXPECT_EQ(d.m_nPriority, 3);
  EXPECT_EQ(d.m_nId, 11u);
  EXPECT_EQ(d.m_nSeekMode, 2u);
  EXPECT_EQ(d.m_nPosition, -5);
  // An index past the end copies nothing instead of a negative count.
  EXPECT_EQ(s.Peek(d, 9, 3), 0);
  EXPECT_EQ(d.m_nSize, 0);
  EXPECT_EQ(s.Extract(d, 1, 2), 2);
  EXPECT_EQ(Bytes(d), "bc");
  EXPECT_EQ(Bytes(s), "adef");
  EXPECT_EQ(s.Extract(d, 2, 100), 2);
  EXPECT_EQ(Bytes(s), "ad");
}

TEST(Stream, AssignmentAndSelfOperations) {
  CStream a("abc");
  a.m_nPriority = 2;
  a = a;
  EXPECT_EQ(Bytes(a), "abc");
  EXPECT_EQ(a.m_nPriority, 2);
  CStream b;
  b = a;
  EXPECT_EQ(Bytes(b), "abc");
  EXPECT_EQ(b.m_nPriority, 2);
  // Appending a stream to itself doubles it, even when the block has to move.
  for (int i = 0; i < 6; ++i) a.Append(a);
  EXPECT_EQ(a.m_nSize, 3 * 64);
  EXPECT_EQ(Bytes(a).substr(0, 9), "abcabcabc");
  CStream c("xyz");
  c.AppendText(reinterpret_cast<const char*>(c.m_pData), 3);
  EXPECT_EQ(Bytes(c), "xyzxyz");
}

TEST(Stream, BytesFillAndCopyConstruction) {
  CStream s;
  s.AppendByte('a');
  s.Fill(3, 'b');
  s.AppendByte('c');
  EXPECT_EQ(Bytes(s), "abbbc");
  for (int i = 0; i < 1000; ++i) s.AppendByte('d');
  EXPECT_GE(s.m_nAllocBytes, 1005u);  // the block grows byte by byte
  const unsigned char raw[] = {1, 0, 2};
  CStream r(raw, 3, -7);
  EXPECT_EQ(r.m_nSize, 3);
  EXPECT_EQ(r.m_nPriority, -7);
  CStream copy(r);
  EXPECT_EQ(copy.m_nPriority, -7);
  EXPECT_EQ(std::memcmp(copy.m_pData, raw, 3), 0);
  CStream w(u"x");
  w.Fill(2, u'\x20AC');
  EXPECT_EQ(Units(w), u"x\x20AC\x20AC");
}

TEST(Stream, WideText) {
  CStream w(u"h\x00E9llo");
  EXPECT_EQ(w.m_nSize, 10);
  w.AppendWideText(u"wxyz", 2);
  EXPECT_EQ(Units(w), u"h\x00E9llowx");
  CStream f;
  f.Format(u"%s|%hs|%d|%5.2f|%-4c|%x", u"wide", "narrow\xE9", -12, 2.5, u'Z', 255u);
  EXPECT_EQ(Units(f), u"wide|narrow\x00E9|-12| 2.50|Z   |ff");
  f.AppendFormat(u"%%%3s", u"a");
  EXPECT_EQ(Units(f).substr(Units(f).size() - 4), u"%  a");
  f.Format(u"[%.0s|%.2s|%.0hs]", u"wide", u"wide", "narrow");
  EXPECT_EQ(Units(f), u"[|wi|]");
}

TEST(Stream, TimeFormatting) {
  tm t{};
  t.tm_year = 124;
  t.tm_mon = 2;
  t.tm_mday = 1;
  t.tm_wday = 5;
  t.tm_hour = 9;
  CStream s("at ");
  s.AppendTime("%a %b %d %H", &t);
  EXPECT_EQ(Bytes(s), "at Fri Mar 01 09");
  s.FormatTime("%Y", &t);
  EXPECT_EQ(Bytes(s), "2024");
  // An empty expansion ends with an empty text instead of growing for ever.
  s.FormatTime("%p", &t);
  s.FormatTime("", &t);
  EXPECT_EQ(s.m_nSize, 0);
  CStream w;
  w.FormatTime(u"%A \U0001F4C5", &t);  // text outside the BMP keeps its surrogate pair
  EXPECT_EQ(Units(w), u"Friday \U0001F4C5");
}

TEST(Stream, HostAddress) {
  CStream s;
  s.m_nPosition = static_cast<int64_t>(0x1234567800000000ULL);
  ASSERT_EQ(s.SetHostAddress("127.0.0.1"), 0u);
  EXPECT_EQ(static_cast<uint64_t>(s.m_nPosition), 0x123456787F000001ULL);
  // Names that fail without asking a name server.
  EXPECT_EQ(s.SetHostAddress(""), 11001u);
  EXPECT_EQ(s.SetHostAddress("bad..name"), 11001u);
  EXPECT_EQ(static_cast<uint64_t>(s.m_nPosition), 0x123456787F000001ULL);
}

}  // namespace
