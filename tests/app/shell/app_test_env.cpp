// Every application test runs with its own settings folder, so nothing reaches the user's profile
// even where a test uses the application's own profile. Loads keep the speedup the views plan
// with, however slowly a sanitizer build runs them, so that their units can be counted exactly;
// a test of the measured speedup asks for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/shell/input_loader.h"

namespace {
class SettingsHome : public ::testing::Environment {
 public:
  static constexpr int kNeverMs = 1 << 30;
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qav-app-config-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) != nullptr) {
      path_ = tmpl;
      ::setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
    MeasureLoadSpeedupAfter(kNeverMs);
  }
  void TearDown() override {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }

 private:
  std::string path_;
};
const auto* const kSettingsHome = ::testing::AddGlobalTestEnvironment(new SettingsHome);
}  // namespace
