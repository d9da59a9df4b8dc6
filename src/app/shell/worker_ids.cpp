#include "app/shell/worker_ids.h"

#include <cmath>

#include "app/shell/input_loader.h"
#include "app/shell/settings.h"
#include "app/shell/text_lines.h"
#include "platform/base/errors.h"
#include "trafficdata/date_time_ex.h"

namespace {
constexpr size_t kMaxTextLength = 511;

std::string DayText(LPARAM payload, const char* pattern) {
  CDateTimeEx day(static_cast<double>(payload));
  return day.Format(pattern);
}

// The few strings of the program's string table that a worker may name.
std::string StringResource(UINT id) {
  switch (id) {
    case 100: return "QAV";
    case 233: return "QAV Classic";
    default: return std::string();
  }
}
}  // namespace

LPARAM DayPayload(const CDateTimeEx& day) {
  const double d = std::trunc(day.m_dt);
  if (!std::isfinite(d) || d < -1e9 || d > 1e9) return 0;
  return static_cast<LPARAM>(d);
}

bool WorkerLineIsError(UINT id) {
  return id == ID_WORKER_WIN32_ERROR || id == ID_WORKER_DATA_FILE_ERROR || id == ID_WORKER_DESC_FILE_ERROR ||
         id == ID_WORKER_RETRIEVAL_ERROR || id == ID_WORKER_OUTFILE_ERROR || id == ID_WORKER_WRITE_FAILED ||
         id == ID_WORKER_DATA_FILE_NAME;
}

EWorkerAction WorkerCommandText(UINT id, LPARAM payload, const char* pathText, std::string& text) {
  text.clear();
  switch (id) {
    case ID_WORKER_LOADING_INPUT:
      text = "Loading Input Data...";
      return EWorkerAction::Title;
    case ID_WORKER_STRING_RESOURCE:
      text = StringResource(static_cast<UINT>(payload)).substr(0, kMaxTextLength);
      return EWorkerAction::Line;
    case ID_WORKER_WIN32_ERROR: {
      std::string message;
      if (!FormatSystemMessage(static_cast<DWORD>(payload), message)) {
        text = "Error in FormatMessage() call";
      } else {
        if (message.size() > kMaxTextLength) message.resize(kMaxTextLength);
        text = message.size() >= 2 ? message.substr(0, message.size() - 2) : std::string();
      }
      return EWorkerAction::Line;
    }
    case ID_WORKER_INPUT_LOADED:
      text = "Input Data Loaded...";
      return EWorkerAction::Line;
    case ID_WORKER_DATA_FILE_ERROR:
      text = "Error opening data file for " + DayText(payload, "%m/%d/%Y");
      return EWorkerAction::Line;
    case ID_WORKER_DESC_FILE_ERROR:
      text = "Error opening data description file for " + DayText(payload, "%Y");
      return EWorkerAction::Line;
    case ID_WORKER_RETRIEVAL_ERROR:
      text = "Error in raw data retrieval for " + DayText(payload, "%m/%d/%Y");
      return EWorkerAction::Line;
    case ID_WORKER_CANCELED:
      text = "Process canceled by the User";
      return EWorkerAction::Line;
    case ID_WORKER_OUTFILE_ERROR:
      text = std::string("Out file open error: ") + (pathText != nullptr ? pathText : "");
      return EWorkerAction::Line;
    case ID_WORKER_DATA_FILE_NAME:
      // The program's path, with this system's separators.
      text = "Could not open " + PlatformPath(pathText != nullptr ? pathText : "");
      return EWorkerAction::Line;
    case ID_WORKER_OUTPUT_TO:
      text = std::string("Reports output to: ") + (pathText != nullptr ? pathText : "");
      return EWorkerAction::Line;
    case ID_WORKER_UPDATEDATA:
      return EWorkerAction::UpdateData;
    default:
      return EWorkerAction::None;
  }
}

void SplitStatusText(const char* text, std::vector<std::string>& lines) {
  if (text == nullptr) return;
  const char* p = text;
  while (*p != '\0') {
    while (*p == '\r' || *p == '\n') ++p;
    const char* start = p;
    while (*p != '\0' && *p != '\r' && *p != '\n') ++p;
    if (p > start) lines.emplace_back(start, static_cast<size_t>(p - start));
  }
}

namespace {
std::string MissingDataSentence(int64_t elementDays, int64_t withoutData) {
  const std::string of = withoutData >= elementDays ? "any" : std::to_string(withoutData);
  return "No data was found for " + of + " of the " + std::to_string(elementDays) + " element-days";
}
}  // namespace

std::string WriteFailureLine(const std::string& path, DWORD error) {
  return "Could not write the report " + path + ": " + SystemErrorLine(error);
}

namespace {
constexpr const char* kIncomplete = "The file could not be removed: it is incomplete.";
}  // namespace

std::string WriteFailureMessage(const std::string& path, DWORD error, EDiscarded left) {
  std::string text = "The report " + path + " could not be written: " + SystemErrorLine(error) + "\n\n";
  switch (left) {
    case EDiscarded::Removed: return text + "The part already written was removed.";
    case EDiscarded::Emptied: return text + "The part already written was removed; the file is left empty.";
    case EDiscarded::Gone: return text + "Nothing of it is left under that name.";
    case EDiscarded::Kept: break;
  }
  return text + kIncomplete;
}

std::string CancelledReportLine(const std::string& path, EDiscarded left) {
  const std::string text = "Cancelled the report " + path + ": ";
  switch (left) {
    case EDiscarded::Removed: return text + "the part already written was removed";
    case EDiscarded::Emptied: return text + "the part already written was removed; the file is left empty";
    case EDiscarded::Gone: return text + "nothing of it is left under that name";
    case EDiscarded::Kept: break;
  }
  return text + "the part written could not be removed and is incomplete";
}

std::string CancelledReportMessage(const std::string& path) {
  return "The report " + path + " was cancelled.\n\n" + kIncomplete;
}

std::string NotWrittenMessage(const std::vector<std::string>& paths, DWORD error) {
  if (paths.size() == 1)
    return "The report " + paths[0] + " was not written: " + SystemErrorLine(error) +
           "\n\nAn earlier report of that name is left as it was.";
  // Several long paths read best one to a line.
  std::string text = "The reports\n";
  for (const std::string& path : paths) text += path + "\n";
  return text + "were not written: " + SystemErrorLine(error) + "\n\nEarlier reports of those names are left as they were.";
}

std::string MissingDataLine(int64_t elementDays, int64_t withoutData) {
  if (withoutData <= 0 || elementDays <= 0) return {};
  return MissingDataSentence(elementDays, withoutData) + "; see the status list";
}

std::vector<std::string> MissingDataLines(const SLoadCount& count) {
  std::vector<std::string> lines;
  if (count.WithoutData() <= 0 || count.elementDays <= 0) return lines;
  lines.push_back(MissingDataSentence(count.elementDays, count.WithoutData()) + ":");
  for (const std::string& day : count.missingDays) lines.push_back("  No data on " + day);
  if (count.missingDayCount > static_cast<int64_t>(count.missingDays.size()))
    lines.push_back("  ... and " + std::to_string(count.missingDayCount - static_cast<int64_t>(count.missingDays.size())) +
                    " more days");
  for (const std::string& elementDay : count.missingElementDays) lines.push_back("  No data for " + elementDay);
  if (count.missingElementDayCount > static_cast<int64_t>(count.missingElementDays.size()))
    lines.push_back("  ... and " +
                    std::to_string(count.missingElementDayCount - static_cast<int64_t>(count.missingElementDays.size())) +
                    " more element-days");
  return lines;
}
