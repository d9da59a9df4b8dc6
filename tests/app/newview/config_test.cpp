// The .nfg file and the MAINNEW profile section: round trips, the two older layouts, and
// damaged files that leave the design as it was.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "app/newview/new_config.h"
#include "app/newview/newview_fixture.h"
#include "app/shell/app_test_env.h"
#include "app/shell/profile_store.h"
#include "platform/app/profile.h"

namespace {

using newview_test::AddElement;
using newview_test::Keys;
using newview_test::SetDates;

// A design with a selection: two dates, two cabinets on one roadway, three elements.
void MakeDesign(CNewReportModel& m) {
  SetDates(m, {{2003, 1, 6}, {2003, 1, 7}});
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP, "North", 100);
  AddElement(m, "005es00100", "LOOP02V", ET_LOOP, "North", 100);
  AddElement(m, "005es00250", "RATE01M", ET_RATE_STATUS, "South", 250);
  m.m_strOutputPath = "C:\\out\\r.txt";
  m.m_nOutFormat = 0;
  m.ChangeReportType(RT_NORMAL);
  m.ChangeAveraging(AVG_MONTHLY);
  m.m_nMinValidity = 905;
  m.m_nPeriodLen = 45;
  m.m_nSumMethod = 3;
  m.m_bContent[CC_VOLUME] = m.m_bContent[CC_METER_RATE] = 1;
  m.MoveToList(GK_TIME, m.m_lstRows, m.m_lstCols, nullptr);
  m.MoveToList(GK_ELEMENT, m.m_lstCols, m.m_lstRows, nullptr);
  m.MoveToSeps(GK_YEAR);
  m.m_lstCols.ToggleDirection(0);
}

TEST(NfgConfigTest, SavedDesignReadsBackTheSame) {
  CNewReportModel a;
  MakeDesign(a);
  SNewConfig saved;
  SnapshotConfig(a, saved);
  std::string text = WriteNewConfig(saved);
  EXPECT_EQ(text.rfind("QAV Main Configuration File Version NG.2\r\n", 0), 0u);

  SNewConfig read;
  std::string error;
  ASSERT_TRUE(ReadNewConfig(text, read, &error)) << error;
  CNewReportModel b;
  b.m_nPeriodStep = 15;
  EXPECT_EQ(ApplyConfig(b, read, true), 255);
  SNewConfig again;
  SnapshotConfig(b, again);
  EXPECT_EQ(WriteNewConfig(again), text);
  EXPECT_EQ(b.m_nPeriodStep, 15);  // the step is not in the file
  EXPECT_EQ(b.m_arrElements.m_pData[2]->cabinet, b.m_arrCabinets.m_pData[1]);
  EXPECT_EQ(b.m_arrCabinets.m_pData[1]->roadway, b.m_arrRoadways.m_pData[0]);
  EXPECT_FALSE(b.m_lstCols.At(0)->ascending);
  EXPECT_EQ(b.m_nElements, 3);
  EXPECT_EQ(b.m_arrDateGroups.m_nSize, 1);
}

TEST(NfgConfigTest, NoDatesWritesNoSelectionBlocks) {
  CNewReportModel a;
  SNewConfig c;
  SnapshotConfig(a, c);
  std::string text = WriteNewConfig(c);
  EXPECT_NE(text.find("\r\n1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n"), std::string::npos);  // format, type, N, avg, minvalid, len
  SNewConfig read;
  ASSERT_TRUE(ReadNewConfig(text, read, nullptr));
  CNewReportModel b;
  EXPECT_EQ(ApplyConfig(b, read, true), 0);
  EXPECT_EQ(b.m_nDates, 0);
  EXPECT_EQ(b.m_nElements, 0);
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* l : lines) s += std::string(l) + "\n";
  return s;
}

TEST(NfgConfigTest, Ng1AndOlderLayoutsAreRead) {
  // NG.1: period 3 (five-minute units), peak flag 1, PM flag 0; 12 content lines.
  std::string ng1 = Lines({"QAV Main Configuration File Version NG.1", "out.txt", "0", "1", "0", "37627.000000", "1", "SR 5",
                           "1", "005es12345", "A1", "12345", "Here", "0", "1", "LOOP01V", "0", "0", "0", "3", "500", "3",
                           "1", "0", "7", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "5", "1",
                           "0", "0"});
  SNewConfig c;
  std::string error;
  ASSERT_TRUE(ReadNewConfig(ng1, c, &error)) << error;
  CNewReportModel m;
  ApplyConfig(m, c, false);
  EXPECT_EQ(m.m_nPeriodLen, 45);
  EXPECT_EQ(m.m_nReportType, RT_AM_PEAK);
  EXPECT_FALSE(m.m_lstSource.IsListed(GK_TIME));
  for (int code = 0; code < CONTENT_ITEMS; ++code) EXPECT_EQ(m.m_bContent[code], code <= 10 || code == 17) << code;
  EXPECT_EQ(Keys(m.m_lstCols), std::vector<int>{GK_MONTH});

  // Older: no header, 4-line cabinets; id from route number and milepost. Its output path may
  // begin with "QAV " as a header does.
  std::string old = Lines({"QAV reports\\r.txt", "1", "1", "0", "37627.0", "1", "SR 5", "1", "A1", "12345", "Here", "0", "1",
                           "LOOP01V", "0", "0", "0", "0", "0", "1", "0", "0", "7", "0", "0", "0", "0", "0", "0",
                           "0", "0", "0", "0", "0", "0", "0", "0", "0"});
  ASSERT_TRUE(ReadNewConfig(old, c, &error)) << error;
  EXPECT_EQ(c.outputPath, "QAV reports\\r.txt");
  ASSERT_EQ(c.cabinets.size(), 1u);
  EXPECT_EQ(c.cabinets[0].id, "005es12345");
  EXPECT_EQ(c.periodLen, 15);
}

TEST(NfgConfigTest, MilepostsReadBackWhereTheLayoutKeepsThemAsNumbers) {
  // NG.2 keeps any milepost; the older layout makes five digits of the cabinet id of it.
  CNewReportModel design;
  MakeDesign(design);
  std::vector<std::string> older = {"r.txt", "1", "1", "0", "37627.0", "1", "SR 5", "1", "A1", "?", "Here", "0", "1",
                                    "LOOP01V", "0", "0", "0", "0", "0", "1", "0", "0", "7", "0", "0", "0", "0", "0", "0",
                                    "0", "0", "0", "0", "0", "0", "0", "0", "0"};
  const struct {
    int milepost;
    const char* olderReason;  // empty: the older layout reads it too
  } cases[] = {
      {0, ""},
      {99999, ""},
      {-5, "line 10 is -5 (cabinet mileposts), not a value from 0 to 99999"},
      {100000, "line 10 is 100000 (cabinet mileposts), not a value from 0 to 99999"},
      {INT_MIN, "line 10 is -2147483648 (cabinet mileposts)"},
      {INT_MAX, "line 10 is 2147483647 (cabinet mileposts)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.milepost);
    SNewConfig saved;
    SnapshotConfig(design, saved);
    saved.cabinets[1].milepost = c.milepost;
    const std::string text = WriteNewConfig(saved);
    SNewConfig read;
    std::string error;
    ASSERT_TRUE(ReadNewConfig(text, read, &error)) << error;
    ASSERT_EQ(read.cabinets.size(), 2u);
    EXPECT_EQ(read.cabinets[1].milepost, c.milepost);
    EXPECT_EQ(WriteNewConfig(read), text);
    older[9] = std::to_string(c.milepost);
    std::string lines;
    for (const std::string& l : older) lines += l + "\n";
    SNewConfig old;
    EXPECT_EQ(ReadNewConfig(lines, old, &error), *c.olderReason == '\0') << error;
    if (*c.olderReason != '\0') {
      EXPECT_EQ(error.rfind(c.olderReason, 0), 0u) << error;
    }
  }
}

TEST(NfgConfigTest, DamagedFilesAreRefusedAndLeaveTheDesign) {
  const char* head = "QAV Main Configuration File Version NG.2\nout.txt\n0\n0\n";
  struct { const char* name; std::string body; } cases[] = {
      {"ends in the dates", "3\n0\n37627\n"},
      {"negative count", "-2\n"},
      {"huge count", "2000000000\n0\n"},
      {"roadway index outside", "1\n0\n37627\n1\nSR 5\n1\nid\nal\n1\nloc\n4\n0\n"},
      {"cabinet index outside", "1\n0\n37627\n0\n0\n1\nLOOP01V\n0\n3\n0\n"},
      {"element type outside", "1\n0\n37627\n1\nSR 5\n1\nid\nal\n1\nloc\n0\n1\nLOOP01V\n9\n0\n0\n"},
      {"no calendar day", "1\n0\n1e300\n0\n0\n0\n"},
      {"ends in the structure", "0\n0\n0\n1\n7\n" + std::string(23 * 2, '\n').replace(0, 46, "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n") + "2\n1\n"},
  };
  for (const auto& c : cases) {
    SNewConfig cfg;
    cfg.outputPath = "untouched";
    std::string error;
    EXPECT_FALSE(ReadNewConfig(std::string(head) + c.body, cfg, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_EQ(cfg.outputPath, "untouched") << c.name;
  }
}

// An NG.2 file: header, output path, format 1, the given lines from the report type to the
// period, summarising method 7, no content, and the given structure lines.
std::string Ng2(const char* settings, const char* structure) {
  std::string content;
  for (int i = 0; i < CONTENT_ITEMS; ++i) content += "0\n";
  return std::string("QAV Main Configuration File Version NG.2\no\n1\n") + settings + "7\n" + content + structure;
}

TEST(NfgConfigTest, RefusalsSayWhy) {
  const char* ok = "0\n0\n0\n0\n15\n";
  const struct {
    std::string text;
    const char* reason;
  } cases[] = {
      {"", "the file is empty"},
      {"\r\n", "the file is empty"},
      {"QAV Main Configuration File Version NG.3\nout.txt\n", "line 1 names a version of the configuration file that "
                                                             "this program does not read (NG.3)"},
      {"QAV Classic Configuration File Version NG.1\n1\n", "the file ends at line 2, before the number of dates"},
      {"out.txt\nplain text\nmore\n", "line 2 is not a number (output format)"},
      {std::string("\x01\x02junk\n"), "line 1 holds a character that is not text (output path)"},
      {Ng2("4\n0\n0\n0\n15\n", "0\n0\n0\n"), "line 4 is 4 (report type), not a value from 0 to 3"},
      {Ng2("0\n0\n0\n0\n4321\n", "0\n0\n0\n"), "line 8 is 4321 (period length)"},
      {"QAV Main Configuration File Version NG.1\no\n1\n0\n0\n0\n289\n", "line 7 is 289 (period length), not a value from 1 to 288"},
      {Ng2(ok, "1\n14\n1\n0\n0\n"), "line 34 is 14 (column keys), not a value from 0 to 13"},
      {Ng2(ok, "1\n7\n1\n1\n7\n1\n0\n"), "line 37 places \"Element\" a second time"},
      {Ng2(ok, "1\n2\n1\n2\n6\n1\n7\n1\n0\n"),
       "the columns hold \"Date\" and the rows \"Year\": the two types can't be split between columns and rows"},
      {Ng2(ok, "0\n0\n"), "the file ends at line 34, before the number of separate-report keys"},
      {Ng2(ok, "0\n0\n0\n9\n"), "line 36 follows the end of the set-up"},
  };
  for (const auto& c : cases) {
    SNewConfig cfg;
    cfg.outputPath = "untouched";
    std::string error;
    EXPECT_FALSE(ReadNewConfig(c.text, cfg, &error)) << c.reason;
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << error;
    EXPECT_EQ(cfg.outputPath, "untouched");
  }
}

TEST(NfgConfigTest, DatesAreSortedAndThePeriodKeptBelowTheStep) {
  // Three dates (one twice), no roadways, cabinets or elements, period 4 units.
  std::string text = Ng2("0\n3\n0\n37630\n37627\n37630\n0\n0\n0\n0\n0\n4\n", "0\n0\n0\n");
  SNewConfig c;
  std::string error;
  ASSERT_TRUE(ReadNewConfig(text, c, &error)) << error;
  EXPECT_EQ(c.dates, (std::vector<double>{37627, 37630}));
  // Five-minute data had set the step to 15: the design still reads back with its 4 units.
  CNewReportModel m;
  m.m_nPeriodStep = FIVE_MINUTES;
  ApplyConfig(m, c, true);
  EXPECT_EQ(m.m_nPeriodLen, 4);
  EXPECT_EQ(m.m_strPeriod, "00:01:20");
  EXPECT_FALSE(m.ElementsLoaded(4320));  // 20-second data: the period stays
  EXPECT_EQ(m.m_nPeriodLen, 4);
  EXPECT_TRUE(m.ElementsLoaded(288));  // five-minute data cannot give less than five minutes
  EXPECT_EQ(m.m_nPeriodLen, FIVE_MINUTES);
}

TEST(NewProfileTest, StructureSplittingATypeGroupIsNotUsed) {
  AppTempFolder dir;
  CProfile file{dir / "qav.ini"};
  CFileProfileStore p(file);
  for (auto [key, value] : {std::pair{"REP_NCOLS", 1}, {"REP_COL0_TYPE", GK_DATE}, {"REP_NROWS", 2},
                            {"REP_ROW0_TYPE", GK_YEAR}, {"REP_ROW1_TYPE", GK_ELEMENT}})
    p.WriteInt("MAINNEW", key, value);
  CNewReportModel m;
  std::string reason;
  EXPECT_FALSE(ReadProfileStructure(m, p, &reason));
  EXPECT_EQ(reason, "the columns hold \"Date\" and the rows \"Year\": the two types can't be split between columns and rows");
  EXPECT_EQ(m.m_lstCols.Count() + m.m_lstRows.Count() + m.m_lstSeps.Count(), 0);
  EXPECT_EQ(m.m_lstSource.ListedCount(), 14);
}

TEST(NewProfileTest, DefaultsAndRoundTrip) {
  char path[] = "/tmp/qav_mainnew_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    CProfile file{std::string(path)};
    CFileProfileStore p(file);
    CNewReportModel m;
    ReadProfileSettings(m, p);
    EXPECT_EQ(m.m_nOutFormat, 1);
    EXPECT_EQ(m.m_strOutputPath, "default.txt");
    EXPECT_EQ(m.m_strPeriod, "00:00:20");
    EXPECT_EQ(m.m_nSumMethod, 7);
    EXPECT_TRUE(ReadProfileStructure(m, p, nullptr));
    EXPECT_EQ(m.m_lstSource.ListedCount(), 14);

    MakeDesign(m);
    ASSERT_TRUE(WriteProfile(m, p));
    ASSERT_TRUE(file.Flush());
  }
  CProfile file{std::string(path)};
  CFileProfileStore p(file);
  EXPECT_EQ(p.GetInt("MAINNEW", "PSUM_LEN", 0), 45u);
  p.WriteInt("MAINNEW", "PSUM_LEN", 0);  // damaged values are brought into range
  p.WriteInt("MAINNEW", "PSUM_RES", 0);
  CNewReportModel m;
  ReadProfileSettings(m, p);
  m.ExcludeTypes();
  EXPECT_TRUE(ReadProfileStructure(m, p, nullptr));
  EXPECT_EQ(m.m_nPeriodStep, 1);
  EXPECT_EQ(m.m_nPeriodLen, 1);
  EXPECT_EQ(m.m_nAvgMethod, AVG_MONTHLY);
  EXPECT_EQ(Keys(m.m_lstCols), std::vector<int>{GK_ELEMENT});
  EXPECT_FALSE(m.m_lstCols.At(0)->ascending);
  EXPECT_EQ(Keys(m.m_lstSeps), std::vector<int>{GK_YEAR});
  std::remove(path);
}

TEST(SrcGrpTypeListTest, LineIndexesStayInKeyOrder) {
  CSrcGrpTypeList src;
  src.TakeType(GK_DATE);
  EXPECT_EQ(src.TypeAtIndex(GK_DATE), GK_DAY_OF_WEEK);
  EXPECT_EQ(src.Type(GK_ROADWAY).word, 12);
  for (int k : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) src.RemoveType(k);
  src.RestoreType(GK_DATE);  // between Time and ... nothing else listed after it
  EXPECT_EQ(src.TypeAtIndex(0), GK_TIME);
  EXPECT_EQ(src.TypeAtIndex(1), GK_DATE);
  src.RestoreType(GK_DAY_OF_WEEK);
  src.RestoreType(GK_CONTENT);
  EXPECT_EQ(src.TypeAtIndex(0), GK_CONTENT);
  EXPECT_EQ(src.TypeAtIndex(3), GK_DAY_OF_WEEK);
  EXPECT_EQ(src.TypeAtIndex(4), -1);
  src.RestoreType(GK_DAY_OF_WEEK);  // listed already: nothing
  src.RestoreType(-1);  // no such key: nothing
  src.RestoreType(GK_COUNT);
  EXPECT_EQ(src.TypeAtIndex(0), GK_CONTENT);
  EXPECT_EQ(src.ListedCount(), 4);
  src.ResetTypes();
  for (int k = 0; k < 14; ++k) EXPECT_EQ(src.TypeAtIndex(k), k);
}

}  // namespace
