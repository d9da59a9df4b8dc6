// The nine Classic report slots of CSpeedTrapDay.
#include "trafficdata/speed_trap_day.h"
#include "trafficdata/report_text.h"

using trafficdata::SpeedTrapDayView;
using trafficdata::SpeedTrapPeriod;

void CSpeedTrapDay::WriteRawTitle(CText& out, int format) const {
  out += format == 1 ? "\t---Raw Speed Data Listing---\n\n" : "     ---Raw Speed Data Listing---\n\n";
}

void CSpeedTrapDay::WriteRawHeader(CText& out, int format) const {
  out += format == 1 ? "\tTime\tSpd\tLen\tBin1\tBin2\tBin3\tBin4\tFlg\tnPds\n"
                     : "     Time     Spd    Len    Bin1  Bin2  Bin3  Bin4   Flg   nPds\n"
                       "     ----------------------------------------------------------\n";
}

void CSpeedTrapDay::WriteRawLine(CText& out, int p, int format) const {
  SpeedTrapDayView day = View();
  unsigned spd, len, bins[4], cls, n;
  if (day.IsFiveMinute()) {
    spd = day.Speed(p);
    len = day.Length(p);
    for (int k = 0; k < 4; ++k) bins[k] = day.Bin(k, p);
    cls = static_cast<unsigned>(day.Flag(p));
    n = static_cast<unsigned>(day.NPds(p));
  } else {
    // Bin sums stay wide (bin 1 alone can reach 465 vehicles in a period), and speed and length
    // are weighted by the true vehicle count.
    SpeedTrapPeriod q = day.GetPeriod(p);
    uint64_t vehicles = q.Vehicles();
    spd = vehicles ? static_cast<unsigned>(RoundHalfUp64(static_cast<double>(q.speedWeight) / vehicles)) : 0;
    len = vehicles ? static_cast<unsigned>(RoundHalfUp64(static_cast<double>(q.lengthWeight) / vehicles)) : 0;
    for (int k = 0; k < 4; ++k) bins[k] = q.bins[k];
    cls = static_cast<unsigned>(q.cls);
    n = q.samples;
  }
  AppendReportText(out, format == 1 ? "\t%02d:%02d\t%3u.%1u\t%3u.%1u\t%3u\t%3u\t%3u\t%3u\t%1u\t%2u\n"
                               : "     %2d:%02d  %3u.%1u  %3u.%1u     %3u   %3u   %3u   %3u    %1u     %2u\n",
                   p / 12, (p % 12) * 5, spd / 10, spd % 10, len / 10, len % 10, bins[0], bins[1], bins[2], bins[3],
                   cls, n);
}

void CSpeedTrapDay::Write15MinTitle(CText& out, int format) const {
  out += format == 1 ? "\t---15 Minute Speed Summary Report---\n\n" : "     ---15 Minute Speed Summary Report---\n\n";
}

void CSpeedTrapDay::Write15MinHeader(CText& out, int format, bool withCounts) const {
  if (format == 1) {
    out += withCounts ? "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\tG\tS\tB\tD\n"
                      : "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\n";
  } else if (withCounts) {
    // Ten dashes under "G  S  B  D" (the loop's header has thirteen).
    out += "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B  D\n"
           "     --------------------------------------------------------------------------------     ----------\n";
  } else {
    out += "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour\n"
           "     --------------------------------------------------------------------------------\n";
  }
}

namespace {

void AppendTenths(CText& out, const char* fmt, int h0, int h1, const int (&v)[2][5], bool withHours) {
  const int* a = v[0];
  const int* b = v[1];
  if (withHours)
    AppendReportText(out, fmt, h0, a[0] / 10, a[0] % 10, a[1] / 10, a[1] % 10, a[2] / 10, a[2] % 10, a[3] / 10, a[3] % 10,
                     a[4] / 10, a[4] % 10, h1, b[0] / 10, b[0] % 10, b[1] / 10, b[1] % 10, b[2] / 10, b[2] % 10,
                     b[3] / 10, b[3] % 10, b[4] / 10, b[4] % 10);
  else
    AppendReportText(out, fmt, a[0] / 10, a[0] % 10, a[1] / 10, a[1] % 10, a[2] / 10, a[2] % 10, a[3] / 10, a[3] % 10,
                     a[4] / 10, a[4] % 10, b[0] / 10, b[0] % 10, b[1] / 10, b[1] % 10, b[2] / 10, b[2] % 10,
                     b[3] / 10, b[3] % 10, b[4] / 10, b[4] % 10);
}

}  // namespace

void CSpeedTrapDay::Write15MinLine(CText& out, int row, int format, bool withCounts, bool withLengths) const {
  SpeedTrapDayView day = View();
  int spd[2][5] = {}, len[2][5] = {};
  SClassCounts counts;
  auto mean = [](uint64_t w, uint64_t n) {
    return n ? static_cast<int>(RoundHalfUp64(static_cast<double>(w) / static_cast<double>(n))) : 0;
  };
  for (int half = 0; half < 2; ++half) {
    const int hour = 2 * row + half;
    uint64_t hs = 0, hl = 0, hn = 0;
    for (int q = 0; q < 4; ++q) {
      uint64_t s = 0, l = 0, n = 0;
      for (int p = 12 * hour + 3 * q; p < 12 * hour + 3 * q + 3; ++p) {
        SpeedTrapPeriod sp = day.GetPeriod(p);  // every period, whatever its validity
        s += sp.speedWeight;
        l += sp.lengthWeight;
        n += sp.Vehicles();
        counts.Add(sp.cls);
      }
      spd[half][q] = mean(s, n);
      len[half][q] = mean(l, n);
      hs += s;
      hl += l;
      hn += n;
    }
    spd[half][4] = mean(hs, hn);
    len[half][4] = mean(hl, hn);
  }
  AppendTenths(out,
               format == 1 ? "\t%02d:00\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%02d:00\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d"
                           : "     %2d:00  %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d      %2d:00  %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d",
               2 * row, 2 * row + 1, spd, true);
  if (withCounts)
    AppendReportText(out, format == 1 ? "\t%2d\t%2d\t%2d\t%2d" : "      %2d %2d %2d %2d", counts.good, counts.suspect,
                     counts.bad, counts.disabled);
  out += "\n";
  if (!withLengths) return;
  AppendTenths(out,
               format == 1 ? "\t\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\n\n"
                           : "            %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d             %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d\n\n",
               0, 0, len, false);
}

void CSpeedTrapDay::WriteDailyTitle(CText& out, int format) const {
  out += format == 1 ? "\t---Daily Speed Trap Summary Report---\n\n" : "     ---Daily Speed Trap Summary Report---\n\n";
}

void CSpeedTrapDay::WriteDailyHeader(CText& out, int format) const {
  out += format == 1 ? "\tSummary\tValid\tSpd\tLen\tBin1\tBin2\tBin3\tBin4\tG\tS\tB\tD\n"
                     : "     Summary   Valid   Spd   Len   Bin1 Bin2 Bin3 Bin4    G   S   B   D\n"
                       "     --------------------------------------------------------------\n";
}

void CSpeedTrapDay::WriteDailyLine(CText& out, int summaryKind, int format, const ValidityTables& criteria) const {
  trafficdata::SpeedTrapSummary s = ComputeTrapSummary(summaryKind, criteria);
  const char* fmt;
  if (format == 1)
    fmt = s.valid ? "\t%s\tVAL\t%3u.%1u\t%3u.%1u\t%5u\t%4u\t%4u\t%4u\t%3d\t%3d\t%3d\t%3d"
                  : "\t%s\tINV\t%3u.%1u\t%3u.%1u\t%5u\t%4u\t%4u\t%4u\t%3d\t%3d\t%3d\t%3d";
  else
    fmt = s.valid ? "     %s VAL  %3u.%1u %3u.%1u  %5u %4u %4u %4u  %3d %3d %3d %3d"
                  : "     %s INV  %3u.%1u %3u.%1u  %5u %4u %4u %4u  %3d %3d %3d %3d";
  AppendReportText(out, fmt, SummaryKindLabel(summaryKind), s.speed / 10, s.speed % 10, s.length / 10, s.length % 10,
                   s.bins[0], s.bins[1], s.bins[2], s.bins[3], s.good, s.suspect, s.bad, s.disabled);
  // The peak hours of a speed trap are the fixed 07:00-08:00 and 17:00-18:00.
  if (summaryKind == SK_AM_PEAK_HOUR || summaryKind == SK_PM_PEAK_HOUR) FormatPeriodRange(out, format, s.start);
  out += "\n";
}
