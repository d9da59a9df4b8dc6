// CIOFile: a disk file served by the send and receive threads of CIOObject. Writes are CStreams
// queued with Send and written in priority order; reads are requests performed one at a time by
// the receive thread, each reply coming back as a CStream carrying the request's id. The file keeps
// its size, a read position (always within 0..size) and a write position (which may pass the end),
// so callers can read and write sequentially or give an offset and a seek mode with each stream.
#pragma once

#include <atomic>
#include <cstdint>

#include "containers/mthread_array.h"
#include "platform/kernel/critical_section.h"
#include "platform/kernel/files.h"
#include "support/io_object.h"

// One queued read.
struct SReadRequest {
  uint32_t m_nId = 0;
  uint32_t m_nSeekMode = 1;  // 0 from the start, 1 from the read position, 2 from the end
  int64_t m_nOffset = 0;
  uint32_t m_nLength = 0;

  // Requests are ordered and matched by their id, as a signed 32-bit number.
  bool operator<(const SReadRequest& o) const { return static_cast<int32_t>(m_nId) < static_cast<int32_t>(o.m_nId); }
  bool operator>(const SReadRequest& o) const { return o < *this; }
  bool operator==(const SReadRequest& o) const { return m_nId == o.m_nId; }
};

class CIOFile : public CIOObject {
 public:
  std::atomic<uint64_t> m_nFileSize{0};
  uint64_t m_nReadPosition = 0;   // guarded by m_csReadPosition
  uint64_t m_nWritePosition = 0;  // guarded by m_csWrite
  CCriticalSection m_csReadPosition;
  CCriticalSection m_csWrite;     // also taken by callers that must hold writes off
  CScalarMThreadArray<SReadRequest> m_ReadRequests;
  std::atomic<uint32_t> m_nNextRequestId{0xFFFFFFFF};
  FileHandle m_File;

  CIOFile();
  // Opens at once; *pResult receives Open's result.
  CIOFile(DWORD* pResult, const char* name, DWORD access, DWORD disposition, DWORD share, DWORD flags);
  ~CIOFile() override;

  const char* GetReceiveThreadName() const override { return "CIOFile::ReceiveThread"; }
  const char* GetSendThreadName() const override { return "CIOFile::SendThread"; }
  bool WaitForReceiveWork() override;
  bool ReceiveOne() override;
  bool SendOne(CStream& s) override;

  // Opens (closing first) and starts the threads; 0 or the error number, the file left closed.
  virtual DWORD Open(const char* name, DWORD access, DWORD disposition, DWORD share, DWORD flags);
  // Writes everything queued, stops the threads and closes the file. Harmless when closed.
  virtual void Close();

  // Reads `length` bytes at the stream's seek mode and position into the stream; on 0 the stream
  // holds the bytes (fewer at the end of the file) and the request's id, offset and seek mode.
  DWORD Read(CStream& s, DWORD length);
  // Queues a read and writes its id into the request; the reply is collected with WaitForReply or
  // GetReply.
  DWORD QueueRead(SReadRequest& request);
  DWORD WaitForReply(CStream& s, DWORD id);
  DWORD GetReply(CStream& s, DWORD id);
  // Moves the read position once the queued reads are done; returns the new position.
  uint64_t Seek(int64_t offset, DWORD seekMode);
  uint64_t GetReadPosition();
  DWORD SetLength(uint64_t length);
  void SetWritePosition(int64_t offset, DWORD seekMode);

 private:
  DWORD QueueRequest(SReadRequest& request);
  // Waits while read requests are queued; false when the wait ended for another reason.
  bool WaitForQueuedReads();
  void MoveReadPosition(int64_t offset, DWORD seekMode);
};
