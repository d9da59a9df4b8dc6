// The selection dialogs' archive scans: the year folders of an archive root and the days of a
// leap year with a day file for every day (366 database files and some unrelated files). The
// element trees the element dialog shows: built from one day of 2,000 elements, and loaded for a
// whole year's dates (the first and the last day that load, the days between missing).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/select/archive_scan.h"
#include "app/shell/element_loader.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "bench_temp.h"

namespace {

class BenchArchive {
 public:
  BenchArchive() {
    static const CBenchTempPath temp("qav_select_bench");
    path_ = temp.Path();
    std::filesystem::create_directories(path_);
    for (int year = 1990; year <= 2010; ++year)
      std::filesystem::create_directories(path_ + (year < 1994 ? "/PE" : "/DATA") + std::to_string(year));
    const std::string folder = path_ + "/DATA1996/";
    for (int day = 0; day < 366; ++day) {
      CDateTimeEx date = CDateTimeEx(1996, 1, 1) + COleDateTimeSpan(static_cast<double>(day));
      std::ofstream(folder + date.Format("%Y%m%d.DAT")) << "";
      std::ofstream(folder + date.Format("%Y%m%d.NTS")) << "";
    }
    std::ofstream(folder + "RMDC.LST") << "";
  }
  ~BenchArchive() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Root() const { return path_ + "\\"; }

 private:
  std::string path_;
};

const BenchArchive& Archive() {
  static const BenchArchive archive;
  return archive;
}

void BM_ScanYearFolders(benchmark::State& state) {
  const std::string root = Archive().Root();
  for (auto _ : state) {
    CObjArray<CStrA> years;
    ScanYearFolders(root, years);
    if (years.m_nSize != 21) state.SkipWithError("wrong year count");
    benchmark::DoNotOptimize(years.m_pData);
  }
}
BENCHMARK(BM_ScanYearFolders)->Unit(benchmark::kMicrosecond);

void BM_ScanYearDays(benchmark::State& state) {
  const std::string root = Archive().Root();
  for (auto _ : state) {
    CYearDays days;
    ScanYearDays(root, 1996, days);
    if (days.Count() != 366) state.SkipWithError("wrong day count");
    benchmark::DoNotOptimize(days.dates.m_pData);
  }
}
BENCHMARK(BM_ScanYearDays)->Unit(benchmark::kMicrosecond);

// An archive year with day files for its first three days only: five-minute days of 2,000
// elements (the generator's metered lanes, one in four, have no five-minute records).
class TreeArchive {
 public:
  TreeArchive() {
    static const CBenchTempPath temp("qav_tree_bench");
    path_ = temp.Path();
    std::filesystem::create_directories(path_);
    SampleArchiveOptions options;
    options.root = path_ + "/";
    options.years = {1996};
    options.elements = 2666;
    options.days = 3;
    options.uniformDays = true;
    ok_ = WriteSampleArchive(options) == 0;
    g_DataRootPath.Set(options.root.c_str());
  }
  ~TreeArchive() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

const TreeArchive& Trees() {
  static const TreeArchive archive;
  return archive;
}

int CountElements(const CElementTree& E) {
  int n = 0;
  for (int i = 0; i < E.m_nSize; ++i)
    for (int j = 0; j < E.m_pData[i]->m_nSize; ++j) n += E.m_pData[i]->m_pData[j]->m_nSize;
  return n;
}

void BM_BuildElementTree(benchmark::State& state) {
  if (!Trees().ok()) return state.SkipWithError("no archive");
  const CDateTimeEx day(1996, 1, 1);
  CFMDBInputDesc list;
  CFMDBInput input;
  if (!list.Read(day, nullptr) || !input.Open(day, nullptr)) return state.SkipWithError("day does not open");
  for (auto _ : state) {
    CRoadwayTree R;
    CCabinetTree K;
    CElementTree E;
    CElementLoader::BuildFmdbTree(input, list, R, K, E, kMaskAll);
    state.counters["elements"] = CountElements(E);
  }
}
BENCHMARK(BM_BuildElementTree)->Unit(benchmark::kMillisecond);

void BM_LoadElementTreesOverAYear(benchmark::State& state) {
  if (!Trees().ok()) return state.SkipWithError("no archive");
  CObjArray<CDateTimeEx> dates;
  for (int day = 0; day < 366; ++day) dates.Add(CDateTimeEx(1996, 1, 1) + COleDateTimeSpan(static_cast<double>(day)));
  for (auto _ : state) {
    CElementLoader loader;
    loader.SetErrorHook([](const char*, DWORD, void*) {}, nullptr);
    loader.StartLoad(dates, kMaskAll);
    loader.WaitDone();
    loader.StopLoad();
    if (loader.m_bLoadFailed) state.SkipWithError("load failed");
    state.counters["elements"] = CountElements(loader.m_Elements);
  }
}
BENCHMARK(BM_LoadElementTreesOverAYear)->Unit(benchmark::kMillisecond)->UseRealTime();  // the load runs on its own thread

}  // namespace

BENCHMARK_MAIN();
