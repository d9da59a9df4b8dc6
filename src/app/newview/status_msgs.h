// The New view's "Status Messages" window: a modeless, resizable window whose one list box is
// the view's status list. Closing it only minimises it; a failed check shows it again.
#pragma once

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

class CStatusMsgs : public CDialog {
 public:
  CStatusMsgs(CListBox* list, CWnd* parent);

  void DoDataExchange(CDataExchange* dx) override;
  void OnSize(UINT type, int cx, int cy);
  void OnClose();
  // Escape minimises the window as closing it does; Enter does nothing (there is no default
  // button). Either would otherwise hide it for good.
  void OnCancel() override;
  void OnOK() override {}

 private:
  CListBox* m_pList;
  DECLARE_MESSAGE_MAP()
};
