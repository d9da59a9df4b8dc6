// The key list boxes of the New view: CGrpTypeList shows the keys placed in the columns, rows or
// separate reports (one line per key with its direction; a right-click on a line flips it), and
// CSrcGrpTypeList owns the fourteen keys and lists those not placed, always in key-id order.
// Both work the same without a window, so the design model runs without a display.
#pragma once

#include "containers/list_array.h"
#include "trafficdata/db_record.h"

class CGrpTypeList : public CAdrList<CGrpType> {
 public:
  CGrpTypeList() : CAdrList<CGrpType>(&CGrpType::GetText) {}

  // Flips the direction of the key at index, rewrites its line and selects it.
  void ToggleDirection(int index);
  int FindKey(int key) const { return ::FindKey(*this, key); }
  // Removes the first key with that id and its line; nothing when absent.
  void RemoveKey(int key);
  bool HasKey(int key) const { return FindKey(key) >= 0; }
  int Count() const { return m_nSize; }
  CGrpType* At(int i) const { return m_pData[i]; }

 protected:
  void OnRButtonDown(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()
};

class CSrcGrpTypeList : public CListBox {
 public:
  CSrcGrpTypeList();

  void PreSubclassWindow() override;
  // Every key back in the box, ascending, in key-id order.
  void ResetTypes();
  // Key id shown on a line, -1 for none.
  int TypeAtIndex(int line) const;
  void RemoveType(int key);
  void RestoreType(int key);
  CGrpType* TakeType(int key);

  bool IsListed(int key) const { return key >= 0 && key < kTypes && m_types[key].word >= 0; }
  int ListedCount() const;
  CGrpType& Type(int key) { return m_types[key]; }

 private:
  static constexpr int kTypes = 14;
  CGrpType m_types[kTypes];
};
