#include "trafficdata/metered_lane_span.h"

#include "trafficdata/meter_status.h"
#include "trafficdata/span_walk.h"

namespace trafficdata {

namespace {

bool Empty(int start, int length) { return start < 0 || length <= 0; }

}  // namespace

int MeteredLaneDayView::GetSpanFlag(int start, int length, int method) const {
  if (method < 0 || method > 8) return 4;
  int sampled = 0;
  if (!Empty(start, length))
    for (int i = start; i < start + length; ++i)
      if (Sampled(i)) ++sampled;
  if (method != 2) return sampled ? 1 : 0;
  if (Empty(start, length)) return 4;
  if (sampled == length) return 1;
  return sampled ? 2 : 0;
}

uint32_t MeteredLaneDayView::GetSpanPeriods(int start, int length, int method) const {
  if (method < 0 || method > 8 || Empty(start, length)) return 0;
  uint32_t sampled = 0;
  for (int i = start; i < start + length; ++i)
    if (Sampled(i)) ++sampled;
  if (method <= 2) return sampled;
  return sampled ? static_cast<uint32_t>(length) : 0;
}

uint32_t MeteredLaneDayView::GetSpanRate(int start, int length, int method) const {
  if (method < 0 || method > 8 || Empty(start, length)) return 0;
  const int end = start + length;
  uint64_t sum = 0, n = 0;
  if (method == 2) {
    for (int i = start; i < end; ++i) sum += Rate(i);
    n = static_cast<uint64_t>(length);
  } else if (method <= 5) {
    for (int i = start; i < end; ++i)
      if (Sampled(i)) {
        sum += Rate(i);
        ++n;
      }
  } else {
    InterpolationWalk(
        start, end, 1, [&](int i) { return Sampled(i) ? -1 : 1; },
        [&](int i, int64_t u) {
          sum += uint64_t{Rate(i)} * u;
          n += u;
        });
  }
  return n ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(sum) / static_cast<double>(n))) : 0;
}

uint32_t MeteredLaneDayView::GetSpanRedViolators(int start, int length, int method) const {
  if (method < 0 || method > 8 || Empty(start, length)) return 0;
  return static_cast<uint32_t>(IntervalSpanSum(
      start, start + length, method, [&](int i) { return Sampled(i); }, [&](int i) { return Red(i); }));
}

uint32_t MeteredLaneDayView::GetSpanValidity(int start, int length, int /*method*/) const {
  if (Empty(start, length)) return 0;
  uint64_t sum = 0;
  for (int i = start; i < start + length; ++i)
    if (Sampled(i)) sum += 1000;
  return static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(sum) / length));
}

int MeteredLaneDayView::GetSpanMeterStatus(int start, int length, int /*method*/) const {
  int code = kMeterStatusNone;
  if (Empty(start, length)) return code;
  for (int i = start; i < start + length; ++i) {
    int s = Status(i);
    if (s >= 0 && s != code) code = CombineMeterStatus(code, s);
  }
  return code;
}

}  // namespace trafficdata
