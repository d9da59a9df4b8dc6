// Helpers of the New view tests: selections built in place of the dialogs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/newview/new_model.h"
#include "trafficdata/view_settings.h"

// Where a test places Element Type.
constexpr int NFG_ROWS_FOR_TEST = 1;
constexpr int NFG_SEPS_FOR_TEST = 2;

namespace newview_test {

inline void SetDates(CNewReportModel& m, const std::vector<CDateTimeEx>& dates) {
  m.m_arrDates.RemoveAll();
  for (const auto& d : dates) m.m_arrDates.Add(d);
  m.m_nDates = m.m_arrDates.m_nSize;
}

// Adds an element on a cabinet of that id (made on first use, on roadway "I-5").
inline CDBElementEx* AddElement(CNewReportModel& m, const char* cabinet, const char* name, int type,
                                const char* location = "Place", int milepost = 100) {
  if (m.m_arrRoadways.m_nSize == 0) m.m_arrRoadways.Add(CDBRoadway("I-5"));
  CDBCabinet* cab = nullptr;
  for (int i = 0; i < m.m_arrCabinets.m_nSize; ++i)
    if (std::string(m.m_arrCabinets.m_pData[i]->id) == cabinet) cab = m.m_arrCabinets.m_pData[i];
  if (cab == nullptr) {
    int i = m.m_arrCabinets.Add(CDBCabinet(cabinet, cabinet, milepost, location, m.m_arrRoadways.m_pData[0]));
    cab = m.m_arrCabinets.m_pData[i];
  }
  int i = m.m_arrElements.Add(CDBElementEx(name, type, cab));
  m.m_nElements = m.m_arrElements.m_nSize;
  return m.m_arrElements.m_pData[i];
}

inline std::vector<int> Keys(const CGrpTypeList& list) {
  std::vector<int> keys;
  for (int i = 0; i < list.Count(); ++i) keys.push_back(list.At(i)->key);
  return keys;
}

}  // namespace newview_test
