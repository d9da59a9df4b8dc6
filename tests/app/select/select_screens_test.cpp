// Pictures of the four selection dialogs filled from a generated archive, for looking at their
// layout: run with QAV_SCREENSHOT_DIR set (on Qt's offscreen platform when there is no display);
// skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/select/dates_dlg.h"
#include "app/select/elems_dlg.h"
#include "app/select/element_trees.h"
#include "app/select/select_fixture.h"
#include "app/select/select_ids.h"
#include "app/select/year_dlg.h"
#include "archive/sample_archive.h"
#include "platform/ui/wnd_state.h"

namespace {

class SelectScreens : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("QAV_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "QAV_SCREENSHOT_DIR not set";
    if (std::getenv("DISPLAY") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!qav::ui::SelectBackend("qt")) GTEST_SKIP() << "Qt does not start";
    dir_ = dir;
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    SampleArchiveOptions options;
    options.root = archive_.NativePath() + "/";
    options.years = {1993, 1994};
    options.elements = 60;
    options.days = 40;
    ASSERT_EQ(WriteSampleArchive(options), 0);
    g_DataRootPath.Set(archive_.Root().c_str());
    g_hPromptWnd = 0;
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    qav::ui::SelectBackend("headless");
    g_DataRootPath.Set("");
  }
  // Saves the dialog once its loop runs, then closes it.
  void SaveWhenShown(CWnd& dlg, const char* name) {
    qav::ui::PostTask([this, &dlg, name] {
        EXPECT_TRUE(qav::ui::SaveWindowPng(dlg.m_hWnd, dir_ + "/" + name)) << name;
      ::SendMessage(dlg.m_hWnd, WM_CLOSE, 0, 0);
    });
  }
  std::string dir_;
  ArchiveFolder archive_;
};

TEST_F(SelectScreens, EachDialogFilled) {
  CObjArray<CDateTimeEx> dates;
  for (int d = 3; d <= 9; ++d) dates.Add(CDateTimeEx(1994, 1, d));
  {
    CDatesDlg dlg(&dates, nullptr);
    qav::ui::PostTask([&dlg] {
      qav::ui::input::Click(::GetDlgItem(dlg.m_hWnd, IDC_SEL_MODE_RANGE));
      qav::ui::input::Click(::GetDlgItem(dlg.m_hWnd, IDC_SEL_DAYS_MON_FRI));
    });
    SaveWhenShown(dlg, "select_dates.png");
    dlg.DoModal();
  }
  {
    CYearDlg dlg(nullptr);
    SaveWhenShown(dlg, "select_year.png");
    dlg.DoModal();
  }
  {
    CMonthDlg dlg(nullptr);
    SaveWhenShown(dlg, "select_month.png");
    int year = 1994, month = 1;
    dlg.RunYearMonth(year, month);
  }
  {
    CElemsDlg dlg(nullptr, IDD_SELECT_ELEMENTS);
    dlg.SetErrorHook([](const char*, DWORD, void*) {}, nullptr);
    ASSERT_EQ(dlg.StartLoad(dates, kMaskClassic), 0u);
    dlg.WaitDone();
    ViewSelection selection;
    selection.Add("I-90", "090es01234", "_MW___1");
    qav::ui::PostTask([&dlg] {
      qav::ui::input::Click(::GetDlgItem(dlg.m_hWnd, IDC_SEL_ADD_ALL));
      qav::ui::input::SelectLine(::GetDlgItem(dlg.m_hWnd, IDC_SEL_SELECTED), 1);
    });
    SaveWhenShown(dlg, "select_elements.png");
    dlg.SelectElements(selection.roadways, selection.cabinets, selection.elements, nullptr);
  }
}

}  // namespace
