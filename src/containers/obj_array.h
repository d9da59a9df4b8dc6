// CObjArray<T>: an address array that owns its objects.
//
// Every entry is null or the address of a heap object that this array alone owns, made by the
// array as a copy (T's copy constructor) or a default object (T's default constructor). The array
// deletes an object when it leaves: on removal, truncation, when a copy needs fewer objects, on
// RemoveAll and in the destructor. The operations that add one object (Add, AddEmpty, InsertAt,
// InsertEmptyAt) add nothing and return -1 when the object cannot be made, so that an index they
// return always leads to an object; in the others an entry is null when the allocation of its
// object failed. Every deletion skips nulls.
//
// The operations that create, copy or drop elements are replaced by deep versions; the searches
// and the object-level Peek, Extract and RemoveHead are inherited and reach the replacements
// through the virtual table (so RemoveHead deletes the head object after assigning it out).
// Deep copies reuse the existing objects by assignment (they keep their addresses) and create or
// delete only the missing or surplus ones.
//
// Deletion order: last to first in the destructor, RemoveAll and Truncate; ascending in RemoveAt,
// ResetSize and the deep copies.
//
// The address-level operations inherited from CScalarArray<T*> hand the given addresses to the
// array, which will delete them (never store one address twice). The address-level Extract,
// RemoveHead and SetSize would hand out deleted objects or lose objects, so they are refused here:
// use the object-level Extract and RemoveHead and Resize.
#pragma once

#include <new>

#include "containers/adr_array.h"

template <class T>
class CObjArray : public CAdrArray<T> {
  using Adr = CAdrArray<T>;
  using Base = CScalarArray<T*>;

 public:
  using Base::m_nAllocBytes;
  using Base::m_nSize;
  using Base::m_pData;

  // Keep the other overloads of the replaced names reachable.
  using Adr::Add;
  using Adr::Append;
  using Adr::Copy;
  using Adr::Extract;
  using Adr::InsertArrayAt;
  using Adr::InsertAt;
  using Adr::RemoveHead;

  CObjArray() = default;

  // A deep copy: room for the source's size at once, then a copy of each object in order.
  CObjArray(const CObjArray& src) : Adr(src.m_nSize) {
    if (!m_pData) return;
    for (int i = 0; i < src.m_nSize; ++i) {
      m_pData[i] = NewCopy(src.m_pData[i]);
      m_nSize = i + 1;
    }
  }

  // Assignment is the deep Copy.
  CObjArray& operator=(const CObjArray& src) {
    Copy(src);
    return *this;
  }

  // Deletes the objects from the last to the first, then the base frees the address block.
  ~CObjArray() override { DeleteDownTo(0); }

  // ---- replaced operations ----

  // Makes the array n default-valued objects, reusing the existing ones by assignment.
  void ResetSize(int n) override {
    if (n < 0) return;
    if (n > m_nSize && (!Base::FitsAfter(0, n) || !this->Reserve(n))) return;
    const T d{};
    int keep = n < m_nSize ? n : m_nSize;
    for (int i = 0; i < keep; ++i) AssignEntry(i, &d);
    if (n <= m_nSize) {
      for (int i = n; i < m_nSize; ++i) DeleteEntry(i);
    } else {
      for (int i = m_nSize; i < n; ++i) m_pData[i] = NewDefault();
    }
    m_nSize = n;
  }

  // Appends n default objects.
  void AppendEmpty(int n) override {
    if (n < 1 || !Base::FitsAfter(m_nSize, n) || !this->Reserve(m_nSize + n)) return;
    for (int i = 0; i < n; ++i) m_pData[m_nSize++] = NewDefault();
  }

  // Inserts a default object at i (at or past the end: appended); returns the index used.
  int InsertEmptyAt(int i) override {
    if (i < 0) return -1;
    return StoreAt(i, NewDefault());
  }

  // Inserts n default objects at i; n = 0 returns i untouched.
  int InsertEmptiesAt(int i, int n) override {
    if (n == 0) return i;
    if (i < 0 || n < 0 || !Base::FitsAfter(m_nSize, n)) return -1;
    i = this->OpenGap(i, n);
    if (i < 0) return -1;
    for (int t = 0; t < n; ++t) m_pData[i + t] = NewDefault();
    return i;
  }

  // Deletes the objects from the last down to index n; returns the new size.
  int Truncate(int n) override {
    if (n < 0 || n >= m_nSize) return m_nSize;
    DeleteDownTo(n);
    return n;
  }

  // Appends a default object; returns its index.
  int AddEmpty() override { return StoreAt(m_nSize, NewDefault()); }

  // Deletes up to n objects from i (ascending), then closes the gap.
  void RemoveAt(int i, int n) override {
    if (i < 0 || i >= m_nSize || n < 1) return;
    int k = n < m_nSize - i ? n : m_nSize - i;
    for (int t = i; t < i + k; ++t) DeleteEntry(t);
    int tail = m_nSize - i - k;
    if (tail > 0) std::memmove(m_pData + i, m_pData + i + k, Base::Bytes(tail));
    m_nSize -= k;
  }

  // Deletes every object, the last first; the address block stays.
  void RemoveAll() override { DeleteDownTo(0); }

  // A deep copy of src's objects from nStart (clamped at src's end). With the array itself as
  // src the objects outside the range are removed and the range's objects stay, now in front.
  int CopyRange(const Adr& src, int nStart, int nCount) override {
    int k = Adr::RangeCount(src, nStart, nCount);
    if (k < 0) return m_nSize;
    if (&src == this) {
      int end = nStart + k;  // within the array: no overflow
      if (end < m_nSize) this->RemoveAt(end, m_nSize - end);
      if (nStart > 0) this->RemoveAt(0, nStart);
      return m_nSize;
    }
    T* const* run = src.m_pData + nStart;
    return DeepCopy(k, [run](int t) -> const T* { return run[t]; });
  }

  // A deep copy of all of src; nothing when src is this array.
  Adr& Copy(const Adr& src) override {
    if (&src == this) return *this;
    T* const* run = src.m_pData;
    DeepCopy(src.m_nSize, [run](int t) -> const T* { return run[t]; });
    return *this;
  }

  // Takes copies of pObjects[0 .. nCount) (the owning form of CopyAddresses); returns the size.
  int CopyAddresses(T* pObjects, int nCount) override {
    if (nCount < 0) nCount = 0;
    if (nCount > 0 && !pObjects) return m_nSize;
    return DeepCopy(nCount, [pObjects](int t) -> const T* { return &pObjects[t]; });
  }

  // Appends copies of src's objects nStart .. (clamped); works with the array itself as src.
  void AppendRange(const Adr& src, int nStart, int nCount) override {
    int k = Adr::RangeCount(src, nStart, nCount);
    if (k < 1 || !Base::FitsAfter(m_nSize, k) || !this->Reserve(m_nSize + k)) return;
    // src's entries are read after growth; its first entries are not touched by the appends.
    for (int t = 0; t < k; ++t) {
      T* p = NewCopy(src.m_pData[nStart + t]);
      m_pData[m_nSize++] = p;
    }
  }

  // Appends copies of all of src's objects; with the array itself, one copy of each object it
  // held before the call.
  Adr& Append(const Adr& src) override {
    AppendRange(src, 0, src.m_nSize);
    return *this;
  }

  // Appends copies of pObjects[0 .. nCount) (the owning form of AppendAddresses).
  void AppendAddresses(T* pObjects, int nCount) override {
    if (nCount < 1 || !pObjects || !Base::FitsAfter(m_nSize, nCount) || !this->Reserve(m_nSize + nCount)) return;
    for (int t = 0; t < nCount; ++t) m_pData[m_nSize++] = NewCopy(&pObjects[t]);
  }

  // Inserts copies of src's objects nStart .. (clamped) at i; at or past the end this appends and
  // returns the old size.
  int InsertRangeAt(int i, const Adr& src, int nStart, int nCount) override {
    if (i < 0) return -1;
    if (i >= m_nSize) {
      int old = m_nSize;
      AppendRange(src, nStart, nCount);
      return old;
    }
    int k = Adr::RangeCount(src, nStart, nCount);
    if (k < 0) return -1;
    if (&src == this) {
      // Copies made first, so the source does not change while it is read.
      CObjArray tmp;
      tmp.CopyRange(src, nStart, nCount);
      return this->InsertArrayAt(i, tmp);
    }
    if (k == 0) return i;
    return InsertCopies(i, k, [&src, nStart](int t) -> const T* { return src.m_pData[nStart + t]; });
  }

  // Inserts copies of all of src's objects at i; at or past the end this is Append and returns
  // the old size. With the array itself as src, the copies are of the objects before the call.
  int InsertArrayAt(int i, const Adr& src) override {
    if (i < 0) return -1;
    if (i >= m_nSize) {
      int old = m_nSize;
      Append(src);
      return old;
    }
    if (&src == this) {
      CObjArray tmp(*this);
      if (tmp.m_nSize != m_nSize) return -1;
      return this->InsertArrayAt(i, tmp);
    }
    if (src.m_nSize < 1) return i;
    return InsertCopies(i, src.m_nSize, [&src](int t) -> const T* { return src.m_pData[t]; });
  }

  // Inserts a copy of obj (made first: obj may belong to this array) at i.
  int InsertAt(int i, T& obj) override {
    if (i < 0) return -1;
    return StoreAt(i, NewCopy(&obj));
  }

  // Inserts copies of pObjects[0 .. nCount) at i (the owning form of InsertAddressesAt).
  int InsertAddressesAt(int i, T* pObjects, int nCount) override {
    if (nCount == 0) return i;
    if (i < 0 || nCount < 0 || !pObjects) return -1;
    return InsertCopies(i, nCount, [pObjects](int t) -> const T* { return &pObjects[t]; });
  }

  // Appends a copy of obj (made first: obj may belong to this array); returns its index.
  int Add(T& obj) override { return StoreAt(m_nSize, NewCopy(&obj)); }

  // Refused on an owning array (see the header comment).
  void SetSize(int, bool) override {}
  int Extract(T**, int, int) override { return 0; }
  bool RemoveHead(T**) override { return false; }

  // ---- appended operation ----

  // n objects: surplus deleted (last first) or default objects appended; the others keep
  // their values.
  virtual void Resize(int n) {
    if (n < 0) return;
    if (n <= m_nSize)
      this->Truncate(n);
    else
      this->AppendEmpty(n - m_nSize);
  }

  // ---- conveniences ----

  // The owning names of CopyAddresses, AppendAddresses and InsertAddressesAt: they copy.
  int CopyObjects(const T* pObjects, int nCount) { return this->CopyAddresses(const_cast<T*>(pObjects), nCount); }
  void AppendObjects(const T* pObjects, int nCount) { this->AppendAddresses(const_cast<T*>(pObjects), nCount); }
  int InsertObjectsAt(int i, const T* pObjects, int nCount) {
    return this->InsertAddressesAt(i, const_cast<T*>(pObjects), nCount);
  }

  // Add and InsertAt store copies, so const objects and temporaries are welcome.
  int Add(const T& obj) { return this->Add(const_cast<T&>(obj)); }
  int InsertAt(int i, const T& obj) { return this->InsertAt(i, const_cast<T&>(obj)); }

 protected:
  static T* NewCopy(const T* src) { return src ? new (std::nothrow) T(*src) : nullptr; }
  static T* NewDefault() { return new (std::nothrow) T(); }

  void DeleteEntry(int i) {
    T* p = m_pData[i];
    m_pData[i] = nullptr;
    delete p;
  }

  // Deletes objects from the last down to index n, lowering the size before each deletion.
  void DeleteDownTo(int n) {
    while (m_nSize > n) {
      T* p = m_pData[--m_nSize];
      delete p;
    }
  }

  // Entry i takes the value of *src: by assignment when it holds an object, as a new copy when
  // it is null; a null source makes it null.
  void AssignEntry(int i, const T* src) {
    if (!src)
      DeleteEntry(i);
    else if (m_pData[i])
      *m_pData[i] = *src;
    else
      m_pData[i] = NewCopy(src);
  }

  // Stores a new object at i, or at the end when i is at or past it. Nothing is stored when the
  // object could not be made (null), and the object is deleted when no room can be had.
  int StoreAt(int i, T* p) {
    if (p == nullptr || !this->GrowByOne()) {
      delete p;
      return -1;
    }
    if (i < m_nSize)
      std::memmove(m_pData + i + 1, m_pData + i, Base::Bytes(m_nSize - i));
    else
      i = m_nSize;
    m_pData[i] = p;
    ++m_nSize;
    return i;
  }

  // The deep copy of k source objects: existing objects are assigned, surplus ones deleted in
  // ascending order, missing ones created. Returns k (the old size when no room can be had).
  template <class Source>
  int DeepCopy(int k, Source src) {
    if (k <= m_nSize) {
      for (int t = 0; t < k; ++t) AssignEntry(t, src(t));
      for (int t = k; t < m_nSize; ++t) DeleteEntry(t);
      m_nSize = k;
      return k;
    }
    if (!this->Reserve(k)) return m_nSize;
    for (int t = 0; t < m_nSize; ++t) AssignEntry(t, src(t));
    for (int t = m_nSize; t < k; ++t) {
      m_pData[t] = NewCopy(src(t));
      m_nSize = t + 1;
    }
    return k;
  }

  // Opens a gap of k at i (at or past the end: appended) and fills it with copies.
  template <class Source>
  int InsertCopies(int i, int k, Source src) {
    if (!Base::FitsAfter(m_nSize, k)) return -1;
    i = this->OpenGap(i, k);
    if (i < 0) return -1;
    for (int t = 0; t < k; ++t) m_pData[i + t] = NewCopy(src(t));
    return i;
  }
};
