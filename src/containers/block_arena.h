// CBlockArena: many small blocks carved from few large ones, all released at once.
//
// A loader that makes thousands of arrays of one owner (every day of one element) takes them from
// the owner's arena instead of one heap block each: the heap is asked a few times, the arrays of
// one owner lie together in memory, and releasing them costs one free per large block. The arena
// lends its blocks (CScalarArray::LendBlock); it must outlive every array that holds one.
// One thread uses an arena at a time.
//
// Large blocks an arena releases are kept for the arenas of the next load, up to a bound (the
// smaller of 512 MB and an eighth of the machine's memory): memory the system hands out anew must
// be cleared page by page on first use, which costs a repeated load as much as its decoding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "containers/mem_mgr.h"

class CBlockArena {
 public:
  // Blocks start at multiples of this, so that vector loads of an array never straddle blocks of
  // two arrays in a way that matters and every element type is aligned.
  static constexpr size_t kAlign = 16;

  CBlockArena() = default;
  ~CBlockArena() { Release(); }
  CBlockArena(const CBlockArena&) = delete;
  CBlockArena& operator=(const CBlockArena&) = delete;

  // A block of n bytes (not cleared), from the current large block; when it does not fit there, a
  // new large block of at least `chunkHint` bytes is taken first (so that one request can ask for
  // room for the owner's later arrays too). Null when n is 0 or no memory can be had.
  void* Alloc(size_t n, size_t chunkHint = 0) noexcept {
    if (n == 0 || n > static_cast<size_t>(PTRDIFF_MAX) / 2) return nullptr;
    const size_t need = Round(n);
    if (m_head == nullptr || m_head->size - m_head->used < need) {
      size_t size = kHeader + (chunkHint > need ? Round(chunkHint) : need);
      if (chunkHint > static_cast<size_t>(PTRDIFF_MAX) / 2) size = kHeader + need;
      Chunk* c = static_cast<Chunk*>(TakeSpare(size));  // a kept block tells its own size
      if (c == nullptr) {
        c = static_cast<Chunk*>(g_MemMgr.AllocExact(size));
        if (c == nullptr) return nullptr;
        c->size = size;
      }
      c->next = m_head;
      c->used = kHeader;
      m_head = c;
    }
    void* block = reinterpret_cast<unsigned char*>(m_head) + m_head->used;
    m_head->used += need;
    return block;
  }

  // Gives every large block up (kept for other arenas, or freed): every block the arena lent is
  // gone.
  void Release() noexcept {
    while (m_head != nullptr) {
      Chunk* next = m_head->next;
      KeepSpare(m_head);
      m_head = next;
    }
  }

  // Frees the large blocks kept for other arenas.
  static void FreeSpares() noexcept;
  // Bytes of the large blocks kept for other arenas.
  static size_t SpareBytes() noexcept;

  // Large blocks held (for tests and measurements).
  int Chunks() const noexcept {
    int n = 0;
    for (const Chunk* c = m_head; c != nullptr; c = c->next) ++n;
    return n;
  }

 private:
  struct Chunk;
  // A kept block of `size` to `2 * size` bytes (its header tells its own size), else null.
  static void* TakeSpare(size_t size) noexcept;
  // Keeps c for other arenas while the bound allows, else frees it.
  static void KeepSpare(Chunk* c) noexcept;

  struct Chunk {
    Chunk* next;
    size_t size;  // bytes of the large block, header included
    size_t used;  // bytes handed out, header included
  };
  static constexpr size_t kHeader = (sizeof(Chunk) + kAlign - 1) / kAlign * kAlign;
  static size_t Round(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

  Chunk* m_head = nullptr;  // the current large block; the older ones follow
};
