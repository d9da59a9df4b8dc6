// The New view's run without a window: the merge sort's tie order, the pre-run checks, and a
// whole run over element data that emits known rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/newview/new_run.h"
#include "app/newview/newview_fixture.h"
#include "trafficdata/element_data.h"
#include "trafficdata/view_settings.h"

namespace {

using newview_test::AddElement;
using newview_test::Keys;
using newview_test::SetDates;

TEST(NewSortTest, EqualRowsTakeTheRightHalfFirst) {
  // Rows keyed by content code only; the value tells them apart. Hand-worked on five rows
  // [a1 b1 a2 c1 b2] with a < b < c:
  //   sort 0..4: mid 1 -> sort 0..1 (mid 0: merge [a1][b1] -> a1 b1)
  //              sort 2..4: mid 2 -> sort 3..4 (mid 3: [c1][b2] -> b2 c1); merge [a2][b2 c1] -> a2 b2 c1
  //   merge [a1 b1][a2 b2 c1]: a1<a2? no -> a2; a1<b2 -> a1; b1<b2? no -> b2; b1 -> b1; c1
  // Result a2 a1 b2 b1 c1 after four merges.
  CDBElementEx e("LOOP01V", ET_LOOP, nullptr);
  int codes[5] = {0, 1, 0, 2, 1};
  std::vector<CDBRecord> rows;
  for (int i = 0; i < 5; ++i) rows.emplace_back(&e, 0, 2003, 1, 1, 0, 0, 0, 1, 4, codes[i], i);
  std::vector<CDBRecord*> p;
  for (auto& r : rows) p.push_back(&r);
  CGrpType key(GK_CONTENT);
  const CGrpType* keys[] = {&key};
  CRecordOrder order(keys, 1);
  CSortKeyScope scope(order);
  uint32_t merges = 0;
  SortRecords(p.data(), 0, 4, &merges);
  std::vector<int> values;
  for (auto* r : p) values.push_back(r->word[RW_VALUE]);
  EXPECT_EQ(values, (std::vector<int>{2, 0, 4, 1, 3}));
  EXPECT_EQ(merges, 4u);
  key.ascending = false;
  SortRecords(p.data(), 0, 4, &merges);
  values.clear();
  for (auto* r : p) values.push_back(r->word[RW_CONTENT]);
  EXPECT_EQ(values, (std::vector<int>{2, 1, 1, 0, 0}));
}

TEST(NewRunChecksTest, ChecksComeInOrderAndTheWarningAbove256) {
  CNewReportModel m;
  EXPECT_STREQ(PreRunFailure(m), "No dates selected for output");
  SetDates(m, {{2003, 1, 6}});
  EXPECT_STREQ(PreRunFailure(m), "No elements selected for output");
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
  m.m_strOutputPath.clear();
  EXPECT_STREQ(PreRunFailure(m), "No filename designated for output");
  m.m_strOutputPath = "r.txt";
  m.CountElementsPerKind();
  m.m_bContent[CC_SPEED] = 1;  // no speed trap selected
  m.CountContentPerKind();
  m.RecomputeReportLayout();
  EXPECT_STREQ(PreRunFailure(m), "No data content for output");
  m.m_bContent[CC_VOLUME] = 1;
  m.CountContentPerKind();
  m.RecomputeReportLayout();
  EXPECT_STREQ(PreRunFailure(m), "No columns selected for reports");
  m.MoveToList(GK_TIME, m.m_lstCols, m.m_lstRows, nullptr);
  EXPECT_STREQ(PreRunFailure(m), "No rows selected for reports");
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
  EXPECT_EQ(PreRunFailure(m), nullptr);
  EXPECT_EQ(ColumnWarningQuestion(257),
            "The maximum recommended number of report columns [256] has been exceeded [257] [See Cols (Hi) in "
            "Report Structure]. Do you wish to CONTINUE?");
}

TEST(NewRunChecksTest, ProgressRangeDoesNotWrap) {
  CNewReportModel m;
  std::vector<CDateTimeEx> dates;
  for (int i = 0; i < 2000; ++i) dates.push_back(CDateTimeEx(COleDateTime(37000.0 + i)));
  SetDates(m, dates);
  for (int i = 0; i < 1000; ++i) AddElement(m, "005es00100", ("L" + std::to_string(100000 + i)).c_str(), ET_LOOP);
  m.GroupSelectedDates();
  m.PeriodsPerDay();
  EXPECT_EQ(RunProgressRange(m), 0x7FFFFFFF);
}

// Element data that emits one row per date group, period and checked content item, with a
// value that names the element, group and period.
class CFakeData : public CElementData {
 public:
  CFakeData(CDBElementEx* e, int ordinal, int days) : CElementData(days, e, ordinal) {}
  bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override {
    int ppd = (4320 + s.periodLen - 1) / s.periodLen;
    for (size_t g = 0; g < s.groups.size(); ++g) {
      const CDateTimeEx& d = *s.dates[static_cast<size_t>(s.groups[g][0])];
      for (int p = 0; p < ppd; ++p) {
        int start = p * s.periodLen;
        for (int c = 0; c < CC_COUNT; ++c) {
          if (!s.content[static_cast<size_t>(c)]) continue;
          CDBRecord r(element, ordinal, d.GetYear(), d.GetMonth(), d.GetDay(), start / 180, (start % 180) / 3,
                      (start % 3) * 20, 1, d.GetDayOfWeek(), c, ordinal * 1000 + static_cast<int>(g) * 10 + p);
          if (!rs.AddRecord(r)) return false;
        }
      }
      run.addProgress(1);
    }
    return true;
  }
};

class Recorder : public IReportFileStatus {
 public:
  std::vector<std::string> lines;
  void PostWin32Error(DWORD) override { lines.push_back("502"); }
  void PostOutFileError(const std::string&) override { lines.push_back("513"); }
  void PostOutputTo(const std::string&) override { lines.push_back("514"); }
};

// One run of the model over fake element data, with what it posted.
struct SFakeRun {
  CRunFlags flags;
  Recorder status;
  std::vector<UINT> ids;
  CStdioFile file;
  void Run(CNewReportModel& m, bool cancelWhileLoading = false) {
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [&](UINT id) { ids.push_back(id); };
    host.now = [] { return COleDateTime(2004, 1, 2, 3, 4, 5); };
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data) {
      for (int i = 0; i < m.m_arrElements.m_nSize; ++i)
        data.push_back(std::make_unique<CFakeData>(m.m_arrElements.m_pData[i], i, m.m_arrDates.m_nSize));
      if (cancelWhileLoading) flags.cancel();
      return true;
    };
    CNewReportRun run(m, host, file);
    run.Run();
  }
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(NewRunTest, RunCompletesSortsAndWritesThePivot) {
  char dir[] = "/tmp/qav_newrun_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  CNewReportModel m;
  SetDates(m, {{2003, 1, 6}, {2003, 1, 7}});
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
  AddElement(m, "005es00200", "LOOP02V", ET_LOOP);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_nPeriodLen = 1440;  // three periods a day
  m.m_nOutFormat = 1;
  m.m_strOutputPath = std::string(dir) + "\\r.txt";
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  m.PeriodsPerDay();
  m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
  m.m_lstRows.ToggleDirection(0);  // elements Z->A
  m.RecomputeReportLayout();

  SFakeRun r;
  r.Run(m);
  auto& ids = r.ids;
  auto& status = r.status;
  auto& flags = r.flags;

  EXPECT_EQ(ids, (std::vector<UINT>{507, 508, 510, 511, 512, 515}));
  EXPECT_TRUE(status.lines.empty());
  EXPECT_FALSE(flags.keepGoing());
  EXPECT_EQ(Keys(m.m_lstSeps), (std::vector<int>{GK_TIME, GK_CONTENT}));  // Element and Date placed already
  std::string text = Slurp(std::string(dir) + "/r.txt");
  std::string body = text.substr(text.find("\r\n\r\n") + 4);
  std::string expected;
  for (int p = 0; p < 3; ++p) {
    char head[128];
    std::snprintf(head, sizeof head, "Time\t%02i:00:00\r\nData Content\tVolume\r\n\r\n\t01/06/2003\t01/07/2003\t\r\n", p * 8);
    expected += head;
    char line[128];
    std::snprintf(line, sizeof line, "005es00200:LOOP02V\t%i\t%i\t\r\n005es00100:LOOP01V\t%i\t%i\t", 1000 + p, 1010 + p, p, 10 + p);
    expected += line;
    if (p < 2) expected += "\r\n\r\n";
  }
  EXPECT_EQ(body, expected);
  EXPECT_NE(text.find("Format\tSPREADSHEET\r\n"), std::string::npos);
  std::remove((std::string(dir) + "/r.txt").c_str());
  rmdir(dir);
}

TEST(NewRunTest, CancelDuringSummarisingWritesNothing) {
  CNewReportModel m;
  SetDates(m, {{2003, 1, 6}});
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_strOutputPath = "/nonexistent/never.txt";
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  SFakeRun r;
  r.Run(m, true);
  EXPECT_EQ(r.ids, (std::vector<UINT>{507, 509}));
  EXPECT_EQ(Keys(m.m_lstSeps), std::vector<int>{GK_TIME});  // Time is still added after a cancel
  EXPECT_FALSE(r.file.IsOpen());
}

TEST(NewRunTest, AReportThatCannotBeWrittenIsNotReportedAsDone) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  CNewReportModel m;
  SetDates(m, {{2003, 1, 6}});
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_nPeriodLen = 4320;
  m.m_strOutputPath = "/dev/full";  // every write fails: the disk is full
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  m.PeriodsPerDay();
  SFakeRun r;
  r.Run(m);
  EXPECT_EQ(std::count(r.ids.begin(), r.ids.end(), 515u), 0);
  ASSERT_FALSE(r.status.lines.empty());
  EXPECT_EQ(r.status.lines.front(), "502");
  EXPECT_FALSE(r.flags.keepGoing());
}

}  // namespace
