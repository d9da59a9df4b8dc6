// The seventeen response handlers: the common bookkeeping of every reply, the start-up sequence
// of each device kind and, once a device is started, its fixed order of pending operations.
//
// Every handler holds the record lock for its whole body, so that sending a request and updating
// the step and flags it served happen as one step for other threads. A channel never calls a
// handler from inside SendRequest, so the handler sees its own updates only after it returns.
#include <cstdint>

#include "fielddevices/field_170.h"
#include "fielddevices/field_channel.h"
#include "fielddevices/field_commands.h"
#include "fielddevices/field_decoders.h"
#include "fielddevices/field_requests.h"
#include "fielddevices/field_rmdc.h"
#include "fielddevices/protocol_trace.h"
#include "platform/base/errors.h"
#include "support/stream.h"

namespace {

constexpr uint8_t kStarted = 255;

struct SHandlerInfo {
  const char* name;       // the handler's own name
  const char* traceName;  // the name its unknown-reason trace prints
  uint8_t expected;       // expected reply code after masking with 0x6F
  bool isAck;             // acknowledgement handlers keep step 0 on a missed reply
  bool completes;         // completes a start-up sequence: reader errors do not reset the step
  bool rmdc;              // an invalid reply also counts as missed
};

constexpr SHandlerInfo kRmdcAck = {"OnRMDCAckResponse", "OnRMDCAckResponse", 0x06, true, false, true};
constexpr SHandlerInfo kRmdcDat = {"OnRMDCDatResponse", "OnRMDCDatResponse", 0x41, false, true, true};
constexpr SHandlerInfo kRmdcErd = {"OnRMDCErdResponse", "OnRMDCErdResponse", 0x42, false, false, true};
constexpr SHandlerInfo kHarsAck = {"OnHARSAckResponse", "OnHARSAckResponse", 0x06, true, false, false};
constexpr SHandlerInfo kHarsHdat = {"OnHARSHdatResponse", "OnHARSHdatResponse", 0x27, false, false, false};
constexpr SHandlerInfo kHarsHerd = {"OnHARSHerdResponse", "OnHARSHerdResponse", 0x4A, false, true, false};
constexpr SHandlerInfo kCsAck = {"OnCSAckResponse", "OnCSAckResponse", 0x06, true, false, false};
constexpr SHandlerInfo kCsCdat = {"OnCSCdatResponse", "OnCSCdatResponse", 0x45, false, true, false};
constexpr SHandlerInfo kCsCerd = {"OnCSCerdResponse", "OnCSCerdResponse", 0x4A, false, false, false};
constexpr SHandlerInfo kRgcAck = {"OnRGCAckResponse", "OnRGCAckResponse", 0x06, true, false, false};
constexpr SHandlerInfo kRgc170Ack = {"OnRGC170AckResponse", "OnRGCAckResponse", 0x06, true, false, false};
constexpr SHandlerInfo kRgcPermissions = {"OnRGCPermissionsResponse", "OnRGC170GerdResponse", 0x44, false, false,
                                          false};
constexpr SHandlerInfo kRgcGeneralErd = {"OnRGC170GeneralErdResponse", "OnRGC170GerdResponse", 0x4D, false, false,
                                         false};
constexpr SHandlerInfo kRgcGerd = {"OnRGC170GerdResponse", "OnRGC170GerdResponse", 0x4A, false, false, false};
constexpr SHandlerInfo kRgcGdat = {"OnRGC170GdatResponse", "OnRGC170GdatResponse", 0x4E, false, true, false};
constexpr SHandlerInfo kSgcAck = {"OnSGCAckResponse", "OnSGCAckResponse", 0x06, true, false, false};
constexpr SHandlerInfo kSgcSdat = {"OnSGCSdatResponse", "OnSGCSdatResponse", 0x4A, false, true, false};

// The record as the kind the handler serves; a record of another kind is traced and ignored.
template <class T>
T* RecordOfKind(const SHandlerInfo& info, CFieldDeviceDB* record) {
  T* rec = dynamic_cast<T*>(record);
  if (rec == nullptr) ProtocolTrace("%s - record of the wrong kind.\n", info.name);
  return rec;
}

// The bookkeeping every handler shares. Returns true when a reply with the expected code arrived
// and the handler goes on with its reader.
bool Prologue(const SHandlerInfo& info, uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1,
              uint64_t p2, uint64_t p3, CFieldDeviceDB& rec) {
  switch (reason) {
    case FIELD_REASON_SENT:
      ++rec.m_nPollsSent;
      ++rec.m_nPollsTotal;
      ch.FieldResponseCallback(reason, reply, p1, p2, p3, &rec);
      return false;
    case FIELD_REASON_NO_REPLY:
      rec.RecordMissedReply();
      if (info.isAck && rec.m_nSetupStep == 0) return false;
      ch.FieldResponseCallback(reason, reply, p1, p2, p3, &rec);
      rec.m_nSetupStep = 0;
      return false;
    case FIELD_REASON_TX_ERROR:
      rec.RecordError();
      ch.FieldResponseCallback(reason, reply, p1, p2, p3, &rec);
      return false;
    case FIELD_REASON_REPLY:
    case FIELD_REASON_REPLY_KIND5:
      break;
    default:
      ProtocolTrace("%s - unknown response callback reason %i.\n", info.traceName, static_cast<int>(reason));
      return false;
  }

  if (reason == FIELD_REASON_REPLY_KIND5) {
    rec.RecordGoodReplyKind5();
  } else {
    rec.RecordGoodReply();
  }
  ch.FieldResponseCallback(reason, reply, p1, p2, p3, &rec);

  // A reply too short to hold its code byte is as invalid as one with the wrong code.
  if (reply.m_nSize < 4 || reply.m_pData == nullptr || (reply.m_pData[3] & 0x6F) != info.expected) {
    if (info.rmdc) rec.RecordMissedReply();
    ch.FieldMessageCallback(FIELD_MSG_EVENT, 0, FieldProtocolTexts[FIELD_TEXT_INVALID_RESPONSE], &rec);
    rec.m_nSetupStep = 0;
    return false;
  }
  return true;
}

// Reports a reader's rejection. Returns true when the handler stops.
bool ReaderFailed(const SHandlerInfo& info, uint32_t error, CFieldCommChannel& ch, CFieldDeviceDB& rec) {
  if (error == 0) return false;
  ch.FieldMessageCallback(FIELD_MSG_READER_ERROR, error, nullptr, &rec);
  if (!info.completes) rec.m_nSetupStep = 0;
  return true;
}

const uint8_t* Bytes(const CStream& reply) { return reply.m_pData; }
size_t Size(const CStream& reply) { return reply.m_nSize > 0 ? static_cast<size_t>(reply.m_nSize) : 0; }

// Announces the request (when a progress text is named) and sends it. When the channel accepts
// it, `onSent` clears the flag it served and sets the next step; a refusal is reported with
// kind 1 and leaves flags and step as they are, so the next reply tries again.
template <class F>
void Send(CFieldCommChannel& ch, CFieldDeviceDB& rec, int entry, uint8_t argument, int text, F onSent) {
  if (text >= 0) ch.FieldMessageCallback(FIELD_MSG_PROGRESS, 0, FieldProtocolTexts[text], &rec);
  const uint32_t result = BuildEntryRequest(entry, rec, ch, argument);
  if (result == 0) {
    onSent();
  } else {
    ch.FieldMessageCallback(FIELD_MSG_REFUSED, result, nullptr, &rec);
  }
}

void Complete(CFieldCommChannel& ch, CFieldDeviceDB& rec) {
  rec.m_nSetupStep = kStarted;
  rec.m_nSetupWord = 0;
  ch.FieldMessageCallback(FIELD_MSG_PROGRESS, 0, FieldProtocolTexts[FIELD_TEXT_START_COMPLETE], &rec);
}

auto NextStep(CFieldDeviceDB& rec, uint8_t step) {
  return [&rec, step] { rec.m_nSetupStep = step; };
}

// ---------------------------------------------------------------------------------------------
// Ramp-meter data collector

enum class RmdcHandler { Ack, Dat, Erd };

bool UsesExtendedParams(const CFieldRMDCDB& r) {
  const uint8_t v = r.FirmwareVersion();
  return (v >= 65 && v <= 149) || v >= 163;
}

void RmdcSteady(RmdcHandler h, CFieldRMDCDB& r, CFieldCommChannel& ch) {
  if (h == RmdcHandler::Dat && r.m_bReplyFlag != 0) {
    Send(ch, r, 37, 0, -1, [] {});
  } else if (r.m_bPendingClock != 0) {
    Send(ch, r, 56, 0, -1, [&r] { r.m_bPendingClock = 0; });
  } else if (r.m_nPendingReset != 0) {
    Send(ch, r, 45, r.m_nPendingReset, FIELD_TEXT_RESET, [&r] { r.m_nPendingReset = 0; });
  } else if (r.m_bPendingMeterParams != 0) {
    Send(ch, r, UsesExtendedParams(r) ? 66 : 62, 0, FIELD_TEXT_METER_PARAMS, [&r] { r.m_bPendingMeterParams = 0; });
  } else if (r.m_bPendingTimeOfDay != 0) {
    Send(ch, r, 64, 0, FIELD_TEXT_TIME_OF_DAY, [&r] { r.m_bPendingTimeOfDay = 0; });
  } else if (r.m_bPendingStationParams != 0) {
    Send(ch, r, 65, 0, FIELD_TEXT_STATION_PARAMS, [&r] { r.m_bPendingStationParams = 0; });
  } else if (r.m_nMeterFlag == 1 && r.m_bPendingMeterControl != 0) {
    Send(ch, r, 39, r.m_nMeterControl, FIELD_TEXT_METER_CONTROL, [&r] { r.m_bPendingMeterControl = 0; });
  }
}

void RmdcStep(RmdcHandler h, CFieldRMDCDB& r, CFieldCommChannel& ch) {
  const bool ack = h == RmdcHandler::Ack;
  switch (r.m_nSetupStep) {
    case kStarted:
      RmdcSteady(h, r, ch);
      return;
    case 0:
      if (ack) return Send(ch, r, 12, 3, -1, NextStep(r, 1));
      break;
    case 1:
      if (ack) return Send(ch, r, 23, 0, -1, [&r] { r.m_bPendingClock = 0; r.m_nSetupStep = 2; });
      break;
    case 2:
      if (ack) {
        return Send(ch, r, UsesExtendedParams(r) ? 33 : 29, 0, -1,
                    [&r] { r.m_bPendingMeterParams = 0; r.m_nSetupStep = 3; });
      }
      break;
    case 3:
      if (ack) return Send(ch, r, 31, 0, -1, [&r] { r.m_bPendingTimeOfDay = 0; r.m_nSetupStep = 4; });
      break;
    case 4:
      if (ack) return Send(ch, r, 32, 0, -1, [&r] { r.m_bPendingStationParams = 0; r.m_nSetupStep = 5; });
      break;
    case 5:
      if (ack) return Send(ch, r, 6, 0, -1, NextStep(r, 6));
      break;
    case 6:
      if (h == RmdcHandler::Erd) {
        if (r.m_nMeterFlag == 1) {
          return Send(ch, r, 7, r.m_nMeterControl, -1, [&r] { r.m_bPendingMeterControl = 0; r.m_nSetupStep = 8; });
        }
        return Send(ch, r, 5, 0, -1, NextStep(r, 9));
      }
      break;
    case 8:
      if (ack) return Send(ch, r, (r.AnyPendingFlag() && r.m_nMeterFlag == 1) ? 28 : 5, 0, -1, NextStep(r, 9));
      break;
    case 9:
      if (h == RmdcHandler::Dat) return Complete(ch, r);
      break;
    default:
      break;
  }
  r.m_nSetupStep = 0;
}

// ---------------------------------------------------------------------------------------------
// HARS device

enum class HarsHandler { Ack, Hdat, Herd };

void HarsSteady(HarsHandler h, CFieldHARSDB& r, CFieldCommChannel& ch) {
  if (h == HarsHandler::Herd) return;
  if (h == HarsHandler::Hdat && r.m_bReplyFlag != 0) {
    Send(ch, r, 50, 0, -1, [] {});
  } else if (r.m_bPendingClock != 0) {
    Send(ch, r, 57, 0, -1, [&r] { r.m_bPendingClock = 0; });
  } else if (r.m_bPendingSign != 0) {
    Send(ch, r, 40, r.m_nSignByte, FIELD_TEXT_SIGN_CONTROL, [&r] { r.m_bPendingSign = 0; });
  } else if (r.m_nPendingReset != 0) {
    Send(ch, r, 46, r.m_nPendingReset, FIELD_TEXT_RESET, [&r] { r.m_nPendingReset = 0; });
  }
}

void HarsStep(HarsHandler h, CFieldHARSDB& r, CFieldCommChannel& ch) {
  const bool ack = h == HarsHandler::Ack;
  switch (r.m_nSetupStep) {
    case kStarted:
      HarsSteady(h, r, ch);
      return;
    case 0:
      if (ack) return Send(ch, r, 13, 3, -1, NextStep(r, 1));
      break;
    case 1:
      if (ack) return Send(ch, r, 24, 0, -1, [&r] { r.m_bPendingClock = 0; r.m_nSetupStep = 2; });
      break;
    case 2:
      if (ack) return Send(ch, r, 10, 0, -1, NextStep(r, 3));
      break;
    case 3:
      if (h == HarsHandler::Hdat) return Send(ch, r, 17, 0, -1, NextStep(r, 4));
      break;
    case 4:
      if (h == HarsHandler::Herd) return Complete(ch, r);
      break;
    default:
      break;
  }
  r.m_nSetupStep = 0;
}

// ---------------------------------------------------------------------------------------------
// Closure signal

enum class CsHandler { Ack, Cdat, Cerd };

void CsSteady(CsHandler h, CFieldCSDB& r, CFieldCommChannel& ch) {
  if (h == CsHandler::Cdat && r.m_bReplyFlag != 0) {
    Send(ch, r, 51, 0, -1, [] {});
  } else if (r.m_bPendingCsA != 0) {
    Send(ch, r, 41, PackLaneModes(r.m_abLaneMode), FIELD_TEXT_SIGNAL_CONTROL, [&r] { r.m_bPendingCsA = 0; });
  } else if (r.m_bPendingCsB != 0) {
    Send(ch, r, 30, 0, FIELD_TEXT_CS_PARAMS, [&r] { r.m_bPendingCsB = 0; });
  } else if (r.m_nPendingReset != 0) {
    Send(ch, r, 47, r.m_nPendingReset, FIELD_TEXT_RESET, [&r] { r.m_nPendingReset = 0; });
  } else if (r.m_bPendingClock != 0) {
    Send(ch, r, 58, 0, -1, [&r] { r.m_bPendingClock = 0; });
  }
}

void CsStep(CsHandler h, CFieldCSDB& r, CFieldCommChannel& ch) {
  const bool ack = h == CsHandler::Ack;
  switch (r.m_nSetupStep) {
    case kStarted:
      CsSteady(h, r, ch);
      return;
    case 0:
      if (ack) return Send(ch, r, 14, 10, -1, NextStep(r, 1));
      break;
    case 1:
      if (ack) return Send(ch, r, 25, 0, -1, [&r] { r.m_bPendingClock = 0; r.m_nSetupStep = 2; });
      break;
    case 2:
      if (ack) return Send(ch, r, 30, 0, -1, [&r] { r.m_bPendingCsB = 0; r.m_nSetupStep = 3; });
      break;
    case 3:
      if (ack) return Send(ch, r, 51, 0, -1, NextStep(r, 4));
      break;
    case 4:
      if (h == CsHandler::Cerd) {
        return Send(ch, r, 41, PackLaneModes(r.m_abLaneMode), FIELD_TEXT_SIGNAL_CONTROL,
                    [&r] { r.m_bPendingCsA = 0; r.m_nSetupStep = 6; });
      }
      break;
    case 6:
      if (ack) return Send(ch, r, 11, 0, -1, NextStep(r, 7));
      break;
    case 7:
      if (h == CsHandler::Cdat) return Complete(ch, r);
      break;
    default:
      break;
  }
  r.m_nSetupStep = 0;
}

// ---------------------------------------------------------------------------------------------
// Gate controller on a 170

enum class RgcHandler { Ack, Ack170, Permissions, GeneralErd, Gerd, Gdat };

uint8_t GateArgument(const CFieldRGCDB& r) {
  const uint8_t code = static_cast<uint8_t>(r.m_chGateCode);
  if (code == 0x20) return static_cast<uint8_t>(0x20 | ((r.m_nGateSelector - 1) & 0xFF));
  return code;
}

void RgcSteady(RgcHandler h, CFieldRGCDB& r, CFieldCommChannel& ch) {
  if (h == RgcHandler::GeneralErd) {
    Send(ch, r, 52, 0, -1, [] {});
    return;
  }
  if (h == RgcHandler::Gdat && r.m_bReplyFlag != 0) {
    Send(ch, r, 54, 0, -1, [] {});
  } else if (r.m_bPendingClock != 0) {
    Send(ch, r, 59, 0, -1, [&r] { r.m_bPendingClock = 0; });
  } else if (r.m_bPendingA != 0) {
    Send(ch, r, 38, GateArgument(r), FIELD_TEXT_GATE_CONTROL, [&r] { r.m_bPendingA = 0; });
  } else if (r.m_nPendingReset != 0) {
    Send(ch, r, 48, r.m_nPendingReset, FIELD_TEXT_RESET, [&r] { r.m_nPendingReset = 0; });
  } else if (h != RgcHandler::Permissions && r.m_bPendingB != 0) {
    Send(ch, r, 67, 0, FIELD_TEXT_PERMISSIONS, [&r] { r.m_bPendingB = 0; });
  }
}

void RgcStep(RgcHandler h, CFieldRGCDB& r, CFieldCommChannel& ch) {
  const bool ack = h == RgcHandler::Ack || h == RgcHandler::Ack170;
  switch (r.m_nSetupStep) {
    case kStarted:
      RgcSteady(h, r, ch);
      return;
    case 0:
      if (ack) return Send(ch, r, 15, 3, -1, NextStep(r, 1));
      break;
    case 1:
      if (ack) return Send(ch, r, 26, 0, -1, [&r] { r.m_bPendingClock = 0; r.m_nSetupStep = 2; });
      break;
    case 2:
      if (ack) return Send(ch, r, 34, 0, -1, [&r] { r.m_bPendingB = 0; r.m_nSetupStep = 3; });
      break;
    case 3:
      if (h == RgcHandler::Permissions) return Send(ch, r, 21, 0, -1, NextStep(r, 4));
      break;
    case 4:
      if (h == RgcHandler::GeneralErd) return Send(ch, r, 19, 0, -1, NextStep(r, 5));
      break;
    case 5:
      if (h == RgcHandler::Gerd) return Send(ch, r, 22, 0, -1, NextStep(r, 8));
      break;
    case 8:
      if (h == RgcHandler::Gdat) return Complete(ch, r);
      break;
    default:
      break;
  }
  r.m_nSetupStep = 0;
}

// ---------------------------------------------------------------------------------------------
// Seismic gate controller

enum class SgcHandler { Ack, Sdat };

void SgcSteady(CFieldSGCDB& r, CFieldCommChannel& ch) {
  if (r.m_bPendingClock != 0) {
    Send(ch, r, 60, 0, -1, [&r] { r.m_bPendingClock = 0; });
  } else if (r.m_bPendingA != 0) {
    Send(ch, r, 42, static_cast<uint8_t>(r.m_chGateCode), FIELD_TEXT_SEISMIC_GATE_CONTROL,
         [&r] { r.m_bPendingA = 0; });
  } else if (r.m_nPendingReset != 0) {
    Send(ch, r, 49, r.m_nPendingReset, FIELD_TEXT_RESET, [&r] { r.m_nPendingReset = 0; });
  } else if (r.m_bPendingB != 0) {
    Send(ch, r, 68, 0, FIELD_TEXT_ASSOCIATE, [&r] { r.m_bPendingB = 0; });
  }
}

void SgcStep(SgcHandler h, CFieldSGCDB& r, CFieldCommChannel& ch) {
  const bool ack = h == SgcHandler::Ack;
  switch (r.m_nSetupStep) {
    case kStarted:
      SgcSteady(r, ch);
      return;
    case 0:
      if (ack) return Send(ch, r, 16, 3, -1, NextStep(r, 1));
      break;
    case 1:
      if (ack) return Send(ch, r, 35, 0, -1, [&r] { r.m_bPendingB = 0; r.m_nSetupStep = 2; });
      break;
    case 2:
      if (ack) return Send(ch, r, 27, 0, -1, [&r] { r.m_bPendingClock = 0; r.m_nSetupStep = 3; });
      break;
    case 3:
      if (ack) return Send(ch, r, 20, 0, -1, NextStep(r, 4));
      break;
    case 4:
      if (h == SgcHandler::Sdat) return Complete(ch, r);
      break;
    default:
      break;
  }
  r.m_nSetupStep = 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The handlers

#define FIELD_HANDLER_BODY(INFO, TYPE)                                  \
  TYPE* rec = RecordOfKind<TYPE>(INFO, record);                        \
  if (rec == nullptr) return;                                          \
  CFieldRecordLock lock(*rec);                                         \
  if (!Prologue(INFO, reason, ch, reply, p1, p2, p3, *rec)) return;

void OnRMDCAckResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                       uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRmdcAck, CFieldRMDCDB)
  if (ReaderFailed(kRmdcAck, ReadVersion(Bytes(reply), Size(reply), *rec, FieldVersionKind::RMDC), ch, *rec)) return;
  RmdcStep(RmdcHandler::Ack, *rec, ch);
}

void OnRMDCDatResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                       uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRmdcDat, CFieldRMDCDB)
  if (ReaderFailed(kRmdcDat, DecodeDatPreemption(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  RmdcStep(RmdcHandler::Dat, *rec, ch);
}

void OnRMDCErdResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                       uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRmdcErd, CFieldRMDCDB)
  if (ReaderFailed(kRmdcErd, DecodeErdPreemption(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  RmdcStep(RmdcHandler::Erd, *rec, ch);
}

void OnHARSAckResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                       uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kHarsAck, CFieldHARSDB)
  if (ReaderFailed(kHarsAck, ReadVersion(Bytes(reply), Size(reply), *rec, FieldVersionKind::HARS), ch, *rec)) return;
  HarsStep(HarsHandler::Ack, *rec, ch);
}

void OnHARSHdatResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                        uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kHarsHdat, CFieldHARSDB)
  if (ReaderFailed(kHarsHdat, ReadHarsStatus(Bytes(reply), Size(reply), *rec), ch, *rec)) return;
  HarsStep(HarsHandler::Hdat, *rec, ch);
}

void OnHARSHerdResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                        uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kHarsHerd, CFieldHARSDB)
  if (ReaderFailed(kHarsHerd, ReadClock(Bytes(reply), Size(reply), *rec), ch, *rec)) return;
  HarsStep(HarsHandler::Herd, *rec, ch);
}

void OnCSAckResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                     uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kCsAck, CFieldCSDB)
  if (ReaderFailed(kCsAck, ReadVersion(Bytes(reply), Size(reply), *rec, FieldVersionKind::CS), ch, *rec)) return;
  CsStep(CsHandler::Ack, *rec, ch);
}

void OnCSCdatResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                      uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kCsCdat, CFieldCSDB)
  if (ReaderFailed(kCsCdat, DecodeClosureSignalStatus(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  CsStep(CsHandler::Cdat, *rec, ch);
}

void OnCSCerdResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                      uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kCsCerd, CFieldCSDB)
  if (ReaderFailed(kCsCerd, DecodeEventReport(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  CsStep(CsHandler::Cerd, *rec, ch);
}

void OnRGCAckResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                      uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRgcAck, CFieldRGCDB)
  if (ReaderFailed(kRgcAck, ReadVersion(Bytes(reply), Size(reply), *rec, FieldVersionKind::RGC), ch, *rec)) return;
  RgcStep(RgcHandler::Ack, *rec, ch);
}

void OnRGC170AckResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                         uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRgc170Ack, CFieldRGCDB)
  if (ReaderFailed(kRgc170Ack, ReadVersion(Bytes(reply), Size(reply), *rec, FieldVersionKind::RGC), ch, *rec)) {
    return;
  }
  // The acknowledged gate release 0x20 is followed by the gate command 0x80.
  if (static_cast<uint8_t>(rec->m_chGateCode) == 0x20) {
    rec->m_chGateCode = static_cast<char>(0x80);
    Send(ch, *rec, 38, 0x80, -1, [rec] { rec->m_bPendingA = 0; });
    return;
  }
  RgcStep(RgcHandler::Ack170, *rec, ch);
}

void OnRGCPermissionsResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                              uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRgcPermissions, CFieldRGCDB)
  if (ReaderFailed(kRgcPermissions, ReadPlanBlock(Bytes(reply), Size(reply), *rec), ch, *rec)) return;
  RgcStep(RgcHandler::Permissions, *rec, ch);
}

void OnRGC170GeneralErdResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1,
                                uint64_t p2, uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRgcGeneralErd, CFieldRGCDB)
  if (ReaderFailed(kRgcGeneralErd, DecodeGeneralErrors(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  RgcStep(RgcHandler::GeneralErd, *rec, ch);
}

void OnRGC170GerdResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                          uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRgcGerd, CFieldRGCDB)
  if (ReaderFailed(kRgcGerd, ReadShortStatus(Bytes(reply), Size(reply), *rec), ch, *rec)) return;
  RgcStep(RgcHandler::Gerd, *rec, ch);
}

void OnRGC170GdatResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                          uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kRgcGdat, CFieldRGCDB)
  if (ReaderFailed(kRgcGdat, DecodePlanTransition(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  RgcStep(RgcHandler::Gdat, *rec, ch);
}

void OnSGCAckResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                      uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kSgcAck, CFieldSGCDB)
  if (ReaderFailed(kSgcAck, ReadVersion(Bytes(reply), Size(reply), *rec, FieldVersionKind::SGC), ch, *rec)) return;
  SgcStep(SgcHandler::Ack, *rec, ch);
}

void OnSGCSdatResponse(uint32_t reason, CFieldCommChannel& ch, const CStream& reply, uint64_t p1, uint64_t p2,
                       uint64_t p3, CFieldDeviceDB* record) {
  FIELD_HANDLER_BODY(kSgcSdat, CFieldSGCDB)
  if (ReaderFailed(kSgcSdat, DecodeGateStatus(Bytes(reply), Size(reply), *rec, ch), ch, *rec)) return;
  SgcStep(SgcHandler::Sdat, *rec, ch);
}
