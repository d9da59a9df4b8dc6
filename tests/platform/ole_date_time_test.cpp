#include "platform/app/ole_date_time.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>

namespace ch = std::chrono;

TEST(OleDateTime, AgreesWithChronoOverRandomDates) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> year(100, 9999), month(1, 12), day(1, 31), hour(0, 23), minsec(0, 59);
  const ch::sys_days epoch = ch::year{1899} / 12 / 30;
  for (int i = 0; i < 5000; ++i) {
    const int y = year(rng), m = month(rng), d = day(rng), h = hour(rng), mi = minsec(rng), s = minsec(rng);
    const ch::year_month_day ymd{ch::year{y}, ch::month{static_cast<unsigned>(m)}, ch::day{static_cast<unsigned>(d)}};
    COleDateTime dt(y, m, d, h, mi, s);
    if (!ymd.ok()) {
      EXPECT_EQ(dt.GetStatus(), COleDateTime::invalid) << y << "-" << m << "-" << d;
      continue;
    }
    ASSERT_EQ(dt.GetStatus(), COleDateTime::valid);
    const long days = (ch::sys_days(ymd) - epoch).count();
    const double time = (h * 3600 + mi * 60 + s) / 86400.0;
    EXPECT_DOUBLE_EQ(dt.m_dt, days >= 0 ? days + time : days - time);
    const ch::weekday wd{ch::sys_days(ymd)};
    EXPECT_EQ(dt.GetDayOfWeek(), static_cast<int>(wd.c_encoding()) + 1);
    const long doy = (ch::sys_days(ymd) - ch::sys_days(ch::year{y} / 1 / 1)).count() + 1;
    EXPECT_EQ(dt.GetDayOfYear(), doy);
    // Parts come back from the stored double.
    COleDateTime back(dt.m_dt);
    EXPECT_EQ(back.GetYear(), y);
    EXPECT_EQ(back.GetMonth(), m);
    EXPECT_EQ(back.GetDay(), d);
    EXPECT_EQ(back.GetHour(), h);
    EXPECT_EQ(back.GetMinute(), mi);
    EXPECT_EQ(back.GetSecond(), s);
    // One day later is the next calendar day.
    const ch::year_month_day next{ch::sys_days(ymd) + ch::days{1}};
    if (next.year() <= ch::year{9999}) {
      const COleDateTime n = dt + COleDateTimeSpan(1, 0, 0, 0);
      EXPECT_EQ(n.GetDay(), static_cast<int>(static_cast<unsigned>(next.day())));
      EXPECT_EQ(n.GetHour(), h);
    }
  }
}

TEST(OleDateTime, CalendarCheckAndRange) {
  struct Case { int y, m, d, h, mi, s; bool valid; };
  const Case cases[] = {{1993, 2, 30, 0, 0, 0, false}, {1993, 6, 1, 0, 0, 0, true}, {2000, 2, 29, 0, 0, 0, true},
                        {1900, 2, 29, 0, 0, 0, false}, {99, 12, 31, 0, 0, 0, false}, {100, 1, 1, 0, 0, 0, true},
                        {9999, 12, 31, 23, 59, 59, true}, {10000, 1, 1, 0, 0, 0, false},
                        {2001, 13, 1, 0, 0, 0, false}, {2001, 1, 0, 0, 0, 0, false}, {2001, 0, 1, 0, 0, 0, false},
                        {2001, 1, 1, 24, 0, 0, false}, {2001, 1, 1, 0, 60, 0, false}};
  for (const auto& c : cases) {
    COleDateTime dt(c.y, c.m, c.d, c.h, c.mi, c.s);
    EXPECT_EQ(dt.GetStatus() == COleDateTime::valid, c.valid) << c.y << "-" << c.m << "-" << c.d;
  }
  EXPECT_EQ(COleDateTime(1993, 2, 30, 0, 0, 0).GetYear(), -1);
}

TEST(OleDateTime, NegativeValuesCountDaysBackAndAddTheTime) {
  COleDateTime dt(1899, 12, 29, 6, 0, 0);
  EXPECT_DOUBLE_EQ(dt.m_dt, -1.25);
  // Six hours later crosses day 0 correctly.
  const COleDateTime later = dt + COleDateTimeSpan(0, 20, 0, 0);
  EXPECT_EQ(later.GetDay(), 30);
  EXPECT_EQ(later.GetHour(), 2);
  EXPECT_TRUE(COleDateTime(-1.25) > COleDateTime(-1.0));  // 06:00 on the 29th is after its midnight
  EXPECT_NEAR((COleDateTime(0.0) - dt).GetTotalHours(), 18.0, 1e-9);
  // The compound forms step the same way, across day 0 and back.
  COleDateTime stepped = dt;
  stepped += COleDateTimeSpan(0, 20, 0, 0);
  EXPECT_TRUE(stepped == later);
  stepped -= COleDateTimeSpan(0, 20, 0, 0);
  EXPECT_DOUBLE_EQ(stepped.m_dt, -1.25);
  // An invalid side makes an invalid sum.
  COleDateTimeSpan bad(1.0);
  bad.m_status = COleDateTimeSpan::invalid;
  EXPECT_EQ((dt + bad).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ((COleDateTime(1993, 2, 30, 0, 0, 0) + COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::invalid);
}

TEST(OleDateTime, ComparisonsAndEquality) {
  const COleDateTime a(2000, 1, 1, 0, 0, 0);
  COleDateTime invalid(2000, 2, 31, 0, 0, 0);
  COleDateTime nul;
  nul.SetStatus(COleDateTime::null);
  COleDateTime nul2;
  nul2.SetStatus(COleDateTime::null);
  EXPECT_TRUE(a == COleDateTime(a.m_dt + 0.4 / 86400));
  EXPECT_FALSE(a == COleDateTime(a.m_dt + 0.6 / 86400));
  EXPECT_TRUE(nul == nul2);
  EXPECT_FALSE(invalid == invalid);
  EXPECT_FALSE(invalid < a);
  EXPECT_FALSE(a < invalid);
  EXPECT_FALSE(invalid <= a);
  EXPECT_FALSE(a <= invalid);
  EXPECT_FALSE(a >= invalid);
  EXPECT_TRUE(a <= a);
  EXPECT_TRUE(a < COleDateTime(2000, 1, 2, 0, 0, 0));
  COleDateTimeSpan badSpan(1.0);
  badSpan.SetStatus(COleDateTimeSpan::invalid);
  EXPECT_FALSE(badSpan < COleDateTimeSpan(2.0));
  EXPECT_FALSE(COleDateTimeSpan(0.5) < badSpan);
  EXPECT_TRUE(COleDateTimeSpan(0.5) < COleDateTimeSpan(2.0));
}

TEST(OleDateTime, FormatsInEnglish) {
  const COleDateTime dt(1995, 1, 1, 7, 5, 9);
  EXPECT_EQ(dt.Format("%m/%d/%Y (%a)"), "01/01/1995 (Sun)");
  EXPECT_EQ(dt.Format("%m/%d/%y (%a) %b %H:%M:%S"), "01/01/95 (Sun) Jan 07:05:09");
  EXPECT_EQ(dt.Format("DATA%Y\\%Y%m%d.DAT"), "DATA1995\\19950101.DAT");
  EXPECT_EQ(dt.Format("%p"), "AM");
  EXPECT_EQ(dt.Format(""), "");
  COleDateTime nul;
  nul.SetStatus(COleDateTime::null);
  EXPECT_EQ(nul.Format("%Y"), "");
  EXPECT_EQ(COleDateTime(1993, 2, 30, 0, 0, 0).Format("%Y"), "Invalid DateTime");
}

TEST(OleDateTime, CurrentTimeComesFromTheSettableClock) {
  SetLocalTimeSource([] {
    SYSTEMTIME st;
    st.wYear = 2026; st.wMonth = 3; st.wDay = 4; st.wHour = 5; st.wMinute = 6; st.wSecond = 7; st.wMilliseconds = 999;
    return st;
  });
  const COleDateTime now = COleDateTime::GetCurrentTime();
  SetLocalTimeSource(nullptr);
  EXPECT_EQ(now, COleDateTime(2026, 3, 4, 5, 6, 7));
  const SYSTEMTIME real = GetLocalTime();
  EXPECT_GE(real.wYear, 2024);
}

TEST(OleDateTime, ValuesOutsideTheCalendarRangeAreInvalid) {
  const double day0100 = COleDateTime(100, 1, 1, 0, 0, 0).m_dt;
  struct Case { double value; bool valid; };
  const Case cases[] = {{day0100, true}, {day0100 - 0.5, true}, {day0100 - 1.0, false},
                        {COleDateTime(9999, 12, 31, 23, 59, 59).m_dt, true}, {2958466.0, false},
                        {std::nan(""), false}, {HUGE_VAL, false}};
  for (const auto& c : cases) EXPECT_EQ(COleDateTime(c.value).GetStatus() == COleDateTime::valid, c.valid) << c.value;
}

// A date built by a static initialiser, as the program's globals are.
static const COleDateTime g_cutover(1993, 6, 1, 0, 0, 0);

TEST(OleDateTime, StaticInitialisersGetRightValues) {
  EXPECT_EQ(g_cutover.GetStatus(), COleDateTime::valid);
  EXPECT_DOUBLE_EQ(g_cutover.m_dt, 34121.0);
}
