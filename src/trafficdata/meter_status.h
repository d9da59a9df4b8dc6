// Ramp-meter status codes: the names printed for content "Meter Status" and the rule that folds the
// statuses of a span, or of several days, into one code.
//
// Codes 0-15 come from the archive, 16-23 are combined codes, 24 means "no interval at all".
#pragma once

namespace trafficdata {

constexpr int kMeterStatusNone = 24;
constexpr int kMeterStatusCount = 24;  // named codes 0-23

// Name of a status code 0-23; null for any other value.
const char* MeterStatusName(int code);

// Folds a new status v into the current code c and returns the new current code. 24 is the
// identity; the rule is commutative and associative over 0-23, so any fold order gives one code.
int CombineMeterStatus(int c, int v);

}  // namespace trafficdata
