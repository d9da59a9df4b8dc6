#include "support/thread_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using std::chrono::milliseconds;

// Another thread takes the lock with `take` and gives it back with `give`: it must still be held
// off 50 ms later, and come through once `release` has run. `release` is told whether the other
// thread came through so far, so that a release in steps can check it in between.
void ExpectHeldOffUntil(const std::function<void()>& take, const std::function<void()>& give,
                        const std::function<void(const std::atomic<bool>&)>& release) {
  std::atomic<bool> through{false};
  std::thread other([&] {
    take();
    through = true;
    give();
  });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(through);
  release(through);
  other.join();
  EXPECT_TRUE(through);
}

TEST(ThreadAccessControl, ReaderHoldsOffWriterUntilUnlock) {
  CThreadAccessControl lock;
  lock.LockShared();
  lock.LockShared();  // readers share
  ExpectHeldOffUntil([&] { lock.LockExclusive(); }, [&] { lock.UnlockExclusive(); },
                     [&](const std::atomic<bool>& writing) {
                       lock.UnlockShared();
                       std::this_thread::sleep_for(milliseconds(20));
                       EXPECT_FALSE(writing);  // one reader is still in
                       lock.UnlockShared();
                     });
  EXPECT_EQ(lock.m_nReaders, 0u);
}

TEST(ThreadAccessControl, WriterHoldsOffReadersAndDowngradeUpgrade) {
  CThreadAccessControl lock;
  lock.LockExclusive();
  // Downgraded, the writer is a reader: the other reader may come in.
  ExpectHeldOffUntil([&] { lock.LockShared(); }, [&] { lock.UnlockShared(); },
                     [&](const std::atomic<bool>&) { lock.DowngradeLock(); });
  EXPECT_EQ(lock.m_nReaders, 1u);
  lock.UpgradeLock();  // the last reader becomes the writer at once
  EXPECT_EQ(lock.m_nReaders, 0u);
  EXPECT_TRUE(lock.m_NoReaders.IsSet());
  lock.UnlockExclusive();

  // A downgraded writer is a reader: another writer waits for it.
  lock.LockExclusive();
  lock.DowngradeLock();
  ExpectHeldOffUntil([&] { lock.LockExclusive(); }, [&] { lock.UnlockExclusive(); },
                     [&](const std::atomic<bool>&) { lock.UnlockShared(); });
}

}  // namespace
