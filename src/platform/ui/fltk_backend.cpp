// The FLTK backend: draws every window of the registry with FLTK 1.3 and turns the user's clicks,
// keys and selections into the calls of input.h. Text is Windows-1252 inside the program and
// UTF-8 only here.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Repeat_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>

#include "platform/base/text.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {
namespace {

std::string U8(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }
std::string Cp(const char* utf8) { return Utf8ToCp1252(utf8 != nullptr ? utf8 : ""); }

Fl_Color Colour(COLORREF c) { return fl_rgb_color(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Labels: '&' marks a mnemonic in the program's texts; FLTK shows it as an underline too.
std::string LabelText(const std::string& t) { return U8(t); }

HWND HwndOf(Fl_Widget* w) { return w != nullptr ? static_cast<HWND>(w->user_data()) : nullptr; }

Fl_Font FontOf(HFONT f, int* size) {
  const LOGFONT* lf = f != nullptr ? &f->lf : nullptr;
  int px = lf != nullptr && lf->lfHeight != 0 ? std::abs(lf->lfHeight) : 11;
  *size = px;
  std::string face = lf != nullptr ? lf->lfFaceName : "";
  for (char& c : face) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Fl_Font base = face.find("courier") != std::string::npos || face.find("fixed") != std::string::npos ||
                         face.find("mono") != std::string::npos
                     ? FL_COURIER
                     : FL_HELVETICA;
  int style = 0;
  if (lf != nullptr && lf->lfWeight >= FW_BOLD) style |= FL_BOLD;
  if (lf != nullptr && lf->lfItalic) style |= FL_ITALIC;
  return base + style;
}

// The colours a control's parent gives it (WM_CTLCOLOR*).
struct Colours {
  bool text = false;
  COLORREF textColour = 0;
  bool brush = false;
  bool hollow = false;
  COLORREF brushColour = 0;
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
  CDC dc;
  auto brush = reinterpret_cast<HBRUSH>(Send(to, msg, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), reinterpret_cast<LPARAM>(s->hwnd)));
  if (Find(s->hwnd) == nullptr) return c;
  c.text = dc.TextColorSet();
  c.textColour = dc.GetTextColor();
  if (brush != nullptr) {
    c.brush = !brush->stock || brush->hollow;
    c.hollow = brush->hollow || dc.GetBkMode() == TRANSPARENT;
    c.brushColour = brush->color;
  }
  return c;
}

// ---- Painter on FLTK ----
class FltkPainter : public Painter {
 public:
  FltkPainter(int x, int y) : m_x(x), m_y(y) {}
  void FillRect(const RECT& r, COLORREF c) override {
    fl_rectf(m_x + r.left, m_y + r.top, r.right - r.left, r.bottom - r.top, Colour(c));
  }
  void FrameRect(const RECT& r, COLORREF c) override {
    fl_color(Colour(c));
    fl_rect(m_x + r.left, m_y + r.top, r.right - r.left, r.bottom - r.top);
  }
  void Line(int x1, int y1, int x2, int y2, COLORREF c) override {
    fl_color(Colour(c));
    fl_line(m_x + x1, m_y + y1, m_x + x2, m_y + y2);
  }
  void FocusRect(const RECT& r) override {
    fl_color(FL_BLACK);
    fl_line_style(FL_DOT);
    fl_rect(m_x + r.left, m_y + r.top, r.right - r.left, r.bottom - r.top);
    fl_line_style(0);
  }
  void Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT font) override {
    int size;
    Fl_Font face = FontOf(font, &size);
    fl_font(face, size);
    fl_color(Colour(color));
    Fl_Align a = FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
    if (format & DT_CENTER) a |= 0;
    else if (format & DT_RIGHT) a |= FL_ALIGN_RIGHT;
    else a |= FL_ALIGN_LEFT;
    if (format & DT_WORDBREAK) a |= FL_ALIGN_WRAP;
    if (!(format & (DT_VCENTER | DT_SINGLELINE))) a |= FL_ALIGN_TOP;
    fl_draw(U8(text).c_str(), m_x + r.left, m_y + r.top, r.right - r.left, r.bottom - r.top, a, nullptr, 0);
  }
  SIZE Measure(const std::string& text, int width, UINT, HFONT font) override {
    int size;
    Fl_Font face = FontOf(font, &size);
    fl_font(face, size);
    int w = width, h = 0;
    fl_measure(U8(text).c_str(), w, h, 0);
    return SIZE{w, h};
  }

 private:
  int m_x, m_y;
};

// ---- Widgets ----
// Every widget reports focus, the mouse and right clicks to the window system.
template <class W>
class Q : public W {
 public:
  Q(int x, int y, int w, int h) : W(x, y, w, h) {}
  int handle(int e) override {
    HWND h = HwndOf(this);
    switch (e) {
      case FL_FOCUS: {
        int r = W::handle(e);
        input::Focus(h);
        return r != 0 ? r : 1;
      }
      case FL_ENTER:
      case FL_MOVE:
        input::MouseMove(h, Fl::event_x() - this->x(), Fl::event_y() - this->y());
        W::handle(e);
        return 1;
      case FL_LEAVE:
        input::MouseLeave(h);
        return W::handle(e);
      case FL_PUSH:
        if (Fl::event_button() == FL_RIGHT_MOUSE) {
          input::RightClick(h, Fl::event_x() - this->x(), Fl::event_y() - this->y());
          return 1;
        }
        return W::handle(e);
      default:
        return W::handle(e);
    }
  }
};

class QWindow : public Fl_Double_Window {
 public:
  QWindow(int w, int h) : Fl_Double_Window(w, h) {}
  int handle(int e) override {
    if (e == FL_MOVE || e == FL_ENTER) input::MouseMove(HwndOf(this), Fl::event_x(), Fl::event_y());
    return Fl_Double_Window::handle(e);
  }
  // The user moved or resized the window: the state follows, and WM_SIZE lets the window lay
  // out its controls itself (FLTK does not stretch them: the resizable box sits in the corner).
  void resize(int x, int y, int w, int h) override {
    Fl_Double_Window::resize(x, y, w, h);
    WndState* s = Find(HwndOf(this));
    if (s == nullptr || s->native != this) return;
    bool sized = s->Width() != w || s->Height() != h;
    s->rect = RECT{x, y, x + w, y + h};
    if (sized) {
      HWND hwnd = s->hwnd;
      Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w, h - s->clientTop));
      if (WndState* again = Find(hwnd)) Changed(again);
    }
  }
};

class QGroupBox : public Fl_Widget {
 public:
  QGroupBox(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
  void draw() override {
    fl_font(labelfont(), labelsize());
    int top = y() + labelsize() / 2;
    draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), FL_BLACK);
    if (label() != nullptr && *label()) {
      int lw = 0, lh = 0;
      fl_measure(label(), lw, lh, 0);
      fl_color(parent() != nullptr ? parent()->color() : FL_BACKGROUND_COLOR);
      fl_rectf(x() + 6, y(), lw + 4, lh);
      fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
      fl_draw(label(), x() + 8, y(), lw, lh, FL_ALIGN_LEFT | FL_ALIGN_INSIDE, nullptr, 0);
    }
  }
};

class QOwnerButton : public Q<Fl_Button> {
 public:
  QOwnerButton(int x, int y, int w, int h) : Q<Fl_Button>(x, y, w, h) {}
  void draw() override {
    FltkPainter p(x(), y());
    fl_push_clip(x(), y(), w(), h());
    PaintOwnerDrawn(HwndOf(this), p);
    fl_pop_clip();
  }
};

class QButton : public Q<Fl_Button> {
 public:
  QButton(int x, int y, int w, int h) : Q<Fl_Button>(x, y, w, h) {}
  bool isDefault = false;
  void draw() override {
    Fl_Button::draw();
    if (isDefault) {
      fl_color(FL_DARK3);
      fl_rect(x(), y(), w(), h());
    }
  }
};

class QIcon : public Fl_Widget {
 public:
  QIcon(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
  uintptr_t id = 0;
  void draw() override {
    const char* glyph = "i";
    Fl_Color c = fl_rgb_color(0, 90, 200);
    if (id == 32513) { glyph = "X"; c = fl_rgb_color(200, 30, 30); }
    else if (id == 32514) { glyph = "?"; }
    else if (id == 32515) { glyph = "!"; c = fl_rgb_color(220, 160, 0); }
    int d = std::min(w(), h());
    fl_color(c);
    fl_pie(x(), y(), d, d, 0, 360);
    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, d * 2 / 3);
    fl_draw(glyph, x(), y(), d, d, FL_ALIGN_CENTER, nullptr, 0);
  }
};

// A static text. FLTK's fonts have no underline, so a label in an underlined font is broken into
// lines (at spaces, as FLTK wraps labels) and drawn here with a line under each.
class QStatic : public Q<Fl_Box> {
 public:
  QStatic(int x, int y, int w, int h) : Q<Fl_Box>(x, y, w, h) {}
  bool underline = false;
  void draw() override {
    if (!underline || label() == nullptr || *label() == '\0') {
      Fl_Box::draw();
      return;
    }
    draw_box();
    fl_push_clip(x(), y(), w(), h());
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    const int left = x() + Fl::box_dx(box()) + 1;
    const int width = std::max(1, w() - Fl::box_dw(box()) - 2);
    std::vector<std::string> lines = Lines(width);
    const int lineH = fl_height();
    int top = y() + Fl::box_dy(box());
    if (!(align() & FL_ALIGN_TOP)) top = y() + (h() - lineH * static_cast<int>(lines.size())) / 2;
    for (const std::string& line : lines) {
      const int lw = static_cast<int>(fl_width(line.c_str()));
      int lx = left;
      if (align() & FL_ALIGN_RIGHT) lx = left + width - lw;
      else if (!(align() & FL_ALIGN_LEFT)) lx = left + (width - lw) / 2;
      const int base = top + lineH - fl_descent();
      fl_draw(line.c_str(), static_cast<int>(line.size()), lx, base);
      if (lw > 0) fl_xyline(lx, base + 1, lx + lw - 1);
      top += lineH;
    }
    fl_pop_clip();
  }

 private:
  // The label without its mnemonic marks ("&&" is an ampersand), broken into lines that fit.
  std::vector<std::string> Lines(int width) const {
    std::string text;
    for (const char* p = label(); *p != '\0'; ++p) {
      if (*p == '&') {
        if (p[1] == '&') text += *++p;
        continue;
      }
      text += *p;
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
      size_t end = text.find('\n', start);
      std::string para = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      std::string line;
      size_t i = 0;
      while (i <= para.size()) {
        size_t sp = para.find(' ', i);
        std::string word = para.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
        std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && fl_width(longer.c_str()) > width) {
          lines.push_back(line);
          line = word;
        } else {
          line = longer;
        }
        if (sp == std::string::npos) break;
        i = sp + 1;
      }
      lines.push_back(line);
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return lines;
  }
};

class QList : public Q<Fl_Browser> {
 public:
  QList(int x, int y, int w, int h) : Q<Fl_Browser>(x, y, w, h) { format_char(0); }
  int handle(int e) override {
    HWND h = HwndOf(this);
    if (e == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE && Fl::event_x() < x() + w() - scrollbar_size() - 2) {
      void* item = find_item(Fl::event_y());
      if (item != nullptr) {
        take_focus();
        int line = lineno(item) - 1;
        UINT keys = (Fl::event_state(FL_SHIFT) ? MK_SHIFT : 0) | (Fl::event_state(FL_CTRL) ? MK_CONTROL : 0);
        if (Fl::event_clicks() > 0) input::DoubleClickLine(h, line);
        else input::SelectLine(h, line, keys);
        return 1;
      }
    }
    if (e == FL_DRAG || e == FL_RELEASE) return 1;
    return Q<Fl_Browser>::handle(e);
  }
};

class QSpin : public Fl_Group {
 public:
  QSpin(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
    up = new Fl_Repeat_Button(x, y, w, h / 2, "@-18>");
    down = new Fl_Repeat_Button(x, y + h / 2, w, h - h / 2, "@-12>");
    up->labelsize(7);
    down->labelsize(7);
    up->callback([](Fl_Widget* b, void*) { input::Spin(HwndOf(b->parent()), true); });
    down->callback([](Fl_Widget* b, void*) { input::Spin(HwndOf(b->parent()), false); });
    end();
  }
  Fl_Repeat_Button* up;
  Fl_Repeat_Button* down;
};

// A time field "HH:mm": typed values are taken when the field is left or Enter is pressed; the
// arrow keys step the field under the cursor.
class QTime : public Q<Fl_Input> {
 public:
  QTime(int x, int y, int w, int h) : Q<Fl_Input>(x, y, w, h) {}
  int handle(int e) override {
    HWND h = HwndOf(this);
    if (e == FL_KEYBOARD && (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down)) {
      if (WndState* s = Find(h)) {
        SYSTEMTIME t = static_cast<DateTimeState*>(s)->time;
        int step = Fl::event_key() == FL_Up ? 1 : -1;
        if (position() <= 2) t.wHour = static_cast<WORD>((t.wHour + 24 + step) % 24);
        else t.wMinute = static_cast<WORD>((t.wMinute + 60 + step) % 60);
        int pos = position();
        input::SetTime(h, t);
        position(pos);
      }
      return 1;
    }
    if (e == FL_UNFOCUS || (e == FL_KEYBOARD && Fl::event_key() == FL_Enter)) Commit(h);
    return Q<Fl_Input>::handle(e);
  }
  void Commit(HWND h) {
    WndState* s = Find(h);
    if (s == nullptr) return;
    int hh = -1, mm = -1;
    if (std::sscanf(value(), "%d:%d", &hh, &mm) == 2 && hh >= 0 && hh < 24 && mm >= 0 && mm < 60) {
      SYSTEMTIME t = static_cast<DateTimeState*>(s)->time;
      if (t.wHour != hh || t.wMinute != mm) {
        t.wHour = static_cast<WORD>(hh);
        t.wMinute = static_cast<WORD>(mm);
        input::SetTime(h, t);
        return;
      }
    }
    Changed(s);  // back to the value held
  }
};

class QTabs : public Fl_Widget {
 public:
  QTabs(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
  std::vector<std::string> tabs;
  int cur = 0;
  int tabH = 22;
  std::vector<std::pair<int, int>> spans;
  void draw() override {
    fl_font(labelfont(), labelsize());
    draw_box(FL_UP_BOX, x(), y() + tabH - 2, w(), h() - tabH + 2, FL_BACKGROUND_COLOR);
    spans.clear();
    int tx = x() + 2;
    for (size_t i = 0; i < tabs.size(); ++i) {
      std::string l = U8(tabs[i]);
      int tw = static_cast<int>(fl_width(l.c_str())) + 16;
      spans.emplace_back(tx, tw);
      bool sel = static_cast<int>(i) == cur;
      int ty = sel ? y() : y() + 2;
      draw_box(FL_UP_BOX, tx, ty, tw, tabH + (sel ? 1 : -2), FL_BACKGROUND_COLOR);
      if (sel) fl_rectf(tx + 2, y() + tabH - 2, tw - 4, 4, FL_BACKGROUND_COLOR);
      fl_color(FL_FOREGROUND_COLOR);
      fl_draw(l.c_str(), tx, ty, tw, tabH - 2, FL_ALIGN_CENTER, nullptr, 0);
      tx += tw;
    }
  }
  int handle(int e) override {
    if (e == FL_PUSH && Fl::event_y() < y() + tabH) {
      for (size_t i = 0; i < spans.size(); ++i)
        if (Fl::event_x() >= spans[i].first && Fl::event_x() < spans[i].first + spans[i].second) {
          input::SelectTab(HwndOf(this), static_cast<int>(i));
          return 1;
        }
    }
    return Fl_Widget::handle(e);
  }
};

// ---- The backend ----
class FltkBackend : public Backend {
 public:
  const char* Name() const override { return "fltk"; }

  void Created(WndState* s) override {
    if (s->native != nullptr) return;
    if (!s->IsChild()) return;  // top-level windows are built when first shown
    WndState* top = TopLevelOf(s);
    if (top == nullptr || top->native == nullptr) return;
    Build(s);
  }

  void Destroyed(WndState* s) override {
    auto* w = static_cast<Fl_Widget*>(s->native);
    if (w == nullptr) return;
    s->native = nullptr;
    w->user_data(nullptr);
    Forget(w);
    if (auto* g = w->as_group()) {
      for (int i = 0; i < g->children(); ++i) {
        g->child(i)->user_data(nullptr);
        Forget(g->child(i));
      }
    }
    if (w->parent() != nullptr) w->parent()->remove(w);
    w->hide();
    if (s->kind == Kind::RichEdit) {
      // The text display does not own its buffers; it has no callbacks, so it can go at once.
      auto* td = static_cast<Fl_Text_Display*>(w);
      Fl_Text_Buffer* text = td->buffer();
      delete td;
      delete text;
      auto it = m_styleBuffers.find(s->hwnd);
      if (it != m_styleBuffers.end()) {
        delete it->second;
        m_styleBuffers.erase(it);
      }
      m_styles.erase(s->hwnd);
      return;
    }
    Fl::delete_widget(w);
  }

  void Changed(WndState* s) override {
    if (s->native == nullptr) {
      if (!s->IsChild() && s->Visible()) Realize(s);
      return;
    }
    Sync(s);
  }

  void ListChanged(WndState* s, ListChange what, int index) override {
    auto* w = static_cast<Fl_Widget*>(s->native);
    if (w == nullptr) return;
    if (s->kind == Kind::ComboBox) {
      SyncCombo(static_cast<ComboBoxState*>(s), static_cast<Fl_Choice*>(w));
      return;
    }
    auto* b = static_cast<Fl_Browser*>(w);
    auto* l = static_cast<ListBoxState*>(s);
    switch (what) {
      case ListChange::Inserted:
        if (index >= b->size()) b->add(U8(l->lines[static_cast<size_t>(index)].text).c_str());
        else b->insert(index + 1, U8(l->lines[static_cast<size_t>(index)].text).c_str());
        break;
      case ListChange::Deleted: b->remove(index + 1); break;
      case ListChange::Reset: b->clear(); break;
      case ListChange::Selection: SyncSelection(l, b); break;
      case ListChange::Top:
        if (l->top < b->size()) b->topline(l->top + 1);
        break;
    }
  }

  void Poll() override { Fl::check(); }
  void Wait(double seconds) override { Fl::wait(seconds < 0 ? 1e20 : seconds); }
  void Wake() override { Fl::awake(); }

  void CursorChanged(CursorKind shape) override {
    Fl_Cursor c = shape == CursorKind::Wait ? FL_CURSOR_WAIT : shape == CursorKind::Hand ? FL_CURSOR_HAND : FL_CURSOR_DEFAULT;
    for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) w->cursor(c);
  }

  BaseUnits FontUnits(HFONT font) override {
    int size;
    Fl_Font face = FontOf(font, &size);
    fl_font(face, size);
    double w = fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    BaseUnits u;
    u.cx = static_cast<int>((w / 26 + 1) / 2);
    u.cy = fl_height();
    return u;
  }

  int ListItemHeight(HFONT font) override {
    int size;
    Fl_Font face = FontOf(font, &size);
    fl_font(face, size);
    return fl_height() + 2;
  }

  SIZE ScreenSize() override {
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    return SIZE{w, h};
  }

 private:
  void Forget(Fl_Widget* w) {}

  // Position of a child inside its top-level window (FLTK places widgets by window coordinates).
  static POINT WindowPos(WndState* s) {
    POINT p{s->rect.left, s->rect.top};
    for (WndState* q = Find(s->parent); q != nullptr; q = Find(q->parent)) {
      if (!q->IsChild()) {
        p.y += q->clientTop;
        break;
      }
      p.x += q->rect.left;
      p.y += q->rect.top;
    }
    return p;
  }

  void Realize(WndState* s) {
    auto* win = new QWindow(std::max(s->Width(), 1), std::max(s->Height(), 1));
    win->end();
    win->user_data(s->hwnd);
    s->native = win;
    win->callback([](Fl_Widget* w, void*) {
      // The close box; Escape is handled by the dialogs themselves.
      if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
      input::Close(HwndOf(w));
    });
    if (auto* frame = dynamic_cast<CFrameWnd*>(s->object); frame != nullptr && frame->Menu() != nullptr) {
      auto* bar = new Fl_Menu_Bar(0, 0, s->Width(), s->clientTop);
      bar->user_data(s->hwnd);
      BuildMenu(bar, *frame->Menu(), "", s->hwnd);
      win->add(bar);
      m_menus[s->hwnd] = bar;
    }
    if ((s->style & WS_THICKFRAME) || (s->object != nullptr && dynamic_cast<CFrameWnd*>(s->object) != nullptr)) {
      auto* corner = new Fl_Box(win->w() - 1, win->h() - 1, 1, 1);
      win->add(corner);
      win->resizable(corner);
    }
    ForEachDescendant(s, [this](WndState* c) { Build(c); });
    Sync(s);
  }

  void BuildMenu(Fl_Menu_Bar* bar, const std::vector<MenuItem>& items, const std::string& path, HWND frame) {
    for (size_t i = 0; i < items.size(); ++i) {
      const MenuItem& m = items[i];
      if (m.text == nullptr) continue;
      std::string label = U8(m.text);
      for (size_t k = 0; k < label.size(); ++k)
        if (label[k] == '/') label.insert(k++, "\\");
      std::string full = path.empty() ? label : path + "/" + label;
      if (!m.items.empty()) {
        BuildMenu(bar, m.items, full, frame);
        continue;
      }
      bool divider = i + 1 < items.size() && items[i + 1].text == nullptr;
      bar->add(full.c_str(), 0,
               [](Fl_Widget* w, void* id) { input::Menu(HwndOf(w), static_cast<UINT>(reinterpret_cast<uintptr_t>(id))); },
               reinterpret_cast<void*>(static_cast<uintptr_t>(m.id)), divider ? FL_MENU_DIVIDER : 0);
    }
  }

  Fl_Widget* Build(WndState* s) {
    if (s->native != nullptr) return static_cast<Fl_Widget*>(s->native);
    WndState* parent = Find(s->parent);
    if (parent == nullptr) return nullptr;
    if (parent->native == nullptr) Build(parent);
    auto* pw = static_cast<Fl_Widget*>(parent->native);
    Fl_Group* pg = pw != nullptr ? pw->as_group() : nullptr;
    if (pg == nullptr) return nullptr;
    POINT p = WindowPos(s);
    int x = p.x, y = p.y, w = std::max(s->Width(), 1), h = std::max(s->Height(), 1);
    Fl_Group::current(nullptr);
    Fl_Widget* widget = nullptr;
    HWND hwnd = s->hwnd;
    switch (s->kind) {
      case Kind::Dialog:
      case Kind::Generic: {
        auto* g = new Fl_Group(x, y, w, h);
        g->end();
        g->box(FL_FLAT_BOX);
        widget = g;
        break;
      }
      case Kind::Static:
        if ((s->style & SS_TYPEMASK) == SS_ICON) {
          auto* i = new QIcon(x, y, std::min(w, h), std::min(w, h));
          i->id = s->icon != nullptr ? s->icon->id : 32516;
          widget = i;
        } else {
          widget = new QStatic(x, y, w, h);
        }
        break;
      case Kind::GroupBox: widget = new QGroupBox(x, y, w, h); break;
      case Kind::Button:
        if ((s->style & BS_TYPEMASK) == BS_OWNERDRAW) {
          widget = new QOwnerButton(x, y, w, h);
        } else {
          widget = new QButton(x, y, w, h);
        }
        widget->callback([](Fl_Widget* b, void*) { input::Click(HwndOf(b)); });
        break;
      case Kind::CheckBox:
        if (s->style & BS_PUSHLIKE) widget = new Q<Fl_Toggle_Button>(x, y, w, h);
        else widget = new Q<Fl_Check_Button>(x, y, w, h);
        widget->callback([](Fl_Widget* b, void*) { input::Click(HwndOf(b)); });
        break;
      case Kind::Radio:
        widget = new Q<Fl_Round_Button>(x, y, w, h);
        widget->callback([](Fl_Widget* b, void*) { input::Click(HwndOf(b)); });
        break;
      case Kind::Edit: {
        Fl_Input* in = (s->style & ES_MULTILINE) ? static_cast<Fl_Input*>(new Q<Fl_Multiline_Input>(x, y, w, h))
                                                  : static_cast<Fl_Input*>(new Q<Fl_Input>(x, y, w, h));
        in->when(FL_WHEN_CHANGED);
        in->callback([](Fl_Widget* b, void*) { input::Type(HwndOf(b), Cp(static_cast<Fl_Input*>(b)->value()).c_str()); });
        widget = in;
        break;
      }
      case Kind::ListBox: {
        auto* b = new QList(x, y, w, h);
        widget = b;
        break;
      }
      case Kind::ComboBox: {
        auto* c = new Q<Fl_Choice>(x, y, w, h);
        c->callback([](Fl_Widget* b, void*) { input::SelectCombo(HwndOf(b), static_cast<Fl_Choice*>(b)->value()); });
        widget = c;
        break;
      }
      case Kind::Progress: {
        auto* pr = new Fl_Progress(x, y, w, h);
        pr->selection_color(fl_rgb_color(6, 176, 37));
        widget = pr;
        break;
      }
      case Kind::Spin: widget = new QSpin(x, y, w, h); break;
      case Kind::Slider: {
        auto* sl = new Q<Fl_Slider>(x, y, w, h);
        sl->type(FL_HOR_NICE_SLIDER);
        sl->step(1);
        sl->callback([](Fl_Widget* b, void*) { input::Slide(HwndOf(b), static_cast<int>(static_cast<Fl_Slider*>(b)->value())); });
        widget = sl;
        break;
      }
      case Kind::DateTime: widget = new QTime(x, y, w, h); break;
      case Kind::RichEdit: {
        auto* td = new Fl_Text_Display(x, y, w, h);
        td->buffer(new Fl_Text_Buffer);
        td->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
        widget = td;
        break;
      }
      case Kind::Tab: widget = new QTabs(x, y, w, h); break;
    }
    if (widget == nullptr) return nullptr;
    widget->user_data(hwnd);
    pg->add(widget);
    s->native = widget;
    if (s->kind == Kind::ListBox) {
      auto* b = static_cast<Fl_Browser*>(widget);
      auto* l = static_cast<ListBoxState*>(s);
      for (const ListLine& line : l->lines) b->add(U8(line.text).c_str());
    }
    if (s->kind == Kind::Dialog || s->kind == Kind::Generic) {
      for (HWND c : s->children)
        if (WndState* cs = Find(c)) Build(cs);
    }
    Sync(s);
    return widget;
  }

  void SyncCombo(ComboBoxState* s, Fl_Choice* c) {
    c->clear();
    for (const ListLine& l : s->lines) {
      std::string t = U8(l.text);
      c->add(t.empty() ? " " : t.c_str(), 0, nullptr, nullptr, FL_MENU_VALUE & 0);
    }
    // Menu texts treat '/', '&' and '_' specially: set the labels literally.
    for (size_t i = 0; i < s->lines.size(); ++i) c->replace(static_cast<int>(i), U8(s->lines[i].text).c_str());
    if (s->cur >= 0) c->value(s->cur);
    else c->value(-1);
    c->redraw();
  }

  void SyncSelection(ListBoxState* l, Fl_Browser* b) {
    if (l->Multi()) {
      for (size_t i = 0; i < l->lines.size(); ++i) b->select(static_cast<int>(i) + 1, l->lines[i].selected ? 1 : 0);
    } else {
      b->deselect();
      if (l->cur >= 0 && !l->NoSel()) {
        b->select(l->cur + 1, 1);
        b->make_visible(l->cur + 1);
      }
    }
    b->redraw();
  }

  void Sync(WndState* s) {
    auto* w = static_cast<Fl_Widget*>(s->native);
    if (w == nullptr) return;
    int size;
    Fl_Font font = FontOf(s->font, &size);
    if (!s->IsChild()) {
      HWND hwnd = s->hwnd;
      auto* win = static_cast<Fl_Window*>(w);
      win->copy_label(U8(s->text).c_str());
      Colours c = AskColours(s);
      win->color(c.brush && !c.hollow ? Colour(c.brushColour) : FL_BACKGROUND_COLOR);
      if (s->maximized && s->Visible()) {
        int x, y, sw, sh;
        Fl::screen_work_area(x, y, sw, sh);
        if (s->rect.right - s->rect.left != sw || s->rect.bottom - s->rect.top != sh) {
          s->rect = RECT{x, y, x + sw, y + sh};
          win->resize(x, y, sw, sh);
          Send(s->hwnd, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(sw, sh - s->clientTop));
          if ((s = Find(hwnd)) == nullptr || s->native != win) return;
        }
      } else if (win->x() != s->rect.left || win->y() != s->rect.top || win->w() != s->Width() || win->h() != s->Height()) {
        win->resize(s->rect.left, s->rect.top, std::max(s->Width(), 1), std::max(s->Height(), 1));
      }
      if (auto it = m_menus.find(s->hwnd); it != m_menus.end()) it->second->size(win->w(), s->clientTop);
      if (s->Enabled()) win->activate();
      else win->deactivate();
      if (s->Visible() && !win->shown()) {
        // A window with an owner stays above it.
        if (WndState* o = Find(s->owner); o != nullptr && o->native != nullptr)
          win->set_non_modal();
        win->show();
        // The control that has the focus in this window gets the toolkit's focus too.
        WndState* f = Find(FocusWindow());
        if (f != nullptr && f->native != nullptr && TopLevelOf(f) == s) static_cast<Fl_Widget*>(f->native)->take_focus();
      } else if (!s->Visible() && win->shown()) {
        win->hide();
      }
      if (s->minimized && win->shown()) win->iconize();
      return;
    }
    POINT p = WindowPos(s);
    if (w->x() != p.x || w->y() != p.y || w->w() != s->Width() || w->h() != s->Height()) {
      w->resize(p.x, p.y, std::max(s->Width(), 1), std::max(s->Height(), 1));
      if (s->kind == Kind::Dialog || s->kind == Kind::Generic)
        ForEachDescendant(s, [this](WndState* c) { Sync(c); });
    }
    w->labelfont(font);
    w->labelsize(size);
    if (s->Visible()) w->show();
    else w->hide();
    if (s->Enabled()) w->activate();
    else w->deactivate();
    if (!s->tooltip.empty()) w->copy_tooltip(U8(s->tooltip).c_str());
    Colours c = AskColours(s);
    Fl_Color text = c.text ? Colour(c.textColour) : FL_FOREGROUND_COLOR;
    switch (s->kind) {
      case Kind::Dialog:
      case Kind::Generic:
        w->color(c.brush && !c.hollow ? Colour(c.brushColour) : FL_BACKGROUND_COLOR);
        break;
      case Kind::Static: {
        std::string label = LabelText(s->text);
        if (s->style & SS_NOPREFIX) {  // '&' is shown as it is: FLTK takes "&&" for one
          for (size_t k = label.find('&'); k != std::string::npos; k = label.find('&', k + 2)) label.insert(k, 1, '&');
        }
        w->copy_label(label.c_str());
        Fl_Align a = FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_TOP;
        DWORD t = s->style & SS_TYPEMASK;
        a |= t == SS_CENTER ? 0 : t == SS_RIGHT ? FL_ALIGN_RIGHT : FL_ALIGN_LEFT;
        if (s->style & SS_CENTERIMAGE) a = (a & ~FL_ALIGN_TOP);
        w->align(a);
        w->labelcolor(text);
        bool framed = (s->style & WS_BORDER) || (s->exStyle & WS_EX_STATICEDGE) || (s->style & SS_SUNKEN);
        if (c.brush && !c.hollow) {
          w->box(framed ? FL_BORDER_BOX : FL_FLAT_BOX);
          w->color(Colour(c.brushColour));
        } else {
          w->box(framed ? FL_THIN_DOWN_FRAME : FL_NO_BOX);
        }
        if (auto* st = dynamic_cast<QStatic*>(w)) st->underline = s->font != nullptr && s->font->lf.lfUnderline != 0;
        // The picture may change after the window is built (STM_SETICON).
        if (auto* icon = dynamic_cast<QIcon*>(w)) icon->id = s->icon != nullptr ? s->icon->id : 32516;
        break;
      }
      case Kind::GroupBox:
        w->copy_label(LabelText(s->text).c_str());
        w->labelcolor(text);
        break;
      case Kind::Button: {
        w->copy_label(LabelText(s->text).c_str());
        auto* b = static_cast<ButtonState*>(s);
        if (auto* qb = dynamic_cast<QButton*>(w)) qb->isDefault = b->isDefault;
        static_cast<Fl_Button*>(w)->value(b->pushed ? 1 : 0);
        break;
      }
      case Kind::CheckBox:
      case Kind::Radio:
        w->copy_label(LabelText(s->text).c_str());
        w->labelcolor(text);
        static_cast<Fl_Button*>(w)->value(static_cast<ButtonState*>(s)->check == BST_CHECKED ? 1 : 0);
        if (c.brush && !c.hollow && !(s->style & BS_PUSHLIKE)) {
          w->box(FL_FLAT_BOX);
          w->color(Colour(c.brushColour));
        } else if (!(s->style & BS_PUSHLIKE)) {
          w->box(FL_NO_BOX);
        }
        break;
      case Kind::Edit: {
        auto* in = static_cast<Fl_Input*>(w);
        std::string t = U8(s->text);
        if (t != in->value()) in->value(t.c_str());
        in->readonly((s->style & ES_READONLY) ? 1 : 0);
        in->box((s->style & WS_BORDER) ? FL_DOWN_BOX : FL_FLAT_BOX);
        in->textfont(font);
        in->textsize(size);
        in->textcolor(text);
        Fl_Color bg = (s->style & ES_READONLY) ? FL_BACKGROUND_COLOR : FL_BACKGROUND2_COLOR;
        if (c.brush && !c.hollow) bg = Colour(c.brushColour);
        in->color(bg);
        if (auto* e = static_cast<EditState*>(s); e->limit > 0) in->maximum_size(e->limit);
        break;
      }
      case Kind::ListBox: {
        auto* b = static_cast<Fl_Browser*>(w);
        auto* l = static_cast<ListBoxState*>(s);
        b->type(l->NoSel() ? FL_NORMAL_BROWSER : l->Multi() ? FL_MULTI_BROWSER : FL_HOLD_BROWSER);
        b->textfont(font);
        b->textsize(size);
        b->textcolor(text);
        if (c.brush && !c.hollow) b->color(Colour(c.brushColour));
        SyncSelection(l, b);
        break;
      }
      case Kind::ComboBox: {
        auto* ch = static_cast<Fl_Choice*>(w);
        ch->textfont(font);
        ch->textsize(size);
        SyncCombo(static_cast<ComboBoxState*>(s), ch);
        break;
      }
      case Kind::Progress: {
        auto* pr = static_cast<Fl_Progress*>(w);
        auto* r = static_cast<RangeState*>(s);
        pr->minimum(static_cast<float>(r->lower));
        pr->maximum(static_cast<float>(r->upper == r->lower ? r->lower + 1 : r->upper));
        pr->value(static_cast<float>(r->pos));
        break;
      }
      case Kind::Slider: {
        auto* sl = static_cast<Fl_Slider*>(w);
        auto* r = static_cast<RangeState*>(s);
        sl->bounds(r->lower, r->upper);
        sl->value(r->pos);
        break;
      }
      case Kind::DateTime: {
        auto* in = static_cast<Fl_Input*>(w);
        auto* d = static_cast<DateTimeState*>(s);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02u:%02u", d->time.wHour, d->time.wMinute);
        if (std::strcmp(buf, in->value()) != 0) in->value(buf);
        in->textsize(size);
        break;
      }
      case Kind::RichEdit: SyncRich(static_cast<RichEditState*>(s), static_cast<Fl_Text_Display*>(w)); break;
      case Kind::Tab: {
        auto* t = static_cast<QTabs*>(w);
        auto* ts = static_cast<TabState*>(s);
        t->tabs = ts->tabs;
        t->cur = ts->cur;
        t->labelfont(font);
        t->labelsize(size);
        break;
      }
      case Kind::Spin: break;
    }
    if (s->hasFocus && Fl::focus() != w && w->visible_r()) w->take_focus();
    w->redraw();
  }

  void SyncRich(RichEditState* s, Fl_Text_Display* td) {
    int baseSize;
    const Fl_Font baseFont = FontOf(s->font, &baseSize);
    // Style 'A' is the control's own font; one more per distinct (bold, colour, height) of the runs.
    std::vector<CHARFORMAT> formats;
    std::vector<Fl_Text_Display::Style_Table_Entry> table;
    table.push_back(Fl_Text_Display::Style_Table_Entry{FL_FOREGROUND_COLOR, baseFont, baseSize, 0});
    std::string text, styles;
    for (const RichRun& r : s->runs) {
      size_t k = 0;
      for (; k < formats.size(); ++k)
        if (formats[k].dwEffects == r.format.dwEffects && formats[k].crTextColor == r.format.crTextColor &&
            formats[k].yHeight == r.format.yHeight)
          break;
      if (k == formats.size() && k < 50) {
        formats.push_back(r.format);
        const CHARFORMAT& f = r.format;
        Fl_Text_Display::Style_Table_Entry e;
        e.color = (f.dwEffects & CFE_AUTOCOLOR) || !(f.dwMask & CFM_COLOR) ? FL_FOREGROUND_COLOR : Colour(f.crTextColor);
        e.font = (f.dwEffects & CFE_BOLD) ? baseFont | FL_BOLD : baseFont;
        e.size = f.yHeight > 0 ? std::max(6, static_cast<int>(f.yHeight * kScreenDpi / 1440)) : baseSize;
        e.attr = 0;
        table.push_back(e);
      }
      std::string u = U8(r.text);
      text += u;
      styles.append(u.size(), static_cast<char>('A' + 1 + std::min<size_t>(k, formats.size() - 1)));
    }
    // The display measures (and wraps) its text with the styles in place whenever the text
    // changes, and keeps a pointer to the table. So the old text goes while its own styles and
    // table still stand; then the new table, the text size and the new styles are set, and the
    // new text comes last.
    Fl_Text_Buffer*& sb = m_styleBuffers[s->hwnd];
    if (sb == nullptr) sb = new Fl_Text_Buffer;
    td->buffer()->text("");
    sb->text("");
    auto& kept = m_styles[s->hwnd];
    kept.swap(table);
    td->highlight_data(sb, kept.data(), static_cast<int>(kept.size()), 'A', nullptr, nullptr);
    td->textfont(baseFont);
    td->textsize(baseSize);
    sb->text(styles.c_str());
    td->buffer()->text(text.c_str());
    td->color(Colour(s->background));
  }

  std::map<HWND, Fl_Menu_Bar*> m_menus;
  std::map<HWND, std::vector<Fl_Text_Display::Style_Table_Entry>> m_styles;
  std::map<HWND, Fl_Text_Buffer*> m_styleBuffers;
};

// Keys that dialogs act on go through the window system's pre-translation first.
int Dispatch(int event, Fl_Window* w) {
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
    UINT vk = 0;
    switch (Fl::event_key()) {
      case FL_Enter:
      case FL_KP_Enter: vk = VK_RETURN; break;
      case FL_Escape: vk = VK_ESCAPE; break;
      case FL_Delete: vk = VK_DELETE; break;
      case FL_Up: vk = VK_UP; break;
      case FL_Down: vk = VK_DOWN; break;
      case FL_F + 1: vk = VK_F1; break;
      default: break;
    }
    if (vk != 0 && event == FL_KEYBOARD) {
      HWND h = HwndOf(Fl::focus());
      WndState* s = Find(h);
      if (s == nullptr) h = HwndOf(w), s = Find(h);
      bool arrows = vk == VK_UP || vk == VK_DOWN;
      // Arrow keys belong to the focused control unless it is a list box.
      if (s != nullptr && (!arrows || s->kind == Kind::ListBox)) {
        bool consumed = input::Key(h, vk);
        if (consumed || vk == VK_ESCAPE || (vk == VK_RETURN && !(s->kind == Kind::Edit && (s->style & ES_WANTRETURN))) ||
            s->kind == Kind::ListBox)
          return 1;
      }
    }
    if (event == FL_SHORTCUT && Fl::event_key() == FL_Escape) return 1;  // never closes a window by itself
  }
  return Fl::handle_(event, w);
}

}  // namespace

Backend* MakeFltkBackend() {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return nullptr;
  fl_open_display(d);
  Fl::lock();  // lets other threads wake the loop with Fl::awake
  Fl::scheme("gtk+");
  Fl::visual(FL_DOUBLE | FL_INDEX);
  Fl::event_dispatch(Dispatch);
  return new FltkBackend;
}

bool FltkChooseFile(const FileChooserRequest& req, std::string& path) {
  Fl_Native_File_Chooser fc;
  fc.type(req.open ? Fl_Native_File_Chooser::BROWSE_FILE : Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
  fc.title(U8(req.title).c_str());
  std::string filter;
  for (const auto& [desc, pats] : req.filters) {
    std::string p;
    for (const std::string& one : pats) {
      if (one == "*.*") p += (p.empty() ? "" : ",") + std::string("*");
      else if (one == "*.exe") p += (p.empty() ? "" : ",") + std::string("*");  // programs have no extension here
      else p += (p.empty() ? "" : ",") + one;
    }
    filter += U8(desc) + "\t" + (p.find(',') != std::string::npos ? "{" + p + "}" : p) + "\n";
  }
  if (!filter.empty()) fc.filter(filter.c_str());
  std::string initial = req.initialPath;
  std::replace(initial.begin(), initial.end(), '\\', '/');
  size_t slash = initial.find_last_of('/');
  if (slash != std::string::npos) {
    fc.directory(U8(initial.substr(0, slash)).c_str());
    fc.preset_file(U8(initial.substr(slash + 1)).c_str());
  } else if (!initial.empty()) {
    fc.preset_file(U8(initial).c_str());
  }
  if (fc.show() != 0 || fc.filename() == nullptr) return false;
  path = Cp(fc.filename());
  return true;
}

bool FltkChooseFolder(const std::string& title, const std::string& start, std::string& path) {
  Fl_Native_File_Chooser fc;
  fc.type(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
  fc.title(U8(title).c_str());
  std::string dir = start;
  std::replace(dir.begin(), dir.end(), '\\', '/');
  if (!dir.empty()) fc.directory(U8(dir).c_str());
  if (fc.show() != 0 || fc.filename() == nullptr) return false;
  path = Cp(fc.filename());
  return true;
}

// Saves a PNG of a shown top-level window (the screenshot tool and the smoke test use it).
bool WritePng(const std::string& file, const unsigned char* rgb, int w, int h);  // screenshot.cpp

bool SaveWindowPng(HWND hwnd, const std::string& file) {
  WndState* s = Find(hwnd);
  if (s == nullptr || s->native == nullptr) return false;
  auto* win = static_cast<Fl_Window*>(s->native);
  if (!win->shown()) return false;
  Fl::flush();
  win->make_current();
  unsigned char* pixels = fl_read_image(nullptr, 0, 0, win->w(), win->h());
  if (pixels == nullptr) return false;
  bool ok = WritePng(file, pixels, win->w(), win->h());
  delete[] pixels;
  return ok;
}

}  // namespace qav::ui
