// The common input loader: one data object per selected element, filled with every selected day
// from the archive (PE files before the cut-over date, daily databases from it on). It runs on a
// report worker; it tells the view what happens through posted worker command ids and stops when
// the keep-going flag is cleared.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "containers/adr_array.h"
#include "platform/base/types.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/element_data.h"
#include "trafficdata/run_control.h"

// Where worker command ids go (the view's window; a recorder in tests).
class IWorkerPoster {
 public:
  virtual ~IWorkerPoster() = default;
  virtual void Post(UINT id, LPARAM payload) = 0;
  // An id whose payload is a path (the view keeps the text until it handles the id).
  virtual void PostPath(UINT id, const std::string& path) {}
};

// How many element-days a load was asked for (elements of a known type times days), and how many
// of them it could read. The others (a day file missing or unreadable, an element the day's file
// does not hold) are empty days, which the reports show as unavailable or as zero. What had no
// data is named too: the days without any data ("03/05/1994") and the element-days of days that
// other elements had ("ES-0017:LP00123 on 03/05/1994"), the first kMissingListed of each in date
// order, with the counts of all.
struct SLoadCount {
  static constexpr size_t kMissingListed = 20;
  int64_t elementDays = 0;
  int64_t withData = 0;
  std::vector<std::string> missingDays, missingElementDays;
  int64_t missingDayCount = 0, missingElementDayCount = 0;
  int64_t WithoutData() const { return elementDays - withData; }
  void AddMissingDay(std::string day) { Note(missingDays, missingDayCount, 1, &day); }
  void AddMissingElementDay(std::string text) { Note(missingElementDays, missingElementDayCount, 1, &text); }
  SLoadCount& operator+=(const SLoadCount& o) {
    elementDays += o.elementDays;
    withData += o.withData;
    Note(missingDays, missingDayCount, o.missingDayCount, o.missingDays.data(), o.missingDays.size());
    Note(missingElementDays, missingElementDayCount, o.missingElementDayCount, o.missingElementDays.data(),
         o.missingElementDays.size());
    return *this;
  }

 private:
  static void Note(std::vector<std::string>& list, int64_t& count, int64_t more, const std::string* texts,
                   size_t n = 1) {
    for (size_t i = 0; i < n && list.size() < kMissingListed; ++i) list.push_back(texts[i]);
    count += more;
  }
};

// The loaded data: one entry per selected element in list order, each the element's data object
// with one day per selected day, or null for an element of an unknown type. Owns the objects.
class CElementDataSet {
 public:
  CElementDataSet() = default;
  ~CElementDataSet();
  CElementDataSet(const CElementDataSet&) = delete;
  CElementDataSet& operator=(const CElementDataSet&) = delete;

  int Count() const { return static_cast<int>(m_items.size()); }
  CElementData* At(int i) const { return i >= 0 && i < Count() ? m_items[static_cast<size_t>(i)] : nullptr; }

  std::vector<CElementData*> m_items;
  SLoadCount m_count;
};

class CDBRecordset;

// The New view's rows made while loading. When the date groups end in the order of the groups
// (each group's last day no earlier than the previous group's), every element's rows of a group
// are made as soon as all of its days are decoded, and a day is deleted as soon as every group
// that holds it has its rows: memory then follows the rows, not the days. Otherwise `made`
// stays false and the caller makes the rows after loading as usual.
struct SRowsWhileLoading {
  const NewSettings* settings = nullptr;  // the run's settings (all groups)
  bool peak = false;                      // peak rows instead of period rows
  // Filled by the loader: per element in list order, its rows (null where there is no data
  // object). Rows that cannot be stored end the load.
  std::vector<std::unique_ptr<CDBRecordset>> rows;
  bool made = false;
  // The units of making the rows as the run's range counts them (divided by LoadSpeedup), with
  // five-minute and with 20-second days: the loader moves the range by them when its speed differs.
  int64_t units[2] = {0, 0};
};

// How many times faster than with one helper the loader gets through a load of `elementDays`
// element-days, its threads reading, decoding and making rows side by side (measured: about
// twice with seven helpers). The units of that work, its element-days' and those of rows made
// while loading, are divided by it, so that the bar follows a load on any number of cores; the
// views' estimates divide alike. A load that runs for more than two seconds measures the speedup
// it really gets on the machine as it is (other programs may keep its cores busy), adds its
// further units divided by that instead, and moves the run's range by the difference
// (RunControl::addRange).
double LoadSpeedup(int64_t elementDays);
// Loads measure their speedup once they have run `ms` (2000 unless set), then every second.
// Returns the time set before.
int MeasureLoadSpeedupAfter(int ms);
// The units one element-day of a load adds: kProgressLoadDay (kProgressLoadFineDay for a
// 20-second day), with kProgressSummaryDay when only its summaries are kept, divided by the load's
// speedup.
uint32_t LoadDayUnits(double speedup, bool fine, bool summaries);

// Loads every day of `days` (ascending) for every element of `elements`. Posts 500 at the start,
// 503 at a normal end, 504/505/506 each followed by 502 with the error number (and 504 of a
// database day whose failing file is not its .DAT, but the .NTS beside it, then by 529 naming
// that file), and 509 when the keep-going flag was found cleared after a day; the result is null then. Every element-day, read
// or not, adds its LoadDayUnits to the progress counter (20-second ones when its day file, or the
// last one read before a missing file, is in the 20-second layout; with the summaries' units with
// `summariesOnly`) once its day is done; the layout of every day file read goes to
// RunControl::noteDayLayout. Rows made while loading add their units divided by the speedup.
// With `summariesOnly` (for a report that reads nothing but the multi-day summaries), each
// element-day keeps only its summaries under those criteria as soon as it is decoded
// (CElementData::KeepOnlySummaries), so that a long run of 20-second days fits in memory.
std::unique_ptr<CElementDataSet> LoadElementData(const CAdrArray<CDBElementEx>& elements,
                                                 const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
                                                 RunControl& run, const ValidityTables* summariesOnly = nullptr,
                                                 SRowsWhileLoading* rows = nullptr);
