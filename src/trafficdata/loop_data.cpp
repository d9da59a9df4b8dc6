#include "trafficdata/loop_data.h"
#include "trafficdata/report_text.h"

#include <new>

#include "trafficdata/db_record.h"

namespace {

class CLoopSlot : public CVolOccSlot {
 public:
  using CVolOccSlot::CVolOccSlot;

 protected:
  int FoldFlag(int current, int f) const override { return FoldLoopFlag(current, f); }

  // The interval code of a finer-layout day; a five-minute day has no single-interval flag.
  bool RawFlag(const CVolOccDay& day, int t, int& f) const override {
    if (!day.IsFine() || t < 0 || t >= day.Count()) return false;
    f = day.FlagAt(t);
    return true;
  }

  // "Bad Loop" for a single interval without data, otherwise "All Bad Data".
  int NoDayFlag(bool singleInterval, bool& raw) const override {
    raw = singleInterval;
    return singleInterval ? 7 : 0;
  }
};

}  // namespace

int FoldLoopFlag(int current, int f) {
  if (f == current) return current;
  if (f != 1 && (current == 0 || current > 2)) return f == 2 ? 2 : 3;
  return 2;
}

CLoopData::CLoopData(int dayCount, CDBElementEx* elem, int ord) : CVolOccData(dayCount, elem, ord) {
  for (int d = 0; d < days.m_nSize; ++d) days.m_pData[d] = new (std::nothrow) CLoopDay();
  nDays = days.m_nSize;
}

CLoopData::~CLoopData() = default;

CElementDay* CLoopData::NewDay() const { return new (std::nothrow) CLoopDay(); }

void CLoopData::Clone(CElementData** out) const {
  if (out) *out = new (std::nothrow) CLoopData(*this);
}

bool CLoopData::BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CLoopSlot slot(s, speed);
  return BuildPeriodRows(*this, s, run, rs, slot);
}

bool CLoopData::BuildPeakRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) {
  CLoopSlot slot(s, speed);
  return BuildPeakRows(*this, s, run, rs, slot);
}

void CLoopData::WriteMultiDayTitle(CText& text, int format) const {
  text += format == 1 ? "\t---Multi-Day Loop Summary Report---\n\n" : "     ---Multi-Day Loop Summary Report---\n\n";
}

void CLoopData::WriteMultiDayHeader(CText& text, int format) const {
  text += format == 1 ? "\tSummary\tValid\tVol\tOcc\tG\tS\tB\tD\tVal\tInv\tMis\n"
                      : "     Summary   Valid     Vol   Occ        G      S      B      D   Val Inv Mis\n"
                        "     -------------------------------------------------------------------------\n";
}

void WriteLoopMultiDayLine(CText& text, int format, int kind, const SMultiDaySummary& m, int val, int inv, int mis) {
  WriteVolOccMultiDayLine(text, format, kind, m, val, inv, mis, /*withDisabled=*/true);
}

void CLoopData::WriteMonthlyLine(CText& text, int kind, int month, int weekday, const ClassicSettings& s) const {
  SMultiDaySummary m = MonthlySummary(*this, kind, month, weekday, s);
  WriteLoopMultiDayLine(text, s.multiFormat, kind, m, m.nValid, m.nInvalid, m.nMissing);
}

void CLoopData::WriteYearlyLine(CText& text, int kind, int weekday, const ClassicSettings& s) const {
  SMultiDaySummary m = YearlySummary(*this, kind, weekday, s);
  WriteLoopMultiDayLine(text, s.multiFormat, kind, m, m.nValid, m.nInvalid, 0);
}

void CLoopData::WriteAverageLine(CText& text, int averageKind, int kind, const ClassicSettings& s) const {
  SMultiDaySummary m = AverageSummary(*this, averageKind, kind, s);
  WriteLoopMultiDayLine(text, s.multiFormat, kind, m, m.nValid, m.nInvalid, 0);
}
