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
  int h = p / 12, m = (p % 12) * 5;
  if (Tabs(format))
    AppendReportText(out, "\t%02d:%02d\t%4u\t%3u.%1u%%\t%1u\t%2u\n", h, m, vol, occ / 10, occ % 10, cls, n);
  else
    AppendReportText(out, "     %2d:%02d  %4u  %3u.%1u%%   %1u    %2u\n", h, m, vol, occ / 10, occ % 10, cls, n);
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
  int h0 = 2 * row, h1 = 2 * row + 1;
  const unsigned* a = vol[0];
  const unsigned* b = vol[1];
  if (Tabs(format)) {
    if (withCounts)
      AppendReportText(out, "\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u\t%2d\t%2d\t%2d\t%2d\n", h0,
                       a[0], a[1], a[2], a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4], counts.good, counts.suspect,
                       counts.bad, counts.disabled);
    else
      AppendReportText(out, "\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u\n", h0, a[0], a[1], a[2],
                       a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4]);
  } else {
    if (withCounts)
      AppendReportText(out, "     %2d:00  %4u  %4u  %4u  %4u   %5u      %2d:00  %4u  %4u  %4u  %4u   %5u      %2d %2d %2d %2d\n",
                       h0, a[0], a[1], a[2], a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4], counts.good,
                       counts.suspect, counts.bad, counts.disabled);
    else
      AppendReportText(out, "     %2d:00  %4u  %4u  %4u  %4u   %5u      %2d:00  %4u  %4u  %4u  %4u   %5u\n", h0, a[0], a[1],
                       a[2], a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4]);
  }
  if (!withOccupancy) return;
  const unsigned* x = occ[0];
  const unsigned* y = occ[1];
  const char* fmt = Tabs(format)
                        ? "\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%"
                          "\t%2u.%1u%%\n\n"
                        : "           %3u.%1u%%%3u.%1u%%%3u.%1u%%%3u.%1u%%  %3u.%1u%%           %3u.%1u%%%3u.%1u%%%3u.%1u%%"
                          "%3u.%1u%%  %3u.%1u%%\n\n";
  AppendReportText(out, fmt, x[0] / 10, x[0] % 10, x[1] / 10, x[1] % 10, x[2] / 10, x[2] % 10, x[3] / 10, x[3] % 10,
                   x[4] / 10, x[4] % 10, y[0] / 10, y[0] % 10, y[1] / 10, y[1] % 10, y[2] / 10, y[2] % 10, y[3] / 10,
                   y[3] % 10, y[4] / 10, y[4] % 10);
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
  SSummary s = ComputeSummary(kind, criteria);
  const char* fmt;
  if (Tabs(format))
    fmt = s.valid ? "\t%s\tVAL\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d\t%3d" : "\t%s\tINV\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d\t%3d";
  else
    fmt = s.valid ? "     %s VAL %6u %3u.%1u%%  %3d %3d %3d %3d" : "     %s INV %6u %3u.%1u%%  %3d %3d %3d %3d";
  AppendReportText(out, fmt, SummaryKindLabel(kind), s.volume, s.occupancy / 10, s.occupancy % 10, s.counts.good,
                   s.counts.suspect, s.counts.bad, s.counts.disabled);
  if (kind == SK_AM_PEAK_HOUR || kind == SK_PM_PEAK_HOUR) FormatPeriodRange(out, format, s.start);
  out += "\n";
}
