#include <fstream>

#include "classic_view_env.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd_state.h"

namespace {

namespace input = qav::ui::input;

TEST_F(ClassicViewTest, FirstUpdateSetsTheStartingStates) {
  std::vector<std::string> titles;
  for (int i = 0; i < view_->m_Sheet.GetPageCount(); ++i) titles.push_back(view_->m_Sheet.GetPage(i)->Title());
  ASSERT_EQ(titles.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(titles.begin() + 3, titles.end()),
            (std::vector<std::string>{"Daily", "AM Peak", "PM Peak", "AM Peak Hour", "PM Peak Hour", "Multi-Day"}));
  EXPECT_EQ(view_->m_Valid[SK_PM_PEAK].m_values.v[VV_TOTAL_MIN_G], 44);
  EXPECT_EQ(view_->m_ValidDays.m_values.v[MV_YEARLY_INVALID], 1);
  EXPECT_EQ(::SendMessage(Item(IDC_RAW_OFF), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessage(Item(IDC_MDS_ON), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_SDS_OCC)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_MDS_MONTHLY)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_MDS_MONTHS)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_RAW_USE_SDS_TEXT)));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_RAW_CHANGE_DATES)));
  EXPECT_EQ(view_->m_lstMonths.GetCount(), 12);
  EXPECT_EQ(view_->m_lstMonths.GetTextString(11), "n/a");
  // Ticking "15 Minute Summary" enables its options; the raw source follows its radio.
  Click(IDC_SDS_15MIN);
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_SDS_FLAGS)));
  Click(IDC_RAW_USE_SDS);
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_RAW_CHANGE_DATES)));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_RAW_USE_SDS_TEXT)));
}

TEST_F(ClassicViewTest, GoChecksAddTheirStatusLine) {
  Click(IDC_GO);
  EXPECT_EQ(LastStatus(), "No output files are turned on");
  Click(IDC_MDS_ON);
  Click(IDC_MDS_MONTHLY);  // disabled: no effect
  Click(IDC_GO);
  EXPECT_EQ(LastStatus(), "No reports have been selected for multi output");
  EXPECT_EQ(view_->m_pWaitDialog, nullptr);
}

TEST_F(ClassicViewTest, RefusedFileNameStopsTheHandler) {
  // Typing is held to 15 characters; a longer name comes from a configuration file.
  view_->m_strRawName = "A_VERY_LONG_NAME.DAT";
  view_->UpdateData(FALSE);
  // The ON and OFF buttons' checks.
  auto checks = [&] {
    return std::pair(::SendMessage(Item(IDC_RAW_ON), BM_GETCHECK, 0, 0), ::SendMessage(Item(IDC_RAW_OFF), BM_GETCHECK, 0, 0));
  };
  const std::pair<LRESULT, LRESULT> off(BST_UNCHECKED, BST_CHECKED), on(BST_CHECKED, BST_UNCHECKED);
  Click(IDC_RAW_ON);
  EXPECT_EQ(view_->m_bRawOn, 0);
  EXPECT_EQ(checks(), off) << "the refused click stays undone";
  ASSERT_FALSE(qav::ui::MessageBoxLog().empty());
  // A name with folder parts would write outside the output folder.
  for (const char* name : {"../R.DAT", "sub\\R.DAT"}) {
    qav::ui::ClearMessageBoxLog();
    input::Type(Item(IDC_RAW_NAME), name);
    Click(IDC_RAW_ON);
    EXPECT_EQ(view_->m_bRawOn, 0) << name;
    ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u) << name;
    EXPECT_NE(qav::ui::MessageBoxLog()[0].text.find("cannot contain"), std::string::npos);
  }
  // The box names the block whose name is refused, also when the click was in another block.
  for (auto [edit, block] : {std::pair(IDC_MDS_NAME, "Multiple Day Summaries"), std::pair(IDC_SDS_NAME, "Single Day Summaries")}) {
    qav::ui::ClearMessageBoxLog();
    input::Type(Item(edit), "a/b.txt");
    Click(IDC_RAW_ON);
    ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u) << block;
    EXPECT_NE(qav::ui::MessageBoxLog()[0].text.find(std::string("The ") + block + " report's file name \"a/b.txt\""),
              std::string::npos)
        << qav::ui::MessageBoxLog()[0].text;
    input::Type(Item(edit), "R.TXT");
  }
  input::Type(Item(IDC_RAW_NAME), "R.DAT");
  Click(IDC_RAW_ON);
  EXPECT_EQ(view_->m_bRawOn, 1);
  EXPECT_EQ(view_->m_bRawOff, 0);
  EXPECT_EQ(checks(), on);
  // OFF refused the same way leaves the block on, and the next exchange reads it so.
  input::Type(Item(IDC_RAW_NAME), "../R.DAT");
  Click(IDC_RAW_OFF);
  EXPECT_EQ(checks(), on);
  input::Type(Item(IDC_RAW_NAME), "R.DAT");
  ASSERT_TRUE(view_->UpdateData(TRUE));
  EXPECT_EQ(std::pair(view_->m_bRawOn, view_->m_bRawOff), std::pair(1, 0));
}

TEST_F(ClassicViewTest, ChangeHandlersWithARefusedFieldChangeNothing) {
  // Each Change button with a file name the exchange refuses: its dialog does not open, so the
  // block's list, count and loader stay as they were; once the name is fixed the same click works.
  struct Case { int button; int block; bool elements; int& count; int after; };
  const Case cases[] = {{IDC_RAW_CHANGE_DATES, CB_RAW, false, view_->m_nRawDates, 2},
                        {IDC_SDS_CHANGE_DATES, CB_SINGLE, false, view_->m_nSdsDates, 2},
                        {IDC_MDS_CHANGE_YEAR, CB_MULTI, false, view_->m_nMdsYear, 2003},
                        {IDC_RAW_CHANGE_ELEMS, CB_RAW, true, view_->m_nRawElems, 1},
                        {IDC_SDS_CHANGE_ELEMS, CB_SINGLE, true, view_->m_nSdsElems, 1},
                        {IDC_MDS_CHANGE_ELEMS, CB_MULTI, true, view_->m_nMdsElems, 1}};
  int opened = 0;
  auto addDates = [&](CMainClassic& v, int b) {
    ++opened;
    for (int d : {5, 6}) v.m_sel[b].dates.Add(CDateTimeEx(2003, 1, d));
    return true;
  };
  selectors_->dates = addDates;
  selectors_->year = [&](CMainClassic& v) { return addDates(v, CB_MULTI); };
  selectors_->elements = [&](CMainClassic& v, int b) {
    ++opened;
    v.m_sel[b].elements.Add(CDBElementEx("_MN___1", 0, nullptr));
    return true;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    CClassicSelection& sel = view_->m_sel[c.block];
    if (c.elements) sel.dates.Add(CDateTimeEx(2003, 1, 5));  // elements need dates
    const int dates = sel.dates.m_nSize, elements = sel.elements.m_nSize, loads = selectors_->loads[c.block];
    const int count = c.count;
    view_->m_strSdsName = "A_VERY_LONG_NAME.SDS";
    view_->UpdateData(FALSE);
    qav::ui::ClearMessageBoxLog();
    opened = 0;
    Click(c.button);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(qav::ui::MessageBoxLog().size(), 1u);
    EXPECT_EQ(sel.dates.m_nSize, dates);
    EXPECT_EQ(sel.elements.m_nSize, elements);
    EXPECT_EQ(selectors_->loads[c.block], loads);
    EXPECT_EQ(c.count, count);
    input::Type(Item(IDC_SDS_NAME), "S.SDS");
    Click(c.button);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(c.count, c.after);
  }
}

TEST_F(ClassicViewTest, ViewButtonsAndElementsWithoutDates) {
  Click(IDC_RAW_VIEW_DATES);
  EXPECT_EQ(LastStatus(), "CMainClassic::OnRawdataViewDates(): No RawData dates have been selected. ");
  Click(IDC_MDS_VIEW_ELEMS);
  EXPECT_EQ(LastStatus(), "CMainClassic::OnMultiViewElems(): No MDS elements have been selected. ");
  Click(IDC_SDS_CHANGE_ELEMS);
  EXPECT_EQ(LastStatus(), "No dates selected...");
}

TEST_F(ClassicViewTest, ViewShowsACopyOfTheList) {
  view_->m_sel[CB_RAW].dates.Add(CDateTimeEx(2003, 1, 5));
  view_->m_sel[CB_RAW].dates.Add(CDateTimeEx(2003, 1, 6));
  CClassicSelection& s = view_->m_sel[CB_MULTI];
  s.cabinets.Add(CDBCabinet("005es01234", "ES-101D", 1234, "Fernbay", nullptr));
  s.elements.Add(CDBElementEx("_MN___1", 0, s.cabinets.m_pData[0]));
  std::vector<std::vector<std::string>> shown;
  auto read = [&] {
    HWND list = ::GetDlgItem(qav::ui::TopLevelOf(qav::ui::Find(::GetFocus()))->hwnd, IDC_VIEW_LIST);
    std::vector<std::string> lines;
    for (int i = 0; i < static_cast<int>(::SendMessage(list, LB_GETCOUNT, 0, 0)); ++i) {
      char buf[64] = {};
      ::SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
      lines.push_back(buf);
    }
    shown.push_back(lines);
    input::Click(::GetDlgItem(::GetParent(list), IDOK));
  };
  qav::ui::PostTask(read);
  Click(IDC_RAW_VIEW_DATES);
  qav::ui::PostTask(read);
  Click(IDC_MDS_VIEW_ELEMS);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], (std::vector<std::string>{"01/05/2003 (Sun)", "01/06/2003 (Mon)"}));
  EXPECT_EQ(shown[1], (std::vector<std::string>{"005es01234:_MN___1"}));
}

TEST_F(ClassicViewTest, ChangeYearFillsTheMultiLists) {
  selectors_->year = [](CMainClassic& v) {
    for (int d : {5, 6}) v.m_sel[CB_MULTI].dates.Add(CDateTimeEx(2003, 1, d));
    v.m_sel[CB_MULTI].dates.Add(CDateTimeEx(2003, 6, 2));
    return true;
  };
  view_->m_lstMonths.SetSel(5, TRUE);  // kept across the refresh
  view_->m_lstYearlyDays.SetSel(3, TRUE);
  Click(IDC_MDS_CHANGE_YEAR);
  EXPECT_EQ(view_->m_nMdsYear, 2003);
  EXPECT_EQ(Text(Item(IDC_MDS_YEAR)), "2003");
  EXPECT_EQ(selectors_->loads[CB_MULTI], 1);
  EXPECT_EQ(view_->m_lstMonths.GetTextString(0), "JAN");
  EXPECT_EQ(view_->m_lstMonths.GetTextString(1), "n/a");
  EXPECT_EQ(view_->m_lstMonths.GetSel(5), 1);
  EXPECT_EQ(view_->m_lstYearlyDays.GetSel(3), 1);
  EXPECT_EQ(view_->m_lstMonthlyDays.GetTextString(0), "SUN");
  EXPECT_EQ(view_->m_lstYearlyDays.GetTextString(0), "n/a");
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_MDS_MONTHLY)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_MDS_ANNUAL)));
  EXPECT_EQ(StatusLines(), (std::vector<std::string>{"Searching for data files...", "Forming element list..."}));
}

TEST_F(ClassicViewTest, ConfigurationRoundTripAndRefusal) {
  const std::string path = folder_ / "setup.cfg";
  // A set-up: raw on with a selection, SDS daily, a year with January.
  view_->m_bRawOn = 1;
  view_->m_bRawOff = 0;
  view_->m_strRawName = "R1.DAT";
  view_->m_bDaily = 1;
  CClassicSelection& raw = view_->m_sel[CB_RAW];
  raw.dates.Add(CDateTimeEx(2003, 1, 5));
  raw.roadways.Add(CDBRoadway("I5"));
  raw.cabinets.Add(CDBCabinet("005es01234", "ES-101D", 1234, "Fernbay", raw.roadways.m_pData[0]));
  raw.elements.Add(CDBElementEx("_MN___1", 0, raw.cabinets.m_pData[0]));
  view_->m_nRawDates = view_->m_nRawElems = 1;
  view_->UpdateData(FALSE);
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest& r, std::string& p) {
    p = path;
    return true;
  });
  view_->OnSaveConfig();
  const ClassicSetup saved = view_->CurrentSetup();
  // Change everything, then read the file back.
  view_->m_bRawOn = view_->m_bMdsOff = 0;
  view_->m_bRawOff = view_->m_bMdsOn = 1;
  view_->m_strRawName = "OTHER.DAT";
  view_->m_sel[CB_RAW].elements.RemoveAll();
  view_->m_sel[CB_SINGLE].dates.Add(CDateTimeEx(2003, 1, 6));  // the file's SDS block has none
  view_->UpdateData(FALSE);
  view_->OnReadConfig();
  EXPECT_EQ(view_->CurrentSetup(), saved);
  EXPECT_EQ(::SendMessage(Item(IDC_RAW_OFF), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessage(Item(IDC_MDS_OFF), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(Text(Item(IDC_RAW_NAME)), "R1.DAT");
  EXPECT_EQ(Text(Item(IDC_RAW_ELEMS)), "1");
  EXPECT_EQ(selectors_->loads[CB_RAW], 1);
  // A malformed file: a box naming the file, and the view as it was.
  std::ofstream(folder_ / "bad.cfg") << "QAV Classic Configuration File Version NG.1\n1\n0\n0\nA\nB\nC\n0\n0\n0\n0\n0\n0\n0\n0\n"
                                        "1\n0\n37622\n1\nI5\n1\nid\nal\n1\nloc\n3\n";
  qav::ui::ClearMessageBoxLog();
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest&, std::string& p) {
    p = folder_ / "bad.cfg";
    return true;
  });
  view_->OnReadConfig();
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(qav::ui::MessageBoxLog()[0].text.find("bad.cfg"), std::string::npos);
  EXPECT_EQ(view_->CurrentSetup(), saved);
  // Random bytes and plain text are no set-up files either.
  std::string bytes(2000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
  std::ofstream(folder_ / "bad.cfg", std::ios::binary) << bytes;
  view_->OnReadConfig();
  std::ofstream(folder_ / "bad.cfg", std::ios::binary) << "Dear reader,\nthis is plain text\nof three lines\n";
  view_->OnReadConfig();
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 3u);
  EXPECT_NE(qav::ui::MessageBoxLog()[1].text.find("line 1 "), std::string::npos) << qav::ui::MessageBoxLog()[1].text;
  EXPECT_NE(qav::ui::MessageBoxLog()[2].text.find("line 1 is neither the header"), std::string::npos);
  EXPECT_EQ(view_->CurrentSetup(), saved);
  qav::ui::ClearMessageBoxLog();
  // Saving where no file can be made also gets its box.
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest&, std::string& p) {
    p = folder_ / "no-such-folder/x.cfg";
    return true;
  });
  view_->OnSaveConfig();
  EXPECT_EQ(qav::ui::MessageBoxLog().size(), 1u);
}

TEST_F(ClassicViewTest, ParametersOkTakesTheValidityPagesAndCancelLeavesThemAsTheyWere) {
  CPropertySheet& sheet = view_->m_Sheet;
  for (int button : {IDCANCEL, IDOK}) {
    qav::ui::PostTask([&] {
      input::SelectTab(sheet.GetTabControl(), 3);  // Daily
      input::Slide(::GetDlgItem(view_->m_Valid[SK_DAILY].m_hWnd, 1294), 30);  // width
      input::SelectTab(sheet.GetTabControl(), 8);  // Multi-Day: Daily takes its values
      input::Slide(::GetDlgItem(view_->m_ValidDays.m_hWnd, 1305), 6);  // AADT
      input::SelectTab(sheet.GetTabControl(), 0);
      input::Click(::GetDlgItem(sheet.m_hWnd, button));
    });
    input::Menu(frame_->GetSafeHwnd(), ID_PARAMETERS);
    const bool ok = button == IDOK;
    EXPECT_EQ(view_->m_Valid[SK_DAILY].m_values.v[VV_RUNNING_WIDTH], ok ? 30 : 12) << button;
    EXPECT_EQ(g_PeriodValidity[SK_DAILY].v[VV_RUNNING_WIDTH], ok ? 30 : 12) << button;
    EXPECT_EQ(view_->m_ValidDays.m_values.v[MV_AADT_INVALID], ok ? 6 : 0) << button;
  }
  g_PeriodValidity[SK_DAILY] = BuiltInPeriodValidity(SK_DAILY);
}

TEST_F(ClassicViewTest, ValidityProfileWrittenAtTheEnd) {
  view_->m_ValidDays.m_values.v[MV_AADT_INVALID] = 5;
  g_PeriodValidity[SK_DAILY].v[VV_TOTAL_MAX_D] = 30;
  frame_->DestroyWindow();
  frame_ = nullptr;
  EXPECT_EQ(store_->GetInt("MULTI", "AADT_INVALID", 0), 5u);
  EXPECT_EQ(store_->GetInt("DAILY", "TOTAL_MAX_D", 0), 30u);
  EXPECT_EQ(store_->GetInt("PM_PEAK_HOUR", "TOTAL_MIN_G", 0), 11u);
  g_PeriodValidity[SK_DAILY] = BuiltInPeriodValidity(SK_DAILY);
}

TEST_F(ClassicViewTest, OpenOutputFileTellsSpreadsheetsByTheirSixthLine) {
  SOutputSettings out;
  view_->m_OutputParams.GetSettings(out);
  out.ssViewer = "/bin/true";
  out.textViewer = "/bin/true";
  out.useCustomViewer = 1;
  view_->m_OutputParams.SetSettings(out);
  const std::string sheet = folder_ / "s.dat", text = folder_ / "t.dat", shortFile = folder_ / "short.sds";
  std::ofstream(sheet) << "***\r\nFilename: s.dat\r\n\r\nCreation Date: x\r\nCreation Time: y\r\n"
                          "    File Type: SPREADSHEET\r\n***\r\nES-101D:_MN___1  I-5\r\n";
  std::ofstream(text) << "***\r\nFilename: t.dat\r\n\r\nCreation Date: x\r\nCreation Time: y\r\n"
                         "    File Type: TEXT\r\n***\r\n";
  std::ofstream(shortFile) << "SPREADSHEET\r\n";
  std::string chosen;
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest& r, std::string& p) {
    EXPECT_EQ(r.filters.size(), 4u);
    p = chosen;
    return true;
  });
  chosen = sheet;
  view_->OnOpenOutputFile();
  EXPECT_FALSE(::IsWindow(view_->m_Viewer.m_hWnd));  // launched with the spreadsheet program
  chosen = text;
  view_->OnOpenOutputFile();
  EXPECT_TRUE(::IsWindow(view_->m_Viewer.m_hWnd));
  EXPECT_EQ(view_->m_Viewer.m_nFileType, VFT_RAW);
  view_->m_Viewer.Close();
  chosen = shortFile;  // fewer than six lines: text
  view_->OnOpenOutputFile();
  EXPECT_TRUE(::IsWindow(view_->m_Viewer.m_hWnd));
  view_->m_Viewer.Close();
  chosen = folder_ / "missing.mds";
  view_->OnOpenOutputFile();
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(qav::ui::MessageBoxLog()[0].text.find("missing.mds"), std::string::npos);
}

}  // namespace
