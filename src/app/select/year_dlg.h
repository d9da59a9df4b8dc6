// The year and month dialogs: a whole archive year ("Select Year") or one month of it ("Select
// Month"), with the days of the choice that have a day file.
#pragma once

#include "app/select/archive_scan.h"
#include "containers/list_array.h"
#include "platform/ui/dialog.h"

// What both dialogs share: the year list (2062), the days list without selection (2061) with its
// count (2063), and the scan of the chosen year under a caption of their own.
class CYearDaysDlg : public CDialog {
 public:
  CYearDaysDlg(UINT templateId, CWnd* parent, const char* caption);

  void DoDataExchange(CDataExchange* dx) override;

  // Fills the year list; false (after telling the user, with the dialog ended as cancelled) when
  // the archive root has no year folder.
  bool ScanYears();
  // The days of a year, each once and ascending, with their month flags; on a disc the user is
  // asked for further discs of the year.
  void ScanYearDays(int year);
  // Shows the days in the list and their number.
  void ShowDates(const CObjArray<CDateTimeEx>& dates);
  void CopyMonthFlags(unsigned char* flags) const;  // 13 bytes, index 1 .. 12

  int m_nDateCount = 0;
  CObjList<CStrA> m_lbYears;
  CObjList<CDateTimeEx> m_lbDates;
  CYearDays m_days;

 private:
  const char* m_pszCaption;
};

class CYearDlg : public CYearDaysDlg {
 public:
  explicit CYearDlg(CWnd* parent);

  // Runs the dialog; on OK `dates` becomes the chosen year's days, the month flags are copied out
  // when `monthFlags` is given, and the result is 1; otherwise 2 and nothing changes.
  int Run(CObjArray<CDateTimeEx>& dates, unsigned char* monthFlags);
  // The same, handing back the chosen year.
  int RunYear(int& year, unsigned char* monthFlags);

  BOOL OnInitDialog() override;
  void OnYearSelChange();

  int m_nYear = 0;

  DECLARE_MESSAGE_MAP()
};

class CMonthDlg : public CYearDaysDlg {
 public:
  explicit CMonthDlg(CWnd* parent);

  // Opens on `year` and `month` (0: the newest year, its first month); on OK writes the choice back
  // and returns 1, otherwise 2.
  int RunYearMonth(int& year, int& month);
  // Opens on the month of the first date (the newest year when there is none); on OK `dates`
  // becomes the chosen month's days and the result is 1, otherwise 2 and nothing changes.
  int Run(CObjArray<CDateTimeEx>& dates);

  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnYearSelChange();
  void OnMonthSelChange();

  CListBox m_lbMonths;  // line 0 January .. line 11 December, "N/A" without days
  int m_nYear = 0;
  int m_nMonth = 0;

  DECLARE_MESSAGE_MAP()
};
