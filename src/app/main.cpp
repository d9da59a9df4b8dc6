// The program: the application object, then the framework's start (InitInstance and the message
// loop). Without a display there is nothing to show, so the program says so and ends.
#include <csignal>
#include <cstdio>

#include "app/shell/qav_app.h"
#include "platform/kernel/release.h"
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
  const int code = AfxWinMain(argc, argv);
  // What the last run or viewer handed to the release thread is let go of before the end.
  qav::WaitForReleases();
  return code;
}
