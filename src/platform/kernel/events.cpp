#include "platform/kernel/events.h"

#include "platform/base/errors.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

namespace {

// The hub: one lock for every event's state and one condition variable that every Set wakes.
// It is built in static storage, so that no event operation allocates (a thread that ends
// signals its event when memory may have run out), and never destroyed, so events in static
// objects stay usable at exit.
struct Hub {
  std::mutex mutex;
  std::condition_variable changed;
};

Hub& TheHub() {
  alignas(Hub) static unsigned char storage[sizeof(Hub)];
  static Hub* hub = new (storage) Hub;
  return *hub;
}

}  // namespace

Event::Event(bool manualReset, bool initialState) : m_manualReset(manualReset), m_state(initialState) {}

void Event::Reinitialize(bool manualReset, bool initialState) {
  std::lock_guard<std::mutex> lock(TheHub().mutex);
  m_manualReset = manualReset;
  m_state = initialState;
}

void Event::Set() {
  Hub& hub = TheHub();
  {
    std::lock_guard<std::mutex> lock(hub.mutex);
    m_state = true;
  }
  hub.changed.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(TheHub().mutex);
  m_state = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> lock(TheHub().mutex);
  return m_state;
}

DWORD Event::Wait(DWORD timeoutMs) {
  Event* self = this;
  return WaitAny(&self, 1, timeoutMs);
}

DWORD WaitAny(Event* const* events, size_t count, DWORD timeoutMs) {
  if (events == nullptr || count == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  for (size_t i = 0; i < count; ++i) {
    if (events[i] == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return WAIT_FAILED;
    }
  }
  Hub& hub = TheHub();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(hub.mutex);
  for (;;) {
    for (size_t i = 0; i < count; ++i) {
      if (events[i]->m_state) {
        if (!events[i]->m_manualReset) events[i]->m_state = false;
        return WAIT_OBJECT_0 + static_cast<DWORD>(i);
      }
    }
    if (timeoutMs == 0) return WAIT_TIMEOUT;
    if (timeoutMs == INFINITE) {
      hub.changed.wait(lock);
    } else if (hub.changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      // One last look: an event set just at the deadline still counts.
      for (size_t i = 0; i < count; ++i) {
        if (events[i]->m_state) {
          if (!events[i]->m_manualReset) events[i]->m_state = false;
          return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
      }
      return WAIT_TIMEOUT;
    }
  }
}

DWORD WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs) {
  return WaitAny(events.begin(), events.size(), timeoutMs);
}
