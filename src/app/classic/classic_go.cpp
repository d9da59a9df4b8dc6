#include "app/classic/classic_go.h"

#include "app/shell/input_loader.h"
#include "trafficdata/run_control.h"

namespace {

// The selected indexes that are real items (in range, not "n/a"), at most `max` of them.
std::vector<int> UsableItems(const std::vector<int>& sel, const bool* na, int items, size_t max) {
  std::vector<int> out;
  for (size_t i = 0; i < sel.size() && i < max; ++i) {
    int k = sel[i];
    if (k >= 0 && k < items && !na[k]) out.push_back(k);
  }
  return out;
}

bool Blank(const std::string& name) { return name.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

std::string CheckGo(const GoInput& in, GoPlan& plan) {
  plan = GoPlan();
  // Element-days of each piece of work and of each block's load (raw, single-day, multi-day),
  // and multi-day lines.
  int64_t raws = 0, min15s = 0, dailies = 0, lines = 0;
  int64_t loads[3] = {0, 0, 0};
  if (!in.rawOn && !in.sdsOn && !in.mdsOn) return "No output files are turned on";
  // Without a name the report would have no file of its own in the output folder.
  if (in.rawOn && Blank(in.rawName)) return "No file name given for rawdata output";
  if (in.rawOn && in.rawSource == 0) {
    if (in.raw.dates == 0) return "No dates selected for rawdata output";
    if (in.raw.elements == 0) return "No elements selected for rawdata output";
    loads[0] = raws = in.raw.elements * in.raw.dates;
  }
  if (in.rawOn && in.rawSource == 1) {
    if (in.sds.dates == 0) return "No dates selected for rawdata output";
    if (in.sds.elements == 0) return "No elements selected for rawdata output";
    // One load serves both when the single-day summaries are on.
    loads[1] = raws = in.sds.elements * in.sds.dates;
  }
  if (in.sdsOn) {
    if (Blank(in.sdsName)) return "No file name given for single output";
    if (!in.min15 && !in.daily) return "No reports have been selected for single output";
    if (in.sds.dates == 0) return "No dates have been selected for single output";
    if (in.sds.elements == 0) return "No elements have been selected for single output";
    int64_t ed = in.sds.elements * in.sds.dates;
    loads[1] = ed;
    if (in.min15) min15s = ed;
    if (in.daily) dailies = ed;
  }
  if (in.mdsOn) {
    if (Blank(in.mdsName)) return "No file name given for multi output";
    if (!in.monthlyDow && !in.yearlyDow && !in.annual) return "No reports have been selected for multi output";
    if (in.mdsYear == 0) return "No dates have been selected for multi output";
    if (in.mds.dates == 0) return "No dates have been selected for multi output (check data directory)";
    if (in.mds.elements == 0) return "No elements have been selected for multi output";
    loads[2] = in.mds.elements * in.mds.dates;
  }
  const int64_t e = in.mds.elements;
  if (in.monthlyDow) {
    plan.months = UsableItems(in.monthSel, in.monthNa, 12, 12);
    plan.monthlyDays = UsableItems(in.monthlyDowSel, in.monthlyDowNa, 7, 7);
    if (plan.months.empty()) return "No months have been selected for Monthly Day-of-Week output";
    if (plan.monthlyDays.empty()) return "No days have been selected for Monthly Day-of-Week output";
    lines += 5 * static_cast<int64_t>(plan.monthlyDays.size()) * e * static_cast<int64_t>(plan.months.size());
  }
  if (in.yearlyDow && in.yearlyDowEnabled) {
    plan.yearlyDays = UsableItems(in.yearlyDowSel, in.yearlyDowNa, 7, 7);
    if (plan.yearlyDays.empty()) return "No days have been selected for Yearly Day-of-Week output";
    lines += 5 * static_cast<int64_t>(plan.yearlyDays.size()) * e;
  }
  if (in.annual && in.annualEnabled) {
    lines += 15 * e;
    plan.annual = true;
  }
  // The multi-day choices are checked whatever the switch, but their tables are written only into
  // a multi-day report.
  if (!in.mdsOn) lines = 0;
  // The phases in the worker's order (the raw block's own load and listing; the single-day load
  // with the listing and the summaries it serves; the multi-day load and tables), each load at the
  // units its loader adds (the multi-day one keeps only the days' summaries).
  auto load = [&plan, &loads](int b) {
    const double speedup = LoadSpeedup(loads[b]);
    plan.phases.push_back({GP_LOAD, loads[b] * LoadDayUnits(speedup, false, b == 2),
                           loads[b] * LoadDayUnits(speedup, true, b == 2)});
  };
  const int64_t rawUnits = raws * kProgressRawDay;
  if (in.rawOn && in.rawSource == 0) {
    load(0);
    plan.phases.push_back({GP_RAW, rawUnits, rawUnits});
  }
  if (in.sdsOn || (in.rawOn && in.rawSource == 1)) {
    load(1);
    if (in.rawOn && in.rawSource == 1) plan.phases.push_back({GP_RAW, rawUnits, rawUnits});
    if (in.sdsOn)
      plan.phases.push_back({GP_SDS, min15s * kProgress15MinDay + dailies * kProgressDailyDay,
                             min15s * kProgress15MinFineDay + dailies * kProgressDailyFineDay});
  }
  if (in.mdsOn) {
    load(2);
    plan.phases.push_back({GP_MDS, lines * kProgressMultiDayLine, lines * kProgressMultiDayLine});
  }
  for (const GoPhase& p : plan.phases) {
    plan.estimate += p.units;
    plan.estimateFine += p.unitsFine;
  }
  return {};
}
