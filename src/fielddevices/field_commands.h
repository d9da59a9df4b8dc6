// The command table of the field-device protocol: for every request the code byte, the response
// handler the channel calls when the request completes, the request and expected reply lengths and
// the group passed to the channel with the timing record. Also the progress and error texts that
// the handlers hand to the channel's message callback.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

class CStream;
class CFieldCommChannel;
class CFieldDeviceDB;

// Reasons with which a channel calls a response handler.
enum : uint32_t {
  FIELD_REASON_SENT = 0,
  FIELD_REASON_REPLY = 1,
  FIELD_REASON_NO_REPLY = 3,
  FIELD_REASON_TX_ERROR = 4,
  FIELD_REASON_REPLY_KIND5 = 5,
};

// (reason, channel, reply frame, two values passed through by the channel, an ignored value, record)
using FieldResponseHandler = void (*)(uint32_t reason, CFieldCommChannel& channel, const CStream& reply,
                                      uint64_t pass1, uint64_t pass2, uint64_t ignored, CFieldDeviceDB* record);

struct SFieldCommand {
  uint8_t m_nCode;
  FieldResponseHandler m_pfnHandler;
  int16_t m_nRequestLength;
  int16_t m_nReplyLength;
  uint32_t m_nGroup;
};

constexpr int FIELD_COMMAND_COUNT = 69;
extern const SFieldCommand FieldCommandTable[FIELD_COMMAND_COUNT];

// Indexes into FieldProtocolTexts.
enum : int {
  FIELD_TEXT_START_COMPLETE = 0,
  FIELD_TEXT_INVALID_RESPONSE,
  FIELD_TEXT_METER_CONTROL,
  FIELD_TEXT_SIGN_CONTROL,
  FIELD_TEXT_SIGNAL_CONTROL,
  FIELD_TEXT_GATE_CONTROL,
  FIELD_TEXT_SEISMIC_GATE_CONTROL,
  FIELD_TEXT_RESET,
  FIELD_TEXT_METER_PARAMS,
  FIELD_TEXT_TIME_OF_DAY,
  FIELD_TEXT_STATION_PARAMS,
  FIELD_TEXT_PERMISSIONS,
  FIELD_TEXT_ASSOCIATE,
  FIELD_TEXT_CS_PARAMS,
  FIELD_TEXT_LOOP_OVERFLOW,
  FIELD_TEXT_COUNT
};
extern const char* const FieldProtocolTexts[FIELD_TEXT_COUNT];

// The seventeen response handlers.
void OnRMDCAckResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnHARSAckResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnCSAckResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnRGCAckResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnRGC170AckResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnSGCAckResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnRMDCDatResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnRMDCErdResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnHARSHdatResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnHARSHerdResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnCSCdatResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnCSCerdResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
void OnRGCPermissionsResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t,
                              CFieldDeviceDB*);
void OnRGC170GeneralErdResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t,
                                CFieldDeviceDB*);
void OnRGC170GerdResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t,
                          CFieldDeviceDB*);
void OnRGC170GdatResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t,
                          CFieldDeviceDB*);
void OnSGCSdatResponse(uint32_t, CFieldCommChannel&, const CStream&, uint64_t, uint64_t, uint64_t, CFieldDeviceDB*);
