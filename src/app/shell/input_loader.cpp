#include "app/shell/input_loader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/shell/app_globals.h"
#include "app/shell/decode_pool.h"
#include "app/shell/element_data_factory.h"
#include "app/shell/worker_ids.h"
#include "archive/input.h"
#include "archive/input_desc.h"
#include "archive/ntso.h"
#include "platform/base/errors.h"
#include "support/stream.h"
#include "trafficdata/db_record.h"
#include "trafficdata/loop_day.h"

CElementDataSet::~CElementDataSet() {
  for (CElementData* d : m_items) delete d;
}

namespace {
constexpr DWORD kNameNotFound = 1168;

// Runs of items that the helpers can take: one item per element-day.
size_t RunsOfWork(const CAdrArray<CDBElementEx>& elements, const CAdrArray<CDateTimeEx>& days) {
  const size_t items = static_cast<size_t>(std::max(0, elements.m_nSize)) * static_cast<size_t>(std::max(0, days.m_nSize));
  return (items + CDecodePool::kItemsPerRun - 1) / CDecodePool::kItemsPerRun;
}

class CLoad : public CDecodePool::IRowMaker {
 public:
  CLoad(const CAdrArray<CDBElementEx>& elements, const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
        RunControl& run, const ValidityTables* summariesOnly, SRowsWhileLoading* rows)
      : m_elements(elements), m_days(days), m_poster(poster), m_run(run), m_pe(g_PeValid.Get()),
        m_summariesOnly(summariesOnly), m_rows(rows), m_pool(CDecodePool::DefaultThreads(RunsOfWork(elements, days)), summariesOnly, this) {}

  // On a helper: the element's rows of the groups whose days are all in, then the days that no
  // later group needs go.
  void MakeRows(CElementData& data, int e) override {
    CDBRecordset& out = *m_rows->rows[static_cast<size_t>(e)];
    bool built = m_rows->peak ? data.BuildPeakRecords(out, m_build, m_run) : data.BuildPeriodRecords(out, m_build, m_run);
    if (!built) m_rows->failed[static_cast<size_t>(e)] = 1;
    for (int d : m_dropDays) data.DropDay(d);
  }

  std::unique_ptr<CElementDataSet> Run() {
    m_poster.Post(ID_WORKER_LOADING_INPUT, 0);
    auto set = std::make_unique<CElementDataSet>();
    const int nDays = m_days.m_nSize;
    // The data objects are made on the helpers too: each makes its days.
    set->m_items.assign(static_cast<size_t>(m_elements.m_nSize), nullptr);
    PlanRows(nDays);
    CDecodePool::Batch& make = m_batches[0];
    for (int e = 0; e < m_elements.m_nSize; ++e) {
      CDBElementEx* element = m_elements.m_pData[e];
      if (element != nullptr) make.push_back({nullptr, 0, nullptr, 0, nDays, &set->m_items[static_cast<size_t>(e)], element, e});
    }
    m_pool.Submit(make);
    m_pool.Wait();
    make.clear();
    m_set = set.get();
    int objects = 0;
    for (CElementData* d : set->m_items) objects += d != nullptr ? 1 : 0;
    set->m_count.elementDays = static_cast<int64_t>(objects) * nDays;
    // Every day adds its element-days' units, read or not, as the views' estimates count them: by
    // the layout of its day file, or of the last one read when it has none.
    const uint32_t summary = m_summariesOnly != nullptr ? kProgressSummaryDay : 0;
    m_dayUnits[0] = static_cast<uint32_t>(objects) * (kProgressLoadDay + summary);
    m_dayUnits[1] = static_cast<uint32_t>(objects) * (kProgressLoadFineDay + summary);
    // The lookup keys of both layouts and the element types, taken once.
    for (int e = 0; e < m_elements.m_nSize; ++e) {
      m_aliasKeys.emplace_back();
      m_idKeys.emplace_back();
      m_types.push_back(-1);
      if (m_elements.m_pData[e] == nullptr) continue;
      MakeKey(*m_elements.m_pData[e], true, m_aliasKeys.back());
      MakeKey(*m_elements.m_pData[e], false, m_idKeys.back());
      m_types.back() = m_elements.m_pData[e]->type;
    }
    // A batch holds at most m_batchDays days (fewer when its records reach kBatchBytes); every
    // element-day of it has a buffer of its own. The buffers never move while a batch is decoded.
    const size_t count = static_cast<size_t>(m_set->Count());
    m_batchDays = count == 0 ? 1 : std::max<size_t>(1, (kBatchItems + count - 1) / count);
    for (auto& buffers : m_buffers) buffers.resize(m_batchDays * count);
    PrepareRows();

    int k = 0;
    while (k < nDays && m_days.m_pData[k] != nullptr && IsPeDay(*m_days.m_pData[k])) ++k;
    if (!LoadPeDays(k)) {
      m_pool.Wait();
      return nullptr;
    }
    MakeRowsUpTo(k - 1);
    for (int i = k; i < nDays; ++i) {
      LoadDatabaseDay(i);
      m_run.addProgress(m_dayUnits[m_fine]);
      if (Cancelled()) {
        m_pool.Wait();  // no helper may still write into the objects about to go
        return nullptr;
      }
    }
    SubmitBatch();
    m_pool.Wait();
    MakeRowsUpTo(nDays - 1);
    m_pool.Wait();
    if (m_rows != nullptr && m_streaming) m_rows->made = true;
    m_poster.Post(ID_WORKER_INPUT_LOADED, 0);
    return set;
  }

 private:
  // Rows while loading: each group's last day and each day's last group; streaming only when the
  // groups end in their own order.
  void PlanRows(int nDays) {
    if (m_rows == nullptr || m_rows->settings == nullptr) return;
    const std::vector<std::vector<int>>& groups = m_rows->settings->groups;
    m_dayLastGroup.assign(static_cast<size_t>(nDays), -1);
    m_streaming = true;
    int previousEnd = -1;
    for (size_t g = 0; g < groups.size(); ++g) {
      int last = previousEnd;
      for (int d : groups[g]) {
        if (d < 0 || d >= nDays) {
          m_streaming = false;
          return;
        }
        last = std::max(last, d);
      }
      if (last < previousEnd) {
        m_streaming = false;
        return;
      }
      m_groupLastDay.push_back(last);
      previousEnd = last;
    }
    // A day in several groups is needed until the last of them has its rows.
    for (size_t g = 0; g < groups.size(); ++g)
      for (int d : groups[g]) {
        int& lastGroup = m_dayLastGroup[static_cast<size_t>(d)];
        lastGroup = std::max(lastGroup, static_cast<int>(g));
      }
    m_build = *m_rows->settings;
    // The days are made as their records come in: a day that is never there takes no memory.
    m_pool.SetDaysOnDemand(true);
  }

  void PrepareRows() {
    if (!m_streaming) return;
    m_rows->rows.clear();
    m_rows->rows.resize(static_cast<size_t>(m_set->Count()));
    m_rows->failed.assign(static_cast<size_t>(m_set->Count()), 0);
    for (int e = 0; e < m_set->Count(); ++e)
      if (m_set->At(e) != nullptr) m_rows->rows[static_cast<size_t>(e)] = std::make_unique<CDBRecordset>();
  }

  // Every day up to `lastDay` is decoded: the helpers make the rows of the groups that are now
  // complete and drop the days that no later group needs.
  void MakeRowsUpTo(int lastDay) {
    if (!m_streaming) return;
    size_t ready = m_groupsReady;
    while (ready < m_groupLastDay.size() && m_groupLastDay[ready] <= lastDay) ++ready;
    if (ready == m_groupsReady) return;
    m_pool.WaitFor(m_rowBatch);  // the previous groups' rows are made: one maker per element
    m_rowBatch.clear();
    m_build.groupFirst = m_groupsReady;
    m_build.groupEnd = ready;
    m_dropDays.clear();
    for (size_t d = 0; d < m_dayLastGroup.size(); ++d) {
      int g = m_dayLastGroup[d];
      if (g >= static_cast<int>(m_groupsReady) && g < static_cast<int>(ready)) m_dropDays.push_back(static_cast<int>(d));
    }
    for (int e = 0; e < m_set->Count(); ++e) {
      CElementData* data = m_set->At(e);
      if (data == nullptr) continue;
      CDecodePool::Item item{data, -1, nullptr, 0, 0};
      item.ordinal = e;
      item.rows = true;
      m_rowBatch.push_back(item);
    }
    m_groupsReady = ready;
    m_pool.Submit(m_rowBatch);
  }

  bool Cancelled() {
    if (m_run.keepGoing()) return false;
    m_poster.Post(ID_WORKER_CANCELED, 0);
    return true;
  }

  void PostFailure(UINT id, const CDateTimeEx& day, DWORD error) {
    m_poster.Post(id, DayPayload(day));
    m_poster.Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(error));
  }

  // An element of a known type whose data object (or its day i) could not be made: the
  // element-day is a failed read, told like one, instead of an element that silently has no data.
  // Days made while loading come into being only when they are filled.
  bool OutOfMemory(CElementData* data, int i) {
    if (data != nullptr && (m_streaming || data->Day(i) != nullptr)) return false;
    PostFailure(ID_WORKER_RETRIEVAL_ERROR, *m_days.m_pData[i], ERROR_NOT_ENOUGH_MEMORY);
    return true;
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
        m_run.addProgress(m_dayUnits[0] * static_cast<uint32_t>(last - first + 1));
      } else {
        for (int i = first; i <= last; ++i) {
          LoadPeDay(i, desc);
          m_run.addProgress(m_dayUnits[0]);
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
    m_run.noteDayLayout(false);
    const DWORD n = input.m_nColumns;
    for (int e = 0; e < m_set->Count(); ++e) {
      CElementData* data = m_set->At(e);
      CDBElementEx* element = m_elements.m_pData[e];
      if (element == nullptr || element->type != ET_LOOP) continue;
      if (OutOfMemory(data, i)) continue;
      const char* alias = element->cabinet != nullptr ? element->cabinet->alias : "";
      const DWORD column = input.FindColumn(element->name, alias);
      if (column == 0xFFFFFFFF || column >= n) continue;
      auto* day = static_cast<CLoopDay*>(m_streaming ? data->EnsureDay(i) : data->Day(i));
      if (day == nullptr) continue;
      day->ResetPeriods();
      for (int p = 0; p < 288; ++p) {
        const BYTE vol = input.m_pVolume[static_cast<size_t>(p + 1) * n + column];
        const WORD occ = input.m_pOccupancy != nullptr ? input.m_pOccupancy[static_cast<size_t>(p) * n + column] : 0;
        day->SetPeriod(p, vol, occ, m_pe);
      }
      ++m_set->m_count.withData;
      if (m_summariesOnly != nullptr) data->KeepOnlySummaries(i, *m_summariesOnly);
    }
    input.Close();
  }

  // Reads every element's records of the day on this thread; the pool decodes them while the next
  // day is read.
  void LoadDatabaseDay(int i) {
    m_batchLastDay[m_nextBatch] = i;  // this day's records go into the batch being filled
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
    m_fine = columns != PERIODS_PER_DAY ? 1 : 0;
    m_run.noteDayLayout(m_fine != 0);
    const std::vector<std::string>& keys = db.m_nLayout == 0 ? m_aliasKeys : m_idKeys;
    // Each element-day reads into its own buffer of the batch being filled, which stays as it is
    // until the batch has been decoded.
    const int b = m_nextBatch;
    CDecodePool::Batch& batch = m_batches[b];
    std::vector<CStream>& buffers = m_buffers[b];
    CStream* dayBuffers = buffers.data() + m_daysInBatch * static_cast<size_t>(m_set->Count());
    // One read per run of nearby records instead of one per element.
    db.ReadAhead(keys.data(), keys.size(), 0, columns);
    for (int e = 0; e < m_set->Count(); ++e) {
      CElementData* data = m_set->At(e);
      const int type = m_types[static_cast<size_t>(e)];
      if (ExpectedRecordSize(type, columns) == 0 || OutOfMemory(data, i)) continue;  // no type: no object
      CStream& buffer = dayBuffers[e];
      // The next element's buffer was last touched a batch ago (by a helper): fetch it while this
      // one is read.
      if (e + 1 < m_set->Count()) {
        __builtin_prefetch(&dayBuffers[e + 1], 1);
        __builtin_prefetch(dayBuffers[e + 1].m_pData, 1);
      }
      int result = db.ReadColumns(buffer, keys[static_cast<size_t>(e)].c_str(), 0, columns);
      if (result == static_cast<int>(kNameNotFound)) continue;
      // Records of another size than the element's type reads would be decoded as garbage: the
      // element-day counts as a failed read.
      if (result == 0 && buffer.m_nSize != columns * ExpectedRecordSize(type, columns))
        result = static_cast<int>(ERROR_BAD_FORMAT);
      if (result != 0) {
        PostFailure(ID_WORKER_RETRIEVAL_ERROR, date, static_cast<DWORD>(result));
        continue;
      }
      // The day object is looked up by the helper that decodes it.
      batch.push_back({data, i, buffer.m_pData, buffer.m_nSize, columns});
      ++m_set->m_count.withData;
      m_batchBytes += static_cast<size_t>(buffer.m_nSize);
    }
    db.Close();
    // A batch gathers whole days until it is large enough that handing it over costs little
    // beside its decoding.
    ++m_daysInBatch;
    if (m_daysInBatch == m_batchDays || m_batchBytes >= kBatchBytes) SubmitBatch();
  }

  // Hands the batch being filled to the pool and starts filling the next slot once the pool is
  // done with the batch that slot held.
  void SubmitBatch() {
    m_pool.Submit(m_batches[m_nextBatch]);
    m_nextBatch = (m_nextBatch + 1) % kSlots;
    m_pool.WaitFor(m_batches[m_nextBatch]);
    // That batch is the oldest: every day up to its last is decoded now.
    if (m_batchLastDay[m_nextBatch] >= 0) MakeRowsUpTo(m_batchLastDay[m_nextBatch]);
    m_batchLastDay[m_nextBatch] = -1;
    m_batches[m_nextBatch].clear();
    m_daysInBatch = 0;
    m_batchBytes = 0;
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
  const ValidityTables* m_summariesOnly;
  CElementDataSet* m_set = nullptr;
  uint32_t m_dayUnits[2] = {0, 0};  // progress units of one day of every element: five-minute, 20-second
  int m_fine = 0;                   // the last day file read was in the 20-second layout
  std::vector<std::string> m_aliasKeys, m_idKeys;  // per element: "alias:name", "id:name"
  std::vector<int> m_types;                         // per element: its type, -1 for none
  // Batches of records, one buffer per element-day each: one is filled while the pool decodes
  // the others. The buffers keep their size from batch to batch.
  static constexpr int kSlots = 3;
  static constexpr size_t kBatchItems = 1024;
  static constexpr size_t kBatchBytes = size_t{2} << 20;
  std::vector<CStream> m_buffers[kSlots];
  CDecodePool::Batch m_batches[kSlots];
  int m_nextBatch = 0;
  size_t m_batchDays = 1;
  size_t m_daysInBatch = 0;
  size_t m_batchBytes = 0;
  int m_batchLastDay[kSlots] = {-1, -1, -1};  // the last day with records in each batch
  // Rows while loading.
  SRowsWhileLoading* m_rows;
  bool m_streaming = false;
  NewSettings m_build;               // the run's settings with the groups of the batch of rows
  std::vector<int> m_groupLastDay;   // per group, its last day
  std::vector<int> m_dayLastGroup;   // per day, the last group that holds it (-1: none)
  std::vector<int> m_dropDays;       // the days the batch of rows drops afterwards
  size_t m_groupsReady = 0;          // groups whose rows are made or being made
  CDecodePool::Batch m_rowBatch;     // one row item per element
  CDecodePool m_pool;  // last: it ends before the buffers go
};
}  // namespace

std::unique_ptr<CElementDataSet> LoadElementData(const CAdrArray<CDBElementEx>& elements,
                                                 const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
                                                 RunControl& run, const ValidityTables* summariesOnly,
                                                 SRowsWhileLoading* rows) {
  CLoad load(elements, days, poster, run, summariesOnly, rows);
  return load.Run();
}
