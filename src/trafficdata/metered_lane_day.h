// CMeteredLaneDay: one day of a ramp meter's lane: release rate, meter status and red-light
// violators per 20-second interval. flag holds the status code (0-15) and nPds is 1 where the
// rate is not 0 (the interval has a sample). The arrays are always indexed by 20-second unit. A
// metered lane has no Classic report lines of its own.
#pragma once

#include "trafficdata/element_day.h"
#include "trafficdata/metered_lane_span.h"

class CMeteredLaneDay : public CElementDay {
 public:
  CScalarArray<unsigned char> rate;          // 0 = no sample
  CScalarArray<unsigned char> redViolators;  // 0-15

  CMeteredLaneDay() = default;
  CMeteredLaneDay(const CMeteredLaneDay& other);
  CMeteredLaneDay& operator=(const CMeteredLaneDay& other);
  ~CMeteredLaneDay() override;

  void Clone(CElementDay** out) const override;
  // 2-byte records, one per 20-second interval, whatever the count.
  void Load(const unsigned char* packed, int byteLen, int count) override;
  void Clear() override;

  trafficdata::MeteredLaneDayView View() const;

  int GetSpanFlag(int start, int len, int method) const { return View().GetSpanFlag(start, len, method); }
  uint32_t GetSpanPeriods(int start, int len, int method) const { return View().GetSpanPeriods(start, len, method); }
  uint32_t GetSpanRate(int start, int len, int method) const { return View().GetSpanRate(start, len, method); }
  uint32_t GetSpanRedViolators(int start, int len, int method) const {
    return View().GetSpanRedViolators(start, len, method);
  }
  uint32_t GetSpanValidity(int start, int len, int method) const {
    return View().GetSpanValidity(start, len, method);
  }
  int GetSpanMeterStatus(int start, int len, int method) const {
    return View().GetSpanMeterStatus(start, len, method);
  }
};
