// The process's private heap: a thin shim over the C library allocator.
//
// `g_Heap` is constant-initialised and never destroyed, so it can serve allocations made by static
// initialisers of any library (the global operator new is routed here through the block
// allocator) and stays usable until the process ends. Any thread may call it at any time; the C
// library serialises access.
#pragma once

#include <cstddef>

class CHeap {
 public:
  constexpr CHeap() noexcept = default;

  // A block of at least nBytes, not cleared; null when none can be had.
  void* Alloc(size_t nBytes) const noexcept;
  // Resizes p (null behaves as Alloc). Extends in place when it can, otherwise moves the block and
  // keeps its contents up to the smaller size. On failure returns null and leaves p valid.
  void* ReAlloc(void* p, size_t nBytes) const noexcept;
  // Returns p to the heap; null is harmless.
  void Free(void* p) const noexcept;
  // Usable size of the block p, which may exceed what was asked for; 0 for null.
  size_t Size(const void* p) const noexcept;
  // Gives the free memory of the C library's heaps back to the system. Freed blocks below the
  // library's mapping threshold (which grows with the blocks a program frees) otherwise stay with
  // the process, so a program that has just freed gigabytes would go on holding them.
  void Trim() const noexcept;
};

// The one heap of the process. Trivially destructible: it is never torn down.
extern constinit const CHeap g_Heap;
