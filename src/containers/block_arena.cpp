#include "containers/block_arena.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace {

// The kept blocks, newest first, and their bytes; under g_spareLock. Never destroyed, so that an
// arena released by a static object at exit still finds them.
std::mutex& SpareLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
void* g_spares = nullptr;
size_t g_spareBytes = 0;

size_t SpareBound() {
  static const size_t bound = [] {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    const size_t machine = pages > 0 && pageSize > 0 ? static_cast<size_t>(pages) * static_cast<size_t>(pageSize) : 0;
    return std::min<size_t>(size_t{512} << 20, machine / 8);
  }();
  return bound;
}

}  // namespace


void* CBlockArena::TakeSpare(size_t size) noexcept {
  std::lock_guard<std::mutex> lock(SpareLock());
  // The smallest kept block that fits without wasting more than its half.
  Chunk** best = nullptr;
  for (Chunk** p = reinterpret_cast<Chunk**>(&g_spares); *p != nullptr; p = &(*p)->next)
    if ((*p)->size >= size && (*p)->size <= 2 * size && (best == nullptr || (*p)->size < (*best)->size)) best = p;
  if (best == nullptr) return nullptr;
  Chunk* c = *best;
  *best = c->next;
  g_spareBytes -= c->size;
  return c;
}

void CBlockArena::KeepSpare(Chunk* c) noexcept {
  {
    std::lock_guard<std::mutex> lock(SpareLock());
    if (g_spareBytes + c->size <= SpareBound()) {
      c->next = static_cast<Chunk*>(g_spares);
      g_spares = c;
      g_spareBytes += c->size;
      return;
    }
  }
  g_MemMgr.Free(c);
}

void CBlockArena::FreeSpares() noexcept {
  Chunk* list;
  {
    std::lock_guard<std::mutex> lock(SpareLock());
    list = static_cast<Chunk*>(g_spares);
    g_spares = nullptr;
    g_spareBytes = 0;
  }
  while (list != nullptr) {
    Chunk* next = list->next;
    g_MemMgr.Free(list);
    list = next;
  }
}

size_t CBlockArena::SpareBytes() noexcept {
  std::lock_guard<std::mutex> lock(SpareLock());
  return g_spareBytes;
}
