#include "containers/mem_mgr.h"

#include <atomic>
#include <cstddef>
#include <new>

#include "platform/kernel/address_space.h"
#include "platform/kernel/heap.h"
#include "platform/kernel/release.h"

constinit CScalarMemMgr g_MemMgr(56);

namespace {

// Remaining successful allocations of this thread before the test hook makes them fail; negative
// when the hook is off.
thread_local long t_nFailAfter = -1;
// The same for every thread together.
std::atomic<long> g_nProcessFailAfter{-1};
// Allocations larger than this fail; negative when the hook is off.
std::atomic<long> g_nProcessFailAbove{-1};

// The test hooks, then the room the address space keeps for the window system (the block counts
// as data on a data thread or when large; platform/kernel/address_space.h).
bool AllocationAllowed(uint64_t nBytes, uint64_t nNewBytes) noexcept {
  if (!qav::RoomForBlock(nNewBytes)) return false;
  const long above = g_nProcessFailAbove.load(std::memory_order_relaxed);
  if (above >= 0 && nBytes > static_cast<uint64_t>(above)) return false;
  long n = g_nProcessFailAfter.load(std::memory_order_relaxed);
  while (n >= 0) {
    if (n == 0) return false;
    if (g_nProcessFailAfter.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) break;
  }
  if (t_nFailAfter < 0) return true;
  if (t_nFailAfter == 0) return false;
  --t_nFailAfter;
  return true;
}

// What a resize to `block` bytes adds to the address space. The heap moves a block below its mapping
// threshold (32 MB at most) by allocating the new one before freeing the old, so such a block counts
// whole; a larger one is a mapping of its own, which grows in place or is moved without a copy.
uint64_t NewBytesOfRealloc(const void* p, uint64_t block) noexcept {
  constexpr uint64_t kMappedAlways = uint64_t{32} << 20;
  const uint64_t old = g_Heap.Size(p);
  if (block < kMappedAlways || old < kMappedAlways) return block;
  return block > old ? block - old : 0;
}

}  // namespace

void CScalarMemMgr::SetFailAfter(long n) noexcept { t_nFailAfter = n < 0 ? -1 : n; }
void CScalarMemMgr::SetProcessFailAfter(long n) noexcept { g_nProcessFailAfter.store(n < 0 ? -1 : n); }
void CScalarMemMgr::SetProcessFailAbove(long n) noexcept { g_nProcessFailAbove.store(n < 0 ? -1 : n); }

uint64_t CScalarMemMgr::BlockSize(uint64_t nBytes) const noexcept {
  if (nBytes > static_cast<uint64_t>(PTRDIFF_MAX)) return 0;
  uint64_t block = m_nMinBlock ? m_nMinBlock : 1;
  // Below PTRDIFF_MAX the doubling cannot wrap before it passes nBytes.
  while (block < nBytes) block = block * 2 + 8;
  return block > static_cast<uint64_t>(PTRDIFF_MAX) ? 0 : block;
}

void* CScalarMemMgr::Alloc(uint64_t nBytes) noexcept {
  uint64_t block = BlockSize(nBytes);
  if (block == 0 || !AllocationAllowed(block, block)) return nullptr;
  return g_Heap.Alloc(block);
}

void* CScalarMemMgr::AllocExact(uint64_t nBytes) noexcept {
  if (nBytes == 0 || nBytes > static_cast<uint64_t>(PTRDIFF_MAX) || !AllocationAllowed(nBytes, nBytes)) return nullptr;
  return g_Heap.Alloc(nBytes);
}

void CScalarMemMgr::Free(void* p) noexcept { g_Heap.Free(p); }

void* CScalarMemMgr::Realloc(void* p, uint64_t nBytes) noexcept {
  if (!p) return Alloc(nBytes);
  uint64_t block = BlockSize(nBytes);
  if (block == 0 || !AllocationAllowed(block, NewBytesOfRealloc(p, block))) return nullptr;
  // realloc extends in place when it can; otherwise it copies min(old, new) bytes into a new
  // block and frees the old one. On failure it returns null and leaves p untouched.
  return g_Heap.ReAlloc(p, block);
}

uint64_t CScalarMemMgr::Size(const void* p) noexcept { return g_Heap.Size(p); }

void CScalarMemMgr::ReturnFreeMemory() noexcept { g_Heap.Trim(); }

void CScalarMemMgr::ReturnFreeMemoryLater() noexcept { qav::TrimHeapLater(); }

// Global allocation entry points: every new-expression of the process lands in the block
// allocator. The throwing forms still throw std::bad_alloc, as the standard library and the GUI
// toolkit expect; the program's own code uses the nothrow forms and tests for null.
void* operator new(std::size_t n) {
  void* p = g_MemMgr.Alloc(n);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) {
  void* p = g_MemMgr.Alloc(n);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return g_MemMgr.Alloc(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return g_MemMgr.Alloc(n); }
void operator delete(void* p) noexcept { g_MemMgr.Free(p); }
void operator delete[](void* p) noexcept { g_MemMgr.Free(p); }
void operator delete(void* p, std::size_t) noexcept { g_MemMgr.Free(p); }
void operator delete[](void* p, std::size_t) noexcept { g_MemMgr.Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { g_MemMgr.Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { g_MemMgr.Free(p); }
