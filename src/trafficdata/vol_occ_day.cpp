#include "trafficdata/vol_occ_day.h"
#include "trafficdata/report_text.h"

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

void WriteVolOccRawLine(CText& out, int format, int p, unsigned vol, unsigned occ, unsigned cls, unsigned n) {
  const int h = p / 12, m = (p % 12) * 5;
  CReportLine line(out);
  if (format == 1)  // "\t%02d:%02d\t%4u\t%3u.%1u%%\t%1u\t%2u\n"
    line.Lit("\t").Z(h, 2).Lit(":").Z(m, 2).Lit("\t").U(vol, 4).Lit("\t").Tenths(occ, 3).Lit("%\t").U(cls, 1)
        .Lit("\t").U(n, 2);
  else  // "     %2d:%02d  %4u  %3u.%1u%%   %1u    %2u\n"
    line.Lit("     ").I(h, 2).Lit(":").Z(m, 2).Lit("  ").U(vol, 4).Lit("  ").Tenths(occ, 3).Lit("%   ").U(cls, 1)
        .Lit("    ").U(n, 2);
  line.Lit("\n").End();
}

void WriteVolOccDailyLine(CText& out, int format, int kind, const SSummary& s, bool withDisabled) {
  CReportLine line(out);
  if (format == 1) {  // "\t%s\tVAL\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d[\t%3d]"
    line.Lit("\t").Str(SummaryKindLabel(kind)).Str(s.valid ? "\tVAL\t" : "\tINV\t").U(s.volume, 6).Lit("\t")
        .Tenths(s.occupancy, 3).Lit("%\t").I(s.counts.good, 3).Lit("\t").I(s.counts.suspect, 3).Lit("\t")
        .I(s.counts.bad, 3);
    if (withDisabled) line.Lit("\t").I(s.counts.disabled, 3);
  } else {  // "     %s VAL %6u %3u.%1u%%  %3d %3d %3d[ %3d]"
    line.Lit("     ").Str(SummaryKindLabel(kind)).Str(s.valid ? " VAL " : " INV ").U(s.volume, 6).Lit(" ")
        .Tenths(s.occupancy, 3).Lit("%  ").I(s.counts.good, 3).Lit(" ").I(s.counts.suspect, 3).Lit(" ")
        .I(s.counts.bad, 3);
    if (withDisabled) line.Lit(" ").I(s.counts.disabled, 3);
  }
  if (kind == SK_AM_PEAK_HOUR || kind == SK_PM_PEAK_HOUR) FormatPeriodRange(line, format, s.start);
  line.Lit("\n").End();
}
