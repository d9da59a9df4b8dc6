#include "app/classic/classic_state.h"

#include <gtest/gtest.h>

#include "containers/mem_mgr.h"

namespace {

TEST(ClassicState, SelectionRecordsKeepTheLinksBetweenTheLists) {
  CClassicSelection s;
  CDateTimeEx d1(2003, 1, 5), d2(2003, 2, 1);
  s.dates.Add(d1);
  s.dates.Add(d2);
  CDBRoadway r1("I5"), r2("sr520");
  s.roadways.Add(r1);
  s.roadways.Add(r2);
  CDBCabinet c1("005es01234", "ES-101D", 1234, "Oak Ave", s.roadways.m_pData[1]);
  s.cabinets.Add(c1);
  CDBRoadway stray("US2");  // a roadway that is in no list
  CDBCabinet c2("002es00100", "ES-2", 100, "Oak Glen", &stray);
  CDBElementEx e1("_MN___1", 0, s.cabinets.m_pData[0]), e2("_MS___2", 2, &c2);
  s.elements.Add(e1);
  s.elements.Add(e2);

  ClassicSelection rec = s.ToRecords();
  ASSERT_EQ(rec.roadways.size(), 3u);
  ASSERT_EQ(rec.cabinets.size(), 2u);
  EXPECT_EQ(rec.cabinets[0].roadway, 1);
  EXPECT_EQ(rec.cabinets[1].roadway, 2);
  EXPECT_EQ(rec.elements[1].cabinet, 1);

  CClassicSelection back;
  ASSERT_TRUE(back.FromRecords(rec));
  ASSERT_EQ(back.elements.m_nSize, 2);
  EXPECT_EQ(back.elements.m_pData[1]->cabinet, back.cabinets.m_pData[1]);
  EXPECT_EQ(back.cabinets.m_pData[0]->roadway, back.roadways.m_pData[1]);
  EXPECT_STREQ(back.cabinets.m_pData[0]->roadway->name, "SR 520");
  EXPECT_EQ(back.elements.m_pData[1]->cabinet->roadway->route, 2);
  EXPECT_EQ(MultiYearOfDates(back.dates), 2003);
  // Running out of memory part-way leaves every list empty, not cabinets without their elements.
  for (long n = 0;; ++n) {
    CClassicSelection part;
    CAllocFailureScope fail(n);
    if (part.FromRecords(rec)) break;
    EXPECT_EQ(part.dates.m_nSize + part.roadways.m_nSize + part.cabinets.m_nSize + part.elements.m_nSize, 0) << n;
  }
}

TEST(ClassicState, BlockWithoutDatesKeepsItsLists) {
  CClassicSelection s;
  CDBRoadway r("I5");
  s.roadways.Add(r);
  CDateTimeEx d(2003, 1, 5);
  s.dates.Add(d);
  ASSERT_TRUE(s.FromRecords(ClassicSelection()));
  EXPECT_EQ(s.dates.m_nSize, 0);
  EXPECT_EQ(s.roadways.m_nSize, 1);
  EXPECT_TRUE(s.ToRecords().roadways.empty());
  EXPECT_EQ(MultiYearOfDates(s.dates), 0);
}

TEST(ClassicState, MultiListsFollowTheMonthsWithData) {
  struct Case {
    std::vector<int> months;
    const char* jan;
    const char* monthlySun;
    const char* yearlySun;
    bool monthly, yearly;
  };
  const Case cases[] = {
      {{}, "n/a", "n/a", "n/a", false, false},
      {{1, 6}, "JAN", "SUN", "n/a", true, false},
      {{2}, "n/a", "SUN", "n/a", true, false},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, "JAN", "SUN", "SUN", true, true},
  };
  for (const Case& c : cases) {
    bool flags[13] = {};
    for (int m : c.months) flags[m] = true;
    SMultiLists l = ComputeMultiLists(flags);
    EXPECT_EQ(l.months[0], c.jan);
    EXPECT_EQ(l.monthlyDays[0], c.monthlySun);
    EXPECT_EQ(l.yearlyDays[0], c.yearlySun);
    EXPECT_EQ(l.monthlyEnabled, c.monthly);
    EXPECT_EQ(l.yearlyEnabled, c.yearly);
  }
  bool flags[13] = {};
  CObjArray<CDateTimeEx> dates;
  CDateTimeEx bad(2003, 2, 30), june(2003, 6, 3);
  dates.Add(bad);
  dates.Add(june);
  MonthFlagsOfDates(dates, flags);
  EXPECT_TRUE(flags[6]);
  EXPECT_FALSE(flags[2]);
  EXPECT_EQ(MultiYearOfDates(dates), -1);
}

}  // namespace
