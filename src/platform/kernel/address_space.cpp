#include "platform/kernel/address_space.h"

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace qav {

namespace {

constexpr uint64_t kNoLimit = UINT64_MAX;
constexpr uint64_t kMB = uint64_t{1} << 20;

// The budget's state: constant-initialised, so the allocator may ask before any constructor ran.
struct SBudget {
  std::mutex lock;                            // one measure at a time
  std::atomic<uint64_t> limit{kNoLimit};      // as last looked at
  std::atomic<uint64_t> room{kWindowRoom};    // the window system's (SetWindowRoom)
  std::atomic<uint64_t> used{0};              // mapped as last measured, with the claims
  std::atomic<uint64_t> heapFree{0};          // free inside the heap then (at most `used`)
  std::atomic<uint64_t> claimed{0};           // room taken ahead (ClaimForData)
  std::atomic<uint64_t> since{kMeasureEvery}; // bytes handed out since; the first ask measures
  // Tests' stand-ins.
  std::atomic<uint64_t> testLimit{0};
  std::atomic<uint64_t (*)()> testUsed{nullptr};
  std::atomic<uint64_t (*)()> testFree{nullptr};
};
constinit SBudget g_budget;

thread_local bool t_dataThread = false;
thread_local int t_windowSystemBlocks = 0;  // CWindowSystemBlocks in scope

// The stacks of the program's threads that ended, which the C library keeps (up to 40 MB) for the
// next threads.
constexpr uint64_t kStackCacheBytes = uint64_t{40} << 20;
std::atomic<uint64_t> g_endedStacks{0};
struct SStackOnEnd {
  uint64_t bytes = 0;
  ~SStackOnEnd() {
    uint64_t was = g_endedStacks.load();
    while (!g_endedStacks.compare_exchange_weak(was, std::min(kStackCacheBytes, was + bytes))) {
    }
  }
};
thread_local SStackOnEnd t_stackOnEnd;

// Takes `bytes` of the ended threads' stacks for a new thread; false when there are not so many.
bool TakeEndedStack(uint64_t bytes) noexcept {
  uint64_t was = g_endedStacks.load();
  while (was >= bytes && !g_endedStacks.compare_exchange_weak(was, was - bytes)) {
  }
  return was >= bytes;
}
// Bytes of small blocks this thread was given and has not yet added to the shared count.
constexpr uint64_t kThreadBatch = uint64_t{256} << 10;
thread_local uint64_t t_uncounted = 0;

uint64_t ReadLimit() noexcept {
  if (const uint64_t test = g_budget.testLimit.load(); test != 0) return test;
  rlimit r{};
  if (getrlimit(RLIMIT_AS, &r) != 0 || r.rlim_cur == RLIM_INFINITY) return kNoLimit;
  return static_cast<uint64_t>(r.rlim_cur);
}

// The process's mapped size in bytes; 0 when it cannot be read. The file is opened each time: one
// kept open would go on naming this process in a child forked from it.
uint64_t MappedBytes() noexcept {
  const int statm = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (statm < 0) return 0;
  char text[128];
  const ssize_t n = read(statm, text, sizeof text - 1);
  close(statm);
  if (n <= 0) return 0;
  uint64_t pages = 0;
  for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
    pages = pages * 10 + static_cast<uint64_t>(text[i] - '0');
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

bool Fits(uint64_t used, uint64_t bytes, uint64_t limit) noexcept {
  const uint64_t room = g_budget.room.load(std::memory_order_relaxed);
  return limit > room && used <= limit - room && bytes <= limit - room - used;
}

// Measures the address space in use (the process's mappings, with the room claimed ahead) and,
// within one measure's span of the limit, what the heap holds free inside it; further off that is
// left at 0.
void MeasureInUse(uint64_t bytes, uint64_t limit) noexcept {
  auto* testUsed = g_budget.testUsed.load();
  const uint64_t used = g_budget.claimed.load(std::memory_order_relaxed) + (testUsed != nullptr ? testUsed() : MappedBytes());
  uint64_t free = 0;
  if (!Fits(used + kMeasureEvery, bytes, limit)) {
    auto* testFree = g_budget.testFree.load();
    free = std::min<uint64_t>(testFree != nullptr ? testFree() : testUsed != nullptr ? 0 : mallinfo2().fordblks, used);
  }
  g_budget.used.store(used, std::memory_order_relaxed);
  g_budget.heapFree.store(free, std::memory_order_relaxed);
}

// The address space in use as a block of `bytes` meets it. A small block comes out of what the
// heap holds free first; a large one may not find that free room in one piece, and the heap maps
// it anew, so it meets the whole mapped size.
uint64_t InUseFor(uint64_t bytes) noexcept {
  const uint64_t used = g_budget.used.load(std::memory_order_relaxed);
  return bytes < kLargeBlock ? used - std::min(used, g_budget.heapFree.load(std::memory_order_relaxed)) : used;
}

// Looks at the limit and, under one, measures the address space in use; whether `bytes` fit.
bool Measure(uint64_t bytes) noexcept {
  // While another thread measures (or held the lock when this process was forked from another),
  // the last measure stands.
  std::unique_lock<std::mutex> hold(g_budget.lock, std::try_to_lock);
  if (!hold.owns_lock()) {
    const uint64_t limit = g_budget.limit.load(std::memory_order_relaxed);
    return limit == kNoLimit || Fits(InUseFor(bytes), bytes, limit);
  }
  const uint64_t limit = ReadLimit();
  g_budget.limit.store(limit, std::memory_order_relaxed);
  g_budget.since.store(0, std::memory_order_relaxed);
  if (limit == kNoLimit) return true;
  MeasureInUse(bytes, limit);
  return Fits(InUseFor(bytes), bytes, limit);
}

// The address space the start needs beside what is mapped now: `startBytes` and the window
// system's room.
uint64_t StartNeed(uint64_t startBytes) {
  std::lock_guard<std::mutex> hold(g_budget.lock);
  auto* test = g_budget.testUsed.load();
  return (test != nullptr ? test() : MappedBytes()) + startBytes + g_budget.room.load();
}

}  // namespace

bool RoomForData(uint64_t bytes) noexcept {
  // Small blocks are counted on their own thread and added to the shared count in batches, so that
  // threads that allocate much do not all meet on one counter.
  uint64_t counted = bytes;
  if (bytes < kThreadBatch) {
    t_uncounted += bytes;
    if (t_uncounted < kThreadBatch) {
      const uint64_t limit = g_budget.limit.load(std::memory_order_relaxed);
      if (limit == kNoLimit) return true;
      const uint64_t since = g_budget.since.load(std::memory_order_relaxed) + t_uncounted;
      if (since < kMeasureEvery && Fits(InUseFor(bytes) + since - bytes, bytes, limit)) return true;
    }
    counted = t_uncounted;
    t_uncounted = 0;
  }
  const uint64_t since = g_budget.since.fetch_add(counted, std::memory_order_relaxed) + counted;
  if (since < kMeasureEvery) {
    const uint64_t limit = g_budget.limit.load(std::memory_order_relaxed);
    if (limit == kNoLimit) return true;
    // Between measures, what was handed out since the last one counts as used.
    if (Fits(InUseFor(bytes) + since - bytes, bytes, limit)) return true;
  }
  return Measure(bytes);
}

bool ClaimForData(uint64_t bytes) noexcept {
  // Counted as handed out until the next measure, which counts the claims with what is in use.
  if (!RoomForData(bytes)) return false;
  g_budget.claimed.fetch_add(bytes, std::memory_order_relaxed);
  return true;
}

void GiveBackClaim(uint64_t bytes) noexcept {
  g_budget.claimed.fetch_sub(bytes, std::memory_order_relaxed);
  // What is in use is measured again at the next ask that does not fit.
}

CWindowSystemBlocks::CWindowSystemBlocks() noexcept { ++t_windowSystemBlocks; }
CWindowSystemBlocks::~CWindowSystemBlocks() { --t_windowSystemBlocks; }

bool RoomForBlock(uint64_t bytes) noexcept {
  if ((!t_dataThread || t_windowSystemBlocks > 0) && bytes < kLargeBlock) return true;
  return RoomForData(bytes);
}

bool RoomForThread(const pthread_attr_t* attr) noexcept {
  size_t stack = 0;
  pthread_attr_t defaults;
  if (attr == nullptr && pthread_getattr_default_np(&defaults) == 0) {
    pthread_attr_getstacksize(&defaults, &stack);
    pthread_attr_destroy(&defaults);
  } else if (attr != nullptr) {
    pthread_attr_getstacksize(attr, &stack);
  }
  return TakeEndedStack(stack) || RoomForData(stack);
}

void SetWindowRoom(uint64_t bytes) noexcept { g_budget.room.store(bytes > kWindowRoom ? bytes : kWindowRoom); }

uint64_t WindowRoomForScreen(uint64_t width, uint64_t height) noexcept {
  const uint64_t room = (uint64_t{32} << 20) + 5 * 4 * width * height;
  return room > kWindowRoom ? room : kWindowRoom;
}

void MarkDataThread(uint64_t stackBytes) noexcept {
  t_dataThread = true;
  t_stackOnEnd.bytes = stackBytes;
}

bool RoomToStart(uint64_t startBytes, std::string* why) {
  const uint64_t limit = ReadLimit();
  if (limit == kNoLimit) return true;
  const uint64_t need = StartNeed(startBytes);
  if (need <= limit) return true;
  if (why != nullptr)
    *why = "not enough memory to start: the address space is limited to " + std::to_string(limit / kMB) +
           " MB, and the program needs at least " + std::to_string((need + kMB - 1) / kMB) + " MB";
  return false;
}

int HeapArenasFor(uint64_t dataRoom, int usual) noexcept {
  const uint64_t arenas = 1 + (dataRoom > kOneArenaRoom ? (dataRoom - kOneArenaRoom) / (8 * kArenaReserve) : 0);
  return arenas >= static_cast<uint64_t>(usual) ? 0 : static_cast<int>(arenas);
}

int LimitHeapArenas(uint64_t startBytes) noexcept {
  const uint64_t limit = ReadLimit();
  if (limit == kNoLimit) return 0;
  const uint64_t need = StartNeed(startBytes);
  // The processors this thread may run on, which the C library counts (never more than are online).
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  const int processors = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
  const int arenas = HeapArenasFor(limit > need ? limit - need : 0, 8 * std::max(1, processors));
  if (arenas > 0) mallopt(M_ARENA_MAX, arenas);
  return arenas;
}

void SetAddressSpaceForTesting(uint64_t limit, uint64_t (*used)(), uint64_t (*heapFree)()) {
  g_budget.testLimit.store(limit);
  g_budget.testUsed.store(limit != 0 ? used : nullptr);
  g_budget.testFree.store(limit != 0 ? heapFree : nullptr);
  Measure(0);
}

}  // namespace qav
