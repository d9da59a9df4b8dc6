#include "app/newview/status_msgs.h"

#include "app/newview/main_new_form.h"
#include "platform/ui/ddx.h"

BEGIN_MESSAGE_MAP(CStatusMsgs, CDialog)
ON_WM_SIZE()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CStatusMsgs::CStatusMsgs(CListBox* list, CWnd* parent) : CDialog(IDD_STATUS_MSGS, parent), m_pList(list) {}

void CStatusMsgs::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_NV_STATUS_LIST, *m_pList);
}

void CStatusMsgs::OnSize(UINT type, int cx, int cy) {
  Default();
  (void)type;
  if (m_pList != nullptr && ::IsWindow(m_pList->m_hWnd)) {
    m_pList->MoveWindow(0, 0, cx, cy);
    m_pList->Invalidate();
  }
}

void CStatusMsgs::OnClose() { ShowWindow(SW_MINIMIZE); }

void CStatusMsgs::OnCancel() { OnClose(); }
