// What the report drivers and row builders need of a running report: the keep-going flag and
// progress counter shared with the user-interface thread, and the open report file.
#pragma once

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
  // The loader read a day file of the 20-second layout (fine) or of the five-minute layout.
  virtual void noteDayLayout(bool /*fine*/) {}
};

// Units of the progress counter. Each piece of work adds about as many units as it takes time
// (measured on five-minute data, between an optimised and a sanitizer build), so that the wait
// dialog's bar follows a run and its time left holds; the views' estimates count the same units.
constexpr uint32_t kProgressLoadDay = 35;      // an element-day the loader read, or found without data
constexpr uint32_t kProgressSummaryDay = 21;   // and its summaries, when the loader keeps only those
constexpr uint32_t kProgressRawDay = 448;      // an element-day of the raw data listing
constexpr uint32_t kProgress15MinDay = 59;     // an element-day's 15-minute summary table
constexpr uint32_t kProgressDailyDay = 75;     // an element-day's daily summary table
constexpr uint32_t kProgressMultiDayLine = 3;  // a line of a multi-day table
constexpr uint32_t kProgressRowDay = 70;       // an element-day summed into report rows
constexpr uint32_t kProgressRowSlot = 3;       // each report period of that element-day
constexpr uint32_t kProgressSortMerge = 1;     // a merge of the report rows' sort
constexpr uint32_t kProgressWalkRow = 1;       // a row written by the pivot walk
// A 20-second day has fifteen times the records: reading and decoding it takes about six times as
// long, its 15-minute and daily tables two to three times (the raw listing keeps its 288 lines and
// its units). Such an element-day adds these units in place of the ones above (measured alike).
// The New view's row units stay: its rows cost more on 20-second days too, but over whole runs the
// rows already weigh more than the sort and the walk after them, and heavier rows would put the
// bar further ahead of the run.
constexpr uint32_t kProgressLoadFineDay = 200;
constexpr uint32_t kProgress15MinFineDay = 130;
constexpr uint32_t kProgressDailyFineDay = 170;

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
  std::atomic<uint32_t> progress{0};
  CDayLayouts layouts;

  bool keepGoing() const override { return keepGoingFlag.load(std::memory_order_relaxed) != 0; }
  void addProgress(uint32_t n) override { progress.fetch_add(n, std::memory_order_relaxed); }
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

// Result of a Classic report driver.
enum class EReportResult { Done, Cancelled, Failed };
