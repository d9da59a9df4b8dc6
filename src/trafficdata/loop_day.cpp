#include "trafficdata/loop_day.h"

#include "trafficdata/packed_records.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Selection of the aggregation methods on the five-minute layout: a present period that is good,
// or one that is suspect.
struct SPeriodSel {
  bool good, suspect;
};

SPeriodSel PeriodSel(int nPds, int flag) {
  return SPeriodSel{nPds != 0 && flag == PC_GOOD, nPds != 0 && flag == PC_SUSPECT};
}

// A period taken by a method: good (0, 3, 6 and the good part of 5, 8), good or suspect (1, 4,
// 7), every period (2).
bool Selected(int method, const SPeriodSel& s) {
  switch (method) {
    case 2: return true;
    case 1:
    case 4:
    case 7: return s.good || s.suspect;
    default: return s.good;
  }
}

#if !defined(__SSE2__)
// 1 << class of a present interval by its flag value (IntervalClass: codes 0, 1 and 3 good, 6
// disabled, any other value bad), for the portable fold; the SSE2 fold compares the codes itself.
struct SClassBits {
  unsigned char bit[256];
  constexpr SClassBits() : bit() {
    for (int code = 0; code < 256; ++code) {
      const int cls = (code == 0 || code == 1 || code == 3) ? PC_GOOD : code == 6 ? PC_DISABLED : PC_BAD;
      bit[code] = static_cast<unsigned char>(1u << cls);
    }
  }
  unsigned operator[](unsigned code) const { return bit[code]; }
};
constexpr SClassBits kClassBitOfCode;
#endif

// The class of a set of interval classes holding exactly one.
int FoldedAlone(unsigned seen) {
  return seen == (1u << PC_GOOD) ? PC_GOOD : seen == (1u << PC_DISABLED) ? PC_DISABLED : PC_BAD;
}

// The class of a period from the set of its interval classes: one class alone is the period's
// class; a mix holding a good interval is suspect, a mix of bad and disabled ones disabled.
uint8_t FoldedClass(unsigned seen) {
  return static_cast<uint8_t>((seen & (seen - 1)) == 0 ? FoldedAlone(seen)
                              : (seen & (1u << PC_GOOD)) ? PC_SUSPECT
                                                         : PC_DISABLED);
}

// Stores in v the fold of the 15 intervals from f, n, vol and occ. The SSE2 form reads 16 entries
// of each array (the 16th is ignored), so the caller makes sure one more entry follows the period.
// Inlined, so that the fields go straight to their place: a value put together on the stack field
// by field and read back whole would wait for the narrow stores.
inline __attribute__((always_inline)) void FoldIntervals(const unsigned char* f, const unsigned char* n,
                                                         const unsigned short* vol, const unsigned short* occ,
                                                         SPeriodValue& v) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i codes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f));
  const __m128i absent = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(n)), zero);
  const unsigned present = ~static_cast<unsigned>(_mm_movemask_epi8(absent)) & 0x7FFFu;
  const __m128i good = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(codes, zero), _mm_cmpeq_epi8(codes, _mm_set1_epi8(1))),
                                    _mm_cmpeq_epi8(codes, _mm_set1_epi8(3)));
  const unsigned goodMask = static_cast<unsigned>(_mm_movemask_epi8(good)) & present;
  const unsigned disabledMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(codes, _mm_set1_epi8(6)))) & present;
  const unsigned badMask = 0x7FFFu & ~(goodMask | disabledMask);  // absent or any other code
  const unsigned seen = (goodMask ? 1u << PC_GOOD : 0u) | (disabledMask ? 1u << PC_DISABLED : 0u) |
                        (badMask ? 1u << PC_BAD : 0u);
  // Samples: the present bytes of the first 15 lanes as ones, summed.
  const __m128i firstFifteenOnes = _mm_set_epi8(0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1);
  const __m128i ones = _mm_sad_epu8(_mm_andnot_si128(absent, firstFifteenOnes), zero);
  // Volume and occupancy: 16-bit values widened to 32 bits, the 16th lane dropped.
  const __m128i lastLaneOff = _mm_set_epi16(0, -1, -1, -1, -1, -1, -1, -1);
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vol));
  const __m128i v1 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(vol + 8)), lastLaneOff);
  const __m128i o0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(occ));
  const __m128i o1 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(occ + 8)), lastLaneOff);
  const __m128i vs = _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(v0, zero), _mm_unpackhi_epi16(v0, zero)),
                                   _mm_add_epi32(_mm_unpacklo_epi16(v1, zero), _mm_unpackhi_epi16(v1, zero)));
  const __m128i os = _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(o0, zero), _mm_unpackhi_epi16(o0, zero)),
                                   _mm_add_epi32(_mm_unpacklo_epi16(o1, zero), _mm_unpackhi_epi16(o1, zero)));
  // [v0+v2, v1+v3, o0+o2, o1+o3], then each pair summed into its low lane.
  __m128i s = _mm_add_epi32(_mm_unpacklo_epi64(vs, os), _mm_unpackhi_epi64(vs, os));
  s = _mm_add_epi32(s, _mm_srli_epi64(s, 32));
  v.cls = FoldedClass(seen);
  v.samples = static_cast<uint8_t>(_mm_cvtsi128_si32(ones) + _mm_cvtsi128_si32(_mm_srli_si128(ones, 8)));
  v.volume = static_cast<uint32_t>(_mm_cvtsi128_si32(s));
  v.occWeighted = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(s, 8)));
#else
  unsigned seen = 0, samples = 0, volumeSum = 0, occSum = 0;
  for (int i = 0; i < INTERVALS_PER_PERIOD; ++i) {
    const unsigned present = n[i] != 0;
    seen |= present ? kClassBitOfCode[f[i]] : 1u << PC_BAD;
    samples += present;
  }
  for (int i = 0; i < INTERVALS_PER_PERIOD; ++i) {
    volumeSum += vol[i];
    occSum += occ[i];
  }
  v.cls = FoldedClass(seen);
  v.samples = static_cast<uint8_t>(samples);
  v.volume = volumeSum;
  v.occWeighted = occSum;
#endif
}

// Entries the fold reads past a period's 15 intervals.
#if defined(__SSE2__)
constexpr int kFoldReadsPast = 1;
#else
constexpr int kFoldReadsPast = 0;
#endif

}  // namespace

CLoopDay::~CLoopDay() = default;

void CLoopDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CLoopDay(*this);
}

void CLoopDay::Load(const unsigned char* packed, int byteLen, int count) {
  if (count < 0) count = 0;
  estimatedLength = -1;
  const int n = (packed && byteLen > 0) ? std::min(count, byteLen / 3) : 0;
  // The first n entries are decoded below; only the rest are zeroed.
  if (!trafficdata::SizeDayArrays(count, n, flag, nPds, volume, occupancy)) {  // out of memory
    dataAvailable = 0;
    return;
  }
  // The array blocks and the record bytes are read into locals first: a store through a byte
  // pointer could otherwise alias them and force a reload for every field.
  unsigned char* const fl = flag.m_pData;
  unsigned char* const np = nPds.m_pData;
  unsigned short* const oc = occupancy.m_pData;
  unsigned short* const vo = volume.m_pData;
  if (count == PERIODS_PER_DAY) {
    for (int i = 0; i < n; ++i) {
      const unsigned b0 = packed[3 * i], b1 = packed[3 * i + 1], b2 = packed[3 * i + 2];
      fl[i] = static_cast<unsigned char>(b0 >> 6);
      np[i] = static_cast<unsigned char>((b0 >> 2) & 15);
      oc[i] = static_cast<unsigned short>((b0 & 3) * 256 + b1);
      vo[i] = static_cast<unsigned short>(b2);
    }
  } else {
    for (int i = 0; i < n; ++i) {
      const unsigned b0 = packed[3 * i], b1 = packed[3 * i + 1], b2 = packed[3 * i + 2];
      vo[i] = static_cast<unsigned short>(b2 & 31);
      fl[i] = static_cast<unsigned char>(b2 >> 5);
      oc[i] = static_cast<unsigned short>((b0 & 7) * 256 + b1);
      np[i] = (b0 & 56) ? 1 : 0;
    }
  }
  dataAvailable = 1;
}

void CLoopDay::ResetPeriods() {
  // Periods the loader never sets stay absent (zero), never undefined.
  if (!ResetArrays(PERIODS_PER_DAY)) dataAvailable = 0;  // out of memory: no periods to set
  estimatedLength = -1;
}

void CLoopDay::SetPeriod(int period, unsigned char vol, unsigned short rawOcc, const PeValidity& pe) {
  if (period < 0 || period >= flag.m_nSize || flag.m_nSize != PERIODS_PER_DAY) return;
  volume.m_pData[period] = vol;
  occupancy.m_pData[period] = static_cast<unsigned short>(RoundHalfUp(rawOcc / 18.0));
  flag.m_pData[period] = PC_GOOD;
  nPds.m_pData[period] = 15;
  dataAvailable = 1;
  bool peak = (pe.peak1Start <= period && period < pe.peak1End) ||
              (pe.peak2Start <= period && period < pe.peak2End);
  if (peak ? (vol > pe.peakMax || vol < pe.peakMin) : (vol > pe.offMax || vol < pe.offMin))
    flag.m_pData[period] = PC_SUSPECT;
}

SPeriodValue CLoopDay::FoldedPeriodAt(int p) const {
  SPeriodValue v{PC_BAD, 0, 0, 0};
  // Finer layout: fold the period's 15 intervals. Volume and raw occupancy are summed over all
  // 15 records as stored; the samples are the present intervals.
  const int first = p * INTERVALS_PER_PERIOD;
  if (p >= 0 && first + INTERVALS_PER_PERIOD + kFoldReadsPast <= Count()) {
    FoldIntervals(flag.m_pData + first, nPds.m_pData + first, volume.m_pData + first, occupancy.m_pData + first, v);
    return v;
  }
  // Near or past the arrays' end: interval by interval, an entry outside them absent.
  int running = -1;
  for (int i = first; i < first + INTERVALS_PER_PERIOD; ++i) {
    bool present = NPdsAt(i) != 0;
    running = FoldClass(running, IntervalClass(present, FlagAt(i)));
    if (present) ++v.samples;
    v.volume += VolumeAt(i);
    v.occWeighted += OccupancyAt(i);
  }
  v.cls = static_cast<uint8_t>(running < 0 ? PC_BAD : running);
  return v;
}

bool CLoopDay::FillPeriodTable(CPeriodTable& table) const {
  table.fine = IsFine();
  if (table.fine) {
    // The periods whose fold stays inside the arrays straight from them, the others through
    // FoldedPeriodAt's checks.
    const int direct = std::min(PERIODS_PER_DAY, std::max(0, (Count() - kFoldReadsPast) / INTERVALS_PER_PERIOD));
    const unsigned char* f = flag.m_pData;
    const unsigned char* n = nPds.m_pData;
    const unsigned short* v = volume.m_pData;
    const unsigned short* o = occupancy.m_pData;
    for (int p = 0, i = 0; p < direct; ++p, i += INTERVALS_PER_PERIOD) FoldIntervals(f + i, n + i, v + i, o + i, table.period[p]);
    for (int p = direct; p < PERIODS_PER_DAY; ++p) table.period[p] = FoldedPeriodAt(p);
    return true;
  }
  // Five-minute layout: the arrays hold exactly 288 periods.
  const unsigned char* f = flag.m_pData;
  const unsigned char* n = nPds.m_pData;
  const unsigned short* v = volume.m_pData;
  const unsigned short* o = occupancy.m_pData;
  for (int p = 0; p < PERIODS_PER_DAY; ++p) {
    const unsigned samples = n[p], cls = f[p];  // read before the stores below
    const unsigned volume = v[p], occ = o[p];
    const unsigned c = (samples == 0 || cls < PC_GOOD || cls > PC_DISABLED) ? static_cast<unsigned>(PC_BAD) : cls;
    SPeriodValue& x = table.period[p];
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Two stores a period: class and samples, then volume and weighted occupancy side by side.
    static_assert(offsetof(SPeriodValue, samples) == 1 && offsetof(SPeriodValue, occWeighted) ==
                  offsetof(SPeriodValue, volume) + 4, "field order");
    const uint16_t head = static_cast<uint16_t>(c | samples << 8);
    const uint64_t tail = volume | static_cast<uint64_t>(occ * samples) << 32;
    std::memcpy(&x.cls, &head, sizeof head);
    std::memcpy(&x.volume, &tail, sizeof tail);
#else
    x.cls = static_cast<uint8_t>(c);
    x.samples = static_cast<uint8_t>(samples);
    x.volume = volume;
    x.occWeighted = occ * samples;
#endif
  }
  return true;
}

SClassCounts CLoopDay::CountClasses(int start, int end) const {
  SClassCounts k;
  for (int p = std::max(start, 0); p < std::min(end, PERIODS_PER_DAY); ++p) k.Add(PeriodAt(p).cls);
  return k;
}

SSummaryTotals CLoopDay::GetSummaryTotals(int start, int end, bool useSuspect) const {
  CPeriodTable table;
  FillPeriodTable(table);
  return table.GetSummaryTotals(start, end, useSuspect);
}

int CLoopDay::OccTerm(int p) const {
  return RoundHalfUp(OccupancyAt(p) * 1.2 * NPdsAt(p));
}

// ---------------------------------------------------------------------------------------------
// Span values. A five-minute day spans periods start / 15 to start / 15 + length / 15; the finer
// layout spans intervals start to start + length. Entries outside the arrays read as absent.

// Sum of a per-period value (volume or occupancy term) over a five-minute span by the method's
// selection and treatment.
template <class ValueFn>
int64_t CLoopDay::SpanSum5(int p0, int p1, int length, int method, ValueFn value) const {
  int nP = p1 - p0;
  if (nP <= 0 || method < 0 || method >= METHOD_COUNT) return 0;
  auto sel = [&](int p) { return PeriodSel(NPdsAt(p), FlagAt(p)); };
  int treatment = method / 3;
  if (treatment == 0) {
    int64_t sum = 0;
    for (int p = p0; p < p1; ++p)
      if (Selected(method, sel(p))) sum += value(p);
    return sum;
  }
  if (treatment == 1) {
    int64_t selSum = 0, selN = 0, suspSum = 0, suspN = 0;
    for (int p = p0; p < p1; ++p) {
      SPeriodSel s = sel(p);
      if (Selected(method, s)) {
        selSum += value(p);
        selN += NPdsAt(p);
      } else if (method == 5 && s.suspect) {
        suspSum += value(p);
        suspN += NPdsAt(p);
      }
    }
    if (method == 5) {
      int64_t sum = suspSum;
      if (selN > 0) sum += RoundHalfUp64(static_cast<double>(selSum) * (15.0 * nP - suspN) / selN);
      return sum;
    }
    if (selN == 0) return 0;
    return RoundHalfUp64(nP * 15.0 * selSum / selN);
  }
  // Interpolated: each selected period's rate (value per sample) fills the missing samples.
  int64_t sum = 0;
  CGapWalk walk;
  auto add = [&](int p, int slots) {
    sum += RoundHalfUp64(static_cast<double>(value(p)) * slots / NPdsAt(p));
  };
  for (int p = p0; p < p1; ++p) {
    SPeriodSel s = sel(p);
    if (Selected(method, s)) {
      walk.Selected(p, 15, add);
    } else if (method == 8 && s.suspect) {
      sum += value(p);
      walk.Skip(15 - NPdsAt(p));
    } else {
      walk.Skip(15);
    }
  }
  walk.Finish(add);
  return sum;
}

// Sum of a per-interval value over a finer-layout span.
template <class ValueFn>
int64_t CLoopDay::SpanSumFine(int i0, int length, int method, ValueFn value) const {
  if (length <= 0 || method < 0 || method >= METHOD_COUNT) return 0;
  int i1 = i0 + length;
  auto usable = [&](int i) { return IntervalUsable(NPdsAt(i) != 0, FlagAt(i)); };
  if (method == 2) {
    int64_t sum = 0;
    for (int i = i0; i < i1; ++i) sum += value(i);
    return sum;
  }
  if (method < 6) {
    int64_t sum = 0, count = 0;
    for (int i = i0; i < i1; ++i)
      if (usable(i)) {
        sum += value(i);
        ++count;
      }
    if (method < 2) return sum;
    if (count == 0) return 0;
    return RoundHalfUp64(static_cast<double>(length) * sum / count);
  }
  int64_t sum = 0;
  CGapWalk walk;
  auto add = [&](int i, int slots) { sum += static_cast<int64_t>(value(i)) * slots; };
  for (int i = i0; i < i1; ++i) {
    if (usable(i))
      walk.Selected(i, 1, add);
    else
      walk.Skip(1);
  }
  walk.Finish(add);
  return sum;
}

int CLoopDay::GetSpanVolume(int start, int length, int method) const {
  if (IsFine()) return static_cast<int>(SpanSumFine(start, length, method, [&](int i) { return VolumeAt(i); }));
  int p0 = start / 15;
  return static_cast<int>(SpanSum5(p0, p0 + length / 15, length, method, [&](int p) { return VolumeAt(p); }));
}

void CLoopDay::GetSpanVolumes(int first, int last, int length, int method, int64_t* out) const {
  if (last < first) return;
  if (method < 0 || method > 5 || length <= 0 || first < 0) {
    CVolOccDay::GetSpanVolumes(first, last, length, method, out);
    return;
  }
  // Running sums over the units (intervals or periods) that the spans can reach; each value is
  // then formed exactly as GetSpanVolume forms it.
  const bool fine = IsFine();
  const int units = fine ? last + length : (last / 15 + length / 15);
  std::vector<int64_t> sum(static_cast<size_t>(units) + 1, 0), n(sum.size(), 0), suspSum(sum.size(), 0),
      suspN(sum.size(), 0);
  for (int u = 0; u < units; ++u) {
    int64_t s = 0, c = 0, ss = 0, sc = 0;
    if (fine) {
      bool usable = IntervalUsable(NPdsAt(u) != 0, FlagAt(u));
      if (method == 2 || usable) s = VolumeAt(u);
      c = usable ? 1 : 0;
    } else {
      int np = NPdsAt(u);
      int f = FlagAt(u);
      SPeriodSel sel = PeriodSel(np, f);
      if (Selected(method, sel)) {
        s = VolumeAt(u);
        c = np;
      } else if (method == 5 && sel.suspect) {
        ss = VolumeAt(u);
        sc = np;
      }
    }
    sum[u + 1] = sum[u] + s;
    n[u + 1] = n[u] + c;
    suspSum[u + 1] = suspSum[u] + ss;
    suspN[u + 1] = suspN[u] + sc;
  }
  for (int st = first; st <= last; ++st) {
    int a, b;
    if (fine) {
      a = st;
      b = st + length;
    } else {
      a = st / 15;
      b = a + length / 15;
    }
    int64_t selSum = sum[b] - sum[a], selN = n[b] - n[a];
    int64_t v;
    if (fine) {
      if (method < 3) v = selSum;
      else v = selN == 0 ? 0 : RoundHalfUp64(static_cast<double>(length) * selSum / selN);
    } else {
      int nP = b - a;
      if (nP <= 0) v = 0;
      else if (method < 3) v = selSum;
      else if (method == 5)
        v = (suspSum[b] - suspSum[a]) +
            (selN > 0 ? RoundHalfUp64(static_cast<double>(selSum) * (15.0 * nP - (suspN[b] - suspN[a])) / selN) : 0);
      else
        v = selN == 0 ? 0 : RoundHalfUp64(nP * 15.0 * selSum / selN);
    }
    out[st - first] = static_cast<int>(v);
  }
}

int CLoopDay::GetSpanOccupancySum(int start, int length, int method) const {
  if (IsFine())
    return static_cast<int>(SpanSumFine(start, length, method, [&](int i) { return OccupancyAt(i); }));
  int p0 = start / 15;
  return static_cast<int>(SpanSum5(p0, p0 + length / 15, length, method, [&](int p) { return OccTerm(p); }));
}

int CLoopDay::GetSpanOccupancy(int start, int length, int method) const {
  if (method < 0 || method >= METHOD_COUNT || length <= 0) return 0;
  if (IsFine()) {
    int i1 = start + length;
    double wsum = 0, weight = 0;
    if (method < 6) {
      for (int i = start; i < i1; ++i) {
        if (method == 2 || IntervalUsable(NPdsAt(i) != 0, FlagAt(i))) {
          wsum += OccupancyAt(i);
          weight += 1;
        }
      }
    } else {
      CGapWalk walk;
      auto add = [&](int i, int slots) {
        wsum += static_cast<double>(OccupancyAt(i)) * slots;
        weight += slots;
      };
      for (int i = start; i < i1; ++i) {
        if (IntervalUsable(NPdsAt(i) != 0, FlagAt(i)))
          walk.Selected(i, 1, add);
        else
          walk.Skip(1);
      }
      walk.Finish(add);
    }
    if (weight <= 0) return 0;
    return RoundHalfUp(wsum / (weight * 1.2));
  }
  int p0 = start / 15;
  int p1 = p0 + length / 15;
  int nP = p1 - p0;
  if (nP <= 0) return 0;
  auto sel = [&](int p) { return PeriodSel(NPdsAt(p), FlagAt(p)); };
  if (method <= 4) {
    // Methods 3 and 4 take the periods of 0 and 1 unscaled.
    int m = method >= 3 ? method - 3 : method;
    int64_t w = 0, n = 0;
    for (int p = p0; p < p1; ++p)
      if (Selected(m, sel(p))) {
        w += static_cast<int64_t>(OccupancyAt(p)) * NPdsAt(p);
        n += NPdsAt(p);
      }
    if (n == 0) return 0;
    return RoundHalfUp(static_cast<double>(w) / n);
  }
  if (method == 5) {
    int64_t goodW = 0, goodN = 0, suspW = 0, suspN = 0;
    for (int p = p0; p < p1; ++p) {
      SPeriodSel s = sel(p);
      int64_t w = static_cast<int64_t>(OccupancyAt(p)) * NPdsAt(p);
      if (s.good) {
        goodW += w;
        goodN += NPdsAt(p);
      } else if (s.suspect) {
        suspW += w;
        suspN += NPdsAt(p);
      }
    }
    double num = static_cast<double>(suspW);
    double den = static_cast<double>(suspN);
    if (goodN > 0) {
      double r = 15.0 * nP - suspN;
      num += RoundHalfUp64(goodW * r / goodN);
      den += r;
    }
    if (den <= 0) return 0;
    return RoundHalfUp(num / den);
  }
  // Interpolated: each selected period weighs 15 slots plus the missing slots it fills.
  double wsum = 0, weight = 0;
  CGapWalk walk;
  auto add = [&](int p, int slots) {
    wsum += static_cast<double>(OccupancyAt(p)) * slots;
    weight += slots;
  };
  for (int p = p0; p < p1; ++p) {
    SPeriodSel s = sel(p);
    if (Selected(method, s)) {
      walk.Selected(p, 15, add);
    } else if (method == 8 && s.suspect) {
      wsum += static_cast<double>(OccupancyAt(p)) * NPdsAt(p);
      weight += NPdsAt(p);
      walk.Skip(15 - NPdsAt(p));
    } else {
      walk.Skip(15);
    }
  }
  walk.Finish(add);
  if (weight <= 0) return 0;
  return RoundHalfUp(wsum / weight);
}

int CLoopDay::GetSpanPeriods(int start, int length, int method) const {
  if (method < 0 || method >= METHOD_COUNT || length <= 0) return 0;
  if (IsFine()) {
    int usable = 0, present = 0;
    for (int i = start; i < start + length; ++i) {
      bool pr = NPdsAt(i) != 0;
      if (pr) ++present;
      if (IntervalUsable(pr, FlagAt(i))) ++usable;
    }
    if (method <= 1) return usable;
    if (method == 2) return present;
    return usable > 0 ? length : 0;
  }
  int p0 = start / 15;
  int p1 = p0 + length / 15;
  int sum = 0, suspN = 0;
  bool anySel = false, anyGood = false;
  for (int p = p0; p < p1; ++p) {
    int n = NPdsAt(p);
    SPeriodSel s = PeriodSel(n, FlagAt(p));
    if (Selected(method, s)) {
      sum += n;
      anySel = true;
    }
    if (s.good) anyGood = true;
    if (s.suspect) suspN += n;
  }
  if (method <= 2) return sum;
  if (method == 5 || method == 8) return anyGood ? length : suspN;
  return anySel ? length : 0;
}

int CLoopDay::GetSpanValidity(int start, int length, int method) const {
  if (method < 0 || method >= METHOD_COUNT || length <= 0) return 0;
  if (IsFine()) {
    int usable = 0;
    for (int i = start; i < start + length; ++i)
      if (IntervalUsable(NPdsAt(i) != 0, FlagAt(i))) ++usable;
    return RoundHalfUp(1000.0 * usable / length);
  }
  int p0 = start / 15;
  int nP = length / 15;
  if (nP <= 0) return 0;  // a span shorter than one period covers nothing
  bool goodOnly = method % 3 == 0;
  int sum = 0;
  for (int p = p0; p < p0 + nP; ++p) {
    int n = NPdsAt(p);
    int f = FlagAt(p);
    if (n == 0) continue;
    if (f == PC_GOOD) sum += 1000;
    else if (f == PC_SUSPECT && !goodOnly) sum += 500;
  }
  return RoundHalfUp(static_cast<double>(sum) / nP);
}

int CLoopDay::GetSpanFlag(int start, int length, int method) const {
  if (method < 0 || method >= METHOD_COUNT || length <= 0) return 4;
  if (IsFine()) {
    int usable = 0;
    bool allDisabled = true;
    for (int i = start; i < start + length; ++i) {
      bool pr = NPdsAt(i) != 0;
      int code = FlagAt(i);
      if (IntervalUsable(pr, code))
        ++usable;
      else if (!pr || code != 6)
        allDisabled = false;
    }
    if (method == 2) {
      if (usable == length) return 1;
      if (usable > 0) return 2;
    } else if (usable > 0) {
      return 1;
    }
    return allDisabled ? 3 : 0;
  }
  int p0 = start / 15;
  int p1 = p0 + length / 15;
  if (p1 <= p0) return 4;
  bool anyGood = false, anySuspect = false, anyOther = false, allDisabled = true;
  for (int p = p0; p < p1; ++p) {
    int n = NPdsAt(p);
    int f = FlagAt(p);
    int cls = (n == 0 || f < PC_GOOD || f > PC_DISABLED) ? PC_BAD : f;
    if (cls == PC_GOOD) anyGood = true;
    else if (cls == PC_SUSPECT) anySuspect = true;
    else anyOther = true;
    if (cls != PC_DISABLED) allDisabled = false;
  }
  int sel = method % 3;
  if (method == 2) {
    if (anySuspect || (anyGood && anyOther)) return 2;
    if (anyGood) return 1;
  } else if (sel == 0) {
    if (anyGood) return 1;
  } else {
    if (anySuspect) return 2;
    if (anyGood) return 1;
  }
  return allDisabled ? 3 : 0;
}

// ---------------------------------------------------------------------------------------------
// Length estimate: occupancy sum (raw counts) and volume sum over the periods within the
// occupancy bounds, then length = occSum x speed x 11 / (volSum x 450), clamped.

void CLoopDay::EstimateLength5(int length, int method, const SSpeedParams& prm, double& occSum,
                               double& volSum) const {
  auto inBounds = [&](int p) {
    int o = OccupancyAt(p);
    return o >= prm.occLower && o <= prm.occUpper;
  };
  auto sel = [&](int p) { return PeriodSel(NPdsAt(p), FlagAt(p)); };
  if (method <= 2) {
    for (int p = 0; p < PERIODS_PER_DAY; ++p)
      if (Selected(method, sel(p)) && inBounds(p)) {
        occSum += OccTerm(p);
        volSum += VolumeAt(p);
      }
    return;
  }
  int n = std::max(length / 15, 1);
  for (int s0 = 0; s0 < PERIODS_PER_DAY; s0 += n) {
    int s1 = std::min(s0 + n, PERIODS_PER_DAY);
    if (method <= 5) {
      double spanOcc = 0, spanVol = 0;
      int samples = 0, suspSamples = 0;
      for (int p = s0; p < s1; ++p) {
        SPeriodSel s = sel(p);
        if (Selected(method, s)) {
          samples += NPdsAt(p);
          if (inBounds(p)) {
            spanOcc += OccTerm(p);
            spanVol += VolumeAt(p);
          }
        } else if (method == 5 && s.suspect) {
          suspSamples += NPdsAt(p);
          if (inBounds(p)) {
            occSum += OccTerm(p);
            volSum += VolumeAt(p);
          }
        }
      }
      if (samples > 0) {
        double scale = method == 5 ? 15.0 * n - suspSamples : static_cast<double>(length);
        occSum += RoundHalfUp64(spanOcc * scale / samples);
        volSum += RoundHalfUp64(spanVol * scale / samples);
      }
      continue;
    }
    // Interpolated within the span. A selected period outside the bounds takes no share and
    // never becomes the previous period (the same rule for methods 6, 7 and 8).
    CGapWalk walk;
    auto add = [&](int p, int slots) {
      if (!inBounds(p)) return;
      occSum += RoundHalfUp64(OccupancyAt(p) * 1.2 * slots);
      volSum += RoundHalfUp64(static_cast<double>(VolumeAt(p)) * slots / NPdsAt(p));
    };
    for (int p = s0; p < s1; ++p) {
      SPeriodSel s = sel(p);
      if (Selected(method, s)) {
        walk.Selected(p, 15, add, inBounds(p));
      } else if (method == 8 && s.suspect) {
        if (inBounds(p)) {
          occSum += OccTerm(p);
          volSum += VolumeAt(p);
        }
        walk.Skip(15 - NPdsAt(p));
      } else {
        walk.Skip(15);
      }
    }
    walk.Finish(add);
  }
}

void CLoopDay::EstimateLengthFine(int length, int method, const SSpeedParams& prm, double& occSum,
                                  double& volSum) const {
  int count = Count();
  auto inBounds = [&](int i) {
    int tenths = RoundHalfUp(OccupancyAt(i) / 1.2);
    return tenths >= prm.occLower && tenths <= prm.occUpper;
  };
  auto usable = [&](int i) { return method == 2 || IntervalUsable(NPdsAt(i) != 0, FlagAt(i)); };
  if (method <= 2) {
    for (int i = 0; i < count; ++i)
      if (usable(i) && inBounds(i)) {
        occSum += OccupancyAt(i);
        volSum += VolumeAt(i);
      }
    return;
  }
  int n = std::max(length, 1);
  for (int s0 = 0; s0 < count; s0 += n) {
    int s1 = std::min(s0 + n, count);
    if (method <= 5) {
      double spanOcc = 0, spanVol = 0;
      int used = 0;
      for (int i = s0; i < s1; ++i)
        if (usable(i)) {
          ++used;
          if (inBounds(i)) {
            spanOcc += OccupancyAt(i);
            spanVol += VolumeAt(i);
          }
        }
      if (used > 0) {
        occSum += RoundHalfUp64(spanOcc * length / used);
        volSum += RoundHalfUp64(spanVol * length / used);
      }
      continue;
    }
    CGapWalk walk;
    auto add = [&](int i, int slots) {
      if (!inBounds(i)) return;
      occSum += static_cast<double>(OccupancyAt(i)) * slots;
      volSum += static_cast<double>(VolumeAt(i)) * slots;
    };
    for (int i = s0; i < s1; ++i) {
      if (usable(i))
        walk.Selected(i, 1, add, inBounds(i));
      else
        walk.Skip(1);
    }
    walk.Finish(add);
  }
}

void CLoopDay::EstimateLength(int length, int method, const SSpeedParams& params) {
  if (method < 0 || method >= METHOD_COUNT) {
    estimatedLength = params.MeanLength();
    return;
  }
  double occSum = 0, volSum = 0;
  if (IsFine())
    EstimateLengthFine(length, method, params, occSum, volSum);
  else
    EstimateLength5(length, method, params, occSum, volSum);
  estimatedLength = params.LengthFromSums(occSum, volSum);
}
