// What an address-space limit (`ulimit -v`) costs a run that it leaves room enough: the New view's
// run of tools/memtries' 400 x 60 set-up (volume, occupancy and speed of every five minutes of 60
// days of 300 loops, stations and speed traps, listed by date, time and element: 5.1 million rows)
// under a limit of 8 GB or of 2 GB (the argument, in MB) and without one.
//
// The heap's arenas are settled when a process's threads first allocate, so each run is a process
// of its own, started as the program starts (the limit, then the heap's arenas as the start limits
// them): this program started again with --run. The runs take turns, with the limit and without,
// in pairs run back to back (the machine's other load changes less within a pair than between
// pairs), and the counters give the median seconds of each (limit_s, none_s) and the median of the
// pairs' ratios (ratio). QAV_BENCH_PAIRS sets the number of pairs (default 5).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/newview/new_config.h"
#include "app/newview/new_run.h"
#include "app/shell/input_loader.h"
#include "app/shell/start_up.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "bench_design.h"
#include "bench_year.h"
#include "platform/app/ole_date_time.h"
#include "platform/kernel/address_space.h"
#include "platform/kernel/release.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"

namespace {

constexpr int kElements = 400, kDays = 60, kYear = 1994;

// memtries' New view set-up over the archive's 1994 days and its loops, stations and speed traps.
SNewConfig SetUp(const std::vector<SampleDayInfo>& days, const std::string& report) {
  static const int kTypes[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  SNewConfig cfg;
  cfg.outputPath = report;
  for (const SampleDayInfo& d : days)
    if (d.written && d.year == kYear)
      cfg.dates.push_back(static_cast<double>(static_cast<int>(static_cast<double>(COleDateTime(d.year, d.month, d.day, 0, 0, 0)))));
  cfg.roadways = {"I-5"};
  for (const SampleElement& e : SampleElements(kYear, kElements)) {
    if (e.kind == 3) continue;
    const size_t colon = e.key.find(':');
    cfg.cabinets.push_back({e.key.substr(0, colon), e.aliasKey.substr(0, e.aliasKey.find(':')), "Here", 0, 0});
    cfg.elements.push_back({e.key.substr(colon + 1), kTypes[e.kind], static_cast<int>(cfg.cabinets.size()) - 1});
  }
  cfg.periodLen = 15;
  cfg.sumMethod = 2;
  cfg.content[CC_VOLUME] = cfg.content[CC_OCCUPANCY] = cfg.content[CC_SPEED] = 1;
  cfg.lists[NFG_COLS] = {{GK_CONTENT, true}};
  cfg.lists[NFG_ROWS] = {{GK_DATE, true}, {GK_TIME, true}, {GK_ELEMENT, true}};
  return cfg;
}

// The child: one run on a data thread of its own, as the view's worker runs; prints its seconds,
// or nothing when it failed.
int RunOnce(const std::string& root, uint64_t limit) {
  if (limit != 0) {
    const rlimit r{limit, limit};
    if (setrlimit(RLIMIT_AS, &r) != 0) return 2;
  }
  qav::LimitHeapArenas(kStartBytes);
  g_DataRootPath.Set(root.c_str());
  // The days the archive holds: its day files, YYYYMMDD.DAT.
  std::vector<SampleDayInfo> days;
  for (const auto& f : std::filesystem::directory_iterator(root + "DATA" + std::to_string(kYear))) {
    SampleDayInfo d;
    d.written = f.path().extension() == ".DAT" &&
                std::sscanf(f.path().filename().c_str(), "%4d%2d%2d", &d.year, &d.month, &d.day) == 3;
    if (d.written) days.push_back(d);
  }
  std::sort(days.begin(), days.end(), [](const SampleDayInfo& a, const SampleDayInfo& b) {
    return std::make_tuple(a.year, a.month, a.day) < std::make_tuple(b.year, b.month, b.day);
  });
  CNewReportModel m;
  ApplyConfig(m, SetUp(days, root + "R.txt"), true);
  double seconds = -1;
  std::thread worker([&] {
    qav::MarkDataThread(0);
    CRunFlags flags;
    CNoStatus status;
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [](UINT) {};
    struct : IWorkerPoster {
      void Post(UINT, LPARAM) override {}
    } poster;
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
      return AdoptLoadedData(LoadElementData(m.m_arrElements, m.m_arrDates, poster, flags, nullptr, rows), data);
    };
    CStdioFile file;
    CNewReportRun run(m, host, file);
    const auto began = std::chrono::steady_clock::now();
    run.Run();
    qav::WaitForReleases();
    if (!status.failed && run.rowCount > 0)
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  });
  worker.join();
  if (seconds < 0) return 1;
  std::printf("%.3f\n", seconds);
  return 0;
}

// A run in a new process; its seconds, or -1 when it failed.
double RunChild(const std::string& root, uint64_t limit) {
  const std::string command = "'/proc/" + std::to_string(getpid()) + "/exe' --run '" + root + "' " + std::to_string(limit);
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return -1;
  double seconds = -1;
  if (std::fscanf(p, "%lf", &seconds) != 1) seconds = -1;
  return ::pclose(p) == 0 ? seconds : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 != 0 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_NewViewRunUnderAGenerousLimit(benchmark::State& state) {
  std::vector<SampleDayInfo> info;
  static const std::string root = WriteBenchYear("qav_limit_bench", kYear, kElements, info, false, kDays);
  int pairs = 5;
  if (const char* n = std::getenv("QAV_BENCH_PAIRS")) pairs = std::max(1, std::atoi(n));
  const uint64_t limit = static_cast<uint64_t>(state.range(0)) << 20;
  std::vector<double> limited, unlimited, ratios;
  for (auto _ : state) {
    for (int i = 0; i < pairs; ++i) {
      // Which of the two comes first changes from pair to pair.
      for (int k = 0; k < 2; ++k) {
        const bool withLimit = (i + k) % 2 == 0;
        const double s = RunChild(root, withLimit ? limit : 0);
        if (s < 0) {
          state.SkipWithError("a run failed");
          return;
        }
        (withLimit ? limited : unlimited).push_back(s);
      }
      ratios.push_back(limited.back() / unlimited.back());
    }
  }
  state.counters["limit_s"] = Median(limited);
  state.counters["none_s"] = Median(unlimited);
  state.counters["ratio"] = Median(ratios);
}

BENCHMARK(BM_NewViewRunUnderAGenerousLimit)->Arg(8192)->Arg(2048)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--run") == 0) return RunOnce(argv[2], std::strtoull(argv[3], nullptr, 10));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
