// What the program asks about the display, before and while Qt starts: whether one is named
// (DISPLAY), whether its X server answers (ReachDisplay, with the reason when it does not, the
// server's own when it refuses the program), the size of its screen (ScreenPixels), and the
// connection held from that question until Qt has its own (DisplayProbe).
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include "platform/ui/backend.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {
namespace {

// libxcb writes the reason an X server gives for turning a client away (a missing or wrong
// authorization cookie) straight to standard error, once for every attempt. While it connects,
// standard error goes to a file in memory instead, and what was written there comes back as the
// reason, to be said once with the display's name.
xcb_connection_t* ConnectKeepingReason(int* screen, std::string* reason) {
  reason->clear();
  std::fflush(stderr);
  const int caught = ::memfd_create("qav-x-refusal", MFD_CLOEXEC);
  const int saved = caught >= 0 ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0) : -1;
  const bool redirected = saved >= 0 && ::dup2(caught, STDERR_FILENO) >= 0;
  xcb_connection_t* c = xcb_connect(nullptr, screen);
  if (redirected) ::dup2(saved, STDERR_FILENO);
  if (saved >= 0) ::close(saved);
  if (redirected) {
    char text[512];
    const ssize_t n = ::pread(caught, text, sizeof text, 0);
    if (n > 0) *reason = std::string(text, static_cast<size_t>(n));
  }
  if (caught >= 0) ::close(caught);
  return c;
}

// The server's reason on one line: its printable characters, runs of blanks and line ends as
// one space.
std::string OneLine(const std::string& reason) {
  std::string line;
  for (char ch : reason) {
    const bool blank = std::isspace(static_cast<unsigned char>(ch)) != 0;
    if (blank && !line.empty() && line.back() != ' ') line += ' ';
    else if (!blank && std::isprint(static_cast<unsigned char>(ch)) != 0) line += ch;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// A connection to the X server of DISPLAY and the number of its screen there; null when it does not
// answer, with the reason it gave when it refused (`refusal`). A server still resetting after its
// last client turns a client away for a moment.
xcb_connection_t* ConnectToDisplay(int* screen, std::string* refusal) {
  if (!DisplayAvailable()) return nullptr;
  std::string reason;
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    xcb_connection_t* c = ConnectKeepingReason(screen, &reason);
    if (c != nullptr && xcb_connection_has_error(c) == 0) return c;
    if (c != nullptr) xcb_disconnect(c);
  }
  if (refusal != nullptr) *refusal = OneLine(reason);
  return nullptr;
}

// The connection by which the start asked for the screen's size (ScreenPixels), held for the
// display probe, and the number of the screen there.
xcb_connection_t* g_startConnection = nullptr;
int g_startScreen = 0;

}  // namespace

bool QtOnX() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform == nullptr || *platform == '\0' || std::string(platform) == "xcb";
}

DisplayProbe::~DisplayProbe() {
  if (c_ != nullptr) xcb_disconnect(c_);
}

bool DisplayProbe::QtCanStart() {
  if (!QtOnX()) return true;  // offscreen, or another platform Qt is told to use
  c_ = std::exchange(g_startConnection, nullptr);
  if (c_ != nullptr && xcb_connection_has_error(c_) == 0) return true;
  if (c_ != nullptr) xcb_disconnect(c_);
  c_ = ConnectToDisplay(nullptr, nullptr);
  return c_ != nullptr;
}

}  // namespace qav::ui::qt

namespace qav::ui {

bool DisplayAvailable() {
  const char* d = std::getenv("DISPLAY");
  return d != nullptr && *d != '\0';
}

bool ReachDisplay(std::string* why) {
  if (qt::g_qt != nullptr || !qt::QtOnX()) return true;
  std::string refusal;
  if (qt::g_startConnection == nullptr) qt::g_startConnection = qt::ConnectToDisplay(&qt::g_startScreen, &refusal);
  if (qt::g_startConnection != nullptr) return true;
  const char* display = std::getenv("DISPLAY");
  if (why == nullptr) return false;
  if (display == nullptr || *display == '\0') *why = "no display: DISPLAY is not set";
  else *why = std::string("cannot open display ") + display;
  if (!refusal.empty()) *why += ": the X server refused the connection (" + refusal + ")";
  return false;
}

bool ScreenPixels(uint64_t* width, uint64_t* height) {
  if (!qt::QtOnX() || qt::g_qt != nullptr || !ReachDisplay(nullptr)) return false;
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(qt::g_startConnection));
  for (int screen = qt::g_startScreen; it.rem > 0 && screen > 0; --screen) xcb_screen_next(&it);
  if (it.rem == 0) return false;
  *width = it.data->width_in_pixels;
  *height = it.data->height_in_pixels;
  return true;
}

}  // namespace qav::ui
