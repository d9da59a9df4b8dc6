#include "support/mfcex_dialog.h"

#include <atomic>
#include <string>
#include <thread>

#include "platform/ui/input.h"
#include "support_ui_fixture.h"

namespace {

using qav::ui::PostTask;
namespace input = qav::ui::input;

constexpr UINT IDD_TEST = 9100;
constexpr int IDC_NUMBER = 1001;
constexpr int IDC_LABEL_A = 1002;
constexpr int IDC_LABEL_B = 1003;

const DialogTemplate kTestTemplate{IDD_TEST,
                                   "Test",
                                   160,
                                   80,
                                   {
                                       {Ctl::Static, IDC_LABEL_A, "A", 0, 7, 7, 40, 8},
                                       {Ctl::Static, IDC_LABEL_B, "B", 0, 7, 19, 40, 8},
                                       {Ctl::Edit, IDC_NUMBER, "", 0, 7, 31, 60, 14},
                                       {Ctl::DefPushButton, IDOK, "OK", 0, 49, 59, 50, 14},
                                       {Ctl::PushButton, IDCANCEL, "Cancel", 0, 103, 59, 50, 14},
                                   }};

class CNumberDlg : public CMFCExDialog {
 public:
  explicit CNumberDlg(CWnd* parent = nullptr) : CMFCExDialog(IDD_TEST, parent) {}
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, IDC_NUMBER, m_number);
    DDV_MinMaxInt(dx, m_number, 1, 9);
  }
  int m_number = 5;
};

class MFCExDialogTest : public SupportUiTest {
 protected:
  void SetUp() override {
    SupportUiTest::SetUp();
    RegisterDialogTemplate(&kTestTemplate);
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      boxes.push_back(r);
      return answer;
    });
  }
  std::vector<qav::ui::MessageBoxRequest> boxes;
  int answer = IDOK;
};

TEST_F(MFCExDialogTest, EndsEveryWayWithResultEventAndNotice) {
  struct Case {
    const char* name;
    std::function<void(CNumberDlg&)> act;
    int result;
  } cases[] = {
      {"close box", [](CNumberDlg& d) { input::Close(d.m_hWnd); }, IDCLOSE},
      {"OK", [](CNumberDlg& d) { input::Click(d.GetDlgItem(IDOK)->m_hWnd); }, IDOK},
      {"Cancel", [](CNumberDlg& d) { input::Click(d.GetDlgItem(IDCANCEL)->m_hWnd); }, IDCANCEL},
      {"Escape", [](CNumberDlg& d) { input::Key(d.GetDlgItem(IDC_NUMBER)->m_hWnd, VK_ESCAPE); }, IDCANCEL},
      {"End", [](CNumberDlg& d) { d.End(42); }, 42},
  };
  for (bool modal : {true, false}) {
    for (const Case& c : cases) {
      CRecorderWnd parent;
      ASSERT_TRUE(parent.Create());
      CNumberDlg dlg(&parent);
      dlg.m_evDone.Set();  // left over from an earlier run: each start resets it
      if (modal) {
        PostTask([&] { c.act(dlg); });
        EXPECT_EQ(dlg.DoModal(), c.result) << c.name;
      } else {
        ASSERT_TRUE(dlg.DoModeless(nullptr));
        EXPECT_FALSE(dlg.m_evDone.IsSet());
        EXPECT_EQ(::GetParent(dlg.m_hWnd), parent.m_hWnd);
        c.act(dlg);
        EXPECT_EQ(dlg.m_hWnd, nullptr) << c.name;  // destroyed
      }
      EXPECT_EQ(dlg.m_nResult, c.result) << c.name;
      EXPECT_EQ(dlg.m_evDone.Wait(0), WAIT_OBJECT_0) << c.name;
      EXPECT_EQ(dlg.m_evDone.Wait(0), WAIT_TIMEOUT) << "auto-reset";
      qav::ui::PumpPending();
      ASSERT_EQ(parent.got.size(), 1u) << c.name << (modal ? " modal" : " modeless");
      EXPECT_EQ(parent.got[0].msg, WM_DIALOG_ENDED);
      EXPECT_EQ(static_cast<int>(parent.got[0].wParam), c.result);
      EXPECT_EQ(parent.got[0].lParam, reinterpret_cast<LPARAM>(&dlg));
      parent.DestroyWindow();
    }
  }
}

TEST_F(MFCExDialogTest, FailedExchangeKeepsTheDialogOpen) {
  CRecorderWnd parent;
  ASSERT_TRUE(parent.Create());
  CNumberDlg dlg(&parent);
  bool openAfterBadOK = false, eventAfterBadOK = true;
  PostTask([&] {
    input::Type(dlg.GetDlgItem(IDC_NUMBER)->m_hWnd, "12");  // out of range
    input::Click(dlg.GetDlgItem(IDOK)->m_hWnd);
    openAfterBadOK = ::IsWindow(dlg.m_hWnd) != FALSE;
    eventAfterBadOK = dlg.m_evDone.IsSet();
    input::Type(dlg.GetDlgItem(IDC_NUMBER)->m_hWnd, "7");
    input::Click(dlg.GetDlgItem(IDOK)->m_hWnd);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(openAfterBadOK);
  EXPECT_FALSE(eventAfterBadOK);
  EXPECT_EQ(dlg.m_number, 7);
  ASSERT_EQ(boxes.size(), 1u);  // the range message
  parent.DestroyWindow();
}

TEST_F(MFCExDialogTest, ParentGoneStillSignalsButPostsNothing) {
  auto* parent = new CRecorderWnd;
  ASSERT_TRUE(parent->Create());
  CNumberDlg dlg(parent);
  ASSERT_TRUE(dlg.DoModeless(CWnd::GetDesktopWindow()));  // top level, no owner
  EXPECT_EQ(::GetParent(dlg.m_hWnd), nullptr);
  parent->DestroyWindow();
  delete parent;
  dlg.m_pParentWnd = nullptr;
  dlg.End(3);
  EXPECT_EQ(dlg.m_evDone.Wait(0), WAIT_OBJECT_0);
  EXPECT_TRUE(qav::ui::PumpPending());
}

TEST_F(MFCExDialogTest, ExcludedChildKeepsItsColours) {
  CNumberDlg dlg;
  ASSERT_TRUE(dlg.DoModeless(nullptr));
  dlg.m_crText = RGB(200, 0, 0);
  dlg.SetBkColor(RGB(255, 255, 255));
  CWnd* a = dlg.GetDlgItem(IDC_LABEL_A);
  CWnd* b = dlg.GetDlgItem(IDC_LABEL_B);
  dlg.ExcludeFromColoring(b);
  CDC dcA, dcB;
  auto brushA = reinterpret_cast<HBRUSH>(dlg.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dcA.GetSafeHdc()),
                                                         reinterpret_cast<LPARAM>(a->GetSafeHwnd())));
  auto brushB = reinterpret_cast<HBRUSH>(dlg.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dcB.GetSafeHdc()),
                                                         reinterpret_cast<LPARAM>(b->GetSafeHwnd())));
  EXPECT_EQ(dcA.GetTextColor(), RGB(200, 0, 0));
  EXPECT_EQ(dcA.GetBkMode(), TRANSPARENT);
  ASSERT_NE(brushA, nullptr);
  EXPECT_EQ(brushA->color, RGB(255, 255, 255));
  EXPECT_FALSE(dcB.TextColorSet());
  ASSERT_NE(brushB, nullptr);
  EXPECT_EQ(brushB->color, GetSysColor(COLOR_3DFACE));
  dlg.DestroyWindow();
}

TEST_F(MFCExDialogTest, WorkerMessageBoxIsAnsweredThroughTheDialog) {
  CNumberDlg dlg;
  ASSERT_TRUE(dlg.DoModeless(nullptr));
  answer = IDRETRY;
  struct Case {
    const char* text;
    const char* message;
    const char* caption;
  } cases[] = {{"Insert the archive disc.\nArchive\nDisc", "Insert the archive disc.", "Archive\nDisc"},
               {"No caption here", "No caption here", "Error"}};
  for (const Case& c : cases) {
    boxes.clear();
    std::atomic<bool> done{false};
    LRESULT result = 0;
    std::thread worker([&] {
      result = ::SendMessage(dlg.m_hWnd, WM_SHOW_MESSAGE_BOX, reinterpret_cast<WPARAM>(c.text), MB_RETRYCANCEL | MB_ICONEXCLAMATION);
      done = true;
    });
    EXPECT_TRUE(qav::ui::WaitServingSends([&] { return done.load(); }, 10000));
    worker.join();
    EXPECT_EQ(result, IDRETRY);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, dlg.m_hWnd);
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].caption, c.caption);
    EXPECT_EQ(boxes[0].type, MB_RETRYCANCEL | MB_ICONEXCLAMATION);
  }
  dlg.DestroyWindow();
}

TEST_F(MFCExDialogTest, WaitCursorOnAndOff) {
  CNumberDlg dlg;
  ASSERT_TRUE(dlg.DoModeless(nullptr));
  HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  ::SetCursor(arrow);
  EXPECT_EQ(dlg.SendMessage(WM_SET_WAIT_CURSOR, 1), 1);
  EXPECT_EQ(::GetCursor(), wait);
  ::SetCursor(arrow);  // something else changed it meanwhile
  dlg.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(dlg.GetSafeHwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor(), wait);
  EXPECT_EQ(dlg.SendMessage(WM_SET_WAIT_CURSOR, 0), 1);
  EXPECT_EQ(::GetCursor(), arrow);
  EXPECT_FALSE(dlg.m_bBusy);
  dlg.DestroyWindow();
}

}  // namespace
