// CWaitEstimator: the time-left estimate of the wait dialog, kept apart from the window so that it
// can be fed positions and tick counts directly.
//
// Every timer tick (500 ms in the dialog) it runs the shown countdown down by the time that
// passed. When the caller's position has grown since the last change it takes a sample: the time
// since that change and the steps it brought. It keeps the last 101 samples and averages the
// middle 70 % of them (those of the highest and the lowest milliseconds per step dropped) as
// their time over their steps, so that a steady pace reads as steady however unevenly its steps
// arrive: 2 and 8 steps on alternate ticks are 100 ms a step, not the 156 ms that a mean of the
// per-change rates would make of them. From the average it derives an estimate for the steps
// still to go. The countdown jumps to a new estimate only when the two differ by more than
// kBandPercent % plus 1 ms, so the display runs down smoothly at a steady rate; a wider band would
// let it drift a quarter off the estimate, which on top of a run's uneven phases is more than the
// time left can afford to be off. The first change of the position only starts the clock: there
// is no estimate until the second.
//
// The time left is shown only once it is steady: the pace of the last kWindow changes of the
// position (about three seconds) and that of the samples before them (at least as many) agree
// within 20 %. A run's first seconds (files opened cold, helper threads starting) often go at
// another pace than the rest, and an estimate drawn from them would be several times off. When
// the two differ by more before the time is shown, the pace has changed (a slow start is over):
// the samples from before the window are dropped, so the estimate follows the new pace at once
// instead of after a hundred samples. A pace that goes to and fro for longer (phases of different
// work that take turns every second or two) is shown all the same once kShowAfterMs have passed
// since the clock started: the average of its samples is the best there is.
//
// A run's work may change its kind for the rest of the run (the New view's rows, summed, sorted,
// written and freed on one thread once its load on several threads is over), and the steps of the
// new kind need not cost the same time as the old ones on every machine and under every load.
// When such a phase begins (BeginPhase) once the time left is shown, the samples of the phases
// before are dropped: the countdown runs on until the new phase has kPhaseSamples samples, and
// from then on the time left follows the new phase's pace.
#pragma once

#include "containers/scalar_array.h"
#include "platform/base/types.h"

// One change of the position: the milliseconds since the change before and the steps it brought
// (never 0). Samples order by their milliseconds per step.
struct SWaitSample {
  double ms;
  double steps;
  bool operator<(const SWaitSample& o) const { return ms * o.steps < o.ms * steps; }
  bool operator==(const SWaitSample& o) const = default;
};

class CWaitEstimator {
 public:
  static constexpr int kMaxSamples = 101;
  // The recent changes of the position whose pace is compared with the pace before them.
  static constexpr int kWindow = 6;
  // The samples of a new phase that give its pace.
  static constexpr int kPhaseSamples = 2;
  // The time left is shown at the latest this long after the clock started.
  static constexpr DWORD kShowAfterMs = 8000;
  // How far (per cent, plus 1 ms) the countdown may lie off the estimate before it takes it.
  static constexpr int64_t kBandPercent = 10;

  CWaitEstimator() = default;

  // One timer tick at tick count `now` with the caller's position and the upper end of the range.
  // True when the position differs from the last one seen (the bar is to move).
  bool OnTick(DWORD now, int position, int upper);
  // A new phase of the work begins at tick count `now`, with the caller's position there.
  void BeginPhase(DWORD now, int position);

  // True once a sample gave an estimate; until then there is no time left to show.
  bool HasEstimate() const { return m_aSamples.m_nSize > 0; }
  // True once the estimate has been steady: from then on the time left is shown.
  bool Shown() const { return m_bShown; }
  // The time left as shown, in milliseconds.
  DWORD Countdown() const { return m_nCountdown; }
  // The last estimate in milliseconds.
  DWORD Estimate() const { return m_nEstimate; }
  // The pace in milliseconds per step: the middle 70 % of the samples (by milliseconds per step),
  // their time over their steps; 0 without samples.
  double Average() const;
  // Adds a sample (the oldest goes beyond kMaxSamples).
  void AddSample(double ms, double steps);
  int SampleCount() const { return m_aSamples.m_nSize; }
  DWORD StepCount() const { return m_nStepCount; }

  // The wait dialog's bar holds an int. A run's units are scaled into it: the divisor by which a
  // count of up to `total` units is divided before it reaches the bar.
  static int64_t ScaleDivisor(int64_t total);

  // "hh:mm:ss" of a millisecond count; hours keep growing past 99. `text` holds at least 16 bytes.
  static void FormatTime(DWORD ms, char* text, size_t size);

  int m_nLastPosition = 0;
  DWORD m_nLastPositionTime = 0;
  DWORD m_nClockStart = 0;  // the tick count of the first change
  CScalarArray<SWaitSample> m_aSamples;  // oldest first
  DWORD m_nStepCount = 0;
  DWORD m_nEstimate = 0;
  DWORD m_nCountdown = 0;
  DWORD m_nLastTick = 0;
  // Tick counts and positions of the last changes of the position while it grew, oldest first.
  DWORD m_aWindowTime[kWindow + 1] = {};
  int m_aWindowPosition[kWindow + 1] = {};
  int m_nWindow = 0;
  bool m_bShown = false;
  // A phase began and has not yet given kPhaseSamples samples.
  bool m_bPhaseYoung = false;

 private:
  // The pace of the n samples from `first` on, all of them: their time over their steps.
  double PaceOf(int first, int n) const;
  // Notes a growing position at `now` and compares the recent pace with the one before: drops the
  // samples older than the window when the pace changed; true when the two agree.
  bool FollowPace(DWORD now, int position);
  // Starts the window of recent changes at `now` and `position`.
  void RestartWindow(DWORD now, int position);
};
