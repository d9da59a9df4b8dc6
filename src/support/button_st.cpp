#include "support/button_st.h"

#include <cstring>

#include "platform/shell/shell.h"
#include "support/mfcex_dialog.h"

DWORD (*CButtonST::s_pfnOpenUrl)(const char* url) = &OpenDocumentOrUrl;

BEGIN_MESSAGE_MAP(CButtonST, CButton)
  ON_WM_SETCURSOR()
  ON_WM_KILLFOCUS()
  ON_WM_MOUSEMOVE()
  ON_WM_SYSCOLORCHANGE()
  ON_CONTROL_REFLECT_EX(BN_CLICKED, &CButtonST::OnClicked)
  ON_WM_ACTIVATE()
  ON_WM_ENABLE()
  ON_WM_CANCELMODE()
  ON_WM_GETDLGCODE()
  ON_WM_CTLCOLOR_REFLECT()
  ON_WM_MOUSELEAVE()
  ON_MESSAGE(BM_SETCHECK, &CButtonST::OnSetCheck)
  ON_MESSAGE(BM_GETCHECK, &CButtonST::OnGetCheck)
  ON_MESSAGE(BM_SETSTYLE, &CButtonST::OnSetStyle)
END_MESSAGE_MAP()

CButtonST::CButtonST() { m_colors.SetDefaultColors(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)); }

CButtonST::~CButtonST() = default;

void CButtonST::Repaint(BOOL repaint) {
  if (repaint && m_hWnd != nullptr) Invalidate();
}

// ---- Setters ----

DWORD CButtonST::SetColor(BYTE index, COLORREF color, BOOL repaint) {
  const DWORD r = m_colors.SetColor(index, color);
  if (r == BUTTONST_OK) Repaint(repaint);
  return r;
}

DWORD CButtonST::OffsetColor(BYTE index, short offset, BOOL repaint) {
  const DWORD r = m_colors.OffsetColor(index, offset);
  if (r == BUTTONST_OK) Repaint(repaint);
  return r;
}

DWORD CButtonST::SetDefaultColors(BOOL repaint) {
  m_colors.SetDefaultColors(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT));
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetFlat(BOOL flat, BOOL repaint) {
  m_bIsFlat = flat ? 1 : 0;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetAlign(BYTE align, BOOL repaint) {
  if (align > 3) return BUTTONST_INVALID_ALIGN;
  m_nAlign = align;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetPressedStyle(BYTE style, BOOL repaint) {
  if (style == 0)
    m_ptPressedOffset = CPoint(1, 1);
  else if (style == 1)
    m_ptPressedOffset = CPoint(0, 2);
  else
    return BUTTONST_INVALID_PRESSED_STYLE;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetCheck(int check, BOOL repaint) {
  if (m_bIsCheckBox) {
    m_nCheck = check != 0 ? 1 : 0;
    Repaint(repaint);
  }
  return BUTTONST_OK;
}

DWORD CButtonST::SetDrawBorder(BOOL draw, BOOL repaint) {
  m_bDrawBorder = draw ? 1 : 0;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetDrawFlatFocus(BOOL draw, BOOL repaint) {
  m_bDrawFlatFocus = draw ? 1 : 0;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetAlwaysTrack(BOOL always) {
  m_bAlwaysTrack = always ? 1 : 0;
  return BUTTONST_OK;
}

DWORD CButtonST::SetBtnCursor(int cursorId, BOOL repaint) {
  m_hCursor = cursorId != 0 ? LoadCursor(nullptr, MAKEINTRESOURCE(cursorId)) : nullptr;
  if (cursorId != 0 && m_hCursor == nullptr) return BUTTONST_INVALID_RESOURCE;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetImages(const CButtonSTImage& in, bool bitmap, COLORREF transparentIn, const CButtonSTImage* out,
                           COLORREF transparentOut, int generated) {
  for (SImageSlot& s : m_images) s = SImageSlot{};
  if (in.IsEmpty()) return BUTTONST_INVALID_RESOURCE;
  // Icons keep black when a darker or grey copy is made; bitmaps keep their transparent colour.
  const COLORREF keep = bitmap ? transparentIn : 0;
  CButtonSTImage second;
  COLORREF secondTransparent = transparentIn;
  if (generated == BUTTONST_IMAGE_DARKER)
    second = MakeDarkerImage(in, keep);
  else if (generated == BUTTONST_IMAGE_GREY)
    second = MakeGreyImage(in, keep);
  else if (out != nullptr) {
    if (out->IsEmpty()) return BUTTONST_INVALID_RESOURCE;
    second = *out;
    secondTransparent = transparentOut;
  }
  m_images[0].image = in;
  m_images[0].bitmap = bitmap;
  m_images[1].image = second;
  m_images[1].bitmap = bitmap;
  if (bitmap) {
    if (!MakeImageMask(m_images[0].image, transparentIn, m_images[0].mask)) return BUTTONST_FAILED_MASK;
    if (!second.IsEmpty() && !MakeImageMask(m_images[1].image, secondTransparent, m_images[1].mask))
      return BUTTONST_FAILED_MASK;
  }
  Repaint(TRUE);
  return BUTTONST_OK;
}

DWORD CButtonST::SetIcon(const CButtonSTImage& in, const CButtonSTImage* out) { return SetImages(in, false, 0, out, 0, 0); }

DWORD CButtonST::SetIcon(const CButtonSTImage& in, int generated) { return SetImages(in, false, 0, nullptr, 0, generated); }

DWORD CButtonST::SetBitmaps(const CButtonSTImage& in, COLORREF transparentIn, const CButtonSTImage* out,
                            COLORREF transparentOut) {
  return SetImages(in, true, transparentIn, out, transparentOut, 0);
}

DWORD CButtonST::SetBitmaps(const CButtonSTImage& in, COLORREF transparentIn, int generated) {
  return SetImages(in, true, transparentIn, nullptr, 0, generated);
}

DWORD CButtonST::SetMenu(UINT menuId, HWND owner, BOOL repaint) {
  m_nMenuId = 0;
  m_hMenuOwner = nullptr;
  if (menuId != 0) return BUTTONST_INVALID_RESOURCE;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetMenuCallback(HWND wnd, UINT message, LPARAM lParam) {
  m_hCallbackWnd = wnd;
  m_nCallbackMsg = message;
  m_lCallbackParam = lParam;
  return BUTTONST_OK;
}

DWORD CButtonST::SetURL(const char* url) {
  std::memset(m_szURL, 0, sizeof m_szURL);
  if (url != nullptr) std::strncpy(m_szURL, url, sizeof m_szURL - 1);
  return BUTTONST_OK;
}

void CButtonST::SetTooltipText(const char* text, BOOL activate) {
  if (text == nullptr || *text == 0 || m_hWnd == nullptr) return;
  if (!m_bToolTipCreated) {
    m_toolTip.Create(this, m_dwToolTipStyle);
    m_toolTip.Activate(FALSE);
    m_toolTip.SetMaxTipWidth(400);
    m_bToolTipCreated = true;
  }
  if (!m_bToolAdded) {
    CRect client;
    GetClientRect(&client);
    m_toolTip.AddTool(this, text, &client, 1);
    m_bToolAdded = true;
  } else {
    m_toolTip.UpdateTipText(text, this, 1);
  }
  m_toolTip.Activate(activate);
}

void CButtonST::ActivateTooltip(BOOL activate) {
  if (m_bToolTipCreated) m_toolTip.Activate(activate);
}

DWORD CButtonST::EnableBalloonTooltip() {
  m_dwToolTipStyle |= TTS_BALLOON;
  return BUTTONST_OK;
}

void CButtonST::SizeToContent() {
  const CButtonSTImage& img = m_images[0].image;
  if (img.IsEmpty() || m_hWnd == nullptr) return;
  m_nImageMarginX = 0;
  m_nImageMarginY = 0;
  SetWindowPos(nullptr, -1, -1, img.m_cx, img.m_cy, SWP_NOMOVE | SWP_NOZORDER);
}

DWORD CButtonST::DrawTransparent(BOOL repaint) {
  m_bDrawTransparent = 1;
  m_bBkCacheValid = false;
  Repaint(repaint);
  return BUTTONST_OK;
}

DWORD CButtonST::SetBk(CDC* dc) {
  if (!m_bDrawTransparent || dc == nullptr) return BUTTONST_BAD_PARAM;
  m_crBkCache = dc->GetBkColor();
  m_bBkCacheValid = true;
  return BUTTONST_OK;
}

// ---- Subclassing and messages ----

void CButtonST::PreSubclassWindow() {
  const DWORD type = GetStyle() & BS_TYPEMASK;
  m_nTypeStyle = type;
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) m_bIsCheckBox = 1;
  if (type == BS_DEFPUSHBUTTON) {
    m_bIsDefault = 1;
    m_nTypeStyle = BS_PUSHBUTTON;
  }
  ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
  CButton::PreSubclassWindow();
}

BOOL CButtonST::PreTranslateMessage(MSG* msg) {
  if (m_bToolTipCreated) m_toolTip.RelayEvent(msg);
  if (msg->message == WM_LBUTTONDBLCLK) msg->message = WM_LBUTTONDOWN;  // a double click is one more press
  return CButton::PreTranslateMessage(msg);
}

BOOL CButtonST::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (m_hCursor != nullptr) {
    ::SetCursor(m_hCursor);
    return TRUE;
  }
  return CButton::OnSetCursor(wnd, hitTest, message);
}

void CButtonST::GoDark() {
  if (m_bMouseOnButton) {
    m_bMouseOnButton = 0;
    Invalidate();
  }
}

void CButtonST::OnKillFocus(CWnd* newWnd) {
  CButton::OnKillFocus(newWnd);
  GoDark();
}

void CButtonST::OnMouseMove(UINT flags, CPoint point) {
  CButton::OnMouseMove(flags, point);
  if ((flags & MK_LBUTTON) && !m_bMouseOnButton) return;
  if (!m_bIsFlat) return;
  CRect client;
  GetClientRect(&client);
  const bool over = client.PtInRect(point) != 0;
  const bool active = m_bAlwaysTrack || CWnd::GetFocus() != nullptr;
  if (over && active) {
    if (!m_bMouseOnButton) {
      m_bMouseOnButton = 1;
      Invalidate();
    }
  } else {
    GoDark();
  }
}

void CButtonST::OnMouseLeave() { GoDark(); }

void CButtonST::OnCancelMode() {
  CButton::OnCancelMode();
  GoDark();
}

void CButtonST::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CButton::OnActivate(state, other, minimized);
  if (state == WA_INACTIVE) GoDark();
}

void CButtonST::OnEnable(BOOL enable) {
  CButton::OnEnable(enable);
  if (enable) return;
  CWnd* parent = GetParent();
  if (parent != nullptr && CWnd::GetFocus() == this) {
    CWnd* next = parent->GetNextDlgTabItem(this);
    if (next != nullptr && next != this)
      next->SetFocus();
    else
      parent->SetFocus();
  }
  GoDark();
}

void CButtonST::OnSysColorChange() {
  CButton::OnSysColorChange();
  m_bBkCacheValid = false;
  SetDefaultColors(TRUE);
}

BOOL CButtonST::OnClicked() {
  SetFocus();
  if (m_bIsCheckBox) {
    m_nCheck = m_nCheck ? 0 : 1;
    Invalidate();
  } else if (m_szURL[0] != 0 && s_pfnOpenUrl != nullptr) {
    s_pfnOpenUrl(m_szURL);
  }
  return FALSE;  // the parent gets the click too
}

UINT CButtonST::OnGetDlgCode() {
  UINT code = CButton::OnGetDlgCode() & ~(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
  return code | (m_bIsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

HBRUSH CButtonST::CtlColor(CDC*, UINT) { return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)); }

LRESULT CButtonST::OnSetCheck(WPARAM wParam, LPARAM) {
  m_nCheck = (wParam == BST_CHECKED || wParam == BST_INDETERMINATE) ? 1 : 0;
  Invalidate();
  return 0;
}

LRESULT CButtonST::OnGetCheck(WPARAM, LPARAM) { return m_nCheck; }

LRESULT CButtonST::OnSetStyle(WPARAM wParam, LPARAM lParam) {
  const DWORD type = static_cast<DWORD>(wParam) & BS_TYPEMASK;
  if (type == BS_DEFPUSHBUTTON)
    m_bIsDefault = 1;
  else if (type == BS_PUSHBUTTON)
    m_bIsDefault = 0;
  return DefWindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
}

// ---- Drawing ----

DWORD CButtonST::DrawBackground(CDC* dc, CRect* rect) {
  COLORREF face;
  if (m_bMouseOnButton || m_bIsPressed)
    face = m_colors.m_crColors[BUTTONST_COLOR_BK_IN];
  else if (m_bIsFocused)
    face = m_colors.m_crColors[BUTTONST_COLOR_BK_FOCUS];
  else
    face = m_colors.m_crColors[BUTTONST_COLOR_BK_OUT];
  dc->FillSolidRect(rect, face);
  return BUTTONST_OK;
}

DWORD CButtonST::DrawBorder(CDC* dc, CRect* rect) {
  if (m_bIsPressed) {
    if (m_bIsFlat) {
      if (m_bDrawBorder) dc->Draw3dRect(rect, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHILIGHT));
    } else {
      CBrush shadow(GetSysColor(COLOR_BTNSHADOW));
      dc->FrameRect(rect, &shadow);
    }
    return BUTTONST_OK;
  }
  if (!m_bIsFlat) {
    dc->Draw3dRect(rect, GetSysColor(COLOR_BTNHILIGHT), GetSysColor(COLOR_3DDKSHADOW));
    CRect inner = *rect;
    inner.DeflateRect(1, 1);
    dc->Draw3dRect(&inner, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_BTNSHADOW));
  } else if (m_bMouseOnButton && m_bDrawBorder) {
    dc->Draw3dRect(rect, GetSysColor(COLOR_BTNHILIGHT), GetSysColor(COLOR_BTNSHADOW));
  }
  return BUTTONST_OK;
}

CRect CButtonST::PlaceImage(const CRect& item, int cx, int cy, CRect* caption) const {
  const bool hasCaption = !GetWindowText().empty();
  CRect img;
  const int midX = item.left + (item.Width() - cx) / 2;
  const int midY = item.top + (item.Height() - cy) / 2;
  if (!hasCaption) {
    img = CRect(midX, midY, midX + cx, midY + cy);
  } else {
    switch (m_nAlign) {
      case 1:  // above the caption, both centred horizontally
        img = CRect(midX, item.top + m_nImageMarginY, midX + cx, item.top + m_nImageMarginY + cy);
        caption->top = img.bottom;
        break;
      case 2:  // right of the caption
        img = CRect(item.right - m_nImageMarginX - cx, midY, item.right - m_nImageMarginX, midY + cy);
        caption->right = img.left - m_nImageMarginX;
        break;
      case 3:  // no placement change
        img = CRect(item.left + m_nImageMarginX, midY, item.left + m_nImageMarginX + cx, midY + cy);
        break;
      default:  // left of the caption
        img = CRect(item.left + m_nImageMarginX, midY, item.left + m_nImageMarginX + cx, midY + cy);
        caption->left = img.right + m_nImageMarginX;
        break;
    }
  }
  if (m_bIsPressed && !m_bIsCheckBox) img.OffsetRect(m_ptPressedOffset.x, m_ptPressedOffset.y);
  return img;
}

const CButtonST::SImageSlot* CButtonST::CurrentImage() const {
  if ((m_bMouseOnButton || m_bIsPressed) && !m_images[1].image.IsEmpty()) return &m_images[1];
  return &m_images[0];
}

void CButtonST::DrawImage(CDC* dc, const SImageSlot& slot, const CRect& at) const {
  CButtonSTImage grey;
  const CButtonSTImage* img = &slot.image;
  if (m_bIsDisabled && m_bIsGreyBitmapDisabled) {
    grey = MakeGreyImage(slot.image, slot.bitmap ? 0xFFFFFFFF : 0);
    img = &grey;
  }
  // Runs of one colour per row; masked (or, for icons, black) pixels let the face show through.
  for (int y = 0; y < img->m_cy; ++y) {
    int x = 0;
    while (x < img->m_cx) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(img->m_cx) + static_cast<size_t>(x);
      const bool clear = slot.bitmap ? (i < slot.mask.size() && slot.mask[i] != 0) : false;
      const COLORREF c = img->At(x, y);
      int end = x + 1;
      while (end < img->m_cx) {
        const size_t j = i + static_cast<size_t>(end - x);
        const bool clearJ = slot.bitmap ? (j < slot.mask.size() && slot.mask[j] != 0) : false;
        if (clearJ != clear || img->At(end, y) != c) break;
        ++end;
      }
      if (!clear) dc->FillSolidRect(at.left + x, at.top + y, end - x, 1, c);
      x = end;
    }
  }
}

void CButtonST::DrawIconImage(CDC* dc, const CRect& item, CRect* caption) {
  const SImageSlot* slot = CurrentImage();
  CRect at = PlaceImage(item, slot->image.m_cx, slot->image.m_cy, caption);
  DrawImage(dc, *slot, at);
}

void CButtonST::DrawBitmapImage(CDC* dc, const CRect& item, CRect* caption) { DrawIconImage(dc, item, caption); }

void CButtonST::DrawCaption(CDC* dc, const CRect& captionRect) {
  const std::string title = GetWindowText();
  if (title.empty()) return;
  CRect caption = captionRect;
  if (m_bIsPressed && !m_bIsCheckBox) caption.OffsetRect(m_ptPressedOffset.x, m_ptPressedOffset.y);
  // Measure the word-wrapped text, then centre it vertically.
  CRect centre = caption;
  dc->DrawText(title, &centre, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
  const int dy = (caption.Height() - centre.Height()) / 2;
  CRect text(caption.left, caption.top + dy, caption.right, caption.top + dy + centre.Height());
  dc->SetBkMode(TRANSPARENT);
  if (m_bIsDisabled) {
    text.OffsetRect(1, 1);
    dc->SetTextColor(GetSysColor(COLOR_BTNHILIGHT));
    dc->DrawText(title, &text, DT_WORDBREAK | DT_CENTER);
    text.OffsetRect(-1, -1);
    dc->SetTextColor(GetSysColor(COLOR_BTNSHADOW));
    dc->DrawText(title, &text, DT_WORDBREAK | DT_CENTER);
    return;
  }
  BYTE fg = BUTTONST_COLOR_FG_OUT, bk = BUTTONST_COLOR_BK_OUT;
  if (m_bMouseOnButton || m_bIsPressed) {
    fg = BUTTONST_COLOR_FG_IN;
    bk = BUTTONST_COLOR_BK_IN;
  } else if (m_bIsFocused) {
    fg = BUTTONST_COLOR_FG_FOCUS;
    bk = BUTTONST_COLOR_BK_FOCUS;
  }
  dc->SetTextColor(m_colors.m_crColors[fg]);
  dc->SetBkColor(m_colors.m_crColors[bk]);
  dc->DrawText(title, &text, DT_WORDBREAK | DT_CENTER);
}

void CButtonST::DrawItem(LPDRAWITEMSTRUCT dis) {
  if (dis == nullptr || dis->hDC == nullptr) return;
  CDC* dc = CDC::FromHandle(dis->hDC);
  m_bIsPressed = (dis->itemState & ODS_SELECTED) != 0 || (m_bIsCheckBox && m_nCheck) || m_bMenuDisplayed;
  m_bIsFocused = (dis->itemState & ODS_FOCUS) != 0;
  m_bIsDisabled = (dis->itemState & ODS_DISABLED) != 0;
  dc->SetBkMode(TRANSPARENT);
  if (CFont* font = GetFont()) dc->SelectObject(font);

  CRect item = dis->rcItem;
  if (m_bDrawTransparent) {
    if (!m_bBkCacheValid) {
      // The parent's background under the button: its dialog brush.
      HWND parent = ::GetParent(m_hWnd);
      CDC probe;
      HBRUSH b = parent != nullptr ? reinterpret_cast<HBRUSH>(::SendMessage(parent, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(probe.GetSafeHdc()),
                                                                               reinterpret_cast<LPARAM>(parent)))
                                   : nullptr;
      m_crBkCache = b != nullptr && !b->hollow ? b->color : GetSysColor(COLOR_BTNFACE);
      m_bBkCacheValid = true;
    }
    dc->FillSolidRect(&item, m_crBkCache);
  } else {
    if (!m_bIsFlat && (m_bIsFocused || m_bIsDefault)) {
      CBrush black(RGB(0, 0, 0));
      dc->FrameRect(&item, &black);
      item.DeflateRect(1, 1);
    }
    DrawBackground(dc, &item);
  }
  DrawBorder(dc, &item);

  CRect caption = item;
  if (!m_images[0].image.IsEmpty()) {
    if (m_images[0].bitmap)
      DrawBitmapImage(dc, item, &caption);
    else
      DrawIconImage(dc, item, &caption);
  }
  DrawCaption(dc, caption);

  if ((!m_bIsFlat || m_bDrawFlatFocus) && m_bIsFocused) {
    CRect focus = dis->rcItem;
    focus.DeflateRect(3, 3);
    dc->DrawFocusRect(&focus);
  }
}
