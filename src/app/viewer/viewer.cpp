#include "app/viewer/viewer.h"

#include <algorithm>
#include <new>

#include "containers/mem_mgr.h"
#include "platform/app/file.h"
#include "platform/kernel/release.h"
#include "platform/kernel/test_hold.h"
#include "platform/kernel/time.h"
#include "platform/ui/app.h"
#include "platform/ui/gdi.h"
#include "support/wait_dialog.h"

namespace {

constexpr UINT kIconBig = 1, kIconSmall = 0;
constexpr size_t kPathFieldChars = 27;
// The characters of the report's name that the wait dialog's message shows.
constexpr size_t kWaitNameChars = 40;
// The controls that follow the window's size, all of the template's.
constexpr int kLaidOut[] = {IDC_VIEWER_CABINETS, IDC_VIEWER_ELEMENTS, IDC_VIEWER_SECTIONS, IDOK, IDC_VIEWER_FIND,
                            IDC_VIEWER_PATH_GROUP, IDC_VIEWER_PATH, IDC_VIEWER_STATUS_GROUP, IDC_VIEWER_STATUS,
                            IDC_VIEWER_LINES_GROUP, IDC_VIEWER_LINES, IDC_VIEWER_TEXT};

const DialogTemplate kViewerTemplate{
    IDD_VIEWER,
    "Text Viewer",
    445,
    307,
    {
        {Ctl::ListBox, IDC_VIEWER_CABINETS, "", LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 7, 2, 133, 54},
        {Ctl::ListBox, IDC_VIEWER_ELEMENTS, "", LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 141, 2, 47, 54},
        {Ctl::ListBox, IDC_VIEWER_SECTIONS, "", LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 189, 2, 108, 54},
        {Ctl::DefPushButton, IDOK, "OK", WS_TABSTOP, 300, 9, 20, 14},
        {Ctl::PushButton, IDC_VIEWER_FIND, "Find", WS_TABSTOP, 300, 26, 20, 14},
        {Ctl::GroupBox, IDC_VIEWER_PATH_GROUP, "File Path", 0, 322, 0, 116, 21},
        {Ctl::Static, IDC_VIEWER_PATH, "", SS_CENTER, 326, 9, 108, 8},
        {Ctl::GroupBox, IDC_VIEWER_STATUS_GROUP, "Status", 0, 322, 23, 63, 23},
        {Ctl::Static, IDC_VIEWER_STATUS, "", SS_CENTER, 325, 33, 55, 8},
        {Ctl::GroupBox, IDC_VIEWER_LINES_GROUP, "Line Count", 0, 389, 23, 49, 23},
        {Ctl::Edit, IDC_VIEWER_LINES, "", ES_READONLY | ES_CENTER, 394, 31, 40, 12},
        {Ctl::ListBox, IDC_VIEWER_TEXT, "", LBS_NOSEL | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 7, 50, 431, 256},
    },
    "Courier New",
    8,
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
};

// Pumps the user-interface messages at most every 50 ms, so a long read stays cheap.
class CThrottledPump {
 public:
  // The first call pumps, so a cancel or a paint waiting since the dialog came up is served.
  bool Due() {
    DWORD now = GetTickCount();
    if (now - last_ < 50) return false;
    last_ = now;
    return true;
  }
  // False once a quit request was seen: the program is ending, and the reading stops as Cancel
  // stops it.
  bool Pump() { return !Due() || CWaitDialog::PumpMessages(); }

 private:
  DWORD last_ = GetTickCount() - 50;
};

}  // namespace

BEGIN_MESSAGE_MAP(CViewer, CDialog)
  ON_BN_CLICKED(IDC_VIEWER_FIND, &CViewer::OnFind)
  ON_LBN_DBLCLK(IDC_VIEWER_CABINETS, &CViewer::OnFind)
  ON_LBN_DBLCLK(IDC_VIEWER_ELEMENTS, &CViewer::OnFind)
  ON_LBN_DBLCLK(IDC_VIEWER_SECTIONS, &CViewer::OnFind)
  ON_LBN_SELCHANGE(IDC_VIEWER_CABINETS, &CViewer::OnSelchangeCabinetList)
  ON_WM_SIZE()
  ON_WM_GETMINMAXINFO()
END_MESSAGE_MAP()

CViewer::~CViewer() {
  m_sections.clear();
  m_pNextViewer.reset();
  Close();
}

void CViewer::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_VIEWER_ELEMENTS, m_lstElements);
  DDX_Control(dx, IDC_VIEWER_SECTIONS, m_lstSections);
  DDX_Control(dx, IDC_VIEWER_CABINETS, m_lstCabinets);
  DDX_Control(dx, IDC_VIEWER_TEXT, m_lstText);
  DDX_Text(dx, IDC_VIEWER_STATUS, m_strStatus);
  // The path field is 108 units wide, 27 characters of the viewer's fixed-pitch font: a longer
  // path shows its end. The field is never read back, so m_strFilePath keeps the whole path.
  if (!dx->m_bSaveAndValidate) {
    std::string shown = PathEnd(m_strFilePath, kPathFieldChars);
    DDX_Text(dx, IDC_VIEWER_PATH, shown);
  }
  DDX_Text(dx, IDC_VIEWER_LINES, m_nLineCount);
}

void CViewer::HoldMain(bool hold) {
  // Disabling the main window nests: the viewer takes one hold while it opens a report and gives
  // it back when the opening ends, so a run's own hold (its wait dialog) is never released here.
  if (hold == m_bHoldsMain) return;
  CWnd* main = AfxGetMainWnd();
  if (main != nullptr && ::IsWindow(main->m_hWnd)) ::EnableWindow(main->m_hWnd, hold ? FALSE : TRUE);
  m_bHoldsMain = hold;
}

void CViewer::Close() {
  HoldMain(false);
  if (m_hWnd == nullptr) return;
  // The text and the index go now, not when the window's state is reaped (later, when closed
  // from a handler of the window). The text list frees its lines in whole blocks; the index, one
  // string at a time, goes on the release thread, which then has the heap give the memory back
  // to the system: a large report's lines are many blocks that the heap would otherwise keep.
  m_lstText.ResetContent();
  qav::ReleaseContentsLater(m_sections);
  qav::ReleaseContentsLater(m_cabinets);
  m_nLineCount = 0;
  DestroyWindow();
  CScalarMemMgr::ReturnFreeMemoryLater();
}

void CViewer::OnOK() { Close(); }
void CViewer::OnCancel() { Close(); }

bool CViewer::ViewReportFile(const char* path, bool quiet, CWnd* parent) {
  CViewer* v = this;
  while (v->m_hWnd != nullptr) {
    if (!v->m_pNextViewer) {
      v->m_pNextViewer.reset(new (std::nothrow) CViewer());
      if (!v->m_pNextViewer) return false;
    }
    v = v->m_pNextViewer.get();
  }
  return v->Open(path, quiet, parent);
}

bool CViewer::Open(const char* path, bool quiet, CWnd* parent) {
  RegisterDialogTemplate(&kViewerTemplate);
  // The path is kept and shown as given: file names are case-sensitive here. Only its ending is
  // compared without regard to case.
  m_strFilePath = path != nullptr ? path : "";
  m_nFileType = ViewerFileType(m_strFilePath);
  if (m_nFileType == VFT_UNKNOWN) {
    if (!quiet) ::MessageBox(nullptr, "Unknown file type...must have proper extension (*.dat, *.sds, *.mds)", nullptr, MB_OK);
    return false;
  }
  uint64_t length = 0;
  {
    CFile probe;
    if (probe.Open(path, CFile::modeRead | CFile::shareDenyNone)) length = probe.GetLength();
  }
  const std::string name = std::string(path).substr(std::string(path).find_last_of("\\/") + 1);
  // The wait dialog says which report is read. Opened after a run, a small report comes up without
  // it; a large one shows it too, as reading takes long enough that the user must see what the
  // program is doing and be able to stop it.
  int position = 0;
  bool keepGoing = true;
  const std::string message = "Reading " + PathEnd(name, kWaitNameChars) + " ...";
  auto wait = std::make_unique<CWaitDialog>(&position, &keepGoing, "Opening the Report", message.c_str());
  if (quiet && length < kQuietWaitBytes) wait->ShowWindow(SW_HIDE);
  m_pWait = wait.get();
  auto finish = [&](bool shown) {
    m_pWait = nullptr;
    wait->Close();
    HoldMain(false);
    return shown;
  };

  HoldMain(true);
  if (!Create(IDD_VIEWER, parent == CWnd::GetDesktopWindow() ? nullptr : parent)) return finish(false);
  RememberLayout();
  HICON icon = ::LoadIcon(nullptr, MAKEINTRESOURCE(IDI_QAV));
  SendMessage(WM_SETICON, kIconBig, reinterpret_cast<LPARAM>(icon));
  SendMessage(WM_SETICON, kIconSmall, reinterpret_cast<LPARAM>(icon));
  m_nLineCount = 0;
  m_sections.clear();
  m_cabinets.clear();

  // Reading: the bar runs over the file's bytes, then over one more hundredth for the cabinet
  // list. Each line goes to the text list and to the section index as it is read.
  CThrottledPump pump;
  const uint64_t extra = length / 100;
  const int64_t div = CWaitEstimator::ScaleDivisor(static_cast<int64_t>(length + extra));
  wait->SetRange(0, static_cast<int>((length + extra) / static_cast<uint64_t>(div)));
  m_lstText.ResetContent();
  // A report too large for the memory left ends the opening with a message, also after a run: the
  // user must learn why the report does not come up. What was read is let go of first, so the
  // message has room.
  bool noRoom = false;
  auto tooLarge = [&] {
    Close();
    finish(false);
    ::MessageBox(nullptr, ("Not enough memory to show " + name + " in the viewer").c_str(), nullptr,
                 MB_OK | MB_ICONEXCLAMATION);
    return false;
  };
  try {
    CSectionIndexer indexer(m_nFileType);
    const uint32_t err = ReadTextLines(
        path,
        [&](uint64_t bytes) {
          position = static_cast<int>(bytes / static_cast<uint64_t>(div));
          if (!pump.Pump()) keepGoing = false;
          HoldForTest("viewer-read", [&] {
            if (!pump.Pump()) keepGoing = false;
            return keepGoing;
          });
          return keepGoing && !noRoom;
        },
        [&](std::string_view line) {
          if (noRoom) return;
          noRoom = !m_lstText.Append(line);
          if (!noRoom) indexer.Feed(line);
        });
    if (noRoom) return tooLarge();
    if (err != 0) {
      if (keepGoing && !quiet) ::MessageBox(nullptr, "Unable to open input file", nullptr, MB_OK);
      Close();
      return finish(false);
    }
    SetWindowText(name.c_str());
    indexer.Finish();
    m_sections = std::move(indexer.sections);
    m_nLineCount = m_lstText.LineCount();
    m_strStatus = "Normal";

    // The cabinet list: one step per section.
    const uint64_t steps = m_sections.size() + 1;
    uint64_t done = 0;
    auto step = [&] {
      ++done;
      position = static_cast<int>((length + extra * done / steps) / static_cast<uint64_t>(div));
      if (!pump.Pump()) keepGoing = false;
      return keepGoing;
    };
    for (const std::string& line : CabinetLines(m_sections, &m_cabinets)) {
      if (m_lstCabinets.AddString(line.c_str()) == LB_ERRSPACE) return tooLarge();
      if (!step()) {
        Close();
        return finish(false);
      }
    }
  } catch (const std::bad_alloc&) {
    return tooLarge();
  }
  m_lstCabinets.SetCurSel(0);
  UpdateData(FALSE);
  OnSelchangeCabinetList();
  FillSectionList();
  finish(true);
  // The keyboard goes to the text, which the user came to read: the page keys turn its pages.
  GotoDlgCtrl(&m_lstText);
  // Shown normally first, so that the window keeps its template's size where the desktop does not
  // maximise it.
  ShowWindow(SW_SHOWNORMAL);
  if (!quiet) ShowWindow(SW_SHOWMAXIMIZED);
  return true;
}

void CViewer::OnSelchangeCabinetList() {
  UpdateData(TRUE);
  m_lstElements.ResetContent();
  for (const std::string& e : ElementsOfCabinet(m_sections, ChosenCabinet())) m_lstElements.AddString(e.c_str());
  m_lstElements.SetCurSel(0);
}

// The cabinet of the cabinet list's current line (an alias of 7 characters or an id of 10).
std::string CViewer::ChosenCabinet() {
  const int sel = m_lstCabinets.GetCurSel();
  return sel >= 0 && sel < static_cast<int>(m_cabinets.size()) ? m_cabinets[static_cast<size_t>(sel)] : std::string();
}

void CViewer::FillSectionList() {
  UpdateData(TRUE);
  int sel = m_lstElements.GetCurSel();
  std::string element = sel >= 0 ? m_lstElements.GetTextString(sel) : std::string();
  m_lstSections.ResetContent();
  for (const std::string& l : SectionLabels(m_sections, element, m_nFileType)) m_lstSections.AddString(l.c_str());
}

void CViewer::OnFind() {
  auto current = [](CListBox& list) {
    int sel = list.GetCurSel();
    return sel >= 0 ? list.GetTextString(sel) : std::string();
  };
  int line = FindSection(m_sections, m_nFileType, ChosenCabinet(), current(m_lstElements), current(m_lstSections));
  if (line >= 0) m_lstText.ScrollTo(line);
}

void CViewer::RememberLayout() {
  m_layout.clear();
  CRect client;
  GetClientRect(&client);
  m_baseSize = CSize(client.Width(), client.Height());
  for (int id : kLaidOut) {
    CWnd* w = GetDlgItem(id);
    if (w == nullptr) continue;
    CRect r;
    w->GetWindowRect(&r);
    ScreenToClient(&r);
    m_layout.push_back({id, r});
  }
}

// Laid out on every size change, from the template's places: the text takes all the room that the
// window gains; the cabinet and section lists share its width gain (the element list keeps its
// width, as element names are short); the buttons and fields beside them keep to the right edge.
// A window smaller than the template keeps the template's places.
void CViewer::OnSize(UINT type, int cx, int cy) {
  Default();
  if (m_layout.empty() || type == SIZE_MINIMIZED) return;
  const int dx = std::max(0, cx - m_baseSize.cx), dy = std::max(0, cy - m_baseSize.cy);
  const CRect cabinets = Placed(IDC_VIEWER_CABINETS), sections = Placed(IDC_VIEWER_SECTIONS);
  const int cabinetsGain = dx * cabinets.Width() / std::max(1, cabinets.Width() + sections.Width());
  for (const SPlaced& p : m_layout) {
    CRect r = p.rect;
    switch (p.id) {
      case IDC_VIEWER_CABINETS: r.right += cabinetsGain; break;
      case IDC_VIEWER_ELEMENTS: r.OffsetRect(cabinetsGain, 0); break;
      case IDC_VIEWER_SECTIONS: r.left += cabinetsGain; r.right += dx; break;
      case IDC_VIEWER_TEXT: r.right += dx; r.bottom += dy; break;
      default: r.OffsetRect(dx, 0); break;
    }
    if (CWnd* w = GetDlgItem(p.id)) w->MoveWindow(&r);
  }
}

void CViewer::OnGetMinMaxInfo(MINMAXINFO* info) {
  if (m_layout.empty()) return;
  info->ptMinTrackSize.x = m_baseSize.cx;
  info->ptMinTrackSize.y = m_baseSize.cy;
}

CRect CViewer::Placed(int id) const {
  for (const SPlaced& p : m_layout)
    if (p.id == id) return p.rect;
  return CRect(0, 0, 0, 0);
}

BOOL CViewer::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN &&
      (msg->hwnd == m_lstCabinets.m_hWnd || msg->hwnd == m_lstElements.m_hWnd || msg->hwnd == m_lstSections.m_hWnd)) {
    OnFind();
    return TRUE;
  }
  return CDialog::PreTranslateMessage(msg);
}
