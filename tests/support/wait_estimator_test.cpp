#include "support/wait_estimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Shown(DWORD ms) {
  char t[32];
  CWaitEstimator::FormatTime(ms, t, sizeof t);
  return t;
}

}  // namespace

TEST(WaitEstimator, FirstChangeOnlyStartsTheClock) {
  CWaitEstimator e;
  EXPECT_FALSE(e.OnTick(500, 0, 100));  // no change yet
  EXPECT_TRUE(e.OnTick(1000, 5, 100));
  EXPECT_EQ(e.SampleCount(), 0);
  EXPECT_FALSE(e.HasEstimate());
  // The second increase gives the first sample: 10 steps in 1000 ms, 85 steps to go.
  EXPECT_TRUE(e.OnTick(2000, 15, 100));
  EXPECT_TRUE(e.HasEstimate());
  EXPECT_EQ(e.SampleCount(), 1);
  EXPECT_DOUBLE_EQ(e.Pace(), 100.0);
  EXPECT_EQ(e.Estimate(), 8500u);
  EXPECT_EQ(e.Countdown(), 8500u);
}

// Runs made of phases of steady pace, fed to the estimator at the wait dialog's 500 ms ticks. The
// time left stays "Estimating..." until the estimate is steady, is shown by `shownBy` seconds, and
// from then on (or from `judgedFrom`) keeps within a factor of 1.5 of the true time left, or 3 s of
// it, at every tick (at `within` of them where a long steady start looks like the whole pace):
// while the run's phases go at paces within a fifth of each other (as the progress units are
// weighed to), however unevenly their steps come, after a phase of another pace has begun
// (told by BeginPhase, as the views do with their titles), and through a run planned in phases of
// different paces (given by SetPlan, as the Classic view does; a load's phase may add more than
// its plan, growing the range as it begins).
TEST(WaitEstimator, TimeLeftIsShownOnceSteadyAndThenHolds) {
  struct Phase {
    double seconds, unitsPerSecond;
    int kind = 0, family = 0;
    double planned = 1;  // the share of its units the plan counts
  };
  struct Trace {
    const char* name;
    std::vector<Phase> phases;
    std::vector<double> cycle;  // the units of successive ticks, as shares of the pace (mean 1)
    double shownBy;             // seconds
    bool toldPhases = false;    // BeginPhase at the tick that ends each phase
    double judgedFrom = 0;      // seconds
    double within = 1;          // the share of the ticks judged that must hold
    bool planned = false;       // the phases are given as a plan, and told by their index
  } traces[] = {
      {"steady", {{40, 1000}}, {1}, 6.5},
      {"steady with jitter", {{40, 1000}}, {1.4, 0.6}, 6.5},
      {"slow start, then fast", {{3, 140}, {35, 1000}}, {1}, 9.5},
      // The same at the counts of a real run, a small fraction of a millisecond a step.
      {"slow start, then fast, many steps", {{3, 14000}, {35, 100000}}, {1}, 9.5},
      {"fast start, then slow", {{2, 3000}, {40, 1000}}, {1}, 9.5},
      {"loading, then writing", {{10, 900}, {25, 1080}}, {1.2, 0.8}, 6.5},
      {"writing, then loading", {{10, 1080}, {25, 900}}, {1.2, 0.8}, 6.5},
      {"a stall of two seconds", {{15, 1000}, {2, 0}, {25, 1000}}, {1}, 6.5},
      // A steady pace whose steps come unevenly: 2 and 8 steps on alternate ticks, 1 and 10, and the
      // cycle 5, 20, 5, 5, 20, 5.
      {"2 and 8 steps", {{300, 10}}, {0.4, 1.6}, 6.5},
      {"1 and 10 steps", {{300, 11}}, {2 / 11.0, 20 / 11.0}, 6.5},
      {"5, 20, 5, 5, 20, 5 steps", {{300, 20}}, {0.5, 2, 0.5, 0.5, 2, 0.5}, 6.5},
      // Steps that come only every two seconds: six changes take twelve; shown all the same.
      {"steps every two seconds", {{40, 1000}}, {0, 0, 0, 4}, 10.5},
      // A second phase at 2.5 times the first one's time a step: followed within four seconds.
      {"a slower phase begins", {{20, 1000}, {30, 400}}, {1}, 6.5, true, 24},
      {"a faster phase begins", {{20, 400}, {30, 1000}}, {1}, 6.5, true, 24},
      // Several small changes and then a large one: four of 1 step and one of 16, seven of 1 and
      // one of 30 (whose first three and a half seconds look like a pace of 2 steps a second),
      // each in a long and a short run; one of 1 and one of 30; bursts between idle ticks; a
      // bursty slow start.
      {"4 x 1 then 16 steps", {{300, 8}}, {.25, .25, .25, .25, 4}, 10},
      {"4 x 1 then 16 steps, 40 s", {{40, 8}}, {.25, .25, .25, .25, 4}, 10},
      {"7 x 1 then 30 steps", {{300, 9.25}}, {8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 240 / 37.0}, 10, false, 0, .95},
      {"7 x 1 then 30 steps, 40 s", {{40, 9.25}}, {8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 8 / 37.0, 240 / 37.0}, 10, false, 0, .9},
      {"1 then 30 steps", {{120, 31}}, {2 / 31.0, 60 / 31.0}, 10},
      {"bursts between idle ticks", {{60, 100}}, {0, 0, 3, 0, 1, 0, 0, 4}, 10},
      {"a burst every five seconds", {{300, 100}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 10}, 45},
      {"a bursty slow start", {{4, 30}, {60, 300}}, {.25, .25, .25, .25, 4}, 10},
      // A Classic run: loads at a third of the reports' pace, the single-day and multi-day
      // reports (kinds not seen before) near the raw listing's; and loads that add twice their
      // planned steps.
      {"planned: loads slower than reports",
       {{6, 500}, {12, 1500, 1, 1}, {5, 500}, {8, 1200, 2, 1}, {6, 400}, {2, 1000, 3, 1}}, {1.2, 0.8}, 9.5, false, 0, 1, true},
      {"planned: loads add twice their plan",
       {{12, 1000, 0, 0, .5}, {3, 1000, 1, 1}, {12, 1000, 0, 0, .5}, {12, 1000, 0, 0, .5}}, {1}, 9.5, false, 0, 1, true},
      // A report that nothing before it prices, begun as the time is due to be shown: shown once
      // the report's own pace shows.
      {"planned: the time is due in a first report", {{8, 500}, {20, 1500, 1, 1}, {2, 500}}, {1}, 9.5, false, 0, 1, true},
  };
  for (const Trace& trace : traces) {
    double total = 0, units = 0, range = 0;
    std::vector<CWaitEstimator::SPhase> plan;
    for (const Phase& p : trace.phases) {
      total += p.seconds, units += p.seconds * p.unitsPerSecond;
      plan.push_back({p.kind, p.family, static_cast<int64_t>(p.seconds * p.unitsPerSecond * p.planned)});
      range += static_cast<double>(plan.back().units);
    }
    CWaitEstimator e;
    int phase = 0;
    if (trace.planned) {
      e.SetPlan(plan.data(), static_cast<int>(plan.size()));
      e.BeginPhase(0, 0, 0);
    }
    double done = 0, shownAt = -1, judged = 0, held = 0;
    std::string firstOff;
    size_t tick = 0;
    auto grow = [&](int i) { range += trace.phases[static_cast<size_t>(i)].seconds * trace.phases[static_cast<size_t>(i)].unitsPerSecond - static_cast<double>(plan[static_cast<size_t>(i)].units); };
    grow(0);
    for (double t = 0.5; t < total; t += 0.5, ++tick) {
      // The units of the half second that ended at t, phase by phase.
      double from = t - 0.5, start = 0, added = 0;
      bool phaseEnded = false;
      for (const Phase& p : trace.phases) {
        const double a = std::max(from, start), b = std::min(t, start + p.seconds);
        if (b > a) added += (b - a) * p.unitsPerSecond;
        start += p.seconds;
        phaseEnded = phaseEnded || start == t;
      }
      done += added * trace.cycle[tick % trace.cycle.size()];
      const int position = static_cast<int>(std::min(done, units));
      e.OnTick(static_cast<DWORD>(t * 1000), position, static_cast<int>(range));
      if (trace.toldPhases && phaseEnded) e.BeginPhase(static_cast<DWORD>(t * 1000), position);
      if (trace.planned && phaseEnded && ++phase < static_cast<int>(plan.size())) {
        grow(phase);
        e.BeginPhase(static_cast<DWORD>(t * 1000), position, phase);
      }
      if (!e.Shown()) continue;
      if (shownAt < 0) shownAt = t;
      const double shown = e.Countdown() / 1000.0, truth = total - t;
      if (t < trace.judgedFrom) continue;
      const bool holds = std::fabs(shown - truth) <= 3 || std::max(shown, truth) <= 1.5 * std::min(shown, truth);
      judged += 1, held += holds ? 1 : 0;
      if (!holds && firstOff.empty())
        firstOff = std::to_string(shown) + " s shown at " + std::to_string(t) + " s with " + std::to_string(truth) + " s left";
    }
    EXPECT_GE(shownAt, 0) << trace.name << ": never shown";
    EXPECT_LE(shownAt, trace.shownBy) << trace.name;
    EXPECT_GE(held, trace.within * judged) << trace.name << ": " << held << " of " << judged << " ticks held; " << firstOff;
  }
}

// The pace is the time over the steps of the span of recent changes, whatever the changes' own
// milliseconds per step; the span keeps the changes of the last kSpanMs (and the one before them)
// and never more than kMaxChanges.
TEST(WaitEstimator, ThePaceIsTheTimeOverTheStepsOfTheRecentSpan) {
  struct Case {
    const char* name;
    int count;           // changes noted
    int64_t ms, steps;   // each change (the first `slow` ones take ten times the time)
    int slow;
    double pace;         // milliseconds per step
    int kept;            // changes in the span
  } cases[] = {
      {"one change", 1, 500, 4, 0, 125, 1},
      {"all changes within the span", 50, 500, 5, 0, 100, 50},
      {"the slow ones have left the span", 100, 500, 5, 10, 100, 60},
      {"the last two slow ones are needed to cover the span", 55, 500, 5, 10, 32500.0 / 235, 47},
      {"no more than kMaxChanges", 300, 100, 1, 0, 100, CWaitEstimator::kMaxChanges},
  };
  for (const Case& c : cases) {
    CWaitEstimator e;
    for (int i = 0; i < c.count; ++i) e.AddSample(i < c.slow ? 10 * c.ms : c.ms, c.steps);
    EXPECT_NEAR(e.Pace(), c.pace, 1e-9) << c.name;
    EXPECT_EQ(e.SampleCount(), c.kept) << c.name;
  }
}

TEST(WaitEstimator, SteadyRateRunsDownSmoothlyAndHysteresisHolds) {
  CWaitEstimator e;
  // 1 step every 500 ms, 100 steps.
  DWORD now = 0;
  e.OnTick(now, 0, 100);
  now += 500;
  e.OnTick(now, 1, 100);  // starts the clock
  now += 500;
  e.OnTick(now, 2, 100);
  EXPECT_EQ(e.Countdown(), 49000u);
  for (int pos = 3; pos <= 50; ++pos) {
    now += 500;
    e.OnTick(now, pos, 100);
    EXPECT_EQ(e.Countdown(), static_cast<DWORD>((100 - pos) * 500)) << pos;
  }
  // A slightly slower step (within 10 % + 1 ms of the countdown) leaves the countdown running.
  now += 600;
  e.OnTick(now, 51, 100);
  const DWORD kept = 25000 - 600;  // the countdown ran down by 600 ms
  EXPECT_EQ(e.Countdown(), kept);
  EXPECT_NE(e.Estimate(), kept);
  // A much slower rate resets it to the estimate.
  for (int pos = 52; pos <= 80; ++pos) {
    now += 5000;
    e.OnTick(now, pos, 100);
  }
  const int64_t c = e.Countdown(), est = e.Estimate();
  EXPECT_LE(std::llabs(c - est), est / 4 + 1);
  EXPECT_GT(e.Countdown(), 20u * 1000u);
}

TEST(WaitEstimator, MarginBoundariesAreInclusive) {
  // A countdown of 1000 ms meets one sample of e ms per step with one step left, so the estimate
  // is e and the margin e * 10 / 100 + 1: it stays within [e - margin, e + margin], else resets.
  struct Case {
    DWORD estimate;
    bool reset;
  } cases[] = {{1000, false}, {1112, false}, {1113, true}, {909, false}, {908, true}};
  for (const Case& c : cases) {
    CWaitEstimator e;
    e.m_nStepCount = 1;  // the clock started at tick 0, position 0
    e.m_nLastTick = c.estimate;  // no time passes for the countdown
    e.m_nCountdown = 1000;
    e.OnTick(c.estimate, 1, 2);
    EXPECT_EQ(e.Estimate(), c.estimate);
    EXPECT_EQ(e.Countdown(), c.reset ? c.estimate : 1000u) << c.estimate;
  }
}

TEST(WaitEstimator, FallingPositionTakesNoSample) {
  CWaitEstimator e;
  e.OnTick(0, 10, 100);
  e.OnTick(1000, 20, 100);
  ASSERT_EQ(e.SampleCount(), 1);
  EXPECT_TRUE(e.OnTick(2000, 5, 100));  // the bar moves back
  EXPECT_EQ(e.SampleCount(), 1);
  EXPECT_EQ(e.m_nLastPosition, 5);
  e.OnTick(2500, 10, 100);  // the clock restarted at 2000: 100 ms per step
  ASSERT_EQ(e.SampleCount(), 2);
  EXPECT_DOUBLE_EQ(e.Pace(), 1500.0 / 15);  // 10 steps in 1000 ms, then 5 in 500: the fall's 500 ms not counted
}

TEST(WaitEstimator, NeverNegativeNorWrapped) {
  // The counter runs past the upper end: the estimate is 0, not a wrapped huge value.
  CWaitEstimator e;
  e.OnTick(0, 1, 10);
  e.OnTick(1000, 5, 10);
  e.OnTick(2000, 50, 10);
  EXPECT_EQ(e.Estimate(), 0u);
  EXPECT_EQ(e.Countdown(), 0u);
  EXPECT_EQ(Shown(e.Countdown()), "00:00:00");
  // The dialog is up while the work goes on: it never shows 00:00:00.
  EXPECT_EQ(Shown(e.ShownTime()), "00:00:01");
  // The countdown stops at zero however long the wait.
  CWaitEstimator f;
  f.OnTick(0, 0, 1000);
  f.OnTick(100, 1, 1000);
  f.OnTick(200, 2, 1000);  // 99.8 s left
  f.OnTick(1000000, 2, 1000);
  EXPECT_EQ(f.Countdown(), 0u);
  // A very slow run: the estimate saturates instead of overflowing 32 bits, and the margin
  // arithmetic does not overflow either.
  CWaitEstimator g;
  g.OnTick(0, 0, 2000000000);
  g.OnTick(1, 1, 2000000000);
  g.OnTick(4000001, 2, 2000000000);  // 4000 s a step, 2e9 steps to go
  EXPECT_EQ(g.Estimate(), 0xFFFFFFFFu);
  EXPECT_EQ(g.Countdown(), 0xFFFFFFFFu);
  EXPECT_EQ(Shown(0xFFFFFFFFu), "1193:02:47");
}

TEST(WaitEstimator, TickCountWrapAround) {
  CWaitEstimator e;
  const DWORD t0 = 0xFFFFFF00u;
  e.OnTick(t0, 0, 100);
  e.OnTick(t0 + 100, 1, 100);  // starts the clock
  e.OnTick(t0 + 600, 2, 100);  // wraps past zero: 500 ms per step
  EXPECT_DOUBLE_EQ(e.Pace(), 500.0);
  EXPECT_EQ(e.Countdown(), 49000u);
}

TEST(WaitEstimator, TimeFormat) {
  EXPECT_EQ(Shown(0), "00:00:00");
  EXPECT_EQ(Shown(999), "00:00:00");
  EXPECT_EQ(Shown(61000), "00:01:01");
  EXPECT_EQ(Shown(3600000 + 59 * 60000 + 59999), "01:59:59");
}
