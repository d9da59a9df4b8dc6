#include "fielddevices/field_channel.h"

void CFieldCommChannel::FieldMessageCallback(int kind, uint64_t value, const char* text, CFieldDeviceDB* record) {
  if (m_pfnMessage != nullptr) m_pfnMessage(kind, *this, value, text, record, m_pMessageCtx);
}

void CFieldCommChannel::FieldResponseCallback(uint32_t reason, const CStream& reply, uint64_t pass1, uint64_t pass2,
                                              uint64_t ignored, CFieldDeviceDB* record) {
  if (m_pfnResponse != nullptr) m_pfnResponse(reason, *this, reply, pass1, pass2, ignored, record, m_pResponseCtx);
}
