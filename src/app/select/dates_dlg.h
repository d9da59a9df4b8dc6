// CDatesDlg ("Select Dates"): builds the list of days a report covers from the day files of the
// archive. The user picks a year; its days with a day file are listed, and days move into the
// selected list one by one, by month and weekday, or by a date range with a weekday filter.
#pragma once

#include "app/select/archive_scan.h"
#include "app/select/date_choice.h"
#include "containers/list_array.h"
#include "support/mfcex_dialog.h"

class CDatesDlg : public CMFCExDialog {
 public:
  // The selected list starts as a copy of *dates; on OK *dates becomes the selected list.
  CDatesDlg(CObjArray<CDateTimeEx>* dates, CWnd* parent);

  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  void ScanYears();
  void OnYearSelChange();
  void OnModeMonths();
  void OnModeRange();
  void OnModeDates();
  void OnAddSelected();
  void OnAddAll();
  void OnRemoveSelected();
  void OnRemoveAll();
  void OnDaysAll();
  void OnDaysMonFri();
  void OnDaysTueThu();
  void OnDaysFri();
  void OnDaysWeekends();
  void OnStartSpin(NMHDR* nm, LRESULT* result);
  void OnEndSpin(NMHDR* nm, LRESULT* result);
  void OnRangeFieldFocus(UINT id);
  void OnRangeFieldLeave(UINT id);

  bool PassesMonthFilter(const CDateTimeEx& date) const;
  bool PassesWeekdayFilter(const CDateTimeEx& date) const;

  CButton m_btnMonths, m_btnDates, m_btnRange;
  CSpinButtonCtrl m_spinStart, m_spinEnd;
  CListBox m_lbWeekdays;  // line 0 Sunday .. line 6 Saturday
  CListBox m_lbMonths;    // line 0 January .. line 11 December
  SDateFields m_end{1993, 1, 1};
  SDateFields m_start{1993, 1, 1};
  int m_nMode = DATE_MODE_DATES;
  int m_nSelected = 0;
  int m_nAvailable = 0;
  CObjList<CStrA> m_lbYears;
  CObjList<CDateTimeEx> m_lbSelected;
  CObjList<CDateTimeEx> m_lbAvailable;
  CObjArray<CDateTimeEx>* m_pDates;

 private:
  // Enables the controls of the current mode (the days exist).
  void ApplyMode();
  void EnableRange(bool enable);
  void EnableWeekdays(bool enable);
  // Highlights the weekday lines whose bit (1 << line) is set and clears the others.
  void HighlightDays(unsigned lines);
  void AddDate(const CDateTimeEx& date) { AddDateOnce(m_lbSelected, date); }
  void ShowSelectedCount();
  // A spin step of one side; a refused step is vetoed by setting its change to 0.
  void OnSpin(NMHDR* nm, bool start);
  // Reads a side's three fields from its edits (text that is no number counts as 0).
  SDateFields ReadFields(bool start) const;
  void WriteFields(bool start, const SDateFields& fields);

  CYearDays m_days;

  DECLARE_MESSAGE_MAP()
};
