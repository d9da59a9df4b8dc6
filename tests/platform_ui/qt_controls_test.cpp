// Every control kind driven by Qt's key and mouse events on the real widgets, and what the user
// does to lists, spins and edits that the window system must follow.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTextEdit>
#include <QTimeEdit>
#include <QToolButton>

#include <string>
#include <vector>

#define QAV_DEMO_IMPL
#include "demo_dialog.h"
#include "platform/ui/input.h"
#include "qt_fixture.h"

namespace {

using namespace demo;

class QtControlsTest : public QtUiTest {
 protected:
  void SetUp() override {
    QtUiTest::SetUp();
    RegisterDialogTemplate(&kDemo);
    ASSERT_TRUE(dlg.Create(9300));
    dlg.ShowWindow(SW_SHOW);
    Settle();
  }
  void TearDown() override {
    dlg.DestroyWindow();
    QtUiTest::TearDown();
  }

 public:
  QWidget* Item(int id) { return W(::GetDlgItem(dlg.m_hWnd, id)); }
  DemoDlg dlg;
};

struct ControlCase {
  const char* what;
  std::function<void(QtControlsTest&)> act;
  std::function<void(QtControlsTest&)> check;
};

TEST_F(QtControlsTest, EachControlKindTakesTheUsersInput) {
  const ControlCase cases[] = {
      {"typing in an edit",
       [](QtControlsTest& t) {
         QWidget* e = t.Item(IDC_NAME);
         QTest::mouseClick(e, Qt::LeftButton);
         static_cast<QLineEdit*>(e)->selectAll();
         QTest::keyClicks(e, "Depot 7");
       },
       [](QtControlsTest& t) { EXPECT_EQ(t.dlg.GetDlgItem(IDC_NAME)->GetWindowText(), "Depot 7"); }},
      {"a check box clicked",
       [](QtControlsTest& t) { QTest::mouseClick(t.Item(IDC_AUTO), Qt::LeftButton, {}, QPoint(5, 5)); },
       [](QtControlsTest& t) { EXPECT_EQ(t.dlg.IsDlgButtonChecked(IDC_AUTO), static_cast<UINT>(BST_UNCHECKED)); }},
      {"a radio button clicked",
       [](QtControlsTest& t) { QTest::mouseClick(t.Item(IDC_SHEET), Qt::LeftButton, {}, QPoint(5, 5)); },
       [](QtControlsTest& t) {
         EXPECT_EQ(t.dlg.GetCheckedRadioButton(IDC_TEXT, IDC_SHEET), IDC_SHEET);
       }},
      {"a list line clicked",
       [](QtControlsTest& t) {
         auto* v = static_cast<QListView*>(t.Item(IDC_LIST));
         QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(v->model()->index(2, 0)).center());
       },
       [](QtControlsTest& t) {
         EXPECT_EQ(t.dlg.m_list.GetCurSel(), 2);
         ASSERT_FALSE(t.dlg.notices.empty());
         EXPECT_EQ(t.dlg.notices.back(), "sel 2");
       }},
      {"the down key in a list",
       [](QtControlsTest& t) { QTest::keyClick(t.Item(IDC_LIST), Qt::Key_Down); },
       [](QtControlsTest& t) { EXPECT_EQ(t.dlg.m_list.GetCurSel(), 3); }},
      {"a combo box stepped with the keyboard",
       [](QtControlsTest& t) { QTest::keyClick(t.Item(IDC_KIND), Qt::Key_Down); },
       [](QtControlsTest& t) { EXPECT_EQ(static_cast<CComboBox*>(t.dlg.GetDlgItem(IDC_KIND))->GetCurSel(), 1); }},
      {"a slider moved with the keyboard",
       [](QtControlsTest& t) { QTest::keyClick(t.Item(IDC_SLIDER), Qt::Key_Right); },
       [](QtControlsTest& t) { EXPECT_EQ(static_cast<CSliderCtrl*>(t.dlg.GetDlgItem(IDC_SLIDER))->GetPos(), 5); }},
      {"a time stepped with the up key",
       [](QtControlsTest& t) { QTest::keyClick(t.Item(IDC_TIME), Qt::Key_Up); },
       [](QtControlsTest& t) {
         SYSTEMTIME st;
         static_cast<CDateTimeCtrl*>(t.dlg.GetDlgItem(IDC_TIME))->GetTime(&st);
         EXPECT_EQ(st.wHour, 7);
         EXPECT_EQ(st.wMinute, 30);
       }},
      {"a push button clicked",
       [](QtControlsTest& t) { QTest::mouseClick(t.Item(IDC_PUSH), Qt::LeftButton); },
       [](QtControlsTest& t) { EXPECT_EQ(t.dlg.notices.back(), "push"); }},
      {"a push button by its mnemonic",
       [](QtControlsTest& t) {
         t.dlg.notices.clear();
         QTest::keyClick(t.Item(IDC_NAME), Qt::Key_P, Qt::AltModifier);
       },
       [](QtControlsTest& t) {
         QTest::qWait(150);  // a button pressed by its mnemonic shows itself pressed a moment
         EXPECT_EQ(t.dlg.notices, std::vector<std::string>{"push"});
       }},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.what);
    c.act(*this);
    Settle();
    c.check(*this);
  }
}

TEST_F(QtControlsTest, DrawnLikeTheirStateRightAlignedDefaultAndOwnerDrawn) {
  dlg.SetDlgItemText(IDC_COUNT, "5");
  Settle();
  auto* count = static_cast<QLineEdit*>(Item(IDC_COUNT));
  EXPECT_TRUE(count->alignment() & Qt::AlignRight);
  EXPECT_TRUE(static_cast<QPushButton*>(Item(IDOK))->isDefault());
  QImage colour = Item(IDC_COLOUR)->grab().toImage();
  EXPECT_EQ(colour.pixelColor(colour.width() / 4, colour.height() / 4), QColor(0, 0, 100));
  EXPECT_TRUE(W(dlg)->windowIcon().isNull());
  dlg.SetIcon(LoadIcon(nullptr, MAKEINTRESOURCE(233)), TRUE);
  EXPECT_FALSE(W(dlg)->windowIcon().isNull());
  // A rich edit shows its latest text only.
  for (const char* text : {"first", "second"}) {
    dlg.SetDlgItemText(IDC_RICH, text);
    Settle();
  }
  EXPECT_EQ(static_cast<QTextEdit*>(Item(IDC_RICH))->toPlainText().toStdString(), "second");
}

class Notices : public CDialog {
 public:
  explicit Notices(UINT id) : CDialog(id) {}
  std::vector<std::string> log;
  void OnKill() { log.push_back("kill " + GetDlgItem(IDC_COUNT)->GetWindowText()); }
  void OnDelta(NMHDR* h, LRESULT* r) {
    log.push_back("delta " + std::to_string(reinterpret_cast<NMUPDOWN*>(h)->iDelta));
    *r = 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Notices, CDialog)
  ON_EN_KILLFOCUS(IDC_COUNT, &Notices::OnKill)
  ON_NOTIFY(UDN_DELTAPOS, IDC_SPIN, &Notices::OnDelta)
END_MESSAGE_MAP()

// The edit's value is taken when it loses the focus, before the spin's step uses it.
TEST_F(QtControlsTest, SpinClickAfterTypingComesAfterTheEditsKillFocus) {
  Notices n(9300);
  ASSERT_TRUE(n.Create(9300));
  n.ShowWindow(SW_SHOW);
  Settle();
  QWidget* edit = W(::GetDlgItem(n.m_hWnd, IDC_COUNT));
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClicks(edit, "8");
  auto* spin = W(::GetDlgItem(n.m_hWnd, IDC_SPIN));
  auto arrows = spin->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  QToolButton* up = arrows[0]->arrowType() == Qt::UpArrow ? arrows[0] : arrows[1];
  QTest::mouseClick(up, Qt::LeftButton);
  // The range was never set: it runs from 100 down to 0, so up is a step of -1.
  EXPECT_EQ(n.log, (std::vector<std::string>{"kill 8", "delta -1"}));
  n.DestroyWindow();
}

class ClickList : public CListBox {
 public:
  int clicked = -1;
  void OnRButtonDown(UINT, CPoint p) {
    BOOL outside = FALSE;
    clicked = static_cast<int>(ItemFromPoint(p, outside));
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClickList, CListBox)
  ON_WM_RBUTTONDOWN()
END_MESSAGE_MAP()

// The user's scrolling moves the list's first line, so a right click finds the line under it.
TEST_F(QtControlsTest, RightClickAfterScrollingFindsTheLineUnderThePointer) {
  ClickList list;
  HWND h = ::GetDlgItem(dlg.m_hWnd, IDC_LIST);
  dlg.m_list.UnsubclassWindow();
  ASSERT_TRUE(list.SubclassWindow(h));
  list.ResetContent();
  for (int i = 0; i < 300; ++i) list.AddString(("line " + std::to_string(i)).c_str());
  Settle();
  CFont big;  // the view's lines take the new font's height, as item-from-point does
  big.CreatePointFont(140, "Courier New");
  list.SetFont(&big);
  Settle();
  auto* v = static_cast<QListView*>(W(h));
  v->verticalScrollBar()->setValue(120);  // as a drag of the scroll bar does
  Settle();
  EXPECT_EQ(list.GetTopIndex(), 120);
  QRect third = v->visualRect(v->model()->index(122, 0));
  QTest::mouseClick(v->viewport(), Qt::RightButton, {}, third.center());
  EXPECT_EQ(list.clicked, 122);
  // The program's own scrolling moves the view, too.
  list.SetTopIndex(7);
  Settle();
  EXPECT_EQ(v->indexAt(QPoint(1, 1)).row(), 7);
  list.UnsubclassWindow();
}

// A line changed in place (as many lines as before) still makes the view fetch its lines again.
TEST_F(QtControlsTest, ListChangedInPlaceRefreshesItsView) {
  dlg.m_list.ResetContent();
  dlg.m_list.AddString("a");
  dlg.m_list.AddString("b");
  Settle();
  auto* v = static_cast<QListView*>(Item(IDC_LIST));
  QSignalSpy reset(v->model(), &QAbstractItemModel::modelReset);
  dlg.m_list.DeleteString(0);
  dlg.m_list.InsertString(0, "z");
  Settle();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(v->model()->data(v->model()->index(0, 0)).toString().toStdString(), "z");
}

// Lines beyond what fits are shown in further columns, each as wide as the program asks.
TEST_F(QtControlsTest, MultiColumnListFlowsIntoColumns) {
  static const DialogTemplate months{9310, "Months", 120, 60, {{Ctl::ListBox, 9311, "", LBS_MULTICOLUMN, 7, 7, 106, 30}}};
  RegisterDialogTemplate(&months);
  CDialog d(9310);
  ASSERT_TRUE(d.Create(9310));
  d.ShowWindow(SW_SHOW);
  auto* list = static_cast<CListBox*>(d.GetDlgItem(9311));
  list->SendMessage(LB_SETCOLUMNWIDTH, 32);
  for (const char* m : {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}) list->AddString(m);
  Settle();
  auto* v = static_cast<QListView*>(W(list->m_hWnd));
  QRect first = v->visualRect(v->model()->index(0, 0));
  QRect last = v->visualRect(v->model()->index(11, 0));
  EXPECT_EQ(first.width(), 32);
  EXPECT_GE(last.left(), 64);  // three lines a column or so: the twelfth is columns away
  d.DestroyWindow();
}

}  // namespace
