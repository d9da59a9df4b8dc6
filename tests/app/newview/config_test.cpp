// The .nfg file and the MAINNEW profile section: round trips, the two older layouts, and
// damaged files that leave the design as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "app/newview/new_config.h"
#include "app/newview/newview_fixture.h"
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

  // Older: no header, 4-line cabinets; id from route number and milepost.
  std::string old = Lines({"C:\\r.txt", "1", "1", "0", "37627.0", "1", "SR 5", "1", "A1", "12345", "Here", "0", "1",
                           "LOOP01V", "0", "0", "0", "0", "0", "1", "0", "0", "7"});
  ASSERT_TRUE(ReadNewConfig(old, c, &error)) << error;
  EXPECT_EQ(c.outputPath, "C:\\r.txt");
  ASSERT_EQ(c.cabinets.size(), 1u);
  EXPECT_EQ(c.cabinets[0].id, "005es12345");
  EXPECT_EQ(c.periodLen, 15);
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

TEST(NfgConfigTest, DatesAreSortedKeysCheckedAndValuesClamped) {
  std::string text = Lines({"QAV Main Configuration File Version NG.2", "o", "7", "9", "3", "0", "37630", "37627", "37630",
                            "0", "0", "0", "12", "5000", "0", "99", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                            "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "3", "7", "1", "99", "1",
                            "7", "0", "1", "7", "1", "0"});
  SNewConfig c;
  std::string error;
  ASSERT_TRUE(ReadNewConfig(text, c, &error)) << error;
  EXPECT_EQ(c.dates, (std::vector<double>{37627, 37630}));
  CNewReportModel m;
  ApplyConfig(m, c, true);
  EXPECT_EQ(m.m_nOutFormat, 1);
  EXPECT_EQ(m.m_nReportType, RT_NORMAL);
  EXPECT_EQ(m.m_nAvgMethod, AVG_NONE);
  EXPECT_EQ(m.m_nMinValidity, 1000);
  EXPECT_EQ(m.m_nPeriodLen, 1);
  EXPECT_EQ(m.m_nSumMethod, DEFAULT_SUM_METHOD);
  EXPECT_EQ(Keys(m.m_lstCols), std::vector<int>{GK_ELEMENT});  // 99 and the repeated 7 skipped
  EXPECT_TRUE(m.m_lstRows.Count() == 0 && m.m_lstSeps.Count() == 0);
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
    ReadProfileStructure(m, p);
    EXPECT_EQ(m.m_lstSource.ListedCount(), 14);

    MakeDesign(m);
    ASSERT_TRUE(WriteProfile(m, p));
    ASSERT_TRUE(file.Flush());
  }
  CProfile file{std::string(path)};
  CFileProfileStore p(file);
  p.WriteInt("MAINNEW", "PSUM_LEN", 0);  // damaged values are brought into range
  p.WriteInt("MAINNEW", "PSUM_RES", 0);
  CNewReportModel m;
  ReadProfileSettings(m, p);
  m.ExcludeTypes();
  ReadProfileStructure(m, p);
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
  EXPECT_EQ(src.ListedCount(), 4);
  src.ResetTypes();
  for (int k = 0; k < 14; ++k) EXPECT_EQ(src.TypeAtIndex(k), k);
}

}  // namespace
