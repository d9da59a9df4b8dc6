#include "platform/ui/app.h"

#include <map>

#include "platform/app/profile.h"
#include "platform/kernel/process.h"
#include "platform/ui/backend.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

using namespace qav::ui;

namespace {
CWinApp* g_app = nullptr;

std::map<UINT, const FrameResource*>& Frames() {
  static auto* f = new std::map<UINT, const FrameResource*>;
  return *f;
}

CProfile& Profile() {
  static CProfile* p = new CProfile();  // the program's own profile, for the life of the program
  return *p;
}

}  // namespace

namespace qav::ui {
const char* AppTitle() {
  if (g_app != nullptr && g_app->m_pszAppName != nullptr) return g_app->m_pszAppName;
  return "QAV";
}

HWND DefaultOwner() {
  CWnd* main = AfxGetMainWnd();
  return main != nullptr && IsWindow(main->m_hWnd) ? main->m_hWnd : nullptr;
}
}  // namespace qav::ui

void RegisterFrameResource(const FrameResource* r) {
  if (r != nullptr) Frames()[r->id] = r;
}

std::vector<UINT> RegisteredFrameResources() {
  std::vector<UINT> ids;
  for (const auto& [id, r] : Frames()) ids.push_back(id);
  return ids;
}

const FrameResource* FindFrameResource(UINT id) {
  auto it = Frames().find(id);
  return it == Frames().end() ? nullptr : it->second;
}

CWinApp* AfxGetApp() { return g_app; }
CWinThread* AfxGetThread() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app != nullptr ? g_app->m_pMainWnd : nullptr; }
LPCSTR AfxGetAppName() { return AppTitle(); }

int AfxMessageBox(LPCSTR text, UINT type, UINT) { return ::MessageBox(DefaultOwner(), text, AppTitle(), type); }

// ---- CFormView ----
BOOL CFormView::Create(CWnd* parent, UINT id) {
  ObjectInUse use(this);  // OnCreate may destroy the window
  const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate);
  if (t == nullptr || parent == nullptr) return FALSE;
  RECT r{};
  parent->GetClientRect(&r);
  WndState* s = NewWindow(Kind::Dialog, parent->m_hWnd, static_cast<int>(id), "", WS_CHILD | WS_VISIBLE, r);
  s->object = this;
  m_hWnd = s->hwnd;
  CREATESTRUCT cs;
  cs.hwndParent = parent->m_hWnd;
  cs.cx = r.right;
  cs.cy = r.bottom;
  if (Send(m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1 || m_hWnd == nullptr) {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    return FALSE;
  }
  BuildControls(s, *t);
  WindowComplete(s);
  return TRUE;
}

// A form takes Tab between its controls and Return on a push button; other keys, Return
// elsewhere included, go to the control.
BOOL CFormView::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
    CWnd* next = GetNextDlgTabItem(CWnd::FromHandle(msg->hwnd));
    if (next != nullptr) ::SetFocus(next->m_hWnd);
    return TRUE;
  }
  return PressButtonOnReturn(msg) ? TRUE : FALSE;
}

// ---- CFrameWnd ----
BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_COMMAND(ID_HELP, &CFrameWnd::OnHelp)
END_MESSAGE_MAP()

int CFrameWnd::MenuHeight() const {
  if (m_menu == nullptr || m_menu->empty()) return 0;
  return CurrentBackend().MenuBarHeight();
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent) {
  const FrameResource* res = FindFrameResource(resourceId);
  std::string title = res != nullptr && res->title != nullptr ? res->title : AppTitle();
  m_menu = res != nullptr ? &res->menu : nullptr;
  CREATESTRUCT cs;
  cs.style = static_cast<LONG>(style);
  cs.cx = 800;
  cs.cy = 600;
  if (!PreCreateWindow(cs)) return FALSE;
  if (static_cast<DWORD>(cs.style) & FWS_ADDTOTITLE) title = "Untitled - " + title;
  DWORD st = static_cast<DWORD>(cs.style) & ~(FWS_ADDTOTITLE | WS_VISIBLE | WS_CHILD);
  if (!CreateEx(0, "Frame", title.c_str(), st, RECT{0, 0, cs.cx, cs.cy}, parent, 0)) return FALSE;
  if (WndState* s = State()) s->clientTop = MenuHeight();
  return TRUE;
}

void CFrameWnd::RecalcLayout() {
  if (m_pViewActive == nullptr || m_pViewActive->m_hWnd == nullptr) return;
  RECT r{};
  GetClientRect(&r);
  m_pViewActive->MoveWindow(0, 0, r.right, r.bottom);
}

void CFrameWnd::InitialUpdateFrame(CDocument*, BOOL makeVisible) {
  RecalcLayout();
  if (m_pViewActive != nullptr) m_pViewActive->OnInitialUpdate();
  if (makeVisible) ShowWindow(SW_SHOW);
}

void CFrameWnd::WinHelp(DWORD_PTR, UINT) {}

BOOL CFrameWnd::OnCmdMsg(UINT id, int code, UINT kind, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (m_pViewActive != nullptr && m_pViewActive->OnCmdMsg(id, code, kind, wParam, lParam, result)) return TRUE;
  if (CWnd::OnCmdMsg(id, code, kind, wParam, lParam, result)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->OnCmdMsg(id, code, kind, wParam, lParam, result) ? TRUE : FALSE;
}

LRESULT CFrameWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) {
    LRESULT r = CWnd::WindowProc(msg, wParam, lParam);
    RecalcLayout();
    return r;
  }
  if (msg == WM_NCDESTROY) {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this) {
      app->m_pMainWnd = nullptr;
      PostQuitMessage(0);
    }
  }
  return CWnd::WindowProc(msg, wParam, lParam);
}

// ---- CSingleDocTemplate ----
CSingleDocTemplate::~CSingleDocTemplate() { delete m_pDocument; }

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCSTR, BOOL makeVisible) {
  auto* doc = m_pDocClass != nullptr ? static_cast<CDocument*>(m_pDocClass->CreateObject()) : new CDocument;
  if (doc == nullptr) return nullptr;
  doc->m_pDocTemplate = this;
  if (!doc->OnNewDocument()) {
    delete doc;
    return nullptr;
  }
  auto* frame = m_pFrameClass != nullptr ? static_cast<CFrameWnd*>(m_pFrameClass->CreateObject()) : new CFrameWnd;
  if (frame == nullptr) {
    delete doc;
    return nullptr;
  }
  {
    // A frame whose window was made and then destroyed during creation deletes itself in
    // PostNcDestroy when this guard goes; one that never got a window is deleted here.
    qav::ui::ObjectInUse use(frame);
    if (!frame->LoadFrame(m_nIDResource)) {
      if (!use.DestroyPending()) delete frame;
      delete doc;
      return nullptr;
    }
  }
  delete m_pDocument;
  m_pDocument = doc;
  CWinApp* app = AfxGetApp();
  // The main window exists before the view's first update, which may ask for it.
  if (app != nullptr && app->m_pMainWnd == nullptr) app->m_pMainWnd = frame;
  auto* view = m_pViewClass != nullptr ? static_cast<CView*>(m_pViewClass->CreateObject()) : nullptr;
  if (view != nullptr) {
    view->m_pDocument = doc;
    BOOL ok = FALSE;
    {
      qav::ui::ObjectInUse use(view);  // as for the frame above
      if (auto* form = dynamic_cast<CFormView*>(view)) ok = form->Create(frame, AFX_IDW_PANE_FIRST);
      else ok = view->CreateEx(0, "View", "", WS_CHILD | WS_VISIBLE, RECT{}, frame, AFX_IDW_PANE_FIRST);
      if (!ok && !use.DestroyPending()) delete view;
    }
    if (!ok) {
      if (app != nullptr && app->m_pMainWnd == frame) app->m_pMainWnd = nullptr;
      frame->DestroyWindow();  // the frame deletes itself
      return nullptr;
    }
    frame->SetActiveView(view);
  }
  frame->InitialUpdateFrame(doc, makeVisible);
  return doc;
}

// ---- CWinThread / CWinApp ----
BOOL CWinThread::PreTranslateMessage(MSG* msg) { return PreTranslateChain(msg) ? TRUE : FALSE; }

BOOL CWinThread::PumpMessage() {
  MSG m;
  if (!::GetMessage(&m, nullptr, 0, 0)) {
    m_exitCode = static_cast<int>(m.wParam);
    return FALSE;
  }
  if (!PreTranslateMessage(&m)) ::DispatchMessage(&m);
  return TRUE;
}

int CWinThread::Run() {
  for (;;) {
    LONG idle = 0;
    MSG m;
    while (!::PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE) && OnIdle(idle++)) {
    }
    if (!PumpMessage()) break;
  }
  if (m_pMainWnd != nullptr && ::IsWindow(m_pMainWnd->m_hWnd)) {
    // Nobody is there to answer a box the closing would show: the quit request, posted again,
    // ends it at once.
    PostQuitMessage(m_exitCode);
    m_pMainWnd->DestroyWindow();
  }
  return ExitInstance();
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
  ON_COMMAND(ID_APP_EXIT, &CWinApp::OnAppExit)
  ON_COMMAND(ID_FILE_NEW, &CWinApp::OnFileNew)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName) {
  g_app = this;
  if (appName != nullptr) {
    m_strAppName = appName;
    m_pszAppName = m_strAppName.c_str();
  }
  m_exeName = GetProgramName();
  m_exePath = GetProgramPath();
  m_pszExeName = m_exeName.c_str();
  m_pszProfileName = m_exeName.c_str();
  m_helpPath = m_exePath;
  m_pszHelpFilePath = m_helpPath.c_str();
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

void CWinApp::SetRegistryKey(LPCSTR key) {
  m_registryKey = key != nullptr ? key : "";
  m_pszRegistryKey = m_registryKey.c_str();
}

void CWinApp::AddDocTemplate(CDocTemplate* t) { m_templates.emplace_back(t); }

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
  if (info.m_nShellCommand != CCommandLineInfo::FileNew) return TRUE;
  if (m_templates.empty()) return FALSE;
  return m_templates.front()->OpenDocumentFile(nullptr) != nullptr ? TRUE : FALSE;
}

void CWinApp::OnFileNew() {
  if (!m_templates.empty()) m_templates.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd != nullptr) m_pMainWnd->SendMessage(WM_CLOSE);
  else PostQuitMessage(0);
}

void AfxEndProgram() {
  qav::ui::SendTask([] {
    qav::ui::CurrentBackend().CloseOwnModals();
    PostQuitMessage(0);
  });
}

UINT CWinApp::GetProfileInt(LPCSTR section, LPCSTR key, int defaultValue) {
  return Profile().GetProfileInt(section, key, defaultValue);
}
std::string CWinApp::GetProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultValue) {
  return Profile().GetProfileString(section, key, defaultValue);
}
BOOL CWinApp::WriteProfileInt(LPCSTR section, LPCSTR key, int value) { return Profile().WriteProfileInt(section, key, value); }
BOOL CWinApp::WriteProfileString(LPCSTR section, LPCSTR key, LPCSTR value) {
  return Profile().WriteProfileString(section, key, value);
}
const CProfile& CWinApp::GetProfileFile() const { return Profile(); }

int AfxWinMain(int, char**) {
  // The program shows windows or ends: a program without a display would run on unseen.
  if (!SelectBackend("qt")) return 1;
  BindUiThread();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 1;
  if (!app->InitInstance()) {
    if (app->m_pMainWnd != nullptr) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}
