#include "platform/kernel/heap.h"

#include <malloc.h>

#include <cstdlib>

constinit const CHeap g_Heap;

void* CHeap::Alloc(size_t nBytes) const noexcept { return std::malloc(nBytes); }

void* CHeap::ReAlloc(void* p, size_t nBytes) const noexcept { return std::realloc(p, nBytes); }

void CHeap::Free(void* p) const noexcept { std::free(p); }

size_t CHeap::Size(const void* p) const noexcept {
  return p ? malloc_usable_size(const_cast<void*>(p)) : 0;
}

void CHeap::Trim() const noexcept { malloc_trim(0); }
