// Poll frames of the device records, built for the schedulers outside this library: the 8-byte
// data poll and the 28-byte text poll (34 bytes in the collector's extended form).
#include <cstring>

#include "fielddevices/field_170.h"
#include "fielddevices/field_requests.h"
#include "fielddevices/field_rmdc.h"
#include "support/stream.h"

namespace {
uint8_t* SizedFrame(CStream& stream, int size) {
  stream.SetSize(size, true);
  if (stream.m_nSize != size) return nullptr;
  std::memset(stream.m_pData, 0, static_cast<size_t>(size));
  return stream.m_pData;
}
}  // namespace

void CField170DB::WritePollHeader(CStream& stream, uint8_t channelByte, uint8_t code, uint8_t sequence,
                                  uint8_t argument) const {
  uint8_t* out = SizedFrame(stream, 8);
  if (out == nullptr) return;
  WriteFrameHeader(out, static_cast<uint8_t>(m_nDropAddress & 0xFF), channelByte, code, sequence, argument);
}

uint8_t* CField170DB::WriteTextPoll(CStream& stream, size_t size, const char* tag, uint16_t sequence,
                                    uint16_t argument) const {
  uint8_t* out = SizedFrame(stream, static_cast<int>(size));
  if (out == nullptr) return nullptr;
  out[0] = 0x01;
  out[1] = out[2] = out[3] = 0xFF;
  const char* name = NameText();
  for (int i = 0; i < 10 && name[i] != '\0'; ++i) out[4 + i] = static_cast<uint8_t>(name[i]);
  std::memcpy(out + 15, tag, 4);
  PutLE16(out + 21, sequence);
  PutLE16(out + 24, argument);
  PutLE16(out + 26, FieldSum16(out, 26));
  return out;
}

void CFieldSGCDB::BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const {
  WritePollHeader(stream, channelByte, 42, sequence, 0);
}

void CFieldRGCDB::BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const {
  WritePollHeader(stream, channelByte, 46, sequence, 0);
}

void CFieldRGCDB::BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument) const {
  WriteTextPoll(stream, 28, "GPOL", sequence, argument);
}

void CFieldCSDB::BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const {
  WritePollHeader(stream, channelByte, 37, sequence, 0);
}

void CFieldCSDB::BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument) const {
  WriteTextPoll(stream, 28, "EPOL", sequence, argument);
}

void CFieldRMDCDB::BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const {
  if (!AnyPendingFlag()) {
    WritePollHeader(stream, channelByte, 0x21, sequence, 0x80);
    return;
  }
  uint8_t* out = SizedFrame(stream, 14);
  if (out == nullptr) return;
  WriteFrameHeader(out, static_cast<uint8_t>(m_nDropAddress & 0xFF), channelByte, 'E', sequence, 3);
  out[8] = 0x80;
  out[9] = m_abPendingData[0];
  out[10] = m_abPendingData[1];
  out[11] = m_abPendingData[2];
  PutLE16(out + 12, FieldSum16(out + 8, 4));
}

void CFieldRMDCDB::BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument) const {
  if (!AnyPendingFlag()) {
    WriteTextPoll(stream, 28, "RPOL", sequence, argument);
    return;
  }
  uint8_t* out = WriteTextPoll(stream, 34, "RPLF", sequence, 4);
  if (out == nullptr) return;
  out[23] = 1;
  PutLE16(out + 26, FieldSum16(out, 26));
  std::memcpy(out + 28, m_abPendingData, 4);
  PutLE16(out + 32, FieldSum16(out + 28, 4));
}
