// CWaitDialog: the modeless progress window shown while a worker runs a report or a long load.
// It reads the caller's progress counter every 500 ms, moves its bar, shows an estimate of the
// time left (CWaitEstimator; "Estimating..." until it is steady) and offers Cancel, which clears
// the caller's keep-going flag. The main window is disabled while a run owns the dialog; the
// caller keeps the program responsive by calling PumpMessages between its checks of the worker.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "support/wait_estimator.h"

constexpr UINT IDD_WAIT_DIALOG = 139;
constexpr int IDC_WAIT_PROGRESS = 2025;
constexpr int IDC_WAIT_MESSAGE = 2029;
constexpr int IDC_WAIT_TIME_LEFT = 2036;
// The time left until the progress has given a steady estimate.
constexpr const char* WAIT_NO_ESTIMATE_TEXT = "Estimating...";

class CWaitDialog : public CDialog {
 public:
  // Disables the main window, creates and shows the dialog with the caption (null: "Working")
  // and the message (null: "Click Cancel to cancel the operation"), and starts its timer.
  // Without a parent it belongs to the main window, or to the newest wait dialog up, beside which
  // it is placed, shown without taking the keyboard.
  CWaitDialog(int* position, bool* keepGoing, const char* caption = nullptr, const char* message = nullptr,
              CWnd* parent = nullptr);
  ~CWaitDialog() override;

  // Clamps the caller's position into the range and sets the bar's range. A range that changes
  // once the bar has moved keeps the share the bar shows: from here on the bar covers what is
  // left of it at the pace of the units still to come (BarPosition), so it never steps back when
  // a run finds more work than it planned. The time left still counts the units themselves.
  void SetRange(int lower, int upper);
  // Sets the caller's position to the given per cent (0-100) of the range.
  void SetPercent(int percent);
  void SetMessage(const char* text);
  // A new phase of the work begins: the caption says which, and the time left follows the new
  // phase's pace as soon as it shows (CWaitEstimator::BeginPhase); `phase`: its index in the plan.
  void BeginPhase(const char* caption, int phase = -1);
  // The phases the work is planned in (CWaitEstimator::SetPlan).
  void SetPlan(const std::vector<CWaitEstimator::SPhase>& phases);
  // Enables the main window again (once) and destroys the dialog's window. A wait dialog it owns
  // that is still up (a report being opened beside a run's) goes on under the owner of this one.
  void Close();
  // Brings the caller's position and keep-going flag up to date with its work: called before every
  // look at them and right after Cancel. A run's owner moves its worker's counter in and passes a
  // Cancel on to the worker at once, also while a loop nested in its own wait (a report being
  // read into the viewer) keeps that wait from looking.
  std::function<void()> m_fnSync;

  // Dispatches the waiting messages and runs the idle work; 0 when the quit request was seen
  // (it stays posted for the program's loop), else 1.
  static BOOL PumpMessages();

  void DoDataExchange(CDataExchange* dx) override;
  // Clears the keep-going flag. While the dialog holds the main window disabled it stays up, its
  // Cancel disabled, until the owner closes it after its worker has ended; else it closes at once.
  void OnCancel() override;
  void OnTimer(UINT_PTR id);
  void PlaceBeside(CWaitDialog* other);

  CProgressCtrl m_wndProgress;
  CStatic m_wndMessage;
  std::string m_strTimeLeft = WAIT_NO_ESTIMATE_TEXT;
  int* m_pPosition;
  bool* m_pKeepGoing;
  DWORD m_nReserved = 1;
  CWaitEstimator m_estimator;  // last position, samples, step count, estimate, countdown, last tick
  // Where the bar stands for the caller's position: upper - (upper - position) * m_fBarScale,
  // within the range; the scale is 1 until the range changes under a moved bar.
  int BarPosition(int position) const;
  double m_fBarScale = 1;
  HWND m_hDisabledMain = nullptr;  // the main window while this dialog holds it disabled

  DECLARE_MESSAGE_MAP()
};
