#include "app/shell/worker_ids.h"

#include <gtest/gtest.h>

#include "app/shell/input_loader.h"
#include "trafficdata/date_time_ex.h"

namespace {
struct WorkerCase {
  UINT id;
  LPARAM payload;
  const char* path;
  EWorkerAction action;
  const char* text;
};

TEST(WorkerIds, TextsOfTheBaseIds) {
  const LPARAM march15 = DayPayload(CDateTimeEx(1994, 3, 15));
  const WorkerCase cases[] = {
      {500, 0, nullptr, EWorkerAction::Title, "Loading Input Data..."},
      {502, 2, nullptr, EWorkerAction::Line, "The system cannot find the file specified."},
      {502, 99999, nullptr, EWorkerAction::Line, "Error in FormatMessage() call"},
      {503, 0, nullptr, EWorkerAction::Line, "Input Data Loaded..."},
      {504, march15, nullptr, EWorkerAction::Line, "Error opening data file for 03/15/1994"},
      {505, march15, nullptr, EWorkerAction::Line, "Error opening data description file for 1994"},
      {506, march15, nullptr, EWorkerAction::Line, "Error in raw data retrieval for 03/15/1994"},
      {509, 0, nullptr, EWorkerAction::Line, "Process canceled by the User"},
      {513, 7, "DEFAULT.DAT", EWorkerAction::Line, "Out file open error: DEFAULT.DAT"},
      {514, 7, "/tmp/123DEFAULT.DAT", EWorkerAction::Line, "Reports output to: /tmp/123DEFAULT.DAT"},
      {529, 7, "/srv/archive/DATA1994\\19940104.NTS", EWorkerAction::Line,
       "Could not open /srv/archive/DATA1994/19940104.NTS"},
      {530, 1, nullptr, EWorkerAction::UpdateData, ""},
      {507, 0, nullptr, EWorkerAction::None, ""},
      {517, 0, nullptr, EWorkerAction::None, ""},
      {531, 0, nullptr, EWorkerAction::None, ""},
  };
  for (const WorkerCase& c : cases) {
    std::string text;
    EXPECT_EQ(WorkerCommandText(c.id, c.payload, c.path, text), c.action) << c.id;
    EXPECT_EQ(text, c.text) << c.id;
  }
}

TEST(WorkerIds, StatusTextSplitsAtRunsOfLineEnds) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"one", {"one"}},
      {"one\r\ntwo\n\n\rthree\r", {"one", "two", "three"}},
      {"\r\n\r\n", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    SplitStatusText(c.text, lines);
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

TEST(WorkerIds, MissingDataLineOnlyWhenSomeElementDayHadNoData) {
  const struct {
    int64_t elementDays, withoutData;
    const char* line;
  } cases[] = {
      {10, 3, "No data was found for 3 of the 10 element-days; see the status list"},
      {10, 10, "No data was found for any of the 10 element-days; see the status list"},
      {10, 0, ""},
      {0, 2, ""},  // nothing was asked for
  };
  for (const auto& c : cases)
    EXPECT_EQ(MissingDataLine(c.elementDays, c.withoutData), c.line) << c.elementDays << " " << c.withoutData;
}
TEST(WorkerIds, MissingDataLinesNameTheDaysAndTheElementDays) {
  SLoadCount count;
  count.elementDays = 100;
  count.withData = 60;
  std::vector<std::string> lines = {"No data was found for 40 of the 100 element-days:"};
  for (int d = 1; d <= 22; ++d) {
    const std::string day = "03/" + std::string(d < 10 ? "0" : "") + std::to_string(d) + "/1994";
    count.AddMissingDay(day);
    if (d <= 20) lines.push_back("  No data on " + day);
  }
  lines.push_back("  ... and 2 more days");
  SLoadCount block;  // a later date block of the same run adds its own
  block.AddMissingElementDay("ES-0017:LP00123 on 04/01/1994");
  count += block;
  lines.push_back("  No data for ES-0017:LP00123 on 04/01/1994");
  EXPECT_EQ(MissingDataLines(count), lines);
  count.withData = 100;
  EXPECT_TRUE(MissingDataLines(count).empty());
}
}  // namespace
