// Shared set-up of the application tests: a temporary folder, the headless window system, and a
// profile of the test's own (so no test reads or writes the user's settings).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/shell/profile_store.h"
#include "platform/app/profile.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd.h"

// A temporary folder removed with its contents.
class AppTempFolder {
 public:
  AppTempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qav-app-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data()) != nullptr ? tmpl : std::string();
  }
  ~AppTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  AppTempFolder(const AppTempFolder&) = delete;
  AppTempFolder& operator=(const AppTempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Headless windows, no boxes shown (each answered by its default button and logged), and the
// profile in a file of the test's own folder.
class AppUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qav::ui::SelectBackend("headless");
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    qav::ui::ClearMessageBoxLog();
    profile_ = std::make_unique<CProfile>(folder_ / "profile.ini");
    store_ = std::make_unique<CFileProfileStore>(*profile_);
    SetActiveProfile(store_.get());
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    SetActiveProfile(nullptr);
    qav::ui::SetMessageBoxHandler(nullptr);
    qav::ui::SetFileChooserHandler(nullptr);
    qav::ui::ClearMessageBoxLog();
  }

  AppTempFolder folder_;
  std::unique_ptr<CProfile> profile_;
  std::unique_ptr<CFileProfileStore> store_;
};
