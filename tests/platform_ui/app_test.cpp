// The application, its frame and form view: start-up, command routing, worker messages, exit.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "demo_dialog.h"
#include "platform/ui/app.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd_state.h"
#include "ui_fixture.h"

namespace {

namespace input = qav::ui::input;

constexpr UINT ID_VIEW_CMD = 32836;
constexpr UINT ID_WORKER = 503;
constexpr UINT WM_ASK_USER = 0x1409;
enum : int { IDC_STATUS = 1508 };

std::vector<std::string> g_log;

const DialogTemplate kViewForm{9600, nullptr, 200, 100, {{Ctl::ListBox, IDC_STATUS, "", 0, 7, 7, 186, 86}}};
const FrameResource kFrameRes{
    9600, "QAV",
    {{"&File", 0, {{"&Read Config File", ID_VIEW_CMD, {}}, {nullptr, 0, {}}, {"E&xit", ID_APP_EXIT, {}}}},
     {"&Help", 0, {{"&Help Topics", ID_HELP, {}}, {"&About QAV...", ID_APP_ABOUT, {}}}}}};

class TestDoc : public CDocument {
  DECLARE_DYNCREATE(TestDoc)
};
IMPLEMENT_DYNCREATE(TestDoc, CDocument)

class TestFrame : public CFrameWnd {
  DECLARE_DYNCREATE(TestFrame)
 public:
  void WinHelp(DWORD_PTR, UINT) override { g_log.push_back("frame help"); }
  BOOL PreCreateWindow(CREATESTRUCT& cs) override {
    cs.style &= ~FWS_ADDTOTITLE;
    return CFrameWnd::PreCreateWindow(cs);
  }
  LRESULT OnAskUser(WPARAM w, LPARAM type) {
    // Shown on the user-interface thread for a worker that waits for the answer.
    return ::MessageBox(m_hWnd, reinterpret_cast<const char*>(w), "QAV", static_cast<UINT>(type));
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(TestFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(TestFrame, CFrameWnd)
  ON_MESSAGE(WM_ASK_USER, &TestFrame::OnAskUser)
END_MESSAGE_MAP()

class TestView : public CFormView {
  DECLARE_DYNCREATE(TestView)
 public:
  TestView() : CFormView(9600) {}
  ~TestView() override { g_log.push_back("view destroyed"); }
  CListBox m_status;
  bool mainWindowAtFirstUpdate = false;
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_STATUS, m_status); }
  void OnInitialUpdate() override {
    mainWindowAtFirstUpdate = AfxGetMainWnd() != nullptr;
    CFormView::OnInitialUpdate();
    g_log.push_back(mainWindowAtFirstUpdate ? "first update with main window" : "first update without main window");
  }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (LOWORD(wParam) == ID_WORKER) {
      m_status.AddString(("payload " + std::to_string(lParam)).c_str());
      return TRUE;
    }
    return CFormView::OnCommand(wParam, lParam);
  }
  void OnReadConfig() { g_log.push_back("view read config"); }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(TestView, CFormView)
BEGIN_MESSAGE_MAP(TestView, CFormView)
  ON_COMMAND(ID_VIEW_CMD, &TestView::OnReadConfig)
END_MESSAGE_MAP()

class TestApp : public CWinApp {
 public:
  TestApp() : CWinApp("QAV") {}
  BOOL InitInstance() override {
    RegisterDialogTemplate(&kViewForm);
    RegisterFrameResource(&kFrameRes);
    AddDocTemplate(new CSingleDocTemplate(9600, RUNTIME_CLASS(TestDoc), RUNTIME_CLASS(TestFrame), RUNTIME_CLASS(TestView)));
    CCommandLineInfo info;
    ParseCommandLine(info);
    if (!ProcessShellCommand(info)) return FALSE;
    m_pMainWnd->ShowWindow(SW_SHOWMAXIMIZED);
    return TRUE;
  }
  int ExitInstance() override {
    g_log.push_back("exit instance");
    return CWinApp::ExitInstance();
  }
  void OnAppAbout() { g_log.push_back("app about"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestApp, CWinApp)
  ON_COMMAND(ID_APP_ABOUT, &TestApp::OnAppAbout)
END_MESSAGE_MAP()

class AppTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    g_log.clear();
  }
};

TEST_F(AppTest, StartRouteWorkerMessagesAndExit) {
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  auto* frame = static_cast<CFrameWnd*>(AfxGetMainWnd());
  ASSERT_NE(frame, nullptr);
  auto* view = static_cast<TestView*>(frame->GetActiveView());
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->mainWindowAtFirstUpdate);
  EXPECT_EQ(frame->GetWindowText(), "QAV");  // the title alone, no document name
  EXPECT_TRUE(frame->IsZoomed());
  frame->MoveWindow(0, 0, 400, 300);  // the view keeps filling the frame
  RECT client;
  frame->GetClientRect(&client);
  EXPECT_EQ(qav::ui::Find(view->m_hWnd)->Width(), client.right);
  EXPECT_EQ(qav::ui::Find(view->m_hWnd)->Height(), client.bottom);
  // The form takes Tab on its key-down only.
  MSG tab;
  tab.hwnd = view->m_status.m_hWnd, tab.message = WM_KEYDOWN, tab.wParam = VK_TAB;
  EXPECT_TRUE(view->PreTranslateMessage(&tab));
  tab.message = WM_KEYUP;
  EXPECT_FALSE(view->PreTranslateMessage(&tab));

  // Menu commands: the view first, then the frame, then the application.
  input::Menu(frame->m_hWnd, ID_VIEW_CMD);
  input::Menu(frame->m_hWnd, ID_HELP);
  input::Menu(frame->m_hWnd, ID_APP_ABOUT);

  // A worker posts status ids with payloads and asks the user through the frame.
  HWND viewWnd = view->m_hWnd;
  HWND frameWnd = frame->m_hWnd;
  qav::ui::SetMessageBoxHandler([](const qav::ui::MessageBoxRequest& r) {
    g_log.push_back("box: " + r.text);
    return IDCANCEL;
  });
  std::atomic<LRESULT> answer{0};
  std::thread worker([&] {
    PostMessage(viewWnd, WM_COMMAND, ID_WORKER, 34408);
    answer = SendMessage(frameWnd, WM_ASK_USER, reinterpret_cast<WPARAM>("Please insert CD with 3/15/1994 data"),
                         MB_OKCANCEL);
    PostMessage(viewWnd, WM_COMMAND, ID_WORKER, 2);
    PostMessage(frameWnd, WM_COMMAND, ID_APP_EXIT, 0);
  });
  int code = app.Run();  // until the frame is closed
  worker.join();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(answer.load(), IDCANCEL);
  EXPECT_EQ(AfxGetMainWnd(), nullptr);
  EXPECT_EQ(g_log, (std::vector<std::string>{"first update with main window", "view read config", "frame help",
                                             "app about", "box: Please insert CD with 3/15/1994 data", "view destroyed",
                                             "exit instance"}));
}

TEST_F(AppTest, StatusLinesFromAWorkerArriveInPostingOrder) {
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  auto* view = static_cast<TestView*>(static_cast<CFrameWnd*>(AfxGetMainWnd())->GetActiveView());
  HWND viewWnd = view->m_hWnd;
  std::thread worker([viewWnd] {
    for (int i = 0; i < 20; ++i) PostMessage(viewWnd, WM_COMMAND, ID_WORKER, i);
  });
  worker.join();
  qav::ui::PumpPending();
  ASSERT_EQ(view->m_status.GetCount(), 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(view->m_status.GetTextString(i), "payload " + std::to_string(i));
  AfxGetMainWnd()->DestroyWindow();
  EXPECT_TRUE(qav::ui::QuitRequested());
  qav::ui::ResetQuit();
}

// The program asked to end from another thread (an ending signal) while a modal dialog is up and
// the user's input is held: the dialog takes input all the same and ends as by Cancel, and the
// program's loop closes the main window (its view goes, as with File > Exit) and ends with 0.
TEST_F(AppTest, AskedToEndFromAnotherThreadItEndsItsDialogsAndClosesAsExitDoes) {
  RegisterDialogTemplate(&demo::kDemo);
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  bool ranAtOnce = false;
  qav::ui::SendTask([&] { ranAtOnce = true; });  // on the user-interface thread itself
  EXPECT_TRUE(ranAtOnce);
  qav::ui::HoldUserInput();
  std::atomic<bool> up{false};
  qav::ui::PostTask([&] {
    CDialog dialog(demo::kDemo.id, AfxGetMainWnd());
    qav::ui::PostTask([&] {
      g_log.push_back(qav::ui::UserInputHeld() ? "dialog without input" : "dialog with input");
      up = true;
    });
    g_log.push_back("dialog ended " + std::to_string(dialog.DoModal()));
    g_log.push_back(qav::ui::UserInputHeld() ? "input held again" : "input not held again");
  });
  std::thread asker([&] {
    while (!up) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    AfxEndProgram();
  });
  const int code = app.Run();
  asker.join();
  qav::ui::ReleaseUserInput();
  EXPECT_FALSE(qav::ui::UserInputHeld());
  EXPECT_EQ(code, 0);
  EXPECT_EQ(AfxGetMainWnd(), nullptr);
  EXPECT_EQ(g_log, (std::vector<std::string>{"first update with main window", "dialog with input", "dialog ended 2",
                                             "input held again", "view destroyed", "exit instance"}));
  qav::ui::ResetQuit();
}

}  // namespace

// ---- Creation that fails part way ----

namespace {

std::atomic<int> g_refusingObjects{0};

// A frame whose window refuses to be created: the window is made, then destroyed at once, and the
// frame deletes itself in PostNcDestroy.
class RefusingFrame : public CFrameWnd {
  DECLARE_DYNCREATE(RefusingFrame)
 public:
  RefusingFrame() { ++g_refusingObjects; }
  ~RefusingFrame() override { --g_refusingObjects; }
  int OnCreate(LPCREATESTRUCT) { return -1; }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(RefusingFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(RefusingFrame, CFrameWnd)
  ON_WM_CREATE()
END_MESSAGE_MAP()

// A frame that is refused before any window exists: nothing deletes it but its creator.
class UnmadeFrame : public CFrameWnd {
  DECLARE_DYNCREATE(UnmadeFrame)
 public:
  UnmadeFrame() { ++g_refusingObjects; }
  ~UnmadeFrame() override { --g_refusingObjects; }
  BOOL PreCreateWindow(CREATESTRUCT&) override { return FALSE; }
};
IMPLEMENT_DYNCREATE(UnmadeFrame, CFrameWnd)

class RefusingView : public CView {
  DECLARE_DYNCREATE(RefusingView)
 public:
  RefusingView() { ++g_refusingObjects; }
  ~RefusingView() override { --g_refusingObjects; }
  int OnCreate(LPCREATESTRUCT) { return -1; }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(RefusingView, CView)
BEGIN_MESSAGE_MAP(RefusingView, CView)
  ON_WM_CREATE()
END_MESSAGE_MAP()

class CountedFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CountedFrame)
 public:
  CountedFrame() { ++g_refusingObjects; }
  ~CountedFrame() override { --g_refusingObjects; }
};
IMPLEMENT_DYNCREATE(CountedFrame, CFrameWnd)

}  // namespace

// Every object made for a document that could not be opened is deleted exactly once (ASan reports
// a second deletion), and the application keeps no pointer to a frame that is gone.
TEST_F(AppTest, FailedCreationDeletesEachObjectOnce) {
  struct Case {
    const char* what;
    const CRuntimeClass* frame;
    const CRuntimeClass* view;
  };
  const Case cases[] = {
      {"frame window refused in creation", RUNTIME_CLASS(RefusingFrame), nullptr},
      {"frame refused before its window", RUNTIME_CLASS(UnmadeFrame), nullptr},
      {"view window refused in creation", RUNTIME_CLASS(CountedFrame), RUNTIME_CLASS(RefusingView)},
  };
  RegisterFrameResource(&kFrameRes);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CWinApp app("QAV");
    CSingleDocTemplate tmpl(9600, RUNTIME_CLASS(TestDoc), c.frame, c.view);
    EXPECT_EQ(tmpl.OpenDocumentFile(nullptr), nullptr);
    EXPECT_TRUE(qav::ui::PumpPending());  // the frame that went was never the main window: no quit
    EXPECT_EQ(g_refusingObjects.load(), 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
  }
}
