// List boxes whose lines show the elements of an array, line i for element i.
//
// CListArray<T> is a list box with a text callback and four guarded line requests; CAdrList<T>
// joins it with an address array (the objects belong to others), CObjList<T> with an owning
// array. Adding, inserting, removing, moving and emptying keep the box in step with the array;
// attaching the control to its window fills the box. The array works the same with or without a
// window: without one the line requests send nothing. Operations not named here change only the
// array; an owner that uses them refreshes the box (Refill).
//
// A line request made on a worker thread reaches the box through the window system's synchronous
// cross-thread send, so the box is only ever touched on the user-interface thread.
#pragma once

#include "containers/adr_array.h"
#include "containers/obj_array.h"
#include "containers/str.h"
#include "platform/ui/controls.h"

template <class T>
class CListArray : public CListBox {
 public:
  using ItemText = CStr<char, wchar_t>;
  using GetItemTextFn = void (*)(ItemText& text, T* element);

  explicit CListArray(GetItemTextFn fn = nullptr) : m_pfnGetItemText(fn) {}
  CListArray(const CListArray&) = delete;
  CListArray& operator=(const CListArray&) = delete;
  ~CListArray() override = default;

  // The line requests: nothing is sent without a window (results -1).
  virtual void ListResetContent() {
    if (::IsWindow(m_hWnd)) ::SendMessage(m_hWnd, LB_RESETCONTENT);
  }
  virtual int ListAddString(const char* text) {
    if (!::IsWindow(m_hWnd)) return LB_ERR;
    return static_cast<int>(::SendMessage(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
  }
  virtual int ListInsertString(int index, const char* text) {
    if (!::IsWindow(m_hWnd)) return LB_ERR;
    return static_cast<int>(::SendMessage(m_hWnd, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  virtual int ListDeleteString(int index) {
    if (!::IsWindow(m_hWnd)) return LB_ERR;
    return static_cast<int>(::SendMessage(m_hWnd, LB_DELETESTRING, static_cast<WPARAM>(index)));
  }

  // Empties the box and adds one line per element; the array is unchanged.
  virtual void Refill() = 0;

  GetItemTextFn m_pfnGetItemText;

 protected:
  // The element's line in `text` (the callback replaces the whole text); the characters to send.
  const char* LineText(ItemText& text, T* element) {
    if (m_pfnGetItemText != nullptr && element != nullptr) m_pfnGetItemText(text, element);
    else text = "";
    return text.m_pData != nullptr ? text.m_pData : "";
  }
};

// The box-keeping operations shared by the two list kinds; A is the array part.
template <class T, class A>
class CListArrayOf : public CListArray<T>, public A {
  using List = CListArray<T>;

 public:
  using typename List::GetItemTextFn;
  using typename List::ItemText;
  using A::Add;
  using A::InsertAt;
  using A::m_nSize;
  using A::m_pData;

  explicit CListArrayOf(GetItemTextFn fn = nullptr) : List(fn) {}

  void PreSubclassWindow() override {
    ItemText text;
    for (int i = 0; i < m_nSize; ++i) List::ListAddString(this->LineText(text, m_pData[i]));
    CListBox::PreSubclassWindow();
  }

  // Empties the box (when there is one) and always the array.
  void ListResetContent() override {
    List::ListResetContent();
    this->RemoveAll();
  }
  void Empty() override { ListResetContent(); }

  void Refill() override {
    if (!::IsWindow(this->m_hWnd)) return;
    List::ListResetContent();
    ItemText text;
    for (int i = 0; i < m_nSize; ++i) List::ListAddString(this->LineText(text, m_pData[i]));
  }

  int Add(T& obj) override {
    int i = A::Add(obj);
    if (i >= 0 && ::IsWindow(this->m_hWnd)) {
      ItemText text;
      this->ListAddString(this->LineText(text, m_pData[i]));
    }
    return i;
  }

  // The box gets the index the array used, so a position past the end appends in both.
  int InsertAt(int nIndex, T& obj) override {
    int i = A::InsertAt(nIndex, obj);
    if (i >= 0 && ::IsWindow(this->m_hWnd)) {
      ItemText text;
      this->ListInsertString(i, this->LineText(text, m_pData[i]));
    }
    return i;
  }

  // As many lines go as elements went.
  void RemoveAt(int i, int n) override {
    int before = m_nSize;
    A::RemoveAt(i, n);
    if (i < 0 || i >= before || n < 1 || !::IsWindow(this->m_hWnd)) return;
    int removed = before - m_nSize;
    for (int k = 0; k < removed; ++k) this->ListDeleteString(i);
  }

  bool MoveUp(int i) override {
    if (!A::MoveUp(i)) return false;
    RewriteLine(i);
    RewriteLine(i - 1);
    return true;
  }

  bool MoveDown(int i) override {
    if (!A::MoveDown(i)) return false;
    RewriteLine(i);
    RewriteLine(i + 1);
    return true;
  }

 protected:
  // Replaces line i by the line of the element now at i (the box has no swap request).
  void RewriteLine(int i) {
    if (!::IsWindow(this->m_hWnd)) return;
    ItemText text;
    this->ListDeleteString(i);
    this->ListInsertString(i, this->LineText(text, m_pData[i]));
  }
};

// A list box over objects that others own.
template <class T>
class CAdrList : public CListArrayOf<T, CAdrArray<T>> {
  using Base = CListArrayOf<T, CAdrArray<T>>;

 public:
  using typename Base::GetItemTextFn;
  using typename Base::ItemText;
  using Base::m_nSize;
  using Base::m_pData;
  using CAdrArray<T>::Copy;
  using CAdrArray<T>::Append;

  explicit CAdrList(GetItemTextFn fn = nullptr) : Base(fn) {}

  // The array becomes a copy of src's addresses and every line is rebuilt; copying the list's
  // own array changes nothing.
  CAdrList& Copy(const CAdrArray<T>& src) override {
    if (&src == static_cast<const CAdrArray<T>*>(this)) return *this;
    CAdrArray<T>::Copy(src);
    if (::IsWindow(this->m_hWnd)) {
      CListArray<T>::ListResetContent();
      ItemText text;
      for (int i = 0; i < m_nSize; ++i) this->ListAddString(this->LineText(text, m_pData[i]));
    }
    return *this;
  }

  // One line for each appended element (appending the list to itself doubles both).
  CAdrList& Append(const CAdrArray<T>& src) override {
    int before = m_nSize;
    CAdrArray<T>::Append(src);
    if (::IsWindow(this->m_hWnd)) {
      ItemText text;
      for (int i = before; i < m_nSize; ++i) this->ListAddString(this->LineText(text, m_pData[i]));
    }
    return *this;
  }
};

// A list box over objects that it owns; Copy and Append (of whole arrays) leave the box as it was.
template <class T>
class CObjList : public CListArrayOf<T, CObjArray<T>> {
  using Base = CListArrayOf<T, CObjArray<T>>;

 public:
  using typename Base::GetItemTextFn;
  explicit CObjList(GetItemTextFn fn = nullptr) : Base(fn) {}
};
