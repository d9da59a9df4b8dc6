// Records of the field devices that run on a Model 170 type controller: the common base
// CField170DB, the HARS device, the gate controllers (seismic and reversible), the closure
// signal; their reply readers, the gate-state packing, the device groups and the name tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fielddevices/field_device_db.h"
#include "support/sys_time.h"

class CStream;
class CFieldDeviceGroup;

// The local time as the records store it (time stamps of creation and of state changes).
CSysTime FieldLocalNow();

// Kinds returned by GetDeviceType.
enum : int {
  FIELD_DEVICE_RMDC = 0,
  FIELD_DEVICE_CS = 2,
  FIELD_DEVICE_RGC = 3,
  FIELD_DEVICE_SGC = 4,
};

struct SControllerClock {
  uint16_t m_nYear;
  uint8_t m_abBytes[8];  // month, day and time bytes as the reply carries them
  uint8_t m_bValid;      // 1 once a clock reply was read
};

constexpr int FIELD_OUTAGE_SIZE = 9;

class CField170DB : public CFieldDeviceDB {
 public:
  uint8_t m_nControllerByte;
  uint8_t m_nPendingReset;
  uint8_t m_bReplyFlag;  // the device's general-error flag of the last reply
  uint16_t m_nReplyWord;
  SControllerClock m_ControllerClock;
  uint8_t m_abControllerInfo[16];
  uint32_t m_nControllerInfo2;
  uint8_t m_nControllerFlag;
  uint8_t m_bPendingClock;

  // The last power-outage record a reply carried, and whether one is held.
  uint8_t m_abOutage[FIELD_OUTAGE_SIZE];
  uint8_t m_bOutageHeld;

  CField170DB();
  CField170DB(const CField170DB& other);
  CField170DB& operator=(const CField170DB& other);
  ~CField170DB() override;

  virtual int GetDeviceType() const { return 0; }
  virtual int GetPollCommand() const { return 0; }
  virtual uint32_t GetPollTime() const { return 0; }
  // Writes the 8-byte data poll; kinds without a poll leave the stream alone.
  virtual void BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const {}
  virtual int GetTextPollKind() const { return 0; }
  virtual int GetTextPollValue() const { return 0; }
  virtual uint32_t GetTextPollTime() const { return 0; }
  // Writes the text poll (sequence and argument are 16-bit little-endian values in the frame).
  virtual void BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument = 0) const {}

  void ClearPendingReset();
  void SetPendingReset(uint8_t code);
  void SetPendingClock(uint8_t pending);

 protected:
  // The 8-byte poll header with argument `argument`.
  void WritePollHeader(CStream& stream, uint8_t channelByte, uint8_t code, uint8_t sequence, uint8_t argument) const;
  // The 28-byte text poll with the given tag; returns the frame's data pointer.
  uint8_t* WriteTextPoll(CStream& stream, size_t size, const char* tag, uint16_t sequence, uint16_t argument) const;

 private:
  void CopyFields(const CField170DB& other);
};

// HARS device (highway advisory radio).
class CFieldHARSDB : public CField170DB {
 public:
  uint16_t m_nSgcStatus;     // low byte from byte 5 of the HARS data reply
  uint8_t m_bPendingSign;    // a sign-control request is due
  uint8_t m_nSignByte;       // its argument

  CFieldHARSDB();
  CFieldHARSDB(const CFieldHARSDB& other) = default;
  CFieldHARSDB& operator=(const CFieldHARSDB& other);
  void SetPendingSign(uint8_t pending, uint8_t signByte);
};

class CFieldGCDB : public CField170DB {
 public:
  char m_chGateCode;      // gate command byte
  uint8_t m_bPendingA;    // gate control due
  uint8_t m_bPendingB;    // permissions request (RGC) or drop-address association (SGC) due

  CFieldGCDB();
  CFieldGCDB(const CFieldGCDB& other) = default;
  CFieldGCDB& operator=(const CFieldGCDB& other);
  void SetPendingA(uint8_t pending);
  void SetPendingB(uint8_t pending);
};

class CFieldSGCDB : public CFieldGCDB {
 public:
  uint8_t m_nSgcByte1;
  uint8_t m_nSgcByte2;
  uint8_t m_nSgcByte3;
  uint16_t m_nSgcStatus;
  // Last reported system status (byte 8), gate/UPS status (byte 9) and earthquake state (byte 10).
  uint8_t m_nSystemStatus;
  uint8_t m_nGateStatus;
  uint8_t m_nEarthquake;

  CFieldSGCDB();
  CFieldSGCDB(const CFieldSGCDB& other) = default;
  CFieldSGCDB& operator=(const CFieldSGCDB& other);

  int GetDeviceType() const override { return FIELD_DEVICE_SGC; }
  int GetPollCommand() const override { return 53; }
  uint32_t GetPollTime() const override { return 162 * m_nByteTime; }
  void BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const override;
};

class CFieldRGCDB : public CFieldGCDB {
 public:
  CFieldDeviceGroup* m_pGroup;
  uint8_t m_abRgcBytes[4];
  uint8_t m_nGateSelector;  // gate selector: a gate command 0x20 goes out as 0x20 | (selector - 1)
  uint8_t m_nRgcByte;
  CSysTime m_TimeA;
  uint8_t m_abGateState[2];   // masked raw inputs of the last data reply, packed
  uint8_t m_abGateBytes[2];
  uint8_t m_abGateStateB[2];  // masked input errors of the last general-error reply, packed
  uint8_t m_nGateByte;
  uint8_t m_abPlanStatus[16];
  uint64_t m_nPlanStatus64;
  uint32_t m_nPlanStatus32;
  uint16_t m_nPlanStatus16;
  uint8_t m_abPlanTable[32];  // mode of each plan entry
  uint32_t m_nPlanValue;
  uint8_t m_nPlanByte;
  uint8_t m_nPlanByteB;
  CSysTime m_TimeB;

  // Kept by the decoders.
  uint8_t m_bHasPlanTable;     // a plan table was received
  uint8_t m_nTransitionFlags;  // byte 12 of the last data reply
  CSysTime m_TimeTransition;   // when the transition flags last changed
  uint8_t m_nPlan;
  uint8_t m_nStep;
  uint8_t m_nMode;
  uint8_t m_nGeneralErrors;

  CFieldRGCDB();
  CFieldRGCDB(const CFieldRGCDB& other) = default;
  CFieldRGCDB& operator=(const CFieldRGCDB& other);

  int GetDeviceType() const override { return FIELD_DEVICE_RGC; }
  int GetPollCommand() const override { return 55; }
  uint32_t GetPollTime() const override { return 29 * m_nByteTime; }
  void BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const override;
  int GetTextPollKind() const override { return 2; }
  int GetTextPollValue() const override { return 29; }
  uint32_t GetTextPollTime() const override { return 71 * m_nByteTime; }
  void BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument = 0) const override;

  // Six status bytes kept as their masked bits in two bytes.
  static void PackGateStates(uint8_t packed[2], const uint8_t status[6]);
  static uint8_t UnpackGateState(const uint8_t packed[2], int k);
  void SetGateStates(const uint8_t status[6]) { PackGateStates(m_abGateState, status); }
  uint8_t GetGateState(int k) const { return UnpackGateState(m_abGateState, k); }
  void SetGateStatesB(const uint8_t status[6]) { PackGateStates(m_abGateStateB, status); }
  uint8_t GetGateStateB(int k) const { return UnpackGateState(m_abGateStateB, k); }
};

// Input masks of the six raw input bytes of a gate controller.
extern const uint8_t FieldGateInputMasks[6];

class CFieldCSDB : public CField170DB {
 public:
  uint32_t m_nCsValueA;
  uint32_t m_nCsValueB;
  uint8_t m_abLaneMode[4];  // packed into the signal-control argument by PackLaneModes
  uint8_t m_nCsByteA;
  uint8_t m_bPendingCsA;    // signal control due
  uint8_t m_abCsBytes[2];
  uint8_t m_abCsOptions[4];  // closure-signal options: a flag bit per non-zero option
  uint8_t m_abCsParams[4];   // closure-signal parameter bytes
  uint8_t m_abCsReserved[6];
  uint16_t m_nCsShortA;
  uint16_t m_nCsShortB;
  uint8_t m_nCsByte;         // byte 20 of the last status reply
  uint8_t m_bPendingCsB;     // closure-signal parameters due
  uint8_t m_bPendingCsC;

  // Kept by the decoders.
  uint8_t m_abModes[4];       // 0 off, 1 closed, 2 caution, else the raw byte
  uint8_t m_bWatchdog;
  uint8_t m_bTestFlag;
  uint8_t m_nCommFlags;
  uint8_t m_nControllerErrors;
  uint8_t m_nCommandErrors;
  uint8_t m_abInterrupts[9];
  uint16_t m_nIllegalAddress;
  uint16_t m_nIllegalOpcodeWord;
  uint8_t m_nIllegalOpcodeByte;

  CFieldCSDB();
  CFieldCSDB(const CFieldCSDB& other) = default;
  CFieldCSDB& operator=(const CFieldCSDB& other);

  int GetDeviceType() const override { return FIELD_DEVICE_CS; }
  int GetPollCommand() const override { return 44; }
  uint32_t GetPollTime() const override { return 40 * m_nByteTime; }
  void BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const override;
  int GetTextPollKind() const override { return 1; }
  int GetTextPollValue() const override { return 28; }
  uint32_t GetTextPollTime() const override { return 64 * m_nByteTime; }
  void BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument = 0) const override;

  void SetPendingCsA(uint8_t pending);
  void SetPendingCsB(uint8_t pending);
  void SetPendingCsC(uint8_t pending);
};

// Argument byte of the signal-control request from the four lane modes (0, 1 or 2 each).
uint8_t PackLaneModes(const uint8_t modes[4]);

// ---------------------------------------------------------------------------------------------
// Reply readers. Each takes the reply bytes and the record and returns 0, or 87 when the reply is
// too short for the bytes it reads.

uint32_t ReadShortStatus(const uint8_t* reply, size_t size, CField170DB& rec);
// The acknowledgement reader: general-error flag, then firmware version (byte 5, when non-zero)
// and its class by the device kind's thresholds.
enum class FieldVersionKind { RMDC, HARS, CS, RGC, SGC };
uint32_t ReadVersion(const uint8_t* reply, size_t size, CField170DB& rec, FieldVersionKind kind);
uint32_t ReadHarsStatus(const uint8_t* reply, size_t size, CFieldHARSDB& rec);
uint32_t ReadClock(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadPlanBlock(const uint8_t* reply, size_t size, CFieldRGCDB& rec);
uint32_t ReadLongStatus(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadLongInformation(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadLongClock(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadLongWord(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadLongIdentity(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadShortIdentity(const uint8_t* reply, size_t size, CField170DB& rec);
uint32_t ReadPlanStatus(const uint8_t* reply, size_t size, CFieldRGCDB& rec);

// Unpacking of the ramp-meter data samples.
void UnpackLoopSample(const uint8_t b[2], uint8_t& v5, uint16_t& v11);
struct SMeterSample {
  uint8_t state, b1High;
  uint16_t a10, b10;
  uint8_t v3, v5, hi4, lo4;
};
void UnpackMeterSample(const uint8_t b[6], SMeterSample& out);
uint8_t SelectNibble(uint8_t byte, int index);

// ---------------------------------------------------------------------------------------------
// Device groups: lists of entries, each referring to a record, and the set of referenced records
// sorted by address.

struct SFieldGroupEntry {
  uint8_t m_abKey[2];
  CFieldRGCDB* m_pRecord;
};

class CFieldDeviceGroup {
 public:
  // Entry lists (owned by the caller) and the referenced records, ascending by address.
  std::vector<std::vector<SFieldGroupEntry>*> m_arrLists;
  std::vector<CFieldRGCDB*> m_arrRecords;

  CFieldDeviceGroup() = default;
  CFieldDeviceGroup(const CFieldDeviceGroup&) = delete;
  CFieldDeviceGroup& operator=(const CFieldDeviceGroup&) = delete;
  ~CFieldDeviceGroup();

  void RebuildGroup();
  void AddListToGroup(const std::vector<SFieldGroupEntry>& list);
  void RemoveFromGroup(CFieldRGCDB* record);
  int FindRecord(const CFieldRGCDB* record) const;
  // Binary search over entries sorted by their two key bytes; the index or -1.
  static int FindEntryByKey(SFieldGroupEntry* const* entries, int count, uint8_t a, uint8_t b);
};

// ---------------------------------------------------------------------------------------------
// Name tables.

extern const char* const FieldCommStateNames[5];
extern const char* const FieldCommStateCodes[5];
extern const char* const FieldLogDetailNames[5];
extern const char* const FieldCommLogDetailNames[5];
extern const char* const FieldControllerFamilies[4];
extern const char* const FieldControllerMakers[6];
extern const char* const FieldControllerModels[7];
extern const char* const FieldLoopStatusNames[8];
extern const char* const FieldClosureDirectionNames[6];
extern const char* const FieldClosureDirectionShort[6];
extern const char* const FieldClosureStateNames[11];
extern const char* const FieldClosureStateCaps[11];
extern const char* const FieldClosureStateAbbrev[11];
extern const char* const FieldClosureStateShort[11];

// Closure-state name of each form, with the out-of-table forms "UNKNOWN [%u]", "UNK [%u]" and
// "UNK%u". `buffer` needs room for 24 characters.
enum class FieldClosureForm { Name, Caps, Abbrev, Short };
const char* FieldClosureStateText(unsigned state, FieldClosureForm form, char* buffer, size_t size);
