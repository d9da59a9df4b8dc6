// Window-free parts of the Classic view's state: one block's selection (dates, roadways, cabinets
// and elements, each element pointing at a cabinet of the same block and each cabinet at a
// roadway of it), its conversion to and from the configuration file's records, and the decisions
// of the multi-day lists (month names or "n/a", which reports can be chosen).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/classic/classic_config.h"
#include "app/shell/input_loader.h"
#include "containers/obj_array.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

struct CClassicSelection {
  CObjArray<CDateTimeEx> dates;
  CObjArray<CDBRoadway> roadways;
  CObjArray<CDBCabinet> cabinets;
  CObjArray<CDBElementEx> elements;

  // The file's records of this selection. A cabinet's roadway and an element's cabinet are found
  // by address in this selection's lists; one found nowhere is added to the records (so the file
  // never holds an index that points nowhere).
  ClassicSelection ToRecords() const;
  // Replaces the four lists by the records (indexes already checked by the parser). A block
  // without dates keeps its roadways, cabinets and elements. False when memory ran out (the lists
  // are then empty).
  bool FromRecords(const ClassicSelection& rec);
};

// Loads every day of the selection for every element through the common loader (ids go to the
// poster); false when the load failed or was cancelled. Entries are null for unknown types. With
// `summariesOnly` the days keep only their summaries under those criteria (LoadElementData).
// The load's element-days, and how many of them were read, are added to `count` when one is given.
bool LoadClassicSelection(const CClassicSelection& sel, IWorkerPoster& poster, RunControl& run,
                          std::vector<std::unique_ptr<CElementData>>& out,
                          const ValidityTables* summariesOnly = nullptr, SLoadCount* count = nullptr);

// The multi-day lists as the month-has-data flags (index 1-12) make them.
struct SMultiLists {
  std::string months[12];        // "JAN" ... or "n/a"
  std::string monthlyDays[7];    // "SUN" ... or "n/a": names when any month has data
  std::string yearlyDays[7];     // names only when all twelve months have data
  bool monthlyEnabled = false;   // "Monthly Day-of-Week"
  bool yearlyEnabled = false;    // "Yearly Day-of-Week" and "Annual Values"
};
SMultiLists ComputeMultiLists(const bool monthHasData[13]);

// Month-has-data flags of a date list (a date that is not valid marks nothing), and the year of
// the multi-day selection: its first date's year, -1 when that is not a valid date, 0 when empty.
void MonthFlagsOfDates(const CObjArray<CDateTimeEx>& dates, bool monthHasData[13]);
int MultiYearOfDates(const CObjArray<CDateTimeEx>& dates);
