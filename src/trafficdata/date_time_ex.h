// CDateTimeEx: the date value that date lists, archive readers and reports pass around; the text
// form of saved configuration dates; and the stable sorts of the date dialogs' lists.
#pragma once

#include <functional>

#include "containers/str.h"
#include "platform/app/ole_date_time.h"

class CDateTimeEx : public COleDateTime {
 public:
  CDateTimeEx() = default;
  // Valid only when the fields name a real calendar day and time.
  CDateTimeEx(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  CDateTimeEx(const COleDateTime& other) : COleDateTime(other) {}  // NOLINT
  CDateTimeEx(const CDateTimeEx& other) = default;
  CDateTimeEx& operator=(const CDateTimeEx& other) = default;
  virtual ~CDateTimeEx();

  bool IsValid() const { return GetStatus() == valid; }

  // Container order: the date order (false when either side is not valid); equality is the
  // platform's (same status, valid values less than half a second apart).
  int Compare(const CDateTimeEx& other) const;
};

// Date from a "MM/DD/YYYY" text (month at offset 0, day at 3, year at 6). A year below 100 is a
// two-digit year: below 81 it is 20xx, otherwise 19xx, and the first such text of the process
// calls the older-version warning handler once. A short text or a non-digit within a field
// gives an invalid date.
CDateTimeEx ctTextDateToCOleDateTime(const char* text);

// Handler for the older-version warning (default: none). The application shows a message box.
extern const char* const OLDER_VERSION_WARNING;
void SetOlderVersionWarningHandler(std::function<void(const char*)> handler);
// Lets a test see the warning again.
void ResetOlderVersionWarning();

// Stable merge sorts of pointer arrays (equal elements keep their order).
void SortByText(CStr<char, wchar_t>** items, int count);
void SortByTextDescending(CStr<char, wchar_t>** items, int count);
void SortByDate(CDateTimeEx** items, int count);
void SortByDateDescending(CDateTimeEx** items, int count);
