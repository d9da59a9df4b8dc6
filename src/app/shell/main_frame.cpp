#include "app/shell/main_frame.h"

#include <cstring>
#include <vector>

#include "app/shell/qav_app.h"
#include "platform/base/errors.h"
#include "platform/shell/shell.h"

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_COMMAND(ID_HELP, &CMainFrame::OnHelp)
  ON_MESSAGE(WM_SHOW_MESSAGE_BOX, &CMainFrame::OnShowMessageBox)
END_MESSAGE_MAP()

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
  cs.style &= ~static_cast<LONG>(FWS_ADDTOTITLE);
  return CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) { return CWnd::OnCreate(cs) == -1 ? -1 : 0; }

void CMainFrame::WinHelp(DWORD_PTR, UINT) {
  const DWORD error = OpenHelpFile();
  if (error == 0) return;
  std::string text = "The help file " + GetHelpFilePath() + " could not be opened.";
  std::string reason;
  if (FormatSystemMessage(error, reason) && reason.size() >= 2) text += "\n" + reason.substr(0, reason.size() - 2);
  MessageBox(text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
}

LRESULT CMainFrame::OnShowMessageBox(WPARAM wParam, LPARAM lParam) {
  std::string message, caption;
  SplitMessageBoxText(reinterpret_cast<const char*>(wParam), message, caption);
  return MessageBox(message.c_str(), caption.c_str(), static_cast<UINT>(lParam));
}

void SplitMessageBoxText(const char* text, std::string& message, std::string& caption) {
  message.clear();
  caption.clear();
  if (text == nullptr) text = "";
  // Tokens between runs of "\n", as a tokenizer finds them.
  const char* p = text;
  std::vector<std::string> tokens;
  while (*p != '\0' && tokens.size() < 2) {
    while (*p == '\n') ++p;
    const char* start = p;
    while (*p != '\0' && *p != '\n') ++p;
    if (p > start) tokens.emplace_back(start, static_cast<size_t>(p - start));
  }
  if (!tokens.empty()) message = tokens[0];
  caption = tokens.size() > 1 ? tokens[1] : std::string(AfxGetAppName());
}

std::string HelpFilePath(const std::string& programPath) {
  const size_t slash = programPath.find_last_of("/\\");
  const size_t dot = programPath.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return programPath.substr(0, dot) + ".chm";
  return programPath + ".chm";
}

namespace {
std::vector<MenuItem> MainMenu() {
  return {
      {"&File",
       0,
       {{"&Read Config File", ID_READ_CONFIG, {}},
        {"&Save Configuration", ID_SAVE_CONFIG, {}},
        {"&Open Output File", ID_FILE_OPEN, {}},
        {nullptr, 0, {}},
        {"E&xit", ID_APP_EXIT, {}}}},
      {"&Options", 0, {{"&Parameters", ID_PARAMETERS, {}}}},
      {"&Help", 0, {{"&Help Topics", ID_HELP, {}}, {nullptr, 0, {}}, {"&About QAV...", ID_APP_ABOUT, {}}}},
  };
}
}  // namespace

void RegisterFrameResources() {
  static const FrameResource kNew{IDR_MAINFRAME, "QAV", MainMenu()};
  static const FrameResource kClassic{IDR_CLASSIC_FRAME, "QAV Classic", MainMenu()};
  RegisterFrameResource(&kNew);
  RegisterFrameResource(&kClassic);
}
