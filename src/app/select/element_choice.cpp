#include "app/select/element_choice.h"

#include <cstdlib>
#include <cstring>

void CSelectionTemporaries::Clear() {
  elements.RemoveAll();
  cabinets.RemoveAll();
  roadways.RemoveAll();
}

namespace {

// The stored copy of `item` in `temps` (an equal one when there is one); null when it cannot be
// stored.
template <class T>
T* Temporary(CObjArray<T>& temps, T& item) {
  const int i = temps.AddUnique(item);
  return i >= 0 ? temps.m_pData[i] : nullptr;
}

int FindRoadway(CRoadwayList& R, const CDBRoadway& roadway) {
  for (int i = 0; i < R.m_nSize; ++i)
    if (R.m_pData[i] != nullptr && *R.m_pData[i] == roadway) return i;
  return -1;
}

}  // namespace

void MergeSelection(const CObjArray<CDBElementEx>& view, CRoadwayList& R, CCabinetLists& K, CElementLists& E,
                    CAdrArray<CDBElementEx>& selected, CSelectionTemporaries& temps, int& initialRoadway,
                    int& initialCabinet) {
  initialRoadway = initialCabinet = 0;
  const CDBRoadway none;
  for (int n = 0; n < view.m_nSize; ++n) {
    const CDBElementEx* element = view.m_pData[n];
    if (element == nullptr || element->cabinet == nullptr) continue;
    const CDBCabinet& cabinet = *element->cabinet;
    const CDBRoadway& roadway = cabinet.roadway != nullptr ? *cabinet.roadway : none;
    CDBElementEx copy(*element);
    CDBCabinet cabinetCopy(cabinet);

    const int i = FindRoadway(R, roadway);
    const bool treeHasRoadway = i >= 0 && i < K.m_nSize && i < E.m_nSize && K.m_pData[i] && E.m_pData[i];
    if (treeHasRoadway) {
      CObjArray<CDBCabinet>& cabinets = *K.m_pData[i];
      const int j = cabinets.FindSorted(cabinet, true);
      if (j >= 0 && j < E.m_pData[i]->m_nSize && E.m_pData[i]->m_pData[j] != nullptr) {
        CObjArray<CDBElementEx>& elements = *E.m_pData[i]->m_pData[j];
        copy.cabinet = cabinets.m_pData[j];
        const int k = elements.FindSorted(copy, true);
        if (k >= 0) {
          selected.Add(*elements.m_pData[k]);
          initialRoadway = i;
          initialCabinet = j;
          continue;
        }
      } else {
        cabinetCopy.roadway = R.m_pData[i];
        copy.cabinet = Temporary(temps.cabinets, cabinetCopy);
      }
    } else {
      CDBRoadway roadwayCopy(roadway);
      cabinetCopy.roadway = Temporary(temps.roadways, roadwayCopy);
      copy.cabinet = cabinetCopy.roadway != nullptr ? Temporary(temps.cabinets, cabinetCopy) : nullptr;
    }
    if (copy.cabinet == nullptr) continue;
    if (CDBElementEx* temp = Temporary(temps.elements, copy)) selected.Add(*temp);
  }
}

void CopyBackSelection(const CAdrArray<CDBElementEx>& selected, CObjArray<CDBRoadway>& roadways,
                       CObjArray<CDBCabinet>& cabinets, CObjArray<CDBElementEx>& elements) {
  elements.RemoveAll();
  cabinets.RemoveAll();
  roadways.RemoveAll();
  const CDBRoadway none;
  for (int n = 0; n < selected.m_nSize; ++n) {
    const CDBElementEx* element = selected.m_pData[n];
    if (element == nullptr || element->cabinet == nullptr) continue;
    CDBRoadway roadway(element->cabinet->roadway != nullptr ? *element->cabinet->roadway : none);
    CDBCabinet cabinet(*element->cabinet);
    cabinet.roadway = Temporary(roadways, roadway);
    CDBElementEx copy(*element);
    copy.cabinet = cabinet.roadway != nullptr ? Temporary(cabinets, cabinet) : nullptr;
    if (copy.cabinet != nullptr) elements.Add(copy);
  }
}

bool AddSelectedElement(CAdrArray<CDBElementEx>& selected, CDBElementEx& element, bool sorted) {
  // The list may hold the view's earlier choice in its own order, so the search for an equal
  // element looks at every line.
  for (int i = 0; i < selected.m_nSize; ++i)
    if (selected.m_pData[i] != nullptr && *selected.m_pData[i] == element) return false;
  const int at = sorted ? selected.InsertAt(selected.FindInsertPos(element, true), element) : selected.Add(element);
  return at >= 0;
}

void GetRoadwayText(CStrA& text, CDBRoadway* roadway) { text = roadway->name; }

void GetCabinetText(CStrA& text, CDBCabinet* cabinet) {
  text.Format("%10.10s  %7.7s  %-16.16s  %3i.%02i", cabinet->id, cabinet->alias, cabinet->location,
              cabinet->milepost / 100, std::abs(cabinet->milepost % 100));
}

void GetSelectedElementText(CStrA& text, CDBElementEx* element) {
  text.Format("%s:%s", element->CabinetId(), element->name);
}

void GetElementNameText(CStrA& text, CDBElementEx* element) { text = element->name; }

void ElementNameWords(const char* name, const char* words[7]) {
  const size_t length = name != nullptr ? std::strlen(name) : 0;
  for (int pos = 0; pos < 7; ++pos)
    words[pos] = static_cast<size_t>(pos) < length ? ElementCodeMeaning(pos, name[pos]) : "";
}
