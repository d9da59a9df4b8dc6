// Modal dialogs driven by queued user input, data exchange, property sheets.
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd_state.h"
#include "ui_fixture.h"

namespace {

using qav::ui::PostTask;
namespace input = qav::ui::input;

enum : int { IDC_COUNT = 1001, IDC_NAME, IDC_CHECK, IDC_R1, IDC_R2, IDC_R3, IDC_LIST, IDC_BYTE };

const DialogTemplate kForm{
    9000, "Form", 200, 150,
    {
        {Ctl::Static, IDC_STATIC, "Count:", 0, 7, 9, 40, 8},
        {Ctl::Edit, IDC_COUNT, "", 0, 50, 7, 40, 14},
        {Ctl::Static, IDC_STATIC, "Name:", 0, 7, 27, 40, 8},
        {Ctl::Edit, IDC_NAME, "", 0, 50, 25, 80, 14},
        {Ctl::CheckBox, IDC_CHECK, "Check", 0, 7, 43, 60, 10},
        {Ctl::Radio, IDC_R1, "One", WS_GROUP, 7, 57, 40, 10},
        {Ctl::Radio, IDC_R2, "Two", 0, 50, 57, 40, 10},
        {Ctl::Radio, IDC_R3, "Three", 0, 93, 57, 40, 10},
        {Ctl::ListBox, IDC_LIST, "", WS_GROUP, 7, 71, 80, 50},
        {Ctl::DefPushButton, IDOK, "OK", 0, 89, 129, 50, 14},
        {Ctl::PushButton, IDCANCEL, "Cancel", 0, 143, 129, 50, 14},
    }};

class FormDlg : public CDialog {
 public:
  FormDlg() : CDialog(9000) {}
  int m_count = 5;
  std::string m_name = "abc";
  int m_check = 1;
  int m_radio = 1;
  int m_index = -1;
  int selChanges = 0;
  int closeResult = IDCANCEL;
  bool endInInit = false;
  CListBox m_list;

  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_LIST, m_list);
    DDX_Text(dx, IDC_COUNT, m_count);
    DDV_MinMaxInt(dx, m_count, 1, 10);
    DDX_Text(dx, IDC_NAME, m_name);
    DDV_MaxChars(dx, m_name, 5);
    DDX_Check(dx, IDC_CHECK, m_check);
    DDX_Radio(dx, IDC_R1, m_radio);
    DDX_LBIndex(dx, IDC_LIST, m_index);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    m_list.AddString("alpha");
    m_list.AddString("beta");
    m_list.AddString("gamma");
    if (endInInit) EndDialog(77);
    return TRUE;
  }
  void OnSelChange() { ++selChanges; }
  void OnClose() { EndDialog(closeResult); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(FormDlg, CDialog)
  ON_LBN_SELCHANGE(IDC_LIST, &FormDlg::OnSelChange)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

class DialogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    RegisterDialogTemplate(&kForm);
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      boxes.push_back(r.text);
      return IDOK;
    });
  }
  std::vector<std::string> boxes;
};

HWND Item(CWnd& dlg, int id) { return ::GetDlgItem(dlg.m_hWnd, id); }

TEST_F(DialogTest, ModalDialogExchangesBothWaysAndKeepsARefusedFieldOpen) {
  FormDlg dlg;
  std::vector<std::string> shown;
  bool openAfterRefusal = false;
  bool focusOnRefused = false;
  std::string typedName;
  PostTask([&] {
    // Values went into the controls.
    shown.push_back(dlg.GetDlgItem(IDC_COUNT)->GetWindowText());
    shown.push_back(dlg.GetDlgItem(IDC_NAME)->GetWindowText());
    shown.push_back(std::to_string(dlg.IsDlgButtonChecked(IDC_CHECK)));
    shown.push_back(std::to_string(dlg.GetCheckedRadioButton(IDC_R1, IDC_R3)));
    input::Type(Item(dlg, IDC_COUNT), "42");  // out of range
    input::Click(Item(dlg, IDOK));
  });
  PostTask([&] {
    openAfterRefusal = IsWindowVisible(dlg.m_hWnd) != FALSE;
    focusOnRefused = GetFocus() == Item(dlg, IDC_COUNT);
    input::Type(Item(dlg, IDC_COUNT), "7");
    input::Type(Item(dlg, IDC_NAME), "toolong");  // the edit takes only 5 characters
    typedName = dlg.GetDlgItem(IDC_NAME)->GetWindowText();
    ::SetWindowText(Item(dlg, IDC_NAME), "toolong");  // text set by the program is not limited
    EXPECT_TRUE(input::Key(Item(dlg, IDC_NAME), VK_RETURN)) << "Enter presses the default button, not left to the edit";
  });
  PostTask([&] {
    input::Type(Item(dlg, IDC_NAME), "xyz");
    input::SelectLine(Item(dlg, IDC_LIST), 2);
    input::Click(Item(dlg, IDC_R3));
    input::Click(Item(dlg, IDC_CHECK));
    input::Click(Item(dlg, IDOK));
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(shown, (std::vector<std::string>{"5", "abc", "1", std::to_string(IDC_R2)}));
  EXPECT_TRUE(openAfterRefusal);
  EXPECT_EQ(typedName, "toolo");
  EXPECT_TRUE(focusOnRefused);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Please enter an integer between 1 and 10.",
                                             "Please enter no more than 5 characters."}));
  EXPECT_EQ(dlg.m_count, 7);
  EXPECT_EQ(dlg.m_name, "xyz");
  EXPECT_EQ(dlg.m_check, 0);
  EXPECT_EQ(dlg.m_radio, 2);
  EXPECT_EQ(dlg.m_index, 2);
  EXPECT_EQ(dlg.selChanges, 1);
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_list.m_hWnd, nullptr);  // the attached control went with the dialog
}

TEST_F(DialogTest, ARefusedFieldStopsTheExchangeThere) {
  FormDlg dlg;
  PostTask([&] {
    input::Type(Item(dlg, IDC_COUNT), "x1");  // not a number
    input::Type(Item(dlg, IDC_NAME), "new");
    input::Click(Item(dlg, IDOK));
    input::Click(Item(dlg, IDCANCEL));
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(boxes, std::vector<std::string>{"Please enter an integer."});
  EXPECT_EQ(dlg.m_count, 5);
  EXPECT_EQ(dlg.m_name, "abc");  // after the refused field: not taken
}

TEST_F(DialogTest, EndResultsOfCloseBoxEscapeAndEndingInInit) {
  struct Case {
    const char* name;
    int expect;
    std::function<void(FormDlg&)> act;
    bool endInInit;
  };
  const Case cases[] = {
      {"close box mapped to 8", IDCLOSE, [](FormDlg& d) { input::Close(d.m_hWnd); }, false},
      {"escape", IDCANCEL, [](FormDlg& d) { input::Key(Item(d, IDC_COUNT), VK_ESCAPE); }, false},
      {"ended in OnInitDialog", 77, nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FormDlg dlg;
    dlg.closeResult = IDCLOSE;
    dlg.endInInit = c.endInInit;
    if (c.act) PostTask([&] { c.act(dlg); });
    EXPECT_EQ(dlg.DoModal(), c.expect);
    qav::ui::PumpPending();
  }
}

// The owner takes no input while its modal dialog is up; afterwards the control that had the
// focus has it again, so the next key goes where it went before the dialog. A modal window asked
// for over the owner meanwhile (a chooser, another dialog, a box) belongs to the dialog, the window
// it is shown over; after the dialog, to the owner again.
TEST_F(DialogTest, ModalDialogDisablesItsOwnerUntilItEndsThenGivesTheFocusBack) {
  FormDlg owner;
  ASSERT_TRUE(owner.Create(9000));
  owner.ShowWindow(SW_SHOW);
  input::Focus(owner.GetDlgItem(IDC_NAME)->m_hWnd);
  FormDlg dlg;
  dlg.m_pParentWnd = &owner;
  bool disabledDuring = false;
  HWND chooserOwner = nullptr, nestedOwner = nullptr, dlgWindow = nullptr;
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest& r, std::string&) {
    chooserOwner = r.owner;
    return false;
  });
  auto choose = [&] { CFileDialog(TRUE, nullptr, nullptr, 0, nullptr, &owner).DoModal(); };
  PostTask([&] {
    disabledDuring = !owner.IsWindowEnabled();
    dlgWindow = dlg.m_hWnd;
    choose();
    FormDlg nested;
    nested.m_pParentWnd = &owner;
    PostTask([&] {
      nestedOwner = ::GetParent(nested.m_hWnd);
      input::Click(nested.GetDlgItem(IDCANCEL)->m_hWnd);
    });
    nested.DoModal();
    input::Click(dlg.GetDlgItem(IDCANCEL)->m_hWnd);
  });
  dlg.DoModal();
  EXPECT_TRUE(disabledDuring);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(::GetFocus(), owner.GetDlgItem(IDC_NAME)->m_hWnd);
  EXPECT_EQ(chooserOwner, dlgWindow);
  EXPECT_EQ(nestedOwner, dlgWindow);
  choose();
  EXPECT_EQ(chooserOwner, owner.m_hWnd);
  owner.DestroyWindow();
}

// A window moved by a rectangle takes exactly it; centred, it stands in the middle of its owner
// (the parent it was given before it was created).
TEST_F(DialogTest, AWindowMovesToARectangleAndCentresOnItsOwner) {
  FormDlg owner, dlg;
  ASSERT_TRUE(owner.Create(9000));
  owner.MoveWindow(100, 50, 400, 300);
  dlg.m_pParentWnd = &owner;
  ASSERT_TRUE(dlg.Create(9000));
  const RECT to{10, 20, 110, 80};
  dlg.MoveWindow(&to);
  RECT r{};
  dlg.GetWindowRect(&r);
  EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({10, 20, 110, 80}));
  dlg.CenterWindow();
  dlg.GetWindowRect(&r);
  EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({250, 170, 350, 230}));
  dlg.DestroyWindow();
  owner.DestroyWindow();
}

// The numbers a field accepts: blanks around one optionally signed run of digits that fits.
TEST(ExchangeNumbers, WholeFieldMustBeTheNumber) {
  const std::pair<const char*, long long> good[] = {
      {"42", 42}, {" 42 ", 42}, {"\t-7\t", -7}, {"+5", 5}, {"9223372036854775807", LLONG_MAX}};
  for (const auto& [text, want] : good) {
    long long v = 0;
    EXPECT_TRUE(qav::ui::ParseInteger(text, &v)) << text;
    EXPECT_EQ(v, want) << text;
  }
  for (const char* text : {"7x", "x7", "", " ", "-", "4 2", "9223372036854775808", "99999999999999999999"}) {
    long long v = 0;
    EXPECT_FALSE(qav::ui::ParseInteger(text, &v)) << text;
  }
  double d = 0;
  EXPECT_TRUE(qav::ui::ParseDouble("2.5 ", &d));
  EXPECT_EQ(d, 2.5);
  for (const char* text : {"2.5x", "", "1e999"}) EXPECT_FALSE(qav::ui::ParseDouble(text, &d)) << text;
}

TEST_F(DialogTest, MissingTemplateFailsWithMinusOne) {
  CDialog dlg(4242);
  EXPECT_EQ(dlg.DoModal(), -1);
}

// A modeless dialog shows itself when its template says so, and waits to be shown otherwise.
TEST_F(DialogTest, ModelessDialogIsShownByItsTemplatesStyle) {
  for (DWORD style : {DWORD{WS_VISIBLE}, DWORD{0}}) {
    const DialogTemplate t{9401, "Shown", 80, 40, {{Ctl::PushButton, IDOK, "OK", 0, 7, 7, 50, 14}}, "MS Shell Dlg",
                           8, style};
    RegisterDialogTemplate(&t);
    CDialog d;
    ASSERT_TRUE(d.Create(9401));
    EXPECT_EQ(d.IsWindowVisible() != FALSE, style == WS_VISIBLE);
    d.DestroyWindow();
    UnregisterDialogTemplate(&t);
  }
}

// A tool finds a control where ControlPixels places it: a combo box at its closed height.
TEST_F(DialogTest, ControlPixelsIsWhereTheControlIs) {
  const DialogTemplate t{9402, "Placed", 120, 60, {{Ctl::ComboBox, IDC_COUNT, "", 0, 7, 7, 60, 60}, {Ctl::PushButton, IDOK, "OK", 0, 9, 30, 50, 14}}};
  RegisterDialogTemplate(&t);
  CDialog d;
  ASSERT_TRUE(d.Create(9402));
  for (int id : {int{IDC_COUNT}, int{IDOK}, int{IDC_NAME}}) {
    const RECT got = qav::ui::ControlPixels(t, id);
    const RECT want = id == IDC_NAME ? RECT{} : qav::ui::Find(::GetDlgItem(d.m_hWnd, id))->rect;
    EXPECT_EQ(std::make_tuple(got.left, got.top, got.right, got.bottom), std::make_tuple(want.left, want.top, want.right, want.bottom)) << id;
  }
  d.DestroyWindow();
  UnregisterDialogTemplate(&t);
}

TEST_F(DialogTest, TabSkipsDisabledAndHiddenControls) {
  CDialog d;
  ASSERT_TRUE(d.Create(9000));
  d.GetDlgItem(IDC_NAME)->EnableWindow(FALSE);
  d.GetDlgItem(IDC_CHECK)->ShowWindow(SW_HIDE);
  d.GetDlgItem(IDC_R1)->EnableWindow(FALSE);  // the group's stop becomes its first usable button
  EXPECT_EQ(d.GetNextDlgTabItem(d.GetDlgItem(IDC_COUNT))->GetDlgCtrlID(), IDC_R2);
  d.DestroyWindow();
}

// ---- Property sheets ----
const DialogTemplate kPage1{9101, "First", 150, 60, {{Ctl::Edit, IDC_BYTE, "", 0, 7, 7, 40, 14}}};
const DialogTemplate kPage2{9102, "Second", 120, 80, {{Ctl::CheckBox, IDC_CHECK, "Flag", 0, 7, 7, 60, 10}}};

class BytePage : public CPropertyPage {
 public:
  BytePage() : CPropertyPage(9101) {}
  BYTE m_value = 10;
  int oks = 0;
  void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_BYTE, m_value); }
  void OnOK() override {
    CPropertyPage::OnOK();
    ++oks;
  }
};

class FlagPage : public CPropertyPage {
 public:
  explicit FlagPage(const char* title) : CPropertyPage(9102) {
    m_psp.dwFlags |= PSP_USETITLE;
    m_psp.pszTitle = title;
  }
  int m_flag = 0;
  int oks = 0;
  void DoDataExchange(CDataExchange* dx) override { DDX_Check(dx, IDC_CHECK, m_flag); }
  void OnOK() override {
    CPropertyPage::OnOK();
    ++oks;
  }
};

TEST_F(DialogTest, SheetRefusesToLeaveAPageThatFailsValidation) {
  RegisterDialogTemplate(&kPage1);
  RegisterDialogTemplate(&kPage2);
  CPropertySheet sheet("Parameter Settings");
  sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
  BytePage p1;
  FlagPage p2("Daily"), p3("Never shown");
  sheet.AddPage(&p1);
  sheet.AddPage(&p2);
  sheet.AddPage(&p3);
  EXPECT_FALSE(sheet.SetActivePage(3));
  int activeAfterRefusal = -1;
  std::vector<std::string> tabs;
  bool hasHelp = false, hasApply = true, laidOut = false;
  PostTask([&] {
    auto* t = static_cast<qav::ui::TabState*>(qav::ui::Find(sheet.GetTabControl()));
    tabs = t->tabs;
    hasHelp = ::GetDlgItem(sheet.m_hWnd, ID_HELP) != nullptr;
    hasApply = ::GetDlgItem(sheet.m_hWnd, ID_APPLY_NOW) != nullptr;
    RECT client, tab = qav::ui::Find(sheet.GetTabControl())->rect, page = qav::ui::Find(p1.m_hWnd)->rect;
    sheet.GetClientRect(&client);
    laidOut = page.top > tab.top && page.bottom <= tab.bottom && page.left > tab.left && page.right < tab.right &&
              qav::ui::Find(::GetDlgItem(p1.m_hWnd, IDC_BYTE))->rect.bottom <= page.bottom - page.top;
    for (int id : {IDOK, IDCANCEL, static_cast<int>(ID_HELP)}) {
      const RECT b = qav::ui::Find(::GetDlgItem(sheet.m_hWnd, id))->rect;
      laidOut = laidOut && b.top > tab.bottom && b.bottom <= client.bottom;
    }
    input::Type(::GetDlgItem(p1.m_hWnd, IDC_BYTE), "300");
    input::SelectTab(sheet.GetTabControl(), 1);
  });
  PostTask([&] {
    activeAfterRefusal = sheet.GetActiveIndex();
    input::Type(::GetDlgItem(p1.m_hWnd, IDC_BYTE), "12");
    input::SelectTab(sheet.GetTabControl(), 1);
  });
  FlagPage late("Added late");
  std::vector<std::string> tabsAfterAdding;
  PostTask([&] {
    input::Click(::GetDlgItem(p2.m_hWnd, IDC_CHECK));
    sheet.AddPage(&late);  // a page added to a sheet on screen gets its tab at once
    tabsAfterAdding = static_cast<qav::ui::TabState*>(qav::ui::Find(sheet.GetTabControl()))->tabs;
    input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
  });
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(tabs, (std::vector<std::string>{"First", "Daily", "Never shown"}));
  EXPECT_EQ(tabsAfterAdding, (std::vector<std::string>{"First", "Daily", "Never shown", "Added late"}));
  EXPECT_TRUE(hasHelp);
  EXPECT_FALSE(hasApply);
  EXPECT_TRUE(laidOut) << "the page holds its controls inside the tab control; the buttons sit below it, inside the sheet";
  EXPECT_EQ(activeAfterRefusal, 0);
  EXPECT_EQ(boxes, std::vector<std::string>{"Please enter an integer between 0 and 255."});
  EXPECT_EQ(p1.m_value, 12);
  EXPECT_EQ(p2.m_flag, 1);
  EXPECT_EQ(p1.oks, 1);
  EXPECT_EQ(p2.oks, 1);
  EXPECT_EQ(p3.oks, 0);  // only pages that were shown get OnOK
}

TEST_F(DialogTest, SheetOkStaysOpenWhenTheActivePageFails) {
  RegisterDialogTemplate(&kPage1);
  CPropertySheet sheet("S");
  BytePage p1;
  sheet.AddPage(&p1);
  PostTask([&] {
    input::Type(::GetDlgItem(p1.m_hWnd, IDC_BYTE), "-1");
    input::Click(::GetDlgItem(sheet.m_hWnd, IDOK));
  });
  PostTask([&] { input::Close(sheet.m_hWnd); });
  EXPECT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_EQ(p1.oks, 0);
  EXPECT_EQ(p1.m_value, 10);
  EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
