#include "support/io_object.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "platform/base/errors.h"
#include "platform/kernel/address_space.h"
#include "platform/kernel/threads.h"

std::atomic<int> CIOObject::s_nFailNextThreadStarts{0};

namespace {

bool IsAutoReset(CIOObject::ESignal e) {
  return e == CIOObject::kReceiveStarted || e == CIOObject::kSendStarted;
}

// Signals that change what a reply waiter may find.
bool ChangesReceiveSide(CIOObject::ESignal e) {
  return e == CIOObject::kReceivedData || e == CIOObject::kReceiveError || e == CIOObject::kReceiveStop ||
         e == CIOObject::kThreadExited;
}

}  // namespace

CIOObject::CIOObject() = default;

CIOObject::~CIOObject() {
  // A derived class closes (and so stops) first; this is a last guard against running threads.
  Stop();
}

// Signals ---------------------------------------------------------------------------------------

void CIOObject::Wake(ESignal e) {
  if (e == kSendStop || e == kDataQueued || e == kThreadExited) m_SendWake.notify_all();
  if (e == kReceiveStop || e == kReadRequest || e == kThreadExited) m_ReceiveWake.notify_all();
  if (e != kDataQueued && e != kReadRequest) m_CallerWake.notify_all();
}

void CIOObject::WakeAll() {
  m_SendWake.notify_all();
  m_ReceiveWake.notify_all();
  m_CallerWake.notify_all();
}

void CIOObject::SetSignal(ESignal e) {
  SetSignalQuietly(e);
  Wake(e);
}

void CIOObject::SetSignalQuietly(ESignal e) {
  std::lock_guard<std::mutex> lock(m_SignalMutex);
  if (!m_bSignalsExist) return;
  m_Signals[e] = true;
  if (ChangesReceiveSide(e)) ++m_nReceiveGeneration;
}

void CIOObject::ResetSignal(ESignal e) {
  std::lock_guard<std::mutex> lock(m_SignalMutex);
  m_Signals[e] = false;
}

bool CIOObject::IsSignalled(ESignal e) {
  std::lock_guard<std::mutex> lock(m_SignalMutex);
  return m_bSignalsExist && m_Signals[e];
}

bool CIOObject::SignalsExist() {
  std::lock_guard<std::mutex> lock(m_SignalMutex);
  return m_bSignalsExist;
}

DWORD CIOObject::WaitAny(std::initializer_list<ESignal> signals, DWORD nTimeoutMs, EWaiter waiter) {
  std::condition_variable& wake =
      waiter == kSendWaiter ? m_SendWake : waiter == kReceiveWaiter ? m_ReceiveWake : m_CallerWake;
  std::unique_lock<std::mutex> lock(m_SignalMutex);
  DWORD chosen = IO_TIMEOUT;
  auto ready = [&]() {
    if (!m_bSignalsExist) {
      chosen = IO_ABORTED;
      return true;
    }
    DWORD i = 0;
    for (ESignal e : signals) {
      if (m_Signals[e]) {
        if (IsAutoReset(e)) m_Signals[e] = false;
        chosen = i;
        return true;
      }
      ++i;
    }
    return false;
  };
  if (nTimeoutMs == IO_WAIT_FOREVER) {
    wake.wait(lock, ready);
  } else if (!wake.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), ready)) {
    chosen = IO_TIMEOUT;
  }
  return chosen;
}

uint64_t CIOObject::ReceiveGeneration() {
  std::lock_guard<std::mutex> lock(m_SignalMutex);
  return m_nReceiveGeneration;
}

void CIOObject::WaitForReceiveChange(uint64_t generation) {
  std::unique_lock<std::mutex> lock(m_SignalMutex);
  m_CallerWake.wait(lock, [&] { return m_nReceiveGeneration != generation || !m_bSignalsExist; });
}

void CIOObject::NotifyReceiveChange() {
  {
    std::lock_guard<std::mutex> lock(m_SignalMutex);
    ++m_nReceiveGeneration;
  }
  m_CallerWake.notify_all();
}

void CIOObject::ResetAllSignals() {
  std::lock_guard<std::mutex> lock(m_SignalMutex);
  std::fill(std::begin(m_Signals), std::end(m_Signals), false);
}

// Start and stop --------------------------------------------------------------------------------

DWORD CIOObject::StartThread(pthread_t& thread, std::atomic<bool>& started, void* (*proc)(void*)) {
  int err = 0;
  if (s_nFailNextThreadStarts.load() > 0 && s_nFailNextThreadStarts.fetch_sub(1) > 0) {
    err = EAGAIN;
  } else {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kThreadStackBytes);
    // A stack that would take the window system's room is not made.
    err = qav::RoomForThread(&attr) ? pthread_create(&thread, &attr, proc, this) : ENOMEM;
    pthread_attr_destroy(&attr);
  }
  if (err == 0) {
    started = true;
    return 0;
  }
  started = false;
  return (err == EAGAIN || err == ENOMEM) ? ERROR_NOT_ENOUGH_MEMORY : ErrnoToWinError(err);
}

DWORD CIOObject::Start() {
  // A restarted object must not report a previous run's errors as its own.
  m_SendErrors.m_cs.Enter();
  m_SendErrors.SafeEmpty();
  m_SendErrors.m_cs.Leave();
  m_ReceiveErrors.m_cs.Enter();
  m_ReceiveErrors.SafeEmpty();
  m_ReceiveErrors.m_cs.Leave();
  {
    std::lock_guard<std::mutex> lock(m_SignalMutex);
    std::fill(std::begin(m_Signals), std::end(m_Signals), false);
    m_Signals[kSendQueueEmpty] = true;
    m_bSignalsExist = true;
  }

  m_bSendRunning = true;
  DWORD err = StartThread(m_SendThread, m_bSendThreadStarted, &CIOObject::SendThreadProc);
  if (err != 0) {
    Stop();
    return err;
  }
  m_bReceiveRunning = true;
  err = StartThread(m_ReceiveThread, m_bReceiveThreadStarted, &CIOObject::ReceiveThreadProc);
  if (err != 0) {
    Stop();
    return err;
  }
  WaitAny({kSendStarted}, IO_WAIT_FOREVER);
  WaitAny({kReceiveStarted}, IO_WAIT_FOREVER);
  return 0;
}

void CIOObject::Stop() {
  SetSignal(kSendStop);
  SetSignal(kReceiveStop);
  NotifyReceiveChange();
  if (m_bSendThreadStarted) {
    pthread_join(m_SendThread, nullptr);
    m_bSendThreadStarted = false;
  }
  if (m_bReceiveThreadStarted) {
    pthread_join(m_ReceiveThread, nullptr);
    m_bReceiveThreadStarted = false;
  }
  {
    std::lock_guard<std::mutex> lock(m_SignalMutex);
    std::fill(std::begin(m_Signals), std::end(m_Signals), false);
    m_bSignalsExist = false;
    ++m_nReceiveGeneration;
  }
  WakeAll();
  m_bReceiveRunning = false;
  m_bSendRunning = false;
  m_SendQueue.SafeEmpty();
  m_ReceiveQueue.SafeEmpty();
  m_Incoming.Empty();
}

// Threads ---------------------------------------------------------------------------------------

void* CIOObject::ReceiveThreadProc(void* arg) {
  qav::MarkDataThread(kThreadStackBytes);
  CIOObject* self = static_cast<CIOObject*>(arg);
  SetThreadName(self->GetReceiveThreadName(), static_cast<DWORD>(-1));
  self->SetSignal(kReceiveStarted);
  while (self->m_bReceiveRunning && self->WaitForReceiveWork() && self->ReceiveOne()) {
    if (self->m_Incoming.m_nSize > 0) {
      // The queued stream takes over the incoming block and its four fields (no copy of the
      // bytes); the incoming stream is left empty for the next read.
      CStream* reply = new (std::nothrow) CStream;
      if (reply == nullptr) {
        self->m_Incoming.Empty();
        self->PushReceiveError(ERROR_NOT_ENOUGH_MEMORY);
        continue;
      }
      std::swap(reply->m_pData, self->m_Incoming.m_pData);
      std::swap(reply->m_nSize, self->m_Incoming.m_nSize);
      std::swap(reply->m_nAllocBytes, self->m_Incoming.m_nAllocBytes);
      reply->m_nPriority = self->m_Incoming.m_nPriority;
      reply->m_nId = self->m_Incoming.m_nId;
      reply->m_nSeekMode = self->m_Incoming.m_nSeekMode;
      reply->m_nPosition = self->m_Incoming.m_nPosition;
      self->m_Incoming.Empty();
      self->m_ReceiveQueue.m_cs.Enter();
      const bool queued = self->m_ReceiveQueue.Add(&reply) >= 0;
      if (queued) self->SetSignalQuietly(kReceivedData);
      self->m_ReceiveQueue.m_cs.Leave();
      if (queued) {
        self->WakeWaiters(kReceivedData);
      } else {
        // A reply that cannot be queued would leave its reader waiting for ever.
        delete reply;
        self->PushReceiveError(ERROR_NOT_ENOUGH_MEMORY);
      }
    }
  }
  self->SetSignal(kThreadExited);
  return nullptr;
}

void* CIOObject::SendThreadProc(void* arg) {
  qav::MarkDataThread(kThreadStackBytes);
  CIOObject* self = static_cast<CIOObject*>(arg);
  SetThreadName(self->GetSendThreadName(), static_cast<DWORD>(-1));
  self->SetSignal(kSendStarted);
  CObjMThreadArray<CStream>& queue = self->m_SendQueue;
  while (self->m_bSendRunning && self->WaitForSendWork()) {
    queue.m_cs.Enter();
    CStream* taken = nullptr;
    while (queue.m_nSize > 0) {
      // Take ownership of the head: a null entry is skipped when the array deletes it.
      taken = queue.m_pData[0];
      queue.m_pData[0] = nullptr;
      queue.SafeRemoveAt(0, 1);
      if (taken == nullptr) continue;
      queue.m_cs.Leave();
      const bool goOn = self->SendOne(*taken);
      delete taken;
      if (!goOn) {
        self->SetSignal(kThreadExited);
        return nullptr;
      }
      queue.m_cs.Enter();
    }
    self->ResetSignal(kDataQueued);
    self->SetSignalQuietly(kSendQueueEmpty);
    queue.m_cs.Leave();
    self->WakeWaiters(kSendQueueEmpty);
  }
  self->SetSignal(kThreadExited);
  return nullptr;
}

bool CIOObject::WaitForSendWork() {
  return WaitAny({kSendStop, kDataQueued, kThreadExited}, IO_WAIT_FOREVER, kSendWaiter) == 1;
}

// Queues ----------------------------------------------------------------------------------------

DWORD CIOObject::Send(const CStream& s) {
  if (!IsOpen()) return IO_NOT_OPEN;
  if (s.m_nSize <= 0) return IO_BYTE_COUNT_ZERO;
  // Nothing would ever write it once the send thread has ended.
  if (!m_bSendThreadStarted || IsSignalled(kThreadExited) || IsSignalled(kSendStop)) return IO_ABORTED;
  // The copy carries the bytes and all four fields; one that cannot be made in full is refused
  // rather than written short or not at all.
  CStream* copy = new (std::nothrow) CStream(s);
  if (copy == nullptr || copy->m_nSize != s.m_nSize) {
    delete copy;
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  m_SendQueue.m_cs.Enter();
  // After every queued stream of equal or lower priority.
  int at = m_SendQueue.m_nSize;
  while (at > 0 && m_SendQueue.m_pData[at - 1]->m_nPriority > copy->m_nPriority) --at;
  if (m_SendQueue.InsertAt(at, &copy) < 0) {
    m_SendQueue.m_cs.Leave();
    delete copy;
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  SetSignalQuietly(kDataQueued);
  ResetSignal(kSendQueueEmpty);
  m_SendQueue.m_cs.Leave();
  WakeWaiters(kDataQueued);
  return 0;
}

DWORD CIOObject::WaitUntilSent(DWORD nTimeoutMs) {
  if (!IsOpen()) return IO_NOT_OPEN;
  switch (WaitAny({kSendStop, kSendQueueEmpty, kThreadExited}, nTimeoutMs)) {
    case 1:
      return PopSendError();
    case IO_TIMEOUT:
      return IO_TIMEOUT;
    default:
      return IO_ABORTED;
  }
}

DWORD CIOObject::WaitForQueuedWrites() {
  return WaitAny({kSendStop, kSendQueueEmpty, kThreadExited}, IO_WAIT_FOREVER) == 1 ? 0 : IO_ABORTED;
}

DWORD CIOObject::Receive(CStream& s) {
  m_ReceiveQueue.m_cs.Enter();
  if (m_ReceiveQueue.m_nSize == 0) {
    ResetSignal(kReceivedData);
    m_ReceiveQueue.m_cs.Leave();
    return IO_NOTHING_RECEIVED;
  }
  m_ReceiveQueue.SafeRemoveHead(s);
  if (m_ReceiveQueue.m_nSize == 0) ResetSignal(kReceivedData);
  m_ReceiveQueue.m_cs.Leave();
  return 0;
}

DWORD CIOObject::WaitForEvent(DWORD nTimeoutMs) {
  if (!IsOpen()) return IO_NOT_OPEN;
  switch (WaitAny({kReceiveStop, kReceivedData, kReceiveError, kSendError}, nTimeoutMs)) {
    case 1:
      return 0;
    case 2:
      return PopReceiveError();
    case 3:
      return PopSendError();
    case IO_TIMEOUT:
      return IO_TIMEOUT;
    default:
      return IO_ABORTED;
  }
}

DWORD CIOObject::PopReceiveError() {
  m_ReceiveErrors.m_cs.Enter();
  DWORD code = 0;
  m_ReceiveErrors.SafeRemoveHead(code);
  if (m_ReceiveErrors.m_nSize == 0) ResetSignal(kReceiveError);
  m_ReceiveErrors.m_cs.Leave();
  return code;
}

DWORD CIOObject::PopSendError() {
  m_SendErrors.m_cs.Enter();
  DWORD code = 0;
  m_SendErrors.SafeRemoveHead(code);
  if (m_SendErrors.m_nSize == 0) ResetSignal(kSendError);
  m_SendErrors.m_cs.Leave();
  return code;
}

void CIOObject::PushReceiveError(DWORD code) {
  m_ReceiveErrors.m_cs.Enter();
  m_ReceiveErrors.SafeAdd(code);
  SetSignal(kReceiveError);
  m_ReceiveErrors.m_cs.Leave();
}

void CIOObject::PushSendError(DWORD code) {
  m_SendErrors.m_cs.Enter();
  m_SendErrors.SafeAdd(code);
  SetSignal(kSendError);
  m_SendErrors.m_cs.Leave();
}

// Thread names and error texts --------------------------------------------------------------------

void CIOObject::SetThreadName(const char* name, DWORD threadId) {
  // The platform cuts the name to the 15 bytes the kernel keeps.
  if (name != nullptr && threadId == static_cast<DWORD>(-1)) ::SetThreadName(name);
}

namespace {

void AppendWin32NumberText(CStream& s, DWORD code) {
  if (code < 0x10000) {
    if (const char* text = GetSystemErrorText(code)) {
      const size_t n = std::strlen(text);
      s.AppendText(text, static_cast<int>(n >= 2 ? n - 2 : 0));
      return;
    }
  } else if (const char* serial = GetSerialErrorText(code)) {
    s.AppendString(serial);
    return;
  }
  s.AppendFormat("Win32 Error Code %u", static_cast<unsigned>(code));
}

}  // namespace

int CIOObject::GetErrorText(char* buf, int size, DWORD code, const char* text, const char* prefix) {
  if (buf == nullptr || size < 2) {
    if (buf != nullptr && size == 1) buf[0] = 0;
    return 0;
  }
  CStream s;
  if (prefix != nullptr) {
    s.AppendString(prefix);
    s.AppendString(": ");
  }
  if (text != nullptr) s.AppendString(text);
  AppendWin32NumberText(s, code);
  const int n = std::min(s.m_nSize, size - 1);
  if (n > 0) std::memcpy(buf, s.m_pData, static_cast<size_t>(n));
  buf[n] = 0;
  return n;
}

int CIOObject::PrintErrorText(DWORD code, const char* text, const char* prefix) {
  int count = 0;
  if (prefix != nullptr) count += std::printf("%s: ", prefix);
  if (text != nullptr) count += std::printf("%s", text);
  if (code < 0x10000) {
    if (const char* system = GetSystemErrorText(code)) {
      count += std::printf("%s", system);
    } else {
      count += std::printf("Win32 Error Code %u\n", static_cast<unsigned>(code));
    }
  } else if (const char* serial = GetSerialErrorText(code)) {
    count += std::printf("%s\n", serial);
  } else {
    count += std::printf("Win32 Error Code %u\n", static_cast<unsigned>(code));
  }
  std::fflush(stdout);
  return count;
}
