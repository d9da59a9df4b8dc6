#include "trafficdata/vol_occ_day.h"

#include <new>

int SSpeedParams::LengthFromSums(double occSum, double volSum) const {
  if (occSum <= 0 || volSum <= 0) return MeanLength();
  int len = RoundHalfUp(occSum * assumedSpeed * 11.0 / (volSum * 450.0));
  if (len > longest) len = longest;
  if (len < shortest) len = shortest;
  return len;
}

namespace {

// The four arrays always have one length. When one of them could not take its length (out of
// memory) the day holds nothing and reads as a day without data, never as arrays of different
// lengths that the readers would index past.
bool KeepArraysInStep(CVolOccDay& d, int n) {
  if (d.flag.m_nSize == n && d.nPds.m_nSize == n && d.volume.m_nSize == n && d.occupancy.m_nSize == n) return true;
  d.flag.RemoveAll();
  d.nPds.RemoveAll();
  d.volume.RemoveAll();
  d.occupancy.RemoveAll();
  d.dataAvailable = 0;
  return false;
}

}  // namespace

CVolOccDay::CVolOccDay(const CVolOccDay& other)
    : CElementDay(other), volume(other.volume), occupancy(other.occupancy),
      estimatedLength(other.estimatedLength) {
  KeepArraysInStep(*this, other.Count());
}

CVolOccDay& CVolOccDay::operator=(const CVolOccDay& other) {
  if (this == &other) return *this;
  CElementDay::operator=(other);
  volume = other.volume;
  occupancy = other.occupancy;
  estimatedLength = other.estimatedLength;
  KeepArraysInStep(*this, other.Count());
  return *this;
}

CVolOccDay::~CVolOccDay() = default;

void CVolOccDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CVolOccDay(*this);
}

void CVolOccDay::Clear() {
  CElementDay::Clear();
  volume.RemoveAll();
  occupancy.RemoveAll();
  estimatedLength = -1;
}

bool CVolOccDay::ResetArrays(int count) {
  if (count < 0) count = 0;
  flag.ResetSize(count);
  nPds.ResetSize(count);
  volume.ResetSize(count);
  occupancy.ResetSize(count);
  return KeepArraysInStep(*this, count);
}

int CVolOccDay::GetSpanVolume(int, int, int) const { return 0; }
int CVolOccDay::GetSpanOccupancy(int, int, int) const { return 0; }

void CVolOccDay::GetSpanVolumes(int first, int last, int length, int method, int64_t* out) const {
  for (int s = first; s <= last; ++s) out[s - first] = GetSpanVolume(s, length, method);
}
int CVolOccDay::GetSpanOccupancySum(int, int, int) const { return 0; }
int CVolOccDay::GetSpanPeriods(int, int, int) const { return 0; }
int CVolOccDay::GetSpanValidity(int, int, int) const { return 0; }
int CVolOccDay::GetSpanFlag(int, int, int) const { return 4; }

int CVolOccDay::GetSpanSpeed(int start, int length, int method, const SSpeedParams& params) {
  if (estimatedLength == -1) EstimateLength(length, method, params);
  if (GetSpanOccupancy(start, length, method) <= params.occUpper) return params.assumedSpeed;
  int occSum = GetSpanOccupancySum(start, length, method);
  // A span can have occupancy above the bound and still no occupancy sum (no sample): no speed.
  if (occSum <= 0) return 0;
  // Double arithmetic: volume x length x 450 passes 2^31 for a day's volume.
  return RoundHalfUp(static_cast<double>(GetSpanVolume(start, length, method)) * estimatedLength * 450.0 /
                     (occSum * 11.0));
}

void CVolOccDay::EstimateLength(int, int, const SSpeedParams& params) {
  estimatedLength = params.MeanLength();
}
