// The Qt backend's drawing helpers: text between Windows-1252 and Qt, fonts from LOGFONT, the
// colours a window's parent answers (WM_CTLCOLOR*) turned into palettes, icons, and CDC's
// drawing operations on a QPainter for owner-drawn buttons.
#include <QApplication>
#include <QFontDatabase>
#include <QStyle>

#include <cmath>
#include <cstdlib>

#include "platform/base/text.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

QString Q(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }
std::string Cp(const QString& s) { return Utf8ToCp1252(s.toStdString()); }
QColor Colour(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

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

namespace {
QRect Rect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
int Flags(UINT format) {
  int f = (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
  f |= (format & (DT_VCENTER | DT_SINGLELINE)) ? Qt::AlignVCenter : Qt::AlignTop;
  if (format & DT_WORDBREAK) f |= Qt::TextWordWrap;
  return f;
}
}  // namespace

void QtPainter::FillRect(const RECT& r, COLORREF c) { m_p.fillRect(Rect(r), Colour(c)); }

void QtPainter::FrameRect(const RECT& r, COLORREF c) {
  m_p.setPen(Colour(c));
  m_p.setBrush(Qt::NoBrush);
  m_p.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
}

void QtPainter::Line(int x1, int y1, int x2, int y2, COLORREF c) {
  m_p.setPen(Colour(c));
  m_p.drawLine(x1, y1, x2, y2);
}

void QtPainter::FocusRect(const RECT& r) {
  m_p.setPen(QPen(Qt::black, 1, Qt::DotLine));
  m_p.setBrush(Qt::NoBrush);
  m_p.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
}

void QtPainter::Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT font) {
  m_p.setFont(FontOf(font));
  m_p.setPen(Colour(color));
  m_p.drawText(Rect(r), Flags(format), Q(text));
}

SIZE QtPainter::Measure(const std::string& text, int width, UINT format, HFONT font) {
  QFontMetrics fm(FontOf(font));
  QRect b = fm.boundingRect(QRect(0, 0, width > 0 ? width : 100000, 100000), Flags(format), Q(text));
  return SIZE{b.width(), b.height()};
}

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

}  // namespace qav::ui::qt
