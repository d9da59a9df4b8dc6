// CSpeedTrapData: multi-day summaries and lines.
#include <gtest/gtest.h>

#include "element_kind_fixtures.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/speed_trap_data.h"

using fixtures::Text;
using fixtures::TP;

namespace {

// A day whose only vehicles are in period 0 (all periods good).
void LoadOnePeriod(CSpeedTrapDay* day, int speed, int b1, int b2) {
  std::vector<TP> p(288, TP{1, 15, 0, 0, 0, 0, 0, 0});
  p[0] = {1, 15, speed, 200, b1, b2, 0, 0};
  fixtures::LoadTrap(*day, p, 288);
}

ClassicSettings PlainSettings(const std::vector<const CDateTimeEx*>& dates) {
  ClassicSettings s;
  s.multiDates = dates;
  for (ValidityCriteria& c : s.criteria) c.running = c.total = false;
  return s;
}

}  // namespace

TEST(SpeedTrapData, MonthlySpeedIsVehicleWeightedAndBinsArePerDayMeans) {
  CDateTimeEx mon1(2004, 1, 5), mon2(2004, 1, 12), mon3(2004, 1, 19), tue(2004, 1, 6);
  CSpeedTrapData data(4, nullptr, 0);
  LoadOnePeriod(data.TrapDay(0), 600, 100, 0);
  LoadOnePeriod(data.TrapDay(1), 700, 150, 150);
  LoadOnePeriod(data.TrapDay(3), 900, 10, 0);  // a Tuesday: not in the Monday line
  ClassicSettings s = PlainSettings({&mon1, &mon2, &mon3, &tue});
  SSpeedTrapMultiDay m = data.MonthlySummary(SK_DAILY, 1, 2, s);
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(675u, m.speed);
  EXPECT_EQ(125u, m.bins[0]);
  EXPECT_EQ(75u, m.bins[1]);
  EXPECT_EQ(2, m.validCount);
  EXPECT_EQ(1, m.missingCount);  // day 2 was never loaded
  EXPECT_EQ(576, m.counts.good);

  CText line;
  data.WriteMonthlyLine(line, SK_AM_PEAK_HOUR, 1, 2, s);
  s.multiFormat = 1;
  data.WriteMonthlyLine(line, SK_DAILY, 1, 2, s);
  EXPECT_EQ("     AM Pk Hour INV    0.0   0.0        0      0      0      0      24      0      0      0     2   0   1 (07:00--08:00)\n"
            "\tDaily     \tVAL\t 67.5\t 20.0\t    125\t    75\t     0\t     0\t   576\t     0\t     0\t     0\t 2\t 0\t 1\n",
            Text(line));

  // A second missing day breaks the default limit of one.
  CDateTimeEx mon4(2004, 1, 26);
  CSpeedTrapData more(5, nullptr, 0);
  LoadOnePeriod(more.TrapDay(0), 600, 100, 0);
  ClassicSettings s2 = PlainSettings({&mon1, &mon2, &mon3, &tue, &mon4});
  SSpeedTrapMultiDay m2 = more.MonthlySummary(SK_DAILY, 1, 2, s2);
  EXPECT_FALSE(m2.valid);
  EXPECT_EQ(0u, m2.speed);
  EXPECT_EQ(3, m2.missingCount);
  s2.monthlyMissing = 3;  // a limit equal to the count passes
  EXPECT_TRUE(more.MonthlySummary(SK_DAILY, 1, 2, s2).valid);
}

TEST(SpeedTrapData, YearlyAndAverageLines) {
  CDateTimeEx mon(2004, 1, 5), feb(2004, 2, 2);
  CSpeedTrapData data(2, nullptr, 0);
  LoadOnePeriod(data.TrapDay(0), 600, 100, 0);
  LoadOnePeriod(data.TrapDay(1), 700, 300 / 2, 0);
  ClassicSettings s = PlainSettings({&mon, &feb});
  s.yearlyInvalid = 10;  // ten months without data are allowed
  SSpeedTrapMultiDay y = data.YearlySummary(SK_DAILY, 2, s);
  EXPECT_TRUE(y.valid);
  EXPECT_EQ(2, y.validCount);
  EXPECT_EQ(10, y.invalidCount);
  EXPECT_EQ(660u, y.speed);      // (600 x 100 + 700 x 150) / 250
  EXPECT_EQ(125u, y.bins[0]);    // mean of the monthly means
  CText line;
  data.WriteYearlyLine(line, SK_DAILY, 2, s);
  EXPECT_EQ("     Daily      VAL   66.0  20.0      125      0      0      0     576      0      0      0     2  10   0\n",
            Text(line));
  // ASWT looks at Tuesday to Thursday only: no Monday counts.
  SSpeedTrapMultiDay a = data.AverageSummary(AK_ASWT, SK_DAILY, s);
  EXPECT_FALSE(a.valid);
  EXPECT_EQ(3, a.invalidCount);
  SSpeedTrapMultiDay aadt = data.AverageSummary(AK_AADT, SK_DAILY, s);
  s.avgInvalid[AK_AADT] = 6;
  aadt = data.AverageSummary(AK_AADT, SK_DAILY, s);
  EXPECT_TRUE(aadt.valid);
  EXPECT_EQ(660u, aadt.speed);
}
