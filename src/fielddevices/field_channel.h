// The communication channel the protocol sends its requests through. The channel itself (serial
// line, modem, network) lives outside this library: a transport derives from CFieldCommChannel,
// sends each request, and later calls the request's response handler with the reasons "sent",
// "reply", "no reply" or "transmission error".
//
// Contract with the handlers:
//  - a channel never calls a handler from inside SendRequest;
//  - a channel holds none of its own locks while it calls a handler and never takes a record lock;
//  - lock order: record lock, then the pending-list lock, then the sequence lock.
#pragma once

#include <cstdint>
#include <vector>

#include "fielddevices/field_commands.h"
#include "platform/kernel/critical_section.h"
#include "support/thread_access.h"
#include "support/utilities.h"

class CStream;
class CFieldDeviceDB;

// Kinds of the message callback.
enum : int {
  FIELD_MSG_READER_ERROR = 0,  // a reply reader rejected the reply; value = its error number
  FIELD_MSG_REFUSED = 1,       // the channel refused a request; value = SendRequest's result
  FIELD_MSG_EVENT = 5,         // event or error text
  FIELD_MSG_PROGRESS = 6,      // progress or state text
};

class CFieldCommChannel {
 public:
  using MessageCallback = void (*)(int kind, CFieldCommChannel& channel, uint64_t value, const char* text,
                                   CFieldDeviceDB* record, void* ctx);
  using ResponseCallback = void (*)(uint32_t reason, CFieldCommChannel& channel, const CStream& reply,
                                    uint64_t pass1, uint64_t pass2, uint64_t ignored, CFieldDeviceDB* record,
                                    void* ctx);
  using LoopSampleCallback = void (*)(uint16_t value11, uint8_t value5, uint8_t state, void* loop);
  using MeterSampleCallback = void (*)(uint16_t first10, uint16_t second10, uint8_t value5, uint8_t high4,
                                       uint8_t low4, uint8_t value3, uint8_t state, void* loop);

  CFieldCommChannel() = default;
  CFieldCommChannel(const CFieldCommChannel&) = delete;
  CFieldCommChannel& operator=(const CFieldCommChannel&) = delete;
  virtual ~CFieldCommChannel() = default;

  // Hands one request to the transport. 0 when accepted; otherwise an error number and the
  // handler is never called for it. The stream and timing record belong to the caller.
  virtual uint32_t SendRequest(const CStream& request, uint64_t id, const CMasterCommTarget& timing,
                               FieldResponseHandler handler, CFieldDeviceDB* record) = 0;

  uint8_t m_nAddressByte = 0;  // header offset 2 of every request

  // Sequence range and the next number, guarded by m_csSeq.
  uint32_t m_nSeqFirst = 1;
  uint32_t m_nSeqLast = 255;
  uint32_t m_nSeqNext = 1;
  CCriticalSection m_csSeq;

  // Ids of the requests awaiting replies, guarded by m_PendingLock.
  CThreadAccessControl m_PendingLock;
  std::vector<uint64_t> m_Pending;

  MessageCallback m_pfnMessage = nullptr;
  void* m_pMessageCtx = nullptr;
  ResponseCallback m_pfnResponse = nullptr;
  void* m_pResponseCtx = nullptr;
  LoopSampleCallback m_pfnLoopSample = nullptr;
  MeterSampleCallback m_pfnMeterSample = nullptr;

  // Calls the message callback when one is set.
  void FieldMessageCallback(int kind, uint64_t value, const char* text, CFieldDeviceDB* record);
  // Calls the response callback when one is set.
  void FieldResponseCallback(uint32_t reason, const CStream& reply, uint64_t pass1, uint64_t pass2, uint64_t ignored,
                             CFieldDeviceDB* record);
};
