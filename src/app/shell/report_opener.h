// Opening a finished report for the user: which viewer takes it, starting that viewer (or the
// desktop's default application for the file when no program is set), and the text that tells
// the user when nothing could open it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "app/shell/settings.h"
#include "platform/base/types.h"

enum class EReportViewer { None, OwnViewer, Program };

struct SReportViewerChoice {
  EReportViewer how = EReportViewer::None;
  std::string program;  // with Program: the configured program; "" for the desktop's default
};

// Which viewer opens a report: a spreadsheet report the spreadsheet program; a text report the
// program's own viewer when it has one (`ownViewer`) and it is switched on, else the text
// program. `automatic` (a report just written) opens nothing while automatic opening is off.
SReportViewerChoice ChooseReportViewer(const SOutputSettings& out, bool spreadsheet, bool automatic, bool ownViewer);

// Starts `program` on the report, or with no program the desktop's opener (xdg-open) on it.
// Returns 0 when it started, else the error number. When the started program ends with a failure
// status within a few seconds (an opener that found no application), `failedQuickly` is called on
// another thread with that status.
DWORD StartReportViewer(const std::string& path, const std::string& program,
                        std::function<void(int status)> failedQuickly);

// How soon a viewer must fail for it to count as not having opened the report.
constexpr std::chrono::seconds kViewerQuickFailure{10};

// The message box text when a report could not be opened: the file, the program that was tried
// (or the desktop's default) and why (`error`: a Windows error number of the start; or, with
// `exitStatus` above 0, the status the program ended with).
std::string ReportOpenFailureText(const std::string& path, const std::string& program, DWORD error,
                                  int exitStatus = 0);

// Texts of failures that arrive on other threads, kept until the window they were posted to takes
// them by their key.
int KeepOpenFailure(std::string text);
bool TakeOpenFailure(int key, std::string& text);
