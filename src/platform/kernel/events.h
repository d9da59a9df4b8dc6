// Events and waits. An event is manual-reset (stays signalled until reset) or auto-reset (a wait
// that chooses it consumes it, so exactly one waiter is released per Set). WaitAny waits for the
// first of several events: when several are signalled the lowest-numbered one wins, and only that
// one is consumed (and only if it is auto-reset). The list order is therefore a priority order.
//
// An event lives as long as its owner; destroying one while a thread waits on it is a programming
// error. Every event shares one process-wide lock and condition variable, so a waiter on several
// events wakes for any of them.
#pragma once

#include "platform/base/types.h"
#include "platform/base/wait.h"

#include <cstddef>
#include <initializer_list>

class Event {
public:
  explicit Event(bool manualReset = true, bool initialState = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Gives the event a new reset mode and state, as a freshly created one (no thread may be
  // waiting on it).
  void Reinitialize(bool manualReset, bool initialState);

  void Set();
  void Reset();
  bool IsSet() const;  // the state, without consuming it
  bool IsManualReset() const { return m_manualReset; }

  // WAIT_OBJECT_0 when signalled (consuming an auto-reset event), WAIT_TIMEOUT after `timeoutMs`
  // (0 polls, INFINITE waits for ever).
  DWORD Wait(DWORD timeoutMs);

private:
  friend DWORD WaitAny(Event* const* events, size_t count, DWORD timeoutMs);
  bool m_manualReset;
  bool m_state;
};

// WAIT_OBJECT_0 + the index of the lowest-numbered signalled event; WAIT_TIMEOUT; WAIT_FAILED
// (last error 87) for an empty list or a null entry.
DWORD WaitAny(Event* const* events, size_t count, DWORD timeoutMs);
DWORD WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs);
