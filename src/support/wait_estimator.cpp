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

double CWaitEstimator::PlannedPace(int i, const SDone& current, bool anyFamily) const {
  if (i < 0 || i >= m_nPlan) return 0.0;
  // Milliseconds and steps of the phases done and of the one under way: of the kind, of the
  // family, of all.
  double ms[3] = {0, 0, 0}, steps[3] = {0, 0, 0};
  for (int j = 0; j <= m_nPhase && j < m_nPlan; ++j) {
    const SDone& d = j < m_nPhase ? m_aDone[j] : current;
    if (!(d.steps > 0) || !(d.ms > 0)) continue;
    const bool kind = m_aPlan[j].kind == m_aPlan[i].kind, family = m_aPlan[j].family == m_aPlan[i].family;
    for (int level = 0; level < 3; ++level) {
      if ((level == 0 && !kind) || (level == 1 && !family)) continue;
      ms[level] += d.ms;
      steps[level] += d.steps;
    }
  }
  for (int level = 0; level < (anyFamily ? 3 : 2); ++level)
    if (steps[level] > 0) return ms[level] / steps[level];
  return 0.0;
}

bool CWaitEstimator::FirstOfFamilies() const {
  if (m_nPhase != 0) return false;
  for (int i = 1; i < m_nPlan; ++i)
    if (m_aPlan[i].family != m_aPlan[0].family) return true;
  return false;
}

bool CWaitEstimator::UpdateEstimate(DWORD now, int position, int upper, bool ownPace) {
  // The counter may run past the upper end (the callers' ranges are estimates): the steps left
  // are then negative and count 0, never a negative value forced into 32 bits.
  const double left = static_cast<double>(static_cast<int64_t>(upper) - position);
  double estimate = 0;
  if (m_nPhase < 0 || m_nPhase >= m_nPlan) {
    if (!ownPace) return false;
    estimate = left * Pace();
  } else {
    int64_t later = 0;  // the planned steps of the phases to come
    for (int i = m_nPhase + 1; i < m_nPlan; ++i) later += m_aPlan[i].units;
    // The phase under way holds what the range holds beyond them. One whose range grew beyond
    // its plan (a load on a busy machine) spreads a planned step's time over more steps: each of
    // its steps is `share` of a planned one.
    const double own = left - static_cast<double>(later);
    const double span = static_cast<double>(static_cast<int64_t>(upper) - m_nPhaseStartPosition - later);
    const double planned = static_cast<double>(m_aPlan[m_nPhase].units);
    const double share = span > planned && planned > 0 ? planned / span : 1.0;
    // Once it has its own pace, the phase under way teaches as the phases done do.
    SDone current;
    if (ownPace)
      current = {static_cast<double>(now - m_nPhaseStart),
                 static_cast<double>(static_cast<int64_t>(position) - m_nPhaseStartPosition) * share};
    // Before its own pace, the phase under way goes at that of its kind or family; another
    // family's pace tells nothing of it.
    const double pace = ownPace ? Pace() : PlannedPace(m_nPhase, current, false) * share;
    if (!ownPace && !(pace > 0)) return false;
    // The phases to come at what the phases done taught, or at the pace under way when none did.
    double laterMs = 0;
    for (int i = m_nPhase + 1; i < m_nPlan; ++i) {
      const double taught = PlannedPace(i, current, true);
      laterMs += static_cast<double>(m_aPlan[i].units) * (taught > 0 ? taught : pace / share);
    }
    estimate = (own > 0 ? own * pace : 0.0) + laterMs;
  }
  estimate += 0.5;
  if (!(estimate > 0.0)) estimate = 0.0;
  if (estimate > 4294967295.0) estimate = 4294967295.0;
  m_nEstimate = static_cast<DWORD>(estimate);

  const int64_t e = m_nEstimate;
  const int64_t margin = e * kBandPercent / 100 + 1;
  const int64_t c = m_nCountdown;
  if (c < e - margin || c > e + margin) m_nCountdown = m_nEstimate;
  return true;
}

bool CWaitEstimator::OnTick(DWORD now, int position, int upper) {
  // The countdown runs down by the time since the last tick (tick counts wrap: unsigned
  // difference), never below zero.
  const DWORD passed = now - m_nLastTick;
  m_nCountdown = passed >= m_nCountdown ? 0 : m_nCountdown - passed;
  m_nLastTick = now;
  m_nLastUpper = upper;

  if (position == m_nLastPosition) return false;

  if (position > m_nLastPosition && m_nStepCount != 0) {
    AddSample(static_cast<int64_t>(now - m_nLastPositionTime), static_cast<int64_t>(position) - m_nLastPosition);
    const bool steady = FollowPace();
    // A phase's first changes may go at the pace of its start only: until the phase has shown its
    // own, it goes at what the phases before it taught, or, when none did, the countdown runs on.
    const bool young = m_bPhaseYoung && SampleCount() < kPhaseChanges;
    if (!young) m_bPhaseYoung = false;
    if (UpdateEstimate(now, position, upper, !young) && !m_bShown &&
        ((steady && !FirstOfFamilies()) || now - m_nClockStart >= kShowAfterMs)) {
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

void CWaitEstimator::SetPlan(const SPhase* phases, int count) {
  m_nPlan = std::clamp(count, 0, kMaxPhases);
  for (int i = 0; i < m_nPlan; ++i) m_aPlan[i] = phases[i];
}

void CWaitEstimator::BeginPhase(DWORD now, int position, int phase) {
  if (phase >= 0) {
    // A phase of the plan; one that is not, or has begun already, changes nothing.
    if (phase >= m_nPlan || phase <= m_nPhase) return;
    // The phase that ends leaves its time over its steps, at most those planned: a load that
    // found the machine busy adds more than its plan, and the phases of its kind to come will
    // too once they find it so. A phase that moved nothing (its report could not be opened)
    // teaches nothing.
    if (m_nPhase >= 0) {
      const double ms = static_cast<double>(now - m_nPhaseStart);
      const double moved = static_cast<double>(static_cast<int64_t>(position) - m_nPhaseStartPosition);
      const double steps = std::min(moved, static_cast<double>(m_aPlan[m_nPhase].units));
      if (ms > 0 && steps > 0) m_aDone[m_nPhase] = {ms, steps};
    }
    m_nPhase = phase;
    m_nPhaseStart = now;
    m_nPhaseStartPosition = position;
    // The span starts again with the phase, the time left shown or not; until the phase shows its
    // own pace, those of its kind or family before it price it, from its first moment.
    m_nPoints = 0;
    m_bPhaseYoung = true;
    if (m_nStepCount != 0 && position >= m_nLastPosition) {
      m_nLastPosition = position;
      m_nLastPositionTime = now;
    }
    if (m_bShown) UpdateEstimate(now, position, m_nLastUpper, false);
    return;
  }
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
