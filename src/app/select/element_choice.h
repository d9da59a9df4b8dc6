// The rules of the element dialog that need no window: the view's selection merged into the loaded
// roadway (R), cabinet (K) and element (E) trees, the choice handed back to the view, the place of
// an added element, the line texts and the meaning of an element name's letters.
//
// Elements point to their cabinet and cabinets to their roadway. The trees own what the selected
// list shows; a view element the trees lack is shown through a temporary copy, re-pointed at the
// tree's cabinet or roadway where those exist. The copies handed back point into the view's own
// new arrays, never into the trees or the temporaries.
#pragma once

#include "containers/adr_array.h"
#include "containers/obj_array.h"
#include "containers/str.h"
#include "trafficdata/db_element.h"

using CRoadwayList = CObjArray<CDBRoadway>;
using CCabinetLists = CObjArray<CObjArray<CDBCabinet>>;
using CElementLists = CObjArray<CObjArray<CObjArray<CDBElementEx>>>;

// Copies made for view elements whose roadway, cabinet or element the trees lack; each is made once
// (roadways by route and name, cabinets by id, elements by cabinet id and name).
struct CSelectionTemporaries {
  CObjArray<CDBRoadway> roadways;
  CObjArray<CDBCabinet> cabinets;
  CObjArray<CDBElementEx> elements;
  void Clear();
};

// Appends the view's elements, in their order, to `selected`: the tree's own element where the
// trees hold it, else a temporary. The initial lines become (0, 0), then the roadway and cabinet
// of the last element found in the trees. Elements without a cabinet are left out.
void MergeSelection(const CObjArray<CDBElementEx>& view, CRoadwayList& R, CCabinetLists& K, CElementLists& E,
                    CAdrArray<CDBElementEx>& selected, CSelectionTemporaries& temps, int& initialRoadway,
                    int& initialCabinet);

// Replaces the three arrays by the selected elements in list order, each roadway once, each cabinet
// once (by id), each element copied and pointed at the copies.
void CopyBackSelection(const CAdrArray<CDBElementEx>& selected, CObjArray<CDBRoadway>& roadways,
                       CObjArray<CDBCabinet>& cabinets, CObjArray<CDBElementEx>& elements);

// Adds an element to the selected list unless the same element (cabinet id and name) is there:
// at its sorted place (cabinet id, then the element order) when `sorted`, else at the end. False
// when it was there already.
bool AddSelectedElement(CAdrArray<CDBElementEx>& selected, CDBElementEx& element, bool sorted);

// Line texts: the roadway's name; the cabinet as "%10.10s  %7.7s  %-16.16s  %3i.%02i" (id, alias,
// location, milepost in miles and hundredths); a selected element as "cabinet id:name"; an
// available element as its name.
void GetRoadwayText(CStrA& text, CDBRoadway* roadway);
void GetCabinetText(CStrA& text, CDBCabinet* cabinet);
void GetSelectedElementText(CStrA& text, CDBElementEx* element);
void GetElementNameText(CStrA& text, CDBElementEx* element);

// The meaning of each of the seven letters of an element name ("" for a letter its position does
// not know, and past the end of a short name).
void ElementNameWords(const char* name, const char* words[7]);
