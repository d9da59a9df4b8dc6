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

namespace {

// Class counts kept as an array indexed by class (any value above 3 counts as bad), turned into
// SClassCounts at the end: cheaper than the switch of SClassCounts::Add per period.
struct SClassTally {
  int n[4] = {0, 0, 0, 0};
  void Add(uint8_t cls) { ++n[cls <= PC_DISABLED ? cls : 0]; }  // 0 is the bad class
  SClassCounts Counts() const {
    SClassCounts k;
    k.good = n[PC_GOOD];
    k.suspect = n[PC_SUSPECT];
    k.bad = n[PC_BAD];
    k.disabled = n[PC_DISABLED];
    return k;
  }
};

// A period the totals take as it is: with samples, good, or suspect when suspect ones count.
inline bool Usable(const SPeriodValue& v, bool useSuspect) {
  return (v.samples != 0) & ((v.cls == PC_GOOD) | (useSuspect & (v.cls == PC_SUSPECT)));
}

}  // namespace

SClassCounts CPeriodTable::CountClasses(int start, int end) const {
  SClassTally k;
  start = std::max(start, 0);
  end = std::min(end, PERIODS_PER_DAY);
  for (int p = start; p < end; ++p) k.Add(period[p].cls);
  return k.Counts();
}

SSummaryTotals CPeriodTable::GetSummaryTotals(int start, int end, bool useSuspect) const {
  SSummaryTotals t;
  start = std::max(start, 0);
  end = std::min(end, PERIODS_PER_DAY);
  // A period that is not usable adds exactly what its substitute added: its volume, its weighted
  // occupancy and its samples. The substitute is the last usable period before it, or for the
  // leading run the first usable period of the window (nothing when there is none).
  SClassTally tally;
  int first = start;
  for (; first < end && !Usable(period[first], useSuspect); ++first) tally.Add(period[first].cls);
  uint64_t vol = 0, occW = 0, samples = 0;
  if (first < end) {
    const SPeriodValue& f = period[first];
    const uint64_t lead = static_cast<uint64_t>(first - start);
    vol = f.volume * lead;
    occW = f.occWeighted * lead;
    samples = f.samples * lead;
    uint32_t subVol = 0, subOcc = 0, subN = 0;
    for (int p = first; p < end; ++p) {
      const SPeriodValue& v = period[p];
      tally.Add(v.cls);
      if (Usable(v, useSuspect)) {
        subVol = v.volume;
        subOcc = v.occWeighted;
        subN = v.samples;
      }
      vol += subVol;
      occW += subOcc;
      samples += subN;
    }
  }
  t.counts = tally.Counts();
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
    // The window volumes (as WindowVolume forms them) come from running sums over the half day:
    // from the window's first usable period on, every period adds the volume of the last usable
    // period at or before it; the periods before that add the first usable one's volume.
    const int base = 144 * (kind - SK_AM_PEAK_HOUR);
    constexpr int kHalf = 144;
    uint32_t carried[kHalf + 1];  // carried[i]: sum over base .. base + i - 1 (modulo 2^32, as the sums)
    bool usable[kHalf];
    carried[0] = 0;
    uint32_t last = 0;
    for (int i = 0; i < kHalf; ++i) {
      const SPeriodValue& v = period[base + i];
      usable[i] = Usable(v, c.useSuspect);
      if (usable[i]) last = v.volume;
      carried[i + 1] = carried[i] + last;
    }
    int best = base;
    uint32_t bestVol = 0;
    for (int i = 0; i <= kHalf - 12; i += 3) {
      int f = i;
      while (f < i + 12 && !usable[f]) ++f;
      uint32_t v = 0;
      if (f < i + 12)
        v = period[base + f].volume * static_cast<uint32_t>(f - i) + (carried[i + 12] - carried[f]);
      if (i == 0 || v >= bestVol) {
        best = base + i;
        bestVol = v;
      }
    }
    return ComputeWindowSummary(best, best + 12, c, checkDisabled);
  }
  SPeriodWindow w = SummaryKindWindow(kind);
  return ComputeWindowSummary(w.start, w.end, c, checkDisabled);
}

namespace {

// Running sums of a period table for the summary rules, in one pass. counts[i]: the class counts
// (packed, any value above 3 counting as bad) of the periods before period i. For each suspect
// setting: next[i] is the first usable period at or after i (288 when none), and volume, occupancy
// and samples hold the sums before period i of what each period adds once a usable period came
// before it: the values of the last usable period at or before it. The volumes are summed modulo
// 2^32, as the totals keep them.
struct SRunningSums {
  uint64_t counts[PERIODS_PER_DAY + 1];
  struct SCarried {
    bool made = false;
    int16_t next[PERIODS_PER_DAY + 1];
    uint32_t volume[PERIODS_PER_DAY + 1], samples[PERIODS_PER_DAY + 1];
    uint64_t occupancy[PERIODS_PER_DAY + 1];
  } carried[2];

  explicit SRunningSums(const CPeriodTable& t) {
    SPackedClassCounts k;
    for (int p = 0; p < PERIODS_PER_DAY; ++p) {
      counts[p] = k.lanes;
      k.Add(t.period[p].cls);
    }
    counts[PERIODS_PER_DAY] = k.lanes;
  }

  void MakeCarried(const CPeriodTable& t, bool useSuspect) {
    SCarried& c = carried[useSuspect];
    if (c.made) return;
    c.made = true;
    uint32_t vol = 0, n = 0;
    uint64_t occ = 0;
    uint32_t lastVol = 0, lastOcc = 0, lastN = 0;
    c.volume[0] = c.occupancy[0] = c.samples[0] = 0;
    for (int p = 0; p < PERIODS_PER_DAY; ++p) {
      const SPeriodValue& v = t.period[p];
      if (Usable(v, useSuspect)) {
        lastVol = v.volume;
        lastOcc = v.occWeighted;
        lastN = v.samples;
      }
      c.volume[p + 1] = vol += lastVol;
      c.occupancy[p + 1] = occ += lastOcc;
      c.samples[p + 1] = n += lastN;
    }
    c.next[PERIODS_PER_DAY] = PERIODS_PER_DAY;
    for (int p = PERIODS_PER_DAY - 1; p >= 0; --p)
      c.next[p] = static_cast<int16_t>(Usable(t.period[p], useSuspect) ? p : c.next[p + 1]);
  }

  SClassCounts Counts(int start, int end) const {
    start = std::max(start, 0);
    end = std::min(end, PERIODS_PER_DAY);
    if (start >= end) return SClassCounts{};
    return SPackedClassCounts{counts[end] - counts[start]}.Counts();
  }

  // GetSummaryTotals of the table (MakeCarried done for the setting).
  SSummaryTotals Totals(const CPeriodTable& t, int start, int end, bool useSuspect) const {
    SSummaryTotals r;
    start = std::max(start, 0);
    end = std::min(end, PERIODS_PER_DAY);
    if (start >= end) return r;
    r.counts = Counts(start, end);
    const SCarried& c = carried[useSuspect];
    const int f = c.next[start];
    if (f >= end) return r;  // nothing usable: zeros
    const SPeriodValue& first = t.period[f];
    const uint64_t lead = static_cast<uint64_t>(f - start);
    r.volume = static_cast<uint32_t>(first.volume * lead + (c.volume[end] - c.volume[f]));
    r.occupancy = OccupancyFromSums(first.occWeighted * lead + (c.occupancy[end] - c.occupancy[f]),
                                    first.samples * lead + uint32_t{c.samples[end] - c.samples[f]}, t.fine);
    return r;
  }

  // The volume of Totals alone.
  uint32_t Volume(const CPeriodTable& t, int start, int end, bool useSuspect) const {
    const SCarried& c = carried[useSuspect];
    const int f = c.next[start];
    if (f >= end) return 0;
    return static_cast<uint32_t>(t.period[f].volume * static_cast<uint64_t>(f - start) + uint32_t{c.volume[end] - c.volume[f]});
  }

  // CheckRunning of the table.
  bool Running(int start, int end, int step, int width, int minG, int maxS, int maxB, int maxD,
               bool checkDisabled) const {
    if (step < 1) step = 1;
    if (width < 1) width = 1;
    for (int s = start; s < end; s += step) {
      int e = s + width;
      int ws = s;
      if (e > end) {
        e = end;
        ws = std::max(end - width, start);
      }
      if (!CountsPass(Counts(ws, e), minG, maxS, maxB, maxD, checkDisabled)) return false;
      if (e >= end) break;
    }
    return true;
  }

  SSummary Window(const CPeriodTable& t, int start, int end, const ValidityCriteria& c, bool checkDisabled) const {
    SSummary r;
    SSummaryTotals tot = Totals(t, start, end, c.useSuspect);
    r.volume = tot.volume;
    r.occupancy = tot.occupancy;
    r.counts = tot.counts;
    r.start = start;
    r.valid = true;
    if (c.running)
      r.valid = Running(start, end, c.runStep, c.runWidth, c.runMinG, c.runMaxS, c.runMaxB, c.runMaxD, checkDisabled);
    if (c.total && r.valid) r.valid = CountsPass(r.counts, c.totMinG, c.totMaxS, c.totMaxB, c.totMaxD, checkDisabled);
    return r;
  }
};

}  // namespace

void CPeriodTable::ComputeSummaries(const std::array<ValidityCriteria, SK_COUNT>& criteria, SSummary out[SK_COUNT],
                                    bool checkDisabled) const {
  SRunningSums sums(*this);
  for (int kind = 0; kind < SK_COUNT; ++kind) {
    const ValidityCriteria& c = criteria[kind];
    sums.MakeCarried(*this, c.useSuspect);
    if (kind == SK_AM_PEAK_HOUR || kind == SK_PM_PEAK_HOUR) {
      // The best hour as ComputeSummary finds it; the window volumes from the running sums.
      const int base = 144 * (kind - SK_AM_PEAK_HOUR);
      int best = base;
      uint32_t bestVol = 0;
      for (int s = base; s <= base + 132; s += 3) {
        const uint32_t v = sums.Volume(*this, s, s + 12, c.useSuspect);
        if (s == base || v >= bestVol) {
          best = s;
          bestVol = v;
        }
      }
      out[kind] = sums.Window(*this, best, best + 12, c, checkDisabled);
    } else {
      SPeriodWindow w = SummaryKindWindow(kind);
      out[kind] = sums.Window(*this, w.start, w.end, c, checkDisabled);
    }
  }
}
