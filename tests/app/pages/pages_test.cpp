#include <gtest/gtest.h>

#include "app/pages/general_params.h"
#include "app/pages/output_params.h"
#include "app/pages/pe_validity_flags.h"
#include "app/shell/app_globals.h"
#include "app/shell/app_test_env.h"
#include "app/shell/qav_app.h"
#include "archive/archive_globals.h"
#include "platform/ui/input.h"

namespace input = qav::ui::input;
using qav::ui::PostTask;

namespace {
class PagesTest : public AppUiTest {
 protected:
  void SetUp() override {
    AppUiTest::SetUp();
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      boxes_.push_back(r.text + "|" + r.caption);
      return IDOK;
    });
    sheet_.Construct("Parameter Settings");
    sheet_.m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
  }
  void TearDown() override {
    g_PeValid.Set(PeValidity{});
    g_hPromptWnd = 0;
    AppUiTest::TearDown();
  }
  HWND Item(CWnd& page, int id) { return ::GetDlgItem(page.m_hWnd, id); }
  void ClickOk() { input::Click(::GetDlgItem(sheet_.m_hWnd, IDOK)); }
  static SYSTEMTIME Time(int h, int m) {
    SYSTEMTIME t{};
    t.wYear = 2026, t.wMonth = 1, t.wDay = 1, t.wHour = static_cast<WORD>(h), t.wMinute = static_cast<WORD>(m);
    return t;
  }
  static std::string Shown(HWND picker) {
    SYSTEMTIME t{};
    ::SendMessage(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", t.wHour, t.wMinute);
    return text;
  }

  CPropertySheet sheet_;
  std::vector<std::string> boxes_;
};

TEST_F(PagesTest, GeneralPageSetsTheArchiveRootOnAccept) {
  CQAVApp app;
  CWnd mainWindow;
  mainWindow.CreateEx(0, "Frame", "QAV", WS_OVERLAPPEDWINDOW, RECT{0, 0, 100, 100}, nullptr, 0);
  app.m_pMainWnd = &mainWindow;
  const struct {
    int source;
    const char* cdrom;
    const char* other;
    const char* root;
    bool prompts;
  } cases[] = {
      {0, "D:", "/srv/qav/", "D:/", true},
      {0, "", "", "/", true},
      {0, "..\\..\\", "", "../../", true},
      {1, "D:", "@", "@/", false},
      {1, "D:\\", "@/", "@/", false},
  };
  const std::string archive = folder_.path();  // "@" in the table
  auto expand = [&](const char* text) { return text[0] == '@' ? archive + (text + 1) : std::string(text); };
  for (const auto& c : cases) {
    const std::string other = expand(c.other), root = expand(c.root);
    CGeneralParams page;
    page.Construct(IDD_GENERAL_PARAMS_NEW);
    page.m_nSource = c.source;
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(&page);
    bool cdromEnabled = false, otherEnabled = false;
    PostTask([&] {
      cdromEnabled = ::IsWindowEnabled(Item(page, IDC_CDROM_PATH));
      otherEnabled = ::IsWindowEnabled(Item(page, IDC_OTHER_PATH));
      input::Type(Item(page, c.source == 0 ? IDC_CDROM_PATH : IDC_OTHER_PATH), c.source == 0 ? c.cdrom : other.c_str());
      if (c.source == 0) input::Type(Item(page, IDC_OTHER_PATH), other.c_str());  // disabled: the user cannot type
      else input::Type(Item(page, IDC_CDROM_PATH), c.cdrom);
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(cdromEnabled, c.source == 0);
    EXPECT_EQ(otherEnabled, c.source != 0);
    EXPECT_EQ(g_DataRootPath.Get(), root) << c.cdrom << " " << other;
    EXPECT_EQ(g_hPromptWnd.load() != 0, c.prompts);
    EXPECT_EQ(c.source == 0 ? page.m_strCdromPath : page.m_strOtherPath, root);
  }
  app.m_pMainWnd = nullptr;
  mainWindow.DestroyWindow();
}

TEST_F(PagesTest, GeneralPageSwitchesTheSourceAndWarnsOfTheRestart) {
  CGeneralParams page;
  page.Construct(IDD_GENERAL_PARAMS_CLASSIC);
  page.m_nSource = 1;
  sheet_.AddPage(&page);
  std::vector<bool> enabled;
  PostTask([&] {
    input::Click(Item(page, IDC_SOURCE_CDROM));
    enabled.push_back(::IsWindowEnabled(Item(page, IDC_CDROM_PATH)));
    enabled.push_back(::IsWindowEnabled(Item(page, IDC_BROWSE_CDROM)));
    enabled.push_back(::IsWindowEnabled(Item(page, IDC_OTHER_PATH)));
    enabled.push_back(::IsWindowEnabled(Item(page, IDC_BROWSE_OTHER)));
    input::Click(Item(page, IDC_SOURCE_OTHER));
    for (int id : {IDC_CDROM_PATH, IDC_BROWSE_CDROM, IDC_OTHER_PATH, IDC_BROWSE_OTHER})
      enabled.push_back(::IsWindowEnabled(Item(page, id)));
    input::Click(Item(page, IDC_USE_CLASSIC));
    input::Click(Item(page, IDC_USE_CLASSIC));
    input::Click(::GetDlgItem(sheet_.m_hWnd, IDCANCEL));
  });
  EXPECT_EQ(sheet_.DoModal(), IDCANCEL);
  EXPECT_EQ(enabled, (std::vector<bool>{true, true, false, false, false, false, true, true}));
  EXPECT_EQ(boxes_, (std::vector<std::string>(2, "This change will take effect when you restart QAV|QAV General Params")));
}

TEST_F(PagesTest, GeneralAndOutputPagesShowTheirValuesAndGiveThemBackUnchangedOnOk) {
  SGeneralSettings g;
  g.cdromPath = "/media/disc/";
  g.otherPath = folder_.path() + "/";
  g.useClassic = 1;
  SOutputSettings o{"/usr/bin/less", "/usr/bin/localc", 1, 0, "/r/", "/s/", "/m/"};
  auto general = [](const SGeneralSettings& s) {
    return s.cdromPath + "|" + s.otherPath + "|" + std::to_string(s.cdromIndex) + std::to_string(s.useClassic);
  };
  auto output = [](const SOutputSettings& s) {
    return s.textViewer + "|" + s.ssViewer + "|" + s.rawPath + s.sdsPath + s.mdsPath + "|" +
           std::to_string(s.autoOpen) + std::to_string(s.useCustomViewer);
  };
  const struct {
    UINT id;
    int edit;
    const char* shown;
  } cases[] = {{IDD_GENERAL_PARAMS_NEW, IDC_CDROM_PATH, "/media/disc/"},
               {IDD_GENERAL_PARAMS_CLASSIC, IDC_CDROM_PATH, "/media/disc/"},
               {IDD_OUTPUT_PARAMS_NEW, IDC_SS_VIEWER, "/usr/bin/localc"},
               {IDD_OUTPUT_PARAMS_CLASSIC, IDC_RAW_PATH, "/r/"}};
  for (const auto& c : cases) {
    CGeneralParams generalPage;
    COutputParams outputPage;
    CPropertyPage* page = &generalPage;
    if (c.edit == IDC_CDROM_PATH) {
      generalPage.Construct(c.id);
      generalPage.SetSettings(g);
    } else {
      outputPage.Construct(c.id);
      outputPage.SetSettings(o);
      page = &outputPage;
    }
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(page);
    std::string shown;
    PostTask([&] {
      shown = CWnd::FromHandle(Item(*page, c.edit))->GetWindowText();
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(shown, c.shown) << c.id;
    SGeneralSettings g2;
    SOutputSettings o2;
    generalPage.GetSettings(g2);
    outputPage.GetSettings(o2);
    if (page == &generalPage) EXPECT_EQ(general(g2), general(g)) << c.id;
    else EXPECT_EQ(output(o2), output(o)) << c.id;
  }
}

TEST_F(PagesTest, APathOverTheLimitIsRefusedAndTheSheetStaysOpen) {
  const struct {
    UINT page;
    int edit;
  } cases[] = {{IDD_GENERAL_PARAMS_NEW, IDC_CDROM_PATH},     {IDD_GENERAL_PARAMS_NEW, IDC_OTHER_PATH},
               {IDD_OUTPUT_PARAMS_CLASSIC, IDC_TEXT_VIEWER}, {IDD_OUTPUT_PARAMS_CLASSIC, IDC_SS_VIEWER},
               {IDD_OUTPUT_PARAMS_CLASSIC, IDC_MDS_PATH},    {IDD_OUTPUT_PARAMS_CLASSIC, IDC_RAW_PATH},
               {IDD_OUTPUT_PARAMS_CLASSIC, IDC_SDS_PATH}};
  for (const auto& c : cases) {
    boxes_.clear();
    CGeneralParams generalPage;
    COutputParams outputPage;
    CPropertyPage* page = &outputPage;
    if (c.edit == IDC_CDROM_PATH || c.edit == IDC_OTHER_PATH) {
      generalPage.Construct(c.page);
      page = &generalPage;
    } else {
      outputPage.Construct(c.page);
    }
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(page);
    bool openAfterRefusal = false;
    // The second text must pass every check of its field: an archive folder must exist.
    const std::string fits = c.edit == IDC_OTHER_PATH ? folder_.path() + "/" : std::string(200, 'a');
    PostTask([&] {
      CWnd::FromHandle(Item(*page, c.edit))->SetWindowText(std::string(261, 'a').c_str());
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
    });
    PostTask([&] {
      openAfterRefusal = ::IsWindow(sheet.m_hWnd) != FALSE;
      CWnd::FromHandle(Item(*page, c.edit))->SetWindowText(fits.c_str());
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
    });
    ASSERT_EQ(sheet.DoModal(), IDOK) << c.edit;
    EXPECT_TRUE(openAfterRefusal) << c.edit;
    EXPECT_EQ(boxes_, (std::vector<std::string>{"Please enter no more than 260 characters.|QAV"})) << c.edit;
  }
}

TEST_F(PagesTest, EveryBrowseButtonFillsItsFieldOnOkAndLeavesItOnCancel) {
  const struct {
    UINT page;
    int source;  // of the General page
    int button, edit;
    const char* title;  // a folder chooser's; null for a program chooser
    const char* chosen;
  } cases[] = {
      {IDD_GENERAL_PARAMS_CLASSIC, 0, IDC_BROWSE_CDROM, IDC_CDROM_PATH, "Choose CDROM Drive/Directory", "/media/disc"},
      {IDD_GENERAL_PARAMS_NEW, 1, IDC_BROWSE_OTHER, IDC_OTHER_PATH, "Choose Other Drive Path", "/srv/archive"},
      {IDD_OUTPUT_PARAMS_NEW, 0, IDC_BROWSE_TEXT_VIEWER, IDC_TEXT_VIEWER, nullptr, "/usr/bin/xdg-open"},
      {IDD_OUTPUT_PARAMS_CLASSIC, 0, IDC_BROWSE_SS_VIEWER, IDC_SS_VIEWER, nullptr, "/opt/office/program/scalc"},
      {IDD_OUTPUT_PARAMS_CLASSIC, 0, IDC_BROWSE_RAW_PATH, IDC_RAW_PATH, "Choose Rawdata Output Directory", "/r"},
      {IDD_OUTPUT_PARAMS_CLASSIC, 0, IDC_BROWSE_SDS_PATH, IDC_SDS_PATH, "Choose SDS Output Directory", "/s"},
      {IDD_OUTPUT_PARAMS_CLASSIC, 0, IDC_BROWSE_MDS_PATH, IDC_MDS_PATH, "Choose MDS Output Directory", "/m"},
  };
  for (const auto& c : cases) {
    CGeneralParams general;
    COutputParams output;
    CPropertyPage* page = &output;
    if (c.page == IDD_GENERAL_PARAMS_CLASSIC || c.page == IDD_GENERAL_PARAMS_NEW) {
      general.Construct(c.page);
      general.m_nSource = c.source;
      page = &general;
    } else {
      output.Construct(c.page);
    }
    std::vector<qav::ui::FileChooserRequest> asked;
    bool answer = false;
    qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest& r, std::string& path) {
      asked.push_back(r);
      path = c.chosen;
      return answer;
    });
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(page);
    std::string afterCancel, afterOk;
    bool besideItsField = false;
    PostTask([&] {
      RECT e{}, b{};
      CWnd::FromHandle(Item(*page, c.edit))->GetWindowRect(&e);
      CWnd::FromHandle(Item(*page, c.button))->GetWindowRect(&b);
      besideItsField = b.left >= e.right && b.top < e.bottom && e.top < b.bottom;
      input::Type(Item(*page, c.edit), "/start/here");
      input::Click(Item(*page, c.button));
      afterCancel = CWnd::FromHandle(Item(*page, c.edit))->GetWindowText();
      answer = true;
      input::Click(Item(*page, c.button));
      afterOk = CWnd::FromHandle(Item(*page, c.edit))->GetWindowText();
      input::Click(::GetDlgItem(sheet.m_hWnd, IDCANCEL));
    });
    sheet.DoModal();
    EXPECT_TRUE(besideItsField) << c.button;  // on the field's row, right of it
    ASSERT_EQ(asked.size(), 2u) << c.button;
    EXPECT_EQ(asked[0].initialPath, "/start/here") << c.button;
    EXPECT_EQ(asked[0].title, c.title != nullptr ? c.title : "Open") << c.button;
    EXPECT_EQ(asked[0].defaultExt, "") << c.button;
    EXPECT_EQ(afterCancel, "/start/here") << c.button;
    EXPECT_EQ(afterOk, c.chosen) << c.button;
  }
}

TEST_F(PagesTest, AnArchiveFolderThatIsNotThereIsRefusedAndKeepsTheSheetOnItsPage) {
  CGeneralParams general;
  general.Construct(IDD_GENERAL_PARAMS_NEW);
  general.m_nSource = 1;
  COutputParams output;
  output.Construct(IDD_OUTPUT_PARAMS_NEW);
  sheet_.AddPage(&general);
  sheet_.AddPage(&output);
  const std::string missing = folder_ / "missing";
  const std::string there = folder_.path();
  std::vector<int> activeAfterRefusals;
  bool focusOnPath = false;
  PostTask([&] {
    input::Type(Item(general, IDC_OTHER_PATH), missing.c_str());
    input::SelectTab(sheet_.GetTabControl(), 1);
    activeAfterRefusals.push_back(sheet_.GetActiveIndex());
    ClickOk();
    activeAfterRefusals.push_back(sheet_.GetActiveIndex());
    focusOnPath = ::GetFocus() == Item(general, IDC_OTHER_PATH);
    input::Type(Item(general, IDC_OTHER_PATH), there.c_str());
    ClickOk();
  });
  ASSERT_EQ(sheet_.DoModal(), IDOK);
  EXPECT_EQ(activeAfterRefusals, (std::vector<int>{0, 0}));
  EXPECT_TRUE(focusOnPath);
  EXPECT_EQ(boxes_, std::vector<std::string>(2, "The folder " + missing + " does not exist.|QAV"));
  EXPECT_EQ(g_DataRootPath.Get(), there + "/");
  // A folder that was already set is not held against the user's other changes.
  CGeneralParams again;
  again.Construct(IDD_GENERAL_PARAMS_NEW);
  again.m_strOtherPath = missing;
  CPropertySheet sheet("Parameter Settings");
  sheet.AddPage(&again);
  PostTask([&] {
    input::Click(Item(again, IDC_USE_CLASSIC));
    input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(boxes_.size(), 3u);  // the restart note only
  EXPECT_EQ(g_DataRootPath.Get(), missing + "/");
}

TEST_F(PagesTest, AMinimumAboveItsMaximumIsRefusedNamingBoth) {
  const struct {
    int changeMin, min, changeMax, max;
    const char* minText;
    const char* maxText;
    const char* message;
  } cases[] = {
      {IDC_PE_CHANGE_PEAK_MIN, IDC_PE_PEAK_MIN, IDC_PE_CHANGE_PEAK_MAX, IDC_PE_PEAK_MAX, "200", "100",
       "Peak Min (200) must not be greater than Peak Max (100).|QAV"},
      {IDC_PE_CHANGE_OFF_PEAK_MIN, IDC_PE_OFF_PEAK_MIN, IDC_PE_CHANGE_OFF_PEAK_MAX, IDC_PE_OFF_PEAK_MAX, "7", "6",
       "Off-peak Min (7) must not be greater than Off-peak Max (6).|QAV"},
  };
  for (const auto& c : cases) {
    boxes_.clear();
    CPEValidityFlags pe;
    pe.Construct();
    COutputParams output;
    output.Construct(IDD_OUTPUT_PARAMS_NEW);
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(&pe);
    sheet.AddPage(&output);
    std::vector<int> active;
    bool minWritable = false, focusOnMin = false;
    PostTask([&] {
      input::Click(Item(pe, c.changeMax));
      input::Type(Item(pe, c.max), c.maxText);
      input::Click(Item(pe, c.changeMin));
      input::Type(Item(pe, c.min), c.minText);
      input::SelectTab(sheet.GetTabControl(), 1);
      active.push_back(sheet.GetActiveIndex());
      input::Focus(Item(pe, IDC_PE_PEAK1_START));
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
      active.push_back(sheet.GetActiveIndex());
      focusOnMin = ::GetFocus() == Item(pe, c.min);
      minWritable = (CWnd::FromHandle(Item(pe, c.min))->GetStyle() & ES_READONLY) == 0;
      input::Type(Item(pe, c.min), c.maxText);  // equal limits are fine
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(active, (std::vector<int>{0, 0}));
    EXPECT_EQ(boxes_, std::vector<std::string>(2, c.message));
    EXPECT_TRUE(focusOnMin);
    EXPECT_TRUE(minWritable);
    const PeValidity v = g_PeValid.Get();
    const int stored = c.min == IDC_PE_PEAK_MIN ? v.peakMin : v.offMin;
    const int storedMax = c.min == IDC_PE_PEAK_MIN ? v.peakMax : v.offMax;
    EXPECT_EQ(stored, std::atoi(c.maxText));
    EXPECT_EQ(storedMax, std::atoi(c.maxText));
    g_PeValid.Set(PeValidity{});
  }
}

// A folder gains a separator; one left empty stays empty (reports then go to the home folder, never
// to the root of the file system).
TEST_F(PagesTest, OutputPageFoldersGainASeparatorAndTheViewerGroupFollowsTheCheck) {
  COutputParams page;
  page.Construct(IDD_OUTPUT_PARAMS_CLASSIC);
  page.m_bUseCustomViewer = 1;
  sheet_.AddPage(&page);
  std::vector<bool> viewerEnabled;
  PostTask([&] {
    viewerEnabled.push_back(::IsWindowEnabled(Item(page, IDC_TEXT_VIEWER)));
    input::Click(Item(page, IDC_USE_CUSTOM_VIEWER));
    viewerEnabled.push_back(::IsWindowEnabled(Item(page, IDC_TEXT_VIEWER)));
    viewerEnabled.push_back(::IsWindowEnabled(Item(page, IDC_BROWSE_TEXT_VIEWER)));
    viewerEnabled.push_back(::IsWindowEnabled(Item(page, IDC_TEXT_VIEWER_GROUP)));
    input::Click(Item(page, IDC_USE_CUSTOM_VIEWER));
    viewerEnabled.push_back(::IsWindowEnabled(Item(page, IDC_TEXT_VIEWER_GROUP)));
    input::Type(Item(page, IDC_RAW_PATH), "C:\\TEMP");
    input::Type(Item(page, IDC_SDS_PATH), "/var/reports/");
    input::Type(Item(page, IDC_SS_VIEWER), "/usr/bin/localc");
    ClickOk();
  });
  ASSERT_EQ(sheet_.DoModal(), IDOK);
  EXPECT_EQ(viewerEnabled, (std::vector<bool>{false, true, true, true, false}));
  EXPECT_EQ(page.m_strRawPath, "C:/TEMP/");
  EXPECT_EQ(page.m_strSdsPath, "/var/reports/");
  EXPECT_EQ(page.m_strMdsPath, "");
  EXPECT_EQ(page.m_strSsViewer, "/usr/bin/localc");
}

TEST_F(PagesTest, ClassicOutputPageWithoutTheCustomViewerOffersTheTextViewerAndTakesAutoOpen) {
  CQAVApp app;
  app.m_nUseClassic = 1;
  COutputParams page;
  page.Construct(IDD_OUTPUT_PARAMS_CLASSIC);
  page.m_bUseCustomViewer = 0;
  page.m_bAutoOpen = 1;
  sheet_.AddPage(&page);
  bool viewerEnabled = false;
  PostTask([&] {
    viewerEnabled = ::IsWindowEnabled(Item(page, IDC_TEXT_VIEWER));
    input::Click(Item(page, IDC_AUTO_OPEN));
    ClickOk();
  });
  ASSERT_EQ(sheet_.DoModal(), IDOK);
  EXPECT_TRUE(viewerEnabled);
  EXPECT_EQ(page.m_bAutoOpen, 0);
}

TEST_F(PagesTest, ClassicOutputPageKeepsTheTextViewerOffWithTheOwnViewerOrInTheNewView) {
  const struct {
    UINT useClassic;
    int useCustomViewer;
  } cases[] = {{1, 1}, {0, 0}};
  for (const auto& c : cases) {
    CQAVApp app;
    app.m_nUseClassic = c.useClassic;
    COutputParams page;
    page.Construct(IDD_OUTPUT_PARAMS_CLASSIC);
    page.m_bUseCustomViewer = c.useCustomViewer;
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(&page);
    std::vector<bool> enabled;
    PostTask([&] {
      for (int id : {IDC_TEXT_VIEWER_GROUP, IDC_TEXT_VIEWER, IDC_BROWSE_TEXT_VIEWER})
        enabled.push_back(::IsWindowEnabled(Item(page, id)));
      input::Click(::GetDlgItem(sheet.m_hWnd, IDCANCEL));
    });
    sheet.DoModal();
    EXPECT_EQ(enabled, std::vector<bool>(3, false)) << c.useClassic << c.useCustomViewer;
  }
}

TEST_F(PagesTest, NewViewOutputPageShowsOnlyTheViewersAndAutoOpen) {
  COutputParams page;
  page.Construct(IDD_OUTPUT_PARAMS_NEW);
  page.m_strRawPath = "/keep/raw/";
  sheet_.AddPage(&page);
  std::vector<bool> visible;
  PostTask([&] {
    for (int id : {IDC_TEXT_VIEWER, IDC_SS_VIEWER, IDC_AUTO_OPEN, IDC_RAW_PATH, IDC_SDS_PATH, IDC_MDS_PATH,
                   IDC_USE_CUSTOM_VIEWER})
      visible.push_back(::IsWindowVisible(Item(page, id)) && ::IsWindowEnabled(Item(page, id)));
    ClickOk();
  });
  ASSERT_EQ(sheet_.DoModal(), IDOK);
  EXPECT_EQ(visible, (std::vector<bool>{true, true, true, false, false, false, false}));
  EXPECT_EQ(page.m_strRawPath, "/keep/raw/");
}

TEST_F(PagesTest, PeriodsAndTimes) {
  const struct {
    int period, hour, minute;
  } cases[] = {{0, 0, 0}, {72, 6, 0}, {108, 9, 0}, {287, 23, 55}, {88, 7, 20}};
  for (const auto& c : cases) {
    int h = -1, m = -1;
    PeriodToTime(c.period, h, m);
    EXPECT_EQ(h, c.hour);
    EXPECT_EQ(m, c.minute);
    EXPECT_EQ(TimeToPeriod(h, m), c.period);
  }
  EXPECT_EQ(TimeToPeriod(7, 23), 88);
  EXPECT_EQ(TimeToPeriod(7, 59), 95);
}

TEST_F(PagesTest, ArrowStepsSnapToFiveMinutesTypedTimesStay) {
  const struct {
    int ph, pm, h, m, eh, em;
    bool changed;
  } cases[] = {
      {6, 55, 6, 56, 7, 0, true},    // up across the hour
      {7, 0, 6, 59, 6, 55, true},    // down across the hour
      {7, 20, 7, 21, 7, 25, true},
      {7, 20, 7, 19, 7, 15, true},
      {7, 23, 7, 24, 7, 25, true},   // from a typed time
      {0, 0, 23, 59, 0, 0, true},    // held at the start of the day
      {23, 55, 23, 56, 23, 55, true},  // and at its end
      {7, 0, 7, 59, 6, 55, true},    // a picker that wraps the minute without carrying
      {6, 59, 6, 0, 7, 0, true},     // up from a typed time, wrapped
      {0, 0, 0, 59, 0, 0, true},     // the start of the day holds on such a picker too
      {7, 0, 7, 45, 7, 45, false},   // typed
      {6, 0, 7, 23, 7, 23, false},   // typed
      {7, 0, 8, 0, 8, 0, false},     // the hour's arrow
  };
  for (const auto& c : cases) {
    int h = c.h, m = c.m;
    EXPECT_EQ(SnapPeakTime(c.ph, c.pm, h, m), c.changed) << c.ph << ":" << c.pm << " -> " << c.h << ":" << c.m;
    EXPECT_EQ(h * 60 + m, c.eh * 60 + c.em) << c.ph << ":" << c.pm << " -> " << c.h << ":" << c.m;
  }
}

TEST_F(PagesTest, PeValidityPageShowsEditsAndStoresTheSettings) {
  CPEValidityFlags page;
  page.Construct();
  sheet_.AddPage(&page);
  std::vector<std::string> shown;
  bool readOnlyAtStart = true, writableAfterChange = false, readOnlyAfterLeaving = false;
  int activeAfterRefusal = -1;
  PostTask([&] {
    for (int id : {IDC_PE_PEAK1_START, IDC_PE_PEAK1_END, IDC_PE_PEAK2_START, IDC_PE_PEAK2_END})
      shown.push_back(Shown(Item(page, id)));
    for (int id : {IDC_PE_PEAK_MIN, IDC_PE_PEAK_MAX, IDC_PE_OFF_PEAK_MIN, IDC_PE_OFF_PEAK_MAX})
      shown.push_back(CWnd::FromHandle(Item(page, id))->GetWindowText());
    for (int id : {IDC_PE_PEAK_MIN, IDC_PE_PEAK_MAX, IDC_PE_OFF_PEAK_MIN, IDC_PE_OFF_PEAK_MAX})
      readOnlyAtStart &= (CWnd::FromHandle(Item(page, id))->GetStyle() & (ES_READONLY | WS_BORDER)) == ES_READONLY;
  });
  PostTask([&] {
    input::Click(Item(page, IDC_PE_CHANGE_PEAK_MAX));
    writableAfterChange =
        (CWnd::FromHandle(Item(page, IDC_PE_PEAK_MAX))->GetStyle() & (ES_READONLY | WS_BORDER)) == WS_BORDER;
    input::Type(Item(page, IDC_PE_PEAK_MAX), "256");
    input::Focus(Item(page, IDC_PE_PEAK1_START));
    readOnlyAfterLeaving = (CWnd::FromHandle(Item(page, IDC_PE_PEAK_MAX))->GetStyle() & ES_READONLY) != 0;
    input::SetTime(Item(page, IDC_PE_PEAK1_START), Time(7, 23));  // typed
    input::SetTime(Item(page, IDC_PE_PEAK2_END), Time(18, 59));   // one step down from 19:00
    input::SetTime(Item(page, IDC_PE_PEAK1_END), Time(10, 30));   // typed
    ClickOk();
  });
  PostTask([&] {
    activeAfterRefusal = sheet_.GetActiveIndex();
    input::Click(Item(page, IDC_PE_CHANGE_PEAK_MAX));
    input::Type(Item(page, IDC_PE_PEAK_MAX), "255");
    input::Click(Item(page, IDC_PE_CHANGE_OFF_PEAK_MIN));
    input::Type(Item(page, IDC_PE_OFF_PEAK_MIN), "3");
    input::Click(Item(page, IDC_PE_CHANGE_OFF_PEAK_MAX));
    input::Type(Item(page, IDC_PE_OFF_PEAK_MAX), "200");
    ClickOk();
  });
  ASSERT_EQ(sheet_.DoModal(), IDOK);
  EXPECT_EQ(shown, (std::vector<std::string>{"06:00", "09:00", "15:00", "19:00", "0", "255", "0", "255"}));
  EXPECT_TRUE(writableAfterChange);
  EXPECT_TRUE(readOnlyAfterLeaving);
  EXPECT_EQ(activeAfterRefusal, 0);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Please enter an integer between 0 and 255.|QAV"}));
  const PeValidity pe = g_PeValid.Get();
  EXPECT_EQ(pe.peak1Start, 88);
  EXPECT_EQ(pe.peak1End, 10 * 12 + 6);
  EXPECT_EQ(pe.peak2End, 18 * 12 + 11);
  EXPECT_EQ(pe.peakMax, 255);
  EXPECT_EQ(pe.offMin, 3);
  EXPECT_EQ(pe.offMax, 200);
  EXPECT_TRUE(readOnlyAtStart);
}
}  // namespace
