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
#include "trafficdata/packed_records.h"
#include "trafficdata/speed_trap_day.h"
#include "trafficdata/station_day.h"

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
    CDayReportScope scope(day);  // as the single-day report opens it around both summaries
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

// A station of 4 lanes and a speed trap, end to end like the loop day above: decode, classify,
// the five summary kinds and the single-day summary text.
std::vector<unsigned char> StationRecords(int count) {
  std::mt19937 rng(520);
  std::vector<unsigned char> b(static_cast<size_t>(count) * 4);
  const bool five = count == 288;
  for (int i = 0; i < count; ++i) {
    if (five) {
      trafficdata::StationPeriodRecord r;
      r.flag = rng() % 20 == 0 ? 2 : 1;
      r.nPds = rng() % 30 == 0 ? 12 : 15;
      r.laneCount = rng() % 40 == 0 ? 3 : 4;
      r.occupancy = static_cast<uint16_t>(40 + rng() % 200);
      r.volume = static_cast<uint16_t>(4 * (5 + rng() % 120));
      trafficdata::PackStationPeriod(r, b.data() + 4 * i);
    } else {
      trafficdata::StationIntervalRecord r;
      r.laneCount = rng() % 50 == 0 ? 0 : 4;
      r.good = rng() % 40 == 0 ? 0 : 1;
      r.occupancy = static_cast<uint16_t>(rng() % 300);
      r.volume = static_cast<uint8_t>(rng() % 40);
      trafficdata::PackStationInterval(r, b.data() + 3 * i);
    }
  }
  b.resize(static_cast<size_t>(count) * (five ? 4 : 3));
  return b;
}

std::vector<unsigned char> SpeedTrapRecords(int count) {
  std::mt19937 rng(405);
  const bool five = count == 288;
  const int rb = five ? trafficdata::kSpeedTrapPeriodBytes : trafficdata::kSpeedTrapIntervalBytes;
  std::vector<unsigned char> b(static_cast<size_t>(count) * rb);
  for (int i = 0; i < count; ++i) {
    if (five) {
      trafficdata::SpeedTrapPeriodRecord r;
      r.flag = rng() % 20 == 0 ? 2 : 1;
      r.nPds = 15;
      r.speed = static_cast<uint16_t>(450 + rng() % 250);
      r.length = static_cast<uint16_t>(150 + rng() % 400);
      r.bin1 = static_cast<uint8_t>(rng() % 100);
      r.bin2 = static_cast<uint8_t>(rng() % 20);
      r.bin3 = static_cast<uint8_t>(rng() % 10);
      r.bin4 = static_cast<uint8_t>(rng() % 5);
      trafficdata::PackSpeedTrapPeriod(r, b.data() + rb * i);
    } else {
      trafficdata::SpeedTrapIntervalRecord r;
      r.present = rng() % 50 == 0 ? 0 : 1;
      r.flags = rng() % 40 == 0 ? 0x04 : 0;
      r.speed = static_cast<uint16_t>(450 + rng() % 250);
      r.length = static_cast<uint16_t>(150 + rng() % 400);
      r.bin1 = static_cast<uint8_t>(rng() % 8);
      r.bin2 = static_cast<uint8_t>(rng() % 3);
      r.bin3 = static_cast<uint8_t>(rng() % 2);
      r.bin4 = static_cast<uint8_t>(rng() % 2);
      trafficdata::PackSpeedTrapInterval(r, b.data() + rb * i);
    }
  }
  return b;
}

template <class Day>
void RunOtherDay(benchmark::State& state, const std::vector<unsigned char>& records, int count) {
  const ValidityTables criteria = builtInCriteria();
  size_t textBytes = 0;
  for (auto _ : state) {
    Day day;
    day.Load(records.data(), static_cast<int>(records.size()), count);
    CText text("");
    CDayReportScope scope(day);
    day.Write15MinReport(text, 0, true, true);
    day.WriteDailyReport(text, 0, criteria);
    benchmark::DoNotOptimize(text.m_pData);
    textBytes = static_cast<size_t>(text.m_nSize);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["text_bytes"] = static_cast<double>(textBytes);
}

void BM_StationDayFiveMinute(benchmark::State& state) {
  static const std::vector<unsigned char> records = StationRecords(288);
  RunOtherDay<CStationDay>(state, records, 288);
}

void BM_StationDayTwentySecond(benchmark::State& state) {
  static const std::vector<unsigned char> records = StationRecords(4320);
  RunOtherDay<CStationDay>(state, records, 4320);
}

void BM_SpeedTrapDayFiveMinute(benchmark::State& state) {
  static const std::vector<unsigned char> records = SpeedTrapRecords(288);
  RunOtherDay<CSpeedTrapDay>(state, records, 288);
}

void BM_SpeedTrapDayTwentySecond(benchmark::State& state) {
  static const std::vector<unsigned char> records = SpeedTrapRecords(4320);
  RunOtherDay<CSpeedTrapDay>(state, records, 4320);
}

// The New view's span values of a station day: one 15-minute row of every content under the
// interpolated method, for the 96 slots of a day.
void BM_StationDaySpansMethod6(benchmark::State& state) {
  static const std::vector<unsigned char> records = StationRecords(288);
  CStationDay day;
  day.Load(records.data(), static_cast<int>(records.size()), 288);
  const SSpeedParams sp;
  for (auto _ : state) {
    int64_t sum = 0;
    for (int t = 0; t < 4320; t += 45)
      sum += day.GetSpanVolume(t, 45, 6) + day.GetSpanOccupancy(t, 45, 6) + day.GetSpanSpeed(t, 45, 6, sp) +
             day.GetSpanPeriods(t, 45, 6) + day.GetSpanValidity(t, 45, 6) + day.GetSpanFlag(t, 45, 6);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_LoopDayFiveMinute);
BENCHMARK(BM_LoopDayTwentySecond);
BENCHMARK(BM_LoopDayDecodeOnly);
BENCHMARK(BM_LoopDaySummariesOnly);
BENCHMARK(BM_StationDayFiveMinute);
BENCHMARK(BM_StationDayTwentySecond);
BENCHMARK(BM_SpeedTrapDayFiveMinute);
BENCHMARK(BM_SpeedTrapDayTwentySecond);
BENCHMARK(BM_StationDaySpansMethod6);
BENCHMARK_MAIN();

// Peak search of the New view over 20-second days of a speed trap and a metered lane: the AM peak
// of one day with a 15-minute and a one-hour period (2116 and 1981 windows), under
// a plain method (3) and the interpolating one (6). One element-day per iteration.
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"
#include "trafficdata/metered_lane_data.h"
#include "trafficdata/run_control.h"
#include "trafficdata/speed_trap_data.h"

namespace peaks {

std::vector<unsigned char> MeteredLaneRecords() {
  std::mt19937 rng(612);
  std::vector<unsigned char> b(4320 * trafficdata::kMeteredLaneBytes);
  for (int i = 0; i < 4320; ++i) {
    trafficdata::MeteredLaneRecord r;
    r.rate = rng() % 25 == 0 ? 0 : static_cast<uint8_t>(1 + rng() % 200);
    r.redViolators = static_cast<uint8_t>(rng() % 3);
    r.status = static_cast<uint8_t>(rng() % 16);
    trafficdata::PackMeteredLane(r, b.data() + trafficdata::kMeteredLaneBytes * i);
  }
  return b;
}

struct PeakRun : RunControl {
  bool keepGoing() const override { return true; }
  void addProgress(uint32_t) override {}
};

template <class Data>
void RunPeakSearch(benchmark::State& state, const std::vector<unsigned char>& records, int type) {
  CDBRoadway road("SR 99");
  CDBCabinet cab("099es00100", "", 100, "Cedar Creek Br", &road);
  CDBElementEx elem("_ME___1", type, &cab);
  CDateTimeEx date(2004, 1, 5);
  Data data(1, &elem, 1);
  data.Day(0)->Load(records.data(), static_cast<int>(records.size()), 4320);
  NewSettings s;
  s.method = static_cast<int>(state.range(1));
  s.periodLen = static_cast<int>(state.range(0));
  s.reportType = 1;
  s.content[CC_PEAK_TIME] = true;
  s.dates.push_back(&date);
  s.groups.push_back({0});
  PeakRun run;
  for (auto _ : state) {
    CDBRecordset rows;
    data.BuildPeakRecords(rows, s, run);
    benchmark::DoNotOptimize(rows.m_pData);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_SpeedTrapPeakSearch(benchmark::State& state) {
  static const std::vector<unsigned char> records = SpeedTrapRecords(4320);
  RunPeakSearch<CSpeedTrapData>(state, records, ET_SPEED_TRAP);
}

void BM_MeteredLanePeakSearch(benchmark::State& state) {
  static const std::vector<unsigned char> records = MeteredLaneRecords();
  RunPeakSearch<CMeteredLaneData>(state, records, ET_RATE_STATUS);
}

}  // namespace peaks

BENCHMARK(peaks::BM_SpeedTrapPeakSearch)->ArgsProduct({{45, 180}, {3, 6}})->Unit(benchmark::kMicrosecond);
BENCHMARK(peaks::BM_MeteredLanePeakSearch)->ArgsProduct({{45, 180}, {3, 6}})->Unit(benchmark::kMicrosecond);
