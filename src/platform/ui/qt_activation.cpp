// Activation and stacking of the Qt backend's top-level windows, with and without a window
// manager: a window brought to the front or made active, the windows it owns kept above it, the
// owner hint (transient-for) given and given again, the activation a window manager hands to
// another window taken back, the focus set at the server's time, a click on a disabled window
// handed to the modal window over it, and what the X server says of the window manager and its
// stacking.
#include <QApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/ui/loop_internal.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

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

}  // namespace qav::ui::qt
