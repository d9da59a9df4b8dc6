// The wait dialog over a whole run of each view on a generated archive of five-minute or of
// 20-second days: a watcher thread samples the run's progress counter and the range the view gives
// the bar, and the samples are replayed through the dialog's estimator at its 500 ms ticks. The bar
// must follow the time spent (the run's range and the units its loader and writers add agree, and
// weigh each piece of work by its time on either layout), and the time left must be within a
// factor of two of the truth once a fifth of the run has passed. Other programs busy on a shared
// machine can upset a run's pace, so a run is tried up to three times.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <memory>
#include <thread>

#include "app/classic/classic_go.h"
#include "app/classic/classic_run.h"
#include "app/classic/classic_state.h"
#include "app/classic/validity_settings.h"
#include "app/newview/new_run.h"
#include "app/shell/app_test_env.h"
#include "app/shell/decode_pool.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "support/wait_estimator.h"
#include "trafficdata/element_data.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the dialog reads of a run: the progress counter and the range the view gives the bar.
struct Reading {
  uint64_t progress;
  int64_t range;
};

struct Sample {
  double ms;
  Reading reading;
};

// Runs `run` while a watcher reads the run every 20 ms; the samples and the run's length.
std::vector<Sample> TraceRun(const std::function<Reading()>& read, const std::function<void()>& run,
                             double& totalMs) {
  std::vector<Sample> samples;
  std::atomic<bool> done{false};
  const auto start = Clock::now();
  auto ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
  std::thread watcher([&] {
    while (!done.load()) {
      samples.push_back({ms(), read()});
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  run();
  totalMs = ms();
  done.store(true);
  watcher.join();
  return samples;
}

// Replays the samples through the estimator as the dialog's timer would see them; "" when the bar
// and the time left hold, else what went wrong.
std::string CheckTrace(const std::vector<Sample>& samples, double totalMs, int64_t divisor) {
  CWaitEstimator estimator;
  size_t next = 0;
  Reading reading{0, samples.empty() ? 0 : samples.front().reading.range};
  std::string failure;
  for (double t = 500; t < totalMs; t += 500) {
    while (next < samples.size() && samples[next].ms <= t) reading = samples[next++].reading;
    const int64_t range = reading.range;
    if (range <= 0) return "no range";
    const int position =
        static_cast<int>(std::min<uint64_t>(reading.progress / static_cast<uint64_t>(divisor), INT_MAX));
    estimator.OnTick(static_cast<DWORD>(t), position, static_cast<int>(range));
    const double bar = std::min(1.0, static_cast<double>(position) / static_cast<double>(range));
    // The display counts whole seconds and the last ticks have little left: a second and a half
    // of slack on either side. The first tick only starts the estimator's clock.
    const double truth = totalMs - t, shown = estimator.Countdown();
    const bool barStrays = std::fabs(bar - t / totalMs) > 0.25;
    const bool timeOff = estimator.Shown() && t >= std::max(0.2 * totalMs, 1000.0) &&
                         (shown > 2 * truth + 1500 || truth > 2 * shown + 1500);
    if (failure.empty() && (barStrays || timeOff))
      failure = "at " + std::to_string(t) + " ms of " + std::to_string(totalMs) + ": bar " + std::to_string(bar) +
                ", time left shown " + std::to_string(shown) + " ms";
  }
  return failure;
}

// Runs `run` (which resets its counter) until a trace holds, at most three times.
void ExpectTraceHolds(const std::function<Reading()>& read, const std::function<void()>& run, int64_t divisor) {
  std::string failure;
  for (int attempt = 0; attempt < 3; ++attempt) {
    double total = 0;
    const std::vector<Sample> samples = TraceRun(read, run, total);
    failure = CheckTrace(samples, total, divisor);
    // At the end the counter fills the range: the run added exactly the units its range counts.
    const Reading end = read();
    EXPECT_EQ(static_cast<int64_t>(end.progress / static_cast<uint64_t>(divisor)), end.range);
    if (failure.empty()) return;
  }
  ADD_FAILURE() << failure;
}

// The archive of a run.
struct ArchiveCase {
  const char* name;
  bool fine;    // every day in the 20-second layout (fifteen times the records of a five-minute day)
  int days;     // days written; the raw listing runs over all of them
  int runDays;  // days of the other runs
};

class RunProgressTest : public ::testing::TestWithParam<ArchiveCase> {
 protected:
  static void TearDownTestSuite() {
    for (Archive& a : archives_) a = Archive();
  }
  // One decoding helper, as on a machine whose other cores are busy: how much of the loading and
  // row making runs beside the reader then does not depend on the cores free at the moment.
  void SetUp() override {
    Archive& a = archives_[GetParam().fine ? 1 : 0];
    if (!a.folder) {
      a.folder = std::make_unique<AppTempFolder>();
      SampleArchiveOptions o;
      o.root = a.folder->path() + "/";
      o.years = {1994};
      o.elements = kElements;
      o.days = GetParam().days;
      o.uniformDays = true;
      o.fineDays = GetParam().fine;
      std::string message;
      ASSERT_EQ(WriteSampleArchive(o, &message, &a.days), 0) << message;
    }
    archive_ = &a;
    g_DataRootPath.Set((Folder() + "/").c_str());
    CDecodePool::LimitThreads(1);
  }
  void TearDown() override { CDecodePool::LimitThreads(0); }

  const std::string& Folder() const { return archive_->folder->path(); }

  // The first `days` days of the year and its loops, stations and speed traps (the kinds both views
  // load).
  template <class Selection>
  void Select(Selection& dates, CObjArray<CDBCabinet>& cabinets, CObjArray<CDBElementEx>& elements, int days) {
    for (const SampleDayInfo& d : archive_->days)
      if (d.written && dates.m_nSize < days) dates.Add(CDateTimeEx(d.year, d.month, d.day));
    static const int types[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
    for (const SampleElement& e : SampleElements(1994, kElements)) {
      if (e.kind == 3) continue;
      const size_t colon = e.key.find(':');
      int k = cabinets.Add(CDBCabinet(e.key.substr(0, colon).c_str(), "", 100, "Here", nullptr));
      elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), types[e.kind], cabinets.m_pData[k]));
    }
  }

  // Runs the Classic worker on the selections and checks its trace against the range the view
  // gives the bar: the run's two estimates, moved between by the layouts of the days read.
  void ExpectClassicRunHolds(const GoInput& in, const ClassicRunSnapshot& snap, CClassicSelection* sel);
  // Runs the New view's worker over the model's dates, elements, contents, period, form and
  // structure, and checks its trace against the range the view gives the bar, grown by what the
  // run adds to it.
  void ExpectNewViewRunHolds(CNewReportModel& m);

  struct Archive {
    std::unique_ptr<AppTempFolder> folder;
    std::vector<SampleDayInfo> days;
  };
  static constexpr int kElements = 96;
  static Archive archives_[2];  // five-minute, 20-second
  Archive* archive_ = nullptr;
};

RunProgressTest::Archive RunProgressTest::archives_[2];

class NullPoster : public IWorkerPoster {
 public:
  void Post(UINT, LPARAM) override {}
};

// The Classic worker with the common loader and nothing else of the view.
class LoaderPort : public ClassicRunPort {
 public:
  LoaderPort(CClassicSelection* sel, RunControl& run) : sel_(sel), run_(run) {}
  bool Load(int block, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    return LoadClassicSelection(sel_[block], poster_, run_, out, summariesOnly);
  }
  void Post(const ClassicPost&) override {}
  void SetWaitCursor(bool) override {}

 private:
  CClassicSelection* sel_;
  RunControl& run_;
  NullPoster poster_;
};

void RunProgressTest::ExpectClassicRunHolds(const GoInput& in, const ClassicRunSnapshot& snap,
                                            CClassicSelection* sel) {
  GoPlan plan;
  ASSERT_EQ(CheckGo(in, plan), "");
  CClassicRunFlags flags;
  LoaderPort port(sel, flags);
  const int64_t divisor = CWaitEstimator::ScaleDivisor(plan.estimateFine);
  const int64_t fiveMinute = plan.estimate / divisor, fine = plan.estimateFine / divisor;
  ExpectTraceHolds([&] { return Reading{flags.progress.load(), flags.layouts.range(fiveMinute, fine)}; },
                   [&] {
                     flags.progress.store(0);
                     flags.layouts.reset();
                     flags.keepGoingFlag.store(true);
                     CClassicRun run(snap, port, flags);
                     run.Run();
                   },
                   divisor);
}

// A Classic run's snapshot with its report files under `folder`.
ClassicRunSnapshot ClassicSnapshot(const std::string& folder) {
  ClassicRunSnapshot snap;
  for (int f = 0; f < CF_COUNT; ++f) {
    snap.folder[f] = folder + "/out/";
    snap.name[f] = "REPORT" + std::to_string(f);
  }
  return snap;
}

TEST_P(RunProgressTest, ClassicRawSingleAndMultiDayRun) {
  CClassicSelection sel[CB_COUNT];
  for (CClassicSelection& s : sel) Select(s.dates, s.cabinets, s.elements, GetParam().runDays);
  const int64_t e = sel[CB_SINGLE].elements.m_nSize, d = sel[CB_SINGLE].dates.m_nSize;
  // Raw listing from the single-day selection, both single-day tables, monthly day-of-week tables
  // of January for every weekday.
  GoInput in;
  in.rawOn = in.sdsOn = in.mdsOn = 1;
  in.rawName = in.sdsName = in.mdsName = "REPORT";
  in.rawSource = 1;
  in.min15 = in.daily = in.monthlyDow = true;
  in.mdsYear = 1994;
  in.raw = in.sds = in.mds = {d, e};
  in.monthSel = {0};
  in.monthlyDowSel = {0, 1, 2, 3, 4, 5, 6};
  for (int m = 1; m < 12; ++m) in.monthNa[m] = true;

  ClassicRunSnapshot snap = ClassicSnapshot(Folder());
  snap.rawOn = snap.sdsOn = snap.mdsOn = 1;
  snap.rawSource = 1;
  ClassicSettings& c = snap.settings;
  c.with15Min = c.withDaily = true;
  for (int i = 0; i < d; ++i) {
    c.singleDates.push_back(sel[CB_SINGLE].dates.m_pData[i]);
    c.multiDates.push_back(sel[CB_MULTI].dates.m_pData[i]);
  }
  c.months = {0};
  c.monthlyWeekdays = in.monthlyDowSel;
  c.criteria = ToValidityTables(g_PeriodValidity);
  ExpectClassicRunHolds(in, snap, sel);
}

// The raw listing from its own selection: the run whose load weighs most beside its writing. It
// runs over all days, long enough that its load spans several ticks past the first fifth.
TEST_P(RunProgressTest, ClassicRawListingRun) {
  CClassicSelection sel[CB_COUNT];
  Select(sel[CB_RAW].dates, sel[CB_RAW].cabinets, sel[CB_RAW].elements, GetParam().days);
  GoInput in;
  in.rawOn = 1;
  in.rawName = "REPORT";
  in.raw = {sel[CB_RAW].dates.m_nSize, sel[CB_RAW].elements.m_nSize};
  ClassicRunSnapshot snap = ClassicSnapshot(Folder());
  snap.rawOn = 1;
  for (int i = 0; i < sel[CB_RAW].dates.m_nSize; ++i) snap.rawDates.push_back(sel[CB_RAW].dates.m_pData[i]);
  ExpectClassicRunHolds(in, snap, sel);
}

void RunProgressTest::ExpectNewViewRunHolds(CNewReportModel& m) {
  m.m_arrRoadways.Add(CDBRoadway("I-5"));
  m.m_strOutputPath = Folder() + "/out/report.txt";
  m.m_nDates = m.m_arrDates.m_nSize;
  m.m_nElements = m.m_arrElements.m_nSize;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.PeriodsPerDay();
  m.CountContentPerKind();
  m.RecomputeReportLayout();
  ASSERT_EQ(PreRunFailure(m), nullptr);

  CRunFlags flags;
  struct : IReportFileStatus {
    void PostWin32Error(DWORD) override {}
    void PostOutFileError(const std::string&) override {}
    void PostOutputTo(const std::string&) override {}
  } status;
  NullPoster poster;
  SNewRunHost host;
  host.run = &flags;
  host.fileStatus = &status;
  host.post = [](UINT) {};
  // Rows made while loading, as the view's run does.
  host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
    return AdoptLoadedData(LoadElementData(m.m_arrElements, m.m_arrDates, poster, flags, nullptr, rows), data);
  };
  CStdioFile file;
  const int64_t fiveMinute = RunProgressRange(m), fine = RunProgressRange(m, true);
  ExpectTraceHolds(
      [&] { return Reading{flags.progress.load(), flags.layouts.range(fiveMinute, fine) + flags.rangeAdded.load()}; },
      [&] {
        flags.progress.store(0);
        flags.layouts.reset();
        flags.rangeAdded.store(0);
        flags.keepGoingFlag.store(1);
        CNewReportRun run(m, host, file);
        run.Run();
      },
      1);
}

TEST_P(RunProgressTest, NewViewFifteenMinuteVolumeAndOccupancyRun) {
  CNewReportModel m;
  Select(m.m_arrDates, m.m_arrCabinets, m.m_arrElements, GetParam().runDays);
  m.m_bContent[CC_VOLUME] = m.m_bContent[CC_OCCUPANCY] = 1;
  m.m_nPeriodLen = 45;  // 15 minutes in 20-second units
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
  m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
  ExpectNewViewRunHolds(m);
}

// A large report: the volume of every loop and station over all days at five minutes, one line
// per element, day and time in spreadsheet form, 829,440 rows. Sorting, writing and freeing the
// rows weigh most here, as in reports of many millions of rows; the rows lie in the order they
// were made. One run, over the five-minute days.
class RunProgressLargeTest : public RunProgressTest {};

TEST_P(RunProgressLargeTest, NewViewFiveMinuteListingOfManyRows) {
  CNewReportModel m;
  Select(m.m_arrDates, m.m_arrCabinets, m.m_arrElements, GetParam().days);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_nPeriodLen = 15;
  m.m_nOutFormat = 1;
  for (int key : {GK_ELEMENT, GK_DATE, GK_TIME}) m.MoveToList(key, m.m_lstRows, m.m_lstCols, nullptr);
  m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr);
  ExpectNewViewRunHolds(m);
}

// Under the sanitizers a run over the five-minute days takes a few seconds, the raw listing over
// the 20-second days about ten, the other runs over half of them about five.
std::string CaseName(const ::testing::TestParamInfo<ArchiveCase>& c) { return c.param.name; }
INSTANTIATE_TEST_SUITE_P(Data, RunProgressTest,
                         ::testing::Values(ArchiveCase{"FiveMinute", false, 60, 60},
                                           ArchiveCase{"TwentySecond", true, 96, 48}),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Data, RunProgressLargeTest, ::testing::Values(ArchiveCase{"FiveMinute", false, 60, 60}),
                         CaseName);

}  // namespace
