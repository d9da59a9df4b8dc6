#include "support/sys_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "platform/kernel/time.h"

namespace {

struct DateCase {
  int year, month, day;
  int dayOfWeek, dayOfYear;
};

TEST(SysTime, WeekdayAndDayOfYear) {
  const DateCase cases[] = {
      {2000, 1, 1, 6, 1},     {1900, 3, 1, 4, 60},   {2024, 2, 29, 4, 60},  {2000, 12, 31, 0, 366},
      {1900, 12, 31, 1, 365}, {0, 1, 1, 6, 1},       {0, 12, 31, 0, 366},   {1, 1, 1, 1, 1},
      {2026, 12, 7, 1, 341},  {400, 3, 1, 3, 61},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(CSysTime::GetDayOfWeek(c.year, c.month, c.day), c.dayOfWeek);
    EXPECT_EQ(CSysTime::GetDayOfYear(c.year, c.month, c.day), c.dayOfYear);
  }
}

TEST(SysTime, MatchesStdChronoOverRandomDates) {
  using namespace std::chrono;
  const sys_days origin = sys_days(year(0) / January / 1);
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> dayDist(0, 3652424);  // 0000-01-01 .. 9999-12-31
  for (int i = 0; i < 5000; ++i) {
    const sys_days d = origin + days(dayDist(rng));
    const year_month_day ymd(d);
    const int y = static_cast<int>(ymd.year());
    const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int dd = static_cast<int>(static_cast<unsigned>(ymd.day()));
    const int64_t number = (d - origin).count();
    ASSERT_EQ(CSysTime::GetDayNumber(y, m, dd), number) << y << "-" << m << "-" << dd;
    ASSERT_EQ(CSysTime::GetDayOfWeek(y, m, dd), static_cast<int>(weekday(d).c_encoding()));

    // Back from milliseconds, with a time of day.
    const int64_t msOfDay = (static_cast<int64_t>(i) * 7919) % 86400000;
    CSysTime t(number * 86400000 + msOfDay);
    ASSERT_EQ(t.wYear, y);
    ASSERT_EQ(t.wMonth, m);
    ASSERT_EQ(t.wDay, dd);
    ASSERT_EQ(t.wDayOfWeek, weekday(d).c_encoding());
    ASSERT_EQ(t.wHour, msOfDay / 3600000);
    ASSERT_EQ(t.wMinute, msOfDay / 60000 % 60);
    ASSERT_EQ(t.wSecond, msOfDay / 1000 % 60);
    ASSERT_EQ(t.wMilliseconds, msOfDay % 1000);
  }
}

TEST(SysTime, FromMillisecondsEdges) {
  CSysTime zero(int64_t{0});
  EXPECT_EQ(zero.wYear, 0);
  EXPECT_EQ(zero.wMonth, 1);
  EXPECT_EQ(zero.wDay, 1);
  EXPECT_EQ(zero.wDayOfWeek, 6);
  EXPECT_EQ(zero.wHour + zero.wMinute + zero.wSecond + zero.wMilliseconds, 0);

  CSysTime year1(int64_t{86400000} * 366);
  EXPECT_EQ(year1.wYear, 1);
  EXPECT_EQ(year1.wMonth, 1);
  EXPECT_EQ(year1.wDay, 1);
  EXPECT_EQ(year1.wDayOfWeek, 1);

  // A negative count cannot be held by the 16-bit year: it is taken as day 0.
  CSysTime negative(int64_t{-1});
  EXPECT_EQ(negative.wYear, 0);
  EXPECT_EQ(negative.wMonth, 1);
  EXPECT_EQ(negative.wDay, 1);
  EXPECT_EQ(negative.wMilliseconds, 0);

  // The default value is day 0.
  CSysTime def;
  EXPECT_EQ(def.wDayOfWeek, 6);
  EXPECT_EQ(def.wMonth, 1);
}

TEST(SysTime, TmRoundTrip) {
  CSysTime t(2024, 3, 1, 13, 14, 15, 999);
  tm out{};
  t.ToTm(out);
  EXPECT_EQ(out.tm_yday, 60);
  EXPECT_EQ(out.tm_isdst, -1);
  EXPECT_EQ(out.tm_year, 124);
  EXPECT_EQ(out.tm_mon, 2);
  EXPECT_EQ(out.tm_wday, 5);
  CSysTime back(out);
  EXPECT_EQ(back.wYear, 2024);
  EXPECT_EQ(back.wMonth, 3);
  EXPECT_EQ(back.wDay, 1);
  EXPECT_EQ(back.wHour, 13);
  EXPECT_EQ(back.wMilliseconds, 0);
}

TEST(SysTime, ExpandTwoDigitYearAroundTheCurrentYear) {
  SetLocalTimeSource([] {
    SYSTEMTIME st;
    st.wYear = 2026;
    st.wMonth = 6;
    st.wDay = 1;
    return st;
  });
  EXPECT_EQ(ExpandTwoDigitYear(75), 2075);
  EXPECT_EQ(ExpandTwoDigitYear(76), 1976);
  EXPECT_EQ(ExpandTwoDigitYear(0), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(99), 1999);
  SetLocalTimeSource(nullptr);
  EXPECT_EQ(ExpandTwoDigitYear(50, 2050), 2050);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2050), 2099);
  EXPECT_EQ(ExpandTwoDigitYear(0, 2050), 2000);
}

}  // namespace
