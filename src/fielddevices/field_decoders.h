// Decoders of the data and report replies. Each compares the reply with the state the record holds
// from the previous reply, sends a text for every change to the channel's message callback (kind 5
// for faults and events, kind 6 for state and progress) and stores the new state. Each returns 0,
// or 87 when the reply is too short for what it reads (and, for the ramp-meter data reply, when its
// length byte does not match the record's loops and meters); nothing is changed then.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fielddevices/field_170.h"
#include "fielddevices/field_channel.h"
#include "fielddevices/field_rmdc.h"

uint32_t DecodeClosureSignalStatus(const uint8_t* reply, size_t size, CFieldCSDB& rec, CFieldCommChannel& ch);
uint32_t DecodeEventReport(const uint8_t* reply, size_t size, CFieldCSDB& rec, CFieldCommChannel& ch);
uint32_t DecodePlanTransition(const uint8_t* reply, size_t size, CFieldRGCDB& rec, CFieldCommChannel& ch);
uint32_t DecodeGeneralErrors(const uint8_t* reply, size_t size, CFieldRGCDB& rec, CFieldCommChannel& ch);
uint32_t DecodeGateStatus(const uint8_t* reply, size_t size, CFieldSGCDB& rec, CFieldCommChannel& ch);
uint32_t DecodeErdPreemption(const uint8_t* reply, size_t size, CFieldRMDCDB& rec, CFieldCommChannel& ch);
uint32_t DecodeDatPreemption(const uint8_t* reply, size_t size, CFieldRMDCDB& rec, CFieldCommChannel& ch);

// The length byte (reply byte 5) a data reply must carry, and the whole reply's length.
uint16_t RmdcDatLengthByte(int loops, int meters);
uint32_t RmdcDatReplyLength(int loops, int meters);

// Takes a nine-byte power-outage record into the record when it differs from the one held, and
// unless `silent` reports it (kind 5) with its date as month/day/year.
void HandlePowerOutage(const uint8_t* outage, CField170DB& rec, CFieldCommChannel& ch, bool silent);

// Direction name of a lane or sign position (0..3) by the parity of the route number.
const char* FieldDirectionName(int32_t route, int position);
