#include "trafficdata/element_data.h"
#include "trafficdata/report_text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

namespace {

const char* const kAverageTitles[AK_COUNT] = {"(ASWT) Average Standard Weekday Traffic\n\n",
                                              "(AWDT) Average WeekDay Traffic\n\n",
                                              "(AADT) Average Annual Daily Traffic\n\n"};

// Writes one text. A text that lacks something (it could not grow, or was copied from one that
// could not) is not written and ends the driver with NoMemory; a failed write ends it with Failed.
EReportResult Emit(ReportSink& sink, const CText& text) {
  if (text.IsShort()) return EReportResult::NoMemory;
  if (text.m_nSize < 2) return EReportResult::Done;
  return sink.write(std::string_view(text.m_pData, static_cast<size_t>(text.m_nSize - 1))) ? EReportResult::Done
                                                                                            : EReportResult::Failed;
}

EReportResult Cancelled(ReportSink& sink) {
  sink.notifyCancelled();
  return EReportResult::Cancelled;
}

}  // namespace

const char* AverageKindTitle(int kind) { return (kind >= 0 && kind < AK_COUNT) ? kAverageTitles[kind] : ""; }

void AverageKindDays(int kind, int& first, int& last) {
  switch (kind) {
    case AK_ASWT: first = 3, last = 5; break;
    case AK_AWDT: first = 2, last = 6; break;
    case AK_AADT: first = 1, last = 7; break;
    default: first = 1, last = 0; break;
  }
}

CElementData::CElementData(int dayCount, CDBElementEx* elem, int ord) : element(elem), ordinal(ord) {
  if (dayCount < 0) dayCount = 0;
  days.ResetSize(dayCount);
  nDays = days.m_nSize;
}

CElementData::CElementData(const CElementData& other)
    : nDays(0),
      element(other.element),
      ordinal(other.ordinal),
      m_keptRecords(other.m_keptRecords),
      m_keptFlags(other.m_keptFlags),
      m_keptSize(other.m_keptSize),
      m_keptCriteria(other.m_keptCriteria) {
  CopyDays(other);
}

CElementData& CElementData::operator=(const CElementData& other) {
  if (this == &other) return *this;
  FreeDays();
  element = other.element;
  ordinal = other.ordinal;
  m_keptRecords = other.m_keptRecords;
  m_keptFlags = other.m_keptFlags;
  m_keptSize = other.m_keptSize;
  m_keptCriteria = other.m_keptCriteria;
  CopyDays(other);
  return *this;
}

CElementData::~CElementData() { FreeDays(); }

void CElementData::FreeDays() {
  for (int d = days.m_nSize - 1; d >= 0; --d) delete days.m_pData[d];
  days.RemoveAll();
  nDays = 0;
  m_dayStore.Release();  // no day is left to hold one of its blocks
}

void CElementData::CopyDays(const CElementData& other) {
  days.ResetSize(other.days.m_nSize);
  for (int d = 0; d < days.m_nSize; ++d) {
    CElementDay* copy = nullptr;
    if (other.days.m_pData[d]) other.days.m_pData[d]->Clone(&copy);
    days.m_pData[d] = copy;
  }
  nDays = days.m_nSize;
}

namespace {

// Field by field: the padding between the fields may hold anything.
bool SameCriteria(const ValidityTables& a, const ValidityTables& b) {
  for (int k = 0; k < SK_COUNT; ++k) {
    const ValidityCriteria& x = a[k];
    const ValidityCriteria& y = b[k];
    if (x.useSuspect != y.useSuspect || x.running != y.running || x.total != y.total || x.runMinG != y.runMinG ||
        x.runMaxS != y.runMaxS || x.runMaxB != y.runMaxB || x.runMaxD != y.runMaxD || x.runStep != y.runStep ||
        x.runWidth != y.runWidth || x.totMinG != y.totMinG || x.totMaxS != y.totMaxS || x.totMaxB != y.totMaxB ||
        x.totMaxD != y.totMaxD)
      return false;
  }
  return true;
}

}  // namespace

size_t CElementData::DaySummarySize() const { return 0; }
void CElementData::FillDaySummaries(const CElementDay&, const ValidityTables&, unsigned char*) const {}

bool CElementData::ReserveKeptSummaries(const ValidityTables& criteria) {
  const size_t size = DaySummarySize();
  const int n = days.m_nSize;
  if (size == 0) return false;
  if (m_keptSize != 0) return m_keptSize == size && m_keptFlags.m_nSize == n && SameCriteria(m_keptCriteria, criteria);
  if (static_cast<uint64_t>(n) * size > static_cast<uint64_t>(INT32_MAX)) return false;
  if (!m_keptRecords.Reserve(static_cast<int>(n * size)) || !m_keptFlags.Reserve(n)) return false;
  m_keptRecords.m_nSize = static_cast<int>(n * size);
  m_keptFlags.SetSize(n, true);
  m_keptSize = size;
  m_keptCriteria = criteria;
  return true;
}

bool CElementData::KeepOnlySummaries(int d, const ValidityTables& criteria) {
  const size_t size = DaySummarySize();
  CElementDay* day = Day(d);
  if (size == 0 || !day || !day->dataAvailable) return false;
  if (!ReserveKeptSummaries(criteria)) return false;
  FillDaySummaries(*day, criteria, m_keptRecords.m_pData + static_cast<size_t>(d) * size);
  m_keptFlags.m_pData[d] = 1;
  delete day;
  days.m_pData[d] = nullptr;
  return true;
}

void CElementData::DropDay(int d) {
  if (d < 0 || d >= days.m_nSize) return;
  delete days.m_pData[d];
  days.m_pData[d] = nullptr;
}

CElementDay* CElementData::EnsureDay(int d) {
  if (d < 0 || d >= days.m_nSize) return nullptr;
  if (days.m_pData[d] == nullptr) days.m_pData[d] = NewDay();
  return days.m_pData[d];
}

void CElementData::DropAllDays() {
  for (int d = 0; d < days.m_nSize; ++d) DropDay(d);
}

CElementDay* CElementData::NewDay() const { return nullptr; }

const unsigned char* CElementData::KeptSummaries(int d, size_t size, const ValidityTables& criteria,
                                                 bool& kept) const {
  kept = d >= 0 && d < m_keptFlags.m_nSize && m_keptFlags.m_pData[d] != 0;
  if (!kept || size != m_keptSize || !SameCriteria(m_keptCriteria, criteria)) return nullptr;
  return m_keptRecords.m_pData + static_cast<size_t>(d) * size;
}

void CElementData::Clone(CElementData** out) const {
  if (out) *out = new (std::nothrow) CElementData(*this);
}

bool CElementData::BuildPeriodRecords(CDBRecordset&, const NewSettings&, RunControl&) { return true; }
bool CElementData::BuildPeakRecords(CDBRecordset&, const NewSettings&, RunControl&) { return true; }
void CElementData::WriteMultiDayTitle(CText&, int) const {}
void CElementData::WriteMultiDayHeader(CText&, int) const {}
void CElementData::WriteMonthlyLine(CText&, int, int, int, const ClassicSettings&) const {}
void CElementData::WriteYearlyLine(CText&, int, int, const ClassicSettings&) const {}
void CElementData::WriteAverageLine(CText&, int, int, const ClassicSettings&) const {}

void CElementData::WriteElementHeading(CText& text) const {
  const char* cab = "";
  const char* name = "";
  const char* road = "";
  const char* loc = "";
  int mp = 0;
  if (element) {
    cab = element->CabinetLabel();
    name = element->name;
    road = element->RoadwayName();
    loc = element->CabinetLocation();
    mp = element->Milepost();
  }
  AppendReportText(text, "%s:%s  %s  %s  %3i.%02i\n", cab, name, road, loc, mp / 100, mp % 100);
}

void WriteDateLine(CText& text, const CDateTimeEx* date) {
  if (date && date->GetStatus() == COleDateTime::valid) {
    std::string s = date->Format("%m/%d/%Y (%a)");
    text += s.c_str();
  } else if (date && date->GetStatus() == COleDateTime::invalid) {
    text += "Invalid DateTime";
  }
  text += "\n\n";
}

void FormatPeakHour(CText& text, int format, int period) { FormatPeriodRange(text, format, period); }

const char* MonthAbbreviation(int month) {
  static const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  return (month >= 1 && month <= 12) ? kMonths[month - 1] : "XXX";
}

EReportResult CElementData::WriteRawDataReport(const ClassicSettings& s, const std::vector<const CDateTimeEx*>& dates,
                                               ReportSink& sink, RunControl& run) const {
  CText heading("");
  WriteElementHeading(heading);
  for (int d = 0; d < days.m_nSize; ++d) {
    CText text(heading);
    WriteDateLine(text, d < static_cast<int>(dates.size()) ? dates[d] : nullptr);
    if (const CElementDay* day = Day(d))
      day->WriteRawListing(text, s.rawFormat);
    else
      text += DATA_UNAVAILABLE_TEXT;
    if (const EReportResult r = Emit(sink, text); r != EReportResult::Done) return r;
    run.addProgress(kProgressRawDay);
    if (!run.keepGoing()) return Cancelled(sink);
  }
  return EReportResult::Done;
}

EReportResult CElementData::WriteSingleDayReport(const ClassicSettings& s, ReportSink& sink, RunControl& run) const {
  CText heading("");
  WriteElementHeading(heading);
  for (int d = 0; d < days.m_nSize; ++d) {
    CText base(heading);
    WriteDateLine(base, d < static_cast<int>(s.singleDates.size()) ? s.singleDates[d] : nullptr);
    const CElementDay* day = Day(d);
    // The day's period table serves both summaries.
    std::optional<CDayReportScope> scope;
    if (day) scope.emplace(*day);
    if (s.with15Min) {
      CText text(base);
      if (day)
        day->Write15MinReport(text, s.singleFormat, s.withCounts, s.withOccupancy);
      else
        text += DATA_UNAVAILABLE_TEXT;
      if (const EReportResult r = Emit(sink, text); r != EReportResult::Done) return r;
      run.addProgress(day && day->HoldsFineData() ? kProgress15MinFineDay : kProgress15MinDay);
    }
    if (s.withDaily) {
      CText text(base);
      if (day)
        day->WriteDailyReport(text, s.singleFormat, s.criteria);
      else
        text += DATA_UNAVAILABLE_TEXT;
      if (const EReportResult r = Emit(sink, text); r != EReportResult::Done) return r;
      run.addProgress(day && day->HoldsFineData() ? kProgressDailyFineDay : kProgressDailyDay);
    }
    if (!run.keepGoing()) return Cancelled(sink);
  }
  return EReportResult::Done;
}

EReportResult CElementData::WriteMultiDayReport(const ClassicSettings& s, ReportSink& sink, RunControl& run) const {
  // The titles are dated from the first multi-day date; without one there is nothing to write.
  if (s.multiDates.empty() || !s.multiDates[0] || s.multiDates[0]->GetStatus() != COleDateTime::valid)
    return EReportResult::Done;
  CMultiDayRun days(*this, s);
  CText heading("");
  WriteElementHeading(heading);
  for (int month0 : s.months) {
    if (month0 < 0 || month0 > 11) continue;
    for (int wd : s.monthlyWeekdays) {
      if (wd < 0 || wd > 6) continue;  // an entry outside Sunday..Saturday names no weekday
      CText text(heading);
      WriteMonthlyTable(month0 + 1, wd + 1, text, s, run);
      if (const EReportResult r = Emit(sink, text); r != EReportResult::Done) return r;
      if (!run.keepGoing()) return Cancelled(sink);
    }
  }
  for (int wd : s.yearlyWeekdays) {
    if (wd < 0 || wd > 6) continue;
    CText text(heading);
    WriteYearlyTable(wd + 1, text, s, run);
    if (const EReportResult r = Emit(sink, text); r != EReportResult::Done) return r;
    if (!run.keepGoing()) return Cancelled(sink);
  }
  if (s.averages) {
    for (int k = 0; k < AK_COUNT; ++k) {
      CText text(heading);
      WriteAverageTable(k, text, s, run);
      if (const EReportResult r = Emit(sink, text); r != EReportResult::Done) return r;
    }
  }
  if (!run.keepGoing()) return Cancelled(sink);
  return EReportResult::Done;
}

// --- The multi-day run ----------------------------------------------------------------------

namespace {
thread_local CMultiDayRun* t_multiDayRun = nullptr;
}  // namespace

CMultiDayRun::CMultiDayRun(const CElementData& data, const ClassicSettings& s)
    : m_data(&data), m_settings(&s), m_outer(t_multiDayRun) {
  t_multiDayRun = this;
  const int n = std::min(data.days.m_nSize, static_cast<int>(s.multiDates.size()));
  if (n < 0) return;
  // Group of each day (-1: no valid date), then a counting sort into the groups.
  CScalarArray<int> group(n);
  if (n > 0 && !group.Reserve(n)) return;
  group.m_nSize = n;
  int count[kGroups] = {};
  for (int d = 0; d < n; ++d) {
    const CDateTimeEx* date = s.multiDates[static_cast<size_t>(d)];
    int g = -1;
    if (date && date->GetStatus() == COleDateTime::valid) {
      int month = date->GetMonth(), weekday = date->GetDayOfWeek();
      if (month >= 1 && month <= 12 && weekday >= 1 && weekday <= 7) g = (month - 1) * 7 + (weekday - 1);
    }
    group.m_pData[d] = g;
    if (g >= 0) ++count[g];
  }
  int total = 0;
  for (int g = 0; g < kGroups; ++g) {
    m_first[g] = total;
    total += count[g];
  }
  m_first[kGroups] = total;
  if (total > 0 && !m_order.Reserve(total)) return;
  m_order.m_nSize = total;
  int next[kGroups];
  std::memcpy(next, m_first, sizeof next);
  for (int d = 0; d < n; ++d)
    if (group.m_pData[d] >= 0) m_order.m_pData[next[group.m_pData[d]]++] = d;
  m_grouped = true;
}

CMultiDayRun::~CMultiDayRun() { t_multiDayRun = m_outer; }

CMultiDayRun* CMultiDayRun::Current(const CElementData& data, const ClassicSettings& s) {
  CMultiDayRun* run = t_multiDayRun;
  return (run && run->m_data == &data && run->m_settings == &s && run->m_grouped) ? run : nullptr;
}

const int* CMultiDayRun::DaysOf(int month, int weekday, int& count) const {
  count = 0;
  if (month < 1 || month > 12 || weekday < 1 || weekday > 7) return nullptr;
  int g = (month - 1) * 7 + (weekday - 1);
  count = m_first[g + 1] - m_first[g];
  return m_order.m_pData ? m_order.m_pData + m_first[g] : nullptr;
}

bool CMultiDayRun::Keep(int d, size_t size) {
  const int n = m_data->days.m_nSize;
  if (d < 0 || d >= n || size == 0) return false;
  if (m_keptSize == 0) {
    if (static_cast<uint64_t>(n) * size > static_cast<uint64_t>(INT32_MAX)) return false;
    if (!m_kept.Reserve(static_cast<int>(n * size)) || !m_done.Reserve(n)) return false;
    m_kept.m_nSize = static_cast<int>(n * size);
    m_done.SetSize(n, true);
    m_keptSize = size;
  }
  return m_keptSize == size && m_done.m_nSize == n;
}

namespace {

// The first date of the month (or of January) in the given year that falls on the weekday.
CDateTimeEx FirstWeekday(int year, int month, int weekday) {
  CDateTimeEx date(year, month, 1, 0, 0, 0);
  for (int i = 0; i < 7 && date.GetStatus() == COleDateTime::valid && date.GetDayOfWeek() != weekday; ++i)
    date += COleDateTimeSpan(1.0);
  return date;
}

int FirstYear(const ClassicSettings& s) {
  return (!s.multiDates.empty() && s.multiDates[0]) ? s.multiDates[0]->GetYear() : 0;
}

}  // namespace

void CElementData::WriteMonthlyTable(int month, int weekday, CText& text, const ClassicSettings& s,
                                     RunControl& run) const {
  CDateTimeEx date = FirstWeekday(FirstYear(s), month, weekday);
  text += date.Format("Monthly Avg for %Y %b (%a)\n\n").c_str();
  WriteMultiDayTitle(text, s.multiFormat);
  WriteMultiDayHeader(text, s.multiFormat);
  for (int k = 0; k < SK_COUNT; ++k) {
    WriteMonthlyLine(text, k, month, weekday, s);
    run.addProgress(kProgressMultiDayLine);
  }
  text += "\n\n\n";
}

void CElementData::WriteYearlyTable(int weekday, CText& text, const ClassicSettings& s, RunControl& run) const {
  CDateTimeEx date = FirstWeekday(FirstYear(s), 1, weekday);
  text += date.Format("Yearly Avg for %Y (%a)\n\n").c_str();
  WriteMultiDayTitle(text, s.multiFormat);
  WriteMultiDayHeader(text, s.multiFormat);
  for (int k = 0; k < SK_COUNT; ++k) {
    WriteYearlyLine(text, k, weekday, s);
    run.addProgress(kProgressMultiDayLine);
  }
  text += "\n\n\n";
}

void CElementData::WriteAverageTable(int averageKind, CText& text, const ClassicSettings& s, RunControl& run) const {
  text += AverageKindTitle(averageKind);
  WriteMultiDayTitle(text, s.multiFormat);
  WriteMultiDayHeader(text, s.multiFormat);
  for (int k = 0; k < SK_COUNT; ++k) {
    WriteAverageLine(text, averageKind, k, s);
    run.addProgress(kProgressMultiDayLine);
  }
  text += "\n\n\n";
}
