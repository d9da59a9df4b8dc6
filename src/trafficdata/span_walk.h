// The interpolation walk of the span values, on top of the shared gap walk.
#pragma once

#include <cstdint>

#include "trafficdata/summary.h"

namespace trafficdata {

// Walks the units [begin, end) of a span with CGapWalk.
//
// classify(i) returns -1 when unit i is taken; otherwise the number of slots it adds to the gap
// (values a unit adds "as measured" are added by classify itself). own is the number of slots a
// taken unit stands for (1 per unit, or 15 samples per period). cover(unit, slots) receives every
// share of a taken unit, never with 0 slots. Returns whether any unit was taken.
template <class Classify, class Cover>
bool InterpolationWalk(int begin, int end, int own, Classify classify, Cover cover) {
  CGapWalk walk;
  auto add = [&](int unit, int slots) {
    if (slots > 0) cover(unit, static_cast<int64_t>(slots));
  };
  for (int i = begin; i < end; ++i) {
    int skip = classify(i);
    if (skip >= 0)
      walk.Skip(skip);
    else
      walk.Selected(i, own, add);
  }
  walk.Finish(add);
  return walk.HasPrevious();
}

}  // namespace trafficdata
