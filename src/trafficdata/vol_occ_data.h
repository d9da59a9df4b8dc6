// CVolOccData: per-element data of the kinds that measure volume and occupancy (loops and
// stations), with the five speed-estimation parameters; and CVolOccSlot, their row of the New
// view (contents 0, 1, 12, 13, 8, 9, 11, 10 from the day's span values).
#pragma once

#include "trafficdata/element_data.h"
#include "trafficdata/row_builder.h"
#include "trafficdata/vol_occ_day.h"

class CVolOccData : public CElementData {
 public:
  SSpeedParams speed;  // 650, 100, 50, 240, 200

  CVolOccData(int dayCount, CDBElementEx* elem, int ord) : CElementData(dayCount, elem, ord) {}
  CVolOccData(const CVolOccData& other) = default;
  CVolOccData& operator=(const CVolOccData& other) = default;
  ~CVolOccData() override;

 protected:
  size_t DaySummarySize() const override;
  void FillDaySummaries(const CElementDay& day, const ValidityTables& criteria, unsigned char* out) const override;
};

// Multi-day averages of one summary kind (monthly over days, yearly over months, average-day over
// weekdays): valid, the rounded means of volume, occupancy and window start, the summed class
// counts, and the numbers of valid, invalid and missing entries.
struct SMultiDaySummary {
  bool valid = false;
  uint32_t volume = 0;
  uint32_t occupancy = 0;
  int start = 0;
  SClassCounts counts;
  int nValid = 0, nInvalid = 0, nMissing = 0;
};

// Multi-day averages from the days' own ComputeSummary (element kinds whose monthly values are
// plain means of their daily values: loops and stations). Month 1-12, weekday 1-7 (1 = Sunday).
SMultiDaySummary MonthlySummary(const CElementData& data, int summaryKind, int month, int weekday,
                                const ClassicSettings& s);
SMultiDaySummary YearlySummary(const CElementData& data, int summaryKind, int weekday, const ClassicSettings& s);
SMultiDaySummary AverageSummary(const CElementData& data, int averageKind, int summaryKind, const ClassicSettings& s);

// One multi-day line of a loop or station, with its line end: label, VAL or INV, volume,
// occupancy, the class counts (the disabled count only withDisabled), Val Inv Mis, then for the
// peak-hour kinds the averaged hour.
void WriteVolOccMultiDayLine(CText& text, int format, int summaryKind, const SMultiDaySummary& m, int val, int inv,
                             int mis, bool withDisabled);

// Row of a volume/occupancy element for the New view. The element kinds differ in how a day's
// flag enters the row (FoldFlag, RawFlag) and what a row without days shows (NoDayFlag).
class CVolOccSlot : public CRowSlot {
 public:
  CVolOccSlot(const NewSettings& s, const SSpeedParams& speed) : m_s(s), m_speed(speed) {}

  void Begin(int start, int length, int periodLen, int groupDays) override;
  bool AddDay(CElementDay& day, int start, int length) override;
  int64_t PeakValue(CElementDay& day, int start, int length) override;
  void PeakValues(CElementDay& day, int first, int last, int length, int64_t* out) override;
  bool Emit(const CDBRecord& proto, CDBRecordset& out) override;

 protected:
  // The row's flag after a later day's flag f (the first accepted day's flag starts it).
  virtual int FoldFlag(int current, int f) const = 0;
  // The day's own flag at t when the row is a single interval of a single day; false when the
  // day has no such flag (the span flag is used then).
  virtual bool RawFlag(const CVolOccDay& day, int t, int& f) const = 0;
  // Flag of a row without accepted days; raw tells whether it is an element flag.
  virtual int NoDayFlag(bool singleInterval, bool& raw) const = 0;

  // True when the row stands for one interval of one day (P below 2, fewer than 2 days).
  bool SingleInterval() const { return m_periodLen < 2 && m_groupDays < 2; }

  const NewSettings& m_s;
  const SSpeedParams& m_speed;
  int m_periodLen = 0;
  int m_groupDays = 0;
  int64_t m_volume = 0, m_occupancy = 0, m_speedSum = 0, m_length = 0, m_periods = 0, m_validity = 0;
  int m_accepted = 0;
  int m_flag = 0;
  bool m_flagRaw = false;
};
