// Shared set-up of the window-system tests: the headless backend, no windows left over.
#pragma once

#include <gtest/gtest.h>

#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd.h"

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qav::ui::SelectBackend("headless");
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    qav::ui::ClearMessageBoxLog();
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    qav::ui::SetMessageBoxHandler(nullptr);
    qav::ui::SetFileChooserHandler(nullptr);
    qav::ui::ClearMessageBoxLog();
    EXPECT_EQ(qav::ui::WindowCount(), 0);
  }
};
