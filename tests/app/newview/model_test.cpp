// The New view's design model: date groups, periods per day, the two edit parsers, moves and
// exclusions, the split rule, structure completion and the layout estimate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/newview/new_model.h"
#include "app/newview/newview_fixture.h"

namespace {

using newview_test::AddElement;
using newview_test::Keys;
using newview_test::SetDates;

std::vector<std::vector<int>> Groups(const CNewReportModel& m) {
  std::vector<std::vector<int>> out;
  for (int g = 0; g < m.m_arrDateGroups.m_nSize; ++g) {
    const auto& grp = *m.m_arrDateGroups.m_pData[g];
    out.emplace_back(grp.m_pData, grp.m_pData + grp.m_nSize);
  }
  return out;
}

struct GroupCase {
  const char* name;
  int method;
  std::vector<CDateTimeEx> dates;
  std::vector<std::vector<int>> groups;
};

TEST(NewModelTest, DateGroupsFollowEachAveragingMethod) {
  const std::vector<GroupCase> cases = {
      {"weekly, weekday falls Sat->Sun", AVG_WEEKLY, {{2001, 1, 6}, {2001, 1, 7}}, {{0}, {1}}},
      {"weekly, seven days apart", AVG_WEEKLY, {{2001, 1, 8}, {2001, 1, 15}}, {{0}, {1}}},
      {"weekly, Sun..Sat", AVG_WEEKLY, {{2001, 1, 7}, {2001, 1, 13}}, {{0, 1}}},
      {"single day", AVG_NONE, {{2001, 1, 7}, {2001, 1, 13}}, {{0}, {1}}},
      {"monthly", AVG_MONTHLY, {{2001, 1, 30}, {2001, 1, 31}, {2001, 2, 1}, {2002, 2, 1}}, {{0, 1}, {2}, {3}}},
      {"yearly", AVG_YEARLY, {{2001, 1, 30}, {2001, 12, 31}, {2002, 2, 1}}, {{0, 1}, {2}}},
      // Tuesdays 2, 9, 16 and Wednesdays 3, 10 of January 2001.
      {"monthly dow, one month",
       AVG_MONTHLY_DOW,
       {{2001, 1, 2}, {2001, 1, 3}, {2001, 1, 9}, {2001, 1, 10}, {2001, 1, 16}},
       {{0, 2, 4}, {1, 3}}},
      {"monthly dow, two months",
       AVG_MONTHLY_DOW,
       {{2001, 1, 2}, {2001, 1, 3}, {2001, 2, 6}, {2001, 2, 7}},
       {{0}, {1}, {2}, {3}}},
      {"yearly dow across a month", AVG_YEARLY_DOW, {{2001, 1, 2}, {2001, 2, 6}, {2002, 1, 1}}, {{0, 1}, {2}}},
      {"dow groups from Sunday to Saturday", AVG_MONTHLY_DOW, {{2001, 1, 6}, {2001, 1, 7}, {2001, 1, 8}}, {{1}, {2}, {0}}},
  };
  for (const auto& c : cases) {
    CNewReportModel m;
    m.m_nAvgMethod = c.method;
    SetDates(m, c.dates);
    m.GroupSelectedDates();
    EXPECT_EQ(Groups(m), c.groups) << c.name;
  }
}

TEST(NewModelTest, PeriodsPerDayIsACeilingAndOneForPeaks) {
  struct { int len, type, ppd; } cases[] = {
      {15, RT_NORMAL, 288}, {4320, RT_NORMAL, 1}, {1000, RT_NORMAL, 5}, {1, RT_NORMAL, 4320},
      {2, RT_NORMAL, 2160}, {4319, RT_NORMAL, 2}, {15, RT_AM_PEAK, 1}, {15, RT_PM_PEAK, 1},
  };
  for (auto c : cases) {
    CNewReportModel m;
    m.m_nPeriodLen = c.len;
    m.m_nReportType = c.type;
    m.PeriodsPerDay();
    EXPECT_EQ(m.m_nPeriodsPerDay, c.ppd) << c.len << " " << c.type;
  }
}

TEST(NewModelTest, PeriodEditParsesRoundsAndRangeChecks) {
  struct { const char* text; int step, max, before, after; const char* shown; } cases[] = {
      {"1:30:00", 1, 4320, 1, 270, "01:30:00"},
      {"90", 1, 4320, 1, 4, "00:01:20"},
      {"25:00:00", 1, 4320, 7, 7, "00:02:20"},
      {"00:07:00", 15, 4320, 30, 15, "00:05:00"},
      {"1:30", 1, 4320, 1, 181, "01:00:20"},  // one colon: hours and seconds
      {"0:05", 1, 4320, 1, 1, "00:00:20"},    // five seconds is below one step
      {"13:00:00", 1, 2160, 3, 3, "00:01:00"},
      {"99999999999999999999999", 1, 4320, 2, 2, "00:00:40"},
      {"4294967296", 1, 4320, 2, 2, "00:00:40"},
      {"abc", 1, 4320, 9, 9, "00:03:00"},
  };
  for (auto c : cases) {
    CNewReportModel m;
    m.m_nPeriodStep = c.step;
    m.m_nPeriodMax = c.max;
    m.m_nPeriodLen = c.before;
    m.ParsePeriodText(c.text);
    EXPECT_EQ(m.m_nPeriodLen, c.after) << c.text;
    EXPECT_EQ(m.m_strPeriod, c.shown) << c.text;
  }
}

TEST(NewModelTest, MinValidityEditReadsFractionsAndPercents) {
  struct { const char* text; int before, after; const char* shown; } cases[] = {
      {"12.5 %", 0, 125, "12.5 %"}, {"0.125", 0, 125, "12.5 %"}, {"150 %", 7, 7, "0.7 %"},
      {"0.9", 0, 900, "90.0 %"},    {"90%", 0, 900, "90.0 %"},   {"1", 0, 1000, "100.0 %"},
      {"1.5", 3, 3, "0.3 %"},       {"", 55, 0, "0.0 %"},        {"0.12345", 0, 123, "12.3 %"},
      {"99999999999999999999%", 4, 4, "0.4 %"},
  };
  for (auto c : cases) {
    CNewReportModel m;
    m.m_nMinValidity = c.before;
    m.ParseMinValidityText(c.text);
    EXPECT_EQ(m.m_nMinValidity, c.after) << c.text;
    EXPECT_EQ(m.m_strMinValidity, c.shown) << c.text;
  }
}

TEST(NewModelTest, ElementsLoadedSetsTheStepAndRoundsThePeriod) {
  struct { int ppd, step, len, stepAfter, lenAfter; bool changed; } cases[] = {
      {288, 1, 22, 15, 15, true}, {288, 1, 7, 15, 15, true},  {288, 1, 45, 15, 45, false},
      {288, 15, 45, 15, 45, false}, {4320, 15, 45, 1, 45, false}, {0x7FFFFFFF, 15, 45, 15, 45, false},
  };
  for (auto c : cases) {
    CNewReportModel m;
    m.m_nPeriodStep = c.step;
    m.m_nPeriodLen = c.len;
    EXPECT_EQ(m.ElementsLoaded(c.ppd), c.changed);
    EXPECT_EQ(m.m_nPeriodStep, c.stepAfter);
    EXPECT_EQ(m.m_nPeriodLen, c.lenAfter);
  }
}

TEST(NewModelTest, MoveRuleRefusesSplittingAnExclusivityGroup) {
  CNewReportModel m;
  int conflict = -1;
  ASSERT_TRUE(m.MoveToList(GK_YEAR, m.m_lstRows, m.m_lstCols, &conflict));
  EXPECT_FALSE(m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, &conflict));
  EXPECT_EQ(conflict, GK_YEAR);
  EXPECT_TRUE(m.m_lstSource.IsListed(GK_DATE));
  ASSERT_TRUE(m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, &conflict));
  m.MoveToSeps(GK_CABINET);  // separate reports take anything
  EXPECT_EQ(Keys(m.m_lstSeps), std::vector<int>{GK_CABINET});
  m.RemoveFromList(m.m_lstRows, 0);
  EXPECT_EQ(Keys(m.m_lstRows), std::vector<int>{GK_ELEMENT});
  EXPECT_EQ(m.m_lstSource.TypeAtIndex(GK_YEAR), GK_YEAR);  // back at its sorted place
}

TEST(NewModelTest, AveragingAndReportTypeChangesExcludeAndRestore) {
  CNewReportModel m;
  m.ChangeAveraging(AVG_WEEKLY);
  EXPECT_FALSE(m.m_lstSource.IsListed(GK_DATE));
  EXPECT_FALSE(m.m_lstSource.IsListed(GK_DAY_OF_WEEK));
  m.MoveToSeps(GK_MONTH);
  m.ChangeAveraging(AVG_YEARLY);
  for (int k : {GK_DATE, GK_DAY_OF_WEEK, GK_WEEK, GK_MONTH}) EXPECT_FALSE(m.IsPlaced(k) || m.m_lstSource.IsListed(k)) << k;
  EXPECT_TRUE(m.m_lstSource.IsListed(GK_YEAR));

  m.m_nPeriodLen = 4320;
  m.MoveToSeps(GK_TIME);
  m.ChangeReportType(RT_AM_PEAK);
  EXPECT_EQ(m.m_strPeriod, "12:00:00");
  EXPECT_FALSE(m.IsPlaced(GK_TIME));
  EXPECT_FALSE(m.m_lstSource.IsListed(GK_TIME));
  m.ChangeReportType(RT_NORMAL);
  EXPECT_EQ(m.m_lstSource.TypeAtIndex(1), GK_TIME);
  EXPECT_EQ(m.m_nPeriodMax, 4320);
}

TEST(NewModelTest, SplitRuleAddsElementTypeOrRefuses) {
  struct { int elementTypePlace; ESplitRule expected; } cases[] = {
      {-1, ESplitRule::ElementTypeAdded}, {NFG_ROWS_FOR_TEST, ESplitRule::Refused}, {NFG_SEPS_FOR_TEST, ESplitRule::Satisfied},
  };
  for (auto c : cases) {
    CNewReportModel m;
    AddElement(m, "ES-0001", "LOOP01V", ET_LOOP);
    AddElement(m, "ES-0001", "RATE01M", ET_RATE_STATUS);
    m.m_bContent[CC_VOLUME] = m.m_bContent[CC_METER_RATE] = 1;
    m.CountElementsPerKind();
    m.CountContentPerKind();
    ASSERT_TRUE(m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr));
    ASSERT_TRUE(m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr));
    if (c.elementTypePlace == NFG_ROWS_FOR_TEST) m.MoveToList(GK_ELEMENT_TYPE, m.m_lstRows, m.m_lstCols, nullptr);
    if (c.elementTypePlace == NFG_SEPS_FOR_TEST) m.MoveToSeps(GK_ELEMENT_TYPE);
    EXPECT_EQ(m.CheckSplitRule(), c.expected);
    EXPECT_TRUE(m.m_lstSeps.HasKey(GK_ELEMENT_TYPE) || c.expected == ESplitRule::Refused);
  }
}

TEST(NewModelTest, CompletionAppendsUnplacedKeysInOrder) {
  struct { int avg, type; std::vector<int> seps; } cases[] = {
      {AVG_NONE, RT_NORMAL, {GK_TIME, GK_CONTENT, GK_ELEMENT, GK_DATE}},
      {AVG_WEEKLY, RT_NORMAL, {GK_TIME, GK_CONTENT, GK_ELEMENT, GK_YEAR, GK_WEEK}},
      {AVG_MONTHLY_DOW, RT_AM_PEAK, {GK_CONTENT, GK_ELEMENT, GK_YEAR, GK_MONTH, GK_DAY_OF_WEEK}},
      {AVG_YEARLY_DOW, RT_NORMAL, {GK_TIME, GK_CONTENT, GK_ELEMENT, GK_YEAR, GK_DAY_OF_WEEK}},
  };
  for (const auto& c : cases) {
    CNewReportModel m;
    m.ChangeAveraging(c.avg);
    m.ChangeReportType(c.type);
    m.CompleteStructure(true);
    EXPECT_EQ(Keys(m.m_lstSeps), c.seps) << c.avg;
    m.CompleteStructure(true);  // a second run adds nothing
    EXPECT_EQ(Keys(m.m_lstSeps), c.seps) << c.avg;
  }
}

TEST(NewModelTest, EstimateOfLoopAndMeteredLaneGivesColsOneToTwo) {
  CNewReportModel m;
  SetDates(m, {{2003, 1, 6}});
  AddElement(m, "ES-0001", "LOOP01V", ET_LOOP);
  AddElement(m, "ES-0002", "RATE01M", ET_RATE_STATUS);
  m.m_bContent[CC_VOLUME] = m.m_bContent[CC_OCCUPANCY] = m.m_bContent[CC_METER_RATE] = 1;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  m.m_nPeriodLen = 4320;
  m.PeriodsPerDay();
  ASSERT_TRUE(m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr));
  ASSERT_TRUE(m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr));
  m.RecomputeReportLayout();
  EXPECT_EQ(m.m_nCombinations, 3);
  EXPECT_EQ(m.m_nReports, 2);
  EXPECT_EQ(m.m_nColsLo, 1);
  EXPECT_EQ(m.m_nColsHi, 2);
  EXPECT_EQ(m.m_nRowsLo, 1);
  EXPECT_EQ(m.m_nRowsHi, 1);
  EXPECT_TRUE(m.m_lstSource.IsListed(GK_ELEMENT_TYPE));  // the estimate changes no list
  EXPECT_EQ(m.m_lstSeps.Count(), 0);
  // Elements across, content in no list: one report per content, of the one element it applies to.
  m.RemoveFromList(m.m_lstCols, 0);
  m.RemoveFromList(m.m_lstRows, 0);
  ASSERT_TRUE(m.MoveToList(GK_ELEMENT, m.m_lstCols, m.m_lstRows, nullptr));
  m.RecomputeReportLayout();
  EXPECT_EQ(m.m_nReports, 3);
  EXPECT_EQ(m.m_nColsHi, 1);
  EXPECT_EQ(m.m_nRowsHi, 1);
}

TEST(NewModelTest, EstimateShortcutsAndDates) {
  CNewReportModel m;
  SetDates(m, {{2003, 1, 6}, {2003, 1, 7}, {2003, 2, 3}});
  for (const char* n : {"LOOP01V", "LOOP02V", "LOOP03V"}) AddElement(m, "ES-0001", n, ET_LOOP);
  m.m_bContent[CC_VOLUME] = m.m_bContent[CC_OCCUPANCY] = 1;
  m.m_nPeriodLen = 15;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  m.PeriodsPerDay();
  ASSERT_TRUE(m.MoveToList(GK_TIME, m.m_lstRows, m.m_lstCols, nullptr));
  ASSERT_TRUE(m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr));
  m.MoveToSeps(GK_MONTH);
  m.RecomputeReportLayout();
  // Months: January with two dates, February with one; content x element = 6 reports each.
  EXPECT_EQ(m.m_nReports, 2 * 6);
  EXPECT_EQ(m.m_nColsLo, 1);
  EXPECT_EQ(m.m_nColsHi, 2);
  EXPECT_EQ(m.m_nRowsHi, 288);
}

TEST(NewModelTest, EstimateSaturatesInsteadOfWrapping) {
  CNewReportModel m;
  std::vector<CDateTimeEx> dates;
  for (int i = 0; i < 3000; ++i) dates.push_back(CDateTimeEx(COleDateTime(37000.0 + i)));
  SetDates(m, dates);
  for (int i = 0; i < 800; ++i) AddElement(m, "ES-0001", ("L" + std::to_string(100000 + i)).c_str(), ET_LOOP);
  for (int c = 0; c < CONTENT_ITEMS; ++c) m.m_bContent[c] = 1;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  m.PeriodsPerDay();
  ASSERT_TRUE(m.MoveToList(GK_TIME, m.m_lstCols, m.m_lstRows, nullptr));
  ASSERT_TRUE(m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr));
  ASSERT_TRUE(m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr));
  ASSERT_TRUE(m.MoveToList(GK_ELEMENT, m.m_lstCols, m.m_lstRows, nullptr));
  m.RecomputeReportLayout();
  EXPECT_EQ(m.m_nColsHi, 0x7FFFFFFF);
  EXPECT_GT(m.m_nColsHiWide, 256);
}

}  // namespace
