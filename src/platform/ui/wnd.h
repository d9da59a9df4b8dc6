// Windows, messages and message maps.
//
// Every window is a record in a thread-safe registry, named by an opaque HWND. The record holds
// the window's whole state (text, style, geometry, the lines of a list box ...) and its kind's
// default behaviour; a C++ object (CWnd or a class derived from it) may be attached to it, and then
// sees every message first through its message map. One user-interface thread owns all windows.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "platform/kernel/events.h"
#include "platform/ui/gdi.h"
#include "platform/ui/wintypes.h"

class CCmdTarget;
class CWnd;
class CScrollBar;
class CDataExchange;

// ---- Message maps ----
// A message map is a table of entries chained to the base class's table. Each entry says which
// message (with notification code and control id range for WM_COMMAND and WM_NOTIFY) goes to which
// member; the member is reached through a small function the macros generate.
namespace qav::ui {
using MsgHandler = bool (*)(CCmdTarget* self, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* result);
struct MsgMapEntry {
  UINT message;  // WM_COMMAND, WM_NOTIFY, a window message, or one of these plus WM_REFLECT_BASE
  UINT lastMessage;  // last message of a range (WM_CTLCOLOR*), else equal to message
  UINT code;  // notification code for WM_COMMAND and WM_NOTIFY
  UINT firstId;
  UINT lastId;
  MsgHandler handler;
};
struct MsgMap {
  const MsgMap* (*base)();
  const MsgMapEntry* entries;
};
}  // namespace qav::ui

#define DECLARE_MESSAGE_MAP()                                   \
 protected:                                                     \
  static const qav::ui::MsgMap* GetThisMessageMap();            \
  const qav::ui::MsgMap* GetMessageMap() const override;        \
                                                                \
 private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
  const qav::ui::MsgMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const qav::ui::MsgMap* theClass::GetThisMessageMap() {                                \
    using ThisClass = theClass;                                                         \
    using TheBaseClass = baseClass;                                                     \
    static const qav::ui::MsgMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                           \
  { 0, 0, 0, 0, 0, nullptr }                                                        \
  }                                                                                 \
  ;                                                                                 \
  static const qav::ui::MsgMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &map;                                                                      \
  }

// The body of a generated entry function: `self` is the object as ThisClass.
#define QAV_MSG_FN(body)                                                                        \
  [](CCmdTarget* self_, UINT id_, WPARAM wParam_, LPARAM lParam_, LRESULT* result_) -> bool {  \
    [[maybe_unused]] ThisClass* self = static_cast<ThisClass*>(self_);                          \
    (void)id_; (void)wParam_; (void)lParam_; (void)result_;                                     \
    body                                                                                         \
  }

// Commands and control notifications.
#define ON_COMMAND(id, fn) {WM_COMMAND, WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id), QAV_MSG_FN((self->*fn)(); return true;)},
#define ON_COMMAND_RANGE(first, last, fn) {WM_COMMAND, WM_COMMAND, 0, static_cast<UINT>(first), static_cast<UINT>(last), QAV_MSG_FN((self->*fn)(id_); return true;)},
#define ON_CONTROL(code, id, fn) {WM_COMMAND, WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id), QAV_MSG_FN((self->*fn)(); return true;)},
#define ON_CONTROL_RANGE(code, first, last, fn) {WM_COMMAND, WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(first), static_cast<UINT>(last), QAV_MSG_FN((self->*fn)(id_); return true;)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_NOTIFY(code, id, fn) {WM_NOTIFY, WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id), QAV_MSG_FN((self->*fn)(reinterpret_cast<NMHDR*>(lParam_), result_); return true;)},
#define ON_NOTIFY_RANGE(code, first, last, fn) {WM_NOTIFY, WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(first), static_cast<UINT>(last), QAV_MSG_FN((self->*fn)(id_, reinterpret_cast<NMHDR*>(lParam_), result_); return true;)},
// Notifications reflected back to the control that sent them.
#define ON_CONTROL_REFLECT(code, fn) {WM_REFLECT_BASE + WM_COMMAND, WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(code), 0, 0xFFFF, QAV_MSG_FN((self->*fn)(); return true;)},
#define ON_CONTROL_REFLECT_EX(code, fn) {WM_REFLECT_BASE + WM_COMMAND, WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(code), 0, 0xFFFF, QAV_MSG_FN(return (self->*fn)() != FALSE;)},
#define ON_NOTIFY_REFLECT(code, fn) {WM_REFLECT_BASE + WM_NOTIFY, WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(code), 0, 0xFFFF, QAV_MSG_FN((self->*fn)(reinterpret_cast<NMHDR*>(lParam_), result_); return true;)},
#define ON_WM_CTLCOLOR_REFLECT() {WM_REFLECT_BASE + WM_CTLCOLORMSGBOX, WM_REFLECT_BASE + WM_CTLCOLORSTATIC, 0, 0, 0, QAV_MSG_FN( \
    HBRUSH b = self->CtlColor(CDC::FromHandle(reinterpret_cast<HDC>(wParam_)), id_); \
    if (b == nullptr) return false; *result_ = reinterpret_cast<LRESULT>(b); return true;)},
// Plain window messages.
#define ON_MESSAGE(msg, fn) {static_cast<UINT>(msg), static_cast<UINT>(msg), 0, 0, 0, QAV_MSG_FN(*result_ = (self->*fn)(wParam_, lParam_); return true;)},
#define ON_WM_CREATE() {WM_CREATE, WM_CREATE, 0, 0, 0, QAV_MSG_FN(*result_ = self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam_)); return true;)},
#define ON_WM_DESTROY() {WM_DESTROY, WM_DESTROY, 0, 0, 0, QAV_MSG_FN(self->OnDestroy(); return true;)},
#define ON_WM_CLOSE() {WM_CLOSE, WM_CLOSE, 0, 0, 0, QAV_MSG_FN(self->OnClose(); return true;)},
#define ON_WM_SIZE() {WM_SIZE, WM_SIZE, 0, 0, 0, QAV_MSG_FN(self->OnSize(static_cast<UINT>(wParam_), GET_X_LPARAM(lParam_), GET_Y_LPARAM(lParam_)); return true;)},
#define ON_WM_GETMINMAXINFO() {WM_GETMINMAXINFO, WM_GETMINMAXINFO, 0, 0, 0, QAV_MSG_FN(self->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam_)); return true;)},
#define ON_WM_TIMER() {WM_TIMER, WM_TIMER, 0, 0, 0, QAV_MSG_FN(self->OnTimer(static_cast<UINT_PTR>(wParam_)); return true;)},
#define ON_WM_PAINT() {WM_PAINT, WM_PAINT, 0, 0, 0, QAV_MSG_FN(self->OnPaint(); return true;)},
#define ON_WM_CTLCOLOR() {WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, 0, 0, 0, QAV_MSG_FN( \
    *result_ = reinterpret_cast<LRESULT>(self->OnCtlColor(CDC::FromHandle(reinterpret_cast<HDC>(wParam_)), \
        CWnd::FromHandle(reinterpret_cast<HWND>(lParam_)), id_)); return true;)},
#define ON_WM_SETCURSOR() {WM_SETCURSOR, WM_SETCURSOR, 0, 0, 0, QAV_MSG_FN( \
    *result_ = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam_)), LOWORD(lParam_), HIWORD(lParam_)); return true;)},
#define ON_WM_HSCROLL() {WM_HSCROLL, WM_HSCROLL, 0, 0, 0, QAV_MSG_FN( \
    self->OnHScroll(LOWORD(wParam_), static_cast<short>(HIWORD(wParam_)), reinterpret_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(lParam_)))); return true;)},
#define ON_WM_VSCROLL() {WM_VSCROLL, WM_VSCROLL, 0, 0, 0, QAV_MSG_FN( \
    self->OnVScroll(LOWORD(wParam_), static_cast<short>(HIWORD(wParam_)), reinterpret_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(lParam_)))); return true;)},
#define ON_WM_LBUTTONDOWN() {WM_LBUTTONDOWN, WM_LBUTTONDOWN, 0, 0, 0, QAV_MSG_FN(self->OnLButtonDown(static_cast<UINT>(wParam_), CPoint(lParam_)); return true;)},
#define ON_WM_LBUTTONUP() {WM_LBUTTONUP, WM_LBUTTONUP, 0, 0, 0, QAV_MSG_FN(self->OnLButtonUp(static_cast<UINT>(wParam_), CPoint(lParam_)); return true;)},
#define ON_WM_RBUTTONDOWN() {WM_RBUTTONDOWN, WM_RBUTTONDOWN, 0, 0, 0, QAV_MSG_FN(self->OnRButtonDown(static_cast<UINT>(wParam_), CPoint(lParam_)); return true;)},
#define ON_WM_MOUSEMOVE() {WM_MOUSEMOVE, WM_MOUSEMOVE, 0, 0, 0, QAV_MSG_FN(self->OnMouseMove(static_cast<UINT>(wParam_), CPoint(lParam_)); return true;)},
#define ON_WM_MOUSELEAVE() {WM_MOUSELEAVE, WM_MOUSELEAVE, 0, 0, 0, QAV_MSG_FN(self->OnMouseLeave(); return true;)},
#define ON_WM_KILLFOCUS() {WM_KILLFOCUS, WM_KILLFOCUS, 0, 0, 0, QAV_MSG_FN(self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam_))); return true;)},
#define ON_WM_SETFOCUS() {WM_SETFOCUS, WM_SETFOCUS, 0, 0, 0, QAV_MSG_FN(self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam_))); return true;)},
#define ON_WM_ACTIVATE() {WM_ACTIVATE, WM_ACTIVATE, 0, 0, 0, QAV_MSG_FN(self->OnActivate(LOWORD(wParam_), CWnd::FromHandle(reinterpret_cast<HWND>(lParam_)), HIWORD(wParam_)); return true;)},
#define ON_WM_ENABLE() {WM_ENABLE, WM_ENABLE, 0, 0, 0, QAV_MSG_FN(self->OnEnable(static_cast<BOOL>(wParam_)); return true;)},
#define ON_WM_CANCELMODE() {WM_CANCELMODE, WM_CANCELMODE, 0, 0, 0, QAV_MSG_FN(self->OnCancelMode(); return true;)},
#define ON_WM_GETDLGCODE() {WM_GETDLGCODE, WM_GETDLGCODE, 0, 0, 0, QAV_MSG_FN(*result_ = self->OnGetDlgCode(); return true;)},
#define ON_WM_SYSCOLORCHANGE() {WM_SYSCOLORCHANGE, WM_SYSCOLORCHANGE, 0, 0, 0, QAV_MSG_FN(self->OnSysColorChange(); return true;)},
#define ON_WM_KEYDOWN() {WM_KEYDOWN, WM_KEYDOWN, 0, 0, 0, QAV_MSG_FN(self->OnKeyDown(static_cast<UINT>(wParam_), 1, 0); return true;)},

struct CREATESTRUCT {
  LPVOID lpCreateParams = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  int cy = 0, cx = 0, y = 0, x = 0;
  LONG style = 0;
  LPCSTR lpszName = nullptr;
  DWORD dwExStyle = 0;
};
using LPCREATESTRUCT = CREATESTRUCT*;

// ---- Message functions (the Windows API the program calls) ----
BOOL IsWindow(HWND hwnd);
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues the message for the user-interface thread; FALSE when the window does not exist.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
void PostQuitMessage(int exitCode);
constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove);
BOOL GetMessage(MSG* msg, HWND hwnd, UINT first, UINT last);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void* unusedTimerProc = nullptr);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
BOOL DestroyWindow(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
HWND GetParent(HWND hwnd);
// Gives a top-level window another owner (as the window-long of its parent does), which it stays
// above from now on and goes with. The window manager is told.
void SetWindowOwner(HWND hwnd, HWND owner);
HWND GetDlgItem(HWND dlg, int id);
int GetDlgCtrlID(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND GetDesktopWindow();
BOOL SetWindowText(HWND hwnd, LPCSTR text);
int GetWindowText(HWND hwnd, LPSTR buffer, int max);
int GetWindowTextLength(HWND hwnd);
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- Command target and window classes ----
class CCmdTarget {
 public:
  CCmdTarget() = default;
  virtual ~CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  // Looks the command (WM_COMMAND with code) or notice (WM_NOTIFY) up in this object's map chain.
  virtual BOOL OnCmdMsg(UINT id, int code, UINT kind, WPARAM wParam, LPARAM lParam, LRESULT* result);

 protected:
  static const qav::ui::MsgMap* GetThisMessageMap();
  virtual const qav::ui::MsgMap* GetMessageMap() const { return GetThisMessageMap(); }
  // Runs the first entry of the map chain that matches; true when a handler took the message.
  bool DispatchToMap(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* result);
  friend class CWnd;
};

namespace qav::ui {
struct WndState;
enum class Kind;
}

namespace qav::ui {
// A window handle that other threads may read while the user-interface thread sets or clears it
// (a worker asks whether a list box still has its window). Reads and writes are atomic; it
// converts to and from HWND, so it is used like a plain handle.
class AtomicHwnd {
 public:
  AtomicHwnd() = default;
  AtomicHwnd(std::nullptr_t) {}
  AtomicHwnd(const AtomicHwnd& other) : m_h(static_cast<HWND>(other)) {}
  AtomicHwnd& operator=(const AtomicHwnd&) = delete;
  AtomicHwnd& operator=(HWND h) {
    m_h.store(h, std::memory_order_release);
    return *this;
  }
  operator HWND() const { return m_h.load(std::memory_order_acquire); }

 private:
  std::atomic<HWND> m_h{nullptr};
};
}  // namespace qav::ui

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;

  qav::ui::AtomicHwnd m_hWnd;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return GetSafeHwnd(); }

  // The attached object of a window, or a lasting wrapper of the kind's class when none is attached.
  static CWnd* FromHandle(HWND hwnd);
  static CWnd* FromHandlePermanent(HWND hwnd);
  static CWnd* GetFocus();
  static CWnd* GetDesktopWindow();

  // Creates a generic child or top-level window (frames and views use this).
  BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  virtual BOOL DestroyWindow();
  BOOL Attach(HWND hwnd);
  HWND Detach();
  // Binds this object to an existing window; runs PreSubclassWindow first.
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

  CWnd* GetParent() const;
  CWnd* GetOwner() const;
  CWnd* GetTopLevelParent() const;
  CWnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  CWnd* GetNextDlgTabItem(CWnd* ctl, BOOL previous = FALSE) const;
  void SetWindowText(LPCSTR text);
  int GetWindowText(LPSTR buffer, int max) const;
  std::string GetWindowText() const;
  // Any string type that takes a const char*.
  template <class S>
    requires requires(S s, const char* p) { s = p; }
  void GetWindowText(S& out) const { out = GetWindowText().c_str(); }
  int GetWindowTextLength() const;
  void SetDlgItemText(int id, LPCSTR text);
  int GetDlgItemText(int id, LPSTR buffer, int max) const;
  template <class S>
    requires requires(S s, const char* p) { s = p; }
  int GetDlgItemText(int id, S& out) const {
    CWnd* w = GetDlgItem(id);
    std::string t = w ? w->GetWindowText() : std::string();
    out = t.c_str();
    return static_cast<int>(t.size());
  }
  void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE);
  UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const;
  void CheckDlgButton(int id, UINT check);
  UINT IsDlgButtonChecked(int id) const;
  void CheckRadioButton(int first, int last, int check);
  int GetCheckedRadioButton(int first, int last) const;

  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int cmd);
  BOOL IsWindowVisible() const;
  BOOL IsIconic() const;
  BOOL IsZoomed() const;
  CWnd* SetFocus();
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  HICON SetIcon(HICON icon, BOOL big);

  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);

  void GetClientRect(LPRECT r) const;
  void GetWindowRect(LPRECT r) const;  // screen coordinates
  void ClientToScreen(LPPOINT p) const;
  void ClientToScreen(LPRECT r) const;
  void ScreenToClient(LPPOINT p) const;
  void ScreenToClient(LPRECT r) const;
  void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT r, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags);
  void CenterWindow(CWnd* alternate = nullptr);
  void Invalidate(BOOL erase = TRUE);
  void InvalidateRect(LPCRECT r, BOOL erase = TRUE);
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT r = nullptr, void* region = nullptr, UINT flags = RDW_INVALIDATE | RDW_ERASE);

  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, void* unusedTimerProc = nullptr);
  BOOL KillTimer(UINT_PTR id);
  int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = 0);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  // The window procedure: the message map first, then the kind's default behaviour.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual void PreSubclassWindow() {}
  virtual void PostNcDestroy() {}
  virtual void DoDataExchange(CDataExchange* dx) {}
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A notification sent by this window to its parent, offered back to this window first.
  virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
  LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Default handling of the message being handled now.
  LRESULT Default();

  // Handlers that the message-map macros reach; the defaults do the standard thing.
  int OnCreate(LPCREATESTRUCT cs) { return static_cast<int>(Default()); }
  void OnDestroy() { Default(); }
  void OnClose() { Default(); }
  void OnSize(UINT type, int cx, int cy) { Default(); }
  void OnTimer(UINT_PTR id) { Default(); }
  void OnPaint() { Default(); }
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) { return reinterpret_cast<HBRUSH>(Default()); }
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) { return static_cast<BOOL>(Default()); }
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) { Default(); }
  void OnVScroll(UINT code, UINT pos, CScrollBar* bar) { Default(); }
  void OnLButtonDown(UINT flags, CPoint p) { Default(); }
  void OnLButtonUp(UINT flags, CPoint p) { Default(); }
  void OnRButtonDown(UINT flags, CPoint p) { Default(); }
  void OnMouseMove(UINT flags, CPoint p) { Default(); }
  void OnMouseLeave() { Default(); }
  void OnKillFocus(CWnd* newWnd) { Default(); }
  void OnSetFocus(CWnd* oldWnd) { Default(); }
  void OnActivate(UINT state, CWnd* other, BOOL minimized) { Default(); }
  void OnEnable(BOOL enable) { Default(); }
  void OnCancelMode() { Default(); }
  UINT OnGetDlgCode() { return static_cast<UINT>(Default()); }
  void OnSysColorChange() { Default(); }
  void OnKeyDown(UINT ch, UINT repeat, UINT flags) { Default(); }

  // The state record of this window (the window system's own use).
  qav::ui::WndState* State() const;

 protected:
  static const qav::ui::MsgMap* GetThisMessageMap();
  const qav::ui::MsgMap* GetMessageMap() const override { return GetThisMessageMap(); }
  // Reflected notifications in this object's map.
  BOOL ReflectChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  friend struct qav::ui::WndState;
};
class CScrollBar : public CWnd {};

// ---- The user-interface thread and its loop ----
namespace qav::ui {
// Makes the calling thread the one that owns every window (done implicitly by the first window).
void BindUiThread();
bool IsUiThread();
// Runs a task on the user-interface thread, in order with posted messages.
void PostTask(std::function<void()> task);
// Any thread: runs a task on the user-interface thread as soon as that serves the messages other
// threads send (every wait does, that of Qt's own file choosers included) and returns once it has
// run; on the user-interface thread it runs at once.
void SendTask(const std::function<void()>& task);
// While input is held (HoldUserInput, as often as ReleaseUserInput has not undone it), the user's
// clicks and keys wait in the display's queue and come once it is released: they are neither
// handled nor lost, as a click on a window that is disabled for a moment would be. A modal
// window's loop takes input all the same. User-interface thread only.
void HoldUserInput();
void ReleaseUserInput();
bool UserInputHeld();
// Dispatches everything that is waiting (sent, posted, due timers, backend input) without
// blocking. False when a quit request was seen; the request is then posted again.
bool PumpPending();
// Waits for the next message and dispatches it; false when it was the quit request.
bool WaitAndDispatchOne();
// Waits until ready() is true or the time-out (ms, 0xFFFFFFFF = none) passes, serving the
// messages other threads send meanwhile. Returns ready()'s last answer.
bool WaitServingSends(const std::function<bool()>& ready, DWORD timeoutMs);
// Waits at most `timeoutMs` for something to do: the user's input, which is handled as it comes
// (a click runs its handlers before this returns), a message posted or sent, a due timer or a
// wake. Posted messages are left for the caller's next pump; while a quit request waits, the
// pumps stop at it and leave the rest, so posts do not end the wait then (it would never sleep
// again). A loop that waits for another thread pumps, looks at its condition and waits here, so
// the user's input is never held back.
void WaitForInput(DWORD timeoutMs);
// The same for one event: WAIT_OBJECT_0 when it is signalled (an auto-reset event is consumed),
// WAIT_TIMEOUT after the time-out.
DWORD WaitForEventServingSends(Event& event, DWORD timeoutMs);
// Any thread: wakes the user-interface thread's waits, so a WaitServingSends looks at its
// condition again at once.
void WakeUiThread();
// True once PostQuitMessage ran and the request was not taken yet.
bool QuitRequested();
int QuitCode();
// Clears the quit request (tests; a program that starts again).
void ResetQuit();
// Destroys every window and forgets queued messages and timers (between tests).
void ResetWindowSystem();
// Number of windows that exist.
int WindowCount();
}  // namespace qav::ui
