// The program: the application object, then the framework's start (InitInstance and the message
// loop). Without a display there is nothing to show, so the program says so and ends.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "app/shell/qav_app.h"
#include "platform/kernel/end_signals.h"
#include "platform/kernel/release.h"
#include "platform/ui/backend.h"

CQAVApp theApp;

namespace {
bool UnderMemoryLimit() {
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return true;
  }
  return false;
}
}  // namespace

int main(int argc, char** argv) {
  if (!qav::ui::DisplayAvailable()) {
    std::fprintf(stderr, "qav: no display available (DISPLAY is not set or cannot be opened)\n");
    return 1;
  }
  // Under a file-size limit a write past it fails with its error, which the report writers turn
  // into a removed report and a message, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Each thread that allocates gets a heap arena of its own, reserving 64 MB of address space
  // apiece; under an address-space (or data) limit that room is better left to the data and to the
  // threads' stacks, so there the threads share two arenas (the main one and one more), which keep
  // the user-interface thread and a worker from queueing on one lock most of the time. Without a
  // limit the reservations cost nothing, and a load's helpers, which make report rows by the
  // million, each keep an arena of their own: on two they queue on the heap's locks and the load
  // takes three times as long, burning the processor time it waits with.
  if (UnderMemoryLimit()) mallopt(M_ARENA_MAX, 2);
  // A logout, Ctrl+C in a terminal or its closing ends the program as File > Exit does: a run
  // going on is cancelled (its report taken away, the earlier one kept) and the settings are saved.
  WatchEndSignals([](int) { AfxEndProgram(); });
  // Painting must never wait for a thread that could not be started: its threads are started now,
  // before any window exists. Without them the windows could not be drawn, so the program ends at
  // once, before it has anything to save (and without waiting for the threads that never ran).
  std::string why;
  if (!qav::ui::StartPaintThreads(&why)) {
    std::fprintf(stderr, "qav: %s\n", why.c_str());
    std::fflush(stderr);
    _exit(1);
  }
  const int code = AfxWinMain(argc, argv);
  // The settings are saved: a signal from here on ends the program at once.
  StopWatchingEndSignals();
  // What the last run or viewer handed to the release thread is let go of before the end.
  qav::WaitForReleases();
  return code;
}
