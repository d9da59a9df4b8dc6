#include "app/shell/start_up.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <new>

#include "app/shell/qav_app.h"
#include "platform/kernel/address_space.h"
#include "platform/ui/backend.h"

const char kNoMemoryToStartLine[] = "qav: not enough memory to start\n";

namespace {

std::terminate_handler g_previousTerminate = nullptr;

bool UnderMemoryLimit() {
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return true;
  }
  return false;
}

// Nothing here allocates: the exception is looked at where it is, and the line is written as it is.
[[noreturn]] void EndWithoutRoom() noexcept {
  if (!QAVAppStarted()) {
    bool noMemory = false;
    if (std::exception_ptr e = std::current_exception()) {
      try {
        std::rethrow_exception(e);
      } catch (const std::bad_alloc&) {
        noMemory = true;
      } catch (...) {
      }
    }
    if (noMemory) {
      [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kNoMemoryToStartLine, sizeof kNoMemoryToStartLine - 1);
      _exit(1);
    }
  }
  if (g_previousTerminate != nullptr) g_previousTerminate();
  std::abort();
}

}  // namespace

void EndStartsThatRunOutOfMemory() noexcept {
  std::terminate_handler previous = std::set_terminate(&EndWithoutRoom);
  if (previous != &EndWithoutRoom) g_previousTerminate = previous;
}

bool PrepareStart(std::string* why) {
  // Under a file-size limit a write past it fails with its error, which the report writers turn
  // into a removed report and a message, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Each thread that allocates gets a heap arena of its own, reserving 64 MB of address space at
  // once (128 MB while it is being placed), out of reach of the budget of the data. Under an
  // address-space (or data) limit that room belongs to the data and to the window system, so there
  // every thread shares one arena; the threads keep their own caches of small blocks, so they wait
  // for one another less than the one lock suggests. Without a limit the reservations cost nothing,
  // and a load's helpers, which make report rows by the million, each keep an arena of their own:
  // on a shared one they queue on its lock and the load takes three times as long.
  if (UnderMemoryLimit()) mallopt(M_ARENA_MAX, 1);
  if (!qav::RoomToStart(kStartBytes, why)) return false;
  // Painting must never wait for a thread that could not be started: its threads are started now,
  // before any window exists. Without them the windows could not be drawn.
  return qav::ui::StartPaintThreads(why);
}
