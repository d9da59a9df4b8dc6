#include "app/shell/element_loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/shell/app_globals.h"
#include "app/shell/worker_ids.h"
#include "platform/base/errors.h"
#include "platform/ui/wnd.h"
#include "support/io_object.h"

namespace {
constexpr int32_t kPeriodsUnknown = 0x7FFFFFFF;

// Copies at most `n` characters of `text` from `offset` on (fewer when the text is shorter).
std::string Part(const char* text, size_t length, size_t offset, size_t n) {
  if (offset >= length) return std::string();
  return std::string(text + offset, std::min(n, length - offset));
}

int FindOrAddRoadway(CRoadwayTree& R, const CDBRoadway& roadway) {
  for (int i = 0; i < R.m_nSize; ++i)
    if (R.m_pData[i]->Compare(roadway) == 0) return i;
  return R.Add(roadway);
}

// Index of the cabinet in the sorted list, inserted at its place when absent; `inserted` tells.
int FindOrInsertCabinet(CObjArray<CDBCabinet>& list, const CDBCabinet& cabinet, bool& inserted) {
  int lo = 0, hi = list.m_nSize;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    const int c = list.m_pData[mid]->Compare(cabinet);
    if (c == 0) {
      inserted = false;
      return mid;
    }
    if (c < 0) lo = mid + 1;
    else hi = mid;
  }
  inserted = true;
  return list.InsertAt(lo, cabinet) >= 0 ? lo : -1;
}

// False when the element is absent and cannot be inserted (out of memory).
bool InsertElement(CObjArray<CDBElementEx>& list, const CDBElementEx& element) {
  int lo = 0, hi = list.m_nSize;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    const int c = list.m_pData[mid]->Compare(element);
    if (c == 0) return true;
    if (c < 0) lo = mid + 1;
    else hi = mid;
  }
  return list.InsertAt(lo, element) >= 0;
}

// Steps 5-7 of adding one element: parallel arrays grown, the cabinet placed in K[i] (with an empty
// element list at the same place in E[i]), the element placed in E[i][j]. False when memory ran
// out (also for the roadway, i < 0): the trees then lack something.
bool AddToTrees(int i, CDBCabinet& working, const std::string& elementName, int elementType, CRoadwayTree& R,
                CCabinetTree& K, CElementTree& E) {
  if (i < 0) return false;
  while (K.m_nSize < R.m_nSize)
    if (K.AddEmpty() < 0) return false;
  while (E.m_nSize < R.m_nSize)
    if (E.AddEmpty() < 0) return false;
  working.roadway = R.m_pData[i];
  CObjArray<CDBCabinet>& cabinets = *K.m_pData[i];
  CObjArray<CObjArray<CDBElementEx>>& elements = *E.m_pData[i];
  bool inserted = false;
  const int j = FindOrInsertCabinet(cabinets, working, inserted);
  if (j < 0) return false;
  if ((inserted || elements.m_nSize < cabinets.m_nSize) && elements.InsertEmptyAt(j) < 0) return false;
  CDBElementEx element(elementName.c_str(), elementType, cabinets.m_pData[j]);
  return InsertElement(*elements.m_pData[j], element);
}

// The route is set first: a copy that ran past the name would show in it.
void SetRoadway(CDBRoadway& roadway, const char* name, int route) {
  roadway.route = route;
  std::memset(roadway.name, 0, sizeof roadway.name);
  std::strncpy(roadway.name, name, sizeof roadway.name - 1);
}

bool IsOneOf(int value, std::initializer_list<int> list) {
  for (int v : list)
    if (v == value) return true;
  return false;
}
}  // namespace

void DefaultLoadErrorHook(const char* text, DWORD error, void*) { CIOObject::PrintErrorText(error, text); }

CElementLoader::~CElementLoader() { StopLoad(); }

bool CElementLoader::ElementTypeOfWord(int typeWord, bool aliasLayout, int& elementType, uint8_t& maskBit) {
  switch (typeWord) {
    case 80: case 92: elementType = ET_LOOP; maskBit = kMaskLoops; break;
    case 84: case 96: elementType = ET_STATION; maskBit = kMaskStations; break;
    case 88: case 100: elementType = ET_SPEED_TRAP; maskBit = kMaskSpeedTraps; break;
    case 261: elementType = ET_RATE_STATUS; maskBit = kMaskMeteredLanes; break;
    default: return false;
  }
  return !aliasLayout || typeWord == 92 || typeWord == 96 || typeWord == 100;
}

void CElementLoader::UnknownCabinetRoadway(const char* cabinetId, CDBRoadway& roadway) {
  char digits[4] = {};
  std::strncpy(digits, cabinetId != nullptr ? cabinetId : "", 3);
  const int route = std::atoi(digits);
  char name[32];
  if (IsOneOf(route, {5, 82, 84, 90, 182, 205, 405, 705})) std::snprintf(name, sizeof name, "I-%i", route);
  else if (IsOneOf(route, {2, 12, 26, 97, 101, 195, 197, 295, 395, 730, 830})) std::snprintf(name, sizeof name, "US %i", route);
  else std::snprintf(name, sizeof name, "SR %i", route);
  SetRoadway(roadway, name, route);
}

bool CElementLoader::BuildFmdbTree(CFMDBInput& day, CFMDBInputDesc& list, CRoadwayTree& R, CCabinetTree& K,
                                   CElementTree& E, uint8_t mask) {
  const CNTSODB& db = day.m_Database;
  const bool aliasLayout = db.m_nLayout == 0;
  for (int n = 0; n < db.m_Entries.m_nSize; ++n) {
    const CNTSO& entry = *db.m_Entries.m_pData[n];
    int type = ET_NONE;
    uint8_t bit = 0;
    if (!ElementTypeOfWord(entry.m_wType, aliasLayout, type, bit) || (mask & bit) == 0) continue;
    const char* name = entry.GetName();
    const size_t length = entry.GetNameLength();
    const std::string key = Part(name, length, 0, aliasLayout ? 7 : 10);
    const std::string elementName = Part(name, length, aliasLayout ? 8 : 11, 7);
    CDBCabinet* known = aliasLayout ? list.FindCabinetByAlias(key.c_str()) : list.FindCabinetById(key.c_str());
    CDBCabinet working;
    int i;
    if (known != nullptr && known->roadway != nullptr) {
      i = FindOrAddRoadway(R, *known->roadway);
      working = *known;
    } else if (!aliasLayout) {
      CDBRoadway roadway;
      UnknownCabinetRoadway(key.c_str(), roadway);
      i = FindOrAddRoadway(R, roadway);
      const int milepost = key.size() > 5 ? std::atoi(key.c_str() + 5) : 0;
      working = CDBCabinet(key.c_str(), "", milepost, "Unknown", nullptr);
    } else {
      CDBRoadway roadway;
      SetRoadway(roadway, "NoID", 0);
      i = FindOrAddRoadway(R, roadway);
      const std::string id = "NIDes00" + Part(key.c_str(), key.size(), 3, 3);
      working = CDBCabinet(id.c_str(), key.c_str(), 0, "Unknown", nullptr);
    }
    if (!AddToTrees(i, working, elementName, type, R, K, E)) return false;
  }
  return true;
}

bool CElementLoader::BuildPeTree(CPEInput& day, CPEInputDesc& list, CRoadwayTree& R, CCabinetTree& K,
                                 CElementTree& E) {
  for (int n = 0; n < day.m_Names.m_nSize; ++n) {
    const CPEInputName& detector = *day.m_Names.m_pData[n];
    CDBCabinet* known = list.FindCabinetByAlias(detector.m_szAlias);
    if (known == nullptr || known->roadway == nullptr) continue;
    const int i = FindOrAddRoadway(R, *known->roadway);
    CDBCabinet working(*known);
    if (!AddToTrees(i, working, detector.m_szName, ET_LOOP, R, K, E)) return false;
  }
  return true;
}

void CElementLoader::ClearTrees() {
  m_Elements.RemoveAll();
  m_Cabinets.RemoveAll();
  m_Roadways.RemoveAll();
}

DWORD CElementLoader::StartLoad(const CObjArray<CDateTimeEx>& dates, uint8_t mask) {
  if (m_thread != nullptr) StopLoad();
  m_bLoadFailed = 1;
  m_nPeriods = kPeriodsUnknown;
  m_nMask = mask;
  if (dates.m_nSize == 0) {
    // Nothing to walk: the load ends at once as one in which no day loaded.
    OnLoadReset();
    ClearTrees();
    PostNotice(static_cast<int32_t>(kLoadStopped));
    return 0;
  }
  m_StartDate = *dates.m_pData[0];
  m_EndDate = *dates.m_pData[dates.m_nSize - 1];
  m_stop.reset(new (std::nothrow) Event(true, false));
  m_done.reset(new (std::nothrow) Event(true, false));
  m_started.reset(new (std::nothrow) Event(false, false));
  m_thread.reset(new (std::nothrow) Thread());
  DWORD error = ERROR_NOT_ENOUGH_MEMORY;
  if (m_stop != nullptr && m_done != nullptr && m_started != nullptr && m_thread != nullptr)
    error = m_thread->Create([this]() -> DWORD {
      LoadDatesThread();
      return 0;
    });
  if (error != 0) {
    m_thread.reset();
    StopLoad();
    return error;
  }
  m_started->Wait(INFINITE);
  return 0;
}

DWORD CElementLoader::StartLoadMonth(int year, int month, uint8_t mask) {
  CObjArray<CDateTimeEx> dates;
  CDateTimeEx first(year, month, 1);
  if (!first.IsValid()) return StartLoad(dates, mask);
  CDateTimeEx last(year, month, 28);
  for (;;) {
    CDateTimeEx next(last + COleDateTimeSpan(1.0));
    if (!next.IsValid() || next.GetMonth() != month) break;
    last = next;
  }
  dates.Add(first);
  dates.Add(last);
  return StartLoad(dates, mask);
}

void CElementLoader::StopLoad() {
  if (m_stop != nullptr) m_stop->Set();
  if (m_thread != nullptr) {
    // The loader may be waiting for the answer to a disc request, which this thread serves.
    if (qav::ui::IsUiThread()) qav::ui::WaitServingSends([this] { return m_thread->Wait(0) == WAIT_OBJECT_0; }, INFINITE);
    m_thread->Join();
    m_thread.reset();
  }
  m_stop.reset();
  m_done.reset();
  m_started.reset();
}

bool CElementLoader::IsDone() const { return m_thread == nullptr || m_done == nullptr || m_done->IsSet(); }

void CElementLoader::WaitDone() {
  if (IsDone()) return;
  if (qav::ui::IsUiThread()) qav::ui::WaitServingSends([this] { return IsDone(); }, INFINITE);
  else m_done->Wait(INFINITE);
}

void CElementLoader::LoadDatesThread() {
  SetThreadName("CElemsDlg::LoadDatesThread");
  m_started->Set();
  CFileException record(CFileException::none, -1);
  try {
    if (LoadDates(record)) return;
  } catch (const std::bad_alloc&) {
  }
  // Trees that do not fit in memory: what was made goes, the load fails with the not-enough-memory
  // error, and the program goes on. The text names no file: what failed is memory, and the record
  // holds no name, or that of an earlier day.
  ClearTrees();
  m_bLoadFailed = 1;
  m_nPeriods = kPeriodsUnknown;
  // The hook may find no memory either; the load is done all the same, or the dialog would wait
  // for it for ever.
  try {
    if (m_pfnErrorHook != nullptr) m_pfnErrorHook("Element lists not loaded", ERROR_NOT_ENOUGH_MEMORY, m_pErrorContext);
  } catch (const std::bad_alloc&) {
  }
  m_done->Set();
  PostNotice(kPeriodsUnknown);
}

bool CElementLoader::LoadDates(CFileException& record) {
  OnLoadReset();
  ClearTrees();
  const COleDateTimeSpan oneDay(1.0);
  bool loaded = false;
  while (m_StartDate.IsValid() && m_EndDate.IsValid() && !(m_EndDate < m_StartDate)) {
    const EDayLoad r = LoadDay(m_StartDate, false, record);
    if (r == EDayLoad::kOutOfMemory) return false;
    if (r == EDayLoad::kLoaded) {
      loaded = true;
      break;
    }
    if (m_stop->Wait(0) != WAIT_TIMEOUT) {
      m_done->Set();
      PostNotice(kPeriodsUnknown);
      return true;
    }
    m_StartDate = CDateTimeEx(m_StartDate + oneDay);
  }
  if (loaded) {
    while (m_EndDate.IsValid() && m_StartDate < m_EndDate) {
      const EDayLoad r = LoadDay(m_EndDate, true, record);
      if (r == EDayLoad::kOutOfMemory) return false;
      if (r == EDayLoad::kLoaded) break;
      if (m_stop->Wait(0) != WAIT_TIMEOUT) {
        m_done->Set();
        PostNotice(kPeriodsUnknown);
        return true;
      }
      m_EndDate = CDateTimeEx(m_EndDate - oneDay);
    }
  }
  m_done->Set();
  PostNotice(m_nPeriods);
  return true;
}

CElementLoader::EDayLoad CElementLoader::LoadDay(const CDateTimeEx& day, bool backward, CFileException& record) {
  // A file that cannot be read for want of memory is no missing day: the load ends.
  auto failed = [&](const char* format) {
    if (record.m_lOsError == static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY)) return EDayLoad::kOutOfMemory;
    Report(format, record);
    return EDayLoad::kNotLoaded;
  };
  if (IsPeDay(day)) {
    CPEInputDesc list;
    if (!list.Read(day, &record)) return failed("Error opening input description file [%s]");
    CPEInput input;
    if (!input.Read(day, list, &record)) return failed("Error opening input file [%s]");
    if ((m_nMask & kMaskLoops) != 0 && !BuildPeTree(input, list, m_Roadways, m_Cabinets, m_Elements))
      return EDayLoad::kOutOfMemory;
    m_bLoadFailed = 0;
    m_nPeriods = 288;
    return EDayLoad::kLoaded;
  }
  CFMDBInputDesc list;
  // The day still loads without its device list, unless the list did not fit in memory.
  if (!list.Read(day, &record) && failed("Error opening input description file [%s]") == EDayLoad::kOutOfMemory)
    return EDayLoad::kOutOfMemory;
  CFMDBInput input;
  if (!input.Open(day, &record)) return failed("Error opening input file [%s]");
  if (!BuildFmdbTree(input, list, m_Roadways, m_Cabinets, m_Elements, m_nMask)) return EDayLoad::kOutOfMemory;
  m_bLoadFailed = 0;
  const auto columns = static_cast<int32_t>(input.m_Database.m_nColumns);
  if (!backward || columns < m_nPeriods) m_nPeriods = columns;
  return EDayLoad::kLoaded;
}

void CElementLoader::Report(const char* format, CFileException& record) {
  if (m_pfnErrorHook == nullptr) return;
  // Made without allocating: it also tells that memory ran out. A longer path is cut.
  char text[1024];
  std::snprintf(text, sizeof text, format, record.m_strFileName.c_str());
  m_pfnErrorHook(text, static_cast<DWORD>(record.m_lOsError), m_pErrorContext);
}

void CElementLoader::PostNotice(int32_t periods) {
  if (m_hNoticeWnd != nullptr && ::IsWindow(m_hNoticeWnd))
    ::PostMessage(m_hNoticeWnd, WM_ELEMENTS_LOADED, static_cast<WPARAM>(static_cast<uint32_t>(periods)), 0);
}
