// CSpeedTrapDay: loading and the Classic report lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "containers/mem_mgr.h"
#include "element_kind_fixtures.h"

using fixtures::Text;
using fixtures::TP;

TEST(SpeedTrapDay, LoadAndRawLines) {
  CSpeedTrapDay d;
  std::vector<TP> p(288, TP{0, 0, 0, 0, 0, 0, 0, 0});
  p[97] = {1, 15, 655, 187, 4, 0, 1, 0};
  fixtures::LoadTrap(d, p, 288);
  CText out;
  d.WriteRawLine(out, 97, 0);
  d.WriteRawLine(out, 97, 1);
  EXPECT_EQ("      8:05   65.5   18.7       4     0     1     0    1     15\n"
            "\t08:05\t 65.5\t 18.7\t  4\t  0\t  1\t  0\t1\t15\n",
            Text(out));
  // Finer layout: 15 intervals of 20 vehicles in bin 1 sum to 300, not 300 - 256, and the speed
  // is weighted by all of them.
  CSpeedTrapDay f;
  std::vector<TP> iv;
  for (int i = 0; i < 15; ++i) iv.push_back({0, 1, i < 5 ? 500 : 600, 100, 20, 0, 0, 0});
  fixtures::LoadTrap(f, iv, 4320);
  CText r;
  f.WriteRawLine(r, 0, 0);
  EXPECT_EQ("      0:00   56.7   10.0     300     0     0     0    1     15\n", Text(r));
  // Short buffer and odd count: nothing is read past the buffer, 288 lines are written.
  CSpeedTrapDay s;
  unsigned char rec[7] = {0x4B, 0x2C, 0x9A, 0x0A, 0x03, 0x01, 0x82};
  s.Load(rec, 7, 4000);
  EXPECT_EQ(4000, s.bin4.m_nSize);
  CText all;
  s.WriteRawListing(all, 1);
  size_t lines = 0;
  for (char ch : Text(all)) lines += ch == '\n';
  EXPECT_EQ(2u + 1u + 288u + 3u, lines);
}

TEST(SpeedTrapDay, FifteenMinuteAndDailyLines) {
  CSpeedTrapDay d;
  std::vector<TP> p(288, TP{1, 15, 600, 200, 1, 0, 0, 0});
  p[3] = {1, 15, 0, 0, 0, 0, 0, 0};  // the second quarter of hour 0 has no vehicles
  p[4] = {1, 15, 0, 0, 0, 0, 0, 0};
  p[5] = {3, 15, 0, 0, 0, 0, 0, 0};
  p[200] = {1, 15, 600, 200, 200, 0, 0, 0};
  fixtures::LoadTrap(d, p, 288);
  CText out;
  d.Write15MinLine(out, 0, 0, true, false);
  d.Write15MinLine(out, 0, 1, false, true);
  EXPECT_EQ("      0:00  60.0   0.0  60.0  60.0    60.0       1:00  60.0  60.0  60.0  60.0    60.0      23  0  0  1\n"
            "\t00:00\t60.0\t 0.0\t60.0\t60.0\t60.0\t01:00\t60.0\t60.0\t60.0\t60.0\t60.0\n"
            "\t\t20.0\t 0.0\t20.0\t20.0\t20.0\t\t20.0\t20.0\t20.0\t20.0\t20.0\n\n",
            Text(out));
  CText h;
  d.Write15MinHeader(h, 0, true);
  EXPECT_EQ("     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B  D\n"
            "     --------------------------------------------------------------------------------     ----------\n",
            Text(h));
  // The AM peak hour is always 07:00-08:00, whatever the busiest hour.
  ValidityTables c = builtInCriteria();
  CText daily;
  d.WriteDailyLine(daily, SK_AM_PEAK_HOUR, 0, c);
  d.WriteDailyLine(daily, SK_PM_PEAK_HOUR, 1, c);
  d.WriteDailyLine(daily, SK_DAILY, 0, c);
  EXPECT_EQ("     AM Pk Hour VAL   60.0  20.0     12    0    0    0   12   0   0   0 (07:00--08:00)\n"
            "\tPM Pk Hour\tVAL\t 60.0\t 20.0\t   12\t   0\t   0\t   0\t 12\t  0\t  0\t  0\t17:00\t18:00\n"
            "     Daily      VAL   60.0  20.0    484    0    0    0  287   0   0   1\n",
            Text(daily));
}

TEST(MeteredLaneDay, LoadAndSpans) {
  CMeteredLaneDay d;
  const unsigned char recs[4] = {0x50, 0x3A, 0x00, 0x07};
  d.Load(recs, 4, 4320);
  EXPECT_EQ(4320, d.rate.m_nSize);
  EXPECT_EQ(80, d.rate.m_pData[0]);
  EXPECT_EQ(3, d.redViolators.m_pData[0]);
  EXPECT_EQ(10, d.flag.m_pData[0]);
  EXPECT_EQ(1, d.nPds.m_pData[0]);
  EXPECT_EQ(0, d.nPds.m_pData[1]);
  EXPECT_EQ(7, d.flag.m_pData[1]);
  EXPECT_EQ(22, d.GetSpanMeterStatus(0, 3, 0));  // 10, 7, then "Meter Off" of the zeroed rest
  EXPECT_EQ(80u, d.GetSpanRate(0, 3, 0));
  // A metered lane writes no report lines of its own.
  CText raw;
  d.WriteRawListing(raw, 0);
  EXPECT_EQ("\n\n\n", Text(raw));
  // Loaded with 288 records it is still read by 20-second unit, never past its arrays.
  CMeteredLaneDay s;
  fixtures::LoadMetered(s, {{50, 1, 10}}, 288);
  EXPECT_EQ(1u, s.GetSpanPeriods(0, 4320, 0));
  EXPECT_EQ(50u, s.GetSpanRate(0, 4320, 6));
}

// The allocator fails after k blocks, so that only some of a day's arrays get their length: a
// station, speed-trap or metered-lane day then holds none of them and reads as a day without
// data, whether it was loaded, cloned or assigned.
template <class Day>
void ExpectWithoutDataWhenArraysFail(const Day& full, int count, int arrays) {
  const std::string unavailable = "     ***DATA UNAVAILABLE***\n\n\n\n";
  std::vector<unsigned char> buf(static_cast<size_t>(count) * 7, 0x41);
  for (int k = 0; k < arrays; ++k) {
    SCOPED_TRACE(k);
    Day loaded, assigned;
    CElementDay* clone = nullptr;
    {
      CAllocFailureScope fail(k);
      loaded.Load(buf.data(), static_cast<int>(buf.size()), count);
      full.Clone(&clone);
      assigned = full;
    }
    std::unique_ptr<CElementDay> copied(clone);
    for (const CElementDay* day : {static_cast<const CElementDay*>(&loaded), static_cast<const CElementDay*>(copied.get()),
                                   static_cast<const CElementDay*>(&assigned)}) {
      if (!day) continue;  // the object itself could not be made
      EXPECT_EQ(0, day->dataAvailable);
      EXPECT_EQ(0, day->Count());
      CText raw;
      day->WriteRawListing(raw, 0);
      EXPECT_EQ(unavailable, Text(raw));
    }
  }
}

TEST(ElementKindDays, ArraysThatCannotBeAllocatedLeaveADayWithoutData) {
  CStationDay station;
  fixtures::LoadStation5(station, fixtures::StationPeriods({1, 15, 60, 80, 1}));
  ExpectWithoutDataWhenArraysFail(station, 288, 5);
  CSpeedTrapDay trap;
  fixtures::LoadTrap(trap, std::vector<TP>(4320, TP{0, 1, 600, 200, 1, 0, 0, 0}), 4320);
  ExpectWithoutDataWhenArraysFail(trap, 4320, 8);
  CMeteredLaneDay lane;
  fixtures::LoadMetered(lane, {{50, 1, 10}});
  ExpectWithoutDataWhenArraysFail(lane, 4320, 4);
}

// Through the shared day interface a speed trap gives its own summary: the fixed window of the
// kind, its class counts and validity, and its vehicles as the volume.
TEST(SpeedTrapDay, SummaryThroughTheDayInterface) {
  CSpeedTrapDay d;
  std::vector<TP> p(288, TP{1, 15, 600, 200, 3, 1, 1, 0});
  p[90] = {0, 15, 0, 0, 0, 0, 0, 0};
  p[200] = {2, 15, 600, 200, 50, 0, 0, 0};
  fixtures::LoadTrap(d, p, 288);
  const ValidityTables criteria = builtInCriteria();
  const CElementDay& day = d;
  for (int kind = 0; kind < SK_COUNT; ++kind) {
    trafficdata::SpeedTrapSummary own = d.ComputeTrapSummary(kind, criteria);
    SSummary s = day.ComputeSummary(kind, criteria);
    EXPECT_EQ(own.valid, s.valid) << kind;
    EXPECT_EQ(own.start, s.start) << kind;
    EXPECT_EQ(own.bins[0] + own.bins[1] + own.bins[2] + own.bins[3], s.volume) << kind;
    EXPECT_EQ(own.good, s.counts.good) << kind;
    EXPECT_EQ(own.bad, s.counts.bad) << kind;
    EXPECT_EQ(own.suspect, s.counts.suspect) << kind;
  }
  SSummary hour = day.ComputeSummary(SK_AM_PEAK_HOUR, criteria);
  EXPECT_EQ(84, hour.start);
  EXPECT_EQ(12 * 5u, hour.volume);  // 07:00-08:00; the bad period at 07:30 repeats the one before
  EXPECT_EQ(1, hour.counts.bad);
  CPeriodTable table;
  ASSERT_TRUE(day.FillPeriodTable(table));
  EXPECT_EQ(PC_BAD, table.period[90].cls);
  EXPECT_EQ(PC_SUSPECT, table.period[200].cls);
  EXPECT_EQ(50u, table.period[200].volume);
}
