#include "app/classic/classic_go.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "app/shell/input_loader.h"
#include "support/wait_estimator.h"
#include "trafficdata/run_control.h"

namespace {

// A set-up that passes every check: all three blocks on, every multi-day report.
GoInput AllOn() {
  GoInput in;
  in.rawOn = in.sdsOn = in.mdsOn = 1;
  in.rawName = "R.DAT";
  in.sdsName = "S.SDS";
  in.mdsName = "M.MDS";
  in.min15 = in.daily = true;
  in.monthlyDow = in.yearlyDow = in.yearlyDowEnabled = in.annual = in.annualEnabled = true;
  in.mdsYear = 2003;
  in.raw = {3, 2};
  in.sds = {4, 5};
  in.mds = {365, 7};
  in.monthSel = {0, 1};
  in.monthlyDowSel = {1};
  in.yearlyDowSel = {2, 3};
  return in;
}

// The units of a load of `elementDays` element-days, as its loader adds them.
int64_t Load(int64_t elementDays, bool fine = false, bool summaries = false) {
  return elementDays * LoadDayUnits(LoadSpeedup(elementDays), fine, summaries);
}

struct CheckCase {
  const char* text;
  std::function<void(GoInput&)> change;
};

TEST(ClassicGo, ChecksInOrderWithTheirTexts) {
  const CheckCase cases[] = {
      {"No output files are turned on", [](GoInput& i) { i.rawOn = i.sdsOn = i.mdsOn = 0; }},
      {"No file name given for rawdata output", [](GoInput& i) { i.rawName.clear(); i.raw.dates = 0; }},
      {"No file name given for single output", [](GoInput& i) { i.sdsName = "  "; i.min15 = i.daily = false; }},
      {"No file name given for multi output", [](GoInput& i) { i.mdsName.clear(); i.mdsYear = 0; }},
      {"", [](GoInput& i) { i.rawOn = 0; i.rawName.clear(); }},
      {"No dates selected for rawdata output", [](GoInput& i) { i.raw.dates = 0; i.sds.dates = 0; }},
      {"No elements selected for rawdata output", [](GoInput& i) { i.raw.elements = 0; }},
      {"No dates selected for rawdata output", [](GoInput& i) { i.rawSource = 1; i.sds.dates = 0; }},
      {"No elements selected for rawdata output", [](GoInput& i) { i.rawSource = 1; i.sds.elements = 0; }},
      {"No reports have been selected for single output", [](GoInput& i) { i.min15 = i.daily = false; i.mds.dates = 0; }},
      {"No dates have been selected for single output", [](GoInput& i) { i.sds.dates = 0; }},
      {"No elements have been selected for single output", [](GoInput& i) { i.sds.elements = 0; }},
      {"No reports have been selected for multi output",
       [](GoInput& i) { i.monthlyDow = i.yearlyDow = i.annual = false; }},
      {"No dates have been selected for multi output", [](GoInput& i) { i.mdsYear = 0; i.mds.dates = 0; }},
      {"No dates have been selected for multi output (check data directory)", [](GoInput& i) { i.mds.dates = 0; }},
      {"No elements have been selected for multi output", [](GoInput& i) { i.mds.elements = 0; }},
      {"No months have been selected for Monthly Day-of-Week output",
       [](GoInput& i) { i.monthNa[0] = i.monthNa[1] = true; i.monthlyDowSel.clear(); }},
      {"No days have been selected for Monthly Day-of-Week output", [](GoInput& i) { i.monthlyDowNa[1] = true; }},
      {"No days have been selected for Yearly Day-of-Week output", [](GoInput& i) { i.yearlyDowSel.clear(); }},
      {"", [](GoInput& i) { i.yearlyDowSel.clear(); i.yearlyDowEnabled = false; }},
      {"", [](GoInput& i) { i.rawSource = 2; i.raw = {0, 0}; }},
  };
  for (const CheckCase& c : cases) {
    GoInput in = AllOn();
    c.change(in);
    GoPlan plan;
    EXPECT_EQ(CheckGo(in, plan), c.text);
  }
}

TEST(ClassicGo, EstimateSumsTheBlocks) {
  GoInput in = AllOn();
  GoPlan plan;
  ASSERT_EQ(CheckGo(in, plan), "");
  // In the units the loader and the writers add, on five-minute and on 20-second days.
  for (const bool fine : {false, true}) {
    const int64_t line = kProgressMultiDayLine;
    int64_t raw = Load(3 * 2, fine) + 3 * 2 * kProgressRawDay;
    const int64_t tables = fine ? kProgress15MinFineDay + kProgressDailyFineDay : kProgress15MinDay + kProgressDailyDay;
    int64_t sds = Load(5 * 4, fine) + 5 * 4 * tables;
    int64_t mds = Load(7 * 365, fine, true);
    int64_t monthly = 5 * 1 * 7 * 2 * line, yearly = 5 * 2 * 7 * line, annual = 15 * 7 * line;
    EXPECT_EQ(fine ? plan.estimateFine : plan.estimate, raw + sds + mds + monthly + yearly + annual) << fine;
  }
  // The phases in the worker's order, each load apart from the report it serves.
  const int64_t tables = 5 * 4 * (kProgress15MinDay + kProgressDailyDay);
  const int64_t tablesFine = 5 * 4 * (kProgress15MinFineDay + kProgressDailyFineDay);
  const int64_t lines = (5 * 1 * 7 * 2 + 5 * 2 * 7 + 15 * 7) * kProgressMultiDayLine;
  EXPECT_EQ(plan.phases, (std::vector<GoPhase>{{GP_LOAD, Load(3 * 2), Load(3 * 2, true)},
                                               {GP_RAW, 3 * 2 * kProgressRawDay, 3 * 2 * kProgressRawDay},
                                               {GP_LOAD, Load(5 * 4), Load(5 * 4, true)},
                                               {GP_SDS, tables, tablesFine},
                                               {GP_LOAD, Load(7 * 365, false, true), Load(7 * 365, true, true)},
                                               {GP_MDS, lines, lines}}));
  EXPECT_TRUE(plan.annual);
  EXPECT_EQ(plan.months, (std::vector<int>{0, 1}));
  EXPECT_EQ(plan.yearlyDays, (std::vector<int>{2, 3}));
  // With the multi-day report off its ticked tables are still checked but never written.
  in.mdsOn = 0;
  ASSERT_EQ(CheckGo(in, plan), "");
  EXPECT_EQ(plan.estimate, Load(3 * 2) + 3 * 2 * kProgressRawDay + Load(5 * 4) + 5 * 4 * (kProgress15MinDay + kProgressDailyDay));
}

TEST(ClassicGo, RawFromTheSingleDaySelectionCountsOneLoad) {
  GoInput in;
  in.rawOn = 1;
  in.rawName = "R.DAT";
  in.sdsName = "S.SDS";
  in.rawSource = 1;
  in.sds = {10, 3};
  GoPlan plan;
  ASSERT_EQ(CheckGo(in, plan), "");
  EXPECT_EQ(plan.estimate, Load(3 * 10) + 3 * 10 * kProgressRawDay);  // SDS off: the load as well
  in.sdsOn = 1;
  in.daily = true;
  ASSERT_EQ(CheckGo(in, plan), "");
  EXPECT_EQ(plan.estimate, Load(3 * 10) + 3 * 10 * (kProgressRawDay + kProgressDailyDay));
  ASSERT_EQ(plan.phases.size(), 3u);
  EXPECT_EQ(plan.phases[0].kind, GP_LOAD);
  EXPECT_EQ(plan.phases[1].kind, GP_RAW);
  EXPECT_EQ(plan.phases[2].kind, GP_SDS);
}

TEST(ClassicGo, NaItemsAreDroppedAndDisabledChoicesIgnored) {
  GoInput in = AllOn();
  in.monthSel = {0, 4, 7};
  in.monthNa[4] = true;
  in.annualEnabled = false;
  in.yearlyDowEnabled = false;
  GoPlan plan;
  ASSERT_EQ(CheckGo(in, plan), "");
  EXPECT_EQ(plan.months, (std::vector<int>{0, 7}));
  EXPECT_TRUE(plan.yearlyDays.empty());
  EXPECT_FALSE(plan.annual);
}

TEST(ClassicGo, LargeSelectionDoesNotOverflow) {
  GoInput in;
  in.rawOn = 1;
  in.sdsOn = 1;
  in.rawName = "R.DAT";
  in.sdsName = "S.SDS";
  in.daily = true;
  in.raw = {3650, 2000};
  in.sds = {3650, 2000};
  GoPlan plan;
  ASSERT_EQ(CheckGo(in, plan), "");
  EXPECT_EQ(plan.estimate, 2 * Load(int64_t{2000} * 3650) + int64_t{2000} * 3650 * (kProgressRawDay + kProgressDailyDay));
  EXPECT_GT(plan.estimate, int64_t{INT_MAX});
  // The view scales both estimates by the larger one's divisor.
  int64_t div = CWaitEstimator::ScaleDivisor(plan.estimateFine);
  EXPECT_LE(plan.estimate / div, INT_MAX);
  EXPECT_LE(plan.estimateFine / div, INT_MAX);
  EXPECT_EQ(CWaitEstimator::ScaleDivisor(1000), 1);
  EXPECT_EQ(CWaitEstimator::ScaleDivisor(INT_MAX), 1);  // fills the dialog's range exactly: not scaled
}

}  // namespace
