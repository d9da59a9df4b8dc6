// Control behaviour: list-box results and notices, combo boxes, spin veto, sliders, owner drawing.
#include <string>
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd_state.h"
#include "ui_fixture.h"

namespace {

namespace input = qav::ui::input;

enum : int { IDC_LIST = 2001, IDC_SORTED, IDC_MULTI, IDC_NOSEL, IDC_COMBO, IDC_SPIN, IDC_SLIDER, IDC_OWNER, IDC_EDIT };

const DialogTemplate kControls{
    9200, "Controls", 300, 200,
    {
        {Ctl::ListBox, IDC_LIST, "", 0, 7, 7, 80, 52},
        {Ctl::ListBox, IDC_SORTED, "", LBS_SORT, 90, 7, 80, 52},
        {Ctl::ListBox, IDC_MULTI, "", LBS_EXTENDEDSEL | LBS_MULTICOLUMN, 180, 7, 80, 52},
        {Ctl::ListBox, IDC_NOSEL, "", LBS_NOSEL, 7, 70, 80, 52},
        {Ctl::ComboBox, IDC_COMBO, "", 0, 90, 70, 80, 60},
        {Ctl::Edit, IDC_EDIT, "", 0, 180, 70, 40, 14},
        {Ctl::Spin, IDC_SPIN, "", 0, 220, 70, 10, 14},
        {Ctl::Slider, IDC_SLIDER, "", 0, 7, 130, 100, 15},
        {Ctl::PushButton, IDC_OWNER, "Paint", BS_OWNERDRAW, 120, 130, 50, 14},
    }};

class ColourButton : public CButton {
 public:
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    CDC* dc = CDC::FromHandle(dis->hDC);
    dc->FillSolidRect(&dis->rcItem, (dis->itemState & ODS_SELECTED) ? RGB(0, 0, 100) : RGB(200, 200, 200));
    dc->SetTextColor(RGB(255, 255, 255));
    RECT r = dis->rcItem;
    dc->DrawText("Paint", &r, DT_CENTER | DT_SINGLELINE);
  }
};

class ControlsDlg : public CDialog {
 public:
  ControlsDlg() : CDialog(9200) {}
  std::vector<std::string> notices;
  bool vetoSpin = false;
  std::vector<int> spinDeltas;
  std::vector<int> slides;
  CListBox m_list, m_sorted, m_multi;
  ColourButton m_owner;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_LIST, m_list);
    DDX_Control(dx, IDC_SORTED, m_sorted);
    DDX_Control(dx, IDC_MULTI, m_multi);
    DDX_Control(dx, IDC_OWNER, m_owner);
  }
  void OnListSel() { notices.push_back("sel"); }
  void OnListDbl() { notices.push_back("dbl"); }
  void OnComboSel() { notices.push_back("combo"); }
  void OnEditChange() { notices.push_back("change"); }
  void OnEditKill() { notices.push_back("kill"); }
  void OnEditFocus() { notices.push_back("focus"); }
  void OnSpin(NMHDR* hdr, LRESULT* result) {
    auto* ud = reinterpret_cast<NMUPDOWN*>(hdr);
    spinDeltas.push_back(ud->iDelta);
    if (vetoSpin) ud->iDelta = 0;
    *result = 0;
  }
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    if (code == SB_THUMBPOSITION) slides.push_back(static_cast<int>(pos));
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ControlsDlg, CDialog)
  ON_LBN_SELCHANGE(IDC_LIST, &ControlsDlg::OnListSel)
  ON_LBN_DBLCLK(IDC_LIST, &ControlsDlg::OnListDbl)
  ON_CBN_SELCHANGE(IDC_COMBO, &ControlsDlg::OnComboSel)
  ON_EN_CHANGE(IDC_EDIT, &ControlsDlg::OnEditChange)
  ON_EN_KILLFOCUS(IDC_EDIT, &ControlsDlg::OnEditKill)
  ON_EN_SETFOCUS(IDC_EDIT, &ControlsDlg::OnEditFocus)
  ON_NOTIFY(UDN_DELTAPOS, IDC_SPIN, &ControlsDlg::OnSpin)
  ON_WM_HSCROLL()
END_MESSAGE_MAP()

class ControlsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    RegisterDialogTemplate(&kControls);
    ASSERT_TRUE(dlg.Create(9200));
  }
  void TearDown() override {
    dlg.DestroyWindow();
    UiTest::TearDown();
  }
  HWND Item(int id) { return ::GetDlgItem(dlg.m_hWnd, id); }
  ControlsDlg dlg;
};

TEST_F(ControlsTest, ListBoxRequestsReturnTheWindowsResults) {
  CListBox& l = dlg.m_list;
  struct Step {
    const char* what;
    std::function<int()> op;
    int expect;
  };
  const Step steps[] = {
      {"add to empty", [&] { return l.AddString("b"); }, 0},
      {"add appends", [&] { return l.AddString("a"); }, 1},
      {"insert at 0", [&] { return l.InsertString(0, "first"); }, 0},
      {"insert -1 appends", [&] { return l.InsertString(-1, "last"); }, 3},
      {"insert past the end", [&] { return l.InsertString(9, "x"); }, LB_ERR},
      {"count", [&] { return l.GetCount(); }, 4},
      {"delete gives lines left", [&] { return l.DeleteString(1); }, 3},
      {"delete out of range", [&] { return l.DeleteString(3); }, LB_ERR},
      {"no selection yet", [&] { return l.GetCurSel(); }, LB_ERR},
      {"select line 0", [&] { return l.SetCurSel(0); }, 0},
      {"select line 2", [&] { return l.SetCurSel(2); }, 2},
      {"current", [&] { return l.GetCurSel(); }, 2},
      {"select out of range clears", [&] { return l.SetCurSel(5); }, LB_ERR},
      {"cleared", [&] { return l.GetCurSel(); }, LB_ERR},
      {"find exact, case ignored", [&] { return l.FindStringExact(-1, "LAST"); }, 2},
      {"find exact misses prefixes", [&] { return l.FindStringExact(-1, "las"); }, LB_ERR},
      {"find prefix", [&] { return l.FindString(-1, "fi"); }, 0},
      {"text length", [&] { return l.GetTextLen(2); }, 4},
      {"text length out of range", [&] { return l.GetTextLen(7); }, LB_ERR},
      {"negative top index clamps", [&] { return l.SetTopIndex(-6); }, 0},
      {"top index", [&] { return l.GetTopIndex(); }, 0},
      {"single box has no sel count", [&] { return l.GetSelCount(); }, LB_ERR},
  };
  for (const Step& s : steps) EXPECT_EQ(s.op(), s.expect) << s.what;
  EXPECT_EQ(l.GetTextString(0), "first");
  EXPECT_EQ(l.GetTextString(1), "a");
  l.SetCurSel(1);
  l.InsertString(0, "new");  // the selection moves with its line
  EXPECT_EQ(l.GetCurSel(), 2);
  l.DeleteString(2);  // a deleted line loses its selection
  EXPECT_EQ(l.GetCurSel(), LB_ERR);
  for (int i = 0; i < 40; ++i) l.AddString("line");
  l.SetTopIndex(30);
  l.SetCurSel(0);  // the first line selected comes into view
  EXPECT_EQ(l.GetTopIndex(), 0);
  l.ResetContent();
  EXPECT_EQ(l.GetCount(), 0);
  EXPECT_TRUE(dlg.notices.empty());  // programmatic changes send no notices
}

TEST_F(ControlsTest, ATipTextChangesOnlyItsOwnWindowsTip) {
  CToolTipCtrl tips;
  ASSERT_TRUE(tips.Create(&dlg));
  tips.AddTool(dlg.GetDlgItem(IDC_EDIT), "edit");
  tips.AddTool(dlg.GetDlgItem(IDC_LIST), "list");
  tips.UpdateTipText("typed", dlg.GetDlgItem(IDC_EDIT));
  EXPECT_EQ(qav::ui::Find(Item(IDC_EDIT))->tooltip, "typed");
  EXPECT_EQ(qav::ui::Find(Item(IDC_LIST))->tooltip, "list");
}

TEST_F(ControlsTest, SortedBoxAddsByTextIgnoringCaseInsertDoesNotSort) {
  CListBox& l = dlg.m_sorted;
  EXPECT_EQ(l.AddString("1995"), 0);
  EXPECT_EQ(l.AddString("1993"), 0);
  EXPECT_EQ(l.AddString("beta"), 2);
  EXPECT_EQ(l.AddString("Alpha"), 2);
  EXPECT_EQ(l.InsertString(0, "zzz"), 0);
  std::vector<std::string> lines;
  for (int i = 0; i < l.GetCount(); ++i) lines.push_back(l.GetTextString(i));
  EXPECT_EQ(lines, (std::vector<std::string>{"zzz", "1993", "1995", "Alpha", "beta"}));
}

TEST_F(ControlsTest, ExtendedSelectionByClicksAndByMessages) {
  CListBox& l = dlg.m_multi;
  for (const char* t : {"Jan", "Feb", "Mar", "Apr", "May"}) l.AddString(t);
  EXPECT_EQ(l.SetCurSel(1), LB_ERR);  // not for multiple-selection boxes
  input::SelectLine(l.m_hWnd, 1);
  input::SelectLine(l.m_hWnd, 3, MK_SHIFT);
  input::SelectLine(l.m_hWnd, 2, MK_CONTROL);
  int items[8] = {};
  ASSERT_EQ(l.GetSelItems(8, items), 2);
  EXPECT_EQ(items[0], 1);
  EXPECT_EQ(items[1], 3);
  EXPECT_EQ(l.GetCaretIndex(), 2);  // the caret is where the user clicked last
  EXPECT_EQ(l.SetSel(-1, TRUE), 0);
  EXPECT_EQ(l.GetSelCount(), 5);
  EXPECT_EQ(l.SetSel(9, FALSE), LB_ERR);
  l.SetColumnWidth(32);
  BOOL outside = TRUE;
  EXPECT_EQ(l.ItemFromPoint(CPoint(2, 15), outside), 1u);  // first column, second row
  EXPECT_FALSE(outside);
  EXPECT_EQ(l.ItemFromPoint(CPoint(0, 0), outside), 0u);  // the corner pixel is inside
  EXPECT_FALSE(outside);
  l.ItemFromPoint(CPoint(40, 2), outside);  // second column: all five lines fit in the first
  EXPECT_TRUE(outside);
}

TEST_F(ControlsTest, UserSelectionNotifiesAndNoSelectionBoxStaysUnselected) {
  dlg.m_list.AddString("a");
  dlg.m_list.AddString("b");
  input::SelectLine(Item(IDC_LIST), 1);
  input::DoubleClickLine(Item(IDC_LIST), 0);
  input::SelectLine(Item(IDC_LIST), 5);  // no such line: nothing
  EXPECT_EQ(dlg.notices, (std::vector<std::string>{"sel", "sel", "dbl"}));
  EXPECT_EQ(dlg.m_list.GetCurSel(), 0);
  auto* nosel = CWnd::FromHandle(Item(IDC_NOSEL));
  auto* box = static_cast<CListBox*>(nosel);
  box->AddString("x");
  input::SelectLine(Item(IDC_NOSEL), 0);
  EXPECT_EQ(box->GetCurSel(), LB_ERR);
  // Its keys scroll it: a page down, to the end, a line up, home; nothing is selected.
  for (int i = 0; i < 99; ++i) box->AddString("y");
  input::Key(Item(IDC_NOSEL), VK_NEXT);
  const int page = box->GetTopIndex();
  input::Key(Item(IDC_NOSEL), VK_END);
  const int last = box->GetTopIndex();
  input::Key(Item(IDC_NOSEL), VK_UP);
  EXPECT_GT(page, 0);
  EXPECT_GT(last, page);
  EXPECT_EQ(box->GetTopIndex(), last - 1);
  input::Key(Item(IDC_NOSEL), VK_HOME);
  EXPECT_EQ(box->GetTopIndex(), 0);
  EXPECT_EQ(box->GetCurSel(), LB_ERR);
}

TEST_F(ControlsTest, ComboEditAndFocusNotices) {
  auto* combo = static_cast<CComboBox*>(dlg.GetDlgItem(IDC_COMBO));
  combo->AddString("Daily");
  combo->AddString("Weekly");
  EXPECT_EQ(combo->SetCurSel(3), CB_ERR);
  EXPECT_EQ(combo->GetCurSel(), CB_ERR);
  input::Type(Item(IDC_EDIT), "12");
  input::SelectCombo(Item(IDC_COMBO), 1);  // the edit loses the focus first
  input::SelectCombo(Item(IDC_COMBO), 1);  // no change: no notice
  EXPECT_EQ(dlg.notices, (std::vector<std::string>{"focus", "change", "kill", "combo"}));
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_EQ(dlg.GetDlgItem(IDC_COMBO)->GetWindowText(), "Weekly");
  auto* edit = static_cast<CEdit*>(dlg.GetDlgItem(IDC_EDIT));
  edit->SetReadOnly(TRUE);
  input::Type(Item(IDC_EDIT), "99");  // refused while read-only
  EXPECT_EQ(edit->GetWindowText(), "12");
  edit->SetReadOnly(FALSE);
  edit->LimitText(3);
  input::Type(Item(IDC_EDIT), "12345");
  EXPECT_EQ(edit->GetWindowText(), "123");
}

TEST_F(ControlsTest, EditSelectionEndsAreOrderedAndKeptInsideTheText) {
  auto* edit = static_cast<CEdit*>(dlg.GetDlgItem(IDC_EDIT));
  edit->SetWindowText("123");
  struct Sel { int a, b, start, end; };
  // A negative end or one past the text means the end; a negative start puts the caret at the end.
  for (const Sel& s : {Sel{0, 0, 0, 0}, Sel{3, 1, 1, 3}, Sel{1, -1, 1, 3}, Sel{0, 9, 0, 3}, Sel{-1, 0, 3, 3}}) {
    edit->SetSel(s.a, s.b);
    int start = -1, end = -1;
    edit->GetSel(start, end);
    EXPECT_EQ(start, s.start) << s.a << "," << s.b;
    EXPECT_EQ(end, s.end) << s.a << "," << s.b;
  }
}

TEST_F(ControlsTest, SpinDeltaCanBeVetoed) {
  auto* spin = static_cast<CSpinButtonCtrl*>(dlg.GetDlgItem(IDC_SPIN));
  input::Spin(Item(IDC_SPIN), true);  // unset range 100..0: up means -1
  spin->SetRange32(0, 10);
  spin->SetPos(5);
  input::Spin(Item(IDC_SPIN), true);
  EXPECT_EQ(spin->GetPos(), 6);
  dlg.vetoSpin = true;
  input::Spin(Item(IDC_SPIN), false);
  EXPECT_EQ(spin->GetPos(), 6);
  EXPECT_EQ(dlg.spinDeltas, (std::vector<int>{-1, 1, -1}));
}

TEST_F(ControlsTest, SliderClampsAndReportsToItsParent) {
  auto* slider = static_cast<CSliderCtrl*>(dlg.GetDlgItem(IDC_SLIDER));
  slider->SetRange(0, 12);
  slider->SetPos(20);
  EXPECT_EQ(slider->GetPos(), 12);
  input::Slide(Item(IDC_SLIDER), 4);
  input::Slide(Item(IDC_SLIDER), -3);
  EXPECT_EQ(dlg.slides, (std::vector<int>{4, 0}));
}

TEST_F(ControlsTest, OwnerDrawnButtonPaintsThroughItsDrawItem) {
  qav::ui::RecordingPainter p;
  qav::ui::PaintOwnerDrawn(Item(IDC_OWNER), p);
  ASSERT_EQ(p.ops.size(), 2u);
  EXPECT_EQ(p.ops[0], "fill 0,0,75,23 C8C8C8");  // the whole 50 x 14 unit button
  EXPECT_NE(p.ops[1].find("FFFFFF Paint"), std::string::npos);
  dlg.m_owner.SetState(TRUE);
  p.ops.clear();
  qav::ui::PaintOwnerDrawn(Item(IDC_OWNER), p);
  EXPECT_NE(p.ops[0].find("640000"), std::string::npos);  // dark blue while pressed
}

// A 3-D frame draws all four sides on the rectangle's outer pixels: light top and left, dark
// bottom and right for a raised edge, the other way round for a sunken one. A fill given by place
// and size covers exactly that rectangle.
TEST(Gdi, EdgesDrawEachSideInsideTheRectangle) {
  qav::ui::RecordingPainter p;
  CDC dc(&p);
  RECT r{2, 3, 12, 8};
  dc.DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
  EXPECT_EQ(p.ops, (std::vector<std::string>{"line 2,3,11,3 A0A0A0", "line 2,3,2,7 A0A0A0", "line 11,3,11,7 FFFFFF",
                                              "line 2,7,11,7 FFFFFF"}));
  p.ops.clear();
  dc.FillSolidRect(1, 2, 3, 4, RGB(16, 16, 16));  // a fill by place and size
  EXPECT_EQ(p.ops, std::vector<std::string>{"fill 1,2,4,6 101010"});
}

TEST_F(ControlsTest, RadioAndCheckBoxClicksFollowTheirStyles) {
  const DialogTemplate t{9201, "R", 100, 60,
                         {{Ctl::Radio, 1, "a", WS_GROUP, 7, 7, 40, 10},
                          {Ctl::Radio, 2, "b", 0, 7, 20, 40, 10},
                          {Ctl::Radio, 3, "c", WS_GROUP, 7, 33, 40, 10},
                          {Ctl::CheckBox, 4, "p", BS_PUSHLIKE, 50, 7, 40, 14}}};
  RegisterDialogTemplate(&t);
  CDialog d;
  ASSERT_TRUE(d.Create(9201));
  input::Click(::GetDlgItem(d.m_hWnd, 3));
  input::Click(::GetDlgItem(d.m_hWnd, 1));
  input::Click(::GetDlgItem(d.m_hWnd, 2));
  EXPECT_EQ(d.IsDlgButtonChecked(1), 0u);
  EXPECT_EQ(d.IsDlgButtonChecked(2), 1u);
  EXPECT_EQ(d.IsDlgButtonChecked(3), 1u);  // another group
  d.CheckRadioButton(1, 2, 1);
  EXPECT_EQ(d.IsDlgButtonChecked(1), 1u);
  EXPECT_EQ(d.IsDlgButtonChecked(2), 0u);
  input::Click(::GetDlgItem(d.m_hWnd, 4));
  input::Click(::GetDlgItem(d.m_hWnd, 4));
  input::Click(::GetDlgItem(d.m_hWnd, 4));
  EXPECT_EQ(d.IsDlgButtonChecked(4), 1u);
  d.GetDlgItem(4)->EnableWindow(FALSE);
  input::Click(::GetDlgItem(d.m_hWnd, 4));  // disabled controls take no input
  EXPECT_EQ(d.IsDlgButtonChecked(4), 1u);
  d.DestroyWindow();
}

TEST_F(ControlsTest, StaticIconChangesAfterCreationAndAnswersTheOldOne) {
  const DialogTemplate t{9202, "I", 100, 60,
                         {{Ctl::Icon, 1, "#32516", 0, 7, 7, 21, 20}, {Ctl::Static, 2, "text", 0, 40, 7, 40, 10}}};
  RegisterDialogTemplate(&t);
  CDialog d;
  ASSERT_TRUE(d.Create(9202));
  auto* icon = static_cast<CStatic*>(d.GetDlgItem(1));
  HICON info = LoadIcon(nullptr, IDI_ASTERISK);
  HICON hand = LoadIcon(nullptr, IDI_HAND);
  EXPECT_EQ(icon->SetIcon(hand), info);
  EXPECT_EQ(icon->State()->icon, hand);
  EXPECT_EQ(icon->SetIcon(nullptr), hand);
  EXPECT_EQ(icon->State()->icon, nullptr);
  // Only statics take the message.
  EXPECT_EQ(d.SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hand)), 0);
  EXPECT_EQ(d.State()->icon, nullptr);
  d.DestroyWindow();
}

}  // namespace

namespace {
TEST(GdiTest, BrushesAndFontsAreFreedOnceAndStockObjectsNever) {
  HBRUSH b = CreateSolidBrush(RGB(0, 0, 100));
  EXPECT_EQ(b->color, 0x640000u);  // red in the low byte
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(GetStockObject(NULL_BRUSH)));
  EXPECT_FALSE(DeleteObject(GetSysColorBrush(COLOR_3DFACE)));
  CFont f;
  EXPECT_TRUE(f.CreatePointFont(80, "Courier New"));
  LOGFONT lf;
  ASSERT_EQ(f.GetLogFont(&lf), static_cast<int>(sizeof(LOGFONT)));
  EXPECT_EQ(lf.lfHeight, -11);  // 8 points at 96 pixels an inch
  EXPECT_STREQ(lf.lfFaceName, "Courier New");
  CFont* wrapper = CFont::FromHandle(f.m_hFont);
  EXPECT_FALSE(wrapper->DeleteObject());  // a wrapper never frees the font it shows
}
}  // namespace
