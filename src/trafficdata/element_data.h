// CElementData: one selected detector element with one day object per selected date, and the
// Classic report drivers common to every element kind (raw listing, single-day summaries,
// multi-day summaries). The element kinds supply the multi-day lines and the New view's rows.
#pragma once

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

  // "%s:%s  %s  %s  %3i.%02i\n": cabinet id, element name, roadway, location, milepost.
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
  void FreeDays();  // deletes every day and empties the list
  void CopyDays(const CElementData& other);  // clones the other's days into this list
};

// "%m/%d/%Y (%a)\n\n" of a date; a null date prints "", an invalid one "Invalid DateTime", both
// followed by the blank lines.
void WriteDateLine(CText& text, const CDateTimeEx* date);

// The one-hour window of the multi-day peak-hour lines (the same text as FormatPeriodRange).
void FormatPeakHour(CText& text, int format, int period);

// "JAN" ... "DEC" for months 1-12, "XXX" otherwise.
const char* MonthAbbreviation(int month);
