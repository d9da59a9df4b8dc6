#include "app/newview/main_new.h"

#include <algorithm>
#include <new>
#include <cstdio>
#include <cstring>

#include "app/newview/main_new_form.h"
#include "app/newview/new_config.h"
#include "app/newview/new_run.h"
#include "app/newview/nfg_file.h"
#include "containers/mem_mgr.h"
#include "app/select/dates_dlg.h"
#include "app/shell/qav_app.h"
#include "app/shell/report_opener.h"
#include "app/shell/settings.h"
#include "app/shell/setup_lines.h"
#include "app/shell/text_lines.h"
#include "platform/base/errors.h"
#include "platform/ui/choosers.h"
#include "platform/ui/ddx.h"
#include "support/thread.h"
#include "support/wait_dialog.h"

bool NewViewTemplatesRegistered();

namespace {

NewElementDialogFactory g_elementDialogFactory = &MakeNewElementDialog;

const bool kViewRegistered = (RegisterMainView(IDR_MAINFRAME, RUNTIME_CLASS(CMainNew)), true);

constexpr COLORREF kDarkBlue = 0x640000;  // RGB(0, 0, 100): red in the low byte
constexpr COLORREF kDarkerBlue = 0x400000;
constexpr COLORREF kGrey = 0xC8C8C8;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr const char* kConfigFilter = "Configuration Files (*.nfg) | *.nfg; ||";
constexpr size_t kMaxConfigBytes = 64u << 20;

// The message of a move, or a run, that would split one type group between columns and rows.
std::string SplitTypesMessage(int key, int other) {
  char text[400];
  std::snprintf(text, sizeof text,
                "The \"%s\" and \"%s\" types can't be split between columns and rows. They do not share an "
                "exclusively \"many-to-many\" relationship.",
                GroupKeyName(key), GroupKeyName(other));
  return text;
}

// Loader errors go to the message log, whose lines reach the status list.
void QueueLoadError(const char* text, DWORD error, void*) {
  if (COutput* log = AppLog()) log->AddCodeWithPrefix(error, text, OUTPUT_ERROR_PREFIX);
}

// The report file's status ids, posted to the view.
class CViewFileStatus : public IReportFileStatus {
 public:
  explicit CViewFileStatus(CMainNew& view) : m_view(view) {}
  void PostWin32Error(DWORD error) override {
    m_lastError = error;
    m_view.PostWorker(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(error));
  }
  // Follows the error that kept the report's file from being made: the reason the box after the
  // run gives, should the report go to the temporary folder.
  void PostOutFileError(const std::string& chosen) override {
    m_view.m_nFallbackError = m_lastError;
    m_view.PostWorkerPath(ID_WORKER_OUTFILE_ERROR, chosen.c_str());
  }
  void PostOutputTo(const std::string& written) override { m_view.PostWorkerPath(ID_WORKER_OUTPUT_TO, written.c_str()); }
  void PostWriteFailure(const std::string& written, DWORD error, EDiscarded left) override {
    m_view.PostWriteFailure(written, error, left);
  }
  void PostReportCancelled(const std::string& written, EDiscarded left) override {
    m_view.PostReportCancelled(written, left);
  }

 private:
  CMainNew& m_view;
  DWORD m_lastError = 0;
};

}  // namespace

void SetNewElementDialogFactory(NewElementDialogFactory factory) {
  g_elementDialogFactory = factory != nullptr ? factory : &MakeNewElementDialog;
}

IMPLEMENT_DYNCREATE(CMainNew, CMainDlg)

BEGIN_MESSAGE_MAP(CMainNew, CMainDlg)
ON_BN_CLICKED(IDC_NV_PRODUCE, &CMainNew::OnProduceReports)
ON_BN_CLICKED(IDC_NV_SELECT_DATES, &CMainNew::OnSelectDates)
ON_BN_CLICKED(IDC_NV_SELECT_LOCATIONS, &CMainNew::OnSelectLocations)
ON_BN_CLICKED(IDC_NV_BROWSE, &CMainNew::OnBrowse)
ON_EN_KILLFOCUS(IDC_NV_PERIOD, &CMainNew::OnKillFocusPeriod)
ON_NOTIFY(UDN_DELTAPOS, IDC_NV_PERIOD_SPIN, &CMainNew::OnDeltaPosPeriod)
ON_EN_KILLFOCUS(IDC_NV_MINVALID, &CMainNew::OnKillFocusMinValidity)
ON_NOTIFY(UDN_DELTAPOS, IDC_NV_MINVALID_SPIN, &CMainNew::OnDeltaPosMinValidity)
ON_BN_CLICKED(IDC_NV_COLS_BUTTON, &CMainNew::OnColsButton)
ON_BN_CLICKED(IDC_NV_ROWS_BUTTON, &CMainNew::OnRowsButton)
ON_BN_CLICKED(IDC_NV_SEPS_BUTTON, &CMainNew::OnSeparateReports)
ON_BN_CLICKED(IDC_NV_COLS_REMOVE, &CMainNew::OnRemoveColumn)
ON_BN_CLICKED(IDC_NV_ROWS_REMOVE, &CMainNew::OnRemoveRow)
ON_BN_CLICKED(IDC_NV_SEPS_REMOVE, &CMainNew::OnRemoveSeparator)
ON_LBN_DBLCLK(IDC_NV_COLS, &CMainNew::OnRemoveColumn)
ON_LBN_DBLCLK(IDC_NV_ROWS, &CMainNew::OnRemoveRow)
ON_LBN_DBLCLK(IDC_NV_SEPS, &CMainNew::OnRemoveSeparator)
ON_CBN_SELCHANGE(IDC_NV_AVG_METHOD, &CMainNew::OnSelChangeAveraging)
ON_CBN_SELCHANGE(IDC_NV_REPORT_TYPE, &CMainNew::OnSelChangeReportType)
ON_CONTROL_RANGE(BN_CLICKED, 1392, 1417, &CMainNew::OnContentCheck)
ON_WM_CREATE()
ON_WM_CTLCOLOR()
ON_MESSAGE(WM_ELEMENTS_LOADED, &CMainNew::OnElementsLoaded)
END_MESSAGE_MAP()

CMainNew::CMainNew() : CMainDlg(IDD_MAIN_NEW), m_wndStatusMsgs(&m_lbStatus, this) {
  (void)NewViewTemplatesRegistered();
  (void)kViewRegistered;
  ::ReadProfileSettings(*this, ActiveProfile());
  m_crText = GetSysColor(COLOR_WINDOWTEXT);
  m_brBack.CreateSolidBrush(GetSysColor(COLOR_3DFACE));
  if (g_elementDialogFactory != nullptr) m_pElements = g_elementDialogFactory(this);
  if (m_pElements) m_pElements->SetErrorHook(&QueueLoadError, this);
}

CMainNew::~CMainNew() {
  if (!WriteProfile(*this, ActiveProfile()))
    AfxMessageBox(ProfileWriteErrorMessage("CMainNew::~CMainNew(): Error writing to profile. Please contact your "
                                           "software maintenance engineer.",
                                           ActiveProfile())
                      .c_str(),
                  MB_OK | MB_ICONHAND);
}

void CMainNew::DoDataExchange(CDataExchange* dx) {
  CMainDlg::DoDataExchange(dx);
  DDX_Control(dx, IDC_NV_SOURCE, m_lstSource);
  DDX_Control(dx, IDC_NV_COLS, m_lstCols);
  DDX_Control(dx, IDC_NV_ROWS, m_lstRows);
  DDX_Control(dx, IDC_NV_SEPS, m_lstSeps);
  DDX_Control(dx, IDC_NV_SUM_METHOD, m_cbSumMethod);
  DDX_Control(dx, IDC_NV_AVG_METHOD, m_cbAvgMethod);
  DDX_Control(dx, IDC_NV_REPORT_TYPE, m_cbReportType);
  DDX_Control(dx, IDC_NV_PERIOD_SPIN, m_spinPeriod);
  DDX_Control(dx, IDC_NV_MINVALID_SPIN, m_spinMinValidity);
  for (int i = 0; i < 22; ++i) DDX_Control(dx, g_NewViewLabels[i], m_labels[i]);
  for (int i = 0; i < 10; ++i) DDX_Control(dx, g_NewViewButtons[i], m_buttons[i]);
  DDX_Radio(dx, IDC_NV_TEXT_FORMAT, m_nOutFormat);
  DDX_Text(dx, IDC_NV_OUTPUT_PATH, m_strOutputPath);
  DDX_Text(dx, IDC_NV_PERIOD, m_strPeriod);
  DDX_Text(dx, IDC_NV_MINVALID, m_strMinValidity);
  DDX_CBIndex(dx, IDC_NV_SUM_METHOD, m_nSumMethod);
  DDX_CBIndex(dx, IDC_NV_AVG_METHOD, m_nAvgMethod);
  DDX_CBIndex(dx, IDC_NV_REPORT_TYPE, m_nReportType);
  DDX_Text(dx, IDC_NV_REPORTS, m_nReports);
  DDX_Text(dx, IDC_NV_DATES, m_nDates);
  DDX_Text(dx, IDC_NV_ELEMENTS, m_nElements);
  DDX_Text(dx, IDC_NV_COLS_HI, m_nColsHi);
  DDX_Text(dx, IDC_NV_COLS_LO, m_nColsLo);
  DDX_Text(dx, IDC_NV_ROWS_HI, m_nRowsHi);
  DDX_Text(dx, IDC_NV_ROWS_LO, m_nRowsLo);
  for (int c = 0; c < CONTENT_ITEMS; ++c) DDX_Check(dx, g_ContentItems[c].checkId, m_bContent[c]);
  DDX_Text(dx, IDC_NV_LOOPS, m_nElemsPerKind[0]);
  DDX_Text(dx, IDC_NV_TRAPS, m_nElemsPerKind[1]);
  DDX_Text(dx, IDC_NV_STATIONS, m_nElemsPerKind[2]);
  DDX_Text(dx, IDC_NV_LANES, m_nElemsPerKind[3]);
  if (dx->m_bSaveAndValidate) {
    // Values taken from the controls are brought back into their ranges.
    if (m_nAvgMethod < 0 || m_nAvgMethod >= AVG_METHODS) m_nAvgMethod = AVG_NONE;
    if (m_nReportType < 0 || m_nReportType >= REPORT_TYPES) m_nReportType = RT_NORMAL;
    if (m_nSumMethod < 0 || m_nSumMethod >= SUM_METHODS) m_nSumMethod = DEFAULT_SUM_METHOD;
  }
}

int CMainNew::OnCreate(LPCREATESTRUCT cs) {
  if (CMainDlg::OnCreate(cs) == -1) return -1;
  if (m_wndStatusMsgs.Create(IDD_STATUS_MSGS, this)) {
    CRect r;
    m_wndStatusMsgs.GetWindowRect(&r);
    m_wndStatusMsgs.MoveWindow(std::max(0, 1005 - r.Width()), 40, r.Width(), r.Height());
    // Shown beside the main window, which keeps the keyboard at the start.
    m_wndStatusMsgs.ShowWindow(SW_SHOWNOACTIVATE);
  }
  return 0;
}

void CMainNew::OnInitialUpdate() {
  m_GeneralParams.Construct(IDD_GENERAL_PARAMS_NEW);
  m_OutputParams.Construct(IDD_OUTPUT_PARAMS_NEW);
  m_PEValidityFlags.Construct(IDD_PE_VALIDITY);
  m_Sheet.AddPage(&m_GeneralParams);
  m_Sheet.AddPage(&m_OutputParams);
  m_Sheet.AddPage(&m_PEValidityFlags);
  CMainDlg::OnInitialUpdate();

  static const COLORREF slots[6] = {kGrey, kDarkerBlue, kWhite, kDarkBlue, kWhite, kDarkBlue};
  for (CButtonST& b : m_buttons) {
    b.SetFlat(FALSE);
    for (BYTE s = 0; s < 6; ++s) b.SetColor(s, slots[s]);
  }
  for (CLabel& l : m_labels) l.SetFontBold(true).SetFontSize(16);
  for (int i = 0; i < 22; ++i) {
    if (std::find(std::begin(g_NewViewCountLabels), std::end(g_NewViewCountLabels), g_NewViewLabels[i]) !=
        std::end(g_NewViewCountLabels))
      m_labels[i].SetFontUnderline(true);
    if (g_NewViewLabels[i] == IDC_NV_TITLE) m_labels[i].SetBkColor(kDarkBlue).SetTextColor(kWhite);
  }
  SetBkColor(kWhite);
  SetTextColor(kDarkBlue);

  for (const char* name : g_SumMethodNames) m_cbSumMethod.AddString(name);
  for (const char* name : g_AvgMethodNames) m_cbAvgMethod.AddString(name);
  for (const char* name : g_ReportTypeNames) m_cbReportType.AddString(name);

  ExcludeTypes();
  EnableMinValidity();
  std::string refused;
  if (!ReadProfileStructure(*this, ActiveProfile(), &refused))
    MessageBox(("The report structure kept from the last session was not used: " + refused +
                ". Place the types again.").c_str(),
               "Report Structure and Order", MB_OK | MB_ICONEXCLAMATION);
  PeriodsPerDay();
  CountContentPerKind();
  RecomputeReportLayout();
  EnableContentChecks();
  ShowState();
}

// ---- State shown by the controls --------------------------------------------------------------

void CMainNew::EnableMinValidity() {
  bool on = m_nAvgMethod != AVG_NONE;
  for (int id : {IDC_NV_MINVALID_LABEL, IDC_NV_MINVALID, IDC_NV_MINVALID_SPIN})
    if (CWnd* w = GetDlgItem(id)) w->EnableWindow(on);
}

void CMainNew::EnableContentChecks() {
  bool binEnabled = false;
  for (int c = 0; c < CONTENT_ITEMS; ++c) {
    bool on = false;
    if (ContentApplies(c, m_nReportType))
      for (int k = 0; k < ELEMENT_KINDS; ++k) on = on || (ContentAppliesToKind(c, k) && m_nElemsPerKind[k] > 0);
    if (CWnd* w = GetDlgItem(g_ContentItems[c].checkId)) w->EnableWindow(on);
    if (c >= CC_BIN1 && c <= CC_BIN4) binEnabled = binEnabled || on;
  }
  if (CWnd* w = GetDlgItem(IDC_NV_BIN_NOTE)) w->EnableWindow(binEnabled);
}

void CMainNew::StatusLine(const char* text, bool show) {
  AddStatusLine(text);
  if (show) ShowStatusWindow();
}

// The status window comes forward, restored if it was minimised; the keyboard stays where the
// user works (the form, or the wait dialog of a run).
void CMainNew::ShowStatusWindow() {
  if (::IsWindow(m_wndStatusMsgs.m_hWnd)) m_wndStatusMsgs.ShowWindow(SW_SHOWNOACTIVATE);
}

void CMainNew::SetTextColor(COLORREF color) {
  m_crText = color;
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CMainNew::SetBkColor(COLORREF color) {
  m_brBack.DeleteObject();
  m_brBack.CreateSolidBrush(color);
}

HBRUSH CMainNew::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (wnd != nullptr && wnd->GetDlgCtrlID() == IDC_NV_TITLE) return CMainDlg::OnCtlColor(dc, wnd, ctlColor);
  dc->SetTextColor(m_crText);
  dc->SetBkMode(TRANSPARENT);
  return m_brBack;
}

// ---- Structure ----------------------------------------------------------------------------------

void CMainNew::MoveStructureType(CGrpTypeList& target, CGrpTypeList& other) {
  int line = m_lstSource.GetCurSel();
  if (line < 0) return;
  ReadControls();
  int key = m_lstSource.TypeAtIndex(line);
  if (key < 0) return;
  int conflict = -1;
  if (!MoveToList(key, target, other, &conflict)) {
    if (conflict >= 0) {
      MessageBox(SplitTypesMessage(key, conflict).c_str(), "Report Structure and Order", MB_OK);
    }
    return;
  }
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::OnColsButton() { MoveStructureType(m_lstCols, m_lstRows); }
void CMainNew::OnRowsButton() { MoveStructureType(m_lstRows, m_lstCols); }

void CMainNew::OnSeparateReports() {
  int line = m_lstSource.GetCurSel();
  if (line < 0) return;
  ReadControls();
  MoveToSeps(m_lstSource.TypeAtIndex(line));
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::RemoveStructureType(CGrpTypeList& list) {
  int line = list.GetCurSel();
  if (line < 0) return;
  ReadControls();
  RemoveFromList(list, line);
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::OnRemoveColumn() { RemoveStructureType(m_lstCols); }
void CMainNew::OnRemoveRow() { RemoveStructureType(m_lstRows); }
void CMainNew::OnRemoveSeparator() { RemoveStructureType(m_lstSeps); }

BOOL CMainNew::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_DELETE || msg->wParam == VK_RETURN)) {
    CGrpTypeList* lists[3] = {&m_lstCols, &m_lstRows, &m_lstSeps};
    for (CGrpTypeList* list : lists) {
      if (msg->hwnd != list->m_hWnd) continue;
      if (msg->wParam == VK_DELETE) {
        RemoveStructureType(*list);
      } else if (int sel = list->GetCurSel(); sel >= 0) {
        list->ToggleDirection(sel);
      }
      return TRUE;
    }
  }
  return CMainDlg::PreTranslateMessage(msg);
}

// ---- Settings -----------------------------------------------------------------------------------

void CMainNew::OnContentCheck(UINT id) {
  // The id range also holds other controls of the form.
  bool content = false;
  for (const SContentItem& item : g_ContentItems) content = content || item.checkId == static_cast<int>(id);
  if (!content) return;
  ReadControls();
  CountContentPerKind();
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::OnKillFocusPeriod() {
  ReadControls();
  ParsePeriodText(m_strPeriod);
  PeriodsPerDay();
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::OnDeltaPosPeriod(NMHDR* nm, LRESULT* result) {
  *result = 0;
  m_spinPeriod.SetFocus();
  auto* ud = reinterpret_cast<NMUPDOWN*>(nm);
  ReadControls();
  if (!StepPeriod(ud->iDelta)) return;
  PeriodsPerDay();
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::OnKillFocusMinValidity() {
  ReadControls();
  ParseMinValidityText(m_strMinValidity);
  ShowState();
}

void CMainNew::OnDeltaPosMinValidity(NMHDR* nm, LRESULT* result) {
  *result = 0;
  m_spinMinValidity.SetFocus();
  auto* ud = reinterpret_cast<NMUPDOWN*>(nm);
  ReadControls();
  if (!StepMinValidity(ud->iDelta)) return;
  ShowState();
}

void CMainNew::OnSelChangeAveraging() {
  int previous = m_nAvgMethod;
  int chosen = m_cbAvgMethod.GetCurSel();
  m_nAvgMethod = previous;  // the previous method's types come back first
  ReadControls();
  m_nAvgMethod = previous;
  ChangeAveraging(chosen);
  EnableMinValidity();
  ShowState();
}

void CMainNew::OnSelChangeReportType() {
  ReadControls();
  ChangeReportType(m_nReportType);
  EnableContentChecks();
  ShowState();
}

void CMainNew::OnBrowse() {
  ReadControls();
  std::string initial = m_strOutputPath;
  if (!initial.empty() && (initial.back() == '\\' || initial.back() == '/')) initial += "default.txt";
  CFileDialog dlg(FALSE, nullptr, initial.c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                  "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||", this);
  if (dlg.DoModal() != IDOK) return;
  m_strOutputPath = dlg.GetPathName();
  ShowState();
}

// ---- Selection ----------------------------------------------------------------------------------

void CMainNew::OnSelectDates() {
  StatusLine("Searching for data files...", false);
  CDatesDlg dlg(&m_arrDates, this);
  if (dlg.DoModal() != IDOK) return;
  ReadControls();
  StatusLine("Forming element list...", false);
  if (m_pElements) m_pElements->StartLoad(m_arrDates, m_nReportType == RT_TRAVEL_TIME ? 7 : 255);
  m_nDates = m_arrDates.m_nSize;
  GroupSelectedDates();
  RecomputeReportLayout();
  ShowState();
}

void CMainNew::OnSelectLocations() {
  if (m_arrDates.m_nSize == 0) {
    StatusLine("No dates selected...", true);
    return;
  }
  if (!m_pElements || m_pElements->SelectElements(m_arrRoadways, m_arrCabinets, m_arrElements) == 0) return;
  ReadControls();
  CountElementsPerKind();
  CountContentPerKind();
  RecomputeReportLayout();
  EnableContentChecks();
  ShowState();
}

LRESULT CMainNew::OnElementsLoaded(WPARAM periodsPerDay, LPARAM) {
  // The running worker reads the period and the estimate: a load that ends meanwhile waits.
  if (m_bRunning.load() != 0) {
    m_nHeldPeriods = static_cast<int>(periodsPerDay);
    return 1;
  }
  ApplyElementsLoaded(static_cast<int>(periodsPerDay));
  return 1;
}

void CMainNew::ApplyElementsLoaded(int periodsPerDay) {
  if (!ElementsLoaded(periodsPerDay)) return;
  PeriodsPerDay();
  RecomputeReportLayout();
  ShowState();
}

// ---- Configuration files ------------------------------------------------------------------------

void CMainNew::OnSaveConfig() {
  CFileDialog dlg(FALSE, ".nfg", "default.nfg", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_LONGNAMES, kConfigFilter, this);
  if (dlg.DoModal() != IDOK) return;
  SaveConfigFile(dlg.GetPathName());
}

bool CMainNew::SaveConfigFile(const std::string& path) {
  ReadControls();
  SNewConfig cfg;
  SnapshotConfig(*this, cfg);
  std::string text = WriteNewConfig(cfg);
  std::string error;
  if (SaveSetupFile(path, text, error)) return true;
  const std::string message = "The configuration could not be saved to " + path + ":\n" + error;
  MessageBox(message.c_str(), "Save Configuration", MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void CMainNew::OnReadConfig() {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_LONGNAMES, kConfigFilter, this);
  if (dlg.DoModal() != IDOK) return;
  ReadConfigFile(dlg.GetPathName());
}

bool CMainNew::ReadConfigFile(const std::string& path) {
  CFile file;
  CFileException error;
  std::string text, why;
  bool ok = file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary, &error);
  if (!ok) {
    why = SystemErrorLine(static_cast<DWORD>(error.m_lOsError));
  } else if (file.GetLength() > kMaxConfigBytes) {
    why = "the file is too large for a configuration";
  } else {
    text.resize(static_cast<size_t>(file.GetLength()));
    ok = file.Read(text.data(), static_cast<UINT>(text.size())) == text.size();
    if (!ok) why = SystemErrorLine(file.GetError());
  }
  file.Close();
  SNewConfig cfg;
  if (ok) ok = ReadNewConfig(text, cfg, &why);
  if (!ok) {
    std::string message = "The configuration file " + path + " was not read:\n" + why + "\nThe design is unchanged.";
    MessageBox(message.c_str(), "Read Config File", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  bool ng2 = text.rfind(NFG_HEADER_NG2, 0) == 0;
  int mask = ApplyConfig(*this, cfg, ng2);
  if (mask != 0 && m_pElements) m_pElements->StartLoad(m_arrDates, static_cast<uint8_t>(mask));
  EnableMinValidity();
  EnableContentChecks();
  ShowState();
  return true;
}

void CMainNew::OnOpenOutputFile() {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_LONGNAMES,
                  "Text Files (*.txt) | *.txt; |All Files (*.*) | *.*; ||", this);
  if (dlg.DoModal() != IDOK) return;
  const std::string path = dlg.GetPathName();
  CStdioFile file;
  CFileException error;
  std::string line, third;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeText, &error)) {
    TellUser("The report " + path + " could not be opened: " + SystemErrorLine(static_cast<DWORD>(error.m_lOsError)) + ".");
    return;
  }
  for (int i = 0; i < 3 && file.ReadString(line); ++i) third = line;
  file.Close();
  OpenReport(path, third.size() >= 11 && third.compare(third.size() - 11, 11, "SPREADSHEET") == 0, false);
}

void CMainNew::OpenReport(const std::string& path, bool spreadsheet, bool automatic) {
  SOutputSettings out;
  m_OutputParams.GetSettings(out);
  const SReportViewerChoice viewer = ChooseReportViewer(out, spreadsheet, automatic, false);
  if (viewer.how == EReportViewer::Program) OpenReportWithProgram(path, viewer.program);
}

// ---- The run ------------------------------------------------------------------------------------

void CMainNew::OnProduceReports() {
  if (m_bRunning.load() != 0) return;
  ReadControls();
  if (const char* failure = PreRunFailure(*this)) {
    StatusLine(failure, true);
    return;
  }
  if (ColumnWarningDue(m_nColsHiWide)) {
    StatusLine(ColumnWarningLine(m_nColsHiWide).c_str(), false);
    StatusLine(COLUMN_WARNING_SECOND_LINE, true);
    if (MessageBox(ColumnWarningQuestion(m_nColsHiWide).c_str(), "WARNING:  Produce Report(s)", MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
  }
  int colKey = -1, rowKey = -1;
  if (SplitGroup(&colKey, &rowKey)) {
    MessageBox(SplitTypesMessage(colKey, rowKey).c_str(), "Report Structure and Order", MB_OK);
    return;
  }
  if (CheckSplitRule() == ESplitRule::Refused) {
    MessageBox("The \"Data Content\" and \"Element\" report structure types can't be split between columns and rows "
               "unless reports are separated by \"Element Type\". \"Data Content\" and \"Element\" do not share an "
               "exclusively \"many-to-many\" relationship.",
               "Report Structure and Order", MB_OK);
    return;
  }
  ShowState();

  m_Run.keepGoingFlag.store(1);
  m_Run.progress.store(0);
  m_Run.layouts.reset();
  m_Run.rangeAdded.store(0);
  m_loadCount = SLoadCount();
  m_bRunCancelled = false;
  m_bRunOutOfMemory = false;
  m_bReportOwed = true;
  m_strWrittenName.clear();
  m_nFallbackError = 0;
  OpenRunWait();
  StartWaitRange(RunProgressRange(*this), RunProgressRange(*this, true));
  m_bRunning.store(1);
  if (StartFunctorThread(this, &CMainNew::RunNewReports) == nullptr) {
    m_Run.keepGoingFlag.store(0);
    m_bRunning.store(0);
    delete m_pWaitDialog;
    m_pWaitDialog = nullptr;
    return;
  }
  WaitWhileSet(m_Run.keepGoingFlag);
  PostMessage(WM_COMMAND, ID_WORKER_SHUTDOWN);
  WaitWhileSet(m_bRunning, true);
  CloseRunWait();
  // The run's days and rows are let go of on the release thread, which then has the heap give
  // them back to the system; the user need not wait for it.
  CScalarMemMgr::ReturnFreeMemoryLater();
  SetWaitCursor(false);
  ShowState();
  // Posts the worker could not make for want of memory are told now, the last of them how the
  // run ended.
  TellKeptPosts();
  // Element-days without data are written as zero volume and occupancy, which reads like a road
  // without traffic: the run's last line says how many there were, and the status list comes up.
  if (m_bWaitKeepGoing) TellMissingData(m_loadCount, true);
  TellFallbackFile();
  ShowHeldMessages();
  if (m_bReportOwed) TellNotWrittenForMemory({ReportPathIn(UserHomeFolder(), m_strOutputPath)});
  if (m_nHeldPeriods >= 0) {
    int held = m_nHeldPeriods;
    m_nHeldPeriods = -1;
    ApplyElementsLoaded(held);
  }
}

// A report that went to the temporary folder instead of the chosen path: the user is told where
// it is, as the status lines alone are easily missed.
void CMainNew::TellFallbackFile() {
  const std::string chosen = ReportPathIn(UserHomeFolder(), m_strOutputPath);
  if (m_strWrittenName.empty() || m_strWrittenName == chosen) return;
  const std::string text = "The report could not be written to\n" + chosen + "\n" + SystemErrorLine(m_nFallbackError) +
                           "\n\nIt was written to\n" + m_strWrittenName;
  MessageBox(text.c_str(), "Produce Report(s)", MB_OK | MB_ICONWARNING);
}

UINT CMainNew::RunNewReports() {
  // Memory that runs out anywhere in the run ends it with the not-enough-memory line; the
  // program goes on.
  try {
    RunNewReportsOnce();
  } catch (const std::bad_alloc&) {
    PostWorker(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY));
    m_Run.cancel();
  }
  m_bRunning.store(0);
  return 0;
}

void CMainNew::RunNewReportsOnce() {
  CViewFileStatus status(*this);
  SNewRunHost host;
  host.run = &m_Run;
  host.fileStatus = &status;
  host.post = [this](UINT id) { PostWorker(id); };
  host.waitCursor = [this](bool on) { SetWaitCursor(on); };
  // Set before 515 is posted: automatic opening reads it on the user-interface thread.
  host.written = &m_strWrittenName;
  // A report path without a folder goes to the home folder (the page has no report folder).
  host.reportFolder = UserHomeFolder();
  host.load = [this](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
    std::unique_ptr<CElementDataSet> set = LoadInputData(m_arrElements, m_arrDates, rows);
    if (set) m_loadCount = set->m_count;
    if (AdoptLoadedData(std::move(set), data)) return true;
    m_Run.cancel();
    return false;
  };
  CNewReportRun run(*this, host, *m_pReportFile);
  run.Run();
}

BOOL CMainNew::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  switch (id) {
    // The load is over: the rows are summed, sorted, written and freed on the worker alone, each
    // step at a pace of its own that the time left follows from its start on (the load's, on
    // helper threads, need not be theirs on a busy machine, and how long a sort takes beside the
    // writing depends on how far the rows lie in order already).
    case ID_WORKER_SUMMARIZING: SetWaitTitle("Summarizing data...", true); return TRUE;
    case ID_WORKER_SUMMARIZED: StatusLine("Data Summarized...", false); return TRUE;
    case ID_WORKER_SORTING: SetWaitTitle("Sorting data...", true); return TRUE;
    case ID_WORKER_SORTED: StatusLine("Data Sorted...", false); return TRUE;
    case ID_WORKER_OUTPUTTING: SetWaitTitle("Outputting Reports...", true); return TRUE;
    case ID_WORKER_SHUTDOWN: SetWaitTitle("Shutting Down the Thread..."); return TRUE;
    case ID_WORKER_REPORTS_DONE: {
      m_bReportOwed = false;
      StatusLine("Reports Output...", false);
      OpenReport(m_strWrittenName, m_nOutFormat == 1, true);
      return TRUE;
    }
    default: {
      // A report given up, or whose file could not be made, is named by its own lines and boxes.
      if (HIWORD(wParam) == 0 &&
          (id == ID_WORKER_OUTFILE_ERROR || id == ID_WORKER_WRITE_FAILED || id == ID_WORKER_REPORT_CANCELLED))
        m_bReportOwed = false;
      const BOOL handled = CMainDlg::OnCommand(wParam, lParam);
      // A run's failure is not left in a window the user may have minimised.
      if (handled && HIWORD(wParam) == 0 && WorkerLineIsError(id)) ShowStatusWindow();
      return handled;
    }
  }
}
