#include "support/wait_dialog.h"

#include "platform/ui/app.h"
#include "support_ui_fixture.h"

namespace {

namespace input = qav::ui::input;

class CIdleApp : public CWinApp {
 public:
  BOOL OnIdle(LONG count) override {
    ++idleCalls;
    return count < 2;  // work for counts 0 and 1
  }
  int idleCalls = 0;
};

class WaitDialogTest : public SupportUiTest {
 protected:
  void SetUp() override {
    SupportUiTest::SetUp();
    ASSERT_TRUE(main.Create());
    app.m_pMainWnd = &main;
  }
  void TearDown() override {
    app.m_pMainWnd = nullptr;
    main.DestroyWindow();
    SupportUiTest::TearDown();
  }
  CIdleApp app;
  CRecorderWnd main;
  int position = 0;
  bool keepGoing = true;
};

TEST_F(WaitDialogTest, ShowsCaptionMessageAndDisablesTheMainWindow) {
  {
    CWaitDialog dlg(&position, &keepGoing);
    ASSERT_NE(dlg.m_hWnd, nullptr);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_EQ(dlg.GetWindowText(), "Working");
    EXPECT_EQ(dlg.m_wndMessage.GetWindowText(), "Click Cancel to cancel the operation");
    EXPECT_EQ(dlg.GetDlgItem(IDC_WAIT_TIME_LEFT)->GetWindowText(), WAIT_NO_ESTIMATE_TEXT);
    EXPECT_FALSE(main.IsWindowEnabled());
  }
  EXPECT_TRUE(main.IsWindowEnabled());
  CWaitDialog dlg(&position, &keepGoing, "Loading Input Data...", "Reading the archive", &main);
  EXPECT_EQ(dlg.GetWindowText(), "Loading Input Data...");
  EXPECT_EQ(dlg.m_wndMessage.GetWindowText(), "Reading the archive");
  dlg.SetMessage("Writing the report");
  EXPECT_EQ(dlg.m_wndMessage.GetWindowText(), "Writing the report");
  dlg.BeginPhase("Summarizing data...");  // work of a new kind: its title at once
  EXPECT_EQ(dlg.GetWindowText(), "Summarizing data...");
}

TEST_F(WaitDialogTest, CancelClearsTheFlagAndKeepsTheMainWindowDisabledUntilClose) {
  CWaitDialog dlg(&position, &keepGoing);
  // The caller's sync hears of the Cancel at once, with the flag cleared.
  std::vector<bool> synced;
  dlg.m_fnSync = [&] { synced.push_back(keepGoing); };
  input::Click(dlg.GetDlgItem(IDCANCEL)->m_hWnd);
  EXPECT_FALSE(keepGoing);
  EXPECT_EQ(synced, std::vector<bool>{false});
  // The run owning the dialog is still winding down: the main window takes no input yet, and the
  // dialog stays, its Cancel done, so that it goes when the main window takes input again.
  EXPECT_FALSE(main.IsWindowEnabled());
  ASSERT_NE(dlg.m_hWnd, nullptr);
  EXPECT_FALSE(dlg.GetDlgItem(IDCANCEL)->IsWindowEnabled());
  dlg.Close();
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_TRUE(main.IsWindowEnabled());
  dlg.Close();  // released once only
  EXPECT_TRUE(main.IsWindowEnabled());
}

// Two wait dialogs at once (a report opened while a run goes on): the first belongs to the main
// window, the second to the first, beside it, both whole; the keyboard stays with the first. Each
// releases its hold on the main window once.
TEST_F(WaitDialogTest, ASecondGoesBesideTheFirstWithoutTheKeyboardAndTheHoldsNest) {
  main.ShowWindow(SW_SHOW);
  auto* outer = new CWaitDialog(&position, &keepGoing);
  EXPECT_EQ(::GetParent(outer->m_hWnd), main.m_hWnd);
  outer->GetDlgItem(IDCANCEL)->SetFocus();
  {
    int p2 = 0;
    bool k2 = true;
    CWaitDialog inner(&p2, &k2, "Opening the Report");
    EXPECT_EQ(::GetParent(inner.m_hWnd), outer->m_hWnd);
    EXPECT_TRUE(inner.IsWindowVisible());
    CRect a, b;
    outer->GetWindowRect(&a);
    inner.GetWindowRect(&b);
    EXPECT_TRUE(b.top >= a.bottom || b.bottom <= a.top) << "one covers the other";
    EXPECT_GE(b.top, 0);
    EXPECT_EQ(::GetFocus(), outer->GetDlgItem(IDCANCEL)->m_hWnd);
    EXPECT_FALSE(main.IsWindowEnabled());
  }
  EXPECT_FALSE(main.IsWindowEnabled());  // the outer run still holds it
  // The first goes while a second is up (a run that ended while its report is read): the second
  // stays up, under the main window, and still holds it.
  int p2 = 0;
  bool k2 = true;
  auto* inner = new CWaitDialog(&p2, &k2, "Opening the Report");
  delete outer;
  ASSERT_NE(inner->m_hWnd, nullptr);
  EXPECT_TRUE(inner->IsWindowVisible());
  EXPECT_EQ(::GetParent(inner->m_hWnd), main.m_hWnd);
  EXPECT_FALSE(main.IsWindowEnabled());
  delete inner;
  EXPECT_TRUE(main.IsWindowEnabled());
}

TEST_F(WaitDialogTest, RangeClampsPercentSetsAndTheTimerMovesTheBar) {
  CWaitDialog dlg(&position, &keepGoing);
  struct Case {
    int before, lower, upper, after;
  } cases[] = {{-5, 0, 100, 0}, {150, 0, 100, 100}, {50, 10, 20, 20}, {15, 10, 20, 15}};
  for (const Case& c : cases) {
    position = c.before;
    dlg.SetRange(c.lower, c.upper);
    EXPECT_EQ(position, c.after);
  }
  dlg.SetRange(0, 2000000000);
  dlg.SetPercent(50);
  EXPECT_EQ(position, 1000000000);  // no overflow in (upper - lower) * percent
  dlg.SetPercent(250);
  EXPECT_EQ(position, 2000000000);
  dlg.SetPercent(-1);
  EXPECT_EQ(position, 0);

  dlg.SetRange(0, 100);
  // The caller's sync brings the position in before the timer looks at it.
  dlg.m_fnSync = [&] { position = 30; };
  dlg.OnTimer(1);
  dlg.m_fnSync = nullptr;
  EXPECT_EQ(dlg.m_wndProgress.GetPos(), 30);
  // The first change only starts the clock: no time is shown before there is an estimate.
  EXPECT_EQ(dlg.m_strTimeLeft, WAIT_NO_ESTIMATE_TEXT);
  EXPECT_EQ(dlg.GetDlgItem(IDC_WAIT_TIME_LEFT)->GetWindowText(), WAIT_NO_ESTIMATE_TEXT);
  EXPECT_EQ(dlg.m_estimator.StepCount(), 1u);
  // 50 steps in 10 s: the 20 steps still to go take 4 s, shown once the estimate has been steady.
  dlg.m_estimator.m_nLastPositionTime -= 10000;
  dlg.m_estimator.m_bShown = true;
  position = 80;
  dlg.OnTimer(1);
  EXPECT_EQ(dlg.m_strTimeLeft, "00:00:04");
  EXPECT_EQ(dlg.GetDlgItem(IDC_WAIT_TIME_LEFT)->GetWindowText(), "00:00:04");

  // A range that changes under the moved bar keeps the share it shows (80 %), growing or
  // shrinking, also for a position that moved since the bar did, and the rest of the bar follows
  // the units still to come.
  struct Move {
    int upper, position, bar;
  } moves[] = {{200, 80, 160}, {200, 140, 180}, {300, 170, 285}, {300, 235, 293}, {290, 240, 283}, {290, 290, 290}};
  for (const Move& m : moves) {
    int lower = 0, upper = 0;
    dlg.m_wndProgress.GetRange(lower, upper);
    position = m.position;
    if (m.upper != upper) dlg.SetRange(0, m.upper);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.m_wndProgress.GetPos(), m.bar) << m.upper << " " << m.position;
  }
}

TEST_F(WaitDialogTest, PumpMessagesRunsIdleWorkAndKeepsTheQuitRequest) {
  bool ran = false;
  qav::ui::PostTask([&] { ran = true; });
  EXPECT_EQ(CWaitDialog::PumpMessages(), 1);
  EXPECT_TRUE(ran);
  EXPECT_EQ(app.idleCalls, 3);  // counts 0, 1 and the 2 that reported no more work
  ::PostQuitMessage(0);
  EXPECT_EQ(CWaitDialog::PumpMessages(), 0);
  EXPECT_TRUE(qav::ui::QuitRequested());  // left for the program's own loop
  qav::ui::ResetQuit();
}

}  // namespace
