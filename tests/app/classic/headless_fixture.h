// Tests of the Classic view's windows on the headless window system: no windows left over, message
// boxes answered and recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd.h"
#include "platform/ui/wnd_state.h"

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qav::ui::SelectBackend("headless");
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      boxes.push_back(r.text);
      return answer;
    });
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    qav::ui::SetMessageBoxHandler(nullptr);
    qav::ui::SetFileChooserHandler(nullptr);
    EXPECT_EQ(qav::ui::WindowCount(), 0);
  }
  static qav::ui::RangeState* Range(HWND h) { return static_cast<qav::ui::RangeState*>(qav::ui::Find(h)); }
  static std::string Text(HWND h) {
    char buf[512] = {};
    ::GetWindowText(h, buf, sizeof buf);
    return buf;
  }
  std::vector<std::string> boxes;
  int answer = IDOK;
};
