#include "trafficdata/summary.h"

#include <algorithm>

namespace {

const char* const kKindLabels[SK_COUNT] = {"Daily     ", "AM Peak   ", "PM Peak   ", "AM Pk Hour",
                                           "PM Pk Hour"};
const SPeriodWindow kKindWindows[SK_COUNT] = {{0, 288}, {72, 108}, {180, 228}, {84, 96}, {204, 216}};

bool CountsPass(const SClassCounts& k, int minG, int maxS, int maxB, int maxD, bool checkDisabled) {
  if (k.good < minG || k.suspect > maxS || k.bad > maxB) return false;
  if (checkDisabled && k.disabled > maxD) return false;
  return true;
}

}  // namespace

const char* SummaryKindLabel(int kind) {
  if (kind < 0 || kind >= SK_COUNT) return "          ";
  return kKindLabels[kind];
}

SPeriodWindow SummaryKindWindow(int kind) {
  if (kind < 0 || kind >= SK_COUNT) return {0, 0};
  return kKindWindows[kind];
}

ValidityTables builtInCriteria() {
  ValidityTables t{};
  //                 useS  run    total  rMinG rMaxS rMaxB rMaxD step width tMinG tMaxS tMaxB tMaxD
  t[SK_DAILY] = {true, true, true, 11, 1, 1, 1, 12, 12, 264, 24, 24, 24};
  t[SK_AM_PEAK] = {true, true, true, 11, 1, 1, 1, 12, 12, 33, 3, 3, 3};
  t[SK_PM_PEAK] = {true, true, true, 11, 1, 1, 1, 12, 12, 44, 4, 4, 4};
  t[SK_AM_PEAK_HOUR] = {true, false, true, 0, 0, 0, 0, 1, 1, 11, 1, 1, 1};
  t[SK_PM_PEAK_HOUR] = {true, false, true, 0, 0, 0, 0, 1, 1, 11, 1, 1, 1};
  return t;
}

SClassCounts CPeriodTable::CountClasses(int start, int end) const {
  SClassCounts k;
  start = std::max(start, 0);
  end = std::min(end, PERIODS_PER_DAY);
  for (int p = start; p < end; ++p) k.Add(period[p].cls);
  return k;
}

SSummaryTotals CPeriodTable::GetSummaryTotals(int start, int end, bool useSuspect) const {
  SSummaryTotals t;
  start = std::max(start, 0);
  end = std::min(end, PERIODS_PER_DAY);
  auto usable = [&](const SPeriodValue& v) {
    return v.samples != 0 && (v.cls == PC_GOOD || (useSuspect && v.cls == PC_SUSPECT));
  };
  // The substitute starts as the first usable period of the window (zeros when there is none).
  SPeriodValue sub{PC_BAD, 0, 0, 0};
  for (int p = start; p < end; ++p) {
    if (usable(period[p])) {
      sub = period[p];
      break;
    }
  }
  uint64_t vol = 0, occW = 0, samples = 0;
  for (int p = start; p < end; ++p) {
    const SPeriodValue& v = period[p];
    if (usable(v)) sub = v;
    // A period that is not usable adds exactly what its substitute added: its volume, its
    // weighted occupancy and its samples.
    vol += sub.volume;
    occW += sub.occWeighted;
    samples += sub.samples;
    t.counts.Add(v.cls);
  }
  t.volume = static_cast<uint32_t>(vol);
  t.occupancy = OccupancyFromSums(occW, samples, fine);
  return t;
}

uint32_t CPeriodTable::WindowVolume(int start, int end, bool useSuspect) const {
  start = std::max(start, 0);
  end = std::min(end, PERIODS_PER_DAY);
  auto usable = [&](const SPeriodValue& v) {
    return v.samples != 0 && (v.cls == PC_GOOD || (useSuspect && v.cls == PC_SUSPECT));
  };
  // As GetSummaryTotals: the periods before the first usable one take its volume.
  uint32_t vol = 0, sub = 0;
  int lead = 0;
  bool found = false;
  for (int p = start; p < end; ++p) {
    const SPeriodValue& v = period[p];
    if (usable(v)) {
      sub = v.volume;
      if (!found) vol += sub * static_cast<uint32_t>(lead);
      found = true;
      vol += sub;
    } else if (!found) {
      ++lead;
    } else {
      vol += sub;
    }
  }
  return vol;
}

bool CPeriodTable::CheckRunning(int start, int end, int step, int width, int minG, int maxS, int maxB,
                                int maxD, bool checkDisabled) const {
  // Profile values can be anything: a step below 1 would never advance and a width below 1 gives
  // empty windows, so both are at least 1; a window moved back never starts before the summary.
  if (step < 1) step = 1;
  if (width < 1) width = 1;
  for (int s = start; s < end; s += step) {
    int e = s + width;
    int ws = s;
    if (e > end) {
      e = end;
      ws = std::max(end - width, start);
    }
    if (!CountsPass(CountClasses(ws, e), minG, maxS, maxB, maxD, checkDisabled)) return false;
    if (e >= end) break;
  }
  return true;
}

SSummary CPeriodTable::ComputeWindowSummary(int start, int end, const ValidityCriteria& c,
                                            bool checkDisabled) const {
  SSummary r;
  SSummaryTotals t = GetSummaryTotals(start, end, c.useSuspect);
  r.volume = t.volume;
  r.occupancy = t.occupancy;
  r.counts = t.counts;
  r.start = start;
  r.valid = true;
  if (c.running)
    r.valid = CheckRunning(start, end, c.runStep, c.runWidth, c.runMinG, c.runMaxS, c.runMaxB,
                           c.runMaxD, checkDisabled);
  if (c.total && r.valid)
    r.valid = CountsPass(r.counts, c.totMinG, c.totMaxS, c.totMaxB, c.totMaxD, checkDisabled);
  return r;
}

SSummary CPeriodTable::ComputeSummary(int kind, const ValidityCriteria& c, bool checkDisabled) const {
  if (kind == SK_AM_PEAK_HOUR || kind == SK_PM_PEAK_HOUR) {
    // Best hour: starts every 15 minutes over the half day; on equal volume the later one wins.
    int base = 144 * (kind - SK_AM_PEAK_HOUR);
    int best = base;
    uint32_t bestVol = 0;
    bool first = true;
    for (int s = base; s <= base + 132; s += 3) {
      uint32_t v = WindowVolume(s, s + 12, c.useSuspect);
      if (first || v >= bestVol) {
        best = s;
        bestVol = v;
        first = false;
      }
    }
    return ComputeWindowSummary(best, best + 12, c, checkDisabled);
  }
  SPeriodWindow w = SummaryKindWindow(kind);
  return ComputeWindowSummary(w.start, w.end, c, checkDisabled);
}
