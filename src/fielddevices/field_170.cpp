#include "fielddevices/field_170.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/base/errors.h"
#include "platform/kernel/time.h"

namespace {
uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t LE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t LE64(const uint8_t* p) { return static_cast<uint64_t>(LE32(p)) | (static_cast<uint64_t>(LE32(p + 4)) << 32); }
}  // namespace

CSysTime FieldLocalNow() {
  CSysTime t;
  t.FromSystemTime(GetLocalTime());
  return t;
}

// ---------------------------------------------------------------------------------------------
// CField170DB

CField170DB::CField170DB()
    : m_nControllerByte(0),
      m_nPendingReset(0),
      m_bReplyFlag(0),
      m_nReplyWord(0),
      m_ControllerClock{},
      m_abControllerInfo{},
      m_nControllerInfo2(0),
      m_nControllerFlag(0),
      m_bPendingClock(0),
      m_abOutage{},
      m_bOutageHeld(0) {
  m_nErrorLimit = 5;
  m_nMissLimit = 1;
  m_nByteTime = 12;
  m_nReplyTimeout = 185;
}

CField170DB::CField170DB(const CField170DB& other) : CFieldDeviceDB(other) {
  CopyFields(other);
  m_nControllerFlag = other.m_nControllerFlag;
  m_nPendingReset = other.m_nPendingReset;
  m_bPendingClock = other.m_bPendingClock;
}

CField170DB& CField170DB::operator=(const CField170DB& other) {
  if (this == &other) return *this;
  CFieldDeviceDB::operator=(other);
  {
    CFieldRecordLock lock(*this);
    m_nControllerFlag = other.m_nControllerFlag;
    m_nPendingReset = other.m_nPendingReset;
    m_bPendingClock = other.m_bPendingClock;
  }
  CopyFields(other);
  return *this;
}

CField170DB::~CField170DB() = default;

void CField170DB::CopyFields(const CField170DB& o) {
  m_nControllerByte = o.m_nControllerByte;
  m_bReplyFlag = o.m_bReplyFlag;
  m_nReplyWord = o.m_nReplyWord;
  m_ControllerClock = o.m_ControllerClock;
  std::memcpy(m_abControllerInfo, o.m_abControllerInfo, sizeof(m_abControllerInfo));
  m_nControllerInfo2 = o.m_nControllerInfo2;
  std::memcpy(m_abOutage, o.m_abOutage, sizeof(m_abOutage));
  m_bOutageHeld = o.m_bOutageHeld;
}

void CField170DB::ClearPendingReset() { FieldSetLocked(*this, m_nPendingReset, uint8_t{0}); }

void CField170DB::SetPendingReset(uint8_t code) { FieldSetLocked(*this, m_nPendingReset, code); }

void CField170DB::SetPendingClock(uint8_t pending) { FieldSetLocked(*this, m_bPendingClock, pending); }

// ---------------------------------------------------------------------------------------------
// Kinds

CFieldHARSDB::CFieldHARSDB() : m_nSgcStatus(0), m_bPendingSign(0), m_nSignByte(0) {}

CFieldHARSDB& CFieldHARSDB::operator=(const CFieldHARSDB& other) {
  if (this == &other) return *this;
  CField170DB::operator=(other);
  m_nSgcStatus = other.m_nSgcStatus;
  CFieldRecordLock lock(*this);
  m_bPendingSign = other.m_bPendingSign;
  m_nSignByte = other.m_nSignByte;
  return *this;
}

void CFieldHARSDB::SetPendingSign(uint8_t pending, uint8_t signByte) {
  CFieldRecordLock lock(*this);
  m_bPendingSign = pending;
  m_nSignByte = signByte;
}

CFieldGCDB::CFieldGCDB() : m_chGateCode(0), m_bPendingA(0), m_bPendingB(0) {}

CFieldGCDB& CFieldGCDB::operator=(const CFieldGCDB& other) {
  if (this == &other) return *this;
  CField170DB::operator=(other);
  m_chGateCode = other.m_chGateCode;
  CFieldRecordLock lock(*this);
  m_bPendingA = other.m_bPendingA;
  m_bPendingB = other.m_bPendingB;
  return *this;
}

void CFieldGCDB::SetPendingA(uint8_t pending) { FieldSetLocked(*this, m_bPendingA, pending); }

void CFieldGCDB::SetPendingB(uint8_t pending) { FieldSetLocked(*this, m_bPendingB, pending); }

CFieldSGCDB::CFieldSGCDB()
    : m_nSgcByte1(0), m_nSgcByte2(0), m_nSgcByte3(0), m_nSgcStatus(0), m_nSystemStatus(0), m_nGateStatus(0),
      m_nEarthquake(0) {
  m_chGateCode = ' ';
}

CFieldSGCDB& CFieldSGCDB::operator=(const CFieldSGCDB& other) {
  if (this == &other) return *this;
  CFieldGCDB::operator=(other);
  m_nSgcByte1 = other.m_nSgcByte1;
  m_nSgcByte2 = other.m_nSgcByte2;
  m_nSgcByte3 = other.m_nSgcByte3;
  m_nSgcStatus = other.m_nSgcStatus;
  m_nSystemStatus = other.m_nSystemStatus;
  m_nGateStatus = other.m_nGateStatus;
  m_nEarthquake = other.m_nEarthquake;
  return *this;
}

CFieldRGCDB::CFieldRGCDB()
    : m_pGroup(nullptr),
      m_abRgcBytes{},
      m_nGateSelector(1),
      m_nRgcByte(0),
      m_TimeA(FieldLocalNow()),
      m_abGateState{},
      m_abGateBytes{},
      m_abGateStateB{},
      m_nGateByte(0),
      m_abPlanStatus{},
      m_nPlanStatus64(0),
      m_nPlanStatus32(0),
      m_nPlanStatus16(0),
      m_abPlanTable{},
      m_nPlanValue(0),
      m_nPlanByte(0),
      m_nPlanByteB(0),
      m_TimeB(m_TimeA),
      m_bHasPlanTable(0),
      m_nTransitionFlags(0),
      m_TimeTransition(),
      m_nPlan(0),
      m_nStep(0),
      m_nMode(0),
      m_nGeneralErrors(0) {
  m_chGateCode = 0x40;
}

CFieldRGCDB& CFieldRGCDB::operator=(const CFieldRGCDB& other) {
  if (this == &other) return *this;
  CFieldGCDB::operator=(other);
  m_pGroup = other.m_pGroup;
  std::memcpy(m_abRgcBytes, other.m_abRgcBytes, sizeof(m_abRgcBytes));
  m_nGateSelector = other.m_nGateSelector;
  m_nRgcByte = other.m_nRgcByte;
  m_TimeA = other.m_TimeA;
  std::memcpy(m_abGateState, other.m_abGateState, sizeof(m_abGateState));
  std::memcpy(m_abGateBytes, other.m_abGateBytes, sizeof(m_abGateBytes));
  std::memcpy(m_abGateStateB, other.m_abGateStateB, sizeof(m_abGateStateB));
  m_nGateByte = other.m_nGateByte;
  std::memcpy(m_abPlanStatus, other.m_abPlanStatus, sizeof(m_abPlanStatus));
  m_nPlanStatus64 = other.m_nPlanStatus64;
  m_nPlanStatus32 = other.m_nPlanStatus32;
  m_nPlanStatus16 = other.m_nPlanStatus16;
  std::memcpy(m_abPlanTable, other.m_abPlanTable, sizeof(m_abPlanTable));
  m_nPlanValue = other.m_nPlanValue;
  m_nPlanByte = other.m_nPlanByte;
  m_nPlanByteB = other.m_nPlanByteB;
  m_TimeB = other.m_TimeB;
  m_bHasPlanTable = other.m_bHasPlanTable;
  m_nTransitionFlags = other.m_nTransitionFlags;
  m_TimeTransition = other.m_TimeTransition;
  m_nPlan = other.m_nPlan;
  m_nStep = other.m_nStep;
  m_nMode = other.m_nMode;
  m_nGeneralErrors = other.m_nGeneralErrors;
  return *this;
}

const uint8_t FieldGateInputMasks[6] = {0x03, 0x03, 0x2F, 0x70, 0x03, 0x0C};

// Bits kept: byte 0 bits 0-1 -> 0-1, byte 1 bits 0-1 -> 2-3, byte 2 bits 0-3 -> 4-7 and bit 5 -> 8,
// byte 3 bits 4-6 -> 9-11, byte 4 bits 0-1 -> 12-13, byte 5 bits 2-3 -> 14-15.
void CFieldRGCDB::PackGateStates(uint8_t packed[2], const uint8_t s[6]) {
  uint16_t v = 0;
  v |= static_cast<uint16_t>(s[0] & 0x03);
  v |= static_cast<uint16_t>((s[1] & 0x03) << 2);
  v |= static_cast<uint16_t>((s[2] & 0x0F) << 4);
  v |= static_cast<uint16_t>(((s[2] >> 5) & 0x01) << 8);
  v |= static_cast<uint16_t>(((s[3] >> 4) & 0x07) << 9);
  v |= static_cast<uint16_t>((s[4] & 0x03) << 12);
  v |= static_cast<uint16_t>(((s[5] >> 2) & 0x03) << 14);
  packed[0] = static_cast<uint8_t>(v & 0xFF);
  packed[1] = static_cast<uint8_t>(v >> 8);
}

uint8_t CFieldRGCDB::UnpackGateState(const uint8_t packed[2], int k) {
  const uint16_t v = static_cast<uint16_t>(packed[0] | (packed[1] << 8));
  switch (k) {
    case 0: return static_cast<uint8_t>(v & 0x03);
    case 1: return static_cast<uint8_t>((v >> 2) & 0x03);
    case 2: return static_cast<uint8_t>(((v >> 4) & 0x0F) | (((v >> 8) & 0x01) << 5));
    case 3: return static_cast<uint8_t>(((v >> 9) & 0x07) << 4);
    case 4: return static_cast<uint8_t>((v >> 12) & 0x03);
    case 5: return static_cast<uint8_t>(((v >> 14) & 0x03) << 2);
    default: return 0;
  }
}

CFieldCSDB::CFieldCSDB()
    : m_nCsValueA(0),
      m_nCsValueB(0),
      m_abLaneMode{},
      m_nCsByteA(0),
      m_bPendingCsA(0),
      m_abCsBytes{},
      m_abCsOptions{},
      m_abCsParams{},
      m_abCsReserved{},
      m_nCsShortA(0),
      m_nCsShortB(0),
      m_nCsByte(0),
      m_bPendingCsB(0),
      m_bPendingCsC(0),
      m_abModes{},
      m_bWatchdog(0),
      m_bTestFlag(0),
      m_nCommFlags(0),
      m_nControllerErrors(0),
      m_nCommandErrors(0),
      m_abInterrupts{},
      m_nIllegalAddress(0),
      m_nIllegalOpcodeWord(0),
      m_nIllegalOpcodeByte(0) {}

CFieldCSDB& CFieldCSDB::operator=(const CFieldCSDB& o) {
  if (this == &o) return *this;
  CField170DB::operator=(o);
  m_nCsValueA = o.m_nCsValueA;
  m_nCsValueB = o.m_nCsValueB;
  std::memcpy(m_abLaneMode, o.m_abLaneMode, sizeof(m_abLaneMode));
  m_nCsByteA = o.m_nCsByteA;
  std::memcpy(m_abCsBytes, o.m_abCsBytes, sizeof(m_abCsBytes));
  std::memcpy(m_abCsOptions, o.m_abCsOptions, sizeof(m_abCsOptions));
  std::memcpy(m_abCsParams, o.m_abCsParams, sizeof(m_abCsParams));
  std::memcpy(m_abCsReserved, o.m_abCsReserved, sizeof(m_abCsReserved));
  m_nCsShortA = o.m_nCsShortA;
  m_nCsShortB = o.m_nCsShortB;
  m_nCsByte = o.m_nCsByte;
  std::memcpy(m_abModes, o.m_abModes, sizeof(m_abModes));
  m_bWatchdog = o.m_bWatchdog;
  m_bTestFlag = o.m_bTestFlag;
  m_nCommFlags = o.m_nCommFlags;
  m_nControllerErrors = o.m_nControllerErrors;
  m_nCommandErrors = o.m_nCommandErrors;
  std::memcpy(m_abInterrupts, o.m_abInterrupts, sizeof(m_abInterrupts));
  m_nIllegalAddress = o.m_nIllegalAddress;
  m_nIllegalOpcodeWord = o.m_nIllegalOpcodeWord;
  m_nIllegalOpcodeByte = o.m_nIllegalOpcodeByte;
  CFieldRecordLock lock(*this);
  m_bPendingCsA = o.m_bPendingCsA;
  m_bPendingCsB = o.m_bPendingCsB;
  m_bPendingCsC = o.m_bPendingCsC;
  return *this;
}

void CFieldCSDB::SetPendingCsA(uint8_t pending) { FieldSetLocked(*this, m_bPendingCsA, pending); }
void CFieldCSDB::SetPendingCsB(uint8_t pending) { FieldSetLocked(*this, m_bPendingCsB, pending); }
void CFieldCSDB::SetPendingCsC(uint8_t pending) { FieldSetLocked(*this, m_bPendingCsC, pending); }

uint8_t PackLaneModes(const uint8_t m[4]) {
  uint8_t arg = 0;
  switch (m[0]) {
    case 1: arg = 0x01; break;
    case 2: arg = 0x10; break;
    default: arg = 0x00; break;
  }
  if (m[1] == 1) {
    arg = m[0] == 1 ? 0x03 : (m[0] == 2 ? 0x12 : 0x02);
  } else if (m[1] == 2) {
    arg = m[0] == 1 ? 0x21 : (m[0] == 2 ? 0x30 : 0x20);
  }
  if (m[2] == 1) arg |= 0x04;
  else if (m[2] == 2) arg |= 0x40;
  if (m[3] == 1) arg |= 0x08;
  else if (m[3] == 2) arg |= 0x80;
  return arg;
}

// ---------------------------------------------------------------------------------------------
// Reply readers

namespace {
uint8_t ErrorBit(const uint8_t* reply) { return (reply[3] & 0x80) != 0 ? 1 : 0; }
}  // namespace

uint32_t ReadShortStatus(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 4) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = ErrorBit(reply);
  return 0;
}

uint32_t ReadVersion(const uint8_t* reply, size_t size, CField170DB& rec, FieldVersionKind kind) {
  if (size < 6) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = ErrorBit(reply);
  const uint8_t v = reply[5];
  if (v == 0) return 0;
  uint8_t& cls = rec.m_abIdentity[FIELD_IDENTITY_CLASS];
  rec.m_abIdentity[FIELD_IDENTITY_VERSION] = v;
  switch (kind) {
    case FieldVersionKind::RMDC: cls = v >= 48 ? 5 : (v >= 41 ? 4 : 3); break;
    case FieldVersionKind::HARS: cls = v >= 5 ? 1 : 0; break;
    case FieldVersionKind::RGC: cls = v >= 96 ? 2 : (v >= 92 ? 1 : 3); break;
    case FieldVersionKind::SGC: cls = v >= 96 ? 2 : 1; break;
    case FieldVersionKind::CS: break;  // no classes for closure signals
  }
  return 0;
}

uint32_t ReadHarsStatus(const uint8_t* reply, size_t size, CFieldHARSDB& rec) {
  if (size < 6) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = ErrorBit(reply);
  rec.m_nSgcStatus = static_cast<uint16_t>((rec.m_nSgcStatus & 0xFF00) | reply[5]);
  return 0;
}

uint32_t ReadClock(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 18) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = ErrorBit(reply);
  rec.m_ControllerClock.m_nYear = static_cast<uint16_t>(ExpandTwoDigitYear(reply[8]));
  std::memcpy(rec.m_ControllerClock.m_abBytes, reply + 9, 8);
  rec.m_ControllerClock.m_bValid = 1;
  rec.m_nControllerFlag = reply[17];
  return 0;
}

namespace {

// Both replies that carry the 32-byte plan table store it the same way: under the record's lock,
// which the transition decoder takes to read it, and marked as received.
void StorePlanTable(CFieldRGCDB& rec, const uint8_t* table) {
  CFieldRecordLock lock(rec);
  std::memcpy(rec.m_abPlanTable, table, 32);
  rec.m_bHasPlanTable = 1;
}

}  // namespace

uint32_t ReadPlanBlock(const uint8_t* reply, size_t size, CFieldRGCDB& rec) {
  if (size < 44) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = ErrorBit(reply);
  StorePlanTable(rec, reply + 8);
  rec.m_nPlanValue = LE32(reply + 40);
  return 0;
}

uint32_t ReadLongStatus(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 21) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  return 0;
}

uint32_t ReadLongInformation(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 49) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  std::memcpy(rec.m_abControllerInfo, reply + 29, 16);
  rec.m_nControllerInfo2 = LE32(reply + 45);
  return 0;
}

uint32_t ReadLongClock(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 39) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  rec.m_ControllerClock.m_nYear = LE16(reply + 28);
  std::memcpy(rec.m_ControllerClock.m_abBytes, reply + 30, 8);
  rec.m_ControllerClock.m_bValid = reply[38];
  return 0;
}

uint32_t ReadLongWord(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 26) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  rec.m_nReplyWord = LE16(reply + 24);
  return 0;
}

uint32_t ReadLongIdentity(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 70) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  std::memcpy(rec.m_abIdentity, reply + 28, FIELD_IDENTITY_SIZE);
  return 0;
}

uint32_t ReadShortIdentity(const uint8_t* reply, size_t size, CField170DB& rec) {
  if (size < 38) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  std::memcpy(rec.m_abIdentity, reply + 28, 10);
  rec.m_abIdentity[10] = 0;
  rec.m_abIdentity[11] = 0;
  return 0;
}

uint32_t ReadPlanStatus(const uint8_t* reply, size_t size, CFieldRGCDB& rec) {
  if (size < 95) return ERROR_INVALID_PARAMETER;
  rec.m_bReplyFlag = reply[20];
  std::memcpy(rec.m_abPlanStatus, reply + 28, 16);
  rec.m_nPlanStatus64 = LE64(reply + 44);
  rec.m_nPlanStatus32 = LE32(reply + 52);
  rec.m_nPlanStatus16 = LE16(reply + 56);
  StorePlanTable(rec, reply + 58);
  rec.m_nPlanValue = LE32(reply + 90);
  rec.m_nPlanByte = reply[94];
  return 0;
}

void UnpackLoopSample(const uint8_t b[2], uint8_t& v5, uint16_t& v11) {
  v5 = static_cast<uint8_t>(b[0] >> 3);
  v11 = static_cast<uint16_t>(((b[0] & 7) << 8) | b[1]);
}

void UnpackMeterSample(const uint8_t b[6], SMeterSample& out) {
  out.state = b[0];
  out.b1High = static_cast<uint8_t>(b[1] >> 4);
  out.a10 = static_cast<uint16_t>(((b[1] & 3) << 8) + b[2]);
  out.b10 = static_cast<uint16_t>(((b[1] & 12) << 6) + b[3]);
  out.v3 = static_cast<uint8_t>(b[4] >> 5);
  out.v5 = static_cast<uint8_t>(b[4] & 31);
  out.hi4 = static_cast<uint8_t>(b[5] >> 4);
  out.lo4 = static_cast<uint8_t>(b[5] & 15);
}

uint8_t SelectNibble(uint8_t byte, int index) {
  return (index & 1) != 0 ? static_cast<uint8_t>(byte & 0x0F) : static_cast<uint8_t>(byte >> 4);
}

// ---------------------------------------------------------------------------------------------
// Device groups

CFieldDeviceGroup::~CFieldDeviceGroup() {
  for (CFieldRGCDB* r : m_arrRecords) {
    if (r->m_pGroup == this) r->m_pGroup = nullptr;
  }
}

int CFieldDeviceGroup::FindRecord(const CFieldRGCDB* record) const {
  auto it = std::lower_bound(m_arrRecords.begin(), m_arrRecords.end(), record,
                             [](const CFieldRGCDB* a, const CFieldRGCDB* b) { return std::less<>()(a, b); });
  if (it != m_arrRecords.end() && *it == record) return static_cast<int>(it - m_arrRecords.begin());
  return -1;
}

void CFieldDeviceGroup::RebuildGroup() {
  for (CFieldRGCDB* r : m_arrRecords) r->m_pGroup = nullptr;
  m_arrRecords.clear();
  for (const std::vector<SFieldGroupEntry>* list : m_arrLists) {
    if (list != nullptr) AddListToGroup(*list);
  }
}

void CFieldDeviceGroup::AddListToGroup(const std::vector<SFieldGroupEntry>& list) {
  for (const SFieldGroupEntry& e : list) {
    if (e.m_pRecord == nullptr) continue;
    auto it = std::lower_bound(m_arrRecords.begin(), m_arrRecords.end(), e.m_pRecord,
                               [](const CFieldRGCDB* a, const CFieldRGCDB* b) { return std::less<>()(a, b); });
    if (it != m_arrRecords.end() && *it == e.m_pRecord) continue;
    m_arrRecords.insert(it, e.m_pRecord);
    e.m_pRecord->m_pGroup = this;
  }
}

void CFieldDeviceGroup::RemoveFromGroup(CFieldRGCDB* record) {
  const int i = FindRecord(record);
  if (i >= 0) m_arrRecords.erase(m_arrRecords.begin() + i);
  // The record no longer belongs to this group: leave it no pointer to it.
  if (record != nullptr && record->m_pGroup == this) record->m_pGroup = nullptr;
  for (std::vector<SFieldGroupEntry>* list : m_arrLists) {
    if (list == nullptr) continue;
    for (auto it = list->begin(); it != list->end(); ++it) {
      if (it->m_pRecord == record) {
        list->erase(it);
        break;
      }
    }
  }
}

int CFieldDeviceGroup::FindEntryByKey(SFieldGroupEntry* const* entries, int count, uint8_t a, uint8_t b) {
  int lo = 0;
  int hi = count - 1;
  const int key = (a << 8) | b;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int k = (entries[mid]->m_abKey[0] << 8) | entries[mid]->m_abKey[1];
    if (k == key) return mid;
    if (k < key) lo = mid + 1;
    else hi = mid - 1;
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Name tables

const char* const FieldCommStateNames[5] = {"Disabled", "Enabled", "Active", "Marginal", "Failed"};
const char* const FieldCommStateCodes[5] = {"DISABLED", "ENABLED", "COMM_ACTV", "COMM_MARG", "COMM_FAIL"};
const char* const FieldLogDetailNames[5] = {"None", "Errors", "Events", "Header", "Body"};
const char* const FieldCommLogDetailNames[5] = {"None", "Comm Errors", "Comm Events", "Comm Header", "Comm Body"};
const char* const FieldControllerFamilies[4] = {"", "ATC", "334", ""};
const char* const FieldControllerMakers[6] = {"", "McCain", "Econolite", "Peek", "Intelight", "Siemens"};
const char* const FieldControllerModels[7] = {"", "2070E", "2070LDX", "CobaltRackMount", "ATC2000", "2070LX",
                                              "2070X3C"};
const char* const FieldLoopStatusNames[8] = {"Good Data",    "Short Pulse", "Chatter",           "Vol/Occ Envelope",
                                             "Reserved [4]", "Bad Average", "Operator Disabled", "Bad Loop"};
const char* const FieldClosureDirectionNames[6] = {"UNKNOWN",    "CLOSED",    "Northbound",
                                                   "Southbound", "Eastbound", "Westbound"};
const char* const FieldClosureDirectionShort[6] = {"??", "CL", "NB", "SB", "EB", "WB"};
const char* const FieldClosureStateNames[11] = {"UNKNOWN",   "Totally Closed", "Reversible Closed", "Northbound",
                                                "Southbound", "NB Detour",     "SB Detour",         "Eastbound",
                                                "Westbound",  "EB Detour",     "WB Detour"};
const char* const FieldClosureStateCaps[11] = {"UNKNOWN",    "TOTALLY CLOSED", "REVERSIBLE CLOSED", "NORTHBOUND",
                                               "SOUTHBOUND", "NB DETOUR",      "SB DETOUR",         "EASTBOUND",
                                               "WESTBOUND",  "EB DETOUR",      "WB DETOUR"};
const char* const FieldClosureStateAbbrev[11] = {"UNKNOWN",  "TotClosed", "RevClosed", "Northbnd",
                                                 "Southbnd", "NBDetour",  "SBDetour",  "Eastbound",
                                                 "Westbound", "EBDetour", "WBDetour"};
const char* const FieldClosureStateShort[11] = {"UNK", "Clsd", "RCls", "NB", "SB", "NBDt",
                                                "SBDt", "EB", "WB", "EBDt", "WBDt"};

const char* FieldClosureStateText(unsigned state, FieldClosureForm form, char* buffer, size_t size) {
  const char* const* table = FieldClosureStateNames;
  const char* outside = "UNKNOWN [%u]";
  switch (form) {
    case FieldClosureForm::Name: break;
    case FieldClosureForm::Caps: table = FieldClosureStateCaps; break;
    case FieldClosureForm::Abbrev: table = FieldClosureStateAbbrev; outside = "UNK [%u]"; break;
    case FieldClosureForm::Short: table = FieldClosureStateShort; outside = "UNK%u"; break;
  }
  if (state < 11) return table[state];
  std::snprintf(buffer, size, outside, state);
  return buffer;
}
