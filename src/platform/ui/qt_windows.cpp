// Top-level windows in the Qt backend: frames and dialogs as TopWindow (a menu bar for frames, a
// scrolling client area), their creation when first shown, their place, state and order, the
// focus given to them (with and without a window manager), the file and folder choosers, and the
// PNG of a window.
#include <QApplication>
#include <QAbstractButton>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/choosers.h"
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

void QtBackend::Raise(WndState* s, bool activate) {
  auto* win = dynamic_cast<TopWindow*>(static_cast<QWidget*>(s->native));
  if (win == nullptr || !win->isVisible()) return;
  if (QGuiApplication::platformName() != "offscreen") win->raise();
  RaiseOwned(s);
  if (!activate) {
    KeepActivationWhereItIs(s);
    return;
  }
  AskActive(win);
  if (QGuiApplication::platformName() == "xcb") FocusWithoutWindowManager(win);
  m_activated = nullptr;
}

// Qt asks the display (the window manager, where one runs) and learns the answer from its events
// a moment later. Until then the window asked for is the one the program works in: a window that
// the display still shows active must not hand the activation on when it goes.
void QtBackend::AskActive(QWidget* win) {
  win->activateWindow();
  m_asked = win;
  m_askedAt.start();
}

// Windows owned by another stay above it: when a window comes to the front, the visible windows
// it owns follow it there. A window manager does it by the owner's hint (SetOwner); without one,
// nobody else would. Under one, only a window the manager still stacks below its owner is raised:
// a manager may take a window's own raise for a wish to be active (xfwm4 does), and the keyboard
// would leave the owner the user clicked.
void QtBackend::RaiseOwned(WndState* s) {
  if (QGuiApplication::platformName() == "offscreen") return;
  xcb_connection_t* c = XConnection();
  const bool managed = c != nullptr && WindowManagerRuns(c);
  const std::vector<xcb_window_t> order = managed ? ClientStacking(c) : std::vector<xcb_window_t>();
  auto place = [&](QWidget* w) {
    const auto it = std::find(order.begin(), order.end(), static_cast<xcb_window_t>(w->internalWinId()));
    return it != order.end() ? it - order.begin() : -1;
  };
  const HWND owner = s->hwnd;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* t = dynamic_cast<TopWindow*>(w);
    WndState* o = t != nullptr && t->isVisible() ? Find(OwnHwnd(t)) : nullptr;
    if (o == nullptr || o->owner != owner || o->native != t) continue;
    // A window the manager does not stack yet (it has not taken it on) is left to it.
    if (!managed || (s->native != nullptr && place(t) >= 0 && place(t) < place(static_cast<QWidget*>(s->native)))) t->raise();
    RaiseOwned(o);
  }
}

// An owned window tells the window manager its owner (the transient-for hint), which keeps it
// above the owner. The owner may not have been shown yet (a tool window shown while its frame is
// still being made): its Qt window is made now, to be shown later. Every window tells its type,
// and a modal one that it is modal.
void QtBackend::SetOwner(WndState* s, TopWindow* win) {
  win->winId();
  if (IsModalWindow(s->hwnd)) ModalState(win);
  WndState* o = Find(s->owner);
  if (o == nullptr) {
    ToolWindowType(s, win, true);
    return;
  }
  if (o->native == nullptr) Realize(o);
  if (Find(s->hwnd) != s || o->native == nullptr) return;
  auto* ownerWidget = static_cast<QWidget*>(o->native);
  ownerWidget->winId();
  win->windowHandle()->setTransientParent(ownerWidget->windowHandle());
  ToolWindowType(s, win, true);
}

// A window shown already tells the window manager its new owner at once; one not yet shown tells
// it when it is shown (SetOwner).
void QtBackend::OwnerChanged(WndState* s) {
  auto* win = dynamic_cast<TopWindow*>(static_cast<QWidget*>(s->native));
  if (win == nullptr || win->windowHandle() == nullptr) return;
  WndState* o = Find(s->owner);
  auto* ownerWidget = o != nullptr ? static_cast<QWidget*>(o->native) : nullptr;
  if (ownerWidget == nullptr) return;
  win->windowHandle()->setTransientParent(ownerWidget->windowHandle());
  if (win->isVisible()) OwnerHint(s, win, true);
}

void QtBackend::OwnQtDialog(QWidget* dialog, HWND owner) {
  dialog->winId();
  WndState* o = Find(owner);
  if (auto* ownerWidget = o != nullptr ? static_cast<QWidget*>(o->native) : nullptr) {
    ownerWidget->winId();
    dialog->windowHandle()->setTransientParent(ownerWidget->windowHandle());
  }
  DialogType(dialog);
}

void QtBackend::Activate(WndState* s) {
  auto* win = dynamic_cast<TopWindow*>(static_cast<QWidget*>(s->native));
  if (win == nullptr || !win->isVisible()) return;
  Unminimise(win);
  AskActive(win);
  if (QGuiApplication::platformName() == "xcb") FocusWithoutWindowManager(win);
  m_activated = win;
  m_activatedAt.start();
}

// When a modal window goes, the window manager chooses a window to activate as well (openbox: the
// status window, now and then), and its choice may come after the program's. Another window of
// ours that becomes active soon after the program activated one, without a click of the user's
// meanwhile, gives the activation back.
void QtBackend::HoldActivation(QWidget* activated) {
  if (m_activated.isNull() || activated == m_activated || m_activatedAt.elapsed() > 1500 ||
      dynamic_cast<TopWindow*>(activated) == nullptr)
    return;
  QTimer::singleShot(100, this, [this, other = QPointer<QWidget>(activated)] {
    QWidget* want = m_activated;
    if (want == nullptr || other.isNull() || QApplication::activeWindow() != other || !want->isVisible() ||
        !want->isEnabled())
      return;
    want->activateWindow();
    if (QGuiApplication::platformName() == "xcb") FocusWithoutWindowManager(want);
  });
}

// A window shown or brought forward without activation: a window manager may activate it all the
// same (one it restores, a new window over the active one), and the window that is active now
// takes the activation back if that happens soon (KeepActivationAway, from eventFilter).
void QtBackend::KeepActivationWhereItIs(WndState* s) {
  m_keepActive = QApplication::activeWindow();
  m_shownInactive = m_keepActive != nullptr && m_keepActive != s->native ? s->hwnd : nullptr;
  m_shownInactiveAt.start();
}

// A window shown without activation (Raise) that the window manager activated soon after gives
// the activation back to the window that had it.
void QtBackend::KeepActivationAway(QWidget* activated) {
  const HWND h = OwnHwnd(activated);
  if (h == nullptr || h != m_shownInactive) return;
  m_shownInactive = nullptr;
  if (m_shownInactiveAt.elapsed() > 2000 || m_keepActive.isNull() || !m_keepActive->isVisible()) return;
  m_keepActive->activateWindow();
  FocusWithoutWindowManager(m_keepActive);
}

// The program's and every other client's top-level windows from the bottom up, as the window
// manager stacks them; empty where it does not say.
std::vector<xcb_window_t> ClientStacking(xcb_connection_t* c) {
  std::vector<xcb_window_t> order;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  static const char kList[] = "_NET_CLIENT_LIST_STACKING";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kList - 1, kList), nullptr);
  if (screen != nullptr && atom != nullptr && atom->atom != XCB_ATOM_NONE) {
    if (xcb_get_property_reply_t* p =
            xcb_get_property_reply(c, xcb_get_property(c, 0, screen->root, atom->atom, XCB_ATOM_WINDOW, 0, 4096), nullptr)) {
      const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(p));
      order.assign(w, w + xcb_get_property_value_length(p) / 4);
      std::free(p);
    }
  }
  std::free(atom);
  return order;
}

// Qt's connection to the X server; null on other platforms.
xcb_connection_t* XConnection() {
  if (QGuiApplication::platformName() != "xcb") return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

// A window manager that complies with the extended hints names its check window on the root.
bool WindowManagerRuns(xcb_connection_t* c) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  if (screen == nullptr) return false;
  static const char kCheck[] = "_NET_SUPPORTING_WM_CHECK";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kCheck - 1, kCheck), nullptr);
  bool managed = false;
  if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
    xcb_get_property_reply_t* p =
        xcb_get_property_reply(c, xcb_get_property(c, 0, screen->root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    managed = p != nullptr && xcb_get_property_value_length(p) > 0;
    std::free(p);
  }
  std::free(atom);
  return managed;
}

// Qt learns that a window got the keyboard from the server's events, which may still be on their
// way when the program asks (a window shown a moment ago and destroyed now): the server's own
// answer counts as well.
bool QtBackend::Active(WndState* s) {
  auto* win = dynamic_cast<TopWindow*>(static_cast<QWidget*>(s->native));
  if (win == nullptr || !win->isVisible()) return false;
  if (!m_asked.isNull() && m_asked != win && m_asked->isVisible() && m_askedAt.elapsed() < kAskedAnswerMs) return false;
  if (win->isActiveWindow()) return true;
  xcb_connection_t* c = XConnection();
  if (c == nullptr || win->internalWinId() == 0) return false;
  xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  const bool has = focus != nullptr && focus->focus == static_cast<xcb_window_t>(win->internalWinId());
  std::free(focus);
  return has;
}

// Qt asks for the focus with the time of the last event it saw: directly without a window
// manager, and through the window manager with one. The server ignores a request older than the
// last change of the focus, which another client (the window manager itself, moving the focus to
// a window of ours when one went) may have made later. So the focus is also set at the server's
// current time: always without a window manager, and with one while the focus is on a window of
// the program already, so that no other program's window loses it.
void QtBackend::FocusWithoutWindowManager(QWidget* win) {
  xcb_connection_t* c = XConnection();
  if (c == nullptr) return;
  const auto target = static_cast<xcb_window_t>(win->winId());
  if (WindowManagerRuns(c)) {
    xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const xcb_window_t now = focus != nullptr ? focus->focus : XCB_NONE;
    std::free(focus);
    bool ours = false;
    for (QWidget* w : QApplication::topLevelWidgets()) ours = ours || (w->internalWinId() != 0 && static_cast<xcb_window_t>(w->internalWinId()) == now);
    xcb_get_window_attributes_reply_t* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, target), nullptr);
    const bool viewable = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    if (!ours || !viewable || now == target) return;
  }
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
  xcb_flush(c);
}

// The owner hint (transient-for) of an owned window, given again (`on`) or taken back. A window
// manager reads it anew each time it is given.
void QtBackend::OwnerHint(WndState* s, TopWindow* win, bool on) {
  xcb_connection_t* c = XConnection();
  WndState* o = Find(s->owner);
  if (c == nullptr || o == nullptr || o->native == nullptr || !WindowManagerRuns(c)) return;
  const auto window = static_cast<xcb_window_t>(win->winId());
  ToolWindowType(s, win, on);
  if (on) {
    const auto owner = static_cast<xcb_window_t>(static_cast<QWidget*>(o->native)->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &owner);
  } else {
    xcb_delete_property(c, window, XCB_ATOM_WM_TRANSIENT_FOR);
  }
  xcb_flush(c);
}

// A window manager takes the owner hint of a window only while it manages the owner: the hint of
// a window shown before its owner (the New view's status window, shown while the main window is
// being made) names a window it does not know yet, and the owned window would be stacked as any
// other, below the owner once the user clicks it. When the owner is shown, the hints of the
// windows it owns are given again, after the owner's map request, so the manager reads them anew.
void QtBackend::TellOwnedWindows(WndState* owner) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* t = dynamic_cast<TopWindow*>(w);
    WndState* o = t != nullptr && t->isVisible() ? Find(OwnHwnd(t)) : nullptr;
    // One the program keeps minimised goes without its hint (see SyncTop).
    if (o != nullptr && o->owner == owner->hwnd && o->native == t && !o->minimized) OwnerHint(o, t, true);
  }
}

// A window manager activates only a window it manages: the owner hints given when the window was
// shown may have reached it before it took the window on (openbox then stacks the owned windows
// as any other), so they are given again now, and the windows it owns come to the front with it.
void QtBackend::Activated(WndState* s) {
  if ((!s->Enabled() || QApplication::activeModalWidget() != nullptr) && ActivateModalOver(s)) return;
  TellOwnedWindows(s);
  RaiseOwned(s);
}

// A click on a window that a modal window disables activates it all the same (the window manager
// does, and Qt itself where there is none), as does its taskbar entry or Alt+Tab: the modal window
// (a file chooser, or the dialog or box of ours up over it, or a wait dialog) takes the activation
// back, so that the keyboard stays with it, and comes back first where the manager minimised it
// alone. A file chooser blocks every other window of the program, disabled or not.
bool QtBackend::ActivateModalOver(WndState* s) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) {
    WndState* up = Find(ModalWindowOver(s->hwnd));
    modal = up != nullptr ? static_cast<QWidget*>(up->native) : nullptr;
  }
  if (modal == nullptr || !modal->isVisible() || modal == s->native) return false;
  Unminimise(modal);
  if (QGuiApplication::platformName() != "offscreen") modal->raise();
  AskActive(modal);
  if (QGuiApplication::platformName() == "xcb") FocusWithoutWindowManager(modal);
  m_activated = nullptr;
  return true;
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
using qt::Cp;
using qt::Q;

namespace {

// The file chooser, which shows each chosen path to its caller before it ends: the caller may
// ask the user about it (over the chooser) and turn it down, and the chooser then stays up as
// the user left it.
class FileChooser : public QFileDialog {
 public:
  FileChooser(const QString& title, const std::function<bool(std::string&, void*)>& acceptable)
      : QFileDialog(nullptr, title), m_acceptable(acceptable) {}
  std::string chosen;

  void accept() override {
    const QStringList files = selectedFiles();
    // A folder is opened, not chosen; Qt does it.
    if (files.isEmpty() || QFileInfo(files.front()).isDir()) return QFileDialog::accept();
    std::string path = Cp(files.front());
    if (m_acceptable && !m_acceptable(path, this)) return;
    chosen = path;
    QFileDialog::accept();
  }

 private:
  const std::function<bool(std::string&, void*)>& m_acceptable;
};

}  // namespace

// The box is Qt's, over the chooser, with our buttons and default: the letters of "&Yes" and
// "&No" answer it alone, Return gives the default, and Escape the last button, which for a
// question is its "No" or "Cancel".
int QtBoxOver(void* parent, const MessageBoxRequest& req) {
  QMessageBox box(static_cast<QWidget*>(parent));
  box.setWindowTitle(Q(req.caption));
  box.setText(Q(req.text));
  switch (req.type & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  std::vector<std::pair<QAbstractButton*, int>> answers;
  const int def = DefaultMessageBoxAnswer(req.type);
  for (const BoxButton& b : MessageBoxButtons(req.type)) {
    if (b.id == IDHELP) continue;
    QPushButton* button = box.addButton(Q(b.text), QMessageBox::AcceptRole);
    answers.emplace_back(button, b.id);
    if (b.id == def) box.setDefaultButton(button);
  }
  box.setEscapeButton(answers.back().first);
  qt::QtBackend::DialogType(&box);
  box.exec();
  // The window under the box has the keyboard again, also where no window manager gives it back.
  auto* under = static_cast<QWidget*>(parent);
  under->activateWindow();
  if (QGuiApplication::platformName() == "xcb") qt::QtBackend::FocusWithoutWindowManager(under);
  for (const auto& [button, id] : answers)
    if (box.clickedButton() == button) return id;
  return answers.back().second;
}

// The choosers and boxes above are Qt's dialogs, each run by its own loop.
void qt::QtBackend::CloseOwnModals() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible()) dialog->reject();
}

bool QtChooseFile(const FileChooserRequest& req, std::string& path,
                  const std::function<bool(std::string& path, void* chooser)>& acceptable) {
  FileChooser fd(Q(req.title), acceptable);
  fd.setOption(QFileDialog::DontUseNativeDialog);
  fd.setAcceptMode(req.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  fd.setFileMode(req.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  fd.setOption(QFileDialog::DontConfirmOverwrite);  // asked by `acceptable`, over the chooser
  QStringList filters;
  for (const auto& [desc, pats] : req.filters) filters << Q(ChooserFilter(desc, pats));
  if (!filters.isEmpty()) fd.setNameFilters(filters);
  std::string initial = req.initialPath;
  std::replace(initial.begin(), initial.end(), '\\', '/');
  size_t slash = initial.find_last_of('/');
  if (slash != std::string::npos) {
    fd.setDirectory(Q(initial.substr(0, slash)));
    fd.selectFile(Q(initial.substr(slash + 1)));
  } else if (!initial.empty()) {
    fd.selectFile(Q(initial));
  }
  if (!req.defaultExt.empty()) fd.setDefaultSuffix(Q(req.defaultExt));
  qt::QtBackend::OwnQtDialog(&fd, req.owner);
  if (fd.exec() != QDialog::Accepted || fd.chosen.empty()) return false;
  path = fd.chosen;
  return true;
}

bool QtChooseFolder(const std::string& title, const std::string& start, HWND owner, std::string& path) {
  QFileDialog fd(nullptr, Q(title));
  fd.setOption(QFileDialog::DontUseNativeDialog);
  fd.setFileMode(QFileDialog::Directory);
  fd.setOption(QFileDialog::ShowDirsOnly);
  std::string dir = start;
  std::replace(dir.begin(), dir.end(), '\\', '/');
  if (!dir.empty()) fd.setDirectory(Q(dir));
  qt::QtBackend::OwnQtDialog(&fd, owner);
  if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
  path = Cp(fd.selectedFiles().front());
  return true;
}

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
