// Span values of a metered lane's day (ramp meter rate, meter status, red-light violators).
//
// MeteredLaneDayView reads the day's arrays without owning them. The arrays are always indexed by
// 20-second interval; an interval outside them has no sample and no status.
#pragma once

#include <cstdint>

namespace trafficdata {

class MeteredLaneDayView {
 public:
  MeteredLaneDayView(const uint8_t* status, const uint8_t* rate, const uint8_t* redViolators, int count)
      : status_(status), rate_(rate), red_(redViolators), count_(count < 0 ? 0 : count) {}

  int Count() const { return count_; }
  bool Sampled(int i) const { return In(i) && rate_[i] != 0; }
  uint32_t Rate(int i) const { return In(i) ? rate_[i] : 0; }
  uint32_t Red(int i) const { return In(i) ? red_[i] : 0; }
  int Status(int i) const { return In(i) ? status_[i] : -1; }  // -1: no interval

  // Start and length in 20-second units, method 0-8.
  int GetSpanFlag(int start, int length, int method) const;
  uint32_t GetSpanPeriods(int start, int length, int method) const;
  uint32_t GetSpanRate(int start, int length, int method) const;
  uint32_t GetSpanRedViolators(int start, int length, int method) const;
  uint32_t GetSpanValidity(int start, int length, int method) const;
  int GetSpanMeterStatus(int start, int length, int method) const;

 private:
  bool In(int i) const { return i >= 0 && i < count_; }

  const uint8_t* status_;
  const uint8_t* rate_;
  const uint8_t* red_;
  int count_;
};

}  // namespace trafficdata
