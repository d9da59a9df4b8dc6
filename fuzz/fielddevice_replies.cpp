// Fuzzes the field-device reply decoders and the response handlers with arbitrary reply frames.
// Byte 0 selects the decoder or handler, byte 1 shapes the record (loops, meters, start-up step),
// the rest is the reply. Decoders get a buffer of exactly the reply's size so that any read past
// its end is caught.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fielddevices/field_170.h"
#include "fielddevices/field_channel.h"
#include "fielddevices/field_commands.h"
#include "fielddevices/field_decoders.h"
#include "fielddevices/field_rmdc.h"
#include "fielddevices/protocol_trace.h"
#include "support/stream.h"

namespace {

// Accepts every request and never answers.
class CDropChannel : public CFieldCommChannel {
 public:
  uint32_t SendRequest(const CStream&, uint64_t, const CMasterCommTarget&, FieldResponseHandler,
                       CFieldDeviceDB*) override {
    return 0;
  }
};

void Sample(uint16_t, uint8_t, uint8_t, void*) {}
void Meter(uint16_t, uint16_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, void*) {}
void Message(int, CFieldCommChannel&, uint64_t, const char* text, CFieldDeviceDB*, void*) {
  if (text != nullptr) (void)std::strlen(text);
}

void ShapeCollector(CFieldRMDCDB& r, uint8_t shape) {
  r.m_nLoopCount = shape & 0x0F;
  for (int i = 0; i < (shape >> 4); ++i) r.AddStation(static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 13));
  for (int i = 0; i < 40; i += 3) r.m_aLoops[i].m_bActive = 1;
  r.m_aLoops[6].m_bDisabled = 1;
  r.m_aLoops[7].m_bFlagged = 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static bool quiet = [] {
    SetProtocolTraceSink([](const char*, void*) {}, nullptr);
    return true;
  }();
  (void)quiet;

  const uint8_t selector = data[0];
  const uint8_t shape = data[1];
  const size_t n = size - 2;
  std::unique_ptr<uint8_t[]> reply(new uint8_t[n > 0 ? n : 1]);
  if (n > 0) std::memcpy(reply.get(), data + 2, n);

  CDropChannel ch;
  ch.m_pfnMessage = Message;
  ch.m_pfnLoopSample = Sample;
  ch.m_pfnMeterSample = Meter;

  CFieldRMDCDB rmdc;
  ShapeCollector(rmdc, shape);
  CFieldCSDB cs;
  cs.m_nRoute = shape;
  CFieldRGCDB rgc;
  rgc.m_nRoute = shape;
  rgc.m_bHasPlanTable = shape & 1;
  for (int i = 0; i < 32; ++i) rgc.m_abPlanTable[i] = static_cast<uint8_t>(i + shape);
  CFieldSGCDB sgc;
  CFieldHARSDB hars;

  const uint8_t* p = reply.get();
  switch (selector % 24) {
    case 0: DecodeDatPreemption(p, n, rmdc, ch); DecodeDatPreemption(p, n, rmdc, ch); break;
    case 1: DecodeErdPreemption(p, n, rmdc, ch); break;
    case 2: DecodeClosureSignalStatus(p, n, cs, ch); DecodeClosureSignalStatus(p, n, cs, ch); break;
    case 3: DecodeEventReport(p, n, cs, ch); break;
    case 4: DecodePlanTransition(p, n, rgc, ch); break;
    case 5: DecodeGeneralErrors(p, n, rgc, ch); break;
    case 6: DecodeGateStatus(p, n, sgc, ch); break;
    default: {
      // The handlers, at the start-up step of byte 1 (or started).
      static const FieldResponseHandler kHandlers[17] = {
          OnRMDCAckResponse,    OnRMDCDatResponse,        OnRMDCErdResponse,          OnHARSAckResponse,
          OnHARSHdatResponse,   OnHARSHerdResponse,       OnCSAckResponse,            OnCSCdatResponse,
          OnCSCerdResponse,     OnRGCAckResponse,         OnRGC170AckResponse,        OnRGCPermissionsResponse,
          OnRGC170GeneralErdResponse, OnRGC170GerdResponse, OnRGC170GdatResponse,     OnSGCAckResponse,
          OnSGCSdatResponse};
      CFieldDeviceDB* records[17] = {&rmdc, &rmdc, &rmdc, &hars, &hars, &hars, &cs, &cs, &cs,
                                     &rgc,  &rgc,  &rgc,  &rgc,  &rgc,  &rgc, &sgc, &sgc};
      const int h = (selector - 7) % 17;
      CFieldDeviceDB* rec = records[h];
      rec->m_nSetupStep = (shape & 0x80) != 0 ? 255 : (shape & 0x0F);
      if (auto* c = dynamic_cast<CField170DB*>(rec)) c->m_bPendingClock = shape & 0x10;
      CStream stream(p, static_cast<int>(n));
      const uint32_t reason = (selector & 0x80) != 0 ? FIELD_REASON_REPLY_KIND5 : FIELD_REASON_REPLY;
      kHandlers[h](reason, ch, stream, 0, 0, 0, rec);
      break;
    }
  }
  return 0;
}
