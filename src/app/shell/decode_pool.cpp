#include "app/shell/decode_pool.h"

#include <algorithm>
#include <thread>

#include "app/shell/element_data_factory.h"

CDecodePool::CDecodePool(int threads) {
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

int CDecodePool::DefaultThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n <= 1 ? 0 : static_cast<int>(std::min(3u, n - 1));
}

void CDecodePool::Submit(const Batch& batch) {
  Wait();
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_batch = batch.empty() ? nullptr : &batch;
    m_next = 0;
    m_remaining = batch.size();
    ++m_generation;
  }
  m_work.notify_all();
}

bool CDecodePool::DecodeSome() {
  // Items are taken in small runs under the lock; a run stays counted as remaining until it is
  // decoded, so the batch cannot be replaced while anyone still works on it.
  constexpr size_t kRun = 16;
  bool finished = false;
  std::unique_lock<std::mutex> lock(m_lock);
  while (m_batch != nullptr && m_next < m_batch->size()) {
    const Batch* batch = m_batch;
    const size_t begin = m_next;
    const size_t end = std::min(begin + kRun, batch->size());
    m_next = end;
    lock.unlock();
    for (size_t i = begin; i < end; ++i) {
      const Item& item = (*batch)[i];
      if (item.slot != nullptr) *item.slot = CreateElementData(item.element->type, item.columns, item.element, item.ordinal);
      else item.day->Load(item.bytes, item.length, item.columns);
    }
    lock.lock();
    m_remaining -= end - begin;
    if (m_remaining == 0) {
      m_batch = nullptr;
      finished = true;
      m_done.notify_all();
    }
  }
  return finished;
}

void CDecodePool::Wait() {
  DecodeSome();
  std::unique_lock<std::mutex> lock(m_lock);
  m_done.wait(lock, [this] { return m_remaining == 0; });
  m_batch = nullptr;
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
    DecodeSome();
  }
}
