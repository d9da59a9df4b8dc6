// The forms of both views under Qt's own key events on the offscreen platform: Return on a
// focused push button presses it, as in a dialog; Return elsewhere in a form does nothing.
#include <cstdlib>
#include <memory>
#include <string>

#include "app/classic/main_classic.h"
#include "app/newview/main_new.h"
#include "app/newview/main_new_form.h"
#include "app/shell/app_test_env.h"
#include "app/shell/qav_app.h"
#include "platform/ui/app.h"

// Qt's headers last: its keyword macros would rewrite names in the program's headers.
#include <QApplication>
#include <QTest>
#include <QWidget>

namespace {

QWidget* Widget(HWND h) { return static_cast<QWidget*>(qav::ui::NativeWidget(h)); }

class FormKeysQtTest : public AppUiTest {
 protected:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    AppUiTest::SetUp();
    ASSERT_TRUE(qav::ui::SelectBackend("qt"));
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest&) {
      ++boxes_;
      return IDOK;
    });
    qav::ui::SetFileChooserHandler([this](const qav::ui::FileChooserRequest&, std::string&) {
      ++choosers_;
      return false;
    });
  }
  void TearDown() override {
    if (frame_ != nullptr) frame_->DestroyWindow();
    app_.reset();
    qav::ui::ResetWindowSystem();
    QCoreApplication::processEvents();
    qav::ui::SelectBackend("headless");
    AppUiTest::TearDown();
  }
  // The program's main window on the view the profile names, shown as the program shows it.
  CMainDlg* Start(int classic) {
    store_->WriteInt("GENERAL", "USE_CLASSIC", classic);
    app_ = std::make_unique<CQAVApp>();
    if (!app_->InitInstance()) return nullptr;
    frame_ = dynamic_cast<CFrameWnd*>(app_->m_pMainWnd);
    app_->m_pMainWnd = nullptr;  // its end is the test's, not the end of a loop
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    return frame_ != nullptr ? dynamic_cast<CMainDlg*>(frame_->GetActiveView()) : nullptr;
  }
  std::unique_ptr<CQAVApp> app_;
  CFrameWnd* frame_ = nullptr;
  int boxes_ = 0, choosers_ = 0;
};

TEST_F(FormKeysQtTest, ReturnPressesTheFocusedPushButtonAndNothingElseInEitherForm) {
  const struct {
    const char* what;
    int classic;
    int focus;      // the control focused first
    bool tab;       // then Tab, to the next control
    int pressed;    // the control that has the focus when Return comes
    int choosers;   // file choosers asked for
    bool line;      // a status line added (a run's check refused)
  } cases[] = {
      {"Browse, reached by Tab from the file name", 0, IDC_NV_OUTPUT_PATH, true, IDC_NV_BROWSE, 1, false},
      {"Produce Report(s)", 0, IDC_NV_PRODUCE, false, IDC_NV_PRODUCE, 0, true},
      {"the file name field", 0, IDC_NV_OUTPUT_PATH, false, IDC_NV_OUTPUT_PATH, 0, false},
      {"GO", 1, IDC_GO, false, IDC_GO, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CMainDlg* view = Start(c.classic);
    ASSERT_NE(view, nullptr);
    boxes_ = choosers_ = 0;
    const int lines = view->m_lbStatus.GetCount();
    ::SetFocus(::GetDlgItem(view->m_hWnd, c.focus));
    QCoreApplication::processEvents();
    if (c.tab) QTest::keyClick(Widget(::GetFocus()), Qt::Key_Tab);
    ASSERT_EQ(::GetFocus(), ::GetDlgItem(view->m_hWnd, c.pressed));
    QTest::keyClick(Widget(::GetFocus()), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(choosers_, c.choosers);
    EXPECT_EQ(view->m_lbStatus.GetCount() > lines, c.line);
    EXPECT_EQ(boxes_, 0);
    frame_->DestroyWindow();
    frame_ = nullptr;
    app_.reset();
  }
}

// Up and Down typed in the New view's period field (00:00:20) step it, as its spin's arrows do.
TEST_F(FormKeysQtTest, UpAndDownInThePeriodFieldStepIt) {
  CMainDlg* view = Start(0);
  ASSERT_NE(view, nullptr);
  CWnd* period = view->GetDlgItem(IDC_NV_PERIOD);
  period->SetFocus();
  for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}) QTest::keyClick(Widget(::GetFocus()), k);
  EXPECT_EQ(period->GetWindowText(), "00:00:40");
}

}  // namespace
