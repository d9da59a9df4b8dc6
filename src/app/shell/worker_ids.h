// The command ids that worker threads post to the main view (WM_COMMAND, id in wParam, payload in
// lParam), the view's private messages, and the texts the view makes of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/kernel/files.h"  // EDiscarded
#include "support/mfcex_dialog.h"  // WM_SHOW_MESSAGE_BOX, WM_SET_WAIT_CURSOR

class CDateTimeEx;

enum : UINT {
  ID_WORKER_LOADING_INPUT = 500,    // title "Loading Input Data..."
  ID_WORKER_STRING_RESOURCE = 501,  // line: a string resource (payload: its id)
  ID_WORKER_WIN32_ERROR = 502,      // line: the system's text of an error number
  ID_WORKER_INPUT_LOADED = 503,     // line "Input Data Loaded..."
  ID_WORKER_DATA_FILE_ERROR = 504,  // line, payload a day
  ID_WORKER_DESC_FILE_ERROR = 505,  // line, payload a day
  ID_WORKER_RETRIEVAL_ERROR = 506,  // line, payload a day
  ID_WORKER_SUMMARIZING = 507,      // New view
  ID_WORKER_SUMMARIZED = 508,       // New view
  ID_WORKER_CANCELED = 509,         // line "Process canceled by the User"
  ID_WORKER_SORTING = 510,          // New view
  ID_WORKER_SORTED = 511,           // New view
  ID_WORKER_OUTPUTTING = 512,       // New view
  ID_WORKER_OUTFILE_ERROR = 513,    // line, payload a path (see CMainDlg::PostWorkerPath)
  ID_WORKER_OUTPUT_TO = 514,        // line, payload a path
  ID_WORKER_REPORTS_DONE = 515,     // New view
  ID_WORKER_RAW_OUTPUTTING = 516,   // Classic view
  ID_WORKER_RAW_DONE = 517,
  ID_WORKER_SDS_OUTPUTTING = 518,
  ID_WORKER_SDS_DONE = 519,
  ID_WORKER_MDS_OUTPUTTING = 520,
  ID_WORKER_MDS_DONE = 521,
  ID_WORKER_SHUTDOWN = 522,         // New view
  ID_WORKER_WRITE_FAILED = 523,     // line and message box, payload a report (see CMainDlg::PostWriteFailure)
  ID_WORKER_REPORT_CANCELLED = 524, // line, payload a report (see CMainDlg::PostReportCancelled)
  ID_WORKER_DATA_FILE_NAME = 529,   // line, payload a path: the file that failed of a day after 504
  ID_WORKER_UPDATEDATA = 530,       // data exchange in the payload's direction
  ID_WORKER_FIRST = 500,
  ID_WORKER_LAST = 530,
};

// Private messages of the views (WM_SHOW_MESSAGE_BOX 0x1409 and WM_SET_WAIT_CURSOR 0x140A come
// with the dialog base).
constexpr UINT WM_ELEMENTS_LOADED = 0x140C;  // posted: wParam periods per day or kLoadStopped
constexpr UINT kLoadStopped = 0x7FFFFFFF;

// Timer of the view that drains the message log into the status list.
constexpr UINT_PTR kLogTimerId = 1001;
constexpr UINT kLogTimerMs = 500;

// The status list of the main views.
constexpr int IDC_STATUS_LIST = 1508;
constexpr int kStatusListMaxLines = 50;

// A day as a payload: the platform date value truncated to whole days.
LPARAM DayPayload(const CDateTimeEx& day);

// What the base view does with an id: set the wait dialog's title, add a status line, exchange the
// view's data, or nothing (ids the derived views handle, ids outside the range).
enum class EWorkerAction { None, Title, Line, UpdateData };

// The base view's text for an id and payload (path payloads are given as text). The system's
// error text loses its last two characters; a number without a text gives
// "Error in FormatMessage() call".
EWorkerAction WorkerCommandText(UINT id, LPARAM payload, const char* pathText, std::string& text);
// True for the ids whose line tells of a failure (a file not opened, a system error).
bool WorkerLineIsError(UINT id);

// Splits a log text at every run of CR and LF characters, dropping empty pieces.
void SplitStatusText(const char* text, std::vector<std::string>& lines);

// The line that ends a run whose load left element-days without data: "No data was found for any
// of the 728 element-days; see the status list" when none was read, else "No data was found for
// 12 of the 728 element-days; see the status list". Empty when every element-day was read.
std::string MissingDataLine(int64_t elementDays, int64_t withoutData);
// The status list's lines for the same load: "No data was found for 12 of the 728 element-days:",
// then one line per day without any data ("  No data on 03/05/1994"), one per element-day of a
// day that others had ("  No data for ES-0017:LP00123 on 03/05/1994"), each list followed by
// "  ... and 7 more days" or "  ... and 7 more element-days" where it was cut. None when every
// element-day was read.
struct SLoadCount;
std::vector<std::string> MissingDataLines(const SLoadCount& count);

// A report whose writing failed with `error` (a system error number) and what became of it: the
// status line, and the text of the message box that tells the user.
std::string WriteFailureLine(const std::string& path, DWORD error);
std::string WriteFailureMessage(const std::string& path, DWORD error, EDiscarded left);
// A report cut short by Cancel and given up: the status line ("Cancelled the report <path>: the
// part already written was removed"), and the text of the message box when the part written could
// not be taken away.
std::string CancelledReportLine(const std::string& path, EDiscarded left);
std::string CancelledReportMessage(const std::string& path);
// The reports a run did not write because it ended with `error` before their files were made
// (memory that ran out): the text of the message box that names them.
std::string NotWrittenMessage(const std::vector<std::string>& paths, DWORD error);
