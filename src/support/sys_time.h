// Calendar date and time with the SYSTEMTIME layout, and two-digit year expansion.
//
// Day numbers count days from 0000-01-01 (day 0, a Saturday) on the proleptic Gregorian
// calendar, year 0 being a leap year. The field-device layer uses these for device clocks.
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/base/types.h"

class CSysTime {
 public:
  WORD wYear = 0;
  WORD wMonth = 1;        // 1..12
  WORD wDayOfWeek = 6;    // 0 = Sunday .. 6 = Saturday
  WORD wDay = 1;          // 1..31
  WORD wHour = 0;
  WORD wMinute = 0;
  WORD wSecond = 0;
  WORD wMilliseconds = 0;

  CSysTime() = default;
  CSysTime(const CSysTime&) = default;
  CSysTime& operator=(const CSysTime&) = default;
  ~CSysTime() = default;

  CSysTime(int year, int month, int day, int hour, int minute, int second, int milliseconds) {
    Set(year, month, day, hour, minute, second, milliseconds);
  }
  explicit CSysTime(int64_t milliseconds) { FromMilliseconds(milliseconds); }
  explicit CSysTime(const tm& t) { FromTm(t); }

  void Set(int year, int month, int day, int hour, int minute, int second, int milliseconds);
  void SetDate(int year, int month, int day);
  void SetTime(int hour, int minute, int second, int milliseconds);

  // Rebuilds every field from a count of milliseconds since day 0. A negative count is taken as 0:
  // the 16-bit year cannot hold dates before year 0.
  void FromMilliseconds(int64_t milliseconds);
  void FromTm(const tm& t);
  void ToTm(tm& t) const;

  // The same value as a SYSTEMTIME record and back.
  SYSTEMTIME ToSystemTime() const;
  void FromSystemTime(const SYSTEMTIME& st);

  static bool IsLeapYear(int year);
  static int GetDayOfWeek(int year, int month, int day);   // 0 = Sunday
  static int GetDayOfYear(int year, int month, int day);   // 1-based
  static int64_t GetDayNumber(int year, int month, int day);  // days since 0000-01-01
};

// A two-digit year as a full year within the current local year - 50 .. + 49.
int ExpandTwoDigitYear(int yy);
// The same around a given current year (the clock-independent core).
int ExpandTwoDigitYear(int yy, int currentYear);
