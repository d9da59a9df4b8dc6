// Dialog data exchange: moving values between a dialog's members and its controls, with checks.
// A refused value shows the standard message, puts the focus on the control and stops the
// exchange there: every later DDX_/DDV_ call of the same exchange does nothing, and UpdateData
// returns FALSE so the dialog stays open.
#pragma once

#include <string>

#include "platform/ui/wnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}
  // The control's handle; remembers it as the control to focus on failure.
  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id);
  // Marks the exchange as failed and focuses the last prepared control.
  void Fail();

  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  HWND m_idLastControl = nullptr;
  BOOL m_bEditLastControl = FALSE;
  bool m_bFailed = false;
};

namespace qav::ui {
// Decimal integer with optional blanks around it and a sign; false for anything else.
bool ParseInteger(const std::string& text, long long* value);
bool ParseDouble(const std::string& text, double* value);
// Shows a data-exchange message (the program's title as caption, exclamation icon), owned by the
// dialog of the exchange.
void ShowExchangeMessage(CDataExchange* dx, const std::string& text);
std::string ControlText(CDataExchange* dx, int id);
void SetControlText(CDataExchange* dx, int id, const std::string& text);
}  // namespace qav::ui

// Numbers in edit controls. A text that is not an integer gets "Please enter an integer.";
// an 8-bit value outside 0-255 "Please enter an integer between 0 and 255.".
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, short& value);
void DDX_Text(CDataExchange* dx, int id, BYTE& value);
void DDX_Text(CDataExchange* dx, int id, long long& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Text(CDataExchange* dx, int id, float& value);
void DDX_Text(CDataExchange* dx, int id, std::string& value);
// Any other string type that takes a const char* and gives one back (the program's CStr).
template <class S>
  requires requires(S s, const S& cs, const char* p) {
    s = p;
    { static_cast<const char*>(cs) };
  }
void DDX_Text(CDataExchange* dx, int id, S& value) {
  if (dx->m_bFailed) return;
  dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) value = qav::ui::ControlText(dx, id).c_str();
  else qav::ui::SetControlText(dx, id, static_cast<const char*>(value));
}
// Fixed buffers of the given size.
void DDX_Text(CDataExchange* dx, int id, char* buffer, int size);

void DDX_Check(CDataExchange* dx, int id, int& value);
// The radio group that starts at the control: the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_LBIndex(CDataExchange* dx, int id, int& index);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_Slider(CDataExchange* dx, int id, int& pos);
// Binds the control object to the dialog's control (once).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

// Checks, run only when saving, right after the DDX_ call of the same control.
void DDV_MinMaxInt(CDataExchange* dx, int value, int min, int max);
void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT min, UINT max);
void DDV_MinMaxShort(CDataExchange* dx, short value, short min, short max);
void DDV_MinMaxByte(CDataExchange* dx, BYTE value, BYTE min, BYTE max);
void DDV_MinMaxLongLong(CDataExchange* dx, long long value, long long min, long long max);
void DDV_MinMaxDouble(CDataExchange* dx, double value, double min, double max);
inline void DDV_MinMaxLong(CDataExchange* dx, LONG value, LONG min, LONG max) { DDV_MinMaxInt(dx, value, min, max); }
inline void DDV_MinMaxDWord(CDataExchange* dx, DWORD value, DWORD min, DWORD max) { DDV_MinMaxUInt(dx, value, min, max); }
// At most `max` characters; when loading, limits the edit control to `max`.
void DDV_MaxChars(CDataExchange* dx, const std::string& value, int max);
template <class S>
  requires requires(const S& cs) { { static_cast<const char*>(cs) }; }
void DDV_MaxChars(CDataExchange* dx, const S& value, int max) {
  DDV_MaxChars(dx, std::string(static_cast<const char*>(value)), max);
}
