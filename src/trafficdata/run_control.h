// What the report drivers and row builders need of a running report: the keep-going flag and
// progress counter shared with the user-interface thread, and the open report file.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string_view>

// Keep-going flag and progress counter of one run. The user-interface thread clears the flag
// (Cancel) and reads the counter (wait dialog) while the worker runs, so both are atomics.
class RunControl {
 public:
  virtual ~RunControl() = default;
  virtual bool keepGoing() const = 0;
  virtual void addProgress(uint32_t n) = 0;
  // The run will add `units` more (or, negative, fewer) than the range it started with.
  virtual void addRange(int64_t /*units*/) {}
  // The loader read a day file of the 20-second layout (fine) or of the five-minute layout.
  virtual void noteDayLayout(bool /*fine*/) {}
};

// Units of the progress counter. Each piece of work adds about as many units as it takes time, so
// that the wait dialog's bar follows a run and its time left holds; the views' estimates count the
// same units. The weights were measured on large runs (a year of a Classic run's three blocks for
// 192 elements, New view listings of 4.35 and 17.4 million rows, a year of daily and of monthly
// day-of-week rows, 15-minute rows of each element kind) in an optimised and in a sanitizer build,
// and each is the geometric mean of the two: the builds differ most in what formatting text costs
// beside reading and summing, and the mean leaves either about equally far from its own pace. A
// unit is about 10 ns of optimised work; a row written by the pivot walk takes 10. The loader's
// units (its element-days and the rows made while it reads) are those of a load with one helper
// thread; the loader divides them by its speedup on more (LoadSpeedup).
constexpr uint32_t kProgressLoadDay = 170;       // an element-day the loader read, or found without data
constexpr uint32_t kProgressSummaryDay = 60;     // and its summaries, when the loader keeps only those
constexpr uint32_t kProgressRawDay = 4200;       // an element-day of the raw data listing
constexpr uint32_t kProgress15MinDay = 770;      // an element-day's 15-minute summary table
constexpr uint32_t kProgressDailyDay = 750;      // an element-day's daily summary table
constexpr uint32_t kProgressMultiDayLine = 90;   // a line of a multi-day table
constexpr uint32_t kProgressRowDay = 120;        // an element-day summed into report rows
constexpr uint32_t kProgressRowSlot = 4;         // each report period of that element-day
constexpr uint32_t kProgressRowMade = 4;         // each report row made
constexpr uint32_t kProgressSortKeyScan = 1;     // each row in each of the two scans for its sort key
constexpr uint32_t kProgressSortKeyPack = 2;     // each row's sort key packed
constexpr uint32_t kProgressSortMerge = 3;       // a merge of the report rows' sort (one per row)
constexpr uint32_t kProgressWalkRow = 10;        // a row written by the pivot walk
// A 20-second day has fifteen times the records: reading and decoding it takes about seven times
// as long, its 15-minute and daily tables two and three times (the raw listing keeps its 288 lines
// and about its time). Such an element-day adds these units in place of the ones above (measured
// alike). Summing a 20-second day into report rows takes several times as long as a five-minute
// day: its spans hold fifteen times the intervals.
constexpr uint32_t kProgressLoadFineDay = 1200;
constexpr uint32_t kProgress15MinFineDay = 1300;
constexpr uint32_t kProgressDailyFineDay = 2050;
constexpr uint32_t kProgressRowFineDay = 1500;

// A pass over many items adds its units as it goes, a step of items at a time.
class CPassProgress {
 public:
  static constexpr int kStep = 1 << 16;
  // `run` may be null: nothing is added.
  CPassProgress(RunControl* run, uint32_t unitsPerItem) : m_run(run), m_units(unitsPerItem) {}
  ~CPassProgress() { Flush(); }
  CPassProgress(const CPassProgress&) = delete;
  CPassProgress& operator=(const CPassProgress&) = delete;
  // More items are done.
  void Done(int64_t items = 1) {
    m_items += items;
    if (m_items >= kStep) Flush();
  }
  // Adds the units of the items done since the last step.
  void Flush() {
    for (; m_items > 0; m_items -= std::min<int64_t>(m_items, kStep))
      if (m_run != nullptr) m_run->addProgress(static_cast<uint32_t>(std::min<int64_t>(m_items, kStep)) * m_units);
  }

 private:
  RunControl* m_run;
  uint32_t m_units;
  int64_t m_items = 0;
};

// Days of each layout the loader has read in a run. The views' estimates come in two versions,
// for five-minute and for 20-second days; the wait dialog's range moves between them by the share
// of 20-second days read so far, so that it holds from the first day file on.
class CDayLayouts {
 public:
  void note(bool fine) { (fine ? fine_ : fiveMinute_).fetch_add(1, std::memory_order_relaxed); }
  void reset() {
    fine_.store(0, std::memory_order_relaxed);
    fiveMinute_.store(0, std::memory_order_relaxed);
  }
  // `fiveMinute` until a day is read.
  int64_t range(int64_t fiveMinute, int64_t fine) const {
    const uint32_t f = fine_.load(std::memory_order_relaxed), n = f + fiveMinute_.load(std::memory_order_relaxed);
    if (n == 0 || f == 0) return fiveMinute;
    return fiveMinute + static_cast<int64_t>(static_cast<double>(fine - fiveMinute) * f / n);
  }

 private:
  std::atomic<uint32_t> fine_{0}, fiveMinute_{0};
};

// The usual RunControl: a flag and a counter, both relaxed atomics.
class CRunFlags : public RunControl {
 public:
  std::atomic<uint8_t> keepGoingFlag{1};
  std::atomic<uint64_t> progress{0};
  CDayLayouts layouts;
  // Units the run has found it will add beyond the range it started with; the bar's range grows
  // by them.
  std::atomic<int64_t> rangeAdded{0};

  bool keepGoing() const override { return keepGoingFlag.load(std::memory_order_relaxed) != 0; }
  void addProgress(uint32_t n) override { progress.fetch_add(n, std::memory_order_relaxed); }
  void addRange(int64_t units) override { rangeAdded.fetch_add(units, std::memory_order_relaxed); }
  void noteDayLayout(bool fine) override { layouts.note(fine); }
  void cancel() { keepGoingFlag.store(0, std::memory_order_relaxed); }
};

// The report file of a Classic run and the view to tell about cancellation.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  // Writes one element's day or table text; false when the file could not take it (disk full,
  // share gone). The sink keeps the first error for the worker to report.
  virtual bool write(std::string_view text) = 0;
  // The driver stopped because keep-going was cleared ("Process canceled by the User").
  virtual void notifyCancelled() = 0;
};

// Result of a Classic report driver: Failed when the sink refused a text, NoMemory when a text
// could not be made whole for want of memory (nothing of it was written).
enum class EReportResult { Done, Cancelled, Failed, NoMemory };
