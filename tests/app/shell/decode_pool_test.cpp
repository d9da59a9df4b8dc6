#include "app/shell/decode_pool.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <chrono>
#include <thread>
#include <vector>

namespace {
// A day that remembers what it was given.
class CountingDay : public CElementDay {
 public:
  void Load(const unsigned char* packed, int byteLen, int count) override {
    loads.fetch_add(1);
    first = byteLen > 0 ? packed[0] : -1;
    columns = count;
  }
  std::atomic<int> loads{0};
  int first = -2;
  int columns = 0;
};

// An element whose days are CountingDays (owned by the test).
class CountingData : public CElementData {
 public:
  explicit CountingData(std::vector<CountingDay>& d) : CElementData(static_cast<int>(d.size()), nullptr, 0) {
    for (size_t i = 0; i < d.size(); ++i) days.m_pData[i] = &d[i];
  }
  ~CountingData() override {
    for (int i = 0; i < days.m_nSize; ++i) days.m_pData[i] = nullptr;
  }
};

TEST(DecodePool, EveryItemIsDecodedOnceWhateverTheHelperCount) {
  for (int threads : {0, 1, 3}) {
    CDecodePool pool(threads);
    // Three slots, as the loader uses them: each round queues a batch over days of its own
    // without waiting for the others, and a slot is refilled only after WaitFor.
    constexpr int kRounds = 7, kSlots = 3, kPerRound = 100;
    std::vector<CountingDay> days(kRounds * kPerRound);
    CountingData data(days);
    std::vector<unsigned char> bytes[kSlots];
    CDecodePool::Batch batches[kSlots];
    for (int round = 0; round < kRounds; ++round) {
      const int slot = round % kSlots;
      pool.WaitFor(batches[slot]);
      batches[slot].clear();
      bytes[slot].assign(kPerRound, static_cast<unsigned char>(round));
      for (int i = 0; i < kPerRound; ++i)
        batches[slot].push_back({&data, round * kPerRound + i, &bytes[slot][static_cast<size_t>(i)], 1, round + 1});
      pool.Submit(batches[slot]);
    }
    pool.Wait();
    for (size_t i = 0; i < days.size(); ++i) {
      const int round = static_cast<int>(i) / kPerRound;
      EXPECT_EQ(days[i].loads.load(), 1) << threads;
      EXPECT_EQ(days[i].first, round) << threads;
      EXPECT_EQ(days[i].columns, round + 1) << threads;
    }
    CDecodePool::Batch empty;
    pool.Submit(empty);
    pool.WaitFor(empty);
    pool.Wait();
  }
}

TEST(DecodePool, HelpersDecodeWhileTheCallerGoesOnReading) {
  CDecodePool pool(2);
  std::vector<CountingDay> days(50);
  CountingData data(days);
  std::vector<unsigned char> bytes(days.size(), 7);
  CDecodePool::Batch batch;
  for (int i = 0; i < static_cast<int>(days.size()); ++i) batch.push_back({&data, i, &bytes[static_cast<size_t>(i)], 1, 1});
  pool.Submit(batch);
  // No wait: the helpers alone decode the batch.
  auto decoded = [&] {
    for (const CountingDay& d : days)
      if (d.loads.load() == 0) return false;
    return true;
  };
  for (int i = 0; i < 500 && !decoded(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(decoded());
  pool.Wait();
}

TEST(DecodePool, HelpersCarryTheirNameForDebuggersAndTop) {
  CDecodePool pool(2);
  auto named = [] {
    int n = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream in(task.path() / "comm");
      std::string name;
      std::getline(in, name);
      n += name == "QAV decoder" ? 1 : 0;
    }
    return n;
  };
  for (int i = 0; i < 200 && named() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(named(), 2);
}

TEST(DecodePool, EndingThePoolDecodesTheBatchInHand) {
  std::vector<CountingDay> days(10);
  CountingData data(days);
  std::vector<unsigned char> bytes(days.size(), 7);
  CDecodePool::Batch batch;
  for (int i = 0; i < static_cast<int>(days.size()); ++i)
    batch.push_back({&data, i, &bytes[static_cast<size_t>(i)], 1, 1});
  {
    CDecodePool pool(0);  // no helpers: only the caller decodes
    pool.Submit(batch);
  }
  for (const CountingDay& d : days) EXPECT_EQ(d.loads.load(), 1);
}

TEST(DecodePool, HelpersFollowTheCoresTheProcessMayUse) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  for (int n : {1, 2}) {
    if (CPU_COUNT(&all) < n) break;
    cpu_set_t some;  // this thread on n of its cores, as taskset would place the process
    CPU_ZERO(&some);
    for (int c = 0; c < CPU_SETSIZE && CPU_COUNT(&some) < n; ++c)
      if (CPU_ISSET(c, &all)) CPU_SET(c, &some);
    ASSERT_EQ(sched_setaffinity(0, sizeof some, &some), 0);
    const int cores = CDecodePool::UsableCores();
    const int helpers = CDecodePool::DefaultThreads();
    sched_setaffinity(0, sizeof all, &all);
    EXPECT_EQ(cores, n);
    EXPECT_EQ(helpers, 1);  // at least one, and one core is the reader's
  }
}
}  // namespace
