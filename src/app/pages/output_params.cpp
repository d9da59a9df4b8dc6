#include "app/pages/output_params.h"

#include "app/shell/qav_app.h"
#include "platform/ui/choosers.h"
#include "support/directory_browse.h"

namespace {
constexpr int kMaxPath = 260;

// The viewer groups of both templates.
void AddViewerControls(std::vector<ControlTemplate>& c, DWORD textViewerState) {
  c.push_back({Ctl::GroupBox, -1, "Output Viewers", 0, 7, 7, 286, 89});
  c.push_back({Ctl::GroupBox, IDC_TEXT_VIEWER_GROUP, "Text Viewer", textViewerState, 14, 18, 272, 32});
  c.push_back({Ctl::Edit, IDC_TEXT_VIEWER, "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | textViewerState, 21, 29, 204, 14});
  c.push_back({Ctl::PushButton, IDC_BROWSE_TEXT_VIEWER, "Browse", WS_TABSTOP | textViewerState, 229, 29, 50, 14});
  c.push_back({Ctl::GroupBox, -1, "Spreadsheet Viewer", 0, 14, 57, 272, 32});
  c.push_back({Ctl::Edit, IDC_SS_VIEWER, "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 21, 68, 204, 14});
  c.push_back({Ctl::PushButton, IDC_BROWSE_SS_VIEWER, "Browse", WS_TABSTOP, 229, 68, 50, 14});
}

// The three report folders; `hidden` takes them off the New view's page (their values still pass
// through the data exchange).
void AddLocationControls(std::vector<ControlTemplate>& c, bool hidden) {
  const DWORD add = hidden ? WS_DISABLED : 0;
  const DWORD remove = hidden ? WS_VISIBLE : 0;
  c.push_back({Ctl::GroupBox, -1, "Output Locations", add, 7, 103, 286, 128, remove});
  const struct {
    const char* title;
    int edit, browse;
  } rows[] = {{"Raw Data Files", IDC_RAW_PATH, IDC_BROWSE_RAW_PATH},
              {"Single-Day Summaries", IDC_SDS_PATH, IDC_BROWSE_SDS_PATH},
              {"Multiple-Day Summaries", IDC_MDS_PATH, IDC_BROWSE_MDS_PATH}};
  int y = 114;
  for (const auto& r : rows) {
    c.push_back({Ctl::GroupBox, -1, r.title, add, 14, y, 272, 32, remove});
    c.push_back({Ctl::Edit, r.edit, "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | add, 21, y + 11, 204, 14, remove});
    c.push_back({Ctl::PushButton, r.browse, "Browse", WS_TABSTOP | add, 229, y + 11, 50, 14, remove});
    y += 39;
  }
}

std::vector<ControlTemplate> ClassicControls() {
  std::vector<ControlTemplate> c;
  AddViewerControls(c, WS_DISABLED);
  AddLocationControls(c, false);
  c.push_back({Ctl::CheckBox, IDC_USE_CUSTOM_VIEWER, "Use QAV Custom Viewer", WS_GROUP | WS_TABSTOP, 7, 238, 286, 10});
  c.push_back({Ctl::CheckBox, IDC_AUTO_OPEN, "Auto-Open Output Files on Production", WS_TABSTOP, 7, 252, 286, 10});
  return c;
}

std::vector<ControlTemplate> NewControls() {
  std::vector<ControlTemplate> c;
  AddViewerControls(c, 0);
  AddLocationControls(c, true);
  c.push_back({Ctl::CheckBox, IDC_USE_CUSTOM_VIEWER, "Use QAV Custom Viewer", WS_DISABLED, 7, 238, 286, 10, WS_VISIBLE});
  c.push_back({Ctl::CheckBox, IDC_AUTO_OPEN, "Auto-Open Output Files on Production", WS_GROUP | WS_TABSTOP, 7, 103, 286, 10});
  return c;
}

const DialogTemplate kOutputClassic{IDD_OUTPUT_PARAMS_CLASSIC, "Output Parameters", 300, 269, ClassicControls()};
const DialogTemplate kOutputNew{IDD_OUTPUT_PARAMS_NEW, "Output Parameters", 300, 120, NewControls()};
const bool kRegistered = (RegisterDialogTemplate(&kOutputClassic), RegisterDialogTemplate(&kOutputNew), true);
}  // namespace

IMPLEMENT_DYNCREATE(COutputParams, CPropertyPage)

BEGIN_MESSAGE_MAP(COutputParams, CPropertyPage)
  ON_BN_CLICKED(IDC_BROWSE_TEXT_VIEWER, &COutputParams::OnBrowseTextViewer)
  ON_BN_CLICKED(IDC_BROWSE_SS_VIEWER, &COutputParams::OnBrowseSsViewer)
  ON_BN_CLICKED(IDC_BROWSE_RAW_PATH, &COutputParams::OnBrowseRawPath)
  ON_BN_CLICKED(IDC_BROWSE_SDS_PATH, &COutputParams::OnBrowseSdsPath)
  ON_BN_CLICKED(IDC_BROWSE_MDS_PATH, &COutputParams::OnBrowseMdsPath)
  ON_BN_CLICKED(IDC_USE_CUSTOM_VIEWER, &COutputParams::OnCustomViewer)
END_MESSAGE_MAP()

void COutputParams::Construct(UINT templateId, UINT captionId) {
  (void)kRegistered;
  CPropertyPage::Construct(templateId, captionId);
  m_psp.dwFlags |= PSP_HASHELP;
}

void COutputParams::DoDataExchange(CDataExchange* dx) {
  CPropertyPage::DoDataExchange(dx);
  DDX_Control(dx, IDC_TEXT_VIEWER_GROUP, m_grpTextViewer);
  DDX_Control(dx, IDC_TEXT_VIEWER, m_edTextViewer);
  DDX_Control(dx, IDC_BROWSE_TEXT_VIEWER, m_btBrowseTextViewer);
  DDX_Text(dx, IDC_TEXT_VIEWER, m_strTextViewer);
  DDV_MaxChars(dx, m_strTextViewer, kMaxPath);
  DDX_Text(dx, IDC_SS_VIEWER, m_strSsViewer);
  DDV_MaxChars(dx, m_strSsViewer, kMaxPath);
  DDX_Text(dx, IDC_MDS_PATH, m_strMdsPath);
  DDV_MaxChars(dx, m_strMdsPath, kMaxPath);
  DDX_Text(dx, IDC_RAW_PATH, m_strRawPath);
  DDV_MaxChars(dx, m_strRawPath, kMaxPath);
  DDX_Text(dx, IDC_SDS_PATH, m_strSdsPath);
  DDV_MaxChars(dx, m_strSdsPath, kMaxPath);
  DDX_Check(dx, IDC_USE_CUSTOM_VIEWER, m_bUseCustomViewer);
  DDX_Check(dx, IDC_AUTO_OPEN, m_bAutoOpen);
}

BOOL COutputParams::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  CQAVApp* app = QAVApp();
  if (app != nullptr && app->m_nUseClassic != 0 && m_bUseCustomViewer == 0) EnableTextViewer(TRUE);
  return TRUE;
}

void COutputParams::OnOK() {
  CPropertyPage::OnOK();
  // A folder left empty stays empty, which sends its reports to the home folder: with a separator
  // it would be the root of the file system.
  for (std::string* folder : {&m_strMdsPath, &m_strRawPath, &m_strSdsPath})
    if (!folder->empty()) *folder = WithTrailingSeparator(*folder);
}

void COutputParams::EnableTextViewer(BOOL enable) {
  m_grpTextViewer.EnableWindow(enable);
  m_edTextViewer.EnableWindow(enable);
  m_btBrowseTextViewer.EnableWindow(enable);
}

namespace {
void BrowseProgram(CWnd* page, int editId) {
  CWnd* edit = page->GetDlgItem(editId);
  if (edit == nullptr) return;
  const std::string current = edit->GetWindowText();
  // Programs here carry no extension: none is added to the chosen name, and every file is offered.
  CFileDialog dialog(TRUE, nullptr, current.c_str(), OFN_HIDEREADONLY | OFN_LONGNAMES, "Programs (*) | *; ||", page);
  if (dialog.DoModal() == IDOK) edit->SetWindowText(dialog.GetPathName().c_str());
}

void BrowseFolder(CWnd* page, int editId, const char* title) {
  CWnd* edit = page->GetDlgItem(editId);
  if (edit == nullptr) return;
  CDirectoryBrowse browse(page->GetSafeHwnd());
  browse.m_strTitle = title;
  browse.m_strPath = edit->GetWindowText().c_str();
  if (browse.Browse() == IDOK) edit->SetWindowText(browse.m_strPath.m_nSize > 0 ? browse.m_strPath.m_pData : "");
}
}  // namespace

void COutputParams::OnBrowseTextViewer() { BrowseProgram(this, IDC_TEXT_VIEWER); }
void COutputParams::OnBrowseSsViewer() { BrowseProgram(this, IDC_SS_VIEWER); }
void COutputParams::OnBrowseRawPath() { BrowseFolder(this, IDC_RAW_PATH, "Choose Rawdata Output Directory"); }
void COutputParams::OnBrowseSdsPath() { BrowseFolder(this, IDC_SDS_PATH, "Choose SDS Output Directory"); }
void COutputParams::OnBrowseMdsPath() { BrowseFolder(this, IDC_MDS_PATH, "Choose MDS Output Directory"); }

void COutputParams::OnCustomViewer() { EnableTextViewer(IsDlgButtonChecked(IDC_USE_CUSTOM_VIEWER) == 0); }

void COutputParams::GetSettings(SOutputSettings& s) const {
  s.textViewer = m_strTextViewer;
  s.ssViewer = m_strSsViewer;
  s.autoOpen = m_bAutoOpen;
  s.useCustomViewer = m_bUseCustomViewer;
  s.rawPath = m_strRawPath;
  s.sdsPath = m_strSdsPath;
  s.mdsPath = m_strMdsPath;
}

void COutputParams::SetSettings(const SOutputSettings& s) {
  m_strTextViewer = s.textViewer;
  m_strSsViewer = s.ssViewer;
  m_bAutoOpen = s.autoOpen;
  m_bUseCustomViewer = s.useCustomViewer;
  m_strRawPath = s.rawPath;
  m_strSdsPath = s.sdsPath;
  m_strMdsPath = s.mdsPath;
}
