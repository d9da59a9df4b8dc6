#include "app/select/elems_dlg.h"

#include <algorithm>
#include <vector>

#include "app/select/select_ids.h"
#include "app/select/select_lists.h"
#include "platform/base/msgbox.h"

namespace {

constexpr DWORD kExtended = LBS_EXTENDEDSEL;
constexpr DWORD kReadOnly = ES_READONLY;

// Lists on top (roadways, cabinets, the loaded days), the element lists with the moving buttons
// below, and beside them the meaning of the element name's letters in five frames.
std::vector<ControlTemplate> ElementControls() {
  return {
      {Ctl::Static, IDC_STATIC, "Roadway", 0, 7, 7, 70, 8},
      {Ctl::ListBox, IDC_SEL_ROADWAYS, "", 0, 7, 17, 70, 84},
      {Ctl::Static, IDC_SEL_CABINET_HEADING, " Cabinet     Alias    Location         Milepost", SS_NOPREFIX, 84, 7, 225, 8},
      {Ctl::ListBox, IDC_SEL_CABINETS, "", 0, 84, 17, 225, 84},
      {Ctl::GroupBox, IDC_STATIC, "Start Date", 0, 316, 7, 80, 26},
      {Ctl::Static, IDC_SEL_START_TEXT, "", 0, 323, 18, 66, 8},
      {Ctl::GroupBox, IDC_STATIC, "End Date", 0, 316, 40, 80, 26},
      {Ctl::Static, IDC_SEL_END_TEXT, "", 0, 323, 51, 66, 8},

      {Ctl::Static, IDC_STATIC, "Elements", 0, 7, 108, 70, 8},
      {Ctl::ListBox, IDC_SEL_AVAILABLE, "", kExtended, 7, 118, 70, 84},
      {Ctl::PushButton, IDC_SEL_ADD, ">", 0, 84, 125, 50, 14},
      {Ctl::PushButton, IDC_SEL_ADD_ALL, ">>", 0, 84, 143, 50, 14},
      {Ctl::PushButton, IDC_SEL_REMOVE, "<", 0, 84, 167, 50, 14},
      {Ctl::PushButton, IDC_SEL_REMOVE_ALL, "<<", 0, 84, 185, 50, 14},
      {Ctl::Static, IDC_STATIC, "Selected", 0, 141, 108, 100, 8},
      {Ctl::ListBox, IDC_SEL_SELECTED, "", kExtended, 141, 118, 100, 84},
      {Ctl::Static, IDC_STATIC, "Selected:", 0, 141, 209, 46, 8},
      {Ctl::Edit, IDC_SEL_SELECTED_COUNT, "", kReadOnly | ES_RIGHT, 191, 206, 50, 14},

      {Ctl::GroupBox, IDC_STATIC, "Roadway Type", 0, 248, 108, 148, 32},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 0, "", kReadOnly, 255, 119, 65, 14},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 1, "", kReadOnly, 324, 119, 65, 14},
      {Ctl::GroupBox, IDC_STATIC, "Direction", 0, 248, 144, 70, 32},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 2, "", kReadOnly, 255, 155, 56, 14},
      {Ctl::GroupBox, IDC_STATIC, "Element Type", 0, 326, 144, 70, 32},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 5, "", kReadOnly, 333, 155, 56, 14},
      {Ctl::GroupBox, IDC_STATIC, "Lane Type", 0, 248, 180, 148, 32},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 3, "", kReadOnly, 255, 191, 65, 14},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 4, "", kReadOnly, 324, 191, 65, 14},
      {Ctl::GroupBox, IDC_STATIC, "Lane #", 0, 248, 216, 70, 32},
      {Ctl::Edit, IDC_SEL_CODE_FIRST + 6, "", kReadOnly, 255, 227, 56, 14},
  };
}

DialogTemplate MakeElementsTemplate() {
  DialogTemplate t{IDD_SELECT_ELEMENTS, "Select Locations and Data Elements", 403, 276, ElementControls()};
  t.controls.push_back({Ctl::DefPushButton, IDOK, "OK", 0, 238, 255, 50, 14});
  t.controls.push_back({Ctl::PushButton, IDCANCEL, "Cancel", 0, 292, 255, 50, 14});
  t.controls.push_back({Ctl::PushButton, IDHELP, "Help", 0, 346, 255, 50, 14});
  return t;
}

// The wizard form: the same lists with Back / Next / Finish / Cancel, a prompt and buttons that
// move selected lines.
DialogTemplate MakeWizardTemplate() {
  DialogTemplate t{IDD_SELECT_ELEMENTS_WIZARD, "Select Locations and Data Elements", 403, 276, ElementControls()};
  t.controls.push_back({Ctl::PushButton, IDC_SEL_MOVE_UP, "^", 0, 141, 227, 24, 14});
  t.controls.push_back({Ctl::PushButton, IDC_SEL_MOVE_DOWN, "v", 0, 169, 227, 24, 14});
  t.controls.push_back({Ctl::Static, IDC_STATIC, "What standard-site lanes do you want to select?", 0, 7, 226, 130, 16});
  t.controls.push_back({Ctl::PushButton, IDC_SEL_BACK, "< &Back", 0, 184, 255, 50, 14});
  t.controls.push_back({Ctl::DefPushButton, IDOK, "&Next >", 0, 238, 255, 50, 14});
  t.controls.push_back({Ctl::PushButton, IDC_SEL_FINISH, "&Finish", 0, 292, 255, 50, 14});
  t.controls.push_back({Ctl::PushButton, IDCANCEL, "&Cancel", 0, 346, 255, 50, 14});
  return t;
}

void RegisterElementTemplates() {
  static const DialogTemplate elements = MakeElementsTemplate();
  static const DialogTemplate wizard = MakeWizardTemplate();
  static const bool once = (RegisterDialogTemplate(&elements), RegisterDialogTemplate(&wizard), true);
  (void)once;
}


}  // namespace

BEGIN_MESSAGE_MAP(CElemsDlg, CMFCExDialog)
  ON_BN_CLICKED(IDC_SEL_ADD, &CElemsDlg::OnAddSelected)
  ON_BN_CLICKED(IDC_SEL_ADD_ALL, &CElemsDlg::OnAddAll)
  ON_BN_CLICKED(IDC_SEL_REMOVE, &CElemsDlg::OnRemoveSelected)
  ON_BN_CLICKED(IDC_SEL_REMOVE_ALL, &CElemsDlg::OnRemoveAll)
  ON_LBN_SELCHANGE(IDC_SEL_AVAILABLE, &CElemsDlg::ShowAvailableElementCodes)
  ON_LBN_DBLCLK(IDC_SEL_AVAILABLE, &CElemsDlg::OnAddSelected)
  ON_LBN_SELCHANGE(IDC_SEL_SELECTED, &CElemsDlg::ShowSelectedElementCodes)
  ON_LBN_DBLCLK(IDC_SEL_SELECTED, &CElemsDlg::OnRemoveSelected)
  ON_LBN_SELCHANGE(IDC_SEL_ROADWAYS, &CElemsDlg::OnRoadwaySelChange)
  ON_LBN_SELCHANGE(IDC_SEL_CABINETS, &CElemsDlg::OnCabinetSelChange)
  ON_BN_CLICKED(IDC_SEL_BACK, &CElemsDlg::OnBack)
  ON_BN_CLICKED(IDC_SEL_FINISH, &CElemsDlg::OnFinish)
  ON_BN_CLICKED(IDC_SEL_MOVE_UP, &CElemsDlg::OnMoveUp)
  ON_BN_CLICKED(IDC_SEL_MOVE_DOWN, &CElemsDlg::OnMoveDown)
  ON_BN_CLICKED(IDHELP, &CElemsDlg::OnHelp)
END_MESSAGE_MAP()

CElemsDlg::CElemsDlg(CWnd* parent, UINT templateId)
    : CMFCExDialog(templateId, parent),
      m_lbRoadways(GetRoadwayText),
      m_lbCabinets(GetCabinetText),
      m_lbSelected(GetSelectedElementText),
      m_lbAvailable(GetElementNameText) {
  RegisterElementTemplates();
}

CElemsDlg::~CElemsDlg() { StopLoad(); }

DWORD CElemsDlg::StartLoad(const CObjArray<CDateTimeEx>& dates, uint8_t mask) {
  SetNoticeWindow(m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr);
  return CElementLoader::StartLoad(dates, mask);
}

void CElemsDlg::OnLoadReset() {
  m_lbRoadways.ListResetContent();
  m_lbCabinets.ListResetContent();
  m_lbSelected.ListResetContent();
  m_lbAvailable.ListResetContent();
}

INT_PTR CElemsDlg::SelectElements(CObjArray<CDBRoadway>& roadways, CObjArray<CDBCabinet>& cabinets,
                                  CObjArray<CDBElementEx>& elements, const char* caption) {
  const HWND view = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
  if (IsLoading()) {
    if (!IsDone()) {
      if (::IsWindow(view)) ::SendMessage(view, WM_SET_WAIT_CURSOR, 1, reinterpret_cast<LPARAM>(this));
      WaitDone();  // serves the loader's disc request meanwhile
      if (::IsWindow(view)) ::SendMessage(view, WM_SET_WAIT_CURSOR, 0, reinterpret_cast<LPARAM>(this));
    }
    StopLoad();
  }
  if (m_bLoadFailed) {
    ::MessageBox(view, "Error loading start date/end date input data files", nullptr, MB_OK | MB_ICONERROR);
    return 0;
  }
  m_lbSelected.ListResetContent();
  CSelectionTemporaries temps;
  MergeSelection(elements, m_Roadways, m_Cabinets, m_Elements, m_lbSelected, temps, m_nInitialRoadway,
                 m_nInitialCabinet);
  m_pszCaption = caption;
  const INT_PTR result = DoModal();
  if (result != IDCANCEL && result != 8) CopyBackSelection(m_lbSelected, roadways, cabinets, elements);
  // The list may point at the temporaries, which go now.
  m_lbSelected.ListResetContent();
  return result;
}

void CElemsDlg::DoDataExchange(CDataExchange* dx) {
  CMFCExDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_SEL_END_TEXT, m_strEndDate);
  DDX_Text(dx, IDC_SEL_START_TEXT, m_strStartDate);
  DDX_Text(dx, IDC_SEL_SELECTED_COUNT, m_nSelected);
  DDX_Control(dx, IDC_SEL_ROADWAYS, m_lbRoadways);
  DDX_Control(dx, IDC_SEL_CABINETS, m_lbCabinets);
  DDX_Control(dx, IDC_SEL_SELECTED, m_lbSelected);
  DDX_Control(dx, IDC_SEL_AVAILABLE, m_lbAvailable);
  for (int pos = 0; pos < 7; ++pos) DDX_Text(dx, IDC_SEL_CODE_FIRST + pos, m_strCodes[pos]);
}

CObjArray<CDBCabinet>* CElemsDlg::CabinetsOf(int i) const {
  return i >= 0 && i < m_Cabinets.m_nSize ? m_Cabinets.m_pData[i] : nullptr;
}

CObjArray<CDBElementEx>* CElemsDlg::ElementsOf(int i, int j) const {
  if (i < 0 || i >= m_Elements.m_nSize || m_Elements.m_pData[i] == nullptr) return nullptr;
  const CObjArray<CObjArray<CDBElementEx>>& cabinets = *m_Elements.m_pData[i];
  return j >= 0 && j < cabinets.m_nSize ? cabinets.m_pData[j] : nullptr;
}

BOOL CElemsDlg::OnInitDialog() {
  m_strStartDate = m_StartDate.Format("%m/%d/%Y (%a)");
  m_strEndDate = m_EndDate.Format("%m/%d/%Y (%a)");
  m_nSelected = m_lbSelected.m_nSize;
  CMFCExDialog::OnInitDialog();
  if (m_pszCaption != nullptr) SetWindowText(m_pszCaption);
  if (m_fixedFont.GetSafeHandle() == nullptr) m_fixedFont.CreatePointFont(80, "Courier New");
  m_lbCabinets.SetFont(&m_fixedFont);
  GetDlgItem(IDC_SEL_CABINET_HEADING)->SetFont(&m_fixedFont);

  m_lbRoadways.Copy(m_Roadways);
  m_lbCabinets.ListResetContent();
  m_lbAvailable.ListResetContent();
  if (m_nInitialRoadway >= 0 && m_nInitialRoadway < m_lbRoadways.m_nSize) {
    m_lbRoadways.SetCurSel(m_nInitialRoadway);
    if (CObjArray<CDBCabinet>* cabinets = CabinetsOf(m_nInitialRoadway)) {
      m_lbCabinets.Copy(*cabinets);
      if (m_nInitialCabinet >= 0 && m_nInitialCabinet < m_lbCabinets.m_nSize) {
        m_lbCabinets.SetCurSel(m_nInitialCabinet);
        if (CObjArray<CDBElementEx>* available = ElementsOf(m_nInitialRoadway, m_nInitialCabinet))
          m_lbAvailable.Copy(*available);
      }
    }
  }
  ShowCount();
  return TRUE;
}

void CElemsDlg::OnRoadwaySelChange() {
  m_nInitialRoadway = m_lbRoadways.GetCurSel();
  if (m_nInitialRoadway < 0) return;
  m_lbCabinets.ListResetContent();
  if (CObjArray<CDBCabinet>* cabinets = CabinetsOf(m_nInitialRoadway)) m_lbCabinets.Copy(*cabinets);
  m_lbCabinets.SetCurSel(0);
  OnCabinetSelChange();
}

void CElemsDlg::OnCabinetSelChange() {
  if (m_lbRoadways.GetCurSel() < 0) return;
  m_nInitialCabinet = m_lbCabinets.GetCurSel();
  // A roadway without cabinets leaves nothing to choose from.
  m_lbAvailable.ListResetContent();
  if (m_nInitialCabinet < 0) return;
  if (CObjArray<CDBElementEx>* available = ElementsOf(m_nInitialRoadway, m_nInitialCabinet))
    m_lbAvailable.Copy(*available);
}

void CElemsDlg::AddElements(bool highlightedOnly) {
  const bool sorted = m_nIDTemplate == IDD_SELECT_ELEMENTS;
  std::vector<int> lines;
  if (highlightedOnly) {
    lines = HighlightedLines(m_lbAvailable);
  } else {
    for (int i = 0; i < m_lbAvailable.m_nSize; ++i) lines.push_back(i);
  }
  for (int line : lines)
    if (line < m_lbAvailable.m_nSize && m_lbAvailable.m_pData[line] != nullptr)
      AddSelectedElement(m_lbSelected, *m_lbAvailable.m_pData[line], sorted);
  ShowCount();
}

void CElemsDlg::OnAddSelected() { AddElements(true); }
void CElemsDlg::OnAddAll() { AddElements(false); }

void CElemsDlg::OnRemoveSelected() {
  RemoveHighlightedLines(m_lbSelected);
  ShowCount();
}

void CElemsDlg::OnRemoveAll() {
  m_lbSelected.ListResetContent();
  ShowCount();
}

void CElemsDlg::ShowCount() {
  m_nSelected = m_lbSelected.m_nSize;
  UpdateData(FALSE);
}

void CElemsDlg::OnMoveUp() {
  std::vector<int> lines = HighlightedLines(m_lbSelected);
  if (lines.empty() || lines.front() == 0) return;
  for (int line : lines) m_lbSelected.MoveUp(line);
  for (int line : lines) m_lbSelected.SetSel(line - 1, TRUE);
}

void CElemsDlg::OnMoveDown() {
  std::vector<int> lines = HighlightedLines(m_lbSelected);
  if (lines.empty() || lines.back() >= m_lbSelected.m_nSize - 1) return;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) m_lbSelected.MoveDown(*it);
  for (int line : lines) m_lbSelected.SetSel(line + 1, TRUE);
}

void CElemsDlg::OnBack() {
  if (UpdateData(TRUE)) End(IDC_SEL_BACK);
}

void CElemsDlg::OnFinish() {
  if (UpdateData(TRUE)) End(IDC_SEL_FINISH);
}

// The program's help, which the main frame opens (and says so when it cannot).
void CElemsDlg::OnHelp() {
  if (CWnd* main = AfxGetMainWnd()) main->SendMessage(WM_COMMAND, ID_HELP);
}

void CElemsDlg::ShowCodes(const CAdrList<CDBElementEx>& list) {
  const int line = list.GetCaretIndex();
  const char* words[7] = {"", "", "", "", "", "", ""};
  if (line >= 0 && line < list.m_nSize && list.m_pData[line] != nullptr) ElementNameWords(list.m_pData[line]->name, words);
  for (int pos = 0; pos < 7; ++pos) m_strCodes[pos] = words[pos];
  for (int pos = 0; pos < 7; ++pos) SetDlgItemText(IDC_SEL_CODE_FIRST + pos, words[pos]);
}

void CElemsDlg::ShowAvailableElementCodes() { ShowCodes(m_lbAvailable); }

// The selected line reads "cabinet id:name"; the words come from the element's own name, so no
// letter of the cabinet id is ever read as a code.
void CElemsDlg::ShowSelectedElementCodes() { ShowCodes(m_lbSelected); }

BOOL CElemsDlg::PreTranslateMessage(MSG* msg) {
  switch (ListKeyOf(msg, m_lbAvailable.m_hWnd, m_lbSelected.m_hWnd)) {
    case EListKey::Add:
      OnAddSelected();
      return TRUE;
    case EListKey::Remove:
      OnRemoveSelected();
      return TRUE;
    case EListKey::None:
      break;
  }
  return CMFCExDialog::PreTranslateMessage(msg);
}
