// The block allocator every container (and, through the global operator new, every new-expression
// of the program) allocates from.
//
// Requests are rounded up to the series 56, 120, 248, 504, ... (b(k+1) = 2 b(k) + 8, i.e.
// 64 * 2^k - 8 for the default minimum), so a container that asks for exactly what it needs
// still grows geometrically. The heap may hand out a larger block; `Size` reports its usable size,
// which containers keep as their capacity.
#pragma once

#include <cstdint>

class CScalarMemMgr {
 public:
  explicit constexpr CScalarMemMgr(uint64_t nMinBlock) noexcept : m_nMinBlock(nMinBlock) {}

  // The block size a request of nBytes gets; 0 when the request is refused because the block
  // would exceed PTRDIFF_MAX, which no heap can supply (such a count usually comes from a negative
  // count turned unsigned; without the limit the series would stick at 2^64 - 8 and never end).
  uint64_t BlockSize(uint64_t nBytes) const noexcept;

  // A block of at least nBytes (rounded up as above), not cleared; null when none can be had.
  void* Alloc(uint64_t nBytes) noexcept;
  // A block of nBytes without the rounding, for an array whose length is fixed once it is set (a
  // day's arrays): the series would leave up to half of such a block unused. Growing it later
  // goes through Realloc and the series again.
  void* AllocExact(uint64_t nBytes) noexcept;
  // Nothing for null.
  void Free(void* p) noexcept;
  // p null: as Alloc. Otherwise the block is resized to the rounded size, in place when possible,
  // else moved with its contents. On failure returns null and p stays valid and unchanged.
  void* Realloc(void* p, uint64_t nBytes) noexcept;
  // Usable size of a block; 0 for null.
  static uint64_t Size(const void* p) noexcept;
  // Gives the memory the heap holds free back to the system (the arenas' kept blocks stay), for the
  // moments when much has just been freed.
  static void ReturnFreeMemory() noexcept;
  // The same on the release thread (platform/kernel/release.h), once what was handed over to it
  // before is gone: for the end of a run or of a viewer, which nobody need wait for.
  static void ReturnFreeMemoryLater() noexcept;

  // Test hook: after n more successful allocations (Alloc, Realloc, and the global operator new,
  // which route here) every allocation of the calling thread fails until the hook is cleared with
  // a negative n. Lets tests reach the out-of-memory paths that overcommit hides.
  static void SetFailAfter(long n) noexcept;
  // Test hook: the same for the allocations of every thread together (a process that runs out of
  // memory while helper threads work); a negative n clears it.
  static void SetProcessFailAfter(long n) noexcept;
  // Test hook: every allocation of more than n bytes fails, on every thread (a process whose
  // address space has room left only for small blocks); a negative n clears it.
  static void SetProcessFailAbove(long n) noexcept;

  uint64_t m_nMinBlock;
};

// The one block allocator of the process: constant-initialised, never destroyed.
extern constinit CScalarMemMgr g_MemMgr;

// Sets a failure point for the current scope (see SetFailAfter) and clears it on exit.
class CAllocFailureScope {
 public:
  explicit CAllocFailureScope(long nSuccessesFirst) noexcept { CScalarMemMgr::SetFailAfter(nSuccessesFirst); }
  ~CAllocFailureScope() { CScalarMemMgr::SetFailAfter(-1); }
  CAllocFailureScope(const CAllocFailureScope&) = delete;
  CAllocFailureScope& operator=(const CAllocFailureScope&) = delete;
};
