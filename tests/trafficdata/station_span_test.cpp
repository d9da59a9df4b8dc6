// Station span values under the nine aggregation methods, the length estimate and the speed.
#include <gtest/gtest.h>

#include <vector>

#include "trafficdata/station_span.h"

using namespace trafficdata;

namespace {

struct P {
  int flag, nPds, occ, vol, lanes;
};

// A five-minute station day of 288 periods; the given periods first, the rest absent.
struct StationDay5 {
  std::vector<uint8_t> flag, nPds, lanes;
  std::vector<uint16_t> vol, occ;
  explicit StationDay5(std::initializer_list<P> periods, P rest = {0, 0, 0, 0, 0}) {
    for (int i = 0; i < 288; ++i) {
      P p = i < static_cast<int>(periods.size()) ? periods.begin()[i] : rest;
      flag.push_back(static_cast<uint8_t>(p.flag));
      nPds.push_back(static_cast<uint8_t>(p.nPds));
      occ.push_back(static_cast<uint16_t>(p.occ));
      vol.push_back(static_cast<uint16_t>(p.vol));
      lanes.push_back(static_cast<uint8_t>(p.lanes));
    }
  }
  StationDayView View() const {
    return StationDayView(flag.data(), nPds.data(), vol.data(), occ.data(), lanes.data(), 288);
  }
};

// A finer-layout station day of 4320 intervals, all absent.
struct StationDayFine {
  std::vector<uint8_t> flag = std::vector<uint8_t>(4320), nPds = std::vector<uint8_t>(4320),
                       lanes = std::vector<uint8_t>(4320);
  std::vector<uint16_t> vol = std::vector<uint16_t>(4320), occ = std::vector<uint16_t>(4320);
  void Set(int i, bool good, int occupancy, int volume, int laneCount) {
    flag[i] = good ? 1 : 0;
    lanes[i] = static_cast<uint8_t>(laneCount);
    nPds[i] = laneCount != 0;
    occ[i] = static_cast<uint16_t>(occupancy);
    vol[i] = static_cast<uint16_t>(volume);
  }
  StationDayView View() const {
    return StationDayView(flag.data(), nPds.data(), vol.data(), occ.data(), lanes.data(), 4320);
  }
};

}  // namespace

// Span t = 0, L = 60 over four periods: good, absent, suspect, good.
TEST(StationSpan, AllMethodsFiveMinute) {
  StationDay5 d({{1, 15, 100, 10, 2}, {1, 0, 0, 0, 0}, {2, 10, 80, 6, 2}, {1, 12, 120, 12, 3}});
  StationDayView v = d.View();
  struct Row {
    int volume, occupancy, occSum, periods, validity, flag;
  };
  const Row expected[9] = {
      {22, 110, 10080, 27, 500, 1}, {28, 100, 12960, 37, 625, 2}, {28, 100, 12960, 37, 625, 2},
      {44, 110, 20160, 60, 500, 1}, {37, 100, 17280, 60, 625, 2}, {39, 103, 18000, 60, 625, 2},
      {44, 110, 20160, 60, 500, 1}, {34, 95, 16176, 60, 625, 2},  {40, 105, 18096, 60, 625, 2},
  };
  for (int m = 0; m < 9; ++m) {
    SCOPED_TRACE(m);
    EXPECT_EQ(expected[m].volume, static_cast<int>(v.GetSpanVolume(0, 60, m)));
    EXPECT_EQ(expected[m].occupancy, static_cast<int>(v.GetSpanOccupancy(0, 60, m)));
    EXPECT_EQ(expected[m].occSum, static_cast<int>(v.GetSpanOccupancySum(0, 60, m)));
    EXPECT_EQ(expected[m].periods, static_cast<int>(v.GetSpanPeriods(0, 60, m)));
    EXPECT_EQ(expected[m].validity, static_cast<int>(v.GetSpanValidity(0, 60, m)));
    EXPECT_EQ(expected[m].flag, v.GetSpanFlag(0, 60, m));
  }
  EXPECT_EQ(0u, v.GetSpanVolume(0, 60, 9));
  EXPECT_EQ(4, v.GetSpanFlag(0, 60, 9));
}

// Good, bad, good under method 6: volume gives the bad period's share wholly to the later good
// period, the occupancy sum splits its 15 samples 7 to 8.
TEST(StationSpan, Method6FillsVolumeByPeriodsAndOccupancySumBySamples) {
  StationDay5 d({{1, 15, 100, 10, 2}, {0, 15, 300, 99, 2}, {1, 15, 120, 12, 3}});
  StationDayView v = d.View();
  EXPECT_EQ(10u + 12u * 2u, v.GetSpanVolume(0, 45, 6));
  EXPECT_EQ(3600u + 1680u + 9936u, v.GetSpanOccupancySum(0, 45, 6));
  // Flag 3 counts as bad: only method 2 takes it.
  StationDay5 f({{1, 15, 100, 10, 2}, {3, 15, 300, 99, 2}, {1, 15, 120, 12, 3}});
  EXPECT_EQ(10u + 99u + 12u, f.View().GetSpanVolume(0, 45, 2));
  EXPECT_EQ(34u, f.View().GetSpanVolume(0, 45, 6));
}

TEST(StationSpan, EmptySelectionAndEmptySpan) {
  StationDay5 d({}, {0, 15, 100, 10, 2});  // every period bad
  StationDayView v = d.View();
  for (int m = 0; m < 9; ++m) {
    SCOPED_TRACE(m);
    EXPECT_EQ(0, v.GetSpanFlag(0, 60, m));
    if (m != 2) {
      EXPECT_EQ(0u, v.GetSpanVolume(0, 60, m));
      EXPECT_EQ(0u, v.GetSpanOccupancy(0, 60, m));
      EXPECT_EQ(0u, v.GetSpanOccupancySum(0, 60, m));
      EXPECT_EQ(0u, v.GetSpanPeriods(0, 60, m));
    }
    // A span shorter than a period on a five-minute day covers no period: no division by 0.
    EXPECT_EQ(0u, v.GetSpanValidity(0, 5, m));
    EXPECT_EQ(0u, v.GetSpanVolume(0, 5, m));
    EXPECT_EQ(m % 3 == 0 ? 0 : 4, v.GetSpanFlag(0, 5, m));
  }
}

TEST(StationSpan, FinerLayout) {
  StationDayFine d;
  // 15 intervals: 10 usable (occ 120 raw, 2 lanes, vol 3), 3 present but not good, 2 absent.
  for (int i = 0; i < 10; ++i) d.Set(i, true, 120, 3, 2);
  for (int i = 10; i < 13; ++i) d.Set(i, false, 60, 1, 2);
  StationDayView v = d.View();
  EXPECT_EQ(30u, v.GetSpanVolume(0, 15, 0));
  EXPECT_EQ(33u, v.GetSpanVolume(0, 15, 2));
  EXPECT_EQ(45u, v.GetSpanVolume(0, 15, 3));      // 15 x 30 / 10
  EXPECT_EQ(45u, v.GetSpanVolume(0, 15, 6));      // the trailing 5 intervals take the last volume
  EXPECT_EQ(100u, v.GetSpanOccupancy(0, 15, 0));  // 1200 / (10 x 1.2)
  EXPECT_EQ(77u, v.GetSpanOccupancy(0, 15, 2));   // 1380 / (15 x 1.2) = 76.7
  EXPECT_EQ(2400u, v.GetSpanOccupancySum(0, 15, 0));
  EXPECT_EQ(10u, v.GetSpanPeriods(0, 15, 0));
  EXPECT_EQ(13u, v.GetSpanPeriods(0, 15, 2));
  EXPECT_EQ(15u, v.GetSpanPeriods(0, 15, 4));
  EXPECT_EQ(667u, v.GetSpanValidity(0, 15, 5));
  EXPECT_EQ(1, v.GetSpanFlag(0, 15, 0));
  EXPECT_EQ(2, v.GetSpanFlag(0, 15, 2));
  EXPECT_EQ(0, v.GetSpanFlag(20, 15, 0));
  // An empty span: 4 only under method 2; the other methods say "All Bad Data".
  for (int m = 0; m < 9; ++m) EXPECT_EQ(m == 2 ? 4 : 0, v.GetSpanFlag(0, 0, m)) << m;
  // The period fold: all usable good, a mixture suspect, none usable bad; raw 120 x 15 / 18 = 100.
  StationDayFine g;
  for (int i = 0; i < 15; ++i) g.Set(i, true, 120, 1, 1);
  for (int i = 15; i < 29; ++i) g.Set(i, true, 120, 1, 1);
  StationDayView gv = g.View();
  EXPECT_EQ(PC_GOOD, gv.GetPeriod(0).cls);
  EXPECT_EQ(100u, gv.GetPeriod(0).Occupancy(true));
  EXPECT_EQ(PC_SUSPECT, gv.GetPeriod(1).cls);
  EXPECT_EQ(14u, gv.GetPeriod(1).samples);
  EXPECT_EQ(PC_BAD, gv.GetPeriod(2).cls);
  EXPECT_EQ(0u, gv.GetPeriod(2).Occupancy(true));
}

TEST(StationSpan, EstimateLengthAndSpeed) {
  SSpeedParams sp;
  struct Case {
    P all;
    int method;
    int expected;
  };
  const Case cases[] = {
      {{1, 15, 200, 100, 2}, 0, 220},  // nothing within the occupancy bounds
      {{1, 15, 60, 80, 1}, 0, 215},    // 311040 x 650 x 11 / (23040 x 450) = 214.5
      {{1, 15, 60, 80, 1}, 3, 215},   {{1, 15, 60, 80, 1}, 6, 215}, {{1, 15, 100, 20, 1}, 0, 240},  // 1430 clamped
      {{1, 15, 50, 250, 1}, 0, 200},                                                                // 57 clamped
      {{1, 15, 80, 50, 0}, 0, 220},  // no lanes: occupancy sum 0
      {{1, 15, 60, 80, 1}, 9, 220},
  };
  for (const Case& c : cases) {
    StationDay5 d({}, c.all);
    EXPECT_EQ(c.expected, d.View().EstimateLength(15, c.method, sp)) << c.method;
  }
  EXPECT_EQ(222, sp.LengthFromSums(14, 1));  // 14 x 650 x 11 / 450 = 222.4: one vehicle is enough
  EXPECT_EQ(220, sp.LengthFromSums(14, 0));
  // Groups of three periods, all selected, give the same sums as the periods one by one.
  for (int method : {3, 4})
    EXPECT_EQ(215, StationDay5({}, {1, 15, 60, 80, 1}).View().EstimateLength(45, method, sp)) << method;
}

TEST(StationSpan, ShortDaysReadNothingPastTheirArrays) {
  std::vector<uint8_t> f(10, 1), n(10, 1), l(10, 2);
  std::vector<uint16_t> vol(10, 3), occ(10, 100);
  StationDayView v(f.data(), n.data(), vol.data(), occ.data(), l.data(), 10);
  EXPECT_EQ(30u, v.GetSpanVolume(0, 4320, 0));
  EXPECT_EQ(30u * 432u, v.GetSpanVolume(0, 4320, 3));
  EXPECT_EQ(PC_BAD, v.GetPeriod(287).cls);
  StationDayView empty(nullptr, nullptr, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(0u, empty.GetSpanVolume(0, 4320, 6));
  EXPECT_EQ(220, empty.EstimateLength(15, 6, SSpeedParams{}));
}
