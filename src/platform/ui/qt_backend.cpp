// The Qt backend: every window of the registry is shown by a Qt 6 widget placed at its own
// geometry (no layouts, so nothing is stretched), and the widgets' clicks, keys, focus changes,
// scrolling and selections come back as the calls of input.h. Text is Windows-1252 inside the
// program and UTF-8 only here. Other threads wake the user-interface thread with queued Qt
// events, so every loop on it (ours, a menu, the file chooser) serves their sends.
#include <QAbstractEventDispatcher>
#include <QAbstractListModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/base/text.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {
namespace {

QString Q(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }
std::string Cp(const QString& s) { return Utf8ToCp1252(s.toStdString()); }
QColor Colour(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Set while the backend itself changes a widget: the widget's change signals are then not the
// user's input.
int g_syncing = 0;
struct Syncing {
  Syncing() { ++g_syncing; }
  ~Syncing() { --g_syncing; }
};

const char* const kHwndProperty = "qavHwnd";

void Tag(QWidget* w, HWND h) { w->setProperty(kHwndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(h))); }

HWND OwnHwnd(const QObject* o) {
  QVariant v = o != nullptr ? o->property(kHwndProperty) : QVariant();
  return v.isValid() ? reinterpret_cast<HWND>(v.value<quintptr>()) : nullptr;
}

// The window of a widget or of the nearest widget above it that shows one (the inner parts of a
// combo box or a list view report as the control).
HWND HwndOf(const QObject* o) {
  for (; o != nullptr; o = o->parent())
    if (HWND h = OwnHwnd(o)) return h;
  return nullptr;
}

QFont FontOf(HFONT f) {
  const LOGFONT* lf = f != nullptr ? &f->lf : nullptr;
  std::string face = lf != nullptr ? lf->lfFaceName : "";
  for (char& c : face) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool fixed = face.find("courier") != std::string::npos || face.find("fixed") != std::string::npos ||
               face.find("mono") != std::string::npos || face.find("console") != std::string::npos;
  QFont font = fixed ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QApplication::font();
  font.setPixelSize(lf != nullptr && lf->lfHeight != 0 ? std::abs(static_cast<int>(lf->lfHeight)) : 11);
  if (lf != nullptr) {
    font.setBold(lf->lfWeight >= FW_BOLD);
    font.setItalic(lf->lfItalic != 0);
    font.setUnderline(lf->lfUnderline != 0);
  }
  return font;
}

// The colours a control's parent gives it (WM_CTLCOLOR*).
struct Colours {
  bool text = false;
  COLORREF textColour = 0;
  bool brush = false;  // a background of its own
  COLORREF brushColour = 0;
  bool hollow = false;  // no background at all: what is behind shows through
};

Colours AskColours(WndState* s) {
  Colours c;
  UINT msg = WM_CTLCOLORSTATIC;
  switch (s->kind) {
    case Kind::Edit:
    case Kind::RichEdit: msg = (s->style & ES_READONLY) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT; break;
    case Kind::ListBox:
    case Kind::ComboBox: msg = WM_CTLCOLORLISTBOX; break;
    case Kind::Button: msg = WM_CTLCOLORBTN; break;
    case Kind::Dialog: msg = WM_CTLCOLORDLG; break;
    default: break;
  }
  HWND to = s->kind == Kind::Dialog ? s->hwnd : s->parent;
  if (to == nullptr) return c;
  HWND self = s->hwnd;
  CDC dc;
  auto brush = reinterpret_cast<HBRUSH>(Send(to, msg, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), reinterpret_cast<LPARAM>(self)));
  if (Find(self) == nullptr) return c;
  c.text = dc.TextColorSet();
  c.textColour = dc.GetTextColor();
  // The brush answered fills the control's (or the dialog's) background whatever the background
  // mode: a transparent mode only leaves the text without a box of its own. A hollow brush fills
  // nothing, so the control shows what is behind it; a stock brush is the system's own colour,
  // which the widget has already.
  c.hollow = brush != nullptr && brush->hollow;
  if (brush != nullptr && !brush->stock && !brush->hollow) {
    c.brush = true;
    c.brushColour = brush->color;
  }
  return c;
}

// Sets only the roles the answer names; every other role follows the parent widget, so a
// control without colours of its own shows its parent's even after the parent's change.
void ApplyColours(QWidget* w, const Colours& c, QPalette::ColorRole background) {
  QPalette p;
  p.setResolveMask(0);
  if (c.text) {
    // Disabled text keeps the style's grey, as a disabled control does whatever its colours.
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
      for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(g, r, Colour(c.textColour));
  }
  if (c.brush) p.setColor(background, Colour(c.brushColour));
  w->setPalette(p);
  w->setAutoFillBackground(c.brush && background == w->backgroundRole());
}

// ---- Painter on Qt ----
class QtPainter : public Painter {
 public:
  explicit QtPainter(QPainter& p) : m_p(p) {}
  void FillRect(const RECT& r, COLORREF c) override { m_p.fillRect(Rect(r), Colour(c)); }
  void FrameRect(const RECT& r, COLORREF c) override {
    m_p.setPen(Colour(c));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
  }
  void Line(int x1, int y1, int x2, int y2, COLORREF c) override {
    m_p.setPen(Colour(c));
    m_p.drawLine(x1, y1, x2, y2);
  }
  void FocusRect(const RECT& r) override {
    m_p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
  }
  void Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT font) override {
    m_p.setFont(FontOf(font));
    m_p.setPen(Colour(color));
    m_p.drawText(Rect(r), Flags(format), Q(text));
  }
  SIZE Measure(const std::string& text, int width, UINT format, HFONT font) override {
    QFontMetrics fm(FontOf(font));
    QRect b = fm.boundingRect(QRect(0, 0, width > 0 ? width : 100000, 100000), Flags(format), Q(text));
    return SIZE{b.width(), b.height()};
  }

 private:
  static QRect Rect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  static int Flags(UINT format) {
    int f = (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    f |= (format & (DT_VCENTER | DT_SINGLELINE)) ? Qt::AlignVCenter : Qt::AlignTop;
    if (format & DT_WORDBREAK) f |= Qt::TextWordWrap;
    return f;
  }
  QPainter& m_p;
};

// ---- Icons ----
QIcon IconOf(HICON icon) {
  QStyle* st = QApplication::style();
  uintptr_t id = icon != nullptr ? icon->id : 32516;
  switch (id) {
    case 32513: return st->standardIcon(QStyle::SP_MessageBoxCritical);
    case 32514: return st->standardIcon(QStyle::SP_MessageBoxQuestion);
    case 32515: return st->standardIcon(QStyle::SP_MessageBoxWarning);
    case 32516: return st->standardIcon(QStyle::SP_MessageBoxInformation);
    default: break;
  }
  // The program's own icons: a badge in a colour of their id, so each looks different.
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor::fromHsv(static_cast<int>(id * 47 % 360), 160, 190));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRect(1, 1, 30, 30), 6, 6);
  p.setPen(Qt::white);
  QFont f = QApplication::font();
  f.setPixelSize(18);
  f.setBold(true);
  p.setFont(f);
  p.drawText(pm.rect(), Qt::AlignCenter, "Q");
  return QIcon(pm);
}

// ---- The widgets ----
// A dialog or form view inside another window (a form view in a frame, a page in a sheet).
class Panel : public QWidget {
 public:
  using QWidget::QWidget;
};

// A top-level window: a menu bar for frames, and a scrolling client area, so a form larger than
// its frame can be scrolled instead of squeezed.
class TopWindow : public QWidget {
 public:
  TopWindow(HWND h, bool dialog) : QWidget(nullptr, dialog ? Qt::Dialog : Qt::Window), m_hwnd(h) {
    Tag(this, h);
    area = new QScrollArea(this);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(false);
    canvas = new QWidget;
    canvas->setAutoFillBackground(false);
    area->setWidget(canvas);
    area->viewport()->setAutoFillBackground(false);
  }
  QScrollArea* area;
  QWidget* canvas;
  QMenuBar* menu = nullptr;
  int menuHeight = 0;
  QRect normal;  // the place before the window was maximised

  void Place() {
    if (menu != nullptr) menu->setGeometry(0, 0, width(), menuHeight);
    area->setGeometry(0, menuHeight, width(), std::max(0, height() - menuHeight));
    Fit();
  }
  // The canvas holds every child at its own place and fills what the scroll bars leave of the
  // client area. A panel (a form view, which the frame sizes to its client area) counts with its
  // controls only, so a form wider than the frame scrolls sideways without a vertical bar too.
  void Fit() {
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

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();  // the window decides in its WM_CLOSE handler
    input::Close(m_hwnd);
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    Place();
    Moved(true);
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    Moved(false);
  }
  void changeEvent(QEvent* e) override {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange) return;
    WndState* s = Find(m_hwnd);
    if (s == nullptr || g_syncing > 0) return;
    s->maximized = isMaximized();
    s->minimized = isMinimized();
  }

 private:
  // The user (or the window manager) moved or resized the window: the state follows, and
  // WM_SIZE lets the window lay out its children itself.
  void Moved(bool resized) {
    WndState* s = Find(m_hwnd);
    if (s == nullptr || s->native != this) return;
    QRect g = geometry();
    bool sized = s->Width() != g.width() || s->Height() != g.height();
    s->rect = RECT{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
    if (resized && sized) {
      UINT how = isMaximized() ? SIZE_MAXIMIZED : isMinimized() ? SIZE_MINIMIZED : SIZE_RESTORED;
      Send(m_hwnd, WM_SIZE, how, MAKELPARAM(g.width(), g.height() - s->clientTop));
    }
  }
  HWND m_hwnd;
};

// A child window that holds controls (a form view, a property page, a generic child).
// A group box as the dialogs are laid out for: the frame's top line runs through the middle of
// the title, which is drawn over it at the left, and the inside is not filled, so the controls
// placed inside the template's rectangle sit inside the frame and a check box placed over the
// title covers it.
class GroupFrame : public QWidget {
 public:
  using QWidget::QWidget;
  void SetTitle(const QString& title) {
    if (title == m_title) return;
    m_title = title;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int top = fm.height() / 2;
    const QRect r = rect().adjusted(0, top, -1, -1);
    // An etched line: dark, then light one pixel inside.
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(r.adjusted(1, 1, 0, 0));
    if (m_title.isEmpty()) return;
    const int x = fm.averageCharWidth() + 2;
    QRect text = fm.boundingRect(QRect(x, 0, std::max(0, width() - 2 * x), fm.height()),
                                 Qt::AlignLeft | Qt::TextShowMnemonic | Qt::TextSingleLine, m_title);
    text.setHeight(fm.height());
    p.fillRect(text.adjusted(-2, 0, 2, 0), palette().brush(QPalette::Window));
    style()->drawItemText(&p, text, Qt::AlignLeft | Qt::TextShowMnemonic | Qt::TextSingleLine, palette(), isEnabled(),
                          m_title, QPalette::WindowText);
  }

 private:
  QString m_title;
};

class OwnerButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QtPainter painter(p);
    PaintOwnerDrawn(OwnHwnd(this), painter);
  }
};

// Two arrows that step a value; the control itself takes the focus, the arrows do not.
class SpinWidget : public QWidget {
 public:
  explicit SpinWidget(HWND h, QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    up = MakeArrow(Qt::UpArrow, h, true);
    down = MakeArrow(Qt::DownArrow, h, false);
  }
  QToolButton* up;
  QToolButton* down;

 protected:
  void resizeEvent(QResizeEvent*) override {
    up->setGeometry(0, 0, width(), height() / 2);
    down->setGeometry(0, height() / 2, width(), height() - height() / 2);
  }

 private:
  QToolButton* MakeArrow(Qt::ArrowType type, HWND h, bool isUp) {
    auto* b = new QToolButton(this);
    b->setArrowType(type);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(6, 6));
    QObject::connect(b, &QToolButton::clicked, b, [h, isUp] { input::Spin(h, isUp); });
    return b;
  }
};

// The lines of a list box, read from its state when the view asks: a list of a million lines
// costs the view nothing beyond what the state holds. Changes are taken in one step when the
// event loop next runs (appends as one insertion, anything else as a reset).
class LineModel : public QAbstractListModel {
 public:
  explicit LineModel(HWND h, QObject* parent) : QAbstractListModel(parent), m_hwnd(h) {}
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
  QVariant data(const QModelIndex& index, int role) const override {
    auto* l = static_cast<ListBoxState*>(Find(m_hwnd));
    if (l == nullptr || l->kind != Kind::ListBox || !index.isValid() || index.row() >= static_cast<int>(l->lines.size()))
      return QVariant();
    const size_t row = static_cast<size_t>(index.row());
    bool selected = !l->NoSel() && (l->Multi() ? l->lines.Selected(row) : index.row() == l->cur);
    switch (role) {
      case Qt::DisplayRole: return QString::fromStdString(Cp1252ToUtf8(l->lines.Text(row)));
      case Qt::BackgroundRole:
        return selected ? QVariant(QApplication::palette().brush(QPalette::Highlight)) : QVariant();
      case Qt::ForegroundRole:
        return selected ? QVariant(QApplication::palette().brush(QPalette::HighlightedText)) : QVariant();
      case Qt::SizeHintRole: return QSize(std::max(l->columnWidth, 8), std::max(l->itemHeight, 1));
      default: return QVariant();
    }
  }
  // The state changed: take it in when the loop next runs.
  void Changed(bool append) {
    if (!append) m_onlyAppends = false;
    if (m_dirty) return;
    m_dirty = true;
    QTimer::singleShot(0, this, [this] { Flush(); });
  }
  // Brings the rows in step with the state; true when they changed.
  bool Flush() {
    if (!m_dirty) return false;
    m_dirty = false;
    auto* l = static_cast<ListBoxState*>(Find(m_hwnd));
    int n = l != nullptr ? static_cast<int>(l->lines.size()) : 0;
    if (m_onlyAppends && n > m_rows) {
      beginInsertRows(QModelIndex(), m_rows, n - 1);
      m_rows = n;
      endInsertRows();
    } else if (!m_onlyAppends || n != m_rows) {
      beginResetModel();
      m_rows = n;
      endResetModel();
    }
    m_onlyAppends = true;
    return true;
  }
  void Repaint(int row) {
    if (row >= 0 && row < m_rows) Q_EMIT dataChanged(index(row), index(row));
    else if (m_rows > 0) Q_EMIT dataChanged(index(0), index(m_rows - 1));
  }
  int rows() const { return m_rows; }

 private:
  HWND m_hwnd;
  int m_rows = 0;
  bool m_dirty = false;
  bool m_onlyAppends = true;
};

class ListWidget : public QListView {
 public:
  ListWidget(HWND h, QWidget* parent) : QListView(parent), model(new LineModel(h, this)), m_hwnd(h) {
    setModel(model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);  // the state holds the selection
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    // The first line shown follows the user's scrolling, so item-from-point finds the right line.
    auto top = [this] {
      if (g_syncing > 0) return;
      if (auto* l = static_cast<ListBoxState*>(Find(m_hwnd))) l->top = TopRow();
    };
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, top);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, top);
  }
  int lineHeight = 0;  // the line height the view was laid out with
  int TopRow() const {
    QModelIndex i = indexAt(QPoint(1, 1));
    return i.isValid() ? i.row() : 0;
  }
  LineModel* model;

 private:
  HWND m_hwnd;
};

// The tabs of a property sheet: the pages are our own windows, laid over the pane.
class TabsWidget : public QTabWidget {
 public:
  using QTabWidget::QTabWidget;
  void SetTabs(const std::vector<std::string>& tabs) {
    bool same = count() == static_cast<int>(tabs.size());
    for (int i = 0; same && i < count(); ++i) same = tabText(i) == Q(tabs[static_cast<size_t>(i)]);
    if (same) return;
    while (count() > 0) {
      QWidget* w = widget(0);
      removeTab(0);
      delete w;
    }
    for (const std::string& t : tabs) addTab(new QWidget, Q(t));
  }
};

bool IsPopup(const QObject* o) {
  auto* w = qobject_cast<const QWidget*>(o);
  return w != nullptr && (w->window()->windowType() == Qt::Popup || qobject_cast<const QMenu*>(w->window()) != nullptr);
}

// ---- The backend ----
class QtBackend : public Backend, public QObject {
 public:
  QtBackend() {
    m_waitTimer.setSingleShot(true);
    m_waitTimer.setTimerType(Qt::PreciseTimer);
    qApp->installEventFilter(this);
  }
  const char* Name() const override { return "qt"; }

  void Created(WndState* s) override {
    if (s->native != nullptr || !s->IsChild()) return;  // top-level windows are built when first shown
    WndState* top = TopLevelOf(s);
    if (top == nullptr || top->native == nullptr) return;
    Build(s);
    ScheduleFit(top);
  }

  void Destroyed(WndState* s) override {
    auto* w = static_cast<QWidget*>(s->native);
    if (w == nullptr) return;
    s->native = nullptr;
    Forget(w);
    m_fit.erase(s->hwnd);
    w->hide();
    // The widget may be sending the signal that destroyed its window: it goes when no handler
    // and no wait of ours is left on the stack (Reap).
    m_dead.emplace_back(w);
  }

  void Changed(WndState* s) override {
    if (s->native == nullptr) {
      if (!s->IsChild() && s->Visible()) Realize(s);
      return;
    }
    Sync(s);
  }

  void Raise(WndState* s) override {
    auto* win = dynamic_cast<TopWindow*>(static_cast<QWidget*>(s->native));
    if (win == nullptr || !win->isVisible()) return;
    if (QGuiApplication::platformName() != "offscreen") win->raise();
    win->activateWindow();
    if (QGuiApplication::platformName() == "xcb") FocusWithoutWindowManager(win);
  }

  // Qt asks the X server for the focus with the time of the last event it saw; with no window
  // manager to pass the request on, the server ignores it once another client moved the focus
  // later. The request at the server's current time always holds.
  static void FocusWithoutWindowManager(QWidget* win) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen == nullptr) return;
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
    if (managed) return;
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, static_cast<xcb_window_t>(win->winId()), XCB_CURRENT_TIME);
    xcb_flush(c);
  }

  void ListChanged(WndState* s, ListChange what, int index) override {
    auto* w = static_cast<QWidget*>(s->native);
    if (w == nullptr) return;
    if (s->kind == Kind::ComboBox) {
      SyncCombo(static_cast<ComboBoxState*>(s), static_cast<QComboBox*>(w));
      return;
    }
    auto* v = static_cast<ListWidget*>(w);
    auto* l = static_cast<ListBoxState*>(s);
    switch (what) {
      case ListChange::Inserted: v->model->Changed(index == static_cast<int>(l->lines.size()) - 1); break;
      case ListChange::Deleted:
      case ListChange::Reset: v->model->Changed(false); break;
      case ListChange::Selection: {
        v->model->Flush();
        v->model->Repaint(l->Multi() ? index : -1);
        Syncing guard;
        // The focus frame is on the caret line, not on the first line.
        if (l->caret >= 0 && l->caret < v->model->rows())
          v->selectionModel()->setCurrentIndex(v->model->index(l->caret), QItemSelectionModel::NoUpdate);
        if (!l->Multi() && l->cur >= 0) v->scrollTo(v->model->index(l->cur), QAbstractItemView::EnsureVisible);
        break;
      }
      case ListChange::Top: {
        v->model->Flush();
        Syncing guard;
        if (l->top < v->model->rows()) v->scrollTo(v->model->index(l->top), QAbstractItemView::PositionAtTop);
        break;
      }
    }
  }

  void Poll() override {
    ++m_depth;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --m_depth;
    Reap();
  }

  void Wait(double seconds) override {
    if (seconds >= 0) m_waitTimer.start(static_cast<int>(std::ceil(seconds * 1000)));
    ++m_depth;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    --m_depth;
    m_waitTimer.stop();
    Reap();
  }

  // Any thread: one queued event wakes the user-interface thread, however many requests came.
  void Wake() override {
    if (m_wakePending.exchange(true)) return;
    QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
  }

  void CursorChanged(CursorKind shape) override {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
    if (shape == CursorKind::Wait) QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (shape == CursorKind::Hand) QApplication::setOverrideCursor(Qt::PointingHandCursor);
  }

  BaseUnits FontUnits(HFONT font) override {
    QFontMetrics fm(FontOf(font));
    BaseUnits u;
    int w = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    u.cx = (w / 26 + 1) / 2;
    u.cy = fm.height();
    return u;
  }

  int ListItemHeight(HFONT font) override { return QFontMetrics(FontOf(font)).height() + 2; }

  SIZE ScreenSize() override {
    QScreen* sc = QGuiApplication::primaryScreen();
    QRect r = sc != nullptr ? sc->availableGeometry() : QRect(0, 0, 1280, 1024);
    return SIZE{r.width(), r.height()};
  }

  int MenuBarHeight() override {
    QMenuBar bar;
    bar.addMenu("&File");
    return bar.sizeHint().height();
  }

  int TabBarHeight() override {
    QTabBar bar;
    bar.setFont(FontOf(nullptr));
    bar.addTab("Tab");
    return bar.sizeHint().height();
  }

  QWidget* WidgetOf(HWND h) {
    WndState* s = Find(h);
    return s != nullptr ? static_cast<QWidget*>(s->native) : nullptr;
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kWakeEvent) return QObject::event(e);
    m_wakePending = false;
    ServeSentMessages();
    return true;
  }

  bool eventFilter(QObject* o, QEvent* e) override {
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
      case QEvent::MouseButtonDblClick: return !IsPopup(o) && Mouse(o, static_cast<QMouseEvent*>(e));
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
      case QEvent::Leave:
        if (HWND h = OwnHwnd(o); h != nullptr && !static_cast<QWidget*>(o)->isWindow()) input::MouseLeave(h);
        return false;
      default: return false;
    }
  }

 private:
  static constexpr QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 17);

  // Keys that windows act on go through the window system first: Enter for the default button,
  // Escape for Cancel, Tab in the template's order, arrows inside radio groups and lists,
  // Ctrl+Tab between the pages of a sheet, and whatever a PreTranslateMessage wants.
  bool Key(QObject* o, QKeyEvent* k) {
    HWND h = HwndOf(o);
    WndState* s = Find(h);
    if (s == nullptr) return false;
    const bool ctrl = (k->modifiers() & Qt::ControlModifier) != 0;
    const bool shift = (k->modifiers() & Qt::ShiftModifier) != 0;
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
        if (s->kind == Kind::ListBox && (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down)) {
          input::Key(h, k->key() == Qt::Key_Up ? VK_UP : VK_DOWN);
          return true;
        }
        return false;
      }
    }
  }

  // Alt and a letter: the control whose text marks that letter with '&' acts as if clicked; a
  // label or group box gives the focus to the control that follows it.
  bool MnemonicKey(WndState* s, const QString& key) {
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
        if (t[k + 1] == '&') { ++k; continue; }
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
  void TabFrom(WndState* s, bool back) {
    WndState* top = TopLevelOf(s);
    if (top == nullptr) return;
    if (HWND next = NextTabStop(top->hwnd, s->hwnd, back)) input::Focus(next);
  }

  // Arrow keys in a radio group move to the next button and check it, as a click does.
  void StepRadio(WndState* s, bool back) {
    std::vector<WndState*> group;
    for (WndState* r : RadioGroupOf(s))
      if (r->Visible() && r->Enabled()) group.push_back(r);
    auto it = std::find(group.begin(), group.end(), s);
    if (it == group.end() || group.size() < 2) return;
    size_t i = static_cast<size_t>(it - group.begin());
    i = back ? (i + group.size() - 1) % group.size() : (i + 1) % group.size();
    input::Click(group[i]->hwnd);
  }

  // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+Page Down/Up: the next or previous page of a sheet.
  bool SwitchPage(WndState* s, bool back) {
    WndState* top = TopLevelOf(s);
    WndState* tabs = nullptr;
    if (top != nullptr)
      ForEachDescendant(top, [&](WndState* c) {
        if (tabs == nullptr && c->kind == Kind::Tab) tabs = c;
      });
    if (tabs == nullptr) return false;
    auto* t = static_cast<TabState*>(tabs);
    int n = static_cast<int>(t->tabs.size());
    if (n < 2) return true;
    HWND th = t->hwnd;
    input::SelectTab(th, ((t->cur < 0 ? 0 : t->cur) + (back ? n - 1 : 1)) % n);
    if (Find(th) != nullptr) input::Focus(th);
    return true;
  }

  bool Mouse(QObject* o, QMouseEvent* m) {
    HWND h = HwndOf(o);
    WndState* s = Find(h);
    auto* w = qobject_cast<QWidget*>(o);
    if (s == nullptr || w == nullptr) return false;
    if (s->kind == Kind::ListBox) {
      auto* v = static_cast<ListWidget*>(s->native);
      if (v == nullptr || o != v->viewport()) return false;  // the scroll bars work as usual
      v->model->Flush();
      QPoint p = m->position().toPoint();
      if (m->button() == Qt::RightButton) {
        input::RightClick(h, p.x(), p.y());
        return true;
      }
      if (m->button() != Qt::LeftButton) return true;
      QModelIndex i = v->indexAt(p);
      if (!i.isValid()) {
        input::Focus(h);
        return true;
      }
      UINT keys = ((m->modifiers() & Qt::ShiftModifier) ? MK_SHIFT : 0) | ((m->modifiers() & Qt::ControlModifier) ? MK_CONTROL : 0);
      if (m->type() == QEvent::MouseButtonDblClick) input::DoubleClickLine(h, i.row());
      else input::SelectLine(h, i.row(), keys);
      return true;
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

  void Forget(QWidget* w) {
    // Signals of a widget on its way out are no longer the user's input.
    w->setProperty(kHwndProperty, QVariant());
    for (QObject* c : w->findChildren<QObject*>()) c->setProperty(kHwndProperty, QVariant());
  }

  // The widget children of a window go into: a top-level window's canvas, or the panel itself.
  static QWidget* HostOf(WndState* s) {
    auto* w = static_cast<QWidget*>(s->native);
    if (auto* top = dynamic_cast<TopWindow*>(w)) return top->canvas;
    return w;
  }

  void Realize(WndState* s) {
    bool dialog = s->owner != nullptr || s->kind == Kind::Dialog;
    auto* win = new TopWindow(s->hwnd, dialog);
    s->native = win;
    if (auto* frame = dynamic_cast<CFrameWnd*>(s->object); frame != nullptr && frame->Menu() != nullptr) {
      win->menu = new QMenuBar(win);
      BuildMenu(win->menu, *frame->Menu(), s->hwnd);
      win->menuHeight = s->clientTop;
    }
    if (!(s->style & WS_THICKFRAME) && dynamic_cast<CFrameWnd*>(s->object) == nullptr)
      win->setFixedSize(std::max(s->Width(), 1), std::max(s->Height(), 1));
    ForEachDescendant(s, [this](WndState* c) { Build(c); });
    Sync(s);
  }

  void BuildMenu(QMenuBar* bar, const std::vector<MenuItem>& items, HWND frame) {
    for (const MenuItem& m : items) {
      if (m.text == nullptr) continue;
      QMenu* menu = bar->addMenu(Q(m.text));
      FillMenu(menu, m.items, frame);
    }
  }

  void FillMenu(QMenu* menu, const std::vector<MenuItem>& items, HWND frame) {
    for (const MenuItem& m : items) {
      if (m.text == nullptr) {
        menu->addSeparator();
      } else if (!m.items.empty()) {
        FillMenu(menu->addMenu(Q(m.text)), m.items, frame);
      } else {
        QString text = Q(m.text);
        int tab = text.indexOf('\t');
        QAction* a = menu->addAction(tab >= 0 ? text.left(tab) : text);
        UINT id = m.id;
        QObject::connect(a, &QAction::triggered, a, [frame, id] { input::Menu(frame, id); });
      }
    }
  }

  QWidget* Build(WndState* s) {
    if (s->native != nullptr) return static_cast<QWidget*>(s->native);
    WndState* parent = Find(s->parent);
    if (parent == nullptr) return nullptr;
    if (parent->native == nullptr) Build(parent);
    if (parent->native == nullptr) return nullptr;
    QWidget* host = HostOf(parent);
    QWidget* w = nullptr;
    HWND h = s->hwnd;
    switch (s->kind) {
      case Kind::Dialog:
      case Kind::Generic: w = new Panel(host); break;
      case Kind::Static:
        if ((s->style & SS_TYPEMASK) == SS_ICON) {
          w = new QLabel(host);
        } else {
          auto* l = new QLabel(host);
          l->setTextFormat(Qt::PlainText);
          l->setWordWrap(true);
          w = l;
        }
        break;
      case Kind::GroupBox: w = new GroupFrame(host); break;
      case Kind::Button: {
        QPushButton* b = (s->style & BS_TYPEMASK) == BS_OWNERDRAW ? new OwnerButton(host) : new QPushButton(host);
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, b, [h] { input::Click(h); });
        w = b;
        break;
      }
      case Kind::CheckBox: {
        QAbstractButton* b = nullptr;
        if (s->style & BS_PUSHLIKE) {
          auto* p = new QPushButton(host);
          p->setCheckable(true);
          p->setAutoDefault(false);
          b = p;
        } else {
          b = new QCheckBox(host);
        }
        QObject::connect(b, &QAbstractButton::clicked, b, [h] { input::Click(h); });
        w = b;
        break;
      }
      case Kind::Radio: {
        auto* b = new QRadioButton(host);
        b->setAutoExclusive(false);  // the state keeps one button of a group checked
        QObject::connect(b, &QAbstractButton::clicked, b, [h] { input::Click(h); });
        w = b;
        break;
      }
      case Kind::Edit:
        if (s->style & ES_MULTILINE) {
          auto* e = new QPlainTextEdit(host);
          QObject::connect(e, &QPlainTextEdit::textChanged, e, [e, h] {
            if (g_syncing == 0) input::Type(h, Cp(e->toPlainText()).c_str());
          });
          w = e;
        } else {
          auto* e = new QLineEdit(host);
          QObject::connect(e, &QLineEdit::textEdited, e, [h](const QString& t) {
            if (g_syncing == 0) input::Type(h, Cp(t).c_str());
          });
          w = e;
        }
        break;
      case Kind::ListBox: w = new ListWidget(h, host); break;
      case Kind::ComboBox: {
        auto* c = new QComboBox(host);
        QObject::connect(c, &QComboBox::activated, c, [h](int i) { input::SelectCombo(h, i); });
        w = c;
        break;
      }
      case Kind::Progress: {
        auto* p = new QProgressBar(host);
        p->setTextVisible(false);
        w = p;
        break;
      }
      case Kind::Spin: w = new SpinWidget(h, host); break;
      case Kind::Slider: {
        auto* sl = new QSlider(Qt::Horizontal, host);
        sl->setTickPosition(QSlider::TicksBelow);
        QObject::connect(sl, &QSlider::valueChanged, sl, [h](int v) {
          if (g_syncing == 0) input::Slide(h, v);
        });
        w = sl;
        break;
      }
      case Kind::DateTime: {
        auto* t = new QTimeEdit(host);
        t->setDisplayFormat("HH:mm");
        t->setWrapping(true);
        QObject::connect(t, &QTimeEdit::timeChanged, t, [h](QTime v) {
          auto* d = static_cast<DateTimeState*>(Find(h));
          if (g_syncing > 0 || d == nullptr || !v.isValid()) return;
          SYSTEMTIME st = d->time;
          st.wHour = static_cast<WORD>(v.hour());
          st.wMinute = static_cast<WORD>(v.minute());
          if (st.wHour != d->time.wHour || st.wMinute != d->time.wMinute) input::SetTime(h, st);
        });
        w = t;
        break;
      }
      case Kind::RichEdit: {
        auto* t = new QTextEdit(host);
        t->setReadOnly(true);
        t->setFocusPolicy((s->style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
        w = t;
        break;
      }
      case Kind::Tab: {
        auto* t = new TabsWidget(host);
        t->setUsesScrollButtons(true);
        t->setElideMode(Qt::ElideNone);
        t->tabBar()->setExpanding(false);
        t->tabBar()->setFocusPolicy(Qt::StrongFocus);  // a click on a tab focuses the tabs
        QObject::connect(t, &QTabWidget::currentChanged, t, [this, h](int i) {
          if (g_syncing > 0) return;
          auto* ts = static_cast<TabState*>(Find(h));
          if (ts != nullptr && i != ts->cur) input::SelectTab(h, i);
          if (WndState* again = Find(h)) Sync(again);  // a refused change goes back
        });
        w = t;
        break;
      }
    }
    if (w == nullptr) return nullptr;
    Tag(w, h);
    w->setMouseTracking(true);
    s->native = w;
    // Tab moves the focus in the window system's order (Key), so Qt's own focus policy only says
    // which controls a click focuses: never labels, group boxes or progress bars.
    if (s->kind == Kind::Static || s->kind == Kind::GroupBox || s->kind == Kind::Progress) w->setFocusPolicy(Qt::NoFocus);
    else if (s->kind != Kind::Dialog && s->kind != Kind::Generic && s->kind != Kind::RichEdit) w->setFocusPolicy(Qt::StrongFocus);
    if (s->kind == Kind::Dialog || s->kind == Kind::Generic)
      for (HWND c : s->children)
        if (WndState* cs = Find(c)) Build(cs);
    Sync(s);
    return w;
  }

  void SyncCombo(ComboBoxState* s, QComboBox* c) {
    Syncing guard;
    bool same = c->count() == static_cast<int>(s->lines.size());
    for (int i = 0; same && i < c->count(); ++i) same = c->itemText(i) == Q(s->lines[static_cast<size_t>(i)].text);
    if (!same) {
      c->clear();
      for (const ListLine& l : s->lines) c->addItem(Q(l.text));
    }
    c->setCurrentIndex(s->cur);
  }

  // The label of a static: '&' marks a mnemonic, shown underlined ("&&" is an ampersand); the
  // key itself is handled with the other mnemonics (MnemonicKey).
  void SyncStatic(WndState* s, QLabel* l) {
    if ((s->style & SS_TYPEMASK) == SS_ICON) {
      int d = std::min(s->Width(), s->Height());
      l->setPixmap(IconOf(s->icon).pixmap(d, d));
      return;
    }
    if (s->style & SS_NOPREFIX) {
      l->setTextFormat(Qt::PlainText);
      l->setText(Q(s->text));
    } else {
      QString html;
      const std::string& t = s->text;
      for (size_t i = 0; i < t.size(); ++i) {
        bool mark = t[i] == '&' && i + 1 < t.size() && t[i + 1] != '&';
        if (t[i] == '&') ++i;
        if (i >= t.size()) break;
        QString one = Q(std::string(1, t[i])).toHtmlEscaped();
        html += mark ? "<u>" + one + "</u>" : t[i] == '\n' ? QString("<br>") : one;
      }
      l->setTextFormat(Qt::RichText);
      l->setText(html);
    }
    DWORD t = s->style & SS_TYPEMASK;
    Qt::Alignment a = t == SS_CENTER ? Qt::AlignHCenter : t == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
    a |= (s->style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    l->setAlignment(a);
    bool framed = (s->style & WS_BORDER) || (s->exStyle & WS_EX_STATICEDGE) || (s->style & SS_SUNKEN);
    l->setFrameShape(framed ? QFrame::Panel : QFrame::NoFrame);
    l->setFrameShadow(framed ? QFrame::Sunken : QFrame::Plain);
  }

  void SyncTop(WndState* s, TopWindow* win) {
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
      // A maximised window covers the work area even where no window manager does it, and goes
      // back to where it was when restored.
      const bool isMax = (win->windowState() & Qt::WindowMaximized) != 0;
      if (s->maximized && !isMax) {
        win->normal = g;
        if (QScreen* sc = win->screen()) g = sc->availableGeometry();
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
        win->setWindowState(want);
        win->Place();
        if (WndState* o = Find(s->owner); o != nullptr && o->native != nullptr) {
          win->winId();
          win->windowHandle()->setTransientParent(static_cast<QWidget*>(o->native)->windowHandle());
        }
        win->show();
        if (QGuiApplication::platformName() != "offscreen") win->raise();
        win->activateWindow();
        // The control that has the focus in this window gets Qt's focus too.
        WndState* f = Find(FocusWindow());
        if (f != nullptr && f->native != nullptr && TopLevelOf(f) == s) FocusWidget(f);
      } else if ((win->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != want) {
        win->setWindowState(want);
      }
    } else if (win->isVisible()) {
      win->hide();
    }
  }

  void FocusWidget(WndState* s) {
    auto* w = static_cast<QWidget*>(s->native);
    if (w == nullptr || !w->isVisibleTo(w->window())) return;
    if (!w->hasFocus()) w->setFocus(Qt::TabFocusReason);
    if (m_focused == s->hwnd) return;
    // The focus came here from the keyboard or the program: as the dialog manager does, an edit
    // has its text selected, so typing replaces it.
    m_focused = s->hwnd;
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
  }

  // Asks a child window's parent (a dialog itself) for its colours and shows them. A dialog or
  // panel then asks again for each of its controls: their answers often follow the dialog's own
  // colours (a new background brush), and nothing else would repaint them.
  void SyncColours(WndState* s) {
    auto* w = static_cast<QWidget*>(s->native);
    HWND hwnd = s->hwnd;
    Colours c = AskColours(s);
    if ((s = Find(hwnd)) == nullptr || s->native != w) return;
    switch (s->kind) {
      case Kind::Dialog:
      case Kind::Generic:
      case Kind::Static:
      case Kind::CheckBox:
      case Kind::Radio:
        if (qobject_cast<QPushButton*>(w) != nullptr) {
          c.brush = false;  // a push-like check box keeps the style's button face
          ApplyColours(w, c, QPalette::Button);
          break;
        }
        // A check box or radio button paints its whole rectangle (so one placed over a group
        // box's title hides it), in its parent's colour unless the brush is hollow.
        w->setBackgroundRole(QPalette::Window);
        ApplyColours(w, c, QPalette::Window);
        w->setAutoFillBackground(!c.hollow);
        break;
      case Kind::GroupBox:
        ApplyColours(w, c, QPalette::Window);
        w->setAutoFillBackground(false);
        break;
      case Kind::Edit:
        ApplyColours(w, c, QPalette::Base);
        if ((s->style & ES_READONLY) && !c.brush) {
          // A read-only edit shows the face of its dialog, as a static would.
          QPalette p = w->palette();
          p.setColor(QPalette::Base, p.color(QPalette::Window));
          w->setPalette(p);
        }
        break;
      case Kind::ListBox: ApplyColours(w, c, QPalette::Base); break;
      default: break;
    }
    if (s->kind == Kind::Dialog || s->kind == Kind::Generic) ResyncChildColours(s);
  }

  void ResyncChildColours(WndState* s) {
    for (HWND h : std::vector<HWND>(s->children))
      if (WndState* c = Find(h); c != nullptr && c->native != nullptr) SyncColours(c);
  }

  void Sync(WndState* s) {
    auto* w = static_cast<QWidget*>(s->native);
    if (w == nullptr) return;
    Syncing guard;
    if (!s->IsChild()) {
      SyncTop(s, static_cast<TopWindow*>(w));
      return;
    }
    HWND hwnd = s->hwnd;
    QRect g(s->rect.left, s->rect.top, std::max(s->Width(), 1), std::max(s->Height(), 1));
    if (s->kind == Kind::Dialog || s->kind == Kind::Generic) {
      // A panel grows to hold controls placed beyond its own rectangle.
      QRect kids = w->childrenRect();
      g.setWidth(std::max(g.width(), kids.right() + 1));
      g.setHeight(std::max(g.height(), kids.bottom() + 1));
    }
    if (w->geometry() != g) {
      w->setGeometry(g);
      if (WndState* top = TopLevelOf(s)) ScheduleFit(top);
    }
    if (QFont f = FontOf(s->font); w->font() != f) w->setFont(f);
    w->setVisible(s->Visible());
    w->setEnabled(s->Enabled());
    w->setToolTip(Q(s->tooltip));
    SyncColours(s);
    if ((s = Find(hwnd)) == nullptr || s->native != w) return;
    switch (s->kind) {
      case Kind::Dialog:
      case Kind::Generic: break;
      case Kind::Static: SyncStatic(s, static_cast<QLabel*>(w)); break;
      case Kind::GroupBox: static_cast<GroupFrame*>(w)->SetTitle(Q(s->text)); break;
      case Kind::Button: {
        auto* b = static_cast<QPushButton*>(w);
        auto* bs = static_cast<ButtonState*>(s);
        b->setText(Q(s->text));
        b->setDefault(bs->isDefault);
        b->setDown(bs->pushed);
        if (s->icon != nullptr) b->setIcon(IconOf(s->icon));
        b->update();
        break;
      }
      case Kind::CheckBox:
      case Kind::Radio: {
        auto* b = static_cast<QAbstractButton*>(w);
        b->setText(Q(s->text));
        b->setChecked(static_cast<ButtonState*>(s)->check == BST_CHECKED);
        break;
      }
      case Kind::Edit: {
        Qt::Alignment a = (s->style & ES_RIGHT) ? Qt::AlignRight : (s->style & ES_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft;
        bool ro = (s->style & ES_READONLY) != 0;
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
          if (e->text() != Q(s->text)) e->setText(Q(s->text));
          e->setAlignment(a | Qt::AlignVCenter);
          e->setReadOnly(ro);
          e->setFrame((s->style & WS_BORDER) != 0);
          auto* es = static_cast<EditState*>(s);
          e->setMaxLength(es->limit > 0 ? es->limit : 32767);
        } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
          if (m->toPlainText() != Q(s->text)) m->setPlainText(Q(s->text));
          m->setReadOnly(ro);
          m->setFrameShape((s->style & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
        }
        break;
      }
      case Kind::ListBox: {
        auto* v = static_cast<ListWidget*>(w);
        auto* l = static_cast<ListBoxState*>(s);
        bool columns = (s->style & LBS_MULTICOLUMN) != 0;
        if (columns) {
          v->setFlow(QListView::TopToBottom);
          v->setWrapping(true);
          v->setResizeMode(QListView::Adjust);
          v->setGridSize(QSize(l->columnWidth > 0 ? l->columnWidth : 64, l->itemHeight));
          v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        } else {
          v->setFlow(QListView::TopToBottom);
          v->setWrapping(false);
          v->setGridSize(QSize());
        }
        v->setFrameShape((s->style & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
        // A new line height (a new font) is laid out afresh; otherwise only new lines are taken.
        v->model->Changed(v->lineHeight == l->itemHeight);
        v->lineHeight = l->itemHeight;
        v->viewport()->update();
        break;
      }
      case Kind::ComboBox: SyncCombo(static_cast<ComboBoxState*>(s), static_cast<QComboBox*>(w)); break;
      case Kind::Progress: {
        auto* p = static_cast<QProgressBar*>(w);
        auto* r = static_cast<RangeState*>(s);
        p->setRange(std::min(r->lower, r->upper), std::max(r->upper, r->lower + 1));
        p->setValue(std::clamp(r->pos, p->minimum(), p->maximum()));
        break;
      }
      case Kind::Slider: {
        auto* sl = static_cast<QSlider*>(w);
        auto* r = static_cast<RangeState*>(s);
        sl->setRange(std::min(r->lower, r->upper), std::max(r->lower, r->upper));
        sl->setValue(r->pos);
        sl->setTickInterval(std::max(r->ticFreq, 1));
        break;
      }
      case Kind::DateTime: {
        auto* t = static_cast<QTimeEdit*>(w);
        auto* d = static_cast<DateTimeState*>(s);
        QTime v(d->time.wHour % 24, d->time.wMinute % 60);
        if (t->time() != v) t->setTime(v);
        break;
      }
      case Kind::RichEdit: SyncRich(static_cast<RichEditState*>(s), static_cast<QTextEdit*>(w)); break;
      case Kind::Tab: {
        auto* t = static_cast<TabsWidget*>(w);
        auto* ts = static_cast<TabState*>(s);
        t->SetTabs(ts->tabs);
        if (ts->cur >= 0 && ts->cur < t->count()) t->setCurrentIndex(ts->cur);
        break;
      }
      case Kind::Spin: break;
    }
    if (s->hasFocus) FocusWidget(s);
  }

  void SyncRich(RichEditState* s, QTextEdit* t) {
    t->clear();
    QPalette p = t->palette();
    p.setColor(QPalette::Base, Colour(s->background));
    t->setPalette(p);
    QTextCursor cur(t->document());
    QFont base = FontOf(s->font);
    for (const RichRun& r : s->runs) {
      QTextCharFormat f;
      QFont font = base;
      const CHARFORMAT& cf = r.format;
      font.setBold((cf.dwEffects & CFE_BOLD) != 0);
      if (cf.yHeight > 0) font.setPixelSize(std::max(6, static_cast<int>(cf.yHeight * kScreenDpi / 1440)));
      f.setFont(font);
      if ((cf.dwMask & CFM_COLOR) && !(cf.dwEffects & CFE_AUTOCOLOR)) f.setForeground(Colour(cf.crTextColor));
      cur.insertText(Q(r.text), f);
    }
  }

  // The canvas of a top-level window is fitted to its children once the loop runs again.
  void ScheduleFit(WndState* top) {
    if (top == nullptr || top->native == nullptr || !m_fit.insert(top->hwnd).second) return;
    if (m_fit.size() == 1)
      QTimer::singleShot(0, this, [this] {
        std::set<HWND> tops;
        tops.swap(m_fit);
        for (HWND h : tops)
          if (WndState* s = Find(h); s != nullptr && s->native != nullptr) static_cast<TopWindow*>(s->native)->Fit();
      });
  }

  // Frees the widgets of destroyed windows once nothing that may still use them is running: no
  // window handler and no event processing of ours further up the stack.
  void Reap() {
    if (m_depth > 0 || HandlerRunning() || m_dead.empty()) return;
    std::vector<QPointer<QWidget>> dead;
    dead.swap(m_dead);
    for (QPointer<QWidget>& w : dead)
      if (!w.isNull()) delete w.data();  // a window's children go with it
  }

  QTimer m_waitTimer;
  int m_depth = 0;  // our event processing in progress (Wait, Poll)
  std::vector<QPointer<QWidget>> m_dead;
  std::atomic<bool> m_wakePending{false};
  std::set<HWND> m_fit;
  HWND m_focused = nullptr;  // the control whose widget last took the focus
};

QtBackend* g_qt = nullptr;

// Qt cannot start without a display: the X server is asked first, so a missing or refused one
// means no Qt backend instead of an aborted program.
bool QtCanStart() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && std::string(platform) == "offscreen") return true;
  if (platform != nullptr && *platform != '\0' && std::string(platform) != "xcb") return true;
  if (!DisplayAvailable()) return false;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  bool ok = c != nullptr && xcb_connection_has_error(c) == 0;
  if (c != nullptr) xcb_disconnect(c);
  return ok;
}

QPalette AppPalette() {
  // The program's palette: light, neutral faces with a calm blue for selections and focus.
  QPalette p;
  QColor face(240, 240, 240);
  p.setColor(QPalette::Window, face);
  p.setColor(QPalette::WindowText, QColor(20, 20, 20));
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::AlternateBase, QColor(246, 246, 246));
  p.setColor(QPalette::Button, face);
  p.setColor(QPalette::ButtonText, QColor(20, 20, 20));
  p.setColor(QPalette::Text, QColor(20, 20, 20));
  p.setColor(QPalette::Highlight, QColor(0, 120, 215));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  p.setColor(QPalette::ToolTipText, Qt::black);
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::Base, face);
  return p;
}

}  // namespace

Backend* MakeQtBackend() {
  if (g_qt != nullptr) return g_qt;
  if (QCoreApplication::instance() == nullptr) {
    if (!QtCanStart()) return nullptr;
    static int argc = 1;
    static char name[] = "qav";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives to the end of the process
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(AppPalette());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
  }
  g_qt = new QtBackend;
  return g_qt;
}

bool QtChooseFile(const FileChooserRequest& req, std::string& path) {
  QFileDialog fd(nullptr, Q(req.title));
  fd.setOption(QFileDialog::DontUseNativeDialog);
  fd.setAcceptMode(req.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  fd.setFileMode(req.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  fd.setOption(QFileDialog::DontConfirmOverwrite);  // the caller asks itself
  QStringList filters;
  for (const auto& [desc, pats] : req.filters) {
    QStringList p;
    for (const std::string& one : pats) p << ((one == "*.*" || one == "*.exe") ? QString("*") : Q(one));
    filters << Q(desc) + " (" + p.join(' ') + ")";
  }
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
  if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
  path = Cp(fd.selectedFiles().front());
  return true;
}

bool QtChooseFolder(const std::string& title, const std::string& start, std::string& path) {
  QFileDialog fd(nullptr, Q(title));
  fd.setOption(QFileDialog::DontUseNativeDialog);
  fd.setFileMode(QFileDialog::Directory);
  fd.setOption(QFileDialog::ShowDirsOnly);
  std::string dir = start;
  std::replace(dir.begin(), dir.end(), '\\', '/');
  if (!dir.empty()) fd.setDirectory(Q(dir));
  if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
  path = Cp(fd.selectedFiles().front());
  return true;
}

bool SaveWindowPng(HWND hwnd, const std::string& file) {
  WndState* s = Find(hwnd);
  if (g_qt == nullptr || s == nullptr || s->native == nullptr) return false;
  auto* w = static_cast<QWidget*>(s->native);
  QCoreApplication::processEvents();
  return w->grab().save(QString::fromStdString(file), "PNG");
}

void* NativeWidget(HWND hwnd) {
  WndState* s = Find(hwnd);
  if (g_qt == nullptr || s == nullptr) return nullptr;
  QWidget* w = static_cast<QWidget*>(s->native);
  if (auto* top = dynamic_cast<TopWindow*>(w)) return top;
  return w;
}

}  // namespace qav::ui
