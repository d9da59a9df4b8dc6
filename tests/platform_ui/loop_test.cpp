// Messages between threads, their order, timers and quit.
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "containers/mem_mgr.h"
#include "platform/kernel/address_space.h"
#include "platform/kernel/events.h"
#include "platform/ui/app.h"
#include "platform/ui/wnd_state.h"
#include "qt_fixture.h"
#include "ui_fixture.h"

namespace {

constexpr UINT WM_RECORD = WM_USER + 10;
constexpr UINT WM_ASK = WM_USER + 11;

class Recorder : public CWnd {
 public:
  std::vector<int> seen;
  std::vector<UINT_PTR> timers;
  int destroyed = 0;
  BOOL Create() { return CreateEx(0, "Recorder", "r", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0); }
  LRESULT OnRecord(WPARAM w, LPARAM) {
    seen.push_back(static_cast<int>(w));
    return 0;
  }
  LRESULT OnAsk(WPARAM w, LPARAM) { return static_cast<LRESULT>(w * 2); }
  void OnTimer(UINT_PTR id) { timers.push_back(id); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Recorder, CWnd)
  ON_MESSAGE(WM_RECORD, &Recorder::OnRecord)
  ON_MESSAGE(WM_ASK, &Recorder::OnAsk)
  ON_WM_TIMER()
END_MESSAGE_MAP()

using LoopTest = UiTest;

TEST_F(LoopTest, PostedMessagesKeepTheirOrderAcrossThreads) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  HWND h = r.m_hWnd;
  std::thread worker([h] {
    for (int i = 0; i < 100; ++i) PostMessage(h, WM_RECORD, static_cast<WPARAM>(i));
  });
  worker.join();
  r.PostMessage(WM_RECORD, 100);
  EXPECT_TRUE(qav::ui::PumpPending());
  ASSERT_EQ(r.seen.size(), 101u);
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(r.seen[static_cast<size_t>(i)], i);
}

TEST_F(LoopTest, PostsToADestroyedWindowAreDropped) {
  auto* a = new Recorder;
  Recorder b;
  ASSERT_TRUE(a->Create());
  ASSERT_TRUE(b.Create());
  HWND ha = a->m_hWnd;
  EXPECT_TRUE(PostMessage(ha, WM_RECORD, 1));
  EXPECT_TRUE(b.PostMessage(WM_RECORD, 2));
  a->DestroyWindow();  // queued message for `a` must not reach the (deleted) object
  delete a;
  EXPECT_FALSE(IsWindow(ha));
  EXPECT_FALSE(PostMessage(ha, WM_RECORD, 3));  // refused at once
  EXPECT_TRUE(qav::ui::PumpPending());
  EXPECT_EQ(b.seen, std::vector<int>{2});
}

TEST_F(LoopTest, WorkerSendIsAnsweredWhileTheUiThreadWaitsOnAnEvent) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  HWND h = r.m_hWnd;
  Event done(true, false);
  std::atomic<LRESULT> answer{0};
  std::thread worker([&] {
    answer = SendMessage(h, WM_ASK, 21);  // blocks until the UI thread has handled it
    done.Set();
  });
  // The UI thread waits for the worker's event; the wait serves the worker's send.
  DWORD waited = qav::ui::WaitForEventServingSends(done, 5000);
  worker.join();
  EXPECT_EQ(waited, WAIT_OBJECT_0);
  Event never(false, false);
  EXPECT_EQ(qav::ui::WaitForEventServingSends(never, 10), WAIT_TIMEOUT);
  EXPECT_EQ(answer.load(), 42);
}

TEST_F(LoopTest, SendOnTheUiThreadCallsAtOnceAndToNoWindowGivesZero) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  EXPECT_EQ(r.SendMessage(WM_ASK, 5), 10);
  EXPECT_EQ(SendMessage(nullptr, WM_ASK, 5), 0);
}

TEST_F(LoopTest, TimersFireRepeatedlyUntilKilledAndDieWithTheirWindow) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  r.SetTimer(7, 10);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (r.timers.size() < 3 && std::chrono::steady_clock::now() < until) qav::ui::WaitAndDispatchOne();
  ASSERT_GE(r.timers.size(), 3u);
  EXPECT_EQ(r.timers.front(), 7u);
  EXPECT_TRUE(r.KillTimer(7));
  EXPECT_FALSE(r.KillTimer(7));
  r.timers.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  qav::ui::PumpPending();
  EXPECT_TRUE(r.timers.empty());
  r.SetTimer(8, 1);
  HWND h = r.m_hWnd;
  r.DestroyWindow();
  EXPECT_EQ(SetTimer(h, 9, 1), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(qav::ui::PumpPending());
}

TEST_F(LoopTest, QuitEndsPumpingAndStaysForTheOuterLoop) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  PostQuitMessage(3);
  r.PostMessage(WM_RECORD, 1);
  EXPECT_FALSE(qav::ui::PumpPending());  // sees the quit and puts it back
  EXPECT_TRUE(qav::ui::QuitRequested());
  MSG m;
  // The re-posted request comes after the message that was queued behind it.
  ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, WM_RECORD);
  EXPECT_FALSE(GetMessage(&m, nullptr, 0, 0));
  EXPECT_EQ(m.wParam, 3u);
}

// While a quit request waits, the pumps stop at it and leave the posts behind it: a view's wait for
// its worker must not end for them, or it would never sleep again.
TEST_F(LoopTest, AWaitingQuitRequestDoesNotEndAWaitForInput) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  PostQuitMessage(0);
  r.PostMessage(WM_RECORD, 2);
  EXPECT_FALSE(qav::ui::PumpPending());
  qav::ui::WaitForInput(0);  // the wake that came with the posts
  const auto start = std::chrono::steady_clock::now();
  qav::ui::WaitForInput(40);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(35));
  EXPECT_TRUE(r.seen.empty());
}

TEST_F(LoopTest, DisablingATopLevelWindowNests) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  r.EnableWindow(FALSE);
  r.EnableWindow(FALSE);
  r.EnableWindow(TRUE);
  EXPECT_FALSE(r.IsWindowEnabled());
  r.EnableWindow(TRUE);
  EXPECT_TRUE(r.IsWindowEnabled());
  r.EnableWindow(TRUE);  // an extra enable does not bank a future disable
  r.EnableWindow(FALSE);
  EXPECT_FALSE(r.IsWindowEnabled());
}

TEST_F(LoopTest, HandlesAreNotMistakenForPayloads) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  for (LPARAM v : {LPARAM{0}, LPARAM{34408}, LPARAM{2}, LPARAM{0x7FFFFFFF}})
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(v)));
}

}  // namespace

namespace {

// A worker asks about a window (enabled? shown? zoomed? its style?) while the user-interface
// thread changes it and finally destroys it: every answer is one of the states it had.
TEST_F(LoopTest, WorkersReadWindowStateWhileTheUiThreadChangesIt) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  HWND h = r.m_hWnd;
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0};
  std::thread worker([&] {
    while (!stop) {
      BOOL enabled = IsWindowEnabled(h);
      BOOL visible = IsWindowVisible(h);
      EXPECT_TRUE(enabled == TRUE || enabled == FALSE);
      EXPECT_TRUE(visible == TRUE || visible == FALSE);
      (void)GetParent(h);
      ++reads;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    EnableWindow(h, i % 2 == 0 ? FALSE : TRUE);
    ShowWindow(h, i % 3 == 0 ? SW_HIDE : SW_SHOWMAXIMIZED);
    r.ModifyStyle(i % 2 == 0 ? WS_BORDER : 0, i % 2 == 0 ? 0 : WS_BORDER);
  }
  r.DestroyWindow();
  while (reads < 100) std::this_thread::yield();
  stop = true;
  worker.join();
  EXPECT_FALSE(IsWindowEnabled(h));
}

// The UI thread waiting for a worker's event sleeps: no time is spent polling meanwhile.
TEST_F(LoopTest, WaitingForAnEventServesSendsWithoutPolling) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  HWND h = r.m_hWnd;
  Event done(false, false);
  std::atomic<LRESULT> answer{0};
  std::thread worker([&] {
    answer = SendMessage(h, WM_ASK, 21, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    done.Set();
  });
  std::clock_t cpu = std::clock();
  EXPECT_EQ(qav::ui::WaitForEventServingSends(done, 5000), WAIT_OBJECT_0);
  double used = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  worker.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_LT(used, 0.05);  // 300 ms of waiting, almost none of it on the processor
}

// A loop that waits for another thread (a run's worker) waits for whatever comes: a message posted
// or sent from another thread, a task, a wake or a timer ends the wait at once, however long it
// could have lasted (a wait that missed one would outlast the test's time-out).
TEST_F(LoopTest, WaitingForInputEndsForWhatComesFromAnotherThreadOrATimer) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  HWND h = r.m_hWnd;
  std::atomic<LRESULT> answer{0};
  const struct {
    const char* what;
    std::function<void()> act;  // on another thread
  } cases[] = {
      {"a posted message", [&] { PostMessage(h, WM_RECORD, 7); }},
      {"a sent message", [&] { answer = SendMessage(h, WM_ASK, 21, 0); }},
      {"a task", [&] { qav::ui::PostTask([&] { r.seen.push_back(8); }); }},
      {"a wake", [] { qav::ui::WakeUiThread(); }},
      {"a timer", [] {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // What an earlier case left (a wake that came with its post) is taken first.
    qav::ui::WaitForInput(0);
    EXPECT_TRUE(qav::ui::PumpPending());
    if (std::string(c.what) == "a timer") r.SetTimer(5, 20);
    std::thread other([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      c.act();
    });
    qav::ui::WaitForInput(600000);
    EXPECT_TRUE(qav::ui::PumpPending());
    other.join();
    r.KillTimer(5);
  }
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(r.seen, (std::vector<int>{7, 8}));
  EXPECT_FALSE(r.timers.empty());
  // Nothing comes: the wait ends with its time-out.
  qav::ui::WaitForInput(20);
}

}  // namespace

namespace {

constexpr UINT WM_GREEDY = WM_USER + 20;  // its handler wants more memory than there is
constexpr UINT WM_GREEDY_LOOK = WM_USER + 21;  // so does looking at it before it is handled
constexpr size_t kTooMuch = size_t{64} << 20;

// Memory that runs out while the window thread handles something: the standard library (or Qt)
// throws std::bad_alloc.
void WantTooMuch() {
  std::vector<char> more(kTooMuch);
  more[0] = 1;
}

class Greedy : public Recorder {
 public:
  LRESULT OnGreedy(WPARAM, LPARAM) {
    WantTooMuch();
    return 1;
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_GREEDY_LOOK) WantTooMuch();
    return FALSE;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Greedy, Recorder)
  ON_MESSAGE(WM_GREEDY, &Greedy::OnGreedy)
END_MESSAGE_MAP()

using LoopQtTest = QtUiTest;

// Each way in which the window thread handles something (a posted message, the look before it, a
// task, a worker's send, a Qt event) runs out of memory, in a child process whose large blocks all
// fail: the window thread loses that one and goes on to handle the next.
TEST_F(LoopQtTest, AHandlerThatRunsOutOfMemoryLosesWhatItHandledNotTheProgram) {
  const std::function<void(Greedy&)> ways[] = {
      [](Greedy& g) { g.PostMessage(WM_GREEDY); },
      [](Greedy& g) { g.PostMessage(WM_GREEDY_LOOK); },
      [](Greedy&) { qav::ui::PostTask(WantTooMuch); },
      [](Greedy& g) {
        HWND h = g.m_hWnd;
        std::thread([h] {
          if (SendMessage(h, WM_GREEDY, 0, 0) == 0) PostMessage(h, WM_RECORD, 7);
        }).detach();
      },
      [](Greedy&) { QTimer::singleShot(0, qApp, WantTooMuch); },
  };
  int way = 0;
  for (const auto& handle : ways) {
    const pid_t child = fork();
    if (child == 0) {
      Greedy g;
      if (!g.Create()) _exit(2);
      CScalarMemMgr::SetProcessFailAbove(static_cast<long>(kTooMuch / 2));
      handle(g);
      g.PostMessage(WM_RECORD, 1);  // what comes after
      for (int i = 0; i < 200 && g.seen.size() < (way == 3 ? 2u : 1u); ++i) {
        qav::ui::PumpPending();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      CScalarMemMgr::SetProcessFailAbove(-1);
      _exit(g.seen.size() == (way == 3 ? 2u : 1u) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "way " << way << ": ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "way " << way;
    ++way;
  }
}

// A worker whose data took all the room it may have still reaches the window thread: the queue's
// blocks and the event that wakes the thread are the window system's.
TEST_F(LoopQtTest, AWorkerWithoutRoomForDataStillPostsAndSendsToTheWindowThread) {
  Recorder r;
  ASSERT_TRUE(r.Create());
  HWND h = r.m_hWnd;
  qav::SetAddressSpaceForTesting(qav::kWindowRoom + 1, [] { return uint64_t{0}; });
  std::atomic<int> posted{0};
  std::atomic<LRESULT> answer{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    qav::MarkDataThread(0);
    try {
      for (int i = 0; i < 40; ++i) posted += PostMessage(h, WM_RECORD, static_cast<WPARAM>(i)) ? 1 : 0;
      answer = SendMessage(h, WM_ASK, 21);
    } catch (const std::bad_alloc&) {
    }
    done = true;
  });
  for (int i = 0; i < 500 && !done; ++i) {
    qav::ui::WaitServingSends([&] { return done.load(); }, 10);
    QCoreApplication::processEvents();
  }
  worker.join();
  qav::SetAddressSpaceForTesting(0, nullptr);
  EXPECT_TRUE(qav::ui::PumpPending());
  EXPECT_EQ(posted.load(), 40);
  EXPECT_EQ(r.seen.size(), 40u);
  EXPECT_EQ(answer.load(), 42);
}

}  // namespace
