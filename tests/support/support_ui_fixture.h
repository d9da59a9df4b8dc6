// Shared set-up of the tests of the support library's dialogs and controls: the headless window
// system, no windows left over, message boxes answered and logged.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd.h"

// A top-level window that records the messages it gets.
class CRecorderWnd : public CWnd {
 public:
  struct Got {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  bool Create() {
    return CreateEx(0, "Recorder", "Recorder", WS_OVERLAPPEDWINDOW, RECT{0, 0, 300, 200}, nullptr, 0) != FALSE;
  }
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg >= 0x1400 && msg < 0x1500) got.push_back(Got{msg, wParam, lParam});
    return CWnd::WindowProc(msg, wParam, lParam);
  }
  std::vector<Got> got;
};

class SupportUiTest : public ::testing::Test {
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
    qav::ui::ResetQuit();
    EXPECT_EQ(qav::ui::WindowCount(), 0);
  }
};
