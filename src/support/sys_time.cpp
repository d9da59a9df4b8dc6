#include "support/sys_time.h"

#include "platform/kernel/time.h"

namespace {

const int kDaysBeforeMonth[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
};

// Month numbers outside 1..12 are clamped so that a bad field never indexes past the tables.
int MonthIndex(int month) {
  if (month < 1) return 0;
  if (month > 12) return 11;
  return month - 1;
}

// Days from the start of a 400-year cycle to 1 January of its year y (0 <= y < 400).
int64_t DaysBeforeCycleYear(int64_t y) {
  if (y == 0) return 0;
  return y * 365 + 1 + (y - 1) / 4 - (y - 1) / 100;
}

}  // namespace

bool CSysTime::IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int CSysTime::GetDayOfYear(int year, int month, int day) {
  return kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0][MonthIndex(month)] + day;
}

int64_t CSysTime::GetDayNumber(int year, int month, int day) {
  const int64_t q = year / 400;
  const int r = year % 400;
  return q * 146097 + DaysBeforeCycleYear(r) + GetDayOfYear(r, month, day) - 1;
}

int CSysTime::GetDayOfWeek(int year, int month, int day) {
  const int r = year % 400;
  const int d = r == 0 ? 6 : r + 7 + (r - 1) / 4 - (r - 1) / 100;
  return (d + GetDayOfYear(r, month, day) - 1) % 7;
}

void CSysTime::Set(int year, int month, int day, int hour, int minute, int second, int milliseconds) {
  SetDate(year, month, day);
  SetTime(hour, minute, second, milliseconds);
}

void CSysTime::SetDate(int year, int month, int day) {
  wYear = static_cast<WORD>(year);
  wMonth = static_cast<WORD>(month);
  wDay = static_cast<WORD>(day);
  wDayOfWeek = static_cast<WORD>(GetDayOfWeek(year, month, day));
}

void CSysTime::SetTime(int hour, int minute, int second, int milliseconds) {
  wHour = static_cast<WORD>(hour);
  wMinute = static_cast<WORD>(minute);
  wSecond = static_cast<WORD>(second);
  wMilliseconds = static_cast<WORD>(milliseconds);
}

void CSysTime::FromMilliseconds(int64_t ms) {
  if (ms < 0) ms = 0;
  wMilliseconds = static_cast<WORD>(ms % 1000);
  wSecond = static_cast<WORD>((ms / 1000) % 60);
  wMinute = static_cast<WORD>((ms / 60000) % 60);
  wHour = static_cast<WORD>((ms / 3600000) % 24);
  const int64_t days = ms / 86400000;
  wDayOfWeek = static_cast<WORD>((days + 6) % 7);

  int64_t year = (days / 146097) * 400;
  int64_t r = days % 146097;
  if (r == 0) {
    wYear = static_cast<WORD>(year);
    wMonth = 1;
    wDay = 1;
    return;
  }
  for (int64_t y = r / 365; y >= 1; --y) {
    const int64_t before = DaysBeforeCycleYear(y);
    if (before <= r) {
      r -= before;
      year += y;
      break;
    }
  }
  const int dayOfYear = static_cast<int>(r) + 1;
  const int* table = kDaysBeforeMonth[IsLeapYear(static_cast<int>(year % 400)) ? 1 : 0];
  int month = 12;
  for (int m = 1; m <= 11; ++m) {
    if (table[m] >= dayOfYear) {
      month = m;
      break;
    }
  }
  wYear = static_cast<WORD>(year);
  wMonth = static_cast<WORD>(month);
  wDay = static_cast<WORD>(dayOfYear - table[month - 1]);
}

void CSysTime::FromTm(const tm& t) {
  wYear = static_cast<WORD>(t.tm_year + 1900);
  wMonth = static_cast<WORD>(t.tm_mon + 1);
  wDayOfWeek = static_cast<WORD>(t.tm_wday);
  wDay = static_cast<WORD>(t.tm_mday);
  wHour = static_cast<WORD>(t.tm_hour);
  wMinute = static_cast<WORD>(t.tm_min);
  wSecond = static_cast<WORD>(t.tm_sec);
  wMilliseconds = 0;
}

void CSysTime::ToTm(tm& t) const {
  t.tm_sec = wSecond;
  t.tm_min = wMinute;
  t.tm_hour = wHour;
  t.tm_mday = wDay;
  t.tm_mon = wMonth - 1;
  t.tm_year = wYear - 1900;
  t.tm_wday = wDayOfWeek;
  t.tm_yday = GetDayOfYear(wYear, wMonth, wDay) - 1;
  t.tm_isdst = -1;
}

SYSTEMTIME CSysTime::ToSystemTime() const {
  SYSTEMTIME st;
  st.wYear = wYear;
  st.wMonth = wMonth;
  st.wDayOfWeek = wDayOfWeek;
  st.wDay = wDay;
  st.wHour = wHour;
  st.wMinute = wMinute;
  st.wSecond = wSecond;
  st.wMilliseconds = wMilliseconds;
  return st;
}

void CSysTime::FromSystemTime(const SYSTEMTIME& st) {
  wYear = st.wYear;
  wMonth = st.wMonth;
  wDayOfWeek = st.wDayOfWeek;
  wDay = st.wDay;
  wHour = st.wHour;
  wMinute = st.wMinute;
  wSecond = st.wSecond;
  wMilliseconds = st.wMilliseconds;
}

int ExpandTwoDigitYear(int yy, int currentYear) {
  const int p = currentYear + 50;
  const int c = (p / 100) * 100 + yy;
  return c < p ? c : c - 100;
}

int ExpandTwoDigitYear(int yy) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return ExpandTwoDigitYear(yy, now.wYear);
}
