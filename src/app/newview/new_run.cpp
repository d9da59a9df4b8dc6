#include "app/newview/new_run.h"

#include <algorithm>
#include <cstdio>

#include "app/shell/input_loader.h"
#include "app/shell/worker_ids.h"
#include "platform/base/errors.h"
#include "trafficdata/db_record.h"
#include "trafficdata/element_data.h"
#include "trafficdata/view_settings.h"

namespace {

constexpr int64_t kMaxReserve = 1 << 24;  // rows reserved ahead at most

void Merge(CDBRecord** rows, CDBRecord** buffer, int first, int mid, int last) {
  int i = first, j = mid + 1, k = 0;
  while (i <= mid && j <= last) buffer[k++] = (*rows[i] < *rows[j]) ? rows[i++] : rows[j++];
  while (i <= mid) buffer[k++] = rows[i++];
  while (j <= last) buffer[k++] = rows[j++];
  std::copy(buffer, buffer + k, rows + first);
}

void SortRange(CDBRecord** rows, CDBRecord** buffer, int first, int last, uint32_t* merges, RunControl* progress) {
  if (last - first + 1 < 2) return;
  int mid = first + (last - first - 1) / 2;  // (first + last - 1) / 2 without overflow
  SortRange(rows, buffer, first, mid, merges, progress);
  SortRange(rows, buffer, mid + 1, last, merges, progress);
  Merge(rows, buffer, first, mid, last);
  if (merges != nullptr) ++*merges;
  if (progress != nullptr) progress->addProgress(kProgressSortMerge);
}

std::vector<int> KeysOf(const CGrpTypeList& list) {
  std::vector<int> keys;
  for (int i = 0; i < list.Count(); ++i) keys.push_back(list.At(i)->key);
  return keys;
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void SortRecords(CDBRecord** rows, int first, int last, uint32_t* merges, RunControl* progress) {
  if (last - first + 1 < 2) return;
  std::vector<CDBRecord*> buffer(static_cast<size_t>(last - first + 1));
  SortRange(rows, buffer.data(), first, last, merges, progress);
}

bool AdoptLoadedData(std::unique_ptr<CElementDataSet> set, std::vector<std::unique_ptr<CElementData>>& data) {
  if (!set) return false;
  for (CElementData* d : set->m_items) data.emplace_back(d);
  set->m_items.clear();
  return true;
}

const char* PreRunFailure(const CNewReportModel& m) {
  if (m.m_arrDates.m_nSize == 0) return "No dates selected for output";
  if (m.m_arrElements.m_nSize == 0) return "No elements selected for output";
  if (m.m_strOutputPath.empty()) return "No filename designated for output";
  if (m.m_nCombinations == 0) return "No data content for output";
  if (m.m_lstCols.Count() == 0) return "No columns selected for reports";
  if (m.m_lstRows.Count() == 0) return "No rows selected for reports";
  return nullptr;
}

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

int RunProgressRange(const CNewReportModel& m) {
  // The units the loader, the row builders, the sort and the walk add (see kProgressLoadDay).
  int64_t e = m.m_arrElements.m_nSize, d = m.m_arrDates.m_nSize, ppd = m.m_nPeriodsPerDay;
  int64_t groups = m.m_arrDateGroups.m_nSize, grouped = m.TotalGroupedDates(), comb = m.m_nCombinations;
  int64_t rows = ppd * groups * comb;
  int64_t range = e * d * kProgressLoadDay + e * grouped * (kProgressRowDay + kProgressRowSlot * ppd) +
                  (rows - 1) * (kProgressSortMerge + kProgressWalkRow);
  return static_cast<int>(std::clamp<int64_t>(range, 0, 0x7FFFFFFF));
}

bool CNewReportRun::WriteHeader() {
  if (!CreateReportFile(m_file, m_model.m_strOutputPath, writtenName, *m_host.fileStatus)) return false;
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
  m_host.fileStatus->PostWin32Error(m_file.GetError());
  m_file.Close();
  return false;
}

void CNewReportRun::Run() {
  CRunFlags& run = *m_host.run;
  std::vector<std::unique_ptr<CElementData>> data;
  if (!m_host.load(data)) return;  // the loader posted its own lines

  CDBRecordset rows;
  m_host.post(ID_WORKER_SUMMARIZING);
  int64_t expected = static_cast<int64_t>(m_model.m_nCombinations) * m_model.m_nPeriodsPerDay * m_model.m_arrDateGroups.m_nSize;
  rows.Reserve(static_cast<int>(std::min(expected, kMaxReserve)));
  NewSettings s;
  m_model.FillNewSettings(s);
  bool peak = IsPeakType(m_model.m_nReportType);
  bool told = false;  // the cancel was posted
  for (auto& d : data) {
    bool built = !d || (peak ? d->BuildPeakRecords(rows, s, run) : d->BuildPeriodRecords(rows, s, run));
    if (!built) {
      // Rows that could not be stored would make an incomplete report look whole.
      m_host.fileStatus->PostWin32Error(ERROR_NOT_ENOUGH_MEMORY);
      run.cancel();
    }
    if (!run.keepGoing()) {
      m_host.post(ID_WORKER_CANCELED);
      told = true;
      break;
    }
  }
  m_model.CompleteTime();
  data.clear();
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
  {
    CSortKeyScope scope(order);
    SortRecords(rows.m_pData, 0, rows.m_nSize - 1, &merges, &run);
  }
  m_host.post(ID_WORKER_SORTED);
  if (!run.keepGoing()) {
    m_host.post(ID_WORKER_CANCELED);
    return;
  }
  if (!WriteHeader()) {
    run.cancel();
    return;
  }
  m_host.post(ID_WORKER_OUTPUTTING);
  SPivotLayout layout{KeysOf(m_model.m_lstSeps), KeysOf(m_model.m_lstRows), KeysOf(m_model.m_lstCols),
                      m_model.m_nColsHiWide, m_model.m_nOutFormat};
  bool writeFailed = false;
  EWalkResult walked = WritePivotBody(
      rows.m_pData, rows.m_nSize, layout,
      [&](const std::string& text) {
        if (m_file.WriteString(text.c_str())) return true;
        writeFailed = true;
        return false;
      },
      run);
  if (walked == EWalkResult::Cancelled) m_host.post(ID_WORKER_CANCELED);
  if (m_host.waitCursor) m_host.waitCursor(true);
  bool closed = m_file.Close() != FALSE;
  if (writeFailed || !closed) {
    // A report that could not be written completely is not reported as done.
    m_host.fileStatus->PostWin32Error(m_file.GetError());
    m_host.fileStatus->PostOutFileError(writtenName);
  } else {
    m_host.post(ID_WORKER_REPORTS_DONE);
  }
  run.cancel();
}
