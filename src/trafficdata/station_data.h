// CStationData: one station over the selected dates: one CStationDay per date, the station's
// multi-day lines (good, suspect and bad counts; no disabled class) and its New-view rows.
#pragma once

#include "trafficdata/station_day.h"
#include "trafficdata/vol_occ_data.h"

// The row flag of a station or metered lane after a later day's differing flag f: it starts as 4
// (no day yet, or an empty span), which the new flag replaces; any other difference gives 2.
int FoldStationFlag(int current, int f);

class CStationData : public CVolOccData {
 public:
  // Fills every day entry with a new empty CStationDay.
  CStationData(int dayCount, CDBElementEx* elem, int ord);
  CStationData(const CStationData& other) = default;
  CStationData& operator=(const CStationData& other) = default;
  ~CStationData() override;

  void Clone(CElementData** out) const override;
  CElementDay* NewDay() const override;
  CStationDay* StationDay(int d) const { return static_cast<CStationDay*>(Day(d)); }

  // Rows in the content order 0, 1, 12, 13, 8, 9, 11, 10 (then 17 for peaks). The row's flag
  // starts with the first accepted day's and becomes 2 at any difference.
  bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  bool BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  void WriteMultiDayTitle(CText& text, int format) const override;
  void WriteMultiDayHeader(CText& text, int format) const override;
  void WriteMonthlyLine(CText& text, int summaryKind, int month, int weekday, const ClassicSettings& s) const override;
  void WriteYearlyLine(CText& text, int summaryKind, int weekday, const ClassicSettings& s) const override;
  void WriteAverageLine(CText& text, int averageKind, int summaryKind, const ClassicSettings& s) const override;
};

// One multi-day line of a station: label, VAL/INV, volume, occupancy, G S B, Val Inv Mis, then
// for the peak-hour kinds the averaged best hour, and the line end.
void WriteStationMultiDayLine(CText& text, int format, int summaryKind, const SMultiDaySummary& m, int val, int inv,
                              int mis);
