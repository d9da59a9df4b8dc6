#include "app/shell/decode_pool.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

CDecodePool::CDecodePool(int threads, const std::function<void()>& body) {
  // Memory that runs out here leaves fewer helpers, never a started one without its place in the
  // pool: that one would be joined at once, while it waits for work until the load stops it.
  try {
    m_threads.reserve(static_cast<size_t>(std::max(0, threads)));
    for (int i = 0; i < threads; ++i) {
      std::unique_ptr<Thread> t(new (std::nothrow) Thread());
      if (t == nullptr || t->Create([body]() -> DWORD {
            SetThreadName("QAV decoder");
            body();
            return 0;
          }) != 0)
        break;
      m_threads.push_back(std::move(t));
    }
  } catch (const std::bad_alloc&) {
  }
}

CDecodePool::~CDecodePool() { Join(); }

void CDecodePool::Join() {
  for (auto& t : m_threads) t->Join();
  m_threads.clear();
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
  // Every core but the loader's, at least one, and no more than there are runs to decode.
  int n = std::max(1, UsableCores() - 1);
  const int limit = g_threadLimit.load(std::memory_order_relaxed);
  if (limit > 0) n = std::min(n, limit);
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(n), std::max<size_t>(1, runs)));
}

void CDecodePool::LimitThreads(int n) { g_threadLimit.store(std::max(0, n), std::memory_order_relaxed); }
