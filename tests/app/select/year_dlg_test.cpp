#include "app/select/year_dlg.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/select/dates_dlg.h"
#include "app/select/select_fixture.h"
#include "app/select/select_ids.h"

namespace {

namespace input = qav::ui::input;
using Strings = std::vector<std::string>;

class YearDlgTest : public SelectDialogTest {
 protected:
  void MakeArchive() {
    archive.MakeFiles("DATA1993", {"19930601.DAT", "19931103.DAT"});
    archive.MakeFiles("PE1993", {"052893.VOL", "052893.OCC", "013193.vol"});
    archive.MakeFiles("DATA1995", {"19950102.DAT", "19950206.DAT", "19950207.DAT", "19950230.DAT"});
    archive.MakeFolder("DATA1997");
  }
};

TEST_F(YearDlgTest, WithoutYearFoldersTheDialogsSaySoAndEndCancelled) {
  struct Case {
    const char* caption;
    std::function<int(CObjArray<CDateTimeEx>&)> run;
  };
  const Case cases[] = {
      {"Year Selection", [](CObjArray<CDateTimeEx>& d) { return CYearDlg(nullptr).Run(d, nullptr); }},
      {"Month Selection", [](CObjArray<CDateTimeEx>& d) { return CMonthDlg(nullptr).Run(d); }},
      {"Date Selection", [](CObjArray<CDateTimeEx>& d) { return static_cast<int>(CDatesDlg(&d, nullptr).DoModal()); }},
  };
  for (const Case& c : cases) {
    qav::ui::ClearMessageBoxLog();
    CObjArray<CDateTimeEx> dates;
    dates.Add(CDateTimeEx(1995, 1, 2));
    EXPECT_EQ(c.run(dates), 2);
    EXPECT_EQ(DateTexts(dates), Strings{"01/02/1995"});
    ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
    EXPECT_EQ(qav::ui::MessageBoxLog()[0].text, "No data directories found in " + archive.Root());
    EXPECT_EQ(qav::ui::MessageBoxLog()[0].caption, c.caption);
    EXPECT_EQ(qav::ui::MessageBoxLog()[0].type, static_cast<UINT>(MB_ICONINFORMATION));
  }
}

TEST_F(YearDlgTest, OpensOnTheNewestYearAndHandsBackTheChosenYearsDays) {
  MakeArchive();
  CYearDlg dlg(nullptr);
  CObjArray<CDateTimeEx> dates;
  unsigned char flags[13];
  std::memset(flags, 9, sizeof flags);
  qav::ui::PostTask([&] {
    EXPECT_EQ(dlg.m_lbYears.GetCurSel(), 2);
    EXPECT_EQ(Text(dlg, IDC_SEL_DATE_COUNT), "0");
    input::SelectLine(Item(dlg, IDC_SEL_YEARS), 0);
    EXPECT_EQ(Lines(dlg, IDC_SEL_DATES), (Strings{"01/31/1993 (Sun)", "05/28/1993 (Fri)", "06/01/1993 (Tue)",
                                                   "11/03/1993 (Wed)"}));
    EXPECT_EQ(Text(dlg, IDC_SEL_DATE_COUNT), "4");
    input::Click(Item(dlg, IDOK));
  });
  EXPECT_EQ(dlg.Run(dates, flags), 1);
  EXPECT_EQ(DateTexts(dates), (Strings{"01/31/1993", "05/28/1993", "06/01/1993", "11/03/1993"}));
  EXPECT_EQ(std::vector<int>(flags, flags + 13), (std::vector<int>{0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0}));
}

TEST_F(YearDlgTest, AYearWithoutDaysHandsBackAnEmptyList) {
  MakeArchive();
  CYearDlg dlg(nullptr);
  CObjArray<CDateTimeEx> dates;
  dates.Add(CDateTimeEx(1995, 1, 2));
  int year = 0;
  qav::ui::PostTask([&] { input::Click(Item(dlg, IDOK)); });
  EXPECT_EQ(dlg.RunYear(year, nullptr), 1);
  EXPECT_EQ(year, 1997);
  CYearDlg again(nullptr);
  qav::ui::PostTask([&] { input::Click(Item(again, IDOK)); });
  EXPECT_EQ(again.Run(dates, nullptr), 1);
  EXPECT_EQ(dates.m_nSize, 0);
}

TEST_F(YearDlgTest, AnotherDiscAddsItsDays) {
  MakeArchive();
  g_hPromptWnd = 1;
  int asked = 0;
  answer = [&](const qav::ui::MessageBoxRequest& r) {
    EXPECT_EQ(r.caption, "Year Selection");
    if (++asked == 1) archive.MakeFiles("DATA1997", {"19970704.DAT"});  // the user changes the disc
    return asked == 1 ? IDYES : IDNO;
  };
  CYearDlg dlg(nullptr);
  CObjArray<CDateTimeEx> dates;
  qav::ui::PostTask([&] { input::Click(Item(dlg, IDOK)); });
  EXPECT_EQ(dlg.Run(dates, nullptr), 1);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(DateTexts(dates), Strings{"07/04/1997"});
}

TEST_F(YearDlgTest, MonthDialogOpensOnTheGivenMonthAndHandsBackItsDays) {
  MakeArchive();
  CMonthDlg dlg(nullptr);
  CObjArray<CDateTimeEx> dates;
  dates.Add(CDateTimeEx(1995, 2, 14));
  qav::ui::PostTask([&] {
    EXPECT_EQ(dlg.m_lbYears.GetCurSel(), 1);
    EXPECT_EQ(Lines(dlg, IDC_SEL_MONTHS), (Strings{"January", "February", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A",
                                                    "N/A", "N/A", "N/A", "N/A"}));
    EXPECT_EQ(dlg.m_lbMonths.GetCurSel(), 1);
    EXPECT_EQ(Text(dlg, IDC_SEL_DATE_COUNT), "2");
    input::Click(Item(dlg, IDOK));
  });
  EXPECT_EQ(dlg.Run(dates), 1);
  EXPECT_EQ(DateTexts(dates), (Strings{"02/06/1995", "02/07/1995"}));
}

TEST_F(YearDlgTest, MonthDialogWithAnEmptyListOpensOnTheNewestYearsFirstMonth) {
  MakeArchive();
  archive.MakeFiles("DATA1997", {"19970102.DAT", "19970203.DAT"});
  CMonthDlg dlg(nullptr);
  CObjArray<CDateTimeEx> dates;
  qav::ui::PostTask([&] { input::Click(Item(dlg, IDOK)); });
  EXPECT_EQ(dlg.Run(dates), 1);
  EXPECT_EQ(DateTexts(dates), Strings{"01/02/1997"});
}

TEST_F(YearDlgTest, MonthDialogOnAYearWithoutFolderSelectsNothingAndWantsAMonth) {
  MakeArchive();
  CMonthDlg dlg(nullptr);
  int year = 1980, month = 0;
  qav::ui::PostTask([&] {
    EXPECT_EQ(dlg.m_lbYears.GetCurSel(), -1);
    EXPECT_TRUE(Lines(dlg, IDC_SEL_MONTHS).empty());
    input::Click(Item(dlg, IDOK));
    EXPECT_NE(dlg.m_hWnd, nullptr);
    ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
    EXPECT_EQ(qav::ui::MessageBoxLog()[0].text, "No month has been selected!");
    EXPECT_EQ(qav::ui::MessageBoxLog()[0].type, static_cast<UINT>(MB_ICONERROR));
    input::SelectLine(Item(dlg, IDC_SEL_YEARS), 0);  // 1993, first month
    input::SelectLine(Item(dlg, IDC_SEL_MONTHS), 10);
    EXPECT_EQ(Lines(dlg, IDC_SEL_DATES), Strings{"11/03/1993 (Wed)"});
    input::Click(Item(dlg, IDOK));
  });
  EXPECT_EQ(dlg.RunYearMonth(year, month), 1);
  EXPECT_EQ(year, 1993);
  EXPECT_EQ(month, 11);
}

}  // namespace
