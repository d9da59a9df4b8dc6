// The threads that Qt's painting uses, started once at program start and kept.
//
// Qt's raster painting (wide fills, lines, image scaling and conversion) splits its work into
// pieces, hands them to the global thread pool and waits for all of them. The pool starts a new
// thread whenever a piece finds none idle, and ends idle threads after 30 s. When such a start
// fails (no address space left under a limit, or no thread left), the pool still gives the piece
// to the thread that never ran, and the painting waits for it for ever: the window freezes, the
// main thread asleep. So every thread the pool may have is started here, before anything paints,
// and kept (no expiry): with all of them there, the pool queues pieces for them and never starts
// another one. Their stacks are small (painting needs a few tens of kilobytes of stack), so the
// kept threads cost little address space.
#include <QThreadPool>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/ui/backend.h"

namespace qav::ui {

namespace {

constexpr int kPaintThreadStack = 1 << 20;
// A thread that was started reaches its task within milliseconds; one that could not be started
// never does.
constexpr auto kStartWait = std::chrono::seconds(10);

// Holds every started task until all have started, so that each runs on a thread of its own.
struct SStartGate {
  std::mutex lock;
  std::condition_variable changed;
  int started = 0;
  bool open = false;
};

}  // namespace

bool StartPaintThreads(std::string* why) {
  QThreadPool* pool = QThreadPool::globalInstance();
  pool->setStackSize(kPaintThreadStack);
  pool->setExpiryTimeout(-1);
  const int want = pool->maxThreadCount();
  auto gate = std::make_shared<SStartGate>();
  for (int i = 0; i < want; ++i) {
    pool->start([gate] {
      std::unique_lock<std::mutex> hold(gate->lock);
      ++gate->started;
      gate->changed.notify_all();
      gate->changed.wait(hold, [&] { return gate->open; });
    });
  }
  int started = 0;
  {
    std::unique_lock<std::mutex> hold(gate->lock);
    gate->changed.wait_for(hold, kStartWait, [&] { return gate->started >= want; });
    started = gate->started;
    gate->open = true;
  }
  gate->changed.notify_all();
  if (started < want && why != nullptr)
    *why = "only " + std::to_string(started) + " of the " + std::to_string(want) +
           " threads that draw the windows could be started (not enough memory or threads)";
  return started >= want;
}

}  // namespace qav::ui
