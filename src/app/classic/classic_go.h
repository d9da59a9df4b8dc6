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

struct GoPlan {
  int64_t estimate = 0;  // in the units the loader and the writers add (kProgressLoadDay ...)
  int64_t estimateFine = 0;  // the same when every day is in the 20-second layout
  // The selections the multi-day writer gets: indexes of items that are not "n/a".
  std::vector<int> months, monthlyDays, yearlyDays;
  bool annual = false;  // "Annual Values" ticked and enabled
};

// Runs the checks in order. Returns "" when a run may start (the plan filled), else the text of
// the first check that failed.
std::string CheckGo(const GoInput& in, GoPlan& plan);
