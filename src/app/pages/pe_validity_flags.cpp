#include "app/pages/pe_validity_flags.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/shell/app_globals.h"
#include "platform/app/ole_date_time.h"

namespace {
// The limits start read-only and without the border an edit usually has (removed per control).
constexpr DWORD kLimitEdit = ES_RIGHT | ES_READONLY | WS_TABSTOP;

const DialogTemplate kPeValidity{
    IDD_PE_VALIDITY,
    "Perkin-Elmer Validity Flags Criteria",
    300,
    192,
    {
        {Ctl::GroupBox, -1, "\"Good\" Volume Range (5-Minute Period)", 0, 7, 7, 286, 86},
        {Ctl::Static, -1, "Peak", 0, 14, 21, 40, 8},
        {Ctl::Static, -1, "Min", 0, 58, 21, 20, 8},
        {Ctl::Edit, IDC_PE_PEAK_MIN, "", kLimitEdit, 82, 18, 30, 14, WS_BORDER},
        {Ctl::PushButton, IDC_PE_CHANGE_PEAK_MIN, "Change", WS_TABSTOP, 116, 18, 50, 14},
        {Ctl::Static, -1, "Max", 0, 58, 39, 20, 8},
        {Ctl::Edit, IDC_PE_PEAK_MAX, "", kLimitEdit, 82, 36, 30, 14, WS_BORDER},
        {Ctl::PushButton, IDC_PE_CHANGE_PEAK_MAX, "Change", WS_TABSTOP, 116, 36, 50, 14},
        {Ctl::Static, -1, "Off-peak", 0, 14, 57, 40, 8},
        {Ctl::Static, -1, "Min", 0, 58, 57, 20, 8},
        {Ctl::Edit, IDC_PE_OFF_PEAK_MIN, "", kLimitEdit, 82, 54, 30, 14, WS_BORDER},
        {Ctl::PushButton, IDC_PE_CHANGE_OFF_PEAK_MIN, "Change", WS_TABSTOP, 116, 54, 50, 14},
        {Ctl::Static, -1, "Max", 0, 58, 75, 20, 8},
        {Ctl::Edit, IDC_PE_OFF_PEAK_MAX, "", kLimitEdit, 82, 72, 30, 14, WS_BORDER},
        {Ctl::PushButton, IDC_PE_CHANGE_OFF_PEAK_MAX, "Change", WS_TABSTOP, 116, 72, 50, 14},
        {Ctl::Static, -1, "Note:", 0, 7, 100, 24, 8},
        {Ctl::Static, -1,
         "Values greater than the maximum or less than the minimum \"Good\" value are considered \"Suspect\"", 0, 35,
         100, 258, 16},
        {Ctl::GroupBox, -1, "Peak", 0, 7, 123, 286, 62},
        {Ctl::Static, -1, "Start", SS_CENTER, 60, 134, 50, 8},
        {Ctl::Static, -1, "End", SS_CENTER, 114, 134, 50, 8},
        {Ctl::Static, -1, "Peak Pd 1", 0, 14, 149, 44, 8},
        {Ctl::DateTime, IDC_PE_PEAK1_START, "", WS_TABSTOP, 60, 146, 50, 14},
        {Ctl::DateTime, IDC_PE_PEAK1_END, "", WS_TABSTOP, 114, 146, 50, 14},
        {Ctl::Static, -1, "Peak Pd 2", 0, 14, 167, 44, 8},
        {Ctl::DateTime, IDC_PE_PEAK2_START, "", WS_TABSTOP, 60, 164, 50, 14},
        {Ctl::DateTime, IDC_PE_PEAK2_END, "", WS_TABSTOP, 114, 164, 50, 14},
    }};
const bool kRegistered = (RegisterDialogTemplate(&kPeValidity), true);

int PickerIndex(UINT id) { return static_cast<int>(id) - IDC_PE_PEAK1_START; }
}  // namespace

void PeriodToTime(int period, int& hour, int& minute) {
  hour = period / 12;
  minute = (period % 12) * 5;
}

int TimeToPeriod(int hour, int minute) { return hour * 12 + minute / 5; }

bool SnapPeakTime(int previousHour, int previousMinute, int& hour, int& minute) {
  const int before = previousHour * 60 + previousMinute;
  const int now = hour * 60 + minute;
  int direction = 0;
  if (hour == previousHour) {
    // An arrow on the minute: pickers that wrap the minute within its hour (59 after 00, 00 after
    // 59) step by one all the same.
    const int step = ((minute - previousMinute) % 60 + 60) % 60;
    if (step == 1) direction = 1;
    else if (step == 59) direction = -1;
  } else {
    // A picker that carries into the hour may also wrap at midnight: the step goes around the clock.
    const int step = ((now - before) % 1440 + 1440) % 1440;
    if (step == 1) direction = 1;
    else if (step == 1439) direction = -1;
  }
  if (direction == 0) return false;
  int target = direction > 0 ? (before / 5 + 1) * 5 : ((before + 4) / 5 - 1) * 5;
  target = std::clamp(target, 0, 23 * 60 + 55);
  if (target == now) return false;
  hour = target / 60;
  minute = target % 60;
  return true;
}

IMPLEMENT_DYNCREATE(CPEValidityFlags, CPropertyPage)

BEGIN_MESSAGE_MAP(CPEValidityFlags, CPropertyPage)
  ON_CONTROL_RANGE(BN_CLICKED, IDC_PE_CHANGE_OFF_PEAK_MAX, IDC_PE_CHANGE_PEAK_MIN, &CPEValidityFlags::OnChangeLimit)
  ON_CONTROL_RANGE(EN_KILLFOCUS, IDC_PE_OFF_PEAK_MIN, IDC_PE_PEAK_MAX, &CPEValidityFlags::OnLimitKillFocus)
  ON_NOTIFY_RANGE(DTN_DATETIMECHANGE, IDC_PE_PEAK1_START, IDC_PE_PEAK2_END, &CPEValidityFlags::OnPeakTimeChange)
END_MESSAGE_MAP()

void CPEValidityFlags::Construct(UINT templateId, UINT captionId) {
  (void)kRegistered;
  CPropertyPage::Construct(templateId, captionId);
  m_psp.dwFlags |= PSP_HASHELP;
}

void CPEValidityFlags::DoDataExchange(CDataExchange* dx) {
  CPropertyPage::DoDataExchange(dx);
  DDX_Control(dx, IDC_PE_PEAK2_START, m_dtPeak2Start);
  DDX_Control(dx, IDC_PE_PEAK2_END, m_dtPeak2End);
  DDX_Control(dx, IDC_PE_PEAK1_START, m_dtPeak1Start);
  DDX_Control(dx, IDC_PE_PEAK1_END, m_dtPeak1End);
  DDX_Control(dx, IDC_PE_PEAK_MAX, m_edPeakMax);
  DDX_Control(dx, IDC_PE_PEAK_MIN, m_edPeakMin);
  DDX_Control(dx, IDC_PE_OFF_PEAK_MIN, m_edOffPeakMin);
  DDX_Control(dx, IDC_PE_OFF_PEAK_MAX, m_edOffPeakMax);
  DDX_Text(dx, IDC_PE_OFF_PEAK_MAX, m_nOffPeakMax);
  DDV_MinMaxByte(dx, m_nOffPeakMax, 0, 255);
  DDX_Text(dx, IDC_PE_OFF_PEAK_MIN, m_nOffPeakMin);
  DDV_MinMaxByte(dx, m_nOffPeakMin, 0, 255);
  DDX_Text(dx, IDC_PE_PEAK_MIN, m_nPeakMin);
  DDV_MinMaxByte(dx, m_nPeakMin, 0, 255);
  DDX_Text(dx, IDC_PE_PEAK_MAX, m_nPeakMax);
  DDV_MinMaxByte(dx, m_nPeakMax, 0, 255);
  if (!dx->m_bSaveAndValidate) return;
  CheckLimits(dx, IDC_PE_PEAK_MIN, "Peak", m_nPeakMin, m_nPeakMax);
  CheckLimits(dx, IDC_PE_OFF_PEAK_MIN, "Off-peak", m_nOffPeakMin, m_nOffPeakMax);
}

void CPEValidityFlags::CheckLimits(CDataExchange* dx, int minEditId, const char* range, BYTE min, BYTE max) {
  if (dx->m_bFailed || min <= max) return;
  char text[160];
  std::snprintf(text, sizeof text, "%s Min (%u) must not be greater than %s Max (%u).", range, min, range, max);
  qav::ui::ShowExchangeMessage(dx, text);
  // The minimum is opened for editing, as its "Change" button does, and takes the focus.
  OpenLimitEdit(minEditId);
  dx->PrepareEditCtrl(minEditId);
  dx->Fail();
}

CDateTimeCtrl* CPEValidityFlags::Picker(UINT id) {
  switch (id) {
    case IDC_PE_PEAK1_START: return &m_dtPeak1Start;
    case IDC_PE_PEAK1_END: return &m_dtPeak1End;
    case IDC_PE_PEAK2_START: return &m_dtPeak2Start;
    case IDC_PE_PEAK2_END: return &m_dtPeak2End;
    default: return nullptr;
  }
}

BOOL CPEValidityFlags::OnInitDialog() {
  // Bind the controls first so the pickers can be set up before the values move in.
  CPropertyPage::OnInitDialog();
  const PeValidity pe = g_PeValid.Get();
  m_nPeakMin = pe.peakMin;
  m_nPeakMax = pe.peakMax;
  m_nOffPeakMin = pe.offMin;
  m_nOffPeakMax = pe.offMax;
  UpdateData(FALSE);
  const struct {
    UINT id;
    int period;
  } windows[] = {{IDC_PE_PEAK1_END, pe.peak1End},
                 {IDC_PE_PEAK1_START, pe.peak1Start},
                 {IDC_PE_PEAK2_END, pe.peak2End},
                 {IDC_PE_PEAK2_START, pe.peak2Start}};
  SYSTEMTIME now{};
  COleDateTime::GetCurrentTime().GetAsSystemTime(now);
  for (const auto& w : windows) {
    CDateTimeCtrl* picker = Picker(w.id);
    picker->SetFormat("HH:mm");
    int hour, minute;
    PeriodToTime(w.period, hour, minute);
    SYSTEMTIME t = now;
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = 0;
    t.wMilliseconds = 0;
    picker->SetTime(&t);
    m_nPickerMinutes[PickerIndex(w.id)] = hour * 60 + minute;
  }
  return TRUE;
}

void CPEValidityFlags::OnOK() {
  CPropertyPage::OnOK();
  PeValidity pe = g_PeValid.Get();
  pe.offMax = m_nOffPeakMax;
  pe.offMin = m_nOffPeakMin;
  pe.peakMin = m_nPeakMin;
  pe.peakMax = m_nPeakMax;
  SYSTEMTIME t{};
  if (m_dtPeak1End.GetTime(&t) == GDT_VALID) pe.peak1End = TimeToPeriod(t.wHour, t.wMinute);
  if (m_dtPeak1Start.GetTime(&t) == GDT_VALID) pe.peak1Start = TimeToPeriod(t.wHour, t.wMinute);
  if (m_dtPeak2End.GetTime(&t) == GDT_VALID) pe.peak2End = TimeToPeriod(t.wHour, t.wMinute);
  if (m_dtPeak2Start.GetTime(&t) == GDT_VALID) pe.peak2Start = TimeToPeriod(t.wHour, t.wMinute);
  g_PeValid.Set(pe);
}

void CPEValidityFlags::OnChangeLimit(UINT buttonId) {
  int edit = 0;
  switch (buttonId) {
    case IDC_PE_CHANGE_OFF_PEAK_MAX: edit = IDC_PE_OFF_PEAK_MAX; break;
    case IDC_PE_CHANGE_OFF_PEAK_MIN: edit = IDC_PE_OFF_PEAK_MIN; break;
    case IDC_PE_CHANGE_PEAK_MAX: edit = IDC_PE_PEAK_MAX; break;
    case IDC_PE_CHANGE_PEAK_MIN: edit = IDC_PE_PEAK_MIN; break;
    default: return;
  }
  if (CEdit* e = OpenLimitEdit(edit)) e->SetFocus();
}

CEdit* CPEValidityFlags::OpenLimitEdit(int editId) {
  auto* e = static_cast<CEdit*>(GetDlgItem(editId));
  if (e == nullptr) return nullptr;
  e->SetReadOnly(FALSE);
  e->ModifyStyle(0, WS_BORDER, SWP_FRAMECHANGED);
  return e;
}

void CPEValidityFlags::OnLimitKillFocus(UINT editId) {
  auto* e = static_cast<CEdit*>(GetDlgItem(static_cast<int>(editId)));
  if (e == nullptr) return;
  e->SetReadOnly(TRUE);
  e->ModifyStyle(WS_BORDER, 0, SWP_FRAMECHANGED);
}

void CPEValidityFlags::OnPeakTimeChange(UINT pickerId, NMHDR*, LRESULT* result) {
  *result = 0;
  CDateTimeCtrl* picker = Picker(pickerId);
  if (picker == nullptr) return;
  SYSTEMTIME t{};
  if (picker->GetTime(&t) != GDT_VALID) return;
  int& last = m_nPickerMinutes[PickerIndex(pickerId)];
  int hour = t.wHour, minute = t.wMinute;
  if (SnapPeakTime(last / 60, last % 60, hour, minute)) {
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    picker->SetTime(&t);
  }
  last = hour * 60 + minute;
}
