// Colours a dialog gives itself and its controls through the colour messages, as the Qt widgets
// draw them: a dialog's own brush, a label's brush under transparent text, a hollow label.
#include <QFontDatabase>
#include <QImage>
#include <QWidget>

#include <cstring>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/gdi.h"
#include "platform/ui/qt_internal.h"
#include "qt_fixture.h"

namespace {

enum : int { IDC_TITLE = 9701, IDC_PLAIN, IDC_HOLLOW, IDC_OFF, IDC_CHECK, IDC_RADIO, IDC_GROUP, IDC_OVER, IDC_LINES };

const DialogTemplate kColoured{9700, "Colours", 160, 95,
                               {
                                   {Ctl::Static, IDC_TITLE, "", 0, 0, 0, 160, 14},
                                   {Ctl::Static, IDC_PLAIN, "", 0, 7, 20, 60, 10},
                                   {Ctl::Static, IDC_HOLLOW, "", 0, 7, 34, 60, 10},
                                   {Ctl::Static, IDC_OFF, "Off", WS_DISABLED, 80, 34, 60, 10},
                                   {Ctl::CheckBox, IDC_CHECK, "Check", 0, 7, 46, 60, 10},
                                   {Ctl::Radio, IDC_RADIO, "Radio", WS_GROUP, 80, 46, 60, 10},
                                   {Ctl::GroupBox, IDC_GROUP, "Hidden title", 0, 7, 58, 100, 30},
                                   {Ctl::CheckBox, IDC_OVER, "", 0, 9, 58, 80, 9},
                                   {Ctl::ListBox, IDC_LINES, "", WS_BORDER, 112, 58, 40, 30},
                               }};

const COLORREF kBlue = RGB(0, 0, 128);
const COLORREF kWhite = RGB(255, 255, 255);

// A label with a background of its own, answered when its parent lets it (reflected).
class OwnLabel : public CStatic {
 public:
  CBrush brush{kBlue};
  HBRUSH CtlColor(CDC* dc, UINT ctlColor) {
    if (ctlColor != 6) return nullptr;  // CTLCOLOR_STATIC: asked as what it is, a label
    dc->SetTextColor(kWhite);
    dc->SetBkMode(TRANSPARENT);
    return brush;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(OwnLabel, CStatic)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

// Paints itself and every control with one brush and one text colour, transparent text, except
// the title, which keeps its own colours; the hollow label gets no brush at all.
class ColouredDlg : public CDialog {
 public:
  ColouredDlg() : CDialog(9700) {}
  CBrush back{kWhite};
  COLORREF text = RGB(0, 0, 139);
  OwnLabel title;
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    title.SubclassDlgItem(IDC_TITLE, this);
    return TRUE;
  }
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
    if (wnd != nullptr && wnd->GetDlgCtrlID() == IDC_TITLE) return CDialog::OnCtlColor(dc, wnd, ctlColor);
    dc->SetTextColor(text);
    dc->SetBkMode(TRANSPARENT);
    if (wnd != nullptr && wnd->GetDlgCtrlID() == IDC_HOLLOW) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    return back;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ColouredDlg, CDialog)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

class QtColoursTest : public QtUiTest {
 protected:
  void SetUp() override {
    QtUiTest::SetUp();
    RegisterDialogTemplate(&kColoured);
    ASSERT_TRUE(dlg.Create(9700, nullptr));
    dlg.ShowWindow(SW_SHOW);
    Settle();
  }
  QWidget* Item(int id) { return W(::GetDlgItem(dlg.m_hWnd, id)); }
  // The colour a control shows near its top right corner (where no text or check mark is).
  std::string Back(int id) {
    QImage shot = W(dlg)->grab().toImage();
    QPoint at = Item(id)->mapTo(W(dlg), QPoint(Item(id)->width() - 2, 1));
    return Hex(shot.pixelColor(at));
  }
  static std::string Hex(const QColor& c) { return c.name().toStdString(); }
  ColouredDlg dlg;
};

TEST_F(QtColoursTest, BrushesFillUnderTransparentTextAndAHollowLabelShowsItsDialog) {
  struct Case {
    const char* what;
    int id;
    const char* back;
  };
  for (const Case& c : {Case{"the dialog's brush behind a label", IDC_PLAIN, "#ffffff"},
                        Case{"a label's own brush", IDC_TITLE, "#000080"},
                        Case{"a hollow label shows its dialog", IDC_HOLLOW, "#ffffff"},
                        Case{"a check box on the dialog's brush", IDC_CHECK, "#ffffff"},
                        Case{"a radio button on the dialog's brush", IDC_RADIO, "#ffffff"}}) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Back(c.id), c.back);
  }
  QImage whole = W(dlg)->grab().toImage();
  QPoint inside = Item(IDC_GROUP)->geometry().center();
  EXPECT_EQ(Hex(whole.pixelColor(inside)), "#ffffff") << "a group box's inside is not filled";
  QRect title = Item(IDC_OVER)->geometry();
  for (int x = title.left() + 20; x < title.right(); ++x)
    ASSERT_EQ(Hex(whole.pixelColor(x, title.center().y())), "#ffffff") << "a check box placed over a title hides it";
  EXPECT_EQ(Hex(whole.pixelColor(whole.width() - 3, whole.height() - 3)), "#ffffff") << "the dialog's own brush";
  EXPECT_EQ(Hex(Item(IDC_PLAIN)->palette().color(QPalette::Active, QPalette::WindowText)), "#00008b");
  EXPECT_EQ(Hex(Item(IDC_RADIO)->palette().color(QPalette::Active, QPalette::WindowText)), "#00008b");
  EXPECT_EQ(Hex(Item(IDC_TITLE)->palette().color(QPalette::Active, QPalette::WindowText)), "#ffffff");
  EXPECT_NE(Hex(Item(IDC_OFF)->palette().color(QPalette::Disabled, QPalette::WindowText)), "#00008b")
      << "a disabled label keeps the style's grey";
}

TEST_F(QtColoursTest, ANewBrushOfTheDialogReachesItsControlsOnTheNextRepaint) {
  dlg.back.DeleteObject();
  dlg.back.CreateSolidBrush(RGB(200, 230, 200));
  dlg.text = RGB(120, 0, 0);
  dlg.Invalidate();
  Settle();
  EXPECT_EQ(Back(IDC_PLAIN), "#c8e6c8");
  EXPECT_EQ(Back(IDC_HOLLOW), "#c8e6c8");
  EXPECT_EQ(Hex(Item(IDC_HOLLOW)->palette().color(QPalette::Active, QPalette::WindowText)), "#780000");
  // A list box takes the brush for its lines' background and the text colour for its lines.
  EXPECT_EQ(Hex(Item(IDC_LINES)->palette().color(QPalette::Active, QPalette::Base)), "#c8e6c8");
  EXPECT_EQ(Hex(Item(IDC_LINES)->palette().color(QPalette::Active, QPalette::Text)), "#780000");
}

// Faces of fixed-pitch families are drawn in the system's fixed font, any other in the program's.
class QtFonts : public QtUiTest {};

TEST_F(QtFonts, FixedPitchFacesDrawInTheFixedFont) {
  const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  if (fixed == QApplication::font().family()) GTEST_SKIP() << "one font family for both";
  const std::pair<const char*, bool> faces[] = {{"Courier New", true}, {"Fixedsys", true}, {"Noto Mono", true},
                                                {"Lucida Console", true}, {"MS Shell Dlg", false}};
  for (const auto& [face, isFixed] : faces) {
    HFONT__ f{};
    std::strncpy(f.lf.lfFaceName, face, sizeof f.lf.lfFaceName - 1);
    f.lf.lfHeight = 12;
    EXPECT_EQ(qav::ui::qt::FontOf(&f).family() == fixed, isFixed) << face;
  }
}

}  // namespace
