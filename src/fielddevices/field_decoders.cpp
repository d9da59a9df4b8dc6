#include "fielddevices/field_decoders.h"

#include <cstdio>
#include <cstring>

#include "platform/base/errors.h"

namespace {

void Text(CFieldCommChannel& ch, CFieldDeviceDB& rec, int kind, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

void Text(CFieldCommChannel& ch, CFieldDeviceDB& rec, int kind, const char* format, ...) {
  if (ch.m_pfnMessage == nullptr) return;
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  ch.FieldMessageCallback(kind, 0, buffer, &rec);
}

// Reports the bits of `now` that differ from `before`: every newly set bit, then every newly
// cleared bit, each from bit 0 to bit 7.
void ReportBitChanges(CFieldCommChannel& ch, CFieldDeviceDB& rec, int kind, const char* prefix,
                      const char* const names[8], uint8_t before, uint8_t now) {
  const uint8_t set = static_cast<uint8_t>(now & ~before);
  const uint8_t cleared = static_cast<uint8_t>(before & ~now);
  for (int bit = 0; bit < 8; ++bit) {
    if ((set & (1u << bit)) != 0) Text(ch, rec, kind, "%s: %s", prefix, names[bit]);
  }
  for (int bit = 0; bit < 8; ++bit) {
    if ((cleared & (1u << bit)) != 0) Text(ch, rec, kind, "%s: %s cleared", prefix, names[bit]);
  }
}

// Reports the changed bits of a stored byte as ReportBitChanges does, then stores the new byte.
void ReportAndStore(CFieldCommChannel& ch, CFieldDeviceDB& rec, int kind, const char* prefix,
                    const char* const names[8], uint8_t& stored, uint8_t now) {
  ReportBitChanges(ch, rec, kind, prefix, names, stored, now);
  stored = now;
}

void TakeErrorFlag(const uint8_t* reply, CField170DB& rec) { rec.m_bReplyFlag = (reply[3] & 0x80) != 0 ? 1 : 0; }

const char* const kCommFlagNames[8] = {"Reserved 0", "Comm Error", "Timeout",    "Reserved 3",
                                       "Reserved 4", "Reserved 5", "Reserved 6", "Lost Comm"};
const char* const kControllerErrorNames[8] = {"Reserved 0", "PROM Error", "RAM Checksum", "RAM Read/Write",
                                              "Reserved 4", "Reserved 5", "Reserved 6",   "Reserved 7"};

struct SInterruptText {
  const char* name;
  int kind;
};
const SInterruptText kInterrupts[9] = {
    {"Serial Comm Interrupts", FIELD_MSG_PROGRESS},
    {"Serial Peripheral Interrupts", FIELD_MSG_PROGRESS},
    {"Pulse Accumulator Input Interrupts", FIELD_MSG_PROGRESS},
    {"Pulse Accumulator Overflow Interrupts", FIELD_MSG_PROGRESS},
    {"Timer Overflow Interrupts", FIELD_MSG_PROGRESS},
    {"Timer I/O Compare Interrupts", FIELD_MSG_PROGRESS},
    {"Timer Output Compare Interrupts", FIELD_MSG_PROGRESS},
    {"Timer Input Capture Interrupts", FIELD_MSG_PROGRESS},
    {"Illegal Opcode Traps", FIELD_MSG_EVENT},
};

const char* const kInputNames[6][8] = {
    {"Gate 2 Closed", "Gate 2 Open", "Drum 1 Face 4", "Drum 2 Face 4", "Drum 3 Face 4", "Drum 1 Face 3",
     "Drum 2 Face 3", "Drum 3 Face 3"},
    {"Gate 1 Closed", "Gate 1 Open", "Drum 1 Face 2", "Drum 2 Face 2", "Drum 3 Face 2", "Drum 1 Face 1",
     "Drum 2 Face 1", "Drum 3 Face 1"},
    {"Sign 1 Message 2", "Sign 2 Message 1", "Sign 2 Message 2", "Sign 3 Message 2", "Reserved I2 B4",
     "Sign 4 Message 2", "Reserved I2 B6", "Reserved I2 B7"},
    {"Reserved I3 B0", "Reserved I3 B1", "Reserved I3 B2", "Reserved I3 B3", "Gate 3 Open", "Sign 3 Message 1",
     "Gate 3 Closed", "Reserved I3 B7"},
    {"Sign 4 Message 1", "Sign 1 Message 1", "Reserved I4 B2", "Reserved I4 B3", "Reserved I4 B4",
     "Reserved I4 B5", "Reserved I4 B6", "Reserved I4 B7"},
    {"Master Button", "Slave Button", "Gate 4 Open", "Gate 4 Closed", "Reserved I5 B4", "Mode Button",
     "Start Button", "Watchdog/Stop Button"},
};

const char* const kGeneralErrorNames[8] = {"Associate comm failure", "Emergency stop", "Panel failure",
                                           "Plan error",             "Sign error",     "Gate error",
                                           "Drum error",             "Version mismatch"};
const char* const kSystemStatusNames[8] = {"Gate closed", "Gate open", "Lights flashing", "KNOX Close command",
                                           "KNOX Open command", "Door open", "Bell ringing", "EARTHQUAKE!!!"};
const char* const kGateStatusNames[8] = {"Gate closed", "Gate open", "Lights flashing", "Bell ringing",
                                         "Reserved", "", "", ""};
const char* const kUpsNames[8] = {"LowVoltage",        "LowVoltage, OnBattery",        "",      "OnBattery",
                                  "Alarm, LowVoltage", "Alarm, LowVoltage, OnBattery", "Alarm", "Alarm, OnBattery"};

// Masks six raw input bytes, reports their changes against the packed state, then packs them
// into that state.
void ReportInputChanges(CFieldCommChannel& ch, CFieldDeviceDB& rec, const char* prefix, const uint8_t* raw,
                        uint8_t packed[2]) {
  uint8_t masked[6];
  for (int k = 0; k < 6; ++k) {
    masked[k] = static_cast<uint8_t>(raw[k] & FieldGateInputMasks[k]);
    const uint8_t before = CFieldRGCDB::UnpackGateState(packed, k);
    if (masked[k] != before) ReportBitChanges(ch, rec, FIELD_MSG_PROGRESS, prefix, kInputNames[k], before, masked[k]);
  }
  CFieldRGCDB::PackGateStates(packed, masked);
}

}  // namespace

const char* FieldDirectionName(int32_t route, int position) {
  static const char* const kEven[4] = {"EB", "EB HOV", "WB HOV", "WB"};
  static const char* const kOdd[4] = {"NB", "NB HOV", "SB HOV", "SB"};
  if (position < 0 || position > 3) return "";
  return ((route & 1) == 0) ? kEven[position] : kOdd[position];
}

void HandlePowerOutage(const uint8_t* outage, CField170DB& rec, CFieldCommChannel& ch, bool silent) {
  if (rec.m_bOutageHeld != 0 && std::memcmp(rec.m_abOutage, outage, FIELD_OUTAGE_SIZE) == 0) return;
  std::memcpy(rec.m_abOutage, outage, FIELD_OUTAGE_SIZE);
  rec.m_bOutageHeld = 1;
  if (silent) return;
  const unsigned year = static_cast<unsigned>(ExpandTwoDigitYear(outage[0]));
  // The record holds year, month, day, but the text's date is shaped month/day/year ("%u/%u/%04u"),
  // so the fields go in as month, day, year on purpose: "3/15/2024", not a year put where the month
  // belongs ("2024/3/0015").
  Text(ch, rec, FIELD_MSG_EVENT, "Power Outage at %u/%u/%04u %u:%02u:%02u for %u:%02u:%02u due to %s",
       outage[1], outage[2], year, outage[3], outage[4], outage[5], outage[6], outage[7], outage[8],
       "Power Failure");
}

uint32_t DecodeClosureSignalStatus(const uint8_t* reply, size_t size, CFieldCSDB& rec, CFieldCommChannel& ch) {
  if (reply == nullptr || size < 21) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  for (int i = 0; i < 4; ++i) {
    const uint8_t b = reply[8 + i];
    const uint8_t caution = static_cast<uint8_t>(16u << i);
    uint8_t& mode = rec.m_abModes[i];
    if (b == mode || (b == caution && mode == 2)) continue;
    const char* name = FieldDirectionName(rec.m_nRoute, i);
    if (b == 1) {
      Text(ch, rec, FIELD_MSG_PROGRESS, "%s Mode: CLOSED", name);
      mode = 1;
    } else if (b == caution) {
      Text(ch, rec, FIELD_MSG_PROGRESS, "%s Mode: CAUTION", name);
      mode = 2;
    } else if (b == 0) {
      Text(ch, rec, FIELD_MSG_PROGRESS, "%s Mode: OFF", name);
      mode = 0;
    } else {
      Text(ch, rec, FIELD_MSG_EVENT, "%s Mode ERROR: %02X", name, b);
      mode = b;
    }
  }

  const bool watchdog = (reply[17] & 0x40) != 0;
  if (watchdog && rec.m_bWatchdog != 1) {
    Text(ch, rec, FIELD_MSG_PROGRESS, "Field Fault: Watchdog TRIPPED");
    rec.m_bWatchdog = 1;
  } else if (!watchdog && rec.m_bWatchdog != 0) {
    Text(ch, rec, FIELD_MSG_PROGRESS, "Field Fault: Watchdog Normal");
    rec.m_bWatchdog = 0;
  }

  const uint8_t test = reply[18];
  if (test == 0x80) {
    if (rec.m_bTestFlag != 1) Text(ch, rec, FIELD_MSG_PROGRESS, "170 CDAT Test: Reserved10 ON");
  } else if (test == 0) {
    if (rec.m_bTestFlag != 0) Text(ch, rec, FIELD_MSG_PROGRESS, "170 CDAT Test: Reserved10 Off");
  } else {
    Text(ch, rec, FIELD_MSG_PROGRESS, "170 CDAT Test: Reserved10 INVALID[%02X]", test);
  }

  rec.m_nCsByte = reply[20];
  return 0;
}

uint32_t DecodeEventReport(const uint8_t* reply, size_t size, CFieldCSDB& rec, CFieldCommChannel& ch) {
  if (reply == nullptr || size < 34) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  HandlePowerOutage(reply + 8, rec, ch, false);

  ReportAndStore(ch, rec, FIELD_MSG_EVENT, "Comm Flag", kCommFlagNames, rec.m_nCommFlags, reply[17]);
  ReportAndStore(ch, rec, FIELD_MSG_EVENT, "170 Error", kControllerErrorNames, rec.m_nControllerErrors, reply[18]);
  const char* commandNames[8] = {"Reserved 0",
                                 "Reserved 1",
                                 "Reserved 2",
                                 "Reserved 3",
                                 FieldDirectionName(rec.m_nRoute, 0),
                                 FieldDirectionName(rec.m_nRoute, 1),
                                 FieldDirectionName(rec.m_nRoute, 2),
                                 FieldDirectionName(rec.m_nRoute, 3)};
  ReportAndStore(ch, rec, FIELD_MSG_EVENT, "Command Error", commandNames, rec.m_nCommandErrors, reply[19]);

  for (int i = 0; i < 9; ++i) {
    const uint8_t v = reply[20 + i];
    if (v == rec.m_abInterrupts[i]) continue;
    rec.m_abInterrupts[i] = v;
    if (v != 0) {
      Text(ch, rec, kInterrupts[i].kind, "%s: %u", kInterrupts[i].name, v);
    } else {
      Text(ch, rec, kInterrupts[i].kind, "%s cleared", kInterrupts[i].name);
    }
  }

  const uint16_t address = static_cast<uint16_t>((reply[29] << 8) | reply[30]);
  if (address != rec.m_nIllegalAddress) {
    rec.m_nIllegalAddress = address;
    if (address != 0) {
      Text(ch, rec, FIELD_MSG_EVENT, "Illegal Opcode Address: 0x%02X%02X", reply[29], reply[30]);
    } else {
      Text(ch, rec, FIELD_MSG_EVENT, "Illegal Opcode Address cleared");
    }
  }

  const uint16_t opWord = static_cast<uint16_t>((reply[32] << 8) | reply[33]);
  if (reply[31] != rec.m_nIllegalOpcodeByte || opWord != rec.m_nIllegalOpcodeWord) {
    rec.m_nIllegalOpcodeByte = reply[31];
    rec.m_nIllegalOpcodeWord = opWord;
    if (reply[31] != 0 || opWord != 0) {
      Text(ch, rec, FIELD_MSG_EVENT, "Illegal Opcode: 0x%02X 0x%02X%02X", reply[31], reply[32], reply[33]);
    } else {
      Text(ch, rec, FIELD_MSG_EVENT, "Illegal Opcode cleared");
    }
  }
  return 0;
}

namespace {
const char* ModeName(int32_t route, unsigned code) {
  static const char* const kOdd[4] = {"Northbound", "Southbound", "NB Detour", "SB Detour"};
  static const char* const kEven[4] = {"Eastbound", "Westbound", "EB Detour", "WB Detour"};
  if (code == 1) return "Totally Closed";
  if (code == 2) return "Reversible Closed";
  if (code >= 3 && code <= 6) return ((route & 1) == 0) ? kEven[code - 3] : kOdd[code - 3];
  return nullptr;
}
}  // namespace

uint32_t DecodePlanTransition(const uint8_t* reply, size_t size, CFieldRGCDB& rec, CFieldCommChannel& ch) {
  if (reply == nullptr || size < 19) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  rec.m_nPlan = static_cast<uint8_t>(reply[8] + 1);
  rec.m_nStep = static_cast<uint8_t>(reply[9] + 1);
  rec.m_nMode = static_cast<uint8_t>(reply[11] + 1);

  const uint8_t flags = reply[12];
  if (flags != rec.m_nTransitionFlags) {
    rec.m_nTransitionFlags = flags;
    rec.m_TimeTransition = FieldLocalNow();
    if ((flags & 0x80) != 0) Text(ch, rec, FIELD_MSG_PROGRESS, "Transition Start: Plan = %u", reply[8]);
    if ((flags & 0x40) != 0) Text(ch, rec, FIELD_MSG_PROGRESS, "Transition Stop: Step = %u", reply[9]);
    if ((flags & 0x20) != 0) {
      const uint8_t entry = reply[11];
      const char* name = nullptr;
      {
        CFieldRecordLock lock(rec);
        if (entry < 6 && rec.m_bHasPlanTable != 0) name = ModeName(rec.m_nRoute, rec.m_abPlanTable[entry]);
      }
      if (name != nullptr) {
        Text(ch, rec, FIELD_MSG_PROGRESS, "Transition Done: Mode now %s", name);
      } else {
        Text(ch, rec, FIELD_MSG_PROGRESS, "Transition Done: Mode now [%u]", entry);
      }
    }
    if ((flags & 0x10) != 0) Text(ch, rec, FIELD_MSG_PROGRESS, "Transition Override Error");
  }

  ReportInputChanges(ch, rec, "Raw Inputs", reply + 13, rec.m_abGateState);
  return 0;
}

uint32_t DecodeGeneralErrors(const uint8_t* reply, size_t size, CFieldRGCDB& rec, CFieldCommChannel& ch) {
  if (reply == nullptr || size < 169) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  HandlePowerOutage(reply + 152, rec, ch, false);
  ReportAndStore(ch, rec, FIELD_MSG_PROGRESS, "General Error", kGeneralErrorNames, rec.m_nGeneralErrors, reply[161]);

  ReportInputChanges(ch, rec, "Input Errors", reply + 162, rec.m_abGateStateB);

  const uint8_t version = reply[168];
  if (version != 0) {
    rec.m_abIdentity[FIELD_IDENTITY_VERSION] = version;
    rec.m_abIdentity[FIELD_IDENTITY_CLASS] = version >= 96 ? 2 : (version < 92 ? 3 : 1);
  }
  return 0;
}

uint32_t DecodeGateStatus(const uint8_t* reply, size_t size, CFieldSGCDB& rec, CFieldCommChannel& ch) {
  if (reply == nullptr || size < 20) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  ReportAndStore(ch, rec, FIELD_MSG_PROGRESS, "System Status", kSystemStatusNames, rec.m_nSystemStatus, reply[8]);

  const uint8_t gate = reply[9];
  ReportBitChanges(ch, rec, FIELD_MSG_PROGRESS, "Gate Status", kGateStatusNames,
                   static_cast<uint8_t>(rec.m_nGateStatus & 0x1F), static_cast<uint8_t>(gate & 0x1F));
  const unsigned ups = gate >> 5;
  if (ups != static_cast<unsigned>(rec.m_nGateStatus >> 5)) {
    Text(ch, rec, FIELD_MSG_PROGRESS, "UPS Status: %s", kUpsNames[ups]);
  }
  rec.m_nGateStatus = gate;

  const uint8_t quake = reply[10];
  if (quake != rec.m_nEarthquake) {
    if (quake == 16) {
      Text(ch, rec, FIELD_MSG_PROGRESS, "EARTHQUAKE!!!");
    } else if (quake != 0) {
      Text(ch, rec, FIELD_MSG_PROGRESS, "Earthquake Status Unknown");
    } else if (rec.m_nEarthquake == 16) {
      Text(ch, rec, FIELD_MSG_PROGRESS, "Earthquake Done");
    }
    rec.m_nEarthquake = quake;
  }

  HandlePowerOutage(reply + 11, rec, ch, false);
  return 0;
}

uint32_t DecodeErdPreemption(const uint8_t* reply, size_t size, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  if (reply == nullptr || size < 61) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  HandlePowerOutage(reply + 8, rec, ch, true);

  const uint8_t flags = reply[17];
  if (flags != rec.m_nPreemptFlags) {
    if (((flags ^ rec.m_nPreemptFlags) & 0x20) != 0) {
      Text(ch, rec, FIELD_MSG_EVENT, (flags & 0x20) != 0 ? "PREEMPTION Started in ERD" : "Preemption Ended in ERD");
    }
    rec.m_nPreemptFlags = flags;
  }
  for (int m = 0; m < RMDC_METERS; ++m) rec.m_abErdValue[m] = static_cast<uint8_t>(reply[18 + m] & 0x1F);
  std::memcpy(rec.m_abErdBlock, reply + 21, 32);
  std::memcpy(&rec.m_dErdValue, reply + 53, sizeof(double));
  return 0;
}

uint16_t RmdcDatLengthByte(int loops, int meters) {
  return static_cast<uint16_t>((3 * meters + loops) * 2 + (loops + 1) / 2 + 5);
}

uint32_t RmdcDatReplyLength(int loops, int meters) {
  return static_cast<uint32_t>(16 + 2 * loops + 6 * meters + (loops + 1) / 2);
}

uint32_t DecodeDatPreemption(const uint8_t* reply, size_t size, CFieldRMDCDB& rec, CFieldCommChannel& ch) {
  const int loops = rec.m_nLoopCount;
  const int meters = rec.MeterCount();
  if (reply == nullptr || size < 6) return ERROR_INVALID_PARAMETER;
  TakeErrorFlag(reply, rec);
  if (static_cast<uint16_t>(reply[5]) != RmdcDatLengthByte(loops, meters)) return ERROR_INVALID_PARAMETER;
  // The length byte may agree while the frame itself was cut short.
  if (size < RmdcDatReplyLength(loops, meters)) return ERROR_INVALID_PARAMETER;

  bool preempted = false;
  for (int m = 0; m < RMDC_METERS; ++m) {
    rec.m_abDatValue[m] = reply[8 + m];
    rec.m_abDatState[m] = static_cast<uint8_t>(reply[11 + m] & 0x0F);
    rec.m_abDatSecond[m] = static_cast<uint8_t>(reply[11 + m] >> 4);
    if (rec.m_abDatState[m] == 13) preempted = true;
  }
  if (preempted != (rec.m_bPreempted != 0)) {
    Text(ch, rec, FIELD_MSG_EVENT, preempted ? "PREEMPTION Started in DAT" : "Preemption Ended in DAT");
    rec.m_bPreempted = preempted ? 1 : 0;
  }

  const size_t stateBase = 14 + 2 * static_cast<size_t>(loops);
  for (SRmdcLoopSlot& slot : rec.m_aLoops) {
    if (slot.m_bActive == 0) slot.m_nState = 0;
  }
  int handled = 0;
  for (SRmdcLoopSlot& slot : rec.m_aLoops) {
    if (slot.m_bActive == 0) continue;
    if (handled >= loops) {
      Text(ch, rec, FIELD_MSG_EVENT, "%s", FieldProtocolTexts[FIELD_TEXT_LOOP_OVERFLOW]);
      break;
    }
    uint8_t v5;
    uint16_t v11;
    UnpackLoopSample(reply + 14 + 2 * handled, v5, v11);
    const uint8_t nibble = SelectNibble(reply[stateBase + handled / 2], handled);
    slot.m_nState = slot.m_bDisabled != 0 ? 6 : nibble;
    if (ch.m_pfnLoopSample != nullptr) ch.m_pfnLoopSample(v11, v5, slot.m_nState, slot.m_pLoop);
    ++handled;
  }

  const size_t meterBase = stateBase + (static_cast<size_t>(loops) + 1) / 2;
  for (int j = 0; j < meters; ++j) {
    SMeterSample s;
    UnpackMeterSample(reply + meterBase + 6 * j, s);
    uint8_t loopA, loopB;
    rec.MeterLoops(j, loopA, loopB);
    // A loop index outside the slot table counts as an unflagged loop without a loop object.
    const SRmdcLoopSlot* a = loopA < RMDC_LOOP_SLOTS ? &rec.m_aLoops[loopA] : nullptr;
    const SRmdcLoopSlot* b = loopB < RMDC_LOOP_SLOTS ? &rec.m_aLoops[loopB] : nullptr;
    uint8_t state = s.state;
    if ((a != nullptr && a->m_bFlagged != 0) || (b != nullptr && b->m_bFlagged != 0)) state |= 0x80;
    if (ch.m_pfnMeterSample != nullptr) {
      ch.m_pfnMeterSample(s.a10, s.b10, s.v5, s.hi4, s.lo4, s.v3, state, a != nullptr ? a->m_pLoop : nullptr);
      ch.m_pfnMeterSample(s.a10, s.b10, s.v5, s.hi4, s.lo4, s.v3, state, b != nullptr ? b->m_pLoop : nullptr);
    }
  }
  return 0;
}
