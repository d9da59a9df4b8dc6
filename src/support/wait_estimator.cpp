#include "support/wait_estimator.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {
// The halves of the span agree within this factor: the estimate is steady. (The shown countdown
// may lie kBandPercent off the estimate besides.)
constexpr double kSteady = 1.2;

// Time and steps between two points.
struct SStretch {
  double ms = 0, steps = 0, largest = 0;  // largest: the most steps of one change in it
};

}  // namespace

double CWaitEstimator::Pace() const {
  if (m_nPoints < 2) return 0.0;
  const SPoint& first = At(0);
  const SPoint& last = At(m_nPoints - 1);
  return static_cast<double>(last.ms - first.ms) / static_cast<double>(last.steps - first.steps);
}

void CWaitEstimator::DropOldest(int n) {
  m_nFirst = (m_nFirst + n) % (kMaxChanges + 1);
  m_nPoints -= n;
}

void CWaitEstimator::AddSample(int64_t ms, int64_t steps) {
  if (m_nPoints == 0) {
    m_aPoints[m_nFirst] = m_total;  // the span starts where the sums are now
    m_nPoints = 1;
  }
  m_total.ms += std::max<int64_t>(ms, 0);
  m_total.steps += std::max<int64_t>(steps, 1);
  if (m_nPoints == kMaxChanges + 1) DropOldest(1);
  m_aPoints[(m_nFirst + m_nPoints) % (kMaxChanges + 1)] = m_total;
  ++m_nPoints;
  // Trimmed by time: the oldest change goes while the ones after it still cover the span.
  while (m_nPoints > 2 && m_total.ms - At(1).ms >= kSpanMs) DropOldest(1);
}

bool CWaitEstimator::FollowPace() {
  const int changes = m_nPoints - 1;
  if (changes < 2 * kHalfChanges) return false;
  const SPoint& first = At(0);
  const SPoint& last = At(changes);
  if (last.ms - first.ms < kSteadyMs) return false;
  // The point nearest the middle of the span's time splits it.
  const int64_t middle = first.ms + (last.ms - first.ms) / 2;
  int split = 1;
  while (split < changes && At(split + 1).ms <= middle) ++split;
  if (split < changes && At(split + 1).ms - middle < middle - At(split).ms) ++split;
  if (split < kHalfChanges || changes - split < kHalfChanges) return false;
  SStretch halves[2];
  for (int i = 1; i <= changes; ++i) {
    SStretch& h = halves[i <= split ? 0 : 1];
    const double ms = static_cast<double>(At(i).ms - At(i - 1).ms), steps = static_cast<double>(At(i).steps - At(i - 1).steps);
    h.ms += ms;
    h.steps += steps;
    h.largest = std::max(h.largest, steps);
  }
  const SStretch &older = halves[0], &newer = halves[1];
  if (!(older.ms > 0) || !(newer.ms > 0)) return false;
  // Rates in steps per millisecond: a stall of a whole half is a rate of 0, not a division by it.
  const double r0 = older.steps / older.ms, r1 = newer.steps / newer.ms;
  if (std::max(r0, r1) <= kSteady * std::min(r0, r1)) return true;
  if (m_bShown) return false;
  // The faster half, less its largest change, is still faster than the other one with that
  // other's largest change given once more: the steps did not merely bunch on one side.
  const SStretch& fast = r1 > r0 ? newer : older;
  const SStretch& slow = r1 > r0 ? older : newer;
  if ((fast.steps - fast.largest) / fast.ms > kSteady * (slow.steps + slow.largest) / slow.ms) DropOldest(split);
  return false;
}

bool CWaitEstimator::OnTick(DWORD now, int position, int upper) {
  // The countdown runs down by the time since the last tick (tick counts wrap: unsigned
  // difference), never below zero.
  const DWORD passed = now - m_nLastTick;
  m_nCountdown = passed >= m_nCountdown ? 0 : m_nCountdown - passed;
  m_nLastTick = now;

  if (position == m_nLastPosition) return false;

  if (position > m_nLastPosition && m_nStepCount != 0) {
    AddSample(static_cast<int64_t>(now - m_nLastPositionTime), static_cast<int64_t>(position) - m_nLastPosition);
    const bool steady = FollowPace();
    // A phase's first changes may go at the pace of its start only: the countdown runs on until
    // the phase has shown its own.
    if (m_bPhaseYoung && SampleCount() < kPhaseChanges) {
      m_nLastPosition = position;
      m_nLastPositionTime = now;
      ++m_nStepCount;
      return true;
    }
    m_bPhaseYoung = false;

    // The counter may run past the upper end (the callers' ranges are estimates): the steps left
    // are then negative and the estimate is 0, never a negative value forced into 32 bits.
    double estimate = static_cast<double>(static_cast<int64_t>(upper) - position) * Pace() + 0.5;
    if (!(estimate > 0.0)) estimate = 0.0;
    if (estimate > 4294967295.0) estimate = 4294967295.0;
    m_nEstimate = static_cast<DWORD>(estimate);

    const int64_t e = m_nEstimate;
    const int64_t margin = e * kBandPercent / 100 + 1;
    const int64_t c = m_nCountdown;
    if (c < e - margin || c > e + margin) m_nCountdown = m_nEstimate;
    if (!m_bShown && (steady || now - m_nClockStart >= kShowAfterMs)) {
      m_bShown = true;
      m_nCountdown = m_nEstimate;  // the time left starts from the estimate it is first shown with
    }
  } else if (m_nStepCount == 0) {
    m_nClockStart = now;
  }
  // A change or not (first change, or the position went down: its time and steps are not
  // counted), the clock restarts here.
  m_nLastPosition = position;
  m_nLastPositionTime = now;
  ++m_nStepCount;
  return true;
}

void CWaitEstimator::BeginPhase(DWORD now, int position) {
  // Until the time is shown, the halves sort out a change of pace by themselves (the older one
  // goes once it surely disagrees).
  if (!m_bShown) return;
  m_nPoints = 0;  // the next change starts the span
  m_bPhaseYoung = true;
  // The phase's first change counts from here; the steps that came since the last change went
  // partly to the phase before.
  if (m_nStepCount != 0 && position >= m_nLastPosition) {
    m_nLastPosition = position;
    m_nLastPositionTime = now;
  }
}

int64_t CWaitEstimator::ScaleDivisor(int64_t total) {
  if (total <= INT_MAX) return 1;
  return total / INT_MAX + 1;
}

void CWaitEstimator::FormatTime(DWORD ms, char* text, size_t size) {
  if (text == nullptr || size == 0) return;
  std::snprintf(text, size, "%02i:%02i:%02i", static_cast<int>(ms / 3600000), static_cast<int>((ms % 3600000) / 60000),
                static_cast<int>((ms % 60000) / 1000));
}
