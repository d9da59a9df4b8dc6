// The nine Classic report slots of CStationDay.
#include "trafficdata/station_day.h"
#include "trafficdata/report_text.h"

using trafficdata::StationDayView;
using trafficdata::StationPeriod;

void CStationDay::WriteRawTitle(CText& out, int format) const {
  out += format == 1 ? "\t---Raw Station Data Listing---\n\n" : "     ---Raw Station Data Listing---\n\n";
}

void CStationDay::WriteRawHeader(CText& out, int format) const {
  out += format == 1 ? "\tTime\tVol\tOcc\tFlg\tnPds\n"
                     : "     Time    Vol    Occ   Flg  nPds\n     ------------------------------\n";
}

void CStationDay::WriteRawLine(CText& out, int p, int format) const {
  StationDayView day = View();
  unsigned vol, occ, cls, n;
  if (day.IsFiveMinute()) {
    // The five-minute listing shows the stored flag, 3 included.
    vol = day.Volume(p);
    occ = day.Occupancy(p);
    cls = static_cast<unsigned>(day.Flag(p));
    n = static_cast<unsigned>(day.NPds(p));
  } else {
    StationPeriod q = day.GetPeriod(p);
    vol = q.volume;
    occ = q.Occupancy(/*fine=*/true);
    cls = static_cast<unsigned>(q.cls);
    n = q.samples;
  }
  AppendReportText(out, format == 1 ? "\t%02d:%02d\t%4u\t%3u.%1u%%\t%1u\t%2u\n"
                               : "     %2d:%02d  %4u  %3u.%1u%%   %1u    %2u\n",
                   p / 12, (p % 12) * 5, vol, occ / 10, occ % 10, cls, n);
}

void CStationDay::Write15MinTitle(CText& out, int format) const {
  out += format == 1 ? "\t---15 Minute Station Summary Report---\n\n"
                     : "     ---15 Minute Station Summary Report---\n\n";
}

void CStationDay::Write15MinHeader(CText& out, int format, bool withCounts) const {
  if (format == 1) {
    out += withCounts ? "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\tG\tS\tB\n"
                      : "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\n";
  } else if (withCounts) {
    out += "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B\n"
           "     --------------------------------------------------------------------------------     ----------\n";
  } else {
    out += "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour\n"
           "     --------------------------------------------------------------------------------\n";
  }
}

void CStationDay::Write15MinLine(CText& out, int row, int format, bool withCounts, bool withOccupancy) const {
  StationDayView day = View();
  unsigned vol[2][5] = {}, occ[2][5] = {};
  int good = 0, suspect = 0, bad = 0;
  for (int half = 0; half < 2; ++half) {
    const int hour = 2 * row + half;
    uint64_t hourVol = 0, hourWeight = 0, hourSamples = 0;
    for (int q = 0; q < 4; ++q) {
      uint64_t v = 0, w = 0, s = 0;
      for (int p = 12 * hour + 3 * q; p < 12 * hour + 3 * q + 3; ++p) {
        StationPeriod sp = day.GetPeriod(p);
        v += sp.volume;
        w += sp.occupancyWeight;
        s += sp.samples;
        if (sp.cls == PC_GOOD) ++good;
        else if (sp.cls == PC_SUSPECT) ++suspect;
        else ++bad;
      }
      vol[half][q] = static_cast<unsigned>(v);
      // Five-minute quarters divide in single precision, as the archive's tools always have.
      if (s != 0)
        occ[half][q] = day.IsFiveMinute()
                           ? static_cast<unsigned>(static_cast<float>(w) / static_cast<float>(s) + 0.5)
                           : static_cast<unsigned>(RoundHalfUp64(static_cast<double>(w) / (s * 1.2)));
      hourVol += v;
      hourWeight += w;
      hourSamples += s;
    }
    vol[half][4] = static_cast<unsigned>(hourVol);
    occ[half][4] = OccupancyFromSums(hourWeight, hourSamples, !day.IsFiveMinute());
  }
  const int h0 = 2 * row, h1 = 2 * row + 1;
  const unsigned* a = vol[0];
  const unsigned* b = vol[1];
  if (format == 1) {
    AppendReportText(out, "\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u", h0, a[0], a[1], a[2],
                     a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4]);
    if (withCounts) AppendReportText(out, "\t%2d\t%2d\t%2d", good, suspect, bad);
  } else {
    AppendReportText(out, "     %2d:00  %4u  %4u  %4u  %4u   %5u      %2d:00  %4u  %4u  %4u  %4u   %5u", h0, a[0], a[1],
                     a[2], a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4]);
    if (withCounts) AppendReportText(out, "      %2d %2d %2d", good, suspect, bad);
  }
  out += "\n";
  if (!withOccupancy) return;
  const unsigned* o = occ[0];
  const unsigned* r = occ[1];
  AppendReportText(out, 
      format == 1
          ? "\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\n\n"
          : "           %3u.%1u%%%3u.%1u%%%3u.%1u%%%3u.%1u%%  %3u.%1u%%           %3u.%1u%%%3u.%1u%%%3u.%1u%%%3u.%1u%%  %3u.%1u%%\n\n",
      o[0] / 10, o[0] % 10, o[1] / 10, o[1] % 10, o[2] / 10, o[2] % 10, o[3] / 10, o[3] % 10, o[4] / 10, o[4] % 10,
      r[0] / 10, r[0] % 10, r[1] / 10, r[1] % 10, r[2] / 10, r[2] % 10, r[3] / 10, r[3] % 10, r[4] / 10, r[4] % 10);
}

void CStationDay::WriteDailyTitle(CText& out, int format) const {
  out += format == 1 ? "\t---Daily Station Summary Report---\n\n" : "     ---Daily Station Summary Report---\n\n";
}

void CStationDay::WriteDailyHeader(CText& out, int format) const {
  out += format == 1 ? "\tSummary\tValid\tVol\tOcc\tG\tS\tB\n"
                     : "     Summary   Valid   Vol   Occ     G   S   B\n     -----------------------------------------\n";
}

void FormatStationDailyValues(CText& out, int format, int summaryKind, const SSummary& s) {
  const char* fmt;
  if (format == 1)
    fmt = s.valid ? "\t%s\tVAL\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d" : "\t%s\tINV\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d";
  else
    fmt = s.valid ? "     %s VAL %6u %3u.%1u%%  %3d %3d %3d" : "     %s INV %6u %3u.%1u%%  %3d %3d %3d";
  AppendReportText(out, fmt, SummaryKindLabel(summaryKind), s.volume, s.occupancy / 10, s.occupancy % 10, s.counts.good,
                   s.counts.suspect, s.counts.bad);
}

void CStationDay::WriteDailyLine(CText& out, int summaryKind, int format, const ValidityTables& criteria) const {
  SSummary s = ComputeSummary(summaryKind, criteria);
  FormatStationDailyValues(out, format, summaryKind, s);
  if (summaryKind == SK_AM_PEAK_HOUR || summaryKind == SK_PM_PEAK_HOUR) FormatPeriodRange(out, format, s.start);
  out += "\n";
}
