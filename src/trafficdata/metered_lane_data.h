// CMeteredLaneData: one metered lane over the selected dates: one CMeteredLaneDay per date and
// its New-view rows (meter rate, red violators, samples, meter status, validity, valid flag).
// It writes no Classic lines of its own.
#pragma once

#include "trafficdata/element_data.h"
#include "trafficdata/metered_lane_day.h"

class CMeteredLaneData : public CElementData {
 public:
  CMeteredLaneData(int dayCount, CDBElementEx* elem, int ord);
  CMeteredLaneData(const CMeteredLaneData& other) = default;
  CMeteredLaneData& operator=(const CMeteredLaneData& other) = default;
  ~CMeteredLaneData() override;

  void Clone(CElementData** out) const override;
  CElementDay* NewDay() const override;
  CMeteredLaneDay* LaneDay(int d) const { return static_cast<CMeteredLaneDay*>(Day(d)); }

  // Rows in the content order 14, 16, 8, 15, 9, 11, 10 (then 17 for peaks). The statuses of the
  // days are combined into the row's status; the peak window is the one with the highest rate.
  bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
  bool BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override;
};
