// Threads. A thread can be created suspended and started later with Resume; it can be waited
// for with a time-out, joined, or detached so that it cleans up after itself. Its function's
// result is its exit code.
#pragma once

#include "platform/base/types.h"
#include "platform/base/wait.h"

#include <cstddef>
#include <functional>
#include <memory>

constexpr DWORD STILL_ACTIVE = 259;

// The stack of the program's threads unless one asks for another: their work keeps its data on
// the heap, and a small stack takes little of a limited address space (the C library keeps up to
// 40 MB of the stacks of ended threads for new ones; at the usual 8 MB a stack, five threads that
// ended would hold all of that).
constexpr size_t kThreadStackBytes = size_t{2} << 20;

class Thread {
public:
  Thread();
  ~Thread();  // a thread never resumed is not run; a running one is joined
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts `body` on a new thread (or prepares it, when `suspended`, until Resume). `stackSize`
  // 0 takes kThreadStackBytes. Returns 0, or an error number (8 when the system has no room for
  // another thread). A Thread object runs one body; a second Create fails with 87.
  DWORD Create(std::function<DWORD()> body, bool suspended = false, size_t stackSize = 0);

  // Lets a suspended thread run. Harmless on a running one.
  void Resume();

  // WAIT_OBJECT_0 once the body has returned, WAIT_TIMEOUT after `timeoutMs` (0 polls,
  // INFINITE waits), WAIT_FAILED when nothing was created.
  DWORD Wait(DWORD timeoutMs);

  // Waits for the end and releases the thread. False when nothing was created.
  bool Join();

  // Lets the thread finish on its own; the object can then be destroyed at once.
  void Detach();

  bool IsCreated() const { return m_state != nullptr; }

  // STILL_ACTIVE (259) while running or suspended, then the body's result. False when nothing was
  // created.
  bool GetExitCode(DWORD& code) const;

  struct State;

private:
  std::shared_ptr<State> m_state;
  bool m_joinable = false;
};

// Names the calling thread for debuggers and system tools. Names are cut to 15 bytes, the most
// the system keeps; naming never fails visibly.
void SetThreadName(const char* name);

// A number that identifies the calling thread.
DWORD GetCurrentThreadId();
