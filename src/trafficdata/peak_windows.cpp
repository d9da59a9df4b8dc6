#include "trafficdata/peak_windows.h"

#include <vector>

#include "trafficdata/span_walk.h"

namespace trafficdata {

namespace {

// What InterpolationWalk hands out over any window [b, e) of the units 0..n-1, when every share
// of a taken unit adds share(unit, slots). Between two neighbouring taken units the walk hands out
// the same shares whatever the window, so those are summed once, at the later unit; only the first
// taken unit of a window (which takes the leading gap and its own slots) and the last (which takes
// the trailing gap) depend on the window.
class CWalkSums {
 public:
  // taken(i): the unit is taken; skip(i): the slots an untaken unit adds to the gap; own: the
  // slots a taken unit stands for.
  template <class Taken, class Skip, class Share>
  CWalkSums(int n, int own, Taken taken, Skip skip, Share share)
      : m_own(own), m_skip(n + 1, 0), m_pairs(n + 1, 0), m_next(n + 1, n), m_prev(n + 1, -1) {
    std::vector<bool> isTaken(n);
    int prev = -1;
    for (int i = 0; i < n; ++i) {
      isTaken[i] = taken(i);
      m_prev[i] = prev;
      int64_t pair = 0;
      if (isTaken[i]) {
        if (prev >= 0) {
          const int64_t gap = m_skip[i] - m_skip[prev + 1];
          if (gap == 0) {
            pair = share(i, own);
          } else {
            const int64_t half = gap / 2;
            if (half > 0) pair += share(prev, half);
            pair += share(i, gap + own - half);
          }
        }
        prev = i;
      }
      m_skip[i + 1] = m_skip[i] + (isTaken[i] ? 0 : skip(i));
      m_pairs[i + 1] = m_pairs[i] + pair;
    }
    m_prev[n] = prev;
    for (int i = n - 1; i >= 0; --i) m_next[i] = isTaken[i] ? i : m_next[i + 1];
  }

  // Whether the window has a taken unit.
  bool AnyTaken(int b, int e) const { return m_next[b] < e; }

  template <class Share>
  int64_t Window(int b, int e, Share share) const {
    const int first = m_next[b];
    if (first >= e) return 0;
    const int last = m_prev[e];
    const int64_t lead = m_skip[first] - m_skip[b];
    const int64_t trail = m_skip[e] - m_skip[last + 1];
    int64_t sum = share(first, lead + m_own) + (m_pairs[last + 1] - m_pairs[first + 1]);
    if (trail > 0) sum += share(last, trail);
    return sum;
  }

 private:
  int m_own;
  std::vector<int64_t> m_skip;   // prefix sums of the gap slots of untaken units
  std::vector<int64_t> m_pairs;  // prefix sums of the shares handed out on reaching each taken unit
  std::vector<int> m_next;       // first taken unit at or after i (n when none)
  std::vector<int> m_prev;       // last taken unit before i (-1 when none)
};

// Prefix sums of one value per unit.
template <class T>
struct CPrefix {
  std::vector<T> sum;
  template <class Value>
  CPrefix(int n, Value value) : sum(n + 1, 0) {
    for (int i = 0; i < n; ++i) sum[i + 1] = sum[i] + static_cast<T>(value(i));
  }
  T Of(int b, int e) const { return sum[e] - sum[b]; }
};

void SlowVehicles(const SpeedTrapDayView& v, int first, int last, int length, int method, int64_t* out) {
  for (int s = first; s <= last; ++s) {
    int64_t n = 0;
    for (int bin = 1; bin <= 4; ++bin) n += v.GetSpanBin(bin, s, length, method);
    out[s - first] = n;
  }
}

// Five-minute day, methods 0 to 5: each bin from its good, suspect and all sums and the good and
// suspect samples, rounded per bin as the span value rounds it.
void FiveMinuteSums(const SpeedTrapDayView& v, int n, int first, int last, int length, int method, int64_t* out) {
  std::vector<CPrefix<uint64_t>> good, suspect, all;
  for (int k = 0; k < 4; ++k) {
    good.emplace_back(n, [&](int p) { return v.Good(p) ? v.Bin(k, p) : 0u; });
    suspect.emplace_back(n, [&](int p) { return v.Suspect(p) ? v.Bin(k, p) : 0u; });
    all.emplace_back(n, [&](int p) { return v.Bin(k, p); });
  }
  const CPrefix<int64_t> goodN(n, [&](int p) { return v.Good(p) ? v.NPds(p) : 0; });
  const CPrefix<int64_t> suspectN(n, [&](int p) { return v.Suspect(p) ? v.NPds(p) : 0; });
  for (int s = first; s <= last; ++s) {
    int b, e;
    int64_t total = 0;
    if (SpanBounds(true, s, length, b, e)) {
      const int64_t units = 15 * static_cast<int64_t>(e - b);
      const int64_t gN = goodN.Of(b, e), sN = suspectN.Of(b, e);
      for (int k = 0; k < 4; ++k) {
        const uint64_t g = good[k].Of(b, e), su = suspect[k].Of(b, e);
        uint32_t value = 0;
        switch (method) {
          case 0: value = static_cast<uint32_t>(g); break;
          case 1: value = static_cast<uint32_t>(g + su); break;
          case 2: value = static_cast<uint32_t>(all[k].Of(b, e)); break;
          case 3: value = gN ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(units) * g / gN)) : 0; break;
          case 4:
            value = (gN + sN) ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(units) * (g + su) / (gN + sN)))
                              : 0;
            break;
          default:
            value = static_cast<uint32_t>(su + (gN ? RoundHalfUp64(static_cast<double>(g) * (units - sN) / gN) : 0));
        }
        total += value;
      }
    }
    out[s - first] = total;
  }
}

// Five-minute day, methods 6 to 8: the interpolation walk of every bin at once (its shares are
// rounded per bin), plus the suspect periods that method 8 adds as measured.
void FiveMinuteWalk(const SpeedTrapDayView& v, int n, int first, int last, int length, int method, int64_t* out) {
  auto share = [&](int p, int64_t u) {
    int64_t sum = 0;
    for (int k = 0; k < 4; ++k) sum += RoundHalfUp64(static_cast<double>(v.Bin(k, p)) * u / v.NPds(p));
    return sum;
  };
  const CWalkSums walk(
      n, 15, [&](int p) { return v.Good(p) || (method == 7 && v.Suspect(p)); },
      [&](int p) -> int64_t { return method == 8 && v.Suspect(p) ? 15 - v.NPds(p) : 15; }, share);
  const CPrefix<int64_t> measured(n, [&](int p) { return method == 8 && v.Suspect(p) ? v.Vehicles(p) : 0u; });
  for (int s = first; s <= last; ++s) {
    int b, e;
    out[s - first] = SpanBounds(true, s, length, b, e) ? walk.Window(b, e, share) + measured.Of(b, e) : 0;
  }
}

// 20-second day: usable and all sums per bin (methods 3 to 5 scale each bin to the span), or the
// interpolation walk over the usable intervals.
void IntervalSums(const SpeedTrapDayView& v, int n, int first, int last, int length, int method, int64_t* out) {
  if (method >= 6) {
    auto share = [&](int i, int64_t u) { return static_cast<int64_t>(uint64_t{v.Vehicles(i)} * static_cast<uint64_t>(u)); };
    const CWalkSums walk(n, 1, [&](int i) { return v.Usable(i); }, [](int) -> int64_t { return 1; }, share);
    for (int s = first; s <= last; ++s) out[s - first] = walk.Window(s, s + length, share);
    return;
  }
  std::vector<CPrefix<uint64_t>> usable, all;
  for (int k = 0; k < 4; ++k) {
    usable.emplace_back(n, [&](int i) { return v.Usable(i) ? v.Bin(k, i) : 0u; });
    all.emplace_back(n, [&](int i) { return v.Bin(k, i); });
  }
  const CPrefix<int64_t> usableN(n, [&](int i) { return v.Usable(i) ? 1 : 0; });
  for (int s = first; s <= last; ++s) {
    const int b = s, e = s + length;
    const int64_t nUsable = usableN.Of(b, e);
    int64_t total = 0;
    for (int k = 0; k < 4; ++k) {
      uint64_t value;
      if (method <= 1)
        value = usable[k].Of(b, e);
      else if (method == 2)
        value = all[k].Of(b, e);
      else
        value = nUsable ? static_cast<uint64_t>(
                              RoundHalfUp64(static_cast<double>(e - b) * usable[k].Of(b, e) / nUsable))
                        : 0;
      total += static_cast<uint32_t>(value);
    }
    out[s - first] = total;
  }
}

}  // namespace

void SpeedTrapPeakVehicles(const SpeedTrapDayView& v, int first, int last, int length, int method, int64_t* out) {
  if (last < first) return;
  if (method < 0 || method > 8 || length <= 0 || first < 0) {
    SlowVehicles(v, first, last, length, method, out);
    return;
  }
  if (v.IsFiveMinute()) {
    const int n = last / 15 + length / 15;  // periods the windows reach
    if (method >= 6)
      FiveMinuteWalk(v, n, first, last, length, method, out);
    else
      FiveMinuteSums(v, n, first, last, length, method, out);
    return;
  }
  IntervalSums(v, last + length, first, last, length, method, out);
}

void MeteredLanePeakRates(const MeteredLaneDayView& v, int first, int last, int length, int method, int64_t* out) {
  if (last < first) return;
  if (method < 0 || method > 8 || length <= 0 || first < 0) {
    for (int s = first; s <= last; ++s) out[s - first] = v.GetSpanRate(s, length, method);
    return;
  }
  const int n = last + length;
  auto mean = [](uint64_t sum, uint64_t count) -> int64_t {
    return count ? static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(sum) / static_cast<double>(count))) : 0;
  };
  if (method >= 6) {
    // Every slot of a window is covered once any interval of it has a sample.
    auto share = [&](int i, int64_t u) { return static_cast<int64_t>(uint64_t{v.Rate(i)} * static_cast<uint64_t>(u)); };
    const CWalkSums walk(n, 1, [&](int i) { return v.Sampled(i); }, [](int) -> int64_t { return 1; }, share);
    for (int s = first; s <= last; ++s) {
      const int e = s + length;
      out[s - first] = walk.AnyTaken(s, e) ? mean(static_cast<uint64_t>(walk.Window(s, e, share)),
                                                  static_cast<uint64_t>(length))
                                           : 0;
    }
    return;
  }
  const CPrefix<uint64_t> all(n, [&](int i) { return v.Rate(i); });
  const CPrefix<uint64_t> sampled(n, [&](int i) { return v.Sampled(i) ? v.Rate(i) : 0u; });
  const CPrefix<uint64_t> sampledN(n, [&](int i) { return v.Sampled(i) ? 1u : 0u; });
  for (int s = first; s <= last; ++s) {
    const int e = s + length;
    out[s - first] = method == 2 ? mean(all.Of(s, e), static_cast<uint64_t>(length))
                                 : mean(sampled.Of(s, e), sampledN.Of(s, e));
  }
}

}  // namespace trafficdata
