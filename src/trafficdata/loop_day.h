// CLoopDay: one day of one loop detector. Five-minute layout (288 periods: flag = class, nPds =
// samples, occupancy in tenths) or the finer layout (20-second intervals: flag = 3-bit interval
// code, nPds = present bit, occupancy in raw counts).
#pragma once

#include "trafficdata/view_settings.h"
#include "trafficdata/vol_occ_day.h"

class CLoopDay : public CVolOccDay {
 public:
  CLoopDay() = default;
  CLoopDay(const CLoopDay& other) = default;
  CLoopDay& operator=(const CLoopDay& other) = default;
  ~CLoopDay() override;

  void Clone(CElementDay** out) const override;
  // 3-byte records: count 288 is the five-minute layout, any other count the finer layout.
  void Load(const unsigned char* packed, int byteLen, int count) override;

  // Older archive format: 288 zeroed (absent) periods, then SetPeriod for each period.
  void ResetPeriods();
  void SetPeriod(int period, unsigned char vol, unsigned short rawOcc, const PeValidity& pe);

  // One five-minute period as the reports see it (intervals folded in the finer layout).
  SPeriodValue PeriodAt(int period) const {
    if (IsFine()) return FoldedPeriodAt(period);
    SPeriodValue v{PC_BAD, 0, 0, 0};
    if (period < 0 || period >= flag.m_nSize) return v;
    int n = nPds.m_pData[period];
    int f = flag.m_pData[period];
    v.cls = static_cast<uint8_t>((n == 0 || f < PC_GOOD || f > PC_DISABLED) ? static_cast<int>(PC_BAD) : f);
    v.samples = static_cast<uint8_t>(n);
    v.volume = volume.m_pData[period];
    v.occWeighted = static_cast<uint32_t>(occupancy.m_pData[period]) * static_cast<uint32_t>(n);
    return v;
  }
  // A period of the finer layout: its 15 intervals folded.
  SPeriodValue FoldedPeriodAt(int period) const;
  bool FillPeriodTable(CPeriodTable& table) const override;

  // Summary operations over five-minute periods.
  SClassCounts CountClasses(int start, int end) const;
  SSummaryTotals GetSummaryTotals(int start, int end, bool useSuspect) const;

  int GetSpanVolume(int start, int length, int method) const override;
  // Plain and scaled methods from running sums; the interpolated ones span by span.
  void GetSpanVolumes(int first, int last, int length, int method, int64_t* out) const override;
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

 private:
  template <class ValueFn>
  int64_t SpanSum5(int p0, int p1, int length, int method, ValueFn value) const;
  template <class ValueFn>
  int64_t SpanSumFine(int i0, int length, int method, ValueFn value) const;
  int OccTerm(int p) const;  // round(occupancy x 1.2 x nPds + 0.5), raw counts of a period
  void EstimateLength5(int length, int method, const SSpeedParams& params, double& occSum, double& volSum) const;
  void EstimateLengthFine(int length, int method, const SSpeedParams& params, double& occSum,
                          double& volSum) const;
};
