// The Classic view's heavy paths. A multi-day summary run end to end over a generated year of 500
// loops (the common loader reading every day for every loop, then the monthly and yearly
// day-of-week tables and the annual values written to the report file), beside the archive reader
// alone over the same element-days. And the text viewer opening a raw listing of a million lines,
// beside reading the same lines with the text file class. Peak resident size is a counter (MB).
//
// QAV_BENCH_DAYS sets the number of days of the year (default 365).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/classic/classic_run.h"
#include "app/classic/classic_state.h"
#include "app/shell/input_loader.h"
#include "app/viewer/viewer.h"
#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/sample_archive.h"
#include "bench_year.h"
#include "platform/kernel/files.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd.h"
#include "support/stream.h"

namespace {

constexpr int kElements = 2000;  // every fourth a loop: 500 loops
constexpr int kYear = 1995;
constexpr int kViewerLines = 1000000;

// The resident size now (MB).
double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Year {
  std::string root;
  CClassicSelection sel;  // the year's days and its loops
  std::vector<std::string> keys;
};

Year& TheYear() {
  static Year year = [] {
    Year y;
    std::vector<SampleDayInfo> info;
    y.root = WriteBenchYear("qav_classic_bench", kYear, kElements, info);
    y.sel.roadways.Add(CDBRoadway("I-5"));
    for (const SampleElement& e : SampleElements(kYear, kElements)) {
      if (e.kind != 0) continue;
      y.keys.push_back(e.key);
      const std::string cab = e.key.substr(0, e.key.find(':'));
      int c = y.sel.cabinets.Add(CDBCabinet(cab.c_str(), "ES-000", 0, "Here", y.sel.roadways.m_pData[0]));
      y.sel.elements.Add(CDBElementEx(e.key.substr(e.key.find(':') + 1).c_str(), ET_LOOP, y.sel.cabinets.m_pData[c]));
    }
    for (const SampleDayInfo& d : info) y.sel.dates.Add(CDateTimeEx(d.year, d.month, d.day));
    return y;
  }();
  return year;
}

void BM_ArchiveReaderLoops(benchmark::State& state) {
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  std::vector<CDateTimeEx> days;
  for (int d = 0; d < y.sel.dates.m_nSize; ++d) days.push_back(*y.sel.dates.m_pData[d]);
  CStream out;
  for (auto _ : state) {
    if (!ReadYearColumns(days, y.keys, out)) {
      state.SkipWithError("read failed");
      return;
    }
    benchmark::DoNotOptimize(out.m_pData);
  }
  state.counters["peak_MB"] = PeakMegabytes();
}

class CBenchPort : public ClassicRunPort, public IWorkerPoster {
 public:
  CBenchPort(const CClassicSelection& sel, RunControl& run, bool wholeDays)
      : sel_(sel), run_(run), wholeDays_(wholeDays) {}
  bool Load(int, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    return LoadClassicSelection(sel_, *this, run_, out, wholeDays_ ? nullptr : summariesOnly);
  }
  void Post(const ClassicPost& p) override {
    if (p.id == RID_ERROR || p.id == RID_OPEN_ERROR) failed = true;
  }
  void Post(UINT id, LPARAM) override {
    if (id >= 504 && id <= 506) failed = true;
  }
  void SetWaitCursor(bool) override {}
  bool failed = false;

 private:
  const CClassicSelection& sel_;
  RunControl& run_;
  bool wholeDays_;
};

// wholeDays: every day stays whole in memory until the report is written, as the run did before
// the multi-day block kept only the days' summaries (its peak shows when it runs alone).
void ClassicMultiDayRun(benchmark::State& state, bool wholeDays) {
  Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  ClassicRunSnapshot snap;
  snap.mdsOn = 1;
  snap.folder[CF_MDS] = y.root;
  snap.name[CF_MDS] = "YEAR.MDS";
  for (int i = 0; i < y.sel.dates.m_nSize; ++i) snap.settings.multiDates.push_back(y.sel.dates.m_pData[i]);
  for (int m = 0; m < 12; ++m) snap.settings.months.push_back(m);
  for (int d = 0; d < 7; ++d) {
    snap.settings.monthlyWeekdays.push_back(d);
    snap.settings.yearlyWeekdays.push_back(d);
  }
  snap.settings.averages = true;
  for (auto _ : state) {
    CClassicRunFlags flags;
    CBenchPort port(y.sel, flags, wholeDays);
    CClassicRun run(snap, port, flags);
    run.Run();
    if (port.failed || run.reportPath[CF_MDS].empty()) {
      state.SkipWithError("run failed");
      return;
    }
  }
  state.counters["peak_MB"] = PeakMegabytes();
  state.counters["report_MB"] = static_cast<double>(std::filesystem::file_size(y.root + "YEAR.MDS")) / 1e6;
}

void BM_ClassicMultiDayRun(benchmark::State& state) { ClassicMultiDayRun(state, false); }
void BM_ClassicMultiDayRunWholeDays(benchmark::State& state) { ClassicMultiDayRun(state, true); }

// A raw listing of a million lines: title lines each followed by a date, a header and 288 periods.
const std::string& Listing() {
  static const std::string path = [] {
    static const CBenchTempPath file("qav_classic_bench", ".dat");
    std::string p = file.Path();
    std::ofstream out(p, std::ios::binary);
    int lines = 0;
    for (int s = 0; lines < kViewerLines; ++s) {
      char title[96];
      std::snprintf(title, sizeof title, "ES-%03dD:_MN___%d  I-5          Location %-8d  %3d.%02d\r\n", s % 1000,
                    s % 7, s, s % 300, s % 100);
      out << title << "01/05/1995 (Thu)\r\n\r\n   Time    Vol   Occ  Flag\r\n";
      lines += 4;
      for (int p = 0; p < 288 && lines < kViewerLines; ++p, ++lines) {
        char line[64];
        std::snprintf(line, sizeof line, "  %02d:%02d  %5d  %4d.%d  G\r\n", p / 12, p % 12 * 5, p * 7 % 400, p % 90,
                      p % 10);
        out << line;
      }
    }
    return p;
  }();
  return path;
}

void BM_ReadLinesWithTextFile(benchmark::State& state) {
  const std::string& path = Listing();
  for (auto _ : state) {
    CStdioFile f;
    if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone)) {
      state.SkipWithError("open failed");
      return;
    }
    std::string line;
    int n = 0;
    while (f.ReadString(line)) ++n;
    benchmark::DoNotOptimize(n);
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["peak_MB"] = PeakMegabytes();
}

// The viewer's own reading: the lines, the section index and the cabinet list.
void BM_ViewerIndexListing(benchmark::State& state) {
  const std::string& path = Listing();
  for (auto _ : state) {
    CTextLines lines;
    if (lines.Load(path.c_str(), {}) != 0) {
      state.SkipWithError("load failed");
      return;
    }
    std::vector<SViewerSection> sections;
    IndexSections(lines, VFT_RAW, sections, {});
    benchmark::DoNotOptimize(CabinetLines(sections).size());
  }
  state.counters["peak_MB"] = PeakMegabytes();
}

// The whole opening in the viewer window (headless window system), text list included.
void BM_ViewerOpenListing(benchmark::State& state) {
  const std::string& path = Listing();
  qav::ui::SelectBackend("headless");
  qav::ui::BindUiThread();
  for (auto _ : state) {
    CViewer viewer;
    if (!viewer.ViewReportFile(path.c_str(), true, nullptr)) {
      state.SkipWithError("open failed");
      return;
    }
    benchmark::DoNotOptimize(viewer.m_nLineCount);
    // Closing is not timed; the freed blocks go back to the system so that each opening starts
    // from the same memory.
    state.PauseTiming();
    viewer.Close();
    qav::ui::PumpPending();
    malloc_trim(0);
    state.ResumeTiming();
  }
  state.counters["rss_after_MB"] = ResidentMegabytes();
  state.counters["peak_MB"] = PeakMegabytes();
}

}  // namespace

BENCHMARK(BM_ArchiveReaderLoops)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ClassicMultiDayRun)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ClassicMultiDayRunWholeDays)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReadLinesWithTextFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerIndexListing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerOpenListing)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
