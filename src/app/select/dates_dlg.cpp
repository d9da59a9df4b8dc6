#include "app/select/dates_dlg.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/select/select_ids.h"
#include "app/select/select_lists.h"
#include "archive/archive_globals.h"

namespace {

constexpr DWORD kReadOnlyNumber = ES_READONLY | ES_RIGHT;
constexpr DWORD kExtended = LBS_EXTENDEDSEL;

// Three bands: the year, available and selected lists with the moving buttons; the three modes;
// and under them the controls each mode uses (months, the range, the weekdays).
const DialogTemplate kDatesTemplate = {
    IDD_SELECT_DATES,
    "Select Dates",
    325,
    285,
    {
        {Ctl::Static, IDC_STATIC, "Year", 0, 7, 7, 40, 8},
        {Ctl::ListBox, IDC_SEL_YEARS, "", 0, 7, 17, 40, 84},
        {Ctl::Static, IDC_STATIC, "Available Dates", 0, 54, 7, 100, 8},
        {Ctl::ListBox, IDC_SEL_AVAILABLE_DATES, "", kExtended, 54, 17, 100, 84},
        {Ctl::PushButton, IDC_SEL_ADD, ">", 0, 161, 24, 50, 14},
        {Ctl::PushButton, IDC_SEL_ADD_ALL, ">>", 0, 161, 42, 50, 14},
        {Ctl::PushButton, IDC_SEL_REMOVE, "<", 0, 161, 66, 50, 14},
        {Ctl::PushButton, IDC_SEL_REMOVE_ALL, "<<", 0, 161, 84, 50, 14},
        {Ctl::Static, IDC_STATIC, "Selected Dates", 0, 218, 7, 100, 8},
        {Ctl::ListBox, IDC_SEL_SELECTED_DATES, "", kExtended, 218, 17, 100, 84},
        {Ctl::Static, IDC_STATIC, "Available:", 0, 54, 108, 46, 8},
        {Ctl::Edit, IDC_SEL_AVAILABLE_COUNT, "", kReadOnlyNumber, 104, 105, 50, 14},
        {Ctl::Static, IDC_STATIC, "Selected:", 0, 218, 108, 46, 8},
        {Ctl::Edit, IDC_SEL_SELECTED_COUNT, "", kReadOnlyNumber, 268, 105, 50, 14},

        {Ctl::GroupBox, IDC_STATIC, "Selection Method", 0, 7, 126, 311, 28},
        {Ctl::Radio, IDC_SEL_MODE_MONTHS, "Select Months", WS_GROUP | WS_TABSTOP, 14, 137, 90, 10},
        {Ctl::Radio, IDC_SEL_MODE_RANGE, "Select Date Range", 0, 108, 137, 90, 10},
        {Ctl::Radio, IDC_SEL_MODE_DATES, "Select Individual Dates", 0, 218, 137, 93, 10},

        {Ctl::Static, IDC_STATIC, "Months", WS_GROUP, 7, 161, 60, 8},
        {Ctl::ListBox, IDC_SEL_MONTHS, "", kExtended, 7, 171, 60, 84},

        {Ctl::GroupBox, IDC_SEL_START_FRAME, "Start Date", 0, 74, 161, 110, 32},
        {Ctl::Edit, IDC_SEL_START_MONTH, "", kReadOnlyNumber, 81, 172, 18, 14},
        {Ctl::Static, IDC_SEL_START_SLASH1, "/", SS_CENTER, 101, 175, 6, 8},
        {Ctl::Edit, IDC_SEL_START_DAY, "", kReadOnlyNumber, 109, 172, 18, 14},
        {Ctl::Static, IDC_SEL_START_SLASH2, "/", SS_CENTER, 129, 175, 6, 8},
        {Ctl::Edit, IDC_SEL_START_YEAR, "", kReadOnlyNumber, 137, 172, 26, 14},
        {Ctl::Spin, IDC_SEL_START_SPIN, "", 0, 163, 172, 10, 14},
        {Ctl::GroupBox, IDC_SEL_END_FRAME, "End Date", 0, 74, 200, 110, 32},
        {Ctl::Edit, IDC_SEL_END_MONTH, "", kReadOnlyNumber, 81, 211, 18, 14},
        {Ctl::Static, IDC_SEL_END_SLASH1, "/", SS_CENTER, 101, 214, 6, 8},
        {Ctl::Edit, IDC_SEL_END_DAY, "", kReadOnlyNumber, 109, 211, 18, 14},
        {Ctl::Static, IDC_SEL_END_SLASH2, "/", SS_CENTER, 129, 214, 6, 8},
        {Ctl::Edit, IDC_SEL_END_YEAR, "", kReadOnlyNumber, 137, 211, 26, 14},
        {Ctl::Spin, IDC_SEL_END_SPIN, "", 0, 163, 211, 10, 14},

        {Ctl::Static, IDC_SEL_WEEKDAY_LABEL, "Days of the Week", 0, 191, 161, 70, 8},
        {Ctl::ListBox, IDC_SEL_WEEKDAYS, "", kExtended, 191, 171, 70, 84},
        {Ctl::PushButton, IDC_SEL_DAYS_ALL, "All", 0, 268, 171, 50, 14},
        {Ctl::PushButton, IDC_SEL_DAYS_MON_FRI, "Mon-Fri", 0, 268, 189, 50, 14},
        {Ctl::PushButton, IDC_SEL_DAYS_TUE_THU, "Tue-Thu", 0, 268, 207, 50, 14},
        {Ctl::PushButton, IDC_SEL_DAYS_FRI, "Fri Only", 0, 268, 225, 50, 14},
        {Ctl::PushButton, IDC_SEL_DAYS_WEEKENDS, "Weekends", 0, 268, 243, 50, 14},

        {Ctl::DefPushButton, IDOK, "OK", 0, 214, 264, 50, 14},
        {Ctl::PushButton, IDCANCEL, "Cancel", 0, 268, 264, 50, 14},
    },
};


const int kRangeControls[] = {IDC_SEL_START_FRAME, IDC_SEL_START_MONTH, IDC_SEL_START_SLASH1, IDC_SEL_START_DAY,
                              IDC_SEL_START_SLASH2, IDC_SEL_START_YEAR,  IDC_SEL_START_SPIN,   IDC_SEL_END_FRAME,
                              IDC_SEL_END_MONTH,    IDC_SEL_END_SLASH1,  IDC_SEL_END_DAY,      IDC_SEL_END_SLASH2,
                              IDC_SEL_END_YEAR,     IDC_SEL_END_SPIN};
const int kWeekdayControls[] = {IDC_SEL_WEEKDAYS,     IDC_SEL_WEEKDAY_LABEL, IDC_SEL_DAYS_ALL,     IDC_SEL_DAYS_MON_FRI,
                                IDC_SEL_DAYS_TUE_THU, IDC_SEL_DAYS_FRI,      IDC_SEL_DAYS_WEEKENDS};

void RegisterDatesTemplate() {
  static const bool once = (RegisterDialogTemplate(&kDatesTemplate), true);
  (void)once;
}


// The number at the start of an edit's text; 0 when there is none.
int FieldValue(const CWnd* edit) {
  if (edit == nullptr) return 0;
  std::string text = edit->GetWindowText();
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// The day and month edits of the range are typed into; the year edits stay read-only.
bool IsDayOrMonthField(UINT id) {
  return id == IDC_SEL_START_MONTH || id == IDC_SEL_START_DAY || id == IDC_SEL_END_MONTH || id == IDC_SEL_END_DAY;
}

bool IsStartField(UINT id) { return id == IDC_SEL_START_MONTH || id == IDC_SEL_START_DAY; }

}  // namespace

BEGIN_MESSAGE_MAP(CDatesDlg, CMFCExDialog)
  ON_LBN_SELCHANGE(IDC_SEL_YEARS, &CDatesDlg::OnYearSelChange)
  ON_BN_CLICKED(IDC_SEL_MODE_MONTHS, &CDatesDlg::OnModeMonths)
  ON_BN_CLICKED(IDC_SEL_MODE_RANGE, &CDatesDlg::OnModeRange)
  ON_BN_CLICKED(IDC_SEL_MODE_DATES, &CDatesDlg::OnModeDates)
  ON_BN_CLICKED(IDC_SEL_ADD, &CDatesDlg::OnAddSelected)
  ON_LBN_DBLCLK(IDC_SEL_AVAILABLE_DATES, &CDatesDlg::OnAddSelected)
  ON_BN_CLICKED(IDC_SEL_ADD_ALL, &CDatesDlg::OnAddAll)
  ON_BN_CLICKED(IDC_SEL_REMOVE, &CDatesDlg::OnRemoveSelected)
  ON_LBN_DBLCLK(IDC_SEL_SELECTED_DATES, &CDatesDlg::OnRemoveSelected)
  ON_BN_CLICKED(IDC_SEL_REMOVE_ALL, &CDatesDlg::OnRemoveAll)
  ON_BN_CLICKED(IDC_SEL_DAYS_ALL, &CDatesDlg::OnDaysAll)
  ON_BN_CLICKED(IDC_SEL_DAYS_MON_FRI, &CDatesDlg::OnDaysMonFri)
  ON_BN_CLICKED(IDC_SEL_DAYS_TUE_THU, &CDatesDlg::OnDaysTueThu)
  ON_BN_CLICKED(IDC_SEL_DAYS_FRI, &CDatesDlg::OnDaysFri)
  ON_BN_CLICKED(IDC_SEL_DAYS_WEEKENDS, &CDatesDlg::OnDaysWeekends)
  ON_NOTIFY(UDN_DELTAPOS, IDC_SEL_START_SPIN, &CDatesDlg::OnStartSpin)
  ON_NOTIFY(UDN_DELTAPOS, IDC_SEL_END_SPIN, &CDatesDlg::OnEndSpin)
  ON_CONTROL_RANGE(EN_SETFOCUS, IDC_SEL_START_MONTH, IDC_SEL_END_DAY, &CDatesDlg::OnRangeFieldFocus)
  ON_CONTROL_RANGE(EN_KILLFOCUS, IDC_SEL_START_MONTH, IDC_SEL_END_DAY, &CDatesDlg::OnRangeFieldLeave)
END_MESSAGE_MAP()

CDatesDlg::CDatesDlg(CObjArray<CDateTimeEx>* dates, CWnd* parent)
    : CMFCExDialog(IDD_SELECT_DATES, parent),
      m_lbYears(GetYearLineText),
      m_lbSelected(GetDateLineText),
      m_lbAvailable(GetDateLineText),
      m_pDates(dates) {
  RegisterDatesTemplate();
  if (dates != nullptr) m_lbSelected.Copy(*dates);
  m_nSelected = m_lbSelected.m_nSize;
}

void CDatesDlg::DoDataExchange(CDataExchange* dx) {
  CMFCExDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_SEL_MODE_MONTHS, m_btnMonths);
  DDX_Control(dx, IDC_SEL_MODE_DATES, m_btnDates);
  DDX_Control(dx, IDC_SEL_MODE_RANGE, m_btnRange);
  DDX_Control(dx, IDC_SEL_START_SPIN, m_spinStart);
  DDX_Control(dx, IDC_SEL_END_SPIN, m_spinEnd);
  DDX_Control(dx, IDC_SEL_WEEKDAYS, m_lbWeekdays);
  DDX_Control(dx, IDC_SEL_MONTHS, m_lbMonths);
  DDX_Control(dx, IDC_SEL_YEARS, m_lbYears);
  DDX_Control(dx, IDC_SEL_SELECTED_DATES, m_lbSelected);
  DDX_Control(dx, IDC_SEL_AVAILABLE_DATES, m_lbAvailable);
  DDX_Text(dx, IDC_SEL_END_DAY, m_end.day);
  DDX_Text(dx, IDC_SEL_END_MONTH, m_end.month);
  DDX_Text(dx, IDC_SEL_END_YEAR, m_end.year);
  DDX_Text(dx, IDC_SEL_START_DAY, m_start.day);
  DDX_Text(dx, IDC_SEL_START_MONTH, m_start.month);
  DDX_Text(dx, IDC_SEL_START_YEAR, m_start.year);
  DDX_Radio(dx, IDC_SEL_MODE_MONTHS, m_nMode);
  DDX_Text(dx, IDC_SEL_SELECTED_COUNT, m_nSelected);
  DDX_Text(dx, IDC_SEL_AVAILABLE_COUNT, m_nAvailable);
}

BOOL CDatesDlg::OnInitDialog() {
  CMFCExDialog::OnInitDialog();
  // The spins only propose steps of one day; their position means nothing.
  m_spinStart.SetRange32(-30000, 30000);
  m_spinEnd.SetRange32(-30000, 30000);
  ScanYears();
  if (m_lbYears.m_nSize == 0) {
    // Nothing to choose from: the user learns where the program looked instead of meeting empty lists.
    MessageBox(NoYearsText().m_pData, "Date Selection", MB_ICONINFORMATION);
    EndDialog(IDCANCEL);
    return TRUE;
  }
  int line = -1;
  if (m_lbSelected.m_nSize == 0) {
    line = m_lbYears.m_nSize - 1;
  } else {
    const int year = m_lbSelected.m_pData[m_lbSelected.m_nSize - 1]->GetYear();
    for (int i = 0; i < m_lbYears.m_nSize && line < 0; ++i)
      if (YearOfLine(*m_lbYears.m_pData[i]) == year) line = i;
  }
  if (line >= 0) m_lbYears.SetCurSel(line);
  OnYearSelChange();
  return TRUE;
}

void CDatesDlg::ScanYears() {
  m_lbAvailable.ListResetContent();
  m_lbMonths.ResetContent();
  FillYearList(m_lbYears);
}

void CDatesDlg::OnYearSelChange() {
  const int line = m_lbYears.GetCurSel();
  const bool chosen = line >= 0 && line < m_lbYears.m_nSize;
  // Without a year (only when the dialog opens) the lists show that nothing is available.
  if (chosen) UpdateData(TRUE);
  m_lbMonths.ResetContent();
  m_lbAvailable.ListResetContent();
  m_lbWeekdays.ResetContent();
  m_days.Clear();
  if (chosen)
    ScanYearDaysWithPrompt(g_DataRootPath.Get(), YearOfLine(*m_lbYears.m_pData[line]), m_days,
                           DiscPromptFor(this, "Date Selection"));
  for (int i = 0; i < m_days.dates.m_nSize; ++i) m_lbAvailable.Add(*m_days.dates.m_pData[i]);
  m_nAvailable = m_lbAvailable.m_nSize;
  for (int m = 1; m <= 12; ++m) m_lbMonths.AddString(m_days.month[m] ? kSelectMonthNames[m - 1] : "N/A");
  for (int d = 1; d <= 7; ++d) m_lbWeekdays.AddString(m_days.weekday[d] ? kSelectDayNames[d - 1] : "N/A");
  if (m_nAvailable > 0) {
    m_lbAvailable.SetTopIndex(m_nAvailable - 1);
    m_start.Set(*m_lbAvailable.m_pData[0]);
    m_end.Set(*m_lbAvailable.m_pData[m_nAvailable - 1]);
  } else {
    m_start = m_end = SDateFields{};
  }
  ApplyMode();
  UpdateData(FALSE);
}

void CDatesDlg::ApplyMode() {
  const bool any = m_lbAvailable.m_nSize > 0;
  const SDateModeControls on = DateModeControls(m_nMode);
  for (CButton* radio : {&m_btnMonths, &m_btnRange, &m_btnDates}) radio->EnableWindow(any);
  m_lbMonths.EnableWindow(any && on.months);
  EnableRange(any && on.range);
  EnableWeekdays(any && on.weekdays);
  GetDlgItem(IDC_SEL_ADD)->EnableWindow(any && on.addHighlighted);
  GetDlgItem(IDC_SEL_ADD_ALL)->EnableWindow(any);
}

void CDatesDlg::EnableRange(bool enable) {
  for (int id : kRangeControls) GetDlgItem(id)->EnableWindow(enable);
}

void CDatesDlg::EnableWeekdays(bool enable) {
  for (int id : kWeekdayControls) GetDlgItem(id)->EnableWindow(enable);
}

void CDatesDlg::OnModeMonths() {
  m_nMode = DATE_MODE_MONTHS;
  ApplyMode();
}

void CDatesDlg::OnModeRange() {
  m_nMode = DATE_MODE_RANGE;
  ApplyMode();
}

void CDatesDlg::OnModeDates() {
  m_nMode = DATE_MODE_DATES;
  ApplyMode();
}

bool CDatesDlg::PassesMonthFilter(const CDateTimeEx& date) const {
  return date.IsValid() && m_lbMonths.GetSel(date.GetMonth() - 1) > 0;
}

bool CDatesDlg::PassesWeekdayFilter(const CDateTimeEx& date) const {
  return date.IsValid() && m_lbWeekdays.GetSel(date.GetDayOfWeek() - 1) > 0;
}

void CDatesDlg::OnAddAll() {
  if (!UpdateData(TRUE)) return;
  const CDateTimeEx start = m_start.Date();
  const CDateTimeEx end = m_end.Date();
  for (int i = 0; i < m_lbAvailable.m_nSize; ++i) {
    const CDateTimeEx& date = *m_lbAvailable.m_pData[i];
    bool take = true;
    if (m_nMode == DATE_MODE_MONTHS) take = PassesMonthFilter(date) && PassesWeekdayFilter(date);
    else if (m_nMode == DATE_MODE_RANGE) take = InRange(date, start, end) && PassesWeekdayFilter(date);
    if (take) AddDate(date);
  }
  ShowSelectedCount();
}

void CDatesDlg::OnAddSelected() {
  for (int line : HighlightedLines(m_lbAvailable))
    if (line < m_lbAvailable.m_nSize) AddDate(*m_lbAvailable.m_pData[line]);
  ShowSelectedCount();
}

void CDatesDlg::OnRemoveSelected() {
  RemoveHighlightedLines(m_lbSelected);
  ShowSelectedCount();
}

void CDatesDlg::OnRemoveAll() {
  m_lbSelected.ListResetContent();
  ShowSelectedCount();
}

void CDatesDlg::ShowSelectedCount() {
  m_nSelected = m_lbSelected.m_nSize;
  SetDlgItemInt(IDC_SEL_SELECTED_COUNT, static_cast<UINT>(m_nSelected));
}

void CDatesDlg::HighlightDays(unsigned lines) {
  for (int line = 0; line < 7; ++line) m_lbWeekdays.SetSel(line, (lines >> line) & 1u);
}

void CDatesDlg::OnDaysAll() { HighlightDays(0x7F); }
void CDatesDlg::OnDaysMonFri() { HighlightDays(0x3E); }
void CDatesDlg::OnDaysTueThu() { HighlightDays(0x1C); }
void CDatesDlg::OnDaysFri() { HighlightDays(0x20); }
void CDatesDlg::OnDaysWeekends() { HighlightDays(0x41); }

SDateFields CDatesDlg::ReadFields(bool start) const {
  SDateFields f;
  f.year = FieldValue(GetDlgItem(start ? IDC_SEL_START_YEAR : IDC_SEL_END_YEAR));
  f.month = FieldValue(GetDlgItem(start ? IDC_SEL_START_MONTH : IDC_SEL_END_MONTH));
  f.day = FieldValue(GetDlgItem(start ? IDC_SEL_START_DAY : IDC_SEL_END_DAY));
  return f;
}

void CDatesDlg::WriteFields(bool start, const SDateFields& fields) {
  (start ? m_start : m_end) = fields;
  SetDlgItemInt(start ? IDC_SEL_START_YEAR : IDC_SEL_END_YEAR, static_cast<UINT>(fields.year), TRUE);
  SetDlgItemInt(start ? IDC_SEL_START_MONTH : IDC_SEL_END_MONTH, static_cast<UINT>(fields.month), TRUE);
  SetDlgItemInt(start ? IDC_SEL_START_DAY : IDC_SEL_END_DAY, static_cast<UINT>(fields.day), TRUE);
}

void CDatesDlg::OnRangeFieldFocus(UINT id) {
  if (IsDayOrMonthField(id)) static_cast<CEdit*>(GetDlgItem(static_cast<int>(id)))->SetReadOnly(FALSE);
}

void CDatesDlg::OnRangeFieldLeave(UINT id) {
  if (!IsDayOrMonthField(id)) return;
  static_cast<CEdit*>(GetDlgItem(static_cast<int>(id)))->SetReadOnly(TRUE);
  if (m_lbAvailable.m_nSize == 0) return;
  SDateFields fields = ReadFields(IsStartField(id));
  HoldToAvailable(fields, *m_lbAvailable.m_pData[0], *m_lbAvailable.m_pData[m_lbAvailable.m_nSize - 1]);
  WriteFields(IsStartField(id), fields);
}

void CDatesDlg::OnSpin(NMHDR* nm, bool start) {
  auto* ud = reinterpret_cast<NMUPDOWN*>(nm);
  SDateFields moved = ReadFields(start);
  if (m_lbAvailable.m_nSize == 0 ||
      !MoveByDays(moved, ud->iDelta, *m_lbAvailable.m_pData[0], *m_lbAvailable.m_pData[m_lbAvailable.m_nSize - 1])) {
    ud->iDelta = 0;
    return;
  }
  WriteFields(start, moved);
}

void CDatesDlg::OnStartSpin(NMHDR* nm, LRESULT* result) {
  OnSpin(nm, true);
  *result = 0;
}

void CDatesDlg::OnEndSpin(NMHDR* nm, LRESULT* result) {
  OnSpin(nm, false);
  *result = 0;
}

BOOL CDatesDlg::PreTranslateMessage(MSG* msg) {
  switch (ListKeyOf(msg, m_lbAvailable.m_hWnd, m_lbSelected.m_hWnd)) {
    case EListKey::Add:
      OnAddSelected();
      return TRUE;
    case EListKey::Remove:
      OnRemoveSelected();
      return TRUE;
    case EListKey::None:
      break;
  }
  return CMFCExDialog::PreTranslateMessage(msg);
}

void CDatesDlg::OnOK() {
  if (m_lbSelected.m_nSize == 0) {
    MessageBox("CDatesDlg::OnOK(): No dates have been selected. ", nullptr, MB_OK);
    return;
  }
  // The caller's list changes only once the dialog really ends with OK.
  if (!UpdateData(TRUE)) return;
  if (m_pDates != nullptr) m_pDates->Copy(m_lbSelected);
  CMFCExDialog::OnOK();
}
