// The support library's dialogs as real Qt widgets (Qt's offscreen platform): each is built,
// shown, driven and closed without a hang or a sanitizer report.
#include "support_ui_fixture.h"

#include <cstdlib>

#include "platform/kernel/time.h"
#include "platform/ui/wnd_state.h"
#include "support/about_dlg.h"
#include "support/message_box_ex.h"
#include "support/wait_dialog.h"

namespace {

using qav::ui::PostTask;

class QtDialogsSmokeTest : public SupportUiTest {
 protected:
  void SetUp() override {
    SupportUiTest::SetUp();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ASSERT_TRUE(qav::ui::SelectBackend("qt"));
    qav::ui::BindUiThread();
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    qav::ui::SelectBackend("headless");
    SupportUiTest::TearDown();
  }
};

TEST_F(QtDialogsSmokeTest, WaitDialogRunsItsTimerAndCancels) {
  int position = 0;
  bool keepGoing = true;
  CWaitDialog dlg(&position, &keepGoing, "Loading Input Data...");
  ASSERT_NE(dlg.m_hWnd, nullptr);
  EXPECT_NE(dlg.State()->native, nullptr);
  dlg.SetRange(0, 100);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 1300) {  // two or three timer ticks
    position += position < 100 ? 2 : 0;
    CWaitDialog::PumpMessages();
    Sleep(20);
  }
  EXPECT_GE(dlg.m_estimator.StepCount(), 2u);
  EXPECT_EQ(dlg.m_wndProgress.GetPos(), dlg.m_estimator.m_nLastPosition);
  qav::ui::input::Click(dlg.GetDlgItem(IDCANCEL)->m_hWnd);
  EXPECT_FALSE(keepGoing);
  dlg.Close();
}

TEST_F(QtDialogsSmokeTest, AboutBoxAndMarkupBoxesShowAndEnd) {
  CAboutDlg about("Dec  7 2026", "05:00:00");
  bool aboutShown = false;
  PostTask([&] {
    aboutShown = about.State() != nullptr && about.State()->native != nullptr;
    about.End(IDOK);
  });
  EXPECT_EQ(about.DoModal(), IDOK);
  EXPECT_TRUE(aboutShown);

  PostTask([] {
    CWnd* focus = CWnd::GetFocus();
    ASSERT_NE(focus, nullptr);
    qav::ui::input::Click(focus->m_hWnd);  // the default button
  });
  EXPECT_EQ(ShowMessageBoxEx(nullptr, "<bold>Bold</bold>, <color red=255>red</color> and <size height=14>big</size>.",
                             "Mark-up", 12 | MB_EX_MARKUP | MB_ICONHAND | MB_DEFBUTTON2),
            IDIGNORE);

  ASSERT_TRUE(ShowMessageBoxEx(nullptr, "Modeless", "Box", MB_OK | MB_EX_MODELESS));
  ASSERT_EQ(MessageBoxExRegistry().m_nSize, 1);
  auto* box = static_cast<CMessageBoxEx*>(MessageBoxExRegistry().m_pData[0]);
  qav::ui::input::Close(box->m_hWnd);
  EXPECT_EQ(MessageBoxExRegistry().m_nSize, 0);
  qav::ui::PumpPending();
}

}  // namespace
