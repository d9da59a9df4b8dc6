// The worker of a Classic run: its three blocks (raw data listing, single-day summaries,
// multi-day summaries), the report file of each family with its banner and its fall-back into the
// temporary folder, and the ids it posts to the view. It reads only the snapshot that GO took and
// talks to the view only through ClassicRunPort (posted ids, the loader, the wait cursor).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/app/file.h"
#include "platform/app/ole_date_time.h"
#include "trafficdata/run_control.h"
#include "trafficdata/view_settings.h"

class CElementData;
class CDateTimeEx;

// Report families, in run order.
enum EClassicFamily : int { CF_RAW = 0, CF_SDS = 1, CF_MDS = 2, CF_COUNT = 3 };

// Ids the worker posts (the payload kinds are those of the main view's id table).
enum EClassicRunId : int {
  RID_ERROR = 502,          // number: a system error number
  RID_CANCELLED = 509,      // none: "Process canceled by the User"
  RID_OPEN_ERROR = 513,     // text: the file name field
  RID_OUTPUT_TO = 514,      // text: the path written instead
  RID_WRITE_FAILED = 523,   // text: the report's path, number: the system error, left: what became of it
  RID_REPORT_CANCELLED = 524,  // text: the report's path, left: what became of it
  RID_RAW_OUTPUTTING = 516, RID_RAW_DONE = 517,
  RID_SDS_OUTPUTTING = 518, RID_SDS_DONE = 519,
  RID_MDS_OUTPUTTING = 520, RID_MDS_DONE = 521,
};
int OutputtingId(int family);
int DoneId(int family);

struct ClassicPost {
  int id = 0;
  uint32_t number = 0;
  std::string text;
  EDiscarded left = EDiscarded::Kept;
};

// Keep-going flag and a 64-bit progress counter; the user-interface thread clears the flag and
// reads the counter.
class CClassicRunFlags : public RunControl {
 public:
  std::atomic<bool> keepGoingFlag{true};
  std::atomic<bool> running{false};
  std::atomic<uint64_t> progress{0};
  CDayLayouts layouts;
  std::atomic<int64_t> rangeAdded{0};  // units beyond the range the run started with (addRange)
  bool keepGoing() const override { return keepGoingFlag.load(std::memory_order_relaxed); }
  void addProgress(uint32_t n) override { progress.fetch_add(n, std::memory_order_relaxed); }
  void addRange(int64_t units) override { rangeAdded.fetch_add(units, std::memory_order_relaxed); }
  void noteDayLayout(bool fine) override { layouts.note(fine); }
};

// What the worker needs of the view.
class ClassicRunPort {
 public:
  virtual ~ClassicRunPort() = default;
  // Loads the days of one selection (EClassicBlock); false when the load failed or was cancelled
  // (the loader has posted its own ids). Entries may be null for elements of no known type. With
  // `summariesOnly` each day keeps only its summaries under those criteria (a block that reads
  // nothing else).
  virtual bool Load(int block, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) = 0;
  virtual void Post(const ClassicPost& post) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // A family's report file is open at `path` (before its done id is posted).
  virtual void ReportOpened(int /*family*/, const std::string& /*path*/) {}
};

// Everything the worker reads, taken at GO.
struct ClassicRunSnapshot {
  int rawOn = 0, sdsOn = 0, mdsOn = 0, rawSource = 0;
  std::string folder[CF_COUNT];  // ends in a separator
  std::string name[CF_COUNT];
  int format[CF_COUNT] = {0, 0, 0};
  ClassicSettings settings;                   // single-day and multi-day dates included
  std::vector<const CDateTimeEx*> rawDates;   // the raw selection's dates
};

// The banner at the top of every Classic report, lines ended by "\n".
std::string FormatReportBanner(const std::string& fileName, const COleDateTime& now, int format);

// Opens a report file: folder + name; else after creating the folder (one level); else, after
// posting 502 and 513, a new file "<temp folder><r><name>" created exclusively (another number is
// drawn while the name is taken), announced by 514. `path` receives the path written.
bool OpenReportFile(CStdioFile& file, const std::string& folder, const std::string& name, std::string& path,
                    const std::function<void(const ClassicPost&)>& post, const std::function<int()>& draw);

class CClassicRun {
 public:
  // The reports go through `file` when one is given, else through a file of the run's own.
  CClassicRun(const ClassicRunSnapshot& snap, ClassicRunPort& port, RunControl& run, CStdioFile* file = nullptr);
  virtual ~CClassicRun();

  // The three blocks in order. Does not touch the running flag; the caller clears it.
  void Run();

  // The path each family's report was written to (empty when it was not written, or not whole).
  std::string reportPath[CF_COUNT];

 protected:
  // One family's report file: open with banner, write one element, close. Virtual so that the
  // block plan can be tested without report data. A report whose writing fails, or whose name no
  // longer leads to it once closed, is given up (see CFile::Discard) and announced by 523 in place
  // of its done id.
  virtual bool OpenReport(int family);
  virtual EReportResult WriteElement(int family, const CElementData& data, int dateBlock);
  virtual bool CloseReport(int family);
  virtual COleDateTime Now() const;
  virtual int DrawNumber();

  const ClassicRunSnapshot& snap_;
  ClassicRunPort& port_;
  RunControl& run_;

 private:
  void OutputStep(int family, const std::vector<std::unique_ptr<CElementData>>& data, int dateBlock);
  // OutputStep; false when memory ran out (the report taken away and named with the error).
  bool Output(int family, const std::vector<std::unique_ptr<CElementData>>& data, int dateBlock);
  void GiveUp(int family, DWORD error);
  void GiveUpCancelled(int family);

  class FileSink;
  std::unique_ptr<CStdioFile> ownFile_;
  CStdioFile& file_;
  std::unique_ptr<FileSink> sink_;
  bool seeded_ = false;
};
