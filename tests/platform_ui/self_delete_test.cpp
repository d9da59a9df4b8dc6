// Window objects that delete themselves when their window is gone (modeless dialogs, frames,
// views), with the window destroyed from inside one of the object's own handlers, which goes on
// using the object afterwards. The object must live until that handler has returned.
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd_state.h"
#include "ui_fixture.h"

namespace {

namespace input = qav::ui::input;

constexpr UINT WM_BYE = WM_APP + 7;
constexpr UINT ID_BYE = 0x8107;
enum : int { IDC_TEXT = 1001 };

const DialogTemplate kBox{9400, "Box", 120, 60,
                          {
                              {Ctl::Edit, IDC_TEXT, "", 0, 7, 7, 60, 14},
                              {Ctl::DefPushButton, IDOK, "OK", 0, 7, 40, 50, 14},
                              {Ctl::PushButton, IDCANCEL, "Cancel", 0, 63, 40, 50, 14},
                          }};

// What the objects saw after their window went, and how often they were deleted.
struct Seen {
  int finished = 0;
  int deleted = 0;
  HWND handleAfterDestroy = reinterpret_cast<HWND>(1);
};
Seen g_seen;

enum class Trigger { CancelButton, CloseBox, Escape, Timer, PostedMessage, InitDialog };

class SelfDeletingBox : public CDialog {
 public:
  explicit SelfDeletingBox(Trigger t) : CDialog(9400), m_trigger(t) {}
  ~SelfDeletingBox() override { ++g_seen.deleted; }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (m_trigger == Trigger::InitDialog) Finish();
    else if (m_trigger == Trigger::Timer) SetTimer(1, 0);
    return TRUE;
  }
  void OnCancel() override { Finish(); }
  void OnTimer(UINT_PTR) { Finish(); }
  LRESULT OnBye(WPARAM, LPARAM) {
    Finish();
    return 0;
  }
  void PostNcDestroy() override { delete this; }

  // Destroys the window, then keeps writing into the object.
  void Finish() {
    DestroyWindow();
    m_handleAfter = m_hWnd;
    g_seen.handleAfterDestroy = m_handleAfter;
    ++m_finished;
    g_seen.finished = m_finished;
  }

  Trigger m_trigger;
  HWND m_handleAfter = nullptr;
  int m_finished = 0;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SelfDeletingBox, CDialog)
  ON_WM_TIMER()
  ON_MESSAGE(WM_BYE, &SelfDeletingBox::OnBye)
END_MESSAGE_MAP()

class SelfDeleteTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    RegisterDialogTemplate(&kBox);
    g_seen = Seen{};
  }
};

TEST_F(SelfDeleteTest, ModelessDialogOutlivesTheHandlerThatDestroyedItsWindow) {
  struct Case {
    const char* name;
    Trigger trigger;
  } cases[] = {
      {"cancel button", Trigger::CancelButton}, {"close box", Trigger::CloseBox},
      {"escape key", Trigger::Escape},          {"timer", Trigger::Timer},
      {"posted message", Trigger::PostedMessage}, {"OnInitDialog", Trigger::InitDialog},
  };
  for (const Case& c : cases) {
    g_seen = Seen{};
    auto* box = new SelfDeletingBox(c.trigger);
    const BOOL created = box->Create(9400);
    if (c.trigger == Trigger::InitDialog) {
      EXPECT_FALSE(created) << c.name;  // the window went during its creation
    } else {
      ASSERT_TRUE(created) << c.name;
      HWND hwnd = box->m_hWnd;
      switch (c.trigger) {
        case Trigger::CancelButton: input::Click(::GetDlgItem(hwnd, IDCANCEL)); break;
        case Trigger::CloseBox: input::Close(hwnd); break;
        case Trigger::Escape: input::Key(::GetDlgItem(hwnd, IDC_TEXT), VK_ESCAPE); break;
        case Trigger::Timer: break;
        case Trigger::PostedMessage: ::PostMessage(hwnd, WM_BYE); break;
        case Trigger::InitDialog: break;
      }
      for (int i = 0; i < 100 && g_seen.deleted == 0; ++i) qav::ui::PumpPending();
    }
    EXPECT_EQ(g_seen.finished, 1) << c.name;
    EXPECT_EQ(g_seen.handleAfterDestroy, nullptr) << c.name;
    EXPECT_EQ(g_seen.deleted, 1) << c.name;  // once, after the handler
    EXPECT_EQ(qav::ui::WindowCount(), 0) << c.name;
  }
}

// A frame whose own command closes it, and a view whose command closes its frame; both keep
// using themselves after the window is gone.
class ClosingView : public CView {
 public:
  ~ClosingView() override { ++g_seen.deleted; }
  void OnBye() {
    GetParent()->DestroyWindow();  // takes this view along
    m_handleAfter = m_hWnd;
    g_seen.handleAfterDestroy = m_handleAfter;
    g_seen.finished = ++m_finished;
  }
  HWND m_handleAfter = nullptr;
  int m_finished = 0;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClosingView, CView)
  ON_COMMAND(ID_BYE, &ClosingView::OnBye)
END_MESSAGE_MAP()

class ClosingFrame : public CFrameWnd {
 public:
  ~ClosingFrame() override { ++g_seen.deleted; }
  void OnBye() {
    DestroyWindow();
    m_handleAfter = m_hWnd;
    g_seen.handleAfterDestroy = m_handleAfter;
    g_seen.finished = ++m_finished;
  }
  HWND m_handleAfter = nullptr;
  int m_finished = 0;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClosingFrame, CFrameWnd)
  ON_COMMAND(ID_BYE, &ClosingFrame::OnBye)
END_MESSAGE_MAP()

TEST_F(SelfDeleteTest, FrameAndViewOutliveTheCommandThatClosedThem) {
  for (bool byView : {false, true}) {
    g_seen = Seen{};
    auto* frame = new ClosingFrame;
    ASSERT_TRUE(frame->LoadFrame(0));
    if (byView) {
      auto* view = new ClosingView;
      ASSERT_TRUE(view->CreateEx(0, "View", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, frame, AFX_IDW_PANE_FIRST));
      frame->SetActiveView(view);
    }
    input::Menu(frame->m_hWnd, ID_BYE);  // the view gets the command first
    qav::ui::PumpPending();
    EXPECT_EQ(g_seen.finished, 1) << byView;
    EXPECT_EQ(g_seen.handleAfterDestroy, nullptr) << byView;
    EXPECT_EQ(g_seen.deleted, byView ? 2 : 1) << byView;  // frame (and view), once each
    EXPECT_EQ(qav::ui::WindowCount(), 0) << byView;
  }
}

}  // namespace
