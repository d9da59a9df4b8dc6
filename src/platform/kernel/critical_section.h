// A re-entrant lock: the thread that holds it may enter it again (and must leave it as often).
//
// Queues shared between threads expose theirs as a public member so that an owner can make a
// compound step atomic; `CCriticalSectionGuard` leaves the section on every path out of a scope.
// The Windows-style names let code written against that API read unchanged.
#pragma once

#include <mutex>

class CCriticalSection {
 public:
  CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() { m_mutex.lock(); }
  bool TryEnter() { return m_mutex.try_lock(); }
  void Leave() { m_mutex.unlock(); }

  // BasicLockable, so std::scoped_lock and friends work too.
  void lock() { Enter(); }
  bool try_lock() { return TryEnter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex m_mutex;
};

// Enters the section on construction and leaves it on destruction.
class CCriticalSectionGuard {
 public:
  explicit CCriticalSectionGuard(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
  ~CCriticalSectionGuard() { m_cs.Leave(); }
  CCriticalSectionGuard(const CCriticalSectionGuard&) = delete;
  CCriticalSectionGuard& operator=(const CCriticalSectionGuard&) = delete;

 private:
  CCriticalSection& m_cs;
};

using CRITICAL_SECTION = CCriticalSection;
// The section is ready when constructed and released when destroyed, so these two do nothing.
inline void InitializeCriticalSection(CCriticalSection*) {}
inline void DeleteCriticalSection(CCriticalSection*) {}
inline void EnterCriticalSection(CCriticalSection* pcs) { pcs->Enter(); }
inline bool TryEnterCriticalSection(CCriticalSection* pcs) { return pcs->TryEnter(); }
inline void LeaveCriticalSection(CCriticalSection* pcs) { pcs->Leave(); }
