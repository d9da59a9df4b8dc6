// Values of a station's day: the period view behind its summaries and report lines, and the span
// values of the New view's rows under the nine aggregation methods.
//
// StationDayView reads the station day's arrays without owning them. Every index outside the
// arrays reads as absent (no sample, values 0, bad), so short, empty or odd-sized days never read
// past their arrays. A day of exactly 288 entries is the five-minute layout; any other count is
// the 20-second layout, 15 intervals to a period.
#pragma once

#include <cstdint>

#include "trafficdata/span_walk.h"
#include "trafficdata/vol_occ_day.h"

namespace trafficdata {

// One five-minute period of a station, folded from its 15 intervals in the finer layout.
struct StationPeriod {
  int cls = PC_BAD;  // 0 bad, 1 good, 2 suspect (flag 3 reads as bad)
  uint32_t volume = 0;
  uint32_t occupancyWeight = 0;  // five-minute: occupancy x nPds; finer: raw count sum
  uint32_t samples = 0;          // nPds, or present intervals
  // Occupancy in tenths of a per cent (0 without samples); fine tells the layout.
  uint32_t Occupancy(bool fine) const { return OccupancyFromSums(occupancyWeight, samples, fine); }
};

class StationDayView {
 public:
  StationDayView(const uint8_t* flag, const uint8_t* nPds, const uint16_t* volume, const uint16_t* occupancy,
                 const uint8_t* laneCount, int count)
      : flag_(flag),
        nPds_(nPds),
        volume_(volume),
        occupancy_(occupancy),
        lanes_(laneCount),
        count_(count < 0 ? 0 : count) {}

  bool IsFiveMinute() const { return count_ == 288; }
  int Count() const { return count_; }

  // Raw entries, 0 outside the arrays.
  int Flag(int i) const { return In(i) ? flag_[i] : 0; }
  int NPds(int i) const { return In(i) ? nPds_[i] : 0; }
  uint32_t Volume(int i) const { return In(i) ? volume_[i] : 0; }
  uint32_t Occupancy(int i) const { return In(i) ? occupancy_[i] : 0; }
  uint32_t Lanes(int i) const { return In(i) ? lanes_[i] : 0; }

  // A period or interval is present when it has samples; a present period is good with flag 1
  // and suspect with flag 2 (flag 3 is bad); an interval is usable when present and good.
  bool Present(int i) const { return NPds(i) != 0; }
  bool Good(int p) const { return Present(p) && Flag(p) == 1; }
  bool Suspect(int p) const { return Present(p) && Flag(p) == 2; }
  bool Usable(int i) const { return Present(i) && Flag(i) == 1; }

  // Period p (0-287) in either layout.
  StationPeriod GetPeriod(int p) const;

  // Span values; start and length in 20-second units, method 0-8.
  uint32_t GetSpanVolume(int start, int length, int method) const;
  uint32_t GetSpanOccupancy(int start, int length, int method) const;
  uint32_t GetSpanOccupancySum(int start, int length, int method) const;
  uint32_t GetSpanPeriods(int start, int length, int method) const;
  uint32_t GetSpanValidity(int start, int length, int method) const;
  int GetSpanFlag(int start, int length, int method) const;
  // The estimated length over the whole day for a request of this length and method.
  int EstimateLength(int length, int method, const SSpeedParams& sp) const;

 private:
  bool In(int i) const { return i >= 0 && i < count_; }
  // Five-minute occupancy-sum term of a period taking s samples.
  uint32_t OccTerm(int p, int64_t s) const;
  bool Bounds(int start, int length, int& b, int& e) const { return SpanBounds(IsFiveMinute(), start, length, b, e); }

  const uint8_t* flag_;
  const uint8_t* nPds_;
  const uint16_t* volume_;
  const uint16_t* occupancy_;
  const uint8_t* lanes_;
  int count_;
};

}  // namespace trafficdata
