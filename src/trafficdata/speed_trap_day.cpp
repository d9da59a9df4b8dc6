#include "trafficdata/speed_trap_day.h"

#include <algorithm>
#include <new>

#include "trafficdata/packed_records.h"

using trafficdata::SpeedTrapDayView;

CSpeedTrapDay::CSpeedTrapDay(const CSpeedTrapDay& other)
    : CElementDay(other), speed(other.speed), length(other.length), bin1(other.bin1), bin2(other.bin2),
      bin3(other.bin3), bin4(other.bin4) {}

CSpeedTrapDay& CSpeedTrapDay::operator=(const CSpeedTrapDay& other) {
  if (this == &other) return *this;
  CElementDay::operator=(other);
  speed = other.speed;
  length = other.length;
  bin1 = other.bin1;
  bin2 = other.bin2;
  bin3 = other.bin3;
  bin4 = other.bin4;
  return *this;
}

CSpeedTrapDay::~CSpeedTrapDay() = default;

void CSpeedTrapDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CSpeedTrapDay(*this);
}

void CSpeedTrapDay::Load(const unsigned char* packed, int byteLen, int count) {
  if (count < 0) count = 0;
  flag.ResetSize(count);
  nPds.ResetSize(count);
  speed.ResetSize(count);
  length.ResetSize(count);
  bin1.ResetSize(count);
  bin2.ResetSize(count);
  bin3.ResetSize(count);
  bin4.ResetSize(count);
  const bool fiveMinute = count == PERIODS_PER_DAY;
  const int recordBytes = fiveMinute ? trafficdata::kSpeedTrapPeriodBytes : trafficdata::kSpeedTrapIntervalBytes;
  int n = trafficdata::DecodableRecords(packed, byteLen, count, recordBytes);
  n = std::min(n, View().Count());  // an array that could not grow holds nothing
  for (int i = 0; i < n; ++i) {
    const unsigned char* r = packed + recordBytes * i;
    if (fiveMinute) {
      trafficdata::SpeedTrapPeriodRecord p = trafficdata::UnpackSpeedTrapPeriod(r);
      flag.m_pData[i] = p.flag;
      nPds.m_pData[i] = p.nPds;
      speed.m_pData[i] = p.speed;
      length.m_pData[i] = p.length;
      bin1.m_pData[i] = p.bin1;
      bin2.m_pData[i] = p.bin2;
      bin3.m_pData[i] = p.bin3;
      bin4.m_pData[i] = p.bin4;
    } else {
      trafficdata::SpeedTrapIntervalRecord p = trafficdata::UnpackSpeedTrapInterval(r);
      flag.m_pData[i] = p.flags;
      nPds.m_pData[i] = p.present;
      speed.m_pData[i] = p.speed;
      length.m_pData[i] = p.length;
      bin1.m_pData[i] = p.bin1;
      bin2.m_pData[i] = p.bin2;
      bin3.m_pData[i] = p.bin3;
      bin4.m_pData[i] = p.bin4;
    }
  }
  dataAvailable = 1;
}

void CSpeedTrapDay::Clear() {
  CElementDay::Clear();
  bin1.RemoveAll();
  bin2.RemoveAll();
  bin3.RemoveAll();
  bin4.RemoveAll();
  length.RemoveAll();
  speed.RemoveAll();
}

SpeedTrapDayView CSpeedTrapDay::View() const {
  int count = std::min({flag.m_nSize, nPds.m_nSize, speed.m_nSize, length.m_nSize, bin1.m_nSize, bin2.m_nSize,
                        bin3.m_nSize, bin4.m_nSize});
  if (count != flag.m_nSize && flag.m_nSize == PERIODS_PER_DAY) count = 0;
  const uint8_t* bins[4] = {bin1.m_pData, bin2.m_pData, bin3.m_pData, bin4.m_pData};
  return SpeedTrapDayView(flag.m_pData, nPds.m_pData, speed.m_pData, length.m_pData, bins, count);
}

SClassCounts CSpeedTrapDay::CountClasses(int start, int end) const {
  SClassCounts k;
  View().CountClasses(start, end, k.good, k.suspect, k.bad, k.disabled);
  return k;
}

trafficdata::SpeedTrapSummary CSpeedTrapDay::ComputeTrapSummary(int summaryKind,
                                                                const ValidityTables& criteria) const {
  if (summaryKind < 0 || summaryKind >= SK_COUNT) return trafficdata::SpeedTrapSummary{};
  return View().ComputeSummary(summaryKind, criteria[summaryKind]);
}
