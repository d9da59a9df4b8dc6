#include "app/newview/new_config.h"

#include <cstdio>

#include "app/shell/profile_store.h"

const char* const MAINNEW_SECTION = "MAINNEW";

namespace {

template <class T>
int IndexOf(const CObjArray<T>& arr, const T* p) {
  for (int i = 0; i < arr.m_nSize; ++i)
    if (arr.m_pData[i] == p) return i;
  return 0;
}

CGrpTypeList& ListOf(CNewReportModel& m, int which) {
  return which == NFG_COLS ? m.m_lstCols : (which == NFG_ROWS ? m.m_lstRows : m.m_lstSeps);
}

// Places a key read from a store; a key already placed is skipped.
void PlaceKey(CNewReportModel& m, CGrpTypeList& list, int key, bool ascending) {
  if (key < 0 || key >= GROUP_TYPES || m.IsPlaced(key)) return;
  CGrpType* t = m.m_lstSource.TakeType(key);
  t->ascending = ascending;
  list.Add(*t);
}

void ResetStructure(CNewReportModel& m) {
  m.m_lstCols.ListResetContent();
  m.m_lstRows.ListResetContent();
  m.m_lstSeps.ListResetContent();
  m.m_lstSource.ResetTypes();
  m.ExcludeTypes();
}

const char* const kListKeys[3][3] = {
    {"REP_NCOLS", "REP_COL%i_TYPE", "REP_COL%i_ASCEND"},
    {"REP_NROWS", "REP_ROW%i_TYPE", "REP_ROW%i_ASCEND"},
    {"REP_NSEPS", "REP_SEP%i_TYPE", "REP_SEP%i_ASCEND"},
};

int GetInt(IProfileStore& p, const char* key, int def) {
  return static_cast<int>(p.GetInt(MAINNEW_SECTION, key, def));
}

}  // namespace

void SnapshotConfig(const CNewReportModel& m, SNewConfig& c) {
  c = SNewConfig();
  c.outputPath = m.m_strOutputPath;
  c.outFormat = m.m_nOutFormat;
  c.reportType = m.m_nReportType;
  for (int i = 0; i < m.m_arrDates.m_nSize; ++i) c.dates.push_back(static_cast<double>(*m.m_arrDates.m_pData[i]));
  for (int i = 0; i < m.m_arrRoadways.m_nSize; ++i) c.roadways.emplace_back(m.m_arrRoadways.m_pData[i]->name);
  for (int i = 0; i < m.m_arrCabinets.m_nSize; ++i) {
    const CDBCabinet& cab = *m.m_arrCabinets.m_pData[i];
    c.cabinets.push_back({cab.id, cab.alias, cab.location, cab.milepost, IndexOf(m.m_arrRoadways, static_cast<const CDBRoadway*>(cab.roadway))});
  }
  for (int i = 0; i < m.m_arrElements.m_nSize; ++i) {
    const CDBElementEx& e = *m.m_arrElements.m_pData[i];
    c.elements.push_back({e.name, e.type, IndexOf(m.m_arrCabinets, static_cast<const CDBCabinet*>(e.cabinet))});
  }
  c.avgMethod = m.m_nAvgMethod;
  c.minValidity = m.m_nMinValidity;
  c.periodLen = m.m_nPeriodLen;
  c.sumMethod = m.m_nSumMethod;
  for (int i = 0; i < CONTENT_ITEMS; ++i) c.content[i] = m.m_bContent[i] != 0 ? 1 : 0;
  const CGrpTypeList* lists[3] = {&m.m_lstCols, &m.m_lstRows, &m.m_lstSeps};
  for (int l = 0; l < 3; ++l)
    for (int i = 0; i < lists[l]->Count(); ++i) c.lists[l].push_back({lists[l]->At(i)->key, lists[l]->At(i)->ascending});
}

int ApplyConfig(CNewReportModel& m, const SNewConfig& c, bool ng2) {
  m.m_arrElements.RemoveAll();
  m.m_arrCabinets.RemoveAll();
  m.m_arrRoadways.RemoveAll();
  m.m_arrDates.RemoveAll();
  for (double d : c.dates) m.m_arrDates.Add(CDateTimeEx(COleDateTime(d)));
  if (!c.dates.empty()) {
    for (const auto& r : c.roadways) m.m_arrRoadways.Add(CDBRoadway(r.c_str()));
    for (const auto& cab : c.cabinets)
      m.m_arrCabinets.Add(CDBCabinet(cab.id.c_str(), cab.alias.c_str(), cab.milepost, cab.location.c_str(),
                                     m.m_arrRoadways.m_pData[cab.roadway]));
    for (const auto& e : c.elements)
      m.m_arrElements.Add(CDBElementEx(e.name.c_str(), e.type, m.m_arrCabinets.m_pData[e.cabinet]));
  }
  m.m_strOutputPath = c.outputPath;
  m.m_nOutFormat = c.outFormat;
  m.m_nReportType = c.reportType;
  m.m_nAvgMethod = c.avgMethod;
  m.m_nMinValidity = c.minValidity;
  m.m_nPeriodLen = c.periodLen;
  m.m_nSumMethod = c.sumMethod;
  for (int i = 0; i < CONTENT_ITEMS; ++i) m.m_bContent[i] = c.content[i];
  m.ClampSettings(false);
  ResetStructure(m);
  for (int l = 0; l < 3; ++l) {
    for (const auto& k : c.lists[l]) PlaceKey(m, ListOf(m, l), k.key, k.ascending);
    ListOf(m, l).Refill();
  }
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.PeriodsPerDay();
  m.CountContentPerKind();
  m.RecomputeReportLayout();
  if (c.dates.empty()) return 0;
  return (ng2 && m.m_nReportType == RT_TRAVEL_TIME) ? 7 : 255;
}

void ReadProfileSettings(CNewReportModel& m, IProfileStore& p) {
  m.m_strOutputPath = p.GetString(MAINNEW_SECTION, "FILEPATH", "default.txt");
  m.m_nOutFormat = GetInt(p, "OUTFORMAT", 1);
  m.m_nAvgMethod = GetInt(p, "DAVG_OPT", 0);
  m.m_nMinValidity = GetInt(p, "DAVG_MINVALID", 0);
  m.m_nPeriodLen = GetInt(p, "PSUM_LEN", 1);
  m.m_nPeriodStep = GetInt(p, "PSUM_RES", 1);
  m.m_nSumMethod = GetInt(p, "PSUM_OPT", DEFAULT_SUM_METHOD);
  m.m_nReportType = GetInt(p, "RTYP_OPT", 0);
  for (int i = 0; i < CONTENT_ITEMS; ++i) m.m_bContent[i] = GetInt(p, g_ContentItems[i].key, 0);
  m.ClampSettings();
}

bool ReadProfileStructure(CNewReportModel& m, IProfileStore& p, std::string* reason) {
  char key[40];
  for (int l = 0; l < 3; ++l) {
    int n = GetInt(p, kListKeys[l][0], 0);
    for (int i = 0; i < n && i < GROUP_TYPES; ++i) {
      std::snprintf(key, sizeof key, kListKeys[l][1], i);
      int type = GetInt(p, key, 0);
      std::snprintf(key, sizeof key, kListKeys[l][2], i);
      PlaceKey(m, ListOf(m, l), type, GetInt(p, key, 1) != 0);
    }
  }
  int colKey = -1, rowKey = -1;
  const bool split = m.SplitGroup(&colKey, &rowKey);
  if (split) {
    if (reason != nullptr) *reason = SplitStructureReason(colKey, rowKey);
    ResetStructure(m);
  }
  for (int l = 0; l < 3; ++l) ListOf(m, l).Refill();
  return !split;
}

bool WriteProfile(const CNewReportModel& m, IProfileStore& p) {
  bool ok = true;
  auto wi = [&](const char* key, int v) { ok = p.WriteInt(MAINNEW_SECTION, key, v) && ok; };
  ok = p.WriteString(MAINNEW_SECTION, "FILEPATH", m.m_strOutputPath.c_str()) && ok;
  wi("OUTFORMAT", m.m_nOutFormat);
  wi("DAVG_OPT", m.m_nAvgMethod);
  wi("DAVG_MINVALID", m.m_nMinValidity);
  wi("PSUM_LEN", m.m_nPeriodLen);
  wi("PSUM_RES", m.m_nPeriodStep);
  wi("PSUM_OPT", m.m_nSumMethod);
  wi("RTYP_OPT", m.m_nReportType);
  for (int i = 0; i < CONTENT_ITEMS; ++i) wi(g_ContentItems[i].key, m.m_bContent[i] != 0 ? 1 : 0);
  const CGrpTypeList* lists[3] = {&m.m_lstCols, &m.m_lstRows, &m.m_lstSeps};
  char key[40];
  for (int l = 0; l < 3; ++l) {
    wi(kListKeys[l][0], lists[l]->Count());
    for (int i = 0; i < lists[l]->Count(); ++i) {
      std::snprintf(key, sizeof key, kListKeys[l][1], i);
      wi(key, lists[l]->At(i)->key);
      std::snprintf(key, sizeof key, kListKeys[l][2], i);
      wi(key, lists[l]->At(i)->ascending ? 1 : 0);
    }
  }
  return ok;
}
