// Metered-lane span values.
#include <gtest/gtest.h>

#include <vector>

#include "trafficdata/metered_lane_span.h"

using namespace trafficdata;

TEST(MeteredLaneSpan, RateAndViolatorsWithGaps) {
  //                       0  1  2   3  4    5
  std::vector<uint8_t> rate{0, 0, 80, 0, 110, 0};
  std::vector<uint8_t> red{0, 0, 3, 2, 1, 0};
  std::vector<uint8_t> status{10, 10, 11, 10, 7, 7};
  MeteredLaneDayView v(status.data(), rate.data(), red.data(), 6);
  struct Row {
    int method;
    unsigned rate, red, periods;
    int flag;
  };
  const Row rows[] = {
      {0, 95, 4, 2, 1},
      {1, 95, 4, 2, 1},
      {2, 38, 6, 2, 2},
      {3, 95, 10, 5, 1},
      {5, 95, 10, 5, 1},
      // leading gap of 2 and a trailing gap of 1: 80 x 3 + 110 x 2 over 5 intervals = 92
      {6, 92, 11, 5, 1},
      {8, 92, 11, 5, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.method);
    EXPECT_EQ(r.rate, v.GetSpanRate(0, 5, r.method));
    EXPECT_EQ(r.red, v.GetSpanRedViolators(0, 5, r.method));
    EXPECT_EQ(r.periods, v.GetSpanPeriods(0, 5, r.method));
    EXPECT_EQ(r.flag, v.GetSpanFlag(0, 5, r.method));
  }
  EXPECT_EQ(400u, v.GetSpanValidity(0, 5, 0));
  EXPECT_EQ(0u, v.GetSpanRate(0, 5, 9));
  EXPECT_EQ(4, v.GetSpanFlag(0, 5, 9));
  // statuses 10, 10, 11, 10, 7: time of day folds to 19, then "on" gives 20
  EXPECT_EQ(19, v.GetSpanMeterStatus(0, 4, 0));
  EXPECT_EQ(20, v.GetSpanMeterStatus(0, 5, 0));
}

TEST(MeteredLaneSpan, NoSampleAndShortDays) {
  std::vector<uint8_t> rate(4, 0), red(4, 1), status(4, 7);
  MeteredLaneDayView v(status.data(), rate.data(), red.data(), 4);
  for (int m = 0; m < 9; ++m) {
    EXPECT_EQ(0u, v.GetSpanRate(0, 4, m)) << m;
    EXPECT_EQ(0, v.GetSpanFlag(0, 4, m)) << m;
  }
  EXPECT_EQ(24, v.GetSpanMeterStatus(0, 0, 0));
  EXPECT_EQ(4, v.GetSpanFlag(0, 0, 2));
  EXPECT_EQ(0, v.GetSpanFlag(0, 0, 0));
  // Intervals past a short day have no sample and no status.
  EXPECT_EQ(7, v.GetSpanMeterStatus(0, 4320, 0));
  EXPECT_EQ(0u, v.GetSpanValidity(0, 4320, 0));
  MeteredLaneDayView empty(nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(24, empty.GetSpanMeterStatus(0, 4320, 0));
  EXPECT_EQ(0u, empty.GetSpanRate(0, 4320, 6));
}
