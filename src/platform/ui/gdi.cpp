#include "platform/ui/gdi.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "platform/ui/backend.h"

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_3DFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNHILIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
    case COLOR_3DLIGHT: return RGB(227, 227, 227);
    default: return RGB(0, 0, 0);
  }
}


HBRUSH GetSysColorBrush(int index) {
  static std::map<int, HBRUSH__>* brushes = new std::map<int, HBRUSH__>;
  auto it = brushes->find(index);
  if (it == brushes->end()) it = brushes->emplace(index, HBRUSH__{GetSysColor(index), false, true}).first;
  return &it->second;
}

HGDIOBJ GetStockObject(int which) {
  static HBRUSH__ hollow{0, true, true};
  static HFONT__ gui = [] {
    HFONT__ f;
    f.lf.lfHeight = -11;
    std::strcpy(f.lf.lfFaceName, "MS Shell Dlg");
    f.stock = true;
    return f;
  }();
  if (which == NULL_BRUSH) return &hollow;
  if (which == DEFAULT_GUI_FONT) return &gui;
  return nullptr;
}

// Brushes and fonts are told apart by the stock registry: every handle the program frees was made
// by CreateSolidBrush or CreateFontIndirect and is recorded there.
namespace {
std::map<void*, bool>& Owned() {
  static auto* m = new std::map<void*, bool>;  // true = brush, false = font
  return *m;
}
}  // namespace

HBRUSH CreateSolidBrush(COLORREF color) {
  HBRUSH b = new HBRUSH__{color, false, false};
  Owned()[b] = true;
  return b;
}

BOOL DeleteObject(HGDIOBJ obj) {
  auto it = Owned().find(obj);
  if (it == Owned().end()) return FALSE;
  if (it->second) delete static_cast<HBRUSH>(obj);
  else delete static_cast<HFONT>(obj);
  Owned().erase(it);
  return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
  DeleteObject();
  m_hBrush = ::CreateSolidBrush(color);
  return TRUE;
}

BOOL CBrush::DeleteObject() {
  if (m_hBrush == nullptr) return FALSE;
  ::DeleteObject(m_hBrush);
  m_hBrush = nullptr;
  return TRUE;
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  auto* f = new HFONT__;
  if (lf != nullptr) f->lf = *lf;
  f->lf.lfFaceName[LF_FACESIZE - 1] = '\0';
  Owned()[f] = false;
  return f;
}

BOOL CFont::CreateFontIndirect(const LOGFONT* lf) {
  DeleteObject();
  m_hFont = ::CreateFontIndirect(lf);
  return TRUE;
}

BOOL CFont::CreatePointFont(int pointSizeTenths, LPCSTR face) {
  LOGFONT lf;
  lf.lfHeight = -((pointSizeTenths * kScreenDpi + 360) / 720);
  if (face != nullptr) std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", face);
  return CreateFontIndirect(&lf);
}

BOOL CFont::DeleteObject() {
  if (m_hFont == nullptr || m_wrapper) return FALSE;
  ::DeleteObject(m_hFont);
  m_hFont = nullptr;
  return TRUE;
}

int CFont::GetLogFont(LOGFONT* lf) const {
  if (m_hFont == nullptr || lf == nullptr) return 0;
  *lf = m_hFont->lf;
  return sizeof(LOGFONT);
}

CFont* CFont::FromHandle(HFONT h) {
  if (h == nullptr) return nullptr;
  // Lasting wrappers that do not own their fonts.
  static auto* wrappers = new std::map<HFONT, CFont*>;
  auto it = wrappers->find(h);
  if (it != wrappers->end()) return it->second;
  auto* f = new CFont;
  f->m_hFont = h;
  f->m_wrapper = true;
  (*wrappers)[h] = f;
  return f;
}

// ---- Cursors and icons ----
namespace {
HCURSOR__ g_cursors[3] = {{CursorKind::Arrow}, {CursorKind::Wait}, {CursorKind::Hand}};
HCURSOR g_current = &g_cursors[0];
}  // namespace

HCURSOR LoadCursor(void*, LPCSTR name) {
  auto id = reinterpret_cast<uintptr_t>(name);
  if (id == IDC_WAIT_ID) return &g_cursors[1];
  if (id == IDC_HAND_ID || id == 133) return &g_cursors[2];  // 133: the program's hand cursor
  return &g_cursors[0];
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = g_current;
  if (cursor == nullptr) cursor = &g_cursors[0];
  if (cursor != g_current) {
    g_current = cursor;
    qav::ui::CurrentBackend().CursorChanged(cursor->shape);
  }
  return old;
}

HCURSOR GetCursor() { return g_current; }

HICON LoadIcon(void*, LPCSTR name) {
  static auto* icons = new std::map<uintptr_t, std::unique_ptr<HICON__>>;
  auto id = reinterpret_cast<uintptr_t>(name);
  auto& slot = (*icons)[id];
  if (!slot) slot.reset(new HICON__{id});
  return slot.get();
}

// ---- Drawing context ----
CFont* CDC::SelectObject(CFont* font) {
  CFont* old = m_fontObj;
  m_fontObj = font;
  m_font = font != nullptr ? font->m_hFont : nullptr;
  return old;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ obj) {
  HGDIOBJ old = m_font;
  m_font = static_cast<HFONT>(obj);
  return old;
}

void CDC::FillSolidRect(LPCRECT r, COLORREF c) {
  if (m_painter != nullptr && r != nullptr) m_painter->FillRect(*r, c);
  m_bk = c;
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c) {
  RECT r{x, y, x + cx, y + cy};
  FillSolidRect(&r, c);
}

void CDC::FillRect(LPCRECT r, HBRUSH brush) {
  if (m_painter != nullptr && r != nullptr && brush != nullptr && !brush->hollow) m_painter->FillRect(*r, brush->color);
}
void CDC::FillRect(LPCRECT r, CBrush* brush) { FillRect(r, brush != nullptr ? brush->m_hBrush : nullptr); }

void CDC::FrameRect(LPCRECT r, HBRUSH brush) {
  if (m_painter != nullptr && r != nullptr && brush != nullptr && !brush->hollow) m_painter->FrameRect(*r, brush->color);
}
void CDC::FrameRect(LPCRECT r, CBrush* brush) { FrameRect(r, brush != nullptr ? brush->m_hBrush : nullptr); }

void CDC::Draw3dRect(LPCRECT r, COLORREF tl, COLORREF br) {
  if (m_painter == nullptr || r == nullptr) return;
  m_painter->Line(r->left, r->top, r->right - 1, r->top, tl);
  m_painter->Line(r->left, r->top, r->left, r->bottom - 1, tl);
  m_painter->Line(r->right - 1, r->top, r->right - 1, r->bottom - 1, br);
  m_painter->Line(r->left, r->bottom - 1, r->right - 1, r->bottom - 1, br);
}

BOOL CDC::DrawEdge(LPRECT r, UINT edge, UINT flags) {
  if (r == nullptr) return FALSE;
  bool raised = (edge & (BDR_RAISEDOUTER | BDR_RAISEDINNER)) != 0;
  COLORREF light = GetSysColor(COLOR_BTNHILIGHT);
  COLORREF dark = GetSysColor(COLOR_BTNSHADOW);
  Draw3dRect(r, raised ? light : dark, raised ? dark : light);
  return TRUE;
}

void CDC::DrawFocusRect(LPCRECT r) {
  if (m_painter != nullptr && r != nullptr) m_painter->FocusRect(*r);
}

void CDC::LineTo(int x, int y) {
  if (m_painter != nullptr) m_painter->Line(m_pos.x, m_pos.y, x, y, m_text);
  m_pos = CPoint(x, y);
}

int CDC::DrawText(LPCSTR text, int count, LPRECT r, UINT format) {
  if (text == nullptr || r == nullptr || m_painter == nullptr) return 0;
  std::string t = count < 0 ? std::string(text) : std::string(text, static_cast<size_t>(count));
  if (format & DT_CALCRECT) {
    SIZE sz = m_painter->Measure(t, (format & DT_WORDBREAK) ? r->right - r->left : 0, format, m_font);
    r->right = r->left + sz.cx;
    r->bottom = r->top + sz.cy;
    return sz.cy;
  }
  m_painter->Text(t, *r, format, m_text, m_font);
  return m_painter->Measure(t, (format & DT_WORDBREAK) ? r->right - r->left : 0, format, m_font).cy;
}

namespace qav::ui {
namespace {
std::string Rect(const RECT& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", r.left, r.top, r.right, r.bottom);
  return buf;
}
std::string Hex(COLORREF c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06X", c);
  return buf;
}
}  // namespace

void RecordingPainter::FillRect(const RECT& r, COLORREF c) { ops.push_back("fill " + Rect(r) + " " + Hex(c)); }
void RecordingPainter::FrameRect(const RECT& r, COLORREF c) { ops.push_back("frame " + Rect(r) + " " + Hex(c)); }
void RecordingPainter::Line(int x1, int y1, int x2, int y2, COLORREF c) {
  ops.push_back("line " + Rect(RECT{x1, y1, x2, y2}) + " " + Hex(c));
}
void RecordingPainter::FocusRect(const RECT& r) { ops.push_back("focus " + Rect(r)); }
void RecordingPainter::Text(const std::string& text, const RECT& r, UINT format, COLORREF color, HFONT) {
  ops.push_back("text " + Rect(r) + " " + Hex(color) + " " + text);
}
SIZE RecordingPainter::Measure(const std::string& text, int width, UINT, HFONT) {
  // The headless metrics: 6 pixels a character, 13 a line.
  int w = static_cast<int>(text.size()) * 6;
  if (width > 0 && w > width) return SIZE{width, 13 * ((w + width - 1) / width)};
  return SIZE{w, 13};
}
}  // namespace qav::ui
