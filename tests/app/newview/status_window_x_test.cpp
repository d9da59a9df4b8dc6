// The status window in the program's own process on an X server of its own (scripts/xvfb.sh),
// bare or under a window manager: where it is placed when nobody else places it, and what it is
// to the window manager.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/classic/main_classic.h"
#include "app/newview/main_new.h"
#include "app/newview/main_new_form.h"
#include "app/newview/status_msgs.h"
#include "app/shell/app_test_env.h"
#include "app/shell/own_display.h"
#include "app/shell/qav_app.h"
#include "platform/kernel/time.h"
#include "platform/ui/app.h"
#include "platform/ui/wnd_state.h"

// Qt's headers last: its keyword macros would rewrite names in the program's headers.
#include <QCoreApplication>
#include <QListView>
#include <QScreen>
#include <QWindow>
#include <QWidget>

namespace {

// The program's loop and Qt's until `done`, for up to `ms` (longer on a busy machine).
bool PumpUntil(const std::function<bool()>& done, int ms) {
  return xtest::Patiently(std::chrono::milliseconds(ms), std::chrono::milliseconds(20), done, [](std::chrono::milliseconds) {
    qav::ui::PumpPending();
    QCoreApplication::processEvents();
    Sleep(20);
  });
}

QWidget* Widget(HWND h) { return static_cast<QWidget*>(qav::ui::NativeWidget(h)); }

class StatusWindowOnX : public AppUiTest {
 protected:
  // The outer run: the inner one reads the X keyboard map with a library that the strict string
  // checks of the sanitizer report (scripts/asan.supp exempts it).
  static bool OnOwnDisplay(std::initializer_list<EDesktop> desktops) {
    if (std::getenv("QAV_XVFB_INNER") != nullptr) return true;
    const char* was = std::getenv("ASAN_OPTIONS");
    const std::string before = was != nullptr ? was : "";
    const std::string supp = (std::filesystem::path(QAV_XVFB_SCRIPT).parent_path() / "asan.supp").string();
    ::setenv("ASAN_OPTIONS", (before + (before.empty() ? "" : ":") + "suppressions=" + supp).c_str(), 1);
    RunOnOwnDisplay(desktops);
    ::setenv("ASAN_OPTIONS", before.c_str(), 1);
    return false;
  }
  void SetUp() override {
    AppUiTest::SetUp();
    if (std::getenv("QAV_XVFB_INNER") == nullptr) return;
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ASSERT_TRUE(qav::ui::SelectBackend("qt"));
    qav::ui::BindUiThread();
    qav::ui::SetMessageBoxHandler([](const qav::ui::MessageBoxRequest&) { return IDOK; });
  }
  // The program's main window with the view the profile names, as the program starts it.
  CFrameWnd* Start(int classic) {
    store_->WriteInt("GENERAL", "USE_CLASSIC", classic);
    app_ = std::make_unique<CQAVApp>();
    if (!app_->InitInstance()) return nullptr;
    auto* frame = dynamic_cast<CFrameWnd*>(app_->m_pMainWnd);
    app_->m_pMainWnd = nullptr;  // its end is the test's, not the end of a loop
    return frame;
  }
  void TearDown() override {
    app_.reset();
    AppUiTest::TearDown();
  }
  std::unique_ptr<CQAVApp> app_;
};

// On a bare display and under a window manager the New view's status window, and one made the
// same way over the Classic view's form, is placed where it covers no control of the form (its
// frame included), whole on the screen. (There the Classic form's multi-column lists show all
// their lines.)
TEST_F(StatusWindowOnX, ItCoversNoControlOfEitherFormOnABareDisplayAndUnderAWindowManager) {
  if (!OnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  for (int classic : {0, 1}) {
    SCOPED_TRACE(classic != 0 ? "Classic view" : "New view");
    CFrameWnd* frame = Start(classic);
    ASSERT_NE(frame, nullptr);
    CWnd* view = frame->GetActiveView();
    CListBox lines;
    CStatusMsgs made(&lines, view);
    CWnd* status = nullptr;
    if (auto* newView = dynamic_cast<CMainNew*>(view)) {
      status = &newView->m_wndStatusMsgs;
    } else {
      ASSERT_TRUE(made.Create(IDD_STATUS_MSGS, view));
      CRect r;
      made.GetWindowRect(&r);
      made.MoveWindow(std::max(0, 1005 - r.Width()), 40, r.Width(), r.Height());
      made.ShowWindow(SW_SHOWNORMAL);
      status = &made;
    }
    QWidget* window = Widget(status->m_hWnd);
    ASSERT_NE(window, nullptr);
    PumpUntil([] { return false; }, 1500);
    const QRect placed = window->frameGeometry();
    EXPECT_TRUE(window->screen()->geometry().contains(placed));
    int controls = 0;
    qav::ui::ForEachDescendant(qav::ui::Find(view->m_hWnd), [&](qav::ui::WndState* c) {
      QWidget* w = Widget(c->hwnd);
      if (w == nullptr || c->kind == qav::ui::Kind::Dialog || !w->isVisibleTo(w->window())) return;
      ++controls;
      EXPECT_FALSE(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).intersects(placed))
          << "control " << c->id << " under the status window at " << placed.x() << "," << placed.y();
    });
    EXPECT_GT(controls, 40);
    // The Classic form's month and day lists show all their lines, three to a column.
    for (int id : {IDC_MDS_MONTHS, IDC_MDS_MONTHLY_DAYS, IDC_MDS_YEARLY_DAYS}) {
      if (classic == 0) break;
      auto* list = static_cast<QListView*>(Widget(::GetDlgItem(view->m_hWnd, id)));
      ASSERT_NE(list, nullptr);
      const int count = list->model()->rowCount();
      EXPECT_EQ(static_cast<qav::ui::ListBoxState*>(qav::ui::Find(::GetDlgItem(view->m_hWnd, id)))->columnRows, 3) << id;
      for (int line = 0; line < count; ++line)
        EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(list->model()->index(line, 0)))) << id << " " << line;
    }
    // Under a window manager the user may put it anywhere, over the form too, and there it stays.
    if (std::getenv("QAV_WINDOW_MANAGER") != nullptr) {
      const std::string id = std::to_string(window->winId());
      Output("timeout 10 xdotool windowmove " + id + " 300 200");
      PumpUntil([&] { return window->frameGeometry().topLeft() != placed.topLeft(); }, 3000);
      const QPoint moved = window->frameGeometry().topLeft();
      PumpUntil([] { return false; }, 1000);
      EXPECT_NE(moved, placed.topLeft()) << "the window manager did not move it";
      EXPECT_EQ(window->frameGeometry().topLeft(), moved) << "it went back after the user moved it";
    }
    if (::IsWindow(made.m_hWnd)) made.DestroyWindow();
    frame->DestroyWindow();
    PumpUntil([] { return false; }, 100);
  }
}

// Under a window manager (openbox, metacity) the user may move and close the status window; closed,
// the program minimises it alone, and shows it again. (Its type, owner and frame: ManagedWindows.)
TEST_F(StatusWindowOnX, UnderAWindowManagerTheUserMovesAndClosesItAndItIsMinimisedAlone) {
  if (!OnOwnDisplay({EDesktop::Openbox, EDesktop::Metacity})) return;
  CFrameWnd* frame = Start(0);
  ASSERT_NE(frame, nullptr);
  auto* view = dynamic_cast<CMainNew*>(frame->GetActiveView());
  ASSERT_NE(view, nullptr);
  CStatusMsgs& status = view->m_wndStatusMsgs;
  const std::string id = std::to_string(Widget(status.m_hWnd)->winId());
  const std::string mainId = std::to_string(Widget(frame->m_hWnd)->winId());
  std::string actions;
  ASSERT_TRUE(PumpUntil([&] { return (actions = Property(id, "_NET_WM_ALLOWED_ACTIONS")).find("CLOSE") != std::string::npos; }, 10000))
      << actions;
  EXPECT_NE(actions.find("MOVE"), std::string::npos) << actions;
  // The user closes it once it shows: mapped, drawn and known to the window manager as shown.
  ASSERT_TRUE(PumpUntil([&] {
    const QWindow* w = Widget(status.m_hWnd)->windowHandle();
    return w != nullptr && w->isExposed() && Property(id, "WM_STATE").find("Normal") != std::string::npos;
  }, 10000)) << Property(id, "WM_STATE");

  status.SendMessage(WM_CLOSE);  // the user closes it: the program minimises it
  EXPECT_TRUE(PumpUntil([&] { return Property(id, "WM_STATE").find("Iconic") != std::string::npos; }, 5000))
      << Property(id, "WM_STATE");
  EXPECT_NE(Property(mainId, "WM_STATE").find("Normal"), std::string::npos) << "the main window went with it";
  status.ShowWindow(SW_SHOWNOACTIVATE);  // a run's failure shows it again
  EXPECT_TRUE(PumpUntil([&] { return Property(id, "WM_STATE").find("Normal") != std::string::npos; }, 5000))
      << Property(id, "WM_STATE");
  frame->DestroyWindow();
  PumpUntil([] { return false; }, 100);
}

}  // namespace
