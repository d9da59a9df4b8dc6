// Which years and days the archive holds, found from its folder and file names.
//
// The archive root holds a folder per year: DATAyyyy (daily database files, from 1993) and PEyyyy
// (the older volume and occupancy files, up to 1993). Folders are listed by full path; nothing
// changes the process's current folder, since loader threads open archive files at the same time.
// The root is taken as a copy because the user may change it while a scan runs.
#pragma once

#include <functional>
#include <string>

#include "containers/obj_array.h"
#include "containers/str.h"
#include "trafficdata/date_time_ex.h"

// The four-character year texts of the root's entries named "DATA" plus four characters or "PE"
// plus four characters (case ignored; files and folders alike), each once, in ascending byte
// order. A root that cannot be listed gives no years.
void ScanYearFolders(std::string root, CObjArray<CStrA>& years);

// The days of one year that have a day file, with the months and weekdays they fall in.
struct CYearDays {
  CObjArray<CDateTimeEx> dates;  // ascending, each date once
  bool month[13] = {};           // month[1] .. month[12]: the month has a day
  bool weekday[8] = {};          // weekday[1] (Sunday) .. weekday[7]: the weekday has a day

  void Clear();
  int Count() const { return dates.m_nSize; }
};

// One pass over the year's folders: "<root>DATAyyyy\" for 1993 on, "<root>PEyyyy\" up to 1993
// (1993 has both). Adds each day once, also on a repeated pass; names that are no day file, and
// day-file names that are no calendar day (30 February), are skipped. A missing folder adds
// nothing.
void ScanYearDays(const std::string& root, int year, CYearDays& days);

// The question asked when the archive is on a disc: whether another disc of the year is to be
// read, with the months found so far ("    JAN" ... or "    n/a").
CStrA DiscPromptText(int year, const bool month[13]);

// Asks the user the disc question; IDYES reads another disc.
using DiscPrompt = std::function<int(const char* text)>;

// ScanYearDays, repeated while `prompt` (when set) answers IDYES; the days accumulate.
void ScanYearDaysWithPrompt(const std::string& root, int year, CYearDays& days, const DiscPrompt& prompt);
