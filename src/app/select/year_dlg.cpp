#include "app/select/year_dlg.h"

#include <cstring>

#include "app/select/select_ids.h"
#include "app/select/select_lists.h"
#include "archive/archive_globals.h"

namespace {

constexpr DWORD kReadOnlyNumber = ES_READONLY | ES_RIGHT;

const DialogTemplate kYearTemplate = {
    IDD_SELECT_YEAR,
    "Select Year",
    151,
    147,
    {
        {Ctl::Static, IDC_STATIC, "Year", 0, 7, 7, 40, 8},
        {Ctl::ListBox, IDC_SEL_YEARS, "", 0, 7, 17, 40, 84},
        {Ctl::Static, IDC_STATIC, "Days with Data", 0, 54, 7, 90, 8},
        {Ctl::ListBox, IDC_SEL_DATES, "", LBS_NOSEL, 54, 17, 90, 84},
        {Ctl::Static, IDC_STATIC, "Days:", 0, 54, 108, 36, 8},
        {Ctl::Edit, IDC_SEL_DATE_COUNT, "", kReadOnlyNumber, 94, 105, 50, 14},
        {Ctl::DefPushButton, IDOK, "OK", 0, 40, 126, 50, 14},
        {Ctl::PushButton, IDCANCEL, "Cancel", 0, 94, 126, 50, 14},
    },
};

const DialogTemplate kMonthTemplate = {
    IDD_SELECT_MONTH,
    "Select Month",
    218,
    147,
    {
        {Ctl::Static, IDC_STATIC, "Year", 0, 7, 7, 40, 8},
        {Ctl::ListBox, IDC_SEL_YEARS, "", 0, 7, 17, 40, 84},
        {Ctl::Static, IDC_STATIC, "Month", 0, 54, 7, 60, 8},
        {Ctl::ListBox, IDC_SEL_MONTHS, "", 0, 54, 17, 60, 84},
        {Ctl::Static, IDC_STATIC, "Days with Data", 0, 121, 7, 90, 8},
        {Ctl::ListBox, IDC_SEL_DATES, "", LBS_NOSEL, 121, 17, 90, 84},
        {Ctl::Static, IDC_STATIC, "Days:", 0, 121, 108, 36, 8},
        {Ctl::Edit, IDC_SEL_DATE_COUNT, "", kReadOnlyNumber, 161, 105, 50, 14},
        {Ctl::DefPushButton, IDOK, "OK", 0, 107, 126, 50, 14},
        {Ctl::PushButton, IDCANCEL, "Cancel", 0, 161, 126, 50, 14},
    },
};


void RegisterTemplates() {
  static const bool once = (RegisterDialogTemplate(&kYearTemplate), RegisterDialogTemplate(&kMonthTemplate), true);
  (void)once;
}

}  // namespace

// ---- shared ----

CYearDaysDlg::CYearDaysDlg(UINT templateId, CWnd* parent, const char* caption)
    : CDialog(templateId, parent), m_lbYears(GetYearLineText), m_lbDates(GetDateLineText), m_pszCaption(caption) {
  RegisterTemplates();
}

void CYearDaysDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_SEL_DATE_COUNT, m_nDateCount);
  DDX_Control(dx, IDC_SEL_YEARS, m_lbYears);
  DDX_Control(dx, IDC_SEL_DATES, m_lbDates);
}

bool CYearDaysDlg::ScanYears() {
  m_lbDates.ListResetContent();
  m_days.Clear();
  FillYearList(m_lbYears);
  if (m_lbYears.m_nSize > 0) return true;
  MessageBox(NoYearsText().m_pData, m_pszCaption, MB_ICONINFORMATION);
  EndDialog(IDCANCEL);
  return false;
}

void CYearDaysDlg::ScanYearDays(int year) {
  m_days.Clear();
  ScanYearDaysWithPrompt(g_DataRootPath.Get(), year, m_days, DiscPromptFor(this, m_pszCaption));
}

void CYearDaysDlg::ShowDates(const CObjArray<CDateTimeEx>& dates) {
  m_lbDates.ListResetContent();
  for (int i = 0; i < dates.m_nSize; ++i) m_lbDates.Add(*dates.m_pData[i]);
  m_nDateCount = m_lbDates.m_nSize;
  UpdateData(FALSE);
}

void CYearDaysDlg::CopyMonthFlags(unsigned char* flags) const {
  if (flags == nullptr) return;
  flags[0] = 0;
  for (int m = 1; m <= 12; ++m) flags[m] = m_days.month[m] ? 1 : 0;
}

// ---- year ----

BEGIN_MESSAGE_MAP(CYearDlg, CDialog)
  ON_LBN_SELCHANGE(IDC_SEL_YEARS, &CYearDlg::OnYearSelChange)
END_MESSAGE_MAP()

CYearDlg::CYearDlg(CWnd* parent) : CYearDaysDlg(IDD_SELECT_YEAR, parent, "Year Selection") {}

int CYearDlg::Run(CObjArray<CDateTimeEx>& dates, unsigned char* monthFlags) {
  if (DoModal() != IDOK) return 2;
  dates.Copy(m_lbDates);
  CopyMonthFlags(monthFlags);
  return 1;
}

int CYearDlg::RunYear(int& year, unsigned char* monthFlags) {
  if (DoModal() != IDOK) return 2;
  year = m_nYear;
  CopyMonthFlags(monthFlags);
  return 1;
}

BOOL CYearDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (!ScanYears()) return TRUE;
  m_lbYears.SetCurSel(m_lbYears.m_nSize - 1);
  OnYearSelChange();
  return TRUE;
}

void CYearDlg::OnYearSelChange() {
  const int line = m_lbYears.GetCurSel();
  if (line < 0 || line >= m_lbYears.m_nSize) return;
  m_nYear = YearOfLine(*m_lbYears.m_pData[line]);
  ScanYearDays(m_nYear);
  ShowDates(m_days.dates);
}

// ---- month ----

BEGIN_MESSAGE_MAP(CMonthDlg, CDialog)
  ON_LBN_SELCHANGE(IDC_SEL_YEARS, &CMonthDlg::OnYearSelChange)
  ON_LBN_SELCHANGE(IDC_SEL_MONTHS, &CMonthDlg::OnMonthSelChange)
END_MESSAGE_MAP()

CMonthDlg::CMonthDlg(CWnd* parent) : CYearDaysDlg(IDD_SELECT_MONTH, parent, "Month Selection") {}

void CMonthDlg::DoDataExchange(CDataExchange* dx) {
  CYearDaysDlg::DoDataExchange(dx);
  DDX_Control(dx, IDC_SEL_MONTHS, m_lbMonths);
}

int CMonthDlg::RunYearMonth(int& year, int& month) {
  m_nYear = year;
  m_nMonth = month;
  if (DoModal() != IDOK) return 2;
  year = m_nYear;
  month = m_nMonth;
  return 1;
}

int CMonthDlg::Run(CObjArray<CDateTimeEx>& dates) {
  m_nYear = m_nMonth = 0;
  if (dates.m_nSize > 0) {
    m_nYear = dates.m_pData[0]->GetYear();  // -1 each for a date that is not valid
    m_nMonth = dates.m_pData[0]->GetMonth();
  }
  if (DoModal() != IDOK) return 2;
  dates.Copy(m_lbDates);
  return 1;
}

BOOL CMonthDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_lbMonths.ResetContent();
  if (!ScanYears()) return TRUE;
  int line = -1;
  if (m_nYear == 0) {
    line = m_lbYears.m_nSize - 1;
  } else {
    CStrA year;
    year.Format("%i", m_nYear);
    for (int i = 0; i < m_lbYears.m_nSize && line < 0; ++i)
      if (std::strncmp(m_lbYears.m_pData[i]->m_pData, year.m_pData, static_cast<size_t>(year.m_nSize - 1)) == 0) line = i;
  }
  if (line >= 0) m_lbYears.SetCurSel(line);
  OnYearSelChange();
  return TRUE;
}

void CMonthDlg::OnYearSelChange() {
  const int line = m_lbYears.GetCurSel();
  if (line < 0 || line >= m_lbYears.m_nSize) return;
  m_lbMonths.ResetContent();
  m_nYear = YearOfLine(*m_lbYears.m_pData[line]);
  ScanYearDays(m_nYear);
  for (int m = 1; m <= 12; ++m) m_lbMonths.AddString(m_days.month[m] ? kSelectMonthNames[m - 1] : "N/A");
  m_lbMonths.SetCurSel(m_nMonth >= 1 && m_nMonth <= 12 ? m_nMonth - 1 : 0);
  OnMonthSelChange();
}

void CMonthDlg::OnMonthSelChange() {
  const int line = m_lbMonths.GetCurSel();
  if (line < 0) return;
  m_nMonth = line + 1;
  CObjArray<CDateTimeEx> month;
  for (int i = 0; i < m_days.dates.m_nSize; ++i)
    if (m_days.dates.m_pData[i]->GetMonth() == m_nMonth) month.Add(*m_days.dates.m_pData[i]);
  ShowDates(month);
}

void CMonthDlg::OnOK() {
  if (m_nYear > 0 && m_nMonth >= 1 && m_nMonth <= 12) {
    CDialog::OnOK();
    return;
  }
  MessageBox("No month has been selected!", "Month Selection", MB_ICONERROR);
}
