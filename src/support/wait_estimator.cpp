#include "support/wait_estimator.h"

#include <climits>
#include <cstdio>

#include "containers/merge_sort.h"

namespace {
// The recent pace and the pace before it agree within this factor: the estimate is steady. Beyond
// it, before the time is shown, the pace has changed. (The shown countdown may lie kBandPercent
// off the estimate besides.)
constexpr double kSteady = 1.2;

// How many of n sorted samples enter the average, and the first of them.
void TrimmedRange(int n, int& start, int& count) {
  count = 7 * n / 10 + 1;
  if (count > n) count = n;
  start = (n - count) / 2;
}

}  // namespace

double CWaitEstimator::Average() const {
  const int n = m_aSamples.m_nSize;
  if (n < 1) return 0.0;
  CScalarArray<SWaitSample> sorted(m_aSamples);
  if (sorted.m_nSize != n) return PaceOf(0, n);  // no memory for the copy: all samples count
  SortDescending(sorted.m_pData, n);
  int start = 0, count = 0;
  TrimmedRange(n, start, count);
  double ms = 0.0, steps = 0.0;
  for (int i = start; i < start + count; ++i) {
    ms += sorted.m_pData[i].ms;
    steps += sorted.m_pData[i].steps;
  }
  return ms / steps;
}

double CWaitEstimator::PaceOf(int first, int n) const {
  double ms = 0.0, steps = 0.0;
  for (int i = first; i < first + n; ++i) {
    ms += m_aSamples.m_pData[i].ms;
    steps += m_aSamples.m_pData[i].steps;
  }
  return steps > 0.0 ? ms / steps : 0.0;
}

void CWaitEstimator::AddSample(double ms, double steps) {
  const SWaitSample sample{ms, steps};
  m_aSamples.Add(&sample);
  if (m_aSamples.m_nSize > kMaxSamples) m_aSamples.RemoveAt(0, m_aSamples.m_nSize - kMaxSamples);
}

bool CWaitEstimator::OnTick(DWORD now, int position, int upper) {
  // The countdown runs down by the time since the last tick (tick counts wrap: unsigned
  // difference), never below zero.
  const DWORD passed = now - m_nLastTick;
  m_nCountdown = passed >= m_nCountdown ? 0 : m_nCountdown - passed;
  m_nLastTick = now;

  if (position == m_nLastPosition) return false;

  if (position > m_nLastPosition && m_nStepCount != 0) {
    AddSample(static_cast<double>(now - m_nLastPositionTime),
              static_cast<double>(static_cast<int64_t>(position) - m_nLastPosition));
    const bool steady = FollowPace(now, position);
    // A phase's first samples may go at the pace of its start only: the countdown runs on until
    // the phase has shown its own.
    if (m_bPhaseYoung && m_aSamples.m_nSize < kPhaseSamples) {
      m_nLastPosition = position;
      m_nLastPositionTime = now;
      ++m_nStepCount;
      return true;
    }
    m_bPhaseYoung = false;

    // The counter may run past the upper end (the callers' ranges are estimates): the steps left
    // are then negative and the estimate is 0, never a negative value forced into 32 bits.
    double estimate = static_cast<double>(static_cast<int64_t>(upper) - position) * Average() + 0.5;
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
  } else {
    // The first change starts the window too; a position that went down starts it again.
    if (m_nStepCount == 0) m_nClockStart = now;
    RestartWindow(now, position);
  }
  // A sample or not (first change, or the position went down), the clock restarts here.
  m_nLastPosition = position;
  m_nLastPositionTime = now;
  ++m_nStepCount;
  return true;
}

void CWaitEstimator::BeginPhase(DWORD now, int position) {
  // Until the time is shown, the steady check sorts out a change of pace by itself (the samples of
  // an earlier pace go once the recent ones disagree with them).
  if (!m_bShown) return;
  m_aSamples.RemoveAll();
  m_bPhaseYoung = true;
  // The phase's first sample counts from here; the steps that came since the last change went
  // partly to the phase before.
  if (m_nStepCount != 0 && position >= m_nLastPosition) {
    m_nLastPosition = position;
    m_nLastPositionTime = now;
  }
}

void CWaitEstimator::RestartWindow(DWORD now, int position) {
  m_aWindowTime[0] = now;
  m_aWindowPosition[0] = position;
  m_nWindow = 1;
}

bool CWaitEstimator::FollowPace(DWORD now, int position) {
  if (m_nWindow == kWindow + 1) {
    for (int i = 0; i < kWindow; ++i) {
      m_aWindowTime[i] = m_aWindowTime[i + 1];
      m_aWindowPosition[i] = m_aWindowPosition[i + 1];
    }
    --m_nWindow;
  }
  m_aWindowTime[m_nWindow] = now;
  m_aWindowPosition[m_nWindow] = position;
  ++m_nWindow;
  if (m_nWindow < kWindow + 1) return false;
  // The window's changes brought its last kWindow samples; the pace before it is that of the
  // samples before those, at least as many. Both are time over steps, so that steps that come
  // unevenly at a steady pace agree, and a window that holds some of an earlier pace does not
  // agree with itself.
  const int before = m_aSamples.m_nSize - kWindow;
  if (before < kWindow) return false;
  const double recent = static_cast<double>(now - m_aWindowTime[0]) /
                        static_cast<double>(static_cast<int64_t>(position) - m_aWindowPosition[0]);
  const double earlier = PaceOf(0, before);
  if (!(recent > 0.0) || !(earlier > 0.0)) return false;
  const double ratio = earlier > recent ? earlier / recent : recent / earlier;
  if (ratio <= kSteady) return true;
  // Until the time is shown, only the window's samples (one per change) are of the new pace. Once
  // it is shown, the long average rides out the unevenness within a phase, which a few seconds'
  // pace would follow to and fro.
  if (!m_bShown) m_aSamples.RemoveAt(0, before);
  return false;
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
