// The peak search's values of every window at once, for speed traps (vehicles: the four bin
// values summed) and metered lanes (meter rate). Each window's value equals what the span value
// of that one window gives, but the day is read once: running sums over its units, and for the
// interpolating methods 6 to 8 the shares of the interpolation walk between neighbouring taken
// units, summed once and looked up per window.
#pragma once

#include <cstdint>

#include "trafficdata/metered_lane_span.h"
#include "trafficdata/speed_trap_span.h"

namespace trafficdata {

// out[s - first] = the sum of GetSpanBin(1..4, s, length, method) for s = first..last.
void SpeedTrapPeakVehicles(const SpeedTrapDayView& v, int first, int last, int length, int method, int64_t* out);

// out[s - first] = GetSpanRate(s, length, method) for s = first..last.
void MeteredLanePeakRates(const MeteredLaneDayView& v, int first, int last, int length, int method, int64_t* out);

}  // namespace trafficdata
