#include "trafficdata/station_day.h"

#include <algorithm>
#include <new>

#include "trafficdata/packed_records.h"

using trafficdata::StationDayView;

CStationDay::CStationDay(const CStationDay& other) : CVolOccDay(other), laneCount(other.laneCount) {
  if (!trafficdata::DayArraysInStep(other.Count(), flag, nPds, volume, occupancy, laneCount)) dataAvailable = 0;
}

CStationDay& CStationDay::operator=(const CStationDay& other) {
  if (this == &other) return *this;
  CVolOccDay::operator=(other);
  laneCount = other.laneCount;
  if (!trafficdata::DayArraysInStep(other.Count(), flag, nPds, volume, occupancy, laneCount)) dataAvailable = 0;
  return *this;
}

CStationDay::~CStationDay() = default;

void CStationDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CStationDay(*this);
}

void CStationDay::Load(const unsigned char* packed, int byteLen, int count) {
  if (count < 0) count = 0;
  estimatedLength = -1;
  if (!trafficdata::ResetDayArrays(count, flag, nPds, volume, occupancy, laneCount)) {
    dataAvailable = 0;  // out of memory: the day is without data
    return;
  }
  // Both layouts carry occupancy, volume and lane count under the same names; the five-minute
  // record has a class and a sample count, the 20-second one a good bit and is present when it
  // has lanes.
  auto store = [&](int i, uint8_t f, uint8_t n, const auto& r) {
    flag.m_pData[i] = f;
    nPds.m_pData[i] = n;
    occupancy.m_pData[i] = r.occupancy;
    volume.m_pData[i] = r.volume;
    laneCount.m_pData[i] = r.laneCount;
  };
  if (count == PERIODS_PER_DAY) {
    trafficdata::DecodeRecords(packed, byteLen, count, trafficdata::kStationPeriodBytes,
                               [&](int i, const unsigned char* b) {
                                 const trafficdata::StationPeriodRecord r = trafficdata::UnpackStationPeriod(b);
                                 store(i, r.flag, r.nPds, r);
                               });
  } else {
    trafficdata::DecodeRecords(packed, byteLen, count, trafficdata::kStationIntervalBytes,
                               [&](int i, const unsigned char* b) {
                                 const trafficdata::StationIntervalRecord r = trafficdata::UnpackStationInterval(b);
                                 store(i, r.good, r.laneCount != 0 ? 1 : 0, r);
                               });
  }
  dataAvailable = 1;
}

void CStationDay::Clear() {
  CVolOccDay::Clear();
  laneCount.RemoveAll();
}

StationDayView CStationDay::View() const {
  // The shortest array bounds every read; the layout still follows the day's count.
  int count = std::min({flag.m_nSize, nPds.m_nSize, volume.m_nSize, occupancy.m_nSize, laneCount.m_nSize});
  if (count != flag.m_nSize && flag.m_nSize == PERIODS_PER_DAY) count = 0;
  return StationDayView(flag.m_pData, nPds.m_pData, volume.m_pData, occupancy.m_pData, laneCount.m_pData,
                        count);
}

bool CStationDay::FillPeriodTable(CPeriodTable& table) const {
  StationDayView v = View();
  table.fine = IsFine();
  if (v.IsFiveMinute()) {
    // The common case read straight from the arrays: flag 3 and periods without samples are bad.
    for (int p = 0; p < PERIODS_PER_DAY; ++p) {
      const int n = nPds.m_pData[p], f = flag.m_pData[p];
      const uint8_t cls = n == 0 ? PC_BAD : f == 1 ? PC_GOOD : f == 2 ? PC_SUSPECT : PC_BAD;
      table.period[p] = SPeriodValue{cls, static_cast<uint8_t>(n), volume.m_pData[p],
                                     static_cast<uint32_t>(occupancy.m_pData[p]) * static_cast<uint32_t>(n)};
    }
    return true;
  }
  for (int p = 0; p < PERIODS_PER_DAY; ++p) {
    trafficdata::StationPeriod q = v.GetPeriod(p);
    table.period[p] = SPeriodValue{static_cast<uint8_t>(q.cls), static_cast<uint8_t>(q.samples), q.volume,
                                   q.occupancyWeight};
  }
  return true;
}

SClassCounts CStationDay::CountClasses(int start, int end) const {
  CPeriodTable table;
  FillPeriodTable(table);
  return table.CountClasses(start, end);
}

SSummaryTotals CStationDay::GetSummaryTotals(int start, int end, bool useSuspect) const {
  CPeriodTable table;
  FillPeriodTable(table);
  return table.GetSummaryTotals(start, end, useSuspect);
}

bool CStationDay::CheckRunning(int start, int end, int step, int width, int minGood, int maxSuspect,
                               int maxBad) const {
  CPeriodTable table;
  FillPeriodTable(table);
  return table.CheckRunning(start, end, step, width, minGood, maxSuspect, maxBad, 0, /*checkDisabled=*/false);
}

SSummary CStationDay::ComputeSummary(int summaryKind, const ValidityTables& criteria) const {
  if (summaryKind < 0 || summaryKind >= SK_COUNT) return SSummary{};
  CPeriodTable table;
  FillPeriodTable(table);
  return table.ComputeSummary(summaryKind, criteria[summaryKind], /*checkDisabled=*/false);
}

void CStationDay::ComputeSummaries(const ValidityTables& criteria, SSummary out[SK_COUNT]) const {
  CPeriodTable table;
  FillPeriodTable(table);
  for (int k = 0; k < SK_COUNT; ++k) out[k] = table.ComputeSummary(k, criteria[k], /*checkDisabled=*/false);
}

int CStationDay::GetSpanVolume(int start, int length, int method) const {
  return static_cast<int>(View().GetSpanVolume(start, length, method));
}
int CStationDay::GetSpanOccupancy(int start, int length, int method) const {
  return static_cast<int>(View().GetSpanOccupancy(start, length, method));
}
int CStationDay::GetSpanOccupancySum(int start, int length, int method) const {
  return static_cast<int>(View().GetSpanOccupancySum(start, length, method));
}
int CStationDay::GetSpanPeriods(int start, int length, int method) const {
  return static_cast<int>(View().GetSpanPeriods(start, length, method));
}
int CStationDay::GetSpanValidity(int start, int length, int method) const {
  return static_cast<int>(View().GetSpanValidity(start, length, method));
}
int CStationDay::GetSpanFlag(int start, int length, int method) const {
  return View().GetSpanFlag(start, length, method);
}
void CStationDay::EstimateLength(int length, int method, const SSpeedParams& params) {
  estimatedLength = View().EstimateLength(length, method, params);
}
