// What the files of the Qt backend share: text and colour helpers, the widgets that show our
// windows, and the backend object itself, whose members are defined by family across the files
// (qt_windows.cpp, qt_activation.cpp, qt_tool_windows.cpp, qt_choosers.cpp, qt_controls.cpp,
// qt_lists.cpp, qt_menus.cpp, qt_input.cpp, qt_loop.cpp).
// Nothing outside the backend includes it.
#pragma once

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QEvent>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/gdi.h"
#include "platform/ui/wnd_state.h"

class QAbstractButton;
class QComboBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QScrollArea;
class QTextEdit;
class QToolButton;
struct MenuItem;
struct xcb_connection_t;

namespace qav::ui::qt {

// ---- Text, colours, fonts, icons (qt_painter.cpp) ----
// Windows-1252 inside the program, UTF-8 in Qt.
QString Q(const std::string& cp1252);
std::string Cp(const QString& s);
QColor Colour(COLORREF c);
QFont FontOf(HFONT f);
QIcon IconOf(HICON icon);

// The colours a control's parent gives it (WM_CTLCOLOR*).
struct Colours {
  bool text = false;
  COLORREF textColour = 0;
  bool brush = false;  // a background of its own
  COLORREF brushColour = 0;
  bool hollow = false;  // no background at all: what is behind shows through
};
Colours AskColours(WndState* s);
void ApplyColours(QWidget* w, const Colours& c, QPalette::ColorRole background);

// The drawing operations of CDC on a Qt painter (owner-drawn buttons).
class QtPainter : public Painter {
 public:
  explicit QtPainter(QPainter& p) : m_p(p) {}
  void FillRect(const RECT& r, COLORREF c) override;
  void FrameRect(const RECT& r, COLORREF c) override;
  void Line(int x1, int y1, int x2, int y2, COLORREF c) override;
  void FocusRect(const RECT& r) override;
  void Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT font) override;
  SIZE Measure(const std::string& text, int width, UINT format, HFONT font) override;

 private:
  QPainter& m_p;
};

// ---- Widgets and their windows (qt_loop.cpp) ----
// Set while the backend itself changes a widget: the widget's change signals are then not the
// user's input.
extern int g_syncing;
struct Syncing {
  Syncing() { ++g_syncing; }
  ~Syncing() { --g_syncing; }
};

// The property that names the window a widget shows.
inline constexpr char kHwndProperty[] = "qavHwnd";
void Tag(QWidget* w, HWND h);
// The window a widget shows, or null.
HWND OwnHwnd(const QObject* o);
// The window of a widget or of the nearest widget above it that shows one (the inner parts of a
// combo box or a list view report as the control).
HWND HwndOf(const QObject* o);
// Part of an open menu or drop-down list, which handles its own keys and clicks.
bool IsPopup(const QObject* o);

// ---- The display (qt_display.cpp) ----
// Whether Qt runs on X (its platform not named, or named xcb).
bool QtOnX();

// Qt cannot start without a display: the X server is asked first, so a missing or refused one
// means no Qt backend instead of an aborted program. The question's connection is held until Qt
// has its own: an X server whose last client leaves resets itself, and a client that connects
// while it does is turned away, which Qt would answer by ending the program.
class DisplayProbe {
 public:
  DisplayProbe() = default;
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;
  ~DisplayProbe();
  bool QtCanStart();

 private:
  xcb_connection_t* c_ = nullptr;
};

// ---- The X server and its window manager (qt_activation.cpp) ----
// Qt's connection to the X server; null on other platforms.
xcb_connection_t* XConnection();
// A window manager that complies with the extended hints runs on the X server.
bool WindowManagerRuns(xcb_connection_t* c);
// The top-level windows from the bottom up as the window manager stacks them; empty without one.
std::vector<uint32_t> ClientStacking(xcb_connection_t* c);

// ---- Top-level windows and panels (qt_windows.cpp) ----
// A dialog or form view inside another window (a form view in a frame, a page in a sheet).
class Panel : public QWidget {
 public:
  using QWidget::QWidget;
};

// A top-level window: a menu bar for frames, and a scrolling client area, so a form larger than
// its frame can be scrolled instead of squeezed.
class TopWindow : public QWidget {
 public:
  TopWindow(HWND h, Qt::WindowFlags flags);
  QScrollArea* area;
  QWidget* canvas;
  QMenuBar* menu = nullptr;
  int menuHeight = 0;
  QRect normal;  // the place before the window was maximised

  void Place();
  void Fit();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void Moved(bool resized);
  HWND m_hwnd;
};

// ---- Controls (qt_controls.cpp) ----
// A group box as the dialogs are laid out for: the frame's top line runs through the middle of
// the title, which is drawn over it at the left, and the inside is not filled, so the controls
// placed inside the template's rectangle sit inside the frame and a check box placed over the
// title covers it.
class GroupFrame : public QWidget {
 public:
  using QWidget::QWidget;
  void SetTitle(const QString& title);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString m_title;
};

// Two arrows that step a value; the control itself takes the focus, the arrows do not.
class SpinWidget : public QWidget {
 public:
  SpinWidget(HWND h, QWidget* parent);
  QToolButton* up;
  QToolButton* down;

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  QToolButton* MakeArrow(Qt::ArrowType type, HWND h, bool isUp);
};

// ---- Lists (qt_lists.cpp) ----
// The lines of a list box, read from its state when the view asks: a list of a million lines
// costs the view nothing beyond what the state holds. Changes are taken in one step when the
// event loop next runs (appends as one insertion, anything else as a reset).
class LineModel : public QAbstractListModel {
 public:
  LineModel(HWND h, QObject* parent) : QAbstractListModel(parent), m_hwnd(h) {}
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
  QVariant data(const QModelIndex& index, int role) const override;
  // The state changed: take it in when the loop next runs.
  void Changed(bool append);
  // Brings the rows in step with the state; true when they changed.
  bool Flush();
  // Every line is drawn again (the selection changed).
  void Repaint();
  int rows() const { return m_rows; }

 private:
  HWND m_hwnd;
  int m_rows = 0;
  bool m_dirty = false;
  bool m_onlyAppends = true;
};

class ListWidget : public QListView {
 public:
  ListWidget(HWND h, QWidget* parent);
  int lineHeight = 0;  // the line height the view was laid out with
  int widestLine = 0;  // pixels of the widest line of a multi-column list or one that scrolls sideways
  int TopRow() const;
  // A multi-column list's columns: as wide as the program asks, and at least as wide as the
  // widest line (`line`: only that one is new; -1: measure them all). A list with a horizontal
  // scroll bar: its lines as wide as the widest, at least as wide as the view.
  void FitColumns(ListBoxState* l, int line);
  void FitWidth(ListBoxState* l);
  // A multi-column list lays its lines out top to bottom, as many to a column as its client area
  // holds, then in columns; the state learns that count (keys and item-from-point follow it).
  void FitRows(ListBoxState* l);
  LineModel* model;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  HWND m_hwnd;
};

// ---- Tabs (qt_menus.cpp) ----
// The tabs of a property sheet: the pages are our own windows, laid over the pane.
class TabsWidget : public QTabWidget {
 public:
  using QTabWidget::QTabWidget;
  void SetTabs(const std::vector<std::string>& tabs);
};

// ---- The backend ----
class QtBackend : public Backend, public QObject {
 public:
  QtBackend();
  const char* Name() const override { return "qt"; }
  void Created(WndState* s) override;
  void Destroyed(WndState* s) override;
  void Changed(WndState* s) override;
  void Raise(WndState* s, bool activate) override;
  void Activate(WndState* s) override;
  bool Active(WndState* s) override;
  void OwnerChanged(WndState* s) override;  // qt_activation.cpp
  void ListChanged(WndState* s, ListChange what, int index) override;
  void Poll() override;
  void Wait(double seconds) override;
  void Wake() override;
  void CloseOwnModals() override;  // qt_choosers.cpp
  void CursorChanged(CursorKind shape) override;
  BaseUnits FontUnits(HFONT font) override;
  std::string WrapText(const std::string& text, int width, int height, SIZE* size) override;  // qt_choosers.cpp
  int ListItemHeight(HFONT font) override;
  SIZE ScreenSize() override;
  int MenuBarHeight() override;
  int TabBarHeight() override;
  // A top-level window became the active one (TopWindow::changeEvent; qt_activation.cpp).
  void Activated(WndState* s);
  // qt_loop.cpp: an event was lost for want of memory; every window is drawn again a moment later.
  void RepaintLater() noexcept;
  // qt_tool_windows.cpp: a window was shown (`shown`), moved or resized (TopWindow): the tool
  // windows of an owner keep clear of its controls.
  void ScheduleKeepClear(WndState* s, bool shown);
  // Gives an X window the keyboard where no window manager does (qt_activation.cpp).
  static void FocusWithoutWindowManager(QWidget* win);
  // Types a Qt dialog of our own making (a chooser, the box over it) as a dialog, as our dialogs
  // are, and marks a window modal (qt_tool_windows.cpp). Call before it is shown.
  static void DialogType(QWidget* win);
  static void ModalState(QWidget* win);
  // A Qt dialog of our own making (a chooser) belongs to the window it is shown over (qt_choosers.cpp).
  static void OwnQtDialog(QWidget* dialog, HWND owner);

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  static constexpr QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 17);

  // qt_input.cpp: keys and clicks go through the window system first.
  bool Key(QObject* o, QKeyEvent* k);
  bool MnemonicKey(WndState* s, const QString& key);
  void TabFrom(WndState* s, bool back);
  void StepRadio(WndState* s, bool back);
  bool Mouse(QObject* o, QMouseEvent* m);

  // qt_windows.cpp: top-level windows.
  static QWidget* HostOf(WndState* s);
  static Qt::WindowFlags FrameFlags(const WndState* s);
  void Realize(WndState* s);
  void SyncTop(WndState* s, TopWindow* win);
  void FocusWidget(WndState* s);
  bool WaitForOwner(WndState* s);
  void ShowWaitingOwned(WndState* owner);
  void ScheduleFit(WndState* top);
  void Forget(QWidget* w);
  void Reap();

  // qt_activation.cpp: activation and stacking.
  void RaiseOwned(WndState* s);
  void SetOwner(WndState* s, TopWindow* win);
  void KeepActivationWhereItIs(WndState* s);
  void KeepActivationAway(QWidget* activated);
  bool ActivateModalOver(WndState* s);
  void HoldActivation(QWidget* activated);
  void OwnerHint(WndState* s, TopWindow* win, bool on);
  void TellOwnedWindows(WndState* owner);

  // qt_tool_windows.cpp: a top-level window was minimised or brought back by the window manager.
  void StateChanged(QWidget* w, bool wasMinimized);
  static void Unminimise(QWidget* win);

  // qt_tool_windows.cpp: windows that live beside their owner.
  void ToolWindowType(WndState* s, TopWindow* win, bool tool);
  void KeepClear(WndState* owner);

  // qt_controls.cpp: child windows.
  QWidget* Build(WndState* s);
  void Sync(WndState* s);
  void SyncStatic(WndState* s, QLabel* l);
  void SyncColours(WndState* s);
  void ResyncChildColours(WndState* s);
  void SyncRich(RichEditState* s, QTextEdit* t);

  // qt_lists.cpp: list and combo boxes.
  void SyncList(ListBoxState* l, ListWidget* v);
  void SyncCombo(ComboBoxState* s, QComboBox* c);
  bool ListMouse(HWND h, ListWidget* v, QMouseEvent* m);
  bool ListKey(HWND h, const ListBoxState* l, QKeyEvent* k);

  // qt_menus.cpp: menu bars and the tabs of sheets.
  void BuildMenu(QMenuBar* bar, const std::vector<MenuItem>& items, HWND frame);
  void FillMenu(QMenu* menu, const std::vector<MenuItem>& items, HWND frame);
  QWidget* MakeTabs(HWND h, QWidget* host);
  bool SwitchPage(WndState* s, bool back);

  QTimer m_waitTimer;
  QTimer m_repaintTimer;  // draws the windows again after an event lost for want of memory
  static constexpr int kRepaintAfterNoMemoryMs = 250;
  int m_depth = 0;  // our event processing in progress (Wait, Poll)
  std::vector<QPointer<QWidget>> m_dead;
  std::atomic<bool> m_wakePending{false};
  std::set<HWND> m_fit;
  std::set<HWND> m_keepClear;  // owners whose tool windows are placed once the loop runs again
  std::set<HWND> m_waitingForOwner;  // windows shown before their owner, mapped when it is
  std::map<HWND, int> m_frameWaits;  // owners whose tool windows wait for their frame: the tries
  HWND m_focused = nullptr;  // the control whose widget last took the focus
  // A window raised without activation, when, and the window that was active then.
  HWND m_shownInactive = nullptr;
  QElapsedTimer m_shownInactiveAt;
  QPointer<QWidget> m_keepActive;
  // The window the program last activated itself (the owner a modal window went back to), and when.
  QPointer<QWidget> m_activated;
  QElapsedTimer m_activatedAt;
  // The window the program last asked the display to make active, and when, until the display has
  // made it so (or the user clicked). Meanwhile no other window counts as active (Active).
  QPointer<QWidget> m_asked;
  QElapsedTimer m_askedAt;
  static constexpr int kAskedAnswerMs = 2000;  // how long the display may take to answer
  void AskActive(QWidget* win);
};

extern QtBackend* g_qt;

}  // namespace qav::ui::qt
