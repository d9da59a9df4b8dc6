// The skeleton shared by every element kind's New-view row builders: date groups x time slots x
// days, the progress counter, the keep-going check and the row words; and the peak search that
// finds each day's best window. An element kind supplies a CRowSlot with its own accept test,
// sums, flag fold and content rows.
#pragma once

#include <cstdint>

#include "trafficdata/run_control.h"
#include "trafficdata/view_settings.h"

class CDBRecord;
class CDBRecordset;
class CDateTimeEx;
class CElementData;
class CElementDay;

// Date words of a row: year, month, day, day of week (1 = Sunday) and the Sunday-based week
// (day of year - day of week + 7) / 7. All -1 for a missing or invalid date.
struct SRowDate {
  int year = -1, month = -1, day = -1, dayOfWeek = -1, week = -1;
};
SRowDate RowDateWords(const CDateTimeEx* date);

// One row (group, time slot) in the making.
class CRowSlot {
 public:
  virtual ~CRowSlot() = default;
  // A new row over [start, start + length) for a group of groupDays days; periodLen is the run's P.
  virtual void Begin(int start, int length, int periodLen, int groupDays) = 0;
  // Tests a day with data and adds it to the row's sums; true when the day was accepted.
  virtual bool AddDay(CElementDay& day, int start, int length) = 0;
  // The value a peak search maximises for the window [start, start + length) of a day.
  virtual int64_t PeakValue(CElementDay& day, int start, int length) { return 0; }
  // PeakValue for every start first..last (out holds last - first + 1 values); a kind may compute
  // them together.
  virtual void PeakValues(CElementDay& day, int first, int last, int length, int64_t* out) {
    for (int s = first; s <= last; ++s) out[s - first] = PeakValue(day, s, length);
  }
  // Appends the row's content rows (proto carries the element, ordinal, date and time words);
  // false when a row could not be stored.
  virtual bool Emit(const CDBRecord& proto, CDBRecordset& out) = 0;
};

// Rows per group and time slot t = 0, P, 2P ... (length min(P, 4320 - t)); progress
// kProgressRowDay per day (kProgressRowFineDay for a day of 20-second data), kProgressRowSlot per
// day and slot and kProgressRowMade per row, keep-going checked after each slot. False when a row could not be stored.
bool BuildPeriodRows(const CElementData& data, const NewSettings& s, RunControl& run, CDBRecordset& out,
                     CRowSlot& slot);

// Peak rows per group: each day's window with the highest PeakValue (the earliest wins) over the
// morning (report type 1) or afternoon half, then the content rows and, when switched on, the
// Peak Time row with the mean best start. P is at most 2160 so each half has a window. Progress
// kProgressRowDay (or kProgressRowFineDay) + kProgressRowSlot per day and kProgressRowMade per row,
// keep-going checked after each group.
bool BuildPeakRows(const CElementData& data, const NewSettings& s, RunControl& run, CDBRecordset& out,
                   CRowSlot& slot);

// Mean of a row's sum over its accepted days, rounded half up; 0 without days.
inline int RowMean(int64_t sum, int accepted) {
  return accepted > 0 ? static_cast<int>(static_cast<int64_t>(static_cast<double>(sum) / accepted + 0.5)) : 0;
}
