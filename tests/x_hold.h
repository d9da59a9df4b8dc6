// Holds the program under test in one phase of its work while a real-input test looks at it: the
// program's test holds (platform/kernel/test_hold.h, compiled into the sanitizer build the tests
// run). A test arms a point before the action that leads there, waits until the program is held
// at it, makes its checks, and releases it: however busy the machine, the program is still in that
// phase when it is looked at.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "x_patience.h"

namespace xtest {

// Whether the program under test has its holds (the build the tests are part of decides).
#if defined(QAV_TEST_HOLDS)
inline constexpr bool kProgramHolds = true;
#else
inline constexpr bool kProgramHolds = false;
#endif

// The holds of the programs this process starts while it lives: a folder of its own under
// `folder`, named to them in $QAV_HOLD_DIR.
class CHolds {
 public:
  explicit CHolds(const std::filesystem::path& folder) : dir_(folder / "holds") {
    std::filesystem::create_directories(dir_);
    ::setenv("QAV_HOLD_DIR", dir_.c_str(), 1);
  }
  ~CHolds() {
    std::error_code e;
    std::filesystem::remove_all(dir_, e);  // releases what is still held
    ::unsetenv("QAV_HOLD_DIR");
  }
  CHolds(const CHolds&) = delete;
  CHolds& operator=(const CHolds&) = delete;

  // The program stops at `point` from now on, until Release.
  void Arm(const char* point) const {
    std::error_code e;
    std::filesystem::remove(dir_ / (std::string(point) + ".held"), e);
    std::FILE* f = std::fopen((dir_ / point).c_str(), "w");
    if (f != nullptr) std::fclose(f);
  }
  // True once the program is held at `point`, waiting up to `seconds` on a quiet machine (longer
  // on a busy one).
  bool Held(const char* point, int seconds) const {
    const std::filesystem::path held = dir_ / (std::string(point) + ".held");
    return Patiently(std::chrono::seconds(seconds), std::chrono::milliseconds(50), [&] { return std::filesystem::exists(held); });
  }
  // The program goes on from `point`.
  void Release(const char* point) const {
    std::error_code e;
    std::filesystem::remove(dir_ / point, e);
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace xtest
