// New-view rows of stations, speed traps and metered lanes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "element_kind_fixtures.h"
#include "run_test_util.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"
#include "trafficdata/metered_lane_data.h"
#include "trafficdata/speed_trap_data.h"
#include "trafficdata/station_data.h"

using fixtures::SP;
using fixtures::TP;

namespace {

template <class Data>
struct Rows {
  CDBRoadway road{"I-5"};
  CDBCabinet cab{"005es16520", "", 1652, "Station Rd", &road};
  CDBElementEx elem;
  std::vector<std::unique_ptr<CDateTimeEx>> dates;
  NewSettings s;
  std::unique_ptr<Data> data;
  CDBRecordset rows;
  looptest::TestRun run;

  Rows(int nDays, int type) : elem("_ME___1", type, &cab) {
    for (int d = 0; d < nDays; ++d) {
      dates.push_back(std::make_unique<CDateTimeEx>(2004, 1, 1 + d));
      s.dates.push_back(dates.back().get());
    }
    data = std::make_unique<Data>(nDays, &elem, 2);
    s.periodLen = 4320;
    s.groups.push_back({});
    for (int d = 0; d < nDays; ++d) s.groups[0].push_back(d);
  }
  void On(std::initializer_list<int> codes) {
    for (int c : codes) s.content[c] = true;
  }
  bool Build() { return data->BuildPeriodRecords(rows, s, run); }
  bool Peaks() { return data->BuildPeakRecords(rows, s, run); }
  int Count() const { return rows.m_nSize; }
  const CDBRecord& Row(int i) const { return *rows.m_pData[i]; }
  int Code(int i) const { return Row(i).word[RW_CONTENT]; }
  int Value(int i) const { return Row(i).word[RW_VALUE]; }
  std::vector<int> Codes() const {
    std::vector<int> v;
    for (int i = 0; i < Count(); ++i) v.push_back(Code(i));
    return v;
  }
  std::vector<int> Values() const {
    std::vector<int> v;
    for (int i = 0; i < Count(); ++i) v.push_back(Value(i));
    return v;
  }
};

void AllContents(NewSettings& s) {
  for (int c = 0; c < CC_COUNT; ++c) s.content[c] = true;
}

}  // namespace

TEST(StationRows, OneDayOneSlotInContentOrder) {
  Rows<CStationData> r(1, ET_STATION);
  fixtures::LoadStation5(*r.data->StationDay(0), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  AllContents(r.s);
  ASSERT_TRUE(r.Build());
  EXPECT_EQ((std::vector<int>{0, 1, 12, 13, 8, 9, 11, 10}), r.Codes());
  EXPECT_EQ((std::vector<int>{23040, 60, 650, 215, 4320, 1000, 1, 1}), r.Values());
  const CDBRecord& row = r.Row(0);
  EXPECT_EQ(2, row.word[RW_ORDINAL]);
  EXPECT_EQ(2004, row.word[RW_YEAR]);
  EXPECT_EQ(5, row.word[RW_DAY_OF_WEEK]);  // Thursday
  EXPECT_EQ(0, row.word[RW_WEEK]);
  EXPECT_EQ(kProgressRowDay + kProgressRowSlot + 8 * kProgressRowMade, r.run.progress);
}

TEST(StationRows, SlotsValidityAndCancellation) {
  Rows<CStationData> r(1, ET_STATION);
  fixtures::LoadStation5(*r.data->StationDay(0), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  r.On({CC_VOLUME, CC_VALID_FLAG});
  r.s.periodLen = 15;
  ASSERT_TRUE(r.Build());
  ASSERT_EQ(576, r.Count());
  const CDBRecord& last = r.Row(575);
  EXPECT_EQ(23, last.word[RW_HOUR]);
  EXPECT_EQ(55, last.word[RW_MINUTE]);
  EXPECT_EQ(0, last.word[RW_SECOND]);
  EXPECT_EQ(80, r.Value(574));

  // Every day below the minimum validity: rows of 0 and no days.
  Rows<CStationData> low(2, ET_STATION);
  for (int d = 0; d < 2; ++d)
    fixtures::LoadStation5(*low.data->StationDay(d), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  low.On({CC_VOLUME, CC_VALID_FLAG, CC_NDAYS});
  low.s.minValidityOn = true;
  low.s.minValidity = 1001;
  ASSERT_TRUE(low.Build());
  EXPECT_EQ((std::vector<int>{0, 0, 0}), low.Values());
  EXPECT_FALSE(low.Row(1).rawFlag);

  // Keep-going cleared after the first day: the first slot's rows only.
  Rows<CStationData> c(1, ET_STATION);
  fixtures::LoadStation5(*c.data->StationDay(0), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  c.On({CC_VOLUME});
  c.s.periodLen = 15;
  c.run.cancelAt = 1;
  ASSERT_TRUE(c.Build());
  EXPECT_EQ(1, c.Count());
  EXPECT_EQ(kProgressRowDay + kProgressRowSlot + kProgressRowMade, c.run.progress);

  // A slot length of 0 would never advance: no rows.
  Rows<CStationData> z(1, ET_STATION);
  z.On({CC_VOLUME});
  z.s.periodLen = 0;
  ASSERT_TRUE(z.Build());
  ASSERT_TRUE(z.Peaks());
  EXPECT_EQ(0, z.Count());
}

TEST(StationRows, PeakEarliestMaximumAndMeanStart) {
  Rows<CStationData> r(2, ET_STATION);
  std::vector<SP> a = fixtures::StationPeriods({1, 15, 60, 80, 1});
  a[10].vol = 500;
  a[20].vol = 500;
  std::vector<SP> b = fixtures::StationPeriods({1, 15, 60, 80, 1});
  b[30].vol = 500;
  fixtures::LoadStation5(*r.data->StationDay(0), a);
  fixtures::LoadStation5(*r.data->StationDay(1), b);
  r.On({CC_VOLUME, CC_PEAK_TIME});
  r.s.periodLen = 15;
  r.s.reportType = 1;
  ASSERT_TRUE(r.Peaks());
  EXPECT_EQ((std::vector<int>{0, 17}), r.Codes());
  EXPECT_EQ((std::vector<int>{500, 300}), r.Values());  // starts 150 and 450
  EXPECT_EQ(-1, r.Row(0).word[RW_HOUR]);

  // A window longer than half a day is cut to 2160 units.
  Rows<CStationData> w(1, ET_STATION);
  fixtures::LoadStation5(*w.data->StationDay(0), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  w.On({CC_VOLUME, CC_PEAK_TIME});
  w.s.periodLen = 3000;
  ASSERT_TRUE(w.Peaks());
  EXPECT_EQ((std::vector<int>{144 * 80, 2160}), w.Values());
}

TEST(StationRows, MixedLayoutsWithSingleIntervals) {
  Rows<CStationData> r(2, ET_STATION);
  fixtures::LoadStation5(*r.data->StationDay(0), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  fixtures::LoadStationFine(*r.data->StationDay(1), std::vector<fixtures::SI>(4320, {1, 72, 1, 1}));
  r.On({CC_VOLUME, CC_VALID_FLAG});
  r.s.periodLen = 1;
  r.s.groups = {{0}, {1}};
  ASSERT_TRUE(r.Build());
  ASSERT_EQ(2 * 4320 * 2, r.Count());
  // The five-minute day has no period in a 20-second span: no volume, flag 0 as a class.
  EXPECT_EQ(0, r.Value(0));
  EXPECT_EQ(0, r.Value(1));
  EXPECT_FALSE(r.Row(1).rawFlag);
  // The finer day's single interval shows its own good bit.
  EXPECT_EQ(1, r.Value(2 * 4320));
  EXPECT_EQ(1, r.Value(2 * 4320 + 1));
  EXPECT_TRUE(r.Row(2 * 4320 + 1).rawFlag);
  char cell[64];
  r.Row(2 * 4320 + 1).FormatValue(cell, sizeof cell, CF_TEXT);
  EXPECT_STREQ("      Data Usable", cell);
  r.Row(1).FormatValue(cell, sizeof cell, CF_TEXT);
  EXPECT_STREQ("     All Bad Data", cell);
}

// The station's row flag starts as 4: the first day's flag replaces it, and so does the next
// day's after a day whose span was empty (4); any other difference gives 2.
TEST(StationRows, FlagFoldAfterAnEmptySpan) {
  EXPECT_EQ(1, FoldStationFlag(4, 1));
  EXPECT_EQ(0, FoldStationFlag(4, 0));
  EXPECT_EQ(2, FoldStationFlag(1, 4));
  EXPECT_EQ(2, FoldStationFlag(0, 1));

  // A five-minute day has no period in a 20-second span (flag 4 under method 1); the finer day
  // after it is all good.
  Rows<CStationData> r(2, ET_STATION);
  fixtures::LoadStation5(*r.data->StationDay(0), fixtures::StationPeriods({1, 15, 60, 80, 1}));
  fixtures::LoadStationFine(*r.data->StationDay(1), std::vector<fixtures::SI>(4320, {1, 72, 1, 1}));
  r.On({CC_VALID_FLAG, CC_NDAYS});
  r.s.periodLen = 1;
  r.s.method = 1;
  ASSERT_TRUE(r.Build());
  ASSERT_EQ(2 * 4320, r.Count());
  EXPECT_EQ(1, r.Value(0));
  EXPECT_FALSE(r.Row(0).rawFlag);
  EXPECT_EQ(2, r.Value(1));
}

TEST(SpeedTrapRows, ContentsFlagsAndPeaks) {
  EXPECT_EQ(2, FoldSpeedTrapFlag(1, 0));
  EXPECT_EQ(3, FoldSpeedTrapFlag(0, 3));
  EXPECT_EQ(3, FoldSpeedTrapFlag(3, 0));
  EXPECT_EQ(2, FoldSpeedTrapFlag(2, 3));

  Rows<CSpeedTrapData> r(1, ET_SPEED_TRAP);
  fixtures::LoadTrap(*r.data->TrapDay(0), std::vector<TP>(288, TP{1, 15, 600, 200, 1, 1, 0, 0}), 288);
  AllContents(r.s);
  ASSERT_TRUE(r.Build());
  EXPECT_EQ((std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 11, 10}), r.Codes());
  EXPECT_EQ((std::vector<int>{600, 200, 288, 288, 0, 0, 4320, 1000, 1, 1}), r.Values());

  // Peak: the window with the most vehicles, the earliest of equal ones.
  Rows<CSpeedTrapData> p(1, ET_SPEED_TRAP);
  std::vector<TP> day(288, TP{1, 15, 600, 200, 1, 0, 0, 0});
  day[200] = {1, 15, 500, 200, 9, 0, 0, 0};
  day[210] = {1, 15, 700, 200, 5, 4, 0, 0};
  fixtures::LoadTrap(*p.data->TrapDay(0), day, 288);
  p.On({CC_SPEED, CC_BIN1, CC_PEAK_TIME});
  p.s.periodLen = 15;
  p.s.reportType = 2;
  ASSERT_TRUE(p.Peaks());
  EXPECT_EQ((std::vector<int>{500, 9, 3000}), p.Values());
}

TEST(SpeedTrapRows, FlagsOfSingleIntervalsAndRejectedDays) {
  // One finer day: P = 1 shows the interval's own flag bits.
  Rows<CSpeedTrapData> r(1, ET_SPEED_TRAP);
  fixtures::LoadTrap(*r.data->TrapDay(0), {{0x70, 1, 655, 187, 4, 0, 1, 0}}, 4320);
  r.On({CC_VALID_FLAG});
  r.s.periodLen = 1;
  ASSERT_TRUE(r.Build());
  ASSERT_EQ(4320, r.Count());
  EXPECT_EQ(0x70, r.Value(0));
  EXPECT_TRUE(r.Row(0).rawFlag);

  // The days rejected: a single interval of one day says "every bit" (15) as flag bits; P = 7,
  // or two days in the slot, say "All Bad Data" as a class, also in the shortened last slot.
  const int cases[][2] = {{1, 1}, {7, 1}, {1, 2}};  // P, days
  for (auto [P, days] : cases) {
    Rows<CSpeedTrapData> j(days, ET_SPEED_TRAP);
    for (int d = 0; d < days; ++d) fixtures::LoadTrap(*j.data->TrapDay(d), {}, 4320);
    j.On({CC_VALID_FLAG, CC_NDAYS});
    j.s.periodLen = P;
    j.s.minValidityOn = true;
    j.s.minValidity = 1;
    ASSERT_TRUE(j.Build());
    const int last = j.Count() - 2;
    const bool single = P == 1 && days == 1;
    EXPECT_EQ(single ? 15 : 0, j.Value(last)) << P << " " << days;
    EXPECT_EQ(single, j.Row(last).rawFlag) << P << " " << days;
    EXPECT_EQ(0, j.Value(last + 1));
    if (P == 7) {
      char cell[64];
      j.Row(last).FormatValue(cell, sizeof cell, CF_SHEET);
      EXPECT_STREQ("All Bad Data\t", cell);
    }
  }
}

TEST(MeteredLaneRows, StatusesCombineOverDays) {
  Rows<CMeteredLaneData> r(2, ET_RATE_STATUS);
  std::vector<fixtures::ML> a, b;
  for (int i = 0; i < 4320; ++i) {
    a.push_back({50, 1, i % 2 ? 1 : 2});     // local: 16
    b.push_back({70, 0, i % 2 ? 10 : 11});   // time of day: 19
  }
  fixtures::LoadMetered(*r.data->LaneDay(0), a);
  fixtures::LoadMetered(*r.data->LaneDay(1), b);
  AllContents(r.s);
  ASSERT_TRUE(r.Build());
  EXPECT_EQ((std::vector<int>{14, 16, 8, 15, 9, 11, 10}), r.Codes());
  EXPECT_EQ((std::vector<int>{60, 2160, 4320, 20, 1000, 1, 2}), r.Values());

  r.rows.RemoveAll();
  r.s.minValidityOn = true;
  r.s.minValidity = 1001;
  ASSERT_TRUE(r.Build());
  EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 0, 0}), r.Values());

  // Peak: the window with the highest rate.
  Rows<CMeteredLaneData> p(1, ET_RATE_STATUS);
  std::vector<fixtures::ML> c(4320, {40, 0, 10});
  c[100] = {90, 0, 10};
  c[101] = {90, 0, 10};
  fixtures::LoadMetered(*p.data->LaneDay(0), c);
  p.On({CC_METER_RATE, CC_PEAK_TIME});
  p.s.periodLen = 3;
  p.s.reportType = 1;
  ASSERT_TRUE(p.Peaks());
  EXPECT_EQ((std::vector<int>{73, 99}), p.Values());  // (40 + 90 + 90) / 3 from start 99
}
