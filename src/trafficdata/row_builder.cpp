#include "trafficdata/row_builder.h"

#include <algorithm>
#include <vector>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_record.h"
#include "trafficdata/element_data.h"

SRowDate RowDateWords(const CDateTimeEx* date) {
  SRowDate w;
  if (!date || date->GetStatus() != COleDateTime::valid) return w;
  w.year = date->GetYear();
  w.month = date->GetMonth();
  w.day = date->GetDay();
  w.dayOfWeek = date->GetDayOfWeek();
  w.week = (date->GetDayOfYear() - w.dayOfWeek + 7) / 7;
  return w;
}

namespace {

// The groups that the settings ask for.
struct SGroupRange {
  const std::vector<int>* first;
  const std::vector<int>* last;
  const std::vector<int>* begin() const { return first; }
  const std::vector<int>* end() const { return last; }
};
SGroupRange GroupsOf(const NewSettings& s) {
  size_t end = std::min(s.groupEnd, s.groups.size());
  size_t first = std::min(s.groupFirst, end);
  return {s.groups.data() + first, s.groups.data() + end};
}

const CDateTimeEx* GroupDate(const NewSettings& s, const std::vector<int>& group) {
  int i = group.front();
  return (i >= 0 && i < static_cast<int>(s.dates.size())) ? s.dates[i] : nullptr;
}

// The units of summing one day into rows, by its layout (an empty day as a five-minute one).
uint32_t RowDayUnits(const CElementDay* day) {
  return day != nullptr && day->HoldsFineData() ? kProgressRowFineDay : kProgressRowDay;
}

// Each row made adds its units.
void AddRowsMade(RunControl& run, int rows) {
  if (rows > 0) run.addProgress(kProgressRowMade * static_cast<uint32_t>(rows));
}

}  // namespace

bool BuildPeriodRows(const CElementData& data, const NewSettings& s, RunControl& run, CDBRecordset& out,
                     CRowSlot& slot) {
  const int P = s.periodLen;
  if (P < 1) return true;  // a slot length below 1 would never advance
  for (const std::vector<int>& group : GroupsOf(s)) {
    if (group.empty()) continue;
    SRowDate dw = RowDateWords(GroupDate(s, group));
    int groupDays = static_cast<int>(group.size());
    // Summing a day costs about the same whatever the period length; each period adds a little.
    for (int d : group) run.addProgress(RowDayUnits(data.Day(d)));
    for (int t = 0; t < INTERVALS_PER_DAY; t += P) {
      int L = std::min(P, INTERVALS_PER_DAY - t);
      slot.Begin(t, L, P, groupDays);
      for (int d : group) {
        run.addProgress(kProgressRowSlot);
        CElementDay* day = data.Day(d);
        if (!day || !day->dataAvailable) continue;
        slot.AddDay(*day, t, L);
      }
      CDBRecord proto(data.element, data.ordinal, dw.year, dw.month, dw.day, t / 180, (t % 180) / 3, (t % 3) * 20,
                      dw.week, dw.dayOfWeek, -1, -1);
      const int before = out.m_nSize;
      if (!slot.Emit(proto, out)) return false;
      AddRowsMade(run, out.m_nSize - before);
      if (!run.keepGoing()) return true;
    }
  }
  return true;
}

bool BuildPeakRows(const CElementData& data, const NewSettings& s, RunControl& run, CDBRecordset& out,
                   CRowSlot& slot) {
  if (s.periodLen < 1) return true;
  const int P = std::min(s.periodLen, INTERVALS_PER_DAY / 2);
  const int first = s.reportType == 1 ? 0 : INTERVALS_PER_DAY / 2;
  const int last = first + INTERVALS_PER_DAY / 2 - P;
  std::vector<int64_t> values(static_cast<size_t>(last - first + 1));
  for (const std::vector<int>& group : GroupsOf(s)) {
    if (group.empty()) continue;
    SRowDate dw = RowDateWords(GroupDate(s, group));
    int groupDays = static_cast<int>(group.size());
    slot.Begin(first, P, P, groupDays);
    int64_t startSum = 0;
    int accepted = 0;
    for (int d : group) {
      CElementDay* day = data.Day(d);
      run.addProgress(RowDayUnits(day) + kProgressRowSlot);
      if (!day || !day->dataAvailable) continue;
      slot.PeakValues(*day, first, last, P, values.data());
      int64_t best = -1;
      int bestStart = first;
      for (int st = first; st <= last; ++st) {
        int64_t v = values[st - first];
        if (v > best) {  // the earliest of equal windows wins
          best = v;
          bestStart = st;
        }
      }
      if (slot.AddDay(*day, bestStart, P)) {
        startSum += bestStart;
        ++accepted;
      }
    }
    CDBRecord proto(data.element, data.ordinal, dw.year, dw.month, dw.day, -1, -1, -1, dw.week, dw.dayOfWeek, -1, -1);
    const int before = out.m_nSize;
    if (!slot.Emit(proto, out)) return false;
    if (s.content[CC_PEAK_TIME]) {
      CDBRecord row(proto);
      row.word[RW_CONTENT] = CC_PEAK_TIME;
      row.word[RW_VALUE] = RowMean(startSum, accepted);
      if (!out.AddRecord(row)) return false;
    }
    AddRowsMade(run, out.m_nSize - before);
    if (!run.keepGoing()) return true;
  }
  return true;
}
