#include "platform/kernel/test_hold.h"

#if defined(QAV_TEST_HOLDS)

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

void HoldForTest(const char* point, const std::function<bool()>& meanwhile) {
  const char* dir = std::getenv("QAV_HOLD_DIR");
  if (dir == nullptr || *dir == '\0') return;
  const std::string armed = std::string(dir) + "/" + point;
  if (::access(armed.c_str(), F_OK) != 0) return;
  const int held = ::open((armed + ".held").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (held >= 0) ::close(held);
  while (::access(armed.c_str(), F_OK) == 0) {
    if (meanwhile && !meanwhile()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

#endif
