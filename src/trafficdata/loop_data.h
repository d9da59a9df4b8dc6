// CLoopData: one loop detector over the selected dates: one CLoopDay per date, the loop's
// multi-day summary lines and its New-view rows.
#pragma once

#include "trafficdata/loop_day.h"
#include "trafficdata/vol_occ_data.h"

class CLoopData : public CVolOccData {
 public:
  // Fills every day entry with a new empty CLoopDay.
  CLoopData(int dayCount, CDBElementEx* elem, int ord);
  CLoopData(const CLoopData& other) = default;
  CLoopData& operator=(const CLoopData& other) = default;
  ~CLoopData() override;

  void Clone(CElementData** out) const override;
  CElementDay* NewDay() const override;
  CLoopDay* LoopDay(int d) const { return static_cast<CLoopDay*>(Day(d)); }

  bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  bool BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  void WriteMultiDayTitle(CText& text, int format) const override;
  void WriteMultiDayHeader(CText& text, int format) const override;
  void WriteMonthlyLine(CText& text, int summaryKind, int month, int weekday, const ClassicSettings& s) const override;
  void WriteYearlyLine(CText& text, int summaryKind, int weekday, const ClassicSettings& s) const override;
  void WriteAverageLine(CText& text, int averageKind, int summaryKind, const ClassicSettings& s) const override;
};

// The loop's row: a later day's flag f that differs makes the row 2 (some suspect), except that
// when f is not 1 and the row is bad or disabled it becomes 2 for a suspect f and 3 otherwise.
int FoldLoopFlag(int current, int f);

// One multi-day line of a loop (without the line end): label, VAL/INV, volume, occupancy, G S B D,
// Val Inv Mis, then for the peak-hour kinds the averaged hour.
void WriteLoopMultiDayLine(CText& text, int format, int summaryKind, const SMultiDaySummary& m, int val, int inv,
                           int mis);
