// CQAVApp: the program's application object. It owns the message log, reads the start-up settings
// (the view choice, the PE settings), registers the document template of the chosen view and
// shows the main window maximised; at the end it drains the log.
#pragma once

#include "platform/ui/app.h"
#include "support/output.h"

constexpr UINT IDR_MAINFRAME = 100;       // New view: frame resource and template
constexpr UINT IDR_CLASSIC_FRAME = 233;   // Classic view

// Menu commands of the frame.
constexpr UINT ID_READ_CONFIG = 32836;
constexpr UINT ID_SAVE_CONFIG = 32837;
constexpr UINT ID_PARAMETERS = 32833;
// ID_FILE_OPEN (57601), ID_APP_EXIT (57665), ID_HELP (57670), ID_APP_ABOUT (57664) are the
// framework's.

class CQAVApp : public CWinApp {
 public:
  CQAVApp();
  ~CQAVApp() override;

  // The message log; the main view gives it its line callback.
  COutput m_Output;
  // USE_CLASSIC as read at start-up; the choice holds until the program starts again.
  UINT m_nUseClassic = 0;

  BOOL InitInstance() override;
  int ExitInstance() override;
  void OnAppAbout();

  // The view registration InitInstance makes: which template ids the start-up picked.
  UINT TemplateId() const { return m_nUseClassic != 0 ? IDR_CLASSIC_FRAME : IDR_MAINFRAME; }

  DECLARE_MESSAGE_MAP()
};

// The application object, or null when none exists (tests of pieces that need none).
CQAVApp* QAVApp();
// The application's message log, or null.
COutput* AppLog();
// Whether the application has started: its main window is up (InitInstance has returned TRUE) and
// the application object still exists.
bool QAVAppStarted();

// The runtime classes of the two main views. Their rooms fill these in at static initialisation
// (see RegisterMainView); InitInstance uses whatever is registered for the chosen template.
void RegisterMainView(UINT templateId, const CRuntimeClass* viewClass);
const CRuntimeClass* FindMainView(UINT templateId);

// Installs what the libraries below expect of the application: the disc-request sender of the
// archive readers, the date class's older-version warning, the thread-failure report and the
// frame resources. InitInstance calls it; tests may too.
void InstallApplicationHooks();
// Puts the libraries' own behaviour back (the application object's end does it).
void RemoveApplicationHooks();
