#include "app/pages/general_params.h"

#include "archive/archive_globals.h"
#include "platform/kernel/files.h"
#include "support/directory_browse.h"

namespace {
constexpr int kMaxPath = 260;

// Templates 229 (New view) and 226 (Classic view) hold the same controls.
std::vector<ControlTemplate> GeneralControls() {
  return {
      {Ctl::GroupBox, -1, "Data Files Location", 0, 7, 7, 286, 89},
      {Ctl::GroupBox, -1, "CD-ROM", 0, 14, 18, 272, 32},
      {Ctl::Radio, IDC_SOURCE_CDROM, "", WS_GROUP | WS_TABSTOP, 21, 31, 10, 10},
      {Ctl::Edit, IDC_CDROM_PATH, "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED, 35, 29, 190, 14},
      {Ctl::PushButton, IDC_BROWSE_CDROM, "Browse", WS_TABSTOP | WS_DISABLED, 229, 29, 50, 14},
      {Ctl::GroupBox, -1, "Other", 0, 14, 57, 272, 32},
      {Ctl::Radio, IDC_SOURCE_OTHER, "", WS_TABSTOP, 21, 70, 10, 10},
      {Ctl::Edit, IDC_OTHER_PATH, "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED, 35, 68, 190, 14},
      {Ctl::PushButton, IDC_BROWSE_OTHER, "Browse", WS_TABSTOP | WS_DISABLED, 229, 68, 50, 14},
      {Ctl::CheckBox, IDC_USE_CLASSIC, "Use Classic Interface and Reports", WS_GROUP | WS_TABSTOP, 7, 103, 286, 10},
  };
}
const DialogTemplate kGeneralNew{IDD_GENERAL_PARAMS_NEW, "General Parameters", 300, 120, GeneralControls()};
const DialogTemplate kGeneralClassic{IDD_GENERAL_PARAMS_CLASSIC, "General Parameters", 300, 120, GeneralControls()};
const bool kRegistered = (RegisterDialogTemplate(&kGeneralNew), RegisterDialogTemplate(&kGeneralClassic), true);

int BrowseFolder(HWND owner, const char* title, std::string& path) {
  CDirectoryBrowse browse(owner);
  browse.m_strTitle = title;
  browse.m_strPath = path.c_str();
  if (browse.Browse() != IDOK) return IDCANCEL;
  path = browse.m_strPath.m_nSize > 0 ? browse.m_strPath.m_pData : "";
  return IDOK;
}
}  // namespace

IMPLEMENT_DYNCREATE(CGeneralParams, CPropertyPage)

BEGIN_MESSAGE_MAP(CGeneralParams, CPropertyPage)
  ON_BN_CLICKED(IDC_BROWSE_CDROM, &CGeneralParams::OnBrowseDisc)
  ON_BN_CLICKED(IDC_BROWSE_OTHER, &CGeneralParams::OnBrowseOther)
  ON_BN_CLICKED(IDC_SOURCE_CDROM, &CGeneralParams::OnSourceDisc)
  ON_BN_CLICKED(IDC_SOURCE_OTHER, &CGeneralParams::OnSourceOther)
  ON_BN_CLICKED(IDC_USE_CLASSIC, &CGeneralParams::OnUseClassic)
END_MESSAGE_MAP()

void CGeneralParams::Construct(UINT templateId, UINT captionId) {
  (void)kRegistered;
  CPropertyPage::Construct(templateId, captionId);
  m_psp.dwFlags |= PSP_HASHELP;
}

void CGeneralParams::DoDataExchange(CDataExchange* dx) {
  CPropertyPage::DoDataExchange(dx);
  DDX_Control(dx, IDC_OTHER_PATH, m_edOtherPath);
  DDX_Control(dx, IDC_CDROM_PATH, m_edCdromPath);
  DDX_Control(dx, IDC_BROWSE_OTHER, m_btBrowseOther);
  DDX_Control(dx, IDC_BROWSE_CDROM, m_btBrowseCdrom);
  DDX_Text(dx, IDC_CDROM_PATH, m_strCdromPath);
  DDV_MaxChars(dx, m_strCdromPath, kMaxPath);
  DDX_Text(dx, IDC_OTHER_PATH, m_strOtherPath);
  DDV_MaxChars(dx, m_strOtherPath, kMaxPath);
  DDX_Radio(dx, IDC_SOURCE_CDROM, m_nSource);
  DDX_Check(dx, IDC_USE_CLASSIC, m_bUseClassic);
  // An archive folder the user chooses that is not there would only show up later as empty date
  // lists and reports full of missing data. One that was already set stays acceptable, so that the
  // other settings can still be changed (the date dialogs say when they find no data). A CD-ROM
  // folder may be missing while no disc is in: the readers ask for the disc then.
  const bool chosenNow = m_nSource != m_nShownSource || m_strOtherPath != m_strShownOtherPath;
  if (dx->m_bSaveAndValidate && !dx->m_bFailed && m_nSource != 0 && chosenNow &&
      !FolderExists(m_strOtherPath.c_str())) {
    dx->PrepareEditCtrl(IDC_OTHER_PATH);
    qav::ui::ShowExchangeMessage(dx, "The folder " + m_strOtherPath + " does not exist.");
    dx->Fail();
  }
}

BOOL CGeneralParams::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  m_nShownSource = m_nSource;
  m_strShownOtherPath = m_strOtherPath;
  if (m_nSource != 0) OnSourceOther();
  else OnSourceDisc();
  return TRUE;
}

void CGeneralParams::OnOK() {
  CPropertyPage::OnOK();
  CWnd* main = AfxGetMainWnd();
  ApplyArchiveSource(m_strCdromPath, m_strOtherPath, m_nSource, main != nullptr ? main->GetSafeHwnd() : nullptr);
}

void ApplyArchiveSource(std::string& cdromPath, std::string& otherPath, int source, HWND mainWindow) {
  cdromPath = WithTrailingSeparator(cdromPath);
  otherPath = WithTrailingSeparator(otherPath);
  if (source != 0) {
    g_hPromptWnd = 0;
    g_DataRootPath.Set(otherPath.c_str());
  } else {
    g_hPromptWnd = reinterpret_cast<uintptr_t>(mainWindow);
    g_DataRootPath.Set(cdromPath.c_str());
  }
}

void CGeneralParams::OnBrowseDisc() {
  std::string path = m_edCdromPath.GetWindowText();
  if (BrowseFolder(m_hWnd, "Choose CDROM Drive/Directory", path) == IDOK) m_edCdromPath.SetWindowText(path.c_str());
}

void CGeneralParams::OnBrowseOther() {
  std::string path = m_edOtherPath.GetWindowText();
  if (BrowseFolder(m_hWnd, "Choose Other Drive Path", path) == IDOK) m_edOtherPath.SetWindowText(path.c_str());
}

void CGeneralParams::OnSourceDisc() {
  m_edCdromPath.EnableWindow(TRUE);
  m_btBrowseCdrom.EnableWindow(TRUE);
  m_edOtherPath.EnableWindow(FALSE);
  m_btBrowseOther.EnableWindow(FALSE);
}

void CGeneralParams::OnSourceOther() {
  m_edOtherPath.EnableWindow(TRUE);
  m_btBrowseOther.EnableWindow(TRUE);
  m_edCdromPath.EnableWindow(FALSE);
  m_btBrowseCdrom.EnableWindow(FALSE);
}

void CGeneralParams::OnUseClassic() {
  MessageBox("This change will take effect when you restart QAV", "QAV General Params", MB_OK);
}

void CGeneralParams::GetSettings(SGeneralSettings& s) const {
  s.cdromPath = m_strCdromPath;
  s.otherPath = m_strOtherPath;
  s.cdromIndex = m_nSource;
  s.useClassic = static_cast<UINT>(m_bUseClassic);
}

void CGeneralParams::SetSettings(const SGeneralSettings& s) {
  m_strCdromPath = s.cdromPath;
  m_strOtherPath = s.otherPath;
  m_nSource = s.cdromIndex != 0 ? 1 : 0;
  m_bUseClassic = static_cast<int>(s.useClassic);
}
