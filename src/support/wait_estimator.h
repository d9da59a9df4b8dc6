// CWaitEstimator: the time-left estimate of the wait dialog, kept apart from the window so that it
// can be fed positions and tick counts directly.
//
// Every timer tick (500 ms in the dialog) it runs the shown countdown down by the time that
// passed. When the caller's position has grown since the last change it takes a sample of
// milliseconds per step, keeps the last 101 samples, averages the middle 70 % of them (largest and
// smallest dropped) and derives an estimate for the steps still to go. The countdown jumps to a
// new estimate only when the two differ by more than 25 % plus 1 ms, so the display runs down
// smoothly at a steady rate. The first change of the position only starts the clock: there is no
// estimate until the second.
//
// The time left is shown only once it is steady: the mean of the samples and the pace of the last
// kWindow changes of the position (about three seconds) agree within 20 %. A run's first seconds
// (files opened cold, helper threads starting) often go at another pace than the rest, and an
// estimate drawn from them would be several times off. When the two differ by more before the
// time is shown, the pace has changed (a slow start is over): the samples from before the window
// are dropped, so the estimate follows the new pace at once instead of after a hundred samples.
// Once shown, the time left stays shown and the samples are kept as before: a run's phases go
// unevenly for seconds at a time, and a short window would make the time left jump with them.
#pragma once

#include "containers/scalar_array.h"
#include "platform/base/types.h"

class CWaitEstimator {
 public:
  static constexpr int kMaxSamples = 101;
  // The recent changes of the position whose pace is compared with the samples' mean.
  static constexpr int kWindow = 6;

  CWaitEstimator() = default;

  // One timer tick at tick count `now` with the caller's position and the upper end of the range.
  // True when the position differs from the last one seen (the bar is to move).
  bool OnTick(DWORD now, int position, int upper);

  // True once a sample gave an estimate; until then there is no time left to show.
  bool HasEstimate() const { return m_aSamples.m_nSize > 0; }
  // True once the estimate has been steady: from then on the time left is shown.
  bool Shown() const { return m_bShown; }
  // The time left as shown, in milliseconds.
  DWORD Countdown() const { return m_nCountdown; }
  // The last estimate in milliseconds.
  DWORD Estimate() const { return m_nEstimate; }
  // The trimmed mean of the samples in milliseconds per step (0 without samples).
  double Average() const;
  int SampleCount() const { return m_aSamples.m_nSize; }
  DWORD StepCount() const { return m_nStepCount; }

  // The wait dialog's bar holds an int. A run's units are scaled into it: the divisor by which a
  // count of up to `total` units is divided before it reaches the bar.
  static int64_t ScaleDivisor(int64_t total);

  // "hh:mm:ss" of a millisecond count; hours keep growing past 99. `text` holds at least 16 bytes.
  static void FormatTime(DWORD ms, char* text, size_t size);

  int m_nLastPosition = 0;
  DWORD m_nLastPositionTime = 0;
  CScalarArray<double> m_aSamples;  // milliseconds per step, oldest first
  DWORD m_nStepCount = 0;
  DWORD m_nEstimate = 0;
  DWORD m_nCountdown = 0;
  DWORD m_nLastTick = 0;
  // Tick counts and positions of the last changes of the position while it grew, oldest first.
  DWORD m_aWindowTime[kWindow + 1] = {};
  int m_aWindowPosition[kWindow + 1] = {};
  int m_nWindow = 0;
  bool m_bShown = false;

 private:
  // Notes a growing position at `now` and compares the recent pace with the samples' mean: drops
  // the samples older than the window when the pace changed; true when the two agree.
  bool FollowPace(DWORD now, int position);
};
