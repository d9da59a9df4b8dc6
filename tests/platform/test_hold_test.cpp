// The places where the real-input tests hold the program: a thread stops at an armed point only,
// says so, and goes on once released or once its `meanwhile` gives up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/kernel/test_hold.h"
#include "test_folder.h"

#if defined(QAV_TEST_HOLDS)
TEST(TestHold, AThreadStopsOnlyAtAnArmedPointUntilReleasedOrItsMeanwhileGivesUp) {
  TestFolder dir;
  ::setenv("QAV_HOLD_DIR", dir.path().c_str(), 1);
  struct {
    bool release;         // the test removes the point's file
    int meanwhileRounds;  // rounds before `meanwhile` gives up; -1: no meanwhile
  } cases[] = {{true, -1}, {true, 1000000}, {false, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.meanwhileRounds);
    TestFolder::Write(dir / "armed", "");
    std::filesystem::remove(dir / "armed.held");
    std::atomic<bool> done{false};
    std::atomic<int> rounds{0};
    std::thread t([&] {
      if (c.meanwhileRounds < 0) HoldForTest("armed");
      else HoldForTest("armed", [&] { return ++rounds < c.meanwhileRounds; });
      done = true;
    });
    if (c.release) {
      for (int i = 0; i < 500 && !std::filesystem::exists(dir / "armed.held"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      EXPECT_TRUE(std::filesystem::exists(dir / "armed.held"));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_FALSE(done) << "went on while armed";
      std::filesystem::remove(dir / "armed");
    }
    t.join();
    EXPECT_TRUE(done);
    if (!c.release) {
      EXPECT_EQ(rounds, c.meanwhileRounds);
    }
  }
  // A point that is not armed, or no folder at all, holds nothing.
  std::filesystem::remove(dir / "armed");
  std::filesystem::remove(dir / "armed.held");
  HoldForTest("armed");
  TestFolder::Write(dir / "armed", "");
  ::unsetenv("QAV_HOLD_DIR");
  HoldForTest("armed");
  EXPECT_FALSE(std::filesystem::exists(dir / "armed.held"));
}
#endif
