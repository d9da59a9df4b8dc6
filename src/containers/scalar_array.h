// CScalarArray<T>: the growable array of plain values on which every container rests.
//
// Elements are bytes: new elements are zero-filled, copies are memory copies, nothing is destroyed.
// Callers read `m_nSize` and index `m_pData` directly. The capacity `m_nAllocBytes` is the usable
// size of the block in bytes as the heap reports it; growth asks the block allocator for exactly
// the bytes needed and only when they exceed the capacity (the allocator's block series supplies
// the doubling). Nothing ever shrinks the block while the array lives.
//
// The operations are virtual and call one another through the virtual table (Empty and
// ClearAndReserve end in RemoveAll, InsertSorted in FindInsertPos and InsertAt, AddUnique in Add,
// AddSortedUnique in InsertAt, Extract in Peek and RemoveAt, RemoveHead in RemoveAt; all growth goes
// through GrowByOne, Reserve or ClearAndReserve), so a derived template's override also acts
// inside the operations it inherits.
//
// Robustness: a failed growth keeps the old block and makes the operation a no-op (index results
// -1, bool results false); a source that lies inside the array's own block is copied before the
// block can move; negative counts and indexes outside the array are ignored; counts never overflow.
//
// Lent blocks: an array may hold a block it does not own (m_pData set, m_nAllocBytes 0), lent by
// an arena that outlives the array (a day's arrays in their element's block). Its elements are
// read and written in place; the array never frees, resizes or moves such a block: any growth
// first copies the elements into a block of its own, and the destructor leaves the block alone.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "containers/element_order.h"
#include "containers/mem_mgr.h"
#include "containers/merge_sort.h"

template <class T>
class CScalarArray {
  static_assert(std::is_trivially_copyable_v<T>, "CScalarArray holds plain values moved as bytes");

 public:
  T* m_pData = nullptr;         // the block; null until the first allocation
  int32_t m_nSize = 0;          // elements in use
  uint64_t m_nAllocBytes = 0;   // usable bytes of the block; 0 while m_pData is null

  CScalarArray() = default;

  // Room for nCount elements, none in use. A count below 1 allocates nothing.
  explicit CScalarArray(int nCount) {
    if (nCount < 1) return;
    AdoptBlock(g_MemMgr.Alloc(Bytes(nCount)));
  }

  // A copy of nCount elements from p.
  CScalarArray(const T* p, int nCount) {
    if (nCount < 1 || !p) return;
    if (AdoptBlock(g_MemMgr.Alloc(Bytes(nCount)))) {
      std::memcpy(m_pData, p, Bytes(nCount));
      m_nSize = nCount;
    }
  }

  // A source without elements gives no block; if no block can be had the copy is empty.
  CScalarArray(const CScalarArray& src) {
    if (src.m_nSize < 1) return;
    if (AdoptBlock(g_MemMgr.Alloc(Bytes(src.m_nSize)))) {
      std::memcpy(m_pData, src.m_pData, Bytes(src.m_nSize));
      m_nSize = src.m_nSize;
    }
  }

  CScalarArray& operator=(const CScalarArray& src) {
    if (&src == this) return *this;
    if (ClearAndReserve(src.m_nSize) && src.m_nSize > 0) {
      std::memcpy(m_pData, src.m_pData, Bytes(src.m_nSize));
      m_nSize = src.m_nSize;
    }
    return *this;
  }

  // Frees the block (not a lent one). It does not call RemoveAll.
  virtual ~CScalarArray() {
    if (m_nAllocBytes != 0) g_MemMgr.Free(m_pData);
  }

  // Takes `count` elements at p, lent by an arena that outlives the array, in place of its block
  // (freed unless it was lent too). The elements are not touched.
  void LendBlock(T* p, int count) {
    if (m_nAllocBytes != 0) g_MemMgr.Free(m_pData);
    m_pData = p;
    m_nAllocBytes = 0;
    m_nSize = p != nullptr && count > 0 ? count : 0;
  }
  // True when the array's block is lent (see LendBlock).
  bool HasLentBlock() const { return m_pData != nullptr && m_nAllocBytes == 0; }
  // Exchanges the blocks of two arrays with their elements, sizes and capacities, without copying
  // (an owning array's objects go with its block).
  void SwapBlocks(CScalarArray& other) noexcept {
    std::swap(m_pData, other.m_pData);
    std::swap(m_nSize, other.m_nSize);
    std::swap(m_nAllocBytes, other.m_nAllocBytes);
  }

  // ---- virtual operations, in their fixed order ----

  // Replaces the contents with n elements from p; returns the new size.
  virtual int Copy(const T* p, int n) {
    if (n < 0 || (n > 0 && !p)) return m_nSize;
    CScalarArray tmp;
    p = StableSource(p, n, tmp);
    if (!p && n > 0) return m_nSize;
    if (ClearAndReserve(n) && n > 0) {
      std::memcpy(m_pData, p, Bytes(n));
      m_nSize = n;
    }
    return m_nSize;
  }

  // Appends n elements from p.
  virtual void Append(const T* p, int n) {
    if (n < 1 || !p || !FitsAfter(m_nSize, n)) return;
    CScalarArray tmp;
    p = StableSource(p, n, tmp);
    if (!p || !Reserve(m_nSize + n)) return;
    std::memcpy(m_pData + m_nSize, p, Bytes(n));
    m_nSize += n;
  }

  // Inserts *p at i (at or past the end: appends); returns the index used, -1 on failure.
  virtual int InsertAt(int i, const T* p) {
    if (i < 0 || !p) return -1;
    T v;
    std::memcpy(&v, p, sizeof(T));  // p may point into the block, which growth can move
    return InsertRaw(i, &v);
  }

  // Inserts n elements from p at i; n = 0 returns i untouched; past the end appends.
  virtual int InsertArrayAt(int i, const T* p, int n) {
    if (n == 0) return i;
    if (i < 0 || n < 0 || !p || !FitsAfter(m_nSize, n)) return -1;
    CScalarArray tmp;
    p = StableSource(p, n, tmp);
    if (!p) return -1;
    i = OpenGap(i, n);
    if (i < 0) return -1;
    std::memcpy(m_pData + i, p, Bytes(n));
    return i;
  }

  // Makes the array n zero elements; the old contents go.
  virtual void ResetSize(int n) {
    if (n < 0) return;
    if (ClearAndReserve(n) && n > 0) {
      std::memset(static_cast<void*>(m_pData), 0, Bytes(n));
      m_nSize = n;
    }
  }

  // Appends n zero elements.
  virtual void AppendEmpty(int n) {
    if (n < 1 || !FitsAfter(m_nSize, n) || !Reserve(m_nSize + n)) return;
    std::memset(static_cast<void*>(m_pData + m_nSize), 0, Bytes(n));
    m_nSize += n;
  }

  // Inserts one zero element at i; returns the index used.
  virtual int InsertEmptyAt(int i) {
    if (i < 0) return -1;
    T v;
    std::memset(static_cast<void*>(&v), 0, sizeof(T));
    return InsertRaw(i, &v);
  }

  // Inserts n zero elements at i; n = 0 returns i untouched.
  virtual int InsertEmptiesAt(int i, int n) {
    if (n == 0) return i;
    if (i < 0 || n < 0 || !FitsAfter(m_nSize, n)) return -1;
    i = OpenGap(i, n);
    if (i < 0) return -1;
    std::memset(static_cast<void*>(m_pData + i), 0, Bytes(n));
    return i;
  }

  virtual void Empty() { RemoveAll(); }

  // Sets the size to n, growing the block if needed; with bZero the new elements are zero,
  // otherwise their bytes are undefined. Shrinking keeps the block.
  virtual void SetSize(int n, bool bZero) {
    if (n < 0 || !Reserve(n)) return;
    if (bZero && n > m_nSize) std::memset(static_cast<void*>(m_pData + m_nSize), 0, Bytes(n - m_nSize));
    m_nSize = n;
  }

  // Cuts the array to n elements; never grows. Returns the new size.
  virtual int Truncate(int n) {
    if (n >= 0 && n < m_nSize) m_nSize = n;
    return m_nSize;
  }

  // Appends *p; returns its index, -1 on failure.
  virtual int Add(const T* p) {
    if (!p) return -1;
    T v;
    std::memcpy(&v, p, sizeof(T));
    if (!GrowByOne()) return -1;
    std::memcpy(m_pData + m_nSize, &v, sizeof(T));
    return m_nSize++;
  }

  // Appends a zero element; returns its index.
  virtual int AddEmpty() {
    if (!GrowByOne()) return -1;
    std::memset(static_cast<void*>(m_pData + m_nSize), 0, sizeof(T));
    return m_nSize++;
  }

  // The index of the first element equal to *p, or the index where *p was added.
  virtual int AddUnique(const T* p) {
    if (!p) return -1;
    for (int i = 0; i < m_nSize; ++i)
      if (CElementOrder<T>::Equal(*p, m_pData[i])) return i;
    return Add(p);
  }

  // Bisection search of an array sorted in the given direction; -1 when absent.
  virtual int FindSorted(const T* p, bool bAscending) const {
    if (!p) return -1;
    return sorted_search::Find(m_nSize, bAscending, [&](int mid) { return Order(*p, m_pData[mid]); });
  }

  // Where *p goes to keep the order: behind its equals when ascending, before them when
  // descending. Uses only the less-than comparison.
  virtual int FindInsertPos(const T* p, bool bAscending) const {
    if (!p) return -1;
    return sorted_search::InsertPos(m_nSize, bAscending,
                                    [&](int mid) { return CElementOrder<T>::Less(*p, m_pData[mid]); });
  }

  virtual int InsertSorted(const T* p, bool bAscending) {
    int i = FindInsertPos(p, bAscending);
    if (i < 0) return -1;
    return InsertAt(i, p);
  }

  // The index of an equal element, or the index where *p was inserted in order.
  virtual int AddSortedUnique(const T* p, bool bAscending) {
    if (!p) return -1;
    bool found = false;
    int i = sorted_search::UniquePos(m_nSize, bAscending, [&](int mid) { return Order(*p, m_pData[mid]); }, found);
    return found ? i : InsertAt(i, p);
  }

  // Removes up to n elements from i (clamped at the end); the block stays.
  virtual void RemoveAt(int i, int n) {
    if (i < 0 || i >= m_nSize || n < 1) return;
    if (n > m_nSize - i) n = m_nSize - i;
    int tail = m_nSize - i - n;
    if (tail > 0) std::memmove(m_pData + i, m_pData + i + n, Bytes(tail));
    m_nSize -= n;
  }

  // Copies up to n elements from i to d; the array is unchanged. Returns the count copied.
  virtual int Peek(T* d, int i, int n) const {
    if (!d || i < 0 || i > m_nSize || n < 1) return 0;
    int k = n < m_nSize - i ? n : m_nSize - i;
    if (k > 0) std::memmove(d, m_pData + i, Bytes(k));  // d may lie in the block
    return k;
  }

  // Peek, then RemoveAt of the same run; returns the count copied.
  virtual int Extract(T* d, int i, int n) {
    int k = Peek(d, i, n);
    RemoveAt(i, n);
    return k;
  }

  // Takes the first element into *d; false (d untouched) when empty.
  virtual bool RemoveHead(T* d) {
    if (m_nSize < 1 || !d) return false;
    std::memmove(d, m_pData, sizeof(T));
    RemoveAt(0, 1);
    return true;
  }

  // Swaps elements i and i-1.
  virtual bool MoveUp(int i) {
    if (i < 1 || i >= m_nSize) return false;
    Swap(i, i - 1);
    return true;
  }

  // Swaps elements i and i+1.
  virtual bool MoveDown(int i) {
    if (i < 0 || i + 1 >= m_nSize) return false;
    Swap(i, i + 1);
    return true;
  }

  // Room for one more element.
  virtual bool GrowByOne() {
    if (m_nSize == INT32_MAX) return false;
    return Reserve(m_nSize + 1);
  }

  // Room for n elements; contents kept; never shrinks. False (nothing changed) on failure.
  virtual bool Reserve(int n) {
    if (n < 0) return false;
    uint64_t need = Bytes(n);
    if (need <= m_nAllocBytes) return true;
    if (HasLentBlock()) {
      // A lent block is never resized: the elements move into a block of the array's own.
      void* own = g_MemMgr.Alloc(need);
      if (!own) return false;
      if (m_nSize > 0) std::memcpy(own, m_pData, Bytes(m_nSize));
      return AdoptBlock(own);
    }
    void* p = g_MemMgr.Realloc(m_pData, need);
    if (!p) return false;
    m_pData = static_cast<T*>(p);
    m_nAllocBytes = CScalarMemMgr::Size(p);
    return true;
  }

  // Empties the array (RemoveAll) and makes room for n elements without carrying the old contents
  // over. When the new block cannot be had, the old (now empty) block is kept and false returned.
  virtual bool ClearAndReserve(int n) {
    RemoveAll();
    if (n < 0) return false;
    uint64_t need = Bytes(n);
    if (need <= m_nAllocBytes) return true;
    void* p = g_MemMgr.Alloc(need);
    if (!p) return false;
    if (m_nAllocBytes != 0) g_MemMgr.Free(m_pData);
    m_pData = static_cast<T*>(p);
    m_nAllocBytes = CScalarMemMgr::Size(p);
    return true;
  }

  // Size 0; the block stays.
  virtual void RemoveAll() { m_nSize = 0; }

  // ---- comparisons, for arrays kept as elements of other containers ----

  // The elements as one run of bytes, byte by byte as unsigned bytes over the shorter length;
  // then the shorter array first.
  int Compare(const CScalarArray& o) const {
    int n = m_nSize < o.m_nSize ? m_nSize : o.m_nSize;
    if (n > 0) {
      int c = std::memcmp(m_pData, o.m_pData, Bytes(n));
      if (c != 0) return c < 0 ? -1 : 1;
    }
    return m_nSize < o.m_nSize ? -1 : (m_nSize > o.m_nSize ? 1 : 0);
  }
  bool operator<(const CScalarArray& o) const { return Compare(o) < 0; }
  bool operator==(const CScalarArray& o) const {
    return m_nSize == o.m_nSize && (m_nSize < 1 || std::memcmp(m_pData, o.m_pData, Bytes(m_nSize)) == 0);
  }

 protected:
  static uint64_t Bytes(int64_t n) { return static_cast<uint64_t>(n) * sizeof(T); }

  // True when a + n (both non-negative) stays within the element count's range.
  static bool FitsAfter(int a, int n) { return static_cast<int64_t>(a) + n <= INT32_MAX; }

  // Three-way order of two elements from the element's less-than.
  static int Order(const T& a, const T& b) {
    if (CElementOrder<T>::Less(a, b)) return -1;
    if (CElementOrder<T>::Less(b, a)) return 1;
    return 0;
  }

  // True when [p, p + n elements) overlaps this array's block.
  bool InOwnBlock(const void* p, int n) const {
    if (!m_pData || !p || n < 1) return false;
    uintptr_t b = reinterpret_cast<uintptr_t>(m_pData), e = b + m_nAllocBytes;
    uintptr_t s = reinterpret_cast<uintptr_t>(p), t = s + Bytes(n);
    return s < e && t > b;
  }

  // p itself, or (when p lies in this array's block, which the operation may move or overwrite)
  // a copy of the run held by tmp. Null when the copy cannot be made.
  const T* StableSource(const T* p, int n, CScalarArray& tmp) const {
    if (!InOwnBlock(p, n)) return p;
    if (!tmp.AdoptBlock(g_MemMgr.Alloc(Bytes(n)))) return nullptr;
    std::memcpy(tmp.m_pData, p, Bytes(n));
    return tmp.m_pData;
  }

  // Takes a fresh block (null allowed) as this array's block; true when it is not null.
  bool AdoptBlock(void* p) {
    m_pData = static_cast<T*>(p);
    m_nAllocBytes = CScalarMemMgr::Size(p);
    return p != nullptr;
  }

  // Makes room for n elements at i (past the end: at the end) and counts them in; returns the
  // index of the gap, -1 when the room cannot be had. The gap's bytes are left as they are.
  int OpenGap(int i, int n) {
    if (!Reserve(m_nSize + n)) return -1;
    if (i < m_nSize)
      std::memmove(m_pData + i + n, m_pData + i, Bytes(m_nSize - i));
    else
      i = m_nSize;
    m_nSize += n;
    return i;
  }

  // Inserts the element at v (which lies outside the block) at i.
  int InsertRaw(int i, const T* v) {
    if (!GrowByOne()) return -1;
    if (i < m_nSize)
      std::memmove(m_pData + i + 1, m_pData + i, Bytes(m_nSize - i));
    else
      i = m_nSize;
    std::memcpy(m_pData + i, v, sizeof(T));
    ++m_nSize;
    return i;
  }

  void Swap(int a, int b) {
    T v;
    std::memcpy(&v, m_pData + a, sizeof(T));
    std::memcpy(m_pData + a, m_pData + b, sizeof(T));
    std::memcpy(m_pData + b, &v, sizeof(T));
  }
};
