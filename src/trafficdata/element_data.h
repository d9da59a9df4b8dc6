// CElementData: one selected detector element with one day object per selected date, and the
// Classic report drivers common to every element kind (raw listing, single-day summaries,
// multi-day summaries). The element kinds supply the multi-day lines and the New view's rows.
#pragma once

#include <cstring>
#include <type_traits>

#include "containers/block_arena.h"
#include "containers/scalar_array.h"
#include "trafficdata/element_day.h"
#include "trafficdata/run_control.h"
#include "trafficdata/view_settings.h"

class CDBElementEx;
class CDBRecordset;
class CDateTimeEx;

// Average kinds of the multi-day report.
enum EAverageKind : int { AK_ASWT = 0, AK_AWDT = 1, AK_AADT = 2, AK_COUNT = 3 };
// Title of an average kind, and the weekdays (1 = Sunday) it averages.
const char* AverageKindTitle(int kind);
void AverageKindDays(int kind, int& first, int& last);

class CElementData {
 public:
  CScalarArray<CElementDay*> days;  // one per selected date; the derived class owns the objects
  int32_t nDays = 0;
  CDBElementEx* element = nullptr;  // not owned
  int32_t ordinal = 0;

  // Allocates nDays empty entries; the derived constructor fills them.
  CElementData(int dayCount, CDBElementEx* elem, int ord);
  CElementData(const CElementData& other);
  CElementData& operator=(const CElementData& other);
  virtual ~CElementData();

  virtual void Clone(CElementData** out) const;
  // A new empty day of this element's kind (null for none or without memory).
  virtual CElementDay* NewDay() const;
  // Append the New view's rows to rs; false when a row could not be allocated (the report is
  // then incomplete and must not be written as if it were whole).
  virtual bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run);
  virtual bool BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run);
  virtual void WriteMultiDayTitle(CText& text, int format) const;
  virtual void WriteMultiDayHeader(CText& text, int format) const;
  virtual void WriteMonthlyLine(CText& text, int summaryKind, int month, int weekday, const ClassicSettings& s) const;
  virtual void WriteYearlyLine(CText& text, int summaryKind, int weekday, const ClassicSettings& s) const;
  virtual void WriteAverageLine(CText& text, int averageKind, int summaryKind, const ClassicSettings& s) const;

  CElementDay* Day(int d) const { return (d >= 0 && d < days.m_nSize) ? days.m_pData[d] : nullptr; }

  // For a run that writes only the multi-day report: computes day d's five summaries under the
  // criteria, keeps them, and deletes the day (its arrays are all that the multi-day report would
  // otherwise hold on to; a 20-second day holds about 49 KB, its summaries under 200 bytes). The
  // multi-day report then reads the kept summaries; under other criteria such a day counts as
  // missing, and every other report sees it as a day without data. False, the day left as it
  // was, when it has no data, the kind keeps no summaries, the criteria differ from those of days
  // kept before, or memory runs out.
  bool KeepOnlySummaries(int d, const ValidityTables& criteria);
  // Makes room for every day's kept summaries under the criteria, as KeepOnlySummaries does at
  // its first call; false when the kind keeps none, memory runs out or summaries under other
  // criteria are kept. Once it succeeded, KeepOnlySummaries of different days only touch their
  // own day and record, so they may run on different threads at once.
  bool ReserveKeptSummaries(const ValidityTables& criteria);
  bool HasKeptSummaryRoom() const { return m_keptSize != 0; }
  // Deletes day d once everything a run derives from it has been made (the New view's rows);
  // later it counts as a day without data. Touches only day d's entry, so different days may
  // be dropped on different threads.
  void DropDay(int d);
  // Day d, made empty first when it is not there (a loader that makes days as their records come
  // in); null without memory or outside the days.
  CElementDay* EnsureDay(int d);
  // Deletes every day, for a loader that makes them on demand.
  void DropAllDays();
  // The arena a loader may lend this element's day arrays from (trafficdata::CDayStoreScope): it
  // lives as long as the days, and its blocks go all at once when the days go (FreeDays). A copy
  // of the data object starts with an empty one: its days own their arrays.
  CBlockArena& DayStore() { return m_dayStore; }
  // The kept summaries of day d (a record of `size` bytes) when they were kept under these
  // criteria, else null; `kept` tells whether the day was replaced by summaries at all.
  const unsigned char* KeptSummaries(int d, size_t size, const ValidityTables& criteria, bool& kept) const;
  // Day d's summaries in out, for an element kind whose record of them is T: those kept in place
  // of the day, else fill(day, out) for a day with data; false (out untouched) without data.
  template <class T, class Fill>
  bool DaySummaries(int d, const ValidityTables& criteria, T& out, Fill&& fill) const {
    static_assert(std::is_trivially_copyable_v<T>, "kept as bytes");
    bool kept = false;
    if (const unsigned char* k = KeptSummaries(d, sizeof(T), criteria, kept)) {
      std::memcpy(&out, k, sizeof(T));
      return true;
    }
    const CElementDay* day = Day(d);
    if (kept || !day || !day->dataAvailable) return false;
    fill(*day, out);
    return true;
  }

  // "%s:%s  %s  %s  %3i.%02i\n": cabinet label (the alias, or the id where the alias is blank),
  // element name, roadway, location, milepost. The viewer finds sections by the label before the
  // colon ("ES-0017" at columns 0-6, a ten-character id at columns 0-9).
  void WriteElementHeading(CText& text) const;

  // Classic drivers. Each text goes to the sink as soon as it is complete; keep-going is polled
  // after each day (raw, single-day) or table (multi-day).
  EReportResult WriteRawDataReport(const ClassicSettings& s, const std::vector<const CDateTimeEx*>& dates,
                                   ReportSink& sink, RunControl& run) const;
  EReportResult WriteSingleDayReport(const ClassicSettings& s, ReportSink& sink, RunControl& run) const;
  EReportResult WriteMultiDayReport(const ClassicSettings& s, ReportSink& sink, RunControl& run) const;

  // Tables of the multi-day report (month 1-12, weekday 1-7 = Sunday..Saturday).
  void WriteMonthlyTable(int month, int weekday, CText& text, const ClassicSettings& s, RunControl& run) const;
  void WriteYearlyTable(int weekday, CText& text, const ClassicSettings& s, RunControl& run) const;
  void WriteAverageTable(int averageKind, CText& text, const ClassicSettings& s, RunControl& run) const;

 protected:
  // The element kind's record of a day's five summaries: its size (0: the kind keeps none) and
  // how to fill it from a day with data.
  virtual size_t DaySummarySize() const;
  virtual void FillDaySummaries(const CElementDay& day, const ValidityTables& criteria, unsigned char* out) const;

  void FreeDays();  // deletes every day and empties the list
  void CopyDays(const CElementData& other);  // clones the other's days into this list

 private:
  // Summaries kept in place of days: one record per day, a flag per day, the criteria.
  CScalarArray<unsigned char> m_keptRecords;
  CScalarArray<unsigned char> m_keptFlags;
  size_t m_keptSize = 0;
  ValidityTables m_keptCriteria{};
  CBlockArena m_dayStore;
};

// One element's multi-day report while it is written. The monthly, yearly and average tables
// all come from the same days: here each day's date is converted once (the days are grouped by
// month and weekday) and each day is summarised once, for all five kinds at a time, when a table
// first needs it. WriteMultiDayReport makes one for its element; the element kinds' summaries
// find it through Current and, without one, walk the dates themselves.
class CMultiDayRun {
 public:
  // Becomes the thread's current run until destroyed.
  CMultiDayRun(const CElementData& data, const ClassicSettings& s);
  ~CMultiDayRun();
  CMultiDayRun(const CMultiDayRun&) = delete;
  CMultiDayRun& operator=(const CMultiDayRun&) = delete;

  // The thread's run of this element with these settings; null when there is none or it could
  // not allocate its grouping.
  static CMultiDayRun* Current(const CElementData& data, const ClassicSettings& s);

  // The days whose valid date falls in month 1-12 on weekday 1-7 (1 = Sunday), in day order.
  const int* DaysOf(int month, int weekday, int& count) const;

  // CElementData::DaySummaries of the run's element and criteria, each day's computed once and
  // kept for later calls (when there is room to keep them).
  template <class T, class Fill>
  bool DaySummaries(int d, T& out, Fill&& fill) {
    if (!Keep(d, sizeof(T))) return m_data->DaySummaries(d, m_settings->criteria, out, fill);
    unsigned char* at = m_kept.m_pData + static_cast<size_t>(d) * sizeof(T);
    if (m_done.m_pData[d]) {
      std::memcpy(&out, at, sizeof(T));
      return true;
    }
    if (!m_data->DaySummaries(d, m_settings->criteria, out, fill)) return false;
    std::memcpy(at, &out, sizeof(T));
    m_done.m_pData[d] = 1;
    return true;
  }

 private:
  static constexpr int kGroups = 12 * 7;
  // Whether day d can be kept in records of `size` bytes (the block is made on the first call).
  bool Keep(int d, size_t size);

  const CElementData* m_data;
  const ClassicSettings* m_settings;
  CMultiDayRun* m_outer;
  bool m_grouped = false;
  CScalarArray<int> m_order;  // day indexes by month, then weekday, then day
  int m_first[kGroups + 1] = {};  // m_order[m_first[g] .. m_first[g + 1]) is group g
  CScalarArray<unsigned char> m_kept;  // one record per day
  CScalarArray<unsigned char> m_done;  // 1 where the day's record is filled
  size_t m_keptSize = 0;
};

// "%m/%d/%Y (%a)\n\n" of a date; a null date prints "", an invalid one "Invalid DateTime", both
// followed by the blank lines.
void WriteDateLine(CText& text, const CDateTimeEx* date);

// The one-hour window of the multi-day peak-hour lines (the same text as FormatPeriodRange).
void FormatPeakHour(CText& text, int format, int period);

// "JAN" ... "DEC" for months 1-12, "XXX" otherwise.
const char* MonthAbbreviation(int month);
