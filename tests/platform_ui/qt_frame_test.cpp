// The main frame, its menus, a nine-page property sheet and the file chooser under real Qt
// input; workers' sends answered while a menu or the chooser is open.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/choosers.h"
#include "qt_fixture.h"

namespace {

constexpr UINT ID_READ = 32836;
constexpr UINT WM_ASK = 0x1409;
enum : int { IDC_WIDE = 9701 };

std::vector<UINT> g_commands;

// A form wider and taller than a small frame: its controls keep their size and the frame scrolls.
const DialogTemplate kBigForm{9700, nullptr, 400, 300,
                              {{Ctl::Edit, IDC_WIDE, "", 0, 7, 7, 130, 24}, {Ctl::ListBox, 9702, "", 0, 300, 250, 90, 40}}};
const FrameResource kRes{9700, "QAV", {{"&File", 0, {{"&Read Config File", ID_READ, {}}, {nullptr, 0, {}}, {"E&xit", 57665, {}}}}}};

class Frame : public CFrameWnd {
  DECLARE_DYNCREATE(Frame)
 public:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override {
    cs.style &= ~FWS_ADDTOTITLE;
    return TRUE;
  }
  LRESULT OnAsk(WPARAM w, LPARAM) { return static_cast<LRESULT>(w) * 2; }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(Frame, CFrameWnd)
BEGIN_MESSAGE_MAP(Frame, CFrameWnd)
  ON_MESSAGE(WM_ASK, &Frame::OnAsk)
END_MESSAGE_MAP()

class View : public CFormView {
  DECLARE_DYNCREATE(View)
 public:
  View() : CFormView(9700) {}
  void OnRead() { g_commands.push_back(ID_READ); }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(View, CFormView)
BEGIN_MESSAGE_MAP(View, CFormView)
  ON_COMMAND(ID_READ, &View::OnRead)
END_MESSAGE_MAP()

class QtFrameTest : public QtUiTest {
 protected:
  void SetUp() override {
    QtUiTest::SetUp();
    g_commands.clear();
    RegisterDialogTemplate(&kBigForm);
    RegisterFrameResource(&kRes);
    tmpl = std::make_unique<CSingleDocTemplate>(9700, nullptr, RUNTIME_CLASS(Frame), RUNTIME_CLASS(View));
    ASSERT_NE(tmpl->OpenDocumentFile(nullptr), nullptr);
  }
  void TearDown() override {
    if (CWnd* f = FrameWnd()) f->DestroyWindow();
    tmpl.reset();
    QtUiTest::TearDown();
  }
  CFrameWnd* FrameWnd() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(FindFrame(w)))) return f;
    return nullptr;
  }
  static HWND FindFrame(QWidget* w) {
    QVariant v = w->property("qavHwnd");
    return v.isValid() ? reinterpret_cast<HWND>(v.value<quintptr>()) : nullptr;
  }
  std::unique_ptr<CSingleDocTemplate> tmpl;
};

// Maximised or small, the form's controls keep the size the template gives them; what does not
// fit in a small frame is reached by scrolling.
TEST_F(QtFrameTest, ControlsKeepTheirSizeWhenTheFrameIsMaximisedOrSmall) {
  CFrameWnd* frame = FrameWnd();
  ASSERT_NE(frame, nullptr);
  HWND edit = ::GetDlgItem(frame->GetActiveView()->m_hWnd, IDC_WIDE);
  RECT want;
  CWnd::FromHandle(edit)->GetWindowRect(&want);
  const QSize size(want.right - want.left, want.bottom - want.top);
  struct Case { const char* what; int cmd; int w, h; };
  for (const Case& c : {Case{"maximised", SW_SHOWMAXIMIZED, 0, 0}, Case{"restored small", SW_RESTORE, 300, 200}}) {
    SCOPED_TRACE(c.what);
    frame->ShowWindow(c.cmd);
    if (c.w > 0) frame->MoveWindow(10, 10, c.w, c.h);
    Settle();
    EXPECT_EQ(W(edit)->size(), size);
    EXPECT_EQ(frame->IsZoomed() != FALSE, c.cmd == SW_SHOWMAXIMIZED);
    if (c.w > 0) { EXPECT_EQ(W(*frame)->size(), QSize(c.w, c.h)) << "restored, then moved"; }
  }
  auto* area = W(*frame)->findChild<QScrollArea*>();
  ASSERT_NE(area, nullptr);
  EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
  EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
}

// A frame narrower than its form but tall enough scrolls sideways only: the form view that fills
// the frame does not count as content below the horizontal scroll bar.
TEST_F(QtFrameTest, AFormWiderThanItsFrameScrollsOnlySideways) {
  CFrameWnd* frame = FrameWnd();
  ASSERT_NE(frame, nullptr);
  frame->ShowWindow(SW_SHOWNORMAL);
  frame->MoveWindow(10, 10, 300, 760);
  Settle();
  auto* area = W(*frame)->findChild<QScrollArea*>();
  ASSERT_NE(area, nullptr);
  EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
  frame->GetActiveView()->ShowWindow(SW_HIDE);  // a hidden view is nothing to scroll to
  frame->MoveWindow(10, 10, 310, 760);
  Settle();
  EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0);
}

// The program maximises its main window and may restore and place it before its loop runs: the
// window system's late news of the maximising does not undo that.
TEST_F(QtFrameTest, RestoredAndMovedRightAfterMaximisingStaysThere) {
  CFrameWnd* frame = FrameWnd();
  ASSERT_NE(frame, nullptr);
  frame->ShowWindow(SW_SHOWMAXIMIZED);
  frame->ShowWindow(SW_SHOWNORMAL);
  frame->MoveWindow(10, 10, 300, 200);
  Settle();
  EXPECT_FALSE(frame->IsZoomed());
  EXPECT_EQ(W(*frame)->size(), QSize(300, 200));
}

// Alt+F opens the File menu; arrows and Enter choose; Escape closes it again. A worker's send is
// answered while the menu is open.
TEST_F(QtFrameTest, MenuChosenAndClosedFromTheKeyboardWhileAWorkerIsServed) {
  CFrameWnd* frame = FrameWnd();
  frame->ShowWindow(SW_SHOW);
  Settle();
  QWidget* top = W(*frame);
  QApplication::setActiveWindow(top);
  auto* bar = top->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  QTest::keyClick(top, Qt::Key_F, Qt::AltModifier);
  Settle();
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);

  std::atomic<LRESULT> answer{0};
  HWND fh = frame->m_hWnd;
  std::thread worker([&] { answer = ::SendMessage(fh, WM_ASK, 21, 0); });
  EXPECT_TRUE(qav::ui::WaitServingSends([&] { return answer.load() != 0; }, 5000));
  worker.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_TRUE(menu->isVisible());

  QTest::keyClick(menu, Qt::Key_Escape);
  Settle();
  EXPECT_FALSE(menu->isVisible());
  QTest::keyClick(top, Qt::Key_F, Qt::AltModifier);
  Settle();
  menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QTest::keyClick(menu, Qt::Key_Down);  // to Exit, past the separator
  QTest::keyClick(menu, Qt::Key_Up);    // back to Read Config File
  QTest::keyClick(menu, Qt::Key_Return);
  Settle();
  EXPECT_EQ(g_commands, std::vector<UINT>{ID_READ});
}

// The file chooser runs Qt's own loop; a worker's send is answered while it is open.
TEST_F(QtFrameTest, FileChooserServesAWorkersSend) {
  CFrameWnd* frame = FrameWnd();
  frame->ShowWindow(SW_SHOW);
  std::atomic<LRESULT> answer{0};
  std::thread worker;
  HWND fh = frame->m_hWnd;
  bool open = false;
  Later([&] {
    worker = std::thread([&] { answer = ::SendMessage(fh, WM_ASK, 5, 0); });
  }, 10);
  // Closes the chooser once the answer is there (or gives up after five seconds).
  std::function<void(int)> closeWhenAnswered = [&](int tries) {
    auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (fd != nullptr && (answer.load() != 0 || tries > 500)) {
      open = true;
      fd->reject();
      return;
    }
    Later([&, tries] { closeWhenAnswered(tries + 1); }, 10);
  };
  Later([&] { closeWhenAnswered(0); }, 20);
  CFileDialog dlg(TRUE, "nfg", nullptr, OFN_HIDEREADONLY, "Configuration Files (*.nfg) | *.nfg; ||");
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  worker.join();
  EXPECT_TRUE(open);
  EXPECT_EQ(answer.load(), 10);
}

// Nine pages: the tabs scroll, every page is reached by a click on its tab and by Ctrl+Tab,
// and the sheet opens with the focus on its first page's first control.
enum : int { IDC_PAGE_EDIT = 9751 };
const DialogTemplate kPage{9750, "Parameters", 212, 120, {{Ctl::Edit, IDC_PAGE_EDIT, "", 0, 7, 7, 100, 14}}};

class Page : public CPropertyPage {
 public:
  explicit Page(const char* title) : CPropertyPage(9750) {
    m_psp.dwFlags |= PSP_USETITLE;
    m_psp.pszTitle = title;
  }
};

TEST_F(QtFrameTest, NinePageSheetReachesEveryPageByClickAndCtrlTab) {
  RegisterDialogTemplate(&kPage);
  const char* titles[] = {"General Parameters", "Output Parameters", "Data Source", "Station Selection",
                          "Time Periods", "Report Layout", "Travel Times", "Thresholds", "Advanced Options"};
  std::vector<std::unique_ptr<Page>> pages;
  CPropertySheet sheet("Parameter Settings");
  sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
  for (const char* t : titles) {
    pages.push_back(std::make_unique<Page>(t));
    sheet.AddPage(pages.back().get());
  }
  std::vector<int> byClick, byKey;
  int firstFocus = 0;
  Later([&] {
    firstFocus = GetDlgCtrlID(GetFocus());
    auto* tabs = qobject_cast<QTabWidget*>(W(sheet.GetTabControl()));
    ASSERT_NE(tabs, nullptr);
    QTabBar* bar = tabs->tabBar();
    auto scrollers = bar->findChildren<QToolButton*>();
    ASSERT_FALSE(scrollers.empty());  // nine tabs do not fit: the bar scrolls
    for (int i = 0; i < 9; ++i) {
      for (int k = 0; k < 20 && !bar->rect().contains(bar->tabRect(i)); ++k)
        for (QToolButton* b : scrollers)
          if (b->arrowType() == Qt::RightArrow && b->isEnabled()) QTest::mouseClick(b, Qt::LeftButton);
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
      byClick.push_back(sheet.GetActiveIndex());
    }
    for (int i = 0; i < 9; ++i) {
      ASSERT_NE(W(GetFocus()), nullptr);
      QTest::keyClick(W(GetFocus()), Qt::Key_Tab, Qt::ControlModifier);
      byKey.push_back(sheet.GetActiveIndex());
    }
    QTest::keyClick(W(GetFocus()), Qt::Key_Escape);
  });
  EXPECT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_EQ(firstFocus, IDC_PAGE_EDIT);
  EXPECT_EQ(byClick, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(byKey, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

}  // namespace
