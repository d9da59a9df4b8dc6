// The program: the application object, then the framework's start (InitInstance and the message
// loop). Without a display there is nothing to show, so the program says so and ends.
#include <csignal>
#include <cstdio>

#include "app/shell/qav_app.h"
#include "platform/ui/backend.h"

CQAVApp theApp;

int main(int argc, char** argv) {
  if (!qav::ui::DisplayAvailable()) {
    std::fprintf(stderr, "qav: no display available (DISPLAY is not set or cannot be opened)\n");
    return 1;
  }
  // Under a file-size limit a write past it fails with its error, which the report writers turn
  // into a removed report and a message, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  return AfxWinMain(argc, argv);
}
