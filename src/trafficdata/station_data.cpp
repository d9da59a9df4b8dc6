#include "trafficdata/station_data.h"
#include "trafficdata/report_text.h"

#include <new>

#include "trafficdata/db_record.h"

namespace {

class CStationSlot : public CVolOccSlot {
 public:
  using CVolOccSlot::CVolOccSlot;

 protected:
  int FoldFlag(int current, int f) const override { return FoldStationFlag(current, f); }

  // The good bit of a finer-layout interval; a five-minute day has no single-interval flag.
  bool RawFlag(const CVolOccDay& day, int t, int& f) const override {
    if (!day.IsFine() || t < 0 || t >= day.Count()) return false;
    f = day.FlagAt(t);
    return true;
  }

  int NoDayFlag(bool, bool& raw) const override {
    raw = false;
    return 0;  // "All Bad Data"
  }
};

}  // namespace

int FoldStationFlag(int current, int f) {
  if (f == current) return current;
  return current == 4 ? f : 2;
}

CStationData::CStationData(int dayCount, CDBElementEx* elem, int ord) : CVolOccData(dayCount, elem, ord) {
  for (int d = 0; d < days.m_nSize; ++d) days.m_pData[d] = new (std::nothrow) CStationDay();
  nDays = days.m_nSize;
}

CStationData::~CStationData() = default;

CElementDay* CStationData::NewDay() const { return new (std::nothrow) CStationDay(); }

void CStationData::Clone(CElementData** out) const {
  if (out) *out = new (std::nothrow) CStationData(*this);
}

bool CStationData::BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CStationSlot slot(s, speed);
  return BuildPeriodRows(*this, s, run, rs, slot);
}

bool CStationData::BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CStationSlot slot(s, speed);
  return BuildPeakRows(*this, s, run, rs, slot);
}

void CStationData::WriteMultiDayTitle(CText& text, int format) const {
  text += format == 1 ? "\t---Multi-Day Station Summary Report---\n\n" : "     ---Multi-Day Station Summary Report---\n\n";
}

void CStationData::WriteMultiDayHeader(CText& text, int format) const {
  text += format == 1 ? "\tSummary\tValid\tVol\tOcc\tG\tS\tB\tVal\tInv\tMis\n"
                      : "     Summary   Valid     Vol   Occ        G      S      B   Val Inv Mis\n"
                        "     ------------------------------------------------------------------\n";
}

void WriteStationMultiDayLine(CText& text, int format, int kind, const SMultiDaySummary& m, int val, int inv,
                              int mis) {
  WriteVolOccMultiDayLine(text, format, kind, m, val, inv, mis, /*withDisabled=*/false);
}

void CStationData::WriteMonthlyLine(CText& text, int kind, int month, int weekday, const ClassicSettings& s) const {
  SMultiDaySummary m = MonthlySummary(*this, kind, month, weekday, s);
  WriteStationMultiDayLine(text, s.multiFormat, kind, m, m.nValid, m.nInvalid, m.nMissing);
}

void CStationData::WriteYearlyLine(CText& text, int kind, int weekday, const ClassicSettings& s) const {
  SMultiDaySummary m = YearlySummary(*this, kind, weekday, s);
  WriteStationMultiDayLine(text, s.multiFormat, kind, m, m.nValid, m.nInvalid, 0);
}

void CStationData::WriteAverageLine(CText& text, int averageKind, int kind, const ClassicSettings& s) const {
  SMultiDaySummary m = AverageSummary(*this, averageKind, kind, s);
  WriteStationMultiDayLine(text, s.multiFormat, kind, m, m.nValid, m.nInvalid, 0);
}
