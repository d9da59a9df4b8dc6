// CNewPtrArray: a set of heap blocks kept sorted by address, all freed (as memory only: no
// destructor runs) when the array is destroyed. The registry of modeless message boxes is one.
#pragma once

#include <new>

#include "containers/scalar_array.h"

class CNewPtrArray : private CScalarArray<void*> {
  using Base = CScalarArray<void*>;

 public:
  using Base::FindInsertPos;
  using Base::FindSorted;
  using Base::InsertSorted;
  using Base::m_nSize;
  using Base::m_pData;
  using Base::RemoveAt;

  CNewPtrArray() = default;
  CNewPtrArray(const CNewPtrArray&) = delete;
  CNewPtrArray& operator=(const CNewPtrArray&) = delete;

  ~CNewPtrArray() override {
    while (m_nSize > 0) {
      void* p = m_pData[--m_nSize];
      ::operator delete(p);
    }
  }

  // Registers a block (ascending by address); returns its index.
  int Register(void* p) { return InsertSorted(&p, true); }
  // Takes a block off without freeing it; false when it was not registered.
  bool Unregister(void* p) {
    const int i = FindSorted(&p, true);
    if (i < 0) return false;
    RemoveAt(i, 1);
    return true;
  }
};
