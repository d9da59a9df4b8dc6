// CMainClassic: the Classic main view (form 200). Three report blocks (raw data listing,
// single-day summaries, multi-day summaries), each with OFF/ON, an output file name, Text or
// Spreadsheet and a selection of dates (or a year) and elements; "---GO!---" runs the reports on a
// worker, and finished reports open in the program's own viewer. The view also owns the validity
// pages of the summary kinds and of the multi-day averages, and the .cfg configuration files.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/classic/classic_go.h"
#include "app/classic/classic_run.h"
#include "app/classic/classic_state.h"
#include "app/classic/valid_pages.h"
#include "app/shell/main_dlg.h"
#include "app/viewer/viewer.h"

constexpr UINT IDD_VIEW_LIST = 217;

enum : int {
  IDC_VIEW_LIST = 1453,
  IDC_GO = 1417,
  IDC_RAW_OFF = 1420, IDC_RAW_ON = 1424, IDC_RAW_NAME = 1418, IDC_RAW_TEXT = 1653, IDC_RAW_SHEET = 1655,
  IDC_RAW_OWN = 1449, IDC_RAW_USE_SDS = 1450, IDC_RAW_USE_SDS_TEXT = 1451,
  IDC_RAW_DATES = 1537, IDC_RAW_ELEMS = 1535, IDC_RAW_DATES_LABEL = 1520, IDC_RAW_ELEMS_LABEL = 1521,
  IDC_RAW_CHANGE_DATES = 1443, IDC_RAW_VIEW_DATES = 1444, IDC_RAW_CHANGE_ELEMS = 1249, IDC_RAW_VIEW_ELEMS = 1258,
  IDC_SDS_OFF = 1429, IDC_SDS_ON = 1430, IDC_SDS_NAME = 1425, IDC_SDS_TEXT = 1658, IDC_SDS_SHEET = 1659,
  IDC_SDS_DAILY = 1416, IDC_SDS_15MIN = 1426, IDC_SDS_OCC = 1433, IDC_SDS_FLAGS = 1434,
  IDC_SDS_DATES = 1540, IDC_SDS_ELEMS = 1539,
  IDC_SDS_CHANGE_DATES = 1442, IDC_SDS_VIEW_DATES = 1446, IDC_SDS_CHANGE_ELEMS = 1243, IDC_SDS_VIEW_ELEMS = 1262,
  IDC_MDS_OFF = 1431, IDC_MDS_ON = 1432, IDC_MDS_NAME = 1419, IDC_MDS_TEXT = 1660, IDC_MDS_SHEET = 1661,
  IDC_MDS_YEAR = 1542, IDC_MDS_ELEMS = 1541, IDC_MDS_CHANGE_YEAR = 1445, IDC_MDS_CHANGE_ELEMS = 1252,
  IDC_MDS_VIEW_ELEMS = 1263,
  IDC_MDS_MONTHLY = 1421, IDC_MDS_YEARLY = 1422, IDC_MDS_ANNUAL = 1423,
  IDC_MDS_MONTHS = 1447, IDC_MDS_MONTHLY_DAYS = 1246, IDC_MDS_YEARLY_DAYS = 1255,
};

// Registers form 200 and template 217 (done by the view's constructor).
void RegisterClassicTemplates();

class CMainClassic;

// The selection dialogs as the view uses them: the date dialog and the year dialog over a block's
// date list, the element dialog of a block, and the restart of a block's element loader.
class IClassicSelectors {
 public:
  virtual ~IClassicSelectors() = default;
  virtual bool ChooseDates(CMainClassic& view, int block) = 0;
  virtual bool ChooseYear(CMainClassic& view) = 0;
  virtual bool SelectElements(CMainClassic& view, int block) = 0;
  virtual void StartLoad(CMainClassic& view, int block) = 0;
};
// The view's selectors (the program's dialogs unless a test installs others).
std::unique_ptr<IClassicSelectors> MakeClassicSelectors();

class CMainClassic : public CMainDlg {
  DECLARE_DYNCREATE(CMainClassic)

 public:
  CMainClassic();
  ~CMainClassic() override;

  // 1: multi-day controls.
  CButton m_chkMonthly, m_chkAnnual, m_chkYearly;
  CListBox m_lstYearlyDays, m_lstMonthlyDays, m_lstMonths;
  // 2-11: options, file names, ON/OFF, year, raw source, counts.
  int m_bDaily = 0, m_b15Min = 0;
  int m_nMdsFormat = 0, m_nRawFormat = 0, m_nSdsFormat = 0;
  std::string m_strSdsName = "DEFAULT.SDS", m_strMdsName = "DEFAULT.MDS", m_strRawName = "DEFAULT.DAT";
  int m_bMdsOn = 0, m_bRawOn = 0, m_bSdsOn = 0;
  int m_nMdsYear = 0;
  int m_nRawSource = 0;
  int m_bAnnual = 0, m_bYearly = 0, m_bMonthly = 0;
  int m_bOccLength = 0, m_bFlags = 0;
  int m_nRawDates = 0, m_nRawElems = 0, m_nSdsDates = 0, m_nSdsElems = 0, m_nMdsElems = 0;
  int m_bMdsOff = 1, m_bRawOff = 1, m_bSdsOff = 1;
  // 12-15: validity pages, month flags, the viewer.
  CValid m_Valid[SK_COUNT];
  CValidDays m_ValidDays;
  bool m_bMonthHasData[13] = {};
  CViewer m_Viewer;
  // 16-19: the three selections and report paths.
  CClassicSelection m_sel[CB_COUNT];
  std::string m_strReportPath[CF_COUNT];
  // The reports of the run going on that nothing has named yet (neither written nor given up), and
  // the one being written: those left when memory runs out are named in a box at the end.
  bool m_bReportOwed[CF_COUNT] = {};
  int m_nFamilyAtWork = -1;
  // 20: the multi-day list selections GO took.
  GoPlan m_plan;

  std::unique_ptr<IClassicSelectors> m_pSelectors;

  // ---- Framework ----
  void OnInitialUpdate() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnReadConfig() override;
  void OnSaveConfig() override;
  void OnOpenOutputFile() override;
  void OnParameters() override;

  // ---- Handlers ----
  void OnGo();
  void OnRawdataOff();
  void OnRawdataOn();
  void OnSingleOff();
  void OnSingleOn();
  void OnMultiOff();
  void OnMultiOn();
  void OnRawdataOwnParams();
  void OnRawdataUseSdsParams();
  void OnRawdataChangeDates() { ChangeDates(CB_RAW); }
  void OnSingleChangeDates() { ChangeDates(CB_SINGLE); }
  void OnMultiChangeYear();
  void OnRawdataChangeElems() { ChangeElements(CB_RAW); }
  void OnSingleChangeElems() { ChangeElements(CB_SINGLE); }
  void OnMultiChangeElems() { ChangeElements(CB_MULTI); }
  void OnRawdataViewDates();
  void OnSingleViewDates();
  void OnRawdataViewElems();
  void OnSingleViewElems();
  void OnMultiViewElems();
  void OnSingle15Minute();
  void OnMultiMonthlyDow();
  void OnMultiYearlyDow();
  void RefreshMultiLists();

  // ---- Configuration ----
  ClassicSetup CurrentSetup();
  // Applies a parsed set-up with the enabling and loader side effects of reading a file.
  void ApplySetup(const ClassicSetup& setup);

  // ---- Run ----
  bool IsRunning() const { return m_bRunning.load() != 0; }
  UINT RunClassicReports();
  LRESULT OnRunEnded(WPARAM, LPARAM);
  // The snapshot GO hands to the worker (filled by OnGo from the controls and the selections).
  ClassicRunSnapshot m_snap;
  CClassicRunFlags m_flags;
  // The element-days of the run's loads and how many were read (written by the worker, read when
  // it has ended).
  SLoadCount m_loadCount;

 protected:
  // ON or OFF of a block: exchange in, the pair set, exchange out. When the exchange is refused
  // the two buttons show the block's state again, undoing the click.
  void SwitchBlock(int& on, int& off, int onId, int offId, bool turnOn);
  void ChangeDates(int block);
  void ChangeElements(int block);
  void AutoOpen(int family, int format);
  bool m_bOpeningReport = false;  // a report the run wrote is being opened (AutoOpen)
  struct SAutoOpen {
    std::string path;
    bool spreadsheet;
  };
  std::deque<SAutoOpen> m_autoOpens;  // reports done while another was being opened, in order
  WPARAM m_nRunNumber = 0;        // counts the runs: WM_RUN_ENDED names the run that ended
  // Opens a report in the viewer the output settings choose; `automatic` for a report the run just
  // wrote (nothing opens while automatic opening is off, and the own viewer stays quiet).
  void OpenReport(const std::string& path, bool spreadsheet, bool automatic);
  void ShowList(std::vector<std::string> items, const char* emptyLine);
  GoInput TakeGoInput();
  void FillSnapshot();
  // The Classic run has its own flags and 64-bit counter.
  void SyncWaitDialog() override;

  DECLARE_MESSAGE_MAP()

 private:
  class CRunPort;
};
