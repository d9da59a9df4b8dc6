// The room the program's data may take under an address-space limit, clear of the window system's.
#include "platform/kernel/address_space.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <string>
#include <thread>

namespace {

constexpr uint64_t kMB = uint64_t{1} << 20;
uint64_t g_used = 0;
uint64_t Used() { return g_used; }

class AddressSpace : public ::testing::Test {
 protected:
  void TearDown() override {
    qav::SetWindowRoom(0);
    qav::SetAddressSpaceForTesting(0, nullptr);
  }
  // Under a limit of `limit` with `used` in use.
  static void Limit(uint64_t limit, uint64_t used) {
    g_used = used;
    qav::SetAddressSpaceForTesting(limit, &Used);
  }
};

TEST_F(AddressSpace, DataStopsShortOfTheWindowSystemsRoomAndOnlyDataCounts) {
  const uint64_t small = qav::kLargeBlock - 1, large = qav::kLargeBlock;
  struct Case {
    uint64_t limit, used;
    bool dataThread;
    uint64_t bytes;
    bool allowed;
  } cases[] = {
      // Below the limit less the window room: every block.
      {1000 * kMB, 900 * kMB - qav::kWindowRoom, true, 100 * kMB - 1, true},
      {1000 * kMB, 900 * kMB - qav::kWindowRoom, true, 100 * kMB, true},
      // One byte into the window room: refused to a data thread, and to any thread when large.
      {1000 * kMB, 900 * kMB - qav::kWindowRoom, true, 100 * kMB + 1, false},
      {1000 * kMB, 1000 * kMB - qav::kWindowRoom, true, 1, false},
      {1000 * kMB, 1000 * kMB - qav::kWindowRoom, false, large, false},
      // The window system's own small blocks go on whatever the data took.
      {1000 * kMB, 1000 * kMB - qav::kWindowRoom, false, small, true},
      {1000 * kMB, 1000 * kMB, false, small, true},
      // A limit smaller than the window room leaves the data nothing.
      {qav::kWindowRoom, 0, true, 1, false},
      {qav::kWindowRoom / 2, 0, false, large, false},
  };
  for (const Case& c : cases) {
    Limit(c.limit, c.used);
    bool allowed = false;
    std::thread t([&] {
      if (c.dataThread) qav::MarkDataThread(0);
      allowed = qav::RoomForBlock(c.bytes);
    });
    t.join();
    EXPECT_EQ(allowed, c.allowed) << c.limit / kMB << " MB limit, " << c.used << " used, " << c.bytes << " bytes on a "
                                  << (c.dataThread ? "data" : "window") << " thread";
  }
  // A large screen's window system keeps more (32 MB and five screens' images); never less than
  // kWindowRoom.
  EXPECT_EQ(qav::WindowRoomForScreen(1280, 1024), qav::kWindowRoom);
  EXPECT_EQ(qav::WindowRoomForScreen(3840, 2160), 32 * kMB + 20 * 3840 * 2160);
  Limit(1000 * kMB, 800 * kMB);
  qav::SetWindowRoom(200 * kMB);
  EXPECT_FALSE(qav::RoomForData(1));
  qav::SetWindowRoom(1);
  EXPECT_TRUE(qav::RoomForData(200 * kMB - qav::kWindowRoom));
}

TEST_F(AddressSpace, WhatIsHandedOutCountsAtOnceAndWhatIsFreedComesBackAtTheNextMeasure) {
  Limit(5 * kMB + qav::kWindowRoom, 0);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(qav::RoomForData(kMB)) << i;
  // The address space, measured again, holds what was handed out: nothing more fits.
  g_used = 5 * kMB;
  EXPECT_FALSE(qav::RoomForData(kMB));
  // Once it is freed, the next ask finds the room again.
  g_used = 0;
  EXPECT_TRUE(qav::RoomForData(kMB));
}

// The address space in use is measured once for every 8 MB handed out; asking the heap what it holds
// free walks every free block under its lock: only a small block near the limit, which takes that
// room first, needs to know.
TEST_F(AddressSpace, TheHeapsFreeRoomIsAskedForOnlyNearTheLimit) {
  static int asked, measured;
  static uint64_t heapFree;
  auto measure = [](uint64_t used) {
    g_used = used;
    qav::SetAddressSpaceForTesting(1000 * kMB, [] { return ++measured, g_used; }, [] { return ++asked, heapFree; });
  };
  asked = measured = 0;
  heapFree = 50 * kMB;
  measure(100 * kMB);
  for (uint64_t given = 0; given < 4 * qav::kMeasureEvery; given += 32 * 1024) ASSERT_TRUE(qav::RoomForData(32 * 1024));
  EXPECT_EQ(asked, 0);
  EXPECT_LE(measured, 6);
  // At the window system's room: a small block takes the heap's free room, a large one does not fit.
  measure(1000 * kMB - qav::kWindowRoom);
  EXPECT_GT(asked, 0);
  EXPECT_TRUE(qav::RoomForData(32 * 1024));
  EXPECT_FALSE(qav::RoomForData(qav::kLargeBlock));
  heapFree = 0;
  measure(1000 * kMB - qav::kWindowRoom);
  EXPECT_FALSE(qav::RoomForData(32 * 1024));
}

// Each arena beside the first reserves 64 MB whatever it holds: they may take an eighth of the room
// the data has beyond the first arena's own, and no more arenas than the C library would make
// without a limit. A room as large as the largest tight-limit reports need keeps one arena.
TEST_F(AddressSpace, TheHeapsArenasTakeAnEighthOfTheDataRoomBeyondTheFirstArenasOwn) {
  const uint64_t eighth = 8 * qav::kArenaReserve;
  const struct {
    uint64_t room;
    int usual, arenas;
  } cases[] = {{0, 64, 1},
               {1200 * kMB, 64, 1},
               {qav::kOneArenaRoom + eighth - 1, 64, 1},
               {qav::kOneArenaRoom + eighth, 64, 2},
               {1836 * kMB, 64, 2},
               {7980 * kMB, 64, 14},
               {7980 * kMB, 14, 0},
               {uint64_t{1} << 50, 64, 0}};
  for (const auto& c : cases) EXPECT_EQ(qav::HeapArenasFor(c.room, c.usual), c.arenas) << c.room / kMB << " MB";
  // At the start, from the limit less what the start and the window system need.
  Limit(100 * kMB + 64 * kMB + qav::kWindowRoom + qav::kOneArenaRoom + 2 * eighth, 100 * kMB);
  EXPECT_EQ(qav::LimitHeapArenas(64 * kMB), 3);
  Limit(uint64_t{1} << 50, 100 * kMB);
  EXPECT_EQ(qav::LimitHeapArenas(64 * kMB), 0);
}

TEST_F(AddressSpace, AThreadsStackCountsAsDataUnlessAnEndedThreadLeftOne) {
  Limit(100 * kMB + qav::kWindowRoom, 90 * kMB);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 8 * kMB);
  EXPECT_TRUE(qav::RoomForThread(&attr));
  pthread_attr_setstacksize(&attr, 11 * kMB);
  // Stacks that the threads of earlier tests left are taken first; then there is no room.
  for (int i = 0; i < 10 && qav::RoomForThread(&attr); ++i) {
  }
  EXPECT_FALSE(qav::RoomForThread(&attr));
  // The stack of a data thread that ended is there for the next thread, once.
  std::thread([] { qav::MarkDataThread(11 * kMB); }).join();
  EXPECT_TRUE(qav::RoomForThread(&attr));
  EXPECT_FALSE(qav::RoomForThread(&attr));
  pthread_attr_destroy(&attr);
  // The default stack is far larger than 64 KB.
  Limit(qav::kWindowRoom + 64 * 1024, 0);
  EXPECT_FALSE(qav::RoomForThread(nullptr));
}

TEST_F(AddressSpace, TheStartNeedsItsOwnRoomAndTheWindowSystemsBesides) {
  std::string why;
  Limit(300 * kMB, 100 * kMB);
  EXPECT_TRUE(qav::RoomToStart(300 * kMB - 100 * kMB - qav::kWindowRoom, &why));
  EXPECT_FALSE(qav::RoomToStart(300 * kMB - 100 * kMB - qav::kWindowRoom + 1, &why));
  EXPECT_EQ(why, "not enough memory to start: the address space is limited to 300 MB, and the program needs at least 301 MB");
  // Without a limit nothing is refused.
  qav::SetAddressSpaceForTesting(0, nullptr);
  EXPECT_TRUE(qav::RoomToStart(uint64_t{1} << 50, &why));
}

}  // namespace
