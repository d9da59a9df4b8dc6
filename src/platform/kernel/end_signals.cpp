#include "platform/kernel/end_signals.h"

#include "platform/base/errors.h"
#include "platform/kernel/threads.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The watching thread only waits for the pipe and calls back: a small stack is room enough, and
// leaves the address space to the data.
constexpr size_t kWatcherStack = 256 * 1024;

std::atomic<int> g_writeEnd{-1};
std::atomic<bool> g_asked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "looked at in a signal handler");

// Async-signal-safe. The first signal is handed to the watcher: the program ends as it chooses.
// Another one while it does (Ctrl+C pressed again on a program that is slow to end) ends it at
// once, as the signal does by default. A write that cannot be made (the pipe full) is dropped, as
// the program is ending already.
void OnEndSignal(int signal) {
  if (g_asked.exchange(true)) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);  // delivered, with its default end, as the handler returns
    return;
  }
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  const int fd = g_writeEnd.load(std::memory_order_relaxed);
  if (fd >= 0) (void)!::write(fd, &number, 1);
  errno = saved;
}

}  // namespace

DWORD WatchEndSignals(std::function<void(int signal)> onSignal) {
  static std::atomic<bool> started{false};
  if (started.exchange(true)) return ERROR_ALREADY_EXISTS;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    started = false;
    return ErrnoToWinError(errno);
  }
  // The handler never waits for the reader.
  ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
  const int readEnd = fds[0];
  Thread watcher;
  const DWORD error = watcher.Create(
      [readEnd, onSignal = std::move(onSignal)]() -> DWORD {
        SetThreadName("qav end signal");
        for (;;) {
          unsigned char number = 0;
          const ssize_t n = ::read(readEnd, &number, 1);
          if (n == 1) onSignal(number);
          else if (n == 0 || errno != EINTR) return 0;
        }
      },
      false, kWatcherStack);
  if (error != 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    started = false;
    return error;
  }
  watcher.Detach();
  g_writeEnd.store(fds[1]);
  struct sigaction action {};
  action.sa_handler = &OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kEndSignals) ::sigaction(signal, &action, nullptr);
  return 0;
}

void StopWatchingEndSignals() {
  for (int signal : kEndSignals) std::signal(signal, SIG_DFL);
}
