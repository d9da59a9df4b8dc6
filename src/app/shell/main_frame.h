// CMainFrame: the main window. It carries the menu, opens the help file and shows the message
// boxes that worker threads ask for (WM_SHOW_MESSAGE_BOX, sent from the worker and answered on the
// user-interface thread).
#pragma once

#include <string>

#include "platform/ui/app.h"
#include "support/mfcex_dialog.h"

class CMainFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CMainFrame)

 public:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  void WinHelp(DWORD_PTR data, UINT command = 0x1) override;

  int OnCreate(LPCREATESTRUCT cs);
  // wParam: "message\ncaption" (NUL-terminated), lParam: the box style; returns the button.
  LRESULT OnShowMessageBox(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()
};

// Splits a worker's box text at the first "\n": the message before it, the caption after it (up to
// a further "\n"); without one, or with an empty caption, the caption is the program's title "QAV".
// Leading line feeds are skipped as a tokenizer skips them.
void SplitMessageBoxText(const char* text, std::string& message, std::string& caption);

// The frame resources of both templates: titles "QAV" and "QAV Classic", the same menu.
void RegisterFrameResources();

// The help file: the program's path with its extension replaced by ".chm".
std::string HelpFilePath(const std::string& programPath);
