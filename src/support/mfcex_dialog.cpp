#include "support/mfcex_dialog.h"

#include <string>

IMPLEMENT_DYNCREATE(CMFCExDialog, CDialog)

BEGIN_MESSAGE_MAP(CMFCExDialog, CDialog)
  ON_WM_CTLCOLOR()
  ON_WM_CLOSE()
  ON_WM_SETCURSOR()
  ON_MESSAGE(WM_SHOW_MESSAGE_BOX, &CMFCExDialog::OnShowMessageBox)
  ON_MESSAGE(WM_SET_WAIT_CURSOR, &CMFCExDialog::OnSetWaitCursor)
END_MESSAGE_MAP()

CMFCExDialog::CMFCExDialog() : m_crText(GetSysColor(COLOR_WINDOWTEXT)), m_hWaitCursor(LoadCursor(nullptr, IDC_WAIT)) {}

CMFCExDialog::CMFCExDialog(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_crText(GetSysColor(COLOR_WINDOWTEXT)), m_hWaitCursor(LoadCursor(nullptr, IDC_WAIT)) {}

CMFCExDialog::~CMFCExDialog() {
  // A dialog object that goes away with its window still up takes the window with it, so that no
  // message reaches a destroyed object.
  if (m_hWnd != nullptr) DestroyWindow();
}

INT_PTR CMFCExDialog::DoModal(CWnd* parent) {
  m_evDone.Reset();
  m_bModal = true;
  if (parent != nullptr && parent->m_hWnd != ::GetDesktopWindow()) m_pParentWnd = parent;
  return CDialog::DoModal();
}

BOOL CMFCExDialog::DoModeless(CWnd* parent) {
  m_evDone.Reset();
  m_bModal = false;
  return Create(m_nIDTemplate, parent);
}

void CMFCExDialog::End(int result) {
  // Everything used after the window is gone is read first: a modeless dialog may be deleted
  // together with its window.
  HWND parent = m_hWnd != nullptr ? ::GetParent(m_hWnd) : nullptr;
  if (parent == nullptr && m_pParentWnd != nullptr) parent = m_pParentWnd->m_hWnd;
  const LPARAM self = reinterpret_cast<LPARAM>(this);
  m_nResult = result;
  m_evDone.Set();
  if (m_bModal)
    EndDialog(result);
  else
    DestroyWindow();
  if (parent != nullptr && parent != ::GetDesktopWindow() && ::IsWindow(parent))
    ::PostMessage(parent, WM_DIALOG_ENDED, static_cast<WPARAM>(static_cast<UINT>(result)), self);
}

void CMFCExDialog::OnOK() {
  if (!UpdateData(TRUE)) return;  // the exchange showed its message; the dialog stays
  End(IDOK);
}

void CMFCExDialog::OnCancel() { End(IDCANCEL); }

void CMFCExDialog::OnClose() { End(IDCLOSE); }

void CMFCExDialog::SetBkColor(COLORREF color) {
  m_brBk.CreateSolidBrush(color);  // the old brush is deleted
  if (m_hWnd != nullptr) Invalidate();
}

void CMFCExDialog::ExcludeFromColoring(CWnd* child) {
  if (child != nullptr) m_aExclusions.AddUnique(&child);
}

HBRUSH CMFCExDialog::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  HBRUSH brush = CDialog::OnCtlColor(dc, wnd, ctlColor);
  if (wnd != nullptr) {
    for (int i = 0; i < m_aExclusions.m_nSize; ++i)
      if (m_aExclusions.m_pData[i] == wnd) return brush;
  }
  if (dc != nullptr) {
    dc->SetTextColor(m_crText);
    if (ctlColor == CTLCOLOR_STATIC) dc->SetBkMode(TRANSPARENT);
  }
  return m_brBk.m_hBrush != nullptr ? m_brBk.m_hBrush : brush;
}

LRESULT CMFCExDialog::OnShowMessageBox(WPARAM wParam, LPARAM lParam) {
  const char* text = reinterpret_cast<const char*>(wParam);
  std::string message = text != nullptr ? text : "";
  std::string caption;
  const size_t lf = message.find('\n');
  const bool hasCaption = lf != std::string::npos;
  if (hasCaption) {
    caption = message.substr(lf + 1);
    message.resize(lf);
  }
  return ::MessageBox(m_hWnd, message.c_str(), hasCaption ? caption.c_str() : nullptr, static_cast<UINT>(lParam));
}

LRESULT CMFCExDialog::OnSetWaitCursor(WPARAM wParam, LPARAM) {
  m_bBusy = wParam != 0;
  if (m_bBusy) {
    HCURSOR previous = ::SetCursor(m_hWaitCursor);
    if (previous != m_hWaitCursor) m_hPrevCursor = previous;
  } else if (m_hPrevCursor != nullptr) {
    ::SetCursor(m_hPrevCursor);
    m_hPrevCursor = nullptr;
  }
  return 1;
}

BOOL CMFCExDialog::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (m_bBusy) {
    ::SetCursor(m_hWaitCursor);
    return TRUE;
  }
  return CDialog::OnSetCursor(wnd, hitTest, message);
}
