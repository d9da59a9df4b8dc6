#include "app/shell/app_globals.h"

namespace {
// The cut-over date, valid only when it survives the conversion to the date value and back.
CDateTimeEx MakeCutoverDate() {
  CDateTimeEx d(1993, 6, 1);
  if (d.IsValid()) {
    SYSTEMTIME t{};
    if (!d.GetAsSystemTime(t) || t.wYear != 1993 || t.wMonth != 6 || t.wDay != 1 || t.wHour != 0 ||
        t.wMinute != 0 || t.wSecond != 0)
      d.SetStatus(COleDateTime::invalid);
  }
  return d;
}
}  // namespace

const CDateTimeEx g_PeCutoverDate = MakeCutoverDate();
CPeValidSettings g_PeValid;

bool IsPeDay(const CDateTimeEx& day) {
  return day.IsValid() && g_PeCutoverDate.IsValid() && g_PeCutoverDate.m_dt > day.m_dt;
}

PeValidity CPeValidSettings::Get() const {
  PeValidity v;
  v.peak1Start = PEAK1_START.load(std::memory_order_relaxed);
  v.peak1End = PEAK1_END.load(std::memory_order_relaxed);
  v.peak2Start = PEAK2_START.load(std::memory_order_relaxed);
  v.peak2End = PEAK2_END.load(std::memory_order_relaxed);
  v.peakMin = VOL_GOOD_PEAK_MIN.load(std::memory_order_relaxed);
  v.peakMax = VOL_GOOD_PEAK_MAX.load(std::memory_order_relaxed);
  v.offMin = VOL_GOOD_OFF_PEAK_MIN.load(std::memory_order_relaxed);
  v.offMax = VOL_GOOD_OFF_PEAK_MAX.load(std::memory_order_relaxed);
  return v;
}

void CPeValidSettings::Set(const PeValidity& v) {
  PEAK1_START.store(v.peak1Start, std::memory_order_relaxed);
  PEAK1_END.store(v.peak1End, std::memory_order_relaxed);
  PEAK2_START.store(v.peak2Start, std::memory_order_relaxed);
  PEAK2_END.store(v.peak2End, std::memory_order_relaxed);
  VOL_GOOD_PEAK_MIN.store(v.peakMin, std::memory_order_relaxed);
  VOL_GOOD_PEAK_MAX.store(v.peakMax, std::memory_order_relaxed);
  VOL_GOOD_OFF_PEAK_MIN.store(v.offMin, std::memory_order_relaxed);
  VOL_GOOD_OFF_PEAK_MAX.store(v.offMax, std::memory_order_relaxed);
}
