// Window types and tool windows in the Qt backend.
// - Every window tells the window manager its type in the standard way: a dialog, a sheet, a
//   message box, a wait dialog and the choosers are dialogs and nothing else (a manager takes the
//   first type it knows, and frames a dialog with its title bar); a modal one is marked modal.
//   Whether such a window offers minimise is the manager's call: owned by the window it was opened
//   over, it goes and comes back with it.
// - A window owned by another whose style asks for a minimise box of its own (the New view's
//   status window) lives beside its owner while the user works there: it is a utility window of
//   its owner, which managers frame and let the user move, and which goes and comes with its
//   owner (a manager that offers minimise on it, openbox, minimises the owner with it). The
//   program minimises and restores it itself (as a normal window without the owner hint while it
//   is minimised, see ToolWindowType), and then it goes alone.
// - It goes where it covers none of its owner's controls (nor its menu bar), as near as can be to
//   the place asked, when it is shown and whenever its owner is shown, moved or resized. Where no
//   such place is on the screen it stays where it was asked to be. Without a window manager it
//   cannot be moved, and it is placed again whenever it moves; under one the user may move it,
//   and it stays where the user put it until its owner moves or changes its size.
#include <QApplication>
#include <QDialog>
#include <QWindow>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

namespace {

constexpr int kGap = 4;  // pixels kept between the window and a control

bool IsToolWindow(const WndState* s) { return s->owner != nullptr && (s->style & WS_MINIMIZEBOX) != 0; }

// A window of a dialog's kind: a dialog, a sheet, a box, or any window owned by another that
// offers no minimise box (see FrameFlags).
bool DialogKind(const WndState* s) {
  return (s->style & WS_MINIMIZEBOX) == 0 && (s->owner != nullptr || s->kind == Kind::Dialog);
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
  const xcb_atom_t a = r != nullptr ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return a;
}

// Whether a window manager places the windows: an X server with one. Qt's offscreen platform has
// none.
bool WindowManagerPlaces() {
  if (QGuiApplication::platformName() != "xcb") return false;
  xcb_connection_t* c = XConnection();
  return c == nullptr || WindowManagerRuns(c);
}

// Whether the program places its windows itself: on X (where a window manager honours the place a
// window asks for) and offscreen; other platforms place windows their own way.
bool ProgramPlaces() {
  const QString platform = QGuiApplication::platformName();
  return platform == "xcb" || platform == "offscreen";
}

// The place nearest `at` (a rectangle of the window's size) inside `screen` that meets none of
// `taken`; `at` itself when it is free, and an empty rectangle when there is none. The candidates
// are the places beside and below each control and at the screen's edges, so the nearest free
// place is among them.
QRect NearestFreePlace(const QRect& at, const QRect& screen, const std::vector<QRect>& taken) {
  auto free = [&](const QRect& r) {
    if (!screen.contains(r)) return false;
    for (const QRect& t : taken)
      if (t.intersects(r)) return false;
    return true;
  };
  if (free(at)) return at;
  std::vector<int> xs = {at.x(), screen.left(), screen.right() + 1 - at.width()};
  std::vector<int> ys = {at.y(), screen.top(), screen.bottom() + 1 - at.height()};
  for (const QRect& t : taken) {
    xs.push_back(t.right() + 1 + kGap);
    xs.push_back(t.left() - kGap - at.width());
    ys.push_back(t.bottom() + 1 + kGap);
    ys.push_back(t.top() - kGap - at.height());
  }
  QRect best;
  long long nearest = std::numeric_limits<long long>::max();
  for (int x : xs)
    for (int y : ys) {
      const long long dx = x - at.x(), dy = y - at.y(), d = dx * dx + dy * dy;
      if (d >= nearest) continue;
      const QRect r(QPoint(x, y), at.size());
      if (!free(r)) continue;
      best = r;
      nearest = d;
    }
  return best;
}

// Whether the X server shows the window now (Qt learns of a change a moment later); without X,
// whether Qt does.
bool OnScreen(QWidget* w) {
  xcb_connection_t* c = XConnection();
  if (c == nullptr || w->internalWinId() == 0) return w->isVisible() && !w->isMinimized();
  xcb_get_window_attributes_reply_t* a =
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, static_cast<xcb_window_t>(w->internalWinId())), nullptr);
  const bool shown = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(a);
  return shown;
}

// Tells the window manager the window's one type (before the window is shown, or anew).
void SetWindowType(QWidget* win, const char* name) {
  xcb_connection_t* c = XConnection();
  if (c == nullptr) return;
  const xcb_atom_t type = Atom(c, "_NET_WM_WINDOW_TYPE"), one = Atom(c, name);
  if (type == XCB_ATOM_NONE || one == XCB_ATOM_NONE) return;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(win->winId()), type, XCB_ATOM_ATOM, 32, 1, &one);
  xcb_flush(c);
}

}  // namespace

// A dialog is a dialog, always. A tool window is a utility window while it has its owner hint; while
// the program keeps it minimised it is a normal window without the hint (OwnerHint), which a
// manager minimises alone, and it reads the type anew with the hint.
void QtBackend::ToolWindowType(WndState* s, TopWindow* win, bool tool) {
  if (DialogKind(s)) SetWindowType(win, "_NET_WM_WINDOW_TYPE_DIALOG");
  else if (IsToolWindow(s)) SetWindowType(win, tool ? "_NET_WM_WINDOW_TYPE_UTILITY" : "_NET_WM_WINDOW_TYPE_NORMAL");
}

void QtBackend::DialogType(QWidget* win) { SetWindowType(win, "_NET_WM_WINDOW_TYPE_DIALOG"); }

// A modal window says so before it is shown; Qt keeps the states it finds on a window it maps.
void QtBackend::ModalState(QWidget* win) {
  xcb_connection_t* c = XConnection();
  if (c == nullptr) return;
  const auto window = static_cast<xcb_window_t>(win->winId());
  const xcb_atom_t state = Atom(c, "_NET_WM_STATE"), modal = Atom(c, "_NET_WM_STATE_MODAL");
  if (state == XCB_ATOM_NONE || modal == XCB_ATOM_NONE) return;
  xcb_get_property_reply_t* p = xcb_get_property_reply(c, xcb_get_property(c, 0, window, state, XCB_ATOM_ATOM, 0, 64), nullptr);
  const auto* atoms = p != nullptr ? static_cast<const xcb_atom_t*>(xcb_get_property_value(p)) : nullptr;
  const int count = p != nullptr ? xcb_get_property_value_length(p) / 4 : 0;
  const bool marked = std::find(atoms, atoms + count, modal) != atoms + count;
  std::free(p);
  if (marked) return;
  xcb_change_property(c, XCB_PROP_MODE_APPEND, window, state, XCB_ATOM_ATOM, 32, 1, &modal);
  xcb_flush(c);
}

// A window the window manager minimised (a dialog, a chooser, a wait dialog: the program minimises
// none of them) comes back when it is to be active again. Qt may not have heard yet that the
// manager took it off the screen (with its owner): a window Qt shows that the server does not is
// mapped again, which asks the manager for it (ICCCM).
void QtBackend::Unminimise(QWidget* win) {
  if (win->isMinimized()) {
    win->setWindowState(win->windowState() & ~Qt::WindowMinimized);
  } else if (xcb_connection_t* c = XConnection(); c != nullptr && win->isVisible() && !OnScreen(win)) {
    xcb_map_window(c, static_cast<xcb_window_t>(win->winId()));
    xcb_flush(c);
  }
}

// A window the manager minimised or brought back (`w`: one of ours or a Qt dialog of our making).
// A dialog, chooser or wait dialog minimised alone would be out of reach (it has no taskbar entry
// of its own) and would leave the program stuck behind its disabled window: the window it belongs
// to goes with it, as some managers do of themselves. A window brought back (its taskbar entry,
// Alt+Tab, a click) brings back the dialogs that went with it, and one held disabled hands the
// activation to the window over it. Looked at once the window has taken its new state.
void QtBackend::StateChanged(QWidget* w, bool wasMinimized) {
  QTimer::singleShot(0, this, [this, w = QPointer<QWidget>(w), wasMinimized] {
    if (w.isNull() || w->windowHandle() == nullptr) return;
    auto dialogKind = [](QWidget* x) {
      WndState* s = Find(OwnHwnd(x));
      return s != nullptr ? s->native == x && DialogKind(s) : qobject_cast<QDialog*>(x) != nullptr;
    };
    if (w->isMinimized()) {
      // Only while the server still shows the owner and no longer the dialog: an owner minimised
      // first (its dialogs go with it) or brought back meanwhile stays as it is.
      QWindow* owner = w->windowHandle()->transientParent();
      for (QWidget* o : QApplication::topLevelWidgets()) {
        if (owner == nullptr || o->windowHandle() != owner || !dialogKind(w) || o->isMinimized() || !OnScreen(o) || OnScreen(w))
          continue;
        o->setWindowState(o->windowState() | Qt::WindowMinimized);
        // A manager that keeps the owner on the screen all the same (metacity, where the owner has
        // a modal window) has the dialog back instead.
        QTimer::singleShot(1000, this, [w, o = QPointer<QWidget>(o)] {
          if (w.isNull() || o.isNull() || !OnScreen(o) || OnScreen(w)) return;
          if (o->isMinimized()) o->setWindowState(o->windowState() & ~Qt::WindowMinimized);
          Unminimise(w);
        });
      }
      return;
    }
    if (!wasMinimized) return;
    for (QWidget* o : QApplication::topLevelWidgets())
      if (o->windowHandle() != nullptr && o->windowHandle()->transientParent() == w->windowHandle() && o->isVisible() && dialogKind(o))
        Unminimise(o);
    if (WndState* s = Find(OwnHwnd(w)); s != nullptr && s->native == w && !s->Enabled()) ActivateModalOver(s);
  });
}

// A window was shown, moved or resized: the tool windows it owns, or the tool window itself, are
// placed clear of the owner's controls once the loop runs again (the owner's form laid out). A
// tool window that the user moved under a window manager stays there.
void QtBackend::ScheduleKeepClear(WndState* s, bool shown) {
  if (s == nullptr || !ProgramPlaces() || (IsToolWindow(s) && !shown && WindowManagerPlaces())) return;
  const bool first = m_keepClear.empty();
  m_keepClear.insert(IsToolWindow(s) ? s->owner : s->hwnd);
  if (!first) return;
  QTimer::singleShot(0, this, [this] {
    std::set<HWND> owners;
    owners.swap(m_keepClear);
    for (HWND h : owners)
      if (WndState* o = Find(h)) KeepClear(o);
  });
}

void QtBackend::KeepClear(WndState* owner) {
  auto* ow = dynamic_cast<TopWindow*>(static_cast<QWidget*>(owner->native));
  if (ow == nullptr || !ow->isVisible() || ow->isMinimized() || ow->screen() == nullptr) return;
  std::vector<TopWindow*> tools;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* t = dynamic_cast<TopWindow*>(w);
    WndState* s = t != nullptr && t->isVisible() && !t->isMinimized() ? Find(OwnHwnd(t)) : nullptr;
    if (s != nullptr && s->native == t && s->owner == owner->hwnd && IsToolWindow(s)) tools.push_back(t);
  }
  if (tools.empty()) return;
  // What the user works with in the owner, as far as it is on the screen.
  const QRect shown(ow->area->viewport()->mapToGlobal(QPoint(0, 0)), ow->area->viewport()->size());
  std::vector<QRect> taken;
  if (ow->menu != nullptr) taken.emplace_back(ow->menu->mapToGlobal(QPoint(0, 0)), ow->menu->size());
  ForEachDescendant(owner, [&](WndState* c) {
    auto* w = static_cast<QWidget*>(c->native);
    if (w == nullptr || c->kind == Kind::Dialog || c->kind == Kind::Generic || !w->isVisibleTo(ow)) return;
    const QRect r = QRect(w->mapToGlobal(QPoint(0, 0)), w->size()) & shown;
    if (!r.isEmpty()) taken.push_back(r);
  });
  // The window's frame (a window manager's title bar and borders) counts as the window; a
  // top-level window moves by its frame. A window manager frames a window a moment after it is
  // shown: until then the window is placed again every 100 ms (for up to 3 s, as a window
  // manager may draw no frame at all).
  const QRect screen = ow->screen()->availableGeometry();
  bool framed = true;
  for (TopWindow* t : tools) {
    framed = framed && t->frameGeometry() != t->geometry();
    const QRect place = NearestFreePlace(t->frameGeometry(), screen, taken);
    if (!place.isEmpty() && place.topLeft() != t->pos()) t->move(place.topLeft());
  }
  int& waits = m_frameWaits[owner->hwnd];
  if (framed || !WindowManagerPlaces() || ++waits > 30) {
    m_frameWaits.erase(owner->hwnd);
    return;
  }
  QTimer::singleShot(100, this, [this, hwnd = owner->hwnd] {
    if (WndState* o = Find(hwnd)) KeepClear(o);
  });
}

}  // namespace qav::ui::qt
