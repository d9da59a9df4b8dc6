// The release thread: what is handed over is let go of in the order given, on a thread of its own,
// and all of it by the time WaitForReleases returns, also when it is handed over from several
// threads and after the thread has ended once.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/kernel/release.h"

namespace {

struct SSeen {
  std::mutex lock;
  std::vector<int> order;
  std::set<std::thread::id> threads;
};

class CNote : public qav::CReleaseJob {
 public:
  CNote(SSeen& seen, int n) : m_seen(seen), m_n(n) {}
  void Run() noexcept override {
    std::lock_guard<std::mutex> g(m_seen.lock);
    m_seen.order.push_back(m_n);
    m_seen.threads.insert(std::this_thread::get_id());
  }

 private:
  SSeen& m_seen;
  int m_n;
};

// An object whose end is noted.
struct SNoted {
  SSeen& seen;
  int n;
  ~SNoted() { CNote(seen, n).Run(); }
};

TEST(Release, WhatIsHandedOverGoesInOrderOffTheCallersThreadBeforeTheWaitEnds) {
  SSeen seen;
  for (int round = 0; round < 2; ++round) {  // the second after the release thread has ended
    const int first = round * 100;
    for (int i = first; i < first + 100; ++i) {
      if (i % 3 == 0) qav::ReleaseLater(std::unique_ptr<SNoted>(new SNoted{seen, i}));
      else qav::ReleaseLater(new CNote(seen, i));
      if (i % 10 == 0) qav::TrimHeapLater();
    }
    std::vector<int> kept = {1, 2, 3};
    qav::ReleaseContentsLater(kept);
    EXPECT_TRUE(kept.empty());
    qav::WaitForReleases();
    std::lock_guard<std::mutex> g(seen.lock);
    ASSERT_EQ(seen.order.size(), static_cast<size_t>(first + 100));
    for (int i = 0; i < first + 100; ++i) EXPECT_EQ(seen.order[static_cast<size_t>(i)], i);
    EXPECT_EQ(seen.threads.count(std::this_thread::get_id()), 0u);
  }
  // From several threads at once: every job runs once.
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t)
    senders.emplace_back([&seen, t] {
      for (int i = 0; i < 50; ++i) qav::ReleaseLater(new CNote(seen, 1000 + t * 50 + i));
    });
  for (std::thread& s : senders) s.join();
  qav::WaitForReleases();
  std::lock_guard<std::mutex> g(seen.lock);
  EXPECT_EQ(std::set<int>(seen.order.begin(), seen.order.end()).size(), 400u);
}

}  // namespace
