#include "app/shell/report_opener.h"

#include <map>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/kernel/paths.h"
#include "platform/shell/shell.h"

SReportViewerChoice ChooseReportViewer(const SOutputSettings& out, bool spreadsheet, bool automatic, bool ownViewer) {
  SReportViewerChoice c;
  if (automatic && out.autoOpen == 0) return c;
  if (spreadsheet) {
    c = {EReportViewer::Program, out.ssViewer};
  } else if (ownViewer && out.useCustomViewer != 0) {
    c.how = EReportViewer::OwnViewer;
  } else {
    c = {EReportViewer::Program, out.textViewer};
  }
  return c;
}

DWORD StartReportViewer(const std::string& path, const std::string& program,
                        std::function<void(int status)> failedQuickly) {
  const std::string launcher = program.empty() ? DesktopOpenerPath() : program;
  if (launcher.empty()) return ERROR_NO_ASSOCIATION;
  const auto started = std::chrono::steady_clock::now();
  std::function<void(int)> ended;
  if (failedQuickly) {
    ended = [started, failedQuickly = std::move(failedQuickly)](int status) {
      if (status != 0 && std::chrono::steady_clock::now() - started < kViewerQuickFailure) failedQuickly(status);
    };
  }
  return StartProgramWatched(launcher, {ToNativePath(path)}, std::move(ended));
}

std::string ReportOpenFailureText(const std::string& path, const std::string& program, DWORD error, int exitStatus) {
  std::string text = "The report " + path + " could not be opened: ";
  if (program.empty() && exitStatus == 0) {
    text += "no viewer program is set for it, and the desktop has no program that opens files (xdg-open).";
  } else {
    const std::string who = program.empty() ? "The desktop's default application" : "The viewer program " + program;
    if (exitStatus > 0) {
      text += who + " ended with the failure status " + std::to_string(exitStatus) + ".";
    } else {
      std::string reason;
      if (!FormatSystemMessage(error, reason)) reason = "error " + std::to_string(error);
      while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
      text += who + " could not be started (" + reason + ").";
    }
  }
  text += "\n\nChoose a viewer program on the Output Parameters page of Options > Parameters.";
  return text;
}

namespace {
std::mutex& FailureLock() {
  static auto* m = new std::mutex;
  return *m;
}
std::map<int, std::string>& Failures() {
  static auto* f = new std::map<int, std::string>;
  return *f;
}
}  // namespace

int KeepOpenFailure(std::string text) {
  static int next = 0;
  std::lock_guard<std::mutex> lock(FailureLock());
  const int key = ++next;
  Failures()[key] = std::move(text);
  return key;
}

bool TakeOpenFailure(int key, std::string& text) {
  std::lock_guard<std::mutex> lock(FailureLock());
  auto it = Failures().find(key);
  if (it == Failures().end()) return false;
  text = std::move(it->second);
  Failures().erase(it);
  return true;
}
