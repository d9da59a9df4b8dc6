// CMainNew: the New view, the program's default main view. It derives its design state and
// rules from CNewReportModel and wires them to form 202: every handler reads the controls,
// changes the design, recounts what depends on the change and shows the state again. It also
// keeps the design in the profile, saves and reads configuration files, and produces the report
// on a worker thread.
#pragma once

#include <memory>
#include <string>

#include "app/newview/new_model.h"
#include "app/newview/status_msgs.h"
#include "app/shell/element_loader.h"
#include "app/shell/main_dlg.h"
#include "platform/ui/gdi.h"
#include "support/button_st.h"
#include "support/label.h"

// The element dialog as the view uses it: the background load of the element lists for the
// chosen dates, and the modal choice of elements.
class INewElementDialog {
 public:
  virtual ~INewElementDialog() = default;
  virtual DWORD StartLoad(const CObjArray<CDateTimeEx>& dates, uint8_t mask) = 0;
  // 0 when no element lists could be loaded; otherwise the dialog's answer (the arrays hold the
  // choice unless it was IDCANCEL).
  virtual INT_PTR SelectElements(CObjArray<CDBRoadway>& roadways, CObjArray<CDBCabinet>& cabinets,
                                 CObjArray<CDBElementEx>& elements) = 0;
  virtual void SetErrorHook(LoadErrorHook hook, void* context) = 0;
};
// Makes the element dialog of a view: the program's CElemsDlg unless a test installs another.
using NewElementDialogFactory = std::unique_ptr<INewElementDialog> (*)(CWnd* view);
void SetNewElementDialogFactory(NewElementDialogFactory factory);
std::unique_ptr<INewElementDialog> MakeNewElementDialog(CWnd* view);

class CMainNew : public CMainDlg, public CNewReportModel {
  DECLARE_DYNCREATE(CMainNew)

 public:
  CMainNew();
  ~CMainNew() override;

  void DoDataExchange(CDataExchange* dx) override;
  void OnInitialUpdate() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // Menu operations.
  void OnReadConfig() override;
  void OnSaveConfig() override;
  void OnOpenOutputFile() override;
  // Opens a report with the program the output settings choose (the New view has no viewer of its
  // own); `automatic` for the report a run just wrote.
  void OpenReport(const std::string& path, bool spreadsheet, bool automatic);
  // The same on a given file; false (after a message box) when the file could not be used.
  bool ReadConfigFile(const std::string& path);
  bool SaveConfigFile(const std::string& path);

  // Handlers.
  void OnProduceReports();
  void OnSelectDates();
  void OnSelectLocations();
  void OnBrowse();
  void OnKillFocusPeriod();
  void OnDeltaPosPeriod(NMHDR* nm, LRESULT* result);
  void OnKillFocusMinValidity();
  void OnDeltaPosMinValidity(NMHDR* nm, LRESULT* result);
  void OnColsButton();
  void OnRowsButton();
  void OnSeparateReports();
  void OnRemoveColumn();
  void OnRemoveRow();
  void OnRemoveSeparator();
  void OnSelChangeAveraging();
  void OnSelChangeReportType();
  void OnContentCheck(UINT id);
  int OnCreate(LPCREATESTRUCT cs);
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  LRESULT OnElementsLoaded(WPARAM periodsPerDay, LPARAM);

  void SetTextColor(COLORREF color);
  void SetBkColor(COLORREF color);

  // The worker procedure of a run.
  UINT RunNewReports();
  void RunNewReportsOnce();
  // After a run: a message box names the file written when the report went to the temporary folder.
  void TellFallbackFile();

  // The file the last run wrote (the chosen path or the temporary fall-back).
  std::string m_strWrittenName;
  // Why the report's file could not be made under the chosen path (written by the worker, read
  // after it).
  DWORD m_nFallbackError = 0;
  // Nothing has named the report of the run going on yet (neither written nor given up): when memory
  // runs out it is named in a box at the end.
  bool m_bReportOwed = false;
  // The run's element-days and how many the loader read (written by the worker, read after it).
  SLoadCount m_loadCount;
  CStatusMsgs m_wndStatusMsgs;
  std::unique_ptr<INewElementDialog> m_pElements;

 protected:
  void MoveStructureType(CGrpTypeList& target, CGrpTypeList& other);
  void RemoveStructureType(CGrpTypeList& list);
  void EnableContentChecks();
  void EnableMinValidity();
  void ApplyElementsLoaded(int periodsPerDay);
  // A status line, and the status window shown for failed checks.
  void StatusLine(const char* text, bool show);
  void ShowStatusWindow();
  void ShowStatusList() override { ShowStatusWindow(); }
  void ReadControls() { UpdateData(TRUE); }
  void ShowState() { UpdateData(FALSE); }

 private:
  CLabel m_labels[22];
  CButtonST m_buttons[10];
  CSpinButtonCtrl m_spinPeriod, m_spinMinValidity;
  CComboBox m_cbSumMethod, m_cbAvgMethod, m_cbReportType;
  COLORREF m_crText;
  CBrush m_brBack;
  int m_nHeldPeriods = -1;  // an element load that ended during a run, handled after it
  DECLARE_MESSAGE_MAP()
};
