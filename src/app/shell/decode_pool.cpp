#include "app/shell/decode_pool.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cstdlib>

#include "app/shell/element_data_factory.h"

CDecodePool::CDecodePool(int threads, const ValidityTables* summariesOnly, IRowMaker* rowMaker)
    : m_summariesOnly(summariesOnly), m_rowMaker(rowMaker) {
  for (int i = 0; i < threads; ++i) {
    auto t = std::make_unique<Thread>();
    if (t->Create([this]() -> DWORD {
          Run();
          return 0;
        }) != 0)
      break;
    m_threads.push_back(std::move(t));
  }
}

CDecodePool::~CDecodePool() {
  Wait();
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stop = true;
  }
  m_work.notify_all();
  for (auto& t : m_threads) t->Join();
}

namespace {
std::atomic<int> g_threadLimit{0};
}

int CDecodePool::UsableCores() {
  // The cores this process may run on (taskset, a container's cpuset), else all of them.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

int CDecodePool::DefaultThreads(size_t runs) {
  // Every core but the reader's, at least one, and no more than there are runs to decode.
  int n = std::max(1, UsableCores() - 1);
  const int limit = g_threadLimit.load(std::memory_order_relaxed);
  if (limit > 0) n = std::min(n, limit);
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(n), std::max<size_t>(1, runs)));
}

void CDecodePool::LimitThreads(int n) { g_threadLimit.store(std::max(0, n), std::memory_order_relaxed); }

void CDecodePool::Submit(const Batch& batch) {
  if (batch.empty()) return;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_queue.push_back({&batch, 0, batch.size()});
    ++m_generation;
  }
  m_work.notify_all();
}

void CDecodePool::Decode(const Item& item, CElementDay* day) const {
  if (item.rows) {
    if (m_rowMaker != nullptr && item.data != nullptr) m_rowMaker->MakeRows(*item.data, item.ordinal);
  } else if (item.slot != nullptr) {
    *item.slot = CreateElementData(item.element->type, item.columns, item.element, item.ordinal);
    // Made before any day is decoded, so that helpers decoding different days of the element
    // never make it at the same time.
    if (*item.slot != nullptr && m_summariesOnly != nullptr) (*item.slot)->ReserveKeptSummaries(*m_summariesOnly);
    if (*item.slot != nullptr && m_daysOnDemand) (*item.slot)->DropAllDays();
  } else {
    if (day == nullptr && m_daysOnDemand) day = item.data->EnsureDay(item.day);
    if (day == nullptr) return;
    day->Load(item.bytes, item.length, item.columns);
    // Without the room made beforehand (out of memory) the day stays whole.
    if (m_summariesOnly != nullptr && item.data->HasKeptSummaryRoom())
      item.data->KeepOnlySummaries(item.day, *m_summariesOnly);
  }
}

void CDecodePool::DecodeSome(const Batch* until) {
  // Items are taken in small runs under the lock, oldest batch first; a run stays counted as
  // remaining until it is decoded, so its batch stays in hand while anyone still works on it.
  constexpr size_t kRun = kItemsPerRun;
  std::unique_lock<std::mutex> lock(m_lock);
  for (;;) {
    if (until != nullptr && !InHand(until)) return;
    auto it = m_queue.begin();
    while (it != m_queue.end() && it->next == it->batch->size()) ++it;
    if (it == m_queue.end()) return;
    const Batch& batch = *it->batch;
    const size_t begin = it->next;
    const size_t end = std::min(begin + kRun, batch.size());
    it->next = end;
    lock.unlock();
    // The run's day objects are looked up first: the lookups of different elements miss the
    // cache independently and overlap, instead of each waiting in turn before its decoding.
    CElementDay* days[kRun];
    for (size_t i = begin; i < end; ++i) {
      const Item& item = batch[i];
      days[i - begin] = item.slot != nullptr || item.rows ? nullptr : item.data->Day(item.day);
    }
    for (size_t i = begin; i < end; ++i) Decode(batch[i], days[i - begin]);
    lock.lock();
    it->remaining -= end - begin;  // list entries stay put while others come and go
    if (it->remaining == 0) {
      m_queue.erase(it);
      m_done.notify_all();
    }
  }
}

bool CDecodePool::InHand(const Batch* batch) const {
  if (batch == nullptr) return !m_queue.empty();
  for (const Pending& p : m_queue)
    if (p.batch == batch) return true;
  return false;
}

void CDecodePool::WaitFor(const Batch& batch) {
  DecodeSome(&batch);
  std::unique_lock<std::mutex> lock(m_lock);
  m_done.wait(lock, [&] { return !InHand(&batch); });
}

void CDecodePool::Wait() {
  DecodeSome(nullptr);
  std::unique_lock<std::mutex> lock(m_lock);
  m_done.wait(lock, [this] { return !InHand(nullptr); });
}

void CDecodePool::Run() {
  SetThreadName("QAV decoder");
  unsigned seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(m_lock);
      m_work.wait(lock, [&] { return m_stop || m_generation != seen; });
      if (m_stop) return;
      seen = m_generation;
    }
    DecodeSome(nullptr);
  }
}
