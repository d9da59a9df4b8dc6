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
  const int h = p / 12, m = (p % 12) * 5;
  CReportLine line(out);
  if (format == 1) {  // "\t%02d:%02d\t%3u.%1u\t%3u.%1u\t%3u\t%3u\t%3u\t%3u\t%1u\t%2u\n"
    line.Lit("\t").Z(h, 2).Lit(":").Z(m, 2).Lit("\t").Tenths(spd, 3).Lit("\t").Tenths(len, 3);
    for (unsigned b : bins) line.Lit("\t").U(b, 3);
    line.Lit("\t").U(cls, 1).Lit("\t").U(n, 2);
  } else {  // "     %2d:%02d  %3u.%1u  %3u.%1u     %3u   %3u   %3u   %3u    %1u     %2u\n"
    line.Lit("     ").I(h, 2).Lit(":").Z(m, 2).Lit("  ").Tenths(spd, 3).Lit("  ").Tenths(len, 3);
    line.Lit("     ").U(bins[0], 3);
    for (int k = 1; k < 4; ++k) line.Lit("   ").U(bins[k], 3);
    line.Lit("    ").U(cls, 1).Lit("     ").U(n, 2);
  }
  line.Lit("\n").End();
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

// "%<width>d.%1d" of value / 10 and value % 10.
CReportLine& SignedTenths(CReportLine& line, int value, int width) {
  return line.I(value / 10, width).Lit(".").I(value % 10, 1);
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
  {
    // "\t%02d:00\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d" or
    // "     %2d:00  %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d" for each hour (the second after one
    // more blank), then the counts "\t%2d\t%2d\t%2d\t%2d" or "      %2d %2d %2d %2d"
    CReportLine line(out);
    for (int half = 0; half < 2; ++half) {
      const int* v = spd[half];
      if (format == 1) {
        line.Lit("\t").Z(2 * row + half, 2).Lit(":00");
        for (int q = 0; q < 5; ++q) SignedTenths(line.Lit("\t"), v[q], 2);
      } else {
        if (half == 1) line.Lit(" ");
        line.Lit("     ").I(2 * row + half, 2).Lit(":00");
        for (int q = 0; q < 4; ++q) SignedTenths(line.Lit("  "), v[q], 2);
        SignedTenths(line.Lit("    "), v[4], 2);
      }
    }
    if (withCounts) {
      if (format == 1)
        line.Lit("\t").I(counts.good, 2).Lit("\t").I(counts.suspect, 2).Lit("\t").I(counts.bad, 2).Lit("\t")
            .I(counts.disabled, 2);
      else
        line.Lit("      ").I(counts.good, 2).Lit(" ").I(counts.suspect, 2).Lit(" ").I(counts.bad, 2).Lit(" ")
            .I(counts.disabled, 2);
    }
    line.Lit("\n").End();
  }
  if (!withLengths) return;
  // "\t\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d" or
  // "            %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d" for each hour (the second after one
  // more blank), then "\n\n"
  CReportLine line(out);
  for (int half = 0; half < 2; ++half) {
    const int* v = len[half];
    if (format == 1) {
      line.Lit("\t");
      for (int q = 0; q < 5; ++q) SignedTenths(line.Lit("\t"), v[q], 2);
    } else {
      if (half == 1) line.Lit(" ");
      SignedTenths(line.Lit("            "), v[0], 2);
      for (int q = 1; q < 4; ++q) SignedTenths(line.Lit("  "), v[q], 2);
      SignedTenths(line.Lit("    "), v[4], 2);
    }
  }
  line.Lit("\n\n").End();
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
  CReportLine line(out);
  if (format == 1) {  // "\t%s\tVAL\t%3u.%1u\t%3u.%1u\t%5u\t%4u\t%4u\t%4u\t%3d\t%3d\t%3d\t%3d"
    line.Lit("\t").Str(SummaryKindLabel(summaryKind)).Str(s.valid ? "\tVAL\t" : "\tINV\t").Tenths(s.speed, 3)
        .Lit("\t").Tenths(s.length, 3).Lit("\t").U(s.bins[0], 5);
    for (int k = 1; k < 4; ++k) line.Lit("\t").U(s.bins[k], 4);
    line.Lit("\t").I(s.good, 3).Lit("\t").I(s.suspect, 3).Lit("\t").I(s.bad, 3).Lit("\t").I(s.disabled, 3);
  } else {  // "     %s VAL  %3u.%1u %3u.%1u  %5u %4u %4u %4u  %3d %3d %3d %3d"
    line.Lit("     ").Str(SummaryKindLabel(summaryKind)).Str(s.valid ? " VAL  " : " INV  ").Tenths(s.speed, 3)
        .Lit(" ").Tenths(s.length, 3).Lit("  ").U(s.bins[0], 5);
    for (int k = 1; k < 4; ++k) line.Lit(" ").U(s.bins[k], 4);
    line.Lit("  ").I(s.good, 3).Lit(" ").I(s.suspect, 3).Lit(" ").I(s.bad, 3).Lit(" ").I(s.disabled, 3);
  }
  // The peak hours of a speed trap are the fixed 07:00-08:00 and 17:00-18:00.
  if (summaryKind == SK_AM_PEAK_HOUR || summaryKind == SK_PM_PEAK_HOUR) FormatPeriodRange(line, format, s.start);
  line.Lit("\n").End();
}
