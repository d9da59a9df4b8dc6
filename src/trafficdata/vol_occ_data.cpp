#include "trafficdata/vol_occ_data.h"

#include <cstring>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_record.h"
#include "trafficdata/report_text.h"

CVolOccData::~CVolOccData() = default;

// --- Multi-day averages ----------------------------------------------------------------------

namespace {

struct SMeanSums {
  uint64_t volume = 0, occupancy = 0, start = 0;
  void Add(uint64_t v, uint64_t o, uint64_t s) {
    volume += v;
    occupancy += o;
    start += s;
  }
  void Finish(SMultiDaySummary& r, bool valid) const {
    r.valid = valid;
    if (!valid) return;
    r.volume = static_cast<uint32_t>(RowMean(static_cast<int64_t>(volume), r.nValid));
    r.occupancy = static_cast<uint32_t>(RowMean(static_cast<int64_t>(occupancy), r.nValid));
    r.start = RowMean(static_cast<int64_t>(start), r.nValid);
  }
};

// The five summaries of one day, as a multi-day run keeps them.
struct SDaySummaries {
  SSummary kind[SK_COUNT];
};

void SummariseDay(const CElementDay& day, const ValidityTables& criteria, SDaySummaries& out) {
  day.ComputeSummaries(criteria, out.kind);
}

// One day of a month's average: without data (null) it is missing; with data its class counts
// are added, valid or not, and a valid summary adds its values.
void AddMonthDay(SMultiDaySummary& r, SMeanSums& sums, const SSummary* sum) {
  if (!sum) {
    ++r.nMissing;
    return;
  }
  r.counts.Add(sum->counts);  // every day with data counts its classes, valid or not
  if (!sum->valid) {
    ++r.nInvalid;
    return;
  }
  ++r.nValid;
  sums.Add(sum->volume, sum->occupancy, static_cast<uint64_t>(sum->start));
}

}  // namespace

size_t CVolOccData::DaySummarySize() const { return sizeof(SDaySummaries); }

void CVolOccData::FillDaySummaries(const CElementDay& day, const ValidityTables& criteria, unsigned char* out) const {
  SDaySummaries all;
  SummariseDay(day, criteria, all);
  std::memcpy(out, &all, sizeof all);
}

SMultiDaySummary MonthlySummary(const CElementData& data, int summaryKind, int month, int weekday,
                                const ClassicSettings& s) {
  SMultiDaySummary r;
  SMeanSums sums;
  CMultiDayRun* run = CMultiDayRun::Current(data, s);
  auto fill = [&](const CElementDay& day, SDaySummaries& out) { SummariseDay(day, s.criteria, out); };
  auto add = [&](int d) {
    SDaySummaries all;
    bool has = run ? run->DaySummaries(d, all, fill) : data.DaySummaries(d, s.criteria, all, fill);
    const SSummary none;  // a kind outside 0-4 has an empty, invalid summary
    const bool known = summaryKind >= 0 && summaryKind < SK_COUNT;
    AddMonthDay(r, sums, !has ? nullptr : known ? &all.kind[summaryKind] : &none);
  };
  if (run) {
    int n;
    const int* days = run->DaysOf(month, weekday, n);
    for (int i = 0; i < n; ++i) add(days[i]);
  } else {
    for (int d = 0; d < data.days.m_nSize && d < static_cast<int>(s.multiDates.size()); ++d) {
      const CDateTimeEx* date = s.multiDates[d];
      if (!date || date->GetStatus() != COleDateTime::valid) continue;
      if (date->GetMonth() == month && date->GetDayOfWeek() == weekday) add(d);
    }
  }
  sums.Finish(r, r.nInvalid <= s.monthlyInvalid && r.nMissing <= s.monthlyMissing && r.nValid >= 1);
  return r;
}

SMultiDaySummary YearlySummary(const CElementData& data, int summaryKind, int weekday, const ClassicSettings& s) {
  SMultiDaySummary r;
  SMeanSums sums;
  for (int month = 1; month <= 12; ++month) {
    SMultiDaySummary m = MonthlySummary(data, summaryKind, month, weekday, s);
    r.counts.Add(m.counts);
    if (!m.valid) {
      ++r.nInvalid;
      continue;
    }
    ++r.nValid;
    sums.Add(m.volume, m.occupancy, static_cast<uint64_t>(m.start));
  }
  sums.Finish(r, r.nInvalid <= s.yearlyInvalid && r.nValid >= 1);
  return r;
}

SMultiDaySummary AverageSummary(const CElementData& data, int averageKind, int summaryKind, const ClassicSettings& s) {
  SMultiDaySummary r;
  SMeanSums sums;
  int first, last;
  AverageKindDays(averageKind, first, last);
  for (int wd = first; wd <= last; ++wd) {
    SMultiDaySummary y = YearlySummary(data, summaryKind, wd, s);
    r.counts.Add(y.counts);
    if (!y.valid) {
      ++r.nInvalid;
      continue;
    }
    ++r.nValid;
    sums.Add(y.volume, y.occupancy, static_cast<uint64_t>(y.start));
  }
  int limit = (averageKind >= 0 && averageKind < AK_COUNT) ? s.avgInvalid[averageKind] : 0;
  sums.Finish(r, r.nInvalid <= limit && r.nValid >= 1);
  return r;
}

void WriteVolOccMultiDayLine(CText& text, int format, int kind, const SMultiDaySummary& m, int val, int inv, int mis,
                             bool withDisabled) {
  CReportLine line(text);
  const SClassCounts& c = m.counts;
  if (format == 1) {  // "\t%s\tVAL\t%8u\t%3u.%1u%%\t%6i\t%6i\t%6i[\t%6i]\t%2u\t%2i\t%2i"
    line.Lit("\t").Str(SummaryKindLabel(kind)).Str(m.valid ? "\tVAL\t" : "\tINV\t").U(m.volume, 8).Lit("\t")
        .Tenths(m.occupancy, 3).Lit("%\t").I(c.good, 6).Lit("\t").I(c.suspect, 6).Lit("\t").I(c.bad, 6);
    if (withDisabled) line.Lit("\t").I(c.disabled, 6);
    line.Lit("\t").U(static_cast<unsigned>(val), 2).Lit("\t").I(inv, 2).Lit("\t").I(mis, 2);
  } else {  // "     %s VAL %8u %3u.%1u%%  %6i %6i %6i[ %6i]    %2u  %2i  %2i"
    line.Lit("     ").Str(SummaryKindLabel(kind)).Str(m.valid ? " VAL " : " INV ").U(m.volume, 8).Lit(" ")
        .Tenths(m.occupancy, 3).Lit("%  ").I(c.good, 6).Lit(" ").I(c.suspect, 6).Lit(" ").I(c.bad, 6);
    if (withDisabled) line.Lit(" ").I(c.disabled, 6);
    line.Lit("    ").U(static_cast<unsigned>(val), 2).Lit("  ").I(inv, 2).Lit("  ").I(mis, 2);
  }
  if (kind == SK_AM_PEAK_HOUR || kind == SK_PM_PEAK_HOUR) FormatPeriodRange(line, format, m.start);
  line.Lit("\n").End();
}

// --- Rows ------------------------------------------------------------------------------------

void CVolOccSlot::Begin(int, int, int periodLen, int groupDays) {
  m_periodLen = periodLen;
  m_groupDays = groupDays;
  m_volume = m_occupancy = m_speedSum = m_length = m_periods = m_validity = 0;
  m_accepted = 0;
  m_flag = 0;
  m_flagRaw = false;
}

bool CVolOccSlot::AddDay(CElementDay& element, int t, int L) {
  CVolOccDay* day = dynamic_cast<CVolOccDay*>(&element);
  if (!day) return false;
  const int m = m_s.method;
  int v = day->GetSpanValidity(t, L, m);
  if (m_s.minValidityOn && v < m_s.minValidity) return false;
  const auto& c = m_s.content;
  if (c[CC_VOLUME]) m_volume += day->GetSpanVolume(t, L, m);
  if (c[CC_OCCUPANCY]) m_occupancy += day->GetSpanOccupancy(t, L, m);
  // The speed comes first: its first request estimates the day's length, which content 13 reads.
  if (c[CC_CALC_SPEED]) m_speedSum += day->GetSpanSpeed(t, L, m, m_speed);
  if (c[CC_EST_LENGTH]) m_length += day->estimatedLength;
  if (c[CC_PERIODS]) m_periods += day->GetSpanPeriods(t, L, m);
  if (c[CC_VALIDITY]) m_validity += v;
  int f;
  bool raw = SingleInterval() && RawFlag(*day, t, f);
  if (!raw) f = day->GetSpanFlag(t, L, m);
  if (m_accepted == 0) {
    m_flag = f;
    m_flagRaw = raw;
  } else if (f != m_flag) {
    m_flag = FoldFlag(m_flag, f);
  }
  ++m_accepted;
  return true;
}

int64_t CVolOccSlot::PeakValue(CElementDay& element, int start, int length) {
  CVolOccDay* day = dynamic_cast<CVolOccDay*>(&element);
  return day ? day->GetSpanVolume(start, length, m_s.method) : 0;
}

void CVolOccSlot::PeakValues(CElementDay& element, int first, int last, int length, int64_t* out) {
  if (CVolOccDay* day = dynamic_cast<CVolOccDay*>(&element))
    day->GetSpanVolumes(first, last, length, m_s.method, out);
  else
    CRowSlot::PeakValues(element, first, last, length, out);
}

bool CVolOccSlot::Emit(const CDBRecord& proto, CDBRecordset& out) {
  const int order[8] = {CC_VOLUME, CC_OCCUPANCY, CC_CALC_SPEED, CC_EST_LENGTH,
                        CC_PERIODS, CC_VALIDITY, CC_VALID_FLAG, CC_NDAYS};
  for (int code : order) {
    if (!m_s.content[code]) continue;
    CDBRecord row(proto);
    row.word[RW_CONTENT] = code;
    int value = 0;
    switch (code) {
      case CC_VOLUME: value = RowMean(m_volume, m_accepted); break;
      case CC_OCCUPANCY: value = RowMean(m_occupancy, m_accepted); break;
      case CC_CALC_SPEED: value = RowMean(m_speedSum, m_accepted); break;
      case CC_EST_LENGTH: value = RowMean(m_length, m_accepted); break;
      case CC_PERIODS: value = RowMean(m_periods, m_accepted); break;
      case CC_VALIDITY: value = RowMean(m_validity, m_accepted); break;
      case CC_NDAYS: value = m_accepted; break;
      case CC_VALID_FLAG:
        if (m_accepted > 0) {
          value = m_flag;
          row.rawFlag = m_flagRaw;
        } else {
          bool raw = false;
          value = NoDayFlag(SingleInterval(), raw);
          row.rawFlag = raw;
        }
        break;
    }
    row.word[RW_VALUE] = value;
    if (!out.AddRecord(row)) return false;
  }
  return true;
}
