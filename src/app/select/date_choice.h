// The rules of the date dialog that need no window: which controls each selection mode uses, the
// range fields held to the available days, the spin moves, and the filters of "add all".
#pragma once

#include "containers/obj_array.h"
#include "trafficdata/date_time_ex.h"

// Selection modes, the index of the radio button in its group.
enum EDateMode : int { DATE_MODE_MONTHS = 0, DATE_MODE_RANGE = 1, DATE_MODE_DATES = 2 };

// The control groups a mode enables: the month list, the range fields (frames, edits, slashes,
// spins), the weekday list with its label and day buttons, and the add-highlighted button.
struct SDateModeControls {
  bool months;
  bool range;
  bool weekdays;
  bool addHighlighted;
};
SDateModeControls DateModeControls(int mode);

// One side of the date range as its three fields.
struct SDateFields {
  int year = 0;
  int month = 0;
  int day = 0;
  CDateTimeEx Date() const { return CDateTimeEx(year, month, day); }  // invalid unless a real day
  void Set(const CDateTimeEx& date);  // the date's fields, -1 each when it is not valid
};

// When a field is left: a date past the last available day becomes that day, one before the first
// becomes the first; fields that form no date (31 April) become -1/-1/-1.
void HoldToAvailable(SDateFields& fields, const CDateTimeEx& first, const CDateTimeEx& last);

// A spin step of `delta` days. False (fields unchanged) when the move would pass the first or the
// last available day, or when the fields form no date to move.
bool MoveByDays(SDateFields& fields, int delta, const CDateTimeEx& first, const CDateTimeEx& last);

// Whether a date lies in the range; a bound that is no valid date does not limit.
bool InRange(const CDateTimeEx& date, const CDateTimeEx& start, const CDateTimeEx& end);

// Puts the date at its sorted place in an ascending list unless the same date is there; false when
// it was there already.
bool AddDateOnce(CObjArray<CDateTimeEx>& dates, const CDateTimeEx& date);
