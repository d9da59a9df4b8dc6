// The pieces of the span values that stations, speed traps and metered lanes share: the span's
// bounds, the interpolation walk, the summed value of the 20-second layout, and the sample count
// and validity percentage.
#pragma once

#include <cstdint>

#include "trafficdata/summary.h"

namespace trafficdata {

// Walks the units [begin, end) of a span with CGapWalk.
//
// classify(i) returns -1 when unit i is taken; otherwise the number of slots it adds to the gap
// (values a unit adds "as measured" are added by classify itself). own is the number of slots a
// taken unit stands for (1 per unit, or 15 samples per period). cover(unit, slots) receives every
// share of a taken unit, never with 0 slots. Returns whether any unit was taken.
template <class Classify, class Cover>
bool InterpolationWalk(int begin, int end, int own, Classify classify, Cover cover) {
  CGapWalk walk;
  auto add = [&](int unit, int slots) {
    if (slots > 0) cover(unit, static_cast<int64_t>(slots));
  };
  for (int i = begin; i < end; ++i) {
    int skip = classify(i);
    if (skip >= 0)
      walk.Skip(skip);
    else
      walk.Selected(i, own, add);
  }
  walk.Finish(add);
  return walk.HasPrevious();
}

// The interpolation walk over the periods [b, e) of a five-minute day: method 6 takes the good
// periods, method 7 the good and suspect ones, method 8 the good ones and adds each suspect period
// as measured (measured(p)) with suspectGap(p) slots of gap. Every other period adds own slots (1
// per period, or 15 samples) to the gap. Day gives Good(p) and Suspect(p); cover as for
// InterpolationWalk.
template <class Day, class SuspectGap, class Measured, class Cover>
bool PeriodInterpolation(const Day& d, int b, int e, int method, int own, SuspectGap suspectGap, Measured measured,
                         Cover cover) {
  return InterpolationWalk(
      b, e, own,
      [&](int p) {
        if (d.Good(p) || (method == 7 && d.Suspect(p))) return -1;
        if (method == 8 && d.Suspect(p)) {
          measured(p);
          return static_cast<int>(suspectGap(p));
        }
        return own;
      },
      cover);
}

// The units a span covers: periods start / 15 to start / 15 + length / 15 of a five-minute day,
// intervals start to start + length otherwise (end exclusive). False for an empty span, which
// includes a span shorter than one period on a five-minute day.
inline bool SpanBounds(bool fiveMinute, int start, int length, int& b, int& e) {
  if (start < 0 || length <= 0) return false;
  if (fiveMinute) {
    b = start / 15;
    e = b + length / 15;
  } else {
    b = start;
    e = start + length;
  }
  return e > b;
}

// A summed value (a volume, a bin, an occupancy-sum term) over the intervals [b, e) of the
// 20-second layout: methods 0 and 1 sum the usable intervals, method 2 every interval, methods 3
// to 5 scale the usable sum to the span's length, methods 6 to 8 fill the unusable intervals from
// their usable neighbours.
template <class Usable, class Value>
uint64_t IntervalSpanSum(int b, int e, int method, Usable usable, Value value) {
  if (method >= 6) {
    uint64_t sum = 0;
    InterpolationWalk(
        b, e, 1, [&](int i) { return usable(i) ? -1 : 1; },
        [&](int i, int64_t u) { sum += uint64_t{value(i)} * static_cast<uint64_t>(u); });
    return sum;
  }
  uint64_t usableSum = 0, allSum = 0;
  int64_t nUsable = 0;
  for (int i = b; i < e; ++i) {
    const uint64_t v = value(i);
    allSum += v;
    if (usable(i)) {
      usableSum += v;
      ++nUsable;
    }
  }
  if (method <= 1) return usableSum;
  if (method == 2) return allSum;
  return nUsable ? static_cast<uint64_t>(RoundHalfUp64(static_cast<double>(e - b) * usableSum / nUsable)) : 0;
}

// Sample count (content 8) of the units [b, e) of a span of length 20-second units. Day gives
// IsFiveMinute(), Count(), NPds(p), Good(p) and Suspect(p) (present with flag 1 or 2) of a
// period, and Present(i) and Usable(i) of an interval. Five-minute layout: the samples of the selected periods
// (methods 0 to 2), or the whole length once a period is selected; methods 5 and 8 fall back to
// the suspect periods' samples. 20-second layout: usable (0, 1) or present (2) intervals, or the
// whole length once an interval is usable.
template <class Day>
uint32_t SpanPeriods(const Day& d, int b, int e, int length, int method) {
  const uint32_t len = static_cast<uint32_t>(length);
  // Units outside the day's arrays are absent and add nothing.
  const int lo = b < 0 ? 0 : b;
  if (d.IsFiveMinute()) {
    uint32_t goodN = 0, suspectN = 0, allN = 0;
    bool anyGood = false, anySuspect = false;
    for (int p = lo; p < e && p < d.Count(); ++p) {
      allN += d.NPds(p);
      if (d.Good(p)) {
        goodN += d.NPds(p);
        anyGood = true;
      } else if (d.Suspect(p)) {
        suspectN += d.NPds(p);
        anySuspect = true;
      }
    }
    switch (method) {
      case 0: return goodN;
      case 1: return goodN + suspectN;
      case 2: return allN;
      case 3:
      case 6: return anyGood ? len : 0;
      case 4:
      case 7: return (anyGood || anySuspect) ? len : 0;
      default: return anyGood ? len : suspectN;  // 5 and 8
    }
  }
  uint32_t usable = 0, present = 0;
  for (int i = lo; i < e && i < d.Count(); ++i) {
    if (d.Present(i)) ++present;
    if (d.Usable(i)) ++usable;
  }
  if (method <= 1) return usable;
  if (method == 2) return present;
  return usable ? len : 0;
}

// Validity (content 9, tenths of a per cent) of the units [b, e) of a span, Day as for
// SpanPeriods. Five-minute layout: 1000 for each good period and, except under the good-only
// methods 0, 3 and 6, 500 for each suspect one, over the span's periods. 20-second layout: 1000
// for each usable interval over the span's length.
template <class Day>
uint32_t SpanValidity(const Day& d, int b, int e, int method) {
  uint64_t sum = 0;
  // Units outside the day's arrays are absent and add nothing.
  const int lo = b < 0 ? 0 : b;
  if (d.IsFiveMinute()) {
    const bool goodOnly = method % 3 == 0;
    for (int p = lo; p < e && p < d.Count(); ++p) {
      if (d.Good(p))
        sum += 1000;
      else if (!goodOnly && d.Suspect(p))
        sum += 500;
    }
  } else {
    for (int i = lo; i < e && i < d.Count(); ++i)
      if (d.Usable(i)) sum += 1000;
  }
  return static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(sum) / (e - b)));
}

}  // namespace trafficdata
