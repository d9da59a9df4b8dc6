#include "trafficdata/speed_trap_span.h"

namespace trafficdata {

namespace {

constexpr int kPeriods = 288;
uint32_t Quotient(uint64_t num, uint64_t den) {
  return den ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(num) / static_cast<double>(den))) : 0;
}

}  // namespace

int SpeedTrapDayView::IntervalClass(int i) const {
  if (!Present(i)) return PC_BAD;
  if (Flag(i) & kTrapDisabledBit) return PC_DISABLED;
  if (Flag(i) & kTrapBadBits) return PC_BAD;
  return PC_GOOD;
}

SpeedTrapPeriod SpeedTrapDayView::GetPeriod(int p) const {
  SpeedTrapPeriod r;
  if (IsFiveMinute()) {
    int f = Flag(p);
    r.cls = (!Present(p) || f > 3) ? PC_BAD : f;
    for (int k = 0; k < 4; ++k) r.bins[k] = Bin(k, p);
    uint32_t n = r.Vehicles();
    r.speedWeight = uint64_t{Speed(p)} * n;
    r.lengthWeight = uint64_t{Length(p)} * n;
    r.samples = static_cast<uint32_t>(NPds(p));
    return r;
  }
  int running = -1;
  const int first = 15 * p;
  if (first >= 0 && first + 15 <= count_) {
    // The whole period lies within the arrays: read them directly.
    for (int i = first; i < first + 15; ++i) {
      const int f = flag_[i];
      const bool present = nPds_[i] != 0;
      const int cls = !present ? PC_BAD : (f & kTrapDisabledBit) ? PC_DISABLED : (f & kTrapBadBits) ? PC_BAD : PC_GOOD;
      running = FoldClass(running, cls);
      const uint32_t b0 = bins_[0][i], b1 = bins_[1][i], b2 = bins_[2][i], b3 = bins_[3][i];
      const uint32_t n = b0 + b1 + b2 + b3;
      r.bins[0] += b0;
      r.bins[1] += b1;
      r.bins[2] += b2;
      r.bins[3] += b3;
      r.speedWeight += uint64_t{speed_[i]} * n;
      r.lengthWeight += uint64_t{length_[i]} * n;
      r.samples += present;
    }
  } else {
    for (int i = first; i < first + 15; ++i) {
      running = FoldClass(running, IntervalClass(i));
      uint32_t n = Vehicles(i);
      for (int k = 0; k < 4; ++k) r.bins[k] += Bin(k, i);
      r.speedWeight += uint64_t{Speed(i)} * n;
      r.lengthWeight += uint64_t{Length(i)} * n;
      if (Present(i)) ++r.samples;
    }
  }
  r.cls = running < 0 ? PC_BAD : running;
  return r;
}

void SpeedTrapDayView::CountClasses(int start, int end, int& good, int& suspect, int& bad, int& disabled) const {
  good = suspect = bad = disabled = 0;
  for (int p = start < 0 ? 0 : start; p < end && p < kPeriods; ++p) {
    switch (GetPeriod(p).cls) {
      case PC_GOOD:
        ++good;
        break;
      case PC_SUSPECT:
        ++suspect;
        break;
      case PC_DISABLED:
        ++disabled;
        break;
      default:
        ++bad;
        break;
    }
  }
}

SpeedTrapTotals SpeedTrapDayView::GetSummaryTotals(int start, int end, bool useSuspect) const {
  SpeedTrapTotals t;
  if (start < 0) start = 0;
  if (end > kPeriods) end = kPeriods;
  auto usable = [&](const SpeedTrapPeriod& q) { return q.cls == PC_GOOD || (useSuspect && q.cls == PC_SUSPECT); };
  SpeedTrapPeriod window[kPeriods];
  for (int p = start; p < end; ++p) window[p] = GetPeriod(p);
  SpeedTrapPeriod sub;
  for (int p = start; p < end; ++p) {
    if (usable(window[p])) {
      sub = window[p];
      break;
    }
  }
  uint64_t bins[4] = {0, 0, 0, 0}, speedW = 0, lengthW = 0;
  for (int p = start; p < end; ++p) {
    const SpeedTrapPeriod& q = window[p];
    if (usable(q)) sub = q;
    for (int k = 0; k < 4; ++k) bins[k] += sub.bins[k];
    speedW += sub.speedWeight;
    lengthW += sub.lengthWeight;
    switch (q.cls) {
      case PC_GOOD:
        ++t.good;
        break;
      case PC_SUSPECT:
        ++t.suspect;
        break;
      case PC_DISABLED:
        ++t.disabled;
        break;
      default:
        ++t.bad;
        break;
    }
  }
  uint64_t vehicles = 0;
  for (int k = 0; k < 4; ++k) {
    t.bins[k] = static_cast<uint32_t>(bins[k]);
    vehicles += bins[k];
  }
  if (vehicles != 0) {
    // The division is done in single precision, as the archive's own tools do.
    float n = static_cast<float>(vehicles);
    t.speed = static_cast<uint32_t>(static_cast<float>(speedW) / n + 0.5);
    t.length = static_cast<uint32_t>(static_cast<float>(lengthW) / n + 0.5);
  }
  return t;
}

bool SpeedTrapDayView::CheckRunning(int start, int end, int step, int width, int minGood, int maxSuspect, int maxBad,
                                    int maxDisabled) const {
  // The shared running check over the periods' classes.
  CPeriodTable table;
  for (int p = 0; p < kPeriods; ++p) {
    const bool inWindow = p >= start && p < end;  // the check reads no period outside it
    table.period[p] = SPeriodValue{static_cast<uint8_t>(inWindow ? GetPeriod(p).cls : PC_BAD), 0, 0, 0};
  }
  return table.CheckRunning(start, end, step, width, minGood, maxSuspect, maxBad, maxDisabled);
}

SpeedTrapSummary SpeedTrapDayView::ComputeSummary(int kind, const ValidityCriteria& rules) const {
  SpeedTrapSummary r;
  if (kind < 0 || kind > 4) return r;
  const SPeriodWindow w = SummaryKindWindow(kind);
  const int ws = w.start, we = w.end;
  r.valid = true;
  if (rules.running)
    r.valid =
        CheckRunning(ws, we, rules.runStep, rules.runWidth, rules.runMinG, rules.runMaxS, rules.runMaxB, rules.runMaxD);
  static_cast<SpeedTrapTotals&>(r) = GetSummaryTotals(ws, we, rules.useSuspect);
  r.start = ws;
  if (rules.total && r.valid &&
      (static_cast<int16_t>(r.good) < rules.totMinG || static_cast<int16_t>(r.suspect) > rules.totMaxS ||
       static_cast<int16_t>(r.bad) > rules.totMaxB || static_cast<int16_t>(r.disabled) > rules.totMaxD))
    r.valid = false;
  return r;
}

uint32_t SpeedTrapDayView::WeightedMean(bool ofSpeed, int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  auto val = [&](int i) { return uint64_t{ofSpeed ? Speed(i) : Length(i)}; };
  uint64_t num = 0, den = 0;
  if (IsFiveMinute()) {
    if (method <= 4) {
      for (int p = b; p < e; ++p) {
        bool take = method == 2 || Good(p) || ((method == 1 || method == 4) && Suspect(p));
        if (!take) continue;
        num += val(p) * Vehicles(p);
        den += Vehicles(p);
      }
      return Quotient(num, den);
    }
    if (method == 5) {
      uint64_t gNum = 0, gDen = 0;
      int64_t goodN = 0, suspectN = 0;
      for (int p = b; p < e; ++p) {
        if (Good(p)) {
          gNum += val(p) * Vehicles(p);
          gDen += Vehicles(p);
          goodN += NPds(p);
        } else if (Suspect(p)) {
          num += val(p) * Vehicles(p);
          den += Vehicles(p);
          suspectN += NPds(p);
        }
      }
      if (goodN) {
        // Multiply before dividing: a quotient taken first can turn an exact half into x.4999.
        const double units = static_cast<double>(15 * (e - b) - suspectN);
        num += RoundHalfUp64(static_cast<double>(gNum) * units / static_cast<double>(goodN));
        den += RoundHalfUp64(static_cast<double>(gDen) * units / static_cast<double>(goodN));
      }
      return Quotient(num, den);
    }
    // A suspect period under method 8 leaves its missing samples to the gap.
    auto missing = [&](int p) { return 15 - NPds(p); };
    PeriodInterpolation(
        *this, b, e, method, 15, missing,
        [&](int p) {
          num += val(p) * Vehicles(p);
          den += Vehicles(p);
        },
        [&](int p, int64_t u) {
          double n = Vehicles(p), k = NPds(p);
          num += RoundHalfUp64(static_cast<double>(val(p)) * n * u / k);
          den += RoundHalfUp64(n * u / k);
        });
    return Quotient(num, den);
  }
  if (method <= 5) {
    for (int i = b; i < e; ++i) {
      if (method != 2 && !Usable(i)) continue;
      num += val(i) * Vehicles(i);
      den += Vehicles(i);
    }
    return Quotient(num, den);
  }
  // Each unusable interval is weighted by the vehicles of the usable interval that covers it;
  // nothing is rounded before the final division.
  InterpolationWalk(
      b, e, 1, [&](int i) { return Usable(i) ? -1 : 1; },
      [&](int i, int64_t u) {
        num += val(i) * Vehicles(i) * static_cast<uint64_t>(u);
        den += uint64_t{Vehicles(i)} * static_cast<uint64_t>(u);
      });
  return Quotient(num, den);
}

uint32_t SpeedTrapDayView::GetSpanSpeed(int start, int length, int method) const {
  return WeightedMean(true, start, length, method);
}

uint32_t SpeedTrapDayView::GetSpanLength(int start, int length, int method) const {
  return WeightedMean(false, start, length, method);
}

uint32_t SpeedTrapDayView::GetSpanBin(int bin, int start, int length, int method) const {
  int b, e;
  if (bin < 1 || bin > 4 || method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  const int k = bin - 1;
  if (IsFiveMinute()) {
    uint64_t goodSum = 0, suspectSum = 0, allSum = 0;
    int64_t goodN = 0, suspectN = 0;
    for (int p = b; p < e; ++p) {
      allSum += Bin(k, p);
      if (Good(p)) {
        goodSum += Bin(k, p);
        goodN += NPds(p);
      } else if (Suspect(p)) {
        suspectSum += Bin(k, p);
        suspectN += NPds(p);
      }
    }
    const int64_t units = 15 * static_cast<int64_t>(e - b);
    switch (method) {
      case 0:
        return static_cast<uint32_t>(goodSum);
      case 1:
        return static_cast<uint32_t>(goodSum + suspectSum);
      case 2:
        return static_cast<uint32_t>(allSum);
      case 3:
        return goodN ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(units) * goodSum / goodN)) : 0;
      case 4:
        return (goodN + suspectN) ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(units) *
                                                                        (goodSum + suspectSum) / (goodN + suspectN)))
                                  : 0;
      case 5:
        return static_cast<uint32_t>(
            suspectSum + (goodN ? RoundHalfUp64(static_cast<double>(goodSum) * (units - suspectN) / goodN) : 0));
    }
    uint64_t sum = 0;
    // A suspect period under method 8 leaves its missing samples to the gap.
    auto missing = [&](int p) { return 15 - NPds(p); };
    PeriodInterpolation(
        *this, b, e, method, 15, missing, [&](int p) { sum += Bin(k, p); },
        [&](int p, int64_t u) { sum += RoundHalfUp64(static_cast<double>(Bin(k, p)) * u / NPds(p)); });
    return static_cast<uint32_t>(sum);
  }
  return static_cast<uint32_t>(IntervalSpanSum(
      b, e, method, [&](int i) { return Usable(i); }, [&](int i) { return Bin(k, i); }));
}

uint32_t SpeedTrapDayView::GetSpanPeriods(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  return SpanPeriods(*this, b, e, length, method);
}

uint32_t SpeedTrapDayView::GetSpanValidity(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 0;
  return SpanValidity(*this, b, e, method);
}

int SpeedTrapDayView::GetSpanFlag(int start, int length, int method) const {
  int b, e;
  if (method < 0 || method > 8 || !Bounds(start, length, b, e)) return 4;
  if (IsFiveMinute()) {
    bool anyGood = false, anySuspect = false, anyOther = false, allDisabled = true;
    for (int p = b; p < e; ++p) {
      if (Good(p))
        anyGood = true;
      else if (Suspect(p))
        anySuspect = true;
      else
        anyOther = true;
      if (!(Present(p) && Flag(p) == 3)) allDisabled = false;
    }
    int none = allDisabled ? 3 : 0;
    if (method % 3 == 0) return anyGood ? 1 : none;
    if (method == 2 && (anySuspect || (anyGood && anyOther))) return 2;
    if (method != 2 && anySuspect) return 2;
    return anyGood ? 1 : none;
  }
  int usable = 0;
  bool allDisabled = true;
  for (int i = b; i < e; ++i) {
    if (Usable(i)) ++usable;
    if (!(Present(i) && (Flag(i) & kTrapDisabledBit))) allDisabled = false;
  }
  int none = allDisabled ? 3 : 0;
  if (method != 2) return usable ? 1 : none;
  if (usable == e - b) return 1;
  return usable ? 2 : none;
}

}  // namespace trafficdata
