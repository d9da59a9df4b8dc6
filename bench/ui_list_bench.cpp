// List boxes on the Qt backend (offscreen): a million lines filled and shown, and a sorted list
// filled in random order. Reports the resident memory the lines added beyond their text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"

namespace {

long ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * 4096;
}

const DialogTemplate kList{9900, "Lines", 300, 200, {{Ctl::ListBox, 9901, "", LBS_NOSEL, 7, 7, 286, 186}}};
const DialogTemplate kSorted{9902, "Sorted", 300, 200, {{Ctl::ListBox, 9903, "", LBS_SORT, 7, 7, 286, 186}}};

bool StartQt() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static bool ok = qav::ui::SelectBackend("qt");
  qav::ui::BindUiThread();
  RegisterDialogTemplate(&kList);
  RegisterDialogTemplate(&kSorted);
  return ok;
}

void BM_MillionLines(benchmark::State& state) {
  if (!StartQt()) return state.SkipWithError("Qt cannot start");
  const int n = static_cast<int>(state.range(0));
  std::vector<std::string> text(static_cast<size_t>(n));
  size_t textBytes = 0;
  for (int i = 0; i < n; ++i) {
    text[static_cast<size_t>(i)] = "12:34 I-5 N " + std::to_string(i);
    textBytes += text[static_cast<size_t>(i)].size() + 1;
  }
  long extra = 0;
  for (auto _ : state) {
    CDialog dlg;
    dlg.Create(9900);
    dlg.ShowWindow(SW_SHOW);
    qav::ui::PumpPending();
    long before = ResidentBytes();
    auto* list = static_cast<CListBox*>(dlg.GetDlgItem(9901));
    for (const std::string& t : text) list->AddString(t.c_str());
    qav::ui::PumpPending();  // the view takes the lines in
    list->SetTopIndex(n - 10);
    qav::ui::PumpPending();
    extra = ResidentBytes() - before - static_cast<long>(textBytes);
    state.PauseTiming();
    dlg.DestroyWindow();
    qav::ui::PumpPending();
    state.ResumeTiming();
  }
  state.counters["MB_beyond_text"] = static_cast<double>(extra) / (1024.0 * 1024.0);
}
BENCHMARK(BM_MillionLines)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SortedLines(benchmark::State& state) {
  if (!StartQt()) return state.SkipWithError("Qt cannot start");
  const int n = static_cast<int>(state.range(0));
  std::mt19937 rng(7);
  std::vector<std::string> text(static_cast<size_t>(n));
  for (auto& t : text) t = "Cabinet " + std::to_string(rng() % 1000000);
  for (auto _ : state) {
    CDialog dlg;
    dlg.Create(9902);
    dlg.ShowWindow(SW_SHOW);
    auto* list = static_cast<CListBox*>(dlg.GetDlgItem(9903));
    for (const std::string& t : text) list->AddString(t.c_str());
    qav::ui::PumpPending();
    state.PauseTiming();
    dlg.DestroyWindow();
    qav::ui::PumpPending();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SortedLines)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
