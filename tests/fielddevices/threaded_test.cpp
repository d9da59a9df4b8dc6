// Handlers called on the channel's own threads: several devices start at once through a channel
// that delivers replies on two worker threads, while the owner changes pending flags.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "loopback.h"

using namespace fdtest;

namespace {

class CThreadedChannel : public CFieldCommChannel {
 public:
  explicit CThreadedChannel(const SimController& sim) : m_sim(sim) {
    m_pfnMessage = [](int kind, CFieldCommChannel& ch, uint64_t, const char* text, CFieldDeviceDB*, void*) {
      auto& self = static_cast<CThreadedChannel&>(ch);
      if (kind == FIELD_MSG_PROGRESS && text != nullptr && std::string(text) == "Start Sequence Complete") {
        ++self.m_nCompleted;
      }
    };
    for (int i = 0; i < 2; ++i) m_Workers.emplace_back([this] { Run(); });
  }
  ~CThreadedChannel() override {
    {
      std::lock_guard<std::mutex> g(m_mutex);
      m_bStop = true;
    }
    m_cv.notify_all();
    for (auto& t : m_Workers) t.join();
  }

  uint32_t SendRequest(const CStream& request, uint64_t id, const CMasterCommTarget&, FieldResponseHandler handler,
                       CFieldDeviceDB* record) override {
    m_PendingLock.LockExclusive();
    m_Pending.push_back(id);
    m_PendingLock.UnlockExclusive();
    {
      std::lock_guard<std::mutex> g(m_mutex);
      m_Queue.push_back({ToBytes(request), 0, 0, id, {}, handler, record});
      ++m_nSent;
    }
    m_cv.notify_one();
    return 0;
  }

  std::atomic<int> m_nCompleted{0};
  std::atomic<int> m_nSent{0};

 private:
  void Run() {
    for (;;) {
      SSent s;
      {
        std::unique_lock<std::mutex> g(m_mutex);
        m_cv.wait(g, [this] { return m_bStop || !m_Queue.empty(); });
        if (m_bStop) return;
        s = m_Queue.front();
        m_Queue.pop_front();
      }
      CStream empty;
      s.handler(FIELD_REASON_SENT, *this, empty, 0, 0, 0, s.record);
      const SAnswer a = m_sim.Answer(s);
      m_PendingLock.LockExclusive();
      for (auto it = m_Pending.begin(); it != m_Pending.end(); ++it) {
        if (*it == s.id) {
          m_Pending.erase(it);
          break;
        }
      }
      m_PendingLock.UnlockExclusive();
      CStream reply = FromBytes(a.bytes);
      s.handler(a.reason, *this, reply, 0, 0, 0, s.record);
    }
  }

  const SimController& m_sim;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<SSent> m_Queue;
  bool m_bStop = false;
  std::vector<std::thread> m_Workers;
};

}  // namespace

TEST(FieldThreads, DevicesStartConcurrently) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  SimController sim;
  constexpr int kDevices = 6;
  std::vector<std::unique_ptr<CFieldRMDCDB>> records;
  for (int i = 0; i < kDevices; ++i) {
    records.push_back(std::make_unique<CFieldRMDCDB>());
    records.back()->m_nDropAddress = static_cast<uint16_t>(i + 1);
  }
  {
    CThreadedChannel ch(sim);
    for (auto& r : records) {
      CFieldRecordLock lock(*r);
      ASSERT_EQ(0u, BuildCommandRequest(0, *r, ch, 0));
    }
    // The owner sets and clears flags while the handlers run.
    for (int k = 0; k < 200; ++k) {
      for (auto& r : records) r->SetPendingMeterControl(static_cast<uint8_t>(k & 1));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ch.m_nCompleted < kDevices && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(kDevices, ch.m_nCompleted.load());
    EXPECT_EQ(kDevices * 8, ch.m_nSent.load());
  }
  for (auto& r : records) {
    CFieldRecordLock lock(*r);
    EXPECT_EQ(255, r->m_nSetupStep);
    EXPECT_EQ(FIELD_COMM_ACTIVE, r->m_nCommState);
  }
}

// Every operation that changes a record's counters, state or pending flags waits for the record
// lock: while another thread holds it, none of them may get through.
TEST(FieldThreads, CountersAndFlagsChangeOnlyUnderTheRecordLock) {
  CFieldRMDCDB rmdc;
  CFieldCSDB cs;
  CFieldRGCDB rgc;
  CFieldHARSDB hars;
  struct SCase {
    const char* name;
    CFieldDeviceDB* record;
    std::function<void()> change;
  } cases[] = {
      {"RecordMissedReply", &rmdc, [&] { rmdc.RecordMissedReply(); }},
      {"RecordError", &rmdc, [&] { rmdc.RecordError(); }},
      {"RecordGoodReply", &rmdc, [&] { rmdc.RecordGoodReply(); }},
      {"RecordGoodReplyKind5", &rmdc, [&] { rmdc.RecordGoodReplyKind5(); }},
      {"SetSetupStep", &rmdc, [&] { rmdc.SetSetupStep(3); }},
      {"SetPendingClock", &rmdc, [&] { rmdc.SetPendingClock(1); }},
      {"SetPendingReset", &rmdc, [&] { rmdc.SetPendingReset(5); }},
      {"SetPendingMeterParams", &rmdc, [&] { rmdc.SetPendingMeterParams(1); }},
      {"SetPendingCsA", &cs, [&] { cs.SetPendingCsA(1); }},
      {"SetPendingA", &rgc, [&] { rgc.SetPendingA(1); }},
      {"SetPendingSign", &hars, [&] { hars.SetPendingSign(1, 2); }},
  };
  for (const SCase& c : cases) {
    std::atomic<bool> done{false};
    std::thread worker;
    {
      CFieldRecordLock lock(*c.record);
      worker = std::thread([&] {
        c.change();
        done = true;
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      EXPECT_FALSE(done.load()) << c.name << " changed the record without its lock";
    }
    worker.join();
    EXPECT_TRUE(done.load()) << c.name;
  }
}
