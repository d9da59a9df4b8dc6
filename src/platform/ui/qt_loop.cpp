// The Qt backend's glue between Qt's event loop and ours: starting Qt (only when the display
// answers, qt_display.cpp) with an application object that outlives an event whose
// handling ran out of memory, the window system's room for the screen, the program's style and
// palette, the waits of our loops (processEvents with a timer for the next due SetTimer), the one
// queued event by which other threads wake the user-interface thread to serve their sends, the
// cursor, and the tag that ties a widget to the window it shows.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QScreen>
#include <QStyleFactory>

#include <cmath>
#include <new>

#include "platform/kernel/address_space.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

int g_syncing = 0;
QtBackend* g_qt = nullptr;

void Tag(QWidget* w, HWND h) { w->setProperty(kHwndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(h))); }

HWND OwnHwnd(const QObject* o) {
  QVariant v = o != nullptr ? o->property(kHwndProperty) : QVariant();
  return v.isValid() ? reinterpret_cast<HWND>(v.value<quintptr>()) : nullptr;
}

HWND HwndOf(const QObject* o) {
  for (; o != nullptr; o = o->parent())
    if (HWND h = OwnHwnd(o)) return h;
  return nullptr;
}

QtBackend::QtBackend() {
  m_waitTimer.setSingleShot(true);
  m_waitTimer.setTimerType(Qt::PreciseTimer);
  m_repaintTimer.setSingleShot(true);
  QObject::connect(&m_repaintTimer, &QTimer::timeout, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) w->update();
  });
  qApp->installEventFilter(this);
}

void QtBackend::RepaintLater() noexcept {
  try {
    if (!m_repaintTimer.isActive()) m_repaintTimer.start(kRepaintAfterNoMemoryMs);
  } catch (const std::bad_alloc&) {
  }
}

namespace {
// The user's input waits in Qt's queue while it is held.
QEventLoop::ProcessEventsFlags Taken() {
  return UserInputHeld() ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents;
}
}  // namespace

void QtBackend::Poll() {
  ++m_depth;
  QCoreApplication::processEvents(Taken());
  --m_depth;
  Reap();
}

void QtBackend::Wait(double seconds) {
  if (seconds >= 0) m_waitTimer.start(static_cast<int>(std::ceil(seconds * 1000)));
  ++m_depth;
  QCoreApplication::processEvents(Taken() | QEventLoop::WaitForMoreEvents);
  --m_depth;
  m_waitTimer.stop();
  Reap();
}

// Any thread: one queued event wakes the user-interface thread, however many requests came.
void QtBackend::Wake() {
  if (m_wakePending.exchange(true)) return;
  // Without memory for the event, the thread's wait is only ended: the loops on it serve the
  // sends when they look at their queue, and the next wake tries the event again.
  if (auto* e = new (std::nothrow) QEvent(kWakeEvent)) {
    QCoreApplication::postEvent(this, e);
    return;
  }
  m_wakePending = false;
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(thread())) d->wakeUp();
}

bool QtBackend::event(QEvent* e) {
  if (e->type() != kWakeEvent) return QObject::event(e);
  m_wakePending = false;
  ServeSentMessages();
  return true;
}

void QtBackend::CursorChanged(CursorKind shape) {
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  if (shape == CursorKind::Wait) QApplication::setOverrideCursor(Qt::WaitCursor);
  else if (shape == CursorKind::Hand) QApplication::setOverrideCursor(Qt::PointingHandCursor);
}

namespace {

// The program's application object. An event whose handling runs out of memory (Qt's painting, or
// one of our handlers reached through the event filter, throwing std::bad_alloc) is lost, not the
// program; what it should have drawn is drawn again a moment later, when there may be memory again.
// The budget of the program's data (platform/kernel/address_space.h) keeps room for the window
// system, so this is the last resort, not the way memory that runs out is met.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* e) override {
    try {
      return QApplication::notify(receiver, e);
    } catch (const std::bad_alloc&) {
      if (g_qt != nullptr) g_qt->RepaintLater();
      return false;
    }
  }
};

QPalette AppPalette() {
  // The program's palette: light, neutral faces with a calm blue for selections and focus.
  QPalette p;
  QColor face(240, 240, 240);
  p.setColor(QPalette::Window, face);
  p.setColor(QPalette::WindowText, QColor(20, 20, 20));
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::AlternateBase, QColor(246, 246, 246));
  p.setColor(QPalette::Button, face);
  p.setColor(QPalette::ButtonText, QColor(20, 20, 20));
  p.setColor(QPalette::Text, QColor(20, 20, 20));
  p.setColor(QPalette::Highlight, QColor(0, 120, 215));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  p.setColor(QPalette::ToolTipText, Qt::black);
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::Base, face);
  return p;
}

}  // namespace
}  // namespace qav::ui::qt

namespace qav::ui {

Backend* MakeQtBackend() {
  if (qt::g_qt != nullptr) return qt::g_qt;
  if (QCoreApplication::instance() == nullptr) {
    qt::DisplayProbe probe;
    if (!probe.QtCanStart()) return nullptr;
    static int argc = 1;
    static char name[] = "qav";
    static char* argv[] = {name, nullptr};
    new qt::Application(argc, argv);  // lives to the end of the process
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(qt::AppPalette());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    // Under an address-space limit the window system's room follows the screen: the whole of it,
    // over every monitor, as the start measured it (ScreenPixels).
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QSize pixels = screen->virtualSize() * screen->devicePixelRatio();
      qav::SetWindowRoom(qav::WindowRoomForScreen(static_cast<uint64_t>(pixels.width()), static_cast<uint64_t>(pixels.height())));
    }
  }
  qt::g_qt = new qt::QtBackend;
  return qt::g_qt;
}

}  // namespace qav::ui
