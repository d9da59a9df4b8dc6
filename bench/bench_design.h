// New view designs for the benchmarks: the model's counts and report layout worked out once its
// dates, elements, contents, period and format are set, as the view does before a run.
#pragma once

#include <string>

#include "app/newview/new_model.h"
#include "app/newview/report_file.h"

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

// A report file's status that only notes a failure, for runs whose messages nobody reads.
class CNoStatus : public IReportFileStatus {
 public:
  void PostWin32Error(DWORD) override { failed = true; }
  void PostOutFileError(const std::string&) override { failed = true; }
  void PostOutputTo(const std::string&) override {}
  bool failed = false;
};
