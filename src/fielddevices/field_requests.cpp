#include "fielddevices/field_requests.h"

#include <algorithm>
#include <cstring>

#include "fielddevices/field_170.h"
#include "fielddevices/field_channel.h"
#include "fielddevices/field_commands.h"
#include "fielddevices/field_decoders.h"
#include "fielddevices/field_rmdc.h"
#include "platform/base/errors.h"
#include "platform/kernel/time.h"
#include "support/stream.h"
#include "support/sys_time.h"
#include "support/utilities.h"

uint16_t FieldSum16(const uint8_t* p, size_t n) {
  uint16_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = static_cast<uint16_t>(sum + p[i]);
  return sum;
}

void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void WriteFrameHeader(uint8_t* out, uint8_t dropAddress, uint8_t channelByte, uint8_t code, uint8_t sequence,
                      uint8_t argument) {
  out[0] = 0x01;
  out[1] = dropAddress;
  out[2] = channelByte;
  out[3] = code;
  out[4] = sequence;
  out[5] = argument;
  PutLE16(out + 6, FieldSum16(out, 6));
}

bool BuildFrameHeader(CStream& stream, uint8_t dropAddress, uint8_t channelByte, uint8_t code, uint8_t sequence,
                      uint8_t argument) {
  // A stream that cannot grow to a whole header is left as it was: writing 8 bytes into a
  // smaller block would run past it.
  if (stream.m_nSize < 8) stream.SetSize(8, true);
  if (stream.m_nSize < 8) return false;
  stream.m_nSize = 8;
  WriteFrameHeader(stream.m_pData, dropAddress, channelByte, code, sequence, argument);
  return true;
}

namespace {

// Takes the channel's pending-list lock as a reader for the lifetime of the guard.
class CSharedPendingGuard {
 public:
  explicit CSharedPendingGuard(CFieldCommChannel& ch) : m_ch(ch) { m_ch.m_PendingLock.LockShared(); }
  ~CSharedPendingGuard() { m_ch.m_PendingLock.UnlockShared(); }
  CSharedPendingGuard(const CSharedPendingGuard&) = delete;
  CSharedPendingGuard& operator=(const CSharedPendingGuard&) = delete;

 private:
  CFieldCommChannel& m_ch;
};

}  // namespace

uint32_t AllocSequenceNumber(CFieldCommChannel& ch, uint32_t step, bool* pExhausted) {
  if (pExhausted != nullptr) *pExhausted = false;
  CSharedPendingGuard shared(ch);
  // One round through the range is enough to find a free number if there is one.
  const uint64_t range = ch.m_nSeqLast >= ch.m_nSeqFirst ? static_cast<uint64_t>(ch.m_nSeqLast) - ch.m_nSeqFirst + 1 : 1;
  uint32_t n = 0;
  for (uint64_t attempt = 0; attempt < range; ++attempt) {
    {
      CCriticalSectionGuard guard(ch.m_csSeq);
      n = ch.m_nSeqNext;
      const uint32_t sum = ch.m_nSeqNext + step;
      ch.m_nSeqNext = sum > ch.m_nSeqLast ? ch.m_nSeqFirst + (sum - ch.m_nSeqLast - 1) : sum;
    }
    if (n == 0) return 0;
    if (std::find(ch.m_Pending.begin(), ch.m_Pending.end(), static_cast<uint64_t>(n)) == ch.m_Pending.end()) {
      return n;
    }
  }
  if (pExhausted != nullptr) *pExhausted = true;
  return n;
}

namespace {

struct SFramePlan {
  int entry;
  uint32_t replyLength;  // expected reply length
  uint8_t argument;      // header byte 5
  const uint8_t* data;   // data block, or null for an 8-byte request
  size_t dataSize;       // must be the entry's request length - 10 (0 for an 8-byte request)
  int32_t priority;
};

// The steps every request shares: timing record, stream with the network address, sequence
// number and request id, header, data block with its sum, and the hand-over to the channel.
uint32_t SendFrame(const SFramePlan& plan, CFieldDeviceDB& rec, CFieldCommChannel& ch) {
  if (plan.entry < 0 || plan.entry >= FIELD_COMMAND_COUNT) return ERROR_INVALID_PARAMETER;
  const SFieldCommand& cmd = FieldCommandTable[plan.entry];
  const int length = cmd.m_nRequestLength;
  // A builder serves only the entries whose frame its data block fills exactly.
  const size_t expectedData = length > 8 ? static_cast<size_t>(length - 10) : 0;
  if (plan.dataSize != expectedData || (expectedData != 0 && plan.data == nullptr)) return ERROR_INVALID_PARAMETER;

  CMasterCommTarget timing;
  timing.m_nReplyTimeout = rec.m_nReplyTimeout;
  timing.m_nTransferTime = (static_cast<uint32_t>(length) + plan.replyLength) * rec.m_nByteTime;
  timing.m_nGroup = cmd.m_nGroup;
  timing.m_nReserved = 0;

  CStream stream;
  stream.SetSize(length, true);
  if (stream.m_nSize != length) return ERROR_NOT_ENOUGH_MEMORY;
  stream.m_nPriority = plan.priority;
  uint64_t addressBits = 0;
  if (rec.m_nLinkType >= 1 && rec.m_nLinkType <= 3) {
    stream.m_nPosition = static_cast<int64_t>(static_cast<uint64_t>(rec.m_nNetAddress) |
                                              (static_cast<uint64_t>(rec.m_nNetPort) << 32));
    addressBits = static_cast<uint64_t>(rec.m_nNetAddress) << 32;
  }

  bool exhausted = false;
  uint64_t id = addressBits | (AllocSequenceNumber(ch, 1, &exhausted) % 256);
  if (exhausted) return ERROR_BUSY;
  if (id == 0) {
    id = addressBits | (AllocSequenceNumber(ch, 1, &exhausted) % 256);
    if (exhausted) return ERROR_BUSY;
  }

  uint8_t* out = stream.m_pData;
  WriteFrameHeader(out, static_cast<uint8_t>(rec.m_nDropAddress & 0xFF), ch.m_nAddressByte, cmd.m_nCode,
                   static_cast<uint8_t>(id & 0xFF), plan.argument);
  if (expectedData != 0) {
    const size_t n = expectedData;
    std::memcpy(out + 8, plan.data, n);
    PutLE16(out + 8 + n, FieldSum16(out + 8, n));
  }
  return ch.SendRequest(stream, id, timing, cmd.m_pfnHandler, &rec);
}

uint32_t TableReplyLength(int entry) {
  if (entry < 0 || entry >= FIELD_COMMAND_COUNT) return 0;
  return static_cast<uint32_t>(FieldCommandTable[entry].m_nReplyLength);
}

uint8_t DataArgument(int entry) {
  if (entry < 0 || entry >= FIELD_COMMAND_COUNT) return 0;
  return static_cast<uint8_t>(FieldCommandTable[entry].m_nRequestLength - 11);
}

}  // namespace

uint32_t RmdcExpectedReplyLength(const CFieldRMDCDB& rec) {
  return RmdcDatReplyLength(rec.m_nLoopCount, rec.MeterCount());
}

uint32_t BuildCommandRequest(int entry, CFieldDeviceDB& rec, CFieldCommChannel& ch, uint8_t argument) {
  return SendFrame({entry, TableReplyLength(entry), argument, nullptr, 0, 0}, rec, ch);
}

uint32_t BuildSetClockRequest(int entry, CFieldDeviceDB& rec, CFieldCommChannel& ch) {
  // Local time plus 50 ms, carried through the date, so that the tenths are rounded.
  const SYSTEMTIME now = GetLocalTime();
  const int64_t day = CSysTime::GetDayNumber(now.wYear, now.wMonth, now.wDay);
  const int64_t ms = day * 86400000LL +
                     ((static_cast<int64_t>(now.wHour) * 60 + now.wMinute) * 60 + now.wSecond) * 1000 +
                     now.wMilliseconds + 50;
  const CSysTime t(ms);
  const uint8_t data[8] = {static_cast<uint8_t>(t.wYear % 100),       static_cast<uint8_t>(t.wMonth),
                           static_cast<uint8_t>(t.wDay),              static_cast<uint8_t>(t.wHour),
                           static_cast<uint8_t>(t.wMinute),           static_cast<uint8_t>(t.wSecond),
                           static_cast<uint8_t>(t.wMilliseconds / 100), static_cast<uint8_t>(t.wDayOfWeek + 1)};
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), -2}, rec, ch);
}

uint32_t BuildExtendedDataRequest(int entry, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  const uint8_t data[4] = {0x80, rec.m_abPendingData[0], rec.m_abPendingData[1], rec.m_abPendingData[2]};
  return SendFrame({entry, RmdcExpectedReplyLength(rec), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildDataRequest(int entry, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  return SendFrame({entry, RmdcExpectedReplyLength(rec), 0x80, nullptr, 0, 0}, rec, ch);
}

uint32_t BuildClosureSignalRequest(int entry, CFieldCSDB& rec, CFieldCommChannel& ch) {
  uint8_t flags = 0;
  for (int i = 0; i < 4; ++i) {
    if (rec.m_abCsOptions[i] != 0) flags = static_cast<uint8_t>(flags | (1u << i));
  }
  const uint8_t data[5] = {flags, rec.m_abCsParams[0], rec.m_abCsParams[1], rec.m_abCsParams[3],
                           rec.m_abCsParams[2]};
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildGateControlRequest(int entry, CFieldDeviceDB& rec, CFieldCommChannel& ch) {
  const uint8_t data[16] = {};
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildMeterParamsRequest(int entry, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  uint8_t data[3 * 28];
  for (int m = 0; m < 3; ++m) rec.WriteMeterBlock(m, data + 28 * m);
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildMeterParamsRequestExt(int entry, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  uint8_t data[3 * 31];
  for (int m = 0; m < 3; ++m) rec.WriteMeterBlockExt(m, data + 31 * m);
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildTimeOfDayRequest(int entry, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  uint8_t data[128];
  rec.WriteTimeOfDay(data);
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildDataStationRequest(int entry, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  uint8_t data[115];
  rec.WriteStationParams(data);
  return SendFrame({entry, TableReplyLength(entry), DataArgument(entry), data, sizeof(data), 0}, rec, ch);
}

uint32_t BuildEntryRequest(int entry, CFieldDeviceDB& rec, CFieldCommChannel& ch, uint8_t argument) {
  switch (entry) {
    case 23: case 24: case 25: case 26: case 27:
    case 56: case 57: case 58: case 59: case 60:
      return BuildSetClockRequest(entry, rec, ch);
    case 34: case 35: case 67: case 68:
      return BuildGateControlRequest(entry, rec, ch);
    case 30: case 63: {
      auto* cs = dynamic_cast<CFieldCSDB*>(&rec);
      return cs != nullptr ? BuildClosureSignalRequest(entry, *cs, ch) : ERROR_INVALID_PARAMETER;
    }
    case 5: case 36: case 28: case 61: case 29: case 62: case 33: case 66: case 31: case 64: case 32: case 65: {
      auto* r = dynamic_cast<CFieldRMDCDB*>(&rec);
      if (r == nullptr) return ERROR_INVALID_PARAMETER;
      switch (entry) {
        case 5: case 36: return BuildDataRequest(entry, *r, ch);
        case 28: case 61: return BuildExtendedDataRequest(entry, *r, ch);
        case 29: case 62: return BuildMeterParamsRequest(entry, *r, ch);
        case 33: case 66: return BuildMeterParamsRequestExt(entry, *r, ch);
        case 31: case 64: return BuildTimeOfDayRequest(entry, *r, ch);
        default: return BuildDataStationRequest(entry, *r, ch);
      }
    }
    default:
      return BuildCommandRequest(entry, rec, ch, argument);
  }
}

