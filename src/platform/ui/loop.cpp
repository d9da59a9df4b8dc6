// The message queue of the user-interface thread: posted messages in order, messages sent from
// other threads (answered while the sender waits), timers, quit, and the waits of the UI thread.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "platform/base/errors.h"
#include "platform/kernel/address_space.h"
#include "platform/ui/backend.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {
namespace {

using Clock = std::chrono::steady_clock;

struct Queued {
  MSG msg;
  std::function<void()> task;
};

struct SendRequest {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
  const std::function<void()>* task = nullptr;  // SendTask: run in place of a message
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT ms;
  Clock::time_point due;
};

struct Loop {
  std::mutex lock;
  std::condition_variable cv;  // sends answered, messages queued
  std::deque<Queued> posted;
  std::deque<SendRequest*> sent;
  std::vector<Timer> timers;
  std::thread::id ui;
  bool uiBound = false;
  bool quit = false;  // a quit request is queued
  int quitCode = 0;
  bool woken = false;
  int inputHeld = 0;  // HoldUserInput less ReleaseUserInput (user-interface thread only)
};

Loop& L() {
  static Loop* loop = new Loop;  // lives to the end of the process
  return *loop;
}

// A handler that finds no memory (a std::bad_alloc of the standard library or of Qt) loses the
// message it was handling, not the program: the window thread goes on, and the work that ran out
// of memory ends with its own error. `failed` is the answer then.
template <class Handle, class Answer>
Answer Guarded(Handle handle, Answer failed) noexcept {
  try {
    return handle();
  } catch (const std::bad_alloc&) {
    return failed;
  }
}

void WakeUi() {
  qav::CWindowSystemBlocks windowSystem;
  {
    std::lock_guard<std::mutex> g(L().lock);
    L().woken = true;
  }
  L().cv.notify_all();
  CurrentBackend().Wake();
}

// Seconds to the next timer, or -1 when none runs.
double SecondsToNextTimer() {
  std::lock_guard<std::mutex> g(L().lock);
  if (L().timers.empty()) return -1;
  auto now = Clock::now();
  auto next = L().timers.front().due;
  for (const Timer& t : L().timers) next = std::min(next, t.due);
  if (next <= now) return 0;
  return std::chrono::duration<double>(next - now).count();
}

}  // namespace

void BindUiThread() {
  std::lock_guard<std::mutex> g(L().lock);
  if (!L().uiBound) {
    L().ui = std::this_thread::get_id();
    L().uiBound = true;
  }
}

bool IsUiThread() {
  std::lock_guard<std::mutex> g(L().lock);
  if (!L().uiBound) {  // the first thread to use windows owns them
    L().ui = std::this_thread::get_id();
    L().uiBound = true;
  }
  return L().ui == std::this_thread::get_id();
}

void PostTask(std::function<void()> task) {
  qav::CWindowSystemBlocks windowSystem;
  {
    std::lock_guard<std::mutex> g(L().lock);
    Queued q;
    q.task = std::move(task);
    L().posted.push_back(std::move(q));
  }
  WakeUi();
}

namespace {
// The request waits until the user-interface thread has answered it. The queue's own blocks are the
// window system's, also for a worker whose data took its room.
void SendAndWait(SendRequest& req) {
  qav::CWindowSystemBlocks windowSystem;
  {
    std::lock_guard<std::mutex> g(L().lock);
    L().sent.push_back(&req);
    L().woken = true;
  }
  L().cv.notify_all();
  CurrentBackend().Wake();
  std::unique_lock<std::mutex> g(L().lock);
  L().cv.wait(g, [&] { return req.done; });
}
}  // namespace

LRESULT SendFromOtherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(hwnd)) return 0;
  SendRequest req{hwnd, msg, wParam, lParam};
  SendAndWait(req);
  return req.result;
}

void SendTask(const std::function<void()>& task) {
  bool here;
  {
    // Not IsUiThread: a thread that asks before the user-interface thread is bound must not
    // become it.
    std::lock_guard<std::mutex> g(L().lock);
    here = L().uiBound && L().ui == std::this_thread::get_id();
  }
  if (here) {
    task();
    return;
  }
  SendRequest req{nullptr, 0, 0, 0};
  req.task = &task;
  SendAndWait(req);
}

void HoldUserInput() { ++L().inputHeld; }
void ReleaseUserInput() {
  if (L().inputHeld > 0) --L().inputHeld;
}
bool UserInputHeld() { return L().inputHeld > 0; }

InputHoldLifted::InputHoldLifted() : m_held(std::exchange(L().inputHeld, 0)) {}
InputHoldLifted::~InputHoldLifted() { L().inputHeld = m_held; }

bool ServeSentMessages() {
  bool any = false;
  for (;; any = true) {
    SendRequest* req = nullptr;
    {
      std::lock_guard<std::mutex> g(L().lock);
      if (L().sent.empty()) return any;
      req = L().sent.front();
      L().sent.pop_front();
    }
    const LRESULT r = Guarded(
        [req] {
          if (req->task == nullptr) return Send(req->hwnd, req->msg, req->wParam, req->lParam);
          (*req->task)();
          return LRESULT{0};
        },
        LRESULT{0});
    {
      std::lock_guard<std::mutex> g(L().lock);
      req->result = r;
      req->done = true;
    }
    L().cv.notify_all();
  }
}

void KillTimersOf(HWND hwnd) {
  std::lock_guard<std::mutex> g(L().lock);
  auto& t = L().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

bool PreTranslateChain(MSG* msg) {
  // A window on the way may go while its object looks at the message: the next one is taken
  // before, and the object is kept until it has answered. A message whose looking-at ran out of
  // memory is taken as handled.
  return Guarded(
      [msg] {
        for (HWND h = msg->hwnd; WndState* s = Find(h);) {
          const bool child = s->IsChild();
          h = s->parent;
          if (CWnd* object = s->object) {
            ObjectInUse use(object);
            if (object->PreTranslateMessage(msg)) return true;
          }
          if (!child) break;
        }
        return false;
      },
      true);
}

bool QuitRequested() {
  std::lock_guard<std::mutex> g(L().lock);
  return L().quit;
}

int QuitCode() {
  std::lock_guard<std::mutex> g(L().lock);
  return L().quitCode;
}

void ResetQuit() {
  std::lock_guard<std::mutex> g(L().lock);
  L().quit = false;
  L().quitCode = 0;
  auto& p = L().posted;
  p.erase(std::remove_if(p.begin(), p.end(), [](const Queued& q) { return !q.task && q.msg.message == WM_QUIT; }),
          p.end());
}

void ResetWindowSystem() {
  ForgetWindows();
  ServeSentMessages();
  std::lock_guard<std::mutex> g(L().lock);
  L().posted.clear();
  L().timers.clear();
  L().quit = false;
  L().quitCode = 0;
}

bool PumpPending() {
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return false;
    }
    if (!PreTranslateChain(&m)) DispatchMessage(&m);
  }
  return true;
}

bool WaitAndDispatchOne() {
  MSG m;
  if (PeekQueued(&m, PM_REMOVE)) {
    if (m.message == WM_QUIT) return false;
    if (!PreTranslateChain(&m)) DispatchMessage(&m);
    return true;
  }
  // The backend handles the user's input while it waits; that input may have ended the loop
  // that called here, so it looks at its end again before waiting once more.
  CurrentBackend().Wait(SecondsToNextTimer());
  return true;
}

namespace {
// Waits until a send arrives, the loop is woken (WakeUiThread, a post) or the deadline passes.
void WaitForSendOrWake(Clock::time_point deadline, bool forever, Clock::duration recheck) {
  std::unique_lock<std::mutex> g(L().lock);
  auto pred = [] { return !L().sent.empty() || L().woken; };
  auto until = forever ? Clock::now() + recheck : std::min(deadline, Clock::now() + recheck);
  L().cv.wait_until(g, until, pred);
  L().woken = false;
}
}  // namespace

bool WaitServingSends(const std::function<bool()>& ready, DWORD timeoutMs) {
  const bool forever = timeoutMs == 0xFFFFFFFF;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ServeSentMessages();
    if (ready()) return true;
    if (!forever && Clock::now() >= deadline) return false;
    // Whoever makes ready() true should wake this thread (WakeUiThread); a condition that
    // nobody signals is looked at again now and then.
    WaitForSendOrWake(deadline, forever, std::chrono::milliseconds(50));
  }
}

// Whether a post waits for the next pump (the lock held). While a quit request waits, the pumps
// stop at it and leave the posts behind it: none waits for them then, or a wait for something to
// do would never sleep again.
bool PostWaitsForAPump() {
  if (L().quit) return false;
  for (const Queued& q : L().posted)
    if (q.task || q.msg.message != WM_QUIT) return true;
  return false;
}

void WaitForInput(DWORD timeoutMs) {
  {
    std::lock_guard<std::mutex> g(L().lock);
    if (PostWaitsForAPump() || !L().sent.empty() || L().woken) {
      L().woken = false;
      return;
    }
  }
  double seconds = timeoutMs / 1000.0;
  const double timer = SecondsToNextTimer();
  if (timer >= 0) seconds = std::min(seconds, timer);
  CurrentBackend().Wait(seconds);
}

DWORD WaitForEventServingSends(Event& event, DWORD timeoutMs) {
  // A watcher waits for the event (consuming it, as a wait does) and wakes this thread, which
  // meanwhile sleeps until a send arrives or the watcher is done: no polling.
  Event stop(true, false);
  std::atomic<DWORD> result{WAIT_TIMEOUT};
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    DWORD r = WaitAny({&event, &stop}, timeoutMs);
    result = r == WAIT_OBJECT_0 ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    done = true;
    WakeUiThread();
  });
  for (;;) {
    ServeSentMessages();
    if (done) break;
    std::unique_lock<std::mutex> g(L().lock);
    L().cv.wait(g, [&] { return !L().sent.empty() || done.load(); });
  }
  stop.Set();
  watcher.join();
  return result;
}

void WakeUiThread() { WakeUi(); }

// Used by the headless backend: wait for anything queued or a wake.
void HeadlessWait(double seconds) {
  std::unique_lock<std::mutex> g(L().lock);
  auto pred = [] { return L().woken || PostWaitsForAPump() || !L().sent.empty(); };
  if (seconds < 0) L().cv.wait(g, pred);
  else L().cv.wait_for(g, std::chrono::duration<double>(seconds), pred);
  L().woken = false;
}

void HeadlessWake() { L().cv.notify_all(); }

}  // namespace qav::ui

using namespace qav::ui;

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(hwnd)) return FALSE;
  qav::CWindowSystemBlocks windowSystem;
  {
    std::lock_guard<std::mutex> g(L().lock);
    Queued q;
    q.msg.hwnd = hwnd;
    q.msg.message = msg;
    q.msg.wParam = wParam;
    q.msg.lParam = lParam;
    // A message that cannot be queued for want of memory is not posted, as on Windows.
    try {
      L().posted.push_back(std::move(q));
    } catch (const std::bad_alloc&) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
  }
  WakeUi();
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  qav::CWindowSystemBlocks windowSystem;
  {
    std::lock_guard<std::mutex> g(L().lock);
    L().quit = true;
    L().quitCode = exitCode;
    Queued q;
    q.msg.message = WM_QUIT;
    q.msg.wParam = static_cast<WPARAM>(exitCode);
    L().posted.push_back(std::move(q));
  }
  WakeUi();
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  CurrentBackend().Poll();
  return qav::ui::PeekQueued(msg, remove) ? TRUE : FALSE;
}

bool qav::ui::PeekQueued(MSG* msg, UINT remove) {
  // Work done here (a sent message answered, a queued task run) counts as a message, so a
  // modal loop looks at its end flag again.
  *msg = MSG{};
  if (ServeSentMessages()) return TRUE;
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> g(L().lock);
    if (!L().posted.empty()) {
      Queued& q = L().posted.front();
      if (q.task) {
        task = std::move(q.task);
        L().posted.pop_front();
      } else {
        *msg = q.msg;
        if (remove & PM_REMOVE) {
          if (q.msg.message == WM_QUIT) L().quit = false;
          L().posted.pop_front();
        }
        return TRUE;
      }
    }
  }
  if (task) {
    Guarded([&task] { return (task(), true); }, false);
    return TRUE;
  }
  // Timers come when nothing else waits.
  std::lock_guard<std::mutex> g(L().lock);
  auto now = Clock::now();
  Timer* due = nullptr;
  for (Timer& t : L().timers)
    if (t.due <= now && (due == nullptr || t.due < due->due)) due = &t;
  if (due == nullptr) return false;
  msg->hwnd = due->hwnd;
  msg->message = WM_TIMER;
  msg->wParam = due->id;
  msg->lParam = 0;
  if (remove & PM_REMOVE) due->due = now + std::chrono::milliseconds(due->ms);
  return true;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT first, UINT last) {
  while (!PeekQueued(msg, PM_REMOVE)) CurrentBackend().Wait(SecondsToNextTimer());
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessage(const MSG* msg) {
  if (msg->hwnd == nullptr || !IsWindow(msg->hwnd)) return 0;  // the window went away meanwhile
  return Guarded([msg] { return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam); }, LRESULT{0});
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void*) {
  if (!IsWindow(hwnd)) return 0;
  std::lock_guard<std::mutex> g(L().lock);
  auto due = Clock::now() + std::chrono::milliseconds(elapseMs);
  for (Timer& t : L().timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.ms = elapseMs;
      t.due = due;
      return id;
    }
  }
  L().timers.push_back(Timer{hwnd, id, elapseMs, due});
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard<std::mutex> g(L().lock);
  auto& t = L().timers;
  auto it = std::find_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
  if (it == t.end()) return FALSE;
  t.erase(it);
  return TRUE;
}
