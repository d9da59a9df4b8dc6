// Validity classes, summary kinds, validity criteria and the summary rules shared by every day
// class that has five-minute periods: class counts, summary totals with substitution, the running
// check and the peak-hour search. Also the small shared pieces of the span rules: half-up
// rounding, the 15-interval class fold and the gap-filling walk of the interpolated methods.
#pragma once

#include <array>
#include <cstdint>

constexpr int PERIODS_PER_DAY = 288;
constexpr int INTERVALS_PER_PERIOD = 15;
constexpr int INTERVALS_PER_DAY = 4320;

// Validity class of a five-minute period (also the flag value of the five-minute layout).
enum EPeriodClass : int { PC_BAD = 0, PC_GOOD = 1, PC_SUSPECT = 2, PC_DISABLED = 3 };

// Summary kinds of the daily and multi-day reports.
enum ESummaryKind : int {
  SK_DAILY = 0,
  SK_AM_PEAK = 1,
  SK_PM_PEAK = 2,
  SK_AM_PEAK_HOUR = 3,
  SK_PM_PEAK_HOUR = 4,
  SK_COUNT = 5
};

// Aggregation methods of a span: method = 3 x treatment + selection.
constexpr int METHOD_COUNT = 9;

// Rounds half up the way every report value is rounded: add 0.5 and truncate toward zero.
// (A mean of -1 therefore gives 0.)
inline int RoundHalfUp(double x) { return static_cast<int>(x + 0.5); }
inline int64_t RoundHalfUp64(double x) { return static_cast<int64_t>(x + 0.5); }

// Ten-character label of a summary kind ("Daily     " ...); "          " for an unknown kind.
const char* SummaryKindLabel(int kind);

// Window of a summary kind in five-minute periods, end exclusive. For the peak-hour kinds this is
// the fixed hour (07:00-08:00, 17:00-18:00) that element kinds without a best-hour search use.
struct SPeriodWindow {
  int start;
  int end;
};
SPeriodWindow SummaryKindWindow(int kind);

// Class of one 20-second interval of the finer loop layout from its present bit and 3-bit code:
// codes 0, 1 and 3 are good, 6 is disabled, every other code and an absent interval are bad.
inline int IntervalClass(bool present, int code) {
  if (!present) return PC_BAD;
  switch (code) {
    case 0:
    case 1:
    case 3: return PC_GOOD;
    case 6: return PC_DISABLED;
    default: return PC_BAD;
  }
}
// Usable: present with code 0, 1 or 3.
inline bool IntervalUsable(bool present, int code) {
  return present && (code == 0 || code == 1 || code == 3);
}

// One step of the running-class fold of a period's intervals. running < 0 means "none yet".
// A good interval that differs turns the running class suspect; a bad or disabled one turns a
// good or suspect running class suspect and a bad or disabled one disabled.
inline int FoldClass(int running, int intervalClass) {
  if (running < 0) return intervalClass;
  if (intervalClass == running) return running;
  if (intervalClass == PC_GOOD) return PC_SUSPECT;
  return (running == PC_GOOD || running == PC_SUSPECT) ? PC_SUSPECT : PC_DISABLED;
}

// Validity criteria of one summary kind.
struct ValidityCriteria {
  bool useSuspect;
  bool running;
  bool total;
  int16_t runMinG, runMaxS, runMaxB, runMaxD, runStep, runWidth;
  int16_t totMinG, totMaxS, totMaxB, totMaxD;
};
using ValidityTables = std::array<ValidityCriteria, SK_COUNT>;

// The built-in criteria that stand until the Classic view's profile values replace them.
ValidityTables builtInCriteria();

// One five-minute period as the summary rules see it. occWeighted is occupancy x nPds (tenths x
// samples) in the five-minute layout and the sum of raw interval counts in the finer layout.
struct SPeriodValue {
  uint8_t cls;      // EPeriodClass; a period without samples is bad
  uint8_t samples;  // nPds, or present intervals
  uint32_t volume;
  uint32_t occWeighted;
};

// Occupancy in tenths of a per cent from a weighted sum and its sample count; 0 without samples.
inline uint32_t OccupancyFromSums(uint64_t occWeighted, uint64_t samples, bool fine) {
  if (samples == 0) return 0;
  if (fine) return static_cast<uint32_t>(RoundHalfUp(static_cast<double>(occWeighted) / (samples * 1.2)));
  return static_cast<uint32_t>(RoundHalfUp(static_cast<double>(occWeighted) / static_cast<double>(samples)));
}

struct SClassCounts {
  int good = 0;
  int suspect = 0;
  int bad = 0;
  int disabled = 0;
  void Add(int cls) {
    switch (cls) {
      case PC_GOOD: ++good; break;
      case PC_SUSPECT: ++suspect; break;
      case PC_DISABLED: ++disabled; break;
      default: ++bad; break;
    }
  }
  void Add(const SClassCounts& o) {
    good += o.good;
    suspect += o.suspect;
    bad += o.bad;
    disabled += o.disabled;
  }
};

// Class counts in the 16-bit lanes of one word, the lane being the class (any value above 3
// counts as bad): adding a period is one add, and the counts between two running tallies are one
// subtraction. Each count stays below 65536.
struct SPackedClassCounts {
  uint64_t lanes = 0;
  static uint64_t One(unsigned cls) { return uint64_t{1} << (16 * (cls <= PC_DISABLED ? cls : unsigned{PC_BAD})); }
  void Add(unsigned cls) { lanes += One(cls); }
  SClassCounts Counts() const {
    SClassCounts k;
    k.bad = static_cast<int>(lanes >> (16 * PC_BAD) & 0xFFFF);
    k.good = static_cast<int>(lanes >> (16 * PC_GOOD) & 0xFFFF);
    k.suspect = static_cast<int>(lanes >> (16 * PC_SUSPECT) & 0xFFFF);
    k.disabled = static_cast<int>(lanes >> (16 * PC_DISABLED) & 0xFFFF);
    return k;
  }
};

struct SSummaryTotals {
  uint32_t volume = 0;
  uint32_t occupancy = 0;  // tenths of a per cent
  SClassCounts counts;
};

struct SSummary {
  bool valid = false;
  uint32_t volume = 0;
  uint32_t occupancy = 0;
  SClassCounts counts;
  int start = 0;  // first period of the summarised window
};

// The 288 periods of one day, ready for the summary rules. Day classes fill it once per summary
// (folding their intervals in the finer layout) and the rules below work on it.
class CPeriodTable {
 public:
  SPeriodValue period[PERIODS_PER_DAY];
  bool fine = false;

  // Adds 1 to the count of each period's class over [start, end).
  SClassCounts CountClasses(int start, int end) const;
  // Totals of [start, end): a period that is not usable adds the values of the last usable one
  // (the first usable one of the window for a leading run); each period counts by its own class.
  SSummaryTotals GetSummaryTotals(int start, int end, bool useSuspect) const;
  // The volume of GetSummaryTotals alone (for the peak-hour search).
  uint32_t WindowVolume(int start, int end, bool useSuspect) const;
  // Running check over [start, end); true when every window passes. Disabled periods are limited
  // only when checkDisabled is set (element kinds without a disabled class pass false).
  bool CheckRunning(int start, int end, int step, int width, int minG, int maxS, int maxB, int maxD,
                    bool checkDisabled = true) const;
  // Summary of one kind: fixed windows for kinds 0 to 2, best-hour search for kinds 3 and 4.
  SSummary ComputeSummary(int kind, const ValidityCriteria& c, bool checkDisabled = true) const;
  // The summaries of the five kinds, each the same as ComputeSummary of the kind, from running
  // sums made in one pass over the day: class counts, and for each suspect setting the kinds use,
  // the substituted volume, weighted occupancy and samples.
  void ComputeSummaries(const std::array<ValidityCriteria, SK_COUNT>& criteria, SSummary out[SK_COUNT],
                        bool checkDisabled = true) const;
  // Summary of one kind over a given window, without a search (used for fixed peak hours).
  SSummary ComputeWindowSummary(int start, int end, const ValidityCriteria& c,
                                bool checkDisabled = true) const;
};

// The gap-filling walk of the interpolated methods. Units are walked in order; each unselected
// unit adds its slots to the gap. A selected unit takes its own share plus the gap before it, of
// which the previous selected unit takes the first half (rounded down); the first selected unit
// takes the whole leading gap and the last one the trailing gap. Add(unit, slots) is called for
// every share handed out (possibly with 0 slots).
class CGapWalk {
 public:
  void Skip(int slots) { m_gap += slots; }
  int Gap() const { return m_gap; }
  bool HasPrevious() const { return m_prev >= 0; }

  // A selected unit. addOwn false: the unit takes no share of its own and does not become the
  // previous unit (the gap before it still ends there, with the previous unit's half handed out).
  template <class AddFn>
  void Selected(int unit, int ownSlots, AddFn&& add, bool addOwn = true) {
    if (m_gap == 0 || m_prev < 0) {
      if (addOwn) add(unit, m_gap + ownSlots);
    } else {
      int half = m_gap / 2;
      add(m_prev, half);
      if (addOwn) add(unit, m_gap + ownSlots - half);
    }
    m_gap = 0;
    if (addOwn) m_prev = unit;
  }

  template <class AddFn>
  void Finish(AddFn&& add) {
    if (m_prev >= 0 && m_gap > 0) add(m_prev, m_gap);
    m_gap = 0;
  }

  void Reset() {
    m_gap = 0;
    m_prev = -1;
  }

 private:
  int m_gap = 0;
  int m_prev = -1;
};
