#include "support/thread_access.h"

#include "platform/base/wait.h"

void CThreadAccessControl::LockShared() {
  m_cs.Enter();
  m_NoReaders.Reset();
  ++m_nReaders;
  m_cs.Leave();
}

void CThreadAccessControl::UnlockShared() {
  m_cs.Enter();
  if (m_nReaders > 0) --m_nReaders;
  if (m_nReaders == 0) m_NoReaders.Set();
  m_cs.Leave();
}

void CThreadAccessControl::LockExclusive() {
  m_NoReaders.Wait(INFINITE);
  m_cs.Enter();
  // A reader may have come in between the wait and the entry: let it finish and try again.
  while (m_NoReaders.Wait(0) == WAIT_TIMEOUT) {
    m_cs.Leave();
    m_NoReaders.Wait(INFINITE);
    m_cs.Enter();
  }
}

void CThreadAccessControl::UnlockExclusive() { m_cs.Leave(); }

void CThreadAccessControl::DowngradeLock() {
  m_NoReaders.Reset();
  ++m_nReaders;
  m_cs.Leave();
}

void CThreadAccessControl::UpgradeLock() {
  m_cs.Enter();
  if (m_nReaders > 0) --m_nReaders;
  if (m_nReaders == 0) {
    m_NoReaders.Set();
    return;
  }
  m_cs.Leave();
  LockExclusive();
}
