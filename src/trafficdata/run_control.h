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
};

// The usual RunControl: a flag and a counter, both relaxed atomics.
class CRunFlags : public RunControl {
 public:
  std::atomic<uint8_t> keepGoingFlag{1};
  std::atomic<uint32_t> progress{0};

  bool keepGoing() const override { return keepGoingFlag.load(std::memory_order_relaxed) != 0; }
  void addProgress(uint32_t n) override { progress.fetch_add(n, std::memory_order_relaxed); }
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
