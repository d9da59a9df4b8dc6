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
  WriteVolOccRawLine(out, format, p, vol, occ, cls, n);
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
  SClassCounts counts;
  counts.good = good, counts.suspect = suspect, counts.bad = bad;
  Write15MinVolumes(out, format, 2 * row, vol, withCounts ? &counts : nullptr, /*withDisabled=*/false);
  if (withOccupancy) Write15MinOccupancies(out, format, occ);
}

void CStationDay::WriteDailyTitle(CText& out, int format) const {
  out += format == 1 ? "\t---Daily Station Summary Report---\n\n" : "     ---Daily Station Summary Report---\n\n";
}

void CStationDay::WriteDailyHeader(CText& out, int format) const {
  out += format == 1 ? "\tSummary\tValid\tVol\tOcc\tG\tS\tB\n"
                     : "     Summary   Valid   Vol   Occ     G   S   B\n     -----------------------------------------\n";
}

void CStationDay::WriteDailyLine(CText& out, int summaryKind, int format, const ValidityTables& criteria) const {
  WriteVolOccDailyLine(out, format, summaryKind, ComputeSummary(summaryKind, criteria), /*withDisabled=*/false);
}
