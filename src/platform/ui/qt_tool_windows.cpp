// Tool windows in the Qt backend: a window owned by another whose style asks for a minimise box
// of its own (the New view's status window) lives beside its owner while the user works there.
// - A window manager minimises an owned window together with its owner, and, without a panel,
//   nothing brings the two back; so the window is typed as a toolbar of its owner, which window
//   managers give no minimise button. The program still minimises and restores it itself (as a
//   dialog without the owner hint while it is minimised, see ToolWindowType), and it goes and
//   comes with its owner.
// - A window of a dialog's kind without a minimise box (a dialog, a box, a sheet, a wait dialog)
//   must not be minimised at all: minimised by a window manager, an owned window takes its owner
//   with it, and one without an owner the whole program. The window flags say so in the Motif
//   hints, which most window managers read; openbox keeps minimise (and maximise) for every
//   window but a toolbar or a menu, whatever those hints say. So such a window is typed as a
//   toolbar too, before its dialog type.
// - It goes where it covers none of its owner's controls (nor its menu bar), as near as can be to
//   the place asked, when it is shown and whenever its owner is shown, moved or resized. Where no
//   such place is on the screen it stays where it was asked to be. Without a window manager it
//   cannot be moved, and it is placed again whenever it moves; under one the user may move it,
//   and it stays where the user put it until its owner moves or changes its size.
#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

namespace {

constexpr int kGap = 4;  // pixels kept between the window and a control

bool IsToolWindow(const WndState* s) { return s->owner != nullptr && (s->style & WS_MINIMIZEBOX) != 0; }

// A window of a dialog's kind that offers no minimise box (see FrameFlags).
bool NeverMinimised(const WndState* s) {
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

// Tells the window manager the window's type: `first`, then `second` (or none) for managers
// that do not know the first.
void SetWindowTypes(QWidget* win, const char* first, const char* second) {
  xcb_connection_t* c = XConnection();
  if (c == nullptr) return;
  const xcb_atom_t type = Atom(c, "_NET_WM_WINDOW_TYPE");
  const xcb_atom_t types[2] = {Atom(c, first), second != nullptr ? Atom(c, second) : static_cast<xcb_atom_t>(XCB_ATOM_NONE)};
  if (type == XCB_ATOM_NONE || types[0] == XCB_ATOM_NONE) return;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(win->winId()), type, XCB_ATOM_ATOM, 32,
                      second != nullptr ? 2 : 1, types);
  xcb_flush(c);
}

}  // namespace

// A window manager that minimises only the windows it may minimise reads the type anew with the
// owner hint (OwnerHint): the program's own minimising shows the window as a dialog for as long as
// it is minimised, without its owner hint, so it goes alone. A window never minimised is a
// toolbar, then a dialog, always.
void QtBackend::ToolWindowType(WndState* s, TopWindow* win, bool tool) {
  const bool never = NeverMinimised(s);
  if (!(IsToolWindow(s) || never)) return;
  const bool toolbar = tool || never;
  SetWindowTypes(win, toolbar ? "_NET_WM_WINDOW_TYPE_TOOLBAR" : "_NET_WM_WINDOW_TYPE_DIALOG",
                 toolbar && !never ? nullptr : toolbar ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
}

void QtBackend::NeverMinimisedType(QWidget* win) {
  SetWindowTypes(win, "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_DIALOG");
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
