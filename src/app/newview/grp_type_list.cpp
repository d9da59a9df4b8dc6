#include "app/newview/grp_type_list.h"

BEGIN_MESSAGE_MAP(CGrpTypeList, CListBox)
ON_WM_RBUTTONDOWN()
END_MESSAGE_MAP()

void CGrpTypeList::ToggleDirection(int index) {
  if (!::ToggleDirection(*this, index)) return;
  if (!::IsWindow(m_hWnd)) return;
  ItemText text;
  ListDeleteString(index);
  ListInsertString(index, LineText(text, m_pData[index]));
  SetCurSel(index);
}

void CGrpTypeList::RemoveKey(int key) {
  int i = FindKey(key);
  if (i >= 0) RemoveAt(i, 1);
}

void CGrpTypeList::OnRButtonDown(UINT flags, CPoint point) {
  BOOL outside = TRUE;
  UINT item = ItemFromPoint(point, outside);
  if (!outside && static_cast<int>(item) < m_nSize) ToggleDirection(static_cast<int>(item));
  CListBox::OnRButtonDown(flags, point);
}

CSrcGrpTypeList::CSrcGrpTypeList() {
  for (int k = 0; k < kTypes; ++k) m_types[k] = CGrpType(k, true, k);
}

void CSrcGrpTypeList::PreSubclassWindow() {
  for (int k = 0; k < kTypes; ++k) {
    m_types[k].key = k;
    m_types[k].word = k;
    AddString(GroupKeyName(k));
  }
  CListBox::PreSubclassWindow();
}

void CSrcGrpTypeList::ResetTypes() {
  if (::IsWindow(m_hWnd)) ResetContent();
  for (int k = 0; k < kTypes; ++k) {
    m_types[k] = CGrpType();
    m_types[k].key = k;
    m_types[k].word = k;
    if (::IsWindow(m_hWnd)) AddString(GroupKeyName(k));
  }
}

int CSrcGrpTypeList::ListedCount() const {
  int n = 0;
  for (const CGrpType& t : m_types) n += t.word >= 0 ? 1 : 0;
  return n;
}

int CSrcGrpTypeList::TypeAtIndex(int line) const {
  if (line < 0 || line >= ListedCount()) return -1;
  for (const CGrpType& t : m_types)
    if (t.word == line) return t.key;
  return -1;
}

void CSrcGrpTypeList::RemoveType(int key) {
  if (!IsListed(key)) return;
  int line = m_types[key].word;
  m_types[key].word = -1;
  for (int k = key + 1; k < kTypes; ++k)
    if (m_types[k].word >= 0) --m_types[k].word;
  if (::IsWindow(m_hWnd)) {
    DeleteString(static_cast<UINT>(line));
    SetCurSel(line);
  }
}

void CSrcGrpTypeList::RestoreType(int key) {
  if (key < 0 || key >= kTypes || IsListed(key)) return;
  int line = -1;
  for (int k = key + 1; k < kTypes; ++k) {
    if (m_types[k].word < 0) continue;
    if (line < 0) line = m_types[k].word;
    ++m_types[k].word;
  }
  if (line < 0) {
    m_types[key].word = ListedCount();
    if (::IsWindow(m_hWnd)) AddString(GroupKeyName(key));
  } else {
    m_types[key].word = line;
    if (::IsWindow(m_hWnd)) InsertString(line, GroupKeyName(key));
  }
}

CGrpType* CSrcGrpTypeList::TakeType(int key) {
  if (key < 0 || key >= kTypes) return nullptr;
  RemoveType(key);
  return &m_types[key];
}
