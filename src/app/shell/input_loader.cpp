#include "app/shell/input_loader.h"

#include <cstring>
#include <string>

#include "app/shell/app_globals.h"
#include "app/shell/element_data_factory.h"
#include "app/shell/worker_ids.h"
#include "archive/input.h"
#include "archive/input_desc.h"
#include "archive/ntso.h"
#include "platform/base/errors.h"
#include "support/stream.h"
#include "trafficdata/loop_day.h"

CElementDataSet::~CElementDataSet() {
  for (CElementData* d : m_items) delete d;
}

namespace {
constexpr DWORD kNameNotFound = 1168;

class CLoad {
 public:
  CLoad(const CAdrArray<CDBElementEx>& elements, const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
        RunControl& run)
      : m_elements(elements), m_days(days), m_poster(poster), m_run(run), m_pe(g_PeValid.Get()) {}

  std::unique_ptr<CElementDataSet> Run() {
    m_poster.Post(ID_WORKER_LOADING_INPUT, 0);
    auto set = std::make_unique<CElementDataSet>();
    const int nDays = m_days.m_nSize;
    set->m_items.reserve(static_cast<size_t>(m_elements.m_nSize));
    for (int e = 0; e < m_elements.m_nSize; ++e) {
      CDBElementEx* element = m_elements.m_pData[e];
      set->m_items.push_back(element != nullptr ? CreateElementData(element->type, nDays, element, e) : nullptr);
    }
    m_set = set.get();

    int k = 0;
    while (k < nDays && m_days.m_pData[k] != nullptr && IsPeDay(*m_days.m_pData[k])) ++k;
    if (!LoadPeDays(k)) return nullptr;
    for (int i = k; i < nDays; ++i) {
      LoadDatabaseDay(i);
      if (Cancelled()) return nullptr;
    }
    m_poster.Post(ID_WORKER_INPUT_LOADED, 0);
    return set;
  }

 private:
  bool Cancelled() {
    if (m_run.keepGoing()) return false;
    m_poster.Post(ID_WORKER_CANCELED, 0);
    return true;
  }

  void PostFailure(UINT id, const CDateTimeEx& day, DWORD error) {
    m_poster.Post(id, DayPayload(day));
    m_poster.Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(error));
  }

  // Days 0 .. k-1 are PE days. Each year's device list is read once, for the last PE day of that
  // year, and serves that year's days. False when the load was cancelled.
  bool LoadPeDays(int k) {
    int first = 0;
    while (first < k) {
      const int year = m_days.m_pData[first]->GetYear();
      int last = first;
      while (last + 1 < k && m_days.m_pData[last + 1]->GetYear() == year) ++last;
      CFileException record(CFileException::none, -1);
      CPEInputDesc desc;
      if (!desc.Read(*m_days.m_pData[last], &record)) {
        PostFailure(ID_WORKER_DESC_FILE_ERROR, *m_days.m_pData[last], static_cast<DWORD>(record.m_lOsError));
      } else {
        for (int i = first; i <= last; ++i) {
          LoadPeDay(i, desc);
          if (Cancelled()) return false;
        }
      }
      first = last + 1;
    }
    return true;
  }

  void LoadPeDay(int i, const CPEInputDesc& desc) {
    CFileException record(CFileException::none, -1);
    CPEInput input;
    if (!input.Read(*m_days.m_pData[i], desc, &record)) {
      PostFailure(ID_WORKER_DATA_FILE_ERROR, *m_days.m_pData[i], static_cast<DWORD>(record.m_lOsError));
      return;
    }
    const DWORD n = input.m_nColumns;
    for (int e = 0; e < m_set->Count(); ++e) {
      CElementData* data = m_set->At(e);
      CDBElementEx* element = m_elements.m_pData[e];
      if (data == nullptr || element->type != ET_LOOP) continue;
      const char* alias = element->cabinet != nullptr ? element->cabinet->alias : "";
      const DWORD column = input.FindColumn(element->name, alias);
      if (column == 0xFFFFFFFF || column >= n) continue;
      auto* day = static_cast<CLoopDay*>(data->Day(i));
      if (day == nullptr) continue;
      day->ResetPeriods();
      for (int p = 0; p < 288; ++p) {
        const BYTE vol = input.m_pVolume[static_cast<size_t>(p + 1) * n + column];
        const WORD occ = input.m_pOccupancy != nullptr ? input.m_pOccupancy[static_cast<size_t>(p) * n + column] : 0;
        day->SetPeriod(p, vol, occ, m_pe);
      }
    }
    input.Close();
  }

  void LoadDatabaseDay(int i) {
    if (m_days.m_pData[i] == nullptr) return;
    const CDateTimeEx& date = *m_days.m_pData[i];
    CFileException record(CFileException::none, -1);
    CFMDBInput input;
    if (!input.Open(date, &record)) {
      PostFailure(ID_WORKER_DATA_FILE_ERROR, date, static_cast<DWORD>(record.m_lOsError));
      return;
    }
    CNTSODB& db = input.m_Database;
    const int columns = static_cast<int>(db.m_nColumns);
    std::string key;
    for (int e = 0; e < m_set->Count(); ++e) {
      CElementData* data = m_set->At(e);
      if (data == nullptr) continue;
      const CDBElementEx* element = m_elements.m_pData[e];
      MakeKey(*element, db.m_nLayout == 0, key);
      int result = db.ReadColumns(m_buffer, key.c_str(), 0, columns);
      if (result == static_cast<int>(kNameNotFound)) continue;
      if (result == 0) result = CheckRecordSize(db, key, element->type, columns);
      if (result != 0) {
        PostFailure(ID_WORKER_RETRIEVAL_ERROR, date, static_cast<DWORD>(result));
        continue;
      }
      CElementDay* day = data->Day(i);
      if (day != nullptr) day->Load(m_buffer.m_pData, m_buffer.m_nSize, columns);
      m_run.addProgress(static_cast<uint32_t>(6 * columns));
    }
    db.Close();
  }

  // A name whose records are not of the size the element's type reads would be decoded as
  // garbage (or read past its data): it counts as a failed read of that element-day.
  static int CheckRecordSize(CNTSODB& db, const std::string& key, int type, int columns) {
    const CNTSO* entry = db.FindName(key.c_str());
    if (entry == nullptr) return 0;
    return entry->m_wRecordSize == ExpectedRecordSize(type, columns) ? 0 : static_cast<int>(ERROR_BAD_FORMAT);
  }

  static void MakeKey(const CDBElementEx& element, bool aliasLayout, std::string& key) {
    key.clear();
    if (element.cabinet != nullptr) {
      const char* text = aliasLayout ? element.cabinet->alias : element.cabinet->id;
      key.append(text, strnlen(text, aliasLayout ? 7 : 10));
    }
    key += ':';
    key.append(element.name, strnlen(element.name, 7));
  }

  const CAdrArray<CDBElementEx>& m_elements;
  const CAdrArray<CDateTimeEx>& m_days;
  IWorkerPoster& m_poster;
  RunControl& m_run;
  const PeValidity m_pe;
  CElementDataSet* m_set = nullptr;
  CStream m_buffer;  // one buffer for every element-day
};
}  // namespace

std::unique_ptr<CElementDataSet> LoadElementData(const CAdrArray<CDBElementEx>& elements,
                                                 const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
                                                 RunControl& run) {
  CLoad load(elements, days, poster, run);
  return load.Run();
}
