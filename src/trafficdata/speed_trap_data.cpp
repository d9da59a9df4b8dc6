#include "trafficdata/speed_trap_data.h"
#include "trafficdata/report_text.h"

#include <cstring>
#include <new>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_record.h"
#include "trafficdata/peak_windows.h"
#include "trafficdata/row_builder.h"

namespace {

// Vehicle-weighted sums of several summaries, combined into one.
struct SWeightedSums {
  uint64_t speedW = 0, lengthW = 0;
  uint64_t bins[4] = {0, 0, 0, 0};
  uint64_t Vehicles() const { return bins[0] + bins[1] + bins[2] + bins[3]; }
  void Add(uint32_t speed, uint32_t length, const uint32_t (&b)[4]) {
    uint64_t n = uint64_t{b[0]} + b[1] + b[2] + b[3];
    for (int k = 0; k < 4; ++k) bins[k] += b[k];
    speedW += uint64_t{speed} * n;
    lengthW += uint64_t{length} * n;
  }
  // Fills the means when the summary is valid; zeros otherwise.
  void Finish(SSpeedTrapMultiDay& m) const {
    uint64_t n = Vehicles();
    if (!m.valid || n == 0 || m.validCount == 0) {
      m.valid = false;
      m.speed = m.length = 0;
      for (uint32_t& b : m.bins) b = 0;
      return;
    }
    m.speed = static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(speedW) / static_cast<double>(n)));
    m.length = static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(lengthW) / static_cast<double>(n)));
    for (int k = 0; k < 4; ++k)
      m.bins[k] = static_cast<uint32_t>(RoundHalfUp64(static_cast<double>(bins[k]) / m.validCount));
  }
};

class CSpeedTrapSlot : public CRowSlot {
 public:
  explicit CSpeedTrapSlot(const NewSettings& s) : m_s(s) {}

  void Begin(int, int, int periodLen, int groupDays) override {
    m_periodLen = periodLen;
    m_groupDays = groupDays;
    for (int64_t& x : m_sum) x = 0;
    m_accepted = 0;
    m_flag = 0;
    m_flagRaw = false;
  }

  bool AddDay(CElementDay& element, int t, int L) override {
    CSpeedTrapDay* day = dynamic_cast<CSpeedTrapDay*>(&element);
    if (!day) return false;
    const int m = m_s.method;
    trafficdata::SpeedTrapDayView v = day->View();
    const uint32_t validity = v.GetSpanValidity(t, L, m);
    if (m_s.minValidityOn && static_cast<int64_t>(validity) < m_s.minValidity) return false;
    const auto& c = m_s.content;
    if (c[CC_SPEED]) m_sum[CC_SPEED] += v.GetSpanSpeed(t, L, m);
    if (c[CC_LENGTH]) m_sum[CC_LENGTH] += v.GetSpanLength(t, L, m);
    for (int b = 1; b <= 4; ++b) m_sum[CC_BIN1 + b - 1] += v.GetSpanBin(b, t, L, m);
    if (c[CC_PERIODS]) m_sum[CC_PERIODS] += v.GetSpanPeriods(t, L, m);
    m_sum[CC_VALIDITY] += validity;
    // A single interval of a single finer-layout day shows its own flag bits.
    int f;
    bool raw = SingleInterval() && !v.IsFiveMinute() && t >= 0 && t < v.Count();
    f = raw ? v.Flag(t) : v.GetSpanFlag(t, L, m);
    if (m_accepted == 0) {
      m_flag = f;
      m_flagRaw = raw;
    } else if (f != m_flag) {
      m_flag = FoldSpeedTrapFlag(m_flag, f);
    }
    ++m_accepted;
    return true;
  }

  int64_t PeakValue(CElementDay& element, int start, int length) override {
    CSpeedTrapDay* day = dynamic_cast<CSpeedTrapDay*>(&element);
    if (!day) return 0;
    trafficdata::SpeedTrapDayView v = day->View();
    int64_t n = 0;
    for (int b = 1; b <= 4; ++b) n += v.GetSpanBin(b, start, length, m_s.method);
    return n;
  }

  void PeakValues(CElementDay& element, int first, int last, int length, int64_t* out) override {
    if (CSpeedTrapDay* day = dynamic_cast<CSpeedTrapDay*>(&element))
      trafficdata::SpeedTrapPeakVehicles(day->View(), first, last, length, m_s.method, out);
    else
      CRowSlot::PeakValues(element, first, last, length, out);
  }

  bool Emit(const CDBRecord& proto, CDBRecordset& out) override {
    const int order[10] = {CC_SPEED, CC_LENGTH, CC_BIN1,     CC_BIN2,       CC_BIN3,
                           CC_BIN4,  CC_PERIODS, CC_VALIDITY, CC_VALID_FLAG, CC_NDAYS};
    for (int code : order) {
      if (!m_s.content[code]) continue;
      CDBRecord row(proto);
      row.word[RW_CONTENT] = code;
      int value;
      if (code == CC_NDAYS) {
        value = m_accepted;
      } else if (code == CC_VALID_FLAG) {
        if (m_accepted > 0) {
          value = m_flag;
          row.rawFlag = m_flagRaw;
        } else {
          // No data: every flag bit of a single interval, otherwise "All Bad Data".
          value = SingleInterval() ? 15 : 0;
          row.rawFlag = SingleInterval();
        }
      } else {
        value = RowMean(m_sum[code], m_accepted);
      }
      row.word[RW_VALUE] = value;
      if (!out.AddRecord(row)) return false;
    }
    return true;
  }

 private:
  bool SingleInterval() const { return m_periodLen < 2 && m_groupDays < 2; }

  const NewSettings& m_s;
  int m_periodLen = 0, m_groupDays = 0;
  int64_t m_sum[CC_COUNT] = {};
  int m_accepted = 0;
  int m_flag = 0;
  bool m_flagRaw = false;
};

}  // namespace

int FoldSpeedTrapFlag(int current, int f) {
  if (f == current) return current;
  return (current == 1 || current == 2 || f == 1 || f == 2) ? 2 : 3;
}

CSpeedTrapData::CSpeedTrapData(int dayCount, CDBElementEx* elem, int ord) : CElementData(dayCount, elem, ord) {
  for (int d = 0; d < days.m_nSize; ++d) days.m_pData[d] = new (std::nothrow) CSpeedTrapDay();
  nDays = days.m_nSize;
}

CSpeedTrapData::~CSpeedTrapData() = default;

CElementDay* CSpeedTrapData::NewDay() const { return new (std::nothrow) CSpeedTrapDay(); }

void CSpeedTrapData::Clone(CElementData** out) const {
  if (out) *out = new (std::nothrow) CSpeedTrapData(*this);
}

namespace {

// The five summaries of one speed-trap day, as a multi-day run keeps them.
struct STrapDaySummaries {
  trafficdata::SpeedTrapSummary kind[SK_COUNT];
};

void SummariseTrapDay(const CElementDay& day, const ValidityTables& criteria, STrapDaySummaries& out) {
  const CSpeedTrapDay& trap = static_cast<const CSpeedTrapDay&>(day);
  for (int k = 0; k < SK_COUNT; ++k) out.kind[k] = trap.ComputeTrapSummary(k, criteria);
}

// One day of a month's average: without data (null; also a day that could not be allocated) it
// is missing; with data its class counts are added, valid or not, and a valid summary adds its
// values.
void AddTrapMonthDay(SSpeedTrapMultiDay& m, SWeightedSums& sums, const trafficdata::SpeedTrapSummary* sum) {
  if (!sum) {
    ++m.missingCount;
    return;
  }
  m.counts.good += sum->good;
  m.counts.suspect += sum->suspect;
  m.counts.bad += sum->bad;
  m.counts.disabled += sum->disabled;
  if (!sum->valid) {
    ++m.invalidCount;
    return;
  }
  sums.Add(sum->speed, sum->length, sum->bins);
  ++m.validCount;
}

}  // namespace

size_t CSpeedTrapData::DaySummarySize() const { return sizeof(STrapDaySummaries); }

void CSpeedTrapData::FillDaySummaries(const CElementDay& day, const ValidityTables& criteria,
                                      unsigned char* out) const {
  STrapDaySummaries all;
  SummariseTrapDay(day, criteria, all);
  std::memcpy(out, &all, sizeof all);
}

SSpeedTrapMultiDay CSpeedTrapData::MonthlySummary(int summaryKind, int month, int weekday,
                                                  const ClassicSettings& s) const {
  SSpeedTrapMultiDay m;
  SWeightedSums sums;
  CMultiDayRun* run = CMultiDayRun::Current(*this, s);
  auto fill = [&](const CElementDay& day, STrapDaySummaries& out) { SummariseTrapDay(day, s.criteria, out); };
  auto add = [&](int d) {
    STrapDaySummaries all;
    bool has = run ? run->DaySummaries(d, all, fill) : DaySummaries(d, s.criteria, all, fill);
    const trafficdata::SpeedTrapSummary none;  // a kind outside 0-4 has an empty, invalid summary
    const bool known = summaryKind >= 0 && summaryKind < SK_COUNT;
    AddTrapMonthDay(m, sums, !has ? nullptr : known ? &all.kind[summaryKind] : &none);
  };
  if (run) {
    int n;
    const int* days = run->DaysOf(month, weekday, n);
    for (int i = 0; i < n; ++i) add(days[i]);
  } else {
    for (int d = 0; d < nDays; ++d) {
      const CDateTimeEx* date = d < static_cast<int>(s.multiDates.size()) ? s.multiDates[d] : nullptr;
      if (date && date->IsValid() && date->GetMonth() == month && date->GetDayOfWeek() == weekday) add(d);
    }
  }
  m.valid = m.invalidCount <= s.monthlyInvalid && m.missingCount <= s.monthlyMissing;
  sums.Finish(m);
  return m;
}

SSpeedTrapMultiDay CSpeedTrapData::YearlySummary(int summaryKind, int weekday, const ClassicSettings& s) const {
  SSpeedTrapMultiDay y;
  SWeightedSums sums;
  for (int month = 1; month <= 12; ++month) {
    SSpeedTrapMultiDay m = MonthlySummary(summaryKind, month, weekday, s);
    y.counts.Add(m.counts);
    if (!m.valid) {
      ++y.invalidCount;
      continue;
    }
    sums.Add(m.speed, m.length, m.bins);
    ++y.validCount;
  }
  y.valid = y.invalidCount <= s.yearlyInvalid;
  sums.Finish(y);
  return y;
}

SSpeedTrapMultiDay CSpeedTrapData::AverageSummary(int averageKind, int summaryKind, const ClassicSettings& s) const {
  SSpeedTrapMultiDay a;
  if (averageKind < 0 || averageKind >= AK_COUNT) return a;
  int first, last;
  AverageKindDays(averageKind, first, last);
  SWeightedSums sums;
  for (int wd = first; wd <= last; ++wd) {
    SSpeedTrapMultiDay y = YearlySummary(summaryKind, wd, s);
    a.counts.Add(y.counts);
    if (!y.valid) {
      ++a.invalidCount;
      continue;
    }
    sums.Add(y.speed, y.length, y.bins);
    ++a.validCount;
  }
  a.valid = a.invalidCount <= s.avgInvalid[averageKind];
  sums.Finish(a);
  return a;
}

bool CSpeedTrapData::BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CSpeedTrapSlot slot(s);
  return BuildPeriodRows(*this, s, run, rs, slot);
}

bool CSpeedTrapData::BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CSpeedTrapSlot slot(s);
  return BuildPeakRows(*this, s, run, rs, slot);
}

void CSpeedTrapData::WriteMultiDayTitle(CText& text, int format) const {
  text += format == 1 ? "\t---Multi-Day Speed Trap Summary Report---\n\n"
                      : "     ---Multi-Day Speed Trap Summary Report---\n\n";
}

void CSpeedTrapData::WriteMultiDayHeader(CText& text, int format) const {
  text += format == 1
              ? "\tSummary\tValid\tSpd\tLen\tBin1\tBin2\tBin3\tBin4\tG\tS\tB\tD\tVal\tInv\tMis\n"
              : "     Summary   Valid   Spd   Len     Bin1   Bin2   Bin3   Bin4       G      S      B      D   Val Inv Mis\n"
                "     ---------------------------------------------------------------------------------------------\n";
}

void CSpeedTrapData::WriteLine(CText& text, int format, int summaryKind, const SSpeedTrapMultiDay& m,
                               bool withMissing) const {
  const int mis = withMissing ? m.missingCount : 0;
  CReportLine line(text);
  if (format == 1) {
    // "\t%s\tVAL\t%3u.%1u\t%3u.%1u\t%7u\t%6u\t%6u\t%6u\t%6i\t%6i\t%6i\t%6i\t%2u\t%2i\t%2i"
    line.Lit("\t").Str(SummaryKindLabel(summaryKind)).Str(m.valid ? "\tVAL\t" : "\tINV\t").Tenths(m.speed, 3)
        .Lit("\t").Tenths(m.length, 3).Lit("\t").U(m.bins[0], 7);
    for (int k = 1; k < 4; ++k) line.Lit("\t").U(m.bins[k], 6);
    line.Lit("\t").I(m.counts.good, 6).Lit("\t").I(m.counts.suspect, 6).Lit("\t").I(m.counts.bad, 6).Lit("\t")
        .I(m.counts.disabled, 6).Lit("\t").U(static_cast<unsigned>(m.validCount), 2).Lit("\t").I(m.invalidCount, 2)
        .Lit("\t").I(mis, 2);
  } else {
    // "     %s VAL  %3u.%1u %3u.%1u  %7u %6u %6u %6u  %6i %6i %6i %6i    %2u  %2i  %2i"
    line.Lit("     ").Str(SummaryKindLabel(summaryKind)).Str(m.valid ? " VAL  " : " INV  ").Tenths(m.speed, 3)
        .Lit(" ").Tenths(m.length, 3).Lit("  ").U(m.bins[0], 7);
    for (int k = 1; k < 4; ++k) line.Lit(" ").U(m.bins[k], 6);
    line.Lit("  ").I(m.counts.good, 6).Lit(" ").I(m.counts.suspect, 6).Lit(" ").I(m.counts.bad, 6).Lit(" ")
        .I(m.counts.disabled, 6).Lit("    ").U(static_cast<unsigned>(m.validCount), 2).Lit("  ").I(m.invalidCount, 2)
        .Lit("  ").I(mis, 2);
  }
  // A speed trap's peak hours are the fixed windows 07:00-08:00 and 17:00-18:00.
  if (summaryKind == SK_AM_PEAK_HOUR || summaryKind == SK_PM_PEAK_HOUR)
    FormatPeriodRange(line, format, SummaryKindWindow(summaryKind).start);
  line.Lit("\n").End();
}

void CSpeedTrapData::WriteMonthlyLine(CText& text, int summaryKind, int month, int weekday,
                                      const ClassicSettings& s) const {
  WriteLine(text, s.multiFormat, summaryKind, MonthlySummary(summaryKind, month, weekday, s), true);
}

void CSpeedTrapData::WriteYearlyLine(CText& text, int summaryKind, int weekday, const ClassicSettings& s) const {
  WriteLine(text, s.multiFormat, summaryKind, YearlySummary(summaryKind, weekday, s), false);
}

void CSpeedTrapData::WriteAverageLine(CText& text, int averageKind, int summaryKind, const ClassicSettings& s) const {
  WriteLine(text, s.multiFormat, summaryKind, AverageSummary(averageKind, summaryKind, s), false);
}
