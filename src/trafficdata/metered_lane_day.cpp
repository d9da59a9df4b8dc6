#include "trafficdata/metered_lane_day.h"

#include <algorithm>
#include <new>

#include "trafficdata/packed_records.h"

CMeteredLaneDay::CMeteredLaneDay(const CMeteredLaneDay& other)
    : CElementDay(other), rate(other.rate), redViolators(other.redViolators) {
  if (!trafficdata::DayArraysInStep(other.Count(), flag, nPds, rate, redViolators)) dataAvailable = 0;
}

CMeteredLaneDay& CMeteredLaneDay::operator=(const CMeteredLaneDay& other) {
  if (this == &other) return *this;
  CElementDay::operator=(other);
  rate = other.rate;
  redViolators = other.redViolators;
  if (!trafficdata::DayArraysInStep(other.Count(), flag, nPds, rate, redViolators)) dataAvailable = 0;
  return *this;
}

CMeteredLaneDay::~CMeteredLaneDay() = default;

void CMeteredLaneDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CMeteredLaneDay(*this);
}

void CMeteredLaneDay::Load(const unsigned char* packed, int byteLen, int count) {
  // The decodable records are written below; only the entries after them are zeroed.
  const int decoded = trafficdata::DecodableRecords(packed, byteLen, count, trafficdata::kMeteredLaneBytes);
  if (!trafficdata::SizeDayArrays(count, decoded, flag, nPds, rate, redViolators)) {
    dataAvailable = 0;  // out of memory: the day is without data
    return;
  }
  trafficdata::DecodeRecords(packed, byteLen, count, trafficdata::kMeteredLaneBytes,
                             [&](int i, const unsigned char* b) {
                               const trafficdata::MeteredLaneRecord r = trafficdata::UnpackMeteredLane(b);
                               flag.m_pData[i] = r.status;
                               rate.m_pData[i] = r.rate;
                               redViolators.m_pData[i] = r.redViolators;
                               nPds.m_pData[i] = r.rate != 0 ? 1 : 0;
                             });
  dataAvailable = 1;
}

void CMeteredLaneDay::Clear() {
  CElementDay::Clear();
  rate.RemoveAll();
  redViolators.RemoveAll();
}

trafficdata::MeteredLaneDayView CMeteredLaneDay::View() const {
  int count = std::min({flag.m_nSize, nPds.m_nSize, rate.m_nSize, redViolators.m_nSize});
  return trafficdata::MeteredLaneDayView(flag.m_pData, rate.m_pData, redViolators.m_pData, count);
}
