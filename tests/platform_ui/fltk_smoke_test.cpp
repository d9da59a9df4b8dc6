// Real windows under a display (Xvfb in the test script): a dialog with every control shown by
// FLTK, a button click and a list selection made through FLTK's own event handling.
#include "ui_fixture.h"  // before FLTK: X11's macros would break GoogleTest's names

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <chrono>
#include <cstdlib>

#define QAV_DEMO_IMPL
#include "demo_dialog.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"
#include "platform/ui/wnd_state.h"

namespace {

// Delivers a left click at window coordinates through FLTK's event dispatch.
void ClickAt(Fl_Window* win, int x, int y) {
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_x_root = win->x() + x;
  Fl::e_y_root = win->y() + y;
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  Fl::e_clicks = 0;
  Fl::e_is_click = 1;
  Fl::e_state = FL_BUTTON1;
  Fl::handle(FL_PUSH, win);
  Fl::e_state = 0;
  Fl::handle(FL_RELEASE, win);
}

class FltkSmokeTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    if (!qav::ui::DisplayAvailable() || !qav::ui::SelectBackend("fltk")) GTEST_SKIP() << "no display";
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    for (int i = 0; i < 5; ++i) Fl::wait(0.01);
    qav::ui::SelectBackend("headless");
    UiTest::TearDown();
  }
};

TEST_F(FltkSmokeTest, EveryControlShowsAndRealClicksArriveAsNotices) {
  RegisterDialogTemplate(&demo::kDemo);
  demo::DemoDlg dlg;
  ASSERT_TRUE(dlg.Create(9300));
  dlg.ShowWindow(SW_SHOW);
  auto* win = static_cast<Fl_Window*>(dlg.State()->native);
  ASSERT_NE(win, nullptr);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!win->visible() && std::chrono::steady_clock::now() < until) Fl::wait(0.05);
  ASSERT_TRUE(win->visible());
  for (int i = 0; i < 5; ++i) Fl::wait(0.02);
  qav::ui::PumpPending();

  // Every control of the template got a widget.
  for (const ControlTemplate& c : demo::kDemo.controls) {
    if (c.id == IDC_STATIC) continue;
    qav::ui::WndState* s = qav::ui::Find(::GetDlgItem(dlg.m_hWnd, c.id));
    ASSERT_NE(s, nullptr) << c.id;
    EXPECT_NE(s->native, nullptr) << c.id;
  }

  auto* push = static_cast<Fl_Widget*>(qav::ui::Find(::GetDlgItem(dlg.m_hWnd, demo::IDC_PUSH))->native);
  ClickAt(win, push->x() + push->w() / 2, push->y() + push->h() / 2);

  auto* list = static_cast<Fl_Browser*>(qav::ui::Find(::GetDlgItem(dlg.m_hWnd, demo::IDC_LIST))->native);
  fl_font(list->textfont(), list->textsize());
  int line = fl_height() + 2;
  ClickAt(win, list->x() + 20, list->y() + Fl::box_dy(list->box()) + line + line / 2);
  qav::ui::PumpPending();

  EXPECT_EQ(dlg.notices, (std::vector<std::string>{"push", "sel 1"}));
  EXPECT_EQ(dlg.m_list.GetCurSel(), 1);
  EXPECT_EQ(list->value(), 2);  // FLTK counts lines from 1

  if (const char* dir = std::getenv("QAV_SCREENSHOT_DIR")) {
    EXPECT_TRUE(qav::ui::SaveWindowPng(dlg.m_hWnd, std::string(dir) + "/every_control.png"));
  }
  dlg.DestroyWindow();
}

constexpr UINT ID_READ_CONFIG = 32836;
const FrameResource kFrame{9310, "QAV", {{"&File", 0, {{"&Read Config File", ID_READ_CONFIG, {}}, {nullptr, 0, {}}, {"E&xit", ID_APP_EXIT, {}}}}}};

class DemoView : public CFormView {
 public:
  DemoView() : CFormView(9300) {}
  int reads = 0;
  void OnReadConfig() { ++reads; }
  void PostNcDestroy() override {}  // owned by the test
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(DemoView, CFormView)
  ON_COMMAND(ID_READ_CONFIG, &DemoView::OnReadConfig)
END_MESSAGE_MAP()

class DemoFrame : public CFrameWnd {
 public:
  void PostNcDestroy() override {}  // owned by the test
};

TEST_F(FltkSmokeTest, FrameWithMenuBarHostsAFormViewAndRoutesMenuPicks) {
  RegisterDialogTemplate(&demo::kDemo);
  RegisterFrameResource(&kFrame);
  DemoFrame frame;
  ASSERT_TRUE(frame.LoadFrame(9310, WS_OVERLAPPEDWINDOW));
  DemoView view;
  ASSERT_TRUE(view.Create(&frame, AFX_IDW_PANE_FIRST));
  frame.SetActiveView(&view);
  frame.InitialUpdateFrame(nullptr, FALSE);
  frame.ShowWindow(SW_SHOWMAXIMIZED);
  auto* win = static_cast<Fl_Window*>(frame.State()->native);
  ASSERT_NE(win, nullptr);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!win->visible() && std::chrono::steady_clock::now() < until) Fl::wait(0.05);
  for (int i = 0; i < 5; ++i) Fl::wait(0.02);
  RECT client{};
  frame.GetClientRect(&client);
  RECT vr{};
  view.GetClientRect(&vr);
  EXPECT_EQ(vr.right, client.right);  // the view fills the frame's client area
  EXPECT_EQ(vr.bottom, client.bottom);
  Fl_Menu_Bar* bar = nullptr;
  for (int i = 0; i < win->children(); ++i)
    if (auto* m = dynamic_cast<Fl_Menu_Bar*>(win->child(i))) bar = m;
  ASSERT_NE(bar, nullptr);
  const Fl_Menu_Item* item = bar->find_item("&File/&Read Config File");
  ASSERT_NE(item, nullptr);
  bar->picked(item);
  EXPECT_EQ(view.reads, 1);
  if (const char* dir = std::getenv("QAV_SCREENSHOT_DIR")) {
    EXPECT_TRUE(qav::ui::SaveWindowPng(frame.m_hWnd, std::string(dir) + "/frame.png"));
  }
  frame.DestroyWindow();
  qav::ui::ResetQuit();
}

}  // namespace
