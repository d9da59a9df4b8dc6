// Values of a speed trap's day: the period view, the summaries of the daily report and the span
// values of the New view's rows under the nine aggregation methods.
//
// SpeedTrapDayView reads the day's arrays without owning them; every index outside the arrays
// reads as absent (no sample, no vehicles, bad). A day of exactly 288 entries is the five-minute
// layout; any other count the 20-second layout, whose flag entries are eight flag bits. Every mean
// of speed or length within a day is weighted by the vehicle count (the sum of the four bins).
#pragma once

#include <cstdint>

#include "trafficdata/span_walk.h"

namespace trafficdata {

// Flag bits of a 20-second interval.
constexpr int kTrapBadBits = 0x0F;      // > max length, < min length, > max speed, < min speed
constexpr int kTrapDisabledBit = 0x80;  // operator disabled

struct SpeedTrapPeriod {
  int cls = PC_BAD;
  uint32_t bins[4] = {0, 0, 0, 0};
  uint64_t speedWeight = 0;   // sum of speed x vehicles
  uint64_t lengthWeight = 0;  // sum of length x vehicles
  uint32_t samples = 0;       // nPds, or present intervals
  uint32_t Vehicles() const { return bins[0] + bins[1] + bins[2] + bins[3]; }
};

struct SpeedTrapTotals {
  uint32_t speed = 0, length = 0;
  uint32_t bins[4] = {0, 0, 0, 0};
  int good = 0, suspect = 0, bad = 0, disabled = 0;
};

struct SpeedTrapSummary : SpeedTrapTotals {
  bool valid = false;
  int start = 0;  // first period of the fixed window
};

class SpeedTrapDayView {
 public:
  SpeedTrapDayView(const uint8_t* flag, const uint8_t* nPds, const uint16_t* speed, const uint16_t* length,
                   const uint8_t* const bins[4], int count)
      : flag_(flag),
        nPds_(nPds),
        speed_(speed),
        length_(length),
        bins_{bins[0], bins[1], bins[2], bins[3]},
        count_(count < 0 ? 0 : count) {}

  bool IsFiveMinute() const { return count_ == 288; }
  int Count() const { return count_; }

  int Flag(int i) const { return In(i) ? flag_[i] : 0; }
  int NPds(int i) const { return In(i) ? nPds_[i] : 0; }
  uint32_t Speed(int i) const { return In(i) ? speed_[i] : 0; }
  uint32_t Length(int i) const { return In(i) ? length_[i] : 0; }
  uint32_t Bin(int k, int i) const { return In(i) ? bins_[k][i] : 0; }
  uint32_t Vehicles(int i) const { return Bin(0, i) + Bin(1, i) + Bin(2, i) + Bin(3, i); }

  // Class of a 20-second interval: absent bad; bit 7 disabled; any of bits 0-3 bad; else good.
  int IntervalClass(int i) const;
  bool Usable(int i) const { return Present(i) && (Flag(i) & (kTrapBadBits | kTrapDisabledBit)) == 0; }
  // Five-minute layout: a present period with flag 1 is good, with flag 2 suspect.
  bool Present(int i) const { return NPds(i) != 0; }
  bool Good(int p) const { return Present(p) && Flag(p) == 1; }
  bool Suspect(int p) const { return Present(p) && Flag(p) == 2; }

  SpeedTrapPeriod GetPeriod(int p) const;

  void CountClasses(int start, int end, int& good, int& suspect, int& bad, int& disabled) const;
  SpeedTrapTotals GetSummaryTotals(int start, int end, bool useSuspect) const;
  bool CheckRunning(int start, int end, int step, int width, int minGood, int maxSuspect, int maxBad,
                    int maxDisabled) const;
  SpeedTrapSummary ComputeSummary(int kind, const ValidityCriteria& rules) const;

  // Span values; start and length in 20-second units, method 0-8. bin is 1-4.
  uint32_t GetSpanSpeed(int start, int length, int method) const;
  uint32_t GetSpanLength(int start, int length, int method) const;
  uint32_t GetSpanBin(int bin, int start, int length, int method) const;
  uint32_t GetSpanPeriods(int start, int length, int method) const;
  uint32_t GetSpanValidity(int start, int length, int method) const;
  int GetSpanFlag(int start, int length, int method) const;

 private:
  bool In(int i) const { return i >= 0 && i < count_; }
  bool Bounds(int start, int length, int& b, int& e) const { return SpanBounds(IsFiveMinute(), start, length, b, e); }
  uint32_t WeightedMean(bool ofSpeed, int start, int length, int method) const;

  const uint8_t* flag_;
  const uint8_t* nPds_;
  const uint16_t* speed_;
  const uint16_t* length_;
  const uint8_t* bins_[4];
  int count_;
};

}  // namespace trafficdata
