// CMessageBoxEx: a message box built as a dialog of the program's own. It takes the message-box
// style bits and adds more button sets (markup_text.h), a modeless form that reports its answer
// to the owner by a posted WM_MSGBOX_ENDED, and mark-up for bold, coloured and sized text.
// ShowMessageBoxEx chooses between the platform's message box and this dialog;
// ShowErrorMessageBox shows an error number as text.
#pragma once

#include <string>

#include "support/markup_text.h"
#include "support/mfcex_dialog.h"
#include "support/new_ptr_array.h"

constexpr UINT WM_MSGBOX_ENDED = 0x140B;  // posted: wParam the answer, lParam the user value

constexpr UINT IDD_MESSAGE_BOX_EX = 141;
constexpr int IDC_MSGBOX_ICON = 2039;
constexpr int IDC_MSGBOX_BUTTON1 = 2041;  // 2041-2044, left to right
constexpr int IDC_MSGBOX_TEXT = 2045;

class CMessageBoxEx : public CMFCExDialog {
  DECLARE_DYNCREATE(CMessageBoxEx)

 public:
  CMessageBoxEx();
  CMessageBoxEx(CWnd* parent, UINT templateId = IDD_MESSAGE_BOX_EX);
  ~CMessageBoxEx() override;

  INT_PTR DoModal(CWnd* parent) override;
  using CMFCExDialog::DoModal;
  BOOL DoModeless(CWnd* parent) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;
  void End(int answer) override;
  void OnPaint();

  const char* m_pszText = nullptr;     // not owned; read when the box is set up
  const char* m_pszCaption = nullptr;  // not owned
  UINT m_nStyle = 0;
  LPARAM m_lUserValue = 0;
  int m_nAnswers[4] = {};  // the answer of each button 2041-2044
  std::string m_strText;   // the message, copied when the box is set up

 private:
  void LayOut(int buttonCount, bool icon);
  void FillText();

  DECLARE_MESSAGE_MAP()
};

// The live modeless boxes, from their creation until their windows are destroyed.
CNewPtrArray& MessageBoxExRegistry();

// Plain styles (no class bit, button set below 7) use the platform's message box. The modeless
// bit creates a registered box on the heap and returns the creation result at once; otherwise a
// modal box runs and its answer is returned.
int ShowMessageBoxEx(HWND owner, const char* text, const char* caption, UINT style, LPARAM userValue = 0);

// Shows the formatted prefix followed by the error's text (the system's text without its line
// end, the serial-port texts for 0x10000-0x10004, else "Windows Error Code %u").
int ShowErrorMessageBox(DWORD error, HWND owner, const char* caption, UINT style, LPARAM userValue,
                        const char* prefixFormat, ...);
