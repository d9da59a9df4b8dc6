#include "containers/mthread_array.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "containers/logged_item.h"
#include "containers/str.h"

namespace {

// A queued message with a heap-allocated payload, so that the sanitizers see every copy and
// deletion made across threads.
struct Message {
  int producer = 0;
  int seq = 0;
  CStrA text;
  Message() = default;
  Message(int p, int s) : producer(p), seq(s) { text.Format("message %d/%d", p, s); }
  int Compare(const Message& o) const { return producer - o.producer; }
};

constexpr int kProducers = 4;
constexpr int kPerProducer = 3000;
constexpr int kConsumers = 2;

// Each consumer must see every producer's items in the order they were queued, and together the
// consumers must see each item exactly once.
void CheckReceived(const std::vector<std::vector<std::pair<int, int>>>& received) {
  std::vector<std::vector<int>> seen(kProducers, std::vector<int>(kPerProducer, 0));
  for (const auto& got : received) {
    std::vector<int> last(kProducers, -1);
    for (auto [p, s] : got) {
      ASSERT_GT(s, last[p]);
      last[p] = s;
      ++seen[p][s];
    }
  }
  for (int p = 0; p < kProducers; ++p)
    for (int s = 0; s < kPerProducer; ++s) ASSERT_EQ(seen[p][s], 1) << p << "/" << s;
}

}  // namespace

TEST(ScalarMThreadArray, ProducersAndConsumers) {
  CScalarMThreadArray<uint64_t> queue;
  std::atomic<int> taken{0};
  std::vector<std::vector<std::pair<int, int>>> received(kConsumers);
  std::vector<std::thread> threads;
  for (int c = 0; c < kConsumers; ++c)
    threads.emplace_back([&, c] {
      while (taken.load() < kProducers * kPerProducer) {
        uint64_t v;
        if (queue.SafeRemoveHead(v)) {
          received[c].emplace_back(int(v >> 32), int(v & 0xFFFFFFFF));
          ++taken;
        } else {
          std::this_thread::yield();  // an empty queue answers at once
        }
      }
    });
  for (int p = 0; p < kProducers; ++p)
    threads.emplace_back([&, p] {
      for (int s = 0; s < kPerProducer; ++s) queue.SafeAdd((uint64_t(p) << 32) | uint32_t(s));
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(queue.m_nSize, 0);
  CheckReceived(received);
}

TEST(ObjMThreadArray, ProducersAndConsumersWithCompoundSteps) {
  CObjMThreadArray<Message> queue;
  std::atomic<int> taken{0};
  std::vector<std::vector<std::pair<int, int>>> received(kConsumers);
  std::vector<std::thread> threads;
  for (int c = 0; c < kConsumers; ++c)
    threads.emplace_back([&, c] {
      while (taken.load() < kProducers * kPerProducer) {
        Message m;
        bool got;
        if (c == 0) {
          got = queue.SafeRemoveHead(m);
        } else {
          // The owner's compound step: hold the section around the unlocked operation.
          CCriticalSectionGuard lock(queue.m_cs);
          got = queue.RemoveHead(m);
        }
        if (got) {
          CStrA want;
          want.Format("message %d/%d", m.producer, m.seq);
          ASSERT_TRUE(want == m.text);
          received[c].emplace_back(m.producer, m.seq);
          ++taken;
        } else {
          std::this_thread::yield();
        }
      }
    });
  for (int p = 0; p < kProducers; ++p)
    threads.emplace_back([&, p] {
      for (int s = 0; s < kPerProducer; ++s) {
        Message m(p, s);
        if (p % 2) {
          queue.SafeAdd(m);
        } else {
          CCriticalSectionGuard lock(queue.m_cs);
          queue.Add(m);
        }
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(queue.m_nSize, 0);
  CheckReceived(received);
}

TEST(ScalarMThreadArray, QueueBasics) {
  CScalarMThreadArray<uint32_t> q;
  uint32_t d = 77;
  EXPECT_FALSE(q.SafeRemoveHead(d));
  EXPECT_EQ(d, 77u);
  q.SafeAdd(1);
  q.SafeAdd(2);
  EXPECT_TRUE(q.SafeRemoveHead(d));
  EXPECT_EQ(d, 1u);
  EXPECT_TRUE(q.SafeRemoveHead(d));
  EXPECT_EQ(d, 2u);
  EXPECT_FALSE(q.SafeRemoveHead(d));

  for (uint32_t v : {5u, 1u, 9u}) q.SafeAddSortedUnique(v, true);
  EXPECT_EQ(q.SafeAddSortedUnique(5, true), 1);
  EXPECT_EQ(q.m_nSize, 3);
  EXPECT_FALSE(q.SafeMoveUp(0));
  EXPECT_FALSE(q.SafeMoveDown(2));
  EXPECT_TRUE(q.SafeMoveDown(0));
  EXPECT_EQ(q.m_pData[0], 5u);
  q.SafeSetSize(5, true);
  EXPECT_EQ(q.m_pData[3], 0u);
  EXPECT_EQ(q.m_pData[4], 0u);
  uint32_t out[2];
  EXPECT_EQ(q.SafeExtract(out, 0, 2), 2);
  EXPECT_EQ(out[0], 5u);
  EXPECT_EQ(q.m_nSize, 3);
  q.SafeEmpty();
  EXPECT_EQ(q.m_nSize, 0);
  EXPECT_GT(q.m_nAllocBytes, 0u);
}

TEST(ScalarMThreadArray, SectionIsReEntrantAndExcludesOthers) {
  CScalarMThreadArray<uint32_t> q;
  std::atomic<bool> added{false};
  std::thread other;
  {
    CCriticalSectionGuard lock(q.m_cs);
    EXPECT_EQ(q.SafeAdd(1), 0);  // the holder may call the locked operations
    EnterCriticalSection(&q.m_cs);
    EXPECT_EQ(q.SafeAdd(2), 1);
    LeaveCriticalSection(&q.m_cs);
    other = std::thread([&] {
      q.SafeAdd(3);
      added = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(added.load());
    EXPECT_EQ(q.m_nSize, 2);
  }
  other.join();
  EXPECT_TRUE(added.load());
  EXPECT_EQ(q.m_nSize, 3);
}

TEST(ObjMThreadArray, LockedOperationsOnObjects) {
  int live = LoggedItem::live;
  {
    CObjMThreadArray<LoggedItem> q;
    LoggedItem a(1), b(2), c(3);
    q.SafeAdd(a);
    q.SafeAdd(b);
    q.SafeInsertAt(0, c);
    EXPECT_NE(q.m_pData[0], &c);
    LoggedItem::Reset();
    EXPECT_EQ(q.SafeTruncate(0), 0);
    EXPECT_EQ(LoggedItem::log, "del2 del1 del3 ");
    q.SafeAdd(a);
    q.SafeAdd(b);
    LoggedItem::Reset();
    q.SafeEmpty();
    EXPECT_EQ(LoggedItem::log, "del2 del1 ");
    EXPECT_GT(q.m_nAllocBytes, 0u);

    LoggedItem k5a(5, 1), k5b(5, 2), k1(1);
    q.SafeInsertSorted(k5a, true);
    q.SafeInsertSorted(k1, true);
    EXPECT_EQ(q.SafeInsertSorted(k5b, true), 2);  // behind its equal
    EXPECT_EQ(q.m_pData[2]->tag, 2);
    EXPECT_EQ(q.SafeAddSortedUnique(k1, true), 0);
    EXPECT_EQ(q.m_nSize, 3);
    EXPECT_EQ(q.SafeAddUnique(k5b), 1);
    EXPECT_FALSE(q.SafeMoveUp(0));
    EXPECT_FALSE(q.SafeMoveDown(2));
    LoggedItem d;
    LoggedItem::Reset();
    EXPECT_TRUE(q.SafeRemoveHead(d));
    EXPECT_EQ(LoggedItem::log, "assign1 del1 ");
    LoggedItem run[2] = {{7}, {8}};
    q.SafeAppend(run, 2);
    EXPECT_EQ(q.SafeInsertArrayAt(1, run, 0), 1);
    EXPECT_EQ(q.SafeInsertArrayAt(0, run + 1, 1), 0);
    EXPECT_EQ(q.m_pData[0]->key, 8);
    EXPECT_EQ(q.SafeCopy(run, 1), 1);
    EXPECT_EQ(q.m_pData[0]->key, 7);
    EXPECT_EQ(q.SafeAddEmpty(), 1);
    EXPECT_EQ(q.SafeInsertEmptyAt(0), 0);
    LoggedItem out[3];
    EXPECT_EQ(q.SafePeek(out, 1, 9), 2);
    EXPECT_EQ(out[0].key, 7);
    EXPECT_EQ(q.SafeExtract(out, 0, 2), 2);
    EXPECT_EQ(q.m_nSize, 1);
    q.SafeRemoveAt(0, 1);
    EXPECT_EQ(q.m_nSize, 0);
    EXPECT_TRUE(q.SafeReserve(50));
    EXPECT_TRUE(q.SafeGrowByOne());
    EXPECT_TRUE(q.SafeClearAndReserve(100));
  }
  EXPECT_EQ(LoggedItem::live, live);
}
