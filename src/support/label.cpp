#include "support/label.h"

#include <cstring>

#include "platform/shell/shell.h"
#include "support/mfcex_dialog.h"

DWORD (*CLabel::s_pfnOpenLink)(const char* text) = &OpenDocumentOrUrl;

BEGIN_MESSAGE_MAP(CLabel, CStatic)
  ON_WM_CTLCOLOR_REFLECT()
  ON_WM_TIMER()
  ON_WM_LBUTTONDOWN()
  ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CLabel::CLabel()
    : m_crText(GetSysColor(COLOR_WINDOWTEXT)), m_brBk(GetSysColor(COLOR_3DFACE)), m_brBlink(GetSysColor(COLOR_3DFACE)) {
  if (auto* gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) m_lf = gui->lf;
  m_font.CreateFontIndirect(&m_lf);
}

CLabel::~CLabel() {
  if (m_blink.IsBlinking() && m_hWnd != nullptr) KillTimer(1);
  // The window outlives this object's font by a moment: it must not keep the handle.
  if (m_hWnd != nullptr && reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)) == m_font.m_hFont) SendMessage(WM_SETFONT, 0, FALSE);
}

void CLabel::PreSubclassWindow() {
  CStatic::PreSubclassWindow();
  if (m_bFontChanged) CWnd::SetFont(&m_font, FALSE);
}

void CLabel::Redraw() {
  if (m_hWnd != nullptr) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CLabel::RebuildFont() {
  m_font.DeleteObject();
  m_font.CreateFontIndirect(&m_lf);
  // The window draws its text in this font from now on.
  m_bFontChanged = true;
  if (m_hWnd != nullptr) CWnd::SetFont(&m_font, FALSE);
}

CLabel& CLabel::SetTextColor(COLORREF color) {
  m_crText = color;
  Redraw();
  return *this;
}

CLabel& CLabel::SetBkColor(COLORREF color) {
  m_brBk.CreateSolidBrush(color);  // the old brush is deleted
  return *this;
}

CLabel& CLabel::SetFont(const LOGFONT& font) {
  m_lf = font;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetFontName(const char* face) {
  std::memset(m_lf.lfFaceName, 0, sizeof m_lf.lfFaceName);
  if (face != nullptr) std::strncpy(m_lf.lfFaceName, face, sizeof m_lf.lfFaceName - 1);
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetFontSize(int size) {
  m_lf.lfHeight = -size;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetFontBold(bool bold) {
  m_lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetFontItalic(bool italic) {
  m_lf.lfItalic = italic ? 1 : 0;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetFontUnderline(bool underline) {
  m_lf.lfUnderline = underline ? 1 : 0;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetText(const char* text) {
  if (m_hWnd != nullptr) SetWindowText(text);
  return *this;
}

CLabel& CLabel::SetBorder(bool border) {
  if (m_hWnd != nullptr) ModifyStyle(border ? 0 : WS_BORDER, border ? WS_BORDER : 0, SWP_FRAMECHANGED);
  return *this;
}

CLabel& CLabel::SetSunken(bool sunken) {
  if (m_hWnd != nullptr) ModifyStyleEx(sunken ? 0 : WS_EX_STATICEDGE, sunken ? WS_EX_STATICEDGE : 0, SWP_FRAMECHANGED);
  return *this;
}

CLabel& CLabel::SetLink(bool link) {
  m_bLink = link ? 1 : 0;
  if (m_hWnd != nullptr) ModifyStyle(link ? 0 : SS_NOTIFY, link ? SS_NOTIFY : 0);
  return *this;
}

CLabel& CLabel::SetLinkCursor(HCURSOR cursor) {
  m_hLinkCursor = cursor;
  return *this;
}

void CLabel::StopBlinking() {
  const bool running = m_blink.IsBlinking();
  const std::string saved = m_blink.m_strSaved;
  if (m_blink.Stop() && m_hWnd != nullptr) SetWindowText(saved.c_str());
  if (running && m_hWnd != nullptr) KillTimer(1);
}

CLabel& CLabel::FlashText(bool on) {
  StopBlinking();
  if (on && m_hWnd != nullptr) {
    m_blink.StartText(GetWindowText());
    SetTimer(1, 500);
  }
  return *this;
}

CLabel& CLabel::FlashBackground(bool on) {
  StopBlinking();
  if (on && m_hWnd != nullptr) {
    m_blink.StartBackground();
    SetTimer(1, 500);
  }
  return *this;
}

HBRUSH CLabel::CtlColor(CDC* dc, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return nullptr;
  if (dc != nullptr) {
    dc->SelectObject(&m_font);
    dc->SetTextColor(m_crText);
    dc->SetBkMode(TRANSPARENT);
  }
  return m_blink.UseBlinkBrush() ? m_brBlink.m_hBrush : m_brBk.m_hBrush;
}

void CLabel::OnTimer(UINT_PTR id) {
  if (id == 1) {
    switch (m_blink.OnTimer()) {
      case CLabelBlink::Action::ShowSavedText: SetWindowText(m_blink.m_strSaved.c_str()); break;
      case CLabelBlink::Action::ShowEmptyText: SetWindowText(""); break;
      case CLabelBlink::Action::Repaint: Redraw(); break;
      case CLabelBlink::Action::Nothing: break;
    }
  }
  CStatic::OnTimer(id);
}

void CLabel::OnLButtonDown(UINT flags, CPoint point) {
  // Without SS_NOTIFY a static takes no clicks.
  if ((GetStyle() & SS_NOTIFY) != 0 && s_pfnOpenLink != nullptr) {
    const std::string text = GetWindowText();
    if (!text.empty()) s_pfnOpenLink(text.c_str());
  }
  CStatic::OnLButtonDown(flags, point);
}

BOOL CLabel::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (m_hLinkCursor != nullptr) {
    ::SetCursor(m_hLinkCursor);
    return TRUE;
  }
  return CStatic::OnSetCursor(wnd, hitTest, message);
}
