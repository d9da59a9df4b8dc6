// What the program asks about the display, before and while Qt starts: whether one is named
// (DISPLAY), whether its X server answers (ReachDisplay, with the reason when it does not), the
// size of its screen (ScreenPixels), and the connection held from that question until Qt has its
// own (DisplayProbe).
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include "platform/ui/backend.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {
namespace {

// A connection to the X server of DISPLAY and the number of its screen there; null when it does not
// answer. A server still resetting after its last client turns a client away for a moment.
xcb_connection_t* ConnectToDisplay(int* screen) {
  if (!DisplayAvailable()) return nullptr;
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    xcb_connection_t* c = xcb_connect(nullptr, screen);
    if (c != nullptr && xcb_connection_has_error(c) == 0) return c;
    if (c != nullptr) xcb_disconnect(c);
  }
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
  c_ = ConnectToDisplay(nullptr);
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
  if (qt::g_startConnection == nullptr) qt::g_startConnection = qt::ConnectToDisplay(&qt::g_startScreen);
  if (qt::g_startConnection != nullptr) return true;
  const char* display = std::getenv("DISPLAY");
  if (why != nullptr) {
    *why = display == nullptr || *display == '\0' ? "no display: DISPLAY is not set"
                                                  : std::string("cannot open display ") + display;
  }
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
