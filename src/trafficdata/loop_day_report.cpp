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
    const CPeriodTable* table = ScopedPeriodTable();
    const SPeriodValue v = table && p >= 0 && p < PERIODS_PER_DAY ? table->period[p] : PeriodAt(p);
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
  SPackedClassCounts tally;  // periods by class
  const bool fine = IsFine();
  const int first = 24 * row;
  const bool inDay = first >= 0 && first + 24 <= PERIODS_PER_DAY;
  // Inside a report scope the periods come from the day's table (folded once for the day).
  const CPeriodTable* table = inDay ? ScopedPeriodTable() : nullptr;
  const bool direct = !table && !fine && first >= 0 && first + 24 <= Count();
  // Weighted occupancy sums and samples of the quarters and hours; the ten divisions come after
  // the sums, independent of one another.
  uint64_t occW[2][5] = {}, occN[2][5] = {};
  for (int half = 0; half < 2; ++half) {
    for (int q = 0; q < 4; ++q) {
      uint64_t w = 0, n = 0;
      unsigned v = 0;
      const int p0 = first + 12 * half + 3 * q;
      if (table) {
        for (int p = p0; p < p0 + 3; ++p) {
          const SPeriodValue& x = table->period[p];
          tally.Add(x.cls);
          v += x.volume;
          w += x.occWeighted;
          n += x.samples;
        }
      } else if (direct) {
        // Five-minute layout inside the arrays: read the periods as stored (PeriodAt's rules).
        for (int p = p0; p < p0 + 3; ++p) {
          const unsigned samples = nPds.m_pData[p];
          const unsigned f = flag.m_pData[p];
          tally.Add((samples == 0 || f < PC_GOOD || f > PC_DISABLED) ? static_cast<unsigned>(PC_BAD) : f);
          v += volume.m_pData[p];
          w += static_cast<uint32_t>(occupancy.m_pData[p]) * samples;
          n += samples;
        }
      } else {
        for (int p = p0; p < p0 + 3; ++p) {
          SPeriodValue x = PeriodAt(p);
          tally.Add(x.cls);
          v += x.volume;
          w += x.occWeighted;
          n += x.samples;
        }
      }
      vol[half][q] = v;
      vol[half][4] += v;
      occW[half][q] = w;
      occN[half][q] = n;
      occW[half][4] += w;
      occN[half][4] += n;
    }
  }
  for (int half = 0; half < 2; ++half)
    for (int q = 0; q < 5; ++q) occ[half][q] = OccupancyFromSums(occW[half][q], occN[half][q], fine);
  const SClassCounts counts = tally.Counts();
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
