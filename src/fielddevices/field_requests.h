// Sequence numbers, request framing and the request builders. Every builder takes a command-table
// entry, a record and the channel, frames the request and hands it to the channel; the result is
// the channel's error number (0 when accepted), or 170 (busy) when every sequence number of the
// channel's range is held by a pending request.
#pragma once

#include <cstddef>
#include <cstdint>

class CStream;
class CFieldCommChannel;
class CFieldDeviceDB;
class CFieldRMDCDB;
class CFieldCSDB;

// The next sequence number of the channel, skipping numbers held by pending requests. When every
// number of the range is held, the search stops after one round and *pExhausted is set.
uint32_t AllocSequenceNumber(CFieldCommChannel& channel, uint32_t step, bool* pExhausted = nullptr);

// Sets the stream to the 8-byte request header.
bool BuildFrameHeader(CStream& stream, uint8_t dropAddress, uint8_t channelByte, uint8_t code, uint8_t sequence,
                      uint8_t argument);
// Writes the 8-byte header into a buffer.
void WriteFrameHeader(uint8_t* out, uint8_t dropAddress, uint8_t channelByte, uint8_t code, uint8_t sequence,
                      uint8_t argument);
// Unsigned 16-bit sum of a run of bytes.
uint16_t FieldSum16(const uint8_t* p, size_t n);
void PutLE16(uint8_t* p, uint16_t v);

uint32_t BuildCommandRequest(int entry, CFieldDeviceDB& record, CFieldCommChannel& channel, uint8_t argument);
uint32_t BuildSetClockRequest(int entry, CFieldDeviceDB& record, CFieldCommChannel& channel);
uint32_t BuildExtendedDataRequest(int entry, CFieldRMDCDB& record, CFieldCommChannel& channel);
uint32_t BuildDataRequest(int entry, CFieldRMDCDB& record, CFieldCommChannel& channel);
uint32_t BuildClosureSignalRequest(int entry, CFieldCSDB& record, CFieldCommChannel& channel);
uint32_t BuildGateControlRequest(int entry, CFieldDeviceDB& record, CFieldCommChannel& channel);
uint32_t BuildMeterParamsRequest(int entry, CFieldRMDCDB& record, CFieldCommChannel& channel);
uint32_t BuildMeterParamsRequestExt(int entry, CFieldRMDCDB& record, CFieldCommChannel& channel);
uint32_t BuildTimeOfDayRequest(int entry, CFieldRMDCDB& record, CFieldCommChannel& channel);
uint32_t BuildDataStationRequest(int entry, CFieldRMDCDB& record, CFieldCommChannel& channel);

// Builds the request of an entry with the builder that serves it (BuildCommandRequest with the
// argument for the 8-byte requests); 87 when the record is not of the kind the builder needs.
uint32_t BuildEntryRequest(int entry, CFieldDeviceDB& record, CFieldCommChannel& channel, uint8_t argument);

// Expected reply length of the two data requests: 16 + 2L + 6M + (L + 1) / 2.
uint32_t RmdcExpectedReplyLength(const CFieldRMDCDB& record);
