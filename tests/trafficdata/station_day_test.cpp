// CStationDay: loading, classes, daily and 15-minute texts, speed and length estimate.
#include <gtest/gtest.h>

#include "element_kind_fixtures.h"

using fixtures::SP;
using fixtures::Text;

TEST(StationDay, LoadNeverReadsPastTheBuffer) {
  const unsigned char rec[4] = {0x4B, 0x2C, 0x35, 0x10};
  struct Case { int byteLen, count, size, decoded; };
  const Case cases[] = {{4, 288, 288, 1}, {4, 0, 0, 0}, {4, -3, 0, 0}, {3, 4000, 4000, 1}, {0, 4320, 4320, 0}};
  for (const Case& c : cases) {
    CStationDay d;
    d.Load(rec, c.byteLen, c.count);
    EXPECT_EQ(1, d.dataAvailable);
    ASSERT_EQ(c.size, d.laneCount.m_nSize);
    if (c.decoded && c.count == 288) {
      EXPECT_EQ(3, d.laneCount.m_pData[0]);
      EXPECT_EQ(1296, d.volume.m_pData[0]);
    }
    if (c.decoded && c.count != 288) {
      // 0x4B 0x2C 0x35 read as an interval: lanes 1, occupancy 0x32C, bad, volume 0x35.
      EXPECT_EQ(1, d.nPds.m_pData[0]);
      EXPECT_EQ(1, d.laneCount.m_pData[0]);
    }
    CText out;
    d.WriteRawListing(out, 0);
    std::string s = Text(out);
    size_t lines = 0;
    for (char ch : s) lines += ch == '\n';
    EXPECT_EQ(2u + 2u + 288u + 3u, lines) << c.count;  // title, header, 288 lines, trailer
  }
}

TEST(StationDay, CopyCloneAndClear) {
  CStationDay d;
  fixtures::LoadStation5(d, fixtures::StationPeriods({1, 15, 150, 20, 2}));
  d.estimatedLength = 210;
  CElementDay* c = nullptr;
  d.Clone(&c);
  ASSERT_NE(nullptr, c);
  auto* s = dynamic_cast<CStationDay*>(c);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(288, s->laneCount.m_nSize);
  EXPECT_EQ(210, s->estimatedLength);
  CStationDay shorter;
  fixtures::LoadStationFine(shorter, {}, 30);
  *s = shorter;
  EXPECT_EQ(30, s->laneCount.m_nSize);
  *s = *s;
  EXPECT_EQ(30, s->laneCount.m_nSize);
  delete c;
  d.Clear();
  EXPECT_EQ(0, d.dataAvailable);
  EXPECT_EQ(0, d.laneCount.m_nSize);
  EXPECT_EQ(-1, d.estimatedLength);
}

TEST(StationDay, DailySummaryTexts) {
  ValidityTables criteria = builtInCriteria();
  // Only period 9 is usable: every other period takes its values, weighted by its samples.
  CStationDay only9;
  std::vector<SP> p = fixtures::StationPeriods({0, 15, 300, 50, 2});
  p[9] = {1, 15, 100, 5, 2};
  fixtures::LoadStation5(only9, p);
  CText out;
  only9.WriteDailyLine(out, SK_DAILY, 0, criteria);
  EXPECT_EQ("     Daily      INV   1440  10.0%    1   0 287\n", Text(out));

  // An all-zero day: every peak-hour window ties and the later one wins.
  CStationDay zero;
  fixtures::LoadStation5(zero, {});
  CText z;
  zero.WriteDailyLine(z, SK_AM_PEAK_HOUR, 0, criteria);
  zero.WriteDailyLine(z, SK_PM_PEAK_HOUR, 1, criteria);
  EXPECT_EQ("     AM Pk Hour INV      0   0.0%    0   0  12 (11:00--12:00)\n"
            "\tPM Pk Hour\tINV\t     0\t  0.0%\t  0\t  0\t 12\t23:00\t24:00\n",
            Text(z));

  // Flag 3 counts as bad; the disabled limits do not apply to a station. 264 good periods pass
  // the total check, 263 do not.
  ValidityTables noRunning = criteria;
  noRunning[SK_DAILY].running = false;
  for (int good : {264, 263}) {
    std::vector<SP> q = fixtures::StationPeriods({1, 15, 100, 10, 2});
    for (int i = good; i < 288; ++i) q[i] = {3, 15, 100, 10, 2};
    q[287] = {2, 15, 100, 10, 2};
    CStationDay d;
    fixtures::LoadStation5(d, q);
    SSummary s = d.ComputeSummary(SK_DAILY, noRunning);
    EXPECT_EQ(good, s.counts.good);
    EXPECT_EQ(287 - good, s.counts.bad);
    EXPECT_EQ(0, s.counts.disabled);
    EXPECT_EQ(good == 264, s.valid);
  }

  // Two bad periods in one hour fail the running check; in different hours they pass.
  for (int second : {5, 20}) {
    std::vector<SP> q = fixtures::StationPeriods({1, 15, 100, 10, 2});
    q[2] = {0, 15, 100, 10, 2};
    q[second] = {0, 15, 100, 10, 2};
    CStationDay d;
    fixtures::LoadStation5(d, q);
    EXPECT_EQ(second == 20, d.ComputeSummary(SK_DAILY, criteria).valid);
  }

  // Criteria from the profile with a step of 0 and a window wider than the day end.
  ValidityTables odd = criteria;
  odd[SK_DAILY].runStep = 0;
  odd[SK_DAILY].runWidth = 300;
  odd[SK_DAILY].runMinG = 0;
  odd[SK_DAILY].runMaxB = 300;
  EXPECT_TRUE(zero.ComputeSummary(SK_DAILY, odd).counts.bad == 288);
  EXPECT_TRUE(zero.CheckRunning(72, 84, 0, 300, 0, 0, 12));
  EXPECT_FALSE(zero.CheckRunning(72, 84, 0, 300, 0, 0, 11));
  SClassCounts k = only9.CountClasses(0, 12);
  EXPECT_EQ(1, k.good);
  EXPECT_EQ(11, k.bad);
}

TEST(StationDay, RawAnd15MinuteLines) {
  CStationDay d;
  std::vector<SP> p = fixtures::StationPeriods({1, 15, 100, 1, 2});
  p[85] = {1, 15, 57, 12, 2};
  p[0] = {3, 15, 100, 1, 2};  // flag 3 counts as bad
  p[3] = {1, 15, 100, 1, 2};
  p[4] = {1, 5, 200, 1, 2};
  p[5] = {0, 0, 0, 0, 0};
  fixtures::LoadStation5(d, p);
  CText out;
  d.WriteRawLine(out, 85, 0);
  d.WriteRawLine(out, 85, 1);
  d.WriteRawLine(out, 0, 0);
  EXPECT_EQ("      7:05    12    5.7%   1    15\n"
            "\t07:05\t  12\t  5.7%\t1\t15\n"
            "      0:00     1   10.0%   3    15\n",
            Text(out));
  // The second quarter: (100, 15), (200, 5) and an absent period weigh by samples: 125.
  CText q;
  d.Write15MinLine(q, 0, 0, true, true);
  d.Write15MinLine(q, 0, 1, false, false);
  EXPECT_EQ("      0:00     3     2     3     3      11       1:00     3     3     3     3      12      22  0  2\n"
            "            10.0% 12.5% 10.0% 10.0%   10.3%            10.0% 10.0% 10.0% 10.0%   10.0%\n\n"
            "\t00:00\t   3\t   2\t   3\t   3\t   11\t01:00\t   3\t   3\t   3\t   3\t   12\n",
            Text(q));
  CText h;
  d.Write15MinHeader(h, 0, true);
  d.WriteDailyHeader(h, 1);
  EXPECT_EQ("     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B\n"
            "     --------------------------------------------------------------------------------     ----------\n"
            "\tSummary\tValid\tVol\tOcc\tG\tS\tB\n",
            Text(h));
}

TEST(StationDay, FinerLayoutLines) {
  // Period 0: 15 usable intervals of raw 120 -> 10.0 %; period 1: 14 usable and 1 absent.
  std::vector<fixtures::SI> iv(30, {1, 120, 2, 3});
  iv[29] = {0, 0, 0, 0};
  CStationDay d;
  fixtures::LoadStationFine(d, iv);
  CText out;
  d.WriteRawLine(out, 0, 0);
  d.WriteRawLine(out, 1, 0);
  d.WriteRawLine(out, 2, 0);
  EXPECT_EQ("      0:00    30   10.0%   1    15\n"
            "      0:05    28   10.0%   2    14\n"
            "      0:10     0    0.0%   0     0\n",
            Text(out));
  // A quarter or hour without any present interval prints 0.0 %.
  CText q;
  d.Write15MinLine(q, 11, 0, true, true);
  EXPECT_EQ("     22:00     0     0     0     0       0      23:00     0     0     0     0       0       0  0 24\n"
            "             0.0%  0.0%  0.0%  0.0%    0.0%             0.0%  0.0%  0.0%  0.0%    0.0%\n\n",
            Text(q));
}

TEST(StationDay, SpeedAndLengthEstimate) {
  SSpeedParams sp;
  CStationDay d;
  fixtures::LoadStation5(d, fixtures::StationPeriods({1, 15, 150, 20, 2}));
  // Nothing within the occupancy bounds: 220; 20 x 220 x 450 / (5400 x 11) = 33.3
  EXPECT_EQ(33, d.GetSpanSpeed(0, 15, 0, sp));
  EXPECT_EQ(220, d.estimatedLength);
  CStationDay low;
  fixtures::LoadStation5(low, fixtures::StationPeriods({1, 15, 100, 20, 2}));
  EXPECT_EQ(650, low.GetSpanSpeed(0, 15, 0, sp));
  // A present period without lanes has an occupancy above the bound but no occupancy sum.
  CStationDay noLanes;
  fixtures::LoadStation5(noLanes, fixtures::StationPeriods({1, 15, 300, 20, 0}));
  EXPECT_EQ(0, noLanes.GetSpanSpeed(0, 15, 0, sp));
  // The estimate is cached until Clear.
  CStationDay e;
  fixtures::LoadStation5(e, fixtures::StationPeriods({1, 15, 60, 80, 1}));
  e.GetSpanSpeed(0, 15, 0, sp);
  EXPECT_EQ(215, e.estimatedLength);
  fixtures::LoadStation5(e, fixtures::StationPeriods({1, 15, 100, 20, 1}));
  EXPECT_EQ(-1, e.estimatedLength);
  e.estimatedLength = 215;
  e.GetSpanSpeed(0, 15, 0, sp);
  EXPECT_EQ(215, e.estimatedLength);
  e.Clear();
  fixtures::LoadStation5(e, fixtures::StationPeriods({1, 15, 100, 20, 1}));
  e.GetSpanSpeed(0, 15, 0, sp);
  EXPECT_EQ(240, e.estimatedLength);
}
