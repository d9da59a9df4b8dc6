// The report file: the date summary, the two header forms, block headings, the pivot walk
// and the file's creation with its fall-backs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/newview/new_tables.h"
#include "app/newview/report_file.h"
#include "platform/kernel/files.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"
#include "trafficdata/run_control.h"

namespace {

std::vector<double> Days(std::initializer_list<std::initializer_list<int>> ymds) {
  std::vector<double> out;
  for (auto ymd : ymds) {
    auto it = ymd.begin();
    out.push_back(static_cast<double>(CDateTimeEx(it[0], it[1], it[2])));
  }
  return out;
}

std::vector<double> Range(int y, int m, int d, int n, std::vector<int> weekdays = {}) {
  std::vector<double> out;
  double first = static_cast<double>(CDateTimeEx(y, m, d));
  for (int i = 0; i < n; ++i) {
    CDateTimeEx day{COleDateTime(first + i)};
    if (weekdays.empty() || std::find(weekdays.begin(), weekdays.end(), day.GetDayOfWeek()) != weekdays.end())
      out.push_back(first + i);
  }
  return out;
}

std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(DatesSelectedTest, SummaryTexts) {
  struct { const char* name; std::vector<double> days; const char* text; } cases[] = {
      {"one run in a month", Range(2003, 1, 6, 5), "January 6-10, 2003"},
      {"run over months", Range(2003, 1, 6, 61), "January 6 through March 7, 2003"},
      {"single day", Days({{2003, 1, 6}}), "January 6, 2003"},
      {"weekdays of a month", Range(2003, 1, 1, 31, {2, 3, 4, 5, 6}), "January 1-31, 2003 (Mon-Fri only)"},
      {"weekends, no wrap", Range(2003, 1, 4, 28, {1, 7}), "January 4-26, 2003 (Sun, Sat only)"},
      {"scattered days", Days({{2003, 1, 5}, {2003, 1, 8}, {2003, 1, 9}, {2003, 1, 20}}), "|January {5, 8-9, 20}, 2003"},
      {"two months", Join(Range(2003, 1, 5, 3), Days({{2003, 2, 3}})), "|January 5-7, 2003|February 3, 2003"},
      {"whole year, then scattered",
       Join(Range(2003, 1, 1, 365), Days({{2004, 3, 1}, {2004, 3, 3}})),
       "|January 1, 2003 through December 31, 2003|March {1, 3}, 2004"},
      {"gap between no-gap years is not joined",
       Join(Range(2002, 12, 1, 31), Days({{2003, 1, 5}, {2003, 1, 6}})),
       "|December 1, 2002 through December 31, 2002|January 5, 2003 through January 6, 2003"},
      {"adjacent no-gap years are joined",
       Join(Days({{2001, 3, 1}, {2001, 3, 3}}), Range(2002, 12, 30, 4)),
       "|March {1, 3}, 2001|December 30, 2002 through January 2, 2003"},
      {"single no-gap month in a gapped year", Join(Range(2003, 1, 5, 3), Range(2003, 3, 1, 2)),
       "|January 5-7, 2003|March 1 through March 2, 2003"},
      {"gap days before a month's first day belong to that month",
       Join(Range(2003, 1, 1, 31), Days({{2003, 2, 3}})), "|January 1 through January 31, 2003|February 3, 2003"},
  };
  for (const auto& c : cases) {
    std::string out;
    WriteDatesSelected(c.days, out, "|");
    EXPECT_EQ(out, c.text) << c.name;
  }
}

TEST(ReportHeaderTest, TextAndSpreadsheetForms) {
  SReportHeader h;
  h.fileName = "r.txt";
  h.created = COleDateTime(2004, 5, 6, 7, 8, 9);
  h.avgMethod = 3;
  h.sumMethod = 7;
  h.reportType = 2;
  h.minValidity = "50.0 %";
  h.period = "01:00:00";
  h.dates = Join(Range(2003, 1, 5, 3), Days({{2003, 2, 3}}));
  EXPECT_EQ(FormatReportHeader(h),
            "***********************************\nFilename:  r.txt\nCreated:  05/06/04 07:08:09\nFormat:  TEXT\n"
            "Daily Average:  Monthly\nDate(s) Selected:  \n                   January 5-7, 2003\n"
            "                   February 3, 2003\nMin Validity:  50.0 %\nPeriod:  01:00:00 PM Peak\n"
            "Period Summation:  Sum/Avg All, Sub Closest Good/Suspect for Bad\n***********************************\n\n");
  h.outFormat = 1;
  h.avgMethod = 0;
  h.reportType = 1;
  EXPECT_EQ(FormatReportHeader(h),
            "Filename\tr.txt\nCreated\t05/06/04 07:08:09\nFormat\tSPREADSHEET\nDaily Average\tSingle-day (none)\n"
            "Date(s) Selected\t\n\tJanuary 5-7, 2003\n\tFebruary 3, 2003\nPeriod\t01:00:00\tAM Peak\n"
            "Period Summation\tSum/Avg All, Sub Closest Good/Suspect for Bad\n\n");
  // A method outside the table reads as the first, never past either end of it.
  for (int outside : {-1, AVG_METHODS}) {
    h.avgMethod = outside;
    EXPECT_NE(FormatReportHeader(h).find("Daily Average\tSingle-day (none)\n"), std::string::npos) << outside;
  }
}

// Rows of daily volume: element e, date (2003-01-d), content code, value.
struct RowSpec { int elem, day, content, value; };

class PivotTest : public ::testing::Test {
 protected:
  CDBRoadway road{"I-5"};
  CDBCabinet cab{"005es00100", "ES-0001", 100, "North", &road};
  CDBElementEx e0{"LOOP01V", ET_LOOP, &cab}, e1{"LOOP02V", ET_LOOP, &cab};
  std::vector<CDBRecord> rows;
  std::vector<const CDBRecord*> ptrs;

  void Make(const std::vector<RowSpec>& specs) {
    for (auto s : specs) {
      CDateTimeEx d(2003, 1, s.day);
      rows.emplace_back(s.elem == 0 ? &e0 : &e1, s.elem, 2003, 1, s.day, 0, 0, 0, 1, d.GetDayOfWeek(), s.content, s.value);
    }
    for (auto& r : rows) ptrs.push_back(&r);
  }
  std::string Walk(const SPivotLayout& l, CRunFlags& run) {
    std::string out;
    EXPECT_EQ(WritePivotBody(ptrs.data(), static_cast<int>(ptrs.size()), l, [&](const std::string& s) { out += s; return true; }, run),
              run.keepGoing() ? EWalkResult::Done : EWalkResult::Cancelled);
    return out;
  }
};

std::string Pad(const std::string& s) { return std::string(17 - s.size(), ' ') + s; }
const std::string B(17, ' ');

TEST_F(PivotTest, RowsKeysPrintOnceAndColumnsHeadOnce) {
  // Rows: Element, Date; columns: Data Content (Volume, Occupancy).
  Make({{0, 6, 0, 10}, {0, 6, 1, 55}, {0, 7, 0, 11}, {0, 7, 1, 56}, {1, 6, 0, 12}, {1, 6, 1, 57}});
  SPivotLayout l{{}, {GK_ELEMENT, GK_DATE}, {GK_CONTENT}, 2, 0};
  CRunFlags run;
  std::string elem0 = "  ES-0001:LOOP01V", elem1 = "  ES-0001:LOOP02V";
  EXPECT_EQ(Walk(l, run), "\n" + B + B + Pad("Volume") + Pad("Occupancy") + "\n" +
                              elem0 + Pad("01/06/2003") + Pad("10") + Pad("5.5%") + "\n" +
                              B + Pad("01/07/2003") + Pad("11") + Pad("5.6%") + "\n" +
                              elem1 + Pad("01/06/2003") + Pad("12") + Pad("5.7%"));
  EXPECT_EQ(run.progress.load(), 5u * kProgressWalkRow);
}

TEST_F(PivotTest, SeparateReportsAndRepeatedColumnValues) {
  // Separate reports by Element; columns Date then Data Content: the date heads two columns.
  Make({{0, 6, 0, 1}, {0, 6, 1, 2}, {1, 6, 0, 3}, {1, 6, 1, 4}});
  SPivotLayout l{{GK_ELEMENT}, {}, {GK_DATE, GK_CONTENT}, 2, 1};
  CRunFlags run;
  EXPECT_EQ(Walk(l, run),
            "Element\t005es00100:LOOP01V\n\n01/06/2003\t\t\nVolume\tOccupancy\t\n1\t  0.2%\t\n\n"
            "Element\t005es00100:LOOP02V\n\n01/06/2003\t\t\nVolume\tOccupancy\t\n3\t  0.4%\t");
}

TEST_F(PivotTest, ColumnScanStopsAtColsHiAndCancelStopsTheWalk) {
  Make({{0, 6, 0, 1}, {0, 7, 0, 2}, {0, 8, 0, 3}});
  SPivotLayout l{{}, {GK_ELEMENT}, {GK_DATE}, 2, 1};
  CRunFlags run;
  std::string out = Walk(l, run);
  EXPECT_EQ(out, "\n\t01/06/2003\t01/07/2003\t\n005es00100:LOOP01V\t1\t2\t3\t");
  CRunFlags cancelled;
  cancelled.cancel();
  EXPECT_EQ(Walk(l, cancelled), "\n\t01/06/2003\t01/07/2003\t\n005es00100:LOOP01V\t1\t2\t");
}

TEST_F(PivotTest, ColumnScanStopsWhereTheSeparateReportChanges) {
  // The scan bound reaches into the next element's report, whose date must not head a column here.
  Make({{0, 6, 0, 1}, {1, 7, 0, 2}});
  SPivotLayout l{{GK_ELEMENT}, {}, {GK_DATE}, 4, 1};
  CRunFlags run;
  EXPECT_EQ(Walk(l, run),
            "Element\t005es00100:LOOP01V\n\n01/06/2003\t\n1\t\n\n"
            "Element\t005es00100:LOOP02V\n\n01/07/2003\t\n2\t");
}

TEST_F(PivotTest, OneRowIsAWholeReport) {
  Make({{0, 6, 0, 7}});
  SPivotLayout l{{}, {GK_ELEMENT}, {GK_DATE}, 1, 1};
  CRunFlags run;
  EXPECT_EQ(Walk(l, run), "\n\t01/06/2003\t\n005es00100:LOOP01V\t7\t");
}

TEST_F(PivotTest, NoRowsWritesNothing) {
  SPivotLayout l{{}, {GK_ELEMENT}, {GK_DATE}, 2, 0};
  CRunFlags run;
  EXPECT_EQ(Walk(l, run), "");
}

// Two elements, 25 days, two contents: 100 rows.
std::vector<RowSpec> ManyRows() {
  std::vector<RowSpec> specs;
  for (int e = 0; e < 2; ++e)
    for (int d = 1; d <= 25; ++d)
      for (int c = 0; c < 2; ++c) specs.push_back({e, d, c, 100 * e + 10 * d + c});
  return specs;
}

TEST_F(PivotTest, AReportLargerThanTheBufferGoesOutInBoundedPiecesWithTheSameBytes) {
  Make(ManyRows());
  const size_t limit = 64;
  // A listing without separate reports, and separate reports with a heading wider than the buffer.
  for (int format : {0, 1}) {
    for (const SPivotLayout& l : {SPivotLayout{{}, {GK_ELEMENT, GK_DATE}, {GK_CONTENT}, 2, format},
                                  SPivotLayout{{GK_ELEMENT}, {GK_CONTENT}, {GK_DATE}, 25, format}}) {
      const int count = static_cast<int>(ptrs.size());
      std::string whole;
      int wholeWrites = 0;
      CRunFlags once;
      ASSERT_EQ(WritePivotBody(ptrs.data(), count, l, [&](const std::string& s) {
                                 whole += s;
                                 ++wholeWrites;
                                 return true;
                               },
                               once, std::string::npos),
                EWalkResult::Done);
      ASSERT_EQ(wholeWrites, 1);
      std::vector<std::string> pieces;
      uint64_t progressAtHalf = 0;
      size_t written = 0;
      CRunFlags run;
      ASSERT_EQ(WritePivotBody(ptrs.data(), count, l,
                               [&](const std::string& s) {
                                 if (written < whole.size() / 2 && written + s.size() >= whole.size() / 2)
                                   progressAtHalf = run.progress.load();
                                 written += s.size();
                                 pieces.push_back(s);
                                 return true;
                               },
                               run, limit),
                EWalkResult::Done);
      std::string joined;
      for (size_t i = 0; i < pieces.size(); ++i) {
        joined += pieces[i];
        EXPECT_LT(pieces[i].size(), limit + 100) << format << " piece " << i;
        if (i + 1 < pieces.size()) { EXPECT_GE(pieces[i].size(), limit) << format << " piece " << i; }
      }
      EXPECT_EQ(joined, whole) << format;
      EXPECT_GT(pieces.size(), whole.size() / (limit + 100)) << format;
      // The rows' units come with their bytes: half the text, about half the rows.
      EXPECT_EQ(run.progress.load(), once.progress.load()) << format;
      EXPECT_EQ(run.progress.load(), uint64_t{kProgressWalkRow} * (count - 1)) << format;
      EXPECT_GT(progressAtHalf, uint64_t{kProgressWalkRow} * (count - 1) * 3 / 10) << format;
      EXPECT_LT(progressAtHalf, uint64_t{kProgressWalkRow} * (count - 1) * 7 / 10) << format;
    }
  }
}

TEST_F(PivotTest, ACancelOrAFailedWriteStopsTheWalkAtThatPiece) {
  Make(ManyRows());
  SPivotLayout l{{}, {GK_ELEMENT, GK_DATE}, {GK_CONTENT}, 2, 0};
  std::string whole;
  CRunFlags once;
  WritePivotBody(ptrs.data(), static_cast<int>(ptrs.size()), l, [&](const std::string& s) { whole += s; return true; }, once);
  // The user cancels while the third piece is being written, or the file cannot take it:
  // nothing follows it.
  for (bool cancel : {true, false}) {
    CRunFlags run;
    std::string out;
    int writes = 0;
    EXPECT_EQ(WritePivotBody(ptrs.data(), static_cast<int>(ptrs.size()), l,
                             [&](const std::string& s) {
                               if (++writes == 3) {
                                 if (!cancel) return false;
                                 run.cancel();
                               }
                               out += s;
                               return true;
                             },
                             run, 64),
              cancel ? EWalkResult::Cancelled : EWalkResult::WriteFailed);
    EXPECT_EQ(writes, 3) << cancel;
    EXPECT_EQ(whole.compare(0, out.size(), out), 0) << cancel;
    EXPECT_LT(out.size(), whole.size() / 4) << cancel;
  }
}

class StatusLog : public IReportFileStatus {
 public:
  std::vector<std::string> lines;
  void PostWin32Error(DWORD e) override { lines.push_back("502"); (void)e; }
  void PostOutFileError(const std::string& p) override { lines.push_back("513 " + p); }
  void PostOutputTo(const std::string& p) override { lines.push_back("514 " + p); }
};

TEST(ReportFileCreateTest, FolderIsCreatedOrTheTempFolderTakesTheReport) {
  char tmpl[] = "/tmp/qav_report_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string base = tmpl;
  ASSERT_EQ(mkdir((base + "/dir").c_str(), 0700), 0);
  // A missing folder one level deep is created, with either separator; anything else goes to the
  // temporary folder, announced by 502, 513 with the chosen path and 514 with the file written.
  struct Case { std::string chosen; bool inPlace; };
  const Case cases[] = {{base + "\\sub\\r.txt", true},   {base + "/slash/r.txt", true},
                        {base + "/no/such/r.txt", false},  {"/proc/qav_no_such/r.txt", false},
                        {base + "/dir", false},            {base + "/no/such/r.txt", false},
                        {"r.txt", false}};  // no home folder to take the name in
  std::vector<std::string> fallbacks;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    CStdioFile f;
    StatusLog log;
    std::string written;
    ASSERT_TRUE(CreateReportFile(f, c.chosen, written, log));
    f.WriteString("report\n");
    EXPECT_TRUE(f.Commit());
    if (c.inPlace) {
      EXPECT_TRUE(log.lines.empty());
      EXPECT_EQ(written, c.chosen);
    } else {
      ASSERT_EQ(log.lines.size(), 3u);
      EXPECT_EQ(log.lines[1], "513 " + c.chosen);
      EXPECT_EQ(log.lines[2], "514 " + written);
      EXPECT_TRUE(written.starts_with(GetTempFolder()) && written.ends_with("Out.txt")) << written;
      fallbacks.push_back(written);
    }
    EXPECT_TRUE(FileExists(written.c_str()));
  }
  EXPECT_NE(fallbacks.front(), fallbacks.back());  // a second fall-back never overwrites the first
  for (auto& n : fallbacks) std::remove(n.c_str());

  // No temporary folder, or every name the fall-back may draw already taken: the report fails.
  const std::string taken = base + "/taken/";
  ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
  for (int i = 0; i < 32768; ++i) {
    FILE* name = std::fopen((taken + std::to_string(i) + "Out.txt").c_str(), "w");
    ASSERT_NE(name, nullptr);
    std::fclose(name);
  }
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  for (const std::string& temp : {base + "/missing/", taken}) {
    SCOPED_TRACE(temp);
    setenv("TMPDIR", temp.c_str(), 1);
    CStdioFile f;
    StatusLog log;
    std::string written;
    EXPECT_FALSE(CreateReportFile(f, base + "/no/such/r.txt", written, log));
  }
  if (old != nullptr) setenv("TMPDIR", saved.c_str(), 1);
  else unsetenv("TMPDIR");
  std::filesystem::remove_all(base);
}

}  // namespace
