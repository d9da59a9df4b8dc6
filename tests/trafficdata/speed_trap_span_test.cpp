// Speed-trap interval classes, span values and summaries.
#include <gtest/gtest.h>

#include <vector>

#include "trafficdata/speed_trap_span.h"

using namespace trafficdata;

namespace {

struct T {
  int flag, nPds, speed, length, b1, b2, b3, b4;
};

struct TrapDay {
  std::vector<uint8_t> flag, nPds, b[4];
  std::vector<uint16_t> speed, length;
  TrapDay(int count, std::initializer_list<T> first, T rest = {0, 0, 0, 0, 0, 0, 0, 0}) {
    for (int i = 0; i < count; ++i) {
      T t = i < static_cast<int>(first.size()) ? first.begin()[i] : rest;
      flag.push_back(static_cast<uint8_t>(t.flag));
      nPds.push_back(static_cast<uint8_t>(t.nPds));
      speed.push_back(static_cast<uint16_t>(t.speed));
      length.push_back(static_cast<uint16_t>(t.length));
      b[0].push_back(static_cast<uint8_t>(t.b1));
      b[1].push_back(static_cast<uint8_t>(t.b2));
      b[2].push_back(static_cast<uint8_t>(t.b3));
      b[3].push_back(static_cast<uint8_t>(t.b4));
    }
  }
  SpeedTrapDayView View() const {
    const uint8_t* bins[4] = {b[0].data(), b[1].data(), b[2].data(), b[3].data()};
    return SpeedTrapDayView(flag.data(), nPds.data(), speed.data(), length.data(), bins, static_cast<int>(flag.size()));
  }
};

}  // namespace

TEST(SpeedTrapSpan, IntervalClassPrecedence) {
  TrapDay d(4320, {{0x70, 1, 600, 200, 1, 0, 0, 0},    // bits 4-6 only: good and usable
                   {0x04, 1, 600, 200, 1, 0, 0, 0},    // bit 2: bad
                   {0x81, 1, 600, 200, 1, 0, 0, 0},    // bits 7 and 0: disabled wins
                   {0x00, 0, 600, 200, 1, 0, 0, 0}});  // absent: bad
  SpeedTrapDayView v = d.View();
  EXPECT_EQ(PC_GOOD, v.IntervalClass(0));
  EXPECT_TRUE(v.Usable(0));
  EXPECT_EQ(PC_BAD, v.IntervalClass(1));
  EXPECT_EQ(PC_DISABLED, v.IntervalClass(2));
  EXPECT_FALSE(v.Usable(2));
  EXPECT_EQ(PC_BAD, v.IntervalClass(3));
  EXPECT_EQ(PC_BAD, v.IntervalClass(5000));
  // A period of 15 disabled intervals flags 3 under every method but 2's mixtures.
  TrapDay dis(4320, {}, {0x80, 1, 600, 200, 1, 0, 0, 0});
  EXPECT_EQ(3, dis.View().GetSpanFlag(0, 15, 0));
  EXPECT_EQ(3, dis.View().GetSpanFlag(0, 15, 2));
  EXPECT_EQ(PC_DISABLED, dis.View().GetPeriod(0).cls);
  // A day without entries: its periods are bad and empty.
  const SpeedTrapPeriod none = TrapDay(0, {}).View().GetPeriod(0);
  EXPECT_EQ(PC_BAD, none.cls);
  EXPECT_EQ(0u, none.Vehicles() + none.samples);
}

// Good, missing, good under method 6: the earlier period covers 15 + 7 units, the later 15 + 8.
TEST(SpeedTrapSpan, Method6WeightsByCoveredUnits) {
  TrapDay d(288, {{1, 15, 600, 200, 10, 0, 0, 0}, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 15, 700, 300, 20, 0, 0, 0}});
  SpeedTrapDayView v = d.View();
  // numerator 6000 + 2800 + round(21466.7) = 30267, denominator 10 + round(4.67) + round(30.67) = 46
  EXPECT_EQ(658u, v.GetSpanSpeed(0, 45, 6));
  // bin 1: 10 + round(10 x 7 / 15) + round(20 x 23 / 15) = 10 + 5 + 31
  EXPECT_EQ(46u, v.GetSpanBin(1, 0, 45, 6));
  // plain and scaled
  EXPECT_EQ(667u, v.GetSpanSpeed(0, 45, 0));  // (6000 + 14000) / 30
  EXPECT_EQ(30u, v.GetSpanBin(1, 0, 45, 0));
  EXPECT_EQ(45u, v.GetSpanBin(1, 0, 45, 3));  // 45 x 30 / 30 samples
  EXPECT_EQ(667u, v.GetSpanValidity(0, 45, 0));
  EXPECT_EQ(30u, v.GetSpanPeriods(0, 45, 0));
  EXPECT_EQ(2, v.GetSpanFlag(0, 45, 2));  // good meets a missing period
  EXPECT_EQ(1, v.GetSpanFlag(0, 45, 1));
}

TEST(SpeedTrapSpan, ZeroVehiclesGiveZeroSpeed) {
  TrapDay d(288, {}, {1, 15, 600, 200, 0, 0, 0, 0});
  SpeedTrapDayView v = d.View();
  for (int m = 0; m < 9; ++m) EXPECT_EQ(0u, v.GetSpanSpeed(0, 60, m)) << m;
  SpeedTrapTotals t = v.GetSummaryTotals(0, 288, true);
  EXPECT_EQ(0u, t.speed);
  EXPECT_EQ(0u, t.length);
  EXPECT_EQ(288, t.good);
}

TEST(SpeedTrapSpan, FinerLayoutInterpolationWeightsTrailingIntervals) {
  // usable (speed 600, 2 vehicles), 2 unusable, usable (speed 900, 1 vehicle), 1 unusable
  TrapDay d(4320, {{0, 1, 600, 100, 2, 0, 0, 0},
                   {1, 1, 0, 0, 0, 0, 0, 0},
                   {0, 0, 0, 0, 0, 0, 0, 0},
                   {0, 1, 900, 100, 1, 0, 0, 0},
                   {0, 0, 0, 0, 0, 0, 0, 0}});
  SpeedTrapDayView v = d.View();
  // weights: first 2, then gap 2 -> previous gains 2 x 1, current 1 x 2, trailing 1 x 1
  // (600 x 4 + 900 x 3) / 7 = 728.6
  EXPECT_EQ(729u, v.GetSpanSpeed(0, 5, 6));
  EXPECT_EQ(700u, v.GetSpanSpeed(0, 5, 0));  // (1200 + 900) / 3
  EXPECT_EQ(2u + 2u + 2u + 1u, v.GetSpanBin(1, 0, 5, 6));
}

TEST(SpeedTrapSummary, SubstitutionAndFixedWindows) {
  // Daily: period 0 bad, 1 good, 2 bad, rest bad.
  TrapDay d(288, {{0, 15, 0, 0, 9, 9, 9, 9}, {1, 15, 600, 200, 4, 0, 0, 0}, {0, 15, 0, 0, 9, 9, 9, 9}});
  SpeedTrapDayView v = d.View();
  SpeedTrapTotals t = v.GetSummaryTotals(0, 3, true);
  EXPECT_EQ(12u, t.bins[0]);  // the bad periods take the good period's bins
  EXPECT_EQ(0u, t.bins[1]);
  EXPECT_EQ(600u, t.speed);
  EXPECT_EQ(1, t.good);
  EXPECT_EQ(2, t.bad);
  ValidityCriteria r = builtInCriteria()[0];
  r.running = false;
  r.total = false;
  SpeedTrapSummary s = v.ComputeSummary(3, r);
  EXPECT_EQ(84, s.start);
  EXPECT_EQ(204, v.ComputeSummary(4, r).start);
  // Running check with a step of 0 and a width wider than the window ends.
  r.running = true;
  r.runStep = 0;
  r.runWidth = 300;
  r.runMinG = 0;
  r.runMaxS = r.runMaxB = r.runMaxD = 300;
  EXPECT_TRUE(v.ComputeSummary(0, r).valid);
}

// Method 5 scales the good periods' sums by (15 x span periods - suspect samples) / good samples,
// multiplying before dividing: 51 vehicles x 29 / 6 is exactly 246.5, which rounds up to 247.
TEST(SpeedTrapSpan, Method5ScalesExactHalvesUp) {
  TrapDay d(288, {{1, 6, 600, 200, 51, 0, 0, 0}, {2, 1, 0, 0, 0, 0, 0, 0}});
  SpeedTrapDayView v = d.View();
  // numerator round(600 x 51 x 29 / 6) = 147900, denominator 247: 598.8
  EXPECT_EQ(599u, v.GetSpanSpeed(0, 30, 5));
  // numerator round(200 x 51 x 29 / 6) = 49300: 199.6
  EXPECT_EQ(200u, v.GetSpanLength(0, 30, 5));
  // the bins take the same scale: round(51 x 29 / 6) = 247
  EXPECT_EQ(247u, v.GetSpanBin(1, 0, 30, 5));
}
