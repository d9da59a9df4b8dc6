// Report lines of the loop day: raw data listing, 15-minute summary and daily summary, each in
// the tab-separated form (format 1) and the fixed-width form (any other format).
#include "trafficdata/loop_day.h"
#include "trafficdata/report_text.h"

namespace {

bool Tabs(int format) { return format == 1; }

}  // namespace

void CLoopDay::WriteRawTitle(CText& out, int format) const {
  out += Tabs(format) ? "\t---Raw Loop Data Listing---\n\n" : "     ---Raw Loop Data Listing---\n\n";
}

void CLoopDay::WriteRawHeader(CText& out, int format) const {
  out += Tabs(format) ? "\tTime\tVol\tOcc\tFlg\tnPds\n"
                      : "     Time    Vol    Occ   Flg  nPds\n     ------------------------------\n";
}

void CLoopDay::WriteRawLine(CText& out, int p, int format) const {
  unsigned vol, occ, cls, n;
  if (!IsFine()) {
    // The period as stored: its own flag, even when it has no samples.
    vol = static_cast<unsigned>(VolumeAt(p));
    occ = static_cast<unsigned>(OccupancyAt(p));
    cls = static_cast<unsigned>(FlagAt(p));
    n = static_cast<unsigned>(NPdsAt(p));
  } else {
    SPeriodValue v = PeriodAt(p);
    vol = v.volume;
    occ = OccupancyFromSums(v.occWeighted, v.samples, true);
    cls = v.cls;
    n = v.samples;
  }
  WriteVolOccRawLine(out, format, p, vol, occ, cls, n);
}

void CLoopDay::Write15MinTitle(CText& out, int format) const {
  out += Tabs(format) ? "\t---15 Minute Loop Summary Report---\n\n" : "     ---15 Minute Loop Summary Report---\n\n";
}

void CLoopDay::Write15MinHeader(CText& out, int format, bool withCounts) const {
  if (Tabs(format)) {
    out += withCounts ? "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\tG\tS\tB\tD\n"
                      : "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\n";
  } else if (withCounts) {
    out += "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B  D\n"
           "     --------------------------------------------------------------------------------     -------------\n";
  } else {
    out += "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour\n"
           "     --------------------------------------------------------------------------------\n";
  }
}

void CLoopDay::Write15MinLine(CText& out, int row, int format, bool withCounts, bool withOccupancy) const {
  // vol[half][0..3] quarters, [4] hour; likewise occupancy.
  unsigned vol[2][5] = {}, occ[2][5] = {};
  int tally[4] = {0, 0, 0, 0};  // periods by class
  const bool fine = IsFine();
  const int first = 24 * row;
  const bool direct = !fine && first >= 0 && first + 24 <= Count();
  for (int half = 0; half < 2; ++half) {
    uint64_t hourW = 0, hourN = 0;
    for (int q = 0; q < 4; ++q) {
      uint64_t w = 0, n = 0;
      unsigned v = 0;
      const int p0 = first + 12 * half + 3 * q;
      if (direct) {
        // Five-minute layout inside the arrays: read the periods as stored (PeriodAt's rules).
        for (int p = p0; p < p0 + 3; ++p) {
          const unsigned samples = nPds.m_pData[p];
          const unsigned f = flag.m_pData[p];
          ++tally[(samples == 0 || f < PC_GOOD || f > PC_DISABLED) ? static_cast<unsigned>(PC_BAD) : f];
          v += volume.m_pData[p];
          w += static_cast<uint32_t>(occupancy.m_pData[p]) * samples;
          n += samples;
        }
      } else {
        for (int p = p0; p < p0 + 3; ++p) {
          SPeriodValue x = PeriodAt(p);
          ++tally[x.cls <= PC_DISABLED ? x.cls : static_cast<uint8_t>(PC_BAD)];
          v += x.volume;
          w += x.occWeighted;
          n += x.samples;
        }
      }
      vol[half][q] = v;
      occ[half][q] = OccupancyFromSums(w, n, fine);
      vol[half][4] += v;
      hourW += w;
      hourN += n;
    }
    occ[half][4] = OccupancyFromSums(hourW, hourN, fine);
  }
  SClassCounts counts;
  counts.good = tally[PC_GOOD];
  counts.suspect = tally[PC_SUSPECT];
  counts.bad = tally[PC_BAD];
  counts.disabled = tally[PC_DISABLED];
  Write15MinVolumes(out, format, 2 * row, vol, withCounts ? &counts : nullptr);
  if (withOccupancy) Write15MinOccupancies(out, format, occ);
}

void CLoopDay::WriteDailyTitle(CText& out, int format) const {
  out += Tabs(format) ? "\t---Daily Loop Summary Report---\n\n" : "     ---Daily Loop Summary Report---\n\n";
}

void CLoopDay::WriteDailyHeader(CText& out, int format) const {
  out += Tabs(format) ? "\tSummary\tValid\tVol\tOcc\tG\tS\tB\tD\n"
                      : "     Summary   Valid   Vol   Occ     G   S   B   D\n"
                        "     ---------------------------------------------\n";
}

void CLoopDay::WriteDailyLine(CText& out, int kind, int format, const ValidityTables& criteria) const {
  WriteVolOccDailyLine(out, format, kind, ComputeSummary(kind, criteria), /*withDisabled=*/true);
}
