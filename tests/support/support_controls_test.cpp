// The owner-drawn button, the label, the about box and the folder picker on the headless window
// system.
#include <set>
#include <stdexcept>
#include <string>

#include "platform/app/version.h"
#include "platform/shell/shell.h"
#include "support/about_dlg.h"
#include "support/button_st.h"
#include "support/directory_browse.h"
#include "support/label.h"
#include "support_ui_fixture.h"

namespace {

using qav::ui::PostTask;
namespace input = qav::ui::input;

constexpr UINT IDD_CONTROLS = 9101;
constexpr int IDC_BTN = 1001;
constexpr int IDC_CHECKBTN = 1002;
constexpr int IDC_LABEL = 1003;

const DialogTemplate kControls{IDD_CONTROLS,
                               "Controls",
                               160,
                               80,
                               {
                                   {Ctl::PushButton, IDC_BTN, "Key", 0, 7, 7, 50, 14},
                                   {Ctl::CheckBox, IDC_CHECKBTN, "Flag", BS_PUSHLIKE, 7, 25, 50, 14},
                                   {Ctl::Static, IDC_LABEL, "Alarm", 0, 7, 45, 60, 8},
                                   {Ctl::DefPushButton, IDOK, "OK", 0, 103, 59, 50, 14},
                               }};

class CControlsDlg : public CMFCExDialog {
 public:
  CControlsDlg() : CMFCExDialog(IDD_CONTROLS, nullptr) {}
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_BTN, m_btn);
    DDX_Control(dx, IDC_CHECKBTN, m_check);
    DDX_Control(dx, IDC_LABEL, m_label);
  }
  void OnKey() { ++clicks; }
  CButtonST m_btn;
  CButtonST m_check;
  CLabel m_label;
  int clicks = 0;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CControlsDlg, CMFCExDialog)
  ON_BN_CLICKED(IDC_BTN, &CControlsDlg::OnKey)
END_MESSAGE_MAP()

std::vector<std::string> g_opened;
DWORD RecordOpen(const char* text) {
  g_opened.push_back(text);
  return 0;
}

class SupportControlsTest : public SupportUiTest {
 protected:
  void SetUp() override {
    SupportUiTest::SetUp();
    RegisterDialogTemplate(&kControls);
    g_opened.clear();
    CLabel::s_pfnOpenLink = &RecordOpen;
    CButtonST::s_pfnOpenUrl = &RecordOpen;
    ASSERT_TRUE(dlg.DoModeless(nullptr));
  }
  void TearDown() override {
    dlg.DestroyWindow();
    CLabel::s_pfnOpenLink = &OpenDocumentOrUrl;
    CButtonST::s_pfnOpenUrl = &OpenDocumentOrUrl;
    SetVersionInfoFailureForTesting(false);
    SupportUiTest::TearDown();
  }
  static std::vector<std::string> Paint(CButtonST& b) {
    qav::ui::RecordingPainter p;
    qav::ui::PaintOwnerDrawn(b.m_hWnd, p);
    return p.ops;
  }
  CControlsDlg dlg;
};

TEST_F(SupportControlsTest, ButtonIsOwnerDrawnWithItsColourSlots) {
  CButtonST& b = dlg.m_btn;
  EXPECT_EQ(b.GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(b.SetFlat(FALSE), BUTTONST_OK);
  EXPECT_EQ(b.SetColor(BUTTONST_COLOR_BK_OUT, RGB(10, 20, 30)), BUTTONST_OK);
  EXPECT_EQ(b.SetColor(BUTTONST_COLOR_FG_OUT, RGB(1, 2, 3)), BUTTONST_OK);
  EXPECT_EQ(b.SetColor(BUTTONST_COLOR_BK_IN, RGB(200, 0, 0)), BUTTONST_OK);
  EXPECT_EQ(b.SetColor(BUTTONST_COLOR_BK_FOCUS, RGB(0, 200, 0)), BUTTONST_OK);
  EXPECT_EQ(b.SetColor(6, 0), BUTTONST_INVALID_INDEX);
  EXPECT_EQ(b.SetAlign(4), BUTTONST_INVALID_ALIGN);
  EXPECT_EQ(b.SetPressedStyle(2), BUTTONST_INVALID_PRESSED_STYLE);
  EXPECT_EQ(b.SetBk(nullptr), BUTTONST_BAD_PARAM);
  CDC parentDc;
  parentDc.SetBkColor(RGB(7, 8, 9));
  EXPECT_EQ(b.SetBk(&parentDc), BUTTONST_BAD_PARAM);  // only a transparent button takes a background
  EXPECT_EQ(b.SetMenu(5, dlg.m_hWnd), BUTTONST_INVALID_RESOURCE);

  auto has = [](const std::vector<std::string>& ops, const std::string& prefix) {
    for (const std::string& o : ops)
      if (o.rfind(prefix, 0) == 0) return true;
    return false;
  };
  // Normal: face in colour 2, caption in colour 3, no black frame, raised edge.
  ::SetFocus(nullptr);
  std::vector<std::string> ops = Paint(b);
  EXPECT_TRUE(has(ops, "fill 0,0,75,23 1E140A")) << ops[0];
  EXPECT_TRUE(has(ops, "text")) << "caption";
  EXPECT_FALSE(has(ops, "frame 0,0,75,23 000000"));
  // Focused and not flat: black frame, face shrinks, colour 4, focus rectangle 3 pixels in.
  b.SetFocus();
  ops = Paint(b);
  EXPECT_TRUE(has(ops, "frame 0,0,75,23 000000"));
  EXPECT_TRUE(has(ops, "fill 1,1,74,22 00C800"));
  EXPECT_TRUE(has(ops, "focus 3,3,72,20"));
  // Pressed: colour 0.
  b.SendMessage(BM_SETSTATE, TRUE);
  ops = Paint(b);
  EXPECT_TRUE(has(ops, "fill 1,1,74,22 0000C8"));
  b.SendMessage(BM_SETSTATE, FALSE);
  // Disabled: the caption embossed, drawn twice.
  b.EnableWindow(FALSE);
  ops = Paint(b);
  int texts = 0;
  for (const std::string& o : ops) texts += o.rfind("text", 0) == 0;
  EXPECT_EQ(texts, 2);
  b.EnableWindow(TRUE);

  // A click reaches the dialog too; a web address is opened.
  b.SetURL("https://example.org/qav");
  input::Click(b.m_hWnd);
  EXPECT_EQ(dlg.clicks, 1);
  EXPECT_EQ(g_opened, (std::vector<std::string>{"https://example.org/qav"}));

  // A transparent button is filled with the background it was given.
  b.DrawTransparent();
  EXPECT_EQ(b.SetBk(&parentDc), BUTTONST_OK);
  EXPECT_TRUE(has(Paint(b), "fill 0,0,75,23 090807"));
}

TEST_F(SupportControlsTest, BitmapDrawsThroughItsMaskAndPressedUsesTheGeneratedImage) {
  CButtonST& b = dlg.m_btn;
  const COLORREF magenta = RGB(255, 0, 255);
  CButtonSTImage img(4, 1, RGB(200, 100, 40));
  img.At(1, 0) = magenta;
  EXPECT_EQ(b.SetBitmaps(CButtonSTImage(), magenta), BUTTONST_INVALID_RESOURCE);
  EXPECT_EQ(b.SetBitmaps(img, magenta, BUTTONST_IMAGE_DARKER), BUTTONST_OK);
  EXPECT_EQ(b.m_images[1].image.At(0, 0), RGB(150, 75, 30));
  b.SetWindowText("");  // no caption: the image is centred
  auto fills = [&](COLORREF c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(c));
    int n = 0;
    for (const std::string& o : Paint(b))
      if (o.rfind("fill", 0) == 0 && o.find(hex) != std::string::npos) ++n;
    return n;
  };
  ::SetFocus(nullptr);
  EXPECT_EQ(fills(RGB(200, 100, 40)), 2);  // two runs around the transparent pixel
  EXPECT_EQ(fills(magenta), 0);
  EXPECT_EQ(fills(RGB(0, 0, 0)), 0);  // the transparent pixel is not drawn in any colour
  b.SendMessage(BM_SETSTATE, TRUE);
  EXPECT_EQ(fills(RGB(150, 75, 30)), 2);
  EXPECT_EQ(fills(RGB(200, 100, 40)), 0);
  EXPECT_EQ(fills(magenta), 0);  // the generated image keeps its own mask
  b.SendMessage(BM_SETSTATE, FALSE);
}

TEST_F(SupportControlsTest, CheckBoxModeTogglesAndAnswersTheCheckMessages) {
  CButtonST& c = dlg.m_check;
  EXPECT_TRUE(c.m_bIsCheckBox);
  input::Click(c.m_hWnd);
  EXPECT_EQ(c.GetCheck(), 1);
  EXPECT_EQ(c.SendMessage(BM_GETCHECK), 1);
  input::Click(c.m_hWnd);
  EXPECT_EQ(c.GetCheck(), 0);
  for (WPARAM v : {WPARAM{2}, WPARAM{1}, WPARAM{3}, WPARAM{0}}) {
    c.SendMessage(BM_SETCHECK, v);
    EXPECT_EQ(c.GetCheck(), v == 1 || v == 2 ? 1 : 0) << v;
  }
  // Outside check-box mode SetCheck does nothing.
  dlg.m_btn.SetCheck(1);
  EXPECT_EQ(dlg.m_btn.GetCheck(), 0);
}

TEST_F(SupportControlsTest, FlatButtonLightsUpUnderThePointer) {
  CButtonST& b = dlg.m_btn;
  b.SetAlwaysTrack(TRUE);
  b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));  // held from elsewhere: stays dark
  EXPECT_FALSE(b.m_bMouseOnButton);
  b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(b.m_bMouseOnButton);
  b.SendMessage(WM_MOUSELEAVE);
  EXPECT_FALSE(b.m_bMouseOnButton);
  b.SetFlat(FALSE);
  b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_FALSE(b.m_bMouseOnButton);
}

TEST_F(SupportControlsTest, LabelBlinksAndStopsCleanly) {
  CLabel& l = dlg.m_label;
  l.FlashText(true);
  l.SendMessage(WM_TIMER, 1);
  EXPECT_EQ(l.GetWindowText(), "");
  l.FlashText(false);
  EXPECT_EQ(l.GetWindowText(), "Alarm");
  l.SetText("new");
  l.FlashText(false);  // nothing stale comes back
  EXPECT_EQ(l.GetWindowText(), "new");
  l.FlashText(true);
  l.SendMessage(WM_TIMER, 1);
  l.FlashBackground(false);  // a stop of the other kind still puts the text back
  EXPECT_EQ(l.GetWindowText(), "new");

  // Colours: the background brush normally, the blink brush in the off phase.
  l.SetBkColor(RGB(1, 1, 1));
  CDC dc;
  auto brush = [&] {
    return reinterpret_cast<HBRUSH>(dlg.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                                                    reinterpret_cast<LPARAM>(l.GetSafeHwnd())));
  };
  dlg.ExcludeFromColoring(&l);
  EXPECT_EQ(brush()->color, RGB(1, 1, 1));
  l.FlashBackground(true);
  EXPECT_EQ(brush()->color, GetSysColor(COLOR_3DFACE));
  l.SendMessage(WM_TIMER, 1);
  EXPECT_EQ(brush()->color, RGB(1, 1, 1));
  l.FlashBackground(false);
}

TEST_F(SupportControlsTest, LabelDrawsInItsOwnFont) {
  CLabel& l = dlg.m_label;
  l.SetFontName("Arial").SetFontSize(11).SetFontBold(true).SetFontUnderline(true);
  LOGFONT lf;
  ASSERT_NE(l.GetFont(), nullptr);
  l.GetFont()->GetLogFont(&lf);
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfUnderline, 1);
  // A face name longer than a LOGFONT holds is cut to 31 characters.
  l.SetFontName("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij");
  l.GetFont()->GetLogFont(&lf);
  EXPECT_EQ(std::string(lf.lfFaceName), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
  l.SetFontName(nullptr);  // no face name at all
  l.GetFont()->GetLogFont(&lf);
  EXPECT_STREQ(lf.lfFaceName, "");
}

TEST_F(SupportControlsTest, LabelOpensItsTextOnlyAsALink) {
  CLabel& l = dlg.m_label;
  l.SetText("https://example.org/support");
  l.SetLink(false);
  l.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_TRUE(g_opened.empty());
  l.SetLink(true);
  EXPECT_TRUE(l.GetStyle() & SS_NOTIFY);
  l.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(g_opened, (std::vector<std::string>{"https://example.org/support"}));
  // The link cursor shows over it.
  l.SetLinkCursor(LoadCursor(nullptr, MAKEINTRESOURCE(133)));
  ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
  EXPECT_TRUE(l.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(l.GetSafeHwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(::GetCursor(), LoadCursor(nullptr, IDC_HAND));
}

TEST_F(SupportControlsTest, AboutBoxShowsVersionValuesAndBuildText) {
  for (bool fail : {false, true}) {
    SetVersionInfoFailureForTesting(fail);
    CAboutDlg about("Dec  7 2026", "05:00:00");
    std::string built, description, version, copyright, trademarks;
    COLORREF linkColour = 0;
    int peakBars = 0, axes = 0;
    std::set<std::string> barLefts;  // "fill <left>" of each bar
    PostTask([&] {
      built = about.GetDlgItem(IDC_ABOUT_BUILT)->GetWindowText();
      description = about.GetDlgItem(2026)->GetWindowText();
      version = about.GetDlgItem(IDC_ABOUT_FILE_VERSION)->GetWindowText();
      copyright = about.GetDlgItem(2028)->GetWindowText();
      linkColour = about.m_wndLink1.m_crText;
      qav::ui::RecordingPainter chart;
      qav::ui::PaintOwnerDrawn(about.GetDlgItem(IDC_ABOUT_PICTURE_CHART)->m_hWnd, chart);
      for (const std::string& op : chart.ops) {
        peakBars += op.find("2850D2") != std::string::npos;
        axes += op.find("403028") != std::string::npos;
        if (op.find("2850D2") != std::string::npos || op.find("C8783C") != std::string::npos)
          barLefts.insert(op.substr(0, op.find(',')));
      }
      about.End(IDOK);
    });
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_EQ(built, "Built  Dec  7 2026  05:00:00");
    EXPECT_EQ(linkColour, RGB(0, 0, 255));
    EXPECT_EQ(peakBars, 6);  // the chart marks 6-9 and 16-19 o'clock
    EXPECT_EQ(axes, 2);
    EXPECT_EQ(barLefts.size(), 24u);  // the hours stand side by side
    if (fail) {
      EXPECT_EQ(description, "FileDescription");
      EXPECT_EQ(version, "File Version 0.0.0.0");
      EXPECT_EQ(copyright, "LegalCopyright");
    } else {
      EXPECT_NE(description, "FileDescription");
      EXPECT_EQ(version.rfind("File Version ", 0), 0u);
      EXPECT_NE(version, "File Version 0.0.0.0");
      EXPECT_NE(copyright, "LegalCopyright");
    }
  }
}

// A picture painter that stops at the first fill wholly outside the 100 x 80 control.
struct ClippedPainter : qav::ui::RecordingPainter {
  void FillRect(const RECT& r, COLORREF c) override {
    if (r.right <= 0 || r.bottom <= 0 || r.left >= 100 || r.top >= 80) throw std::out_of_range("fill outside the control");
    RecordingPainter::FillRect(r, c);
  }
};

TEST(AboutPicture, EveryShapeShowsInTheControl) {
  for (int id : {142, 144, 145}) {
    CAboutPicture picture(id);
    ClippedPainter p;
    CDC dc(&p);
    DRAWITEMSTRUCT dis;
    dis.hDC = dc.GetSafeHdc();
    dis.rcItem = RECT{0, 0, 100, 80};
    EXPECT_NO_THROW(picture.DrawItem(&dis)) << id;
    EXPECT_GT(p.ops.size(), 10u) << id;
  }
}

TEST_F(SupportControlsTest, FolderPickerKeepsThePathOnCancel) {
  std::string startSeen, titleSeen;
  bool choose = false;
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest& r, std::string& path) {
    startSeen = r.initialPath;
    titleSeen = r.title;
    if (choose) path = "/data/archive";
    return choose;
  });
  CDirectoryBrowse browse(dlg.m_hWnd);
  EXPECT_EQ(browse.Browse(), IDCANCEL);  // empty path: the chooser's own default place
  EXPECT_EQ(startSeen, "");
  EXPECT_EQ(titleSeen, "Select Directory");
  browse.m_strPath = "/srv/old";
  EXPECT_EQ(browse.Browse(), IDCANCEL);
  EXPECT_STREQ(browse.m_strPath.m_pData, "/srv/old");
  EXPECT_EQ(startSeen, "/srv/old");
  choose = true;
  EXPECT_EQ(browse.Browse(), IDOK);
  EXPECT_STREQ(browse.m_strPath.m_pData, "/data/archive");
}

}  // namespace
