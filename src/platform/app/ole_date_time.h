// COleDateTime: a date and time as the number of days since 1899-12-30 00:00 (a double whose
// fraction is the time of day), with a status. Before that day the integer part counts days
// backwards while the fraction still adds the time of day, so -1.25 is 1899-12-29 06:00; all
// arithmetic and ordering therefore works on the continuous value. Valid values lie from
// 0100-01-01 to 9999-12-31 23:59:59; parts are read rounded to the nearest second.
// COleDateTimeSpan is a signed length of time in days.
#pragma once

#include "platform/base/types.h"

#include <string>

class COleDateTimeSpan {
public:
  enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTimeSpan() = default;
  COleDateTimeSpan(double days);  // NOLINT: a span converts from a day count
  COleDateTimeSpan(LONG days, int hours, int minutes, int seconds);

  void SetDateTimeSpan(LONG days, int hours, int minutes, int seconds);
  DateTimeSpanStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeSpanStatus status) { m_status = status; }

  double GetTotalDays() const { return m_span; }
  double GetTotalHours() const { return m_span * 24.0; }
  double GetTotalMinutes() const { return m_span * 1440.0; }
  double GetTotalSeconds() const { return m_span * 86400.0; }
  LONG GetDays() const;  // whole days, towards zero
  operator double() const { return m_span; }

  COleDateTimeSpan operator+(const COleDateTimeSpan& other) const;
  COleDateTimeSpan operator-(const COleDateTimeSpan& other) const;
  COleDateTimeSpan operator-() const;
  bool operator==(const COleDateTimeSpan& other) const;
  bool operator<(const COleDateTimeSpan& other) const;

  double m_span = 0.0;
  DateTimeSpanStatus m_status = valid;
};

class COleDateTime {
public:
  enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTime() = default;  // 1899-12-30 00:00, valid
  COleDateTime(double date);  // NOLINT: valid when the value is in range
  COleDateTime(int year, int month, int day, int hour, int minute, int second);
  explicit COleDateTime(const SYSTEMTIME& time);

  // The current local time, to the second (from the settable clock of platform/kernel/time.h).
  static COleDateTime GetCurrentTime();

  // Set from parts; invalid (result 1) unless the parts name a real calendar day and time.
  // Result 0 when valid.
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  int SetDate(int year, int month, int day);
  int SetTime(int hour, int minute, int second);

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }

  // Parts; -1 when the value is not valid.
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday ... 7 = Saturday
  int GetDayOfYear() const;  // 1 = January 1
  bool GetAsSystemTime(SYSTEMTIME& time) const;

  operator double() const { return m_dt; }
  COleDateTime& operator=(double date);

  // Arithmetic; the result is invalid when an operand is not valid or it leaves the range.
  COleDateTime operator+(const COleDateTimeSpan& span) const;
  COleDateTime operator-(const COleDateTimeSpan& span) const;
  COleDateTime& operator+=(const COleDateTimeSpan& span);
  COleDateTime& operator-=(const COleDateTimeSpan& span);
  COleDateTimeSpan operator-(const COleDateTime& other) const;

  // Equal: the same status and either both null or both valid and less than half a second
  // apart. The order compares valid values only; any comparison involving a value that is not
  // valid is false.
  bool operator==(const COleDateTime& other) const;
  bool operator!=(const COleDateTime& other) const { return !(*this == other); }
  bool operator<(const COleDateTime& other) const;
  bool operator>(const COleDateTime& other) const;
  bool operator<=(const COleDateTime& other) const;
  bool operator>=(const COleDateTime& other) const;

  // strftime-style formatting in the C locale (English day and month names). A null value gives
  // "", an invalid one "Invalid DateTime".
  std::string Format(const char* pattern) const;

  double m_dt = 0.0;
  DateTimeStatus m_status = valid;
};
