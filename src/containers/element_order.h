// How container operations order and compare their elements.
//
// `CElementOrder<T>` serves the value arrays (CScalarArray<T> and the strings): numbers by value,
// pointers by unsigned address, records through their own operator< and operator== (or a
// specialisation of this template). `CObjectOrder<T>` serves the object-level operations of the
// address and owning arrays: the element type provides a three-way `Compare` (negative, zero or
// positive as *this orders before, equal to or after the argument), `operator<` and `operator==`;
// when it lacks one of the three, the missing one is derived from the others.
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
