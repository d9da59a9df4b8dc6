// New-view rows of a loop: slots, contents, acceptance, flag fold, peaks and date words.
#include <gtest/gtest.h>

#include <memory>

#include "loop_test_util.h"
#include "run_test_util.h"
#include "containers/mem_mgr.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"
#include "trafficdata/loop_data.h"

using namespace looptest;

namespace {

struct RowFixture {
  CDBRoadway road{"SR 520"};
  CDBCabinet cab{"520es00100", "", 100, "Oak Hill", &road};
  CDBElementEx elem{"_ME___1", ET_LOOP, &cab};
  std::vector<std::unique_ptr<CDateTimeEx>> dates;
  NewSettings s;
  std::unique_ptr<CLoopData> data;
  CDBRecordset rows;
  TestRun run;

  explicit RowFixture(int nDays) {
    for (int d = 0; d < nDays; ++d) {
      dates.push_back(std::make_unique<CDateTimeEx>(1993, 6, 1 + d));
      s.dates.push_back(dates.back().get());
    }
    data = std::make_unique<CLoopData>(nDays, &elem, 3);
    s.periodLen = 15;
  }
  void On(std::initializer_list<int> codes) {
    for (int c : codes) s.content[c] = true;
  }
  bool Build() { return data->BuildPeriodRecords(rows, s, run); }
  bool Peaks() { return data->BuildPeakRecords(rows, s, run); }
  const CDBRecord& Row(int i) const { return *rows.m_pData[i]; }
  int Value(int i) const { return Row(i).word[RW_VALUE]; }
};

TEST(LoopRows, DateWords) {
  struct Case {
    int y, m, d, dow, week;
  };
  const Case cases[] = {{2000, 1, 1, 7, 0}, {2000, 1, 2, 1, 1}, {1999, 12, 31, 6, 52}, {1993, 6, 1, 3, 22}};
  for (const Case& c : cases) {
    CDateTimeEx date(c.y, c.m, c.d);
    SRowDate w = RowDateWords(&date);
    EXPECT_EQ(w.dayOfWeek, c.dow) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(w.week, c.week) << c.y << "-" << c.m << "-" << c.d;
  }
  CDateTimeEx bad(1993, 2, 30);
  SRowDate w = RowDateWords(&bad);
  EXPECT_EQ(w.year, -1);
  EXPECT_EQ(w.week, -1);
}

TEST(LoopRows, SlotsContentsAndOrder) {
  RowFixture f(1);
  Fill(*f.data->LoopDay(0), {1, 15, 100, 10});
  f.s.groups = {{0}};
  f.On({0, 1, 8, 9, 10, 11, 12, 13});
  f.s.periodLen = 4320;
  ASSERT_TRUE(f.Build());
  ASSERT_EQ(f.rows.m_nSize, 8);
  const int order[8] = {0, 1, 12, 13, 8, 9, 11, 10};
  const int values[8] = {2880, 100, 650, 240, 4320, 1000, 1, 1};  // the length estimate clamps at 240
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(f.Row(i).word[RW_CONTENT], order[i]);
    EXPECT_EQ(f.Value(i), values[i]) << order[i];
  }
  const CDBRecord& r = f.Row(0);
  EXPECT_EQ(r.element, &f.elem);
  EXPECT_EQ(r.word[RW_ORDINAL], 3);
  EXPECT_EQ(r.word[RW_YEAR], 1993);
  EXPECT_EQ(r.word[RW_MONTH], 6);
  EXPECT_EQ(r.word[RW_DAY], 1);
  EXPECT_EQ(r.word[RW_HOUR], 0);
  EXPECT_EQ(r.word[RW_WEEK], 22);
  EXPECT_EQ(r.word[RW_DAY_OF_WEEK], 3);
  EXPECT_EQ(f.run.progress, kProgressRowDay + kProgressRowSlot + 8 * kProgressRowMade);

  RowFixture g(1);
  Fill(*g.data->LoopDay(0), {1, 15, 100, 10});
  g.s.groups = {{0}};
  g.On({0});
  ASSERT_TRUE(g.Build());
  EXPECT_EQ(g.rows.m_nSize, 288);
  EXPECT_EQ(g.Row(85).word[RW_HOUR], 7);
  EXPECT_EQ(g.Row(85).word[RW_MINUTE], 5);
  EXPECT_EQ(g.Row(85).word[RW_SECOND], 0);

  RowFixture h(1);
  h.s.groups = {{0}, {}, {7}};  // an empty group and an index past the days are skipped
  h.On({0});
  h.s.periodLen = 0;
  ASSERT_TRUE(h.Build());
  EXPECT_EQ(h.rows.m_nSize, 0);
  h.s.periodLen = 1000;  // slots 0, 1000, 2000, 3000 and a short one at 4000, for two groups
  ASSERT_TRUE(h.Build());
  EXPECT_EQ(h.rows.m_nSize, 10);
  EXPECT_EQ(h.Row(5).word[RW_YEAR], -1);  // no date for the index past the list
  EXPECT_EQ(h.Row(4).word[RW_HOUR], 22);
  EXPECT_EQ(h.Row(4).word[RW_MINUTE], 13);
  EXPECT_EQ(h.Row(4).word[RW_SECOND], 20);
}

TEST(LoopRows, MinimumValidityAndMeans) {
  for (int minimum : {500, 501}) {
    RowFixture f(2);
    Fill(*f.data->LoopDay(0), {1, 15, 100, 10});
    Set(*f.data->LoopDay(0), 1, {0, 15, 100, 10});  // the first hour slot of day 0: validity 500
    Set(*f.data->LoopDay(0), 2, {0, 15, 100, 10});
    Set(*f.data->LoopDay(0), 3, {1, 15, 100, 10});
    Fill(*f.data->LoopDay(1), {1, 15, 100, 30});
    f.s.groups = {{0, 1}};
    f.s.periodLen = 60;
    f.s.minValidityOn = true;
    f.s.minValidity = minimum;
    f.On({0, 10});
    ASSERT_TRUE(f.Build());
    // Day 0 spans 0-3 have 2 good of 4 periods.
    EXPECT_EQ(f.Value(1), minimum == 500 ? 2 : 1) << minimum;
    EXPECT_EQ(f.Value(0), minimum == 500 ? 70 : 120) << minimum;  // (20 + 120) / 2 = 70
    EXPECT_EQ(f.run.progress, 2u * (kProgressRowDay + 72 * kProgressRowSlot) + 144 * kProgressRowMade);
  }
}

TEST(LoopRows, FlagFold) {
  const struct {
    int current, f, result;
  } cases[] = {{1, 0, 2}, {0, 3, 3}, {3, 0, 3}, {0, 2, 2}, {2, 3, 2}, {1, 2, 2}, {3, 1, 2}, {0, 0, 0}};
  for (auto c : cases) EXPECT_EQ(FoldLoopFlag(c.current, c.f), c.result) << c.current << "," << c.f;
}

TEST(LoopRows, RowsWithoutAcceptedDaysAndRawFlags) {
  RowFixture f(3);
  f.s.groups = {{0}, {1, 2}};
  f.s.periodLen = 1;
  f.On({11});
  ASSERT_TRUE(f.Build());
  ASSERT_EQ(f.rows.m_nSize, 2 * 4320);
  char buf[64];
  // Single interval of a single day without data: "Bad Loop", an element flag.
  EXPECT_EQ(f.Value(0), 7);
  EXPECT_TRUE(f.Row(0).rawFlag);
  f.Row(0).FormatValue(buf, sizeof buf, CF_TEXT);
  EXPECT_STREQ(buf, "         Bad Loop");
  // The two-day group's rows hold a summary class, whatever the first group was.
  EXPECT_EQ(f.Value(4320), 0);
  EXPECT_FALSE(f.Row(4320).rawFlag);
  f.Row(4320).FormatValue(buf, sizeof buf, CF_TEXT);
  EXPECT_STREQ(buf, "     All Bad Data");

  // A finer-layout day gives its own interval code; a five-minute day its span flag.
  RowFixture g(2);
  std::vector<unsigned char> b;
  for (int i = 0; i < 4320; ++i) PackFine(b, true, i == 1 ? 3 : 0, 12, 1);
  g.data->LoopDay(0)->Load(b.data(), static_cast<int>(b.size()), 4320);
  Fill(*g.data->LoopDay(1), {1, 15, 100, 10});
  g.s.groups = {{0}, {1}};
  g.s.periodLen = 1;
  g.On({11});
  ASSERT_TRUE(g.Build());
  EXPECT_EQ(g.Value(1), 3);
  EXPECT_TRUE(g.Row(1).rawFlag);
  g.Row(1).FormatValue(buf, sizeof buf, CF_SHEET);
  EXPECT_STREQ(buf, "Vol/Occ Envelope\t");
  EXPECT_EQ(g.Value(4320), 4);  // a one-unit span covers no five-minute period
  EXPECT_FALSE(g.Row(4320).rawFlag);
}

TEST(LoopRows, EstimatedLengthNeedsTheSpeed) {
  RowFixture f(1);
  Fill(*f.data->LoopDay(0), {1, 15, 100, 10});
  f.s.groups = {{0}};
  f.s.periodLen = 4320;
  f.On({13});
  ASSERT_TRUE(f.Build());
  EXPECT_EQ(f.Value(0), 0);  // -1 for the day, rounded mean 0
}

TEST(LoopRows, CancelAfterSlot) {
  RowFixture f(1);
  Fill(*f.data->LoopDay(0), {1, 15, 100, 10});
  f.s.groups = {{0}};
  f.On({0});
  f.run.cancelAt = kProgressRowDay + 3 * (kProgressRowSlot + kProgressRowMade);
  ASSERT_TRUE(f.Build());
  EXPECT_EQ(f.rows.m_nSize, 3);
}

TEST(LoopRows, FailedRowAllocationIsReported) {
  RowFixture f(1);
  Fill(*f.data->LoopDay(0), {1, 15, 100, 10});
  f.s.groups = {{0}};
  f.On({0, 1});
  bool ok;
  {
    CAllocFailureScope fail(20);
    ok = f.Build();
  }
  EXPECT_FALSE(ok);
  for (int i = 0; i < f.rows.m_nSize; ++i) EXPECT_NE(f.rows.m_pData[i], nullptr);  // whole rows only
}

TEST(LoopRows, PeakRows) {
  RowFixture f(2);
  Fill(*f.data->LoopDay(0), {1, 15, 100, 10});
  Fill(*f.data->LoopDay(1), {1, 15, 100, 10});
  for (int p = 40; p < 52; ++p) Set(*f.data->LoopDay(1), p, {1, 15, 100, 30});
  f.s.groups = {{0}, {1}};
  f.s.periodLen = 180;
  f.s.reportType = 1;
  f.On({0, 10, 17});
  ASSERT_TRUE(f.Peaks());
  ASSERT_EQ(f.rows.m_nSize, 6);
  EXPECT_EQ(f.Row(0).word[RW_HOUR], -1);
  EXPECT_EQ(f.Value(0), 120);
  EXPECT_EQ(f.Row(2).word[RW_CONTENT], 17);
  EXPECT_EQ(f.Value(2), 0);  // constant volume: the earliest window
  EXPECT_EQ(f.Value(3), 360);
  EXPECT_EQ(f.Value(5), 40 * 15);  // a multiple of 15 on five-minute data
  char buf[64];
  f.Row(5).FormatValue(buf, sizeof buf, CF_TEXT);
  EXPECT_STREQ(buf, "         03:20:00");
  EXPECT_EQ(f.run.progress, 2u * (kProgressRowDay + kProgressRowSlot) + 6 * kProgressRowMade);

  RowFixture g(1);
  Fill(*g.data->LoopDay(0), {1, 15, 100, 10});
  g.s.groups = {{0}};
  g.s.periodLen = 3000;  // longer than half a day: searched as 2160
  g.s.reportType = 0;
  g.On({0, 17});
  ASSERT_TRUE(g.Peaks());
  EXPECT_EQ(g.Value(0), 1440);
  EXPECT_EQ(g.Value(1), 2160);
}

}  // namespace
