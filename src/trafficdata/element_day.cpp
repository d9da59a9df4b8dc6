#include "trafficdata/element_day.h"
#include "trafficdata/report_text.h"

#include <new>

const char* const DATA_UNAVAILABLE_TEXT = "     ***DATA UNAVAILABLE***\n\n\n\n";

namespace {

thread_local CDayReportScope* t_scope = nullptr;

}  // namespace

CDayReportScope::CDayReportScope(const CElementDay& day) : m_day(&day) {
  if (t_scope && t_scope->m_day == &day) return;  // the outer scope serves
  m_outer = t_scope;
  m_open = true;
  t_scope = this;
}

CDayReportScope::~CDayReportScope() {
  if (m_open) t_scope = m_outer;
}

CDayReportScope* CDayReportScope::Of(const CElementDay* day) {
  CDayReportScope* s = t_scope;
  return s && s->m_day == day ? s : nullptr;
}

const CPeriodTable* CDayReportScope::Table() {
  if (!m_filled) {
    m_ok = m_day->FillPeriodTable(m_table);
    m_filled = true;
  }
  return m_ok ? &m_table : nullptr;
}

CElementDay::CElementDay(const CElementDay& other)
    : flag(other.flag), nPds(other.nPds), dataAvailable(other.dataAvailable) {}

CElementDay& CElementDay::operator=(const CElementDay& other) {
  if (this == &other) return *this;
  dataAvailable = other.dataAvailable;
  flag = other.flag;
  nPds = other.nPds;
  return *this;
}

CElementDay::~CElementDay() = default;

void CElementDay::Clone(CElementDay** out) const {
  if (out) *out = new (std::nothrow) CElementDay(*this);
}

void CElementDay::Load(const unsigned char*, int, int) {}

void CElementDay::Clear() {
  dataAvailable = 0;
  flag.RemoveAll();
  nPds.RemoveAll();
}

void CElementDay::WriteRawTitle(CText&, int) const {}
void CElementDay::WriteRawHeader(CText&, int) const {}
void CElementDay::WriteRawLine(CText&, int, int) const {}
void CElementDay::Write15MinTitle(CText&, int) const {}
void CElementDay::Write15MinHeader(CText&, int, bool) const {}
void CElementDay::Write15MinLine(CText&, int, int, bool, bool) const {}
void CElementDay::WriteDailyTitle(CText&, int) const {}
void CElementDay::WriteDailyHeader(CText&, int) const {}
void CElementDay::WriteDailyLine(CText&, int, int, const ValidityTables&) const {}

bool CElementDay::FillPeriodTable(CPeriodTable&) const { return false; }

const CPeriodTable* CElementDay::ScopedPeriodTable() const {
  CDayReportScope* s = CDayReportScope::Of(this);
  return s ? s->Table() : nullptr;
}

SSummary CElementDay::ComputeSummary(int summaryKind, const ValidityTables& criteria) const {
  if (summaryKind < 0 || summaryKind >= SK_COUNT) return SSummary{};
  if (CDayReportScope* s = CDayReportScope::Of(this)) {
    const CPeriodTable* table = s->Table();
    if (!table) return SSummary{};
    if (&criteria != s->m_criteria) return table->ComputeSummary(summaryKind, criteria[summaryKind]);
    // The daily summary being written: its five kinds made together once.
    if (!s->m_summariesMade) {
      table->ComputeSummaries(criteria, s->m_summaries);
      s->m_summariesMade = true;
    }
    return s->m_summaries[summaryKind];
  }
  CPeriodTable table;
  if (!FillPeriodTable(table)) return SSummary{};
  return table.ComputeSummary(summaryKind, criteria[summaryKind]);
}

void CElementDay::ComputeSummaries(const ValidityTables& criteria, SSummary out[SK_COUNT]) const {
  CDayReportScope scope(*this);
  CDayReportScope* s = CDayReportScope::Of(this);
  const ValidityTables* before = s->BindCriteria(&criteria);
  for (int k = 0; k < SK_COUNT; ++k) out[k] = ComputeSummary(k, criteria);
  s->BindCriteria(before);
}

void CElementDay::WriteRawListing(CText& out, int format) const {
  if (!dataAvailable) {
    out += DATA_UNAVAILABLE_TEXT;
    return;
  }
  CDayReportScope scope(*this);
  WriteRawTitle(out, format);
  WriteRawHeader(out, format);
  for (int p = 0; p < PERIODS_PER_DAY; ++p) WriteRawLine(out, p, format);
  out += "\n\n\n";
}

void CElementDay::Write15MinReport(CText& out, int format, bool withCounts, bool withOccupancy) const {
  if (!dataAvailable) {
    out += DATA_UNAVAILABLE_TEXT;
    return;
  }
  CDayReportScope scope(*this);
  Write15MinTitle(out, format);
  Write15MinHeader(out, format, withCounts);
  for (int r = 0; r < 12; ++r) Write15MinLine(out, r, format, withCounts, withOccupancy);
  out += "\n\n\n";
}

void CElementDay::WriteDailyReport(CText& out, int format, const ValidityTables& criteria) const {
  if (!dataAvailable) {
    out += DATA_UNAVAILABLE_TEXT;
    return;
  }
  WriteDailyTitle(out, format);
  WriteDailyHeader(out, format);
  CDayReportScope scope(*this);
  CDayReportScope* s = CDayReportScope::Of(this);
  const ValidityTables* before = s->BindCriteria(&criteria);
  for (int k = 0; k < SK_COUNT; ++k) WriteDailyLine(out, k, format, criteria);
  s->BindCriteria(before);
  out += "\n\n\n";
}

void FormatPeriodRange(CReportLine& line, int format, int period) {
  int h = period / 12;
  int m = (period % 12) * 5;
  if (format == 1)  // "\t%02d:%02d\t%02d:%02d"
    line.Lit("\t").Z(h, 2).Lit(":").Z(m, 2).Lit("\t").Z(h + 1, 2).Lit(":").Z(m, 2);
  else  // " (%02d:%02d--%02d:%02d)"
    line.Lit(" (").Z(h, 2).Lit(":").Z(m, 2).Lit("--").Z(h + 1, 2).Lit(":").Z(m, 2).Lit(")");
}

void FormatPeriodRange(CText& out, int format, int period) {
  CReportLine line(out);
  FormatPeriodRange(line, format, period);
  line.End();
}

void Write15MinVolumes(CText& out, int format, int firstHour, const unsigned (&volume)[2][5],
                       const SClassCounts* counts, bool withDisabled) {
  CReportLine line(out);
  const bool tabs = format == 1;
  for (int half = 0; half < 2; ++half) {
    const unsigned* v = volume[half];
    // "\t%02d:00\t%4u\t%4u\t%4u\t%4u\t%5u" or "     %2d:00  %4u  %4u  %4u  %4u   %5u" (the
    // second hour after one more blank)
    if (tabs) {
      line.Lit("\t").Z(firstHour + half, 2).Lit(":00");
      for (int q = 0; q < 4; ++q) line.Lit("\t").U(v[q], 4);
      line.Lit("\t").U(v[4], 5);
    } else {
      if (half == 1) line.Lit(" ");
      line.Lit("     ").I(firstHour + half, 2).Lit(":00");
      for (int q = 0; q < 4; ++q) line.Lit("  ").U(v[q], 4);
      line.Lit("   ").U(v[4], 5);
    }
  }
  if (counts) {
    // "\t%2d\t%2d\t%2d[\t%2d]" or "      %2d %2d %2d[ %2d]"
    if (tabs) {
      line.Lit("\t").I(counts->good, 2).Lit("\t").I(counts->suspect, 2).Lit("\t").I(counts->bad, 2);
      if (withDisabled) line.Lit("\t").I(counts->disabled, 2);
    } else {
      line.Lit("      ").I(counts->good, 2).Lit(" ").I(counts->suspect, 2).Lit(" ").I(counts->bad, 2);
      if (withDisabled) line.Lit(" ").I(counts->disabled, 2);
    }
  }
  line.Lit("\n").End();
}

void Write15MinOccupancies(CText& out, int format, const unsigned (&occupancy)[2][5]) {
  // "\t\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%\t%2u.%1u%%" or
  // "           %3u.%1u%%%3u.%1u%%%3u.%1u%%%3u.%1u%%  %3u.%1u%%" for each hour, then "\n\n"
  CReportLine line(out);
  for (int half = 0; half < 2; ++half) {
    const unsigned* o = occupancy[half];
    if (format == 1) {
      line.Lit("\t");
      for (int q = 0; q < 5; ++q) line.Lit("\t").Tenths(o[q], 2).Lit("%");
    } else {
      line.Lit("           ");
      for (int q = 0; q < 4; ++q) line.Tenths(o[q], 3).Lit("%");
      line.Lit("  ").Tenths(o[4], 3).Lit("%");
    }
  }
  line.Lit("\n\n").End();
}
