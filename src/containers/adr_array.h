// CAdrArray<T>: an array of addresses of T objects that live elsewhere.
//
// It stores pointers and never constructs, copies or destroys a T; removing an address or
// destroying the array leaves the objects alone. The 29 operations inherited from
// CScalarArray<T*> still treat the addresses as plain values (they compare addresses). The 19
// object-level operations added here take objects by reference, compare the objects with the
// element type's Compare, operator< and operator== (see element_order.h), and copy objects out
// with its assignment. Everything that makes room, inserts or removes goes through the virtual
// table, so CObjArray's deep overrides act inside the operations inherited from here.
#pragma once

#include "containers/scalar_array.h"

template <class T>
class CAdrArray : public CScalarArray<T*> {
  using Base = CScalarArray<T*>;
  using Order = CObjectOrder<T>;

 public:
  using Base::m_nAllocBytes;
  using Base::m_nSize;
  using Base::m_pData;

  // The address-level operations stay reachable next to the object-level ones of the same name.
  using Base::Add;
  using Base::AddSortedUnique;
  using Base::AddUnique;
  using Base::Append;
  using Base::Copy;
  using Base::Extract;
  using Base::FindInsertPos;
  using Base::FindSorted;
  using Base::InsertArrayAt;
  using Base::InsertAt;
  using Base::InsertSorted;
  using Base::Peek;
  using Base::RemoveHead;

  CAdrArray() = default;
  // Room for nCount addresses; a count below 1 allocates nothing.
  explicit CAdrArray(int nCount) : Base(nCount) {}
  CAdrArray(const CAdrArray&) = default;
  CAdrArray& operator=(const CAdrArray&) = default;
  ~CAdrArray() override = default;

  // ---- object-level virtual operations, after the inherited 29 ----

  // Makes the array the nCount addresses of src from nStart (clamped at src's end); with the
  // array itself as src the range moves to the front and the rest is dropped. Returns the count.
  virtual int CopyRange(const CAdrArray& src, int nStart, int nCount) {
    int k = RangeCount(src, nStart, nCount);
    if (k < 0) return m_nSize;
    if (&src == this) {
      if (k > 0 && nStart > 0) std::memmove(m_pData, m_pData + nStart, Base::Bytes(k));
      m_nSize = k;
      return k;
    }
    if (!this->ClearAndReserve(k)) return m_nSize;
    if (k > 0) std::memcpy(m_pData, src.m_pData + nStart, Base::Bytes(k));
    m_nSize = k;
    return k;
  }

  // Makes the array hold src's addresses; nothing when src is this array.
  virtual CAdrArray& Copy(const CAdrArray& src) {
    if (&src == this) return *this;
    if (this->ClearAndReserve(src.m_nSize) && src.m_nSize > 0) {
      std::memcpy(m_pData, src.m_pData, Base::Bytes(src.m_nSize));
      m_nSize = src.m_nSize;
    }
    return *this;
  }

  // Makes the array the addresses of pObjects[0 .. nCount); returns the new size.
  virtual int CopyAddresses(T* pObjects, int nCount) {
    if (nCount < 0) nCount = 0;
    if (nCount > 0 && !pObjects) return m_nSize;
    if (!this->ClearAndReserve(nCount)) return m_nSize;
    for (int i = 0; i < nCount; ++i) m_pData[i] = &pObjects[i];
    m_nSize = nCount;
    return m_nSize;
  }

  // Appends nCount addresses of src from nStart (clamped at src's end).
  virtual void AppendRange(const CAdrArray& src, int nStart, int nCount) {
    int k = RangeCount(src, nStart, nCount);
    if (k < 1 || !Base::FitsAfter(m_nSize, k) || !this->Reserve(m_nSize + k)) return;
    // Read src only now: when it is this array, growth may have moved the block.
    std::memcpy(m_pData + m_nSize, src.m_pData + nStart, Base::Bytes(k));
    m_nSize += k;
  }

  // Appends all of src's addresses (appending the array to itself doubles it).
  virtual CAdrArray& Append(const CAdrArray& src) {
    int k = src.m_nSize;
    if (k < 1 || !Base::FitsAfter(m_nSize, k) || !this->Reserve(m_nSize + k)) return *this;
    std::memcpy(m_pData + m_nSize, src.m_pData, Base::Bytes(k));
    m_nSize += k;
    return *this;
  }

  // Appends the addresses of pObjects[0 .. nCount).
  virtual void AppendAddresses(T* pObjects, int nCount) {
    if (nCount < 1 || !pObjects || !Base::FitsAfter(m_nSize, nCount) || !this->Reserve(m_nSize + nCount)) return;
    for (int i = 0; i < nCount; ++i) m_pData[m_nSize + i] = &pObjects[i];
    m_nSize += nCount;
  }

  // Inserts nCount addresses of src from nStart at nIndex (at or past the end: appended).
  // Nothing to insert returns nIndex unchanged. Returns the index used.
  virtual int InsertRangeAt(int nIndex, const CAdrArray& src, int nStart, int nCount) {
    int k = RangeCount(src, nStart, nCount);
    if (k == 0) return nIndex;
    if (k < 0 || nIndex < 0 || !Base::FitsAfter(m_nSize, k)) return -1;
    if (&src == this) {
      Base run(m_pData + nStart, k);  // the range shifts while the gap opens
      if (run.m_nSize != k) return -1;
      return InsertRun(nIndex, run.m_pData, k);
    }
    return InsertRun(nIndex, src.m_pData + nStart, k);
  }

  // Inserts all of src's addresses at nIndex (at or past the end: appended, the size returned).
  virtual int InsertArrayAt(int nIndex, const CAdrArray& src) {
    if (nIndex < 0) return -1;
    if (nIndex >= m_nSize) {
      int old = m_nSize;
      Append(src);
      return old;
    }
    if (&src == this) {
      CAdrArray copy;
      copy.Base::Copy(m_pData, m_nSize);
      if (copy.m_nSize != m_nSize) return -1;
      return InsertArrayAt(nIndex, copy);
    }
    if (src.m_nSize < 1) return nIndex;
    if (!Base::FitsAfter(m_nSize, src.m_nSize)) return -1;
    return InsertRun(nIndex, src.m_pData, src.m_nSize);
  }

  // Stores the address of obj at nIndex (at or past the end: appended); returns the index used.
  virtual int InsertAt(int nIndex, T& obj) {
    if (nIndex < 0 || !this->GrowByOne()) return -1;
    if (nIndex < m_nSize)
      std::memmove(m_pData + nIndex + 1, m_pData + nIndex, Base::Bytes(m_nSize - nIndex));
    else
      nIndex = m_nSize;
    m_pData[nIndex] = &obj;
    ++m_nSize;
    return nIndex;
  }

  // Stores the addresses of pObjects[0 .. nCount) from nIndex on; a count of 0 returns nIndex.
  virtual int InsertAddressesAt(int nIndex, T* pObjects, int nCount) {
    if (nCount == 0) return nIndex;
    if (nIndex < 0 || nCount < 0 || !pObjects || !Base::FitsAfter(m_nSize, nCount)) return -1;
    nIndex = this->OpenGap(nIndex, nCount);
    if (nIndex < 0) return -1;
    for (int i = 0; i < nCount; ++i) m_pData[nIndex + i] = &pObjects[i];
    return nIndex;
  }

  // Appends the address of obj; returns its index.
  virtual int Add(T& obj) {
    if (!this->GrowByOne()) return -1;
    m_pData[m_nSize] = &obj;
    return m_nSize++;
  }

  // The index of the first object equal to obj, or the index where obj was added.
  virtual int AddUnique(T& obj) {
    for (int i = 0; i < m_nSize; ++i)
      if (m_pData[i] && Order::Equal(obj, *m_pData[i])) return i;
    return Add(obj);
  }

  // Bisection search by Compare in an array sorted in the given direction; -1 when absent.
  virtual int FindSorted(const T& obj, bool bAscending) const {
    return sorted_search::Find(m_nSize, bAscending, [&](int mid) { return CompareTo(obj, m_pData[mid]); });
  }

  // Where obj goes to keep the order, by operator< only: behind equal objects when ascending,
  // before them when descending.
  virtual int FindInsertPos(const T& obj, bool bAscending) const {
    return sorted_search::InsertPos(m_nSize, bAscending, [&](int mid) { return LessThan(obj, m_pData[mid]); });
  }

  virtual int InsertSorted(T& obj, bool bAscending) { return InsertAt(FindInsertPos(obj, bAscending), obj); }

  // The index of an equal object, or the index where obj was inserted in order.
  virtual int AddSortedUnique(T& obj, bool bAscending) {
    bool found = false;
    int i = sorted_search::UniquePos(m_nSize, bAscending, [&](int mid) { return CompareTo(obj, m_pData[mid]); }, found);
    return found ? i : InsertAt(i, obj);
  }

  // Assigns up to nCount objects from nIndex into pDest[0 ..]; the array is unchanged.
  // Returns the count copied.
  virtual int Peek(T* pDest, int nIndex, int nCount) const {
    if (!pDest || nIndex < 0 || nIndex > m_nSize || nCount < 1) return 0;
    int k = nCount < m_nSize - nIndex ? nCount : m_nSize - nIndex;
    for (int j = 0; j < k; ++j)
      if (m_pData[nIndex + j]) pDest[j] = *m_pData[nIndex + j];
    return k;
  }

  // Peek, then the virtual RemoveAt of the same run; returns the count copied.
  virtual int Extract(T* pDest, int nIndex, int nCount) {
    int k = Peek(pDest, nIndex, nCount);
    if (k > 0) this->RemoveAt(nIndex, k);
    return k;
  }

  // Assigns the first object to dest and removes it with the virtual RemoveAt; false when empty.
  virtual bool RemoveHead(T& dest) {
    if (m_nSize < 1) return false;
    if (m_pData[0]) dest = *m_pData[0];
    this->RemoveAt(0, 1);
    return true;
  }

  // ---- comparisons of whole arrays, for arrays kept as elements of other arrays ----

  // Object by object with the element's own order, the first difference deciding; then the
  // array with fewer objects first.
  int Compare(const CAdrArray& o) const {
    int n = m_nSize < o.m_nSize ? m_nSize : o.m_nSize;
    for (int i = 0; i < n; ++i) {
      const T* a = m_pData[i];
      const T* b = o.m_pData[i];
      if (!a || !b) {
        if (a != b) return a ? 1 : -1;
        continue;
      }
      int c = Order::Compare(*a, *b);
      if (c != 0) return c < 0 ? -1 : 1;
    }
    return m_nSize < o.m_nSize ? -1 : (m_nSize > o.m_nSize ? 1 : 0);
  }
  bool operator<(const CAdrArray& o) const { return Compare(o) < 0; }
  // The same number of objects, equal at every position.
  bool operator==(const CAdrArray& o) const {
    if (m_nSize != o.m_nSize) return false;
    for (int i = 0; i < m_nSize; ++i) {
      const T* a = m_pData[i];
      const T* b = o.m_pData[i];
      if (!a || !b) {
        if (a != b) return false;
        continue;
      }
      if (!Order::Equal(*a, *b)) return false;
    }
    return true;
  }

 protected:
  // min(nCount, src.m_nSize - nStart); -1 for a start outside src or a negative count.
  static int RangeCount(const CAdrArray& src, int nStart, int nCount) {
    if (nStart < 0 || nStart > src.m_nSize || nCount < 0) return -1;
    return nCount < src.m_nSize - nStart ? nCount : src.m_nSize - nStart;
  }

  // Inserts k addresses from run (which lies outside this array's block) at nIndex.
  int InsertRun(int nIndex, T* const* run, int k) {
    nIndex = this->OpenGap(nIndex, k);
    if (nIndex < 0) return -1;
    std::memcpy(m_pData + nIndex, run, Base::Bytes(k));
    return nIndex;
  }

  // Three-way order of a key against a stored entry; a null entry (an object that could not be
  // made) orders before every object.
  static int CompareTo(const T& key, const T* stored) {
    if (!stored) return 1;
    int c = Order::Compare(key, *stored);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  static bool LessThan(const T& key, const T* stored) { return stored && Order::Less(key, *stored); }
};
