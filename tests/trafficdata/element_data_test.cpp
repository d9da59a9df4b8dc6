// Classic report drivers of the per-element data and the loop's multi-day tables.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "loop_test_util.h"
#include "run_test_util.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/loop_data.h"

using namespace looptest;

namespace {

// A good day whose Daily volume is total (spread over the periods), occupancy 10.0 %.
void LoadDailyVolume(CLoopDay& day, int total) {
  Fill(day, {1, 15, 100, total / 288});
  for (int p = 0; p < total % 288; ++p) day.volume.m_pData[p] += 1;
}

struct Fixture {
  CDBRoadway road{"I-5"};
  CDBCabinet cab{"005es16520", "ES-0165", 1234, "Station Rd", &road};
  CDBElementEx elem{"_MS___1", ET_LOOP, &cab};
  std::vector<std::unique_ptr<CDateTimeEx>> dates;
  std::vector<const CDateTimeEx*> ptrs;
  void AddDate(int y, int m, int d) {
    dates.push_back(std::make_unique<CDateTimeEx>(y, m, d));
    ptrs.push_back(dates.back().get());
  }
};

TEST(ElementData, HeadingAndDateLine) {
  Fixture f;
  CLoopData data(0, &f.elem, 0);
  CText t("");
  data.WriteElementHeading(t);
  // The heading starts with the cabinet alias, where the viewer looks for a section.
  EXPECT_EQ(Str(t), "ES-0165:_MS___1  I-5  Station Rd   12.34\n");
  f.cab.milepost = 5;
  CText u("");
  data.WriteElementHeading(u);
  EXPECT_EQ(Str(u), "ES-0165:_MS___1  I-5  Station Rd    0.05\n");
  // A cabinet without an alias is named by its id.
  std::memset(f.cab.alias, 0, sizeof f.cab.alias);
  CText w("");
  data.WriteElementHeading(w);
  EXPECT_EQ(Str(w), "005es16520:_MS___1  I-5  Station Rd    0.05\n");
  CDBElementEx orphan("_MN___1", ET_LOOP, nullptr);  // no cabinet: empty texts, no crash
  CLoopData lone(0, &orphan, 0);
  CText v("");
  lone.WriteElementHeading(v);
  EXPECT_EQ(Str(v), ":_MN___1        0.00\n");

  CDateTimeEx june(1993, 6, 1), bad(1993, 2, 30), null;
  null.SetStatus(COleDateTime::null);
  CText d("");
  WriteDateLine(d, &june);
  WriteDateLine(d, &bad);
  WriteDateLine(d, &null);
  EXPECT_EQ(Str(d), "06/01/1993 (Tue)\n\nInvalid DateTime\n\n\n\n");
  EXPECT_STREQ(MonthAbbreviation(6), "JUN");
  EXPECT_STREQ(MonthAbbreviation(13), "XXX");
}

TEST(ElementData, RawAndSingleDayDrivers) {
  Fixture f;
  f.AddDate(1993, 6, 1);
  f.AddDate(1993, 6, 2);
  CLoopData data(2, &f.elem, 0);
  Fill(*data.LoopDay(0), {1, 15, 100, 10});
  ClassicSettings s;
  s.singleDates = f.ptrs;
  TestRun run;
  TestSink sink;
  EXPECT_EQ(data.WriteRawDataReport(s, f.ptrs, sink, run), EReportResult::Done);
  EXPECT_EQ(run.progress, 2u * kProgressRawDay);
  EXPECT_NE(sink.text.find("06/01/1993 (Tue)\n\n     ---Raw Loop Data Listing---"), std::string::npos);
  EXPECT_NE(sink.text.find("06/02/1993 (Wed)\n\n     ***DATA UNAVAILABLE***\n\n\n\n"), std::string::npos);

  TestRun run2;
  TestSink sink2;
  EXPECT_EQ(data.WriteSingleDayReport(s, sink2, run2), EReportResult::Done);
  EXPECT_EQ(run2.progress, 2u * (kProgress15MinDay + kProgressDailyDay));
  EXPECT_EQ(sink2.writes, 4);  // 15-minute and daily text per day, each with its own heading
  size_t first = sink2.text.find("ES-0165:_MS___1");
  EXPECT_NE(sink2.text.find("ES-0165:_MS___1", first + 1), std::string::npos);

  s.with15Min = s.withDaily = false;
  TestRun run3;
  TestSink sink3;
  EXPECT_EQ(data.WriteSingleDayReport(s, sink3, run3), EReportResult::Done);
  EXPECT_EQ(sink3.text, "");

  CLoopData none(0, &f.elem, 0);
  TestSink sink4;
  EXPECT_EQ(none.WriteRawDataReport(s, f.ptrs, sink4, run3), EReportResult::Done);
  EXPECT_EQ(sink4.writes, 0);
}

TEST(ElementData, CancelAndWriteFailure) {
  Fixture f;
  f.AddDate(1993, 6, 1);
  f.AddDate(1993, 6, 2);
  f.AddDate(1993, 6, 3);
  CLoopData data(3, &f.elem, 0);
  ClassicSettings s;
  TestRun run;
  run.cancelAt = kProgressRawDay;  // clears after the first day
  TestSink sink;
  EXPECT_EQ(data.WriteRawDataReport(s, f.ptrs, sink, run), EReportResult::Cancelled);
  EXPECT_EQ(sink.writes, 1);
  EXPECT_EQ(sink.cancels, 1);

  TestRun run2;
  TestSink sink2;
  sink2.failAt = 1;
  EXPECT_EQ(data.WriteRawDataReport(s, f.ptrs, sink2, run2), EReportResult::Failed);
  EXPECT_EQ(sink2.writes, 2);  // stops at the failed write
  EXPECT_EQ(sink2.cancels, 0);
}

// August 1993 has five Mondays: 2, 9, 16, 23, 30.
struct MondayFixture : Fixture {
  std::unique_ptr<CLoopData> data;
  ClassicSettings s;
  MondayFixture(int missing) {
    for (int d : {2, 9, 16, 23, 30}) AddDate(1993, 8, d);
    data = std::make_unique<CLoopData>(5, &elem, 0);
    LoadDailyVolume(*data->LoopDay(0), 1000);
    LoadDailyVolume(*data->LoopDay(1), 2000);
    LoadDailyVolume(*data->LoopDay(2), 4000);
    if (missing < 2) Fill(*data->LoopDay(4), {0, 15, 0, 0});  // loaded but all bad: invalid
    s.multiDates = ptrs;
  }
};

TEST(LoopMultiDay, MonthlyAverages) {
  MondayFixture one(1);
  SMultiDaySummary m = MonthlySummary(*one.data, SK_DAILY, 8, 2, one.s);
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.volume, 2333u);
  EXPECT_EQ(m.occupancy, 100u);
  EXPECT_EQ(m.nValid, 3);
  EXPECT_EQ(m.nInvalid, 1);
  EXPECT_EQ(m.nMissing, 1);
  EXPECT_EQ(m.counts.good, 3 * 288);
  EXPECT_EQ(m.counts.bad, 288);  // the invalid day's classes count too
  CText line("");
  one.data->WriteMonthlyLine(line, SK_DAILY, 8, 2, one.s);
  EXPECT_EQ(Str(line), "     Daily      VAL     2333  10.0%     864      0    288      0     3   1   1\n");
  one.s.multiFormat = 1;
  CText tab("");
  one.data->WriteMonthlyLine(tab, SK_AM_PEAK_HOUR, 8, 2, one.s);
  // Best hours: 48 vehicles from 123 (the 4-vehicle periods end at 135), 84 and 168 from 132;
  // means 100 and start 129 (10:45). The invalid day's best hour counts 12 bad periods.
  EXPECT_EQ(Str(tab), "\tAM Pk Hour\tVAL\t     100\t 10.0%\t    36\t     0\t    12\t     0\t 3\t 1\t 1\t10:45\t11:45\n");

  MondayFixture two(2);
  SMultiDaySummary n = MonthlySummary(*two.data, SK_DAILY, 8, 2, two.s);
  EXPECT_FALSE(n.valid);
  EXPECT_EQ(n.volume, 0u);
  EXPECT_EQ(n.nMissing, 2);
  CText inv("");
  two.data->WriteMonthlyLine(inv, SK_AM_PEAK_HOUR, 8, 2, two.s);
  EXPECT_EQ(Str(inv), "     AM Pk Hour INV        0   0.0%      36      0      0      0     3   0   2 (00:00--01:00)\n");

  // A mean is rounded from the double quotient: (1 + 2) / 2 -> 2.
  Fixture f;
  f.AddDate(1993, 8, 2);
  f.AddDate(1993, 8, 9);
  CLoopData small(2, &f.elem, 0);
  Fill(*small.LoopDay(0), {1, 15, 100, 0});
  Fill(*small.LoopDay(1), {1, 15, 100, 0});
  small.LoopDay(0)->volume.m_pData[0] = 1;
  small.LoopDay(1)->volume.m_pData[0] = 2;
  ClassicSettings s;
  s.multiDates = f.ptrs;
  EXPECT_EQ(MonthlySummary(small, SK_DAILY, 8, 2, s).volume, 2u);
}

TEST(LoopMultiDay, YearlyAndAverages) {
  // The first Monday of every month of 1993; months without a loaded day have no valid average.
  const int firstMonday[12] = {4, 1, 1, 5, 3, 7, 5, 2, 6, 4, 1, 6};
  for (int withoutData : {1, 2}) {
    Fixture f;
    for (int m = 0; m < 12; ++m) f.AddDate(1993, m + 1, firstMonday[m]);
    CLoopData data(12, &f.elem, 0);
    for (int m = withoutData; m < 12; ++m) Fill(*data.LoopDay(m), {1, 15, 100, 10});
    ClassicSettings s;
    s.multiDates = f.ptrs;
    SMultiDaySummary y = YearlySummary(data, SK_DAILY, 2, s);
    EXPECT_EQ(y.valid, withoutData == 1) << withoutData;
    EXPECT_EQ(y.nInvalid, withoutData);
    EXPECT_EQ(y.volume, withoutData == 1 ? 2880u : 0u);
    CText line("");
    data.WriteYearlyLine(line, SK_DAILY, 2, s);
    EXPECT_EQ(Str(line).substr(Str(line).size() - 15), withoutData == 1 ? "    11   1   0\n" : "    10   2   0\n");
    // Only Mondays have data: ASWT (Tue-Thu) has no valid weekday, AWDT (Mon-Fri) one valid and
    // four invalid weekdays, above the limit 0.
    s.avgInvalid[AK_AWDT] = 4;
    SMultiDaySummary a = AverageSummary(data, AK_AWDT, SK_DAILY, s);
    EXPECT_EQ(a.valid, withoutData == 1);
    EXPECT_EQ(a.nInvalid, withoutData == 1 ? 4 : 5);
    EXPECT_FALSE(AverageSummary(data, AK_ASWT, SK_DAILY, s).valid);
  }
}

TEST(LoopMultiDay, ReportTablesAndCancellation) {
  Fixture f;
  f.AddDate(1993, 6, 7);
  f.AddDate(1993, 6, 14);
  CLoopData data(2, &f.elem, 0);
  Fill(*data.LoopDay(0), {1, 15, 100, 10});
  ClassicSettings s;
  s.multiDates = f.ptrs;
  {
    // The tables of one report share the days: each day is summarised once.
    CMultiDayRun once(data, s);
    int fills = 0, first = 0, again = 0, none = 0;
    auto fill = [&fills](const CElementDay&, int& out) { out = 7 * ++fills; };
    EXPECT_TRUE(once.DaySummaries(0, first, fill));
    EXPECT_TRUE(once.DaySummaries(0, again, fill));
    EXPECT_FALSE(once.DaySummaries(1, none, fill));  // no data
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(again, first);
  }
  s.months = {5, 6};
  s.monthlyWeekdays = {1, 9, 2};  // 9 is no weekday and is skipped
  s.yearlyWeekdays = {1};
  s.averages = true;
  TestRun run;
  TestSink sink;
  EXPECT_EQ(data.WriteMultiDayReport(s, sink, run), EReportResult::Done);
  EXPECT_EQ(sink.writes, 4 + 1 + 3);
  EXPECT_EQ(run.progress, 8u * 5 * kProgressMultiDayLine);
  EXPECT_NE(sink.text.find("ES-0165:_MS___1  I-5  Station Rd   12.34\nMonthly Avg for 1993 Jun (Mon)\n\n"
                           "     ---Multi-Day Loop Summary Report---\n\n"
                           "     Summary   Valid     Vol   Occ        G      S      B      D   Val Inv Mis\n"),
            std::string::npos);
  EXPECT_NE(sink.text.find("Monthly Avg for 1993 Jul (Tue)\n\n"), std::string::npos);
  EXPECT_NE(sink.text.find("Yearly Avg for 1993 (Mon)\n\n"), std::string::npos);
  EXPECT_NE(sink.text.find("(AADT) Average Annual Daily Traffic\n\n"), std::string::npos);
  EXPECT_NE(sink.text.find("     Daily      VAL     2880  10.0%     288      0      0      0     1   0   1\n"),
            std::string::npos);

  TestRun stop;
  stop.cancelAt = 5 * kProgressMultiDayLine;  // after the first monthly table
  TestSink sink2;
  EXPECT_EQ(data.WriteMultiDayReport(s, sink2, stop), EReportResult::Cancelled);
  EXPECT_EQ(sink2.writes, 1);
  EXPECT_EQ(sink2.cancels, 1);
  EXPECT_EQ(sink2.text.find("Yearly"), std::string::npos);

  ClassicSettings empty;
  TestSink sink3;
  EXPECT_EQ(data.WriteMultiDayReport(empty, sink3, run), EReportResult::Done);
  EXPECT_EQ(sink3.writes, 0);
}

}  // namespace
