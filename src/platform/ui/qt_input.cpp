// Input in the Qt backend: one event filter on the whole application sees every key, click,
// focus change and mouse move first. Keys that windows act on (Enter, Escape, Tab, arrows in
// radio groups, spin controls and lists, Ctrl+Tab, Alt and a mnemonic, Delete, F1) and clicks
// on lists go through the window system as the calls of input.h; the rest is left to Qt.
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

bool IsPopup(const QObject* o) {
  auto* w = qobject_cast<const QWidget*>(o);
  return w != nullptr && (w->window()->windowType() == Qt::Popup || qobject_cast<const QMenu*>(w->window()) != nullptr);
}

bool QtBackend::eventFilter(QObject* o, QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress: return !IsPopup(o) && Key(o, static_cast<QKeyEvent*>(e));
    case QEvent::FocusIn: {
      HWND h = HwndOf(o);
      if (h != nullptr && h != FocusWindow() && !IsPopup(o) && g_syncing == 0) {
        m_focused = h;  // a click keeps the caret where it went
        input::Focus(h);
      }
      return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      m_activated = m_asked = nullptr;  // where the user clicks is the user's choice
      return !IsPopup(o) && Mouse(o, static_cast<QMouseEvent*>(e));
    case QEvent::Enter:
    case QEvent::MouseMove: {
      HWND h = OwnHwnd(o);
      auto* w = qobject_cast<QWidget*>(o);
      if (h != nullptr && w != nullptr && !w->isWindow()) {
        QPoint p = w->mapFromGlobal(QCursor::pos());
        input::MouseMove(h, p.x(), p.y());
      }
      return false;
    }
    case QEvent::WindowActivate:
      if (auto* w = qobject_cast<QWidget*>(o); w != nullptr && w->isWindow()) {
        if (w == m_asked) m_asked = nullptr;
        KeepActivationAway(w);
        HoldActivation(w);
      }
      return false;
    case QEvent::WindowStateChange:
      if (auto* w = qobject_cast<QWidget*>(o); w != nullptr && w->isWindow() && g_syncing == 0)
        StateChanged(w, (static_cast<QWindowStateChangeEvent*>(e)->oldState() & Qt::WindowMinimized) != 0);
      return false;
    case QEvent::Leave:
      if (HWND h = OwnHwnd(o); h != nullptr && !static_cast<QWidget*>(o)->isWindow()) input::MouseLeave(h);
      return false;
    default: return false;
  }
}

// Keys that windows act on go through the window system first: Enter for the default button,
// Escape for Cancel, Tab in the template's order, arrows inside radio groups, the keys that move
// in lists, Ctrl+Tab between the pages of a sheet, and whatever a PreTranslateMessage wants.
bool QtBackend::Key(QObject* o, QKeyEvent* k) {
  HWND h = HwndOf(o);
  WndState* s = Find(h);
  if (s == nullptr) return false;
  const bool ctrl = (k->modifiers() & Qt::ControlModifier) != 0;
  const bool shift = (k->modifiers() & Qt::ShiftModifier) != 0;
  if (s->kind == Kind::ListBox && ListKey(h, static_cast<ListBoxState*>(s), k)) return true;
  switch (k->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if (ctrl) return SwitchPage(s, k->key() == Qt::Key_Backtab || shift);
      TabFrom(s, k->key() == Qt::Key_Backtab || shift);
      return true;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
      if (ctrl) return SwitchPage(s, k->key() == Qt::Key_PageUp);
      return false;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      bool wantsReturn = (s->kind == Kind::Edit || s->kind == Kind::RichEdit) && (s->style & ES_MULTILINE) &&
                         (s->style & ES_WANTRETURN);
      if (input::Key(h, VK_RETURN)) return true;
      return !wantsReturn;
    }
    case Qt::Key_Escape:
      input::Key(h, VK_ESCAPE);
      return true;
    case Qt::Key_Delete: return input::Key(h, VK_DELETE);
    case Qt::Key_F1: return input::Key(h, VK_F1);
    default:
      if ((k->modifiers() & Qt::AltModifier) && !ctrl && k->key() >= Qt::Key_0 && k->key() <= Qt::Key_Z)
        return MnemonicKey(s, QString(QChar(k->key())));
      // A letter typed on a push button goes to the window as a key (a message box answers it).
      if (!(k->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)) && s->kind == Kind::Button &&
          k->key() >= Qt::Key_A && k->key() <= Qt::Key_Z)
        return input::Key(h, static_cast<UINT>(k->key()));
      return false;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right: {
      bool back = k->key() == Qt::Key_Up || k->key() == Qt::Key_Left;
      if (s->kind == Kind::Radio) {
        StepRadio(s, back);
        return true;
      }
      if (s->kind == Kind::Spin && (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down)) {
        input::Spin(h, k->key() == Qt::Key_Up);
        return true;
      }
      // A single-line edit's Up and Down step the up-down control it is the buddy of, if any.
      if (s->kind == Kind::Edit && !(s->style & ES_MULTILINE) && (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down)) {
        input::Key(h, k->key() == Qt::Key_Up ? VK_UP : VK_DOWN);
        return true;
      }
      return false;
    }
  }
}

// Alt and a letter: the control whose text marks that letter with '&' acts as if clicked; a
// label or group box gives the focus to the control that follows it.
bool QtBackend::MnemonicKey(WndState* s, const QString& key) {
  WndState* top = TopLevelOf(s);
  if (top == nullptr) return false;
  const QChar want = key.at(0).toLower();
  std::vector<WndState*> order;
  ForEachDescendant(top, [&](WndState* c) { order.push_back(c); });
  for (size_t i = 0; i < order.size(); ++i) {
    WndState* c = order[i];
    if (!c->Visible() || !IsWindowVisible(c->hwnd) || !IsWindowEnabled(c->hwnd)) continue;
    if (c->kind == Kind::Static && (c->style & SS_NOPREFIX)) continue;
    const std::string& t = c->text;
    bool hit = false;
    for (size_t k = 0; k + 1 < t.size() && !hit; ++k) {
      if (t[k] != '&') continue;
      if (t[k + 1] == '&') {
        ++k;
        continue;
      }
      hit = Q(std::string(1, t[k + 1])).at(0).toLower() == want;
    }
    if (!hit) continue;
    if (c->kind == Kind::Button || c->kind == Kind::CheckBox || c->kind == Kind::Radio) {
      input::Click(c->hwnd);
      return true;
    }
    if (c->kind != Kind::Static && c->kind != Kind::GroupBox) {
      input::Focus(c->hwnd);
      return true;
    }
    for (size_t j = i + 1; j < order.size(); ++j) {
      WndState* n = order[j];
      if (n->kind == Kind::Static || n->kind == Kind::GroupBox || n->kind == Kind::Dialog || n->kind == Kind::Generic) continue;
      input::Focus(n->hwnd);
      return true;
    }
    return true;
  }
  return false;
}

// Tab and Shift+Tab: the next tab stop of the top-level window, in template order.
void QtBackend::TabFrom(WndState* s, bool back) {
  WndState* top = TopLevelOf(s);
  if (top == nullptr) return;
  if (HWND next = NextTabStop(top->hwnd, s->hwnd, back)) input::Focus(next);
}

// Arrow keys in a radio group move to the next button and check it, as a click does.
void QtBackend::StepRadio(WndState* s, bool back) {
  std::vector<WndState*> group;
  for (WndState* r : RadioGroupOf(s))
    if (r->Visible() && r->Enabled()) group.push_back(r);
  auto it = std::find(group.begin(), group.end(), s);
  if (it == group.end() || group.size() < 2) return;
  size_t i = static_cast<size_t>(it - group.begin());
  i = back ? (i + group.size() - 1) % group.size() : (i + 1) % group.size();
  input::Click(group[i]->hwnd);
}

bool QtBackend::Mouse(QObject* o, QMouseEvent* m) {
  HWND h = HwndOf(o);
  WndState* s = Find(h);
  auto* w = qobject_cast<QWidget*>(o);
  if (s == nullptr || w == nullptr) return false;
  if (s->kind == Kind::ListBox) {
    auto* v = static_cast<ListWidget*>(s->native);
    if (v == nullptr || o != v->viewport()) return false;  // the scroll bars work as usual
    return ListMouse(h, v, m);
  }
  if (m->button() == Qt::RightButton && m->type() == QEvent::MouseButtonPress) {
    QWidget* own = static_cast<QWidget*>(s->native);
    if (own == nullptr) return false;
    QPoint p = own->mapFromGlobal(m->globalPosition().toPoint());
    if (auto* top = dynamic_cast<TopWindow*>(own)) p = top->canvas->mapFromGlobal(m->globalPosition().toPoint());
    input::RightClick(h, p.x(), p.y());
    return true;
  }
  return false;
}

}  // namespace qav::ui::qt
