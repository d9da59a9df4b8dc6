// The checks that "---GO!---" makes before a Classic run, and the run's work estimate. They read
// a snapshot of the view's options, counts and list selections, taken on the user-interface
// thread when GO is pressed; the worker reads the same snapshot, never the controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GoSelectionCount {
  int64_t dates = 0;
  int64_t elements = 0;
};

struct GoInput {
  int rawOn = 0, sdsOn = 0, mdsOn = 0;
  // The report file names typed in the blocks (a blank one names no file).
  std::string rawName, sdsName, mdsName;
  int rawSource = 0;  // 0 own selection, 1 the single-day selection
  bool min15 = false, daily = false;
  bool monthlyDow = false;
  bool yearlyDow = false, yearlyDowEnabled = false;
  bool annual = false, annualEnabled = false;
  int mdsYear = 0;
  GoSelectionCount raw, sds, mds;
  // Selected items of the three multi-day lists (indexes) and whether each item shows "n/a".
  std::vector<int> monthSel, monthlyDowSel, yearlyDowSel;
  bool monthNa[12] = {};
  bool monthlyDowNa[7] = {};
  bool yearlyDowNa[7] = {};
};

// The kinds of work a Classic run goes through: a block's load, and the writing of each report.
enum EGoPhase : int { GP_LOAD = 0, GP_RAW = 1, GP_SDS = 2, GP_MDS = 3 };

// The loads go on the helpers' threads, the reports are written on the worker's alone: their
// paces are of two families.
inline int GoPhaseFamily(int kind) { return kind == GP_LOAD ? 0 : 1; }

// One phase of the run: its kind and the units it adds on five-minute and on 20-second days.
struct GoPhase {
  int kind = GP_LOAD;
  int64_t units = 0, unitsFine = 0;
  bool operator==(const GoPhase&) const = default;
};

struct GoPlan {
  int64_t estimate = 0;  // in the units the loader and the writers add (kProgressLoadDay ...)
  int64_t estimateFine = 0;  // the same when every day is in the 20-second layout
  // The phases in the order the worker goes through them; their units add up to the estimates.
  std::vector<GoPhase> phases;
  // The selections the multi-day writer gets: indexes of items that are not "n/a".
  std::vector<int> months, monthlyDays, yearlyDays;
  bool annual = false;  // "Annual Values" ticked and enabled
};

// Runs the checks in order. Returns "" when a run may start (the plan filled), else the text of
// the first check that failed.
std::string CheckGo(const GoInput& in, GoPlan& plan);
