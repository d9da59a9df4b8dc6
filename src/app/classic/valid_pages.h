// The Classic view's pages of the "Parameter Settings" sheet: `CValid` (template 207), one page per
// summary kind with the running and total flag checks and the use of suspect data, and
// `CValidDays` (template 209, "Multi-Day") with the limits of the multi-day averaging. Every value
// is shown as a slider and as an edit box beside it, kept in step.
#pragma once

#include <string>

#include "app/classic/validity_settings.h"
#include "platform/ui/dialog.h"

constexpr UINT IDD_VALID = 207;
constexpr UINT IDD_VALID_DAYS = 209;

class CValid : public CPropertyPage {
 public:
  CValid() = default;
  // Constructs the page on template 207 for a summary kind, titled with the kind's name.
  void Setup(int kind);

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  void OnEditKillFocus(UINT id);
  void OnRunningCheck();
  void OnTotalCheck();
  void OnSuspectCheck();

  CSliderCtrl m_sliders[10];  // in the order of kSliderIds
  SPeriodValidity m_values;   // RUNNING ... TOTAL_MAX_D
  int m_nKind = 0;

  // The edit and slider of each 16-bit value, in value order (VV_RUNNING_MIN_G ...).
  static int EditId(int value);
  static int SliderId(int value);

 private:
  void EnableRunning(bool on);
  void EnableTotal(bool on);
  void EnableSuspect(bool on);
  std::string m_title;
  DECLARE_MESSAGE_MAP()
};

class CValidDays : public CPropertyPage {
 public:
  CValidDays() = default;
  void Setup(const char* title);

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  void OnEditKillFocus(UINT id);

  static int EditId(int value);
  static int SliderId(int value);

  CSliderCtrl m_sliders[MV_COUNT];  // in value order
  SMultiValidity m_values;

 private:
  std::string m_title;
  DECLARE_MESSAGE_MAP()
};
