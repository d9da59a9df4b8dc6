// How the wait dialog follows large runs of both views.
//
// Real runs of the views (NewViewProgram, ClassicProgram): the program's own view, made as the
// program makes it on the window system without a display, runs the user's design from its start
// button's handler, and a timer of its user-interface thread reads the wait dialog whenever the
// view's wait pumps: what the user sees of the time left and the title. The archive is that of a
// user's large runs (UserYear: mkarchive DIR --years 1996 --days 366 --elements 400); the designs:
// - New view: all 365 days and the 396 listed elements at 20 seconds, six contents (volume,
//   occupancy, speed, length, calculated speed and estimated length) averaged by month, a report
//   per content (UserNewConfig);
// - Classic view: the raw listing and both single-day tables of the 396 elements over six years of
//   five-minute days (ClassicYears), and every multi-day table of the first year; and all three
//   over the 365 days of the user's year (UserYear).
// Both take 30 s to 2 min in an optimised build.
// Counters: see ReportFrames (run length, when the time left was first shown, the share of the
// time it was within 1.5 times or 3 s of the truth, the titles seen while a report was written).
//
// Runs of the workers alone: each design runs once while a watcher reads the progress counter and
// the bar's range every 20 ms; the readings are replayed through the wait dialog's estimator at its
// 500 ms ticks, as the dialog would show them. Reported per run:
// - run_s: its length;
// - bar_off_pct: the largest distance of the bar from the elapsed fraction of the run; bar_lag_pct:
//   the most the bar was behind it;
// - shown_s, true_left_s: when the time left was first shown instead of "Estimating...", and the
//   true time left then;
// - left_factor: from then on, the worst ratio between the time left shown and the true one (the
//   larger over the smaller), where they differ by more than 3 s (else 1);
// - blank_end_s: how long before the end the time left already read nothing or 00:00:00 while more
//   than a second remained.
// With QAV_PROGRESS_TRACE=1 each run also prints its phases (time, units and the processor time
// over the time: the weights' check, each phase should take the share of the time that it has of
// the units) and the bar and the time left against the truth at every tenth of the run; a real run
// prints what the user saw every two seconds.
//
// The workers' archive: a year (QAV_BENCH_DAYS, default 365) of 512 elements, every fourth a loop.
// The New view designs list 118 days of 128 loops at five minutes, one content in spreadsheet form
// (4.35 million rows) and four contents in text (17.4 million rows). The Classic design runs all
// three blocks over the year for 192 elements: the raw listing and both single-day tables from the
// single-day selection, and every multi-day table. BM_NewViewUserYear runs the user's New view
// design through the worker alone.
//
// Settings: QAV_BENCH_BUSY=1 keeps every core busy while a run goes, with a spinning process per
// core in a session of its own (as another program's work); QAV_BENCH_HELPERS=n limits the loads' helper threads; QAV_BENCH_ARCHIVE names a
// folder for the user's archive (read as it is when it holds it already); QAV_PROGRESS_DUMP=file
// appends each run's readings to the file.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/classic/classic_config.h"
#include "app/classic/classic_go.h"
#include "app/classic/classic_run.h"
#include "app/classic/classic_state.h"
#include "app/classic/main_classic.h"
#include "app/classic/validity_settings.h"
#include "app/newview/main_new.h"
#include "app/newview/new_config.h"
#include "app/newview/new_run.h"
#include "app/newview/new_tables.h"
#include "app/newview/nfg_file.h"
#include "app/shell/decode_pool.h"
#include "app/shell/input_loader.h"
#include "app/shell/main_frame.h"
#include "app/shell/profile_store.h"
#include "app/shell/qav_app.h"
#include "app/shell/worker_ids.h"
#include "archive/archive_globals.h"
#include "bench_design.h"
#include "bench_year.h"
#include "platform/app/profile.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "support/wait_dialog.h"
#include "support/wait_estimator.h"
#include "trafficdata/element_data.h"

namespace {

using Clock = std::chrono::steady_clock;

// One spinning child process per core, ended with the run (and with the benchmark if it is killed).
class CBusyCores {
 public:
  CBusyCores() {
    const char* busy = std::getenv("QAV_BENCH_BUSY");
    if (busy == nullptr || std::atoi(busy) == 0) return;
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    const pid_t parent = getpid();
    for (long i = 0; i < n; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);  // the benchmark ended before the request was made
        // In a session of its own, as the work of another program would be: the scheduler shares
        // the cores between sessions (autogroups) before it shares them between threads, so that
        // spinners in the benchmark's own session would take their turns from the program's
        // threads alone, a single thread of it getting an eighth of what its load's threads get.
        setsid();
        std::atomic<unsigned long> spins{0};
        for (;;) spins.fetch_add(1, std::memory_order_relaxed);
      }
      if (pid > 0) m_pids.push_back(pid);
    }
  }
  ~CBusyCores() {
    for (pid_t p : m_pids) kill(p, SIGKILL);
    for (pid_t p : m_pids) waitpid(p, nullptr, 0);
  }
  CBusyCores(const CBusyCores&) = delete;
  CBusyCores& operator=(const CBusyCores&) = delete;

 private:
  std::vector<pid_t> m_pids;
};

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

// The archive of a user's large runs: a leap year of 400 elements of the four kinds in turn, five-
// minute and 20-second days alternating in the archive's several forms, one day missing and one
// element missing on another (mkarchive DIR --years 1996 --days 366 --elements 400). Written once,
// or read from QAV_BENCH_ARCHIVE when that names such an archive already written.
const Year& UserYear() {
  static const Year year = [] {
    Year y;
    constexpr int kUserYear = 1996, kUserElements = 400, kUserDays = 366;
    SampleArchiveOptions o;
    o.years = {kUserYear};
    o.elements = kUserElements;
    o.days = kUserDays;
    std::vector<SampleDayInfo> info;
    const char* given = std::getenv("QAV_BENCH_ARCHIVE");
    static const CBenchTempPath folder("qav_progress_user");
    o.root = given != nullptr ? std::string(given) + "/" : folder.Path() + "/";
    // A given folder that holds the archive already is read as it is (the same options always
    // give the same bytes); otherwise the archive is written there.
    std::string message;
    const bool exists = given != nullptr && std::filesystem::exists(o.root + "DATA1996");
    if (!exists && WriteSampleArchive(o, &message, &info) != 0) {
      std::fprintf(stderr, "cannot write the archive: %s\n", message.c_str());
      std::exit(1);
    }
    y.root = o.root;
    y.all = SampleElements(kUserYear, kUserElements);
    static const int kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1, i = 0; m <= 12; ++m)
      for (int d = 1; d <= kMonthDays[m - 1]; ++d, ++i)
        if (i != 1) y.days.emplace_back(kUserYear, m, d);  // the second day is left out
    return y;
  }();
  return year;
}

// The archive of a user's long Classic runs: six years (1996 to 2001) of the same 400 elements,
// every day five-minute (mkarchive DIR --years 1996,...,2001 --days 365 --elements 400 --uniform).
// Written once, or read from QAV_BENCH_ARCHIVE/classic when that holds it already. `days`: the
// first 365 days of each year.
const Year& ClassicYears() {
  static const Year year = [] {
    Year y;
    constexpr int kFirst = 1996, kYears = 6, kElements = 400, kDays = 365;
    SampleArchiveOptions o;
    for (int i = 0; i < kYears; ++i) o.years.push_back(kFirst + i);
    o.elements = kElements;
    o.days = kDays;
    o.uniformDays = true;
    const char* given = std::getenv("QAV_BENCH_ARCHIVE");
    static const CBenchTempPath folder("qav_progress_classic");
    o.root = given != nullptr ? std::string(given) + "/classic/" : folder.Path() + "/";
    std::filesystem::create_directories(o.root);
    std::string message;
    const bool exists = given != nullptr && std::filesystem::exists(o.root + "DATA" + std::to_string(kFirst + kYears - 1));
    if (!exists && WriteSampleArchive(o, &message, nullptr) != 0) {
      std::fprintf(stderr, "cannot write the archive: %s\n", message.c_str());
      std::exit(1);
    }
    y.root = o.root;
    y.all = SampleElements(kFirst, kElements);
    for (int yr = kFirst; yr < kFirst + kYears; ++yr) {
      const bool leap = yr % 4 == 0 && (yr % 100 != 0 || yr % 400 == 0);
      const int monthDays[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      for (int m = 1, n = 0; m <= 12; ++m)
        for (int d = 1; d <= monthDays[m - 1] && n < kDays; ++d, ++n) y.days.emplace_back(yr, m, d);
    }
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
    double cpuMs;  // the process's processor time so far
    bool newPace;  // the view has the time left follow the pace from here on
    int planned;   // the phase of the plan that begins here (-1: none)
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
    m_endCpuMs = CpuMs();
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
  void Begin(const char* phase, uint64_t progress, bool newPace = false, int planned = -1) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_marks.push_back({phase, Ms(), progress, CpuMs(), newPace, planned});
  }
  // The run's phases as the view plans them, in the bar's units.
  void SetPlan(std::vector<CWaitEstimator::SPhase> plan) { m_plan = std::move(plan); }

  // Replays the readings through the estimator; fills the counters and, with `print`, the table.
  void Report(benchmark::State& state, bool print) const {
    CWaitEstimator estimator;
    estimator.SetPlan(m_plan.data(), static_cast<int>(m_plan.size()));
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
      for (const Mark& mark : m_marks)
        if ((mark.newPace || mark.planned >= 0) && mark.ms > t - 500 && mark.ms <= t)
          estimator.BeginPhase(static_cast<DWORD>(t), position, mark.planned);
      const double bar = std::min(1.0, static_cast<double>(position) / range), elapsed = t / m_totalMs;
      const double truth = m_totalMs - t, shown = estimator.ShownTime();
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
      const double cpu = (i + 1 < m_marks.size() ? m_marks[i + 1].cpuMs : m_endCpuMs) - m_marks[i].cpuMs;
      std::printf("%-22s %9.0f %6.1f%% %12llu %6.1f%% cpu/wall %.2f\n", m_marks[i].phase.c_str(), ms, 100 * ms / m_totalMs,
                  static_cast<unsigned long long>(u), 100.0 * static_cast<double>(u) / static_cast<double>(units), cpu / std::max(1.0, ms));
    }
    std::printf("range %lld, counter at the end %llu\n\n", static_cast<long long>(m_readings.back().range),
                static_cast<unsigned long long>(m_readings.back().progress));
  }

 private:
  double Ms() const { return std::chrono::duration<double, std::milli>(Clock::now() - m_start).count(); }
  static double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
  }

  Clock::time_point m_start;
  std::vector<Reading> m_readings;
  std::vector<Mark> m_marks;
  std::vector<CWaitEstimator::SPhase> m_plan;
  std::mutex m_lock;
  double m_totalMs = 0;
  double m_endCpuMs = 0;
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

void DesignModel(CNewReportModel& m, const Year& y, const SNewDesign& d) {
  static const int kLoopContents[4] = {CC_VOLUME, CC_OCCUPANCY, CC_CALC_SPEED, CC_EST_LENGTH};
  static const int kTrapContents[4] = {CC_SPEED, CC_LENGTH, CC_VOLUME, CC_OCCUPANCY};
  static const int kTypes[3] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP};
  m.m_arrRoadways.Add(CDBRoadway("I-5"));
  for (const SampleElement& e : y.all) {
    if (e.kind == 3 || (d.kind >= 0 && e.kind != d.kind) || static_cast<size_t>(m.m_arrElements.m_nSize) >= d.elements)
      continue;
    const std::string cab = e.key.substr(0, e.key.find(':')), name = e.key.substr(e.key.find(':') + 1);
    int c = m.m_arrCabinets.Add(CDBCabinet(cab.c_str(), "", 0, "Here", m.m_arrRoadways.m_pData[0]));
    m.m_arrElements.Add(CDBElementEx(name.c_str(), kTypes[e.kind], m.m_arrCabinets.m_pData[c]));
  }
  for (size_t i = 0; i < y.days.size() && i < d.days; ++i) m.m_arrDates.Add(y.days[i]);
  for (int c = 0; c < d.contents; ++c) m.m_bContent[(d.kind == 2 ? kTrapContents : kLoopContents)[c]] = 1;
  m.m_nPeriodLen = d.periodLen;
  m.m_nSumMethod = 2;
  m.m_nAvgMethod = d.avg;
  m.m_nOutFormat = d.format;
  m.m_strOutputPath = y.root + "report.txt";
  LayOutBenchDesign(m, d.listing);
}

// Runs the New view's worker over the design `m` on the year `y`, with a trace of its phases.
void NewViewRun(benchmark::State& state, const Year& y, const std::function<void(CNewReportModel&)>& design) {
  g_DataRootPath.Set(y.root.c_str());
  LimitHelpers();
  for (auto _ : state) {
    CNewReportModel m;
    design(m);
    CRunFlags flags;
    CNoStatus status;
    CTrace trace;
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [&](UINT id) {
      const uint64_t p = flags.progress.load();
      // The view lets the time left follow the pace of each step after the load from its start.
      if (id == ID_WORKER_SUMMARIZING) trace.Begin("rows taken", p, true);
      if (id == ID_WORKER_SORTING) trace.Begin("sort", p, true);
      if (id == ID_WORKER_OUTPUTTING) trace.Begin("header and walk", p, true);
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
    CBusyCores busy;
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

void NewViewRun(benchmark::State& state, const SNewDesign& d) {
  const Year& y = TheYear();
  NewViewRun(state, y, [&](CNewReportModel& m) { DesignModel(m, y, d); });
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

// The user's cabinets and elements as a configuration's records: every element of a listed
// cabinet (the archive leaves its last cabinet out of the device list).
template <class Cab, class Elem>
void UserSelection(const Year& y, std::vector<std::string>& roadways, std::vector<Cab>& cabinets,
                   std::vector<Elem>& elements) {
  static const int kTypes[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  roadways = {"I-5"};
  const size_t listed = y.all.size() - 4;
  for (size_t i = 0; i < listed; ++i) {
    const SampleElement& e = y.all[i];
    const std::string id = e.key.substr(0, e.key.find(':')), alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
    if (cabinets.empty() || cabinets.back().id != id) {
      Cab c;
      c.id = id;
      c.alias = alias;
      c.milepost = 1000 + static_cast<int>(cabinets.size()) * 75;
      c.location = "Here";
      c.roadway = 0;
      cabinets.push_back(c);
    }
    Elem el;
    el.name = e.key.substr(e.key.find(':') + 1);
    el.type = kTypes[e.kind];
    el.cabinet = static_cast<int>(cabinets.size()) - 1;
    elements.push_back(el);
  }
}

// The user's New view design as its configuration file holds it: all 365 days and the 396 listed
// elements at 20 seconds; volume, occupancy and calculated speed (of the loops and stations)
// averaged by month; months across, elements and times down, a report per content; spreadsheet
// form. 31.1 million rows.
SNewConfig UserNewConfig(const Year& y, const std::string& report) {
  SNewConfig c;
  c.outputPath = report;
  c.outFormat = 1;
  for (const CDateTimeEx& d : y.days) c.dates.push_back(static_cast<double>(d));
  UserSelection(y, c.roadways, c.cabinets, c.elements);
  c.avgMethod = AVG_MONTHLY;
  c.periodLen = 1;
  c.sumMethod = 2;
  for (int content : {CC_VOLUME, CC_OCCUPANCY, CC_SPEED, CC_LENGTH, CC_CALC_SPEED, CC_EST_LENGTH}) c.content[content] = 1;
  c.lists[NFG_COLS] = {{GK_MONTH, true}};
  c.lists[NFG_ROWS] = {{GK_ELEMENT, true}, {GK_TIME, true}};
  c.lists[NFG_SEPS] = {{GK_CONTENT, true}};
  return c;
}

// The user's listing at five minutes: the same days and elements, volume, occupancy and speed
// across, elements, days and times down, a report per element type (loops, stations, speed traps),
// as text, of the 297 loops, stations and speed traps. 52 million rows that lie in the order they
// were made.
SNewConfig UserListingConfig(const Year& y, const std::string& report) {
  SNewConfig c = UserNewConfig(y, report);
  // The metered lanes have none of the three contents: the user leaves them out.
  std::vector<SNfgElement> kept;
  for (const SNfgElement& e : c.elements)
    if (e.type != ET_RATE_STATUS) kept.push_back(e);
  c.elements = kept;
  c.outFormat = 0;
  c.avgMethod = AVG_NONE;
  c.periodLen = 15;
  std::fill(std::begin(c.content), std::end(c.content), 0);
  for (int content : {CC_VOLUME, CC_OCCUPANCY, CC_SPEED}) c.content[content] = 1;
  c.lists[NFG_COLS] = {{GK_CONTENT, true}};
  c.lists[NFG_ROWS] = {{GK_ELEMENT, true}, {GK_DATE, true}, {GK_TIME, true}};
  c.lists[NFG_SEPS] = {{GK_ELEMENT_TYPE, true}};
  return c;
}

// The user's designs through the worker alone.
void BM_NewViewUserYear(benchmark::State& state) {
  const Year& y = UserYear();
  NewViewRun(state, y, [&](CNewReportModel& m) { ApplyConfig(m, UserNewConfig(y, y.root + "report.txt"), true); });
}
void BM_NewViewUserListing(benchmark::State& state) {
  const Year& y = UserYear();
  NewViewRun(state, y, [&](CNewReportModel& m) { ApplyConfig(m, UserListingConfig(y, y.root + "report.txt"), true); });
}

// The Classic worker with the common loader; marks its loads and its blocks' output.
// Each load and each report begins the plan's next phase of its kind, as in the view.
class CTracedPort : public ClassicRunPort {
 public:
  CTracedPort(const CClassicSelection& sel, RunControl& run, CTrace& trace, const std::atomic<uint64_t>& progress,
              const std::vector<GoPhase>& plan)
      : m_sel(sel), m_run(run), m_trace(trace), m_progress(progress), m_plan(plan) {}
  bool Load(int block, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    static const char* const kLoads[CB_COUNT] = {"load raw", "load single-day", "load multi-day"};
    m_trace.Begin(kLoads[block], m_progress.load(), false, Next(GP_LOAD));
    return LoadClassicSelection(m_sel, m_status, m_run, out, summariesOnly);
  }
  void Post(const ClassicPost& p) override {
    if (p.id == RID_ERROR || p.id == RID_OPEN_ERROR) failed = true;
    if (p.id == RID_RAW_OUTPUTTING) m_trace.Begin("raw listing", m_progress.load(), true, Next(GP_RAW));
    if (p.id == RID_SDS_OUTPUTTING) m_trace.Begin("single-day tables", m_progress.load(), true, Next(GP_SDS));
    if (p.id == RID_MDS_OUTPUTTING) m_trace.Begin("multi-day tables", m_progress.load(), true, Next(GP_MDS));
    if (p.id == RID_MDS_DONE) m_trace.Begin("end", m_progress.load());
  }
  void SetWaitCursor(bool) override {}
  bool failed = false;

 private:
  int Next(int kind) {
    int i = m_phase + 1;
    while (i < static_cast<int>(m_plan.size()) && m_plan[static_cast<size_t>(i)].kind != kind) ++i;
    if (i >= static_cast<int>(m_plan.size())) return -1;
    return m_phase = i;
  }

  const CClassicSelection& m_sel;
  RunControl& m_run;
  CTrace& m_trace;
  const std::atomic<uint64_t>& m_progress;
  const std::vector<GoPhase>& m_plan;
  int m_phase = -1;
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
    CTracedPort port(sel, flags, trace, flags.progress, plan.phases);
    trace.Record(
        [&] {
          return CTrace::Reading{0, flags.progress.load() / static_cast<uint64_t>(divisor),
                                 flags.layouts.range(fiveMinute, fine) + flags.rangeAdded.load() / divisor};
        },
        [&] {
          CClassicRun run(snap, port, flags);
          run.Run();
        });
    if (port.failed) {
      state.SkipWithError("run failed");
      return;
    }
    // The phases as the view plans them, at the layouts the run read.
    std::vector<CWaitEstimator::SPhase> phases;
    for (const GoPhase& p : plan.phases)
      phases.push_back({p.kind, GoPhaseFamily(p.kind), flags.layouts.range(p.units, p.unitsFine) / divisor});
    trace.SetPlan(phases);
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


// ---- Real runs of the views ---------------------------------------------------------------------
// The program's own view, made as the program makes it on the window system without a display,
// runs the user's design (read as its configuration file) from its own start button's handler. A
// timer of the run's user-interface thread reads the wait dialog as the user sees it whenever the
// view's waiting loop pumps: its title, its bar and its time left. The user's archive (UserYear)
// and designs: UserNewConfig in the New view, and in the Classic view the raw listing, both
// single-day tables and every multi-day table of all 396 listed elements over the year.

// A window whose timer reads the wait dialog.
class CWatchWnd : public CWnd {
 public:
  std::function<void()> onTick;
  void OnTimer(UINT_PTR) {
    if (onTick) onTick();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CWatchWnd, CWnd)
  ON_WM_TIMER()
END_MESSAGE_MAP()

// What the user saw at one turn of the waiting loop.
struct SFrame {
  double ms;
  std::string title;
  bool estimating;
  double shownMs;  // the time left as the dialog shows it (whole seconds)
  int bar, range;
  int64_t reportBytes;  // the bytes of the reports being written
};

// "hh:mm:ss" as milliseconds; -1 for "Estimating..." or anything else.
double ShownMs(const std::string& text) {
  int h = 0, m = 0, sec = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &sec) != 3) return -1;
  return 1000.0 * (3600.0 * h + 60.0 * m + sec);
}

int64_t FileBytes(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// The bytes of the files this process holds open in the folders of `reports`: a report is written
// beside its name, unnamed (or under a temporary name), and takes the name only when it is whole,
// so its growth shows only through the run's open descriptor.
int64_t BytesBeingWritten(const std::vector<std::string>& reports) {
  std::vector<std::string> folders;
  for (const std::string& r : reports) folders.push_back(r.substr(0, r.find_last_of('/') + 1));
  int64_t bytes = 0;
  std::error_code e;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", e)) {
    std::error_code gone;  // a descriptor may close while it is looked at
    const std::string target = std::filesystem::read_symlink(fd.path(), gone).string();
    struct stat st {};
    if (gone || ::stat(fd.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (std::any_of(folders.begin(), folders.end(), [&](const std::string& f) { return target.starts_with(f); }))
      bytes += static_cast<int64_t>(st.st_size);
  }
  return bytes;
}

// Whether a report was being written at frame i: the file being written grew up to the frame and
// after it.
bool Writing(const std::vector<SFrame>& frames, size_t i) {
  return i > 0 && i + 1 < frames.size() && frames[i - 1].reportBytes >= 0 &&
         frames[i].reportBytes > frames[i - 1].reportBytes && frames[i + 1].reportBytes > frames[i].reportBytes;
}

// The user's view of one run (the counters):
// - run_s: its length, from the start button to the wait dialog gone;
// - shown_s: when the time left was first shown in place of "Estimating..."; shown_in_time: 1 when
//   that was by 15 % of the run or 10 s, whichever is later;
// - within_pct: from then on, the share of the time that the time left shown lay within 1.5 times
//   or 3 s of the truth; worst_factor: the largest ratio (larger over smaller) outside that;
// - writing_frames, stale_title_frames: the turns of the loop at which a report was being written,
//   and those of them at which the title did not say so;
// - zero_frames: the turns of the loop at which the time left read 00:00:00 (the run went on).
// The trace adds the share within 1.5 times or 3 s, and the median of the time left shown over the
// true one, under each title.
void ReportFrames(benchmark::State& state, const std::vector<SFrame>& frames, double totalMs, bool print) {
  double shownAt = -1, within = 0, counted = 0, worst = 1;
  std::string staleTitles;
  struct STitle {
    std::string title;
    int within = 0, counted = 0;
    std::vector<double> ratios;
  };
  std::vector<STitle> titles;
  size_t f = 0;
  // The display holds between the turns of the loop: judged every 100 ms by the last frame.
  for (double t = 0; t < totalMs && !frames.empty(); t += 100) {
    while (f + 1 < frames.size() && frames[f + 1].ms <= t) ++f;
    const SFrame& fr = frames[f];
    if (fr.ms > t || fr.estimating || fr.shownMs < 0) continue;
    if (shownAt < 0) shownAt = t;
    const double truth = totalMs - t, shown = fr.shownMs;
    const bool ok = std::fabs(shown - truth) <= 3000 || std::max(shown, truth) <= 1.5 * std::min(shown, truth);
    if (!ok) worst = std::max(worst, std::max(shown, truth) / std::max(1.0, std::min(shown, truth)));
    within += ok ? 1 : 0;
    counted += 1;
    if (titles.empty() || titles.back().title != fr.title) titles.push_back({fr.title, 0, 0, {}});
    titles.back().within += ok ? 1 : 0;
    titles.back().counted += 1;
    titles.back().ratios.push_back(shown / truth);
  }
  int zero = 0;
  for (const SFrame& fr : frames) zero += !fr.estimating && fr.shownMs >= 0 && fr.shownMs < 1000 ? 1 : 0;
  int writing = 0, stale = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!Writing(frames, i)) continue;
    ++writing;
    if (frames[i].title.rfind("Outputting", 0) == 0) continue;
    if (stale++ == 0) staleTitles = frames[i].title;
  }
  const double due = std::max(0.15 * totalMs, 10000.0);
  state.counters["run_s"] = totalMs / 1000;
  state.counters["shown_s"] = shownAt < 0 ? -1 : shownAt / 1000;
  state.counters["shown_in_time"] = shownAt >= 0 && shownAt <= due ? 1 : 0;
  state.counters["shown_pct"] = shownAt < 0 ? -1 : 100 * shownAt / totalMs;
  state.counters["within_pct"] = counted > 0 ? 100 * within / counted : 0;
  state.counters["worst_factor"] = worst;
  state.counters["writing_frames"] = writing;
  state.counters["stale_title_frames"] = stale;
  state.counters["zero_frames"] = zero;
  if (!print) return;
  for (STitle& t : titles) {
    std::nth_element(t.ratios.begin(), t.ratios.begin() + static_cast<long>(t.ratios.size() / 2), t.ratios.end());
    std::printf("%-36s %5.1f s %5.1f%% within, shown/true median %.2f\n", t.title.c_str(), t.counted / 10.0,
                100.0 * t.within / t.counted, t.ratios[t.ratios.size() / 2]);
  }
  std::printf("%8s %-36s %9s %9s %7s\n", "ms", "title", "shown_s", "true_s", "bar");
  double next = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const SFrame& fr = frames[i];
    if (fr.ms < next && i + 1 != frames.size()) continue;
    next = fr.ms + 2000;
    std::printf("%8.0f %-36s %9s %9.1f %6.1f%%%s\n", fr.ms, fr.title.c_str(),
                fr.estimating ? "Estim." : std::to_string(static_cast<int>(fr.shownMs / 1000)).c_str(),
                (totalMs - fr.ms) / 1000, fr.range > 0 ? 100.0 * fr.bar / fr.range : 0.0,
                Writing(frames, i) ? " writing" : "");
  }
  if (stale > 0) std::printf("a report grew under the title \"%s\" (%d frames)\n", staleTitles.c_str(), stale);
  std::printf("\n");
}

// The program made on the window system without a display, with a profile of its own (the archive
// at `root`, the reports in `out`, no automatic opening), showing the New or the Classic view.
class CRealProgram {
 public:
  CRealProgram(bool classic, const std::string& root, const std::string& out) {
    qav::ui::SelectBackend("headless");
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    m_profile = std::make_unique<CProfile>(m_folder.Path() + "/profile.ini");
    m_profile->WriteProfileInt("GENERAL", "USE_CLASSIC", classic ? 1 : 0);
    m_profile->WriteProfileInt("GENERAL", "CDROM_INDEX", 1);
    m_profile->WriteProfileString("GENERAL", "OTHER_PATH", root.c_str());
    m_profile->WriteProfileInt("OUTPUT", "AUTOOPEN", 0);
    for (const char* key : {"RAWDATA_PATH", "SDS_PATH", "MDS_PATH"}) m_profile->WriteProfileString("OUTPUT", key, out.c_str());
    m_store = std::make_unique<CFileProfileStore>(*m_profile);
    SetActiveProfile(m_store.get());
    qav::ui::SetMessageBoxHandler([](const qav::ui::MessageBoxRequest&) { return IDOK; });
    if (m_app.InitInstance()) m_frame = dynamic_cast<CMainFrame*>(m_app.m_pMainWnd);
    if (m_frame != nullptr) m_view = dynamic_cast<CMainDlg*>(m_frame->GetActiveView());
    g_DataRootPath.Set(root.c_str());
  }
  ~CRealProgram() {
    if (m_frame != nullptr && ::IsWindow(m_frame->m_hWnd)) m_frame->DestroyWindow();
    qav::ui::ResetWindowSystem();
    qav::ui::SetMessageBoxHandler(nullptr);
    SetActiveProfile(nullptr);
  }
  CRealProgram(const CRealProgram&) = delete;
  CRealProgram& operator=(const CRealProgram&) = delete;

  CMainDlg* View() const { return m_view; }

  // Pumps the program's messages for `ms` (background loads the design started finish meanwhile).
  void Settle(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      CWaitDialog::PumpMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // Runs `start` (the view's start button's handler, which returns when the run is over) while the
  // watcher reads the wait dialog; the report files `reports` tell when a report is written.
  std::vector<SFrame> Watch(const std::function<void()>& start, const std::vector<std::string>& reports, double& totalMs) {
    std::vector<SFrame> frames;
    CWatchWnd watch;
    const RECT r{0, 0, 10, 10};
    watch.CreateEx(0, nullptr, "watch", WS_POPUP, r, nullptr, 0);
    const auto begin = Clock::now();
    watch.onTick = [&] {
      CWaitDialog* dlg = m_view->m_pWaitDialog;
      if (dlg == nullptr || !::IsWindow(dlg->GetSafeHwnd())) return;
      SFrame fr;
      fr.ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
      fr.title = dlg->GetWindowText();
      fr.estimating = dlg->m_strTimeLeft == WAIT_NO_ESTIMATE_TEXT;
      fr.shownMs = ShownMs(dlg->m_strTimeLeft);
      fr.bar = m_view->m_nWaitPosition;
      fr.range = m_view->m_nWaitRange;
      fr.reportBytes = BytesBeingWritten(reports);
      frames.push_back(fr);
    };
    watch.SetTimer(1, 100);
    for (const std::string& path : reports) std::remove(path.c_str());
    start();
    totalMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    if (const char* dump = std::getenv("QAV_PROGRESS_DUMP")) {
      if (FILE* f = std::fopen(dump, "a")) {
        for (const SFrame& fr : frames)
          std::fprintf(f, "%.1f %d %d %.0f|%s\n", fr.ms, fr.bar, fr.range, fr.estimating ? -1.0 : fr.shownMs, fr.title.c_str());
        std::fprintf(f, "end %.1f\n", totalMs);
        std::fclose(f);
      }
    }
    watch.KillTimer(1);
    watch.DestroyWindow();
    return frames;
  }

 private:
  CBenchTempPath m_folder{"qav_progress_program"};
  std::unique_ptr<CProfile> m_profile;
  std::unique_ptr<CFileProfileStore> m_store;
  CQAVApp m_app;
  CMainFrame* m_frame = nullptr;
  CMainDlg* m_view = nullptr;
};

// The New view reads the user's design, is told (as the element lists of days at 20 seconds tell
// it) that the period can be that short, gets the period of 20 seconds, and produces the report.
void NewViewProgram(benchmark::State& state, SNewConfig (*config)(const Year&, const std::string&)) {
  const Year& y = UserYear();
  CBenchTempPath out("qav_progress_reports");
  std::filesystem::create_directories(out.Path());
  const std::string report = out.Path() + "/user.txt", design = out.Path() + "/user.nfg";
  for (auto _ : state) {
    CRealProgram program(false, y.root, out.Path() + "/");
    auto* view = dynamic_cast<CMainNew*>(program.View());
    if (view == nullptr) {
      state.SkipWithError("no New view");
      return;
    }
    if (FILE* f = std::fopen(design.c_str(), "wb")) {
      const std::string text = WriteNewConfig(config(y, report));
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    if (!view->ReadConfigFile(design)) {
      state.SkipWithError("design not read");
      return;
    }
    // The element lists the design's dates start loading come in meanwhile.
    program.Settle(3000);
    ::SendMessage(view->GetSafeHwnd(), WM_ELEMENTS_LOADED, 4320, 0);
    view->m_nPeriodLen = config(y, report).periodLen;
    view->PeriodsPerDay();
    view->RecomputeReportLayout();
    view->UpdateData(FALSE);
    double totalMs = 0;
    std::vector<SFrame> frames;
    {
      CBusyCores busy;
      frames = program.Watch([&] { view->OnProduceReports(); }, {report}, totalMs);
    }
    if (FileBytes(report) <= 0) {
      state.SkipWithError("no report");
      return;
    }
    ReportFrames(state, frames, totalMs, PrintTrace());
  }
}

// The Classic view takes the user's set-up as its configuration file gives it and runs GO: the raw
// listing and both single-day tables of all 396 listed elements over the archive's days, and every
// multi-day table of its first year, three loads: six years of five-minute days (ClassicYears), or
// the 365 days of the user's year (UserYear).
void ClassicProgram(benchmark::State& state, const Year& (*archive)()) {
  const Year& y = archive();
  CBenchTempPath out("qav_progress_reports");
  std::filesystem::create_directories(out.Path());
  const std::vector<std::string> reports = {out.Path() + "/USER.DAT", out.Path() + "/USER.SDS", out.Path() + "/USER.MDS"};
  for (auto _ : state) {
    CRealProgram program(true, y.root, out.Path() + "/");
    auto* view = dynamic_cast<CMainClassic*>(program.View());
    if (view == nullptr) {
      state.SkipWithError("no Classic view");
      return;
    }
    ClassicSetup c;
    c.rawOn = c.sdsOn = c.mdsOn = 1;
    c.min15 = c.daily = 1;
    c.rawName = "USER.DAT";
    c.sdsName = "USER.SDS";
    c.mdsName = "USER.MDS";
    for (int b = 0; b < CB_COUNT; ++b) {
      // The multi-day tables are of one year: the first.
      for (const CDateTimeEx& d : y.days)
        if (b != CB_MULTI || d.GetYear() == y.days.front().GetYear()) c.sel[b].dates.push_back(static_cast<double>(d));
      UserSelection(y, c.sel[b].roadways, c.sel[b].cabinets, c.sel[b].elements);
    }
    c.monthlyDow = c.yearlyDow = c.annual = 1;
    for (int m = 0; m < 12; ++m) c.months.push_back(m);
    for (int w = 0; w < 7; ++w) c.monthlyDays.push_back(w), c.yearlyDays.push_back(w);
    view->ApplySetup(c);
    view->UpdateData(FALSE);
    program.Settle(3000);
    double totalMs = 0;
    std::vector<SFrame> frames;
    {
      CBusyCores busy;
      frames = program.Watch([&] { view->OnGo(); }, reports, totalMs);
    }
    for (const std::string& r : reports)
      if (FileBytes(r) <= 0) {
        state.SkipWithError("no report");
        return;
      }
    ReportFrames(state, frames, totalMs, PrintTrace());
  }
}

BENCHMARK(BM_NewViewListingSheet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewListingText4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewStations)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewTraps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewLoops15)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewMixed15)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewDailyYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewMonthlyDowYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewUserYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_NewViewUserListing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK_CAPTURE(NewViewProgram, UserYear, UserNewConfig)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK_CAPTURE(NewViewProgram, UserListing, UserListingConfig)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK_CAPTURE(ClassicProgram, SixYears, ClassicYears)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK_CAPTURE(ClassicProgram, UserYear, UserYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYearAllBlocks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYear15Min)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYearDaily)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_ClassicYearMultiDay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);

}  // namespace

BENCHMARK_MAIN();
