// Real X input under Xvfb, for what only a real server shows: a modal dialog closed by a real
// Enter key, the main frame maximised and then resized by the X server, a menu driven from the
// keyboard. xdotool types and clicks; every wait has a time-out, so nothing hangs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/time.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd_state.h"
#include "x_patience.h"
#include "x_stacking.h"

// The X11 plugin's keyboard library is checked with its own suppressions (scripts/asan.supp);
// ASAN_OPTIONS from the environment still apply on top.
extern "C" const char* __asan_default_options() { return "suppressions=" QAV_ASAN_SUPP; }

namespace {

// Runs a shell command with a time-out; its standard output.
std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = ::popen(("timeout 10 " + cmd + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  ::pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// True once `probe` says so, asking every 100 ms for up to `ms` on a quiet machine, longer on a
// busy one.
bool WaitFor(const std::function<bool()>& probe, int ms) {
  return xtest::Patiently(std::chrono::milliseconds(ms), std::chrono::milliseconds(100), probe);
}

// The X window of a shown window of ours, as xdotool sees it (waits up to 10 s for it to be
// mapped). A search that meets a window being destroyed ends with an X error and finds nothing,
// so an empty answer is asked again rather than taken.
std::string XWindow(const char* title) {
  std::string w;
  WaitFor([&] { return !(w = Shell(std::string("xdotool search --onlyvisible --name '^") + title + "$'")).empty(); }, 10000);
  return w;
}

// Keys typed into the X window that has the input focus, from another thread after the window
// appeared; the user-interface thread meanwhile runs its loop.
std::thread TypeInto(const char* title, std::vector<std::string> keys) {
  return std::thread([title, keys] {
    std::string w = XWindow(title);
    if (w.empty()) return;
    w = w.substr(0, w.find('\n'));
    Shell("xdotool windowfocus --sync " + w);
    Sleep(100);
    for (const std::string& k : keys) {
      Shell("xdotool key --clearmodifiers " + k);
      Sleep(80);
    }
  });
}

// Handles the user-interface thread's messages and input until `done` or the time-out (longer on
// a busy machine).
bool PumpUntil(const std::function<bool()>& done, int ms) {
  return xtest::Patiently(std::chrono::milliseconds(ms), std::chrono::milliseconds(10), done, [](std::chrono::milliseconds) {
    qav::ui::PumpPending();
    Sleep(10);
  });
}

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(qav::ui::DisplayAvailable()) << "runs under scripts/xvfb.sh";
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ASSERT_TRUE(qav::ui::SelectBackend("qt"));
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    PumpUntil([] { return false; }, 50);
  }
};

enum : int { IDC_NAME = 9801 };
const DialogTemplate kAsk{9800, "Ask Me", 160, 60,
                          {{Ctl::Static, IDC_STATIC, "&Name:", 0, 7, 9, 40, 8},
                           {Ctl::Edit, IDC_NAME, "", 0, 50, 7, 100, 14},
                           {Ctl::DefPushButton, IDOK, "OK", 0, 49, 39, 50, 14},
                           {Ctl::PushButton, IDCANCEL, "Cancel", 0, 103, 39, 50, 14}}};

TEST_F(X11Test, ModalDialogClosesOnARealEnterWithTheTypedText) {
  RegisterDialogTemplate(&kAsk);
  struct Ask : CDialog {
    Ask() : CDialog(9800) {}
    std::string name;
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_NAME, name); }
  } dlg;
  std::thread typist = TypeInto("Ask Me", {"D", "e", "p", "o", "t", "Return"});
  // A safety net: the dialog ends after ten seconds whatever happens.
  qav::ui::PostTask([&] { ::SetTimer(dlg.m_hWnd, 1, 10000); });
  INT_PTR r = dlg.DoModal();
  typist.join();
  EXPECT_EQ(r, IDOK);
  EXPECT_EQ(dlg.name, "Depot");
}

// Without a window manager, showing a window that is already up (a view's status window, shown
// again for each new message) still gives it the input focus.
TEST_F(X11Test, ShowingAVisibleWindowAgainFocusesIt) {
  RegisterDialogTemplate(&kAsk);
  CDialog status(9800), other(9800);
  ASSERT_TRUE(status.Create(9800));
  ASSERT_TRUE(other.Create(9800));
  status.SetWindowText("Status Window");
  other.SetWindowText("Other Window");
  status.ShowWindow(SW_SHOW);
  other.ShowWindow(SW_SHOW);
  PumpUntil([] { return false; }, 200);
  auto first = [](std::string w) { return w.substr(0, w.find('\n')); };
  const std::string sw = first(XWindow("Status Window")), ow = first(XWindow("Other Window"));
  ASSERT_FALSE(sw.empty());
  ASSERT_FALSE(ow.empty());
  auto focused = [] { return Shell("xdotool getwindowfocus -f"); };
  Shell("xdotool windowfocus --sync " + ow);
  ASSERT_TRUE(PumpUntil([&] { return focused() == ow; }, 3000));
  status.ShowWindow(SW_SHOWNORMAL);
  EXPECT_TRUE(PumpUntil([&] { return focused() == sw; }, 3000)) << "focus stays on " << focused();
  status.DestroyWindow();
  other.DestroyWindow();
}

constexpr UINT ID_READ = 32836;
const FrameResource kRes{9810, "QAV Frame", {{"&File", 0, {{"&Read Config File", ID_READ, {}}, {"E&xit", 57665, {}}}}}};
const DialogTemplate kForm{9810, nullptr, 300, 200, {{Ctl::Edit, IDC_NAME, "", 0, 7, 7, 130, 24}}};

struct Frame : CFrameWnd {
  std::vector<UINT> commands;
  std::vector<int> widths;
  BOOL PreCreateWindow(CREATESTRUCT& cs) override {
    cs.style &= ~FWS_ADDTOTITLE;
    return TRUE;
  }
  BOOL OnCmdMsg(UINT id, int code, UINT kind, WPARAM w, LPARAM l, LRESULT* r) override {
    if (kind == WM_COMMAND && id == ID_READ) {
      commands.push_back(id);
      return TRUE;
    }
    return CFrameWnd::OnCmdMsg(id, code, kind, w, l, r);
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_SIZE) widths.push_back(LOWORD(l));
    if (msg == WM_GETMINMAXINFO) {
      reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = POINT{400, 300};
      return 0;
    }
    return CFrameWnd::WindowProc(msg, w, l);
  }
  void PostNcDestroy() override {}  // the test owns it
};

class FrameTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    RegisterFrameResource(&kRes);
    RegisterDialogTemplate(&kForm);
    ASSERT_TRUE(frame.LoadFrame(9810));
    view = new CFormView(9810);
    ASSERT_TRUE(view->Create(&frame, AFX_IDW_PANE_FIRST));
    frame.SetActiveView(view);
    frame.InitialUpdateFrame(nullptr, FALSE);
  }
  void TearDown() override {
    frame.DestroyWindow();
    X11Test::TearDown();
  }
  QSize EditSize() {
    auto* w = static_cast<QWidget*>(qav::ui::NativeWidget(::GetDlgItem(view->m_hWnd, IDC_NAME)));
    return w != nullptr ? w->size() : QSize();
  }
  Frame frame;
  CFormView* view = nullptr;
};

TEST_F(FrameTest, MaximisedRestoredAndResizedByTheServerTheControlsKeepTheirSize) {
  frame.MoveWindow(20, 20, 640, 480);
  frame.ShowWindow(SW_SHOWMAXIMIZED);
  ASSERT_FALSE(XWindow("QAV Frame").empty());
  // Maximised by the window manager where one runs (a moment after it is shown), else by itself.
  PumpUntil([&] { return !frame.widths.empty() && frame.widths.back() >= 1000; }, 5000);
  const QSize edit = EditSize();
  ASSERT_TRUE(edit.isValid());
  RECT r;
  frame.GetWindowRect(&r);
  EXPECT_GE(r.right - r.left, 1000);  // the screen is 1280 wide
  EXPECT_TRUE(frame.IsZoomed());

  frame.ShowWindow(SW_RESTORE);
  EXPECT_TRUE(PumpUntil([&] { return !frame.widths.empty() && frame.widths.back() == 640; }, 5000));
  EXPECT_FALSE(frame.IsZoomed());
  EXPECT_EQ(EditSize(), edit);

  // The X server resizes the window (as a user's drag does): the state and WM_SIZE follow.
  std::string w = XWindow("QAV Frame");
  frame.widths.clear();
  Shell("xdotool windowsize " + w.substr(0, w.find('\n')) + " 420 300");
  EXPECT_TRUE(PumpUntil([&] { return !frame.widths.empty() && frame.widths.back() == 420; }, 5000));
  frame.GetWindowRect(&r);
  EXPECT_EQ(r.right - r.left, 420);
  EXPECT_EQ(EditSize(), edit);

  // Made smaller than the least size the window asks for, it takes that size again (the window
  // manager's doing where there is one).
  Shell("xdotool windowsize " + w.substr(0, w.find('\n')) + " 200 150");
  EXPECT_TRUE(PumpUntil([&] { frame.GetWindowRect(&r); return r.right - r.left == 400 && r.bottom - r.top == 300; }, 5000))
      << r.right - r.left << "x" << r.bottom - r.top;
}

TEST_F(FrameTest, MenuDrivenFromTheKeyboard) {
  frame.ShowWindow(SW_SHOW);
  std::thread typist = TypeInto("QAV Frame", {"alt+f", "Down", "Up", "Return"});
  bool chosen = PumpUntil([&] { return !frame.commands.empty(); }, 8000);
  typist.join();
  EXPECT_TRUE(chosen);
  EXPECT_EQ(frame.commands, std::vector<UINT>{ID_READ});
}

}  // namespace

namespace {

// The window that has the X keyboard focus, as xdotool finds it.
std::string Focused() { return Shell("xdotool getwindowfocus"); }

// Where the user works has the keyboard, on a bare server (where nobody else moves it) and under
// a window manager. Keys go to whatever has the focus; the test focuses nothing itself. A window
// without an owner that holds the frame disabled while it shows (a run's wait dialog) takes the
// keyboard, and when it goes the frame has it back, whether the frame is enabled before the
// window goes or after. A message box shown while another is up takes it; when it goes the first
// box has it, and after that one the frame.
TEST_F(FrameTest, TheKeyboardFollowsTheWindowsThatComeAndGo) {
  CWinApp app("QAV");
  app.m_pMainWnd = &frame;
  frame.ShowWindow(SW_SHOWMAXIMIZED);
  std::string main = XWindow("QAV Frame");
  main = main.substr(0, main.find('\n'));
  ASSERT_FALSE(main.empty());
  auto focused = [](const std::string& w) { return [w] { return Focused() == w; }; };
  auto pumpUntil = [](const std::function<bool()>& probe) { return PumpUntil(probe, 5000); };
  for (const bool enableFirst : {true, false}) {
    SCOPED_TRACE(enableFirst ? "frame enabled, then the window destroyed" : "window destroyed, then the frame enabled");
    RegisterDialogTemplate(&kAsk);
    CDialog wait(9800);
    ::EnableWindow(frame.m_hWnd, FALSE);
    ASSERT_TRUE(wait.Create(9800));
    wait.SetWindowText("Waiting");
    wait.ShowWindow(SW_SHOW);
    std::string w = XWindow("Waiting");
    w = w.substr(0, w.find('\n'));
    EXPECT_TRUE(pumpUntil(focused(w))) << "the window has no keyboard; " << Focused() << " has";
    if (enableFirst) ::EnableWindow(frame.m_hWnd, TRUE);
    wait.DestroyWindow();
    if (!enableFirst) {
      PumpUntil([] { return false; }, 300);
      ::EnableWindow(frame.m_hWnd, TRUE);
    }
    EXPECT_TRUE(pumpUntil(focused(main))) << "after the window, " << Focused() << " has the keyboard";
  }

  std::vector<std::string> lost;
  std::atomic<bool> frameFocused{false};
  std::thread user([&] {
    for (const char* title : {"Second Box", "First Box"}) {
      std::string box = XWindow(title);
      box = box.substr(0, box.find('\n'));
      if (box.empty()) {
        lost.push_back(std::string(title) + " did not show");
        continue;
      }
      if (!WaitFor(focused(box), 3000)) {
        lost.push_back(std::string(title) + " has no keyboard; " + Focused() + " has");
        Shell("xdotool windowfocus --sync " + box);
      }
      Shell("xdotool key Return");
    }
    frameFocused = WaitFor(focused(main), 3000);
    // Whatever box is left is closed, so that the test ends.
    for (int i = 0; i < 5; ++i) Shell("xdotool search --onlyvisible --name ' Box$' windowfocus --sync key Return");
  });
  qav::ui::PostTask([&] { ::MessageBox(frame.m_hWnd, "two", "Second Box", MB_OK); });  // from the first box's loop
  ::MessageBox(frame.m_hWnd, "one", "First Box", MB_OK);
  PumpUntil([&] { return frameFocused.load(); }, 3500);
  user.join();
  for (const std::string& l : lost) ADD_FAILURE() << l;
  EXPECT_TRUE(frameFocused) << "after the boxes, " << Focused() << " has the keyboard";
  app.m_pMainWnd = nullptr;
}

}  // namespace

namespace {

// A window owned by the frame (the New view's status window), shown before the frame is: it lies
// above the frame from the start and after a click on the frame, under a window manager too.
// Minimised by the program it goes alone; shown again without activation it comes back above the
// frame, and the keyboard stays in the frame.
TEST_F(FrameTest, AnOwnedWindowStaysAboveItsOwnerAndComesBackWithoutTheKeyboard) {
  RegisterDialogTemplate(&kAsk);
  CDialog owned(9800);
  ASSERT_TRUE(owned.Create(9800, view));
  owned.SetWindowText("Owned Window");
  owned.ShowWindow(SW_SHOWNORMAL);
  frame.ShowWindow(SW_SHOWMAXIMIZED);
  auto first = [](std::string w) { return w.substr(0, w.find('\n')); };
  const std::string main = first(XWindow("QAV Frame")), tool = first(XWindow("Owned Window"));
  ASSERT_FALSE(main.empty());
  ASSERT_FALSE(tool.empty());
  auto above = [&] { return xtest::StackPlace(tool) > xtest::StackPlace(main) && xtest::StackPlace(main) >= 0; };
  EXPECT_TRUE(PumpUntil(above, 3000)) << "the owned window starts under its owner";
  Shell("xdotool mousemove --window " + main + " 600 600 click 1");
  PumpUntil([] { return false; }, 500);
  EXPECT_TRUE(above()) << "a click on the owner hid the owned window";

  owned.ShowWindow(SW_MINIMIZE);
  PumpUntil([] { return false; }, 500);
  EXPECT_FALSE(Shell("xdotool search --onlyvisible --name '^QAV Frame$'").empty()) << "the owner went with it";
  Shell("xdotool windowfocus --sync " + main);
  ASSERT_TRUE(PumpUntil([&] { return Focused() == main; }, 3000));
  owned.ShowWindow(SW_SHOWNOACTIVATE);
  EXPECT_TRUE(PumpUntil([&] { return !Shell("xdotool search --onlyvisible --name '^Owned Window$'").empty(); }, 3000));
  PumpUntil([] { return false; }, 1000);
  EXPECT_TRUE(above()) << "the owned window came back under its owner";
  EXPECT_EQ(Focused(), main) << "the owned window took the keyboard";
  owned.DestroyWindow();
}

}  // namespace

namespace {

// Under a window manager the frame and a window of its own with both boxes (a viewer) offer
// minimise and maximise; the viewer minimised by the user goes alone. (The dialogs' type, owner and
// return after a minimise: the program's ManagedWindows test.)
TEST_F(FrameTest, UnderAWindowManagerTheFrameAndAViewerOfferMinimiseAndMaximise) {
  if (!xtest::UnderWindowManager()) GTEST_SKIP() << "runs under a window manager (scripts/wm.sh)";
  static const DialogTemplate kViewer{9820, "Viewer Window", 160, 60, {{Ctl::DefPushButton, IDOK, "OK", 0, 49, 39, 50, 14}},
                                      "MS Shell Dlg", 8, WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX};
  RegisterDialogTemplate(&kViewer);
  frame.ShowWindow(SW_SHOWMAXIMIZED);
  CDialog viewer(9820);
  ASSERT_TRUE(viewer.Create(9820));
  viewer.ShowWindow(SW_SHOWNORMAL);
  auto first = [](std::string w) { return w.substr(0, w.find('\n')); };
  auto property = [](const std::string& w, const char* name) { return Shell("xprop -id " + w + " " + name); };
  for (const char* title : {"QAV Frame", "Viewer Window"}) {
    // What the window manager allows, once it manages the window (it offers Close to every one).
    const std::string w = first(XWindow(title));
    std::string a;
    WaitFor([&] { return (a = property(w, "_NET_WM_ALLOWED_ACTIONS")).find("CLOSE") != std::string::npos; }, 5000);
    EXPECT_NE(a.find("MINIMIZE"), std::string::npos) << title << ": " << a;
    EXPECT_NE(a.find("MAXIMIZE"), std::string::npos) << title << ": " << a;
  }
  const std::string main = first(XWindow("QAV Frame"));
  // The viewer minimised by the user goes alone.
  Shell("xdotool windowminimize " + first(XWindow("Viewer Window")));
  Sleep(500);
  EXPECT_NE(property(main, "WM_STATE").find("Normal"), std::string::npos) << "the viewer took the frame with it";
  viewer.DestroyWindow();
}

}  // namespace
