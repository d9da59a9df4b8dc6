// Thread-safe arrays: the queues between threads.
//
// CScalarMThreadArray<T> (value array) and CObjMThreadArray<T> (owning array) add a public
// re-entrant critical section `m_cs` and locked twins of their operations. Each twin enters
// `m_cs`, runs the unlocked operation with the same arguments and leaves on every path. They never
// block or signal: a consumer that finds a queue empty gets an empty result at once; owners pair
// the queues with their own events.
//
// For a compound step (insert and signal, take the head and act on it) an owner holds `m_cs`
// itself and calls the unlocked operations, or the locked ones, since the section is re-entrant:
//     CCriticalSectionGuard lock(queue.m_cs);
//     queue.InsertSorted(item, true);
//     event.Set();
//
// The object array makes its heap copies inside the lock, so the element type's copy, assignment
// and destructor must not wait for another thread that needs the same array. The owner destroys
// the array only after every other thread has stopped using it.
#pragma once

#include "containers/obj_array.h"
#include "containers/scalar_array.h"
#include "platform/kernel/critical_section.h"

template <class T>
class CScalarMThreadArray : public CScalarArray<T> {
  using Base = CScalarArray<T>;

 public:
  CCriticalSection m_cs;

  CScalarMThreadArray() = default;
  CScalarMThreadArray(const CScalarMThreadArray&) = delete;
  CScalarMThreadArray& operator=(const CScalarMThreadArray&) = delete;
  ~CScalarMThreadArray() override = default;

  virtual int SafeCopy(const T* p, int n) { Lock l(m_cs); return this->Copy(p, n); }
  virtual void SafeAppend(const T* p, int n) { Lock l(m_cs); this->Append(p, n); }
  virtual int SafeInsertAt(int i, const T& v) { Lock l(m_cs); return this->InsertAt(i, &v); }
  virtual int SafeInsertArrayAt(int i, const T* p, int n) { Lock l(m_cs); return this->InsertArrayAt(i, p, n); }
  virtual void SafeEmpty() { Lock l(m_cs); this->RemoveAll(); }
  virtual void SafeSetSize(int n, bool bZero) { Lock l(m_cs); this->SetSize(n, bZero); }
  virtual int SafeTruncate(int n) { Lock l(m_cs); return this->Truncate(n); }
  virtual int SafeAdd(const T& v) { Lock l(m_cs); return this->Add(&v); }
  virtual int SafeAddEmpty() { Lock l(m_cs); return this->AddEmpty(); }
  virtual int SafeAddUnique(const T& v) { Lock l(m_cs); return this->AddUnique(&v); }
  virtual int SafeInsertSorted(const T& v, bool bAscending) { Lock l(m_cs); return this->InsertSorted(&v, bAscending); }
  virtual int SafeAddSortedUnique(const T& v, bool bAscending) { Lock l(m_cs); return this->AddSortedUnique(&v, bAscending); }
  virtual int SafeInsertEmptyAt(int i) { Lock l(m_cs); return this->InsertEmptyAt(i); }
  virtual void SafeRemoveAt(int i, int n) { Lock l(m_cs); this->RemoveAt(i, n); }
  virtual int SafePeek(T* d, int i, int n) { Lock l(m_cs); return this->Peek(d, i, n); }
  virtual int SafeExtract(T* d, int i, int n) { Lock l(m_cs); return this->Extract(d, i, n); }
  virtual bool SafeRemoveHead(T& dest) { Lock l(m_cs); return this->RemoveHead(&dest); }
  virtual bool SafeMoveUp(int i) { Lock l(m_cs); return this->MoveUp(i); }
  virtual bool SafeMoveDown(int i) { Lock l(m_cs); return this->MoveDown(i); }
  virtual bool SafeGrowByOne() { Lock l(m_cs); return this->GrowByOne(); }
  virtual bool SafeReserve(int n) { Lock l(m_cs); return this->Reserve(n); }
  virtual bool SafeClearAndReserve(int n) { Lock l(m_cs); return this->ClearAndReserve(n); }

 private:
  using Lock = CCriticalSectionGuard;
};

template <class T>
class CObjMThreadArray : public CObjArray<T> {
  using Base = CObjArray<T>;

 public:
  CCriticalSection m_cs;

  CObjMThreadArray() = default;
  CObjMThreadArray(const CObjMThreadArray&) = delete;
  CObjMThreadArray& operator=(const CObjMThreadArray&) = delete;
  // The section goes first, then the base deletes the objects (last first) and frees the block.
  ~CObjMThreadArray() override = default;

  virtual int SafeCopy(const T* pObjects, int n) { Lock l(m_cs); return this->CopyObjects(pObjects, n); }
  virtual void SafeAppend(const T* pObjects, int n) { Lock l(m_cs); this->AppendObjects(pObjects, n); }
  // A heap copy of v is made before the array grows.
  virtual int SafeInsertAt(int i, const T& v) { Lock l(m_cs); return this->InsertAt(i, const_cast<T&>(v)); }
  virtual int SafeInsertArrayAt(int i, const T* pObjects, int n) { Lock l(m_cs); return this->InsertObjectsAt(i, pObjects, n); }
  virtual void SafeEmpty() { Lock l(m_cs); this->RemoveAll(); }
  virtual int SafeTruncate(int n) { Lock l(m_cs); return this->Truncate(n); }
  virtual int SafeAdd(const T& v) { Lock l(m_cs); return this->Add(const_cast<T&>(v)); }
  virtual int SafeAddEmpty() { Lock l(m_cs); return this->AddEmpty(); }
  virtual int SafeAddUnique(const T& v) { Lock l(m_cs); return this->AddUnique(const_cast<T&>(v)); }
  virtual int SafeInsertSorted(const T& v, bool bAscending) {
    Lock l(m_cs);
    return this->InsertSorted(const_cast<T&>(v), bAscending);
  }
  virtual int SafeAddSortedUnique(const T& v, bool bAscending) {
    Lock l(m_cs);
    return this->AddSortedUnique(const_cast<T&>(v), bAscending);
  }
  virtual int SafeInsertEmptyAt(int i) { Lock l(m_cs); return this->InsertEmptyAt(i); }
  virtual void SafeRemoveAt(int i, int n) { Lock l(m_cs); this->RemoveAt(i, n); }
  virtual int SafePeek(T* pDest, int i, int n) { Lock l(m_cs); return this->Peek(pDest, i, n); }
  virtual int SafeExtract(T* pDest, int i, int n) { Lock l(m_cs); return this->Extract(pDest, i, n); }
  virtual bool SafeRemoveHead(T& dest) { Lock l(m_cs); return this->RemoveHead(dest); }
  virtual bool SafeMoveUp(int i) { Lock l(m_cs); return this->MoveUp(i); }
  virtual bool SafeMoveDown(int i) { Lock l(m_cs); return this->MoveDown(i); }
  virtual bool SafeGrowByOne() { Lock l(m_cs); return this->GrowByOne(); }
  virtual bool SafeReserve(int n) { Lock l(m_cs); return this->Reserve(n); }
  virtual bool SafeClearAndReserve(int n) { Lock l(m_cs); return this->ClearAndReserve(n); }

 private:
  using Lock = CCriticalSectionGuard;
};
