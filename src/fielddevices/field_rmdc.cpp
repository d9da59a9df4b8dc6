#include "fielddevices/field_rmdc.h"

#include <strings.h>

#include <algorithm>
#include <cstring>


namespace {

constexpr uint8_t kMeterBlockDefault[30] = {200, 50, 20, 10, 0, 0,   15, 30, 255, 3,  22, 193, 30,  222, 3,
                                            44,  1,  120, 0, 20, 44, 1,  120, 0,  40, 194, 1,  250, 0,   40};
constexpr uint8_t kMeterParamRows[20] = {0, 180, 160, 130, 100, 70, 15, 17, 19, 21,
                                         23, 30, 25, 10, 30, 20, 40, 25, 80, 120};
constexpr uint8_t kStationParamsDefault[43] = {0,  0,  0,  90, 100, 50, 0,  1,  0,  250, 0,   110, 0,  38, 2,
                                               144, 1, 40, 250, 0,  110, 0, 38, 2, 94, 1,  25,  10,  10, 10,
                                               10, 10, 10, 10, 30,  15, 10, 15, 9,  144, 1,   94,  1};
constexpr uint8_t kStationBlockBDefault[30] = {1, 0, 2,  5, 0, 7, 10, 2, 11, 16, 1, 17, 1, 0, 2,
                                               5, 0, 7, 10, 2, 11, 16, 1, 17, 1, 0, 2,  5, 0, 7};
constexpr uint8_t kStationTimesDefault[20] = {5, 100, 5, 100, 30, 0, 250, 5, 10, 0,
                                              104, 1, 5, 0, 250, 5, 10, 0, 250, 5};

}  // namespace

CFieldRMDCDB::CFieldRMDCDB()
    : m_nRmdcByte(0),
      m_abMeterState{},
      m_nMeterControl(0),
      m_TimeCreated(FieldLocalNow()),
      m_abMeterInputs{},
      m_abStationBlockA{},
      m_nMeterFlag(0),
      m_nLoopCount(0),
      m_nStationCount(0),
      m_apStations{},
      m_abStationBlockC{},
      m_abPendingData{},
      m_abDataBlockA{},
      m_nDataBlockValue(0),
      m_nRmdcFlagA(0),
      m_szRmdcText{},
      m_bPendingMeterParams(0),
      m_bPendingTimeOfDay(0),
      m_bPendingStationParams(0),
      m_bPendingMeterControl(0),
      m_abMeterLimits{200, 200, 200, 200},
      m_anRmdcValues{},
      m_szRmdcName{},
      m_nRmdcWordA(0),
      m_nRmdcWordB(1),
      m_TimeChanged(m_TimeCreated),
      m_nRmdcByteB(0),
      m_aLoops{},
      m_abDatValue{},
      m_abDatState{},
      m_abDatSecond{},
      m_bPreempted(0),
      m_nPreemptFlags(0),
      m_abErdValue{},
      m_abErdBlock{},
      m_dErdValue(0.0) {
  for (auto& block : m_aMeterBlock) std::memcpy(block, kMeterBlockDefault, sizeof(block));
  for (int row = 0; row < 20; ++row) {
    for (int m = 0; m < 3; ++m) m_abMeterParams[row][m] = kMeterParamRows[row];
  }
  m_abMeterParams[0][1] = 100;
  for (auto& e : m_aTimeOfDay) {
    e[0] = 0;
    e[1] = 0;
    e[2] = 255;
    e[3] = 0;
  }
  std::memcpy(m_abStationParams, kStationParamsDefault, sizeof(m_abStationParams));
  for (auto& s : m_aStations) {
    s[0] = 0;
    s[1] = 0;
    s[2] = 17;
    s[3] = 7;
  }
  std::memcpy(m_abStationBlockB, kStationBlockBDefault, sizeof(m_abStationBlockB));
  std::memcpy(m_abStationTimes, kStationTimesDefault, sizeof(m_abStationTimes));
  FieldCopyText(m_szMeterCodes, sizeof(m_szMeterCodes), "2222");
}

CFieldRMDCDB::CFieldRMDCDB(const CFieldRMDCDB& other) : CField170DB(other) {
  CopyFields(other);
  std::memcpy(m_abPendingData, other.m_abPendingData, sizeof(m_abPendingData));
  m_bPendingMeterParams = other.m_bPendingMeterParams;
  m_bPendingTimeOfDay = other.m_bPendingTimeOfDay;
  m_bPendingStationParams = other.m_bPendingStationParams;
  m_bPendingMeterControl = other.m_bPendingMeterControl;
  for (int i = 0; i < 4; ++i) m_aFuzzy[i] = other.m_aFuzzy[i];
}

CFieldRMDCDB& CFieldRMDCDB::operator=(const CFieldRMDCDB& other) {
  if (this == &other) return *this;
  CField170DB::operator=(other);
  {
    CFieldRecordLock lock(*this);
    m_bPendingMeterParams = other.m_bPendingMeterParams;
    m_bPendingTimeOfDay = other.m_bPendingTimeOfDay;
    m_bPendingStationParams = other.m_bPendingStationParams;
    m_bPendingMeterControl = other.m_bPendingMeterControl;
    std::memcpy(m_abPendingData, other.m_abPendingData, sizeof(m_abPendingData));
  }
  for (int i = 0; i < 4; ++i) m_aFuzzy[i] = other.m_aFuzzy[i];
  CopyFields(other);
  return *this;
}

CFieldRMDCDB::~CFieldRMDCDB() = default;

void CFieldRMDCDB::CopyFields(const CFieldRMDCDB& o) {
  m_nRmdcByte = o.m_nRmdcByte;
  std::memcpy(m_abMeterState, o.m_abMeterState, sizeof(m_abMeterState));
  m_nMeterControl = o.m_nMeterControl;
  m_TimeCreated = o.m_TimeCreated;
  std::memcpy(m_aMeterBlock, o.m_aMeterBlock, sizeof(m_aMeterBlock));
  std::memcpy(m_abMeterParams, o.m_abMeterParams, sizeof(m_abMeterParams));
  std::memcpy(m_abMeterInputs, o.m_abMeterInputs, sizeof(m_abMeterInputs));
  std::memcpy(m_aTimeOfDay, o.m_aTimeOfDay, sizeof(m_aTimeOfDay));
  std::memcpy(m_abStationParams, o.m_abStationParams, sizeof(m_abStationParams));
  std::memcpy(m_abStationBlockA, o.m_abStationBlockA, sizeof(m_abStationBlockA));
  std::memcpy(m_aStations, o.m_aStations, sizeof(m_aStations));
  std::memcpy(m_abStationBlockB, o.m_abStationBlockB, sizeof(m_abStationBlockB));
  m_nMeterFlag = o.m_nMeterFlag;
  m_nLoopCount = o.m_nLoopCount;
  m_nStationCount = o.m_nStationCount;
  std::memcpy(m_abStationTimes, o.m_abStationTimes, sizeof(m_abStationTimes));
  std::memcpy(m_apStations, o.m_apStations, sizeof(m_apStations));
  std::memcpy(m_abStationBlockC, o.m_abStationBlockC, sizeof(m_abStationBlockC));
  std::memcpy(m_abDataBlockA, o.m_abDataBlockA, sizeof(m_abDataBlockA));
  m_nDataBlockValue = o.m_nDataBlockValue;
  m_nRmdcFlagA = o.m_nRmdcFlagA;
  std::memcpy(m_szRmdcText, o.m_szRmdcText, sizeof(m_szRmdcText));
  std::memcpy(m_abMeterLimits, o.m_abMeterLimits, sizeof(m_abMeterLimits));
  std::memcpy(m_szMeterCodes, o.m_szMeterCodes, sizeof(m_szMeterCodes));
  std::memcpy(m_anRmdcValues, o.m_anRmdcValues, sizeof(m_anRmdcValues));
  std::memcpy(m_szRmdcName, o.m_szRmdcName, sizeof(m_szRmdcName));
  m_nRmdcWordA = o.m_nRmdcWordA;
  m_nRmdcWordB = o.m_nRmdcWordB;
  m_TimeChanged = o.m_TimeChanged;
  m_nRmdcByteB = o.m_nRmdcByteB;
  std::memcpy(m_aLoops, o.m_aLoops, sizeof(m_aLoops));
  std::memcpy(m_abDatValue, o.m_abDatValue, sizeof(m_abDatValue));
  std::memcpy(m_abDatState, o.m_abDatState, sizeof(m_abDatState));
  std::memcpy(m_abDatSecond, o.m_abDatSecond, sizeof(m_abDatSecond));
  m_bPreempted = o.m_bPreempted;
  m_nPreemptFlags = o.m_nPreemptFlags;
  std::memcpy(m_abErdValue, o.m_abErdValue, sizeof(m_abErdValue));
  std::memcpy(m_abErdBlock, o.m_abErdBlock, sizeof(m_abErdBlock));
  m_dErdValue = o.m_dErdValue;
}

bool CFieldRMDCDB::AnyPendingFlag() const {
  return m_abPendingData[0] != 0 || m_abPendingData[1] != 0 || m_abPendingData[2] != 0 || m_abPendingData[3] != 0;
}

uint32_t CFieldRMDCDB::GetPollTime() const {
  const uint32_t l = m_nLoopCount;
  const uint32_t s = m_nStationCount;
  const uint32_t fixed = AnyPendingFlag() ? 32 : 26;
  return ((l + 1) / 2 + 2 * (l + 3 * s) + fixed) * m_nByteTime;
}

int CFieldRMDCDB::MeterCount() const { return std::min<int>(m_nStationCount, RMDC_STATION_ENTRIES); }

void CFieldRMDCDB::MeterLoops(int meter, uint8_t& loopA, uint8_t& loopB) const {
  if (meter < 0 || meter >= RMDC_STATION_ENTRIES) {
    loopA = loopB = 0xFF;
    return;
  }
  loopA = m_aStations[meter][0];
  loopB = m_aStations[meter][1];
}

int CFieldRMDCDB::AddStation(uint8_t a, uint8_t b) {
  if (m_nStationCount >= RMDC_STATION_ENTRIES) return -1;
  const int i = m_nStationCount;
  m_aStations[i][0] = a;
  m_aStations[i][1] = b;
  ++m_nStationCount;
  return i;
}

int CFieldRMDCDB::FindStationByNumber(uint8_t b) const {
  for (int i = 0; i < RMDC_STATION_ENTRIES; ++i) {
    if (m_aStations[i][1] == b) return i;
  }
  return -1;
}

int CFieldRMDCDB::FindStationPointer(const CFieldStation* p) const {
  for (int i = 0; i < RMDC_STATION_POINTERS; ++i) {
    if (m_apStations[i] == p) return i;
  }
  return -1;
}

void CFieldRMDCDB::BuildMeterInputs(int meter) {
  if (meter < 0 || meter >= 4) return;
  std::memset(m_abMeterInputs[meter], 0, sizeof(m_abMeterInputs[meter]));
  const CFuzzyMeterConfig& cfg = m_aFuzzy[meter];
  if (cfg.m_szName[0] == '\0') return;

  const char* ownName = NameText();
  int written = 0;

  // Visits one list; returns whether it gave at least one entry.
  auto visit = [&](int list) {
    bool yielded = false;
    const CFuzzyMeterInput& input = cfg.m_aInputs[list];
    const uint8_t kind = static_cast<uint8_t>(list <= 2 ? 1 : list - 1);
    for (int j = 0; j < input.m_nSize; ++j) {
      const CFuzzyMeterStn* entry = input.m_pData[j];
      if (entry == nullptr) continue;
      CFieldStation* station = reinterpret_cast<CFieldStation*>(static_cast<uintptr_t>(entry->m_nKey));
      if (station == nullptr) continue;
      CFieldStation* const* candidates = &station;
      size_t count = 1;
      if (strcasecmp(station->m_szType, "Stn") == 0) {
        candidates = station->m_arrMembers.data();
        count = station->m_arrMembers.size();
      }
      for (size_t c = 0; c < count; ++c) {
        const CFieldStation* cand = candidates[c];
        if (cand == nullptr || std::strncmp(cand->m_szName, ownName, 10) != 0) continue;
        yielded = true;
        if (written >= 20) continue;
        uint8_t* out = m_abMeterInputs[meter][written++];
        out[0] = static_cast<uint8_t>(FindStationPointer(cand) + 1);
        out[1] = kind;
        out[2] = static_cast<uint8_t>(j);
        out[3] = entry->m_nByte;
      }
    }
    return yielded;
  };

  if (!visit(0) && !visit(2)) visit(1);
  for (int list = 3; list < FUZZY_STATION_LIST_COUNT; ++list) visit(list);
}

void CFieldRMDCDB::WriteMeterBlock(int m, uint8_t* out) const {
  for (int row = 0; row <= 10; ++row) out[row] = m_abMeterParams[row][m];
  out[11] = m_aMeterBlock[m][0];
  out[12] = m_aMeterBlock[m][1];
  for (int row = 11; row <= 19; ++row) out[13 + row - 11] = m_abMeterParams[row][m];
  for (int i = 2; i <= 7; ++i) out[22 + i - 2] = m_aMeterBlock[m][i];
}

void CFieldRMDCDB::WriteMeterBlockExt(int m, uint8_t* out) const {
  WriteMeterBlock(m, out);
  out[28] = m_aMeterBlock[m][8];
  out[29] = m_aMeterBlock[m][9];
  out[30] = m_aMeterBlock[m][10];
}

void CFieldRMDCDB::WriteTimeOfDay(uint8_t* out) const {
  for (int e = 0; e < 32; ++e) {
    for (int c = 0; c < 4; ++c) {
      const int offset = e < 16 ? 16 * c + e : 64 + 16 * c + (e - 16);
      out[offset] = m_aTimeOfDay[e][c];
    }
  }
}

void CFieldRMDCDB::WriteStationParams(uint8_t* out) const {
  const uint8_t* sp = m_abStationParams;
  const uint8_t* st = m_abStationTimes;
  std::memcpy(out, m_abStationBlockA, 40);
  std::memcpy(out + 40, m_aStations, 32);
  std::memcpy(out + 72, m_abStationBlockB, 12);
  out[84] = m_nMeterFlag;
  out[85] = m_nLoopCount;
  out[86] = sp[0];
  out[87] = m_nStationCount;
  out[88] = sp[1];
  out[89] = sp[2];
  out[90] = sp[3];
  out[91] = sp[4];
  std::memcpy(out + 92, st, 4);
  out[96] = 10772 & 0xFF;
  out[97] = 10772 >> 8;
  out[98] = 'H';
  for (int k = 0; k < 8; ++k) {
    const unsigned value = static_cast<unsigned>(st[4 + 2 * k] | (st[5 + 2 * k] << 8));
    const double divided = value / ((k % 2 == 0) ? 3.0 : 18.0) + 0.5;
    // Large times would not fit the byte: they are sent as 255.
    out[99 + k] = divided >= 255.0 ? 255 : static_cast<uint8_t>(divided);
  }
  out[107] = sp[5];
  out[108] = sp[6];
  out[109] = out[110] = out[111] = out[112] = 3;
  out[113] = sp[7];
  out[114] = sp[8];
}

int CFieldRMDCDB::ParseClock(uint8_t& hour, uint8_t& minute, const char* text) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  hour = 255;
  minute = 255;
  if (text == nullptr || !digit(text[0])) return -1;
  int colon;
  if (text[1] == ':') {
    colon = 1;
  } else if (digit(text[1]) && text[2] == ':') {
    colon = 2;
  } else {
    return -1;
  }
  // Both minute digits must be there; the text may end right after the colon.
  if (!digit(text[colon + 1]) || !digit(text[colon + 2])) return -1;
  int h = 0;
  for (int i = 0; i < colon; ++i) h = h * 10 + (text[i] - '0');
  hour = static_cast<uint8_t>(h);
  minute = static_cast<uint8_t>((text[colon + 1] - '0') * 10 + (text[colon + 2] - '0'));
  return 0;
}

void CFieldRMDCDB::ParseDayMask(uint8_t& mask, const char* text) {
  mask = 1;
  if (text == nullptr) return;
  for (int i = 0; i < 7; ++i) {
    if (text[i] == '\0') break;  // missing days count as '-'
    if (text[i] != '-') mask = static_cast<uint8_t>(mask | (1u << (i + 1)));
  }
}

void CFieldRMDCDB::SetPendingMeterParams(uint8_t pending) { FieldSetLocked(*this, m_bPendingMeterParams, pending); }
void CFieldRMDCDB::SetPendingTimeOfDay(uint8_t pending) { FieldSetLocked(*this, m_bPendingTimeOfDay, pending); }
void CFieldRMDCDB::SetPendingStationParams(uint8_t pending) { FieldSetLocked(*this, m_bPendingStationParams, pending); }
void CFieldRMDCDB::SetPendingMeterControl(uint8_t pending) { FieldSetLocked(*this, m_bPendingMeterControl, pending); }
