// Span values of the loop day under the nine aggregation methods, the length estimate and speed.
#include <gtest/gtest.h>

#include "loop_test_util.h"

using namespace looptest;

namespace {

// Four periods from t = 0: good, absent, suspect with 10 samples, good with 12 samples.
CLoopDay SpanDay() {
  CLoopDay day;
  Fill(day, {1, 15, 100, 10});
  Set(day, 1, {1, 0, 0, 0});
  Set(day, 2, {2, 10, 80, 6});
  Set(day, 3, {1, 12, 120, 12});
  return day;
}

TEST(LoopSpan, NineMethodsOnFiveMinuteLayout) {
  struct Row {
    int volume, occupancy, validity, periods, flag;
  };
  const Row rows[9] = {
      {22, 109, 500, 27, 1}, {28, 101, 625, 37, 2}, {28, 101, 625, 37, 2},
      {49, 109, 500, 60, 1}, {45, 101, 625, 60, 2}, {47, 104, 625, 60, 2},
      {50, 110, 500, 60, 1}, {44, 97, 625, 60, 2},  {48, 105, 625, 60, 2},
  };
  CLoopDay day = SpanDay();
  for (int m = 0; m < 9; ++m) {
    SCOPED_TRACE(m);
    EXPECT_EQ(day.GetSpanVolume(0, 60, m), rows[m].volume);
    EXPECT_EQ(day.GetSpanOccupancy(0, 60, m), rows[m].occupancy);
    EXPECT_EQ(day.GetSpanValidity(0, 60, m), rows[m].validity);
    EXPECT_EQ(day.GetSpanPeriods(0, 60, m), rows[m].periods);
    EXPECT_EQ(day.GetSpanFlag(0, 60, m), rows[m].flag);
  }
  EXPECT_EQ(day.GetSpanVolume(0, 60, 9), 0);
  EXPECT_EQ(day.GetSpanPeriods(0, 60, 9), 0);
  EXPECT_EQ(day.GetSpanOccupancy(0, 60, 9), 0);
  EXPECT_EQ(day.GetSpanFlag(0, 60, 9), 4);
}

TEST(LoopSpan, OccupancySumUsesPerPeriodTerms) {
  CLoopDay day = SpanDay();
  // Terms: round(100 x 1.2 x 15) = 1800, absent 0, round(80 x 1.2 x 10) = 960, round(120 x 1.2 x 12) = 1728.
  EXPECT_EQ(day.GetSpanOccupancySum(0, 60, 0), 1800 + 1728);
  EXPECT_EQ(day.GetSpanOccupancySum(0, 60, 1), 1800 + 960 + 1728);
  EXPECT_EQ(day.GetSpanOccupancySum(0, 60, 3), 7840);  // 60 x 3528 / 27 = 7840
  // Method 6: 1800 x 15 / 15 = 1800, then 1800 x 15 / 15 = 1800 and 1728 x 30 / 12 = 4320.
  EXPECT_EQ(day.GetSpanOccupancySum(0, 60, 6), 1800 + 1800 + 4320);
}

TEST(LoopSpan, EmptyAndShortSpans) {
  CLoopDay day = SpanDay();
  for (int m = 0; m < 9; ++m) {
    EXPECT_EQ(day.GetSpanValidity(0, 7, m), 0);  // covers no period: no division by zero
    EXPECT_EQ(day.GetSpanVolume(0, 7, m), 0);
    EXPECT_EQ(day.GetSpanFlag(0, 7, m), 4);
  }
  // Good + suspect under method 1: 750 = 75.0 %.
  EXPECT_EQ(day.GetSpanValidity(15, 30, 1), 250);  // absent + suspect
  EXPECT_EQ(day.GetSpanValidity(30, 30, 1), 750);
  // Spans reaching past the end of a day read absent periods.
  CLoopDay empty;
  empty.Load(nullptr, 0, 0);
  EXPECT_EQ(empty.GetSpanVolume(4300, 20, 6), 0);
  EXPECT_EQ(empty.GetSpanFlag(4300, 20, 0), 0);
  EXPECT_EQ(empty.GetSpanValidity(0, 4320, 1), 0);
}

TEST(LoopSpan, DisabledAndMixedFlags) {
  CLoopDay day;
  Fill(day, {3, 15, 0, 0});
  EXPECT_EQ(day.GetSpanFlag(0, 45, 0), 3);
  EXPECT_EQ(day.GetSpanFlag(0, 45, 2), 3);
  Set(day, 1, {1, 0, 0, 0});  // an absent period is bad, so not all are disabled
  EXPECT_EQ(day.GetSpanFlag(0, 45, 0), 0);
  Set(day, 2, {1, 15, 0, 0});
  EXPECT_EQ(day.GetSpanFlag(0, 45, 2), 2);  // good meets other kinds
  EXPECT_EQ(day.GetSpanFlag(30, 15, 2), 1);
}

TEST(LoopSpan, FinerLayout) {
  // Intervals 0-14: 5 usable (vol 2, raw 60), 5 chatter (vol 9, raw 600), 5 usable (vol 4, raw 120).
  std::vector<unsigned char> b;
  for (int i = 0; i < 4320; ++i) {
    if (i < 5) PackFine(b, true, 0, 60, 2);
    else if (i < 10) PackFine(b, true, 2, 600, 9);
    else if (i < 15) PackFine(b, true, 1, 120, 4);
    else PackFine(b, false, 0, 0, 0);
  }
  CLoopDay day;
  day.Load(b.data(), static_cast<int>(b.size()), 4320);
  EXPECT_EQ(day.GetSpanVolume(0, 15, 0), 30);
  EXPECT_EQ(day.GetSpanVolume(0, 15, 1), 30);
  EXPECT_EQ(day.GetSpanVolume(0, 15, 2), 75);
  EXPECT_EQ(day.GetSpanVolume(0, 15, 3), 45);           // 15 x 30 / 10
  EXPECT_EQ(day.GetSpanVolume(0, 15, 6), 30 + 2 * 2 + 3 * 4);  // gap of 5: 2 to the left, 3 to the right
  EXPECT_EQ(day.GetSpanOccupancy(0, 15, 0), 75);         // 900 / (10 x 1.2)
  EXPECT_EQ(day.GetSpanOccupancy(0, 15, 2), 217);        // 3900 / (15 x 1.2) = 216.7
  EXPECT_EQ(day.GetSpanOccupancy(0, 15, 6), 77);         // (7 x 60 + 8 x 120) / (15 x 1.2) = 76.7
  EXPECT_EQ(day.GetSpanPeriods(0, 15, 0), 10);
  EXPECT_EQ(day.GetSpanPeriods(0, 15, 2), 15);
  EXPECT_EQ(day.GetSpanPeriods(0, 15, 4), 15);
  EXPECT_EQ(day.GetSpanValidity(0, 15, 0), 667);
  EXPECT_EQ(day.GetSpanFlag(0, 15, 0), 1);
  EXPECT_EQ(day.GetSpanFlag(0, 15, 2), 2);
  EXPECT_EQ(day.GetSpanFlag(15, 15, 1), 0);
  EXPECT_EQ(day.GetSpanFlag(15, 15, 2), 0);
  EXPECT_EQ(day.GetSpanFlag(5, 5, 0), 0);  // chatter alone is bad, not disabled
}

TEST(LoopSpan, WindowVolumesAgreeWithSingleSpans) {
  unsigned seed = 11;
  auto next = [&](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(range));
  };
  std::vector<unsigned char> b5, bf;
  for (int i = 0; i < 288; ++i) Pack5(b5, next(4), next(3) == 0 ? 0 : 1 + next(15), next(600), next(200));
  for (int i = 0; i < 4320; ++i) PackFine(bf, next(9) != 0, next(8), next(900), next(32));
  CLoopDay five, fine, shortDay;
  five.Load(b5.data(), static_cast<int>(b5.size()), 288);
  fine.Load(bf.data(), static_cast<int>(bf.size()), 4320);
  shortDay.Load(bf.data(), 300, 4320);  // only 100 intervals arrived
  for (const CLoopDay* day : {&five, &fine, &shortDay})
    for (int length : {1, 15, 45, 180, 2160})
      for (int m = 0; m < 10; ++m) {
        int first = m % 2 ? 0 : 2160, last = first + 2160 - length;
        std::vector<int64_t> out(static_cast<size_t>(last - first + 1));
        day->GetSpanVolumes(first, last, length, m, out.data());
        for (int s = first; s <= last; ++s)
          ASSERT_EQ(out[s - first], day->GetSpanVolume(s, length, m)) << length << " " << m << " " << s;
      }
}

struct LengthDay {
  CLoopDay day;
  LengthDay() {
    Fill(day, {1, 15, 100, 130});
    for (int p = 144; p < 288; ++p) Set(day, p, {1, 15, 150, 100});
  }
};

TEST(LoopSpan, LengthEstimateAndSpeed) {
  SSpeedParams prm;
  LengthDay a;
  EXPECT_EQ(a.day.GetSpanSpeed(2160, 15, 0, prm), 333);
  EXPECT_EQ(a.day.estimatedLength, 220);
  EXPECT_EQ(a.day.GetSpanSpeed(0, 15, 0, prm), 650);  // occupancy 100 is at the bound

  // Nothing within the bounds: the mean length; the whole-day speed needs more than 32 bits.
  CLoopDay big;
  Fill(big, {1, 15, 200, 250});
  EXPECT_EQ(big.GetSpanSpeed(0, 4320, 0, prm), 625);
  EXPECT_EQ(big.estimatedLength, 220);

  // Clamped to the longest length; Clear starts over.
  CLoopDay light;
  Fill(light, {1, 15, 100, 20});
  light.EstimateLength(15, 0, prm);
  EXPECT_EQ(light.estimatedLength, 240);
  light.Clear();
  EXPECT_EQ(light.estimatedLength, -1);

  CLoopDay zero;
  Fill(zero, {1, 15, 100, 0});
  zero.EstimateLength(15, 0, prm);
  EXPECT_EQ(zero.estimatedLength, 220);
}

TEST(LoopSpan, LengthEstimateByMethod) {
  SSpeedParams prm;
  // Every period good and in bounds, occupancy 80 (term 1440), volume 100: 1440 x 650 x 11 /
  // (100 x 450) = 228.8 -> 229 whatever the method, as scaling and filling keep the ratio.
  CLoopDay day;
  Fill(day, {1, 15, 80, 100});
  for (int m = 0; m < 9; ++m) {
    day.EstimateLength(45, m, prm);
    EXPECT_EQ(day.estimatedLength, 229) << m;
  }
  day.EstimateLength(45, 9, prm);
  EXPECT_EQ(day.estimatedLength, 220);
  // Twice the volume in the first span only: every span of the day counts, 414720 x 650 x 11 /
  // (29100 x 450) = 226.4.
  CLoopDay heavyStart;
  Fill(heavyStart, {1, 15, 80, 100});
  for (int p = 0; p < 3; ++p) Set(heavyStart, p, {1, 15, 80, 200});
  for (int m = 0; m < 9; ++m) {
    heavyStart.EstimateLength(45, m, prm);
    EXPECT_EQ(heavyStart.estimatedLength, 226) << m;
  }
  // Suspect periods of half the volume: methods that take good periods only leave them out
  // (6 fills their slots from the good neighbours).
  for (int p = 0; p < 288; p += 3) Set(day, p, {2, 15, 80, 50});
  for (int m : {0, 3, 6}) {
    day.EstimateLength(45, m, prm);
    EXPECT_EQ(day.estimatedLength, 229) << m;
  }
}

}  // namespace
