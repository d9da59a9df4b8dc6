#include "support/thread_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(ThreadAccessControl, ReaderHoldsOffWriterUntilUnlock) {
  CThreadAccessControl lock;
  lock.LockShared();
  lock.LockShared();  // readers share
  std::atomic<bool> writing{false};
  std::thread writer([&] {
    lock.LockExclusive();
    writing = true;
    lock.UnlockExclusive();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(writing);
  lock.UnlockShared();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(writing);
  lock.UnlockShared();
  writer.join();
  EXPECT_TRUE(writing);
  EXPECT_EQ(lock.m_nReaders, 0u);
}

TEST(ThreadAccessControl, WriterHoldsOffReadersAndDowngradeUpgrade) {
  CThreadAccessControl lock;
  lock.LockExclusive();
  std::atomic<bool> reading{false};
  std::thread reader([&] {
    lock.LockShared();
    reading = true;
    lock.UnlockShared();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(reading);
  lock.DowngradeLock();  // now a reader: the other reader may come in
  reader.join();
  EXPECT_TRUE(reading);
  EXPECT_EQ(lock.m_nReaders, 1u);
  lock.UpgradeLock();  // the last reader becomes the writer at once
  EXPECT_EQ(lock.m_nReaders, 0u);
  EXPECT_TRUE(lock.m_NoReaders.IsSet());
  lock.UnlockExclusive();

  // A downgraded writer is a reader: another writer waits for it.
  lock.LockExclusive();
  lock.DowngradeLock();
  std::atomic<bool> writing{false};
  std::thread writer([&] {
    lock.LockExclusive();
    writing = true;
    lock.UnlockExclusive();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(writing);
  lock.UnlockShared();
  writer.join();
  EXPECT_TRUE(writing);
}

}  // namespace
