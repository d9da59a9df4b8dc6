// Top-level windows in the Qt backend: frames and dialogs as TopWindow (a menu bar for frames, a
// scrolling client area), their creation when first shown, their place and state (maximised,
// minimised, with or without a window manager), the owned windows that wait for their owner, the
// focus of a control inside them, the freeing of destroyed windows' widgets, and the PNG of a
// window. Their activation and stacking are in qt_activation.cpp.
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWindow>
#include <xcb/xcb.h>

#include <algorithm>
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

TopWindow::TopWindow(HWND h, Qt::WindowFlags flags) : QWidget(nullptr, flags), m_hwnd(h) {
  Tag(this, h);
  area = new QScrollArea(this);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(false);
  canvas = new QWidget;
  canvas->setAutoFillBackground(false);
  area->setWidget(canvas);
  area->viewport()->setAutoFillBackground(false);
}

void TopWindow::Place() {
  if (menu != nullptr) menu->setGeometry(0, 0, width(), menuHeight);
  area->setGeometry(0, menuHeight, width(), std::max(0, height() - menuHeight));
  Fit();
}

// The canvas holds every child at its own place and fills what the scroll bars leave of the
// client area. A panel (a form view, which the frame sizes to its client area) counts with its
// controls only, so a form wider than the frame scrolls sideways without a vertical bar too.
void TopWindow::Fit() {
  QRect kids;
  for (QObject* o : canvas->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr || w->isHidden()) continue;
    QRect r = w->geometry();
    if (dynamic_cast<Panel*>(w) != nullptr) {
      QRect inner = w->childrenRect();
      r = QRect(w->pos(), QSize(std::max(inner.right() + 1, 0), std::max(inner.bottom() + 1, 0)));
    }
    kids |= r;
  }
  const QSize client = area->size();
  const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
  const int needW = kids.right() + 1, needH = kids.bottom() + 1;
  bool across = needW > client.width();
  const bool down = needH > client.height() - (across ? bar : 0);
  across = needW > client.width() - (down ? bar : 0);
  canvas->resize(std::max(needW, client.width() - (down ? bar : 0)), std::max(needH, client.height() - (across ? bar : 0)));
}

void TopWindow::closeEvent(QCloseEvent* e) {
  e->ignore();  // the window decides in its WM_CLOSE handler
  input::Close(m_hwnd);
}

void TopWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Place();
  Moved(true);
  if (g_qt != nullptr) g_qt->ScheduleKeepClear(Find(m_hwnd), false);
  // A window manager keeps a window at least as large as its minimum size; without one, a window
  // the server made smaller is given that size back.
  const QSize least = minimumSize();
  if ((width() < least.width() || height() < least.height()) && !isMinimized())
    QTimer::singleShot(0, this, [this] {
      if (!isMinimized()) resize(size().expandedTo(minimumSize()));
    });
}

void TopWindow::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  Moved(false);
  if (g_qt != nullptr) g_qt->ScheduleKeepClear(Find(m_hwnd), false);
}

void TopWindow::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::ActivationChange) {
    WndState* s = Find(m_hwnd);
    if (s != nullptr && s->native == this && isActiveWindow() && g_qt != nullptr) g_qt->Activated(s);
    return;
  }
  if (e->type() != QEvent::WindowStateChange) return;
  WndState* s = Find(m_hwnd);
  if (s == nullptr || g_syncing > 0) return;
  s->maximized = isMaximized();
  s->minimized = isMinimized();
}

// The user (or the window manager) moved or resized the window: the state follows, and WM_SIZE
// lets the window lay out its children itself. A move takes only the new place: when the size
// changed too (maximised, restored), the widget already has the new size as its move event comes,
// and the resize event that follows must still find the old size to send WM_SIZE.
void TopWindow::Moved(bool resized) {
  WndState* s = Find(m_hwnd);
  if (s == nullptr || s->native != this) return;
  QRect g = geometry();
  if (!resized) g.setSize(QSize(s->Width(), s->Height()));
  bool sized = s->Width() != g.width() || s->Height() != g.height();
  s->rect = RECT{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
  if (sized) {
    UINT how = isMaximized() ? SIZE_MAXIMIZED : isMinimized() ? SIZE_MINIMIZED : SIZE_RESTORED;
    Send(m_hwnd, WM_SIZE, how, MAKELPARAM(g.width(), g.height() - s->clientTop));
  }
}

void QtBackend::Created(WndState* s) {
  if (s->native != nullptr || !s->IsChild()) return;  // top-level windows are built when first shown
  WndState* top = TopLevelOf(s);
  if (top == nullptr || top->native == nullptr) return;
  Build(s);
  ScheduleFit(top);
}

void QtBackend::Destroyed(WndState* s) {
  auto* w = static_cast<QWidget*>(s->native);
  if (w == nullptr) return;
  s->native = nullptr;
  Forget(w);
  m_fit.erase(s->hwnd);
  w->hide();
  // The widget may be sending the signal that destroyed its window: it goes when no handler and
  // no wait of ours is left on the stack (Reap).
  m_dead.emplace_back(w);
}

void QtBackend::Changed(WndState* s) {
  if (s->native == nullptr) {
    if (!s->IsChild() && s->Visible()) Realize(s);
    return;
  }
  Sync(s);
}

SIZE QtBackend::ScreenSize() {
  QScreen* sc = QGuiApplication::primaryScreen();
  QRect r = sc != nullptr ? sc->availableGeometry() : QRect(0, 0, 1280, 1024);
  return SIZE{r.width(), r.height()};
}

// The widget children of a window go into: a top-level window's canvas, or the panel itself.
QWidget* QtBackend::HostOf(WndState* s) {
  auto* w = static_cast<QWidget*>(s->native);
  if (auto* top = dynamic_cast<TopWindow*>(w)) return top->canvas;
  return w;
}

// What a window manager offers in a window's title bar follows the window's style, as the
// standard hints tell it: a close box with the system menu, minimise and maximise only where the
// style asks for them (a manager may still offer minimise on a dialog: an owned window goes and
// comes back with its owner). An owned window is transient for its owner; one without an owner is
// transient for no window (Qt would name its client leader for a dialog), whatever its type
// (qt_tool_windows.cpp).
Qt::WindowFlags QtBackend::FrameFlags(const WndState* s) {
  const bool minimise = (s->style & WS_MINIMIZEBOX) != 0, maximise = (s->style & WS_MAXIMIZEBOX) != 0;
  Qt::WindowFlags f = (s->owner != nullptr ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (s->style & WS_SYSMENU) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (minimise) f |= Qt::WindowMinimizeButtonHint;
  if (maximise) f |= Qt::WindowMaximizeButtonHint;
  return f;
}

void QtBackend::Realize(WndState* s) {
  auto* win = new TopWindow(s->hwnd, FrameFlags(s));
  s->native = win;
  if (auto* frame = dynamic_cast<CFrameWnd*>(s->object); frame != nullptr && frame->Menu() != nullptr) {
    win->menu = new QMenuBar(win);
    BuildMenu(win->menu, *frame->Menu(), s->hwnd);
    win->menuHeight = s->clientTop;
  }
  if (!(s->style & WS_THICKFRAME) && dynamic_cast<CFrameWnd*>(s->object) == nullptr)
    win->setFixedSize(std::max(s->Width(), 1), std::max(s->Height(), 1));
  ForEachDescendant(s, [this](WndState* c) { Build(c); });
  if (s->style & WS_THICKFRAME) {
    // The smallest size the window lets the user (and the window manager) give it.
    const HWND hwnd = s->hwnd;
    MINMAXINFO info;
    Send(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if ((s = Find(hwnd)) == nullptr || s->native != win) return;
    win->setMinimumSize(std::max<int>(info.ptMinTrackSize.x, 0), std::max<int>(info.ptMinTrackSize.y, 0));
  }
  Sync(s);
}

void QtBackend::SyncTop(WndState* s, TopWindow* win) {
  HWND hwnd = s->hwnd;
  win->setWindowTitle(Q(s->text));
  if (s->icon != nullptr) win->setWindowIcon(IconOf(s->icon));
  Colours c = AskColours(s);
  if ((s = Find(hwnd)) == nullptr) return;
  ApplyColours(win, c, QPalette::Window);
  ResyncChildColours(s);
  if ((s = Find(hwnd)) == nullptr) return;
  win->menuHeight = win->menu != nullptr ? s->clientTop : 0;
  win->setEnabled(s->Enabled());
  if (s->Visible()) {
    Qt::WindowStates want = s->minimized ? Qt::WindowMinimized : s->maximized ? Qt::WindowMaximized : Qt::WindowNoState;
    QRect g(s->rect.left, s->rect.top, std::max(s->Width(), 1), std::max(s->Height(), 1));
    // A window manager maximises a window that asks for it, with its title bar (a window that
    // asked for the whole screen itself would be taken for a full-screen one). Where none runs, a
    // maximised window covers the work area all the same, and goes back to where it was when
    // restored.
    const bool isMax = (win->windowState() & Qt::WindowMaximized) != 0;
    if (s->maximized && !isMax) {
      win->normal = g;
      xcb_connection_t* c = XConnection();
      if (QScreen* sc = win->screen(); sc != nullptr && (c == nullptr || !WindowManagerRuns(c))) g = sc->availableGeometry();
    } else if (!s->maximized && !s->minimized && isMax && win->normal.isValid()) {
      g = win->normal;
    }
    // A maximised window leaves that state before it takes its new place: resizing it first
    // would only drop Qt's record of the state, and the platform's late report of it would
    // maximise the window again.
    if (isMax && !s->maximized && win->isVisible()) win->setWindowState(want);
    if ((!s->minimized && (!s->maximized || !isMax)) && win->geometry() != g) {
      if (win->minimumSize() == win->maximumSize()) win->setFixedSize(g.size());
      win->setGeometry(g);
    }
    if (!win->isVisible()) {
      if (WaitForOwner(s)) return;
      win->setWindowState(want);
      win->Place();
      SetOwner(s, win);
      if ((s = Find(hwnd)) == nullptr) return;
      // A window shown without activation (a second wait dialog) leaves the keyboard where it is.
      const bool activate = !s->showInactive;
      // Qt tells the window manager not to give it the keyboard (a user time of 0, EWMH). The
      // widget's attribute reaches Qt's window only when that is made, and a window made earlier
      // (the owner of another) is told through the window's own property.
      win->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
      if (QWindow* handle = win->windowHandle()) handle->setProperty("_q_showWithoutActivating", !activate);
      win->show();
      TellOwnedWindows(s);
      ShowWaitingOwned(s);
      ScheduleKeepClear(s, true);
      if (!activate) {
        KeepActivationWhereItIs(s);
        return;
      }
      if (QGuiApplication::platformName() != "offscreen") win->raise();
      RaiseOwned(s);
      AskActive(win);
      m_activated = nullptr;  // a window shown now is the program's newest choice
      // The control that has the focus in this window gets Qt's focus too.
      WndState* f = Find(FocusWindow());
      if (f != nullptr && f->native != nullptr && TopLevelOf(f) == s) FocusWidget(f);
    } else if ((win->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != want) {
      // A window manager minimises an owned window together with its owner. One that the program
      // minimises (the status window the user closed) goes alone: it drops its owner hint while
      // it is minimised and gives it again when it is restored.
      const bool wasMinimized = (win->windowState() & Qt::WindowMinimized) != 0;
      if (s->minimized && !wasMinimized) OwnerHint(s, win, false);
      win->setWindowState(want);
      if (!s->minimized && wasMinimized) OwnerHint(s, win, true);
    }
  } else if (win->isVisible()) {
    win->hide();
  }
}

// A window owned by one that is not on the screen yet (the New view's status window, shown while
// the main window is being made) waits for it where a window manager runs: its owner hint would
// name a window the manager does not manage yet (ICCCM), and, mapped first, it would be the one
// the manager gives the keyboard to. True when it waits.
bool QtBackend::WaitForOwner(WndState* s) {
  WndState* o = Find(s->owner);
  auto* ownerWidget = o != nullptr ? static_cast<QWidget*>(o->native) : nullptr;
  xcb_connection_t* c = XConnection();
  if (o == nullptr || (ownerWidget != nullptr && ownerWidget->isVisible()) || c == nullptr || !WindowManagerRuns(c))
    return false;
  m_waitingForOwner.insert(s->hwnd);
  return true;
}

// The owner is shown: the windows that waited for it come up after it, without taking the keyboard
// it is about to get (a manager focuses no window whose user time is 0, EWMH).
void QtBackend::ShowWaitingOwned(WndState* owner) {
  std::vector<HWND> waiting;
  for (HWND h : m_waitingForOwner)
    if (WndState* w = Find(h); w == nullptr || w->owner == owner->hwnd) waiting.push_back(h);
  for (HWND h : waiting) {
    m_waitingForOwner.erase(h);
    WndState* w = Find(h);
    if (w == nullptr || w->native == nullptr || !w->Visible()) continue;
    w->showInactive = true;
    Sync(w);
    if ((w = Find(h)) != nullptr) w->showInactive = false;
  }
}

void QtBackend::FocusWidget(WndState* s) {
  auto* w = static_cast<QWidget*>(s->native);
  if (w == nullptr || !w->isVisibleTo(w->window())) return;
  if (!w->hasFocus()) w->setFocus(Qt::TabFocusReason);
  if (m_focused == s->hwnd) return;
  // The focus came here from the keyboard or the program: as the dialog manager does, an edit
  // has its text selected, so typing replaces it.
  m_focused = s->hwnd;
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
}

// The canvas of a top-level window is fitted to its children once the loop runs again.
void QtBackend::ScheduleFit(WndState* top) {
  if (top == nullptr || top->native == nullptr || !m_fit.insert(top->hwnd).second) return;
  if (m_fit.size() == 1)
    QTimer::singleShot(0, this, [this] {
      std::set<HWND> tops;
      tops.swap(m_fit);
      for (HWND h : tops)
        if (WndState* s = Find(h); s != nullptr && s->native != nullptr) static_cast<TopWindow*>(s->native)->Fit();
    });
}

void QtBackend::Forget(QWidget* w) {
  // Signals of a widget on its way out are no longer the user's input.
  w->setProperty(kHwndProperty, QVariant());
  for (QObject* c : w->findChildren<QObject*>()) c->setProperty(kHwndProperty, QVariant());
}

// Frees the widgets of destroyed windows once nothing that may still use them is running: no
// window handler and no event processing of ours further up the stack.
void QtBackend::Reap() {
  if (m_depth > 0 || HandlerRunning() || m_dead.empty()) return;
  std::vector<QPointer<QWidget>> dead;
  dead.swap(m_dead);
  for (QPointer<QWidget>& w : dead)
    if (!w.isNull()) delete w.data();  // a window's children go with it
}

}  // namespace qav::ui::qt

namespace qav::ui {

bool SaveWindowPng(HWND hwnd, const std::string& file) {
  WndState* s = Find(hwnd);
  if (qt::g_qt == nullptr || s == nullptr || s->native == nullptr) return false;
  auto* w = static_cast<QWidget*>(s->native);
  QCoreApplication::processEvents();
  return w->grab().save(QString::fromStdString(file), "PNG");
}

void* NativeWidget(HWND hwnd) {
  WndState* s = Find(hwnd);
  if (qt::g_qt == nullptr || s == nullptr) return nullptr;
  QWidget* w = static_cast<QWidget*>(s->native);
  if (auto* top = dynamic_cast<qt::TopWindow*>(w)) return top;
  return w;
}

}  // namespace qav::ui
