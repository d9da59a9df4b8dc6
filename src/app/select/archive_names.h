// The dates in the names of archive day files. A year folder holds either daily database files
// named YYYYMMDD.DAT or, in the older format, a volume and an occupancy file per day named
// MMDDYY.VOL and MMDDYY.OCC (years 1981 to 1993). Extensions match without regard to case.
#pragma once

#include "platform/app/ole_date_time.h"

// True for a name "YYYYMMDD.DAT" with 1993 <= YYYY <= 4000, 1 <= MM <= 12, 1 <= DD <= 31; the date
// is that day at midnight. A name whose fields are in range but which is no calendar day (30
// February) still gives true, with a date whose status is invalid: callers that index by month or
// weekday test the status.
bool DateFromFmdbName(const char* name, COleDateTime& date);

// True for a name "MMDDYY.VOL" or "MMDDYY.OCC" with 81 <= YY <= 93, 1 <= MM <= 12, 1 <= DD <= 31;
// the date is (1900 + YY, MM, DD), invalid when that day does not exist.
bool DateFromPeName(const char* name, COleDateTime& date);
