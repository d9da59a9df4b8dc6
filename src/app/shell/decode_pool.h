// The helper threads of a load. The common loader's helpers read day files, each a different day,
// and decode the records into the day objects; the loader's own thread joins in while it waits
// for the days in date order. The pool only starts, names and ends the threads; what they do is
// the loader's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/kernel/threads.h"

class CDecodePool {
 public:
  // Starts up to `threads` helpers named "QAV decoder", each running `body` once; fewer when the
  // system has no room for more (Count tells how many run).
  CDecodePool(int threads, const std::function<void()>& body);
  ~CDecodePool();  // joins the helpers: `body` must return
  CDecodePool(const CDecodePool&) = delete;
  CDecodePool& operator=(const CDecodePool&) = delete;

  int Count() const { return static_cast<int>(m_threads.size()); }
  // Waits until every helper's body has returned.
  void Join();

  // Element-days a helper takes at a time.
  static constexpr size_t kItemsPerRun = 16;
  // The helper count that suits this machine for `runs` runs of items: the usable cores less the
  // loader's own, at least one, at most `runs` (and at most a limit set by LimitThreads).
  static int DefaultThreads(size_t runs = SIZE_MAX);
  // The cores this process may use.
  static int UsableCores();
  // Caps DefaultThreads for the whole process (benchmarks compare helper counts); 0 removes it.
  static void LimitThreads(int n);

 private:
  std::vector<std::unique_ptr<Thread>> m_threads;
};
