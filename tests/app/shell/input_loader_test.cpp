#include "app/shell/input_loader.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "app/classic/classic_run.h"
#include "app/classic/classic_state.h"
#include "app/newview/new_model.h"
#include "app/newview/new_run.h"
#include "app/shell/archive_fixture.h"
#include "app/shell/decode_pool.h"
#include "app/shell/element_data_factory.h"
#include "app/shell/worker_ids.h"
#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/input_desc.h"
#include "containers/block_arena.h"
#include "containers/mem_mgr.h"
#include "platform/base/errors.h"
#include "trafficdata/db_record.h"
#include "trafficdata/element_day.h"
#include "trafficdata/run_control.h"
#include "trafficdata/view_settings.h"

namespace {
CObjArray<CDateTimeEx> Days(std::initializer_list<CDateTimeEx> list) {
  CObjArray<CDateTimeEx> days;
  for (const CDateTimeEx& d : list) days.Add(d);
  return days;
}

std::pair<UINT, LPARAM> Post(UINT id, const CDateTimeEx& day) { return {id, DayPayload(day)}; }
std::pair<UINT, LPARAM> Post(UINT id, LPARAM payload = 0) { return {id, payload}; }

// Keep-going until the n-th question.
class StopAfter : public RunControl {
 public:
  explicit StopAfter(int answersYes) : m_yes(answersYes) {}
  bool keepGoing() const override { return m_asked++ < m_yes; }
  // Rows made while loading add theirs on the helpers.
  void addProgress(uint32_t n) override { progress.fetch_add(n); }
  void noteDayLayout(bool fine) override { fineDays.push_back(fine); }
  std::atomic<uint32_t> progress{0};
  std::vector<bool> fineDays;  // the layout of each day file read

 private:
  int m_yes;
  mutable std::atomic<int> m_asked{0};  // asked by the helpers as well
};

// The units of `elementDays` element-days of a load of `loadElementDays` in all (its speedup).
uint64_t LoadUnits(int64_t elementDays, int64_t loadElementDays, bool fine = false) {
  return static_cast<uint64_t>(elementDays) * LoadDayUnits(LoadSpeedup(loadElementDays), fine, false);
}

bool Available(const CElementDataSet& set, int element, int day) {
  const CElementData* data = set.At(element);
  return data != nullptr && data->Day(day) != nullptr && data->Day(day)->dataAvailable != 0;
}

using LoaderTest = ArchiveFixture;

TEST_F(LoaderTest, DaysOnBothSidesOfTheCutoverGoToTheirReaders) {
  CPEInputDesc peList;
  ASSERT_TRUE(peList.Read(CDateTimeEx(1993, 1, 1)));
  Selection s;
  s.elements.Add(*peList.m_Elements.m_pData[0]);  // a loop of the PE list, by alias
  AddSampleElements(s, 1993, 8);                  // loop, station, speed trap, metered lane, twice
  const CDateTimeEx d0101(1993, 1, 1), d0102(1993, 1, 2), d0530(1993, 5, 30), d0601(1993, 6, 1), d0602(1993, 6, 2),
      d0603(1993, 6, 3), d0604(1993, 6, 4);
  CObjArray<CDateTimeEx> days = Days({d0101, d0102, d0530, d0601, d0602, d0603, d0604});
  RecordingPoster poster;
  StopAfter run(1000);
  auto set = LoadElementData(s.elements, days, poster, run);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(poster.posts, (std::vector<std::pair<UINT, LPARAM>>{Post(500), Post(504, d0530), Post(502, 2),
                                                                 Post(504, d0602), Post(502, 2), Post(503)}));
  ASSERT_EQ(set->Count(), 9);
  // The PE loop has both PE days (the second without an occupancy file); nothing else has PE days.
  EXPECT_TRUE(Available(*set, 0, 0));
  EXPECT_TRUE(Available(*set, 0, 1));
  for (int e : {2, 3, 4, 6, 7, 8}) EXPECT_FALSE(Available(*set, e, 0)) << e;
  // Database days: the first sample loop on 06-01, missing (silently) on 06-03, there on 06-04
  // (20-second records of the older database layout).
  EXPECT_TRUE(Available(*set, 1, 3));
  EXPECT_FALSE(Available(*set, 1, 5));
  EXPECT_TRUE(Available(*set, 1, 6));
  EXPECT_TRUE(Available(*set, 4, 6));  // a metered lane exists only in 20-second days
  EXPECT_FALSE(Available(*set, 4, 3));
  // What had no data is named: the two days without files, then element-days in date order,
  // first those of the PE day that only the loops have.
  const SLoadCount& count = set->m_count;
  EXPECT_EQ(count.missingDays, (std::vector<std::string>{"05/30/1993", "06/02/1993"}));
  EXPECT_EQ(count.missingElementDayCount, count.WithoutData() - 2 * 9);
  ASSERT_FALSE(count.missingElementDays.empty());
  const CDBElementEx& station = *s.elements.m_pData[2];
  EXPECT_EQ(count.missingElementDays[0], std::string(station.CabinetLabel()) + ":" + station.name + " on 01/01/1993");
  // The PE loop is also the first sample loop (same cabinet and name): both have the two PE days;
  // seven element-days were read on 06-01, five on 06-03, nine on 06-04. Every element-day counts
  // its progress, read or not, by the layout of its day file (06-04 is a 20-second day; 06-02 has
  // no file and counts as the five-minute day before it).
  EXPECT_EQ(set->m_count.elementDays, 9 * 7);
  EXPECT_EQ(set->m_count.withData, 2 + 2 + 7 + 5 + 9);
  EXPECT_EQ(run.progress, LoadUnits(9 * 6, 9 * 7) + LoadUnits(9, 9 * 7, true));
  EXPECT_EQ(run.fineDays, (std::vector<bool>{false, false, false, false, true}));
}

TEST_F(LoaderTest, EachPeYearReadsItsOwnDeviceList) {
  CPEInputDesc peList;
  ASSERT_TRUE(peList.Read(CDateTimeEx(1990, 1, 1)));
  Selection s;
  s.elements.Add(*peList.m_Elements.m_pData[0]);
  const CDateTimeEx d1990(1990, 1, 1), d1991(1991, 1, 1), d1991b(1991, 1, 2);
  CObjArray<CDateTimeEx> days = Days({d1990, d1991, d1991b});
  RecordingPoster poster;
  StopAfter run(1000);
  auto set = LoadElementData(s.elements, days, poster, run);
  ASSERT_NE(set, nullptr);
  // 1991 has no PE folder: one notice for its last day; 1990 still loads with its own list.
  EXPECT_EQ(poster.posts, (std::vector<std::pair<UINT, LPARAM>>{Post(500), Post(505, d1991b), Post(502, 3), Post(503)}));
  EXPECT_TRUE(Available(*set, 0, 0));
  EXPECT_FALSE(Available(*set, 0, 1));
  EXPECT_EQ(run.progress, LoadUnits(3, 3));  // the unread days of 1991 count too
}

TEST_F(LoaderTest, AnExpandDayWithoutItsNameListNamesTheMissingFile) {
  // An EXPAND day whose .NTS is gone, read from the CD-ROM drive: the disc is asked for again
  // after each OK, and when the user gives up, the status names the missing file.
  const auto info = std::find_if(days_.begin(), days_.end(), [](const SampleDayInfo& d) { return d.written && d.expand; });
  ASSERT_NE(info, days_.end());
  const CDateTimeEx day(info->year, info->month, info->day);
  AppTempFolder root;
  std::filesystem::create_directories(root / day.Format("DATA%Y"));
  std::filesystem::copy_file(Root() + day.Format("DATA%Y/%Y%m%d.DAT"), root / day.Format("DATA%Y/%Y%m%d.DAT"));
  g_DataRootPath.Set((root.path() + "/").c_str());
  static int requests;
  requests = 0;
  SetDiscPromptSender([](uintptr_t, UINT, uintptr_t, intptr_t) -> intptr_t { return ++requests < 3 ? IDOK : IDCANCEL; });
  g_hPromptWnd = 1;
  struct Reset {
    ~Reset() {
      g_hPromptWnd = 0;
      SetDiscPromptSender(nullptr);
    }
  } reset;
  Selection s;
  AddSampleElements(s, info->year, 8);
  CObjArray<CDateTimeEx> days = Days({day});
  RecordingPoster poster;
  StopAfter run(1000);
  ASSERT_NE(LoadElementData(s.elements, days, poster, run), nullptr);
  EXPECT_EQ(requests, 3);
  EXPECT_EQ(poster.posts, (std::vector<std::pair<UINT, LPARAM>>{Post(500), Post(504, day), Post(502, 2),
                                                                 Post(ID_WORKER_DATA_FILE_NAME), Post(503)}));
  EXPECT_EQ(poster.paths, std::vector<std::string>{root.path() + "/" + day.Format("DATA%Y\\%Y%m%d.NTS")});
}

TEST_F(LoaderTest, AliasLayoutKeysAndUnreadableNames) {
  // A day of the "Primary Copy" layout: names are keyed by the cabinet's alias.
  AppTempFolder root;
  ASSERT_EQ(::mkdir((root / "DATA1995").c_str(), 0700), 0);
  WritePrimaryCopyDay(root / "DATA1995/19950101.DAT",
                      {{"ALIAS01:_MN_1_1", 92, 3}, {"ALIAS01:_MN_2_1", 92, 4}, {"ALIAS01:_MN_3_1", 92, 3}}, 288);
  g_DataRootPath.Set((root.path() + "/").c_str());
  CDBCabinet withAlias("005es00100", "ALIAS01", 100, "", nullptr);
  CDBCabinet withoutAlias("005es00100", "", 100, "", nullptr);
  CObjArray<CDBElementEx> elements;
  elements.Add(CDBElementEx("_MN_1_1", ET_LOOP, &withAlias));
  elements.Add(CDBElementEx("_MN_1_1", ET_LOOP, &withoutAlias));  // ":_MN_1_1" is not there
  elements.Add(CDBElementEx("_MN_2_1", ET_LOOP, &withAlias));
  elements.Add(CDBElementEx("_MN_1_1", 9, &withAlias));  // no data object for an unknown type
  const CDateTimeEx day(1995, 1, 1);
  CObjArray<CDateTimeEx> days = Days({day});
  RecordingPoster poster;
  StopAfter run(1000);
  auto set = LoadElementData(elements, days, poster, run);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(poster.posts,
            (std::vector<std::pair<UINT, LPARAM>>{Post(500), Post(506, day), Post(502, 11), Post(503)}));
  EXPECT_TRUE(Available(*set, 0, 0));
  EXPECT_FALSE(Available(*set, 1, 0));
  EXPECT_FALSE(Available(*set, 2, 0));
  EXPECT_EQ(set->At(3), nullptr);
  EXPECT_EQ(set->m_count.elementDays, 3);
  EXPECT_EQ(set->m_count.withData, 1);
  EXPECT_EQ(run.progress, LoadUnits(3, 4));
}

TEST_F(LoaderTest, ADayWhoseHeaderDoesNotFitItsRecordsIsAFailedDayWithNothingLoaded) {
  // Two five-minute days; the second says 287 columns: read as 20-second intervals, its loops
  // would load with every value misplaced.
  AppTempFolder root;
  SampleArchiveOptions o;
  o.root = root.path() + "/";
  o.years = {1994};
  o.elements = 4;
  o.days = 2;
  o.uniformDays = true;
  ASSERT_EQ(WriteSampleArchive(o), 0);
  const std::string damaged = root / "DATA1994/19940102.DAT";
  std::vector<char> file;
  {
    std::ifstream in(damaged, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string columns = " Number of Columns =        288\r\n";
  const size_t at = std::string(file.begin(), file.begin() + 512).find(columns);
  ASSERT_NE(at, std::string::npos);
  file[at + columns.size() - 3] = '7';
  std::ofstream(damaged, std::ios::binary | std::ios::trunc).write(file.data(), static_cast<std::streamsize>(file.size()));
  g_DataRootPath.Set((root.path() + "/").c_str());

  Selection s;
  AddSampleElements(s, 1994, 4);
  const CDateTimeEx good(1994, 1, 1), bad(1994, 1, 2);
  CObjArray<CDateTimeEx> days = Days({good, bad});
  RecordingPoster poster;
  StopAfter run(1000);
  auto set = LoadElementData(s.elements, days, poster, run);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(poster.posts,
            (std::vector<std::pair<UINT, LPARAM>>{Post(500), Post(504, bad), Post(502, kNtsoErrMalformed), Post(503)}));
  // The loop, the station and the speed trap have their first day; nothing has the second.
  for (int e = 0; e < 3; ++e) EXPECT_TRUE(Available(*set, e, 0)) << e;
  for (int e = 0; e < 4; ++e) EXPECT_FALSE(Available(*set, e, 1)) << e;
  EXPECT_EQ(set->m_count.withData, 3);
}

TEST_F(LoaderTest, ACancelIsSeenAfterEveryDayLoadedOrNot) {
  Selection s;
  AddSampleElements(s, 1994, 4);
  const struct {
    std::vector<CDateTimeEx> days;
    int yes;
    std::vector<std::pair<UINT, LPARAM>> posts;
  } cases[] = {
      // The missing second day of 1994 fails, then the cancel is seen.
      {{CDateTimeEx(1994, 1, 2), CDateTimeEx(1994, 1, 3)}, 0,
       {Post(500), Post(504, CDateTimeEx(1994, 1, 2)), Post(502, 2), Post(509)}},
      // After the first of two PE days.
      {{CDateTimeEx(1990, 1, 1), CDateTimeEx(1990, 1, 2)}, 0, {Post(500), Post(509)}},
      // After the second database day.
      {{CDateTimeEx(1994, 1, 1), CDateTimeEx(1994, 1, 3), CDateTimeEx(1994, 1, 4)}, 1, {Post(500), Post(509)}},
  };
  for (const auto& c : cases) {
    CObjArray<CDateTimeEx> days;
    for (const CDateTimeEx& d : c.days) days.Add(d);
    RecordingPoster poster;
    StopAfter run(c.yes);
    EXPECT_EQ(LoadElementData(s.elements, days, poster, run), nullptr);
    EXPECT_EQ(poster.posts, c.posts);
  }
}
}  // namespace

namespace {
class TextSink : public ReportSink {
 public:
  bool write(std::string_view t) override {
    text.append(t);
    return true;
  }
  void notifyCancelled() override {}
  std::string text;
};

// The bytes of a day's first arrays, enough to tell two loads of it apart.
std::string DayBytes(const CElementDay* d) {
  if (d == nullptr) return "null";
  return std::to_string(d->dataAvailable) + ":" + std::string(reinterpret_cast<const char*>(d->flag.m_pData), d->flag.m_nSize) +
         std::string(reinterpret_cast<const char*>(d->nPds.m_pData), d->nPds.m_nSize);
}

TEST_F(LoaderTest, ManyDaysSpreadOverSeveralBatchesLoadAsEachDayAlone) {
  Selection s;
  AddSampleElements(s, 1994, 8);
  const std::vector<CDateTimeEx> distinct = {CDateTimeEx(1994, 1, 1), CDateTimeEx(1994, 1, 2), CDateTimeEx(1994, 1, 3),
                                             CDateTimeEx(1994, 1, 4), CDateTimeEx(1994, 1, 5)};
  constexpr int kRepeats = 130;  // a few hundred element-days each time: several batches
  CObjArray<CDateTimeEx> one, many;
  for (const CDateTimeEx& d : distinct) {
    one.Add(d);
    for (int r = 0; r < kRepeats; ++r) many.Add(d);
  }
  RecordingPoster p1, p2;
  StopAfter r1(1 << 30), r2(1 << 30);
  // One helper: both loads add the units of a load on one, so that a day repeated counts alike.
  CDecodePool::LimitThreads(1);
  auto alone = LoadElementData(s.elements, one, p1, r1);
  auto all = LoadElementData(s.elements, many, p2, r2);
  CDecodePool::LimitThreads(0);
  ASSERT_NE(alone, nullptr);
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(r2.progress, r1.progress * kRepeats);
  for (int e = 0; e < alone->Count(); ++e)
    for (int i = 0; i < many.m_nSize; ++i)
      ASSERT_EQ(DayBytes(all->At(e)->Day(i)), DayBytes(alone->At(e)->Day(i / kRepeats))) << e << " " << i;
}

TEST_F(LoaderTest, KeepingOnlySummariesLeavesTheMultiDayReportByteForByte) {
  Selection s;
  AddSampleElements(s, 1994, 8);
  CObjArray<CDateTimeEx> days;
  for (int d = 1; d <= 5; ++d) days.Add(CDateTimeEx(1994, 1, d));
  ClassicSettings settings;
  for (int i = 0; i < days.m_nSize; ++i) settings.multiDates.push_back(days.m_pData[i]);
  settings.months = {0};
  settings.monthlyWeekdays = settings.yearlyWeekdays = {0, 1, 2, 3, 4, 5, 6};
  settings.averages = true;
  settings.monthlyMissing = 5;
  settings.criteria[SK_DAILY].totMinG = 50;  // the run's own criteria, not the built-in ones
  for (int format : {0, 1}) {
    settings.multiFormat = format;
    std::string text[2];
    int dropped = 0;
    for (int only : {0, 1}) {
      RecordingPoster poster;
      StopAfter run(1 << 30);
      auto set = LoadElementData(s.elements, days, poster, run, only ? &settings.criteria : nullptr);
      ASSERT_NE(set, nullptr);
      TextSink sink;
      for (CElementData* d : set->m_items) {
        if (d == nullptr) continue;
        for (int i = 0; i < days.m_nSize; ++i) dropped += only && d->Day(i) == nullptr;
        EXPECT_EQ(d->WriteMultiDayReport(settings, sink, run), EReportResult::Done);
      }
      text[only] = sink.text;
    }
    EXPECT_GT(dropped, 10) << "the days with data are replaced by their summaries";
    EXPECT_GT(text[0].size(), 1000u);
    EXPECT_TRUE(text[0] == text[1]) << "format " << format;
  }
}

TEST_F(LoaderTest, ADataObjectThatCannotBeMadeEndsTheLoadWithTheNotEnoughMemoryError) {
  CPEInputDesc peList;
  ASSERT_TRUE(peList.Read(CDateTimeEx(1993, 1, 1)));
  Selection s;
  s.elements.Add(*peList.m_Elements.m_pData[0]);  // the PE loop, also the first sample loop
  AddSampleElements(s, 1993, 2);
  const CDateTimeEx pe(1993, 1, 1), db(1993, 6, 1);
  CObjArray<CDateTimeEx> days = Days({pe, db});
  struct Reset {
    ~Reset() { FailElementDataAllocation(-1); }
  } reset;
  FailElementDataAllocation(0);
  NewSettings noGroups;
  SRowsWhileLoading rows;  // left over from an earlier load: every element had rows
  rows.settings = &noGroups;
  for (int e = 0; e < s.elements.m_nSize; ++e) rows.rows.push_back(std::make_unique<CDBRecordset>());
  // Whole days or rows made while loading alike: nothing is returned, the error is told once.
  for (SRowsWhileLoading* made : {static_cast<SRowsWhileLoading*>(nullptr), &rows}) {
    RecordingPoster poster;
    StopAfter run(1000);
    EXPECT_EQ(LoadElementData(s.elements, days, poster, run, nullptr, made), nullptr);
    EXPECT_EQ(poster.posts, (std::vector<std::pair<UINT, LPARAM>>{Post(500), Post(506, pe), Post(502, 8)}));
  }
}

TEST_F(LoaderTest, ALoadThatMeasuresItsSpeedupMovesTheRangeByTheUnitsItAddsBeyondPlan) {
  // Days and rows made while loading, the speedup measured from the first day on: whatever it
  // comes to, the counter ends at the units a load with the planned speedup adds plus what the
  // range was moved by, so that bar and time left end together.
  class CPaced : public StopAfter {
   public:
    CPaced() : StopAfter(1 << 30) {}
    void addRange(int64_t units) override { range += units; }  // on the loading thread only
    int64_t range = 0;
  };
  Selection s;
  AddSampleElements(s, 1994, 8);
  std::vector<CDateTimeEx> sorted;
  for (const SampleDayInfo& d : days_) sorted.emplace_back(d.year, d.month, d.day);
  std::sort(sorted.begin(), sorted.end(), [](const CDateTimeEx& a, const CDateTimeEx& b) { return a < b; });
  CNewReportModel m;
  for (const CDateTimeEx& d : sorted) m.m_arrDates.Add(d);
  m.m_nPeriodLen = 1080;
  m.m_bContent[CC_VOLUME] = 1;
  m.GroupSelectedDates();
  NewSettings ns;
  m.FillNewSettings(ns);
  uint64_t planned = 0;
  const int before = MeasureLoadSpeedupAfter(0);
  for (int measureAfter : {1 << 30, 0}) {
    MeasureLoadSpeedupAfter(measureAfter);
    SRowsWhileLoading made;
    made.settings = &ns;
    made.units[0] = made.units[1] = 1 << 20;
    RecordingPoster poster;
    CPaced run;
    ASSERT_NE(LoadElementData(s.elements, m.m_arrDates, poster, run, nullptr, &made), nullptr);
    ASSERT_TRUE(made.made);
    if (measureAfter != 0) {
      EXPECT_EQ(run.range, 0);
      planned = run.progress;
    } else {
      // Each row builder rounds its last fraction: how the days fall to the builders may differ.
      EXPECT_NEAR(static_cast<double>(static_cast<int64_t>(run.progress) - run.range), static_cast<double>(planned),
                  static_cast<double>(s.elements.m_nSize) * m.m_arrDates.m_nSize);
    }
  }
  MeasureLoadSpeedupAfter(before);
}

TEST_F(LoaderTest, RowsMadeWhileLoadingAreTheRowsMadeAfterwards) {
  // Every element kind over the PE and database days of three years, every averaging method,
  // normal and peak rows: the rows made while the days come in, element by element, equal those
  // made from the whole loaded days, and the days are gone where the groups allowed it.
  Selection s;
  AddSampleElements(s, 1994, 8);
  std::vector<CDateTimeEx> sorted;
  for (const SampleDayInfo& d : days_) sorted.emplace_back(d.year, d.month, d.day);
  std::sort(sorted.begin(), sorted.end(), [](const CDateTimeEx& a, const CDateTimeEx& b) { return a < b; });
  for (int avg = AVG_NONE; avg <= AVG_YEARLY; ++avg) {
    for (int type : {RT_NORMAL, RT_AM_PEAK}) {
      CNewReportModel m;
      for (const CDateTimeEx& d : sorted) m.m_arrDates.Add(d);
      m.m_nAvgMethod = avg;
      m.m_nReportType = type;
      m.m_nPeriodLen = type == RT_NORMAL ? 1080 : 180;
      for (int c = 0; c < CONTENT_ITEMS; ++c) m.m_bContent[c] = 1;
      m.GroupSelectedDates();
      NewSettings ns;
      m.FillNewSettings(ns);
      const bool peak = type != RT_NORMAL;
      SCOPED_TRACE(testing::Message() << "averaging " << avg << ", type " << type);

      CDBRecordset after;
      RecordingPoster p1;
      StopAfter r1(1 << 30);
      auto whole = LoadElementData(s.elements, m.m_arrDates, p1, r1);
      ASSERT_NE(whole, nullptr);
      const double loadUnits = r1.progress;
      for (CElementData* d : whole->m_items)
        if (d != nullptr) { ASSERT_TRUE(peak ? d->BuildPeakRecords(after, ns, r1) : d->BuildPeriodRecords(after, ns, r1)); }

      SRowsWhileLoading made;
      made.settings = &ns;
      made.peak = peak;
      RecordingPoster p2;
      StopAfter r2(1 << 30);
      auto streamed = LoadElementData(s.elements, m.m_arrDates, p2, r2, nullptr, &made);
      ASSERT_NE(streamed, nullptr);
      EXPECT_EQ(p2.posts, p1.posts);
      // Rows made on the loader's threads add their units divided by the load's speedup, each
      // builder's fraction rounded when it is done.
      const double rowUnits = r1.progress - loadUnits;
      const double speedup = LoadSpeedup(int64_t{s.elements.m_nSize} * m.m_arrDates.m_nSize);
      EXPECT_NEAR(r2.progress, made.made ? loadUnits + rowUnits / speedup : loadUnits,
                  static_cast<double>(s.elements.m_nSize) * m.m_arrDates.m_nSize);
      // Groups in date order (none, weekly, monthly, yearly) always end in their own order.
      if (avg == AVG_NONE || avg == AVG_WEEKLY || avg == AVG_MONTHLY || avg == AVG_YEARLY) { EXPECT_TRUE(made.made); }
      if (!made.made) continue;
      CDBRecordset during;
      for (size_t e = 0; e < made.rows.size(); ++e) {
        if (made.rows[e]) { ASSERT_TRUE(during.TakeAll(*made.rows[e])); }
      }
      ASSERT_GT(after.m_nSize, 0);
      ASSERT_EQ(during.m_nSize, after.m_nSize);
      for (int i = 0; i < after.m_nSize; ++i) {
        const CDBRecord& a = *after.m_pData[i];
        const CDBRecord& b = *during.m_pData[i];
        ASSERT_EQ(a.element, b.element) << i;
        ASSERT_EQ(a.rawFlag, b.rawFlag) << i;
        ASSERT_TRUE(std::equal(a.word, a.word + RW_COUNT, b.word)) << i;
      }
      for (CElementData* d : streamed->m_items)
        for (int i = 0; d != nullptr && i < m.m_arrDates.m_nSize; ++i) EXPECT_EQ(d->Day(i), nullptr) << i;
    }
  }
}
}  // namespace

namespace {
// A month of 1994 days copied from the archive's five days, with some days missing and some cut
// short (their files refuse to open): days that fail are spread over whichever helper reads them.
class SeveralReaders : public ArchiveFixture {
 protected:
  void SetUp() override {
    ArchiveFixture::SetUp();
    std::vector<std::string> sources;
    for (const SampleDayInfo& d : days_) {
      const std::string file = Root() + CDateTimeEx(d.year, d.month, d.day).Format("DATA1994/%Y%m%d.DAT");
      if (d.year == 1994 && std::filesystem::exists(file)) sources.push_back(file);
    }
    ASSERT_FALSE(sources.empty());
    sources_ = sources;
    std::filesystem::create_directories(month_.path() + "/DATA1994");
    for (int d = 1; d <= 30; ++d) {
      const CDateTimeEx day(1994, 3, d);
      dates_.Add(day);
      if (d % 7 == 3) continue;  // missing
      const std::string to = month_.path() + day.Format("/DATA1994/%Y%m%d.DAT");
      CopyDay(sources[static_cast<size_t>(d) % sources.size()], to);
      if (d % 5 == 1) std::filesystem::resize_file(to, std::filesystem::file_size(to) - 1);
    }
    g_DataRootPath.Set((month_.path() + "/").c_str());
    AddSampleElements(selection_, 1994, 8);
  }
  void TearDown() override { CDecodePool::LimitThreads(0); }

  // A day file, with the .NTS that holds the name list of an EXPAND day.
  static void CopyDay(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to);
    const std::string nts = from.substr(0, from.size() - 4) + ".NTS";
    if (std::filesystem::exists(nts)) std::filesystem::copy_file(nts, to.substr(0, to.size() - 4) + ".NTS");
  }

  // Day i of element e read alone on this thread, as its raw listing; for element 0 also the
  // day's posts and progress units (by the layout of its file, or of the last one opened before).
  std::string OneReaderDay(int e, int i, RecordingPoster& posts) {
    const CDBElementEx& element = *selection_.elements.m_pData[e];
    CFMDBInput input;
    CFileException record(CFileException::none, -1);
    const bool opened = input.Open(*dates_.m_pData[i], &record);
    if (e == 0) {
      if (opened) fine_ = input.m_Database.m_nColumns != 288;
      (fine_ ? fineDays_ : fiveMinuteDays_) += selection_.elements.m_nSize;
    }
    if (!opened) {
      if (e == 0) {
        posts.Post(504, DayPayload(*dates_.m_pData[i]));
        posts.Post(502, record.m_lOsError);
      }
      return "none";
    }
    CStream bytes;
    const std::string key = std::string(element.cabinet->id) + ":" + element.name;
    const int columns = static_cast<int>(input.m_Database.m_nColumns);
    if (input.m_Database.ReadColumns(bytes, key.c_str(), 0, columns) != 0) return "none";
    std::unique_ptr<CElementData> data(CreateElementData(element.type, 1, selection_.elements.m_pData[e], e));
    data->Day(0)->Load(bytes.m_pData, bytes.m_nSize, columns);
    return Listing(data->Day(0));
  }
  static std::string Listing(const CElementDay* day) {
    if (day == nullptr || !day->dataAvailable) return "none";
    CText text;
    day->WriteRawListing(text, 0);
    return text.m_nSize > 0 ? std::string(text.m_pData, static_cast<size_t>(text.m_nSize - 1)) : std::string();
  }

  // The units of the element-days OneReaderDay went through, in a load of all the days.
  uint64_t Units() const {
    const int64_t all = int64_t{selection_.elements.m_nSize} * dates_.m_nSize;
    return LoadUnits(fiveMinuteDays_, all) + LoadUnits(fineDays_, all, true);
  }

  AppTempFolder month_;
  std::vector<std::string> sources_;
  bool fine_ = false;
  int64_t fiveMinuteDays_ = 0, fineDays_ = 0;  // element-days by layout
  CObjArray<CDateTimeEx> dates_;
  Selection selection_;
};

TEST_F(SeveralReaders, EveryElementDayAndEveryPostAreThoseOfOneReader) {
  RecordingPoster expected;
  expected.Post(500, 0);
  std::vector<std::vector<std::string>> alone(static_cast<size_t>(selection_.elements.m_nSize));
  for (int i = 0; i < dates_.m_nSize; ++i)
    for (int e = 0; e < selection_.elements.m_nSize; ++e) alone[static_cast<size_t>(e)].push_back(OneReaderDay(e, i, expected));
  expected.Post(503, 0);
  for (int helpers : {1, 2, 7}) {
    SCOPED_TRACE(helpers);
    CDecodePool::LimitThreads(helpers);
    for (int repeat = 0; repeat < 5; ++repeat) {
      RecordingPoster poster;
      StopAfter run(1 << 30);
      auto set = LoadElementData(selection_.elements, dates_, poster, run);
      ASSERT_NE(set, nullptr);
      EXPECT_EQ(poster.posts, expected.posts);
      EXPECT_EQ(run.progress.load(), Units());
      // The days that failed are named as days without data, in date order.
      std::vector<std::string> failed;
      for (const auto& p : expected.posts)
        if (p.first == 504) failed.push_back(CDateTimeEx(static_cast<double>(p.second)).Format("%m/%d/%Y"));
      EXPECT_EQ(set->m_count.missingDays, failed);
      EXPECT_EQ(set->m_count.missingDayCount, static_cast<int64_t>(failed.size()));
      for (int e = 0; e < set->Count(); ++e)
        for (int i = 0; i < dates_.m_nSize; ++i)
          ASSERT_EQ(Listing(set->At(e)->Day(i)), alone[static_cast<size_t>(e)][static_cast<size_t>(i)]) << e << " " << i;
    }
  }
}

// The disc requests of a load: their texts, whether each came on the loader's thread, and what
// answering puts in place (a request's text -> the day file to copy, and where).
struct SDiscRequests {
  std::thread::id loader;
  std::vector<std::string> texts;
  bool elsewhere = false;
  std::map<std::string, std::pair<std::string, std::string>> files;
};
SDiscRequests* g_requests = nullptr;

TEST_F(SeveralReaders, AMissingDayIsAskedForInDateOrderOnTheLoadersThread) {
  SDiscRequests requests;
  requests.loader = std::this_thread::get_id();
  std::vector<std::string> expected;
  for (int d = 1; d <= 30; ++d)
    if (d % 7 == 3) {
      const std::string text = "Please insert CD with 3/" + std::to_string(d) + "/1994 data\nLoading Input Data...";
      expected.push_back(text);
      requests.files[text] = {sources_[static_cast<size_t>(d) % sources_.size()],
                              month_.path() + CDateTimeEx(1994, 3, d).Format("/DATA1994/%Y%m%d.DAT")};
    }
  g_requests = &requests;
  // Answering OK puts the day's file in place, as a disc put in the drive would.
  SetDiscPromptSender([](uintptr_t, UINT, uintptr_t text, intptr_t) -> intptr_t {
    SDiscRequests& r = *g_requests;
    r.texts.emplace_back(reinterpret_cast<const char*>(text));
    r.elsewhere = r.elsewhere || std::this_thread::get_id() != r.loader;
    const auto it = r.files.find(r.texts.back());
    if (it == r.files.end()) return IDCANCEL;
    SeveralReaders::CopyDay(it->second.first, it->second.second);
    return IDOK;
  });
  g_hPromptWnd = 1;
  struct Reset {
    ~Reset() {
      g_hPromptWnd = 0;
      SetDiscPromptSender(nullptr);
      g_requests = nullptr;
    }
  } reset;
  CDecodePool::LimitThreads(7);
  RecordingPoster poster;
  StopAfter run(1 << 30);
  auto set = LoadElementData(selection_.elements, dates_, poster, run);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(requests.texts, expected);
  EXPECT_FALSE(requests.elsewhere);
  // Every day as one reader reads it now that the files are there.
  g_hPromptWnd = 0;
  RecordingPoster alone;
  alone.Post(500, 0);
  for (int i = 0; i < dates_.m_nSize; ++i)
    for (int e = 0; e < selection_.elements.m_nSize; ++e)
      ASSERT_EQ(Listing(set->At(e)->Day(i)), OneReaderDay(e, i, alone)) << e << " " << i;
  alone.Post(503, 0);
  EXPECT_EQ(poster.posts, alone.posts);
}

TEST_F(SeveralReaders, AStopInTheMiddleEndsAfterTheDayThatSawIt) {
  // The posts of the days up to the one after which the stop is seen, in date order, then 509
  // once; nothing is left over.
  CDecodePool::LimitThreads(7);
  for (int yes : {0, 4, 11, 28}) {
    SCOPED_TRACE(yes);
    RecordingPoster poster;
    StopAfter run(yes);
    EXPECT_EQ(LoadElementData(selection_.elements, dates_, poster, run), nullptr);
    RecordingPoster expected;
    expected.Post(500, 0);
    fine_ = false;
    fiveMinuteDays_ = fineDays_ = 0;
    for (int i = 0; i <= yes; ++i) OneReaderDay(0, i, expected);
    expected.Post(509, 0);
    EXPECT_EQ(poster.posts, expected.posts);
    EXPECT_EQ(run.progress.load(), Units());
  }
}
}  // namespace

namespace {
// The address and thread sanitizers' shadow memory takes the address space: a limit on it would
// stop them, not the program.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QAV_SANITIZED_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QAV_SANITIZED_ADDRESS_SPACE 1
#endif
#endif
#ifndef QAV_SANITIZED_ADDRESS_SPACE
#define QAV_SANITIZED_ADDRESS_SPACE 0
#endif

// Where a child process runs out of memory. With a sanitizer through the allocator's test hooks: every allocation of the child's threads
// fails after `allocations`, or every one larger than `largest` bytes (negative: no limit).
// Without it the address space stops `bytes` above what the child uses.
struct SShortage {
  long allocations = -1, largest = -1;
  size_t bytes = 0;
};

// Runs `work` in a child process that runs out of memory as `shortage` says, then `judge` with
// memory again, whose result is the child's exit code. Returns that code, or minus the signal that
// ended the child.
template <class Work, class Judge>
int InChildOutOfMemory(Work work, Judge judge, const SShortage& shortage) {
  const pid_t child = fork();
  if (child == 0) {
#if QAV_SANITIZED_ADDRESS_SPACE
    CScalarMemMgr::SetProcessFailAfter(shortage.allocations);
    CScalarMemMgr::SetProcessFailAbove(shortage.largest);
    work();
    CScalarMemMgr::SetProcessFailAfter(-1);
    CScalarMemMgr::SetProcessFailAbove(-1);
#else
    // What the process holds but does not use goes back first, so that the limit is near.
    CBlockArena::FreeSpares();
    malloc_trim(0);
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    rlimit before{};
    getrlimit(RLIMIT_AS, &before);
    rlimit r = before;
    r.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + shortage.bytes;
    setrlimit(RLIMIT_AS, &r);
    work();
    setrlimit(RLIMIT_AS, &before);
#endif
    _exit(judge());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// One view's run as its worker runs it, over the loader: what the loader and the run posted, in
// order (a 502 with its error number), and the report files left in `folder`.
class CViewRun : public ClassicRunPort, public IWorkerPoster, public IReportFileStatus {
 public:
  // Everything both runs take is made here, before memory runs short.
  CViewRun(const CAdrArray<CDBElementEx>& elements, const CAdrArray<CDateTimeEx>& days, std::string folder)
      : m_folder(std::move(folder)) {
    posts.reserve(100000);
    for (int i = 0; i < days.m_nSize; ++i) m_sel.dates.Add(*days.m_pData[i]);
    for (int i = 0; i < elements.m_nSize; ++i) m_sel.elements.Add(*elements.m_pData[i]);
    // The Classic view's run: its raw listing of whole days and its multi-day summaries.
    m_snap.rawOn = m_snap.mdsOn = 1;
    for (int f : {CF_RAW, CF_MDS}) m_snap.folder[f] = m_folder + "/";
    m_snap.name[CF_RAW] = "R.DAT";
    m_snap.name[CF_MDS] = "R.MDS";
    for (int i = 0; i < m_sel.dates.m_nSize; ++i) {
      m_snap.rawDates.push_back(m_sel.dates.m_pData[i]);
      m_snap.settings.multiDates.push_back(m_sel.dates.m_pData[i]);
    }
    m_snap.settings.months = {2};
    // The New view's run of every content item per day.
    CNewReportModel& m = m_model;
    for (int i = 0; i < m_sel.dates.m_nSize; ++i) m.m_arrDates.Add(*m_sel.dates.m_pData[i]);
    m.m_nDates = m.m_arrDates.m_nSize;
    m.m_arrRoadways.Add(CDBRoadway("I-5"));
    for (int i = 0; i < m_sel.elements.m_nSize; ++i) {
      const CDBElementEx& e = *m_sel.elements.m_pData[i];
      CDBCabinet cabinet(*e.cabinet);
      cabinet.roadway = m.m_arrRoadways.m_pData[0];
      const int c = m.m_arrCabinets.Add(cabinet);
      m.m_arrElements.Add(CDBElementEx(e.name, e.type, m.m_arrCabinets.m_pData[c]));
    }
    m.m_nElements = m.m_arrElements.m_nSize;
    m.m_nAvgMethod = AVG_NONE;
    m.m_nReportType = RT_NORMAL;
    m.m_nPeriodLen = 15;
    for (int c = 0; c < CONTENT_ITEMS; ++c) m.m_bContent[c] = 1;
    m.m_strOutputPath = m_folder + "/r.txt";
    m.GroupSelectedDates();
    m.CountElementsPerKind();
    m.CountContentPerKind();
    m.PeriodsPerDay();
    m_host.run = &m_newFlags;
    m_host.fileStatus = this;
    m_host.post = [this](UINT id) { Post(id, 0); };
    m_host.load = [this](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
      if (AdoptLoadedData(LoadElementData(m_model.m_arrElements, m_model.m_arrDates, *this, m_newFlags, nullptr, rows),
                          data))
        return true;
      m_newFlags.cancel();
      return false;
    };
  }
  // As the views' workers: memory that runs out outside the loader ends the run with its line.
  void Classic() {
    m_run = &m_classicFlags;
    try {
      CClassicRun run(m_snap, *this, m_classicFlags);
      run.Run();
    } catch (const std::bad_alloc&) {
      Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY));
    }
  }
  void New() {
    try {
      CNewReportRun run(m_model, m_host, m_file);
      run.Run();
    } catch (const std::bad_alloc&) {
      Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY));
      m_newFlags.cancel();
    }
  }
  // The names and sizes of the files written.
  std::vector<std::pair<std::string, uintmax_t>> Reports() const {
    std::vector<std::pair<std::string, uintmax_t>> files;
    for (const auto& f : std::filesystem::directory_iterator(m_folder))
      files.emplace_back(f.path().filename().string(), f.file_size());
    std::sort(files.begin(), files.end());
    return files;
  }

  bool Load(int, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    return LoadClassicSelection(m_sel, *this, *m_run, out, summariesOnly);
  }
  void Post(const ClassicPost& p) override { Post(static_cast<UINT>(p.id), static_cast<LPARAM>(p.number)); }
  void SetWaitCursor(bool) override {}
  void Post(UINT id, LPARAM payload) override { posts.emplace_back(id, payload); }
  void PostWin32Error(DWORD error) override { Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(error)); }
  void PostOutFileError(const std::string&) override { Post(513, 0); }
  void PostOutputTo(const std::string&) override { Post(514, 0); }
  void PostWriteFailure(const std::string&, DWORD error, EDiscarded) override { Post(523, static_cast<LPARAM>(error)); }

  std::vector<std::pair<UINT, LPARAM>> posts;

 private:
  std::string m_folder;
  CClassicSelection m_sel;
  RunControl* m_run = nullptr;
  ClassicRunSnapshot m_snap;
  CClassicRunFlags m_classicFlags;
  CNewReportModel m_model;
  CRunFlags m_newFlags;
  SNewRunHost m_host;
  CStdioFile m_file;
};

// How a piece of work that may run out of memory ended: 2 as with memory enough (`returned` what
// it returns with memory enough, `asWhole`, after the same posts), 1 refused (the not-enough-memory
// line last, 502 or, for a report whose writing it ended, 523; a Classic run goes on after a
// report it took away, so 523s may come before; nothing returned or written), 3 anything else
// (data with element-days missing, a report, a line too many).
int Outcome(bool returned, bool asWhole, bool written, const std::vector<std::pair<UINT, LPARAM>>& posts,
            const std::vector<std::pair<UINT, LPARAM>>& whole) {
  if (returned) return asWhole && posts == whole ? 2 : 3;
  auto outOfMemory = [](const std::pair<UINT, LPARAM>& p) { return p == Post(502, 8) || p == Post(523, 8); };
  if (posts.empty() || !outOfMemory(posts.back()) || written) return 3;
  return std::count(posts.begin(), posts.end() - 1, Post(502, 8)) == 0 ? 1 : 3;
}

TEST_F(SeveralReaders, ALoadOrASortThatDoesNotFitEndsWithTheNotEnoughMemoryError) {
  // Loads of the month of the Classic view's kinds (whole days, or only their summaries) and the
  // New view's (rows made while loading); the New view's sort of many rows; and the month through
  // each view's run. Each in a child that runs out of memory at several points, more than once, as
  // where it runs out decides what fails.
#if QAV_SANITIZED_ADDRESS_SPACE
  // The first shortage leaves room for nothing.
  constexpr bool kFirstFitsNothing = true;
  constexpr int kSortRows = 200000, kTries = 2;
  const SShortage shortages[] = {{2, -1}, {2000, -1}, {20000, -1}, {-1, 4096}, {-1, 1 << 16}, {-1, 1 << 20}};
#else
  // Address space the allocator has reserved but not used counts as taken: the month may fit in
  // it, the sort must need more than that.
  constexpr bool kFirstFitsNothing = false;
  constexpr int kSortRows = 4000000, kTries = 3;
  const SShortage shortages[] = {{-1, -1, 1 << 20}, {-1, -1, 8 << 20}, {-1, -1, 24 << 20}, {-1, -1, 96 << 20}};
#endif
  CNewReportModel model;
  for (int i = 0; i < dates_.m_nSize; ++i) model.m_arrDates.Add(*dates_.m_pData[i]);
  model.m_nAvgMethod = AVG_NONE;
  model.m_nReportType = RT_NORMAL;
  model.m_nPeriodLen = 15;
  for (int c = 0; c < CONTENT_ITEMS; ++c) model.m_bContent[c] = 1;
  model.GroupSelectedDates();
  NewSettings settings;
  model.FillNewSettings(settings);
  ValidityTables criteria{};
  RecordingPoster poster;
  int64_t withData = -1;  // the element-days with data that the load returned
  auto load = [&](int kind) {
    StopAfter run(1 << 30);
    SRowsWhileLoading rows;
    rows.settings = &settings;
    auto set = LoadElementData(selection_.elements, dates_, poster, run, kind == 1 ? &criteria : nullptr,
                               kind == 2 ? &rows : nullptr);
    withData = set != nullptr ? set->m_count.withData : -1;
  };
  std::vector<CDBRecord> records;
  for (int i = 0; i < kSortRows; ++i) {
    const int value = static_cast<int>(static_cast<int64_t>(i) * 7919 % 1000);
    records.emplace_back(nullptr, i, 2003, 1, 1, 0, 0, 0, value, 1, 0, i);
  }
  std::vector<CDBRecord*> rows;
  for (CDBRecord& r : records) rows.push_back(&r);
  ESortResult sorted = ESortResult::Sorted;
  auto sort = [&] {
    CGrpType key(GK_CONTENT);
    const CGrpType* keys[] = {&key};
    CRecordOrder order(keys, 1);
    CSortKeyScope scope(order);
    uint32_t merges = 0;
    sorted = SortRecords(rows.data(), 0, kSortRows - 1, &merges);
  };
  // The views' runs write into a folder of their own, emptied before each.
  AppTempFolder out;
  std::unique_ptr<CViewRun> view;
  auto viewRun = [&](int kind) {
    if (kind == 4) view->Classic();
    else view->New();
  };
  // Each kind's work and its outcome as it ends with memory enough.
  std::vector<std::pair<UINT, LPARAM>> whole[6];
  std::vector<std::pair<std::string, uintmax_t>> wholeReports[6];
  int64_t wholeWithData[6] = {};
  auto prepare = [&](int kind) {
    poster.posts.clear();
    poster.posts.reserve(100000);
    withData = -1;
    sorted = ESortResult::Sorted;
    std::filesystem::remove_all(out.path());
    std::filesystem::create_directories(out.path());
    view = std::make_unique<CViewRun>(selection_.elements, dates_, out.path());
    (void)kind;
  };
  auto work = [&](int kind) {
    if (kind == 3) sort();
    else if (kind >= 4) viewRun(kind);
    else load(kind);
  };
  // 2 as with memory enough, 1 refused with the not-enough-memory line, 3 anything else.
  auto judge = [&](int kind) {
    if (kind == 3) return sorted == ESortResult::NoMemory ? 1 : sorted == ESortResult::Sorted ? 2 : 3;
    const std::vector<std::pair<UINT, LPARAM>>& posts = kind >= 4 ? view->posts : poster.posts;
    const auto reports = view->Reports();
    const int outcome = kind >= 4 ? Outcome(!reports.empty(), reports == wholeReports[kind], !reports.empty(), posts, whole[kind])
                                  : Outcome(withData >= 0, withData == wholeWithData[kind], false, posts, whole[kind]);
    if (outcome == 3) {
      for (const auto& p : posts) std::fprintf(stderr, " %u:%ld", p.first, static_cast<long>(p.second));
      for (const auto& r : reports) std::fprintf(stderr, " %s", r.first.c_str());
      std::fprintf(stderr, "\n");
    }
    return outcome;
  };
  CDecodePool::LimitThreads(4);
  // What a program has made long before it runs out (the wait service of its threads), and what
  // each piece of work does with memory enough (the sort's is Sorted).
  for (int kind : {0, 1, 2, 4, 5}) {
    prepare(kind);
    work(kind);
    ASSERT_TRUE(withData > 0 || kind >= 4);
    wholeWithData[kind] = withData;
    whole[kind] = kind >= 4 ? view->posts : poster.posts;
    wholeReports[kind] = view->Reports();
    ASSERT_EQ(wholeReports[kind].empty(), kind < 4);
  }
  // Loads (whole days, summaries, rows), the sort, the Classic view's run, the New view's run.
  for (int kind : {0, 1, 2, 3, 4, 5}) {
    for (const SShortage& shortage : shortages) {
      for (int t = 0; t < kTries; ++t) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << ", shortage " << shortage.allocations << " "
                                        << shortage.largest << " " << shortage.bytes << ", try " << t);
        prepare(kind);
        const int code = InChildOutOfMemory([&] { work(kind); }, [&] { return judge(kind); }, shortage);
        // It never ends the program, never returns part of the data, never ends without its line.
        EXPECT_TRUE(code == 1 || (code == 2 && !(kFirstFitsNothing && &shortage == &shortages[0]))) << code;
      }
    }
  }
}
}  // namespace
