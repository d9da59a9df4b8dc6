#include "app/select/dates_dlg.h"

#include <gtest/gtest.h>

#include "app/select/select_fixture.h"
#include "app/select/select_ids.h"

namespace {

namespace input = qav::ui::input;
using Strings = std::vector<std::string>;

class DatesDlgTest : public SelectDialogTest {
 protected:
  void SetUp() override {
    SelectDialogTest::SetUp();
    // 1995: Mondays 2 and 9 January and 6 February, Tuesday 3 January, Saturday 14 January,
    // Friday 29 December. 1996: one day. 1997: a folder without day files.
    archive.MakeFiles("DATA1995", {"19950102.DAT", "19950103.DAT", "19950109.DAT", "19950114.DAT", "19950206.DAT",
                                   "19951229.DAT"});
    archive.MakeFiles("DATA1996", {"19960501.DAT"});
    archive.MakeFolder("DATA1997");
  }
  // Chooses the year line of 1995.
  static void Choose1995(CDatesDlg& dlg) { input::SelectLine(Item(dlg, IDC_SEL_YEARS), 0); }
  static Strings Fields(const CDatesDlg& dlg, bool start) {
    return start ? Strings{Text(dlg, IDC_SEL_START_MONTH), Text(dlg, IDC_SEL_START_DAY), Text(dlg, IDC_SEL_START_YEAR)}
                 : Strings{Text(dlg, IDC_SEL_END_MONTH), Text(dlg, IDC_SEL_END_DAY), Text(dlg, IDC_SEL_END_YEAR)};
  }
  // A click into the edit, then typing: a read-only edit takes no text until it has the focus.
  static void TypeInto(HWND edit, const char* text) {
    input::Focus(edit);
    input::Type(edit, text);
  }
  static Strings Selected(const CDatesDlg& dlg) { return DateTexts(dlg.m_lbSelected); }
  CObjArray<CDateTimeEx> dates;
};

TEST_F(DatesDlgTest, OpensOnTheLastYearAndAYearWithoutDaysOffersNothing) {
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    EXPECT_EQ(Lines(d, IDC_SEL_YEARS), (Strings{"1995", "1996", "1997"}));
    EXPECT_EQ(d.m_lbYears.GetCurSel(), 2);
    EXPECT_TRUE(Lines(d, IDC_SEL_AVAILABLE_DATES).empty());
    EXPECT_EQ(Lines(d, IDC_SEL_MONTHS), Strings(12, "N/A"));
    EXPECT_EQ(Lines(d, IDC_SEL_WEEKDAYS), Strings(7, "N/A"));
    EXPECT_EQ(Fields(d, true), Strings(3, "0"));
    EXPECT_EQ(Fields(d, false), Strings(3, "0"));
    for (int id : {IDC_SEL_ADD_ALL, IDC_SEL_ADD, IDC_SEL_MODE_MONTHS, IDC_SEL_MODE_RANGE, IDC_SEL_MODE_DATES,
                   IDC_SEL_MONTHS, IDC_SEL_WEEKDAYS, IDC_SEL_START_DAY})
      EXPECT_FALSE(Enabled(d, id)) << id;
  });
}

TEST_F(DatesDlgTest, OpensOnTheYearOfTheLastSelectedDate) {
  dates.Add(CDateTimeEx(1995, 1, 2));
  dates.Add(CDateTimeEx(1996, 5, 1));
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    EXPECT_EQ(d.m_lbYears.GetCurSel(), 1);
    EXPECT_EQ(Lines(d, IDC_SEL_AVAILABLE_DATES), Strings{"05/01/1996 (Wed)"});
    EXPECT_EQ(Lines(d, IDC_SEL_SELECTED_DATES), (Strings{"01/02/1995 (Mon)", "05/01/1996 (Wed)"}));
    EXPECT_EQ(Text(d, IDC_SEL_SELECTED_COUNT), "2");
  });
}

TEST_F(DatesDlgTest, EachModeEnablesItsControls) {
  struct Case {
    int radio;
    bool months, range, weekdays, addOne;
  };
  const Case cases[] = {
      {IDC_SEL_MODE_MONTHS, true, false, true, false},
      {IDC_SEL_MODE_RANGE, false, true, true, false},
      {IDC_SEL_MODE_DATES, false, false, false, true},
  };
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [&](CDatesDlg& d) {
    Choose1995(d);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.radio);
      input::Click(Item(d, c.radio));
      EXPECT_EQ(Enabled(d, IDC_SEL_MONTHS), c.months);
      for (int id : {IDC_SEL_START_FRAME, IDC_SEL_START_DAY, IDC_SEL_END_MONTH, IDC_SEL_START_SPIN, IDC_SEL_END_SLASH1})
        EXPECT_EQ(Enabled(d, id), c.range) << id;
      for (int id : {IDC_SEL_WEEKDAYS, IDC_SEL_WEEKDAY_LABEL, IDC_SEL_DAYS_FRI, IDC_SEL_DAYS_ALL})
        EXPECT_EQ(Enabled(d, id), c.weekdays) << id;
      EXPECT_EQ(Enabled(d, IDC_SEL_ADD), c.addOne);
      EXPECT_TRUE(Enabled(d, IDC_SEL_ADD_ALL));
      EXPECT_TRUE(Enabled(d, IDC_SEL_MODE_DATES));
    }
  });
}

TEST_F(DatesDlgTest, YearChangeListsItsDaysMonthsAndWeekdaysAndKeepsTheMode) {
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    Choose1995(d);
    input::Click(Item(d, IDC_SEL_MODE_RANGE));
    input::SelectLine(Item(d, IDC_SEL_YEARS), 1);
    EXPECT_EQ(d.m_nMode, DATE_MODE_RANGE);
    EXPECT_TRUE(Enabled(d, IDC_SEL_START_DAY));
    EXPECT_EQ(Fields(d, true), (Strings{"5", "1", "1996"}));
    Choose1995(d);
    EXPECT_EQ(Text(d, IDC_SEL_AVAILABLE_COUNT), "6");
    EXPECT_EQ(Fields(d, true), (Strings{"1", "2", "1995"}));
    EXPECT_EQ(Fields(d, false), (Strings{"12", "29", "1995"}));
    EXPECT_EQ(Lines(d, IDC_SEL_MONTHS),
              (Strings{"January", "February", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "December"}));
    EXPECT_EQ(Lines(d, IDC_SEL_WEEKDAYS), (Strings{"N/A", "Monday", "Tuesday", "N/A", "N/A", "Friday", "Saturday"}));
  });
}

TEST_F(DatesDlgTest, MonthsModeAddsTheHighlightedWeekdaysOfTheHighlightedMonths) {
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    Choose1995(d);
    input::Click(Item(d, IDC_SEL_MODE_MONTHS));
    input::SelectLine(Item(d, IDC_SEL_MONTHS), 0);    // January
    input::SelectLine(Item(d, IDC_SEL_WEEKDAYS), 1);  // Monday
    input::Click(Item(d, IDC_SEL_ADD_ALL));
    EXPECT_EQ(Selected(d), (Strings{"01/02/1995", "01/09/1995"}));
    input::Click(Item(d, IDC_SEL_ADD_ALL));  // each date once
    EXPECT_EQ(Text(d, IDC_SEL_SELECTED_COUNT), "2");
  });
}

TEST_F(DatesDlgTest, RangeFieldsAreTypedIntoAndHeldToTheAvailableDaysWhenLeft) {
  struct Case {
    bool start;
    const char* month;
    const char* day;
    Strings shown;
  };
  const Case cases[] = {
      {true, "12", "31", {"12", "29", "1995"}},  // after the last day
      {false, "1", "1", {"1", "2", "1995"}},     // before the first
      {true, "3", "15", {"3", "15", "1995"}},    // inside: kept
      {false, "4", "31", {"-1", "-1", "-1"}},    // no such day
      {true, "x", "7", {"-1", "-1", "-1"}},
  };
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [&](CDatesDlg& d) {
    Choose1995(d);
    input::Click(Item(d, IDC_SEL_MODE_RANGE));
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.month) + "/" + c.day);
      const HWND month = Item(d, c.start ? IDC_SEL_START_MONTH : IDC_SEL_END_MONTH);
      const HWND day = Item(d, c.start ? IDC_SEL_START_DAY : IDC_SEL_END_DAY);
      EXPECT_NE(CWnd::FromHandle(month)->GetStyle() & ES_READONLY, 0u);
      input::Focus(month);
      EXPECT_EQ(CWnd::FromHandle(month)->GetStyle() & ES_READONLY, 0u);
      input::Type(month, c.month);
      TypeInto(day, c.day);
      EXPECT_NE(CWnd::FromHandle(month)->GetStyle() & ES_READONLY, 0u);
      input::Type(month, "1");  // refused once the edit has lost the focus
      input::Focus(Item(d, IDC_SEL_WEEKDAYS));
      EXPECT_EQ(Fields(d, c.start), c.shown);
      EXPECT_NE(CWnd::FromHandle(day)->GetStyle() & ES_READONLY, 0u);
    }
    // The year edits stay read-only when focused.
    input::Focus(Item(d, IDC_SEL_START_YEAR));
    EXPECT_NE(CWnd::FromHandle(Item(d, IDC_SEL_START_YEAR))->GetStyle() & ES_READONLY, 0u);
  });
}

TEST_F(DatesDlgTest, SpinsMoveByADayAndAreRefusedPastTheAvailableDays) {
  struct Case {
    bool start;
    bool up;
    Strings shown;
  };
  const Case cases[] = {
      {true, false, {"1", "2", "1995"}},  // before the first day: refused
      {true, true, {"1", "3", "1995"}},
      {true, true, {"1", "4", "1995"}},   // a day without a file is passed over, not refused
      {true, false, {"1", "3", "1995"}},
      {true, false, {"1", "2", "1995"}},  // back to the first day
      {false, true, {"12", "29", "1995"}},
      {false, true, {"12", "29", "1995"}},  // past the last day: refused
      {false, false, {"12", "28", "1995"}},
  };
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [&](CDatesDlg& d) {
    Choose1995(d);
    input::Click(Item(d, IDC_SEL_MODE_RANGE));
    for (const Case& c : cases) {
      input::Spin(Item(d, c.start ? IDC_SEL_START_SPIN : IDC_SEL_END_SPIN), c.up);
      EXPECT_EQ(Fields(d, c.start), c.shown) << c.start << c.up;
    }
    // A year of one day: a day typed beside it moves onto it.
    input::SelectLine(Item(d, IDC_SEL_YEARS), 1);
    TypeInto(Item(d, IDC_SEL_START_DAY), "2");
    input::Spin(Item(d, IDC_SEL_START_SPIN), false);
    EXPECT_EQ(Fields(d, true), (Strings{"5", "1", "1996"}));
  });
}

TEST_F(DatesDlgTest, RangeAddTakesTheHighlightedWeekdaysAndAnInvalidBoundDoesNotLimit) {
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    Choose1995(d);
    input::Click(Item(d, IDC_SEL_MODE_RANGE));
    TypeInto(Item(d, IDC_SEL_START_DAY), "9");
    TypeInto(Item(d, IDC_SEL_END_MONTH), "2");
    TypeInto(Item(d, IDC_SEL_END_DAY), "30");  // 30 February: no bound
    input::Click(Item(d, IDC_SEL_DAYS_MON_FRI));
    input::Click(Item(d, IDC_SEL_ADD_ALL));
    EXPECT_EQ(Fields(d, false), Strings(3, "-1"));
    EXPECT_EQ(Selected(d), (Strings{"01/09/1995", "02/06/1995", "12/29/1995"}));
  });
}

TEST_F(DatesDlgTest, DayButtonsHighlightTheirDaysOnly) {
  struct Case {
    int button;
    std::vector<int> lines;
  };
  const Case cases[] = {
      {IDC_SEL_DAYS_ALL, {1, 1, 1, 1, 1, 1, 1}},     {IDC_SEL_DAYS_MON_FRI, {0, 1, 1, 1, 1, 1, 0}},
      {IDC_SEL_DAYS_TUE_THU, {0, 0, 1, 1, 1, 0, 0}}, {IDC_SEL_DAYS_FRI, {0, 0, 0, 0, 0, 1, 0}},
      {IDC_SEL_DAYS_WEEKENDS, {1, 0, 0, 0, 0, 0, 1}},
  };
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [&](CDatesDlg& d) {
    Choose1995(d);
    input::Click(Item(d, IDC_SEL_MODE_MONTHS));
    for (const Case& c : cases) {
      input::Click(Item(d, c.button));
      std::vector<int> got;
      for (int line = 0; line < 7; ++line) got.push_back(d.m_lbWeekdays.GetSel(line) > 0 ? 1 : 0);
      EXPECT_EQ(got, c.lines) << c.button;
    }
  });
}

TEST_F(DatesDlgTest, EnterAndDeleteInTheListsAreConsumed) {
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    Choose1995(d);
    input::SelectLine(Item(d, IDC_SEL_AVAILABLE_DATES), 1);
    input::SelectLine(Item(d, IDC_SEL_AVAILABLE_DATES), 4, MK_CONTROL);
    EXPECT_TRUE(input::Key(Item(d, IDC_SEL_AVAILABLE_DATES), VK_RETURN));
    EXPECT_EQ(Selected(d), (Strings{"01/03/1995", "02/06/1995"}));
    input::SelectLine(Item(d, IDC_SEL_SELECTED_DATES), 0);
    EXPECT_TRUE(input::Key(Item(d, IDC_SEL_SELECTED_DATES), VK_DELETE));
    EXPECT_EQ(Selected(d), Strings{"02/06/1995"});
    EXPECT_EQ(Text(d, IDC_SEL_SELECTED_COUNT), "1");
    input::DoubleClickLine(Item(d, IDC_SEL_AVAILABLE_DATES), 5);
    input::DoubleClickLine(Item(d, IDC_SEL_SELECTED_DATES), 0);
    EXPECT_EQ(Selected(d), Strings{"12/29/1995"});
    EXPECT_NE(d.m_hWnd, nullptr);  // neither key ended the dialog
  });
}

TEST_F(DatesDlgTest, OkWithoutDatesStaysOpenAndOkHandsTheDatesBack) {
  dates.Add(CDateTimeEx(1995, 1, 14));
  CDatesDlg dlg(&dates, nullptr);
  const INT_PTR result = RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
    input::Click(Item(d, IDC_SEL_REMOVE_ALL));
    input::Click(Item(d, IDOK));
    EXPECT_NE(d.m_hWnd, nullptr);
    ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
    EXPECT_EQ(qav::ui::MessageBoxLog()[0].text, "CDatesDlg::OnOK(): No dates have been selected. ");
    input::Click(Item(d, IDC_SEL_ADD_ALL));
    input::Click(Item(d, IDOK));
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(DateTexts(dates), (Strings{"01/02/1995", "01/03/1995", "01/09/1995", "01/14/1995", "02/06/1995", "12/29/1995"}));
}

TEST_F(DatesDlgTest, CancelLeavesTheCallersDates) {
  dates.Add(CDateTimeEx(1995, 1, 14));
  CDatesDlg dlg(&dates, nullptr);
  EXPECT_EQ(RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) {
              input::Click(Item(d, IDC_SEL_REMOVE_ALL));
              input::Click(Item(d, IDCANCEL));
            }),
            IDCANCEL);
  EXPECT_EQ(DateTexts(dates), Strings{"01/14/1995"});
}

TEST_F(DatesDlgTest, DiscQuestionRepeatsTheScanAndEachDayIsListedOnce) {
  g_hPromptWnd = 1;
  int asked = 0;
  answer = [&](const qav::ui::MessageBoxRequest& r) {
    EXPECT_EQ(r.caption, "Date Selection");
    EXPECT_EQ(r.type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    return ++asked == 1 ? IDYES : IDNO;
  };
  dates.Add(CDateTimeEx(1996, 5, 1));
  CDatesDlg dlg(&dates, nullptr);
  RunModal<CDatesDlg>(dlg, [](CDatesDlg& d) { EXPECT_EQ(Lines(d, IDC_SEL_AVAILABLE_DATES).size(), 1u); });
  EXPECT_EQ(asked, 2);
}

}  // namespace
