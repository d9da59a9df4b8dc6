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
TEST(DecodePool, HelpersCarryTheirNameForDebuggersAndTop) {
  std::atomic<bool> end{false};
  CDecodePool pool(2, [&] {
    while (!end.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
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
  end.store(true);
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
