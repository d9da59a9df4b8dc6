// CElementDay: one day of one detector element's data, the common base of every day class, and
// the three Classic day drivers (raw listing, 15-minute summary, daily summary).
#pragma once

#include "containers/scalar_array.h"
#include "containers/str.h"
#include "trafficdata/summary.h"

using CText = CStr<char, wchar_t>;

// Text written for a day without data, in place of its listing or summary.
extern const char* const DATA_UNAVAILABLE_TEXT;  // "     ***DATA UNAVAILABLE***\n\n\n\n"

class CElementDay;

// While a report scope of a day is open on the calling thread, the day's period table is filled
// once, when first needed, and the day's reports and summaries read it instead of each filling
// their own (a finer-layout day folds its intervals once for its 15-minute and daily summaries).
// The day must not change while its scope is open. A scope opened while the innermost open scope
// is of the same day does nothing: the outer one serves.
class CDayReportScope {
 public:
  explicit CDayReportScope(const CElementDay& day);
  ~CDayReportScope();
  CDayReportScope(const CDayReportScope&) = delete;
  CDayReportScope& operator=(const CDayReportScope&) = delete;

 private:
  friend class CElementDay;
  // The innermost open scope when it is the day's, else null.
  static CDayReportScope* Of(const CElementDay* day);
  // The day's table, filled at the first call; null when the day has none.
  const CPeriodTable* Table();
  // Binds the criteria of the daily summary being made (they do not change while it is made) and
  // returns the ones bound before; summaries made so far are dropped.
  const ValidityTables* BindCriteria(const ValidityTables* criteria) {
    const ValidityTables* before = m_criteria;
    m_criteria = criteria;
    m_summariesMade = false;
    return before;
  }

  const CElementDay* m_day;
  CDayReportScope* m_outer = nullptr;
  bool m_open = false;    // this object is the day's scope (not an inner one that does nothing)
  bool m_filled = false;  // the table was asked for
  bool m_ok = false;      // the day has a period table
  // The criteria of the daily summary being written, and its five summaries once made.
  const ValidityTables* m_criteria = nullptr;
  bool m_summariesMade = false;
  CPeriodTable m_table;
  SSummary m_summaries[SK_COUNT];
};

class CElementDay {
 public:
  // One validity value per period or interval; its meaning depends on the layout and the kind.
  CScalarArray<unsigned char> flag;
  // Per period: 20-second samples the archive had (0-15); per interval: 1 when present.
  CScalarArray<unsigned char> nPds;
  // 1 once the day was loaded or set, 0 for an empty day.
  unsigned char dataAvailable = 0;

  CElementDay() = default;
  CElementDay(const CElementDay& other);
  CElementDay& operator=(const CElementDay& other);
  virtual ~CElementDay();

  // Stores a new copy of the whole object through out (null when the allocation fails).
  virtual void Clone(CElementDay** out) const;
  // Unpacks count packed records (byteLen bytes available) into the arrays and sets
  // dataAvailable. The arrays are sized to count (a negative count is 0); only as many records
  // as the buffer holds are decoded, the rest stay zero (absent).
  virtual void Load(const unsigned char* packed, int byteLen, int count);
  virtual void Clear();

  virtual void WriteRawTitle(CText& out, int format) const;
  virtual void WriteRawHeader(CText& out, int format) const;
  virtual void WriteRawLine(CText& out, int period, int format) const;
  virtual void Write15MinTitle(CText& out, int format) const;
  virtual void Write15MinHeader(CText& out, int format, bool withCounts) const;
  virtual void Write15MinLine(CText& out, int row, int format, bool withCounts, bool withOccupancy) const;
  virtual void WriteDailyTitle(CText& out, int format) const;
  virtual void WriteDailyHeader(CText& out, int format) const;
  // The daily line of one summary kind, judged by the run's validity criteria.
  virtual void WriteDailyLine(CText& out, int summaryKind, int format, const ValidityTables& criteria) const;

  // Fills the 288 periods of the day for the summary rules (folding intervals in the finer
  // layout); false when the kind has no periods of this form (the base).
  virtual bool FillPeriodTable(CPeriodTable& table) const;
  // Summary of one kind with the given criteria, from FillPeriodTable; an empty, invalid summary
  // when there is no table.
  virtual SSummary ComputeSummary(int summaryKind, const ValidityTables& criteria) const;
  // The summaries of the five kinds with the given criteria (the same as ComputeSummary of each),
  // from one period table.
  virtual void ComputeSummaries(const ValidityTables& criteria, SSummary out[SK_COUNT]) const;

  // The period table of this day's open report scope (filled at the first call), or null when
  // no scope of the day is open or the day has no period table.
  const CPeriodTable* ScopedPeriodTable() const;

  // Classic drivers: the unavailable text for a day without data, otherwise title, header, the
  // lines and "\n\n\n". Each works inside a report scope of the day (its own when none is open).
  void WriteRawListing(CText& out, int format) const;
  void Write15MinReport(CText& out, int format, bool withCounts, bool withOccupancy) const;
  void WriteDailyReport(CText& out, int format, const ValidityTables& criteria) const;

  // Number of periods or intervals the day holds (the length of its arrays).
  int Count() const { return flag.m_nSize; }
  // The five-minute layout holds exactly 288 periods; any other count is the finer layout.
  bool IsFine() const { return flag.m_nSize != PERIODS_PER_DAY; }
  // Loaded in the finer layout (an empty day is in neither).
  bool HoldsFineData() const { return dataAvailable != 0 && IsFine(); }
  // Array reads that treat an index outside the arrays as an absent entry.
  int FlagAt(int i) const { return (i >= 0 && i < flag.m_nSize) ? flag.m_pData[i] : 0; }
  int NPdsAt(int i) const { return (i >= 0 && i < nPds.m_nSize) ? nPds.m_pData[i] : 0; }
};

class CReportLine;

// Appends the one-hour window that starts at a five-minute period: " (hh:mm--hh:mm)" or, for
// format 1, "\thh:mm\thh:mm". A window starting at 23:00 or later ends at hour 24.
void FormatPeriodRange(CText& out, int format, int period);
void FormatPeriodRange(CReportLine& line, int format, int period);

// The volume line of a 15-minute summary (loops and stations): for the hours firstHour and
// firstHour + 1 the time, the four quarters and the hour's total, then, when counts is given,
// the good, suspect and bad counts and (withDisabled) the disabled count; and the line end.
void Write15MinVolumes(CText& out, int format, int firstHour, const unsigned (&volume)[2][5],
                       const SClassCounts* counts, bool withDisabled = true);
// The occupancy line under it (tenths of a per cent; quarters and hour of both hours), with a
// blank line after it.
void Write15MinOccupancies(CText& out, int format, const unsigned (&occupancy)[2][5]);
