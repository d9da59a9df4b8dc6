// Modal dialogs, message boxes and property sheets under real Qt key and mouse events.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>
#include <string>

#include "platform/ui/choosers.h"
#include "platform/ui/dialog.h"
#include "qt_fixture.h"

namespace {

enum : int { IDC_NAME = 9601, IDC_COUNT, IDC_R1, IDC_R2, IDC_R3, IDC_CHECK };

const DialogTemplate kAsk{
    9600, "Ask", 180, 80,
    {
        {Ctl::Static, IDC_STATIC, "&Name:", 0, 7, 9, 40, 8},
        {Ctl::Edit, IDC_NAME, "", 0, 50, 7, 80, 14},
        {Ctl::Static, IDC_STATIC, "Co&unt:", 0, 7, 27, 40, 8},
        {Ctl::Edit, IDC_COUNT, "", ES_RIGHT, 50, 25, 40, 14},
        {Ctl::Radio, IDC_R1, "One", WS_GROUP, 7, 43, 40, 10},
        {Ctl::Radio, IDC_R2, "Two", 0, 50, 43, 40, 10},
        {Ctl::Radio, IDC_R3, "Three", 0, 93, 43, 40, 10},
        {Ctl::CheckBox, IDC_CHECK, "Check", WS_GROUP, 136, 43, 40, 10},
        {Ctl::DefPushButton, IDOK, "OK", 0, 69, 59, 50, 14},
        {Ctl::PushButton, IDCANCEL, "Cancel", 0, 123, 59, 50, 14},
    }};

class AskDlg : public CDialog {
 public:
  AskDlg() : CDialog(9600) {}
  std::string m_name = "Station 12";
  int m_radio = 1;
  std::function<void(AskDlg&)> onShow;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, IDC_NAME, m_name);
    DDX_Radio(dx, IDC_R1, m_radio);
  }
};

class QtDialogTest : public QtUiTest {
 protected:
  void SetUp() override {
    QtUiTest::SetUp();
    RegisterDialogTemplate(&kAsk);
  }
};

using Clock = std::chrono::steady_clock;

struct CloseCase {
  const char* what;
  std::function<void(HWND dlg)> act;
  INT_PTR result;
};

// The dialog ends right after the input that ended it, not when some later message arrives.
TEST_F(QtDialogTest, ModalDialogClosesAtOnceOnEnterEscapeAndClicks) {
  const CloseCase cases[] = {
      {"Enter", [](HWND d) { QTest::keyClick(W(GetDlgItem(d, IDC_NAME)), Qt::Key_Return); }, IDOK},
      {"Escape", [](HWND d) { QTest::keyClick(W(GetDlgItem(d, IDC_NAME)), Qt::Key_Escape); }, IDCANCEL},
      {"click OK", [](HWND d) { QTest::mouseClick(W(GetDlgItem(d, IDOK)), Qt::LeftButton); }, IDOK},
      {"click Cancel", [](HWND d) { QTest::mouseClick(W(GetDlgItem(d, IDCANCEL)), Qt::LeftButton); }, IDCANCEL},
      {"Space on OK", [](HWND d) { QTest::keyClick(W(GetDlgItem(d, IDOK)), Qt::Key_Space); }, IDOK},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.what);
    AskDlg dlg;
    Clock::time_point sent{};
    Later([&] {
      sent = Clock::now();
      c.act(dlg.m_hWnd);
    }, 20);
    EXPECT_EQ(dlg.DoModal(), c.result);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
    EXPECT_LT(took, 100);
  }
}

// Typing goes into the state; the initial edit has its text selected, so typing replaces it. The
// default button's frame goes with the focus among the push buttons, and is back on OK when the
// focus is on no push button.
TEST_F(QtDialogTest, TypingReplacesTheSelectedInitialTextAndTabFollowsTheTemplate) {
  AskDlg dlg;
  std::vector<int> focusOrder, framed;
  Later([&] {
    HWND d = dlg.m_hWnd;
    auto* name = qobject_cast<QLineEdit*>(W(GetDlgItem(d, IDC_NAME)));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->hasSelectedText());
    QTest::keyClicks(name, "Depot");
    auto looksDefault = [&](int id) { return static_cast<QPushButton*>(W(GetDlgItem(d, id)))->isDefault() ? id : 0; };
    for (int i = 0; i < 6; ++i) {
      QTest::keyClick(W(GetFocus()), Qt::Key_Tab);
      focusOrder.push_back(GetDlgCtrlID(GetFocus()));
      framed.push_back(looksDefault(IDOK) + looksDefault(IDCANCEL));
    }
    QTest::keyClick(W(GetFocus()), Qt::Key_Backtab);
    focusOrder.push_back(GetDlgCtrlID(GetFocus()));
    QTest::keyClick(W(GetFocus()), Qt::Key_Escape);
  });
  dlg.m_name = "Old";
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  // One stop for the radio group (its checked button), none for the labels.
  std::vector<int> want{IDC_COUNT, IDC_R2, IDC_CHECK, IDOK, IDCANCEL, IDC_NAME, IDCANCEL};
  EXPECT_EQ(focusOrder, want);
  EXPECT_EQ(framed, (std::vector<int>{IDOK, IDOK, IDOK, IDOK, IDCANCEL, IDOK}));
  (void)dlg;
}

TEST_F(QtDialogTest, ArrowsMoveInsideARadioGroupAndMnemonicsFocusTheLabelledControl) {
  AskDlg dlg;
  int radio = -1;
  std::string labelText;
  Later([&] {
    HWND d = dlg.m_hWnd;
    auto* label = qobject_cast<QLabel*>(W(GetDlgItem(d, IDC_STATIC)));
    QWidget* r2 = W(GetDlgItem(d, IDC_R2));
    QTest::mouseClick(r2, Qt::LeftButton);
    QTest::keyClick(W(GetFocus()), Qt::Key_Right);
    QTest::keyClick(W(GetFocus()), Qt::Key_Right);  // wraps to the first
    radio = GetDlgCtrlID(GetFocus());
    QTest::keyClick(W(GetFocus()), Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_COUNT);
    ::SetWindowText(GetDlgItem(d, IDC_STATIC), "&Name:\nA<B");
    if (label != nullptr) labelText = label->text().toStdString();
    QTest::keyClick(W(GetFocus()), Qt::Key_Return);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(radio, IDC_R1);
  EXPECT_EQ(labelText, "<u>N</u>ame:<br>A&lt;B");  // the mnemonic underlined, the line break kept, the rest escaped
  EXPECT_EQ(dlg.m_radio, 0);
}

}  // namespace

namespace {

// The widgets of destroyed windows are freed once the program's loop runs again, whether the
// window was modal or modeless: a long session does not collect dead widgets.
// A click that comes while the user-interface thread waits for another thread (a run's worker) is
// taken at once: the wait ends with the click handled, however long it could have lasted.
TEST_F(QtDialogTest, AClickThatComesWhileTheLoopWaitsForAWorkerIsTakenAtOnce) {
  class CCancelled : public AskDlg {
   public:
    bool cancelled = false;
    void OnCancel() override { cancelled = true; }
  } dlg;
  ASSERT_TRUE(dlg.Create(9600));
  dlg.ShowWindow(SW_SHOW);
  Settle();
  QWidget* cancel = W(::GetDlgItem(dlg.m_hWnd, IDCANCEL));
  ASSERT_NE(cancel, nullptr);
  Later([cancel] { QTest::mouseClick(cancel, Qt::LeftButton); }, 30);
  while (!dlg.cancelled) qav::ui::WaitForInput(600000);
  dlg.DestroyWindow();
}

TEST_F(QtDialogTest, WidgetsOfDestroyedWindowsAreFreed) {
  qav::ui::PumpPending();
  const qsizetype before = QApplication::allWidgets().size();
  for (int i = 0; i < 20; ++i) {
    AskDlg modal;
    Later([&] { QTest::keyClick(W(GetDlgItem(modal.m_hWnd, IDC_NAME)), Qt::Key_Escape); });
    modal.DoModal();
    CDialog modeless(9600);
    ASSERT_TRUE(modeless.Create(9600));
    modeless.ShowWindow(SW_SHOW);
    modeless.DestroyWindow();
    qav::ui::PumpPending();
  }
  EXPECT_LE(QApplication::allWidgets().size(), before + 5);
}

}  // namespace

namespace {

// A message box builds a template of its own for the time it is shown; afterwards the registry
// no longer names it (it was freed). Its text is within the box, the box within the screen: a
// path wider than a line (no blanks in it) is broken, and one longer than the screen holds loses
// lines from its middle.
TEST_F(QtDialogTest, MessageBoxLeavesNoTemplateBehind) {
  const std::vector<UINT> before = RegisteredDialogTemplates();
  std::string path = "/home/traffic/reports/1994/";
  for (int i = 0; path.size() < 8000; ++i) path += "district" + std::to_string(i % 10) + (i % 7 == 6 ? "/" : "-");
  // Folder names of 70 letters, each as wide as a line: a line break falls just before each '/'.
  const std::string name = "detectorstationloopspeedtrapmeteredlanenorthbound";
  std::string longNames = "/home/traffic/reports/";
  while (longNames.size() < 573) longNames += name + name.substr(0, 21) + "/";
  const struct {
    std::string text;
    bool whole;       // shown without lines left out
    bool separators;  // every line but the last ends with a separator ('/' or '-')
  } cases[] = {
      {"Please insert CD with 3/15/1994 data", true, true},
      {path.substr(0, 300), true, true},
      {longNames.substr(0, 573), true, false},
      {"/" + name + name + "/" + name, true, false},
      {path, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.size());
    std::string shown;
    Later([&shown] {
      const HWND box = ::GetParent(GetFocus());
      QWidget* label = W(::GetDlgItem(box, 0xFFFF));
      const QString text = static_cast<QLabel*>(label)->text();
      const QFontMetrics fm(label->font());
      for (const QString& line : text.split('\n')) EXPECT_LE(fm.horizontalAdvance(line), label->width()) << line.toStdString();
      EXPECT_LE(fm.boundingRect(label->rect(), Qt::TextWordWrap, text).height(), label->height());
      EXPECT_TRUE(W(box)->rect().contains(QRect(label->mapTo(W(box), QPoint()), label->size())));
      EXPECT_TRUE(W(box)->screen()->availableGeometry().contains(W(box)->frameGeometry()));
      shown = text.toStdString();
      QTest::keyClick(W(GetFocus()), Qt::Key_Return);
    });
    EXPECT_EQ(::MessageBox(nullptr, c.text.c_str(), "QAV", MB_OKCANCEL | MB_ICONHAND), IDOK);
    // A separator ends the line it falls on: no line but the first starts with one, and none is one
    // alone; no empty line follows the text.
    EXPECT_FALSE(shown.starts_with("/\n")) << shown;
    EXPECT_FALSE(shown.ends_with('\n')) << shown;
    for (size_t end = shown.find('\n'); end != std::string::npos; end = shown.find('\n', end + 1)) {
      EXPECT_NE(shown[end + 1], '/') << shown;
      if (c.separators) {
        EXPECT_TRUE(shown[end - 1] == '/' || shown[end - 1] == '-') << shown;
      }
    }
    std::erase(shown, '\n');
    if (c.whole) {
      EXPECT_EQ(shown, c.text);
    } else {
      EXPECT_NE(shown.find("..."), std::string::npos);
      EXPECT_LT(shown.size(), c.text.size());
      EXPECT_TRUE(c.text.starts_with(shown.substr(0, shown.find("...")))) << shown;
      EXPECT_TRUE(c.text.ends_with(shown.substr(shown.find("...") + 3))) << shown;
    }
  }
  EXPECT_EQ(RegisteredDialogTemplates(), before);
}

}  // namespace

// The status window of a view is shown again whenever a new message arrives: it comes back in
// front of the window the user was in.
TEST_F(QtDialogTest, ShowingAVisibleModelessWindowAgainActivatesIt) {
  AskDlg status, other;
  ASSERT_TRUE(status.Create(9600));
  ASSERT_TRUE(other.Create(9600));
  status.ShowWindow(SW_SHOW);
  other.ShowWindow(SW_SHOW);
  Settle();
  for (int cmd : {SW_SHOWNORMAL, SW_SHOW, SW_RESTORE}) {
    SCOPED_TRACE(cmd);
    W(other)->activateWindow();
    Settle();
    ASSERT_EQ(QApplication::activeWindow(), W(other));
    status.ShowWindow(cmd);
    Settle();
    EXPECT_EQ(QApplication::activeWindow(), W(status));
  }
}

// A sizable window that asks for a least size (WM_GETMINMAXINFO) is not made smaller than that.
TEST_F(QtDialogTest, ASizableWindowKeepsTheLeastSizeItAsksFor) {
  static const DialogTemplate sizable{9610, "Sizable", 180, 80, {{Ctl::PushButton, IDOK, "OK", 0, 123, 59, 50, 14}},
                                      "MS Shell Dlg", 8, WS_THICKFRAME | WS_CAPTION | WS_SYSMENU};
  RegisterDialogTemplate(&sizable);
  struct Sizable : CDialog {
    Sizable() : CDialog(9610) {}
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
      if (msg != WM_GETMINMAXINFO) return CDialog::WindowProc(msg, w, l);
      reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = POINT{300, 140};
      return 0;
    }
  } dlg;
  ASSERT_TRUE(dlg.Create(9610));
  dlg.ShowWindow(SW_SHOW);
  Settle();
  W(dlg)->resize(100, 50);
  Settle();
  EXPECT_EQ(W(dlg)->size(), QSize(300, 140));
  dlg.DestroyWindow();
}

namespace {

// A window owned by another keeps a title and tells the window manager its owner, which keeps it
// above the owner, even when it is shown before the owner's window is (the New view's status
// window is shown while its frame is still being made). Named by a child of the owner (the view
// in a frame), it is owned by the owner itself.
TEST_F(QtDialogTest, AnOwnedWindowShownBeforeItsOwnerIsKeptAboveIt) {
  AskDlg owner, owned;
  ASSERT_TRUE(owner.Create(9600));
  ASSERT_TRUE(owned.Create(9600, owner.GetDlgItem(IDOK)));
  EXPECT_EQ(::GetParent(owned.m_hWnd), owner.m_hWnd);
  owned.SetWindowText("Status Messages");
  owned.ShowWindow(SW_SHOWNORMAL);
  Settle();
  owner.ShowWindow(SW_SHOW);
  Settle();
  QWidget* o = W(owner);
  QWidget* w = W(owned);
  ASSERT_TRUE(o != nullptr && w != nullptr && w->windowHandle() != nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowHandle()->transientParent(), o->windowHandle());
  EXPECT_EQ(w->windowTitle(), "Status Messages");
  EXPECT_TRUE(w->windowFlags() & Qt::WindowTitleHint);
  EXPECT_FALSE(w->windowFlags() & Qt::FramelessWindowHint);
  owned.DestroyWindow();
  owner.DestroyWindow();
}

}  // namespace

namespace {

// In a Yes/No box the letters alone answer, as Alt and the letter do; other letters do nothing.
// A box that is still up after its keys is answered by Enter (its default button).
TEST_F(QtDialogTest, AYesNoBoxIsAnsweredByItsLettersAlone) {
  const struct {
    std::vector<Qt::Key> keys;
    UINT type;
    int answer;
  } cases[] = {
      {{Qt::Key_Y}, MB_YESNO | MB_DEFBUTTON2, IDYES},
      {{Qt::Key_N}, MB_YESNO, IDNO},
      {{Qt::Key_X, Qt::Key_C, Qt::Key_N}, MB_YESNOCANCEL, IDNO},
  };
  for (const auto& c : cases) {
    Later([&c] {
      const HWND box = ::GetParent(GetFocus());
      for (Qt::Key k : c.keys) QTest::keyClick(W(GetFocus()), k);
      Later([box] {
        if (::IsWindow(box)) QTest::keyClick(W(GetFocus()), Qt::Key_Return);
      }, 300);
    });
    EXPECT_EQ(::MessageBox(nullptr, "Replace the file?", "QAV", c.type), c.answer) << c.keys.size() << " keys";
  }
}

}  // namespace

namespace {

// A main window shown with a window it owns (the New view's status window), and a dialog it owns
// to run modal over it.
class QtOwnerTest : public QtDialogTest {
 protected:
  void SetUp() override {
    QtDialogTest::SetUp();
    ASSERT_TRUE(owner.Create(9600));
    owner.ShowWindow(SW_SHOW);
    ASSERT_TRUE(status.Create(9600, &owner));
    status.ShowWindow(SW_SHOW);
    Settle();
  }
  void TearDown() override {
    status.DestroyWindow();
    owner.DestroyWindow();
    QtDialogTest::TearDown();
  }
  struct Modal : AskDlg {
    explicit Modal(CWnd* parent) { m_pParentWnd = parent; }
  };
  AskDlg owner, status;
};

// A window that modal windows disable is activated all the same when the user clicks it (the
// window manager does, and Qt where there is none): the activation goes on to the modal window
// over it, through a disabled dialog to its box, and not to an enabled window it owns that was
// up before them (the status window).
TEST_F(QtOwnerTest, AClickedWindowThatModalWindowsDisableHandsTheActivationToTheOneOnTop) {
  Modal dlg(&owner);
  bool dialogActive = false, boxActive = false;
  auto clickOwner = [this] {
    W(owner)->activateWindow();
    Settle();
  };
  Later([&] {
    clickOwner();
    dialogActive = QApplication::activeWindow() == W(dlg);
    Later([&] {
      const HWND box = ::GetParent(GetFocus());
      clickOwner();
      boxActive = box != dlg.m_hWnd && QApplication::activeWindow() == W(box);
      QTest::keyClick(W(GetFocus()), Qt::Key_Return);
    });
    ::MessageBox(dlg.m_hWnd, "No data was found", "QAV", MB_OK);
    QTest::keyClick(W(GetFocus()), Qt::Key_Escape);
  });
  dlg.DoModal();
  EXPECT_TRUE(dialogActive);
  EXPECT_TRUE(boxActive);
}

// While a box is up none of the program's other windows takes input: its owner, a window the
// owner has up (the status window) and a window of its own (a viewer). A click on any of them
// gives the box the activation, and the key the user types next answers it. A file chooser keeps
// the keyboard the same way.
TEST_F(QtOwnerTest, AClickOnAnyOtherWindowWhileABoxIsUpGivesTheBoxTheKeys) {
  AskDlg viewer;
  ASSERT_TRUE(viewer.Create(9600));
  viewer.ShowWindow(SW_SHOW);
  Settle();
  const struct {
    const char* what;
    CWnd* clicked;
    Qt::Key key;
    int answer;
  } cases[] = {
      {"the owner, Return", &owner, Qt::Key_Return, IDYES},
      {"the status window, Return", &status, Qt::Key_Return, IDYES},
      {"the status window, Escape", &status, Qt::Key_Escape, IDCANCEL},
      {"the status window, Space", &status, Qt::Key_Space, IDYES},
      {"the status window, N", &status, Qt::Key_N, IDNO},
      {"a window without an owner, Return", &viewer, Qt::Key_Return, IDYES},
  };
  CWnd* windows[] = {&owner, &status, &viewer};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool held = true, boxActive = false, rescued = false;
    Later([&] {
      const HWND box = ::GetParent(GetFocus());
      for (CWnd* w : windows) held = held && !w->IsWindowEnabled();
      W(*c.clicked)->activateWindow();
      QTest::mouseClick(W(c.clicked->GetDlgItem(IDC_CHECK)->m_hWnd), Qt::LeftButton);
      Settle();
      boxActive = QApplication::activeWindow() == W(box);
      QTest::keyClick(QApplication::focusWidget(), c.key);
      Later([&rescued, box] {
        if (!::IsWindow(box)) return;
        rescued = true;
        ::PostMessage(box, WM_COMMAND, IDCANCEL, 0);
      }, 500);
    });
    EXPECT_EQ(::MessageBox(owner.m_hWnd, "Replace the file?", "QAV", MB_YESNOCANCEL), c.answer);
    EXPECT_FALSE(rescued) << "the key did not reach the box";
    EXPECT_TRUE(held) << "a window took input under the box";
    EXPECT_TRUE(boxActive);
    EXPECT_EQ(c.clicked->IsDlgButtonChecked(IDC_CHECK), static_cast<UINT>(BST_UNCHECKED)) << "the click went through";
    for (CWnd* w : windows) EXPECT_TRUE(w->IsWindowEnabled());
  }

  bool chooserActive = false;
  Later([&] {
    W(status)->activateWindow();
    Settle();
    QWidget* chooser = QApplication::activeModalWidget();
    chooserActive = chooser != nullptr && QApplication::activeWindow() == chooser;
    if (chooser != nullptr) QTest::keyClick(chooser, Qt::Key_Escape);
  }, 100);
  CFileDialog chooser(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "All Files (*.*)|*.*||", &owner);
  EXPECT_EQ(chooser.DoModal(), IDCANCEL);
  EXPECT_TRUE(chooserActive);
  viewer.DestroyWindow();
}

// A window shown with the keyboard (a report opened in the viewer) just before the active one goes
// (a run's wait dialog) stays active, though the display had not yet said so when the other went:
// the activation is not handed to the owner of the one that went.
TEST_F(QtOwnerTest, AWindowShownJustBeforeTheActiveOneGoesKeepsTheActivation) {
  AskDlg wait, viewer;
  ASSERT_TRUE(wait.Create(9600, &owner));
  wait.ShowWindow(SW_SHOW);
  ::SetFocus(wait.GetDlgItem(IDC_NAME)->m_hWnd);
  Settle();
  ASSERT_EQ(QApplication::activeWindow(), W(wait));
  ASSERT_TRUE(viewer.Create(9600));
  ::SetFocus(viewer.GetDlgItem(IDC_NAME)->m_hWnd);
  viewer.ShowWindow(SW_SHOW);
  wait.DestroyWindow();
  Settle();
  EXPECT_EQ(QApplication::activeWindow(), W(viewer));
  EXPECT_EQ(::GetFocus(), viewer.GetDlgItem(IDC_NAME)->m_hWnd);
  viewer.DestroyWindow();
}

// After a modal dialog goes its owner has the activation. Another window of ours that the window
// manager activates right after (openbox's own choice) gives it back; one the user clicks keeps it.
TEST_F(QtOwnerTest, TheOwnerAModalDialogLeftKeepsTheActivationUnlessTheUserClicksElsewhere) {
  for (bool click : {false, true}) {
    SCOPED_TRACE(click ? "clicked" : "activated by the window manager");
    Modal dlg(&owner);
    Later([] { QTest::keyClick(W(GetFocus()), Qt::Key_Escape); });
    dlg.DoModal();
    Settle();
    ASSERT_EQ(QApplication::activeWindow(), W(owner));
    W(status)->activateWindow();
    if (click) QTest::mouseClick(W(status), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::qWait(400);
    EXPECT_EQ(QApplication::activeWindow(), click ? W(status) : W(owner));
  }
}

// A file chooser asked for by a control (as a view asks) holds the whole window disabled while it
// is up, and after it closes that window is active again with the focus where it was.
TEST_F(QtOwnerTest, AChooserAskedForByAChildGivesTheKeyboardBackToItsWindow) {
  CWnd* field = owner.GetDlgItem(IDC_NAME);
  ASSERT_NE(field, nullptr);
  W(owner)->activateWindow();
  field->SetFocus();
  Settle();
  bool held = false;
  Later([&] {
    held = !owner.IsWindowEnabled();
    if (QWidget* chooser = QApplication::activeModalWidget()) QTest::keyClick(chooser, Qt::Key_Escape);
  }, 100);
  CFileDialog chooser(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "All Files (*.*)|*.*||", field);
  EXPECT_EQ(chooser.DoModal(), IDCANCEL);
  Settle();
  EXPECT_TRUE(held);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(QApplication::activeWindow(), W(owner));
  EXPECT_EQ(::GetFocus(), field->m_hWnd);
}

}  // namespace

namespace {

// Runs the steps in turn from the event loop: each acts once it is ready (polled). The next poll
// is due before a step acts, as an action may start a modal loop of its own.
struct Step {
  std::function<bool()> ready;
  std::function<void()> act;
};
void RunSteps(std::vector<Step> steps) {
  auto state = std::make_shared<std::pair<std::vector<Step>, size_t>>(std::move(steps), 0);
  auto deadline = std::make_shared<QElapsedTimer>();
  deadline->start();
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [state, deadline, poll] {
    auto again = [poll] {
      QTimer::singleShot(20, qApp, [poll] {
        if (*poll) (*poll)();
      });
    };
    if (state->second >= state->first.size()) {
      *poll = nullptr;  // ends the chain (and the cycle through the captured pointer)
      return;
    }
    if (deadline->elapsed() > 10000) {  // a step that never came: what is up is closed, or told No
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
      else if (QApplication::focusWidget() != nullptr && deadline->elapsed() < 12000) QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
      else *poll = nullptr;
      return again();
    }
    Step step = state->first[state->second];
    again();
    if (!step.ready()) return;
    ++state->second;
    step.act();
  };
  QTimer::singleShot(20, qApp, [poll] { (*poll)(); });
}

// The save chooser asks about an existing file while it is up, in a box over it: "No" (N or
// Escape) leaves the user in the chooser with the name typed, "Yes" (Y or Return, the default)
// replaces it.
TEST_F(QtDialogTest, TheSaveChoosersReplaceQuestionIsAskedOverItAndNoGoesBackToIt) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("qav_chooser_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string existing = (dir / "existing.cfg").string();
  std::FILE* f = std::fopen(existing.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);

  for (const std::vector<Qt::Key>& answers : {std::vector<Qt::Key>{Qt::Key_N, Qt::Key_Escape, Qt::Key_Y},
                                              std::vector<Qt::Key>{Qt::Key_Return}}) {
    SCOPED_TRACE(answers.size());
    QFileDialog* shown = nullptr;
    auto chooserUp = [&] { return QApplication::activeModalWidget() == shown && shown != nullptr; };
    auto box = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    auto keys = [](QWidget* w) { return w->focusWidget() != nullptr ? w->focusWidget() : w; };
    auto name = [&] { return shown->findChild<QLineEdit*>("fileNameEdit"); };
    std::vector<std::string> typed, backWith;  // the name at each Return, and after each "No"
    std::vector<Step> steps;
    steps.push_back({[&] { return (shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) != nullptr; },
                     [&] {
                       name()->setFocus();
                       name()->selectAll();
                       QTest::keyClicks(name(), "existing");
                     }});
    for (size_t i = 0; i < answers.size(); ++i) {
      steps.push_back({chooserUp, [&] {
                         typed.push_back(name()->text().toStdString());
                         QTest::keyClick(keys(shown), Qt::Key_Return);
                       }});
      steps.push_back({[&] { return box() != nullptr; }, [&, i] {
                         EXPECT_EQ(box()->parentWidget(), shown);
                         QTest::keyClick(keys(box()), answers[i]);
                       }});
      if (i + 1 < answers.size())
        steps.push_back({chooserUp, [&] { backWith.push_back(name()->text().toStdString()); }});
    }
    RunSteps(std::move(steps));
    CFileDialog save(FALSE, ".cfg", (dir / "default.cfg").c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_LONGNAMES,
                     "Configuration Files (*.cfg) | *.cfg; ||");
    EXPECT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), existing);
    ASSERT_EQ(typed.size(), answers.size());
    EXPECT_TRUE(typed[0].starts_with("existing")) << typed[0];
    EXPECT_EQ(backWith, std::vector<std::string>(typed.begin(), typed.end() - 1));
    EXPECT_EQ(qav::ui::MessageBoxLog().size(), answers.size());
    qav::ui::ClearMessageBoxLog();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
