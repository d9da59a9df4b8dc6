// How long the real-input tests wait for the X server, the window manager and the program. They
// share the processors with everything else on the machine: with more runnable processes than
// processors, every step (a window mapped, a click delivered, a dialog drawn) takes longer by about
// that ratio. So each wait is the time a quiet machine needs, stretched by how busy the machine is
// when the wait starts and while it runs; on a quiet machine it stays as it is.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace xtest {

// The one-minute load average over the online processors, at least 1.
inline double Slowness() {
  double load = 0;
  if (::getloadavg(&load, 1) != 1) return 1;
  const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
  return std::max(1.0, load / static_cast<double>(cores));
}

// True once `probe` says so, asking every `every` for up to `quiet` stretched by Slowness(); the
// stretch only grows while the wait runs. It ends only once both that much time has passed and
// that many asks were made, so a slow probe (an xdotool search on a busy display) shortens no wait.
inline bool Patiently(std::chrono::milliseconds quiet, std::chrono::milliseconds every, const std::function<bool()>& probe,
                      const std::function<void(std::chrono::milliseconds)>& nap = [](std::chrono::milliseconds d) {
                        std::this_thread::sleep_for(d);
                      }) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const double asks = static_cast<double>(quiet.count()) / static_cast<double>(std::max<long>(1, every.count()));
  double stretch = Slowness();
  for (long asked = 0;; ++asked) {
    if (probe()) return true;
    stretch = std::max(stretch, Slowness());
    if (static_cast<double>(asked) >= asks * stretch && Clock::now() - start >= quiet * stretch) return false;
    nap(every);
  }
}

// A pause of `seconds` on a quiet machine, stretched by how busy it is now.
inline std::chrono::milliseconds Stretched(double seconds) {
  return std::chrono::milliseconds(static_cast<long>(seconds * 1000 * Slowness()));
}
inline void Settle(double seconds) { std::this_thread::sleep_for(Stretched(seconds)); }
// The same as a shell command between xdotool steps: "sleep 1.35".
inline std::string Pause(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "sleep %.2f", static_cast<double>(Stretched(seconds).count()) / 1000);
  return text;
}

// An action the test sends again because its effect is missing (sent only where its target has the
// keyboard): one line each, "x-resend | what", so that a run shows how often that happened.
inline void NoteResend(const std::string& what) {
  std::printf("x-resend | %s\n", what.c_str());
  std::fflush(stdout);
}

}  // namespace xtest
