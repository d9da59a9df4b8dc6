#include "app/shell/qav_app.h"

#include <atomic>
#include <map>
#include <string>

#include "app/shell/app_globals.h"
#include "app/shell/main_dlg.h"
#include "app/shell/main_doc.h"
#include "app/shell/main_frame.h"
#include "app/shell/profile_store.h"
#include "app/shell/settings.h"
#include "archive/archive_globals.h"
#include "support/about_dlg.h"
#include "support/thread.h"
#include "trafficdata/date_time_ex.h"

namespace {
CQAVApp* g_qavApp = nullptr;
std::atomic<bool> g_started{false};

std::map<UINT, const CRuntimeClass*>& MainViews() {
  static auto* views = new std::map<UINT, const CRuntimeClass*>;
  return *views;
}

// A message box for code that may run on any thread: shown at once on the user-interface thread,
// otherwise through the main frame, which shows it there and hands the answer back.
int ShowBoxFromAnyThread(const char* text, const char* caption, UINT style) {
  if (qav::ui::IsUiThread()) {
    CWnd* main = AfxGetMainWnd();
    return ::MessageBox(main != nullptr ? main->GetSafeHwnd() : nullptr, text, caption, style);
  }
  CWnd* main = AfxGetMainWnd();
  if (main == nullptr || !::IsWindow(main->GetSafeHwnd())) return IDCANCEL;
  std::string packed = std::string(text != nullptr ? text : "") + "\n" + (caption != nullptr ? caption : "");
  return static_cast<int>(::SendMessage(main->GetSafeHwnd(), WM_SHOW_MESSAGE_BOX,
                                        reinterpret_cast<WPARAM>(packed.c_str()), static_cast<LPARAM>(style)));
}

intptr_t SendDiscPrompt(uintptr_t window, UINT message, uintptr_t wParam, intptr_t lParam) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (!::IsWindow(hwnd)) return IDCANCEL;
  return static_cast<intptr_t>(::SendMessage(hwnd, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

void ReportThreadFailure(const char* text, const char* caption, UINT style) {
  ShowBoxFromAnyThread(text, caption, style);
}
}  // namespace

BEGIN_MESSAGE_MAP(CQAVApp, CWinApp)
  ON_COMMAND(ID_APP_ABOUT, &CQAVApp::OnAppAbout)
END_MESSAGE_MAP()

CQAVApp::CQAVApp() : CWinApp("QAV") { g_qavApp = this; }

CQAVApp::~CQAVApp() {
  if (g_qavApp != this) return;
  g_qavApp = nullptr;
  g_started = false;
  RemoveApplicationHooks();
}

CQAVApp* QAVApp() { return g_qavApp; }
COutput* AppLog() { return g_qavApp != nullptr ? &g_qavApp->m_Output : nullptr; }
bool QAVAppStarted() { return g_started.load(); }

void RegisterMainView(UINT templateId, const CRuntimeClass* viewClass) { MainViews()[templateId] = viewClass; }

const CRuntimeClass* FindMainView(UINT templateId) {
  auto it = MainViews().find(templateId);
  return it != MainViews().end() ? it->second : nullptr;
}

namespace {
CThread::PFNREPORTFAILURE g_previousThreadReport = nullptr;
bool g_hooksInstalled = false;
}  // namespace

void InstallApplicationHooks() {
  RegisterFrameResources();
  SetDiscPromptSender(&SendDiscPrompt);
  SetOlderVersionWarningHandler([](const char* text) { ShowBoxFromAnyThread(text, nullptr, MB_OK | MB_ICONINFORMATION); });
  if (!g_hooksInstalled) g_previousThreadReport = CThread::s_pfnReportFailure;
  CThread::s_pfnReportFailure = &ReportThreadFailure;
  g_hooksInstalled = true;
}

void RemoveApplicationHooks() {
  if (!g_hooksInstalled) return;
  SetDiscPromptSender(nullptr);
  SetOlderVersionWarningHandler(nullptr);
  CThread::s_pfnReportFailure = g_previousThreadReport;
  g_hooksInstalled = false;
}

BOOL CQAVApp::InitInstance() {
  InstallApplicationHooks();
  SetRegistryKey("KARVO");
  m_pszProfileName = m_pszExeName;
  static std::string helpPath;
  helpPath = HelpFilePath(m_pszHelpFilePath != nullptr ? m_pszHelpFilePath : "");
  m_pszHelpFilePath = helpPath.c_str();
  m_Output.AddText("Program Start", OUTPUT_TEXT);
  LoadStdProfileSettings(0);
  m_nUseClassic = ReadUseClassic(ActiveProfile());
  // A view room that has not registered its view yet leaves the base view, which still shows the
  // status list and the parameter sheet.
  const CRuntimeClass* view = FindMainView(TemplateId());
  if (view == nullptr) view = RUNTIME_CLASS(CMainDlg);
  AddDocTemplate(new CSingleDocTemplate(TemplateId(), RUNTIME_CLASS(CMainDoc), RUNTIME_CLASS(CMainFrame), view));
  g_PeValid.Set(ReadPeSettings(ActiveProfile()));
  CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (!ProcessShellCommand(cmdInfo)) return FALSE;
  if (m_pMainWnd == nullptr) return FALSE;
  m_pMainWnd->ShowWindow(SW_SHOWMAXIMIZED);
  m_pMainWnd->UpdateWindow();
  // A settings file that is left as it is (not read, or read-only) is named once, over the window
  // that now runs on its settings.
  const std::string leftAlone = LeftAloneProfileMessage(ActiveProfile());
  g_started = true;
  if (!leftAlone.empty()) AfxMessageBox(leftAlone.c_str(), MB_OK | MB_ICONEXCLAMATION);
  return TRUE;
}

int CQAVApp::ExitInstance() {
  m_Output.AddText("Program End", OUTPUT_TEXT);
  m_Output.ProcessItems();
  m_Output.m_LogFile.Close();
  return CWinApp::ExitInstance();
}

void CQAVApp::OnAppAbout() {
  CAboutDlg about(__DATE__, __TIME__, nullptr);
  about.DoModal();
}
