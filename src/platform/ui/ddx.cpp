#include "platform/ui/ddx.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/base/msgbox.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {

bool ParseInteger(const std::string& text, long long* value) {
  size_t i = 0;
  size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool neg = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
  size_t digits = 0;
  unsigned long long v = 0;
  bool overflow = false;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    if (v > (ULLONG_MAX - 9) / 10) overflow = true;
    else v = v * 10 + static_cast<unsigned>(text[i] - '0');
  }
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (digits == 0 || i != n || overflow || v > static_cast<unsigned long long>(LLONG_MAX)) return false;
  *value = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
  return true;
}

bool ParseDouble(const std::string& text, double* value) {
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(s, &end);
  if (end == s) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' || errno == ERANGE) return false;
  *value = v;
  return true;
}

void ShowExchangeMessage(CDataExchange* dx, const std::string& text) {
  // Owned by the dialog whose value is refused, so that the whole dialog (a sheet with its tabs
  // too) takes no input while the message is up.
  HWND owner = dx != nullptr && dx->m_pDlgWnd != nullptr && IsWindow(dx->m_pDlgWnd->m_hWnd) ? dx->m_pDlgWnd->m_hWnd
                                                                                          : DefaultOwner();
  ::MessageBox(owner, text.c_str(), AppTitle(), MB_ICONEXCLAMATION | MB_OK);
}

std::string ControlText(CDataExchange* dx, int id) {
  HWND h = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
  int n = ::GetWindowTextLength(h);
  std::string t(static_cast<size_t>(n) + 1, '\0');
  int got = ::GetWindowText(h, t.data(), n + 1);
  t.resize(static_cast<size_t>(got > 0 ? got : 0));
  return t;
}

void SetControlText(CDataExchange* dx, int id, const std::string& text) {
  ::SetWindowText(::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id), text.c_str());
}

namespace {

std::string Format(const char* fmt, long long a, long long b) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

// Reads an integer into [min, max]; shows the message and fails otherwise.
bool ExchangeInteger(CDataExchange* dx, int id, long long* v, long long min, long long max, bool rangeMessage) {
  dx->PrepareEditCtrl(id);
  std::string t = ControlText(dx, id);
  if (!ParseInteger(t, v) || *v < min || *v > max) {
    ShowExchangeMessage(dx, rangeMessage ? Format("Please enter an integer between %lld and %lld.", min, max)
                                     : std::string("Please enter an integer."));
    dx->Fail();
    return false;
  }
  return true;
}

void RangeFail(CDataExchange* dx, const std::string& text) {
  ShowExchangeMessage(dx, text);
  dx->Fail();
}

}  // namespace
}  // namespace qav::ui

using namespace qav::ui;

HWND CDataExchange::PrepareCtrl(int id) {
  HWND h = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
  m_idLastControl = h;
  m_bEditLastControl = FALSE;
  return h;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
  HWND h = PrepareCtrl(id);
  m_bEditLastControl = TRUE;
  return h;
}

void CDataExchange::Fail() {
  m_bFailed = true;
  if (m_idLastControl != nullptr && IsWindow(m_idLastControl)) {
    ::SetFocus(m_idLastControl);
    if (m_bEditLastControl) ::SendMessage(m_idLastControl, EM_SETSEL, 0, -1);
  }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  if (dx->m_bFailed) return;
  if (dx->m_bSaveAndValidate) {
    long long v;
    if (ExchangeInteger(dx, id, &v, INT_MIN, INT_MAX, false)) value = static_cast<int>(v);
  } else {
    dx->PrepareEditCtrl(id);
    SetControlText(dx, id, std::to_string(value));
  }
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
  if (dx->m_bFailed) return;
  if (dx->m_bSaveAndValidate) {
    long long v;
    if (ExchangeInteger(dx, id, &v, 0, UINT_MAX, false)) value = static_cast<UINT>(v);
  } else {
    dx->PrepareEditCtrl(id);
    SetControlText(dx, id, std::to_string(value));
  }
}

void DDX_Text(CDataExchange* dx, int id, short& value) {
  if (dx->m_bFailed) return;
  if (dx->m_bSaveAndValidate) {
    long long v;
    if (ExchangeInteger(dx, id, &v, SHRT_MIN, SHRT_MAX, false)) value = static_cast<short>(v);
  } else {
    dx->PrepareEditCtrl(id);
    SetControlText(dx, id, std::to_string(value));
  }
}

void DDX_Text(CDataExchange* dx, int id, BYTE& value) {
  if (dx->m_bFailed) return;
  if (dx->m_bSaveAndValidate) {
    long long v;
    if (ExchangeInteger(dx, id, &v, 0, 255, true)) value = static_cast<BYTE>(v);
  } else {
    dx->PrepareEditCtrl(id);
    SetControlText(dx, id, std::to_string(value));
  }
}

void DDX_Text(CDataExchange* dx, int id, long long& value) {
  if (dx->m_bFailed) return;
  if (dx->m_bSaveAndValidate) {
    long long v;
    if (ExchangeInteger(dx, id, &v, LLONG_MIN, LLONG_MAX, false)) value = v;
  } else {
    dx->PrepareEditCtrl(id);
    SetControlText(dx, id, std::to_string(value));
  }
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
  if (dx->m_bFailed) return;
  dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) {
    double v;
    if (!ParseDouble(ControlText(dx, id), &v)) return RangeFail(dx, "Please enter a number.");
    value = v;
  } else {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", DBL_DIG, value);
    SetControlText(dx, id, buf);
  }
}

void DDX_Text(CDataExchange* dx, int id, float& value) {
  double d = value;
  DDX_Text(dx, id, d);
  if (dx->m_bSaveAndValidate && !dx->m_bFailed) value = static_cast<float>(d);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
  if (dx->m_bFailed) return;
  dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) value = ControlText(dx, id);
  else SetControlText(dx, id, value);
}

void DDX_Text(CDataExchange* dx, int id, char* buffer, int size) {
  if (dx->m_bFailed || buffer == nullptr || size <= 0) return;
  HWND h = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) {
    ::GetWindowText(h, buffer, size);
  } else {
    ::SetWindowText(h, buffer);
    ::SendMessage(h, EM_LIMITTEXT, static_cast<WPARAM>(size - 1));
  }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  if (dx->m_bFailed) return;
  HWND h = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessage(h, BM_GETCHECK));
  else ::SendMessage(h, BM_SETCHECK, static_cast<WPARAM>(value));
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  if (dx->m_bFailed) return;
  HWND h = dx->PrepareCtrl(id);
  WndState* s = Find(h);
  if (s == nullptr) return;
  std::vector<WndState*> group = RadioGroupOf(s);
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i)
      if (::SendMessage(group[i]->hwnd, BM_GETCHECK) == BST_CHECKED) value = static_cast<int>(i);
  } else {
    for (size_t i = 0; i < group.size(); ++i)
      ::SendMessage(group[i]->hwnd, BM_SETCHECK, static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED);
  }
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
  if (dx->m_bFailed) return;
  HWND h = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) index = static_cast<int>(::SendMessage(h, LB_GETCURSEL));
  else ::SendMessage(h, LB_SETCURSEL, static_cast<WPARAM>(index));
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  if (dx->m_bFailed) return;
  HWND h = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) index = static_cast<int>(::SendMessage(h, CB_GETCURSEL));
  else ::SendMessage(h, CB_SETCURSEL, static_cast<WPARAM>(index));
}

void DDX_Slider(CDataExchange* dx, int id, int& pos) {
  if (dx->m_bFailed) return;
  HWND h = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) pos = static_cast<int>(::SendMessage(h, TBM_GETPOS));
  else ::SendMessage(h, TBM_SETPOS, TRUE, pos);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (dx->m_bFailed) return;
  HWND h = dx->PrepareCtrl(id);
  if (control.m_hWnd == nullptr && h != nullptr) control.SubclassWindow(h);
}

void DDV_MinMaxLongLong(CDataExchange* dx, long long value, long long min, long long max) {
  if (!dx->m_bSaveAndValidate || dx->m_bFailed) return;
  if (value < min || value > max) RangeFail(dx, Format("Please enter an integer between %lld and %lld.", min, max));
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int min, int max) { DDV_MinMaxLongLong(dx, value, min, max); }
void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT min, UINT max) { DDV_MinMaxLongLong(dx, value, min, max); }
void DDV_MinMaxShort(CDataExchange* dx, short value, short min, short max) { DDV_MinMaxLongLong(dx, value, min, max); }
void DDV_MinMaxByte(CDataExchange* dx, BYTE value, BYTE min, BYTE max) { DDV_MinMaxLongLong(dx, value, min, max); }

void DDV_MinMaxDouble(CDataExchange* dx, double value, double min, double max) {
  if (!dx->m_bSaveAndValidate || dx->m_bFailed) return;
  if (value < min || value > max) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "Please enter a number between %g and %g.", min, max);
    RangeFail(dx, buf);
  }
}

void DDV_MaxChars(CDataExchange* dx, const std::string& value, int max) {
  if (dx->m_bFailed) return;
  if (!dx->m_bSaveAndValidate) {
    if (dx->m_idLastControl != nullptr) ::SendMessage(dx->m_idLastControl, EM_LIMITTEXT, static_cast<WPARAM>(max));
    return;
  }
  if (static_cast<long long>(value.size()) > max) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Please enter no more than %d characters.", max);
    RangeFail(dx, buf);
  }
}
