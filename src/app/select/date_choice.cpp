#include "app/select/date_choice.h"

SDateModeControls DateModeControls(int mode) {
  switch (mode) {
    case DATE_MODE_MONTHS:
      return {true, false, true, false};
    case DATE_MODE_RANGE:
      return {false, true, true, false};
    default:
      return {false, false, false, true};
  }
}

void SDateFields::Set(const CDateTimeEx& date) {
  const bool ok = date.IsValid();
  year = ok ? date.GetYear() : -1;
  month = ok ? date.GetMonth() : -1;
  day = ok ? date.GetDay() : -1;
}

void HoldToAvailable(SDateFields& fields, const CDateTimeEx& first, const CDateTimeEx& last) {
  CDateTimeEx date = fields.Date();
  if (date.IsValid() && last.IsValid() && date > last) date = last;
  if (date.IsValid() && first.IsValid() && date < first) date = first;
  fields.Set(date);
}

bool MoveByDays(SDateFields& fields, int delta, const CDateTimeEx& first, const CDateTimeEx& last) {
  const CDateTimeEx date = fields.Date();
  if (!date.IsValid()) return false;
  const CDateTimeEx moved = date + COleDateTimeSpan(static_cast<double>(delta));
  if (!moved.IsValid()) return false;
  if (last.IsValid() && moved > last) return false;
  if (first.IsValid() && moved < first) return false;
  fields.Set(moved);
  return true;
}

bool InRange(const CDateTimeEx& date, const CDateTimeEx& start, const CDateTimeEx& end) {
  if (!date.IsValid()) return false;
  if (start.IsValid() && date < start) return false;
  if (end.IsValid() && date > end) return false;
  return true;
}

bool AddDateOnce(CObjArray<CDateTimeEx>& dates, const CDateTimeEx& date) {
  if (dates.FindSorted(date, true) >= 0) return false;
  CDateTimeEx copy(date);
  return dates.InsertSorted(copy, true) >= 0;
}
