#include "platform/app/ole_date_time.h"

#include "platform/kernel/time.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <cstring>
#include <locale.h>
#include <vector>

namespace {

// Days between 1970-01-01 and the given civil date (proleptic Gregorian).
constexpr int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Constant-initialised, so dates built by other files' static initialisers are right too.
constexpr int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);  // days from 1970-01-01 to day 0

// The smallest and largest values the class accepts: 0100-01-01 and 9999-12-31 23:59:59.
constexpr double kMinDate = static_cast<double>(DaysFromCivil(100, 1, 1) - kEpochOffset);
constexpr double kMaxDate = static_cast<double>(DaysFromCivil(9999, 12, 31) - kEpochOffset) + 86399.0 / 86400.0;

// The continuous day count of a stored value, and back.
double ToLinear(double dt) {
  if (dt >= 0) return dt;
  const double whole = std::trunc(dt);
  return whole + std::fabs(dt - whole);
}

double FromLinear(double linear) {
  if (linear >= 0) return linear;
  const double day = std::floor(linear);
  const double time = linear - day;
  return day - time;
}

bool InRange(double dt) { return std::isfinite(dt) && dt >= kMinDate - 1.0 && dt <= kMaxDate; }

struct Parts {
  int year, month, day, hour, minute, second, dayOfWeek, dayOfYear;
};

bool Breakdown(double dt, Parts& p) {
  if (!InRange(dt)) return false;
  const double linear = ToLinear(dt);
  const int64_t secs = static_cast<int64_t>(std::floor(linear * 86400.0 + 0.5));
  int64_t days = secs / 86400;
  int64_t sod = secs % 86400;
  if (sod < 0) {
    sod += 86400;
    --days;
  }
  const int64_t z = days + kEpochOffset;
  CivilFromDays(z, p.year, p.month, p.day);
  if (p.year < 100 || p.year > 9999) return false;
  p.hour = static_cast<int>(sod / 3600);
  p.minute = static_cast<int>(sod / 60 % 60);
  p.second = static_cast<int>(sod % 60);
  p.dayOfWeek = static_cast<int>(((z % 7) + 11) % 7);  // 0 = Sunday (1970-01-01 was a Thursday)
  p.dayOfYear = static_cast<int>(z - DaysFromCivil(p.year, 1, 1)) + 1;
  return true;
}

bool FromParts(int year, int month, int day, int hour, int minute, int second, double& dt) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  const double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
  const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  dt = days >= 0 ? days + time : days - time;
  return true;
}

locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

}  // namespace

// ----- COleDateTimeSpan -----

COleDateTimeSpan::COleDateTimeSpan(double days) : m_span(days) {
  if (!std::isfinite(days)) m_status = invalid;
}

COleDateTimeSpan::COleDateTimeSpan(LONG days, int hours, int minutes, int seconds) {
  SetDateTimeSpan(days, hours, minutes, seconds);
}

void COleDateTimeSpan::SetDateTimeSpan(LONG days, int hours, int minutes, int seconds) {
  m_span = days + hours / 24.0 + minutes / 1440.0 + seconds / 86400.0;
  m_status = valid;
}

LONG COleDateTimeSpan::GetDays() const { return static_cast<LONG>(std::trunc(m_span)); }

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& other) const {
  COleDateTimeSpan r(m_span + other.m_span);
  if (m_status != valid || other.m_status != valid) r.m_status = invalid;
  return r;
}

COleDateTimeSpan COleDateTimeSpan::operator-(const COleDateTimeSpan& other) const {
  COleDateTimeSpan r(m_span - other.m_span);
  if (m_status != valid || other.m_status != valid) r.m_status = invalid;
  return r;
}

COleDateTimeSpan COleDateTimeSpan::operator-() const {
  COleDateTimeSpan r(-m_span);
  r.m_status = m_status;
  return r;
}

bool COleDateTimeSpan::operator==(const COleDateTimeSpan& other) const {
  return m_status == other.m_status && m_span == other.m_span;
}

bool COleDateTimeSpan::operator<(const COleDateTimeSpan& other) const {
  return m_status == valid && other.m_status == valid && m_span < other.m_span;
}

// ----- COleDateTime -----

COleDateTime::COleDateTime(double date) { *this = date; }

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second) {
  SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime::COleDateTime(const SYSTEMTIME& time) {
  SetDateTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

COleDateTime COleDateTime::GetCurrentTime() {
  const SYSTEMTIME now = GetLocalTime();
  return COleDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

COleDateTime& COleDateTime::operator=(double date) {
  m_dt = date;
  Parts p {};
  m_status = Breakdown(date, p) ? valid : invalid;
  return *this;
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  double dt = 0;
  if (FromParts(year, month, day, hour, minute, second, dt)) {
    m_dt = dt;
    m_status = valid;
    return 0;
  }
  m_dt = 0;
  m_status = invalid;
  return 1;
}

int COleDateTime::SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

int COleDateTime::SetTime(int hour, int minute, int second) {
  // A time alone is the time of day on day 0 (1899-12-30).
  return SetDateTime(1899, 12, 30, hour, minute, second);
}

#define QAV_DATE_PART(name, field)                    \
  int COleDateTime::name() const {                    \
    Parts p {};                                       \
    if (m_status != valid || !Breakdown(m_dt, p)) return -1; \
    return p.field;                                   \
  }
QAV_DATE_PART(GetYear, year)
QAV_DATE_PART(GetMonth, month)
QAV_DATE_PART(GetDay, day)
QAV_DATE_PART(GetHour, hour)
QAV_DATE_PART(GetMinute, minute)
QAV_DATE_PART(GetSecond, second)
QAV_DATE_PART(GetDayOfYear, dayOfYear)
#undef QAV_DATE_PART

int COleDateTime::GetDayOfWeek() const {
  Parts p {};
  if (m_status != valid || !Breakdown(m_dt, p)) return -1;
  return p.dayOfWeek + 1;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& time) const {
  Parts p {};
  if (m_status != valid || !Breakdown(m_dt, p)) return false;
  time.wYear = static_cast<WORD>(p.year);
  time.wMonth = static_cast<WORD>(p.month);
  time.wDayOfWeek = static_cast<WORD>(p.dayOfWeek);
  time.wDay = static_cast<WORD>(p.day);
  time.wHour = static_cast<WORD>(p.hour);
  time.wMinute = static_cast<WORD>(p.minute);
  time.wSecond = static_cast<WORD>(p.second);
  time.wMilliseconds = 0;
  return true;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const {
  COleDateTime r;
  if (m_status != valid || span.m_status != COleDateTimeSpan::valid) {
    r.m_status = invalid;
    return r;
  }
  r = FromLinear(ToLinear(m_dt) + span.m_span);
  return r;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const { return *this + (-span); }

COleDateTime& COleDateTime::operator+=(const COleDateTimeSpan& span) { return *this = *this + span; }

COleDateTime& COleDateTime::operator-=(const COleDateTimeSpan& span) { return *this = *this - span; }

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& other) const {
  COleDateTimeSpan r(ToLinear(m_dt) - ToLinear(other.m_dt));
  if (m_status != valid || other.m_status != valid) r.m_status = COleDateTimeSpan::invalid;
  return r;
}

bool COleDateTime::operator==(const COleDateTime& other) const {
  if (m_status != other.m_status) return false;
  if (m_status == null) return true;
  if (m_status != valid) return false;
  return std::fabs(ToLinear(m_dt) - ToLinear(other.m_dt)) < 0.5 / 86400.0;
}

bool COleDateTime::operator<(const COleDateTime& other) const {
  return m_status == valid && other.m_status == valid && ToLinear(m_dt) < ToLinear(other.m_dt);
}

bool COleDateTime::operator>(const COleDateTime& other) const { return other < *this; }

bool COleDateTime::operator<=(const COleDateTime& other) const {
  return m_status == valid && other.m_status == valid && ToLinear(m_dt) <= ToLinear(other.m_dt);
}

bool COleDateTime::operator>=(const COleDateTime& other) const { return other <= *this; }

std::string COleDateTime::Format(const char* pattern) const {
  if (m_status == null || pattern == nullptr) return std::string();
  Parts p {};
  if (m_status != valid || !Breakdown(m_dt, p)) return "Invalid DateTime";
  tm t {};
  t.tm_year = p.year - 1900;
  t.tm_mon = p.month - 1;
  t.tm_mday = p.day;
  t.tm_hour = p.hour;
  t.tm_min = p.minute;
  t.tm_sec = p.second;
  t.tm_wday = p.dayOfWeek;
  t.tm_yday = p.dayOfYear - 1;
  t.tm_isdst = -1;
  const size_t len = std::strlen(pattern);
  if (len == 0) return std::string();
  // strftime gives 0 both for a buffer too small and for an empty expansion: grow up to a bound
  // well above any real expansion, then give up with an empty result.
  const size_t limit = 256 * len + 256;
  std::vector<char> buf(len * 4 + 64);
  for (;;) {
    const size_t n = strftime_l(buf.data(), buf.size(), pattern, &t, CLocale());
    if (n > 0) return std::string(buf.data(), n);
    if (buf.size() >= limit) return std::string();
    buf.resize(std::min(limit, buf.size() * 2));
  }
}
