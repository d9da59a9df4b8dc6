#include "support/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "containers/mem_mgr.h"
#include "platform/base/errors.h"
#include "platform/kernel/events.h"
#include "platform/kernel/threads.h"
#include "platform/ui/app.h"
#include "support/mfcex_dialog.h"
#include "support_ui_fixture.h"

namespace {

struct Worker {
  std::atomic<int> calls{0};
  UINT result = 7;
  UINT Work() {
    ++calls;
    return result;
  }
};

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

// Counts its destruction, to show that the thread frees the functor.
struct CountingFunctor : CFunctorBase {
  std::atomic<int>* destroyed;
  explicit CountingFunctor(std::atomic<int>* d) : destroyed(d) {}
  UINT Invoke() override { return 3; }
  ~CountingFunctor() override { ++*destroyed; }
};

TEST(Thread, FunctorRunsAtOnceAndFreesEverything) {
  Worker w;
  CThread* t = StartFunctorThread(&w, &Worker::Work);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return w.calls == 1; }));
  // The CThread and the functor free themselves; the leak checker sees anything left behind.

  std::atomic<int> destroyed{0};
  ASSERT_NE(CThread::BeginThread(new CountingFunctor(&destroyed)), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return destroyed == 1; }));
}

TEST(Thread, StartSuspendedWaitsForResumeAndGivesTheExitCode) {
  Worker w;
  CThread* t = StartFunctorThread(&w, &Worker::Work, 0, true);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->m_bRunning);
  EXPECT_TRUE(t->m_bSuspended);
  t->m_bAutoDelete = false;  // keep the object to read the exit code
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(w.calls, 0);
  DWORD code = 0;
  EXPECT_FALSE(t->GetExitCode(code));
  EXPECT_EQ(t->Wait(10), 258u);
  t->Resume();
  EXPECT_EQ(t->Wait(5000), 0u);
  EXPECT_EQ(w.calls, 1);
  ASSERT_TRUE(t->GetExitCode(code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(t->m_pWorker, nullptr);
  delete t;
}

std::string g_reported;
int g_reports = 0;
void CaptureFailure(const char* text, const char* caption, UINT style) {
  g_reported = std::string(caption) + "|" + text + "|" + std::to_string(style);
  ++g_reports;
}

TEST(Thread, CreationFailureReportsOnceAndReturnsNull) {
  CThread::PFNREPORTFAILURE old = CThread::s_pfnReportFailure;
  CThread::s_pfnReportFailure = &CaptureFailure;
  g_reports = 0;
  CThread::s_nFailNextCreates = 1;
  std::atomic<int> destroyed{0};
  EXPECT_EQ(CThread::BeginThread(new CountingFunctor(&destroyed)), nullptr);
  EXPECT_EQ(destroyed, 1);  // the functor is freed, nothing runs
  EXPECT_EQ(g_reports, 1);
  EXPECT_EQ(g_reported, "CThread::Create()|Could not create Thread!|16");

  // Create on an object of one's own leaves running clear.
  CThread::s_nFailNextCreates = 1;
  CThread own(&CThread::FunctorThreadProc);
  EXPECT_FALSE(own.Create(&own));
  EXPECT_FALSE(own.m_bRunning);
  EXPECT_EQ(g_reports, 2);
  CThread::s_pfnReportFailure = old;
}

int g_failures = 0;
void CountFailure(const char*, const char*, UINT) { ++g_failures; }

TEST(Thread, WithoutMemoryEventsWorkThreadsEndAndAStartThatCannotBeMadeIsRefused) {
  // In a process of its own, whose events are first used once nothing can be allocated: a thread
  // that runs out ends with error 8 and signals its end, events work, and a thread that cannot be
  // made is refused, none of them ending the program.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atomic<bool> go{false};
        Thread worker;
        const DWORD started = worker.Create([&go]() -> DWORD {
          while (!go) std::this_thread::yield();
          return static_cast<DWORD>(std::string(100, 'x').size());
        });
        CScalarMemMgr::SetProcessFailAfter(0);
        go = true;
        DWORD code = 0;
        const bool ended = worker.Join() && worker.GetExitCode(code) && code == ERROR_NOT_ENOUGH_MEMORY;
        Event e(false, false);
        e.Set();
        const bool signalled = e.Wait(0) == WAIT_OBJECT_0 && e.Wait(0) == WAIT_TIMEOUT;
        Thread none;
        const bool refused = none.Create([]() -> DWORD { return 0; }) == ERROR_NOT_ENOUGH_MEMORY;
        // The thread object can be had, its start gate cannot.
        CThread::s_pfnReportFailure = &CountFailure;
        CThread own(&CThread::FunctorThreadProc);
        CScalarMemMgr::SetProcessFailAfter(1);
        const bool ownRefused = !own.Create(&own);
        std::_Exit(started == 0 && ended && signalled && refused && ownRefused && g_failures == 1 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

struct ObjectThread : CThread {
  static std::atomic<int> inits, runs, exits;
  static std::atomic<bool> initResult;
  BOOL InitInstance() override {
    ++inits;
    return initResult ? 1 : 0;
  }
  UINT Run() override {
    ++runs;
    return 9;
  }
  void ExitInstance() override { ++exits; }
};
std::atomic<int> ObjectThread::inits{0}, ObjectThread::runs{0}, ObjectThread::exits{0};
std::atomic<bool> ObjectThread::initResult{true};

TEST(Thread, ObjectThreadRunsInitRunExit) {
  ObjectThread::inits = ObjectThread::runs = ObjectThread::exits = 0;
  ObjectThread::initResult = true;
  ASSERT_NE(CThread::BeginThread<ObjectThread>(), nullptr);
  EXPECT_TRUE(WaitUntil([] { return ObjectThread::exits == 1; }));
  EXPECT_EQ(ObjectThread::runs, 1);

  // InitInstance failing ends the thread at once: no Run, no ExitInstance, no deletion.
  ObjectThread::initResult = false;
  ObjectThread* t = CThread::BeginThread<ObjectThread>(0, true);
  ASSERT_NE(t, nullptr);
  t->Resume();
  EXPECT_EQ(t->Wait(5000), 0u);
  DWORD code = 1;
  ASSERT_TRUE(t->GetExitCode(code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ObjectThread::inits, 2);
  EXPECT_EQ(ObjectThread::runs, 1);
  EXPECT_EQ(ObjectThread::exits, 1);
  delete t;
}

TEST(Thread, StopResumesAndWaits) {
  Worker w;
  CThread* t = StartFunctorThread(&w, &Worker::Work, 0, true);
  ASSERT_NE(t, nullptr);
  t->m_bAutoDelete = false;
  t->m_nStopTimeout = 5000;
  t->Stop();
  EXPECT_FALSE(t->m_bRunning);
  EXPECT_EQ(w.calls, 1);
  t->Stop();  // a second stop does nothing
  delete t;
}

}  // namespace

// The default report of a thread that cannot be created is a message box: shown directly on the
// user-interface thread, and from a worker by the main window, which gets the text and caption in
// its message-box message.

namespace {

class CBoxFrame : public CRecorderWnd {
 public:
  std::string text;
  LPARAM style = 0;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg != WM_SHOW_MESSAGE_BOX) return CRecorderWnd::WindowProc(msg, wParam, lParam);
    text = reinterpret_cast<const char*>(wParam);
    style = lParam;
    return IDOK;
  }
};

using ThreadFailureBox = SupportUiTest;

TEST_F(ThreadFailureBox, ShownOnTheUiThreadAndThroughTheMainWindowFromAWorker) {
  std::atomic<int> destroyed{0};
  CThread::s_nFailNextCreates = 1;
  EXPECT_EQ(CThread::BeginThread(new CountingFunctor(&destroyed)), nullptr);
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  const qav::ui::MessageBoxRequest& box = qav::ui::MessageBoxLog()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, "Could not create Thread!");
  EXPECT_EQ(box.caption, "CThread::Create()");
  EXPECT_EQ(box.type, MB_ICONHAND);

  CWinApp app("QAV");
  CBoxFrame frame;
  ASSERT_TRUE(frame.Create());
  app.m_pMainWnd = &frame;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    CThread::s_nFailNextCreates = 1;
    EXPECT_EQ(CThread::BeginThread(new CountingFunctor(&destroyed)), nullptr);
    done = true;
  });
  EXPECT_TRUE(qav::ui::WaitServingSends([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_EQ(frame.text, "Could not create Thread!\nCThread::Create()");
  EXPECT_EQ(frame.style, static_cast<LPARAM>(MB_ICONHAND));
  EXPECT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(destroyed, 2);
  app.m_pMainWnd = nullptr;
  frame.DestroyWindow();
}

}  // namespace
