// CLabel: a static text with its own text and background colours and font, optional blinking of
// its text or background, and an optional link behaviour (a click opens the label's text with the
// desktop; a chosen cursor shows over it). Every setter returns the label, so calls chain.
#pragma once

#include "platform/ui/controls.h"
#include "support/label_blink.h"

class CLabel : public CStatic {
 public:
  CLabel();
  ~CLabel() override;

  CLabel& SetTextColor(COLORREF color);
  // Takes effect at the next repaint.
  CLabel& SetBkColor(COLORREF color);
  CLabel& SetFont(const LOGFONT& font);
  using CWnd::SetFont;
  CLabel& SetFontName(const char* face);
  CLabel& SetFontSize(int size);
  CLabel& SetFontBold(bool bold);
  CLabel& SetFontItalic(bool italic);
  CLabel& SetFontUnderline(bool underline);
  CLabel& SetText(const char* text);
  CLabel& SetBorder(bool border);
  CLabel& SetSunken(bool sunken);
  // Link on: the label takes clicks (SS_NOTIFY) and opens its text; off: clicks are ignored.
  CLabel& SetLink(bool link);
  CLabel& SetLinkCursor(HCURSOR cursor);
  CLabel& FlashText(bool on);
  CLabel& FlashBackground(bool on);

  void PreSubclassWindow() override;
  HBRUSH CtlColor(CDC* dc, UINT ctlColor);
  void OnTimer(UINT_PTR id);
  void OnLButtonDown(UINT flags, CPoint point);
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);

  // Opens a link's text (the desktop's opener; tests replace it).
  static DWORD (*s_pfnOpenLink)(const char* text);

  COLORREF m_crText;
  CBrush m_brBk;     // the background
  CBrush m_brBlink;  // the off phase of a blinking background
  LOGFONT m_lf;
  CFont m_font;
  CLabelBlink m_blink;  // saved text, phase, blinking, mode
  int m_bLink = 1;
  HCURSOR m_hLinkCursor = nullptr;
  bool m_bFontChanged = false;  // a setter changed the font: the window uses it

 private:
  void Redraw();
  void RebuildFont();
  // Stops a running blink, putting a blinking text back.
  void StopBlinking();

  DECLARE_MESSAGE_MAP()
};
