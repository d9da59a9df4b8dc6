// The New view's design rules at their edges: content of another report type, kinds with no
// selected element, keys placed while the averaging method changes, the spins' limits, the date
// key values and the low/high counts of the estimate.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/newview/new_config.h"
#include "app/newview/new_model.h"
#include "app/newview/new_run.h"
#include "app/newview/newview_fixture.h"
#include "app/shell/profile_store.h"
#include "platform/app/profile.h"
#include "trafficdata/view_settings.h"

namespace {

using newview_test::AddElement;
using newview_test::Keys;
using newview_test::SetDates;

TEST(DesignRulesTest, ContentOfAnotherReportTypeCountsNowhere) {
  CNewReportModel m;
  SetDates(m, {{2003, 1, 6}});
  AddElement(m, "ES-0001", "LOOP01V", ET_LOOP);
  m.m_bContent[CC_VOLUME] = m.m_bContent[CC_PEAK_TIME] = m.m_bContent[CC_TT_SEGMENT] = 1;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  EXPECT_EQ(m.m_nContentPerKind[ET_LOOP], 1);
  NewSettings s;
  m.FillNewSettings(s);
  EXPECT_TRUE(s.content[CC_VOLUME]);
  EXPECT_FALSE(s.content[CC_PEAK_TIME]);
  // Content in the rows, Time in the columns: one row per content item that applies.
  ASSERT_TRUE(m.MoveToList(GK_CONTENT, m.m_lstRows, m.m_lstCols, nullptr));
  ASSERT_TRUE(m.MoveToList(GK_TIME, m.m_lstCols, m.m_lstRows, nullptr));
  m.RecomputeReportLayout();
  EXPECT_EQ(m.m_nRowsHi, 1);

  m.ChangeReportType(RT_AM_PEAK);  // Peak Time applies now; Time leaves the columns
  EXPECT_EQ(m.m_nContentPerKind[ET_LOOP], 2);
  EXPECT_EQ(m.m_nRowsHi, 2);
  m.FillNewSettings(s);
  EXPECT_TRUE(s.content[CC_PEAK_TIME]);
}

TEST(DesignRulesTest, SplitRuleLooksOnlyAtSelectedKindsAndApplicableContent) {
  struct {
    const char* name;
    std::vector<int> kinds;
    std::vector<int> content;
    int reportType;
    ESplitRule expected;
    int firstColumn = -1;  // a key placed in the columns before Data Content
  } cases[] = {
      {"loops only: Volume applies to every selected kind", {ET_LOOP}, {CC_VOLUME}, RT_NORMAL, ESplitRule::Satisfied},
      {"travel time content under Normal is no content", {ET_RATE_STATUS}, {CC_METER_RATE, CC_TT_SEGMENT}, RT_NORMAL,
       ESplitRule::Satisfied},
      {"travel time content under Travel Time", {ET_RATE_STATUS}, {CC_METER_RATE, CC_TT_SEGMENT}, RT_TRAVEL_TIME,
       ESplitRule::ElementTypeAdded},
      {"loop and metered lane", {ET_LOOP, ET_RATE_STATUS}, {CC_VOLUME}, RT_NORMAL, ESplitRule::ElementTypeAdded},
      {"another column key first", {ET_LOOP, ET_RATE_STATUS}, {CC_VOLUME}, RT_NORMAL, ESplitRule::ElementTypeAdded, GK_DATE},
  };
  for (const auto& c : cases) {
    CNewReportModel m;
    int n = 0;
    for (int kind : c.kinds) AddElement(m, "ES-0001", ("ELEM0" + std::to_string(++n)).c_str(), kind);
    for (int code : c.content) m.m_bContent[code] = 1;
    m.m_nReportType = c.reportType;
    m.CountElementsPerKind();
    m.CountContentPerKind();
    if (c.firstColumn >= 0) { ASSERT_TRUE(m.MoveToList(c.firstColumn, m.m_lstCols, m.m_lstRows, nullptr)); }
    ASSERT_TRUE(m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr));
    ASSERT_TRUE(m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr));
    EXPECT_EQ(m.CheckSplitRule(), c.expected) << c.name;
    EXPECT_EQ(m.m_lstSeps.HasKey(GK_ELEMENT_TYPE), c.expected == ESplitRule::ElementTypeAdded) << c.name;
  }
}

TEST(DesignRulesTest, AveragingChangeLeavesAPlacedKeyInItsList) {
  CNewReportModel m;
  m.m_nAvgMethod = AVG_WEEKLY;  // as a configuration sets it, with Date already in the rows
  ASSERT_TRUE(m.MoveToList(GK_DATE, m.m_lstRows, m.m_lstCols, nullptr));
  m.ChangeAveraging(AVG_NONE);
  EXPECT_FALSE(m.m_lstSource.IsListed(GK_DATE));
  EXPECT_EQ(Keys(m.m_lstRows), std::vector<int>{GK_DATE});
}

TEST(DesignRulesTest, SpinsStopAtTheStepAndTheLimits) {
  struct { int step, max, len, delta, after; bool changed; } period[] = {
      {15, 4320, 15, +1, 15, false}, {15, 4320, 30, +1, 15, true},    {1, 4320, 1, +1, 1, false},
      {1, 4320, 2, +1, 1, true},     {1, 4320, 4320, -1, 4320, false}, {15, 4320, 4310, -1, 4320, true},
      {1, 2160, 2159, -1, 2160, true},
  };
  for (auto c : period) {
    CNewReportModel m;
    m.m_nPeriodStep = c.step;
    m.m_nPeriodMax = c.max;
    m.m_nPeriodLen = c.len;
    EXPECT_EQ(m.StepPeriod(c.delta), c.changed) << c.step << " " << c.len << " " << c.delta;
    EXPECT_EQ(m.m_nPeriodLen, c.after) << c.step << " " << c.len << " " << c.delta;
    if (c.changed) { EXPECT_EQ(m.m_strPeriod, FormatPeriod(c.after)); }
  }
  struct { int before, delta, after; bool changed; } validity[] = {
      {0, +1, 0, false}, {1, +1, 0, true}, {1000, -1, 1000, false}, {999, -1, 1000, true},
  };
  for (auto c : validity) {
    CNewReportModel m;
    m.m_nMinValidity = c.before;
    EXPECT_EQ(m.StepMinValidity(c.delta), c.changed) << c.before;
    EXPECT_EQ(m.m_nMinValidity, c.after) << c.before;
    if (c.changed) { EXPECT_EQ(m.m_strMinValidity, FormatMinValidity(c.after)); }
  }
}

TEST(DesignRulesTest, DateKeyValues) {
  CNewReportModel m;
  // Wednesday 1 January 2003, the Saturday and Sunday after it, 31 December 2003, Sunday
  // 4 January 2004 (the year began on a Thursday), and a day that does not exist.
  SetDates(m, {{2003, 1, 1}, {2003, 1, 4}, {2003, 1, 5}, {2003, 12, 31}, {2004, 1, 4}, {2003, 2, 30}});
  struct { int date; int64_t dayOfWeek, week, month, year; } cases[] = {
      {0, 4, 0, 1, 2003}, {1, 7, 0, 1, 2003},    {2, 1, 1, 1, 2003},
      {3, 4, 52, 12, 2003}, {4, 1, 1, 1, 2004}, {5, -1, 1, -1, -1},
  };
  for (auto c : cases) {
    EXPECT_EQ(m.DateKeyValue(c.date, GK_DATE), c.date);
    EXPECT_EQ(m.DateKeyValue(c.date, GK_DAY_OF_WEEK), c.dayOfWeek) << c.date;
    EXPECT_EQ(m.DateKeyValue(c.date, GK_WEEK), c.week) << c.date;
    EXPECT_EQ(m.DateKeyValue(c.date, GK_MONTH), c.month) << c.date;
    EXPECT_EQ(m.DateKeyValue(c.date, GK_YEAR), c.year) << c.date;
  }
}

TEST(DesignRulesTest, EstimateKeepsLowAndHighCountsApart) {
  // Months in the separate reports: January holds two dates, February one.
  for (bool datesInRows : {true, false}) {
    CNewReportModel m;
    SetDates(m, {{2003, 1, 6}, {2003, 1, 7}, {2003, 2, 3}});
    AddElement(m, "ES-0001", "LOOP01V", ET_LOOP);
    m.m_bContent[CC_VOLUME] = 1;
    m.m_nPeriodLen = 15;
    m.GroupSelectedDates();
    m.CountElementsPerKind();
    m.CountContentPerKind();
    m.PeriodsPerDay();
    CGrpTypeList& dateList = datesInRows ? m.m_lstRows : m.m_lstCols;
    CGrpTypeList& timeList = datesInRows ? m.m_lstCols : m.m_lstRows;
    ASSERT_TRUE(m.MoveToList(GK_DATE, dateList, timeList, nullptr));
    ASSERT_TRUE(m.MoveToList(GK_TIME, timeList, dateList, nullptr));
    m.MoveToSeps(GK_MONTH);
    m.RecomputeReportLayout();
    EXPECT_EQ(m.m_nReports, 2);
    EXPECT_EQ(datesInRows ? m.m_nRowsLo : m.m_nColsLo, 1) << datesInRows;
    EXPECT_EQ(datesInRows ? m.m_nRowsHi : m.m_nColsHi, 2) << datesInRows;
    EXPECT_EQ(datesInRows ? m.m_nColsLo : m.m_nRowsLo, 288) << datesInRows;
    EXPECT_EQ(datesInRows ? m.m_nColsHi : m.m_nRowsHi, 288) << datesInRows;
  }
}

TEST(DesignRulesTest, ClampKeepsTheEdgesAndResetsWhatLiesOutside) {
  using M = CNewReportModel;
  struct { int M::*field; int value, expected, reportType, step; } cases[] = {
      {&M::m_nOutFormat, 0, 0, RT_NORMAL, 1},      {&M::m_nOutFormat, 2, 1, RT_NORMAL, 1},
      {&M::m_nOutFormat, -1, 1, RT_NORMAL, 1},     {&M::m_nAvgMethod, AVG_YEARLY, AVG_YEARLY, RT_NORMAL, 1},
      {&M::m_nAvgMethod, AVG_METHODS, AVG_NONE, RT_NORMAL, 1}, {&M::m_nAvgMethod, -1, AVG_NONE, RT_NORMAL, 1},
      {&M::m_nSumMethod, 0, 0, RT_NORMAL, 1},      {&M::m_nSumMethod, SUM_METHODS - 1, SUM_METHODS - 1, RT_NORMAL, 1},
      {&M::m_nSumMethod, SUM_METHODS, DEFAULT_SUM_METHOD, RT_NORMAL, 1}, {&M::m_nSumMethod, -1, DEFAULT_SUM_METHOD, RT_NORMAL, 1},
      {&M::m_nReportType, RT_TRAVEL_TIME, RT_TRAVEL_TIME, RT_TRAVEL_TIME, 1},
      {&M::m_nReportType, REPORT_TYPES, RT_NORMAL, REPORT_TYPES, 1}, {&M::m_nReportType, -1, RT_NORMAL, -1, 1},
      {&M::m_nPeriodStep, 15, 15, RT_NORMAL, 15},  {&M::m_nPeriodStep, 2, 1, RT_NORMAL, 2},
      {&M::m_nMinValidity, -1, 0, RT_NORMAL, 1},   {&M::m_nMinValidity, 1000, 1000, RT_NORMAL, 1},
      {&M::m_nMinValidity, 1001, 1000, RT_NORMAL, 1},
      {&M::m_nPeriodLen, 14, 15, RT_NORMAL, 15},   {&M::m_nPeriodLen, 0, 1, RT_NORMAL, 1},
      {&M::m_nPeriodLen, 4320, 4320, RT_NORMAL, 1}, {&M::m_nPeriodLen, 4321, 4320, RT_NORMAL, 1},
      {&M::m_nPeriodLen, 2161, 2160, RT_PM_PEAK, 1},
  };
  for (auto c : cases) {
    CNewReportModel m;
    m.m_nReportType = c.reportType;
    m.m_nPeriodStep = c.step;
    m.*c.field = c.value;
    m.ClampSettings();
    EXPECT_EQ(m.*c.field, c.expected) << c.value;
  }
  CNewReportModel m;
  m.m_bContent[CC_SPEED] = 5;
  m.m_nPeriodLen = 270;
  m.m_nMinValidity = 125;
  m.ClampSettings();
  EXPECT_EQ(m.m_bContent[CC_SPEED], 1);
  EXPECT_EQ(m.m_bContent[CC_VOLUME], 0);
  EXPECT_EQ(m.m_strPeriod, "01:30:00");
  EXPECT_EQ(m.m_strMinValidity, "12.5 %");
}

TEST(DesignRulesTest, AppliedConfigurationNamesTheKindsToLoadAndDerivesTheCounts) {
  struct { bool withDates, ng2; int reportType, mask; } cases[] = {
      {false, true, RT_NORMAL, 0},          {true, true, RT_NORMAL, 255},
      {true, true, RT_TRAVEL_TIME, 7},      {true, false, RT_TRAVEL_TIME, 255},
  };
  for (auto c : cases) {
    SNewConfig cfg;
    if (c.withDates) cfg.dates = {37627};
    cfg.reportType = c.reportType;
    cfg.periodLen = 15;
    CNewReportModel m;
    EXPECT_EQ(ApplyConfig(m, cfg, c.ng2), c.mask) << c.withDates << c.ng2 << c.reportType;
  }
  // Every count is derived from the record.
  SNewConfig cfg;
  cfg.dates = {37627, 37628};
  cfg.roadways = {"I-5"};
  cfg.cabinets = {{"005es00100", "ES-0001", "Place", 100, 0}};
  cfg.elements = {{"LOOP01V", ET_LOOP, 0}, {"LOOP02V", ET_LOOP, 0}, {"RATE01M", ET_RATE_STATUS, 0}};
  cfg.periodLen = 1440;
  cfg.content[CC_VOLUME] = cfg.content[CC_OCCUPANCY] = 1;
  cfg.lists[NFG_COLS] = {{GK_TIME, true}};
  cfg.lists[NFG_ROWS] = {{GK_ELEMENT, true}};
  CNewReportModel m;
  ApplyConfig(m, cfg, true);
  EXPECT_EQ(m.m_nDates, 2);
  EXPECT_EQ(m.m_arrDateGroups.m_nSize, 2);
  EXPECT_EQ(m.m_nElemsPerKind[ET_LOOP], 2);
  EXPECT_EQ(m.m_nElemsPerKind[ET_RATE_STATUS], 1);
  EXPECT_EQ(m.m_nContentPerKind[ET_LOOP], 2);
  EXPECT_EQ(m.m_nCombinations, 4);
  EXPECT_EQ(m.m_nPeriodsPerDay, 3);
  EXPECT_EQ(m.m_nColsHi, 3);
  EXPECT_EQ(m.m_strPeriod, "08:00:00");
}

TEST(DesignRulesTest, StoredStructureSkipsKeysOutOfRange) {
  char path[] = "/tmp/qav_structure_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    CProfile file{std::string(path)};
    CFileProfileStore p(file);
    p.WriteInt(MAINNEW_SECTION, "REP_NCOLS", 4);
    p.WriteInt(MAINNEW_SECTION, "REP_COL0_TYPE", GROUP_TYPES);
    p.WriteInt(MAINNEW_SECTION, "REP_COL1_TYPE", -1);
    p.WriteInt(MAINNEW_SECTION, "REP_COL2_TYPE", GK_ROADWAY);
    p.WriteInt(MAINNEW_SECTION, "REP_COL3_TYPE", GK_CONTENT);
    CNewReportModel m;
    EXPECT_TRUE(ReadProfileStructure(m, p, nullptr));
    EXPECT_EQ(Keys(m.m_lstCols), (std::vector<int>{GK_ROADWAY, GK_CONTENT}));
  }
  std::remove(path);
}

TEST(DesignRulesTest, VocabularyTablesAtTheirEdges) {
  const int groups[] = {-1, EX_CONTENT, EX_TIME, EX_DATES, EX_DATES, EX_DATES, EX_DATES, EX_DATES, EX_ELEMENTS,
                        EX_ELEMENTS, EX_ELEMENTS, EX_ELEMENTS, EX_ELEMENTS, EX_ELEMENTS, EX_ELEMENTS, -1};
  for (int key = -1; key <= GROUP_TYPES; ++key) EXPECT_EQ(GroupTypeExclusivity(key), groups[key + 1]) << key;
  auto bits = [](std::initializer_list<int> keys) {
    uint16_t m = 0;
    for (int k : keys) m = static_cast<uint16_t>(m | (1u << k));
    return m;
  };
  const uint16_t excluded[] = {0,
                               bits({GK_DAY_OF_WEEK, GK_DATE}),
                               bits({GK_WEEK, GK_DATE}),
                               bits({GK_WEEK, GK_DAY_OF_WEEK, GK_DATE}),
                               bits({GK_MONTH, GK_WEEK, GK_DATE}),
                               bits({GK_MONTH, GK_WEEK, GK_DAY_OF_WEEK, GK_DATE}),
                               0};
  for (int avg = 0; avg <= AVG_METHODS; ++avg) EXPECT_EQ(AvgExcludedTypes(avg), excluded[avg]) << avg;
  int out[3] = {-1, -1, -1};
  EXPECT_EQ(AvgCompletionTypes(AVG_METHODS, out), 0);
  EXPECT_EQ(AvgCompletionTypes(AVG_YEARLY, out), 1);
  EXPECT_EQ(out[0], GK_YEAR);
  struct { int code, arg; bool type, kind; } content[] = {
      {CC_VOLUME, -1, false, false},          {CC_VOLUME, 8, false, false},     {CC_VOLUME, ET_LOOP, true, true},
      {CC_VOLUME, ET_SPEED_TRAP, true, false}, {CC_METER_RATE, ET_RATE_STATUS, true, true},
      {CC_PEAK_TIME, RT_AM_PEAK, true, true},  {CC_PEAK_TIME, RT_NORMAL, false, true},
      {-1, 0, false, false},                  {CONTENT_ITEMS, 0, false, false},
  };
  for (auto c : content) {
    EXPECT_EQ(ContentApplies(c.code, c.arg), c.type) << c.code << " " << c.arg;
    EXPECT_EQ(ContentAppliesToKind(c.code, c.arg), c.kind) << c.code << " " << c.arg;
  }
  EXPECT_STREQ(CellSeparator(1), "\t");
  EXPECT_STREQ(CellSeparator(0), "                 ");
}

TEST(DesignRulesTest, ColumnWarningOnlyAbove256) {
  EXPECT_FALSE(ColumnWarningDue(1));
  EXPECT_FALSE(ColumnWarningDue(256));
  EXPECT_TRUE(ColumnWarningDue(257));
}

}  // namespace
