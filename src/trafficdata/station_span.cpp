#include "trafficdata/station_span.h"

namespace trafficdata {

namespace {

constexpr int kPeriods = 288;
// A station's suspect period under method 8 is added as measured and leaves no gap.
constexpr auto kNoGap = [](int) { return 0; };

}  // namespace

StationPeriod StationDayView::GetPeriod(int p) const {
  StationPeriod r;
  if (IsFiveMinute()) {
    if (Good(p))
      r.cls = PC_GOOD;
    else if (Suspect(p))
      r.cls = PC_SUSPECT;
    r.volume = Volume(p);
    r.samples = static_cast<uint32_t>(NPds(p));
    r.occupancyWeight = Occupancy(p) * r.samples;
    return r;
  }
  // With only good and bad intervals the fold is: all usable good, none bad, a mixture suspect.
  int usable = 0;
  const int first = 15 * p;
  if (first >= 0 && first + 15 <= count_) {
    for (int i = first; i < first + 15; ++i) {
      const bool present = nPds_[i] != 0;
      usable += present && flag_[i] == 1;
      r.volume += volume_[i];
      r.occupancyWeight += occupancy_[i];
      r.samples += present;
    }
  } else {
    for (int i = first; i < first + 15; ++i) {
      usable += Usable(i);
      r.volume += Volume(i);
      r.occupancyWeight += Occupancy(i);
      if (Present(i)) ++r.samples;
    }
  }
  r.cls = usable == 15 ? PC_GOOD : usable == 0 ? PC_BAD : PC_SUSPECT;
  return r;
}

uint32_t StationDayView::OccTerm(int p, int64_t s) const {
  return static_cast<uint32_t>(
      RoundHalfUp64(static_cast<double>(Occupancy(p)) * 1.2 * static_cast<double>(Lanes(p)) * s));
}

namespace {

// Methods 0-5 of the five-minute layout for a summed value (volume or occupancy-sum term):
// plain sums, scaled by span periods / selected periods, or method 5 (suspect as measured, good
// scaled by (good + other) / good periods). method2Present limits method 2 to present periods.
template <class Value>
uint64_t FiveMinuteSummed(const StationDayView& d, int b, int e, int method, bool method2Present, Value val) {
  uint64_t goodSum = 0, suspectSum = 0, allSum = 0;
  int64_t nGood = 0, nSuspect = 0, nOther = 0;
  for (int p = b; p < e; ++p) {
    uint64_t v = val(p);
    if (d.Good(p)) {
      goodSum += v;
      ++nGood;
    } else if (d.Suspect(p)) {
      suspectSum += v;
      ++nSuspect;
    } else
      ++nOther;
    if (!method2Present || d.Present(p)) allSum += v;
  }
  int64_t span = e - b;
  switch (method) {
    case 0:
      return goodSum;
    case 1:
      return goodSum + suspectSum;
    case 2:
      return allSum;
    case 3:
      return nGood ? RoundHalfUp64(static_cast<double>(goodSum) * span / nGood) : 0;
    case 4:
      return (nGood + nSuspect) ? RoundHalfUp64(static_cast<double>(goodSum + suspectSum) * span / (nGood + nSuspect))
                                : 0;
    case 5:
      return suspectSum + (nGood ? RoundHalfUp64(static_cast<double>(goodSum) * (nGood + nOther) / nGood) : 0);
  }
  return 0;
}

}  // namespace

uint32_t StationDayView::GetSpanVolume(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  if (IsFiveMinute()) {
    if (method <= 5)
      return static_cast<uint32_t>(FiveMinuteSummed(
          *this, b, e, method, false, [&](int p) { return uint64_t{Volume(p)}; }));
    // Volume fills gaps by whole periods.
    uint64_t sum = 0;
    PeriodInterpolation(
        *this, b, e, method, 1, kNoGap, [&](int p) { sum += Volume(p); },
        [&](int p, int64_t u) { sum += uint64_t{Volume(p)} * u; });
    return static_cast<uint32_t>(sum);
  }
  return static_cast<uint32_t>(IntervalSpanSum(
      b, e, method, [&](int i) { return Usable(i); }, [&](int i) { return Volume(i); }));
}

uint32_t StationDayView::GetSpanOccupancy(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  if (IsFiveMinute()) {
    // A plain mean over periods, not weighted by samples.
    uint64_t goodSum = 0, suspectSum = 0, presentSum = 0;
    int64_t nGood = 0, nSuspect = 0, nOther = 0, nPresent = 0;
    for (int p = b; p < e; ++p) {
      uint32_t o = Occupancy(p);
      if (Good(p)) {
        goodSum += o;
        ++nGood;
      } else if (Suspect(p)) {
        suspectSum += o;
        ++nSuspect;
      } else
        ++nOther;
      if (Present(p)) {
        presentSum += o;
        ++nPresent;
      }
    }
    auto mean = [](uint64_t s, int64_t n) -> uint32_t {
      return n ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(s) / n)) : 0;
    };
    switch (method) {
      case 0:
      case 3:
        return mean(goodSum, nGood);
      case 1:
      case 4:
        return mean(goodSum + suspectSum, nGood + nSuspect);
      case 2:
        return mean(presentSum, nPresent);
      case 5: {
        uint64_t goodTerm = nGood ? RoundHalfUp64(static_cast<double>(goodSum) * (nGood + nOther) / nGood) : 0;
        return mean(suspectSum + goodTerm, nSuspect + nGood + nOther);
      }
    }
    uint64_t sum = 0;
    int64_t filled = 0;
    PeriodInterpolation(
        *this, b, e, method, 1, kNoGap,
        [&](int p) {
          sum += Occupancy(p);
          ++filled;
        },
        [&](int p, int64_t u) {
          sum += uint64_t{Occupancy(p)} * u;
          filled += u;
        });
    return mean(sum, filled);
  }
  uint64_t usableSum = 0, allSum = 0;
  int64_t nUsable = 0;
  for (int i = b; i < e; ++i) {
    allSum += Occupancy(i);
    if (Usable(i)) {
      usableSum += Occupancy(i);
      ++nUsable;
    }
  }
  auto raw = [](uint64_t s, int64_t n) -> uint32_t {
    return n ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(s) / (n * 1.2))) : 0;
  };
  if (method == 2) return raw(allSum, e - b);
  if (method <= 5) return raw(usableSum, nUsable);
  uint64_t sum = 0;
  int64_t filled = 0;
  InterpolationWalk(
      b, e, 1, [&](int i) { return Usable(i) ? -1 : 1; },
      [&](int i, int64_t u) {
        sum += uint64_t{Occupancy(i)} * u;
        filled += u;
      });
  return raw(sum, filled);
}

uint32_t StationDayView::GetSpanOccupancySum(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  if (IsFiveMinute()) {
    if (method <= 5)
      return static_cast<uint32_t>(FiveMinuteSummed(
          *this, b, e, method, true, [&](int p) { return uint64_t{OccTerm(p, 15)}; }));
    // The occupancy sum fills gaps by samples: 15 for every period not taken.
    uint64_t sum = 0;
    PeriodInterpolation(
        *this, b, e, method, 15, kNoGap, [&](int p) { sum += OccTerm(p, 15); },
        [&](int p, int64_t s) { sum += OccTerm(p, s); });
    return static_cast<uint32_t>(sum);
  }
  // The 20-second layout fills its sum interval by interval, like the volume.
  return static_cast<uint32_t>(IntervalSpanSum(
      b, e, method, [&](int i) { return Usable(i); }, [&](int i) { return uint64_t{Occupancy(i)} * Lanes(i); }));
}

uint32_t StationDayView::GetSpanPeriods(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  return SpanPeriods(*this, b, e, length, method);
}

uint32_t StationDayView::GetSpanValidity(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  return SpanValidity(*this, b, e, method);
}

int StationDayView::GetSpanFlag(int start, int length, int method) const {
  if (method < 0 || method > 8) return 4;
  int b, e;
  bool empty = !Bounds(start, length, b, e);
  bool goodOnly = method % 3 == 0;
  // An empty span gives 4 under method 2, and in the five-minute layout under every method that
  // also takes suspect periods; the good-only methods never give 4.
  if (empty) return (goodOnly || (!IsFiveMinute() && method != 2)) ? 0 : 4;
  if (IsFiveMinute()) {
    bool anyGood = false, anySuspect = false, anyOther = false;
    for (int p = b; p < e; ++p) {
      if (Good(p))
        anyGood = true;
      else if (Suspect(p))
        anySuspect = true;
      else
        anyOther = true;
    }
    if (goodOnly) return anyGood ? 1 : 0;
    if (method == 2) {
      if (anySuspect || (anyGood && anyOther)) return 2;
      return anyGood ? 1 : 0;
    }
    if (anySuspect) return 2;
    return anyGood ? 1 : 0;
  }
  int usable = 0;
  for (int i = b; i < e; ++i)
    if (Usable(i)) ++usable;
  if (method != 2) return usable ? 1 : 0;
  if (usable == e - b) return 1;
  return usable ? 2 : 0;
}

int StationDayView::EstimateLength(int length, int method, const SSpeedParams& sp) const {
  const int fallback = sp.MeanLength();
  if (method < 0 || method > 8) return fallback;
  uint64_t occSum = 0, volSum = 0;
  if (IsFiveMinute()) {
    auto inBounds = [&](int p) {
      int o = static_cast<int>(Occupancy(p));
      return o >= sp.occLower && o <= sp.occUpper;
    };
    auto add = [&](int p) {
      if (inBounds(p)) {
        occSum += OccTerm(p, 15);
        volSum += Volume(p);
      }
    };
    if (method <= 2) {
      for (int p = 0; p < kPeriods; ++p)
        if (Good(p) || (method >= 1 && Suspect(p)) || (method == 2 && Present(p))) add(p);
    } else {
      const int n = length / 15 < 1 ? 1 : length / 15;
      for (int s = 0; s < kPeriods; s += n) {
        const int e = s + n < kPeriods ? s + n : kPeriods;
        if (method == 3 || method == 4 || method == 5) {
          uint64_t o = 0, v = 0, so = 0, sv = 0;
          int64_t nSel = 0, nGood = 0, nOther = 0;
          for (int p = s; p < e; ++p) {
            bool sel = Good(p) || (method == 4 && Suspect(p));
            if (sel) {
              ++nSel;
              if (Good(p)) ++nGood;
              if (inBounds(p)) {
                o += OccTerm(p, 15);
                v += Volume(p);
              }
            } else if (method == 5 && Suspect(p)) {
              if (inBounds(p)) {
                so += OccTerm(p, 15);
                sv += Volume(p);
              }
            } else {
              ++nOther;
            }
          }
          if (method == 5) {
            occSum += so;
            volSum += sv;
            if (nGood) {
              occSum += RoundHalfUp64(static_cast<double>(o) * (nGood + nOther) / nGood);
              volSum += RoundHalfUp64(static_cast<double>(v) * (nGood + nOther) / nGood);
            }
          } else if (nSel) {
            occSum += RoundHalfUp64(static_cast<double>(o) * n / nSel);
            volSum += RoundHalfUp64(static_cast<double>(v) * n / nSel);
          }
          continue;
        }
        PeriodInterpolation(
            *this, s, e, method, 15, kNoGap, add,
            [&](int p, int64_t u) {
              if (!inBounds(p)) return;
              occSum += OccTerm(p, u);
              volSum += RoundHalfUp64(static_cast<double>(Volume(p)) * u / 15.0);
            });
      }
    }
  } else {
    auto inBounds = [&](int i) {
      int64_t o = RoundHalfUp64(Occupancy(i) / 1.2);
      return o >= sp.occLower && o <= sp.occUpper;
    };
    auto term = [&](int i) { return uint64_t{Occupancy(i)} * Lanes(i); };
    if (method <= 2) {
      for (int i = 0; i < count_; ++i)
        if ((method == 2 || Usable(i)) && inBounds(i)) {
          occSum += term(i);
          volSum += Volume(i);
        }
    } else {
      const int n = length < 1 ? 1 : length;
      for (int s = 0; s < count_; s += n) {
        const int e = s + n < count_ ? s + n : count_;
        if (method <= 5) {
          uint64_t o = 0, v = 0;
          int64_t nUsable = 0;
          for (int i = s; i < e; ++i) {
            if (!Usable(i)) continue;
            ++nUsable;
            if (inBounds(i)) {
              o += term(i);
              v += Volume(i);
            }
          }
          if (nUsable) {
            occSum += RoundHalfUp64(static_cast<double>(o) * n / nUsable);
            volSum += RoundHalfUp64(static_cast<double>(v) * n / nUsable);
          }
          continue;
        }
        InterpolationWalk(
            s, e, 1, [&](int i) { return Usable(i) ? -1 : 1; },
            [&](int i, int64_t u) {
              if (inBounds(i)) {
                occSum += term(i) * u;
                volSum += uint64_t{Volume(i)} * u;
              }
            });
      }
    }
  }
  return sp.LengthFromSums(static_cast<double>(occSum), static_cast<double>(volSum));
}

}  // namespace trafficdata
