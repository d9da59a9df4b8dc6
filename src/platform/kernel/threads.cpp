#include "platform/kernel/threads.h"

#include "platform/base/errors.h"
#include "platform/kernel/address_space.h"
#include "platform/kernel/events.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <pthread.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

struct Thread::State {
  std::function<DWORD()> body;
  pthread_t handle {};
  std::mutex gateMutex;
  std::condition_variable gate;
  bool released = false;  // Resume was called (or the owner gave up on a suspended thread)
  bool cancelled = false;  // the owner went away before Resume: do not run the body
  Event finished {true, false};
  std::atomic<DWORD> exitCode {STILL_ACTIVE};
  size_t stackBytes = 0;
};

namespace {

void* ThreadMain(void* arg) {
  // The thread holds its own reference, so a detached thread's state outlives its owner.
  auto* holder = static_cast<std::shared_ptr<Thread::State>*>(arg);
  std::shared_ptr<Thread::State> state = std::move(*holder);
  delete holder;
  // The program's threads work on its data, which keeps clear of the window system's room.
  qav::MarkDataThread(state->stackBytes);
  bool run = true;
  {
    std::unique_lock<std::mutex> lock(state->gateMutex);
    state->gate.wait(lock, [&] { return state->released; });
    run = !state->cancelled;
  }
  DWORD code = 0;
  // A body that lets memory that ran out reach here ends its thread with the not-enough-memory
  // error instead of ending the program.
  try {
    if (run && state->body) code = state->body();
  } catch (const std::bad_alloc&) {
    code = ERROR_NOT_ENOUGH_MEMORY;
  }
  state->body = nullptr;
  state->exitCode.store(code);
  state->finished.Set();
  return nullptr;
}

}  // namespace

Thread::Thread() = default;

Thread::~Thread() {
  if (m_state && m_joinable) {
    {
      std::lock_guard<std::mutex> lock(m_state->gateMutex);
      if (!m_state->released) {
        m_state->cancelled = true;
        m_state->released = true;
      }
    }
    m_state->gate.notify_all();
    pthread_join(m_state->handle, nullptr);
  }
}

DWORD Thread::Create(std::function<DWORD()> body, bool suspended, size_t stackSize) {
  if (m_state) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<State> state;
  std::shared_ptr<State>* holder = nullptr;
  try {
    state = std::make_shared<State>();
    holder = new std::shared_ptr<State>(state);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  state->body = std::move(body);
  state->released = !suspended;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (stackSize == 0) stackSize = kThreadStackBytes;
  if (stackSize < static_cast<size_t>(PTHREAD_STACK_MIN)) stackSize = PTHREAD_STACK_MIN;
  pthread_attr_setstacksize(&attr, stackSize);
  // The stack is address space like the data: a thread whose stack would take the window
  // system's room is not started.
  state->stackBytes = stackSize;
  if (!qav::RoomForThread(&attr)) {
    pthread_attr_destroy(&attr);
    delete holder;
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  const int rc = pthread_create(&state->handle, &attr, ThreadMain, holder);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete holder;
    return ErrnoToWinError(rc);
  }
  m_state = std::move(state);
  m_joinable = true;
  return 0;
}

void Thread::Resume() {
  if (!m_state) return;
  {
    std::lock_guard<std::mutex> lock(m_state->gateMutex);
    m_state->released = true;
  }
  m_state->gate.notify_all();
}

DWORD Thread::Wait(DWORD timeoutMs) {
  if (!m_state) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return m_state->finished.Wait(timeoutMs);
}

bool Thread::Join() {
  if (!m_state) return false;
  if (m_joinable) {
    m_state->finished.Wait(INFINITE);
    pthread_join(m_state->handle, nullptr);
    m_joinable = false;
  } else {
    m_state->finished.Wait(INFINITE);
  }
  return true;
}

void Thread::Detach() {
  if (m_state && m_joinable) {
    pthread_detach(m_state->handle);
    m_joinable = false;
  }
}

bool Thread::GetExitCode(DWORD& code) const {
  if (!m_state) return false;
  code = m_state->exitCode.load();
  return true;
}

void SetThreadName(const char* name) {
  if (name == nullptr) return;
  char cut[16];
  std::strncpy(cut, name, 15);
  cut[15] = '\0';
  pthread_setname_np(pthread_self(), cut);
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }
