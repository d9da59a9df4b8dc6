// The full multi-day summary of a generated year of 500 loops, end to end: every day file of the
// year opened through the archive reader, each loop's records loaded into its day, then for every
// loop the monthly tables (12 months x 7 weekdays), the yearly tables (7 weekdays) and the three
// annual averages written as report text.
//
// BM_MultiDayYear reads a five-minute archive year (2,000 elements, 1,500 names a day, 500 of them
// loops) generated once into the temporary folder and removed at exit. BM_MultiDayYearTwentySecond
// runs the same summary over 20-second loop days built from the generator's records in memory,
// keeping every loaded day; ...SummariesOnly keeps only each day's summaries once it is loaded,
// as a run that writes only the multi-day report may. QAV_BENCH_LOOPS sets their number of loops
// (default 500). Run each on its own (--benchmark_filter=TwentySecond/ or =SummariesOnly) for its
// peak_rss_MB.
//
// Counters: text_bytes and text_hash (FNV-1a, modulo 10^6) of the whole report, so that two
// builds can be checked for the same bytes; held_MB = what the loaded days hold (objects and
// array blocks); peak_rss_MB = the process's peak resident memory so far.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/sample_archive.h"
#include "bench_temp.h"
#include "trafficdata/loop_data.h"

namespace {

constexpr int kElements = 2000;  // every fourth element is a loop
constexpr int kYear = 1995;

const CBenchTempPath g_folder("qav_multiday_bench");

class CHashSink : public ReportSink {
 public:
  size_t bytes = 0;
  uint64_t hash = 14695981039346656037ull;
  bool write(std::string_view text) override {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    bytes += text.size();
    return true;
  }
  void notifyCancelled() override {}
};

std::vector<CDateTimeEx> YearDates() {
  std::vector<CDateTimeEx> dates;
  for (CDateTimeEx d(kYear, 1, 1); d.GetYear() == kYear; d += COleDateTimeSpan(1.0)) dates.push_back(d);
  return dates;
}

// Every month, every weekday of the monthly and yearly tables, and the annual averages.
ClassicSettings FullSummary(const std::vector<CDateTimeEx>& dates) {
  ClassicSettings s;
  for (const CDateTimeEx& d : dates) s.multiDates.push_back(&d);
  for (int m = 0; m < 12; ++m) s.months.push_back(m);
  for (int w = 0; w < 7; ++w) s.monthlyWeekdays.push_back(w), s.yearlyWeekdays.push_back(w);
  s.averages = true;
  return s;
}

size_t BytesHeld(const CLoopData& data) {
  size_t held = sizeof(CLoopData);
  for (int d = 0; d < data.days.m_nSize; ++d) {
    const CLoopDay* day = data.LoopDay(d);
    if (day)
      held += sizeof(CLoopDay) + day->flag.m_nAllocBytes + day->nPds.m_nAllocBytes + day->volume.m_nAllocBytes +
              day->occupancy.m_nAllocBytes;
  }
  return held;
}

double PeakRssMB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Writes every loop's multi-day report and sets the counters.
void Report(benchmark::State& state, const std::vector<std::unique_ptr<CLoopData>>& loops,
            const ClassicSettings& s) {
  CHashSink sink;
  CRunFlags run;
  size_t held = 0;
  for (const auto& loop : loops) {
    held += BytesHeld(*loop);
    if (loop->WriteMultiDayReport(s, sink, run) != EReportResult::Done) state.SkipWithError("report failed");
  }
  state.counters["text_bytes"] = static_cast<double>(sink.bytes);
  state.counters["text_hash"] = static_cast<double>(sink.hash % 1000000u);
  state.counters["held_MB"] = static_cast<double>(held) / (1024.0 * 1024.0);
}

struct Archive {
  std::vector<CDateTimeEx> dates;
  std::vector<std::string> loopKeys;
};

const Archive& TheArchive() {
  static const Archive archive = [] {
    Archive a;
    const std::string root = g_folder.Path() + "/";
    SampleArchiveOptions o;
    o.root = root;
    o.years = {kYear};
    o.elements = kElements;
    o.days = 365;
    o.uniformDays = true;
    std::string message;
    if (WriteSampleArchive(o, &message) != 0) {
      std::fprintf(stderr, "cannot write the archive: %s\n", message.c_str());
      std::exit(1);
    }
    g_DataRootPath.Set(root.c_str());
    a.dates = YearDates();
    for (const SampleElement& e : SampleElements(kYear, kElements))
      if (e.kind == 0) a.loopKeys.push_back(e.key);
    return a;
  }();
  return archive;
}

void BM_MultiDayYear(benchmark::State& state) {
  const Archive& a = TheArchive();
  const ClassicSettings s = FullSummary(a.dates);
  const int nDays = static_cast<int>(a.dates.size());
  for (auto _ : state) {
    std::vector<std::unique_ptr<CLoopData>> loops;
    for (size_t i = 0; i < a.loopKeys.size(); ++i)
      loops.push_back(std::make_unique<CLoopData>(nDays, nullptr, static_cast<int>(i)));
    CStream records;
    for (int d = 0; d < nDays; ++d) {
      CFMDBInput input;
      if (!input.Open(a.dates[static_cast<size_t>(d)])) continue;  // the day stays without data
      for (size_t i = 0; i < a.loopKeys.size(); ++i) {
        if (input.m_Database.ReadColumns(records, a.loopKeys[i].c_str(), 0, 288) != 0) continue;
        if (CElementDay* day = loops[i]->Day(d)) day->Load(records.m_pData, records.m_nSize, 288);
      }
    }
    Report(state, loops, s);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(a.loopKeys.size()) * nDays);
  state.counters["peak_rss_MB"] = PeakRssMB();
}

void TwentySecondYear(benchmark::State& state, bool summariesOnly) {
  int nLoops = 500;
  if (const char* n = std::getenv("QAV_BENCH_LOOPS")) nLoops = std::atoi(n) > 0 ? std::atoi(n) : nLoops;
  const std::vector<CDateTimeEx> dates = YearDates();
  const ClassicSettings s = FullSummary(dates);
  const int nDays = static_cast<int>(dates.size());
  // Records of 8 loops x 7 days of the generator, reused across the year.
  std::vector<std::vector<uint8_t>> records;
  for (int d = 0; d < 7; ++d)
    for (int e = 0; e < 8; ++e) records.push_back(SampleRecords(1, kYear, 1, 1 + d, 4 * e, 0, 4320));
  for (auto _ : state) {
    std::vector<std::unique_ptr<CLoopData>> loops;
    for (int i = 0; i < nLoops; ++i) loops.push_back(std::make_unique<CLoopData>(nDays, nullptr, i));
    for (int d = 0; d < nDays; ++d) {
      for (int i = 0; i < nLoops; ++i) {
        const std::vector<uint8_t>& r = records[static_cast<size_t>((d % 7) * 8 + (i + d / 7) % 8)];
        CLoopData& loop = *loops[static_cast<size_t>(i)];
        if (CElementDay* day = loop.Day(d)) {
          day->Load(r.data(), static_cast<int>(r.size()), 4320);
          if (summariesOnly) loop.KeepOnlySummaries(d, s.criteria);
        }
      }
    }
    Report(state, loops, s);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(nLoops) * nDays);
  state.counters["peak_rss_MB"] = PeakRssMB();
}

void BM_MultiDayYearTwentySecond(benchmark::State& state) { TwentySecondYear(state, false); }
void BM_MultiDayYearTwentySecondSummariesOnly(benchmark::State& state) { TwentySecondYear(state, true); }

BENCHMARK(BM_MultiDayYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_MultiDayYearTwentySecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_MultiDayYearTwentySecondSummariesOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
