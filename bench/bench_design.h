// New view designs for the benchmarks: the model's counts and report layout worked out once its
// dates, elements, contents, period and format are set, as the view does before a run.
#pragma once

#include "app/newview/new_model.h"

// A listing puts Element, Date and Time in the rows and Data Content across; otherwise the
// elements go down the rows and the dates across.
inline void LayOutBenchDesign(CNewReportModel& m, bool listing) {
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.PeriodsPerDay();
  m.CountContentPerKind();
  if (listing) {
    for (int key : {GK_ELEMENT, GK_DATE, GK_TIME}) m.MoveToList(key, m.m_lstRows, m.m_lstCols, nullptr);
    m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr);
  } else {
    m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
    m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
  }
  m.RecomputeReportLayout();
}
