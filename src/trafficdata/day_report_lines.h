// Classic report lines of station and speed-trap days: the raw listing, the 15-minute summary and
// the daily summary, each in the tab-separated form (format 1) and the fixed-width form (any other
// format). Every writer appends to out.
#pragma once

#include <string>

#include "trafficdata/speed_trap_span.h"
#include "trafficdata/station_span.h"

namespace trafficdata {

// printf-style append.
void AppendFormatted(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The one-hour window that starts at a five-minute period: " (hh:mm--hh:mm)" or "\thh:mm\thh:mm".
void AppendPeriodRange(std::string& out, int format, int period);

// Ten-character label of a summary kind 0-4 ("" for any other kind).
const char* SummaryKindLabel(int kind);

namespace station_lines {
void RawTitle(std::string& out, int format);
void RawHeader(std::string& out, int format);
void RawLine(std::string& out, const StationDayView& day, int period, int format);
void Title15Min(std::string& out, int format);
void Header15Min(std::string& out, int format, bool withCounts);
void Line15Min(std::string& out, const StationDayView& day, int row, int format, bool withCounts,
               bool withOccupancy);
void DailyTitle(std::string& out, int format);
void DailyHeader(std::string& out, int format);
// The values of one daily line (without the window and the line end).
void DailyValues(std::string& out, int format, int kind, const StationSummary& s);
void DailyLine(std::string& out, const StationDayView& day, int kind, int format,
               const SummaryRules& rules);
}  // namespace station_lines

namespace speed_trap_lines {
void RawTitle(std::string& out, int format);
void RawHeader(std::string& out, int format);
void RawLine(std::string& out, const SpeedTrapDayView& day, int period, int format);
void Title15Min(std::string& out, int format);
void Header15Min(std::string& out, int format, bool withCounts);
void Line15Min(std::string& out, const SpeedTrapDayView& day, int row, int format,
               bool withCounts, bool withLengths);
void DailyTitle(std::string& out, int format);
void DailyHeader(std::string& out, int format);
void DailyLine(std::string& out, const SpeedTrapDayView& day, int kind, int format,
               const SummaryRules& rules);
}  // namespace speed_trap_lines

}  // namespace trafficdata
