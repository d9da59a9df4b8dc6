// CWaitEstimator: the time-left estimate of the wait dialog, kept apart from the window so that it
// can be fed positions and tick counts directly.
//
// Every timer tick (500 ms in the dialog) it runs the shown countdown down by the time that
// passed. When the caller's position has grown since the last change it notes the change: the
// time since the change before and the steps it brought, added up from the start of the clock, so
// that any stretch of changes gives its time and its steps at once. The pace is the time over the
// steps of a span of recent changes, and the span is trimmed by time alone: the oldest changes go
// once the rest still cover kSpanMs. So however a steady pace brings its steps (1, 1, 1, 1 and then
// 16, bursts between idle ticks), the span's time over its steps is that pace, off by at most one
// change's steps over the span's; a pace taken from the changes one by one (ordered or trimmed by
// their own milliseconds per step) would drop the large changes as outliers and read slow. From the
// pace it derives an estimate for the steps still to go. The countdown jumps to a new estimate only
// when the two differ by more than kBandPercent % plus 1 ms, so the display runs down smoothly at a
// steady rate; a wider band would let it drift a quarter off the estimate, which on top of a run's
// uneven phases is more than the time left can afford to be off. The first change of the position
// only starts the clock: there is no estimate until the second.
//
// The time left is shown only once it is steady: the older and the newer half of the span (split
// by time, at least kSteadyMs long in all, kHalfChanges changes each) go at paces within 20 % of
// each other. A run's first seconds (files opened cold, helper threads starting) often go at
// another pace than the rest, and an estimate drawn from them would be several times off. When
// the halves differ by more than that before the time is shown, and still would with the largest
// change of each half moved over to the other (so that no way of bunching the steps of one pace
// can look like two), the pace has changed (a slow start is over): the older half is dropped, so
// the estimate follows the new pace at once. A pace whose halves never agree long enough (phases
// of different work that take turns every second or two, steps that come seconds apart) is shown
// all the same once kShowAfterMs have passed since the clock started: the span's pace is the best
// there is.
//
// A run's work may change its kind for the rest of the run (the New view's rows, summed, sorted,
// written and freed on one thread once its load on several threads is over), and the steps of the
// new kind need not cost the same time as the old ones on every machine and under every load.
// When such a phase begins (BeginPhase) once the time left is shown, the span starts again there:
// the countdown runs on until the new phase has kPhaseChanges changes, and from then on the time
// left follows the new phase's pace.
//
// A run whose phases are known beforehand (the Classic view's loads and reports) gives them as a
// plan (SetPlan): each phase of a kind, whose steps go at one pace, of a family of kinds that go
// at like paces (the loads on their helper threads, the reports written on one thread), with the
// steps it is planned to add. Such phases need not go at one pace: the steps are weighed to take
// alike on an idle machine, but on another build or under other programs' load a load's step may
// take twice a report's, and a pace taken from one phase and laid on all that follows misprices
// the rest of the run by as much. So each phase, once it ends, leaves its time over its steps;
// the phases still to come are priced at that of the phases of their kind before them, else of
// their family, else of all phases so far, and the phase under way at its own pace once it has
// kPhaseChanges changes (before that, from its first moment, at what the phases of its kind or
// family before it give; with none, the countdown runs on).
// Its steps are those left to the end of the range less the planned steps of the phases after it,
// so that the steps a phase adds beyond its plan (a load that finds the machine busy) are its own.
// In the first phase, while phases of another family are to come, the time left is shown only
// once kShowAfterMs have passed, however steady the pace: nothing has told theirs.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

class CWaitEstimator {
 public:
  // The changes of the position kept at most (a span of kSpanMs at two changes a second fits).
  static constexpr int kMaxChanges = 127;
  // The span of recent changes whose time over steps gives the pace.
  static constexpr int64_t kSpanMs = 30000;
  // Before the time is shown, the halves of the span are compared once it is this long and each
  // of them holds this many changes.
  static constexpr int64_t kSteadyMs = 3000;
  static constexpr int kHalfChanges = 3;
  // The changes of a new phase that give its pace.
  static constexpr int kPhaseChanges = 2;
  // The time left is shown at the latest this long after the clock started.
  static constexpr DWORD kShowAfterMs = 8000;
  // How far (per cent, plus 1 ms) the countdown may lie off the estimate before it takes it.
  static constexpr int64_t kBandPercent = 10;
  // The least time left shown: the dialog is up only while the work goes on.
  static constexpr DWORD kLeastShownMs = 1000;
  // The most phases a plan holds.
  static constexpr int kMaxPhases = 16;

  // One phase of a run's plan.
  struct SPhase {
    int kind = 0;
    int family = 0;
    int64_t units = 0;  // the steps it is planned to add
  };

  CWaitEstimator() = default;

  // One timer tick at tick count `now` with the caller's position and the upper end of the range.
  // True when the position differs from the last one seen (the bar is to move).
  bool OnTick(DWORD now, int position, int upper);
  // A new phase of the work begins at tick count `now`, with the caller's position there: the
  // phase `phase` of the plan, or, without one (-1), work of a new kind.
  void BeginPhase(DWORD now, int position, int phase = -1);
  // The run's phases in order (at most kMaxPhases), again whenever their steps are counted anew;
  // the phases done keep what they taught.
  void SetPlan(const SPhase* phases, int count);

  // True once a change gave an estimate; until then there is no time left to show.
  bool HasEstimate() const { return m_nPoints > 1; }
  // True once the estimate has been steady: from then on the time left is shown.
  bool Shown() const { return m_bShown; }
  // The time left in milliseconds as the countdown runs.
  DWORD Countdown() const { return m_nCountdown; }
  // The time left as the dialog shows it: the countdown, but never under kLeastShownMs, since
  // the work is not over while the dialog is up (an estimate a little short ran out before it).
  DWORD ShownTime() const { return m_nCountdown > kLeastShownMs ? m_nCountdown : kLeastShownMs; }
  // The last estimate in milliseconds.
  DWORD Estimate() const { return m_nEstimate; }
  // The pace in milliseconds per step: the span's time over its steps; 0 before its first change.
  double Pace() const;
  // Notes a change of the position that took `ms` and brought `steps` (more than 0): the span
  // takes it and drops the changes that have left it. The first change after the start of the
  // clock or of a phase starts the span instead.
  void AddSample(int64_t ms, int64_t steps);
  // The changes in the span.
  int SampleCount() const { return m_nPoints > 0 ? m_nPoints - 1 : 0; }
  DWORD StepCount() const { return m_nStepCount; }

  // The wait dialog's bar holds an int. A run's units are scaled into it: the divisor by which a
  // count of up to `total` units is divided before it reaches the bar.
  static int64_t ScaleDivisor(int64_t total);

  // "hh:mm:ss" of a millisecond count; hours keep growing past 99. `text` holds at least 16 bytes.
  static void FormatTime(DWORD ms, char* text, size_t size);

  int m_nLastPosition = 0;
  DWORD m_nLastPositionTime = 0;
  DWORD m_nClockStart = 0;  // the tick count of the first change
  DWORD m_nStepCount = 0;
  DWORD m_nEstimate = 0;
  DWORD m_nCountdown = 0;
  DWORD m_nLastTick = 0;
  bool m_bShown = false;
  // A phase began and has not yet given kPhaseChanges changes.
  bool m_bPhaseYoung = false;

 private:
  // The milliseconds and the steps of all changes since the clock started, at a change.
  struct SPoint {
    int64_t ms, steps;
  };
  const SPoint& At(int i) const { return m_aPoints[(m_nFirst + i) % (kMaxChanges + 1)]; }
  void DropOldest(int n);
  // The halves of the span: true when their paces agree; before the time is shown, drops the
  // older one when the pace has surely changed.
  bool FollowPace();
  struct SDone {
    double ms = 0, steps = 0;  // steps as planned
  };
  // The milliseconds a planned step of the plan's phase `i` is priced at: what the phases done and
  // `current` (the phase under way) took, those of its kind, else of its family, else (with
  // `anyFamily`) all; 0 when none taught a pace (or without a plan).
  double PlannedPace(int i, const SDone& current, bool anyFamily) const;
  // True in the first phase of a plan whose later phases are of another family: nothing tells
  // their pace yet, so a steady pace is not enough to show the time left (kShowAfterMs is).
  bool FirstOfFamilies() const;
  // Estimates the time left at tick count `now` and the caller's position, and moves the
  // countdown to it when it lies outside the band. `ownPace`: the phase under way (the whole
  // range, without a plan) goes at the span's pace; else at what the phases before it taught,
  // and with nothing taught there is no estimate (false).
  bool UpdateEstimate(DWORD now, int position, int upper, bool ownPace);

  // The span: its first point (where it starts) and one point per change since, oldest first.
  SPoint m_aPoints[kMaxChanges + 1] = {};
  int m_nFirst = 0, m_nPoints = 0;
  SPoint m_total = {0, 0};  // the sums since the clock started

  // The plan, the phase under way (-1 before the first), where and when it began, and what each
  // phase done took: its milliseconds and its steps (0: it taught nothing).
  SPhase m_aPlan[kMaxPhases] = {};
  int m_nPlan = 0;
  int m_nPhase = -1;
  DWORD m_nPhaseStart = 0;
  int m_nPhaseStartPosition = 0;
  SDone m_aDone[kMaxPhases] = {};
  int m_nLastUpper = 0;  // the upper end of the range at the last tick
};
