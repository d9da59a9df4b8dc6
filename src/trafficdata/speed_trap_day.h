// CSpeedTrapDay: one day of one speed trap: mean speed and length of the vehicles and their
// counts in four length bins, per five-minute period (288 periods: flag = class 0-3, nPds =
// samples) or per 20-second interval (flag = eight flag bits, nPds = present bit). The vehicle
// count of an entry is the sum of its four bins, and every mean within a day is weighted by it.
#pragma once

#include "trafficdata/element_day.h"
#include "trafficdata/speed_trap_span.h"

class CSpeedTrapDay : public CElementDay {
 public:
  CScalarArray<unsigned short> speed;   // tenths of a mph, 0-1023
  CScalarArray<unsigned short> length;  // tenths of a foot, 0-1023
  CScalarArray<unsigned char> bin1;     // "Bin 1 (   <= 26')"
  CScalarArray<unsigned char> bin2;     // "Bin 2 (26' - 39')"
  CScalarArray<unsigned char> bin3;     // "Bin 3 (39' - 65')"
  CScalarArray<unsigned char> bin4;     // "Bin 4 (    > 65')"

  CSpeedTrapDay() = default;
  CSpeedTrapDay(const CSpeedTrapDay& other);
  CSpeedTrapDay& operator=(const CSpeedTrapDay& other);
  ~CSpeedTrapDay() override;

  void Clone(CElementDay** out) const override;
  // Count 288: 7-byte five-minute records; any other count: 6-byte 20-second records.
  void Load(const unsigned char* packed, int byteLen, int count) override;
  void Clear() override;

  trafficdata::SpeedTrapDayView View() const;

  // Summary rules over periods [start, end): class counts, totals with the substitution of
  // unusable periods (bins summed, speed and length weighted by vehicles), the running check.
  SClassCounts CountClasses(int start, int end) const;
  trafficdata::SpeedTrapTotals GetSummaryTotals(int start, int end, bool useSuspect) const {
    return View().GetSummaryTotals(start, end, useSuspect);
  }
  bool CheckRunning(int start, int end, int step, int width, int minGood, int maxSuspect, int maxBad,
                    int maxDisabled) const {
    return View().CheckRunning(start, end, step, width, minGood, maxSuspect, maxBad, maxDisabled);
  }
  // Summary of one kind over its fixed window (the peak hours are 07:00-08:00 and 17:00-18:00).
  trafficdata::SpeedTrapSummary ComputeTrapSummary(int summaryKind, const ValidityTables& criteria) const;
  // The same summary through the shared day interface: validity, window start and class counts,
  // with the vehicles (the four bins) as the volume and no occupancy. No peak-hour search.
  SSummary ComputeSummary(int summaryKind, const ValidityTables& criteria) const override;
  // The 288 periods with their class, samples and vehicles (as the volume).
  bool FillPeriodTable(CPeriodTable& table) const override;

  // Span values, start and length in 20-second units, method 0-8; bin is 1-4.
  uint32_t GetSpanSpeed(int start, int len, int method) const { return View().GetSpanSpeed(start, len, method); }
  uint32_t GetSpanLength(int start, int len, int method) const { return View().GetSpanLength(start, len, method); }
  uint32_t GetSpanBin(int bin, int start, int len, int method) const {
    return View().GetSpanBin(bin, start, len, method);
  }
  uint32_t GetSpanPeriods(int start, int len, int method) const { return View().GetSpanPeriods(start, len, method); }
  uint32_t GetSpanValidity(int start, int len, int method) const {
    return View().GetSpanValidity(start, len, method);
  }
  int GetSpanFlag(int start, int len, int method) const { return View().GetSpanFlag(start, len, method); }

  void WriteRawTitle(CText& out, int format) const override;
  void WriteRawHeader(CText& out, int format) const override;
  void WriteRawLine(CText& out, int period, int format) const override;
  void Write15MinTitle(CText& out, int format) const override;
  void Write15MinHeader(CText& out, int format, bool withCounts) const override;
  // withLengths (the base slot's occupancy option) adds the line of mean lengths.
  void Write15MinLine(CText& out, int row, int format, bool withCounts, bool withLengths) const override;
  void WriteDailyTitle(CText& out, int format) const override;
  void WriteDailyHeader(CText& out, int format) const override;
  void WriteDailyLine(CText& out, int summaryKind, int format, const ValidityTables& criteria) const override;

 private:
  // True when all eight arrays hold count entries; otherwise empties them all.
  bool ArraysInStep(int count);
};
