// Summary rules: substitution, running and total checks, peak-hour search, bad criteria.
#include <gtest/gtest.h>

#include <random>

#include "loop_test_util.h"

using namespace looptest;

namespace {

SSummary Summary(const CLoopDay& day, int kind, const ValidityTables& t = builtInCriteria()) {
  return day.ComputeSummary(kind, t);
}

TEST(LoopSummary, SubstitutionUsesTheLastUsablePeriod) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, Period>> set;
    bool useSuspect;
    uint32_t volume, occupancy;
    int good, suspect, bad;
  };
  const Case cases[] = {
      {"bad period 5", {{5, {0, 15, 500, 99}}}, true, 2880, 100, 287, 0, 1},
      {"bad period 0", {{0, {0, 15, 500, 99}}}, true, 2880, 100, 287, 0, 1},
      {"missing period counts bad", {{7, {1, 0, 0, 99}}}, true, 2880, 100, 287, 0, 1},
      {"suspect, not used", {{6, {2, 15, 100, 50}}}, false, 2880, 100, 287, 1, 0},
      {"suspect, used", {{6, {2, 15, 100, 50}}}, true, 2920, 100, 287, 1, 0},
  };
  for (const Case& c : cases) {
    CLoopDay day;
    Fill(day, {1, 15, 100, 10});
    for (auto& [i, p] : c.set) Set(day, i, p);
    SSummaryTotals t = day.GetSummaryTotals(0, 288, c.useSuspect);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(t.volume, c.volume);
    EXPECT_EQ(t.occupancy, c.occupancy);
    EXPECT_EQ(t.counts.good, c.good);
    EXPECT_EQ(t.counts.suspect, c.suspect);
    EXPECT_EQ(t.counts.bad, c.bad);
  }
}

TEST(LoopSummary, SubstituteAddsItsWeightedOccupancy) {
  // Only period 9 is usable: every other period copies it, so the day's occupancy is its own.
  CLoopDay day;
  Fill(day, {0, 0, 0, 0});
  Set(day, 9, {1, 15, 100, 3});
  SSummaryTotals t = day.GetSummaryTotals(0, 288, true);
  EXPECT_EQ(t.occupancy, 100u);
  EXPECT_EQ(t.volume, 3u * 288);
  EXPECT_EQ(t.counts.bad, 287);
  // A window without any usable period has nothing to copy.
  SSummaryTotals z = day.GetSummaryTotals(12, 24, true);
  EXPECT_EQ(z.volume, 0u);
  EXPECT_EQ(z.occupancy, 0u);
}

TEST(LoopSummary, RunningAndTotalChecks) {
  ValidityTables noRunning = builtInCriteria();
  noRunning[SK_DAILY].running = false;
  struct Case {
    const char* name;
    std::vector<std::pair<int, Period>> set;
    const ValidityTables* t;
    bool valid;
  };
  std::vector<std::pair<int, Period>> perHourSuspect, s25, g263, g264;
  for (int h = 0; h < 24; ++h) perHourSuspect.push_back({12 * h, {2, 15, 100, 10}});
  for (int i = 0; i < 25; ++i) s25.push_back({i * 11, {2, 15, 100, 10}});
  for (int i = 0; i < 25; ++i) g263.push_back({i, {i < 8 ? 2 : (i < 17 ? 0 : 3), 15, 100, 10}});
  for (int i = 0; i < 24; ++i) g264.push_back({i, {i < 8 ? 2 : (i < 16 ? 0 : 3), 15, 100, 10}});
  const ValidityTables built = builtInCriteria();
  const Case cases[] = {
      {"two bad in one hour", {{3, {0, 15, 0, 0}}, {7, {0, 15, 0, 0}}}, &built, false},
      {"two bad in two hours", {{3, {0, 15, 0, 0}}, {15, {0, 15, 0, 0}}}, &built, true},
      {"one suspect per hour", perHourSuspect, &built, true},
      {"25 suspect without running", s25, &noRunning, false},
      {"263 good without running", g263, &noRunning, false},
      {"264 good without running", g264, &noRunning, true},
  };
  for (const Case& c : cases) {
    CLoopDay day;
    Fill(day, {1, 15, 100, 10});
    for (auto& [i, p] : c.set) Set(day, i, p);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Summary(day, SK_DAILY, *c.t).valid, c.valid);
  }
}

TEST(LoopSummary, TotalLimitsPassWhenEqual) {
  // Per kind with the running check off: the window holds exactly the allowed number of
  // suspect, bad or disabled periods (valid), then one more (invalid).
  ValidityTables t = builtInCriteria();
  for (auto& c : t) c.running = false;
  for (int kind : {SK_DAILY, SK_AM_PEAK, SK_PM_PEAK}) {
    SPeriodWindow w = SummaryKindWindow(kind);
    for (int cls : {PC_SUSPECT, PC_BAD, PC_DISABLED}) {
      int limit = t[kind].totMaxS;  // the built-in limits are equal for S, B and D
      for (int extra : {0, 1}) {
        CLoopDay day;
        Fill(day, {1, 15, 100, 10});
        for (int i = 0; i < limit + extra; ++i) Set(day, w.start + i, {cls, 15, 100, 10});
        SSummary s = Summary(day, kind, t);
        EXPECT_EQ(s.valid, extra == 0) << kind << " " << cls << " " << extra;
        EXPECT_EQ(s.counts.good, w.end - w.start - limit - extra);
      }
    }
  }
  // Peak hours: at most one period that is not good in the best hour.
  CLoopDay day;
  Fill(day, {1, 15, 100, 10});
  Set(day, 132, {2, 15, 100, 10});
  EXPECT_TRUE(Summary(day, SK_AM_PEAK_HOUR, t).valid);
  Set(day, 133, {3, 15, 100, 10});
  EXPECT_FALSE(Summary(day, SK_AM_PEAK_HOUR, t).valid);
}

TEST(LoopSummary, PeakHourSearch) {
  CLoopDay day;
  Fill(day, {1, 15, 100, 10});
  EXPECT_EQ(Summary(day, SK_AM_PEAK_HOUR).start, 132);  // equal volumes: the later window wins
  EXPECT_EQ(Summary(day, SK_PM_PEAK_HOUR).start, 276);
  for (int p = 84; p < 96; ++p) Set(day, p, {1, 15, 100, 20});
  for (int p = 201; p < 213; ++p) Set(day, p, {1, 15, 100, 30});
  SSummary am = Summary(day, SK_AM_PEAK_HOUR);
  EXPECT_EQ(am.start, 84);
  EXPECT_EQ(am.volume, 240u);
  SSummary pm = Summary(day, SK_PM_PEAK_HOUR);
  EXPECT_EQ(pm.start, 201);
  CText out("");
  day.WriteDailyLine(out, SK_AM_PEAK_HOUR, 0, builtInCriteria());
  day.WriteDailyLine(out, SK_PM_PEAK_HOUR, 0, builtInCriteria());
  EXPECT_EQ(Str(out),
            "     AM Pk Hour VAL    240  10.0%   12   0   0   0 (07:00--08:00)\n"
            "     PM Pk Hour VAL    360  10.0%   12   0   0   0 (16:45--17:45)\n");
}

TEST(LoopSummary, BadCriteriaNeitherHangNorReadOutside) {
  CLoopDay day;
  Fill(day, {1, 15, 100, 10});
  Set(day, 0, {0, 15, 0, 0});
  Set(day, 1, {0, 15, 0, 0});
  ValidityTables t = builtInCriteria();
  for (int k = 0; k < SK_COUNT; ++k) {
    t[k].running = true;
    t[k].runStep = 0;    // would never advance
    t[k].runWidth = 300; // wider than any window
    t[k].runMaxB = 2;
    t[k].runMinG = 0;
  }
  for (int k = 0; k < SK_COUNT; ++k) EXPECT_TRUE(Summary(day, k, t).valid) << k;
  t[SK_DAILY].runStep = -1;
  t[SK_DAILY].runMaxB = 0;
  for (int16_t width : {-4, 0}) {  // one-period windows find the bad ones
    t[SK_DAILY].runWidth = width;
    SSummary each[SK_COUNT];
    day.ComputeSummaries(t, each);
    EXPECT_FALSE(each[SK_DAILY].valid) << width;
    EXPECT_FALSE(Summary(day, SK_DAILY, t).valid) << width;
  }
  CPeriodTable table;
  day.FillPeriodTable(table);
  EXPECT_TRUE(table.CheckRunning(288, 288, 12, 12, 11, 0, 0, 0));  // an empty range passes
  EXPECT_TRUE(table.CheckRunning(2, 288, 0, 300, 286, 0, 0, 0));   // clamped to the window's start
}

// The peak-hour search and the window totals against the rules spelled out period by period, on
// tables with every class, periods without samples and long unusable runs.
TEST(LoopSummary, SearchAndTotalsAgreeWithThePlainRules) {
  std::mt19937 rng(77);
  for (int round = 0; round < 60; ++round) {
    CPeriodTable table;
    const int badShare = round % 4;  // 0: all usable .. 3: mostly unusable
    for (int p = 0; p < PERIODS_PER_DAY; ++p) {
      const bool usable = static_cast<int>(rng() % 4) >= badShare;
      const uint8_t cls = usable ? static_cast<uint8_t>(1 + rng() % 2) : static_cast<uint8_t>(rng() % 4);
      const uint8_t samples = rng() % 8 == 0 ? 0 : static_cast<uint8_t>(1 + rng() % 15);
      table.period[p] = SPeriodValue{cls, samples, static_cast<uint32_t>(rng() % 300),
                                     static_cast<uint32_t>(rng() % 5000)};
    }
    for (bool useSuspect : {false, true}) {
      auto usable = [&](const SPeriodValue& v) {
        return v.samples != 0 && (v.cls == PC_GOOD || (useSuspect && v.cls == PC_SUSPECT));
      };
      for (SPeriodWindow w : {SPeriodWindow{0, 288}, SPeriodWindow{72, 108}, SPeriodWindow{140, 152}}) {
        SPeriodValue sub{PC_BAD, 0, 0, 0};
        for (int p = w.start; p < w.end; ++p)
          if (usable(table.period[p])) {
            sub = table.period[p];
            break;
          }
        uint64_t vol = 0, occW = 0, n = 0;
        for (int p = w.start; p < w.end; ++p) {
          if (usable(table.period[p])) sub = table.period[p];
          vol += sub.volume;
          occW += sub.occWeighted;
          n += sub.samples;
        }
        SSummaryTotals t = table.GetSummaryTotals(w.start, w.end, useSuspect);
        EXPECT_EQ(t.volume, static_cast<uint32_t>(vol)) << round;
        EXPECT_EQ(t.occupancy, OccupancyFromSums(occW, n, false)) << round;
      }
      ValidityCriteria c = builtInCriteria()[SK_AM_PEAK_HOUR];
      c.useSuspect = useSuspect;
      for (int kind : {SK_AM_PEAK_HOUR, SK_PM_PEAK_HOUR}) {
        const int base = kind == SK_AM_PEAK_HOUR ? 0 : 144;
        int best = base;
        uint32_t bestVol = 0;
        for (int s = base; s <= base + 132; s += 3) {
          uint32_t v = table.WindowVolume(s, s + 12, useSuspect);
          if (s == base || v >= bestVol) {
            best = s;
            bestVol = v;
          }
        }
        SSummary r = table.ComputeSummary(kind, c);
        EXPECT_EQ(r.start, best) << round << " " << kind;
        EXPECT_EQ(r.volume, bestVol) << round << " " << kind;
      }
    }
  }
}

// The five summaries made together agree with each kind made alone, for criteria of every shape:
// either suspect setting, overlapping and odd running windows, limits that pass and fail.
TEST(LoopSummary, SummariesMadeTogetherAgreeWithEachKind) {
  std::mt19937 rng(4242);
  for (int round = 0; round < 200; ++round) {
    CPeriodTable table;
    table.fine = round % 5 == 0;
    const int badShare = round % 4;
    for (int p = 0; p < PERIODS_PER_DAY; ++p) {
      const bool usable = static_cast<int>(rng() % 4) >= badShare;
      const uint8_t cls = usable ? static_cast<uint8_t>(1 + rng() % 2) : static_cast<uint8_t>(rng() % 6);
      const uint8_t samples = rng() % 8 == 0 ? 0 : static_cast<uint8_t>(1 + rng() % 15);
      table.period[p] = SPeriodValue{cls, samples, static_cast<uint32_t>(rng() % 300),
                                     static_cast<uint32_t>(rng() % 5000)};
    }
    ValidityTables t = builtInCriteria();
    if (round % 2) {
      for (ValidityCriteria& c : t) {
        c.useSuspect = rng() % 2;
        c.running = rng() % 3 != 0;
        c.total = rng() % 3 != 0;
        c.runStep = static_cast<int16_t>(static_cast<int>(rng() % 15) - 1);
        c.runWidth = static_cast<int16_t>(static_cast<int>(rng() % 40) - 2);
        c.runMinG = static_cast<int16_t>(rng() % 12);
        c.runMaxS = static_cast<int16_t>(rng() % 4);
        c.runMaxB = static_cast<int16_t>(rng() % 6);
        c.runMaxD = static_cast<int16_t>(rng() % 4);
        c.totMinG = static_cast<int16_t>(rng() % 200);
        c.totMaxS = static_cast<int16_t>(rng() % 60);
        c.totMaxB = static_cast<int16_t>(rng() % 100);
        c.totMaxD = static_cast<int16_t>(rng() % 60);
      }
    }
    for (bool checkDisabled : {true, false}) {
      SSummary together[SK_COUNT];
      table.ComputeSummaries(t, together, checkDisabled);
      for (int k = 0; k < SK_COUNT; ++k) {
        SSummary alone = table.ComputeSummary(k, t[k], checkDisabled);
        SCOPED_TRACE(testing::Message() << "round " << round << " kind " << k << " " << checkDisabled);
        EXPECT_EQ(together[k].valid, alone.valid);
        EXPECT_EQ(together[k].volume, alone.volume);
        EXPECT_EQ(together[k].occupancy, alone.occupancy);
        EXPECT_EQ(together[k].start, alone.start);
        EXPECT_EQ(together[k].counts.good, alone.counts.good);
        EXPECT_EQ(together[k].counts.suspect, alone.counts.suspect);
        EXPECT_EQ(together[k].counts.bad, alone.counts.bad);
        EXPECT_EQ(together[k].counts.disabled, alone.counts.disabled);
      }
    }
  }
}

// Within one daily report the summaries come from the day as it is then: a day changed or
// reloaded between reports, or other criteria, give the new summaries.
TEST(LoopSummary, DailyReportFollowsTheDayAndTheCriteria) {
  CLoopDay day;
  Fill(day, {1, 15, 100, 10});
  ValidityTables t = builtInCriteria();
  auto report = [&](const ValidityTables& c) {
    CText out("");
    day.WriteDailyReport(out, 0, c);
    return Str(out);
  };
  const std::string before = report(t);
  for (int p = 84; p < 96; ++p) Set(day, p, {1, 15, 100, 20});
  const std::string changed = report(t);
  EXPECT_NE(changed, before);
  EXPECT_NE(changed.find("AM Pk Hour VAL    240"), std::string::npos) << changed;
  t[SK_AM_PEAK_HOUR].totMinG = 13;  // more good periods than an hour holds
  const std::string stricter = report(t);
  EXPECT_NE(stricter.find("AM Pk Hour INV    240"), std::string::npos) << stricter;
  Fill(day, {1, 15, 100, 10});
  EXPECT_EQ(report(builtInCriteria()), before);
  SSummary each[SK_COUNT];
  day.ComputeSummaries(t, each);
  for (int k = 0; k < SK_COUNT; ++k) EXPECT_EQ(each[k].volume, day.ComputeSummary(k, t).volume) << k;
}

}  // namespace
