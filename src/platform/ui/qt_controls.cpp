// Controls in the Qt backend: the widget built for each kind of child window (labels, group
// boxes, buttons, check boxes, radio buttons, edits, combo boxes, progress bars, spin controls,
// sliders, time pickers, rich edits), its signals turned into the calls of input.h, and Sync,
// which shows a window's state (place, font, colours, text, check, range ...) on its widget.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTextEdit>
#include <QTimeEdit>
#include <QToolButton>

#include <algorithm>

#include "platform/ui/controls.h"
#include "platform/ui/input.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {
namespace {

// The pushed state (BM_SETSTATE) a push button was last shown with.
constexpr char kPushedProperty[] = "qavPushed";

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

// A check box, radio button or push-like check box whose check only the window's state sets
// (Sync): a click does not turn it over by itself. The click goes to the window system, whose
// button rules decide (an automatic radio button stays checked when clicked again; a manual
// button changes only as its dialog says), and the widget then shows what the state holds.
template <class Button>
class StateButton : public Button {
 public:
  using Button::Button;

 protected:
  void nextCheckState() override {}
};

}  // namespace

void GroupFrame::SetTitle(const QString& title) {
  if (title == m_title) return;
  m_title = title;
  update();
}

void GroupFrame::paintEvent(QPaintEvent*) {
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

SpinWidget::SpinWidget(HWND h, QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  up = MakeArrow(Qt::UpArrow, h, true);
  down = MakeArrow(Qt::DownArrow, h, false);
}

void SpinWidget::resizeEvent(QResizeEvent*) {
  up->setGeometry(0, 0, width(), height() / 2);
  down->setGeometry(0, height() / 2, width(), height() - height() / 2);
}

QToolButton* SpinWidget::MakeArrow(Qt::ArrowType type, HWND h, bool isUp) {
  auto* b = new QToolButton(this);
  b->setArrowType(type);
  b->setAutoRepeat(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setIconSize(QSize(6, 6));
  QObject::connect(b, &QToolButton::clicked, b, [h, isUp] { input::Spin(h, isUp); });
  return b;
}

BaseUnits QtBackend::FontUnits(HFONT font) {
  QFontMetrics fm(FontOf(font));
  BaseUnits u;
  int w = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  u.cx = (w / 26 + 1) / 2;
  u.cy = fm.height();
  return u;
}

QWidget* QtBackend::Build(WndState* s) {
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
        auto* p = new StateButton<QPushButton>(host);
        p->setCheckable(true);
        p->setAutoDefault(false);
        b = p;
      } else {
        b = new StateButton<QCheckBox>(host);
      }
      QObject::connect(b, &QAbstractButton::clicked, b, [h] { input::Click(h); });
      w = b;
      break;
    }
    case Kind::Radio: {
      auto* b = new StateButton<QRadioButton>(host);
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
    case Kind::Tab: w = MakeTabs(h, host); break;
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

// The label of a static: '&' marks a mnemonic, shown underlined ("&&" is an ampersand); the key
// itself is handled with the other mnemonics (MnemonicKey).
void QtBackend::SyncStatic(WndState* s, QLabel* l) {
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

// Asks a child window's parent (a dialog itself) for its colours and shows them. A dialog or
// panel then asks again for each of its controls: their answers often follow the dialog's own
// colours (a new background brush), and nothing else would repaint them.
void QtBackend::SyncColours(WndState* s) {
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

void QtBackend::ResyncChildColours(WndState* s) {
  for (HWND h : std::vector<HWND>(s->children))
    if (WndState* c = Find(h); c != nullptr && c->native != nullptr) SyncColours(c);
}

void QtBackend::Sync(WndState* s) {
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
      b->setDefault(LooksDefault(bs));
      // The pushed look follows BM_SETSTATE only. A sync for anything else (the focus a click
      // gives the button as its window becomes active) must not lift a button the user holds
      // down: its release would then click nothing.
      if (const QVariant shown = b->property(kPushedProperty); !shown.isValid() || shown.toBool() != bs->pushed) {
        b->setDown(bs->pushed);
        b->setProperty(kPushedProperty, bs->pushed);
      }
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
    case Kind::ListBox: SyncList(static_cast<ListBoxState*>(s), static_cast<ListWidget*>(w)); break;
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

void QtBackend::SyncRich(RichEditState* s, QTextEdit* t) {
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

}  // namespace qav::ui::qt
