// CSpeedTrapData: one speed trap over the selected dates: one CSpeedTrapDay per date, the
// multi-day lines of the Classic view (speeds and lengths weighted by vehicles, bins as means per
// valid day or month) and the New view's rows.
#pragma once

#include "trafficdata/element_data.h"
#include "trafficdata/speed_trap_day.h"

// The speed trap's row flag after a later day's differing flag f: some suspect (2) when either is
// good or suspect, otherwise disabled (3).
int FoldSpeedTrapFlag(int current, int f);

// A monthly, yearly or average summary of a speed trap.
struct SSpeedTrapMultiDay {
  bool valid = false;
  uint32_t speed = 0, length = 0;  // tenths, vehicle-weighted
  uint32_t bins[4] = {0, 0, 0, 0};  // means per valid day (monthly) or per valid month / weekday
  SClassCounts counts;             // summed over every day with data
  int validCount = 0, invalidCount = 0, missingCount = 0;
};

class CSpeedTrapData : public CElementData {
 public:
  CSpeedTrapData(int dayCount, CDBElementEx* elem, int ord);
  CSpeedTrapData(const CSpeedTrapData& other) = default;
  CSpeedTrapData& operator=(const CSpeedTrapData& other) = default;
  ~CSpeedTrapData() override;

  void Clone(CElementData** out) const override;
  CElementDay* NewDay() const override;

  CSpeedTrapDay* TrapDay(int d) const { return static_cast<CSpeedTrapDay*>(Day(d)); }

  SSpeedTrapMultiDay MonthlySummary(int summaryKind, int month, int weekday, const ClassicSettings& s) const;
  SSpeedTrapMultiDay YearlySummary(int summaryKind, int weekday, const ClassicSettings& s) const;
  SSpeedTrapMultiDay AverageSummary(int averageKind, int summaryKind, const ClassicSettings& s) const;

  // Rows in the content order 2-9, 11, 10 (then 17 for peaks); speeds, lengths and bins are plain
  // means over the accepted days. The peak window is the one with the most vehicles.
  bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  bool BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  void WriteMultiDayTitle(CText& text, int format) const override;
  void WriteMultiDayHeader(CText& text, int format) const override;
  void WriteMonthlyLine(CText& text, int summaryKind, int month, int weekday, const ClassicSettings& s) const override;
  void WriteYearlyLine(CText& text, int summaryKind, int weekday, const ClassicSettings& s) const override;
  void WriteAverageLine(CText& text, int averageKind, int summaryKind, const ClassicSettings& s) const override;

 protected:
  size_t DaySummarySize() const override;
  void FillDaySummaries(const CElementDay& day, const ValidityTables& criteria, unsigned char* out) const override;

 private:
  void WriteLine(CText& text, int format, int summaryKind, const SSpeedTrapMultiDay& m, bool withMissing) const;
};
