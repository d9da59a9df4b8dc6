// Shared set-up of the tests that drive the Qt backend with Qt's own test events on Qt's
// offscreen platform: real widgets, real key and mouse events, no display needed.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <functional>

#include "platform/ui/backend.h"
#include "platform/ui/wnd_state.h"
#include "ui_fixture.h"

class QtUiTest : public UiTest {
 protected:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // before Qt starts: this program's Qt is offscreen
    UiTest::SetUp();
    ASSERT_TRUE(qav::ui::SelectBackend("qt"));
  }
  void TearDown() override {
    qav::ui::ResetWindowSystem();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qav::ui::SelectBackend("headless");
    UiTest::TearDown();
  }
  // The Qt widget of a window.
  static QWidget* W(HWND h) { return static_cast<QWidget*>(qav::ui::NativeWidget(h)); }
  static QWidget* W(const CWnd& w) { return W(w.GetSafeHwnd()); }
  // Runs `f` from the event loop once the loop that is about to start (a modal one) runs.
  static void Later(std::function<void()> f, int ms = 0) { QTimer::singleShot(ms, qApp, std::move(f)); }
  // Lets Qt handle what is pending (deferred layouts, queued list updates, repaints).
  static void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
};
