// The New view's report run end to end over a generated year of 500 loops: the common loader
// reads every day's database file for every loop, daily volume rows built, the structure completed, the rows sorted and
// the pivot report (elements by dates) written. Beside it, the archive reader alone over the same
// element-days, and the sort alone over the run's rows. The peak resident size of the process is
// reported as a counter (MB).
//
// QAV_BENCH_DAYS sets the number of days (default 365).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/newview/new_run.h"
#include "app/shell/input_loader.h"
#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/sample_archive.h"
#include "bench_temp.h"
#include "platform/kernel/files.h"
#include "support/stream.h"
#include "trafficdata/db_record.h"

namespace {

constexpr int kElements = 2000;  // every fourth a loop: 500 loops
constexpr int kYear = 1995;

struct Year {
  std::string root;
  std::vector<CDateTimeEx> days;
  std::vector<std::string> keys;  // the loops
};

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
    for (const SampleElement& e : SampleElements(kYear, kElements))
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

// The design: daily volume, elements in rows, dates in columns.
void MakeDesign(CNewReportModel& m, const Year& y, const std::string& out) {
  m.m_arrRoadways.Add(CDBRoadway("I-5"));
  for (const std::string& key : y.keys) {
    std::string cab = key.substr(0, key.find(':')), name = key.substr(key.find(':') + 1);
    int c = m.m_arrCabinets.Add(CDBCabinet(cab.c_str(), "", 0, "Here", m.m_arrRoadways.m_pData[0]));
    m.m_arrElements.Add(CDBElementEx(name.c_str(), ET_LOOP, m.m_arrCabinets.m_pData[c]));
  }
  for (const CDateTimeEx& d : y.days) m.m_arrDates.Add(d);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_nPeriodLen = 4320;
  m.m_nSumMethod = 2;
  m.m_nOutFormat = 1;
  m.m_strOutputPath = out;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.PeriodsPerDay();
  m.CountContentPerKind();
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
  m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
  m.RecomputeReportLayout();
}

bool LoadLoops(CNewReportModel& m, RunControl& run, std::vector<std::unique_ptr<CElementData>>& data) {
  struct : IWorkerPoster {
    void Post(UINT, LPARAM) override {}
  } poster;
  return AdoptLoadedData(LoadElementData(m.m_arrElements, m.m_arrDates, poster, run), data);
}

class CNoStatus : public IReportFileStatus {
 public:
  void PostWin32Error(DWORD) override { failed = true; }
  void PostOutFileError(const std::string&) override { failed = true; }
  void PostOutputTo(const std::string&) override {}
  bool failed = false;
};

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

void BM_NewViewReport(benchmark::State& state) {
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  std::string out = y.root + "report.txt";
  int rows = 0;
  for (auto _ : state) {
    CNewReportModel m;
    MakeDesign(m, y, out);
    CRunFlags flags;
    CNoStatus status;
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [](UINT) {};
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data) { return LoadLoops(m, flags, data); };
    CStdioFile file;
    CNewReportRun run(m, host, file);
    run.Run();
    if (status.failed || run.rowCount == 0) {
      state.SkipWithError("run failed");
      return;
    }
    rows = run.rowCount;
  }
  state.counters["rows"] = rows;
  state.counters["peak_MB"] = PeakMegabytes();
  state.counters["report_MB"] = static_cast<double>(std::filesystem::file_size(y.root + "report.txt")) / 1e6;
}

// The sort of the run's rows alone: the rows as the builders leave them (element by element,
// each in date order), sorted by Time, Data Content, Element, Date as the run sorts them.
void BM_SortRunRows(benchmark::State& state) {
  const Year& y = TheYear();
  CDBRoadway road("I-5");
  std::vector<CDBCabinet> cabs;
  std::vector<CDBElementEx> elems;
  cabs.reserve(y.keys.size());
  elems.reserve(y.keys.size());
  for (const std::string& key : y.keys) {
    cabs.emplace_back(key.substr(0, key.find(':')).c_str(), "", 0, "Here", &road);
    elems.emplace_back(key.substr(key.find(':') + 1).c_str(), ET_LOOP, &cabs.back());
  }
  std::vector<CDBRecord> rows;
  rows.reserve(elems.size() * y.days.size());
  for (size_t e = 0; e < elems.size(); ++e)
    for (const CDateTimeEx& d : y.days)
      rows.emplace_back(&elems[e], static_cast<int>(e), d.GetYear(), d.GetMonth(), d.GetDay(), 0, 0, 0, 1, d.GetDayOfWeek(), 0,
                        static_cast<int>(e));
  CGrpType keys[4] = {CGrpType(GK_TIME), CGrpType(GK_CONTENT), CGrpType(GK_ELEMENT), CGrpType(GK_DATE)};
  const CGrpType* list[4] = {&keys[0], &keys[1], &keys[2], &keys[3]};
  CRecordOrder order(list, 4);
  CSortKeyScope scope(order);
  std::vector<CDBRecord*> ptrs;
  for (auto _ : state) {
    state.PauseTiming();
    ptrs.clear();
    for (auto& r : rows) ptrs.push_back(&r);
    state.ResumeTiming();
    uint32_t merges = 0;
    SortRecords(ptrs.data(), 0, static_cast<int>(ptrs.size()) - 1, &merges);
    benchmark::DoNotOptimize(merges);
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

BENCHMARK(BM_ArchiveReaderLoops)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_NewViewReport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_SortRunRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
