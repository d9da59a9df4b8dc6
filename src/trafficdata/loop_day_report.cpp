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
  SClassCounts counts;
  bool fine = IsFine();
  for (int half = 0; half < 2; ++half) {
    int hour = 2 * row + half;
    uint64_t hourW = 0, hourN = 0;
    for (int q = 0; q < 4; ++q) {
      uint64_t w = 0, n = 0;
      for (int k = 0; k < 3; ++k) {
        SPeriodValue v = PeriodAt(12 * hour + 3 * q + k);
        vol[half][q] += v.volume;
        w += v.occWeighted;
        n += v.samples;
        counts.Add(v.cls);
      }
      occ[half][q] = OccupancyFromSums(w, n, fine);
      vol[half][4] += vol[half][q];
      hourW += w;
      hourN += n;
    }
    occ[half][4] = OccupancyFromSums(hourW, hourN, fine);
  }
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
