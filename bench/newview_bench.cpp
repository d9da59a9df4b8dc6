// The New view's report run end to end over a generated year of 500 loops: the common loader
// reads every day's database file for every loop, daily volume rows built, the structure completed, the rows sorted and
// the pivot report (elements by dates) written. Beside it, the archive reader alone over the same
// element-days, and the sort alone over the run's rows. The peak resident size of the process is
// reported as a counter (MB).
//
// The all-kinds design reads every element of the year (all four kinds) at a daily period; the
// runs report their peak resident size above the size at their start, also per element-day.
// The five-minute designs read the first 118 days of 128 loops at a five-minute period (4.35
// million rows, 17.4 million with four contents) and report how long the sort and the walk took
// and the peak resident size of the run (VmHWM) by phase: up to the end of the load, the start of
// the sort, the start of the walk and the end (run_peak_MB).
//
// Every run also reports the resident size above its start once the run and its design are gone,
// before (held_MB) and after (after_run_MB) the heap gives its free memory back as the views do,
// and the arenas' kept blocks (spare_cache_MB).
//
// QAV_BENCH_DAYS sets the number of days (default 365); QAV_BENCH_KEEP_DAYS=1 keeps every day
// loaded until the rows are made (the way before rows were made while loading).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/newview/new_run.h"
#include "app/shell/input_loader.h"
#include "app/shell/worker_ids.h"
#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/sample_archive.h"
#include "bench_design.h"
#include "bench_temp.h"
#include "containers/block_arena.h"
#include "containers/mem_mgr.h"
#include "platform/kernel/files.h"
#include "platform/kernel/release.h"
#include "support/stream.h"
#include "trafficdata/db_record.h"

namespace {

constexpr int kElements = 2000;  // every fourth a loop: 500 loops
constexpr int kYear = 1995;

struct Year {
  std::string root;
  std::vector<CDateTimeEx> days;
  std::vector<std::string> keys;  // the loops
  std::vector<SampleElement> all;  // every element
};

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"); 0 when unreadable.
double StatusKb(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  double kb = 0;
  size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, field, n) == 0) kb = std::atof(line + n);
  std::fclose(f);
  return kb;
}

// Starts a new peak: the heap gives its free memory back and the kernel sets the peak resident
// size to the present one.
void ResetPeak() {
  malloc_trim(0);
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

const Year& TheYear() {
  static const Year year = [] {
    Year y;
    int days = 365;
    if (const char* d = std::getenv("QAV_BENCH_DAYS")) days = std::atoi(d) > 0 ? std::atoi(d) : days;
    static const CBenchTempPath folder("qav_newview_bench");
    y.root = folder.Path() + "/";
    SampleArchiveOptions o;
    o.root = y.root;
    o.years = {kYear};
    o.elements = kElements;
    o.days = days;
    o.uniformDays = true;
    std::vector<SampleDayInfo> info;
    std::string message;
    if (WriteSampleArchive(o, &message, &info) != 0) {
      std::fprintf(stderr, "cannot write the archive: %s\n", message.c_str());
      std::exit(1);
    }
    y.all = SampleElements(kYear, kElements);
    for (const SampleElement& e : y.all)
      if (e.kind == 0) y.keys.push_back(e.key);
    for (const SampleDayInfo& d : info) y.days.emplace_back(d.year, d.month, d.day);
    return y;
  }();
  return year;
}

double PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// A design over the first `loops` loops and `days` days (all when 0) at a period of `periodLen`
// 20-second units, in spreadsheet (format 1) or text (format 0) form. The first `contents` loop
// contents (volume, occupancy, calculated speed, estimated length). Elements in rows and dates in
// columns; or, as a `listing`, one line per element, date and time with the contents in columns,
// which has no separate-report key, so the whole report is one block.
struct SDesign {
  size_t loops = 0, days = 0;
  int periodLen = 4320;
  int format = 1;
  int contents = 1;
  bool listing = false;
};

void MakeDesign(CNewReportModel& m, const Year& y, const std::string& out, const SDesign& d) {
  static const int kLoopContents[4] = {CC_VOLUME, CC_OCCUPANCY, CC_CALC_SPEED, CC_EST_LENGTH};
  const size_t loops = d.loops == 0 || d.loops > y.keys.size() ? y.keys.size() : d.loops;
  const size_t days = d.days == 0 || d.days > y.days.size() ? y.days.size() : d.days;
  m.m_arrRoadways.Add(CDBRoadway("I-5"));
  for (size_t i = 0; i < loops; ++i) {
    const std::string& key = y.keys[i];
    std::string cab = key.substr(0, key.find(':')), name = key.substr(key.find(':') + 1);
    int c = m.m_arrCabinets.Add(CDBCabinet(cab.c_str(), "", 0, "Here", m.m_arrRoadways.m_pData[0]));
    m.m_arrElements.Add(CDBElementEx(name.c_str(), ET_LOOP, m.m_arrCabinets.m_pData[c]));
  }
  for (size_t i = 0; i < days; ++i) m.m_arrDates.Add(y.days[i]);
  for (int c = 0; c < d.contents && c < 4; ++c) m.m_bContent[kLoopContents[c]] = 1;
  m.m_nPeriodLen = d.periodLen;
  m.m_nSumMethod = 2;
  m.m_nOutFormat = d.format;
  m.m_strOutputPath = out;
  LayOutBenchDesign(m, d.listing);
}

bool LoadLoops(CNewReportModel& m, RunControl& run, std::vector<std::unique_ptr<CElementData>>& data,
               SRowsWhileLoading* rows) {
  struct : IWorkerPoster {
    void Post(UINT, LPARAM) override {}
  } poster;
  // QAV_BENCH_KEEP_DAYS=1: every day stays loaded until the rows are made, as before rows were
  // made while loading.
  static const bool keepDays = std::getenv("QAV_BENCH_KEEP_DAYS") != nullptr;
  return AdoptLoadedData(LoadElementData(m.m_arrElements, m.m_arrDates, poster, run, nullptr, keepDays ? nullptr : rows),
                         data);
}

void BM_ArchiveReaderLoops(benchmark::State& state) {
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  CStream out;
  for (auto _ : state) {
    for (const CDateTimeEx& day : y.days) {
      CFMDBInput input;
      if (!input.Open(day)) {
        state.SkipWithError("open failed");
        return;
      }
      int columns = static_cast<int>(input.m_Database.m_nColumns);
      for (const std::string& key : y.keys) {
        if (input.m_Database.ReadColumns(out, key.c_str(), 0, columns) != 0) {
          state.SkipWithError("read failed");
          return;
        }
        benchmark::DoNotOptimize(out.m_pData[0]);
      }
      input.m_Database.Close();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(y.days.size() * y.keys.size()));
  state.counters["peak_MB"] = PeakMegabytes();
}

// Daily volume of every element of all four kinds, elements in rows, dates in columns.
void MakeAllKindsDesign(CNewReportModel& m, const Year& y, const std::string& out) {
  static const int kTypeOfKind[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  m.m_arrRoadways.Add(CDBRoadway("I-5"));
  for (const SampleElement& e : y.all) {
    std::string cab = e.key.substr(0, e.key.find(':')), name = e.key.substr(e.key.find(':') + 1);
    std::string alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
    int c = m.m_arrCabinets.Add(CDBCabinet(cab.c_str(), alias.c_str(), 0, "Here", m.m_arrRoadways.m_pData[0]));
    m.m_arrElements.Add(CDBElementEx(name.c_str(), kTypeOfKind[e.kind & 3], m.m_arrCabinets.m_pData[c]));
  }
  for (const CDateTimeEx& d : y.days) m.m_arrDates.Add(d);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_nPeriodLen = 4320;
  m.m_nSumMethod = 2;
  m.m_nOutFormat = 1;
  m.m_strOutputPath = out;
  LayOutBenchDesign(m, false);
}

// One run of a design, or of the all-kinds design.
void RunDesign(benchmark::State& state, const SDesign& design, bool allKinds = false) {
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  std::string out = y.root + "report.txt";
  int rows = 0;
  double sortSeconds = 0, walkSeconds = 0, aboveStartMB = 0, elementDays = 0;
  // The peak resident size of the run up to the end of the load, the start of the sort, the
  // start of the walk and the end.
  double loadPeakMB = 0, rowsPeakMB = 0, sortPeakMB = 0, runPeakMB = 0;
  // The resident size above the start once the run and its model are gone, before and after the
  // heap gives its free memory back.
  double heldMB = 0, afterMB = 0;
  for (auto _ : state) {
    ResetPeak();
    const double startKb = StatusKb("VmRSS:");
    {
      CNewReportModel m;
      if (allKinds)
        MakeAllKindsDesign(m, y, out);
      else
        MakeDesign(m, y, out, design);
      elementDays = static_cast<double>(m.m_arrElements.m_nSize) * m.m_arrDates.m_nSize;
      CRunFlags flags;
      CNoStatus status;
      SNewRunHost host;
      host.run = &flags;
      host.fileStatus = &status;
      std::chrono::steady_clock::time_point sortStart, walkStart;
      auto since = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
      };
      host.post = [&](UINT id) {
        const double peakMB = StatusKb("VmHWM:") / 1024.0;
        if (id == ID_WORKER_SUMMARIZING) loadPeakMB = peakMB;
        if (id == ID_WORKER_SORTING) {
          rowsPeakMB = peakMB;
          sortStart = std::chrono::steady_clock::now();
        }
        if (id == ID_WORKER_SORTED) sortSeconds = since(sortStart);
        if (id == ID_WORKER_OUTPUTTING) {
          sortPeakMB = peakMB;
          walkStart = std::chrono::steady_clock::now();
        }
        if (id == ID_WORKER_REPORTS_DONE) walkSeconds = since(walkStart);
      };
      host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
        return LoadLoops(m, flags, data, rows);
      };
      CStdioFile file;
      CNewReportRun run(m, host, file);
      run.Run();
      if (status.failed || run.rowCount == 0) {
        state.SkipWithError("run failed");
        return;
      }
      rows = run.rowCount;
      runPeakMB = StatusKb("VmHWM:") / 1024.0;
      aboveStartMB = runPeakMB - startKb / 1024.0;
    }
    // As the views do when a run ends: the rows go on the release thread, then the heap's trim.
    qav::WaitForReleases();
    heldMB = (StatusKb("VmRSS:") - startKb) / 1024.0;
    CScalarMemMgr::ReturnFreeMemory();
    afterMB = (StatusKb("VmRSS:") - startKb) / 1024.0;
  }
  state.counters["rows"] = rows;
  state.counters["peak_MB"] = PeakMegabytes();
  state.counters["report_MB"] = static_cast<double>(std::filesystem::file_size(y.root + "report.txt")) / 1e6;
  state.counters["sort_s"] = sortSeconds;
  state.counters["walk_s"] = walkSeconds;
  state.counters["run_peak_MB"] = runPeakMB;
  state.counters["rows_peak_MB"] = rowsPeakMB;
  state.counters["load_peak_MB"] = loadPeakMB;
  state.counters["sort_peak_MB"] = sortPeakMB;
  state.counters["above_start_MB"] = aboveStartMB;
  state.counters["held_MB"] = heldMB;
  state.counters["after_run_MB"] = afterMB;
  state.counters["spare_cache_MB"] = static_cast<double>(CBlockArena::SpareBytes()) / 1048576.0;
  state.counters["B_per_elem_day"] = elementDays > 0 ? aboveStartMB * 1048576.0 / elementDays : 0;
}

void BM_NewViewReport(benchmark::State& state) { RunDesign(state, SDesign{}); }

// Every element of the year, all four kinds, daily volume.
void BM_NewViewAllKinds(benchmark::State& state) { RunDesign(state, SDesign{}, true); }

// 118 days x 128 loops at five minutes: 4,349,952 rows.
void BM_NewViewFiveMinutes(benchmark::State& state) { RunDesign(state, SDesign{128, 118, 15}); }

// The same rows as one listing without separate reports, in both forms; and four contents in
// text, 17.4 million rows. The walk writes as it goes, so the run's peak is the rows and the
// sort's items, whatever the size of the report.
void BM_NewViewFiveMinuteListingSheet(benchmark::State& state) { RunDesign(state, SDesign{128, 118, 15, 1, 1, true}); }
void BM_NewViewFiveMinuteListingText(benchmark::State& state) { RunDesign(state, SDesign{128, 118, 15, 0, 1, true}); }
void BM_NewViewFiveMinuteListingText4(benchmark::State& state) { RunDesign(state, SDesign{128, 118, 15, 0, 4, true}); }

// The sort as it was before the keys were packed: the rows' own comparison on every step.
void ComparisonMerge(CDBRecord** rows, CDBRecord** buffer, int first, int last, uint32_t* merges) {
  if (last - first + 1 < 2) return;
  int mid = first + (last - first - 1) / 2;
  ComparisonMerge(rows, buffer, first, mid, merges);
  ComparisonMerge(rows, buffer, mid + 1, last, merges);
  int i = first, j = mid + 1, k = 0;
  while (i <= mid && j <= last) buffer[k++] = (*rows[i] < *rows[j]) ? rows[i++] : rows[j++];
  while (i <= mid) buffer[k++] = rows[i++];
  while (j <= last) buffer[k++] = rows[j++];
  std::copy(buffer, buffer + k, rows + first);
  ++*merges;
}

// The sort of the run's rows alone: the rows as the builders leave them (element by element,
// each in date order, each day in time order), sorted by Time, Data Content, Element, Date as the
// run sorts them. `periods` rows per element-day.
void SortRows(benchmark::State& state, size_t loops, size_t days, int periods, bool packed = true) {
  const Year& y = TheYear();
  loops = std::min(loops, y.keys.size());
  days = std::min(days, y.days.size());
  CDBRoadway road("I-5");
  std::vector<CDBCabinet> cabs;
  std::vector<CDBElementEx> elems;
  cabs.reserve(loops);
  elems.reserve(loops);
  for (size_t i = 0; i < loops; ++i) {
    const std::string& key = y.keys[i];
    cabs.emplace_back(key.substr(0, key.find(':')).c_str(), "", 0, "Here", &road);
    elems.emplace_back(key.substr(key.find(':') + 1).c_str(), ET_LOOP, &cabs.back());
  }
  std::vector<CDBRecord> rows;
  rows.reserve(elems.size() * days * static_cast<size_t>(periods));
  for (size_t e = 0; e < elems.size(); ++e)
    for (size_t di = 0; di < days; ++di) {
      const CDateTimeEx& d = y.days[di];
      for (int p = 0; p < periods; ++p) {
        int s = p * (86400 / periods);
        rows.emplace_back(&elems[e], static_cast<int>(e), d.GetYear(), d.GetMonth(), d.GetDay(), s / 3600, s / 60 % 60,
                          s % 60, 1, d.GetDayOfWeek(), 0, static_cast<int>(e));
      }
    }
  CGrpType keys[4] = {CGrpType(GK_TIME), CGrpType(GK_CONTENT), CGrpType(GK_ELEMENT), CGrpType(GK_DATE)};
  const CGrpType* list[4] = {&keys[0], &keys[1], &keys[2], &keys[3]};
  CRecordOrder order(list, 4);
  CSortKeyScope scope(order);
  std::vector<CDBRecord*> ptrs;
  CRunFlags flags;
  for (auto _ : state) {
    state.PauseTiming();
    ptrs.clear();
    for (auto& r : rows) ptrs.push_back(&r);
    state.ResumeTiming();
    uint32_t merges = 0;
    if (packed) {
      SortRecords(ptrs.data(), 0, static_cast<int>(ptrs.size()) - 1, &merges, &flags);
    } else {
      std::vector<CDBRecord*> buffer(ptrs.size());
      ComparisonMerge(ptrs.data(), buffer.data(), 0, static_cast<int>(ptrs.size()) - 1, &merges);
    }
    benchmark::DoNotOptimize(merges);
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

void BM_SortRunRows(benchmark::State& state) { SortRows(state, 500, 365, 1); }
// The five-minute design's 4.4 million rows.
void BM_SortFiveMinuteRows(benchmark::State& state) { SortRows(state, 128, 118, 288); }
void BM_SortFiveMinuteRowsByComparison(benchmark::State& state) { SortRows(state, 128, 118, 288, false); }

BENCHMARK(BM_ArchiveReaderLoops)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewReport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewAllKinds)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewFiveMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewFiveMinuteListingSheet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewFiveMinuteListingText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewFiveMinuteListingText4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(1);
BENCHMARK(BM_SortRunRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_SortFiveMinuteRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_SortFiveMinuteRowsByComparison)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
