// Every control kind driven by Qt's key and mouse events on the real widgets, and what the user
// does to lists, spins and edits that the window system must follow.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTextEdit>
#include <QTimeEdit>
#include <QToolButton>

#include <map>
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
      {"typing past an edit's text limit",
       [](QtControlsTest& t) {
         static_cast<CEdit*>(t.dlg.GetDlgItem(IDC_NAME))->LimitText(1);  // the smallest limit
         QWidget* e = t.Item(IDC_NAME);
         QTest::mouseClick(e, Qt::LeftButton);
         static_cast<QLineEdit*>(e)->selectAll();
         QTest::keyClicks(e, "Depot 7");
       },
       [](QtControlsTest& t) {
         EXPECT_EQ(t.dlg.GetDlgItem(IDC_NAME)->GetWindowText(), "D");
         EXPECT_EQ(static_cast<QLineEdit*>(t.Item(IDC_NAME))->text(), "D");  // what the user sees
       }},
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
      {"a line added to a combo box and chosen by the program",
       [](QtControlsTest& t) {
         auto* kind = static_cast<CComboBox*>(t.dlg.GetDlgItem(IDC_KIND));
         kind->SetCurSel(kind->AddString("Extra"));
       },
       [](QtControlsTest& t) { EXPECT_EQ(static_cast<QComboBox*>(t.Item(IDC_KIND))->currentText(), "Extra"); }},
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

// A click on a button that its rules leave as it is (the chosen radio button of a group, a
// manual check box its dialog does not check) leaves it looking as it is: the screen always
// shows the choice the program will use.
TEST_F(QtControlsTest, AClickThatChangesNoCheckLeavesEveryButtonShowingItsState) {
  ::SendMessage(::GetDlgItem(dlg.m_hWnd, IDC_AUTO), BM_SETSTYLE, BS_CHECKBOX, TRUE);
  const struct {
    int clicked;
    bool space;  // the Space key on the focused button instead of a click
  } cases[] = {{IDC_SHEET, false}, {IDC_SHEET, false}, {IDC_SHEET, true}, {IDC_TEXT, false}, {IDC_TEXT, false},
               {IDC_AUTO, false}, {IDC_AUTO, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.clicked) + (c.space ? " by Space" : " by a click"));
    if (c.space) {
      Item(c.clicked)->setFocus();
      QTest::keyClick(Item(c.clicked), Qt::Key_Space);
    } else {
      QTest::mouseClick(Item(c.clicked), Qt::LeftButton, {}, QPoint(5, 5));
    }
    Settle();
    for (int id : {IDC_TEXT, IDC_SHEET, IDC_AUTO})
      EXPECT_EQ(static_cast<QAbstractButton*>(Item(id))->isChecked(), dlg.IsDlgButtonChecked(id) == BST_CHECKED) << id;
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_TEXT, IDC_SHEET), c.clicked == IDC_AUTO ? IDC_TEXT : c.clicked);
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

// A button the user holds down is shown again while it is down (its window became active under
// the press and gave it the focus); released, it clicks.
TEST_F(QtControlsTest, AButtonShownAgainWhileHeldDownStillClicks) {
  auto* push = static_cast<QPushButton*>(Item(IDC_PUSH));
  dlg.notices.clear();
  QTest::mousePress(push, Qt::LeftButton);
  ::SetWindowText(::GetDlgItem(dlg.m_hWnd, IDC_PUSH), "&Push");
  Settle();
  QTest::mouseRelease(push, Qt::LeftButton);
  Settle();
  EXPECT_EQ(dlg.notices, std::vector<std::string>{"push"});
}

// A list with a horizontal scroll bar (a status list) scrolls sideways to its longest line, which
// is shown whole, not cut at the list's width; a short line's highlight still spans the list.
TEST_F(QtControlsTest, ListWithAHorizontalScrollBarShowsItsLongestLineWhole) {
  static const DialogTemplate status{9312, "Status", 120, 60, {{Ctl::ListBox, 9313, "", WS_VSCROLL | WS_HSCROLL, 0, 0, 120, 60}}};
  RegisterDialogTemplate(&status);
  CDialog d(9312);
  ASSERT_TRUE(d.Create(9312));
  d.ShowWindow(SW_SHOW);
  auto* list = static_cast<CListBox*>(d.GetDlgItem(9313));
  const std::string longLine = "The maximum recommended number of report columns [256] has been exceeded [2880]";
  list->AddString("Data Sorted...");
  list->AddString(longLine.c_str());
  Settle();
  auto* v = static_cast<QListView*>(W(list->m_hWnd));
  const int text = QFontMetrics(v->font()).horizontalAdvance(QString::fromStdString(longLine));
  ASSERT_GT(text, v->viewport()->width());
  EXPECT_GE(v->visualRect(v->model()->index(1, 0)).width(), text);
  EXPECT_GE(v->visualRect(v->model()->index(0, 0)).width(), v->viewport()->width());
  EXPECT_GE(v->horizontalScrollBar()->maximum(), text - v->viewport()->width());
  d.DestroyWindow();
}

}  // namespace

namespace {

// Keys in each kind of list: the focus line, the selection and the selection-change notices
// follow the keys as they follow clicks.
enum : int { IDC_SINGLE = 9321, IDC_EXTENDED, IDC_MULTIPLE, IDC_ROW };
const DialogTemplate kLists{9320, "Lists", 300, 110,
                            {{Ctl::ListBox, IDC_SINGLE, "", WS_BORDER, 7, 7, 60, 50},
                             {Ctl::ListBox, IDC_EXTENDED, "", LBS_EXTENDEDSEL | WS_BORDER, 74, 7, 60, 50},
                             {Ctl::ListBox, IDC_MULTIPLE, "", LBS_MULTIPLESEL | WS_BORDER, 141, 7, 60, 50},
                             {Ctl::ListBox, IDC_ROW, "", LBS_MULTICOLUMN | LBS_EXTENDEDSEL | WS_BORDER, 7, 70, 100, 12}}};

struct ListsDlg : CDialog {
  ListsDlg() : CDialog(9320) {}
  std::map<int, int> selChanges;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (HIWORD(wParam) == LBN_SELCHANGE) ++selChanges[LOWORD(wParam)];
    return CDialog::OnCommand(wParam, lParam);
  }
};

struct KeyStroke {
  Qt::Key key;
  Qt::KeyboardModifiers mods = Qt::NoModifier;
};

struct ListKeyCase {
  const char* what;
  int list;
  int clicked;  // the line clicked first, -1 for none
  std::vector<KeyStroke> keys;
  std::vector<int> selected;
  int caret;
  int notices;  // selection changes sent by the keys
};

using QtListKeysTest = QtUiTest;

TEST_F(QtListKeysTest, KeysMoveTheFocusLineAndSelectionOfEachListKind) {
  const Qt::KeyboardModifiers shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
  const ListKeyCase cases[] = {
      {"single: End selects the last line", IDC_SINGLE, 2, {{Qt::Key_End}}, {11}, 11, 1},
      {"single: Home and arrows", IDC_SINGLE, -1, {{Qt::Key_Home}, {Qt::Key_Down}, {Qt::Key_Down}, {Qt::Key_Up}}, {1}, 1, 4},
      {"single: Page Down, Up past the top", IDC_SINGLE, 0, {{Qt::Key_PageDown}, {Qt::Key_Up}, {Qt::Key_Home}, {Qt::Key_Up}}, {0}, 0, 3},
      {"single: a first letter, twice", IDC_SINGLE, 0, {{Qt::Key_M}, {Qt::Key_M}}, {4}, 4, 2},
      {"extended: arrows select, Shift extends", IDC_EXTENDED, 1, {{Qt::Key_Down}, {Qt::Key_Down, shift}, {Qt::Key_Down, shift}}, {2, 3, 4}, 4, 3},
      {"extended: Shift+End, Shift+Home", IDC_EXTENDED, 5, {{Qt::Key_End, shift}, {Qt::Key_Home, shift}}, {0, 1, 2, 3, 4, 5}, 0, 2},
      {"extended: Ctrl moves the focus only, Space toggles", IDC_EXTENDED, 1, {{Qt::Key_Down, ctrl}, {Qt::Key_Down, ctrl}, {Qt::Key_Space}}, {1, 3}, 3, 1},
      {"extended: Ctrl+A", IDC_EXTENDED, 4, {{Qt::Key_A, ctrl}, {Qt::Key_A, ctrl}}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 4, 1},
      {"multiple: arrows move the focus, Space toggles", IDC_MULTIPLE, -1, {{Qt::Key_Down}, {Qt::Key_Down}, {Qt::Key_Space}, {Qt::Key_Down}, {Qt::Key_Space}, {Qt::Key_Down}}, {1, 2}, 3, 2},
      {"multiple: Space, then Shift+End", IDC_MULTIPLE, -1, {{Qt::Key_Space}, {Qt::Key_End, shift}}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 11, 2},
      {"multiple: Space untoggles a clicked line", IDC_MULTIPLE, 6, {{Qt::Key_Space}}, {}, 6, 1},
      {"one-row columns: Right, then Shift+End", IDC_ROW, 0, {{Qt::Key_Right}, {Qt::Key_End, shift}}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 11, 2},
  };
  RegisterDialogTemplate(&kLists);
  for (const ListKeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    ListsDlg d;
    ASSERT_TRUE(d.Create(9320));
    d.ShowWindow(SW_SHOW);
    auto* list = static_cast<CListBox*>(d.GetDlgItem(c.list));
    list->SendMessage(LB_SETCOLUMNWIDTH, 40);
    for (const char* m : {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}) list->AddString(m);
    Settle();
    auto* v = static_cast<QListView*>(W(list->m_hWnd));
    v->setFocus();
    if (c.clicked >= 0) QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(v->model()->index(c.clicked, 0)).center());
    d.selChanges.clear();
    for (const KeyStroke& k : c.keys) QTest::keyClick(v, k.key, k.mods);
    Settle();
    std::vector<int> selected;
    for (int i = 0; i < list->GetCount(); ++i)
      if (list->GetSel(i) > 0) selected.push_back(i);
    EXPECT_EQ(selected, c.selected);
    EXPECT_EQ(list->GetCaretIndex(), c.caret);
    EXPECT_EQ(d.selChanges[c.list], c.notices);
    // The focus frame is on the focus line, and that line is in view.
    EXPECT_EQ(v->currentIndex().row(), c.caret);
    EXPECT_TRUE(v->viewport()->rect().intersects(v->visualRect(v->model()->index(c.caret, 0))));
    d.DestroyWindow();
  }
}

}  // namespace

namespace {

// A one-row list of days in columns narrower than its lines (as the Classic form asks for):
// each column still shows its whole line, and after a range is selected by clicks and the list
// scrolled, the screen shows exactly the lines selected.
TEST_F(QtListKeysTest, MultiColumnLinesShowWholeAndKeepTheirHighlightAfterScrolling) {
  static const DialogTemplate days{9330, "Days", 120, 40, {{Ctl::ListBox, 9331, "", LBS_MULTICOLUMN | LBS_EXTENDEDSEL | WS_BORDER, 7, 7, 60, 24}}};
  RegisterDialogTemplate(&days);
  CDialog d(9330);
  ASSERT_TRUE(d.Create(9330));
  d.ShowWindow(SW_SHOW);
  auto* list = static_cast<CListBox*>(d.GetDlgItem(9331));
  list->SendMessage(LB_SETCOLUMNWIDTH, 12);
  const char* names[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
  for (const char* n : names) list->AddString(n);
  Settle();
  auto* v = static_cast<QListView*>(W(list->m_hWnd));
  const QFontMetrics fm(v->font());
  for (int i = 0; i < 7; ++i)
    EXPECT_GT(v->visualRect(v->model()->index(i, 0)).width(), fm.horizontalAdvance(names[i]) + 4) << names[i];
  auto click = [&](int line, Qt::KeyboardModifiers mods) {
    v->scrollTo(v->model()->index(line, 0));
    Settle();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, mods, v->visualRect(v->model()->index(line, 0)).center());
    Settle();
  };
  const QColor highlight = QApplication::palette().color(QPalette::Highlight);
  // What is on the screen, not a fresh drawing: a line not drawn again keeps its old look.
  auto check = [&](int i) {
    SCOPED_TRACE(names[i]);
    const bool selected = i >= 4;
    EXPECT_EQ(list->GetSel(i) > 0, selected);
    const QRect r = v->visualRect(v->model()->index(i, 0));
    const QPoint at = v->viewport()->mapTo(v->window(), r.topLeft() + QPoint(2, 2));
    const QColor c = v->screen()->grabWindow(v->window()->winId(), at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
    // The highlight, perhaps tinted where the pointer rests or the focus frame runs.
    const bool lit = std::abs(c.red() - highlight.red()) + std::abs(c.green() - highlight.green()) +
                         std::abs(c.blue() - highlight.blue()) < 90;
    EXPECT_EQ(lit, selected) << c.name().toStdString();
  };
  click(3, {});                 // WED
  click(4, {});                 // THU alone
  click(6, Qt::ShiftModifier);  // THU to SAT
  for (int i = 0; i < 7; ++i)
    if (v->viewport()->rect().contains(v->visualRect(v->model()->index(i, 0)).topLeft() + QPoint(2, 2))) check(i);
  for (int value : {0, v->horizontalScrollBar()->maximum() / 2, v->horizontalScrollBar()->maximum(), 0}) {
    v->horizontalScrollBar()->setValue(value);  // as a drag of the scroll bar does
    Settle();
  }
  for (int i = 0; i < 7; ++i) {
    v->scrollTo(v->model()->index(i, 0));
    Settle();
    check(i);
  }
  d.DestroyWindow();
}

}  // namespace

namespace {

// A multi-column list three lines high whose lines do not all fit across: it shows three lines a
// column, top to bottom, then the next column, and no scroll bar takes their place. The keys, the
// clicks (Shift extending the selection) and item-from-point find the lines where they are drawn.
TEST_F(QtListKeysTest, MultiColumnListLaysItsLinesOutTopToBottomThenInColumns) {
  RegisterDialogTemplate(&kLists);
  ListsDlg d;
  ASSERT_TRUE(d.Create(9320));
  d.ShowWindow(SW_SHOW);
  auto* list = static_cast<CListBox*>(d.GetDlgItem(IDC_ROW));
  const int rows = 3;
  list->SetWindowPos(nullptr, 0, 0, 100, rows * list->GetItemHeight(0) + 4, SWP_NOMOVE | SWP_NOZORDER);
  list->SendMessage(LB_SETCOLUMNWIDTH, 40);
  for (const char* m : {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}) list->AddString(m);
  Settle();
  auto* v = static_cast<QListView*>(W(list->m_hWnd));
  auto at = [&](int line) { return v->visualRect(v->model()->index(line, 0)); };
  for (int line = 0; line < 12; ++line) {
    SCOPED_TRACE(line);
    EXPECT_EQ(at(line).top(), at(line % rows).top());
    EXPECT_EQ(at(line).left(), at(line - line % rows).left());
    if (line % rows == 0 && line > 0) { EXPECT_GT(at(line).left(), at(line - 1).left()); }
  }
  EXPECT_TRUE(v->viewport()->rect().contains(at(rows - 1)));
  auto click = [&](int line, Qt::KeyboardModifiers mods) {
    QTest::mouseClick(v->viewport(), Qt::LeftButton, mods, at(line).center());
    Settle();
  };
  auto selected = [&] {
    std::vector<int> s;
    for (int i = 0; i < list->GetCount(); ++i)
      if (list->GetSel(i) > 0) s.push_back(i);
    return s;
  };
  click(4, {});  // second column, second line
  EXPECT_EQ(selected(), std::vector<int>{4});
  QTest::keyClick(v, Qt::Key_Right);  // the line beside it
  Settle();
  EXPECT_EQ(selected(), std::vector<int>{4 + rows});
  QTest::keyClick(v, Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(v, Qt::Key_Up, Qt::ShiftModifier);
  Settle();
  EXPECT_EQ(selected(), (std::vector<int>{3, 4, 5, 6, 7}));
  click(0, {});
  click(5, Qt::ShiftModifier);
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  const QPoint p = at(7).center();
  EXPECT_EQ(LOWORD(list->SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x(), p.y()))), 7);
  d.DestroyWindow();
}

}  // namespace
