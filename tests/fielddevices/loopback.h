// Test doubles for the field-device protocol: a deterministic loopback channel that records every
// request and delivers the replies of a scripted device simulator, a capture of the message
// callback and of the trace output, and a fixed local clock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fielddevices/field_170.h"
#include "fielddevices/field_channel.h"
#include "fielddevices/field_commands.h"
#include "fielddevices/field_decoders.h"
#include "fielddevices/field_requests.h"
#include "fielddevices/field_rmdc.h"
#include "fielddevices/protocol_trace.h"
#include "platform/kernel/time.h"
#include "support/stream.h"
#include "support/utilities.h"

namespace fdtest {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const CStream& s) { return Bytes(s.m_pData, s.m_pData + (s.m_nSize > 0 ? s.m_nSize : 0)); }

inline CStream FromBytes(const Bytes& b) {
  return CStream(b.data(), static_cast<int>(b.size()));
}

// "01 05 1A" -> bytes
inline Bytes Hex(const std::string& text) {
  Bytes out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

inline std::string HexOf(const Bytes& b) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < b.size(); ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", b[i]);
    s += buf;
  }
  return s;
}

struct SSent {
  Bytes bytes;
  int32_t priority;
  int64_t position;
  uint64_t id;
  uint32_t timing[4];
  FieldResponseHandler handler;
  CFieldDeviceDB* record;

  uint8_t Code() const { return bytes.size() > 3 ? bytes[3] : 0; }
  uint8_t Arg() const { return bytes.size() > 5 ? bytes[5] : 0; }
};

struct SMessage {
  int kind;
  uint64_t value;
  std::string text;
};

// What the simulated device does with one request.
struct SAnswer {
  uint32_t reason;  // 1 or 5 with bytes; 3 no reply; 4 transmission error
  Bytes bytes;
};

// Answers by response handler with the expected code and length, echoing drop address, channel
// byte and sequence, with both sums filled. Switches inject the faults.
class SimController {
 public:
  uint8_t m_nFirmware = 70;
  bool m_bErrorBit = false;     // set bit 7 of the code byte
  int m_nWrongCode = -1;        // answer with this code instead
  int m_nShortLength = -1;      // cut every reply to this length
  bool m_bNoReply = false;
  bool m_bTxError = false;
  uint32_t m_nReason = FIELD_REASON_REPLY;
  // Data bytes (from offset 8) preset per reply code.
  std::map<uint8_t, Bytes> m_Data;

  SAnswer Answer(const SSent& req) const {
    if (m_bNoReply) return {FIELD_REASON_NO_REPLY, {}};
    if (m_bTxError) return {FIELD_REASON_TX_ERROR, {}};
    uint8_t code = 0x06;
    size_t length = 8;
    uint8_t byte5 = m_nFirmware;
    ReplyShape(req, code, length, byte5);
    Bytes r(length, 0);
    r[0] = 0x01;
    r[1] = req.bytes[1];
    r[2] = req.bytes[2];
    r[3] = static_cast<uint8_t>((m_nWrongCode >= 0 ? m_nWrongCode : code) | (m_bErrorBit ? 0x80 : 0));
    r[4] = req.bytes[4];
    r[5] = byte5;
    PutLE16(&r[6], FieldSum16(r.data(), 6));
    auto it = m_Data.find(code);
    if (it != m_Data.end()) {
      for (size_t i = 0; i < it->second.size() && 8 + i + 2 <= length; ++i) r[8 + i] = it->second[i];
    }
    if (length > 10) PutLE16(&r[length - 2], FieldSum16(&r[8], length - 10));
    if (m_nShortLength >= 0 && static_cast<size_t>(m_nShortLength) < r.size()) r.resize(m_nShortLength);
    return {m_nReason, r};
  }

 private:
  static void ReplyShape(const SSent& req, uint8_t& code, size_t& length, uint8_t& byte5) {
    const FieldResponseHandler h = req.handler;
    auto set = [&](uint8_t c, size_t l) {
      code = c;
      length = l;
      byte5 = 0;
    };
    if (h == OnRMDCDatResponse) {
      auto* r = dynamic_cast<CFieldRMDCDB*>(req.record);
      set(0x41, RmdcDatReplyLength(r->m_nLoopCount, r->MeterCount()));
      byte5 = static_cast<uint8_t>(RmdcDatLengthByte(r->m_nLoopCount, r->MeterCount()));
    } else if (h == OnRMDCErdResponse) {
      set(0x42, 63);
    } else if (h == OnHARSHdatResponse) {
      set(0x27, 8);
    } else if (h == OnHARSHerdResponse) {
      set(0x4A, 20);
    } else if (h == OnCSCdatResponse) {
      set(0x45, 32);
    } else if (h == OnCSCerdResponse) {
      set(0x4A, 36);
    } else if (h == OnRGCPermissionsResponse) {
      set(0x44, 46);
    } else if (h == OnRGC170GerdResponse) {
      set(0x4A, 186);
    } else if (h == OnRGC170GeneralErdResponse) {
      set(0x4D, 173);
    } else if (h == OnRGC170GdatResponse) {
      set(0x4E, 21);
    } else if (h == OnSGCSdatResponse) {
      set(0x4A, 154);
    }
  }
};

class CLoopbackChannel : public CFieldCommChannel {
 public:
  std::vector<SSent> m_Sent;
  std::deque<SSent> m_Queue;
  std::vector<SMessage> m_Messages;
  std::vector<uint32_t> m_Reasons;
  uint32_t m_nRefusal = 0;

  CLoopbackChannel() {
    m_nAddressByte = 1;
    m_pfnMessage = [](int kind, CFieldCommChannel& ch, uint64_t value, const char* text, CFieldDeviceDB*, void*) {
      static_cast<CLoopbackChannel&>(ch).m_Messages.push_back({kind, value, text != nullptr ? text : ""});
    };
    m_pfnResponse = [](uint32_t reason, CFieldCommChannel& ch, const CStream&, uint64_t, uint64_t, uint64_t,
                       CFieldDeviceDB*, void*) { static_cast<CLoopbackChannel&>(ch).m_Reasons.push_back(reason); };
  }

  uint32_t SendRequest(const CStream& request, uint64_t id, const CMasterCommTarget& timing,
                       FieldResponseHandler handler, CFieldDeviceDB* record) override {
    if (m_nRefusal != 0) return m_nRefusal;
    SSent s{ToBytes(request),
            request.m_nPriority,
            request.m_nPosition,
            id,
            {timing.m_nReplyTimeout, timing.m_nTransferTime, timing.m_nGroup, timing.m_nReserved},
            handler,
            record};
    m_Sent.push_back(s);
    m_Queue.push_back(s);
    m_PendingLock.LockExclusive();
    m_Pending.push_back(id);
    m_PendingLock.UnlockExclusive();
    return 0;
  }

  // Delivers the oldest request: "sent", then the simulator's answer.
  bool DeliverNext(const SimController& sim) {
    if (m_Queue.empty()) return false;
    SSent s = m_Queue.front();
    m_Queue.pop_front();
    CStream empty;
    s.handler(FIELD_REASON_SENT, *this, empty, 0, 0, 0, s.record);
    const SAnswer a = sim.Answer(s);
    m_PendingLock.LockExclusive();
    for (auto it = m_Pending.begin(); it != m_Pending.end(); ++it) {
      if (*it == s.id) {
        m_Pending.erase(it);
        break;
      }
    }
    m_PendingLock.UnlockExclusive();
    CStream reply = FromBytes(a.bytes);
    s.handler(a.reason, *this, reply, 0, 0, 0, s.record);
    return true;
  }

  int RunUntilIdle(const SimController& sim, int maxSteps = 64) {
    int steps = 0;
    while (steps < maxSteps && DeliverNext(sim)) ++steps;
    return steps;
  }

  std::vector<std::string> Texts(int kind) const {
    std::vector<std::string> out;
    for (const auto& m : m_Messages) {
      if (m.kind == kind) out.push_back(m.text);
    }
    return out;
  }
  std::vector<std::string> AllTexts() const {
    std::vector<std::string> out;
    for (const auto& m : m_Messages) {
      if (!m.text.empty()) out.push_back(m.text);
    }
    return out;
  }
};

// Captures ProtocolTrace output while it lives.
class TraceCapture {
 public:
  std::string m_Text;
  TraceCapture() {
    SetProtocolTraceSink([](const char* text, void* ctx) { static_cast<TraceCapture*>(ctx)->m_Text += text; }, this);
  }
  ~TraceCapture() { SetProtocolTraceSink(nullptr, nullptr); }
};

// Fixes the local clock while it lives.
class FixedClock {
 public:
  FixedClock(int year, int month, int day, int hour, int minute, int second, int ms) {
    Set(year, month, day, hour, minute, second, ms);
  }
  void Set(int year, int month, int day, int hour, int minute, int second, int ms) {
    SYSTEMTIME t;
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(ms);
    t.wDayOfWeek = 0;
    SetLocalTimeSource([t] { return t; });
  }
  ~FixedClock() { SetLocalTimeSource({}); }
};

}  // namespace fdtest
