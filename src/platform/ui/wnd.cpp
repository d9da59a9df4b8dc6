// The window registry, message dispatch and CWnd.
#include "platform/ui/wnd.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/base/msgbox.h"
#include "platform/ui/backend.h"
#include "platform/ui/ddx.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {
namespace {

// Handles are numbers far from the small integers and the addresses that callers pass as
// message payloads, so a payload is never mistaken for a window.
constexpr uintptr_t kHandleBase = 0x0000100000000000ull;
constexpr uintptr_t kHandleStep = 16;
HWND const kDesktop = reinterpret_cast<HWND>(kHandleBase - kHandleStep);

struct Registry {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::unique_ptr<WndState>> windows;
  uintptr_t next = kHandleBase;
  // States of destroyed windows stay alive until no handler is running any more, because a
  // handler may destroy its own window.
  std::vector<std::unique_ptr<WndState>> graveyard;
};

Registry& Reg() {
  static Registry* r = new Registry;  // lives to the end of the process
  return *r;
}

int g_depth = 0;  // nesting of message handling on the user-interface thread
HWND g_focus = nullptr;
// The top-level window that becomes active once it is enabled again (see HandOnActivation).
HWND g_activateWhenEnabled = nullptr;
// The modal windows that are up, the newest last (see ModalHold).
std::vector<HWND> g_modal;

// Objects whose handlers are running. A window's object often deletes itself in PostNcDestroy
// (frames, views, modeless dialogs), and its window is often destroyed from inside one of its
// own handlers, which goes on using the object afterwards, as does the window system on its way
// back. So PostNcDestroy waits until the object has left its last handler.
struct InUse {
  int count = 0;
  bool pending = false;  // the window is gone; PostNcDestroy waits for the last handler
  unsigned long long serial = 0;  // tells a later object at the same address from this one
};
struct InUseTable {
  std::mutex lock;
  std::unordered_map<const CWnd*, InUse> objects;
  unsigned long long next = 1;
};
InUseTable& Busy() {
  static InUseTable* t = new InUseTable;  // lives to the end of the process
  return *t;
}

void FlushGraveyard() {
  if (g_depth > 0) return;
  std::vector<std::unique_ptr<WndState>> dead;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    dead.swap(Reg().graveyard);
  }
}

}  // namespace

ObjectInUse::ObjectInUse(CWnd* object) : m_object(object) {
  if (object == nullptr) return;
  std::lock_guard<std::mutex> g(Busy().lock);
  InUse& u = Busy().objects[object];
  if (u.count++ == 0) u.serial = Busy().next++;
  m_serial = u.serial;
}

ObjectInUse::~ObjectInUse() {
  if (m_object == nullptr) return;
  {
    std::lock_guard<std::mutex> g(Busy().lock);
    auto it = Busy().objects.find(m_object);
    // Gone already (deleted by other means) or another object at the same address.
    if (it == Busy().objects.end() || it->second.serial != m_serial) return;
    if (--it->second.count > 0) return;
    bool pending = it->second.pending;
    Busy().objects.erase(it);
    if (!pending) return;
  }
  m_object->PostNcDestroy();  // may delete the object
}

bool ObjectInUse::DestroyPending() const {
  if (m_object == nullptr) return false;
  std::lock_guard<std::mutex> g(Busy().lock);
  auto it = Busy().objects.find(m_object);
  return it != Busy().objects.end() && it->second.serial == m_serial && it->second.pending;
}

namespace {
// Runs PostNcDestroy now, or marks it to run when the object leaves its last handler.
void PostNcDestroyWhenIdle(CWnd* object) {
  {
    std::lock_guard<std::mutex> g(Busy().lock);
    auto it = Busy().objects.find(object);
    if (it != Busy().objects.end()) {
      it->second.pending = true;
      return;
    }
  }
  object->PostNcDestroy();  // may delete the object
}

void ForgetObject(const CWnd* object) {
  std::lock_guard<std::mutex> g(Busy().lock);
  Busy().objects.erase(object);
}
}  // namespace

const char* KindName(Kind k) {
  switch (k) {
    case Kind::Generic: return "Generic";
    case Kind::Dialog: return "Dialog";
    case Kind::Static: return "Static";
    case Kind::GroupBox: return "GroupBox";
    case Kind::Button: return "Button";
    case Kind::CheckBox: return "CheckBox";
    case Kind::Radio: return "Radio";
    case Kind::Edit: return "Edit";
    case Kind::ListBox: return "ListBox";
    case Kind::ComboBox: return "ComboBox";
    case Kind::Progress: return "Progress";
    case Kind::Spin: return "Spin";
    case Kind::Slider: return "Slider";
    case Kind::DateTime: return "DateTime";
    case Kind::RichEdit: return "RichEdit";
    case Kind::Tab: return "Tab";
  }
  return "?";
}

WndState::~WndState() {
  if (wrapper) wrapper->m_hWnd = nullptr;
}

WndState* NewWindow(Kind kind, HWND parent, int id, const std::string& text, DWORD style, const RECT& rect) {
  BindUiThread();
  std::unique_ptr<WndState> s;
  switch (kind) {
    case Kind::ListBox: s = std::make_unique<ListBoxState>(); break;
    case Kind::ComboBox: s = std::make_unique<ComboBoxState>(); break;
    case Kind::Button:
    case Kind::CheckBox:
    case Kind::Radio:
    case Kind::GroupBox: s = std::make_unique<ButtonState>(); break;
    case Kind::Edit: s = std::make_unique<EditState>(); break;
    case Kind::Progress:
    case Kind::Spin:
    case Kind::Slider: s = std::make_unique<RangeState>(); break;
    case Kind::DateTime: s = std::make_unique<DateTimeState>(); break;
    case Kind::RichEdit: s = std::make_unique<RichEditState>(); break;
    case Kind::Tab: s = std::make_unique<TabState>(); break;
    default: s = std::make_unique<WndState>(); break;
  }
  s->kind = kind;
  s->id = id;
  s->text = text;
  s->style = style;
  s->rect = rect;
  if (kind == Kind::Spin) {  // an up-down control's range runs from 100 down to 0 until set
    auto* r = static_cast<RangeState*>(s.get());
    r->lower = 100;
    r->upper = 0;
  }
  if (kind == Kind::Button) static_cast<ButtonState*>(s.get())->isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  if (kind == Kind::ListBox) static_cast<ListBoxState*>(s.get())->itemHeight = CurrentBackend().ListItemHeight(nullptr);
  WndState* raw = s.get();
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    raw->hwnd = reinterpret_cast<HWND>(Reg().next);
    Reg().next += kHandleStep;
    Reg().windows.emplace(reinterpret_cast<uintptr_t>(raw->hwnd), std::move(s));
  }
  if (parent != nullptr && (style & WS_CHILD) != 0) {
    raw->parent = parent;
    if (WndState* p = Find(parent)) p->children.push_back(raw->hwnd);
  } else {
    // An owner is a top-level window: a child named as the owner stands for its top-level window.
    WndState* owner = parent == kDesktop ? nullptr : Find(parent);
    if (owner != nullptr && owner->IsChild()) owner = TopLevelOf(owner);
    raw->owner = owner != nullptr ? owner->hwnd : nullptr;
  }
  return raw;
}

namespace {
WndState* FindLocked(HWND hwnd) {
  auto it = Reg().windows.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == Reg().windows.end() ? nullptr : it->second.get();
}

// Reads a window's state under the registry lock, so another thread never sees a record that the
// user-interface thread is freeing meanwhile; `read` gets null for a window that does not exist.
template <class F>
auto ReadState(HWND hwnd, F read) {
  std::lock_guard<std::mutex> g(Reg().lock);
  return read(hwnd != nullptr ? FindLocked(hwnd) : nullptr);
}
}  // namespace

WndState* Find(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  std::lock_guard<std::mutex> g(Reg().lock);
  return FindLocked(hwnd);
}

bool HandlerRunning() { return g_depth > 0; }

int WindowCount() {
  std::lock_guard<std::mutex> g(Reg().lock);
  return static_cast<int>(Reg().windows.size());
}

CWnd* MakeWrapper(Kind kind);  // controls.cpp

CWnd* ObjectOf(WndState* s) {
  if (s == nullptr) return nullptr;
  if (s->object != nullptr) return s->object;
  if (!s->wrapper) {
    s->wrapper.reset(MakeWrapper(s->kind));
    s->wrapper->m_hWnd = s->hwnd;
  }
  return s->wrapper.get();
}

void WindowComplete(WndState* s) { CurrentBackend().Created(s); }

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WndState* s = Find(hwnd);
  if (s == nullptr) return 0;
  ++g_depth;
  LRESULT r = 0;
  if (CWnd* object = s->object) {
    ObjectInUse use(object);
    r = object->WindowProc(msg, wParam, lParam);
  } else {
    r = s->DefProc(msg, wParam, lParam);
  }
  --g_depth;
  FlushGraveyard();
  return r;
}

void NotifyParent(WndState* s, WORD code) {
  if (s->parent == nullptr) return;
  Send(s->parent, WM_COMMAND, MAKEWPARAM(s->id, code), reinterpret_cast<LPARAM>(s->hwnd));
}

LRESULT NotifyParent(WndState* s, NMHDR* hdr) {
  if (s->parent == nullptr) return 0;
  hdr->hwndFrom = s->hwnd;
  hdr->idFrom = static_cast<UINT_PTR>(s->id);
  return Send(s->parent, WM_NOTIFY, static_cast<WPARAM>(s->id), reinterpret_cast<LPARAM>(hdr));
}

void Changed(WndState* s) {
  if (s != nullptr) CurrentBackend().Changed(s);
}

WndState* TopLevelOf(WndState* s) {
  while (s != nullptr && s->IsChild()) {
    WndState* p = Find(s->parent);
    if (p == nullptr) break;
    s = p;
  }
  return s;
}

std::vector<WndState*> RadioGroupOf(WndState* s) {
  std::vector<WndState*> group;
  WndState* p = Find(s->parent);
  if (p == nullptr) return {s};
  std::vector<WndState*> kids;
  for (HWND h : p->children)
    if (WndState* c = Find(h)) kids.push_back(c);
  auto me = std::find(kids.begin(), kids.end(), s);
  if (me == kids.end()) return {s};
  auto first = me;
  while (first != kids.begin() && ((*first)->style & WS_GROUP) == 0) --first;
  for (auto it = first; it != kids.end(); ++it) {
    if (it != first && ((*it)->style & WS_GROUP) != 0) break;
    if ((*it)->kind == Kind::Radio) group.push_back(*it);
  }
  return group;
}

namespace {
bool ShownAndEnabled(WndState* s) {
  for (WndState* p = s; p != nullptr; p = p->IsChild() ? Find(p->parent) : nullptr) {
    if (p->IsChild() && (!p->Visible() || !p->Enabled())) return false;
    if (!p->IsChild()) break;
  }
  return true;
}

bool IsTabStop(WndState* c) {
  if (!ShownAndEnabled(c)) return false;
  if (c->kind == Kind::Radio) {
    // The group's checked button, or its first usable one when none is checked.
    WndState* first = nullptr;
    for (WndState* r : RadioGroupOf(c)) {
      if (!ShownAndEnabled(r)) continue;
      if (static_cast<ButtonState*>(r)->check == BST_CHECKED) return r == c;
      if (first == nullptr) first = r;
    }
    return first == c;
  }
  return (c->style & WS_TABSTOP) != 0;
}
}  // namespace

HWND NextTabStop(HWND top, HWND from, bool back) {
  WndState* t = Find(top);
  if (t == nullptr) return nullptr;
  std::vector<WndState*> order;
  ForEachDescendant(t, [&](WndState* c) {
    if (c->kind != Kind::Dialog && c->kind != Kind::Generic) order.push_back(c);
  });
  const int n = static_cast<int>(order.size());
  if (n == 0) return nullptr;
  int at = -1;
  for (int i = 0; i < n; ++i)
    if (order[static_cast<size_t>(i)]->hwnd == from) at = i;
  if (at < 0) at = back ? 0 : n - 1;  // from outside: the first stop (the last going back)
  for (int k = 1; k <= n; ++k) {
    int i = back ? (at - k + 2 * n) % n : (at + k) % n;
    if (IsTabStop(order[static_cast<size_t>(i)])) return order[static_cast<size_t>(i)]->hwnd;
  }
  return nullptr;
}

RECT DialogUnitsToPixels(const RECT& d, BaseUnits u) {
  RECT r;
  r.left = d.left * u.cx / 4;
  r.top = d.top * u.cy / 8;
  r.right = d.right * u.cx / 4;
  r.bottom = d.bottom * u.cy / 8;
  return r;
}

namespace {
HBRUSH DefaultCtlBrush(UINT msg) {
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) return GetSysColorBrush(COLOR_WINDOW);
  return GetSysColorBrush(COLOR_3DFACE);
}
}  // namespace

LRESULT WndState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT:
      text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      Changed(this);
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      size_t n = std::min<size_t>(text.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text.size());
    case WM_SETFONT:
      font = reinterpret_cast<HFONT>(wParam);
      if (kind == Kind::ListBox) static_cast<ListBoxState*>(this)->itemHeight = CurrentBackend().ListItemHeight(font);
      if (lParam != 0) Changed(this);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font);
    case WM_SETICON: {
      HICON old = icon;
      icon = reinterpret_cast<HICON>(lParam);
      Changed(this);
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_SETICON: {  // a static's picture; the answer is the one it had
      if (kind != Kind::Static) return 0;
      HICON old = icon;
      icon = reinterpret_cast<HICON>(wParam);
      Changed(this);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      // The control gets the first say over its own colours.
      WndState* child = Find(reinterpret_cast<HWND>(lParam));
      if (child != nullptr && child->object != nullptr && child->hwnd != hwnd) {
        LRESULT r = 0;
        ++g_depth;
        BOOL done = child->object->OnChildNotify(msg, wParam, lParam, &r);
        --g_depth;
        if (done) return r;
      }
      return reinterpret_cast<LRESULT>(DefaultCtlBrush(msg));
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      WndState* child = dis != nullptr ? Find(dis->hwndItem) : nullptr;
      if (child != nullptr && child->object != nullptr) {
        LRESULT r = 0;
        return child->object->OnChildNotify(msg, wParam, lParam, &r);
      }
      return FALSE;
    }
    case WM_SETCURSOR:
      // The parent may set the cursor for its children; otherwise the arrow.
      if (parent != nullptr && Send(parent, WM_SETCURSOR, wParam, lParam) != 0) return TRUE;
      if (!IsChild()) SetCursor(LoadCursor(nullptr, IDC_ARROW));
      return FALSE;
    case WM_CLOSE:
      if (kind == Kind::Dialog && !IsChild()) {
        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        Send(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      } else {
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_INITDIALOG:
      return TRUE;
    case DM_GETDEFID:
      for (HWND h : children)
        if (WndState* c = Find(h); c && c->kind == Kind::Button && static_cast<ButtonState*>(c)->isDefault)
          return MAKELONG(static_cast<WORD>(c->id), DC_HASDEFID);
      return 0;
    case DM_SETDEFID:
      if (kind != Kind::Dialog) return 0;
      for (HWND h : children) {
        WndState* c = Find(h);
        if (c == nullptr || c->kind != Kind::Button) continue;
        auto* b = static_cast<ButtonState*>(c);
        bool def = c->id == static_cast<int>(wParam);
        if (b->isDefault != def) {
          b->isDefault = def;
          if ((c->style & BS_TYPEMASK) == BS_PUSHBUTTON || (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            c->style = (c->style & ~BS_TYPEMASK) | (def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
          Changed(c);
        }
      }
      return TRUE;
    default:
      return 0;
  }
}

// ---- Focus ----
HWND FocusWindow() { return g_focus; }

namespace {
bool IsPushButton(const WndState* s) {
  return s != nullptr && s->kind == Kind::Button &&
         ((s->style & BS_TYPEMASK) == BS_PUSHBUTTON || (s->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
}

// The focus came to or left a push button: the push buttons of its window are drawn again, as the
// default frame may have moved (LooksDefault).
void ShowDefaultFrame(HWND button) {
  WndState* b = Find(button);
  WndState* parent = IsPushButton(b) ? Find(b->parent) : nullptr;
  if (parent == nullptr) return;
  const std::vector<HWND> kids = parent->children;
  for (HWND h : kids)
    if (WndState* c = Find(h); IsPushButton(c)) Changed(c);
}
}  // namespace

bool LooksDefault(const WndState* button) {
  if (button == nullptr || button->kind != Kind::Button) return false;
  const bool isDefault = static_cast<const ButtonState*>(button)->isDefault;
  if (!IsPushButton(button)) return isDefault;
  const WndState* f = Find(g_focus);
  return IsPushButton(f) && f->parent == button->parent ? f == button : isDefault;
}

void MoveFocus(HWND to) {
  if (to == g_focus) return;
  HWND old = g_focus;
  g_focus = to;
  ShowDefaultFrame(old);
  ShowDefaultFrame(to);
  if (old != nullptr && Find(old) != nullptr) {
    if (WndState* o = Find(old)) o->hasFocus = false;
    Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(to), 0);
  }
  if (to != nullptr && g_focus == to) {
    if (WndState* t = Find(to)) {
      t->hasFocus = true;
      if (WndState* top = TopLevelOf(t)) {
        top->lastFocus = to;
        // The user works elsewhere now: a window held disabled no longer takes the activation.
        if (top->hwnd != g_activateWhenEnabled) g_activateWhenEnabled = nullptr;
      }
      Changed(t);
    }
    Send(to, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
}

namespace {

// A top-level window becomes the active window and the control that last had the focus in it
// gets it back.
void ActivateWithFocus(WndState* w, HWND focus) {
  const HWND hwnd = w->hwnd;
  CurrentBackend().Activate(w);
  WndState* f = Find(focus);
  if (Find(hwnd) == w && f != nullptr && TopLevelOf(f) == w && IsWindowVisible(focus) && IsWindowEnabled(focus))
    MoveFocus(focus);
}

// The user works in the top-level window: the focus is in it, or the display has it active.
bool HoldsActivation(WndState* s) {
  WndState* f = Find(g_focus);
  return (f != nullptr && TopLevelOf(f) == s) || CurrentBackend().Active(s);
}

// The newest shown window that `owner` owns (a modal box that disables it), other than `gone`,
// only an enabled one when `enabled`; null when there is none. A window the program keeps
// minimised (a tool window, which has a minimise box) does not count; one without a minimise box
// was minimised by the window manager and comes back when it is activated.
WndState* NewestOwned(HWND owner, HWND gone, bool enabled) {
  uintptr_t newest = 0;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    for (auto& [h, w] : Reg().windows)
      if (!w->IsChild() && w->owner == owner && w->hwnd != gone && !w->destroying && w->Visible() &&
          (w->Enabled() || !enabled) && (!w->minimized || (w->style & WS_MINIMIZEBOX) == 0))
        newest = std::max(newest, h);
  }
  return newest != 0 ? Find(reinterpret_cast<HWND>(newest)) : nullptr;
}

// A top-level window the user worked in went (hidden or destroyed). As a window manager does, and
// as nobody does without one, the activation goes to its owner, or else to the program's main
// window. When that one is disabled, a window it owns that is still up (the box of an outer modal
// loop) takes it; when there is none, the disabled one takes it once it is enabled again (a run
// held it).
void HandOnActivation(HWND gone, HWND owner) {
  auto usable = [gone](WndState* w) { return w != nullptr && w->hwnd != gone && !w->destroying && w->Visible() && !w->minimized; };
  WndState* next = Find(owner);
  if (!usable(next)) next = Find(DefaultOwner());
  if (!usable(next)) return;
  if (!next->Enabled()) {
    if (WndState* up = NewestOwned(next->hwnd, gone, true)) {
      ActivateWithFocus(up, up->lastFocus);
      return;
    }
    g_activateWhenEnabled = next->hwnd;
    return;
  }
  ActivateWithFocus(next, next->lastFocus);
}

}  // namespace

void ReturnFromModal(HWND owner, HWND focus) {
  // The owner may be a child (a view that asked for a file chooser); its top-level window is the
  // one that can be active.
  WndState* o = TopLevelOf(Find(owner));
  if (o == nullptr || !o->Visible() || !o->Enabled()) return;
  ActivateWithFocus(o, focus);
}

HWND ModalWindowOver(HWND disabled) {
  WndState* s = Find(disabled);
  if (s == nullptr || s->Enabled()) return nullptr;
  // The newest shown window that a disabled window owns is the one that disabled it (a modal
  // dialog or box); when that one is disabled too, a window it owns is up over it.
  for (int depth = 0; s != nullptr && !s->Enabled() && depth < 16; ++depth) s = NewestOwned(s->hwnd, nullptr, false);
  if (s != nullptr && s->Enabled() && s->hwnd != disabled) return s->hwnd;
  // A window that owns none of them (the status window, a viewer) is held by the newest modal
  // window that is up.
  for (auto it = g_modal.rbegin(); it != g_modal.rend(); ++it)
    if (WndState* m = Find(*it); m != nullptr && m->hwnd != disabled && m->Visible() && m->Enabled() && !m->destroying)
      return m->hwnd;
  return nullptr;
}

HWND OwnerOfNewModal(HWND owner) {
  if (owner == nullptr || IsWindowEnabled(owner)) return owner;
  for (auto it = g_modal.rbegin(); it != g_modal.rend(); ++it)
    if (WndState* m = Find(*it); m != nullptr && m->Visible() && m->Enabled() && !m->destroying) return m->hwnd;
  return owner;
}

bool IsModalWindow(HWND hwnd) { return hwnd != nullptr && std::find(g_modal.begin(), g_modal.end(), hwnd) != g_modal.end(); }

ModalHold::ModalHold(HWND owner) {
  std::vector<HWND> tops;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    for (auto& [h, w] : Reg().windows)
      if (!w->IsChild() && !w->destroying && w->hwnd != owner) tops.push_back(w->hwnd);
  }
  if (owner != nullptr) tops.push_back(owner);
  // Disabling nests, so a window another holder disables too (a run's wait dialog holds the main
  // window) takes input again only when both have let it go.
  for (HWND h : tops)
    if (Find(h) != nullptr) {
      ::EnableWindow(h, FALSE);
      m_held.push_back(h);
    }
}

void ModalHold::Up(HWND modal) {
  m_modal = modal;
  if (modal != nullptr) g_modal.push_back(modal);
}

void ModalHold::Release() {
  if (m_modal != nullptr) g_modal.erase(std::remove(g_modal.begin(), g_modal.end(), m_modal), g_modal.end());
  m_modal = nullptr;
  // The owner last: enabling it may give it the activation back (a run held it).
  std::vector<HWND> held;
  held.swap(m_held);
  for (HWND h : held) ::EnableWindow(h, TRUE);
}

void ForgetWindows() {
  std::vector<HWND> tops;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    for (auto& [h, s] : Reg().windows)
      if (!s->IsChild()) tops.push_back(s->hwnd);
  }
  for (HWND h : tops) DestroyWindow(h);
  g_focus = nullptr;
  g_activateWhenEnabled = nullptr;
  FlushGraveyard();
}

}  // namespace qav::ui

using namespace qav::ui;

// ---- API functions ----
BOOL IsWindow(HWND hwnd) {
  if (hwnd == nullptr) return FALSE;
  if (hwnd == kDesktop) return TRUE;
  std::lock_guard<std::mutex> g(Reg().lock);
  return Reg().windows.count(reinterpret_cast<uintptr_t>(hwnd)) != 0 ? TRUE : FALSE;
}

HWND GetDesktopWindow() { return kDesktop; }

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsUiThread()) return SendFromOtherThread(hwnd, msg, wParam, lParam);
  return Send(hwnd, msg, wParam, lParam);
}

BOOL DestroyWindow(HWND hwnd) {
  WndState* s = Find(hwnd);
  if (s == nullptr || s->destroying) return FALSE;
  const bool handOn = !s->IsChild() && s->Visible() && HoldsActivation(s);
  const HWND owner = s->owner;
  s->destroying = true;
  ++g_depth;
  if (g_focus == hwnd) g_focus = nullptr;
  Send(hwnd, WM_DESTROY);
  // Owned top-level windows go with their owner.
  std::vector<HWND> owned;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    for (auto& [h, w] : Reg().windows)
      if (!w->IsChild() && w->owner == hwnd) owned.push_back(w->hwnd);
  }
  for (HWND h : owned) DestroyWindow(h);
  for (HWND h : std::vector<HWND>(s->children)) DestroyWindow(h);
  KillTimersOf(hwnd);
  CurrentBackend().Destroyed(s);
  if (WndState* p = Find(s->parent)) {
    auto& kids = p->children;
    kids.erase(std::remove(kids.begin(), kids.end(), hwnd), kids.end());
  }
  Send(hwnd, WM_NCDESTROY);
  CWnd* obj = s->object;
  s->object = nullptr;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    auto it = Reg().windows.find(reinterpret_cast<uintptr_t>(hwnd));
    Reg().graveyard.push_back(std::move(it->second));
    Reg().windows.erase(it);
  }
  if (s->wrapper) s->wrapper->m_hWnd = nullptr;
  if (obj != nullptr) {
    obj->m_hWnd = nullptr;
    PostNcDestroyWhenIdle(obj);  // may delete the object
  }
  --g_depth;
  FlushGraveyard();
  if (g_activateWhenEnabled == hwnd) g_activateWhenEnabled = nullptr;
  if (handOn) HandOnActivation(hwnd, owner);
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  WndState* s = Find(hwnd);
  if (s == nullptr) return FALSE;
  BOOL wasDisabled = s->Enabled() ? FALSE : TRUE;
  if (!s->IsChild()) {
    // Disabling a top-level window nests: it takes input again only when every disable has
    // been released.
    if (enable) {
      if (s->disableCount > 0) --s->disableCount;
    } else {
      ++s->disableCount;
    }
    enable = s->disableCount == 0;
  }
  DWORD before = s->style;
  if (enable) s->style &= ~WS_DISABLED;
  else s->style |= WS_DISABLED;
  if (before != s->style) {
    if (!enable && g_focus != nullptr) {
      for (WndState* f = Find(g_focus); f != nullptr; f = Find(f->parent))
        if (f == s) { MoveFocus(nullptr); break; }
    }
    Changed(s);
    Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE);
    if (enable && hwnd == g_activateWhenEnabled && Find(hwnd) == s) {
      g_activateWhenEnabled = nullptr;
      if (s->Visible() && !s->minimized) ActivateWithFocus(s, s->lastFocus);
    }
  }
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  return ReadState(hwnd, [](WndState* s) { return s != nullptr && s->Enabled() ? TRUE : FALSE; });
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  WndState* s = Find(hwnd);
  if (s == nullptr) return FALSE;
  BOOL was = s->Visible() ? TRUE : FALSE;
  const bool handOn = cmd == SW_HIDE && was && !s->IsChild() && HoldsActivation(s);
  switch (cmd) {
    case SW_HIDE: s->style &= ~WS_VISIBLE; break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: s->style |= WS_VISIBLE; s->minimized = true; break;
    case SW_SHOWMAXIMIZED: s->style |= WS_VISIBLE; s->minimized = false; s->maximized = true; break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE: s->style |= WS_VISIBLE; s->minimized = false; s->maximized = false; break;
    default: s->style |= WS_VISIBLE; s->minimized = false; break;
  }
  s->showInactive = cmd == SW_SHOWNOACTIVATE;
  Changed(s);
  if (Find(hwnd) == s) s->showInactive = false;
  // Showing a window that is already up brings it to the user, as the window manager does.
  if (was && cmd != SW_HIDE && cmd != SW_MINIMIZE && cmd != SW_SHOWMINIMIZED && !s->IsChild() && Find(hwnd) == s)
    CurrentBackend().Raise(s, cmd != SW_SHOWNOACTIVATE);
  if (handOn && Find(hwnd) == s) HandOnActivation(hwnd, s->owner);
  return was;
}

BOOL IsWindowVisible(HWND hwnd) {
  return ReadState(hwnd, [](WndState* w) {
    if (w == nullptr) return FALSE;
    for (WndState* s = w; s != nullptr; s = s->IsChild() ? FindLocked(s->parent) : nullptr)
      if (!s->Visible()) return FALSE;
    return TRUE;
  });
}

HWND GetParent(HWND hwnd) {
  return ReadState(hwnd, [](WndState* s) -> HWND {
    if (s == nullptr) return nullptr;
    return s->IsChild() ? s->parent : s->owner;
  });
}

void SetWindowOwner(HWND hwnd, HWND owner) {
  WndState* s = Find(hwnd);
  if (s == nullptr || s->IsChild() || s->owner == owner || Find(owner) == nullptr || owner == hwnd) return;
  {
    std::lock_guard<std::mutex> g(Reg().lock);
    s->owner = owner;
  }
  CurrentBackend().OwnerChanged(s);
}

HWND GetDlgItem(HWND dlg, int id) {
  WndState* s = Find(dlg);
  if (s == nullptr) return nullptr;
  for (HWND h : s->children)
    if (WndState* c = Find(h); c && c->id == id) return h;
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  return ReadState(hwnd, [](WndState* s) { return s != nullptr ? s->id : 0; });
}

HWND SetFocus(HWND hwnd) {
  HWND old = g_focus;
  if (hwnd != nullptr && Find(hwnd) == nullptr) return nullptr;
  MoveFocus(hwnd);
  return old;
}

HWND GetFocus() { return Find(g_focus) != nullptr ? g_focus : nullptr; }

BOOL SetWindowText(HWND hwnd, LPCSTR text) {
  return static_cast<BOOL>(::SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int GetWindowText(HWND hwnd, LPSTR buffer, int max) {
  if (buffer == nullptr || max <= 0) return 0;
  buffer[0] = '\0';
  return static_cast<int>(::SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) { return static_cast<int>(::SendMessage(hwnd, WM_GETTEXTLENGTH)); }

// ---- CCmdTarget ----
const MsgMap* CCmdTarget::GetThisMessageMap() {
  static const MsgMapEntry entries[] = {{0, 0, 0, 0, 0, nullptr}};
  static const MsgMap map = {nullptr, entries};
  return &map;
}

bool CCmdTarget::DispatchToMap(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  // Commands reach views and controls outside their own window's messages, too.
  ObjectInUse use(dynamic_cast<CWnd*>(this));
  LRESULT dummy = 0;
  if (result == nullptr) result = &dummy;
  bool isCommand = message == WM_COMMAND || message == WM_NOTIFY || message == WM_REFLECT_BASE + WM_COMMAND ||
                   message == WM_REFLECT_BASE + WM_NOTIFY;
  for (const MsgMap* map = GetMessageMap(); map != nullptr; map = map->base ? map->base() : nullptr) {
    for (const MsgMapEntry* e = map->entries; e->handler != nullptr; ++e) {
      if (isCommand) {
        if (e->message != message || e->code != code || id < e->firstId || id > e->lastId) continue;
      } else if (message < e->message || message > e->lastMessage) {
        continue;
      }
      if (e->handler(this, id, wParam, lParam, result)) return true;
    }
  }
  return false;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code, UINT kind, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return DispatchToMap(kind, static_cast<UINT>(code), id, wParam, lParam, result) ? TRUE : FALSE;
}

// ---- CWnd ----
const MsgMap* CWnd::GetThisMessageMap() {
  static const MsgMapEntry entries[] = {{0, 0, 0, 0, 0, nullptr}};
  static const MsgMap map = {&CCmdTarget::GetThisMessageMap, entries};
  return &map;
}

CWnd::~CWnd() {
  if (m_hWnd != nullptr) {
    WndState* s = Find(m_hWnd);
    if (s != nullptr && s->object == this) ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
  ForgetObject(this);
}

WndState* CWnd::State() const { return Find(m_hWnd); }

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (hwnd == kDesktop) return GetDesktopWindow();
  return ObjectOf(Find(hwnd));
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  WndState* s = Find(hwnd);
  return s != nullptr ? s->object : nullptr;
}

CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }

CWnd* CWnd::GetDesktopWindow() {
  static CWnd* desktop = [] {
    auto* w = new CWnd;
    w->m_hWnd = kDesktop;
    return w;
  }();
  return desktop;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  ObjectInUse use(this);  // OnCreate may destroy the window
  HWND ph = parent != nullptr ? parent->m_hWnd : nullptr;
  WndState* s = NewWindow(Kind::Generic, ph, static_cast<int>(id), title ? title : "", style, rect);
  s->exStyle = exStyle;
  s->className = className ? className : "";
  s->object = this;
  m_hWnd = s->hwnd;
  CREATESTRUCT cs;
  cs.hwndParent = ph;
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = title;
  cs.dwExStyle = exStyle;
  if (Send(m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    ::DestroyWindow(m_hWnd);
    return FALSE;
  }
  if (m_hWnd == nullptr) return FALSE;
  WindowComplete(s);
  return TRUE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr ? ::DestroyWindow(m_hWnd) : FALSE; }

BOOL CWnd::Attach(HWND hwnd) {
  WndState* s = Find(hwnd);
  if (s == nullptr || s->object != nullptr) return FALSE;
  s->object = this;
  m_hWnd = hwnd;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (WndState* s = Find(h); s && s->object == this) s->object = nullptr;
  m_hWnd = nullptr;
  return h;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (!Attach(hwnd)) return FALSE;
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (parent == nullptr) return FALSE;
  return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() { return Detach(); }

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) const { return ::SendMessage(m_hWnd, msg, wParam, lParam); }
BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) const { return ::PostMessage(m_hWnd, msg, wParam, lParam); }
LRESULT CWnd::SendDlgItemMessage(int id, UINT msg, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessage(::GetDlgItem(m_hWnd, id), msg, wParam, lParam);
}

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
CWnd* CWnd::GetOwner() const {
  WndState* s = State();
  if (s == nullptr) return nullptr;
  return FromHandle(s->IsChild() ? s->parent : s->owner);
}
CWnd* CWnd::GetTopLevelParent() const {
  WndState* s = TopLevelOf(State());
  return s != nullptr ? FromHandle(s->hwnd) : nullptr;
}
CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

CWnd* CWnd::GetNextDlgTabItem(CWnd* ctl, BOOL previous) const {
  HWND next = NextTabStop(m_hWnd, ctl != nullptr ? ctl->GetSafeHwnd() : nullptr, previous != FALSE);
  return next != nullptr ? FromHandle(next) : nullptr;
}

void CWnd::SetWindowText(LPCSTR text) { ::SetWindowText(m_hWnd, text); }
int CWnd::GetWindowText(LPSTR buffer, int max) const { return ::GetWindowText(m_hWnd, buffer, max); }
std::string CWnd::GetWindowText() const {
  int n = GetWindowTextLength();
  std::string t(static_cast<size_t>(n) + 1, '\0');
  int got = ::GetWindowText(m_hWnd, t.data(), n + 1);
  t.resize(static_cast<size_t>(std::max(got, 0)));
  return t;
}
int CWnd::GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
void CWnd::SetDlgItemText(int id, LPCSTR text) { ::SetWindowText(::GetDlgItem(m_hWnd, id), text); }
int CWnd::GetDlgItemText(int id, LPSTR buffer, int max) const { return ::GetWindowText(::GetDlgItem(m_hWnd, id), buffer, max); }

void CWnd::SetDlgItemInt(int id, UINT value, BOOL isSigned) {
  char buf[32];
  if (isSigned) std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
  else std::snprintf(buf, sizeof buf, "%u", value);
  SetDlgItemText(id, buf);
}

UINT CWnd::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const {
  CWnd* w = GetDlgItem(id);
  std::string t = w ? w->GetWindowText() : std::string();
  long long v = 0;
  bool ok = ParseInteger(t, &v) && (isSigned ? (v >= INT32_MIN && v <= INT32_MAX) : (v >= 0 && v <= UINT32_MAX));
  if (translated != nullptr) *translated = ok ? TRUE : FALSE;
  return ok ? static_cast<UINT>(v) : 0;
}

void CWnd::CheckDlgButton(int id, UINT check) { SendDlgItemMessage(id, BM_SETCHECK, check); }
UINT CWnd::IsDlgButtonChecked(int id) const { return static_cast<UINT>(SendDlgItemMessage(id, BM_GETCHECK)); }

void CWnd::CheckRadioButton(int first, int last, int check) {
  for (int id = first; id <= last; ++id)
    if (::GetDlgItem(m_hWnd, id) != nullptr) CheckDlgButton(id, id == check ? BST_CHECKED : BST_UNCHECKED);
}

int CWnd::GetCheckedRadioButton(int first, int last) const {
  for (int id = first; id <= last; ++id)
    if (::GetDlgItem(m_hWnd, id) != nullptr && IsDlgButtonChecked(id) == BST_CHECKED) return id;
  return 0;
}

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::IsIconic() const {
  return ReadState(m_hWnd, [](WndState* s) { return s != nullptr && s->minimized ? TRUE : FALSE; });
}
BOOL CWnd::IsZoomed() const {
  return ReadState(m_hWnd, [](WndState* s) { return s != nullptr && s->maximized ? TRUE : FALSE; });
}
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hFont : nullptr), redraw);
}
CFont* CWnd::GetFont() const { return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT))); }
HICON CWnd::SetIcon(HICON icon, BOOL big) {
  return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big, reinterpret_cast<LPARAM>(icon)));
}

DWORD CWnd::GetStyle() const {
  return ReadState(m_hWnd, [](WndState* s) -> DWORD { return s != nullptr ? static_cast<DWORD>(s->style) : 0; });
}
DWORD CWnd::GetExStyle() const {
  return ReadState(m_hWnd, [](WndState* s) -> DWORD { return s != nullptr ? static_cast<DWORD>(s->exStyle) : 0; });
}
BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  WndState* s = State();
  if (s == nullptr) return FALSE;
  DWORD before = s->style;
  s->style = (s->style & ~remove) | add;
  if (before == s->style) return FALSE;
  Changed(s);
  return TRUE;
}
BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  WndState* s = State();
  if (s == nullptr) return FALSE;
  DWORD before = s->exStyle;
  s->exStyle = (s->exStyle & ~remove) | add;
  if (before == s->exStyle) return FALSE;
  Changed(s);
  return TRUE;
}

void CWnd::GetClientRect(LPRECT r) const {
  WndState* s = State();
  *r = RECT{};
  if (s == nullptr) return;
  r->right = s->Width();
  r->bottom = s->Height() - s->clientTop;
}

namespace {
POINT ClientOrigin(WndState* s) {
  POINT p;
  for (; s != nullptr; s = s->IsChild() ? Find(s->parent) : nullptr) {
    p.x += s->rect.left;
    p.y += s->rect.top + s->clientTop;
  }
  return p;
}
}  // namespace

void CWnd::GetWindowRect(LPRECT r) const {
  WndState* s = State();
  *r = RECT{};
  if (s == nullptr) return;
  POINT o = s->IsChild() ? ClientOrigin(Find(s->parent)) : POINT{};
  *r = s->rect;
  r->left += o.x;
  r->right += o.x;
  r->top += o.y;
  r->bottom += o.y;
}

void CWnd::ClientToScreen(LPPOINT p) const {
  POINT o = ClientOrigin(State());
  p->x += o.x;
  p->y += o.y;
}
void CWnd::ClientToScreen(LPRECT r) const {
  POINT o = ClientOrigin(State());
  r->left += o.x;
  r->right += o.x;
  r->top += o.y;
  r->bottom += o.y;
}
void CWnd::ScreenToClient(LPPOINT p) const {
  POINT o = ClientOrigin(State());
  p->x -= o.x;
  p->y -= o.y;
}
void CWnd::ScreenToClient(LPRECT r) const {
  POINT o = ClientOrigin(State());
  r->left -= o.x;
  r->right -= o.x;
  r->top -= o.y;
  r->bottom -= o.y;
}

void CWnd::MoveWindow(int x, int y, int w, int h, BOOL repaint) {
  WndState* s = State();
  if (s == nullptr) return;
  if (!s->IsChild()) {  // keep top-level windows on the screen
    SIZE screen = CurrentBackend().ScreenSize();
    w = std::min<int>(w, screen.cx);
    h = std::min<int>(h, screen.cy);
    x = std::clamp<int>(x, 0, screen.cx - w);
    y = std::clamp<int>(y, 0, screen.cy - h);
  }
  bool resized = s->Width() != w || s->Height() != h;
  s->rect = RECT{x, y, x + w, y + h};
  Changed(s);
  if (resized) SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(w, h - s->clientTop));
}
void CWnd::MoveWindow(LPCRECT r, BOOL repaint) { MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, repaint); }

BOOL CWnd::SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
  WndState* s = State();
  if (s == nullptr) return FALSE;
  if (flags & SWP_NOMOVE) { x = s->rect.left; y = s->rect.top; }
  if (flags & SWP_NOSIZE) { cx = s->Width(); cy = s->Height(); }
  MoveWindow(x, y, cx, cy, TRUE);
  return TRUE;
}

void CWnd::CenterWindow(CWnd* alternate) {
  WndState* s = State();
  if (s == nullptr) return;
  RECT area{0, 0, CurrentBackend().ScreenSize().cx, CurrentBackend().ScreenSize().cy};
  CWnd* ref = alternate != nullptr ? alternate : GetOwner();
  if (ref != nullptr && ref->m_hWnd != nullptr && ref->m_hWnd != kDesktop) ref->GetWindowRect(&area);
  int w = s->Width();
  int h = s->Height();
  MoveWindow((area.left + area.right - w) / 2, (area.top + area.bottom - h) / 2, w, h);
}

void CWnd::Invalidate(BOOL erase) { Changed(State()); }
void CWnd::InvalidateRect(LPCRECT r, BOOL erase) { Changed(State()); }
void CWnd::UpdateWindow() { Changed(State()); }
BOOL CWnd::RedrawWindow(LPCRECT r, void* region, UINT flags) {
  WndState* s = State();
  if (s == nullptr) return FALSE;
  Changed(s);
  if (flags & RDW_ALLCHILDREN) ForEachDescendant(s, [](WndState* c) { Changed(c); });
  return TRUE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, void* proc) { return ::SetTimer(m_hWnd, id, elapseMs, proc); }
BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return dx.m_bFailed ? FALSE : TRUE;
}

namespace {
// The messages being handled, innermost last: Default() repeats the current one. Kept outside
// the objects because a handler may delete its own window object.
thread_local std::vector<MSG> t_current;
}  // namespace

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m;
  m.hwnd = m_hWnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  t_current.push_back(m);
  LRESULT r = 0;
  if (!OnWndMsg(msg, wParam, lParam, &r)) r = DefWindowProc(msg, wParam, lParam);
  t_current.pop_back();  // `this` may be gone by now
  return r;
}

BOOL CWnd::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == WM_COMMAND) {
    if (OnCommand(wParam, lParam)) {
      *result = 1;
      return TRUE;
    }
    return FALSE;
  }
  if (msg == WM_NOTIFY) {
    LRESULT r = 0;
    if (OnNotify(wParam, lParam, &r)) {
      *result = r;
      return TRUE;
    }
    return FALSE;
  }
  UINT id = 0;
  if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) id = msg - WM_CTLCOLORMSGBOX;
  return DispatchToMap(msg, 0, id, wParam, lParam, result) ? TRUE : FALSE;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  WndState* s = State();
  return s != nullptr ? s->DefProc(msg, wParam, lParam) : 0;
}

LRESULT CWnd::Default() {
  if (t_current.empty()) return 0;
  const MSG m = t_current.back();
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG* msg) { return FALSE; }

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam);
  int code = HIWORD(wParam);
  // A control's notification (its handle in lParam) is offered back to the control first.
  if (lParam != 0) {
    WndState* c = Find(reinterpret_cast<HWND>(lParam));
    if (c != nullptr && c->parent == m_hWnd && static_cast<UINT>(c->id) == id && c->object != nullptr && c->object != this) {
      LRESULT r = 0;
      if (c->object->OnChildNotify(WM_COMMAND, wParam, lParam, &r)) return TRUE;
    }
  }
  return OnCmdMsg(id, code, WM_COMMAND, wParam, lParam, nullptr);
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr == nullptr) return FALSE;
  WndState* c = Find(hdr->hwndFrom);
  if (c != nullptr && c->object != nullptr && c->object != this && c->parent == m_hWnd) {
    if (c->object->OnChildNotify(WM_NOTIFY, wParam, lParam, result)) return TRUE;
  }
  return OnCmdMsg(static_cast<UINT>(hdr->idFrom), static_cast<int>(hdr->code), WM_NOTIFY, wParam, lParam, result);
}

BOOL CWnd::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return ReflectChildNotify(msg, wParam, lParam, result);
}

BOOL CWnd::ReflectChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_COMMAND:
      return DispatchToMap(WM_REFLECT_BASE + WM_COMMAND, HIWORD(wParam), 0, wParam, lParam, result) ? TRUE : FALSE;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      return DispatchToMap(WM_REFLECT_BASE + WM_NOTIFY, hdr->code, 0, wParam, lParam, result) ? TRUE : FALSE;
    }
    default:
      if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC)
        return DispatchToMap(WM_REFLECT_BASE + msg, 0, msg - WM_CTLCOLORMSGBOX, wParam, lParam, result) ? TRUE : FALSE;
      return DispatchToMap(WM_REFLECT_BASE + msg, 0, 0, wParam, lParam, result) ? TRUE : FALSE;
  }
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
  return ::MessageBox(m_hWnd, text, caption != nullptr ? caption : AppTitle(), type);
}
