// How container operations order and compare their elements.
//
// `CElementOrder<T>` serves the value arrays (CScalarArray<T> and the strings): numbers by value,
// pointers by unsigned address, records through their own operator< and operator== (or a
// specialisation of this template). `CObjectOrder<T>` serves the object-level operations of the
// address and owning arrays: the element type provides a three-way `Compare` (negative, zero or
// positive as *this orders before, equal to or after the argument), `operator<` and `operator==`;
// when it lacks one of the three, the missing one is derived from the others.
//
// The bisection searches over a sorted run are shared by both kinds of array; they see the
// elements only through the comparison of the key with element `mid` that the caller passes.
#pragma once

#include <cstdint>
#include <type_traits>

template <class T>
struct CElementOrder {
  static bool Less(const T& a, const T& b) {
    if constexpr (std::is_pointer_v<T>)
      return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b);
    else
      return a < b;
  }
  static bool Equal(const T& a, const T& b) {
    if constexpr (std::is_pointer_v<T>)
      return reinterpret_cast<uintptr_t>(a) == reinterpret_cast<uintptr_t>(b);
    else
      return a == b;
  }
};

template <class T>
struct CObjectOrder {
  static constexpr bool kHasCompare = requires(const T& a, const T& b) { int(a.Compare(b)); };
  static constexpr bool kHasLess = requires(const T& a, const T& b) { bool(a < b); };
  static constexpr bool kHasEqual = requires(const T& a, const T& b) { bool(a == b); };
  static_assert(kHasCompare || kHasLess, "an element type needs Compare or operator<");

  static int Compare(const T& a, const T& b) {
    if constexpr (kHasCompare)
      return int(a.Compare(b));
    else
      return a < b ? -1 : (b < a ? 1 : 0);
  }
  static bool Less(const T& a, const T& b) {
    if constexpr (kHasLess)
      return a < b;
    else
      return int(a.Compare(b)) < 0;
  }
  static bool Equal(const T& a, const T& b) {
    if constexpr (kHasEqual)
      return a == b;
    else
      return Compare(a, b) == 0;
  }
};

// The bisection searches of the sorted operations. The run of n elements is sorted ascending when
// bAscending is true and descending otherwise; `order(mid)` is the three-way order of the key
// against element mid (negative: the key orders before it), `keyLess(mid)` whether the key is less.
namespace sorted_search {

// The index of an element equal to the key, whichever the halving meets first; -1 when absent.
template <class Order>
int Find(int n, bool bAscending, Order order) {
  int lo = 0, hi = n - 1;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = order(mid);
    if (c == 0) return mid;
    if ((c < 0) == bAscending)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return -1;
}

// Where the key goes to keep the order, by less-than only: behind its equals when ascending,
// before them when descending.
template <class KeyLess>
int InsertPos(int n, bool bAscending, KeyLess keyLess) {
  int lo = 0, hi = n;
  while (hi > lo) {
    int mid = lo + (hi - lo) / 2;
    if (keyLess(mid) == bAscending)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// The index of an element equal to the key (found set), or the insertion point (found cleared).
template <class Order>
int UniquePos(int n, bool bAscending, Order order, bool& found) {
  found = false;
  int lo = 0, hi = n;
  while (hi > lo) {
    int mid = lo + (hi - lo) / 2;
    int c = order(mid);
    if (c == 0) {
      found = true;
      return mid;
    }
    if ((c < 0) == bAscending)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

}  // namespace sorted_search
