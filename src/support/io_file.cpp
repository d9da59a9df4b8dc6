#include "support/io_file.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/base/errors.h"
#include "platform/kernel/time.h"

namespace {

// Clamps a 64-bit sum to 0 .. upper without overflowing.
uint64_t ClampedAdd(uint64_t base, int64_t offset, uint64_t upper) {
  const __int128 v = static_cast<__int128>(base) + offset;
  if (v < 0) return 0;
  if (v > static_cast<__int128>(upper)) return upper;
  return static_cast<uint64_t>(v);
}

// Exchanges the bytes of two streams (their blocks), so a reply is handed over without a copy.
void SwapBytes(CStream& a, CStream& b) {
  std::swap(a.m_pData, b.m_pData);
  std::swap(a.m_nSize, b.m_nSize);
  std::swap(a.m_nAllocBytes, b.m_nAllocBytes);
}

}  // namespace

CIOFile::CIOFile() = default;

CIOFile::CIOFile(DWORD* pResult, const char* name, DWORD access, DWORD disposition, DWORD share, DWORD flags) {
  const DWORD result = Open(name, access, disposition, share, flags);
  if (pResult != nullptr) *pResult = result;
}

CIOFile::~CIOFile() { Close(); }

DWORD CIOFile::Open(const char* name, DWORD access, DWORD disposition, DWORD share, DWORD flags) {
  Close();
  DWORD err = m_File.Open(name, access, share, disposition, flags & 0x3FFF);
  if (err != 0) return err;
  uint64_t size = 0;
  err = m_File.GetSize(size);
  if (err != 0) {
    m_File.Close();
    return err;
  }
  m_nFileSize = size;
  m_csReadPosition.Enter();
  m_nReadPosition = 0;
  m_csReadPosition.Leave();
  m_csWrite.Enter();
  m_nWritePosition = 0;
  m_csWrite.Leave();
  // Request ids start at a random value, so replies of an earlier open are never taken for new ones.
  unsigned seed = GetTickCount();
  m_nNextRequestId = static_cast<uint32_t>(rand_r(&seed));
  m_ReadRequests.SafeEmpty();
  m_hHandle = m_File.Descriptor();
  err = Start();
  if (err != 0) {
    m_hHandle = -1;
    m_File.Close();
    return err;
  }
  return 0;
}

void CIOFile::Close() {
  if (!IsOpen()) return;
  WaitUntilSent(IO_WAIT_FOREVER);
  Stop();
  m_ReadRequests.SafeEmpty();
  m_hHandle = -1;
  m_File.Close();
}

// Reads ----------------------------------------------------------------------------------------

DWORD CIOFile::QueueRequest(SReadRequest& request) {
  m_ReadRequests.m_cs.Enter();
  request.m_nId = m_nNextRequestId.fetch_add(1);
  if (m_ReadRequests.SafeAdd(request) < 0) {
    // Nothing would ever answer a request that is not queued.
    m_ReadRequests.m_cs.Leave();
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  SetSignalQuietly(kReadRequest);
  m_ReadRequests.m_cs.Leave();
  WakeWaiters(kReadRequest);
  return 0;
}

DWORD CIOFile::Read(CStream& s, DWORD length) {
  if (!IsOpen()) return IO_NOT_OPEN;
  // A read sees everything written before it was asked for; a write error stays queued for the
  // caller's next WaitUntilSent.
  if (WaitForQueuedWrites() != 0) return IO_ABORTED;
  if (m_nFileSize == 0) return IO_FILE_EMPTY;
  if (length == 0) return IO_BYTE_COUNT_ZERO;
  SReadRequest request;
  request.m_nSeekMode = s.m_nSeekMode;
  request.m_nOffset = s.m_nPosition;
  request.m_nLength = length;
  if (const DWORD err = QueueRequest(request)) return err;
  return WaitForReply(s, request.m_nId);
}

DWORD CIOFile::QueueRead(SReadRequest& request) {
  if (!IsOpen()) return IO_NOT_OPEN;
  if (WaitForQueuedWrites() != 0) return IO_ABORTED;
  if (m_nFileSize == 0) return IO_FILE_EMPTY;
  if (request.m_nLength == 0) return IO_BYTE_COUNT_ZERO;
  return QueueRequest(request);
}

DWORD CIOFile::WaitForReply(CStream& s, DWORD id) {
  if (!IsOpen()) return IO_NOT_OPEN;
  for (;;) {
    const uint64_t generation = ReceiveGeneration();
    if (GetReply(s, id) == 0) return 0;
    if (IsSignalled(kReceiveError)) return PopReceiveError();
    if (!SignalsExist() || IsSignalled(kReceiveStop) || IsSignalled(kThreadExited)) return IO_ABORTED;
    // Block until the receive side changes: no spinning while other ids' replies are queued.
    WaitForReceiveChange(generation);
  }
}

DWORD CIOFile::GetReply(CStream& s, DWORD id) {
  m_ReceiveQueue.m_cs.Enter();
  for (int i = 0; i < m_ReceiveQueue.m_nSize; ++i) {
    CStream* p = m_ReceiveQueue.m_pData[i];
    if (p == nullptr || p->m_nId != id) continue;
    SwapBytes(s, *p);
    s.m_nPriority = p->m_nPriority;
    s.m_nId = p->m_nId;
    s.m_nSeekMode = p->m_nSeekMode;
    s.m_nPosition = p->m_nPosition;
    m_ReceiveQueue.SafeRemoveAt(i, 1);
    if (m_ReceiveQueue.m_nSize == 0) ResetSignal(kReceivedData);
    m_ReceiveQueue.m_cs.Leave();
    return 0;
  }
  m_ReceiveQueue.m_cs.Leave();
  return IO_NO_SUCH_REPLY;
}

bool CIOFile::WaitForReceiveWork() {
  return WaitAny({kReceiveStop, kReadRequest, kThreadExited}, IO_WAIT_FOREVER, kReceiveWaiter) == 1;
}

void CIOFile::MoveReadPosition(int64_t offset, DWORD seekMode) {
  const uint64_t size = m_nFileSize;
  switch (seekMode) {
    case 0:
      m_nReadPosition = offset < 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(offset), size);
      break;
    case 1:
      m_nReadPosition = ClampedAdd(m_nReadPosition, offset, size);
      break;
    case 2:
      m_nReadPosition = offset > 0 ? size : ClampedAdd(size, offset, size);
      break;
    default:
      break;
  }
}

bool CIOFile::ReceiveOne() {
  SReadRequest request;
  m_ReadRequests.m_cs.Enter();
  if (!m_ReadRequests.SafeRemoveHead(request)) {
    ResetSignal(kReadRequest);
    m_ReadRequests.m_cs.Leave();
    return true;
  }
  if (m_ReadRequests.m_nSize == 0) ResetSignal(kReadRequest);
  m_ReadRequests.m_cs.Leave();

  m_Incoming.RemoveAll();
  if (request.m_nLength > static_cast<uint32_t>(INT_MAX)) {
    m_Incoming.Empty();
    PushReceiveError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
  }
  m_Incoming.Reserve(static_cast<int>(request.m_nLength));
  if (m_Incoming.m_pData == nullptr || m_Incoming.m_nAllocBytes < request.m_nLength) {
    // A length from a corrupt header must not make the read write through a missing block.
    m_Incoming.Empty();
    PushReceiveError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
  }
  m_Incoming.m_nId = request.m_nId;
  m_Incoming.m_nPosition = request.m_nOffset;
  m_Incoming.m_nSeekMode = request.m_nSeekMode;

  m_csReadPosition.Enter();
  MoveReadPosition(request.m_nOffset, request.m_nSeekMode);
  size_t got = 0;
  const DWORD err = m_File.ReadAt(m_nReadPosition, m_Incoming.m_pData, request.m_nLength, got);
  if (IsSignalled(kReceiveStop)) {
    // A stop wins over the read's result.
    m_csReadPosition.Leave();
    m_Incoming.Empty();
    return false;
  }
  if (err != 0 || got == 0) {
    m_csReadPosition.Leave();
    m_Incoming.Empty();
    PushReceiveError(err != 0 ? err : IO_END_OF_FILE);
    return true;
  }
  m_nReadPosition += got;
  m_csReadPosition.Leave();
  m_Incoming.m_nSize = static_cast<int>(got);
  return true;
}

// Writes ---------------------------------------------------------------------------------------

void CIOFile::SetWritePosition(int64_t offset, DWORD seekMode) {
  m_csWrite.Enter();
  switch (seekMode) {
    case 0:
      m_nWritePosition = offset < 0 ? 0 : static_cast<uint64_t>(offset);
      break;
    case 1:
      m_nWritePosition = ClampedAdd(m_nWritePosition, offset, UINT64_MAX);
      break;
    case 2:
      m_nWritePosition = ClampedAdd(m_nFileSize, offset, UINT64_MAX);
      break;
    default:
      break;
  }
  m_csWrite.Leave();
}

bool CIOFile::SendOne(CStream& s) {
  if (IsSignalled(kSendStop)) return false;
  m_csWrite.Enter();
  SetWritePosition(s.m_nPosition, s.m_nSeekMode);
  const DWORD err = m_File.WriteAt(m_nWritePosition, s.m_pData, static_cast<size_t>(s.m_nSize));
  if (err != 0) {
    m_csWrite.Leave();
    PushSendError(err);
    return !IsSignalled(kSendStop);
  }
  m_nWritePosition += static_cast<uint64_t>(s.m_nSize);
  if (m_nWritePosition > m_nFileSize) m_nFileSize = m_nWritePosition;
  m_csWrite.Leave();
  return !IsSignalled(kSendStop);
}

// Positions and length -------------------------------------------------------------------------

bool CIOFile::WaitForQueuedReads() {
  for (;;) {
    const uint64_t generation = ReceiveGeneration();
    m_ReadRequests.m_cs.Enter();
    const bool empty = m_ReadRequests.m_nSize == 0;
    m_ReadRequests.m_cs.Leave();
    if (empty) return true;
    if (!SignalsExist() || IsSignalled(kReceiveStop) || IsSignalled(kThreadExited)) return false;
    WaitForReceiveChange(generation);
  }
}

uint64_t CIOFile::Seek(int64_t offset, DWORD seekMode) {
  // A closed file, or a wait ended by a stop, leaves the position as it is.
  if (!IsOpen() || !WaitForQueuedReads()) {
    m_csReadPosition.Enter();
    const uint64_t pos = m_nReadPosition;
    m_csReadPosition.Leave();
    return pos;
  }
  m_csReadPosition.Enter();
  MoveReadPosition(offset, seekMode);
  const uint64_t pos = m_nReadPosition;
  m_csReadPosition.Leave();
  return pos;
}

uint64_t CIOFile::GetReadPosition() {
  if (IsOpen()) WaitForQueuedReads();
  m_csReadPosition.Enter();
  const uint64_t pos = m_nReadPosition;
  m_csReadPosition.Leave();
  return pos;
}

DWORD CIOFile::SetLength(uint64_t length) {
  if (!IsOpen()) return IO_NOT_OPEN;
  if (WaitForQueuedWrites() != 0) return IO_ABORTED;
  m_csWrite.Enter();
  m_csReadPosition.Enter();
  const DWORD err = m_File.SetSize(length);
  if (err == 0) {
    m_nFileSize = length;
    m_nReadPosition = std::min(m_nReadPosition, length);
    m_nWritePosition = std::min(m_nWritePosition, length);
  }
  m_csReadPosition.Leave();
  m_csWrite.Leave();
  return err;
}
