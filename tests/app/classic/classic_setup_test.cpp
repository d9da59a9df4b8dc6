// The Classic view reading a set-up whose multi-day block holds dates: the month flags, the year,
// the refreshed lists and their selections come back as they were saved.
#include <fstream>

#include "classic_view_env.h"

namespace {

TEST_F(ClassicViewTest, SetupWithMultiDayDatesRestoresYearListsAndSelections) {
  const std::string path = folder_ / "multi.cfg";
  CClassicSelection& multi = view_->m_sel[CB_MULTI];
  for (int d : {3, 4}) multi.dates.Add(CDateTimeEx(2003, 3, d));
  multi.dates.Add(CDateTimeEx(2003, 5, 6));
  multi.roadways.Add(CDBRoadway("I5"));
  multi.cabinets.Add(CDBCabinet("005es01234", "ES-101D", 1234, "Quarry Ln", multi.roadways.m_pData[0]));
  multi.elements.Add(CDBElementEx("_MN___1", 0, multi.cabinets.m_pData[0]));
  MonthFlagsOfDates(multi.dates, view_->m_bMonthHasData);
  view_->m_nMdsYear = 2003;
  view_->m_nMdsElems = 1;
  view_->RefreshMultiLists();
  view_->m_bMdsOn = 1;
  view_->m_bMdsOff = 0;
  view_->m_bMonthly = view_->m_bYearly = 1;
  view_->UpdateData(FALSE);
  view_->m_lstMonths.SetSel(2, TRUE);
  view_->m_lstMonths.SetSel(4, TRUE);
  view_->m_lstMonthlyDays.SetSel(1, TRUE);
  view_->m_lstYearlyDays.SetSel(2, TRUE);
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest&, std::string& p) {
    p = path;
    return true;
  });
  view_->OnSaveConfig();

  // Another year's lists, nothing selected; then the file.
  multi.dates.RemoveAll();
  multi.elements.RemoveAll();
  for (auto& flag : view_->m_bMonthHasData) flag = true;
  view_->m_nMdsYear = 1999;
  view_->RefreshMultiLists();
  view_->m_lstMonths.SetSel(-1, FALSE);
  view_->m_lstMonthlyDays.SetSel(-1, FALSE);
  view_->m_lstYearlyDays.SetSel(-1, FALSE);
  view_->OnReadConfig();

  EXPECT_EQ(multi.dates.m_nSize, 3);
  EXPECT_EQ(view_->m_nMdsYear, 2003);
  EXPECT_EQ(Text(Item(IDC_MDS_YEAR)), "2003");
  EXPECT_EQ(Text(Item(IDC_MDS_ELEMS)), "1");
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(view_->m_bMonthHasData[m], m == 3 || m == 5) << m;
  EXPECT_EQ(view_->m_lstMonths.GetTextString(0), "n/a");
  EXPECT_EQ(view_->m_lstMonths.GetTextString(2), "MAR");
  EXPECT_EQ(view_->m_lstMonths.GetTextString(4), "MAY");
  for (int m = 0; m < 12; ++m) EXPECT_EQ(view_->m_lstMonths.GetSel(m) > 0, m == 2 || m == 4) << m;
  for (int d = 0; d < 7; ++d) {
    EXPECT_EQ(view_->m_lstMonthlyDays.GetSel(d) > 0, d == 1) << d;
    EXPECT_EQ(view_->m_lstYearlyDays.GetSel(d) > 0, d == 2) << d;
  }
  EXPECT_EQ(view_->m_bMonthly, 1);
  EXPECT_EQ(view_->m_bYearly, 1);
  EXPECT_EQ(selectors_->loads[CB_MULTI], 1);
}

TEST_F(ClassicViewTest, DayOfWeekTicksEnableTheirLists) {
  selectors_->year = [](CMainClassic& v) {
    for (int m = 1; m <= 12; ++m) v.m_sel[CB_MULTI].dates.Add(CDateTimeEx(2003, m, 6));  // every month: both tables
    return true;
  };
  Click(IDC_MDS_ON);
  Click(IDC_MDS_CHANGE_YEAR);
  ASSERT_TRUE(::IsWindowEnabled(Item(IDC_MDS_MONTHLY)));
  ASSERT_TRUE(::IsWindowEnabled(Item(IDC_MDS_YEARLY)));
  for (bool on : {true, false}) {
    Click(IDC_MDS_MONTHLY);
    EXPECT_EQ(::IsWindowEnabled(Item(IDC_MDS_MONTHS)) != FALSE, on);
    EXPECT_EQ(::IsWindowEnabled(Item(IDC_MDS_MONTHLY_DAYS)) != FALSE, on);
    Click(IDC_MDS_YEARLY);
    EXPECT_EQ(::IsWindowEnabled(Item(IDC_MDS_YEARLY_DAYS)) != FALSE, on);
  }
}

}  // namespace
