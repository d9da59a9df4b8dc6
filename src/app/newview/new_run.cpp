#include "app/newview/new_run.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "app/shell/input_loader.h"
#include "app/shell/settings.h"
#include "app/shell/worker_ids.h"
#include "platform/base/errors.h"
#include "platform/kernel/release.h"
#include "platform/kernel/test_hold.h"
#include "trafficdata/db_record.h"
#include "trafficdata/element_data.h"
#include "trafficdata/view_settings.h"

namespace {

constexpr int64_t kMaxReserve = 1 << 24;  // rows reserved ahead at most

constexpr int kCheckEvery = 1 << 16;  // items merged between looks at the keep-going flag

// The top-down merge sort of the run: the range first..last splits at mid = (first + last - 1)
// / 2, both halves are sorted, then merged taking the left item only when it strictly precedes
// the right one (equal items: the right half's first). Sorting any copies of the same rows with
// the same comparison outcomes gives the same order, so the rows can be sorted as compact
// items with packed keys. Ping-pong form: on entry src and dst hold the same items in the range;
// on return dst holds them sorted. The sort adds its progress (kProgressSortMerge a merge, n - 1
// merges in all) as it goes, spread over the items merged: each level of the sort merges about n
// items, so a merge of s items counts s / levels merges' worth.
template <class T, class Less>
class CMergeSort {
 public:
  CMergeSort(Less less, uint32_t* merges, RunControl* run) : m_less(less), m_merges(merges), m_run(run) {}

  // Sorts a[0..n) with b (n items) as scratch; false when cancelled, a then holding some items
  // twice and others not at all.
  bool Sort(T* a, T* b, int n) {
    if (n < 2) return true;
    m_units = n - 1;
    while ((int64_t{1} << m_levels) < n) ++m_levels;
    std::copy(a, a + n, b);
    if (!SplitMerge(b, a, 0, n - 1)) return false;
    AddProgress(m_units - m_added);
    return true;
  }

 private:
  bool SplitMerge(T* src, T* dst, int first, int last) {
    if (last - first + 1 < 2) return true;
    int mid = first + (last - first - 1) / 2;
    if (!SplitMerge(dst, src, first, mid) || !SplitMerge(dst, src, mid + 1, last)) return false;
    if (!Merge(src, dst, first, mid, last)) return false;
    if (m_merges != nullptr) ++*m_merges;
    m_merged += last - first + 1;
    if (m_merged >= kCheckEvery) {
      const int64_t units = std::min(m_merged / m_levels, m_units - m_added);
      m_merged -= units * m_levels;
      AddProgress(units);
    }
    return true;
  }

  void AddProgress(int64_t units) {
    if (m_run == nullptr || units <= 0) return;
    m_added += units;
    m_run->addProgress(static_cast<uint32_t>(units) * kProgressSortMerge);
  }

  bool Merge(const T* src, T* dst, int first, int mid, int last) {
    int i = first, j = mid + 1, k = first;
    // A long merge looks at the flag every kCheckEvery items, so it too stops within moments.
    const bool look = m_run != nullptr && last - first + 1 >= kCheckEvery;
    int stop = look ? first + kCheckEvery : last + 1;
    for (;;) {
      while (k < stop && i <= mid && j <= last) dst[k++] = m_less(src[i], src[j]) ? src[i++] : src[j++];
      if (i > mid || j > last) break;
      if (!m_run->keepGoing()) return false;
      stop = std::min(last + 1, k + kCheckEvery);
    }
    while (i <= mid) dst[k++] = src[i++];
    while (j <= last) dst[k++] = src[j++];
    return true;
  }

  Less m_less;
  uint32_t* m_merges;
  RunControl* m_run;
  int64_t m_units = 0, m_added = 0;  // the sort's progress in merges: in all, and added so far
  int64_t m_merged = 0;              // items merged since progress was last added
  int m_levels = 1;                  // levels of the sort: ceil(log2 n)
};

// Whether the run was cancelled, looked at every kCheckEvery items of a pass (run may be null).
bool Stopped(const RunControl* run, int i) { return i % kCheckEvery == 0 && run != nullptr && !run->keepGoing(); }

// A row's packed key and its position before the sort.
template <int W>
struct SKeyed {
  uint64_t key[W];
  uint32_t row;
};

template <int W>
struct SKeyLess {
  bool operator()(const SKeyed<W>& a, const SKeyed<W>& b) const {
    for (int w = 0; w < W; ++w)
      if (a.key[w] != b.key[w]) return a.key[w] < b.key[w];
    return false;
  }
};

// One 64-bit item per row when its key leaves room below it for the row's position: the key in
// the high bits decides the order, the position rides along in the low bits.
struct SShiftedLess {
  int shift;
  bool operator()(uint64_t a, uint64_t b) const { return (a >> shift) < (b >> shift); }
};

// The sort's memory, at most two items per row at a time: the packed keys go once the items
// hold them, and the sorted items, the scratch gone, carry the rows to their places.
int SortPackedOneWord(CDBRecord** rows, int n, std::unique_ptr<CPackedSortKeys>& keys, int positionBits,
                      uint32_t* merges, RunControl* run) {
  std::unique_ptr<uint64_t[]> a(new (std::nothrow) uint64_t[static_cast<size_t>(n)]);
  if (!a) return -1;
  {
    CPassProgress packing(run, kProgressSortKeyPack);
    for (int i = 0; i < n; ++i, packing.Done()) {
      if (Stopped(run, i)) return 0;
      uint64_t key = 0;
      keys->Pack(i, &key);
      a[i] = key | static_cast<uint64_t>(i);
    }
  }
  keys.reset();
  {
    std::unique_ptr<uint64_t[]> b(new (std::nothrow) uint64_t[static_cast<size_t>(n)]);
    if (!b) return -1;
    CMergeSort<uint64_t, SShiftedLess> sorter(SShiftedLess{positionBits}, merges, run);
    if (!sorter.Sort(a.get(), b.get(), n)) return 0;
  }
  const uint64_t mask = (uint64_t{1} << positionBits) - 1;
  for (int i = 0; i < n; ++i) a[i] = reinterpret_cast<uintptr_t>(rows[a[i] & mask]);
  for (int i = 0; i < n; ++i) rows[i] = reinterpret_cast<CDBRecord*>(static_cast<uintptr_t>(a[i]));
  return 1;
}

template <int W>
int SortPacked(CDBRecord** rows, int n, std::unique_ptr<CPackedSortKeys>& keys, uint32_t* merges, RunControl* run) {
  std::unique_ptr<SKeyed<W>[]> a(new (std::nothrow) SKeyed<W>[static_cast<size_t>(n)]);
  if (!a) return -1;
  {
    CPassProgress packing(run, kProgressSortKeyPack);
    for (int i = 0; i < n; ++i, packing.Done()) {
      if (Stopped(run, i)) return 0;
      keys->Pack(i, a[i].key);
      a[i].row = static_cast<uint32_t>(i);
    }
  }
  keys.reset();
  {
    std::unique_ptr<SKeyed<W>[]> b(new (std::nothrow) SKeyed<W>[static_cast<size_t>(n)]);
    if (!b) return -1;
    CMergeSort<SKeyed<W>, SKeyLess<W>> sorter(SKeyLess<W>(), merges, run);
    if (!sorter.Sort(a.get(), b.get(), n)) return 0;
  }
  for (int i = 0; i < n; ++i) a[i].key[0] = reinterpret_cast<uintptr_t>(rows[a[i].row]);
  for (int i = 0; i < n; ++i) rows[i] = reinterpret_cast<CDBRecord*>(static_cast<uintptr_t>(a[i].key[0]));
  return 1;
}

std::vector<int> KeysOf(const CGrpTypeList& list) {
  std::vector<int> keys;
  for (int i = 0; i < list.Count(); ++i) keys.push_back(list.At(i)->key);
  return keys;
}

// At the run's end, finished or not, its rows go to the release thread (platform/kernel/release.h):
// a report's rows number in the millions, and freeing them one by one takes seconds that nobody
// need wait for.
class CReleaseRowsAtEnd {
 public:
  explicit CReleaseRowsAtEnd(CDBRecordset& rows) : m_rows(rows) {}
  ~CReleaseRowsAtEnd() {
    std::unique_ptr<CDBRecordset> held(new (std::nothrow) CDBRecordset);
    if (held) held->SwapBlocks(m_rows);
    else m_rows.RemoveAll();
    qav::ReleaseLater(std::move(held));
  }

 private:
  CDBRecordset& m_rows;
};

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ESortResult SortRecords(CDBRecord** rows, int first, int last, uint32_t* merges, RunControl* run) {
  int n = last - first + 1;
  if (n < 2) return ESortResult::Sorted;
  static const CRecordOrder kNoKeys;
  const CRecordOrder* order = CRecordOrder::Current();
  std::unique_ptr<CPackedSortKeys> keys(new (std::nothrow) CPackedSortKeys);
  if (!keys) return ESortResult::NoMemory;
  if (!keys->Build(rows + first, n, order ? *order : kNoKeys, run))
    return keys->Cancelled() ? ESortResult::Cancelled : ESortResult::NoMemory;
  int done = -1;
  int positionBits = 1;
  while (positionBits < 31 && (int64_t{1} << positionBits) < n) ++positionBits;
  if (keys->Words() == 1 && keys->LastWordBits() + positionBits <= 64)
    done = SortPackedOneWord(rows + first, n, keys, positionBits, merges, run);
  else switch (keys->Words()) {
    case 1: done = SortPacked<1>(rows + first, n, keys, merges, run); break;
    case 2: done = SortPacked<2>(rows + first, n, keys, merges, run); break;
    case 3: done = SortPacked<3>(rows + first, n, keys, merges, run); break;
    default: {
      keys.reset();
      CPassProgress(run, kProgressSortKeyPack).Done(n);  // no keys to pack: their units at once
      // Keys this wide do not occur in practice: sort the row pointers by the rows' comparison.
      // A copy is sorted, so that a cancelled sort never leaves the owning set half merged
      // (some rows twice, others not at all).
      std::unique_ptr<CDBRecord*[]> work(new (std::nothrow) CDBRecord*[static_cast<size_t>(n)]);
      std::unique_ptr<CDBRecord*[]> scratch(new (std::nothrow) CDBRecord*[static_cast<size_t>(n)]);
      if (!work || !scratch) break;
      std::copy(rows + first, rows + first + n, work.get());
      auto less = [](const CDBRecord* a, const CDBRecord* b) { return *a < *b; };
      CMergeSort<CDBRecord*, decltype(less)> sorter(less, merges, run);
      done = sorter.Sort(work.get(), scratch.get(), n) ? 1 : 0;
      if (done > 0) std::copy(work.get(), work.get() + n, rows + first);
      break;
    }
  }
  if (done < 0) return ESortResult::NoMemory;
  return done > 0 ? ESortResult::Sorted : ESortResult::Cancelled;
}

bool AdoptLoadedData(std::unique_ptr<CElementDataSet> set, std::vector<std::unique_ptr<CElementData>>& data) {
  if (!set) return false;
  // The room comes first: a hand-over that ran out of memory half-way would leave objects owned
  // by both sides. Without it std::bad_alloc goes on, and the set frees what it holds.
  data.reserve(data.size() + set->m_items.size());
  for (CElementData*& d : set->m_items) {
    data.emplace_back(d);
    d = nullptr;
  }
  set->m_items.clear();
  return true;
}

const char* PreRunFailure(const CNewReportModel& m) {
  if (m.m_arrDates.m_nSize == 0) return "No dates selected for output";
  if (m.m_arrElements.m_nSize == 0) return "No elements selected for output";
  // A path that ends in a folder (or only blanks) names no report file either.
  const std::string& path = m.m_strOutputPath;
  const size_t name = path.find_last_of("\\/");
  if (path.find_first_not_of(" \t", name == std::string::npos ? 0 : name + 1) == std::string::npos)
    return "No filename designated for output";
  if (m.m_nCombinations == 0) return "No data content for output";
  if (m.m_lstCols.Count() == 0) return "No columns selected for reports";
  if (m.m_lstRows.Count() == 0) return "No rows selected for reports";
  return nullptr;
}

bool ColumnWarningDue(int64_t colsHiWide) { return colsHiWide > 256; }

const char* const COLUMN_WARNING_SECOND_LINE = "See Cols (Hi) in Report Structure";

std::string ColumnWarningLine(int64_t colsHi) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "The maximum recommended number of report columns [%i] has been exceeded [%lld]", 256,
                static_cast<long long>(colsHi));
  return buf;
}

std::string ColumnWarningQuestion(int64_t colsHi) {
  return ColumnWarningLine(colsHi) + " [See Cols (Hi) in Report Structure]. Do you wish to CONTINUE?";
}

// The report rows of a run: per date group, period and element-content combination.
int64_t ReportRows(const CNewReportModel& m) {
  return int64_t{m.m_nPeriodsPerDay} * m.m_arrDateGroups.m_nSize * m.m_nCombinations;
}

int64_t RowMakingUnits(const CNewReportModel& m, bool fine) {
  const int64_t e = m.m_arrElements.m_nSize, ppd = m.m_nPeriodsPerDay;
  const int64_t day = fine ? kProgressRowFineDay : kProgressRowDay;
  return e * m.TotalGroupedDates() * (day + kProgressRowSlot * ppd) + ReportRows(m) * kProgressRowMade;
}

int64_t RunProgressRange(const CNewReportModel& m, bool fine) {
  // The units the loader, the row builders, the sort and the walk add (see kProgressLoadDay): the
  // rows made while loading at the loader's speed; the merges and the walk count the rows after
  // the first. The rows are freed on the release thread, after the run.
  const int64_t elementDays = int64_t{m.m_arrElements.m_nSize} * m.m_arrDates.m_nSize, rows = ReportRows(m);
  const double speedup = LoadSpeedup(elementDays);
  int64_t range = elementDays * LoadDayUnits(speedup, fine, false) +
                  static_cast<int64_t>(static_cast<double>(RowMakingUnits(m, fine)) / speedup + 0.5) +
                  rows * (2 * kProgressSortKeyScan + kProgressSortKeyPack) +
                  std::max<int64_t>(rows - 1, 0) * (kProgressSortMerge + kProgressWalkRow);
  return std::max<int64_t>(range, 0);
}

bool CNewReportRun::WriteHeader() {
  if (!CreateReportFile(m_file, ReportPathIn(m_host.reportFolder, m_model.m_strOutputPath), writtenName,
                        *m_host.fileStatus))
    return false;
  if (m_host.written != nullptr) *m_host.written = writtenName;
  SReportHeader h;
  h.fileName = FileNameOf(writtenName);
  h.created = m_host.now ? m_host.now() : COleDateTime::GetCurrentTime();
  h.outFormat = m_model.m_nOutFormat;
  h.avgMethod = m_model.m_nAvgMethod;
  h.sumMethod = m_model.m_nSumMethod;
  h.reportType = m_model.m_nReportType;
  h.minValidity = m_model.m_strMinValidity;
  h.period = m_model.m_strPeriod;
  for (int i = 0; i < m_model.m_arrDates.m_nSize; ++i) h.dates.push_back(static_cast<double>(*m_model.m_arrDates.m_pData[i]));
  if (m_file.WriteString(FormatReportHeader(h).c_str())) return true;
  GiveUp(m_file.GetError());
  return false;
}

void CNewReportRun::GiveUp(DWORD error, bool cancelled) {
  const EDiscarded left = m_file.Discard();
  if (cancelled) m_host.fileStatus->PostReportCancelled(writtenName, left);
  else m_host.fileStatus->PostWriteFailure(writtenName, error, left);
  if (m_host.written != nullptr) m_host.written->clear();
}

void CNewReportRun::Run() {
  try {
    RunSteps();
  } catch (const std::bad_alloc&) {
    // Memory that ran out while the report was written: the part written must not look whole.
    // Before the report is opened, the caller ends the run with the not-enough-memory line.
    if (!m_file.IsOpen()) throw;
    GiveUp(ERROR_NOT_ENOUGH_MEMORY);
    m_host.run->cancel();
  }
}

void CNewReportRun::RunSteps() {
  CRunFlags& run = *m_host.run;
  NewSettings s;
  m_model.FillNewSettings(s);
  bool peak = IsPeakType(m_model.m_nReportType);
  // The loader makes the rows as the days come in where it can, and drops the days.
  SRowsWhileLoading made;
  made.settings = &s;
  made.peak = peak;
  const double speedup = LoadSpeedup(int64_t{m_model.m_arrElements.m_nSize} * m_model.m_arrDates.m_nSize);
  for (int fine = 0; fine < 2; ++fine)
    made.units[fine] = static_cast<int64_t>(static_cast<double>(RowMakingUnits(m_model, fine != 0)) / speedup + 0.5);
  std::vector<std::unique_ptr<CElementData>> data;
  // What the load left that a run ending early still holds goes to the release thread.
  struct SReleaseAtEnd {
    SRowsWhileLoading& made;
    std::vector<std::unique_ptr<CElementData>>& data;
    ~SReleaseAtEnd() {
      qav::ReleaseContentsLater(made.rows);
      qav::ReleaseContentsLater(data);
    }
  } releaseLoaded{made, data};
  if (!m_host.load(data, &made)) return;  // the loader posted its own lines

  CDBRecordset rows;
  CReleaseRowsAtEnd releaseRows(rows);
  if (!made.made) {
    // The range counted the rows as made by the loader's threads; they are made here, at full
    // units.
    const double units = static_cast<double>(run.layouts.range(RowMakingUnits(m_model, false), RowMakingUnits(m_model, true)));
    run.rangeAdded.fetch_add(static_cast<int64_t>(units - units / speedup + 0.5), std::memory_order_relaxed);
  }
  m_host.post(ID_WORKER_SUMMARIZING);
  int64_t expected = static_cast<int64_t>(m_model.m_nCombinations) * m_model.m_nPeriodsPerDay * m_model.m_arrDateGroups.m_nSize;
  expected = std::min(expected, kMaxReserve);
  if (made.made) {
    // The rows are there already: the set takes exactly their number, so that it never grows
    // (and holds its old and new block at once) while it takes them.
    expected = 0;
    for (const auto& r : made.rows)
      if (r) expected += r->m_nSize;
  }
  rows.Reserve(static_cast<int>(std::min<int64_t>(expected, INT_MAX)));
  bool told = false;  // the run's end was posted (the cancel, or the rows that did not fit)
  for (size_t e = 0; e < data.size(); ++e) {
    const std::unique_ptr<CElementData>& d = data[e];
    bool built;
    if (!made.made)
      built = !d || (peak ? d->BuildPeakRecords(rows, s, run) : d->BuildPeriodRecords(rows, s, run));
    else
      built = e >= made.rows.size() || !made.rows[e] || rows.TakeAll(*made.rows[e]);
    if (made.made && e < made.rows.size()) made.rows[e].reset();
    if (!built) {
      // Rows that could not be stored would make an incomplete report look whole: the run ends
      // with the not-enough-memory line alone.
      m_host.fileStatus->PostWin32Error(ERROR_NOT_ENOUGH_MEMORY);
      run.cancel();
      told = true;
      break;
    }
    if (!run.keepGoing()) {
      m_host.post(ID_WORKER_CANCELED);
      told = true;
      break;
    }
  }
  m_model.CompleteTime();
  // The days go before the sort, which needs memory of its own.
  if (run.keepGoing()) {
    data.clear();
    made.rows.clear();
  }
  rowCount = rows.m_nSize;
  if (!run.keepGoing()) {
    // A cancel after the last element's check still ends with its status line.
    if (!told) m_host.post(ID_WORKER_CANCELED);
    return;
  }

  m_host.post(ID_WORKER_SUMMARIZED);
  m_host.post(ID_WORKER_SORTING);
  m_model.CompleteStructure(false);
  std::vector<const CGrpType*> keys;
  for (const CGrpTypeList* list : {&m_model.m_lstSeps, &m_model.m_lstRows, &m_model.m_lstCols})
    for (int i = 0; i < list->Count(); ++i) keys.push_back(list->At(i));
  CRecordOrder order(keys.data(), static_cast<int>(keys.size()));
  ESortResult sorted;
  {
    CSortKeyScope scope(order);
    sorted = SortRecords(rows.m_pData, 0, rows.m_nSize - 1, &merges, &run);
  }
  if (sorted == ESortResult::NoMemory) {
    m_host.fileStatus->PostWin32Error(ERROR_NOT_ENOUGH_MEMORY);
    run.cancel();
    return;
  }
  // A sort that was cancelled is not called sorted.
  if (sorted == ESortResult::Sorted) m_host.post(ID_WORKER_SORTED);
  if (!run.keepGoing()) {
    m_host.post(ID_WORKER_CANCELED);
    return;
  }
  // The wait dialog says the report is written before its file is made: the header is part of it.
  m_host.post(ID_WORKER_OUTPUTTING);
  if (!WriteHeader()) {
    run.cancel();
    return;
  }
  SPivotLayout layout{KeysOf(m_model.m_lstSeps), KeysOf(m_model.m_lstRows), KeysOf(m_model.m_lstCols),
                      m_model.m_nColsHiWide, m_model.m_nOutFormat};
  DWORD writeError = 0;
  EWalkResult walked = WritePivotBody(
      rows.m_pData, rows.m_nSize, layout,
      [&](const std::string& text) {
        if (m_file.WriteString(text.c_str())) {
          HoldForTest("write");
          return true;
        }
        writeError = m_file.GetError();
        return false;
      },
      run);
  if (walked == EWalkResult::Cancelled) m_host.post(ID_WORKER_CANCELED);
  if (m_host.waitCursor) m_host.waitCursor(true);
  // A report that was cut short by Cancel, could not be written completely, or whose name no
  // longer leads to it once closed is taken away and not reported as done.
  if (walked == EWalkResult::Cancelled) {
    GiveUp(0, true);
  } else {
    if (writeError == 0 && !m_file.Commit()) writeError = m_file.GetError();
    if (writeError != 0) GiveUp(writeError);
    else m_host.post(ID_WORKER_REPORTS_DONE);
  }
  run.cancel();
}
