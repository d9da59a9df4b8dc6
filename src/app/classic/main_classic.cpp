#include "app/classic/main_classic.h"

#include <algorithm>
#include <climits>
#include <new>

#include "app/shell/qav_app.h"
#include "containers/mem_mgr.h"
#include "platform/base/errors.h"
#include "app/shell/report_opener.h"
#include "app/shell/settings.h"
#include "app/shell/text_lines.h"
#include "platform/ui/choosers.h"
#include "support/thread.h"

namespace {

const bool kRegistered = (RegisterMainView(IDR_CLASSIC_FRAME, RUNTIME_CLASS(CMainClassic)), true);

constexpr const char* kConfigFilter = "Configuration Files (*.cfg) | *.cfg; ||";

// A report name is a file inside the output folder of its block: a name with folder parts, or
// one that is too long, is refused with a message that names the block, as the exchange may have
// been started by a click in another block.
void DDV_ReportName(CDataExchange* dx, const char* block, const std::string& name) {
  if (dx->m_bFailed || !dx->m_bSaveAndValidate) return;
  const std::string whose = std::string("The ") + block + " report's file name \"" + name + "\"";
  std::string why;
  if (name.size() > MAX_REPORT_NAME_CHARS)
    why = whose + " is longer than " + std::to_string(MAX_REPORT_NAME_CHARS) + " characters.";
  else if (!ReportFileNameFault(name).empty())
    why = whose + " is refused. " + ReportFileNameFault(name);
  if (why.empty()) return;
  qav::ui::ShowExchangeMessage(dx, why);
  dx->Fail();
}

constexpr const char* kOutputFilter =
    "All Output Files (*.dat, *.sds, *.mds) | *.dat;*.sds;*.mds; |Raw Data Files (*.dat) | *.dat; |Single Day "
    "Summary Files (*.sds) | *.sds; |Multiple Day Summary Files (*.mds) | *.mds; ||";
constexpr const char* kProfileWriteError =
    "CMainClassic::~CMainClassic: Error writing to profile. Please contact your software maintenance engineer.";

// The controls that follow the raw source: enabled for the raw block's own selection.
const int kRawOwnControls[] = {IDC_RAW_DATES,      IDC_RAW_ELEMS,      IDC_RAW_CHANGE_DATES, IDC_RAW_CHANGE_ELEMS,
                               IDC_RAW_VIEW_DATES, IDC_RAW_VIEW_ELEMS, IDC_RAW_ELEMS_LABEL,  IDC_RAW_DATES_LABEL};

// "View": a read-only list of a selection's item texts.
class CViewDlg : public CDialog {
 public:
  CViewDlg(std::vector<std::string> items, CWnd* parent) : CDialog(IDD_VIEW_LIST, parent), m_items(std::move(items)) {}
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_VIEW_LIST, m_list); }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    for (const std::string& s : m_items) m_list.AddString(s.c_str());
    return TRUE;
  }
  CListBox m_list;
  std::vector<std::string> m_items;
};

std::vector<int> SelectedItems(CListBox& list, int max) {
  std::vector<int> out(static_cast<size_t>(max));
  int n = list.m_hWnd ? list.GetSelItems(max, out.data()) : 0;
  out.resize(static_cast<size_t>(std::clamp(n, 0, max)));
  return out;
}

void SelectItems(CListBox& list, const std::vector<int>& items) {
  list.SelItemRange(FALSE, 0, std::max(0, list.GetCount() - 1));
  for (int i : items) list.SetSel(i, TRUE);
}

}  // namespace

// The worker's view of the view: the loader, posted ids, the wait cursor, report paths.
class CMainClassic::CRunPort : public ClassicRunPort {
 public:
  explicit CRunPort(CMainClassic& view) : m_view(view) {}
  bool Load(int block, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    return LoadClassicSelection(m_view.m_sel[block], m_view.Poster(), m_view.m_flags, out, summariesOnly,
                                &m_view.m_loadCount);
  }
  void Post(const ClassicPost& p) override {
    if (p.id == RID_OPEN_ERROR || p.id == RID_OUTPUT_TO)
      m_view.PostWorkerPath(static_cast<UINT>(p.id), p.text.c_str());
    else if (p.id == RID_WRITE_FAILED)
      m_view.PostWriteFailure(p.text, p.number, p.left);
    else if (p.id == RID_REPORT_CANCELLED)
      m_view.PostReportCancelled(p.text, p.left);
    else
      m_view.PostWorker(static_cast<UINT>(p.id), static_cast<LPARAM>(p.number));
  }
  void SetWaitCursor(bool on) override { m_view.SetWaitCursor(on); }
  void ReportOpened(int family, const std::string& path) override { m_view.m_strReportPath[family] = path; }

 private:
  CMainClassic& m_view;
};

IMPLEMENT_DYNCREATE(CMainClassic, CMainDlg)

BEGIN_MESSAGE_MAP(CMainClassic, CMainDlg)
  ON_BN_CLICKED(IDC_GO, &CMainClassic::OnGo)
  ON_BN_CLICKED(IDC_RAW_OFF, &CMainClassic::OnRawdataOff)
  ON_BN_CLICKED(IDC_RAW_ON, &CMainClassic::OnRawdataOn)
  ON_BN_CLICKED(IDC_SDS_OFF, &CMainClassic::OnSingleOff)
  ON_BN_CLICKED(IDC_SDS_ON, &CMainClassic::OnSingleOn)
  ON_BN_CLICKED(IDC_MDS_OFF, &CMainClassic::OnMultiOff)
  ON_BN_CLICKED(IDC_MDS_ON, &CMainClassic::OnMultiOn)
  ON_BN_CLICKED(IDC_RAW_OWN, &CMainClassic::OnRawdataOwnParams)
  ON_BN_CLICKED(IDC_RAW_USE_SDS, &CMainClassic::OnRawdataUseSdsParams)
  ON_BN_CLICKED(IDC_RAW_CHANGE_DATES, &CMainClassic::OnRawdataChangeDates)
  ON_BN_CLICKED(IDC_SDS_CHANGE_DATES, &CMainClassic::OnSingleChangeDates)
  ON_BN_CLICKED(IDC_MDS_CHANGE_YEAR, &CMainClassic::OnMultiChangeYear)
  ON_BN_CLICKED(IDC_RAW_CHANGE_ELEMS, &CMainClassic::OnRawdataChangeElems)
  ON_BN_CLICKED(IDC_SDS_CHANGE_ELEMS, &CMainClassic::OnSingleChangeElems)
  ON_BN_CLICKED(IDC_MDS_CHANGE_ELEMS, &CMainClassic::OnMultiChangeElems)
  ON_BN_CLICKED(IDC_RAW_VIEW_DATES, &CMainClassic::OnRawdataViewDates)
  ON_BN_CLICKED(IDC_SDS_VIEW_DATES, &CMainClassic::OnSingleViewDates)
  ON_BN_CLICKED(IDC_RAW_VIEW_ELEMS, &CMainClassic::OnRawdataViewElems)
  ON_BN_CLICKED(IDC_SDS_VIEW_ELEMS, &CMainClassic::OnSingleViewElems)
  ON_BN_CLICKED(IDC_MDS_VIEW_ELEMS, &CMainClassic::OnMultiViewElems)
  ON_BN_CLICKED(IDC_SDS_15MIN, &CMainClassic::OnSingle15Minute)
  ON_BN_CLICKED(IDC_MDS_MONTHLY, &CMainClassic::OnMultiMonthlyDow)
  ON_BN_CLICKED(IDC_MDS_YEARLY, &CMainClassic::OnMultiYearlyDow)
  ON_MESSAGE(WM_RUN_ENDED, &CMainClassic::OnRunEnded)
END_MESSAGE_MAP()

CMainClassic::CMainClassic() : CMainDlg(IDD_MAIN_CLASSIC) {
  (void)kRegistered;
  RegisterClassicTemplates();
  m_pSelectors = MakeClassicSelectors();
}

CMainClassic::~CMainClassic() {
  IProfileStore& profile = ActiveProfile();
  bool ok = true;
  for (int k = 0; k < SK_COUNT; ++k) ok = WritePeriodValidity(profile, k, g_PeriodValidity[k]) && ok;
  ok = WriteMultiValidity(profile, m_ValidDays.m_values) && ok;
  if (!ok) AfxMessageBox(ProfileWriteErrorMessage(kProfileWriteError, profile).c_str(), MB_OK | MB_ICONHAND);
}

// ---- First update and data exchange ----

void CMainClassic::OnInitialUpdate() {
  m_GeneralParams.Construct(IDD_GENERAL_PARAMS_CLASSIC);
  m_OutputParams.Construct(IDD_OUTPUT_PARAMS_CLASSIC);
  m_PEValidityFlags.Construct(IDD_PE_VALIDITY);
  m_Sheet.AddPage(&m_GeneralParams);
  m_Sheet.AddPage(&m_OutputParams);
  m_Sheet.AddPage(&m_PEValidityFlags);
  IProfileStore& profile = ActiveProfile();
  for (int k = 0; k < SK_COUNT; ++k) {
    m_Valid[k].Setup(k);
    m_Sheet.AddPage(&m_Valid[k]);
    g_PeriodValidity[k] = ReadPeriodValidity(profile, k, g_PeriodValidity[k]);
    m_Valid[k].m_values = g_PeriodValidity[k];
  }
  m_ValidDays.Setup("Multi-Day");
  m_Sheet.AddPage(&m_ValidDays);
  m_ValidDays.m_values = ReadMultiValidity(profile);

  CMainDlg::OnInitialUpdate();
  OnRawdataOff();
  OnSingleOff();
  OnMultiOff();
  OnRawdataOwnParams();
  for (CListBox* l : {&m_lstMonths, &m_lstMonthlyDays, &m_lstYearlyDays}) l->SetColumnWidth(32);
  for (int i = 0; i < 12; ++i) m_lstMonths.AddString("n/a");
  for (int i = 0; i < 7; ++i) {
    m_lstMonthlyDays.AddString("n/a");
    m_lstYearlyDays.AddString("n/a");
  }
  std::fill(std::begin(m_bMonthHasData), std::end(m_bMonthHasData), false);
  // The template's states are not relied on: the options of the 15-minute summary follow its box,
  // and the multi-day choices wait for a year with data.
  OnSingle15Minute();
  for (int id : {IDC_MDS_MONTHLY, IDC_MDS_YEARLY, IDC_MDS_ANNUAL, IDC_MDS_MONTHS, IDC_MDS_MONTHLY_DAYS,
                 IDC_MDS_YEARLY_DAYS})
    if (CWnd* w = GetDlgItem(id)) w->EnableWindow(FALSE);
  UpdateData(FALSE);
}

void CMainClassic::DoDataExchange(CDataExchange* dx) {
  CMainDlg::DoDataExchange(dx);
  DDX_Control(dx, IDC_MDS_MONTHLY, m_chkMonthly);
  DDX_Control(dx, IDC_MDS_ANNUAL, m_chkAnnual);
  DDX_Control(dx, IDC_MDS_YEARLY, m_chkYearly);
  DDX_Control(dx, IDC_MDS_YEARLY_DAYS, m_lstYearlyDays);
  DDX_Control(dx, IDC_MDS_MONTHLY_DAYS, m_lstMonthlyDays);
  DDX_Control(dx, IDC_MDS_MONTHS, m_lstMonths);
  DDX_Control(dx, IDC_STATUS_LIST, m_lbStatus);
  DDX_Check(dx, IDC_SDS_DAILY, m_bDaily);
  DDX_Check(dx, IDC_SDS_15MIN, m_b15Min);
  DDX_Radio(dx, IDC_MDS_TEXT, m_nMdsFormat);
  DDX_Radio(dx, IDC_RAW_TEXT, m_nRawFormat);
  DDX_Radio(dx, IDC_SDS_TEXT, m_nSdsFormat);
  DDX_Text(dx, IDC_SDS_NAME, m_strSdsName);
  DDV_ReportName(dx, "Single Day Summaries", m_strSdsName);
  DDV_MaxChars(dx, m_strSdsName, static_cast<int>(MAX_REPORT_NAME_CHARS));
  DDX_Text(dx, IDC_MDS_NAME, m_strMdsName);
  DDV_ReportName(dx, "Multiple Day Summaries", m_strMdsName);
  DDV_MaxChars(dx, m_strMdsName, static_cast<int>(MAX_REPORT_NAME_CHARS));
  DDX_Text(dx, IDC_RAW_NAME, m_strRawName);
  DDV_ReportName(dx, "Raw Data", m_strRawName);
  DDV_MaxChars(dx, m_strRawName, static_cast<int>(MAX_REPORT_NAME_CHARS));
  DDX_Check(dx, IDC_MDS_ON, m_bMdsOn);
  DDX_Check(dx, IDC_RAW_ON, m_bRawOn);
  DDX_Check(dx, IDC_SDS_ON, m_bSdsOn);
  DDX_Text(dx, IDC_MDS_YEAR, m_nMdsYear);
  DDX_Radio(dx, IDC_RAW_OWN, m_nRawSource);
  DDX_Check(dx, IDC_MDS_ANNUAL, m_bAnnual);
  DDX_Check(dx, IDC_MDS_YEARLY, m_bYearly);
  DDX_Check(dx, IDC_MDS_MONTHLY, m_bMonthly);
  DDX_Check(dx, IDC_SDS_OCC, m_bOccLength);
  DDX_Check(dx, IDC_SDS_FLAGS, m_bFlags);
  DDX_Text(dx, IDC_RAW_DATES, m_nRawDates);
  DDX_Text(dx, IDC_RAW_ELEMS, m_nRawElems);
  DDX_Text(dx, IDC_SDS_DATES, m_nSdsDates);
  DDX_Text(dx, IDC_SDS_ELEMS, m_nSdsElems);
  DDX_Text(dx, IDC_MDS_ELEMS, m_nMdsElems);
  DDX_Check(dx, IDC_MDS_OFF, m_bMdsOff);
  DDX_Check(dx, IDC_RAW_OFF, m_bRawOff);
  DDX_Check(dx, IDC_SDS_OFF, m_bSdsOff);
}

// ---- ON / OFF and enabling ----
// A refused field (a file name that is too long) stops a handler before anything changes: the
// values after it in the exchange would be stale.

void CMainClassic::SwitchBlock(int& on, int& off, int onId, int offId, bool turnOn) {
  if (IsRunning()) return;
  if (!UpdateData(TRUE)) {
    // Only the pair is put back: a full exchange out would also overwrite the refused field.
    CheckDlgButton(onId, on ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(offId, off ? BST_CHECKED : BST_UNCHECKED);
    return;
  }
  on = turnOn ? 1 : 0;
  off = turnOn ? 0 : 1;
  UpdateData(FALSE);
}

void CMainClassic::OnRawdataOff() { SwitchBlock(m_bRawOn, m_bRawOff, IDC_RAW_ON, IDC_RAW_OFF, false); }
void CMainClassic::OnRawdataOn() { SwitchBlock(m_bRawOn, m_bRawOff, IDC_RAW_ON, IDC_RAW_OFF, true); }
void CMainClassic::OnSingleOff() { SwitchBlock(m_bSdsOn, m_bSdsOff, IDC_SDS_ON, IDC_SDS_OFF, false); }
void CMainClassic::OnSingleOn() { SwitchBlock(m_bSdsOn, m_bSdsOff, IDC_SDS_ON, IDC_SDS_OFF, true); }
void CMainClassic::OnMultiOff() { SwitchBlock(m_bMdsOn, m_bMdsOff, IDC_MDS_ON, IDC_MDS_OFF, false); }
void CMainClassic::OnMultiOn() { SwitchBlock(m_bMdsOn, m_bMdsOff, IDC_MDS_ON, IDC_MDS_OFF, true); }

void CMainClassic::OnRawdataOwnParams() {
  for (int id : kRawOwnControls)
    if (CWnd* w = GetDlgItem(id)) w->EnableWindow(TRUE);
  if (CWnd* w = GetDlgItem(IDC_RAW_USE_SDS_TEXT)) w->EnableWindow(FALSE);
}

void CMainClassic::OnRawdataUseSdsParams() {
  for (int id : kRawOwnControls)
    if (CWnd* w = GetDlgItem(id)) w->EnableWindow(FALSE);
  if (CWnd* w = GetDlgItem(IDC_RAW_USE_SDS_TEXT)) w->EnableWindow(TRUE);
}

void CMainClassic::OnSingle15Minute() {
  const BOOL on = IsDlgButtonChecked(IDC_SDS_15MIN) != 0;
  for (int id : {IDC_SDS_OCC, IDC_SDS_FLAGS})
    if (CWnd* w = GetDlgItem(id)) w->EnableWindow(on);
}

void CMainClassic::OnMultiMonthlyDow() {
  if (!UpdateData(TRUE)) return;
  m_lstMonthlyDays.EnableWindow(m_bMonthly != 0);
  m_lstMonths.EnableWindow(m_bMonthly != 0);
}

void CMainClassic::OnMultiYearlyDow() {
  if (!UpdateData(TRUE)) return;
  m_lstYearlyDays.EnableWindow(m_bYearly != 0);
}

void CMainClassic::RefreshMultiLists() {
  const std::vector<int> months = SelectedItems(m_lstMonths, 12);
  const std::vector<int> monthly = SelectedItems(m_lstMonthlyDays, 7);
  const std::vector<int> yearly = SelectedItems(m_lstYearlyDays, 7);
  const SMultiLists lists = ComputeMultiLists(m_bMonthHasData);
  m_lstMonths.ResetContent();
  m_lstMonthlyDays.ResetContent();
  m_lstYearlyDays.ResetContent();
  for (const std::string& m : lists.months) m_lstMonths.AddString(m.c_str());
  for (int d = 0; d < 7; ++d) {
    m_lstMonthlyDays.AddString(lists.monthlyDays[d].c_str());
    m_lstYearlyDays.AddString(lists.yearlyDays[d].c_str());
  }
  SelectItems(m_lstMonths, months);
  SelectItems(m_lstMonthlyDays, monthly);
  SelectItems(m_lstYearlyDays, yearly);
  m_chkMonthly.EnableWindow(lists.monthlyEnabled);
  m_chkYearly.EnableWindow(lists.yearlyEnabled);
  m_chkAnnual.EnableWindow(lists.yearlyEnabled);
}

// ---- Selections ----

// The Change handlers take the form's values before their dialog opens: a field the exchange
// refuses then stops the handler before the dialog changes a list, so the list, its count, the
// multi-day year and lists and the element loader always agree.

void CMainClassic::ChangeDates(int block) {
  if (IsRunning() || !m_pSelectors || !UpdateData(TRUE)) return;
  AddStatusLine("Searching for data files...");
  if (!m_pSelectors->ChooseDates(*this, block)) return;
  AddStatusLine("Forming element list...");
  m_pSelectors->StartLoad(*this, block);
  (block == CB_RAW ? m_nRawDates : m_nSdsDates) = m_sel[block].dates.m_nSize;
  UpdateData(FALSE);
}

void CMainClassic::OnMultiChangeYear() {
  if (IsRunning() || !m_pSelectors || !UpdateData(TRUE)) return;
  AddStatusLine("Searching for data files...");
  if (!m_pSelectors->ChooseYear(*this)) return;
  AddStatusLine("Forming element list...");
  m_pSelectors->StartLoad(*this, CB_MULTI);
  MonthFlagsOfDates(m_sel[CB_MULTI].dates, m_bMonthHasData);
  m_nMdsYear = MultiYearOfDates(m_sel[CB_MULTI].dates);
  RefreshMultiLists();
  UpdateData(FALSE);
}

void CMainClassic::ChangeElements(int block) {
  if (IsRunning() || !m_pSelectors) return;
  if (m_sel[block].dates.m_nSize == 0) {
    AddStatusLine("No dates selected...");
    return;
  }
  if (!UpdateData(TRUE) || !m_pSelectors->SelectElements(*this, block)) return;
  const int n = m_sel[block].elements.m_nSize;
  (block == CB_RAW ? m_nRawElems : block == CB_SINGLE ? m_nSdsElems : m_nMdsElems) = n;
  UpdateData(FALSE);
}

namespace {

std::vector<std::string> DateTexts(const CObjArray<CDateTimeEx>& dates) {
  std::vector<std::string> out;
  for (int i = 0; i < dates.m_nSize; ++i)
    if (dates.m_pData[i]) out.push_back(dates.m_pData[i]->Format("%m/%d/%Y (%a)"));
  return out;
}

std::vector<std::string> ElementTexts(const CObjArray<CDBElementEx>& elements) {
  std::vector<std::string> out;
  for (int i = 0; i < elements.m_nSize; ++i)
    if (const CDBElementEx* e = elements.m_pData[i]) out.push_back(std::string(e->CabinetId()) + ":" + e->name);
  return out;
}

}  // namespace

void CMainClassic::ShowList(std::vector<std::string> items, const char* emptyLine) {
  if (items.empty()) {
    AddStatusLine(emptyLine);
    return;
  }
  CViewDlg(std::move(items), this).DoModal();
}

void CMainClassic::OnRawdataViewDates() {
  ShowList(DateTexts(m_sel[CB_RAW].dates), "CMainClassic::OnRawdataViewDates(): No RawData dates have been selected. ");
}
void CMainClassic::OnSingleViewDates() {
  ShowList(DateTexts(m_sel[CB_SINGLE].dates), "CMainClassic::OnSingleViewDates(): No SDS dates have been selected. ");
}
void CMainClassic::OnRawdataViewElems() {
  ShowList(ElementTexts(m_sel[CB_RAW].elements),
           "CMainClassic::OnRawdataViewElems(): No RawData elements have been selected. ");
}
void CMainClassic::OnSingleViewElems() {
  ShowList(ElementTexts(m_sel[CB_SINGLE].elements),
           "CMainClassic::OnSingleViewElems(): No SDS elements have been selected. ");
}
void CMainClassic::OnMultiViewElems() {
  ShowList(ElementTexts(m_sel[CB_MULTI].elements),
           "CMainClassic::OnMultiViewElems(): No MDS elements have been selected. ");
}

// ---- Parameters ----

void CMainClassic::OnParameters() {
  if (IsRunning()) return;
  // Cancel leaves the validity pages as they were, as it does the common pages.
  SPeriodValidity valid[SK_COUNT];
  for (int k = 0; k < SK_COUNT; ++k) valid[k] = m_Valid[k].m_values;
  const SMultiValidity multi = m_ValidDays.m_values;
  if (RunParameterSheet() != IDOK) {
    for (int k = 0; k < SK_COUNT; ++k) m_Valid[k].m_values = valid[k];
    m_ValidDays.m_values = multi;
    return;
  }
  for (int k = 0; k < SK_COUNT; ++k) g_PeriodValidity[k] = m_Valid[k].m_values;
}

// ---- GO ----

GoInput CMainClassic::TakeGoInput() {
  GoInput in;
  in.rawOn = m_bRawOn;
  in.sdsOn = m_bSdsOn;
  in.mdsOn = m_bMdsOn;
  in.rawName = m_strRawName;
  in.sdsName = m_strSdsName;
  in.mdsName = m_strMdsName;
  in.rawSource = m_nRawSource;
  in.min15 = m_b15Min != 0;
  in.daily = m_bDaily != 0;
  in.monthlyDow = m_bMonthly != 0;
  in.yearlyDow = m_bYearly != 0;
  in.yearlyDowEnabled = m_chkYearly.IsWindowEnabled() != FALSE;
  in.annual = m_bAnnual != 0;
  in.annualEnabled = m_chkAnnual.IsWindowEnabled() != FALSE;
  in.mdsYear = m_nMdsYear;
  in.raw = {m_nRawDates, m_nRawElems};
  in.sds = {m_nSdsDates, m_nSdsElems};
  in.mds = {m_sel[CB_MULTI].dates.m_nSize, m_nMdsElems};
  if (in.monthlyDow) {
    in.monthSel = SelectedItems(m_lstMonths, 12);
    in.monthlyDowSel = SelectedItems(m_lstMonthlyDays, 7);
  }
  if (in.yearlyDow && in.yearlyDowEnabled) in.yearlyDowSel = SelectedItems(m_lstYearlyDays, 7);
  for (int i = 0; i < 12; ++i) in.monthNa[i] = m_lstMonths.GetTextString(i) == "n/a";
  for (int i = 0; i < 7; ++i) {
    in.monthlyDowNa[i] = m_lstMonthlyDays.GetTextString(i) == "n/a";
    in.yearlyDowNa[i] = m_lstYearlyDays.GetTextString(i) == "n/a";
  }
  return in;
}

namespace {
std::vector<const CDateTimeEx*> DatePointers(const CObjArray<CDateTimeEx>& dates) {
  std::vector<const CDateTimeEx*> out;
  for (int i = 0; i < dates.m_nSize; ++i) out.push_back(dates.m_pData[i]);
  return out;
}
}  // namespace

void CMainClassic::FillSnapshot() {
  SOutputSettings out;
  m_OutputParams.GetSettings(out);
  ClassicRunSnapshot& s = m_snap;
  s = ClassicRunSnapshot();
  s.rawOn = m_bRawOn;
  s.sdsOn = m_bSdsOn;
  s.mdsOn = m_bMdsOn;
  s.rawSource = m_nRawSource;
  // A folder that is not set, or set without its root, is taken in the home folder.
  const std::string home = UserHomeFolder();
  s.folder[CF_RAW] = ReportFolderIn(out.rawPath, home);
  s.folder[CF_SDS] = ReportFolderIn(out.sdsPath, home);
  s.folder[CF_MDS] = ReportFolderIn(out.mdsPath, home);
  s.name[CF_RAW] = m_strRawName;
  s.name[CF_SDS] = m_strSdsName;
  s.name[CF_MDS] = m_strMdsName;
  s.format[CF_RAW] = m_nRawFormat;
  s.format[CF_SDS] = m_nSdsFormat;
  s.format[CF_MDS] = m_nMdsFormat;
  ClassicSettings& c = s.settings;
  c.rawFormat = m_nRawFormat;
  c.singleFormat = m_nSdsFormat;
  c.multiFormat = m_nMdsFormat;
  c.with15Min = m_b15Min != 0;
  c.withDaily = m_bDaily != 0;
  c.withCounts = m_bFlags != 0;
  c.withOccupancy = m_bOccLength != 0;
  // The lists cannot change while the run holds the main window, so the worker reads them in place.
  s.rawDates = DatePointers(m_sel[CB_RAW].dates);
  c.singleDates = DatePointers(m_sel[CB_SINGLE].dates);
  c.multiDates = DatePointers(m_sel[CB_MULTI].dates);
  c.months = m_plan.months;
  c.monthlyWeekdays = m_plan.monthlyDays;
  c.yearlyWeekdays = m_plan.yearlyDays;
  c.averages = m_plan.annual;
  c.monthlyInvalid = m_ValidDays.m_values.v[MV_MONTHLY_INVALID];
  c.monthlyMissing = m_ValidDays.m_values.v[MV_MONTHLY_MISSING];
  c.yearlyInvalid = m_ValidDays.m_values.v[MV_YEARLY_INVALID];
  c.avgInvalid[0] = m_ValidDays.m_values.v[MV_ASWT_INVALID];
  c.avgInvalid[1] = m_ValidDays.m_values.v[MV_AWDT_INVALID];
  c.avgInvalid[2] = m_ValidDays.m_values.v[MV_AADT_INVALID];
  c.criteria = ToValidityTables(g_PeriodValidity);
}

void CMainClassic::SyncWaitDialog() {
  if (!m_bWaitKeepGoing) m_flags.keepGoingFlag.store(false);
  FollowDayLayouts(m_flags.layouts, m_flags.rangeAdded.load(std::memory_order_relaxed));
  m_nWaitPosition = WaitPosition(m_flags.progress.load(std::memory_order_relaxed));
}

void CMainClassic::OnGo() {
  if (IsRunning()) return;
  if (!UpdateData(TRUE)) return;
  const std::string refusal = CheckGo(TakeGoInput(), m_plan);
  if (!refusal.empty()) {
    AddStatusLine(refusal.c_str());
    return;
  }
  FillSnapshot();
  m_flags.keepGoingFlag.store(true);
  m_flags.progress.store(0);
  m_flags.layouts.reset();
  m_flags.rangeAdded.store(0);
  m_loadCount = SLoadCount();
  m_bRunCancelled = false;
  m_bRunOutOfMemory = false;
  const int on[CF_COUNT] = {m_snap.rawOn, m_snap.sdsOn, m_snap.mdsOn};
  for (int f = 0; f < CF_COUNT; ++f) m_bReportOwed[f] = on[f] != 0;
  m_nFamilyAtWork = -1;
  ++m_nRunNumber;
  OpenRunWait();
  StartWaitRange(m_plan.estimate, m_plan.estimateFine);
  std::vector<SWaitPhase> phases;
  for (const GoPhase& p : m_plan.phases) phases.push_back({p.kind, GoPhaseFamily(p.kind), {p.units, p.unitsFine}});
  StartWaitPlan(std::move(phases));
  m_bRunning.store(1);
  if (StartFunctorThread(this, &CMainClassic::RunClassicReports) == nullptr) m_bRunning.store(0);
  WaitWhileSet(m_bRunning);
  CloseRunWait();
  // The run's days and rows are let go of on the release thread, which then has the heap give
  // them back to the system; the user need not wait for it.
  CScalarMemMgr::ReturnFreeMemoryLater();
  SetWaitCursor(false);
  // Posts the worker could not make for want of memory are told now, the last of them how the
  // run ended.
  TellKeptPosts();
  // The reports mark each element-day without data as unavailable: a box only when nothing was read.
  if (m_bWaitKeepGoing) TellMissingData(m_loadCount, false);
  ShowHeldMessages();
  std::vector<std::string> notWritten;
  for (int f = 0; f < CF_COUNT; ++f)
    if (m_bReportOwed[f]) notWritten.push_back(m_snap.folder[f] + m_snap.name[f]);
  TellNotWrittenForMemory(notWritten);
}

UINT CMainClassic::RunClassicReports() {
  // Memory that runs out anywhere in the run ends it with the not-enough-memory line; the
  // program goes on.
  try {
    CRunPort port(*this);
    CClassicRun run(m_snap, port, m_flags, m_pReportFile);
    run.Run();
  } catch (const std::bad_alloc&) {
    PostWorker(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY));
  }
  // The last post, while the view still waits for the worker.
  PostMessage(WM_RUN_ENDED, m_nRunNumber);
  m_flags.keepGoingFlag.store(false);
  m_bRunning.store(0);
  return 1;
}

// The worker is ending while the view opens a report the run wrote (the viewer reads it in a loop
// nested in the run's wait, which cannot look meanwhile): the run's wait dialog goes now, so that
// a Cancel ends the run at once. The rest of the run's end follows when the reading is done.
LRESULT CMainClassic::OnRunEnded(WPARAM run, LPARAM) {
  if (run == m_nRunNumber && m_bOpeningReport && m_pWaitDialog != nullptr) m_pWaitDialog->Close();
  return 0;
}

BOOL CMainClassic::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (HIWORD(wParam) == 0 && id >= RID_RAW_OUTPUTTING && id <= RID_MDS_DONE) {
    static const char* const kTitles[CF_COUNT] = {"Outputting Raw Data...", "Outputting Single-Day Summaries...",
                                                  "Outputting Multiple-Day Summaries..."};
    static const char* const kDone[CF_COUNT] = {"Raw Data Reports Output...", "SDS Reports Output...",
                                                "MDS Reports Output..."};
    const int family = static_cast<int>(id - RID_RAW_OUTPUTTING) / 2;
    if ((id - RID_RAW_OUTPUTTING) % 2 == 0) {
      // Each report is written on the worker alone at a pace of its own: the time left follows it
      // from here on.
      m_nFamilyAtWork = family;
      BeginWaitPhase(kTitles[family], GP_RAW + family);
    } else {
      m_bReportOwed[family] = false;
      AddStatusLine(kDone[family]);
      AutoOpen(family, m_snap.format[family]);
    }
    return TRUE;
  }
  // A report given up, or whose file could not be made, is named by its own lines and boxes.
  if (HIWORD(wParam) == 0 && m_nFamilyAtWork >= 0 &&
      (id == ID_WORKER_OUTFILE_ERROR || id == ID_WORKER_WRITE_FAILED || id == ID_WORKER_REPORT_CANCELLED))
    m_bReportOwed[m_nFamilyAtWork] = false;
  if (HIWORD(wParam) == 0 && id == ID_WORKER_LOADING_INPUT) {
    // A block's load begins: the next load of the plan.
    std::string title;
    WorkerCommandText(id, lParam, "", title);
    BeginWaitPhase(title.c_str(), GP_LOAD);
    return TRUE;
  }
  return CMainDlg::OnCommand(wParam, lParam);
}

// A report done while another is read into the viewer (the reading serves the messages, the
// worker's among them) waits for that reading to end: a viewer opened inside it would come up over
// its wait dialog and hide the bar and Cancel. The reports waiting open in order once it is over,
// also after a Cancel of the reading; none comes up when the program is ending.
void CMainClassic::AutoOpen(int family, int format) {
  m_autoOpens.push_back({m_strReportPath[family], format == 1});
  if (m_bOpeningReport) return;
  m_bOpeningReport = true;
  while (!m_autoOpens.empty() && !qav::ui::QuitRequested()) {
    const SAutoOpen next = std::move(m_autoOpens.front());
    m_autoOpens.pop_front();
    OpenReport(next.path, next.spreadsheet, true);
  }
  m_autoOpens.clear();
  m_bOpeningReport = false;
}

void CMainClassic::OpenReport(const std::string& path, bool spreadsheet, bool automatic) {
  SOutputSettings out;
  m_OutputParams.GetSettings(out);
  const SReportViewerChoice viewer = ChooseReportViewer(out, spreadsheet, automatic, true);
  if (viewer.how == EReportViewer::OwnViewer)
    m_Viewer.ViewReportFile(path.c_str(), automatic, CWnd::GetDesktopWindow());
  else if (viewer.how == EReportViewer::Program)
    OpenReportWithProgram(path, viewer.program);
}

void CMainClassic::OnOpenOutputFile() {
  if (IsRunning()) return;
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_LONGNAMES, kOutputFilter, this);
  if (dlg.DoModal() != IDOK) return;
  const std::string path = dlg.GetPathName();
  CStdioFile file;
  CFileException fe;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeText, &fe)) {
    AfxMessageBox(("Unable to open " + path + ":\n" + SystemErrorLine(static_cast<DWORD>(fe.m_lOsError))).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  std::string line;
  int read = 0;
  for (; read < 6 && file.ReadString(line); ++read) {
  }
  file.Close();
  OpenReport(path, read == 6 && line.size() >= 11 && line.compare(line.size() - 11, 11, "SPREADSHEET") == 0, false);
}

// ---- Configuration files ----

ClassicSetup CMainClassic::CurrentSetup() {
  ClassicSetup c;
  c.rawOn = m_bRawOn;
  c.sdsOn = m_bSdsOn;
  c.mdsOn = m_bMdsOn;
  c.rawName = m_strRawName;
  c.sdsName = m_strSdsName;
  c.mdsName = m_strMdsName;
  c.rawFormat = m_nRawFormat;
  c.sdsFormat = m_nSdsFormat;
  c.mdsFormat = m_nMdsFormat;
  c.rawSource = m_nRawSource;
  c.min15 = m_b15Min;
  c.occLength = m_bOccLength;
  c.flags = m_bFlags;
  c.daily = m_bDaily;
  for (int b = 0; b < CB_COUNT; ++b) c.sel[b] = m_sel[b].ToRecords();
  c.monthlyDow = m_bMonthly;
  c.yearlyDow = m_bYearly;
  c.annual = m_bAnnual;
  // The list boxes' own selections at this moment, "n/a" items included.
  c.months = SelectedItems(m_lstMonths, 12);
  c.monthlyDays = SelectedItems(m_lstMonthlyDays, 7);
  c.yearlyDays = SelectedItems(m_lstYearlyDays, 7);
  return c;
}

void CMainClassic::ApplySetup(const ClassicSetup& c) {
  m_bRawOn = c.rawOn;
  m_bRawOff = !c.rawOn;
  m_bSdsOn = c.sdsOn;
  m_bSdsOff = !c.sdsOn;
  m_bMdsOn = c.mdsOn;
  m_bMdsOff = !c.mdsOn;
  m_strRawName = c.rawName;
  m_strSdsName = c.sdsName;
  m_strMdsName = c.mdsName;
  m_nRawFormat = c.rawFormat;
  m_nSdsFormat = c.sdsFormat;
  m_nMdsFormat = c.mdsFormat;
  m_nRawSource = c.rawSource;
  if (m_nRawSource == 1)
    OnRawdataUseSdsParams();
  else
    OnRawdataOwnParams();
  m_b15Min = c.min15;
  CheckDlgButton(IDC_SDS_15MIN, m_b15Min ? BST_CHECKED : BST_UNCHECKED);
  OnSingle15Minute();
  m_bOccLength = c.occLength;
  m_bFlags = c.flags;
  m_bDaily = c.daily;
  for (int b = 0; b < CB_COUNT; ++b) {
    const ClassicSelection& rec = c.sel[b];
    if (rec.dates.empty()) {
      m_sel[b].dates.RemoveAll();
      if (b == CB_RAW) m_nRawDates = m_nRawElems = 0;
      if (b == CB_SINGLE) m_nSdsDates = m_nSdsElems = 0;
      if (b == CB_MULTI) m_nMdsYear = m_nMdsElems = 0;
      continue;
    }
    m_sel[b].FromRecords(rec);
    const int dates = m_sel[b].dates.m_nSize, elems = m_sel[b].elements.m_nSize;
    if (b == CB_RAW) m_nRawDates = dates, m_nRawElems = elems;
    if (b == CB_SINGLE) m_nSdsDates = dates, m_nSdsElems = elems;
    if (b == CB_MULTI) {
      MonthFlagsOfDates(m_sel[b].dates, m_bMonthHasData);
      m_nMdsYear = MultiYearOfDates(m_sel[b].dates);
      RefreshMultiLists();
      m_nMdsElems = elems;
    }
    if (m_pSelectors) m_pSelectors->StartLoad(*this, b);
  }
  m_bMonthly = c.monthlyDow;
  m_lstMonths.EnableWindow(m_bMonthly != 0);
  m_lstMonthlyDays.EnableWindow(m_bMonthly != 0);
  m_bYearly = c.yearlyDow;
  m_lstYearlyDays.EnableWindow(m_bYearly != 0);
  m_bAnnual = c.annual;
  SelectItems(m_lstMonths, c.months);
  SelectItems(m_lstMonthlyDays, c.monthlyDays);
  SelectItems(m_lstYearlyDays, c.yearlyDays);
}

void CMainClassic::OnSaveConfig() {
  if (IsRunning()) return;
  CFileDialog dlg(FALSE, ".cfg", "default.cfg", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_LONGNAMES, kConfigFilter,
                  this);
  if (dlg.DoModal() != IDOK) return;
  if (!UpdateData(TRUE)) return;
  const std::string path = dlg.GetPathName();
  std::string error;
  if (!WriteClassicConfigFile(path.c_str(), CurrentSetup(), error))
    MessageBox(("The configuration could not be saved to " + path + ":\n" + error).c_str(),
               "Save Configuration", MB_OK | MB_ICONEXCLAMATION);
}

void CMainClassic::OnReadConfig() {
  if (IsRunning()) return;
  CFileDialog dlg(TRUE, ".cfg", nullptr, OFN_HIDEREADONLY | OFN_LONGNAMES, kConfigFilter, this);
  if (dlg.DoModal() != IDOK) return;
  const std::string path = dlg.GetPathName();
  ClassicSetup setup;
  std::string error;
  if (!ReadClassicConfigFile(path.c_str(), setup, error)) {
    MessageBox(("The configuration file " + path + " was not read:\n" + error + "\nThe set-up is unchanged.").c_str(),
               "Read Config File", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  ApplySetup(setup);
  UpdateData(FALSE);
}
