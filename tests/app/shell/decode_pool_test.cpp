#include "app/shell/decode_pool.h"

#include <gtest/gtest.h>

#include <atomic>
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

TEST(DecodePool, EveryItemIsDecodedOnceWhateverTheHelperCount) {
  for (int threads : {0, 1, 3}) {
    CDecodePool pool(threads);
    std::vector<CountingDay> days(200);
    std::vector<unsigned char> bytes[2] = {std::vector<unsigned char>(200), std::vector<unsigned char>(200)};
    CDecodePool::Batch batches[2];
    // Three rounds over two alternating batches, as the loader uses them.
    for (int round = 0; round < 3; ++round) {
      CDecodePool::Batch& batch = batches[round % 2];
      batch.clear();
      for (size_t i = 0; i < days.size(); ++i) {
        bytes[round % 2][i] = static_cast<unsigned char>(round * 10 + i % 7);
        batch.push_back({&days[i], &bytes[round % 2][i], 1, round + 1});
      }
      pool.Submit(batch);
    }
    pool.Wait();
    for (size_t i = 0; i < days.size(); ++i) {
      EXPECT_EQ(days[i].loads.load(), 3) << threads;
      EXPECT_EQ(days[i].first, static_cast<int>(20 + i % 7)) << threads;
      EXPECT_EQ(days[i].columns, 3) << threads;
    }
    CDecodePool::Batch empty;
    pool.Submit(empty);
    pool.Wait();
  }
}
}  // namespace
