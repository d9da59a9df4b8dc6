// The report formatter against the C library for every kind of field the reports use.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

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
  for (int v : {0, 5, -5, 7, 12, 99, 100, 1023, 65535, -1, INT_MAX, INT_MIN}) {
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
}

}  // namespace
