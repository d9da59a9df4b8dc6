#include "containers/block_arena.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "containers/scalar_array.h"

namespace {

TEST(BlockArena, BlocksNeverOverlapAndReleasedOnesServeTheNextArena) {
  CBlockArena::FreeSpares();
  const size_t sizes[] = {1, 15, 16, 17, 288, 576, 4000, 100000};
  std::vector<std::pair<unsigned char*, size_t>> blocks;
  {
    CBlockArena arena;
    for (int round = 0; round < 20; ++round)
      for (size_t n : sizes) {
        auto* p = static_cast<unsigned char*>(arena.Alloc(n, 8 * n));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % CBlockArena::kAlign, 0u);
        std::memset(p, static_cast<int>(blocks.size() & 0xFF), n);
        blocks.emplace_back(p, n);
      }
    EXPECT_EQ(arena.Alloc(0), nullptr);
    // Every block still holds its own bytes: none was handed out twice.
    for (size_t b = 0; b < blocks.size(); ++b)
      for (size_t i = 0; i < blocks[b].second; ++i) ASSERT_EQ(blocks[b].first[i], b & 0xFF) << b;
    EXPECT_LT(arena.Chunks(), static_cast<int>(blocks.size()) / 4);  // few large blocks
  }
  const size_t kept = CBlockArena::SpareBytes();
  EXPECT_GT(kept, 0u);
  {
    CBlockArena again;  // the same requests take the kept blocks instead of new ones
    for (int round = 0; round < 20; ++round)
      for (size_t n : sizes) ASSERT_NE(again.Alloc(n, 8 * n), nullptr);
    EXPECT_LT(CBlockArena::SpareBytes(), kept);
  }
  CBlockArena::FreeSpares();
  EXPECT_EQ(CBlockArena::SpareBytes(), 0u);
}

TEST(ScalarArray, ALentBlockIsNeverFreedOrResized) {
  CBlockArena arena;
  auto* lent = static_cast<unsigned short*>(arena.Alloc(8 * sizeof(unsigned short)));
  for (unsigned short i = 0; i < 8; ++i) lent[i] = i;
  {
    CScalarArray<unsigned short> a;
    a.LendBlock(lent, 8);
    EXPECT_TRUE(a.HasLentBlock());
    a.m_pData[0] = 100;  // written in place
    EXPECT_EQ(lent[0], 100);
    const unsigned short more = 8;
    a.Add(&more);  // growth moves the elements into a block of the array's own
    EXPECT_FALSE(a.HasLentBlock());
    ASSERT_EQ(a.m_nSize, 9);
    EXPECT_EQ(a.m_pData[0], 100);
    EXPECT_EQ(a.m_pData[8], 8);
    a.m_pData[1] = 200;
    EXPECT_EQ(lent[1], 1);  // the lent block is left as it was
  }
  {
    CScalarArray<unsigned short> b;
    b.LendBlock(lent, 8);
    b.ResetSize(4);  // a new block of its own; the lent one is not freed
    EXPECT_FALSE(b.HasLentBlock());
  }  // and the destructor of an array that still holds a lent block frees nothing
  CScalarArray<unsigned short> c;
  c.LendBlock(lent, 8);
}

}  // namespace
