// CPEValidityFlags: the "Perkin-Elmer Validity Flags Criteria" page: the good-volume ranges of peak
// and off-peak five-minute periods and the two peak windows of the older archive format. It edits
// the process-wide PE settings directly.
#pragma once

#include "platform/ui/app.h"
#include "platform/ui/dialog.h"

constexpr UINT IDD_PE_VALIDITY = 220;
constexpr int IDC_PE_OFF_PEAK_MIN = 1493;
constexpr int IDC_PE_OFF_PEAK_MAX = 1494;
constexpr int IDC_PE_PEAK_MIN = 1495;
constexpr int IDC_PE_PEAK_MAX = 1496;
constexpr int IDC_PE_CHANGE_OFF_PEAK_MAX = 1523;
constexpr int IDC_PE_CHANGE_PEAK_MAX = 1524;
constexpr int IDC_PE_CHANGE_OFF_PEAK_MIN = 1525;
constexpr int IDC_PE_CHANGE_PEAK_MIN = 1526;
constexpr int IDC_PE_PEAK1_START = 1701;
constexpr int IDC_PE_PEAK1_END = 1702;
constexpr int IDC_PE_PEAK2_START = 1703;
constexpr int IDC_PE_PEAK2_END = 1704;

class CPEValidityFlags : public CPropertyPage {
  DECLARE_DYNCREATE(CPEValidityFlags)

 public:
  CPEValidityFlags() = default;
  void Construct(UINT templateId = IDD_PE_VALIDITY, UINT captionId = 0);

  CDateTimeCtrl m_dtPeak2Start;  // 1703
  CDateTimeCtrl m_dtPeak2End;    // 1704
  CDateTimeCtrl m_dtPeak1Start;  // 1701
  CDateTimeCtrl m_dtPeak1End;    // 1702
  CEdit m_edPeakMax;             // 1496
  CEdit m_edPeakMin;             // 1495
  CEdit m_edOffPeakMin;          // 1493
  CEdit m_edOffPeakMax;          // 1494
  BYTE m_nOffPeakMax = 255;
  BYTE m_nOffPeakMin = 0;
  BYTE m_nPeakMin = 0;
  BYTE m_nPeakMax = 255;

  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* dx) override;

  void OnChangeLimit(UINT buttonId);
  void OnLimitKillFocus(UINT editId);
  void OnPeakTimeChange(UINT pickerId, NMHDR* nm, LRESULT* result);

  DECLARE_MESSAGE_MAP()

 private:
  CDateTimeCtrl* Picker(UINT id);
  // Refuses a minimum above its maximum: a message naming both, the minimum's edit opened and focused.
  void CheckLimits(CDataExchange* dx, int minEditId, const char* range, BYTE min, BYTE max);
  // Makes a limit's edit writable and gives it a border (what its "Change" button does).
  CEdit* OpenLimitEdit(int editId);
  // The time each picker showed last (minutes of the day), by id 1701-1704, to tell an arrow step
  // from a typed time.
  int m_nPickerMinutes[4] = {};
};

// A five-minute period of the day as hour and minute, and a time as its period (h x 12 + m / 5).
void PeriodToTime(int period, int& hour, int& minute);
int TimeToPeriod(int hour, int minute);
// The picker's new time after a change from the previous time. A one-minute step (the picker's
// arrows, also when the picker wraps the minute within the hour) snaps to the next five-minute mark
// in its direction, carrying into the hour; the ends of the day hold at 00:00 and 23:55. A typed
// time stays as typed. True when the time was changed.
bool SnapPeakTime(int previousHour, int previousMinute, int& hour, int& minute);
