// How the wait dialog follows large runs of both views. Each design runs once while a watcher reads
// the progress counter and the bar's range every 20 ms; the readings are replayed through the wait
// dialog's estimator at its 500 ms ticks, as the dialog would show them. Reported per run:
// - run_s: its length;
// - bar_off_pct: the largest distance of the bar from the elapsed fraction of the run; bar_lag_pct:
//   the most the bar was behind it;
// - shown_s, true_left_s: when the time left was first shown instead of "Estimating...", and the
//   true time left then;
// - left_factor: from then on, the worst ratio between the time left shown and the true one (the
//   larger over the smaller), where they differ by more than 3 s (else 1);
// - blank_end_s: how long before the end the time left already read nothing or 00:00:00 while more
//   than a second remained.
// With QAV_PROGRESS_TRACE=1 each run also prints its phases (time and units: the weights' check,
// each phase should take the share of the time that it has of the units) and the bar and the time
// left against the truth at every tenth of the run.
//
// The archive: a year (QAV_BENCH_DAYS, default 365) of 512 elements, every fourth a loop.
// The New view designs list 118 days of 128 loops at five minutes, one content in spreadsheet form
// (4.35 million rows) and four contents in text (17.4 million rows). The Classic design runs all
// three blocks over the year for 192 elements: the raw listing and both single-day tables from the
// single-day selection, and every multi-day table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/classic/classic_go.h"
#include "app/classic/classic_run.h"
#include "app/classic/classic_state.h"
#include "app/classic/validity_settings.h"
#include "app/newview/new_run.h"
#include "app/newview/new_tables.h"
#include "app/shell/decode_pool.h"
#include "app/shell/input_loader.h"
#include "app/shell/worker_ids.h"
#include "archive/archive_globals.h"
#include "bench_design.h"
#include "bench_year.h"
#include "support/wait_estimator.h"
#include "trafficdata/element_data.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kElements = 512;
constexpr int kYear = 1995;

struct Year {
  std::string root;
  std::vector<CDateTimeEx> days;
  std::vector<SampleElement> all;
};

const Year& TheYear() {
  static const Year year = [] {
    Year y;
    std::vector<SampleDayInfo> info;
    y.root = WriteBenchYear("qav_progress_bench", kYear, kElements, info);
    y.all = SampleElements(kYear, kElements);
    for (const SampleDayInfo& d : info) y.days.emplace_back(d.year, d.month, d.day);
    return y;
  }();
  return year;
}

// The readings of one run, and the points where its phases begin.
class CTrace {
 public:
  struct Reading {
    double ms;
    uint64_t progress;
    int64_t range;
  };
  struct Mark {
    std::string phase;
    double ms;
    uint64_t progress;
  };

  // Runs `run` while a watcher takes `read` every 20 ms.
  void Record(const std::function<Reading()>& read, const std::function<void()>& run) {
    m_start = Clock::now();
    std::atomic<bool> done{false};
    std::thread watcher([&] {
      while (!done.load()) {
        Reading r = read();
        r.ms = Ms();
        m_readings.push_back(r);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    run();
    m_totalMs = Ms();
    done.store(true);
    watcher.join();
    Reading last = read();
    last.ms = m_totalMs;
    m_readings.push_back(last);
    if (const char* dump = std::getenv("QAV_PROGRESS_DUMP")) {
      if (FILE* f = std::fopen(dump, "a")) {
        for (const Reading& r : m_readings)
          std::fprintf(f, "%.1f %llu %lld\n", r.ms, static_cast<unsigned long long>(r.progress), static_cast<long long>(r.range));
        std::fprintf(f, "end\n");
        std::fclose(f);
      }
    }
  }

  // A phase begins now (called on the worker).
  void Begin(const char* phase, uint64_t progress) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_marks.push_back({phase, Ms(), progress});
  }

  // Replays the readings through the estimator; fills the counters and, with `print`, the table.
  void Report(benchmark::State& state, bool print) const {
    CWaitEstimator estimator;
    size_t next = 0;
    Reading reading{0, 0, m_readings.empty() ? 0 : m_readings.front().range};
    double barOff = 0, barLag = 0, worst = 1, blankSince = -1, shownAt = -1, truthThen = 0;
    int tenth = 1;
    if (print) std::printf("%8s %7s %7s %9s %9s\n", "ms", "elapsed", "bar", "shown_ms", "true_ms");
    for (double t = 500; t < m_totalMs; t += 500) {
      while (next < m_readings.size() && m_readings[next].ms <= t) reading = m_readings[next++];
      const int position = static_cast<int>(std::min<uint64_t>(reading.progress, INT_MAX));
      const int range = static_cast<int>(std::clamp<int64_t>(reading.range, 1, INT_MAX));
      estimator.OnTick(static_cast<DWORD>(t), position, range);
      const double bar = std::min(1.0, static_cast<double>(position) / range), elapsed = t / m_totalMs;
      const double truth = m_totalMs - t, shown = estimator.Countdown();
      const bool blank = !estimator.Shown() || shown < 1000;
      barOff = std::max(barOff, std::fabs(bar - elapsed));
      barLag = std::max(barLag, elapsed - bar);
      if (estimator.Shown() && shownAt < 0) shownAt = t, truthThen = truth;
      if (estimator.Shown() && std::fabs(shown - truth) > 3000)
        worst = std::max(worst, std::max(shown, truth) / std::max(1.0, std::min(shown, truth)));
      if (!blank || truth <= 1000) blankSince = -1;
      else if (blankSince < 0) blankSince = t;
      if (print && elapsed >= tenth / 10.0) {
        std::printf("%8.0f %6.0f%% %6.0f%% %9s %9.0f\n", t, 100 * elapsed, 100 * bar,
                    estimator.Shown() ? std::to_string(static_cast<int>(shown)).c_str() : "-", truth);
        while (elapsed >= tenth / 10.0) ++tenth;
      }
    }
    state.counters["run_s"] = m_totalMs / 1000;
    state.counters["bar_off_pct"] = 100 * barOff;
    state.counters["bar_lag_pct"] = 100 * std::max(0.0, barLag);
    state.counters["shown_s"] = shownAt < 0 ? -1 : shownAt / 1000;
    state.counters["true_left_s"] = shownAt < 0 ? -1 : truthThen / 1000;
    state.counters["left_factor"] = worst;
    state.counters["blank_end_s"] = blankSince < 0 ? 0 : (m_totalMs - blankSince) / 1000;
    if (!print) return;
    const uint64_t units = m_readings.empty() ? 0 : std::max<uint64_t>(1, m_readings.back().progress);
    std::printf("%-22s %9s %7s %12s %7s\n", "phase", "ms", "time", "units", "units");
    for (size_t i = 0; i < m_marks.size(); ++i) {
      const double endMs = i + 1 < m_marks.size() ? m_marks[i + 1].ms : m_totalMs;
      const uint64_t endUnits = i + 1 < m_marks.size() ? m_marks[i + 1].progress : m_readings.back().progress;
      const double ms = endMs - m_marks[i].ms;
      const uint64_t u = endUnits - m_marks[i].progress;
      std::printf("%-22s %9.0f %6.1f%% %12llu %6.1f%%\n", m_marks[i].phase.c_str(), ms, 100 * ms / m_totalMs,
                  static_cast<unsigned long long>(u), 100.0 * static_cast<double>(u) / static_cast<double>(units));
    }
    std::printf("range %lld, counter at the end %llu\n\n", static_cast<long long>(m_readings.back().range),
                static_cast<unsigned long long>(m_readings.back().progress));
  }

 private:
  double Ms() const { return std::chrono::duration<double, std::milli>(Clock::now() - m_start).count(); }

  Clock::time_point m_start;
  std::vector<Reading> m_readings;
  std::vector<Mark> m_marks;
  std::mutex m_lock;
  double m_totalMs = 0;
};

bool PrintTrace() { return std::getenv("QAV_PROGRESS_TRACE") != nullptr; }

// QAV_BENCH_HELPERS=n: the loads use at most n helper threads.
void LimitHelpers() {
  if (const char* n = std::getenv("QAV_BENCH_HELPERS")) CDecodePool::LimitThreads(std::atoi(n));
}

class CNoStatus : public IReportFileStatus, public IWorkerPoster {
 public:
  void PostWin32Error(DWORD) override { failed = true; }
  void PostOutFileError(const std::string&) override { failed = true; }
  void PostOutputTo(const std::string&) override {}
  void Post(UINT, LPARAM) override {}
  bool failed = false;
};

// A New view design over the first `days` days of 128 loops: the first `contents` loop contents
// at a period of `periodLen` 20-second units, averaged by `avg`; as a listing (one line per loop,
// day or group and time, the contents in columns) or loops in rows and days in columns.
struct SNewDesign {
  size_t days = 118;
  int contents = 1;
  int format = 1;
  int periodLen = 15;
  int avg = AVG_NONE;
  bool listing = true;
  int kind = 0;  // loops, stations or speed traps; -1 all three
  size_t elements = 128;
};

void NewViewRun(benchmark::State& state, const SNewDesign& d) {
  static const int kLoopContents[4] = {CC_VOLUME, CC_OCCUPANCY, CC_CALC_SPEED, CC_EST_LENGTH};
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  LimitHelpers();
  for (auto _ : state) {
    CNewReportModel m;
    m.m_arrRoadways.Add(CDBRoadway("I-5"));
    static const int kTypes[3] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP};
    for (const SampleElement& e : y.all) {
      if (e.kind == 3 || (d.kind >= 0 && e.kind != d.kind) || static_cast<size_t>(m.m_arrElements.m_nSize) >= d.elements)
        continue;
      const std::string cab = e.key.substr(0, e.key.find(':')), name = e.key.substr(e.key.find(':') + 1);
      int c = m.m_arrCabinets.Add(CDBCabinet(cab.c_str(), "", 0, "Here", m.m_arrRoadways.m_pData[0]));
      m.m_arrElements.Add(CDBElementEx(name.c_str(), kTypes[e.kind], m.m_arrCabinets.m_pData[c]));
    }
    for (size_t i = 0; i < y.days.size() && i < d.days; ++i) m.m_arrDates.Add(y.days[i]);
    static const int kTrapContents[4] = {CC_SPEED, CC_LENGTH, CC_VOLUME, CC_OCCUPANCY};
    for (int c = 0; c < d.contents; ++c) m.m_bContent[(d.kind == 2 ? kTrapContents : kLoopContents)[c]] = 1;
    m.m_nPeriodLen = d.periodLen;
    m.m_nSumMethod = 2;
    m.m_nAvgMethod = d.avg;
    m.m_nOutFormat = d.format;
    m.m_strOutputPath = y.root + "report.txt";
    LayOutBenchDesign(m, d.listing);

    CRunFlags flags;
    CNoStatus status;
    CTrace trace;
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [&](UINT id) {
      const uint64_t p = flags.progress.load();
      if (id == ID_WORKER_SUMMARIZING) trace.Begin("rows taken", p);
      if (id == ID_WORKER_SORTING) trace.Begin("sort", p);
      if (id == ID_WORKER_SORTED) trace.Begin("header", p);
      if (id == ID_WORKER_OUTPUTTING) trace.Begin("walk", p);
      if (id == ID_WORKER_REPORTS_DONE) trace.Begin("end", p);
    };
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
      trace.Begin("load and rows", flags.progress.load());
      return AdoptLoadedData(LoadElementData(m.m_arrElements, m.m_arrDates, status, flags, nullptr, rows), data);
    };
    const int64_t divisor = CWaitEstimator::ScaleDivisor(std::max(RunProgressRange(m), RunProgressRange(m, true)));
    const int64_t fiveMinute = RunProgressRange(m) / divisor, fine = RunProgressRange(m, true) / divisor;
    CStdioFile file;
    int rows = 0;
    trace.Record([&] {
                   return CTrace::Reading{0, flags.progress.load() / static_cast<uint64_t>(divisor),
                                          flags.layouts.range(fiveMinute, fine) + flags.rangeAdded.load() / divisor};
                 },
                 [&] {
                   CNewReportRun run(m, host, file);
                   run.Run();
                   rows = run.rowCount;
                 });
    if (status.failed || rows == 0) {
      state.SkipWithError("run failed");
      return;
    }
    state.counters["rows"] = rows;
    trace.Report(state, PrintTrace());
  }
}

// 118 days of 128 loops at five minutes: 4.35 million rows in spreadsheet form, 17.4 million with
// four contents in text.
void BM_NewViewListingSheet(benchmark::State& state) { NewViewRun(state, SNewDesign{}); }
void BM_NewViewListingText4(benchmark::State& state) { NewViewRun(state, SNewDesign{118, 4, 0}); }
// Daily volume of 128 loops over the year, loops by days: the load and the rows' summing weigh
// everything.
void BM_NewViewDailyYear(benchmark::State& state) { NewViewRun(state, SNewDesign{365, 1, 1, 4320, AVG_NONE, false}); }
void BM_NewViewStations(benchmark::State& state) { NewViewRun(state, SNewDesign{118, 2, 1, 45, AVG_NONE, false, 1}); }
void BM_NewViewTraps(benchmark::State& state) { NewViewRun(state, SNewDesign{118, 2, 1, 45, AVG_NONE, false, 2}); }
void BM_NewViewLoops15(benchmark::State& state) { NewViewRun(state, SNewDesign{118, 2, 1, 45, AVG_NONE, false, 0}); }
void BM_NewViewMixed15(benchmark::State& state) { NewViewRun(state, SNewDesign{60, 2, 1, 45, AVG_NONE, false, -1, 72}); }
// Monthly day-of-week means at fifteen minutes over the year: the groups end out of date order,
// so the rows are made after the load.
void BM_NewViewMonthlyDowYear(benchmark::State& state) {
  NewViewRun(state, SNewDesign{365, 2, 1, 45, AVG_MONTHLY_DOW, true});
}

// The Classic worker with the common loader; marks its loads and its blocks' output.
class CTracedPort : public ClassicRunPort {
 public:
  CTracedPort(const CClassicSelection& sel, RunControl& run, CTrace& trace, const std::atomic<uint64_t>& progress)
      : m_sel(sel), m_run(run), m_trace(trace), m_progress(progress) {}
  bool Load(int block, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    static const char* const kLoads[CB_COUNT] = {"load raw", "load single-day", "load multi-day"};
    m_trace.Begin(kLoads[block], m_progress.load());
    return LoadClassicSelection(m_sel, m_status, m_run, out, summariesOnly);
  }
  void Post(const ClassicPost& p) override {
    if (p.id == RID_ERROR || p.id == RID_OPEN_ERROR) failed = true;
    if (p.id == RID_RAW_OUTPUTTING) m_trace.Begin("raw listing", m_progress.load());
    if (p.id == RID_SDS_OUTPUTTING) m_trace.Begin("single-day tables", m_progress.load());
    if (p.id == RID_MDS_OUTPUTTING) m_trace.Begin("multi-day tables", m_progress.load());
    if (p.id == RID_MDS_DONE) m_trace.Begin("end", m_progress.load());
  }
  void SetWaitCursor(bool) override {}
  bool failed = false;

 private:
  const CClassicSelection& m_sel;
  RunControl& m_run;
  CTrace& m_trace;
  const std::atomic<uint64_t>& m_progress;
  CNoStatus m_status;
};

// A Classic design over the year for the first `elements` loops, stations and speed traps. The
// raw listing comes from the single-day selection; `raw`, `min15`, `daily` and `multi` switch the
// raw listing, the two single-day tables and every multi-day table on.
struct SClassicDesign {
  bool raw = true, min15 = true, daily = true, multi = true;
  int elements = 192;
};

void ClassicRun(benchmark::State& state, const SClassicDesign& design) {
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  LimitHelpers();
  static const int kTypes[3] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP};
  CClassicSelection sel;
  sel.roadways.Add(CDBRoadway("I-5"));
  for (const SampleElement& e : y.all) {
    if (e.kind == 3 || sel.elements.m_nSize >= design.elements) continue;
    const std::string cab = e.key.substr(0, e.key.find(':'));
    int c = sel.cabinets.Add(CDBCabinet(cab.c_str(), "", 0, "Here", sel.roadways.m_pData[0]));
    sel.elements.Add(CDBElementEx(e.key.substr(e.key.find(':') + 1).c_str(), kTypes[e.kind], sel.cabinets.m_pData[c]));
  }
  for (const CDateTimeEx& d : y.days) sel.dates.Add(d);
  const int64_t e = sel.elements.m_nSize, d = sel.dates.m_nSize;

  GoInput in;
  in.rawOn = design.raw;
  in.sdsOn = design.min15 || design.daily;
  in.mdsOn = design.multi;
  in.rawSource = 1;
  in.min15 = design.min15;
  in.daily = design.daily;
  in.monthlyDow = in.yearlyDow = in.yearlyDowEnabled = in.annual = in.annualEnabled = true;
  in.mdsYear = kYear;
  in.rawName = "raw.txt", in.sdsName = "single.txt", in.mdsName = "multi.txt";
  in.raw = in.sds = in.mds = {d, e};
  for (int m = 0; m < 12; ++m) in.monthSel.push_back(m);
  for (int w = 0; w < 7; ++w) in.monthlyDowSel.push_back(w), in.yearlyDowSel.push_back(w);
  GoPlan plan;
  if (!CheckGo(in, plan).empty()) {
    state.SkipWithError("refused");
    return;
  }
  ClassicRunSnapshot snap;
  snap.rawOn = in.rawOn;
  snap.sdsOn = in.sdsOn;
  snap.mdsOn = in.mdsOn;
  snap.rawSource = 1;
  for (int f = 0; f < CF_COUNT; ++f) {
    snap.folder[f] = y.root;
    snap.name[f] = "YEAR" + std::to_string(f);
  }
  ClassicSettings& c = snap.settings;
  c.with15Min = design.min15;
  c.withDaily = design.daily;
  for (int i = 0; i < d; ++i) {
    c.singleDates.push_back(sel.dates.m_pData[i]);
    c.multiDates.push_back(sel.dates.m_pData[i]);
  }
  c.months = plan.months;
  c.monthlyWeekdays = plan.monthlyDays;
  c.yearlyWeekdays = plan.yearlyDays;
  c.averages = plan.annual;
  c.criteria = ToValidityTables(g_PeriodValidity);
  const int64_t divisor = CWaitEstimator::ScaleDivisor(plan.estimateFine);
  const int64_t fiveMinute = plan.estimate / divisor, fine = plan.estimateFine / divisor;
  for (auto _ : state) {
    CClassicRunFlags flags;
    CTrace trace;
    CTracedPort port(sel, flags, trace, flags.progress);
    trace.Record(
        [&] {
          return CTrace::Reading{0, flags.progress.load() / static_cast<uint64_t>(divisor),
                                 flags.layouts.range(fiveMinute, fine)};
        },
        [&] {
          CClassicRun run(snap, port, flags);
          run.Run();
        });
    if (port.failed) {
      state.SkipWithError("run failed");
      return;
    }
    trace.Report(state, PrintTrace());
  }
}

// All three blocks over the year for 192 elements.
void BM_ClassicYearAllBlocks(benchmark::State& state) { ClassicRun(state, SClassicDesign{}); }
// Each single-day table alone, and the multi-day tables alone for 384 elements.
void BM_ClassicYear15Min(benchmark::State& state) { ClassicRun(state, SClassicDesign{false, true, false, false}); }
void BM_ClassicYearDaily(benchmark::State& state) { ClassicRun(state, SClassicDesign{false, false, true, false}); }
void BM_ClassicYearMultiDay(benchmark::State& state) {
  ClassicRun(state, SClassicDesign{false, false, false, true, 384});
}

BENCHMARK(BM_NewViewListingSheet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewListingText4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewStations)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewTraps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewLoops15)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewMixed15)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewDailyYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewMonthlyDowYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYearAllBlocks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYear15Min)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYearDaily)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYearMultiDay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);

}  // namespace

BENCHMARK_MAIN();
