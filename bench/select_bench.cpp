// The selection dialogs' archive scans: the year folders of an archive root and the days of a
// leap year with a day file for every day (366 database files and some unrelated files).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/select/archive_scan.h"

namespace {

class BenchArchive {
 public:
  BenchArchive() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qav-select-bench-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
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

}  // namespace

BENCHMARK_MAIN();
