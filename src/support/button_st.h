// CButtonST: a push button that draws itself. Six colours for its face and text in three states
// (pointer over it or pressed, normal, focused), a flat look that lights up under the pointer, an
// optional image beside the caption with a generated pressed-state image, a check-box mode, a
// hand (or other) cursor, a tooltip, a web address opened on click, and a see-through mode that
// paints the parent's background. The colour slots, the setters' return codes and the image
// rules live in button_st_style.h.
#pragma once

#include <string>

#include "platform/ui/controls.h"
#include "support/button_st_style.h"

class CButtonST : public CButton {
 public:
  CButtonST();
  ~CButtonST() override;

  DWORD SetColor(BYTE index, COLORREF color, BOOL repaint = TRUE);
  DWORD GetColor(BYTE index, COLORREF* color) const { return m_colors.GetColor(index, color); }
  DWORD OffsetColor(BYTE index, short offset, BOOL repaint = TRUE);
  DWORD SetDefaultColors(BOOL repaint = TRUE);
  DWORD SetFlat(BOOL flat = TRUE, BOOL repaint = TRUE);
  // 0 image left of the caption, 1 above it, 2 right of it, 3 no placement change.
  DWORD SetAlign(BYTE align, BOOL repaint = TRUE);
  // 0: the caption moves by (1, 1) while pressed; 1: by (0, 2).
  DWORD SetPressedStyle(BYTE style, BOOL repaint = TRUE);
  // Check-box mode only.
  DWORD SetCheck(int check, BOOL repaint = TRUE);
  int GetCheck() const { return m_nCheck; }
  DWORD SetDrawBorder(BOOL draw = TRUE, BOOL repaint = TRUE);
  DWORD SetDrawFlatFocus(BOOL draw, BOOL repaint = TRUE);
  DWORD SetAlwaysTrack(BOOL always = TRUE);
  // A cursor resource id (0: none).
  DWORD SetBtnCursor(int cursorId = 0, BOOL repaint = TRUE);
  // Images: the second is shown while the pointer is over the button or it is pressed; instead
  // of a second image BUTTONST_IMAGE_DARKER or BUTTONST_IMAGE_GREY generates it from the first.
  // Icons keep black as they are; bitmaps draw through a mask of their transparent colour.
  DWORD SetIcon(const CButtonSTImage& in, const CButtonSTImage* out = nullptr);
  DWORD SetIcon(const CButtonSTImage& in, int generated);
  DWORD SetBitmaps(const CButtonSTImage& in, COLORREF transparentIn, const CButtonSTImage* out = nullptr,
                   COLORREF transparentOut = 0);
  DWORD SetBitmaps(const CButtonSTImage& in, COLORREF transparentIn, int generated);
  // A drop-down menu: no menu resources exist for buttons, so only 0 (no menu) succeeds.
  DWORD SetMenu(UINT menuId, HWND owner, BOOL repaint = TRUE);
  DWORD SetMenuCallback(HWND wnd, UINT message, LPARAM lParam = 0);
  DWORD SetURL(const char* url = nullptr);
  void SetTooltipText(const char* text, BOOL activate = TRUE);
  void ActivateTooltip(BOOL activate = TRUE);
  DWORD EnableBalloonTooltip();
  void SizeToContent();
  DWORD DrawTransparent(BOOL repaint = FALSE);
  DWORD SetBk(CDC* dc);

  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  void PreSubclassWindow() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // Opens the web address (the desktop's opener; tests replace it).
  static DWORD (*s_pfnOpenUrl)(const char* url);

  // The state the drawing works from (public for the view and the tests).
  int m_bIsGreyBitmapDisabled = 1;
  int m_nImageMarginX = 3;
  int m_nImageMarginY = 3;
  CPoint m_ptPressedOffset{1, 1};
  int m_bIsFlat = 1;
  int m_bMouseOnButton = 0;
  int m_bDrawTransparent = 0;
  int m_bIsPressed = 0;
  int m_bIsFocused = 0;
  int m_bIsDisabled = 0;
  int m_bIsDefault = 0;
  int m_bIsCheckBox = 0;
  int m_nAlign = 0;
  int m_bDrawBorder = 1;
  int m_bDrawFlatFocus = 0;
  CButtonSTColors m_colors;
  HWND m_hMenuOwner = nullptr;
  int m_bMenuDisplayed = 0;
  UINT m_nMenuId = 0;
  HCURSOR m_hCursor = nullptr;
  CToolTipCtrl m_toolTip;
  bool m_bToolTipCreated = false;
  bool m_bToolAdded = false;
  bool m_bBkCacheValid = false;
  COLORREF m_crBkCache = 0;
  int m_nCheck = 0;
  int m_bAlwaysTrack = 0;
  DWORD m_dwToolTipStyle = 0;
  DWORD m_nTypeStyle = 0;
  char m_szURL[260] = {};
  struct SImageSlot {
    CButtonSTImage image;
    std::vector<BYTE> mask;  // bitmaps: 1 where the image is transparent
    bool bitmap = false;
  };
  SImageSlot m_images[2];  // normal; hovered or pressed
  HWND m_hCallbackWnd = nullptr;
  UINT m_nCallbackMsg = 0;
  LPARAM m_lCallbackParam = 0;

  // Message handlers.
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  void OnKillFocus(CWnd* newWnd);
  void OnMouseMove(UINT flags, CPoint point);
  void OnSysColorChange();
  BOOL OnClicked();
  void OnActivate(UINT state, CWnd* other, BOOL minimized);
  void OnEnable(BOOL enable);
  void OnCancelMode();
  UINT OnGetDlgCode();
  HBRUSH CtlColor(CDC* dc, UINT ctlColor);
  void OnMouseLeave();
  LRESULT OnSetCheck(WPARAM wParam, LPARAM lParam);
  LRESULT OnGetCheck(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);

 protected:
  virtual DWORD DrawBackground(CDC* dc, CRect* rect);
  virtual DWORD DrawBorder(CDC* dc, CRect* rect);
  virtual void DrawIconImage(CDC* dc, const CRect& item, CRect* caption);
  virtual void DrawBitmapImage(CDC* dc, const CRect& item, CRect* caption);
  virtual void DrawCaption(CDC* dc, const CRect& caption);

 private:
  void Repaint(BOOL repaint);
  void GoDark();
  // Where the image goes; the caption rectangle gives way to it.
  CRect PlaceImage(const CRect& item, int cx, int cy, CRect* caption) const;
  void DrawImage(CDC* dc, const SImageSlot& slot, const CRect& at) const;
  const SImageSlot* CurrentImage() const;
  DWORD SetImages(const CButtonSTImage& in, bool bitmap, COLORREF transparentIn, const CButtonSTImage* out,
                  COLORREF transparentOut, int generated);

  DECLARE_MESSAGE_MAP()
};
