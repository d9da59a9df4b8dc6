// One loop element-day end to end: decode the packed records, classify the periods, compute the
// five summary kinds and write the single-day summary text (15-minute and daily), in the
// five-minute layout (288 records) and the 20-second layout (4320 records).
//
// Counters: items_per_second = element-days per second on one core; bytes_per_day = memory the
// loaded day holds (object plus array blocks).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "trafficdata/loop_day.h"

namespace {

std::vector<unsigned char> FiveMinuteRecords() {
  std::mt19937 rng(1993);
  std::vector<unsigned char> b;
  for (int p = 0; p < 288; ++p) {
    int flag = rng() % 20 == 0 ? 2 : 1;
    int n = rng() % 30 == 0 ? 12 : 15;
    int occ = 40 + static_cast<int>(rng() % 200);
    int vol = 5 + static_cast<int>(rng() % 120);
    b.push_back(static_cast<unsigned char>(flag << 6 | n << 2 | occ >> 8));
    b.push_back(static_cast<unsigned char>(occ & 0xFF));
    b.push_back(static_cast<unsigned char>(vol));
  }
  return b;
}

std::vector<unsigned char> TwentySecondRecords() {
  std::mt19937 rng(2026);
  std::vector<unsigned char> b;
  for (int i = 0; i < 4320; ++i) {
    bool present = rng() % 50 != 0;
    int code = rng() % 40 == 0 ? 7 : 0;
    int occ = static_cast<int>(rng() % 300);
    int vol = static_cast<int>(rng() % 12);
    b.push_back(static_cast<unsigned char>((present ? 0x08 : 0) | occ >> 8));
    b.push_back(static_cast<unsigned char>(occ & 0xFF));
    b.push_back(static_cast<unsigned char>(code << 5 | vol));
  }
  return b;
}

size_t BytesHeld(const CLoopDay& day) {
  return sizeof(CLoopDay) + day.flag.m_nAllocBytes + day.nPds.m_nAllocBytes + day.volume.m_nAllocBytes +
         day.occupancy.m_nAllocBytes;
}

void RunDay(benchmark::State& state, const std::vector<unsigned char>& records, int count) {
  const ValidityTables criteria = builtInCriteria();
  size_t textBytes = 0;
  size_t held = 0;
  for (auto _ : state) {
    CLoopDay day;
    day.Load(records.data(), static_cast<int>(records.size()), count);
    CText text("");
    day.Write15MinReport(text, 0, true, true);
    day.WriteDailyReport(text, 0, criteria);  // computes the five summary kinds
    benchmark::DoNotOptimize(text.m_pData);
    textBytes = static_cast<size_t>(text.m_nSize);
    held = BytesHeld(day);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_day"] = static_cast<double>(held);
  state.counters["text_bytes"] = static_cast<double>(textBytes);
}

void BM_LoopDayFiveMinute(benchmark::State& state) {
  static const std::vector<unsigned char> records = FiveMinuteRecords();
  RunDay(state, records, 288);
}

void BM_LoopDayTwentySecond(benchmark::State& state) {
  static const std::vector<unsigned char> records = TwentySecondRecords();
  RunDay(state, records, 4320);
}

// The parts on their own, five-minute layout.
void BM_LoopDayDecodeOnly(benchmark::State& state) {
  static const std::vector<unsigned char> records = FiveMinuteRecords();
  CLoopDay day;
  for (auto _ : state) {
    day.Load(records.data(), static_cast<int>(records.size()), 288);
    benchmark::DoNotOptimize(day.volume.m_pData);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_LoopDaySummariesOnly(benchmark::State& state) {
  static const std::vector<unsigned char> records = FiveMinuteRecords();
  const ValidityTables criteria = builtInCriteria();
  CLoopDay day;
  day.Load(records.data(), static_cast<int>(records.size()), 288);
  for (auto _ : state) {
    for (int k = 0; k < SK_COUNT; ++k) benchmark::DoNotOptimize(day.ComputeSummary(k, criteria));
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_LoopDayFiveMinute);
BENCHMARK(BM_LoopDayTwentySecond);
BENCHMARK(BM_LoopDayDecodeOnly);
BENCHMARK(BM_LoopDaySummariesOnly);
BENCHMARK_MAIN();
