#include "containers/mem_mgr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/kernel/address_space.h"
#include "platform/kernel/heap.h"

#include <thread>

// Let huge requests that reach the heap come back as null instead of stopping the process, as
// they do without the address sanitizer.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

TEST(MemMgr, BlockSizeFollowsTheSeries) {
  struct Case {
    uint64_t request, block;
  } cases[] = {{0, 56},   {1, 56},     {56, 56},     {57, 120},    {120, 120},  {121, 248},
               {249, 504}, {505, 1016}, {2041, 4088}, {8185, 16376}, {32760, 32760}};
  for (const Case& c : cases) EXPECT_EQ(g_MemMgr.BlockSize(c.request), c.block) << c.request;
}

TEST(MemMgr, AllocGivesAtLeastTheRoundedBlock) {
  for (uint64_t n : {0u, 1u, 56u, 57u, 121u, 249u}) {
    void* p = g_MemMgr.Alloc(n);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(CScalarMemMgr::Size(p), g_MemMgr.BlockSize(n));
    std::memset(p, 0xAB, CScalarMemMgr::Size(p));  // the whole usable size is ours
    g_MemMgr.Free(p);
  }
}

TEST(MemMgr, OversizedRequestsAreRefusedAtOnce) {
  // A count of -1 turned into bytes: the series would never reach it.
  for (uint64_t n : {UINT64_MAX, UINT64_MAX - 7, uint64_t(PTRDIFF_MAX), uint64_t(PTRDIFF_MAX) + 1}) {
    EXPECT_EQ(g_MemMgr.BlockSize(n), 0u) << n;
    EXPECT_EQ(g_MemMgr.Alloc(n), nullptr) << n;
  }
  // A block of exactly PTRDIFF_MAX is the largest one allowed.
  EXPECT_EQ(CScalarMemMgr(PTRDIFF_MAX).BlockSize(PTRDIFF_MAX), uint64_t(PTRDIFF_MAX));
  void* p = g_MemMgr.Alloc(10);
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "keep", 5);
  EXPECT_EQ(g_MemMgr.Realloc(p, UINT64_MAX), nullptr);
  EXPECT_STREQ(static_cast<char*>(p), "keep");  // the old block stays valid
  g_MemMgr.Free(p);
}

TEST(MemMgr, HeapFailureLeavesReallocSourceValid) {
  void* p = g_MemMgr.Alloc(40);
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "data", 5);
  // Too large for any heap, but within the series.
  EXPECT_EQ(g_MemMgr.Realloc(p, uint64_t(1) << 62), nullptr);
  EXPECT_STREQ(static_cast<char*>(p), "data");
  g_MemMgr.Free(p);
}

TEST(MemMgr, ReallocKeepsContentsAndNullActsAsAlloc) {
  char* p = static_cast<char*>(g_MemMgr.Realloc(nullptr, 10));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(CScalarMemMgr::Size(p), 56u);
  for (int i = 0; i < 56; ++i) p[i] = char(i);
  char* q = static_cast<char*>(g_MemMgr.Realloc(p, 1000));
  ASSERT_NE(q, nullptr);
  EXPECT_GE(CScalarMemMgr::Size(q), 1016u);
  for (int i = 0; i < 56; ++i) ASSERT_EQ(q[i], char(i));
  g_MemMgr.Free(q);
  g_MemMgr.Free(nullptr);
  delete static_cast<int*>(nullptr);
}

TEST(MemMgr, FailureHookCountsSuccessesThenFails) {
  {
    CAllocFailureScope fail(2);
    void* a = g_MemMgr.Alloc(8);
    void* b = g_MemMgr.Realloc(nullptr, 8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(g_MemMgr.Alloc(8), nullptr);
    EXPECT_EQ(g_MemMgr.Realloc(a, 500), nullptr);
    EXPECT_EQ(new (std::nothrow) int(5), nullptr);
    bool threw = false;
    try {
      // Stored through a volatile so the optimiser cannot drop the allocation.
      static void* volatile sink;
      sink = ::operator new(16);
      ::operator delete(sink);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    g_MemMgr.Free(a);
    g_MemMgr.Free(b);
    CScalarMemMgr::SetFailAfter(-1);  // before any failing check allocates a message
    EXPECT_TRUE(threw);
  }
  int* p = new (std::nothrow) int(5);
  ASSERT_NE(p, nullptr);
  delete p;
}

TEST(MemMgr, AllocExactRefusesOnlyNothingTooMuchOrAFailure) {
  void* p = g_MemMgr.AllocExact(100);
  ASSERT_NE(p, nullptr);
  EXPECT_GE(CScalarMemMgr::Size(p), 100u);
  g_MemMgr.Free(p);
  EXPECT_EQ(g_MemMgr.AllocExact(0), nullptr);
  EXPECT_EQ(g_MemMgr.AllocExact(uint64_t(PTRDIFF_MAX) + 1), nullptr);
  CAllocFailureScope fail(0);
  EXPECT_EQ(g_MemMgr.AllocExact(100), nullptr);
}

TEST(MemMgr, ArrayFormsUseTheBlockAllocator) {
  static void* volatile sink;
  sink = ::operator new[](10);
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(CScalarMemMgr::Size(sink), 56u);  // a block of the series, not the plain heap's size
  ::operator delete[](sink);
  sink = ::operator new[](10, std::nothrow);
  EXPECT_EQ(CScalarMemMgr::Size(sink), 56u);
  ::operator delete[](sink, std::nothrow);
  bool threw = false;
  {
    CAllocFailureScope fail(0);
    EXPECT_EQ(::operator new[](10, std::nothrow), nullptr);
    try {
      sink = ::operator new[](10);
      ::operator delete[](sink);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
  }
  EXPECT_TRUE(threw);
}

namespace {
uint64_t g_inUse = 0;
uint64_t InUse() { return g_inUse; }
}  // namespace

// Under an address-space limit the data stops short of the window system's room, whichever way it
// asks (a block, a nothrow or a throwing new), while the window thread's small blocks go on.
TEST(MemMgr, DataStopsShortOfTheWindowSystemsRoom) {
  constexpr uint64_t kMB = uint64_t{1} << 20;
  g_inUse = 0;
  qav::SetAddressSpaceForTesting(qav::kWindowRoom + 130 * kMB, &InUse);
  struct Case {
    bool dataThread;
    uint64_t bytes;  // blocks of the series: 120 B, 64 MB - 8 and 256 MB - 8
    bool given;
  } cases[] = {{true, 100, true}, {true, 40 * kMB, true}, {true, 150 * kMB, false},
               {false, 100, true}, {false, 150 * kMB, false}};
  for (const Case& c : cases) {
    bool block = false, nothrowNew = false, throwingNew = false;
    std::thread t([&] {
      if (c.dataThread) qav::MarkDataThread(0);
      void* p = g_MemMgr.Alloc(c.bytes);
      block = p != nullptr;
      g_MemMgr.Free(p);
      p = ::operator new(c.bytes, std::nothrow);
      nothrowNew = p != nullptr;
      ::operator delete(p);
      try {
        ::operator delete(::operator new(c.bytes));
        throwingNew = true;
      } catch (const std::bad_alloc&) {
      }
    });
    t.join();
    EXPECT_EQ(block, c.given) << c.bytes;
    EXPECT_EQ(nothrowNew, c.given) << c.bytes;
    EXPECT_EQ(throwingNew, c.given) << c.bytes;
  }
  // A block that is a mapping of its own grows by its growth: 64 MB in use and 64 MB more fit.
  void* p = g_MemMgr.Alloc(40 * kMB);
  ASSERT_NE(p, nullptr);
  g_inUse = 64 * kMB;
  void* grown = g_MemMgr.Realloc(p, 80 * kMB);
  EXPECT_NE(grown, nullptr);
  g_MemMgr.Free(grown != nullptr ? grown : p);
  qav::SetAddressSpaceForTesting(0, nullptr);
}

TEST(Heap, SizeOfNullIsZero) {
  EXPECT_EQ(g_Heap.Size(nullptr), 0u);
  g_Heap.Free(nullptr);
}
