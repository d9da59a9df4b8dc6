// The signals that ask the program to end: SIGTERM (a desktop's logout, `kill`), SIGINT (Ctrl+C in
// a terminal) and SIGHUP (the terminal closed). A signal's handler may do next to nothing safely,
// so it only writes the signal's number into a pipe; a thread of its own reads the pipe and tells
// the program there, where it may do what any thread may.
#pragma once

#include "platform/base/types.h"

#include <functional>

// Starts watching the three signals: the first one that arrives calls `onSignal` with its number on
// the watching thread; any of them after it ends the program at once, as it would without watching
// (status 128 + the signal). Returns 0, or the error that kept it from watching (no pipe or no
// thread to be had); the signals then end the program at once. Watching starts once: a second call
// gives 183 and changes nothing.
DWORD WatchEndSignals(std::function<void(int signal)> onSignal);
// The three signals end the program at once again, as they do without watching: for its last
// moments, once nothing is left to save.
void StopWatchingEndSignals();
