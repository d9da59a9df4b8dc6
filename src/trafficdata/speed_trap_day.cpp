#include "trafficdata/speed_trap_day.h"

#include <algorithm>
#include <new>

#include "trafficdata/packed_records.h"

using trafficdata::SpeedTrapDayView;

CSpeedTrapDay::CSpeedTrapDay(const CSpeedTrapDay& other)
    : CElementDay(other), speed(other.speed), length(other.length), bin1(other.bin1), bin2(other.bin2),
      bin3(other.bin3), bin4(other.bin4) {
  if (!ArraysInStep(other.Count())) dataAvailable = 0;
}

bool CSpeedTrapDay::ArraysInStep(int count) {
  return trafficdata::DayArraysInStep(count, flag, nPds, speed, length, bin1, bin2, bin3, bin4);
}

CSpeedTrapDay& CSpeedTrapDay::operator=(const CSpeedTrapDay& other) {
  if (this == &other) return *this;
  CElementDay::operator=(other);
  speed = other.speed;
  length = other.length;
  bin1 = other.bin1;
  bin2 = other.bin2;
  bin3 = other.bin3;
  bin4 = other.bin4;
  if (!ArraysInStep(other.Count())) dataAvailable = 0;
  return *this;
}

CSpeedTrapDay::~CSpeedTrapDay() = default;

void CSpeedTrapDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CSpeedTrapDay(*this);
}

void CSpeedTrapDay::Load(const unsigned char* packed, int byteLen, int count) {
  // The decodable records are written below; only the entries after them are zeroed.
  const int decoded = trafficdata::DecodableRecords(
      packed, byteLen, count,
      count == PERIODS_PER_DAY ? trafficdata::kSpeedTrapPeriodBytes : trafficdata::kSpeedTrapIntervalBytes);
  if (!trafficdata::SizeDayArrays(count, decoded, flag, nPds, speed, length, bin1, bin2, bin3, bin4)) {
    dataAvailable = 0;  // out of memory: the day is without data
    return;
  }
  // Both layouts carry speed, length and the four bins under the same names; the five-minute
  // record has a class and a sample count, the 20-second one flag bits and a present bit.
  auto store = [&](int i, uint8_t f, uint8_t n, const auto& r) {
    flag.m_pData[i] = f;
    nPds.m_pData[i] = n;
    speed.m_pData[i] = r.speed;
    length.m_pData[i] = r.length;
    bin1.m_pData[i] = r.bin1;
    bin2.m_pData[i] = r.bin2;
    bin3.m_pData[i] = r.bin3;
    bin4.m_pData[i] = r.bin4;
  };
  if (count == PERIODS_PER_DAY) {
    trafficdata::DecodeRecords(packed, byteLen, count, trafficdata::kSpeedTrapPeriodBytes,
                               [&](int i, const unsigned char* b) {
                                 const trafficdata::SpeedTrapPeriodRecord r = trafficdata::UnpackSpeedTrapPeriod(b);
                                 store(i, r.flag, r.nPds, r);
                               });
  } else {
    trafficdata::DecodeRecords(packed, byteLen, count, trafficdata::kSpeedTrapIntervalBytes,
                               [&](int i, const unsigned char* b) {
                                 const trafficdata::SpeedTrapIntervalRecord r = trafficdata::UnpackSpeedTrapInterval(b);
                                 store(i, r.flags, r.present, r);
                               });
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

SSummary CSpeedTrapDay::ComputeSummary(int summaryKind, const ValidityTables& criteria) const {
  const trafficdata::SpeedTrapSummary own = ComputeTrapSummary(summaryKind, criteria);
  SSummary s;
  s.valid = own.valid;
  s.volume = own.bins[0] + own.bins[1] + own.bins[2] + own.bins[3];
  s.counts.good = own.good;
  s.counts.suspect = own.suspect;
  s.counts.bad = own.bad;
  s.counts.disabled = own.disabled;
  s.start = own.start;
  return s;
}

bool CSpeedTrapDay::FillPeriodTable(CPeriodTable& table) const {
  const trafficdata::SpeedTrapDayView v = View();
  table.fine = IsFine();
  for (int p = 0; p < PERIODS_PER_DAY; ++p) {
    const trafficdata::SpeedTrapPeriod q = v.GetPeriod(p);
    table.period[p] = SPeriodValue{static_cast<uint8_t>(q.cls), static_cast<uint8_t>(q.samples), q.Vehicles(), 0};
  }
  return true;
}
