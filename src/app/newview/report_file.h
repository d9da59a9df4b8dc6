// The New view's report file: its creation (with one folder level and an exclusive temporary
// fall-back), the header in text and spreadsheet form with the "Date(s) Selected" summary, the
// heading of each separate report and the pivot walk that writes the sorted rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/app/file.h"
#include "platform/app/ole_date_time.h"

class CDBRecord;
class RunControl;

// The summary of a set of selected days (ascending, without repeats): whole ranges, weekday
// patterns, compressed day lists and "through" runs. Lines after the first begin with sep.
void WriteDatesSelected(const std::vector<double>& days, std::string& out, const char* sep);

struct SReportHeader {
  std::string fileName;  // without folder
  COleDateTime created;
  int outFormat = 0;
  int avgMethod = 0;
  int sumMethod = 0;
  int reportType = 0;
  std::string minValidity;  // as the view shows it
  std::string period;
  std::vector<double> dates;
};

// The header with its closing "\n\n" (line ends as "\n"; the text file makes them CR LF).
std::string FormatReportHeader(const SReportHeader& h);

struct SPivotLayout {
  std::vector<int> seps, rows, cols;  // key ids in list order
  int64_t colsHi = 1;                 // bound of the column-header scan
  int format = 0;
};

enum class EWalkResult { Done, Cancelled, WriteFailed };

// Bytes the pivot walk gathers before it hands them to its writer.
constexpr size_t kWalkBuffer = size_t{1} << 20;

// Writes every row into separate reports, rows and columns, each separate report opening with
// its heading. The text goes to write in pieces of about `buffer` bytes (a piece ends once it
// holds that many, after the cell or row that filled it), so the report never sits in memory
// whole; write returns false when the file could not take a piece, and the walk stops there.
// The keep-going flag is read after every row and after every piece written; a cancel stops the
// walk, writing what it holds. The rows' progress units are added as their text is written.
// With no rows nothing is written.
EWalkResult WritePivotBody(const CDBRecord* const* rows, int count, const SPivotLayout& l,
                           const std::function<bool(const std::string&)>& write, RunControl& run,
                           size_t buffer = kWalkBuffer);

// Status of the report file's creation, for the view's status list.
class IReportFileStatus {
 public:
  virtual ~IReportFileStatus() = default;
  virtual void PostWin32Error(DWORD error) = 0;                   // 502
  virtual void PostOutFileError(const std::string& chosen) = 0;   // 513
  virtual void PostOutputTo(const std::string& written) = 0;      // 514
  // 523: the report could not be written (error) and was given up (left, see CFile::Discard);
  // without a view that names the report, the error's line.
  virtual void PostWriteFailure(const std::string& /*written*/, DWORD error, EDiscarded /*left*/) {
    PostWin32Error(error);
  }
  // 524: the report, cut short by Cancel, was given up (left); without a view, nothing beyond the
  // cancel's own line.
  virtual void PostReportCancelled(const std::string& /*written*/, EDiscarded /*left*/) {}
};

// Opens the report file: the chosen path; after creating its folder (one level); else a new
// file "<temp>%iOut.txt" in the temporary folder, never one that exists. written receives the
// name of the file opened.
bool CreateReportFile(CStdioFile& file, const std::string& chosen, std::string& written, IReportFileStatus& status);
