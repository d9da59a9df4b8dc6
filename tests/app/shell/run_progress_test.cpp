// The wait dialog over a whole run of each view on a generated archive: a watcher thread samples
// the run's progress counter, and the samples are replayed through the dialog's estimator at its
// 500 ms ticks. The bar must follow the time spent (the run's range and the units its loader and
// writers add agree, and weigh each piece of work by its time), and the time left must be within a
// factor of two of the truth once a fifth of the run has passed. Other programs busy on a shared
// machine can upset a run's pace, so a run is tried up to three times.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cmath>
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

struct Sample {
  double ms;
  uint64_t progress;
};

// Runs `run` while a watcher samples `progress` every 20 ms; the samples and the run's length.
std::vector<Sample> TraceRun(const std::function<uint64_t()>& progress, const std::function<void()>& run,
                             double& totalMs) {
  std::vector<Sample> samples;
  std::atomic<bool> done{false};
  const auto start = Clock::now();
  auto ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
  std::thread watcher([&] {
    while (!done.load()) {
      samples.push_back({ms(), progress()});
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
std::string CheckTrace(const std::vector<Sample>& samples, double totalMs, int64_t range, int64_t divisor) {
  if (range <= 0) return "no range";
  CWaitEstimator estimator;
  size_t next = 0;
  uint64_t progress = 0;
  std::string failure;
  for (double t = 500; t < totalMs; t += 500) {
    while (next < samples.size() && samples[next].ms <= t) progress = samples[next++].progress;
    const int position = static_cast<int>(std::min<uint64_t>(progress / static_cast<uint64_t>(divisor), INT_MAX));
    estimator.OnTick(static_cast<DWORD>(t), position, static_cast<int>(range));
    const double bar = std::min(1.0, static_cast<double>(position) / static_cast<double>(range));
    // The display counts whole seconds and the last ticks have little left: a second and a half
    // of slack on either side.
    const double truth = totalMs - t, shown = estimator.Countdown();
    const bool barStrays = std::fabs(bar - t / totalMs) > 0.25;
    const bool timeOff = t >= 0.2 * totalMs && (shown > 2 * truth + 1500 || truth > 2 * shown + 1500);
    if (failure.empty() && (barStrays || timeOff))
      failure = "at " + std::to_string(t) + " ms of " + std::to_string(totalMs) + ": bar " + std::to_string(bar) +
                ", time left shown " + std::to_string(shown) + " ms";
  }
  return failure;
}

// Runs `run` (which resets its counter) until a trace holds, at most three times.
void ExpectTraceHolds(const std::function<uint64_t()>& progress, const std::function<void()>& run, int64_t range,
                      int64_t divisor) {
  std::string failure;
  for (int attempt = 0; attempt < 3; ++attempt) {
    double total = 0;
    const std::vector<Sample> samples = TraceRun(progress, run, total);
    failure = CheckTrace(samples, total, range, divisor);
    if (failure.empty()) return;
  }
  ADD_FAILURE() << failure;
}

class RunProgressTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new AppTempFolder();
    SampleArchiveOptions o;
    o.root = folder_->path() + "/";
    o.years = {1994};
    o.elements = kElements;
    o.days = kDays;
    o.uniformDays = true;
    std::string message;
    ASSERT_EQ(WriteSampleArchive(o, &message, &days_), 0) << message;
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  // One decoding helper, as on a machine whose other cores are busy: how much of the loading and
  // row making runs beside the reader then does not depend on the cores free at the moment.
  void SetUp() override {
    g_DataRootPath.Set((folder_->path() + "/").c_str());
    CDecodePool::LimitThreads(1);
  }
  void TearDown() override { CDecodePool::LimitThreads(0); }

  // The year's days and its loops, stations and speed traps (the kinds both views load).
  template <class Selection>
  void Select(Selection& dates, CObjArray<CDBCabinet>& cabinets, CObjArray<CDBElementEx>& elements) {
    for (const SampleDayInfo& d : days_)
      if (d.written) dates.Add(CDateTimeEx(d.year, d.month, d.day));
    static const int types[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
    for (const SampleElement& e : SampleElements(1994, kElements)) {
      if (e.kind == 3) continue;
      const size_t colon = e.key.find(':');
      int k = cabinets.Add(CDBCabinet(e.key.substr(0, colon).c_str(), "", 100, "Here", nullptr));
      elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), types[e.kind], cabinets.m_pData[k]));
    }
  }

  static constexpr int kElements = 96, kDays = 60;
  static AppTempFolder* folder_;
  static std::vector<SampleDayInfo> days_;
};

AppTempFolder* RunProgressTest::folder_ = nullptr;
std::vector<SampleDayInfo> RunProgressTest::days_;

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

TEST_F(RunProgressTest, ClassicRawSingleAndMultiDayRun) {
  CClassicSelection sel[CB_COUNT];
  for (CClassicSelection& s : sel) Select(s.dates, s.cabinets, s.elements);
  const int64_t e = sel[CB_SINGLE].elements.m_nSize, d = sel[CB_SINGLE].dates.m_nSize;
  // Raw listing from the single-day selection, both single-day tables, monthly day-of-week tables
  // of January for every weekday.
  GoInput in;
  in.rawOn = in.sdsOn = in.mdsOn = 1;
  in.rawSource = 1;
  in.min15 = in.daily = in.monthlyDow = true;
  in.mdsYear = 1994;
  in.raw = in.sds = in.mds = {d, e};
  in.monthSel = {0};
  in.monthlyDowSel = {0, 1, 2, 3, 4, 5, 6};
  for (int m = 1; m < 12; ++m) in.monthNa[m] = true;
  GoPlan plan;
  ASSERT_EQ(CheckGo(in, plan), "");

  ClassicRunSnapshot snap;
  snap.rawOn = snap.sdsOn = snap.mdsOn = 1;
  snap.rawSource = 1;
  for (int f = 0; f < CF_COUNT; ++f) {
    snap.folder[f] = folder_->path() + "/out/";
    snap.name[f] = "REPORT" + std::to_string(f);
  }
  ClassicSettings& c = snap.settings;
  c.with15Min = c.withDaily = true;
  for (int i = 0; i < d; ++i) {
    c.singleDates.push_back(sel[CB_SINGLE].dates.m_pData[i]);
    c.multiDates.push_back(sel[CB_MULTI].dates.m_pData[i]);
  }
  c.months = plan.months;
  c.monthlyWeekdays = plan.monthlyDays;
  c.criteria = ToValidityTables(g_PeriodValidity);

  CClassicRunFlags flags;
  LoaderPort port(sel, flags);
  const int64_t divisor = WaitScaleDivisor(plan.estimate);
  ExpectTraceHolds([&] { return flags.progress.load(); },
                   [&] {
                     flags.progress.store(0);
                     flags.keepGoingFlag.store(true);
                     CClassicRun run(snap, port, flags);
                     run.Run();
                   },
                   plan.estimate / divisor, divisor);
}

TEST_F(RunProgressTest, NewViewFifteenMinuteVolumeAndOccupancyRun) {
  CNewReportModel m;
  Select(m.m_arrDates, m.m_arrCabinets, m.m_arrElements);
  m.m_arrRoadways.Add(CDBRoadway("I-5"));
  m.m_bContent[CC_VOLUME] = m.m_bContent[CC_OCCUPANCY] = 1;
  m.m_nPeriodLen = 45;  // 15 minutes in 20-second units
  m.m_strOutputPath = folder_->path() + "/out/report.txt";
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
  m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
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
  const int range = RunProgressRange(m);
  ExpectTraceHolds([&] { return static_cast<uint64_t>(flags.progress.load()); },
                   [&] {
                     flags.progress.store(0);
                     flags.keepGoingFlag.store(1);
                     CNewReportRun run(m, host, file);
                     run.Run();
                   },
                   range, 1);
}

}  // namespace
