// CStationDay: one day of one station, the values of several lanes combined. Five-minute layout
// (288 periods: flag = class 0-3, nPds = samples, occupancy in tenths, volume of all lanes) or the
// finer layout (20-second intervals: flag = good bit, nPds = 1 when the interval has lanes,
// occupancy in raw counts). Every array also has a lane count per entry.
//
// The station follows the loop's rules except where its own differ: there is no disabled class
// (flag 3 counts as bad), occupancy means are plain means over periods, volume fills gaps by whole
// periods while the occupancy sum fills them by samples, and the lane count weights the
// occupancy sum of the speed.
#pragma once

#include "trafficdata/station_span.h"
#include "trafficdata/vol_occ_day.h"

class CStationDay : public CVolOccDay {
 public:
  // Lanes that make up each period's or interval's values, 0-7.
  CScalarArray<unsigned char> laneCount;

  CStationDay() = default;
  CStationDay(const CStationDay& other);
  CStationDay& operator=(const CStationDay& other);
  ~CStationDay() override;

  void Clone(CElementDay** out) const override;
  // Count 288: 4-byte five-minute records; any other count: 3-byte 20-second records.
  void Load(const unsigned char* packed, int byteLen, int count) override;
  void Clear() override;

  // The day's arrays as the span and period rules read them.
  trafficdata::StationDayView View() const;

  bool FillPeriodTable(CPeriodTable& table) const override;
  // Summary rules over periods [start, end): good, suspect and bad counts; totals with the
  // substitution of unusable periods; the running check without a disabled limit.
  SClassCounts CountClasses(int start, int end) const;
  SSummaryTotals GetSummaryTotals(int start, int end, bool useSuspect) const;
  bool CheckRunning(int start, int end, int step, int width, int minGood, int maxSuspect, int maxBad) const;
  // The loop's summary rules with the station's classes; no disabled limits apply.
  SSummary ComputeSummary(int summaryKind, const ValidityTables& criteria) const override;
  void ComputeSummaries(const ValidityTables& criteria, SSummary out[SK_COUNT]) const override;

  int GetSpanVolume(int start, int length, int method) const override;
  int GetSpanOccupancy(int start, int length, int method) const override;
  int GetSpanOccupancySum(int start, int length, int method) const override;
  int GetSpanPeriods(int start, int length, int method) const override;
  int GetSpanValidity(int start, int length, int method) const override;
  int GetSpanFlag(int start, int length, int method) const override;
  void EstimateLength(int length, int method, const SSpeedParams& params) override;

  void WriteRawTitle(CText& out, int format) const override;
  void WriteRawHeader(CText& out, int format) const override;
  void WriteRawLine(CText& out, int period, int format) const override;
  void Write15MinTitle(CText& out, int format) const override;
  void Write15MinHeader(CText& out, int format, bool withCounts) const override;
  void Write15MinLine(CText& out, int row, int format, bool withCounts, bool withOccupancy) const override;
  void WriteDailyTitle(CText& out, int format) const override;
  void WriteDailyHeader(CText& out, int format) const override;
  void WriteDailyLine(CText& out, int summaryKind, int format, const ValidityTables& criteria) const override;
};
