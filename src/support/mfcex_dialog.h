// CMFCExDialog: the base of the program's own dialogs. The same dialog runs modal or modeless and
// always ends through End, which stores the result, signals a completion event (another thread
// may wait on it) and posts WM_DIALOG_ENDED to the parent. It colours its controls (text colour,
// background brush) except the ones excluded, shows a wait cursor on request, and shows message
// boxes for worker threads (WM_SHOW_MESSAGE_BOX, sent; the worker waits for the answer).
#pragma once

#include "containers/scalar_array.h"
#include "platform/kernel/events.h"
#include "platform/ui/app.h"
#include "platform/ui/dialog.h"

// Private window messages of the program.
constexpr UINT WM_DIALOG_ENDED = 0x1401;      // posted: wParam the result, lParam the dialog object
constexpr UINT WM_SHOW_MESSAGE_BOX = 0x1409;  // sent: wParam "message\ncaption", lParam the style
constexpr UINT WM_SET_WAIT_CURSOR = 0x140A;   // wParam nonzero on, 0 off; result 1

// Colour codes of WM_CTLCOLOR (the message number less WM_CTLCOLORMSGBOX).
constexpr UINT CTLCOLOR_MSGBOX = 0;
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_LISTBOX = 2;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_SCROLLBAR = 5;
constexpr UINT CTLCOLOR_STATIC = 6;

class CMFCExDialog : public CDialog {
  DECLARE_DYNCREATE(CMFCExDialog)

 public:
  CMFCExDialog();
  CMFCExDialog(UINT templateId, CWnd* parent);
  ~CMFCExDialog() override;

  // Runs the dialog modal. The given parent replaces the constructed one unless it is null or the
  // desktop. Returns the result.
  virtual INT_PTR DoModal(CWnd* parent);
  INT_PTR DoModal() override { return DoModal(nullptr); }
  // Creates the dialog modeless: top level for the desktop, a child of the given parent, or with
  // the constructed parent for null. The creation result.
  virtual BOOL DoModeless(CWnd* parent);
  // Ends the dialog with the result (see the class comment).
  virtual void End(int result);

  void DoDataExchange(CDataExchange* dx) override {}
  void OnOK() override;
  void OnCancel() override;

  // The background of the dialog and its controls (the old brush is deleted).
  void SetBkColor(COLORREF color);
  // Keeps a child window's default colours.
  void ExcludeFromColoring(CWnd* child);

  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  LRESULT OnShowMessageBox(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetWaitCursor(WPARAM wParam, LPARAM lParam);
  void OnClose();

  bool m_bModal = true;
  COLORREF m_crText;
  CBrush m_brBk;  // the background brush, none until SetBkColor
  CScalarArray<CWnd*> m_aExclusions;
  int m_nResult = IDCANCEL;
  Event m_evDone{false, false};  // auto-reset, signalled by End
  HCURSOR m_hWaitCursor;
  HCURSOR m_hPrevCursor = nullptr;
  bool m_bBusy = false;

  DECLARE_MESSAGE_MAP()
};
