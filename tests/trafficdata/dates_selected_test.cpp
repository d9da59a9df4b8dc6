// Selected-date sets: defaults, deep copies and the container order.
#include <gtest/gtest.h>

#include "trafficdata/dates_selected.h"

namespace {

TEST(DatesSelected, DefaultsAndDeepCopies) {
  CMonthSelected fresh;
  EXPECT_EQ(fresh.fields.number, -1);
  EXPECT_EQ(fresh.m_nSize, 0);
  for (bool f : fresh.fields.flags) EXPECT_TRUE(f);

  CAllDatesSelected all;
  for (int y = 0; y < 2; ++y) {
    CYearSelected year;
    year.fields.number = 1993 + y;
    for (int m = 0; m < 3; ++m) {
      CMonthSelected month;
      month.fields.number = m + 1;
      for (int d = 1; d <= m + 1; ++d) month.Add(&d);
      year.Add(month);
    }
    all.Add(year);
  }
  all.fields.flags[3] = false;
  {
    CAllDatesSelected copy(all);
    ASSERT_EQ(copy.m_nSize, 2);
    for (int y = 0; y < 2; ++y) {
      ASSERT_EQ(copy.m_pData[y]->m_nSize, 3);
      EXPECT_NE(copy.m_pData[y], all.m_pData[y]);
      for (int m = 0; m < 3; ++m) {
        EXPECT_NE(copy.m_pData[y]->m_pData[m], all.m_pData[y]->m_pData[m]);
        EXPECT_EQ(copy.m_pData[y]->m_pData[m]->m_nSize, m + 1);
      }
    }
    EXPECT_FALSE(copy.fields.flags[3]);
    copy.m_pData[0]->m_pData[0]->m_pData[0] = 31;
  }
  EXPECT_EQ(all.m_pData[0]->m_pData[0]->m_pData[0], 1);  // the source is untouched

  CAllDatesSelected assigned;
  assigned = all;
  assigned = assigned;
  EXPECT_EQ(assigned.m_nSize, 2);
  EXPECT_EQ(assigned.m_pData[1]->fields.number, 1994);
}

TEST(DatesSelected, Order) {
  CMonthSelected a, b;
  int one = 1, two = 2;
  a.Add(&one);
  b.Add(&one);
  EXPECT_EQ(a.Compare(b), 0);
  b.Add(&two);
  EXPECT_LT(a.Compare(b), 0);  // fewer first
  a.fields.number = 6;
  b.fields.number = 6;
  EXPECT_TRUE(a == b);  // the same month
}

}  // namespace
