// The text viewer over a large raw data listing on the Qt backend (offscreen): the resident size of
// the process above its start after the report is open (against the file's size) and after the
// viewer is closed. QAV_BENCH_VIEWER_MB sets the report's size (default 1000 MB).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/viewer/viewer.h"
#include "bench_temp.h"
#include "platform/kernel/release.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"

namespace {

double ResidentMB() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return static_cast<double>(resident) * 4096.0 / 1048576.0;
}

// QAV_BENCH_BACKEND=headless measures the viewer without Qt's share.
bool StartQt() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const char* backend = std::getenv("QAV_BENCH_BACKEND");
  static bool ok = qav::ui::SelectBackend(backend != nullptr ? backend : "qt");
  qav::ui::BindUiThread();
  return ok;
}

// A raw data listing of about `mb` megabytes: days of 500 elements, a title line, the date, a blank
// line, the column heads and 288 five-minute lines each.
const std::string& Report(size_t mb) {
  static const CBenchTempPath file("qav_viewer_bench", ".dat");
  static const std::string path = [&] {
    std::string p = file.Path();
    FILE* f = std::fopen(p.c_str(), "wb");
    if (f == nullptr) return std::string();
    size_t written = 0;
    char line[128];
    for (int day = 0; written < mb * 1000000; ++day) {
      for (int e = 0; e < 500 && written < mb * 1000000; ++e) {
        int n = std::snprintf(line, sizeof line, "ES-%03dD:_MN__%02d  I-5          Station Rd %5d       12.34\r\n", e,
                              e % 100, e);
        n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "01/%02d/2003 (Sun)\r\n\r\n", day % 28 + 1);
        std::fwrite(line, 1, static_cast<size_t>(n), f);
        written += static_cast<size_t>(n);
        std::fputs("   Time   Vol   Occ  Speed  Valid\r\n", f);
        written += 35;
        for (int i = 0; i < 288; ++i) {
          n = std::snprintf(line, sizeof line, "  %02d:%02d  %4d  %4.1f  %5.1f      G\r\n", i / 12, i % 12 * 5,
                            (i * 7 + e) % 300, (i % 50) * 0.7, 55.0 + i % 10);
          std::fwrite(line, 1, static_cast<size_t>(n), f);
          written += static_cast<size_t>(n);
        }
      }
    }
    std::fclose(f);
    return p;
  }();
  return path;
}

void BM_ViewerLargeReport(benchmark::State& state) {
  if (!StartQt()) return state.SkipWithError("Qt cannot start");
  size_t mb = 1000;
  if (const char* s = std::getenv("QAV_BENCH_VIEWER_MB")) mb = std::strtoul(s, nullptr, 10) > 0 ? std::strtoul(s, nullptr, 10) : mb;
  const std::string& path = Report(mb);
  if (path.empty()) return state.SkipWithError("cannot write the report");
  FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  const double fileMB = static_cast<double>(std::ftell(f)) / 1048576.0;
  std::fclose(f);
  double start = 0, open = 0, closed = 0;
  int lines = 0;
  for (auto _ : state) {
    start = ResidentMB();
    CViewer viewer;
    if (!viewer.ViewReportFile(path.c_str(), true, CWnd::GetDesktopWindow())) return state.SkipWithError("not shown");
    qav::ui::PumpPending();
    lines = viewer.m_nLineCount;
    open = ResidentMB();
    viewer.Close();
    qav::ui::PumpPending();
    qav::WaitForReleases();  // the index and the heap's trim go on the release thread
    closed = ResidentMB();
  }
  state.counters["file_MB"] = fileMB;
  state.counters["lines"] = lines;
  state.counters["open_above_start_MB"] = open - start;
  state.counters["closed_above_start_MB"] = closed - start;
}

BENCHMARK(BM_ViewerLargeReport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(2);

}  // namespace

BENCHMARK_MAIN();
