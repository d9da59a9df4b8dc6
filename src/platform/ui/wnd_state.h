// The state record of a window and the default behaviour of each kind of window. This is the
// window system's inside: the classes of wnd.h, controls.h and dialog.h reach the state through
// messages, the backends read it to draw and change it through the input functions.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/line_store.h"
#include "platform/ui/wnd.h"

namespace qav::ui {

enum class Kind {
  Generic,   // frames, views and other plain windows
  Dialog,    // dialogs, form views and property pages (built from a template)
  Static,
  GroupBox,
  Button,    // push buttons (also default and owner-drawn)
  CheckBox,  // also push-like check boxes
  Radio,
  Edit,
  ListBox,
  ComboBox,
  Progress,
  Spin,
  Slider,
  DateTime,
  RichEdit,
  Tab,       // the tabs of a property sheet
};

const char* KindName(Kind k);

// A style word that other threads may read (IsWindowEnabled from a worker) while the
// user-interface thread changes it.
class AtomicStyle {
 public:
  AtomicStyle() = default;
  AtomicStyle(const AtomicStyle&) = delete;
  AtomicStyle& operator=(const AtomicStyle&) = delete;
  operator DWORD() const { return m_v.load(std::memory_order_acquire); }
  AtomicStyle& operator=(DWORD v) {
    m_v.store(v, std::memory_order_release);
    return *this;
  }
  AtomicStyle& operator|=(DWORD v) {
    m_v.fetch_or(v, std::memory_order_acq_rel);
    return *this;
  }
  AtomicStyle& operator&=(DWORD v) {
    m_v.fetch_and(v, std::memory_order_acq_rel);
    return *this;
  }

 private:
  std::atomic<DWORD> m_v{0};
};

struct WndState {
  WndState() = default;
  virtual ~WndState();
  WndState(const WndState&) = delete;
  WndState& operator=(const WndState&) = delete;

  HWND hwnd = nullptr;
  Kind kind = Kind::Generic;
  int id = 0;
  std::string text;  // Windows-1252
  AtomicStyle style;
  AtomicStyle exStyle;
  RECT rect;  // pixels, relative to the parent's client area (screen for top-level windows)
  int clientTop = 0;  // height of a frame's menu bar above the client area
  std::string tooltip;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // in creation (tab) order
  CWnd* object = nullptr;  // the attached object
  std::unique_ptr<CWnd> wrapper;  // lasting wrapper handed out when none is attached
  HFONT font = nullptr;
  HICON icon = nullptr;
  int disableCount = 0;  // top-level windows: disabling nests
  std::atomic<bool> minimized{false};
  std::atomic<bool> maximized{false};
  bool destroying = false;
  bool showInactive = false;  // being shown by SW_SHOWNOACTIVATE: the active window stays so
  bool hasFocus = false;
  HWND lastFocus = nullptr;  // top-level windows: the control in it that last had the focus
  void* native = nullptr;  // the backend's object
  const char* className = "";  // class name given to CreateEx (frames, views)

  bool IsChild() const { return (style & WS_CHILD) != 0; }
  bool Enabled() const { return (style & WS_DISABLED) == 0; }
  bool Visible() const { return (style & WS_VISIBLE) != 0; }
  int Width() const { return rect.right - rect.left; }
  int Height() const { return rect.bottom - rect.top; }

  // The kind's default handling of a message (what DefWindowProc does).
  virtual LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam);
};

// The control states. Each keeps what its control shows.
struct ListLine {
  std::string text;
  bool selected = false;
  DWORD_PTR data = 0;
};

struct ListBoxState : WndState {
  LineStore lines;
  int cur = -1;    // single selection
  int caret = -1;  // focus line
  int anchor = -1; // extended selection anchor
  int top = 0;
  int columnWidth = 0;
  int columnExtent = 0;  // the width the backend draws a column with, when wider than columnWidth
  int columnRows = 0;    // lines a column of a multi-column list holds as the backend draws it; 0: not drawn
  int itemHeight = 13;
  bool Multi() const { return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
  bool NoSel() const { return (style & LBS_NOSEL) != 0; }
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  int AddLine(const char* text);
  int InsertLine(int index, const char* text);
  int DeleteLine(int index);
  void Reset();
  int Find(int start, const char* text, bool exact) const;
  int SelCount() const;
};

struct ComboBoxState : WndState {
  std::vector<ListLine> lines;
  int cur = -1;
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

struct ButtonState : WndState {
  int check = BST_UNCHECKED;
  bool pushed = false;
  bool isDefault = false;
  DWORD Type() const { return style & BS_TYPEMASK; }
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

struct EditState : WndState {
  int limit = 0;  // 0 = the default limit
  int selStart = 0;
  int selEnd = 0;
  bool ReadOnly() const { return (style & ES_READONLY) != 0; }
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

struct RangeState : WndState {  // progress bar, spin control, slider
  int lower = 0;
  int upper = 100;
  int pos = 0;
  int ticFreq = 1;
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

struct DateTimeState : WndState {
  SYSTEMTIME time;
  std::string format;  // "HH:mm" and the like; empty = the style's default
  int field = 0;  // the focused field (0 hours, 1 minutes, 2 seconds)
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

struct RichRun {
  std::string text;
  CHARFORMAT format;
};

struct RichEditState : WndState {
  std::vector<RichRun> runs;
  CHARFORMAT current;  // format for the next replacement
  CHARFORMAT defaults;
  COLORREF background = 0xFFFFFF;
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  std::string PlainText() const;
};

struct TabState : WndState {
  std::vector<std::string> tabs;
  int cur = -1;
  LRESULT DefProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Keeps a window object from PostNcDestroy while it is in use: a window destroyed meanwhile
// has its object's PostNcDestroy run when the last of these for the object goes.
class ObjectInUse {
 public:
  explicit ObjectInUse(CWnd* object);
  ~ObjectInUse();
  ObjectInUse(const ObjectInUse&) = delete;
  ObjectInUse& operator=(const ObjectInUse&) = delete;
  // True when the object's window was destroyed meanwhile, so its PostNcDestroy runs when the
  // last guard goes (an object that deletes itself there must not be deleted by anyone else).
  bool DestroyPending() const;

 private:
  CWnd* m_object;
  unsigned long long m_serial = 0;
};

// ---- Registry ----
// Creates the state record of a new window and registers it (user-interface thread).
WndState* NewWindow(Kind kind, HWND parent, int id, const std::string& text, DWORD style, const RECT& rect);
// The state of a live window, or null (user-interface thread).
WndState* Find(HWND hwnd);
// The object that handles messages of the window: the attached one or the kind's wrapper.
CWnd* ObjectOf(WndState* s);
// Called when a window's construction is complete: the backend may show it.
void WindowComplete(WndState* s);
// Sends a message to a window through its attached object (or its default behaviour).
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Sends a control's notification to its parent (WM_COMMAND with the code and the control's id).
void NotifyParent(WndState* s, WORD code);
// Sends a WM_NOTIFY record to the control's parent; returns the handler's result.
LRESULT NotifyParent(WndState* s, NMHDR* hdr);
// Tells the backend that the window's look changed.
void Changed(WndState* s);
// The top-level window holding the window.
WndState* TopLevelOf(WndState* s);
// Whether a button shows the default button's frame. As the dialog manager shows it, the push
// button that has the focus does, and the window's default button only while no other push button
// of that window has the focus; Enter presses the one that shows it.
bool LooksDefault(const WndState* button);
// Children in order that match a predicate are visited depth-first.
template <class F>
void ForEachDescendant(WndState* s, F f);

// Radio buttons of the group the button belongs to (the group starts at a WS_GROUP control and
// runs to the next one), in order.
std::vector<WndState*> RadioGroupOf(WndState* s);

// The control that Tab (back: Shift+Tab) moves the focus to from `from`, among the controls of
// the window `top` and of its child panels in creation order: visible, enabled controls with
// WS_TABSTOP; a group of radio buttons is one stop, reached at its checked button. Null when
// there is none.
HWND NextTabStop(HWND top, HWND from, bool back);

// Dialog units to pixels with the dialog font's average character size.
struct BaseUnits {
  int cx = 6;
  int cy = 13;
};
RECT DialogUnitsToPixels(const RECT& dlu, BaseUnits units);

template <class F>
void ForEachDescendant(WndState* s, F f) {
  for (HWND h : std::vector<HWND>(s->children)) {
    if (WndState* c = Find(h)) {
      f(c);
      ForEachDescendant(c, f);
    }
  }
}

}  // namespace qav::ui
