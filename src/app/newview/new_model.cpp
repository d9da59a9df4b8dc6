#include "app/newview/new_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "trafficdata/view_settings.h"

namespace {

constexpr int64_t kSaturated = 0x7FFFFFFF;

int Saturate(int64_t v) { return static_cast<int>(std::min<int64_t>(std::max<int64_t>(v, 0), kSaturated)); }

int64_t MulSat(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  if (a > INT64_MAX / b) return INT64_MAX;
  return a * b;
}

// Whole days between two dates, rounded at half a second.
int64_t WholeDays(const CDateTimeEx& from, const CDateTimeEx& to) {
  double seconds = (static_cast<double>(to) - static_cast<double>(from)) * 86400.0;
  auto s = static_cast<int64_t>(std::llround(seconds));
  return s / 86400;
}

}  // namespace

std::string FormatPeriod(int v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02i:%02i:%02i", v / 180, (v % 180) / 3, (v % 3) * 20);
  return buf;
}

std::string FormatMinValidity(int v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%i.%i %%", v / 10, v % 10);
  return buf;
}

int64_t ParsePeriodSeconds(const std::string& text) {
  std::string digits;
  std::vector<size_t> colons;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
    else if (c == ':') colons.push_back(digits.size());
  }
  auto field = [&](size_t from, size_t to, int64_t& out) {
    out = 0;
    for (size_t i = from; i < to; ++i) {
      out = out * 10 + (digits[i] - '0');
      if (out > 100000000000LL) return false;  // beyond any period: overflow
    }
    return true;
  };
  int64_t h = 0, m = 0, s = 0;
  bool ok = true;
  if (colons.empty()) {
    ok = field(0, digits.size(), s);
  } else if (colons.size() == 1) {
    ok = field(0, colons[0], h) && field(colons[0], digits.size(), s);
  } else {
    size_t a = colons[colons.size() - 2], b = colons.back();
    ok = field(0, a, h) && field(a, b, m) && field(b, digits.size(), s);
  }
  if (!ok) return -1;
  return h * 3600 + m * 60 + s;
}

int ParseMinValidity(const std::string& text) {
  int digits = 0, point = -1;
  bool percent = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') ++digits;
    else if (c == '.') point = digits;
    else if (c == '%') percent = true;
  }
  if (digits == 0) return 0;
  int position = point >= 0 ? point : digits;
  int exponent = percent ? position : position + 2;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    int e = exponent--;
    if (e < 0) break;
    int d = c - '0';
    if (d == 0) continue;
    if (e > 4) return -1;  // at least 10000 tenths
    int64_t p = 1;
    for (int i = 0; i < e; ++i) p *= 10;
    value += d * p;
  }
  return value > 1000 ? -1 : static_cast<int>(value);
}

CNewReportModel::CNewReportModel() {
  FormatPeriodText();
  FormatMinValidityText();
}

CNewReportModel::~CNewReportModel() = default;

void CNewReportModel::CountElementsPerKind() {
  for (int& n : m_nElemsPerKind) n = 0;
  m_nElements = m_arrElements.m_nSize;
  for (int i = 0; i < m_nElements; ++i) {
    int t = m_arrElements.m_pData[i]->type;
    if (t >= 0 && t < ELEMENT_KINDS) ++m_nElemsPerKind[t];
  }
}

void CNewReportModel::CountContentPerKind() {
  for (int& n : m_nContentPerKind) n = 0;
  for (int c = 0; c < CONTENT_ITEMS; ++c) {
    if (!m_bContent[c] || !ContentApplies(c, m_nReportType)) continue;
    for (int k = 0; k < ELEMENT_KINDS; ++k)
      if (ContentAppliesToKind(c, k) && m_nElemsPerKind[k] > 0) ++m_nContentPerKind[k];
  }
}

void CNewReportModel::PeriodsPerDay() {
  if (IsPeakType(m_nReportType)) {
    m_nPeriodsPerDay = 1;
    return;
  }
  int len = std::clamp(m_nPeriodLen, 1, PERIOD_DAY);
  m_nPeriodsPerDay = (PERIOD_DAY + len - 1) / len;
}

void CNewReportModel::GroupSelectedDates() {
  m_arrDateGroups.RemoveAll();
  m_nDates = m_arrDates.m_nSize;
  int n = m_nDates;
  if (n == 0 || m_nAvgMethod < 0 || m_nAvgMethod > AVG_YEARLY) return;
  const CDateTimeEx* const* d = m_arrDates.m_pData;
  auto close = [&](CScalarArray<int>& g) {
    if (g.m_nSize > 0) m_arrDateGroups.Add(g);
    g.RemoveAll();
  };
  CScalarArray<int> group;
  if (m_nAvgMethod == AVG_NONE) {
    for (int i = 0; i < n; ++i) {
      group.Add(&i);
      close(group);
    }
    return;
  }
  if (m_nAvgMethod == AVG_MONTHLY_DOW || m_nAvgMethod == AVG_YEARLY_DOW) {
    CScalarArray<int> acc[7];
    bool byMonth = m_nAvgMethod == AVG_MONTHLY_DOW;
    for (int i = 0; i < n; ++i) {
      if (i > 0 && (d[i]->GetYear() != d[i - 1]->GetYear() || (byMonth && d[i]->GetMonth() != d[i - 1]->GetMonth())))
        for (auto& a : acc) close(a);
      int w = d[i]->GetDayOfWeek();
      acc[(w >= 1 && w <= 7) ? w - 1 : 0].Add(&i);
    }
    for (auto& a : acc) close(a);
    return;
  }
  { int first = 0; group.Add(&first); }
  for (int i = 1; i < n; ++i) {
    bool same;
    if (m_nAvgMethod == AVG_WEEKLY)
      same = WholeDays(*d[i - 1], *d[i]) < 7 && d[i]->GetDayOfWeek() >= d[i - 1]->GetDayOfWeek();
    else if (m_nAvgMethod == AVG_MONTHLY)
      same = d[i]->GetYear() == d[i - 1]->GetYear() && d[i]->GetMonth() == d[i - 1]->GetMonth();
    else
      same = d[i]->GetYear() == d[i - 1]->GetYear();
    if (!same) close(group);
    group.Add(&i);
  }
  close(group);
}

int CNewReportModel::TotalGroupedDates() const {
  int total = 0;
  for (int g = 0; g < m_arrDateGroups.m_nSize; ++g) total += m_arrDateGroups.m_pData[g]->m_nSize;
  return total;
}

void CNewReportModel::FormatPeriodText() { m_strPeriod = FormatPeriod(m_nPeriodLen); }
void CNewReportModel::FormatMinValidityText() { m_strMinValidity = FormatMinValidity(m_nMinValidity); }

void CNewReportModel::ApplyPeriodMax() {
  m_nPeriodMax = IsPeakType(m_nReportType) ? PERIOD_PEAK_MAX : PERIOD_DAY;
  if (m_nPeriodLen > m_nPeriodMax) m_nPeriodLen = m_nPeriodMax;
  FormatPeriodText();
}

void CNewReportModel::ClampSettings(bool withStep) {
  if (m_nOutFormat != 0 && m_nOutFormat != 1) m_nOutFormat = 1;
  if (m_nAvgMethod < 0 || m_nAvgMethod >= AVG_METHODS) m_nAvgMethod = AVG_NONE;
  if (m_nSumMethod < 0 || m_nSumMethod >= SUM_METHODS) m_nSumMethod = DEFAULT_SUM_METHOD;
  if (m_nReportType < 0 || m_nReportType >= REPORT_TYPES) m_nReportType = RT_NORMAL;
  if (m_nPeriodStep != 1 && m_nPeriodStep != FIVE_MINUTES) m_nPeriodStep = 1;
  m_nMinValidity = std::clamp(m_nMinValidity, 0, 1000);
  m_nPeriodMax = IsPeakType(m_nReportType) ? PERIOD_PEAK_MAX : PERIOD_DAY;
  m_nPeriodLen = std::clamp(m_nPeriodLen, withStep ? m_nPeriodStep : 1, m_nPeriodMax);
  for (int& c : m_bContent) c = c != 0 ? 1 : 0;
  FormatPeriodText();
  FormatMinValidityText();
}

bool CNewReportModel::ParsePeriodText(const std::string& text) {
  int64_t total = ParsePeriodSeconds(text);
  int64_t stepSeconds = static_cast<int64_t>(m_nPeriodStep) * 20;
  bool changed = false;
  if (total >= stepSeconds && total <= static_cast<int64_t>(m_nPeriodMax) * 20 && stepSeconds > 0) {
    int len = static_cast<int>(total / stepSeconds) * m_nPeriodStep;
    changed = len != m_nPeriodLen;
    m_nPeriodLen = len;
  }
  FormatPeriodText();
  return changed;
}

bool CNewReportModel::ParseMinValidityText(const std::string& text) {
  int v = ParseMinValidity(text);
  bool changed = v >= 0 && v != m_nMinValidity;
  if (v >= 0) m_nMinValidity = v;
  FormatMinValidityText();
  return changed;
}

bool CNewReportModel::StepPeriod(int delta) {
  if (delta < 0 && m_nPeriodLen < m_nPeriodMax) m_nPeriodLen = std::min(m_nPeriodLen + m_nPeriodStep, m_nPeriodMax);
  else if (delta > 0 && m_nPeriodLen > m_nPeriodStep) m_nPeriodLen -= m_nPeriodStep;
  else return false;
  FormatPeriodText();
  return true;
}

bool CNewReportModel::StepMinValidity(int delta) {
  if (delta < 0 && m_nMinValidity < 1000) ++m_nMinValidity;
  else if (delta > 0 && m_nMinValidity > 0) --m_nMinValidity;
  else return false;
  FormatMinValidityText();
  return true;
}

bool CNewReportModel::ElementsLoaded(int periodsPerDay) {
  if (periodsPerDay == 0x7FFFFFFF) return false;
  if (periodsPerDay != 288) {
    m_nPeriodStep = 1;
    return false;
  }
  // Five-minute data: whole five-minute periods. A period read from a file while the step
  // already was 15 is rounded here too.
  m_nPeriodStep = FIVE_MINUTES;
  const int rounded = m_nPeriodLen >= FIVE_MINUTES ? m_nPeriodLen / FIVE_MINUTES * FIVE_MINUTES : FIVE_MINUTES;
  if (rounded == m_nPeriodLen) return false;
  m_nPeriodLen = rounded;
  FormatPeriodText();
  return true;
}

bool CNewReportModel::IsPlaced(int key) const {
  return m_lstCols.HasKey(key) || m_lstRows.HasKey(key) || m_lstSeps.HasKey(key);
}

bool CNewReportModel::MoveToList(int key, CGrpTypeList& target, const CGrpTypeList& other, int* conflict) {
  if (!m_lstSource.IsListed(key)) return false;
  int group = GroupTypeExclusivity(key);
  for (int i = 0; i < other.Count(); ++i) {
    if (GroupTypeExclusivity(other.At(i)->key) == group) {
      if (conflict != nullptr) *conflict = other.At(i)->key;
      return false;
    }
  }
  target.Add(*m_lstSource.TakeType(key));
  return true;
}

void CNewReportModel::MoveToSeps(int key) {
  if (!m_lstSource.IsListed(key)) return;
  m_lstSeps.Add(*m_lstSource.TakeType(key));
}

void CNewReportModel::RemoveFromList(CGrpTypeList& list, int index) {
  if (index < 0 || index >= list.Count()) return;
  int key = list.At(index)->key;
  m_lstSource.RestoreType(key);
  list.RemoveAt(index, 1);
  if (::IsWindow(list.m_hWnd)) list.SetCurSel(index);
}

void CNewReportModel::ExcludeKey(int key) {
  if (m_lstSource.IsListed(key)) {
    m_lstSource.RemoveType(key);
    return;
  }
  m_lstCols.RemoveKey(key);
  m_lstRows.RemoveKey(key);
  m_lstSeps.RemoveKey(key);
}

void CNewReportModel::ExcludeTypes() {
  if (IsPeakType(m_nReportType)) ExcludeKey(GK_TIME);
  uint16_t mask = AvgExcludedTypes(m_nAvgMethod);
  for (int k = 0; k < GROUP_TYPES; ++k)
    if ((mask >> k) & 1) ExcludeKey(k);
}

void CNewReportModel::ChangeAveraging(int newMethod) {
  uint16_t old = AvgExcludedTypes(m_nAvgMethod);
  for (int k = 0; k < GROUP_TYPES; ++k)
    if (((old >> k) & 1) && !IsPlaced(k)) m_lstSource.RestoreType(k);
  m_nAvgMethod = (newMethod >= 0 && newMethod < AVG_METHODS) ? newMethod : AVG_NONE;
  uint16_t now = AvgExcludedTypes(m_nAvgMethod);
  for (int k = 0; k < GROUP_TYPES; ++k)
    if ((now >> k) & 1) ExcludeKey(k);
  GroupSelectedDates();
  RecomputeReportLayout();
}

void CNewReportModel::ChangeReportType(int newType) {
  m_nReportType = (newType >= 0 && newType < REPORT_TYPES) ? newType : RT_NORMAL;
  if (IsPeakType(m_nReportType)) {
    m_nPeriodMax = PERIOD_PEAK_MAX;
    if (m_nPeriodLen > PERIOD_PEAK_MAX) {
      m_nPeriodLen = PERIOD_PEAK_MAX;
      FormatPeriodText();
    }
    ExcludeKey(GK_TIME);
  } else {
    m_nPeriodMax = PERIOD_DAY;
    if (!IsPlaced(GK_TIME)) m_lstSource.RestoreType(GK_TIME);
  }
  PeriodsPerDay();
  CountContentPerKind();
  RecomputeReportLayout();
}

int CNewReportModel::FirstPartialContent() const {
  for (int c = 0; c < CONTENT_ITEMS; ++c) {
    if (!m_bContent[c] || !ContentApplies(c, m_nReportType)) continue;
    for (int k = 0; k < ELEMENT_KINDS; ++k)
      if (m_nElemsPerKind[k] > 0 && !ContentAppliesToKind(c, k)) return c;
  }
  return -1;
}

bool CNewReportModel::SplitGroup(int* colKey, int* rowKey) const {
  std::vector<int> cols, rows;
  for (int i = 0; i < m_lstCols.Count(); ++i) cols.push_back(m_lstCols.At(i)->key);
  for (int i = 0; i < m_lstRows.Count(); ++i) rows.push_back(m_lstRows.At(i)->key);
  return SplitKeyPair(cols, rows, colKey, rowKey);
}

ESplitRule CNewReportModel::CheckSplitRule() {
  if (m_lstSource.IsListed(GK_CONTENT) || m_lstSource.IsListed(GK_ELEMENT)) return ESplitRule::Satisfied;
  if (FirstPartialContent() < 0) return ESplitRule::Satisfied;
  int found = -1;
  for (int i = 0; i < m_lstCols.Count() && found < 0; ++i) {
    int k = m_lstCols.At(i)->key;
    if (k == GK_CONTENT || k == GK_ELEMENT) found = k;
  }
  if (found < 0) return ESplitRule::Satisfied;
  if (!m_lstRows.HasKey(found == GK_CONTENT ? GK_ELEMENT : GK_CONTENT)) return ESplitRule::Satisfied;
  if (m_lstSource.IsListed(GK_ELEMENT_TYPE)) {
    m_lstSeps.Add(*m_lstSource.TakeType(GK_ELEMENT_TYPE));
    return ESplitRule::ElementTypeAdded;
  }
  return m_lstSeps.HasKey(GK_ELEMENT_TYPE) ? ESplitRule::Satisfied : ESplitRule::Refused;
}

void CNewReportModel::CompleteTime() {
  if (!IsPeakType(m_nReportType) && m_lstSource.IsListed(GK_TIME))
    m_lstSeps.Add(*m_lstSource.TakeType(GK_TIME));
}

void CNewReportModel::CompleteStructure(bool withTime) {
  if (withTime) CompleteTime();
  int keys[5] = {GK_CONTENT, GK_ELEMENT};
  int n = 2 + AvgCompletionTypes(m_nAvgMethod, keys + 2);
  for (int i = 0; i < n; ++i)
    if (m_lstSource.IsListed(keys[i])) m_lstSeps.Add(*m_lstSource.TakeType(keys[i]));
}

int64_t CNewReportModel::DateKeyValue(int dateIndex, int key) const {
  const CDateTimeEx& d = *m_arrDates.m_pData[dateIndex];
  bool ok = d.IsValid();
  int wday = ok ? d.GetDayOfWeek() : -1;
  switch (key) {
    case GK_DATE: return dateIndex;
    case GK_DAY_OF_WEEK: return wday;
    case GK_WEEK: return ((ok ? d.GetDayOfYear() : -1) - wday + 7) / 7;
    case GK_MONTH: return ok ? d.GetMonth() : -1;
    case GK_YEAR: return ok ? d.GetYear() : -1;
    default: return 0;
  }
}

void CNewReportModel::FillNewSettings(NewSettings& s) const {
  s.method = m_nSumMethod;
  s.minValidityOn = m_nAvgMethod != AVG_NONE;
  s.minValidity = m_nMinValidity;
  for (int c = 0; c < CONTENT_ITEMS; ++c) s.content[c] = m_bContent[c] != 0 && ContentApplies(c, m_nReportType);
  s.periodLen = m_nPeriodLen;
  s.reportType = m_nReportType;
  s.dates.clear();
  for (int i = 0; i < m_arrDates.m_nSize; ++i) s.dates.push_back(m_arrDates.m_pData[i]);
  s.groups.clear();
  for (int g = 0; g < m_arrDateGroups.m_nSize; ++g) {
    const CScalarArray<int>& grp = *m_arrDateGroups.m_pData[g];
    s.groups.emplace_back(grp.m_pData, grp.m_pData + grp.m_nSize);
  }
}

// ---- Layout estimate -------------------------------------------------------------------------

namespace {

using Tuple = std::vector<int64_t>;

struct SLists {
  std::vector<int> seps, rows, cols;
};

bool HasGroup(const std::vector<int>& keys, int group) {
  for (int k : keys)
    if (GroupTypeExclusivity(k) == group) return true;
  return false;
}

bool HasKey(const std::vector<int>& keys, int key) { return std::find(keys.begin(), keys.end(), key) != keys.end(); }

std::vector<int> KeysOf(const CGrpTypeList& list) {
  std::vector<int> keys;
  for (int i = 0; i < list.Count(); ++i) keys.push_back(list.At(i)->key);
  return keys;
}

// Distinct separator tuples, each with its distinct inner tuples; min and max inner counts.
struct STupleCount {
  std::map<Tuple, std::map<Tuple, bool>> reports;
  void Add(const Tuple& sep, const Tuple& inner) { reports[sep][inner] = true; }
  int64_t Reports() const { return static_cast<int64_t>(reports.size()); }
  int64_t Min() const {
    int64_t m = INT64_MAX;
    for (auto& [k, v] : reports) m = std::min<int64_t>(m, static_cast<int64_t>(v.size()));
    return reports.empty() ? 1 : m;
  }
  int64_t Max() const {
    int64_t m = 0;
    for (auto& [k, v] : reports) m = std::max<int64_t>(m, static_cast<int64_t>(v.size()));
    return reports.empty() ? 1 : m;
  }
};

}  // namespace

void CNewReportModel::RecomputeReportLayout() {
  SLists l{KeysOf(m_lstSeps), KeysOf(m_lstRows), KeysOf(m_lstCols)};
  auto unplaced = [&](int k) { return m_lstSource.IsListed(k) && !HasKey(l.seps, k); };
  // 1. Temporary completion of the separate reports.
  bool contentSplit = (HasKey(l.cols, GK_CONTENT) && HasKey(l.rows, GK_ELEMENT)) ||
                      (HasKey(l.rows, GK_CONTENT) && HasKey(l.cols, GK_ELEMENT));
  if (contentSplit && unplaced(GK_ELEMENT_TYPE) && FirstPartialContent() >= 0) l.seps.push_back(GK_ELEMENT_TYPE);
  if (!IsPeakType(m_nReportType) && unplaced(GK_TIME)) l.seps.push_back(GK_TIME);
  int completion[5] = {GK_CONTENT, GK_ELEMENT};
  int nc = 2 + AvgCompletionTypes(m_nAvgMethod, completion + 2);
  for (int i = 0; i < nc; ++i)
    if (unplaced(completion[i])) l.seps.push_back(completion[i]);

  // 3. Combinations.
  int64_t comb = 0;
  for (int k = 0; k < ELEMENT_KINDS; ++k) comb += static_cast<int64_t>(m_nElemsPerKind[k]) * m_nContentPerKind[k];
  m_nCombinations = Saturate(comb);

  int64_t reports = 1, colsLo = 1, colsHi = 1, rowsLo = 1, rowsHi = 1;
  auto mulRows = [&](int64_t lo, int64_t hi) { rowsLo = MulSat(rowsLo, lo); rowsHi = MulSat(rowsHi, hi); };
  auto mulCols = [&](int64_t lo, int64_t hi) { colsLo = MulSat(colsLo, lo); colsHi = MulSat(colsHi, hi); };

  // 5. Dates.
  int nDates = m_arrDates.m_nSize;
  if (nDates > 0) {
    int64_t groups = m_arrDateGroups.m_nSize;
    bool rowsD = HasGroup(l.rows, EX_DATES), colsD = HasGroup(l.cols, EX_DATES);
    if (!rowsD && !colsD) {
      reports = MulSat(reports, groups);
    } else {
      const std::vector<int>& inner = rowsD ? l.rows : l.cols;
      int64_t lo = groups, hi = groups, nrep = 1;
      if (HasGroup(l.seps, EX_DATES)) {
        STupleCount t;
        for (int i = 0; i < nDates; ++i) {
          Tuple sep, in;
          for (int k : l.seps)
            if (GroupTypeExclusivity(k) == EX_DATES) sep.push_back(DateKeyValue(i, k));
          for (int k : inner)
            if (GroupTypeExclusivity(k) == EX_DATES) in.push_back(DateKeyValue(i, k));
          t.Add(sep, in);
        }
        nrep = t.Reports();
        lo = t.Min();
        hi = t.Max();
      }
      reports = MulSat(reports, nrep);
      if (rowsD) mulRows(lo, hi);
      else mulCols(lo, hi);
    }
  }

  // 6. Elements and content.
  int nElems = m_arrElements.m_nSize;
  if (nElems > 0) {
    bool rowsE = HasGroup(l.rows, EX_ELEMENTS), rowsC = HasKey(l.rows, GK_CONTENT);
    bool colsE = HasGroup(l.cols, EX_ELEMENTS), colsC = HasKey(l.cols, GK_CONTENT);
    bool sepsE = HasGroup(l.seps, EX_ELEMENTS);
    int firstKind = m_arrElements.m_pData[0]->type;
    int64_t firstContent = (firstKind >= 0 && firstKind < ELEMENT_KINDS) ? m_nContentPerKind[firstKind] : 0;
    if (rowsE && rowsC && !sepsE) {
      mulRows(comb, comb);
    } else if (colsE && colsC && !sepsE) {
      mulCols(comb, comb);
    } else if (rowsE && colsC && !sepsE) {
      mulRows(nElems, nElems);
      mulCols(firstContent, firstContent);
    } else if (colsE && rowsC && !sepsE) {
      mulCols(nElems, nElems);
      mulRows(firstContent, firstContent);
    } else if (!rowsE && !rowsC && !colsE && !colsC) {
      reports = MulSat(reports, comb);
    } else {
      STupleCount rowT, colT;
      std::map<std::string, int64_t> locations;
      std::vector<int64_t> locationOf(static_cast<size_t>(nElems), -1);
      for (int e = 0; e < nElems; ++e) {
        auto [it, fresh] = locations.emplace(m_arrElements.m_pData[e]->CabinetLocation(), static_cast<int64_t>(locations.size()));
        locationOf[static_cast<size_t>(e)] = it->second;
      }
      auto value = [&](int key, int code, int e) -> int64_t {
        const CDBElementEx& el = *m_arrElements.m_pData[e];
        switch (key) {
          case GK_CONTENT: return code;
          case GK_ELEMENT: return e;
          case GK_ELEMENT_TYPE: return el.type;
          case GK_DIRECTION: return static_cast<unsigned char>(el.name[2]);
          case GK_CABINET: return static_cast<int64_t>(reinterpret_cast<intptr_t>(el.cabinet));
          case GK_LOCATION: return locationOf[static_cast<size_t>(e)];
          case GK_MILEPOST: return el.Milepost();
          case GK_ROADWAY:
            return static_cast<int64_t>(reinterpret_cast<intptr_t>(el.cabinet != nullptr ? el.cabinet->roadway : nullptr));
          default: return 0;
        }
      };
      auto tuple = [&](const std::vector<int>& keys, int code, int e) {
        Tuple t;
        for (int k : keys) {
          int g = GroupTypeExclusivity(k);
          if (g == EX_ELEMENTS || g == EX_CONTENT) t.push_back(value(k, code, e));
        }
        return t;
      };
      for (int c = 0; c < CONTENT_ITEMS; ++c) {
        if (!m_bContent[c] || !ContentApplies(c, m_nReportType)) continue;
        for (int e = 0; e < nElems; ++e) {
          if (!ContentAppliesToKind(c, m_arrElements.m_pData[e]->type)) continue;
          Tuple sep = tuple(l.seps, c, e);
          rowT.Add(sep, tuple(l.rows, c, e));
          colT.Add(sep, tuple(l.cols, c, e));
        }
      }
      if (rowT.Reports() > 0) {
        reports = MulSat(reports, rowT.Reports());
        mulRows(rowT.Min(), rowT.Max());
        mulCols(colT.Min(), colT.Max());
      }
    }
  }

  // 7. Time.
  int64_t ppd = m_nPeriodsPerDay;
  if (HasKey(l.rows, GK_TIME)) mulRows(ppd, ppd);
  else if (HasKey(l.cols, GK_TIME)) mulCols(ppd, ppd);
  else reports = MulSat(reports, ppd);

  m_nReports = Saturate(reports);
  m_nColsLo = Saturate(colsLo);
  m_nColsHi = Saturate(colsHi);
  m_nColsHiWide = colsHi;
  m_nRowsLo = Saturate(rowsLo);
  m_nRowsHi = Saturate(rowsHi);
}
