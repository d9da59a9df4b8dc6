// The program: the application object, then the framework's start (InitInstance and the message
// loop). Without a display there is nothing to show, so the program says so and ends; so it does
// when it has not the memory to start.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/shell/qav_app.h"
#include "app/shell/start_up.h"
#include "platform/kernel/end_signals.h"
#include "platform/kernel/process.h"
#include "platform/kernel/release.h"
#include "platform/ui/backend.h"

CQAVApp theApp;

namespace {
// Runs before the initialisers of every library, which may already run out of memory.
void OnLoad(int, char**, char**) { EndStartsThatRunOutOfMemory(); }
}  // namespace
__attribute__((section(".preinit_array"), used)) void (*const g_onLoad)(int, char**, char**) = &OnLoad;

int main(int argc, char** argv) {
  // Qt reads HOME and the XDG base folders itself: a relative HOME (or none) is replaced by the home
  // the settings use, and a relative base folder is taken away, before Qt starts, so that nothing of
  // Qt's lands in the folder the program was started from.
  SettleHomeVariables();
  // A stale DISPLAY (a closed X server, an ssh session gone) is said at once, by its name.
  std::string why;
  if (!qav::ui::ReachDisplay(&why)) {
    std::fprintf(stderr, "qav: %s\n", why.c_str());
    return 1;
  }
  // Without the room or the threads to draw, the program ends at once, before it has anything to
  // save (and without waiting for threads that never ran).
  if (!PrepareStart(&why)) {
    std::fprintf(stderr, "qav: %s\n", why.c_str());
    std::fflush(stderr);
    _exit(1);
  }
  // A logout, Ctrl+C in a terminal or its closing ends the program as File > Exit does: a run
  // going on is cancelled (its report taken away, the earlier one kept) and the settings are saved.
  WatchEndSignals([](int) { AfxEndProgram(); });
  const int code = AfxWinMain(argc, argv);
  // The settings are saved: a signal from here on ends the program at once.
  StopWatchingEndSignals();
  // What the last run or viewer handed to the release thread is let go of before the end.
  qav::WaitForReleases();
  return code;
}
