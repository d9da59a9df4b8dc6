// The report formatter against the C library for every kind of field the reports use.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "containers/mem_mgr.h"
#include "trafficdata/report_text.h"

namespace {

template <class... A>
void Same(const char* fmt, A... args) {
  char ours[256], libc[256];
  int n = FormatReportText(ours, sizeof ours, fmt, args...);
  int m = std::snprintf(libc, sizeof libc, fmt, args...);
  EXPECT_EQ(n, m) << fmt;
  EXPECT_STREQ(ours, libc) << fmt;
}

TEST(ReportText, MatchesTheCLibrary) {
  for (int v : {0, 5, -5, 7, 10, 12, 99, 100, 1023, 65535, 0xABCDEF, -1, INT_MAX, INT_MIN}) {
    Same("%d|%2d|%02d|%4d|%-4d|%04d|%i|%17i|%14i.%1i%%", v, v, v, v, v, v, v, v, v / 10, v % 10);
    Same("%u|%4u|%5u|%8u|%2u.%1u%%|%3u.%1u%%|%x", unsigned(v), unsigned(v), unsigned(v), unsigned(v),
         unsigned(v) / 10, unsigned(v) % 10, unsigned(v) / 10, unsigned(v) % 10, unsigned(v));
  }
  Same("%s VAL %6u|%17.17s|%7.7s:%7.7s|%s\t|%c|%-6s|", "Daily     ", 2880u, "Some Suspect Data plus", "005es16520",
       "_MS___1", "", 'S', "ab");
  Same("UNKNOWN [0x%x]|%02i:%02i:%02i|%3i.%02i", 0xffffffffu, 5, 33, 20, -1, -5);
  Same("%5.1f and %ld use the library", 2.25, 7L);
  char small[8];
  EXPECT_EQ(FormatReportText(small, sizeof small, "%17i", 3), 17);
  EXPECT_STREQ(small, "       ");
}

TEST(ReportText, AppendsLongText) {
  CStr<char, wchar_t> out("x");
  std::string longText(900, 'a');
  AppendReportText(out, "%s|%4u", longText.c_str(), 12u);
  EXPECT_EQ(std::string(out.m_pData), "x" + longText + "|  12");
  CStr<char, wchar_t> unset;  // no block yet: the text becomes its first contents
  AppendReportText(unset, "%s", "ab");
  EXPECT_STREQ(unset.m_pData, "ab");
}

// The field writer of the fixed line layouts against the C library.
TEST(ReportLine, FieldsMatchTheCLibrary) {
  for (int v : {0, 5, -5, 7, 9, 10, 12, 99, 100, 999, 1000, 1023, 9999, 10000, 65535, 99999, 100000, 999999999,
                1000000000, -1, -9, -10, -1000, INT_MAX, INT_MIN})
    for (int w : {0, 1, 2, 3, 4, 6, 8, 14, 17}) {
      char fmt[48], libc[160], ours[160];
      std::snprintf(fmt, sizeof fmt, "%%%dd|%%0%dd|%%%du|%%%du.%%1u|%%%dd.%%1d", w, w, w, w, w);
      std::snprintf(libc, sizeof libc, fmt, v, v, unsigned(v), unsigned(v) / 10, unsigned(v) % 10, v / 10, v % 10);
      CReportLine line;
      line.I(v, w).Lit("|").Z(v, w).Lit("|").U(unsigned(v), w).Lit("|").Tenths(unsigned(v), w).Lit("|");
      line.I(v / 10, w).Lit(".").I(v % 10, 1);
      line.CopyTo(ours, sizeof ours);
      EXPECT_STREQ(ours, libc) << fmt << " " << v;
    }
  // Stored as snprintf stores: cut to the buffer, NUL-terminated; nothing at all into no room.
  CReportLine line;
  line.Str("Daily     ").Lit(" VAL ").U(2880, 6);
  for (size_t size : {1u, 2u, 5u, 21u, 22u, 40u}) {
    char libc[40], ours[40];
    std::memset(ours, '#', sizeof ours);
    std::snprintf(libc, size, "%s VAL %6u", "Daily     ", 2880u);
    line.CopyTo(ours, size);
    EXPECT_STREQ(ours, libc) << size;
  }
  char untouched = '#';
  line.CopyTo(&untouched, 0);
  EXPECT_EQ(untouched, '#');
  // A line never runs past its room.
  CReportLine full;
  full.Pad(' ', 1000).Lit("tail").U(12345, 30);
  EXPECT_EQ(full.Size(), CReportLine::kRoom);
  // A field that reaches past the room is cut where the room ends, as snprintf cuts.
  for (int left : {0, 1, 3, 4, 7, 9}) {
    CReportLine near;
    near.Pad('.', static_cast<int>(CReportLine::kRoom) - left).U(123456, 8).I(-42, 4);
    char libc[16], ours[CReportLine::kRoom + 1];
    std::snprintf(libc, static_cast<size_t>(left) + 1, "%8u%4d", 123456u, -42);
    near.CopyTo(ours, sizeof ours);
    EXPECT_EQ(near.Size(), CReportLine::kRoom) << left;
    EXPECT_STREQ(ours + CReportLine::kRoom - left, libc) << left;
  }
}

TEST(ReportLine, WritesBehindATextUntilEnd) {
  CStr<char, wchar_t> out("head|");
  {
    CReportLine line(out);
    line.Lit("\t").Z(7, 2).Lit(":00");
    line.End();
    line.End();  // once only
  }
  CReportLine second(out);
  second.Str("x").I(-3, 3);
  EXPECT_EQ(out.m_nSize, 12);  // not yet part of the text
  second.End();
  EXPECT_STREQ(out.m_pData, "head|\t07:00x -3");
  EXPECT_EQ(out.m_nSize, static_cast<int>(std::strlen(out.m_pData)) + 1);
  CStr<char, wchar_t> never;  // a text never assigned starts empty
  CReportLine third(never);
  third.Lit("ab").End();
  EXPECT_STREQ(never.m_pData, "ab");
}

// Without the large working room behind a text, a line is made aside and takes only the room it
// needs: it is still added whole and the text is not short. Without even that room the text stays
// as it was and says it is short. (A 100-character text: the working room needs about 360 bytes,
// the line alone about 130.)
TEST(ReportLine, ALineWithoutItsWorkingRoomIsAddedWholeOrMarksTheTextShort) {
  const std::string head(100, 'h'), line(30, 'x');
  const struct {
    long failAbove;
    bool whole;
  } cases[] = {{300, true}, {100, false}};
  for (const auto& c : cases) {
    for (int viaLine = 0; viaLine < 2; ++viaLine) {
      SCOPED_TRACE(testing::Message() << c.failAbove << (viaLine ? " CReportLine" : " AppendReportText"));
      CStr<char, wchar_t> out(head.c_str());
      CScalarMemMgr::SetProcessFailAbove(c.failAbove);
      const bool added = viaLine ? CReportLine(out).Str(line.c_str()).End() : AppendReportText(out, "%s", line.c_str());
      CScalarMemMgr::SetProcessFailAbove(-1);
      EXPECT_EQ(added, c.whole);
      EXPECT_EQ(out.IsShort(), !c.whole);
      EXPECT_EQ(std::string(out.m_pData), c.whole ? head + line : head);
      EXPECT_EQ(out.m_nSize, static_cast<int>(std::strlen(out.m_pData)) + 1);
    }
  }
}

}  // namespace
