#include "app/classic/classic_state.h"

#include <new>

#include "app/shell/worker_ids.h"
#include "platform/base/errors.h"

namespace {

template <class T>
int IndexOf(const CObjArray<T>& list, const T* obj) {
  for (int i = 0; i < list.m_nSize; ++i)
    if (list.m_pData[i] == obj) return i;
  return -1;
}

const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kDays[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

}  // namespace

ClassicSelection CClassicSelection::ToRecords() const {
  ClassicSelection r;
  for (int i = 0; i < dates.m_nSize; ++i)
    if (dates.m_pData[i]) r.dates.push_back(static_cast<double>(*dates.m_pData[i]));
  if (r.dates.empty()) return r;  // a block without dates is its count alone
  for (int i = 0; i < roadways.m_nSize; ++i) r.roadways.emplace_back(roadways.m_pData[i] ? roadways.m_pData[i]->name : "");
  std::vector<const CDBCabinet*> cabs;
  auto roadwayIndex = [&](const CDBRoadway* road) {
    int k = IndexOf(roadways, road);
    if (k >= 0) return k;
    r.roadways.emplace_back(road ? road->name : "");
    return static_cast<int>(r.roadways.size()) - 1;
  };
  auto addCabinet = [&](const CDBCabinet* c) {
    ClassicCabinetRec k;
    if (c) {
      k.id = c->id;
      k.alias = c->alias;
      k.milepost = c->milepost;
      k.location = c->location;
    }
    k.roadway = roadwayIndex(c ? c->roadway : nullptr);
    r.cabinets.push_back(std::move(k));
    cabs.push_back(c);
    return static_cast<int>(r.cabinets.size()) - 1;
  };
  for (int i = 0; i < cabinets.m_nSize; ++i) addCabinet(cabinets.m_pData[i]);
  for (int i = 0; i < elements.m_nSize; ++i) {
    const CDBElementEx* e = elements.m_pData[i];
    if (!e) continue;
    int k = -1;
    for (size_t c = 0; c < cabs.size(); ++c)
      if (cabs[c] == e->cabinet) {
        k = static_cast<int>(c);
        break;
      }
    if (k < 0) k = addCabinet(e->cabinet);
    r.elements.push_back({e->name, e->type < 0 || e->type > 3 ? 0 : e->type, k});
  }
  return r;
}

bool CClassicSelection::FromRecords(const ClassicSelection& rec) {
  dates.RemoveAll();
  if (rec.dates.empty()) return true;
  roadways.RemoveAll();
  cabinets.RemoveAll();
  elements.RemoveAll();
  bool ok = true;
  for (double d : rec.dates) {
    CDateTimeEx date{COleDateTime(d)};
    ok = ok && dates.Add(date) >= 0;
  }
  for (const std::string& r : rec.roadways) {
    CDBRoadway road(r.c_str());
    ok = ok && roadways.Add(road) >= 0;
  }
  for (const ClassicCabinetRec& c : rec.cabinets) {
    CDBRoadway* road = ok ? roadways.m_pData[c.roadway] : nullptr;  // a failed Add leaves it past the end
    CDBCabinet cab(c.id.c_str(), c.alias.c_str(), c.milepost, c.location.c_str(), road);
    ok = ok && road && cabinets.Add(cab) >= 0;
  }
  for (const ClassicElementRec& e : rec.elements) {
    CDBCabinet* cab = ok ? cabinets.m_pData[e.cabinet] : nullptr;
    CDBElementEx el(e.name.c_str(), e.type, cab);
    ok = ok && cab && elements.Add(el) >= 0;
  }
  if (!ok) {
    elements.RemoveAll();
    cabinets.RemoveAll();
    roadways.RemoveAll();
    dates.RemoveAll();
  }
  return ok;
}

bool LoadClassicSelection(const CClassicSelection& sel, IWorkerPoster& poster, RunControl& run,
                          std::vector<std::unique_ptr<CElementData>>& out, const ValidityTables* summariesOnly,
                          SLoadCount* count) {
  std::unique_ptr<CElementDataSet> set = LoadElementData(sel.elements, sel.dates, poster, run, summariesOnly);
  if (!set) return false;
  // The room comes first, so that the hand-over cannot stop half-way: a load that does not fit
  // ends as one that ran out of memory while it read, with the not-enough-memory line.
  try {
    out.reserve(out.size() + set->m_items.size());
  } catch (const std::bad_alloc&) {
    poster.Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY));
    return false;
  }
  if (count != nullptr) *count += set->m_count;
  for (CElementData*& d : set->m_items) {
    out.emplace_back(d);
    d = nullptr;  // now owned by `out`
  }
  return true;
}

SMultiLists ComputeMultiLists(const bool monthHasData[13]) {
  SMultiLists m;
  bool any = false, all = true;
  for (int i = 1; i <= 12; ++i) {
    any = any || monthHasData[i];
    all = all && monthHasData[i];
    m.months[i - 1] = monthHasData[i] ? kMonths[i - 1] : "n/a";
  }
  for (int d = 0; d < 7; ++d) {
    m.monthlyDays[d] = any ? kDays[d] : "n/a";
    m.yearlyDays[d] = all ? kDays[d] : "n/a";
  }
  m.monthlyEnabled = any;
  m.yearlyEnabled = all;
  return m;
}

void MonthFlagsOfDates(const CObjArray<CDateTimeEx>& dates, bool monthHasData[13]) {
  for (int i = 0; i < 13; ++i) monthHasData[i] = false;
  for (int i = 0; i < dates.m_nSize; ++i) {
    const CDateTimeEx* d = dates.m_pData[i];
    if (d && d->IsValid()) monthHasData[d->GetMonth()] = true;
  }
}

int MultiYearOfDates(const CObjArray<CDateTimeEx>& dates) {
  if (dates.m_nSize == 0) return 0;
  const CDateTimeEx* d = dates.m_pData[0];
  return d && d->IsValid() ? d->GetYear() : -1;
}
