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
      {0, "D:", "/srv/qav/", "D:\\", true},
      {0, "", "", "\\", true},
      {1, "D:", "/srv/qav", "/srv/qav\\", false},
      {1, "D:\\", "/srv/qav/", "/srv/qav/", false},
  };
  for (const auto& c : cases) {
    CGeneralParams page;
    page.Construct(IDD_GENERAL_PARAMS_NEW);
    page.m_nSource = c.source;
    CPropertySheet sheet("Parameter Settings");
    sheet.AddPage(&page);
    bool cdromEnabled = false, otherEnabled = false;
    PostTask([&] {
      cdromEnabled = ::IsWindowEnabled(Item(page, IDC_CDROM_PATH));
      otherEnabled = ::IsWindowEnabled(Item(page, IDC_OTHER_PATH));
      input::Type(Item(page, c.source == 0 ? IDC_CDROM_PATH : IDC_OTHER_PATH), c.source == 0 ? c.cdrom : c.other);
      if (c.source == 0) input::Type(Item(page, IDC_OTHER_PATH), c.other);  // disabled: the user cannot type
      else input::Type(Item(page, IDC_CDROM_PATH), c.cdrom);
      input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(cdromEnabled, c.source == 0);
    EXPECT_EQ(otherEnabled, c.source != 0);
    EXPECT_EQ(g_DataRootPath.Get(), c.root) << c.cdrom << " " << c.other;
    EXPECT_EQ(g_hPromptWnd.load() != 0, c.prompts);
    const std::string& kept = c.source == 0 ? page.m_strCdromPath : page.m_strOtherPath;
    EXPECT_EQ(kept.back() == '\\' || kept.back() == '/', true);
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
  EXPECT_EQ(page.m_strRawPath, "C:\\TEMP\\");
  EXPECT_EQ(page.m_strSdsPath, "/var/reports/");
  EXPECT_EQ(page.m_strMdsPath, "\\");
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
      {7, 0, 7, 59, 7, 59, false},   // typed
      {6, 0, 7, 23, 7, 23, false},   // typed
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
  bool readOnlyAtStart = false, writableAfterChange = false, readOnlyAfterLeaving = false;
  int activeAfterRefusal = -1;
  PostTask([&] {
    for (int id : {IDC_PE_PEAK1_START, IDC_PE_PEAK1_END, IDC_PE_PEAK2_START, IDC_PE_PEAK2_END})
      shown.push_back(Shown(Item(page, id)));
    for (int id : {IDC_PE_PEAK_MIN, IDC_PE_PEAK_MAX, IDC_PE_OFF_PEAK_MIN, IDC_PE_OFF_PEAK_MAX})
      shown.push_back(CWnd::FromHandle(Item(page, id))->GetWindowText());
    readOnlyAtStart = (CWnd::FromHandle(Item(page, IDC_PE_PEAK_MAX))->GetStyle() & ES_READONLY) != 0;
  });
  PostTask([&] {
    input::Click(Item(page, IDC_PE_CHANGE_PEAK_MAX));
    writableAfterChange = (CWnd::FromHandle(Item(page, IDC_PE_PEAK_MAX))->GetStyle() & ES_READONLY) == 0;
    input::Type(Item(page, IDC_PE_PEAK_MAX), "256");
    input::Focus(Item(page, IDC_PE_PEAK1_START));
    readOnlyAfterLeaving = (CWnd::FromHandle(Item(page, IDC_PE_PEAK_MAX))->GetStyle() & ES_READONLY) != 0;
    input::SetTime(Item(page, IDC_PE_PEAK1_START), Time(7, 23));  // typed
    input::SetTime(Item(page, IDC_PE_PEAK2_END), Time(18, 59));   // one step down from 19:00
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
  EXPECT_EQ(pe.peak1End, 108);
  EXPECT_EQ(pe.peak2End, 18 * 12 + 11);
  EXPECT_EQ(pe.peakMax, 255);
  EXPECT_EQ(pe.offMin, 3);
  EXPECT_EQ(pe.offMax, 200);
  EXPECT_TRUE(readOnlyAtStart);
}
}  // namespace
