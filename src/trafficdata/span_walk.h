// Small arithmetic shared by the span values of stations, speed traps and metered lanes.
#pragma once

#include <cstdint>

namespace trafficdata {

// Rounds a non-negative quotient half up: add 0.5, truncate toward zero. A mean of -1 (an
// estimated length that was never computed) therefore gives 0, which callers rely on.
inline int64_t RoundHalfUp(double x) { return static_cast<int64_t>(x + 0.5); }

// Validity classes of a five-minute period.
enum PeriodClass : int { kClassBad = 0, kClassGood = 1, kClassSuspect = 2, kClassDisabled = 3 };

// Running class fold of the intervals of one period: all alike give that class, a mixture with a
// good interval gives suspect, a mixture of bad and disabled gives disabled. Start with -1.
inline int FoldIntervalClass(int running, int interval) {
    if (running < 0) return interval;
    if (interval == running) return running;
    if (interval == kClassGood) return kClassSuspect;
    return (running == kClassGood || running == kClassSuspect) ? kClassSuspect : kClassDisabled;
}

// The interpolation walk over the units [begin, end) of a span.
//
// classify(i) returns -1 when unit i is taken; otherwise the number of units it adds to the gap
// (values a unit adds "as measured" are added by classify itself). At a taken unit with gap g,
// cover(prev, g / 2) and cover(i, g + own - g / 2) share the gap (the whole g + own goes to the
// first taken unit); a gap after the last taken unit is covered by it. cover is never called
// with 0 units. Returns whether any unit was taken.
template <class Classify, class Cover>
bool InterpolationWalk(int begin, int end, int own, Classify classify, Cover cover) {
    int prev = -1;
    int64_t gap = 0;
    for (int i = begin; i < end; ++i) {
        int add = classify(i);
        if (add >= 0) {
            gap += add;
            continue;
        }
        if (prev < 0) {
            cover(i, gap + own);
        } else {
            int64_t half = gap / 2;
            if (half > 0) cover(prev, half);
            cover(i, gap + own - half);
        }
        gap = 0;
        prev = i;
    }
    if (prev >= 0 && gap > 0) cover(prev, gap);
    return prev >= 0;
}

}  // namespace trafficdata
