#include "support/about_dlg.h"

#include "support/module_version.h"

namespace {

const DialogTemplate kAboutTemplate = {
    IDD_ABOUTBOX,
    "About",
    250,
    152,
    {
        {Ctl::PushButton, IDC_ABOUT_PICTURE_ICON, "", BS_OWNERDRAW | WS_DISABLED, 7, 7, 22, 20, WS_TABSTOP},
        {Ctl::Static, 2026, "FileDescription", SS_NOPREFIX, 35, 7, 140, 16},
        {Ctl::Static, IDC_ABOUT_FILE_VERSION, "File Version 0.0.0.0", SS_NOPREFIX, 35, 27, 140, 8},
        {Ctl::Static, IDC_ABOUT_BUILT, "Built  Mmm DD YYYY  HH:MM:SS", SS_NOPREFIX, 35, 39, 140, 8},
        {Ctl::Static, 2028, "LegalCopyright", SS_NOPREFIX, 35, 51, 140, 8},
        {Ctl::Static, 2032, "CompanyName", SS_NOPREFIX, 35, 63, 140, 8},
        {Ctl::Static, 2027, "LegalTrademarks", SS_NOPREFIX, 35, 75, 140, 8},
        {Ctl::Static, 2030, "Comments", SS_NOPREFIX, 35, 87, 140, 8},
        {Ctl::PushButton, IDC_ABOUT_PICTURE_ROAD, "", BS_OWNERDRAW | WS_DISABLED, 182, 7, 61, 40, WS_TABSTOP},
        {Ctl::PushButton, IDC_ABOUT_PICTURE_CHART, "", BS_OWNERDRAW | WS_DISABLED, 182, 51, 61, 44, WS_TABSTOP},
        {Ctl::Static, IDC_ABOUT_SUPPORT, "Bugs, Comments, Tech Support:", SS_NOPREFIX, 7, 105, 236, 10},
        {Ctl::Static, IDC_ABOUT_LINK1, "PrivateBuild", SS_NOPREFIX | SS_NOTIFY, 7, 119, 170, 10},
        {Ctl::Static, IDC_ABOUT_LINK2, "SpecialBuild", SS_NOPREFIX | SS_NOTIFY, 7, 133, 170, 10},
        {Ctl::DefPushButton, IDOK, "OK", 0, 193, 131, 50, 14},
    },
};

void RegisterAboutTemplate() {
  static const bool once = (RegisterDialogTemplate(&kAboutTemplate), true);
  (void)once;
}

// Coordinates of a drawing on a 100 x 100 grid, mapped into the picture's rectangle.
struct Grid {
  CRect r;
  int X(int gx) const { return r.left + gx * r.Width() / 100; }
  int Y(int gy) const { return r.top + gy * r.Height() / 100; }
  void Fill(CDC* dc, int x1, int y1, int x2, int y2, COLORREF c) const {
    CRect a(X(x1), Y(y1), X(x2), Y(y2));
    if (a.Width() < 1) a.right = a.left + 1;
    if (a.Height() < 1) a.bottom = a.top + 1;
    dc->FillSolidRect(&a, c);
  }
  void Frame(CDC* dc, int x1, int y1, int x2, int y2, COLORREF c) const {
    CRect a(X(x1), Y(y1), X(x2), Y(y2));
    CBrush b(c);
    dc->FrameRect(&a, &b);
  }
};

constexpr COLORREF kSky = RGB(206, 228, 246);
constexpr COLORREF kGrass = RGB(120, 170, 90);
constexpr COLORREF kAsphalt = RGB(88, 92, 98);
constexpr COLORREF kMarking = RGB(250, 250, 250);
constexpr COLORREF kLoop = RGB(245, 200, 40);
constexpr COLORREF kInk = RGB(40, 48, 64);

// 142: the program's icon, a road seen from above with two detector loops in each lane.
void DrawIcon(CDC* dc, const Grid& g) {
  g.Fill(dc, 0, 0, 100, 100, RGB(30, 70, 140));
  g.Fill(dc, 22, 0, 78, 100, kAsphalt);
  g.Fill(dc, 19, 0, 22, 100, kMarking);
  g.Fill(dc, 78, 0, 81, 100, kMarking);
  for (int y = 4; y < 100; y += 24) g.Fill(dc, 48, y, 52, y + 12, kMarking);
  for (int lane = 0; lane < 2; ++lane) {
    const int x = lane == 0 ? 28 : 58;
    g.Frame(dc, x, 22, x + 14, 36, kLoop);
    g.Frame(dc, x, 62, x + 14, 76, kLoop);
  }
}

// 144: a freeway with traffic passing a roadside detector cabinet.
void DrawRoad(CDC* dc, const Grid& g) {
  g.Fill(dc, 0, 0, 100, 45, kSky);
  g.Fill(dc, 0, 45, 100, 100, kGrass);
  g.Fill(dc, 0, 55, 100, 90, kAsphalt);
  g.Fill(dc, 0, 55, 100, 57, kMarking);
  g.Fill(dc, 0, 88, 100, 90, kMarking);
  for (int x = 2; x < 100; x += 16) g.Fill(dc, x, 71, x + 8, 73, kMarking);
  g.Fill(dc, 12, 60, 26, 68, RGB(200, 40, 40));  // cars
  g.Fill(dc, 52, 76, 68, 85, RGB(40, 90, 200));
  g.Fill(dc, 78, 60, 92, 68, RGB(240, 240, 240));
  g.Frame(dc, 36, 75, 46, 86, kLoop);  // loops in the pavement
  g.Frame(dc, 36, 59, 46, 69, kLoop);
  g.Fill(dc, 74, 26, 88, 47, RGB(150, 156, 160));  // cabinet on the verge
  g.Frame(dc, 74, 26, 88, 47, kInk);
  g.Fill(dc, 80, 16, 82, 26, kInk);  // its antenna
}

// 145: a day's volumes by hour, with the morning and afternoon peaks.
void DrawChart(CDC* dc, const Grid& g) {
  static const int kHeights[] = {8, 5, 4, 6, 14, 38, 72, 88, 70, 48, 44, 46, 50, 48, 52, 64, 84, 92, 74, 50, 36, 26, 18, 12};
  g.Fill(dc, 0, 0, 100, 100, RGB(255, 255, 255));
  g.Fill(dc, 8, 6, 9, 90, kInk);   // axes
  g.Fill(dc, 8, 89, 96, 90, kInk);
  for (int h = 0; h < 24; ++h) {
    const int x = 11 + h * 85 / 24;
    const int top = 88 - kHeights[h] * 80 / 100;
    const bool peak = (h >= 6 && h <= 8) || (h >= 16 && h <= 18);
    g.Fill(dc, x, top, x + 3, 88, peak ? RGB(210, 80, 40) : RGB(60, 120, 200));
  }
}

}  // namespace

void CAboutPicture::DrawItem(LPDRAWITEMSTRUCT dis) {
  if (dis == nullptr || dis->hDC == nullptr) return;
  CDC* dc = CDC::FromHandle(dis->hDC);
  const Grid g{CRect(dis->rcItem)};
  switch (m_nResource) {
    case 142: DrawIcon(dc, g); break;
    case 144: DrawRoad(dc, g); break;
    default: DrawChart(dc, g); break;
  }
  CBrush frame(GetSysColor(COLOR_BTNSHADOW));
  CRect all = dis->rcItem;
  dc->FrameRect(&all, &frame);
}

CAboutDlg::CAboutDlg(const char* buildDate, const char* buildTime, CWnd* parent) : CMFCExDialog(IDD_ABOUTBOX, parent) {
  RegisterAboutTemplate();
  m_strBuilt.Format("Built  %s  %s", buildDate != nullptr ? buildDate : "", buildTime != nullptr ? buildTime : "");
}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
  CMFCExDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_ABOUT_SUPPORT, m_wndSupport);
  DDX_Control(dx, IDC_ABOUT_LINK1, m_wndLink1);
  DDX_Control(dx, IDC_ABOUT_LINK2, m_wndLink2);
}

BOOL CAboutDlg::OnInitDialog() {
  CMFCExDialog::OnInitDialog();
  static const int kPictureIds[3] = {IDC_ABOUT_PICTURE_ICON, IDC_ABOUT_PICTURE_ROAD, IDC_ABOUT_PICTURE_CHART};
  for (int i = 0; i < 3; ++i)
    if (m_pictures[i].m_hWnd == nullptr) m_pictures[i].SubclassDlgItem(static_cast<UINT>(kPictureIds[i]), this);

  // 1. The two links: Arial 11, blue and underlined on white, the hand cursor; they keep their
  // own colours.
  HCURSOR hand = LoadCursor(nullptr, MAKEINTRESOURCE(133));
  for (CLabel* link : {&m_wndLink1, &m_wndLink2}) {
    link->SetFontName("Arial").SetFontSize(11).SetBkColor(RGB(255, 255, 255)).SetTextColor(RGB(0, 0, 255));
    link->SetFontUnderline(true).SetLinkCursor(hand);
    ExcludeFromColoring(link);
  }
  // 2. The heading.
  m_wndSupport.SetFontName("Arial").SetFontBold(true).SetFontUnderline(true).SetFontSize(11);
  // 3. A white dialog.
  SetBkColor(RGB(255, 255, 255));
  // 4. The build text.
  SetDlgItemText(IDC_ABOUT_BUILT, m_strBuilt.m_nSize > 0 ? m_strBuilt.m_pData : "");
  // 5. The version values named by the controls' template texts, and the file version.
  CModuleVersion version;
  if (version.ReadVersionInfo()) {
    for (int id = IDC_ABOUT_FIRST_KEY; id <= IDC_ABOUT_LAST_KEY; ++id) {
      CWnd* control = GetDlgItem(id);
      if (control == nullptr) continue;
      const std::string key = control->GetWindowText();
      if (const char* value = version.GetValue(key.c_str())) control->SetWindowText(value);
    }
    CStrA text;
    version.GetFileVersionText(text);
    if (text.m_nSize > 0) SetDlgItemText(IDC_ABOUT_FILE_VERSION, text.m_pData);
  }
  return TRUE;
}
