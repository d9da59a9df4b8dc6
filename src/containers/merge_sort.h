// Stable merge sorts of raw element runs (elements are moved as bytes, so T must be trivially
// copyable: numbers, pointers, plain records).
//
// `SortAscending`/`SortDescending` take one scratch block per call from the block allocator and
// sort top-down; equal elements keep their input order. The order defaults to the element's own
// (CElementOrder); pass a `less(a, b)` to sort pointers by their pointees, e.g. entries by name.
// Without scratch memory they fall back to an in-place insertion sort, which is stable too.
#pragma once

#include <cstring>
#include <type_traits>

#include "containers/element_order.h"
#include "containers/mem_mgr.h"

template <class T>
struct CDefaultLess {
  bool operator()(const T& a, const T& b) const { return CElementOrder<T>::Less(a, b); }
};

namespace merge_sort_detail {

// Merge step shared by both directions. takeRight(left, right) says whether the right-hand
// element goes first; on a tie it must say no, so the left one wins and the sort stays stable.
template <class T, class TakeRight>
void Merge(T* a, T* s, int n, int h, TakeRight takeRight) {
  int i = 0, j = h, k = 0;
  while (i < h && j < n) {
    if (takeRight(a[i], a[j]))
      std::memcpy(&s[k++], &a[j++], sizeof(T));
    else
      std::memcpy(&s[k++], &a[i++], sizeof(T));
  }
  if (j == n) {
    // The right half ran out: the rest of the left half goes to the end (the ranges may overlap).
    if (h > i) std::memmove(&a[k], &a[i], sizeof(T) * static_cast<size_t>(h - i));
  }
  // Otherwise the left half ran out and the rest of the right half already lies in place (k == j).
  if (k > 0) std::memcpy(a, s, sizeof(T) * static_cast<size_t>(k));
}

template <class T, class Less>
void InsertionSort(T* a, int n, bool bAscending, Less less) {
  for (int i = 1; i < n; ++i) {
    T v;
    std::memcpy(&v, &a[i], sizeof(T));
    int j = i;
    // Move v left past every element it must precede, never past an equal one.
    while (j > 0 && (bAscending ? less(v, a[j - 1]) : less(a[j - 1], v))) {
      std::memcpy(&a[j], &a[j - 1], sizeof(T));
      --j;
    }
    std::memcpy(&a[j], &v, sizeof(T));
  }
}

// The top-down worker: sorts a[0..n) with scratch s (each level uses its front).
template <class T, class TakeRight>
void MergeSort(T* a, T* s, int n, TakeRight takeRight) {
  static_assert(std::is_trivially_copyable_v<T>);
  if (n < 2) return;
  int h = n / 2;
  if (h > 1) MergeSort(a, s, h, takeRight);
  if (n - h > 1) MergeSort(a + h, s, n - h, takeRight);
  Merge(a, s, n, h, takeRight);
}

}  // namespace merge_sort_detail

// The workers, given run a, scratch s of room for n elements, and the count n.
template <class T, class Less = CDefaultLess<T>>
void MergeSortAscending(T* a, T* s, int n, Less less = Less()) {
  merge_sort_detail::MergeSort(a, s, n, [&](const T& l, const T& r) { return less(r, l); });
}

template <class T, class Less = CDefaultLess<T>>
void MergeSortDescending(T* a, T* s, int n, Less less = Less()) {
  merge_sort_detail::MergeSort(a, s, n, [&](const T& l, const T& r) { return less(l, r); });
}

namespace merge_sort_detail {

// One scratch block for the whole sort; without one, an in-place stable sort.
template <class T, class Less>
void Sort(T* a, int n, bool bAscending, Less less) {
  if (!a || n < 2) return;
  T* s = static_cast<T*>(g_MemMgr.Alloc(sizeof(T) * static_cast<uint64_t>(n)));
  if (!s) {
    InsertionSort(a, n, bAscending, less);
    return;
  }
  if (bAscending)
    MergeSortAscending(a, s, n, less);
  else
    MergeSortDescending(a, s, n, less);
  g_MemMgr.Free(s);
}

}  // namespace merge_sort_detail

template <class T, class Less = CDefaultLess<T>>
void SortAscending(T* a, int n, Less less = Less()) {
  merge_sort_detail::Sort(a, n, true, less);
}

template <class T, class Less = CDefaultLess<T>>
void SortDescending(T* a, int n, Less less = Less()) {
  merge_sort_detail::Sort(a, n, false, less);
}
