#include "trafficdata/metered_lane_data.h"

#include <new>

#include "trafficdata/db_record.h"
#include "trafficdata/meter_status.h"
#include "trafficdata/peak_windows.h"
#include "trafficdata/row_builder.h"
#include "trafficdata/station_data.h"

namespace {

class CMeteredLaneSlot : public CRowSlot {
 public:
  explicit CMeteredLaneSlot(const NewSettings& s) : m_s(s) {}

  void Begin(int, int, int, int) override {
    m_rate = m_red = m_periods = m_validity = 0;
    m_status = trafficdata::kMeterStatusNone;
    m_accepted = 0;
    m_flag = 0;
  }

  bool AddDay(CElementDay& element, int t, int L) override {
    CMeteredLaneDay* day = dynamic_cast<CMeteredLaneDay*>(&element);
    if (!day) return false;
    const int m = m_s.method;
    trafficdata::MeteredLaneDayView v = day->View();
    const uint32_t validity = v.GetSpanValidity(t, L, m);
    if (m_s.minValidityOn && static_cast<int64_t>(validity) < m_s.minValidity) return false;
    const auto& c = m_s.content;
    if (c[CC_METER_RATE]) m_rate += v.GetSpanRate(t, L, m);
    if (c[CC_RED_VIOLATORS]) m_red += v.GetSpanRedViolators(t, L, m);
    if (c[CC_PERIODS]) m_periods += v.GetSpanPeriods(t, L, m);
    if (c[CC_METER_STATUS]) {
      int status = v.GetSpanMeterStatus(t, L, m);
      if (status != m_status) m_status = trafficdata::CombineMeterStatus(m_status, status);
    }
    m_validity += validity;
    int f = v.GetSpanFlag(t, L, m);
    m_flag = m_accepted == 0 ? f : FoldStationFlag(m_flag, f);
    ++m_accepted;
    return true;
  }

  int64_t PeakValue(CElementDay& element, int start, int length) override {
    CMeteredLaneDay* day = dynamic_cast<CMeteredLaneDay*>(&element);
    return day ? day->View().GetSpanRate(start, length, m_s.method) : 0;
  }

  void PeakValues(CElementDay& element, int first, int last, int length, int64_t* out) override {
    if (CMeteredLaneDay* day = dynamic_cast<CMeteredLaneDay*>(&element))
      trafficdata::MeteredLanePeakRates(day->View(), first, last, length, m_s.method, out);
    else
      CRowSlot::PeakValues(element, first, last, length, out);
  }

  bool Emit(const CDBRecord& proto, CDBRecordset& out) override {
    const int order[7] = {CC_METER_RATE, CC_RED_VIOLATORS, CC_PERIODS, CC_METER_STATUS,
                          CC_VALIDITY,   CC_VALID_FLAG,    CC_NDAYS};
    for (int code : order) {
      if (!m_s.content[code]) continue;
      CDBRecord row(proto);
      row.word[RW_CONTENT] = code;
      int value = 0;
      switch (code) {
        case CC_METER_RATE: value = RowMean(m_rate, m_accepted); break;
        case CC_RED_VIOLATORS: value = RowMean(m_red, m_accepted); break;
        case CC_PERIODS: value = RowMean(m_periods, m_accepted); break;
        case CC_VALIDITY: value = RowMean(m_validity, m_accepted); break;
        // Without accepted days both read 0: "Meter Off" and "All Bad Data".
        case CC_METER_STATUS: value = m_accepted > 0 ? m_status : 0; break;
        case CC_VALID_FLAG: value = m_accepted > 0 ? m_flag : 0; break;
        case CC_NDAYS: value = m_accepted; break;
      }
      row.word[RW_VALUE] = value;
      if (!out.AddRecord(row)) return false;
    }
    return true;
  }

 private:
  const NewSettings& m_s;
  int64_t m_rate = 0, m_red = 0, m_periods = 0, m_validity = 0;
  int m_status = trafficdata::kMeterStatusNone;
  int m_accepted = 0;
  int m_flag = 0;
};

}  // namespace

CMeteredLaneData::CMeteredLaneData(int dayCount, CDBElementEx* elem, int ord) : CElementData(dayCount, elem, ord) {
  for (int d = 0; d < days.m_nSize; ++d) days.m_pData[d] = new (std::nothrow) CMeteredLaneDay();
  nDays = days.m_nSize;
}

CMeteredLaneData::~CMeteredLaneData() = default;

CElementDay* CMeteredLaneData::NewDay() const { return new (std::nothrow) CMeteredLaneDay(); }

void CMeteredLaneData::Clone(CElementData** out) const {
  if (out) *out = new (std::nothrow) CMeteredLaneData(*this);
}

bool CMeteredLaneData::BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CMeteredLaneSlot slot(s);
  return BuildPeriodRows(*this, s, run, rs, slot);
}

bool CMeteredLaneData::BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CMeteredLaneSlot slot(s);
  return BuildPeakRows(*this, s, run, rs, slot);
}
