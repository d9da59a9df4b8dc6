#include "trafficdata/day_report_lines.h"

#include <cstdarg>
#include <cstdio>

namespace trafficdata {

void AppendFormatted(std::string& out, const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof buf) {
        out.append(buf, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(ap, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    big.resize(static_cast<size_t>(n));
    out += big;
}

void AppendPeriodRange(std::string& out, int format, int period) {
    int h = period / 12, m = (period % 12) * 5;
    if (format == 1) AppendFormatted(out, "\t%02d:%02d\t%02d:%02d", h, m, h + 1, m);
    else AppendFormatted(out, " (%02d:%02d--%02d:%02d)", h, m, h + 1, m);
}

const char* SummaryKindLabel(int kind) {
    static const char* const kLabels[5] = {"Daily     ", "AM Peak   ", "PM Peak   ", "AM Pk Hour",
                                           "PM Pk Hour"};
    return kind >= 0 && kind < 5 ? kLabels[kind] : "";
}

namespace {

const char* const kHeader15 =
    "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour";
const char* const kHeader15Tab = "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour";
const char* const kDashes80 =
    "     --------------------------------------------------------------------------------";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Station

namespace station_lines {

void RawTitle(std::string& out, int format) {
    out += format == 1 ? "\t---Raw Station Data Listing---\n\n" : "     ---Raw Station Data Listing---\n\n";
}

void RawHeader(std::string& out, int format) {
    out += format == 1 ? "\tTime\tVol\tOcc\tFlg\tnPds\n"
                       : "     Time    Vol    Occ   Flg  nPds\n     ------------------------------\n";
}

void RawLine(std::string& out, const StationDayView& day, int p, int format) {
    unsigned vol, occ, cls, n;
    if (day.IsFiveMinute()) {
        vol = day.Volume(p);
        occ = day.Occupancy(p);
        cls = static_cast<unsigned>(day.Flag(p));
        n = static_cast<unsigned>(day.NPds(p));
    } else {
        StationPeriod q = day.GetPeriod(p);
        vol = q.volume;
        occ = q.occupancy;
        cls = static_cast<unsigned>(q.cls);
        n = q.samples;
    }
    AppendFormatted(out, format == 1 ? "\t%02d:%02d\t%4u\t%3u.%1u%%\t%1u\t%2u\n"
                                     : "     %2d:%02d  %4u  %3u.%1u%%   %1u    %2u\n",
                    p / 12, (p % 12) * 5, vol, occ / 10, occ % 10, cls, n);
}

void Title15Min(std::string& out, int format) {
    out += format == 1 ? "\t---15 Minute Station Summary Report---\n\n"
                       : "     ---15 Minute Station Summary Report---\n\n";
}

void Header15Min(std::string& out, int format, bool withCounts) {
    if (format == 1) {
        out += kHeader15Tab;
        out += withCounts ? "\tG\tS\tB\n" : "\n";
    } else {
        out += kHeader15;
        out += withCounts ? "       G  S  B\n" : "\n";
        out += kDashes80;
        out += withCounts ? "     ----------\n" : "\n";
    }
}

void Line15Min(std::string& out, const StationDayView& day, int row, int format, bool withCounts,
               bool withOccupancy) {
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
                if (sp.cls == kClassGood) ++good;
                else if (sp.cls == kClassSuspect) ++suspect;
                else ++bad;
            }
            vol[half][q] = static_cast<unsigned>(v);
            if (s != 0) {
                if (day.IsFiveMinute())
                    occ[half][q] = static_cast<unsigned>(static_cast<float>(w) / static_cast<float>(s) + 0.5);
                else
                    occ[half][q] = static_cast<unsigned>(RoundHalfUp(w / (s * 1.2)));
            }
            hourVol += v;
            hourWeight += w;
            hourSamples += s;
        }
        vol[half][4] = static_cast<unsigned>(hourVol);
        if (hourSamples != 0)
            occ[half][4] = static_cast<unsigned>(RoundHalfUp(
                day.IsFiveMinute() ? static_cast<double>(hourWeight) / hourSamples
                                   : hourWeight / (hourSamples * 1.2)));
    }
    const int h0 = 2 * row, h1 = 2 * row + 1;
    const unsigned* a = vol[0];
    const unsigned* b = vol[1];
    if (format == 1) {
        AppendFormatted(out, "\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u",
                        h0, a[0], a[1], a[2], a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4]);
        if (withCounts) AppendFormatted(out, "\t%2d\t%2d\t%2d", good, suspect, bad);
    } else {
        AppendFormatted(out, "     %2d:00  %4u  %4u  %4u  %4u   %5u      %2d:00  %4u  %4u  %4u  %4u   %5u",
                        h0, a[0], a[1], a[2], a[3], a[4], h1, b[0], b[1], b[2], b[3], b[4]);
        if (withCounts) AppendFormatted(out, "      %2d %2d %2d", good, suspect, bad);
    }
    out += "\n";
    if (!withOccupancy) return;
    const unsigned* o = occ[0];
    const unsigned* r = occ[1];
    AppendFormatted(out,
                    format == 1
                        ? "\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\n\n"
                        : "           %3u.%1u%%%3u.%1u%%%3u.%1u%%%3u.%1u%%  %3u.%1u%%           %3u.%1u%%%3u.%1u%%%3u.%1u%%%3u.%1u%%  %3u.%1u%%\n\n",
                    o[0] / 10, o[0] % 10, o[1] / 10, o[1] % 10, o[2] / 10, o[2] % 10, o[3] / 10,
                    o[3] % 10, o[4] / 10, o[4] % 10, r[0] / 10, r[0] % 10, r[1] / 10, r[1] % 10,
                    r[2] / 10, r[2] % 10, r[3] / 10, r[3] % 10, r[4] / 10, r[4] % 10);
}

void DailyTitle(std::string& out, int format) {
    out += format == 1 ? "\t---Daily Station Summary Report---\n\n"
                       : "     ---Daily Station Summary Report---\n\n";
}

void DailyHeader(std::string& out, int format) {
    out += format == 1 ? "\tSummary\tValid\tVol\tOcc\tG\tS\tB\n"
                       : "     Summary   Valid   Vol   Occ     G   S   B\n     -----------------------------------------\n";
}

void DailyValues(std::string& out, int format, int kind, const StationSummary& s) {
    const char* fmt;
    if (format == 1)
        fmt = s.valid ? "\t%s\tVAL\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d" : "\t%s\tINV\t%6u\t%3u.%1u%%\t%3d\t%3d\t%3d";
    else
        fmt = s.valid ? "     %s VAL %6u %3u.%1u%%  %3d %3d %3d" : "     %s INV %6u %3u.%1u%%  %3d %3d %3d";
    AppendFormatted(out, fmt, SummaryKindLabel(kind), s.volume, s.occupancy / 10, s.occupancy % 10,
                    s.good, s.suspect, s.bad);
}

void DailyLine(std::string& out, const StationDayView& day, int kind, int format,
               const SummaryRules& rules) {
    StationSummary s = day.ComputeSummary(kind, rules);
    DailyValues(out, format, kind, s);
    if (kind == 3 || kind == 4) AppendPeriodRange(out, format, s.start);
    out += "\n";
}

}  // namespace station_lines

// ---------------------------------------------------------------------------------------------
// Speed trap

namespace speed_trap_lines {

void RawTitle(std::string& out, int format) {
    out += format == 1 ? "\t---Raw Speed Data Listing---\n\n" : "     ---Raw Speed Data Listing---\n\n";
}

void RawHeader(std::string& out, int format) {
    out += format == 1
               ? "\tTime\tSpd\tLen\tBin1\tBin2\tBin3\tBin4\tFlg\tnPds\n"
               : "     Time     Spd    Len    Bin1  Bin2  Bin3  Bin4   Flg   nPds\n     ----------------------------------------------------------\n";
}

void RawLine(std::string& out, const SpeedTrapDayView& day, int p, int format) {
    unsigned spd, len, bins[4], cls, n;
    if (day.IsFiveMinute()) {
        spd = day.Speed(p);
        len = day.Length(p);
        for (int k = 0; k < 4; ++k) bins[k] = day.Bin(k, p);
        cls = static_cast<unsigned>(day.Flag(p));
        n = static_cast<unsigned>(day.NPds(p));
    } else {
        // Bin sums are kept wide: bin 1 alone can reach 465 vehicles in a period.
        SpeedTrapPeriod q = day.GetPeriod(p);
        uint64_t vehicles = q.Vehicles();
        spd = vehicles ? static_cast<unsigned>(RoundHalfUp(static_cast<double>(q.speedWeight) / vehicles)) : 0;
        len = vehicles ? static_cast<unsigned>(RoundHalfUp(static_cast<double>(q.lengthWeight) / vehicles)) : 0;
        for (int k = 0; k < 4; ++k) bins[k] = q.bins[k];
        cls = static_cast<unsigned>(q.cls);
        n = q.samples;
    }
    AppendFormatted(out,
                    format == 1 ? "\t%02d:%02d\t%3u.%1u\t%3u.%1u\t%3u\t%3u\t%3u\t%3u\t%1u\t%2u\n"
                                : "     %2d:%02d  %3u.%1u  %3u.%1u     %3u   %3u   %3u   %3u    %1u     %2u\n",
                    p / 12, (p % 12) * 5, spd / 10, spd % 10, len / 10, len % 10, bins[0], bins[1],
                    bins[2], bins[3], cls, n);
}

void Title15Min(std::string& out, int format) {
    out += format == 1 ? "\t---15 Minute Speed Summary Report---\n\n"
                       : "     ---15 Minute Speed Summary Report---\n\n";
}

void Header15Min(std::string& out, int format, bool withCounts) {
    if (format == 1) {
        out += kHeader15Tab;
        out += withCounts ? "\tG\tS\tB\tD\n" : "\n";
    } else {
        out += kHeader15;
        out += withCounts ? "       G  S  B  D\n" : "\n";
        out += kDashes80;
        out += withCounts ? "     ----------\n" : "\n";
    }
}

void Line15Min(std::string& out, const SpeedTrapDayView& day, int row, int format,
               bool withCounts, bool withLengths) {
    int spd[2][5] = {}, len[2][5] = {};
    int counts[4] = {0, 0, 0, 0};  // indexed by class: bad, good, suspect, disabled
    auto mean = [](uint64_t w, uint64_t n) {
        return n ? static_cast<int>(RoundHalfUp(static_cast<double>(w) / static_cast<double>(n))) : 0;
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
                ++counts[sp.cls];
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
    const int h0 = 2 * row, h1 = 2 * row + 1;
    const int* a = spd[0];
    const int* b = spd[1];
    if (format == 1)
        AppendFormatted(out, "\t%02d:00\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%02d:00\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d",
                        h0, a[0] / 10, a[0] % 10, a[1] / 10, a[1] % 10, a[2] / 10, a[2] % 10, a[3] / 10, a[3] % 10,
                        a[4] / 10, a[4] % 10, h1, b[0] / 10, b[0] % 10, b[1] / 10, b[1] % 10, b[2] / 10,
                        b[2] % 10, b[3] / 10, b[3] % 10, b[4] / 10, b[4] % 10);
    else
        AppendFormatted(out, "     %2d:00  %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d      %2d:00  %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d",
                        h0, a[0] / 10, a[0] % 10, a[1] / 10, a[1] % 10, a[2] / 10, a[2] % 10, a[3] / 10, a[3] % 10,
                        a[4] / 10, a[4] % 10, h1, b[0] / 10, b[0] % 10, b[1] / 10, b[1] % 10, b[2] / 10,
                        b[2] % 10, b[3] / 10, b[3] % 10, b[4] / 10, b[4] % 10);
    if (withCounts)
        AppendFormatted(out, format == 1 ? "\t%2d\t%2d\t%2d\t%2d" : "      %2d %2d %2d %2d",
                        counts[kClassGood], counts[kClassSuspect], counts[kClassBad], counts[kClassDisabled]);
    out += "\n";
    if (!withLengths) return;
    a = len[0];
    b = len[1];
    AppendFormatted(out,
                    format == 1 ? "\t\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\t%2d.%1d\n\n"
                                : "            %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d             %2d.%1d  %2d.%1d  %2d.%1d  %2d.%1d    %2d.%1d\n\n",
                    a[0] / 10, a[0] % 10, a[1] / 10, a[1] % 10, a[2] / 10, a[2] % 10, a[3] / 10, a[3] % 10,
                    a[4] / 10, a[4] % 10, b[0] / 10, b[0] % 10, b[1] / 10, b[1] % 10, b[2] / 10, b[2] % 10,
                    b[3] / 10, b[3] % 10, b[4] / 10, b[4] % 10);
}

void DailyTitle(std::string& out, int format) {
    out += format == 1 ? "\t---Daily Speed Trap Summary Report---\n\n"
                       : "     ---Daily Speed Trap Summary Report---\n\n";
}

void DailyHeader(std::string& out, int format) {
    out += format == 1
               ? "\tSummary\tValid\tSpd\tLen\tBin1\tBin2\tBin3\tBin4\tG\tS\tB\tD\n"
               : "     Summary   Valid   Spd   Len   Bin1 Bin2 Bin3 Bin4    G   S   B   D\n     --------------------------------------------------------------\n";
}

void DailyLine(std::string& out, const SpeedTrapDayView& day, int kind, int format,
               const SummaryRules& rules) {
    SpeedTrapSummary s = day.ComputeSummary(kind, rules);
    const char* fmt;
    if (format == 1)
        fmt = s.valid ? "\t%s\tVAL\t%3u.%1u\t%3u.%1u\t%5u\t%4u\t%4u\t%4u\t%3d\t%3d\t%3d\t%3d"
                      : "\t%s\tINV\t%3u.%1u\t%3u.%1u\t%5u\t%4u\t%4u\t%4u\t%3d\t%3d\t%3d\t%3d";
    else
        fmt = s.valid ? "     %s VAL  %3u.%1u %3u.%1u  %5u %4u %4u %4u  %3d %3d %3d %3d"
                      : "     %s INV  %3u.%1u %3u.%1u  %5u %4u %4u %4u  %3d %3d %3d %3d";
    AppendFormatted(out, fmt, SummaryKindLabel(kind), s.speed / 10, s.speed % 10, s.length / 10,
                    s.length % 10, s.bins[0], s.bins[1], s.bins[2], s.bins[3], s.good, s.suspect,
                    s.bad, s.disabled);
    if (kind == 3 || kind == 4) AppendPeriodRange(out, format, s.start);
    out += "\n";
}

}  // namespace speed_trap_lines

}  // namespace trafficdata
