// Reading a generated archive year: for every day, open the day's database file through the archive
// reader, read every element's records (or, in the Loops pair, the 500 loops of a 1,500-name day),
// close. The floor reads exactly the same byte ranges with plain open/pread/close on the calling
// thread. The application's common loader does what a report run does with the 500-element year:
// one data object per element, every element-day read and decoded. items_per_second is
// element-days per second of wall-clock time. The Ahead variants read each day's records in runs
// of nearby records first (CNTSODB::ReadAhead). BM_OneCoreLoopLoops is the plain loop on one core
// that the loader with one helper is measured against.
//
// Each year (500 or 2,000 elements, five-minute FIXED days) is generated once, when first used,
// into the temporary folder and removed at exit, also when the run is interrupted; QAV_BENCH_DAYS
// sets the number of days (default 365).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/decode_pool.h"
#include "app/shell/input_loader.h"
#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/sample_archive.h"
#include "bench_temp.h"
#include "platform/kernel/files.h"
#include "platform/kernel/paths.h"
#include "trafficdata/loop_day.h"

namespace {

constexpr int kElements = 500;

const CBenchTempPath g_folder("qav_archive_bench");

struct Range {
  uint64_t offset;
  size_t length;
};

struct Year {
  std::string root;
  std::vector<CDateTimeEx> days;
  std::vector<std::string> keys;
  std::vector<std::string> files;               // native paths of the .DAT files
  std::vector<std::vector<Range>> ranges;       // per day, per element read
  size_t elementDays = 0;
};

// Writes a year of `elements` elements into `folder` and lists the byte ranges that reading the
// keys (every element with five-minute records, or only the loops) takes on each day.
Year MakeYear(const std::string& folder, int elements, bool loopsOnly) {
  Year y;
  int days = 365;
  if (const char* d = std::getenv("QAV_BENCH_DAYS")) days = std::atoi(d) > 0 ? std::atoi(d) : days;
  y.root = folder;
  SampleArchiveOptions o;
  o.root = y.root;
  o.years = {1995};
  o.elements = elements;
  o.days = days;
  o.uniformDays = true;
  std::vector<SampleDayInfo> info;
  std::string message;
  if (WriteSampleArchive(o, &message, &info) != 0) {
    std::fprintf(stderr, "cannot write the archive: %s\n", message.c_str());
    std::exit(1);
  }
  for (const SampleElement& e : SampleElements(1995, elements))
    if (e.recordSize5 > 0 && (!loopsOnly || e.kind == 0)) y.keys.push_back(e.key);
  g_DataRootPath.Set(y.root.c_str());
  for (const SampleDayInfo& d : info) {
    CDateTimeEx day(d.year, d.month, d.day);
    CFMDBInput input;
    if (!input.Open(day)) continue;
    std::vector<Range> ranges;
    for (const std::string& key : y.keys) {
      const CNTSO* e = input.m_Database.FindName(key.c_str());
      if (e) ranges.push_back({e->m_dwOffset, static_cast<size_t>(e->m_wRecordSize) * 288});
    }
    y.days.push_back(day);
    y.files.push_back(ToNativePath(y.root + day.Format("DATA%Y\\%Y%m%d.DAT")));
    y.elementDays += ranges.size();
    y.ranges.push_back(std::move(ranges));
  }
  return y;
}

// 500 elements: 375 names a day, all of them read.
const Year& TheYear() {
  static const Year year = MakeYear(g_folder.Path() + "/whole/", kElements, false);
  return year;
}

// 2000 elements: 1500 names a day, of which the 500 loops are read.
const Year& WideYear() {
  static const Year year = MakeYear(g_folder.Path() + "/wide/", 4 * kElements, true);
  return year;
}

// With `ahead`, each day's records are read ahead in runs (CNTSODB::ReadAhead).
void ReadYear(benchmark::State& state, const Year& y, bool ahead = false) {
  g_DataRootPath.Set(y.root.c_str());
  CStream out;
  for (auto _ : state) {
    for (const CDateTimeEx& day : y.days) {
      CFMDBInput input;
      if (!input.Open(day)) {
        state.SkipWithError("open failed");
        return;
      }
      DWORD columns = input.m_Database.m_nColumns;
      if (ahead) input.m_Database.ReadAhead(y.keys.data(), y.keys.size(), 0, static_cast<int>(columns));
      for (const std::string& key : y.keys) {
        if (input.m_Database.ReadColumns(out, key.c_str(), 0, static_cast<int>(columns)) != 0) {
          state.SkipWithError("read failed");
          return;
        }
        benchmark::DoNotOptimize(out.m_pData[0]);
      }
      input.m_Database.Close();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(y.elementDays));
}

void PreadYear(benchmark::State& state, const Year& y) {
  std::vector<unsigned char> buffer(7 * 288);
  for (auto _ : state) {
    for (size_t d = 0; d < y.files.size(); ++d) {
      int fd = ::open(y.files[d].c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        state.SkipWithError("open failed");
        return;
      }
      for (const Range& r : y.ranges[d]) {
        if (::pread(fd, buffer.data(), r.length, static_cast<off_t>(r.offset)) != static_cast<ssize_t>(r.length)) {
          state.SkipWithError("read failed");
          ::close(fd);
          return;
        }
        benchmark::DoNotOptimize(buffer[0]);
      }
      ::close(fd);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(y.elementDays));
}

void BM_ArchiveReader(benchmark::State& state) { ReadYear(state, TheYear()); }
void BM_PreadFloor(benchmark::State& state) { PreadYear(state, TheYear()); }
void BM_ArchiveReaderLoops(benchmark::State& state) { ReadYear(state, WideYear()); }
void BM_PreadFloorLoops(benchmark::State& state) { PreadYear(state, WideYear()); }
void BM_ArchiveReaderLoopsAhead(benchmark::State& state) { ReadYear(state, WideYear(), true); }
void BM_ArchiveReaderAhead(benchmark::State& state) { ReadYear(state, TheYear(), true); }

class NoPoster : public IWorkerPoster {
 public:
  void Post(UINT, LPARAM) override {}
};

void BM_CommonLoader(benchmark::State& state) {
  const Year& y = TheYear();
  g_DataRootPath.Set(y.root.c_str());
  // The elements of the reader's keys, each with its cabinet, as a view's selection holds them.
  std::vector<std::unique_ptr<CDBCabinet>> cabinets;
  CObjArray<CDBElementEx> elements;
  for (const SampleElement& e : SampleElements(1995, kElements)) {
    if (e.recordSize5 == 0) continue;
    const size_t colon = e.key.find(':');
    static const int types[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
    cabinets.push_back(std::make_unique<CDBCabinet>(e.key.substr(0, colon).c_str(), "", 0, "", nullptr));
    elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), types[e.kind], cabinets.back().get()));
  }
  CObjArray<CDateTimeEx> days;
  for (const CDateTimeEx& d : y.days) days.Add(d);
  NoPoster poster;
  for (auto _ : state) {
    CRunFlags run;
    std::unique_ptr<CElementDataSet> set = LoadElementData(elements, days, poster, run);
    if (set == nullptr || run.progress.load() != LoadDayUnits(LoadSpeedup(y.elementDays), false, false) * y.elementDays) {
      state.SkipWithError("load incomplete");
      return;
    }
    benchmark::DoNotOptimize(set.get());
    // The caller frees the data when its report is written, not as part of the load.
    state.PauseTiming();
    set.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(y.elementDays));
}

// The common loader over the 500 loops of the wide year with at most state.range(0) helpers.
void BM_CommonLoaderLoops(benchmark::State& state) {
  const Year& y = WideYear();
  g_DataRootPath.Set(y.root.c_str());
  std::vector<std::unique_ptr<CDBCabinet>> cabinets;
  CObjArray<CDBElementEx> elements;
  for (const std::string& key : y.keys) {
    const size_t colon = key.find(':');
    cabinets.push_back(std::make_unique<CDBCabinet>(key.substr(0, colon).c_str(), "", 0, "", nullptr));
    elements.Add(CDBElementEx(key.substr(colon + 1).c_str(), ET_LOOP, cabinets.back().get()));
  }
  CObjArray<CDateTimeEx> days;
  for (const CDateTimeEx& d : y.days) days.Add(d);
  NoPoster poster;
  CDecodePool::LimitThreads(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CRunFlags run;
    std::unique_ptr<CElementDataSet> set = LoadElementData(elements, days, poster, run);
    if (set == nullptr || run.progress.load() != LoadDayUnits(LoadSpeedup(y.elementDays), false, false) * y.elementDays) {
      state.SkipWithError("load incomplete");
      break;
    }
    benchmark::DoNotOptimize(set.get());
    state.PauseTiming();
    set.reset();
    state.ResumeTiming();
  }
  CDecodePool::LimitThreads(0);
  state.counters["helpers"] = CDecodePool::DefaultThreads() < state.range(0) ? CDecodePool::DefaultThreads()
                                                                               : static_cast<double>(state.range(0));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(y.elementDays));
}

// The plain one-core loop a developer would write over the same loop element-days: open each day,
// read each loop's columns, decode them into one reused day object and total the day's volume and
// bad periods. The common loader with one helper is to be no slower.
void BM_OneCoreLoopLoops(benchmark::State& state) {
  const Year& y = WideYear();
  g_DataRootPath.Set(y.root.c_str());
  CStream out;
  CLoopDay day;
  for (auto _ : state) {
    int64_t volume = 0, bad = 0;
    for (const CDateTimeEx& d : y.days) {
      CFMDBInput input;
      if (!input.Open(d)) {
        state.SkipWithError("open failed");
        return;
      }
      const int columns = static_cast<int>(input.m_Database.m_nColumns);
      for (const std::string& key : y.keys) {
        if (input.m_Database.ReadColumns(out, key.c_str(), 0, columns) != 0) {
          state.SkipWithError("read failed");
          return;
        }
        day.Load(out.m_pData, out.m_nSize, columns);
        for (int p = 0; p < day.Count(); ++p) {
          volume += day.volume.m_pData[p];
          bad += day.flag.m_pData[p] == PC_BAD || day.nPds.m_pData[p] == 0;
        }
      }
    }
    benchmark::DoNotOptimize(volume);
    benchmark::DoNotOptimize(bad);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(y.elementDays));
}

BENCHMARK(BM_ArchiveReader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CommonLoader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CommonLoaderLoops)->Unit(benchmark::kMillisecond)->UseRealTime()->Arg(1)->Arg(2)->Arg(4)->Arg(64)->Repetitions(3);
BENCHMARK(BM_OneCoreLoopLoops)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_PreadFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ArchiveReaderLoops)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreadFloorLoops)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ArchiveReaderLoopsAhead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ArchiveReaderAhead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
