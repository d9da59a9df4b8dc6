#include "app/shell/start_up.h"

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
  // Under an address-space limit the window system's room follows the screen (five windows of its
  // size): the start keeps the same room the run will, so that no start passes with nothing left
  // for the data.
  // The start itself draws the main window, whose image is as large as the screen.
  uint64_t width = 0, height = 0, start = kStartBytes;
  if (qav::ui::ScreenPixels(&width, &height)) {
    qav::SetWindowRoom(qav::WindowRoomForScreen(width, height));
    start += 4 * width * height;
  }
  if (!qav::RoomToStart(start, why)) return false;
  // Each thread that allocates gets a heap arena of its own, which reserves 64 MB of address space
  // whatever it holds: under an address-space limit only as many as leave most of the room to the
  // data. Fewer cost time: on one arena a load's helpers, which make report rows by the million,
  // queue on its lock and the load takes four times as long.
  qav::LimitHeapArenas(start);
  // Painting must never wait for a thread that could not be started: its threads are started now,
  // before any window exists. Without them the windows could not be drawn.
  return qav::ui::StartPaintThreads(why);
}
