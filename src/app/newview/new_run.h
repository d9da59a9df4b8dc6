// The New view's report run on its worker thread: load the selected days, turn each element's
// days into report rows, complete the structure, sort the rows by the structure's keys and
// write the header and the pivot walk. The view supplies the loader, the status ids and the
// wait cursor through SNewRunHost, so the whole run also works without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/newview/new_model.h"
#include "app/newview/report_file.h"
#include "platform/app/file.h"
#include "trafficdata/run_control.h"

class CDBRecord;
class CElementData;
class CElementDataSet;
class CGrpType;
struct SRowsWhileLoading;

enum class ESortResult { Sorted, Cancelled, NoMemory };

// Sorts positions first..last (inclusive) by a top-down merge sort that, on equal rows, takes
// the right half's row first; adds one to *merges per merge. Rows compare by their current key
// list (CSortKeyScope), through keys packed once per row. Stops soon after run's keep-going
// flag is cleared (run may be null), leaving the rows as they were; adds its progress to run as it
// goes: kProgressSortKeyScan per row in each of two scans, kProgressSortKeyPack per row packed and
// kProgressSortMerge a merge.
ESortResult SortRecords(CDBRecord** rows, int first, int last, uint32_t* merges, RunControl* run = nullptr);

// Texts of the checks before a run, in order; null when all pass.
const char* PreRunFailure(const CNewReportModel& m);
// More columns than a report should have (the estimate's unsaturated Cols (Hi) above 256).
bool ColumnWarningDue(int64_t colsHiWide);
// The two status lines of the column warning and the question of its message box.
std::string ColumnWarningLine(int64_t colsHi);
extern const char* const COLUMN_WARNING_SECOND_LINE;
std::string ColumnWarningQuestion(int64_t colsHi);
// Progress range of a run in the units its loader, row builders, sort and walk add: for five-minute
// days, or with `fine` for 20-second days.
int64_t RunProgressRange(const CNewReportModel& m, bool fine = false);
// The units of making a run's rows (kProgressRowDay ...), as the row builders add them: for
// five-minute days, or with `fine` for 20-second days.
int64_t RowMakingUnits(const CNewReportModel& m, bool fine);

// The common loader's objects, one per element in list order, handed over to the run; false for
// no set (the loader failed or was cancelled).
bool AdoptLoadedData(std::unique_ptr<CElementDataSet> set, std::vector<std::unique_ptr<CElementData>>& data);

struct SNewRunHost {
  CRunFlags* run = nullptr;
  // Loads every selected day of every selected element, one object per element in list order
  // (null for an element of no known type); false when the loader failed or was cancelled. A
  // loader that can make the rows while it reads (LoadElementData) gets `rows`; one that cannot
  // leaves it alone and the run makes the rows afterwards.
  std::function<bool(std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows)> load;
  std::function<void(UINT id)> post;
  IReportFileStatus* fileStatus = nullptr;
  std::function<void(bool on)> waitCursor;
  std::function<COleDateTime()> now;  // the header's creation time
  // Receives the name of the file written as soon as it is open, before any id that reads it.
  std::string* written = nullptr;
  // The folder a report path without a folder is taken in (ReportPathIn); empty: as it stands.
  std::string reportFolder;
};

// One run; the report goes to file and its name to writtenName (and the host's written). Rows of
// the last run stay countable in rowCount for the caller's benchmarks and tests.
class CNewReportRun {
 public:
  CNewReportRun(CNewReportModel& model, SNewRunHost& host, CStdioFile& file) : m_model(model), m_host(host), m_file(file) {}
  // The run: the load, the rows, the sort and the report. Memory that runs out once the report
  // is open takes the report away and names it (523); before that, std::bad_alloc goes on to
  // the caller.
  void Run();

  std::string writtenName;
  int rowCount = 0;
  uint32_t merges = 0;

 private:
  void RunSteps();
  bool WriteHeader();
  // A report that could not be written whole: taken away (CFile::Discard) and named by 523, so
  // that it neither looks complete nor keeps a full disk full; with `cancelled`, cut short by
  // Cancel and named by 524.
  void GiveUp(DWORD error, bool cancelled = false);
  CNewReportModel& m_model;
  SNewRunHost& m_host;
  CStdioFile& m_file;
};
