// Points, rectangles, colours, brushes, fonts, cursors and the drawing context of owner-drawn
// controls. A drawing context hands every operation to a painter: the Qt backend paints, the
// headless backend records the operations so tests can check them.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/wintypes.h"

class CPoint : public POINT {
 public:
  CPoint() = default;
  CPoint(int x0, int y0) { x = x0; y = y0; }
  explicit CPoint(LPARAM lp) { x = GET_X_LPARAM(lp); y = GET_Y_LPARAM(lp); }
  bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
 public:
  CSize() = default;
  CSize(int w, int h) { cx = w; cy = h; }
};

class CRect : public RECT {
 public:
  CRect() = default;
  CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: converting, as callers pass RECTs freely
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
  void DeflateRect(int dx, int dy) { left += dx; right -= dx; top += dy; bottom -= dy; }
  void InflateRect(int dx, int dy) { DeflateRect(-dx, -dy); }
  void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  operator RECT*() { return this; }
  operator const RECT*() const { return this; }
};
using LPRECT = RECT*;
using LPPOINT = POINT*;
using LPCRECT = const RECT*;

// The fixed system colours of the program's look.
COLORREF GetSysColor(int index);

// ---- Brushes ----
// A brush handle refers to one of these. Stock brushes are never freed.
struct HBRUSH__ {
  COLORREF color = 0;
  bool hollow = false;
  bool stock = false;
};
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH GetSysColorBrush(int index);
HGDIOBJ GetStockObject(int which);
BOOL DeleteObject(HGDIOBJ obj);

class CBrush {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  ~CBrush() { DeleteObject(); }
  CBrush(const CBrush&) = delete;
  CBrush& operator=(const CBrush&) = delete;
  BOOL CreateSolidBrush(COLORREF color);
  BOOL DeleteObject();
  HBRUSH GetSafeHandle() const { return m_hBrush; }
  operator HBRUSH() const { return m_hBrush; }
  HBRUSH m_hBrush = nullptr;
};

// ---- Fonts ----
struct HFONT__ {
  LOGFONT lf;
  bool stock = false;
};
HFONT CreateFontIndirect(const LOGFONT* lf);

class CFont {
 public:
  CFont() = default;
  ~CFont() { DeleteObject(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;
  BOOL CreateFontIndirect(const LOGFONT* lf);
  // Size in tenths of a point, as the framework's point-font constructor takes it.
  BOOL CreatePointFont(int pointSizeTenths, LPCSTR face);
  BOOL DeleteObject();
  int GetLogFont(LOGFONT* lf) const;
  HFONT GetSafeHandle() const { return m_hFont; }
  operator HFONT() const { return m_hFont; }
  static CFont* FromHandle(HFONT h);
  HFONT m_hFont = nullptr;
  bool m_wrapper = false;  // handed out by FromHandle: does not own the font
};

// Pixels per logical inch of the screen, used to turn points into pixels.
constexpr int kScreenDpi = 96;

// ---- Cursors ----
enum class CursorKind { Arrow, Wait, Hand };
struct HCURSOR__ {
  CursorKind shape;
};
HCURSOR LoadCursor(void* instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// ---- Icons ----
// Icons are identified by resource id; the backend draws the system icons itself.
struct HICON__ {
  uintptr_t id;
};
HICON LoadIcon(void* instance, LPCSTR name);

// ---- Drawing context ----
namespace qav::ui {
// The target of a drawing context.
class Painter {
 public:
  virtual ~Painter() = default;
  virtual void FillRect(const RECT& r, COLORREF c) = 0;
  virtual void FrameRect(const RECT& r, COLORREF c) = 0;
  virtual void Line(int x1, int y1, int x2, int y2, COLORREF c) = 0;
  virtual void FocusRect(const RECT& r) = 0;
  virtual void Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT font) = 0;
  // Size of the text in pixels when laid out in the given width (0: one line).
  virtual SIZE Measure(const std::string& text, int width, UINT format, HFONT font) = 0;
};

// A painter that records every operation as a line of text (for tests and the headless backend).
class RecordingPainter : public Painter {
 public:
  void FillRect(const RECT& r, COLORREF c) override;
  void FrameRect(const RECT& r, COLORREF c) override;
  void Line(int x1, int y1, int x2, int y2, COLORREF c) override;
  void FocusRect(const RECT& r) override;
  void Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT font) override;
  SIZE Measure(const std::string& text, int width, UINT format, HFONT font) override;
  std::vector<std::string> ops;
};
}  // namespace qav::ui

class CDC {
 public:
  explicit CDC(qav::ui::Painter* painter = nullptr) : m_painter(painter) {}
  virtual ~CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  static CDC* FromHandle(HDC h) { return reinterpret_cast<CDC*>(h); }
  HDC GetSafeHdc() { return reinterpret_cast<HDC>(this); }
  operator HDC() { return GetSafeHdc(); }

  COLORREF SetTextColor(COLORREF c) { COLORREF o = m_text; m_text = c; m_textSet = true; return o; }
  COLORREF GetTextColor() const { return m_text; }
  COLORREF SetBkColor(COLORREF c) { COLORREF o = m_bk; m_bk = c; m_bkSet = true; return o; }
  COLORREF GetBkColor() const { return m_bk; }
  int SetBkMode(int mode) { int o = m_bkMode; m_bkMode = mode; return o; }
  int GetBkMode() const { return m_bkMode; }
  CFont* SelectObject(CFont* font);
  HGDIOBJ SelectObject(HGDIOBJ obj);

  void FillSolidRect(LPCRECT r, COLORREF c);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
  void FillRect(LPCRECT r, CBrush* brush);
  void FillRect(LPCRECT r, HBRUSH brush);
  void FrameRect(LPCRECT r, CBrush* brush);
  void FrameRect(LPCRECT r, HBRUSH brush);
  void Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight);
  BOOL DrawEdge(LPRECT r, UINT edge, UINT flags);
  void DrawFocusRect(LPCRECT r);
  void MoveTo(int x, int y) { m_pos = CPoint(x, y); }
  void LineTo(int x, int y);
  // Draws (or with DT_CALCRECT measures) the text; returns the text's height.
  int DrawText(LPCSTR text, int count, LPRECT r, UINT format);
  int DrawText(const std::string& text, LPRECT r, UINT format) {
    return DrawText(text.c_str(), static_cast<int>(text.size()), r, format);
  }

  // What the OnCtlColor handlers left in the context.
  bool TextColorSet() const { return m_textSet; }
  bool BkColorSet() const { return m_bkSet; }
  HFONT CurrentFont() const { return m_font; }

 private:
  qav::ui::Painter* m_painter;
  COLORREF m_text = 0;
  COLORREF m_bk = 0xFFFFFF;
  bool m_textSet = false;
  bool m_bkSet = false;
  int m_bkMode = OPAQUE;
  HFONT m_font = nullptr;
  CFont* m_fontObj = nullptr;
  CPoint m_pos;
};
