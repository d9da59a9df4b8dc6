// Element trees for the element dialog tests, built the way the loader keeps them: roadways, each
// roadway's cabinets ascending by id, each cabinet's elements ascending.
#pragma once

#include <string>
#include <vector>

#include "app/select/element_choice.h"

// Builds into trees kept elsewhere (a loader's).
struct TreeBuilder {
  CRoadwayList& R;
  CCabinetLists& K;
  CElementLists& E;

  // Adds a roadway ("I-5"), its cabinets and their elements: {cabinet id, {names}}.
  void AddRoadway(const char* name, const std::vector<std::pair<std::string, std::vector<std::string>>>& cabinets) {
    CDBRoadway roadway(name);
    const int i = R.Add(roadway);
    K.AddEmpty();
    E.AddEmpty();
    for (const auto& [id, names] : cabinets) {
      CDBCabinet cabinet(id.c_str(), "", 100, "Somewhere", R.m_pData[i]);
      const int j = K.m_pData[i]->AddSortedUnique(cabinet, true);
      E.m_pData[i]->InsertEmptyAt(j);
      for (const std::string& name : names) {
        CDBElementEx element(name.c_str(), 0, K.m_pData[i]->m_pData[j]);
        E.m_pData[i]->m_pData[j]->AddSortedUnique(element, true);
      }
    }
  }
  CDBElementEx* Element(int i, int j, int k) const { return E.m_pData[i]->m_pData[j]->m_pData[k]; }
  CDBCabinet* Cabinet(int i, int j) const { return K.m_pData[i]->m_pData[j]; }
};

struct OwnedTrees {
  CRoadwayList roadways;
  CCabinetLists cabinets;
  CElementLists elements;
};

// Trees of its own.
struct TestTrees : OwnedTrees, TreeBuilder {
  TestTrees() : TreeBuilder{roadways, cabinets, elements} {}
};

// A view's selection: elements with their own cabinets and roadways.
struct ViewSelection {
  CObjArray<CDBRoadway> roadways;
  CObjArray<CDBCabinet> cabinets;
  CObjArray<CDBElementEx> elements;

  void Add(const char* roadway, const char* cabinetId, const char* name) {
    CDBRoadway r(roadway);
    const int ri = roadways.AddUnique(r);
    CDBCabinet c(cabinetId, "", 100, "Somewhere", roadways.m_pData[ri]);
    const int ci = cabinets.AddUnique(c);
    CDBCabinet* pc = cabinets.m_pData[ci];
    CDBElementEx e(name, 0, pc);
    elements.Add(e);
  }
};

inline std::string Line(const CDBElementEx* e) { return std::string(e->CabinetId()) + ":" + e->name; }

template <class A>
std::vector<std::string> ElementLines(const A& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.m_nSize; ++i) out.push_back(Line(list.m_pData[i]));
  return out;
}
