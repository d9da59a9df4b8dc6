// CThreadAccessControl: a shared/exclusive lock built from a re-entrant critical section, a
// manual-reset "no readers" event and a reader count. Readers count themselves under the section;
// a writer waits until there are no readers and then holds the section, so new readers wait while
// it writes. There is no fairness between readers and writers.
#pragma once

#include "platform/base/types.h"
#include "platform/kernel/critical_section.h"
#include "platform/kernel/events.h"

class CThreadAccessControl {
 public:
  CCriticalSection m_cs;
  Event m_NoReaders{true, true};  // set while no reader holds the lock
  DWORD m_nReaders = 0;

  CThreadAccessControl() = default;
  ~CThreadAccessControl() = default;
  CThreadAccessControl(const CThreadAccessControl&) = delete;
  CThreadAccessControl& operator=(const CThreadAccessControl&) = delete;

  void LockShared();
  void UnlockShared();
  // Returns holding the critical section, with no reader inside.
  void LockExclusive();
  void UnlockExclusive();
  // Writer to reader: counts itself as a reader and releases the section.
  void DowngradeLock();
  // Reader to writer: returns as LockExclusive does.
  void UpgradeLock();
};
